// Texts the viewer shows for sizes, dates and refused names.

const UNITS = ['B', 'KB', 'MB', 'GB', 'TB'];

export function formatSize(bytes) {
  let value = Number(bytes) || 0;
  let unit = 0;
  while (value >= 1024 && unit < UNITS.length - 1) {
    value /= 1024;
    unit += 1;
  }
  const digits = unit === 0 || value >= 100 ? 0 : 1;
  return `${value.toLocaleString(undefined, { maximumFractionDigits: digits })} ${UNITS[unit]}`;
}

const dateFormat = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });

export function formatDate(iso) {
  const date = new Date(iso);
  return Number.isNaN(date.getTime()) ? '' : dateFormat.format(date);
}

// Why the name cannot be sent, or '' when it can.
export function nameProblem(name, invalidCharacters) {
  if (name.length === 0) return 'Enter a name.';
  const found = [...new Set([...name].filter((c) => invalidCharacters.includes(c)))];
  if (found.length > 0) {
    return `A name cannot contain ${found.join(' ')} (none of ${[...invalidCharacters].join(' ')}).`;
  }
  return '';
}

// Newest first; equal times by name, so the order is stable.
export function newestFirst(a, b) {
  return (b.mtimeMsUtc - a.mtimeMsUtc) || a.name.localeCompare(b.name);
}
