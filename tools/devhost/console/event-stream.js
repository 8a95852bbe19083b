// The plugin's events over GET /events (Server-Sent Events). Every event carries its name, and
// an EventSource only hands a named event to a listener of that name, so the stream listens to
// the names the plugin's events can have: those of the resources at its routes. It tells its
// state, and when it comes back after a break (devhost restarted) it says so, so that the
// console can read everything again.

// The event name of a change of the resource at `path`, as the host forms it: the first three
// pieces of the path (five under pyx-platform-config) joined to "OnJsonApiEvent" with "_".
export function eventNameFor(path) {
  const pieces = path.split('/').filter((piece) => piece !== '');
  const keep = pieces[0] === 'pyx-platform-config' ? 5 : 3;
  return ['OnJsonApiEvent', ...pieces.slice(0, keep)].join('_');
}

export class EventStream {
  // onEvent(name, dataText); onState('connecting' | 'open' | 'reconnecting'); onReturn() after
  // the stream opened again following a break.
  constructor({ onEvent, onState, onReturn }) {
    this.onEvent = onEvent;
    this.onState = onState;
    this.onReturn = onReturn;
    this.names = new Set();
    this.source = null;
    this.wasOpen = false;
    this.broken = false;
  }

  // Listens to `names` too, from now on.
  listen(names) {
    for (const name of names) {
      if (this.names.has(name)) continue;
      this.names.add(name);
      this.source?.addEventListener(name, (event) => this.onEvent(name, event.data));
    }
  }

  start() {
    const source = new EventSource('/events');
    this.source = source;
    for (const name of this.names) {
      source.addEventListener(name, (event) => this.onEvent(name, event.data));
    }
    source.addEventListener('message', (event) => this.onEvent('message', event.data));
    source.onopen = () => {
      this.onState('open');
      if (this.wasOpen && this.broken) this.onReturn();
      this.wasOpen = true;
      this.broken = false;
    };
    source.onerror = () => {
      this.broken = true;
      this.onState(this.wasOpen ? 'reconnecting' : 'connecting');
      // A stream refused outright (an error status) is not retried by the browser.
      if (source.readyState === EventSource.CLOSED) {
        setTimeout(() => this.start(), 2000);
      }
    };
  }
}
