// What zephrinimport read reads from and writes to around the engine's read:
// a copy of standard input, the progress bar, and the output (standard
// output, a device, or a file replaced whole).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "platform/atomic_file.h"
#include "platform/expected.h"
#include "platform/signal_cleanup.h"
#include "result/read_result.h"
#include "service/read_service.h"

namespace zephrin::cli {

// A data file that is not a regular file (standard input, a pipe, a device)
// copied into a private temporary folder, so that the engine reads a file it
// may map and measure. The copy keeps the end of the original name, which
// chooses the reader when --format does not. Removed at destruction, and by
// a signal that ends the program.
class InputCopy {
 public:
  // The copy stops, and fails, before it would leave the temporary folder's
  // file system with less than this many bytes free: an input without end
  // (a device, a pipe that never closes) must not fill the disk.
  static constexpr uint64_t kKeepFree = uint64_t{256} << 20;
  InputCopy() = default;
  InputCopy(const InputCopy&) = delete;
  InputCopy& operator=(const InputCopy&) = delete;
  ~InputCopy();

  // Copies from `fd`; the error says why it failed, in words.
  [[nodiscard]] Done Make(int fd, const std::string& originalName);
  const std::string& path() const { return m_path; }

 private:
  Done CopyFrom(int fd, int out);
  // Whether `more` bytes may still be written into the copy at `out`.
  Done RoomFor(int out, uint64_t more) const;
  std::string m_folder, m_path;
  RemovedOnSignal m_folderOnSignal, m_fileOnSignal;
};

// Whether `path` names a regular file (or nothing, or a folder: the checks
// say why those cannot be read).
bool IsRegularOrAbsent(const std::string& path);

// A data file that is standard input ("-"), a pipe or a device is read from
// a copy, which the request's file then names, while its messages name what
// was given ("standard input" for "-"); a regular file is read where it is.
// The error says why the copy could not be made.
[[nodiscard]] Done TakeDataFile(const std::string& dataFile, InputCopy& copy, ReadRequest& request);

// A progress bar on standard error, for large files when someone is watching.
// It is cleared before any message is printed, and when the read ends.
class ProgressBar {
 public:
  void Show(std::size_t done, std::size_t total);
  void Clear();

 private:
  bool m_shown = false;
};

// Where the text goes. Standard output shows the whole text once the read is
// done, so a read that fails shows its error document alone. A device or a
// pipe named as the output (/dev/stdout, a FIFO) is written as standard
// output is, never replaced. A file is written as the read goes, into a
// temporary file that replaces it at the end: whole or not at all, and an
// error replaces what the read wrote before it failed.
class ReadOutput : private OutputSink {
 public:
  // `path`: "" for standard output.
  explicit ReadOutput(std::string path);
  // Starts the output, giving the read its sink when it streams; fails
  // ("cannot write PATH: why") when the file cannot be written.
  [[nodiscard]] Done Begin(ReadHooks& hooks);
  // Writes the read's text; fails ("cannot write PATH: why") when it could
  // not be written. A failure of standard output is kept by WriteOut, and
  // the program reports it as it ends.
  [[nodiscard]] Done Finish(const ReadResult& read);

 private:
  bool Write(std::string_view piece) override;
  Done FinishFile(const ReadResult& read);
  // The failure of a write of the output file, in the command's words.
  Error CannotWrite(int err) const;
  std::string m_path;
  bool m_direct = false;
  AtomicFileWriter m_writer;
  Done m_streamed;  // every streamed piece reached the file
};

// Why a read gave no value at all: the file is empty, it ends before the
// template's first line (or row), a workbook's cells there are empty, it
// holds binary data, or the template's positions lie past its lines.
std::string NoValueReason(const std::string& path, const ReadResult& read);

// How a data file is read, whatever its name and the template say: the
// reader (--format), the separator of separated text (--separator) and a
// workbook's sheet (--sheet); read and review take the same options.
struct SourceOptions {
  std::string format, separator, sheet;
};
void AddSourceOptions(CLI::App& cmd, SourceOptions& o);
void ApplySourceOptions(const SourceOptions& o, ReadRequest& request);
// The refusal of standard input ("-") with nothing to say how to read it, and
// of a separator beside a format that is not separated text.
std::optional<std::string> SourceOptionsRefusal(const std::string& dataFile, const SourceOptions& o);

// The request of a read (or a review) of a data file through a saved template;
// an international kind of 0 or more makes it an international read.
ReadRequest TemplateReadRequest(const std::string& dataFile, const std::string& templateName,
                                const std::string& importType, const std::string& id, const std::string& moreInfo,
                                int intlType);

}  // namespace zephrin::cli
