#include "service/method_table.h"

#include <cstring>

namespace zephrin {

namespace {
using P = ParamType;
using R = ReturnType;
}  // namespace

const MethodInfo kMethods[] = {
    {1, "GetTemplateNames", 0, {}, R::None},
    {2, "ReadImportFile", 5, {P::String, P::String, P::String, P::String, P::String}, R::String},
    {3, "BrowseForImport", 1, {P::String}, R::String},
    {4, "EditLayout", 4, {P::String, P::Int16, P::String, P::String}, R::OptionalString},
    {5, "SetImportRights", 2, {P::Int32, P::Int32}, R::None},
    {6, "PutCategoryTypes", 1, {P::String}, R::None},
    {7, "SetBatchIndicator", 1, {P::Int32}, R::None},
    {8, "FillJurisdictionCaptions", 1, {P::String}, R::None},
    {9, "SelectExportPDFFile", 0, {}, R::String},
    {10, "SelectExportFile", 2, {P::String, P::String}, R::String},
    {11, "CreateExportFile", 1, {P::String}, R::Long},
    {12, "ExportWriteLine", 1, {P::String}, R::Long},
    {13, "CloseExportFile", 0, {}, R::Long},
    {14, "ExportWrite", 1, {P::String}, R::Long},
    {15, "DeleteLayout", 1, {P::String}, R::None},
    {16, "GetTemplateInfo", 0, {}, R::String},
    {17, "ReadIntlImportFile", 6, {P::String, P::String, P::String, P::String, P::Int16, P::Int16}, R::String},
    {18, "DeleteFileName", 1, {P::String}, R::None},
    {19, "SetCurrentYear", 1, {P::Int16}, R::None},
    {20, "WriteOutputLine", 2, {P::String, P::String}, R::Long},
    {21, "CreateOutputFile", 1, {P::String}, R::Long},
    {22, "CloseOutputFile", 1, {P::String}, R::Long},
    {23, "SetMiscItems", 2, {P::Int32, P::Int32}, R::None},
    {24, "SetCountryOfOperation", 3, {P::String, P::String, P::String}, R::None},
    {25, "SetCountryJurisdictions", 1, {P::String}, R::None},
    {26, "GetWriteableFolderPath", 0, {}, R::String},
    {27, "CreateFolder", 1, {P::String}, R::String},
    {28, "DeleteFolder", 1, {P::String}, R::None},
    {29, "ConvertFileToByteArray", 1, {P::String}, R::Bytes},
    {30, "ConvertByteArrayToFile", 2, {P::String, P::Bytes}, R::None},
    {31, "DeleteOITFile", 1, {P::String}, R::None},
    {32, "InitInsurWPTemplate", 1, {P::String}, R::None},
    {33, "TaxReturnType", 1, {P::String}, R::None},
    {0, nullptr, 0, {}, R::None},
};

const MethodInfo* FindMethod(std::string_view name) {
  for (const MethodInfo* m = kMethods; m->name; ++m)
    if (name == m->name) return m;
  return nullptr;
}

}  // namespace zephrin
