// The highlights viewer: loads the list, configuration and folder once, then
// follows the host's event stream; every change the plugin publishes (ours
// or another client's) updates the page without a reload.
import { api, URIS } from './api.js';
import { formatDate, formatSize, nameProblem, newestFirst } from './format.js';

const $ = (id) => document.getElementById(id);
const state = { enabled: true, invalid: '', highlights: [] };
const cards = new Map(); // id -> <li>, kept so videos and open forms survive updates

function say(text, isError = false) {
  const status = $('status');
  status.textContent = text;
  status.classList.toggle('error', isError);
}

async function attempt(action, done) {
  try {
    const value = await action();
    if (done) say(typeof done === 'function' ? done(value) : done);
    return value;
  } catch (error) {
    say(error.message, true);
    return undefined;
  }
}

function button(text, className, onClick) {
  const element = document.createElement('button');
  element.type = 'button';
  element.textContent = text;
  if (className) element.className = className;
  element.addEventListener('click', onClick);
  return element;
}

function buildCard(highlight) {
  const card = document.createElement('li');
  card.className = 'card';
  card.dataset.id = highlight.id;
  card.innerHTML = `
    <video controls preload="metadata"></video>
    <div class="body">
      <h3 class="name"></h3>
      <p class="meta"><time></time> · <span class="size"></span></p>
      <form class="rename" hidden>
        <label>New name <input name="name" type="text" autocomplete="off" required></label>
        <p class="field-error" role="alert"></p>
        <div class="row"><button type="submit">Save</button><button type="button" class="cancel">Cancel</button></div>
      </form>
      <div class="row actions"></div>
    </div>`;
  const actions = card.querySelector('.actions');
  const id = () => Number(card.dataset.id);
  actions.append(
    button('Rename', 'act-rename', () => openRename(card)),
    button('Show in folder', 'act-reveal', () => {
      say('Opening the file browser…');
      attempt(() => api.reveal(id()), 'Opened the file browser.');
    }),
    button('Delete', 'danger act-delete', () => confirmDelete(card)),
  );
  const form = card.querySelector('.rename');
  form.addEventListener('submit', (event) => { event.preventDefault(); submitRename(card); });
  form.querySelector('.cancel').addEventListener('click', () => closeRename(card));
  form.addEventListener('keydown', (event) => { if (event.key === 'Escape') closeRename(card); });
  return card;
}

function fillCard(card, highlight) {
  card.dataset.id = highlight.id;
  card.querySelector('.name').textContent = highlight.name;
  const time = card.querySelector('time');
  time.dateTime = highlight.mtimeIso8601;
  time.textContent = formatDate(highlight.mtimeIso8601);
  card.querySelector('.size').textContent = formatSize(highlight.fileSizeBytes);
  const video = card.querySelector('video');
  if (video.getAttribute('src') !== highlight.url) video.setAttribute('src', highlight.url);
  video.setAttribute('aria-label', highlight.name);
  card.querySelectorAll('.actions button, .rename button').forEach((b) => { b.disabled = !state.enabled; });
}

function renderList(highlights) {
  state.highlights = [...highlights].sort(newestFirst);
  const list = $('highlights');
  const seen = new Set();
  state.highlights.forEach((highlight, index) => {
    let card = cards.get(highlight.id);
    if (!card) { card = buildCard(highlight); cards.set(highlight.id, card); }
    fillCard(card, highlight);
    seen.add(highlight.id);
    if (list.children[index] !== card) list.insertBefore(card, list.children[index] || null);
  });
  for (const [id, card] of cards) {
    if (!seen.has(id)) { card.remove(); cards.delete(id); }
  }
  $('empty').hidden = state.highlights.length > 0;
  $('count').textContent = `(${state.highlights.length})`;
}

function renderConfig(config) {
  state.enabled = Boolean(config.isHighlightsEnabled);
  state.invalid = config.invalidHighlightNameCharacters || '';
  $('enabled').checked = state.enabled;
  $('disabled-note').hidden = state.enabled;
  $('rescan').disabled = !state.enabled;
  document.body.classList.toggle('disabled', !state.enabled);
  renderList(state.highlights);
}

