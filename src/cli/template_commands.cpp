// zephrinimport templates / delete-template / forget-file: the saved templates
// and the data files associated with them, as a user looks after them.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cli/checks.h"
#include "cli/commands.h"
#include "cli/standard_output.h"
#include "platform/codepage.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "service/xml_wrapper.h"
#include "templates/store.h"

namespace zephrin::cli {

namespace {

// Characters a terminal shows for UTF-8 text (continuation bytes take no room).
std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
  }
  return width;
}

void PadTo(std::string& line, std::string_view cell, std::size_t width) {
  line += cell;
  for (std::size_t w = DisplayWidth(cell); w < width; ++w) line += ' ';
}

void PrintLine(std::string line) {
  line = ShownOnTerminal(line);
  while (!line.empty() && line.back() == ' ') line.pop_back();
  line += '\n';
  WriteOut(line);
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The readable listing: one row per template with the data files that use
// it, then the data files whose template is not in the index.
void PrintTable(const TemplateListing& listing, const std::string& storePath) {
  PrintOut("Template store: %s\n", ShownOnTerminal(storePath).c_str());
  if (listing.templates.empty() && listing.files.empty()) {
    PrintOut("No templates are saved.\n");
    return;
  }
  PrintOut("\n");
  struct Row {
    std::string name, type;
    std::vector<std::string> files;
  };
  std::vector<Row> rows;
  std::vector<bool> fileShown(listing.files.size(), false);
  // Each template's files, in the list's order, found by the template's name:
  // a store of many templates and files is listed in time that grows with
  // their sum, not with their product.
  std::unordered_map<std::string_view, std::vector<std::size_t>> filesOf;
  for (std::size_t i = 0; i < listing.files.size(); ++i) filesOf[listing.files[i].templateName].push_back(i);
  for (const auto& t : listing.templates) {
    Row row{AnsiToUtf8(t.name), t.type.empty() ? std::string("(unknown)") : AnsiToUtf8(t.type), {}};
    if (const auto found = filesOf.find(t.name); found != filesOf.end()) {
      for (const std::size_t i : found->second) {
        row.files.push_back(AnsiToUtf8(listing.files[i].fileName));
        fileShown[i] = true;
      }
    }
    rows.push_back(std::move(row));
  }
  if (!rows.empty()) {
    std::size_t nameWidth = DisplayWidth("NAME"), typeWidth = DisplayWidth("IMPORT TYPE");
    for (const Row& row : rows) {
      nameWidth = std::max(nameWidth, DisplayWidth(row.name));
      typeWidth = std::max(typeWidth, DisplayWidth(row.type));
    }
    nameWidth += 2;
    typeWidth += 2;
    std::string line;
    PadTo(line, "NAME", nameWidth);
    PadTo(line, "IMPORT TYPE", typeWidth);
    line += "DATA FILES";
    PrintLine(line);
    for (const Row& row : rows) {
      line.clear();
      PadTo(line, row.name, nameWidth);
      PadTo(line, row.type, typeWidth);
      line += row.files.empty() ? std::string("-") : row.files.front();
      PrintLine(line);
      for (std::size_t i = 1; i < row.files.size(); ++i) {
        line.assign(nameWidth + typeWidth, ' ');
        line += row.files[i];
        PrintLine(line);
      }
    }
  }
  // Data files whose template is not in the index, in a column of their own.
  std::vector<std::pair<std::string, std::string>> orphans;
  std::size_t fileWidth = 0;
  for (std::size_t i = 0; i < listing.files.size(); ++i) {
    if (fileShown[i]) continue;
    const auto& f = listing.files[i];
    // A template can be saved and still missing from the list (its entry
    // lost, or past a gap in the numbers): it reads, so it is not "not saved".
    std::string note = "(no template)";
    if (!f.templateName.empty())
      note = "(template " + AnsiToUtf8(f.templateName) + (f.templateSaved ? ", saved but not listed)" : ", not saved)");
    orphans.emplace_back(AnsiToUtf8(f.fileName), std::move(note));
    fileWidth = std::max(fileWidth, DisplayWidth(orphans.back().first));
  }
  if (!orphans.empty()) {
    PrintOut("%sData files whose template is not in the list:\n", rows.empty() ? "" : "\n");
    for (const auto& [fileName, note] : orphans) {
      std::string line = "  ";
      PadTo(line, fileName, fileWidth + 2);
      line += note;
      PrintLine(std::move(line));
    }
  }
  PrintOut("\n%s, %s.\n", Plural(listing.templates.size(), "template", "templates").c_str(),
              Plural(listing.files.size(), "data file", "data files").c_str());
}

// Establishes the template store as a host does first; false (with a message)
// when there is no folder for it.
bool OpenStore(CxmlWrapper& service, int& exitCode) {
  if (!service.EstablishTemplateStore()) {
    std::fprintf(stderr, "zephrinimport: no writable folder for the template store was found\n");
    exitCode = 1;
    return false;
  }
  if (auto shadowed = ShadowedStore(service.store())) {
    std::fprintf(stderr, "zephrinimport: %s\n", shadowed->c_str());
    exitCode = 1;
    return false;
  }
  WarnOfPassedOverFolder(service.store());
  return true;
}

void Report(const Expected<DeleteOutcome>& outcome, const std::string& done, const std::string& missing,
            int& exitCode) {
  if (!outcome) {
    std::fprintf(stderr, "zephrinimport: the template store could not be written: %s\n",
                 outcome.error().message.c_str());
    exitCode = 1;
  } else if (*outcome == DeleteOutcome::kDeleted) {
    PrintOut("%s\n", done.c_str());
    exitCode = 0;
  } else {
    std::fprintf(stderr, "zephrinimport: %s\n", missing.c_str());
    exitCode = 1;
  }
}

}  // namespace

