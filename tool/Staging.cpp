// The registry overlay of a staged run and the start and end of staging.
#include "tool/Staging.h"

#include <algorithm>

#include "platform/Collation.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "tool/Output.h"
#include "tool/StagingState.h"

using Platform::TRegData;
using Platform::TRegKey;
using Platform::TRegResult;
using Platform::TRegRoot;

namespace Staging {
namespace {

std::unique_ptr<TState>& StateSlot() {
  static std::unique_ptr<TState> state;
  return state;
}

std::u16string JoinKeyPath(const TPath& path, size_t count) {
  std::u16string joined;
  for (size_t i = 0; i < count; ++i)
    joined += (i ? u"\\" : u"") + path[i];
  return joined;
}

std::u16string JoinKeyPath(const TPath& path) {
  return JoinKeyPath(path, path.size());
}

std::u16string Fold(std::u16string_view name) {
  return Platform::UpperCase(name);
}

std::u16string Identity(TRegRoot root, const TPath& path) {
  return (root == TRegRoot::CurrentUser ? u"U\\" : u"M\\") + Fold(JoinKeyPath(path));
}

TNode& RootNode(TRegRoot root) {
  return Active()->Roots[root == TRegRoot::CurrentUser ? 0 : 1];
}

TNode* ChildOf(const TNode& node, std::u16string_view name) {
  std::u16string folded = Fold(name);
  for (const auto& child : node.Children)
    if (Fold(child->Name) == folded) return child.get();
  return nullptr;
}

// Where a path leads in the overlay: the deepest node on it and how many components that
// node covers. Beyond an unmaterialized node the platform answers.
struct TReach {
  TNode* Node;
  size_t Depth;
};

TReach Reach(TRegRoot root, const TPath& path) {
  TNode* node = &RootNode(root);
  size_t depth = 0;
  while (depth < path.size()) {
    TNode* child = ChildOf(*node, path[depth]);
    if (!child) break;
    node = child, ++depth;
  }
  return {node, depth};
}

std::unique_ptr<TRegKey> BaseKey(TRegRoot root, const TPath& path) {
  return Platform::OpenRegKey(root, JoinKeyPath(path));
}

// Names sort as the registry lists them: case-insensitively.
template <typename T, typename TName>
void InsertSorted(std::vector<T>& items, T item, TName nameOf) {
  std::u16string folded = Fold(nameOf(item));
  auto at = std::find_if(items.begin(), items.end(),
                         [&](const T& each) { return Fold(nameOf(each)) > folded; });
  items.insert(at, std::move(item));
}

// Copies the platform's content of the key into the node, keeping the nodes below it.
void Materialize(TNode& node, TRegRoot root, const TPath& path) {
  if (node.Materialized) return;
  node.Materialized = true;
  auto key = BaseKey(root, path);
  if (!key) return;
  for (const auto& name : key->ValueNames())
    if (auto data = key->QueryValue(name)) node.Values.emplace_back(name, std::move(*data));
  std::vector<std::unique_ptr<TNode>> children;
  for (const auto& name : key->SubKeyNames()) {
    auto known = std::find_if(node.Children.begin(), node.Children.end(),
                              [&](const auto& c) { return c && Fold(c->Name) == Fold(name); });
    if (known != node.Children.end()) {
      children.push_back(std::move(*known));
    } else {
      children.push_back(std::make_unique<TNode>());
      children.back()->Name = name;
    }
  }
  node.Children = std::move(children);
}

size_t NextOrder() {
  return Active()->NextOrder++;
}

void NoteKey(TRegRoot root, const TPath& path, bool existed) {
  Active()->Keys.try_emplace(Identity(root, path), TKeyChange{root, path, existed, NextOrder()});
}

void NoteValue(TRegRoot root, const TPath& path, std::u16string_view name) {
  std::u16string id = Identity(root, path) + u'\0' + Fold(name);
  if (Active()->Values.count(id)) return;
  Active()->Values.emplace(
      id, TValueChange{root, path, std::u16string(name), ValueOf(root, path, name), NextOrder()});
}

// The node of an existing key, materialized with the nodes that lead to it; nullptr when
// the key does not exist (any more).
TNode* Writable(TRegRoot root, const TPath& path) {
  if (!KeyExists(root, path)) return nullptr;
  TNode* node = &RootNode(root);
  for (size_t depth = 0; depth < path.size(); ++depth) {
    TNode* child = ChildOf(*node, path[depth]);
    if (!child) {
      node->Children.push_back(std::make_unique<TNode>());
      child = node->Children.back().get();
      child->Name = path[depth];
    }
    node = child;
  }
  Materialize(*node, root, path);
  return node;
}

// The platform refuses writes for reasons of its own (POSIX: a wineserver holds the
// prefix). Opening the root for writing changes nothing, and fails where the run's first
// write would.
void ProbeWritable(TRegRoot root) {
  bool& probed = Active()->Probed[root == TRegRoot::CurrentUser ? 0 : 1];
  if (probed) return;
  Platform::CreateRegKey(root, u"");
  probed = true;
}

void Hold(std::function<void()> call) {
  Active()->Replay.push_back(std::move(call));
}

// A key as the staged run sees it; every call finds it again, so a handle never dangles.
class TStagedKey : public TRegKey {
 public:
  TStagedKey(TRegRoot root, TPath path) : root_(root), path_(std::move(path)) {}

