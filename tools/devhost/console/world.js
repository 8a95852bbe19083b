// The simulated world's controls: who is logged in, the gameflow phase, the locale, pushed
// player updates, fetches, and the remote service (its missions, series and answer latency).
import { getJson, resourceEndpoint, sendJson } from './api.js';
import { html, useEffect, useState } from './html.js';
import { parseJsonText } from './json-editor.js';
import { RemoteEditor } from './remote-editor.js';
import { attempt, forceFetch, loadAll, notify } from './store.js';

const SESSION = '/pyx-login/v1/session';
const GAMEFLOW = '/pyx-gameflow/v1/session';
const REGION_LOCALE = '/vaneclient/region-locale';
const PLATFORM = '/pyx-platform-config/v1/namespaces/LoginDataPacket/platformId';

// The phases of the gameflow session, in their order; the plugin counts the four marked as in
// a game.
const PHASES = ['None', 'Lobby', 'Matchmaking', 'CheckedIntoTournament', 'ReadyCheck', 'ChampSelect',
  'GameStart', 'FailedToLaunch', 'InProgress', 'Reconnect', 'WaitingForStats', 'PreEndOfGame',
  'EndOfGame', 'TerminatedInError'];
const IN_GAME = new Set(['GameStart', 'FailedToLaunch', 'InProgress', 'Reconnect']);

async function readResource(path) {
  try {
    return await getJson(resourceEndpoint(path));
  } catch (error) {
    if (error.status === 404) return null;
    throw error;
  }
}

// Runs a control call, tells how it went and reads the conditions again.
async function control(what, action) {
  const done = await attempt(what, async () => {
    await action();
    return true;
  });
  if (done) notify('ok', `${what}: done`);
  await loadAll();
  return done;
}

function numberOrUndefined(text) {
  return text.trim() === '' ? undefined : Number(text);
}

function LoginControls({ session, platform, reload }) {
  const [form, setForm] = useState({ accountId: '', summonerId: '', platformId: '' });
  useEffect(() => {
    setForm({
      accountId: session ? String(session.accountId ?? '') : '',
      summonerId: session ? String(session.summonerId ?? '') : '',
      platformId: session?.platformId ?? (typeof platform === 'string' ? platform : ''),
    });
  }, [session, platform]);
  const field = (key, label, type = 'text') => html`
    <label>${label}<input name=${key} type=${type} min="0" value=${form[key]}
      onInput=${(event) => setForm({ ...form, [key]: event.currentTarget.value })} /></label>`;
  const login = async (event) => {
    event.preventDefault();
    const body = {
      accountId: numberOrUndefined(form.accountId),
      summonerId: numberOrUndefined(form.summonerId),
      platformId: form.platformId === '' ? undefined : form.platformId,
    };
    await control('Logging in', () => sendJson('POST', '/devhost/login', body));
    reload();
  };
  const logout = async () => {
    await control('Logging out', () => sendJson('POST', '/devhost/logout'));
    reload();
  };
  return html`
    <article aria-labelledby="login-heading">
      <h3 id="login-heading">Login</h3>
      <p role="status">${session
        ? html`Logged in: account <code>${session.accountId}</code>, summoner <code>${session.summonerId}</code>, platform <code>${session.platformId}</code>`
        : 'Nobody is logged in.'}</p>
      <form onSubmit=${login}>
        <div class="grid">${field('accountId', 'Account id', 'number')} ${field('summonerId', 'Summoner id', 'number')} ${field('platformId', 'Platform id')}</div>
        <div role="group">
          <button type="submit" class="login">Log in</button>
          <button type="button" class="secondary logout" disabled=${!session} onClick=${logout}>Log out</button>
        </div>
      </form>
    </article>`;
}

function GameflowControls({ phase, reload }) {
  const change = async (event) => {
    const next = event.currentTarget.value;
    await control(`Gameflow phase ${next}`, () => sendJson('PUT', '/devhost/gameflow', { phase: next }));
    reload();
  };
  return html`
    <article aria-labelledby="gameflow-heading">
      <h3 id="gameflow-heading">Gameflow</h3>
      <label>Phase
        <select name="phase" value=${phase ?? ''} onChange=${change}>
          ${phase === null && html`<option value="">(no session)</option>`}
          ${PHASES.map((name) => html`<option key=${name} value=${name}>${name}${IN_GAME.has(name) ? ' (in game)' : ''}</option>`)}
        </select>
      </label>
      <small>In a game, the plugin's polling skips its fetches.</small>
    </article>`;
}

