// Browser tests of the import page and the layout editor. Run by tests/web/run.
// Every test gets a server of its own (`zephrinimport serve`), started in a
// fresh data folder with a fresh ZEPHRINIMPORT_HOME, and a fresh browser
// context; none depends on another.
import { chromium } from 'playwright-core';
import { spawn } from 'node:child_process';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const binary = process.env.ZEPHRIN_BINARY;
const shots = process.env.ZEPHRIN_SHOTS || '';
const only = process.env.ZEPHRIN_ONLY || '';

// The server of the running test: its address, token, folders and store.
let url, token, origin, home, data, ini;

// ---- Data files -------------------------------------------------------------------

const files = {
  'tb.csv': 'Number,Caption,TRC,TCC\n1000,Cash,10,100\n1100,Receivables,10,110\n2000,Payables,20,200\n' +
            '3000,Equity,30,300\n4000,Sales,40,400\n',
  'blank.csv': 'a,b\n' + '\n'.repeat(30) + 'c,d\n',
  'je.prn': 'A JE001 Year-end accrual\n\n  1000      500.00\n  2000     -500.00\n\n',
};
// Larger files, written for the tests that ask for them.
const largeFiles = {
  'million.csv': () => {
    const rows = [];
    for (let i = 1; i <= 1000000; i++) rows.push(`${i},Account ${i},${i % 97}`);
    return rows.join('\n') + '\n';
  },
  'big.csv': () => {
    const rows = ['Number,Caption,TRC,TCC'];
    for (let i = 1; i <= 100000; i++) rows.push(`${i},Account ${i},10,100`);
    return rows.join('\n') + '\n';
  },
  'wide.dif': () => {
    const cols = 500, rows = 60;
    const out = ['TABLE', '0,1', '""', 'VECTORS', '0,' + cols, '""', 'TUPLES', '0,' + rows, '""', 'DATA', '0,0', '""'];
    for (let r = 1; r <= rows; r++) {
      out.push('-1,0', 'BOT');
      for (let c = 1; c <= cols; c++) out.push('1,0', `"r${r}c${c}"`);
    }
    out.push('-1,0', 'EOD');
    return out.join('\n') + '\n';
  },
};

// The store the editor test 'a new template on a CSV file' leaves, for the
// tests that start from it.
const GL_BOOK = (dataDir) => '[Import:GL Book]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\n' +
  'Account_Caption=1 2 0\nAccount_Balance=0 0 0\nTRC=2 2 0\nTCC=3 2 0\nAccount_Type=0 0 0\nSIC_Code=0 0 0\n' +
  'Activity_Number=0 0 0\nActivity_Name=0 0 0\nHeaders=NUMBER|CAPTION|TRC|TCC\n[Import:Layout]\n1=GL BOOK\n[Import:FileName]\n1=' +
  path.join(dataDir, 'tb.csv').toUpperCase() + '^GL BOOK\n';

const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
// Polls `probe` every 100 ms until it gives a value other than undefined; that value.
async function until(probe, limitMs, what) {
  for (const started = Date.now(); ; await sleep(100)) {
    const v = await probe();
    if (v !== undefined) return v;
    if (Date.now() - started > limitMs) throw new Error(what + ' after ' + limitMs + ' ms');
  }
}

// Runs the binary in `cwd` with ZEPHRINIMPORT_HOME at `home`; its output is gathered
// in `out` and `err`, `exited` resolves to its exit code.
function launch(args, { cwd, home, stdin = 'ignore' }) {
  const p = { home, out: '', err: '' };
  const env = { ...process.env, ZEPHRINIMPORT_HOME: home };
  p.child = spawn(binary, args, { cwd, env, stdio: [stdin, 'pipe', 'pipe'] });
  p.child.stdout.on('data', (d) => { p.out += d; });
  p.child.stderr.on('data', (d) => { p.err += d; });
  p.exited = new Promise((resolve) => p.child.on('exit', resolve));
  return p;
}

// Runs the binary with a fresh ZEPHRINIMPORT_HOME; `stop` ends it and removes the home.
function runTool(args, stdin) {
  const t = launch(args, { home: fs.mkdtempSync(path.join(os.tmpdir(), 'zephrin-tool-')), stdin });
  // The address of the page it opens, once it has printed it.
  t.address = () => until(() => (t.err.match(/http:\S+/) || [])[0], 10000, 'no page address');
  t.stop = () => {
    if (t.child.exitCode === null) t.child.kill('SIGTERM');
    fs.rmSync(t.home, { recursive: true, force: true });
  };
  return t;
}

// Starts `zephrinimport serve` in a fresh folder; resolves to the server.
async function startServer() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zephrin-web-'));
  const [home, data] = [path.join(dir, 'home'), path.join(dir, 'data')];
  for (const d of [home, data]) fs.mkdirSync(d);
  const s = Object.assign(launch(['serve'], { cwd: data, home }), { dir, data });
  for (let i = 0; i < 200 && !/token=[0-9a-f]+/.test(s.out) && s.child.exitCode === null; i++) await new Promise((r) => setTimeout(r, 25));
  const m = s.out.match(/http:\/\/127\.0\.0\.1:[0-9]+\/\?token=[0-9a-f]+/);
  if (!m) throw new Error('the server did not start: ' + s.err);
  s.url = new URL(m[0]);
  return s;
}

async function stopServer(s) {
  if (s.child.exitCode === null) {
    s.child.kill('SIGTERM');
    const timer = setTimeout(() => s.child.kill('SIGKILL'), 5000);
    await s.exited;
    clearTimeout(timer);
  }
  fs.rmSync(s.dir, { recursive: true, force: true });
}

// ---- Helpers ------------------------------------------------------------------------

// Posts `body` as JSON, with the token, to the server of the running test; its answer.
const post = (where, body) => fetch(origin + where, { method: 'POST', body: JSON.stringify(body),
  headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token } }).then((r) => r.json());
const editorRequest = (body) => post('/editor', body);
const rpcCall = (method, params) => post('/rpc', { jsonrpc: '2.0', id: 1, method, params });

async function importPage(context) {
  const page = await context.newPage();
  await page.goto(url.href);
  await page.locator('#import-type option').first().waitFor({ state: 'attached' });
  return page;
}

// The import page, and the editor opened from it.
async function pageAndEditor(context, options) {
  const page = await importPage(context);
  return { page, frame: await openEditor(page, options) };
}

// Opens the editor from the import page; returns its frame.
async function openEditor(page, { file, type, template = '', intlKind }) {
  await page.fill('#data-file', path.join(data, file));
  await page.selectOption('#import-type', type);
  if (intlKind !== undefined) await page.selectOption('#intl-kind', String(intlKind));
  if (template) {
    await page.selectOption('#template', template);
    await page.click('#edit-template');
  } else {
    await page.click('#new-template');
  }
  return editorFrame(page);
}
// The frame of the editor the import page shows, once its dialog is shown.
async function editorFrame(page) {
  const frame = page.frameLocator('iframe[title="Layout editor"]');
  await frame.locator('#dialog').waitFor({ state: 'visible' });
  return frame;
}

function item(frame, caption) {
  return frame.locator('.item').filter({ has: frame.locator('.caption', { hasText: new RegExp('^' + caption + '$') }) });
}
function cell(frame, r, c) { return frame.locator(`.cell[data-r="${r}"][data-c="${c}"]`); }

async function place(frame, caption, r, c) {
  await item(frame, caption).click();
  await cell(frame, r, c).click();
  await frame.locator('.cell.header', { hasText: caption }).first().waitFor();
}

async function editorClosed(page) {
  await page.locator('.editor-overlay').waitFor({ state: 'detached', timeout: 10000 });
}
// Cancel; with unsaved positions it asks first, and the answer is to close without saving.
async function cancel(page, frame) {
  await frame.locator('#cancel').click();
  const ask = frame.locator('dialog.confirm-box');
  await until(async () => {
    if (!await page.locator('.editor-overlay').count()) return true;
    if (await ask.count()) await ask.locator('button.default').click().catch(() => {});
    return undefined;
  }, 10000, 'the editor is still open');
}
async function save(page, frame) {
  await frame.locator('#ok').click();
  await editorClosed(page);
}
// The column and length numbers an item shows.
const numbers = async (frame, caption) => [await item(frame, caption).locator('.col-num').textContent(),
  await item(frame, caption).locator('.len-num').textContent()];
// The text of the message box the editor shows, once it is shown; OK closes it.
async function message(frame) {
  const box = frame.locator('dialog.message-box');
  await box.waitFor();
  const text = await box.locator('.message-text').textContent();
  await box.locator('button', { hasText: 'OK' }).click();
  return text;
}
// The section [Import:NAME] of the store text, with its closing line break.
function section(store, name) {
  const start = store.indexOf('[Import:' + name + ']');
  const end = store.indexOf('\n[', start);
  return store.slice(start, end < 0 ? store.length : end + 1);
}

// Drags across characters of the text preview.
async function selectText(page, frame, line, from, to) {
  const canvas = frame.locator('.text-canvas');
  const box = await canvas.boundingBox();
  const cw = await frame.locator('#text').evaluate((e) => {
    const c = document.createElement('canvas').getContext('2d');
    c.font = getComputedStyle(e).font;
    return c.measureText('0000000000').width / 10;
  });
  const y = box.y + 4 + line * 18 + 9;
  await page.mouse.move(box.x + 4 + from * cw + 1, y);
  await page.mouse.down();
  await page.mouse.move(box.x + 4 + (from + to) / 2 * cw, y);
  await page.mouse.move(box.x + 4 + to * cw + 1, y);
  await page.mouse.up();
}

// ---- Tests ---------------------------------------------------------------------------

const tests = [];
// options: files (names of largeFiles to write), store (import.ini text, from the data folder's path)
const test = (name, fn, options = {}) => tests.push({ name, fn, options });

test('a request without the token, from another origin, too large or for another host is refused', async () => {
  const plain = await fetch(origin + '/');
  assert.equal(plain.status, 403);
  assert.match(await plain.text(), /token/);
  const wrong = await fetch(origin + '/?token=' + '0'.repeat(32));
  assert.equal(wrong.status, 403);
  const rpc = (headers, body) => fetch(origin + '/rpc', { method: 'POST', headers, body });
  const call = JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'GetTemplateInfo' });
  const json = { 'Content-Type': 'application/json', 'X-Zephrin-Token': token };
  assert.equal((await rpc({ 'Content-Type': 'application/json' }, call)).status, 403);
  assert.equal((await rpc({ ...json, 'Content-Type': 'text/plain' }, call)).status, 415);
  assert.equal((await rpc({ ...json, Origin: 'http://evil.example' }, call)).status, 403);
  // A body of 100 MB is refused without harm.
  assert.equal((await rpc(json, Buffer.alloc(100 * 1024 * 1024, 0x20))).status, 413);
  const ok = await rpc(json, call);
  assert.equal(ok.status, 200);
  assert.match((await ok.json()).result.value, /^<INFO>/);
  // A Host header naming another server is refused (no DNS rebinding).
  const status = await new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: url.port, path: '/?token=' + token, headers: { Host: 'rebind.example:' + url.port } },
      (res) => { res.resume(); resolve(res.statusCode); });
    req.on('error', reject);
    req.end();
  });
  assert.equal(status, 403);
});