  std::vector<std::u16string> ValueNames() const override {
    TReach reach = Reach(root_, path_);
    std::vector<std::u16string> names;
    if (reach.Depth == path_.size() && reach.Node->Materialized) {
      for (const auto& [name, data] : reach.Node->Values)
        names.push_back(name);
      return names;
    }
    auto key = BaseKey(root_, path_);
    return key ? key->ValueNames() : names;
  }

  std::vector<std::u16string> SubKeyNames() const override {
    TReach reach = Reach(root_, path_);
    std::vector<std::u16string> names;
    if (reach.Depth == path_.size() && reach.Node->Materialized) {
      for (const auto& child : reach.Node->Children)
        names.push_back(child->Name);
      return names;
    }
    auto key = BaseKey(root_, path_);
    return key ? key->SubKeyNames() : names;
  }

  std::optional<TRegData> QueryValue(std::u16string_view name) const override {
    return ValueOf(root_, path_, name);
  }

  bool SetValue(std::u16string_view name, const TRegData& data) override {
    if (!KeyExists(root_, path_)) return false;
    ProbeWritable(root_);
    std::u16string cut(name.substr(0, name.find(u'\0')));
    NoteValue(root_, path_, cut);
    TNode* node = Writable(root_, path_);
    auto& values = node->Values;
    auto same = std::find_if(values.begin(), values.end(),
                             [&](const auto& v) { return Fold(v.first) == Fold(cut); });
    if (same != values.end()) {
      same->second = data;
    } else {
      InsertSorted(values, std::make_pair(cut, data), [](const auto& v) { return v.first; });
    }
    Hold([root = root_, path = JoinKeyPath(path_), cut, data] {
      if (auto key = Platform::CreateRegKey(root, path)) key->SetValue(cut, data);
    });
    return true;
  }

  TRegResult DeleteValue(std::u16string_view name) override {
    if (!ValueOf(root_, path_, name)) return TRegResult::NotFound;
    ProbeWritable(root_);
    std::u16string cut(name.substr(0, name.find(u'\0')));
    NoteValue(root_, path_, cut);
    auto& values = Writable(root_, path_)->Values;
    std::erase_if(values, [&](const auto& v) { return Fold(v.first) == Fold(cut); });
    Hold([root = root_, path = JoinKeyPath(path_), cut] {
      if (auto key = Platform::CreateRegKey(root, path)) key->DeleteValue(cut);
    });
    return TRegResult::Ok;
  }

