// The best-fitting saved template for a data file: the file's first lines
// read through every saved template whose kind the import type takes, each
// held in memory (nothing is written), and the templates ranked by how
// complete their records are, how few findings they give, and whether the
// header captions saved with them match the file's header row.
#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "catalogue/catalogue.h"
#include "platform/codepage.h"
#include "platform/file_read.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "readers/header_captions.h"
#include "readers/held_sheet.h"
#include "readers/plain_reader.h"
#include "readers/separator.h"
#include "service/read_service.h"
#include "templates/template_listing.h"
#include "templates/template_store.h"

namespace zephrin {
namespace {

constexpr std::size_t kTrialLines = 200;
// The most bytes of those lines read (200 lines at the line limit fit).
constexpr std::size_t kTrialBytes = std::size_t{1} << 20;
// The rows of a workbook sheet held for the trials, and the most cell text.
constexpr std::size_t kHeldRows = 2000;
constexpr std::size_t kHeldBytes = std::size_t{8} << 20;

// The first lines of the file, as its bytes, read a block at a time up to
// the `lines`-th line end or `maxBytes` bytes; nullopt when it is no regular
// file that can be read (a pipe or a device would hang or never end).
std::optional<std::string> FirstLines(const std::string& path, std::size_t lines, std::size_t maxBytes, bool& whole) {
  whole = false;
  OpenFile file;
  if (OpenRegularFile(path, file) != FileReadStatus::kOk) return std::nullopt;
  std::string bytes;
  std::size_t seen = 0;
  while (bytes.size() < maxBytes) {
    const std::size_t at = bytes.size();
    bytes.resize(std::min(maxBytes, at + (std::size_t{64} << 10)));
    const long long got = file.ReadAt(at, bytes.data() + at, bytes.size() - at);
    if (got < 0) return std::nullopt;
    bytes.resize(at + static_cast<std::size_t>(got));
    for (std::size_t nl = bytes.find('\n', at); nl != std::string::npos; nl = bytes.find('\n', nl + 1)) {
      if (++seen == lines) {
        bytes.resize(nl + 1);
        return bytes;
      }
    }
    if (got == 0) {
      whole = true;
      break;
    }
  }
  return bytes;
}

// The file's header row as the template's captions would read it: the line
// before the first one read, its cells at the template's placed columns.
std::optional<std::string> FileHeaders(const ReadPlan& plan, std::string_view text, char separator) {
  if (plan.format != SourceFormat::kCsv || plan.beginRow < 1) return std::nullopt;
  std::size_t start = 0;
  for (int32_t n = 0; n + 1 < plan.beginRow; ++n) {
    const std::size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) return std::nullopt;
    start = nl + 1;
  }
  const std::size_t nl = text.find('\n', start);
  const std::string_view line = text.substr(start, nl == std::string_view::npos ? text.size() - start : nl - start);
  std::vector<uint32_t> columns;
  for (const PlanItem& item : plan.items)
    if (item.field.placed()) columns.push_back(item.field.nCol);
  return HeaderCaptions(SplitHeaderLine(line, separator), columns);
}

// "200 of 200 records complete; 3 findings; headers match".
std::string Reasons(const TemplateSuggestion& s, std::size_t findings) {
  std::string text = std::to_string(s.complete) + " of " + std::to_string(s.records) + " records complete";
  if (findings > 0) text += "; " + std::to_string(findings) + (findings == 1 ? " finding" : " findings");
  if (s.outOfBalance) text += "; out of balance";
  if (s.headersMatch) text += *s.headersMatch ? "; headers match" : "; headers differ";
  return text;
}

// The score from 0 to 1: complete records weigh most, then few findings,
// then the header captions (a template without them is scored on the rest).
double Score(const TemplateSuggestion& s, std::size_t findings) {
  if (s.records == 0) return 0.0;  // a template that reads nothing fits nothing
  const double records = static_cast<double>(std::max<std::size_t>(s.records, 1));
  const double complete = s.records == 0 ? 0.0 : static_cast<double>(s.complete) / records;
  const double clean = 1.0 - std::min(1.0, static_cast<double>(findings) / records);
  double score = s.headersMatch ? 0.6 * complete + 0.3 * clean + (*s.headersMatch ? 0.1 : 0.0)
                                : (0.6 * complete + 0.3 * clean) / 0.9;
  return std::round(score * 100.0) / 100.0;
}

}  // namespace

