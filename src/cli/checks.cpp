#include "cli/checks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <pugixml.hpp>

#include "catalogue/catalogue.h"
#include "cli/standard_output.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "templates/store.h"

namespace zephrin::cli {

namespace {

// Letters to insert, delete or change to turn one text into the other, case
// aside.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (AsciiUpper(a[i - 1]) == AsciiUpper(b[j - 1]) ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string JoinAlternatives(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) out += i + 1 == names.size() ? " or " : ", ";
    out += names[i];
  }
  return out;
}

}  // namespace

void Refuse(std::string_view text) {
  std::fprintf(stderr, "zephrinimport: %.*s\n", static_cast<int>(text.size()), text.data());
}

std::string DidYouMean(std::string_view typed, std::span<const std::string> candidates) {
  std::vector<std::string> close;
  for (const std::string& c : candidates)
    if (EqualsIgnoringCase(typed, c)) close.push_back(c);
  if (close.empty()) {
    const std::size_t limit = std::min<std::size_t>(2, (typed.size() + 1) / 2);
    std::size_t best = limit + 1;
    for (const std::string& c : candidates) {
      const std::size_t d = EditDistance(typed, c);
      if (d > limit || d > best) continue;
      if (d < best) close.clear();
      best = d;
      close.push_back(c);
    }
  }
  if (close.empty()) return {};
  if (close.size() > 3) close.resize(3);
  return " (did you mean " + JoinAlternatives(close) + "?)";
}

std::optional<std::string> UnknownTypeCode(std::string_view code) {
  std::vector<std::string> codes;
  for (const KnownTypeCode& known : KnownTypeCodes()) {
    if (known.code == code) return std::nullopt;
    codes.push_back(known.code);
  }
  return "unknown import type code \"" + std::string(code) + "\"" + DidYouMean(code, codes) +
         "; zephrinimport types lists them";
}

std::optional<std::string> XmlProblem(std::string_view text) {
  pugi::xml_document doc;
  const pugi::xml_parse_result result = doc.load_buffer(text.data(), text.size());
  if (result) return std::nullopt;
  const auto offset = std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(result.offset, 0)), text.size());
  const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n');
  std::string reason = result.description();
  if (!reason.empty()) reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
  return "line " + std::to_string(line) + ": " + reason;
}

std::optional<std::string> IntlKindWithoutIntl(std::string_view code, int intlType) {
  if (intlType < 0 || code == "INTL") return std::nullopt;
  return "--intl-type is the kind of an international import, which needs --type INTL; " + std::string(code) +
         " reads no international kind";
}

void WarnOfPassedOverFolder(const TemplateStore& store) {
  // Once for each store a temporary folder holds: a server whose folder
  // turns unwritable later says so again.
  static std::string warned;
  if (store.passedOver().empty() || warned == store.path()) return;
  warned = store.path();
  std::fprintf(stderr,
               "zephrinimport: warning: the folder %s cannot hold the template store (%s); the store used is %s, "
               "in a temporary folder the system may clear (ZEPHRINIMPORT_HOME chooses the folder)\n",
               ShownOnTerminal(store.passedOver()).c_str(), store.passedOverReason().c_str(),
               ShownOnTerminal(store.path()).c_str());
}

