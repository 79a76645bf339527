#include "service/read_service.h"

#include <algorithm>
#include <new>

#include "catalogue/catalogue.h"
#include "catalogue/read_traits.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "readers/plain_reader.h"
#include "service/plain_read_plan.h"
#include "service/source_choice.h"
#include "result/error_document.h"
#include "templates/template_store.h"

namespace zephrin {
namespace {

constexpr std::string_view kUnknownImport = "Unable to determine the type of import being done. Please try again.";
constexpr std::size_t kMaxImportTypeLength = 19;

}  // namespace

std::optional<SourceFormat> ReadService::FormatOfName(std::string_view ansiPath) {
  if (ansiPath.size() <= 2) return std::nullopt;
  const char c = AsciiUpper(ansiPath[ansiPath.size() - 2]);
  return c == 'I' ? SourceFormat::kDif : c == 'S' ? SourceFormat::kCsv : SourceFormat::kFixedWidth;
}

namespace {

// The trace of a jurisdiction list the host hands over: the whole list, then
// its first name (lower-cased) after `firstLabel`.
void TraceJurisdictionList(const Tracer& trace, bool provincial, std::string_view list, std::string_view firstLabel) {
  trace.Format("FillJurisdictionCaptions: m_bDoingProv=%d - jurs=%.*s", provincial ? 1 : 0,
               static_cast<int>(list.size()), list.data());
  if (!trace.on()) return;
  TokenizeList(list, [&](int pos, std::string_view token) {
    if (pos == 0) trace.Line(std::string(firstLabel) + ": ii=0, strTemp=" + LowerAscii(token));
  });
}

}  // namespace

void ReadService::LoadJurisdictionCaptions(std::string_view list) {
  TraceJurisdictionList(m_trace, m_logic.provincialMode(), list, "FillJurisdictionCaption");
  m_tables.LoadList(list, /*logicSubstitutions=*/false);
}

void ReadService::LoadTIJurisdictions(std::string_view list) {
  TraceJurisdictionList(m_trace, m_logic.provincialMode(), list, "LoadTIJurisdictions");
  m_tables.LoadTIList(list);
}

namespace {

// The data file as the read's messages name it (engine text).
std::string ShownPath(const ReadRequest& request) {
  return Utf8ToAnsi(request.shownAs.empty() ? request.importFile : request.shownAs);
}

// The plan of a plain read whose codes and items are resolved; a template
// whose keys cannot be followed (its amount keys) gives the request's error
// document in the template's words.
std::variant<ReadPlan, ReadResult> PlanOf(const PlainRead& r, const SourceChoice& source,
                                          const ReadRequest& request, const HostSettings& settings,
                                          const std::string& storePath, const JurisdictionTables* tables,
                                          const Tracer& trace) {
  PlanContext context;
  context.format = source.format;
  context.dataFile = ShownPath(request);
  context.dataFileOs = request.importFile;
  context.settings = &settings;
  context.storePath = storePath;
  context.tables = tables;
  context.trace = &trace;
  Expected<ReadPlan> plan = PlanPlainRead(r, context);
  if (!plan) return ReadResult::Error(ErrorDocument::Request().Value(plan.error().message).Take());
  ApplySourceChoice(source, *plan);
  plan->recordLimit = request.recordLimit;
  return std::move(*plan);
}

}  // namespace

ReadResult ReadService::Read(const ReadRequest& request, const HostSettings& settings, const std::string& storePath,
                             const ReadHooks& hooks) {
  return Guarded(ShownPath(request), [&] {
    Start start = request.international ? StartInternational(request, settings, storePath)
                                        : StartPlain(request, settings, storePath);
    if (ReadResult* ended = std::get_if<ReadResult>(&start)) return std::move(*ended);
    if (const Handoff* handoff = std::get_if<Handoff>(&start))
      return ReadJurisdiction(handoff->request, handoff->moreInfo, handoff->handsMoreInfo, settings, hooks);
    return LoadAndRead(std::get<ReadPlan>(start), hooks);
  });
}

// A read that cannot get the memory it needs: the host gets the error
// document of a file too large to read, as the read's own outcome (and
// `ranOut` says so). Every read of the service passes here.
template <class Body>
ReadResult ReadService::Guarded(const std::string& dataFile, Body&& body, bool* ranOut) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    m_trace.Line("ReadImportFile: out of memory.");
    if (ranOut) *ranOut = true;
    return LoadFailure(dataFile, FileReadStatus::kTooLarge);
  }
}

