#include "common/QO_Utils.h"

#include <array>

#include "common/QO_StringList.h"
#include "platform/Errors.h"
#include "platform/Process.h"

namespace {

// The settings of one split, resolved once: which characters separate, group and nest.
struct TTokenRules {
  std::u16string_view Text;
  std::u16string Delimiters;
  bool SpaceSeparates;
  bool LineBreaksSeparate;
  bool TrimItems;
  bool BracketsNest;
  bool BracesNest;
  bool SingleQuotesGroup;
  bool DoubleQuotesGroup;
  // The ASCII characters an item may end or group at; all others are skipped in one step.
  std::array<bool, 128> Special{};
  bool WideDelimiters = false;  // a delimiter beyond ASCII: no character may be skipped

  TTokenRules(std::u16string_view text, const TSplitSettings& s)
      : Text(text),
        SpaceSeparates(s.SpaceSeparates),
        LineBreaksSeparate(s.LineBreaksSeparate),
        TrimItems(s.TrimItems) {
    std::u16string_view given = s.Delimiters.empty() ? u";," : std::u16string_view(s.Delimiters);
    for (char16_t c : given) {
      if (c == u' ') {
        SpaceSeparates = true;
      } else if (c == u'\r' || c == u'\n') {
        LineBreaksSeparate = true;
      } else {
        Delimiters.push_back(c);
      }
    }
    BracketsNest = !IsDelimiter(u'[') && !IsDelimiter(u']');
    BracesNest = !IsDelimiter(u'(') && !IsDelimiter(u')');
    SingleQuotesGroup = s.SingleQuotesGroup && !IsDelimiter(u'\'');
    DoubleQuotesGroup = !IsDelimiter(u'"');
    for (char16_t c : std::u16string_view(u"\"'[]{} \r\n"))
      Special[c] = true;
    for (char16_t c : Delimiters) {
      if (c < 128)
        Special[c] = true;
      else
        WideDelimiters = true;
    }
  }

  bool IsDelimiter(char16_t c) const { return Delimiters.find(c) != std::u16string::npos; }

  // One item starting at the 0-based index `p`; `p` moves past the item and its separator.
  // `rawEnd`, when given, receives where the untrimmed item ends.
  std::u16string_view Next(size_t& p, size_t* rawEnd = nullptr) const;
};

std::u16string_view TTokenRules::Next(size_t& p, size_t* rawEnd) const {
  const size_t n = Text.size();
  bool inSingle = false, inDouble = false;
  int depth = 0;  // Brackets and braces together: an unmatched "]" and "{" cancel.
  auto advance = [&](size_t& i) {
    ++i;
    if (SpaceSeparates && !inSingle && !inDouble)
      while (i < n && Text[i] == u' ')
        ++i;
  };
  size_t start = p;
  size_t i = p;
  if (SpaceSeparates)
    while (i < n && Text[i] == u' ')
      ++i;
  for (; i < n; ++i) {
    char16_t c = Text[i];
    if (c < 128 ? !Special[c] : !WideDelimiters) continue;  // an ordinary character
    bool outside = !inSingle && !inDouble;
    if (c == u'"' && DoubleQuotesGroup && !inSingle) {
      inDouble = !inDouble;
    } else if (c == u'\'' && SingleQuotesGroup && !inDouble) {
      inSingle = !inSingle;
    } else if ((c == u'[' || c == u']') && BracketsNest && outside) {
      depth += c == u'[' ? 1 : -1;
    } else if ((c == u'{' || c == u'}') && BracesNest && outside) {
      depth += c == u'{' ? 1 : -1;
    } else if (outside && depth == 0) {
      if (c == u' ' && SpaceSeparates) break;
      if ((c == u'\r' || c == u'\n') && LineBreaksSeparate) break;
    }
    if (!inSingle && !inDouble && depth == 0 && IsDelimiter(c)) break;
  }
  std::u16string_view item = Text.substr(start, i - start);
  if (rawEnd) *rawEnd = i;
  if (TrimItems) item = TrimView(item);
  if (i < n && ((Text[i] == u' ' && SpaceSeparates) || IsDelimiter(Text[i]))) advance(i);
  if (i < n && Text[i] == u'\r' && LineBreaksSeparate) advance(i);
  if (i < n && Text[i] == u'\n' && LineBreaksSeparate) advance(i);
  p = i;
  return item;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool AllCodeChars(std::u16string_view part) {
  bool hash = false, digit = false;
  for (char16_t c : part) {
    if (c == u'#') {
      hash = true;
    } else if (c >= u'0' && c <= u'9') {
      digit = true;
    } else {
      return false;
    }
  }
  return hash || !digit;
}

}  // namespace

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; };
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

