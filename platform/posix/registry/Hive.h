// One registry file in memory: its text and key index as read, and the run's changes on
// top of them. Keys are found through the index and parsed only when touched; writing back
// copies the untouched blocks as they are. No disk access here.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/registry/FileIndex.h"
#include "platform/posix/registry/KeyBlock.h"
#include "platform/posix/registry/TextBuffer.h"

namespace Platform::Posix {

using WineReg::TPath;

class THive {
 public:
  /// `text` is the whole file; empty when there is no file yet.
  explicit THive(TRegText text);
  explicit THive(std::string text) : THive(TRegText(std::move(text))) {}
  THive(const THive&) = delete;
  THive& operator=(const THive&) = delete;

  /// False when wineserver would refuse the file (bad first line or architecture).
  bool Readable() const { return text_.empty() || index_.Readable(); }
  WineReg::TArch Arch() const { return index_.Arch(); }
  /// The file as read.
  std::string_view Text() const { return text_; }
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
  WineReg::TFileIndex index_;
  std::map<std::u16string, TState> states_;  // by folded path
};

}  // namespace Platform::Posix
