// The highlights viewer: reads the list, configuration, folder and clip
// facts when the event stream (re)opens, then follows the stream; every
// change the plugin publishes (ours or another client's) updates the page
// without a reload. Cards are keyed by file path, so an update touches only
// the cards whose clip changed.
import { api, URIS, plainError } from './api.js';
import { cardHooks } from './cards.js';
import { follow } from './events.js';
import { count, formatSize, nameList, nameProblem } from './format.js';
import { VirtualGrid } from './grid.js';
import { Library } from './library.js';
import { Player } from './player.js';

const $ = (id) => document.getElementById(id);
const state = {
  enabled: true, invalid: '', folder: '', folderExists: true, offline: false, query: '',
  sort: localStorage.getItem('kyn-sort') || 'newest', focusPath: null, renaming: null, announce: null,
};
const selected = new Set();
const library = new Library();
let view = { items: [], groups: [] };

const canUse = () => !state.offline;
const canChange = () => canUse() && state.enabled;

const grid = new VirtualGrid($('grid'), {
  ...cardHooks({
    library, selected, canChange, canUse,
    focusPath: () => state.focusPath ?? view.items[0]?.filepath,
    on: { play, rename: openRename, reveal, remove: confirmRemove, select, submitRename, closeRename },
  }),
  topInset: () => document.querySelector('.top').offsetHeight,
});
const player = new Player($('player'), {
  items: () => view.items,
  facts: (path) => library.facts.get(path) || undefined,
  // The focus goes to the card of the clip shown last. The dialog's close
  // event comes a moment after the key that closed it: a key pressed since
  // (F2 on the card the browser gave the focus back to) has put the focus
  // into a form or dialog, and it stays there.
  closed: (path) => {
    const active = document.activeElement;
    if (!active || !active.closest('form.rename, dialog[open]')) focusCard(path);
  },
});

// ---- status line: fades after a few seconds, errors a little later ----
let statusTimer = 0;
function say(text, kind = 'info') {
  const status = $('status');
  status.textContent = text;
  status.dataset.kind = kind;
  status.classList.remove('fading');
  clearTimeout(statusTimer);
  statusTimer = setTimeout(() => {
    status.classList.add('fading');
    statusTimer = setTimeout(() => { status.textContent = ''; status.classList.remove('fading'); }, 700);
  }, kind === 'error' ? 9000 : 5000);
}

// ---- rendering ----
let firstCardMarked = false;
function renderView() {
  view = state.folderExists ? library.view({ query: state.query, sort: state.sort }) : { items: [], groups: [] };
  grid.setView(view);
  if (!firstCardMarked && grid.cards.size > 0) {
    firstCardMarked = true;
    requestAnimationFrame(() => performance.mark('kyn:first-card'));
  }
  renderTotals();
  renderSelection();
  player.refresh();
}

function renderTotals() {
  const { count: clips, bytes } = library.totals();
  const shown = state.folderExists ? clips : 0;
  const prefix = state.query && state.folderExists ? `${view.items.length.toLocaleString('en')} of ` : '';
  $('totals').textContent = `${prefix}${count(shown, 'clip')} · ${formatSize(state.folderExists ? bytes : 0)}`;
  $('folder-missing').hidden = state.folderExists;
  $('folder-missing-path').textContent = state.folder;
  $('empty').hidden = !state.folderExists || clips > 0;
  $('no-match').hidden = !state.folderExists || clips === 0 || view.items.length > 0;
  $('no-match').textContent = `No highlight matches “${state.query.trim()}”.`;
}

function renderSelection() {
  for (const path of selected) if (!library.records.has(path)) selected.delete(path);
  $('selection').hidden = selected.size === 0;
  $('selection-count').textContent = `${selected.size.toLocaleString('en')} selected`;
  $('delete-selected').disabled = !canChange();
}

let listArrived = false;
function renderList(list) {
  if (!listArrived) {
    listArrived = true;
    performance.mark('kyn:list-arrived'); // by the stream or the first read
  }
  const changes = library.setRecords(list);
  for (const [from, to] of changes.renamed) {
    grid.rekey(from, to);
    if (selected.delete(from)) selected.add(to);
    if (state.focusPath === from) state.focusPath = to;
    if (state.renaming === from) state.renaming = to;
  }
  renderView();
  if (changes.added.length > 0 || changes.changed.size > 0) scheduleFacts();
}

