// A read of a plain data file (comma-separated, DIF, fixed-width) as data:
// everything the readers need, computed once by the service from the host's
// request, its settings, the catalogue and the template store. Readers
// follow the plan; they compare no codes and touch no service state.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/read_traits.h"
#include "result/result_document.h"

namespace zephrin {

struct JurisdictionTables;

enum class SourceFormat : char { kCsv = 'S', kDif = 'I', kFixedWidth = 'R' };

// One import item of the template, as the readers use it.
struct PlanItem {
  std::string name;       // the item's key name (the rules and chart flags go by it)
  XmlTag element;         // the element written for it
  FieldInfo field;        // its place in the file (journal-entry suppression applied)
  ValueRule rule = ValueRule::kNone;
  uint8_t chart = 0;      // 0, or which chart flag it sets (PlainReader::Chart)
};

// One element of the template description, in column order.
struct TemplateEntry {
  XmlTag element;
  std::string text;       // the item name for the types that describe with names, else ""
  uint16_t column = 0;
};

struct ReadPlan {
  SourceFormat format = SourceFormat::kCsv;
  std::string dataFile;    // the path as the host gave it (engine text, for messages)
  std::string dataFileOs;  // the same path as the file system takes it

  // The document.
  std::string rootName;
  std::vector<std::pair<std::string, std::string>> rootAttributes;  // in order
  XmlTag record;           // the record element (no name: the read cannot go on)
  bool lineAttribute = false;     // records carry their line
  const char* lineAttributeName = "Line";
  int lineOffset = 0;             // added to the 0-based line or row index
  bool fixedWidthLineAttribute = false;  // the fixed-width reader's own rule
  TemplateElement templateElement = TemplateElement::kTmplt;
  std::vector<TemplateEntry> templateDescription;  // sorted by column

  // The items.
  std::vector<PlanItem> items;
  int32_t beginRow = 0;
  // The read ends after this many records (0: at the end of the file).
  std::size_t recordLimit = 0;

  // Read flags.
  bool je = false;
  bool chartOnly = false, balanceOnly = false;
  char jeKind = ' ';
  bool batch = false;
  ChartKind chart = ChartKind::kNone;
  bool keepAllCharacters = false;  // values keep characters outside printable ASCII
  bool timapExtraColumns = false;
  XmlTag subcategoryCode{"Subcategory_Code"};
  // Prepared tags of the chart completions and journal entries.
  XmlTag accountNumber{"Account_Number"}, accountCaption{"Account_Caption"}, trc{"TRC"}, tcc{"TCC"},
      tccCaption{"TCC_Caption"}, accountBalance{"Account_Balance"};

  // Lookups of the value rules (the service's tables) and the country's
  // jurisdictions (XML text, UTF-8) for TAXRATE.
  const JurisdictionTables* jurisdictions = nullptr;
  std::string countryJurisdictions;
};

}  // namespace zephrin
