// The layout editor page. It draws the state the server's editor model sends
// and hands every user action back; no rule of the editor lives here.
//
// The editor belongs to this page while it shows it: the page takes it over
// ("claim"), a heartbeat (a worker, so that a page in the background keeps
// beating) and the page's polls say it is still there, and when the page goes
// away it says "leave", which ends the editor as Cancel would and keeps its
// unsaved work as a draft that the next editor of the file offers back.
// While positions are unsaved, Cancel and Escape ask first and the browser
// asks before the page is left.
'use strict';

(() => {
  const { el } = Zephrin;
  const $ = (id) => document.getElementById(id);
  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
  const PAGE = (self.crypto && crypto.randomUUID) ? crypto.randomUUID() : String(Math.random()).slice(2) + Date.now();

  let state = null;
  let session = null;
  // The editor another page took over from this one: this page does not
  // take it back by itself (two pages would pass it to and fro for ever).
  let lostSession = null;
  let pending = 0;             // actions sent and not yet answered
  let chain = Promise.resolve();
  let lastSeq = -1;
  let lastFocus = '';
  let preview = null;          // GridView or TextView
  let heartbeat = null;
  let itemCursor = null;       // the item the keys went to while answers are pending
  let keyboardList = false;    // the item list is being used with the keys

  // ---- Talking to the model ----------------------------------------------------

  function act(action, extra) {
    if (session === null) return chain;
    pending++;
    const request = Object.assign({ action, session, page: PAGE }, extra || {});
    if (preview) request.view = preview.view();
    chain = chain.then(async () => {
      let reply = null;
      try {
        reply = await Zephrin.editor(request);
      } catch (e) {
        pending--;
        await Zephrin.messageBox('Import', e.message);
        return;
      }
      pending--;
      if (reply.error) { await Zephrin.messageBox('Import', reply.error); return; }
      if (reply.closed || !reply.editor) { close(reply.takenOver); return; }
      showHints(action, reply.refused);
      if (reply.suggested) showSuggested(reply.suggested);
      apply(reply.editor);
      await Zephrin.showMessages(reply.messages);
      if (reply.editor.ended) close();
      else if (reply.replace) await askReplace(reply.replace);
    });
    return chain;
  }

  // OK on the name of a saved template: replace it only when the user says so.
  async function askReplace(name) {
    if (await Zephrin.confirmBox('Import', 'A template named ' + name + ' already exists. Replace it?', 'Replace')) {
      act('ok', { replace: true });
    }
  }

  // Cancel (and Escape) with unsaved positions asks before it drops them.
  async function cancelEditor() {
    await chain;
    if (!state || state.ended) return;
    const question = 'The changes to this template are not saved. Close the editor and lose them?';
    if (state.unsaved && !await Zephrin.confirmBox('Import', question, 'Close without saving')) return;
    act('cancel');
  }

  // The work an editor of this file left unsaved when its page went away.
  async function offerDraft(draft) {
    const what = draft.newTemplate ? (draft.template ? 'the new template ' + draft.template : 'a new template') : 'template ' + draft.template;
    const text = 'Work on this file was not saved when its editor closed: ' + draft.placed + ' item' + (draft.placed === 1 ? '' : 's') +
      ' placed for ' + what + '. Restore it? Cancel keeps it for later.';
    if (await Zephrin.confirmBox('Import', text, 'Restore')) act('restoreDraft');
  }

  // The browser asks before the page is left, only while positions are unsaved.
  let leaveGuarded = false;
  function guardLeaving(event) {
    event.preventDefault();
    event.returnValue = '';
  }
  function setLeaveGuard(on) {
    if (on === leaveGuarded) return;
    leaveGuarded = on;
    if (on) window.addEventListener('beforeunload', guardLeaving);
    else window.removeEventListener('beforeunload', guardLeaving);
  }

  // Says the editor is gone when this page goes away (closed, reloaded,
  // navigated away): the server ends it as Cancel at once.
  function leave() {
    if (session === null) return;
    const body = JSON.stringify({ action: 'leave', session, page: PAGE });
    const url = '/editor?token=' + encodeURIComponent(Zephrin.token);
    let sent = false;
    try { sent = navigator.sendBeacon(url, new Blob([body], { type: 'application/json' })); } catch (e) { sent = false; }
    if (!sent) {
      fetch(url, { method: 'POST', keepalive: true, headers: { 'Content-Type': 'application/json', 'X-Zephrin-Token': Zephrin.token }, body })
        .catch(() => {});
    }
  }
  window.addEventListener('pagehide', leave);

  function startHeartbeat() {
    stopHeartbeat();
    try {
      heartbeat = new Worker('heartbeat.js?token=' + encodeURIComponent(Zephrin.token));
      heartbeat.postMessage({ session, page: PAGE, token: Zephrin.token });
    } catch (e) {
      heartbeat = null;  // the page's own polls still beat
    }
  }
  function stopHeartbeat() {
    if (heartbeat) { heartbeat.terminate(); heartbeat = null; }
  }

  // ---- Drawing the state -------------------------------------------------------

  function open(st) {
    session = st.session;
    lastSeq = -1;
    lastFocus = '';
    $('waiting').hidden = true;
    $('closed').hidden = true;
    $('dialog').hidden = false;
    const grid = st.layout !== 'R';
    $('grid').hidden = !grid;
    $('text').hidden = grid;
    $('suggest').hidden = !grid;
    $('suggest-note').textContent = '';
    showHints('', null);
    if (preview) preview.detach();
    preview = grid ? new GridView($('grid'), st) : new TextView($('text'), st);
    reading.opened(st);
    live.reset();
    apply(st);
    preview.render();
    startHeartbeat();
    // Let the model know what is in view from the start.
    act('view');
  }

  function close(takenOver) {
    if (takenOver) lostSession = session;
    stopHeartbeat();
    setLeaveGuard(false);
    session = null;
    state = null;
    if (preview) { preview.detach(); preview = null; }
    live.reset();
    $('dialog').hidden = true;
    $('closed').textContent = takenOver ? 'The layout editor is now shown in another page.' : 'The layout editor has closed.';
    $('closed').hidden = false;
  }

  function apply(st) {
    state = st;
    setLeaveGuard(!!st.unsaved && !st.ended);
    if (pending === 0) itemCursor = null;
    document.title = st.title;
    $('title').textContent = st.title;
    const name = $('name');
    name.readOnly = st.nameReadOnly;
    if (pending === 0 && name.value !== st.name) name.value = st.name;
    $('ok').disabled = !st.okEnabled;
    $('cancel').disabled = st.ended;
    $('reset').disabled = !st.initialised;
    $('undo').disabled = !st.canUndo;
    $('suggest').disabled = !st.initialised;
    for (const id of ['col-box', 'len-box']) $(id).disabled = !st.initialised;

    $('kind-label').textContent = st.kindLabel;
    $('kind-label').hidden = !st.kindVisible;
    const kinds = $('kinds');
    kinds.hidden = !st.kindVisible;
    if (kinds.options.length !== st.kinds.length) kinds.replaceChildren(...st.kinds.map((k) => el('option', { text: k })));
    kinds.selectedIndex = st.kindSelected;

    $('numbers-heading').textContent = st.numbersHeading;
    $('len-label').textContent = st.lengthLabel;
    $('source-file').textContent = st.sourceFile;
    const notice = noticeOf(st);
    $('instruction').textContent = notice || st.instruction;
    $('instruction').classList.toggle('notice', !!notice);
    drawItems(st);

    if (pending === 0) {
      // A box being typed in keeps what was typed until it is applied.
      if ($('col-box').value !== st.colBox && !editedBoxes.has('col-box')) $('col-box').value = st.colBox;
      if ($('len-box').value !== st.lenBox && !editedBoxes.has('len-box')) $('len-box').value = st.lenBox;
    }
    reading.draw(st);
    if (preview) preview.update(st);
    if (st.view.seq !== lastSeq) {
      lastSeq = st.view.seq;
      if (preview) preview.showRequested(st.view);
    }
    // The model moves the focus as the dialog did; a person going through
    // the item list with the keys keeps it there.
    const listKeys = keyboardList && document.activeElement === $('items');
    if (st.focus && st.focus !== lastFocus && !listKeys) {
      lastFocus = st.focus;
      const target = { col: 'col-box', len: 'len-box', grid: 'grid', text: 'text', name: 'name' }[st.focus];
      if (target) $(target).focus({ preventScroll: true });
    }
    live.changed(st);
  }

  // An editor whose data file could not be shown, or shows nothing, says
  // what is left to do in place of the instruction.
  function noticeOf(st) {
    if (st.ended) return '';
    if (!st.initialised) return 'The data file cannot be shown, so no item can be placed: Cancel closes the editor.';
    const empty = st.grid ? st.grid.rows <= 1 : st.text.lines === 0;
    return empty ? 'The data file is empty, so no item can be placed: Cancel closes the editor.' : '';
  }

  // The owner-drawn list: two-line captions, numbers right-aligned on the
  // caption's last line, grey for unavailable items, which are never drawn
  // selected. A caption cut short shows whole as the item's tooltip.
  function drawItems(st) {
    const list = $('items');
    list.style.setProperty('--digit-widths', String(st.digitWidths));
    const rows = st.items.map((item, i) => {
      const row = el('div', {
        class: 'item' + (item.available ? '' : ' unavailable') + (item.drawnSelected ? ' drawn-selected' : ''),
        role: 'option', 'aria-selected': item.selected ? 'true' : 'false', 'data-available': item.available ? 'yes' : 'no',
        'data-index': String(i), id: 'item-' + i, title: item.caption,
        'aria-label': item.caption + (item.available ? '' : ' (' + unusedReason(st) + ')') + ', column ' + item.col + ', ' +
          st.lengthLabel.toLowerCase() + ' ' + item.len,
      });
      item.lines.forEach((text, k) => {
        const line = el('div', { class: 'item-line' }, el('span', { class: 'caption', text }));
        if (k === item.lines.length - 1) {
          line.append(el('span', { class: 'num col-num', text: String(item.col) }),
            el('span', { class: 'num len-num', text: String(item.len) }));
        }
        row.append(line);
      });
      if (!item.available) row.append(el('div', { class: 'item-reason', 'aria-hidden': 'true', text: unusedReason(st) }));
      return row;
    });
    list.replaceChildren(...rows);
    if (st.current >= 0 && rows[st.current]) {
      list.setAttribute('aria-activedescendant', 'item-' + st.current);
      rows[st.current].scrollIntoView({ block: 'nearest' });
    }
  }

  // Why an item is grey, shown beside it and said by screen readers.
  function unusedReason(st) {
    return st.importType ? 'not used by ' + st.importType : 'not used by this import';
  }

  // The allowed range beside a box whose value (or drag) was refused.
  function showHints(action, refused) {
    const placing = ['colBox', 'lenBox', 'click', 'textSelect', 'select', 'undo', 'reset', ''].includes(action);
    if (!refused) {
      if (placing) { $('col-hint').textContent = ''; $('len-hint').textContent = ''; }
      return;
    }
    const label = refused.box === 'col' ? 'Column' : (state ? state.lengthLabel : 'Length');
    $(refused.box === 'col' ? 'col-hint' : 'len-hint').textContent = label + ': 1 to ' + refused.max;
    $(refused.box === 'col' ? 'len-hint' : 'col-hint').textContent = '';
  }

  function showSuggested(list) {
    const note = $('suggest-note');
    if (!list.length) { note.textContent = 'No unplaced item matches a cell of the header row.'; return; }
    const one = (s) => s.creditColumn
      ? s.caption + ' → debit column ' + s.column + ' ("' + s.header + '") less credit column ' + s.creditColumn + ' ("' + s.creditHeader + '")'
      : s.caption + ' → column ' + s.column + ' ("' + s.header + '")';
    const signed = list.find((s) => s.amounts);
    note.textContent = 'Suggested: ' + list.map(one).join(', ') + ', from row ' + list[0].startRow + '.' +
      (signed ? ' Amounts: "' + signed.amounts + '".' : '') + ' Undo (Ctrl+Z) takes them back.';
  }

  // ---- How the file is read: sheets, separator, amounts, credit columns -------------
  //
  // A workbook shows a tab per sheet; separated text a separator choice. A new
  // sheet or separator is a new grid, drawn afresh.

  const reading = (() => {
    let gridKey = null;
    const keyOf = (st) => st.sheet + '|' + st.separator;
    function opened(st) { gridKey = keyOf(st); }
    function drawTabs(st) {
      const tabs = $('sheet-tabs');
      tabs.hidden = st.sheet === null;
      if (st.sheet === null) { tabs.replaceChildren(); return; }
      const same = tabs.children.length === st.sheets.length && [...tabs.children].every((t, i) => t.textContent === st.sheets[i]);
      if (!same) {
        tabs.replaceChildren(...st.sheets.map((name, i) => el('button', { type: 'button', role: 'tab', class: 'sheet-tab', text: name, 'data-index': String(i) })));
      }
      [...tabs.children].forEach((t, i) => {
        t.setAttribute('aria-selected', i === st.sheet ? 'true' : 'false');
        t.tabIndex = i === st.sheet ? 0 : -1;
      });
    }
    function draw(st) {
      drawTabs(st);
      $('separator-group').hidden = st.separator === null;
      if (st.separator !== null) $('separator').value = st.separator;
      $('amounts').value = st.amounts;
      const item = st.current >= 0 ? st.items[st.current] : null;
      const credit = $('credit');
      credit.hidden = !st.items.some((i) => i.amount);
      credit.disabled = !(item && item.amount && item.len > 0 && item.available);
      credit.setAttribute('aria-pressed', st.creditMode ? 'true' : 'false');
      $('credit-note').textContent = st.creditMode && item
        ? (st.layout === 'R' ? 'Select the characters of the credit amount of ' : 'Click the credit column of ') + item.caption + '. Escape cancels.'
        : '';
      const key = keyOf(st);
      if (key !== gridKey && preview && st.grid) {
        gridKey = key;
        preview.detach();
        preview = new GridView($('grid'), st);
        preview.render();
      }
    }
    $('sheet-tabs').addEventListener('click', (e) => {
      const tab = e.target.closest('.sheet-tab');
      if (tab) act('sheet', { index: Number(tab.dataset.index) });
    });
    $('sheet-tabs').addEventListener('keydown', (e) => {
      const step = { ArrowRight: 1, ArrowLeft: -1 }[e.key];
      if (!step || !state || state.sheet === null) return;
      e.preventDefault();
      const next = (state.sheet + step + state.sheets.length) % state.sheets.length;
      act('sheet', { index: next }).then(() => { const t = $('sheet-tabs').children[next]; if (t) t.focus(); });
    });
    $('separator').addEventListener('change', () => act('separator', { separator: $('separator').value }));
    $('amounts').addEventListener('change', () => act('amounts', { amounts: $('amounts').value }));
    $('credit').addEventListener('click', () => act('credit', state && state.creditMode ? { cancel: true } : {}));
    document.addEventListener('keydown', (e) => {
      if (e.key === 'Escape' && state && state.creditMode) {
        e.preventDefault();
        e.stopImmediatePropagation();
        act('credit', { cancel: true });
      }
    }, true);
    return { opened, draw };
  })();

  // ---- The live preview of the records -------------------------------------------

  const live = (() => {
    let signature = null;
    let busy = false;
    let again = false;
    function reset() {
      signature = null;
      $('live-note').textContent = '';
      $('live-note').className = 'live-note';
      $('live-records').replaceChildren();
    }
    function note(text, error) {
      $('live-note').textContent = text;
      $('live-note').className = 'live-note' + (error ? ' error' : '');
    }
    function changed(st) {
      const sig = st.session + '|' + st.items.map((i) => i.col + ':' + i.len + (i.credit ? ':' + i.credit.col + ':' + i.credit.len : '')).join(',') +
        '|' + st.sheet + '|' + st.separator + '|' + st.amounts;
      if (sig === signature) return;
      signature = sig;
      if (!st.items.some((i) => i.len > 0)) {
        $('live-records').replaceChildren();
        note('Place items to see the records they give.');
        return;
      }
      if (busy) { again = true; return; }
      run();
    }
    async function run() {
      busy = true;
      do {
        again = false;
        const mySession = session;
        const reply = await Zephrin.editor({ action: 'preview', session, page: PAGE }).catch(() => null);
        if (session !== mySession || !reply) break;
        if (reply.closed) break;
        if (!reply.preview) { $('live').hidden = true; break; }
        $('live').hidden = false;
        const result = Zephrin.readResult(reply.preview.text, reply.preview.outcome);
        if (result.kind === 'document') {
          note(result.count + ' record' + (result.count === 1 ? '' : 's') + ' (' + result.recordName + ') from the first ' +
            (state && state.layout === 'R' ? 'lines or entries' : 'rows') + ', read from the unsaved template.');
          Zephrin.recordsTable($('live-records'), result);
        } else {
          $('live-records').replaceChildren();
          note(result.kind === 'error' ? 'The read fails: ' + result.message : result.message, true);
        }
      } while (again);
      busy = false;
    }
    $('live-scope').textContent = '(first 20)';
    return { reset, changed };
  })();

  // ---- Scrolling a tall view ------------------------------------------------------
  //
  // A browser draws a box of some million pixels well, not one of twenty: a
  // view taller than MAX_CANVAS gets a canvas of that height, whose scroll
  // position maps to a position in the whole content, and the rows are drawn
  // where they fall in view.

  const MAX_CANVAS = 2000000;

  class TallScroll {
    constructor(root, canvas) {
      this.root = root;
      this.canvas = canvas;
      this.content = 0;
      this.pinned = null;
    }
    setContent(height) {
      this.content = height;
      this.canvasHeight = Math.min(height, MAX_CANVAS);
      this.canvas.style.height = this.canvasHeight + 'px';
    }
    get scaled() { return this.content > this.canvasHeight; }
    range() { return Math.max(0, this.content - this.root.clientHeight); }
    scrollRange() { return Math.max(0, this.canvasHeight - this.root.clientHeight); }
    // The content's pixel at the top of the view.
    top() {
      if (!this.scaled) return this.root.scrollTop;
      if (this.pinned && this.pinned.scroll === this.root.scrollTop) return this.pinned.top;
      const sr = this.scrollRange();
      return sr ? Math.round(this.root.scrollTop / sr * this.range()) : 0;
    }
    setTop(top) {
      top = Math.max(0, Math.min(top, this.range()));
      if (!this.scaled) { this.root.scrollTop = top; return; }
      const r = this.range();
      this.root.scrollTop = r ? Math.round(top / r * this.scrollRange()) : 0;
      this.pinned = { top, scroll: this.root.scrollTop };
    }
    // Where a content pixel is drawn inside the canvas.
    place(y) { return this.root.scrollTop + (y - this.top()); }
    // The wheel moves the content by its own amount, not the canvas's.
    wheel(e, lineHeight) {
      if (!this.scaled || Math.abs(e.deltaY) <= Math.abs(e.deltaX)) return false;
      e.preventDefault();
      const step = e.deltaMode === 1 ? e.deltaY * lineHeight : e.deltaMode === 2 ? e.deltaY * this.root.clientHeight : e.deltaY;
      this.setTop(this.top() + step);
      return true;
    }
  }

  // A bounded cache of blocks of rows: the blocks used last are kept.
  class BlockCache {
    constructor(maxRows, blockSize) {
      this.blockSize = blockSize;
      this.maxBlocks = Math.max(4, Math.ceil(maxRows / blockSize));
      this.blocks = new Map();
    }
    get(row) {
      const b = Math.floor(row / this.blockSize) * this.blockSize;
      const block = this.blocks.get(b);
      return block ? block[row - b] : undefined;
    }
    has(b) { return this.blocks.has(b); }
    touch(b) {
      const block = this.blocks.get(b);
      if (block) { this.blocks.delete(b); this.blocks.set(b, block); }
    }
    put(b, rows) {
      this.blocks.delete(b);
      this.blocks.set(b, rows);
      while (this.blocks.size > this.maxBlocks) this.blocks.delete(this.blocks.keys().next().value);
    }
  }
  // Rows a view keeps at most.
  const MAX_CACHED_ROWS = 4000;

  // What the grid and the text view share: a scrolled box whose canvas is
  // drawn once a frame, rows asked of the server in blocks, and a scroll the
  // user makes told to the server once it rests.
  class ScrolledView {
    constructor(root, canvasSelector) {
      this.root = root;
      this.canvas = root.querySelector(canvasSelector);
      this.loading = new Set();
      this.expected = null;
      this.scroll = new TallScroll(root, this.canvas);
    }
    // Starts listening (presses on `downTarget`), scrolled to the top left.
    listen(lineHeight, downTarget) {
      const root = this.root;
      this.onScroll = () => this.scrolled();
      this.onDown = (e) => this.mouseDown(e);
      this.onKey = (e) => this.key(e);
      this.onWheel = (e) => { if (this.scroll.wheel(e, lineHeight)) this.render(); };
      this.onFocus = () => this.render();
      this.downTarget = downTarget;
      root.addEventListener('scroll', this.onScroll);
      downTarget.addEventListener('mousedown', this.onDown);
      root.addEventListener('keydown', this.onKey);
      root.addEventListener('wheel', this.onWheel, { passive: false });
      root.addEventListener('focus', this.onFocus);
      root.addEventListener('blur', this.onFocus);
      this.frame = 0;
      this.scrollTimer = 0;
      root.scrollTop = 0;
      root.scrollLeft = 0;
    }
    detach() {
      this.root.removeEventListener('scroll', this.onScroll);
      this.downTarget.removeEventListener('mousedown', this.onDown);
      this.root.removeEventListener('keydown', this.onKey);
      this.root.removeEventListener('wheel', this.onWheel);
      this.root.removeEventListener('focus', this.onFocus);
      this.root.removeEventListener('blur', this.onFocus);
      this.canvas.replaceChildren();
    }
    render() {
      cancelAnimationFrame(this.frame);
      this.frame = requestAnimationFrame(() => this.draw());
    }
    // Asks for the blocks of `size` rows that hold rows `first` to `last` and
    // are neither kept nor on their way; `row(text)` makes a row of a reply's text.
    fetchBlocks(first, last, size, extra, row) {
      for (let b = Math.floor(first / size) * size; b <= last; b += size) {
        if (this.cache.has(b)) { this.cache.touch(b); continue; }
        if (this.loading.has(b)) continue;
        this.loading.add(b);
        const mySession = session;
        Zephrin.editor({ action: 'rows', session, page: PAGE, from: b, count: size, ...extra }).then((reply) => {
          if (session !== mySession || !reply.rows) return;
          const rows = new Array(size);
          for (const [r, text] of reply.rows) rows[r - b] = row(text);
          this.cache.put(b, rows);
          this.render();
        }).catch(() => {}).finally(() => this.loading.delete(b));
      }
    }
    scrolled() {
      this.render();
      const programmatic = this.expected && this.expected.left === this.root.scrollLeft && this.expected.top === this.root.scrollTop;
      if (programmatic) return;
      this.expected = null;
      clearTimeout(this.scrollTimer);
      this.scrollTimer = setTimeout(() => this.scrollRested(), 150);
    }
  }

  // ---- Grid preview --------------------------------------------------------------

  const ROW_HEIGHT = 20;
  const MIN_COL_WIDTH = 72;

  // The letter name of grid column c (1-based): A..Z, AA..AZ, BA...
  // The grid as screen readers take it: rows of cells, each numbered as the
  // file numbers it (the header row and the line numbers count as the first).
  function gridRow(r) {
    return el('div', { class: 'grid-row', role: 'row', 'aria-rowindex': String(r + 1) });
  }
  function withCellRole(d, role, c) {
    d.setAttribute('role', role);
    d.setAttribute('aria-colindex', String(c + 1));
    return d;
  }
  function setGridSize(root, rows, cols) {
    root.setAttribute('aria-rowcount', String(rows));
    root.setAttribute('aria-colcount', String(cols));
  }

  function letterName(c) {
    let name = '';
    for (let n = c; n > 0; n = Math.floor((n - 1) / 26)) name = String.fromCharCode(65 + (n - 1) % 26) + name;
    return name;
  }

  function textWidth(text, font) {
    const ctx = textWidth.ctx || (textWidth.ctx = document.createElement('canvas').getContext('2d'));
    if (textWidth.font !== font) { ctx.font = font; textWidth.font = font; }
    return ctx.measureText(text).width;
  }

  class GridView extends ScrolledView {
    constructor(root, st) {
      super(root, '.grid-canvas');
      this.rows = st.grid.rows;
      this.cols = st.grid.cols;
      // Wide rows come in smaller blocks, so that a block stays small.
      this.block = Math.max(20, Math.min(200, Math.floor(20000 / Math.max(1, this.cols))));
      this.cache = new BlockCache(MAX_CACHED_ROWS, this.block);
      this.font = getComputedStyle(root).font;
      this.headers = [];
      this.userWidths = new Map();
      this.sel = [0, 0];
      this.cursor = null;
      this.setHeaders(st.grid.headers);
      this.listen(ROW_HEIGHT, this.canvas);
    }
    setHeaders(headers, force) {
      const same = headers.length === this.headers.length && headers.every((h, i) => h === this.headers[i]);
      if (same && !force) return;
      this.headers = headers.slice();
      // Line numbers need room for the largest; each column fits its header,
      // or the width the user dragged it to.
      this.widths = [Math.max(44, textWidth(String(this.rows), this.font) + 16)];
      // A letter name of three letters or fewer always fits the narrowest column.
      const bold = 'bold ' + this.font;
      for (let c = 1; c < this.cols; c++) {
        const h = headers[c] || '';
        const short = h.length <= 3 && /^[A-Z]*$/.test(h);
        this.widths.push(this.userWidths.get(c) || (short ? MIN_COL_WIDTH : Math.max(MIN_COL_WIDTH, Math.ceil(textWidth(h, bold) + 16))));
      }
      this.xs = [0];
      for (let c = 1; c < this.cols; c++) this.xs.push(this.xs[c - 1] + this.widths[c - 1]);
      this.totalWidth = this.xs[this.cols - 1] + this.widths[this.cols - 1];
      this.canvas.style.width = this.totalWidth + 'px';
      this.scroll.setContent(this.rows * ROW_HEIGHT);
    }
    update(st) {
      this.setHeaders(st.grid.headers);
      const [r, c] = st.grid.sel;
      if (r !== this.sel[0] || c !== this.sel[1]) {
        this.sel = st.grid.sel;
        if (r > 0 && c > 0) this.cursor = [r, c];
      }
      this.render();
    }
    // Fully visible scrollable columns.
    visibleCols() {
      const left = this.root.scrollLeft + this.widths[0];
      const right = this.root.scrollLeft + this.root.clientWidth;
      let first = 0, last = -1;
      for (let c = 1; c < this.cols; c++) {
        if (this.xs[c] >= left && this.xs[c] + this.widths[c] <= right) {
          if (!first) first = c;
          last = c;
        } else if (first) break;
      }
      return first ? [first, last] : [1, 0];
    }
    view() {
      const [leftCol, rightCol] = this.visibleCols();
      return { leftCol, rightCol };
    }
    colAt(x) {
      let lo = 1, hi = this.cols - 1;
      while (lo < hi) {
        const mid = (lo + hi + 1) >> 1;
        if (this.xs[mid] <= x) lo = mid; else hi = mid - 1;
      }
      return lo;
    }
    cellsOf(r) { return this.cache.get(r); }
    draw() {
      const root = this.root;
      const top = root.scrollTop, left = root.scrollLeft;
      const vTop = this.scroll.top();
      const w0 = this.widths[0];
      const firstRow = Math.max(1, Math.floor(vTop / ROW_HEIGHT) + 1);
      const lastRow = Math.min(this.rows - 1, Math.ceil((vTop + root.clientHeight) / ROW_HEIGHT));
      const firstCol = this.cols > 1 ? this.colAt(left + w0) : 1;
      const lastCol = this.cols > 1 ? this.colAt(left + root.clientWidth) : 0;
      this.fetch(firstRow, lastRow);
      const focused = document.activeElement === root;
      const frag = document.createDocumentFragment();
      const cell = (cls, x, y, w, text, r, c) => {
        const d = document.createElement('div');
        d.className = cls;
        d.style.left = x + 'px';
        d.style.top = y + 'px';
        d.style.width = w + 'px';
        d.textContent = text;
        if (text) d.title = text;
        d.dataset.r = r;
        d.dataset.c = c;
        return d;
      };
      for (let r = firstRow; r <= lastRow; r++) {
        const cells = this.cellsOf(r);
        const y = this.scroll.place(r * ROW_HEIGHT);
        const rowFrag = gridRow(r);
        for (let c = firstCol; c <= lastCol; c++) {
          const selected = this.sel[0] === r && this.sel[1] === c;
          const atCursor = this.cursor && this.cursor[0] === r && this.cursor[1] === c;
          const d = cell('cell' + (selected ? ' sel' : '') + (atCursor && focused ? ' cursor' : '') + (cells ? '' : ' loading'),
            this.xs[c], y, this.widths[c], cells ? (cells[c - 1] || '') : '', r, c);
          if (atCursor) d.id = 'grid-cursor';
          rowFrag.append(withCellRole(d, 'gridcell', c));
        }
        rowFrag.prepend(withCellRole(cell('cell fixed rownum', left, y, w0, String(r), r, 0), 'rowheader', 0));
        frag.append(rowFrag);
      }
      const headerRow = gridRow(0);
      for (let c = firstCol; c <= lastCol; c++) {
        const h = cell('cell fixed header' + (this.headers[c] === letterName(c) ? '' : ' caption'), this.xs[c], top,
          this.widths[c], this.headers[c], 0, c);
        h.append(el('span', { class: 'col-resize', 'data-c': String(c), title: 'Drag to widen the column', 'aria-hidden': 'true' }));
        headerRow.append(withCellRole(h, 'columnheader', c));
      }
      headerRow.prepend(withCellRole(cell('cell fixed corner', left, top, w0, '', 0, 0), 'columnheader', 0));
      frag.append(headerRow);
      setGridSize(root, this.rows, this.cols);
      this.canvas.replaceChildren(frag);
      if (this.cursor) root.setAttribute('aria-activedescendant', 'grid-cursor');
    }
    fetch(firstRow, lastRow) {
      this.fetchBlocks(firstRow, lastRow, this.block, { compact: true }, (text) => (text ? text.split('\t') : []));
    }
    scrollRested() { act('gridScroll', { leftCol: this.visibleCols()[0] }); }
    colIntoView(c, left) {
      const x = this.xs[c], w = this.widths[c], w0 = this.widths[0], width = this.root.clientWidth;
      if (x < left + w0) return x - w0;
      if (x + w > left + width) return Math.min(x - w0, x + w - width);
      return left;
    }
    // The view's left and content top that show row r and column c.
    cellIntoView(r, c, left, top) {
      if (c > 0 && c < this.cols) left = this.colIntoView(c, left);
      if (r > 0) {
        const y = r * ROW_HEIGHT, h = this.root.clientHeight;
        if (y < top + ROW_HEIGHT) top = y - ROW_HEIGHT;
        else if (y + ROW_HEIGHT > top + h) top = y + ROW_HEIGHT - h;
      }
      return [Math.max(0, left), Math.max(0, top)];
    }
    showRequested(view) {
      let left = this.root.scrollLeft, top = this.scroll.top();
      if (view.scrollToCol > 0 && view.scrollToCol < this.cols) left = this.colIntoView(view.scrollToCol, left);
      const [r, c] = view.showCell;
      if (r > 0 && c > 0 && c < this.cols) [left, top] = this.cellIntoView(r, c, left, top);
      if (left !== this.root.scrollLeft || top !== this.scroll.top()) {
        this.root.scrollLeft = Math.max(0, left);
        this.scroll.setTop(top);
        this.expected = { left: this.root.scrollLeft, top: this.root.scrollTop };
      }
      this.render();
    }
    mouseDown(e) {
      if (e.button !== 0) return;
      const handle = e.target.closest('.col-resize');
      if (handle) { this.resizeStart(e, Number(handle.dataset.c)); return; }
      const target = e.target.closest('.cell');
      if (!target) return;
      e.preventDefault();
      this.root.focus({ preventScroll: true });
      const r = Number(target.dataset.r), c = Number(target.dataset.c);
      if (r > 0 && c > 0) this.cursor = [r, c];
      act('click', { row: r, col: c });
    }
    // Dragging the right edge of a header widens (or narrows) its column.
    resizeStart(e, c) {
      e.preventDefault();
      e.stopPropagation();
      const startX = e.clientX, startW = this.widths[c];
      const move = (m) => {
        this.userWidths.set(c, Math.max(24, Math.round(startW + m.clientX - startX)));
        this.setHeaders(this.headers, true);
        this.render();
      };
      const up = () => {
        window.removeEventListener('mousemove', move);
        window.removeEventListener('mouseup', up);
        act('view');
      };
      window.addEventListener('mousemove', move);
      window.addEventListener('mouseup', up);
    }
    // Arrow keys move the cell cursor; Enter (or Space) places the current item there.
    key(e) {
      if (e.altKey || e.metaKey) return;
      const page = Math.max(1, Math.floor(this.root.clientHeight / ROW_HEIGHT) - 2);
      let [r, c] = this.cursor || [Math.max(1, this.sel[0]), Math.max(1, this.sel[1])];
      const last = this.rows - 1, lastCol = this.cols - 1;
      if (last < 1 || lastCol < 1) return;
      switch (e.key) {
        case 'ArrowUp': r -= 1; break;
        case 'ArrowDown': r += 1; break;
        case 'ArrowLeft': c -= 1; break;
        case 'ArrowRight': c += 1; break;
        case 'PageUp': r -= page; break;
        case 'PageDown': r += page; break;
        case 'Home': if (e.ctrlKey) r = 1; c = 1; break;
        case 'End': if (e.ctrlKey) r = last; c = lastCol; break;
        case 'Enter': case ' ':
          e.preventDefault();
          this.cursor = [r, c];
          act('click', { row: r, col: c });
          return;
        default: return;
      }
      e.preventDefault();
      r = Math.min(Math.max(r, 1), last);
      c = Math.min(Math.max(c, 1), lastCol);
      this.cursor = [r, c];
      const [left, top] = this.cellIntoView(r, c, this.root.scrollLeft, this.scroll.top());
      this.root.scrollLeft = left;
      this.scroll.setTop(top);
      const cells = this.cellsOf(r);
      $('preview-status').textContent = 'Row ' + r + ', column ' + letterName(c) + ': ' + ((cells && cells[c - 1]) || 'empty');
      this.render();
    }
  }

  // ---- Text preview ----------------------------------------------------------------

  const LINE_HEIGHT = 18;
  const PAD = 4;
  const TEXT_BLOCK = 500;

  const before = (a, b) => a.line < b.line || (a.line === b.line && a.col < b.col);
  const ordered = (a, b) => (before(b, a) ? { start: b, end: a } : { start: a, end: b });

  class TextView extends ScrolledView {
    constructor(root, st) {
      super(root, '.text-canvas');
      this.lines = st.text.lines;
      this.longest = st.text.longest;
      this.cache = new BlockCache(MAX_CACHED_ROWS * 2, TEXT_BLOCK);
      this.sel = st.text.sel;
      this.drag = null;
      this.keySel = null;      // a selection made with the keyboard, not yet placed
      this.caret = { line: 0, col: 0 };
      this.anchor = null;
      this.charWidth = textWidth('0000000000', getComputedStyle(root).font) / 10;
      this.canvas.style.width = (this.longest * this.charWidth + 2 * PAD + 20) + 'px';
      this.scroll.setContent(this.lines * LINE_HEIGHT + 2 * PAD);
      this.onMove = (e) => this.mouseMove(e);
      this.onUp = (e) => this.mouseUp(e);
      this.listen(LINE_HEIGHT, root);
    }
    detach() {
      window.removeEventListener('mousemove', this.onMove);
      window.removeEventListener('mouseup', this.onUp);
      super.detach();
    }
    update(st) {
      const old = JSON.stringify(this.sel);
      this.sel = st.text.sel;
      if (JSON.stringify(this.sel) !== old) {
        this.keySel = null;
        this.anchor = null;
        if (this.sel) this.caret = { ...this.sel.end };
      }
      this.render();
    }
    firstLine() { return Math.floor(Math.max(0, this.scroll.top() - PAD) / LINE_HEIGHT); }
    view() {
      return { firstLine: this.firstLine(), visibleLines: Math.max(1, Math.floor((this.root.clientHeight - PAD) / LINE_HEIGHT)) };
    }
    lineText(l) { return this.cache.get(l); }
    draw() {
      const root = this.root;
      const vTop = this.scroll.top();
      const first = Math.max(0, Math.floor((vTop - PAD) / LINE_HEIGHT));
      const last = Math.min(this.lines - 1, Math.ceil((vTop + root.clientHeight) / LINE_HEIGHT));
      const firstCol = Math.max(0, Math.floor((root.scrollLeft - PAD) / this.charWidth) - 2);
      const colCount = Math.ceil(root.clientWidth / this.charWidth) + 4;
      this.fetch(first, last);
      const frag = document.createDocumentFragment();
      const band = (sel, l, text, cls) => {
        if (!sel || l < sel.start.line || l > sel.end.line) return;
        const from = l === sel.start.line ? sel.start.col : 0;
        const to = l === sel.end.line ? sel.end.col : (text ? text.length + 1 : from);
        if (to <= from) return;
        const h = document.createElement('div');
        h.className = cls;
        h.style.left = (PAD + from * this.charWidth) + 'px';
        h.style.top = this.scroll.place(PAD + l * LINE_HEIGHT) + 'px';
        h.style.width = ((to - from) * this.charWidth) + 'px';
        frag.append(h);
      };
      for (let l = first; l <= last; l++) {
        const text = this.lineText(l);
        const y = this.scroll.place(PAD + l * LINE_HEIGHT);
        band(this.drag ? this.drag.sel : this.sel, l, text, 'text-sel');
        band(this.keySel, l, text, 'text-sel pending');
        if (text === undefined) continue;
        const d = document.createElement('div');
        d.className = 'text-line';
        d.style.top = y + 'px';
        d.style.left = (PAD + firstCol * this.charWidth) + 'px';
        d.textContent = text.substr(firstCol, colCount).replace(/[\f\r\x1a]/g, ' ');
        frag.append(d);
      }
      if (document.activeElement === root && this.caret.line >= first && this.caret.line <= last) {
        const c = document.createElement('div');
        c.className = 'text-caret';
        c.style.left = (PAD + this.caret.col * this.charWidth) + 'px';
        c.style.top = this.scroll.place(PAD + this.caret.line * LINE_HEIGHT) + 'px';
        frag.append(c);
      }
      this.canvas.replaceChildren(frag);
    }
    fetch(first, last) {
      this.fetchBlocks(first, last, TEXT_BLOCK, {}, (text) => text);
    }
    position(e) {
      const rect = this.root.getBoundingClientRect();
      const x = e.clientX - rect.left - this.root.clientLeft + this.root.scrollLeft - PAD;
      const y = e.clientY - rect.top - this.root.clientTop + this.scroll.top() - PAD;
      const line = Math.min(Math.max(0, Math.floor(y / LINE_HEIGHT)), this.lines - 1);
      const text = this.lineText(line) || '';
      const col = Math.min(Math.max(0, Math.round(x / this.charWidth)), text.length);
      return { line, col };
    }
    mouseDown(e) {
      if (e.button !== 0 || e.target === this.root && e.offsetX > this.root.clientWidth) return;
      e.preventDefault();
      this.root.focus({ preventScroll: true });
      // A press starts a selection only when the current item can be placed.
      if (!state || !state.canPlace) return;
      const p = this.position(e);
      this.keySel = null;
      this.drag = { anchor: p, sel: { start: p, end: p } };
      window.addEventListener('mousemove', this.onMove);
      window.addEventListener('mouseup', this.onUp);
      this.render();
    }
    mouseMove(e) {
      if (!this.drag) return;
      this.drag.sel = ordered(this.drag.anchor, this.position(e));
      this.render();
    }
    mouseUp(e) {
      window.removeEventListener('mousemove', this.onMove);
      window.removeEventListener('mouseup', this.onUp);
      if (!this.drag) return;
      this.mouseMove(e);
      const sel = this.drag.sel;
      this.drag = null;
      this.caret = { ...sel.end };
      if (sel.start.line === sel.end.line && sel.start.col === sel.end.col) { this.render(); return; }
      act('textSelect', { start: sel.start, end: sel.end });
    }
    // The arrow keys move a caret; with Shift they select characters, and
    // Enter places the current item on the selection.
    key(e) {
      if (e.altKey || e.metaKey) return;
      const lenOf = (l) => (this.lineText(l) || '').length;
      const page = Math.max(1, Math.floor(this.root.clientHeight / LINE_HEIGHT) - 2);
      let { line, col } = this.caret;
      switch (e.key) {
        case 'ArrowLeft': if (col > 0) col -= 1; else if (line > 0) { line -= 1; col = lenOf(line); } break;
        case 'ArrowRight': if (col < lenOf(line)) col += 1; else if (line < this.lines - 1) { line += 1; col = 0; } break;
        case 'ArrowUp': line -= 1; break;
        case 'ArrowDown': line += 1; break;
        case 'PageUp': line -= page; break;
        case 'PageDown': line += page; break;
        case 'Home': if (e.ctrlKey) line = 0; col = 0; break;
        case 'End': if (e.ctrlKey) line = this.lines - 1; col = Infinity; break;
        case 'Enter': case ' ': {
          e.preventDefault();
          const sel = this.keySel;
          if (!sel || !state || !state.canPlace) return;
          this.keySel = null;
          this.anchor = null;
          act('textSelect', { start: sel.start, end: sel.end });
          return;
        }
        case 'Escape':
          if (this.keySel) { e.preventDefault(); e.stopPropagation(); this.keySel = null; this.anchor = null; this.render(); }
          return;
        default: return;
      }
      e.preventDefault();
      line = Math.min(Math.max(line, 0), this.lines - 1);
      col = Math.min(Math.max(col, 0), lenOf(line));
      const next = { line, col };
      if (e.shiftKey) {
        if (!this.anchor) this.anchor = { ...this.caret };
        this.keySel = ordered(this.anchor, next);
      } else {
        this.anchor = null;
        this.keySel = null;
      }
      this.caret = next;
      this.caretIntoView();
      const chars = this.keySel && this.keySel.start.line === this.keySel.end.line ? this.keySel.end.col - this.keySel.start.col : 0;
      $('preview-status').textContent = 'Line ' + (line + 1) + ', column ' + (col + 1) + (chars ? ', ' + chars + ' characters selected' : '');
      this.render();
    }
    // The scroll position (content pixels) that brings line `line` and
    // column `col` into view, moving as little as it can.
    scrollFor(line, col) {
      const root = this.root;
      let top = this.scroll.top(), left = root.scrollLeft;
      const y = PAD + line * LINE_HEIGHT;
      if (y < top) top = y - PAD;
      else if (y + LINE_HEIGHT > top + root.clientHeight) top = y + LINE_HEIGHT - root.clientHeight + PAD;
      const x = PAD + col * this.charWidth;
      if (x < left) left = Math.max(0, x - 40);
      else if (x > left + root.clientWidth - 20) left = x - root.clientWidth + 40;
      return { top, left };
    }
    caretIntoView() {
      const { top, left } = this.scrollFor(this.caret.line, this.caret.col);
      this.root.scrollLeft = left;
      this.scroll.setTop(top);
    }
    scrollRested() { act('textScroll'); }
    showRequested(view) {
      if (view.scrollToLine < 0 || !this.sel) return;
      const root = this.root;
      // The line asked for, and the caret at the selection's end, come into view.
      const { top, left } = this.scrollFor(view.scrollToLine, this.sel.end.col);
      if (top !== this.scroll.top() || left !== root.scrollLeft) {
        this.scroll.setTop(Math.max(0, top));
        root.scrollLeft = Math.max(0, left);
        this.expected = { left: root.scrollLeft, top: root.scrollTop };
      }
      this.render();
    }
  }

  // ---- Controls ---------------------------------------------------------------------

  // The Column and Start Row (Length) boxes take digits only, and their value
  // is applied on Enter or on leaving the box, not at every key: a value the
  // model refuses then gives the box back the last good one.
  const editedBoxes = new Set();
  function digitsOnly(input, action) {
    input.addEventListener('beforeinput', (e) => {
      if (e.data && /\D/.test(e.data)) e.preventDefault();
    });
    input.addEventListener('input', () => {
      const digits = input.value.replace(/\D/g, '');
      if (digits !== input.value) input.value = digits;
      editedBoxes.add(input.id);
    });
    const commit = () => {
      if (!editedBoxes.delete(input.id)) return;
      act(action, { text: input.value });
    };
    input.addEventListener('keydown', (e) => {
      if (e.key !== 'Enter') return;
      e.preventDefault();
      commit();
    });
    input.addEventListener('blur', commit);
  }
  digitsOnly($('col-box'), 'colBox');
  digitsOnly($('len-box'), 'lenBox');
  $('name').addEventListener('input', () => act('name', { text: $('name').value }));
  $('ok').addEventListener('click', () => act('ok'));
  $('cancel').addEventListener('click', cancelEditor);
  $('reset').addEventListener('click', async () => {
    if (!state) return;
    if (!state.items.some((i) => i.len > 0)) { act('reset'); return; }
    if (await Zephrin.confirmBox('Import', 'Reset clears the positions of all items. Clear them? (Undo takes it back.)', 'Reset')) act('reset');
  });
  $('undo').addEventListener('click', () => act('undo'));
  $('suggest').addEventListener('click', () => act('suggest'));
  document.addEventListener('mousedown', () => { keyboardList = false; }, true);
  $('items').addEventListener('blur', () => { keyboardList = false; });
  $('items').addEventListener('mousedown', (e) => {
    const row = e.target.closest('.item');
    if (!row) return;
    e.preventDefault();
    $('items').focus({ preventScroll: true });
    act('select', { index: Number(row.dataset.index) });
  });
  // The first item the import uses from `start` on, going by `dir`; -1 or the
  // item count when there is none (Home and End go to the first and last).
  function usableFrom(start, dir) {
    let i = start;
    while (i >= 0 && i < state.items.length && !state.items[i].available) i += dir;
    return i;
  }

  // Up and Down go to the next item that can be placed; grey items are skipped.
  $('items').addEventListener('keydown', (e) => {
    if (!state) return;
    const step = { ArrowDown: 1, ArrowUp: -1, PageDown: 1, PageUp: -1, Home: -1, End: 1 }[e.key];
    if (!step) return;
    e.preventDefault();
    const n = state.items.length;
    const far = e.key === 'Home' || e.key === 'End';
    // Keys pressed faster than the answers come count from the last one.
    const from = pending > 0 && itemCursor !== null ? itemCursor : state.current;
    let next = far ? usableFrom(e.key === 'Home' ? 0 : n - 1, e.key === 'Home' ? 1 : -1) : from;
    for (let i = next + step; !far && i >= 0 && i < n; i += step) {
      if (state.items[i].available) { next = i; break; }
    }
    if (far && (next < 0 || next >= n)) return;
    if (next !== from && next >= 0 && next < n) {
      itemCursor = next;
      keyboardList = true;
      act('select', { index: next });
    }
  });

  // The controls Tab moves between, in order.
  function focusable() {
    return [...$('dialog').querySelectorAll('input, select, button, [tabindex="0"]')]
      .filter((e) => !e.disabled && !e.hidden && e.offsetParent !== null && e.tabIndex >= 0);
  }

  document.addEventListener('keydown', (e) => {
    if (!state || document.querySelector('dialog[open]')) return;
    if (e.key === 'Tab') {
      // Focus stays inside the editor while it is open.
      const list = focusable();
      if (!list.length) return;
      const at = list.indexOf(document.activeElement);
      e.preventDefault();
      const next = at < 0 ? (e.shiftKey ? list.length - 1 : 0) : (at + (e.shiftKey ? -1 : 1) + list.length) % list.length;
      list[next].focus();
      return;
    }
    if (e.defaultPrevented) return;
    if ((e.ctrlKey || e.metaKey) && !e.shiftKey && (e.key === 'z' || e.key === 'Z') && e.target.id !== 'name') {
      e.preventDefault();
      act('undo');
    } else if (e.key === 'Escape') { e.preventDefault(); cancelEditor(); }
    else if (e.key === 'Enter' && e.target.tagName === 'INPUT') {
      // OK may still wait for the answer to what was just typed (a name
      // pasted in one go): Enter counts once the answers are in.
      e.preventDefault();
      chain.then(() => { if (!$('ok').disabled) act('ok'); });
    }
  });
  window.addEventListener('resize', () => { if (preview) { preview.render(); act('view'); } });

  // The line between the data and the records preview: dragged, or moved
  // with Up and Down, it makes the records preview taller or shorter.
  function installPreviewSplitter() {
    const splitter = $('live-splitter');
    const live = $('live');
    const limits = () => [80, Math.max(120, live.parentElement.clientHeight - 120)];
    const setHeight = (h) => {
      const [lo, hi] = limits();
      const height = Math.round(Math.min(hi, Math.max(lo, h)));
      live.style.height = height + 'px';
      splitter.setAttribute('aria-valuemin', String(lo));
      splitter.setAttribute('aria-valuemax', String(hi));
      splitter.setAttribute('aria-valuenow', String(height));
      if (preview) { preview.render(); act('view'); }
    };
    splitter.addEventListener('keydown', (e) => {
      const step = { ArrowUp: 20, ArrowDown: -20, PageUp: 100, PageDown: -100 }[e.key];
      if (!step) return;
      e.preventDefault();
      setHeight(live.offsetHeight + step);
    });
    splitter.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      splitter.setPointerCapture(e.pointerId);
      const startY = e.clientY, startH = live.offsetHeight;
      const move = (m) => setHeight(startH + (startY - m.clientY));
      const up = () => { splitter.removeEventListener('pointermove', move); splitter.removeEventListener('pointerup', up); };
      splitter.addEventListener('pointermove', move);
      splitter.addEventListener('pointerup', up);
    });
  }
  installPreviewSplitter();

  // ---- Waiting for an editor ----------------------------------------------------------

  async function watch() {
    for (;;) {
      try {
        if (session === null) {
          const s = await Zephrin.editor({ action: 'state', takeMessages: true });
          if (s.editor && !s.editor.ended && s.editor.session !== lostSession) {
            const claimed = await Zephrin.editor({ action: 'claim', session: s.editor.session, page: PAGE });
            if (claimed.editor && !claimed.closed) {
              open(claimed.editor);
              await Zephrin.showMessages([...s.messages, ...(claimed.messages || [])]);
              if (claimed.editor.draft && session === claimed.editor.session) offerDraft(claimed.editor.draft);
            }
          }
        } else if (pending === 0) {
          const s = await Zephrin.editor({ action: 'state', session, page: PAGE });
          if (!s.editor || s.editor.session !== session) close();
          else if (s.held && !s.yours) close(true);
        }
      } catch (e) {
        // The server has gone: keep looking, quietly.
      }
      await sleep(session === null ? 300 : 1000);
    }
  }
  watch();
})();
