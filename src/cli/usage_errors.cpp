// What the command line says when it is used wrongly, in its own words.
#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/checks.h"

namespace zephrin::cli {

namespace {

enum class Shape { kLong, kShort, kValue };

// How CLI11 takes an argument: a long option ("--name", "--name=value"), a
// short one ("-t", "-tVALUE"; a negative number only when an option is named
// by its digit), or a value.
Shape ShapeOf(const CLI::App& command, const std::string& arg) {
  if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-' && arg[2] != '-' && arg[2] != '=') return Shape::kLong;
  if (arg.size() >= 2 && arg[0] == '-' && arg[1] != '-') {
    const bool digit = arg[1] >= '0' && arg[1] <= '9';
    if (!digit || command.get_option_no_throw(arg.substr(0, 2)) != nullptr) return Shape::kShort;
  }
  return Shape::kValue;
}

std::vector<std::string> LongNames(const CLI::App& command) {
  std::vector<std::string> names;
  for (const CLI::Option* option : command.get_options())
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
  return names;
}

std::string HelpPointer(const std::string& command) {
  return command.empty() ? "; zephrinimport help lists the commands"
                         : "; zephrinimport help " + command + " shows the options";
}

// The text of `message` after `prefix` and before `suffix`, when it has both.
bool Between(const std::string& message, std::string_view prefix, std::string_view suffix, std::string& inner) {
  if (!message.starts_with(prefix) || !message.ends_with(suffix) || message.size() < prefix.size() + suffix.size())
    return false;
  inner = message.substr(prefix.size(), message.size() - prefix.size() - suffix.size());
  return true;
}

// An option's value that CLI11 could not take: "NAME takes ...".
std::string ArgumentText(const std::string& message) {
  std::string name;
  if (const auto colon = message.find(": At Most "); colon != std::string::npos)
    return message.substr(0, colon) + " is given more than once, and takes one value";
  if (const auto colon = message.find(": "); colon != std::string::npos)
    return message.substr(0, colon) + " needs a value";
  if (Between(message, "Expected at least 1 arguments to ", "", name) ||
      Between(message, "Expected exactly 1 arguments to ", "", name))
    return name.substr(0, name.find(',')) + " needs a value";
  return message;
}

std::string ConversionText(const std::string& message) {
  std::string name;
  if (Between(message, "", ": too many inputs for a flag", name) ||
      Between(message, "", ": Should be true/false or a number", name))
    return name + " takes no value";
  const auto equals = message.find(" = ");
  if (message.starts_with("Could not convert: ") && equals != std::string::npos)
    return message.substr(19, equals - 19) + " does not take \"" + message.substr(equals + 3) + "\"";
  return message;
}

}  // namespace

std::optional<std::string> UnknownOption(const CLI::App& command, std::span<char* const> args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string arg = args[i];
    if (arg == "--") break;
    const Shape shape = ShapeOf(command, arg);
    if (shape == Shape::kValue) continue;
    const std::string name = shape == Shape::kLong ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
    const CLI::Option* option = command.get_option_no_throw(name);
    if (option == nullptr) {
      const std::vector<std::string> names = LongNames(command);
      const std::string close = shape == Shape::kLong ? DidYouMean(name, names) : std::string();
      return "unknown option " + name + (close.empty() ? HelpPointer(command.get_name()) : close);
    }
    // The option's value, when it is the next argument, is no option.
    const bool valueInside = shape == Shape::kLong ? arg.find('=') != std::string::npos : arg.size() > 2;
    if (option->get_type_size() > 0 && !valueInside && i + 1 < args.size() &&
        ShapeOf(command, args[i + 1]) == Shape::kValue)
      ++i;
  }
  return std::nullopt;
}

std::string UsageErrorText(const CLI::ParseError& error, const std::string& command) {
  const std::string message = error.what();
  std::string text = message, a, b;
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && Between(message, "", " is required", a)) {
    text = (command.empty() ? std::string("zephrinimport") : command) + " needs " + a;
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    text = ArgumentText(message);
  } else if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
    text = ConversionText(message);
  } else if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
    if (const auto at = message.find(" requires "); at != std::string::npos)
      text = message.substr(0, at) + " needs " + message.substr(at + 10) + " as well";
  } else if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
    if (const auto at = message.find(" excludes "); at != std::string::npos)
      text = message.substr(0, at) + " and " + message.substr(at + 10) + " cannot go together";
  } else if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    // A refusal that names its option already is not prefixed with the name again.
    if (const auto colon = message.find(": "); colon != std::string::npos &&
        message.compare(colon + 2, colon + 1, message.substr(0, colon) + " ") == 0)
      text = message.substr(colon + 2);
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    if (Between(message, "The following argument was not expected: ", "", a)) text = "unexpected argument " + a;
    else if (Between(message, "The following arguments were not expected: ", "", a))
      text = "unexpected arguments " + a;
  }
  return text + HelpPointer(command);
}

CLI::Validator WholeNumber(long low, long high, const std::string& what, const std::string& example) {
  const std::string range = std::to_string(low) + " to " + std::to_string(high);
  return CLI::Validator(
      [=](const std::string& value) -> std::string {
        char* end = nullptr;
        errno = 0;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || errno != 0 || n < low || n > high)
          return "the " + what + " must be a number from " + range + example + " (not \"" + value + "\")";
        return {};
      },
      range);
}

CLI::Validator ReadableFile() {
  return CLI::Validator(
      [](const std::string& path) -> std::string {
        const std::optional<std::string> reason = UnreadableDataFile(path);
        return reason ? "cannot read " + path + ": " + *reason : std::string();
      },
      "FILE");
}

}  // namespace zephrin::cli
