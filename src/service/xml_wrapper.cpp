#include "service/xml_wrapper.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>

#include "platform/writable_folder.h"
#include "platform/codepage.h"

namespace zephrin {

namespace {
UserInterface& Chosen(UserInterface* ui, std::unique_ptr<ConsoleUserInterface>& own) {
  if (ui) return *ui;
  own = std::make_unique<ConsoleUserInterface>();
  return *own;
}

// A deletion from the store. One that could not write it (a full disk, a
// folder turned read-only) changed nothing: the user is told, and the host
// gets a false outcome rather than a success it would take for the deletion.
Status StoreDeletion(UserInterface& ui, const Tracer& trace, const char* method,
                     const Expected<DeleteOutcome>& deleted) {
  if (deleted) return kOk;
  const std::string text = "The template store could not be written: " + deleted.error().message;
  trace.Format("%s: %s", method, text.c_str());
  ui.ShowMessage("", text, MessageIcon::Error);
  return kFalse;
}
}  // namespace

CxmlWrapper::CxmlWrapper(UserInterface* ui)
    : m_ui(&Chosen(ui, m_ownUi)),
      m_trace(TraceSink::FromEnvironment()),
      m_files(*m_ui, m_trace, m_store, [this] { (void)EstablishTemplateStore(); }) {}

CxmlWrapper::~CxmlWrapper() = default;

void CxmlWrapper::SetUserInterface(UserInterface* ui) {
  if (ui) {
    m_ui = ui;
    m_files.SetUserInterface(*m_ui);
    return;
  }
  if (!m_ownUi) m_ownUi = std::make_unique<ConsoleUserInterface>();
  m_ui = m_ownUi.get();
  m_files.SetUserInterface(*m_ui);
}

void CxmlWrapper::TraceF(const char* format, ...) {
  if (!m_trace.on()) return;
  va_list args;
  va_start(args, format);
  m_trace.FormatV(format, args);
  va_end(args);
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
  if (!m_store.folder().empty()) {
    const std::optional<SourceFormat> format =
        request.format ? request.format : ReadService::FormatOfName(Utf8ToAnsi(request.importFile));
    struct stat st {};
    if (format == SourceFormat::kCsv && ::stat((m_store.folder() + "/BrenloDebug._me").c_str(), &st) == 0)
      MessageBox("Read CSV File", "Import", MessageIcon::None);
  }
  return m_reads.Read(request, m_settings, m_store.path(), withMessages);
}

Expected<ReadPlan> CxmlWrapper::PlanRead(const ReadRequest& request) {
  return m_reads.Plan(request, m_settings, m_store.path());
}

ReviewReport CxmlWrapper::ReviewImport(const ReadRequest& request) {
  if (!m_store.located()) (void)EstablishTemplateStore();
  return m_reads.Review(request, m_settings, m_store.path());
}

Expected<std::vector<TemplateSuggestion>> CxmlWrapper::SuggestTemplates(std::string_view dataFile,
                                                                        std::string_view importType) {
  if (!m_store.located()) (void)EstablishTemplateStore();
  return m_reads.Suggest(std::string(dataFile), std::string(importType), m_settings, m_store.path());
}

Status CxmlWrapper::ReturnRead(const ReadRequest& request, std::string& pReturnedXML) {
  ReadResult result = Read(request);
  pReturnedXML = result.text.TakeString();
  return kOk;
}

namespace {
// What both read methods ask: the file, the template, the type and the id.
ReadRequest RequestOf(std::string_view importFile, std::string_view templateName, std::string_view importType,
                      std::string_view id) {
  ReadRequest request;
  request.importFile.assign(importFile);
  request.templateName.assign(templateName);
  request.importType.assign(importType);
  request.id.assign(id);
  return request;
}
}  // namespace

Status CxmlWrapper::ReadImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                                   std::string_view pImportType, std::string_view pID, std::string_view pMoreInfo,
                                   std::string& pReturnedXML) {
  ReadRequest request = RequestOf(pImportFile, pTemplateFile, pImportType, pID);
  request.moreInfo.assign(pMoreInfo);
  return ReturnRead(request, pReturnedXML);
}

