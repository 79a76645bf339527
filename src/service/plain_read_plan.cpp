#include "service/plain_read_plan.h"

#include <algorithm>

#include "catalogue/value_kinds.h"
#include "platform/text.h"
#include "readers/reader_messages.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

// Fixed layouts of the built-in templates: record i at column i.
void Layout(FieldInfoArray& fields, int count, uint16_t startRow) {
  for (int i = 0; i < count; ++i) fields[static_cast<std::size_t>(i)] = {static_cast<uint16_t>(i), startRow, 0};
}

// The items' places, and the template's amount keys into `amounts` (none for
// the built-in layouts).
FieldInfoArray FieldRecords(const PlainRead& r, const PlanContext& c, TemplateAmounts& amounts) {
  FieldInfoArray fields{};
  switch (FindLayoutReadTraits(r.layoutType).layout) {
    case FixedLayout::kCategory: Layout(fields, 4, 1); break;
    case FixedLayout::kTimap: Layout(fields, 6, 2); break;
    case FixedLayout::kCurfedti:
      if (c.settings->batch()) {
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
        if (r.heldAmounts) amounts = *r.heldAmounts;
      } else {
        LoadTemplate(r.items, fields, c.storePath, r.templateName, &amounts);
      }
      break;
  }
  return fields;
}

// The first row read: the smallest start row among the first N records
// whose column and start row are both not 0, less 1 (a fixed-width read
// starts at its first line).
int32_t BeginRow(const PlainRead& r, const PlanContext& c, const FieldInfoArray& fields) {
  const std::string& host = r.hostCode;
  int n = host == "INTL" ? IntlBeginRowItemCount(r.intlType) : BeginRowItemCount(host);
  c.trace->Format("GetBeginRow: nMax=%d, m_strImportType=%s", n, host.c_str());
  n = std::clamp(n, 0, static_cast<int>(kMaxFieldInfo));
  int smallest = 0;
  for (int i = 0; i < n; ++i) {
    const FieldInfo& f = fields[static_cast<std::size_t>(i)];
    if (f.nCol != 0 && f.nLen != 0 && (smallest == 0 || f.nLen < smallest)) smallest = f.nLen;
  }
  const int32_t beginRow = smallest == 0 ? 0 : smallest - 1;
  c.trace->Format("GetBeginRow: m_nBeginRow=%d,  m_szLayoutType=%s", beginRow, r.layoutType.c_str());
  return c.format == SourceFormat::kFixedWidth ? 0 : beginRow;
}

// The root element and its attributes, in the order they are set.
void PlanRoot(const PlainRead& r, const PlanContext& c, ReadPlan& plan) {
  const LayoutReadTraits& layout = FindLayoutReadTraits(r.layoutType);
  const std::string& host = r.hostCode;
  const Tracer& trace = *c.trace;
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
      } else if (c.settings->batch()) {
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
  if (c.settings->batch()) {
    if (layout.batchMarker) attributes.emplace_back("Batch", "1");
    else attributes.emplace_back("CONUM", "");
  }
  if (r.intl) {
    attributes.emplace_back("TYPE", r.kind ? r.kind->typeName : "");
    attributes.emplace_back("YEAR", r.year);
  }
  if (layout.year) attributes.emplace_back("YEAR", std::to_string(c.settings->currentYear()));
  trace.Line("DoReadInitFunctions: complete");
}

// Journal entries: the read flags, and the items of the adjustments' own
// accounts that a chart-only reclass and a balance read skip.
void PlanJournal(const PlainRead& r, const PlanContext& c, ReadPlan& plan, FieldInfoArray& fields) {
  plan.chartOnly = r.traits->group == ReadGroup::kChart;
  plan.balanceOnly = r.traits->group == ReadGroup::kBalance;
  if (r.intl) {
    plan.balanceOnly = IntlReadsBalances(r.intlType);
    plan.chartOnly = !plan.balanceOnly;
  }
  plan.jeKind = r.jeKind;
  plan.batch = c.settings->batch();
  if (!r.je) return;
  plan.journal = c.format == SourceFormat::kFixedWidth ? JournalLayout::kLineCodes : JournalLayout::kBlocks;
  plan.noAccountList = c.format == SourceFormat::kCsv ? messages::kNoAcctOneBlank : messages::kNoAcctTwoBlanks;
  if ((plan.chartOnly && plan.jeKind == 'R') || plan.balanceOnly)
    for (std::size_t i = kJESuppressedFirst; i <= kJESuppressedLast; ++i) fields[i].nLen = 0;
}

