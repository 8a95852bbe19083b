// The devhost console: one page of panels over the running host. It reads the plugin's lists
// through the plugin's own routes, the world through the control endpoints, and follows the
// plugin's events over the event stream, reading everything again when the stream comes back
// after devhost restarted.
import { ApiPanel } from './api-panel.js';
import { ConditionsPanel } from './conditions.js';
import { EventStream, eventNameFor } from './event-stream.js';
import { html, render, useEffect, useState } from './html.js';
import { LivePanel, recordEvent } from './live.js';
import { MissionsPanel } from './missions.js';
import { ResourcesPanel } from './resources.js';
import { SeriesPanel } from './series.js';
import { StatusPanel, startSampling } from './status.js';
import {
  MISSIONS_ROUTE, SERIES_ROUTE, getState, loadAll, loadConditions, loadMissions, loadRoutes, loadSeries,
  notify, setMissions, setSeries, setState,
  useConsoleState,
} from './store.js';
import { WorldPanel } from './world.js';

const TABS = [
  ['missions', 'Missions'],
  ['series', 'Series'],
  ['conditions', 'Why empty?'],
  ['world', 'World'],
  ['resources', 'Resources'],
  ['live', 'Live'],
  ['status', 'Status'],
  ['api', 'API'],
];

// "#resources?path=/a/b" -> {tab: 'resources', params}.
function readLocation() {
  const [tab, query] = window.location.hash.slice(1).split('?');
  const known = TABS.some(([id]) => id === tab);
  return { tab: known ? tab : 'missions', params: new URLSearchParams(query ?? '') };
}

function useLocation() {
  const [location, setLocation] = useState(readLocation);
  useEffect(() => {
    const changed = () => setLocation(readLocation());
    window.addEventListener('hashchange', changed);
    return () => window.removeEventListener('hashchange', changed);
  }, []);
  return location;
}

const LICENCES = [
  ['/console/vendor/licenses/preact.txt', 'Preact'],
  ['/console/vendor/licenses/htm.txt', 'htm'],
  ['/console/vendor/licenses/pico.txt', 'Pico CSS'],
  ['/console/vendor/licenses/swagger-ui.txt', 'Swagger UI'],
  ['/console/vendor/licenses/swagger-ui-notice.txt', 'its notice'],
];

const CONNECTION = { open: 'Connected', connecting: 'Connecting…', reconnecting: 'Reconnecting…' };

const THEMES = ['auto', 'light', 'dark'];

function applyTheme(theme) {
  if (theme === 'auto') delete document.documentElement.dataset.theme;
  else document.documentElement.dataset.theme = theme;
}

function ThemeToggle() {
  const [theme, setTheme] = useState(() => localStorage.getItem('devhost-theme') ?? 'auto');
  useEffect(() => {
    applyTheme(theme);
    localStorage.setItem('devhost-theme', theme);
  }, [theme]);
  const next = THEMES[(THEMES.indexOf(theme) + 1) % THEMES.length];
  return html`<button type="button" class="secondary outline theme" onClick=${() => setTheme(next)}
    title=${`Colours: ${theme}; press for ${next}`}>Theme: ${theme}</button>`;
}

function Notice({ notice }) {
  const [hidden, setHidden] = useState(false);
  useEffect(() => setHidden(false), [notice]);
  if (!notice || hidden) return null;
  return html`<p class=${`notice notice-${notice.kind}`}>${notice.text}
    <button type="button" class="link" aria-label="Dismiss" onClick=${() => setHidden(true)}>×</button></p>`;
}

function App() {
  const state = useConsoleState();
  const { tab, params } = useLocation();
  // While the lists or the world are on screen, the conditions follow changes made elsewhere
  // (curl, another tab).
  useEffect(() => {
    if (!['missions', 'conditions', 'world'].includes(tab)) return undefined;
    const timer = setInterval(loadConditions, 4000);
    return () => clearInterval(timer);
  }, [tab]);
  const selectResource = (path) => {
    window.location.hash = `resources?path=${encodeURIComponent(path)}`;
  };
  return html`
    <header class="container-fluid bar">
      <nav aria-label="Console">
        <ul>
          <li><strong>devhost</strong></li>
          <li><span class=${`connection connection-${state.connection}`} role="status" aria-live="polite"
            title="The event stream (GET /events)">${CONNECTION[state.connection]}</span></li>
        </ul>
        <ul class="tabs" aria-label="Panels">
          ${TABS.map(([id, label]) => html`
            <li key=${id}><a href=${`#${id}`} data-tab=${id} aria-current=${id === tab ? 'page' : undefined}>${label}</a></li>`)}
        </ul>
        <ul><li><${ThemeToggle} /></li></ul>
      </nav>
      <div aria-live="polite"><${Notice} notice=${state.notice} /></div>
    </header>
    <main class="container-fluid" id=${`panel-${tab}`}>
      ${tab === 'missions' && html`<${MissionsPanel} missions=${state.missions} conditions=${state.conditions} />`}
      ${tab === 'series' && html`<${SeriesPanel} series=${state.series} />`}
      ${tab === 'conditions' && html`<${ConditionsPanel} conditions=${state.conditions} />`}
      ${tab === 'world' && html`<${WorldPanel} generation=${state.generation} />`}
      ${tab === 'resources' && html`<${ResourcesPanel} generation=${state.generation}
        selectedPath=${params.get('path')} onSelect=${selectResource} />`}
      ${tab === 'live' && html`<${LivePanel} connection=${state.connection} />`}
      ${tab === 'status' && html`<${StatusPanel} />`}
      <${ApiPanel} active=${tab === 'api'} generation=${state.generation} />
    </main>
    <footer class="container-fluid">
      <small><a href="/devhost">Endpoints</a> · Third-party licences:${' '}
        ${LICENCES.map(([file, name]) => html`<a key=${file} href=${file}>${name}</a> `)}</small>
    </footer>`;
}

// A mission or series list published by the plugin replaces the one shown.
function followLists(name, data) {
  recordEvent(name, data);
  let payload;
  try {
    payload = JSON.parse(data);
  } catch {
    return;
  }
  const uri = String(payload?.uri ?? '').replace(/\/$/, '');
  if (uri === MISSIONS_ROUTE) setMissions(payload.data);
  else if (uri === SERIES_ROUTE) setSeries(payload.data);
}

function start() {
  const listenToRoutes = () => loadRoutes().then((routes) => stream.listen(routes.map((route) => eventNameFor(route.url))));
  const stream = new EventStream({
    onEvent: followLists,
    onState: (connection) => setState({ connection }),
    onReturn: () => {
      // Failures while devhost was away are over: say so instead.
      setState({ generation: getState().generation + 1 });
      notify('ok', 'devhost is back: everything is read again');
      loadAll();
      listenToRoutes();
    },
  });
  stream.listen([eventNameFor(MISSIONS_ROUTE), eventNameFor(SERIES_ROUTE), 'OnJsonApiEvent']);
  stream.start();
  // The missions first: the rest waits so as not to slow the first cards down.
  loadMissions().finally(() => {
    loadSeries();
    loadConditions();
    listenToRoutes();
    startSampling();
  });
  const root = document.getElementById('app');
  root.textContent = '';
  render(html`<${App} />`, root);
}

start();