std::u16string NextToken(std::u16string_view text, size_t& position,
                         const TSplitSettings& settings) {
  TTokenRules rules(text, settings);
  size_t p = position < 1 ? 0 : position - 1;
  std::u16string item(rules.Next(p));
  position = p + 1;
  return item;
}

void SplitText(std::u16string_view text, std::vector<std::u16string_view>& items,
               const TSplitSettings& settings) {
  items.clear();
  if (text.empty()) return;
  TTokenRules rules(text, settings);
  size_t p = 0;
  do {
    items.push_back(rules.Next(p));
  } while (p < text.size());
}

std::vector<TTokenSpan> SplitSpans(std::u16string_view text, const TSplitSettings& settings) {
  std::vector<TTokenSpan> spans;
  if (text.empty()) return spans;
  TTokenRules rules(text, settings);
  size_t p = 0;
  do {
    TTokenSpan span;
    span.Begin = p;
    span.Item = rules.Next(p, &span.End);
    span.Next = p;
    spans.push_back(span);
  } while (p < text.size());
  return spans;
}

void SplitText(std::u16string_view text, std::vector<std::u16string>& items,
               const TSplitSettings& settings) {
  std::vector<std::u16string_view> views;
  SplitText(text, views, settings);
  items.assign(views.begin(), views.end());
}

void SplitText(std::u16string_view text, TStringList& list, const TSplitSettings& settings) {
  std::vector<std::u16string> items;
  SplitText(text, items, settings);
  list.BeginUpdate();
  try {
    list.Clear();
    for (auto& item : items)
      list.Add(item);
  } catch (...) {
    list.EndUpdate();
    throw;
  }
  list.EndUpdate();
}

std::u16string JoinList(const TStringList& list, char16_t separator) {
  std::u16string result;
  for (int i = 0; i < list.Count(); ++i) {
    if (i > 0) result.push_back(separator);
    result += list[i];
  }
  return result;
}

bool IsQuoted(std::u16string_view text, char16_t kind) {
  std::u16string_view t = TrimView(text);
  if (t.size() < 2) return false;
  if (kind == kQuoteDouble) return t.front() == u'"' && t.back() == u'"';
  if (kind != kQuoteCoded) return false;
  if (t.front() == u'\'' && t.back() == u'\'') return true;
  size_t lastQuote = t.rfind(u'\'');
  std::u16string_view tail = lastQuote == std::u16string_view::npos ? t : t.substr(lastQuote + 1);
  if (!AllCodeChars(tail)) return false;
  if (lastQuote == std::u16string_view::npos || t.front() == u'\'') return true;
  return AllCodeChars(t.substr(0, t.find(u'\'')));
}

