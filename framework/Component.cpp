#include "framework/Component.h"

#include <algorithm>

namespace {

char LowerAscii(char C) {
  return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

bool IsLetter(char C) {
  return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
}

void Erase(std::vector<TComponent*>& List, TComponent* Item) {
  List.erase(std::remove(List.begin(), List.end(), Item), List.end());
}

}  // namespace

bool SameName(std::string_view A, std::string_view B) {
  return std::equal(A.begin(), A.end(), B.begin(), B.end(),
                    [](char X, char Y) { return LowerAscii(X) == LowerAscii(Y); });
}

bool IsIdentifier(std::string_view Text) {
  if (Text.empty() || !IsLetter(Text.front())) return false;
  return std::all_of(Text.begin(), Text.end(),
                     [](char C) { return IsLetter(C) || (C >= '0' && C <= '9'); });
}

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  // Those who hold a reference hear of the end first, while everything owned still exists.
  while (!FFreeNotifies.empty()) {
    TComponent* Other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    Erase(Other->FFreeNotifies, this);
    Other->Notification(this, TOperation::Remove);
  }
  // Each owned component removes itself from FComponents as it is destroyed.
  while (!FComponents.empty())
    delete FComponents.back();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::string& Value) {
  if (Value == FName) return;
  if (!Value.empty() && !IsIdentifier(Value)) {
    throw EComponentError("'" + Value + "' is not a valid component name");
  }
  if (!Value.empty() && FOwner != nullptr) {
    TComponent* Other = FOwner->FindComponent(Value);
    if (Other != nullptr && Other != this) {
      throw EComponentError("A component named " + Value + " already exists");
    }
  }
  FName = Value;
}

TComponent* TComponent::FindComponent(std::string_view Name) const {
  if (Name.empty()) return nullptr;
  for (TComponent* Component : FComponents) {
    if (SameName(Component->FName, Name)) return Component;
  }
  return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) != FFreeNotifies.end()) {
    return;
  }
  FFreeNotifies.push_back(AComponent);
  try {
    AComponent->FFreeNotifies.push_back(this);
  } catch (...) {
    FFreeNotifies.pop_back();
    throw;
  }
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  Erase(FFreeNotifies, AComponent);
  Erase(AComponent->FFreeNotifies, this);
}

// The name is stored in the heading of the component's block, not as a property.
void TComponent::GetProperties(TPropertyList&) {}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  Notification(AComponent, TOperation::Insert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  Notification(AComponent, TOperation::Remove);
  Erase(FComponents, AComponent);
  AComponent->FOwner = nullptr;
}