// An item's value rule in this read: comma-separated files have the fuller
// forms; a fixed-width file has none.
ValueRule RuleOf(const PlainRead& r, const PlanContext& c, std::string_view item) {
  if (c.format == SourceFormat::kFixedWidth) return ValueRule::kNone;
  ValueRule found = ValueRule::kNone;
  for (const HostReadTraits::Rule& rule : r.traits->rules) {
    if (!rule.item || item != rule.item) continue;
    found = rule.rule;
  }
  const bool csv = c.format == SourceFormat::kCsv;
  switch (found) {
    case ValueRule::kTaxRateName: return csv ? found : ValueRule::kNone;
    case ValueRule::kTaxPayPostal: return csv ? ValueRule::kTaxPayPostalRetType : found;
    case ValueRule::kTaxRateJur: return csv ? ValueRule::kTaxRateJurNamed : found;
    default: return found;
  }
}

// The items: element names, value rules, chart elements and roles.
void PlanItems(const PlainRead& r, const PlanContext& c, ReadPlan& plan, const FieldInfoArray& fields) {
  const std::string& host = r.hostCode;
  ItemList names = nullptr;
  if (r.intl) names = r.kind ? r.kind->elements : nullptr;
  else if (c.format != SourceFormat::kFixedWidth)
    names = host == "INSURWP" ? c.settings->insuranceElementList() : r.traits->elementNames;
  plan.chart = r.traits->chart;
  plan.keys = r.items;
  const std::size_t count = std::min(ItemCount(r.items), kMaxFieldInfo);
  plan.items.reserve(count);
  for (std::size_t j = 0; j < count; ++j) {
    PlanItem item;
    item.name = ItemAt(r.items, j);
    std::string_view element = names ? std::string_view(ItemAt(names, j)) : std::string_view(item.name);
    if (r.je && r.jeOutputNames) element = ItemAt(r.jeOutputNames, j);
    item.element = XmlTag(element);
    item.field = fields[j];
    item.rule = RuleOf(r, c, item.name);
    item.chart = ChartElementOf(plan.chart, item.name);
    item.role = ItemRoleOf(item.name);
    plan.items.push_back(std::move(item));
  }
}

// Signed amounts, as the template asks: every amount item reads its values
// as signed amounts, and an amount item with a credit column takes the
// credit's amount from its own. A credit column needs signed amounts, an
// amount item and that item's own column; an Amounts value the read does not know is refused rather
// than read as written.
Done PlanAmounts(const PlainRead& r, const TemplateAmounts& keys, ReadPlan& plan) {
  const std::string form = UpperAscii(keys.amounts);
  if (form == "SIGNED") plan.amounts = AmountForm::kSigned;
  else if (form == "SIGNED COMMA") plan.amounts = AmountForm::kSignedComma;
  else if (!form.empty())
    return Error{ErrorCode::kInvalid, "The template " + r.templateName + " asks for amounts written " + keys.amounts +
                                          ", which is neither SIGNED nor SIGNED COMMA."};
  for (std::size_t j = 0; j < plan.items.size(); ++j) {
    PlanItem& item = plan.items[j];
    const bool amount = ValueKindAt(r.items, j) == ValueKind::kAmount && item.rule == ValueRule::kNone;
    if (keys.credits[j].placed() && (!amount || plan.amounts == AmountForm::kAsWritten))
      return Error{ErrorCode::kInvalid, "The template " + r.templateName + " places a credit column for " +
                                            ItemCaption(item.name) + ", which needs signed amounts."};
    // A credit whose debit column is not placed would give balances the
    // template does not list (and no start row of their own).
    if (keys.credits[j].placed() && !item.field.placed())
      return Error{ErrorCode::kInvalid, "The template " + r.templateName + " places a credit column for " +
                                            ItemCaption(item.name) + ", but not its own column."};
    if (!amount || plan.amounts == AmountForm::kAsWritten) continue;
    item.rule = ValueRule::kSignedAmount;
    item.credit = keys.credits[j];
  }
  return {};
}

