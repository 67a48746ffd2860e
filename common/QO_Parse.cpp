#include "common/QO_Parse.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/QO_Utils.h"
#include "platform/Collation.h"

namespace {

using View = std::u16string_view;

// A set of characters. Every character of a text passes several of these tests, so the
// ASCII members of all sets are looked up in one table, a bit per set.
struct TCharSet {
  View Chars;
  uint16_t Bit;
  bool Contains(char16_t c) const;
};

// Characters CollectSymbols reports. "$", ",", ":", ";", brackets, braces, "|" and "_"
// are not among them.
constexpr TCharSet kSymbols{u"\x1F!\"#%&'()*+-./<=>?@\\^`~\u00AC\u201C\u201D", 1};
// Stripped from the front of a word. The grave accent appears twice in the historical set.
constexpr TCharSet kLead{u"'`\"\u201C\u201D)([]{}<>`,-/\\~*.;:", 2};
// Stripped from the end: the same without ". ; :", plus "&" ("SMITH&" -> "SMITH").
constexpr TCharSet kTrail{u"'`\"\u201C\u201D)([]{}<>`,-/\\~*&", 4};
// One-character words that carry nothing to search for.
constexpr TCharSet kIgnoredSingles{u"\x1F!\"',-.:;?\u00AC\u201C\u201D", 8};
// Around a number: "-5", "+5", "5." and " 5 " all spell FIVE.
constexpr TCharSet kNumberEdge{u" +-.", 16};
// What ends a word besides the codes up to 32.
constexpr TCharSet kWordBreaks{u"!()*,/;<=>?:", 32};

// More bits for the ASCII characters: those that make a word other than plain ASCII (see
// TWordFacts), the lower-case letters, which upper-casing changes, and what the edges of a
// word are tested for: blanks (the codes up to 32), the period, and digits and "$", which
// begin a number.
constexpr uint16_t kNotPlainBit = 64;
constexpr uint16_t kCaseBit = 128;
constexpr uint16_t kBlankBit = 256;
constexpr uint16_t kPeriodBit = 512;
constexpr uint16_t kNumberStartBit = 1024;

constexpr std::array<uint16_t, 128> kAsciiSets = [] {
  std::array<uint16_t, 128> bits{};
  for (const TCharSet& set : {kSymbols, kLead, kTrail, kIgnoredSingles, kNumberEdge, kWordBreaks})
    for (char16_t c : set.Chars)
      if (c < 128) bits[c] |= set.Bit;
  for (char16_t c = 0; c <= 32; ++c)
    bits[c] |= kNotPlainBit | kBlankBit;
  bits[u'.'] |= kPeriodBit;
  for (char16_t c = u'0'; c <= u'9'; ++c)
    bits[c] |= kNumberStartBit;
  bits[u'$'] |= kNumberStartBit;
  bits[127] |= kNotPlainBit;
  for (char16_t c = u'a'; c <= u'z'; ++c)
    bits[c] |= kNotPlainBit | kCaseBit;
  return bits;
}();

bool TCharSet::Contains(char16_t c) const {
  return c < 128 ? (kAsciiSets[c] & Bit) != 0 : Chars.find(c) != View::npos;
}

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

// What AddWord needs to know of a word, found in one pass over it.
struct TWordFacts {
  uint32_t Hash;  // FNV-1a over the code units, folded to 32 bits
  uint16_t Sets;  // the sets of kAsciiSets its characters belong to, a bit each

