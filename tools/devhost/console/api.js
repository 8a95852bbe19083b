// Calls from the console to devhost. Every call stays on the page's own origin, and every call
// that changes something sends JSON (Content-Type: application/json), as the host's write
// endpoints expect; a GET never changes anything.

export class HttpError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

// The text an error answer carries: control endpoints send {"error"}, the plugin's routes
// {"httpStatus", "message"}.
function errorText(response, body) {
  if (body && typeof body === 'object') {
    if (typeof body.error === 'string') return body.error;
    if (typeof body.message === 'string' && body.message) return body.message;
  }
  return `${response.status} ${response.statusText}`.trim();
}

async function answer(response) {
  const text = await response.text();
  let body = null;
  if (text) {
    try {
      body = JSON.parse(text);
    } catch {
      body = text;
    }
  }
  if (!response.ok) throw new HttpError(response.status, errorText(response, body));
  return body;
}

// The JSON answer of a request already sent (`pending`, a fetch promise); throws HttpError.
export async function answerOf(pending) {
  let response;
  try {
    response = await pending;
  } catch (error) {
    throw new HttpError(0, `devhost cannot be reached (${error.message})`);
  }
  return answer(response);
}

function call(method, path, init) {
  return answerOf(fetch(path, { method, mode: 'same-origin', credentials: 'same-origin', ...init }));
}

// GET `path`; the JSON answer, null for an empty one. Throws HttpError.
export function getJson(path) {
  return call('GET', path, { headers: { Accept: 'application/json' } });
}

// `method` `path` with `body` as JSON (no body when undefined). Throws HttpError.
export function sendJson(method, path, body) {
  return call(method, path, {
    headers: { 'Content-Type': 'application/json', Accept: 'application/json' },
    body: body === undefined ? undefined : JSON.stringify(body),
  });
}

// The control endpoint path of the resource at `path` ("/a/b" -> "/devhost/resources/a/b").
export function resourceEndpoint(path) {
  return '/devhost/resources' + path.split('/').map(encodeURIComponent).join('/');
}
