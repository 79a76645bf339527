// The rules by which the local web server admits a request, and the folder
// listing its file dialogs show. Kept apart from the server so that they can
// be tested alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace zephrin {

// A fresh random token: 32 hexadecimal digits.
std::string NewAccessToken();
// Compares in time independent of where the texts differ.
bool TokenMatches(std::string_view expected, std::string_view given);
// The Host header names this server: 127.0.0.1 or localhost, in any case,
// with this server's port or none.
bool HostAllowed(std::string_view host, int port);
// No Origin header, or this server's own origin.
bool OriginAllowed(std::string_view origin, int port);
// "application/json", with or without parameters.
bool IsJsonContentType(std::string_view contentType);

// The folders a file dialog may show: each given folder that exists, made
// absolute and without symbolic links, duplicates removed.
std::vector<std::string> CanonicalRoots(const std::vector<std::string>& folders);
// Lists a folder inside one of the roots: {"dir","parent","entries":[{"name","dir","size"}],"roots"};
// an empty `dir` lists the roots themselves. A folder outside the roots or
// one that cannot be read gives {"error": reason}.
nlohmann::json ListFolder(const std::vector<std::string>& roots, const std::string& dir);

}  // namespace zephrin
