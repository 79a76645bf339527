// CxmlWrapper: the one service object of the import engine.
//
// A host creates one, sets its settings, and calls its operations one at a
// time. Every interface method returns a status (kOk, or kFalse for success
// with a false outcome) and never throws; outcomes travel in the results.
// Texts at this interface are UTF-8; inside, the engine works on
// Windows-1252 text, converted on the way in and out.
//
// The object is a facade: it converts text at the interface and hands each
// call to the value object that does the work (the host settings, the
// template store, the file services, the reads). It holds no other state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "files/file_services.h"
#include "platform/status.h"
#include "platform/trace.h"
#include "platform/user_interface.h"
#include "result/read_result.h"
#include "service/host_settings.h"
#include "service/read_service.h"
#include "templates/store.h"
#include "platform/export.h"

namespace zephrin {

class ZEPHRIN_API CxmlWrapper {
 public:
  // `ui` receives message boxes and file dialogs; it must outlive the object
  // (nullptr: a console interface of the object's own).
  explicit CxmlWrapper(UserInterface* ui = nullptr);
  ~CxmlWrapper();
  CxmlWrapper(const CxmlWrapper&) = delete;
  CxmlWrapper& operator=(const CxmlWrapper&) = delete;

  void SetUserInterface(UserInterface* ui);
  UserInterface& ui() { return *m_ui; }

  // ---- IxmlWrapper, in slot order -----------------------------------------
  Status GetTemplateNames();                                                   // 1
  Status ReadImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                        std::string_view pImportType, std::string_view pID,
                        std::string_view pMoreInfo, std::string& pReturnedXML);  // 2
  Status BrowseForImport(std::string_view pImportType, std::string& pImportFileName);  // 3
  Status EditLayout(std::string_view pTemplateName, int16_t IntlType, std::string_view pImportType,
                    std::string_view pImportFileName, std::optional<std::string>& pReturnedTemplateName);  // 4
  Status SetImportRights(int nWhichRight, int32_t value);                     // 5
  Status PutCategoryTypes(std::string_view value);                            // 6
  Status SetBatchIndicator(int32_t value);                                    // 7
  Status FillJurisdictionCaptions(std::string_view value);                    // 8
  Status SelectExportPDFFile(std::string& pExportPDFPath);                    // 9
  Status SelectExportFile(std::string_view pFileTypes, std::string_view pDefaultExportFileName,
                          std::string& pExportFileName);                      // 10
  Status CreateExportFile(std::string_view pExportFileName, int32_t& CreateSucceeded);  // 11
  Status ExportWriteLine(std::string_view pExportLine, int32_t& WriteSucceeded);        // 12
  Status CloseExportFile(int32_t& CloseSucceeded);                            // 13
  Status ExportWrite(std::string_view pExportLine, int32_t& WriteSucceeded);  // 14
  Status DeleteLayout(std::string_view pTemplateName);                        // 15
  Status GetTemplateInfo(std::string& pTemplateInfo);                         // 16
  Status ReadIntlImportFile(std::string_view pImportFile, std::string_view pTemplateFile,
                            std::string_view pImportType, std::string_view pID, int16_t IntlParam,
                            int16_t IntlType, std::string& pReturnedXML);     // 17
  Status DeleteFileName(std::string_view pFileName);                          // 18
  Status SetCurrentYear(int16_t value);                                       // 19
  // WriteOutputLine and CloseOutputFile leave their result as the caller
  // passed it when no output file of that name is open (nullopt: no value).
  Status WriteOutputLine(std::string_view pOutputFileName, std::string_view pOutputLine,
                         std::optional<int32_t>& WriteSucceeded);             // 20
  Status CreateOutputFile(std::string_view pOutputFileName, int32_t& CreateSucceeded);  // 21
  Status CloseOutputFile(std::string_view pOutputFileName, std::optional<int32_t>& CloseSucceeded);  // 22
  Status SetMiscItems(int WhichItem, int Item);                               // 23
  Status SetCountryOfOperation(std::string_view pCountryID, std::string_view pCountryAbbrev,
                               std::string_view pCountryName);                // 24
  Status SetCountryJurisdictions(std::string_view CountryJurXML);             // 25
  Status GetWriteableFolderPath(std::string& pLocalLowLocation);              // 26
  Status CreateFolder(std::string_view pFolderName, std::string& pLocalLowLocation);  // 27
  Status DeleteFolder(std::string_view pFolderName);                          // 28
  Status ConvertFileToByteArray(std::string_view exportFilePath, std::optional<std::string>& pByteArray);  // 29
  Status ConvertByteArrayToFile(std::string_view exportFilePath, std::string_view pByteArray);  // 30
  Status DeleteOITFile(std::string_view pFileName);                           // 31
  Status InitInsurWPTemplate(std::string_view insurwptemplate);               // 32
  Status TaxReturnType(std::string_view value);                               // 33

  // ---- Beyond the host's interface, for the front ends -------------------------
  // A read with its typed outcome; with a sink in `hooks` the document is
  // streamed there (its text then comes back empty).
  ReadResult Read(const ReadRequest& request, const ReadHooks& hooks = {});
  // The plan a plain read of `request` follows (an Error for a request that
  // is no plain read).
  Expected<ReadPlan> PlanRead(const ReadRequest& request);
  // The review of a read (nothing of the read is kept), and the saved
  // templates that fit a data file, best first.
  ReviewReport ReviewImport(const ReadRequest& request);
  Expected<std::vector<TemplateSuggestion>> SuggestTemplates(std::string_view dataFile, std::string_view importType);
  const HostSettings& settings() const { return m_settings; }
  // The template store (its place is established by GetTemplateInfo and
  // BrowseForImport; before that every lookup finds nothing).
  const TemplateStore& store() const { return m_store; }
  // Establishes where import.ini lives; fails when there is no writable folder.
  [[nodiscard]] Done EstablishTemplateStore();

  // ---- Trace ---------------------------------------------------------------
  bool TraceOn() const { return m_trace.on(); }
  void Trace(std::string_view line) { m_trace.Line(line); }
  void TraceF(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // ---- Layout editor ----
  // The front end that shows the layout editor; nullptr when there is none
  // (EditLayout then says so). It must outlive the object.
  void SetEditorHost(class EditorHost* host) { m_editorHost = host; }

 private:
  Status ReturnRead(const ReadRequest& request, std::string& pReturnedXML);
  // Shows a message box (texts in engine text).
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon);

  std::unique_ptr<ConsoleUserInterface> m_ownUi;
  UserInterface* m_ui = nullptr;
  Tracer m_trace;
  HostSettings m_settings;
  TemplateStore m_store;
  ReadService m_reads{m_trace};
  FileServices m_files;
  class EditorHost* m_editorHost = nullptr;
};

}  // namespace zephrin
