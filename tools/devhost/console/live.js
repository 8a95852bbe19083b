// What happens as it happens: every event the plugin fires (from the event stream), its log
// lines and the requests it made (read with ?since=N while the panel is open). Each list keeps
// only its latest items, and the events at most a few megabytes of payload, so that a long
// session stays light.
import { getJson } from './api.js';
import { clockTime, pretty } from './format.js';
import { html, useEffect, useMemo, useRef, useState } from './html.js';

const EVENT_LIMIT = 500;
const EVENT_BYTES_LIMIT = 32 * 1024 * 1024;
const LOG_LIMIT = 2000;
const REQUEST_LIMIT = 1000;
const SHOWN_PAYLOAD = 300000;

// The events received, newest last. Payloads stay text until one is looked at.
const events = { items: [], bytes: 0, received: 0, next: 1, listeners: new Set() };

export function recordEvent(name, data) {
  const text = data ?? '';
  events.items.push({ seq: events.next++, time: Date.now(), name, data: text });
  events.bytes += text.length;
  events.received += 1;
  while (events.items.length > EVENT_LIMIT || (events.bytes > EVENT_BYTES_LIMIT && events.items.length > 1)) {
    events.bytes -= events.items.shift().data.length;
  }
  for (const listener of events.listeners) listener();
}

function useEvents() {
  const [, bump] = useState(0);
  useEffect(() => {
    const listener = () => bump((n) => n + 1);
    events.listeners.add(listener);
    return () => events.listeners.delete(listener);
  }, []);
  return events;
}

// Reads a history endpoint (?since=N) every second while mounted, keeping the last `limit`
// items; `dropped` counts entries the host no longer held when asked.
function useHistory(endpoint, limit) {
  const [state, setState] = useState({ items: [], dropped: 0, error: null });
  const since = useRef(1);
  useEffect(() => {
    let stopped = false;
    let timer = null;
    const poll = async () => {
      try {
        const answer = await getJson(`${endpoint}?since=${since.current}`);
        if (stopped) return;
        since.current = answer.next;
        if (answer.items.length > 0 || answer.dropped > 0) {
          setState((before) => ({
            items: [...before.items, ...answer.items].slice(-limit),
            dropped: before.dropped + answer.dropped,
            error: null,
          }));
        }
      } catch (error) {
        if (!stopped) setState((before) => ({ ...before, error: error.message }));
      }
      if (!stopped) timer = setTimeout(poll, 1000);
    };
    poll();
    return () => {
      stopped = true;
      clearTimeout(timer);
    };
  }, [endpoint]);
  return state;
}

function Payload({ event }) {
  const text = useMemo(() => {
    try {
      const shown = pretty(JSON.parse(event.data));
      return shown.length > SHOWN_PAYLOAD ? `${shown.slice(0, SHOWN_PAYLOAD)}\n… (${shown.length - SHOWN_PAYLOAD} more characters)` : shown;
    } catch {
      return event.data;
    }
  }, [event]);
  return html`
    <section class="payload" aria-label="Payload">
      <h4>${event.name} <small>${clockTime(event.time)}, ${event.data.length} characters</small></h4>
      <pre tabindex="0">${text}</pre>
    </section>`;
}

function EventsView() {
  const store = useEvents();
  const [filter, setFilter] = useState('');
  const [paused, setPaused] = useState(null); // the items shown while paused
  const [selected, setSelected] = useState(null);
  const source = paused ?? store.items;
  const shown = useMemo(() => {
    const needle = filter.toLowerCase();
    return source.filter((event) => event.name.toLowerCase().includes(needle)).slice(-200).reverse();
  }, [source, filter, paused ? 0 : store.received]);
  const waiting = paused ? store.received - paused.received : 0;
  const togglePause = () => {
    if (paused) return setPaused(null);
    const frozen = [...store.items];
    frozen.received = store.received;
    return setPaused(frozen);
  };
  return html`
    <section aria-labelledby="events-heading" class="live-events">
      <h3 id="events-heading">Events <small>(${store.received} received)</small></h3>
      <div role="group" class="toolbar">
        <input type="search" aria-label="Filter events by name" placeholder="Filter by name"
          value=${filter} onInput=${(e) => setFilter(e.currentTarget.value)} />
        <button type="button" class="secondary pause" aria-pressed=${paused ? 'true' : 'false'} onClick=${togglePause}>
          ${paused ? `Resume (${waiting} new)` : 'Pause'}</button>
        <button type="button" class="secondary outline" onClick=${() => {
          store.items = [];
          store.bytes = 0;
          setSelected(null);
          setPaused(null);
        }}>Clear</button>
      </div>
      <div class="split">
        <ol class="event-list" reversed aria-label="Events, newest first">
          ${shown.map((event) => html`
            <li key=${event.seq}>
              <button type="button" class=${`link event${selected?.seq === event.seq ? ' selected' : ''}`}
                data-event-name=${event.name} onClick=${() => setSelected(event)}>
                <time>${clockTime(event.time)}</time> ${event.name}
              </button>
            </li>`)}
        </ol>
        ${selected ? html`<${Payload} event=${selected} />` : html`<p class="muted">Choose an event to see its payload.</p>`}
      </div>
    </section>`;
}

