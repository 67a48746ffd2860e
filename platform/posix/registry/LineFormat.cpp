#include "platform/posix/registry/LineFormat.h"

#include <algorithm>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Platform::WineReg {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The value of a hexadecimal digit (IsHexDigit).
int HexDigitValue(char c) {
  return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

std::string_view SkipSpaces(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i]))
    ++i;
  return s.substr(i);
}

struct TDataType {
  std::string_view Tag;
  int32_t Type;  // -1: "hex(N):", the type follows in hexadecimal
  char Parse;    // 's' string, 'd' dword, 'h' hex bytes
};

// The data tags wineserver knows, in the order it tries them.
constexpr TDataType kDataTypes[] = {{"\"", kRegSz, 's'},
                                    {"str:\"", kRegSz, 's'},
                                    {"str(2):\"", kRegExpandSz, 's'},
                                    {"str(7):\"", kRegMultiSz, 's'},
                                    {"hex:", kRegBinary, 'h'},
                                    {"dword:", kRegDword, 'd'},
                                    {"hex(", -1, 'h'}};

// The length of the data tag at the start of `s` (0 when there is none), its type and parser.
size_t ReadDataType(std::string_view s, uint32_t& type, char& parse) {
  for (const TDataType& t : kDataTypes) {
    if (s.substr(0, t.Tag.size()) != t.Tag) continue;
    parse = t.Parse;
    if (t.Type != -1) {
      type = uint32_t(t.Type);
      return t.Tag.size();
    }
    size_t used;
    type = uint32_t(ParseUnsignedHex(s.substr(4), used));
    size_t end = 4 + used;
    return s.substr(end, 2) == "):" ? end + 2 : 0;
  }
  return 0;
}

// Wineserver's parse_hex: comma- or blank-separated bytes. Returns the characters used, or
// npos when a number exceeds a byte.
size_t ReadHexBytes(std::string_view s, std::string* out) {
  size_t i = 0;
  while (i < s.size() && IsHexDigit(s[i])) {
    if (i + 2 < s.size() && IsHexDigit(s[i + 1]) && s[i + 2] == ',') {
      // Two digits and a comma, as wineserver writes every byte but the last.
      if (out) out->push_back(char(HexDigitValue(s[i]) << 4 | HexDigitValue(s[i + 1])));
      i += 3;
    } else {
      size_t used;
      uint64_t v = ParseUnsignedHex(s.substr(i), used);
      if (v > 0xFF) return std::string_view::npos;
      if (out) out->push_back(char(v));
      i += used;
      while (i < s.size() && IsSpace(s[i]))
        ++i;
      if (i < s.size() && s[i] == ',') ++i;
    }
    while (i < s.size() && IsSpace(s[i]))
      ++i;
  }
  return i;
}

// Hex data over continuation lines; false when it is malformed (wineserver then stores no
// data). The lines it read stay read, as in wineserver.
bool ReadHexData(std::string_view s, TLineReader& more, std::string* out) {
  for (;;) {
    size_t used = ReadHexBytes(s, out);
    if (used == std::string_view::npos) return false;
    s = SkipSpaces(s.substr(used));
    if (s.empty()) return true;
    if (s[0] != '\\') return false;
    if (!more.Next(s)) return false;
    s = SkipSpaces(s);
  }
}

// Reads the data after "name=": false when wineserver would call it malformed.
bool ReadData(std::string_view s, TLineReader& more, TRegData* out) {
  uint32_t type = 0;
  char parse = 0;
  size_t tag = ReadDataType(s, type, parse);
  if (!tag) return false;
  s = s.substr(tag);
  std::string* bytes = out ? &out->Bytes : nullptr;
  // Only hex data can go on over the next lines, and only through a backslash: the index
  // scan, which only follows lines, skips the rest.
  if (!bytes && (parse != 'h' || s.find('\\') == std::string_view::npos)) return true;
  if (parse == 's') {
    std::u16string text;
    if (ParseEscaped(s, '"', text) == std::string_view::npos) return false;
    if (bytes) *bytes = Utf16Bytes(text) + std::string(2, '\0');
  } else if (parse == 'd') {
    size_t used;
    uint32_t v = uint32_t(ParseUnsignedHex(s, used));
    if (bytes) *bytes = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  } else if (!ReadHexData(s, more, bytes)) {
    return false;
  }
  if (out) out->Type = type;
  return true;
}