std::optional<std::string> ShadowedStore(const TemplateStore& store) {
  if (store.passedOver().empty()) return std::nullopt;
  const std::string kept = store.passedOver() + "/import.ini";
  struct stat st {};
  if (::stat(kept.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return "the template store " + ShownOnTerminal(kept) + " cannot be used: its folder cannot be written (" +
         store.passedOverReason() + "), and the store used in its place, " + ShownOnTerminal(store.path()) +
         ", is another one; make the folder writable, or let ZEPHRINIMPORT_HOME name a folder you may write";
}

std::optional<std::string> UnreadableStore(const TemplateStore& store) {
  if (!store.located()) return std::nullopt;
  const Done readable = store.Readable();
  if (readable) return std::nullopt;
  return "the template store could not be read: " + readable.error().message;
}

std::optional<std::string> UnreadableStore(std::string_view name, const TemplateStore& store) {
  if (FindBuiltInTemplate(name) != nullptr) return std::nullopt;
  return UnreadableStore(store);
}

std::optional<std::string> MissingTemplate(std::string_view name, const TemplateStore& store) {
  if (FindBuiltInTemplate(name) != nullptr) return std::nullopt;
  const std::string stored = Utf8ToAnsi(name);
  if (!store.TemplateCode(stored).empty()) return std::nullopt;
  if (auto shadowed = ShadowedStore(store)) return shadowed;
  if (!store.located())
    return "no template named \"" + std::string(name) +
           "\": it is not built in, and no writable folder for the template store was found "
           "(set ZEPHRINIMPORT_HOME)";
  // Its settings are there, but not what kind of template it is (a store
  // edited by hand).
  if (store.HoldsTemplate(stored))
    return "the template \"" + std::string(name) + "\" in " + store.path() +
           " does not say what kind of template it is (its section [Import:" + std::string(name) +
           "] has no Info key)";
  std::vector<std::string> names;
  for (const auto& t : store.List().templates) {
    // Listed, but its settings are not there (a store edited by hand).
    if (EqualsIgnoringCase(t.name, stored))
      return "the template \"" + std::string(name) + "\" is listed in " + store.path() +
             " but its settings are not there (no section [Import:" + AnsiToUtf8(t.name) + "])";
    names.push_back(AnsiToUtf8(t.name));
  }
  for (const KnownTypeCode& known : KnownTypeCodes()) {
    if (known.templates.starts_with("built-in ")) names.push_back(known.templates.substr(9));
  }
  return "no template named \"" + std::string(name) + "\"" + DidYouMean(name, names) +
         ": it is not built in, nor saved in " + store.path() +
         " (zephrinimport templates lists the saved ones; ZEPHRINIMPORT_HOME chooses the folder)";
}

std::optional<std::string> WrongTemplateKind(std::string_view name, std::string_view importType,
                                             const TemplateStore& store) {
  if (FindBuiltInTemplate(name) != nullptr) return std::nullopt;
  const std::string kind = AnsiToUtf8(store.TemplateCode(Utf8ToAnsi(name)));
  const std::vector<std::string> types = TypesTakingKind(kind);
  if (std::find(types.begin(), types.end(), importType) != types.end()) return std::nullopt;
  std::string takers;
  for (const std::string& type : types) takers += (takers.empty() ? "" : ", ") + type;
  return "the template " + std::string(name) + " is a " + kind + " template, which " + std::string(importType) +
         " does not read; " + (takers.empty() ? "no import type reads " + kind + " templates"
                                              : kind + " templates go with " + takers);
}

std::optional<std::string> UnreadableDataFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return "no such file";
    if (errno == EACCES) return "permission denied";
    return std::string("it cannot be read: ") + std::strerror(errno);
  }
  if (S_ISDIR(st.st_mode)) return "it is a folder";
  const auto why = [](int err) -> std::string {
    if (err == EACCES || err == EPERM) return "permission denied";
    return std::string("it cannot be read: ") + std::strerror(err);
  };
  // A named pipe is not opened here: a writer waiting for a reader would
  // write its text to this check, and the text would be lost when it closes.
  if (S_ISFIFO(st.st_mode)) {
    if (::access(path.c_str(), R_OK) != 0) return why(errno);
    return std::nullopt;
  }
  // Opened without waiting, as a device may make an open wait.
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return why(errno);
  return std::nullopt;
}

void RegisterTypesCommand(CLI::App& app, int& exitCode) {
  auto* cmd = app.add_subcommand("types", "Lists every import type code with its caption and the templates "
                                          "it takes.");
  cmd->callback([&exitCode]() {
    const std::vector<KnownTypeCode> codes = KnownTypeCodes();
    std::size_t codeWidth = 4, captionWidth = 7;
    for (const KnownTypeCode& c : codes) {
      codeWidth = std::max(codeWidth, c.code.size());
      captionWidth = std::max(captionWidth, c.caption.size());
    }
    const auto row = [&](const std::string& code, const std::string& caption, const std::string& templates) {
      PrintOut("%-*s  %-*s  %s\n", static_cast<int>(codeWidth), code.c_str(), static_cast<int>(captionWidth),
               caption.c_str(), templates.c_str());
    };
    row("CODE", "CAPTION", "TEMPLATES");
    for (const KnownTypeCode& c : codes) row(c.code, c.caption, c.templates);
    PrintOut("\nA saved template goes with the codes of the kind it records (its \"Info\" key, which the layout "
             "editor\nsets from the code it was opened for); a built-in template needs no store.\n");
    exitCode = 0;
  });
}

}  // namespace zephrin::cli
