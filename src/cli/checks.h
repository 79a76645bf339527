// What the command line checks before it hands a request to the engine: what
// the engine cannot know a person meant (a mistyped type code or template
// name, a data file that cannot be opened). Each check returns the refusal
// in words, or nothing when the request may go on.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

namespace zephrin {
class TemplateStore;
}

namespace zephrin::cli {

// Prints one refusal line on standard error: "zephrinimport: " and the text.
void Refuse(std::string_view text);

// " (did you mean X?)", " (did you mean X or Y?)" with the candidates closest
// to what was typed (the same letters in another case first, then up to two
// letters off); "" when none is close.
std::string DidYouMean(std::string_view typed, std::span<const std::string> candidates);

// The refusal of an import type code the catalogue does not know.
std::optional<std::string> UnknownTypeCode(std::string_view code);
// What keeps `text` from being an XML document ("line N: REASON"); nothing
// when it is one.
std::optional<std::string> XmlProblem(std::string_view text);

// The refusal of --intl-type (an international kind, `intlType` 0 or more)
// with an import type other than INTL, which reads no international kind.
std::optional<std::string> IntlKindWithoutIntl(std::string_view code, int intlType);

// When a private temporary folder holds the template store because the
// writable folder could not be had (ZEPHRINIMPORT_HOME names a folder that
// cannot be written, say), says so on standard error, once for each such
// store: the templates saved there may be cleared with the temporary folder.
void WarnOfPassedOverFolder(const TemplateStore& store);

// When the folder passed over holds a template store of its own (a store
// the user keeps in a folder that cannot be written now), the refusal that
// says so: listing, suggesting or reading from the empty store used in its
// place would report no templates where the user has some.
std::optional<std::string> ShadowedStore(const TemplateStore& store);

// The failure of a located store that is there but cannot be read, and why;
// with a template name, nothing for a built-in template, which needs no store.
std::optional<std::string> UnreadableStore(const TemplateStore& store);
std::optional<std::string> UnreadableStore(std::string_view templateName, const TemplateStore& store);

// The refusal of a template that is neither built in nor saved in the store.
std::optional<std::string> MissingTemplate(std::string_view name, const TemplateStore& store);

// The refusal of a saved template of a kind (its "Info") that the import
// type does not read, naming the types that do. Built-in templates are not
// checked: they go with their own codes.
std::optional<std::string> WrongTemplateKind(std::string_view name, std::string_view importType,
                                             const TemplateStore& store);

// Why a data file cannot be read ("no such file", "it is a folder",
// "permission denied"); nothing when it can be opened. A pipe or a device
// can be opened.
std::optional<std::string> UnreadableDataFile(const std::string& path);

// zephrinimport types: every import type code with its caption and the
// templates it takes.
void RegisterTypesCommand(CLI::App& app, int& exitCode);

// ---- Usage errors (usage_errors.cpp) -----------------------------------------

// The refusal of the first option among `args` (what follows the command's
// name) that `command` does not have, with the closest of its options; nothing
// when every option is known. CLI11 alone would report a misspelled required
// option as a missing one.
std::optional<std::string> UnknownOption(const CLI::App& command, std::span<char* const> args);

// CLI11's refusal of a command line in the program's own words, with where
// to find the options of `command` ("" before a command).
std::string UsageErrorText(const CLI::ParseError& error, const std::string& command);

// Validators that say in words what an option takes: a whole number from
// `low` to `high` ("the WHAT must be a number from LOW to HIGH`example` (not
// "VALUE")"), and a file that can be read ("cannot read PATH: why").
CLI::Validator WholeNumber(long low, long high, const std::string& what, const std::string& example = "");
CLI::Validator ReadableFile();

}  // namespace zephrin::cli
