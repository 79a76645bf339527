#include "cli/read_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/standard_output.h"
#include "platform/unique_fd.h"
#include "readers/data_text.h"
#include "readers/separator.h"

namespace zephrin::cli {

InputCopy::~InputCopy() {
  std::error_code ignored;
  if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
}

namespace {

// A step of making the copy that failed, in words ("cannot make a copy: why").
Error CopyFailure(const char* what, int err) { return Error::FromErrno(err, what); }

constexpr std::string_view kCopyPrefix = "zephrinimport-input-";

// Removes the copies that reads killed outright (SIGKILL, a crash: no
// handler ran) left in the temporary folder: this user's folders of the
// copies' name whose process is gone. A folder whose process still runs
// (or whose number another process took since) is left alone.
void RemoveOrphanCopies(const std::filesystem::path& tmp) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(tmp, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(kCopyPrefix)) continue;
    const std::string rest = name.substr(kCopyPrefix.size());
    char* after = nullptr;
    const long pid = std::strtol(rest.c_str(), &after, 10);
    if (pid <= 0 || after == rest.c_str() || *after != '-') continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    std::error_code removed;
    std::filesystem::remove_all(it->path(), removed);
  }
}

}  // namespace

Done InputCopy::Make(int fd, const std::string& originalName) {
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  if (!ec) RemoveOrphanCopies(tmp);
  // The folder's name carries this process's number, for the removal above.
  std::string pattern = (tmp / (std::string(kCopyPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
  {
    // The folder is made and registered with the signals held, so that a
    // signal between the two cannot leave it behind.
    const SignalsHeld held;
    if (ec || ::mkdtemp(pattern.data()) == nullptr) return CopyFailure("no temporary folder", errno);
    m_folder = pattern;
    m_folderOnSignal.Register(AT_FDCWD, m_folder, RemovedOnSignal::Kind::kFolder);
  }
  const std::string base = std::filesystem::path(originalName).filename().string();
  m_path = m_folder + "/input-" + (base.empty() || base == "-" ? std::string("stdin") : base);
  // Registered before it exists (the folder is this run's own), so that a
  // signal right after the file is made cannot leave it, and its folder, behind.
  m_fileOnSignal.Register(AT_FDCWD, m_path, RemovedOnSignal::Kind::kFile);
  UniqueFd out(::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.valid()) return CopyFailure("cannot make a copy", errno);
  Done copied = CopyFrom(fd, out.get());
  if (Done closed = out.Close(); !closed && copied) copied = CopyFailure("cannot make a copy", closed.error().sysErrno);
  return copied;
}

Done InputCopy::RoomFor(int out, uint64_t more) const {
  struct statvfs fs {};
  if (::fstatvfs(out, &fs) != 0) return {};  // a file system that does not say: the writes will
  const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
  if (free >= kKeepFree && free - kKeepFree >= more) return {};
  return Error{ErrorCode::kTooLarge, "cannot make a copy: it would leave the temporary folder " +
                                         std::filesystem::path(m_folder).parent_path().string() + " with less than " +
                                         std::to_string(kKeepFree >> 20) + " MB free"};
}

Done InputCopy::CopyFrom(int fd, int out) {
  constexpr uint64_t kStep = uint64_t{64} << 20;  // the room is asked for this much at a time
  std::vector<char> buffer(1 << 20);
  for (uint64_t copied = 0, room = 0;;) {
    if (copied >= room) {
      if (Done free = RoomFor(out, kStep); !free) return free;
      room = copied + kStep;
    }
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n == 0) return {};
    if (n < 0) {
      if (errno == EINTR) continue;
      return CopyFailure("cannot read it", errno);
    }
    copied += static_cast<uint64_t>(n);
    if (Done written = WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n))); !written)
      return CopyFailure("cannot make a copy", written.error().sysErrno);
  }
}

