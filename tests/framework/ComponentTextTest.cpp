// The text form of a form's components: exact output, round trip, and refused input.
#include <gtest/gtest.h>

#include <string>

#include "framework/Action.h"
#include "framework/ComponentText.h"
#include "framework/MemDataset.h"

namespace {

class TTestForm : public TComponent {
  QO_DECLARE_CLASS(TTestForm)

 public:
  explicit TTestForm(TComponent* AOwner = nullptr) : TComponent(AOwner) {
    FMethods.Publish<&TTestForm::SaveExecute>("SaveExecute");
  }
  const TMethodTable* GetMethodTable() const override { return &FMethods; }
  void SaveExecute(TObject*) { ++Executed; }

  int Executed = 0;

 private:
  TMethodTable FMethods;
};

TComponentClasses Classes() {
  TComponentClasses Result;
  Result.Register<TAction>();
  Result.Register<TQO_DataSource>();
  Result.Register<TQO_MemBDataset>();
  return Result;
}

const char* const StoredForm =
    "object Form1: TTestForm\n"
    "  object Rows: TQO_MemBDataset\n"
    "    ReadOnly = True\n"
    "    BufferRows = 3\n"
    "    CountKnown = False\n"
    "  end\n"
    "  object Source: TQO_DataSource\n"
    "    Dataset = Rows\n"
    "  end\n"
    "  object Save: TAction\n"
    "    Caption = 'Don''t'#13#10'save \xE2\x9C\x93'\n"
    "    Enabled = False\n"
    "    OnExecute = SaveExecute\n"
    "  end\n"
    "  object TAction\n"
    "    Hint = '#'\n"
    "  end\n"
    "end\n";

TEST(ComponentText, WritesStoredPropertiesAndReadsThemBack) {
  TTestForm Form;
  Form.SetName("Form1");
  auto* Rows = new TQO_MemBDataset(&Form);
  Rows->SetName("Rows");
  Rows->SetReadOnly(true);
  Rows->SetBufferRows(3);
  Rows->SetCountKnown(false);
  auto* Source = new TQO_DataSource(&Form);
  Source->SetName("Source");
  Source->SetDataset(Rows);
  auto* Save = new TAction(&Form);
  Save->SetName("Save");
  Save->SetCaption("Don't\r\nsave \xE2\x9C\x93");
  Save->SetEnabled(false);
  Save->OnExecute = TNotifyEvent::Bind<&TTestForm::SaveExecute>(&Form);
  (new TAction(&Form))->SetHint("#");
  ASSERT_EQ(WriteComponentText(Form), StoredForm);

  TTestForm Loaded;
  ReadComponentText(Loaded, StoredForm, Classes());
  EXPECT_EQ(Loaded.GetName(), "Form1");
  ASSERT_EQ(Loaded.GetComponentCount(), 4);
  auto* LoadedSource = dynamic_cast<TQO_DataSource*>(Loaded.FindComponent("Source"));
  ASSERT_NE(LoadedSource, nullptr);
  EXPECT_EQ(LoadedSource->GetDataset(), Loaded.FindComponent("Rows"));
  auto* LoadedSave = dynamic_cast<TAction*>(Loaded.FindComponent("Save"));
  ASSERT_NE(LoadedSave, nullptr);
  EXPECT_FALSE(LoadedSave->IsLoading());
  LoadedSave->SetEnabled(true);
  LoadedSave->Execute();
  EXPECT_EQ(Loaded.Executed, 1);
  EXPECT_EQ(Form.Executed, 0);
  LoadedSave->SetEnabled(false);
  EXPECT_EQ(WriteComponentText(Loaded), StoredForm);
}

TEST(ComponentText, RefusesToWriteWhatCannotBeReadBack) {
  TTestForm Form;
  TTestForm Elsewhere;
  auto* Foreign = new TQO_DataSource(&Elsewhere);
  Foreign->SetName("Foreign");
  auto* Source = new TQO_DataSource(&Form);
  auto* Rows = new TQO_MemBDataset(&Elsewhere);
  Rows->SetName("Rows");
  Source->SetDataset(Rows);
  EXPECT_THROW(WriteComponentText(Form), EComponentError);
  Source->SetDataset(nullptr);

  auto* Action = new TAction(&Form);
  Action->OnExecute = TNotifyEvent::Bind<&TTestForm::SaveExecute>(&Elsewhere);
  EXPECT_THROW(WriteComponentText(Form), EComponentError);
}

struct TBadText {
  const char* Text;
  const char* Error;
};

TEST(ComponentText, RefusesBadTextAndLeavesTheFormWithoutNewComponents) {
  const std::string Head = "object Form1: TTestForm\n  object Source: TQO_DataSource\n";
  const TBadText Cases[] = {
      {"object Form1: TTestForm\n", "Line 1: Missing 'end'"},
      {"object F: TOther\nend\n", "Line 1: Expected TTestForm, found TOther"},
      {"Caption = 'x'\n", "Line 1: Expected 'object'"},
      {"object Form1: TTestForm\n  object X: TNope\n  end\nend\n", "Line 2: Unknown class TNope"},
      {"object Form1: TTestForm\nend\nend\n", "Line 3: Text after the end of the root component"},
      {"object Form1: TTestForm\n  object A: TAction\n  end\n  object a: TAction\n  end\nend\n",
       "Line 4: A component named a already exists"},
      {"object Form1: TTestForm\n  object A: TAction\n    object B: TAction\n    end\n  end\nend\n",
       "Line 3: Components inside TAction are not supported"},
      {"object Form1: TTestForm\n  object A: TAction\n    OnExecute = Nothing\n  end\nend\n",
       "Line 3: Unknown method Nothing"},
      {"object Form1: TTestForm\n  object A: TAction\n    Caption = 'open\n  end\nend\n",
       "Line 3: Unterminated text"},
      {"object Form1: TTestForm\n  object A: TAction\n    Caption = #300\n  end\nend\n",
       "Line 3: Invalid character code in text"},
      {"object Form1: TTestForm\n  object A: TAction\n    Enabled = 1\n  end\nend\n",
       "Line 3: Invalid value for property Enabled"},
      {"object Form1: TTestForm\n  object R: TQO_MemBDataset\n    BufferRows = 2147483648\n"
       "  end\nend\n",
       "Line 3: Integer out of range"},
  };
  for (const TBadText& Case : Cases) {
    TTestForm Form;
    try {
      ReadComponentText(Form, Case.Text, Classes());
      ADD_FAILURE() << "accepted: " << Case.Text;
    } catch (const EComponentError& Error) {
      EXPECT_EQ(std::string(Error.what()), Case.Error);
    }
    EXPECT_EQ(Form.GetComponentCount(), 0) << Case.Text;
    EXPECT_FALSE(Form.IsLoading());
  }
  for (const char* Reference :
       {"    Dataset = Missing\n", "    Colour = 1\n", "    Dataset = 'Rows'\n"}) {
    TTestForm Form;
    const std::string Text = Head + Reference + "  end\nend\n";
    EXPECT_THROW(ReadComponentText(Form, Text, Classes()), EComponentError) << Reference;
    EXPECT_EQ(Form.GetComponentCount(), 0) << Reference;
  }
}

TEST(ComponentText, ASetterErrorPassesOnUnchanged) {
  TTestForm Form;
  const char* Text =
      "object Form1: TTestForm\n  object R: TQO_MemBDataset\n    BufferRows = -1\n  end\nend\n";
  EXPECT_THROW(ReadComponentText(Form, Text, Classes()), EQO_DatasetError);
  EXPECT_EQ(Form.GetComponentCount(), 0);
}

}  // namespace
