// The review of a read, as the service runs it: the template's kind checked
// against the import type, then the read's own plan read again with an
// observer, its document dropped as it is made.
#include <algorithm>

#include "catalogue/catalogue.h"
#include "platform/codepage.h"
#include "readers/plain_reader.h"
#include "service/read_service.h"
#include "templates/template_store.h"

namespace zephrin {
namespace {

// The template's kind, when the import type does not take it: the finding
// that says so and which types do.
std::optional<ReviewFinding> KindMismatch(const ReadRequest& request, const std::string& storePath) {
  if (request.heldTemplate || FindBuiltInTemplate(Utf8ToAnsi(request.templateName)) != nullptr) return std::nullopt;
  std::string kind;
  if (!ReadStoreValue(storePath, TemplateSection(Utf8ToAnsi(request.templateName)), "Info", kind))
    return std::nullopt;  // no such template: the read says so
  kind = AnsiToUtf8(kind);
  const std::vector<std::string> types = TypesTakingKind(kind);
  if (std::find(types.begin(), types.end(), request.importType) != types.end()) return std::nullopt;
  std::string takers;
  for (const std::string& type : types) takers += (takers.empty() ? "" : ", ") + type;
  ReviewFinding f;
  f.value = kind;
  f.code = "kind-mismatch";
  f.message = "the template " + request.templateName + " is a " + kind + " template, which " + request.importType +
              " does not read; " +
              (takers.empty() ? "no import type reads " + kind + " templates" : kind + " templates go with " + takers);
  return f;
}

}  // namespace

std::vector<bool> RequiredItemsOf(const ReadPlan& plan, std::string_view importType, int intlKind, bool batch) {
  std::vector<const char*> keys;
  for (const PlanItem& item : plan.items) keys.push_back(item.name.c_str());
  keys.push_back("");
  const HostTypeInfo* host = FindHostType(importType);
  RequiredCheckInput in;
  in.hostCode = importType;
  in.itemSet = host ? host->itemSet : "";
  in.checkGroup = EditorCheckGroup(importType, intlKind);
  in.batchMode = batch;
  in.intlKind = intlKind;
  in.keys = keys.data();
  FieldInfoArray fields{};
  for (std::size_t j = 0; j < plan.items.size() && j < fields.size(); ++j) fields[j].nLen = 1;
  in.fields = &fields;
  // An item is required when a template that places every item but it
  // fails the editor's check.
  std::vector<bool> required(plan.items.size(), false);
  for (std::size_t j = 0; j < plan.items.size() && j < fields.size(); ++j) {
    fields[j].nLen = 0;
    required[j] = !CheckRequiredItems(in);
    fields[j].nLen = 1;
  }
  return required;
}

ReviewReport ReadService::Review(const ReadRequest& request, const HostSettings& settings,
                                 const std::string& storePath) {
  // A jurisdiction read tells the review no values: rather than a clean
  // review of no record, it says that it was not checked.
  if (IsJurisdictionHostCode(request.importType)) {
    ReviewFinding f;
    f.code = "read-error";
    f.message = request.importType + " is a jurisdiction read, which the review does not check (ReadImportFile gives its text)";
    return ImportReview::Refused(std::move(f));
  }
  if (std::optional<ReviewFinding> mismatch = KindMismatch(request, storePath))
    return ImportReview::Refused(std::move(*mismatch));
  DroppingSink drop;
  ReadHooks hooks;
  hooks.sink = &drop;
  hooks.valuesOnly = true;
  Expected<ReadPlan> plan = Plan(request, settings, storePath);
  if (!plan) {
    // A read that has no plain plan (refused, or a jurisdiction read): its
    // outcome alone.
    const ReadResult read = Read(request, settings, storePath, hooks);
    ReadPlan none;
    return ImportReview(none, {}).Finish(read);
  }
  ReviewRules rules;
  rules.required = RequiredItemsOf(*plan, Utf8ToAnsi(request.importType), request.intlType, settings.batch());
  rules.balancesSumToZero = IsTrialBalance(request.importType);
  std::string amounts;
  if (!request.heldTemplate && ReadStoreValue(storePath, TemplateSection(Utf8ToAnsi(request.templateName)), "Amounts", amounts))
  {
    rules.signedAmounts = amounts.starts_with("SIGNED");
    rules.decimalComma = amounts.find("COMMA") != std::string::npos;
  }
  ImportReview review(*plan, std::move(rules));
  hooks.observer = &review;
  bool ranOut = false;
  const ReadResult read = RunPlan(*plan, hooks, &ranOut);
  // A read that ran out of memory may have stopped inside a record: what the
  // review saw of the file is left out, and the failure is its one finding.
  if (ranOut) {
    const ReadPlan none;
    return ImportReview(none, {}).Finish(read);
  }
  ReviewReport report = review.Finish(read);
  // A document without a record is no clean review: the template read nothing.
  if (read.outcome == ReadOutcome::kDocument && report.records == 0)
    report.findings.insert(report.findings.begin(), ImportReview::NothingRead());
  return report;
}

}  // namespace zephrin
