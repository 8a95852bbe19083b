// The series the plugin holds: status, dates, tags, and opting in or out through the plugin's
// own route where the series offers it.
import { dateTime } from './format.js';
import { html, useState } from './html.js';
import { attempt, markViewed, notify, optSeries } from './store.js';

// The opt change a series offers in its status, if any: in while it is available or was left,
// out while in.
export function optChoice(series) {
  if (series.status === 'OPT_IN_AVAILABLE' || series.status === 'OPT_OUT') {
    return { status: 'OPT_IN', label: series.optInButtonText || 'Opt in' };
  }
  if (series.status === 'OPT_IN') return { status: 'OPT_OUT', label: series.optOutButtonText || 'Opt out' };
  return null;
}

function SeriesRow({ series, busy, onOpt, onViewed }) {
  const choice = optChoice(series);
  return html`
    <tr data-series-id=${series.id} data-status=${series.status}>
      <th scope="row">${series.title || series.id}<br /><small><code>${series.id}</code> ${series.internalName}</small></th>
      <td><span class="badge badge-status" data-status=${series.status}>${series.status || '—'}</span></td>
      <td>${series.type}</td>
      <td>${dateTime(series.startDate)} – ${dateTime(series.endDate)}</td>
      <td>${(series.tags ?? []).join(', ')}</td>
      <td>${series.viewed ? 'Viewed' : html`<button type="button" class="secondary outline" disabled=${busy}
        onClick=${() => onViewed(series)}>Mark viewed</button>`}</td>
      <td>${choice
        ? html`<button type="button" class="opt" data-opt=${choice.status} disabled=${busy}
            aria-busy=${busy ? 'true' : undefined} onClick=${() => onOpt(series, choice.status)}>${choice.label}</button>`
        : html`<small>—</small>`}</td>
    </tr>`;
}

export function SeriesPanel({ series }) {
  const [busy, setBusy] = useState(null);
  if (series === null) return html`<p aria-busy="true">Reading the series…</p>`;
  const run = async (id, what, action) => {
    setBusy(id);
    const done = await attempt(what, async () => {
      await action();
      return true;
    });
    setBusy(null);
    if (done) notify('ok', `${what}: sent; fetching the list again`);
  };
  const opt = (item, status) => run(item.id, `${status} for ${item.id}`, () => optSeries(item.id, status));
  const viewed = (item) => run(item.id, `Marking ${item.id} viewed`, () => markViewed([], [item.id]));
  return html`
    <section aria-labelledby="series-heading">
      <hgroup>
        <h2 id="series-heading">Series</h2>
        <p>${series.length} held by the plugin</p>
      </hgroup>
      ${series.length === 0
        ? html`<p>No series. The series list fills with the first fetch; see <a href="#conditions">why the list is empty</a>.</p>`
        : html`
          <div class="overflow-auto">
            <table class="striped">
              <thead><tr><th scope="col">Series</th><th scope="col">Status</th><th scope="col">Type</th>
                <th scope="col">Dates</th><th scope="col">Tags</th><th scope="col">Viewed</th><th scope="col">Opt</th></tr></thead>
              <tbody>
                ${series.map((item) => html`<${SeriesRow} key=${item.id} series=${item}
                  busy=${busy === item.id} onOpt=${opt} onViewed=${viewed} />`)}
              </tbody>
            </table>
          </div>`}
    </section>`;
}
