// The comparison both builds share: Windows order, keys that agree with it, upper case.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "platform/Collation.h"
#include "platform/TextCodec.h"

namespace {

using namespace std::literals;
using Platform::AppendSortKey;
using Platform::CompareText;

int Sign(int value) {
  return (value > 0) - (value < 0);
}

int KeyOrder(std::u16string_view a, std::u16string_view b, bool caseSensitive) {
  std::string first, second;
  AppendSortKey(a, caseSensitive, first);
  AppendSortKey(b, caseSensitive, second);
  return Sign(first.compare(second));
}

std::string Show(std::u16string_view text) {
  std::string shown;
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      shown.push_back(char(c));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(c));
      shown += escaped;
    }
  }
  return '"' + shown + '"';
}

struct Pair {
  std::u16string_view first, second;
  int caseSensitive, caseInsensitive;  // expected CompareText(first, second)
};

// Checks CompareText both ways round and the sort keys, in both case modes.
void ExpectOrders(const std::vector<Pair>& pairs) {
  for (const Pair& p : pairs) {
    SCOPED_TRACE(Show(p.first) + " vs " + Show(p.second));
    for (bool cs : {true, false}) {
      int expected = cs ? p.caseSensitive : p.caseInsensitive;
      EXPECT_EQ(CompareText(p.first, p.second, cs), expected) << "caseSensitive=" << cs;
      EXPECT_EQ(CompareText(p.second, p.first, cs), -expected) << "caseSensitive=" << cs;
      EXPECT_EQ(KeyOrder(p.first, p.second, cs), expected) << "keys, caseSensitive=" << cs;
    }
  }
}

TEST(CompareText, LettersDigitsAndCase) {
  ExpectOrders({
      {u"a", u"A", -1, 0},
      {u"A", u"b", -1, -1},
      {u"a", u"Z", -1, -1},
      {u"ab", u"aB", -1, 0},
      {u"aB", u"Ab", -1, 0},
      {u"ABC", u"abd", -1, -1},
      {u"ab", u"abc", -1, -1},
      {u"Ab", u"abc", -1, -1},
      {u"", u"a", -1, -1},
      {u"", u"", 0, 0},
      {u"1", u"a", -1, -1},
      {u"10", u"9", -1, -1},
      {u"x9", u"xa", -1, -1},
      {u"abc", u"ABC", -1, 0},
  });
}

TEST(CompareText, HyphenAndApostropheWeighLastButCount) {
  ExpectOrders({
      {u"coop", u"co-op", -1, -1},
      {u"OBRIEN", u"O'BRIEN", -1, -1},
      {u"obrien", u"O'BRIEN", -1, -1},  // case decides before the apostrophe
      {u"co-op", u"Coop", -1, 1},
      {u"co-op", u"cop", -1, -1},
      {u"coo-p", u"co-op", -1, -1},  // the later hyphen sorts first
      {u"a'b", u"a-b", -1, -1},
      {u"co-op", u"CO-OP", -1, 0},
      {u"-", u"a", -1, -1},
      {u"", u"-", -1, -1},
  });
}

TEST(CompareText, PunctuationAndIgnorableCharacters) {
  ExpectOrders({
      {u"!", u"1", -1, -1},
      {u"a b", u"ab", -1, -1},
      {u"a.b", u"ab", -1, -1},
      {u"a\\b", u"a]b", -1, -1},
      {u"a+b", u"a0", -1, -1},
      {u"ab", u"a\0b"sv, 0, 0},
      {u"\0"sv, u"", 0, 0},
      {u"a", u"a\x01"sv, -1, -1},
  });
}

TEST(CompareText, Latin1LettersAsWindows) {
  ExpectOrders({
      {u"e", u"\u00E9", -1, -1},
      {u"\u00E9", u"f", -1, -1},
      {u"E", u"\u00E9", -1, -1},
      {u"\u00E9", u"\u00C9", -1, 0},
      {u"\u00DF", u"ss", 0, 0},
      {u"\u00E6", u"ae", 0, 0},
      {u"\u00C6", u"AE", 0, 0},
      {u"a\u0301", u"\u00E1", 0, 0},
      {u"\u00E4", u"\u00E3", -1, -1},
      {u"\u00E3", u"\u00E5", -1, -1},
      {u"\u00DF-x", u"ss-x", 0, 0},  // a hyphen's position counts letters, not units
      {u"a\u0301-b", u"\u00E1-b", 0, 0},
  });
}

