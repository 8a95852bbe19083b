// What the plugin waits for before it fetches, polls and notifies (GET /devhost/conditions),
// each met or missing, with the resources it reads (links to the resources panel) and the
// control call that supplies a missing one.
import { sendJson } from './api.js';
import { html } from './html.js';
import { attempt, forceFetch, loadAll, loadConditions, notify } from './store.js';

const GATES = {
  fetch: 'No fetch while missing: the lists stay empty',
  polling: 'The polling timers skip their fetches while missing',
  notifications: 'No new-mission notification unless one of these is met',
};

async function fix(condition) {
  const done = await attempt(`Fixing "${condition.label}"`, async () => {
    await sendJson(condition.fix.method, condition.fix.path, condition.fix.body);
    return true;
  });
  if (done) notify('ok', `${condition.fix.method} ${condition.fix.path}: "${condition.label}" supplied`);
  await loadAll();
}

export function ConditionsList({ conditions }) {
  return html`
    <ul class="conditions">
      ${conditions.map((condition) => html`
        <li key=${condition.id} data-condition-id=${condition.id}
          data-met=${condition.met ? 'true' : 'false'} class=${condition.met ? 'met' : 'missing'}>
          <span class="state" aria-hidden="true">${condition.met ? '✔' : '✘'}</span>
          <div>
            <strong>${condition.label}</strong>
            <span class="visually-hidden">${condition.met ? ' (met)' : ' (missing)'}</span>
            <small class="gate" title=${GATES[condition.gate]}> — ${condition.gate}</small>
            <p>${condition.hint}</p>
            <p class="paths">
              ${condition.paths.map((path) => html`
                <a key=${path} href=${`#resources?path=${encodeURIComponent(path)}`}><code>${path}</code></a> `)}
            </p>
          </div>
          ${!condition.met && html`
            <button type="button" class="fix" onClick=${() => fix(condition)}
              title=${`${condition.fix.method} ${condition.fix.path}`}>Supply it</button>`}
        </li>`)}
    </ul>`;
}

export function ConditionsPanel({ conditions }) {
  if (!conditions) return html`<p aria-busy="true">Reading the conditions…</p>`;
  const byGate = (gate) => conditions.conditions.filter((condition) => condition.gate === gate);
  return html`
    <section aria-labelledby="conditions-heading">
      <hgroup>
        <h2 id="conditions-heading">Why the list is empty</h2>
        <p>What the plugin waits for, read from the simulated world.</p>
      </hgroup>
      <p role="status">
        ${conditions.fetchReady
          ? html`<strong class="ok">The plugin can fetch.</strong>`
          : html`<strong class="error">The plugin does not fetch.</strong>`}
        ${' '}${conditions.pollingReady ? 'Polling runs.' : 'Polling skips its fetches.'}
        ${' '}<button type="button" class="secondary" onClick=${() => attempt('Fetching', forceFetch)}>Force a fetch</button>
        ${' '}<button type="button" class="secondary outline" onClick=${loadConditions}>Read again</button>
      </p>
      ${Object.keys(GATES).map((gate) => html`
        <h3 key=${gate}>${gate[0].toUpperCase() + gate.slice(1)}</h3>
        <p><small>${GATES[gate]}.</small></p>
        <${ConditionsList} conditions=${byGate(gate)} />`)}
    </section>`;
}
