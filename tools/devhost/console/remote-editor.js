// The remote service's missions or series: add, edit as JSON, remove. The service takes a whole
// list at a time (PUT /devhost/remote/missions or /series), for every player, so each change
// sends the list as it is after the change; the plugin sees it with its next fetch.
import { sendJson } from './api.js';
import { html, useState } from './html.js';
import { JsonEditor, parseJsonText } from './json-editor.js';
import { attempt, forceFetch, notify } from './store.js';

const PAGE = 100;

const SKELETONS = {
  missions: {
    id: 'mission-new', internalName: 'new_mission', title: 'New mission', description: '',
    seriesName: 'Starter_Series', status: 'PENDING', missionType: 'ONETIME', displayType: 'ALWAYS',
    clientNotifyLevel: 'ALWAYS', isNew: true, viewed: false,
    objectives: [{ type: 'PLAY', description: 'Play a game', sequence: 1,
      progress: { lastViewedProgress: 0, currentProgress: 0, totalCount: 1 } }],
    rewards: [],
  },
  series: {
    id: 'series-new', internalName: 'New_Series', type: 'EVENT', title: 'New series',
    description: '', status: 'OPT_IN_AVAILABLE', optInButtonText: 'Join', optOutButtonText: 'Leave',
  },
};

// What is wrong with `value` as item `index` (-1 for a new one) of `list`; null when nothing.
export function itemProblem(value, list, index) {
  if (value === null || typeof value !== 'object' || Array.isArray(value)) return 'An item is a JSON object';
  if (typeof value.id !== 'string' || value.id === '') return 'An item needs a non-empty string "id"';
  const clash = list.findIndex((item, at) => at !== index && item.id === value.id);
  if (clash >= 0) return `Another item already has the id "${value.id}"`;
  return null;
}

export function RemoteEditor({ kind, list, reload }) {
  const [editing, setEditing] = useState(null); // {index, text}
  const [error, setError] = useState(null);
  const [shown, setShown] = useState(PAGE);
  const [fetchAfter, setFetchAfter] = useState(true);
  const headingId = `remote-${kind}-heading`;

  const store = async (next, what) => {
    const done = await attempt(what, async () => {
      await sendJson('PUT', `/devhost/remote/${kind}`, next);
      if (fetchAfter) await forceFetch();
      return true;
    });
    if (done) notify('ok', `${what}: done${fetchAfter ? '; the plugin fetches' : ''}`);
    await reload();
    return done;
  };
  const open = (index) => {
    setError(null);
    setEditing({ index, text: JSON.stringify(index < 0 ? SKELETONS[kind] : list[index], null, 2) });
  };
  const save = async (event) => {
    event.preventDefault();
    const parsed = parseJsonText(editing.text);
    if (!parsed.ok) return setError(`Not JSON: ${parsed.error}`);
    const problem = itemProblem(parsed.value, list, editing.index);
    if (problem) return setError(problem);
    const next = editing.index < 0 ? [...list, parsed.value]
      : list.map((item, at) => (at === editing.index ? parsed.value : item));
    setError(null);
    if (await store(next, `Saving ${kind.slice(0, -1)} ${parsed.value.id}`)) setEditing(null);
  };
  const remove = (index) => store(list.filter((_, at) => at !== index), `Removing ${list[index].id}`);

  return html`
    <article aria-labelledby=${headingId} class="remote-editor" data-kind=${kind}>
      <h3 id=${headingId}>Remote ${kind} (${list.length})</h3>
      <p><small>The remote service's ${kind} for every player. </small>
        <label class="inline"><input type="checkbox" role="switch" checked=${fetchAfter}
          onChange=${(e) => setFetchAfter(e.currentTarget.checked)} /> fetch after each change</label></p>
      <ul class="remote-list">
        ${list.slice(0, shown).map((item, index) => html`
          <li key=${item.id} data-item-id=${item.id}>
            <span><code>${item.id}</code> ${item.title}</span>
            <span role="group" class="row-actions">
              <button type="button" class="secondary outline" onClick=${() => open(index)}>Edit</button>
              <button type="button" class="secondary outline" onClick=${() => remove(index)}>Remove</button>
            </span>
          </li>`)}
      </ul>
      ${shown < list.length && html`<button type="button" class="secondary outline" onClick=${() => setShown(shown + PAGE)}>Show more (${list.length - shown} left)</button>`}
      ${editing
        ? html`
          <form onSubmit=${save}>
            <${JsonEditor} id=${`remote-${kind}-json`} label=${editing.index < 0 ? `New ${kind.slice(0, -1)}` : `Editing ${list[editing.index]?.id}`}
              text=${editing.text} error=${error} onInput=${(text) => setEditing({ ...editing, text })} />
            <div role="group">
              <button type="submit">Save</button>
              <button type="button" class="secondary" onClick=${() => setEditing(null)}>Cancel</button>
            </div>
          </form>`
        : html`<button type="button" class="add-item" onClick=${() => open(-1)}>Add a ${kind.slice(0, -1)}</button>`}
    </article>`;
}
