// One place that binds htm to Preact, so that every component writes html`...` and imports
// what it needs from here.
import { h, render } from 'preact';
import htm from 'htm';

export { h, render };
export { useCallback, useEffect, useMemo, useRef, useState } from 'preact/hooks';
export const html = htm.bind(h);
