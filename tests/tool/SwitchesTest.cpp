#include "tool/Switches.h"

#include <gtest/gtest.h>

#include "tests/support/TestText.h"

namespace {

// Splits a command line tail and lifts its switches, as the entry does.
TSwitchInfo Lift(const char16_t* line, std::vector<std::u16string>* positional = nullptr) {
  TStringList params;
  SplitCommandLine(line, params);
  TSwitchInfo switches;
  LiftSwitches(params, switches);
  if (positional) *positional = params.Items();
  return switches;
}

TEST(LiftSwitches, FillsEveryField) {
  TSwitchInfo s = Lift(
      u"/s /fo List /de | /enc utf8 /esc x /od /ob /olws /otws /ci /q2- /prepend p "
      u"/append a /intrsct i /remove r /v name /ve /va /t REG_SZ /d data /sd /dryrun "
      u"/IgnoreIDE /undo 'u.reg'");
  EXPECT_TRUE(s.SFlag);
  EXPECT_EQ(s.FormatMode, u"List");
  EXPECT_EQ(s.Delimiter, u"|");
  EXPECT_EQ(s.EncValue, u"utf8");
  EXPECT_EQ(s.EscValue, u"x");
  EXPECT_TRUE(s.OmitDuplicates && s.OmitBlanks && s.OmitLeadingWhitespace &&
              s.OmitTrailingWhitespace && s.CaseInsensitive && s.DefaultValue && s.AllValues);
  EXPECT_EQ(s.QuoteMode, -2);
  EXPECT_EQ(s.SortOrder, -1);
  EXPECT_EQ(s.PrependText, u"p");
  EXPECT_EQ(s.AppendText, u"a");
  EXPECT_EQ(s.IntersectText, u"i");
  EXPECT_EQ(s.RemoveText, u"r");
  EXPECT_EQ(s.ValueName, u"name");
  EXPECT_EQ(s.ValueType, u"REG_SZ");
  EXPECT_EQ(s.ValueData, u"data");
  EXPECT_TRUE(s.DryRun && s.IgnoreIde);
  EXPECT_EQ(s.UndoFile, u"u.reg");
  EXPECT_FALSE(Lift(u"x").UndoFile);
}

TEST(LiftSwitches, KeepsPositionalParametersInOrder) {
  const struct {
    const char16_t* Line;
    std::vector<std::u16string> Positional;
  } cases[] = {
      {u"a /sa b \"c d\" 'e f'", Texts({u"a", u"b", u"c d", u"'e", u"f'"})},
      {u"x /v", Texts({u"x"})},
      {u"/f x /s", Texts({u"x"})},
      {u"/sax /delim ;", Texts({u"/sax"})},
  };
  for (const auto& c : cases) {
    std::vector<std::u16string> positional;
    Lift(c.Line, &positional);
    EXPECT_EQ(positional, c.Positional) << Platform::ToUtf8(c.Line);
  }
}

TEST(LiftSwitches, ValuesAreStrippedOfAnyQuoteKind) {
  EXPECT_EQ(Lift(u"/v \"'a b'\"").ValueName, u"a b");
  EXPECT_EQ(Lift(u"/v 'a b'").ValueName, u"'a");  // Single quotes do not group here.
  EXPECT_EQ(Lift(u"/v \"a \"\"b\"\"\"").ValueName, u"a \"b\"");
  EXPECT_EQ(Lift(u"/d #65#66").ValueData, u"AB");
  EXPECT_EQ(Lift(u"/de | /de \"\"").Delimiter, u";,");
}

TEST(GetParam, OutsideTheListGivesEmptyAndChangesNothing) {
  TStringList list;
  list.Add(u"a");
  EXPECT_EQ(GetParam(1, list, u";,"), u"");
  EXPECT_EQ(GetParam(-1, list, u";,"), u"");
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(GetParam(0, list, u";,"), u"a");
  EXPECT_EQ(list.Count(), 0);
}

}  // namespace
