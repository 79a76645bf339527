#include "server/web_server.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include <httplib.h>

#include "editor/web_access.h"

namespace zephrin::server {

namespace {

constexpr const char* kTokenHeader = "X-Zephrin-Token";

const char* MimeType(std::string_view name) {
  if (name.ends_with(".html")) return "text/html; charset=utf-8";
  if (name.ends_with(".js")) return "text/javascript; charset=utf-8";
  if (name.ends_with(".css")) return "text/css; charset=utf-8";
  if (name.ends_with(".svg")) return "image/svg+xml";
  if (name.ends_with(".png")) return "image/png";
  return "application/octet-stream";
}

void Refuse(httplib::Response& res, int status, const std::string& reason) {
  res.status = status;
  res.set_header("Connection", "close");
  res.set_content(reason + "\n", "text/plain; charset=utf-8");
}

bool ReadWhole(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  out = s.str();
  return true;
}

}  // namespace

std::string DefaultWebDir() {
  if (const char* dir = std::getenv("ZEPHRINIMPORT_WEB"); dir != nullptr && *dir != '\0') return dir;
#ifdef ZEPHRIN_WEB_DIR
  return ZEPHRIN_WEB_DIR;
#else
  return "web";
#endif
}

struct WebServer::Impl {
  httplib::Server server;
};

WebServer::WebServer(WebServerOptions options, EditorHub& hub)
    : m_impl(std::make_unique<Impl>()), m_options(std::move(options)), m_hub(hub), m_token(NewAccessToken()) {}

WebServer::~WebServer() { Stop(); }

std::string WebServer::Url(std::string_view page) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/" + std::string(page) + "?token=" + m_token;
}

bool WebServer::Start(std::string* error) {
  httplib::Server& svr = m_impl->server;
  const bool editorOnly = !m_options.rpc;

  svr.set_payload_max_length(m_options.maxBodyBytes);
  svr.set_read_timeout(10, 0);
  svr.set_write_timeout(10, 0);
  // One request per connection: an idle kept-alive connection would hold one
  // of the server's few worker threads, and a call that waits for the user
  // holds another.
  svr.set_keep_alive_max_count(1);
  svr.set_default_headers({{"X-Content-Type-Options", "nosniff"},
                           {"X-Frame-Options", "SAMEORIGIN"},
                           {"Referrer-Policy", "no-referrer"},
                           {"Cache-Control", "no-store"},
                           {"Content-Security-Policy",
                            "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                            "connect-src 'self'; frame-ancestors 'self'; form-action 'none'; base-uri 'none'"}});

  // Admission, before any routing: the Host header (no DNS rebinding), the
  // token, the origin. Nothing of the request beyond its headers is read first.
  svr.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (!HostAllowed(req.get_header_value("Host"), m_port)) {
      Refuse(res, 403, "Forbidden: this server answers to 127.0.0.1 and localhost only.");
      return httplib::Server::HandlerResponse::Handled;
    }
    std::string token = req.get_header_value(kTokenHeader);
    if (token.empty()) token = req.get_param_value("token");
    if (!TokenMatches(m_token, token)) {
      Refuse(res, 403, "Forbidden: the request does not carry this server's token.");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!OriginAllowed(req.get_header_value("Origin"), m_port) ||
        req.get_header_value("Sec-Fetch-Site") == "cross-site") {
      Refuse(res, 403, "Forbidden: requests from other origins are not accepted.");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (req.method != "GET" && req.method != "POST" && req.method != "HEAD") {
      Refuse(res, 405, "Method not allowed.");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  const auto jsonOnly = [](const httplib::Request& req, httplib::Response& res) {
    if (IsJsonContentType(req.get_header_value("Content-Type"))) return true;
    Refuse(res, 415, "Unsupported media type: requests must be application/json.");
    return false;
  };

  if (!editorOnly) {
    svr.Post("/rpc", [this, jsonOnly](const httplib::Request& req, httplib::Response& res) {
      if (!jsonOnly(req, res)) return;
      const std::string response = m_options.rpc(req.body);
      if (response.empty()) {
        res.status = 204;
        return;
      }
      res.set_content(response, "application/json");
    });
  }
  svr.Post("/editor", [this, jsonOnly](const httplib::Request& req, httplib::Response& res) {
    if (!jsonOnly(req, res)) return;
    res.set_content(m_hub.HandleRequest(req.body), "application/json");
  });

  // The pages: a fixed set of plain names in the web folder.
  const std::string webDir = m_options.webDir;
  svr.Get(R"(/([A-Za-z0-9_-]*(\.(html|js|css|svg|png))?))", [this, webDir, editorOnly](const httplib::Request& req,
                                                                                        httplib::Response& res) {
    std::string name = req.matches[1];
    if (name.empty()) name = editorOnly ? "editor.html" : "index.html";
    if (name.find('.') == std::string::npos || (editorOnly && name == "index.html")) {
      Refuse(res, 404, "Not found.");
      return;
    }
    std::string body;
    if (!ReadWhole(webDir + "/" + name, body)) {
      Refuse(res, 404, "Not found.");
      return;
    }
    // The pages carry the token into their own requests.
    if (name.ends_with(".html")) {
      for (std::size_t at = body.find("__TOKEN__"); at != std::string::npos; at = body.find("__TOKEN__", at))
        body.replace(at, 9, m_token);
    }
    res.set_content(body, MimeType(name));
  });

  svr.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 413) res.set_content("Payload too large.\n", "text/plain; charset=utf-8");
    else if (res.status == 404) res.set_content("Not found.\n", "text/plain; charset=utf-8");
    else res.set_content("Error " + std::to_string(res.status) + ".\n", "text/plain; charset=utf-8");
  });

  if (m_options.port == 0) {
    m_port = svr.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
      if (error) *error = "cannot listen on 127.0.0.1";
      return false;
    }
  } else {
    if (!svr.bind_to_port("127.0.0.1", m_options.port)) {
      if (error) *error = "cannot listen on 127.0.0.1:" + std::to_string(m_options.port);
      return false;
    }
    m_port = m_options.port;
  }
  m_thread = std::thread([this] { m_impl->server.listen_after_bind(); });
  return true;
}

void WebServer::Stop() {
  if (m_thread.joinable()) {
    m_impl->server.stop();
    m_thread.join();
  }
}

// ---- The editor-only server of `call` and `edit` ------------------------------------

WebEditorLauncher::WebEditorLauncher() = default;

WebEditorLauncher::~WebEditorLauncher() {
  m_hub.Stop();
  if (m_server) m_server->Stop();
}

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
