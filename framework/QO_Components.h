// Data access: datasets of rows and columns, data sources that publish a dataset, and data
// links through which controls and actions follow a data source.
//
// A dataset tells its data sources of every change; each data source tells its links; each
// link calls the handler of the matching notification.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "framework/Component.h"

class TQO_Column;
class TQO_DataLink;
class TQO_DataSource;
class TQO_Dataset;

/// Handler of a data link's notifications; called with the link and its data source.
using TQO_DataLinkEvent = TClosure<TQO_DataLink*, TQO_DataSource*>;
/// Handler of a data link's data-change notification; the column is null when the whole
/// current row changed (another row became current, or a row's edit ended).
using TQO_DataChangeEvent = TClosure<TQO_DataLink*, TQO_DataSource*, TQO_Column*>;

/// Raised for operations a dataset cannot perform in its present state.
class EQO_DatasetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Dataset state codes. Rows can be browsed (and navigated) in codes 1 and 12 only.
inline constexpr std::uint8_t QO_dsInactive = 0;         ///< closed
inline constexpr std::uint8_t QO_dsBrowse = 1;           ///< open, rows can be edited
inline constexpr std::uint8_t QO_dsEdit = 2;             ///< the current row is being edited
inline constexpr std::uint8_t QO_dsBrowseReadOnly = 12;  ///< open, rows cannot be edited

/// What changed, as a dataset reports it to its data sources and they to their links.
enum class TQO_DataEvent {
  DataSourceChanged,  ///< a link got another data source, or a data source another dataset
  ActiveChanged,      ///< the dataset was opened or closed
  StateChanged,       ///< the state code changed while open
  LayoutChanged,      ///< the buffered rows, or what is known about the ends, changed
  DataChanged,        ///< another row became current, or values of the current row changed
};

/// One column of a dataset; owned by its dataset.
class TQO_Column : public TObject {
 public:
  /// Creates the column at Index of Dataset; AddColumn does this.
  TQO_Column(TQO_Dataset* Dataset, std::string Name, int Index)
      : FDataset(Dataset), FName(std::move(Name)), FIndex(Index) {}
  /// The dataset the column belongs to.
  TQO_Dataset* GetDataset() const { return FDataset; }
  /// The column's name.
  const std::string& GetName() const { return FName; }
  /// The position of the column's value in a row.
  int GetIndex() const { return FIndex; }

 private:
  TQO_Dataset* FDataset;
  std::string FName;
  int FIndex;
};

/// Connects a control or an action to a data source and reports what happens to it.
class TQO_DataLink : public TComponent {
  QO_DECLARE_CLASS(TQO_DataLink)

 public:
  /// Creates a link without a data source.
  explicit TQO_DataLink(TComponent* AOwner) : TComponent(AOwner) {}
  /// Leaves the data source without calling any handler.
  ~TQO_DataLink() override;

  /// The data source, or null.
  TQO_DataSource* GetDataSource() const { return FDataSource; }
  /// Follows Value (null: none) instead; fires OnDataSourceChanged when it is another one.
  void SetDataSource(TQO_DataSource* Value);
  /// Whether the link has a data source that has a dataset.
  bool GetPrepared() const;
  /// The dataset of the data source, or null.
  TQO_Dataset* GetDataset() const;
  /// Whether the link wants the focus when its data source asks its links to take it.
  bool GetReceiveFocus() const { return FReceiveFocus; }
  /// Sets the receive-focus flag.
  void SetReceiveFocus(bool Value) { FReceiveFocus = Value; }

  // The four state notifications, then the data-change notification.
  TQO_DataLinkEvent OnDataSourceChanged;
  TQO_DataLinkEvent OnActiveChanged;
  TQO_DataLinkEvent OnStateChanged;
  TQO_DataLinkEvent OnLayoutChanged;
  TQO_DataChangeEvent OnDataChange;
  /// Called when the data source asks its links to take the focus and ReceiveFocus is set.
  TQO_DataLinkEvent OnReceiveFocus;

 private:
  friend class TQO_DataSource;
  void Notify(TQO_DataEvent Event, TQO_Column* Column);

  TQO_DataSource* FDataSource = nullptr;
  bool FReceiveFocus = false;
};

/// Publishes one dataset to any number of data links.
class TQO_DataSource : public TComponent {
  QO_DECLARE_CLASS(TQO_DataSource)

 public:
  /// Creates a data source without a dataset.
  explicit TQO_DataSource(TComponent* AOwner) : TComponent(AOwner) {}
  /// Leaves its links without a data source (each is told) and leaves its dataset.
  ~TQO_DataSource() override;

  /// The dataset, or null.
  TQO_Dataset* GetDataset() const { return FDataset; }
  /// Publishes Value (null: none) instead; every link is told when it is another one.
  void SetDataset(TQO_Dataset* Value);
  /// Calls OnReceiveFocus of every link whose ReceiveFocus is set, in the order they joined.
  void RequestFocus();
  /// The number of links that follow this data source.
  int GetLinkCount() const { return static_cast<int>(FLinks.size()); }
  /// Appends Dataset.
  void GetProperties(TPropertyList& List) override;

 private:
  friend class TQO_DataLink;
  friend class TQO_Dataset;
  void NotifyLinks(TQO_DataEvent Event, TQO_Column* Column);
  void DatasetDestroyed();

  TQO_Dataset* FDataset = nullptr;
  std::vector<TQO_DataLink*> FLinks;
};

