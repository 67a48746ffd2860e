// Files and folders, addressed by Windows-form paths (mapped to the Unix file system on POSIX).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Platform {

/// While one lives, what FileExists, DirectoryExists and ShortPathName find for a path is
/// remembered: the run takes itself for the only one changing files, and forgets it all
/// whenever it writes or removes a file. An Install asks for the same folders hundreds of
/// times. (Windows asks the system each time.)
class TFileLookupCache {
 public:
  TFileLookupCache();
  ~TFileLookupCache();
  TFileLookupCache(const TFileLookupCache&) = delete;
  TFileLookupCache& operator=(const TFileLookupCache&) = delete;
};

/// True when the path names an existing file (not a folder).
bool FileExists(std::u16string_view path);

/// True when the path names an existing folder.
bool DirectoryExists(std::u16string_view path);

/// The absolute form of a path with "." and ".." resolved (relative paths start at the
/// current folder).
std::u16string FullPathName(std::u16string_view path);

/// The short (8.3) form of an existing path; empty when the path does not exist. POSIX has
/// no short names: an existing path is its own short form.
std::u16string ShortPathName(std::u16string_view path);

/// The names of the files (not folders) in `folder` whose names match `pattern` ("*" and
/// "?" wildcards, letter case ignored as on Windows), in the order the system lists them.
std::vector<std::u16string> FindFiles(std::u16string_view folder, std::u16string_view pattern);

/// Copies a file, replacing the destination; false when that fails.
bool CopyFileReplacing(std::u16string_view source, std::u16string_view destination);

/// Deletes a file; false when it does not exist or cannot be deleted.
bool RemoveFile(std::u16string_view path);

/// Reads a whole file as bytes. Fails with EFOpenError when it cannot be opened or read.
std::string ReadFileBytes(std::u16string_view path);

/// Replaces a file's contents atomically: the bytes go to a temporary file beside it, which
/// then takes the file's place, so a failure leaves the old contents. Fails with EFOpenError.
void WriteFileAtomically(std::u16string_view path, std::string_view bytes);

/// Reads a whole text file and decodes it (byte-order mark honoured, otherwise the
/// system code page). Fails with EFOpenError when the file cannot be opened or read.
std::u16string ReadTextFile(std::u16string_view path);

}  // namespace Platform
