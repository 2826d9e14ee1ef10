// The cards of the grid: built once per clip that comes into range, then
// patched (a field is written only when it differs, so a patch of an
// unchanged card touches nothing). A card's video is its thumbnail: it gets
// its source only when the card nears the viewport, and loads just enough
// to show a frame; a card leaving the range gives its video up.

import { count, formatDate, formatDuration, formatSize } from './format.js';

const PLAY_ICON = '<svg viewBox="0 0 24 24" aria-hidden="true" focusable="false"><path d="M8 5.5v13l10.5-6.5z"/></svg>';

let serial = 0;

// Gives a thumbnail its video once it is within a screen of the viewport.
const loader = new IntersectionObserver((entries) => {
  for (const entry of entries) {
    if (!entry.isIntersecting) continue;
    loader.unobserve(entry.target);
    const video = entry.target.querySelector('video');
    if (video.dataset.src && !video.hasAttribute('src')) {
      video.preload = 'metadata';
      video.src = video.dataset.src;
    }
  }
}, { rootMargin: '100% 0px' });

function setText(element, text) {
  if (element.textContent !== text) element.textContent = text;
}

function setAttribute(element, name, value) {
  if (element.getAttribute(name) !== value) element.setAttribute(name, value);
}

// `context`: { library, selected (Set of paths), canChange(), canUse(),
// focusPath(), on: { play, rename, reveal, remove, select, submitRename, closeRename } }.
export function cardHooks(context) {
  const pathOf = (card) => card.dataset.path;

  function build(record) {
    const id = `card-${++serial}`;
    const card = document.createElement('article');
    card.className = 'card';
    card.tabIndex = -1;
    card.setAttribute('aria-labelledby', `${id}-name`);
    card.setAttribute('aria-describedby', `${id}-meta`);
    card.innerHTML = `
      <div class="thumb">
        <video muted playsinline preload="none" tabindex="-1" aria-hidden="true"></video>
        <button type="button" class="play">${PLAY_ICON}</button>
        <span class="duration" hidden></span>
        <input type="checkbox" class="pick">
      </div>
      <div class="body">
        <div class="show">
          <h3 class="name" id="${id}-name"></h3>
          <p class="meta" id="${id}-meta"><time></time><span class="sep" aria-hidden="true"> · </span><span class="size"></span></p>
          <div class="actions">
            <button type="button" class="act-rename">Rename</button>
            <button type="button" class="act-reveal">Show in folder</button>
            <button type="button" class="act-delete danger">Delete</button>
          </div>
        </div>
        <form class="rename" hidden novalidate>
          <label for="${id}-input">New name</label>
          <div class="line">
            <input id="${id}-input" name="name" type="text" autocomplete="off" spellcheck="false" required>
            <button type="submit">Save</button>
            <button type="button" class="cancel">Cancel</button>
          </div>
          <p class="field-error" aria-live="assertive"></p>
        </form>
      </div>`;
    card.dataset.path = record.filepath;
    wire(card);
    card.querySelector('video').addEventListener('error', () => card.classList.add('no-preview'));
    loader.observe(card.querySelector('.thumb'));
    return card;
  }

  function wire(card) {
    const on = context.on;
    card.querySelector('.play').addEventListener('click', () => on.play(pathOf(card)));
    card.querySelector('video').addEventListener('click', () => on.play(pathOf(card)));
    card.querySelector('.pick').addEventListener('change', (event) => on.select(pathOf(card), event.target.checked));
    card.querySelector('.act-rename').addEventListener('click', () => on.rename(pathOf(card)));
    card.querySelector('.act-reveal').addEventListener('click', () => on.reveal(pathOf(card)));
    card.querySelector('.act-delete').addEventListener('click', () => on.remove([pathOf(card)]));
    const form = card.querySelector('.rename');
    form.addEventListener('submit', (event) => { event.preventDefault(); on.submitRename(pathOf(card)); });
    form.querySelector('.cancel').addEventListener('click', () => on.closeRename(pathOf(card)));
    form.addEventListener('keydown', (event) => {
      if (event.key === 'Escape') { event.stopPropagation(); on.closeRename(pathOf(card)); }
    });
  }

  function fill(card, record) {
    if (!record) return;
    const path = record.filepath;
    if (card.dataset.path !== path) card.dataset.path = path;
    const name = card.querySelector('.name');
    setText(name, record.name);
    setAttribute(name, 'title', record.name);
    const time = card.querySelector('time');
    setAttribute(time, 'datetime', record.mtimeIso8601 || '');
    setText(time, formatDate(record.mtimeMsUtc));
    setText(card.querySelector('.size'), formatSize(record.fileSizeBytes));
    fillThumb(card, record);
    const selected = context.selected.has(path);
    card.classList.toggle('selected', selected);
    const pick = card.querySelector('.pick');
    if (pick.checked !== selected) pick.checked = selected;
    setAttribute(pick, 'aria-label', `Select “${record.name}”`);
    setAttribute(card.querySelector('.play'), 'aria-label', `Play “${record.name}”`);
    const changing = !context.canChange();
    for (const button of card.querySelectorAll('.actions button, .rename button[type="submit"]')) {
      if (button.disabled !== changing) button.disabled = changing;
    }
    const play = card.querySelector('.play');
    if (play.disabled !== !context.canUse()) play.disabled = !context.canUse();
    const tabIndex = context.focusPath() === path ? 0 : -1;
    if (card.tabIndex !== tabIndex) card.tabIndex = tabIndex;
  }

  function fillThumb(card, record) {
    const facts = context.library.facts.get(record.filepath);
    const badge = card.querySelector('.duration');
    badge.hidden = !facts;
    if (facts) {
      setText(badge, formatDuration(facts.durationMs));
      setAttribute(badge, 'aria-label', `Length ${formatDuration(facts.durationMs)}`);
    }
    // The fragment asks for the frame a little after the start (the first
    // frame of a clip is often black) and makes it the poster.
    const url = `${record.url}#t=0.1`;
    const video = card.querySelector('video');
    if (video.dataset.src === url) return;
    video.dataset.src = url;
    card.classList.remove('no-preview');
    if (video.hasAttribute('src')) video.src = url;
  }

  function release(card) {
    loader.unobserve(card.querySelector('.thumb'));
    const video = card.querySelector('video');
    if (video.hasAttribute('src')) {
      video.removeAttribute('src');
      video.load(); // frees the decoder and the connection
    }
  }

  function heading(group, element = document.createElement('h3')) {
    element.className = 'day';
    const text = group.label;
    const detail = `${count(group.count, 'clip')} · ${formatSize(group.bytes)}`;
    if (element.dataset.text !== `${text}|${detail}`) {
      element.dataset.text = `${text}|${detail}`;
      element.innerHTML = '';
      const label = document.createElement('span');
      label.textContent = text;
      const small = document.createElement('span');
      small.className = 'day-detail';
      small.textContent = detail;
      element.append(label, ' ', small);
    }
    return element;
  }

  return { build, fill, release, heading };
}
