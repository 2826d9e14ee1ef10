// The large player: a modal dialog that plays one clip of the current view
// with previous and next (buttons, or the arrow keys), its place in the
// view and its facts. Closing it stops the video and hands the clip shown
// last back, so the grid can put the focus on its card.

import { count, formatDate, formatDuration, formatSize } from './format.js';

export class Player {
  // `items()`: the view's records in order; `facts(path)`: the host's facts
  // or undefined; `closed(path)`: called with the clip shown last.
  constructor(dialog, { items, facts, closed }) {
    this.dialog = dialog;
    this.items = items;
    this.facts = facts;
    this.closed = closed;
    this.path = null;
    this.video = dialog.querySelector('video');
    dialog.querySelector('.player-prev').addEventListener('click', () => this.step(-1));
    dialog.querySelector('.player-next').addEventListener('click', () => this.step(1));
    dialog.querySelector('.player-close').addEventListener('click', () => dialog.close());
    dialog.addEventListener('keydown', (event) => this.onKey(event));
    dialog.addEventListener('close', () => this.onClose());
  }

  get isOpen() { return this.dialog.open; }

  open(path) {
    if (!this.dialog.open) this.dialog.showModal();
    this.show(path);
    this.video.focus();
  }

  show(path) {
    const items = this.items();
    const index = items.findIndex((record) => record.filepath === path);
    if (index < 0) return;
    const record = items[index];
    this.path = path;
    this.dialog.querySelector('.player-title').textContent = record.name;
    this.dialog.querySelector('.player-meta').textContent = this.describe(record);
    this.dialog.querySelector('.player-position').textContent = `${(index + 1).toLocaleString('en')} of ${count(items.length, 'clip')}`;
    this.dialog.querySelector('.player-prev').disabled = index === 0;
    this.dialog.querySelector('.player-next').disabled = index === items.length - 1;
    this.video.setAttribute('aria-label', record.name);
    if (this.video.getAttribute('src') !== record.url) {
      this.video.src = record.url;
      this.video.play().catch(() => {}); // a browser may want a click first
    }
  }

  describe(record) {
    const parts = [formatDate(record.mtimeMsUtc), formatSize(record.fileSizeBytes)];
    const facts = this.facts(record.filepath);
    if (facts) parts.push(formatDuration(facts.durationMs), `${facts.width}×${facts.height}`);
    return parts.join(' · ');
  }

  // Keeps the player on the view after a change (a rename shows the new
  // name; a clip that left the view stays until the next step).
  refresh() {
    if (this.dialog.open && this.path) this.show(this.path);
  }

  step(delta) {
    const items = this.items();
    const index = items.findIndex((record) => record.filepath === this.path);
    const next = items[index + delta];
    if (index >= 0 && next) this.show(next.filepath);
  }

  onKey(event) {
    if (event.key === 'ArrowLeft' || event.key === 'ArrowRight') {
      event.preventDefault();
      this.step(event.key === 'ArrowLeft' ? -1 : 1);
    } else if ((event.key === ' ' || event.key === 'k') && !event.target.closest('button')) {
      event.preventDefault();
      if (this.video.paused) this.video.play().catch(() => {});
      else this.video.pause();
    }
  }

  onClose() {
    this.video.pause();
    this.video.removeAttribute('src');
    this.video.load();
    const path = this.path;
    this.path = null;
    this.closed(path);
  }
}
