// Components: objects with a name and an owner. An owner destroys the components it owns,
// the last created first; components tell each other when one of them goes away.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

/// Raised for misuse of components: bad or duplicate names, unreadable stored forms.
class EComponentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Root of the class tree: a virtual destructor and run-time class tests for everything.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

namespace Detail {
template <typename TMember>
struct TMemberOf;
}  // namespace Detail

/// An object together with one of its methods, called with Args. Both halves are empty
/// in an unassigned closure; calling one does nothing.
template <typename... Args>
struct TClosure {
  using TCode = void (*)(TObject* Data, Args... Params);

  TObject* Data = nullptr;
  TCode Code = nullptr;

  /// The code half that calls Method (a member of a TObject descendant) on the data half.
  template <auto Method>
  static TCode CodeOf() {
    return &Call<Method>;
  }
  /// A closure that calls Method on Object.
  template <auto Method, typename T>
  static TClosure Bind(T* Object) {
    return TClosure{Object, CodeOf<Method>()};
  }
  /// Whether a method is assigned.
  bool Assigned() const { return Code != nullptr; }
  /// Calls the method when one is assigned.
  void operator()(Args... Params) const {
    if (Code != nullptr) Code(Data, Params...);
  }
  friend bool operator==(const TClosure&, const TClosure&) = default;

 private:
  template <auto Method>
  static void Call(TObject* Data, Args... Params) {
    using TClass = typename Detail::TMemberOf<decltype(Method)>::TClass;
    (static_cast<TClass*>(Data)->*Method)(Params...);
  }
};

namespace Detail {
template <typename TClassOf, typename... Args>
struct TMemberOf<void (TClassOf::*)(Args...)> {
  using TClass = TClassOf;
  using TEvent = TClosure<Args...>;
};
}  // namespace Detail

/// Handler of a plain notification; the argument is the sender.
using TNotifyEvent = TClosure<TObject*>;

struct TPropertyInfo;
using TPropertyList = std::vector<TPropertyInfo>;
class TMethodTable;

/// Declares the class name under which a component class is stored and registered.
#define QO_DECLARE_CLASS(Name)                               \
 public:                                                     \
  static constexpr std::string_view StaticClassName = #Name; \
  std::string_view ClassName() const override {              \
    return #Name;                                            \
  }

/// What Notification reports about a component.
enum class TOperation { Insert, Remove };

/// A named object that may be owned by another component and may be stored in a form.
class TComponent : public TObject {
 public:
  static constexpr std::string_view StaticClassName = "TComponent";

  /// Creates a component owned by AOwner; without an owner the creator must delete it.
  explicit TComponent(TComponent* AOwner);
  /// Tells the components that asked for it, destroys the owned components (the last
  /// created first), then leaves the owner.
  ~TComponent() override;

  /// The owner, or null.
  TComponent* GetOwner() const { return FOwner; }
  /// The name; empty when the component has none.
  const std::string& GetName() const { return FName; }
  /// Renames the component. Raises EComponentError unless Value is empty or an identifier
  /// that no other component of the same owner has (letter case ignored).
  void SetName(const std::string& Value);
  /// The number of owned components.
  int GetComponentCount() const { return static_cast<int>(FComponents.size()); }
  /// The owned component at Index, in order of creation. REQUIRES: 0 <= Index < count.
  TComponent* GetComponent(int Index) const { return FComponents.at(static_cast<size_t>(Index)); }
  /// The owned component named Name (letter case ignored), or null.
  TComponent* FindComponent(std::string_view Name) const;

  /// Asks to be told through Notification when AComponent is destroyed (and the reverse).
  void FreeNotification(TComponent* AComponent);
  /// Withdraws a FreeNotification request in both directions.
  void RemoveFreeNotification(TComponent* AComponent);

  /// The class name under which the component is stored.
  virtual std::string_view ClassName() const { return StaticClassName; }
  /// Appends the stored (published) properties to List, those of the base classes first.
  virtual void GetProperties(TPropertyList& List);
  /// The methods that stored event properties of the owned components may name; null for none.
  virtual const TMethodTable* GetMethodTable() const { return nullptr; }

  /// Whether the component is being read from a stored form and Loaded has not yet run.
  bool IsLoading() const { return FLoading; }
  /// Marks the component as being read from a stored form.
  void BeginLoading() { FLoading = true; }
  /// Ends loading: runs Loaded, once all stored properties and references are set. Does
  /// nothing for a component that is not being loaded.
  void EndLoading() {
    if (FLoading) Loaded();
  }
  /// Ends loading without Loaded, after a failed read.
  void CancelLoading() { FLoading = false; }

 protected:
  /// Runs after loading from a stored form; clears the loading mark. Overrides call it first.
  virtual void Loaded() { FLoading = false; }
  /// AComponent was inserted into this owner, or is being destroyed while it is owned by this
  /// component or was named in FreeNotification.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

 private:
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  bool FLoading = false;
};

/// Whether two names are equal, ignoring the letter case of ASCII letters.
bool SameName(std::string_view A, std::string_view B);

/// Whether Text is an identifier: a letter or underscore, then letters, digits, underscores.
bool IsIdentifier(std::string_view Text);