test('a new template on a CSV file', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await assert.doesNotReject(frame.locator('#title', { hasText: 'Import Template - Federal Chart of Accounts' }).waitFor());
  assert.equal(await frame.locator('#numbers-heading').textContent(), 'Column   Start Row');
  assert.equal(await frame.locator('#len-label').textContent(), 'Start Row');
  assert.equal(await frame.locator('#source-file').textContent(), path.join(data, 'tb.csv'));
  assert.equal(await frame.locator('#reset').getAttribute('accesskey'), 'r');
  assert.equal(await frame.locator('#kinds').isHidden(), true);
  // OK stays disabled until a name is typed.
  assert.equal(await frame.locator('#ok').isDisabled(), true);
  await frame.locator('#name').fill('GL Book');
  await frame.locator('#ok:not([disabled])').waitFor();

  await item(frame, 'Account Number').click();
  await cell(frame, 2, 1).click();
  await frame.locator('.cell.header[data-c="1"]', { hasText: 'Account Number' }).waitFor();
  assert.equal(await frame.locator('#col-box').inputValue(), '1');
  assert.equal(await frame.locator('#len-box').inputValue(), '2');
  assert.deepEqual(await numbers(frame, 'Account Number'), ['1', '2']);

  await place(frame, 'Account Caption', 2, 2);
  await place(frame, 'TRC', 2, 3);
  await place(frame, 'TCC', 2, 4);
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-csv.png') });
  await save(page, frame);
  await page.locator('#template option', { hasText: 'GL BOOK' }).waitFor({ state: 'attached' });
  assert.equal(fs.readFileSync(ini, 'latin1'), GL_BOOK(data));
});

test('an import from the import page shows its records', async ({ context }) => {
  const page = await importPage(context);
  await importWith(page, 'tb.csv', 'GL BOOK', 'FCOA');
  assert.equal(await page.locator('#records tbody tr').count(), 5);
  // The headings are the items' captions, the element names their tooltips.
  assert.deepEqual(await page.locator('#records th').allTextContents(), ['@Line', 'Account Number', 'Account Caption', 'TRC', 'TCC']);
  assert.deepEqual(await page.locator('#records th').evaluateAll((ths) => ths.map((t) => t.title)),
    ['@Line: the line number the host receives (for most imports the data file\'s line counted from 0; the review counts lines from 1)',
      'Account_Number', 'Account_Caption', 'TRC', 'TCC']);
  const first = await page.locator('#records tbody tr').first().locator('td').allTextContents();
  assert.ok(first.includes('1000') && first.includes('Cash'), first.join(','));
  assert.match(await page.locator('#xml').textContent(), /<FCOA/);
  assert.equal(await page.locator('#result-error').isHidden(), true);
  assert.match(await page.locator('#summary').textContent(), /^5 records in FCOA/);
  if (shots) await page.screenshot({ path: path.join(shots, 'import-page.png'), fullPage: true });
}, { store: GL_BOOK });

test('a large import shows its first records and the start of its text; an import a later one overtook is dropped', async ({ context }) => {
  const page = await importPage(context);
  await importWith(page, 'big.csv', 'GL BOOK', 'FCOA');
  assert.match(await page.locator('#summary').textContent(), /^100000 records in FCOA \(COAS\) from file .*big\.csv.* The table shows the first 1000\.$/);
  assert.equal(await page.locator('#records tbody tr').count(), 1000);
  assert.match(await page.locator('#xml').textContent(), /\n\n… the first 1\.0 MB of 1[0-9]\.[0-9] MB of text are shown\.$/);
  if (shots) await page.screenshot({ path: path.join(shots, 'import-large.png') });
  // The next read of big.csv is held back until tb.csv was read after it.
  let release, held = true, answered = false;
  const waiting = new Promise((resolve) => { release = resolve; });
  await page.route('**/rpc**', async (route) => {
    if (!held || !(route.request().postData() || '').includes('"ReadImportFile"')) return route.continue();
    held = false;
    const response = await route.fetch();
    await waiting;
    await route.fulfill({ response });
    answered = true;
  });
  await page.click('#import');
  await until(() => (held ? undefined : true), 5000, 'the held read was not asked for');
  await importWith(page, 'tb.csv', 'GL BOOK', 'FCOA');
  release();
  await until(() => (answered ? true : undefined), 10000, 'the held read was not answered');
  await sleep(1000);
  assert.match(await page.locator('#summary').textContent(), /^5 records in FCOA \(COAS\) from file .*tb\.csv/);
  assert.equal(await page.locator('#records tbody tr').count(), 5);
}, { store: GL_BOOK, files: ['big.csv'] });

test('a server that has stopped is told as such, not in the browser\'s words', async ({ context, server }) => {
  const unreachable = 'The server cannot be reached: it may have stopped. Start zephrinimport serve again and open the address it prints.';
  const page = await importPage(context);
  await page.fill('#data-file', path.join(data, 'tb.csv'));
  await page.locator('#data-file').dispatchEvent('change');
  await page.selectOption('#template', 'GL BOOK');
  await page.locator('#suggestions input').first().waitFor();
  server.child.kill('SIGTERM');
  await server.exited;
  await page.click('#import');
  assert.equal(await message(page), unreachable);
  await page.locator('#manager-note', { hasText: unreachable }).waitFor();
}, { store: GL_BOOK });

test('in an 800 by 600 window the editor scrolls sideways to its right edge', async ({ context }) => {
  const page = await importPage(context);
  await page.setViewportSize({ width: 800, height: 600 });
  const frame = await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
  const right = async () => (await frame.locator('#cancel').boundingBox()).x + (await frame.locator('#cancel').boundingBox()).width;
  const edge = (await page.locator('iframe[title="Layout editor"]').boundingBox());
  assert.ok(await right() > edge.x + edge.width, 'Cancel is not cut off at first; nothing to test');
  await page.mouse.move(edge.x + 300, edge.y + 200);
  await page.mouse.wheel(1000, 0);
  await until(async () => (await right() <= edge.x + edge.width ? true : undefined), 5000, 'Cancel stays out of view');
  if (shots) await page.screenshot({ path: path.join(shots, 'editor-800x600.png') });
  await cancel(page, frame);
}, { store: GL_BOOK });

test('Enter right after a name pasted in one go saves the template', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  for (const [caption, c] of [['Account Number', 1], ['Account Caption', 2], ['TRC', 3], ['TCC', 4]]) await place(frame, caption, 2, c);
  // The answer to the name comes late, so that Enter comes before it.
  await page.route('**/editor*', async (route) => {
    if ((route.request().postData() || '').includes('"action":"name"')) await sleep(500);
    await route.continue();
  });
  await frame.locator('#name').fill('Pasted');
  await frame.locator('#name').press('Enter');
  await editorClosed(page);
  assert.match(fs.readFileSync(ini, 'latin1'), /\[Import:Pasted\]\nInfo=COA\n/);
});

test('editing an existing template: the name is read-only and placed items show their numbers', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA', template: 'GL BOOK' });
  assert.equal(await frame.locator('#name').inputValue(), 'GL BOOK');
  assert.equal(await frame.locator('#name').getAttribute('readonly'), '');
  assert.equal(await frame.locator('#ok').isDisabled(), false);
  assert.deepEqual(await numbers(frame, 'Account Number'), ['1', '2']);
  assert.deepEqual(await numbers(frame, 'TCC'), ['4', '2']);
  assert.deepEqual(await numbers(frame, 'Account Balance'), ['0', '0']);
  await frame.locator('.cell.header[data-c="3"]', { hasText: /^TRC$/ }).waitFor();
  await cancel(page, frame);
}, { store: GL_BOOK });

test('an unavailable item is drawn grey and never drawn selected', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  const company = item(frame, 'Company Number');
  assert.equal(await company.getAttribute('data-available'), 'no');
  assert.equal(await company.evaluate((e) => e.classList.contains('unavailable')), true);
  assert.equal(await company.evaluate((e) => getComputedStyle(e).color), 'rgb(138, 138, 138)');
  await company.click();
  await frame.locator('.item[aria-selected="true"] .caption', { hasText: 'Company Number' }).waitFor();
  assert.equal(await company.evaluate((e) => e.classList.contains('drawn-selected')), false);
  assert.equal(await company.evaluate((e) => getComputedStyle(e).backgroundColor), 'rgba(0, 0, 0, 0)');
  // A click on the grid places nothing.
  await cell(frame, 3, 2).click();
  assert.equal(await frame.locator('.cell.header[data-c="2"]').textContent(), 'B');
  assert.equal(await company.locator('.len-num').textContent(), '0');
  await cancel(page, frame);
});

test('a file with 25 blank lines in a row shows the message', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'blank.csv', type: 'FCOA' });
  const box = frame.locator('dialog.message-box');
  await box.locator('.titlebar', { hasText: /^Import$/ }).waitFor();
  assert.equal(await message(frame),
    'This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded blank lines before import.');
  await box.waitFor({ state: 'detached' });
  await frame.locator('.cell.rownum', { hasText: /^26$/ }).waitFor();
  assert.equal(await frame.locator('.cell.rownum', { hasText: /^26$/ }).count(), 1);
  await cancel(page, frame);
});

test('a fixed-width journal-entry template by text selection', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'je.prn', type: 'FBJ' });
  assert.equal(await frame.locator('#numbers-heading').textContent(), 'Column   Length');
  assert.equal(await frame.locator('#len-label').textContent(), 'Length');
  await frame.locator('.text-line').first().waitFor();
  await frame.locator('#name').fill('JE Book');
  const pick = async (caption, line, from, to, col, len) => {
    await item(frame, caption).click();
    await frame.locator('.item.drawn-selected .caption', { hasText: new RegExp('^' + caption + '$') }).waitFor();
    await selectText(page, frame, line, from, to);
    await item(frame, caption).locator('.len-num', { hasText: new RegExp('^' + len + '$') }).waitFor();
    assert.equal(await item(frame, caption).locator('.col-num').textContent(), String(col));
  };
  await pick('JE Type', 0, 0, 1, 1, 1);
  await pick('JE Number', 0, 2, 7, 3, 5);
  await pick('JE Caption', 0, 8, 24, 9, 16);
  await pick('Account Number', 2, 2, 6, 3, 4);
  assert.equal(await frame.locator('#col-box').inputValue(), '3');
  assert.equal(await frame.locator('#len-box').inputValue(), '4');
  // The current item's characters are shown selected (drawn on the next frame).
  await frame.locator('.text-sel').first().waitFor();
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-fixed-width.png') });
  await save(page, frame);
  const jeBook = section(fs.readFileSync(ini, 'latin1'), 'JE Book');
  assert.match(jeBook, /^\[Import:JE Book\]\nInfo=JE\nFsiType=FEDERAL\nCompany_Number=0 0 0\nJE_Type=0 1 0\nJE_Number=2 5 0\nJE_Caption=8 16 0\n/);
  assert.match(jeBook, /\nAccount_Number=2 4 224\n/);
});

