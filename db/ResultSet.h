// The rows a query fetched, as a result grid shows them: column names and kinds, each cell's
// text and whether it is NULL, the order a sort put them in, and the text forms they leave the
// program in (tab-separated for the clipboard, CSV for a file). Independent of any window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class TDataSetLite;

// How a column's values compare when sorted.
enum class TColumnKind : std::uint8_t { Text, Number, Date };

class TResultSet {
public:
  // Drops every row and sets the columns anew; no sort is in force.
  void Reset(std::vector<std::string> AHeader, std::vector<TColumnKind> AKinds = {});
  void Clear() { Reset({}); }

  int ColumnCount() const { return int(FColumns.size()); }
  int RowCount() const { return FRowCount; }
  const std::string &Header(int AColumn) const { return FColumns[std::size_t(AColumn)].Name; }
  TColumnKind Kind(int AColumn) const { return FColumns[std::size_t(AColumn)].Kind; }

  // Adds one row; ACells holds one text per column (a NULL's text is empty). A column whose
  // text would pass 4 GiB raises an error and the row is not added.
  void AppendRow(const std::vector<std::string_view> &ACells, const std::vector<bool> &ANulls);
  // Adds the rows of a set with the same columns (a later batch of the same query), in the
  // order they were fetched.
  void AppendRows(const TResultSet &AMore);
  // The same columns without rows: where the next batch is fetched to.
  TResultSet ColumnsOnly() const;

  // The cell of shown row ARow (after any sort).
  std::string_view Cell(int AColumn, int ARow) const;
  bool IsNull(int AColumn, int ARow) const;

  // Orders the rows by one column, stable: numbers as numbers, dates as dates (the server's
  // DD-MON-YY text, two-digit years read as Oracle's RR does), text byte by byte; NULLs come
  // last either way, as do values that do not read as the column's kind (after those that do).
  void Sort(int AColumn, bool AAscending);
  // -1 while the rows stand in the order they were fetched.
  int SortColumn() const { return FSortColumn; }
  bool SortAscending() const { return FSortAscending; }

  // Tab-separated text of the given columns and shown rows, in the order given: a header line
  // of the column names, then one line per row; line feeds end the lines. Tabs and line breaks
  // inside a cell become blanks, so each cell stays one field; a NULL is an empty field.
  std::string CopyText(const std::vector<int> &AColumns, const std::vector<int> &ARows) const;
  // The same for every column and row.
  std::string CopyText() const;
  // RFC 4180: a header row, then every row; CR LF ends each record; a field holding a comma, a
  // double quote, CR or LF is quoted with its quotes doubled. The bytes go out as they are.
  void WriteCsv(std::ostream &AStream) const;
  std::string CsvText() const;

  // The text the rows hold, and the bytes the set takes for it all (text, cell bounds, NULL
  // marks and sort order), for the memory bound of a long result.
  std::size_t TextBytes() const;
  std::size_t MemoryBytes() const;

private:
  // A column's cells. The text lies in blocks that never move once written: one growing buffer
  // would be copied again and again and leave the copies behind, so that a long result took
  // far more memory than its text. Positions count through the blocks as one run of bytes,
  // block k starting at k * BlockSize; a cell never straddles blocks, and one longer than a
  // block gets a run of blocks of its own, in one piece.
  static constexpr std::uint32_t BlockSize = 1u << 16;
  struct TColumn {
    TColumn() = default;
    TColumn(TColumn &&) noexcept = default; // the column list may grow without copying
    TColumn &operator=(TColumn &&) noexcept = default;
    std::string Name;
    TColumnKind Kind = TColumnKind::Text;
    std::vector<char *> Blocks;                   // block k's first byte
    std::vector<std::unique_ptr<char[]>> Storage; // the pieces the blocks lie in
    std::size_t StorageBytes = 0;
    std::uint32_t Used = 0; // the position after the last cell
    std::size_t TextBytes = 0;
    std::deque<std::uint32_t> End; // where each cell's text ends
    std::vector<bool> Null;
    std::vector<bool> Moved; // the cell starts a new block, not where the one before ended
  };
  void Store(TColumn &AColumn, std::string_view AText);
  std::size_t RowIndex(int ARow) const;
  std::string_view StoredCell(const TColumn &AColumn, std::size_t ARow) const;

  std::vector<TColumn> FColumns;
  int FRowCount = 0;
  std::vector<std::uint32_t> FOrder; // shown row -> stored row; empty while unsorted
  int FSortColumn = -1;
  bool FSortAscending = true;
};

// The column kind of a field of a described query.
TColumnKind ColumnKindOf(int AParamType);

// Fetching a query's rows into a result set, a batch at a time, with the field buffers held to
// ABufferBytes. The query is prepared and its fields described.
struct TResultFetch {
  int Limit = 100;                     // rows per batch, at least 1
  std::size_t BufferBytes = 16u << 20; // the most the field buffers of one fetch may take
  // Executes the query and fetches the first batch into ARows, which is reset to the query's
  // columns. Returns whether the cursor holds more rows (it then stays open).
  bool Start(TDataSetLite &AQuery, TResultSet &ARows) const;
  // Fetches the next batch of an open cursor and appends it; returns whether more rows remain.
  bool More(TDataSetLite &AQuery, TResultSet &ARows) const;

private:
  int BatchRows(TDataSetLite &AQuery) const;
  bool Fetch(TDataSetLite &AQuery, TResultSet &ARows, bool AExecute) const;
};

// What a statement that returns no rows reports: its kind and " Success", and for INSERT,
// UPDATE and DELETE the rows it touched ("INSERT Success, 3 rows").
std::string StatementResultText(int AFunctionCode, std::int64_t ARowsProcessed);
