#include "platform/posix/collation/AsciiOrder.h"

#include <algorithm>
#include <cstring>

#include "platform/Errors.h"
#include "platform/posix/collation/AsciiWeights.h"
#include "platform/posix/collation/CollationLocale.h"
#include "platform/posix/collation/WeighLast.h"

namespace Platform {
namespace {

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllOf(std::string_view text, bool (*test)(char)) {
  return std::all_of(text.begin(), text.end(), test);
}

// Language, then optionally a script (four letters) and a region (two letters or three
// digits). A variant or extension may select another collation: those go to ICU.
bool IsPlainLocale(std::string_view id, std::string& language) {
  std::size_t part = 0;
  while (!id.empty()) {
    std::size_t end = std::min(id.find_first_of("_-"), id.size());
    std::string_view segment = id.substr(0, end);
    bool ok = false;
    if (part == 0) {
      ok = (segment.size() == 2 || segment.size() == 3) && AllOf(segment, IsLetter);
      for (char c : segment)
        language.push_back(char(c | 0x20));
    } else if (segment.size() == 4 && part == 1) {
      ok = AllOf(segment, IsLetter);
    } else if (part <= 2 && segment.size() == 2) {
      ok = AllOf(segment, IsLetter);
      part = 2;
    } else if (part <= 2 && segment.size() == 3) {
      ok = AllOf(segment, IsDigit);
      part = 2;
    }
    if (!ok) return false;
    ++part;
    id.remove_prefix(std::min(end + 1, id.size()));
  }
  return true;
}

char16_t Folded(char16_t c, bool caseSensitive) {
  return !caseSensitive && c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

}  // namespace

bool AsciiTableServes(std::string_view localeId) {
  if (!kAsciiWeights.usable) return false;
  std::string language;
  if (!IsPlainLocale(localeId, language)) return false;
  if (language.empty()) return true;  // the root order
  auto end = kTailoredLanguages + kTailoredLanguageCount;
  return !std::binary_search(kTailoredLanguages, end, language.c_str(),
                             [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
}

bool AsciiTableServesUser() {
  static const bool serves = AsciiTableServes(CollationLocaleIdFromEnvironment());
  return serves;
}

// The levels of the collator's key, each separated by 1 and each a rank per character
// that the collator weighs; then, as in Collation.cpp, the special characters after a 1.
void AppendAsciiKey(std::u16string_view text, bool caseSensitive, std::string& key) {
  const AsciiWeights& weights = kAsciiWeights;
  bool specials = false;
  for (char16_t c : text) {
    if (c >= 0x80) throw Exception(u"Not an ASCII text");
    if (std::uint8_t rank = weights.primary[Folded(c, caseSensitive)]) {
      key.push_back(char(rank));
    } else {
      specials = specials || SpecialWeightOf(c).weight;
    }
  }
  auto level = [&](const std::uint8_t* ranks) {
    key.push_back('\x01');
    for (char16_t c : text)
      if (weights.primary[c]) key.push_back(char(ranks[Folded(c, caseSensitive)]));
  };
  // A level on which every character weighs the same follows from the primary level.
  if (weights.secondaryVaries) level(weights.secondary);
  if (caseSensitive || weights.foldedTertiaryVaries) level(weights.tertiary);
  if (!specials) return;
  key.push_back('\x01');
  std::uint32_t primaries = 0;
  for (char16_t c : text) {
    if (weights.primary[c]) {
      ++primaries;
    } else if (SpecialWeight special = SpecialWeightOf(c); special.weight) {
      AppendSpecialWeight(special, primaries, key);
    }
  }
}

int CompareAscii(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  thread_local std::string first, second;
  first.clear();
  second.clear();
  AppendAsciiKey(a, caseSensitive, first);
  AppendAsciiKey(b, caseSensitive, second);
  int order = first.compare(second);
  return (order > 0) - (order < 0);
}

}  // namespace Platform
