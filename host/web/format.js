// Texts the viewer shows: sizes, dates, durations, day headings, counts and
// the reasons a name is refused.

const UNITS = ['B', 'KB', 'MB', 'GB', 'TB'];

export function formatSize(bytes) {
  let value = Number(bytes) || 0;
  let unit = 0;
  while (value >= 1024 && unit < UNITS.length - 1) {
    value /= 1024;
    unit += 1;
  }
  const digits = unit === 0 || value >= 100 ? 0 : 1;
  return `${value.toLocaleString('en', { maximumFractionDigits: digits })} ${UNITS[unit]}`;
}

// "0:07", "12:30", "1:02:03".
export function formatDuration(milliseconds) {
  const total = Math.max(0, Math.round(Number(milliseconds) / 1000));
  const hours = Math.floor(total / 3600);
  const minutes = Math.floor((total % 3600) / 60);
  const seconds = String(total % 60).padStart(2, '0');
  return hours > 0 ? `${hours}:${String(minutes).padStart(2, '0')}:${seconds}` : `${minutes}:${seconds}`;
}

const dateTimeFormat = new Intl.DateTimeFormat(undefined, { dateStyle: 'medium', timeStyle: 'short' });
const timeFormat = new Intl.DateTimeFormat(undefined, { timeStyle: 'short' });
const weekdayFormat = new Intl.DateTimeFormat(undefined, { weekday: 'long' });
const dayFormat = new Intl.DateTimeFormat(undefined, { weekday: 'long', day: 'numeric', month: 'long' });
const dayWithYearFormat = new Intl.DateTimeFormat(undefined, { day: 'numeric', month: 'long', year: 'numeric' });

export function formatDate(milliseconds) {
  const date = new Date(milliseconds);
  return Number.isNaN(date.getTime()) ? '' : dateTimeFormat.format(date);
}

export function formatTime(milliseconds) {
  const date = new Date(milliseconds);
  return Number.isNaN(date.getTime()) ? '' : timeFormat.format(date);
}

// The local calendar day, "2026-12-09", by which clips are grouped.
export function dayKey(milliseconds) {
  const date = new Date(milliseconds);
  const month = String(date.getMonth() + 1).padStart(2, '0');
  return `${date.getFullYear()}-${month}-${String(date.getDate()).padStart(2, '0')}`;
}

// "Today", "Yesterday", the weekday within the last week, else the date
// (with its year when it is not this year's).
export function dayLabel(milliseconds, now = Date.now()) {
  const startOf = (ms) => { const d = new Date(ms); d.setHours(0, 0, 0, 0); return d; };
  const days = Math.round((startOf(now) - startOf(milliseconds)) / 86400000);
  if (days === 0) return 'Today';
  if (days === 1) return 'Yesterday';
  const date = new Date(milliseconds);
  if (days > 1 && days < 7) return weekdayFormat.format(date);
  return date.getFullYear() === new Date(now).getFullYear() ? dayFormat.format(date)
    : dayWithYearFormat.format(date);
}

export function count(number, word) {
  return `${number.toLocaleString('en')} ${word}${number === 1 ? '' : 's'}`;
}

// Why the (trimmed) name cannot be sent, or '' when it can.
export function nameProblem(name, invalidCharacters) {
  if (name.length === 0) return 'Enter a name.';
  const found = [...new Set([...name].filter((c) => invalidCharacters.includes(c)))];
  if (found.length > 0) {
    return `A name cannot contain ${found.join(' ')} (none of ${[...invalidCharacters].join(' ')}).`;
  }
  return '';
}

// A list of names for a sentence: “A”, “B” and 3 more.
export function nameList(names, shown = 5) {
  const quoted = names.slice(0, shown).map((name) => `“${name}”`);
  const rest = names.length - quoted.length;
  if (rest > 0) return `${quoted.join(', ')} and ${rest} more`;
  if (quoted.length < 2) return quoted.join('');
  return `${quoted.slice(0, -1).join(', ')} and ${quoted[quoted.length - 1]}`;
}
