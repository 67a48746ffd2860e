#include "platform/TextCodec.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace Platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80-0x9F; the undefined ones keep their C1 code.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Cp1252(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
}

// Length of the valid UTF-8 sequence at `p` (1-4), or 0 when it is not valid.
size_t Utf8SequenceLength(const unsigned char* p, size_t avail, char32_t& cp) {
  unsigned char b = p[0];
  size_t len;
  char32_t min;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, cp = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, cp = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (avail < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  AppendUtf8(text, out);
  return out;
}

void AppendUtf8(std::u16string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] < 0x80) {
      // A run of ASCII in one step: most output is ASCII, often a whole block of lines.
      size_t end = i + 1;
      while (end < text.size() && text[end] < 0x80)
        ++end;
      size_t at = out.size();
      out.resize(at + (end - i));
      char* o = out.data() + at;
      for (size_t k = i; k < end; ++k)
        *o++ = char(text[k]);
      i = end - 1;
      continue;
    }
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x800) {
      out.push_back(char(0xC0 | (cp >> 6)));
    } else if (cp < 0x10000) {
      out.push_back(char(0xE0 | (cp >> 12)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (cp >> 18)));
      out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    }
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

std::u16string FromUtf8(std::string_view bytes) {
  // Never more code units than bytes: write into a buffer of that size, then cut it.
  std::u16string out(bytes.size(), u'\0');
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size(), o = 0;
  for (size_t i = 0; i < n;) {
    // Eight ASCII bytes at a time while they last.
    uint64_t block;
    while (i + 8 <= n && (std::memcpy(&block, p + i, 8), (block & 0x8080808080808080u) == 0)) {
      for (int k = 0; k < 8; ++k)
        out[o + k] = p[i + k];
      i += 8;
      o += 8;
    }
    if (i >= n) break;
    if (p[i] < 0x80) {
      out[o++] = p[i++];
      continue;
    }
    char32_t cp;
    size_t len = Utf8SequenceLength(p + i, n - i, cp);
    if (len == 0) {
      out[o++] = Cp1252(p[i++]);
    } else if (cp < 0x10000) {
      out[o++] = char16_t(cp);
      i += len;
    } else {
      cp -= 0x10000;
      out[o++] = char16_t(0xD800 + (cp >> 10));
      out[o++] = char16_t(0xDC00 + (cp & 0x3FF));
      i += len;
    }
  }
  out.resize(o);
  return out;
}

std::u16string FromWindows1252(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes)
    out.push_back(Cp1252(b));
  return out;
}

std::u16string DecodeTextFile(std::string_view bytes,
                              std::u16string (*fallback)(std::string_view)) {
  auto starts = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
  if (starts("\xEF\xBB\xBF")) return FromUtf8(bytes.substr(3));
  bool le = starts("\xFF\xFE");
  if (le || starts("\xFE\xFF")) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      auto lo = static_cast<unsigned char>(bytes[le ? i : i + 1]);
      auto hi = static_cast<unsigned char>(bytes[le ? i + 1 : i]);
      out.push_back(char16_t(lo | (hi << 8)));
    }
    return out;
  }
  return fallback(bytes);
}

}  // namespace Platform
