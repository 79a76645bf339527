#!/usr/bin/env node
// Timings of the layout editor page, for the README (not a test):
//
//   bench/editor-timing.mjs ZEPHRINIMPORT_BINARY
//
// Generates, in a temporary folder, comma-separated files of 100,000 and
// 1,000,000 lines and a DIF of 500 columns, starts `zephrinimport serve`, and
// for each file prints, as Chromium (headless, Debian's /usr/bin/chromium)
// shows the editor: open-to-usable (from loading the page until the first
// row is drawn), scroll-to-end (until the last row is drawn), click-to-place
// (from a click on a cell until its column shows the item's caption), the
// page's JavaScript heap after scrolling through 80,000 rows, and the
// server's resident memory before, during and after the editor's session.
// Each figure is the median of three runs.
import { createRequire } from 'node:module';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const require = createRequire(path.join(here, '../tests/web/package.json'));
const { chromium } = require('playwright-core');

const binary = path.resolve(process.argv[2] || 'build/zephrinimport');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zephrin-editor-timing-'));
const data = path.join(work, 'data');
const home = path.join(work, 'home');
fs.mkdirSync(data);
fs.mkdirSync(home);

function writeCsv(name, lines) {
  const fd = fs.openSync(path.join(data, name), 'w');
  let chunk = [];
  for (let i = 1; i <= lines; i++) {
    chunk.push(`${i},Account ${i},${(i * 37) % 100000}.${i % 100},${i % 97}`);
    if (chunk.length === 10000) { fs.writeSync(fd, chunk.join('\n') + '\n'); chunk = []; }
  }
  if (chunk.length) fs.writeSync(fd, chunk.join('\n') + '\n');
  fs.closeSync(fd);
}
function writeDif(name, cols, rows) {
  const out = ['TABLE', '0,1', '""', 'VECTORS', '0,' + cols, '""', 'TUPLES', '0,' + rows, '""', 'DATA', '0,0', '""'];
  for (let r = 1; r <= rows; r++) {
    out.push('-1,0', 'BOT');
    for (let c = 1; c <= cols; c++) out.push('0,' + (r * 1000 + c) + '.25', 'V');
  }
  out.push('-1,0', 'EOD');
  fs.writeFileSync(path.join(data, name), out.join('\n') + '\n');
}
writeCsv('lines-100k.csv', 100000);
writeCsv('lines-1m.csv', 1000000);
writeDif('wide-500.dif', 500, 2000);

const server = spawn(binary, ['serve'], { cwd: data, env: { ...process.env, ZEPHRINIMPORT_HOME: home }, stdio: ['ignore', 'pipe', 'inherit'] });
let out = '';
server.stdout.on('data', (d) => { out += d; });
for (let i = 0; i < 200 && !/token=[0-9a-f]+/.test(out); i++) await new Promise((r) => setTimeout(r, 25));
const url = new URL(out.match(/http:\/\/127\.0\.0\.1:[0-9]+\/\?token=[0-9a-f]+/)[0]);
const token = url.searchParams.get('token');
const post = (p, body) => fetch(url.origin + p, { method: 'POST', headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token }, body: JSON.stringify(body) }).then((r) => r.json());
const rssMB = () => {
  const m = fs.readFileSync(`/proc/${server.pid}/status`, 'utf8').match(/VmRSS:\s+(\d+)/);
  return Math.round(Number(m[1]) / 1024);
};

const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox', '--disable-gpu', '--enable-precise-memory-info'] });
const median = (xs) => xs.slice().sort((a, b) => a - b)[Math.floor(xs.length / 2)];