void ProgressBar::Show(std::size_t done, std::size_t total) {
  if (total < (4u << 20)) return;
  const int pct = static_cast<int>(done * 100 / total);
  std::fprintf(stderr, "\rReading %3d%% [%-40.*s]", pct, pct * 40 / 100, "########################################");
  m_shown = true;
  if (done >= total) Clear();
}

void ProgressBar::Clear() {
  if (m_shown) std::fputs("\r\033[K", stderr);
  m_shown = false;
}

ReadOutput::ReadOutput(std::string path) : m_path(std::move(path)) {
  struct stat st {};
  m_direct = !m_path.empty() && ::stat(m_path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

Error ReadOutput::CannotWrite(int err) const { return Error::FromErrno(err, "cannot write " + m_path); }

Done ReadOutput::Begin(ReadHooks& hooks) {
  if (m_path.empty() || m_direct) return {};
  // The text takes the file's place by a rename, which the file's own
  // permissions do not stop: a file the user may not write is kept as it is.
  if (::access(m_path.c_str(), W_OK) != 0 && errno == EACCES) return CannotWrite(EACCES);
  if (Done begun = m_writer.Begin(m_path); !begun) return CannotWrite(begun.error().sysErrno);
  hooks.sink = this;
  return {};
}

bool ReadOutput::Write(std::string_view piece) {
  if (m_streamed) m_streamed = m_writer.Write(piece);
  return m_streamed.ok();
}

Done ReadOutput::Finish(const ReadResult& read) {
  const std::string_view text = read.text.view();
  if (m_path.empty()) {
    const bool ok = WriteOut(text) && (text.empty() || WriteOut("\n")) && FlushOut();
    return ok ? Done() : Error{ErrorCode::kIo, "cannot write to standard output"};
  }
  if (!m_direct) return FinishFile(read);
  FILE* f = std::fopen(m_path.c_str(), "w");
  const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                  (text.empty() || std::fputc('\n', f) != EOF);
  if (!f || std::fclose(f) != 0 || !ok) return CannotWrite(errno);
  return {};
}

Done ReadOutput::FinishFile(const ReadResult& read) {
  const std::string_view text = read.text.view();
  // A document was streamed: its end is left to write. Anything else takes
  // the place of what was streamed.
  Done written = m_streamed;
  if (read.outcome == ReadOutcome::kDocument) {
    if (written) written = m_writer.Write("\n");
  } else {
    written = m_writer.Restart();
    if (written) written = m_writer.Write(text);
    if (written && !text.empty()) written = m_writer.Write("\n");
  }
  if (written) written = m_writer.Commit();
  if (!written) return CannotWrite(written.error().sysErrno);
  return {};
}

std::string NoValueReason(const std::string& path, const ReadResult& read) {
  struct stat st {};
  if (read.itemsPlaced == std::size_t{0}) return "the template places no item (every item's position is 0 0 0)";
  if (::stat(path.c_str(), &st) == 0 && st.st_size == 0) return "the file is empty";
  // A workbook's bytes are no text to judge: what the read saw says why.
  if (read.fromWorkbook)
    return read.rows == std::size_t{0} ? "its sheet has no row from the template's first row on"
                                       : "no cell of the sheet at the template's columns holds a value";
  // The start of the file as the readers take it: UTF-16 decoded first (an
  // even number of its bytes, so that no character is cut in two). Text has
  // few control characters besides its line ends and tabs; a program, a
  // picture or a compressed file has NUL bytes or many others.
  char head[4096];
  std::size_t size = 0;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    size = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  DataText start;
  start.Assign(std::string_view(head, size == sizeof head ? size : size & ~std::size_t{1}));
  const std::string_view text = start.invalidUtf16() ? std::string_view(head, size) : start.text();
  std::size_t controls = 0;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A) ++controls;
  }
  if (text.find('\0') != std::string_view::npos || controls * 10 > text.size()) return "it holds binary data";
  // Lines that end with a carriage return alone (as some older programs
  // write them) make the whole file one line.
  if (text.find('\r') != std::string_view::npos && text.find('\n') == std::string_view::npos)
    return "its lines end with a carriage return alone, and only a line feed ends a line";
  if (read.rows == std::size_t{0}) return "it has no line from the template's first line on";
  if (read.passedOverEntries)
    return "every journal entry in it is of another kind than the import type reads (by the first letter of its "
           "type)";
  // Readers that count no rows, and lines that reach no value, say the same:
  // whether the lines stop short or hold blanks there, no value is where the
  // template reads.
  if (!read.rows) return "no line holds a value where the template reads";
  return "no line holds a value where the template reads: its lines end before the template's positions, or are blank there";
}

