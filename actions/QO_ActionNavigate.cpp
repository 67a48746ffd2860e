#include "actions/QO_ActionNavigate.h"

#include <cstdint>

#include "framework/Properties.h"
#include "framework/QO_Constants.h"

namespace {

// Row numbers of the first and last buffered rows. Computed wide, so that bounds at the ends
// of the 32-bit range compare exactly instead of overflowing.
std::int64_t FirstBuffered(const TQO_Dataset& Dataset) {
  return std::int64_t{Dataset.LowerRowBound()} + 1;
}

std::int64_t LastBuffered(const TQO_Dataset& Dataset) {
  return std::int64_t{Dataset.UpperRowBound()} - 1;
}

}  // namespace

// ---------------------------------------------------------------- TQO_CustomActionNavigate

TQO_CustomActionNavigate::TQO_CustomActionNavigate(TComponent* AOwner)
    : TAction(AOwner), FQO_DataLink(new TQO_DataLink(this)) {
  using TSelf = TQO_CustomActionNavigate;
  const auto StateChanged = TQO_DataLinkEvent::Bind<&TSelf::QO_DatasetStateChanged>(this);
  FQO_DataLink->OnDataSourceChanged = StateChanged;
  FQO_DataLink->OnActiveChanged = StateChanged;
  FQO_DataLink->OnStateChanged = StateChanged;
  FQO_DataLink->OnLayoutChanged = StateChanged;
  FQO_DataLink->OnDataChange = TQO_DataChangeEvent::Bind<&TSelf::QO_DatasetDataChange>(this);
}

TQO_CustomActionNavigate::~TQO_CustomActionNavigate() {
  // Nothing the link does while it is taken down may reach the half-destroyed action.
  FQO_DataLink->OnDataSourceChanged = {};
  FQO_DataLink->OnActiveChanged = {};
  FQO_DataLink->OnStateChanged = {};
  FQO_DataLink->OnLayoutChanged = {};
  FQO_DataLink->OnDataChange = {};
}

bool TQO_CustomActionNavigate::HandlesTarget(TObject*) {
  return true;
}

TQO_DataSource* TQO_CustomActionNavigate::GetDataSource() const {
  return FQO_DataLink->GetDataSource();
}

void TQO_CustomActionNavigate::SetDataSource(TQO_DataSource* Value) {
  FQO_DataLink->SetDataSource(Value);
  SysStateChanged();
}

bool TQO_CustomActionNavigate::GetReceiveFocus() const {
  return FQO_DataLink->GetReceiveFocus();
}

void TQO_CustomActionNavigate::SetReceiveFocus(bool Value) {
  FQO_DataLink->SetReceiveFocus(Value);
}

TQO_DataLinkEvent TQO_CustomActionNavigate::GetOnReceiveFocus() const {
  return FQO_DataLink->OnReceiveFocus;
}

void TQO_CustomActionNavigate::SetOnReceiveFocus(TQO_DataLinkEvent Value) {
  FQO_DataLink->OnReceiveFocus = Value;
}

void TQO_CustomActionNavigate::GetProperties(TPropertyList& List) {
  TAction::GetProperties(List);
  List.push_back(ComponentProperty<TQO_DataSource>(
      "DataSource", [this] { return GetDataSource(); },
      [this](TQO_DataSource* Value) { SetDataSource(Value); }));
  List.push_back(BooleanProperty(
      "ReceiveFocus", [this] { return GetReceiveFocus(); },
      [this](bool Value) { SetReceiveFocus(Value); }, /*Default=*/false, /*AlwaysStored=*/true));
  List.push_back(MethodProperty<TQO_DataLinkEvent>(
      "OnReceiveFocus", [this] { return GetOnReceiveFocus(); },
      [this](TQO_DataLinkEvent Value) { SetOnReceiveFocus(Value); }));
}

void TQO_CustomActionNavigate::Loaded() {
  TAction::Loaded();
  SysStateChanged();
}

void TQO_CustomActionNavigate::SysStateChanged() {}

bool TQO_CustomActionNavigate::NavigationOffered() const {
  if (!FQO_DataLink->GetPrepared()) return false;
  const TQO_Dataset* Dataset = FQO_DataLink->GetDataset();
  const std::uint8_t Code = Dataset->StateCode();
  if (Code != QO_dsBrowse && Code != QO_dsBrowseReadOnly) return false;
  return Dataset->GetCanScroll();
}

void TQO_CustomActionNavigate::QO_DatasetStateChanged(TQO_DataLink*, TQO_DataSource*) {
  SysStateChanged();
}

void TQO_CustomActionNavigate::QO_DatasetDataChange(TQO_DataLink*, TQO_DataSource*, TQO_Column*) {
  SysStateChanged();
}

// ---------------------------------------------------------------- TQO_ActionFirst

TQO_ActionFirst::TQO_ActionFirst(TComponent* AOwner) : TQO_CustomActionNavigate(AOwner) {
  SetCaption(QO_Constants::_C_NB_FIRST);
  SetHint(QO_Constants::_H_NB_FIRST);
}

