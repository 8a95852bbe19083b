// How times, sizes and values are written on the page.

const pad = (number, width = 2) => String(number).padStart(width, '0');

// "14:03:07.125", local time.
export function clockTime(ms) {
  const date = new Date(ms);
  return `${pad(date.getHours())}:${pad(date.getMinutes())}:${pad(date.getSeconds())}.${pad(date.getMilliseconds(), 3)}`;
}

// "2024-05-01 14:03", local time; "—" for the values the data model uses for "none" (0, -1).
export function dateTime(ms) {
  if (typeof ms !== 'number' || ms <= 0) return '—';
  const date = new Date(ms);
  return `${date.getFullYear()}-${pad(date.getMonth() + 1)}-${pad(date.getDate())} ${pad(date.getHours())}:${pad(date.getMinutes())}`;
}

// "in 3 days", "5 minutes ago": how far `ms` lies from `now`.
export function relative(ms, now = Date.now()) {
  const seconds = Math.round((ms - now) / 1000);
  const units = [['year', 31536000], ['day', 86400], ['hour', 3600], ['minute', 60], ['second', 1]];
  const [unit, size] = units.find(([, s]) => Math.abs(seconds) >= s) ?? ['second', 1];
  const count = Math.round(seconds / size);
  return new Intl.RelativeTimeFormat('en', { numeric: 'auto' }).format(count, unit);
}

// "1.5 MB".
export function bytes(count) {
  if (typeof count !== 'number') return '—';
  const units = ['B', 'KB', 'MB', 'GB'];
  let value = count;
  let unit = 0;
  while (Math.abs(value) >= 1024 && unit < units.length - 1) {
    value /= 1024;
    unit += 1;
  }
  return `${unit === 0 ? value : value.toFixed(1)} ${units[unit]}`;
}

export function pretty(value) {
  return JSON.stringify(value, null, 2);
}
