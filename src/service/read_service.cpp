#include "service/read_service.h"

#include <algorithm>

#include "catalogue/catalogue.h"
#include "catalogue/read_traits.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "readers/plain_reader.h"
#include "result/error_document.h"
#include "templates/template_store.h"

namespace zephrin {
namespace {

constexpr std::string_view kUnknownImport = "Unable to determine the type of import being done. Please try again.";
constexpr std::size_t kMaxImportTypeLength = 19;

ReadResult UnknownFormat(const std::string& ansiPath) {
  // The text hosts know for a file name of no known format; not XML.
  return ReadResult::Of(ReadOutcome::kUnknownFormat,
                        AnsiToUtf8("NOT A CSV,DIF, TXT or PRN FILE-" + ansiPath + " - "));
}

// What the two read requests hand the planning of a plain read.
struct PlainRead {
  std::string hostCode;    // after FBJ, FRJ, FTJ became FADJ
  std::string layoutType;  // the template code
  std::string templateName;
  std::string id;
  std::string year;        // the YEAR of an international read
  const HostReadTraits* traits = nullptr;
  char jeKind = ' ';       // from the host code as given (FBJ: "A", FRJ: "R", FTJ: "M")
  const char* recordElement = "";
  bool recordLines = false;
  bool je = false;
  bool intl = false;
  int16_t intlType = 0;
  const IntlKind* kind = nullptr;
  const FieldInfoArray* heldFields = nullptr;  // a template held in memory
  ItemList items = nullptr;
  ItemList jeOutputNames = nullptr;
};

// Fixed layouts of the built-in templates: record i at column i.
void Layout(FieldInfoArray& fields, int count, uint16_t startRow) {
  for (int i = 0; i < count; ++i) fields[static_cast<std::size_t>(i)] = {static_cast<uint16_t>(i), startRow, 0};
}

FieldInfoArray FieldRecords(const PlainRead& r, const HostSettings& settings, const std::string& storePath) {
  FieldInfoArray fields{};
  switch (FindLayoutReadTraits(r.layoutType).layout) {
    case FixedLayout::kCategory: Layout(fields, 4, 1); break;
    case FixedLayout::kTimap: Layout(fields, 6, 2); break;
    case FixedLayout::kCurfedti:
      if (settings.batch()) {
        Layout(fields, 4, 2);
      } else {
        for (uint16_t i = 1; i < 4; ++i) fields[i] = {static_cast<uint16_t>(i - 1), 2, 0};
      }
      break;
    case FixedLayout::kM3code:
      for (uint16_t i = 0; i < 7; ++i) fields[i] = {i, static_cast<uint16_t>(i >= 1 && i <= 3 ? 0 : 2), 0};
      break;
    case FixedLayout::kCtdgrp: Layout(fields, 3, 2); break;
    case FixedLayout::kCtdmap: Layout(fields, 4, 2); break;
    case FixedLayout::kNone:
      if (r.heldFields) {
        for (std::size_t i = 0; i < ItemCount(r.items) && i < fields.size(); ++i) fields[i] = (*r.heldFields)[i];
      } else {
        LoadTemplate(r.items, fields, storePath, r.templateName);
      }
      break;
  }
  return fields;
}

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

// The plan of a plain read: field records, begin row, root element and
// attributes, the items' elements, rules and chart flags, the record
// attribute and the template description.
ReadPlan MakePlan(const PlainRead& r, SourceFormat format, const std::string& ansiPath, const std::string& osPath,
                  const HostSettings& settings, const std::string& storePath, const JurisdictionTables* tables,
                  const Tracer& trace) {
  ReadPlan plan;
  plan.format = format;
  plan.dataFile = ansiPath;
  plan.dataFileOs = osPath;
  const HostReadTraits& traits = *r.traits;
  const LayoutReadTraits& layout = FindLayoutReadTraits(r.layoutType);
  const std::string& host = r.hostCode;

  // The field records.
  FieldInfoArray fields = FieldRecords(r, settings, storePath);
  trace.Format("DoReadInitFunctions: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d sizeof(strID)=%d",
               host.c_str(), r.layoutType.c_str(), static_cast<int>(host.size()), 17);

  // The begin row: the smallest start row among the first N records whose
  // column and start row are both not 0.
  int n = host == "INTL" ? IntlBeginRowItemCount(r.intlType) : BeginRowItemCount(host);
  trace.Format("GetBeginRow: nMax=%d, m_strImportType=%s", n, host.c_str());
  n = std::clamp(n, 0, static_cast<int>(kMaxFieldInfo));
  int smallest = 0;
  for (int i = 0; i < n; ++i) {
    const FieldInfo& f = fields[static_cast<std::size_t>(i)];
    if (f.nCol != 0 && f.nLen != 0 && (smallest == 0 || f.nLen < smallest)) smallest = f.nLen;
  }
  plan.beginRow = smallest == 0 ? 0 : smallest - 1;
  trace.Format("GetBeginRow: m_nBeginRow=%d,  m_szLayoutType=%s", plan.beginRow, r.layoutType.c_str());
  if (r.id.empty()) trace.Line("DoReadInitFunctions: ID is empty");

  // The root element and its attributes.
  plan.rootName = layout.rootName ? layout.rootName : host;
  trace.Line("DoReadInitFunctions: called InitXML");
  trace.Format("DoReadInitFunctions: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d", host.c_str(),
               r.layoutType.c_str(), static_cast<int>(host.size()));
  auto& attributes = plan.rootAttributes;
  switch (layout.rootId) {
    case RootId::kNone: trace.Line("DoReadInitFunctions: adding attribute to root"); break;
    case RootId::kSplitObjIdParent:
      if (const std::size_t plus = r.id.find('+'); plus != std::string::npos) {
        attributes.emplace_back("OBJID", r.id.substr(0, plus));
        attributes.emplace_back("ParentID", r.id.substr(plus + 1));
      } else if (settings.batch()) {
        attributes.emplace_back("OBJID", "");
      } else if (layout.objIdOutsideBatch) {
        attributes.emplace_back("OBJID", layout.keepsIdWithoutPlus ? r.id : std::string());
      }
      break;
    case RootId::kObjId:
      trace.Line("DoReadInitFunctions: adding attribute to root");
      attributes.emplace_back("OBJID", r.id);
      break;
  }
  if (settings.batch()) {
    if (layout.batchMarker) attributes.emplace_back("Batch", "1");
    else attributes.emplace_back("CONUM", "");
  }
  if (r.intl) {
    attributes.emplace_back("TYPE", r.kind ? r.kind->typeName : "");
    attributes.emplace_back("YEAR", r.year);
  }
  if (layout.year) attributes.emplace_back("YEAR", std::to_string(settings.currentYear()));
  trace.Line("DoReadInitFunctions: complete");

  // Journal entries: a chart-only reclass and a balance read skip the items
  // of the adjustments' own accounts.
  plan.je = r.je;
  plan.chartOnly = traits.group == ReadGroup::kChart;
  plan.balanceOnly = traits.group == ReadGroup::kBalance;
  if (r.intl) {
    plan.balanceOnly = IntlReadsBalances(r.intlType);
    plan.chartOnly = !plan.balanceOnly;
  }
  plan.jeKind = r.jeKind;
  plan.batch = settings.batch();
  if (r.je && ((plan.chartOnly && plan.jeKind == 'R') || plan.balanceOnly))
    for (std::size_t i = kJESuppressedFirst; i <= kJESuppressedLast; ++i) fields[i].nLen = 0;

  // The items: element names, value rules, chart flags.
  const bool fixedWidth = format == SourceFormat::kFixedWidth;
  ItemList names = nullptr;
  if (r.intl) names = r.kind ? r.kind->elements : nullptr;
  else if (!fixedWidth) names = host == "INSURWP" ? settings.insuranceElementList() : traits.elementNames;
  plan.chart = traits.chart;
  const std::size_t count = std::min(ItemCount(r.items), kMaxFieldInfo);
  plan.items.reserve(count);
  for (std::size_t j = 0; j < count; ++j) {
    PlanItem item;
    item.name = ItemAt(r.items, j);
    std::string_view element = names ? std::string_view(ItemAt(names, j)) : std::string_view(item.name);
    if (r.je && r.jeOutputNames) element = ItemAt(r.jeOutputNames, j);
    item.element = XmlTag(element);
    item.field = fields[j];
    if (!fixedWidth) {
      for (const HostReadTraits::Rule& rule : traits.rules) {
        if (!rule.item || item.name != rule.item) continue;
        if (rule.rule == ValueRule::kTaxRateName && format != SourceFormat::kCsv) continue;
        item.rule = rule.rule;
      }
    }
    if (traits.chart == ChartKind::kAccounts) {
      if (item.name == "Account_Number") item.chart = PlainReader::kChartAcct;
      else if (item.name == "TRC") item.chart = PlainReader::kChartTrc;
      else if (item.name == "TCC") item.chart = PlainReader::kChartTcc;
      else if (item.name == "Account_Caption") item.chart = PlainReader::kChartCapt;
    } else if (traits.chart == ChartKind::kTaxCategoryCodes) {
      if (item.name == "TRC") item.chart = PlainReader::kChartTrc;
      else if (item.name == "TCC") item.chart = PlainReader::kChartTcc;
      else if (item.name == "TCC_Caption") item.chart = PlainReader::kChartCapt;
    }
    plan.items.push_back(std::move(item));
  }

  // The records.
  plan.record = XmlTag(r.recordElement);
  plan.lineAttribute = r.je || r.intl || r.recordLines;
  plan.lineAttributeName = traits.sourceIdAttribute ? "SourceId" : "Line";
  plan.lineOffset = traits.lineFromOne || (host == "INTL" && IntlLineFromOne(r.intlType)) ? 1 : 0;
  plan.fixedWidthLineAttribute = r.recordLines;
  plan.keepAllCharacters = host == "INTL" && IntlKeepsAllCharacters(r.intlType);
  plan.timapExtraColumns = traits.timapExtraColumns;
  plan.jurisdictions = tables;
  plan.countryJurisdictions = settings.countryJurisdictions();

  // The template element after the last record, and what it describes:
  // the placed items in column order.
  plan.templateElement = traits.templateElement;
  if (r.je && plan.templateElement == TemplateElement::kTmplt) plan.templateElement = TemplateElement::kNone;
  if (!r.je && !fixedWidth && plan.templateElement != TemplateElement::kNone) {
    ItemList described = nullptr;
    if (r.intl) described = r.kind ? r.kind->elements : nullptr;
    else if (traits.describesWithNames) described = host == "INSURWP" ? settings.insuranceElementList() : traits.elementNames;
    for (std::size_t j = 0; j < count; ++j) {
      const FieldInfo& f = plan.items[j].field;
      if (!f.placed()) continue;
      TemplateEntry e;
      e.column = f.nCol;
      if (r.intl) {
        e.element = XmlTag(ItemAt(described, j));
      } else if (traits.describesWithNames) {
        e.element = XmlTag(ItemAt(described, j));
        e.text = plan.items[j].name;
      } else {
        e.element = XmlTag(plan.items[j].name);
      }
      plan.templateDescription.push_back(std::move(e));
    }
    std::stable_sort(plan.templateDescription.begin(), plan.templateDescription.end(),
                     [](const TemplateEntry& a, const TemplateEntry& b) { return a.column < b.column; });
  }
  return plan;
}

// Plans the read, loads the data file and reads it.
ReadResult RunPlainRead(const PlainRead& r, SourceFormat format, const std::string& ansiPath, const ReadRequest& request,
                        const HostSettings& settings, const std::string& storePath, const JurisdictionTables* tables,
                        const Tracer& trace, const ReadHooks& hooks) {
  ReadPlan plan = MakePlan(r, format, ansiPath, request.importFile, settings, storePath, tables, trace);
  plan.recordLimit = request.recordLimit;
  DataText text;
  if (const FileReadStatus status = text.Load(plan.dataFileOs); status != FileReadStatus::kOk)
    return LoadFailure(plan, status);
  return ReadPlainFile(plan, text, hooks);
}

}  // namespace

ReadResult ReadService::Read(const ReadRequest& request, const HostSettings& settings, const std::string& storePath,
                             const ReadHooks& hooks) {
  return request.international ? ReadInternational(request, settings, storePath, hooks)
                               : ReadPlain(request, settings, storePath, hooks);
}

ReadResult ReadService::ReadPlain(const ReadRequest& request, const HostSettings& settings,
                                  const std::string& storePath, const ReadHooks& hooks) {
  m_trace.Line("ReadImportFile: top");
  const std::string ansiPath = Utf8ToAnsi(request.importFile);
  const std::optional<SourceFormat> format = request.format ? request.format : FormatOfName(ansiPath);

  // The template name and the template code.
  PlainRead r;
  r.templateName = Utf8ToAnsi(request.templateName);
  if (r.templateName.empty() && !request.heldTemplate) {
    m_trace.Line("ReadImportFile: no template specified");
    return ReadResult::Error(ErrorDocument::Request(kUnknownImport));
  }
  const BuiltInTemplate* builtIn = request.heldTemplate ? nullptr : FindBuiltInTemplate(r.templateName);
  if (request.heldTemplate) {
    r.layoutType = request.heldTemplate->layoutType;
    r.heldFields = &request.heldTemplate->fields;
  } else if (builtIn) {
    r.layoutType = builtIn->layoutType;
  } else {
    ReadStoreValue(storePath, TemplateSection(r.templateName), "Info", r.layoutType);
  }
  if (r.layoutType.empty()) {
    m_trace.Format("ReadImportFile: no layout type for %s.", r.templateName.c_str());
    return ReadResult::Error(ErrorDocument::Request(kUnknownImport));
  }

  // The host code.
  const std::string importType = Utf8ToAnsi(request.importType);
  m_trace.Format("ReadImportFile: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d", importType.c_str(),
                 r.layoutType.c_str(), static_cast<int>(importType.size()));
  if (importType.empty()) {
    m_trace.Line("ReadImportFile: no ImportType.");
    return ReadResult::Error(ErrorDocument::Request(kUnknownImport));
  }
  if (importType.size() > kMaxImportTypeLength) {
    // Import type codes are short codes; a longer text is no code we know.
    m_trace.Line("ReadImportFile: ImportType too long.");
    return ReadResult::Error(ErrorDocument::Request(kUnknownImport));
  }
  const HostReadTraits& hostTraits = FindHostReadTraits(importType);
  r.hostCode = hostTraits.readAs ? hostTraits.readAs : importType;
  r.jeKind = hostTraits.jeKind;
  // The rules go by the code the read goes on with.
  r.traits = &FindHostReadTraits(r.hostCode);
  m_trace.Format("ReadImportFile: ImportType=%s, m_strLayout=%s, m_bDoingBatch=%d", r.hostCode.c_str(),
                 r.templateName.c_str(), settings.batch() ? 1 : 0);

  // The jurisdiction family.
  if (hostTraits.jurisdiction) {
    JurisdictionRequest j;
    j.dataFile = ansiPath;
    j.dataFileOs = request.importFile;
    j.importType = r.hostCode;
    j.batch = settings.batch();
    // What the built-in template hands over: the element names and the
    // current year. A template from the store hands nothing, and the reader
    // then cannot tell what it is reading.
    if (builtIn) {
      j.rootElement = builtIn->rootElement;
      j.recordElement = builtIn->recordElement;
      if (builtIn->handsYear) j.currentYear = settings.currentYear();
    }
    j.id = Utf8ToAnsi(request.id);
    return ReadJurisdiction(j, Utf8ToAnsi(request.moreInfo), builtIn && builtIn->handsMoreInfo, settings, hooks);
  }

  // A plain read: the record element and item tables of the template code.
  if (!format) return UnknownFormat(ansiPath);
  if (const auto row = LookupRecordElement(r.layoutType)) {
    r.recordElement = row->recordElement;
    r.recordLines = row->recordLines;
    r.je = row->je;
    r.items = r.layoutType == "INSURWP" ? settings.insuranceNameList() : row->items;
    r.jeOutputNames = row->jeHeaderItems;
  }
  // The lists the value rules look up.
  switch (FindLayoutReadTraits(r.layoutType).list) {
    case NeededList::kProvince: LoadJurisdictionCaptions(settings.provinceList()); break;
    case NeededList::kState: LoadJurisdictionCaptions(settings.stateList()); break;
    case NeededList::kTi: LoadTIJurisdictions(settings.tiList()); break;
    case NeededList::kNone: break;
  }
  r.id = Utf8ToAnsi(request.id);
  if (*format == SourceFormat::kCsv) m_trace.Line("ReadImportFile: calling ReadCSV");
  return RunPlainRead(r, *format, ansiPath, request, settings, storePath, &m_tables, m_trace, hooks);
}

ReadResult ReadService::ReadInternational(const ReadRequest& request, const HostSettings& settings,
                                          const std::string& storePath, const ReadHooks& hooks) {
  const std::string ansiPath = Utf8ToAnsi(request.importFile);
  const std::optional<SourceFormat> format = request.format ? request.format : FormatOfName(ansiPath);
  PlainRead r;
  r.templateName = Utf8ToAnsi(request.templateName);
  if (request.heldTemplate) {
    r.layoutType = request.heldTemplate->layoutType;
    r.heldFields = &request.heldTemplate->fields;
  } else {
    ReadStoreValue(storePath, TemplateSection(r.templateName), "Info", r.layoutType);
  }

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
  if (!format) return UnknownFormat(ansiPath);
  r.id = Utf8ToAnsi(request.id);
  return RunPlainRead(r, *format, ansiPath, request, settings, storePath, &m_tables, m_trace, hooks);
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
  static constexpr std::string_view kProvCodes[] = {"APPORT", "LOSS", "CREDIT", "AMTACE", "CURSTI", "CATASSN", "CTPRCN"};
  const bool needsProv = std::find(std::begin(kProvCodes), std::end(kProvCodes), j.importType) != std::end(kProvCodes);
  const bool needsState = j.importType == "LOGIC" || j.importType == "AABAL";
  if ((settings.provinceList().empty() && needsProv) || (settings.stateList().empty() && needsState)) {
    m_trace.Line("ReadImportFile: jurisdiction string is empty.");
    return ReadResult::Error(
        ErrorDocument::Request("No jurisdictions were loaded before reading import file.  Please try again."));
  }

  // The lists, in the order state, TI, province.
  for (const std::string* list : {&settings.stateList(), &settings.tiList(), &settings.provinceList()})
    if (!list->empty()) m_logic.FillJurisdictionCaption(*list);
  return m_logic.Read(j, hooks);
}

}  // namespace zephrin
