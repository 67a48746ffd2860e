// Standard output and standard error.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

/// Appends text to standard output. Output is buffered; it reaches the stream on
/// FlushOutput, when the buffer fills, and before anything goes to standard error.
void WriteStdOut(std::u16string_view text);

/// Writes text to standard error at once (after flushing standard output).
void WriteStdErr(std::u16string_view text);

/// Writes out everything buffered for standard output.
void FlushOutput();

/// Sends what would go to standard output into `capture` instead (nullptr: back to the
/// stream). Returns the previous capture. For tests and embedding callers.
std::u16string* CaptureStdOut(std::u16string* capture);

}  // namespace Platform