bool IsRegularOrAbsent(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

Done TakeDataFile(const std::string& dataFile, InputCopy& copy, ReadRequest& request) {
  const bool fromStdin = dataFile == "-";
  if (!fromStdin && IsRegularOrAbsent(dataFile)) return {};
  UniqueFd opened(fromStdin ? -1 : ::open(dataFile.c_str(), O_RDONLY | O_CLOEXEC));
  const int fd = fromStdin ? STDIN_FILENO : opened.get();
  if (fd < 0) return Error::FromErrno(errno);
  if (Done copied = copy.Make(fd, dataFile); !copied) return copied;
  request.importFile = copy.path();
  request.shownAs = fromStdin ? "standard input" : dataFile;
  return {};
}

void AddSourceOptions(CLI::App& cmd, SourceOptions& o) {
  cmd.add_option("--format", o.format,
                 "The reader, whatever the file's name says: csv, dif, fixed, xlsx or xls.")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            return value == "csv" || value == "dif" || value == "fixed" || value == "xlsx" || value == "xls"
                       ? std::string()
                       : "the format is csv, dif, fixed, xlsx or xls (not \"" + value + "\")";
          },
          "csv|dif|fixed|xlsx|xls"));
  cmd.add_option("--separator", o.separator,
                 "Read the file as separated text with this separator, whatever its name and the template "
                 "say: comma, tab, semicolon or pipe.")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            return SeparatorNamed(value)
                       ? std::string()
                       : "the separator is comma, tab, semicolon or pipe (not \"" + value + "\")";
          },
          "comma|tab|semicolon|pipe"));
  cmd.add_option("--sheet", o.sheet,
                 "The sheet of a workbook to read, whatever the template says (the first sheet when neither says).");
}

void ApplySourceOptions(const SourceOptions& o, ReadRequest& request) {
  if (o.format == "csv") request.format = SourceFormat::kCsv;
  else if (o.format == "dif") request.format = SourceFormat::kDif;
  else if (o.format == "fixed") request.format = SourceFormat::kFixedWidth;
  else if (o.format == "xlsx") request.workbook = WorkbookKind::kXlsx;
  else if (o.format == "xls") request.workbook = WorkbookKind::kXls;
  if (!o.separator.empty()) request.separator = SeparatorNamed(o.separator);
  request.sheet = o.sheet;
}

std::optional<std::string> SourceOptionsRefusal(const std::string& dataFile, const SourceOptions& o) {
  // A separator means separated text: with a format of another kind one of
  // the two would be passed over without a word.
  if (!o.separator.empty() && !o.format.empty() && o.format != "csv")
    return "--separator reads separated text, and --format " + o.format + " reads another kind of file: give one "
           "of the two";
  if (dataFile != "-" || !o.format.empty() || !o.separator.empty()) return std::nullopt;
  return "reading standard input needs --format (csv, dif, fixed, xlsx or xls) or --separator";
}

ReadRequest TemplateReadRequest(const std::string& dataFile, const std::string& templateName,
                                const std::string& importType, const std::string& id, const std::string& moreInfo,
                                int intlType) {
  ReadRequest request;
  request.importFile = dataFile;
  request.templateName = templateName;
  request.importType = importType;
  request.id = id;
  request.moreInfo = moreInfo;
  if (intlType >= 0) {
    request.international = true;
    request.intlType = static_cast<int16_t>(intlType);
  }
  return request;
}

}  // namespace zephrin::cli
