// Collation sort keys computed once per item, so that large lists sort, de-duplicate and
// look items up by comparing bytes instead of collating the same texts again and again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/Collation.h"

/// The kind of sort key that serves every one of `texts` as well as `kind` (by default the
/// kind for ASCII, which needs no collator), for keys that must meet other keys.
Platform::SortKeyKind SortKeyKindFor(const std::vector<std::u16string_view>& texts,
                                     Platform::SortKeyKind kind = Platform::SortKeyKindForAscii());

class TSortKeys {
 public:
  /// Computes the key of every text (on two threads for long lists), of one kind that
  /// serves them all. Two texts compare equal by the list comparison exactly when their
  /// keys are equal.
  TSortKeys(const std::vector<std::u16string_view>& texts, bool caseSensitive)
      : TSortKeys(texts, caseSensitive, SortKeyKindFor(texts)) {}
  /// The same with keys of `kind`, which must serve every text (SortKeyKindFor), so that
  /// they compare with other keys of that kind.
  TSortKeys(const std::vector<std::u16string_view>& texts, bool caseSensitive,
            Platform::SortKeyKind kind);
  // Moving keeps the views valid: the arenas' buffers move with the vector.
  TSortKeys(TSortKeys&&) = default;
  TSortKeys& operator=(TSortKeys&&) = default;
  TSortKeys(const TSortKeys&) = delete;
  TSortKeys& operator=(const TSortKeys&) = delete;

  size_t Size() const { return keys_.size(); }
  Platform::SortKeyKind Kind() const { return kind_; }
  std::string_view operator[](size_t i) const { return keys_[i]; }

  /// Keeps the entries whose flag is set, in order (the flags run parallel to the keys).
  void Keep(const std::vector<bool>& keep);

  /// The positions in ascending key order; equal keys keep their relative order.
  std::vector<uint32_t> AscendingOrder() const;

 private:
  Platform::SortKeyKind kind_;
  std::vector<std::string> arenas_;
  std::vector<std::string_view> keys_;
};

/// A set of keys for membership tests; it owns the keys it was built from.
class TSortKeySet {
 public:
  explicit TSortKeySet(TSortKeys keys);
  bool Contains(std::string_view key) const;

 private:
  TSortKeys keys_;
  std::unordered_set<std::string_view> set_;
};
