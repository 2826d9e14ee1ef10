// What the viewer's browser tests share: the browser, a real kyn-host in
// private HOME and XDG directories (it writes its demo folder there and
// touches no user's settings), checks that print as they pass, and the
// accessibility scan.
import { spawn } from 'node:child_process';
import { existsSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

export const CHROMIUM = '/usr/bin/chromium';
// Without these Chromium keeps trying to reach the network this machine
// does not have.
export const CHROMIUM_ARGS = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
  '--disable-background-networking', '--disable-component-update', '--disable-sync', '--no-first-run'];

// playwright-core, or the exit code 77 (CTest's "skipped") when the browser
// or its driver is missing; `make test` installs both first.
export async function browserDriver() {
  const driver = await import('playwright-core').catch(() => null);
  if (!driver || !existsSync(CHROMIUM)) {
    console.log(`skipped: ${driver ? `${CHROMIUM} is missing` : 'playwright-core is not installed (npm ci)'}`);
    process.exit(77);
  }
  return driver.chromium;
}

export function check(condition, text) {
  if (!condition) throw new Error(`check failed: ${text}`);
  console.log(`ok - ${text}`);
}

export function hostEnvironment(root) {
  return { ...process.env, HOME: path.join(root, 'home'), XDG_CONFIG_HOME: path.join(root, 'config'),
    XDG_DATA_HOME: path.join(root, 'data') };
}

// Starts the host (on a free port unless one is given); `url` resolves once
// it prints the line that names it.
export function startHost(executable, root, args = [], port = 0) {
  const child = spawn(executable, ['--port', String(port), ...args], { env: hostEnvironment(root), stdio: ['ignore', 'pipe', 'pipe'] });
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
    setTimeout(() => reject(new Error(`kyn-host printed no URL:\n${log}`)), 20000);
  });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  const stop = () => {
    if (child.exitCode === null && child.signalCode === null) child.kill('SIGTERM');
    return exited;
  };
  return { child, url, exited, log: () => log, stop };
}

const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

// Runs axe-core on the page as it is; returns the critical and serious
// violations, each as "rule: target, ...", and prints the counts.
export async function accessibilityProblems(page, label) {
  // Evaluated through the browser's debugging protocol rather than added as
  // a script element, which the viewer's Content-Security-Policy refuses.
  if (!(await page.evaluate(() => Boolean(window.axe)))) await page.evaluate(axeSource);
  const result = await page.evaluate(async () => {
    const { violations, passes } = await window.axe.run(document, { resultTypes: ['violations'] });
    return { passes: passes.length, violations: violations.map((v) => ({ id: v.id, impact: v.impact, targets: v.nodes.map((n) => n.target.join(' ')) })) };
  });
  const severe = result.violations.filter((v) => v.impact === 'critical' || v.impact === 'serious');
  const others = result.violations.filter((v) => !severe.includes(v));
  console.log(`axe (${label}): ${severe.length} critical or serious, ${others.length} minor or moderate`
    + `${others.length ? ` (${others.map((v) => `${v.id}: ${v.impact}`).join(', ')})` : ''}`);
  return severe.map((v) => `${v.id} (${v.impact}): ${v.targets.slice(0, 3).join(', ')}`);
}
