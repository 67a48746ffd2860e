// Files and folders, addressed by Windows-form paths (mapped to the Unix file system on POSIX).
#pragma once

#include <string>
#include <string_view>

namespace Platform {

/// True when the path names an existing file (not a folder).
bool FileExists(std::u16string_view path);

/// True when the path names an existing folder.
bool DirectoryExists(std::u16string_view path);

/// Reads a whole text file and decodes it (byte-order mark honoured, otherwise the
/// system code page). Fails with EFOpenError when the file cannot be opened or read.
std::u16string ReadTextFile(std::u16string_view path);

}  // namespace Platform
