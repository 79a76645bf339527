// Shared by the pages: requests to the server (every one carries the token),
// modal message boxes, and the file dialog.
'use strict';

const Zephrin = (() => {
  const token = document.querySelector('meta[name="zephrin-token"]').content;

  async function post(path, body) {
    const response = await fetch(path, {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': token },
      body: JSON.stringify(body),
      cache: 'no-store',
    });
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
  function showMessages(messages) {
    let last = Promise.resolve();
    for (const m of messages || []) last = messageBox(m.caption, m.text);
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

  return { token, post, rpc, editor, el, messageBox, showMessages, fileDialog };
})();
