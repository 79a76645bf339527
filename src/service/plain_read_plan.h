// Planning a plain read: what the read request resolved (codes, the
// template, the item tables) becomes the read plan the sources and the record
// builder follow, computed once, here, from the catalogue's tables, the
// host's settings and the template store.
#pragma once

#include <cstdint>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/read_traits.h"
#include "platform/trace.h"
#include "readers/read_plan.h"
#include "platform/expected.h"
#include "service/host_settings.h"
#include "templates/template_store.h"

namespace zephrin {

struct JurisdictionTables;

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
  const TemplateAmounts* heldAmounts = nullptr;  // and its amount keys
  ItemList items = nullptr;
  ItemList jeOutputNames = nullptr;
};

// Where the plan's outside pieces come from.
struct PlanContext {
  SourceFormat format = SourceFormat::kCsv;
  std::string dataFile;    // engine text, for messages
  std::string dataFileOs;  // as the file system takes it
  const HostSettings* settings = nullptr;
  std::string storePath;   // the template store ("" before its place is known)
  const JurisdictionTables* tables = nullptr;
  const Tracer* trace = nullptr;
};

// The plan, or the error (its message in words) of a template whose amount
// keys cannot be followed.
Expected<ReadPlan> PlanPlainRead(const PlainRead& r, const PlanContext& c);

}  // namespace zephrin