// The string form is kept for properly terminated strings only, as wineserver does.
bool WritesAsString(const TRegData& data) {
  if (data.Type != kRegSz && data.Type != kRegExpandSz && data.Type != kRegMultiSz) return false;
  const std::string& b = data.Bytes;
  return b.size() >= 2 && b.size() % 2 == 0 && b[b.size() - 1] == 0 && b[b.size() - 2] == 0;
}

}  // namespace

namespace Detail {

uint32_t DecodeUtf8(std::string_view src, size_t& i) {
  unsigned char lead = static_cast<unsigned char>(src[i++]);
  int len = lead >= 0xF0 ? (lead < 0xF8 ? 3 : 0) : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
  static constexpr uint32_t kMask[4] = {0x7F, 0x1F, 0x0F, 0x07};
  static constexpr uint32_t kMin[4] = {0, 0x80, 0x800, 0x10000};
  if (len == 0 || i + size_t(len) > src.size()) return ~0u;
  uint32_t c = lead & kMask[len];
  for (int n = 0; n < len; ++n) {
    unsigned char next = static_cast<unsigned char>(src[i]) ^ 0x80;
    if (next >= 0x40) return ~0u;
    c = (c << 6) | next;
    ++i;
  }
  return (c < kMin[len] || c > 0x10FFFF) ? ~0u : c;
}

}  // namespace Detail

std::u16string Fold(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out)
    c = FoldChar(c);
  return out;
}

int CompareNames(std::u16string_view a, std::u16string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int d = int(FoldChar(a[i])) - int(FoldChar(b[i]));
    if (d) return d;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

size_t ParseEscaped(std::string_view src, char end, std::u16string& out) {
  return DecodeEscaped(src, end, [&](char16_t c, size_t, size_t) { out.push_back(c); });
}

size_t AppendEscaped(std::u16string_view text, std::string_view specials, std::string& out) {
  static constexpr char kEscapes[33] = ".......abtnvfr.............e....";
  size_t start = out.size();
  char buf[16];
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    bool nextAscii = i + 1 < text.size() && text[i + 1] < 0x80;
    char next = nextAscii ? char(text[i + 1]) : '\0';
    if (c > 127) {
      // Four digits when a hex digit follows, so that it is not read as part of the code.
      std::snprintf(buf, sizeof buf, nextAscii && IsHexDigit(next) ? "\\x%04x" : "\\x%x", c);
      out += buf;
    } else if (c < 32) {
      if (kEscapes[c] != '.')
        std::snprintf(buf, sizeof buf, "\\%c", kEscapes[c]);
      else
        std::snprintf(buf, sizeof buf, next >= '0' && next <= '7' ? "\\%03o" : "\\%o", c);
      out += buf;
    } else {
      if (c == '\\' || specials.find(char(c)) != std::string_view::npos) out.push_back('\\');
      out.push_back(char(c));
    }
  }
  return out.size() - start;
}

uint64_t ParseUnsignedHex(std::string_view s, size_t& used) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i]))
    ++i;
  bool negative = i < s.size() && s[i] == '-';
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] | 0x20) == 'x' && IsHexDigit(s[i + 2])) i += 2;
  size_t digits = i;
  uint64_t v = 0;
  bool overflow = false;
  for (; i < s.size() && IsHexDigit(s[i]); ++i) {
    char c = s[i];
    uint64_t d = uint64_t(HexDigitValue(c));
    if (v > (UINT64_MAX >> 4)) overflow = true;
    v = (v << 4) | d;
  }
  if (i == digits) {
    used = 0;
    return 0;
  }
  used = i;
  if (overflow) return UINT64_MAX;
  return negative ? uint64_t(0) - v : v;
}

// The first "\n" or NUL at or after `i`, or the end of the text.
size_t FindLineEnd(std::string_view text, size_t i) {
  for (; i + 8 <= text.size(); i += 8) {
    uint64_t x = Detail::Load8(text.data() + i);
    if (uint64_t m = Detail::BytesEqual(x, '\n') | Detail::ZeroBytes(x))
      return i + size_t(__builtin_ctzll(m) / 8);
  }
  while (i < text.size() && text[i] != '\n' && text[i] != '\0')
    ++i;
  return i;
}

