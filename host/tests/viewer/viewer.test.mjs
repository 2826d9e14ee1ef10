// The web viewer in headless Chromium against a real kyn-host on a free port.
// The host starts in private HOME and XDG directories, so it writes its demo
// folder of sample highlights there and touches no user's settings.
//
//   node host/tests/viewer/viewer.test.mjs HOST_EXECUTABLE [SCREENSHOT.png]
import { spawn } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';

const [hostExecutable, screenshot = 'build/viewer.png'] = process.argv.slice(2);
if (!hostExecutable) {
  console.error('usage: viewer.test.mjs HOST_EXECUTABLE [SCREENSHOT.png]');
  process.exit(2);
}

// Without the browser or its driver the test cannot run: exit 77, which
// CTest reports as skipped (`make test` installs both first).
const CHROMIUM = '/usr/bin/chromium';
const driver = await import('playwright-core').catch(() => null);
if (!driver || !existsSync(CHROMIUM)) {
  console.log(`skipped: ${driver ? CHROMIUM + ' is missing' : 'playwright-core is not installed (npm ci)'}`);
  process.exit(77);
}
const { chromium } = driver;

const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking',
  '--disable-component-update', '--disable-sync', '--no-first-run'];
const SAMPLE_COUNT = 4;

function check(condition, text) {
  if (!condition) throw new Error(`check failed: ${text}`);
  console.log(`ok - ${text}`);
}

// Starts the host and resolves with its URL once it prints the line that
// names it.
function startHost(root) {
  const env = { ...process.env, HOME: path.join(root, 'home'), XDG_CONFIG_HOME: path.join(root, 'config'),
    XDG_DATA_HOME: path.join(root, 'data') };
  const child = spawn(hostExecutable, ['--port', '0'], { env, stdio: ['ignore', 'pipe', 'pipe'] });
  let log = '';
  child.stderr.on('data', (chunk) => { log += chunk; });
  const url = new Promise((resolve, reject) => {
    let out = '';
    child.stdout.on('data', (chunk) => {
      out += chunk;
      const found = out.match(/serving (http:\/\/127\.0\.0\.1:\d+\/)/);
      if (found) resolve(found[1]);
    });
    child.on('exit', (code) => reject(new Error(`kyn-host exited (${code}):\n${log}`)));
    setTimeout(() => reject(new Error(`kyn-host printed no URL:\n${log}`)), 15000);
  });
  return { child, url, log: () => log };
}

const webmFiles = (folder) => readdirSync(folder).filter((name) => name.endsWith('.webm')).sort();

