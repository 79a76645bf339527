#include "readers/record_builder.h"

#include <algorithm>

#include <pugixml.hpp>

#include "catalogue/jurisdiction_tables.h"
#include "platform/codepage.h"
#include "readers/plain_reader.h"
#include "readers/reader_messages.h"
#include "readers/signed_amount.h"
#include "result/error_document.h"

namespace zephrin {

namespace {

bool OutsidePrintable(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u > 0x7E;
}


}  // namespace

struct RecordBuilder::CountryList {
  pugi::xml_document doc;
  pugi::xml_node root;
};

RecordBuilder::RecordBuilder(const ReadPlan& plan, const ReadHooks& hooks)
    : m_plan(plan), m_hooks(hooks), m_numberedRecord(plan.record, plan.lineAttributeName), m_progress(hooks) {
  m_doc.SetSink(hooks.sink);
  m_doc.SetJsonString(hooks.jsonString);
  // Which items each column feeds, in item order: a row looks a column up
  // instead of walking every item for every cell.
  const auto columnOf = [&](std::size_t j) { return plan.cellsAreItems ? j : std::size_t{plan.items[j].field.nCol}; };
  // A credit column feeds its item too (a fixed-width source cuts it as the
  // cell after all the items' cells).
  const auto creditOf = [&](std::size_t j) {
    return plan.cellsAreItems ? plan.items.size() + j : std::size_t{plan.items[j].credit.nCol};
  };
  std::size_t columns = 0;
  for (std::size_t j = 0; j < plan.items.size(); ++j) {
    if (plan.items[j].field.placed()) columns = std::max(columns, columnOf(j) + 1);
    if (!plan.items[j].credit.placed()) continue;
    columns = std::max(columns, creditOf(j) + 1);
    CreditItem c;
    c.item = j;
    c.placed = plan.items[j].field.placed();
    c.debitColumn = static_cast<uint32_t>(columnOf(j));
    c.creditColumn = static_cast<uint32_t>(creditOf(j));
    m_creditItems.push_back(c);
  }
  m_colStart.assign(columns + 1, 0);
  for (std::size_t c = 0; c < columns; ++c) {
    m_colStart[c] = static_cast<uint32_t>(m_colItems.size());
    for (std::size_t j = 0; j < plan.items.size(); ++j)
      if ((plan.items[j].field.placed() && columnOf(j) == c) || (plan.items[j].credit.placed() && creditOf(j) == c))
        m_colItems.push_back({&plan.items[j], static_cast<uint32_t>(j), 1u << static_cast<unsigned>(plan.items[j].chart)});
  }
  if (columns > 0) m_colStart[columns] = static_cast<uint32_t>(m_colItems.size());
  m_splitAmounts.ReadsColumnsBelow(columns);

  // The usual read has no rule and no journal: each row's elements are
  // written straight into room made once for the row, enough for every
  // placed item's tags and its column's text as many times as items take it.
  // A review's observer sees the values on the same path.
  m_plainValues = plan.journal == JournalLayout::kNone && !plan.extraColumnsAsCodes &&
                  std::all_of(plan.items.begin(), plan.items.end(),
                              [](const PlanItem& item) { return item.rule == ValueRule::kNone; });
  if (m_plainValues) PreparePlainColumns();
  m_recordBytes = ResultDocument::WholeRecordTagRoom(plan.record, plan.lineAttribute ? plan.lineAttributeName : "");
  for (const XmlTag* chart : {&plan.accountNumber, &plan.accountCaption, &plan.tccCaption, &plan.trc, &plan.tcc})
    m_recordBytes += ResultDocument::ElementRoom(*chart, 0);
  for (std::size_t j = 0; j < plan.items.size(); ++j) {
    if (!plan.items[j].field.placed()) continue;
    m_recordBytes += ResultDocument::ElementRoom(plan.items[j].element, 0);
    m_perColumn = std::max(m_perColumn, ItemsOf(static_cast<uint32_t>(columnOf(j))).size());
  }
}

RecordBuilder::~RecordBuilder() = default;

// Most plans feed each column to one item at the most: their records are
// written from a table of the columns' prepared elements.
void RecordBuilder::PreparePlainColumns() {
  const std::size_t columns = m_colStart.empty() ? 0 : m_colStart.size() - 1;
  std::vector<PlainColumn> prepared(columns);
  for (uint32_t c = 0; c < columns; ++c) {
    const std::span<const ColumnItem> items = ItemsOf(c);
    if (items.empty()) continue;
    if (items.size() > 1) return;
    prepared[c].element = PreparedElement(items[0].item->element);
    if (!prepared[c].element.whole) return;
    prepared[c].chartBit = items[0].chartBit;
    prepared[c].fed = true;
  }
  m_plainColumns = std::move(prepared);
}

ReadResult RecordBuilder::Build(RowSource& source) {
  m_doc.InitXML(m_plan.rootName);
  for (const auto& [name, value] : m_plan.rootAttributes) m_doc.SetRootAttribute(name, value);
  LoadCountryList();
  Row row;
  std::size_t rows = 0;
  bool exhausted = false;  // the source gave its last row (no limit stopped the read)
  // Thousands commas split amounts only where commas split the fields.
  const bool watchSplits = source.splitsAt() == ',';
  while (MayGoOn()) {
    if (!source.Next(row)) {
      exhausted = true;
      break;
    }
    ++rows;
    if (!Progress(source)) return CancelledRead();
    const bool goOn = m_plan.journal == JournalLayout::kBlocks      ? BlockRow(row)
                      : m_plan.journal == JournalLayout::kLineCodes ? LineCodeRow(row)
                                                                    : PlainRow(row);
    if (!goOn) return ReadResult::Error(m_failure);
    if (row.notes != 0) [[unlikely]]
      NoteLine(row);
    if (watchSplits && !row.blank) m_splitAmounts.Line(static_cast<long>(row.index) + 1, row.fields, row.cells);
  }
  if (!m_progress.Done(source.size())) return CancelledRead();
  m_endMarkMissing = exhausted && source.endMarkMissing();
  m_formulas = source.uncomputedFormulas();
  m_headerFields = source.headerFields();
  m_rows = rows;
  return Finish(source.templateColumns());
}

void RecordBuilder::NoteLine(const Row& row) {
  const long line = static_cast<long>(row.index) + 1;
  const auto note = [&](long& first, LineNote what) {
    if (first == 0) first = line;
    if (m_hooks.observer) m_hooks.observer->Noted(line, what);
  };
  if (row.Noted(LineNote::kQuoteLeftOpen)) note(m_quoteLeftOpenLine, LineNote::kQuoteLeftOpen);
  if (row.Noted(LineNote::kCarriageReturn)) note(m_carriageReturnLine, LineNote::kCarriageReturn);
  if (row.Noted(LineNote::kTab)) note(m_tabLine, LineNote::kTab);
}

bool RecordBuilder::MayGoOn() const {
  if (m_plan.recordLimit == 0 || m_records < m_plan.recordLimit) return true;
  // A journal entry under way is read to its end.
  return m_plan.journal != JournalLayout::kNone && (m_recordOpen || m_lineCount != 0);
}

// ---- Rows of plain records -------------------------------------------------------

bool RecordBuilder::PlainRow(const Row& row) {
  m_line = row.index;
  m_written = 0;
  m_acctnum = m_trc = m_tcc = m_capt = false;
  if (row.blank && !m_plan.blankRowsAreRecords) {
    // Counted for the blank run, which the next row with text checks.
    NoteBlankRun(row.index, true);
    return true;
  }
  if (!m_creditItems.empty()) TakeCreditCells(row);
  if (m_plainValues) {
    if (!PlainRecord(row)) return false;
  } else {
    if (!StartRecord(row.index)) return false;
    for (const Cell& cell : row.cells) {
      for (const ColumnItem& c : ItemsOf(cell.column)) Field(*c.item, cell.text, cell.number);
      // Every field from the seventh on is one more category code.
      if (m_plan.extraColumnsAsCodes && cell.column > 5 && !cell.text.empty())
        m_doc.AddDataElement(m_plan.subcategoryCode, StripQuotes(cell.text), ValueTable());
    }
    if (row.ended) CompleteChart();
  }
  if (!row.ended) return true;
  NoteBlankRun(row.index, m_written == 0);
  return BlankRunBelowLimit();
}

bool RecordBuilder::NoRecordName() { return Fail(ErrorDocument::Reader(messages::kNoRecordElement)); }

bool RecordBuilder::StartRecord(int32_t index) {
  if (!BeginRecord(index)) return false;
  if (!m_plan.lineAttribute) {
    m_doc.AddMajorNode(m_plan.record);
    return true;
  }
  m_doc.AddMajorNode(m_plan.record, m_plan.lineAttributeName, index + m_plan.lineOffset);
  return true;
}

// The record is written whole into room made once for it, with no writer
// bookkeeping between its pieces: the start tag with its line, the
// elements, the chart completion (for a row its format ended), the end tag.
bool RecordBuilder::PlainRecord(const Row& row) {
  if (!BeginRecord(row.index)) return false;
  char* p = m_doc.WholeRecordRoom(m_recordBytes + m_perColumn * xml::RoomFor(row.textBytes));
  p = m_plan.lineAttribute
          ? m_doc.RecordStartAt(p, m_numberedRecord,
                                m_lineDigits.Digits(static_cast<long long>(row.index) + m_plan.lineOffset),
                                DecimalCounter::kReadable)
          : m_doc.RecordStartAt(p, m_plan.record);
  const char* const content = p;
  // A review's observer takes the values; nothing is written for them.
  if (m_hooks.valuesOnly && m_hooks.observer) [[unlikely]]
    ObservePlainCells(row);
  else if (!m_plainColumns.empty() && !m_hooks.observer)
    p = WriteColumnCells(p, row);
  else
    p = WritePlainCells(p, row);
  if (row.ended) ForMissingChart([&](const XmlTag& tag) { p = m_doc.ElementAt(p, tag, {}, xml::kText); });
  m_doc.CommitRecord(ResultDocument::RecordEndAt(p, m_plan.record, content));
  return true;
}

char* RecordBuilder::WritePlainCells(char* p, const Row& row) {
  const xml::EscapeTable& table = ValueTable();
  // What the loop needs of the builder is read into locals first: the
  // compiler must otherwise read it again after every byte written.
  const bool emptyElements = m_plan.emptyFieldElements;
  const bool observed = m_hooks.observer != nullptr;
  const std::string_view buffer = row.buffer;
  std::size_t written = 0;
  unsigned charts = 0;
  for (const Cell& cell : row.cells) {
    for (const ColumnItem& c : ItemsOf(cell.column)) {
      if (!cell.text.empty()) {
        ++written;
        charts |= c.chartBit;
        if (observed) [[unlikely]]
          Observe(*c.item, cell.text);
      } else if (!emptyElements) {
        continue;
      }
      const std::string_view text = StripQuotes(cell.text);
      p = m_doc.ElementAt(p, c.item->element, text, table, ReadableFrom(buffer, text));
    }
  }
  NoteCells(written, charts);
  return p;
}

// The same from the table of prepared columns: a column's element is found
// by its index, its tags written as whole blocks.
char* RecordBuilder::WriteColumnCells(char* p, const Row& row) {
  if (!row.inBuffer) return WriteColumnCellsOf<false, false>(p, row);
  return row.unquoted ? WriteColumnCellsOf<true, true>(p, row) : WriteColumnCellsOf<true, false>(p, row);
}

// What the source knows of all the row's cells is not asked of each: where
// it lies, whether it has quotes to strip.
template <bool kInBuffer, bool kUnquoted>
char* RecordBuilder::WriteColumnCellsOf(char* p, const Row& row) {
  const xml::EscapeTable& table = m_doc.TableInUse(ValueTable());
  const bool emptyElements = m_plan.emptyFieldElements;
  const std::string_view buffer = row.buffer;
  const char* const bufferEnd = buffer.data() + buffer.size();
  const PlainColumn* const columns = m_plainColumns.data();
  const std::size_t count = m_plainColumns.size();
  std::size_t written = 0;
  unsigned charts = 0;
  for (const Cell& cell : row.cells) {
    if (cell.column >= count || !columns[cell.column].fed) continue;
    const PlainColumn& c = columns[cell.column];
    if (!cell.text.empty()) {
      ++written;
      charts |= c.chartBit;
    } else if (!emptyElements) {
      continue;
    }
    const std::string_view text = kUnquoted ? cell.text : StripQuotes(cell.text);
    // A text stripped of its quotes lies in the buffer unless it is empty
    // (an empty text is never read).
    const std::size_t readable = !kInBuffer                     ? ReadableFrom(buffer, text)
                                 : kUnquoted || !text.empty() ? static_cast<std::size_t>(bufferEnd - text.data())
                                                              : 0;
    p = ResultDocument::ElementAt(p, c.element, text, table, readable);
  }
  NoteCells(written, charts);
  return p;
}

// Counts the values a plain row wrote and notes its chart elements (bits of
// ChartElement).
void RecordBuilder::NoteCells(std::size_t written, unsigned charts) {
  m_written += static_cast<int>(written);
  m_values += written;
  for (const ChartElement c :
       {ChartElement::kAccountNumber, ChartElement::kTrc, ChartElement::kTcc, ChartElement::kCaption})
    if ((charts & (1u << static_cast<unsigned>(c))) != 0) NoteChart(c);
}

// The same row's values, told to the observer with no element written, each
// as the document would hold it.
void RecordBuilder::ObservePlainCells(const Row& row) {
  RecordObserver& observer = *m_hooks.observer;
  const long line = static_cast<long>(m_line) + 1;
  std::size_t written = 0;
  unsigned charts = 0;
  for (const Cell& cell : row.cells) {
    if (cell.text.empty()) continue;
    for (const ColumnItem& c : ItemsOf(cell.column)) {
      ++written;
      charts |= c.chartBit;
      // A line its source found plain holds only printable ASCII, unquoted.
      observer.Value(c.index, row.unquoted ? cell.text : StripQuotes(Printable(cell.text)), line, false);
    }
  }
  NoteCells(written, charts);
}

void RecordBuilder::Field(const PlanItem& item, std::string_view field, bool number) {
  if (item.rule != ValueRule::kNone || field.empty()) [[unlikely]] {
    FieldWithRule(item, field, number);
    return;
  }
  ++m_written;
  ++m_values;
  m_doc.AddDataElement(item.element, StripQuotes(field), ValueTable());
  NoteChart(item.chart);
  if (m_hooks.observer) [[unlikely]]
    Observe(item, field);
}

void RecordBuilder::Observe(const PlanItem& item, std::string_view field) {
  m_hooks.observer->Value(static_cast<std::size_t>(&item - m_plan.items.data()), StripQuotes(Printable(field)),
                          static_cast<long>(m_line) + 1, item.rule == ValueRule::kSignedAmount && m_amountRead);
}

std::string_view RecordBuilder::Printable(std::string_view field) {
  if (m_plan.keepAllCharacters || std::none_of(field.begin(), field.end(), OutsidePrintable)) return field;
  m_scratch.assign(field);
  for (char& c : m_scratch)
    if (OutsidePrintable(c)) c = ' ';
  return m_scratch;
}

// ---- Chart records and the blank run ----------------------------------------------

void RecordBuilder::NoteChart(ChartElement chart) {
  switch (chart) {
    case ChartElement::kAccountNumber: m_acctnum = true; break;
    case ChartElement::kTrc: m_trc = true; break;
    case ChartElement::kTcc: m_tcc = true; break;
    case ChartElement::kCaption: m_capt = true; break;
    case ChartElement::kNone: break;
  }
}

template <typename Add>
void RecordBuilder::ForMissingChart(Add add) const {
  if (m_plan.chart == ChartKind::kTaxCategoryCodes && !(m_trc && m_tcc && m_capt)) {
    if (!m_capt) add(m_plan.tccCaption);
    if (!m_trc) add(m_plan.trc);
    if (!m_tcc) add(m_plan.tcc);
  } else if (m_plan.chart == ChartKind::kAccounts && !(m_acctnum && m_trc && m_tcc && m_capt)) {
    if (!m_acctnum) add(m_plan.accountNumber);
    if (!m_capt) add(m_plan.accountCaption);
    if (!m_trc) add(m_plan.trc);
    if (!m_tcc) add(m_plan.tcc);
  }
}

void RecordBuilder::CompleteChart() {
  ForMissingChart([this](const XmlTag& tag) { m_doc.AddDataNode(tag); });
}

void RecordBuilder::NoteBlankRun(int32_t index, bool wroteNothing) {
  if (!wroteNothing) m_blankRun = 0;
  else if (++m_blankRun == 1) m_firstBlank = index;
}

bool RecordBuilder::BlankRunBelowLimit() {
  if (m_blankRun < 25) return true;
  return Fail(ErrorDocument::Reader()
                  .Text(messages::kBlankRunBefore)
                  .Number(m_firstBlank + 1)
                  .Text(messages::kBlankRunAfter)
                  .Take());
}

// ---- The end ------------------------------------------------------------------------

bool RecordBuilder::Fail(std::string document) {
  m_failure = std::move(document);
  return false;
}

ReadResult RecordBuilder::Finish(int templateColumns) {
  if (m_plan.templateElement == TemplateElement::kTmpl) m_doc.AddMajorNode("TMPL");
  else if (m_plan.templateElement == TemplateElement::kTmplt) m_doc.AddMajorNode("TMPLT");
  if (m_plan.templateElement != TemplateElement::kNone) {
    for (const TemplateEntry& e : m_plan.templateDescription) {
      if (e.column >= templateColumns) break;
      m_doc.AddDataNode(e.element);
      if (!e.text.empty()) m_doc.WriteDataNode(e.text);
    }
  }
  if (m_doc.failed()) {
    const std::string bad = m_doc.badName();
    (void)m_doc.TakeXML();
    return ReadResult::Error(ErrorDocument::ReaderWith(messages::kBadNameBefore, bad, messages::kBadNameAfter));
  }
  ReadResult result;
  result.outcome = ReadOutcome::kDocument;
  result.valuesWritten = m_values;
  result.rows = m_rows;
  result.passedOverEntries = m_passedOverEntries;
  result.quoteLeftOpenLine = m_quoteLeftOpenLine;
  result.carriageReturnLine = m_carriageReturnLine;
  result.tabLine = m_tabLine;
  result.endMarkMissing = m_endMarkMissing;
  result.splitAmounts = m_splitAmounts.Finish(m_headerFields);
  result.uncomputedFormulas = std::move(m_formulas);
  result.itemsPlaced = static_cast<std::size_t>(std::count_if(
      m_plan.items.begin(), m_plan.items.end(), [](const PlanItem& item) { return item.field.placed(); }));
  result.fromWorkbook = m_plan.workbook != WorkbookKind::kNone;
  result.jsonString = m_hooks.jsonString;
  // A streamed document's rest goes to the sink; the text is then empty.
  result.text = m_doc.TakeXML();
  return result;
}

bool RecordBuilder::ReportProgress(const RowSource& source) {
  const std::size_t consumed = source.consumed();
  const std::size_t total = source.size();
  if (!m_estimated && consumed < total) {
    // Once a little of the file is read, the whole text's size can be told:
    // reserve it, so that a large read does not move its text over and over.
    m_estimated = true;
    if (!m_hooks.sink) {
      const double ratio = static_cast<double>(m_doc.size()) / static_cast<double>(consumed);
      m_doc.Reserve(static_cast<std::size_t>(ratio * static_cast<double>(total) * 1.05) + (64u << 10));
    }
  }
  return m_progress.Tick(consumed, total);
}

// ---- Value rules ----------------------------------------------------------------------

void RecordBuilder::LoadCountryList() {
  const std::string& xml = m_plan.countryJurisdictions;
  if (xml.empty()) return;
  auto list = std::make_unique<CountryList>();
  const pugi::xml_parse_result result = list->doc.load_buffer(xml.data(), xml.size());
  if (result) {
    list->root = list->doc.document_element();
    m_country = std::move(list);
    return;
  }
  const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
  const long line =
      1 + std::count(xml.begin(), xml.begin() + static_cast<std::ptrdiff_t>(std::min(offset, xml.size())), '\n');
  if (m_hooks.message) m_hooks.message("Parse Error", "At line " + std::to_string(line) + "\n" + result.description());
}

std::string RecordBuilder::CountryId(std::string_view name, std::string_view abbrev) const {
  if (!m_country || !m_country->root) return {};
  pugi::xpath_variable_set vars;
  vars.add("name", pugi::xpath_type_string);
  vars.set("name", AnsiToUtf8(name).c_str());
  pugi::xpath_query q("./Jurisdictions/Jurisdiction[Name = $name]", &vars);
  const pugi::xml_node node = q.evaluate_node(m_country->root).node();
  if (!node) return {};
  const pugi::xml_attribute a = node.attribute("Abbrev");
  const pugi::xml_attribute id = node.attribute("ID");
  if (!a || !id || Utf8ToAnsi(a.value()) != abbrev) return {};
  return Utf8ToAnsi(id.value());
}

void RecordBuilder::FieldWithRule(const PlanItem& item, std::string_view field, bool number) {
  const ValueRule rule = item.rule;
  if (rule == ValueRule::kSignedAmount) {
    const std::optional<std::string_view> amount = AmountField(item, field, number);
    if (!amount) return;
    field = *amount;
  }
  if (rule == ValueRule::kTaxRateName) {
    // The name is held for the "Jurisdiction" items of this and later rows.
    if (!field.empty()) m_heldJurName.assign(StripQuotes(Printable(field)));
    return;
  }
  if (field.empty()) {
    if (m_plan.emptyFieldElements) m_doc.AddDataNode(item.element);
    return;
  }
  ++m_written;
  ++m_values;
  if (m_hooks.observer) Observe(item, field);
  m_doc.AddDataNode(item.element);
  std::string value = EscapeXmlText(StripQuotes(Printable(field)));
  std::string kept;
  const JurisdictionTables& jur = *m_plan.jurisdictions;
  switch (rule) {
    case ValueRule::kJurIndexPadded:
    case ValueRule::kTaxExpPostal: value = jur.FindJurIndex(value + "000000"); break;
    case ValueRule::kTaxPayPostal:
    case ValueRule::kTaxPayPostalRetType:
      kept = value;
      value = jur.FindJurIndex(value);
      break;
    case ValueRule::kPadAdj:
      if (value.size() < 4) value.insert(0, 4 - value.size(), '0');
      break;
    case ValueRule::kTaxRateJurNamed:
      if (!m_heldJurName.empty()) {
        m_doc.SetDataNodeAttribute("JurName", m_heldJurName);
        std::string id = CountryId(m_heldJurName, value);
        value = id.empty() ? jur.FindJurID(value) : std::move(id);
        break;
      }
      [[fallthrough]];
    case ValueRule::kTaxRateJur: value = jur.FindJurID(value); break;
    default: break;
  }
  m_doc.WriteDataNode(value, xml::kText);
  if (rule == ValueRule::kTaxPayPostalRetType) m_doc.SetDataNodeAttribute("RetType", jur.FindTIJurCode(kept));
  if (rule == ValueRule::kTaxPayPostal || rule == ValueRule::kTaxPayPostalRetType || rule == ValueRule::kTaxExpPostal)
    m_doc.AddMajorChild("PayNodes");
  NoteChart(item.chart);
}

// ---- Signed amounts ---------------------------------------------------------------------

void RecordBuilder::TakeCreditCells(const Row& row) {
  const auto cellAt = [&](uint32_t column) {
    const auto cell = std::lower_bound(row.cells.begin(), row.cells.end(), column,
                                       [](const Cell& c, uint32_t col) { return c.column < col; });
    return cell != row.cells.end() && cell->column == column ? *cell : Cell();
  };
  for (CreditItem& c : m_creditItems) {
    const Cell debit = c.placed ? cellAt(c.debitColumn) : Cell();
    const Cell credit = cellAt(c.creditColumn);
    c.debit = debit.text;
    c.debitNumber = debit.number;
    c.credit = credit.text;
    c.creditNumber = credit.number;
    c.done = false;
  }
}

std::optional<std::string_view> RecordBuilder::AmountField(const PlanItem& item, std::string_view field, bool number) {
  m_amountRead = false;
  if (!item.credit.placed()) {
    std::optional<std::string> amount =
        SignedCellAmount(StripQuotes(Printable(field)), number, m_plan.amounts == AmountForm::kSignedComma);
    if (!amount) return field;
    m_amount = std::move(*amount);
    m_amountRead = true;
    return std::string_view(m_amount);
  }
  const auto j = static_cast<std::size_t>(&item - m_plan.items.data());
  for (CreditItem& c : m_creditItems) {
    if (c.item != j) continue;
    if (c.done) return std::nullopt;
    c.done = true;
    return DebitLessCredit(c, field);
  }
  return field;
}

std::string_view RecordBuilder::DebitLessCredit(const CreditItem& item, std::string_view field) {
  const std::string_view debit = item.debit, credit = item.credit;
  const bool comma = m_plan.amounts == AmountForm::kSignedComma;
  const std::string debitText(StripQuotes(Printable(debit)));
  const std::string creditText(StripQuotes(Printable(credit)));
  // Both empty: the field as it is, as any empty field. A side that is not a
  // number is written as it stands (the debit's first), for a review to find.
  if (debitText.empty() && creditText.empty()) return field;
  const std::optional<std::string> d = SignedCellAmount(debitText, item.debitNumber, comma);
  if (!debitText.empty() && !d) return debit;
  const std::optional<std::string> c = SignedCellAmount(creditText, item.creditNumber, comma);
  if (!creditText.empty() && !c) return credit;
  if (creditText.empty()) m_amount = *d;
  else m_amount = AmountDifference(d ? *d : "0", *c);
  m_amountRead = true;
  return m_amount;
}

}  // namespace zephrin