  // Holds a character CollectSymbols reports.
  bool HasSymbols() const { return (Sets & kSymbols.Bit) != 0; }
  // Printable ASCII without lower case: two such words are equal by the list comparison
  // only when they are identical (a test holds the collation to that).
  bool PlainAscii() const { return (Sets & kNotPlainBit) == 0; }
  // Holds a lower-case ASCII letter or a character beyond ASCII: upper-casing may change it.
  // Nearly all words are in upper case already, since the text was.
  bool MayChangeCase() const { return (Sets & kCaseBit) != 0; }
};

// Inline in AddWord, like the seen-word check and Output: most words are a few characters
// long, and a call with its saved registers costs as much as examining one.
[[gnu::always_inline]] inline TWordFacts ExamineWord(std::u16string_view word) {
  constexpr uint64_t kPrime = 0x100000001B3u;
  uint64_t hash = 0xCBF29CE484222325u;
  uint16_t sets = 0;
  auto setsOf = [](char16_t c) {
    return c < 128 ? kAsciiSets[c]
                   : uint16_t(kNotPlainBit | kCaseBit | (kSymbols.Contains(c) ? kSymbols.Bit : 0));
  };
  // Two code units at a time: nearly all words are ASCII, which needs one test for both.
  const size_t n = word.size();
  size_t i = 0;
  for (; i + 2 <= n; i += 2) {
    const char16_t a = word[i], b = word[i + 1];
    hash = (((hash ^ a) * kPrime) ^ b) * kPrime;
    if ((a | b) < 128)
      sets |= kAsciiSets[a] | kAsciiSets[b];
    else
      sets |= setsOf(a) | setsOf(b);
  }
  if (i < n) {
    hash = (hash ^ word[i]) * kPrime;
    sets |= setsOf(word[i]);
  }
  return {static_cast<uint32_t>(hash ^ (hash >> 32)), sets};
}

// Words are a few code units long: they are compared and copied without a call, four units
// (two for a word of two or three) at a time, the last four (two) overlapping the ones before.
uint64_t LoadUnits4(const char16_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uint32_t LoadUnits2(const char16_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Whether two words have the same code units.
bool SameUnits(std::u16string_view a, std::u16string_view b) {
  const size_t n = a.size();
  if (n != b.size()) return false;
  const char16_t *p = a.data(), *q = b.data();
  if (n >= 4) {
    for (size_t i = 0; i + 4 < n; i += 4)
      if (LoadUnits4(p + i) != LoadUnits4(q + i)) return false;
    return LoadUnits4(p + n - 4) == LoadUnits4(q + n - 4);
  }
  if (n >= 2)
    return LoadUnits2(p) == LoadUnits2(q) && LoadUnits2(p + n - 2) == LoadUnits2(q + n - 2);
  return n == 0 || p[0] == q[0];
}

void CopyUnits(std::u16string_view word, char16_t* to) {
  const size_t n = word.size();
  const char16_t* from = word.data();
  if (n >= 4) {
    for (size_t i = 0; i + 4 < n; i += 4)
      std::memcpy(to + i, from + i, 8);
    std::memcpy(to + n - 4, from + n - 4, 8);
  } else if (n >= 2) {
    std::memcpy(to, from, 4);
    std::memcpy(to + n - 2, from + n - 2, 4);
  } else if (n == 1) {
    to[0] = from[0];
  }
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

bool IsInitialChar(char16_t c) {
  return IsDigit(c) || (c >= u'A' && c <= u'Z');
}

View StripLeading(View text, const TCharSet& set) {
  while (!text.empty() && set.Contains(text.front()))
    text.remove_prefix(1);
  return text;
}

View StripTrailing(View text, const TCharSet& set) {
  while (!text.empty() && set.Contains(text.back()))
    text.remove_suffix(1);
  return text;
}

View StripLeading(View text, char16_t c) {
  while (!text.empty() && text.front() == c)
    text.remove_prefix(1);
  return text;
}

View StripTrailing(View text, char16_t c) {
  while (!text.empty() && text.back() == c)
    text.remove_suffix(1);
  return text;
}

bool IsAscii(View text) {
  char16_t all = 0;
  for (char16_t c : text)
    all |= c;
  return all < 128;
}

// Platform::UpperCase for ASCII text, in place: the letters a to z shift to A to Z (a test
// holds the platform to that).
void UpperCaseAscii(std::u16string& text) {
  for (char16_t& c : text)
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
}

// Step one of every word: blanks, edge punctuation and a final period off. Upper case is
// the other part of the step, which AddWord takes after this one where the word's facts ask
// for it: upper-casing maps each character to one and leaves blanks and punctuation as they
// are, so that it gives the same word first or second.
View StripWord(View word) {
  // Most words have nothing to strip: an ASCII first character that is neither blank nor
  // stripped from the front, and an ASCII last one that is neither blank, nor stripped from
  // the end, nor a period.
  if (!word.empty()) {
    const char16_t first = word.front(), last = word.back();
    if ((first | last) < 128 && ((kAsciiSets[first] & (kBlankBit | kLead.Bit)) |
                                 (kAsciiSets[last] & (kBlankBit | kTrail.Bit | kPeriodBit))) == 0)
      return word;
  }
  View w = TrimView(word);
  const size_t trimmed = w.size();
  w = StripTrailing(StripLeading(w, kLead), kTrail);
  if (w.size() > 2) w = StripTrailing(w, u'.');
  // Trimmed already unless something was cut off.
  return w.size() == trimmed ? w : TrimView(w);
}

// ReplaceAllText for a pair of characters and one in its place, done in place: what is
// written never overtakes what is still to be read.
void ReplacePair(std::u16string& text, char16_t first, char16_t second, char16_t replacement) {
  size_t out = 0;
  for (size_t i = 0; i < text.size();) {
    if (text[i] == first && i + 1 < text.size() && text[i + 1] == second) {
      text[out++] = replacement;
      i += 2;
    } else {
      text[out++] = text[i++];
    }
  }
  text.resize(out);
}

// Whether preparing a text pulls the pair `a` `b` tight: two spaces, or a space next to
// "&", "-" or "+" (also before "."), or one of "&&", "--", "++".
bool IsTightenPair(char16_t a, char16_t b) {
  auto joins = [](char16_t c) { return c == u'&' || c == u'-' || c == u'+'; };
  return a == u' ' ? (b == u' ' || b == u'.' || joins(b)) : joins(a) && (b == u' ' || b == a);
}

// Whether `text` holds a pair to pull tight. Without one no replacement changes anything,
// since each replacement needs one of these pairs.
bool HasTightenPair(View text) {
  for (size_t i = 1; i < text.size(); ++i)
    if (IsTightenPair(text[i - 1], text[i])) return true;
  return false;
}

// False for most words, which begin with two characters that AddNumberForms does not strip,
// the first not one that a number or ordinal token begins with: they add no number form.
bool MayHaveNumberForm(View w) {
  if (w.size() < 2) return true;
  // Characters beyond ASCII are neither stripped nor begin a number.
  auto sets = [](char16_t c) { return c < 128 ? kAsciiSets[c] : uint16_t{0}; };
  return ((sets(w[0]) & (kBlankBit | kNumberEdge.Bit | kNumberStartBit)) |
          (sets(w[1]) & (kBlankBit | kNumberEdge.Bit))) != 0;
}

// Whether a number form counts as a number: "0", or a text the classic conversion reads as
// a nonzero 32-bit integer (a sign or "$" and hexadecimal digits included). The spelling
// then walks the text as it stands, so "$100" spells THOUSAND, ONE, HUNDRED: search words
// stored by earlier parses hold exactly these words.
bool CountsAsNumber(View w) {
  if (w.size() == 1) return IsDigit(w[0]);  // all the conversion reads in one character
  int32_t value = 0;
  return TryStrToInt(w, value) && value != 0;
}

// The number words of one character; empty for anything that is not a decimal digit.
View DigitWord(const std::array<View, 10>& words, char16_t c) {
  return c >= u'0' && c <= u'9' ? words[size_t(c - u'0')] : View();
}

// How much of `word` fits `limit`; never half of a surrogate pair.
size_t CutLength(View word, int32_t limit) {
  size_t cut = static_cast<size_t>(limit);
  if (cut >= word.size()) return word.size();
  if (word[cut - 1] >= 0xD800 && word[cut - 1] <= 0xDBFF) --cut;
  return cut;
}

// A word built from parts for one AddWord call: on the stack while short, which nearly
// every derived word is.
class TBuiltWord {
 public:
  TBuiltWord& operator<<(View part) {
    if (heap_.empty() && size_ + part.size() <= stack_.size()) {
      std::copy(part.begin(), part.end(), stack_.begin() + size_);
      size_ += part.size();
    } else {
      if (heap_.empty()) heap_.assign(stack_.data(), size_);
      heap_.append(part);
    }
    return *this;
  }
  View Text() const { return heap_.empty() ? View(stack_.data(), size_) : View(heap_); }

 private:
  std::array<char16_t, 40> stack_;
  size_t size_ = 0;
  std::u16string heap_;
};

}  // namespace

bool IsWordBreak(char16_t c) {
  return c < 128 && (kAsciiSets[c] & (kBlankBit | kWordBreaks.Bit)) != 0;  // all are ASCII
}

std::u16string RemoveChar(View text, char16_t c) {
  std::u16string result;
  result.reserve(text.size());
  for (char16_t t : text)
    if (t != c) result.push_back(t);
  return result;
}

std::u16string StripLeadingChars(View text, View chars) {
  while (!text.empty() && chars.find(text.front()) != View::npos)
    text.remove_prefix(1);
  return std::u16string(text);
}

std::u16string StripTrailingChars(View text, View chars) {
  while (!text.empty() && chars.find(text.back()) != View::npos)
    text.remove_suffix(1);
  return std::u16string(text);
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

namespace {

// MarkInitials into `result`, which it replaces.
void MarkInitialsInto(View text, std::u16string& result) {
  // Inserting from the end leaves every position before the insertion as it was, so the
  // tests read the original text and the result can be built front to back.
  result.clear();
  result.reserve(text.size() + text.size() / 2 + 1);  // room for the final space of a prepared text
  size_t copied = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] == u' ' && (i == 1 || text[i - 2] == u' ')) {
      result.append(text.substr(copied, i - copied));
      result.push_back(u'.');
      copied = i;
    }
  }
  result.append(text.substr(copied));
}

#if defined(__SSE2__)
// IsTightenPair for eight pairs: `a` holds the first characters, `b` the second.
__m128i TightenPairs(__m128i a, __m128i b) {
  auto is = [](__m128i v, char16_t c) { return _mm_cmpeq_epi16(v, _mm_set1_epi16(short(c))); };
  auto joins = [&](__m128i v) {
    return _mm_or_si128(_mm_or_si128(is(v, u'&'), is(v, u'-')), is(v, u'+'));
  };
  const __m128i spaceB = is(b, u' ');
  const __m128i afterSpace = _mm_or_si128(_mm_or_si128(spaceB, is(b, u'.')), joins(b));
  const __m128i afterJoin = _mm_or_si128(spaceB, _mm_cmpeq_epi16(a, b));
  return _mm_or_si128(_mm_and_si128(is(a, u' '), afterSpace), _mm_and_si128(joins(a), afterJoin));
}
#endif

// For ASCII text without a pair to pull tight (see IsTightenPair), the rest of
// PrepareTextInto in one pass: initials marked, upper case and the final space; eight
// characters at a time where the platform can. The prepared text is the first `length` of
// `buffer`, which only grows, so that its room is not filled anew for every text. False for
// any other text, with `buffer` and `length` unspecified.
bool PrepareSimpleText(View text, std::u16string& buffer, size_t& length) {
  const size_t n = text.size();
  if (buffer.size() < n + n / 2 + 1) buffer.resize(n + n / 2 + 1);
  const char16_t* t = text.data();
  char16_t* out = buffer.data();
  auto step = [&](size_t i) {
    const char16_t c = t[i];
    if (c >= 128 || (i >= 1 && IsTightenPair(t[i - 1], c))) return false;
    if (c == u' ' && i >= 1 && (i == 1 || t[i - 2] == u' ')) *out++ = u'.';
    *out++ = c >= u'a' && c <= u'z' ? char16_t(c - 32) : c;
    return true;
  };
  size_t i = 0;
#if defined(__SSE2__)
  // From the third character on, the two before each one are there to look at.
  for (; i < 2 && i < n; ++i)
    if (!step(i)) return false;
  auto load = [](const char16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  for (; i + 8 <= n; i += 8) {
    const __m128i c = load(t + i), before = load(t + i - 1);
    const __m128i beyondAscii =
        _mm_cmpeq_epi16(_mm_and_si128(c, _mm_set1_epi16(short(0xFF80))), _mm_setzero_si128());
    if (_mm_movemask_epi8(_mm_andnot_si128(beyondAscii, _mm_set1_epi16(-1))) != 0 ||
        _mm_movemask_epi8(TightenPairs(before, c)) != 0)
      return false;
    const __m128i space = _mm_set1_epi16(u' ');
    if (_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(c, space),
                                        _mm_cmpeq_epi16(load(t + i - 2), space))) != 0) {
      for (size_t k = i; k < i + 8; ++k)
        step(k);  // an initial in these eight: they pass the tests above
      continue;
    }
    const __m128i lower = _mm_and_si128(_mm_cmpgt_epi16(c, _mm_set1_epi16(u'a' - 1)),
                                        _mm_cmplt_epi16(c, _mm_set1_epi16(u'z' + 1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_sub_epi16(c, _mm_and_si128(lower, _mm_set1_epi16(32))));
    out += 8;
  }
#endif
  for (; i < n; ++i)
    if (!step(i)) return false;
  *out++ = u' ';
  length = static_cast<size_t>(out - buffer.data());
  return true;
}

// PrepareWordText in the storage `prepared`, whose contents it replaces; `s` is room for the
// steps between.
View PrepareTextInto(View text, std::u16string& prepared, std::u16string& s) {
  text = TrimView(text);
  size_t length = 0;
  if (PrepareSimpleText(text, prepared, length)) return View(prepared).substr(0, length);
  if (IsAscii(text)) {
    // Upper-casing ASCII shifts the letters and touches nothing the other steps look at.
    s.assign(text);
    UpperCaseAscii(s);
  } else {
    s = Platform::UpperCase(text);
    if (!HasTightenPair(s)) {
      MarkInitialsInto(s, prepared);
      prepared.push_back(u' ');
      return prepared;
    }
  }
  ReplacePair(s, u' ', u' ', u' ');
  // No replacement adds or removes a symbol that a later one asks for.
  auto tighten = [&](char16_t symbol, bool doubled, bool after) {
    if (s.find(symbol) == std::u16string::npos) return;
    if (doubled) ReplacePair(s, symbol, symbol, u' ');
    ReplacePair(s, u' ', symbol, symbol);
    if (after) ReplacePair(s, symbol, u' ', symbol);
  };
  tighten(u'&', true, true);
  tighten(u'-', true, true);
  tighten(u'.', false, false);
  tighten(u'+', true, true);
  ReplacePair(s, u' ', u' ', u' ');
  MarkInitialsInto(s, prepared);
  prepared.push_back(u' ');
  return prepared;
}

}  // namespace

std::u16string MarkInitials(View text) {
  std::u16string result;
  MarkInitialsInto(text, result);
  return result;
}

std::u16string PrepareWordText(View text) {
  std::u16string prepared, steps;
  return std::u16string(PrepareTextInto(text, prepared, steps));
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
    if (kSymbols.Contains(c) && symbols.find(c) == std::u16string::npos) symbols.push_back(c);
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
    // The buffer is this call's while it runs: a nested parse (from a target's
    // notification) finds none and makes its own.
    std::u16string prepared = std::move(prepared_);
    ScanWords(PrepareTextInto(text, prepared, tightened_));
    prepared_ = std::move(prepared);
  } catch (...) {
    finish();
    throw;
  }
  finish();
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
    if (!initialRun)  // the rest of the word up to its break, which ends every word
      while (!IsWordBreak(s[i + 1]))
        ++i;
  }
}

