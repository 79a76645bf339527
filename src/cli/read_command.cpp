// zephrinimport read: imports one data file through a saved template and
// prints the XML text, as a host would ask for it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/checks.h"
#include "cli/commands.h"
#include "platform/atomic_file.h"
#include "service/xml_wrapper.h"

namespace zephrin::cli {

namespace {

// Why a read gave no result document, in one line; "" for a document.
std::string FailureReason(ReadOutcome outcome, std::string_view text) {
  switch (outcome) {
    case ReadOutcome::kDocument: return {};
    case ReadOutcome::kEmpty: return "the file holds no data that can be read (for DIF, no usable header)";
    case ReadOutcome::kUnknownFormat: return "the file name does not name a known format";
    case ReadOutcome::kError: break;
  }
  // The message: the error document's text without its tags, on one line.
  std::string message;
  bool inTag = false;
  for (char c : text) {
    if (c == '<') inTag = true;
    else if (c == '>') inTag = false;
    else if (!inTag) message.push_back(c == '\n' ? ' ' : c);
  }
  return message.empty() ? std::string("the read returned an error document") : message;
}

// The text of a settings file as a host would set it: without the line end(s)
// an editor leaves at its end. False when the file cannot be read.
bool ReadSettingFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return true;
}

struct ReadOptions {
  std::string dataFile, templateName, importType, id, moreInfo, output, format;
  std::vector<std::string> jurisdictionFiles;
  std::string categoryTypesFile, countryJurisdictionsFile, country;
  int year = 0;
  bool yearSet = false, batch = false;
  int intlType = -1, intlParam = 0;
};

// Hands a streamed document's pieces to the output file.
class FileSink : public OutputSink {
 public:
  explicit FileSink(AtomicFileWriter& writer) : m_writer(writer) {}
  bool Write(std::string_view piece) override {
    if (m_ok && !m_writer.Write(piece)) m_ok = false;
    return m_ok;
  }
  bool ok() const { return m_ok; }

 private:
  AtomicFileWriter& m_writer;
  bool m_ok = true;
};

// A progress bar on standard error, for large files when someone is watching.
// It is cleared before any message is printed, and when the read ends.
class ProgressBar {
 public:
  void Show(std::size_t done, std::size_t total) {
    if (total < (4u << 20)) return;
    const int pct = static_cast<int>(done * 100 / total);
    std::fprintf(stderr, "\rReading %3d%% [%-40.*s]", pct, pct * 40 / 100, "########################################");
    m_shown = true;
    if (done >= total) Clear();
  }
  void Clear() {
    if (m_shown) std::fputs("\r\033[K", stderr);
    m_shown = false;
  }

 private:
  bool m_shown = false;
};

// A data file that is not a regular file (standard input, a pipe, a device)
// copied into a private temporary folder, so that the engine reads a file it
// may map and measure. The copy keeps the end of the original name, which
// chooses the reader when --format does not. Removed at destruction.
class InputCopy {
 public:
  InputCopy() = default;
  InputCopy(const InputCopy&) = delete;
  InputCopy& operator=(const InputCopy&) = delete;
  ~InputCopy() {
    std::error_code ignored;
    if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ignored);
  }

  // Copies from `fd`; the reason in words when it fails.
  std::optional<std::string> Make(int fd, const std::string& originalName) {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "zephrinimport-input-XXXXXX").string();
    if (ec || ::mkdtemp(pattern.data()) == nullptr) return std::string("no temporary folder: ") + std::strerror(errno);
    m_folder = pattern;
    const std::string base = std::filesystem::path(originalName).filename().string();
    m_path = m_folder + "/input-" + (base.empty() || base == "-" ? std::string("stdin") : base);
    const int out = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) return std::string("cannot make a copy: ") + std::strerror(errno);
    std::vector<char> buffer(1 << 20);
    std::optional<std::string> failure;
    for (;;) {
      const ssize_t n = ::read(fd, buffer.data(), buffer.size());
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        failure = std::string("cannot read it: ") + std::strerror(errno);
        break;
      }
      for (ssize_t done = 0; done < n && !failure;) {
        const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) failure = std::string("cannot make a copy: ") + std::strerror(errno);
        else done += w;
      }
      if (failure) break;
    }
    if (::close(out) != 0 && !failure) failure = std::string("cannot make a copy: ") + std::strerror(errno);
    return failure;
  }
  const std::string& path() const { return m_path; }

 private:
  std::string m_folder, m_path;
};

// Whether `path` names a regular file (or nothing, or a folder: the checks
// say why those cannot be read).
bool IsRegularOrAbsent(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode);
}

}  // namespace

