// The file services of the service object: the writable folder, the export
// file and the output files, folders and byte arrays, and the file pickers.
// The host is an untrusted caller, so every path it names goes through one
// rule (ResolveHostPath): inside the writable folder, or chosen by the user in
// a file dialog of this object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/safe_path.h"
#include "platform/status.h"
#include "platform/trace.h"
#include "platform/user_interface.h"

namespace zephrin {

class TemplateStore;

// An export or output file, written as the original platform's text mode
// wrote it: the host's text in engine text (Windows-1252), every "\n" written
// as CR LF. Each write goes straight to the file, so a write that fails is
// reported by the call that made it, and nothing waits in a buffer.
class TextFile {
 public:
  explicit TextFile(UniqueFd fd) : m_fd(std::move(fd)) {}
  ~TextFile() { (void)Close(); }
  TextFile(TextFile&&) = default;
  TextFile& operator=(TextFile&&) = delete;

  // Writes `text` (UTF-8), followed by the line end when `lineEnd` is set.
  // `scratch` is a buffer the caller keeps, so writing allocates nothing once
  // it has grown. Fails unless every byte reached the file.
  [[nodiscard]] Done Write(std::string_view text, bool lineEnd, std::string& scratch);
  // Flushes the file to disk and closes it. Succeeds when every write
  // succeeded and the file is safely on disk under its name (not when it was
  // deleted meanwhile, or the flush or the close failed), and when already
  // closed.
  [[nodiscard]] Done Close();
  bool isOpen() const { return m_fd.valid(); }

 private:
  UniqueFd m_fd;
  bool m_failed = false;  // a write lost data: the file is not whole
};

// The export file and the output files of one service object. Files still
// open when the table is destroyed are flushed and closed.
class FileTable {
 public:
  struct OutputFile {
    std::string upperName;           // the name as created, ASCII upper-cased
    std::optional<TextFile> file;    // empty once closed; the entry stays
  };

  std::optional<TextFile> exportFile;
  std::vector<OutputFile> outputs;
  std::string scratch;  // the conversion buffer of every write
};

// Whether a file method reads the file it names, or writes or deletes it.
enum class HostPathUse { kRead, kWrite };

class FileServices {
 public:
  // `store` is where the pickers remember their folders; `locateStore`
  // establishes its place (BrowseForImport runs it first). Both must outlive
  // the object.
  FileServices(UserInterface& ui, const Tracer& trace, TemplateStore& store, std::function<void()> locateStore);
  ~FileServices();
  FileServices(const FileServices&) = delete;
  FileServices& operator=(const FileServices&) = delete;

  void SetUserInterface(UserInterface& ui) { m_ui = &ui; }

  Status GetWriteableFolderPath(std::string& pLocalLowLocation);

  Status CreateExportFile(std::string_view pExportFileName, int32_t& CreateSucceeded);
  Status ExportWriteLine(std::string_view pExportLine, int32_t& WriteSucceeded);
  Status ExportWrite(std::string_view pExportLine, int32_t& WriteSucceeded);
  Status CloseExportFile(int32_t& CloseSucceeded);
  Status CreateOutputFile(std::string_view pOutputFileName, int32_t& CreateSucceeded);
  Status WriteOutputLine(std::string_view pOutputFileName, std::string_view pOutputLine,
                         std::optional<int32_t>& WriteSucceeded);
  Status CloseOutputFile(std::string_view pOutputFileName, std::optional<int32_t>& CloseSucceeded);

  Status CreateFolder(std::string_view pFolderName, std::string& pLocalLowLocation);
  Status DeleteFolder(std::string_view pFolderName);
  Status DeleteOITFile(std::string_view pFileName);
  Status ConvertFileToByteArray(std::string_view exportFilePath, std::optional<std::string>& pByteArray);
  Status ConvertByteArrayToFile(std::string_view exportFilePath, std::string_view pByteArray);

  Status BrowseForImport(std::string_view pImportType, std::string& pImportFileName);
  Status SelectExportFile(std::string_view pFileTypes, std::string_view pDefaultExportFileName,
                          std::string& pExportFileName);
  Status SelectExportPDFFile(std::string& pExportPDFPath);

  // Paths the file pickers returned (UTF-8): the file methods accept them
  // besides names inside the writable folder.
  bool IsPickedPath(std::string_view path) const;
  const Tracer& tracer() const { return m_trace; }

 private:
  friend Expected<PathTarget> ResolveHostPath(FileServices&, std::string_view, std::string_view, HostPathUse);
  void RememberPickedPath(std::string_view path);
  // Closes the export file if one is open, and forgets it.
  void ForgetExportFile();
  // Shows a message box (texts in engine text).
  void MessageBox(std::string_view text, std::string_view caption, MessageIcon icon);
  // A file ConvertFileToByteArray or ConvertByteArrayToFile could not open
  // (`direction`: "reading" or "writing"): traced, the user told; kFalse.
  Status TransferOpenFailed(const char* method, const char* direction, const std::string& shown);

  UserInterface* m_ui;
  const Tracer& m_trace;
  TemplateStore& m_store;
  std::function<void()> m_locateStore;
  FileTable m_files;
  std::vector<std::string> m_pickedPaths;
};

// Resolves a path the host gave a file method. Accepted are a name inside the
// writable folder (absolute, or relative to that folder) and a path that a
// file picker of this service object returned. Inside the writable folder an
// entry that is a symbolic link, or a regular file with more than one hard
// link (which may be a file outside the folder), is refused (IsRefusal). A
// refusal is traced as "<method>: refused path <path>: <reason>". A name that
// ends with "/" comes back as a failure (ENOTDIR, EISDIR or ENOENT, as opening
// it as a file would fail), not a refusal. A file the method writes or
// deletes must not be one of the template store's own (the store, its lock
// file, its temporary files): those are refused too.
[[nodiscard]] Expected<PathTarget> ResolveHostPath(FileServices& service, std::string_view method,
                                                   std::string_view path, HostPathUse use);

// For a file opened through ResolveHostPath: refused when it is one the file
// methods refuse (a regular file inside the writable folder that has more
// than one hard link, as it may have become after the path was resolved),
// the refusal traced as ResolveHostPath traces it.
[[nodiscard]] Done AcceptOpenedFile(FileServices& service, std::string_view method, std::string_view path,
                                    const PathTarget& target, int fd);

}  // namespace zephrin
