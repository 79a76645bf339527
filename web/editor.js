// The layout editor page. It draws the state the server's editor model sends
// and hands every user action back; no rule of the editor lives here.
'use strict';

(() => {
  const { el } = Zephrin;
  const $ = (id) => document.getElementById(id);
  const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

  let state = null;
  let session = null;
  let pending = 0;             // actions sent and not yet answered
  let chain = Promise.resolve();
  let lastSeq = -1;
  let lastFocus = '';
  let preview = null;          // GridView or TextView

  // ---- Talking to the model ----------------------------------------------------

  function act(action, extra) {
    if (session === null) return chain;
    pending++;
    const request = Object.assign({ action, session }, extra || {});
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
      if (reply.closed || !reply.editor) { close(); return; }
      apply(reply.editor);
      await Zephrin.showMessages(reply.messages);
      if (reply.editor.ended) close();
    });
    return chain;
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
    if (preview) preview.detach();
    preview = grid ? new GridView($('grid'), st) : new TextView($('text'), st);
    apply(st);
    preview.render();
    // Let the model know what is in view from the start.
    act('view');
  }

  function close() {
    session = null;
    state = null;
    if (preview) { preview.detach(); preview = null; }
    $('dialog').hidden = true;
    $('closed').hidden = false;
  }

  function apply(st) {
    state = st;
    document.title = st.title;
    $('title').textContent = st.title;
    const name = $('name');
    name.readOnly = st.nameReadOnly;
    if (pending === 0 && name.value !== st.name) name.value = st.name;
    $('ok').disabled = !st.okEnabled;
    $('cancel').disabled = st.ended;
    $('reset').disabled = !st.initialised;
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
    $('instruction').textContent = st.instruction;
    drawItems(st);

    if (pending === 0) {
      if ($('col-box').value !== st.colBox) $('col-box').value = st.colBox;
      if ($('len-box').value !== st.lenBox) $('len-box').value = st.lenBox;
    }
    if (preview) preview.update(st);
    if (st.view.seq !== lastSeq) {
      lastSeq = st.view.seq;
      if (preview) preview.showRequested(st.view);
    }
    if (st.focus && st.focus !== lastFocus) {
      lastFocus = st.focus;
      const target = { col: 'col-box', len: 'len-box', grid: 'grid', text: 'text', name: 'name' }[st.focus];
      if (target) $(target).focus({ preventScroll: true });
    }
  }

  // The owner-drawn list: two-line captions, numbers right-aligned on the
  // caption's last line, grey for unavailable items, which are never drawn
  // selected.
  function drawItems(st) {
    const list = $('items');
    list.style.setProperty('--digit-widths', String(st.digitWidths));
    const rows = st.items.map((item, i) => {
      const row = el('div', {
        class: 'item' + (item.available ? '' : ' unavailable') + (item.drawnSelected ? ' drawn-selected' : ''),
        role: 'option', 'aria-selected': item.selected ? 'true' : 'false', 'data-available': item.available ? 'yes' : 'no',
        'data-index': String(i),
      });
      item.lines.forEach((text, k) => {
        const line = el('div', { class: 'item-line' }, el('span', { class: 'caption', text }));
        if (k === item.lines.length - 1) {
          line.append(el('span', { class: 'num col-num', text: String(item.col) }),
            el('span', { class: 'num len-num', text: String(item.len) }));
        }
        row.append(line);
      });
      return row;
    });
    list.replaceChildren(...rows);
    if (st.current >= 0 && rows[st.current]) rows[st.current].scrollIntoView({ block: 'nearest' });
  }

  // ---- Grid preview --------------------------------------------------------------

  const ROW_HEIGHT = 20;
  const MIN_COL_WIDTH = 72;
  const BLOCK = 200;

  // The letter name of grid column c (1-based): A..Z, AA..AZ, BA...
  function letterName(c) {
    let name = '';
    for (let n = c; n > 0; n = Math.floor((n - 1) / 26)) name = String.fromCharCode(65 + (n - 1) % 26) + name;
    return name;
  }

  function textWidth(text, font) {
    const ctx = textWidth.ctx || (textWidth.ctx = document.createElement('canvas').getContext('2d'));
    ctx.font = font;
    return ctx.measureText(text).width;
  }

  class GridView {
    constructor(root, st) {
      this.root = root;
      this.canvas = root.querySelector('.grid-canvas');
      this.rows = st.grid.rows;
      this.cols = st.grid.cols;
      this.cache = new Map();
      this.loading = new Set();
      this.expected = null;
      this.font = getComputedStyle(root).font;
      this.headers = [];
      this.sel = [0, 0];
      this.setHeaders(st.grid.headers);
      this.onScroll = () => this.scrolled();
      this.onDown = (e) => this.mouseDown(e);
      root.addEventListener('scroll', this.onScroll);
      this.canvas.addEventListener('mousedown', this.onDown);
      this.frame = 0;
      this.scrollTimer = 0;
      root.scrollTop = 0;
      root.scrollLeft = 0;
    }
    detach() {
      this.root.removeEventListener('scroll', this.onScroll);
      this.canvas.removeEventListener('mousedown', this.onDown);
      this.canvas.replaceChildren();
    }
    setHeaders(headers) {
      const same = headers.length === this.headers.length && headers.every((h, i) => h === this.headers[i]);
      if (same) return;
      this.headers = headers.slice();
      // Line numbers need room for the largest; each column fits its header.
      this.widths = [Math.max(44, textWidth(String(this.rows), this.font) + 16)];
      for (let c = 1; c < this.cols; c++) this.widths.push(Math.max(MIN_COL_WIDTH, Math.ceil(textWidth(headers[c] || '', 'bold ' + this.font) + 16)));
      this.xs = [0];
      for (let c = 1; c < this.cols; c++) this.xs.push(this.xs[c - 1] + this.widths[c - 1]);
      this.totalWidth = this.xs[this.cols - 1] + this.widths[this.cols - 1];
      this.canvas.style.width = this.totalWidth + 'px';
      this.canvas.style.height = (this.rows * ROW_HEIGHT) + 'px';
    }
    update(st) {
      this.setHeaders(st.grid.headers);
      this.sel = st.grid.sel;
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
    render() {
      cancelAnimationFrame(this.frame);
      this.frame = requestAnimationFrame(() => this.draw());
    }
    draw() {
      const root = this.root;
      const top = root.scrollTop, left = root.scrollLeft;
      const w0 = this.widths[0];
      const firstRow = Math.max(1, Math.floor(top / ROW_HEIGHT) + 1);
      const lastRow = Math.min(this.rows - 1, Math.ceil((top + root.clientHeight) / ROW_HEIGHT));
      const firstCol = this.cols > 1 ? this.colAt(left + w0) : 1;
      const lastCol = this.cols > 1 ? this.colAt(left + root.clientWidth) : 0;
      this.fetch(firstRow, lastRow);
      const frag = document.createDocumentFragment();
      const cell = (cls, x, y, w, text, r, c) => {
        const d = document.createElement('div');
        d.className = cls;
        d.style.left = x + 'px';
        d.style.top = y + 'px';
        d.style.width = w + 'px';
        d.textContent = text;
        d.dataset.r = r;
        d.dataset.c = c;
        return d;
      };
      for (let r = firstRow; r <= lastRow; r++) {
        const cells = this.cache.get(r);
        const byCol = new Map(cells || []);
        for (let c = firstCol; c <= lastCol; c++) {
          const selected = this.sel[0] === r && this.sel[1] === c;
          frag.append(cell('cell' + (selected ? ' sel' : '') + (cells ? '' : ' loading'), this.xs[c], r * ROW_HEIGHT,
            this.widths[c], byCol.get(c) || '', r, c));
        }
        frag.append(cell('cell fixed rownum', left, r * ROW_HEIGHT, w0, String(r), r, 0));
      }
      for (let c = firstCol; c <= lastCol; c++) {
        frag.append(cell('cell fixed header' + (this.headers[c] === letterName(c) ? '' : ' caption'), this.xs[c], top,
          this.widths[c], this.headers[c], 0, c));
      }
      frag.append(cell('cell fixed corner', left, top, w0, '', 0, 0));
      this.canvas.replaceChildren(frag);
    }
    async fetch(firstRow, lastRow) {
      for (let b = Math.floor(firstRow / BLOCK) * BLOCK; b <= lastRow; b += BLOCK) {
        if (this.loading.has(b) || (this.cache.has(Math.max(b, 1)) && this.cache.has(Math.min(b + BLOCK - 1, this.rows - 1)))) continue;
        this.loading.add(b);
        const mySession = session;
        Zephrin.editor({ action: 'rows', session, from: b, count: BLOCK }).then((reply) => {
          if (session !== mySession || !reply.rows) return;
          for (const [r, cells] of reply.rows) this.cache.set(r, cells);
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
      this.scrollTimer = setTimeout(() => act('gridScroll', { leftCol: this.visibleCols()[0] }), 150);
    }
    scrollTo(left, top) {
      this.root.scrollLeft = left;
      this.root.scrollTop = top;
      this.expected = { left: this.root.scrollLeft, top: this.root.scrollTop };
    }
    colIntoView(c, left) {
      const x = this.xs[c], w = this.widths[c], w0 = this.widths[0], width = this.root.clientWidth;
      if (x < left + w0) return x - w0;
      if (x + w > left + width) return Math.min(x - w0, x + w - width);
      return left;
    }
    showRequested(view) {
      let left = this.root.scrollLeft, top = this.root.scrollTop;
      if (view.scrollToCol > 0 && view.scrollToCol < this.cols) left = this.colIntoView(view.scrollToCol, left);
      const [r, c] = view.showCell;
      if (r > 0 && c > 0 && c < this.cols) {
        left = this.colIntoView(c, left);
        const y = r * ROW_HEIGHT, h = this.root.clientHeight;
        if (y < top + ROW_HEIGHT) top = y - ROW_HEIGHT;
        else if (y + ROW_HEIGHT > top + h) top = y + ROW_HEIGHT - h;
      }
      if (left !== this.root.scrollLeft || top !== this.root.scrollTop) this.scrollTo(Math.max(0, left), Math.max(0, top));
      this.render();
    }
    mouseDown(e) {
      const target = e.target.closest('.cell');
      if (!target || e.button !== 0) return;
      e.preventDefault();
      this.root.focus({ preventScroll: true });
      act('click', { row: Number(target.dataset.r), col: Number(target.dataset.c) });
    }
  }

  // ---- Text preview ----------------------------------------------------------------

  const LINE_HEIGHT = 18;
  const PAD = 4;
  const TEXT_BLOCK = 500;

  class TextView {
    constructor(root, st) {
      this.root = root;
      this.canvas = root.querySelector('.text-canvas');
      this.lines = st.text.lines;
      this.longest = st.text.longest;
      this.cache = new Map();
      this.loading = new Set();
      this.sel = st.text.sel;
      this.drag = null;
      this.expected = null;
      this.charWidth = textWidth('0000000000', getComputedStyle(root).font) / 10;
      this.canvas.style.width = (this.longest * this.charWidth + 2 * PAD + 20) + 'px';
      this.canvas.style.height = (this.lines * LINE_HEIGHT + 2 * PAD) + 'px';
      this.onScroll = () => this.scrolled();
      this.onDown = (e) => this.mouseDown(e);
      this.onMove = (e) => this.mouseMove(e);
      this.onUp = (e) => this.mouseUp(e);
      root.addEventListener('scroll', this.onScroll);
      root.addEventListener('mousedown', this.onDown);
      this.frame = 0;
      this.scrollTimer = 0;
      root.scrollTop = 0;
      root.scrollLeft = 0;
    }
    detach() {
      this.root.removeEventListener('scroll', this.onScroll);
      this.root.removeEventListener('mousedown', this.onDown);
      window.removeEventListener('mousemove', this.onMove);
      window.removeEventListener('mouseup', this.onUp);
      this.canvas.replaceChildren();
    }
    update(st) {
      this.sel = st.text.sel;
      this.render();
    }
    view() {
      return { firstLine: Math.floor(this.root.scrollTop / LINE_HEIGHT), visibleLines: Math.max(1, Math.floor((this.root.clientHeight - PAD) / LINE_HEIGHT)) };
    }
    render() {
      cancelAnimationFrame(this.frame);
      this.frame = requestAnimationFrame(() => this.draw());
    }
    draw() {
      const root = this.root;
      const first = Math.max(0, Math.floor((root.scrollTop - PAD) / LINE_HEIGHT));
      const last = Math.min(this.lines - 1, Math.ceil((root.scrollTop + root.clientHeight) / LINE_HEIGHT));
      const firstCol = Math.max(0, Math.floor((root.scrollLeft - PAD) / this.charWidth) - 2);
      const colCount = Math.ceil(root.clientWidth / this.charWidth) + 4;
      this.fetch(first, last);
      const sel = this.drag ? this.drag.sel : this.sel;
      const frag = document.createDocumentFragment();
      for (let l = first; l <= last; l++) {
        const text = this.cache.get(l);
        const y = PAD + l * LINE_HEIGHT;
        if (sel && l >= sel.start.line && l <= sel.end.line) {
          const from = l === sel.start.line ? sel.start.col : 0;
          const to = l === sel.end.line ? sel.end.col : (text ? text.length + 1 : from);
          if (to > from) {
            const h = document.createElement('div');
            h.className = 'text-sel';
            h.style.left = (PAD + from * this.charWidth) + 'px';
            h.style.top = y + 'px';
            h.style.width = ((to - from) * this.charWidth) + 'px';
            frag.append(h);
          }
        }
        if (text === undefined) continue;
        const d = document.createElement('div');
        d.className = 'text-line';
        d.style.top = y + 'px';
        d.style.left = (PAD + firstCol * this.charWidth) + 'px';
        d.textContent = text.substr(firstCol, colCount).replace(/[\f\r\x1a]/g, ' ');
        frag.append(d);
      }
      this.canvas.replaceChildren(frag);
    }
    fetch(first, last) {
      for (let b = Math.floor(first / TEXT_BLOCK) * TEXT_BLOCK; b <= last; b += TEXT_BLOCK) {
        if (this.loading.has(b) || (this.cache.has(b) && this.cache.has(Math.min(b + TEXT_BLOCK - 1, this.lines - 1)))) continue;
        this.loading.add(b);
        const mySession = session;
        Zephrin.editor({ action: 'rows', session, from: b, count: TEXT_BLOCK }).then((reply) => {
          if (session !== mySession || !reply.rows) return;
          for (const [l, text] of reply.rows) this.cache.set(l, text);
          this.render();
        }).catch(() => {}).finally(() => this.loading.delete(b));
      }
    }
    position(e) {
      const rect = this.canvas.getBoundingClientRect();
      const x = e.clientX - rect.left - PAD, y = e.clientY - rect.top - PAD;
      const line = Math.min(Math.max(0, Math.floor(y / LINE_HEIGHT)), this.lines - 1);
      const text = this.cache.get(line) || '';
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
      this.drag = { anchor: p, sel: { start: p, end: p } };
      window.addEventListener('mousemove', this.onMove);
      window.addEventListener('mouseup', this.onUp);
      this.render();
    }
    mouseMove(e) {
      if (!this.drag) return;
      const p = this.position(e);
      const a = this.drag.anchor;
      const before = p.line < a.line || (p.line === a.line && p.col < a.col);
      this.drag.sel = before ? { start: p, end: a } : { start: a, end: p };
      this.render();
    }
    mouseUp(e) {
      window.removeEventListener('mousemove', this.onMove);
      window.removeEventListener('mouseup', this.onUp);
      if (!this.drag) return;
      this.mouseMove(e);
      const sel = this.drag.sel;
      this.drag = null;
      if (sel.start.line === sel.end.line && sel.start.col === sel.end.col) { this.render(); return; }
      act('textSelect', { start: sel.start, end: sel.end });
    }
    scrolled() {
      this.render();
      const programmatic = this.expected && this.expected.left === this.root.scrollLeft && this.expected.top === this.root.scrollTop;
      if (programmatic) return;
      this.expected = null;
      clearTimeout(this.scrollTimer);
      this.scrollTimer = setTimeout(() => act('textScroll'), 150);
    }
    showRequested(view) {
      if (view.scrollToLine < 0 || !this.sel) return;
      const root = this.root;
      let top = root.scrollTop, left = root.scrollLeft;
      const y = PAD + view.scrollToLine * LINE_HEIGHT;
      if (y < top) top = y - PAD;
      else if (y + LINE_HEIGHT > top + root.clientHeight) top = y + LINE_HEIGHT - root.clientHeight + PAD;
      // The caret, at the selection's end, comes into view.
      const x = PAD + this.sel.end.col * this.charWidth;
      if (x < left) left = Math.max(0, x - 40);
      else if (x > left + root.clientWidth - 20) left = x - root.clientWidth + 40;
      if (top !== root.scrollTop || left !== root.scrollLeft) {
        root.scrollTop = Math.max(0, top);
        root.scrollLeft = Math.max(0, left);
        this.expected = { left: root.scrollLeft, top: root.scrollTop };
      }
      this.render();
    }
  }

  // ---- Controls ---------------------------------------------------------------------

  function digitsOnly(input, action) {
    input.addEventListener('beforeinput', (e) => {
      if (e.data && /\D/.test(e.data)) e.preventDefault();
    });
    input.addEventListener('input', () => {
      const digits = input.value.replace(/\D/g, '');
      if (digits !== input.value) input.value = digits;
      act(action, { text: digits });
    });
  }
  digitsOnly($('col-box'), 'colBox');
  digitsOnly($('len-box'), 'lenBox');
  $('name').addEventListener('input', () => act('name', { text: $('name').value }));
  $('ok').addEventListener('click', () => act('ok'));
  $('cancel').addEventListener('click', () => act('cancel'));
  $('reset').addEventListener('click', () => act('reset'));
  $('items').addEventListener('mousedown', (e) => {
    const row = e.target.closest('.item');
    if (!row) return;
    e.preventDefault();
    $('items').focus({ preventScroll: true });
    act('select', { index: Number(row.dataset.index) });
  });
  $('items').addEventListener('keydown', (e) => {
    if (!state) return;
    const step = { ArrowDown: 1, ArrowUp: -1 }[e.key];
    if (!step) return;
    e.preventDefault();
    const next = Math.min(Math.max(state.current + step, 0), state.items.length - 1);
    if (next !== state.current) act('select', { index: next });
  });
  document.addEventListener('keydown', (e) => {
    if (!state || document.querySelector('dialog[open]')) return;
    if (e.key === 'Escape') { e.preventDefault(); act('cancel'); }
    else if (e.key === 'Enter' && e.target.tagName === 'INPUT' && !$('ok').disabled) { e.preventDefault(); act('ok'); }
  });
  window.addEventListener('resize', () => { if (preview) { preview.render(); act('view'); } });

  // ---- Waiting for an editor ----------------------------------------------------------

  async function watch() {
    for (;;) {
      try {
        if (session === null) {
          const s = await Zephrin.editor({ action: 'state', takeMessages: true });
          if (s.editor && !s.editor.ended) {
            open(s.editor);
            await Zephrin.showMessages(s.messages);
          }
        } else if (pending === 0) {
          const s = await Zephrin.editor({ action: 'state' });
          if (!s.editor || s.editor.session !== session) close();
        }
      } catch (e) {
        // The server has gone: keep looking, quietly.
      }
      await sleep(session === null ? 300 : 1000);
    }
  }
  watch();
})();