// Runs `zephrinimport edit` on a small rates file and hands its editor page
// to `body`; the tool is stopped afterwards, whatever happened.
async function withEditTool(context, body) {
  const file = path.join(data, 'rates.csv');
  fs.writeFileSync(file, 'CA,8.84\nNY,6.5\n');
  const tool = runTool(['edit', file, '--type', 'TAXRATE']);
  try {
    const page = await context.newPage();
    await page.goto(await tool.address());
    await page.locator('#dialog').waitFor({ state: 'visible' });
    await body(tool, page);
  } finally {
    tool.stop();
  }
}

test('zephrinimport edit opens the editor page alone and prints the saved name', async ({ context }) => {
  await withEditTool(context, async (tool, page) => {
    assert.equal(await page.title(), 'Import Template - Tax Rates');
    await page.fill('#name', 'Rates');
    await place(page, 'Jurisdiction', 1, 1);
    await page.click('#ok');
    await page.locator('#closed').waitFor({ state: 'visible' });
    assert.equal(await tool.exited, 0);
    assert.equal(tool.out, 'Rates\n');
    assert.match(fs.readFileSync(path.join(tool.home, 'import.ini'), 'latin1'), /^\[Import:Rates\]\nInfo=TAXRATE\n/);
  });
});

test('zephrinimport edit cancelled on a new template prints nothing and exits 1', async ({ context }) => {
  await withEditTool(context, async (tool, page) => {
    await page.click('#cancel');
    assert.equal(await tool.exited, 1);
    assert.equal(tool.out, '');
    assert.equal(fs.existsSync(path.join(tool.home, 'import.ini')), false);
  });
});


// ---- Editor sessions that cannot be lost -----------------------------------------------

// Waits until the server holds no editor; returns the milliseconds it took.
async function editorGone(limitMs) {
  const started = Date.now();
  await until(async () => ((await editorRequest({ action: 'state' })).editor ? undefined : true), limitMs, 'the editor is still open');
  return Date.now() - started;
}
const editorOpen = () => until(async () => (await editorRequest({ action: 'state' })).editor || undefined, 10000, 'no editor opened');

async function importWith(page, file, template, type) {
  await page.fill('#data-file', path.join(data, file));
  await page.locator('#data-file').dispatchEvent('change');
  await page.selectOption('#template', template);
  if (type) await page.selectOption('#import-type', type);
  await page.click('#import');
  await page.locator('#summary', { hasText: 'from file ' + path.join(data, file) + ', template ' + template }).waitFor();
}

test('reloading the import page with the editor open leaves a server that answers the next import', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await frame.locator('#name').fill('Never saved');
  await page.reload();
  await page.locator('#template option', { hasText: 'GL BOOK' }).waitFor({ state: 'attached' });
  assert.ok(await editorGone(10000) < 10000);
  await importWith(page, 'tb.csv', 'GL BOOK', 'FCOA');
  assert.equal(await page.locator('#records tbody tr').count(), 5);
  assert.doesNotMatch(fs.readFileSync(ini, 'latin1'), /NEVER SAVED/i);
}, { store: GL_BOOK });

test('closing the tab with the editor open frees the server within 10 seconds', async ({ context }) => {
  const page = await importPage(context);
  await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
  await page.close();
  assert.ok(await editorGone(10000) <= 10000);
  const next = await importPage(context);
  await next.locator('#template option', { hasText: 'GL BOOK' }).waitFor({ state: 'attached' });
  await importWith(next, 'tb.csv', 'GL BOOK', 'FCOA');
  assert.match(await next.locator('#summary').textContent(), /^5 records in FCOA/);
}, { store: GL_BOOK });

test('an EditLayout whose caller goes away before a page took it over ends as Cancel', async () => {
  const body = JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'EditLayout', params: ['', 0, 'FCOA', path.join(data, 'tb.csv')] });
  const req = http.request({ host: '127.0.0.1', port: url.port, path: '/rpc', method: 'POST',
    headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token, 'Content-Length': Buffer.byteLength(body) } });
  req.on('error', () => {});
  req.end(body);
  await editorOpen();
  req.destroy();
  assert.ok(await editorGone(10000) <= 10000);
  const r = await rpcCall('GetTemplateInfo', []);
  assert.match(r.result.value, /^<INFO>/);
});

test('a reloaded import page offers to return to an editor that is still open', async ({ context }) => {
  // An editor a host asked for, shown in a page of its own.
  const reply = rpcCall('EditLayout', ['', 0, 'FCOA', path.join(data, 'tb.csv')]);
  await editorOpen();
  const other = await context.newPage();
  await other.goto(origin + '/editor.html?token=' + token);
  await other.locator('#dialog').waitFor({ state: 'visible' });
  const page = await importPage(context);
  await page.locator('#editor-open').waitFor({ state: 'visible' });
  assert.match(await page.locator('#editor-open-text').textContent(),
    /^A layout editor is still open: Import Template - Federal Chart of Accounts \(.*tb\.csv\)\.$/);
  await page.click('#return-to-editor');
  const frame = await editorFrame(page);
  // The page that had it says where it went, and does not take it back:
  // the editor stays here through several of that page's polls.
  const moved = other.locator('#closed', { hasText: 'The layout editor is now shown in another page.' });
  await moved.waitFor({ state: 'visible' });
  for (let i = 0; i < 15; i++) {
    await sleep(200);
    assert.ok(await moved.isVisible() && !await other.locator('#dialog').isVisible(), 'the other page took the editor back');
    assert.ok(await frame.locator('#dialog').isVisible(), 'the editor left the import page');
  }
  await cancel(page, frame);
  assert.equal((await reply).result.value, '');
  await page.locator('#status', { hasText: 'The editor was cancelled.' }).waitFor();
});

test('EditLayout under call ends as Cancel when its page goes away', async ({ context }) => {
  const tool = runTool(['call'], 'pipe');
  try {
    tool.child.stdin.write(JSON.stringify({ jsonrpc: '2.0', id: 5, method: 'EditLayout', params: ['', 0, 'FCOA', path.join(data, 'tb.csv')] }) + '\n');
    const page = await context.newPage();
    await page.goto(await tool.address());
    await page.locator('#dialog').waitFor({ state: 'visible' });
    await page.close();
    const reply = JSON.parse(await until(() => (tool.out.includes('\n') ? tool.out.split('\n')[0] : undefined), 15000, 'no reply'));
    assert.equal(reply.id, 5);
    assert.equal(reply.result.value, '');
  } finally {
    tool.child.stdin.end();
    tool.stop();
  }
});

// ---- The import page says what it does ------------------------------------------------

const TWO_CHARTS = (dataDir) => GL_BOOK(dataDir).replace('[Import:Layout]\n1=GL BOOK\n',
  '[Import:COA SIX]\nInfo=COA\nAccount_Number=0 3 0\nAccount_Caption=1 3 0\n' +
  '[Import:JE BOOK]\nInfo=JE\nJE_Type=0 1 0\nJE_Number=2 5 0\nJE_Caption=8 16 0\nAccount_Number=2 4 224\nAccount_Balance=10 8 224\n' +
  '[Import:Layout]\n1=GL BOOK\n2=COA SIX\n3=JE BOOK\n');

test('the chosen template runs; a different remembered one is asked about before the import', async ({ context }) => {
  const page = await importPage(context);
  await page.selectOption('#template', 'COA SIX');
  await page.fill('#data-file', path.join(data, 'tb.csv'));
  await page.locator('#data-file').dispatchEvent('change');
  // The choice stays; the file's remembered template is named beside it.
  assert.equal(await page.inputValue('#template'), 'COA SIX');
  assert.equal(await page.locator('#remembered').textContent(), 'This file was last imported with template GL BOOK.');
  await page.click('#import');
  const ask = page.locator('dialog.choose-box');
  await ask.waitFor();
  assert.equal(await ask.locator('.message-text').textContent(),
    'This data file was last imported with template GL BOOK. You chose template COA SIX. Which template should read it?');
  await ask.locator('button', { hasText: 'Use COA SIX' }).click();
  await page.locator('#summary', { hasText: 'record' }).waitFor();
  assert.equal(await page.locator('#summary').textContent(),
    '4 records in FCOA (COAS) from file ' + path.join(data, 'tb.csv') + ', template COA SIX, import type FCOA.');
  // Choosing the remembered one runs it, and the page shows it chosen.
  await page.click('#import');
  await ask.locator('button', { hasText: 'Use GL BOOK' }).click();
  await page.locator('#summary', { hasText: 'template GL BOOK' }).waitFor();
  assert.equal(await page.inputValue('#template'), 'GL BOOK');
  assert.match(await page.locator('#summary').textContent(), /^5 records in FCOA \(COAS\)/);
}, { store: TWO_CHARTS });

test("the import type offered follows the template's kind", async ({ context }) => {
  const page = await importPage(context);
  await page.selectOption('#import-type', 'FBJ');
  await page.selectOption('#template', 'GL BOOK');
  assert.equal(await page.inputValue('#import-type'), 'FCOA');
  assert.deepEqual(await page.locator('#import-type optgroup').first().locator('option').evaluateAll((o) => o.map((x) => x.value)),
    ['FCOA', 'PRELIMBAL']);
  // A type the template takes stays chosen.
  await page.selectOption('#import-type', 'PRELIMBAL');
  await page.selectOption('#template', 'COA SIX');
  assert.equal(await page.inputValue('#import-type'), 'PRELIMBAL');
  await page.selectOption('#template', 'JE BOOK');
  assert.equal(await page.inputValue('#import-type'), 'FBJ');
  assert.deepEqual(await page.locator('#import-type optgroup').first().locator('option').evaluateAll((o) => o.map((x) => x.value)),
    ['FBJ', 'FRJ', 'FTJ', 'JEBAL']);
}, { store: TWO_CHARTS });

test('the records table shows the values the host stores, the raw XML beside it, and an error as its message', async ({ context }) => {
  fs.writeFileSync(path.join(data, 'amp.csv'), 'Number,Caption\n1000,R&D <new>\n');
  const page = await importPage(context);
  await importWith(page, 'amp.csv', 'GL BOOK', 'FCOA');
  const cells = await page.locator('#records tbody tr').first().locator('td').allTextContents();
  assert.ok(cells.includes('R&D <new>'), cells.join('|'));
  assert.match(await page.locator('#xml').textContent(), /R&amp;amp;D &amp;lt;new&amp;gt;/);
  // A journal entry: one row per account, no joined values.
  await importWith(page, 'je.prn', 'JE BOOK', 'FBJ');
  const rows = page.locator('#records tbody tr');
  assert.equal(await rows.count(), 2);
  const headers = await page.locator('#records th').evaluateAll((ths) => ths.map((t) => t.title));
  const at = (name) => headers.indexOf(name);
  const first = await rows.nth(0).locator('td').allTextContents();
  const second = await rows.nth(1).locator('td').allTextContents();
  assert.equal(first[at('JE_Number')], 'JE001');
  assert.deepEqual([first[at('Accounts/Account_Number')], first[at('Accounts/Account_Balance')]], ['1000', '500.00']);
  assert.deepEqual([second[at('Accounts/Account_Number')], second[at('Accounts/Account_Balance')]], ['2000', '-500.00']);
  assert.equal(second[at('JE_Number')], '');
  assert.ok(!first.concat(second).some((v) => v.includes(';')), first.concat(second).join('|'));
  assert.equal(await page.locator('#summary').textContent(),
    '1 record in FADJ (JES) from file ' + path.join(data, 'je.prn') + ', template JE BOOK, import type FBJ.');
  // An error document: its message, and the line it names.
  assert.equal(await page.evaluate(() => Zephrin.readResult("<Error Line='7'>Journal entries are out of order.</Error>", 'error').message),
    'Journal entries are out of order. (line 7)');
  await page.fill('#data-file', path.join(data, 'missing.csv'));
  await page.click('#import');
  await page.locator('#result-error').waitFor();
  assert.equal(await page.locator('#result-error').textContent(), 'The import failed: Error opening import file ' + path.join(data, 'missing.csv') + ' for reading!');
}, { store: TWO_CHARTS });