void RegisterTemplateCommands(CLI::App& app, int& exitCode) {
  auto xml = std::make_shared<bool>(false);
  auto* list = app.add_subcommand("templates", "Lists the saved templates and the data files that use them.");
  list->add_flag("--xml", *xml, "Print the listing text a host receives (GetTemplateInfo) instead of the table.");
  list->callback([xml, &exitCode]() {
    ConsoleUserInterface ui;
    CxmlWrapper service(&ui);
    if (*xml) {
      std::string info;
      service.GetTemplateInfo(info);
      info += '\n';
      WriteOut(info);
      exitCode = 0;
      return;
    }
    if (!OpenStore(service, exitCode)) return;
    // An unreadable store would list as an empty one.
    if (auto failure = UnreadableStore(service.store())) {
      Refuse(*failure);
      exitCode = 1;
      return;
    }
    PrintTable(service.store().List(), service.store().path());
    exitCode = 0;
  });

  // What distinguishes the two deletion commands; the steps are the same.
  struct Deletion {
    const char* command;
    const char* help;
    const char* argument;
    const char* argumentHelp;
    const char* all;  // the name that deletes every entry
    // The name as the store has it, and its deletion.
    std::string (TemplateStore::*stored)(std::string_view typed) const;
    Expected<DeleteOutcome> (TemplateStore::*erase)(std::string_view name) const;
    const char* doneAll;
    const char* doneOne;      // followed by the name and "."
    const char* missingAll;   // followed by the store path
    const char* missingBefore;  // before the typed name
    const char* missingAfter;   // after it, followed by the store path
  };
  static const Deletion kDeletions[] = {
      {"delete-template",
       "Deletes a saved template (\"ALL TEMPLATES\": every one). The data files associated with it stay listed.",
       "NAME", "The template's name as listed (case is not needed).", "ALL TEMPLATES",
       &TemplateStore::StoredTemplateName, &TemplateStore::DeleteTemplate,
       "Deleted every template.", "Deleted template ", "no templates are saved in ", "no template named ", " in "},
      {"forget-file",
       "Forgets which template a data file was last used with (\"ALL FILES\": every data file). The template "
       "stays.",
       "DATAFILE", "The data file as listed (case is not needed).", "ALL FILES",
       &TemplateStore::StoredFileName, &TemplateStore::ForgetFile,
       "Forgot every data file.", "Forgot data file ", "no data files are listed in ", "no data file ",
       " is listed in "},
  };
  for (const Deletion& d : kDeletions) {
    auto typed = std::make_shared<std::string>();
    auto* cmd = app.add_subcommand(d.command, d.help);
    cmd->add_option(d.argument, *typed, d.argumentHelp)->required();
    cmd->callback([&d, typed, &exitCode]() {
      if (typed->empty()) {
        std::fprintf(stderr, "zephrinimport: %s must not be empty\n", d.argument);
        exitCode = 2;
        return;
      }
      ConsoleUserInterface ui;
      CxmlWrapper service(&ui);
      if (!OpenStore(service, exitCode)) return;
      const TemplateStore& store = service.store();
      const std::string stored = (store.*d.stored)(Utf8ToAnsi(*typed));
      const Expected<DeleteOutcome> outcome = (store.*d.erase)(stored);
      const bool all = stored == d.all;
      const std::string missing =
          all ? d.missingAll + store.path() : d.missingBefore + *typed + d.missingAfter + store.path();
      Report(outcome, all ? std::string(d.doneAll) : d.doneOne + AnsiToUtf8(stored) + ".", missing, exitCode);
    });
  }
}

}  // namespace zephrin::cli
