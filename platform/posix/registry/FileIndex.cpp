#include "platform/posix/registry/FileIndex.h"

#include <algorithm>
#include <cstdint>

namespace Platform::WineReg {
namespace {

constexpr uint64_t kHashBasis = 0xcbf29ce484222325ull;
constexpr uint64_t kHashPrime = 0x100000001b3ull;
// Wineserver refuses longer key names in a file (one more than the API allows).
constexpr size_t kMaxFileNameLength = 256;

// A hash of the folded units of a path that gathers four units into a word before it
// multiplies, so that the units of a name cost little more than reading them.
class THasher {
 public:
  struct TState {
    uint64_t Hash = kHashBasis, Word = 0, Count = 0;
  };
  THasher() = default;
  template <class T>
  explicit THasher(const T& state) : s_{state.Hash, state.Word, state.Count} {}
  template <class T>
  T State() const {
    return T{s_.Hash, s_.Word, s_.Count};
  }

  bool Aligned() const { return (s_.Count & 3) == 0; }
  /// Four units at once (the first in the high bits), when Aligned().
  void AddFour(uint64_t units) {
    s_.Hash = (s_.Hash ^ units) * kHashPrime;
    s_.Count += 4;
  }
  void Add(char16_t unit) {
    s_.Word = (s_.Word << 16) | unit;
    if ((++s_.Count & 3) == 0) {
      s_.Hash = (s_.Hash ^ s_.Word) * kHashPrime;
      s_.Word = 0;
    }
  }
  uint64_t Value() const {
    uint64_t x = s_.Hash ^ (s_.Word * 0x9E3779B97F4A7C15ull) ^ s_.Count;
    x = (x ^ (x >> 31)) * 0xbf58476d1ce4e5b9ull;
    return x ^ (x >> 27);
  }

