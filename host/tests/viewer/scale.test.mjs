// The web viewer with a folder of 10,000 clips (hard links of one demo
// clip): the time from the list's arrival to the first card, printed; only
// the cards near the viewport exist and load their video; a rescan (every
// id new) and a delete leave the other cards as they are.
//
//   node host/tests/viewer/scale.test.mjs HOST_EXECUTABLE [SCREENSHOT.png]
import { linkSync, mkdirSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { browserDriver, check, CHROMIUM, CHROMIUM_ARGS, startHost } from './support.mjs';

const [hostExecutable, screenshot = 'build/viewer-10000.png'] = process.argv.slice(2);
if (!hostExecutable) {
  console.error('usage: scale.test.mjs HOST_EXECUTABLE [SCREENSHOT.png]');
  process.exit(2);
}
const chromium = await browserDriver();
const CLIPS = 10000;
const clipName = (i) => `clip ${String(i).padStart(5, '0')}`;

const mounted = (page) => page.evaluate(() => document.querySelectorAll('#grid .card').length);
const markCards = (page) => page.evaluate(() => {
  for (const card of document.querySelectorAll('#grid .card')) {
    card.kynMark = card.dataset.path;
    card.kynSource = card.querySelector('video').getAttribute('src');
  }
  return document.querySelectorAll('#grid .card').length;
});
const untouchedCards = (page) => page.evaluate(() => [...document.querySelectorAll('#grid .card')]
  .filter((card) => card.kynMark === card.dataset.path && card.kynSource === card.querySelector('video').getAttribute('src')).length);

async function firstCard(page, url) {
  const started = Date.now();
  await page.goto(url);
  await page.locator('#grid .card').first().waitFor({ timeout: 30000 });
  const seen = Date.now() - started;
  await page.waitForFunction(() => performance.getEntriesByName('kyn:first-card').length > 0);
  const marks = await page.evaluate(() => ({
    list: performance.getEntriesByName('kyn:list-arrived')[0].startTime,
    card: performance.getEntriesByName('kyn:first-card')[0].startTime,
  }));
  console.log(`10,000 clips: the list arrived ${Math.round(marks.list)} ms after navigation; `
    + `first card ${Math.round(marks.card - marks.list)} ms after the list (seen by the test ${seen} ms after navigation)`);
}

async function boundedPage(page, assets) {
  const cards = await mounted(page);
  const sources = await page.evaluate(() => [...document.querySelectorAll('#grid video[src]')].length);
  check(cards > 0 && cards < 120, `only the cards near the viewport exist (${cards} of ${CLIPS})`);
  check(sources <= cards && assets.size <= cards, `only their videos load (${sources} with a source, ${assets.size} clips asked for)`);
  check((await page.locator('#totals').textContent()).startsWith('10,000 clips · '), `the total: ${await page.locator('#totals').textContent()}`);
  const started = Date.now();
  await page.locator('#grid .card .duration:not([hidden])').first().waitFor({ timeout: 30000 });
  console.log(`durations of 10,000 clips shown ${Date.now() - started} ms later`);
  check((await page.locator('#grid .card .duration').first().textContent()) === '0:04', 'cards show the duration from the host');
}

async function scrolling(page) {
  await page.evaluate(() => window.scrollTo(0, document.documentElement.scrollHeight));
  await page.locator(`#grid .card[aria-posinset="${CLIPS}"]`).waitFor();
  const cards = await mounted(page);
  check(cards < 120, `scrolled to the end, card ${CLIPS} is there and still only ${cards} cards exist`);
  await page.keyboard.press('Home');
  await page.evaluate(() => window.scrollTo(0, 0));
  await page.locator('#grid .card[aria-posinset="1"]').waitFor();
}

async function rescanAndDelete(page, folder, assets) {
  // The cards shown again after the search get their videos a frame later.
  await page.waitForFunction(() => [...document.querySelectorAll('#grid .card video')].every((v) => v.hasAttribute('src')));
  const before = await markCards(page);
  const asked = assets.size;
  await page.locator('#rescan').click();
  await page.locator('#status', { hasText: 'Rescanned: 10,000 highlights.' }).waitFor({ timeout: 30000 });
  const untouched = await untouchedCards(page);
  check(untouched === before && assets.size === asked,
    `a rescan (every id new) rebuilds none of the ${before} cards (${untouched} untouched) and loads no video (${assets.size - asked} asked for)`);

  const first = page.locator('#grid .card').first();
  const name = await first.locator('.name').textContent();
  await first.locator('.act-delete').click();
  await page.locator('#confirm').getByRole('button', { name: 'Delete' }).click();
  await page.locator('#status', { hasText: `Deleted “${name}”.` }).waitFor({ timeout: 15000 });
  const kept = await untouchedCards(page);
  check(readdirSync(folder).length === CLIPS - 1 && kept >= before - 2,
    `a delete removes one file and card; ${kept} of the other cards stay as they were`);
}

async function search(page) {
  await page.locator('#search').fill(clipName(9999));
  await page.waitForFunction(() => document.querySelectorAll('#grid .card').length === 1);
  check((await page.locator('#grid .card .name').textContent()) === clipName(9999), 'search finds one clip among 10,000');
  await page.locator('#search').fill('');
  await page.waitForFunction(() => document.querySelectorAll('#grid .card').length > 1);
}

const root = mkdtempSync(path.join(tmpdir(), 'kyn-viewer-scale-'));
const host = startHost(hostExecutable, root);
let browser;
let failed = false;
try {
  const url = await host.url;
  const folder = path.join(root, 'ten thousand');
  mkdirSync(folder);
  const source = path.join(root, 'data', 'kyn-host', 'demo-highlights', 'Clutch save.webm');
  for (let i = 1; i <= CLIPS; ++i) linkSync(source, path.join(folder, `${clipName(i)}.webm`));
  const started = Date.now();
  const put = await fetch(new URL('/kyn-settings/v1/local/kyn-replays', url), {
    method: 'PUT', headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ data: { 'highlights-folder-path': folder } }),
  });
  // The plugin scans the folder after the answer; the page is opened on
  // the scanned folder.
  const listed = async () => (await (await fetch(new URL('/kyn-highlights/v1/highlights', url))).json()).length;
  while (await listed() !== CLIPS && Date.now() - started < 30000) await new Promise((resolve) => setTimeout(resolve, 200));
  check(put.ok, `the folder of ${CLIPS} hard links is chosen and scanned (${Date.now() - started} ms)`);
  browser = await chromium.launch({ executablePath: CHROMIUM, args: CHROMIUM_ARGS });
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  const assets = new Set();
  page.on('pageerror', (error) => { failed = true; console.error(`page error: ${error.message}`); });
  page.on('request', (request) => { if (request.url().includes('/assets/')) assets.add(request.url()); });
  await firstCard(page, url);
  await boundedPage(page, assets);
  await page.screenshot({ path: screenshot });
  console.log(`screenshot: ${screenshot}`);
  await scrolling(page);
  await search(page);
  await rescanAndDelete(page, folder, assets);
  check(!failed, 'no script error on the page');
} catch (error) {
  failed = true;
  console.error(error.stack || error);
  console.error(`host log (last lines):\n${host.log().split('\n').slice(-20).join('\n')}`);
} finally {
  if (browser) await browser.close();
  await host.stop();
  rmSync(root, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
