// The dataset base: state, columns, editing, moves and change reports.
#include <algorithm>

#include "framework/Properties.h"
#include "framework/QO_Components.h"

TQO_Dataset::~TQO_Dataset() {
  // Each data source removes itself from FDataSources as it leaves.
  const std::vector<TQO_DataSource*> Sources = FDataSources;
  FDataSources.clear();
  for (TQO_DataSource* Source : Sources)
    Source->DatasetDestroyed();
}

void TQO_Dataset::Open() {
  if (GetActive()) return;
  DoOpen();
  FStateCode = FReadOnly ? QO_dsBrowseReadOnly : QO_dsBrowse;
  Notify(TQO_DataEvent::ActiveChanged);
}

void TQO_Dataset::Close() {
  if (!GetActive()) return;
  FEditRow.clear();
  DoClose();
  LeadingRowFlag = false;
  FStateCode = QO_dsInactive;
  Notify(TQO_DataEvent::ActiveChanged);
}

void TQO_Dataset::SetReadOnly(bool Value) {
  if (Value == FReadOnly) return;
  if (FStateCode == QO_dsEdit) {
    throw EQO_DatasetError("Cannot change ReadOnly while a row is being edited");
  }
  FReadOnly = Value;
  if (GetActive()) SetStateCode(Value ? QO_dsBrowseReadOnly : QO_dsBrowse);
}

TQO_Column* TQO_Dataset::AddColumn(const std::string& Name) {
  if (GetActive()) throw EQO_DatasetError("Cannot add a column to an open dataset");
  if (FindColumn(Name) != nullptr) throw EQO_DatasetError("Duplicate column name " + Name);
  FColumns.push_back(std::make_unique<TQO_Column>(this, Name, GetColumnCount()));
  return FColumns.back().get();
}

TQO_Column* TQO_Dataset::GetColumn(int Index) const {
  return FColumns.at(static_cast<size_t>(Index)).get();
}

TQO_Column* TQO_Dataset::FindColumn(std::string_view Name) const {
  for (const auto& Column : FColumns) {
    if (SameName(Column->GetName(), Name)) return Column.get();
  }
  return nullptr;
}

std::string TQO_Dataset::GetValue(const TQO_Column* Column) const {
  CheckColumn(Column);
  const auto Index = static_cast<size_t>(Column->GetIndex());
  if (FStateCode == QO_dsEdit) return FEditRow.at(Index);
  const std::vector<std::string>* Row = CurrentRow();
  return Row != nullptr ? Row->at(Index) : std::string();
}

void TQO_Dataset::SetValue(const TQO_Column* Column, const std::string& Value) {
  CheckColumn(Column);
  if (FStateCode != QO_dsEdit) throw EQO_DatasetError("Dataset is not being edited");
  FEditRow.at(static_cast<size_t>(Column->GetIndex())) = Value;
  Notify(TQO_DataEvent::DataChanged, FColumns[static_cast<size_t>(Column->GetIndex())].get());
}

void TQO_Dataset::Edit() {
  CheckActive();
  if (FStateCode == QO_dsEdit) return;
  if (FReadOnly) throw EQO_DatasetError("Cannot modify a read-only dataset");
  const std::vector<std::string>* Row = CurrentRow();
  if (Row == nullptr) throw EQO_DatasetError("No current row to edit");
  FEditRow = *Row;
  SetStateCode(QO_dsEdit);
}

void TQO_Dataset::Post() {
  if (FStateCode != QO_dsEdit) return;
  StoreCurrentRow(std::move(FEditRow));
  FEditRow.clear();
  SetStateCode(QO_dsBrowse);
  Notify(TQO_DataEvent::DataChanged);
}

void TQO_Dataset::Cancel() {
  if (FStateCode != QO_dsEdit) return;
  FEditRow.clear();
  SetStateCode(QO_dsBrowse);
  Notify(TQO_DataEvent::DataChanged);
}

void TQO_Dataset::First() {
  Move(&TQO_Dataset::DoFirst);
}
void TQO_Dataset::Prior() {
  Move(&TQO_Dataset::DoPrior);
}
void TQO_Dataset::Next() {
  Move(&TQO_Dataset::DoNext);
}
void TQO_Dataset::Last() {
  Move(&TQO_Dataset::DoLast);
}

void TQO_Dataset::GetProperties(TPropertyList& List) {
  TComponent::GetProperties(List);
  List.push_back(BooleanProperty(
      "ReadOnly", [this] { return FReadOnly; }, [this](bool Value) { SetReadOnly(Value); }));
}

void TQO_Dataset::CheckActive() const {
  if (!GetActive()) throw EQO_DatasetError("Cannot perform this operation on a closed dataset");
}

void TQO_Dataset::Notify(TQO_DataEvent Event, TQO_Column* Column) {
  // Handlers may attach or detach data sources while the report goes round.
  const std::vector<TQO_DataSource*> Sources = FDataSources;
  for (TQO_DataSource* Source : Sources) {
    if (std::find(FDataSources.begin(), FDataSources.end(), Source) == FDataSources.end()) {
      continue;
    }
    Source->NotifyLinks(Event, Column);
  }
}

void TQO_Dataset::SetStateCode(std::uint8_t Value) {
  if (Value == FStateCode) return;
  FStateCode = Value;
  Notify(TQO_DataEvent::StateChanged);
}

void TQO_Dataset::CheckColumn(const TQO_Column* Column) const {
  if (Column == nullptr || Column->GetDataset() != this) {
    throw EQO_DatasetError("The column does not belong to this dataset");
  }
}

void TQO_Dataset::Move(bool (TQO_Dataset::*Step)()) {
  CheckActive();
  Post();
  if ((this->*Step)()) Notify(TQO_DataEvent::DataChanged);
}