bool TryStripQuotes(std::u16string_view text, char16_t kind, bool trim, std::u16string& result) {
  result.clear();
  bool coded = kind == kQuoteCoded;
  bool literalRead = false, closed = false;
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    char16_t c = text[i];
    if (IsWhitespace(c) && trim) {
      closed = literalRead;
      ++i;
      continue;
    }
    if (closed) return false;
    if (c == u'#' && (coded || kind == kQuoteAny)) {
      coded = true;
      size_t j = i + 1;
      while (j < n && text[j] >= u'0' && text[j] <= u'9')
        ++j;
      // "#" without digits codes no character: the text is not a literal.
      if (j == i + 1) return false;
      result.push_back(char16_t(StrToInt(text.substr(i + 1, j - i - 1)) & 0xFFFF));
      literalRead = true;
      i = j;
      continue;
    }
    bool opens =
        coded ? c == u'\''
              : (kind == kQuoteDouble ? c == u'"' : kind == kQuoteAny && (c == u'"' || c == u'\''));
    if (!opens) return false;
    char16_t quote = c;
    for (++i;; ++i) {
      if (i >= n) return false;  // Unterminated literal.
      if (text[i] != quote) {
        result.push_back(text[i]);
      } else if (i + 1 < n && text[i + 1] == quote) {
        result.push_back(quote);
        ++i;
      } else {
        ++i;
        break;
      }
    }
    literalRead = true;
  }
  return literalRead;
}

std::u16string StripQuotes(std::u16string_view text, char16_t kind, bool trim) {
  std::u16string result;
  return TryStripQuotes(text, kind, trim, result) ? result : std::u16string(text);
}

std::u16string QuoteText(std::u16string_view text, char16_t kind) {
  if (IsQuoted(text, kind)) return std::u16string(text);
  std::u16string result;
  if (kind == kQuoteDouble) {
    result.push_back(u'"');
    for (char16_t c : text) {
      if (c == u'"') result.push_back(u'"');
      result.push_back(c);
    }
    result.push_back(u'"');
    return result;
  }
  if (kind != kQuoteCoded) return std::u16string(text);
  bool open = false;
  for (char16_t c : text) {
    if (c < 32) {
      if (open) result.push_back(u'\'');
      open = false;
      result += u'#' + IntToStr(c);
      continue;
    }
    if (!open) result.push_back(u'\'');
    open = true;
    if (c == u'\'') result.push_back(u'\'');
    result.push_back(c);
  }
  if (open || text.empty()) result += open ? u"'" : u"''";
  return result;
}

size_t PosOutsideQuotes(char16_t ch, std::u16string_view text, size_t start,
                        bool honourSingleQuotes, bool honourDoubleQuotes) {
  bool inSingle = false, inDouble = false;
  for (size_t i = start < 1 ? 0 : start - 1; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'"' && honourDoubleQuotes && !inSingle) inDouble = !inDouble;
    if (c == u'\'' && honourSingleQuotes && !inDouble) inSingle = !inSingle;
    if (!inSingle && !inDouble && c == ch) return i + 1;
  }
  return 0;
}

bool TryStrToInt(std::u16string_view text, int32_t& result) {
  size_t i = 0;
  while (i < text.size() && text[i] == u' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  bool hex = false;
  if (i < text.size() && text[i] == u'$') {
    hex = true, ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] | 0x20) == u'x') {
    hex = true, i += 2;
  }
  if (i >= text.size()) return false;
  uint64_t value = 0;
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
  for (; i < text.size(); ++i) {
    int d = hex ? HexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
    if (d < 0) return false;
    value = value * (hex ? 16 : 10) + uint64_t(d);
    if (value > limit) return false;
  }
  // Hexadecimal takes all 32 bits, as the classic runtime does: $FFFFFFFF is -1.
  auto bits = static_cast<uint32_t>(value);
  if (negative) bits = 0u - bits;
  result = static_cast<int32_t>(bits);
  return true;
}

int32_t StrToInt(std::u16string_view text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value))
    throw EConvertError(u"'" + std::u16string(text) + u"' is not a valid integer value");
  return value;
}

std::u16string IntToStr(int64_t value) {
  std::u16string digits;
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    digits.insert(digits.begin(), char16_t(u'0' + magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) digits.insert(digits.begin(), u'-');
  return digits;
}

std::vector<std::u16string> SplitLines(std::u16string_view text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'\r' && text[i] != u'\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::u16string GetEnvVar(std::u16string_view name) {
  return Platform::EnvironmentVariable(name).value_or(std::u16string());
}

std::u16string AsciiToText(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}
