// The API panel: the host's OpenAPI description (GET /devhost/openapi.json) in the bundled API
// browser, whose "try it out" calls the running host. The browser's files are large and load
// the first time the panel opens. Its drawing lives outside the page's own styles
// (#swagger-host in index.html), which would otherwise restyle its controls.
import { html, useEffect, useRef, useState } from './html.js';

const DESCRIPTION = '/devhost/openapi.json';
let loading = null;

function loadOnce() {
  if (loading) return loading;
  loading = new Promise((resolve, reject) => {
    const style = document.createElement('link');
    style.rel = 'stylesheet';
    style.href = '/console/vendor/swagger-ui.css';
    document.head.append(style);
    const script = document.createElement('script');
    script.src = '/console/vendor/swagger-ui-bundle.js';
    script.onload = () => resolve(window.SwaggerUIBundle);
    script.onerror = () => reject(new Error('the API browser did not load'));
    document.head.append(script);
  });
  return loading;
}

// Sends every "try it out" call to this page's origin, whatever server the description names,
// and writes bodies as JSON.
function sameOrigin(request) {
  const url = new URL(request.url, window.location.origin);
  request.url = window.location.origin + url.pathname + url.search;
  if (request.method !== 'GET' && request.method !== 'HEAD') {
    request.headers = { ...request.headers, 'Content-Type': 'application/json' };
  }
  return request;
}

// Stays mounted while other panels show (`active` false), so that the description is read once
// per connection to the host, not at every visit.
export function ApiPanel({ active, generation }) {
  const [state, setState] = useState({ phase: 'idle' });
  const shownFor = useRef(-1);
  useEffect(() => {
    const host = document.getElementById('swagger-host');
    host.hidden = !(active && state.phase === 'ready');
  }, [active, state.phase]);
  useEffect(() => {
    if (!active || shownFor.current === generation) return;
    shownFor.current = generation;
    (async () => {
      setState({ phase: 'loading' });
      try {
        const described = await fetch(DESCRIPTION, { mode: 'same-origin', headers: { Accept: 'application/json' } });
        if (described.status === 404) {
          setState({ phase: 'absent' });
          return;
        }
        if (!described.ok) throw new Error(`${DESCRIPTION} answered ${described.status}`);
        const spec = await described.json();
        const SwaggerUIBundle = await loadOnce();
        SwaggerUIBundle({
          spec,
          dom_id: '#swagger-host',
          deepLinking: false,
          validatorUrl: null,
          tryItOutEnabled: false,
          defaultModelsExpandDepth: 0,
          requestInterceptor: sameOrigin,
        });
        setState({ phase: 'ready', operations: Object.keys(spec.paths ?? {}).length });
      } catch (error) {
        setState({ phase: 'failed', error: error.message });
      }
    })();
  }, [active, generation]);

  return html`
    <section aria-labelledby="api-heading" hidden=${!active}>
      <hgroup>
        <h2 id="api-heading">API</h2>
        <p>The plugin's routes and the host's endpoints, described by <a href=${DESCRIPTION}><code>${DESCRIPTION}</code></a>.</p>
      </hgroup>
      ${state.phase === 'loading' && html`<p aria-busy="true">Loading the API description…</p>`}
      ${state.phase === 'absent' && html`
        <p class="api-absent" role="status"><strong>Not available:</strong> this devhost has no
          <code>${DESCRIPTION}</code> (it answered 404). <a href="/devhost">/devhost</a> lists the
          endpoints it serves.</p>`}
      ${state.phase === 'failed' && html`<p class="error" role="alert">The API description could not be shown: ${state.error}</p>`}
      ${state.phase === 'ready' && html`<p role="status">${state.operations} paths described below; "Try it out" calls this devhost.</p>`}
    </section>`;
}
