// The editor's line list: loading rules, the gap buffer under edits, format lists with their lines.
#include "controls/PTEditLines.h"

#include "classes/Exceptions.h"

#include <gtest/gtest.h>

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

TEST(EditLinesTest, Edits_KeepOrderWhereverTheGapIs) {
  TEditLines Lines;
  std::vector<std::string> Expected;
  std::string Text;
  for (int I = 0; I < 200; ++I) {
    Text += "line" + std::to_string(I) + "\r\n";
    Expected.push_back("line" + std::to_string(I));
  }
  Lines.SetText(Text);
  // Insert and delete at scattered places, as edits jumping around the text do.
  unsigned Seed = 7;
  for (int Step = 0; Step < 2000; ++Step) {
    Seed = Seed * 1103515245u + 12345u;
    int Count = static_cast<int>(Expected.size());
    int At = static_cast<int>((Seed >> 8) % static_cast<unsigned>(Count + 1));
    switch ((Seed >> 4) % 3) {
    case 0:
      Lines.Insert(At, "new" + std::to_string(Step));
      Expected.insert(Expected.begin() + At, "new" + std::to_string(Step));
      break;
    case 1:
      if (At < Count) {
        Lines.Delete(At);
        Expected.erase(Expected.begin() + At);
      }
      break;
    default:
      if (At < Count) {
        std::string Longer = Expected[At] + std::string(Step % 40, 'x');
        Lines.Put(At, Longer);
        Expected[At] = Longer;
      }
    }
  }
  EXPECT_EQ(All(Lines), Expected);
  // Putting a piece of the line's own text.
  Lines.Put(0, "abcdef");
  Lines.Put(0, Lines[0].substr(2));
  EXPECT_EQ(Lines.Strings(0), "cdef");
  Lines.DeleteRange(1, Lines.Count() - 1);
  EXPECT_EQ(All(Lines), (TList{"cdef"}));
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
