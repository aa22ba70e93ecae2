// The fetched rows of a result grid without any window: storage, sorting by kind with NULLs
// last, the clipboard's tab-separated text and RFC 4180 CSV.
#include "db/ResultSet.h"

#include "db/SqlFunctionCodes.h"

#include <gtest/gtest.h>

namespace {

using TStrings = std::vector<std::string>;

TResultSet Sample() {
  TResultSet Rows;
  Rows.Reset({"NAME", "N", "D"}, {TColumnKind::Text, TColumnKind::Number, TColumnKind::Date});
  const struct {
    const char *Name, *N, *D;
  } Data[] = {{"b", "10", "01-JAN-81"},
              {"a", nullptr, "17-DEC-80"},
              {"c", "-.5", nullptr},
              {"", "9", "01-JAN-05"},
              {"a", "1E+2", "31-dec-1999 23:59:58"}};
  for (const auto &Row : Data)
    Rows.AppendRow({Row.Name, Row.N ? Row.N : "", Row.D ? Row.D : ""},
                   {false, Row.N == nullptr, Row.D == nullptr});
  return Rows;
}

TStrings Column(const TResultSet &ARows, int AColumn) {
  TStrings Result;
  for (int j = 0; j < ARows.RowCount(); ++j)
    Result.push_back(ARows.IsNull(AColumn, j) ? "<null>" : std::string(ARows.Cell(AColumn, j)));
  return Result;
}

TEST(ResultSet, SortsByKindWithNullsLastAndStable) {
  TResultSet Rows = Sample();
  EXPECT_EQ(Rows.RowCount(), 5);
  EXPECT_EQ(Rows.SortColumn(), -1);
  EXPECT_EQ(Column(Rows, 1), (TStrings{"10", "<null>", "-.5", "9", "1E+2"}));
  EXPECT_FALSE(Rows.IsNull(0, 3)); // an empty text is no NULL
  Rows.Sort(1, true);
  EXPECT_EQ(Column(Rows, 1), (TStrings{"-.5", "9", "10", "1E+2", "<null>"}));
  Rows.Sort(1, false);
  EXPECT_EQ(Column(Rows, 1), (TStrings{"1E+2", "10", "9", "-.5", "<null>"}));
  EXPECT_EQ(Column(Rows, 0), (TStrings{"a", "b", "", "c", "a"})); // whole rows move
  Rows.Sort(2, true); // RR years: 80 and 81 before 1999 before 05
  EXPECT_EQ(Column(Rows, 2),
            (TStrings{"17-DEC-80", "01-JAN-81", "31-dec-1999 23:59:58", "01-JAN-05", "<null>"}));
  Rows.Sort(0, true); // text by bytes, equal names in the order they were fetched
  EXPECT_EQ(Column(Rows, 0), (TStrings{"", "a", "a", "b", "c"}));
  EXPECT_EQ(Column(Rows, 2)[1], "17-DEC-80");
  EXPECT_EQ(Rows.SortColumn(), 0);
  // Rows fetched later join the sorted order at its end; a value not of the kind sorts after
  // the values that are, before the NULLs.
  Rows.AppendRow({"z", "n/a", "someday"}, {false, false, false});
  EXPECT_EQ(Rows.Cell(0, 5), "z");
  Rows.Sort(1, true);
  EXPECT_EQ(Column(Rows, 1).back(), "<null>");
  EXPECT_EQ(Column(Rows, 1)[4], "n/a");
  Rows.Sort(2, false);
  EXPECT_EQ(Column(Rows, 2)[4], "someday");
  Rows.Sort(7, true); // no such column: nothing moves
  EXPECT_EQ(Rows.SortColumn(), 2);
  EXPECT_EQ(Rows.Cell(9, 0), "");
  EXPECT_GE(Rows.MemoryBytes(), Rows.TextBytes());
}

// The text lies in blocks of 64 KiB: cells that would cross one start the next, and a cell
// longer than a block has blocks of its own; every cell reads back as it went in.
TEST(ResultSet, CellsAcrossBlocksReadBackWhole) {
  TResultSet Rows;
  Rows.Reset({"T"});
  std::vector<std::string> Cells;
  for (int i = 0; i < 3000; ++i)
    Cells.push_back(std::string(std::size_t(i % 97), char('a' + i % 26)));
  Cells[1000] = std::string(200000, 'x');
  Cells[1001] = "";
  Cells[2000] = std::string(65536, 'y');
  for (const std::string &Cell : Cells)
    Rows.AppendRow({Cell}, {false});
  std::size_t Text = 0;
  for (int i = 0; i < 3000; ++i) {
    ASSERT_EQ(Rows.Cell(0, i), Cells[std::size_t(i)]) << i;
    Text += Cells[std::size_t(i)].size();
  }
  EXPECT_EQ(Rows.TextBytes(), Text);
  EXPECT_LT(Rows.MemoryBytes(), Text + 4 * 65536 + 3000 * 8);
}

TEST(ResultSet, CopyTextAndCsv) {
  TResultSet Rows;
  Rows.Reset({"A", "B,C"});
  Rows.AppendRow({"x\ty", "say \"hi\""}, {false, false});
  Rows.AppendRow({"", "two\r\nlines"}, {true, false});
  EXPECT_EQ(Rows.CopyText(), "A\tB,C\nx y\tsay \"hi\"\n\ttwo  lines\n");
  EXPECT_EQ(Rows.CopyText({1}, {1}), "B,C\ntwo  lines\n");
  EXPECT_EQ(Rows.CopyText({1, 0}, {}), "B,C\tA\n");
  EXPECT_EQ(Rows.CsvText(), "A,\"B,C\"\r\nx\ty,\"say \"\"hi\"\"\"\r\n,\"two\r\nlines\"\r\n");
  Rows.Sort(1, false);
  EXPECT_EQ(Rows.CsvText(), "A,\"B,C\"\r\n,\"two\r\nlines\"\r\nx\ty,\"say \"\"hi\"\"\"\r\n");
  Rows.Clear();
  EXPECT_EQ(Rows.CsvText(), "\r\n");

  EXPECT_EQ(StatementResultText(fcInsert, 3), "INSERT Success, 3 rows");
  EXPECT_EQ(StatementResultText(fcDelete, 1), "DELETE Success, 1 row");
  EXPECT_EQ(StatementResultText(fcUpdate, 0), "UPDATE Success, 0 rows");
  EXPECT_EQ(StatementResultText(fcCommit, 0), "COMMIT Success");
  EXPECT_EQ(StatementResultText(15, 2), " Success");
}

} // namespace
