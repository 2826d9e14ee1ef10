// The web viewer in headless Chromium against a real kyn-host and its demo
// folder: clips that play, finding and managing them, honest states, one
// event stream for all tabs, the keyboard and accessibility; screenshots at
// 1280x800 and 390x844.
//
//   node host/tests/viewer/viewer.test.mjs HOST_EXECUTABLE [SCREENSHOT.png]
import { copyFileSync, existsSync, mkdirSync, mkdtempSync, readdirSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { accessibilityProblems, browserDriver, check, CHROMIUM, CHROMIUM_ARGS, startHost } from './support.mjs';

const [hostExecutable, screenshot = 'build/viewer.png'] = process.argv.slice(2);
if (!hostExecutable) {
  console.error('usage: viewer.test.mjs HOST_EXECUTABLE [SCREENSHOT.png]');
  process.exit(2);
}
const chromium = await browserDriver();

const WIDE = { width: 1280, height: 800 };
const NARROW = { width: 390, height: 844 };
const SAMPLES = ['Clutch save', 'Dragon at dusk', 'First victory', 'Team wipe'];
const webmNames = (folder) => readdirSync(folder).filter((n) => n.endsWith('.webm')).map((n) => n.slice(0, -5)).sort();

const cards = (page) => page.locator('#grid .card');
const cardNamed = (page, name) => cards(page).filter({ has: page.locator('.name', { hasText: new RegExp(`^${name}$`) }) });
const cardNames = (page) => page.locator('#grid .card .name').allTextContents();
// Marks every card element and what its video holds, to tell later which
// were rebuilt or reloaded.
const markCards = (page) => page.evaluate(() => {
  for (const card of document.querySelectorAll('#grid .card')) {
    card.kynMark = card.dataset.path;
    card.kynSource = card.querySelector('video').getAttribute('src');
  }
});
const untouchedCards = (page) => page.evaluate(() => [...document.querySelectorAll('#grid .card')]
  .filter((card) => card.kynMark && card.kynSource === card.querySelector('video').getAttribute('src')).length);

async function waitForStatus(page, pattern) {
  await page.locator('#status').filter({ hasText: pattern }).waitFor({ timeout: 8000 });
  return page.locator('#status').textContent();
}

// 1. The demo clips: listed, with duration, picture, day headings and totals.
async function demoClips(page, folder) {
  await cards(page).nth(SAMPLES.length - 1).waitFor();
  await page.locator('#live[data-state="live"]').waitFor();
  check((await cardNames(page)).sort().join() === webmNames(folder).join(), `lists the demo clips (${SAMPLES.join(', ')})`);
  await page.locator('#grid .card .duration:not([hidden])').nth(SAMPLES.length - 1).waitFor();
  const badges = await page.locator('#grid .card .duration').allTextContents();
  check(badges.every((text) => /^0:(0[3-9]|1\d|20)$/.test(text)), `each card shows its duration, 3 to 20 s (${badges.join(', ')})`);
  const bytes = webmNames(folder).reduce((sum, name) => sum + statSync(path.join(folder, `${name}.webm`)).size, 0);
  check((await page.locator('#totals').textContent()).startsWith('4 clips · ') && bytes > 4 * 50000,
    `the total counts the clips and their size (${await page.locator('#totals').textContent()})`);
  const days = new Set(webmNames(folder).map((name) => new Date(statSync(path.join(folder, `${name}.webm`)).mtimeMs).toDateString()));
  const headings = await page.locator('#grid .day > span:first-child').allTextContents();
  check(headings.length === days.size && (!days.has(new Date().toDateString()) || headings[0] === 'Today'),
    `clips are grouped by day, newest first (${headings.join(', ')})`);
  await page.waitForFunction(() => [...document.querySelectorAll('#grid .card video')].every((v) => v.readyState >= 2 && !v.error),
    null, { timeout: 10000 });
  check(true, 'every thumbnail shows a decoded frame');
}

// The large player plays each clip (its time advances) and steps through
// them with the arrow keys and buttons.
async function player(page) {
  const video = page.locator('#player video');
  await cards(page).first().locator('.play').click();
  await page.locator('#player[open]').waitFor();
  const titles = [];
  for (let i = 0; i < SAMPLES.length; ++i) {
    const title = await page.locator('#player-title').textContent();
    await page.waitForFunction(() => { const v = document.querySelector('#player video'); return v.currentTime > 0.6 && !v.error; },
      null, { timeout: 8000 });
    titles.push(`${title} ${(await video.evaluate((v) => v.currentTime)).toFixed(1)} s`);
    if (i < SAMPLES.length - 1) await page.keyboard.press('ArrowRight');
  }
  check(titles.length === SAMPLES.length, `each clip plays in the player, ArrowRight steps on (${titles.join('; ')})`);
  check(await page.locator('#player .player-next').isDisabled(), 'Next is off on the last clip');
  await page.locator('#player .player-prev').click();
  check((await page.locator('#player .player-position').textContent()) === '3 of 4 clips', 'Previous steps back (3 of 4 clips)');
  await page.keyboard.press('Escape');
  await page.waitForFunction(() => !document.querySelector('#player').open && document.activeElement.matches('.card'));
  check(await page.evaluate(() => document.activeElement.querySelector('.name').textContent) === 'Dragon at dusk',
    'closing the player gives focus to the card of the clip shown last');
}

async function findAndSort(page) {
  await page.locator('#search').fill('DRA');
  await page.waitForFunction(() => document.querySelectorAll('#grid .card').length === 1);
  check((await cardNames(page)).join() === 'Dragon at dusk' && (await page.locator('#totals').textContent()).startsWith('1 of 4 clips'),
    'search filters by name as you type, ignoring case');
  await page.locator('#search').fill('zzz');
  await page.locator('#no-match:not([hidden])').waitFor();
  check(await page.locator('#no-match').isVisible() && (await cards(page).count()) === 0, 'a search without match says so');
  await page.locator('#search').press('Escape');
  await cards(page).nth(3).waitFor();
  check((await cards(page).count()) === 4, 'Escape in the search shows all clips again');
  const orders = {};
  for (const sort of ['name', 'length', 'size', 'oldest', 'newest']) {
    await page.locator('#sort').selectOption(sort);
    orders[sort] = await cardNames(page);
  }
  check(orders.name.join() === [...SAMPLES].join(), `sorts by name (${orders.name.join(', ')})`);
  check(orders.length[0] === 'Team wipe' && orders.length[3] === 'Clutch save', `sorts by length (${orders.length.join(', ')})`);
  check(orders.oldest.join() === [...orders.newest].reverse().join(), 'oldest first is newest first reversed');
  check(orders.size.length === 4 && (await page.locator('#grid .day').count()) > 0, 'sorts by size; day headings with the date sorts');
}

async function keyboard(page) {
  // Tab reaches every control, each with a visible focus ring.
  await page.locator('#search').focus();
  const reached = new Set();
  let invisible = [];
  for (let i = 0; i < 60; ++i) {
    await page.keyboard.press('Tab');
    const { id, outline } = await page.evaluate(() => {
      const e = document.activeElement;
      if (e === document.body) return { id: 'body', outline: true }; // past the last control
      if (!e.dataset.kynId) e.dataset.kynId = Math.random().toString(36).slice(2);
      const style = getComputedStyle(e);
      return { id: e.dataset.kynId, outline: style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2 };
    });
    if (!outline) invisible.push(await page.evaluate(() => document.activeElement.outerHTML.slice(0, 60)));
    reached.add(id);
  }
  const controls = await page.evaluate(() => [...document.querySelectorAll('main button, main input, main select, main summary, header button, header input, header select')]
    .filter((e) => e.offsetParent !== null && !e.disabled && !e.closest('form[hidden], dialog')).map((e) => e.dataset.kynId));
  const missed = controls.filter((id) => !reached.has(id)).length;
  invisible = [...new Set(invisible)];
  check(missed === 0 && invisible.length === 0, `Tab reaches all ${controls.length} controls, each with a visible focus${invisible.length ? ` (no ring: ${invisible.join(' | ')})` : ''}`);

  await cards(page).first().focus();
  await page.keyboard.press('ArrowRight');
  const second = await page.evaluate(() => document.activeElement.getAttribute('aria-posinset'));
  await page.keyboard.press('ArrowLeft');
  check(second === '2' && await page.evaluate(() => document.activeElement.getAttribute('aria-posinset')) === '1', 'arrows move between cards');
  await page.keyboard.press('Enter');
  await page.locator('#player[open]').waitFor();
  await page.keyboard.press('Escape');
  await page.keyboard.press(' ');
  await page.locator('#player[open]').waitFor();
  await page.keyboard.press('Escape');
  check(true, 'Enter and Space on a card open the player, Escape closes it');
  // Focus moves after the key's handlers have run: wait for it rather than
  // look at once.
  const focusSettles = (test) => page.waitForFunction(test, null, { timeout: 5000 }).then(() => true, () => false);
  await focusSettles(() => Boolean(document.activeElement.closest('.card')));
  await page.keyboard.press('F2');
  check(await focusSettles(() => document.activeElement.name === 'name'), 'F2 opens the rename form with the name field focused');
  await page.keyboard.press('Escape');
  check(await focusSettles(() => document.activeElement.matches('.act-rename')), 'Escape closes the form, focus back on Rename');
  await page.keyboard.press('?');
  await page.locator('#help[open]').waitFor();
  check((await page.locator('#help').textContent()).includes('F2'), '"?" shows the keyboard shortcuts');
  return page.keyboard.press('Escape');
}

async function rename(page, folder, assets) {
  const first = cardNamed(page, 'First victory');
  const field = first.getByLabel('New name');
  const error = first.locator('.field-error');
  await markCards(page);
  await first.getByRole('button', { name: 'Rename' }).click();
  check(!(await first.locator('.actions').isVisible()), "the card's actions are hidden under the rename form");
  const tries = [
    ['   ', 'Enter a name.'],
    ['bad:name', 'cannot contain :'],
    ['Clutch save', 'A highlight named “Clutch save” already exists.'],
    ['x'.repeat(300), 'Name is too long.'],
  ];
  for (const [name, expected] of tries) {
    await field.fill(name);
    await field.press('Enter');
    await error.filter({ hasText: expected }).waitFor({ timeout: 5000 });
  }
  check(true, 'a blank name, a bad character, a taken name and a long name are refused in plain words');
  check(webmNames(folder).join() === SAMPLES.join(), 'refused names changed no file');
  const before = assets.length;
  await field.fill('  Team..victory  ');
  await field.press('Enter');
  await cardNamed(page, 'Team..victory').waitFor();
  check(existsSync(path.join(folder, 'Team..victory.webm')), 'the name is trimmed and the file renamed');
  check(await untouchedCards(page) === 3, 'the rename rebuilt and reloaded no other card');
  const renamed = cardNamed(page, 'Team..victory');
  check(await renamed.evaluate((card) => card.kynMark !== undefined), 'the renamed card is the same element, patched');
  await page.waitForFunction(() => [...document.querySelectorAll('#grid .card video')].every((v) => v.readyState >= 2 && !v.error),
    null, { timeout: 8000 });
  check(assets.slice(before).every((url) => url.includes('Team..victory')), 'a name with ".." keeps its video (only that one loaded)');
  await waitForStatus(page, 'Renamed');
  await page.locator('#status:empty').waitFor({ state: 'attached', timeout: 12000 });
  check(true, 'the status line fades away by itself');
}

async function rescanAndDelete(page, folder, assets) {
  await markCards(page);
  const before = assets.length;
  await page.locator('#rescan').click();
  await waitForStatus(page, 'Rescanned: 4 highlights.');
  await page.waitForTimeout(300);
  check(await untouchedCards(page) === 4 && assets.length === before, 'a rescan (new ids) rebuilds no card and reloads no video');

  // Two selected, deleted with one confirmation that names them.
  await cardNamed(page, 'Clutch save').locator('.pick').check();
  await cardNamed(page, 'Dragon at dusk').locator('.pick').check();
  check((await page.locator('#selection-count').textContent()) === '2 selected', 'selected clips are counted');
  await page.locator('#delete-selected').click();
  const dialog = page.locator('#confirm');
  const named = await dialog.locator('#confirm-names li').allTextContents();
  check(named.sort().join() === 'Clutch save,Dragon at dusk', 'the confirmation names both clips');
  await dialog.getByRole('button', { name: 'Delete 2' }).click();
  await waitForStatus(page, 'Deleted 2 highlights.');
  check(webmNames(folder).join() === 'Team wipe,Team..victory', `both files are gone (${webmNames(folder).join(', ')} left)`);
  check((await cards(page).count()) === 2 && await untouchedCards(page) === 2, 'their cards are gone; the others untouched');

  // Delete on a focused card asks first; Cancel keeps the clip.
  await cards(page).first().focus();
  await page.keyboard.press('Delete');
  await page.locator('#confirm[open]').waitFor();
  await page.keyboard.press('Escape');
  check(webmNames(folder).length === 2, 'Delete asks for confirmation; Escape keeps the clip');
}

async function switchAndFolders(page, root, folder) {
  await page.locator('#enabled').uncheck();
  await page.locator('#disabled-note:not([hidden])').waitFor();
  const kind = await page.locator('#status').getAttribute('data-kind');
  check(await page.locator('#rescan').isDisabled() && await cards(page).first().locator('.act-delete').isDisabled() && kind === 'info',
    'turning highlights off disables the changing buttons; the status is not shown as a success');
  await page.locator('#enabled').check();
  await page.locator('#disabled-note[hidden]').waitFor({ state: 'attached' });

  // A folder that disappears: "folder not found" with its path, no cards.
  const doomed = path.join(root, 'doomed folder');
  mkdirSync(doomed);
  copyFileSync(path.join(folder, 'Team wipe.webm'), path.join(doomed, 'Soon gone.webm'));
  await page.locator('#folder').fill(doomed);
  await page.getByRole('button', { name: 'Change folder' }).click();
  await cardNamed(page, 'Soon gone').waitFor();
  rmSync(doomed, { recursive: true });
  await page.locator('#rescan').click();
  await page.locator('#folder-missing:not([hidden])').waitFor();
  check((await page.locator('#folder-missing').textContent()).includes(doomed) && (await cards(page).count()) === 0,
    'a folder that no longer exists shows "Folder not found" with its path and no cards');
  await page.locator('#folder').fill(path.join(root, 'never there'));
  await page.getByRole('button', { name: 'Change folder' }).click();
  await waitForStatus(page, /does not exist|not found|exist/i);
  check(await page.locator('#status').getAttribute('data-kind') === 'error', 'choosing a missing folder is reported as an error');
  await page.locator('#folder').fill(folder);
  await page.getByRole('button', { name: 'Change folder' }).click();
  await cards(page).nth(1).waitFor();
  check(await page.locator('#folder-missing').isHidden(), 'changing back lists the clips again');
}

// Ten tabs share one /events connection: one shared worker holds it and no
// tab opens its own; an event reaches all of them.
async function tabs(context, page, url) {
  const pages = [page];
  const ownStreams = [];
  for (let i = 0; i < 9; ++i) {
    const other = await context.newPage();
    other.on('request', (request) => { if (request.url().endsWith('/events')) ownStreams.push(request.url()); });
    await other.goto(url);
    pages.push(other);
  }
  await Promise.all(pages.map((p) => p.locator('#live[data-state="live"]').waitFor()));
  const cdp = await context.browser().newBrowserCDPSession();
  const { targetInfos } = await cdp.send('Target.getTargets');
  const workers = targetInfos.filter((t) => t.type === 'shared_worker').length;
  check(workers === 1 && ownStreams.length === 0, `10 tabs hold one event stream (${workers} shared worker, ${ownStreams.length} own streams)`);
  await page.locator('#enabled').uncheck();
  await Promise.all(pages.map((p) => p.locator('#disabled-note:not([hidden])').waitFor()));
  await page.locator('#enabled').check();
  check(true, 'a change reaches every tab');
  await Promise.all(pages.slice(1).map((p) => p.close()));
  await cdp.detach();
}

// The host goes away: a banner, every action off; back: all on again.
async function offline(page, host, restart) {
  await host.stop();
  await page.locator('#offline:not([hidden])').waitFor({ timeout: 10000 });
  // Cancel in a (hidden) rename form only closes it.
  const enabled = await page.evaluate(() => [...document.querySelectorAll('#grid button:not(.cancel), #rescan, #settings input, #settings button')]
    .filter((b) => !b.disabled).map((b) => b.className || b.id));
  check(enabled.length === 0 && (await page.locator('#live').textContent()) === 'Reconnecting…', `host offline: a banner, and every action is disabled${enabled.length ? ` (not: ${enabled.join(', ')})` : ''}`);
  const back = restart();
  await back.url;
  await page.locator('#offline').waitFor({ state: 'hidden', timeout: 20000 });
  check(await page.locator('#rescan').isEnabled(), 'host back: the banner goes and the actions return');
  return back;
}

async function accessibility(page) {
  const problems = [];
  problems.push(...await accessibilityProblems(page, 'grid'));
  await cards(page).first().locator('.play').click();
  await page.locator('#player[open]').waitFor();
  problems.push(...await accessibilityProblems(page, 'player'));
  await page.keyboard.press('Escape');
  await cards(page).first().locator('.act-delete').click();
  problems.push(...await accessibilityProblems(page, 'delete confirmation'));
  await page.keyboard.press('Escape');
  await page.keyboard.press('?');
  problems.push(...await accessibilityProblems(page, 'shortcuts'));
  await page.keyboard.press('Escape');
  return problems;
}

const root = mkdtempSync(path.join(tmpdir(), 'kyn-viewer-'));
const hosts = [];
const launch = (port = 0) => { hosts.push(startHost(hostExecutable, root, [], port)); return hosts[hosts.length - 1]; };
let host = launch();
let browser;
let failed = false;
try {
  const url = await host.url;
  const port = Number(new URL(url).port);
  const demoTime = host.log().match(/demo folder .* created in (\d+) ms/);
  console.log(`demo folder created in ${demoTime ? demoTime[1] : '?'} ms`);
  const folder = path.join(root, 'data', 'kyn-host', 'demo-highlights');
  browser = await chromium.launch({ executablePath: CHROMIUM, args: CHROMIUM_ARGS });
  const context = await browser.newContext({ viewport: WIDE });
  const page = await context.newPage();
  const assets = [];
  const missing = [];
  page.on('pageerror', (error) => { failed = true; console.error(`page error: ${error.message}`); });
  page.on('request', (request) => { if (request.url().includes('/assets/')) assets.push(decodeURIComponent(request.url())); });
  page.on('response', (response) => {
    if (response.status() === 404 && !new URL(response.url()).pathname.startsWith('/kyn-')) missing.push(response.url());
  });
  await page.goto(url);
  await demoClips(page, folder);
  await page.screenshot({ path: screenshot });
  console.log(`screenshot: ${screenshot}`);
  await player(page);
  await findAndSort(page);
  await keyboard(page);
  await rename(page, folder, assets);
  await rescanAndDelete(page, folder, assets);
  await switchAndFolders(page, root, folder);
  await tabs(context, page, url);
  host = await offline(page, host, () => launch(port));
  const problems = await accessibility(page);
  await page.setViewportSize(NARROW);
  await page.reload();
  await cards(page).first().waitFor();
  await page.waitForFunction(() => [...document.querySelectorAll('#grid .card video')].slice(0, 2).every((v) => v.readyState >= 2), null, { timeout: 8000 });
  const folded = !(await page.locator('#settings').evaluate((d) => d.open));
  const width = await page.evaluate(() => document.documentElement.scrollWidth);
  check(folded && width <= NARROW.width, `at 390 px the settings are folded away and nothing is wider than the screen (${width} px)`);
  problems.push(...await accessibilityProblems(page, 'narrow'));
  const narrow = screenshot.replace(/\.png$/, '-narrow.png');
  await page.screenshot({ path: narrow });
  console.log(`screenshot: ${narrow}`);
  check(problems.length === 0, `axe-core finds no critical or serious violation${problems.length ? `: ${problems.join('; ')}` : ''}`);
  check(missing.length === 0, `no file the page asks for is missing${missing.length ? ` (${missing.join(', ')})` : ' (favicon included)'}`);
  check(!failed, 'no script error on the page');
} catch (error) {
  failed = true;
  console.error(error.stack || error);
  console.error(`host log:\n${host.log()}`);
} finally {
  if (browser) await browser.close();
  await Promise.all(hosts.map((started) => started.stop()));
  rmSync(root, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