function renderConfig(config) {
  state.enabled = Boolean(config.isHighlightsEnabled);
  state.invalid = config.invalidHighlightNameCharacters || '';
  $('enabled').checked = state.enabled;
  applyAvailability();
}

function renderFolder(path) {
  state.folder = path;
  const input = $('folder');
  if (document.activeElement !== input) input.value = path;
  $('folder-summary').textContent = path;
  $('folder-missing-path').textContent = path;
}

// Everything that needs the host is off while it is away; the changing
// actions also while highlights are turned off.
function applyAvailability() {
  $('offline').hidden = !state.offline;
  document.body.classList.toggle('offline', state.offline);
  $('disabled-note').hidden = state.enabled;
  for (const control of document.querySelectorAll('#settings input, #settings button')) control.disabled = !canUse();
  $('rescan').disabled = !canChange();
  $('delete-selected').disabled = !canChange();
  grid.refill();
}

// ---- clip facts (duration, picture size) and whether the folder exists ----
let factsTimer = 0;
let factsTries = 0;
function scheduleFacts(delay = 60) {
  clearTimeout(factsTimer);
  factsTimer = setTimeout(loadFacts, delay);
}

async function loadFacts() {
  let answer;
  try {
    answer = await api.clips();
  } catch {
    return; // without them the cards show no duration
  }
  // The host learns of a new list or folder at the moment the stream
  // sends it; an answer from just before is asked again.
  const behind = answer.folder !== state.folder || library.missingFacts().some((path) => !(path in answer.clips));
  if (behind && factsTries++ < 5) scheduleFacts(250);
  if (!behind) factsTries = 0;
  const folderChanged = state.folderExists !== answer.folderExists && answer.folder === state.folder;
  if (answer.folder === state.folder) state.folderExists = answer.folderExists;
  const factsChanged = library.setFacts(answer.clips);
  if (folderChanged || (factsChanged && state.sort === 'length')) renderView();
  else if (factsChanged) { grid.refill(); player.refresh(); }
  if (state.announce && answer.folder === state.announce) {
    if (answer.folderExists) say(`Showing the highlights of ${state.announce}.`, 'done');
    else say(`The folder ${state.announce} does not exist.`, 'error');
    state.announce = null;
  }
}

// ---- reading everything, following the stream ----
async function refresh() {
  const [config, folder, list] = await Promise.all([api.config(), api.folder(), api.list()]);
  renderConfig(config);
  renderFolder(folder);
  renderList(list);
  scheduleFacts(0);
}

function onEvent(event) {
  if (event.uri === URIS.list && Array.isArray(event.data)) renderList(event.data);
  else if (event.uri === URIS.config && event.data) renderConfig(event.data);
  else if (event.uri === URIS.folder && typeof event.data === 'string') {
    renderFolder(event.data);
    scheduleFacts();
  }
}

function setLive(live) {
  const indicator = $('live');
  indicator.dataset.state = live ? 'live' : 'offline';
  indicator.textContent = live ? 'Live' : 'Reconnecting…';
  if (state.offline === !live) return;
  state.offline = !live;
  applyAvailability();
  renderSelection();
}

// ---- actions ----
function recordOf(path) { return library.records.get(path); }

function play(path) {
  if (canUse() && recordOf(path)) player.open(path);
}

function select(path, on) {
  if (on) selected.add(path);
  else selected.delete(path);
  grid.refill(new Set([path]));
  renderSelection();
}

function openRename(path) {
  const card = grid.cardOf(path) || grid.reveal(grid.indexOf(path));
  if (!card || !canChange()) return;
  if (state.renaming && state.renaming !== path) closeRename(state.renaming, false);
  state.renaming = path;
  const form = card.querySelector('.rename');
  const input = form.querySelector('input');
  input.value = recordOf(path).name;
  form.querySelector('.field-error').textContent = '';
  form.hidden = false;
  card.classList.add('renaming');
  input.focus();
  input.select();
}

function closeRename(path, focus = true) {
  const card = grid.cardOf(path);
  if (state.renaming === path) state.renaming = null;
  if (!card) return;
  card.querySelector('.rename').hidden = true;
  card.classList.remove('renaming');
  if (focus) card.querySelector('.act-rename').focus();
}

