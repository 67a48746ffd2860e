#include "common/QO_Parse.h"

#include "common/QO_Utils.h"
#include "platform/Collation.h"

namespace {

using View = std::u16string_view;

// Characters CollectSymbols reports. "$", ",", ":", ";", brackets, braces, "|" and "_"
// are not among them.
constexpr char16_t kSymbolChars[] = {0x1F, u'!',  u'"', u'#', u'%', u'&',   u'\'',  u'(',  u')',
                                     u'*', u'+',  u'-', u'.', u'/', u'<',   u'=',   u'>',  u'?',
                                     u'@', u'\\', u'^', u'`', u'~', 0x00AC, 0x201C, 0x201D};

// Stripped from the front of a word. The grave accent appears twice in the historical set.
constexpr View kLead = u"'`\"\u201C\u201D)([]{}<>`,-/\\~*.;:";
// Stripped from the end: the same without ". ; :", plus "&" ("SMITH&" -> "SMITH").
constexpr View kTrail = u"'`\"\u201C\u201D)([]{}<>`,-/\\~*&";
// One-character words that carry nothing to search for.
constexpr View kIgnoredSingles = u"\x1F!\"',-.:;?\u00AC\u201C\u201D";
// Around a number: "-5", "+5", "5." and " 5 " all spell FIVE.
constexpr View kNumberEdge = u" +-.";

constexpr std::array<View, 10> kUnitWords = {u"",     u"ONE", u"TWO",   u"THREE", u"FOUR",
                                             u"FIVE", u"SIX", u"SEVEN", u"EIGHT", u"NINE"};
constexpr std::array<View, 10> kTeenWords = {u"TEN",      u"ELEVEN",  u"TWELVE",  u"THIRTEEN",
                                             u"FOURTEEN", u"FIFTEEN", u"SIXTEEN", u"SEVENTEEN",
                                             u"EIGHTEEN", u"NINETEEN"};
// "NINTY" is the historical spelling; search words stored by earlier parses hold it.
constexpr std::array<View, 10> kTensWords = {u"",      u"",      u"TWENTY",  u"THIRTY", u"FORTY",
                                             u"FIFTY", u"SIXTY", u"SEVENTY", u"EIGHTY", u"NINTY"};
constexpr std::array<View, 10> kOrdinalTokens = {u"1ST", u"2ND", u"3RD", u"4TH", u"5TH",
                                                 u"6TH", u"7TH", u"8TH", u"9TH", u"10TH"};
constexpr std::array<View, 10> kOrdinalWords = {u"FIRST", u"SECOND", u"THIRD",   u"FOURTH",
                                                u"FIFTH", u"SIXTH",  u"SEVENTH", u"EIGHTH",
                                                u"NINTH", u"TENTH"};

// Bit c set for each ASCII symbol character c: CollectSymbols runs for every word.
constexpr uint64_t AsciiSymbolBits(bool high) {
  uint64_t bits = 0;
  for (char16_t s : kSymbolChars)
    if (s < 128 && (s >= 64) == high) bits |= uint64_t{1} << (s % 64);
  return bits;
}
constexpr uint64_t kSymbolsLow = AsciiSymbolBits(false);
constexpr uint64_t kSymbolsHigh = AsciiSymbolBits(true);

bool IsSymbol(char16_t c) {
  if (c < 64) return (kSymbolsLow >> c) & 1;
  if (c < 128) return (kSymbolsHigh >> (c - 64)) & 1;
  return c == 0x00AC || c == 0x201C || c == 0x201D;
}

// Printable ASCII without lower case: two such words are equal by the list comparison
// only when they are identical (a test holds the collation to that).
bool IsPlainAscii(std::u16string_view word) {
  for (char16_t c : word)
    if (c <= 32 || c >= 127 || (c >= u'a' && c <= u'z')) return false;
  return true;
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool IsInitialChar(char16_t c) {
  return IsDigit(c) || (c >= u'A' && c <= u'Z');
}

View StripLeading(View text, View chars) {
  while (!text.empty() && chars.find(text.front()) != View::npos)
    text.remove_prefix(1);
  return text;
}

View StripTrailing(View text, View chars) {
  while (!text.empty() && chars.find(text.back()) != View::npos)
    text.remove_suffix(1);
  return text;
}

// Step one of every word: upper case, edge punctuation and a final period off.
std::u16string NormalizeWord(View word) {
  std::u16string upper = Platform::UpperCase(TrimView(word));
  View w = StripTrailing(StripLeading(upper, kLead), kTrail);
  if (w.size() > 2) w = StripTrailing(w, u".");
  return std::u16string(TrimView(w));
}

// Whether a number form counts as a number: "0", or a text the classic conversion reads as
// a nonzero 32-bit integer (a sign or "$" and hexadecimal digits included). The spelling
// then walks the text as it stands, so "$100" spells THOUSAND, ONE, HUNDRED: search words
// stored by earlier parses hold exactly these words.
bool CountsAsNumber(View w) {
  int32_t value = 0;
  return w == u"0" || (TryStrToInt(w, value) && value != 0);
}

// The number words of one character; empty for anything that is not a decimal digit.
View DigitWord(const std::array<View, 10>& words, char16_t c) {
  return c >= u'0' && c <= u'9' ? words[size_t(c - u'0')] : View();
}

// How much of `word` fits `limit`; never half of a surrogate pair.
size_t CutLength(const std::u16string& word, int32_t limit) {
  size_t cut = static_cast<size_t>(limit);
  if (cut >= word.size()) return word.size();
  if (word[cut - 1] >= 0xD800 && word[cut - 1] <= 0xDBFF) --cut;
  return cut;
}

}  // namespace

bool IsWordBreak(char16_t c) {
  if (c <= 32) return true;
  return View(u"!()*,/;<=>?:").find(c) != View::npos;
}

std::u16string RemoveChar(View text, char16_t c) {
  std::u16string result;
  result.reserve(text.size());
  for (char16_t t : text)
    if (t != c) result.push_back(t);
  return result;
}

std::u16string StripLeadingChars(View text, View chars) {
  return std::u16string(StripLeading(text, chars));
}

std::u16string StripTrailingChars(View text, View chars) {
  return std::u16string(StripTrailing(text, chars));
}

void ReplaceAllText(std::u16string& text, View find, View replacement) {
  if (find.empty()) return;
  size_t found = text.find(find);
  if (found == std::u16string::npos) return;
  std::u16string result;
  size_t from = 0;
  for (; found != std::u16string::npos; found = text.find(find, from)) {
    result.append(text, from, found - from);
    result.append(replacement);
    from = found + find.size();
  }
  result.append(text, from);
  text = std::move(result);
}

std::u16string MarkInitials(View text) {
  // Inserting from the end leaves every position before the insertion as it was, so the
  // tests read the original text and the result can be built front to back.
  std::u16string result;
  result.reserve(text.size() + text.size() / 2);
  for (size_t i = 0; i < text.size(); ++i) {
    if (i >= 1 && text[i] == u' ' && (i == 1 || text[i - 2] == u' ')) result.push_back(u'.');
    result.push_back(text[i]);
  }
  return result;
}

TQO_ParseWordList::TQO_ParseWordList() {
  for (View pair : {u"&=AND", u"#=NO", u"%=PERCENT", u"\\%=PERCENT", u"@=AT", u"+=PLUS", u"-N-=AND",
                    u":EQ:=EQUALS"})
    symbolWords_.Add(std::u16string(pair));
  symbolWords_.Sort();
  symbolWords_.SetSorted(true);
  for (size_t i = 0; i < kOrdinalWords.size(); ++i)
    ordinalWords_[i] = kOrdinalWords[i];
}

TQO_ParseWordList::~TQO_ParseWordList() = default;

std::u16string TQO_ParseWordList::CollectSymbols(View text) const {
  std::u16string symbols;
  for (char16_t c : text)
    if (IsSymbol(c) && symbols.find(c) == std::u16string::npos) symbols.push_back(c);
  return symbols;
}

void TQO_ParseWordList::Parse(View text, TStringList* target) {
  if (!target) return;
  seenWords_.Clear();
  depth_ = 0;
  target->BeginUpdate();
  target_ = target;
  // Target and the seen words are reset also when the target list fails, so that the
  // next parse starts clean; the update is ended through the caller's pointer, which a
  // nested parse cannot reset.
  auto finish = [&] {
    seenWords_.Clear();
    target_ = nullptr;
    target->EndUpdate();
  };
  try {
    target->Clear();
    ScanWords(PrepareText(text));
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

// Upper case, single spaces, symbols that join words pulled tight ("SMITH & JONES" ->
// "SMITH&JONES"), one-character words marked as initials, and a final space.
std::u16string TQO_ParseWordList::PrepareText(View text) const {
  std::u16string s = Platform::UpperCase(TrimView(text));
  const std::u16string symbols = CollectSymbols(s);
  ReplaceAllText(s, u"  ", u" ");
  auto tighten = [&](char16_t symbol, View doubled, View before, View after) {
    if (symbols.find(symbol) == std::u16string::npos) return;
    if (!doubled.empty()) ReplaceAllText(s, doubled, u" ");
    ReplaceAllText(s, before, View(&symbol, 1));
    if (!after.empty()) ReplaceAllText(s, after, View(&symbol, 1));
  };
  tighten(u'&', u"&&", u" &", u"& ");
  tighten(u'-', u"--", u" -", u"- ");
  tighten(u'.', u"", u" .", u"");
  tighten(u'+', u"++", u" +", u"+ ");
  ReplaceAllText(s, u"  ", u" ");
  return MarkInitials(s) + u" ";
}

// Adds each word of the prepared text (which ends in a space), and the runs of initials
// joined into one dotted word ("U. S. A" also gives "U.S.A.").
void TQO_ParseWordList::ScanWords(View s) {
  size_t start = 0;
  std::u16string initials;
  bool initialRun = true;
  const size_t last = s.size() - 1;
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (IsWordBreak(c)) {
      // The word begins with the previous break, which AddWord strips.
      if (start < i) AddWord(TrimView(s.substr(start, i - start)));
      start = i;
      if ((!initialRun || i == last) && !initials.empty()) {
        AddWord(initials);
        initials.clear();
      }
      initialRun = true;
    } else if (initialRun) {
      if (i >= last || IsInitialChar(s[i + 1])) {
        initialRun = false;
      } else if (IsInitialChar(c)) {
        initials.push_back(c);
        initials.push_back(u'.');
      }
    }
  }
}

void TQO_ParseWordList::AddWord(View word) {
  if (!target_) return;
  std::u16string w = NormalizeWord(word);
  if (w.empty()) return;
  if (w.size() == 1 && kIgnoredSingles.find(w[0]) != View::npos) return;
  // The words derived from one word of the text multiply with each symbol it holds: past
  // kMaxDerivedWords new ones, a word derives no more, so that no text makes a parse hang.
  const bool derived = depth_ > 0;
  if (derived && derivedLeft_ == 0) return;
  if (!seenWords_.Add(w)) return;
  derivedLeft_ = derived ? derivedLeft_ - 1 : kMaxDerivedWords;
  const std::u16string symbols = CollectSymbols(w);
  if (!symbols.empty()) {
    struct TDeeper {
      int& Depth;
      explicit TDeeper(int& depth) : Depth(++depth) {}
      ~TDeeper() { --Depth; }
    } deeper(depth_);
    AddSymbolForms(w, symbols);
  }
  // After the derived words, so that they precede the word they come from.
  Output(w, !symbols.empty());
  AddNumberForms(w);
}

void TQO_ParseWordList::TSeenWords::Clear() {
  exact_.clear();
  collated_.clear();
  collating_ = false;
}

bool TQO_ParseWordList::TSeenWords::Add(const std::u16string& word) {
  if (!exact_.insert(word).second) return false;
  if (!collating_ && IsPlainAscii(word)) return true;
  auto keyOf = [](const std::u16string& w) {
    std::string key;
    Platform::AppendSortKey(w, false, key);
    return key;
  };
  if (!collating_) {
    // From here on every new word is collated against all seen so far.
    collating_ = true;
    for (const std::u16string& seen : exact_)
      if (seen != word) collated_.insert(keyOf(seen));
  }
  return collated_.insert(keyOf(word)).second;
}

void TQO_ParseWordList::AddSymbolForms(const std::u16string& w, View symbols) {
  for (char16_t c : symbols)
    SplitOnSymbol(c, w);
  auto has = [&](char16_t c) { return symbols.find(c) != View::npos; };
  if (has(u'-') && ReplaceFirstSymbol(w, u"-N-", u"AND")) AddWord(u"AND");
  if (has(u'&')) {
    ReplaceFirstSymbol(w, u"&", u"AND");
    ReplaceFirstSymbol(w, u"&", u".");
    AddWord(u"&.");
    AddWord(u"AND");
  }
  if (has(u'%')) {
    ReplaceFirstSymbol(w, u"%", u"PERCENT");
    AddWord(u"PERCENT");
  }
  if (has(u'@') && ReplaceFirstSymbol(w, u"@", u"AT")) AddWord(u"AT");
  if (has(u'=') && ReplaceFirstSymbol(w, u"=", u"EQUALS")) AddWord(u"EQUALS");
  if (has(u'+') && ReplaceFirstSymbol(w, u"+", u"PLUS")) AddWord(u"PLUS");
  if (has(u'#') && ReplaceFirstSymbol(w, u"#", u"NO.")) {
    AddWord(u"NO");
    AddWord(u"POUND");
  }
}

// Adds the parts of `w` around each `c`: every prefix up to a `c`, every segment between
// two, every rest after one, and `w` without `c` when a part is short. An apostrophe
// never yields a lone "S" ("O'BRIEN'S" gives no "S").
void TQO_ParseWordList::SplitOnSymbol(char16_t c, const std::u16string& w) {
  const View word = w;
  size_t p = word.find(c);
  if (p == View::npos) return;
  if (p + 1 == word.size()) {
    AddWord(word.substr(0, p));
    return;
  }
  if (p <= 2 || word.size() - p - 1 < 3) AddWord(RemoveChar(word, c));
  auto addPart = [&](View part) {
    if (!(c == u'\'' && part == u"S")) AddWord(part);
  };
  for (size_t from = 0;;) {
    AddWord(word.substr(0, p + 1));
    if (from != 0) addPart(word.substr(from, p + 1 - from));
    const View rest = word.substr(p + 1);
    addPart(rest);
    const size_t next = rest.find(c);
    if (next == View::npos) return;
    from = p + 1;
    p += next + 1;
  }
}

// Adds `w` with its first `find` replaced; the position of `find` plus one, 0 if absent.
size_t TQO_ParseWordList::ReplaceFirstSymbol(const std::u16string& w, View find, View replacement) {
  const size_t p = w.find(find);
  if (p == std::u16string::npos) return 0;
  std::u16string replaced = w.substr(0, p);
  replaced.append(replacement);
  replaced.append(w, p + find.size());
  AddWord(replaced);
  return p + 1;
}

// The only place where words enter Target. A word with symbols that is longer than three
// quarters of the limit stays out: its parts already are in.
void TQO_ParseWordList::Output(const std::u16string& w, bool hasSymbols) {
  if (!target_) return;  // A nested parse from a target's notification has ended it.
  if (wordLengthLimit_ <= 0) {
    target_->Add(w);
    return;
  }
  const int64_t threshold = int64_t{wordLengthLimit_} * 3 / 4;
  if (hasSymbols && static_cast<int64_t>(w.size()) > threshold) return;
  target_->Add(w.substr(0, CutLength(w, wordLengthLimit_)));
}

void TQO_ParseWordList::AddNumberForms(View w) {
  w = StripTrailing(TrimRightView(StripLeading(TrimLeftView(w), kNumberEdge)), kNumberEdge);
  if (w.empty()) return;
  w = StripLeading(TrimLeftView(w), u"0");
  if (w.empty()) w = u"0";
  if (CountsAsNumber(w)) {
    SpellNumber(w);  // "0" spells no word.
  } else if (w.size() == 1) {
    AddWord(std::u16string(w) + u".");
  } else {
    for (size_t i = 0; i < kOrdinalTokens.size(); ++i)
      if (w == kOrdinalTokens[i]) AddWord(ordinalWords_[i]);
  }
}

void TQO_ParseWordList::SpellNumber(View digits) {
  if (digits.size() > 9) digits = SpellGroup(digits, 9, u"BILLION");
  if (digits.size() > 6) digits = SpellGroup(digits, 6, u"MILLION");
  if (digits.size() > 3) digits = SpellGroup(digits, 3, u"THOUSAND");
  if (!digits.empty()) SpellHundreds(digits);
}

// Spells the head before the last `count` digits, adds the scale word (also after a head
// of zeros) and returns the last `count` digits without leading zeros.
View TQO_ParseWordList::SpellGroup(View digits, size_t count, View scale) {
  SpellHundreds(digits.substr(0, digits.size() - count));
  AddWord(scale);
  return StripLeading(digits.substr(digits.size() - count), u"0");
}

void TQO_ParseWordList::SpellHundreds(View digits) {
  View t = StripLeading(digits, u"0");
  if (t.size() == 3) {
    AddWord(DigitWord(kUnitWords, t[0]));
    AddWord(u"HUNDRED");
    t = StripLeading(t.substr(1), u"0");
  }
  if (t.size() == 1) {
    AddWord(DigitWord(kUnitWords, t[0]));
  } else if (t.size() == 2 && t[0] == u'1') {
    AddWord(DigitWord(kTeenWords, t[1]));
  } else if (t.size() == 2 && (t[1] < u'1' || t[1] > u'9')) {
    AddWord(DigitWord(kTensWords, t[0]));
  } else if (t.size() == 2) {
    std::u16string joined(DigitWord(kTensWords, t[0]));
    joined += u'-';
    joined += DigitWord(kUnitWords, t[1]);
    AddWord(joined);  // Also split at its "-": TWENTY-FOUR adds TWENTY and FOUR first.
  }
}

TQO_ParseWordList& DefaultParseWordList() {
  static TQO_ParseWordList instance;
  return instance;
}
