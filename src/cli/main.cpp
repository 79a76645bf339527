// zephrinimport: the command line front end. Every command drives the same
// service object the hosts use, through the same user-interface layer.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"zephrinimport: imports comma-separated, DIF and fixed-width data files through saved templates "
               "and prints the records as XML."};
  app.require_subcommand(1);
  app.set_version_flag("--version", "zephrinimport 1.0");
  zephrin::cli::RegisterCommands(app);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  return zephrin::cli::ExitCode();
}
