// zephrinimport edit: opens the layout editor for a data file (in the
// browser, on a local server) and prints the name of the template it ends with.
#include <cstdio>
#include <string>

#include "cli/checks.h"
#include "cli/commands.h"
#include "cli/standard_output.h"
#include "server/web_server.h"
#include "service/xml_wrapper.h"

namespace zephrin::cli {

namespace {
struct EditOptions {
  std::string dataFile, type, templateName;
  int intlType = 0;
};
}  // namespace

void RegisterEditCommand(CLI::App& app, int& exitCode) {
  auto opts = std::make_shared<EditOptions>();
  auto* cmd = app.add_subcommand(
      "edit",
      "Opens the layout editor for DATAFILE: prints its address on standard error, waits until OK or Cancel, and "
      "prints the template name (empty after Cancel on a new template).");
  cmd->add_option("DATAFILE", opts->dataFile, "The data file: .csv comma-separated, .dif DIF, else fixed-width.")
      ->required();
  cmd->add_option("--type", opts->type, "The import type code (zephrinimport types lists them).")->required();
  cmd->add_option("--template,-t", opts->templateName, "The template to edit (default: a new one).");
  cmd->add_option("--intl-type", opts->intlType, "The international kind (0 to 99) of an INTL template.")
      ->check(WholeNumber(0, 99, "international kind"));
  cmd->callback([opts, &exitCode]() {
    if (auto refusal = UnknownTypeCode(opts->type)) {
      Refuse(*refusal);
      exitCode = 2;
      return;
    }
    if (auto reason = UnreadableDataFile(opts->dataFile)) {
      Refuse("cannot read " + opts->dataFile + ": " + *reason);
      exitCode = 1;
      return;
    }
    ConsoleUserInterface ui;
    CxmlWrapper service(&ui);
    // On a store that cannot be read the editor would show the template
    // empty, and its OK could not save.
    (void)service.EstablishTemplateStore();  // as the editor would, to find the store
    WarnOfPassedOverFolder(service.store());
    if (auto failure = UnreadableStore(service.store())) {
      Refuse(*failure);
      exitCode = 1;
      return;
    }
    server::WebEditorLauncher launcher;
    ShowEditorInBrowser(service, launcher);
    std::optional<std::string> name;
    service.EditLayout(opts->templateName, static_cast<int16_t>(opts->intlType), opts->type, opts->dataFile, name);
    // No editor could be shown, or a new template's was cancelled.
    if (!name || name->empty()) {
      exitCode = 1;
      return;
    }
    WriteOut(*name + "\n");
    FlushOut();
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