[[gnu::always_inline]] inline bool TQO_ParseWordList::TSeenWords::Add(View word, uint32_t hash,
                                                                      bool plainAscii) {
  const size_t mask = slots_.size() - 1;
  size_t slot = hash & mask;
  for (; slots_[slot].Entry != 0; slot = (slot + 1) & mask)
    if (slots_[slot].Hash == hash && SameUnits(WordAt(entries_[slots_[slot].Entry - 1]), word))
      return false;
  if (used_ + word.size() > chars_.size()) chars_.resize(2 * (used_ + word.size()));
  CopyUnits(word, chars_.data() + used_);
  entries_.push_back({used_, word.size(), slot});
  used_ += word.size();
  slots_[slot] = TSlot{hash, static_cast<uint32_t>(entries_.size())};
  if (entries_.size() * 2 > slots_.size()) Grow();
  if (plainAscii && others_.empty()) return true;
  return AddCollated(word, plainAscii);
}

void TQO_ParseWordList::AddWord(View word) {
  if (!target_) return;
  // `word` stays valid through the whole call (callers pass their own texts or parts of
  // the word they are deriving from), and so does `w`, a part of it.
  const View w = StripWord(word);
  if (w.empty()) return;
  if (w.size() == 1 && kIgnoredSingles.Contains(w[0])) return;
  // The words derived from one word of the text multiply with each symbol it holds: past
  // kMaxDerivedWords new ones, a word derives no more, so that no text makes a parse hang.
  const bool derived = depth_ > 0;
  if (derived && derivedLeft_ == 0) return;
  const TWordFacts facts = ExamineWord(w);
  if (facts.MayChangeCase())
    AddUpperCase(w, derived);
  else
    AddExamined(w, facts.Hash, facts.PlainAscii(), facts.HasSymbols(), derived);
}

