#include "readers/plain_reader.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include <pugixml.hpp>

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
}  // namespace

struct PlainReader::CountryJur {
  pugi::xml_document doc;
  pugi::xml_node root;
};

PlainReader::PlainReader(CxmlWrapper& w, Format format) : m_w(w), m_format(format) {}

void PlainReader::Prepare() {
  CxmlWrapper& w = m_w;
  const std::string_view host = w.m_strImportType;
  m_itemCount = std::min(ItemCount(w.m_pImportItems), kMaxFieldInfo);
  m_bDoingFCOA = host == "FCOA";
  m_bDoingTCC = host == "TCC";
  m_noCharReplace = host == "INTL" && w.m_nIntlType == 67;
  m_timapExtra = host == "TIMAP";

  ItemList table = nullptr;
  if (w.m_bIntl) {
    table = w.m_pIntlElements;
  } else if (m_format != Format::PRN) {
    if (host == "INSURWP") table = w.m_insurWPElementPtrs.empty() ? nullptr : w.m_insurWPElementPtrs.data();
    else table = ReaderElementNames(host);
  }
  for (std::size_t j = 0; j < m_itemCount; ++j) {
    m_itemName[j] = ItemAt(w.m_pImportItems, j);
    m_element[j] = table ? std::string_view(ItemAt(table, j)) : m_itemName[j];
    if (w.m_bJE && w.m_pJEHeaderItems) m_element[j] = ItemAt(w.m_pJEHeaderItems, j);
    const std::string_view name = m_itemName[j];
    Rule rule = kNone;
    if (m_format != Format::PRN) {
      if (host == "TIMAP" && name == "Jurisdiction") rule = kJurIndexPadded;
      else if (host == "TAXEXP" && name == "Postal_Code") rule = kTaxExpPostal;
      else if (host == "TAXPAY" && name == "Postal_Code") rule = kTaxPayPostal;
      else if ((host == "CTDMAP" || host == "PK1MAP") && name == "Adj_Number") rule = kPadAdj;
      else if (host == "TAXRATE" && name == "Jurisdiction") rule = kTaxRateJur;
      else if (host == "TAXRATE" && name == "Jurisdiction_Name" && m_format == Format::CSV) rule = kTaxRateName;
    }
    m_rule[j] = rule;
    Chart chart = kNoChart;
    if (m_bDoingFCOA) {
      if (name == "Account_Number") chart = kChartAcct;
      else if (name == "TRC") chart = kChartTrc;
      else if (name == "TCC") chart = kChartTcc;
      else if (name == "Account_Caption") chart = kChartCapt;
    } else if (m_bDoingTCC) {
      if (name == "TRC") chart = kChartTrc;
      else if (name == "TCC") chart = kChartTcc;
      else if (name == "TCC_Caption") chart = kChartCapt;
    }
    m_chart[j] = chart;
  }

  // Which items each column feeds, in item order: the field loops then look a
  // column up instead of walking every item for every field.
  uint32_t maxCol = 0;
  bool any = false;
  for (std::size_t j = 0; j < m_itemCount; ++j) {
    if (w.m_FieldInfo[j].placed()) {
      maxCol = std::max<uint32_t>(maxCol, w.m_FieldInfo[j].nCol);
      any = true;
    }
  }
  m_colStart.assign(any ? maxCol + 2 : 0, 0);
  m_colItems.clear();
  if (any) {
    for (uint32_t c = 0; c <= maxCol; ++c) {
      m_colStart[c] = static_cast<uint32_t>(m_colItems.size());
      for (std::size_t j = 0; j < m_itemCount; ++j)
        if (w.m_FieldInfo[j].placed() && w.m_FieldInfo[j].nCol == c) m_colItems.push_back(static_cast<char>(j));
    }
    m_colStart[maxCol + 1] = static_cast<uint32_t>(m_colItems.size());
  }
}

void PlainReader::StartRecord(int lineIndex) {
  CxmlWrapper& w = m_w;
  w.m_doc.AddMajorNode(w.m_strBeginRootElement);
  if (!(w.m_bJE || w.m_bIntl || w.m_bRecordLines)) return;
  const std::string_view host = w.m_strImportType;
  const bool plusOne = host == "CTDGRP" || host == "CTDMAP" || host == "PAAMAP" || host == "EXRATE" ||
                       host == "PK1MAP" || (host == "INTL" && w.m_nIntlType > 51);
  char buffer[16];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, plusOne ? lineIndex + 1 : lineIndex);
  w.m_doc.SetMajorNodeAttribute(host == "CONSOLMEMBERS" ? "SourceId" : "Line",
                                std::string_view(buffer, static_cast<std::size_t>(end - buffer)));
}

