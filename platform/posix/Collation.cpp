// Locale-aware comparison on POSIX: ICU, tuned to sort as Windows CompareStringW does.
// Texts of ASCII alone go to a table of the same collator's weights (AsciiOrder.h) where
// the locale leaves ASCII in the default order, so that they never load ICU.
//
// A text is compared in two steps, as Windows does. First ICU compares it at three
// levels (letters, accents, case) without its special characters (hyphens, apostrophes,
// controls; WeighLast.h), after folding it to lower case when case does not count.
// Only when that finds no difference do the special characters decide.
#include "platform/Collation.h"

#include <climits>
#include <vector>

#include "platform/Errors.h"
#include "platform/posix/collation/AsciiOrder.h"
#include "platform/posix/collation/Collator.h"
#include "platform/posix/collation/IcuApi.h"
#include "platform/posix/collation/WeighLast.h"

namespace Platform {
namespace {

struct SpecialAt {
  std::size_t offset;  // in the prepared text: the special stood before this unit
  SpecialWeight weight;
};

// A text as ICU sees it, and the special characters taken out of it.
struct Prepared {
  std::u16string_view text;
  const std::vector<SpecialAt>* specials;
};

// Scratch space per thread and per operand, so that a million keys allocate nothing.
struct Scratch {
  std::u16string text;
  std::vector<SpecialAt> specials;
};
thread_local Scratch scratch[2];

int32_t IcuLength(std::u16string_view text) {
  if (text.size() > static_cast<std::size_t>(INT32_MAX))
    throw Exception(u"Text too long to compare");
  return static_cast<int32_t>(text.size());
}

void AppendCodePoint(std::u16string& out, UChar32 c) {
  if (c <= 0xFFFF) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    out.push_back(static_cast<char16_t>(U16_LEAD(c)));
    out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
  }
}

// Hyphens, apostrophes and controls below 0x20 or at 0x7F; the rest are rarer still.
bool MaybeSpecial(char16_t c) {
  return c < 0x20 || c == u'\'' || c == u'-' || c == 0x7F || c >= 0x058A;
}

bool NeedsPreparing(std::u16string_view text, bool caseSensitive) {
  for (char16_t c : text) {
    if (!caseSensitive && (c >= 0x80 || (c >= u'A' && c <= u'Z'))) return true;
    if (MaybeSpecial(c) && SpecialWeightOf(c).weight) return true;
  }
  return false;
}

Prepared Prepare(std::u16string_view text, bool caseSensitive, Scratch& space) {
  space.specials.clear();
  if (!NeedsPreparing(text, caseSensitive)) return {text, &space.specials};
  space.text.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    UChar32 c;
    U16_NEXT(text.data(), i, text.size(), c);
    SpecialWeight special =
        c <= 0xFFFF && MaybeSpecial(char16_t(c)) ? SpecialWeightOf(char16_t(c)) : SpecialWeight{};
    if (special.weight) {
      space.specials.push_back({space.text.size(), special});
    } else if (caseSensitive) {
      AppendCodePoint(space.text, c);
    } else if (c < 0x80) {
      AppendCodePoint(space.text, c >= u'A' && c <= u'Z' ? c + 32 : c);
    } else if (c == 0x03C2) {
      // Final sigma is a case form of sigma to Windows, as the capital is: all three equal.
      space.text.push_back(u'\u03C3');
    } else {
      AppendCodePoint(space.text, Icu::Functions().u_tolower(c));
    }
  }
  return {space.text, &space.specials};
}

// A 32-bit collation element that starts a primary weight (ICU splits long ones in two
// and marks the second half as a continuation).
bool StartsPrimary(int32_t element) {
  auto bits = static_cast<uint32_t>(element);
  return (bits >> 16) != 0 && (bits & 0xC0) != 0xC0;
}