// The rest of AddWord for a word that upper-casing may change, kept apart: nearly all words
// are in upper case already, since the text was.
void TQO_ParseWordList::AddUpperCase(View w, bool derived) {
  const std::u16string upper = Platform::UpperCase(w);  // valid through the rest of AddWord
  const TWordFacts facts = ExamineWord(upper);
  AddExamined(upper, facts.Hash, facts.PlainAscii(), facts.HasSymbols(), derived);
}

// The rest of AddWord for a word in upper case.
[[gnu::always_inline]] inline void TQO_ParseWordList::AddExamined(View w, uint32_t hash,
                                                                  bool plainAscii, bool hasSymbols,
                                                                  bool derived) {
  if (!seenWords_.Add(w, hash, plainAscii)) return;
  derivedLeft_ = derived ? derivedLeft_ - 1 : kMaxDerivedWords;
  // Most words hold no symbol: they derive no words from symbols.
  const bool derivedFromSymbols = hasSymbols && AddSymbolForms(w);
  // After the derived words, so that they precede the word they come from.
  Output(w, derivedFromSymbols);
  if (MayHaveNumberForm(w)) AddNumberForms(w);
}

void TQO_ParseWordList::TSeenWords::Clear() {
  // The storage keeps its capacity for the next parse, unless a long text made it large.
  if (entries_.size() > kKeptWords) {
    entries_ = {};
    chars_ = {};
    slots_ = {};
  }
  if (slots_.size() == kInitialSlots) {
    for (const TEntry& e : entries_)
      slots_[e.Slot] = TSlot{0, 0};
  } else {
    slots_.assign(kInitialSlots, TSlot{0, 0});
  }
  entries_.clear();
  used_ = 0;
  if (!others_.empty() || keyed_ != 0) {
    collated_.clear();
    others_.clear();
    keyed_ = 0;
  }
}