Expected<ReadPlan> ReadService::Plan(const ReadRequest& request, const HostSettings& settings,
                                     const std::string& storePath) {
  Start start = request.international ? StartInternational(request, settings, storePath)
                                      : StartPlain(request, settings, storePath);
  if (ReadPlan* plan = std::get_if<ReadPlan>(&start)) return std::move(*plan);
  if (const ReadResult* ended = std::get_if<ReadResult>(&start))
    return Error{ErrorCode::kInvalid, std::string(ended->text.view())};
  return Error{ErrorCode::kInvalid, "A jurisdiction read has no plan of a plain read."};
}

ReadResult ReadService::RunPlan(const ReadPlan& plan, const ReadHooks& hooks, bool* ranOut) {
  return Guarded(plan.dataFile, [&] { return LoadAndRead(plan, hooks); }, ranOut);
}

ReadResult ReadService::LoadAndRead(const ReadPlan& plan, const ReadHooks& hooks) {
  if (plan.workbook != WorkbookKind::kNone) return ReadWorkbookFile(plan, hooks);
  DataText text;
  if (const FileReadStatus status = text.Load(plan.dataFileOs); status != FileReadStatus::kOk)
    return LoadFailure(plan.dataFile, status);
  return ReadPlainFile(plan, text, hooks);
}

namespace {

ReadResult UnknownImport() { return ReadResult::Error(ErrorDocument::Request(kUnknownImport)); }

// What a built-in template hands the jurisdiction reader: the element names
// and the current year. A template from the store hands nothing, and the
// reader then cannot tell what it is reading.
JurisdictionRequest MakeJurisdictionRequest(const ReadRequest& request, const PlainRead& r,
                                            const BuiltInTemplate* builtIn, const HostSettings& settings) {
  JurisdictionRequest j;
  j.dataFile = ShownPath(request);
  j.dataFileOs = request.importFile;
  j.importType = r.hostCode;
  j.batch = settings.batch();
  if (builtIn) {
    j.rootElement = builtIn->rootElement;
    j.recordElement = builtIn->recordElement;
    if (builtIn->handsYear) j.currentYear = settings.currentYear();
  }
  j.id = Utf8ToAnsi(request.id);
  return j;
}

// The record element and item tables of the template code; a code that
// matches no row leaves them unset.
void ResolveItems(PlainRead& r, const HostSettings& settings) {
  if (const auto row = LookupRecordElement(r.layoutType)) {
    r.recordElement = row->recordElement;
    r.recordLines = row->recordLines;
    r.je = row->je;
    r.items = r.layoutType == "INSURWP" ? settings.insuranceNameList() : row->items;
    r.jeOutputNames = row->jeHeaderItems;
  }
}

}  // namespace

const BuiltInTemplate* ReadService::ResolveTemplateCode(const ReadRequest& request, const std::string& storePath,
                                                        PlainRead& r) const {
  const BuiltInTemplate* builtIn = request.heldTemplate ? nullptr : FindBuiltInTemplate(r.templateName);
  if (request.heldTemplate) {
    r.layoutType = request.heldTemplate->layoutType;
    r.heldFields = &request.heldTemplate->fields;
    r.heldAmounts = &request.heldTemplate->amounts;
  } else if (builtIn) {
    r.layoutType = builtIn->layoutType;
  } else {
    ReadStoreValue(storePath, TemplateSection(r.templateName), "Info", r.layoutType);
  }
  return builtIn;
}

