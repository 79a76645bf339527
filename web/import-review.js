// The import page's judgement of a data file: the saved templates that fit
// it best (SuggestTemplates), and after an import the review of what was
// read (ReviewImport): the totals of the amounts and the findings, grouped
// by kind, each of which shows its line of the file with the item marked.
'use strict';

const ImportReview = (() => {
  const { el } = Zephrin;
  const $ = (id) => document.getElementById(id);

  // What each kind of finding is called, in the order the groups are shown.
  const KINDS = [
    ['read-error', 'The read failed'],
    ['cut-short', 'A file that may have been cut short'],
    ['open-quote', 'Double quotes left open'],
    ['carriage-return', 'Carriage returns inside lines'],
    ['split-amount', 'Amounts split at their thousands commas'],
    ['formula-without-value', 'Formulas saved without their results'],
    ['not-a-workbook', 'Text named as a workbook'],
    ['not-utf8', 'UTF-8 text with a byte of another kind'],
    ['ctrl-z', 'Text ended early by a Ctrl-Z'],
    ['tab', 'Tabs in fixed-width lines'],
    ['kind-mismatch', 'A template of another kind'],
    ['header-as-record', 'A header row read as a record'],
    ['out-of-balance', 'Out of balance'],
    ['required-missing', 'Records without a required item'],
    ['duplicate-account', 'Account numbers given twice'],
    ['not-a-number', 'Values that are not numbers'],
    ['not-a-date', 'Values that are not dates'],
    ['not-a-year', 'Values that are not years'],
  ];

  // An extension's value: the object itself, or its JSON text.
  function valueOf(result) {
    const v = result ? result.value : null;
    if (typeof v !== 'string') return v;
    try { return JSON.parse(v); } catch (e) { return null; }
  }

  // ---- Fitting templates ------------------------------------------------------------

  function hideSuggestions() {
    for (const id of ['suggestions', 'suggestions-label', 'suggestions-spacer']) $(id).hidden = true;
    $('suggestions').replaceChildren();
  }

  // Lists the templates best first, each a choice with its score and
  // reasons; `remembered` is marked as the one last used for the file.
  // Choosing one calls `choose(name)`.
  function drawSuggestions(templates, remembered, chosen, choose) {
    const box = $('suggestions');
    box.replaceChildren();
    templates.forEach((t, i) => {
      const radio = el('input', { type: 'radio', name: 'suggested', value: t.name, id: 'suggested-' + i });
      radio.checked = t.name === chosen;
      radio.addEventListener('change', () => { if (radio.checked) choose(t.name); });
      const percent = Math.round((Number(t.score) || 0) * 100) + '%';
      box.append(el('div', { class: 'suggestion' + (i === 0 ? ' best' : '') }, radio,
        el('label', { for: radio.id },
          el('span', { class: 'suggestion-name', text: t.name }),
          el('span', { class: 'suggestion-score', text: ' ' + percent }),
          t.name === remembered ? el('span', { class: 'suggestion-remembered', text: ' (last used for this file)' }) : null,
          el('span', { class: 'suggestion-reasons', text: ' — ' + (t.reasons || '') }))));
    });
    const shown = templates.length > 0;
    for (const id of ['suggestions', 'suggestions-label', 'suggestions-spacer']) $(id).hidden = !shown;
  }

  // The templates that fit a data file best first; null when the engine
  // cannot say (an older engine, or a file it cannot read).
  async function fittingTemplates(call, dataFile, importType) {
    try {
      const value = valueOf(await call('SuggestTemplates', [dataFile, importType]));
      return value && Array.isArray(value.templates) ? value.templates : null;
    } catch (e) {
      return null;
    }
  }

  // ---- The review ---------------------------------------------------------------------

  function hideReview() {
    $('review').hidden = true;
    $('finding-line').hidden = true;
  }

  function drawTotals(totals) {
    const table = $('review-totals');
    table.hidden = !totals.length;
    table.replaceChildren(el('tr', {}, ...['Amount', 'Values', 'Positive', 'Negative', 'Total'].map((h) => el('th', { text: h, scope: 'col' }))),
      ...totals.map((t) => el('tr', {}, el('td', { text: t.item }), el('td', { class: 'number', text: String(t.count) }),
        el('td', { class: 'number', text: t.positive }), el('td', { class: 'number', text: t.negative }),
        el('td', { class: 'number total' + (/^-?0(\.0+)?$/.test(t.total) ? '' : ' nonzero'), text: t.total }))));
  }

  // "Line 3, Account_Balance "abc": message"; a finding of the whole file
  // (line 0) names only its item, whose value its message tells.
  function findingText(f) {
    if (!f.line) return (f.item ? f.item + ': ' : '') + f.message;
    const value = f.value !== undefined && f.value !== '' ? ' "' + f.value + '"' : '';
    return 'Line ' + f.line + (f.item ? ', ' + f.item + value : '') + ': ' + f.message;
  }

  // The findings in groups of one kind each; a finding with a line is a
  // button that shows that line.
  function drawFindings(findings, more, showLine) {
    const box = $('review-findings');
    box.replaceChildren();
    const known = new Set(KINDS.map(([code]) => code));
    const kinds = [...KINDS, ...[...new Set(findings.map((f) => f.code))].filter((c) => !known.has(c)).map((c) => [c, c])];
    for (const [code, title] of kinds) {
      const group = findings.filter((f) => f.code === code);
      if (!group.length) continue;
      const headingId = 'findings-' + code;
      box.append(el('section', { class: 'finding-group', 'aria-labelledby': headingId },
        el('h4', { id: headingId, text: title + ' (' + group.length + ')' }),
        el('ul', {}, ...group.map((f) => el('li', {}, f.line
          ? el('button', { type: 'button', class: 'finding', text: findingText(f), onclick: () => showLine(f) })
          : el('span', { class: 'finding', text: findingText(f) }))))));
    }
    if (more > 0) box.append(el('div', { class: 'more-findings', text: 'And ' + more + ' more finding' + (more === 1 ? '' : 's') + '.' }));
  }

  // Shows line `finding.line` of the data file with the finding's item marked.
  async function showFindingLine(ran, finding) {
    const box = $('finding-line');
    const answer = await Zephrin.editor({ action: 'dataLine', file: ran.file, line: finding.line, template: ran.template,
      item: finding.item || '' }).catch((e) => ({ error: e.message }));
    box.hidden = false;
    if (answer.error) {
      box.replaceChildren(el('div', { class: 'line-error', text: answer.error }));
      return;
    }
    box.replaceChildren(el('div', { class: 'line-caption', text: 'Line ' + answer.line + ' of ' + ran.file + (finding.item ? ', ' + finding.item + ' marked' : '') + ':' }),
      el('pre', { class: 'line-text' }, answer.before,
        answer.marked ? el('mark', { text: answer.marked, title: finding.item }) : null, answer.after,
        answer.cut ? el('span', { class: 'line-cut', text: ' … (cut)' }) : null));
  }

  // Reviews what an import read and shows it above the records; the review
  // stays hidden when the engine offers none.
  // `current()` says whether this import is still the page's last one: the
  // review of an import that a later one replaced is not shown.
  async function review(call, ran, current = () => true) {
    hideReview();
    let value;
    try {
      value = valueOf(await call('ReviewImport', [ran.file, ran.template, ran.type, ran.id, '', ran.intlKind || 0]));
    } catch (e) {
      return;
    }
    if (!value || !current()) return;
    const findings = Array.isArray(value.findings) ? value.findings : [];
    const more = Number(value.moreFindings) || 0;
    const count = findings.length + more;
    $('review-summary').textContent = value.records + ' record' + (value.records === 1 ? '' : 's') + ' reviewed: ' +
      (count ? count + ' finding' + (count === 1 ? '' : 's') + '.' : 'nothing found.');
    $('review-summary').className = 'review-summary' + (count ? ' has-findings' : '');
    drawTotals(Array.isArray(value.totals) ? value.totals : []);
    drawFindings(findings, more, (f) => showFindingLine(ran, f));
    $('review').hidden = false;
  }

  return { fittingTemplates, drawSuggestions, hideSuggestions, review, hideReview };
})();
