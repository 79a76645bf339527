#include "service/review_json.h"

namespace zephrin {

using Json = nlohmann::ordered_json;

Json ReviewValue(const ReviewReport& report) {
  Json findings = Json::array();
  for (const ReviewFinding& f : report.findings)
    findings.push_back(
        {{"line", f.line}, {"item", f.item}, {"value", f.value}, {"code", f.code}, {"message", f.message}});
  Json totals = Json::array();
  for (const ReviewTotal& t : report.totals)
    totals.push_back({{"item", t.item},
                      {"count", t.count},
                      {"positive", t.positive},
                      {"negative", t.negative},
                      {"total", t.total}});
  Json value;
  value["records"] = report.records;
  value["findings"] = std::move(findings);
  value["moreFindings"] = report.moreFindings;
  value["totals"] = std::move(totals);
  return value;
}

Json SuggestionsValue(const std::vector<TemplateSuggestion>& suggestions) {
  Json templates = Json::array();
  for (const TemplateSuggestion& s : suggestions) {
    Json t;
    t["name"] = s.name;
    t["score"] = s.score;
    t["complete"] = s.complete;
    t["records"] = s.records;
    t["headersMatch"] = s.headersMatch ? Json(*s.headersMatch) : Json(nullptr);
    t["reasons"] = s.reasons;
    templates.push_back(std::move(t));
  }
  return {{"templates", std::move(templates)}};
}

}  // namespace zephrin
