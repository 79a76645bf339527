// The reads of the service object: from the host's request to its typed
// outcome. A request becomes a plan (the template code and item table, the
// field records, the begin row, the flags, the record and root names) that
// is computed once, here, from the request, the host's settings, the
// catalogue and the template store; the readers follow the plan.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include <variant>
#include <vector>

#include "catalogue/jurisdiction_tables.h"
#include "jurisdiction/logic_imp.h"
#include "platform/expected.h"
#include "platform/trace.h"
#include "readers/held_sheet.h"
#include "readers/read_plan.h"
#include "readers/separator.h"
#include "result/read_result.h"
#include "service/host_settings.h"
#include "templates/template_store.h"
#include "service/import_review.h"

namespace zephrin {

struct PlainRead;
class DataText;
class ProfileView;

// A saved template as it fits a data file.
struct TemplateSuggestion {
  std::string name;  // UTF-8
  double score = 0;  // 0 to 1, two decimals
  std::size_t complete = 0, records = 0;
  // Whether the template's header captions match the file's header row;
  // nullopt when the template has none.
  std::optional<bool> headersMatch;
  // The balances of a trial balance read whole do not sum to zero (a file
  // longer than the trial's lines is not judged so).
  bool outOfBalance = false;
  std::string reasons;  // "200 of 200 records complete; headers match"
};

struct ReadRequest {
  std::string importFile;    // UTF-8, as the host gave it
  // UTF-8: the name the read's messages give the data file, when not its
  // path ("standard input", whose copy is read at a path of its own).
  std::string shownAs;
  std::string templateName;  // UTF-8
  std::string importType;    // UTF-8
  std::string id;            // UTF-8
  std::string moreInfo;      // UTF-8, for the LOGIC built-in template
  bool international = false;
  int16_t intlParam = 0;     // the year of an international read
  int16_t intlType = 0;      // the international kind
  // The reader to use whatever the file name says (nullopt: the name decides).
  std::optional<SourceFormat> format;
  // Read the file as this kind of workbook whatever its bytes say (kNone:
  // a workbook is known by its bytes).
  WorkbookKind workbook = WorkbookKind::kNone;
  // This read's separator and sheet, before the template's keys (nullopt,
  // "": the template's, else a comma and the first sheet). The sheet is UTF-8.
  std::optional<Separator> separator;
  std::string sheet;
  // A template held in memory (the layout editor's unsaved one) instead of
  // the store's: its import type code, item positions and other keys (as the
  // store would hold them). The store is not read.
  struct HeldTemplate {
    std::string layoutType;
    FieldInfoArray fields{};
    TemplateAmounts amounts;  // its Amounts key and credit columns
    // The template's Separator and Sheet keys as the store would hold them
    // (upper-cased engine text; "" when the template has none).
    std::string separator, sheet;
  };
  std::optional<HeldTemplate> heldTemplate;
  // Stop after this many records (0: read the whole file), for a preview.
  std::size_t recordLimit = 0;
};

class ReadService {
 public:
  explicit ReadService(const Tracer& trace) : m_trace(trace) { m_logic.SetTrace(&trace); }
  ReadService(const ReadService&) = delete;
  ReadService& operator=(const ReadService&) = delete;

  // A whole read. `storePath` is the template store ("" before its place is
  // known: only built-in templates can be read then).
  ReadResult Read(const ReadRequest& request, const HostSettings& settings, const std::string& storePath,
                  const ReadHooks& hooks);
  // The plan of a plain read, as Read would make it; an Error (with the
  // text the read would give) for a request that is no plain read.
  Expected<ReadPlan> Plan(const ReadRequest& request, const HostSettings& settings, const std::string& storePath);

  // The review of a read: the same read, its records checked (see
  // import_review.h); its document is not kept.
  ReviewReport Review(const ReadRequest& request, const HostSettings& settings, const std::string& storePath);

  // The saved templates whose kind `importType` takes, each read over the
  // data file's first 200 lines, best first. Nothing is written.
  Expected<std::vector<TemplateSuggestion>> Suggest(const std::string& dataFile, const std::string& importType,
                                                    const HostSettings& settings, const std::string& storePath);

  // The jurisdiction reader's host settings.
  LogicImp& jurisdictionReader() { return m_logic; }

  // The format letter of a data file name: its second-to-last character.
  static std::optional<SourceFormat> FormatOfName(std::string_view ansiPath);

 private:
  // What every trial read of a suggestion shares.
  struct TrialRead {
    const std::string& dataFile;
    const std::string& importType;
    const HostSettings* settings;
    const DataText* text;
    const ProfileView* store;
    // The workbook sheets held for the trials, by the name templates give.
    std::map<std::string, HeldSheet>* sheets;
    // The text holds the whole data file, not only its first lines.
    bool wholeFile = false;
  };
  // The fit of one saved template; nullopt when the type does not take it.
  std::optional<TemplateSuggestion> TryTemplate(const TrialRead& trial, const std::string& name);
  // `whole` tells whether the trial read took in all the data (a plain
  // file's first lines when they are all of it, a sheet whose rows are
  // held to its end and fewer than the trial's records).
  ReviewReport TrialReport(const TrialRead& trial, const ReadPlan& plan, const ReviewRules& rules, bool& whole);

  // What a request starts: the plan of a plain read, a read handed to the
  // jurisdiction reader, or the outcome of a read that goes no further (a
  // refusal, a file name of no known format).
  struct Handoff {
    JurisdictionRequest request;
    std::string moreInfo;
    bool handsMoreInfo = false;
  };
  using Start = std::variant<ReadPlan, Handoff, ReadResult>;
  Start StartPlain(const ReadRequest& request, const HostSettings& settings, const std::string& storePath);
  Start StartInternational(const ReadRequest& request, const HostSettings& settings, const std::string& storePath);
  // Loads the data file and reads it by the plan; RunPlan guarded as every
  // read is, telling through `ranOut` that the read ran out of memory.
  ReadResult RunPlan(const ReadPlan& plan, const ReadHooks& hooks, bool* ranOut = nullptr);
  ReadResult LoadAndRead(const ReadPlan& plan, const ReadHooks& hooks);
  // Runs a read; running out of memory is the read's outcome for `dataFile`.
  template <class Body>
  ReadResult Guarded(const std::string& dataFile, Body&& body, bool* ranOut = nullptr);
  // The template's code (held, built in, or the store's "Info"; "" when none);
  // the built-in template, when it is one.
  const BuiltInTemplate* ResolveTemplateCode(const ReadRequest& request, const std::string& storePath,
                                             PlainRead& r) const;
  // The host code and its traits; nullptr when it is no code a read can take.
  const HostReadTraits* ResolveHostCode(const ReadRequest& request, const HostSettings& settings, PlainRead& r) const;
  ReadResult ReadJurisdiction(const JurisdictionRequest& request, std::string_view moreInfo, bool handsMoreInfo,
                              const HostSettings& settings, const ReadHooks& hooks);
  // The service side tables the value rules look up, loaded from a list.
  void LoadJurisdictionCaptions(std::string_view list);
  void LoadTIJurisdictions(std::string_view list);

  const Tracer& m_trace;
  JurisdictionTables m_tables;
  LogicImp m_logic;
};

// Which of the plan's items the import requires: those without which a
// template fails the editor's required-item check.
std::vector<bool> RequiredItemsOf(const ReadPlan& plan, std::string_view importType, int intlKind, bool batch);

}  // namespace zephrin
