// The result grid every window that shows rows uses (the terminal, the editor's result pane):
// the rows in a table view, a status line under it, fetching on when the user scrolls to the
// end of a result the batch size cut, sorting by a header click, selection, the clipboard and
// CSV export. What it does with the rows themselves is TResultSet's (db/ResultSet.h).
#pragma once

#include "classes/Events.h"
#include "db/ResultSet.h"

#include <QAbstractTableModel>
#include <QPersistentModelIndex>
#include <QTableView>
#include <QWidget>
#include <chrono>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class TDataSetLite;

// Fit to Window: each width scaled so that the widths with their one-pixel grid lines fill
// AAvailable, w * AAvailable / (1 + sum(w + 1)), rounded half to even.
std::vector<int> FitWidths(const std::vector<int> &ATextWidths, int AAvailable);

// The status line of a query's rows: how many were fetched, whether more are waiting, and how
// long the statement took ("14 rows fetched, 0.012 s", "100 rows fetched, more rows, 1.500 s").
std::string ResultStatusText(int ARows, bool AMore, std::chrono::steady_clock::duration AElapsed);

// What the grid shows: the header row as the column header and the data rows under it. Nothing
// in it can be edited. A query without rows shows its column names over one empty row.
class TResultGridModel : public QAbstractTableModel {
public:
  using QAbstractTableModel::QAbstractTableModel;

  // A table of texts (a statement's result message); every column has ARowCount cells.
  void SetTable(std::vector<std::string> AHeader, std::vector<std::vector<std::string>> ACells,
                int ARowCount);
  // A query's rows; its numbers show right-aligned and its NULLs greyed as "(null)", never
  // like an empty string.
  void SetRows(TResultSet ARows);
  // A later batch of the same query; a sort in force takes the new rows in.
  void AppendRows(const TResultSet &AMore);
  const TResultSet &Rows() const { return FRows; }
  // Orders the rows by a column; the view's selection follows the rows.
  void SortRows(int AColumn, bool AAscending);

  int DataRowCount() const { return std::max(FRows.RowCount(), FRows.ColumnCount() > 0 ? 1 : 0); }
  int ColumnCount() const { return FRows.ColumnCount(); }
  const std::string &Header(int AColumn) const { return FRows.Header(AColumn); }
  std::string Cell(int AColumn, int ARow) const { return std::string(FRows.Cell(AColumn, ARow)); }
  bool IsNumeric(int AColumn) const;
  bool IsNull(int AColumn, int ARow) const { return FRows.IsNull(AColumn, ARow); }

  int rowCount(const QModelIndex &AParent = {}) const override;
  int columnCount(const QModelIndex &AParent = {}) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &AIndex) const override;

private:
  TResultSet FRows;
  bool FTyped = false; // the rows came from a query, so their column kinds count
};

// The table view: the header row as its column header, row numbers down the side (a click
// there selects the row, the corner selects all); cells, rows or all may be selected. It shows
// the text of a cut-off cell as its hint.
class TResultGridView : public QTableView {
public:
  explicit TResultGridView(QWidget *AParent = nullptr);

  // The hint of a cell AWidth pixels wide holding AText: the text when it does not fit with a
  // blank on either side, else empty.
  QString CellHint(const QString &AText, int AWidth) const;
  // The text of the cell under a point of the viewport (or of the header); empty off the cells.
  QString HintAt(const QPoint &APosition) const;
  QString HeaderHintAt(const QPoint &APosition) const;

  // The shown rows and the columns that hold a selected cell, in display order.
  void SelectedArea(std::vector<int> &AColumns, std::vector<int> &ARows) const;

  // The clipboard keys: Ctrl+C, Ctrl+Insert, Ctrl+X and Shift+Delete copy the selection,
  // Ctrl+Shift+C the whole result.
  TNotifyEvent OnCopy, OnCopyAll;
  // The user went past the last row (scrolled, or moved the current cell down there).
  TNotifyEvent OnEndReached;

protected:
  void ShowCellHint(const QPoint &APosition, const QPoint &AGlobalPosition);
  bool event(QEvent *AEvent) override;
  bool viewportEvent(QEvent *AEvent) override;
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
  void keyPressEvent(QKeyEvent *AEvent) override;
  void wheelEvent(QWheelEvent *AEvent) override;

private:
  bool AtLastRow() const;
  QPersistentModelIndex FHintCell; // the cell whose hint shows
};

// The grid with its status line, and the query whose cursor stays open while more rows wait.
class TResultGrid : public QWidget {
public:
  static constexpr int DefaultColWidth = 64;
  static constexpr int DefaultRowHeight = 17;
  // A new result's columns are fitted to header and data, but no wider than this many digits.
  static constexpr int MaxFittedChars = 60;

  explicit TResultGrid(QWidget *AParent = nullptr);

  TResultGridView *Grid;
  TResultGridModel *Model;
  QLabel *StatusLine;
  QMenu *GridMenu;
  QAction *CopyItem, *CopyAllItem, *SelectAllItem, *ExportItem;

  // A query's first batch, ARows, fetched by AFetch from AQuery; with AMore the cursor is still
  // open and scrolling to the end fetches the next batch. AKey names the statement: shown
  // again, its columns keep the user's widths; a new one gets widths fitted to what it shows.
  void ShowRows(TResultSet ARows, bool AMore, TDataSetLite *AQuery, const TResultFetch &AFetch,
                std::chrono::steady_clock::duration AElapsed, const std::string &AKey);
  // A statement's result message under the header "Result", fitted to the window.
  void ShowMessage(const std::string &AText, std::chrono::steady_clock::duration AElapsed);
  // Forgets the query: its cursor is about to be reused or closed.
  void Detach();
  bool MoreRows() const { return FQuery != nullptr; }

  // The next batch of an open cursor into the grid; false when no more came.
  bool FetchMore();
  // Fetches what remains.
  void FetchAll();
  void SelectAll();
  // Puts the selection on the clipboard as tab-separated text with a header line.
  void CopySelection();
  // The whole result (what remains is fetched first) on the clipboard.
  void CopyAll();
  // Writes the whole result (fetching what remains) as CSV; a file that cannot be written
  // raises its error and leaves any old file whole.
  void ExportCsv(const std::string &AFileName);
  // Asks for the file name, then ExportCsv; tests replace the question.
  std::function<std::string()> AskCsvFileName;
  void ExportItemClick();

  // Column widths.
  std::vector<int> ColumnWidths() const;
  // For each column, the widest " text " of its header and data rows in the grid's font.
  std::vector<int> TextWidths() const;
  void DefaultArrangement();
  void FitToText();
  void FitToWindow();

  std::string StatusText() const;

private:
  std::vector<int> FittedWidths() const;
  void UpdateStatus();

  TDataSetLite *FQuery = nullptr; // while its cursor holds more rows
  TResultFetch FFetch;
  std::string FShownKey;
  std::chrono::steady_clock::duration FElapsed{};
  bool FShowsRows = false;
};
