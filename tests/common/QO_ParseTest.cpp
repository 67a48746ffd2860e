#include "common/QO_Parse.h"

#include <gtest/gtest.h>

#include <random>

#include "common/QO_Utils.h"
#include "platform/Collation.h"
#include "platform/Errors.h"
#include "platform/TextCodec.h"

namespace {

struct ParseCase {
  int32_t Limit;
  const char16_t* Text;
  const char* Words;  // The target's items in order, separated by single spaces.
};

// The target's items joined by spaces (no search word holds one), so that a failure
// shows the whole output next to the expected one.
std::string Joined(const TStringList& list) {
  std::string joined;
  for (const auto& item : list.Items()) {
    if (!joined.empty()) joined += ' ';
    joined += Platform::ToUtf8(item);
  }
  return joined;
}

std::string ParseWords(TQO_ParseWordList& parser, int32_t limit, std::u16string_view text) {
  TStringList target;
  parser.SetWordLengthLimit(limit);
  parser.Parse(text, &target);
  return Joined(target);
}

template <size_t N>
void ExpectWords(const ParseCase (&cases)[N]) {
  TQO_ParseWordList parser;  // One parser for all: nothing may leak from one parse to the next.
  for (const ParseCase& c : cases)
    EXPECT_EQ(ParseWords(parser, c.Limit, c.Text), c.Words) << Platform::ToUtf8(c.Text);
}

TEST(TQO_ParseWordList, WorkedExamples) {
  const ParseCase cases[] = {
      {20, u"Smith & Jones", "SMITH JONES SMITHANDJONES SMITH.JONES AND &. SMITH&JONES"},
      {20, u"U S A", "U U. S S. A A. USA SA S.A US U.S U.S.A"},
      {20, u"24 hrs", "24 TWENTY FOUR TWENTY-FOUR HRS"},
      {20, u"100%", "100 ONE HUNDRED 100PERCENT PERCENT 100%"},
      {20, u"#5", "5 FIVE NO POUND # #. NO5 NO.5 #5"},
      {20, u"O'Brien's", "OBRIENS O O. BRIENS BRIEN BRIEN'S OBRIEN O'BRIEN O'BRIEN'S"},
      {20, u"Rock-n-Roll", "ROCK NROLL N N. ROLL N-ROLL ROCKN ROCK-N ROCKANDROLL AND ROCK-N-ROLL"},
      {20, u"1,250 items", "1 ONE 250 TWO HUNDRED FIFTY 1. ITEMS"},
      {8, u"International", "INTERNAT"},
      {8, u"Country-Side", "COUNTRY SIDE"},
  };
  ExpectWords(cases);
}

TEST(TQO_ParseWordList, EdgeCases) {
  const ParseCase cases[] = {
      {20, u"", ""},
      {20, u" \t ", ""},
      {20, u"John Q Public", "JOHN Q Q. PUBLIC"},  // The last word of a text gets no period.
      {20, u"0", "0 0."},
      {20, u"007", "007 SEVEN"},
      {20, u"2147483648", "2147483648"},
      {20, u"2147483647",
       "2147483647 TWO BILLION ONE HUNDRED FORTY SEVEN FORTY-SEVEN MILLION FOUR EIGHTY THREE "
       "EIGHTY-THREE THOUSAND SIX"},
      {20, u"1000001 90 13", "1000001 ONE MILLION 90 NINTY 13 THIRTEEN"},
      {20, u"5 - 3", "53 FIFTY THREE FIFTY-THREE 5 FIVE 3 5-3 5."},
      {20, u"Mr . T", "MR T T."},
      {20, u"a&&b -- c", "A A. B B. C C. ABC BC B.C AB A.B A.B.C"},  // doubles become spaces
      {20, u"x -&&+ y",
       "XY X X. XPLUS PLUS X+ Y Y. XPLUSY X+Y + PLUSY +Y X-Y X-PLUS X-+ X-PLUSY X-+Y"},
      // A "$" or sign counts as a position of the number it starts (stored words rely on it).
      {20, u"$100", "$100 THOUSAND ONE HUNDRED"},
      {20, u"$15 0-12", "$15 HUNDRED FIFTEEN 012 TWELVE 0 12 0-12 0."},
      {20, u"0-12", "012 TWELVE 0 12 0-12 HUNDRED 0."},
      {20, u"$FF", "$FF HUNDRED"},
      {20, u"1st 10th 11th", "1ST FIRST 10TH TENTH 11TH"},
      {20, u"a@b.com",
       "ABCOM AB COM AB.COM A A. AAT AT A@ BCOM B B. B.COM AATB A@B AATB.COM A@B.COM"},
      // Each normalized word once per parse, also when it arises again.
      {20, u"one 1 ONE one.", "ONE 1 1."},
      // Limit 0: nothing is cut, and long words with symbols are output as well.
      {0, u"Internationalization Country-Side", "INTERNATIONALIZATION COUNTRY SIDE COUNTRY-SIDE"},
      // A cut never leaves half of a surrogate pair.
      {3, u"AB\U0001F600", "AB"},
  };
  ExpectWords(cases);
}

TEST(TQO_ParseWordList, SeenWordsCompareAsTheListsDo) {
  TQO_ParseWordList parser;
  // The list comparison weighs "SS" and the sharp s alike, so only the first is kept,
  // whichever comes first.
  const bool equal = Platform::CompareText(u"STRASSE", u"STRA\u00DFE", false) == 0;
  EXPECT_EQ(ParseWords(parser, 20, u"Strasse Stra\u00DFe"),
            equal ? "STRASSE" : "STRASSE STRA\u00DFE");
  EXPECT_EQ(ParseWords(parser, 20, u"Stra\u00DFe strasse"),
            equal ? "STRA\u00DFE" : "STRA\u00DFE STRASSE");
  // A hyphen weighs little but still makes a word different.
  EXPECT_EQ(ParseWords(parser, 20, u"coop co-op"), "COOP CO OP CO-OP");
  // Past a few words other than plain ASCII, the words are told apart by sort keys: the
  // plain word before them is keyed late, and one after them first.
  EXPECT_EQ(ParseWords(parser, 20, u"\u00C4 strasse \u00D6 \u00DC Stra\u00DFe"),
            equal ? "\u00C4 \u00C4. STRASSE \u00D6 \u00D6. \u00DC \u00DC."
                  : "\u00C4 \u00C4. STRASSE \u00D6 \u00D6. \u00DC \u00DC. STRA\u00DFE");
  EXPECT_EQ(ParseWords(parser, 20, u"\u00C4 \u00D6 \u00DC Stra\u00DFe strasse"),
            equal ? "\u00C4 \u00C4. \u00D6 \u00D6. \u00DC \u00DC. STRA\u00DFE"
                  : "\u00C4 \u00C4. \u00D6 \u00D6. \u00DC \u00DC. STRA\u00DFE STRASSE");
}

// The parser upper-cases ASCII text itself, which is sound only while the platform's upper
// case shifts a to z and leaves the other ASCII characters as they are.
TEST(TQO_ParseWordList, AsciiUpperCaseShiftsTheLettersOnly) {
  std::u16string ascii, shifted;
  for (char16_t c = 0; c < 128; ++c) {
    ascii.push_back(c);
    shifted.push_back(c >= u'a' && c <= u'z' ? char16_t(c - 32) : c);
  }
  EXPECT_EQ(Platform::ToUtf8(Platform::UpperCase(ascii)), Platform::ToUtf8(shifted));
}

// A word is stripped of its edge punctuation before it is upper-cased, where it needs that:
// a descendant that hands every word on in lower case, in brackets and blanks, gets the
// words a plain parse gets. That rests on upper-casing keeping the length and the
// punctuation, which the end of the test holds the platform to beyond ASCII.
TEST(TQO_ParseWordList, WordsInLowerCaseAndBracketsGiveTheSameWords) {
  class TLowering final : public TQO_ParseWordList {
   public:
    void AddWord(std::u16string_view word) override {
      std::u16string lowered = u" (";
      for (char16_t c : word)
        lowered.push_back(c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c);
      lowered += u") ";
      TQO_ParseWordList::AddWord(lowered);
    }
  };
  for (const char16_t* text :
       {u"Smith & Jones", u"U S A", u"24 hrs", u"100% Pure", u"#5 Apt.", u"O'Brien's", u"J. R. R.",
        u"Rock-n-Roll", u"1,250 Main St.", u"A+ @ Home", u"3rd Ave. - Unit 12B", u"-5 + x.y.z",
        u"\u00C4 Stra\u00DFe \u00E9t\u00E9", u"\u201CQuoted\u201D \u00AC"}) {
    TQO_ParseWordList plain;
    TLowering lowering;
    for (int32_t limit : {0, 6, 20})
      EXPECT_EQ(ParseWords(lowering, limit, text), ParseWords(plain, limit, text))
          << Platform::ToUtf8(text) << " " << limit;
  }
  const std::u16string beyond = u"\u00E4\u00DF\u00E9\u201C\u201D\u00AC";
  EXPECT_EQ(Platform::UpperCase(beyond).size(), beyond.size());
  EXPECT_EQ(Platform::UpperCase(u"\u201C\u201D\u00AC"), u"\u201C\u201D\u00AC");
}

// The parser tells plain ASCII words apart without collating; that is sound only while
// the list comparison treats no such character as ignorable or equal to another.
TEST(TQO_ParseWordList, PlainAsciiWordsDifferByTheListComparisonToo) {
  std::u16string plain;
  for (char16_t c = 33; c < 127; ++c)
    if (c < u'a' || c > u'z') plain.push_back(c);
  for (char16_t c : plain) {
    const std::u16string withC = std::u16string(u"A") + c + u"B";
    EXPECT_NE(Platform::CompareText(withC, u"AB", false), 0) << char(c);
    for (char16_t d : plain) {
      if (d == c) continue;
      EXPECT_NE(Platform::CompareText(withC, std::u16string(u"A") + d + u"B", false), 0)
          << char(c) << " " << char(d);
    }
  }
}

TEST(TQO_ParseWordList, TargetErrorEndsTheParseCleanly) {
  TQO_ParseWordList parser;
  parser.SetWordLengthLimit(8);
  TQO_StringList target;
  target.SetSorted(true);
  target.SetDuplicates(TDuplicates::dupError);
  // Both words are cut to INTERNAT, which the target refuses the second time.
  EXPECT_THROW(parser.Parse(u"International Internationale", &target), EStringListError);
  EXPECT_EQ(Joined(target), "INTERNAT");
  EXPECT_EQ(parser.Target(), nullptr);
  EXPECT_FALSE(target.Updating());
  // The next parse starts clean: no word counts as seen from the failed one.
  EXPECT_EQ(ParseWords(parser, 8, u"International"), "INTERNAT");
}

// A target's notification may start a parse of its own on the same parser: that parse is
// complete, and the outer one, which it ends, keeps the words it had added.
TEST(TQO_ParseWordList, ParseFromATargetNotification) {
  TQO_ParseWordList parser;
  parser.SetWordLengthLimit(20);
  const std::u16string inner =
      u"Smith-Jones & Co. 24 O'Brien's #5 Jos\u00E9 " + std::u16string(200, u'x');
  struct TTarget : TQO_StringList {
    TQO_ParseWordList* Parser = nullptr;
    const std::u16string* Inner = nullptr;
    TStringList Nested;
    void ChangeCountChanged() override {
      if (Count() == 2) Parser->Parse(*Inner, &Nested);
    }
  } outer;
  outer.Parser = &parser;
  outer.Inner = &inner;
  parser.Parse(u"Rock-n-Roll Hall of Fame 1,250", &outer);
  EXPECT_EQ(Joined(outer), "ROCK NROLL N");
  EXPECT_EQ(Joined(outer.Nested), ParseWords(parser, 20, inner));
  EXPECT_EQ(parser.Target(), nullptr);
}

TEST(TQO_ParseWordList, WithoutTargetNothingHappens) {
  TQO_ParseWordList parser;
  parser.Parse(u"Smith", nullptr);
  parser.AddWord(u"Smith");  // Outside a parse there is no target to add to.
  TStringList target;
  target.Add(u"old");
  parser.Parse(u"  ", &target);
  EXPECT_EQ(target.Count(), 0);
}

// Each symbol of a word multiplies the words derived from it: this text, found by the
// fuzzer, derived millions of words before the cap (a parse of minutes).
TEST(TQO_ParseWordList, AWordOfManySymbolsDerivesABoundedNumberOfWords) {
  TQO_ParseWordList parser;
  parser.SetWordLengthLimit(20);
  TStringList target;
  parser.Parse(
      u"\u00F8& J%#  & "
      u"J%#\uFFFF\u00FF%#\uFFFF\uFFFF\uFFFF\u00FF&\uFF20\uFFFF\uFFFF#\uFFFF\u00FF%#"
      u"\uFFFF\uFFFF\uFFFF\uFFFF\u00FF%#\uFFFF\uFFFF\uFFFF\u00FF&\uFF20\uFFFF\uFFFF#\uFFFF\u00FF%#"
      u"\uFFFF\uFFFF\uFFFF\u02FF\u018B~ LAST",
      &target);
  EXPECT_LT(target.Count(), 4 * 1024);
  EXPECT_NE(target.Text().find(u"\r\nLAST\r\n"), std::u16string::npos);  // still parsed
  TStringList small;
  parser.Parse(u"AT&T", &small);  // ordinary words derive all their forms
  EXPECT_EQ(small.Text(), u"ATT\r\nAT\r\nT\r\nT.\r\nATANDT\r\nAT.T\r\nAND\r\n&.\r\nAT&T\r\n");
}

TEST(TQO_ParseWordList, SymbolWordsAreSortedSubstitutions) {
  TQO_ParseWordList parser;
  const TQO_StringList& symbols = parser.SymbolWords();
  EXPECT_TRUE(symbols.Sorted());
  EXPECT_EQ(symbols.Count(), 8);
  for (int i = 1; i < symbols.Count(); ++i)
    EXPECT_LE(Platform::CompareText(symbols[i - 1], symbols[i], false), 0);
  int index = -1;
  EXPECT_TRUE(symbols.Find(u"-N-=AND", index));
}

TEST(ParseText, Helpers) {
  TQO_ParseWordList parser;
  EXPECT_EQ(parser.CollectSymbols(u"A&B-C&$,:;[]{}|_\u201D.x"), u"&-\u201D.");
  std::u16string spaces = u"a   b    c";
  ReplaceAllText(spaces, u"  ", u" ");
  EXPECT_EQ(spaces, u"a  b  c");  // A replacement is never searched again.
  EXPECT_EQ(MarkInitials(u"U S A"), u"U. S. A");
  EXPECT_EQ(MarkInitials(u"AB C DE F"), u"AB C. DE F");
  EXPECT_EQ(RemoveChar(u"a-b-c", u'-'), u"abc");
  EXPECT_EQ(StripLeadingChars(u"--a-", u"-"), u"a-");
  EXPECT_EQ(StripTrailingChars(u"-a--", u"-"), u"-a");
  EXPECT_TRUE(IsWordBreak(u'\x1F'));
  EXPECT_TRUE(IsWordBreak(u'='));
  EXPECT_FALSE(IsWordBreak(u'-'));
  EXPECT_FALSE(IsWordBreak(u'.'));
}

// The preparation of a text step by step, one replacement after the other over the whole
// text, as the parser's historical code did it.
std::u16string PreparedInSteps(std::u16string_view text) {
  std::u16string s = Platform::UpperCase(TrimView(text));
  ReplaceAllText(s, u"  ", u" ");
  for (std::u16string_view symbol : {u"&", u"-", u".", u"+"}) {
    const std::u16string sym(symbol);
    if (symbol != u".") ReplaceAllText(s, sym + sym, u" ");
    ReplaceAllText(s, u" " + sym, sym);
    if (symbol != u".") ReplaceAllText(s, sym + u" ", sym);
  }
  ReplaceAllText(s, u"  ", u" ");
  return MarkInitials(s) + u" ";
}

TEST(ParseText, PreparedTextIsTheReplacementsInTurn) {
  // Texts of the characters the preparation looks at, long and short against the eight
  // characters that one step of it may take at a time; some beyond ASCII, some in lower case.
  const std::u16string alphabet = u"AAAb1  &-+.'\u00E9\t";
  std::mt19937 rng(11);
  for (int round = 0; round < 20000; ++round) {
    std::u16string text;
    const size_t length = rng() % 41;
    const bool ascii = rng() % 4 != 0;
    while (text.size() < length) {
      const char16_t c = alphabet[rng() % alphabet.size()];
      if (!(ascii && c >= 128)) text.push_back(c);
    }
    ASSERT_EQ(PrepareWordText(text), PreparedInSteps(text)) << Platform::ToUtf8(text);
  }
  EXPECT_EQ(PrepareWordText(u" Smith  &  Jones - U S A ."), u"SMITH&JONES-U S. A. ");
}

TEST(DefaultParseWordList, IsBuiltOnceOnFirstUse) {
  TQO_ParseWordList& parser = DefaultParseWordList();
  EXPECT_EQ(&parser, &DefaultParseWordList());
  EXPECT_EQ(parser.Target(), nullptr);
}

}  // namespace
