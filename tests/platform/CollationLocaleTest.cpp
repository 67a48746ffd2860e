// POSIX only: which locale the comparison follows.
#include <gtest/gtest.h>

#include "platform/Collation.h"
#include "platform/posix/collation/CollationLocale.h"

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

}  // namespace
