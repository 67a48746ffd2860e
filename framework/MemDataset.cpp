#include "framework/MemDataset.h"

#include <algorithm>

#include "framework/Properties.h"

void TQO_MemBDataset::SetBufferRows(std::int32_t Value) {
  if (Value < 0) throw EQO_DatasetError("BufferRows cannot be negative");
  FBufferRows = Value;
}

void TQO_MemBDataset::SetCountKnown(bool Value) {
  if (Value == FCountKnown) return;
  FCountKnown = Value;
  if (GetActive()) Notify(TQO_DataEvent::LayoutChanged);
}

bool TQO_MemBDataset::LowerBoundKnown() const {
  return GetActive() && FFirst == 1;
}

bool TQO_MemBDataset::UpperBoundKnown() const {
  return GetActive() && FLast == RowCount() && (FCountKnown || FEndSeen);
}

void TQO_MemBDataset::FetchRowRange(std::int32_t From, std::int32_t To) {
  CheckActive();
  const std::int64_t Lo = std::min(From, To);
  const std::int64_t Hi = std::max(From, To);
  bool Changed = Widen(Lo, Hi, CurrentRowNumber());
  // Asking for a row beyond the last one is how a cursor finds its end.
  if (Hi > RowCount()) Changed = SeeEnd() || Changed;
  if (Changed) Notify(TQO_DataEvent::LayoutChanged);
}

void TQO_MemBDataset::GetProperties(TPropertyList& List) {
  TQO_MemRowsDataset::GetProperties(List);
  List.push_back(IntegerProperty(
      "BufferRows", [this] { return FBufferRows; },
      [this](std::int32_t Value) { SetBufferRows(Value); }));
  List.push_back(BooleanProperty(
      "CountKnown", [this] { return FCountKnown; }, [this](bool Value) { SetCountKnown(Value); },
      /*Default=*/true));
  List.push_back(BooleanProperty(
      "IgnoreRowBounds", [this] { return FIgnoreRowBounds; },
      [this](bool Value) { SetIgnoreRowBounds(Value); }));
}

void TQO_MemBDataset::DoOpen() {
  FEndSeen = false;
  FFirst = 1;
  FLast = 0;
  if (RowCount() == 0) {
    SetCurrent(0);
    return;
  }
  Widen(1, FBufferRows > 0 ? FBufferRows : RowCount(), 1);
  SetCurrent(1);
}

void TQO_MemBDataset::DoClose() {
  FEndSeen = false;
  FFirst = 1;
  FLast = 0;
  SetCurrent(0);
}

bool TQO_MemBDataset::DoFirst() {
  return RowCount() > 0 && MoveTo(1, false);
}

bool TQO_MemBDataset::DoPrior() {
  const std::int32_t Current = CurrentRowNumber();
  if (Current > RowCount()) return RowCount() > 0 && MoveTo(RowCount(), false);
  if (Current > 1) return MoveTo(Current - 1, false);
  if (Current == 0) return false;
  SetCurrent(0);  // row 1 is buffered, so position 0 is the lower bound
  return true;
}

bool TQO_MemBDataset::DoNext() {
  const std::int32_t Current = CurrentRowNumber();
  if (Current < RowCount()) return MoveTo(Current + 1, false);
  if (RowCount() == 0) return false;
  // On the last row or after it: no row follows, and now that is known.
  const bool Layout = SeeEnd();
  const bool Moved = Current == RowCount();
  if (Moved) SetCurrent(Current + 1);
  if (Layout) Notify(TQO_DataEvent::LayoutChanged);
  return Moved;
}

bool TQO_MemBDataset::DoLast() {
  if (RowCount() == 0) return false;
  // Reading up to the last row finds the end.
  return MoveTo(RowCount(), SeeEnd());
}

// Brings the existing rows of From..To into the window, then trims the window to BufferRows
// at the side away from them, never dropping those rows or the position Keep. Answers
// whether the window changed. Wide arithmetic: the bounds may lie at the ends of the range.
bool TQO_MemBDataset::Widen(std::int64_t From, std::int64_t To, std::int64_t Keep) {
  const std::int64_t Count = RowCount();
  const std::int64_t Lo = std::max<std::int64_t>(From, 1);
  const std::int64_t Hi = std::min(To, Count);
  if (Lo > Hi) return false;
  std::int64_t First = Lo;
  std::int64_t Last = Hi;
  if (FLast >= FFirst) {
    First = std::min<std::int64_t>(FFirst, Lo);
    Last = std::max<std::int64_t>(FLast, Hi);
  }
  if (FBufferRows > 0 && Last - First + 1 > FBufferRows) {
    const std::int64_t KeepLo = std::clamp<std::int64_t>(std::min(Lo, Keep), 1, Count);
    const std::int64_t KeepHi = std::clamp<std::int64_t>(std::max(Hi, Keep), 1, Count);
    if (Hi > FLast) {
      First = std::max(First, std::min(KeepLo, Last - FBufferRows + 1));
    } else {
      Last = std::min(Last, std::max(KeepHi, First + FBufferRows - 1));
    }
  }
  const bool Changed = First != FFirst || Last != FLast;
  FFirst = static_cast<std::int32_t>(First);
  FLast = static_cast<std::int32_t>(Last);
  return Changed;
}

// Makes Row current, buffering it first; reports a changed window once the row is current.
bool TQO_MemBDataset::MoveTo(std::int32_t Row, bool LayoutChanged) {
  LayoutChanged = Widen(Row, Row, Row) || LayoutChanged;
  const bool Moved = Row != CurrentRowNumber();
  if (Moved) SetCurrent(Row);
  if (LayoutChanged) Notify(TQO_DataEvent::LayoutChanged);
  return Moved;
}

// Records that the end has been reached; answers whether that changes what is known.
bool TQO_MemBDataset::SeeEnd() {
  if (FEndSeen) return false;
  FEndSeen = true;
  return !FCountKnown;
}

void TQO_MemDataset::FetchRowRange(std::int32_t, std::int32_t) {
  CheckActive();
}

void TQO_MemDataset::DoOpen() {
  SetCurrent(RowCount() > 0 ? 1 : 0);
}

void TQO_MemDataset::DoClose() {
  SetCurrent(0);
}

bool TQO_MemDataset::DoFirst() {
  if (RowCount() == 0 || CurrentRowNumber() == 1) return false;
  SetCurrent(1);
  return true;
}

bool TQO_MemDataset::DoPrior() {
  throw EQO_DatasetError("Cannot move back on a forward-only dataset");
}

bool TQO_MemDataset::DoNext() {
  if (RowCount() == 0 || CurrentRowNumber() > RowCount()) return false;
  SetCurrent(CurrentRowNumber() + 1);
  return true;
}

bool TQO_MemDataset::DoLast() {
  if (RowCount() == 0 || CurrentRowNumber() == RowCount()) return false;
  SetCurrent(RowCount());
  return true;
}
