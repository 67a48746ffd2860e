// POSIX only: which locale the comparison follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Collation.h"
#include "platform/TextCodec.h"
#include "platform/posix/collation/AsciiOrder.h"
#include "platform/posix/collation/CollationLocale.h"
#include "platform/posix/collation/IcuApi.h"

namespace {

TEST(CollationLocaleId, NamesALanguageOrRoot) {
  struct Case {
    const char *lcAll, *lcCollate, *lang, *expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, ""},
      {nullptr, nullptr, "C.UTF-8", ""},
      {nullptr, nullptr, "POSIX", ""},
      {nullptr, nullptr, "C", ""},
      {nullptr, nullptr, "de_DE.UTF-8", "de_DE"},
      {nullptr, nullptr, "fr_FR@euro", "fr_FR"},
      {"", "", "sv_SE.utf8", "sv_SE"},    // empty values do not count
      {"C", nullptr, "de_DE.UTF-8", ""},  // LC_ALL wins, even naming none
      {nullptr, "sv_SE.UTF-8", "de_DE.UTF-8", "sv_SE"},
      {nullptr, nullptr, "en_US_POSIX", "en_US"},  // never ICU's capitals-first order
      {nullptr, nullptr, "1234", ""},
      {nullptr, nullptr, "english", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Platform::CollationLocaleId(c.lcAll, c.lcCollate, c.lang), c.expected)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcCollate ? c.lcCollate : "-") << " "
        << (c.lang ? c.lang : "-");
}

// The run of this binary with LC_ALL=sv_SE.UTF-8 takes the path that builds the
// collator from rules; the Swedish letters must then follow Swedish rules.
TEST(CollationLocale, TailoredLocaleKeepsItsOwnLetters) {
  if (Platform::CollationLocaleIdFromEnvironment().rfind("sv", 0) != 0)
    GTEST_SKIP() << "needs a Swedish collation locale";
  EXPECT_EQ(Platform::CompareText(u"z", u"\u00F6", true), -1);
  EXPECT_EQ(Platform::CompareText(u"\u00E5", u"\u00E4", true), -1);
}

// Texts of ASCII alone take the table only in locales that open the default collator;
// Czech "ch", Danish "aa", Lithuanian "y" and Turkish "i" are the collator's.
TEST(AsciiTable, ServesOnlyLocalesOfTheDefaultOrder) {
  const Platform::Icu::Api& icu = Platform::Icu::Functions();
  const char* served[] = {"",           "en",    "en_US", "en_GB", "de_DE",
                          "de-Latn-DE", "it_IT", "pt_BR", "fr_FR", "FR_ch"};
  const char* notServed[] = {"cs_CZ",   "da_DK", "lt_LT",      "tr_TR", "no_NO", "de_DE_PHONEBOOK",
                             "de_DE_u", "fr_CA", "fr-Latn-CA", "sv_SE", "zh_TW"};
  for (const char* id : served) {
    EXPECT_TRUE(Platform::AsciiTableServes(id)) << id;
    char equivalent[ULOC_FULLNAME_CAPACITY] = {};
    UBool available = false;
    UErrorCode status = U_ZERO_ERROR;
    icu.ucol_getFunctionalEquivalent(equivalent, sizeof equivalent, "collation", id, &available,
                                     &status);
    EXPECT_STREQ(equivalent, "root") << id;
  }
  for (const char* id : notServed)
    EXPECT_FALSE(Platform::AsciiTableServes(id)) << id;
}

// Every text of up to three printable ASCII characters, sorted by the collator's keys:
// the table's keys and CompareText must find each next text greater or equal just where
// the collator does, in both case modes. Upper case needs no collator for ASCII either.
TEST(AsciiTable, OrdersAsTheCollatorUpToThreeCharacters) {
  if (Platform::SortKeyKindForAscii() != Platform::SortKeyKind::Ascii)
    GTEST_SKIP() << "ASCII goes to the collator in this locale";
  std::vector<std::u16string> texts(1);
  for (std::size_t length = 1, from = 0; length <= 3; ++length) {
    std::size_t to = texts.size();
    for (std::size_t i = from; i < to; ++i)
      for (char16_t c = 0x20; c < 0x7F; ++c)
        texts.push_back(texts[i] + c);
    from = to;
  }
  ASSERT_EQ(texts.size(), 1u + 95 + 95 * 95 + 95 * 95 * 95);
  // Keys in one arena each, so that the debug and sanitizer builds take seconds.
  auto keys = [&](bool cs, Platform::SortKeyKind kind, std::string& arena) {
    std::vector<std::size_t> ends;
    for (const auto& text : texts) {
      Platform::AppendSortKey(text, cs, arena, kind);
      ends.push_back(arena.size());
    }
    std::vector<std::string_view> views;
    for (std::size_t i = 0, start = 0; i < ends.size(); start = ends[i++])
      views.emplace_back(arena.data() + start, ends[i] - start);
    return views;
  };
  for (bool cs : {true, false}) {
    std::string collatorArena, tableArena;
    std::vector<std::string_view> collator =
        keys(cs, Platform::SortKeyKind::Collator, collatorArena);
    std::vector<std::string_view> table = keys(cs, Platform::SortKeyKind::Ascii, tableArena);
    std::vector<uint32_t> order(texts.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](uint32_t a, uint32_t b) { return collator[a] < collator[b]; });
    int failures = 0;
    for (std::size_t i = 1; i < order.size() && failures < 10; ++i) {
      uint32_t a = order[i - 1], b = order[i];
      int expected = collator[a] == collator[b] ? 0 : -1;
      int byTable = std::clamp(table[a].compare(table[b]), -1, 1);
      int compared = Platform::CompareText(texts[a], texts[b], cs);
      if (byTable == expected && compared == expected) continue;
      ++failures;
      ADD_FAILURE() << "caseSensitive=" << cs << " after \"" << Platform::ToUtf8(texts[a])
                    << "\" \"" << Platform::ToUtf8(texts[b]) << "\": collator " << expected
                    << ", table " << byTable << ", CompareText " << compared;
    }
  }
  for (char16_t c = 0; c < 0x80; ++c)
    EXPECT_EQ(Platform::UpperCase(std::u16string(1, c)),
              std::u16string(1, char16_t(Platform::Icu::Functions().u_toupper(c))))
        << int(c);
}

}  // namespace