async function submitRename(path) {
  const card = grid.cardOf(path);
  const record = recordOf(path);
  if (!card || !record) return;
  const input = card.querySelector('.rename input');
  const error = card.querySelector('.field-error');
  const name = input.value.trim();
  const problem = nameProblem(name, state.invalid);
  if (problem) { error.textContent = problem; input.focus(); return; }
  if (name === record.name) { closeRename(path); return; }
  try {
    const renamed = await api.rename(record.id, name);
    // The list event may have re-keyed the card already.
    closeRename(state.renaming === path ? path : renamed.filepath);
    say(`Renamed “${record.name}” to “${renamed.name}”.`, 'done');
  } catch (failure) {
    error.textContent = plainError(failure, { name: record.name, newName: name, action: `“${record.name}” was not renamed` });
    if (failure.status === 404 || failure.status === 409) refresh().catch(() => {});
  }
}

async function reveal(path) {
  const record = recordOf(path);
  if (!record) return;
  say('Opening the file browser…');
  try {
    await api.reveal(record.id);
    say(`Showed “${record.name}” in the file browser.`, 'done');
  } catch (failure) {
    say(plainError(failure, { name: record.name, action: 'The file browser did not open' }), 'error');
  }
}

function confirm({ title, text, names, action }) {
  const dialog = $('confirm');
  $('confirm-title').textContent = title;
  $('confirm-text').textContent = text;
  const list = $('confirm-names');
  list.replaceChildren(...names.slice(0, 12).map((name) => Object.assign(document.createElement('li'), { textContent: name })));
  if (names.length > 12) list.append(Object.assign(document.createElement('li'), { textContent: `and ${names.length - 12} more` }));
  list.hidden = names.length === 0;
  $('confirm-do').textContent = action;
  dialog.returnValue = '';
  dialog.showModal();
  return new Promise((resolve) => { dialog.onclose = () => resolve(dialog.returnValue === 'confirm'); });
}

async function confirmRemove(paths) {
  const records = paths.map(recordOf).filter(Boolean);
  if (records.length === 0 || !canChange()) return;
  const names = records.map((record) => record.name);
  const one = records.length === 1;
  const back = document.activeElement;
  const confirmed = await confirm({
    title: one ? 'Delete highlight?' : `Delete ${records.length} highlights?`,
    text: one ? `“${names[0]}” will be deleted from the folder. This cannot be undone.`
      : `${nameList(names)} will be deleted from the folder. This cannot be undone.`,
    names: one ? [] : names,
    action: one ? 'Delete' : `Delete ${records.length}`,
  });
  if (!confirmed) { if (back && back.isConnected) back.focus(); return; }
  const after = nextPathAfter(records.map((record) => record.filepath));
  const failures = [];
  let deleted = 0;
  for (const record of records) {
    // A rescan since may have given the clip another id.
    const current = recordOf(record.filepath) || record;
    try {
      await api.remove(current.id);
      deleted += 1;
      selected.delete(record.filepath);
    } catch (failure) {
      failures.push(plainError(failure, { name: record.name, action: `“${record.name}” was not deleted` }));
      if (failure.offline) break;
    }
  }
  renderSelection();
  if (failures.length === 0) say(one ? `Deleted “${names[0]}”.` : `Deleted ${count(deleted, 'highlight')}.`, 'done');
  else say(`${deleted > 0 ? `Deleted ${count(deleted, 'highlight')}. ` : ''}${failures[0]}${failures.length > 1 ? ` (${failures.length - 1} more failed)` : ''}`, 'error');
  if (after) focusCard(after);
  else $('list-title').focus();
}

// The clip that takes the focus once the given ones are gone.
function nextPathAfter(paths) {
  const gone = new Set(paths);
  const last = Math.max(...paths.map((path) => grid.indexOf(path)));
  for (let i = last + 1; i < view.items.length; ++i) if (!gone.has(view.items[i].filepath)) return view.items[i].filepath;
  for (let i = last - 1; i >= 0; --i) if (!gone.has(view.items[i].filepath)) return view.items[i].filepath;
  return null;
}

function focusCard(path) {
  const index = grid.indexOf(path);
  if (index < 0) return;
  const previous = state.focusPath;
  state.focusPath = path;
  const card = grid.reveal(index);
  grid.refill(new Set([previous, path]));
  if (card) card.focus();
}

