// The console's shared state: what the plugin holds (missions, series), what the world looks
// like to it (the conditions), the event stream's state and the last notice. Components read it
// with useConsoleState; loads and actions change it with setState.
import { answerOf, getJson, sendJson } from './api.js';
import { useEffect, useState } from './html.js';

export const MISSIONS_ROUTE = '/pyx-missions/v1/missions';
export const SERIES_ROUTE = '/pyx-missions/v1/series';
export const PLAYER_ROUTE = '/pyx-missions/v1/player';
export const FORCE_ROUTE = '/pyx-missions/v1/force';

let state = {
  missions: null, // null until first read
  series: null,
  conditions: null,
  routes: [],
  connection: 'connecting', // 'connecting', 'open', 'reconnecting'
  generation: 0, // counts reconnections: panels read their data again when it changes
  notice: null, // {kind: 'ok' | 'error', text}
  missionsUpdated: 0, // when the mission list last changed (ms)
};
const listeners = new Set();

export function getState() {
  return state;
}

export function setState(patch) {
  state = { ...state, ...patch };
  for (const listener of listeners) listener();
}

// The state, re-rendering the calling component whenever it changes.
export function useConsoleState() {
  const [, bump] = useState(0);
  useEffect(() => {
    const listener = () => bump((n) => n + 1);
    listeners.add(listener);
    return () => listeners.delete(listener);
  }, []);
  return state;
}

export function notify(kind, text) {
  setState({ notice: { kind, text, at: Date.now() } });
}

// Runs `action`; a failure becomes an error notice instead of an unhandled rejection. The
// action's result, or undefined after a failure.
export async function attempt(what, action) {
  try {
    return await action();
  } catch (error) {
    notify('error', `${what}: ${error.message}`);
    return undefined;
  }
}

// Each list counts its changes. A read applies its answer only if nothing changed the list
// while it was under way: a list the plugin published in the meantime (an event) is newer than
// an answer the plugin gave before its fetch came back.
const versions = { missions: 0, series: 0 };

export function setMissions(missions) {
  if (!Array.isArray(missions)) return;
  versions.missions += 1;
  setState({ missions, missionsUpdated: Date.now() });
}

export function setSeries(series) {
  if (!Array.isArray(series)) return;
  versions.series += 1;
  setState({ series });
}

export async function loadMissions() {
  // The page's first read was sent before the modules loaded (index.html).
  const early = window.consoleEarlyMissions;
  window.consoleEarlyMissions = undefined;
  if (!early) performance.mark('missions-fetch-start');
  const version = versions.missions;
  const missions = await attempt('Reading the missions', () => (early ? answerOf(early) : getJson(MISSIONS_ROUTE)));
  performance.mark('missions-fetch-end');
  if (missions && versions.missions === version) setMissions(missions);
}

export async function loadSeries() {
  const version = versions.series;
  const series = await attempt('Reading the series', () => getJson(SERIES_ROUTE));
  if (versions.series === version) setSeries(series);
}

// The plugin publishes its lists after each fetch, but empties them without a word when the
// player logs out or the feature is switched off: when whether it can fetch changes, the lists
// are read again.
export async function loadConditions() {
  const conditions = await attempt('Reading the conditions', () => getJson('/devhost/conditions'));
  if (!conditions) return;
  const before = state.conditions;
  setState({ conditions });
  if (before && before.fetchReady !== conditions.fetchReady) {
    loadMissions();
    loadSeries();
  }
}

export async function loadRoutes() {
  const routes = await attempt('Reading the routes', () => getJson('/devhost/routes'));
  if (Array.isArray(routes)) setState({ routes });
  return routes ?? [];
}

// What the plugin holds and what it waits for; the routes are read on their own. Also what
// follows a change of the world made from the console, whose effect on the lists no event may
// announce.
export function loadAll() {
  return Promise.all([loadMissions(), loadSeries(), loadConditions()]);
}

// Asks the plugin to fetch. Its answer arrives as events on the stream; should the stream be
// down, the lists are read again once the answer must have come.
export async function forceFetch() {
  const asked = Date.now();
  await sendJson('POST', FORCE_ROUTE);
  setTimeout(() => {
    if (getState().missionsUpdated < asked) {
      loadMissions();
      loadSeries();
    }
  }, 2500);
}

// Marks missions and series viewed through the plugin's own route, as a front end does, then
// fetches: the plugin's lists change only with the next answer of the remote service.
export async function markViewed(missionIds, seriesIds = []) {
  await sendJson('PUT', PLAYER_ROUTE, { missionIds, seriesIds });
  await forceFetch();
}

// Opts in or out of a series through the plugin's route, then fetches.
export async function optSeries(seriesId, optStatus) {
  await sendJson('PATCH', PLAYER_ROUTE, { seriesId, optStatus });
  await forceFetch();
}
