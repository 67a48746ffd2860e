// One registry file in memory: its text and key index as read, and the run's changes on
// top of them. Keys are found through the index and parsed only when touched; writing back
// copies the untouched blocks as they are. A file opened for reading is first only scanned
// for the keys that lookups expect (KeyScan.h); it is read whole and indexed when a lookup
// goes further, when the run lists subkeys or changes anything. No disk access here.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/registry/FileIndex.h"
#include "platform/posix/registry/KeyBlock.h"
#include "platform/posix/registry/KeyScan.h"
#include "platform/posix/registry/TextBuffer.h"

namespace Platform::Posix {

using WineReg::TPath;

class THive {
 public:
  /// `text` is the whole file; empty when there is no file yet.
  explicit THive(TRegText text);
  explicit THive(std::string text) : THive(TRegText(std::move(text))) {}
  /// A file that is not empty, read from `source` only as far as lookups need.
  explicit THive(std::unique_ptr<TTextSource> source) : source_(std::move(source)) {}
  THive(const THive&) = delete;
  THive& operator=(const THive&) = delete;

  /// Prepares the lookups of the key at `query` and of the keys on its way (names in any
  /// case): a file not read whole is scanned for them, unless an earlier scan found them.
  /// A second path that is not the target of a link read before (`linked`) makes it read
  /// the file whole: a run that looks up several paths looks up many.
  void Expect(const TPath& query, bool linked = false);
  /// Prepares the lookups of all of `queries` at once, for a run that announced them: one
  /// scan finds the keys of those that no earlier scan covers.
  void ExpectAll(const std::vector<TPath>& queries);

  /// False when wineserver would refuse the file (bad first line or architecture).
  bool Readable() const;
  WineReg::TArch Arch() const;
  /// Whether there is no file (or an empty one).
  bool Empty() const { return !source_ && text_.empty(); }
  /// The file's first lines: at least its first 4096 bytes and the rest of the line there.
  std::string_view Head() const;
  /// Whether the run changed anything.
  bool Changed() const;

  /// Whether the key exists (the root always does). Names in any case.
  bool Exists(const TPath& path);
  /// The stored name of the child `name` of `parent`, when there is such a key.
  std::optional<std::u16string> ChildName(const TPath& parent, std::u16string_view name);
  /// The subkeys' names in wineserver's order.
  std::vector<std::u16string> SubKeyNames(const TPath& path);
  /// The key's lines and values; nullptr when it does not exist.
  const WineReg::TKeyContent* Content(const TPath& path);
  /// Whether the key is a symbolic link ("#link").
  bool IsLink(const TPath& path);

  /// Creates the key and its missing parents; new names keep the case given.
  void CreateKey(const TPath& path);
  /// Deletes a key that has no subkeys; AccessDenied when it has some, NotFound when it
  /// does not exist.
  TRegResult DeleteKey(const TPath& path);
  /// Stores a value of an existing key; false when the key does not exist.
  bool SetValue(const TPath& path, std::u16string_view name, const TRegData& data);
  TRegResult DeleteValue(const TPath& path, std::u16string_view name);

  /// The file with the run's changes: untouched blocks as they were, changed keys in
  /// wineserver's form stamped with `filetime`, new keys at the end. `newFileHeader`
  /// starts the text when there was no file.
  TComposed Compose(const std::string& newFileHeader, uint64_t filetime);

 private:
  struct TState {
    TPath Path;  // stored case
    bool Exists = true;
    bool Dirty = false;
    bool InFile = false;          // the file has the key (in blocks or implied)
    std::vector<int32_t> Blocks;  // its blocks in the file
    WineReg::TKeyContent Content;
  };
  TState* State(const TPath& path);
  /// FoldedPath(path), built on the last path asked for where they share names: the
  /// lookups of one key path go down it name by name. Valid until the next call.
  const std::u16string& Folded(const TPath& path);
  /// The run's state of the key at the folded path, when it has one.
  TState* Known(const std::u16string& folded) const {
    auto it = known_.find(folded);
    return it == known_.end() ? nullptr : it->second;
  }
  TState& AddState(std::u16string folded, TState state);
  /// The index's records of the key at `path` (folded: `folded`), looked up once.
  const std::vector<int32_t>& Records(const TPath& path, const std::u16string& folded);
  /// Whether a scan answers lookups of `path`; if not, reads the file whole for them.
  bool Scanned(const TPath& path);
  /// Scans the file for one more family of keys.
  void Scan(WineReg::TKeyFamily family);
  /// Reads the file whole and indexes it, when it was only scanned so far.
  void ReadWhole();
  bool HasSubKeys(const TPath& path);
  /// Calls visit(state) for the existing children of `path` that the run created, until it
  /// returns true.
  template <class TVisit>
  void ForEachNewChild(const TPath& path, TVisit&& visit) const;
  bool ShouldWrite(TState& state);
  void AppendNewKeys(TComposed& out, uint64_t filetime);
  /// When new keys go after a file that ends in a continued value line, marks the key of
  /// that line changed, so that it is written whole and the new keys cannot continue it.
  void KeepTheLastKeyApart();

  TRegText holder_;
  std::string_view text_;
  std::unique_ptr<WineReg::TFileIndex> index_;
  std::map<std::u16string, TState> states_;  // by folded path
  // Lookups by folded path without comparing paths along a tree: states_ by path, and the
  // records of the index (which does not change) for each path looked up.
  std::unordered_map<std::u16string, TState*> known_;
  std::unordered_map<std::u16string, std::vector<int32_t>> records_;
  // Folded's last path, its folded form and where the form of each name ends in it.
  TPath foldedNames_;
  std::u16string folded_;
  std::vector<size_t> foldedEnds_{0};
  std::u16string childFolded_;  // ChildName's room for the child's folded path

  // While the file is only scanned: where to read it, the families of keys scanned for, the
  // keys found and the contents read from their blocks (by folded path).
  std::unique_ptr<TTextSource> source_;
  std::vector<WineReg::TKeyFamily> families_;
  bool queried_ = false;  // a scan for paths that were no link target
  WineReg::TKeyScan scan_;
  std::map<std::u16string, WineReg::TKeyContent> scannedContent_;
};

}  // namespace Platform::Posix
