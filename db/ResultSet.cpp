// The fetched rows of a query: compact column storage, sorting, clipboard text and CSV.
#include "db/ResultSet.h"

#include "classes/Exceptions.h"
#include "db/SqlApiParams.h"
#include "db/SqlApiQuery.h"
#include "db/SqlFunctionCodes.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <numeric>
#include <sstream>

namespace {

// The value a cell sorts by: a number, or a date as yyyymmddhhmmss; Valid false when the text
// does not read as the column's kind.
struct TSortKey {
  double Value = 0;
  bool Valid = false;
};

TSortKey NumberKey(std::string_view AText) {
  while (!AText.empty() && AText.front() == ' ')
    AText.remove_prefix(1);
  while (!AText.empty() && AText.back() == ' ')
    AText.remove_suffix(1);
  if (!AText.empty() && AText.front() == '+')
    AText.remove_prefix(1);
  TSortKey Key;
  if (AText.empty())
    return Key;
  const auto [End, Error] = std::from_chars(AText.data(), AText.data() + AText.size(), Key.Value);
  Key.Valid = Error == std::errc() && End == AText.data() + AText.size();
  return Key;
}

// Reads up to AMax digits (at least one) at APos.
bool ReadDigits(std::string_view AText, std::size_t &APos, std::size_t AMax, int &AValue,
                std::size_t &ACount) {
  AValue = 0;
  ACount = 0;
  while (APos < AText.size() && ACount < AMax && AText[APos] >= '0' && AText[APos] <= '9') {
    AValue = AValue * 10 + (AText[APos++] - '0');
    ++ACount;
  }
  return ACount > 0;
}

// The server's date text: DD-MON-YY or DD-MON-YYYY, a time HH:MI[:SS] after a blank allowed.
TSortKey DateKey(std::string_view AText) {
  static constexpr const char *Months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                           "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  TSortKey Key;
  std::size_t Pos = 0, Count = 0;
  int Day = 0, Year = 0;
  if (!ReadDigits(AText, Pos, 2, Day, Count) || Pos + 5 > AText.size() || AText[Pos] != '-')
    return Key;
  char Name[3];
  for (int i = 0; i < 3; ++i) {
    char C = AText[Pos + 1 + std::size_t(i)];
    Name[i] = C >= 'a' && C <= 'z' ? char(C - 32) : C;
  }
  int Month = 0;
  while (Month < 12 && std::memcmp(Months[Month], Name, 3) != 0)
    ++Month;
  Pos += 4;
  if (Month == 12 || Pos >= AText.size() || AText[Pos] != '-')
    return Key;
  ++Pos;
  if (!ReadDigits(AText, Pos, 4, Year, Count) || (Count != 2 && Count != 4))
    return Key;
  if (Count == 2) // Oracle's RR: 00-49 this century, 50-99 the last
    Year += Year < 50 ? 2000 : 1900;
  int Clock[3] = {0, 0, 0};
  if (Pos < AText.size() && AText[Pos] == ' ') {
    ++Pos;
    for (int i = 0; i < 3 && Pos < AText.size(); ++i) {
      if (i > 0 && AText[Pos++] != ':')
        return Key;
      if (!ReadDigits(AText, Pos, 2, Clock[i], Count))
        return Key;
    }
  }
  if (Pos != AText.size())
    return Key;
  Key.Value =
      ((Year * 100.0 + Month + 1) * 100 + Day) * 1e6 + Clock[0] * 1e4 + Clock[1] * 100 + Clock[2];
  Key.Valid = true;
  return Key;
}

// A cell as one tab-separated field.
void AppendField(std::string &AText, std::string_view ACell) {
  for (char C : ACell)
    AText += C == '\t' || C == '\r' || C == '\n' ? ' ' : C;
}

void WriteCsvField(std::ostream &AStream, std::string_view AField) {
  if (AField.find_first_of(",\"\r\n") == std::string_view::npos) {
    AStream << AField;
    return;
  }
  AStream << '"';
  for (char C : AField) {
    if (C == '"')
      AStream << '"';
    AStream << C;
  }
  AStream << '"';
}

} // namespace

