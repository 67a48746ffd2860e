#include "tool/MakeList.h"

#include <memory>
#include <vector>

#include "common/QO_SortKeys.h"
#include "common/QO_Utils.h"
#include "tool/Output.h"

namespace {

using TItems = std::vector<std::u16string_view>;

// The separator that joins prepended and appended text and the String format's output.
char16_t SeparatorOf(const TSwitchInfo& options) {
  return options.Delimiter.empty() ? u';' : options.Delimiter[0];
}

std::u16string_view TrimByOptions(std::u16string_view item, const TSwitchInfo& options) {
  if (options.OmitLeadingWhitespace) item = TrimLeftView(item);
  if (options.OmitTrailingWhitespace) item = TrimRightView(item);
  return item;
}

// Cuts the text at the delimiters and applies the whitespace and blank switches. Leaves
// the duplicates to the caller, which needs the sort keys for them anyway.
TItems SplitAndClean(std::u16string_view text, const TSwitchInfo& options) {
  TSplitSettings settings;
  settings.Delimiters = options.Delimiter;
  settings.SingleQuotesGroup = true;
  TItems items;
  SplitText(text, items, settings);
  bool whitespace = options.OmitLeadingWhitespace || options.OmitTrailingWhitespace;
  if (!whitespace && !options.OmitBlanks) return items;
  size_t out = 0;
  for (auto item : items) {
    item = TrimByOptions(item, options);
    if (options.OmitBlanks && item.empty()) continue;
    items[out++] = item;
  }
  items.resize(out);
  return items;
}

// Quotes or unquotes one output item by the quote mode.
std::u16string Quoted(std::u16string_view item, int32_t quoteMode) {
  switch (quoteMode) {
    case -2:
      return StripQuotes(item, kQuoteDouble, true);
    case -1:
      return StripQuotes(item, kQuoteCoded, true);
    case 1:
      return QuoteText(item, kQuoteCoded);
    case 2:
      return QuoteText(item, kQuoteDouble);
    default:
      return std::u16string(item);
  }
}

// Which items survive de-duplication, removal and intersection, and in what order.
std::vector<uint32_t> SelectItems(const TItems& items, const TSwitchInfo& options) {
  std::vector<uint32_t> selected;
  bool sort = options.SortOrder != 0;
  if (!sort && !options.OmitDuplicates && options.RemoveText.empty() &&
      options.IntersectText.empty()) {
    selected.resize(items.size());
    for (uint32_t i = 0; i < selected.size(); ++i)
      selected[i] = i;
    return selected;
  }
  // The items' keys meet those of the remove and intersect texts: one kind for all.
  TItems removedItems = SplitAndClean(options.RemoveText, options);
  TItems wantedItems = SplitAndClean(options.IntersectText, options);
  Platform::SortKeyKind kind =
      SortKeyKindFor(wantedItems, SortKeyKindFor(removedItems, SortKeyKindFor(items)));
  bool caseSensitive = !options.CaseInsensitive;
  TSortKeys keys(items, caseSensitive, kind);
  std::vector<bool> keep(items.size(), true);
  std::vector<uint32_t> order;
  if (sort || options.OmitDuplicates) order = keys.AscendingOrder();
  // Equal keys stand together in index order: all but the first occurrence are duplicates.
  if (options.OmitDuplicates)
    for (size_t i = 1; i < order.size(); ++i)
      if (keys[order[i]] == keys[order[i - 1]]) keep[order[i]] = false;
  if (!options.RemoveText.empty()) {
    TSortKeySet removed(TSortKeys(removedItems, caseSensitive, kind));
    for (size_t i = 0; i < items.size(); ++i)
      if (keep[i] && removed.Contains(keys[i])) keep[i] = false;
  }
  if (!options.IntersectText.empty()) {
    TSortKeySet wanted(TSortKeys(wantedItems, caseSensitive, kind));
    for (size_t i = 0; i < items.size(); ++i)
      if (keep[i] && !wanted.Contains(keys[i])) keep[i] = false;
  }
  if (!sort) {
    order.resize(items.size());
    for (uint32_t i = 0; i < order.size(); ++i)
      order[i] = i;
  }
  for (uint32_t i : order)
    if (keep[i]) selected.push_back(i);
  return selected;
}

}  // namespace

void MakeList(TStringList& params, const TSwitchInfo& options) {
  if (params.Count() == 0) return;
  std::u16string text;
  for (int i = 0; i < params.Count(); ++i) {
    if (i > 0) text.push_back(u';');
    text += StripQuotes(params[i], kQuoteDouble, true);
  }
  ProcessList(u"", u"", text, 0, options);
}

void ProcessList(std::u16string_view name, std::u16string_view type, std::u16string_view text,
                 int headerFlag, const TSwitchInfo& options) {
  if (headerFlag > 0 && !name.empty())
    WriteLine(std::u16string(name) + u"\t" + std::u16string(type) + u":");
  char16_t separator = SeparatorOf(options);
  std::u16string combined;
  if (!options.PrependText.empty() || !options.AppendText.empty()) {
    combined.reserve(options.PrependText.size() + text.size() + options.AppendText.size() + 2);
    if (!options.PrependText.empty()) (combined += options.PrependText) += separator;
    combined += text;
    if (!options.AppendText.empty()) (combined += separator) += options.AppendText;
    text = combined;
  }
  TItems items = SplitAndClean(text, options);
  std::vector<uint32_t> selected = SelectItems(items, options);
  bool stringFormat = EqualsIgnoreCase(options.FormatMode, u"string");
  std::u16string accumulator;
  bool quoting = options.QuoteMode >= -2 && options.QuoteMode <= 2 && options.QuoteMode != 0;
  std::u16string quoted;
  // The list format's lines go out in blocks: a million lines one by one cost a tenth of
  // the run. What was emitted before a failure is still written.
  constexpr size_t kOutputBlock = 1 << 15;
  std::u16string lines;
  auto emit = [&](std::u16string_view item) {
    if (quoting) {
      quoted = Quoted(item, options.QuoteMode);
      item = quoted;
    }
    if (!stringFormat) {
      (lines += item) += u"\r\n";
      if (lines.size() >= kOutputBlock) {
        Platform::WriteStdOut(lines);
        lines.clear();
      }
      return;
    }
    if (!accumulator.empty()) accumulator.push_back(separator);
    accumulator += item;
  };
  try {
    if (options.SortOrder < 0) {
      for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        emit(items[*it]);
    } else {
      for (uint32_t i : selected)
        emit(items[i]);
    }
  } catch (...) {
    Platform::WriteStdOut(lines);
    throw;
  }
  Platform::WriteStdOut(lines);
  if (stringFormat) WriteLine(accumulator);
}