test('deleting a template and forgetting a data file ask first: Cancel keeps them, OK removes them', async ({ context }) => {
  const page = await importPage(context);
  const ask = page.locator('dialog.confirm-box');
  const tb = path.join(data, 'tb.csv').toUpperCase();
  await page.locator('#template-list tr', { hasText: 'GL BOOK' }).waitFor();
  const before = fs.readFileSync(ini, 'latin1');

  await page.click('button[aria-label="Delete GL BOOK"]');
  assert.equal(await ask.locator('.message-text').textContent(), 'Delete the template GL BOOK?');
  await ask.locator('button', { hasText: 'Cancel' }).click();
  await ask.waitFor({ state: 'detached' });
  await page.click('button[aria-label="Forget ' + tb + '"]');
  assert.equal(await ask.locator('.message-text').textContent(), 'Forget which template ' + tb + ' was last imported with?');
  await ask.locator('button', { hasText: 'Cancel' }).click();
  await ask.waitFor({ state: 'detached' });
  assert.equal(fs.readFileSync(ini, 'latin1'), before);

  await page.click('button[aria-label="Forget ' + tb + '"]');
  await ask.locator('button', { hasText: 'OK' }).click();
  await page.locator('#file-list td', { hasText: 'No data files recorded.' }).waitFor();
  await page.click('button[aria-label="Delete GL BOOK"]');
  await ask.locator('button', { hasText: 'OK' }).click();
  await page.locator('#template-list td', { hasText: 'No saved templates.' }).waitFor();
  assert.ok(!fs.readFileSync(ini, 'latin1').includes('GL BOOK'), fs.readFileSync(ini, 'latin1'));
}, { store: GL_BOOK });

test('a deleted template\'s remembered data files say "template deleted"', async ({ context }) => {
  fs.appendFileSync(ini, '2=/DATA/OLD.CSV^GONE\n', 'latin1');
  const page = await importPage(context);
  const row = page.locator('#file-list tr', { hasText: '/DATA/OLD.CSV' });
  await row.waitFor();
  assert.equal(await row.locator('td').nth(2).textContent(), 'GONE (template deleted)');
  assert.equal(await page.locator('#file-list tr', { hasText: 'TB.CSV' }).locator('td').nth(2).textContent(), 'GL BOOK');
  await page.fill('#data-file', '/data/old.csv');
  await page.locator('#data-file').dispatchEvent('change');
  assert.equal(await page.inputValue('#template'), '');
}, { store: GL_BOOK });

// ---- The editor: live preview, Suggest, Undo, safe edits, names ---------------------------

const CHART = 'Acct No,Description,Amt,TRC,tcc\n1000,Cash,15.00,101,1\n2000,Bank,20.50,102,2\n';

test('the live preview shows the records of the unsaved template at each placement, and the error of one that fails', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  assert.equal(await frame.locator('#live-note').textContent(), 'Place items to see the records they give.');
  // The engine's own rule: the begin row comes from the items placed past
  // column A, so that with column A alone the header row is a record too.
  await place(frame, 'Account Number', 2, 1);
  await frame.locator('#live-note', { hasText: '6 records (COAS)' }).waitFor();
  const numbers = await frame.locator('#live-records th').allTextContents();
  assert.deepEqual(await frame.locator('#live-records tbody tr').evaluateAll((rows, i) => rows.map((r) => r.children[i].textContent),
    numbers.indexOf('Account_Number')), ['Number', '1000', '1100', '2000', '3000', '4000']);
  await place(frame, 'Account Caption', 3, 2);
  await frame.locator('#live-note', { hasText: '4 records' }).waitFor();
  const header = await frame.locator('#live-records th').allTextContents();
  assert.ok(header.includes('Account_Caption'), header.join(','));
  assert.equal(await frame.locator('#live-records tbody tr').first().locator('td').nth(header.indexOf('Account_Caption')).textContent(), 'Receivables');
  await cancel(page, frame);
  assert.equal(fs.existsSync(ini) ? fs.readFileSync(ini, 'latin1') : '', '');

  // A placement whose read fails shows the read's error instead.
  fs.writeFileSync(path.join(data, 'entity.txt'), 'ACME CORP 12345\n');
  const frame2 = await openEditor(page, { file: 'entity.txt', type: 'ENTITY' });
  await frame2.locator('.text-line').first().waitFor();
  await item(frame2, 'Zip/Postal Code').click();
  await selectText(page, frame2, 0, 10, 15);
  await frame2.locator('#live-note.error').waitFor();
  assert.match(await frame2.locator('#live-note').textContent(), /^The read fails: .*Zip\/Postal_Code/);
  await cancel(page, frame2);
});

test('Suggest places the items the header row names, says what it placed, and one Undo takes them back', async ({ context }) => {
  fs.writeFileSync(path.join(data, 'chart.csv'), CHART);
  const { page, frame } = await pageAndEditor(context, { file: 'chart.csv', type: 'FCOA' });
  await frame.locator('#suggest').click();
  await frame.locator('#suggest-note', { hasText: 'Suggested' }).waitFor();
  assert.equal(await frame.locator('#suggest-note').textContent(),
    'Suggested: Account Number → column A ("Acct No"), Account Caption → column B ("Description"), TRC → column D ("TRC"), TCC → column E ("tcc"), from row 2. Undo (Ctrl+Z) takes them back.');
  await frame.locator('.cell.header[data-c="5"]', { hasText: /^TCC$/ }).waitFor();
  assert.deepEqual(await frame.locator('.cell.header').allTextContents(), ['Account Number', 'Account Caption', 'C', 'TRC', 'TCC']);
  await frame.locator('#live-note', { hasText: '2 records (COAS)' }).waitFor();
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-live-preview.png') });
  await frame.locator('#grid').press('Control+z');
  await frame.locator('.cell.header[data-c="1"]', { hasText: /^A$/ }).waitFor();
  assert.deepEqual(await frame.locator('.cell.header').allTextContents(), ['A', 'B', 'C', 'D', 'E']);
  await frame.locator('#suggest').click();
  await frame.locator('.cell.header[data-c="4"]', { hasText: 'TRC' }).waitFor();
  await frame.locator('#name').fill('Suggested');
  await save(page, frame);
  assert.match(fs.readFileSync(ini, 'latin1'), /^\[Import:Suggested\]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\nAccount_Caption=1 2 0\nAccount_Balance=0 0 0\nTRC=3 2 0\nTCC=4 2 0\n/);
});

test('Ctrl+Z undoes a placement, a clearing and Reset; Reset asks before it clears', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await place(frame, 'Account Number', 2, 1);
  await place(frame, 'Account Caption', 2, 2);
  await frame.locator('#reset').click();
  const ask = frame.locator('dialog.confirm-box');
  await ask.waitFor();
  assert.equal(await ask.locator('.message-text').textContent(), 'Reset clears the positions of all items. Clear them? (Undo takes it back.)');
  await ask.locator('button', { hasText: 'Cancel' }).click();
  assert.deepEqual(await numbers(frame, 'Account Caption'), ['2', '2']);
  await frame.locator('#reset').click();
  await ask.locator('button', { hasText: 'Reset' }).click();
  await item(frame, 'Account Number').locator('.len-num', { hasText: /^0$/ }).waitFor();
  await frame.locator('#grid').press('Control+z');
  await item(frame, 'Account Number').locator('.len-num', { hasText: /^2$/ }).waitFor();
  assert.deepEqual(await numbers(frame, 'Account Caption'), ['2', '2']);
  await frame.locator('.cell.header[data-c="2"]', { hasText: /^Account Caption$/ }).waitFor();
  // A clearing through the box, taken back.
  await frame.locator('#len-box').fill('0');
  await frame.locator('#len-box').press('Enter');
  await item(frame, 'Account Caption').locator('.len-num', { hasText: /^0$/ }).waitFor();
  await frame.locator('#undo').click();
  await item(frame, 'Account Caption').locator('.len-num', { hasText: /^2$/ }).waitFor();
  await frame.locator('#undo').click();
  await item(frame, 'Account Caption').locator('.len-num', { hasText: /^0$/ }).waitFor();
  assert.deepEqual(await numbers(frame, 'Account Number'), ['1', '2']);
  await cancel(page, frame);
});

test('a refused box value or an over-long drag keeps the previous position and names the allowed range', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await place(frame, 'Account Number', 2, 1);
  await frame.locator('#len-box').fill('99');
  await frame.locator('#len-box').press('Enter');
  assert.equal(await message(frame), 'Invalid row (max. 6)');
  assert.equal(await frame.locator('#len-hint').textContent(), 'Start Row: 1 to 6');
  assert.equal(await frame.locator('#len-box').inputValue(), '2');
  assert.deepEqual(await numbers(frame, 'Account Number'), ['1', '2']);
  assert.equal(await frame.locator('.cell.header[data-c="1"]').textContent(), 'Account Number');
  await cancel(page, frame);

  const text = await openEditor(page, { file: 'je.prn', type: 'FBJ' });
  await text.locator('.text-line').first().waitFor();
  await item(text, 'JE Caption').click();
  await selectText(page, text, 0, 8, 24);
  await item(text, 'JE Caption').locator('.len-num', { hasText: /^16$/ }).waitFor();
  // A drag that runs onto the next line.
  const canvas = await text.locator('.text-canvas').boundingBox();
  await page.mouse.move(canvas.x + 60, canvas.y + 4 + 9);
  await page.mouse.down();
  await page.mouse.move(canvas.x + 200, canvas.y + 4 + 2 * 18 + 9);
  await page.mouse.up();
  assert.match(await message(text), /^Length too long \(max\. \d+\)$/);
  assert.match(await text.locator('#len-hint').textContent(), /^Length: 1 to \d+$/);
  assert.deepEqual(await numbers(text, 'JE Caption'), ['9', '16']);
  await cancel(page, text);
});

