// Datasets over rows held in memory: a buffered one with a sliding window of rows, and a
// forward-only one without a buffer. Applications fill them with AppendRow while closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/QO_Components.h"

/// The rows of an in-memory dataset, numbered from 1, and the current position (0 before
/// the first row, RowCount() + 1 after the last).
template <class TBase>
class TQO_MemRowsDataset : public TBase {
 public:
  /// Creates a closed dataset without columns or rows.
  explicit TQO_MemRowsDataset(TComponent* AOwner) : TBase(AOwner) {}

  /// Appends a row with one value per column. Raises EQO_DatasetError while open, or when
  /// the number of values differs from the number of columns.
  void AppendRow(std::vector<std::string> Values) {
    if (this->GetActive()) throw EQO_DatasetError("Cannot append rows to an open dataset");
    if (Values.size() != static_cast<size_t>(this->GetColumnCount())) {
      throw EQO_DatasetError("A row needs one value per column");
    }
    // Positions up to RowCount() + 1 must stay representable.
    if (FRows.size() >= static_cast<size_t>(INT32_MAX - 2)) {
      throw EQO_DatasetError("Too many rows");
    }
    FRows.push_back(std::move(Values));
  }
  /// Removes all rows. Raises EQO_DatasetError while open.
  void ClearRows() {
    if (this->GetActive()) throw EQO_DatasetError("Cannot remove rows of an open dataset");
    FRows.clear();
  }
  /// The number of rows.
  std::int32_t RowCount() const { return static_cast<std::int32_t>(FRows.size()); }

  bool GetCanScroll() const override { return this->GetActive() && !FRows.empty(); }
  std::int32_t CurrentRowNumber() const override { return FCurrent; }
  bool AtEnd() const override { return FCurrent >= RowCount(); }

 protected:
  /// Makes Position current; rows lie before it from row 2 on.
  void SetCurrent(std::int32_t Position) {
    FCurrent = Position;
    this->LeadingRowFlag = Position > 1;
  }
  const std::vector<std::string>* CurrentRow() const override {
    return HasRow(FCurrent) ? &FRows[static_cast<size_t>(FCurrent - 1)] : nullptr;
  }
  void StoreCurrentRow(std::vector<std::string> Values) override {
    if (HasRow(FCurrent)) FRows[static_cast<size_t>(FCurrent - 1)] = std::move(Values);
  }
  bool HasRow(std::int32_t Number) const { return Number >= 1 && Number <= RowCount(); }

 private:
  std::vector<std::vector<std::string>> FRows;
  std::int32_t FCurrent = 0;
};

/// An in-memory dataset that buffers a window of at most BufferRows rows (0: all rows), as
/// a cursor over a remote result would. FetchRowRange and the moves widen the window and
/// then slide it, dropping rows at the side away from the rows brought in.
///
/// The beginning is known while row 1 is buffered. The end is known while the last row is
/// buffered and, unless CountKnown, once a fetch or move found no row beyond it.
class TQO_MemBDataset : public TQO_MemRowsDataset<TQO_BDataset> {
  QO_DECLARE_CLASS(TQO_MemBDataset)

 public:
  /// Creates a closed dataset that buffers all rows and knows their count.
  explicit TQO_MemBDataset(TComponent* AOwner) : TQO_MemRowsDataset(AOwner) {}

  /// The most rows held at once; 0 holds all. Raises EQO_DatasetError when negative.
  /// A change takes effect with the next fetch.
  std::int32_t GetBufferRows() const { return FBufferRows; }
  void SetBufferRows(std::int32_t Value);
  /// Whether the number of rows is known from the start (default), so that the end is
  /// known as soon as the last row is buffered.
  bool GetCountKnown() const { return FCountKnown; }
  void SetCountKnown(bool Value);
  /// Sets what IgnoreRowBounds answers (default false).
  void SetIgnoreRowBounds(bool Value) { FIgnoreRowBounds = Value; }

  std::int32_t LowerRowBound() const override { return FFirst - 1; }
  std::int32_t UpperRowBound() const override { return FLast + 1; }
  bool IgnoreRowBounds() const override { return FIgnoreRowBounds; }
  bool LowerBoundKnown() const override;
  bool UpperBoundKnown() const override;
  /// Brings the existing rows of From..To into the window and slides it.
  void FetchRowRange(std::int32_t From, std::int32_t To) override;

  /// Appends BufferRows, CountKnown and IgnoreRowBounds.
  void GetProperties(TPropertyList& List) override;

 protected:
  void DoOpen() override;
  void DoClose() override;
  bool DoFirst() override;
  bool DoPrior() override;
  bool DoNext() override;
  bool DoLast() override;

 private:
  bool Widen(std::int64_t From, std::int64_t To, std::int64_t Keep);
  bool MoveTo(std::int32_t Row, bool LayoutChanged);
  bool SeeEnd();

  std::int32_t FBufferRows = 0;
  bool FCountKnown = true;
  bool FIgnoreRowBounds = false;
  bool FEndSeen = false;
  std::int32_t FFirst = 1;  // first buffered row
  std::int32_t FLast = 0;   // last buffered row; FLast < FFirst when none is
};

/// An in-memory forward-only dataset: it holds only its current row, reads forward, and
/// goes back only to its first row (First). Prior raises EQO_DatasetError.
class TQO_MemDataset : public TQO_MemRowsDataset<TQO_Dataset> {
  QO_DECLARE_CLASS(TQO_MemDataset)

 public:
  /// Creates a closed dataset without columns or rows.
  explicit TQO_MemDataset(TComponent* AOwner) : TQO_MemRowsDataset(AOwner) {}

  std::int32_t LowerRowBound() const override { return CurrentRowNumber() - 1; }
  std::int32_t UpperRowBound() const override { return CurrentRowNumber() + 1; }
  /// Always true: without a buffer there are no bounds for callers to handle.
  bool IgnoreRowBounds() const override { return true; }
  /// Nothing to bring in: the dataset holds no rows beyond the current one.
  void FetchRowRange(std::int32_t From, std::int32_t To) override;

 protected:
  void DoOpen() override;
  void DoClose() override;
  bool DoFirst() override;
  bool DoPrior() override;
  bool DoNext() override;
  bool DoLast() override;
};