// The records, and how the format's rows become them.
void PlanRecords(const PlainRead& r, const PlanContext& c, ReadPlan& plan) {
  const HostReadTraits& traits = *r.traits;
  plan.record = XmlTag(r.recordElement);
  plan.keepAllCharacters = r.hostCode == "INTL" && IntlKeepsAllCharacters(r.intlType);
  plan.jurisdictions = c.tables;
  if (c.format == SourceFormat::kFixedWidth) {
    // A fixed-width file: a record per line with text, its line when the
    // template code asks for it; cells are the items.
    plan.lineAttribute = r.recordLines;
    plan.blankRowsAreRecords = false;
    plan.cellsAreItems = true;
    return;
  }
  plan.lineAttribute = r.je || r.intl || r.recordLines;
  plan.lineAttributeName = traits.sourceIdAttribute ? "SourceId" : "Line";
  plan.lineOffset = traits.lineFromOne || (r.hostCode == "INTL" && IntlLineFromOne(r.intlType)) ? 1 : 0;
  if (c.format != SourceFormat::kCsv) return;
  // Comma-separated: an empty field still makes its element, the country's
  // jurisdictions are loaded, and a read without a record name says so.
  plan.emptyFieldElements = true;
  plan.failWithoutRecordName = true;
  plan.extraColumnsAsCodes = traits.timapExtraColumns;
  plan.countryJurisdictions = c.settings->countryJurisdictions();
}

// The template element after the last record, and what it describes: the
// placed items in column order.
void PlanTemplateDescription(const PlainRead& r, const PlanContext& c, ReadPlan& plan) {
  const HostReadTraits& traits = *r.traits;
  plan.templateElement = traits.templateElement;
  if (c.format == SourceFormat::kFixedWidth || (r.je && plan.templateElement == TemplateElement::kTmplt))
    plan.templateElement = TemplateElement::kNone;
  if (r.je || plan.templateElement == TemplateElement::kNone) return;
  ItemList described = nullptr;
  if (r.intl) described = r.kind ? r.kind->elements : nullptr;
  else if (traits.describesWithNames)
    described = r.hostCode == "INSURWP" ? c.settings->insuranceElementList() : traits.elementNames;
  for (std::size_t j = 0; j < plan.items.size(); ++j) {
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

}  // namespace

Expected<ReadPlan> PlanPlainRead(const PlainRead& r, const PlanContext& c) {
  ReadPlan plan;
  plan.format = c.format;
  plan.dataFile = c.dataFile;
  plan.dataFileOs = c.dataFileOs;
  TemplateAmounts amounts;
  FieldInfoArray fields = FieldRecords(r, c, amounts);
  c.trace->Format("DoReadInitFunctions: ImportType=%s, m_szLayoutType=%s, len(m_strImportType)=%d sizeof(strID)=%d",
                  r.hostCode.c_str(), r.layoutType.c_str(), static_cast<int>(r.hostCode.size()), 17);
  plan.beginRow = BeginRow(r, c, fields);
  if (r.id.empty()) c.trace->Line("DoReadInitFunctions: ID is empty");
  PlanRoot(r, c, plan);
  PlanJournal(r, c, plan, fields);
  PlanItems(r, c, plan, fields);
  if (Done planned = PlanAmounts(r, amounts, plan); !planned) return planned.TakeError();
  PlanRecords(r, c, plan);
  PlanTemplateDescription(r, c, plan);
  return plan;
}

}  // namespace zephrin