// The review of a template's trial read. A workbook's sheet (the template
// names it) is opened once for all the templates and its first rows held;
// a trial that needs more rows than are held reads the workbook itself.
ReviewReport ReadService::TrialReport(const TrialRead& trial, const ReadPlan& plan, const ReviewRules& rules,
                                      bool& whole) {
  whole = false;
  const auto tried = [&](const auto& read) -> std::optional<ReviewReport> {
    ImportReview review(plan, rules);
    DroppingSink drop;
    ReadHooks hooks;
    hooks.sink = &drop;
    hooks.valuesOnly = true;
    hooks.observer = &review;
    std::optional<ReadResult> result = read(hooks);
    if (!result) return std::nullopt;
    // The trial reads the file's first lines only: a DIF file's end mark lies
    // past them, and its absence says nothing of the file.
    result->endMarkMissing = false;
    return review.Finish(*result);
  };
  if (plan.workbook == WorkbookKind::kNone) {
    whole = trial.wholeFile;
    return *tried([&](const ReadHooks& hooks) { return std::optional(ReadPlainFile(plan, *trial.text, hooks)); });
  }
  const auto emplaced = trial.sheets->try_emplace(plan.sheet);
  HeldSheet& held = emplaced.first->second;
  if (emplaced.second)
    held = HeldSheet::Read(plan.workbook, plan.dataFileOs, plan.dataFile, plan.sheet, kHeldRows, kHeldBytes);
  if (std::optional<ReviewReport> report =
          tried([&](const ReadHooks& hooks) { return ReadHeldSheet(held, plan, hooks); })) {
    whole = held.complete() && report->records < plan.recordLimit;
    return std::move(*report);
  }
  return *tried([&](const ReadHooks& hooks) { return std::optional(ReadWorkbookFile(plan, hooks)); });
}

namespace {

// The records of a trial and how many are complete. A header row read as a
// record is no complete record either: a template that starts a line too
// early ranks below the one that starts right. A required item the template
// does not place at all (a finding of no line) leaves every record incomplete.
TemplateSuggestion Tally(const ReviewReport& report) {
  TemplateSuggestion s;
  s.records = report.records;
  std::set<long> incomplete;
  bool unplaced = false;
  for (const ReviewFinding& f : report.findings) {
    if (f.code == "out-of-balance" && f.line == 0) s.outOfBalance = true;
    if (f.code == "required-missing" && f.line == 0) unplaced = true;
    else if (f.code == "required-missing" || f.code == "header-as-record") incomplete.insert(f.line);
  }
  s.complete = unplaced ? 0 : s.records - std::min(s.records, incomplete.size());
  return s;
}

}  // namespace

