#include "cli/read_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "cli/standard_output.h"

namespace zephrin::cli {

InputCopy::~InputCopy() {
  std::error_code ignored;
  if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
}

std::optional<std::string> InputCopy::Make(int fd, const std::string& originalName) {
  std::error_code ec;
  std::string pattern = (std::filesystem::temp_directory_path(ec) / "zephrinimport-input-XXXXXX").string();
  if (ec || ::mkdtemp(pattern.data()) == nullptr) return std::string("no temporary folder: ") + std::strerror(errno);
  m_folder = pattern;
  m_folderOnSignal.Register(AT_FDCWD, m_folder, RemovedOnSignal::Kind::kFolder);
  const std::string base = std::filesystem::path(originalName).filename().string();
  m_path = m_folder + "/input-" + (base.empty() || base == "-" ? std::string("stdin") : base);
  const int out = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) return std::string("cannot make a copy: ") + std::strerror(errno);
  m_fileOnSignal.Register(AT_FDCWD, m_path, RemovedOnSignal::Kind::kFile);
  std::optional<std::string> failure = CopyFrom(fd, out);
  if (::close(out) != 0 && !failure) failure = std::string("cannot make a copy: ") + std::strerror(errno);
  return failure;
}

std::optional<std::string> InputCopy::CopyFrom(int fd, int out) {
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n == 0) return std::nullopt;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::string("cannot read it: ") + std::strerror(errno);
    }
    int err = 0;
    if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n)), err))
      return std::string("cannot make a copy: ") + std::strerror(err);
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

std::optional<std::string> ReadOutput::Begin(ReadHooks& hooks) {
  if (m_path.empty() || m_direct) return std::nullopt;
  if (m_writer.Begin(m_path) != AtomicFileWriter::Outcome::kOk)
    return "cannot write " + m_path + ": " + std::strerror(m_writer.err());
  hooks.sink = this;
  return std::nullopt;
}

bool ReadOutput::Write(std::string_view piece) {
  if (m_written && !m_writer.Write(piece)) m_written = false;
  return m_written;
}

std::optional<std::string> ReadOutput::Finish(const ReadResult& read) {
  const std::string_view text = read.text.view();
  if (m_path.empty()) {
    const bool ok = WriteOut(text) && (text.empty() || WriteOut("\n")) && FlushOut();
    return ok ? std::nullopt : std::optional<std::string>("");
  }
  if (!m_direct) return FinishFile(read);
  FILE* f = std::fopen(m_path.c_str(), "w");
  const bool ok = f && std::fwrite(text.data(), 1, text.size(), f) == text.size() &&
                  (text.empty() || std::fputc('\n', f) != EOF);
  if (!f || std::fclose(f) != 0 || !ok) return "cannot write " + m_path + ": " + std::strerror(errno);
  return std::nullopt;
}

std::optional<std::string> ReadOutput::FinishFile(const ReadResult& read) {
  const std::string_view text = read.text.view();
  bool written = m_written;
  if (read.outcome == ReadOutcome::kDocument) {
    written = written && m_writer.Write("\n");
  } else {
    written = m_writer.Restart() && m_writer.Write(text) && (text.empty() || m_writer.Write("\n"));
  }
  const AtomicFileWriter::Outcome committed = written ? m_writer.Commit() : AtomicFileWriter::Outcome::kWriteFailed;
  if (committed != AtomicFileWriter::Outcome::kOk)
    return "cannot write " + m_path + ": " + std::strerror(m_writer.err());
  return std::nullopt;
}

std::string NoValueReason(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && st.st_size == 0) return "the file is empty";
  // Text has few control characters besides its line ends and tabs; a
  // program, a picture or a compressed file has NUL bytes or many others.
  char head[4096];
  std::size_t size = 0;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    size = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
  }
  std::size_t controls = 0;
  bool nul = false;
  for (std::size_t i = 0; i < size; ++i) {
    const auto c = static_cast<unsigned char>(head[i]);
    nul = nul || c == 0;
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != 0x1A) ++controls;
  }
  if (nul || controls * 10 > size) return "it holds binary data";
  return "the template's positions lie past the end of every line";
}

}  // namespace zephrin::cli
