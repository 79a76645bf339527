#include "service/source_choice.h"

#include "platform/codepage.h"
#include "platform/text.h"
#include "result/error_document.h"
#include "templates/template_store.h"

namespace zephrin {

namespace {

// A sheet name no workbook can hold: empty, longer than 31 characters, with
// one of : \ / ? * [ ], or starting or ending with an apostrophe. Any other
// name may be a sheet of some workbook (one without it says so itself).
bool UsableSheetName(std::string_view name) {
  constexpr std::size_t kSheetNameChars = 31;
  if (name.empty() || name.size() > kSheetNameChars) return false;
  if (name.front() == '\'' || name.back() == '\'') return false;
  return name.find_first_of(":\\/?*[]") == std::string_view::npos;
}

ReadResult UnusableKey(std::string_view templateName, std::string_view what, std::string_view value) {
  return ReadResult::Error(ErrorDocument::Request()
                               .Text("The template ")
                               .Value(templateName)
                               .Text(" names a ")
                               .Text(what)
                               .Text(" that cannot be used: ")
                               .Value(value)
                               .Text(".")
                               .Take());
}

ReadResult UnknownFormat(const std::string& ansiPath) {
  // The text hosts know for a file name of no known format; not XML.
  return ReadResult::Of(ReadOutcome::kUnknownFormat, AnsiToUtf8("NOT A CSV,DIF, TXT or PRN FILE-" + ansiPath + " - "));
}

std::optional<std::string> StoredKey(const std::string& storePath, std::string_view templateName,
                                     std::string_view key) {
  std::string value;
  if (!ReadStoreValue(storePath, TemplateSection(templateName), key, value) || value.empty()) return std::nullopt;
  return value;
}

}  // namespace

TemplateSourceKeys SourceKeysOf(const ReadRequest& request, const std::string& storePath,
                                std::string_view templateName, bool builtIn) {
  TemplateSourceKeys keys;
  if (request.heldTemplate) {
    if (!request.heldTemplate->separator.empty()) keys.separator = request.heldTemplate->separator;
    if (!request.heldTemplate->sheet.empty()) keys.sheet = request.heldTemplate->sheet;
  } else if (!builtIn && !storePath.empty()) {
    keys.separator = StoredKey(storePath, templateName, "Separator");
    keys.sheet = StoredKey(storePath, templateName, "Sheet");
  }
  return keys;
}

std::variant<SourceChoice, ReadResult> ChooseSource(const ReadRequest& request, const std::string& ansiPath,
                                                     std::string_view templateName, const TemplateSourceKeys& keys) {
  std::optional<Separator> keySeparator;
  if (keys.separator && !(keySeparator = SeparatorNamed(*keys.separator)))
    return UnusableKey(templateName, "separator", *keys.separator);
  if (keys.sheet && !UsableSheetName(*keys.sheet)) return UnusableKey(templateName, "sheet", *keys.sheet);

  SourceChoice choice;
  // A workbook first: its bytes would only be misread as text.
  choice.workbook = request.workbook != WorkbookKind::kNone ? request.workbook : SniffWorkbook(request.importFile);
  if (choice.workbook != WorkbookKind::kNone) {
    choice.sheet = !request.sheet.empty() ? Utf8ToAnsi(request.sheet) : keys.sheet.value_or("");
    return choice;
  }
  // A format the request names other than comma-separated is read as such.
  if (request.format && *request.format != SourceFormat::kCsv) {
    choice.format = *request.format;
    return choice;
  }
  if (const std::optional<Separator> separator = request.separator ? request.separator : keySeparator) {
    choice.separator = SeparatorChar(*separator);
    return choice;
  }
  const std::optional<SourceFormat> format = request.format ? request.format : ReadService::FormatOfName(ansiPath);
  if (!format) return UnknownFormat(ansiPath);
  choice.format = *format;
  // Programs export separated text under a workbook's name: by its letters
  // an .xls name is fixed-width text, which the read then warns of.
  const std::string_view name = ansiPath;
  choice.textNamedAsWorkbook = !request.format && *format == SourceFormat::kFixedWidth && name.size() >= 4 &&
                               EqualsIgnoringCase(name.substr(name.size() - 4), ".xls");
  return choice;
}

std::optional<ReadResult> JurisdictionSourceRefusal(const ReadRequest& request, std::string_view shownPath) {
  constexpr std::string_view kReadAs = "A jurisdiction file is read as comma-separated text or DIF";
  if (request.separator && *request.separator != Separator::kComma)
    return ReadResult::Error(ErrorDocument::Request()
                                 .Text(kReadAs)
                                 .Text(", not with the separator ")
                                 .Value(SeparatorName(*request.separator))
                                 .Text(".")
                                 .Take());
  if (request.format == SourceFormat::kFixedWidth)
    return ReadResult::Error(ErrorDocument::Request().Text(kReadAs).Text(", not as fixed-width text.").Take());
  if (request.workbook != WorkbookKind::kNone || SniffWorkbook(request.importFile) != WorkbookKind::kNone)
    return ReadResult::Error(ErrorDocument::Reader()
                                 .Text("The import file ")
                                 .Value(shownPath)
                                 .Text(" is a workbook. ")
                                 .Text(kReadAs)
                                 .Text(": save its sheet as comma-separated text (CSV) and import that.")
                                 .Take());
  return std::nullopt;
}

void ApplySourceChoice(const SourceChoice& choice, ReadPlan& plan) {
  plan.separator = choice.separator;
  plan.workbook = choice.workbook;
  plan.sheet = choice.sheet;
  plan.textNamedAsWorkbook = choice.textNamedAsWorkbook;
}

}  // namespace zephrin
