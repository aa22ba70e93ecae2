// The editor's line list: loading rules, blocks of lines under edits, format lists with their
// lines.
#include "controls/PTEditLines.h"

#include "classes/Exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

std::vector<std::string> All(const TEditLines &ALines) {
  std::vector<std::string> Result;
  for (int I = 0; I < ALines.Count(); ++I)
    Result.push_back(ALines.Strings(I));
  return Result;
}

using TList = std::vector<std::string>;

TEST(EditLinesTest, SetText_SplitsAtEveryBreakKindAndStopsAtNul) {
  TEditLines Lines;
  Lines.SetText("a\r\nb\rc\nd");
  EXPECT_EQ(All(Lines), (TList{"a", "b", "c", "d"}));
  Lines.SetText("a\r\n");
  EXPECT_EQ(All(Lines), (TList{"a"})); // a break at the end adds no line
  Lines.SetText("a\n\rb");
  EXPECT_EQ(All(Lines), (TList{"a", "", "b"})); // LF then CR: two breaks
  Lines.SetText("\r\n\r\n");
  EXPECT_EQ(All(Lines), (TList{"", ""}));
  Lines.SetText("");
  EXPECT_EQ(Lines.Count(), 0);
  Lines.SetText(std::string("ab\0cd\r\nef", 9));
  EXPECT_EQ(All(Lines), (TList{"ab"}));
  Lines.SetText("x\r\ny");
  EXPECT_EQ(Lines.Text(), "x\r\ny\r\n");
  // Loading the list's own text (which points into its block) is safe.
  std::string_view Own = Lines[1];
  Lines.SetText(Own);
  EXPECT_EQ(All(Lines), (TList{"y"}));
}

// Random edits against a plain list of strings: runs of lines inserted and removed at scattered
// places split full blocks, empty others and merge small ones; lines, offsets and the line at an
// offset must agree with the plain list throughout.
TEST(EditLinesTest, Edits_AgreeWithAPlainListAcrossBlocks) {
  const int Steps = 30000;
  TEditLines Lines;
  std::vector<std::string> Expected;
  std::string Text;
  for (int I = 0; I < 3000; ++I) {
    Text += "line" + std::to_string(I) + "\r\n";
    Expected.push_back("line" + std::to_string(I));
  }
  Lines.SetText(Text);
  unsigned Seed = 7;
  auto Next = [&](unsigned AModulo) {
    Seed = Seed * 1664525u + 1013904223u;
    return static_cast<int>((Seed >> 8) % AModulo);
  };
  int Differences = 0;
  for (int Step = 0; Step < Steps; ++Step) {
    int Count = static_cast<int>(Expected.size());
    int At = Next(static_cast<unsigned>(Count + 1));
    int Op = Next(100);
    if (Op < 30) {
      Lines.Insert(At, "new" + std::to_string(Step));
      Expected.insert(Expected.begin() + At, "new" + std::to_string(Step));
    } else if (Op < 32 && Count < 6000) {
      std::vector<std::string> Run;
      for (int K = 0; K < 1500; ++K) {
        Run.push_back(std::string(K % 7, 'r'));
        Lines.Insert(At + K, Run.back());
      }
      Expected.insert(Expected.begin() + At, Run.begin(), Run.end());
    } else if (Op < 60 && At < Count) {
      Lines.Delete(At);
      Expected.erase(Expected.begin() + At);
    } else if (Op < 62 && At < Count) {
      int N = 1 + Next(static_cast<unsigned>(std::min(Count - At, 2500)));
      Lines.DeleteRange(At, N);
      Expected.erase(Expected.begin() + At, Expected.begin() + At + N);
    } else if (At < Count) {
      std::string Changed = Expected[At].substr(0, Next(8)) + std::string(Next(40), 'x');
      Lines.Put(At, Changed);
      Expected[At] = Changed;
    }
    if (Expected.empty()) {
      Lines.Add("again");
      Expected.push_back("again");
    }
    if (Step % 500 == 0 || Step == Steps - 1) {
      Differences += Lines.Count() != static_cast<int>(Expected.size());
      std::vector<std::int64_t> Before{0};
      for (int I = 0; I < static_cast<int>(Expected.size()); ++I) {
        Differences += Lines[I] != Expected[I];
        Before.push_back(Before.back() + static_cast<std::int64_t>(Expected[I].size()) + 2);
      }
      // Offsets and look-ups in no particular order.
      for (int K = 0; K < 200; ++K) {
        int I = Next(static_cast<unsigned>(Expected.size()));
        Differences += Lines[I] != Expected[I];
        Differences += Lines.CharsBefore(I) != Before[I];
        Differences +=
            Lines.LineAt(Before[I] + Next(static_cast<unsigned>(Before[I + 1] - Before[I]))) != I;
      }
      Differences += Lines.CharsBefore(Lines.Count()) != Before.back();
      Differences += Lines.LineAt(Before.back() + 5) != Lines.Count() - 1;
      Differences += Lines.LineAt(-3) != 0;
    }
    ASSERT_EQ(Differences, 0) << Step;
  }
  EXPECT_EQ(Lines.Text().size(), static_cast<std::size_t>(Lines.CharsBefore(Lines.Count())));
  // Putting a piece of the line's own text.
  Lines.Put(0, "abcdef");
  Lines.Put(0, Lines[0].substr(2));
  EXPECT_EQ(Lines.Strings(0), "cdef");
  Lines.DeleteRange(1, Lines.Count() - 1);
  EXPECT_EQ(All(Lines), (TList{"cdef"}));
  EXPECT_EQ(Lines.CharsBefore(1), 6);
}

