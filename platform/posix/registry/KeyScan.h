// The keys of a registry file that one lookup needs, found in one pass over the file
// without indexing it: each "[path]" line is compared with the path looked up, lines that
// cannot matter are skipped unread, and only the blocks of the keys on that path are kept.
// The text comes in pieces, so that a large file never has to be in memory whole. No disk.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/registry/FileIndex.h"

namespace Platform::WineReg {

/// The keys that a 32-bit program's lookups of some paths can reach: the keys along each
/// path, with a Wow6432Node key allowed after each name (the redirection of the 32-bit view).
class TKeyFamily {
 public:
  explicit TKeyFamily(const TPath& query) : TKeyFamily(std::vector<TPath>{query}) {}
  explicit TKeyFamily(const std::vector<TPath>& queries);
  /// Whether the key at `path` (names in any case) belongs to the family.
  bool Covers(const TPath& path) const;
  /// The states after one more folded name; empty when the name leaves the family.
  void Step(const std::vector<size_t>& from, std::u16string_view name,
            std::vector<size_t>& to) const;

 private:
  // The paths as a tree of folded names; nodes_[0] is the root.
  struct TNode {
    std::vector<std::pair<std::u16string, size_t>> Children;  // folded name, node
  };
  std::vector<TNode> nodes_;
};

/// A key of the family that the file has: its path as first written, its blocks in file
/// order (each from its "[path]" line to the next one).
struct TScannedKey {
  TPath Path;
  std::vector<std::string> Blocks;
};

struct TKeyScan {
  /// As TFileIndex::Readable and Arch.
  bool Readable = false;
  TArch Arch = TArch::None;
  /// The text up to the first line end at or after byte 4096 (all of a shorter file).
  std::string Head;
  /// The family's keys that the file has, by folded path; those of the family that are
  /// missing have no entry.
  std::map<std::u16string, TScannedKey> Keys;
};

/// Reads up to `size` bytes at `offset` into `out`: the count read, 0 at the end.
using TReadAt = std::function<size_t(size_t offset, char* out, size_t size)>;

/// Scans the text given by `read` for the keys of `family`, as TFileIndex and ReadKeyBlock
/// read them: names compared folded, escapes decoded, lines wineserver ignores skipped. A
/// large text (`size` bytes; 0 when not known) is scanned in two parts at once.
TKeyScan ScanForKeys(const TKeyFamily& family, const TReadAt& read, size_t size = 0);

/// The same, with the second part starting at the first "[path]" line after an empty line
/// from byte `splitFrom` on (none when there is no such line near it, or `splitFrom` is at or
/// past `size`). The two parts' findings are joined as one scan would have found them.
TKeyScan ScanForKeysInParts(const TKeyFamily& family, const TReadAt& read, size_t size,
                            size_t splitFrom);

}  // namespace Platform::WineReg