// Kept apart from Add, which most words leave before it gets here. `word` is the last
// entry, new by its code units.
bool TQO_ParseWordList::TSeenWords::AddCollated(View word, bool plainAscii) {
  const size_t entry = entries_.size() - 1;
  if (plainAscii && others_.size() <= kComparedWords) {
    for (size_t other : others_)
      if (Platform::CompareText(word, WordAt(entries_[other]), false) == 0) return false;
    return true;
  }
  if (keyed_ == 0 && entry <= kComparedWords) {
    // Few words before it and none keyed yet (it is often the first word of the text).
    for (size_t i = 0; i < entry; ++i)
      if (Platform::CompareText(word, WordAt(entries_[i]), false) == 0) return false;
    others_.push_back(entry);
    return true;
  }
  KeyWordsUpTo(entry);
  std::string key;
  Platform::AppendSortKey(word, false, key);
  keyed_ = entry + 1;
  if (!collated_.insert(std::move(key)).second) return false;
  if (!plainAscii) others_.push_back(entry);
  return true;
}

// Puts the keys of the words before `end` into collated_ (a key already there changes
// nothing).
void TQO_ParseWordList::TSeenWords::KeyWordsUpTo(size_t end) {
  for (; keyed_ < end; ++keyed_) {
    std::string key;
    Platform::AppendSortKey(WordAt(entries_[keyed_]), false, key);
    collated_.insert(std::move(key));
  }
}

