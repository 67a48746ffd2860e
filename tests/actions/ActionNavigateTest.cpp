// The navigation actions over the in-memory datasets: the enabling rules, the moves with
// their boundary handling, the order of recomputations, and the action's lifetime.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/actions/Navigator.h"

namespace {

// A buffered in-memory dataset that records each FetchRowRange call.
class TWatchedBDataset : public TQO_MemBDataset {
 public:
  using TQO_MemBDataset::TQO_MemBDataset;
  void FetchRowRange(std::int32_t From, std::int32_t To) override {
    Fetches.push_back(std::to_string(From) + "," + std::to_string(To));
    TQO_MemBDataset::FetchRowRange(From, To);
  }
  std::vector<std::string> Fetches;
};

enum class TKind { Buffered, ForwardOnly };

// How a test's dataset is made; the modifiers return a changed copy.
struct TDatasetSetup {
  TKind Kind = TKind::Buffered;
  int Rows = 5;
  int BufferRows = 0;
  bool CountKnown = true;
  bool IgnoreRowBounds = false;

  TDatasetSetup ForwardOnly() const { return With(&TDatasetSetup::Kind, TKind::ForwardOnly); }
  TDatasetSetup WithRows(int Value) const { return With(&TDatasetSetup::Rows, Value); }
  TDatasetSetup Buffer(int Value) const { return With(&TDatasetSetup::BufferRows, Value); }
  TDatasetSetup CountUnknown() const { return With(&TDatasetSetup::CountKnown, false); }
  TDatasetSetup Ignoring() const { return With(&TDatasetSetup::IgnoreRowBounds, true); }

