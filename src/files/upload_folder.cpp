#include "files/upload_folder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/safe_path.h"
#include "platform/atomic_file.h"
#include "platform/codepage.h"

namespace zephrin {

namespace {

Error Refused(std::string_view name, std::string_view why) {
  return Error{ErrorCode::kInvalid, "The file name \"" + PrintablePath(name) + "\" is refused: " + std::string(why) + "."};
}

// Flushes an open folder so that a name given in it survives a crash; file
// systems that cannot flush a folder are taken as they are.
Done FlushFolder(int folderFd, std::string_view shown) {
  const UniqueFd folder(openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid() && fsync(folder.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
    return Error::SentenceFromErrno(errno, "The folder " + std::string(shown) + " could not be flushed");
  return {};
}

std::string TempLeaf() {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char text[32];
  std::snprintf(text, sizeof text, ".upload-%016llx", static_cast<unsigned long long>(random()));
  return text;
}

}  // namespace

Done CheckUploadName(std::string_view name) {
  if (name.empty()) return Error{ErrorCode::kInvalid, "The file has no name."};
  // Names travel to the page as JSON text, which holds UTF-8 only.
  if (!IsValidUtf8(name)) return Error{ErrorCode::kInvalid, "The file name is refused: it is not UTF-8 text."};
  if (name.size() > kMaxUploadName)
    return Refused(name.substr(0, 40), "it is longer than " + std::to_string(kMaxUploadName) + " bytes");
  if (name.find_first_of("/\\") != std::string_view::npos) return Refused(name, "it holds a \"/\" or \"\\\"");
  const bool control = std::any_of(name.begin(), name.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
  if (control) return Refused(name, "it holds a control character");
  if (name.front() == '.') return Refused(name, "it begins with \".\"");
  return {};
}

UploadFolder::UploadFolder(std::string writableFolder) : m_path(std::move(writableFolder) + "/uploads") {}

Expected<UniqueFd> UploadFolder::Open() const {
  if (mkdir(m_path.c_str(), 0700) != 0 && errno != EEXIST)
    return Error::SentenceFromErrno(errno, "The folder " + m_path + " cannot be made");
  UniqueFd fd(open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) return Error::SentenceFromErrno(errno, "The folder " + m_path + " cannot be opened");
  return fd;
}

Expected<std::vector<UploadEntry>> UploadFolder::List() const {
  std::vector<UploadEntry> out;
  UniqueFd fd(open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno == ENOENT) return out;
    return Error::SentenceFromErrno(errno, "The folder " + m_path + " cannot be opened");
  }
  UniqueDir dir = ListFolder(std::move(fd));
  if (!dir) return Error::SentenceFromErrno(errno, "The folder " + m_path + " cannot be listed");
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    struct stat st {};
    if (!CheckUploadName(name) || fstatat(dirfd(dir.get()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    out.push_back({name, static_cast<std::uint64_t>(st.st_size), PathOf(name)});
  }
  std::sort(out.begin(), out.end(), [](const UploadEntry& a, const UploadEntry& b) { return a.name < b.name; });
  return out;
}

Done UploadFolder::Remove(std::string_view name) const {
  if (Done fit = CheckUploadName(name); !fit) return fit;
  UniqueFd fd(open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  const std::string leaf(name);
  struct stat st {};
  if (!fd.valid() || fstatat(fd.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode))
    return Error{ErrorCode::kNotFound, "There is no upload named \"" + PrintablePath(name) + "\"."};
  if (unlinkat(fd.get(), leaf.c_str(), 0) != 0)
    return Error::SentenceFromErrno(errno, "The upload \"" + PrintablePath(name) + "\" cannot be removed");
  return FlushFolder(fd.get(), m_path);
}

UploadWriter::~UploadWriter() { Abandon(); }

void UploadWriter::Abandon() {
  if (m_fd.valid()) {
    m_fd.reset();
    unlinkat(m_folder.get(), m_temp.c_str(), 0);
  }
  m_onSignal.Forget();
  m_folder.reset();
}

Done UploadWriter::Begin(const UploadFolder& folder, std::string_view name, bool replace) {
  Abandon();
  if (Done fit = CheckUploadName(name); !fit) return fit;
  Expected<UniqueFd> opened = folder.Open();
  if (!opened) return opened.TakeError();
  m_folder = std::move(*opened);
  // An upload whose program was killed leaves its temporary file behind;
  // one unchanged for ten minutes is no upload under way (a body that
  // stalls is broken off within seconds).
  RemoveStaleFiles(m_folder.get(), ".upload-", kStaleUploadSeconds);
  m_name = std::string(name);
  m_path = folder.PathOf(name);
  m_replace = replace;
  struct stat st {};
  if (!replace && fstatat(m_folder.get(), m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
    return Error{ErrorCode::kExists, "An upload named \"" + PrintablePath(name) + "\" is there already."};
  // Made and registered with the signals held, so that a signal between the
  // two cannot leave the temporary file behind.
  const SignalsHeld held;
  for (int attempt = 0; attempt < 100 && !m_fd.valid(); ++attempt) {
    m_temp = TempLeaf();
    m_fd.reset(openat(m_folder.get(), m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!m_fd.valid() && errno != EEXIST) break;
  }
  if (!m_fd.valid()) return Error::SentenceFromErrno(errno, "Cannot create a temporary file in " + folder.path());
  m_onSignal.Register(m_folder.get(), m_temp, RemovedOnSignal::Kind::kFile);
  return {};
}

Done UploadWriter::Write(std::string_view piece) {
  if (!m_fd.valid()) return Error{ErrorCode::kInternal, "The upload was not begun."};
  if (Done written = WriteAll(m_fd.get(), piece); !written) {
    Abandon();
    return Error::SentenceFromErrno(written.error().sysErrno, "Cannot write the upload " + m_path);
  }
  return {};
}

Expected<std::string> UploadWriter::Commit() {
  if (!m_fd.valid()) return Error{ErrorCode::kInternal, "The upload was not begun."};
  if (fsync(m_fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP) {
    const int err = errno;
    Abandon();
    return Error::SentenceFromErrno(err, "Cannot write the upload " + m_path);
  }
  if (Done closed = m_fd.Close(); !closed) {
    unlinkat(m_folder.get(), m_temp.c_str(), 0);
    Abandon();
    return Error::SentenceFromErrno(closed.error().sysErrno, "Cannot write the upload " + m_path);
  }
  // Without replace the name is given only when it is still free, so an
  // upload that arrived meanwhile under the same name is never overwritten.
  const unsigned flags = m_replace ? 0 : RENAME_NOREPLACE;
  if (renameat2(m_folder.get(), m_temp.c_str(), m_folder.get(), m_name.c_str(), flags) != 0) {
    const int err = errno;
    unlinkat(m_folder.get(), m_temp.c_str(), 0);
    Abandon();
    if (err == EEXIST) return Error{ErrorCode::kExists, "An upload named \"" + PrintablePath(m_name) + "\" is there already."};
    return Error::SentenceFromErrno(err, "Cannot name the upload " + m_path);
  }
  m_onSignal.Forget();
  Done flushed = FlushFolder(m_folder.get(), m_path);
  m_folder.reset();
  if (!flushed) return flushed.TakeError();
  return m_path;
}

}  // namespace zephrin
