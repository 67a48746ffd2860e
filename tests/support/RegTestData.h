// Registry values in tests: building them, and printing them readably when a test fails.
#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/Registry.h"

/// The UTF-16 LE bytes of `text`, with the terminating NUL unless `terminate` is false.
inline std::string Utf16(std::u16string_view text, bool terminate = true) {
  return Platform::Utf16Bytes(text) + std::string(terminate ? 2 : 0, '\0');
}

/// A REG_SZ value as Windows stores it.
inline Platform::TRegData Sz(std::u16string_view text) {
  return {Platform::kRegSz, Utf16(text)};
}

namespace Platform {
inline void PrintTo(const TRegData& data, std::ostream* os) {
  *os << "{type " << data.Type << ", bytes";
  char buf[4];
  for (unsigned char b : data.Bytes)
    std::snprintf(buf, sizeof buf, " %02x", b), *os << buf;
  *os << "}";
}
}  // namespace Platform
