#include "server/web_server.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "files/upload_folder.h"
#include "platform/expected.h"
#include "platform/shared_library.h"
#include "server/http_engine.h"
#include "server/web_access.h"

// Linked into the tests; in the program it is absent, and the module that
// holds it is loaded when the first server starts.
extern "C" __attribute__((weak)) const zephrin::server::HttpModule* zephrin_http_module();

namespace zephrin::server {

namespace {

constexpr const char* kModuleName = "zephrinimport-web.so";

// An upload written by the program's own code (see HttpSetup::upload).
class FolderUpload final : public UploadSink {
 public:
  Done Begin(const std::string& folder, std::string_view name, bool replace) {
    return m_writer.Begin(UploadFolder(folder), name, replace);
  }
  Done Write(std::string_view piece) override { return m_writer.Write(piece); }
  Expected<std::string> Commit() override { return m_writer.Commit(); }

 private:
  UploadWriter m_writer;
};

Expected<std::unique_ptr<UploadSink>> BeginUpload(const std::string& folder, std::string_view name, bool replace) {
  auto upload = std::make_unique<FolderUpload>();
  if (Done begun = upload->Begin(folder, name, replace); !begun) return begun.TakeError();
  return std::unique_ptr<UploadSink>(std::move(upload));
}

// The HTTP side once it is at hand; null before.
std::atomic<const HttpModule*> g_module{nullptr};

// The running program's own file; empty when it cannot be found.
std::filesystem::path ProgramPath() {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self;
}

// Loads the module: beside the program (its build folder), else where it is
// installed, relative to the program (<exe dir>/../<libdir>/zephrinimport).
// It stays loaded for the rest of the run.
Expected<const HttpModule*> LoadModule() {
  const std::filesystem::path folder = ProgramPath().parent_path();
  // Never a path relative to the current folder, which could load anyone's code.
  if (!folder.is_absolute()) return Error{ErrorCode::kNotFound, "the program's own folder cannot be found"};
  std::filesystem::path path = folder / kModuleName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) path = (folder / ".." / ZEPHRIN_MODULE_DIR / kModuleName).lexically_normal();
  Expected<SharedLibrary> library = SharedLibrary::Open(path.string());
  if (!library) return Error{library.error().code, "the web module " + library.error().message};
  using Entry = const HttpModule* (*)();
  Expected<Entry> entry = library->Function<Entry>("zephrin_http_module");
  const HttpModule* module = entry ? (*entry)() : nullptr;
  if (module == nullptr || module->abi != kHttpModuleAbi)
    return Error{ErrorCode::kInvalid, "the web module " + path.string() + " belongs to another build of zephrinimport"};
  return module;
}

Expected<const HttpModule*> HttpSide() {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  if (const HttpModule* known = g_module.load()) return known;
  Expected<const HttpModule*> module = zephrin_http_module != nullptr ? Expected<const HttpModule*>(zephrin_http_module())
                                                                      : LoadModule();
  if (module) g_module = *module;
  return module;
}

}  // namespace

bool RequestCallerGone() {
  const HttpModule* module = g_module.load();
  return module != nullptr && module->callerGone();
}

std::string InstalledWebDir(const std::string& executable) {
  std::error_code ec;
  const std::filesystem::path dir =
      std::filesystem::path(executable).parent_path().parent_path() / "share" / "zephrinimport" / "web";
  if (executable.empty() || !std::filesystem::is_regular_file(dir / "index.html", ec)) return {};
  return dir.lexically_normal().string();
}

std::string DefaultWebDir() {
  if (const char* dir = std::getenv("ZEPHRINIMPORT_WEB"); dir != nullptr && *dir != '\0') return dir;
  // An installed program has its pages in ../share/zephrinimport/web; one
  // run from its build folder uses the source tree's.
  if (std::string installed = InstalledWebDir(ProgramPath().string()); !installed.empty()) return installed;
#ifdef ZEPHRIN_WEB_DIR
  return ZEPHRIN_WEB_DIR;
#else
  return "web";
#endif
}

WebServer::WebServer(WebServerOptions options, EditorHub& hub)
    : m_options(std::move(options)), m_hub(hub), m_token(NewAccessToken()) {}

WebServer::~WebServer() { Stop(); }

std::string WebServer::Url(std::string_view page) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/" + std::string(page) + "?token=" + m_token;
}

bool WebServer::Start(std::string* error) {
  Expected<const HttpModule*> module = HttpSide();
  if (!module) {
    if (error) *error = module.error().message;
    return false;
  }
  m_engine = (*module)->make(HttpSetup{m_options, m_token,
                                       [this](std::string_view body) { return m_hub.HandleRequest(body); },
                                       [this](std::string_view name, bool replace) {
                                         return BeginUpload(m_options.uploadsFolder, name, replace);
                                       }});
  m_port = m_engine->Bind(error);
  if (m_port == 0) {
    m_engine.reset();
    return false;
  }
  m_thread = std::thread([engine = m_engine.get()] { engine->Listen(); });
  return true;
}

void WebServer::Stop() {
  if (!m_thread.joinable()) return;
  m_engine->Stop();
  m_thread.join();
}

// ---- The editor-only server of `call` and `edit` ------------------------------------

WebEditorLauncher::WebEditorLauncher() = default;

WebEditorLauncher::~WebEditorLauncher() {
  m_hub.Stop();
  if (m_server) m_server->Stop();
}

void WebEditorLauncher::SetPreviewReader(EditorHub::PreviewReader reader) { m_hub.SetPreviewReader(std::move(reader)); }

std::string WebEditorLauncher::RunEditor(const LayoutEditorInputs& inputs,
                                         const std::function<void(std::string_view)>& trace) {
  if (!m_server && !m_failed) {
    WebServerOptions options;
    options.webDir = DefaultWebDir();
    auto server = std::make_unique<WebServer>(options, m_hub);
    std::string error;
    if (server->Start(&error)) {
      m_server = std::move(server);
      m_hub.SetOnEditorOpen([this] {
        std::fprintf(stderr, "zephrinimport: the layout editor is open at %s\n", m_server->Url().c_str());
        std::fflush(stderr);
      });
    } else {
      std::fprintf(stderr, "zephrinimport: the layout editor cannot be shown: %s\n", error.c_str());
      m_failed = true;
      m_hub.Stop();  // every editor is then cancelled at once
    }
  }
  return m_hub.RunEditor(inputs, trace);
}

}  // namespace zephrin::server
