// The backend's side of the console (posix/Console.cpp, win32/Console.cpp): its buffer of
// standard output and how text reaches the streams. Console.cpp holds what both share: the
// capture, and when the buffer goes out.
#pragma once

#include <cstddef>
#include <string_view>

namespace Platform::ConsoleStream {

/// Adds text to the buffer of standard output; returns its size in the buffer's own units.
size_t Buffer(std::u16string_view text);

/// The buffer size from which the buffer goes out at once.
extern const size_t kFlushThreshold;

/// Writes out the buffer and empties it.
void WriteBuffer();

/// Writes text to standard error at once.
void WriteError(std::u16string_view text);

}  // namespace Platform::ConsoleStream