const HostReadTraits* ReadService::ResolveHostCode(const ReadRequest& request, const HostSettings& settings,
                                                   PlainRead& r) const {
  const std::string importType = Utf8ToAnsi(request.importType);
  m_trace.Format("ReadImportFile: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d", importType.c_str(),
                 r.layoutType.c_str(), static_cast<int>(importType.size()));
  if (importType.empty()) {
    m_trace.Line("ReadImportFile: no ImportType.");
    return nullptr;
  }
  if (importType.size() > kMaxImportTypeLength) {
    // Import type codes are short codes; a longer text is no code we know.
    m_trace.Line("ReadImportFile: ImportType too long.");
    return nullptr;
  }
  const HostReadTraits& hostTraits = FindHostReadTraits(importType);
  r.hostCode = hostTraits.readAs ? hostTraits.readAs : importType;
  r.jeKind = hostTraits.jeKind;
  // The rules go by the code the read goes on with.
  r.traits = &FindHostReadTraits(r.hostCode);
  m_trace.Format("ReadImportFile: ImportType=%s, m_strLayout=%s, m_bDoingBatch=%d", r.hostCode.c_str(),
                 r.templateName.c_str(), settings.batch() ? 1 : 0);
  return &hostTraits;
}

ReadService::Start ReadService::StartPlain(const ReadRequest& request, const HostSettings& settings,
                                          const std::string& storePath) {
  m_trace.Line("ReadImportFile: top");
  PlainRead r;
  r.templateName = Utf8ToAnsi(request.templateName);
  if (r.templateName.empty() && !request.heldTemplate) {
    m_trace.Line("ReadImportFile: no template specified");
    return UnknownImport();
  }
  const BuiltInTemplate* builtIn = ResolveTemplateCode(request, storePath, r);
  if (r.layoutType.empty()) {
    m_trace.Format("ReadImportFile: no layout type for %s.", r.templateName.c_str());
    return UnknownImport();
  }
  const HostReadTraits* hostTraits = ResolveHostCode(request, settings, r);
  if (!hostTraits) return UnknownImport();
  if (hostTraits->jurisdiction) {
    if (std::optional<ReadResult> refused = JurisdictionSourceRefusal(request, ShownPath(request)))
      return std::move(*refused);
    return Handoff{MakeJurisdictionRequest(request, r, builtIn, settings), Utf8ToAnsi(request.moreInfo),
                   builtIn && builtIn->handsMoreInfo};
  }

  // A plain read.
  const std::string ansiPath = Utf8ToAnsi(request.importFile);
  auto source = ChooseSource(request, ansiPath, r.templateName,
                             SourceKeysOf(request, storePath, r.templateName, builtIn != nullptr));
  if (ReadResult* ended = std::get_if<ReadResult>(&source)) return std::move(*ended);
  const SourceChoice& choice = std::get<SourceChoice>(source);
  ResolveItems(r, settings);
  // The lists the value rules look up, as the host set them last: tables
  // made anew for the read, so that an entry of a list the host has since
  // replaced (or of another kind's list) cannot match.
  m_tables = JurisdictionTables{};
  switch (FindLayoutReadTraits(r.layoutType).list) {
    case NeededList::kProvince: LoadJurisdictionCaptions(settings.provinceList()); break;
    case NeededList::kState: LoadJurisdictionCaptions(settings.stateList()); break;
    case NeededList::kTi: LoadTIJurisdictions(settings.tiList()); break;
    case NeededList::kNone: break;
  }
  r.id = Utf8ToAnsi(request.id);
  if (choice.format == SourceFormat::kCsv) m_trace.Line("ReadImportFile: calling ReadCSV");
  return std::visit([](auto&& planned) -> Start { return std::move(planned); },
                    PlanOf(r, choice, request, settings, storePath, &m_tables, m_trace));
}

