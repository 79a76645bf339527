// zephrinimport read: imports one data file through a saved template and
// prints the XML text, as a host would ask for it.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/checks.h"
#include "cli/commands.h"
#include "cli/read_io.h"
#include "cli/standard_output.h"
#include "readers/separator.h"
#include "result/error_document.h"
#include "service/xml_wrapper.h"

namespace zephrin::cli {

namespace {

struct ReadOptions {
  std::string dataFile, templateName, importType, id, moreInfo, output;
  SourceOptions source;
  std::vector<std::string> jurisdictionFiles;
  std::string categoryTypesFile, countryJurisdictionsFile, country;
  int year = 0;
  bool yearSet = false, batch = false, strict = false;
  int intlType = -1, intlParam = 0;
};

// A request refused before the read: the line to print and the exit status.
struct Refusal {
  int exitCode;
  std::string text;
};

// The errors of an error document in one line, as a person reads them:
// each after "line N: " when it names a line, apart by "; ".
std::string ErrorMessages(std::string_view document) {
  std::string message;
  for (const ErrorEntry& entry : ErrorEntriesOf(document)) {
    if (!message.empty()) message += "; ";
    if (entry.line != 0) message += "line " + std::to_string(entry.line) + ": ";
    message += entry.text;
  }
  return message;
}

// Why a read gave no result document, in one line; "" for a document.
std::string FailureReason(ReadOutcome outcome, std::string_view text) {
  switch (outcome) {
    case ReadOutcome::kDocument: return {};
    case ReadOutcome::kEmpty: return "the file holds no data that can be read (for DIF, no usable header)";
    case ReadOutcome::kUnknownFormat: return "the file name does not name a known format";
    case ReadOutcome::kError: break;
  }
  const std::string message = ErrorMessages(text);
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
  // A byte order mark is how an editor saved the file, not part of the list
  // a host would send (whose first word names its kind).
  if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return true;
}

// Whether the two paths name one file (by any name, a link's included).
bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// ---- The options ---------------------------------------------------------------

// What to read, how, and where the text goes.
void AddRequestOptions(CLI::App& cmd, ReadOptions& o) {
  cmd.add_option("DATAFILE", o.dataFile,
                 "The data file: an Excel workbook (.xlsx, .xlsm, .xls) is known by its contents; else .csv reads "
                 "as comma-separated, .dif as DIF, any other name as fixed-width text (unless --format or "
                 "--separator says); - is standard input.")
      ->required();
  cmd.add_option("--template,-t", o.templateName, "Name of the saved template (or a built-in template name).")
      ->required();
  cmd.add_option("--type", o.importType, "Import type code (zephrinimport types lists them).")->required();
  cmd.add_option("--id", o.id, "Identifier of the object that receives the data (OBJID).");
  cmd.add_option("--more-info", o.moreInfo, "Extra text for the LOGIC built-in template.");
  cmd.add_option("--year", o.year, "The tax year (YEAR attribute of some imports).")
      ->check(WholeNumber(-32768, 32767, "year", ", such as 2024"))
      ->each([&o](const std::string&) { o.yearSet = true; });
  cmd.add_flag("--batch", o.batch, "Batch mode: the records carry company numbers.");
  auto* intlType = cmd.add_option("--intl-type", o.intlType, "International type index (0 to 99): reads an "
                                                               "international import (with --type INTL).")
                       ->check(WholeNumber(0, 99, "international kind"));
  cmd.add_option("--intl-param", o.intlParam, "Year of an international import.")
      ->check(WholeNumber(-32768, 32767, "year", ", such as 2024"))
      ->needs(intlType);
  AddSourceOptions(cmd, o.source);
  cmd.add_option("--output,-o", o.output,
                 "Write the XML text to this file (whole, or not at all); - is standard output.")
      // An empty name is an unset variable, not standard output.
      ->check(CLI::Validator([](const std::string& value) { return value.empty() ? "--output needs a file name" : ""; },
                             "FILE"));
  cmd.add_flag("--strict", o.strict,
               "Fail (exit status 1) when the read gives no value at all, instead of warning; the text is still "
               "written.");
}

// The host's settings a jurisdiction or TAXRATE read needs.
void AddSettingOptions(CLI::App& cmd, ReadOptions& o) {
  cmd.add_option("--jurisdictions", o.jurisdictionFiles,
                 "A jurisdiction list file (\"state,...\", \"logic,...\", \"ti,...\" or \"prov,...\"); repeatable.")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(ReadableFile());
  cmd.add_option("--category-types", o.categoryTypesFile, "A file holding the comma-separated category types.")
      ->check(ReadableFile());
  cmd.add_option("--country-jurisdictions", o.countryJurisdictionsFile,
                 "A file holding the country's jurisdictions as XML.")
      ->check(ReadableFile());
  cmd.add_option("--country", o.country, "The country of operation: ID,ABBREV,NAME.")
      ->check(CLI::Validator(
          [](const std::string& value) -> std::string {
            const auto first = value.find(',');
            if (first == std::string::npos || value.find(',', first + 1) == std::string::npos)
              return "--country takes ID,ABBREV,NAME (not \"" + value + "\")";
            return {};
          },
          "ID,ABBREV,NAME"));
}

// ---- The steps of a read ---------------------------------------------------------

// What the engine cannot know a person meant, refused before the read.
std::optional<Refusal> CheckRequest(ReadOptions& o) {
  if (auto refusal = UnknownTypeCode(o.importType)) return Refusal{2, *refusal};
  if (auto refusal = IntlKindWithoutIntl(o.importType, o.intlType)) return Refusal{2, *refusal};
  const bool fromStdin = o.dataFile == "-";
  if (auto refusal = SourceOptionsRefusal(o.dataFile, o.source)) return Refusal{2, *refusal};
  const std::string source = fromStdin ? "/dev/stdin" : o.dataFile;
  if (auto reason = UnreadableDataFile(source)) return Refusal{1, "cannot read " + o.dataFile + ": " + *reason};
  if (o.output == "-") o.output.clear();
  // The text would replace the data it is read from.
  if (!o.output.empty() && SameFile(o.output, source) && IsRegularOrAbsent(source))
    return Refusal{2, "--output names the data file itself"};
  return std::nullopt;
}

std::optional<Refusal> CheckTemplate(const ReadOptions& o, const TemplateStore& store) {
  // The text would replace the users' templates.
  if (!o.output.empty() && store.OwnsFile(o.output)) return Refusal{2, "--output names the template store"};
  // A store shadowed by the one used in its place is refused below instead.
  if (!FindBuiltInTemplate(o.templateName) && !ShadowedStore(store)) WarnOfPassedOverFolder(store);
  if (auto failure = UnreadableStore(o.templateName, store)) return Refusal{1, *failure};
  if (auto refusal = MissingTemplate(o.templateName, store)) return Refusal{2, *refusal};
  if (auto refusal = WrongTemplateKind(o.templateName, o.importType, store)) return Refusal{2, *refusal};
  return std::nullopt;
}

// The host's settings, each file's text as the host would send it.
std::optional<Refusal> ApplySettings(const ReadOptions& o, CxmlWrapper& service) {
  if (o.batch) service.SetBatchIndicator(1);
  if (o.yearSet) service.SetCurrentYear(static_cast<int16_t>(o.year));
  std::vector<std::pair<std::string, Status (CxmlWrapper::*)(std::string_view)>> settings;
  for (const std::string& file : o.jurisdictionFiles)
    settings.emplace_back(file, &CxmlWrapper::FillJurisdictionCaptions);
  if (!o.categoryTypesFile.empty()) settings.emplace_back(o.categoryTypesFile, &CxmlWrapper::PutCategoryTypes);
  if (!o.countryJurisdictionsFile.empty())
    settings.emplace_back(o.countryJurisdictionsFile, &CxmlWrapper::SetCountryJurisdictions);
  for (const auto& [file, set] : settings) {
    std::string text;
    if (!ReadSettingFile(file, text)) return Refusal{1, "cannot read " + file};
    // The engine reads on past a country list that does not parse, without
    // the identifiers the list was given for: refused here, the user knows.
    if (set == &CxmlWrapper::SetCountryJurisdictions) {
      if (auto problem = XmlProblem(text))
        return Refusal{2, "--country-jurisdictions: " + file + " is not an XML document (" + *problem + ")"};
    }
    (void)(service.*set)(text);
  }
  if (!o.country.empty()) {
    const auto first = o.country.find(',');
    const auto second = o.country.find(',', first + 1);
    service.SetCountryOfOperation(o.country.substr(0, first), o.country.substr(first + 1, second - first - 1),
                                  o.country.substr(second + 1));
  }
  return std::nullopt;
}

ReadRequest MakeRequest(const ReadOptions& o) {
  ReadRequest request = TemplateReadRequest(o.dataFile, o.templateName, o.importType, o.id, o.moreInfo, o.intlType);
  ApplySourceOptions(o.source, request);
  if (o.intlType >= 0) request.intlParam = static_cast<int16_t>(o.intlParam);
  return request;
}

std::optional<Refusal> TakeInput(const ReadOptions& o, InputCopy& copy, ReadRequest& request) {
  if (const Done taken = TakeDataFile(o.dataFile, copy, request); !taken)
    return Refusal{1, "cannot read " + o.dataFile + ": " + taken.error().message};
  return std::nullopt;
}

ReadHooks MakeHooks(ProgressBar& bar, UserInterface& ui) {
  ReadHooks hooks;
  if (isatty(STDERR_FILENO)) hooks.progress = [&bar](std::size_t done, std::size_t total) {
      bar.Show(done, total);
      return true;
    };
  hooks.message = [&bar, &ui](std::string_view caption, std::string_view text) {
    bar.Clear();
    ui.ShowMessage(caption, text, MessageIcon::Information);
  };
  return hooks;
}

// Warns of what the read took as its format says, though the file's maker
// may have meant otherwise: the text is written all the same.
void WarnOfWhatWasRead(const ReadResult& read, const std::string& shown) {
  if (read.quoteLeftOpenLine != 0)
    Refuse("warning: a double quote opened on line " + std::to_string(read.quoteLeftOpenLine) + " of " + shown +
           " is not closed on it, so the lines after it are read as one field up to the next double quote "
           "(zephrinimport review lists every such line)");
  // A read without a value says why below, carriage returns among the reasons.
  if (read.carriageReturnLine != 0 && read.valuesWritten != 0)
    Refuse("warning: line " + std::to_string(read.carriageReturnLine) + " of " + shown +
           " holds a carriage return that does not end it, as only a line feed ends a line: what follows it is "
           "read as part of that line (a file whose lines end with a carriage return alone reads as one line)");
  if (!read.splitAmounts.lines.empty()) {
    const SplitAmount& first = read.splitAmounts.lines.front();
    const std::size_t others = read.splitAmounts.lines.size() - 1 + read.splitAmounts.more;
    Refuse("warning: line " + std::to_string(first.line) + " of " + shown + " has " + std::to_string(first.fields) +
           " fields where " + read.splitAmounts.Usual() + ": \"" + first.amount +
           "\" reads as one amount whose thousands commas split it, which moves the fields after it one column on" +
           (others == 0 ? std::string() : " (" + std::to_string(others) + " more line" + (others == 1 ? "" : "s") + " alike)") +
           "; quote such amounts, or write them without thousands separators" +
           (read.splitAmounts.reviewed ? " (zephrinimport review lists every such line)" : ""));
  }
  if (read.uncomputedFormulas.cells != 0)
    Refuse("warning: in " + shown + ", " + read.uncomputedFormulas.Said());
  if (read.tabLine != 0)
    Refuse("warning: line " + std::to_string(read.tabLine) + " of " + shown +
           " holds a tab, which fixed-width text counts as one column though an editor shows it as up to eight: the "
           "fields after it are cut elsewhere than they look (zephrinimport review lists every such line)");
  if (read.ctrlZLine != 0)
    Refuse("warning: line " + std::to_string(read.ctrlZLine) + " of " + shown +
           " holds a Ctrl-Z, the end-of-file mark of old programs, which ends the text: what follows it is not read");
  if (read.notUtf8Line != 0)
    Refuse("warning: line " + std::to_string(read.notUtf8Line) + " of " + shown +
           " holds a byte that is not UTF-8, while the file holds UTF-8 letters besides: it is read as "
           "Windows-1252, so each of those letters reads as two characters (and in fixed-width text moves the "
           "fields after it); save the file again as UTF-8, or as Windows-1252, whole");
  if (read.textNamedAsWorkbook)
    Refuse("warning: " + shown + " is named as an .xls workbook but holds text, which was read as fixed-width "
           "text, as such a name says: if it is separated text, read it with --format csv (and --separator tab for "
           "tabs)");
  if (read.endMarkMissing)
    Refuse("warning: " + shown + " ends without the end-of-data mark (EOD) that closes a DIF file: it may have "
           "been cut short, and rows after the last one read are missing");
  if (read.valueBeyondHeaderLine != 0)
    Refuse("warning: line " + std::to_string(read.valueBeyondHeaderLine) + " of " + shown +
           " holds a value past the last column its header row names, which is not read (a comma inside an "
           "amount splits it, and moves the amounts after it one column on)");
}

// The exit status of a read whose text is written, and why it is not 0.
int Report(const ReadOptions& o, const ReadResult& read, const std::string& readFile) {
  const std::string reason = FailureReason(read.outcome, read.text.view());
  if (!reason.empty()) {
    Refuse("the read failed: " + reason);
    if (IsJurisdictionHostCode(o.importType) && o.jurisdictionFiles.empty())
      Refuse("a jurisdiction read needs the host's jurisdiction lists: give them with --jurisdictions FILE "
             "(as many as needed)");
    return 1;
  }
  const std::string shown = o.dataFile == "-" ? std::string("standard input") : o.dataFile;
  WarnOfWhatWasRead(read, shown);
  // A document without a single value is no import anyone meant.
  if (read.valuesWritten == 0) {
    Refuse("warning: no value was read from " + shown + ": " + NoValueReason(readFile, read));
    if (o.strict) return 1;
  }
  return 0;
}

int Refused(const Refusal& refusal) {
  Refuse(refusal.text);
  return refusal.exitCode;
}

int RunRead(ReadOptions& o) {
  if (auto refusal = CheckRequest(o)) return Refused(*refusal);
  ConsoleUserInterface ui;
  CxmlWrapper service(&ui);
  std::string info;
  service.GetTemplateInfo(info);  // establishes the template store, as a host does first
  if (auto refusal = CheckTemplate(o, service.store())) return Refused(*refusal);
  if (auto refusal = ApplySettings(o, service)) return Refused(*refusal);
  ReadRequest request = MakeRequest(o);
  InputCopy copy;
  if (auto refusal = TakeInput(o, copy, request)) return Refused(*refusal);
  ProgressBar bar;
  ReadHooks hooks = MakeHooks(bar, ui);
  ReadOutput output(o.output);
  if (const Done begun = output.Begin(hooks); !begun) return Refused({1, begun.error().message});
  const ReadResult read = service.Read(request, hooks);
  bar.Clear();
  if (const Done finished = output.Finish(read); !finished) {
    if (!OutFailed()) Refuse(finished.error().message);  // standard output's failure is told as the program ends
    return 1;
  }
  return Report(o, read, request.importFile);
}

}  // namespace

void RegisterReadCommand(CLI::App& app, int& exitCode) {
  auto opts = std::make_shared<ReadOptions>();
  auto* cmd = app.add_subcommand("read", "Imports DATAFILE through a template and prints the XML text.");
  AddRequestOptions(*cmd, *opts);
  AddSettingOptions(*cmd, *opts);
  cmd->footer("zephrinimport types lists the import type codes and the templates they take. Built-in "
              "templates (no store needed): CATEGORY, TICATEGORY, CURFEDTI, AMT, M3CODE, TIMAP, CTDGRP, CTDMAP, "
              "PAAMAP, PK1MAP, and the jurisdiction codes.");
  cmd->callback([opts, &exitCode]() { exitCode = RunRead(*opts); });
}

}  // namespace zephrin::cli