const LEVELS = ['OKAY', 'WARN', 'ERROR', 'ALWAYS'];

function LogView() {
  const log = useHistory('/devhost/log', LOG_LIMIT);
  const [levels, setLevels] = useState(() => new Set(LEVELS));
  const shown = log.items.filter((line) => levels.has(line.levelName)).slice(-400).reverse();
  const toggle = (level) => {
    const next = new Set(levels);
    if (next.has(level)) next.delete(level);
    else next.add(level);
    setLevels(next);
  };
  return html`
    <section aria-labelledby="log-heading">
      <h3 id="log-heading">Log <small>(${log.items.length} lines kept${log.dropped ? `, ${log.dropped} dropped` : ''})</small></h3>
      <fieldset class="levels">
        <legend>Levels</legend>
        ${LEVELS.map((level) => html`
          <label key=${level} class=${`level level-${level}`}><input type="checkbox" name="level" value=${level}
            checked=${levels.has(level)} onChange=${() => toggle(level)} /> ${level}</label>`)}
      </fieldset>
      ${log.error && html`<p class="error" role="alert">${log.error}</p>`}
      <ol class="log" reversed aria-label="Log lines, newest first">
        ${shown.map((line) => html`
          <li key=${line.seq} class=${`level-${line.levelName}`} data-level=${line.levelName}>
            <time>${clockTime(line.time)}</time> <strong>${line.levelName}</strong> ${line.message}
          </li>`)}
      </ol>
    </section>`;
}

function statusClass(status) {
  if (status >= 500) return 'status-5xx';
  if (status >= 400) return 'status-4xx';
  return 'status-2xx';
}

function RequestsView() {
  const requests = useHistory('/devhost/requests', REQUEST_LIMIT);
  const [selected, setSelected] = useState(null);
  const shown = requests.items.slice(-300).reverse();
  return html`
    <section aria-labelledby="requests-heading">
      <h3 id="requests-heading">Requests of the plugin <small>(${requests.items.length} kept${requests.dropped ? `, ${requests.dropped} dropped` : ''})</small></h3>
      ${requests.error && html`<p class="error" role="alert">${requests.error}</p>`}
      <div class="overflow-auto requests">
        <table class="striped">
          <thead><tr><th scope="col">Time</th><th scope="col">Method</th><th scope="col">URL</th><th scope="col">Status</th></tr></thead>
          <tbody>
            ${shown.map((request) => html`
              <tr key=${request.seq} data-url=${request.url}>
                <td><time>${clockTime(request.time)}</time></td>
                <td>${request.method}</td>
                <td><button type="button" class="link" onClick=${() => setSelected(request)}>${request.url}</button></td>
                <td class=${statusClass(request.status)}>${request.status}${request.error ? ` ${request.error}` : ''}</td>
              </tr>`)}
          </tbody>
        </table>
      </div>
      ${selected && html`
        <section class="payload" aria-label="Request">
          <h4>${selected.method} ${selected.url} <small>${selected.status}</small></h4>
          <pre tabindex="0">${pretty({ arguments: selected.arguments, response: selected.response, error: selected.error })}</pre>
        </section>`}
    </section>`;
}

export function LivePanel({ connection }) {
  const [view, setView] = useState('events');
  const views = { events: 'Events', log: 'Log', requests: 'Requests' };
  return html`
    <section aria-labelledby="live-heading">
      <hgroup>
        <h2 id="live-heading">Live</h2>
        <p>Event stream: <span class=${`connection connection-${connection}`}>${connection}</span></p>
      </hgroup>
      <div role="group" aria-label="Live views">
        ${Object.entries(views).map(([id, label]) => html`
          <button key=${id} type="button" class=${id === view ? '' : 'secondary outline'}
            aria-pressed=${id === view ? 'true' : 'false'} data-view=${id} onClick=${() => setView(id)}>${label}</button>`)}
      </div>
      ${view === 'events' && html`<${EventsView} />`}
      ${view === 'log' && html`<${LogView} />`}
      ${view === 'requests' && html`<${RequestsView} />`}
    </section>`;
}
