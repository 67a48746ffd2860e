#include "common/QO_Utils.h"

#include <gtest/gtest.h>

#include "common/QO_StringList.h"
#include "platform/Errors.h"
#include "tests/support/TestText.h"

namespace {

struct SplitCase {
  const char16_t* Text;
  bool Space;
  const char16_t* Delimiters;
  bool Trim;
  bool SingleQuotes;
  std::vector<std::u16string> Expected;
};

TSplitSettings Settings(const SplitCase& c) {
  TSplitSettings s;
  s.SpaceSeparates = c.Space;
  s.Delimiters = c.Delimiters;
  s.TrimItems = c.Trim;
  s.SingleQuotesGroup = c.SingleQuotes;
  return s;
}

TEST(SplitText, CutsItemsByTheCallersRules) {
  const SplitCase cases[] = {
      {u"a;;b", false, u";,", false, false, Texts({u"a", u"", u"b"})},
      {u"a;", false, u";,", false, false, Texts({u"a"})},
      {u";a", false, u";,", false, false, Texts({u"", u"a"})},
      {u"", false, u";,", false, false, {}},
      {u"a \"b c\";d", true, u";,", true, false, Texts({u"a", u"\"b c\"", u"d"})},
      {u"[x y]", true, u";,", true, false, Texts({u"[x y]"})},
      {u"{x y}", true, u";,", true, false, Texts({u"{x y}"})},
      {u"(x y)", true, u";,", true, false, Texts({u"(x", u"y)"})},
      {u"a;\r\nb", false, u";\r\n", false, false, Texts({u"a", u"b"})},
      {u"a\r\n\r\nb", false, u";\r\n", false, false, Texts({u"a", u"", u"b"})},
      {u"\"a;b\";c", false, u";", false, false, Texts({u"\"a;b\"", u"c"})},
      {u"'a;b';c", false, u";", false, false, Texts({u"'a", u"b'", u"c"})},
      {u"'a;b';c", false, u";", false, true, Texts({u"'a;b'", u"c"})},
      {u"   ", true, u";,", true, false, Texts({u""})},
      {u"   ", true, u";,", false, false, Texts({u"   "})},
      {u"  a  b", true, u";,", false, false, Texts({u"  a", u"b"})},
      {u"a, b", true, u";,", true, false, Texts({u"a", u"b"})},
      {u"x]{y;z", false, u";", false, false, Texts({u"x]{y", u"z"})},
      {u"[a;b];c", false, u";[", false, false, Texts({u"", u"a", u"b]", u"c"})},
      {u"{a;b};c", false, u";(", false, false, Texts({u"{a", u"b}", u"c"})},
      {u"a b", false, u"; ", false, false, Texts({u"a", u"b"})},
      {u"a|b,c", false, u"|", false, false, Texts({u"a", u"b,c"})},
      {u"a\"b;c", false, u";\"", false, false, Texts({u"a", u"b", u"c"})},
      {u"\" a ; b \" ,c", true, u";,", true, false, Texts({u"\" a ; b \"", u"", u"c"})},
      // Delimiters beyond ASCII, beside ordinary characters beyond it.
      {u"a\u00a7b\u00e9\u00a7\u4e2dc", false, u"\u00a7", false, false,
       Texts({u"a", u"b\u00e9", u"\u4e2dc"})},
      {u"x\u2028y;z\u00e9", false, u";\u2028", false, false, Texts({u"x", u"y", u"z\u00e9"})},
  };
  for (const auto& c : cases) {
    std::vector<std::u16string> items;
    SplitText(c.Text, items, Settings(c));
    EXPECT_EQ(items, c.Expected) << "text: " << Platform::ToUtf8(c.Text);
  }
}

TEST(SplitText, FillsAStringListAndClearsItFirst) {
  TStringList list;
  list.Add(u"old");
  SplitText(u"a;b", list, TSplitSettings{});
  EXPECT_EQ(list.Items(), Texts({u"a", u"b"}));
}

TEST(NextToken, MovesThePositionPastTheSeparator) {
  TSplitSettings s;
  s.SpaceSeparates = true;
  size_t p = 0;  // Below 1 counts as 1.
  EXPECT_EQ(NextToken(u"ab  cd;e", p, s), u"ab");
  EXPECT_EQ(p, 5u);
  EXPECT_EQ(NextToken(u"ab  cd;e", p, s), u"cd");
  EXPECT_EQ(p, 8u);
  EXPECT_EQ(NextToken(u"ab  cd;e", p, s), u"e");
  EXPECT_EQ(p, 9u);
}

TEST(JoinList, PutsTheSeparatorBetweenItems) {
  TStringList list;
  EXPECT_EQ(JoinList(list, u';'), u"");
  list.Add(u"a");
  list.Add(u"");
  list.Add(u"b");
  EXPECT_EQ(JoinList(list, u';'), u"a;;b");
}

TEST(IsQuoted, RecognisesEnclosedTexts) {
  const struct {
    const char16_t* Text;
    char16_t Kind;
    bool Expected;
  } cases[] = {
      {u"\"abc\"", kQuoteDouble, true},    {u"  \"a\"  ", kQuoteDouble, true},
      {u"\"", kQuoteDouble, false},        {u"\"a", kQuoteDouble, false},
      {u"'abc'", kQuoteDouble, false},     {u"\"\"", kQuoteDouble, true},
      {u"'abc'", kQuoteCoded, true},       {u"#13#10", kQuoteCoded, true},
      {u"'abc'#13#10", kQuoteCoded, true}, {u"#9'x'", kQuoteCoded, true},
      {u"13", kQuoteCoded, false},         {u"ab", kQuoteCoded, false},
      {u"x'abc'", kQuoteCoded, false},     {u"'a'b", kQuoteCoded, false},
      {u"#", kQuoteCoded, false},          {u"\"abc\"", kQuoteCoded, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsQuoted(c.Text, c.Kind), c.Expected) << Platform::ToUtf8(c.Text);
}

TEST(StripQuotes, ReadsLiteralsOrKeepsTheText) {
  const struct {
    const char16_t* Text;
    char16_t Kind;
    bool Trim;
    const char16_t* Expected;
  } cases[] = {
      {u"\"ab\"\"c\"", kQuoteDouble, true, u"ab\"c"},
      {u"\"ab", kQuoteDouble, true, u"\"ab"},
      {u"\"ab\"c", kQuoteDouble, true, u"\"ab\"c"},
      {u"\"\"", kQuoteDouble, true, u""},
      {u"  \"a b\"  ", kQuoteDouble, true, u"a b"},
      {u"  \"a b\"  ", kQuoteDouble, false, u"  \"a b\"  "},
      {u"\"a\" \"b\"", kQuoteDouble, true, u"\"a\" \"b\""},
      {u"\"a\"\"", kQuoteDouble, true, u"\"a\"\""},
      {u"'x'", kQuoteAny, true, u"x"},
      {u"\"x\"", kQuoteAny, true, u"x"},
      {u"'a'\"b\"", kQuoteAny, true, u"ab"},
      {u"plain", kQuoteAny, true, u"plain"},
      {u"#65", kQuoteAny, true, u"A"},
      {u"#65\"b\"", kQuoteAny, true, u"#65\"b\""},
      {u"", kQuoteAny, true, u""},
      {u"   ", kQuoteAny, true, u"   "},
      {u"'a'#13#10'b'", kQuoteCoded, true, u"a\r\nb"},
      {u"#65", kQuoteCoded, true, u"A"},
      {u"#65601", kQuoteCoded, true, u"A"},
      {u"#", kQuoteCoded, true, u"#"},
      {u"#x", kQuoteAny, true, u"#x"},
      {u"'it''s'", kQuoteCoded, true, u"it's"},
      {u"\"x\"", kQuoteCoded, true, u"\"x\""},
      {u"'a b'", kQuoteCoded, true, u"a b"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(StripQuotes(c.Text, c.Kind, c.Trim), std::u16string(c.Expected))
        << Platform::ToUtf8(c.Text);
}

TEST(StripQuotes, OversizedCharacterCodeIsAConversionError) {
  try {
    StripQuotes(u"#99999999999", kQuoteCoded, true);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), u"'99999999999' is not a valid integer value");
  }
}

TEST(QuoteText, BuildsLiteralsThatStripQuotesReadsBack) {
  const struct {
    const char16_t* Text;
    char16_t Kind;
    const char16_t* Expected;
  } cases[] = {
      {u"a\tb", kQuoteCoded, u"'a'#9'b'"}, {u"it's", kQuoteCoded, u"'it''s'"},
      {u"", kQuoteCoded, u"''"},           {u"\r\n", kQuoteCoded, u"#13#10"},
      {u"'q'", kQuoteCoded, u"'q'"},       {u"a\"b", kQuoteDouble, u"\"a\"\"b\""},
      {u"\"q\"", kQuoteDouble, u"\"q\""},  {u"", kQuoteDouble, u"\"\""},
      {u"x\t", kQuoteCoded, u"'x'#9"},
  };
  for (const auto& c : cases) {
    std::u16string quoted = QuoteText(c.Text, c.Kind);
    EXPECT_EQ(quoted, c.Expected) << Platform::ToUtf8(c.Text);
    if (!IsQuoted(c.Text, c.Kind)) {
      EXPECT_EQ(StripQuotes(quoted, c.Kind, true), c.Text) << Platform::ToUtf8(c.Text);
    }
  }
}

TEST(PosOutsideQuotes, SkipsQuotedStretches) {
  EXPECT_EQ(PosOutsideQuotes(u'=', u"\"a=b\"=c", 1, false, true), 6u);
  EXPECT_EQ(PosOutsideQuotes(u'=', u"'a=b'=c", 1, false, true), 3u);
  EXPECT_EQ(PosOutsideQuotes(u'=', u"'a=b'=c", 1, true, true), 6u);
  EXPECT_EQ(PosOutsideQuotes(u'=', u"a=b=c", 3, false, true), 4u);
  EXPECT_EQ(PosOutsideQuotes(u'=', u"abc", 0, true, true), 0u);
}

TEST(StrToInt, ParsesTheClassicForms) {
  const struct {
    const char16_t* Text;
    int32_t Expected;
  } good[] = {{u"0", 0},
              {u"  42", 42},
              {u"-7", -7},
              {u"+7", 7},
              {u"$1F", 31},
              {u"0x1f", 31},
              {u"$FFFFFFFF", -1},
              {u"2147483647", INT32_MAX},
              {u"-2147483648", INT32_MIN},
              {u"007", 7}};
  for (const auto& c : good)
    EXPECT_EQ(StrToInt(c.Text), c.Expected) << Platform::ToUtf8(c.Text);
  for (const char16_t* bad : {u"", u" ", u"-", u"12 ", u"2147483648", u"1e3", u"$", u"0x",
                              u"$100000000", u"-2147483649", u"abc"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted " << Platform::ToUtf8(bad);
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), u"'" + std::u16string(bad) + u"' is not a valid integer value");
    }
  }
}

TEST(SplitLines, EndsLinesAtEveryKindOfBreak) {
  EXPECT_EQ(SplitLines(u"a\r\nb\nc\rd"), Texts({u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(SplitLines(u"a\r\n"), Texts({u"a"}));
  EXPECT_EQ(SplitLines(u"a\n\n"), Texts({u"a", u""}));
  EXPECT_EQ(SplitLines(u""), Texts({}));
}

TEST(EqualsIgnoreCase, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoreCase(u"MakeList", u"MAKELIST"));
  EXPECT_FALSE(EqualsIgnoreCase(u"\u00e9", u"\u00c9"));
  EXPECT_FALSE(EqualsIgnoreCase(u"ab", u"abc"));
}

}  // namespace
