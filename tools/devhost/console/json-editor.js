// A text area for JSON that says where the text stops being JSON.
import { html } from './html.js';

// {ok: true, value} or {ok: false, error} with the line and column of the problem.
export function parseJsonText(text) {
  try {
    return { ok: true, value: JSON.parse(text) };
  } catch (error) {
    const message = String(error.message);
    const at = /position (\d+)/.exec(message);
    if (at && !/line \d+ column \d+/.test(message)) {
      const before = text.slice(0, Number(at[1]));
      const line = before.split('\n').length;
      const column = before.length - before.lastIndexOf('\n');
      return { ok: false, error: `${message} (line ${line} column ${column})` };
    }
    return { ok: false, error: message };
  }
}

// A labelled text area; `error` (a text) marks it invalid and is shown under it.
export function JsonEditor({ id, label, text, onInput, error, rows = 12 }) {
  const hint = `${id}-error`;
  return html`
    <label for=${id}>${label}</label>
    <textarea id=${id} class="json" rows=${rows} spellcheck="false"
      aria-invalid=${error ? 'true' : undefined} aria-describedby=${error ? hint : undefined}
      value=${text} onInput=${(event) => onInput(event.currentTarget.value)}></textarea>
    ${error && html`<small id=${hint} class="error" role="alert">${error}</small>`}
  `;
}
