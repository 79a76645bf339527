#include "service/method_table.h"

namespace zephrin {

namespace {
using P = ParamType;
using R = ReturnType;

constexpr const char* kDataFile =
    "The data file's path: an Excel workbook (.xlsx, .xls: told by its first bytes), comma-separated (.csv), DIF (.dif) "
    "or fixed-width text.";
constexpr const char* kTemplateName =
    "The name of a saved template, or of a built-in one (CATEGORY, AABAL, ...); names compare without case.";
constexpr const char* kImportType = "The import type code (FCOA, FBJ, INTL, AABAL, ...; zephrinimport types lists them).";
constexpr const char* kObjectId = "The identifier of the object that receives the data: the root's OBJID attribute.";
constexpr const char* kReadXml =
    "The read's text: the result document, an error document (`<Error>...</Error>`), an empty text, or the text for "
    "a file name of no known format; result.outcome says which.";
constexpr const char* kWritablePath =
    "A path inside the writable folder (absolute, or relative to it), or one a file dialog of this object returned.";
constexpr const char* kSucceeded = "1 when it succeeded, 0 when it did not.";
}  // namespace

const MethodInfo kMethods[] = {
    {.id = 1, .name = "GetTemplateNames",
     .summary = "Does nothing (kept for hosts that call it).",
     .description = "Returns at once with nothing; GetTemplateInfo lists the templates.",
     .paramCount = 0, .params = {}, .paramNames = {}, .paramDescriptions = {},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 2, .name = "ReadImportFile",
     .summary = "Imports a data file through a template and returns its XML.",
     .description = "Reads the data file as the template says and returns the records as one XML text, or an error "
                    "document with a message. Nothing is written: neither the store nor the data file changes. The "
                    "template store must have been established first (GetTemplateInfo or BrowseForImport).",
     .paramCount = 5, .params = {P::String, P::String, P::String, P::String, P::String},
     .paramNames = {"dataFile", "templateName", "importType", "id", "moreInfo"},
     .paramDescriptions = {kDataFile, kTemplateName, kImportType, kObjectId,
                           "Extra text for the LOGIC built-in template; \"\" for every other read."},
     .ret = R::String, .resultName = "xml", .resultDescription = kReadXml},
    {.id = 3, .name = "BrowseForImport",
     .summary = "Asks the user for a data file to import.",
     .description = "Establishes the template store, then opens the file dialog \"Select Import File\" (answered from "
                    "the request's answers, or by the host's own dialog). Returns the chosen path, or \"\" when the "
                    "user cancelled; a chosen file's folder is remembered in the store for the next dialog.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"importType"},
     .paramDescriptions = {"The import type code the file is for; it chooses the dialog's file types (some types "
                           "take no fixed-width text)."},
     .ret = R::String, .resultName = "dataFile", .resultDescription = "The chosen data file's path; \"\" when cancelled."},
    {.id = 4, .name = "EditLayout",
     .summary = "Opens the layout editor on a data file and returns the saved template's name.",
     .description = "Shows the layout editor (in a browser page of zephrinimport serve or edit) for the data file and "
                    "waits until the user saves (OK) or cancels. Returns the name the template was saved under; "
                    "after Cancel, \"\" for a new template and the template's own name for a saved one (Cancel "
                    "saves nothing, but remembers the data file with a saved template); null when no editor can be "
                    "shown (the library has none).",
     .paramCount = 4, .params = {P::String, P::Int16, P::String, P::String},
     .paramNames = {"templateName", "intlType", "importType", "dataFile"},
     .paramDescriptions = {"The template to edit; \"\" for a new one.",
                           "The international kind (0 to 99) of an INTL template; 0 otherwise.", kImportType, kDataFile},
     .ret = R::OptionalString, .resultName = "templateName",
     .resultDescription = "The saved template's name; after Cancel \"\" (a new template) or the template's name; "
                          "null when no editor can be shown."},
    {.id = 5, .name = "SetImportRights",
     .summary = "Accepted and ignored (every import is allowed).",
     .description = "Takes a right and its value and changes nothing.",
     .paramCount = 2, .params = {P::Int32, P::Int32}, .paramNames = {"right", "value"},
     .paramDescriptions = {"The number of the right (not used).", "The right's value (not used)."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 6, .name = "PutCategoryTypes",
     .summary = "Sets the category types of jurisdiction imports.",
     .description = "Gives the jurisdiction reads the list of category types, which they check each record's type "
                    "against. Lasts for the object's life.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"categoryTypes"},
     .paramDescriptions = {"The category types, comma-separated."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 7, .name = "SetBatchIndicator",
     .summary = "Turns batch mode on.",
     .description = "In batch mode records carry company numbers and the root gets CONUM. Any value turns it on; "
                    "nothing turns it off again for the object's life.",
     .paramCount = 1, .params = {P::Int32}, .paramNames = {"value"},
     .paramDescriptions = {"Any number: batch mode is on from now on."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 8, .name = "FillJurisdictionCaptions",
     .summary = "Sets one of the jurisdiction lists.",
     .description = "Keeps a jurisdiction list by the kind its beginning names (state or logic, ti, prov, without "
                    "regard to case); jurisdiction reads need them. A text of another kind is dropped.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"list"},
     .paramDescriptions = {"The list as the host keeps it: \"state,...\", \"logic,...\", \"ti,...\" or \"prov,...\"."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 9, .name = "SelectExportPDFFile",
     .summary = "Asks the user where to save a PDF file.",
     .description = "Opens a save dialog for PDF files and returns the chosen path, or \"\" when cancelled. The path "
                    "may then be given to the file methods.",
     .paramCount = 0, .params = {}, .paramNames = {}, .paramDescriptions = {},
     .ret = R::String, .resultName = "path", .resultDescription = "The chosen path; \"\" when cancelled."},
    {.id = 10, .name = "SelectExportFile",
     .summary = "Asks the user where to save an export file.",
     .description = "Opens a save dialog with the host's file types and default name and returns the chosen path, "
                    "or \"\" when cancelled. The path may then be given to CreateExportFile.",
     .paramCount = 2, .params = {P::String, P::String}, .paramNames = {"fileTypes", "defaultFileName"},
     .paramDescriptions = {"The dialog's file types: their extensions, separated by commas (\"csv,txt\"); the first is "
                           "the one a chosen name without it takes.",
                           "The file name the dialog proposes."},
     .ret = R::String, .resultName = "path", .resultDescription = "The chosen path; \"\" when cancelled."},
    {.id = 11, .name = "CreateExportFile",
     .summary = "Creates the export file.",
     .description = "Creates (or empties) the object's one export file, closing one still open. Lines written to it "
                    "end with CR LF.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"path"}, .paramDescriptions = {kWritablePath},
     .ret = R::Long, .resultName = "created", .resultDescription = kSucceeded},
    {.id = 12, .name = "ExportWriteLine",
     .summary = "Writes a line to the export file.",
     .description = "Writes the text and a line end (CR LF) to the open export file.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"line"},
     .paramDescriptions = {"The line, without its line end."},
     .ret = R::Long, .resultName = "written", .resultDescription = "1 when it reached the file; 0 when no export file "
                                                                    "is open or the write failed."},
    {.id = 13, .name = "CloseExportFile",
     .summary = "Closes the export file.",
     .description = "Flushes the export file to disk and closes it. Status 1 when it could not be written whole.",
     .paramCount = 0, .params = {}, .paramNames = {}, .paramDescriptions = {},
     .ret = R::Long, .resultName = "closed",
     .resultDescription = "1 when the file is whole on disk (or none was open); 0 when a write or the close failed."},
    {.id = 14, .name = "ExportWrite",
     .summary = "Writes text to the export file.",
     .description = "Writes the text to the open export file with no line end added (each \"\\n\" in it is written as "
                    "CR LF).",
     .paramCount = 1, .params = {P::String}, .paramNames = {"text"}, .paramDescriptions = {"The text to write, as it is."},
     .ret = R::Long, .resultName = "written", .resultDescription = "1 when it reached the file; 0 when no export file "
                                                                    "is open or the write failed."},
    {.id = 15, .name = "DeleteLayout",
     .summary = "Deletes a saved template.",
     .description = "Removes the template from the store (import.ini); data files remembered with it stay listed. "
                    "A name that is not saved changes nothing. Status 1, with an error message, when the store could "
                    "not be written (nothing is deleted then).",
     .paramCount = 1, .params = {P::String}, .paramNames = {"templateName"},
     .paramDescriptions = {"The template's name; \"ALL TEMPLATES\" deletes every one."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 16, .name = "GetTemplateInfo",
     .summary = "Establishes the template store and lists its templates and data files.",
     .description = "Finds the writable folder and its store (import.ini), then returns the listing: every saved "
                    "template with its kind, the data files last imported with each, and the store's folder. Call it "
                    "(or BrowseForImport) before the first read.",
     .paramCount = 0, .params = {}, .paramNames = {}, .paramDescriptions = {},
     .ret = R::String, .resultName = "listing",
     .resultDescription = "The listing as XML: `<INFO><TEMPLATES><TMPL num=..><imptype/><name/></TMPL>..."
                          "</TEMPLATES><FILENAMES>...</FILENAMES><PATHNAME/><MAX_INTLCOMBO_ITEMS/></INFO>`."},
    {.id = 17, .name = "ReadIntlImportFile",
     .summary = "Imports a data file of an international kind and returns its XML.",
     .description = "As ReadImportFile, for the international import types: the kind and its year go with the read.",
     .paramCount = 6, .params = {P::String, P::String, P::String, P::String, P::Int16, P::Int16},
     .paramNames = {"dataFile", "templateName", "importType", "id", "year", "intlType"},
     .paramDescriptions = {kDataFile, kTemplateName, kImportType, kObjectId, "The year of the international read.",
                           "The international kind, 0 to 99."},
     .ret = R::String, .resultName = "xml", .resultDescription = kReadXml},
    {.id = 18, .name = "DeleteFileName",
     .summary = "Forgets which template a data file was imported with.",
     .description = "Removes the data file from the store's remembered files. A name that is not remembered changes "
                    "nothing. Status 1, with an error message, when the store could not be written (nothing is "
                    "forgotten then).",
     .paramCount = 1, .params = {P::String}, .paramNames = {"dataFile"},
     .paramDescriptions = {"The data file's path as it was imported; \"ALL FILES\" forgets every one."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 19, .name = "SetCurrentYear",
     .summary = "Sets the tax year.",
     .description = "The year some reads write as the root's YEAR attribute. Lasts for the object's life.",
     .paramCount = 1, .params = {P::Int16}, .paramNames = {"year"}, .paramDescriptions = {"The tax year, as 2025."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 20, .name = "WriteOutputLine",
     .summary = "Writes a line to an output file.",
     .description = "Writes the line and CR LF to every open output file of that name (names compare without case). "
                    "The value is null when no output file has the name.",
     .paramCount = 2, .params = {P::String, P::String}, .paramNames = {"path", "line"},
     .paramDescriptions = {"The output file's name, as CreateOutputFile was given it.", "The line, without its line end."},
     .ret = R::OptionalLong, .resultName = "written",
     .resultDescription = "1 when it reached the file, 0 when the write failed; null when no output file has the name."},
    {.id = 21, .name = "CreateOutputFile",
     .summary = "Creates an output file.",
     .description = "Creates (or empties) an output file; several may be open at once, each known by its name.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"path"}, .paramDescriptions = {kWritablePath},
     .ret = R::Long, .resultName = "created", .resultDescription = kSucceeded},
    {.id = 22, .name = "CloseOutputFile",
     .summary = "Closes an output file.",
     .description = "Flushes the output file of that name to disk and closes it.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"path"},
     .paramDescriptions = {"The output file's name, as CreateOutputFile was given it."},
     .ret = R::OptionalLong, .resultName = "closed",
     .resultDescription = "1 when the file is whole on disk, 0 when not; null when no output file has the name."},
    {.id = 23, .name = "SetMiscItems",
     .summary = "Sets one of the host's options.",
     .description = "Item 1 with value 1 records the writable folder as the template path in the registry "
                    "stand-in when the store is established (another value stops that); item 2 turns on editor option "
                    "1 to 4 (the value). Other items are ignored.",
     .paramCount = 2, .params = {P::Int32, P::Int32}, .paramNames = {"item", "value"},
     .paramDescriptions = {"Which option: 1 or 2.", "For item 1, 1 to record the folder; for item 2, the editor option (1 to 4)."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 24, .name = "SetCountryOfOperation",
     .summary = "Sets the country of operation.",
     .description = "The country that jurisdiction reads use. Lasts for the object's life.",
     .paramCount = 3, .params = {P::String, P::String, P::String}, .paramNames = {"countryId", "abbreviation", "name"},
     .paramDescriptions = {"The country's identifier.", "The country's abbreviation.", "The country's name."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 25, .name = "SetCountryJurisdictions",
     .summary = "Sets the country's jurisdictions.",
     .description = "The jurisdictions of the country of operation, as XML, that TAXRATE reads look values up in.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"xml"},
     .paramDescriptions = {"The jurisdictions as an XML text."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 26, .name = "GetWriteableFolderPath",
     .summary = "Returns the writable folder.",
     .description = "Finds (and makes, when missing) the folder that holds the template store and the host's files. "
                    "Status 1 when there is none.",
     .paramCount = 0, .params = {}, .paramNames = {}, .paramDescriptions = {},
     .ret = R::String, .resultName = "folder", .resultDescription = "The folder's path, without a final \"/\"."},
    {.id = 27, .name = "CreateFolder",
     .summary = "Makes a folder inside the writable folder.",
     .description = "Makes the folder (one that exists already serves; a folder that cannot be made is not "
                    "reported) and returns its path. Status 1 when the name lies outside the writable folder.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"folder"},
     .paramDescriptions = {"The folder: a name inside the writable folder (absolute, or relative to it)."},
     .ret = R::String, .resultName = "writableFolder",
     .resultDescription = "The writable folder's path, \"/\" and the name; \"\" when the name was refused."},
    {.id = 28, .name = "DeleteFolder",
     .summary = "Deletes a folder inside the writable folder, with its files.",
     .description = "Deletes the folder's files (not its subfolders), then the folder when it is empty. Status 1 when "
                    "the name lies outside the writable folder.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"folder"},
     .paramDescriptions = {"The folder: a name inside the writable folder (absolute, or relative to it)."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 29, .name = "ConvertFileToByteArray",
     .summary = "Returns a file's bytes.",
     .description = "Reads the whole file and returns its bytes as base64 text. A file that cannot be opened shows "
                    "the message \"Unable to open the file\" and gives status 1.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"path"}, .paramDescriptions = {kWritablePath},
     .ret = R::Bytes, .resultName = "bytes",
     .resultDescription = "The file's bytes as base64 text; null when it could not be read."},
    {.id = 30, .name = "ConvertByteArrayToFile",
     .summary = "Writes bytes to a file.",
     .description = "Writes the bytes as the file's whole content, replacing it.",
     .paramCount = 2, .params = {P::String, P::Bytes}, .paramNames = {"path", "bytes"},
     .paramDescriptions = {kWritablePath, "The content, as base64 text."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 31, .name = "DeleteOITFile",
     .summary = "Deletes a file.",
     .description = "Closes the export file, then deletes the file. Status 1 when it was refused or could not be "
                    "deleted.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"path"}, .paramDescriptions = {kWritablePath},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 32, .name = "InitInsurWPTemplate",
     .summary = "Defines the items of INSURWP imports.",
     .description = "Sets the item names of the INSURWP import type, which the host defines: every \";\" ends an "
                    "item; at most 19 items of at most 59 characters.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"items"},
     .paramDescriptions = {"The item names, each followed by \";\"."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 33, .name = "TaxReturnType",
     .summary = "Sets the tax return type.",
     .description = "Keeps the host's tax return type for the object's life.",
     .paramCount = 1, .params = {P::String}, .paramNames = {"returnType"},
     .paramDescriptions = {"The tax return type, as the host names it."},
     .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
    {.id = 34, .name = "ReviewImport",
     .summary = "Reviews a read: its records, findings and totals.",
     .description = "Reads the data file as ReadImportFile would and keeps only a review of the records: values their "
                    "item's kind does not allow (not-a-number, not-a-date, not-a-year), required items left empty "
                    "(required-missing), account numbers given twice (duplicate-account), trial balances and journal "
                    "entries that do not sum to zero (out-of-balance), a template of a kind the type does not take "
                    "(kind-mismatch), a header row read as a record (header-as-record), a line that ends inside a "
                    "double quote it opened, joining the lines after it into one field (open-quote), a carriage return inside a line, which does not "
                    "end it (carriage-return), a line of a comma-separated file with more fields than most lines because an "
                    "amount's thousands commas split it (split-amount), workbook cells that hold a formula whose result the "
                    "workbook does not keep, which read as empty (formula-without-value), a DIF file that ends "
                    "without its end-of-data mark, so that it may have been cut short (cut-short), a tab in a fixed-width "
                    "line, which counts as one column (tab), a byte that is not UTF-8 in a file of UTF-8 letters, which is "
                    "then read as Windows-1252 (not-utf8), a Ctrl-Z that ends the text with more text after it "
                    "(ctrl-z), a file named .xls that holds text, read as fixed-width text (not-a-workbook), and the "
                    "read's own failure "
                    "(read-error; a jurisdiction read, whose values the review does not check, is one too). At most 1,000 findings are listed; moreFindings counts the rest. Each amount item "
                    "gets its count and exact sums. Nothing is written.",
     .paramCount = 6, .params = {P::String, P::String, P::String, P::String, P::String, P::Int16},
     .paramNames = {"dataFile", "templateName", "importType", "id", "moreInfo", "intlType"},
     .paramDescriptions = {"The data file's path.", "The template's name.", "The import type code, as FCOA.",
                           "The host's ID for the root element.", "More information for the LOGIC template.",
                           "The international kind (0 to 99) of an INTL read; may be left out."},
     .ret = R::Object, .resultName = "review",
     .resultDescription = "{records, findings: [{line, item, value, code, message}], moreFindings, totals: [{item, "
                          "count, positive, negative, total}]}; line is the data file's line from 1, or 0.",
     .extension = true, .optionalParams = 1,
     .resultSchema = R"({"type":"object","properties":{"records":{"type":"integer"},"findings":{"type":"array",)"
                     R"("items":{"type":"object","properties":{"line":{"type":"integer"},"item":{"type":"string"},)"
                     R"("value":{"type":"string"},"code":{"type":"string","enum":["not-a-number","not-a-date",)"
                     R"("not-a-year","required-missing","duplicate-account","out-of-balance","kind-mismatch",)"
                     R"("header-as-record","read-error"]},"message":{"type":"string"}}}},)"
                     R"("moreFindings":{"type":"integer"},"totals":{"type":"array","items":{"type":"object",)"
                     R"("properties":{"item":{"type":"string"},"count":{"type":"integer"},"positive":{"type":"string"},)"
                     R"("negative":{"type":"string"},"total":{"type":"string"}}}}}})"},
    {.id = 35, .name = "SuggestTemplates",
     .summary = "Lists the saved templates that fit a data file, best first.",
     .description = "Reads the data file's first 200 lines through every saved template whose kind the import type "
                    "takes (each held in memory; nothing is written) and ranks them by the share of records with "
                    "every required item, the findings per record, and whether the template's saved header "
                    "captions match the file's header row. Status 1, with a message, when the file cannot be read "
                    "or the type is unknown.",
     .paramCount = 2, .params = {P::String, P::String}, .paramNames = {"dataFile", "importType"},
     .paramDescriptions = {"The data file's path.", "The import type code, as FCOA."},
     .ret = R::Object, .resultName = "suggestions",
     .resultDescription = "{templates: [{name, score, complete, records, headersMatch, reasons}]}, best first; "
                          "score from 0 to 1; headersMatch null for a template without saved captions.",
     .extension = true,
     .resultSchema = R"({"type":"object","properties":{"templates":{"type":"array","items":{"type":"object",)"
                     R"("properties":{"name":{"type":"string"},"score":{"type":"number"},"complete":{"type":"integer"},)"
                     R"("records":{"type":"integer"},"headersMatch":{"type":["boolean","null"]},)"
                     R"("reasons":{"type":"string"}}}}}})"},
    {.id = 0, .name = nullptr, .summary = nullptr, .description = nullptr, .paramCount = 0, .params = {},
     .paramNames = {}, .paramDescriptions = {}, .ret = R::None, .resultName = nullptr, .resultDescription = nullptr},
};

const MethodInfo* FindMethod(std::string_view name) {
  for (const MethodInfo* m = kMethods; m->name; ++m)
    if (name == m->name) return m;
  return nullptr;
}

}  // namespace zephrin
