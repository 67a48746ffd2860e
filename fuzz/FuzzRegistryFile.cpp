// A registry file through the backend: read it, write it back untouched (the same bytes),
// rewrite every key in wineserver's form and add a key at the end, read that again: the
// same keys and values, and the new key. A scan of the file for some keys in two parts
// finds what one scan finds.
#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/registry/Hive.h"
#include "platform/posix/registry/KeyScan.h"

using Platform::TRegData;
using Platform::Posix::THive;
using Platform::WineReg::TPath;

namespace {

// Walking stops here: a file can imply far more keys than it has bytes to spare.
constexpr size_t kMaxKeys = 4000;

struct TKeySnapshot {
  TPath Path;
  std::vector<std::u16string> SubKeys;
  std::vector<std::pair<std::u16string, TRegData>> Values;
  bool operator==(const TKeySnapshot&) const = default;
};

using TTree = std::vector<TKeySnapshot>;

TTree Walk(THive& hive) {
  TTree tree;
  std::vector<TPath> pending{TPath{}};
  while (!pending.empty() && tree.size() < kMaxKeys) {
    TPath path = std::move(pending.back());
    pending.pop_back();
    TKeySnapshot key;
    key.Path = path;
    key.SubKeys = hive.SubKeyNames(path);
    if (const auto* content = hive.Content(path))
      for (const auto& value : content->Values)
        key.Values.emplace_back(value.Name, value.Data);
    for (auto it = key.SubKeys.rbegin(); it != key.SubKeys.rend(); ++it) {
      TPath child = path;
      child.push_back(*it);
      pending.push_back(std::move(child));
    }
    tree.push_back(std::move(key));
  }
  return tree;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SameScan(const Platform::WineReg::TKeyScan& a, const Platform::WineReg::TKeyScan& b) {
  if (a.Readable != b.Readable || a.Arch != b.Arch || a.Head != b.Head ||
      a.Keys.size() != b.Keys.size())
    return false;
  return std::equal(a.Keys.begin(), a.Keys.end(), b.Keys.begin(), [](const auto& x, const auto& y) {
    return x.first == y.first && x.second.Path == y.second.Path &&
           x.second.Blocks == y.second.Blocks;
  });
}

// The scan of `text` for the keys along the first few paths of `tree`, in one part and in two
// from a place the input chooses.
void CheckScanInParts(const std::string& text, const TTree& tree, uint8_t where) {
  std::vector<TPath> queries;
  for (size_t i = 0; i < tree.size() && queries.size() < 3; i += 1 + tree.size() / 3)
    queries.push_back(tree[i].Path);
  const Platform::WineReg::TKeyFamily family(queries);
  auto read = [&](size_t offset, char* out, size_t n) {
    n = offset < text.size() ? std::min({n, size_t(7), text.size() - offset}) : 0;
    std::copy_n(text.data() + offset, n, out);
    return n;
  };
  Check(SameScan(
      Platform::WineReg::ScanForKeysInParts(family, read, text.size(), text.size() * where / 256),
      Platform::WineReg::ScanForKeys(family, read)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first bit of the first byte gives the file a valid first line, so that most inputs
  // reach the key blocks.
  std::string text;
  if (data[0] & 1) text = "WINE REGISTRY Version 2\n#arch=win64\n";
  text.append(reinterpret_cast<const char*>(data + 1), size - 1);

  THive hive(text);
  if (!hive.Readable()) return 0;
  TTree before = Walk(hive);
  if (size > 1) CheckScanInParts(text, before, data[1]);
  Check(!hive.Changed());
  Check(hive.Compose("", 1).Joined() == text);
  if (before.size() >= kMaxKeys) return 0;

  // The second bit: store every value again, so that each key is written anew, as
  // wineserver writes it. Otherwise the blocks stay as they were, and only a key is added.
  if (data[0] & 2)
    for (const auto& key : before)
      for (const auto& [name, value] : key.Values)
        Check(hive.SetValue(key.Path, name, value));
  const TPath added{u"TessikFuzzAdded"};
  const bool adds = !hive.Exists(added);
  if (adds) hive.CreateKey(added);
  // A file that was empty gets the header of a new file.
  std::string rewritten = hive.Compose("WINE REGISTRY Version 2\n", 0x1dd85d5cfb27880ull).Joined();

  THive reread(rewritten);
  Check(reread.Readable());
  TTree after = Walk(reread);
  if (adds) {
    Check(reread.Exists(added));
    auto& rootKeys = after.front().SubKeys;
    rootKeys.erase(std::find(rootKeys.begin(), rootKeys.end(), added[0]));
    after.erase(std::find_if(after.begin(), after.end(),
                             [&](const TKeySnapshot& k) { return k.Path == added; }));
  }
  Check(after == before);
  Check(reread.Compose("", 1).Joined() == rewritten);
  return 0;
}
