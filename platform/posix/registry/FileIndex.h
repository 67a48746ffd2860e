// Wine's registry files as a whole: the index of key positions built in one scan, without
// decoding any value. Pure functions over text, no disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/posix/registry/LineFormat.h"

namespace Platform::WineReg {

using TPath = std::vector<std::u16string>;

/// The folded components joined with backslashes: one text per key.
std::u16string FoldedPath(const TPath& path);

/// The hash of a key path: FNV-1a over its folded components joined with backslashes.
uint64_t HashPath(const TPath& path);

enum class TArch { None, Win32, Win64, Unknown };

/// One block of the file: a "[path]" line and the lines up to the next one.
struct TBlock {
  uint32_t Begin = 0, End = 0;  // byte offsets in the text
  bool Live = false;            // false when wineserver ignores it (a path it cannot read)
  bool IsLink = false;          // it holds a "#link" line
};

/// A key path the file names: each "[path]" line names its key, and the parents that this
/// key implies unless the line before named them too. A key may have several records.
struct TFileKey {
  uint32_t ParentHash = 0;              // the low half of the parent's path hash
  uint32_t PathBegin = 0;               // its path in a "[path]" line: from here
  uint32_t NameBegin = 0, NameEnd = 0;  // its own (last) component, escaped
  int32_t Block = -1;                   // the block it heads; -1 for an implied parent
};

/// The index of a file's keys, built in one pass without decoding any value. Lookups scan
/// the records' hashes until there have been enough of them to pay for a hash table.
class TFileIndex {
 public:
  /// Scans `text`, which must outlive the index.
  explicit TFileIndex(std::string_view text);

  /// False when the first line is not the signature, or the architecture is unknown (the
  /// file wineserver refuses to load).
  bool Readable() const { return readable_; }
  TArch Arch() const { return arch_; }
  /// Where the first block starts (the end of the text when there is none).
  size_t PreambleEnd() const { return preambleEnd_; }
  const std::vector<TBlock>& Blocks() const { return blocks_; }
  const std::vector<TFileKey>& Keys() const { return keys_; }

  /// The records of the key at `path` (names in any case) in file order; none when the
  /// file has no such key.
  std::vector<int32_t> Find(const TPath& path) const;
  /// Records of the keys directly below `parent`, in no order; a key may come more than once.
  std::vector<int32_t> Children(const TPath& parent) const;
  /// A record's own name and its path, in the case the file writes them.
  std::u16string Name(int32_t key) const;
  TPath Path(int32_t key) const;
  /// FoldedPath(Path(key)), without building the path.
  std::u16string FoldedPathOf(int32_t key) const;

 private:
  struct TComponent {
    uint64_t Hash;
    uint32_t Begin, End;
  };
  struct THashState {  // a path hash part way, to go on from
    uint64_t Hash, Word, Count;
  };
  void ScanLines(size_t pos);
  void AddBlock(std::string_view line, size_t begin);
  bool ReadHeader(std::string_view afterBracket, std::vector<TComponent>& components);
  size_t ReusePrevious(std::string_view afterBracket, std::vector<TComponent>& components,
                       THashState& state);
  bool ReadEscapedHeader(std::string_view afterBracket, std::vector<TComponent>& components) const;
  void AddKey(uint64_t hash, uint64_t parentHash, uint32_t pathBegin, const TComponent* last,
              int32_t block);
  std::vector<int32_t> Candidates(uint64_t hash) const;

  std::string_view text_;
  bool readable_ = false;
  TArch arch_ = TArch::None;
  size_t preambleEnd_ = 0;
  std::vector<TBlock> blocks_;
  std::vector<TFileKey> keys_;
  std::vector<uint64_t> hashes_;  // the records' path hashes, apart for a fast scan
  // The components of this "[path]" line and of the one before, with their hash states:
  // keys written in tree order share most of their path with the key before.
  std::vector<TComponent> components_, previous_;
  std::vector<THashState> states_, previousStates_;
  std::string_view header_, previousHeader_;
  mutable size_t lookups_ = 0;
  // The records by path hash, built when needed: a table of record numbers (-1 for free
  // slots), probed one slot after the other from the hash's own.
  mutable std::vector<int32_t> byHash_;
  mutable std::vector<std::pair<uint32_t, int32_t>> byParent_;
};

}  // namespace Platform::WineReg
