#include "service/method_table.h"

#include <cstring>

namespace zephrin {

namespace {
using P = ParamType;
using R = ReturnType;
}  // namespace

const MethodInfo kMethods[] = {
    {1, "GetTemplateNames", 0, {}, {}, R::None, nullptr},
    {2, "ReadImportFile", 5, {P::String, P::String, P::String, P::String, P::String}, {"pImportFile", "pTemplateFile", "pImportType", "pID", "pMoreInfo"}, R::String, "pReturnedXML"},
    {3, "BrowseForImport", 1, {P::String}, {"pImportType"}, R::String, "pImportFileName"},
    {4, "EditLayout", 4, {P::String, P::Int16, P::String, P::String}, {"pTemplateName", "IntlType", "pImportType", "pImportFileName"}, R::OptionalString, "pReturnedTemplateName"},
    {5, "SetImportRights", 2, {P::Int32, P::Int32}, {"nWhichRight", "value"}, R::None, nullptr},
    {6, "PutCategoryTypes", 1, {P::String}, {"value"}, R::None, nullptr},
    {7, "SetBatchIndicator", 1, {P::Int32}, {"value"}, R::None, nullptr},
    {8, "FillJurisdictionCaptions", 1, {P::String}, {"value"}, R::None, nullptr},
    {9, "SelectExportPDFFile", 0, {}, {}, R::String, "pExportPDFPath"},
    {10, "SelectExportFile", 2, {P::String, P::String}, {"pFileTypes", "pDefaultExportFileName"}, R::String, "pExportFileName"},
    {11, "CreateExportFile", 1, {P::String}, {"pExportFileName"}, R::Long, "CreateSucceeded"},
    {12, "ExportWriteLine", 1, {P::String}, {"pExportLine"}, R::Long, "WriteSucceeded"},
    {13, "CloseExportFile", 0, {}, {}, R::Long, "CloseSucceeded"},
    {14, "ExportWrite", 1, {P::String}, {"pExportLine"}, R::Long, "WriteSucceeded"},
    {15, "DeleteLayout", 1, {P::String}, {"pTemplateName"}, R::None, nullptr},
    {16, "GetTemplateInfo", 0, {}, {}, R::String, "pTemplateInfo"},
    {17, "ReadIntlImportFile", 6, {P::String, P::String, P::String, P::String, P::Int16, P::Int16}, {"pImportFile", "pTemplateFile", "pImportType", "pID", "IntlParam", "IntlType"}, R::String, "pReturnedXML"},
    {18, "DeleteFileName", 1, {P::String}, {"pFileName"}, R::None, nullptr},
    {19, "SetCurrentYear", 1, {P::Int16}, {"value"}, R::None, nullptr},
    {20, "WriteOutputLine", 2, {P::String, P::String}, {"pOutputFileName", "pOutputLine"}, R::OptionalLong, "WriteSucceeded"},
    {21, "CreateOutputFile", 1, {P::String}, {"pOutputFileName"}, R::Long, "CreateSucceeded"},
    {22, "CloseOutputFile", 1, {P::String}, {"pOutputFileName"}, R::OptionalLong, "CloseSucceeded"},
    {23, "SetMiscItems", 2, {P::Int32, P::Int32}, {"WhichItem", "Item"}, R::None, nullptr},
    {24, "SetCountryOfOperation", 3, {P::String, P::String, P::String}, {"pCountryID", "pCountryAbbrev", "pCountryName"}, R::None, nullptr},
    {25, "SetCountryJurisdictions", 1, {P::String}, {"CountryJurXML"}, R::None, nullptr},
    {26, "GetWriteableFolderPath", 0, {}, {}, R::String, "pLocalLowLocation"},
    {27, "CreateFolder", 1, {P::String}, {"pFolderName"}, R::String, "pLocalLowLocation"},
    {28, "DeleteFolder", 1, {P::String}, {"pFolderName"}, R::None, nullptr},
    {29, "ConvertFileToByteArray", 1, {P::String}, {"exportFilePath"}, R::Bytes, "pByteArray"},
    {30, "ConvertByteArrayToFile", 2, {P::String, P::Bytes}, {"exportFilePath", "pByteArray"}, R::None, nullptr},
    {31, "DeleteOITFile", 1, {P::String}, {"pFileName"}, R::None, nullptr},
    {32, "InitInsurWPTemplate", 1, {P::String}, {"insurwptemplate"}, R::None, nullptr},
    {33, "TaxReturnType", 1, {P::String}, {"value"}, R::None, nullptr},
    {0, nullptr, 0, {}, {}, R::None, nullptr},
};

const MethodInfo* FindMethod(std::string_view name) {
  for (const MethodInfo* m = kMethods; m->name; ++m)
    if (name == m->name) return m;
  return nullptr;
}

}  // namespace zephrin
