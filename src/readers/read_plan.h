// A read of a plain data file as data: everything the record builder needs,
// computed once by the service from the host's request, its settings, the
// catalogue and the template store. Sources and the builder follow the plan:
// they compare no codes and no item names, and touch no service state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/read_traits.h"
#include "readers/workbook_source.h"
#include "result/xml_writer.h"

namespace zephrin {

struct JurisdictionTables;

enum class SourceFormat : char { kCsv = 'S', kDif = 'I', kFixedWidth = 'R' };

// One import item of the template, as the builder uses it.
struct PlanItem {
  std::string name;       // the item's key name (for what is written about it, never compared)
  XmlTag element;         // the element written for it
  FieldInfo field;        // its place in the file (journal-entry suppression applied)
  ValueRule rule = ValueRule::kNone;
  ChartElement chart = ChartElement::kNone;
  ItemRole role = ItemRole::kOther;
  // The item's credit column, whose amount is taken from the item's own
  // (placed only for an amount item of a template with signed amounts).
  FieldInfo credit;
};

// How a template's amounts are written in its files: as they stand (the
// values pass through as written), or to be read as signed amounts with a
// decimal point or a decimal comma.
enum class AmountForm : uint8_t { kAsWritten, kSigned, kSignedComma };

// One element of the template description, in column order.
struct TemplateEntry {
  XmlTag element;
  std::string text;       // the item name for the types that describe with names, else ""
  uint16_t column = 0;
};

// How the journal entries of a read are laid out in its file.
enum class JournalLayout : uint8_t {
  kNone,
  kBlocks,     // header rows, one blank row, account rows, two blank rows (comma-separated, DIF)
  kLineCodes,  // each item read from the line its line code names (fixed-width)
};

struct ReadPlan {
  SourceFormat format = SourceFormat::kCsv;
  std::string dataFile;    // the path as the host gave it (engine text, for messages)
  std::string dataFileOs;  // the same path as the file system takes it

  // A comma-separated file's fields end at this separator (a comma, or the
  // tab, semicolon or pipe of other separated text).
  char separator = ',';
  // A workbook is read instead of text, as a comma-separated file of the same
  // grid: its kind, and the sheet ("" = the workbook's first sheet).
  WorkbookKind workbook = WorkbookKind::kNone;
  std::string sheet;
  // The file's name ends in .xls, its contents are no workbook, and no
  // format was asked for: it is read as fixed-width text, as the name's
  // letters say, though it is likely separated text exported under that name.
  bool textNamedAsWorkbook = false;

  // ---- The document --------------------------------------------------------
  std::string rootName;
  std::vector<std::pair<std::string, std::string>> rootAttributes;  // in order
  XmlTag record;           // the record element
  // A read that cannot name its records ends with the "Unable to determine"
  // error before its first record; otherwise such a record fails on its name.
  bool failWithoutRecordName = false;
  bool lineAttribute = false;     // records carry their row index
  std::string lineAttributeName = "Line";
  int lineOffset = 0;             // added to the 0-based row index
  TemplateElement templateElement = TemplateElement::kTmplt;
  std::vector<TemplateEntry> templateDescription;  // sorted by column

  // ---- The rows ------------------------------------------------------------
  // Rows before this index are not read (the source skips them).
  int32_t beginRow = 0;
  // A blank row is a record too (comma-separated and DIF files); otherwise it
  // makes none and counts for the blank run alone.
  bool blankRowsAreRecords = true;
  // A placed item whose field is empty still gets its (empty) element.
  bool emptyFieldElements = false;
  // The cells of a row are the items themselves (cell j is item j), as a
  // fixed-width source cuts them; otherwise cell c feeds the items of column c.
  bool cellsAreItems = false;
  // Values keep characters outside printable ASCII (else they are spaces).
  bool keepAllCharacters = false;
  // Fields from the seventh on become one more category code each (TIMAP).
  bool extraColumnsAsCodes = false;
  // The read ends after this many records (0: at the end of the file).
  std::size_t recordLimit = 0;

  // ---- The items -----------------------------------------------------------
  std::vector<PlanItem> items;
  // How the amount items' values are read (their value rule is then
  // kSignedAmount).
  AmountForm amounts = AmountForm::kAsWritten;
  // The catalogue's key list the items come from (item j is its entry j),
  // for lookups by position; nullptr for a list made at run time.
  ItemList keys = nullptr;
  ChartKind chart = ChartKind::kNone;

  // ---- Journal entries -----------------------------------------------------
  JournalLayout journal = JournalLayout::kNone;
  bool chartOnly = false, balanceOnly = false;
  char jeKind = ' ';
  bool batch = false;
  // An account field with no account list to go into (the block layout's
  // wording, which differs by format).
  std::string_view noAccountList;

  // Prepared tags of the chart completions, the journal entries and the
  // extra category codes.
  XmlTag accountNumber{"Account_Number"}, accountCaption{"Account_Caption"}, trc{"TRC"}, tcc{"TCC"},
      tccCaption{"TCC_Caption"}, accountBalance{"Account_Balance"}, subcategoryCode{"Subcategory_Code"};

  // Lookups of the value rules (the service's tables) and the country's
  // jurisdictions (XML text, UTF-8) for TAXRATE.
  const JurisdictionTables* jurisdictions = nullptr;
  std::string countryJurisdictions;
};

}  // namespace zephrin
