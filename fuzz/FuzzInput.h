// Turns fuzzer bytes into the program's UTF-16 text: pairs of bytes as code units, so that
// unpaired surrogates, NULs and every control character occur.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

inline std::u16string FuzzText(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2)
    text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
  return text;
}
