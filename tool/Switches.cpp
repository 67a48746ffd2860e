#include "tool/Switches.h"

#include <array>

#include "common/QO_Utils.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

enum class TSwitchEffect { Flag, Value, Nothing };

// One row of the switch table: how the word matches and what it sets.
struct TSwitchRule {
  std::u16string_view Word;
  size_t PrefixLength;  // 0: the whole word must match.
  void (*Apply)(TSwitchInfo&, std::u16string&&);
  bool TakesValue;
};

#define FLAG(field, v) [](TSwitchInfo& s, std::u16string&&) { s.field = v; }
#define VALUE(field) [](TSwitchInfo& s, std::u16string&& v) { s.field = std::move(v); }

// First match wins, in this order.
const std::array<TSwitchRule, 30> kSwitchRules = {{
    {u"/s", 0, FLAG(SFlag, true), false},
    {u"/fo", 3, VALUE(FormatMode), true},
    {u"/de", 3,
     [](TSwitchInfo& s, std::u16string&& v) { s.Delimiter = v.empty() ? u";," : std::move(v); },
     true},
    {u"/enc", 4, VALUE(EncValue), true},
    {u"/esc", 0, VALUE(EscValue), true},
    {u"/sa", 0, FLAG(SortOrder, 1), false},
    {u"/sd", 0, FLAG(SortOrder, -1), false},
    {u"/od", 0, FLAG(OmitDuplicates, true), false},
    {u"/ob", 0, FLAG(OmitBlanks, true), false},
    {u"/olws", 0, FLAG(OmitLeadingWhitespace, true), false},
    {u"/otws", 0, FLAG(OmitTrailingWhitespace, true), false},
    {u"/ci", 0, FLAG(CaseInsensitive, true), false},
    {u"/q0", 0, FLAG(QuoteMode, 0), false},
    {u"/q1+", 0, FLAG(QuoteMode, 1), false},
    {u"/q2+", 0, FLAG(QuoteMode, 2), false},
    {u"/q1-", 0, FLAG(QuoteMode, -1), false},
    {u"/q2-", 0, FLAG(QuoteMode, -2), false},
    {u"/prepend", 0, VALUE(PrependText), true},
    {u"/append", 0, VALUE(AppendText), true},
    {u"/intrsct", 0, VALUE(IntersectText), true},
    {u"/remove", 0, VALUE(RemoveText), true},
    {u"/v", 0, VALUE(ValueName), true},
    {u"/ve", 0, FLAG(DefaultValue, true), false},
    {u"/va", 0, FLAG(AllValues, true), false},
    {u"/d", 0, VALUE(ValueData), true},
    {u"/t", 0, VALUE(ValueType), true},
    {u"/f", 0, [](TSwitchInfo&, std::u16string&&) {}, false},
    {u"/dryrun", 0, FLAG(DryRun, true), false},
    {u"/ignoreide", 0, FLAG(IgnoreIde, true), false},
    {u"/undo", 0, VALUE(UndoFile), true},
}};

#undef FLAG
#undef VALUE

const TSwitchRule* MatchSwitch(std::u16string_view word) {
  for (const auto& rule : kSwitchRules) {
    std::u16string_view tested = rule.PrefixLength ? word.substr(0, rule.PrefixLength) : word;
    if (EqualsIgnoreCase(tested, rule.Word)) return &rule;
  }
  return nullptr;
}

// Turns a file's text into its lines joined with `separator`, in place: each line break
// (CR LF, LF or CR) becomes one separator, and a final line break none.
void JoinFileLines(std::u16string& text, char16_t separator) {
  size_t out = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c != u'\r' && c != u'\n') {
      text[out++] = c;
      continue;
    }
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
    if (i + 1 < text.size()) text[out++] = separator;
  }
  text.resize(out);
}

// Strips quotes of any kind from a switch value without copying one that has none.
void StripValueQuotes(std::u16string& value) {
  std::u16string stripped;
  if (TryStripQuotes(value, kQuoteAny, true, stripped)) value = std::move(stripped);
}

}  // namespace

std::u16string GetParam(int index, TStringList& list, const std::u16string& delimiter) {
  if (index < 0 || index >= list.Count()) return std::u16string();
  std::u16string value = list[index];
  std::u16string result;
  if (IsQuoted(value, kQuoteDouble)) {
    result = StripQuotes(value, kQuoteDouble, true);
  } else if (EqualsIgnoreCase(value, u"/file")) {
    list.Delete(index);
    if (index >= list.Count()) throw Exception(u"Missing file name");
    std::u16string file = StripQuotes(list[index], kQuoteDouble, true);
    if (!Platform::FileExists(file)) throw Exception(u"File does not exist: " + file);
    result = Platform::ReadTextFile(file);
    JoinFileLines(result, delimiter.empty() ? u';' : delimiter[0]);
  } else {
    result = std::move(value);
  }
  list.Delete(index);
  return result;
}

void SplitCommandLine(std::u16string_view commandLine, TStringList& params) {
  TSplitSettings settings;
  settings.SpaceSeparates = true;
  settings.Delimiters = u";,";
  settings.TrimItems = true;
  SplitText(commandLine, params, settings);
}

void LiftSwitches(TStringList& params, TSwitchInfo& switches) {
  int i = 0;
  while (i < params.Count()) {
    std::u16string p = params[i];
    if (IsQuoted(p, kQuoteDouble)) {
      p = StripQuotes(p, kQuoteDouble, true);
      params.Put(i, p);
    }
    const TSwitchRule* rule = MatchSwitch(StripQuotes(p, kQuoteAny, true));
    if (!rule) {
      ++i;
      continue;
    }
    std::u16string value;
    if (rule->TakesValue) {
      value = GetParam(i + 1, params, switches.Delimiter);
      StripValueQuotes(value);
    }
    rule->Apply(switches, std::move(value));
    params.Delete(i);
  }
}
