#include "server/web_access.h"

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/text.h"

namespace zephrin {

namespace fs = std::filesystem;

std::string NewAccessToken() {
  std::random_device rd;  // the system's entropy source
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 4; ++i) {
    uint32_t v = rd();
    for (int j = 0; j < 8; ++j, v >>= 4) token.push_back(kHex[v & 15]);
  }
  return token;
}

bool TokenMatches(std::string_view expected, std::string_view given) {
  if (expected.empty() || given.size() != expected.size()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < expected.size(); ++i)
    diff |= static_cast<unsigned char>(expected[i] ^ given[i]);
  return diff == 0;
}

namespace {
// "prefix:port"
std::string WithPort(std::string prefix, int port) {
  prefix.push_back(':');
  prefix.append(std::to_string(port));
  return prefix;
}
}  // namespace

bool HostAllowed(std::string_view host, int port) {
  // Host names compare without case; the port, when given, must be this
  // server's own (a browser leaves out port 80 only, but a client may omit it).
  std::string name = LowerAscii(host);
  if (const std::size_t colon = name.find(':'); colon != std::string::npos) {
    if (name.substr(colon + 1) != std::to_string(port)) return false;
    name.resize(colon);
  }
  return name == "127.0.0.1" || name == "localhost";
}

bool OriginAllowed(std::string_view origin, int port) {
  if (origin.empty()) return true;
  // Scheme and host compare without case, as the Host header's name does.
  const std::string lower = LowerAscii(origin);
  return lower == WithPort("http://127.0.0.1", port) || lower == WithPort("http://localhost", port);
}

bool IsJsonContentType(std::string_view contentType) {
  const std::size_t semi = contentType.find(';');
  std::string_view type = contentType.substr(0, semi);
  while (!type.empty() && type.back() == ' ') type.remove_suffix(1);
  return LowerAscii(type) == "application/json";
}

std::vector<std::string> CanonicalRoots(const std::vector<std::string>& folders) {
  std::vector<std::string> roots;
  for (const std::string& f : folders) {
    if (f.empty()) continue;
    std::error_code ec;
    const fs::path p = fs::canonical(f, ec);
    if (ec || !fs::is_directory(p, ec)) continue;
    const std::string s = p.string();
    if (std::find(roots.begin(), roots.end(), s) == roots.end()) roots.push_back(s);
  }
  return roots;
}

namespace {
bool Within(const std::string& path, const std::string& root) {
  if (path == root) return true;
  const std::string prefix = root == "/" ? root : root + "/";
  return path.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

nlohmann::json ListFolder(const std::vector<std::string>& roots, const std::string& dir) {
  using Json = nlohmann::json;
  Json out;
  out["roots"] = roots;
  if (dir.empty()) {
    out["dir"] = "";
    out["parent"] = nullptr;
    Json entries = Json::array();
    for (const std::string& r : roots) entries.push_back({{"name", r}, {"path", r}, {"dir", true}, {"size", 0}});
    out["entries"] = std::move(entries);
    return out;
  }
  std::error_code ec;
  const fs::path p = fs::canonical(dir, ec);
  if (ec) return Json{{"error", "The folder " + dir + " cannot be found."}};
  const std::string canonical = p.string();
  const auto root = std::find_if(roots.begin(), roots.end(), [&](const std::string& r) { return Within(canonical, r); });
  if (root == roots.end()) return Json{{"error", "The folder " + dir + " is not one this server may show."}};
  if (!fs::is_directory(p, ec)) return Json{{"error", dir + " is not a folder."}};

  struct Entry {
    std::string name;
    bool isDir;
    uintmax_t size;
  };
  std::vector<Entry> entries;
  fs::directory_iterator it(p, fs::directory_options::skip_permission_denied, ec);
  if (ec) return Json{{"error", "The folder " + dir + " cannot be read."}};
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;  // hidden files stay hidden
    std::error_code e2;
    const bool isDir = it->is_directory(e2);
    const bool isFile = !isDir && it->is_regular_file(e2);
    if (!isDir && !isFile) continue;
    entries.push_back({name, isDir, isFile ? it->file_size(e2) : 0});
    if (entries.size() >= 5000) break;  // a listing a person can read
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (a.isDir != b.isDir) return a.isDir;
    return a.name < b.name;
  });
  out["dir"] = canonical;
  out["parent"] = canonical == *root ? Json(nullptr) : Json(p.parent_path().string());
  Json list = Json::array();
  for (const Entry& e : entries)
    list.push_back({{"name", e.name}, {"path", (p / e.name).string()}, {"dir", e.isDir}, {"size", e.size}});
  out["entries"] = std::move(list);
  return out;
}

}  // namespace zephrin