ReadService::Start ReadService::StartInternational(const ReadRequest& request, const HostSettings& settings,
                                                  const std::string& storePath) {
  const std::string ansiPath = Utf8ToAnsi(request.importFile);
  PlainRead r;
  r.templateName = Utf8ToAnsi(request.templateName);
  if (request.heldTemplate) {
    r.layoutType = request.heldTemplate->layoutType;
    r.heldFields = &request.heldTemplate->fields;
    r.heldAmounts = &request.heldTemplate->amounts;
  } else {
    ReadStoreValue(storePath, TemplateSection(r.templateName), "Info", r.layoutType);
  }
  auto source = ChooseSource(request, ansiPath, r.templateName,
                             SourceKeysOf(request, storePath, r.templateName, /*builtIn=*/false));

  r.kind = FindIntlKind(request.intlType);
  if (!r.kind) {
    // An index outside the table names no international type.
    m_trace.Format("ReadIntlImportFile: IntlType=%d is not a known type.", request.intlType);
    return ReadResult::Error(ErrorDocument::Request()
                                 .Text("Unknown international import type ")
                                 .Number(request.intlType)
                                 .Text(". Please try again.")
                                 .Take());
  }
  r.intl = true;
  r.intlType = request.intlType;
  r.hostCode = Utf8ToAnsi(request.importType);
  r.traits = &FindHostReadTraits(r.hostCode);
  r.year = std::to_string(request.intlParam);
  r.items = r.kind->keys;
  r.recordElement = "II";
  const bool balance = IntlReadsBalances(request.intlType);
  m_trace.Format("ReadIntlImportFile: m_bChartOnly=%d, m_bBalanceOnly=%d, IntlType=%d, m_strImportType=%s, szBuffer=%s",
                 balance ? 0 : 1, balance ? 1 : 0, request.intlType, r.hostCode.c_str(), r.year.c_str());
  if (ReadResult* ended = std::get_if<ReadResult>(&source)) return std::move(*ended);
  r.id = Utf8ToAnsi(request.id);
  return std::visit([](auto&& planned) -> Start { return std::move(planned); },
                    PlanOf(r, std::get<SourceChoice>(source), request, settings, storePath, &m_tables, m_trace));
}

ReadResult ReadService::ReadJurisdiction(const JurisdictionRequest& request, std::string_view moreInfo,
                                         bool handsMoreInfo, const HostSettings& settings, const ReadHooks& hooks) {
  JurisdictionRequest j = request;
  if (handsMoreInfo) {
    if (moreInfo.size() > kJurFieldChars) {
      m_trace.Line("ReadImportFile: pMoreInfo is too long.");
      return ReadResult::Error(
          ErrorDocument::Request("The more-information text is longer than 19 characters. Please try again."));
    }
    j.moreInfo.assign(moreInfo);
  }
  // The reader's ID field holds 19 characters; a longer ID is refused rather than cut.
  if (j.id.size() > kJurFieldChars) {
    m_trace.Line("ReadImportFile: ID is too long.");
    return ReadResult::Error(ErrorDocument::Request("The ID is longer than 19 characters. Please try again."));
  }

  // The list the host code needs must have been set.
  const JurisdictionTraits& traits = FindJurisdictionTraits(j.importType);
  if ((settings.provinceList().empty() && traits.needsProvinces) || (settings.stateList().empty() && traits.needsStates)) {
    m_trace.Line("ReadImportFile: jurisdiction string is empty.");
    return ReadResult::Error(
        ErrorDocument::Request("No jurisdictions were loaded before reading import file.  Please try again."));
  }

  // The lists, in the order state, TI, province, into tables made anew: an
  // entry of a list the host has since replaced must not match.
  m_logic.ClearJurisdictionTables();
  for (const std::string* list : {&settings.stateList(), &settings.tiList(), &settings.provinceList()})
    if (!list->empty()) m_logic.FillJurisdictionCaption(*list);
  return m_logic.Read(j, hooks);
}

}  // namespace zephrin
