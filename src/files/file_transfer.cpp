// Folders in the writable folder, file deletion, and file contents moved to
// and from byte arrays, so that a host with restricted file rights can carry
// files across that boundary.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "files/file_services.h"
#include "platform/atomic_file.h"
#include "platform/memory.h"
#include "templates/store.h"
#include "templates/store_location.h"

namespace zephrin {

namespace {

// Resolves a folder name for CreateFolder and DeleteFolder: a name inside the
// writable folder, never the folder itself, never through a symbolic link.
// A refusal is traced.
Expected<PathTarget> ResolveFolderName(FileServices& service, std::string_view method, const std::string& writable,
                                       std::string_view name) {
  auto refuse = [&](const std::string& reason) {
    service.tracer().Format("%.*s: refused folder name %s: %s", static_cast<int>(method.size()), method.data(),
                            PrintablePath(name).c_str(), reason.c_str());
    return Refusal(reason);
  };
  if (Done fit = CheckRelativeName(name); !fit) return refuse(fit.error().message);
  Expected<UniqueFd> root = OpenFolder(writable);
  if (!root) return root.TakeError();
  Expected<PathTarget> target = ResolveBeneath(root->get(), name);
  if (!target) {
    if (IsRefusal(target.error())) return refuse(target.error().message);
    return target;
  }
  struct stat st {};
  if (fstatat(target->folder.get(), target->leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
    return refuse("it is a symbolic link");
  }
  return target;
}

// The names of the entries of an open folder that are not folders (links
// included, as entries of their own); an error when the listing fails.
Expected<std::vector<std::string>> FilesIn(DIR* dir) {
  const int dirFd = dirfd(dir);
  std::vector<std::string> files;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir);
    if (!entry) {
      if (errno != 0) return Error::FromErrno(errno);
      return files;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Error::FromErrno(errno);
    if (!S_ISDIR(st.st_mode)) files.emplace_back(name);
  }
}

}  // namespace

Status FileServices::CreateFolder(std::string_view pFolderName, std::string& pLocalLowLocation) {
  std::string writable;
  if (Status st = GetWriteableFolderPath(writable); st != kOk) return st;
  const Expected<PathTarget> target = ResolveFolderName(*this, "CreateFolder", writable, pFolderName);
  if (!target && IsRefusal(target.error())) {
    pLocalLowLocation.clear();
    return kFalse;
  }
  // A folder by the name of the store, its lock or its temporary files would
  // stop every later change of the store.
  if (!m_store.located()) m_locateStore();
  if (target && m_store.located() && IsStoreEntry(target->folder.get(), target->leaf, false, m_store.path())) {
    m_trace.Format("CreateFolder: refused folder name %s: it is a file of the template store",
                   PrintablePath(pFolderName).c_str());
    pLocalLowLocation.clear();
    return kFalse;
  }
  // A failed creation is not reported: a folder that is there already serves.
  if (target && mkdirat(target->folder.get(), target->leaf.c_str(), 0777) != 0 && errno != EEXIST) {
    m_trace.Format("CreateFolder: cannot create %s: errno=%d", PrintablePath(pFolderName).c_str(), errno);
  }
  pLocalLowLocation = writable;
  if (pLocalLowLocation.empty() || pLocalLowLocation.back() != '/') pLocalLowLocation.push_back('/');
  pLocalLowLocation.append(pFolderName);
  return kOk;
}

Status FileServices::DeleteFolder(std::string_view pFolderName) {
  std::string writable;
  if (GetWriteableFolderPath(writable) != kOk) return kOk;
  const Expected<PathTarget> target = ResolveFolderName(*this, "DeleteFolder", writable, pFolderName);
  if (!target) return IsRefusal(target.error()) ? kFalse : kOk;

  Expected<UniqueFd> fd = OpenTarget(*target, O_RDONLY | O_DIRECTORY, 0);
  if (!fd) return kOk;  // the listing cannot start
  UniqueDir dir = ListFolder(std::move(*fd));
  if (!dir) return kOk;

  // The names are taken first, then deleted, so the listing never runs over
  // a folder that changes under it. Subfolders stay; a listing error stops
  // the work.
  const Expected<std::vector<std::string>> files = FilesIn(dir.get());
  if (!files) return kOk;
  // A read-only file needs no change of mode first: removing an entry is a
  // right of its folder, not of the file.
  for (const std::string& name : *files) {
    ForgetExportFile();
    if (unlinkat(dirfd(dir.get()), name.c_str(), 0) != 0) {
      m_trace.Format("DeleteFolder: cannot delete %s: errno=%d", PrintablePath(name).c_str(), errno);
      return kOk;
    }
  }
  dir.reset();
  // Fails, silently, while subfolders remain.
  unlinkat(target->folder.get(), target->leaf.c_str(), AT_REMOVEDIR);
  return kOk;
}

Status FileServices::DeleteOITFile(std::string_view pFileName) {
  ForgetExportFile();
  const Expected<PathTarget> target = ResolveHostPath(*this, "DeleteOITFile", pFileName, HostPathUse::kWrite);
  if (!target) return kFalse;
  if (unlinkat(target->folder.get(), target->leaf.c_str(), 0) != 0) return kFalse;
  return kOk;
}

namespace {

// Reads up to `data.size()` bytes from the start of `fd` into `data`, which
// is cut to what was there (a file may shrink meanwhile).
Done ReadWhole(int fd, std::string& data) {
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = pread(fd, data.data() + got, data.size() - got, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Error::FromErrno(errno);
    }
    if (n == 0) break;  // the file shrank meanwhile: what is there is what is read
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  return {};
}

}  // namespace

Status FileServices::TransferOpenFailed(const char* method, const char* direction, const std::string& shown) {
  m_trace.Format("!!!! **** Error opening export file %s for %s! In CxmlWrapper::%s().", shown.c_str(), direction,
                 method);
  MessageBox("Unable to open the file", "Import", MessageIcon::None);
  return kFalse;
}

Status FileServices::ConvertFileToByteArray(std::string_view exportFilePath, std::optional<std::string>& pByteArray) {
  const std::string shown = PrintablePath(exportFilePath);
  auto openFailed = [&] { return TransferOpenFailed("ConvertFileToByteArray", "reading", shown); };
  const Expected<PathTarget> target = ResolveHostPath(*this, "ConvertFileToByteArray", exportFilePath, HostPathUse::kRead);
  if (!target) return openFailed();
  // O_NONBLOCK keeps a FIFO from hanging the call; only a plain file is read.
  const Expected<UniqueFd> fd = OpenTarget(*target, O_RDONLY | O_NOCTTY | O_NONBLOCK, 0);
  if (!fd) return openFailed();
  if (!AcceptOpenedFile(*this, "ConvertFileToByteArray", exportFilePath, *target, fd->get())) return openFailed();
  struct stat st {};
  if (fstat(fd->get(), &st) != 0 || !S_ISREG(st.st_mode)) return openFailed();

  if (st.st_size <= 0) {
    m_trace.Format("!!!! **** !(ppByteArray && iFileLen > 0) for file %s.  In CxmlWrapper::ConvertFileToByteArray.",
                   shown.c_str());
    return kFalse;
  }
  pByteArray.reset();
  std::string data;
  if (!SizeText(data, static_cast<std::size_t>(st.st_size))) {
    m_trace.Format("!!!! **** Failed to run SafeArrayCreateVector for file %s.  In CxmlWrapper::ConvertFileToByteArray.",
                   shown.c_str());
    return kFalse;
  }
  if (!ReadWhole(fd->get(), data)) {
    m_trace.Format("CxmlWrapper::ConvertFileToByteArray(). Exception occurred during reading data from file %s.",
                   shown.c_str());
    return kFalse;
  }
  m_trace.Format("CxmlWrapper::ConvertFileToByteArray(). Read %zu bytes from file %s.", data.size(), shown.c_str());
  pByteArray = std::move(data);
  return kOk;
}

Status FileServices::ConvertByteArrayToFile(std::string_view exportFilePath, std::string_view pByteArray) {
  const std::string shown = PrintablePath(exportFilePath);
  auto openFailed = [&] { return TransferOpenFailed("ConvertByteArrayToFile", "writing", shown); };
  const Expected<PathTarget> target = ResolveHostPath(*this, "ConvertByteArrayToFile", exportFilePath, HostPathUse::kWrite);
  if (!target) return openFailed();
  // Through a temporary file and a rename: a write that fails leaves the old
  // file whole. The content in place with its folder not flushed is as good
  // as it gets here.
  AtomicFileWriter writer;
  if (!writer.Begin(target->folder.get(), target->leaf)) return openFailed();
  if (!writer.Write(pByteArray) || !writer.Commit(AtomicFileWriter::FolderFlush::kBestEffort)) {
    m_trace.Line("CxmlWrapper::ConvertByteArrayToFile(). Exception occured.");
    m_ui->ShowMessage("Import: Error occurred in processing the file.", exportFilePath, MessageIcon::None);
    return kFalse;
  }
  m_trace.Format("CxmlWrapper::ConvertByteArrayToFile(). Write %zu bytes to file %s.", pByteArray.size(), shown.c_str());
  return kOk;
}

}  // namespace zephrin
