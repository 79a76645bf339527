// The hand-off of the jurisdiction family of host codes to LogicImp.
#include <algorithm>

#include "service/xml_wrapper.h"

namespace zephrin {

void CxmlWrapper::ReadJurisdictionImport(std::string_view moreInfo, std::string_view id) {
  static constexpr std::string_view kProvCodes[] = {"APPORT", "LOSS", "CREDIT", "AMTACE", "CURSTI", "CATASSN", "CTPRCN"};
  const bool needsProv = std::find(std::begin(kProvCodes), std::end(kProvCodes), m_strImportType) != std::end(kProvCodes);
  const bool needsState = m_strImportType == "LOGIC" || m_strImportType == "AABAL";
  if ((m_strProvJurisdictions.empty() && needsProv) || (m_strStateJurisdictions.empty() && needsState)) {
    SetResultText("<Error><Err>No jurisdictions were loaded before reading import file.  Please try again.</Err></Error>");
    Trace("ReadImportFile: jurisdiction string is empty.");
    return;
  }
  SetResultText("<Error><Err>Jurisdiction imports are not available in this version.</Err></Error>");
}

}  // namespace zephrin
