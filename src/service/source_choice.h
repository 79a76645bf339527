// Which reader takes a plain read's data file: a workbook by what its bytes
// say (or as the request insists), separated text by the request's or the
// template's separator whatever the file's name, else the format the request
// names or the file name's letter.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "readers/read_plan.h"
#include "readers/separator.h"
#include "result/read_result.h"
#include "service/read_service.h"

namespace zephrin {

// The template's own Separator and Sheet keys (engine text), when it has them.
struct TemplateSourceKeys {
  std::optional<std::string> separator, sheet;
};

// The keys of the template a request reads: a held template's, a stored
// template's (none for a built-in template).
TemplateSourceKeys SourceKeysOf(const ReadRequest& request, const std::string& storePath,
                                std::string_view templateName, bool builtIn);

struct SourceChoice {
  SourceFormat format = SourceFormat::kCsv;
  char separator = ',';
  WorkbookKind workbook = WorkbookKind::kNone;
  std::string sheet;  // engine text
  // Fixed-width text by a name that ends in .xls (see ReadPlan).
  bool textNamedAsWorkbook = false;
};

// The reader of the file, or the read's end: a template key of a value no
// read can use ("The template NAME names a separator that cannot be used:
// VALUE."), a file name of no known format.
std::variant<SourceChoice, ReadResult> ChooseSource(const ReadRequest& request, const std::string& ansiPath,
                                                     std::string_view templateName, const TemplateSourceKeys& keys);

// A jurisdiction file is comma-separated text or DIF, told apart by its
// lines. A workbook, or a separator other than the comma or fixed-width text
// asked for, ends the read with words that say so: read otherwise, its
// lines would only be taken for names of jurisdictions no list holds, or
// for descriptions without amounts. `shownPath`: the file as messages name it.
std::optional<ReadResult> JurisdictionSourceRefusal(const ReadRequest& request, std::string_view shownPath);

// Puts the choice into a plan made for its format.
void ApplySourceChoice(const SourceChoice& choice, ReadPlan& plan);

}  // namespace zephrin
