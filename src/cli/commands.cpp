#include "cli/commands.h"

namespace zephrin::cli {

namespace {
int g_exitCode = 0;
}

void RegisterCommands(CLI::App& app) {
  RegisterReadCommand(app, g_exitCode);
  RegisterCallCommand(app, g_exitCode);
  RegisterServeCommand(app, g_exitCode);
  RegisterEditCommand(app, g_exitCode);
  RegisterTemplateCommands(app, g_exitCode);
}

int ExitCode() { return g_exitCode; }

}  // namespace zephrin::cli
