#include "cli/commands.h"

#include "cli/checks.h"
#include "server/web_server.h"

namespace zephrin::cli {

namespace {
int g_exitCode = 0;
}

void RegisterCommands(CLI::App& app) {
  RegisterReadCommand(app, g_exitCode);
  RegisterTypesCommand(app, g_exitCode);
  RegisterCallCommand(app, g_exitCode);
  RegisterServeCommand(app, g_exitCode);
  RegisterEditCommand(app, g_exitCode);
  RegisterTemplateCommands(app, g_exitCode);
  RegisterReviewCommands(app, g_exitCode);
}

int ExitCode() { return g_exitCode; }

void ShowEditorInBrowser(CxmlWrapper& service, server::WebEditorLauncher& launcher) {
  service.SetEditorHost(&launcher);
  launcher.SetPreviewReader(PreviewReaderFor(service));
}

EditorHub::PreviewReader PreviewReaderFor(CxmlWrapper& service) {
  return [&service](const ReadRequest& request) {
    ReadHooks hooks;
    hooks.message = [](std::string_view, std::string_view) {};
    return service.Read(request, hooks);
  };
}

}  // namespace zephrin::cli
