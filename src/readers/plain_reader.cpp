#include "readers/plain_reader.h"

#include <algorithm>
#include <charconv>

#include <pugixml.hpp>

#include "catalogue/jurisdiction_tables.h"
#include "platform/codepage.h"
#include "readers/reader_messages.h"
#include "result/error_document.h"

namespace zephrin {

namespace {
constexpr std::string_view kFourAccountFields[] = {"Account_Number", "Account_Balance", "RTP_Adj_Override",
                                                   "Transfer_From_Provision"};
bool IsAccountOutput(std::string_view name) {
  return std::find(std::begin(kFourAccountFields), std::end(kFourAccountFields), name) != std::end(kFourAccountFields);
}

bool OutsidePrintable(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u > 0x7E;
}
}  // namespace

struct PlainReader::CountryJur {
  pugi::xml_document doc;
  pugi::xml_node root;
};

ReadResult ReadPlainFile(const ReadPlan& plan, const DataText& text, const ReadHooks& hooks) {
  ReadResult result = ReadResult::Empty();
  switch (plan.format) {
    case SourceFormat::kCsv: result = ReadCsv(plan, text, hooks); break;
    case SourceFormat::kDif: result = ReadDif(plan, text, hooks); break;
    case SourceFormat::kFixedWidth: result = ReadFixedWidth(plan, text, hooks); break;
  }
  // A file that shrank under the read gave zeros for what it lost.
  if (text.lost()) return ChangedFailure(plan.dataFile);
  return result;
}

ReadResult ChangedFailure(std::string_view dataFile) {
  return ReadResult::Error(ErrorDocument::ReaderWith(messages::kChangedBefore, dataFile, messages::kChangedAfter));
}

ReadResult LoadFailure(const ReadPlan& plan, FileReadStatus status) {
  if (status == FileReadStatus::kTooLarge)
    return ReadResult::Error(
        ErrorDocument::ReaderWith(messages::kTooLargeBefore, plan.dataFile, messages::kTooLargeAfter));
  return ReadResult::Error(ErrorDocument::ReaderWith(messages::kOpenBefore, plan.dataFile, messages::kOpenAfter));
}

PlainReader::PlainReader(const ReadPlan& plan, const ReadHooks& hooks) : m_plan(plan), m_hooks(hooks) {
  m_doc.SetSink(hooks.sink);
  // Which items each column feeds, in item order: the field loops look a
  // column up instead of walking every item for every field.
  uint32_t maxCol = 0;
  bool any = false;
  for (const PlanItem& item : plan.items) {
    if (item.field.placed()) {
      maxCol = std::max<uint32_t>(maxCol, item.field.nCol);
      any = true;
    }
  }
  if (!any) return;
  m_colStart.assign(maxCol + 2, 0);
  for (uint32_t c = 0; c <= maxCol; ++c) {
    m_colStart[c] = static_cast<uint32_t>(m_colItems.size());
    for (std::size_t j = 0; j < plan.items.size(); ++j)
      if (plan.items[j].field.placed() && plan.items[j].field.nCol == c) m_colItems.push_back(static_cast<char>(j));
  }
  m_colStart[maxCol + 1] = static_cast<uint32_t>(m_colItems.size());
}

void PlainReader::Begin() {
  m_doc.InitXML(m_plan.rootName);
  for (const auto& [name, value] : m_plan.rootAttributes) m_doc.SetRootAttribute(name, value);
}

void PlainReader::StartRecord(int lineIndex) {
  ++m_records;
  if (!m_plan.lineAttribute) {
    m_doc.AddMajorNode(m_plan.record);
    return;
  }
  char buffer[16];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, lineIndex + m_plan.lineOffset);
  m_doc.AddMajorNode(m_plan.record, m_plan.lineAttributeName,
                     std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

std::string_view PlainReader::Printable(std::string_view field) {
  if (m_plan.keepAllCharacters || std::none_of(field.begin(), field.end(), OutsidePrintable)) return field;
  m_valueScratch.assign(field);
  for (char& c : m_valueScratch)
    if (OutsidePrintable(c)) c = ' ';
  return m_valueScratch;
}

void PlainReader::LoadCountryJurisdictions() {
  m_countryJur.reset();
  const std::string& xml = m_plan.countryJurisdictions;
  if (xml.empty()) return;
  auto jur = std::make_shared<CountryJur>();
  const pugi::xml_parse_result result = jur->doc.load_buffer(xml.data(), xml.size());
  if (result) {
    jur->root = jur->doc.document_element();
    m_countryJur = std::move(jur);
    return;
  }
  const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
  const long line =
      1 + std::count(xml.begin(), xml.begin() + static_cast<std::ptrdiff_t>(std::min(offset, xml.size())), '\n');
  if (m_hooks.message) m_hooks.message("Parse Error", "At line " + std::to_string(line) + "\n" + result.description());
}

std::string PlainReader::LookupCountryJurisdiction(std::string_view name, std::string_view abbrev) const {
  if (!m_countryJur || !m_countryJur->root) return {};
  pugi::xpath_variable_set vars;
  vars.add("name", pugi::xpath_type_string);
  vars.set("name", AnsiToUtf8(name).c_str());
  pugi::xpath_query q("./Jurisdictions/Jurisdiction[Name = $name]", &vars);
  const pugi::xpath_node found = q.evaluate_node(m_countryJur->root);
  const pugi::xml_node node = found.node();
  if (!node) return {};
  const pugi::xml_attribute a = node.attribute("Abbrev");
  const pugi::xml_attribute id = node.attribute("ID");
  if (!a || !id || Utf8ToAnsi(a.value()) != abbrev) return {};
  return Utf8ToAnsi(id.value());
}

void PlainReader::HandleFieldWithRule(std::size_t j, std::string_view field) {
  const PlanItem& item = m_plan.items[j];
  ResultDocument& doc = m_doc;
  const ValueRule rule = item.rule;
  if (rule == ValueRule::kTaxRateName) {
    // The name is held for the "Jurisdiction" items of this and later lines.
    if (!field.empty()) m_heldJurName.assign(StripQuotes(Printable(field)));
    return;
  }
  if (field.empty()) {
    doc.AddDataNode(item.element);
    return;
  }
  ++m_written;
  ++m_valuesWritten;
  if (rule == ValueRule::kNone) {
    doc.AddEscapedDataNode(item.element, StripQuotes(field), ValueTable());
  } else {
    doc.AddDataNode(item.element);
    std::string escaped = EscapeXmlText(StripQuotes(Printable(field)));
    std::string kept;
    const JurisdictionTables& jur = *m_plan.jurisdictions;
    switch (rule) {
      case ValueRule::kJurIndexPadded:
      case ValueRule::kTaxExpPostal:
        escaped = jur.FindJurIndex(escaped + "000000");
        break;
      case ValueRule::kTaxPayPostal:
        kept = escaped;
        escaped = jur.FindJurIndex(escaped);
        break;
      case ValueRule::kPadAdj:
        if (escaped.size() < 4) escaped.insert(0, 4 - escaped.size(), '0');
        break;
      case ValueRule::kTaxRateJur:
        if (m_plan.format == SourceFormat::kCsv && !m_heldJurName.empty()) {
          doc.SetDataNodeAttribute("JurName", m_heldJurName);
          std::string id = LookupCountryJurisdiction(m_heldJurName, escaped);
          escaped = id.empty() ? jur.FindJurID(escaped) : std::move(id);
        } else {
          escaped = jur.FindJurID(escaped);
        }
        break;
      default: break;
    }
    doc.WriteDataNode(escaped, xml::kText);
    if (rule == ValueRule::kTaxPayPostal && m_plan.format == SourceFormat::kCsv)
      doc.SetDataNodeAttribute("RetType", jur.FindTIJurCode(kept));
    if (rule == ValueRule::kTaxPayPostal || rule == ValueRule::kTaxExpPostal) doc.AddMajorChild("PayNodes");
  }
  SetChartFlag(item.chart);
}

void PlainReader::CompleteChart() {
  if (m_plan.chart == ChartKind::kTaxCategoryCodes && !(m_trc && m_tcc && m_capt)) {
    if (!m_capt) m_doc.AddDataNode(m_plan.tccCaption);
    if (!m_trc) m_doc.AddDataNode(m_plan.trc);
    if (!m_tcc) m_doc.AddDataNode(m_plan.tcc);
  } else if (m_plan.chart == ChartKind::kAccounts && !(m_acctnum && m_trc && m_tcc && m_capt)) {
    if (!m_acctnum) m_doc.AddDataNode(m_plan.accountNumber);
    if (!m_capt) m_doc.AddDataNode(m_plan.accountCaption);
    if (!m_trc) m_doc.AddDataNode(m_plan.trc);
    if (!m_tcc) m_doc.AddDataNode(m_plan.tcc);
  }
}

bool PlainReader::UpdateBlankRun(int lineIndex) {
  if (m_written == 0) {
    if (++m_blankRun == 1) m_firstBlank = lineIndex;
  } else {
    m_blankRun = 0;
  }
  return m_blankRun >= 25;
}

ReadResult PlainReader::BlankRunFailure() const {
  return ReadResult::Error(ErrorDocument::Reader()
                               .Text(messages::kBlankRunBefore)
                               .Number(m_firstBlank + 1)
                               .Text(messages::kBlankRunAfter)
                               .Take());
}

void PlainReader::JEStartRecord(int lineIndex) {
  StartRecord(lineIndex);
  m_recordOpen = true;
  m_outFlag.fill(false);
  for (std::size_t k : kJEPresetItems) m_outFlag[k] = true;
}

void PlainReader::JEBeginLine(int lineIndex, bool blank) {
  if (!m_recordOpen && m_lineCount == 0) JEStartRecord(lineIndex);
  if (blank) {
    if (++m_blankCount == 3) {
      m_blankCount = m_lineCount = 0;
      m_recordOpen = m_headerDone = false;
    }
    if (m_blankCount > 0 && m_lineCount == 0) m_blankCount = 0;
  } else {
    ++m_lineCount;
  }
  m_balanceWritten = m_numberWritten = m_transferWritten = false;
}

bool PlainReader::JEHandleField(std::size_t j, std::string_view field, bool twoBlanksMessage) {
  ResultDocument& doc = m_doc;
  const std::size_t count = m_plan.items.size();
  ++m_written;
  ++m_valuesWritten;
  const std::string_view item = m_plan.items[j].name;
  const bool isNumber = item == "Account_Number";
  const bool isTransfer = item == "Transfer from Provision";
  const bool isBalance = item == "Account_Balance";
  if (m_blankCount == 1 && m_recordOpen) {
    if (!m_headerDone) {
      if (m_plan.chartOnly) {
        for (std::size_t k = 0; k < count && k < m_outFlag.size(); ++k)
          if (!m_outFlag[k]) doc.AddDataNode(m_plan.items[k].element);
      }
      doc.AddMajorChild("Accounts");
    }
    m_headerDone = true;
    if (m_plan.chartOnly && ((isNumber && !m_transferWritten) || (isTransfer && !m_numberWritten)))
      doc.AddAcctRoot();
    else if (m_plan.balanceOnly && ((isNumber && !m_balanceWritten) || (isBalance && !m_numberWritten)))
      doc.AddAcctRoot();
  }
  const bool write = !m_headerDone || (m_plan.chartOnly && (isNumber || isTransfer)) ||
                     (!m_plan.chartOnly && m_plan.balanceOnly && (isNumber || isBalance || item == "RTP_Adj_Override"));
  if (!write) return true;
  const XmlTag& element = m_plan.items[j].element;
  if (IsAccountOutput(element.name)) {
    if (!AcctNodeMade(doc.AddAcctNode(element),
                      twoBlanksMessage ? messages::kNoAcctTwoBlanks : messages::kNoAcctOneBlank))
      return false;
  } else {
    doc.AddDataNode(element);
  }
  doc.WriteDataNode(StripQuotes(field), ValueTable());
  if (j < m_outFlag.size()) m_outFlag[j] = true;
  if (isBalance) m_balanceWritten = true;
  if (isNumber) m_numberWritten = true;
  if (isTransfer) m_transferWritten = true;
  return true;
}

bool PlainReader::AcctNodeMade(int result, std::string_view noAcct) {
  if (result == ResultDocument::kAcctOk) return true;
  return Fail(ErrorDocument::Reader(noAcct));
}

void PlainReader::ProgressStep(std::size_t consumed, std::size_t total) {
  if (!m_estimated && consumed < total) {
    // Once a little of the file is read, the whole text's size can be told:
    // reserve it, so that a large read does not move its text over and over.
    m_estimated = true;
    if (!m_hooks.sink) {
      const double ratio = static_cast<double>(m_doc.size()) / static_cast<double>(consumed);
      m_doc.Reserve(static_cast<std::size_t>(ratio * static_cast<double>(total) * 1.05) + (64u << 10));
    }
  }
  m_progress.Tick(consumed, total);
  m_progressAt = m_progress.next();
}

void PlainReader::ProgressDone(std::size_t total) { m_progress.Done(total); }

ReadResult PlainReader::Finish(int columns) {
  if (m_plan.templateElement == TemplateElement::kTmpl) m_doc.AddMajorNode("TMPL");
  else if (m_plan.templateElement == TemplateElement::kTmplt) m_doc.AddMajorNode("TMPLT");
  if (m_plan.templateElement != TemplateElement::kNone) {
    for (const TemplateEntry& e : m_plan.templateDescription) {
      if (e.column >= columns) break;
      m_doc.AddDataNode(e.element);
      if (!e.text.empty()) m_doc.WriteDataNode(e.text);
    }
  }
  return TakeResult();
}

ReadResult PlainReader::TakeResult() {
  if (m_doc.failed()) {
    const std::string bad = m_doc.badName();
    m_doc.TakeXML();
    return ReadResult::Error(ErrorDocument::ReaderWith(messages::kBadNameBefore, bad, messages::kBadNameAfter));
  }
  ReadResult result;
  result.outcome = ReadOutcome::kDocument;
  result.text = m_doc.TakeXML();
  result.valuesWritten = m_valuesWritten;
  if (m_hooks.sink) {
    // The rest of a streamed document goes after what went before.
    m_hooks.sink->Write(result.text.view());
    result.text = TextBuffer();
  }
  return result;
}

}  // namespace zephrin