async function measure(file) {
  const rssBefore = rssMB();
  const reply = post('/rpc', { jsonrpc: '2.0', id: 1, method: 'EditLayout', params: ['', 0, 'FCOA', path.join(data, file)] });
  for (let i = 0; i < 600; i++) { if ((await post('/editor', { action: 'state' })).editor) break; await new Promise((r) => setTimeout(r, 50)); }
  const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
  const t0 = Date.now();
  await page.goto(url.origin + '/editor.html?token=' + token);
  await page.locator('.cell[data-r="1"][data-c="1"]:not(.loading)').waitFor({ timeout: 60000 });
  const open = Date.now() - t0;
  const rssDuring = rssMB();

  const grid = page.locator('#grid');
  const rows = await grid.evaluate(() => 0) || null;
  const t1 = Date.now();
  await grid.evaluate((g) => { g.scrollTop = g.scrollHeight; });
  const lastRow = await page.evaluate(() => Number([...document.querySelectorAll('.cell.rownum')].pop().textContent));
  await page.locator(`.cell.rownum:text-is("${lastRow}")`).waitFor();
  await page.locator(`.cell[data-r="${lastRow}"][data-c="1"]:not(.loading)`).waitFor({ timeout: 60000 });
  const end = Date.now() - t1;

  await page.locator('.item', { hasText: 'Account Caption' }).first().click();
  await page.locator('.item.drawn-selected', { hasText: 'Account Caption' }).waitFor();
  await grid.evaluate((g) => { g.scrollTop = 0; });
  await page.locator('.cell[data-r="3"][data-c="2"]').waitFor();
  const t2 = Date.now();
  await page.locator('.cell[data-r="3"][data-c="2"]').click();
  await page.locator('.cell.header[data-c="2"]', { hasText: 'Account Caption' }).waitFor();
  const place = Date.now() - t2;

  // Scroll through 80,000 rows (or the whole file), a screen at a time.
  const heapBefore = await page.evaluate(() => performance.memory.usedJSHeapSize);
  await page.evaluate(async () => {
    const g = document.getElementById('grid');
    const step = g.clientHeight;
    for (let y = 0, n = 0; n < 80000 / (step / 20) && y < g.scrollHeight; y += step, n++) {
      g.dispatchEvent(new WheelEvent('wheel', { deltaY: step, bubbles: true, cancelable: true }));
      g.scrollTop = g.scrollTop;  // a plain scroll for the views that are not scaled
      if (g.scrollHeight <= 2000000) g.scrollTop = y;
      await new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
    }
  });
  await new Promise((r) => setTimeout(r, 500));
  const cdp = await page.context().newCDPSession(page);
  await cdp.send('HeapProfiler.collectGarbage');
  const heapAfter = await page.evaluate(() => performance.memory.usedJSHeapSize);

  // Cancel with a placed item asks first: close without saving.
  await page.locator('#cancel').click();
  await page.locator('dialog.confirm-box button.default').click();
  await reply;
  await page.close();
  await new Promise((r) => setTimeout(r, 300));
  const rssAfter = rssMB();
  return { open, end, place, heap: Math.round((heapAfter - heapBefore) / 1048576 * 10) / 10, rssBefore, rssDuring, rssAfter, rows };
}

console.log('file               open-to-usable  scroll-to-end  click-to-place  heap after 80,000 rows  server RSS before/open/after');
for (const [file, label] of [['lines-100k.csv', '100,000 lines'], ['lines-1m.csv', '1,000,000 lines'], ['wide-500.dif', '500-column DIF']]) {
  const runs = [];
  for (let i = 0; i < 3; i++) runs.push(await measure(file));
  const m = (k) => median(runs.map((r) => r[k]));
  console.log(`${label.padEnd(18)} ${String(m('open')).padStart(8)} ms ${String(m('end')).padStart(10)} ms ${String(m('place')).padStart(11)} ms ` +
    `${String(m('heap')).padStart(15)} MB ${String(runs[0].rssBefore).padStart(14)}/${m('rssDuring')}/${m('rssAfter')} MB`);
}
await browser.close();
server.kill('SIGTERM');
await new Promise((r) => server.on('exit', r));
fs.rmSync(work, { recursive: true, force: true });
