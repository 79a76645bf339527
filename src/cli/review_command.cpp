// zephrinimport review: what a read of a data file would hold, checked
// (findings and the totals of its amounts); zephrinimport suggest: the saved
// templates that fit a data file, best first.
#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "cli/checks.h"
#include "cli/commands.h"
#include "cli/read_io.h"
#include "cli/standard_output.h"
#include "platform/text.h"
#include "service/review_json.h"
#include "service/xml_wrapper.h"

namespace zephrin::cli {
namespace {

struct ReviewOptions {
  std::string dataFile, templateName, importType, id, moreInfo;
  SourceOptions source;
  int intlType = -1;
  bool json = false;
};

// Rows of cells as a table: each column as wide as its widest cell, two
// blanks between columns, the last column not padded; numbers to the right.
std::string Table(std::vector<std::vector<std::string>> rows, const std::vector<bool>& right) {
  std::vector<std::size_t> width;
  for (auto& row : rows) {
    for (std::string& cell : row) cell = ShownOnTerminal(cell);
    width.resize(std::max(width.size(), row.size()), 0);
    for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += "  ";
      const std::string pad(width[c] - row[c].size(), ' ');
      const bool last = c + 1 == row.size();
      line += c < right.size() && right[c] ? pad + row[c] : last ? row[c] : row[c] + pad;
    }
    out += line + "\n";
  }
  return out;
}

std::string ReviewText(const ReviewReport& report) {
  std::string out = "records: " + std::to_string(report.records) + "\n";
  if (!report.totals.empty()) {
    std::vector<std::vector<std::string>> rows{{"item", "count", "positive", "negative", "total"}};
    for (const ReviewTotal& t : report.totals)
      rows.push_back({t.item, std::to_string(t.count), t.positive, t.negative, t.total});
    out += "\n" + Table(rows, {false, true, true, true, true});
  }
  if (report.findings.empty()) return out + "\nno findings\n";
  std::vector<std::vector<std::string>> rows{{"line", "code", "item", "value", "message"}};
  for (const ReviewFinding& f : report.findings)
    rows.push_back({f.line == 0 ? std::string("-") : std::to_string(f.line), f.code, f.item, f.value, f.message});
  out += "\n" + Table(rows, {true});
  if (report.moreFindings > 0) out += "and " + std::to_string(report.moreFindings) + " more findings\n";
  return out;
}

std::optional<std::string> CheckReview(const ReviewOptions& o, const TemplateStore& store) {
  if (auto refusal = UnknownTypeCode(o.importType)) return refusal;
  if (auto refusal = IntlKindWithoutIntl(o.importType, o.intlType)) return refusal;
  // A jurisdiction read gives the review no values to check: rather than
  // "nothing found", say so.
  if (IsJurisdictionHostCode(o.importType))
    return "review checks the records of saved templates; " + o.importType +
           " is a jurisdiction read, which it does not check (zephrinimport read shows its text)";
  if (!ShadowedStore(store)) WarnOfPassedOverFolder(store);
  if (auto refusal = UnreadableStore(o.templateName, store)) return refusal;
  if (auto refusal = MissingTemplate(o.templateName, store)) return refusal;
  // Standard input is read as read reads it: from a copy, in the format named.
  if (auto refusal = SourceOptionsRefusal(o.dataFile, o.source)) return refusal;
  if (auto why = UnreadableDataFile(o.dataFile == "-" ? "/dev/stdin" : o.dataFile))
    return "cannot read " + o.dataFile + ": " + *why;
  return std::nullopt;
}

int RunReview(const ReviewOptions& o) {
  ConsoleUserInterface ui;
  CxmlWrapper service(&ui);
  std::string info;
  service.GetTemplateInfo(info);  // establishes the template store, as a host does first
  if (auto refusal = CheckReview(o, service.store())) {
    Refuse(*refusal);
    return 2;
  }
  ReadRequest request = TemplateReadRequest(o.dataFile, o.templateName, o.importType, o.id, o.moreInfo, o.intlType);
  ApplySourceOptions(o.source, request);
  InputCopy copy;
  if (const Done taken = TakeDataFile(o.dataFile, copy, request); !taken) {
    Refuse("cannot read " + o.dataFile + ": " + taken.error().message);
    return 2;
  }
  const ReviewReport report = service.ReviewImport(request);
  WriteOut(o.json ? ReviewValue(report).dump(2) + "\n" : ReviewText(report));
  return report.findings.empty() ? 0 : 1;
}

std::string SuggestText(const std::vector<TemplateSuggestion>& found) {
  if (found.empty()) return "no saved template fits\n";
  std::vector<std::vector<std::string>> rows{{"template", "score", "reasons"}};
  for (const TemplateSuggestion& s : found) {
    char score[16];
    std::snprintf(score, sizeof score, "%.2f", s.score);
    rows.push_back({s.name, score, s.reasons});
  }
  return Table(rows, {false, true});
}

int RunSuggest(const ReviewOptions& o) {
  if (auto refusal = UnknownTypeCode(o.importType)) {
    Refuse(*refusal);
    return 2;
  }
  // Each template is tried on the file's first lines, read again for each:
  // standard input cannot be.
  if (o.dataFile == "-") {
    Refuse("suggest reads a data file by its name, not standard input");
    return 2;
  }
  if (auto why = UnreadableDataFile(o.dataFile)) {
    Refuse("cannot read " + o.dataFile + ": " + *why);
    return 2;
  }
  ConsoleUserInterface ui;
  CxmlWrapper service(&ui);
  std::string info;
  service.GetTemplateInfo(info);
  if (auto shadowed = ShadowedStore(service.store())) {
    Refuse(*shadowed);
    return 1;
  }
  WarnOfPassedOverFolder(service.store());
  if (auto failure = UnreadableStore(service.store())) {
    Refuse(*failure);
    return 1;
  }
  const Expected<std::vector<TemplateSuggestion>> found = service.SuggestTemplates(o.dataFile, o.importType);
  if (!found) {
    Refuse(found.error().message);
    return 1;
  }
  WriteOut(o.json ? SuggestionsValue(*found).dump(2) + "\n" : SuggestText(*found));
  return 0;
}

}  // namespace