std::optional<TemplateSuggestion> ReadService::TryTemplate(const TrialRead& trial, const std::string& name) {
  const std::string section = TemplateSection(name);
  const ProfileView& store = *trial.store;
  ReadRequest request;
  request.importFile = trial.dataFile;
  request.templateName = AnsiToUtf8(name);
  request.importType = trial.importType;
  ReadRequest::HeldTemplate held;
  held.layoutType = store.Get(section, "Info");
  const std::vector<std::string> types = TypesTakingKind(AnsiToUtf8(held.layoutType));
  if (std::find(types.begin(), types.end(), trial.importType) == types.end()) return std::nullopt;
  ItemList items = nullptr;
  if (held.layoutType == "INTL") {
    const int kind = FindIntlKindByStoredName(store.Get(section, "IntlType"));
    if (kind < 0) return std::nullopt;
    request.international = true;
    request.intlType = static_cast<int16_t>(kind);
    items = FindIntlKind(kind)->keys;
  } else if (const auto row = LookupRecordElement(held.layoutType)) {
    items = held.layoutType == "INSURWP" ? trial.settings->insuranceNameList() : row->items;
  }
  for (std::size_t i = 0; i < ItemCount(items) && i < held.fields.size(); ++i) {
    const std::string value = store.Get(section, items[i]);
    if (!value.empty()) held.fields[i] = ParsePositionValue(value);
    // An amount's credit column reads as the saved template's does.
    const std::string credit = store.Get(section, CreditKey(items[i]));
    if (!credit.empty()) held.amounts.credits[i] = ParsePositionValue(credit);
  }
  held.amounts.amounts = store.Get(section, "Amounts");
  held.separator = store.Get(section, "Separator");
  held.sheet = store.Get(section, "Sheet");
  request.heldTemplate = std::move(held);
  Expected<ReadPlan> plan = Plan(request, *trial.settings, "");
  if (!plan) return std::nullopt;
  // A workbook is tried on its sheet's first records; its bytes are no text
  // to try.
  const bool workbook = plan->workbook != WorkbookKind::kNone;
  if (workbook) plan->recordLimit = kTrialLines;

  ReviewRules rules;
  rules.required = RequiredItemsOf(*plan, trial.importType, request.intlType, trial.settings->batch());
  const std::string amounts = store.Get(section, "Amounts");
  rules.signedAmounts = amounts.starts_with("SIGNED");
  rules.decimalComma = amounts.find("COMMA") != std::string::npos;
  // Only a file read whole can be judged by its sum: a template that reads
  // its amounts wrongly (a thousands separator taken for a decimal mark)
  // leaves it out of balance where the right one does not. Whether a sheet
  // is read whole is known once it is read: the sum of part of one is dropped.
  rules.balancesSumToZero = (trial.wholeFile || workbook) && IsTrialBalance(trial.importType);
  bool whole = false;
  ReviewReport report = TrialReport(trial, *plan, rules, whole);
  if (!whole)
    std::erase_if(report.findings, [](const ReviewFinding& f) { return f.code == "out-of-balance" && f.line == 0; });

  TemplateSuggestion s = Tally(report);
  s.name = AnsiToUtf8(name);
  const std::string saved(store.Find(section, "Headers").value_or(""));
  if (!saved.empty() && !workbook) {
    const std::optional<std::string> file =
        FileHeaders(*plan, trial.text->text(),
                    SeparatorChar(SeparatorNamed(store.Get(section, "Separator")).value_or(Separator::kComma)));
    // The editor saves the captions in capitals; a hand-written key may not.
    s.headersMatch = file && *file == UpperAscii(saved);
  }
  const std::size_t findings = report.findings.size() + report.moreFindings;
  s.score = Score(s, findings);
  s.reasons = Reasons(s, findings);
  return s;
}

Expected<std::vector<TemplateSuggestion>> ReadService::Suggest(const std::string& dataFile,
                                                              const std::string& importType,
                                                              const HostSettings& settings,
                                                              const std::string& storePath) {
  if (FindHostType(importType) == nullptr) {
    // A code read through a built-in template has no saved one to rank.
    for (const KnownTypeCode& known : KnownTypeCodes())
      if (known.code == importType && known.templates.starts_with("built-in "))
        return Error{ErrorCode::kInvalid, importType + " is read with the " + known.templates +
                                              " template; no saved template can read it, so there is none to suggest."};
    return Error{ErrorCode::kInvalid, "Unknown import type " + importType + "."};
  }
  bool whole = false;
  const std::optional<std::string> bytes = FirstLines(dataFile, kTrialLines, kTrialBytes, whole);
  if (!bytes) return Error{ErrorCode::kIo, "Unable to open the file " + dataFile + "."};
  DataText text;
  text.Assign(*bytes);
  Expected<ProfileDocument> doc = storePath.empty() ? ProfileDocument() : ProfileDocument::Load(storePath);
  if (!doc) return doc.TakeError();
  const ProfileView view(*doc);
  std::map<std::string, HeldSheet> sheets;
  const TrialRead trial{dataFile, importType, &settings, &text, &view, &sheets, whole};

  std::vector<TemplateSuggestion> out;
  for (const TemplateListing::Template& t : ReadTemplateListing(storePath).templates)
    if (std::optional<TemplateSuggestion> s = TryTemplate(trial, t.name)) out.push_back(std::move(*s));
  // A workbook that cannot be opened (damaged, cut short, not a workbook)
  // fits no template, and says why as its read would; a sheet it lacks
  // concerns only the templates that name it.
  for (const auto& [sheet, held] : sheets)
    if (held.openError() && held.openError()->code != ErrorCode::kNotFound) return *held.openError();
  std::stable_sort(out.begin(), out.end(), [](const TemplateSuggestion& a, const TemplateSuggestion& b) {
    if (a.score != b.score) return a.score > b.score;
    // Of two as good, the one that balances first, then the one whose
    // header captions match the file.
    if (a.outOfBalance != b.outOfBalance) return b.outOfBalance;
    const bool aMatch = a.headersMatch.value_or(false), bMatch = b.headersMatch.value_or(false);
    if (aMatch != bMatch) return aMatch;
    return a.complete > b.complete;
  });
  return out;
}

}  // namespace zephrin
