// The viewer's calls to the host: the plugin's routes, the host's two
// resources and its clip facts. A refused call throws a RequestError with
// the answer's status and message; a host that cannot be reached throws
// one with status 0.

const BASE = '/kyn-highlights/v1';
export const URIS = {
  list: `${BASE}/highlights`,
  config: `${BASE}/config`,
  folder: `${BASE}/highlights-folder-path`,
  settings: '/kyn-settings/v1/local/kyn-replays',
  platform: '/kyn-platform-config/v1/namespaces/Highlights',
  clips: '/kyn-host/v1/clips',
};

export class RequestError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }

  get offline() { return this.status === 0; }
}

async function call(method, path, body) {
  const init = { method, headers: {} };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  let response;
  try {
    response = await fetch(path, init);
  } catch {
    throw new RequestError(0, 'The host is not reachable.');
  }
  const text = await response.text().catch(() => '');
  let value = null;
  try { value = text ? JSON.parse(text) : null; } catch { value = null; }
  if (!response.ok) {
    const message = value && typeof value.message === 'string' ? value.message : response.statusText;
    throw new RequestError(response.status, message);
  }
  return value;
}

export const api = {
  list: () => call('GET', URIS.list),
  rescan: () => call('POST', URIS.list),
  config: () => call('GET', URIS.config),
  folder: () => call('GET', URIS.folder),
  defaultFolder: () => call('GET', `${URIS.folder}/default`),
  clips: () => call('GET', URIS.clips),
  rename: (id, name) => call('PUT', `${URIS.list}/${id}`, { name }),
  remove: (id) => call('DELETE', `${URIS.list}/${id}`),
  reveal: (id) => call('POST', `${BASE}/file-browser/${id}`),
  setFolder: (path) => call('PUT', URIS.settings, { data: { 'highlights-folder-path': path } }),
  setEnabled: (enabled) => call('PUT', URIS.platform, { Enabled: enabled }),
};

// An error in plain words for a person: the plugin's texts end in line
// breaks and carry codes and prefixes meant for logs.
export function plainError(error, { action = '', name = '', newName = '' } = {}) {
  if (!(error instanceof RequestError)) return String(error && error.message ? error.message : error);
  if (error.offline) return 'The host is not reachable. Check that kyn-host is running.';
  const text = error.message.replace(/\s+$/, '').replace(/^Bad Request:\s*/, '');
  if (error.status === 503) return 'Highlights are turned off: turn them on in the settings to change clips.';
  if (/already exists|file exists/i.test(text) && newName) return `A highlight named “${newName}” already exists.`;
  // A highlight another client renamed, deleted or rescanned away.
  if (name && (error.status === 404 || error.status === 409 || /does not exist|not found/i.test(text))) {
    return `“${name}” is no longer in the folder.`;
  }
  const detail = text.replace(/^kyn-highlights:\s*/, '').replace(/^(Rename|Delete) failed:\s*/i, '');
  const sentence = detail ? detail[0].toUpperCase() + detail.slice(1) : `The host answered ${error.status}`;
  const clean = /[.!?]$/.test(sentence) ? sentence : `${sentence}.`;
  return action ? `${action}: ${clean}` : clean;
}
