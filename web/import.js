// The import page: choose a data file, an import type and a template, run
// the import, and manage the saved templates. Every step is a call of the
// host protocol on the server's one service object.
'use strict';

(() => {
  const { el, confirmBox } = Zephrin;
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
  // The import type each template was last imported with, as the server keeps them.
  let importTypes = {};

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

  // ---- Choices -------------------------------------------------------------------

  function importType() { return $('import-type').value; }
  function intlKind() { return importType() === 'INTL' ? Number($('intl-kind').value || 0) : 0; }
  function dataFile() { return $('data-file').value.trim(); }

  let types = [];
  let intlKinds = [];

  async function loadCatalogue() {
    const c = await Zephrin.editor({ action: 'catalogue' });
    types = c.types;
    intlKinds = c.intlKinds;
    drawTypes('');
    $('intl-kind').replaceChildren(...c.intlKinds.map((k, i) => el('option', { value: String(i), text: i + ' ' + k })));
    typeChanged();
    const settings = await Zephrin.editor({ action: 'pageSettings' }).catch(() => null);
    importTypes = (settings && settings.importTypes) || {};
  }

  // The international kind a template's kind names (an international template
  // lists its kind's name as its type); -1 when it names none.
  function intlKindOf(kind) {
    const k = String(kind || '').toUpperCase();
    return k ? intlKinds.findIndex((n) => n && n.toUpperCase() === k) : -1;
  }

  // The import types that take templates of a kind: those whose item set it
  // is, and INTL for an international kind.
  function typesTaking(kind) {
    const k = String(kind || '').toUpperCase();
    if (!k) return [];
    const direct = types.filter((t) => t.itemSet.toUpperCase() === k);
    if (direct.length || intlKindOf(kind) < 0) return direct;
    return types.filter((t) => t.itemSet === 'INTL');
  }

  // The import types: those that take the chosen template's kind first; the
  // type the template was last imported with chosen, else the chosen type
  // when it takes the template, else the template's own.
  function drawTypes(kind, remembered) {
    const current = importType();
    const option = (t) => el('option', { value: t.code, text: t.code + ' — ' + t.caption });
    const fits = typesTaking(kind);
    const select = $('import-type');
    if (fits.length) {
      select.replaceChildren(
        el('optgroup', { label: 'Types for ' + kind + ' templates' }, ...fits.map(option)),
        el('optgroup', { label: 'Other types' }, ...types.filter((t) => !fits.includes(t)).map(option)));
      const fitting = (code) => fits.some((t) => t.code === code);
      select.value = fitting(remembered) ? remembered : fitting(current) ? current : fits[0].code;
    } else {
      select.replaceChildren(...types.map(option));
      const known = (code) => types.some((t) => t.code === code);
      if (known(remembered)) select.value = remembered;
      else if (current) select.value = current;
    }
    typeChanged();
  }

  function templateKind(name) {
    const t = listing.templates.find((x) => x.name === name);
    return t ? t.type : '';
  }

  // The types for a template, and its international kind when it has one.
  function drawTypesFor(name) {
    const kind = templateKind(name);
    drawTypes(kind, importTypes[name]);
    if (intlKindOf(kind) >= 0) $('intl-kind').value = String(intlKindOf(kind));
  }

  function templateChanged() {
    drawTypesFor($('template').value);
    rememberedNote();
  }

  // Why a template cannot be imported as a type: its kind is one the type
  // does not take ('' when it does, or when its kind is not known).
  function kindRefusal(template, type) {
    const kind = templateKind(template);
    if (!kind) return '';
    const takers = typesTaking(kind);
    if (takers.some((t) => t.code === type)) return '';
    return 'Template ' + template + ' is a ' + kind + ' template: import type ' + type + ' does not take it. ' +
      (takers.length ? 'Import types that take it: ' + takers.map((t) => t.code).join(', ') + '.' : 'No import type takes it.');
  }

  // Keeps the type a template was imported with; '' or why it could not.
  async function rememberType(template, type) {
    const r = await Zephrin.editor({ action: 'rememberType', template, type }).catch((e) => ({ error: e.message }));
    if (r.error) return r.error;
    importTypes = r.importTypes;
    return '';
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
    if (select !== undefined || !match) drawTypesFor($('template').value);
    drawManager();
    rememberedNote();
  }

  // The template last used for the data file, when it still exists.
  function rememberedTemplate() {
    const f = dataFile().toUpperCase();
    const entry = listing.files.find((x) => x.file === f);
    return entry && entry.template && listing.templates.some((t) => t.name === entry.template) ? entry.template : '';
  }

  // A data file's remembered template fills an empty choice, never a made one.
  function suggestTemplate() {
    const remembered = rememberedTemplate();
    if (remembered && !$('template').value) {
      $('template').value = remembered;
      templateChanged();
    }
    rememberedNote();
  }

  // A data file was chosen: the remembered template as before, then the
  // saved templates that fit the file, best first, with the best one chosen.
  // Settled once the page has listed the templates for the first time.
  let listingReady = () => {};
  const firstListing = new Promise((resolve) => { listingReady = resolve; });
  let suggestionRun = 0;
  // Whether the template was chosen by the user (a choice the page never
  // replaces) rather than filled in by the page.
  let userChoseTemplate = false;
  async function dataFileChosen() {
    const run = ++suggestionRun;
    // The templates must be listed before one of them can be chosen.
    await firstListing;
    if (run !== suggestionRun) return;
    suggestTemplate();
    if (!dataFile()) { ImportReview.hideSuggestions(); return; }
    const fitting = await ImportReview.fittingTemplates(call, dataFile(), importType());
    if (run !== suggestionRun) return;
    if (!fitting || !fitting.length) { ImportReview.hideSuggestions(); return; }
    const known = fitting.filter((t) => listing.templates.some((x) => x.name === t.name));
    const best = known.length ? known[0].name : '';
    // A template the user chose stays chosen.
    if (best && $('template').value !== best && (!userChoseTemplate || !$('template').value)) {
      $('template').value = best;
      templateChanged();
    }
    const choose = (name) => { userChoseTemplate = true; $('template').value = name; templateChanged(); };
    ImportReview.drawSuggestions(fitting, rememberedTemplate(), $('template').value, choose);
  }

  // Makes an uploaded (or listed) file the data file.
  async function useDataFile(path) {
    $('data-file').value = path;
    await refreshListing();
    await dataFileChosen();
  }

  function rememberedNote() {
    const remembered = rememberedTemplate();
    const chosen = $('template').value;
    $('remembered').textContent = remembered
      ? (remembered === chosen ? 'This file was last imported with this template.'
        : 'This file was last imported with template ' + remembered + '.')
      : '';
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
    const names = new Set(listing.templates.map((t) => t.name));
    for (const f of listing.files) {
      const forget = el('button', { type: 'button', text: 'Forget', 'aria-label': 'Forget ' + f.file });
      forget.addEventListener('click', () => forgetFile(f.file));
      // An association whose template is gone leads nowhere: it says so.
      const deleted = !names.has(f.template);
      const templateCell = el('td', { class: deleted ? 'deleted' : '' }, f.template,
        deleted ? el('span', { class: 'deleted-note', text: ' (template deleted)' }) : null);
      fl.append(el('tr', { class: deleted ? 'deleted' : '' }, el('td', { text: f.num }), el('td', { text: f.file }), templateCell,
        el('td', { class: 'actions' }, forget)));
    }
    if (!listing.files.length) fl.append(el('tr', {}, el('td', { colspan: '4', text: 'No data files recorded.' })));
  }

  // Asks `question`; on OK calls `method` of the store with `name`, shows
  // what it says and lists the store again.
  async function confirmedStoreChange(question, method, name) {
    if (!await confirmBox('Import', question)) return;
    try {
      const r = await call(method, [name]);
      await Zephrin.showMessages(r.messages);
    } catch (e) { await Zephrin.messageBox('Import', e.message); }
    await refreshListing();
  }

  async function deleteTemplate(name) {
    await confirmedStoreChange('Delete the template ' + name + '?', 'DeleteLayout', name);
    // A deleted template's import type is forgotten with it.
    if (importTypes[name] && !listing.templates.some((t) => t.name === name)) await rememberType(name, '');
  }

  function forgetFile(file) {
    return confirmedStoreChange('Forget which template ' + file + ' was last imported with?', 'DeleteFileName', file);
  }

  // ---- Browsing and editing ------------------------------------------------------------

  async function browse() {
    if (!unavailable.has('BrowseForImport')) {
      try {
        const r = await call('BrowseForImport', [importType()]);
        await Zephrin.showMessages(r.messages);
        if (r.value) { $('data-file').value = r.value; await refreshListing(); await dataFileChosen(); }
        return;
      } catch (e) {
        if (e.code !== NOT_AVAILABLE) { await Zephrin.messageBox('Import', e.message); return; }
      }
    }
    // Without the engine's picker, the page's own dialog chooses a path.
    const chosen = await Zephrin.fileDialog({ title: 'Select Import File', filters: FALLBACK_FILTERS, filterIndex: 1 });
    if (chosen) { $('data-file').value = chosen.path; await dataFileChosen(); }
  }

  // The editor shown over this page; everything behind it is inert while it is open.
  function showEditorOverlay() {
    const frame = el('iframe', { src: 'editor.html?token=' + encodeURIComponent(Zephrin.token), title: 'Layout editor' });
    const overlay = el('div', { class: 'editor-overlay' }, frame);
    $('page').inert = true;
    document.body.append(overlay);
    frame.addEventListener('load', () => frame.focus());
    return () => {
      overlay.remove();
      $('page').inert = false;
      // The keyboard goes on where the work goes on: the Import button.
      $('import').focus();
    };
  }

  // How the editor of the given session ended: true for OK.
  // Whether the editor's last session ended with OK; null when the server
  // cannot be asked.
  async function editorEndedOk(session) {
    const s = await Zephrin.editor({ action: 'state' }).catch(() => null);
    if (!s) return null;
    return !!(s.last && (session === undefined || s.last.session === session) && s.last.ok);
  }

  function editorEndStatus(ok, name) {
    if (ok === null) return Zephrin.UNREACHABLE;
    return ok ? 'Template ' + name + ' is saved.' : 'The editor was cancelled.';
  }

  async function editorEnded(name) {
    const ok = await editorEndedOk();
    await refreshListing(ok && name ? name : undefined);
    status(editorEndStatus(ok, name));
  }

  async function openEditor(templateName) {
    if (!dataFile()) { await Zephrin.messageBox('Import', 'Choose a data file first: the editor shows it.'); return; }
    $('editor-open').hidden = true;
    const hide = showEditorOverlay();
    status('The layout editor is open.');
    try {
      const r = await call('EditLayout', [templateName, intlKind(), importType(), dataFile()]);
      hide();
      await Zephrin.showMessages(r.messages);
      if (r.value === null) { await refreshListing(); status(''); return; }
      await editorEnded(r.value);
    } catch (e) {
      hide();
      await Zephrin.messageBox('Import', e.message);
      status('');
    }
  }

  // An editor another page opened (or one this page had before it was
  // reloaded) can be taken over here.
  async function offerOpenEditor() {
    const s = await Zephrin.editor({ action: 'state' }).catch(() => null);
    if (!s || !s.editor || s.editor.ended) { $('editor-open').hidden = true; return; }
    $('editor-open-text').textContent = 'A layout editor is still open: ' + s.editor.title + ' (' + s.editor.sourceFile + ').';
    $('editor-open').hidden = false;
  }

  async function returnToEditor() {
    const s = await Zephrin.editor({ action: 'state' }).catch(() => null);
    $('editor-open').hidden = true;
    if (!s || !s.editor) { status('The layout editor has closed meanwhile.'); return; }
    const session = s.editor.session;
    const name = s.editor.name;
    const hide = showEditorOverlay();
    status('The layout editor is open.');
    for (;;) {
      await sleep(400);
      // A server that went away ends the wait too (the status then says so).
      const now = await Zephrin.editor({ action: 'state' }).catch((e) => (e.unreachable ? { gone: true } : null));
      if (now && (now.gone || !now.editor || now.editor.session !== session)) break;
    }
    hide();
    const ok = await editorEndedOk(session);
    await refreshListing(ok ? name : undefined);
    status(editorEndStatus(ok, name));
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

  // The captions of the items a type's records hold, by element name.
  async function captionsFor(type, kind) {
    const r = await Zephrin.editor({ action: 'captions', type, intlKind: kind }).catch(() => null);
    return (r && r.captions) || {};
  }

  // What a page shows of a large import: its first records in the table, the
  // first megabyte of its text (cut after a tag), the rest counted.
  const SHOWN_RECORDS = 1000;
  const SHOWN_TEXT = 1 << 20;

  function shownText(xml) {
    if (xml.length <= SHOWN_TEXT) return pretty(xml);
    const cut = xml.lastIndexOf('>', SHOWN_TEXT) + 1 || SHOWN_TEXT;
    const megabytes = (n) => (n / (1 << 20)).toFixed(1) + ' MB';
    return pretty(xml.slice(0, cut)) + '\n\n… the first ' + megabytes(cut) + ' of ' + megabytes(xml.length) + ' of text are shown.';
  }

  function showResult(xml, outcome, ran, captions) {
    $('result-panel').hidden = false;
    const error = $('result-error');
    error.hidden = true;
    $('xml').textContent = xml ? shownText(xml) : '';
    const result = Zephrin.readResult(xml, outcome, SHOWN_RECORDS);
    const what = 'file ' + ran.file + ', template ' + ran.template + ', import type ' + ran.type;
    if (result.kind !== 'document') {
      error.textContent = result.kind === 'error' ? 'The import failed: ' + result.message : result.message;
      error.hidden = false;
      $('records').replaceChildren();
      $('summary').textContent = 'Nothing imported (' + what + ').';
      return;
    }
    $('summary').textContent = result.count + ' record' + (result.count === 1 ? '' : 's') + ' in ' + result.root +
      (result.count ? ' (' + result.recordName + ')' : '') + ' from ' + what + '.' +
      (result.shown < result.count ? ' The table shows the first ' + result.shown + '.' : '');
    Zephrin.recordsTable($('records'), result, captions);
  }

  // Two choices and Cancel; resolves to the value of the chosen one or null.
  function chooseBox(caption, text, choices) {
    return new Promise((resolve) => {
      let answer = null;
      const buttons = choices.map((c, i) => {
        const b = el('button', { type: 'button', class: i === 0 ? 'default' : '', text: c.label });
        b.addEventListener('click', () => { answer = c.value; dialog.close(); });
        return b;
      });
      const cancel = el('button', { type: 'button', text: 'Cancel' });
      const dialog = el('dialog', { class: 'message-box choose-box', 'aria-label': caption },
        el('div', { class: 'titlebar', text: caption }),
        el('div', { class: 'message-text', text }),
        el('div', { class: 'buttons' }, ...buttons, cancel));
      cancel.addEventListener('click', () => dialog.close());
      dialog.addEventListener('close', () => { dialog.remove(); resolve(answer); });
      document.body.append(dialog);
      dialog.showModal();
      buttons[0].focus();
    });
  }

  let importRuns = 0;

  async function runImport() {
    if (!dataFile()) { await Zephrin.messageBox('Import', 'Choose a data file to import.'); return; }
    let template = $('template').value;
    if (!template) { await Zephrin.messageBox('Import', 'Choose a template, or make one with New template….'); return; }
    // The chosen template runs; a different one remembered for the file is asked about first.
    const remembered = rememberedTemplate();
    if (remembered && remembered !== template) {
      const choice = await chooseBox('Import', 'This data file was last imported with template ' + remembered +
        '. You chose template ' + template + '. Which template should read it?', [
        { label: 'Use ' + template, value: template },
        { label: 'Use ' + remembered, value: remembered },
      ]);
      if (choice === null) return;
      if (choice !== template) {
        template = choice;
        $('template').value = template;
        templateChanged();
      }
    }
    // The engine reads a template as whatever type it is asked for: a
    // template of a kind the type does not take is refused here.
    const refusal = kindRefusal(template, importType());
    if (refusal) {
      await Zephrin.messageBox('Import', refusal);
      status('Nothing imported: ' + refusal);
      return;
    }
    const ran = { file: dataFile(), template, type: importType(), id: $('object-id').value, intlKind: intlKind() };
    // Only the last import started shows its result: one that was still
    // running when another began is dropped when it ends.
    const run = ++importRuns;
    const current = () => run === importRuns;
    ImportReview.hideReview();
    status('Importing…');
    try {
      const r = importType() === 'INTL'
        ? await call('ReadIntlImportFile', [dataFile(), template, importType(), $('object-id').value, Number($('year').value) || 0, intlKind()])
        : await call('ReadImportFile', [dataFile(), template, importType(), $('object-id').value, '']);
      if (!current()) return;
      await Zephrin.showMessages(r.messages);
      const captions = await captionsFor(ran.type, ran.intlKind);
      if (!current()) return;
      showResult(r.value || '', r.outcome, ran, captions);
      status('Reviewing the import…');
      await ImportReview.review(call, ran, current);
      if (!current()) return;
      const unremembered = await rememberType(template, ran.type);
      status(unremembered ? 'The import type could not be remembered: ' + unremembered : '');
    } catch (e) {
      if (!current()) return;
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
  $('template').addEventListener('change', () => { userChoseTemplate = true; templateChanged(); });
  $('return-to-editor').addEventListener('click', returnToEditor);
  $('data-file').addEventListener('change', dataFileChosen);
  $('import-type').addEventListener('change', () => { if (dataFile()) dataFileChosen(); });
  $('browse').addEventListener('click', browse);
  $('new-template').addEventListener('click', () => openEditor(''));
  $('edit-template').addEventListener('click', async () => {
    if (!$('template').value) { await Zephrin.messageBox('Import', 'Choose the template to edit.'); return; }
    openEditor($('template').value);
  });
  $('import').addEventListener('click', runImport);

  (async () => {
    try {
      // The drop zone takes files from the first moment; its list of uploads
      // follows when the server answers.
      const uploadsListed = ImportUploads.install(useDataFile);
      await loadCatalogue();
      await offerOpenEditor();
      await refreshListing();
      listingReady();
      await uploadsListed;
    } catch (e) {
      listingReady();
      await Zephrin.messageBox('Import', e.unreachable ? e.message : 'The server cannot be reached: ' + e.message);
    }
  })();
})();
