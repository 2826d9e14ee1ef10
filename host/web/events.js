// Follows the host's event stream. Tabs share one connection through a
// SharedWorker (events-worker.js); where there is none, the tab opens its
// own EventSource.
//
//   follow({ open() {...}, lost() {...}, event(object) {...} });

export function follow(handlers) {
  const deliver = (data) => {
    let event;
    try { event = JSON.parse(data); } catch { return; }
    handlers.event(event);
  };
  if (typeof SharedWorker === 'function') {
    const worker = new SharedWorker(new URL('./events-worker.js', import.meta.url), { name: 'kyn-events' });
    worker.port.onmessage = ({ data }) => {
      if (data.type === 'open') handlers.open();
      else if (data.type === 'error') handlers.lost();
      else if (data.type === 'event') deliver(data.data);
    };
    worker.port.start();
    window.addEventListener('pagehide', () => worker.port.postMessage('close'));
    return;
  }
  const stream = new EventSource('/events');
  stream.onopen = () => handlers.open();
  stream.onerror = () => handlers.lost();
  stream.onmessage = (message) => deliver(message.data);
}
