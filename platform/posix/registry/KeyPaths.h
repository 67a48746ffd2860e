// Key paths as wineserver resolves them for a 32-bit program: the path split under the
// Windows API's rules, the Wow6432Node redirection of HKLM\Software, and link keys.
#pragma once

#include <optional>
#include <string_view>

#include "platform/Registry.h"
#include "platform/posix/registry/Backend.h"

namespace Platform::Posix {

struct TLocation {
  TRegFile* File;
  TPath Path;
  bool Linked;  // the path names a link and Path is its target
};

enum class TAccess { Read, Write, Create };

// Finds the key as wineserver does for a 32-bit program. Write and Create take the write
// lock first; Create also creates what is missing.
std::optional<TLocation> Resolve(TRegRoot root, std::u16string_view path, TAccess access);

// The key a delete works on, looked up again under the lock; nothing, with the answer in
// `refused`, when there is nothing to delete or it may not be deleted.
std::optional<TLocation> LocateForDelete(TRegRoot root, std::u16string_view path,
                                         TRegResult& refused);

}  // namespace Platform::Posix
