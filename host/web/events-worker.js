// The one connection to the host's event stream that every open tab of the
// viewer shares (a SharedWorker): ten tabs hold one /events connection, not
// ten. Each tab's port gets the stream's state and every message.
//
// To a port: {type: 'open'} when the stream is (again) connected, so the
// tab reads everything anew; {type: 'error'} while it reconnects;
// {type: 'event', data} for each message. From a port: 'close' when its tab
// goes away.

const ports = new Set();
let stream = null;
let open = false;

function broadcast(message) {
  for (const port of ports) port.postMessage(message);
}

function connect() {
  stream = new EventSource('/events');
  stream.onopen = () => { open = true; broadcast({ type: 'open' }); };
  stream.onerror = () => {
    open = false;
    broadcast({ type: 'error' });
    // A stream the browser gave up on (an answer that was no stream) is
    // opened again after a while; otherwise the browser reconnects itself.
    if (stream.readyState === EventSource.CLOSED) setTimeout(connect, 3000);
  };
  stream.onmessage = (message) => broadcast({ type: 'event', data: message.data });
}

self.onconnect = (event) => {
  const port = event.ports[0];
  ports.add(port);
  port.onmessage = (message) => {
    if (message.data === 'close') ports.delete(port);
  };
  port.start();
  if (!stream) connect();
  else port.postMessage({ type: open ? 'open' : 'error' });
};