 private:
  template <typename T>
  TDatasetSetup With(T TDatasetSetup::*Field, T Value) const {
    TDatasetSetup Copy = *this;
    Copy.*Field = Value;
    return Copy;
  }
};

std::unique_ptr<TQO_Dataset> MakeDataset(const TDatasetSetup& Setup) {
  if (Setup.Kind == TKind::ForwardOnly) {
    auto Dataset = std::make_unique<TQO_MemDataset>(nullptr);
    Fill(*Dataset, Setup.Rows);
    return Dataset;
  }
  auto Dataset = std::make_unique<TWatchedBDataset>(nullptr);
  Fill(*Dataset, Setup.Rows);
  Dataset->SetBufferRows(Setup.BufferRows);
  Dataset->SetCountKnown(Setup.CountKnown);
  Dataset->SetIgnoreRowBounds(Setup.IgnoreRowBounds);
  return Dataset;
}

struct TEnableCase {
  const char* Name;
  TDatasetSetup Setup;
  const char* Script;
  const char* States;
};

// The states after a move are MovesHandleTheBufferBounds's, and the state codes that offer
// navigation ScriptedDataset's; these are the states moves of the actions do not reach.
TEST(ActionNavigate, EnabledFollowsTheDatasetThroughItsNotifications) {
  const TDatasetSetup Buffered;
  const TDatasetSetup Forward = TDatasetSetup().ForwardOnly().WithRows(3);
  const TEnableCase Cases[] = {
      {"before the first row", Buffered, "open prior", "F-NL"},
      {"after the last row", Buffered, "open last next", "FP-L"},
      {"only one row", Buffered.WithRows(1), "open", "----"},
      {"first buffered row, beginning unknown", Buffered.Buffer(2), "open last prior", "FPNL"},
      {"last buffered row, end unknown", Buffered.Buffer(2), "open next", "FPNL"},
      {"last row, end not yet found", Buffered.WithRows(3).CountUnknown(), "open next next",
       "FPNL"},
      {"closed (state 0)", Buffered, "", "----"},
      {"editing (state 2)", Buffered, "open next edit", "----"},
      {"no rows, cannot scroll", Buffered.WithRows(0), "open", "----"},
      {"forward-only, after the last row", Forward, "open last next", "F---"},
      {"forward-only, no rows", Forward.WithRows(0), "open", "----"},
  };
  for (const TEnableCase& Case : Cases) {
    TNavigator Navigator;
    const auto Dataset = MakeDataset(Case.Setup);
    Navigator.Attach(Dataset.get());
    RunScript(*Dataset, Case.Script);
    EXPECT_EQ(Navigator.States(), Case.States) << Case.Name;
  }
}

TEST(ActionNavigate, WithoutAPreparedLinkEveryRecomputationDisables) {
  TNavigator Navigator;
  EXPECT_EQ(Navigator.States(), "FPNL");  // the framework's default until a recomputation
  Navigator.First->SetDataSource(nullptr);
  EXPECT_EQ(Navigator.States(), "-PNL");
  Navigator.Attach(nullptr);  // a data source without a dataset
  EXPECT_EQ(Navigator.States(), "----");
  for (TQO_CustomActionNavigate* Action : Navigator.Actions()) {
    Action->SetEnabled(true);
    EXPECT_TRUE(Action->Execute());
    Action->ExecuteTarget(nullptr);
  }
}

struct TMoveCase {
  const char* Name;
  TDatasetSetup Setup;
  const char* Script;
  char Action;  // F, P, N or L
  std::vector<std::string> Fetches;
  std::int32_t Row;  // current row afterwards
  const char* States;
};

TEST(ActionNavigate, MovesHandleTheBufferBounds) {
  const TDatasetSetup Buffered;
  const TDatasetSetup Forward = TDatasetSetup().ForwardOnly().WithRows(3);
  const TMoveCase Cases[] = {
      {"next within the buffer", Buffered, "open next", 'N', {}, 3, "FPNL"},
      {"next brings in a row", Buffered.Buffer(2), "open next", 'N', {"3,3"}, 3, "FPNL"},
      {"next finds the end",
       Buffered.WithRows(3).CountUnknown(),
       "open next next",
       'N',
       {"4,4"},
       3,
       "FP--"},
      {"next on the known last row", Buffered.WithRows(3), "open last", 'N', {"4,4"}, 3, "FP--"},
      {"next ignoring bounds", Buffered.Buffer(2).Ignoring(), "open next", 'N', {}, 3, "FPNL"},
      {"next ignoring bounds past the end",
       Buffered.WithRows(3).Ignoring(),
       "open last",
       'N',
       {},
       4,
       "FP-L"},
      {"prior within the buffer", Buffered, "open next next", 'P', {}, 2, "FPNL"},
      {"prior brings in a row", Buffered.Buffer(2), "open last prior", 'P', {"3,3"}, 3, "FPNL"},
      {"prior on the first row", Buffered, "open", 'P', {"0,0"}, 1, "--NL"},
      {"prior ignoring bounds", Buffered.Ignoring(), "open", 'P', {}, 0, "F-NL"},
      {"first slides the window back", Buffered.Buffer(2), "open last", 'F', {}, 1, "--NL"},
      {"last slides the window on", Buffered.Buffer(2), "open", 'L', {}, 5, "FP--"},
      {"forward-only next", Forward, "open", 'N', {}, 2, "F-NL"},
      {"forward-only first", Forward, "open next", 'F', {}, 1, "F-NL"},
      {"forward-only last", Forward, "open", 'L', {}, 3, "F---"},
  };
  for (const TMoveCase& Case : Cases) {
    TNavigator Navigator;
    const auto Dataset = MakeDataset(Case.Setup);
    Navigator.Attach(Dataset.get());
    RunScript(*Dataset, Case.Script);
    const std::string Names = "FPNL";
    Navigator.Actions()[Names.find(Case.Action)]->ExecuteTarget(nullptr);
    if (const auto* Watched = dynamic_cast<TWatchedBDataset*>(Dataset.get())) {
      EXPECT_EQ(Watched->Fetches, Case.Fetches) << Case.Name;
    }
    EXPECT_EQ(Dataset->CurrentRowNumber(), Case.Row) << Case.Name;
    EXPECT_EQ(Navigator.States(), Case.States) << Case.Name;
  }
}

TEST(ActionNavigate, EveryRecomputationEndsInExactlyOneSetEnabled) {
  TNavigator Navigator;
  TWatchedBDataset Rows(nullptr);
  Fill(Rows, 6);
  Rows.SetBufferRows(2);
  Rows.SetCountKnown(false);
  Navigator.Attach(&Rows);
  RunScript(Rows, "open next next last prior first edit");
  Rows.Post();
  for (int I = 0; I < 7; ++I)
    Navigator.Next->Execute();
  for (int I = 0; I < 7; ++I)
    Navigator.Prior->Execute();
  Navigator.Last->Execute();
  Navigator.First->Execute();
  Rows.Close();
  Navigator.Attach(nullptr);
  for (size_t I = 0; I < 4; ++I) {
    const TCounts& Counts = *Navigator.Counts()[I];
    const std::string& Name = Navigator.Actions()[I]->GetName();
    EXPECT_GT(Counts.Recomputations, 20) << Name;
    EXPECT_EQ(Counts.BadRecomputations, 0) << Name;
    EXPECT_EQ(Counts.SetEnabledCalls, Counts.Recomputations) << Name;
  }
  EXPECT_EQ(Navigator.States(), "----");
}

TEST(ActionNavigate, ExecutedByAnyTargetAlwaysMovesItsOwnDataset) {
  TNavigator Navigator;
  TQO_MemBDataset Rows(nullptr);
  TQO_MemBDataset Other(nullptr);
  Fill(Rows, 3);
  Fill(Other, 3);
  Navigator.Attach(&Rows);
  Rows.Open();
  Other.Open();
  EXPECT_TRUE(Navigator.Next->HandlesTarget(nullptr));
  EXPECT_TRUE(Navigator.Next->HandlesTarget(&Other));
  TObject* const Targets[] = {&Other, &Rows};
  EXPECT_TRUE(Navigator.Next->Execute(Targets));
  EXPECT_EQ(Rows.CurrentRowNumber(), 2);
  EXPECT_EQ(Other.CurrentRowNumber(), 1);
}

TEST(ActionNavigate, ADatasetErrorPassesOnWithoutRecomputation) {
  TNavigator Navigator;
  TQO_MemDataset Forward(nullptr);
  Fill(Forward, 3);
  Navigator.Attach(&Forward);
  Forward.Open();
  Forward.Next();
  const int Before = Navigator.Prior->Recomputations;
  EXPECT_THROW(Navigator.Prior->ExecuteTarget(nullptr), EQO_DatasetError);
  EXPECT_EQ(Navigator.Prior->Recomputations, Before);

  Forward.Close();
  TQO_MemBDataset Closed(nullptr);
  Fill(Closed, 3);
  Navigator.Attach(&Closed);
  EXPECT_THROW(Navigator.Next->ExecuteTarget(nullptr), EQO_DatasetError);
  EXPECT_THROW(Navigator.First->ExecuteTarget(nullptr), EQO_DatasetError);
}

// Looks at the action's data link at the moment the action is being destroyed, before the
// framework destroys the components the action owns.
class TDestructionWatcher : public TComponent {
 public:
  explicit TDestructionWatcher(TQO_DataLink* Link) : TComponent(nullptr), FLink(Link) {}
  bool Told = false;
  bool HandlersCleared = false;
  bool FocusHandlerKept = false;
  int LinksOfSource = -1;