// Latin, then Greek, then Cyrillic in every language (the Russian and Greek runs of
// these tests too), with each script's own letters in order.
TEST(CompareText, ScriptsInOneOrderForEveryLanguage) {
  ExpectOrders({
      {u"z", u"\u03B1", -1, -1},       // z, alpha
      {u"Z", u"\u0411", -1, -1},       // Z, Be
      {u"zz", u"\u0430a", -1, -1},     // the script decides at the first letter
      {u"\u03C9", u"\u0431", -1, -1},  // omega, be
      {u"\u03A9", u"\u0430", -1, -1},  // Omega, a
      {u"\u03B1", u"\u0391", -1, 0},   // alpha, Alpha
      {u"\u03B1", u"\u03AC", -1, -1},  // alpha, alpha with tonos
      {u"\u03AC", u"\u03B2", -1, -1},  // alpha with tonos, beta
      {u"\u0431", u"\u0411", -1, 0},   // be, Be
      {u"\u0435", u"\u0451", -1, -1},  // ie, io
      {u"\u0451", u"\u0436", -1, -1},  // io, zhe
      {u"\u0401", u"\u0435", 1, 1},    // Io, ie
      {u"\u03C3", u"\u03C2", -1, 0},   // sigma, final sigma
      {u"\u03A3", u"\u03C2", 1, 0},    // Sigma, final sigma
      {u"\u03C2", u"\u03C4", -1, -1},  // final sigma, tau
  });
}

TEST(CompareText, SortsEachLowerCaseLetterDirectlyBeforeItsCapital) {
  std::vector<std::u16string> items = {u"d", u"a", u"b", u"c", u"C", u"B", u"A", u"D"};
  std::stable_sort(items.begin(), items.end(),
                   [](const auto& x, const auto& y) { return CompareText(x, y, true) < 0; });
  EXPECT_EQ(items, (std::vector<std::u16string>{u"a", u"A", u"b", u"B", u"c", u"C", u"d", u"D"}));
}

// Texts built from pieces that are awkward for one side or the other: unpaired
// surrogates, NULs, controls, combining marks, expansions and the special characters.
std::vector<std::u16string> AwkwardTexts() {
  const std::u16string_view pieces[] = {
      u"a", u"A", u"-", u"'",    u"\u00E9", u"\0"sv,   u"\xD800",     u"\xDC00", u"\u00DF",
      u"s", u"1", u" ", u"\x01", u"\u0301", u"\u2014", u"\U0001F600", u"\uFFFE", u"\uFFFF"};
  std::vector<std::u16string> texts = {u""};
  for (auto x : pieces) {
    texts.emplace_back(x);
    for (auto y : pieces)
      texts.push_back(std::u16string(x) + std::u16string(y));
  }
  texts.push_back(u"long-ish text with a hyphen, an apostrophe's and MIXED case");
  texts.push_back(std::u16string(300, u'-') + u"x");
  return texts;
}

TEST(AppendSortKey, AgreesWithCompareTextOnAnyInput) {
  const std::vector<std::u16string> texts = AwkwardTexts();
  for (bool cs : {true, false}) {
    std::vector<std::string> keys(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
      AppendSortKey(texts[i], cs, keys[i]);
    int mismatches = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
      for (std::size_t j = 0; j < texts.size(); ++j) {
        int compared = CompareText(texts[i], texts[j], cs);
        if (compared == Sign(keys[i].compare(keys[j])) && (i != j || compared == 0)) continue;
        if (++mismatches <= 10)
          ADD_FAILURE() << Show(texts[i]) << " vs " << Show(texts[j]) << " cs=" << cs
                        << ": CompareText " << compared << ", keys "
                        << Sign(keys[i].compare(keys[j]));
      }
    }
    EXPECT_EQ(mismatches, 0) << "caseSensitive=" << cs;
  }
}

TEST(AppendSortKey, AppendsAfterWhatTheKeyHolds) {
  std::string alone, appended = "prefix";
  AppendSortKey(u"Co-op", true, alone);
  AppendSortKey(u"Co-op", true, appended);
  EXPECT_EQ(appended, "prefix" + alone);
}

TEST(AppendSortKey, GivesTheSameKeysFromTwoThreads) {
  std::vector<std::u16string> words;
  for (int i = 0; i < 4000; ++i)
    words.push_back(Platform::FromUtf8(std::to_string(i * 7919) + (i % 3 ? "-Word" : "'x") +
                                       (i % 2 ? "\xC3\xA9" : "")));
  auto keysOf = [&](bool cs, std::vector<std::string>& keys) {
    for (const auto& w : words)
      AppendSortKey(w, cs, keys.emplace_back());
  };
  std::vector<std::string> expectedCs, expectedCi, gotCs, gotCi;
  keysOf(true, expectedCs);
  keysOf(false, expectedCi);
  std::thread first([&] { keysOf(true, gotCs); });
  std::thread second([&] { keysOf(false, gotCi); });
  first.join();
  second.join();
  EXPECT_TRUE(gotCs == expectedCs);
  EXPECT_TRUE(gotCi == expectedCi);
}

TEST(UpperCase, MapsEachCharacterAndKeepsTheLength) {
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"", u""},
      {u"abc-XYZ 09", u"ABC-XYZ 09"},
      {u"\u00E9t\u00E9 \u00FF", u"\u00C9T\u00C9 \u0178"},
      {u"stra\u00DFe", u"STRA\u00DFE"},  // no SS: one unit stays one unit
      {u"a\xD800z\xDC00"sv, u"A\xD800Z\xDC00"sv},
      {u"a\0b"sv, u"A\0B"sv},
  };
  for (const auto& [text, upper] : cases)
    EXPECT_EQ(Show(Platform::UpperCase(text)), Show(upper)) << Show(text);
}

}  // namespace
