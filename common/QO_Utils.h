// Text helpers shared by every operation: splitting, joining, quoting and number parsing.
// Positions are 1-based UTF-16 code unit positions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TStringList;

/// Quote kinds passed to the quoting helpers.
inline constexpr char16_t kQuoteDouble = u'"';
inline constexpr char16_t kQuoteCoded = u'#';
inline constexpr char16_t kQuoteAny = u' ';

/// How NextToken and SplitText cut a text into items.
struct TSplitSettings {
  bool SpaceSeparates = false;
  std::u16string Delimiters = u";,";  // Empty means ";,".
  bool TrimItems = false;
  bool SingleQuotesGroup = false;
  bool LineBreaksSeparate = false;
};

/// True for the characters that trimming removes: every code up to 32.
inline bool IsWhitespace(char16_t c) {
  return c <= 32;
}

// Inline: the word parser trims every word several times.
inline std::u16string_view TrimLeftView(std::u16string_view text) {
  size_t b = 0;
  while (b < text.size() && IsWhitespace(text[b]))
    ++b;
  return text.substr(b);
}

inline std::u16string_view TrimRightView(std::u16string_view text) {
  size_t e = text.size();
  while (e > 0 && IsWhitespace(text[e - 1]))
    --e;
  return text.substr(0, e);
}

inline std::u16string_view TrimView(std::u16string_view text) {
  return TrimRightView(TrimLeftView(text));
}
inline std::u16string Trim(std::u16string_view text) {
  return std::u16string(TrimView(text));
}

/// ASCII-case-insensitive equality: equal length and equal after folding a-z to A-Z.
bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b);

/// Reads the next item of `text` starting at the 1-based `position`, which it moves past
/// the item and its separator. Quotes and brackets stay in the item.
std::u16string NextToken(std::u16string_view text, size_t& position,
                         const TSplitSettings& settings);

/// Clears `list` and fills it with the items of `text`; an empty text gives no item.
void SplitText(std::u16string_view text, TStringList& list, const TSplitSettings& settings);

/// The same split into a vector, for callers that need no list semantics.
void SplitText(std::u16string_view text, std::vector<std::u16string>& items,
               const TSplitSettings& settings);

/// The same split into views of `text`, which must outlive them.
void SplitText(std::u16string_view text, std::vector<std::u16string_view>& items,
               const TSplitSettings& settings);

/// Where one item of a split lies in its text: the untrimmed item runs from Begin to End, its
/// separator from End to Next (empty for a last item without one); Item is the item as the
/// split gives it.
struct TTokenSpan {
  size_t Begin = 0;
  size_t End = 0;
  size_t Next = 0;
  std::u16string_view Item;
};

/// The same split as SplitText, with the place of each item, for edits that must leave the
/// rest of the text as it was.
std::vector<TTokenSpan> SplitSpans(std::u16string_view text, const TSplitSettings& settings);

/// The items in order with `separator` between each two.
std::u16string JoinList(const TStringList& list, char16_t separator);

/// True when the trimmed text is enclosed in quotes of `kind` (kQuoteDouble or kQuoteCoded).
bool IsQuoted(std::u16string_view text, char16_t kind);

/// The content of the literal(s) in `text`, or the text unchanged when it is not a valid
/// literal. Fails with EConvertError for a character code that does not fit 32 bits.
std::u16string StripQuotes(std::u16string_view text, char16_t kind, bool trim);

/// Reads the literal(s) of `text` into `result` like StripQuotes; returns false (leaving
/// `result` unspecified) when the text is not a valid literal.
bool TryStripQuotes(std::u16string_view text, char16_t kind, bool trim, std::u16string& result);

/// The text unchanged when IsQuoted holds, else a new literal of `kind`.
std::u16string QuoteText(std::u16string_view text, char16_t kind);

/// Position of the first `ch` at or after `start` outside quotes, 0 when there is none.
size_t PosOutsideQuotes(char16_t ch, std::u16string_view text, size_t start,
                        bool honourSingleQuotes, bool honourDoubleQuotes);

/// Parses a signed 32-bit integer: optional leading blanks, an optional sign, then decimal
/// digits or "$"/"0x" and hexadecimal digits. Fails with EConvertError.
int32_t StrToInt(std::u16string_view text);

/// The same conversion without an error: false when the text is not such a number.
bool TryStrToInt(std::u16string_view text, int32_t& value);

/// The text of `value` in decimal.
std::u16string IntToStr(int64_t value);

/// Cuts a file's text into lines at CR LF, LF or CR; a final line break adds no empty line.
std::vector<std::u16string> SplitLines(std::u16string_view text);

/// The value of an environment variable of the process, empty when it is not set.
std::u16string GetEnvVar(std::u16string_view name);

/// Converts an ASCII literal to UTF-16 (for messages built from narrow constants).
std::u16string AsciiToText(std::string_view ascii);