void RegisterReviewCommands(CLI::App& app, int& exitCode) {
  auto review = std::make_shared<ReviewOptions>();
  auto* cmd = app.add_subcommand("review", "Reviews what a read of DATAFILE would hold: the totals of its amounts "
                                           "and its findings, as a table (exit status 1 when there are findings).");
  cmd->add_option("DATAFILE", review->dataFile, "The data file.")->required();
  cmd->add_option("--template,-t", review->templateName, "Name of the saved template (or a built-in template name).")
      ->required();
  cmd->add_option("--type", review->importType, "Import type code (zephrinimport types lists them).")->required();
  cmd->add_option("--id", review->id, "Identifier of the object that receives the data (OBJID).");
  cmd->add_option("--more-info", review->moreInfo, "Extra text for the LOGIC built-in template.");
  cmd->add_option("--intl-type", review->intlType, "International type index (0 to 99) of an INTL read.")
      ->check(WholeNumber(0, 99, "international kind"));
  AddSourceOptions(*cmd, review->source);
  cmd->add_flag("--json", review->json, "Print the review as JSON, as the host protocol answers it.");
  cmd->callback([review, &exitCode]() { exitCode = RunReview(*review); });

  auto suggest = std::make_shared<ReviewOptions>();
  auto* s = app.add_subcommand("suggest", "Lists the saved templates that fit DATAFILE for an import type, best "
                                          "first, with their scores and reasons.");
  s->add_option("DATAFILE", suggest->dataFile, "The data file.")->required();
  s->add_option("--type", suggest->importType, "Import type code (zephrinimport types lists them).")->required();
  s->add_flag("--json", suggest->json, "Print the answer as JSON, as the host protocol answers it.");
  s->callback([suggest, &exitCode]() { exitCode = RunSuggest(*suggest); });
}

}  // namespace zephrin::cli