Status CxmlWrapper::ReadIntlImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                                       std::string_view pImportType, std::string_view pID, int16_t IntlParam,
                                       int16_t IntlType, std::string& pReturnedXML) {
  ReadRequest request = RequestOf(pImportFile, pTemplateFile, pImportType, pID);
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

// ---- Template store -------------------------------------------------------------

Done CxmlWrapper::EstablishTemplateStore() { return m_store.Locate(*m_ui, m_settings.saveTemplatePath()); }

Status CxmlWrapper::GetTemplateInfo(std::string& pTemplateInfo) {
  // Without a writable folder the listing is empty (the user has been told).
  (void)EstablishTemplateStore();
  pTemplateInfo = m_store.ListingText();
  return kOk;
}

Status CxmlWrapper::DeleteLayout(std::string_view pTemplateName) {
  return StoreDeletion(*m_ui, m_trace, "DeleteLayout", m_store.DeleteTemplate(Utf8ToAnsi(pTemplateName)));
}

Status CxmlWrapper::DeleteFileName(std::string_view pFileName) {
  return StoreDeletion(*m_ui, m_trace, "DeleteFileName", m_store.ForgetFile(Utf8ToAnsi(pFileName)));
}

// ---- File services ------------------------------------------------------------------

Status CxmlWrapper::GetWriteableFolderPath(std::string& pLocalLowLocation) {
  return m_files.GetWriteableFolderPath(pLocalLowLocation);
}
Status CxmlWrapper::BrowseForImport(std::string_view pImportType, std::string& pImportFileName) {
  return m_files.BrowseForImport(pImportType, pImportFileName);
}
Status CxmlWrapper::SelectExportPDFFile(std::string& pExportPDFPath) { return m_files.SelectExportPDFFile(pExportPDFPath); }
Status CxmlWrapper::SelectExportFile(std::string_view pFileTypes, std::string_view pDefaultExportFileName,
                                     std::string& pExportFileName) {
  return m_files.SelectExportFile(pFileTypes, pDefaultExportFileName, pExportFileName);
}
Status CxmlWrapper::CreateExportFile(std::string_view pExportFileName, int32_t& CreateSucceeded) {
  return m_files.CreateExportFile(pExportFileName, CreateSucceeded);
}
Status CxmlWrapper::ExportWriteLine(std::string_view pExportLine, int32_t& WriteSucceeded) {
  return m_files.ExportWriteLine(pExportLine, WriteSucceeded);
}
Status CxmlWrapper::CloseExportFile(int32_t& CloseSucceeded) { return m_files.CloseExportFile(CloseSucceeded); }
Status CxmlWrapper::ExportWrite(std::string_view pExportLine, int32_t& WriteSucceeded) {
  return m_files.ExportWrite(pExportLine, WriteSucceeded);
}
Status CxmlWrapper::WriteOutputLine(std::string_view pOutputFileName, std::string_view pOutputLine,
                                    std::optional<int32_t>& WriteSucceeded) {
  return m_files.WriteOutputLine(pOutputFileName, pOutputLine, WriteSucceeded);
}
Status CxmlWrapper::CreateOutputFile(std::string_view pOutputFileName, int32_t& CreateSucceeded) {
  return m_files.CreateOutputFile(pOutputFileName, CreateSucceeded);
}
Status CxmlWrapper::CloseOutputFile(std::string_view pOutputFileName, std::optional<int32_t>& CloseSucceeded) {
  return m_files.CloseOutputFile(pOutputFileName, CloseSucceeded);
}
Status CxmlWrapper::CreateFolder(std::string_view pFolderName, std::string& pLocalLowLocation) {
  return m_files.CreateFolder(pFolderName, pLocalLowLocation);
}
Status CxmlWrapper::DeleteFolder(std::string_view pFolderName) { return m_files.DeleteFolder(pFolderName); }
Status CxmlWrapper::ConvertFileToByteArray(std::string_view exportFilePath, std::optional<std::string>& pByteArray) {
  return m_files.ConvertFileToByteArray(exportFilePath, pByteArray);
}
Status CxmlWrapper::ConvertByteArrayToFile(std::string_view exportFilePath, std::string_view pByteArray) {
  return m_files.ConvertByteArrayToFile(exportFilePath, pByteArray);
}
Status CxmlWrapper::DeleteOITFile(std::string_view pFileName) { return m_files.DeleteOITFile(pFileName); }

}  // namespace zephrin
