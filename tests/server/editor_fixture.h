// The service object as `zephrinimport serve` drives it: the host protocol on
// one thread (EditLayout waits there until its editor ends), the page's
// requests to the editor hub on another.
#pragma once

#include <future>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "server/editor_hub.h"
#include "service/host_protocol.h"
#include "test_util.h"

namespace zephrin::test {

using Json = nlohmann::json;

inline Json Ask(EditorHub& hub, const Json& request) { return Json::parse(hub.HandleRequest(request.dump())); }

class EditorHubFixture : public ::testing::Test {
 protected:
  EditorHubFixture() : ui(hub), service(&ui), protocol(service, ui) {
    service.SetEditorHost(&hub);
  }
  std::string Ini() const { return home.file("import.ini"); }
  // Writes the data file `name`; its path.
  std::string Data(const std::string& name, std::string_view content) const {
    WriteFile(data.file(name), content);
    return data.file(name);
  }
  // Starts EditLayout on another thread; its response.
  std::future<Json> StartEdit(const std::string& name, const std::string& type, const std::string& file,
                              int intlType = 0) {
    const Json req = {{"jsonrpc", "2.0"}, {"id", 7}, {"method", "EditLayout"},
                      {"params", Json::array({name, intlType, type, file})}};
    return std::async(std::launch::async, [this, line = req.dump()] { return Json::parse(*protocol.HandleLine(line)); });
  }
  // The hub's state once the editor is open, its messages taken.
  Json OpenState() {
    EXPECT_TRUE(hub.WaitForEditor(5000));
    Json s = Ask(hub, {{"action", "state"}, {"takeMessages", true}});
    EXPECT_TRUE(s["editor"].is_object());
    return s;
  }
  unsigned Open() { return OpenState()["editor"]["session"]; }
  Json Act(unsigned session, Json request) {
    request["session"] = session;
    return Ask(hub, request);
  }
  // Selects item `item` and clicks the grid cell (row, col); the click's reply.
  Json Place(unsigned session, int item, long row, long col) {
    Act(session, {{"action", "select"}, {"index", item}});
    return Act(session, {{"action", "click"}, {"row", row}, {"col", col}});
  }
  // A text selection's start and end, as the page sends it and the hub shows it.
  static Json Span(int line0, int col0, int line1, int col1) {
    return {{"start", {{"line", line0}, {"col", col0}}}, {"end", {{"line", line1}, {"col", col1}}}};
  }
  // A text selection from (line0, col0) to (line1, col1).
  Json SelectText(unsigned session, int line0, int col0, int line1, int col1) {
    Json request = Span(line0, col0, line1, col1);
    request["action"] = "textSelect";
    return Act(session, request);
  }
  // Cancels the editor and waits for its EditLayout to end.
  void Cancel(unsigned session, std::future<Json>& reply) {
    Act(session, {{"action", "cancel"}});
    reply.get();
  }
  // The column and start row (or length) of every item.
  static Json Positions(const Json& reply) {
    Json out = Json::array();
    for (const Json& item : reply["editor"]["items"]) out.push_back(Json::array({item["col"], item["len"]}));
    return out;
  }

  ScopedHome home;
  TempDir data;
  EditorHub hub;
  HubUserInterface ui;
  CxmlWrapper service;
  HostProtocol protocol;
};

}  // namespace zephrin::test