test('template names are trimmed, a blank name is refused, and Cancel says it cancelled', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await place(frame, 'Account Number', 2, 1);
  await place(frame, 'Account Caption', 2, 2);
  await place(frame, 'TRC', 2, 3);
  await place(frame, 'TCC', 2, 4);
  await frame.locator('#name').fill('   ');
  await frame.locator('#ok:not([disabled])').click();
  assert.equal(await message(frame), 'Please enter a name for the template.');
  await frame.locator('#name').fill('  Lead and trail  ');
  await save(page, frame);
  await page.locator('#status', { hasText: 'Template Lead and trail is saved.' }).waitFor();
  assert.match(fs.readFileSync(ini, 'latin1'), /^\[Import:Lead and trail\]\n/);
  assert.equal(await page.inputValue('#template'), 'LEAD AND TRAIL');
  await page.click('#import');
  await page.locator('#summary', { hasText: 'records' }).waitFor();
  assert.match(await page.locator('#summary').textContent(), /^5 records in FCOA \(COAS\) from file .*, template LEAD AND TRAIL, import type FCOA\.$/);
  // Cancel on an existing template.
  await page.click('#edit-template');
  await cancel(page, await editorFrame(page));
  await page.locator('#status', { hasText: 'The editor was cancelled.' }).waitFor();
});

// ---- Keyboard use ---------------------------------------------------------------------------

async function tabTo(frame, id) {
  for (let i = 0; i < 20; i++) {
    if (await frame.locator('body').evaluate(() => document.activeElement && document.activeElement.id) === id) return;
    await frame.locator(':focus').press('Tab');
  }
  throw new Error('Tab never reached #' + id);
}

test('keyboard only: a journal-entry template from the text view; Tab stays in the editor; Escape cancels', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'je.prn', type: 'FBJ' });
  await frame.locator('.text-line').first().waitFor();
  await frame.locator('#name').focus();
  await page.keyboard.type('KB JE');
  const keys = async (...list) => { for (const k of list) await page.keyboard.press(k); };
  const pick = async (caption, moves, width) => {
    await tabTo(frame, 'items');
    // Each key's selection comes back from the server: wait for the very item
    // it selects, so that no answer still on its way can move the selection.
    const usable = await frame.locator('.item[data-available="yes"]').evaluateAll((els) => els.map((e) => e.dataset.index));
    const drawn = (k) => frame.locator(`.item.drawn-selected[data-index="${usable[k]}"]`).waitFor();
    await keys('Home');
    await drawn(0);
    for (let k = 0; k + 1 < usable.length && !(await frame.locator('.item.drawn-selected .caption').textContent()).match(new RegExp('^' + caption + '$')); k++) {
      await keys('ArrowDown');
      await drawn(k + 1);
    }
    await tabTo(frame, 'text');
    await keys('Control+Home', ...moves);
    for (let i = 0; i < width; i++) await keys('Shift+ArrowRight');
    await keys('Enter');
    await item(frame, caption).locator('.len-num', { hasText: new RegExp('^' + width + '$') }).waitFor();
  };
  await pick('JE Type', [], 1);
  await pick('JE Number', ['ArrowRight', 'ArrowRight'], 5);
  await pick('JE Caption', Array(8).fill('ArrowRight'), 16);
  await pick('Account Number', ['ArrowDown', 'ArrowDown', 'ArrowRight', 'ArrowRight'], 4);
  // Tab cycles inside the editor: from Cancel to the first control, never to the page behind.
  await frame.locator('#cancel').focus();
  await keys('Tab');
  assert.equal(await frame.locator('body').evaluate(() => document.activeElement.id), 'name');
  assert.equal(await page.evaluate(() => document.activeElement.tagName), 'IFRAME');
  await keys('Shift+Tab');
  assert.equal(await frame.locator('body').evaluate(() => document.activeElement.id), 'cancel');
  // Enter in the name box is OK.
  await frame.locator('#name').focus();
  await keys('Enter');
  await editorClosed(page);
  const store = fs.readFileSync(ini, 'latin1');
  assert.match(store, /^\[Import:KB JE\]\nInfo=JE\nFsiType=FEDERAL\nCompany_Number=0 0 0\nJE_Type=0 1 0\nJE_Number=2 5 0\nJE_Caption=8 16 0\n/);
  assert.match(store, /\nAccount_Number=2 4 224\n/);
  // Escape is Cancel.
  const again = await openEditor(page, { file: 'je.prn', type: 'FBJ' });
  await again.locator('#items').focus();
  await keys('Escape');
  await editorClosed(page);
  await page.locator('#status', { hasText: 'The editor was cancelled.' }).waitFor();
});

test('keyboard in the grid: arrows move the cell cursor, Enter places; Up and Down skip grey items', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await frame.locator('#items').focus();
  const current = () => frame.locator('.item[aria-selected="true"] .caption').textContent();
  assert.equal(await current(), 'Account Number');
  await page.keyboard.press('ArrowUp');  // Company Number above is grey
  await page.keyboard.press('ArrowDown');
  await frame.locator('.item.drawn-selected .caption', { hasText: /^Account Caption$/ }).waitFor();
  await page.keyboard.press('ArrowDown');  // Account Balance is grey in a chart import
  await frame.locator('.item.drawn-selected .caption', { hasText: /^TRC$/ }).waitFor();
  assert.equal(await frame.locator('.item.drawn-selected').count(), 1);
  await page.keyboard.press('ArrowUp');
  await frame.locator('.item.drawn-selected .caption', { hasText: /^Account Caption$/ }).waitFor();
  await frame.locator('#grid').focus();
  for (const k of ['ArrowDown', 'ArrowDown', 'ArrowRight', 'ArrowRight', 'ArrowLeft']) await page.keyboard.press(k);
  // The grid draws its cursor on the next animation frame.
  await frame.locator('.cell.cursor[data-r="3"][data-c="2"]').waitFor();
  assert.equal(await frame.locator('.cell.cursor').count(), 1);
  await page.keyboard.press('Enter');
  await frame.locator('.cell.header[data-c="2"]', { hasText: 'Account Caption' }).waitFor();
  await item(frame, 'Account Caption').locator('.len-num', { hasText: /^3$/ }).waitFor();
  // Every control has a name a screen reader can say.
  const unnamed = await frame.locator('body').evaluate(() => [...document.querySelectorAll('#dialog input, #dialog select, #dialog button, #dialog [tabindex="0"]')]
    .filter((e) => !e.hidden && e.offsetParent !== null)
    .filter((e) => !(e.getAttribute('aria-label') || (e.labels && e.labels.length) || e.textContent.trim() || e.getAttribute('aria-labelledby')))
    .map((e) => e.id));
  assert.deepEqual(unnamed, []);
  await cancel(page, frame);
});

// ---- Work is never lost, and a wrong import is no success ---------------------------------

// The confirmation box of a frame or page, its text once it is shown.
async function question(where) {
  const box = where.locator('dialog.confirm-box');
  await box.waitFor();
  return box.locator('.message-text').textContent();
}
const answer = (where, label) => where.locator('dialog.confirm-box button', { hasText: label }).click();
const storeText = () => (fs.existsSync(ini) ? fs.readFileSync(ini, 'latin1') : '');
const shot = (page, name) => (shots ? page.screenshot({ path: path.join(shots, name) }) : null);

test('OK on the name of a saved template asks first: Cancel writes nothing, Replace replaces it', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  await place(frame, 'Account Number', 3, 1);
  await place(frame, 'Account Caption', 3, 2);
  await place(frame, 'TRC', 3, 3);
  await place(frame, 'TCC', 3, 4);
  await frame.locator('#name').fill('gl book');
  const before = storeText();
  await frame.locator('#ok').click();
  assert.equal(await question(frame), 'A template named GL BOOK already exists. Replace it?');
  await shot(page, 'replace-question.png');
  await answer(frame, 'Cancel');
  await frame.locator('dialog.confirm-box').waitFor({ state: 'detached' });
  assert.equal(await frame.locator('#dialog').isVisible(), true);
  assert.equal(storeText(), before);
  // Enter in the name box is OK too, and asks the same.
  await frame.locator('#name').press('Enter');
  assert.equal(await question(frame), 'A template named GL BOOK already exists. Replace it?');
  await answer(frame, 'Replace');
  await editorClosed(page);
  // The old section goes, the new one comes last; the index and the file's entry name it as before.
  const old = section(before, 'GL Book');
  assert.equal(storeText(), before.replace(old, '') + old.replace('[Import:GL Book]', '[Import:gl book]').replace(/=(\d) 2 0\n/g, '=$1 3 0\n')
    .replace('Headers=NUMBER|CAPTION|TRC|TCC', 'Headers=1000|CASH|10|100'));
  // Saving the template being edited asks nothing.
  await page.selectOption('#template', 'GL BOOK');
  await page.click('#edit-template');
  await save(page, await editorFrame(page));
}, { store: GL_BOOK });

test('with unsaved positions Cancel and Escape ask first, and only then does leaving the page ask', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'tb.csv', type: 'FCOA' });
  // A synthetic beforeunload shows whether the page would ask.
  const wouldAsk = () => frame.locator('body').evaluate(() => {
    const e = new Event('beforeunload', { cancelable: true });
    window.dispatchEvent(e);
    return e.defaultPrevented;
  });
  assert.equal(await wouldAsk(), false);
  await place(frame, 'Account Number', 2, 1);
  assert.equal(await wouldAsk(), true);
  const unsaved = 'The changes to this template are not saved. Close the editor and lose them?';
  await frame.locator('#cancel').click();
  assert.equal(await question(frame), unsaved);
  await shot(page, 'unsaved-question.png');
  await answer(frame, 'Cancel');
  await frame.locator('#items').focus();
  await page.keyboard.press('Escape');
  assert.equal(await question(frame), unsaved);
  await answer(frame, 'Cancel');
  assert.deepEqual(await numbers(frame, 'Account Number'), ['1', '2']);
  // The browser asks before the page is closed.
  const asked = new Promise((resolve) => page.once('dialog', (d) => { resolve(d.type()); d.dismiss(); }));
  await page.close({ runBeforeUnload: true });
  assert.equal(await asked, 'beforeunload');
  assert.equal(page.isClosed(), false);
  // Undone to what it opened with, nothing is unsaved: Cancel closes at once.
  await frame.locator('#undo').click();
  await item(frame, 'Account Number').locator('.len-num', { hasText: /^0$/ }).waitFor();
  assert.equal(await wouldAsk(), false);
  await frame.locator('#cancel').click();
  await editorClosed(page);
  assert.equal(fs.existsSync(path.join(home, 'drafts')), false);
});

