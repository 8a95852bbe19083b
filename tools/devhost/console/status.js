// The host's status: the plugin's memory statistics as a chart over time, its counters, routes,
// subscriptions and pending callbacks. The status is sampled every two seconds from the start,
// so that the chart has a history when the panel opens; only the latest samples are kept.
import { getJson } from './api.js';
import { bytes } from './format.js';
import { html, useEffect, useState } from './html.js';

const SAMPLE_LIMIT = 150;
const samples = { items: [], latest: null, error: null, listeners: new Set() };

async function sample() {
  try {
    const status = await getJson('/devhost/status');
    samples.latest = status;
    samples.error = null;
    const memory = status.memory ?? {};
    samples.items.push({
      time: Date.now(),
      live: (memory.bytesAllocated ?? 0) - (memory.bytesFreed ?? 0),
      peak: memory.peakBytes ?? 0,
    });
    if (samples.items.length > SAMPLE_LIMIT) samples.items.shift();
  } catch (error) {
    samples.error = error.message;
  }
  for (const listener of samples.listeners) listener();
}

export function startSampling() {
  sample();
  setInterval(sample, 2000);
}

// Two lines over the samples: bytes in use and the peak.
function MemoryChart({ items }) {
  const width = 600;
  const height = 160;
  const top = Math.max(1, ...items.map((s) => Math.max(s.live, s.peak)));
  const x = (index) => (items.length < 2 ? 0 : (index / (SAMPLE_LIMIT - 1)) * width);
  const y = (value) => height - (value / top) * (height - 10);
  const line = (key) => items.map((s, index) => `${x(index).toFixed(1)},${y(s[key]).toFixed(1)}`).join(' ');
  const last = items[items.length - 1];
  return html`
    <figure>
      <svg class="chart" viewBox=${`0 0 ${width} ${height}`} preserveAspectRatio="none" role="img"
        aria-label=${`Plugin memory over the last ${items.length} samples: ${bytes(last?.live)} in use, peak ${bytes(last?.peak)}`}>
        <line x1="0" y1=${y(top)} x2=${width} y2=${y(top)} class="grid-line" />
        <line x1="0" y1=${height - 0.5} x2=${width} y2=${height - 0.5} class="grid-line" />
        <polyline points=${line('peak')} class="series-peak" fill="none" />
        <polyline points=${line('live')} class="series-live" fill="none" />
      </svg>
      <figcaption>
        <span class="key key-live">In use</span> ${bytes(last?.live)} ·
        <span class="key key-peak">Peak</span> ${bytes(last?.peak)} · top line ${bytes(top)} ·
        the last ${Math.round((items.length * 2) / 60 * 10) / 10} of at most ${SAMPLE_LIMIT * 2 / 60} minutes
      </figcaption>
    </figure>`;
}

function Table({ caption, rows, columns }) {
  return html`
    <div class="overflow-auto">
      <table class="striped">
        <caption>${caption}</caption>
        <thead><tr>${columns.map((c) => html`<th scope="col" key=${c}>${c}</th>`)}</tr></thead>
        <tbody>${rows.map((row, index) => html`<tr key=${index}>${row.map((cell, at) => html`<td key=${at}>${cell}</td>`)}</tr>`)}</tbody>
      </table>
    </div>`;
}

export function StatusPanel() {
  const [, bump] = useState(0);
  useEffect(() => {
    const listener = () => bump((n) => n + 1);
    samples.listeners.add(listener);
    return () => samples.listeners.delete(listener);
  }, []);
  const status = samples.latest;
  if (!status) return html`<p aria-busy="true">Reading the status…</p>`;
  const memory = status.memory ?? {};
  const counters = status.counters ?? {};
  return html`
    <section aria-labelledby="status-heading">
      <hgroup>
        <h2 id="status-heading">Status</h2>
        <p>${status.plugin?.shortName} ${status.plugin?.apiVersion} ·
          ${status.plugin?.running ? 'running' : 'not running'} · <code>${status.plugin?.path}</code></p>
      </hgroup>
      ${samples.error && html`<p class="error" role="alert">${samples.error}</p>`}
      <${MemoryChart} items=${samples.items} />
      <div class="grid">
        <${Table} caption="Memory" columns=${['Figure', 'Value']}
          rows=${Object.entries(memory).map(([key, value]) => [key, key.endsWith('Bytes') || key.startsWith('bytes') ? `${bytes(value)} (${value})` : value])} />
        <${Table} caption="Counters" columns=${['Counter', 'Value']}
          rows=${[...Object.entries(counters), ['eventStreamClients', status.eventStreamClients]]} />
      </div>
      <${Table} caption="Routes" columns=${['Method', 'URL', 'Name']}
        rows=${(status.routes ?? []).map((r) => [r.method, html`<code>${r.url}</code>`, r.name])} />
      <${Table} caption="Subscriptions" columns=${['Event', 'Flag']}
        rows=${(status.subscriptions ?? []).map((s) => [html`<code>${s.eventName}</code>`, s.flag])} />
      <${Table} caption="Pending callbacks" columns=${['Callback']}
        rows=${(status.pendingCallbacks ?? []).map((name) => [name])} />
    </section>`;
}
