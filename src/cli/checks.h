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

// The refusal of a template that is neither built in nor saved in the store.
std::optional<std::string> MissingTemplate(std::string_view name, const TemplateStore& store);

// Why a data file cannot be read ("no such file", "it is a folder",
// "permission denied"); nothing when it can be opened. A pipe or a device
// can be opened.
std::optional<std::string> UnreadableDataFile(const std::string& path);

// zephrinimport types: every import type code with its caption and the
// templates it takes.
void RegisterTypesCommand(CLI::App& app, int& exitCode);

}  // namespace zephrin::cli
