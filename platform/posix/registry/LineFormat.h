// Wine's registry text format at the level of single lines: the escapes of names and
// strings, the case folding of names, and value lines. Pure functions, no disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/Registry.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Platform::WineReg {

inline constexpr std::string_view kSignature = "WINE REGISTRY Version 2";

/// The lower-case form wineserver compares names with (its own Unicode table).
char16_t FoldNonAscii(char16_t c);
inline char16_t FoldChar(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
  return FoldNonAscii(c);
}
std::u16string Fold(std::u16string_view text);

/// Wineserver's order of names: folded code units compared one by one, then the shorter
/// first. 0 means the same name.
int CompareNames(std::u16string_view a, std::u16string_view b);

/// Decodes an escaped text as wineserver does, from the start of `src` up to the first
/// unescaped `end`, calling emit(unit, sourceBegin, sourceEnd) for each UTF-16 unit.
/// Returns the bytes consumed including `end`, or npos when `end` is missing.
template <class TEmit>
size_t DecodeEscaped(std::string_view src, char end, TEmit&& emit);

/// DecodeEscaped collecting the text; npos when `end` is missing.
size_t ParseEscaped(std::string_view src, char end, std::u16string& out);

/// Appends `text` escaped as wineserver writes it; `specials` are the characters besides
/// the backslash that get a backslash before them ("\"" in values, "[]" in key paths).
/// Returns the number of characters appended.
size_t AppendEscaped(std::u16string_view text, std::string_view specials, std::string& out);

/// strtoul(s, &end, 16) of a 64-bit C library: leading blanks, a sign, an optional 0x,
/// saturation. `used` is 0 when no digit was found.
uint64_t ParseUnsignedHex(std::string_view s, size_t& used);

/// Reads a text line by line the way wineserver does: a line's content ends at its first
/// NUL or at "\n" (one "\r" before the "\n" dropped).
class TLineReader {
 public:
  explicit TLineReader(std::string_view text, size_t pos = 0) : text_(text), pos_(pos) {}
  /// The next line's content; false at the end of the text.
  bool Next(std::string_view& content);
  /// Offset of the next physical line.
  size_t Pos() const { return pos_; }

 private:
  std::string_view text_;
  size_t pos_;
};

/// Whether the line [s, e) of `text`, ended by "\n", is one that no scan of keys needs to
/// read: it is empty, or it heads no block, starts with no blank, is no "#arch=" or "#link"
/// line, and holds no backslash (so that no value on it can go on over the next line).
inline bool PlainLine(const char* text, size_t s, size_t e, bool backslash) {
  if (s == e) return true;
  char first = text[s];
  if (first == '[' || first == ' ' || (first >= '\t' && first <= '\r')) return false;
  if (first == '#' && e > s + 1 && (text[s + 1] == 'a' || text[s + 1] == 'l')) return false;
  return !backslash;
}

/// The lines of a text, 64 bytes at a time, for scans that skip most lines unread.
class TLineEnds {
 public:
  TLineEnds(const char* text, size_t size) : p_(text), size_(size) {}
  /// The start of the first line at or after the line start `from` that is not plain
  /// (PlainLine), with its end ("\n", NUL or the size of the text) in `end`.
  size_t SkipPlainLines(size_t from, size_t& end);
  /// Jumps over the lines from the line start `from` on that no scan of keys needs to read,
  /// without stepping through them: to the first line that, after blanks, starts with "[",
  /// "#a" or "#l", or to the first of the lines with a backslash right before that one (one of
  /// them may carry a value over onto it); near the end of the text, to the last line start
  /// it can vouch for. `from` must start a line that no value carries over onto, and so does
  /// the start returned.
  size_t JumpToMarkedLine(size_t from);

 private:
  // The jump from the line start `from` on, with the search for marks going on at `i`.
  size_t JumpFrom(size_t from, size_t i);
  const char* p_;
  size_t size_;
  size_t base_ = SIZE_MAX - 64;
  uint64_t ends_ = 0, slashes_ = 0;  // bits of the 64 bytes at base_
  // Where the last jump found a marked line after lines with backslashes: the lines before
  // it are stepped through one by one, so that no jump walks back over them again.
  size_t stepUntil_ = 0;
};

/// The first "\n" in [from, size) of `text`, or npos: for the ends of lines that are mostly
/// short, where a call of memchr would cost more than the search.
inline size_t FindNewline(const char* text, size_t from, size_t size) {
#if defined(__SSE2__)
  const __m128i newline = _mm_set1_epi8('\n');
  for (; from + 16 <= size; from += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + from));
    if (const int m = _mm_movemask_epi8(_mm_cmpeq_epi8(x, newline)))
      return from + size_t(__builtin_ctz(unsigned(m)));
  }
#endif
  const void* nl = from < size ? std::memchr(text + from, '\n', size - from) : nullptr;
  return nl ? size_t(static_cast<const char*>(nl) - text) : std::string_view::npos;
}

#if defined(__SSE2__)
/// A bit for each "[" and "#" among the 64 bytes at `p`.
inline uint64_t MarkBits(const char* p) {
  const __m128i open = _mm_set1_epi8('['), hash = _mm_set1_epi8('#');
  uint64_t marks = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    marks |= uint64_t(uint32_t(
                 _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, open), _mm_cmpeq_epi8(x, hash)))))
             << (16 * k);
  }
  return marks;
}
#endif

