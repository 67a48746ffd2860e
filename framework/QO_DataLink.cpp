// Data links and data sources.
#include <algorithm>

#include "framework/Properties.h"
#include "framework/QO_Components.h"

TQO_DataLink::~TQO_DataLink() {
  if (FDataSource != nullptr) {
    auto& Links = FDataSource->FLinks;
    Links.erase(std::remove(Links.begin(), Links.end(), this), Links.end());
  }
}

void TQO_DataLink::SetDataSource(TQO_DataSource* Value) {
  if (Value == FDataSource) return;
  if (Value != nullptr) Value->FLinks.push_back(this);
  if (FDataSource != nullptr) {
    auto& Links = FDataSource->FLinks;
    Links.erase(std::remove(Links.begin(), Links.end(), this), Links.end());
  }
  FDataSource = Value;
  Notify(TQO_DataEvent::DataSourceChanged, nullptr);
}

bool TQO_DataLink::GetPrepared() const {
  return GetDataset() != nullptr;
}

TQO_Dataset* TQO_DataLink::GetDataset() const {
  return FDataSource != nullptr ? FDataSource->GetDataset() : nullptr;
}

void TQO_DataLink::Notify(TQO_DataEvent Event, TQO_Column* Column) {
  switch (Event) {
    case TQO_DataEvent::DataSourceChanged:
      OnDataSourceChanged(this, FDataSource);
      break;
    case TQO_DataEvent::ActiveChanged:
      OnActiveChanged(this, FDataSource);
      break;
    case TQO_DataEvent::StateChanged:
      OnStateChanged(this, FDataSource);
      break;
    case TQO_DataEvent::LayoutChanged:
      OnLayoutChanged(this, FDataSource);
      break;
    case TQO_DataEvent::DataChanged:
      OnDataChange(this, FDataSource, Column);
      break;
  }
}

TQO_DataSource::~TQO_DataSource() {
  // Each link removes itself from FLinks as it leaves.
  while (!FLinks.empty())
    FLinks.back()->SetDataSource(nullptr);
  SetDataset(nullptr);
}

void TQO_DataSource::SetDataset(TQO_Dataset* Value) {
  if (Value == FDataset) return;
  if (Value != nullptr) Value->FDataSources.push_back(this);
  if (FDataset != nullptr) {
    auto& Sources = FDataset->FDataSources;
    Sources.erase(std::remove(Sources.begin(), Sources.end(), this), Sources.end());
  }
  FDataset = Value;
  NotifyLinks(TQO_DataEvent::DataSourceChanged, nullptr);
}

void TQO_DataSource::RequestFocus() {
  const std::vector<TQO_DataLink*> Links = FLinks;
  for (TQO_DataLink* Link : Links) {
    // A handler may detach other links; those no longer hear of it.
    if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) continue;
    if (Link->GetReceiveFocus()) Link->OnReceiveFocus(Link, this);
  }
}

void TQO_DataSource::GetProperties(TPropertyList& List) {
  TComponent::GetProperties(List);
  List.push_back(ComponentProperty<TQO_Dataset>(
      "Dataset", [this] { return FDataset; }, [this](TQO_Dataset* Value) { SetDataset(Value); }));
}

void TQO_DataSource::NotifyLinks(TQO_DataEvent Event, TQO_Column* Column) {
  // Handlers may attach or detach links while the notification goes round.
  const std::vector<TQO_DataLink*> Links = FLinks;
  for (TQO_DataLink* Link : Links) {
    if (std::find(FLinks.begin(), FLinks.end(), Link) == FLinks.end()) continue;
    Link->Notify(Event, Column);
  }
}

void TQO_DataSource::DatasetDestroyed() {
  FDataset = nullptr;
  NotifyLinks(TQO_DataEvent::DataSourceChanged, nullptr);
}
