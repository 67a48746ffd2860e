// Storing navigation actions in the text form of a form and loading them back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/ComponentText.h"
#include "tests/actions/Navigator.h"

namespace {

class TNavigateForm : public TComponent {
  QO_DECLARE_CLASS(TNavigateForm)

 public:
  TNavigateForm() : TComponent(nullptr) {
    FMethods.Publish<&TNavigateForm::SourceReceiveFocus>("SourceReceiveFocus");
  }
  const TMethodTable* GetMethodTable() const override { return &FMethods; }
  void SourceReceiveFocus(TQO_DataLink* Link, TQO_DataSource* Source) {
    Focused.push_back(Link->GetOwner()->GetName() + "/" + Source->GetName());
  }

  std::vector<std::string> Focused;

 private:
  TMethodTable FMethods;
};

// A Next action that records what it sees when Loaded runs.
class TLoadProbe : public TCounting<TQO_ActionNext> {
  QO_DECLARE_CLASS(TLoadProbe)

 public:
  using TCounting::TCounting;
  TQO_DataSource* SourceWhenLoaded = nullptr;
  int LoadedCalls = 0;
  int RecomputationsInLoaded = 0;

 protected:
  void Loaded() override {
    ++LoadedCalls;
    SourceWhenLoaded = GetDataSource();
    const int Before = Recomputations;
    TCounting::Loaded();
    RecomputationsInLoaded = Recomputations - Before;
  }
};

TComponentClasses Classes() {
  TComponentClasses Result;
  Result.Register<TQO_DataSource>();
  Result.Register<TQO_MemBDataset>();
  Result.Register<TQO_ActionFirst>();
  Result.Register<TQO_ActionPrior>();
  Result.Register<TQO_ActionNext>();
  Result.Register<TQO_ActionLast>();
  Result.Register<TLoadProbe>();
  return Result;
}

const char* const StoredForm =
    "object Navigate: TNavigateForm\n"
    "  object Rows: TQO_MemBDataset\n"
    "  end\n"
    "  object Source: TQO_DataSource\n"
    "    Dataset = Rows\n"
    "  end\n"
    "  object GoFirst: TQO_ActionFirst\n"
    "    Caption = 'First'\n"
    "    Hint = 'Move to the first row'\n"
    "    Enabled = False\n"
    "    DataSource = Source\n"
    "    ReceiveFocus = True\n"
    "    OnReceiveFocus = SourceReceiveFocus\n"
    "  end\n"
    "  object GoPrior: TQO_ActionPrior\n"
    "    Caption = 'Prior'\n"
    "    Hint = 'Move to the prior row'\n"
    "    Enabled = False\n"
    "    ReceiveFocus = False\n"
    "  end\n"
    "  object GoNext: TLoadProbe\n"
    "    Caption = 'Next'\n"
    "    Hint = 'Move to the next row'\n"
    "    Enabled = False\n"
    "    DataSource = Source\n"
    "    ReceiveFocus = False\n"
    "  end\n"
    "end\n";

TEST(ActionStore, StoresTheDataSourceSettingsAndLoadsThemBack) {
  TNavigateForm Form;
  Form.SetName("Navigate");
  auto* Rows = new TQO_MemBDataset(&Form);
  Rows->SetName("Rows");
  auto* Source = new TQO_DataSource(&Form);
  Source->SetName("Source");
  Source->SetDataset(Rows);
  auto* GoFirst = new TQO_ActionFirst(&Form);
  GoFirst->SetName("GoFirst");
  GoFirst->SetDataSource(Source);
  GoFirst->SetReceiveFocus(true);
  GoFirst->SetOnReceiveFocus(TQO_DataLinkEvent::Bind<&TNavigateForm::SourceReceiveFocus>(&Form));
  auto* GoPrior = new TQO_ActionPrior(&Form);
  GoPrior->SetName("GoPrior");
  GoPrior->SetDataSource(nullptr);  // computes Enabled, as loading does
  auto* GoNext = new TLoadProbe(&Form);
  GoNext->SetName("GoNext");
  GoNext->SetDataSource(Source);
  ASSERT_EQ(WriteComponentText(Form), StoredForm);

  TNavigateForm Loaded;
  ReadComponentText(Loaded, StoredForm, Classes());
  EXPECT_EQ(WriteComponentText(Loaded), StoredForm);
  auto* LoadedSource = dynamic_cast<TQO_DataSource*>(Loaded.FindComponent("Source"));
  auto* LoadedFirst = dynamic_cast<TQO_ActionFirst*>(Loaded.FindComponent("GoFirst"));
  auto* LoadedPrior = dynamic_cast<TQO_ActionPrior*>(Loaded.FindComponent("GoPrior"));
  auto* Probe = dynamic_cast<TLoadProbe*>(Loaded.FindComponent("GoNext"));
  ASSERT_TRUE(LoadedSource && LoadedFirst && LoadedPrior && Probe);
  EXPECT_EQ(LoadedFirst->GetDataSource(), LoadedSource);
  EXPECT_TRUE(LoadedFirst->GetReceiveFocus());
  EXPECT_EQ(LoadedPrior->GetDataSource(), nullptr);
  EXPECT_FALSE(LoadedPrior->GetEnabled());

  // Loaded ran once, after every reference was set, and recomputed the state once.
  EXPECT_EQ(Probe->LoadedCalls, 1);
  EXPECT_EQ(Probe->SourceWhenLoaded, LoadedSource);
  EXPECT_EQ(Probe->RecomputationsInLoaded, 1);
  EXPECT_EQ(Probe->BadRecomputations, 0);
  EXPECT_FALSE(Probe->IsLoading());

  LoadedSource->RequestFocus();
  EXPECT_EQ(Loaded.Focused, (std::vector<std::string>{"GoFirst/Source"}));
  EXPECT_TRUE(Form.Focused.empty());
}

TEST(ActionStore, ADataSourceOfAnotherClassIsRefused) {
  TNavigateForm Form;
  const char* Text =
      "object Navigate: TNavigateForm\n"
      "  object Rows: TQO_MemBDataset\n"
      "  end\n"
      "  object GoLast: TQO_ActionLast\n"
      "    DataSource = Rows\n"
      "  end\n"
      "end\n";
  try {
    ReadComponentText(Form, Text, Classes());
    ADD_FAILURE() << "accepted a dataset as data source";
  } catch (const EComponentError& Error) {
    EXPECT_EQ(std::string(Error.what()), "Line 5: Rows cannot be assigned to DataSource");
  }
  EXPECT_EQ(Form.GetComponentCount(), 0);
}

}  // namespace
