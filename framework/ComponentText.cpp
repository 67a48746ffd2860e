#include "framework/ComponentText.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <type_traits>
#include <variant>
#include <vector>

namespace {

// ---------------------------------------------------------------- writing

std::string QuoteText(std::string_view Text) {
  std::string Out;
  bool InQuotes = false;
  for (const char C : Text) {
    const auto Code = static_cast<unsigned char>(C);
    const bool Control = Code < 0x20 || Code == 0x7F;
    if (Control == InQuotes) {
      Out += '\'';
      InQuotes = !InQuotes;
    }
    if (Control) {
      Out += '#' + std::to_string(Code);
    } else {
      Out += C;
      if (C == '\'') Out += C;
    }
  }
  if (InQuotes) Out += '\'';
  return Out.empty() ? "''" : Out;
}

std::string ReferenceName(const TComponent& Root, const TComponent* Target,
                          const std::string& Property) {
  const bool Reachable = Target == &Root || Target->GetOwner() == &Root;
  if (!Reachable || Target->GetName().empty()) {
    throw EComponentError(Property + " refers to a component that " + Root.GetName() +
                          " does not own by name");
  }
  return Target->GetName();
}

std::string MethodName(const TComponent& Root, const TMethod& Method, const std::string& Property) {
  const TMethodTable* Table = Root.GetMethodTable();
  const TObject* RootObject = &Root;
  std::string Name;
  if (Table != nullptr && Method.Data == RootObject) Name = Table->NameOf(Method.Code);
  if (Name.empty()) {
    throw EComponentError(Property + " holds a handler that is not a method of " + Root.GetName());
  }
  return Name;
}

std::string FormatValue(const TComponent& Root, const TPropertyInfo& Property) {
  const TPropertyValue Value = Property.Get();
  switch (Property.Kind) {
    case TPropertyKind::Boolean:
      return std::get<bool>(Value) ? "True" : "False";
    case TPropertyKind::Integer:
      return std::to_string(std::get<std::int32_t>(Value));
    case TPropertyKind::String:
      return QuoteText(std::get<std::string>(Value));
    case TPropertyKind::Component:
      return ReferenceName(Root, std::get<TComponent*>(Value), Property.Name);
    case TPropertyKind::Method:
      return MethodName(Root, std::get<TMethod>(Value), Property.Name);
  }
  return {};
}

void WriteBlock(std::string& Out, TComponent& Root, TComponent& Component,
                const std::string& Indent) {
  Out += Indent + "object ";
  if (!Component.GetName().empty()) Out += Component.GetName() + ": ";
  Out += std::string(Component.ClassName()) + "\n";
  for (const TPropertyInfo& Property : PropertiesOf(Component)) {
    if (IsStored(Property)) {
      Out += Indent + "  " + Property.Name + " = " + FormatValue(Root, Property) + "\n";
    }
  }
  if (&Component == &Root) {
    for (int I = 0; I < Root.GetComponentCount(); ++I) {
      WriteBlock(Out, Root, *Root.GetComponent(I), Indent + "  ");
    }
  }
  Out += Indent + "end\n";
}

// ---------------------------------------------------------------- parsing

struct TName {
  std::string Text;
};
// The alternatives of a Boolean, integer and text value in the order of TPropertyKind.
using TTextValue = std::variant<bool, std::int32_t, std::string, TName>;

struct TTextProperty {
  std::string Name;
  TTextValue Value;
  int Line = 0;
};

struct TTextBlock {
  std::string Name;
  std::string ClassName;
  int Line = 0;
  std::vector<TTextProperty> Properties;
  std::vector<TTextBlock> Children;
};

[[noreturn]] void Fail(int Line, const std::string& Message) {
  throw EComponentError("Line " + std::to_string(Line) + ": " + Message);
}

std::string_view Trim(std::string_view Text) {
  const auto Blank = [](char C) { return C == ' ' || C == '\t' || C == '\r'; };
  while (!Text.empty() && Blank(Text.front()))
    Text.remove_prefix(1);
  while (!Text.empty() && Blank(Text.back()))
    Text.remove_suffix(1);
  return Text;
}

std::string ParseQuoted(std::string_view Text, int Line) {
  std::string Out;
  size_t I = 0;
  while (I < Text.size()) {
    if (Text[I] == '\'') {
      for (++I;; ++I) {
        if (I >= Text.size()) Fail(Line, "Unterminated text");
        if (Text[I] != '\'') {
          Out += Text[I];
        } else if (I + 1 < Text.size() && Text[I + 1] == '\'') {
          Out += Text[++I];
        } else {
          break;
        }
      }
      ++I;
    } else if (Text[I] == '#') {
      unsigned Code = 256;
      const auto [End, Error] =
          std::from_chars(Text.data() + I + 1, Text.data() + Text.size(), Code);
      if (Error != std::errc() || Code > 255) Fail(Line, "Invalid character code in text");
      Out += static_cast<char>(Code);
      I = static_cast<size_t>(End - Text.data());
    } else {
      Fail(Line, "Invalid text value");
    }
  }
  return Out;
}

TTextValue ParseValue(std::string_view Text, int Line) {
  if (SameName(Text, "True")) return true;
  if (SameName(Text, "False")) return false;
  if (Text.empty()) Fail(Line, "Missing value");
  if (Text.front() == '\'' || Text.front() == '#') return ParseQuoted(Text, Line);
  if (IsIdentifier(Text)) return TName{std::string(Text)};
  std::int32_t Number = 0;
  const char* Begin = Text.data() + (Text.front() == '+' ? 1 : 0);
  const auto [End, Error] = std::from_chars(Begin, Text.data() + Text.size(), Number);
  if (Error == std::errc::result_out_of_range) Fail(Line, "Integer out of range");
  if (Error != std::errc() || End != Text.data() + Text.size()) Fail(Line, "Invalid value");
  return Number;
}

TTextBlock ParseHeading(std::string_view Rest, int Line) {
  TTextBlock Block;
  Block.Line = Line;
  const size_t Colon = Rest.find(':');
  if (Colon != std::string_view::npos) {
    Block.Name = std::string(Trim(Rest.substr(0, Colon)));
    Rest = Rest.substr(Colon + 1);
    if (!IsIdentifier(Block.Name)) Fail(Line, "Invalid component name");
  }
  Block.ClassName = std::string(Trim(Rest));
  if (!IsIdentifier(Block.ClassName)) Fail(Line, "Invalid class name");
  return Block;
}

TTextProperty ParseProperty(std::string_view Text, int Line) {
  const size_t Equals = Text.find('=');
  if (Equals == std::string_view::npos) Fail(Line, "Expected a property assignment");
  TTextProperty Property;
  Property.Name = std::string(Trim(Text.substr(0, Equals)));
  if (!IsIdentifier(Property.Name)) Fail(Line, "Invalid property name");
  Property.Value = ParseValue(Trim(Text.substr(Equals + 1)), Line);
  Property.Line = Line;
  return Property;
}

bool IsObjectHeading(std::string_view Text) {
  return Text.size() > 6 && SameName(Text.substr(0, 6), "object") &&
         (Text[6] == ' ' || Text[6] == '\t');
}

// Adds one line to the blocks open on Stack; a closed outermost block becomes Root.
void ParseLine(std::string_view Text, int Line, std::vector<TTextBlock>& Stack,
               std::optional<TTextBlock>& Root) {
  if (Root) Fail(Line, "Text after the end of the root component");
  if (IsObjectHeading(Text)) {
    Stack.push_back(ParseHeading(Text.substr(7), Line));
  } else if (SameName(Text, "end")) {
    if (Stack.empty()) Fail(Line, "'end' without 'object'");
    TTextBlock Block = std::move(Stack.back());
    Stack.pop_back();
    if (Stack.empty()) {
      Root = std::move(Block);
    } else {
      Stack.back().Children.push_back(std::move(Block));
    }
  } else {
    if (Stack.empty()) Fail(Line, "Expected 'object'");
    Stack.back().Properties.push_back(ParseProperty(Text, Line));
  }
}

TTextBlock ParseText(std::string_view Text) {
  std::vector<TTextBlock> Stack;
  std::optional<TTextBlock> Root;
  int Line = 0;
  while (!Text.empty()) {
    const size_t Break = std::min(Text.find('\n'), Text.size());
    const std::string_view Content = Trim(Text.substr(0, Break));
    Text.remove_prefix(std::min(Break + 1, Text.size()));
    ++Line;
    if (!Content.empty()) ParseLine(Content, Line, Stack, Root);
  }
  if (!Stack.empty()) Fail(Line, "Missing 'end'");
  if (!Root) Fail(Line, "No component");
  return std::move(*Root);
}

// ---------------------------------------------------------------- reading

// A reference or handler, set once every component of the form exists.
struct TPending {
  TPropertyInfo Property;
  std::string Name;
  int Line = 0;
};

// Runs Step; a component error it raises is reported at Line.
template <typename TStep>
void AtLine(int Line, TStep Step) {
  try {
    Step();
  } catch (const EComponentError& Error) {
    Fail(Line, Error.what());
  }
}

TPropertyValue ToPropertyValue(const TTextValue& Value) {
  return std::visit(
      [](const auto& Alternative) -> TPropertyValue {
        if constexpr (std::is_same_v<std::decay_t<decltype(Alternative)>, TName>) {
          return Alternative.Text;  // not reached: names are checked before
        } else {
          return Alternative;
        }
      },
      Value);
}

void ApplyProperties(TComponent& Component, const TTextBlock& Block,
                     std::vector<TPending>& Pending) {
  const TPropertyList List = PropertiesOf(Component);
  for (const TTextProperty& Text : Block.Properties) {
    const auto Found = std::find_if(List.begin(), List.end(), [&](const TPropertyInfo& Info) {
      return SameName(Info.Name, Text.Name);
    });
    if (Found == List.end()) {
      Fail(Text.Line, std::string(Component.ClassName()) + " has no property " + Text.Name);
    }
    const bool Named =
        Found->Kind == TPropertyKind::Component || Found->Kind == TPropertyKind::Method;
    const bool IsName = std::holds_alternative<TName>(Text.Value);
    if (Named != IsName || (!Named && Text.Value.index() != static_cast<size_t>(Found->Kind))) {
      Fail(Text.Line, "Invalid value for property " + Text.Name);
    }
    if (Named) {
      Pending.push_back({*Found, std::get<TName>(Text.Value).Text, Text.Line});
    } else {
      AtLine(Text.Line, [&] { Found->Set(ToPropertyValue(Text.Value)); });
    }
  }
}

void Resolve(TComponent& Root, const TPending& Pending) {
  if (Pending.Property.Kind == TPropertyKind::Component) {
    TComponent* Target = (!Root.GetName().empty() && SameName(Root.GetName(), Pending.Name))
                             ? &Root
                             : Root.FindComponent(Pending.Name);
    if (Target == nullptr) Fail(Pending.Line, "Unknown component " + Pending.Name);
    AtLine(Pending.Line, [&] { Pending.Property.Set(TPropertyValue{Target}); });
    return;
  }
  const TMethodTable* Table = Root.GetMethodTable();
  const TMethodCode Code =
      Table != nullptr ? Table->Find(Pending.Name, *Pending.Property.MethodType) : nullptr;
  if (Code == nullptr) Fail(Pending.Line, "Unknown method " + Pending.Name);
  const TMethod Method{&Root, Code, Pending.Property.MethodType};
  AtLine(Pending.Line, [&] { Pending.Property.Set(TPropertyValue{Method}); });
}

TComponent* CreateComponent(TComponent& Root, const TTextBlock& Block,
                            const TComponentClasses& Classes) {
  if (!Block.Children.empty()) {
    Fail(Block.Children.front().Line,
         "Components inside " + Block.ClassName + " are not supported");
  }
  const TComponentClasses::TFactory Factory = Classes.Find(Block.ClassName);
  if (Factory == nullptr) Fail(Block.Line, "Unknown class " + Block.ClassName);
  return Factory(&Root);
}

}  // namespace

