// Texts and small helpers shared by the jurisdiction readers.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace zephrin::jur {

inline constexpr std::string_view kSupport =
    "Please close Internet browser, reboot your workstation and try again.\n"
    "If the problem occurs again, contact Ostrevar Calvenor support.</Error>";
inline constexpr std::string_view kNotLoaded = "<Error>Jurisdictions were not loaded prior to reading import file. ";
inline constexpr std::string_view kNotLoadedListed =
    "<Error>Jurisdictions were not loaded prior to reading import file.  ";
inline constexpr std::string_view kInternal = "<Error>An internal error occurred creating the XML stream. ";
inline constexpr std::string_view kCannotDetermine =
    "<Error>Cannot determine the type of import being done. Please select a different import file and try again.\n"
    "If the problem occurs again, contact Ostrevar Calvenor support.</Error>";

inline std::string WithSupport(std::string_view head) {
  std::string text(head);
  text.append(kSupport);
  return text;
}

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
