// The program's standard output: one item per line, lines ended by CR LF.
#pragma once

#include <string_view>

#include "platform/Console.h"

inline void WriteLine(std::u16string_view line) {
  Platform::WriteStdOut(line);
  Platform::WriteStdOut(u"\r\n");
}
