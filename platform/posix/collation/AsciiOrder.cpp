#include "platform/posix/collation/AsciiOrder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

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
bool IsPlainLocale(std::string_view id, std::string& language,
                   std::vector<std::string_view>& subtags) {
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
    if (part > 0) subtags.push_back(segment);
    ++part;
    id.remove_prefix(std::min(end + 1, id.size()));
  }
  return true;
}

// The weights with A-Z folded to a-z when case does not count, so that the loop over a
// text looks each character up once per level and no more.
struct Lookup {
  std::uint8_t primary[128], secondary[128], tertiary[128];
};

const Lookup& LookupFor(bool caseSensitive) {
  static const auto tables = [] {
    std::array<Lookup, 2> made{};
    for (int cs = 0; cs < 2; ++cs)
      for (int c = 0; c < 128; ++c) {
        int folded = !cs && c >= 'A' && c <= 'Z' ? c + 32 : c;
        made[cs].primary[c] = kAsciiWeights.primary[folded];
        made[cs].secondary[c] = kAsciiWeights.secondary[folded];
        made[cs].tertiary[c] = kAsciiWeights.tertiary[folded];
      }
    return made;
  }();
  return tables[caseSensitive];
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}

// Whether a tailored locale such as "fr_CA" reaches the user's: the same language, and
// each of its other subtags among the user's ("fr_Latn_CA" too, but not "fr_FR").
bool Reaches(std::string_view tailored, std::string_view language,
             const std::vector<std::string_view>& subtags) {
  std::size_t end = tailored.find('_');
  if (tailored.substr(0, end) != language) return false;
  while (end != std::string_view::npos) {
    tailored.remove_prefix(end + 1);
    end = tailored.find('_');
    std::string_view subtag = tailored.substr(0, end);
    if (std::none_of(subtags.begin(), subtags.end(),
                     [&](std::string_view s) { return EqualsIgnoringCase(s, subtag); }))
      return false;
  }
  return true;
}

}  // namespace

bool AsciiTableServes(std::string_view localeId) {
  if (!kAsciiWeights.usable) return false;
  std::string language;
  std::vector<std::string_view> subtags;
  if (!IsPlainLocale(localeId, language, subtags)) return false;
  if (language.empty()) return true;  // the root order
  auto end = kTailoredLanguages + kTailoredLanguageCount;
  if (std::binary_search(kTailoredLanguages, end, language.c_str(),
                         [](const char* a, const char* b) { return std::strcmp(a, b) < 0; }))
    return false;
  return std::none_of(kTailoredLocales, kTailoredLocales + kTailoredLocaleCount,
                      [&](const char* tailored) { return Reaches(tailored, language, subtags); });
}

bool AsciiTableServesUser() {
  static const bool serves = AsciiTableServes(CollationLocaleIdFromEnvironment());
  return serves;
}

// The levels of the collator's key, each separated by 1 and each a rank per character
// that the collator weighs; then, as in Collation.cpp, the special characters after a 1.
// Written in place: a million keys are the bulk of sorting a long list.
void AppendAsciiKey(std::u16string_view text, bool caseSensitive, std::string& key) {
  const Lookup& weights = LookupFor(caseSensitive);
  // A level on which every character weighs the same follows from the primary level.
  const bool secondary = kAsciiWeights.secondaryVaries;
  const bool tertiary = caseSensitive || kAsciiWeights.foldedTertiaryVaries;
  const std::size_t start = key.size(), n = text.size();
  key.resize(start + (n + 1) * 3);
  char* const primaries = key.data() + start;
  char* const secondaries = primaries + n + 1;
  char* const tertiaries = secondaries + n + 1;
  std::size_t weighed = 0;
  bool specials = false;
  for (char16_t c : text) {
    if (c >= 0x80) {
      key.resize(start);
      throw Exception(u"Not an ASCII text");
    }
    const std::uint8_t rank = weights.primary[c];
    primaries[weighed] = char(rank);
    secondaries[weighed] = char(weights.secondary[c]);
    tertiaries[weighed] = char(weights.tertiary[c]);
    weighed += rank != 0;
    if (rank == 0 && !specials) specials = SpecialWeightOf(c).weight;
  }
  char* end = primaries + weighed;
  for (auto [on, level] : {std::pair{secondary, secondaries}, std::pair{tertiary, tertiaries}}) {
    if (!on) continue;
    *end++ = '\x01';
    std::memmove(end, level, weighed);
    end += weighed;
  }
  key.resize(std::size_t(end - key.data()));
  if (!specials) return;
  key.push_back('\x01');
  std::uint32_t before = 0;
  for (char16_t c : text) {
    if (weights.primary[c]) {
      ++before;
    } else if (SpecialWeight special = SpecialWeightOf(c); special.weight) {
      AppendSpecialWeight(special, before, key);
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