std::string_view PlainReader::StripQuotes(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  if (v.size() == 1 && v[0] == '"') return {};
  return v;
}

void PlainReader::LoadCountryJurisdictions() {
  m_countryJur.reset();
  const std::string& xml = m_w.m_strCountryJurXML;
  if (xml.empty()) return;
  auto jur = std::make_shared<CountryJur>();
  const pugi::xml_parse_result result = jur->doc.load_buffer(xml.data(), xml.size());
  if (result) {
    jur->root = jur->doc.document_element();
    m_countryJur = std::move(jur);
    return;
  }
  const auto offset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0));
  const long line = 1 + std::count(xml.begin(), xml.begin() + static_cast<std::ptrdiff_t>(std::min(offset, xml.size())), '\n');
  m_w.ui().ShowMessage("Parse Error", "At line " + std::to_string(line) + "\n" + result.description(),
                       MessageIcon::None);
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

void PlainReader::HandleField(std::size_t j, std::string_view field) {
  CxmlWrapper& w = m_w;
  ResultDocument& doc = w.m_doc;
  const uint8_t rule = m_rule[j];
  if (rule == kTaxRateName) {
    // The name is held for the "Jurisdiction" items of this and later lines.
    if (!field.empty()) m_heldJurName.assign(StripQuotes(field));
    return;
  }
  if (field.empty()) {
    doc.AddDataNode(m_element[j]);
    return;
  }
  ++m_written;
  std::string_view value = StripQuotes(field);
  if (rule == kNone) {
    doc.AddEscapedDataNode(m_element[j], value);
  } else {
    doc.AddDataNode(m_element[j]);
    std::string escaped = EscapeXmlText(value);
    std::string kept;
    switch (rule) {
      case kJurIndexPadded:
      case kTaxExpPostal:
        escaped = w.m_jurTables.FindJurIndex(escaped + "000000");
        break;
      case kTaxPayPostal:
        kept = escaped;
        escaped = w.m_jurTables.FindJurIndex(escaped);
        break;
      case kPadAdj:
        if (escaped.size() < 4) escaped.insert(0, 4 - escaped.size(), '0');
        break;
      case kTaxRateJur:
        if (m_format == Format::CSV) {
          if (!m_heldJurName.empty()) {
            doc.SetDataNodeAttribute("JurName", m_heldJurName);
            std::string id = LookupCountryJurisdiction(m_heldJurName, escaped);
            escaped = id.empty() ? w.m_jurTables.FindJurID(escaped) : std::move(id);
          } else {
            escaped = w.m_jurTables.FindJurID(escaped);
          }
        } else {
          escaped = w.m_jurTables.FindJurID(escaped);
        }
        break;
      default: break;
    }
    doc.WriteDataNode(escaped);
    if (rule == kTaxPayPostal && m_format == Format::CSV)
      doc.SetDataNodeAttribute("RetType", w.m_jurTables.FindTIJurCode(kept));
    if (rule == kTaxPayPostal || rule == kTaxExpPostal) doc.AddMajorChild("PayNodes");
  }
  switch (m_chart[j]) {
    case kChartAcct: m_acctnum = true; break;
    case kChartTrc: m_trc = true; break;
    case kChartTcc: m_tcc = true; break;
    case kChartCapt: m_capt = true; break;
    default: break;
  }
}

void PlainReader::CompleteChart() {
  if (m_bDoingTCC && !(m_trc && m_tcc && m_capt)) m_w.CompleteTCCRecord(m_trc, m_tcc, m_capt);
  if (m_bDoingFCOA && !(m_acctnum && m_trc && m_tcc && m_capt)) m_w.CompleteChartRecord(m_acctnum, m_trc, m_tcc, m_capt);
}

bool PlainReader::UpdateBlankRun(int lineIndex) {
  if (m_written == 0) {
    if (++m_blankRun == 1) m_firstBlank = lineIndex;
  } else {
    m_blankRun = 0;
  }
  if (m_blankRun < 25) return false;
  FailBlankRun();
  return true;
}

void PlainReader::FailBlankRun() {
  Fail(ErrorDocument::Reader()
           .Text(messages::kBlankRunBefore)
           .Number(m_firstBlank + 1)
           .Text(messages::kBlankRunAfter)
           .Take());
}

