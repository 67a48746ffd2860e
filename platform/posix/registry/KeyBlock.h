// The key blocks of a registry file: a key's content read from its blocks, and the block
// written back as wineserver writes it. Pure functions over text, no disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/registry/FileIndex.h"

namespace Platform::WineReg {

/// The FILETIME (100 ns units since 1601) of the Unix epoch.
inline constexpr uint64_t kFiletimeOf1970 = 116444736000000000ull;

/// A value as the backend keeps it; Changed values are written in wineserver's form.
struct TStoredValue {
  std::u16string Name;
  TRegData Data;
  bool Changed = false;
};

/// A line of a key block other than its "[path]" line, kept as written.
struct TKeyLine {
  std::string Raw;  // with its continuation lines and final "\n"
  bool IsValue = false;
  std::u16string Name;  // a value line's name
};

/// A key's content: its lines in file order and the values they give.
struct TKeyContent {
  std::string PathText;  // the escaped path of its first "[path]" line
  std::vector<TKeyLine> Lines;
  std::vector<TStoredValue> Values;  // in wineserver's order

  /// The value's position, or Values.size() when there is none.
  size_t FindValue(std::u16string_view name) const;
  /// Stores a value (keeping the stored name's case) and marks it changed.
  void SetValue(std::u16string_view name, const TRegData& data);
  bool DeleteValue(std::u16string_view name);
  /// Whether the key has something besides values to write (a class, a link, lines Tessik
  /// does not know), so that it must keep its own block.
  bool HasOwnLines() const;
};

/// Adds one block of a key (from its "[path]" line) to its content; later values replace
/// earlier ones of the same name, as wineserver loads them.
void ReadKeyBlock(std::string_view block, TKeyContent& content);

/// The key written as wineserver writes it: "[path] seconds", "#time=", the kept lines
/// (changed values in wineserver's form, the others as they were), a blank line.
std::string WriteKey(const TKeyContent& content, uint64_t filetime);

/// The escaped form of a key path, as in a "[path]" line.
std::string EscapePath(const TPath& path);

/// The first lines of a new file; `root` is {"Machine"} or {"User", "<SID>"}.
std::string NewFileText(const TPath& root, TArch arch);

}  // namespace Platform::WineReg
