// The four navigation actions over one data source, as the action tests use them.
#pragma once

#include <array>
#include <sstream>
#include <string>

#include "actions/QO_ActionNavigate.h"
#include "framework/MemDataset.h"

// How often an action recomputed its state and called SetEnabled.
struct TCounts {
  int Recomputations = 0;
  int SetEnabledCalls = 0;
  int BadRecomputations = 0;  // those that did not make exactly one SetEnabled call
};

// Counts the recomputations of an action and the SetEnabled calls each of them makes.
template <class TNavigate>
class TCounting : public TNavigate, public TCounts {
 public:
  using TNavigate::TNavigate;
  void SetEnabled(bool Value) override {
    ++SetEnabledCalls;
    TNavigate::SetEnabled(Value);
  }

 protected:
  void SysStateChanged() override {
    const int Before = SetEnabledCalls;
    ++Recomputations;
    TNavigate::SysStateChanged();
    if (SetEnabledCalls - Before != 1) ++BadRecomputations;
  }
};

struct TNavigator {
  TNavigator() {
    First->SetName("First");
    Prior->SetName("Prior");
    Next->SetName("Next");
    Last->SetName("Last");
  }

  // Publishes Dataset through the data source and attaches the four actions to it.
  void Attach(TQO_Dataset* Dataset) {
    Source->SetDataset(Dataset);
    for (TQO_CustomActionNavigate* Action : Actions())
      Action->SetDataSource(Source);
  }
  std::array<TQO_CustomActionNavigate*, 4> Actions() const { return {First, Prior, Next, Last}; }
  std::array<const TCounts*, 4> Counts() const { return {First, Prior, Next, Last}; }

  // "FPNL" with '-' in place of each disabled action.
  std::string States() const {
    std::string Text = "FPNL";
    for (size_t I = 0; I < 4; ++I) {
      if (!Actions()[I]->GetEnabled()) Text[I] = '-';
    }
    return Text;
  }

  TComponent Form{nullptr};
  TQO_DataSource* Source = new TQO_DataSource(&Form);
  TCounting<TQO_ActionFirst>* First = new TCounting<TQO_ActionFirst>(&Form);
  TCounting<TQO_ActionPrior>* Prior = new TCounting<TQO_ActionPrior>(&Form);
  TCounting<TQO_ActionNext>* Next = new TCounting<TQO_ActionNext>(&Form);
  TCounting<TQO_ActionLast>* Last = new TCounting<TQO_ActionLast>(&Form);
};

// Runs a script on Dataset: open, edit, first, prior, next, last, fetch:FROM:TO.
inline void RunScript(TQO_Dataset& Dataset, const std::string& Script) {
  std::istringstream Words(Script);
  std::string Word;
  while (Words >> Word) {
    if (Word == "open") Dataset.Open();
    if (Word == "edit") Dataset.Edit();
    if (Word == "first") Dataset.First();
    if (Word == "prior") Dataset.Prior();
    if (Word == "next") Dataset.Next();
    if (Word == "last") Dataset.Last();
    if (Word.rfind("fetch:", 0) == 0) {
      const size_t Colon = Word.find(':', 6);
      Dataset.FetchRowRange(std::stoi(Word.substr(6, Colon - 6)),
                            std::stoi(Word.substr(Colon + 1)));
    }
  }
}

// Adds a column and the rows "1" to "Rows".
template <class TDataset>
void Fill(TDataset& Dataset, int Rows) {
  Dataset.AddColumn("Number");
  for (int I = 1; I <= Rows; ++I)
    Dataset.AppendRow({std::to_string(I)});
}
