// Export and output files: the one export file the user chose, and any
// number of output files addressed by name.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_services.h"
#include "platform/codepage.h"
#include "platform/writable_folder.h"
#include "platform/profile.h"
#include "templates/store.h"

namespace zephrin {

namespace {

// Names of files whose failure to open is expected (logs of rejected rows
// that the host may not be allowed to write) never raise the message.
constexpr std::string_view kRejectedSuffix = "_rejected.csv";

// Past this size a conversion buffer is given back after the write, so one
// huge line does not keep its memory for the object's life.
constexpr std::size_t kScratchKeep = std::size_t{1} << 20;

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The text mode of the original platform: every line feed goes out as CR LF.
void AppendTextMode(std::string& out, std::string_view text) {
  std::size_t pos = 0;
  for (;;) {
    const std::size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos) {
      out.append(text.substr(pos));
      return;
    }
    out.append(text.substr(pos, lf - pos));
    out.append("\r\n");
    pos = lf + 1;
  }
}

bool WriteAll(int fd, std::string_view content) {
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// Opens (creates or empties) a host-named file for writing. Refused and
// failed opens both come back empty; a refusal is traced by the resolver.
UniqueFd OpenForWriting(FileServices& service, std::string_view method, std::string_view name) {
  PathTarget target;
  if (ResolveHostPath(service, method, name, target).kind != ResolveStatus::kOk) return {};
  UniqueFd fd;
  // O_NONBLOCK keeps a FIFO without a reader from hanging the call. The file
  // is emptied only once it is known to be one the methods may write.
  if (OpenTarget(target, O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK, 0666, fd) != 0) return {};
  if (!AcceptOpenedFile(service, method, name, target, fd.get())) return {};
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return {};
  if (S_ISREG(st.st_mode) && ftruncate(fd.get(), 0) != 0) return {};
  const int flags = fcntl(fd.get(), F_GETFL);
  if (flags >= 0) fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

}  // namespace

// ---- TextFile ----------------------------------------------------------------

bool TextFile::Write(std::string_view text, bool lineEnd, std::string& scratch) {
  if (!m_fd.valid()) return false;
  scratch.clear();
  if (IsAscii(text)) {
    AppendTextMode(scratch, text);
  } else {
    AppendTextMode(scratch, Utf8ToAnsi(text));
  }
  if (lineEnd) scratch.append("\r\n");
  const bool ok = WriteAll(m_fd.get(), scratch);
  if (!ok) m_failed = true;
  if (scratch.capacity() > kScratchKeep) std::string().swap(scratch);
  return ok;
}

bool TextFile::Close() {
  if (!m_fd.valid()) return true;
  bool ok = !m_failed;
  struct stat st {};
  // A file deleted while it was open takes its content with it.
  if (fstat(m_fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 0) ok = false;
  // Some files (pipes, terminals, special file systems) cannot be flushed.
  if (fsync(m_fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) ok = false;
  if (!m_fd.Close()) ok = false;
  return ok;
}

// ---- The service object's table ------------------------------------------------

FileServices::FileServices(UserInterface& ui, const Tracer& trace, TemplateStore& store,
                           std::function<void()> locateStore)
    : m_ui(&ui), m_trace(trace), m_store(store), m_locateStore(std::move(locateStore)) {}

FileServices::~FileServices() = default;

void FileServices::MessageBox(std::string_view text, std::string_view caption, MessageIcon icon) {
  m_ui->ShowMessage(AnsiToUtf8(caption), AnsiToUtf8(text), icon);
}

Status FileServices::GetWriteableFolderPath(std::string& pLocalLowLocation) {
  const WriteableFolderResult folder = FindWriteableFolder(*m_ui);
  if (!folder.ok) return kFalse;
  pLocalLowLocation = folder.path;
  return kOk;
}

void FileServices::ForgetExportFile() {
  if (!m_files.exportFile) return;
  m_files.exportFile->Close();
  m_files.exportFile.reset();
}

// ---- Export file ---------------------------------------------------------------

Status FileServices::CreateExportFile(std::string_view pExportFileName, int32_t& CreateSucceeded) {
  if (pExportFileName.empty()) {
    CreateSucceeded = 0;
    return kOk;
  }
  // An export file still open is closed, so its lines are not lost.
  ForgetExportFile();
  UniqueFd fd = OpenForWriting(*this, "CreateExportFile", pExportFileName);
  if (!fd.valid()) {
    if (!pExportFileName.ends_with(kRejectedSuffix)) {
      std::string text = "Error opening export file ";
      text.append(pExportFileName).append(" for writing!");
      m_ui->ShowMessage("Export", text, MessageIcon::None);
    }
    CreateSucceeded = 0;
    return kOk;
  }
  m_files.exportFile.emplace(std::move(fd));
  CreateSucceeded = 1;
  return kOk;
}

Status FileServices::ExportWriteLine(std::string_view pExportLine, int32_t& WriteSucceeded) {
  FileTable& files = m_files;
  WriteSucceeded = files.exportFile && files.exportFile->Write(pExportLine, true, files.scratch) ? 1 : 0;
  return kOk;
}

Status FileServices::ExportWrite(std::string_view pExportLine, int32_t& WriteSucceeded) {
  FileTable& files = m_files;
  WriteSucceeded = files.exportFile && files.exportFile->Write(pExportLine, false, files.scratch) ? 1 : 0;
  return kOk;
}

Status FileServices::CloseExportFile(int32_t& CloseSucceeded) {
  // There is no protected-mode save broker here: the file was written where
  // the user chose it, and closing it is all that is left.
  bool ok = true;
  if (m_files.exportFile) {
    ok = m_files.exportFile->Close();
    m_files.exportFile.reset();
  }
  if (!ok) m_trace.Line("CloseExportFile: the export file could not be written completely");
  CloseSucceeded = ok ? 1 : 0;
  return ok ? kOk : kFalse;
}

// ---- Output files ----------------------------------------------------------------

Status FileServices::CreateOutputFile(std::string_view pOutputFileName, int32_t& CreateSucceeded) {
  if (pOutputFileName.empty()) {
    CreateSucceeded = 0;
    return kOk;
  }
  FileTable& files = m_files;
  // The name as the caller wrote it against the stored upper-case names:
  // only a name given in upper case can match.
  int found = -1;
  for (std::size_t i = 0; i < files.outputs.size(); ++i) {
    if (files.outputs[i].upperName == pOutputFileName) found = static_cast<int>(i) + 1;
  }
  int next = -1;
  if (found > 0) {
    std::string text = "This output file is already open: ";
    text.append(pOutputFileName);
    m_ui->ShowMessage("", text, MessageIcon::Warning);
    CreateSucceeded = 0;
  } else {
    next = static_cast<int>(files.outputs.size()) + 1;
    UniqueFd fd = OpenForWriting(*this, "CreateOutputFile", pOutputFileName);
    if (fd.valid()) {
      FileTable::OutputFile& entry = files.outputs.emplace_back();
      entry.upperName = ProfileUpper(pOutputFileName);
      entry.file.emplace(std::move(fd));
      CreateSucceeded = 1;
    } else {
      if (!pOutputFileName.ends_with(kRejectedSuffix)) {
        std::string text = "Error opening output file ";
        text.append(pOutputFileName).append(" for writing!");
        m_ui->ShowMessage("", text, MessageIcon::Warning);
      }
      CreateSucceeded = 0;
    }
  }
  m_trace.Format("CreateOutputFile: found=%d, nextinline=%d", found, next);
  return kOk;
}

Status FileServices::WriteOutputLine(std::string_view pOutputFileName, std::string_view pOutputLine,
                                    std::optional<int32_t>& WriteSucceeded) {
  if (pOutputFileName.empty()) {
    MessageBox("The file name is needed for output files.", "Import", MessageIcon::None);
    return kOk;
  }
  FileTable& files = m_files;
  const std::string upper = ProfileUpper(pOutputFileName);
  // Every entry of the name gets the line: a name created twice in lower
  // case writes to both files.
  for (FileTable::OutputFile& entry : files.outputs) {
    if (entry.upperName != upper) continue;
    if (entry.file && entry.file->isOpen()) {
      WriteSucceeded = entry.file->Write(pOutputLine, true, files.scratch) ? 1 : 0;
    } else {
      m_trace.Line("WriteOutputLine: file handle NULL, file already closed");
      std::string text = "This file ";
      text.append(pOutputFileName).append(" has already been closed and the line cannot be written.");
      m_ui->ShowMessage("", text, MessageIcon::None);
    }
  }
  return kOk;
}

Status FileServices::CloseOutputFile(std::string_view pOutputFileName, std::optional<int32_t>& CloseSucceeded) {
  if (pOutputFileName.empty()) return kOk;
  FileTable& files = m_files;
  const std::string upper = ProfileUpper(pOutputFileName);
  FileTable::OutputFile* last = nullptr;
  for (std::size_t i = 0; i < files.outputs.size(); ++i) {
    if (files.outputs[i].upperName != upper) continue;
    m_trace.Format("CloseOutputFile: found=%d", static_cast<int>(i) + 1);
    last = &files.outputs[i];
  }
  if (!last) {
    m_trace.Format("CloseOutputFile: filename %s not found, cannot close", PrintablePath(pOutputFileName).c_str());
    return kOk;
  }
  bool ok = true;
  if (last->file) {
    ok = last->file->Close();
    last->file.reset();
  }
  if (!ok) m_trace.Line("CloseOutputFile: the output file could not be written completely");
  CloseSucceeded = ok ? 1 : 0;
  return kOk;
}

}  // namespace zephrin
