// The clip library as the viewer holds it: the plugin's records keyed by
// file path (ids change with every rescan, paths do not), the host's clip
// facts (duration and picture size), and the view the grid shows: the
// records that match the search, sorted, in day groups when sorted by date.

import { dayKey, dayLabel } from './format.js';

const collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });
const byName = (a, b) => collator.compare(a.name, b.name) || (a.filepath < b.filepath ? -1 : 1);

export const SORTS = {
  newest: { label: 'Newest first', grouped: true, compare: (a, b) => (b.mtimeMsUtc - a.mtimeMsUtc) || byName(a, b) },
  oldest: { label: 'Oldest first', grouped: true, compare: (a, b) => (a.mtimeMsUtc - b.mtimeMsUtc) || byName(a, b) },
  name: { label: 'Name', grouped: false, compare: byName },
  size: { label: 'Largest first', grouped: false, compare: (a, b) => (b.fileSizeBytes - a.fileSizeBytes) || byName(a, b) },
  length: { label: 'Longest first', grouped: false, compare: null },
};

export class Library {
  constructor() {
    this.records = new Map(); // file path -> the plugin's record
    this.facts = new Map(); // file path -> {durationMs, width, height}, or null when unreadable
  }

  // Takes the plugin's list and says what changed, by path: added,
  // removed, changed (another name, url, time or size) and renamed (a
  // record that kept its id under a new path: old path -> new path).
  setRecords(list) {
    const previous = this.records;
    const next = new Map();
    const added = [];
    const changed = new Set();
    for (const record of list) {
      next.set(record.filepath, record);
      const old = previous.get(record.filepath);
      if (!old) added.push(record.filepath);
      else if (old.name !== record.name || old.url !== record.url || old.mtimeMsUtc !== record.mtimeMsUtc
        || old.fileSizeBytes !== record.fileSizeBytes) changed.add(record.filepath);
    }
    const removed = [...previous.keys()].filter((path) => !next.has(path));
    const renamed = new Map();
    if (removed.length > 0 && added.length > 0) {
      const addedById = new Map(added.map((path) => [next.get(path).id, path]));
      for (const path of removed) {
        const target = addedById.get(previous.get(path).id);
        if (target) renamed.set(path, target);
      }
    }
    this.records = next;
    return { added, removed, changed, renamed };
  }

  // Takes the host's facts ({path: facts|null}); true when any changed.
  setFacts(clips) {
    let different = false;
    const next = new Map();
    for (const [path, facts] of Object.entries(clips || {})) {
      const old = this.facts.get(path);
      if (old === undefined || JSON.stringify(old) !== JSON.stringify(facts)) different = true;
      next.set(path, facts);
    }
    if (next.size !== this.facts.size) different = true;
    this.facts = next;
    return different;
  }

  durationOf(path) {
    const facts = this.facts.get(path);
    return facts ? facts.durationMs : undefined;
  }

  // Paths listed without facts yet (the host has not seen them).
  missingFacts() {
    return [...this.records.keys()].filter((path) => !this.facts.has(path));
  }

  totals() {
    let bytes = 0;
    for (const record of this.records.values()) bytes += Number(record.fileSizeBytes) || 0;
    return { count: this.records.size, bytes };
  }

  // The records to show, in order, and their day groups ([] when the sort
  // has none): {key, label, first, count, bytes}.
  view({ query = '', sort = 'newest', now = Date.now() } = {}) {
    const needle = query.trim().toLocaleLowerCase();
    let items = [...this.records.values()];
    if (needle) items = items.filter((record) => record.name.toLocaleLowerCase().includes(needle));
    const order = SORTS[sort] || SORTS.newest;
    items.sort(order.compare || this.byLength());
    const groups = [];
    if (order.grouped) {
      for (let i = 0; i < items.length; ++i) {
        const key = dayKey(items[i].mtimeMsUtc);
        let group = groups[groups.length - 1];
        if (!group || group.key !== key) {
          group = { key, label: dayLabel(items[i].mtimeMsUtc, now), first: i, count: 0, bytes: 0 };
          groups.push(group);
        }
        group.count += 1;
        group.bytes += Number(items[i].fileSizeBytes) || 0;
      }
    }
    return { items, groups };
  }

  // Longest first; clips of unknown length after the others, by name.
  byLength() {
    return (a, b) => {
      const da = this.durationOf(a.filepath);
      const db = this.durationOf(b.filepath);
      if (da === undefined || db === undefined) {
        return (da === undefined) - (db === undefined) || byName(a, b);
      }
      return (db - da) || byName(a, b);
    };
  }
}
