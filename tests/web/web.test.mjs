// Browser tests of the import page and the layout editor. Run by tests/web/run.
// Every test gets a server of its own (`zephrinimport serve`), started in a
// fresh data folder with a fresh ZEPHRINIMPORT_HOME, and a fresh browser
// context; none depends on another.
import { chromium } from 'playwright-core';
import { spawn } from 'node:child_process';
import assert from 'node:assert/strict';
import fs from 'node:fs';
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
  'big.csv': () => {
    const big = [];
    for (let i = 1; i <= 100000; i++) big.push(`${i},Account ${i},${i % 97}`);
    return big.join('\n') + '\n';
  },
};

// The store the editor test 'a new template on a CSV file' leaves, for the
// tests that start from it.
const GL_BOOK = (dataDir) => '[Import:GL Book]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\n' +
  'Account_Caption=1 2 0\nAccount_Balance=0 0 0\nTRC=2 2 0\nTCC=3 2 0\nAccount_Type=0 0 0\nSIC_Code=0 0 0\n' +
  'Activity_Number=0 0 0\nActivity_Name=0 0 0\n[Import:Layout]\n1=GL BOOK\n[Import:FileName]\n1=' +
  path.join(dataDir, 'tb.csv').toUpperCase() + '^GL BOOK\n';

// Starts `zephrinimport serve` in a fresh folder; resolves to the server.
async function startServer() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zephrin-web-'));
  const s = { dir, home: path.join(dir, 'home'), data: path.join(dir, 'data') };
  fs.mkdirSync(s.home);
  fs.mkdirSync(s.data);
  s.child = spawn(binary, ['serve'], { cwd: s.data, env: { ...process.env, ZEPHRINIMPORT_HOME: s.home }, stdio: ['ignore', 'pipe', 'pipe'] });
  s.out = '';
  s.err = '';
  s.child.stdout.on('data', (d) => { s.out += d; });
  s.child.stderr.on('data', (d) => { s.err += d; });
  s.exited = new Promise((resolve) => s.child.on('exit', resolve));
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

async function editorRequest(body) {
  const r = await fetch(origin + '/editor', {
    method: 'POST', headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token }, body: JSON.stringify(body),
  });
  return r.json();
}

// Ends an editor a failed test left open, so that the next test is not blocked.
async function cancelOpenEditor() {
  const s = await editorRequest({ action: 'state' }).catch(() => null);
  if (s && s.editor) await editorRequest({ action: 'cancel', session: s.editor.session });
  if (s && s.dialog) await editorRequest({ action: 'answer', dialog: s.dialog.id, path: null });
}

