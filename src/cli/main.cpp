// zephrinimport: the command line front end. Every command drives the same
// service object the hosts use, through the same user-interface layer.
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/checks.h"
#include "cli/commands.h"

namespace {

// The subcommand named `name`, or nullptr.
CLI::App* FindCommand(CLI::App& app, const std::string& name) {
  for (CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
    if (sub->get_name() == name) return sub;
  return nullptr;
}

std::vector<std::string> CommandNames(CLI::App& app) {
  std::vector<std::string> names;
  for (CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) names.push_back(sub->get_name());
  return names;
}

// An unknown command, named, with the closest ones.
int RefuseCommand(CLI::App& app, const std::string& name) {
  const std::vector<std::string> names = CommandNames(app);
  zephrin::cli::Refuse("unknown command \"" + name + "\"" + zephrin::cli::DidYouMean(name, names) +
                       "; zephrinimport help lists the commands");
  return 2;
}

// The program's own help (CLI11 would show that of the command that ran).
std::string MainHelp(CLI::App& app) {
  return app.get_formatter()->make_help(&app, "zephrinimport", CLI::AppFormatMode::Normal);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zephrinimport: imports comma-separated, DIF and fixed-width data files through saved templates "
               "and prints the records as XML."};
  app.name("zephrinimport");
  app.require_subcommand(1);
  app.set_version_flag("--version", "zephrinimport 1.0");
  app.footer("zephrinimport help COMMAND shows the options of a command.");
  zephrin::cli::RegisterCommands(app);

  std::string helpTopic;
  auto* help = app.add_subcommand("help", "Shows the commands, or the options of COMMAND.");
  help->add_option("COMMAND", helpTopic, "The command to show the options of.");

  // Alone, the program says how it is used.
  if (argc < 2) {
    std::cout << MainHelp(app);
    return 0;
  }
  const std::string first = argv[1];
  if (!first.starts_with("-") && FindCommand(app, first) == nullptr) return RefuseCommand(app, first);
  if (first.starts_with("-") && first != "-h" && first != "--help" && first != "--version") {
    zephrin::cli::Refuse("unknown option \"" + first + "\": a command comes first; zephrinimport help lists them");
    return 2;
  }

  // The one place where a failure inside a command stops: it is reported in
  // one line, and nothing half-done is left behind (outputs are written whole
  // or not at all).
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);
    std::string message = e.what();
    const std::string command = FindCommand(app, first) != nullptr ? " " + first : "";
    zephrin::cli::Refuse(message + "; zephrinimport help" + command + " shows the options");
    return 2;
  } catch (const std::bad_alloc&) {
    zephrin::cli::Refuse("out of memory");
    return 1;
  } catch (const std::exception& e) {
    zephrin::cli::Refuse(std::string("internal error: ") + e.what());
    return 1;
  }
  if (help->parsed()) {
    if (helpTopic.empty()) {
      std::cout << MainHelp(app);
      return 0;
    }
    CLI::App* topic = FindCommand(app, helpTopic);
    if (topic == nullptr || topic == help) return RefuseCommand(app, helpTopic);
    std::cout << topic->help("zephrinimport");
    return 0;
  }
  return zephrin::cli::ExitCode();
}