/// Rows of values under named columns, with a current row that the moves change.
///
/// Row numbers: the dataset holds (buffers) the rows LowerRowBound + 1 to UpperRowBound - 1;
/// CurrentRowNumber may also be one of the two bounds, the positions before the first and
/// after the last buffered row.
class TQO_Dataset : public TComponent {
 public:
  /// Creates a closed dataset without columns.
  explicit TQO_Dataset(TComponent* AOwner) : TComponent(AOwner) {}
  /// Leaves its data sources without a dataset (their links are told).
  ~TQO_Dataset() override;

  /// Opens the dataset on its first row, in state 1 or, when ReadOnly, 12.
  void Open();
  /// Closes the dataset, discarding an unfinished edit.
  void Close();
  /// Whether the dataset is open.
  bool GetActive() const { return FStateCode != QO_dsInactive; }
  /// The state code (QO_ds...); dataset kinds with states of their own may answer others.
  virtual std::uint8_t StateCode() const { return FStateCode; }
  /// Whether the rows may not be edited.
  bool GetReadOnly() const { return FReadOnly; }
  /// Changes ReadOnly; an open dataset switches between states 1 and 12. Raises
  /// EQO_DatasetError while a row is being edited.
  void SetReadOnly(bool Value);

  /// Adds a column at the end. Raises EQO_DatasetError while open or for a repeated name.
  TQO_Column* AddColumn(const std::string& Name);
  /// The number of columns.
  int GetColumnCount() const { return static_cast<int>(FColumns.size()); }
  /// The column at Index. REQUIRES: 0 <= Index < GetColumnCount().
  TQO_Column* GetColumn(int Index) const;
  /// The column named Name (letter case ignored), or null.
  TQO_Column* FindColumn(std::string_view Name) const;
  /// The current row's value in Column (with an unfinished edit); empty when there is no
  /// current row. Raises EQO_DatasetError for a column of another dataset.
  std::string GetValue(const TQO_Column* Column) const;
  /// Changes the current row's value in Column. REQUIRES state 2 (Edit), else raises.
  void SetValue(const TQO_Column* Column, const std::string& Value);
  /// Starts editing the current row. Raises EQO_DatasetError when closed, read-only, or
  /// without a current row.
  void Edit();
  /// Stores the edited row and returns to browsing; does nothing when not editing.
  void Post();
  /// Discards the edit and returns to browsing; does nothing when not editing.
  void Cancel();

  /// Moves to the first, prior, next or last row; an unfinished edit is stored first.
  /// Raise EQO_DatasetError on a closed dataset.
  void First();
  void Prior();
  void Next();
  void Last();

  /// Whether the dataset can be scrolled at all (open, with rows).
  virtual bool GetCanScroll() const = 0;
  /// The number of the current row or position.
  virtual std::int32_t CurrentRowNumber() const = 0;
  /// The number of the position before the first buffered row.
  virtual std::int32_t LowerRowBound() const = 0;
  /// The number of the position after the last buffered row.
  virtual std::int32_t UpperRowBound() const = 0;
  /// Whether Prior and Next handle the buffer bounds themselves, so that callers need not.
  virtual bool IgnoreRowBounds() const = 0;
  /// Whether no row lies ahead of the current one.
  virtual bool AtEnd() const = 0;
  /// Makes the rows From to To available where they exist; the bounds may change.
  /// Raises EQO_DatasetError on a closed dataset.
  virtual void FetchRowRange(std::int32_t From, std::int32_t To) = 0;

  /// Set while rows lie before the current one that only First brings back.
  bool LeadingRowFlag = false;

  /// Appends ReadOnly.
  void GetProperties(TPropertyList& List) override;

 protected:
  /// Sets up the first row on opening, and drops the position on closing.
  virtual void DoOpen() = 0;
  virtual void DoClose() = 0;
  /// The moves; each answers whether the current position changed.
  virtual bool DoFirst() = 0;
  virtual bool DoPrior() = 0;
  virtual bool DoNext() = 0;
  virtual bool DoLast() = 0;
  /// The values of the current row, or null at a position without a row.
  virtual const std::vector<std::string>* CurrentRow() const = 0;
  /// Replaces the values of the current row.
  virtual void StoreCurrentRow(std::vector<std::string> Values) = 0;

  /// Raises EQO_DatasetError unless the dataset is open.
  void CheckActive() const;
  /// Tells every data source, and through it every link, of Event.
  void Notify(TQO_DataEvent Event, TQO_Column* Column = nullptr);

 private:
  friend class TQO_DataSource;
  void SetStateCode(std::uint8_t Value);
  void CheckColumn(const TQO_Column* Column) const;
  void Move(bool (TQO_Dataset::*Step)());

  std::uint8_t FStateCode = QO_dsInactive;
  bool FReadOnly = false;
  std::vector<std::unique_ptr<TQO_Column>> FColumns;
  std::vector<std::string> FEditRow;
  std::vector<TQO_DataSource*> FDataSources;
};

/// A dataset with a window of buffered rows, that knows whether each end of its rows is
/// known. When an end is known, the window's bound there is the end of the rows.
class TQO_BDataset : public TQO_Dataset {
 public:
  /// Creates a closed dataset without columns.
  explicit TQO_BDataset(TComponent* AOwner) : TQO_Dataset(AOwner) {}
  /// Whether the beginning of the rows is known (the first row is buffered).
  virtual bool LowerBoundKnown() const = 0;
  /// Whether the end of the rows is known (the last row is buffered and known to be last).
  virtual bool UpperBoundKnown() const = 0;
};
