// Published properties: how a component exposes what a stored form records about it, and
// the tables by which stored forms name classes and event handlers.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <variant>
#include <vector>

#include "framework/Component.h"

/// Code half of a closure in untyped form; the closure type is kept beside it.
using TMethodCode = void (*)();

/// An event handler in untyped form: object, code, and the closure type of the code.
struct TMethod {
  TObject* Data = nullptr;
  TMethodCode Code = nullptr;
  const std::type_info* Type = nullptr;

  /// Same object and same code.
  friend bool operator==(const TMethod& A, const TMethod& B) {
    return A.Data == B.Data && A.Code == B.Code;
  }
};

/// The kinds of stored properties, in the order of the alternatives of TPropertyValue.
enum class TPropertyKind { Boolean, Integer, String, Component, Method };

/// A property value; the alternative matches the property's kind.
using TPropertyValue = std::variant<bool, std::int32_t, std::string, TComponent*, TMethod>;

/// One published property of a component, with its accessors.
struct TPropertyInfo {
  std::string Name;
  TPropertyKind Kind = TPropertyKind::Boolean;
  std::function<TPropertyValue()> Get;
  /// Raises EComponentError for a value of the wrong kind or class.
  std::function<void(const TPropertyValue&)> Set;
  /// The value that is not stored, unless AlwaysStored.
  TPropertyValue Default;
  /// Stored even with its default value.
  bool AlwaysStored = false;
  /// For Method properties: the code type of the property's closure type.
  const std::type_info* MethodType = nullptr;
};

/// Whether a stored form records the property with the component's current value.
bool IsStored(const TPropertyInfo& Property);

/// A Boolean property; stored when it differs from Default, or always.
TPropertyInfo BooleanProperty(std::string Name, std::function<bool()> Get,
                              std::function<void(bool)> Set, bool Default = false,
                              bool AlwaysStored = false);
/// An integer property; stored when not 0.
TPropertyInfo IntegerProperty(std::string Name, std::function<std::int32_t()> Get,
                              std::function<void(std::int32_t)> Set);
/// A text property; stored when not empty.
TPropertyInfo StringProperty(std::string Name, std::function<std::string()> Get,
                             std::function<void(const std::string&)> Set);

/// A reference to a component of class T (or a descendant); stored when assigned.
template <class T>
TPropertyInfo ComponentProperty(std::string Name, std::function<T*()> Get,
                                std::function<void(T*)> Set) {
  TPropertyInfo Info;
  Info.Name = Name;
  Info.Kind = TPropertyKind::Component;
  Info.Default = static_cast<TComponent*>(nullptr);
  Info.Get = [Get] { return TPropertyValue{static_cast<TComponent*>(Get())}; };
  Info.Set = [Set, Name](const TPropertyValue& Value) {
    const auto* Component = std::get_if<TComponent*>(&Value);
    if (Component == nullptr) throw EComponentError(Name + " takes a component");
    T* Typed = dynamic_cast<T*>(*Component);
    if (*Component != nullptr && Typed == nullptr) {
      throw EComponentError((*Component)->GetName() + " cannot be assigned to " + Name);
    }
    Set(Typed);
  };
  return Info;
}

/// An event property whose handler type is the closure type TEvent; stored when assigned.
template <class TEvent>
TPropertyInfo MethodProperty(std::string Name, std::function<TEvent()> Get,
                             std::function<void(TEvent)> Set) {
  using TCode = typename TEvent::TCode;
  TPropertyInfo Info;
  Info.Name = Name;
  Info.Kind = TPropertyKind::Method;
  Info.MethodType = &typeid(TCode);
  Info.Default = TMethod{};
  Info.Get = [Get] {
    TEvent Event = Get();
    return TPropertyValue{
        TMethod{Event.Data, reinterpret_cast<TMethodCode>(Event.Code), &typeid(TCode)}};
  };
  Info.Set = [Set, Name](const TPropertyValue& Value) {
    const auto* Method = std::get_if<TMethod>(&Value);
    if (Method == nullptr || (Method->Code != nullptr && *Method->Type != typeid(TCode))) {
      throw EComponentError(Name + " takes a handler of another kind");
    }
    Set(TEvent{Method->Data, reinterpret_cast<TCode>(Method->Code)});
  };
  return Info;
}

/// The properties of Component, in the order in which they are stored.
TPropertyList PropertiesOf(TComponent& Component);

/// The methods of a root component (a form) that stored event properties may name.
class TMethodTable {
 public:
  /// Publishes Method, a member of a TObject descendant, under Name.
  template <auto Method>
  void Publish(std::string Name) {
    using TEvent = typename Detail::TMemberOf<decltype(Method)>::TEvent;
    using TCode = typename TEvent::TCode;
    FEntries.push_back({std::move(Name), &typeid(TCode),
                        reinterpret_cast<TMethodCode>(TEvent::template CodeOf<Method>())});
  }
  /// The code published under Name (letter case ignored) for closures of Type, or null.
  TMethodCode Find(std::string_view Name, const std::type_info& Type) const;
  /// The name under which Code is published, or empty.
  std::string NameOf(TMethodCode Code) const;

 private:
  struct TEntry {
    std::string Name;
    const std::type_info* Type;
    TMethodCode Code;
  };
  std::vector<TEntry> FEntries;
};

/// The component classes that stored forms may name, with a way to create each.
class TComponentClasses {
 public:
  using TFactory = TComponent* (*)(TComponent* AOwner);

  /// Makes class T creatable under its StaticClassName.
  template <class T>
  void Register() {
    Add(std::string(T::StaticClassName),
        [](TComponent* AOwner) -> TComponent* { return new T(AOwner); });
  }
  /// Makes Factory create the class named Name; a later entry for the same name replaces it.
  void Add(std::string Name, TFactory Factory);
  /// The factory for the class named Name (exact case), or null.
  TFactory Find(std::string_view Name) const;

 private:
  std::vector<std::pair<std::string, TFactory>> FEntries;
};