function renderFolder(path) {
  const input = $('folder');
  if (document.activeElement !== input) input.value = path;
  input.dataset.current = path;
}

function openRename(card) {
  const form = card.querySelector('.rename');
  const input = form.querySelector('input');
  input.value = card.querySelector('.name').textContent;
  form.querySelector('.field-error').textContent = '';
  form.hidden = false;
  card.querySelector('.actions').hidden = true;
  input.focus();
  input.select();
}

function closeRename(card) {
  card.querySelector('.rename').hidden = true;
  card.querySelector('.actions').hidden = false;
  card.querySelector('.act-rename').focus();
}

async function submitRename(card) {
  const form = card.querySelector('.rename');
  const error = form.querySelector('.field-error');
  const name = form.querySelector('input').value;
  const problem = nameProblem(name, state.invalid);
  if (problem) { error.textContent = problem; return; }
  if (name === card.querySelector('.name').textContent) { closeRename(card); return; }
  try {
    const renamed = await api.rename(Number(card.dataset.id), name);
    closeRename(card);
    say(`Renamed to “${renamed.name}”.`);
  } catch (failure) {
    error.textContent = failure.message;
  }
}

function confirmDelete(card) {
  const dialog = $('confirm-delete');
  const name = card.querySelector('.name').textContent;
  $('confirm-text').textContent = `“${name}” will be deleted from the folder. This cannot be undone.`;
  dialog.returnValue = '';
  dialog.onclose = async () => {
    if (dialog.returnValue !== 'delete') { card.querySelector('.act-delete').focus(); return; }
    const next = card.nextElementSibling || card.previousElementSibling;
    const done = await attempt(() => api.remove(Number(card.dataset.id)), `Deleted “${name}”.`);
    if (done !== undefined || !card.isConnected) {
      (next && next.isConnected ? next.querySelector('.act-rename') : $('list-title')).focus();
    }
  };
  dialog.showModal();
}

async function refresh() {
  const [config, folder, list] = await Promise.all([api.config(), api.folder(), api.list()]);
  renderConfig(config);
  renderFolder(folder);
  renderList(list);
}

function onEvent(message) {
  let event;
  try { event = JSON.parse(message.data); } catch { return; }
  if (event.uri === URIS.list && Array.isArray(event.data)) renderList(event.data);
  else if (event.uri === URIS.config && event.data) renderConfig(event.data);
  else if (event.uri === URIS.folder && typeof event.data === 'string') renderFolder(event.data);
}

function follow() {
  const live = $('live');
  const stream = new EventSource('/events');
  stream.onmessage = onEvent;
  // A (re)opened stream may have missed events: read everything again.
  stream.onopen = () => {
    live.dataset.state = 'live';
    live.textContent = 'Live';
    refresh().catch((error) => say(error.message, true));
  };
  stream.onerror = () => {
    live.dataset.state = 'offline';
    live.textContent = 'Reconnecting…';
  };
}

function wire() {
  $('rescan').addEventListener('click', async (event) => {
    const rescan = event.currentTarget;
    rescan.disabled = true;
    await attempt(api.rescan, (list) => `Rescanned: ${list.length} highlight${list.length === 1 ? '' : 's'}.`);
    rescan.disabled = !state.enabled;
  });
  $('enabled').addEventListener('change', (event) => {
    const enabled = event.target.checked;
    attempt(() => api.setEnabled(enabled), enabled ? 'Highlights enabled.' : 'Highlights disabled.');
  });
  $('folder-form').addEventListener('submit', (event) => {
    event.preventDefault();
    const path = $('folder').value.trim();
    if (!path) { say('Enter a folder path.', true); return; }
    attempt(() => api.setFolder(path), `Folder changed to ${path}.`);
  });
  $('folder-default').addEventListener('click', async () => {
    const path = await attempt(api.defaultFolder);
    if (path === undefined) return;
    $('folder').value = path;
    attempt(() => api.setFolder(path), `Folder changed to the default, ${path}.`);
  });
}

wire();
refresh().catch((error) => say(error.message, true));
follow();