test('an editor whose page goes away keeps its work as a draft, and the next editor of the file offers it back', async ({ context }) => {
  const first = await importPage(context);
  const frame = await openEditor(first, { file: 'tb.csv', type: 'FCOA' });
  await frame.locator('#name').fill('Half done');
  await place(frame, 'Account Number', 2, 1);
  await place(frame, 'Account Caption', 3, 2);
  await first.close();
  const drafts = path.join(home, 'drafts');
  // The draft is written through a hidden temporary file, which a look at the wrong moment sees.
  const named = () => (fs.existsSync(drafts) ? fs.readdirSync(drafts).filter((n) => !n.startsWith('.')) : []);
  const file = await until(() => (named().length ? named() : undefined), 10000, 'no draft');
  assert.equal(file.length, 1);
  assert.match(file[0], /^tb\.csv\.FCOA\.[0-9a-f]{8}\.json$/);
  assert.equal(fs.readFileSync(path.join(drafts, file[0]), 'utf8'), '{\n  "dataFile": ' + JSON.stringify(path.join(data, 'tb.csv')) +
    ',\n  "importType": "FCOA",\n  "intlKind": 0,\n  "template": "Half done",\n  "newTemplate": true,\n  "current": 2,\n' +
    '  "positions": {\n    "Company_Number": "0 0 0",\n    "Account_Number": "0 2 0",\n    "Account_Caption": "1 3 0",\n' +
    '    "Account_Balance": "0 0 0",\n    "TRC": "0 0 0",\n    "TCC": "0 0 0",\n    "Account_Type": "0 0 0",\n    "SIC_Code": "0 0 0",\n' +
    '    "Activity_Number": "0 0 0",\n    "Activity_Name": "0 0 0"\n  },\n  "keys": {}\n}\n');
  assert.equal(storeText(), '');
  // The next editor of the same file and import type offers it.
  const page = await importPage(context);
  const next = await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
  assert.equal(await question(next), 'Work on this file was not saved when its editor closed: 2 items placed for the new template ' +
    'Half done. Restore it? Cancel keeps it for later.');
  await shot(page, 'draft-offer.png');
  await answer(next, 'Restore');
  await item(next, 'Account Caption').locator('.len-num', { hasText: /^3$/ }).waitFor();
  assert.deepEqual(await numbers(next, 'Account Number'), ['1', '2']);
  assert.deepEqual(await numbers(next, 'Account Caption'), ['2', '3']);
  await next.locator('.cell.header[data-c="2"]', { hasText: /^Account Caption$/ }).waitFor();
  assert.deepEqual(await next.locator('.cell.header').allTextContents(), ['Account Number', 'Account Caption', 'C', 'D']);
  assert.equal(await next.locator('#name').inputValue(), 'Half done');
  assert.deepEqual(fs.readdirSync(drafts), []);
  await cancel(page, next);
  assert.equal(storeText(), '');
});

test('a template of a kind the import type does not take is refused before anything is imported', async ({ context }) => {
  const page = await importPage(context);
  const before = storeText();
  const refused = async (file, template, type) => {
    await page.fill('#data-file', path.join(data, file));
    await page.selectOption('#template', template);
    await page.selectOption('#import-type', type);
    await page.click('#import');
    const box = page.locator('dialog.message-box');
    await box.waitFor();
    const text = await box.locator('.message-text').textContent();
    if (shots && type === 'FCOA') await page.screenshot({ path: path.join(shots, 'kind-refusal.png') });
    await box.locator('button', { hasText: 'OK' }).click();
    return text;
  };
  assert.equal(await refused('je.prn', 'JE BOOK', 'FCOA'),
    'Template JE BOOK is a JE template: import type FCOA does not take it. Import types that take it: FBJ, FRJ, FTJ, JEBAL.');
  assert.equal(await refused('tb.csv', 'GL BOOK', 'FBJ'),
    'Template GL BOOK is a COA template: import type FBJ does not take it. Import types that take it: FCOA, PRELIMBAL.');
  assert.equal(await page.locator('#result-panel').isHidden(), true);
  assert.equal(storeText(), before);
  assert.equal(fs.existsSync(path.join(home, 'pages.json')), false);
}, { store: TWO_CHARTS });

test('the import type a template was last imported with is chosen again with it', async ({ context }) => {
  const page = await importPage(context);
  await importWith(page, 'tb.csv', 'GL BOOK', 'PRELIMBAL');
  const settings = path.join(home, 'pages.json');
  await until(() => (fs.existsSync(settings) ? true : undefined), 5000, 'no pages.json');
  assert.equal(fs.readFileSync(settings, 'utf8'), '{\n  "importTypes": {\n    "GL BOOK": "PRELIMBAL"\n  }\n}\n');
  assert.equal(storeText().includes('PRELIMBAL'), false);
  // A page loaded afresh chooses it with the template, over the type chosen before.
  await page.reload();
  await page.locator('#template option', { hasText: 'GL BOOK' }).waitFor({ state: 'attached' });
  await page.selectOption('#import-type', 'FCOA');
  await page.selectOption('#template', 'COA SIX');
  assert.equal(await page.inputValue('#import-type'), 'FCOA');
  await page.selectOption('#template', 'GL BOOK');
  assert.equal(await page.inputValue('#import-type'), 'PRELIMBAL');
  await page.selectOption('#template', 'JE BOOK');
  assert.equal(await page.inputValue('#import-type'), 'FBJ');
  // Deleting the template forgets its type.
  await page.click('button[aria-label="Delete GL BOOK"]');
  await answer(page, 'OK');
  await page.locator('#template-list tr', { hasText: 'GL BOOK' }).waitFor({ state: 'detached' });
  await until(() => (fs.readFileSync(settings, 'utf8').includes('GL BOOK') ? undefined : true), 5000, 'still remembered');
  assert.equal(fs.readFileSync(settings, 'utf8'), '{\n  "importTypes": {}\n}\n');
}, { store: TWO_CHARTS });

// ---- Large files, tooltips, column widths, the favicon ---------------------------------------

test('a 1,000,000-row grid scrolls to its end with every row whole', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'million.csv', type: 'FCOA' });
  await cell(frame, 1, 2).waitFor();
  const grid = frame.locator('#grid');
  assert.ok(await grid.evaluate((g) => g.scrollHeight) <= 2000000);
  await grid.evaluate((g) => { g.scrollTop = g.scrollHeight; });
  await frame.locator('.cell.rownum', { hasText: /^1000000$/ }).waitFor();
  await frame.locator('.cell', { hasText: /^Account 1000000$/ }).waitFor();
  // The rows in view follow each other by one row height, each with its border
  // (once the rows drawn for the scroll have all been laid out).
  const rows = () => frame.locator('.cell.rownum').evaluateAll((cells) => cells.map((c) => {
    const r = c.getBoundingClientRect();
    return { n: Number(c.textContent), top: r.top, height: r.height, border: getComputedStyle(c).borderBottomWidth };
  }));
  const boxes = await until(async () => {
    const b = await rows();
    return b.every((x, i) => i === 0 || x.top - b[i - 1].top === 20) ? b : undefined;
  }, 5000, 'the rows in view are not one row height apart').catch(rows);
  assert.ok(boxes.length > 10);
  for (let i = 1; i < boxes.length; i++) {
    assert.equal(boxes[i].n, boxes[i - 1].n + 1);
    assert.equal(boxes[i].top - boxes[i - 1].top, 20);
  }
  assert.ok(boxes.every((b) => b.height === 20 && b.border === '1px'));
  // The middle of the file is reached by the scroll bar too.
  await grid.evaluate((g) => { g.scrollTop = g.scrollHeight / 2; });
  await frame.locator('.cell.rownum', { hasText: /^50\d{4}$/ }).first().waitFor();
  await cancel(page, frame);
}, { files: ['million.csv'] });

test('captions have tooltips, grid columns widen by dragging, and the favicon is served', async ({ context }) => {
  const page = await context.newPage();
  const refused = [];
  page.on('response', (r) => { if (r.status() >= 400) refused.push(r.status() + ' ' + new URL(r.url()).pathname); });
  await page.goto(url.href);
  await page.locator('#import-type option').first().waitFor({ state: 'attached' });
  const icon = await page.locator('link[rel="icon"]').getAttribute('href');
  const got = await page.evaluate(async (href) => { const r = await fetch(href); return [r.status, r.headers.get('content-type')]; }, icon);
  assert.deepEqual(got, [200, 'image/svg+xml']);
  const frame = await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
  assert.equal(await item(frame, 'Account Caption').getAttribute('title'), 'Account Caption');
  const header = frame.locator('.cell.header[data-c="2"]');
  const width = (locator) => locator.evaluate((e) => e.getBoundingClientRect().width);
  // The grid may still be sizing its columns to the preview; drag only once the
  // header's width and its handle's place held still for a moment.
  const handleBox = () => frame.locator('.col-resize[data-c="2"]').boundingBox();
  let before = -1, handle = null;
  await until(async () => {
    const [w, box] = [await width(header), await handleBox()];
    const still = w === before && box && handle && box.x === handle.x;
    [before, handle] = [w, box];
    return still ? true : undefined;
  }, 5000, 'the grid does not settle');
  await page.mouse.move(handle.x + 3, handle.y + 5);
  await page.mouse.down();
  await page.mouse.move(handle.x + 43, handle.y + 5);
  await page.mouse.move(handle.x + 83, handle.y + 5);
  await page.mouse.up();
  // The grid is drawn anew after the drag; measure the cells once it settled.
  const widened = () => Promise.all([width(header), width(cell(frame, 2, 2))]).then((ws) => ws.map(Math.round));
  const want = Math.round(before + 80);
  let drawn = [];
  await until(async () => { drawn = await widened(); return drawn[0] === want && drawn[1] === want ? true : undefined; }, 5000,
    'the dragged column is not ' + want + ' pixels wide').catch(() => {});
  assert.deepEqual(drawn, [want, want], 'dragged from ' + JSON.stringify(handle) + ', header ' + before + ' px wide');
  await cancel(page, frame);
  assert.deepEqual(refused, []);
});

// A trial balance written in debit and credit columns, with thousands separators.
const DEBIT_CREDIT = 'Acct No,Description,Debit,Credit\n1000,Cash,"2,369,666.01",\n2000,Loan,,"2,000,000.00"\n' +
  '3000,Equity,,"369,666.01"\n';

