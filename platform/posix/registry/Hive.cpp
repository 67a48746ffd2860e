#include "platform/posix/registry/Hive.h"

#include <algorithm>

namespace Platform::Posix {

using WineReg::CompareNames;
using WineReg::FoldedPath;

namespace {

TPath Child(const TPath& parent, std::u16string_view name) {
  TPath path = parent;
  path.emplace_back(name);
  return path;
}

TPath Parent(const TPath& path) {
  return TPath(path.begin(), path.end() - 1);
}

// The prefix that the folded paths of `path`'s children start with.
std::u16string ChildPrefix(const TPath& path) {
  std::u16string prefix = FoldedPath(path);
  if (!path.empty()) prefix.push_back(u'\\');
  return prefix;
}

// Whether a key appended after this block, the file's last, would change what Wine reads
// from it: a value continued (by a backslash in hex data) onto the next line would take the
// blank line that goes before the new key.
bool AppendingChangesTheLastBlock(std::string_view block) {
  WineReg::TKeyContent alone, followed;
  WineReg::ReadKeyBlock(block, alone);
  std::string appended(block);
  if (appended.empty() || appended.back() != '\n') appended += '\n';
  appended += '\n';
  WineReg::ReadKeyBlock(appended, followed);
  if (alone.Values.size() != followed.Values.size()) return true;
  for (size_t i = 0; i < alone.Values.size(); ++i)
    if (alone.Values[i].Name != followed.Values[i].Name ||
        !(alone.Values[i].Data == followed.Values[i].Data))
      return true;
  return false;
}

}  // namespace

THive::THive(TRegText text)
    : holder_(std::move(text)),
      text_(holder_.View()),
      index_(std::make_unique<WineReg::TFileIndex>(text_)) {}

namespace {
// Scans for one path and the links on its way; more cost more than reading the file whole.
constexpr size_t kMaxScans = 3;
}  // namespace

void THive::Expect(const TPath& query, bool linked) {
  if (!source_) return;
  for (const WineReg::TKeyFamily& family : families_)
    if (family.Covers(query)) return;
  if ((queried_ && !linked) || families_.size() == kMaxScans) return ReadWhole();
  queried_ |= !linked;
  Scan(WineReg::TKeyFamily(query));
}

void THive::ExpectAll(const std::vector<TPath>& queries) {
  if (!source_) return;
  std::vector<TPath> missing;
  for (const TPath& query : queries)
    if (std::none_of(families_.begin(), families_.end(),
                     [&](const WineReg::TKeyFamily& family) { return family.Covers(query); }))
      missing.push_back(query);
  if (missing.empty()) return;
  if (families_.size() == kMaxScans) return ReadWhole();
  queried_ = true;
  Scan(WineReg::TKeyFamily(missing));
}

void THive::Scan(WineReg::TKeyFamily family) {
  families_.push_back(std::move(family));
  WineReg::TKeyScan scan = WineReg::ScanForKeys(
      families_.back(),
      [this](size_t offset, char* out, size_t size) { return source_->ReadAt(offset, out, size); },
      source_->Size());
  if (families_.size() == 1) {
    scan_ = std::move(scan);
    return;
  }
  for (auto& [folded, key] : scan.Keys)  // the same file: keys found before stay as they are
    scan_.Keys.emplace(folded, std::move(key));
}

void THive::ReadWhole() {
  if (!source_) return;
  holder_ = source_->ReadAll();
  text_ = holder_.View();
  index_ = std::make_unique<WineReg::TFileIndex>(text_);
  records_.clear();
  source_.reset();
}

THive::TState& THive::AddState(std::u16string folded, TState state) {
  auto [it, added] = states_.emplace(std::move(folded), std::move(state));
  known_.emplace(it->first, &it->second);
  return it->second;
}

const std::vector<int32_t>& THive::Records(const TPath& path, const std::u16string& folded) {
  auto it = records_.find(folded);
  if (it == records_.end())
    it =
        records_.emplace(folded, text_.empty() ? std::vector<int32_t>{} : index_->Find(path)).first;
  return it->second;
}

bool THive::Scanned(const TPath& path) {
  if (!source_) return false;
  for (const WineReg::TKeyFamily& family : families_)
    if (family.Covers(path)) return true;
  ReadWhole();
  return false;
}

bool THive::Readable() const {
  if (source_) return scan_.Readable;
  return text_.empty() || index_->Readable();
}

WineReg::TArch THive::Arch() const {
  return source_ ? scan_.Arch : index_->Arch();
}

std::string_view THive::Head() const {
  return source_ ? std::string_view(scan_.Head) : text_;
}

bool THive::Changed() const {
  for (const auto& [key, state] : states_)
    if (state.Dirty) return true;
  return false;
}

THive::TState* THive::State(const TPath& path) {
  ReadWhole();
  std::u16string key = FoldedPath(path);
  if (TState* known = Known(key)) return known;
  const std::vector<int32_t>& records = Records(path, key);
  if (records.empty() && !path.empty()) return nullptr;
  TState state;
  state.InFile = !records.empty();
  if (state.InFile) state.Path = index_->Path(records[0]);  // as first written
  for (int32_t r : records) {
    int32_t b = index_->Keys()[size_t(r)].Block;
    if (b < 0) continue;
    state.Blocks.push_back(b);
    const WineReg::TBlock& block = index_->Blocks()[size_t(b)];
    WineReg::ReadKeyBlock(std::string_view(text_).substr(block.Begin, block.End - block.Begin),
                          state.Content);
  }
  if (state.Blocks.empty()) state.Content.PathText = WineReg::EscapePath(state.Path);
  return &AddState(std::move(key), std::move(state));
}

bool THive::Exists(const TPath& path) {
  if (path.empty()) return true;
  std::u16string folded = FoldedPath(path);
  if (Scanned(path)) return scan_.Keys.count(folded) != 0;
  if (TState* state = Known(folded)) return state->Exists;
  return !Records(path, folded).empty();
}

std::optional<std::u16string> THive::ChildName(const TPath& parent, std::u16string_view name) {
  if (source_) {  // only scanned so far
    TPath path = Child(parent, name);
    if (Scanned(path)) {
      auto it = scan_.Keys.find(FoldedPath(path));
      if (it == scan_.Keys.end()) return std::nullopt;
      return it->second.Path.back();
    }
  }
  std::u16string& folded = childFolded_;
  folded = Folded(parent);
  if (!parent.empty()) folded.push_back(u'\\');
  for (char16_t c : name)
    folded.push_back(WineReg::FoldChar(c));
  if (TState* state = Known(folded)) {
    if (!state->Exists) return std::nullopt;
    return state->Path.back();
  }
  auto it = records_.find(folded);
  const std::vector<int32_t>& records =
      it != records_.end() ? it->second : Records(Child(parent, name), folded);
  if (records.empty()) return std::nullopt;
  return index_->Name(records[0]);
}

const std::u16string& THive::Folded(const TPath& path) {
  size_t same = 0;
  const size_t shared = std::min(path.size(), foldedNames_.size());
  while (same < shared && path[same] == foldedNames_[same])
    ++same;
  foldedNames_.resize(path.size());
  foldedEnds_.resize(path.size() + 1);
  folded_.resize(foldedEnds_[same]);
  for (size_t i = same; i < path.size(); ++i) {
    foldedNames_[i] = path[i];
    if (i) folded_.push_back(u'\\');
    for (char16_t c : path[i])
      folded_.push_back(WineReg::FoldChar(c));
    foldedEnds_[i + 1] = folded_.size();
  }
  return folded_;
}

template <class TVisit>
void THive::ForEachNewChild(const TPath& path, TVisit&& visit) const {
  // The map keeps each key's subtree together, right after the key: the scan visits the
  // children and jumps over their subtrees, so deep chains of keys cost no more than flat ones.
  std::u16string prefix = ChildPrefix(path);
  auto it = states_.lower_bound(prefix);
  while (it != states_.end() && it->first.compare(0, prefix.size(), prefix) == 0) {
    if (it->first.size() == prefix.size()) {  // the root itself, whose prefix is empty
      ++it;
      continue;
    }
    size_t slash = it->first.find(u'\\', prefix.size());
    if (slash != std::u16string::npos) {
      // Inside a child's subtree: go on after it ("]" follows the backslash).
      it = states_.lower_bound(it->first.substr(0, slash) + u']');
      continue;
    }
    const TState& s = it->second;
    if (s.Exists && !s.InFile && visit(s)) return;
    ++it;
  }
}

std::vector<std::u16string> THive::SubKeyNames(const TPath& path) {
  ReadWhole();
  std::vector<std::u16string> names;
  if (!text_.empty()) {
    for (int32_t key : index_->Children(path)) {
      std::u16string name = index_->Name(key);
      const TState* state = Known(FoldedPath(Child(path, name)));
      if (!state)
        names.push_back(std::move(name));
      else if (state->Exists)
        names.push_back(state->Path.back());  // created again, maybe in another case
    }
  }
  // Keys the run created below it.
  ForEachNewChild(path, [&](const TState& s) {
    names.push_back(s.Path.back());
    return false;
  });
  std::stable_sort(  // equal names: the first written wins
      names.begin(), names.end(),
      [](const auto& a, const auto& b) { return CompareNames(a, b) < 0; });
  names.erase(std::unique(names.begin(), names.end(),
                          [](const auto& a, const auto& b) { return CompareNames(a, b) == 0; }),
              names.end());
  return names;
}

bool THive::HasSubKeys(const TPath& path) {
  ReadWhole();
  if (!text_.empty()) {
    for (int32_t key : index_->Children(path)) {
      const TState* state = Known(FoldedPath(Child(path, index_->Name(key))));
      if (!state || state->Exists) return true;
    }
  }
  bool found = false;
  ForEachNewChild(path, [&](const TState&) { return found = true; });
  return found;
}

const WineReg::TKeyContent* THive::Content(const TPath& path) {
  if (Scanned(path)) {
    std::u16string folded = FoldedPath(path);
    if (auto it = scannedContent_.find(folded); it != scannedContent_.end()) return &it->second;
    auto key = scan_.Keys.find(folded);
    if (key == scan_.Keys.end() && !path.empty()) return nullptr;
    WineReg::TKeyContent& content = scannedContent_[folded];  // the root always exists
    if (key == scan_.Keys.end()) return &content;
    for (const std::string& block : key->second.Blocks)
      WineReg::ReadKeyBlock(block, content);
    if (key->second.Blocks.empty()) content.PathText = WineReg::EscapePath(key->second.Path);
    return &content;
  }
  TState* state = State(path);
  return state && state->Exists ? &state->Content : nullptr;
}

bool THive::IsLink(const TPath& path) {
  if (!path.empty() && Scanned(path)) {
    const WineReg::TKeyContent* content = Content(path);
    if (!content) return false;
    for (const WineReg::TKeyLine& line : content->Lines)
      if (WineReg::TrimLeft(line.Raw).substr(0, 5) == "#link") return true;
    return false;
  }
  const std::u16string& folded = Folded(path);
  if (const TState* s = Known(folded)) {
    if (!s->Exists) return false;
    for (const WineReg::TKeyLine& line : s->Content.Lines)
      if (WineReg::TrimLeft(line.Raw).substr(0, 5) == "#link") return true;
    return false;
  }
  if (text_.empty() || path.empty()) return false;
  for (int32_t r : Records(path, folded)) {
    int32_t b = index_->Keys()[size_t(r)].Block;
    if (b >= 0 && index_->Blocks()[size_t(b)].IsLink) return true;
  }
  return false;
}

void THive::CreateKey(const TPath& path) {
  TPath prefix;
  for (const std::u16string& name : path) {
    prefix.push_back(name);
    TState* state = State(prefix);
    if (state && state->Exists) {
      prefix.back() = state->Path.back();  // new children go below the stored name
      continue;
    }
    if (!state) state = &AddState(FoldedPath(prefix), TState{});
    // A key deleted earlier in the run comes back empty, under the new name.
    state->Path = prefix;
    state->Exists = state->Dirty = true;
    state->Content = WineReg::TKeyContent{};
    state->Content.PathText = WineReg::EscapePath(prefix);
  }
}

TRegResult THive::DeleteKey(const TPath& path) {
  if (path.empty()) return TRegResult::AccessDenied;
  TState* state = State(path);
  if (!state || !state->Exists) return TRegResult::NotFound;
  if (HasSubKeys(path)) return TRegResult::AccessDenied;
  state->Exists = false;
  state->Dirty = true;
  state->Content.Values.clear();
  state->Content.Lines.clear();
  // The parent may have been implied by this key alone: it gets its own block.
  if (path.size() > 1) State(Parent(path))->Dirty = true;
  return TRegResult::Ok;
}

bool THive::SetValue(const TPath& path, std::u16string_view name, const TRegData& data) {
  TState* state = State(path);
  if (!state || !state->Exists) return false;
  state->Content.SetValue(name, data);
  state->Dirty = true;
  return true;
}

TRegResult THive::DeleteValue(const TPath& path, std::u16string_view name) {
  TState* state = State(path);
  if (!state || !state->Exists) return TRegResult::NotFound;
  if (!state->Content.DeleteValue(name)) return TRegResult::NotFound;
  state->Dirty = true;
  return TRegResult::Ok;
}

// Wineserver writes a key when it has values or no subkeys; the others are implied by the
// paths of their subkeys.
bool THive::ShouldWrite(TState& state) {
  if (!state.Exists) return false;
  if (!state.Content.Values.empty() || state.Content.HasOwnLines()) return true;
  return !state.Path.empty() && !HasSubKeys(state.Path);
}

void THive::KeepTheLastKeyApart() {
  if (index_->Blocks().empty() || !index_->Blocks().back().Live) return;  // no values read there
  bool appends = false;
  for (auto& [key, state] : states_)
    appends |= state.Dirty && state.Blocks.empty() && ShouldWrite(state);
  const WineReg::TBlock& last = index_->Blocks().back();
  if (!appends || !AppendingChangesTheLastBlock(text_.substr(last.Begin, last.End - last.Begin)))
    return;
  const int32_t lastIndex = int32_t(index_->Blocks().size() - 1);
  for (size_t k = index_->Keys().size(); k-- > 0;) {
    if (index_->Keys()[k].Block != lastIndex) continue;
    // Written anew, the key keeps what Wine read from it, the cut value included.
    if (TState* state = State(index_->Path(int32_t(k))); state && state->Exists) {
      state->Dirty = true;
      for (WineReg::TStoredValue& value : state->Content.Values)
        value.Changed = true;
    }
    return;
  }
}

TComposed THive::Compose(const std::string& newFileHeader, uint64_t filetime) {
  ReadWhole();
  KeepTheLastKeyApart();
  std::map<int32_t, TState*> firstBlock;  // block -> the changed key written in its place
  std::vector<bool> dropped(index_->Blocks().size());
  for (auto& [key, state] : states_) {
    if (!state.Dirty || state.Blocks.empty()) continue;
    firstBlock[state.Blocks[0]] = &state;
    for (int32_t b : state.Blocks)
      dropped[size_t(b)] = true;
  }
  TComposed out;
  if (text_.empty())
    out.AddOwned(newFileHeader);
  else
    out.Add(text_.substr(0, index_->PreambleEnd()));
  for (size_t b = 0; b < index_->Blocks().size(); ++b) {
    const WineReg::TBlock& block = index_->Blocks()[b];
    if (!dropped[b]) {
      out.Add(text_.substr(block.Begin, block.End - block.Begin));
    } else if (auto it = firstBlock.find(int32_t(b)); it != firstBlock.end()) {
      if (ShouldWrite(*it->second)) out.AddOwned(WriteKey(it->second->Content, filetime));
    }
  }
  AppendNewKeys(out, filetime);
  return out;
}

void THive::AppendNewKeys(TComposed& out, uint64_t filetime) {
  for (auto& [key, state] : states_) {
    if (!state.Dirty || !state.Blocks.empty() || !ShouldWrite(state)) continue;
    if (!out.Empty() && !out.EndsWith("\n")) out.AddOwned("\n");
    if (!out.EndsWith("\n\n")) out.AddOwned("\n");
    out.AddOwned(WriteKey(state.Content, filetime));
  }
}

}  // namespace Platform::Posix