bool TLineReader::Next(std::string_view& content) {
  if (pos_ >= text_.size()) return false;
  size_t end = FindLineEnd(text_, pos_);
  size_t nl = end;
  if (end < text_.size() && text_[end] == '\0') nl = std::min(text_.find('\n', end), text_.size());
  content = text_.substr(pos_, end - pos_);
  // wineserver drops one "\r" before the "\n", unless a NUL ended the line earlier.
  if (end == nl && end < text_.size() && !content.empty() && content.back() == '\r')
    content.remove_suffix(1);
  pos_ = nl < text_.size() ? nl + 1 : text_.size();
  return true;
}

namespace {

// The line ends and backslashes among the 64 bytes at `at` (fewer at the end of the text).
inline void LoadMasks(const char* p, size_t at, size_t size, uint64_t& ends, uint64_t& slashes) {
#if defined(__SSE2__)
  if (at + 64 <= size) {
    const __m128i newline = _mm_set1_epi8('\n'), zero = _mm_setzero_si128(),
                  backslash = _mm_set1_epi8('\\');
    uint64_t e = 0, b = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at + 16 * k));
      e |= uint64_t(uint32_t(_mm_movemask_epi8(
               _mm_or_si128(_mm_cmpeq_epi8(x, newline), _mm_cmpeq_epi8(x, zero)))))
           << (16 * k);
      b |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(x, backslash)))) << (16 * k);
    }
    ends = e, slashes = b;
    return;
  }
#endif
  ends = slashes = 0;
  for (size_t i = 0; i < 64 && at + i < size; ++i) {
    char c = p[at + i];
    if (c == '\n' || c == '\0') ends |= uint64_t(1) << i;
    if (c == '\\') slashes |= uint64_t(1) << i;
  }
}

}  // namespace

size_t TLineEnds::SkipPlainLines(size_t from, size_t& end) {
  // Locals, so that the compiler keeps them in registers: the text could alias the members.
  const char* const p = p_;
  const size_t size = size_;
  size_t base = base_;
  uint64_t ends = ends_, slashes = slashes_;
  for (size_t s = from;;) {
    if (s < base || s >= base + 64) {  // blocks at multiples of 64: short lines share them
      base = s & ~size_t(63);
      LoadMasks(p, base, size, ends, slashes);
    }
    const uint64_t keep = ~uint64_t(0) << (s - base);
    uint64_t e = ends & keep, b = slashes & keep;
    bool backslash = false;
    while (!e) {
      backslash |= b != 0;
      base += 64;
      if (base >= size) {
        base_ = base, ends_ = slashes_ = 0;
        end = size;
        return s;
      }
      LoadMasks(p, base, size, ends, slashes);
      e = ends, b = slashes;
    }
    const unsigned bit = unsigned(__builtin_ctzll(e));
    backslash |= (b & ((uint64_t(1) << bit) - 1)) != 0;
    end = base + bit;
    if (p[end] == '\n' && PlainLine(p, s, end, backslash)) {
      s = end + 1;
      continue;
    }
    base_ = base, ends_ = ends, slashes_ = slashes;
    return s;
  }
}

namespace {

// Whether the "[" or "#" at `at` is the first character of a line after blanks that a scan
// of keys reads ("[path]", "#arch=", "#link"); `line` gets the start of that line.
inline bool MarkedLine(const char* p, size_t from, size_t size, size_t at, size_t& line) {
  if (p[at] == '#' && at + 1 < size && p[at + 1] != 'a' && p[at + 1] != 'l') return false;
  size_t k = at;
  while (k > from &&
         (p[k - 1] == ' ' || (p[k - 1] >= '\t' && p[k - 1] <= '\r' && p[k - 1] != '\n')))
    --k;
  if (k > from && p[k - 1] != '\n') return false;
  line = k;
  return true;
}

}  // namespace

