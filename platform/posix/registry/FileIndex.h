// Wine's registry files as a whole: the index of key positions built in one scan, and the
// reading and writing of single key blocks. Pure functions over text, no disk.
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
/// the records' hashes until there have been enough of them to pay for sorting.
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
  mutable std::vector<std::pair<uint64_t, int32_t>> byHash_;  // built when needed
  mutable std::vector<std::pair<uint32_t, int32_t>> byParent_;
};

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
