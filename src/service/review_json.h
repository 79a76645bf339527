// The answers of ReviewImport and SuggestTemplates as JSON values, as the
// host protocol, the C library and the command line's --json give them.
#pragma once

#include <vector>

#include <nlohmann/json.hpp>

#include "service/import_review.h"
#include "service/read_service.h"

namespace zephrin {

// {"records": N, "findings": [{"line", "item", "value", "code", "message"}],
//  "moreFindings": K, "totals": [{"item", "count", "positive", "negative", "total"}]}
nlohmann::ordered_json ReviewValue(const ReviewReport& report);
// {"templates": [{"name", "score", "complete", "records", "headersMatch", "reasons"}]}
nlohmann::ordered_json SuggestionsValue(const std::vector<TemplateSuggestion>& suggestions);

}  // namespace zephrin
