// Jurisdiction lists sent by the host, and the lookup tables built from them.
//
// A list is a comma-separated text: token 0 names its kind ("state", "logic",
// "ti" or "prov"), the other tokens are its entries.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace zephrin {

// Splits `text` at commas. Before a token, bytes whose signed value is 32 or
// less (blanks, control characters and every byte of 0x80 and above) are
// skipped; the token runs to the next comma or the end. Two adjacent commas
// give an empty token, which still takes its position. `fn(position, token)`
// is called for every token, position counting from 0.
void TokenizeList(std::string_view text, const std::function<void(int, std::string_view)>& fn);

// The jurisdiction key of a text: lower-cased, trailing blanks removed, and
// "0" made "00000000".
void AssignJurisdictionKey(std::string& out, std::string_view text);

// The lookup tables of one owner (the service object or the jurisdiction
// reader). Keys are lower-case; loading adds to them, so an owner that loads
// the host's current lists for a read starts from empty tables.
struct JurisdictionTables {
  std::map<std::string, int32_t, std::less<>> index;     // key -> position (or TI first number)
  std::map<std::string, int32_t, std::less<>> province;  // key -> province number
  std::map<std::string, int32_t, std::less<>> tiCode;    // TI name -> second number

  // Loads a "state", "logic" or "prov" list; `logicSubstitutions` applies the
  // reader's "logic" list keys (97000000 -> inc, 98000000 -> fran); otherwise
  // "93000000" becomes "total". Returns true when the list was a "prov" list.
  // `kind` receives token 0 (lower-cased).
  bool LoadList(std::string_view text, bool logicSubstitutions, std::string* kind = nullptr);
  // Loads a TI list ("name;first:second" entries).
  void LoadTIList(std::string_view text, std::string* kind = nullptr);

  // Lookups: the stored number as decimal text, or "" when the key is absent.
  std::string FindJurID(std::string_view text) const;     // province table; "all states" -> "allstate"
  std::string FindJurIndex(std::string_view text) const;  // index table
  std::string FindTIJurCode(std::string_view text) const; // TI code table
};

}  // namespace zephrin
