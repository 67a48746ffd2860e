// Data links and data sources: preparedness, and which notification each change fires.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/MemDataset.h"
#include "framework/QO_Components.h"

namespace {

// Records the notifications of the links it listens to.
class TListener : public TObject {
 public:
  void Listen(TQO_DataLink& Link) {
    Link.OnDataSourceChanged = TQO_DataLinkEvent::Bind<&TListener::DataSourceChanged>(this);
    Link.OnActiveChanged = TQO_DataLinkEvent::Bind<&TListener::ActiveChanged>(this);
    Link.OnStateChanged = TQO_DataLinkEvent::Bind<&TListener::StateChanged>(this);
    Link.OnLayoutChanged = TQO_DataLinkEvent::Bind<&TListener::LayoutChanged>(this);
    Link.OnDataChange = TQO_DataChangeEvent::Bind<&TListener::DataChange>(this);
  }
  // Takes the log recorded so far.
  std::vector<std::string> Take() { return std::exchange(Log, {}); }

  std::vector<std::string> Log;
  std::function<void()> OnAny;

 private:
  void Add(std::string Entry) {
    Log.push_back(std::move(Entry));
    if (OnAny) OnAny();
  }
  void DataSourceChanged(TQO_DataLink*, TQO_DataSource*) { Add("source"); }
  void ActiveChanged(TQO_DataLink*, TQO_DataSource*) { Add("active"); }
  void StateChanged(TQO_DataLink*, TQO_DataSource*) { Add("state"); }
  void LayoutChanged(TQO_DataLink*, TQO_DataSource*) { Add("layout"); }
  void DataChange(TQO_DataLink*, TQO_DataSource*, TQO_Column* Column) {
    Add(Column != nullptr ? "data:" + Column->GetName() : "data");
  }
};

class DataLinkTest : public ::testing::Test {
 protected:
  DataLinkTest() {
    Column = Rows->AddColumn("Name");
    for (const char* Name : {"a", "b", "c", "d", "e"})
      Rows->AppendRow({Name});
    Rows->SetBufferRows(2);
    Listener.Listen(*Link);
  }

  TComponent Form{nullptr};
  TQO_MemBDataset* Rows = new TQO_MemBDataset(&Form);
  TQO_DataSource* Source = new TQO_DataSource(&Form);
  TQO_DataLink* Link = new TQO_DataLink(&Form);
  TQO_Column* Column = nullptr;
  TListener Listener;
};

TEST_F(DataLinkTest, PreparedOnlyWithADataSourceThatHasADataset) {
  EXPECT_FALSE(Link->GetPrepared());
  Link->SetDataSource(Source);
  EXPECT_FALSE(Link->GetPrepared());
  EXPECT_EQ(Link->GetDataset(), nullptr);
  Source->SetDataset(Rows);
  EXPECT_TRUE(Link->GetPrepared());
  EXPECT_EQ(Link->GetDataset(), Rows);
  EXPECT_EQ(Listener.Take(), (std::vector<std::string>{"source", "source"}));
  Link->SetDataSource(Source);  // the same one again changes nothing
  EXPECT_TRUE(Listener.Take().empty());
}

TEST_F(DataLinkTest, EachDatasetChangeFiresItsNotification) {
  Source->SetDataset(Rows);
  Link->SetDataSource(Source);
  Listener.Take();
  struct TStep {
    const char* Name;
    std::function<void()> Run;
    std::vector<std::string> Expected;
  };
  const std::vector<TStep> Steps = {
      {"open", [&] { Rows->Open(); }, {"active"}},
      {"next within the buffer", [&] { Rows->Next(); }, {"data"}},
      {"next beyond the buffer", [&] { Rows->Next(); }, {"layout", "data"}},
      {"fetch of buffered rows", [&] { Rows->FetchRowRange(2, 3); }, {}},
      {"edit", [&] { Rows->Edit(); }, {"state"}},
      {"set a value", [&] { Rows->SetValue(Column, "x"); }, {"data:Name"}},
      {"post", [&] { Rows->Post(); }, {"state", "data"}},
      {"read-only", [&] { Rows->SetReadOnly(true); }, {"state"}},
      {"last beyond the buffer", [&] { Rows->Last(); }, {"layout", "data"}},
      {"close", [&] { Rows->Close(); }, {"active"}},
  };
  for (const TStep& Step : Steps) {
    Step.Run();
    EXPECT_EQ(Listener.Take(), Step.Expected) << Step.Name;
  }
}

TEST_F(DataLinkTest, DestroyingTheDatasetOrTheDataSourceUnpreparesTheLink) {
  Source->SetDataset(Rows);
  Link->SetDataSource(Source);
  Listener.Take();
  delete Rows;
  EXPECT_EQ(Source->GetDataset(), nullptr);
  EXPECT_FALSE(Link->GetPrepared());
  EXPECT_EQ(Listener.Take(), (std::vector<std::string>{"source"}));
  delete Source;
  EXPECT_EQ(Link->GetDataSource(), nullptr);
  EXPECT_EQ(Listener.Take(), (std::vector<std::string>{"source"}));
}

TEST_F(DataLinkTest, AHandlerMayDestroyAnotherLinkWhileANotificationGoesRound) {
  Source->SetDataset(Rows);
  Link->SetDataSource(Source);
  auto* Second = new TQO_DataLink(&Form);
  TListener SecondListener;
  SecondListener.Listen(*Second);
  Second->SetDataSource(Source);
  Listener.OnAny = [&] {
    delete Second;
    Second = nullptr;
    Listener.OnAny = nullptr;
  };
  Rows->Open();
  EXPECT_EQ(Second, nullptr);
  EXPECT_EQ(SecondListener.Take(), (std::vector<std::string>{"source"}));
  EXPECT_EQ(Source->GetLinkCount(), 1);
}

}  // namespace
