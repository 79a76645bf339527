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
  // The one place where a failure inside a command stops: it is reported in
  // one line, and nothing half-done is left behind (outputs are written whole
  // or not at all).
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "zephrinimport: out of memory\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zephrinimport: internal error: %s\n", e.what());
    return 1;
  }
  return zephrin::cli::ExitCode();
}
