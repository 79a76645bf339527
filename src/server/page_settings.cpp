#include "platform/json_depth.h"
#include "server/page_settings.h"

#include <system_error>

#include "catalogue/catalogue.h"
#include "platform/atomic_file.h"
#include "platform/file_read.h"

namespace zephrin {

namespace {

using Json = nlohmann::json;

// A settings file is a few kilobytes; anything far larger is none.
constexpr std::size_t kMaxSettingsBytes = 1u << 20;
constexpr std::size_t kMaxNameBytes = 256;

Json ErrorAnswer(std::string text) { return Json{{"error", std::move(text)}}; }

bool KnownType(const std::string& code) {
  for (const HostTypeInfo* t = kHostTypes; t->code[0] != '\0'; ++t)
    if (code == t->code) return true;
  return false;
}


bool ValidSettings(const Json& j) {
  if (!j.is_object() || !j.contains("importTypes") || !j["importTypes"].is_object()) return false;
  for (const auto& [name, type] : j["importTypes"].items())
    if (!type.is_string()) return false;
  return true;
}

}  // namespace

Json ReadPageSettings(const std::string& path) {
  std::string text;
  switch (ReadRegularFile(path, text)) {
    case FileReadStatus::kOk:
      break;
    case FileReadStatus::kMissing:
      return Json{{"importTypes", Json::object()}};
    default:
      return ErrorAnswer("The page settings file " + path + " cannot be read.");
  }
  Json j = text.size() <= kMaxSettingsBytes && !JsonNestsDeeper(text) ? Json::parse(text, nullptr, /*allow_exceptions=*/false)
                                                                     : Json();
  if (!ValidSettings(j)) return ErrorAnswer("The page settings file " + path + " is not the settings the pages write.");
  return Json{{"importTypes", std::move(j["importTypes"])}};
}

Json RememberImportType(const std::string& path, const std::string& templateName, const std::string& importType) {
  if (templateName.empty() || templateName.size() > kMaxNameBytes) return ErrorAnswer("The template name is missing or too long.");
  if (!importType.empty() && !KnownType(importType)) return ErrorAnswer("Unknown import type code: " + importType);
  // Two servers on one writable folder change the file in turn, so that
  // neither writes over what the other has just added.
  Expected<FileLock> lock = FileLock::ForFile(path);
  if (!lock) return ErrorAnswer("The page settings could not be written to " + path + ": " + lock.error().message);
  Json settings = ReadPageSettings(path);
  if (settings.contains("error")) return settings;
  if (importType.empty()) settings["importTypes"].erase(templateName);
  else settings["importTypes"][templateName] = importType;
  // The file is replaced whole or not at all.
  const Done written = WriteFileAtomically(path, settings.dump(2, ' ', false, Json::error_handler_t::replace) + "\n");
  if (!written) {
    const Error& e = written.error();
    return ErrorAnswer("The page settings could not be written to " + path + ": " +
                       (e.sysErrno != 0 ? ErrnoText(e.sysErrno) : e.message));
  }
  return settings;
}

}  // namespace zephrin
