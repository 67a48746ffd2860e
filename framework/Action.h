// Actions: commands that menu items, buttons and tool buttons share, with the caption, hint
// and enabled state those clients show.
#pragma once

#include <span>
#include <string>

#include "framework/Component.h"

/// A command that can be executed on a target.
class TBasicAction : public TComponent {
  QO_DECLARE_CLASS(TBasicAction)

 public:
  /// Creates an action owned by AOwner (may be null).
  explicit TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}

  /// Whether the action works on Target (which may be null). No target by default.
  virtual bool HandlesTarget(TObject* Target);
  /// Performs the action on Target. Does nothing by default.
  virtual void ExecuteTarget(TObject* Target);
  /// Runs the action unless it is disabled: OnExecute when assigned, otherwise ExecuteTarget on
  /// the first of Targets that HandlesTarget accepts (no targets: the null target is offered).
  /// Returns whether anything ran. Errors of the handler or the target pass to the caller.
  bool Execute(std::span<TObject* const> Targets = {});

  /// Runs instead of ExecuteTarget when assigned; the argument is the action.
  TNotifyEvent OnExecute;

 protected:
  /// Whether Execute may run the action now. Always by default.
  virtual bool CanExecute() const { return true; }
};

/// An action that belongs to a category of an action list.
class TContainedAction : public TBasicAction {
  QO_DECLARE_CLASS(TContainedAction)

 public:
  /// Creates an action without a category.
  explicit TContainedAction(TComponent* AOwner) : TBasicAction(AOwner) {}

  /// The category under which action lists group the action.
  const std::string& GetCategory() const { return FCategory; }
  /// Sets the category.
  void SetCategory(const std::string& Value) { FCategory = Value; }

 private:
  std::string FCategory;
};

/// An action with the caption, hint and enabled state that its clients show.
class TCustomAction : public TContainedAction {
  QO_DECLARE_CLASS(TCustomAction)

 public:
  /// Creates an enabled action with empty caption and hint.
  explicit TCustomAction(TComponent* AOwner) : TContainedAction(AOwner) {}

  /// The caption shown by menu items and buttons.
  const std::string& GetCaption() const { return FCaption; }
  /// Sets the caption.
  virtual void SetCaption(const std::string& Value) { FCaption = Value; }
  /// The hint shown as a tool tip or in a status line.
  const std::string& GetHint() const { return FHint; }
  /// Sets the hint.
  virtual void SetHint(const std::string& Value) { FHint = Value; }
  /// Whether the action can be executed now; clients show themselves disabled otherwise.
  bool GetEnabled() const { return FEnabled; }
  /// Sets the enabled state.
  virtual void SetEnabled(bool Value) { FEnabled = Value; }

 protected:
  bool CanExecute() const override { return FEnabled; }

 private:
  std::string FCaption;
  std::string FHint;
  bool FEnabled = true;
};

/// An action with its caption, hint, enabled state, category and OnExecute published.
class TAction : public TCustomAction {
  QO_DECLARE_CLASS(TAction)

 public:
  /// Creates an enabled action with empty caption and hint.
  explicit TAction(TComponent* AOwner) : TCustomAction(AOwner) {}

  /// Appends Caption, Hint, Enabled (stored when false), Category and OnExecute.
  void GetProperties(TPropertyList& List) override;
};