std::string WriteComponentText(TComponent& Root) {
  std::string Out;
  WriteBlock(Out, Root, Root, "");
  return Out;
}

void ReadComponentText(TComponent& Root, std::string_view Text, const TComponentClasses& Classes) {
  const TTextBlock Form = ParseText(Text);
  if (Form.ClassName != Root.ClassName()) {
    Fail(Form.Line, "Expected " + std::string(Root.ClassName()) + ", found " + Form.ClassName);
  }
  std::vector<TComponent*> Created;
  try {
    Root.BeginLoading();
    AtLine(Form.Line, [&] { Root.SetName(Form.Name); });
    std::vector<TPending> Pending;
    ApplyProperties(Root, Form, Pending);
    for (const TTextBlock& Block : Form.Children) {
      Created.push_back(CreateComponent(Root, Block, Classes));
      Created.back()->BeginLoading();
      AtLine(Block.Line, [&] { Created.back()->SetName(Block.Name); });
      ApplyProperties(*Created.back(), Block, Pending);
    }
    for (const TPending& Item : Pending)
      Resolve(Root, Item);
  } catch (...) {
    for (auto It = Created.rbegin(); It != Created.rend(); ++It)
      delete *It;
    Root.CancelLoading();
    throw;
  }
  for (TComponent* Component : Created)
    Component->EndLoading();
  Root.EndLoading();
}
