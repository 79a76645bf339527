// The subcommands of zephrinimport.
#pragma once

#include <CLI/CLI.hpp>

#include "server/editor_hub.h"
#include "service/xml_wrapper.h"

namespace zephrin::server {
class WebEditorLauncher;
}

namespace zephrin::cli {

// Adds every subcommand to the application.
void RegisterCommands(CLI::App& app);
// The exit status the command that ran asked for.
int ExitCode();

// Reads for the editor's live preview, through the given service object,
// with no message box: the page shows the outcome itself.
EditorHub::PreviewReader PreviewReaderFor(CxmlWrapper& service);

// Makes `launcher` the service object's layout editor: EditLayout shows the
// editor in a browser, on a server started for it, and its live preview
// reads through the service object. Both must outlive the editor's use.
void ShowEditorInBrowser(CxmlWrapper& service, server::WebEditorLauncher& launcher);

// Each command module registers its own subcommands.
void RegisterCallCommand(CLI::App& app, int& exitCode);
void RegisterReadCommand(CLI::App& app, int& exitCode);
void RegisterServeCommand(CLI::App& app, int& exitCode);
void RegisterEditCommand(CLI::App& app, int& exitCode);
void RegisterTemplateCommands(CLI::App& app, int& exitCode);
void RegisterReviewCommands(CLI::App& app, int& exitCode);

}  // namespace zephrin::cli