// Doubles the index, which stays at most half full so that a search ends soon.
void TQO_ParseWordList::TSeenWords::Grow() {
  std::vector<TSlot> old(slots_.size() * 2, TSlot{0, 0});
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const TSlot& s : old) {
    if (s.Entry == 0) continue;
    size_t slot = s.Hash & mask;
    while (slots_[slot].Entry != 0)
      slot = (slot + 1) & mask;
    slots_[slot] = s;
    entries_[s.Entry - 1].Slot = slot;
  }
}

bool TQO_ParseWordList::AddSymbolForms(View w) {
  const std::u16string symbols = CollectSymbols(w);
  if (symbols.empty()) return false;
  struct TDeeper {
    int& Depth;
    explicit TDeeper(int& depth) : Depth(++depth) {}
    ~TDeeper() { --Depth; }
  } deeper(depth_);
  for (char16_t c : symbols)
    SplitOnSymbol(c, w);
  // Which of the symbols with words of their own the word holds, looked up once.
  constexpr View kWordSymbols = u"-&%@=+#";
  unsigned held = 0;
  for (char16_t c : symbols) {
    const size_t at = kWordSymbols.find(c);
    if (at != View::npos) held |= 1u << at;
  }
  auto has = [&](char16_t c) { return (held & (1u << kWordSymbols.find(c))) != 0; };
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
  return true;
}