void TResultSet::Reset(std::vector<std::string> AHeader, std::vector<TColumnKind> AKinds) {
  FColumns.clear();
  FColumns.resize(AHeader.size());
  for (std::size_t i = 0; i < AHeader.size(); ++i) {
    FColumns[i].Name = std::move(AHeader[i]);
    if (i < AKinds.size())
      FColumns[i].Kind = AKinds[i];
  }
  FRowCount = 0;
  FOrder.clear();
  FSortColumn = -1;
  FSortAscending = true;
}

void TResultSet::AppendRow(const std::vector<std::string_view> &ACells,
                           const std::vector<bool> &ANulls) {
  for (std::size_t i = 0; i < FColumns.size(); ++i) {
    const std::uint64_t Size = i < ACells.size() ? ACells[i].size() : 0;
    if (FColumns[i].Used + Size + 2 * BlockSize > std::numeric_limits<std::uint32_t>::max())
      throw Exception("The result is too large to hold: column " + FColumns[i].Name +
                      " passes 4 GiB of text.");
  }
  if (FRowCount == std::numeric_limits<int>::max())
    throw Exception("The result is too large to hold: too many rows.");
  for (std::size_t i = 0; i < FColumns.size(); ++i) {
    const bool Null = i < ANulls.size() && ANulls[i];
    FColumns[i].Null.push_back(Null);
    Store(FColumns[i], !Null && i < ACells.size() ? ACells[i] : std::string_view());
  }
  if (!FOrder.empty())
    FOrder.push_back(std::uint32_t(FRowCount));
  ++FRowCount;
}

void TResultSet::AppendRows(const TResultSet &AMore) {
  const std::size_t Columns = std::min(FColumns.size(), AMore.FColumns.size());
  std::vector<std::string_view> Cells(Columns);
  std::vector<bool> Nulls(Columns);
  for (std::size_t Row = 0; Row < std::size_t(AMore.FRowCount); ++Row) {
    for (std::size_t i = 0; i < Columns; ++i) {
      Cells[i] = AMore.StoredCell(AMore.FColumns[i], Row);
      Nulls[i] = AMore.FColumns[i].Null[Row];
    }
    AppendRow(Cells, Nulls);
  }
}

TResultSet TResultSet::ColumnsOnly() const {
  TResultSet Result;
  for (const TColumn &Column : FColumns) {
    Result.FColumns.emplace_back();
    Result.FColumns.back().Name = Column.Name;
    Result.FColumns.back().Kind = Column.Kind;
  }
  return Result;
}

std::size_t TResultSet::RowIndex(int ARow) const {
  return FOrder.empty() ? std::size_t(ARow) : std::size_t(FOrder[std::size_t(ARow)]);
}

void TResultSet::Store(TColumn &AColumn, std::string_view AText) {
  const std::uint64_t Length = AText.size();
  std::uint64_t Begin = AColumn.Used;
  const std::uint64_t Room = std::uint64_t(AColumn.Blocks.size()) * BlockSize;
  const bool Fits = Length == 0 || (Begin < Room && Begin % BlockSize + Length <= BlockSize);
  if (!Fits) {
    // A new run of blocks from the next block's start.
    const std::size_t Count = std::size_t((Length + BlockSize - 1) / BlockSize);
    AColumn.Storage.push_back(std::make_unique<char[]>(Count * BlockSize));
    AColumn.StorageBytes += Count * BlockSize;
    for (std::size_t k = 0; k < Count; ++k)
      AColumn.Blocks.push_back(AColumn.Storage.back().get() + k * BlockSize);
    Begin = Room;
  }
  if (Length > 0)
    std::memcpy(AColumn.Blocks[std::size_t(Begin / BlockSize)] + Begin % BlockSize, AText.data(),
                std::size_t(Length));
  AColumn.Moved.push_back(Begin != AColumn.Used);
  AColumn.Used = std::uint32_t(Begin + Length);
  AColumn.End.push_back(AColumn.Used);
  AColumn.TextBytes += std::size_t(Length);
}

std::string_view TResultSet::StoredCell(const TColumn &AColumn, std::size_t ARow) const {
  std::uint32_t Begin = ARow == 0 ? 0 : AColumn.End[ARow - 1];
  if (AColumn.Moved[ARow])
    Begin = (Begin + BlockSize - 1) / BlockSize * BlockSize;
  const std::uint32_t Length = AColumn.End[ARow] - Begin;
  if (Length == 0)
    return {};
  return std::string_view(AColumn.Blocks[Begin / BlockSize] + Begin % BlockSize, Length);
}

