// Folders in the writable folder, file deletion, and file contents moved to
// and from byte arrays, so that a host with restricted file rights can carry
// files across that boundary.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>
#include <vector>

#include "files/file_services.h"
#include "templates/store.h"

namespace zephrin {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Resolves a folder name for CreateFolder and DeleteFolder: a name inside the
// writable folder, never the folder itself, never through a symbolic link.
// A refusal is traced and comes back as kRefused.
ResolveStatus ResolveFolderName(FileServices& service, std::string_view method, const std::string& writable,
                                std::string_view name, PathTarget& out) {
  auto refuse = [&](const std::string& reason) {
    service.tracer().Format("%.*s: refused folder name %s: %s", static_cast<int>(method.size()), method.data(),
                            PrintablePath(name).c_str(), reason.c_str());
    ResolveStatus status;
    status.kind = ResolveStatus::kRefused;
    status.reason = reason;
    return status;
  };
  if (std::string bad = CheckRelativeName(name); !bad.empty()) return refuse(bad);
  int err = 0;
  UniqueFd root = OpenFolder(writable, err);
  if (!root.valid()) {
    ResolveStatus status;
    status.kind = ResolveStatus::kFailed;
    status.err = err;
    return status;
  }
  ResolveStatus status = ResolveBeneath(root.get(), name, out);
  if (status.kind == ResolveStatus::kRefused) return refuse(status.reason);
  if (status.kind != ResolveStatus::kOk) return status;
  struct stat st {};
  if (fstatat(out.folder.get(), out.leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
    return refuse("it is a symbolic link");
  }
  return status;
}

}  // namespace

Status FileServices::CreateFolder(std::string_view pFolderName, std::string& pLocalLowLocation) {
  std::string writable;
  if (Status st = GetWriteableFolderPath(writable); st != kOk) return st;
  PathTarget target;
  const ResolveStatus status = ResolveFolderName(*this, "CreateFolder", writable, pFolderName, target);
  if (status.kind == ResolveStatus::kRefused) {
    pLocalLowLocation.clear();
    return kFalse;
  }
  // A failed creation is not reported: a folder that is there already serves.
  if (status.kind == ResolveStatus::kOk && mkdirat(target.folder.get(), target.leaf.c_str(), 0777) != 0 &&
      errno != EEXIST) {
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
  PathTarget target;
  const ResolveStatus status = ResolveFolderName(*this, "DeleteFolder", writable, pFolderName, target);
  if (status.kind == ResolveStatus::kRefused) return kFalse;
  if (status.kind != ResolveStatus::kOk) return kOk;

  UniqueFd fd;
  if (OpenTarget(target, O_RDONLY | O_DIRECTORY, 0, fd) != 0) return kOk;  // the listing cannot start
  std::unique_ptr<DIR, DirCloser> dir(fdopendir(fd.get()));
  if (!dir) return kOk;
  fd.release();  // the listing owns it now
  const int dirFd = dirfd(dir.get());

  // The names are taken first, then deleted, so the listing never runs over
  // a folder that changes under it.
  std::vector<std::string> files;
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) return kOk;  // a listing error stops the work
      break;
    }
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return kOk;
    // Subfolders stay; a symbolic link is an entry of its own, removed as
    // such without touching what it points to.
    if (S_ISDIR(st.st_mode)) continue;
    files.emplace_back(name);
  }
  // A read-only file needs no change of mode first: removing an entry is a
  // right of its folder, not of the file.
  for (const std::string& name : files) {
    ForgetExportFile();
    if (unlinkat(dirFd, name.c_str(), 0) != 0) {
      m_trace.Format("DeleteFolder: cannot delete %s: errno=%d", PrintablePath(name).c_str(), errno);
      return kOk;
    }
  }
  dir.reset();
  // Fails, silently, while subfolders remain.
  unlinkat(target.folder.get(), target.leaf.c_str(), AT_REMOVEDIR);
  return kOk;
}