void TQO_ActionFirst::ExecuteTarget(TObject*) {
  if (!GetDataLink()->GetPrepared()) return;
  GetDataLink()->GetDataset()->First();
}

void TQO_ActionFirst::SysStateChanged() {
  TQO_CustomActionNavigate::SysStateChanged();
  bool Enabled = NavigationOffered();
  if (Enabled) {
    const TQO_Dataset* Dataset = GetDataSource()->GetDataset();
    if (const auto* Buffered = dynamic_cast<const TQO_BDataset*>(Dataset)) {
      Enabled =
          !Buffered->LowerBoundKnown() || Dataset->CurrentRowNumber() != FirstBuffered(*Dataset);
    } else {
      Enabled = Dataset->GetCanScroll() || (Dataset->IgnoreRowBounds() && Dataset->LeadingRowFlag);
    }
  }
  SetEnabled(Enabled);
}

// ---------------------------------------------------------------- TQO_ActionPrior

TQO_ActionPrior::TQO_ActionPrior(TComponent* AOwner) : TQO_CustomActionNavigate(AOwner) {
  SetCaption(QO_Constants::_C_NB_PRIOR);
  SetHint(QO_Constants::_H_NB_PRIOR);
}

void TQO_ActionPrior::ExecuteTarget(TObject*) {
  if (!GetDataLink()->GetPrepared()) return;
  TQO_Dataset* Dataset = GetDataLink()->GetDataset();
  if (Dataset->CurrentRowNumber() == FirstBuffered(*Dataset) && !Dataset->IgnoreRowBounds()) {
    const std::int32_t Bound = Dataset->LowerRowBound();
    Dataset->FetchRowRange(Bound, Bound);
  }
  if (Dataset->IgnoreRowBounds() || Dataset->CurrentRowNumber() > FirstBuffered(*Dataset)) {
    Dataset->Prior();
  } else {
    SysStateChanged();
  }
}

void TQO_ActionPrior::SysStateChanged() {
  TQO_CustomActionNavigate::SysStateChanged();
  bool Enabled = NavigationOffered();
  if (Enabled) {
    const TQO_Dataset* Dataset = GetDataSource()->GetDataset();
    const auto* Buffered = dynamic_cast<const TQO_BDataset*>(Dataset);
    Enabled = Buffered != nullptr && (!Buffered->LowerBoundKnown() ||
                                      Dataset->CurrentRowNumber() > FirstBuffered(*Dataset));
  }
  SetEnabled(Enabled);
}

// ---------------------------------------------------------------- TQO_ActionNext

TQO_ActionNext::TQO_ActionNext(TComponent* AOwner) : TQO_CustomActionNavigate(AOwner) {
  SetCaption(QO_Constants::_C_NB_NEXT);
  SetHint(QO_Constants::_H_NB_NEXT);
}

void TQO_ActionNext::ExecuteTarget(TObject*) {
  if (!GetDataLink()->GetPrepared()) return;
  TQO_Dataset* Dataset = GetDataLink()->GetDataset();
  if (Dataset->CurrentRowNumber() == LastBuffered(*Dataset) && !Dataset->IgnoreRowBounds()) {
    const std::int32_t Bound = Dataset->UpperRowBound();
    Dataset->FetchRowRange(Bound, Bound);
  }
  if (Dataset->IgnoreRowBounds() || Dataset->CurrentRowNumber() < LastBuffered(*Dataset)) {
    Dataset->Next();
  } else {
    SysStateChanged();
  }
}

void TQO_ActionNext::SysStateChanged() {
  TQO_CustomActionNavigate::SysStateChanged();
  bool Enabled = NavigationOffered();
  if (Enabled) {
    const TQO_Dataset* Dataset = GetDataSource()->GetDataset();
    if (const auto* Buffered = dynamic_cast<const TQO_BDataset*>(Dataset)) {
      Enabled =
          !Buffered->UpperBoundKnown() || Dataset->CurrentRowNumber() < LastBuffered(*Dataset);
    } else {
      Enabled = !Dataset->AtEnd();
    }
  }
  SetEnabled(Enabled);
}

// ---------------------------------------------------------------- TQO_ActionLast

TQO_ActionLast::TQO_ActionLast(TComponent* AOwner) : TQO_CustomActionNavigate(AOwner) {
  SetCaption(QO_Constants::_C_NB_LAST);
  SetHint(QO_Constants::_H_NB_LAST);
}

void TQO_ActionLast::ExecuteTarget(TObject*) {
  if (!GetDataLink()->GetPrepared()) return;
  GetDataLink()->GetDataset()->Last();
}

void TQO_ActionLast::SysStateChanged() {
  TQO_CustomActionNavigate::SysStateChanged();
  bool Enabled = NavigationOffered();
  if (Enabled) {
    const TQO_Dataset* Dataset = GetDataSource()->GetDataset();
    if (const auto* Buffered = dynamic_cast<const TQO_BDataset*>(Dataset)) {
      Enabled =
          !Buffered->UpperBoundKnown() || Dataset->CurrentRowNumber() != LastBuffered(*Dataset);
    } else {
      Enabled = !Dataset->AtEnd();
    }
  }
  SetEnabled(Enabled);
}