 private:
  TRegRoot root_;
  TPath path_;
};

// Notes the whole subtree of an existing key as it stands, before it goes.
void NoteSubtree(TRegRoot root, TPath& path) {
  NoteKey(root, path, true);
  TStagedKey key(root, path);
  for (const auto& name : key.ValueNames())
    NoteValue(root, path, name);
  for (const auto& name : key.SubKeyNames()) {
    path.push_back(name);
    NoteSubtree(root, path);
    path.pop_back();
  }
}

}  // namespace

TState* Active() {
  return StateSlot().get();
}

bool KeyExists(TRegRoot root, const TPath& path) {
  TReach reach = Reach(root, path);
  if (reach.Depth == path.size()) return true;
  if (reach.Node->Materialized) return false;
  return BaseKey(root, path) != nullptr;
}

std::optional<TRegData> ValueOf(TRegRoot root, const TPath& path, std::u16string_view name) {
  TReach reach = Reach(root, path);
  if (reach.Depth == path.size() && reach.Node->Materialized) {
    std::u16string folded = Fold(name.substr(0, name.find(u'\0')));
    for (const auto& [each, data] : reach.Node->Values)
      if (Fold(each) == folded) return data;
    return std::nullopt;
  }
  if (reach.Depth < path.size() && reach.Node->Materialized) return std::nullopt;
  auto key = BaseKey(root, path);
  return key ? key->QueryValue(name) : std::nullopt;
}

std::u16string ShownKey(TRegRoot root, const TPath& path) {
  return (root == TRegRoot::CurrentUser ? u"HKCU\\" : u"HKLM\\") + JoinKeyPath(path);
}

std::unique_ptr<TRegKey> OpenRegKey(TRegRoot root, std::u16string_view path) {
  if (!Active()) return Platform::OpenRegKey(root, path);
  auto parts = Platform::SplitRegKeyPath(path);
  if (!parts || !KeyExists(root, *parts)) return nullptr;
  return std::make_unique<TStagedKey>(root, std::move(*parts));
}

std::unique_ptr<TRegKey> CreateRegKey(TRegRoot root, std::u16string_view path) {
  if (!Active()) return Platform::CreateRegKey(root, path);
  auto parts = Platform::SplitRegKeyPath(path);
  if (!parts) return nullptr;
  ProbeWritable(root);
  TPath prefix;
  for (const auto& name : *parts) {
    TPath parent = prefix;
    prefix.push_back(name);
    if (KeyExists(root, prefix)) continue;
    NoteKey(root, prefix, false);
    TNode* node = Writable(root, parent);
    auto child = std::make_unique<TNode>();
    child->Name = name;
    child->Materialized = true;
    InsertSorted(node->Children, std::move(child), [](const auto& c) { return c->Name; });
  }
  Hold([root, whole = JoinKeyPath(*parts)] { Platform::CreateRegKey(root, whole); });
  return std::make_unique<TStagedKey>(root, std::move(*parts));
}

TRegResult DeleteRegTree(TRegRoot root, std::u16string_view path) {
  if (!Active()) return Platform::DeleteRegTree(root, path);
  auto parts = Platform::SplitRegKeyPath(path);
  if (!parts || parts->empty()) return parts ? TRegResult::AccessDenied : TRegResult::NotFound;
  if (!KeyExists(root, *parts)) return TRegResult::NotFound;
  ProbeWritable(root);
  // What the system refuses to delete (a link, a tree that holds one) fails as the real
  // delete would; a key only the run created is the run's own to delete.
  if (Platform::CheckRegTreeDelete(root, path) == TRegResult::AccessDenied)
    return TRegResult::AccessDenied;
  TPath walk = *parts;
  NoteSubtree(root, walk);
  TPath parent(parts->begin(), parts->end() - 1);
  auto& siblings = Writable(root, parent)->Children;
  std::u16string folded = Fold(parts->back());
  std::erase_if(siblings, [&](const auto& c) { return Fold(c->Name) == folded; });
  Hold([root, whole = JoinKeyPath(*parts)] { Platform::DeleteRegTree(root, whole); });
  return TRegResult::Ok;
}

void BroadcastSettingsChanged() {
  // A dry run tells nobody; a staged real run tells them once the changes are made.
  if (!Active()) return Platform::BroadcastSettingsChanged();
  Hold([] { Platform::BroadcastSettingsChanged(); });
}

void Begin(bool dryRun, const std::optional<std::u16string>& undoFile) {
  if (undoFile && undoFile->empty()) throw Exception(u"Missing undo file name");
  auto state = std::make_unique<TState>();
  state->DryRun = dryRun;
  state->UndoFile = undoFile;
  if (undoFile) Platform::WriteFileAtomically(*undoFile, UndoFileBytes(*state));
  StateSlot() = std::move(state);
}

void Finish() {
  TState* staged = Active();
  if (!staged) return;
  // The report reads the registry as the run left it: the pending changes stay in view.
  if (staged->DryRun)
    for (const auto& line : WouldLines(*staged))
      WriteLine(line);
  if (staged->UndoFile) Platform::WriteFileAtomically(*staged->UndoFile, UndoFileBytes(*staged));
  std::unique_ptr<TState> state = std::move(StateSlot());
  if (state->DryRun) return;
  for (auto& call : state->Replay)
    call();
}

}  // namespace Staging
