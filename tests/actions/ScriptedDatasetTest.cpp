// The actions against datasets whose answers a test sets directly: every state code, row
// numbers at the ends of the 32-bit range, and what a fetch changes.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "tests/actions/Navigator.h"

namespace {

// A dataset that answers what the test sets and records the moves and fetches asked of it.
template <class TBase>
class TScripted : public TBase {
 public:
  explicit TScripted(TComponent* AOwner) : TBase(AOwner) { this->Open(); }

  std::uint8_t Code = QO_dsBrowse;
  bool CanScroll = true;
  std::int32_t Lower = 0;
  std::int32_t Current = 5;
  std::int32_t Upper = 10;
  bool Ignore = false;
  bool End = false;
  std::vector<std::string> Calls;
  std::function<void()> OnFetch;

  // Tells the links that the answers changed.
  void Changed() { this->Notify(TQO_DataEvent::LayoutChanged); }

  std::uint8_t StateCode() const override { return Code; }
  bool GetCanScroll() const override { return CanScroll; }
  std::int32_t CurrentRowNumber() const override { return Current; }
  std::int32_t LowerRowBound() const override { return Lower; }
  std::int32_t UpperRowBound() const override { return Upper; }
  bool IgnoreRowBounds() const override { return Ignore; }
  bool AtEnd() const override { return End; }
  void FetchRowRange(std::int32_t From, std::int32_t To) override {
    Calls.push_back("Fetch " + std::to_string(From) + "," + std::to_string(To));
    if (OnFetch) OnFetch();
  }

 protected:
  void DoOpen() override {}
  void DoClose() override {}
  bool DoFirst() override { return Record("First"); }
  bool DoPrior() override { return Record("Prior"); }
  bool DoNext() override { return Record("Next"); }
  bool DoLast() override { return Record("Last"); }
  const std::vector<std::string>* CurrentRow() const override { return nullptr; }
  void StoreCurrentRow(std::vector<std::string>) override {}

 private:
  bool Record(const char* Move) {
    Calls.push_back(Move);
    return false;
  }
};

class TScriptedBDataset : public TScripted<TQO_BDataset> {
 public:
  using TScripted::TScripted;
  bool LowerKnown = true;
  bool UpperKnown = true;
  bool LowerBoundKnown() const override { return LowerKnown; }
  bool UpperBoundKnown() const override { return UpperKnown; }
};

TEST(ScriptedDataset, NavigationIsOfferedInStateCodes1And12Only) {
  TNavigator Navigator;
  TScriptedBDataset Buffered(nullptr);
  TScripted<TQO_Dataset> Plain(nullptr);
  for (TQO_Dataset* Dataset : std::initializer_list<TQO_Dataset*>{&Buffered, &Plain}) {
    Navigator.Attach(Dataset);
    for (int Code = 0; Code <= 255; ++Code) {
      Buffered.Code = Plain.Code = static_cast<std::uint8_t>(Code);
      Buffered.Changed();
      Plain.Changed();
      const bool Offered = Code == 1 || Code == 12;
      const char* Expected = !Offered ? "----" : Dataset == &Buffered ? "FPNL" : "F-NL";
      EXPECT_EQ(Navigator.States(), Expected) << "state code " << Code;
    }
  }
  Navigator.Attach(&Buffered);
  Buffered.Code = QO_dsBrowse;
  Buffered.CanScroll = false;
  Buffered.Changed();
  EXPECT_EQ(Navigator.States(), "----");
}

struct TExtremeCase {
  const char* Name;
  std::int32_t Lower;
  std::int32_t Current;
  std::int32_t Upper;
  const char* States;
  std::vector<std::string> PriorCalls;
  std::vector<std::string> NextCalls;
};

TEST(ScriptedDataset, RowNumbersAtTheEndsOfTheRangeCompareExactly) {
  const TExtremeCase Cases[] = {
      {"all at the top", INT32_MAX, INT32_MAX, INT32_MAX, "F--L", {}, {}},
      {"all at the bottom", INT32_MIN, INT32_MIN, INT32_MIN, "F--L", {}, {}},
      {"last buffered row below the top",
       0,
       INT32_MAX - 1,
       INT32_MAX,
       "FP--",
       {"Prior"},
       {"Fetch 2147483647,2147483647"}},
      {"first buffered row above the bottom",
       INT32_MIN,
       INT32_MIN + 1,
       0,
       "--NL",
       {"Fetch -2147483648,-2147483648"},
       {"Next"}},
  };
  for (const TExtremeCase& Case : Cases) {
    TNavigator Navigator;
    TScriptedBDataset Dataset(nullptr);
    Dataset.Lower = Case.Lower;
    Dataset.Current = Case.Current;
    Dataset.Upper = Case.Upper;
    Navigator.Attach(&Dataset);
    EXPECT_EQ(Navigator.States(), Case.States) << Case.Name;
    Navigator.Prior->ExecuteTarget(nullptr);
    EXPECT_EQ(Dataset.Calls, Case.PriorCalls) << Case.Name;
    Dataset.Calls.clear();
    Navigator.Next->ExecuteTarget(nullptr);
    EXPECT_EQ(Dataset.Calls, Case.NextCalls) << Case.Name;
  }
}

TEST(ScriptedDataset, TheMoveReadsTheDatasetAgainAfterTheFetch) {
  TNavigator Navigator;
  TScriptedBDataset Dataset(nullptr);
  Navigator.Attach(&Dataset);
  Dataset.Current = 9;  // last buffered row
  Dataset.OnFetch = [&] { Dataset.Ignore = true; };
  Navigator.Next->ExecuteTarget(nullptr);
  EXPECT_EQ(Dataset.Calls, (std::vector<std::string>{"Fetch 10,10", "Next"}));

  Dataset.Calls.clear();
  Dataset.Ignore = false;
  Dataset.Current = 1;  // first buffered row
  Dataset.OnFetch = [&] { Dataset.Lower = -1; };
  Navigator.Prior->ExecuteTarget(nullptr);
  EXPECT_EQ(Dataset.Calls, (std::vector<std::string>{"Fetch 0,0", "Prior"}));

  // Without a row brought in, the action only recomputes.
  Dataset.Calls.clear();
  Dataset.OnFetch = nullptr;
  Dataset.Lower = 0;
  const int Before = Navigator.Prior->Recomputations;
  Navigator.Prior->ExecuteTarget(nullptr);
  EXPECT_EQ(Dataset.Calls, (std::vector<std::string>{"Fetch 0,0"}));
  EXPECT_EQ(Navigator.Prior->Recomputations, Before + 1);
  EXPECT_FALSE(Navigator.Prior->GetEnabled());
}

}  // namespace