 protected:
  void Notification(TComponent*, TOperation Operation) override {
    if (Operation != TOperation::Remove) return;
    Told = true;
    const TQO_DataLinkEvent Empty;
    HandlersCleared = FLink->OnDataSourceChanged == Empty && FLink->OnActiveChanged == Empty &&
                      FLink->OnStateChanged == Empty && FLink->OnLayoutChanged == Empty &&
                      FLink->OnDataChange == TQO_DataChangeEvent{};
    FocusHandlerKept = FLink->OnReceiveFocus.Assigned();
    LinksOfSource = FLink->GetDataSource()->GetLinkCount();
  }

 private:
  TQO_DataLink* FLink;
};

void FocusHandler(TObject*, TQO_DataLink*, TQO_DataSource*) {}

TEST(ActionNavigate, DestructionUnsubscribesBeforeTheLinkGoes) {
  TQO_MemBDataset Rows(nullptr);
  Fill(Rows, 3);
  TQO_DataSource Source(nullptr);
  Source.SetDataset(&Rows);
  auto* Action = new TQO_ActionNext(nullptr);
  ASSERT_EQ(Action->GetComponentCount(), 1);
  auto* Link = dynamic_cast<TQO_DataLink*>(Action->GetComponent(0));
  ASSERT_NE(Link, nullptr);
  Action->SetDataSource(&Source);
  Action->SetOnReceiveFocus(TQO_DataLinkEvent{&Rows, &FocusHandler});
  EXPECT_TRUE(Link->OnDataChange.Assigned());
  TDestructionWatcher Watcher(Link);
  Watcher.FreeNotification(Action);
  delete Action;
  EXPECT_TRUE(Watcher.Told);
  EXPECT_TRUE(Watcher.HandlersCleared);
  EXPECT_TRUE(Watcher.FocusHandlerKept);
  EXPECT_EQ(Watcher.LinksOfSource, 1);  // the link still existed, unsubscribed
  EXPECT_EQ(Source.GetLinkCount(), 0);
  Rows.Open();  // reaches no handler of the destroyed action
  Rows.Next();
}

TEST(ActionNavigate, ComponentsOfAFormMayGoInAnyOrder) {
  for (const bool SourceFirst : {true, false}) {
    auto* Form = new TComponent(nullptr);
    auto* Source = SourceFirst ? new TQO_DataSource(Form) : nullptr;
    auto* Next = new TQO_ActionNext(Form);
    auto* Rows = new TQO_MemBDataset(Form);
    if (Source == nullptr) Source = new TQO_DataSource(Form);
    Fill(*Rows, 2);
    Source->SetDataset(Rows);
    Next->SetDataSource(Source);
    Rows->Open();
    EXPECT_TRUE(Next->GetEnabled());
    delete Rows;
    EXPECT_FALSE(Next->GetEnabled());
    delete Form;  // ASan reports any handler left behind
  }
}

}  // namespace