async function run(page, url, folder) {
  await page.goto(url);
  const cards = page.locator('#highlights > li');
  await cards.nth(SAMPLE_COUNT - 1).waitFor();
  await page.locator('#live[data-state="live"]').waitFor();
  const names = await page.locator('#highlights .name').allTextContents();
  const onDisk = webmFiles(folder).map((file) => file.slice(0, -'.webm'.length));
  check(names.length === SAMPLE_COUNT && [...names].sort().join() === onDisk.sort().join(),
    `lists the ${SAMPLE_COUNT} sample highlights (${names.join(', ')})`);
  check(await page.locator('#highlights video[preload="metadata"]').count() === SAMPLE_COUNT,
    'each highlight has a video');
  check(await page.locator('#folder').inputValue() === folder, 'shows the folder');
  check(await page.locator('#enabled').isChecked(), 'shows the feature enabled');

  // A rename through the page: the file moves and the list follows the
  // published event (the card's name changes while the page never reloads).
  const first = cards.first();
  const oldName = names[0];
  await page.evaluate(() => { window.notReloaded = true; });
  await first.getByRole('button', { name: 'Rename' }).click();
  await first.getByLabel('New name').fill('Renamed by the viewer');
  await first.getByLabel('New name').press('Enter');
  await page.locator('#highlights .name', { hasText: 'Renamed by the viewer' }).waitFor();
  check(existsSync(path.join(folder, 'Renamed by the viewer.webm')) &&
    !existsSync(path.join(folder, `${oldName}.webm`)), 'a rename renames the file on disk');
  check(await page.evaluate(() => window.notReloaded === true), 'the list updated without a reload');

  // A name with an invalid character is stopped before sending; one the
  // plugin refuses shows the plugin's own message.
  await first.getByRole('button', { name: 'Rename' }).click();
  await first.getByLabel('New name').fill('bad:name');
  await first.getByRole('button', { name: 'Save' }).click();
  const fieldError = first.locator('.field-error');
  check((await fieldError.textContent()).includes(':'), 'an invalid character shows the error');
  await first.getByLabel('New name').fill('x'.repeat(300));
  await first.getByRole('button', { name: 'Save' }).click();
  await fieldError.filter({ hasText: 'Name is too long' }).waitFor();
  check(true, "a name the plugin refuses shows the plugin's message");
  await first.getByLabel('New name').press('Escape');
  check(webmFiles(folder).length === SAMPLE_COUNT, 'refused names changed no file');

  // A delete, confirmed in the dialog, removes the file and the card.
  const victim = (await cards.nth(1).locator('.name').textContent());
  await cards.nth(1).getByRole('button', { name: 'Delete' }).click();
  await page.locator('#confirm-delete').getByRole('button', { name: 'Delete' }).click();
  await page.waitForFunction((count) => document.querySelectorAll('#highlights > li').length === count,
    SAMPLE_COUNT - 1);
  check(!existsSync(path.join(folder, `${victim}.webm`)) && webmFiles(folder).length === SAMPLE_COUNT - 1,
    `a confirmed delete removes "${victim}.webm"`);
  // The list empties from the resource event, which may come before the
  // DELETE's own answer that sets the status line: wait for that line.
  await page.locator('#status', { hasText: 'Deleted' }).waitFor({ timeout: 5000 }).catch(() => {});
  check((await page.locator('#status').textContent()).includes('Deleted'), 'the delete is announced');
  // The picture is taken here, while the videos' metadata is long loaded
  // (the sample frames do not decode: reloaded videos show a spinner).
  await page.waitForFunction(() => [...document.querySelectorAll('video')].every((v) => v.readyState >= 1),
    null, { timeout: 10000 }).catch(() => {});
  await page.screenshot({ path: screenshot, fullPage: true });
  console.log(`screenshot: ${screenshot}`);

  // With the keyboard alone: Tab reaches a card's Rename button, Enter opens
  // the form with the field focused, Escape closes it and gives focus back.
  await page.locator('#folder-default').focus();
  for (let i = 0; i < 10 && !(await page.evaluate(() => document.activeElement.matches('.act-rename'))); ++i) {
    await page.keyboard.press('Tab');
  }
  await page.keyboard.press('Enter');
  check(await page.evaluate(() => document.activeElement.name === 'name'), 'Enter on Rename focuses the name field');
  await page.keyboard.press('Escape');
  check(await page.evaluate(() => document.activeElement.matches('.act-rename')), 'Escape returns focus to Rename');

  // The switch turns the feature off through the configuration resource; the
  // published configuration disables the changing buttons, and back.
  await page.locator('#enabled').uncheck();
  await page.locator('#disabled-note:not([hidden])').waitFor();
  check(await page.locator('#rescan').isDisabled() && await cards.first().locator('.act-delete').isDisabled(),
    'disabling through the switch disables the changing buttons');
  await page.locator('#enabled').check();
  await page.locator('#disabled-note[hidden]').waitFor({ state: 'attached' });
  check(await page.locator('#rescan').isEnabled(), 'enabling again restores them');

  // Changing the folder through the page: the plugin scans the new, empty
  // folder and the list empties from the event; going back restores it.
  const empty = path.join(path.dirname(folder), 'empty-folder');
  mkdirSync(empty);
  await page.locator('#folder').fill(empty);
  await page.getByRole('button', { name: 'Change folder' }).click();
  await page.locator('#empty:not([hidden])').waitFor();
  check(await cards.count() === 0, 'a changed folder shows its (empty) list');
  await page.locator('#folder').fill(folder);
  await page.getByRole('button', { name: 'Change folder' }).click();
  await cards.nth(SAMPLE_COUNT - 2).waitFor();
  check(await cards.count() === SAMPLE_COUNT - 1, 'changing back lists the highlights again');

  // A narrow window: one column, nothing wider than the screen.
  await page.setViewportSize({ width: 360, height: 740 });
  check(await page.evaluate(() => document.documentElement.scrollWidth <= 360), 'no sideways scrolling at 360 px');
  await page.screenshot({ path: screenshot.replace(/\.png$/, '-narrow.png') });
  await page.setViewportSize({ width: 1100, height: 800 });
}

const root = mkdtempSync(path.join(tmpdir(), 'kyn-viewer-'));
const host = startHost(root);
let browser;
let failed = false;
try {
  const url = await host.url;
  const folder = path.join(root, 'data', 'kyn-host', 'demo-highlights');
  browser = await chromium.launch({ executablePath: CHROMIUM, args: CHROMIUM_ARGS });
  const page = await browser.newPage({ viewport: { width: 1100, height: 800 } });
  page.on('pageerror', (error) => { failed = true; console.error(`page error: ${error.message}`); });
  await run(page, url, folder);
  check(!failed, 'no script error on the page');
} catch (error) {
  failed = true;
  console.error(error.stack || error);
  console.error(`host log:\n${host.log()}`);
} finally {
  if (browser) await browser.close();
  host.child.kill('SIGTERM');
  rmSync(root, { recursive: true, force: true });
}
process.exit(failed ? 1 : 0);
