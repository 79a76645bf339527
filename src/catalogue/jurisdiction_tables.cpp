#include "catalogue/jurisdiction_tables.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text.h"

namespace zephrin {
namespace {

int32_t ToInt(std::string_view text) {
  // Decimal conversion as the C library does it: leading blanks, a sign,
  // digits; kept within 32 bits.
  const LeadingNumber number = ScanLeadingNumber(text);
  int64_t value = 0;
  for (const char digit : number.digits) {
    value = value * 10 + (digit - '0');
    if (value > INT32_MAX) value = INT32_MAX + int64_t{1};
  }
  if (number.negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<int32_t>(value);
}

std::string Lookup(const std::map<std::string, int32_t, std::less<>>& table, const std::string& key) {
  const auto it = table.find(key);
  return it == table.end() ? std::string() : std::to_string(it->second);
}

// A key as the jurisdiction readers see a data file's text: each control
// character and each byte of 0x80 and above a blank. A list's "Québec" is
// also kept under that key, which is how a file's "Québec" reads; empty when
// the key has no such byte.
std::string AsReadFromFiles(std::string_view key) {
  const auto blanked = [](char c) { return static_cast<signed char>(c) < 32; };
  if (std::none_of(key.begin(), key.end(), blanked)) return {};
  std::string out(key);
  std::replace_if(out.begin(), out.end(), blanked, ' ');
  return out;
}

// Stores `value` under `key`, and under the key as files read it.
void Store(std::map<std::string, int32_t, std::less<>>& table, const std::string& key, int32_t value) {
  table[key] = value;
  if (std::string read = AsReadFromFiles(key); !read.empty()) table[read] = value;
}

}  // namespace

void TokenizeList(std::string_view text, const std::function<void(int, std::string_view)>& fn) {
  int position = 0;
  for (std::string_view token : SplitText(text, ',')) {
    while (!token.empty() && static_cast<signed char>(token.front()) <= 32) token.remove_prefix(1);
    fn(position++, token);
  }
}

void AssignJurisdictionKey(std::string& out, std::string_view text) {
  AssignLower(out, TrimRight(text));
  if (out == "0") out = "00000000";
}

bool JurisdictionTables::LoadList(std::string_view text, bool logicSubstitutions, std::string* kindOut) {
  std::string kind;
  bool prov = false;
  int32_t heldNumber = 0;
  TokenizeList(text, [&](int pos, std::string_view raw) {
    std::string token = LowerAscii(raw);
    if (pos == 0) {
      kind = token;
      prov = kind == "prov";
      return;
    }
    if (token.empty()) return;
    if (prov) {
      if (pos % 2 == 1) heldNumber = ToInt(token);
      else Store(province, token, heldNumber);
      return;
    }
    if (logicSubstitutions && kind == "logic") {
      if (token == "97000000") token = "inc";
      else if (token == "98000000") token = "fran";
    } else if (token == "93000000") {
      token = "total";
    }
    Store(index, token, pos);
  });
  if (kindOut) *kindOut = kind;
  return prov;
}

void JurisdictionTables::LoadTIList(std::string_view text, std::string* kindOut) {
  TokenizeList(text, [&](int pos, std::string_view raw) {
    std::string token = LowerAscii(raw);
    if (pos == 0) {
      if (kindOut) *kindOut = token;
      return;
    }
    if (token.empty()) return;
    const std::size_t semi = token.find(';');
    if (semi == std::string::npos) return;
    const std::size_t colon = token.find(':');
    const std::string name = token.substr(0, semi);
    // A token without ":" (or with ":" before ";") takes the whole text after
    // ";" as the first number and the whole token as the second.
    std::string_view first = std::string_view(token).substr(semi + 1);
    std::string_view second = token;
    if (colon != std::string::npos && colon > semi) {
      first = std::string_view(token).substr(semi + 1, colon - semi - 1);
      second = std::string_view(token).substr(colon + 1);
    }
    index[name] = ToInt(first);
    tiCode[name] = ToInt(second);
  });
}

std::string JurisdictionTables::FindJurID(std::string_view text) const {
  std::string key = LowerAscii(text);
  if (key == "all states") key = "allstate";
  return Lookup(province, key);
}

std::string JurisdictionTables::FindJurIndex(std::string_view text) const { return Lookup(index, LowerAscii(text)); }

std::string JurisdictionTables::FindTIJurCode(std::string_view text) const { return Lookup(tiCode, LowerAscii(text)); }

}  // namespace zephrin
