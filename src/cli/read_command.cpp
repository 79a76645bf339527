// zephrinimport read: imports one data file through a saved template and
// prints the XML text, as a host would ask for it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/commands.h"
#include "platform/atomic_file.h"
#include "service/xml_wrapper.h"

namespace zephrin::cli {

namespace {

std::string TypeCodeList() {
  std::string out = "Import type codes (--type):\n";
  for (const HostTypeInfo* t = kHostTypes; t->code[0]; ++t) {
    char line[160];
    std::snprintf(line, sizeof line, "  %-14s %s\n", t->code, t->caption);
    out += line;
  }
  out += "  Jurisdiction data: LOGIC, AABAL, TIBAL, APPORT, LOSS, CREDIT, AMTACE, CURSTI, CATASSN, CTPRCN\n";
  out += "Built-in template names (--template, no store needed): CATEGORY, TICATEGORY, CURFEDTI, AMT, M3CODE, TIMAP,\n"
         "  CTDGRP, CTDMAP, PAAMAP, PK1MAP, and the jurisdiction codes above.";
  return out;
}

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
  std::string dataFile, templateName, importType, id, moreInfo, output;
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

}  // namespace

void RegisterReadCommand(CLI::App& app, int& exitCode) {
  auto opts = std::make_shared<ReadOptions>();
  auto* cmd = app.add_subcommand("read", "Imports DATAFILE through a template and prints the XML text.");
  cmd->add_option("DATAFILE", opts->dataFile,
                  "The data file: .csv reads as comma-separated, .dif as DIF, any other name as fixed-width text.")
      ->required();
  cmd->add_option("--template,-t", opts->templateName, "Name of the saved template (or a built-in template name).")
      ->required();
  cmd->add_option("--type", opts->importType, "Import type code (see the list below).")->required();
  cmd->add_option("--id", opts->id, "Identifier of the object that receives the data (OBJID).");
  cmd->add_option("--more-info", opts->moreInfo, "Extra text for the LOGIC built-in template.");
  auto* year = cmd->add_option("--year", opts->year, "The tax year (YEAR attribute of some imports).")
                   ->check(CLI::Range(-32768, 32767));
  cmd->add_flag("--batch", opts->batch, "Batch mode: the records carry company numbers.");
  auto* intlType = cmd->add_option("--intl-type", opts->intlType, "International type index (0 to 99): reads an "
                                                                    "international import.")
                       ->check(CLI::Range(0, 99));
  cmd->add_option("--intl-param", opts->intlParam, "Year of an international import.")
      ->check(CLI::Range(-32768, 32767))
      ->needs(intlType);
  cmd->add_option("--output,-o", opts->output, "Write the XML text to this file (whole, or not at all).");
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
  cmd->footer(TypeCodeList());
  cmd->callback([opts, year, &exitCode]() {
    ConsoleUserInterface ui;
    CxmlWrapper service(&ui);
    std::string info;
    service.GetTemplateInfo(info);  // establishes the template store, as a host does first
    if (opts->batch) service.SetBatchIndicator(1);
    if (*year) service.SetCurrentYear(static_cast<int16_t>(opts->year));

    // Jurisdiction settings, each file's text as the host would send it.
    std::string text;
    for (const std::string& file : opts->jurisdictionFiles) {
      if (!ReadSettingFile(file, text)) {
        std::fprintf(stderr, "zephrinimport: cannot read %s\n", file.c_str());
        exitCode = 1;
        return;
      }
      service.FillJurisdictionCaptions(text);
    }
    if (!opts->categoryTypesFile.empty()) {
      if (!ReadSettingFile(opts->categoryTypesFile, text)) {
        std::fprintf(stderr, "zephrinimport: cannot read %s\n", opts->categoryTypesFile.c_str());
        exitCode = 1;
        return;
      }
      service.PutCategoryTypes(text);
    }
    if (!opts->countryJurisdictionsFile.empty()) {
      if (!ReadSettingFile(opts->countryJurisdictionsFile, text)) {
        std::fprintf(stderr, "zephrinimport: cannot read %s\n", opts->countryJurisdictionsFile.c_str());
        exitCode = 1;
        return;
      }
      service.SetCountryJurisdictions(text);
    }
    if (!opts->country.empty()) {
      const auto first = opts->country.find(',');
      const auto second = opts->country.find(',', first + 1);
      service.SetCountryOfOperation(opts->country.substr(0, first), opts->country.substr(first + 1, second - first - 1),
                                    opts->country.substr(second + 1));
    }

    // A progress bar for large files when someone is watching.
    ReadHooks hooks;
    if (isatty(STDERR_FILENO)) {
      hooks.progress = [shown = false](std::size_t done, std::size_t total) mutable {
        if (total < (4u << 20)) return;
        const int pct = static_cast<int>(done * 100 / total);
        std::fprintf(stderr, "\rReading %3d%% [%-40.*s]", pct, pct * 40 / 100,
                     "########################################");
        if (done >= total) std::fputs("\r\033[K", stderr);
        shown = true;
      };
    }

    ReadRequest request;
    request.importFile = opts->dataFile;
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
        std::fprintf(stderr, "zephrinimport: cannot write %s: %s\n", opts->output.c_str(),
                     std::strerror(output.err()));
        exitCode = 1;
        return;
      }
      hooks.sink = &sink;
    }
    ReadResult read = service.Read(request, hooks);
    const std::string_view result = read.text.view();

    if (direct) {
      FILE* f = std::fopen(opts->output.c_str(), "w");
      const bool ok = f && std::fwrite(result.data(), 1, result.size(), f) == result.size() &&
                      (result.empty() || std::fputc('\n', f) != EOF);
      if (!f || std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "zephrinimport: cannot write %s: %s\n", opts->output.c_str(), std::strerror(errno));
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
        std::fprintf(stderr, "zephrinimport: cannot write %s: %s\n", opts->output.c_str(),
                     std::strerror(output.err()));
        exitCode = 1;
        return;
      }
    }
    const std::string reason = FailureReason(read.outcome, result);
    if (!reason.empty()) {
      std::fprintf(stderr, "zephrinimport: the read failed: %s\n", reason.c_str());
      exitCode = 1;
      return;
    }
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
