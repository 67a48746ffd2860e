// MakeList against a plain model of the list processing (a sorted "seen" list, binary
// search and deletions from the middle), which the fast path must match exactly.
#include "tool/MakeList.h"

#include <gtest/gtest.h>

#include <random>

#include "common/QO_Utils.h"
#include "platform/Console.h"
#include "tests/support/TestText.h"

namespace {

void ModelSplitAndClean(std::u16string_view text, TQO_StringList& list, const TSwitchInfo& o) {
  TSplitSettings s;
  s.Delimiters = o.Delimiter;
  s.SingleQuotesGroup = true;
  SplitText(text, list, s);
  for (int i = list.Count() - 1; i >= 0; --i) {
    std::u16string_view item = list[i];
    if (o.OmitLeadingWhitespace) item = TrimLeftView(item);
    if (o.OmitTrailingWhitespace) item = TrimRightView(item);
    if (o.OmitBlanks && item.empty()) {
      list.Delete(i);
    } else {
      list.Put(i, std::u16string(item));
    }
  }
  if (!o.OmitDuplicates) return;
  TQO_StringList seen;
  seen.SetCaseSensitive(!o.CaseInsensitive);
  seen.SetSorted(true);
  for (int i = 0, at; i < list.Count();) {
    if (seen.Find(list[i], at)) {
      list.Delete(i);
    } else {
      seen.Add(list[i++]);
    }
  }
}

std::u16string Model(std::u16string text, const TSwitchInfo& o) {
  TQO_StringList items, other;
  items.SetCaseSensitive(!o.CaseInsensitive);
  other.SetCaseSensitive(!o.CaseInsensitive);
  ModelSplitAndClean(text, items, o);
  for (auto [filter, keepFound] : {std::pair{&o.RemoveText, false}, {&o.IntersectText, true}}) {
    if (filter->empty()) continue;
    ModelSplitAndClean(*filter, other, o);
    other.Sort();
    for (int i = items.Count() - 1, at; i >= 0; --i)
      if (other.Find(items[i], at) != keepFound) items.Delete(i);
  }
  if (o.SortOrder != 0) items.Sort();
  std::u16string out;
  for (int k = 0; k < items.Count(); ++k) {
    out += items[o.SortOrder < 0 ? items.Count() - 1 - k : k];
    out += u"\r\n";
  }
  return out;
}

std::u16string Processed(const std::u16string& text, const TSwitchInfo& o) {
  std::u16string captured;
  std::u16string* previous = Platform::CaptureStdOut(&captured);
  ProcessList(u"", u"", text, 0, o);
  Platform::CaptureStdOut(previous);
  return captured;
}

std::u16string RandomText(std::mt19937& rng, size_t items) {
  static const std::u16string_view pool[] = {u"a",   u"A",  u"b",      u"B",  u"ab",    u"Ab",
                                             u" a",  u"a ", u"",       u"  ", u"co-op", u"coop",
                                             u"x'y", u"xy", u"\u00e9", u"E",  u"10",    u"9"};
  std::u16string text;
  for (size_t i = 0; i < items; ++i) {
    if (i) text += u';';
    text += pool[rng() % std::size(pool)];
  }
  return text;
}

TEST(ProcessList, MatchesTheListModelForEverySwitchMix) {
  std::mt19937 rng(20261206);
  for (int round = 0; round < 400; ++round) {
    TSwitchInfo o;
    o.OmitDuplicates = rng() % 2;
    o.OmitBlanks = rng() % 2;
    o.OmitLeadingWhitespace = rng() % 3 == 0;
    o.OmitTrailingWhitespace = rng() % 3 == 0;
    o.CaseInsensitive = rng() % 2;
    o.SortOrder = static_cast<int16_t>(int(rng() % 3) - 1);
    if (rng() % 3 == 0) o.RemoveText = RandomText(rng, 3);
    if (rng() % 3 == 0) o.IntersectText = RandomText(rng, 6);
    std::u16string text = RandomText(rng, 1 + rng() % 40);
    ASSERT_EQ(Platform::ToUtf8(Processed(text, o)), Platform::ToUtf8(Model(text, o)))
        << "round " << round << " text " << Platform::ToUtf8(text);
  }
}

TEST(ProcessList, LongListsTakeTheParallelPathAndStillMatch) {
  std::mt19937 rng(7);
  TSwitchInfo o;
  o.OmitDuplicates = true;
  o.SortOrder = 1;
  o.RemoveText = u"a;B;co-op";
  std::u16string text = RandomText(rng, 21000);
  EXPECT_TRUE(Processed(text, o) == Model(text, o));
}

}  // namespace