function LocaleControls({ regionLocale, reload }) {
  const [form, setForm] = useState({ locale: '', region: '' });
  useEffect(() => setForm({ locale: regionLocale?.locale ?? '', region: regionLocale?.region ?? '' }), [regionLocale]);
  const save = async (event) => {
    event.preventDefault();
    const value = { ...(regionLocale ?? {}), locale: form.locale, region: form.region };
    await control(`Locale ${form.locale}`, () => sendJson('PUT', resourceEndpoint(REGION_LOCALE), value));
    reload();
  };
  return html`
    <article aria-labelledby="locale-heading">
      <h3 id="locale-heading">Region and locale</h3>
      <form onSubmit=${save}>
        <div class="grid">
          <label>Locale<input name="locale" value=${form.locale} onInput=${(e) => setForm({ ...form, locale: e.currentTarget.value })} /></label>
          <label>Region<input name="region" value=${form.region} onInput=${(e) => setForm({ ...form, region: e.currentTarget.value })} /></label>
        </div>
        <button type="submit">Set</button>
        <small> The plugin uses the new locale with its next fetch.</small>
      </form>
    </article>`;
}

function FetchControls({ latencyMs, reload }) {
  const [update, setUpdate] = useState('');
  const [updateError, setUpdateError] = useState(null);
  const [latency, setLatency] = useState('');
  useEffect(() => setLatency(latencyMs === undefined ? '' : String(latencyMs)), [latencyMs]);
  const push = async (event) => {
    event.preventDefault();
    let body = { timestamp: Date.now() };
    if (update.trim() !== '') {
      const parsed = parseJsonText(update);
      if (!parsed.ok) return setUpdateError(parsed.error);
      body = parsed.value;
    }
    setUpdateError(null);
    await control('Pushing a player update', () => sendJson('POST', '/devhost/player-update', body));
  };
  const setRemoteLatency = async (event) => {
    event.preventDefault();
    const ms = Number(latency);
    if (latency.trim() === '' || !(ms >= 0)) return notify('error', 'The latency is a number of milliseconds, 0 or more');
    await control(`Latency ${ms} ms`, () => sendJson('PUT', '/devhost/remote/latency', { ms }));
    reload();
  };
  return html`
    <article aria-labelledby="fetch-heading">
      <h3 id="fetch-heading">Fetches</h3>
      <form onSubmit=${push}>
        <label for="player-update">Player update data (optional JSON; a timestamp when empty)</label>
        <div role="group">
          <input id="player-update" name="update" value=${update} placeholder='{"reason": "test"}'
            aria-invalid=${updateError ? 'true' : undefined} onInput=${(e) => setUpdate(e.currentTarget.value)} />
          <button type="submit" class="push-update">Push a player update</button>
        </div>
        ${updateError && html`<small class="error" role="alert">${updateError}</small>`}
      </form>
      <p><button type="button" class="secondary force" onClick=${() => control('Forcing a fetch', forceFetch)}>Force a fetch</button></p>
      <form onSubmit=${setRemoteLatency}>
        <label for="latency">Remote service answer latency (ms)</label>
        <div role="group">
          <input id="latency" name="latency" type="number" min="0" step="10" value=${latency}
            onInput=${(e) => setLatency(e.currentTarget.value)} />
          <button type="submit">Set</button>
        </div>
      </form>
    </article>`;
}

export function WorldPanel({ generation }) {
  const [world, setWorld] = useState(null);
  const reload = async () => {
    const read = await attempt('Reading the world', async () => {
      const [session, platform, gameflow, regionLocale, remote] = await Promise.all([
        readResource(SESSION), readResource(PLATFORM), readResource(GAMEFLOW),
        readResource(REGION_LOCALE), getJson('/devhost/remote')]);
      return { session, platform, gameflow, regionLocale, remote };
    });
    if (read) setWorld(read);
  };
  useEffect(() => {
    reload();
  }, [generation]);
  if (!world) return html`<p aria-busy="true">Reading the world…</p>`;
  return html`
    <section aria-labelledby="world-heading">
      <h2 id="world-heading">World</h2>
      <div class="world-grid">
        <${LoginControls} session=${world.session} platform=${world.platform} reload=${reload} />
        <${GameflowControls} phase=${world.gameflow?.phase ?? null} reload=${reload} />
        <${LocaleControls} regionLocale=${world.regionLocale} reload=${reload} />
        <${FetchControls} latencyMs=${world.remote?.latencyMs} reload=${reload} />
      </div>
      <${RemoteEditor} kind="missions" list=${world.remote?.template?.missions ?? []} reload=${reload} />
      <${RemoteEditor} kind="series" list=${world.remote?.template?.series ?? []} reload=${reload} />
    </section>`;
}