std::string_view TResultSet::Cell(int AColumn, int ARow) const {
  if (AColumn < 0 || AColumn >= ColumnCount() || ARow < 0 || ARow >= FRowCount)
    return {};
  return StoredCell(FColumns[std::size_t(AColumn)], RowIndex(ARow));
}

bool TResultSet::IsNull(int AColumn, int ARow) const {
  if (AColumn < 0 || AColumn >= ColumnCount() || ARow < 0 || ARow >= FRowCount)
    return false;
  return FColumns[std::size_t(AColumn)].Null[RowIndex(ARow)];
}

void TResultSet::Sort(int AColumn, bool AAscending) {
  if (AColumn < 0 || AColumn >= ColumnCount())
    return;
  const TColumn &Column = FColumns[std::size_t(AColumn)];
  const std::size_t Rows = std::size_t(FRowCount);
  // Ranks: 0 a value of the column's kind, 1 a text that is not, 2 NULL; last whatever the
  // direction.
  std::vector<std::uint8_t> Rank(Rows, 0);
  std::vector<double> Keys;
  if (Column.Kind != TColumnKind::Text) {
    Keys.resize(Rows);
    for (std::size_t i = 0; i < Rows; ++i) {
      if (Column.Null[i])
        continue;
      const TSortKey Key = Column.Kind == TColumnKind::Number ? NumberKey(StoredCell(Column, i))
                                                              : DateKey(StoredCell(Column, i));
      Keys[i] = Key.Value;
      Rank[i] = Key.Valid ? 0 : 1;
    }
  }
  for (std::size_t i = 0; i < Rows; ++i)
    if (Column.Null[i])
      Rank[i] = 2;
  std::vector<std::uint32_t> Order(Rows);
  std::iota(Order.begin(), Order.end(), 0u);
  std::stable_sort(Order.begin(), Order.end(), [&](std::uint32_t A, std::uint32_t B) {
    if (Rank[A] != Rank[B])
      return Rank[A] < Rank[B];
    if (Rank[A] == 2)
      return false;
    if (Rank[A] == 0 && !Keys.empty())
      return AAscending ? Keys[A] < Keys[B] : Keys[B] < Keys[A];
    const std::string_view TextA = StoredCell(Column, A), TextB = StoredCell(Column, B);
    return AAscending ? TextA < TextB : TextB < TextA;
  });
  FOrder = std::move(Order);
  FSortColumn = AColumn;
  FSortAscending = AAscending;
}

std::string TResultSet::CopyText(const std::vector<int> &AColumns,
                                 const std::vector<int> &ARows) const {
  std::string Text;
  for (std::size_t i = 0; i < AColumns.size(); ++i) {
    if (i > 0)
      Text += '\t';
    if (AColumns[i] >= 0 && AColumns[i] < ColumnCount())
      AppendField(Text, Header(AColumns[i]));
  }
  Text += '\n';
  for (int Row : ARows) {
    for (std::size_t i = 0; i < AColumns.size(); ++i) {
      if (i > 0)
        Text += '\t';
      AppendField(Text, Cell(AColumns[i], Row));
    }
    Text += '\n';
  }
  return Text;
}

std::string TResultSet::CopyText() const {
  std::vector<int> Columns(static_cast<std::size_t>(ColumnCount()));
  std::vector<int> Rows(static_cast<std::size_t>(FRowCount));
  std::iota(Columns.begin(), Columns.end(), 0);
  std::iota(Rows.begin(), Rows.end(), 0);
  return CopyText(Columns, Rows);
}

void TResultSet::WriteCsv(std::ostream &AStream) const {
  for (int i = 0; i < ColumnCount(); ++i) {
    if (i > 0)
      AStream << ',';
    WriteCsvField(AStream, Header(i));
  }
  AStream << "\r\n";
  for (int Row = 0; Row < FRowCount; ++Row) {
    for (int i = 0; i < ColumnCount(); ++i) {
      if (i > 0)
        AStream << ',';
      WriteCsvField(AStream, Cell(i, Row));
    }
    AStream << "\r\n";
  }
}

std::string TResultSet::CsvText() const {
  std::ostringstream Stream;
  WriteCsv(Stream);
  return Stream.str();
}

std::size_t TResultSet::TextBytes() const {
  std::size_t Bytes = 0;
  for (const TColumn &Column : FColumns)
    Bytes += Column.TextBytes;
  return Bytes;
}

