// ReadImportFile and ReadIntlImportFile: from the host's request to the
// returned XML text.
#include <algorithm>

#include "platform/codepage.h"
#include "readers/data_file.h"
#include "readers/reader_messages.h"
#include "result/error_document.h"
#include "service/xml_wrapper.h"
#include "templates/template_store.h"

namespace zephrin {
namespace {

constexpr std::string_view kUnknownImport = "Unable to determine the type of import being done. Please try again.";
constexpr std::size_t kMaxImportTypeLength = 19;

bool IsOneOf(std::string_view code, std::initializer_list<std::string_view> codes) {
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

}  // namespace

void CxmlWrapper::DeriveFormat(std::string_view ansiPath) {
  m_cFormat = 0;
  if (ansiPath.size() <= 2) return;
  char c = ansiPath[ansiPath.size() - 2];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  m_cFormat = c == 'I' ? 'I' : c == 'S' ? 'S' : 'R';
}

bool CxmlWrapper::LoadDataFile(std::string& text) {
  switch (LoadDataFileText(m_szImportFileOs, text)) {
    case LoadStatus::kLoaded: return true;
    case LoadStatus::kTooLarge:
      m_bstrXML = ErrorDocument::ReaderWith(messages::kTooLargeBefore, m_szImportFile, messages::kTooLargeAfter);
      return false;
    case LoadStatus::kCannotOpen: break;
  }
  m_bstrXML = ErrorDocument::ReaderWith(messages::kOpenBefore, m_szImportFile, messages::kOpenAfter);
  return false;
}

void CxmlWrapper::LoadJurisdictionCaptions(std::string_view list) {
  TraceF("FillJurisdictionCaptions: m_bDoingProv=%d - jurs=%.*s", m_logicImp.m_bDoingProv ? 1 : 0,
         static_cast<int>(list.size()), list.data());
  if (TraceOn()) {
    TokenizeList(list, [&](int pos, std::string_view token) {
      if (pos == 0) Trace("FillJurisdictionCaption: ii=0, strTemp=" + LowerAscii(token));
    });
  }
  m_jurTables.LoadList(list, /*logicSubstitutions=*/false);
}

void CxmlWrapper::LoadTIJurisdictions(std::string_view list) {
  TraceF("FillJurisdictionCaptions: m_bDoingProv=%d - jurs=%.*s", m_logicImp.m_bDoingProv ? 1 : 0,
         static_cast<int>(list.size()), list.data());
  if (TraceOn()) {
    TokenizeList(list, [&](int pos, std::string_view token) {
      if (pos == 0) Trace("LoadTIJurisdictions: ii=0, strTemp=" + LowerAscii(token));
    });
  }
  m_jurTables.LoadTIList(list);
}

Status CxmlWrapper::ReadImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                                   std::string_view pImportType, std::string_view pID,
                                   std::string_view pMoreInfo, std::string& pReturnedXML) {
  // 1. and 2.
  Trace("ReadImportFile: top");
  m_cFormat = 0;
  m_szImportFileOs.assign(pImportFile);
  m_szImportFile = Utf8ToAnsi(pImportFile);
  DeriveFormat(m_szImportFile);

  const auto finish = [&]() {
    pReturnedXML = std::move(m_bstrXML);
    m_bstrXML.clear();
    return kOk;
  };

  // 3. The template name.
  m_strLayout = Utf8ToAnsi(pTemplateFile);
  if (m_strLayout.empty()) {
    m_bstrXML = ErrorDocument::Request(kUnknownImport);
    Trace("ReadImportFile: no template specified");
    return finish();
  }

  // 4. and 5. The template code.
  if (const BuiltInTemplate* builtIn = FindBuiltInTemplate(m_strLayout)) {
    m_szLayoutType = builtIn->layoutType;
  } else {
    ReadStoreValue(m_szTemplateFile, "Import:" + m_strLayout, "Info", m_szLayoutType);
  }
  if (m_szLayoutType.empty()) {
    m_bstrXML = ErrorDocument::Request(kUnknownImport);
    TraceF("ReadImportFile: no layout type for %s.", m_strLayout.c_str());
    return finish();
  }

  // 6. and 7. Reset the read state; the host code.
  m_bChartOnly = m_bBalanceOnly = m_bJE = m_bIntl = m_bRecordLines = false;
  m_cJEKind = ' ';
  m_strImportType = Utf8ToAnsi(pImportType);
  TraceF("ReadImportFile: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d", m_strImportType.c_str(),
         m_szLayoutType.c_str(), static_cast<int>(m_strImportType.size()));
  if (m_strImportType.empty()) {
    m_bstrXML = ErrorDocument::Request(kUnknownImport);
    Trace("ReadImportFile: no ImportType.");
    return finish();
  }
  if (m_strImportType.size() > kMaxImportTypeLength) {
    // Import type codes are short codes; a longer text is no code we know.
    m_bstrXML = ErrorDocument::Request(kUnknownImport);
    Trace("ReadImportFile: ImportType too long.");
    return finish();
  }

  // 8. and 9. Read flags.
  m_bChartOnly = true;
  if (m_strImportType == "FBJ") { m_strImportType = "FADJ"; m_cJEKind = 'A'; }
  else if (m_strImportType == "FRJ") { m_strImportType = "FADJ"; m_cJEKind = 'R'; }
  else if (m_strImportType == "FTJ") { m_strImportType = "FADJ"; m_cJEKind = 'M'; }
  if (IsOneOf(m_strImportType, {"PRELIMBAL", "JEBAL", "AABAL", "TIBAL", "APPORT", "LOSS", "CREDIT", "AMTACE", "CURSTI",
                                "CTPRCN"})) {
    m_bBalanceOnly = true;
    m_bChartOnly = false;
  } else if (m_strImportType == "ENTITY") {
    m_bChartOnly = false;
  }
  TraceF("ReadImportFile: ImportType=%s, m_strLayout=%s, m_bDoingBatch=%d", m_strImportType.c_str(),
         m_strLayout.c_str(), m_bDoingBatch ? 1 : 0);

  // 10. The jurisdiction family.
  if (IsJurisdictionHostCode(m_strImportType)) {
    ReadJurisdictionImport(Utf8ToAnsi(pMoreInfo), Utf8ToAnsi(pID));
    return finish();
  }

  // 11. and 12. Plain readers: record element and item tables.
  m_nIntlType = 0;
  if (m_cFormat == 'S' || m_cFormat == 'I' || m_cFormat == 'R') {
    if (const auto row = LookupRecordElement(m_szLayoutType)) {
      m_strBeginRootElement = row->recordElement;
      m_bRecordLines = row->recordLines;
      m_bJE = row->je;
      m_pImportItems = row->items;
      m_pJEHeaderItems = row->jeHeaderItems;
      if (m_szLayoutType == "INSURWP")
        m_pImportItems = m_insurWPNamePtrs.empty() ? nullptr : m_insurWPNamePtrs.data();
    }
    if (m_szLayoutType == "TAXRATE") LoadJurisdictionCaptions(m_strProvJurisdictions);
    else if (m_szLayoutType == "TIMAP" || m_szLayoutType == "TAXEXP") LoadJurisdictionCaptions(m_strStateJurisdictions);
    else if (m_szLayoutType == "TAXPAY") LoadTIJurisdictions(m_strTIJurisdictions);
  }

  // 13. Dispatch by format.
  const std::string id = Utf8ToAnsi(pID);
  switch (m_cFormat) {
    case 'S':
      Trace("ReadImportFile: calling ReadCSV");
      ReadCSV(m_strImportType, id, "", 0);
      break;
    case 'I':
      ReadDIF(m_strImportType, id, "", 0);
      break;
    case 'R':
      ReadPRN(m_strImportType, id);
      break;
    default:
      SetResultText("NOT A CSV,DIF, TXT or PRN FILE-" + m_szImportFile + " - " +
                    (m_cFormat ? std::string(1, m_cFormat) : std::string()));
      break;
  }
  return finish();
}

Status CxmlWrapper::ReadIntlImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                                       std::string_view pImportType, std::string_view pID, int16_t IntlParam,
                                       int16_t IntlType, std::string& pReturnedXML) {
  const auto finish = [&]() {
    pReturnedXML = std::move(m_bstrXML);
    m_bstrXML.clear();
    return kOk;
  };

  // 1. and 2.
  m_cFormat = 0;
  m_szImportFileOs.assign(pImportFile);
  m_szImportFile = Utf8ToAnsi(pImportFile);
  DeriveFormat(m_szImportFile);
  m_strLayout = Utf8ToAnsi(pTemplateFile);
  ReadStoreValue(m_szTemplateFile, "Import:" + m_strLayout, "Info", m_szLayoutType);

  const IntlKind* kind = FindIntlKind(IntlType);
  if (!kind) {
    // An index outside the table names no international type.
    m_bstrXML = ErrorDocument::Request()
                    .Text("Unknown international import type ")
                    .Number(IntlType)
                    .Text(". Please try again.")
                    .Take();
    TraceF("ReadIntlImportFile: IntlType=%d is not a known type.", IntlType);
    return finish();
  }

  // 3. to 7.
  m_nIntlType = IntlType;
  m_bBalanceOnly = IntlType > 7;
  m_bChartOnly = !m_bBalanceOnly;
  m_cJEKind = ' ';
  m_strImportType = Utf8ToAnsi(pImportType);
  const std::string year = std::to_string(IntlParam);
  m_pImportItems = kind->keys;
  m_pIntlElements = kind->elements;
  m_strBeginRootElement = "II";
  m_bIntl = true;
  m_bJE = false;

  // 8.
  TraceF("ReadIntlImportFile: m_bChartOnly=%d, m_bBalanceOnly=%d, IntlType=%d, m_strImportType=%s, szBuffer=%s",
         m_bChartOnly ? 1 : 0, m_bBalanceOnly ? 1 : 0, IntlType, m_strImportType.c_str(), year.c_str());

  // 9. Dispatch. The fixed-width reader gets the type and year too, so its
  // documents carry the TYPE a host routes records by.
  const std::string id = Utf8ToAnsi(pID);
  switch (m_cFormat) {
    case 'S': ReadCSV(m_strImportType, id, year, IntlType); break;
    case 'I': ReadDIF(m_strImportType, id, year, IntlType); break;
    case 'R': ReadPRN(m_strImportType, id, year, IntlType); break;
    default:
      SetResultText("NOT A CSV,DIF, TXT or PRN FILE-" + m_szImportFile + " - " +
                    (m_cFormat ? std::string(1, m_cFormat) : std::string()));
      break;
  }
  return finish();
}

}  // namespace zephrin
