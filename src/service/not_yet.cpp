// Methods of the interface that this version does not build yet. The host
// protocol answers them with an error naming the method; their stand-ins here
// only keep the interface complete.
#include <set>

#include "service/host_protocol.h"

namespace zephrin {

namespace {
const std::set<std::string_view, std::less<>> kNotYet = {
    "BrowseForImport",  "EditLayout",      "SelectExportPDFFile", "SelectExportFile", "CreateExportFile",
    "ExportWriteLine",  "CloseExportFile", "ExportWrite",         "DeleteLayout",     "GetTemplateInfo",
    "DeleteFileName",   "WriteOutputLine", "CreateOutputFile",    "CloseOutputFile",  "CreateFolder",
    "DeleteFolder",     "ConvertFileToByteArray", "ConvertByteArrayToFile", "DeleteOITFile",
};
}  // namespace

bool IsMethodAvailable(std::string_view name) { return !kNotYet.contains(name); }

Status CxmlWrapper::BrowseForImport(std::string_view, std::string&) { return kOk; }
Status CxmlWrapper::EditLayout(std::string_view, int16_t, std::string_view, std::string_view, std::optional<std::string>&) { return kOk; }
Status CxmlWrapper::SelectExportPDFFile(std::string&) { return kOk; }
Status CxmlWrapper::SelectExportFile(std::string_view, std::string_view, std::string&) { return kOk; }
Status CxmlWrapper::CreateExportFile(std::string_view, int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::ExportWriteLine(std::string_view, int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::CloseExportFile(int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::ExportWrite(std::string_view, int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::DeleteLayout(std::string_view) { return kOk; }
Status CxmlWrapper::GetTemplateInfo(std::string&) { EstablishTemplateStore(); return kOk; }
Status CxmlWrapper::DeleteFileName(std::string_view) { return kOk; }
Status CxmlWrapper::WriteOutputLine(std::string_view, std::string_view, int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::CreateOutputFile(std::string_view, int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::CloseOutputFile(std::string_view, int32_t& r) { r = 0; return kOk; }
Status CxmlWrapper::CreateFolder(std::string_view, std::string&) { return kFalse; }
Status CxmlWrapper::DeleteFolder(std::string_view) { return kFalse; }
Status CxmlWrapper::ConvertFileToByteArray(std::string_view, std::optional<std::string>&) { return kFalse; }
Status CxmlWrapper::ConvertByteArrayToFile(std::string_view, std::string_view) { return kFalse; }
Status CxmlWrapper::DeleteOITFile(std::string_view) { return kFalse; }

}  // namespace zephrin
