#include "common/QO_SortKeys.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/Collation.h"

namespace {

// Below this many items a second thread costs more than it saves.
constexpr size_t kParallelThreshold = 20000;

struct TSlice {
  std::string Arena;
  std::vector<size_t> Ends;
};

void ComputeSlice(const std::vector<std::u16string_view>& texts, size_t begin, size_t end,
                  bool caseSensitive, Platform::SortKeyKind kind, TSlice& slice) {
  slice.Ends.reserve(end - begin);
  slice.Arena.reserve((end - begin) * 24);
  for (size_t i = begin; i < end; ++i) {
    Platform::AppendSortKey(texts[i], caseSensitive, slice.Arena, kind);
    slice.Ends.push_back(slice.Arena.size());
  }
}

// The first eight key bytes as a number that orders like the bytes.
uint64_t Prefix(std::string_view key) {
  unsigned char bytes[8] = {};
  std::memcpy(bytes, key.data(), std::min<size_t>(8, key.size()));
  uint64_t value = 0;
  for (unsigned char b : bytes)
    value = (value << 8) | b;
  return value;
}

struct TSortEntry {
  uint64_t Prefix;
  uint32_t Index;
};

}  // namespace

Platform::SortKeyKind SortKeyKindFor(const std::vector<std::u16string_view>& texts,
                                     Platform::SortKeyKind kind) {
  for (auto text : texts)
    kind = Platform::NarrowSortKeyKind(kind, text);
  return kind;
}

TSortKeys::TSortKeys(const std::vector<std::u16string_view>& texts, bool caseSensitive,
                     Platform::SortKeyKind kind)
    : kind_(kind) {
  size_t n = texts.size();
  size_t parts = n >= kParallelThreshold ? 2 : 1;
  std::vector<TSlice> slices(parts);
  if (parts == 1) {
    ComputeSlice(texts, 0, n, caseSensitive, kind, slices[0]);
  } else {
    size_t half = n / 2;
    std::thread worker(ComputeSlice, std::cref(texts), half, n, caseSensitive, kind,
                       std::ref(slices[1]));
    ComputeSlice(texts, 0, half, caseSensitive, kind, slices[0]);
    worker.join();
  }
  keys_.reserve(n);
  arenas_.reserve(parts);  // The views below point into the arenas: they must not move.
  for (auto& slice : slices) {
    arenas_.push_back(std::move(slice.Arena));
    const std::string& arena = arenas_.back();
    size_t start = 0;
    for (size_t end : slice.Ends) {
      keys_.emplace_back(arena.data() + start, end - start);
      start = end;
    }
  }
}

void TSortKeys::Keep(const std::vector<bool>& keep) {
  size_t out = 0;
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keep[i]) keys_[out++] = keys_[i];
  keys_.resize(out);
}

std::vector<uint32_t> TSortKeys::AscendingOrder() const {
  std::vector<TSortEntry> entries(keys_.size());
  for (size_t i = 0; i < keys_.size(); ++i)
    entries[i] = {Prefix(keys_[i]), static_cast<uint32_t>(i)};
  auto less = [this](const TSortEntry& a, const TSortEntry& b) {
    if (a.Prefix != b.Prefix) return a.Prefix < b.Prefix;
    int c = keys_[a.Index].compare(keys_[b.Index]);
    return c != 0 ? c < 0 : a.Index < b.Index;
  };
  if (entries.size() < kParallelThreshold) {
    std::sort(entries.begin(), entries.end(), less);
  } else {
    auto middle = entries.begin() + std::ptrdiff_t(entries.size() / 2);
    std::thread worker([&] { std::sort(middle, entries.end(), less); });
    std::sort(entries.begin(), middle, less);
    worker.join();
    std::inplace_merge(entries.begin(), middle, entries.end(), less);
  }
  std::vector<uint32_t> order(entries.size());
  for (size_t i = 0; i < entries.size(); ++i)
    order[i] = entries[i].Index;
  return order;
}

TSortKeySet::TSortKeySet(TSortKeys keys) : keys_(std::move(keys)) {
  set_.reserve(keys_.Size());
  for (size_t i = 0; i < keys_.Size(); ++i)
    set_.insert(keys_[i]);
}

bool TSortKeySet::Contains(std::string_view key) const {
  return set_.count(key) != 0;
}