async function importPage(context) {
  const page = await context.newPage();
  await page.goto(url.href);
  await page.locator('#import-type option').first().waitFor({ state: 'attached' });
  return page;
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

const upper = (s) => s.toUpperCase();

// ---- Tests ---------------------------------------------------------------------------

const tests = [];
// options: files (names of largeFiles to write), store (import.ini text, from the data folder's path)
const test = (name, fn, options = {}) => tests.push({ name, fn, options });

test('a request without the token, from another origin or too large is refused', async () => {
  const plain = await fetch(origin + '/');
  assert.equal(plain.status, 403);
  assert.match(await plain.text(), /token/);
  const wrong = await fetch(origin + '/?token=' + '0'.repeat(32));
  assert.equal(wrong.status, 403);
  const rpc = (headers, body) => fetch(origin + '/rpc', { method: 'POST', headers, body });
  const call = JSON.stringify({ jsonrpc: '2.0', id: 1, method: 'GetTemplateInfo' });
  assert.equal((await rpc({ 'Content-Type': 'application/json' }, call)).status, 403);
  assert.equal((await rpc({ 'Content-Type': 'text/plain', 'X-Zephrin-Token': token }, call)).status, 415);
  assert.equal((await rpc({ 'Content-Type': 'application/json', 'X-Zephrin-Token': token, Origin: 'http://evil.example' }, call)).status, 403);
  // A body of 100 MB is refused without harm.
  const huge = Buffer.alloc(100 * 1024 * 1024, 0x20);
  assert.equal((await rpc({ 'Content-Type': 'application/json', 'X-Zephrin-Token': token }, huge)).status, 413);
  const ok = await rpc({ 'Content-Type': 'application/json', 'X-Zephrin-Token': token }, call);
  assert.equal(ok.status, 200);
  assert.match((await ok.json()).result.value, /^<INFO>/);
});

test('a request whose Host header names another server is refused (no DNS rebinding)', async () => {
  const http = await import('node:http');
  const status = await new Promise((resolve, reject) => {
    const req = http.request({ host: '127.0.0.1', port: url.port, path: '/?token=' + token, headers: { Host: 'rebind.example:' + url.port } },
      (res) => { res.resume(); resolve(res.statusCode); });
    req.on('error', reject);
    req.end();
  });
  assert.equal(status, 403);
});

test('a new template on a CSV file', async ({ context }) => {
  const page = await importPage(context);
  const frame = await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
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
  const row = item(frame, 'Account Number');
  assert.equal(await row.locator('.col-num').textContent(), '1');
  assert.equal(await row.locator('.len-num').textContent(), '2');

  await place(frame, 'Account Caption', 2, 2);
  await place(frame, 'TRC', 2, 3);
  await place(frame, 'TCC', 2, 4);
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-csv.png') });
  await frame.locator('#ok').click();
  await editorClosed(page);
  await page.locator('#template option', { hasText: 'GL BOOK' }).waitFor({ state: 'attached' });
  const expected = '[Import:GL Book]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\n' +
    'Account_Caption=1 2 0\nAccount_Balance=0 0 0\nTRC=2 2 0\nTCC=3 2 0\nAccount_Type=0 0 0\nSIC_Code=0 0 0\n' +
    'Activity_Number=0 0 0\nActivity_Name=0 0 0\n[Import:Layout]\n1=GL BOOK\n[Import:FileName]\n1=' +
    upper(path.join(data, 'tb.csv')) + '^GL BOOK\n';
  assert.equal(fs.readFileSync(ini, 'latin1'), expected);
});

test('an import from the import page shows its records', async ({ context }) => {
  const page = await importPage(context);
  await page.fill('#data-file', path.join(data, 'tb.csv'));
  await page.selectOption('#import-type', 'FCOA');
  await page.selectOption('#template', 'GL BOOK');
  await page.click('#import');
  await page.locator('#records tbody tr').first().waitFor();
  assert.equal(await page.locator('#records tbody tr').count(), 5);
  const headers = await page.locator('#records th').allTextContents();
  assert.ok(headers.includes('Account_Number'), headers.join(','));
  const first = await page.locator('#records tbody tr').first().locator('td').allTextContents();
  assert.ok(first.includes('1000') && first.includes('Cash'), first.join(','));
  assert.match(await page.locator('#xml').textContent(), /<FCOA/);
  assert.equal(await page.locator('#result-error').isHidden(), true);
  assert.match(await page.locator('#summary').textContent(), /^5 records in FCOA/);
  if (shots) await page.screenshot({ path: path.join(shots, 'import-page.png'), fullPage: true });
  // An error document is shown as a clear message.
  await page.fill('#data-file', path.join(data, 'missing.csv'));
  await page.click('#import');
  await page.locator('#result-error').waitFor();
  assert.match(await page.locator('#result-error').textContent(), /^The import failed: Error opening import file/);
}, { store: GL_BOOK });

test('editing an existing template: the name is read-only and placed items show their numbers', async ({ context }) => {
  const page = await importPage(context);
  const frame = await openEditor(page, { file: 'tb.csv', type: 'FCOA', template: 'GL BOOK' });
  assert.equal(await frame.locator('#name').inputValue(), 'GL BOOK');
  assert.equal(await frame.locator('#name').getAttribute('readonly'), '');
  assert.equal(await frame.locator('#ok').isDisabled(), false);
  const numbers = async (caption) => [await item(frame, caption).locator('.col-num').textContent(),
    await item(frame, caption).locator('.len-num').textContent()];
  assert.deepEqual(await numbers('Account Number'), ['1', '2']);
  assert.deepEqual(await numbers('TCC'), ['4', '2']);
  assert.deepEqual(await numbers('Account Balance'), ['0', '0']);
  assert.equal(await frame.locator('.cell.header[data-c="3"]').textContent(), 'TRC');
  await frame.locator('#cancel').click();
  await editorClosed(page);
}, { store: GL_BOOK });

test('an unavailable item is drawn grey and never drawn selected', async ({ context }) => {
  const page = await importPage(context);
  const frame = await openEditor(page, { file: 'tb.csv', type: 'FCOA' });
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
  await frame.locator('#cancel').click();
  await editorClosed(page);
});

test('a file with 25 blank lines in a row shows the message', async ({ context }) => {
  const page = await importPage(context);
  const frame = await openEditor(page, { file: 'blank.csv', type: 'FCOA' });
  const box = frame.locator('dialog.message-box');
  await box.waitFor();
  assert.equal(await box.locator('.titlebar').textContent(), 'Import');
  assert.equal(await box.locator('.message-text').textContent(),
    'This import file has at least 25 contiguous blank lines.  Please check your file and delete unneeded blank lines before import.');
  await box.locator('button', { hasText: 'OK' }).click();
  await box.waitFor({ state: 'detached' });
  assert.equal(await frame.locator('.cell.rownum', { hasText: /^26$/ }).count(), 1);
  await frame.locator('#cancel').click();
  await editorClosed(page);
});

test('a fixed-width journal-entry template by text selection', async ({ context }) => {
  const page = await importPage(context);
  const frame = await openEditor(page, { file: 'je.prn', type: 'FBJ' });
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
  // The current item's characters are shown selected.
  assert.ok(await frame.locator('.text-sel').count() >= 1);
  if (shots) await page.locator('iframe[title="Layout editor"]').screenshot({ path: path.join(shots, 'editor-fixed-width.png') });
  await frame.locator('#ok').click();
  await editorClosed(page);
  const store = fs.readFileSync(ini, 'latin1');
  const start = store.indexOf('[Import:JE Book]');
  const end = store.indexOf('\n[', start);
  const section = store.slice(start, end < 0 ? store.length : end + 1);
  assert.match(section, /^\[Import:JE Book\]\nInfo=JE\nFsiType=FEDERAL\nCompany_Number=0 0 0\nJE_Type=0 1 0\nJE_Number=2 5 0\nJE_Caption=8 16 0\n/);
  assert.match(section, /\nAccount_Number=2 4 224\n/);
});

test('a 100,000-line file stays responsive', async ({ context }) => {
  const page = await importPage(context);
  const started = Date.now();
  const frame = await openEditor(page, { file: 'big.csv', type: 'FCOA' });
  await cell(frame, 1, 2).waitFor();
  assert.equal(await frame.locator('.cell.rownum').first().textContent(), '1');
  // Scroll to the end: the last rows are drawn.
  await frame.locator('#grid').evaluate((g) => { g.scrollTop = g.scrollHeight; });
  await frame.locator('.cell.rownum', { hasText: /^100000$/ }).waitFor();
  await frame.locator('.cell', { hasText: /^Account 100000$/ }).waitFor();
  assert.ok(Date.now() - started < 20000, 'took ' + (Date.now() - started) + ' ms');
  await frame.locator('#cancel').click();
  await editorClosed(page);
}, { files: ['big.csv'] });

test('zephrinimport edit opens the editor page alone and prints the saved name', async ({ context }) => {
  const { spawn } = await import('node:child_process');
  const editHome = fs.mkdtempSync(path.join(os.tmpdir(), 'zephrin-edit-'));
  const file = path.join(data, 'rates.csv');
  fs.writeFileSync(file, 'CA,8.84\nNY,6.5\n');
  const child = spawn(process.env.ZEPHRIN_BINARY, ['edit', file, '--type', 'TAXRATE'],
    { env: { ...process.env, ZEPHRINIMPORT_HOME: editHome }, stdio: ['ignore', 'pipe', 'pipe'] });
  let out = '', err = '';
  child.stdout.on('data', (d) => { out += d; });
  child.stderr.on('data', (d) => { err += d; });
  const exited = new Promise((resolve) => child.on('exit', resolve));
  try {
    for (let i = 0; i < 100 && !/http:\S+/.test(err); i++) await new Promise((r) => setTimeout(r, 100));
    const address = err.match(/http:\S+/)[0];
    const page = await context.newPage();
    await page.goto(address);
    await page.locator('#dialog').waitFor({ state: 'visible' });
    assert.equal(await page.title(), 'Import Template - Tax Rates');
    await page.fill('#name', 'Rates');
    await item(page, 'Jurisdiction').click();
    await cell(page, 1, 1).click();
    await page.locator('.cell.header[data-c="1"]', { hasText: 'Jurisdiction' }).waitFor();
    await page.click('#ok');
    await page.locator('#closed').waitFor({ state: 'visible' });
    assert.equal(await exited, 0);
    assert.equal(out, 'Rates\n');
    assert.match(fs.readFileSync(path.join(editHome, 'import.ini'), 'latin1'), /^\[Import:Rates\]\nInfo=TAXRATE\n/);
  } finally {
    if (child.exitCode === null) child.kill('SIGTERM');
    fs.rmSync(editHome, { recursive: true, force: true });
  }
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
    await t.fn({ context, server });
    if (errors.length) throw new Error('page error: ' + errors.join('; '));
    passed++;
    console.log(`ok - ${t.name}`);
  } catch (e) {
    failed++;
    console.log(`not ok - ${t.name}\n  ${String(e.stack || e).split('\n').slice(0, 6).join('\n  ')}`);
    if (server && server.err.trim()) console.log('  server: ' + server.err.trim().split('\n').slice(-5).join('\n  server: '));
  }
  if (context) await context.close().catch(() => {});
  if (server) await stopServer(server);
}
await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
