// Texts and small helpers shared by the jurisdiction readers.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

#include "result/error_document.h"

namespace zephrin::jur {

inline constexpr std::string_view kSupport =
    "Please close Internet browser, reboot your workstation and try again.\n"
    "If the problem occurs again, contact Ostrevar Calvenor support.";
inline constexpr std::string_view kNotLoaded = "Jurisdictions were not loaded prior to reading import file. ";
inline constexpr std::string_view kNotLoadedListed = "Jurisdictions were not loaded prior to reading import file.  ";
inline constexpr std::string_view kInternal = "An internal error occurred creating the XML stream. ";
inline constexpr std::string_view kCannotDetermine =
    "Cannot determine the type of import being done. Please select a different import file and try again.\n"
    "If the problem occurs again, contact Ostrevar Calvenor support.";

// The reader form of a message, and of a message followed by the support text.
inline std::string Message(std::string_view message) { return ErrorDocument::Reader(message); }
inline std::string WithSupport(std::string_view head) { return ErrorDocument::Reader().Text(head).Text(kSupport).Take(); }

// Decimal text of a number in a small buffer, without allocating.
struct Decimal {
  char buf[24];
  std::size_t len;
  explicit Decimal(long long v) {
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    len = static_cast<std::size_t>(r.ptr - buf);
  }
  std::string_view view() const { return {buf, len}; }
};

}  // namespace zephrin::jur