void PlainReader::JEBeginLine(int lineIndex, bool blank) {
  if (!m_recordOpen && m_lineCount == 0) {
    StartRecord(lineIndex);
    m_recordOpen = true;
    m_outFlag.fill(false);
    m_outFlag[17] = m_outFlag[18] = m_outFlag[20] = m_outFlag[23] = true;
  }
  if (blank) {
    if (++m_blankCount == 3) {
      m_blankCount = m_lineCount = 0;
      m_recordOpen = m_headerDone = false;
      m_balanceWritten = m_numberWritten = m_transferWritten = false;
    }
    if (m_blankCount > 0 && m_lineCount == 0) m_blankCount = 0;
  } else {
    ++m_lineCount;
  }
  m_balanceWritten = m_numberWritten = m_transferWritten = false;
}

bool PlainReader::JEHandleField(std::size_t j, std::string_view field) {
  CxmlWrapper& w = m_w;
  ResultDocument& doc = w.m_doc;
  ++m_written;
  const std::string_view item = m_itemName[j];
  const bool isNumber = item == "Account_Number";
  const bool isTransfer = item == "Transfer from Provision";
  const bool isBalance = item == "Account_Balance";
  if (m_blankCount == 1 && m_recordOpen) {
    if (!m_headerDone) {
      if (w.m_bChartOnly) {
        for (std::size_t k = 0; k < m_itemCount && k < m_outFlag.size(); ++k)
          if (!m_outFlag[k]) doc.AddDataNode(m_element[k]);
      }
      doc.AddMajorChild("Accounts");
    }
    m_headerDone = true;
    if (w.m_bChartOnly && ((isNumber && !m_transferWritten) || (isTransfer && !m_numberWritten)))
      doc.AddAcctRoot();
    else if (w.m_bBalanceOnly && ((isNumber && !m_balanceWritten) || (isBalance && !m_numberWritten)))
      doc.AddAcctRoot();
  }
  const bool write = !m_headerDone || (w.m_bChartOnly && (isNumber || isTransfer)) ||
                     (!w.m_bChartOnly && w.m_bBalanceOnly && (isNumber || isBalance || item == "RTP_Adj_Override"));
  if (!write) return true;
  const std::string_view name = m_element[j];
  if (IsAccountOutput(name)) {
    if (!AcctNodeMade(doc.AddAcctNode(name),
                      m_format == Format::DIF ? messages::kNoAcctTwoBlanks : messages::kNoAcctOneBlank,
                      messages::kInternalAccount))
      return false;
  } else {
    doc.AddDataNode(name);
  }
  doc.WriteDataNodeEscaped(StripQuotes(field));
  if (j < m_outFlag.size()) m_outFlag[j] = true;
  if (isBalance) m_balanceWritten = true;
  if (isNumber) m_numberWritten = true;
  if (isTransfer) m_transferWritten = true;
  return true;
}

void PlainReader::EstimateOutput(std::size_t consumed, std::size_t total) {
  if (m_estimated || consumed < (256u << 10) || consumed >= total) return;
  m_estimated = true;
  const double ratio = static_cast<double>(m_w.m_doc.size()) / static_cast<double>(consumed);
  m_w.m_doc.Reserve(static_cast<std::size_t>(ratio * static_cast<double>(total) * 1.05) + (64u << 10));
}

bool PlainReader::AcctNodeMade(int result, std::string_view noAcct, std::string_view engineFailure) {
  if (result == ResultDocument::kAcctOk) return true;
  Fail(ErrorDocument::Reader(result == ResultDocument::kAcctNoRoot ? noAcct : engineFailure));
  return false;
}

void PlainReader::Progress(std::size_t consumed, std::size_t total) {
  EstimateOutput(consumed, total);
  if (m_w.m_progress && consumed >= m_nextProgress) {
    m_w.m_progress(consumed, total);
    m_nextProgress = consumed + (8u << 20);
  }
}

void PlainReader::ProgressDone(std::size_t total) {
  if (m_w.m_progress) m_w.m_progress(total, total);
}

void PlainReader::Finish(int columns) {
  CxmlWrapper& w = m_w;
  const std::string_view host = w.m_strImportType;
  if (host == "ENTITY") w.m_doc.AddMajorNode("TMPL");
  else if (!w.m_bJE && host != "CONSOLMEMBERS") w.m_doc.AddMajorNode("TMPLT");
  w.WriteTemplateDescription(columns);
  TakeResult();
}

void PlainReader::TakeResult() {
  CxmlWrapper& w = m_w;
  if (w.m_doc.failed()) {
    const std::string bad = w.m_doc.badName();
    w.m_doc.TakeXML();
    Fail(ErrorDocument::ReaderWith(messages::kBadNameBefore, bad, messages::kBadNameAfter));
    return;
  }
  w.m_bstrXML = w.m_doc.TakeXML();
}

}  // namespace zephrin
