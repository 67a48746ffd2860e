// Data-aware navigation actions: each moves the dataset of a data source to its first,
// prior, next or last row, and keeps its own Enabled current from the notifications of the
// data link it owns.
#pragma once

#include "framework/Action.h"
#include "framework/QO_Components.h"

/// Base of the four navigation actions: owns the data link, publishes its data-source
/// settings and recomputes the state (SysStateChanged) on each of its notifications.
class TQO_CustomActionNavigate : public TAction {
  QO_DECLARE_CLASS(TQO_CustomActionNavigate)

 public:
  /// Creates the action and its data link, and subscribes to the link's notifications.
  /// Enabled keeps its default until the first recomputation.
  explicit TQO_CustomActionNavigate(TComponent* AOwner);
  /// Unsubscribes from the data link, then destroys the action and, with it, the link.
  ~TQO_CustomActionNavigate() override;

  /// True for every target, none included: the moves work on the action's own data link.
  bool HandlesTarget(TObject* Target) override;

  /// The data source the link follows, or null.
  TQO_DataSource* GetDataSource() const;
  /// Hands Value (null: none) to the data link, then recomputes the state.
  void SetDataSource(TQO_DataSource* Value);
  /// The data link's receive-focus flag.
  bool GetReceiveFocus() const;
  /// Sets the data link's receive-focus flag.
  void SetReceiveFocus(bool Value);
  /// The data link's OnReceiveFocus handler.
  TQO_DataLinkEvent GetOnReceiveFocus() const;
  /// Stores Value, both object and method, as the data link's OnReceiveFocus handler.
  void SetOnReceiveFocus(TQO_DataLinkEvent Value);

  /// Appends DataSource, ReceiveFocus (always stored) and OnReceiveFocus.
  void GetProperties(TPropertyList& List) override;

 protected:
  /// Finishes loading, then recomputes the state.
  void Loaded() override;
  /// Recomputes the state; nothing here, the concrete actions set Enabled.
  virtual void SysStateChanged();
  /// The action's data link.
  TQO_DataLink* GetDataLink() const { return FQO_DataLink; }
  /// Whether moving is possible at all: the link is prepared, its dataset is in state 1 or 12
  /// and can scroll.
  bool NavigationOffered() const;

 private:
  void QO_DatasetStateChanged(TQO_DataLink* Link, TQO_DataSource* Source);
  void QO_DatasetDataChange(TQO_DataLink* Link, TQO_DataSource* Source, TQO_Column* Column);

  TQO_DataLink* FQO_DataLink;
};

/// Moves to the first row.
class TQO_ActionFirst : public TQO_CustomActionNavigate {
  QO_DECLARE_CLASS(TQO_ActionFirst)

 public:
  /// Creates the action with its caption and hint.
  explicit TQO_ActionFirst(TComponent* AOwner);
  /// Moves the link's dataset to its first row; nothing when the link is not prepared.
  void ExecuteTarget(TObject* Target) override;

 protected:
  /// Sets Enabled: on a row other than the first, or when the beginning is not known.
  void SysStateChanged() override;
};

/// Moves to the prior row, bringing it into the buffer when needed.
class TQO_ActionPrior : public TQO_CustomActionNavigate {
  QO_DECLARE_CLASS(TQO_ActionPrior)

 public:
  /// Creates the action with its caption and hint.
  explicit TQO_ActionPrior(TComponent* AOwner);
  /// Moves the link's dataset to its prior row; on the first buffered row it first asks for
  /// the row before, and when none came in it only recomputes the state.
  void ExecuteTarget(TObject* Target) override;

 protected:
  /// Sets Enabled: on a buffered dataset past the first row or with an unknown beginning.
  void SysStateChanged() override;
};

/// Moves to the next row, bringing it into the buffer when needed.
class TQO_ActionNext : public TQO_CustomActionNavigate {
  QO_DECLARE_CLASS(TQO_ActionNext)

 public:
  /// Creates the action with its caption and hint.
  explicit TQO_ActionNext(TComponent* AOwner);
  /// Moves the link's dataset to its next row; on the last buffered row it first asks for
  /// the row after, and when none came in it only recomputes the state.
  void ExecuteTarget(TObject* Target) override;

 protected:
  /// Sets Enabled: before the last row, or when the end is not known.
  void SysStateChanged() override;
};

/// Moves to the last row.
class TQO_ActionLast : public TQO_CustomActionNavigate {
  QO_DECLARE_CLASS(TQO_ActionLast)

 public:
  /// Creates the action with its caption and hint.
  explicit TQO_ActionLast(TComponent* AOwner);
  /// Moves the link's dataset to its last row; nothing when the link is not prepared.
  void ExecuteTarget(TObject* Target) override;

 protected:
  /// Sets Enabled: on a row other than the last, or when the end is not known.
  void SysStateChanged() override;
};
