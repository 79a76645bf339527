// The subcommands of zephrinimport.
#pragma once

#include <CLI/CLI.hpp>

namespace zephrin::cli {

// Adds every subcommand to the application.
void RegisterCommands(CLI::App& app);
// The exit status the command that ran asked for.
int ExitCode();

// Each command module registers its own subcommands.
void RegisterCallCommand(CLI::App& app, int& exitCode);
void RegisterReadCommand(CLI::App& app, int& exitCode);
void RegisterServeCommand(CLI::App& app, int& exitCode);
void RegisterEditCommand(CLI::App& app, int& exitCode);
void RegisterTemplateCommands(CLI::App& app, int& exitCode);

}  // namespace zephrin::cli
