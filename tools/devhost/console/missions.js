// The missions the plugin holds, as cards: filters, progress, rewards, new and viewed, and
// marking them viewed through the plugin's own route. A long list is drawn a page at a time,
// more as the reader scrolls, so that the first cards show at once whatever the list's length.
import { ConditionsList } from './conditions.js';
import { dateTime, relative } from './format.js';
import { html, useEffect, useMemo, useRef, useState } from './html.js';
import { attempt, forceFetch, markViewed, notify } from './store.js';

const PAGE = 60;
// The first cards drawn: more than a screen holds, few enough to show at once; the rest of the
// page follows right after.
const FIRST = 12;

function distinct(missions, key) {
  return [...new Set(missions.map((mission) => mission[key]).filter((value) => value))].sort();
}

function matches(mission, filters) {
  if (filters.status && mission.status !== filters.status) return false;
  if (filters.type && mission.missionType !== filters.type) return false;
  if (filters.series && mission.seriesName !== filters.series) return false;
  if (filters.text) {
    const text = filters.text.toLowerCase();
    const fields = [mission.id, mission.title, mission.description, mission.internalName];
    if (!fields.some((field) => String(field ?? '').toLowerCase().includes(text))) return false;
  }
  return true;
}

function Objective({ objective }) {
  const progress = objective.progress ?? {};
  const total = Math.max(0, Number(progress.totalCount) || 0);
  const current = Math.min(total, Math.max(0, Number(progress.currentProgress) || 0));
  const label = `${objective.description || objective.type || 'Objective'}: ${current} of ${total}`;
  return html`
    <li class="objective">
      <span>${objective.description || objective.type}</span>
      <progress value=${current} max=${total || 1} aria-label=${label}></progress>
      <small>${current} / ${total}</small>
    </li>`;
}

function Expiry({ mission, now }) {
  if (mission.completedDate > 0) {
    return html`<span>Completed ${dateTime(mission.completedDate)}</span>`;
  }
  if (mission.startTime > now) return html`<span>Starts ${relative(mission.startTime, now)}</span>`;
  if (!(mission.endTime > 0)) return html`<span>No end</span>`;
  const soon = mission.endTime - now < 3 * 86400000;
  return html`<span class=${soon ? 'soon' : ''} title=${dateTime(mission.endTime)}>
    ${mission.endTime < now ? 'Expired' : 'Expires'} ${relative(mission.endTime, now)}</span>`;
}

// Marks "missions-first-paint" when the browser has painted the first card's title: the time
// the Element Timing API reports for it, or, where the browser has none, the frame after the
// cards were drawn.
function markFirstPaint() {
  const mark = (startTime) => performance.mark('missions-first-paint', startTime === undefined ? {} : { startTime });
  if (!PerformanceObserver.supportedEntryTypes?.includes('element')) {
    requestAnimationFrame(() => setTimeout(() => mark(), 0));
    return;
  }
  const observer = new PerformanceObserver((entries) => {
    const entry = entries.getEntries().find((each) => each.identifier === 'first-mission');
    if (!entry) return;
    observer.disconnect();
    mark(entry.renderTime || entry.loadTime);
  });
  observer.observe({ type: 'element', buffered: true });
}

function MissionCard({ mission, marking, onMark, now, first }) {
  const objectives = Array.isArray(mission.objectives) ? mission.objectives : [];
  const rewards = Array.isArray(mission.rewards) ? mission.rewards : [];
  const headingId = `mission-${mission.id}-title`;
  return html`
    <article class="mission-card" data-mission-id=${mission.id} data-status=${mission.status}
      data-viewed=${mission.viewed ? 'true' : 'false'} aria-labelledby=${headingId}>
      <header>
        <h3 id=${headingId} elementtiming=${first ? 'first-mission' : undefined}>${mission.title || mission.id}</h3>
        <p class="badges">
          ${mission.isNew && html`<mark class="badge badge-new">New</mark>`}
          ${mission.viewed
            ? html`<span class="badge badge-viewed">Viewed</span>`
            : html`<span class="badge badge-unviewed">Not viewed</span>`}
          <span class="badge badge-status" data-status=${mission.status}>${mission.status || '—'}</span>
          <span class="badge">${mission.missionType || '—'}</span>
        </p>
      </header>
      ${mission.description && html`<p>${mission.description}</p>`}
      ${mission.helperText && html`<p><small>${mission.helperText}</small></p>`}
      <dl class="facts">
        <dt>Series</dt><dd>${mission.seriesName || '—'}</dd>
        <dt>When</dt><dd><${Expiry} mission=${mission} now=${now} /></dd>
        ${mission.cooldownTimeMillis > 0 && html`
          <dt>Cooldown</dt><dd>${Math.round(mission.cooldownTimeMillis / 1000)} s</dd>`}
      </dl>
      ${objectives.length > 0 && html`
        <ul class="objectives" aria-label="Objectives">
          ${objectives.map((objective, index) => html`<${Objective} key=${index} objective=${objective} />`)}
        </ul>`}
      ${rewards.length > 0 && html`
        <ul class="rewards" aria-label="Rewards">
          ${rewards.map((reward, index) => html`
            <li key=${index}>${reward.rewardFulfilled ? '✓ ' : ''}${reward.description || reward.itemId}
              <small> ${reward.rewardType}</small></li>`)}
        </ul>`}
      <footer>
        <button type="button" class="secondary outline mark-viewed" disabled=${mission.viewed || marking}
          aria-busy=${marking ? 'true' : undefined} onClick=${() => onMark([mission.id])}>
          ${mission.viewed ? 'Viewed' : marking ? 'Marking…' : 'Mark viewed'}
        </button>
      </footer>
    </article>`;
}

