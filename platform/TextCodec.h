// Conversions between the program's UTF-16 text and the encodings at its boundaries.
#pragma once

#include <string>
#include <string_view>

namespace Platform {

/// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

/// Appends the UTF-8 form of `text` to `out`.
void AppendUtf8(std::u16string_view text, std::string& out);

/// UTF-8 to UTF-16. Bytes that are not valid UTF-8 are read as Windows-1252, so any
/// byte sequence decodes to some text and ASCII stays ASCII.
std::u16string FromUtf8(std::string_view bytes);

/// Windows-1252 to UTF-16 (the five undefined bytes map to the C1 control of the same code).
std::u16string FromWindows1252(std::string_view bytes);

/// Decodes a whole text file: a byte-order mark selects UTF-8, UTF-16 LE or UTF-16 BE;
/// without one, `fallback` decodes the bytes (the system code page).
std::u16string DecodeTextFile(std::string_view bytes, std::u16string (*fallback)(std::string_view));

}  // namespace Platform