// ---- keyboard ----
function onKey(event) {
  if (event.defaultPrevented || event.altKey || event.ctrlKey || event.metaKey) return;
  if (document.querySelector('dialog[open]')) return; // each dialog has its own keys
  const target = event.target;
  if (target.matches('input:not([type="checkbox"]), select, textarea')) {
    if (event.key === 'Escape' && target.id === 'search' && target.value) {
      target.value = '';
      onSearch();
    }
    return;
  }
  const card = target.closest('.card');
  const path = card ? card.dataset.path : null;
  const moves = { ArrowLeft: [-1, 0], ArrowRight: [1, 0], ArrowUp: [0, -1], ArrowDown: [0, 1] };
  let handled = true;
  if (event.key === '?') $('help').showModal();
  else if (event.key === '/') $('search').focus();
  else if (moves[event.key] && (card || target === document.body || target.id === 'list-title')) {
    const next = grid.neighbour(path ? grid.indexOf(path) : -1, ...moves[event.key]);
    if (next >= 0) focusCard(view.items[next].filepath);
  } else if ((event.key === 'Enter' || event.key === ' ') && card && target === card) play(path);
  else if (event.key === 'Delete' && (card || selected.size > 0)) {
    confirmRemove(selected.size > 0 && (!path || selected.has(path)) ? [...selected] : [path]);
  } else if (event.key === 'F2' && card) openRename(path);
  else if (event.key === 'Escape' && selected.size > 0) { selected.clear(); grid.refill(); renderSelection(); }
  else handled = false;
  if (handled) event.preventDefault();
}

let searchFrame = 0;
function onSearch() {
  state.query = $('search').value;
  cancelAnimationFrame(searchFrame);
  searchFrame = requestAnimationFrame(renderView);
}

async function changeFolder(path) {
  try {
    await api.setFolder(path);
    state.announce = path;
    scheduleFacts();
  } catch (failure) {
    say(plainError(failure, { action: `The folder was not changed` }), 'error');
  }
}

function wire() {
  document.addEventListener('keydown', onKey);
  $('grid').addEventListener('focusin', (event) => {
    const card = event.target.closest('.card');
    if (card && card.dataset.path !== state.focusPath) {
      const previous = state.focusPath;
      state.focusPath = card.dataset.path;
      grid.refill(new Set([previous, state.focusPath]));
    }
  });
  $('search').addEventListener('input', onSearch);
  $('sort').value = state.sort;
  $('sort').addEventListener('change', (event) => {
    state.sort = event.target.value;
    localStorage.setItem('kyn-sort', state.sort);
    renderView();
  });
  $('help-open').addEventListener('click', () => $('help').showModal());
  $('rescan').addEventListener('click', async () => {
    $('rescan').disabled = true;
    try {
      const list = await api.rescan();
      renderList(list);
      await loadFacts();
      if (state.folderExists) say(`Rescanned: ${count(list.length, 'highlight')}.`, 'done');
      else say(`The folder ${state.folder} does not exist.`, 'error');
    } catch (failure) {
      say(plainError(failure, { action: 'The rescan failed' }), 'error');
    }
    $('rescan').disabled = !canChange();
  });
  $('enabled').addEventListener('change', async (event) => {
    const enabled = event.target.checked;
    try {
      await api.setEnabled(enabled);
      say(enabled ? 'Highlights turned on.' : 'Highlights turned off.');
    } catch (failure) {
      event.target.checked = !enabled;
      say(plainError(failure), 'error');
    }
  });
  $('folder-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const path = $('folder').value.trim();
    if (!path) { say('Enter a folder path.', 'error'); return; }
    changeFolder(path);
  });
  $('folder-default').addEventListener('click', async () => {
    try {
      const path = await api.defaultFolder();
      $('folder').value = path;
      changeFolder(path);
    } catch (failure) {
      say(plainError(failure), 'error');
    }
  });
  $('select-all').addEventListener('click', () => {
    for (const record of view.items) selected.add(record.filepath);
    grid.refill();
    renderSelection();
  });
  $('select-none').addEventListener('click', () => { selected.clear(); grid.refill(); renderSelection(); });
  $('delete-selected').addEventListener('click', () => confirmRemove([...selected]));
  // Small screens start with the settings folded away.
  if (window.matchMedia('(max-width: 40rem)').matches) $('settings').open = false;
}

wire();
follow({
  open() { setLive(true); refresh().catch((failure) => say(plainError(failure), 'error')); },
  lost() { setLive(false); },
  event: onEvent,
});
