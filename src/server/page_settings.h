// The settings the pages keep between runs, in "pages.json" in the writable
// folder (beside the template store, never in it): the import type each saved
// template was last imported with. A browser's own storage would not serve,
// as the server's port, and with it the pages' origin, changes at every start.
//
// The file is JSON text: {"importTypes": {"TEMPLATE": "CODE", ...}}, the
// template names as the store lists them.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace zephrin {

// The settings in the file: {"importTypes": {...}}. A missing file has none;
// a file that cannot be read or is not such JSON gives {"error": reason}.
nlohmann::json ReadPageSettings(const std::string& path);

// Records the import type a template was imported with, or forgets it when
// `importType` is empty, writing the file whole or not at all. A file that
// cannot be read as settings is left as it is. The settings as they now
// stand, or {"error": reason}.
nlohmann::json RememberImportType(const std::string& path, const std::string& templateName,
                                  const std::string& importType);

}  // namespace zephrin
