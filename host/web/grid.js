// A virtualised grid: of ten thousand clips only the cards near the
// viewport exist in the page. Rows (day headings and rows of cards) are
// laid out from the view and the container's width; on scroll and resize
// the cards entering the range are built and those leaving it released.
// Cards are keyed by file path: a new view (a rescan, a rename, a sort)
// moves and patches the cards that stay, and builds only the new ones.
//
//   const grid = new VirtualGrid(container, { build, fill, release, heading, topInset });
//   grid.setView({ items, groups });     // items: records with a filepath
//   grid.cardOf(path); grid.reveal(index);

const GAP = 16;
const HEADING_HEIGHT = 52;
const MIN_CARD_WIDTH = 260;

export class VirtualGrid {
  // `topInset()`: the height of what covers the top of the viewport (a
  // sticky header), which a revealed card must clear.
  constructor(container, { build, fill, release, heading, topInset = () => 0 }) {
    this.container = container;
    this.hooks = { build, fill, release, heading };
    this.topInset = topInset;
    this.items = [];
    this.groups = [];
    this.rows = [];
    this.cards = new Map(); // path -> mounted card
    this.headings = new Map(); // day key -> mounted heading
    this.indexByPath = new Map();
    this.cardHeight = 0;
    this.width = 0;
    this.pending = false;
    const schedule = () => this.schedule();
    window.addEventListener('scroll', schedule, { passive: true });
    window.addEventListener('resize', schedule);
    new ResizeObserver(() => {
      if (this.container.clientWidth !== this.width) { this.width = 0; schedule(); }
    }).observe(container);
  }

  get columns() { return this.columnCount || 1; }

  setView({ items, groups }) {
    this.items = items;
    this.groups = groups;
    this.indexByPath = new Map(items.map((item, index) => [item.filepath, index]));
    this.layout();
    this.render();
  }

  indexOf(path) { return this.indexByPath.has(path) ? this.indexByPath.get(path) : -1; }
  cardOf(path) { return this.cards.get(path) || null; }

  // Re-fills the mounted cards (all, or those of the paths).
  refill(paths) {
    for (const [path, card] of this.cards) {
      if (!paths || paths.has(path)) this.hooks.fill(card, this.items[this.indexOf(path)]);
    }
  }

  // Moves a mounted card to a record's new path (a rename).
  rekey(oldPath, newPath) {
    const card = this.cards.get(oldPath);
    if (!card || this.cards.has(newPath)) return;
    this.cards.delete(oldPath);
    this.cards.set(newPath, card);
  }

  // The index of the card beside (dx: -1, 1) or above or below (dy: -1, 1)
  // the one at `index`, which stays when there is none; 0 from nowhere.
  neighbour(index, dx, dy) {
    if (this.items.length === 0) return -1;
    if (index < 0) return 0;
    if (dx) return Math.min(this.items.length - 1, Math.max(0, index + dx));
    let r = this.rowOfItem[index];
    const column = index - this.rows[r].first;
    do { r += dy; } while (this.rows[r] && this.rows[r].kind !== 'cards');
    const row = this.rows[r];
    return row ? row.first + Math.min(column, row.count - 1) : index;
  }

  // Scrolls the card at `index` into view and returns it.
  reveal(index) {
    const row = this.rows[this.rowOfItem[index]];
    if (!row) return null;
    const top = this.container.getBoundingClientRect().top + row.top;
    const header = this.topInset();
    if (top < header + 8) window.scrollBy(0, top - header - 8);
    else if (top + row.height > window.innerHeight) window.scrollBy(0, top + row.height - window.innerHeight + 8);
    this.render();
    return this.cards.get(this.items[index].filepath) || null;
  }

  schedule() {
    if (this.pending) return;
    this.pending = true;
    requestAnimationFrame(() => {
      this.pending = false;
      if (this.width === 0) this.layout();
      this.render();
    });
  }

