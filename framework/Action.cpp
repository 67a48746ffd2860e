#include "framework/Action.h"

#include "framework/Properties.h"

bool TBasicAction::HandlesTarget(TObject*) {
  return false;
}

void TBasicAction::ExecuteTarget(TObject*) {}

bool TBasicAction::Execute(std::span<TObject* const> Targets) {
  if (!CanExecute()) return false;
  if (OnExecute.Assigned()) {
    OnExecute(this);
    return true;
  }
  TObject* const NoTarget[] = {nullptr};
  if (Targets.empty()) Targets = NoTarget;
  for (TObject* Target : Targets) {
    if (HandlesTarget(Target)) {
      ExecuteTarget(Target);
      return true;
    }
  }
  return false;
}

void TAction::GetProperties(TPropertyList& List) {
  TCustomAction::GetProperties(List);
  List.push_back(StringProperty(
      "Caption", [this] { return GetCaption(); },
      [this](const std::string& Value) { SetCaption(Value); }));
  List.push_back(StringProperty(
      "Hint", [this] { return GetHint(); }, [this](const std::string& Value) { SetHint(Value); }));
  List.push_back(BooleanProperty(
      "Enabled", [this] { return GetEnabled(); }, [this](bool Value) { SetEnabled(Value); },
      /*Default=*/true));
  List.push_back(StringProperty(
      "Category", [this] { return GetCategory(); },
      [this](const std::string& Value) { SetCategory(Value); }));
  List.push_back(MethodProperty<TNotifyEvent>(
      "OnExecute", [this] { return OnExecute; },
      [this](TNotifyEvent Value) { OnExecute = Value; }));
}
