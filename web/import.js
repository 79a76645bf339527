// The import page: choose a data file, an import type and a template, run
// the import, and manage the saved templates. Every step is a call of the
// host protocol on the server's one service object.
'use strict';

(() => {
  const { el } = Zephrin;
  const $ = (id) => document.getElementById(id);
  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  const NOT_AVAILABLE = -32000;
  const FALLBACK_FILTERS = [
    { label: 'Comma Delimited(*.csv)', patterns: '*.csv' },
    { label: 'Data Interchange Format(*.dif)', patterns: '*.dif' },
    { label: 'Text Files(*.txt;*.prn)', patterns: '*.txt;*.prn' },
    { label: 'All Files(*.*)', patterns: '*' },
  ];

  let listing = { templates: [], files: [] };
  const unavailable = new Set();

  function status(text) { $('status').textContent = text || ''; }

  // A call of the host protocol. While it runs, file dialogs that it opens
  // are shown by this page and answered with the user's choice.
  async function call(method, params) {
    let done = false;
    const watcher = (async () => {
      let shown = null;
      while (!done) {
        await sleep(200);
        if (done) break;
        const s = await Zephrin.editor({ action: 'state' }).catch(() => null);
        if (s && s.dialog && s.dialog.id !== shown) {
          shown = s.dialog.id;
          const chosen = await Zephrin.fileDialog(s.dialog);
          await Zephrin.editor({ action: 'answer', dialog: s.dialog.id, path: chosen ? chosen.path : null,
            filterIndex: chosen ? chosen.filterIndex : 1 }).catch(() => {});
        }
      }
    })();
    try {
      return await Zephrin.rpc(method, params);
    } catch (e) {
      if (e.code === NOT_AVAILABLE) unavailable.add(method);
      throw e;
    } finally {
      done = true;
      await watcher;
    }
  }

  function confirmBox(caption, text) {
    return new Promise((resolve) => {
      let answer = false;
      const ok = el('button', { type: 'button', class: 'default', text: 'OK' });
      const cancel = el('button', { type: 'button', text: 'Cancel' });
      const dialog = el('dialog', { class: 'message-box', 'aria-label': caption },
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

  // ---- Choices -------------------------------------------------------------------

  function importType() { return $('import-type').value; }
  function intlKind() { return importType() === 'INTL' ? Number($('intl-kind').value || 0) : 0; }
  function dataFile() { return $('data-file').value.trim(); }

  async function loadCatalogue() {
    const c = await Zephrin.editor({ action: 'catalogue' });
    $('import-type').replaceChildren(...c.types.map((t) => el('option', { value: t.code, text: t.code + ' — ' + t.caption })));
    $('intl-kind').replaceChildren(...c.intlKinds.map((k, i) => el('option', { value: String(i), text: i + ' ' + k })));
    typeChanged();
  }

  function typeChanged() {
    const intl = importType() === 'INTL';
    for (const id of ['intl-kind', 'intl-kind-label', 'intl-kind-spacer']) $(id).hidden = !intl;
  }

  // ---- The template listing --------------------------------------------------------

  function parseListing(xml) {
    const doc = new DOMParser().parseFromString(xml, 'text/xml');
    const text = (node, name) => { const e = node.getElementsByTagName(name)[0]; return e ? e.textContent : ''; };
    return {
      templates: [...doc.getElementsByTagName('TMPL')].map((t) => ({ num: t.getAttribute('num'), type: text(t, 'imptype'), name: text(t, 'name') })),
      files: [...doc.getElementsByTagName('FILES')].map((f) => ({ num: f.getAttribute('num'), file: text(f, 'fname'), template: text(f, 'templ') })),
      folder: text(doc, 'PATHNAME'),
    };
  }

  async function refreshListing(select) {
    try {
      const r = await call('GetTemplateInfo', []);
      listing = parseListing(r.value || '<INFO/>');
      $('manager-note').textContent = listing.folder ? 'Template store: ' + listing.folder + '/import.ini' : '';
    } catch (e) {
      listing = { templates: [], files: [] };
      $('manager-note').textContent = e.code === NOT_AVAILABLE ? 'The template listing is not available in this version.' : e.message;
    }
    const current = select !== undefined ? select : $('template').value;
    $('template').replaceChildren(
      el('option', { value: '', text: listing.templates.length ? '(choose a template)' : '(no saved templates)' }),
      ...listing.templates.map((t) => el('option', { value: t.name, text: t.name + '  (' + t.type + ')' })));
    const match = listing.templates.find((t) => t.name.toUpperCase() === String(current || '').toUpperCase());
    $('template').value = match ? match.name : '';
    drawManager();
  }

  // The template last used for the data file, when there is one.
  function suggestTemplate() {
    const f = dataFile().toUpperCase();
    const entry = listing.files.find((x) => x.file === f);
    if (entry && entry.template && listing.templates.some((t) => t.name === entry.template)) $('template').value = entry.template;
  }

  function drawManager() {
    const tl = $('template-list');
    tl.replaceChildren(el('tr', {}, el('th', { text: '#' }), el('th', { text: 'Type' }), el('th', { text: 'Name' }), el('th', {})));
    for (const t of listing.templates) {
      const del = el('button', { type: 'button', text: 'Delete', 'aria-label': 'Delete ' + t.name });
      del.addEventListener('click', () => deleteTemplate(t.name));
      tl.append(el('tr', {}, el('td', { text: t.num }), el('td', { text: t.type }), el('td', { text: t.name }), el('td', { class: 'actions' }, del)));
    }
    if (!listing.templates.length) tl.append(el('tr', {}, el('td', { colspan: '4', text: 'No saved templates.' })));
    const fl = $('file-list');
    fl.replaceChildren(el('tr', {}, el('th', { text: '#' }), el('th', { text: 'Data file' }), el('th', { text: 'Template' }), el('th', {})));
    for (const f of listing.files) {
      const forget = el('button', { type: 'button', text: 'Forget', 'aria-label': 'Forget ' + f.file });
      forget.addEventListener('click', () => forgetFile(f.file));
      fl.append(el('tr', {}, el('td', { text: f.num }), el('td', { text: f.file }), el('td', { text: f.template }), el('td', { class: 'actions' }, forget)));
    }
    if (!listing.files.length) fl.append(el('tr', {}, el('td', { colspan: '4', text: 'No data files recorded.' })));
  }

  async function deleteTemplate(name) {
    if (!await confirmBox('Import', 'Delete the template ' + name + '?')) return;
    try {
      const r = await call('DeleteLayout', [name]);
      await Zephrin.showMessages(r.messages);
    } catch (e) { await Zephrin.messageBox('Import', e.message); }
    await refreshListing();
  }

  async function forgetFile(file) {
    if (!await confirmBox('Import', 'Forget which template ' + file + ' was last imported with?')) return;
    try {
      const r = await call('DeleteFileName', [file]);
      await Zephrin.showMessages(r.messages);
    } catch (e) { await Zephrin.messageBox('Import', e.message); }
    await refreshListing();
  }

  // ---- Browsing and editing ------------------------------------------------------------

  async function browse() {
    if (!unavailable.has('BrowseForImport')) {
      try {
        const r = await call('BrowseForImport', [importType()]);
        await Zephrin.showMessages(r.messages);
        if (r.value) { $('data-file').value = r.value; await refreshListing(); suggestTemplate(); }
        return;
      } catch (e) {
        if (e.code !== NOT_AVAILABLE) { await Zephrin.messageBox('Import', e.message); return; }
      }
    }
    // Without the engine's picker, the page's own dialog chooses a path.
    const chosen = await Zephrin.fileDialog({ title: 'Select Import File', filters: FALLBACK_FILTERS, filterIndex: 1 });
    if (chosen) { $('data-file').value = chosen.path; suggestTemplate(); }
  }

  async function openEditor(templateName) {
    if (!dataFile()) { await Zephrin.messageBox('Import', 'Choose a data file first: the editor shows it.'); return; }
    const frame = el('iframe', { src: 'editor.html?token=' + encodeURIComponent(Zephrin.token), title: 'Layout editor' });
    const overlay = el('div', { class: 'editor-overlay' }, frame);
    document.body.append(overlay);
    status('The layout editor is open.');
    try {
      const r = await call('EditLayout', [templateName, intlKind(), importType(), dataFile()]);
      overlay.remove();
      await Zephrin.showMessages(r.messages);
      if (r.value !== null && r.value !== '') {
        await refreshListing(r.value);
        status('Template ' + r.value + (r.value ? ' is ready.' : ''));
      } else {
        await refreshListing();
        status(r.value === null ? '' : 'The editor was cancelled.');
      }
    } catch (e) {
      overlay.remove();
      await Zephrin.messageBox('Import', e.message);
      status('');
    }
  }

  // ---- Importing ---------------------------------------------------------------------------

  function pretty(xml) {
    let depth = 0;
    return xml.replace(/>\s*</g, '>\n<').split('\n').map((line) => {
      if (/^<\//.test(line)) depth = Math.max(0, depth - 1);
      const out = '  '.repeat(depth) + line;
      if (/^<[^!?/][^>]*[^/]>$/.test(line) && !/<\/[^>]+>$/.test(line)) depth++;
      return out;
    }).join('\n');
  }

  function showResult(xml) {
    $('result-panel').hidden = false;
    const error = $('result-error');
    const body = $('result-body');
    error.hidden = true;
    body.hidden = false;
    $('xml').textContent = xml ? pretty(xml) : '';
    const fail = (text) => {
      error.textContent = text;
      error.hidden = false;
      $('records').replaceChildren();
      $('summary').textContent = '';
    };
    if (!xml) return fail('The import read nothing: the file holds no data that this template can read.');
    if (xml.startsWith('NOT A CSV,DIF, TXT or PRN FILE-')) return fail('The file name does not name a known format: ' + xml);
    const doc = new DOMParser().parseFromString(xml, 'text/xml');
    if (doc.getElementsByTagName('parsererror').length) return fail('The result is not an XML document.');
    const root = doc.documentElement;
    if (root.nodeName === 'Error') return fail('The import failed: ' + root.textContent.trim());

    const records = [...root.children].filter((r) => r.nodeName !== 'TMPLT' && r.nodeName !== 'TMPL');
    const columns = [];
    const seen = new Set();
    const rows = records.map((rec) => {
      const row = new Map();
      const put = (key, value) => {
        if (!seen.has(key)) { seen.add(key); columns.push(key); }
        row.set(key, row.has(key) ? row.get(key) + '; ' + value : value);
      };
      for (const a of rec.attributes) put('@' + a.name, a.value);
      for (const child of rec.children) {
        if (child.children.length) {
          for (const g of child.children) {
            if (g.children.length) for (const gg of g.children) put(child.nodeName + '/' + g.nodeName + '/' + gg.nodeName, gg.textContent);
            else put(child.nodeName + '/' + g.nodeName, g.textContent);
          }
        } else {
          put(child.nodeName, child.textContent);
        }
      }
      return row;
    });
    $('summary').textContent = records.length + ' record' + (records.length === 1 ? '' : 's') + ' in ' + root.nodeName +
      (records.length ? ' (' + records[0].nodeName + ')' : '');
    const table = $('records');
    table.replaceChildren(el('thead', {}, el('tr', {}, ...columns.map((c) => el('th', { text: c })))),
      el('tbody', {}, ...rows.map((row) => el('tr', {}, ...columns.map((c) => el('td', { text: row.get(c) || '' }))))));
  }

  async function runImport() {
    if (!dataFile()) { await Zephrin.messageBox('Import', 'Choose a data file to import.'); return; }
    if (!$('template').value) { await Zephrin.messageBox('Import', 'Choose a template, or make one with New template….'); return; }
    status('Importing…');
    try {
      const r = importType() === 'INTL'
        ? await call('ReadIntlImportFile', [dataFile(), $('template').value, importType(), $('object-id').value, Number($('year').value) || 0, intlKind()])
        : await call('ReadImportFile', [dataFile(), $('template').value, importType(), $('object-id').value, '']);
      await Zephrin.showMessages(r.messages);
      showResult(r.value || '');
      status('');
    } catch (e) {
      status('');
      await Zephrin.messageBox('Import', e.message);
    }
    await refreshListing();
  }

  // ---- Settings ------------------------------------------------------------------------------

  $('year').addEventListener('change', async () => {
    const year = Number($('year').value);
    if (Number.isInteger(year) && year >= 0 && year <= 32767) await call('SetCurrentYear', [year]).catch(() => {});
  });
  $('return-type').addEventListener('change', () => call('TaxReturnType', [$('return-type').value]).catch(() => {}));
  $('batch').addEventListener('change', async () => {
    await call('SetBatchIndicator', [1]).catch(() => {});
    $('batch').checked = true;
    $('batch').disabled = true;
  });

  $('import-type').addEventListener('change', typeChanged);
  $('data-file').addEventListener('change', suggestTemplate);
  $('browse').addEventListener('click', browse);
  $('new-template').addEventListener('click', () => openEditor(''));
  $('edit-template').addEventListener('click', async () => {
    if (!$('template').value) { await Zephrin.messageBox('Import', 'Choose the template to edit.'); return; }
    openEditor($('template').value);
  });
  $('import').addEventListener('click', runImport);

  (async () => {
    try {
      await loadCatalogue();
      await refreshListing();
    } catch (e) {
      await Zephrin.messageBox('Import', 'The server cannot be reached: ' + e.message);
    }
  })();
})();