// The last level: each special character with the number of primary weights before it.
void AppendSpecialLevel(const UCollator* collator, const Prepared& text, std::string& out) {
  const Icu::Api& icu = Icu::Functions();
  const std::vector<SpecialAt>& specials = *text.specials;
  UErrorCode status = U_ZERO_ERROR;
  UCollationElements* elements =
      icu.ucol_openElements(collator, text.text.data(), IcuLength(text.text), &status);
  if (U_FAILURE(status)) throw Exception(u"Cannot iterate collation elements");
  uint32_t primaries = 0;
  std::size_t next = 0;
  for (;;) {
    int32_t element = icu.ucol_next(elements, &status);
    if (element == UCOL_NULLORDER || U_FAILURE(status)) break;
    auto end = static_cast<std::size_t>(icu.ucol_getOffset(elements));
    while (next < specials.size() && specials[next].offset < end)
      AppendSpecialWeight(specials[next++].weight, primaries, out);
    if (StartsPrimary(element)) ++primaries;
  }
  icu.ucol_closeElements(elements);
  if (U_FAILURE(status)) throw Exception(u"Cannot iterate collation elements");
  while (next < specials.size())
    AppendSpecialWeight(specials[next++].weight, primaries, out);
}

void AppendIcuKey(const UCollator* collator, std::u16string_view text, std::string& key) {
  const Icu::Api& icu = Icu::Functions();
  const std::size_t start = key.size();
  int32_t room = IcuLength(text) < INT32_MAX / 4 ? 3 * IcuLength(text) + 16 : INT32_MAX;
  for (;;) {
    key.resize(start + static_cast<std::size_t>(room));
    int32_t needed = icu.ucol_getSortKey(collator, text.data(), IcuLength(text),
                                         reinterpret_cast<uint8_t*>(key.data() + start), room);
    if (needed <= 0) throw Exception(u"Cannot compute a sort key");
    if (needed <= room) {
      key.resize(start + static_cast<std::size_t>(needed) - 1);  // without the final 00
      return;
    }
    room = needed;
  }
}

bool IsAscii(std::u16string_view text) {
  return NarrowSortKeyKind(SortKeyKind::Ascii, text) == SortKeyKind::Ascii;
}

}  // namespace

int CompareText(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  if (AsciiTableServesUser() && IsAscii(a) && IsAscii(b)) return CompareAscii(a, b, caseSensitive);
  const UCollator* collator = SharedCollator();
  Prepared first = Prepare(a, caseSensitive, scratch[0]);
  Prepared second = Prepare(b, caseSensitive, scratch[1]);
  UCollationResult order =
      Icu::Functions().ucol_strcoll(collator, first.text.data(), IcuLength(first.text),
                                    second.text.data(), IcuLength(second.text));
  if (order != UCOL_EQUAL) return order == UCOL_LESS ? -1 : 1;
  if (first.specials->empty() && second.specials->empty()) return 0;
  std::string firstLevel, secondLevel;
  AppendSpecialLevel(collator, first, firstLevel);
  AppendSpecialLevel(collator, second, secondLevel);
  int level = firstLevel.compare(secondLevel);
  return level < 0 ? -1 : (level > 0 ? 1 : 0);
}

SortKeyKind SortKeyKindForAscii() {
  return AsciiTableServesUser() ? SortKeyKind::Ascii : SortKeyKind::Collator;
}

void AppendSortKey(std::u16string_view text, bool caseSensitive, std::string& key,
                   SortKeyKind kind) {
  if (kind == SortKeyKind::Ascii) {
    // Never reached from SortKeyKindForAscii's answer: a guard against mixing kinds.
    if (!AsciiTableServesUser()) throw Exception(u"ASCII sort keys do not serve this locale");
    AppendAsciiKey(text, caseSensitive, key);
    return;
  }
  const UCollator* collator = SharedCollator();
  Prepared prepared = Prepare(text, caseSensitive, scratch[0]);
  AppendIcuKey(collator, prepared.text, key);
  if (prepared.specials->empty()) return;
  // Below every byte of ICU's weights, so the special level decides only on a tie.
  key.push_back('\x01');
  AppendSpecialLevel(collator, prepared, key);
}

std::u16string UpperCase(std::u16string_view text) {
  std::u16string upper(text);
  bool ascii = true;
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    if (c >= 0x80) ascii = false;
  }
  // Most texts are ASCII: they need no ICU, which keeps start-up short.
  if (ascii) return upper;
  const Icu::Api& icu = Icu::Functions();
  upper.clear();
  std::size_t i = 0;
  while (i < text.size()) {
    UChar32 c;
    U16_NEXT(text.data(), i, text.size(), c);
    // One code point for one (simple mapping), as Windows does: lengths stay the same.
    AppendCodePoint(upper, icu.u_toupper(c));
  }
  return upper;
}

}  // namespace Platform
