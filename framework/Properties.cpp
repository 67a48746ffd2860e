#include "framework/Properties.h"

#include <utility>

bool IsStored(const TPropertyInfo& Property) {
  return Property.AlwaysStored || !(Property.Get() == Property.Default);
}

namespace {

// Wraps typed accessors of a property whose value is the alternative T of TPropertyValue.
template <typename T, typename TGet, typename TSet>
TPropertyInfo MakeProperty(std::string Name, TPropertyKind Kind, TGet Get, TSet Set, T Default,
                           bool AlwaysStored) {
  TPropertyInfo Info;
  Info.Name = Name;
  Info.Kind = Kind;
  Info.Default = std::move(Default);
  Info.AlwaysStored = AlwaysStored;
  Info.Get = [Get = std::move(Get)] { return TPropertyValue{Get()}; };
  Info.Set = [Set = std::move(Set), Name](const TPropertyValue& Value) {
    const T* Typed = std::get_if<T>(&Value);
    if (Typed == nullptr) throw EComponentError("Invalid value for property " + Name);
    Set(*Typed);
  };
  return Info;
}

}  // namespace

TPropertyInfo BooleanProperty(std::string Name, std::function<bool()> Get,
                              std::function<void(bool)> Set, bool Default, bool AlwaysStored) {
  return MakeProperty<bool>(std::move(Name), TPropertyKind::Boolean, std::move(Get), std::move(Set),
                            Default, AlwaysStored);
}

TPropertyInfo IntegerProperty(std::string Name, std::function<std::int32_t()> Get,
                              std::function<void(std::int32_t)> Set) {
  return MakeProperty<std::int32_t>(std::move(Name), TPropertyKind::Integer, std::move(Get),
                                    std::move(Set), 0, false);
}

TPropertyInfo StringProperty(std::string Name, std::function<std::string()> Get,
                             std::function<void(const std::string&)> Set) {
  return MakeProperty<std::string>(std::move(Name), TPropertyKind::String, std::move(Get),
                                   std::move(Set), std::string(), false);
}

TPropertyList PropertiesOf(TComponent& Component) {
  TPropertyList List;
  Component.GetProperties(List);
  return List;
}

TMethodCode TMethodTable::Find(std::string_view Name, const std::type_info& Type) const {
  for (const TEntry& Entry : FEntries) {
    if (SameName(Entry.Name, Name) && *Entry.Type == Type) return Entry.Code;
  }
  return nullptr;
}

std::string TMethodTable::NameOf(TMethodCode Code) const {
  for (const TEntry& Entry : FEntries) {
    if (Entry.Code == Code) return Entry.Name;
  }
  return {};
}

void TComponentClasses::Add(std::string Name, TFactory Factory) {
  for (auto& Entry : FEntries) {
    if (Entry.first == Name) {
      Entry.second = Factory;
      return;
    }
  }
  FEntries.emplace_back(std::move(Name), Factory);
}

TComponentClasses::TFactory TComponentClasses::Find(std::string_view Name) const {
  for (const auto& Entry : FEntries) {
    if (Entry.first == Name) return Entry.second;
  }
  return nullptr;
}