// Adds the parts of `w` around each `c`: every prefix up to a `c`, every segment between
// two, every rest after one, and `w` without `c` when a part is short. An apostrophe
// never yields a lone "S" ("O'BRIEN'S" gives no "S").
void TQO_ParseWordList::SplitOnSymbol(char16_t c, View word) {
  size_t p = word.find(c);
  if (p == View::npos) return;
  if (p + 1 == word.size()) {
    AddWord(word.substr(0, p));
    return;
  }
  if (p <= 2 || word.size() - p - 1 < 3) {
    TBuiltWord without;
    for (size_t from = 0, to = p;; from = to + 1, to = word.find(c, from)) {
      without << word.substr(from, to - from);
      if (to == View::npos) break;
    }
    AddWord(without.Text());
  }
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
size_t TQO_ParseWordList::ReplaceFirstSymbol(View w, View find, View replacement) {
  const size_t p = w.find(find);
  if (p == View::npos) return 0;
  TBuiltWord replaced;
  replaced << w.substr(0, p) << replacement << w.substr(p + find.size());
  AddWord(replaced.Text());
  return p + 1;
}

// The only place where words enter Target. A word with symbols that is longer than three
// quarters of the limit stays out: its parts already are in.
[[gnu::always_inline]] inline void TQO_ParseWordList::Output(View w, bool hasSymbols) {
  if (!target_) return;  // A nested parse from a target's notification has ended it.
  if (wordLengthLimit_ <= 0) {
    target_->AddText(w);
    return;
  }
  const int64_t threshold = int64_t{wordLengthLimit_} * 3 / 4;
  if (hasSymbols && static_cast<int64_t>(w.size()) > threshold) return;
  target_->AddText(w.substr(0, CutLength(w, wordLengthLimit_)));
}

void TQO_ParseWordList::AddNumberForms(View w) {
  w = StripTrailing(TrimRightView(StripLeading(TrimLeftView(w), kNumberEdge)), kNumberEdge);
  if (w.empty()) return;
  w = StripLeading(TrimLeftView(w), u'0');
  if (w.empty()) w = u"0";
  // A number or ordinal token begins with a digit, a sign, a space or "$"; most words do not.
  const char16_t first = w[0];
  if (w.size() > 1 && !IsDigit(first) && first != u'$' && first != u'+' && first != u'-' &&
      first != u' ')
    return;
  if (CountsAsNumber(w)) {
    SpellNumber(w);  // "0" spells no word.
  } else if (w.size() == 1) {
    TBuiltWord initial;
    initial << w << u".";
    AddWord(initial.Text());
  } else {
    // A copy: AddWord reads its word to the end, and a target's handler may change the words.
    for (size_t i = 0; i < kOrdinalTokens.size(); ++i)
      if (w == kOrdinalTokens[i]) AddWord(std::u16string(ordinalWords_[i]));
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
  return StripLeading(digits.substr(digits.size() - count), u'0');
}

void TQO_ParseWordList::SpellHundreds(View digits) {
  View t = StripLeading(digits, u'0');
  if (t.size() == 3) {
    AddWord(DigitWord(kUnitWords, t[0]));
    AddWord(u"HUNDRED");
    t = StripLeading(t.substr(1), u'0');
  }
  if (t.size() == 1) {
    AddWord(DigitWord(kUnitWords, t[0]));
  } else if (t.size() == 2 && t[0] == u'1') {
    AddWord(DigitWord(kTeenWords, t[1]));
  } else if (t.size() == 2 && (t[1] < u'1' || t[1] > u'9')) {
    AddWord(DigitWord(kTensWords, t[0]));
  } else if (t.size() == 2) {
    TBuiltWord joined;
    joined << DigitWord(kTensWords, t[0]) << u"-" << DigitWord(kUnitWords, t[1]);
    AddWord(joined.Text());  // Also split at its "-": TWENTY-FOUR adds TWENTY and FOUR first.
  }
}

TQO_ParseWordList& DefaultParseWordList() {
  static TQO_ParseWordList instance;
  return instance;
}
