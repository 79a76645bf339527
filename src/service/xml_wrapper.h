// CxmlWrapper: the one service object of the import engine.
//
// A host creates one, sets its settings, and calls its operations one at a
// time. Every interface method returns a status (kOk, or kFalse for success
// with a false outcome) and never throws; outcomes travel in the results.
// Texts at this interface are UTF-8; inside, the object works on Windows-1252
// text (the `m_` members), converted on the way in and out.
#pragma once

#include <array>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "jurisdiction/jurisdiction_tables.h"
#include "jurisdiction/logic_imp.h"
#include "platform/trace.h"
#include "platform/user_interface.h"
#include "result/result_document.h"

namespace zephrin {

enum Status : int { kOk = 0, kFalse = 1 };

class FileTable;  // open export and output files

class CxmlWrapper {
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

  // ---- Settings and state (read by tests and the editor) -------------------
  bool m_bDoingBatch = false;
  int16_t m_nCurrentYear = 0;
  std::string m_strTaxReturnType;
  std::string m_strTIJurisdictions, m_strStateJurisdictions, m_strProvJurisdictions;
  bool m_bSaveTemplatePath = false;
  std::array<bool, 4> m_bMiscOption{};
  std::string m_strCountryID, m_strCountryAbbrev, m_strCountryName;
  std::string m_strCountryJurXML;

  // State of the current read.
  std::string m_strImportType;     // host code (at most 19 characters)
  std::string m_szLayoutType;      // template code
  std::string m_strLayout;         // template name
  std::string m_szImportFile;      // data file path (engine text)
  std::string m_szImportFileOs;    // the same path as the file system takes it
  std::string m_szTemplateFile;    // full path of import.ini (file system text)
  std::string m_szWriteableFolder; // folder of import.ini (file system text)
  char m_cFormat = 0;
  char m_cJEKind = ' ';
  bool m_bChartOnly = false, m_bBalanceOnly = false, m_bRecordLines = false, m_bJE = false, m_bIntl = false;
  int16_t m_nIntlType = 0;
  int32_t m_nBeginRow = 0;
  ItemList m_pImportItems = nullptr;
  ItemList m_pJEHeaderItems = nullptr;
  ItemList m_pIntlElements = nullptr;  // element names of the international type
  FieldInfoArray m_FieldInfo{};
  std::string m_strBeginRootElement;
  std::string m_bstrXML;               // the result text (UTF-8)
  std::string m_strTrace;

  uint8_t m_nWinMajor = 10;
  bool m_bUsingTempFolder = false;

  // INSURWP items defined at run time: names as written and element names,
  // each list ended by an empty entry.
  std::vector<std::string> m_insurWPNames, m_insurWPElements;
  std::vector<const char*> m_insurWPNamePtrs, m_insurWPElementPtrs;

  ResultDocument m_doc;
  JurisdictionTables m_jurTables;   // the service side tables of the plain readers
  LogicImp m_logicImp;

  // ---- Trace ---------------------------------------------------------------
  bool TraceOn() const { return m_trace != nullptr; }
  void Trace(std::string_view line);                     // a literal line
  void Trace();                                          // the content of m_strTrace
  void TraceF(const char* format, ...) __attribute__((format(printf, 2, 3)));

  // ---- Internals shared by the read operations ------------------------------
  // Establishes where import.ini lives (GetTemplateInfo and BrowseForImport run it first).
  bool EstablishTemplateStore();
  // Sets m_cFormat from the data file name.
  void DeriveFormat(std::string_view ansiPath);
  // Stores an engine-text result (converted to UTF-8).
  void SetResultText(std::string_view ansiText);

  // Start of a read: field records, begin row, root element and attributes. 0 on success.
  int DoReadInitFunctions(std::string_view id, std::string_view year, int16_t intlType);
  int GetBeginRow();
  void WriteTemplateDescription(int columns);
  void CompleteChartRecord(bool acctnum, bool trc, bool tcc, bool capt);
  void CompleteTCCRecord(bool trc, bool tcc, bool capt);

  // The plain readers.
  void ReadCSV(std::string_view importType, std::string_view id, std::string_view year, int16_t intlType);
  void ReadDIF(std::string_view importType, std::string_view id, std::string_view year, int16_t intlType);
  // The fixed-width reader also takes the year and type of an international read.
  void ReadPRN(std::string_view importType, std::string_view id, std::string_view year = {}, int16_t intlType = 0);

  // Loads a jurisdiction list into the service side tables.
  void LoadJurisdictionCaptions(std::string_view list);
  void LoadTIJurisdictions(std::string_view list);
  // The jurisdiction family: hands the read to the jurisdiction reader.
  void ReadJurisdictionImport(std::string_view moreInfo, std::string_view id);

  // Loads the data file (engine text). When it cannot be read, the result
  // text becomes the readers' open error and false is returned.
  bool LoadDataFile(std::string& text);
  // Shows a message box (texts in engine text).
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon);

  // Progress of the current read (bytes of the data file handled), for a
  // front end's progress bar; may be left unset.
  std::function<void(std::size_t done, std::size_t total)> m_progress;

  // ---- Layout editor ----
  // The front end that shows the layout editor; nullptr when there is none
  // (EditLayout then says so). It must outlive the object.
  class EditorHost* m_editorHost = nullptr;

  // ---- Template listing and file services ----
  struct FileTableDeleter {
    void operator()(FileTable* table) const;
  };
  // The export file and the table of output files (made on first use; files
  // still open at teardown are flushed and closed).
  std::unique_ptr<FileTable, FileTableDeleter> m_files;
  FileTable& Files();
  // Closes the export file if one is open, and forgets it.
  void ForgetExportFile();
  // Paths the file pickers returned (UTF-8): the file methods accept them
  // besides names inside the writable folder.
  std::vector<std::string> m_pickedPaths;
  void RememberPickedPath(std::string_view path);
  bool IsPickedPath(std::string_view path) const;

 private:
  std::unique_ptr<TraceSink> m_trace;
  std::unique_ptr<ConsoleUserInterface> m_ownUi;
  UserInterface* m_ui = nullptr;
  std::string m_strID;  // the stored ID of the current read
};

}  // namespace zephrin
