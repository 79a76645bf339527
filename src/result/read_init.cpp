// The start of every plain read (field records, begin row, root element and
// its attributes) and the record completions of the result document.
#include <algorithm>

#include "service/xml_wrapper.h"
#include "templates/template_store.h"

namespace zephrin {
namespace {

bool IsOneOf(std::string_view code, std::initializer_list<std::string_view> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Fixed layouts of the built-in templates: record i at column `col0 + i`.
void Layout(FieldInfoArray& fields, int count, uint16_t startRow) {
  for (int i = 0; i < count; ++i) fields[static_cast<std::size_t>(i)] = {static_cast<uint16_t>(i), startRow, 0};
}

}  // namespace

int CxmlWrapper::DoReadInitFunctions(std::string_view id, std::string_view year, int16_t intlType) {
  // 1. Field records.
  m_FieldInfo.fill(FieldInfo{});
  const std::string_view layout = m_szLayoutType;
  if (layout == "CAT" || layout == "TICAT") {
    Layout(m_FieldInfo, 4, 1);
  } else if (layout == "TIMAP") {
    Layout(m_FieldInfo, 6, 2);
  } else if (layout == "CURFEDTI" || layout == "AMT") {
    if (m_bDoingBatch) {
      Layout(m_FieldInfo, 4, 2);
    } else {
      for (uint16_t i = 1; i < 4; ++i) m_FieldInfo[i] = {static_cast<uint16_t>(i - 1), 2, 0};
    }
  } else if (layout == "M3CODE") {
    for (uint16_t i = 0; i < 7; ++i) m_FieldInfo[i] = {i, static_cast<uint16_t>(i >= 1 && i <= 3 ? 0 : 2), 0};
  } else if (layout == "CTDGRP") {
    Layout(m_FieldInfo, 3, 2);
  } else if (layout == "CTDMAP" || layout == "PAAMAP") {
    Layout(m_FieldInfo, 4, 2);
  } else {
    LoadTemplate(m_pImportItems, m_FieldInfo, m_szTemplateFile, m_strLayout);
  }

  // 2. and 3. The begin row.
  TraceF("DoReadInitFunctions: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d sizeof(strID)=%d",
         m_strImportType.c_str(), m_szLayoutType.c_str(), static_cast<int>(m_strImportType.size()), 17);
  GetBeginRow();

  // 4. The ID.
  const bool splitId = IsOneOf(layout, {"IXREF", "FCAXREF", "TAJXREF"});
  m_strID = splitId ? std::string() : std::string(id);
  if (id.empty()) Trace("DoReadInitFunctions: ID is empty");

  // 5. The root element.
  const int init = m_doc.InitXML(layout == "CONSOLMEMBERS" ? std::string_view("Members") : std::string_view(m_strImportType));
  if (init != 0) return init;
  Trace("DoReadInitFunctions: called InitXML");
  TraceF("DoReadInitFunctions: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d", m_strImportType.c_str(),
         m_szLayoutType.c_str(), static_cast<int>(m_strImportType.size()));

  // 7. Root attributes.
  if (layout == "CONSOLMEMBERS") {
    Trace("DoReadInitFunctions: adding attribute to root");
  } else if (IsOneOf(layout, {"IXREF", "FCAXREF", "TAJXREF", "INSURWP", "INSURPYDAC"})) {
    const std::size_t plus = id.find('+');
    if (plus != std::string_view::npos) {
      m_doc.SetRootAttribute("OBJID", id.substr(0, plus));
      m_doc.SetRootAttribute("ParentID", id.substr(plus + 1));
    } else if (m_bDoingBatch) {
      m_doc.SetRootAttribute("OBJID", "");
    } else if (layout != "INSURWP") {
      m_doc.SetRootAttribute("OBJID", m_strID);
    }
  } else {
    Trace("DoReadInitFunctions: adding attribute to root");
    m_doc.SetRootAttribute("OBJID", m_strID);
  }

  // 8. Batch attributes.
  if (m_bDoingBatch) {
    if (layout == "INSURWP") m_doc.SetRootAttribute("Batch", "1");
    else m_doc.SetRootAttribute("CONUM", "");
  }

  // 9. International attributes.
  if (m_bIntl) {
    const IntlKind* kind = FindIntlKind(intlType);
    m_doc.SetRootAttribute("TYPE", kind ? kind->typeName : "");
    m_doc.SetRootAttribute("YEAR", year);
  }

  // 10. The current year.
  if (IsOneOf(layout, {"TAXEXP", "TAXPAY", "M3MAP", "CTDGRP", "CTDMAP", "PAAMAP", "PK1MAP", "INSURWP", "INSURPYDAC",
                       "NAICLINEMAP"}))
    m_doc.SetRootAttribute("YEAR", std::to_string(m_nCurrentYear));

  Trace("DoReadInitFunctions: complete");
  return 0;
}

int CxmlWrapper::GetBeginRow() {
  int n = m_strImportType == "INTL" ? IntlBeginRowItemCount(m_nIntlType) : BeginRowItemCount(m_strImportType);
  TraceF("GetBeginRow: nMax=%d, m_strImportType=%s", n, m_strImportType.c_str());
  n = std::clamp(n, 0, static_cast<int>(kMaxFieldInfo));
  int smallest = 0;
  for (int i = 0; i < n; ++i) {
    const FieldInfo& f = m_FieldInfo[static_cast<std::size_t>(i)];
    if (f.nCol != 0 && f.nLen != 0 && (smallest == 0 || f.nLen < smallest)) smallest = f.nLen;
  }
  m_nBeginRow = smallest == 0 ? 0 : smallest - 1;
  TraceF("GetBeginRow: m_nBeginRow=%d,  m_szLayoutType=%s", m_nBeginRow, m_szLayoutType.c_str());
  return m_nBeginRow;
}

void CxmlWrapper::WriteTemplateDescription(int columns) {
  if (m_bJE || columns <= 0) return;
  const std::string_view host = m_strImportType;
  if (host == "CONSOLMEMBERS") return;
  const bool tableNames = IsOneOf(host, {"ENTITY", "TAXPAY", "TAXEXP", "EXRATE", "PK1MAP", "INSURWP", "INSURPYDAC"});
  ItemList elements = nullptr;
  if (m_bIntl) elements = m_pIntlElements;
  else if (host == "INSURWP") elements = m_insurWPElementPtrs.empty() ? nullptr : m_insurWPElementPtrs.data();
  else if (tableNames) elements = ReaderElementNames(host);

  // Column order, then item order within a column. Walking the items sorted by
  // column (instead of every column number) keeps a huge column count cheap.
  std::vector<std::pair<int, std::size_t>> order;
  const std::size_t count = std::min(ItemCount(m_pImportItems), kMaxFieldInfo);
  for (std::size_t j = 0; j < count; ++j) {
    const FieldInfo& f = m_FieldInfo[j];
    if (f.placed() && f.nCol < columns) order.emplace_back(f.nCol, j);
  }
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [col, j] : order) {
    if (m_bIntl) {
      m_doc.AddDataNode(ItemAt(elements, j));
    } else if (tableNames) {
      m_doc.AddDataNode(ItemAt(elements, j));
      m_doc.WriteDataNode(ItemAt(m_pImportItems, j));
    } else {
      m_doc.AddDataNode(ItemAt(m_pImportItems, j));
    }
  }
}

void CxmlWrapper::CompleteChartRecord(bool acctnum, bool trc, bool tcc, bool capt) {
  if (!acctnum) m_doc.AddDataNode("Account_Number");
  if (!capt) m_doc.AddDataNode("Account_Caption");
  if (!trc) m_doc.AddDataNode("TRC");
  if (!tcc) m_doc.AddDataNode("TCC");
}

void CxmlWrapper::CompleteTCCRecord(bool trc, bool tcc, bool capt) {
  if (!capt) m_doc.AddDataNode("TCC_Caption");
  if (!trc) m_doc.AddDataNode("TRC");
  if (!tcc) m_doc.AddDataNode("TCC");
}

}  // namespace zephrin
