// Export and output files: the one export file the user chose, and any
// number of output files addressed by name.
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/file_services.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "platform/writable_folder.h"
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

// Opens (creates or empties) a host-named file for writing. A refusal is
// traced by the resolver.
Expected<UniqueFd> OpenForWriting(FileServices& service, std::string_view method, std::string_view name) {
  const Expected<PathTarget> target = ResolveHostPath(service, method, name, HostPathUse::kWrite);
  if (!target) return target.error();
  // O_NONBLOCK keeps a FIFO without a reader from hanging the call. The file
  // is emptied only once it is known to be one the methods may write.
  Expected<UniqueFd> fd = OpenTarget(*target, O_WRONLY | O_CREAT | O_NOCTTY | O_NONBLOCK, 0666);
  if (!fd) return fd;
  if (Done accepted = AcceptOpenedFile(service, method, name, *target, fd->get()); !accepted) return accepted.TakeError();
  struct stat st {};
  if (fstat(fd->get(), &st) != 0) return Error::FromErrno(errno);
  if (S_ISREG(st.st_mode) && ftruncate(fd->get(), 0) != 0) return Error::FromErrno(errno);
  // Every write goes to the end of the file: two handles of one file (a name
  // created twice) add their lines one after the other, where each writing
  // at its own offset would leave a gap of NUL bytes after the file was
  // emptied by the second.
  const int flags = fcntl(fd->get(), F_GETFL);
  if (flags >= 0) fcntl(fd->get(), F_SETFL, (flags & ~O_NONBLOCK) | O_APPEND);
  return fd;
}

// Tells the user that a file (`kind`: "export" or "output") could not be
// opened, unless it is a log of rejected rows.
void TellOpenFailure(UserInterface& ui, std::string_view kind, std::string_view name, std::string_view caption,
                     MessageIcon icon) {
  if (name.ends_with(kRejectedSuffix)) return;
  std::string text = "Error opening ";
  text.append(kind).append(" file ").append(name).append(" for writing!");
  ui.ShowMessage(caption, text, icon);
}

}  // namespace

// ---- TextFile ----------------------------------------------------------------

Done TextFile::Write(std::string_view text, bool lineEnd, std::string& scratch) {
  if (!m_fd.valid()) return Error{ErrorCode::kInvalid, "the file is closed"};
  scratch.clear();
  if (IsAscii(text)) {
    AppendTextMode(scratch, text);
  } else {
    AppendTextMode(scratch, Utf8ToAnsi(text));
  }
  if (lineEnd) scratch.append("\r\n");
  Done written = WriteAll(m_fd.get(), scratch);
  if (!written) m_failed = true;
  if (scratch.capacity() > kScratchKeep) std::string().swap(scratch);
  return written;
}

Done TextFile::Close() {
  if (!m_fd.valid()) return {};
  Done closed;
  if (m_failed) closed = Error{ErrorCode::kIo, "a write to the file failed"};
  struct stat st {};
  // A file deleted while it was open takes its content with it.
  if (fstat(m_fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 0)
    closed = Error{ErrorCode::kNotFound, "the file was deleted while it was open"};
  // Some files (pipes, terminals, special file systems) cannot be flushed.
  if (fsync(m_fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) closed = Error::FromErrno(errno);
  if (Done released = m_fd.Close(); !released) closed = released;
  return closed;
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
  const Expected<WriteableFolder> folder = FindWriteableFolder(*m_ui);
  if (!folder) return kFalse;
  pLocalLowLocation = folder->path;
  return kOk;
}

void FileServices::ForgetExportFile() {
  if (!m_files.exportFile) return;
  (void)m_files.exportFile->Close();  // no one is left to be told
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
  Expected<UniqueFd> fd = OpenForWriting(*this, "CreateExportFile", pExportFileName);
  if (!fd) {
    TellOpenFailure(*m_ui, "export", pExportFileName, "Export", MessageIcon::None);
    CreateSucceeded = 0;
    return kOk;
  }
  m_files.exportFile.emplace(std::move(*fd));
  CreateSucceeded = 1;
  return kOk;
}

Status FileServices::ExportWriteLine(std::string_view pExportLine, int32_t& WriteSucceeded) {
  FileTable& files = m_files;
  WriteSucceeded = files.exportFile && files.exportFile->Write(pExportLine, true, files.scratch).ok() ? 1 : 0;
  return kOk;
}

Status FileServices::ExportWrite(std::string_view pExportLine, int32_t& WriteSucceeded) {
  FileTable& files = m_files;
  WriteSucceeded = files.exportFile && files.exportFile->Write(pExportLine, false, files.scratch).ok() ? 1 : 0;
  return kOk;
}

Status FileServices::CloseExportFile(int32_t& CloseSucceeded) {
  // There is no protected-mode save broker here: the file was written where
  // the user chose it, and closing it is all that is left.
  bool ok = true;
  if (m_files.exportFile) {
    ok = m_files.exportFile->Close().ok();
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
    Expected<UniqueFd> fd = OpenForWriting(*this, "CreateOutputFile", pOutputFileName);
    if (fd) {
      FileTable::OutputFile& entry = files.outputs.emplace_back();
      entry.upperName = UpperAscii(pOutputFileName);
      entry.file.emplace(std::move(*fd));
      CreateSucceeded = 1;
    } else {
      TellOpenFailure(*m_ui, "output", pOutputFileName, "", MessageIcon::Warning);
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
  const std::string upper = UpperAscii(pOutputFileName);
  // Every entry of the name gets the line: a name created twice in lower
  // case writes to both files.
  for (FileTable::OutputFile& entry : files.outputs) {
    if (entry.upperName != upper) continue;
    if (entry.file && entry.file->isOpen()) {
      WriteSucceeded = entry.file->Write(pOutputLine, true, files.scratch).ok() ? 1 : 0;
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
  const std::string upper = UpperAscii(pOutputFileName);
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
    ok = last->file->Close().ok();
    last->file.reset();
  }
  if (!ok) m_trace.Line("CloseOutputFile: the output file could not be written completely");
  CloseSucceeded = ok ? 1 : 0;
  return kOk;
}

}  // namespace zephrin
