// The hand-off of the jurisdiction family of host codes to LogicImp.
#include <algorithm>

#include "catalogue/catalogue.h"
#include "platform/codepage.h"
#include "result/error_document.h"
#include "service/xml_wrapper.h"

namespace zephrin {

void CxmlWrapper::ReadJurisdictionImport(std::string_view moreInfo, std::string_view id) {
  LogicImp& reader = m_logicImp;
  // The reader formats its trace lines only when someone reads them.
  if (TraceOn()) reader.SetTrace([this](std::string_view line) { Trace(line); });
  else reader.SetTrace(nullptr);

  // 1. What the built-in template hands over: the element names, the current
  // year and, for LOGIC, the more-information text. A template from the store
  // hands nothing, and the reader then cannot tell what it is reading.
  const BuiltInTemplate* builtIn = FindBuiltInTemplate(m_strLayout);
  reader.m_strRootElement = builtIn ? builtIn->rootElement : "";
  reader.m_strRecordElement = builtIn ? builtIn->recordElement : "";
  reader.m_nCurrentYear = builtIn && builtIn->handsYear ? m_nCurrentYear : 0;
  reader.m_szMoreInfo.clear();
  if (builtIn && builtIn->handsMoreInfo) {
    if (moreInfo.size() > kJurFieldChars) {
      m_bstrXML = ErrorDocument::Request("The more-information text is longer than 19 characters. Please try again.");
      Trace("ReadImportFile: pMoreInfo is too long.");
      return;
    }
    reader.m_szMoreInfo.assign(moreInfo);
  }
  // The reader's ID field holds 19 characters; a longer ID is refused rather than cut.
  if (id.size() > kJurFieldChars) {
    m_bstrXML = ErrorDocument::Request("The ID is longer than 19 characters. Please try again.");
    Trace("ReadImportFile: ID is too long.");
    return;
  }

  // 2. The file, an empty result, the host code and the batch flag.
  reader.m_strImportFile = m_szImportFile;
  reader.m_strImportFileOs = m_szImportFileOs;
  reader.m_strResult.clear();
  reader.m_strErrors.clear();
  reader.m_strImportType = m_strImportType;
  reader.m_bDoingBatch = m_bDoingBatch;

  // 3. The list the host code needs must have been set.
  static constexpr std::string_view kProvCodes[] = {"APPORT", "LOSS", "CREDIT", "AMTACE", "CURSTI", "CATASSN", "CTPRCN"};
  const bool needsProv = std::find(std::begin(kProvCodes), std::end(kProvCodes), m_strImportType) != std::end(kProvCodes);
  const bool needsState = m_strImportType == "LOGIC" || m_strImportType == "AABAL";
  if ((m_strProvJurisdictions.empty() && needsProv) || (m_strStateJurisdictions.empty() && needsState)) {
    m_bstrXML = ErrorDocument::Request("No jurisdictions were loaded before reading import file.  Please try again.");
    Trace("ReadImportFile: jurisdiction string is empty.");
    return;
  }

  // 4. The lists, in the order state, TI, province.
  for (const std::string* list : {&m_strStateJurisdictions, &m_strTIJurisdictions, &m_strProvJurisdictions})
    if (!list->empty()) reader.FillJurisdictionCaption(*list);

  // 5. to 7. Analysis, then the reader for the file's shape.
  Trace("ReadImportFile: calling AnalyzeSource()");
  if (reader.AnalyzeSource() == 0) {
    Trace("ReadImportFile: back from AnalyzeSource");
    reader.m_szID.assign(id);
    switch (reader.m_nFormat) {
      case 0: reader.ReadTabularSource(); break;
      case 1: reader.ReadDIFSource(); break;
      default: reader.ReadListedSource(); break;
    }
  }
  reader.ReleaseSource();

  // 8. The reader's result text (already UTF-8).
  m_bstrXML = std::move(reader.m_strResult);
  reader.m_strResult.clear();
}

}  // namespace zephrin
