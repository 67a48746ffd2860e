#include "common/QO_StringList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/Errors.h"
#include "tests/support/TestText.h"

namespace {

template <typename TFunc>
std::u16string ListError(TFunc f) {
  try {
    f();
  } catch (const EStringListError& e) {
    return e.Message();
  }
  return u"(no error)";
}

TEST(TStringList, SortPutsLowerCaseDirectlyBeforeUpperCase) {
  TStringList list;
  list.SetCaseSensitive(true);
  for (auto s : {u"d", u"a", u"b", u"c", u"C", u"B", u"A", u"D"})
    list.Add(s);
  list.Sort();
  EXPECT_EQ(list.Items(), Texts({u"a", u"A", u"b", u"B", u"c", u"C", u"d", u"D"}));
}

TEST(TStringList, SortedAddFollowsTheDuplicatesPolicy) {
  TStringList list;
  list.SetSorted(true);
  EXPECT_EQ(list.Add(u"b"), 0);
  EXPECT_EQ(list.Add(u"a"), 0);
  EXPECT_EQ(list.Add(u"B"), 1);  // Equal to "b" ignoring case: ignored.
  EXPECT_EQ(list.Count(), 2);
  list.SetDuplicates(TDuplicates::dupError);
  EXPECT_EQ(ListError([&] { list.Add(u"A"); }), u"String list does not allow duplicates");
  list.SetDuplicates(TDuplicates::dupAccept);
  list.Add(u"A");
  EXPECT_EQ(list.Count(), 3);
  int index = -1;
  EXPECT_TRUE(list.Find(u"a", index));
  EXPECT_EQ(index, 0);  // The first of the equal items.
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.Items(), Texts({u"a", u"A", u"b"}));
  EXPECT_FALSE(list.Find(u"B", index));
  EXPECT_EQ(index, 3);
}

TEST(TStringList, IndexAndSortedListErrors) {
  TStringList list;
  list.Add(u"x");
  EXPECT_EQ(ListError([&] { list.Get(1); }), u"List index out of bounds (1)");
  EXPECT_EQ(ListError([&] { list.Delete(-1); }), u"List index out of bounds (-1)");
  EXPECT_EQ(ListError([&] { list.Exchange(0, 5); }), u"List index out of bounds (5)");
  EXPECT_EQ(ListError([&] { list.Insert(2, u"y"); }), u"List index out of bounds (2)");
  list.Insert(1, u"y");
  list.SetSorted(true);
  EXPECT_EQ(ListError([&] { list.Insert(0, u"z"); }), u"Operation not allowed on sorted list");
  EXPECT_EQ(ListError([&] { list.Put(0, u"z"); }), u"Operation not allowed on sorted list");
}

TEST(TStringList, NotificationsWaitForTheOutermostEndUpdate) {
  TStringList list;
  int changed = 0, changing = 0;
  list.OnChange = [&](TStringList&) { ++changed; };
  list.OnChanging = [&](TStringList&) { ++changing; };
  list.Add(u"a");
  EXPECT_EQ(changed, 1);
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(u"b");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changed, 1);
  list.EndUpdate();
  EXPECT_EQ(changed, 2);
  EXPECT_EQ(changing, 2);
}

class CountingList : public TQO_StringList {
 public:
  int Notifications = 0;

 protected:
  void ChangeCountChanged() override { ++Notifications; }
};

TEST(TQO_StringList, CountsStructuralChangesButNotBlankAdds) {
  CountingList list;
  list.Clear();
  EXPECT_EQ(list.ChangeCount(), 0);
  list.Add(u"  ");
  EXPECT_EQ(list.ChangeCount(), 0);
  EXPECT_EQ(list.Notifications, 0);
  EXPECT_FALSE(list.InternalChange());
  list.Add(u"x");
  EXPECT_EQ(list.ChangeCount(), 1);
  list.Put(1, u"y");
  list.Exchange(0, 1);
  list.Delete(0);
  EXPECT_EQ(list.ChangeCount(), 4);
  list.Clear();
  EXPECT_EQ(list.ChangeCount(), 5);
  EXPECT_EQ(list.NotifiedChangeCount(), 5);
}

TEST(TQO_StringList, UpdatesDeferTheNotificationToTheEnd) {
  CountingList list;
  list.BeginUpdate();
  EXPECT_TRUE(list.Updating());
  list.Add(u"a");
  list.Add(u"b");
  int during = list.Notifications;
  list.EndUpdate();
  EXPECT_FALSE(list.Updating());
  EXPECT_GT(list.Notifications, during);
  EXPECT_EQ(list.NotifiedChangeCount(), 2);
}

TEST(TQO_StringList, AssignCopiesTheCounters) {
  TQO_StringList source, target;
  source.Add(u"a");
  source.Add(u"b");
  target.Assign(source);
  EXPECT_EQ(target.Items(), Texts({u"a", u"b"}));
  EXPECT_EQ(target.ChangeCount(), source.ChangeCount());
  std::string stream;
  target.SaveToStream(&stream);
  EXPECT_EQ(stream, "a\r\nb\r\n");
  target.SaveToStream(nullptr);
}

// AddText is Add without building the item first: the same items, notifications, change
// counts and errors for each kind of list and duplicates policy, a descendant included.
TEST(TStringList, AddTextAddsAsAddDoes) {
  struct TLogged : TQO_StringList {
    std::string* Log = nullptr;
    void ChangeCountChanged() override { *Log += " #" + std::to_string(ChangeCount()); }
  };
  auto run = [](int kind, bool sorted, TDuplicates duplicates, bool byText) {
    std::string log;
    std::unique_ptr<TStringList> list;
    if (kind == 0) list = std::make_unique<TStringList>();
    if (kind == 1) list = std::make_unique<TQO_StringList>();
    if (kind == 2) {
      auto logged = std::make_unique<TLogged>();
      logged->Log = &log;
      list = std::move(logged);
    }
    list->OnChanging = [&](TStringList& l) { log += " <" + std::to_string(l.Count()); };
    list->OnChange = [&](TStringList& l) { log += " >" + std::to_string(l.Count()); };
    list->SetSorted(sorted);
    list->SetDuplicates(duplicates);
    int added = 0;
    for (const char16_t* text : {u"b", u"a", u"B", u"  ", u"c", u"a", u"", u"A"}) {
      if (++added == 5) list->BeginUpdate();
      try {
        log += " " + std::to_string(byText ? list->AddText(text) : list->Add(text));
      } catch (const EStringListError& e) {
        log += " " + Platform::ToUtf8(e.Message());
      }
    }
    list->EndUpdate();
    for (const auto& item : list->Items())
      log += " [" + Platform::ToUtf8(item) + "]";
    if (auto* counted = dynamic_cast<TQO_StringList*>(list.get()))
      log += " " + std::to_string(counted->ChangeCount()) + "/" +
             std::to_string(counted->NotifiedChangeCount());
    return log;
  };
  for (int kind = 0; kind < 3; ++kind)
    for (bool sorted : {false, true})
      for (TDuplicates d : {TDuplicates::dupIgnore, TDuplicates::dupAccept, TDuplicates::dupError})
        EXPECT_EQ(run(kind, sorted, d, true), run(kind, sorted, d, false))
            << kind << " " << sorted << " " << int(d);
}

}  // namespace