test('a workbook opens with a tab per sheet; the sheet chosen is shown, previewed and saved', async ({ context }) => {
  fs.copyFileSync(new URL('../data/workbooks/mixed.xlsx', import.meta.url), path.join(data, 'book.xlsx'));
  const { page, frame } = await pageAndEditor(context, { file: 'book.xlsx', type: 'TAXRATE' });
  assert.deepEqual(await frame.locator('.sheet-tab').allTextContents(), ['Accounts', 'Notes', 'Totals']);
  assert.equal(await frame.locator('.sheet-tab[aria-selected="true"]').textContent(), 'Accounts');
  assert.equal(await frame.locator('#separator-group').isHidden(), true);
  await cell(frame, 1, 1).filter({ hasText: 'Flag' }).waitFor();
  await frame.locator('.sheet-tab', { hasText: 'Notes' }).click();
  await frame.locator('.sheet-tab[aria-selected="true"]', { hasText: 'Notes' }).waitFor();
  await cell(frame, 2, 2).filter({ hasText: 'second sheet' }).waitFor();
  assert.deepEqual(await frame.locator('.cell.header').allTextContents(), ['A', 'B']);
  await place(frame, 'Jurisdiction', 2, 2);
  await frame.locator('#live-note', { hasText: /^1 record \(/ }).waitFor();
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-workbook.png') });
  await frame.locator('#name').fill('Book');
  await save(page, frame);
  assert.equal(section(fs.readFileSync(ini, 'latin1'), 'Book'), '[Import:Book]\nInfo=TAXRATE\nFsiType=FEDERAL\nJurisdiction_Name=0 0 0\n' +
    'Jurisdiction=1 2 0\nCurrent_EOY_Rate=0 0 0\nDeferred_BOY_Rate=0 0 0\nDeferred_EOY_Rate=0 0 0\nSheet=NOTES\n');
});

test('a damaged workbook or an empty file opens an editor that says why nothing can be placed', async ({ context }) => {
  // A workbook that lost its end, as an interrupted copy leaves it.
  const book = fs.readFileSync(new URL('../data/workbooks/mixed.xlsx', import.meta.url));
  fs.writeFileSync(path.join(data, 'broken.xlsx'), book.subarray(0, book.length - 200));
  fs.writeFileSync(path.join(data, 'empty.csv'), '');
  const page = await importPage(context);
  let frame = await openEditor(page, { file: 'broken.xlsx', type: 'TAXRATE' });
  await frame.locator('dialog.message-box .titlebar', { hasText: /^Import$/ }).waitFor();
  assert.match(await message(frame), /^The workbook .*broken\.xlsx cannot be read: /);
  await frame.locator('dialog.message-box').waitFor({ state: 'detached' });
  assert.equal(await frame.locator('#instruction').textContent(),
    'The data file cannot be shown, so no item can be placed: Cancel closes the editor.');
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-broken-workbook.png') });
  await cancel(page, frame);
  frame = await openEditor(page, { file: 'empty.csv', type: 'TAXRATE' });
  await frame.locator('#instruction', { hasText: 'The data file is empty, so no item can be placed: Cancel closes the editor.' }).waitFor();
  await cancel(page, frame);
});

test('a semicolon file opens with its separator detected, and another separator re-reads the grid', async ({ context }) => {
  fs.writeFileSync(path.join(data, 'semi.csv'), 'Number;Caption;TRC;TCC\n1000;Cash;10;100\n1100;Bank, main;10;110\n');
  const { page, frame } = await pageAndEditor(context, { file: 'semi.csv', type: 'FCOA' });
  assert.equal(await frame.locator('#separator').inputValue(), 'SEMICOLON');
  assert.equal(await frame.locator('#sheet-tabs').isHidden(), true);
  await cell(frame, 3, 2).filter({ hasText: 'Bank, main' }).waitFor();
  assert.deepEqual(await frame.locator('.cell.header').allTextContents(), ['A', 'B', 'C', 'D']);
  await frame.locator('#separator').selectOption('COMMA');
  // The grid of four columns has a "B" too: wait for the grid re-read at commas.
  let headers = [];
  await until(async () => {
    headers = await frame.locator('.cell.header').allTextContents();
    return headers.length === 2 ? true : undefined;
  }, 5000, 'the grid is not read again').catch(() => {});
  assert.deepEqual(headers, ['A', 'B']);
  await cell(frame, 3, 2).filter({ hasText: 'main;10;110' }).waitFor();
  await frame.locator('#separator').selectOption('SEMICOLON');
  await place(frame, 'Account Number', 2, 1);
  await place(frame, 'Account Caption', 2, 2);
  await place(frame, 'TRC', 2, 3);
  await place(frame, 'TCC', 2, 4);
  await frame.locator('#name').fill('Semi');
  await save(page, frame);
  assert.match(section(fs.readFileSync(ini, 'latin1'), 'Semi'), /\nActivity_Name=0 0 0\nHeaders=NUMBER\|CAPTION\|TRC\|TCC\nSeparator=SEMICOLON\n$/);
});

// The debit-and-credit template both ways: its store section and the records it gives.
const DEBIT_CREDIT_SECTION = (name) => '[Import:' + name + ']\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\n' +
  'Account_Number=0 2 0\nAccount_Caption=0 0 0\nAccount_Balance=2 2 0\nTRC=0 0 0\nTCC=0 0 0\nAccount_Type=0 0 0\n' +
  'SIC_Code=0 0 0\nActivity_Number=0 0 0\nActivity_Name=0 0 0\nHeaders=ACCT NO|DEBIT\nAmounts=SIGNED\nAccount_Balance.Credit=3 2 0\n';

async function importDebitCredit(page, template) {
  await importWith(page, 'dc.csv', template, 'PRELIMBAL');
  const headers = await page.locator('#records th').allTextContents();
  const column = (name) => page.locator('#records tbody tr').evaluateAll((rows, i) => rows.map((r) => r.children[i].textContent),
    headers.findIndex((h) => h.includes(name)));
  assert.deepEqual(await column('Account Balance'), ['2369666.01', '-2000000.00', '-369666.01']);
  assert.deepEqual(await column('Account Number'), ['1000', '2000', '3000']);
}

test('a debit-and-credit template made by Suggest alone imports signed balances', async ({ context }) => {
  fs.writeFileSync(path.join(data, 'dc.csv'), DEBIT_CREDIT);
  const { page, frame } = await pageAndEditor(context, { file: 'dc.csv', type: 'PRELIMBAL' });
  await frame.locator('#suggest').click();
  await frame.locator('#suggest-note', { hasText: 'Suggested' }).waitFor();
  assert.equal(await frame.locator('#suggest-note').textContent(),
    'Suggested: Account Number → column A ("Acct No"), Account Balance → debit column C ("Debit") ' +
    'less credit column D ("Credit"), from row 2. Amounts: "Signed, 1,234.50". Undo (Ctrl+Z) takes them back.');
  await frame.locator('.cell.header[data-c="4"]', { hasText: /^Account Balance \(credit\)$/ }).waitFor();
  assert.deepEqual(await frame.locator('.cell.header').allTextContents(),
    ['Account Number', 'B', 'Account Balance', 'Account Balance (credit)']);
  assert.equal(await frame.locator('#amounts').inputValue(), 'signed');
  await frame.locator('#live-note', { hasText: '3 records (COAS)' }).waitFor();
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-debit-credit.png') });
  await frame.locator('#name').fill('DC');
  await save(page, frame);
  assert.equal(section(fs.readFileSync(ini, 'latin1'), 'DC'), DEBIT_CREDIT_SECTION('DC'));
  await importDebitCredit(page, 'DC');
});

test('a debit-and-credit template made by hand with Credit column…, which Undo takes back, imports signed balances', async ({ context }) => {
  fs.writeFileSync(path.join(data, 'dc.csv'), DEBIT_CREDIT);
  const { page, frame } = await pageAndEditor(context, { file: 'dc.csv', type: 'PRELIMBAL' });
  await place(frame, 'Account Number', 2, 1);
  assert.equal(await frame.locator('#credit').isDisabled(), true);  // no amount item is current
  await place(frame, 'Account Balance', 2, 3);
  await frame.locator('#credit').click();
  await frame.locator('#credit-note', { hasText: 'Click the credit column of Account Balance.' }).waitFor();
  await cell(frame, 2, 4).click();
  await frame.locator('.cell.header[data-c="4"]', { hasText: 'Account Balance (credit)' }).waitFor();
  assert.equal(await frame.locator('#amounts').inputValue(), 'signed');
  await frame.locator('#grid').press('Control+z');
  await frame.locator('.cell.header[data-c="4"]', { hasText: /^D$/ }).waitFor();
  assert.equal(await frame.locator('#amounts').inputValue(), 'asWritten');
  await frame.locator('#credit').click();
  await cell(frame, 2, 4).click();
  await frame.locator('.cell.header[data-c="4"]', { hasText: 'Account Balance (credit)' }).waitFor();
  await frame.locator('#name').fill('By hand');
  await save(page, frame);
  assert.equal(section(fs.readFileSync(ini, 'latin1'), 'By hand'), DEBIT_CREDIT_SECTION('By hand'));
  await importDebitCredit(page, 'BY HAND');
});

test('a 500-column DIF opens with every column reachable', async ({ context }) => {
  const { page, frame } = await pageAndEditor(context, { file: 'wide.dif', type: 'FCOA' });
  await cell(frame, 1, 1).waitFor();
  assert.equal(await frame.locator('.cell.header[data-c="1"]').textContent(), 'A');
  await frame.locator('#grid').evaluate((g) => { g.scrollLeft = g.scrollWidth; });
  await frame.locator('.cell.header[data-c="500"]', { hasText: /^SF$/ }).waitFor();
  assert.equal(await frame.locator('.cell[data-r="3"][data-c="500"]:not(.loading)').textContent(), 'r3c500');
  await cancel(page, frame);
}, { files: ['wide.dif'] });

// ---- Uploads, fitting templates, the review, accessibility ------------------------------

// Drops a file named `name` holding `text` on the import page's drop zone.
function dropFile(page, name, text) {
  return page.evaluate(([n, t]) => {
    const dt = new DataTransfer();
    dt.items.add(new File([t], n, { type: 'text/csv' }));
    const zone = document.getElementById('drop-zone');
    for (const kind of ['dragover', 'drop']) zone.dispatchEvent(new DragEvent(kind, { dataTransfer: dt, bubbles: true, cancelable: true }));
  }, [name, text]);
}

// A small check of our own for what screen readers need: every control that
// can be reached has a name, and every grid has rows of cells. The problems found.
function accessibilityProblems(where) {
  return where.locator('body').evaluate((body) => {
    const problems = [];
    const visible = (e) => e.offsetParent !== null || getComputedStyle(e).position === 'fixed';
    const nameOf = (e) => {
      if (e.getAttribute('aria-label')) return e.getAttribute('aria-label');
      const by = e.getAttribute('aria-labelledby');
      if (by) return by.split(/\s+/).map((id) => (document.getElementById(id) || {}).textContent || '').join(' ').trim();
      if (e.id && document.querySelector('label[for="' + e.id + '"]')) return document.querySelector('label[for="' + e.id + '"]').textContent.trim();
      if (e.closest('label')) return e.closest('label').textContent.trim();
      if (e.matches('button, [role=option], [role=gridcell], [role=columnheader], [role=rowheader]')) return e.textContent.trim() || e.title;
      return e.title || '';
    };
    const controls = 'button, input:not([type=hidden]), select, textarea, [role=listbox], [role=grid], [role=separator], ' +
      '[role=radiogroup], [role=textbox], [tabindex="0"]';
    for (const e of body.querySelectorAll(controls)) {
      if (!visible(e) || e.closest('[inert]')) continue;
      if (!nameOf(e)) problems.push('no name: ' + e.outerHTML.slice(0, 80));
    }
    for (const grid of body.querySelectorAll('[role=grid]')) {
      if (!visible(grid)) continue;
      const rows = grid.querySelectorAll('[role=row]');
      if (!rows.length) problems.push('a grid without rows: #' + grid.id);
      for (const row of rows) {
        if (!row.querySelector('[role=gridcell], [role=columnheader], [role=rowheader]')) problems.push('a row without cells in #' + grid.id);
      }
      for (const cellEl of grid.querySelectorAll('.cell')) {
        if (!cellEl.closest('[role=row]') || !cellEl.getAttribute('role')) { problems.push('a cell outside the roles in #' + grid.id); break; }
      }
    }
    return problems;
  });
}

test('a file dropped on the import page is uploaded, imported from the uploads folder, listed and removed', async ({ context }) => {
  const page = await importPage(context);
  await dropFile(page, 'dropped.csv', files['tb.csv']);
  const uploaded = path.join(home, 'uploads', 'dropped.csv');
  await until(async () => ((await page.inputValue('#data-file')) === uploaded ? true : undefined), 10000, 'the upload is not the data file');
  assert.equal(fs.readFileSync(uploaded, 'utf8'), files['tb.csv']);
  assert.deepEqual(await page.locator('#upload-list td:first-child').allTextContents(), ['dropped.csv']);
  await page.selectOption('#template', 'GL BOOK');
  await page.click('#import');
  await page.locator('#summary', { hasText: '5 records in FCOA' }).waitFor();
  // The same name again, through the file picker: asked first; Cancel keeps the upload as it was.
  await page.setInputFiles('#upload-file', { name: 'dropped.csv', mimeType: 'text/csv', buffer: Buffer.from('x,y\n') });
  const ask = page.locator('dialog.confirm-box');
  await ask.waitFor();
  assert.equal(await ask.locator('.message-text').textContent(),
    'An upload named "dropped.csv" is there already. Replace it with the file dropped.csv?');
  await ask.locator('button', { hasText: 'Cancel' }).click();
  await page.locator('#upload-status', { hasText: 'Nothing uploaded.' }).waitFor();
  assert.equal(fs.readFileSync(uploaded, 'utf8'), files['tb.csv']);
  // A name the folder does not take is refused with its reason, and nothing is written.
  await dropFile(page, '.hidden.csv', 'a');
  const box = page.locator('dialog.message-box');
  await box.waitFor();
  assert.equal(await box.locator('.message-text').textContent(), 'The file name ".hidden.csv" is refused: it begins with ".".');
  await box.locator('button').click();
  // Remove asks, then removes.
  await page.click('button[aria-label="Remove dropped.csv"]');
  await page.locator('dialog.confirm-box button.default').click();
  await page.locator('#upload-list td', { hasText: 'No uploaded files.' }).waitFor();
  assert.deepEqual(fs.readdirSync(path.join(home, 'uploads')), []);
}, { store: GL_BOOK });

// Two charts for bal.csv: BAL starts at its first record, EARLY a row too
// early (it reads the header row as a record) and is the one last used.
const BAL_FILE = 'Number,Caption,TRC,TCC,Balance\n1000,Cash,10,100,12.50\n2000,Payables,20,200,abc\n3000,Equity,30,300,-2.50\n' +
  '4000,Rent,40,400,1,000.00\n';
const TWO_FITS = (dataDir) => '[Import:EARLY]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 1 0\nAccount_Caption=1 1 0\n' +
  'TRC=2 1 0\nTCC=3 1 0\nAccount_Balance=4 1 0\n[Import:BAL]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 2 0\n' +
  'Account_Caption=1 2 0\nTRC=2 2 0\nTCC=3 2 0\nAccount_Balance=4 2 0\n[Import:Layout]\n1=EARLY\n2=BAL\n[Import:FileName]\n1=' +
  path.join(dataDir, 'bal.csv').toUpperCase() + '^EARLY\n';

// What the review of bal.csv through BAL shows.
const REVIEW_SUMMARY = '4 records reviewed: 3 findings.';
const REVIEW_TOTALS = ['Amount|Values|Positive|Negative|Total', 'Account_Balance|3|13.50|-2.50|11.00'];
const REVIEW_GROUPS = ['Amounts split at their thousands commas (1)', 'Out of balance (1)', 'Values that are not numbers (1)'];

test('the fitting templates are listed best first with the best chosen; the review shows totals, findings and their line', async ({ context }) => {
  fs.writeFileSync(path.join(data, 'bal.csv'), BAL_FILE);
  const page = await importPage(context);
  await page.fill('#data-file', path.join(data, 'bal.csv'));
  await page.locator('#data-file').dispatchEvent('change');
  await page.locator('#suggestions .suggestion').first().waitFor();
  const listed = await page.locator('#suggestions .suggestion').allTextContents();
  assert.deepEqual(listed.map((t) => t.split(' ')[0]), ['BAL', 'EARLY']);
  assert.match(listed[1], /\(last used for this file\)/);
  assert.equal(await page.inputValue('#template'), 'BAL');
  assert.equal(await page.locator('#suggestions input[value="BAL"]').isChecked(), true);
  // The choices are radio buttons: the arrow keys move between them.
  await page.locator('#suggestions input[value="BAL"]').focus();
  await page.keyboard.press('ArrowDown');
  assert.equal(await page.inputValue('#template'), 'EARLY');
  await page.keyboard.press('ArrowUp');
  assert.equal(await page.inputValue('#template'), 'BAL');
  await page.click('#import');
  await page.locator('dialog.choose-box button', { hasText: 'Use BAL' }).click();
  await page.locator('#review:not([hidden])').waitFor();
  assert.equal(await page.locator('#review-summary').textContent(), REVIEW_SUMMARY);
  assert.deepEqual(await page.locator('#review-totals tr').evaluateAll((rows) => rows.map((r) => r.innerText.split('\t').join('|'))), REVIEW_TOTALS);
  assert.deepEqual(await page.locator('.finding-group h4').allTextContents(), REVIEW_GROUPS);
  assert.deepEqual(await page.locator('.finding-group li').allTextContents(),
    ['Line 5: this line has 6 fields where the header line has 5: "1,000.00" reads as one amount whose ' +
     'thousands commas split it into fields of their own, which moves the fields after it; quote the amount, or ' +
     'write amounts without thousands separators',
     'Account_Balance: the balances sum to 11.00, not zero', 'Line 3, Account_Balance "abc": "abc" is not a number']);
  const finding = page.locator('button.finding', { hasText: 'Line 3' });
  await finding.focus();
  await page.keyboard.press('Enter');
  await page.locator('#finding-line mark').waitFor();
  assert.equal(await page.locator('#finding-line .line-caption').textContent(),
    'Line 3 of ' + path.join(data, 'bal.csv') + ', Account_Balance marked:');
  assert.equal(await finding.textContent(), 'Line 3, Account_Balance "abc": "abc" is not a number');
  assert.equal(await page.locator('#finding-line pre').textContent(), '2000,Payables,20,200,abc');
  assert.equal(await page.locator('#finding-line mark').textContent(), 'abc');
  if (shots) {
    await page.setViewportSize({ width: 1920, height: 1080 });
    await page.screenshot({ path: path.join(shots, 'import-review.png') });
  }
}, { store: TWO_FITS });

test('the editor for the keyboard and screen readers: roles, names, grey reasons, Home and End, boxes on Enter, a taller preview', async ({ context }) => {
  const page = await importPage(context);
  assert.deepEqual(await accessibilityProblems(page), []);
  const frame = await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
  await cell(frame, 2, 1).waitFor();
  assert.deepEqual(await accessibilityProblems(frame), []);
  assert.equal(await frame.locator('#grid').getAttribute('role'), 'grid');
  assert.equal(await frame.locator('#grid [role=row][aria-rowindex="3"] [role=gridcell][aria-colindex="2"]:not(.loading)').textContent(), '1000');
  assert.match(await frame.locator('#instruction').textContent(), /click the column/);
  // The reason an item is grey is on the screen.
  assert.equal(await item(frame, 'Company Number').locator('.item-reason').textContent(), 'not used by FCOA');
  assert.equal(await item(frame, 'Company Number').locator('.item-reason').isVisible(), true);
  // Home and End go to the first and last item that can be placed.
  const usable = await frame.locator('.item[data-available="yes"] .caption').allTextContents();
  assert.deepEqual([usable[0], usable[usable.length - 1]], ['Account Number', 'TCC']);
  await frame.locator('#items').focus();
  await page.keyboard.press('End');
  await frame.locator('.item[aria-selected="true"] .caption', { hasText: /^TCC$/ }).waitFor();
  await page.keyboard.press('Home');
  await frame.locator('.item[aria-selected="true"] .caption', { hasText: /^Account Number$/ }).waitFor();
  // The boxes apply on Enter or on leaving; a refused value gives back the last good one.
  await place(frame, 'Account Number', 2, 1);
  await frame.locator('#col-box').fill('3');
  assert.deepEqual(await numbers(frame, 'Account Number'), ['1', '2']);
  await frame.locator('#col-box').press('Tab');
  await item(frame, 'Account Number').locator('.col-num', { hasText: /^3$/ }).waitFor();
  await frame.locator('#col-box').fill('99');
  await frame.locator('#col-box').press('Enter');
  assert.equal(await message(frame), 'Invalid column number');
  assert.equal(await frame.locator('#col-box').inputValue(), '3');
  assert.deepEqual(await numbers(frame, 'Account Number'), ['3', '2']);
  // The records preview is made taller with the keys.
  const height = () => frame.locator('#live').evaluate((e) => e.offsetHeight);
  const before = await height();
  await frame.locator('#live-splitter').focus();
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('ArrowUp');
  assert.equal(await height(), before + 40);
  if (shots) {
    await page.setViewportSize({ width: 1920, height: 1080 });
    await page.waitForTimeout(300);
    await page.screenshot({ path: path.join(shots, 'editor.png') });
  }
  await cancel(page, frame);
  // Focus goes back to the Import button.
  await until(async () => (await page.evaluate(() => document.activeElement && document.activeElement.id)) === 'import' ? true : undefined,
    5000, 'the Import button has not the focus');
  const text = await openEditor(page, { file: 'je.prn', type: 'FBJ' });
  await text.locator('.text-line').first().waitFor();
  assert.match(await text.locator('#instruction').textContent(), /select the characters/);
  assert.deepEqual(await accessibilityProblems(text), []);
  await cancel(page, text);
});

// ---- Runner --------------------------------------------------------------------------------

const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
let passed = 0;
let failed = 0;
for (const t of tests) {
  if (only && !t.name.includes(only)) continue;
  const errors = [];
  let server = null;
  let context = null;
  try {
    server = await startServer();
    ({ url } = server);
    token = url.searchParams.get('token');
    origin = url.origin;
    ({ home, data } = server);
    ini = path.join(home, 'import.ini');
    for (const [name, text] of Object.entries(files)) fs.writeFileSync(path.join(data, name), text);
    for (const name of t.options.files || []) fs.writeFileSync(path.join(data, name), largeFiles[name]());
    if (t.options.store) fs.writeFileSync(ini, t.options.store(data), 'latin1');
    context = await browser.newContext({ viewport: { width: 1400, height: 900 } });
    context.setDefaultTimeout(10000);
    context.on('page', (p) => p.on('pageerror', (e) => errors.push(e.message)));
    // A test that hangs fails instead of holding up the rest.
    let timer = 0;
    const limit = new Promise((resolve, reject) => { timer = setTimeout(() => reject(new Error('the test took over 120 s')), 120000); });
    try {
      await Promise.race([t.fn({ context, server }), limit]);
    } finally {
      clearTimeout(timer);
    }
    if (errors.length) throw new Error('page error: ' + errors.join('; '));
    passed++;
    console.log(`ok - ${t.name}`);
  } catch (e) {
    failed++;
    if (process.env.ZEPHRIN_FAILSHOTS && context) {
      let k = 0;
      for (const p of context.pages()) await p.screenshot({ path: path.join(process.env.ZEPHRIN_FAILSHOTS, 'fail-' + (k++) + '.png') }).catch(() => {});
    }
    console.log(`not ok - ${t.name}\n  ${String(e.stack || e).split('\n').slice(0, 6).join('\n  ')}`);
    if (server && server.err.trim()) console.log('  server: ' + server.err.trim().split('\n').slice(-5).join('\n  server: '));
  }
  if (context) await context.close().catch(() => {});
  if (server) await stopServer(server);
}
await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