 private:
  TState s_;
};

// The length of the common start of two texts.
size_t CommonPrefix(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size()), i = 0;
  for (; i + 8 <= n; i += 8)
    if (uint64_t x = Detail::Load8(a.data() + i) ^ Detail::Load8(b.data() + i))
      return i + size_t(__builtin_ctzll(x) / 8);
  while (i < n && a[i] == b[i])
    ++i;
  return i;
}

const uint64_t kRootHash = THasher().Value();

// Eight ASCII bytes that need no decoding: none is a backslash, "]" or above 127.
bool PlainBytes(uint64_t x) {
  return (x & Detail::kHighs) == 0 && !Detail::BytesEqual(x, '\\') && !Detail::BytesEqual(x, ']');
}

// Lower-cases A-Z in eight ASCII bytes.
uint64_t FoldAscii(uint64_t x) {
  using Detail::kHighs, Detail::kOnes;
  uint64_t atLeastA = (x + kOnes * (0x80 - 'A')) & kHighs;
  uint64_t aboveZ = (x + kOnes * (0x80 - 'Z' - 1)) & kHighs;
  return x | ((atLeastA & ~aboveZ) >> 2);
}

// The four low bytes of `x`, first byte first, as four 16-bit units.
uint64_t FourUnits(uint64_t x) {
  uint64_t w = __builtin_bswap32(uint32_t(x));
  w = (w | (w << 16)) & 0x0000FFFF0000FFFFull;
  return (w | (w << 8)) & 0x00FF00FF00FF00FFull;
}

std::u16string NormalizedPath(const TPath& path) {
  return FoldedPath(path);
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

std::u16string FoldedPath(const TPath& path) {
  size_t size = path.empty() ? 0 : path.size() - 1;
  for (const std::u16string& name : path)
    size += name.size();
  std::u16string out(size, u'\\');
  size_t at = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (i) ++at;  // over the separator
    for (char16_t c : path[i])
      out[at++] = FoldChar(c);
  }
  return out;
}

uint64_t HashPath(const TPath& path) {
  THasher h;
  for (size_t i = 0; i < path.size(); ++i) {
    if (i) h.Add(u'\\');
    for (char16_t c : path[i])
      h.Add(FoldChar(c));
  }
  return h.Value();
}

TFileIndex::TFileIndex(std::string_view text) : text_(text) {
  TLineReader reader(text);
  std::string_view line;
  if (!reader.Next(line) || line != kSignature) return;
  readable_ = true;
  preambleEnd_ = text.size();
  blocks_.reserve(text.size() / 100);
  keys_.reserve(text.size() / 80);
  hashes_.reserve(text.size() / 80);
  ScanLines(reader.Pos());
  if (arch_ == TArch::Unknown) readable_ = false;
}

void TFileIndex::ScanLines(size_t pos) {
  const char* p = text_.data();
  const size_t size = text_.size();
  TLineEnds ends(p, size);
  bool live = false;
  for (size_t begin = pos, end; begin < size;) {
    begin = ends.SkipPlainLines(ends.JumpToMarkedLine(begin), end);
    if (begin == size) break;
    if (end < size && p[end] == '\n') {
      if (p[begin] == '[') {  // the common "[path]" line, without a blank before it
        std::string_view line(p + begin, end - begin);
        if (line.back() == '\r') line.remove_suffix(1);
        AddBlock(line, begin);
        live = blocks_.back().Live;
        begin = end + 1;
        continue;
      }
      if ((p[begin] == '"' || p[begin] == '@') &&
          !MayContinue(std::string_view(p + begin, end - begin))) {
        begin = end + 1;  // a value on one line, most often a text with backslashes in it
        continue;
      }
    }
    TLineReader reader(text_, begin);
    std::string_view line;
    reader.Next(line);
    std::string_view t = TrimLeft(line);
    const size_t start = begin;
    begin = reader.Pos();
    if (t.empty()) continue;
    if (t[0] == '[') {
      AddBlock(t, start);
      live = blocks_.back().Live;
    } else if ((t[0] == '"' || t[0] == '@') && live && MayContinue(t)) {
      ReadValue(t, reader, nullptr);  // only for the continuation lines it takes
      begin = reader.Pos();
    } else if (t[0] == '#' && live) {
      if (StartsWith(t, "#link")) blocks_.back().IsLink = true;
    } else if (t[0] == '#' && StartsWith(t, "#arch=")) {
      std::string_view a = t.substr(6);
      TArch arch = a == "win32" ? TArch::Win32 : a == "win64" ? TArch::Win64 : TArch::Unknown;
      arch_ = arch_ == TArch::None || arch_ == arch ? arch : TArch::Unknown;
    }
  }
  if (!blocks_.empty()) blocks_.back().End = uint32_t(size);
}

size_t TFileIndex::ReusePrevious(std::string_view afterBracket, std::vector<TComponent>& components,
                                 THashState& state) {
  if (previousHeader_.empty()) return 0;
  const size_t common = CommonPrefix(afterBracket, previousHeader_);
  const uint32_t from = uint32_t(previousHeader_.data() - text_.data());
  const uint32_t to = uint32_t(afterBracket.data() - text_.data());
  // A name and the "\\\\" after it that are the same as in the line before.
  size_t k = 0;
  while (k < previous_.size() && previous_[k].End - from + 2 <= common)
    ++k;
  for (size_t j = 0; j < k; ++j) {
    components.push_back(
        {previous_[j].Hash, previous_[j].Begin - from + to, previous_[j].End - from + to});
    states_.push_back(previousStates_[j]);
  }
  if (k == 0) return 0;
  state = previousStates_[k - 1];
  return previous_[k - 1].End - from + 2;
}

bool TFileIndex::ReadHeader(std::string_view afterBracket, std::vector<TComponent>& components) {
  // Most paths are plain ASCII with "\\\\" between the names: read those without decoding.
  const uint32_t base = uint32_t(afterBracket.data() - text_.data());
  states_.clear();
  header_ = {};
  THashState reused{kHashBasis, 0, 0};
  size_t i = ReusePrevious(afterBracket, components, reused), start = i;
  THasher h(reused);
  auto endComponent = [&](size_t end) {
    if (end == start) return true;
    components.push_back({h.Value(), base + uint32_t(start), base + uint32_t(end)});
    states_.push_back(h.State<THashState>());
    return end - start <= kMaxFileNameLength;
  };
  bool valid = true;
  for (;;) {
    if (i != start && h.Aligned() && i + 8 <= afterBracket.size()) {
      uint64_t x = Detail::Load8(afterBracket.data() + i);
      if (PlainBytes(x)) {
        x = FoldAscii(x);
        h.AddFour(FourUnits(x));
        h.AddFour(FourUnits(x >> 32));
        i += 8;
        continue;
      }
    }
    if (i == afterBracket.size()) return false;  // no "]"
    unsigned char c = static_cast<unsigned char>(afterBracket[i]);
    if (c == ']') break;
    if (c >= 0x80 || (c == '\\' && (i + 1 == afterBracket.size() || afterBracket[i + 1] != '\\')))
      return ReadEscapedHeader(afterBracket, components);
    if (c == '\\') {
      if (i == 0) valid = false;  // a leading backslash
      valid &= endComponent(i);
      start = i + 2;
      i += 2;
      continue;
    }
    if (i == start && !components.empty()) h.Add(u'\\');
    h.Add(FoldChar(c));
    ++i;
  }
  valid &= endComponent(i);
  if (valid) header_ = afterBracket.substr(0, i);
  return valid;
}

bool TFileIndex::ReadEscapedHeader(std::string_view afterBracket,
                                   std::vector<TComponent>& components) const {
  components.clear();
  const uint32_t base = uint32_t(afterBracket.data() - text_.data());
  THasher h;
  size_t length = 0;
  bool valid = true;
  size_t used = DecodeEscaped(afterBracket, ']', [&](char16_t c, size_t b, size_t e) {
    if (c == u'\\') {
      if (components.empty() && length == 0 && b == 0) valid = false;  // a leading backslash
      if (length) components.back().Hash = h.Value();
      length = 0;
      return;
    }
    if (length == 0) {
      if (!components.empty()) h.Add(u'\\');
      components.push_back({0, base + uint32_t(b), 0});
    }
    h.Add(FoldChar(c));
    components.back().End = base + uint32_t(e);
    if (++length > kMaxFileNameLength) valid = false;
  });
  if (length) components.back().Hash = h.Value();
  return valid && used != std::string_view::npos;
}

void TFileIndex::AddKey(uint64_t hash, uint64_t parentHash, uint32_t pathBegin,
                        const TComponent* last, int32_t block) {
  TFileKey key;
  key.ParentHash = uint32_t(parentHash);
  key.PathBegin = key.NameBegin = key.NameEnd = pathBegin;
  if (last) key.NameBegin = last->Begin, key.NameEnd = last->End;
  key.Block = block;
  keys_.push_back(key);
  hashes_.push_back(hash);
}

void TFileIndex::AddBlock(std::string_view line, size_t begin) {
  if (blocks_.empty())
    preambleEnd_ = begin;
  else
    blocks_.back().End = uint32_t(begin);
  const int32_t block = int32_t(blocks_.size());
  blocks_.push_back({uint32_t(begin), 0, false, false});
  components_.clear();
  if (!ReadHeader(line.substr(1), components_)) {
    previous_.clear();
    previousHeader_ = {};
    return;
  }
  blocks_.back().Live = true;
  const uint32_t pathBegin = uint32_t(line.data() + 1 - text_.data());
  const size_t n = components_.size();
  if (n == 0) AddKey(kRootHash, 0, pathBegin, nullptr, block);  // "[]": the root itself
  // Keys written in tree order share their parents with the previous block: no new record.
  size_t same = 0;
  while (same < n && same < previous_.size() && previous_[same].Hash == components_[same].Hash)
    ++same;
  for (size_t i = std::min(same, n - (n > 0)); i < n; ++i)
    AddKey(components_[i].Hash, i ? components_[i - 1].Hash : kRootHash, pathBegin, &components_[i],
           i + 1 == n ? block : -1);
  std::swap(previous_, components_);
  std::swap(previousStates_, states_);
  previousHeader_ = header_;
}

std::vector<int32_t> TFileIndex::Candidates(uint64_t hash) const {
  std::vector<int32_t> found;
  if (++lookups_ <= 8) {  // a few lookups scan; more pay for the table once
    for (size_t i = 0; i < hashes_.size(); ++i)
      if (hashes_[i] == hash) found.push_back(int32_t(i));
    return found;
  }
  size_t mask = 15;
  while (mask < 2 * hashes_.size())
    mask = mask * 2 + 1;
  if (byHash_.size() != mask + 1) {
    byHash_.assign(mask + 1, -1);
    for (size_t i = 0; i < hashes_.size(); ++i) {
      size_t slot = size_t(hashes_[i]) & mask;
      while (byHash_[slot] >= 0)
        slot = (slot + 1) & mask;
      byHash_[slot] = int32_t(i);
    }
  }
  // Records of one hash come in the order they were added, which is file order.
  for (size_t slot = size_t(hash) & mask; byHash_[slot] >= 0; slot = (slot + 1) & mask)
    if (hashes_[size_t(byHash_[slot])] == hash) found.push_back(byHash_[slot]);
  return found;
}

std::vector<int32_t> TFileIndex::Find(const TPath& path) const {
  std::vector<int32_t> found;
  if (!readable_) return found;
  const std::u16string wanted = NormalizedPath(path);
  for (int32_t k : Candidates(HashPath(path)))
    if (FoldedPathOf(k) == wanted) found.push_back(k);
  return found;
}

std::vector<int32_t> TFileIndex::Children(const TPath& parent) const {
  if (byParent_.size() != keys_.size()) {
    byParent_.clear();
    byParent_.reserve(keys_.size());
    for (size_t i = 0; i < keys_.size(); ++i)
      byParent_.emplace_back(keys_[i].ParentHash, int32_t(i));
    std::sort(byParent_.begin(), byParent_.end());
  }
  std::u16string prefix = NormalizedPath(parent);
  if (!prefix.empty()) prefix.push_back(u'\\');
  std::vector<int32_t> out;
  const uint32_t hash = uint32_t(HashPath(parent));
  auto it = std::lower_bound(byParent_.begin(), byParent_.end(), std::pair(hash, INT32_MIN));
  for (; it != byParent_.end() && it->first == hash; ++it) {
    const TFileKey& k = keys_[size_t(it->second)];
    if (k.NameBegin == k.NameEnd) continue;  // the root's own record
    std::u16string path = FoldedPathOf(it->second);
    if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0 &&
        path.find(u'\\', prefix.size()) == std::u16string::npos)
      out.push_back(it->second);
  }
  return out;
}

