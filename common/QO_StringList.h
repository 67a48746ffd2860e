// The string list container: the plain list and TQO_StringList, which counts changes.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class TDuplicates { dupIgnore, dupAccept, dupError };

/// An ordered list of texts with an optional sorted mode, a duplicates policy for sorted
/// adds, a case rule for comparisons, and change notifications bracketed by updates.
class TStringList {
 public:
  TStringList() = default;
  virtual ~TStringList() = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  /// The item at `index`; fails with EStringListError outside 0..Count-1.
  const std::u16string& Get(int index) const;
  const std::u16string& operator[](int index) const { return Get(index); }
  const std::vector<std::u16string>& Items() const { return items_; }

  virtual void Assign(const TStringList& source);
  /// Replaces the item at `index`; not allowed on a sorted list.
  virtual void Put(int index, std::u16string text);
  /// Appends, or on a sorted list inserts in order under the duplicates policy.
  virtual int Add(std::u16string text);
  /// Add(std::u16string(text)), with the same notifications; the item is built only when
  /// the list takes it, and in its place, which makes many adds cheap.
  virtual int AddText(std::u16string_view text);
  virtual void Clear();
  virtual void Delete(int index);
  virtual void Exchange(int index1, int index2);
  /// Inserts at `index` (0..Count); not allowed on a sorted list.
  void Insert(int index, std::u16string text);
  void AddStrings(const TStringList& other);

  /// Binary search by the comparison: true with the position of an equal item (the first
  /// of them under dupAccept), else false with the insertion position. Needs sorted items.
  virtual bool Find(std::u16string_view text, int& index) const;
  /// Sorts by the comparison; equal items keep their relative order.
  virtual void Sort();
  virtual int CompareStrings(std::u16string_view a, std::u16string_view b) const;

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return duplicates_; }
  void SetDuplicates(TDuplicates duplicates) { duplicates_ = duplicates; }
  bool CaseSensitive() const { return caseSensitive_; }
  void SetCaseSensitive(bool caseSensitive);

  void BeginUpdate();
  void EndUpdate();

  /// The items, each followed by CR LF.
  std::u16string Text() const;
  /// Replaces the items by the lines of a text file; EFOpenError when it cannot be read.
  void LoadFromFile(std::u16string_view path);

  std::function<void(TStringList&)> OnChange;
  std::function<void(TStringList&)> OnChanging;

 protected:
  virtual void Changed();
  virtual void Changing();
  virtual void SetUpdateState(bool updating);
  /// The single path behind Add and Insert.
  virtual void InsertItem(int index, std::u16string text);
  void CheckIndex(int index, int limit) const;
  int UpdateCount() const { return updateCount_; }
  /// Where Add puts `text`: false with the position of the equal item when a sorted list
  /// ignores it; fails with EStringListError when a sorted list refuses duplicates.
  bool FindAddPosition(std::u16string_view text, int& index) const;
  /// The insertion itself, without notifications.
  void EmplaceItem(int index, std::u16string_view text);

 private:
  std::vector<std::u16string> items_;
  bool sorted_ = false;
  bool caseSensitive_ = false;
  TDuplicates duplicates_ = TDuplicates::dupIgnore;
  int updateCount_ = 0;
};

/// A string list that counts its structural changes and reports them through
/// ChangeCountChanged; adding a blank item is neither counted nor notified.
class TQO_StringList : public TStringList {
 public:
  TQO_StringList();

  void Assign(const TStringList& source) override;
  void Put(int index, std::u16string text) override;
  int Add(std::u16string text) override;
  int AddText(std::u16string_view text) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;

  bool InternalChange() const { return internalChange_; }
  bool Updating() const { return updating_; }
  int32_t ChangeCount() const { return changeCount_; }
  int32_t NotifiedChangeCount() const { return notifiedChangeCount_; }

  /// Counts one change (not while an internal change runs); restarts at 1 after INT32_MAX.
  virtual void IncrementChangeCount();
  /// Writes the whole text to `stream` (UTF-8) when a stream is given.
  virtual void SaveToStream(std::string* stream) const;

 protected:
  void Changed() override;
  void Changing() override;
  void SetUpdateState(bool updating) override;
  void InsertItem(int index, std::u16string text) override;
  /// Hook for descendants, called when the count differs from the last notified one.
  virtual void ChangeCountChanged() {}

 private:
  void NotifyIfChanged();

  bool internalChange_ = false;
  bool updating_ = false;
  int32_t changeCount_ = 0;
  int32_t notifiedChangeCount_ = 0;
};