TEST(EditLinesTest, FormatLists_MoveWithLinesAndGoWithThem) {
  TEditLines Lines;
  Lines.SetText("a\r\nb\r\nc");
  EXPECT_EQ(Lines.Objects(1), nullptr);
  Lines.FormatList(1).push_back(TFormatRecord{1, 1, 2});
  Lines.Insert(0, "new");
  ASSERT_NE(Lines.Objects(2), nullptr);
  EXPECT_EQ(Lines.Objects(2)->at(0).StyleIndex, 2);
  Lines.Put(2, "changed");
  EXPECT_NE(Lines.Objects(2), nullptr); // replacing the text keeps the list; the editor reformats
  Lines.Delete(0);
  EXPECT_NE(Lines.Objects(1), nullptr);
  Lines.Delete(1);
  for (int I = 0; I < Lines.Count(); ++I)
    EXPECT_EQ(Lines.Objects(I), nullptr);
  Lines.FormatList(0);
  Lines.ClearFormats();
  EXPECT_EQ(Lines.Objects(0), nullptr);
}

TEST(EditLinesTest, BadIndexes_RaiseInsteadOfCorruptingMemory) {
  TEditLines Lines;
  Lines.SetText("a");
  EXPECT_THROW(Lines[1], Exception);
  EXPECT_THROW(Lines[-1], Exception);
  EXPECT_THROW(Lines.Put(3, "x"), Exception);
  EXPECT_THROW(Lines.Insert(3, "x"), Exception);
  EXPECT_THROW(Lines.DeleteRange(0, 2), Exception);
  EXPECT_NO_THROW(Lines.Insert(1, "b"));
  EXPECT_EQ(Lines.Count(), 2);
}

TEST(EditLinesTest, Memory_LoadedTextCostsLittleMoreThanItsBytes) {
  std::string Text;
  for (int I = 0; I < 100000; ++I)
    Text += std::string(58, 'a' + I % 26) + "\r\n";
  TEditLines Lines;
  Lines.SetText(Text);
  EXPECT_EQ(Lines.Count(), 100000);
  EXPECT_LE(Lines.MemoryUsed(), Text.size() * 3 / 2);
}

} // namespace
