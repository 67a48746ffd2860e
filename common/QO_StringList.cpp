#include "common/QO_StringList.h"

#include <algorithm>
#include <numeric>
#include <typeinfo>

#include "common/QO_Utils.h"
#include "platform/Collation.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/TextCodec.h"

namespace {
[[noreturn]] void FailSorted() {
  throw EStringListError(u"Operation not allowed on sorted list");
}
}  // namespace

const std::u16string& TStringList::Get(int index) const {
  CheckIndex(index, Count());
  return items_[static_cast<size_t>(index)];
}

void TStringList::CheckIndex(int index, int limit) const {
  if (index < 0 || index >= limit)
    throw EStringListError(u"List index out of bounds (" + IntToStr(index) + u")");
}

void TStringList::Assign(const TStringList& source) {
  if (&source == this) return;
  BeginUpdate();
  try {
    Clear();
    AddStrings(source);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::Put(int index, std::u16string text) {
  if (sorted_) FailSorted();
  CheckIndex(index, Count());
  Changing();
  items_[static_cast<size_t>(index)] = std::move(text);
  Changed();
}

bool TStringList::FindAddPosition(std::u16string_view text, int& index) const {
  index = Count();
  if (sorted_ && Find(text, index)) {
    if (duplicates_ == TDuplicates::dupIgnore) return false;
    if (duplicates_ == TDuplicates::dupError)
      throw EStringListError(u"String list does not allow duplicates");
  }
  return true;
}

int TStringList::Add(std::u16string text) {
  int index = 0;
  if (FindAddPosition(text, index)) InsertItem(index, std::move(text));
  return index;
}

// Add's steps as this class takes them; a descendant may take any of them otherwise, so
// it gets Add itself.
int TStringList::AddText(std::u16string_view text) {
  if (typeid(*this) != typeid(TStringList)) return Add(std::u16string(text));
  int index = Count();
  if (sorted_ && !FindAddPosition(text, index)) return index;
  TStringList::Changing();
  EmplaceItem(index, text);
  TStringList::Changed();
  return index;
}

void TStringList::EmplaceItem(int index, std::u16string_view text) {
  items_.emplace(items_.begin() + index, text);
}

void TStringList::Insert(int index, std::u16string text) {
  if (sorted_) FailSorted();
  CheckIndex(index, Count() + 1);
  InsertItem(index, std::move(text));
}

void TStringList::InsertItem(int index, std::u16string text) {
  Changing();
  items_.insert(items_.begin() + index, std::move(text));
  Changed();
}

void TStringList::AddStrings(const TStringList& other) {
  BeginUpdate();
  try {
    for (const auto& item : std::vector<std::u16string>(other.items_))
      Add(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  items_.clear();
  Changed();
}

void TStringList::Delete(int index) {
  CheckIndex(index, Count());
  Changing();
  items_.erase(items_.begin() + index);
  Changed();
}

void TStringList::Exchange(int index1, int index2) {
  CheckIndex(index1, Count());
  CheckIndex(index2, Count());
  Changing();
  std::swap(items_[static_cast<size_t>(index1)], items_[static_cast<size_t>(index2)]);
  Changed();
}

int TStringList::CompareStrings(std::u16string_view a, std::u16string_view b) const {
  return Platform::CompareText(a, b, caseSensitive_);
}

bool TStringList::Find(std::u16string_view text, int& index) const {
  int low = 0, high = Count() - 1;
  bool found = false;
  while (low <= high) {
    int mid = low + (high - low) / 2;
    int c = CompareStrings(items_[static_cast<size_t>(mid)], text);
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != TDuplicates::dupAccept) low = mid;
      }
    }
  }
  index = low;
  return found;
}

void TStringList::Sort() {
  if (sorted_ || items_.size() < 2) return;
  Changing();
  // One sort key per item, so the sort compares bytes instead of collating again.
  Platform::SortKeyKind kind = Platform::SortKeyKindForAscii();
  for (const auto& item : items_)
    kind = Platform::NarrowSortKeyKind(kind, item);
  std::vector<std::string> keys(items_.size());
  for (size_t i = 0; i < items_.size(); ++i)
    Platform::AppendSortKey(items_[i], caseSensitive_, keys[i], kind);
  std::vector<size_t> order(items_.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return keys[a] < keys[b]; });
  std::vector<std::u16string> sorted;
  sorted.reserve(items_.size());
  for (size_t i : order)
    sorted.push_back(std::move(items_[i]));
  items_ = std::move(sorted);
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  if (sorted) Sort();
  sorted_ = sorted;
}

