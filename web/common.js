// Shared by the pages: requests to the server (every one carries the token),
// modal message boxes, and the file dialog.
'use strict';

const Zephrin = (() => {
  const token = document.querySelector('meta[name="zephrin-token"]').content;

  // What a request that got no answer at all says (the browser's own words,
  // "Failed to fetch", say nothing of what to do).
  const UNREACHABLE = 'The server cannot be reached: it may have stopped. Start zephrinimport serve again and open the address it prints.';

  async function post(path, body) {
    let response;
    try {
      response = await fetch(path, {
        method: 'POST',
        headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token },
        body: JSON.stringify(body),
        cache: 'no-store',
      });
    } catch (e) {
      const gone = new Error(UNREACHABLE);
      gone.unreachable = true;
      throw gone;
    }
    if (!response.ok) throw new Error((await response.text()).trim() || ('HTTP ' + response.status));
    if (response.status === 204) return null;
    return response.json();
  }

  let rpcId = 0;
  // One host-protocol call: {value, status, messages} or throws with the error.
  async function rpc(method, params) {
    const reply = await post('/rpc', { jsonrpc: '2.0', id: ++rpcId, method, params: params || [] });
    if (reply.error) {
      const e = new Error(reply.error.message);
      e.code = reply.error.code;
      throw e;
    }
    return reply.result;
  }

  function editor(request) { return post('/editor', request); }

  function el(tag, attrs, ...children) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attrs || {})) {
      if (k === 'class') e.className = v;
      else if (k === 'text') e.textContent = v;
      else if (k.startsWith('on')) e.addEventListener(k.slice(2), v);
      else if (v === true) e.setAttribute(k, '');
      else if (v !== false && v !== null && v !== undefined) e.setAttribute(k, v);
    }
    for (const c of children) if (c !== null && c !== undefined) e.append(c);
    return e;
  }

  // Message boxes are shown one at a time, each modal, in the order asked.
  let boxQueue = Promise.resolve();
  function messageBox(caption, text) {
    boxQueue = boxQueue.then(() => new Promise((resolve) => {
      const ok = el('button', { class: 'default', text: 'OK', type: 'submit' });
      const dialog = el('dialog', { class: 'message-box', 'aria-label': caption },
        el('form', { method: 'dialog' },
          el('div', { class: 'titlebar', text: caption }),
          el('div', { class: 'message-text', text }),
          el('div', { class: 'buttons' }, ok)));
      dialog.addEventListener('close', () => { dialog.remove(); resolve(); });
      document.body.append(dialog);
      dialog.showModal();
      ok.focus();
    }));
    return boxQueue;
  }
  // OK (named `okText`) and Cancel; resolves to true for OK.
  function confirmBox(caption, text, okText) {
    return new Promise((resolve) => {
      let answer = false;
      const ok = el('button', { type: 'button', class: 'default', text: okText || 'OK' });
      const cancel = el('button', { type: 'button', text: 'Cancel' });
      const dialog = el('dialog', { class: 'message-box confirm-box', 'aria-label': caption },
        el('div', { class: 'titlebar', text: caption }),
        el('div', { class: 'message-text', text }),
        el('div', { class: 'buttons' }, ok, cancel));
      ok.addEventListener('click', () => { answer = true; dialog.close(); });
      cancel.addEventListener('click', () => dialog.close());
      dialog.addEventListener('close', () => { dialog.remove(); resolve(answer); });
      document.body.append(dialog);
      dialog.showModal();
      cancel.focus();
    });
  }
  function showMessages(messages) {
    let last = Promise.resolve();
    // The engine gives some messages no caption: the box is still named.
    for (const m of messages || []) last = messageBox(m.caption || 'Import', m.text);
    return last;
  }

  // "*.csv;*.txt" -> a test of file names.
  function filterTest(patterns) {
    const res = patterns.split(';').map((p) => p.trim()).filter(Boolean).map((p) =>
      new RegExp('^' + p.replace(/[.+^${}()|[\]\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.') + '$', 'i'));
    return (name) => res.length === 0 || res.some((r) => r.test(name));
  }

  // The file dialog: lists the folders the server may show. Resolves to
  // {path, filterIndex} or null when cancelled.
  function fileDialog(options) {
    const filters = (options.filters && options.filters.length) ? options.filters : [{ label: 'All Files (*.*)', patterns: '*.*' }];
    return new Promise((resolve) => {
      let dir = '';
      let result = null;
      const look = el('span', { class: 'look-in' });
      const up = el('button', { type: 'button', text: 'Up', title: 'Up one level' });
      const list = el('div', { class: 'file-list', role: 'listbox', tabindex: '0' });
      const name = el('input', { type: 'text', class: 'file-name', 'aria-label': 'File name', value: options.initialFileName || '' });
      const types = el('select', { 'aria-label': 'Files of type' },
        ...filters.map((f, i) => el('option', { value: String(i), text: f.label })));
      types.selectedIndex = Math.min(Math.max((options.filterIndex || 1) - 1, 0), filters.length - 1);
      const error = el('div', { class: 'file-error', role: 'alert' });
      const open = el('button', { type: 'button', class: 'default', text: options.kind === 'save' ? 'Save' : 'Open' });
      const cancel = el('button', { type: 'button', text: 'Cancel' });
      const dialog = el('dialog', { class: 'file-dialog', 'aria-label': options.title || 'Open' },
        el('div', { class: 'titlebar', text: options.title || 'Open' }),
        el('div', { class: 'look-row' }, el('label', { text: 'Look in:' }), look, up),
        list,
        el('div', { class: 'name-row' }, el('label', { text: 'File name:' }), name, open),
        el('div', { class: 'name-row' }, el('label', { text: 'Files of type:' }), types, cancel),
        error);
      let parent = null;

      async function show(folder) {
        const listing = await editor({ action: 'list', dir: folder });
        if (listing.error) {
          if (folder !== '') { error.textContent = listing.error; return show(''); }
          error.textContent = listing.error;
          return;
        }
        dir = listing.dir;
        parent = listing.parent;
        look.textContent = dir || 'Folders this server may show';
        up.disabled = dir === '';
        const test = filterTest(filters[types.selectedIndex].patterns);
        list.replaceChildren();
        for (const entry of listing.entries) {
          if (!entry.dir && !test(entry.name)) continue;
          const row = el('div', { class: 'file-entry' + (entry.dir ? ' folder' : ''), role: 'option', 'data-path': entry.path },
            el('span', { class: 'icon', 'aria-hidden': 'true' }), el('span', { text: entry.name + (entry.dir && !entry.name.endsWith('/') ? '/' : '') }));
          row.addEventListener('click', () => {
            for (const r of list.children) r.classList.remove('chosen');
            row.classList.add('chosen');
            if (!entry.dir) name.value = entry.name;
          });
          row.addEventListener('dblclick', () => {
            if (entry.dir) show(entry.path);
            else { name.value = entry.name; choose(); }
          });
          list.append(row);
        }
      }
      function choose() {
        const n = name.value.trim();
        if (!n) return;
        const path = n.startsWith('/') ? n : (dir ? dir.replace(/\/$/, '') + '/' + n : n);
        result = { path, filterIndex: types.selectedIndex + 1 };
        dialog.close();
      }
      up.addEventListener('click', () => show(parent === null ? '' : parent));
      types.addEventListener('change', () => show(dir));
      open.addEventListener('click', choose);
      name.addEventListener('keydown', (e) => { if (e.key === 'Enter') { e.preventDefault(); choose(); } });
      cancel.addEventListener('click', () => dialog.close());
      dialog.addEventListener('close', () => { dialog.remove(); resolve(result); });
      document.body.append(dialog);
      dialog.showModal();
      show(options.initialFolder || '');
      name.focus();
    });
  }

  // ---- Read results ------------------------------------------------------------------

  // A value as the host finally stores it: the engine escapes the texts it
  // writes once more than XML needs ("&amp;amp;"), and the host undoes that.
  function hostValue(text) {
    return text.replace(/&(amp|lt|gt|quot|apos|#[0-9]+|#x[0-9a-fA-F]+);/g, (m, name) => {
      switch (name) {
        case 'amp': return '&';
        case 'lt': return '<';
        case 'gt': return '>';
        case 'quot': return '"';
        case 'apos': return "'";
        default: {
          const code = name[1] === 'x' ? parseInt(name.slice(2), 16) : parseInt(name.slice(1), 10);
          return Number.isFinite(code) && code > 0 && code <= 0x10ffff ? String.fromCodePoint(code) : m;
        }
      }
    });
  }

  // A read's text as a person reads it: {kind: 'document'|'error'|'empty'|'unknown-format'|'broken',
  // message, root, recordName, count, columns, rows}. A record with lists
  // (a journal entry's accounts, a balance's jurisdictions) takes one row per
  // list entry, its own fields on the first.
  // The kind comes from the read's outcome, never from the text's first bytes.
  // The records of a read as rows of values; rows are made for the first
  // `shownRecords` records only (a large import is counted whole, and its
  // table stays one a browser can draw).
  function readResult(xml, outcome, shownRecords = Infinity) {
    if (outcome === 'empty' || !xml) return { kind: 'empty', message: 'The read gave nothing: the file holds no data that this template can read.' };
    if (outcome === 'unknown-format')
      return { kind: 'unknown-format', message: 'The file name does not name a known format: ' + xml };
    const doc = new DOMParser().parseFromString(xml, 'text/xml');
    if (doc.getElementsByTagName('parsererror').length) return { kind: 'broken', message: 'The result is not an XML document.' };
    const root = doc.documentElement;
    if (outcome === 'error') {
      const entries = [...root.getElementsByTagName('Err')];
      const lineOf = (e) => e.getAttribute('Line');
      let message;
      if (entries.length) message = entries.map((e) => (lineOf(e) ? 'line ' + lineOf(e) + ': ' : '') + hostValue(e.textContent.trim())).join('\n');
      else message = hostValue(root.textContent.trim()) + (lineOf(root) ? ' (line ' + lineOf(root) + ')' : '');
      return { kind: 'error', message, line: lineOf(root) };
    }
    const records = [...root.children].filter((r) => r.nodeName !== 'TMPLT' && r.nodeName !== 'TMPL');
    const columns = [];
    const seen = new Set();
    const rows = [];
    const note = (key) => { if (!seen.has(key)) { seen.add(key); columns.push(key); } };
    records.slice(0, shownRecords).forEach((rec, index) => {
      const own = new Map();
      const entries = [];
      const put = (map, key, value) => { note(key); map.set(key, value); };
      for (const a of rec.attributes) put(own, '@' + a.name, hostValue(a.value));
      for (const child of rec.children) {
        if (!child.children.length) { put(own, child.nodeName, hostValue(child.textContent)); continue; }
        for (const entry of child.children) {
          const m = new Map();
          for (const a of entry.attributes) put(m, child.nodeName + '/' + entry.nodeName + '@' + a.name, hostValue(a.value));
          if (entry.children.length) for (const f of entry.children) put(m, child.nodeName + '/' + f.nodeName, hostValue(f.textContent));
          else if (entry.textContent || !entry.attributes.length) put(m, child.nodeName + '/' + entry.nodeName, hostValue(entry.textContent));
          entries.push(m);
        }
      }
      if (!entries.length) { rows.push({ record: index, first: true, values: own }); return; }
      entries.forEach((m, k) => rows.push({ record: index, first: k === 0, values: k === 0 ? new Map([...own, ...m]) : m }));
    });
    return { kind: 'document', root: root.nodeName, recordName: records.length ? records[0].nodeName : '', count: records.length,
      shown: Math.min(records.length, shownRecords), columns, rows };
  }

  // The caption of a column of records: the caption of its element (the
  // last name of its path) when `captions` knows it, else the column itself.
  function columnCaption(column, captions) {
    const name = column.split(/[/@]/).pop();
    return (captions && Object.prototype.hasOwnProperty.call(captions, name)) ? captions[name] : column;
  }

  // The table of a document's records; with `captions` (element name ->
  // caption) the headings are the items' captions, the element names their tooltips.
  function recordsTable(table, result, captions) {
    const cols = result.columns;
    // Rows are appended one by one: spread as arguments, many thousands
    // would overflow the call stack.
    const body = el('tbody', {});
    for (const row of result.rows)
      body.append(el('tr', { class: row.first ? 'record' : 'record-cont' }, ...cols.map((c) => el('td', { text: row.values.get(c) || '' }))));
    // A record's Line is the host's number, which for most imports counts the
    // file's lines from 0: the review's findings count them from 1.
    const titleOf = (c) => (c === '@Line' ? '@Line: the line number the host receives (for most imports the data file\'s line counted from 0; the review counts lines from 1)' : c);
    table.replaceChildren(el('thead', {}, el('tr', {}, ...cols.map((c) => el('th', { text: columnCaption(c, captions), title: titleOf(c), scope: 'col' })))), body);
  }

  return { UNREACHABLE, token, post, rpc, editor, el, messageBox, confirmBox, showMessages, fileDialog, hostValue, readResult, recordsTable };
})();