  layout() {
    this.width = this.container.clientWidth;
    this.columnCount = Math.max(1, Math.floor((this.width + GAP) / (MIN_CARD_WIDTH + GAP)));
    this.cardWidth = (this.width - GAP * (this.columnCount - 1)) / this.columnCount;
    this.cardHeight = this.measure();
    this.rows = [];
    this.rowOfItem = new Int32Array(this.items.length);
    let top = 0;
    const segments = this.groups.length > 0 ? this.groups : [{ key: null, first: 0, count: this.items.length }];
    for (const group of segments) {
      if (group.key) {
        this.rows.push({ kind: 'heading', top, height: HEADING_HEIGHT, group });
        top += HEADING_HEIGHT;
      }
      for (let i = 0; i < group.count; i += this.columnCount) {
        const first = group.first + i;
        const count = Math.min(this.columnCount, group.count - i);
        this.rowOfItem.fill(this.rows.length, first, first + count);
        this.rows.push({ kind: 'cards', top, height: this.cardHeight, first, count });
        top += this.cardHeight + GAP;
      }
    }
    this.container.style.height = `${Math.max(0, top - GAP)}px`;
  }

  // A card's height at the current width, from a hidden card: the card's
  // parts have fixed heights, so one measure holds for all.
  measure() {
    if (this.items.length === 0) return 0;
    const probe = this.hooks.build(this.items[0]);
    this.hooks.fill(probe, this.items[0]);
    probe.style.cssText = `position:absolute;visibility:hidden;width:${this.cardWidth}px`;
    probe.setAttribute('aria-hidden', 'true');
    this.container.append(probe);
    const height = probe.offsetHeight;
    probe.remove();
    this.hooks.release(probe);
    return height;
  }

  // The rows that overlap the viewport, with half a screen around it.
  visibleRows() {
    const top = -this.container.getBoundingClientRect().top;
    const margin = window.innerHeight * 0.75;
    const from = top - margin;
    const to = top + window.innerHeight + margin;
    let low = 0;
    let high = this.rows.length;
    while (low < high) {
      const middle = (low + high) >> 1;
      if (this.rows[middle].top + this.rows[middle].height < from) low = middle + 1;
      else high = middle;
    }
    const rows = [];
    for (let r = low; r < this.rows.length && this.rows[r].top <= to; ++r) rows.push(this.rows[r]);
    return rows;
  }

  render() {
    const wanted = [];
    for (const row of this.visibleRows()) {
      if (row.kind === 'heading') {
        wanted.push({ key: row.group.key, heading: row.group, x: 0, y: row.top, width: this.width });
        continue;
      }
      for (let c = 0; c < row.count; ++c) {
        const index = row.first + c;
        wanted.push({ key: this.items[index].filepath, index, x: c * (this.cardWidth + GAP), y: row.top, width: this.cardWidth });
      }
    }
    this.unmountExcept(wanted);
    this.mount(wanted);
  }

  unmountExcept(wanted) {
    const keep = new Set(wanted.map((entry) => (entry.heading ? `h:${entry.key}` : entry.key)));
    for (const [path, card] of this.cards) {
      if (keep.has(path)) continue;
      this.cards.delete(path);
      card.remove();
      this.hooks.release(card);
    }
    for (const [key, heading] of this.headings) {
      if (!keep.has(`h:${key}`)) { this.headings.delete(key); heading.remove(); }
    }
  }

  // Places the wanted elements in view order, building those missing; an
  // element already in its place is not moved (a focused one keeps focus).
  mount(wanted) {
    const active = document.activeElement;
    let previous = null;
    for (const entry of wanted) {
      const element = entry.heading ? this.headingFor(entry) : this.cardFor(entry);
      place(element, entry);
      const expected = previous ? previous.nextElementSibling : this.container.firstElementChild;
      if (element !== expected) this.container.insertBefore(element, expected);
      previous = element;
    }
    if (active && active !== document.activeElement && active.isConnected) active.focus({ preventScroll: true });
  }

  headingFor(entry) {
    let heading = this.headings.get(entry.key);
    if (!heading) {
      heading = this.hooks.heading(entry.heading);
      this.headings.set(entry.key, heading);
    } else {
      this.hooks.heading(entry.heading, heading);
    }
    return heading;
  }

  cardFor(entry) {
    const record = this.items[entry.index];
    let card = this.cards.get(entry.key);
    if (!card) {
      card = this.hooks.build(record);
      this.cards.set(entry.key, card);
    }
    this.hooks.fill(card, record);
    card.setAttribute('aria-posinset', entry.index + 1);
    card.setAttribute('aria-setsize', this.items.length);
    return card;
  }
}

function place(element, { x, y, width }) {
  const transform = `translate(${x}px, ${y}px)`;
  if (element.style.transform !== transform) element.style.transform = transform;
  const w = `${width}px`;
  if (element.style.width !== w) element.style.width = w;
}
