// The staged run's state, shared by the registry overlay, the file overlay and the report
// of the changes (Would lines, undo file).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace Staging {

using TPath = std::vector<std::u16string>;

/// A key of the overlay. Unmaterialized, it only leads to its children and the platform
/// holds its content; materialized, Values and Children are the key's whole content.
struct TNode {
  std::u16string Name;
  bool Materialized = false;
  std::vector<std::pair<std::u16string, Platform::TRegData>> Values;
  std::vector<std::unique_ptr<TNode>> Children;
};

/// A key the run created or deleted, as it was before its first such change.
struct TKeyChange {
  Platform::TRegRoot Root;
  TPath Path;
  bool Existed;
  size_t Order;
};

/// A value the run set or deleted, with its data before the first change.
struct TValueChange {
  Platform::TRegRoot Root;
  TPath Path;
  std::u16string Name;
  std::optional<Platform::TRegData> Before;
  size_t Order;
};

enum class TFileAction { Copy, Remove, Write };

/// A file the run copied over, deleted or rewrote: its last action and what it held before.
struct TFileChange {
  std::u16string Path;
  bool Existed;
  size_t Order;
  TFileAction Action;
  std::u16string Source;  // Copy
  std::string Bytes;      // Write: the new contents
  std::string Original;   // Write: the contents before the run's first change
};

struct TState {
  bool DryRun = false;
  std::optional<std::u16string> UndoFile;
  TNode Roots[2];
  size_t NextOrder = 0;
  std::map<std::u16string, TKeyChange> Keys;      // by folded identity
  std::map<std::u16string, TValueChange> Values;  // by folded identity
  std::map<std::u16string, TFileChange> Files;    // by folded path
  std::vector<std::function<void()>> Replay;      // the held platform calls, in order
  bool Probed[2] = {false, false};                // whether a root was opened for writing
};

/// The staged run's state; nullptr when changes pass straight through.
TState* Active();

/// The current view (the platform with the run's pending changes) of a key's existence,
/// its values and its subkeys. `path` is a valid key path.
bool KeyExists(Platform::TRegRoot root, const TPath& path);
std::optional<Platform::TRegData> ValueOf(Platform::TRegRoot root, const TPath& path,
                                          std::u16string_view name);

/// "HKCU\path" / "HKLM\path".
std::u16string ShownKey(Platform::TRegRoot root, const TPath& path);

/// The undo file for the net changes, as "reg export" writes one: UTF-16 LE with a
/// byte-order mark, CR LF.
std::string UndoFileBytes(const TState& state);

/// The "Would ..." lines of the net changes, in the order of their first change.
std::vector<std::u16string> WouldLines(const TState& state);

}  // namespace Staging