void TStringList::SetCaseSensitive(bool caseSensitive) {
  if (caseSensitive == caseSensitive_) return;
  caseSensitive_ = caseSensitive;
  if (sorted_) {
    sorted_ = false;
    Sort();
    sorted_ = true;
  }
}

void TStringList::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStringList::EndUpdate() {
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) {
    Changing();
  } else {
    Changed();
  }
}

void TStringList::Changed() {
  if (updateCount_ == 0 && OnChange) OnChange(*this);
}

void TStringList::Changing() {
  if (updateCount_ == 0 && OnChanging) OnChanging(*this);
}

std::u16string TStringList::Text() const {
  std::u16string text;
  for (const auto& item : items_) {
    text += item;
    text += u"\r\n";
  }
  return text;
}

void TStringList::LoadFromFile(std::u16string_view path) {
  std::vector<std::u16string> lines = SplitLines(Platform::ReadTextFile(path));
  BeginUpdate();
  try {
    Clear();
    for (auto& line : lines)
      Add(std::move(line));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

TQO_StringList::TQO_StringList() : changeCount_(0), notifiedChangeCount_(0) {}

void TQO_StringList::IncrementChangeCount() {
  if (internalChange_) return;
  if (changeCount_ == INT32_MAX) {
    notifiedChangeCount_ = 0;
    changeCount_ = 1;
  } else {
    ++changeCount_;
  }
}

void TQO_StringList::NotifyIfChanged() {
  if (changeCount_ == notifiedChangeCount_) return;
  notifiedChangeCount_ = changeCount_;
  ChangeCountChanged();
}

void TQO_StringList::Assign(const TStringList& source) {
  TStringList::Assign(source);
  if (auto* counted = dynamic_cast<const TQO_StringList*>(&source)) {
    changeCount_ = counted->changeCount_;
    notifiedChangeCount_ = counted->notifiedChangeCount_;
  }
}

void TQO_StringList::Put(int index, std::u16string text) {
  TStringList::Put(index, std::move(text));
  IncrementChangeCount();
}

void TQO_StringList::Delete(int index) {
  TStringList::Delete(index);
  IncrementChangeCount();
}

void TQO_StringList::Exchange(int index1, int index2) {
  TStringList::Exchange(index1, index2);
  IncrementChangeCount();
}

void TQO_StringList::InsertItem(int index, std::u16string text) {
  TStringList::InsertItem(index, std::move(text));
  IncrementChangeCount();
}

void TQO_StringList::Clear() {
  if (Count() == 0) return;
  TStringList::Clear();
  IncrementChangeCount();
  NotifyIfChanged();
}

int TQO_StringList::Add(std::u16string text) {
  if (internalChange_ || !TrimView(text).empty()) return TStringList::Add(std::move(text));
  internalChange_ = true;
  try {
    int index = TStringList::Add(std::move(text));
    internalChange_ = false;
    return index;
  } catch (...) {
    internalChange_ = false;
    throw;
  }
}

// Add's steps as this class takes them for a text that is not blank (see TStringList).
int TQO_StringList::AddText(std::u16string_view text) {
  if (typeid(*this) != typeid(TQO_StringList) || internalChange_ || TrimView(text).empty())
    return Add(std::u16string(text));
  int index = Count();
  if (Sorted() && !FindAddPosition(text, index)) return index;
  TQO_StringList::Changing();
  EmplaceItem(index, text);
  TQO_StringList::Changed();
  TQO_StringList::IncrementChangeCount();
  return index;
}

void TQO_StringList::Changing() {
  if (internalChange_) return;
  TStringList::Changing();
  NotifyIfChanged();
}

void TQO_StringList::Changed() {
  if (internalChange_ || updating_) return;
  TStringList::Changed();
  NotifyIfChanged();
}

void TQO_StringList::SetUpdateState(bool updating) {
  updating_ = updating;
  TStringList::SetUpdateState(updating);
}

void TQO_StringList::SaveToStream(std::string* stream) const {
  if (stream) *stream += Platform::ToUtf8(Text());
}
