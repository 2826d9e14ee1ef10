// The viewer's calls to the host: the plugin's routes and the host's two
// resources. A refused call throws an Error carrying the answer's message.

const BASE = '/kyn-highlights/v1';
export const URIS = {
  list: `${BASE}/highlights`,
  config: `${BASE}/config`,
  folder: `${BASE}/highlights-folder-path`,
  settings: '/kyn-settings/v1/local/kyn-replays',
  platform: '/kyn-platform-config/v1/namespaces/Highlights',
};

async function call(method, path, body) {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const response = await fetch(path, init);
  const text = await response.text();
  let value = null;
  try { value = text ? JSON.parse(text) : null; } catch { value = null; }
  if (!response.ok) {
    const message = value && typeof value.message === 'string' ? value.message
      : `${response.status} ${response.statusText}`;
    throw new Error(message);
  }
  return value;
}

export const api = {
  list: () => call('GET', URIS.list),
  rescan: () => call('POST', URIS.list),
  config: () => call('GET', URIS.config),
  folder: () => call('GET', URIS.folder),
  defaultFolder: () => call('GET', `${URIS.folder}/default`),
  rename: (id, name) => call('PUT', `${URIS.list}/${id}`, { name }),
  remove: (id) => call('DELETE', `${URIS.list}/${id}`),
  reveal: (id) => call('POST', `${BASE}/file-browser/${id}`),
  setFolder: (path) => call('PUT', URIS.settings, { data: { 'highlights-folder-path': path } }),
  setEnabled: (enabled) => call('PUT', URIS.platform, { Enabled: enabled }),
};