std::u16string TFileIndex::Name(int32_t key) const {
  const TFileKey& k = keys_[size_t(key)];
  std::u16string name;
  DecodeEscaped(text_.substr(k.NameBegin, k.NameEnd - k.NameBegin), ']',
                [&](char16_t c, size_t, size_t) { name.push_back(c); });
  return name;
}

std::u16string TFileIndex::FoldedPathOf(int32_t key) const {
  const TFileKey& k = keys_[size_t(key)];
  std::u16string path;
  path.reserve(k.NameEnd - k.PathBegin);
  bool separate = false;  // empty components (leading or doubled backslashes) do not count
  DecodeEscaped(text_.substr(k.PathBegin, k.NameEnd - k.PathBegin), ']',
                [&](char16_t c, size_t, size_t) {
                  if (c == u'\\') {
                    separate = !path.empty();
                    return;
                  }
                  if (separate) path.push_back(u'\\'), separate = false;
                  path.push_back(FoldChar(c));
                });
  return path;
}

TPath TFileIndex::Path(int32_t key) const {
  const TFileKey& k = keys_[size_t(key)];
  TPath path(1);
  DecodeEscaped(text_.substr(k.PathBegin, k.NameEnd - k.PathBegin), ']',
                [&](char16_t c, size_t, size_t) {
                  if (c != u'\\')
                    path.back().push_back(c);
                  else if (!path.back().empty())
                    path.emplace_back();
                });
  if (path.back().empty()) path.pop_back();
  return path;
}

}  // namespace Platform::WineReg
