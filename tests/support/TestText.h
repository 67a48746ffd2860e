// Helpers for tests that work with UTF-16 texts.
#pragma once

#include <string>
#include <vector>

#include "platform/TextCodec.h"

inline std::vector<std::u16string> Texts(std::initializer_list<const char16_t*> items) {
  return std::vector<std::u16string>(items.begin(), items.end());
}
