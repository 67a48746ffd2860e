// The in-memory datasets: the sliding window of the buffered one, what it knows about its
// ends, editing, and the forward-only one.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "framework/MemDataset.h"

namespace {

template <class TDataset>
void Fill(TDataset& Dataset, int Rows) {
  Dataset.AddColumn("Number");
  for (int I = 1; I <= Rows; ++I)
    Dataset.AppendRow({std::to_string(I)});
}

// Runs a script of moves: open, first, prior, next, last, fetch:FROM:TO.
void RunScript(TQO_Dataset& Dataset, const std::string& Script) {
  std::istringstream Words(Script);
  std::string Word;
  while (Words >> Word) {
    if (Word == "open") Dataset.Open();
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

// "bounds LO..UP @CURRENT" and the ends that are known.
std::string Describe(const TQO_BDataset& Dataset) {
  std::string Text = "bounds " + std::to_string(Dataset.LowerRowBound()) + ".." +
                     std::to_string(Dataset.UpperRowBound()) + " @" +
                     std::to_string(Dataset.CurrentRowNumber());
  if (Dataset.LowerBoundKnown()) Text += " begin";
  if (Dataset.UpperBoundKnown()) Text += " end";
  return Text;
}

struct TWindowCase {
  const char* Name;
  int Rows;
  int BufferRows;
  bool CountKnown;
  const char* Script;
  const char* Expected;
};

TEST(MemBDataset, WindowSlidesAndEndsBecomeKnown) {
  const TWindowCase Cases[] = {
      {"all rows buffered", 10, 0, true, "open", "bounds 0..11 @1 begin end"},
      {"first window", 10, 3, true, "open", "bounds 0..4 @1 begin"},
      {"next slides the window up", 10, 3, true, "open next next next", "bounds 1..5 @4"},
      {"last buffers the end", 10, 3, true, "open last", "bounds 7..11 @10 end"},
      {"prior slides it back down", 10, 3, true, "open last prior prior prior", "bounds 6..10 @7"},
      {"first from the end", 10, 3, true, "open last first", "bounds 0..4 @1 begin"},
      {"fetch after the window", 10, 3, true, "open next next fetch:4:4", "bounds 1..5 @3"},
      {"fetch arguments in either order", 10, 3, true, "open next next fetch:5:4",
       "bounds 2..6 @3"},
      {"fetch never drops the current row", 10, 3, true, "open fetch:4:4", "bounds 0..5 @1 begin"},
      {"fetch before row 1 brings nothing", 10, 3, true, "open fetch:0:0", "bounds 0..4 @1 begin"},
      {"end unknown until asked beyond it", 3, 0, false, "open", "bounds 0..4 @1 begin"},
      {"fetch beyond the end finds it", 3, 0, false, "open fetch:4:4", "bounds 0..4 @1 begin end"},
      {"last finds the end", 3, 0, false, "open last", "bounds 0..4 @3 begin end"},
      {"next past the last row", 3, 0, true, "open last next next", "bounds 0..4 @4 begin end"},
      {"prior before the first row", 3, 0, true, "open prior prior", "bounds 0..4 @0 begin end"},
      {"prior from after the last row", 3, 0, true, "open last next prior",
       "bounds 0..4 @3 begin end"},
      {"empty", 0, 0, true, "open next last", "bounds 0..1 @0 begin end"},
  };
  for (const TWindowCase& Case : Cases) {
    TQO_MemBDataset Dataset(nullptr);
    Fill(Dataset, Case.Rows);
    Dataset.SetBufferRows(Case.BufferRows);
    Dataset.SetCountKnown(Case.CountKnown);
    RunScript(Dataset, Case.Script);
    EXPECT_EQ(Describe(Dataset), Case.Expected) << Case.Name;
  }
}

TEST(MemBDataset, ClosedDatasetRefusesMovesAndFetches) {
  TQO_MemBDataset Dataset(nullptr);
  Fill(Dataset, 3);
  EXPECT_THROW(Dataset.Next(), EQO_DatasetError);
  EXPECT_THROW(Dataset.FetchRowRange(1, 1), EQO_DatasetError);
  EXPECT_THROW(Dataset.SetBufferRows(-1), EQO_DatasetError);
  EXPECT_THROW(Dataset.AppendRow({"a", "b"}), EQO_DatasetError);
  Dataset.Open();
  EXPECT_THROW(Dataset.AppendRow({"4"}), EQO_DatasetError);
  EXPECT_THROW(Dataset.AddColumn("Other"), EQO_DatasetError);
}

TEST(Dataset, EditPostCancelAndReadOnly) {
  TQO_MemBDataset Dataset(nullptr);
  Fill(Dataset, 3);
  TQO_Column* Number = Dataset.FindColumn("NUMBER");
  ASSERT_NE(Number, nullptr);
  EXPECT_THROW(Dataset.Edit(), EQO_DatasetError);  // closed
  Dataset.Open();
  EXPECT_THROW(Dataset.SetValue(Number, "x"), EQO_DatasetError);
  Dataset.Edit();
  EXPECT_EQ(Dataset.StateCode(), QO_dsEdit);
  Dataset.SetValue(Number, "one");
  EXPECT_EQ(Dataset.GetValue(Number), "one");
  Dataset.Cancel();
  EXPECT_EQ(Dataset.GetValue(Number), "1");

  Dataset.Edit();
  Dataset.SetValue(Number, "one");
  EXPECT_THROW(Dataset.SetReadOnly(true), EQO_DatasetError);
  Dataset.Next();  // a move stores the edit first
  EXPECT_EQ(Dataset.StateCode(), QO_dsBrowse);
  Dataset.First();
  EXPECT_EQ(Dataset.GetValue(Number), "one");

  TQO_MemBDataset Other(nullptr);
  Fill(Other, 1);
  EXPECT_THROW(Dataset.GetValue(Other.GetColumn(0)), EQO_DatasetError);

  Dataset.SetReadOnly(true);  // browsing in state 12 refuses edits
  EXPECT_EQ(Dataset.StateCode(), QO_dsBrowseReadOnly);
  EXPECT_THROW(Dataset.Edit(), EQO_DatasetError);
}

TEST(MemDataset, ReadsForwardAndGoesBackOnlyToTheFirstRow) {
  TQO_MemDataset Dataset(nullptr);
  Fill(Dataset, 3);
  Dataset.Open();
  EXPECT_TRUE(Dataset.IgnoreRowBounds());
  EXPECT_EQ(Dataset.LowerRowBound(), 0);
  EXPECT_EQ(Dataset.UpperRowBound(), 2);
  Dataset.Next();
  EXPECT_TRUE(Dataset.LeadingRowFlag);
  EXPECT_THROW(Dataset.Prior(), EQO_DatasetError);
  EXPECT_EQ(Dataset.CurrentRowNumber(), 2);
  Dataset.FetchRowRange(3, 3);  // holds no buffer: nothing changes
  EXPECT_EQ(Dataset.UpperRowBound(), 3);
  Dataset.Last();
  EXPECT_TRUE(Dataset.AtEnd());
  Dataset.Next();
  Dataset.Next();
  EXPECT_EQ(Dataset.CurrentRowNumber(), 4);
  Dataset.First();
  EXPECT_EQ(Dataset.CurrentRowNumber(), 1);
  EXPECT_FALSE(Dataset.LeadingRowFlag);
  EXPECT_FALSE(Dataset.AtEnd());
}

}  // namespace
