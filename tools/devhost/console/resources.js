// The world's resources as a tree of their paths: view one, edit it as JSON, delete it, or
// create a new one. Every change reaches the plugin as the resource event it subscribed to.
import { getJson, resourceEndpoint, sendJson } from './api.js';
import { html, useEffect, useMemo, useState } from './html.js';
import { JsonEditor, parseJsonText } from './json-editor.js';
import { attempt, loadAll, notify } from './store.js';

// The paths as nested folders: {children: Map(name -> node), path (for a resource)}.
export function pathTree(paths) {
  const root = { children: new Map() };
  for (const path of paths) {
    let node = root;
    for (const piece of path.split('/').filter((p) => p !== '')) {
      if (!node.children.has(piece)) node.children.set(piece, { children: new Map() });
      node = node.children.get(piece);
    }
    node.path = path;
  }
  return root;
}

// A folder holding only one folder is shown as one ("pyx-login/v1").
function collapsed(name, node) {
  let label = name;
  let inner = node;
  while (inner.path === undefined && inner.children.size === 1) {
    const [[next, child]] = [...inner.children.entries()];
    if (child.children.size === 0) break;
    label = `${label}/${next}`;
    inner = child;
  }
  return [label, inner];
}

// Folders open at the top level and along the selected path.
function Tree({ node, selected, onSelect, prefix = '' }) {
  return html`
    <ul class=${prefix === '' ? 'tree' : ''}>
      ${[...node.children.entries()].map(([first, top]) => {
        const [name, child] = collapsed(first, top);
        const folder = `${prefix}/${name}`;
        const leaf = child.path !== undefined && html`
          <button type="button" class=${`link${child.path === selected ? ' selected' : ''}`}
            aria-current=${child.path === selected ? 'true' : undefined}
            data-path=${child.path} onClick=${() => onSelect(child.path)}>${name}</button>`;
        if (child.children.size === 0) return html`<li key=${name}>${leaf}</li>`;
        const open = prefix === '' || (selected ?? '').startsWith(`${folder}/`);
        return html`
          <li key=${name}>
            <details open=${open}>
              <summary>${name}</summary>
              ${leaf}
              <${Tree} node=${child} selected=${selected} onSelect=${onSelect} prefix=${folder} />
            </details>
          </li>`;
      })}
    </ul>`;
}

export function ResourcesPanel({ generation, selectedPath, onSelect }) {
  const [paths, setPaths] = useState([]);
  const [text, setText] = useState('');
  const [error, setError] = useState(null);
  const [status, setStatus] = useState('');
  const [newPath, setNewPath] = useState('');
  const tree = useMemo(() => pathTree(paths), [paths]);

  const loadPaths = async () => {
    const read = await attempt('Reading the resource paths', () => getJson('/devhost/resources'));
    if (Array.isArray(read)) setPaths(read);
  };
  const loadValue = async (path) => {
    setError(null);
    if (!path) return;
    try {
      setText(JSON.stringify(await getJson(resourceEndpoint(path)), null, 2));
      setStatus('');
    } catch (failure) {
      setText('');
      setStatus(failure.status === 404 ? 'No resource at this path: saving creates it.' : failure.message);
    }
  };
  useEffect(() => {
    loadPaths();
  }, [generation]);
  useEffect(() => {
    loadValue(selectedPath);
  }, [selectedPath, generation]);

  const save = async (event) => {
    event.preventDefault();
    const parsed = parseJsonText(text);
    if (!parsed.ok) return setError(`Not JSON: ${parsed.error}`);
    if (parsed.value === null) return setError('A resource holds a value: null deletes nothing, use Delete');
    setError(null);
    const answer = await attempt(`Saving ${selectedPath}`, () => sendJson('PUT', resourceEndpoint(selectedPath), parsed.value));
    if (answer) notify('ok', `${selectedPath}: ${answer.eventType}`);
    await Promise.all([loadPaths(), loadAll()]);
  };
  const remove = async () => {
    const done = await attempt(`Deleting ${selectedPath}`, async () => {
      await sendJson('DELETE', resourceEndpoint(selectedPath));
      return true;
    });
    if (done) notify('ok', `${selectedPath}: deleted`);
    await Promise.all([loadPaths(), loadAll(), loadValue(selectedPath)]);
  };
  const create = (event) => {
    event.preventDefault();
    const path = newPath.trim();
    if (!path.startsWith('/') || path.length < 2) return notify('error', 'A resource path starts with "/"');
    setNewPath('');
    onSelect(path);
  };

  return html`
    <section aria-labelledby="resources-heading">
      <hgroup>
        <h2 id="resources-heading">Resources</h2>
        <p>${paths.length} resources in the simulated world</p>
      </hgroup>
      <div class="resources">
        <aside aria-label="Resource paths">
          <${Tree} node=${tree} selected=${selectedPath} onSelect=${onSelect} />
          <form onSubmit=${create}>
            <label for="new-resource">New resource path</label>
            <div role="group">
              <input id="new-resource" value=${newPath} placeholder="/my-plugin/v1/thing"
                onInput=${(e) => setNewPath(e.currentTarget.value)} />
              <button type="submit" class="secondary">Open</button>
            </div>
          </form>
        </aside>
        <div>
          ${selectedPath
            ? html`
              <form onSubmit=${save} class="resource-editor">
                <h3><code>${selectedPath}</code></h3>
                ${status && html`<p role="status">${status}</p>`}
                <${JsonEditor} id="resource-json" label="Value (JSON)" text=${text} error=${error}
                  rows=${18} onInput=${setText} />
                <div role="group">
                  <button type="submit">Save</button>
                  <button type="button" class="secondary" onClick=${() => loadValue(selectedPath)}>Read again</button>
                  <button type="button" class="contrast" disabled=${!paths.includes(selectedPath)} onClick=${remove}>Delete</button>
                </div>
              </form>`
            : html`<p>Choose a resource to view or edit it.</p>`}
        </div>
      </div>
    </section>`;
}
