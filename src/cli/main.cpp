// zephrinimport: the command line front end. Every command drives the same
// service object the hosts use, through the same user-interface layer.
#include <unistd.h>

#include <cstdio>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/checks.h"
#include "cli/commands.h"
#include "cli/standard_output.h"
#include "platform/expected.h"
#include "platform/signal_cleanup.h"

namespace {

using zephrin::cli::Refuse;

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
  Refuse("unknown command \"" + name + "\"" + zephrin::cli::DidYouMean(name, names) +
         "; zephrinimport help lists the commands");
  return 2;
}

// The program's own help (CLI11 would show that of the command that ran).
std::string MainHelp(CLI::App& app) {
  return app.get_formatter()->make_help(&app, "zephrinimport", CLI::AppFormatMode::Normal);
}

// zephrinimport help [COMMAND].
int ShowHelp(CLI::App& app, const std::string& topic) {
  if (topic.empty()) {
    zephrin::cli::WriteOut(MainHelp(app));
    return 0;
  }
  CLI::App* command = FindCommand(app, topic);
  if (command == nullptr) return RefuseCommand(app, topic);
  zephrin::cli::WriteOut(command->help("zephrinimport"));
  return 0;
}

// Parses the command line, which runs the command. The one place where a
// failure inside a command stops: it is reported in one line, and nothing
// half-done is left behind (outputs are written whole or not at all). -1
// when the command ran and set its own exit status.
int Parse(CLI::App& app, int argc, char** argv) {
  const std::string first = argv[1];
  CLI::App* command = FindCommand(app, first);
  try {
    if (command != nullptr) {
      const auto unknown = zephrin::cli::UnknownOption(*command, std::span<char* const>(argv + 2, argv + argc));
      if (unknown) {
        Refuse(*unknown);
        return 2;
      }
    }
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) {
      // --help, --version: their text goes out as every other is, checked.
      std::ostringstream text;
      const int code = app.exit(e, text, text);
      zephrin::cli::WriteOut(text.str());
      return code;
    }
    Refuse(zephrin::cli::UsageErrorText(e, command != nullptr ? first : std::string()));
    return 2;
  } catch (const std::exception& e) {
    const zephrin::Error error = zephrin::ErrorOfException(e);
    Refuse(error.code == zephrin::ErrorCode::kOutOfMemory ? error.message : "internal error: " + error.message);
    return 1;
  }
  return -1;
}

int Run(int argc, char** argv) {
  CLI::App app{"zephrinimport: imports comma-separated (or otherwise separated), DIF, fixed-width and UTF-16 "
               "text files and Excel workbooks through saved templates and prints the records as XML."};
  app.name("zephrinimport");
  app.require_subcommand(1);
  app.set_version_flag("--version", "zephrinimport " ZEPHRIN_VERSION);
  app.footer("zephrinimport help COMMAND shows the options of a command.");
  zephrin::cli::RegisterCommands(app);

  std::string helpTopic;
  auto* help = app.add_subcommand("help", "Shows the commands, or the options of COMMAND.");
  help->add_option("COMMAND", helpTopic, "The command to show the options of.");

  // Alone, the program says how it is used.
  if (argc < 2) return ShowHelp(app, "");
  const std::string first = argv[1];
  if (!first.starts_with("-") && FindCommand(app, first) == nullptr) return RefuseCommand(app, first);
  if (first.starts_with("-") && first != "-h" && first != "--help" && first != "--version") {
    Refuse("unknown option \"" + first + "\": a command comes first; zephrinimport help lists them");
    return 2;
  }
  if (const int refused = Parse(app, argc, argv); refused >= 0) return refused;
  if (help->parsed()) return ShowHelp(app, helpTopic);
  return zephrin::cli::ExitCode();
}

}  // namespace

int main(int argc, char** argv) {
  // Interrupted, a command removes the files it was making (and its copy of
  // standard input) before it ends.
  zephrin::InstallSignalCleanup();
  return zephrin::cli::FinishOutput(Run(argc, argv));
}
