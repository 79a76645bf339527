#include "editor/mapping_suggestions.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zephrin {

namespace {

// Abbreviations and other words, and the word of the item names they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 19> kSynonyms{{
    {"acct", "account"},   {"acc", "account"},       {"accnt", "account"}, {"no", "number"},
    {"num", "number"},     {"nbr", "number"},        {"nr", "number"},     {"desc", "caption"},
    {"descr", "caption"},  {"description", "caption"}, {"amt", "balance"},   {"amount", "balance"},
    {"bal", "balance"},    {"co", "company"},        {"comp", "company"},  {"dt", "date"},
    {"typ", "type"},       {"qty", "quantity"},      {"ref", "reference"},
}};

bool Alnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The words of a name, lower case, abbreviations replaced.
std::vector<std::string> Words(std::string_view name) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < name.size()) {
    while (i < name.size() && !Alnum(name[i])) ++i;
    std::string word;
    while (i < name.size() && Alnum(name[i])) word.push_back(Lower(name[i++]));
    if (word.empty()) continue;
    for (const auto& [from, to] : kSynonyms) {
      if (word == from) {
        word = to;
        break;
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

std::string Join(const std::vector<std::string>& words, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) out += words[i];
  return out;
}

}  // namespace

std::string MappingKey(std::string_view name) {
  const std::vector<std::string> words = Words(name);
  return Join(words, 0, words.size());
}

std::vector<SuggestedMapping> SuggestMappings(const std::vector<std::string>& headers,
                                              const std::vector<MappingCandidate>& candidates,
                                              const std::vector<bool>& taken) {
  std::vector<std::string> keys;
  keys.reserve(headers.size());
  for (const std::string& h : headers) keys.push_back(MappingKey(h));
  std::vector<bool> used(headers.size(), false);
  for (std::size_t c = 0; c < taken.size() && c < used.size(); ++c) used[c] = taken[c];
  std::vector<bool> matched(candidates.size(), false);
  std::vector<SuggestedMapping> out;

  // First the headers that name an item whole.
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const std::string caption = MappingKey(candidates[i].caption);
    const std::string key = MappingKey(candidates[i].key);
    for (std::size_t c = 0; c < keys.size(); ++c) {
      if (used[c] || keys[c].empty()) continue;
      if (keys[c] == caption || keys[c] == key) {
        used[c] = matched[i] = true;
        out.push_back({i, c});
        break;
      }
    }
  }
  // Then the headers that name an item without its first word ("Caption"
  // for "Account Caption") or without "Number" ("Account" for "Account
  // Number"), when exactly one item is named so.
  std::vector<std::vector<std::string>> shortNames(candidates.size());
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const std::vector<std::string> words = Words(candidates[i].caption);
    if (words.size() < 2) continue;
    shortNames[i].push_back(Join(words, 1, words.size()));
    if (words.back() == "number") shortNames[i].push_back(Join(words, 0, words.size() - 1));
  }
  for (std::size_t c = 0; c < keys.size(); ++c) {
    if (used[c] || keys[c].empty()) continue;
    std::size_t found = candidates.size();
    int count = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
      if (matched[i]) continue;
      for (const std::string& name : shortNames[i]) {
        if (name == keys[c]) {
          found = i;
          ++count;
          break;
        }
      }
    }
    if (count == 1) {
      used[c] = matched[found] = true;
      out.push_back({found, c});
    }
  }
  std::sort(out.begin(), out.end(), [](const SuggestedMapping& a, const SuggestedMapping& b) { return a.item < b.item; });
  return out;
}

}  // namespace zephrin