// Why the list is empty: the plugin does not fetch while a condition is missing.
function EmptyExplanation({ conditions }) {
  if (!conditions) return html`<p aria-busy="true">Reading what the plugin waits for…</p>`;
  const missing = conditions.conditions.filter((c) => !c.met && c.gate === 'fetch');
  if (missing.length === 0) {
    return html`<p>Every condition of a fetch is met: the remote service holds no missions
      for this player, or its answer has not arrived yet.
      <button type="button" class="secondary" onClick=${() => attempt('Fetching', forceFetch)}>
      Force a fetch</button></p>`;
  }
  return html`
    <p>The plugin does not fetch missions while ${missing.length === 1 ? 'this condition is' : 'these conditions are'} missing:</p>
    <${ConditionsList} conditions=${missing} />`;
}

export function MissionsPanel({ missions, conditions }) {
  const [filters, setFilters] = useState({ status: '', type: '', series: '', text: '' });
  const [shown, setShown] = useState(FIRST);
  const [marking, setMarking] = useState(() => new Set());
  const sentinel = useRef(null);
  const painted = useRef(false);
  const list = missions ?? [];
  const filtered = useMemo(() => list.filter((mission) => matches(mission, filters)), [list, filters]);
  const options = useMemo(() => ({
    status: distinct(list, 'status'),
    type: distinct(list, 'missionType'),
    series: distinct(list, 'seriesName'),
  }), [list]);
  const now = Date.now();

  const filtersUsed = useRef(false);
  useEffect(() => {
    if (filtersUsed.current) setShown(PAGE);
    filtersUsed.current = true;
  }, [filters]);
  // A card being marked stays so until the list shows it viewed.
  useEffect(() => {
    if (marking.size === 0) return;
    const still = new Set([...marking].filter((id) => !list.find((m) => m.id === id)?.viewed));
    if (still.size !== marking.size) setMarking(still);
  }, [list]);
  // The first cards on screen: a mark the browser tests read. Effects run once the browser has
  // painted, so the rest of the page follows the first cards.
  if (!painted.current && list.length > 0) {
    painted.current = true;
    markFirstPaint();
  }
  useEffect(() => {
    if (painted.current) setShown((count) => Math.max(count, PAGE));
  }, [painted.current]);
  useEffect(() => {
    const target = sentinel.current;
    if (!target) return undefined;
    const observer = new IntersectionObserver((entries) => {
      if (entries.some((entry) => entry.isIntersecting)) setShown((count) => count + PAGE);
    }, { rootMargin: '600px' });
    observer.observe(target);
    return () => observer.disconnect();
  }, [filtered, shown > filtered.length]);

  const mark = async (ids) => {
    setMarking((before) => new Set([...before, ...ids]));
    const done = await attempt('Marking viewed', async () => {
      await markViewed(ids);
      return true;
    });
    if (done) {
      notify('ok', `Marked ${ids.length} viewed; fetching the list again`);
    } else {
      setMarking((before) => new Set([...before].filter((id) => !ids.includes(id))));
    }
  };
  const newIds = filtered.filter((mission) => mission.isNew && !mission.viewed).map((m) => m.id);
  const setFilter = (key) => (event) => setFilters({ ...filters, [key]: event.currentTarget.value });

  const select = (key, label) => html`
    <label>${label}
      <select name=${key} value=${filters[key]} onChange=${setFilter(key)}>
        <option value="">All</option>
        ${options[key].map((value) => html`<option key=${value} value=${value}>${value}</option>`)}
      </select>
    </label>`;

  if (missions === null) return html`<p aria-busy="true">Reading the missions…</p>`;
  return html`
    <section aria-labelledby="missions-heading">
      <hgroup>
        <h2 id="missions-heading">Missions</h2>
        <p><span data-count="missions">${list.length}</span> held by the plugin${filtered.length !== list.length ? `, ${filtered.length} shown by the filters` : ''}</p>
      </hgroup>
      ${list.length === 0
        ? html`<div class="empty-list" role="status"><p><strong>No missions.</strong></p>
            <${EmptyExplanation} conditions=${conditions} /></div>`
        : html`
          <form class="filters" role="search" onSubmit=${(event) => event.preventDefault()}>
            ${select('status', 'Status')} ${select('type', 'Type')} ${select('series', 'Series')}
            <label>Search
              <input type="search" name="text" value=${filters.text} placeholder="id, title, text"
                onInput=${setFilter('text')} />
            </label>
          </form>
          <p>
            <button type="button" class="mark-all-viewed" disabled=${newIds.length === 0}
              onClick=${() => mark(newIds)}>Mark all new viewed (${newIds.length})</button>
          </p>
          <div class="cards">
            ${filtered.slice(0, shown).map((mission, index) => html`
              <${MissionCard} key=${mission.id} mission=${mission} now=${now} first=${index === 0}
                marking=${marking.has(mission.id)} onMark=${mark} />`)}
          </div>
          ${shown < filtered.length && html`
            <p ref=${sentinel}>
              <button type="button" class="secondary outline show-more" onClick=${() => setShown(shown + PAGE)}>
                Show more (${filtered.length - shown} left)</button>
            </p>`}`}
    </section>`;
}