// Inline, as a scan makes a jump for nearly every key: the lines Wine writes are decided
// here, "#time" lines passed and each "[path]" line after an empty line taken; the rest is
// left to JumpFrom.
inline size_t TLineEnds::JumpToMarkedLine(size_t from) {
  if (from < stepUntil_) return from;
  size_t i = from;
#if defined(__SSE2__)
  const char* const p = p_;
  for (; i + 64 <= size_; i += 64) {
    for (uint64_t marks = MarkBits(p + i); marks; marks &= marks - 1) {
      const size_t at = i + size_t(__builtin_ctzll(marks));
      if (p[at] == '#' && at + 1 < size_ && p[at + 1] == 't') continue;  // not "#a" or "#l"
      if (p[at] == '[' &&
          (at == from || (p[at - 1] == '\n' && (at - 1 == from || p[at - 2] == '\n'))))
        return at;
      return JumpFrom(from, at);
    }
  }
#endif
  return JumpFrom(from, i);
}

/// Whether a value line (after leading blanks) may go on over the next line: only hex data
/// does, through a backslash after it.
inline bool MayContinue(std::string_view line) {
  size_t hex = line.find("hex");
  return hex != std::string_view::npos && line.find('\\', hex + 3) != std::string_view::npos;
}

/// Skips the blanks (isspace) at the start of a line.
std::string_view TrimLeft(std::string_view line);

/// A value line as wineserver loads it. A line whose name cannot be read is no value at all
/// (NameOk false); a readable name with unreadable data is a REG_NONE value without data.
struct TValueLine {
  bool NameOk = false;
  std::u16string Name;
  TRegData Data;
};

/// Reads the value whose first line (after leading blanks) is `line`, taking the
/// continuation lines of hex data from `more`. With `out` null only the line structure is
/// followed (what the index scan needs). Returns whether the name could be read.
bool ReadValue(std::string_view line, TLineReader& more, TValueLine* out);

/// Appends the value as wineserver writes it (hex data wrapped at its column), with "\n".
void AppendValue(std::u16string_view name, const TRegData& data, std::string& out);

// ---- implementation of the template ----

namespace Detail {
// Eight bytes at a time: the lines and key paths of a large file are read this way.
inline constexpr uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
inline uint64_t Load8(const char* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}
/// The high bit of each zero byte of `x` (the lowest one exact; it may mark bytes above).
inline uint64_t ZeroBytes(uint64_t x) {
  return (x - kOnes) & ~x & kHighs;
}
inline uint64_t BytesEqual(uint64_t x, char c) {
  return ZeroBytes(x ^ (kOnes * uint8_t(c)));
}

// Decodes one UTF-8 sequence starting at src[i] (a byte >= 0x80) as wineserver does:
// returns the code point and advances i, or returns ~0u (i advanced past what it used).
uint32_t DecodeUtf8(std::string_view src, size_t& i);
}  // namespace Detail

template <class TEmit>
size_t DecodeEscaped(std::string_view src, char end, TEmit&& emit) {
  auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  auto at = [&](size_t i) -> char { return i < src.size() ? src[i] : '\0'; };
  size_t i = 0;
  while (at(i) && at(i) != end) {
    size_t begin = i;
    uint32_t c;
    if (at(i) != '\\') {
      if (static_cast<unsigned char>(src[i]) < 0x80) {
        c = static_cast<unsigned char>(src[i++]);
      } else if ((c = Detail::DecodeUtf8(src, i)) == ~0u) {
        continue;  // wineserver drops bytes that are not UTF-8
      }
    } else {
      ++i;
      char e = at(i);
      static constexpr std::string_view kLetters = "abefnrtv";
      static constexpr char kCodes[] = {7, 8, 27, 12, 10, 13, 9, 11};
      if (size_t k = kLetters.find(e); e && k != std::string_view::npos) {
        c = uint32_t(kCodes[k]), ++i;
      } else if (e == 'x') {
        ++i;
        c = 'x';
        if (hex(at(i)) >= 0) {
          c = 0;
          for (int n = 0; n < 4 && hex(at(i)) >= 0; ++n)
            c = c * 16 + uint32_t(hex(src[i++]));
        }
      } else if (e >= '0' && e <= '7') {
        c = 0;
        for (int n = 0; n < 3 && at(i) >= '0' && at(i) <= '7'; ++n)
          c = c * 8 + uint32_t(src[i++] - '0');
      } else if (e == '\0') {
        break;  // a backslash at the very end: the end character is missing
      } else if (static_cast<unsigned char>(e) >= 0x80) {
        if ((c = Detail::DecodeUtf8(src, i)) == ~0u) continue;
      } else {
        c = static_cast<unsigned char>(e), ++i;
      }
    }
    if (c >= 0x10000) {
      emit(char16_t(0xD800 + ((c - 0x10000) >> 10)), begin, i);
      emit(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)), begin, i);
    } else {
      emit(char16_t(c), begin, i);
    }
  }
  if (at(i) != end || i >= src.size()) return std::string_view::npos;
  return i + 1;
}

}  // namespace Platform::WineReg
