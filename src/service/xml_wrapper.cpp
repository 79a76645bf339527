#include "service/xml_wrapper.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>

#include "files/writable_folder.h"
#include "platform/codepage.h"
#include "platform/format.h"
#include "templates/store_location.h"

namespace zephrin {

CxmlWrapper::CxmlWrapper(UserInterface* ui) : m_trace(TraceSink::FromEnvironment()) { SetUserInterface(ui); }

CxmlWrapper::~CxmlWrapper() = default;

void CxmlWrapper::SetUserInterface(UserInterface* ui) {
  if (ui) {
    m_ui = ui;
    return;
  }
  if (!m_ownUi) m_ownUi = std::make_unique<ConsoleUserInterface>();
  m_ui = m_ownUi.get();
}

void CxmlWrapper::TraceF(const char* format, ...) {
  if (!m_trace.on()) return;
  va_list args;
  va_start(args, format);
  const std::string line = FormatV(format, args);
  va_end(args);
  m_trace.Line(line);
}

void CxmlWrapper::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  m_ui->ShowMessage(AnsiToUtf8(caption), AnsiToUtf8(text), icon);
}

// ---- Reads --------------------------------------------------------------------

ReadResult CxmlWrapper::Read(const ReadRequest& request, const ReadHooks& hooks) {
  ReadHooks withMessages = hooks;
  if (!withMessages.message) {
    withMessages.message = [this](std::string_view caption, std::string_view text) {
      m_ui->ShowMessage(caption, text, MessageIcon::None);
    };
  }
  // The debug marker file in the writable folder announces every read of a
  // comma-separated file.
  if (!m_szWriteableFolder.empty()) {
    const std::optional<SourceFormat> format =
        request.format ? request.format : ReadService::FormatOfName(Utf8ToAnsi(request.importFile));
    struct stat st {};
    if (format == SourceFormat::kCsv && ::stat((m_szWriteableFolder + "/BrenloDebug._me").c_str(), &st) == 0)
      MessageBox("Read CSV File", "Import", MessageIcon::None);
  }
  return m_reads.Read(request, m_settings, m_szTemplateFile, withMessages);
}

Status CxmlWrapper::ReturnRead(const ReadRequest& request, std::string& pReturnedXML) {
  ReadResult result = Read(request);
  pReturnedXML = result.text.TakeString();
  return kOk;
}

Status CxmlWrapper::ReadImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                                   std::string_view pImportType, std::string_view pID, std::string_view pMoreInfo,
                                   std::string& pReturnedXML) {
  ReadRequest request;
  request.importFile.assign(pImportFile);
  request.templateName.assign(pTemplateFile);
  request.importType.assign(pImportType);
  request.id.assign(pID);
  request.moreInfo.assign(pMoreInfo);
  return ReturnRead(request, pReturnedXML);
}

Status CxmlWrapper::ReadIntlImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                                       std::string_view pImportType, std::string_view pID, int16_t IntlParam,
                                       int16_t IntlType, std::string& pReturnedXML) {
  ReadRequest request;
  request.importFile.assign(pImportFile);
  request.templateName.assign(pTemplateFile);
  request.importType.assign(pImportType);
  request.id.assign(pID);
  request.international = true;
  request.intlParam = IntlParam;
  request.intlType = IntlType;
  return ReturnRead(request, pReturnedXML);
}

// ---- Setters ------------------------------------------------------------------

Status CxmlWrapper::GetTemplateNames() { return kOk; }

Status CxmlWrapper::SetImportRights(int, int32_t) { return kOk; }

Status CxmlWrapper::PutCategoryTypes(std::string_view value) {
  m_reads.jurisdictionReader().PutCategoryTypes(Utf8ToAnsi(value));
  return kOk;
}

Status CxmlWrapper::SetBatchIndicator(int32_t) {
  // Any value turns batch mode on; nothing turns it off again.
  m_settings.SetBatch();
  return kOk;
}

Status CxmlWrapper::FillJurisdictionCaptions(std::string_view value) {
  m_settings.SetJurisdictionList(Utf8ToAnsi(value));
  return kOk;
}

Status CxmlWrapper::SetCurrentYear(int16_t value) {
  m_settings.SetCurrentYear(value);
  return kOk;
}

Status CxmlWrapper::TaxReturnType(std::string_view value) {
  m_settings.SetTaxReturnType(Utf8ToAnsi(value));
  return kOk;
}

Status CxmlWrapper::SetMiscItems(int WhichItem, int Item) {
  m_settings.SetMiscItem(WhichItem, Item);
  return kOk;
}

Status CxmlWrapper::SetCountryOfOperation(std::string_view pCountryID, std::string_view pCountryAbbrev,
                                          std::string_view pCountryName) {
  m_settings.SetCountryOfOperation(Utf8ToAnsi(pCountryID), Utf8ToAnsi(pCountryAbbrev), Utf8ToAnsi(pCountryName));
  m_reads.jurisdictionReader().SetCountryOfOperation(m_settings.countryId(), m_settings.countryAbbrev(),
                                                     m_settings.countryName());
  return kOk;
}

Status CxmlWrapper::SetCountryJurisdictions(std::string_view CountryJurXML) {
  // Kept as UTF-8: it is XML text, parsed by the reader that needs it.
  m_settings.SetCountryJurisdictions(std::string(CountryJurXML));
  return kOk;
}

Status CxmlWrapper::InitInsurWPTemplate(std::string_view insurwptemplate) {
  m_settings.SetInsuranceItems(Utf8ToAnsi(insurwptemplate));
  return kOk;
}

// ---- Writable folder and template store -------------------------------------

Status CxmlWrapper::GetWriteableFolderPath(std::string& pLocalLowLocation) {
  const WriteableFolderResult folder = FindWriteableFolder(*m_ui);
  if (!folder.ok) return kFalse;
  if (folder.usingTempFolder) m_bUsingTempFolder = true;
  pLocalLowLocation = folder.path;
  return kOk;
}

bool CxmlWrapper::EstablishTemplateStore() {
  const auto location = EstablishStoreLocation(*m_ui, m_settings.saveTemplatePath());
  if (!location) return false;
  if (location->usingTempFolder) m_bUsingTempFolder = true;
  m_szWriteableFolder = location->writeableFolder;
  m_szTemplateFile = location->templateFile;
  return true;
}

}  // namespace zephrin