size_t TLineEnds::JumpFrom(size_t from, size_t i) {
  const char* const p = p_;
  const size_t size = size_;
  // The first line start at or before `line` after which every line up to `line` has a
  // backslash-free line before it, so that no value goes on over into `line`.
  auto vouched = [&](size_t line) {
    size_t end = line;
    while (end > from) {
      const size_t nl = end - 1;                   // the "\n" that ends the line before
      if (nl == from || p[nl - 1] == '\n') break;  // an empty line, the common case
      const void* found = memrchr(p + from, '\n', nl - from);
      const size_t before = found ? size_t(static_cast<const char*>(found) - p) + 1 : from;
      if (!std::memchr(p + before, '\\', nl - before)) break;
      end = before;
    }
    if (end != line) stepUntil_ = line;
    return end;
  };
  size_t line;
#if defined(__SSE2__)
  for (; i + 64 <= size; i += 64) {
    for (uint64_t marks = MarkBits(p + i); marks; marks &= marks - 1)
      if (MarkedLine(p, from, size, i + size_t(__builtin_ctzll(marks)), line)) return vouched(line);
  }
#endif
  for (; i < size; ++i)
    if ((p[i] == '[' || p[i] == '#') && MarkedLine(p, from, size, i, line)) return vouched(line);
  // No marked line: up to the start of the last line, which may go on past the text.
  const void* last = size > from ? memrchr(p + from, '\n', size - from) : nullptr;
  return last ? vouched(size_t(static_cast<const char*>(last) - p) + 1) : from;
}

std::string_view TrimLeft(std::string_view line) {
  return SkipSpaces(line);
}

bool ReadValue(std::string_view line, TLineReader& more, TValueLine* out) {
  size_t used;
  if (line.empty()) return false;
  if (line[0] == '@') {
    used = 1;
    if (out) out->Name.clear();
  } else if (out) {
    out->Name.clear();
    used = ParseEscaped(line.substr(1), '"', out->Name);
    if (used != std::string_view::npos) ++used;
  } else {
    used = DecodeEscaped(line.substr(1), '"', [](char16_t, size_t, size_t) {});
    if (used != std::string_view::npos) ++used;
  }
  if (used == std::string_view::npos) return false;
  std::string_view rest = SkipSpaces(line.substr(used));
  if (rest.empty() || rest[0] != '=') return false;
  rest = SkipSpaces(rest.substr(1));
  if (out) {
    out->NameOk = true;
    out->Data = TRegData{};
  }
  if (!ReadData(rest, more, out ? &out->Data : nullptr) && out) out->Data = TRegData{};
  return true;
}

void AppendValue(std::u16string_view name, const TRegData& data, std::string& out) {
  size_t count;
  if (!name.empty()) {
    out.push_back('"');
    count = 1 + AppendEscaped(name, "\"", out) + 2;
    out += "\"=";
  } else {
    out += "@=";
    count = 2;
  }
  char buf[32];
  if (WritesAsString(data)) {
    if (data.Type != kRegSz) {
      std::snprintf(buf, sizeof buf, "str(%x):", unsigned(data.Type));
      out += buf;
    }
    out.push_back('"');
    std::string_view bytes(data.Bytes);
    AppendEscaped(Utf16Of(bytes.substr(0, bytes.size() - 2)), "\"", out);
    out += "\"\n";
    return;
  }
  if (data.Type == kRegDword && data.Bytes.size() == 4) {
    const auto* b = reinterpret_cast<const unsigned char*>(data.Bytes.data());
    std::snprintf(buf, sizeof buf, "dword:%08x\n",
                  unsigned(b[0] | b[1] << 8 | b[2] << 16) | unsigned(b[3]) << 24);
    out += buf;
    return;
  }
  if (data.Type == kRegBinary)
    std::snprintf(buf, sizeof buf, "hex:");
  else
    std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(data.Type));
  out += buf;
  count += std::string_view(buf).size();
  for (size_t i = 0; i < data.Bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", unsigned(uint8_t(data.Bytes[i])));
    out += buf;
    count += 2;
    if (i + 1 < data.Bytes.size()) {
      out.push_back(',');
      if (++count > 76) {
        out += "\\\n  ";
        count = 2;
      }
    }
  }
  out.push_back('\n');
}

}  // namespace Platform::WineReg
