// Moves through an in-memory dataset with the four navigation actions and prints, after each
// step, the current row, the buffered rows and the state of every action.
#include <array>
#include <iostream>
#include <string>

#include "actions/QO_ActionNavigate.h"
#include "framework/ComponentText.h"
#include "framework/MemDataset.h"

namespace {

struct TNavigationForm {
  TNavigationForm() {
    Form.SetName("NavigationForm");
    Rows->SetName("Planets");
    Rows->AddColumn("Name");
    for (const char* Name : {"Mercury", "Venus", "Earth", "Mars", "Jupiter", "Saturn", "Uranus"}) {
      Rows->AppendRow({Name});
    }
    // A window of three rows whose end is found only by reading past it, as with a cursor
    // over a remote result.
    Rows->SetBufferRows(3);
    Rows->SetCountKnown(false);
    Source->SetName("PlanetSource");
    Source->SetDataset(Rows);
    for (TQO_CustomActionNavigate* Action : Actions()) {
      Action->SetName("Go" + Action->GetCaption());
      Action->SetDataSource(Source);
    }
  }

  void Print(const std::string& Step) const {
    std::cout << Step << ": row " << Rows->CurrentRowNumber() << " '"
              << Rows->GetValue(Rows->GetColumn(0)) << "', buffered ";
    if (Rows->UpperRowBound() - Rows->LowerRowBound() < 2) {
      std::cout << "none";
    } else {
      std::cout << Rows->LowerRowBound() + 1 << "-" << Rows->UpperRowBound() - 1;
    }
    std::cout << (Rows->UpperBoundKnown() ? " (end known)" : "") << ":";
    for (const TQO_CustomActionNavigate* Action : Actions()) {
      std::cout << " " << Action->GetCaption() << "=" << (Action->GetEnabled() ? "on" : "off");
    }
    std::cout << "\n";
  }

  std::array<TQO_CustomActionNavigate*, 4> Actions() const { return {First, Prior, Next, Last}; }

  void Run(TQO_CustomActionNavigate* Action) {
    const bool Ran = Action->Execute();
    Print(Action->GetCaption() + (Ran ? "" : " (disabled, not run)"));
  }

  TComponent Form{nullptr};
  TQO_MemBDataset* Rows = new TQO_MemBDataset(&Form);
  TQO_DataSource* Source = new TQO_DataSource(&Form);
  TQO_ActionFirst* First = new TQO_ActionFirst(&Form);
  TQO_ActionPrior* Prior = new TQO_ActionPrior(&Form);
  TQO_ActionNext* Next = new TQO_ActionNext(&Form);
  TQO_ActionLast* Last = new TQO_ActionLast(&Form);
};

}  // namespace

int main() {
  TNavigationForm Form;
  Form.Print("closed");
  Form.Rows->Open();
  Form.Print("open");
  const char* const Steps = "NNNNNNNPFPLN";
  for (const char* Step = Steps; *Step != '\0'; ++Step) {
    Form.Run(Form.Actions()[std::string("FPNL").find(*Step)]);
  }
  std::cout << "\nStored form:\n" << WriteComponentText(Form.Form);
  return 0;
}