Status FileServices::DeleteOITFile(std::string_view pFileName) {
  ForgetExportFile();
  PathTarget target;
  if (ResolveHostPath(*this, "DeleteOITFile", pFileName, target).kind != ResolveStatus::kOk) return kFalse;
  if (unlinkat(target.folder.get(), target.leaf.c_str(), 0) != 0) return kFalse;
  return kOk;
}

Status FileServices::ConvertFileToByteArray(std::string_view exportFilePath, std::optional<std::string>& pByteArray) {
  const std::string shown = PrintablePath(exportFilePath);
  auto openFailed = [&] {
    m_trace.Format("!!!! **** Error opening export file %s for reading! In CxmlWrapper::ConvertFileToByteArray().",
                   shown.c_str());
    MessageBox("Unable to open the file", "Import", MessageIcon::None);
    return kFalse;
  };
  PathTarget target;
  if (ResolveHostPath(*this, "ConvertFileToByteArray", exportFilePath, target).kind != ResolveStatus::kOk) {
    return openFailed();
  }
  UniqueFd fd;
  // O_NONBLOCK keeps a FIFO from hanging the call; only a plain file is read.
  if (OpenTarget(target, O_RDONLY | O_NOCTTY | O_NONBLOCK, 0, fd) != 0) return openFailed();
  if (!AcceptOpenedFile(*this, "ConvertFileToByteArray", exportFilePath, target, fd.get())) return openFailed();
  struct stat st {};
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return openFailed();

  if (st.st_size <= 0) {
    m_trace.Format("!!!! **** !(ppByteArray && iFileLen > 0) for file %s.  In CxmlWrapper::ConvertFileToByteArray.",
                   shown.c_str());
    return kFalse;
  }
  pByteArray.reset();
  std::string data;
  try {
    data.assign(static_cast<std::size_t>(st.st_size), '\0');
  } catch (const std::exception&) {
    m_trace.Format("!!!! **** Failed to run SafeArrayCreateVector for file %s.  In CxmlWrapper::ConvertFileToByteArray.",
                   shown.c_str());
    return kFalse;
  }
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = pread(fd.get(), data.data() + got, data.size() - got, static_cast<off_t>(got));
    if (n < 0) {
      if (errno == EINTR) continue;
      m_trace.Format("CxmlWrapper::ConvertFileToByteArray(). Exception occurred during reading data from file %s.",
                     shown.c_str());
      return kFalse;
    }
    if (n == 0) break;  // the file shrank meanwhile: what is there is what is read
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  m_trace.Format("CxmlWrapper::ConvertFileToByteArray(). Read %zu bytes from file %s.", got, shown.c_str());
  pByteArray = std::move(data);
  return kOk;
}

Status FileServices::ConvertByteArrayToFile(std::string_view exportFilePath, std::string_view pByteArray) {
  const std::string shown = PrintablePath(exportFilePath);
  auto openFailed = [&] {
    m_trace.Format("!!!! **** Error opening export file %s for writing! In CxmlWrapper::ConvertByteArrayToFile().",
                   shown.c_str());
    MessageBox("Unable to open the file", "Import", MessageIcon::None);
    return kFalse;
  };
  PathTarget target;
  if (ResolveHostPath(*this, "ConvertByteArrayToFile", exportFilePath, target).kind != ResolveStatus::kOk) {
    return openFailed();
  }
  // Through a temporary file and a rename: a write that fails leaves the old
  // file whole.
  const AtomicWriteStatus written = WriteFileAtomicallyAt(target.folder.get(), target.leaf, pByteArray);
  if (written.kind == AtomicWriteStatus::kCreateFailed) return openFailed();
  if (written.kind == AtomicWriteStatus::kWriteFailed) {
    m_trace.Line("CxmlWrapper::ConvertByteArrayToFile(). Exception occured.");
    m_ui->ShowMessage("Import: Error occurred in processing the file.", exportFilePath, MessageIcon::None);
    return kFalse;
  }
  m_trace.Format("CxmlWrapper::ConvertByteArrayToFile(). Write %zu bytes to file %s.", pByteArray.size(), shown.c_str());
  return kOk;
}

}  // namespace zephrin