std::size_t TResultSet::MemoryBytes() const {
  std::size_t Bytes = FOrder.capacity() * sizeof(std::uint32_t);
  for (const TColumn &Column : FColumns)
    Bytes += Column.StorageBytes + Column.Blocks.capacity() * sizeof(char *) +
             Column.End.size() * sizeof(std::uint32_t) + Column.Null.capacity() / 8 +
             Column.Moved.capacity() / 8;
  return Bytes;
}

TColumnKind ColumnKindOf(int AParamType) {
  switch (AParamType) {
  case oNumber:
  case oInteger:
    return TColumnKind::Number;
  case oDate:
    return TColumnKind::Date;
  default:
    return TColumnKind::Text;
  }
}

// ---- Fetching --------------------------------------------------------------------------------

int TResultFetch::BatchRows(TDataSetLite &AQuery) const {
  const int Rows = std::max(1, Limit);
  std::int64_t RowBytes = 0;
  TFields &Fields = AQuery.Fields();
  for (int i = 0; i < Fields.Count(); ++i) // the value, its indicator, length and return code
    RowBytes += std::max(Fields.Items(i)->ItemSize(), 1) + 8;
  const std::int64_t Fit = RowBytes > 0 ? std::int64_t(BufferBytes) / RowBytes : Rows;
  return int(std::clamp<std::int64_t>(Fit, 1, Rows));
}

bool TResultFetch::Start(TDataSetLite &AQuery, TResultSet &ARows) const {
  return Fetch(AQuery, ARows, true);
}

bool TResultFetch::More(TDataSetLite &AQuery, TResultSet &ARows) const {
  if (AQuery.State() != TDataSetState::Fetching)
    return false;
  return Fetch(AQuery, ARows, false);
}

bool TResultFetch::Fetch(TDataSetLite &AQuery, TResultSet &ARows, bool AExecute) const {
  const int Rows = std::max(1, Limit);
  TFields &Fields = AQuery.Fields();
  const int Batch = BatchRows(AQuery);
  if (AExecute) {
    // The buffers are set up for the batch at the execute and kept for every later fetch.
    Fields.SetDimension(Batch);
    std::vector<std::string> Header;
    std::vector<TColumnKind> Kinds;
    for (int i = 0; i < Fields.Count(); ++i) {
      Header.push_back(Fields.Items(i)->ParamName());
      Kinds.push_back(ColumnKindOf(Fields.Items(i)->DataType()));
    }
    ARows.Reset(std::move(Header), std::move(Kinds));
  }
  std::vector<std::string> Texts(std::size_t(Fields.Count()));
  std::vector<std::string_view> Cells(Texts.size());
  std::vector<bool> Nulls(Texts.size());
  int Taken = 0;
  auto Take = [&] {
    const int Count =
        std::clamp(AQuery.RowsProcessed(), 0, std::min(Fields.Dimension(), Rows - Taken));
    for (int j = 0; j < Count; ++j) {
      for (int i = 0; i < Fields.Count(); ++i) {
        TParam *Field = Fields.Items(i);
        Nulls[std::size_t(i)] = Field->RowIsNull(j);
        Texts[std::size_t(i)] = Field->RowAsString(j);
        Cells[std::size_t(i)] = Texts[std::size_t(i)];
      }
      ARows.AppendRow(Cells, Nulls);
    }
    Taken += Count;
  };
  if (AExecute)
    AQuery.ExecuteFetch(Batch, false);
  else
    AQuery.FetchNext(std::min(Batch, Rows));
  Take();
  while (Taken < Rows && AQuery.State() == TDataSetState::Fetching) {
    AQuery.FetchNext(std::min(Batch, Rows - Taken));
    Take();
  }
  return AQuery.State() == TDataSetState::Fetching;
}

std::string StatementResultText(int AFunctionCode, std::int64_t ARowsProcessed) {
  std::string Text = std::string(SqlFunctionName(AFunctionCode)) + " Success";
  if (AFunctionCode == fcInsert || AFunctionCode == fcUpdate || AFunctionCode == fcDelete ||
      AFunctionCode == fcMerge)
    Text += ", " + std::to_string(ARowsProcessed) + (ARowsProcessed == 1 ? " row" : " rows");
  return Text;
}