void RegisterReadCommand(CLI::App& app, int& exitCode) {
  auto opts = std::make_shared<ReadOptions>();
  auto* cmd = app.add_subcommand("read", "Imports DATAFILE through a template and prints the XML text.");
  cmd->add_option("DATAFILE", opts->dataFile,
                  "The data file: .csv reads as comma-separated, .dif as DIF, any other name as fixed-width text "
                  "(unless --format says); - is standard input.")
      ->required();
  cmd->add_option("--template,-t", opts->templateName, "Name of the saved template (or a built-in template name).")
      ->required();
  cmd->add_option("--type", opts->importType, "Import type code (zephrinimport types lists them).")->required();
  cmd->add_option("--id", opts->id, "Identifier of the object that receives the data (OBJID).");
  cmd->add_option("--more-info", opts->moreInfo, "Extra text for the LOGIC built-in template.");
  auto* year = cmd->add_option("--year", opts->year, "The tax year (YEAR attribute of some imports).")
                   ->check(CLI::Validator(
                       [](const std::string& value) -> std::string {
                         char* end = nullptr;
                         errno = 0;
                         const long n = std::strtol(value.c_str(), &end, 10);
                         if (value.empty() || *end != '\0' || errno != 0 || n < -32768 || n > 32767)
                           return "the year must be a number from -32768 to 32767, such as 2024 (not \"" + value +
                                  "\")";
                         return {};
                       },
                       "YEAR"));
  cmd->add_flag("--batch", opts->batch, "Batch mode: the records carry company numbers.");
  auto* intlType = cmd->add_option("--intl-type", opts->intlType, "International type index (0 to 99): reads an "
                                                                    "international import.")
                       ->check(CLI::Range(0, 99));
  cmd->add_option("--intl-param", opts->intlParam, "Year of an international import.")
      ->check(CLI::Range(-32768, 32767))
      ->needs(intlType);
  cmd->add_option("--format", opts->format, "The reader, whatever the file's name says: csv, dif or fixed.")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            return value == "csv" || value == "dif" || value == "fixed"
                       ? std::string()
                       : "the format is csv, dif or fixed (not \"" + value + "\")";
          },
          "csv|dif|fixed"));
  cmd->add_option("--output,-o", opts->output,
                  "Write the XML text to this file (whole, or not at all); - is standard output.");
  cmd->add_option("--jurisdictions", opts->jurisdictionFiles,
                  "A jurisdiction list file (\"state,...\", \"logic,...\", \"ti,...\" or \"prov,...\"); repeatable.")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CLI::ExistingFile);
  cmd->add_option("--category-types", opts->categoryTypesFile, "A file holding the comma-separated category types.")
      ->check(CLI::ExistingFile);
  cmd->add_option("--country-jurisdictions", opts->countryJurisdictionsFile,
                  "A file holding the country's jurisdictions as XML.")
      ->check(CLI::ExistingFile);
  cmd->add_option("--country", opts->country, "The country of operation: ID,ABBREV,NAME.")
      ->check([](const std::string& value) -> std::string {
        const auto first = value.find(',');
        if (first == std::string::npos || value.find(',', first + 1) == std::string::npos)
          return "--country takes ID,ABBREV,NAME";
        return {};
      });
  cmd->footer("zephrinimport types lists the import type codes and the templates they take. Built-in "
              "templates (no store needed): CATEGORY, TICATEGORY, CURFEDTI, AMT, M3CODE, TIMAP, CTDGRP, CTDMAP, "
              "PAAMAP, PK1MAP, and the jurisdiction codes.");
  cmd->callback([opts, year, &exitCode]() {
    // What the engine cannot know a person meant is refused before the read.
    if (auto refusal = UnknownTypeCode(opts->importType)) {
      Refuse(*refusal);
      exitCode = 2;
      return;
    }
    const bool fromStdin = opts->dataFile == "-";
    if (fromStdin && opts->format.empty()) {
      Refuse("reading standard input needs --format csv, dif or fixed");
      exitCode = 2;
      return;
    }
    if (auto reason = UnreadableDataFile(fromStdin ? "/dev/stdin" : opts->dataFile)) {
      Refuse("cannot read " + opts->dataFile + ": " + *reason);
      exitCode = 1;
      return;
    }
    if (opts->output == "-") opts->output.clear();

    ConsoleUserInterface ui;
    CxmlWrapper service(&ui);
    std::string info;
    service.GetTemplateInfo(info);  // establishes the template store, as a host does first
    if (auto refusal = MissingTemplate(opts->templateName, service.store())) {
      Refuse(*refusal);
      exitCode = 2;
      return;
    }
    if (opts->batch) service.SetBatchIndicator(1);
    if (*year) service.SetCurrentYear(static_cast<int16_t>(opts->year));

    // Jurisdiction settings, each file's text as the host would send it.
    std::vector<std::pair<std::string, Status (CxmlWrapper::*)(std::string_view)>> settings;
    for (const std::string& file : opts->jurisdictionFiles) settings.emplace_back(file, &CxmlWrapper::FillJurisdictionCaptions);
    if (!opts->categoryTypesFile.empty()) settings.emplace_back(opts->categoryTypesFile, &CxmlWrapper::PutCategoryTypes);
    if (!opts->countryJurisdictionsFile.empty())
      settings.emplace_back(opts->countryJurisdictionsFile, &CxmlWrapper::SetCountryJurisdictions);
    for (const auto& [file, set] : settings) {
      std::string text;
      if (!ReadSettingFile(file, text)) {
        Refuse("cannot read " + file);
        exitCode = 1;
        return;
      }
      (void)(service.*set)(text);
    }
    if (!opts->country.empty()) {
      const auto first = opts->country.find(',');
      const auto second = opts->country.find(',', first + 1);
      service.SetCountryOfOperation(opts->country.substr(0, first), opts->country.substr(first + 1, second - first - 1),
                                    opts->country.substr(second + 1));
    }

    ReadHooks hooks;
    ProgressBar bar;
    if (isatty(STDERR_FILENO)) hooks.progress = [&bar](std::size_t done, std::size_t total) { bar.Show(done, total); };
    hooks.message = [&bar, &ui](std::string_view caption, std::string_view text) {
      bar.Clear();
      ui.ShowMessage(caption, text, MessageIcon::Information);
    };

    ReadRequest request;
    request.importFile = opts->dataFile;
    // Standard input, a pipe or a device is read from a copy.
    InputCopy copy;
    if (fromStdin || !IsRegularOrAbsent(opts->dataFile)) {
      const int fd = fromStdin ? STDIN_FILENO : ::open(opts->dataFile.c_str(), O_RDONLY | O_CLOEXEC);
      std::optional<std::string> failure =
          fd < 0 ? std::optional<std::string>(std::strerror(errno)) : copy.Make(fd, opts->dataFile);
      if (fd >= 0 && !fromStdin) ::close(fd);
      if (failure) {
        Refuse("cannot read " + opts->dataFile + ": " + *failure);
        exitCode = 1;
        return;
      }
      request.importFile = copy.path();
    }
    if (opts->format == "csv") request.format = SourceFormat::kCsv;
    else if (opts->format == "dif") request.format = SourceFormat::kDif;
    else if (opts->format == "fixed") request.format = SourceFormat::kFixedWidth;
    request.templateName = opts->templateName;
    request.importType = opts->importType;
    request.id = opts->id;
    request.moreInfo = opts->moreInfo;
    if (opts->intlType >= 0) {
      request.international = true;
      request.intlParam = static_cast<int16_t>(opts->intlParam);
      request.intlType = static_cast<int16_t>(opts->intlType);
    }
    // Standard output shows the whole text once the read is done, so a read
    // that fails shows its error document alone. A file is written as the
    // read goes, into a temporary file that replaces it at the end: whole or
    // not at all, and an error replaces what the read wrote before it failed.
    AtomicFileWriter output;
    FileSink sink(output);
    // A device or a pipe named as the output (/dev/stdout, a FIFO) is written
    // as standard output is, never replaced.
    bool direct = false;
    if (!opts->output.empty()) {
      struct stat st {};
      direct = ::stat(opts->output.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
    }
    if (!opts->output.empty() && !direct) {
      if (output.Begin(opts->output) != AtomicFileWriter::Outcome::kOk) {
        Refuse("cannot write " + opts->output + ": " + std::strerror(output.err()));
        exitCode = 1;
        return;
      }
      hooks.sink = &sink;
    }
    ReadResult read = service.Read(request, hooks);
    bar.Clear();
    const std::string_view result = read.text.view();

    if (direct) {
      FILE* f = std::fopen(opts->output.c_str(), "w");
      const bool ok = f && std::fwrite(result.data(), 1, result.size(), f) == result.size() &&
                      (result.empty() || std::fputc('\n', f) != EOF);
      if (!f || std::fclose(f) != 0 || !ok) {
        Refuse("cannot write " + opts->output + ": " + std::strerror(errno));
        exitCode = 1;
        return;
      }
    } else if (opts->output.empty()) {
      std::fwrite(result.data(), 1, result.size(), stdout);
      if (!result.empty()) std::fputc('\n', stdout);
      std::fflush(stdout);
    } else {
      bool written = sink.ok();
      if (read.outcome == ReadOutcome::kDocument) {
        written = written && output.Write("\n");
      } else {
        written = output.Restart() && output.Write(result) && (result.empty() || output.Write("\n"));
      }
      const AtomicFileWriter::Outcome committed = written ? output.Commit() : AtomicFileWriter::Outcome::kWriteFailed;
      if (committed != AtomicFileWriter::Outcome::kOk) {
        Refuse("cannot write " + opts->output + ": " + std::strerror(output.err()));
        exitCode = 1;
        return;
      }
    }
    const std::string reason = FailureReason(read.outcome, result);
    if (!reason.empty()) {
      Refuse("the read failed: " + reason);
      if (IsJurisdictionHostCode(opts->importType) && opts->jurisdictionFiles.empty())
        Refuse("a jurisdiction read needs the host's jurisdiction lists: give them with --jurisdictions FILE "
               "(as many as needed)");
      exitCode = 1;
      return;
    }
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
