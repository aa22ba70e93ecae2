// The terminal window: one ad-hoc statement at a time on the main connection, a query's first
// rows in a grid, any other statement's kind and success, and a history of what ran.
#pragma once

#include "classes/Forms.h"

#include <QAbstractTableModel>
#include <QPersistentModelIndex>
#include <QTableView>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QPushButton;
class TOracleQuery;
class TWindowsHost;

// The name of a statement kind by the SQL function code the cursor reports for it (4 = SELECT);
// "" for the codes without a name and for any code outside 1 to 76.
const char *StatementKindName(int AFunctionCode);

// The combo-box history rule: a text already held is not added again; when the list already
// holds ADropDownCount entries the second oldest (index 1) goes first, so the oldest stays;
// then the text is appended. Returns whether the list changed.
bool AddToHistory(std::vector<std::string> &AHistory, const std::string &AText,
                  std::size_t ADropDownCount);

// Fit to Window: each width scaled so that the widths with their one-pixel grid lines fill
// AAvailable, w * AAvailable / (1 + sum(w + 1)), rounded half to even.
std::vector<int> FitWidths(const std::vector<int> &ATextWidths, int AAvailable);

// What the grid shows: a header row and the data rows under it, column by column. Nothing in
// it can be edited.
class TTerminalGridModel : public QAbstractTableModel {
public:
  using QAbstractTableModel::QAbstractTableModel;

  // Replaces the whole table; every column has AHeader.size() cells in ACells.
  void SetTable(std::vector<std::string> AHeader, std::vector<std::vector<std::string>> ACells,
                int ARowCount);

  int DataRowCount() const { return FRowCount; }
  int ColumnCount() const { return static_cast<int>(FHeader.size()); }
  const std::string &Header(int AColumn) const { return FHeader[std::size_t(AColumn)]; }
  const std::string &Cell(int AColumn, int ARow) const {
    return FCells[std::size_t(AColumn)][std::size_t(ARow)];
  }
  // What a query's rows add: the columns that hold numbers (shown right-aligned) and the cells
  // that are NULL (shown greyed as "(null)", never like an empty string; their text is empty).
  // SetTable clears both.
  void SetValueKinds(std::vector<bool> ANumeric, std::vector<std::vector<bool>> ANull);
  bool IsNumeric(int AColumn) const;
  bool IsNull(int AColumn, int ARow) const;

  int rowCount(const QModelIndex &AParent = {}) const override;
  int columnCount(const QModelIndex &AParent = {}) const override;
  QVariant data(const QModelIndex &AIndex, int ARole = Qt::DisplayRole) const override;
  QVariant headerData(int ASection, Qt::Orientation AOrientation,
                      int ARole = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex &AIndex) const override;

private:
  std::vector<std::string> FHeader;
  std::vector<std::vector<std::string>> FCells; // [column][row]
  std::vector<bool> FNumeric;                   // [column]
  std::vector<std::vector<bool>> FNull;         // [column][row]
  int FRowCount = 0;
};

// The grid: a table view with the header row as its column header and no row header. It shows
// the text of a cut-off cell as its hint and copies the current cell with the clipboard keys.
class TTerminalGrid : public QTableView {
public:
  explicit TTerminalGrid(QWidget *AParent = nullptr);

  // The hint of a cell AWidth pixels wide holding AText: the text when it does not fit with a
  // blank on either side, else empty.
  QString CellHint(const QString &AText, int AWidth) const;
  // The text of the cell under a point of the viewport (or of the header); empty off the cells.
  QString HintAt(const QPoint &APosition) const;
  QString HeaderHintAt(const QPoint &APosition) const;
  // Puts the text of the current cell on the clipboard.
  void CopyCurrentCell();

protected:
  void ShowCellHint(const QPoint &APosition, const QPoint &AGlobalPosition);
  bool viewportEvent(QEvent *AEvent) override;
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
  void keyPressEvent(QKeyEvent *AEvent) override;

private:
  QPersistentModelIndex FHintCell; // the cell whose hint shows
};

class TTerminalForm : public TForm {
public:
  static constexpr int DefaultColWidth = 64;
  static constexpr int DefaultRowHeight = 17;
  static constexpr int DropDownCount = 8;
  // The most the field buffers of one fetch may take.
  std::size_t FetchBufferBytes = 16u << 20;

  explicit TTerminalForm(QWidget *AParent = nullptr);
  ~TTerminalForm() override;

  // A new terminal window in the main window's frame; with a desktop reader, it takes its
  // placement, command text and history from the record there.
  static TTerminalForm *Create(TWindowsHost &AHost, TValueReader *ADesktop = nullptr);

  QWidget *TopPanel;
  QComboBox *CommandBox;
  QWidget *DistancePanel1;
  QPushButton *GoButton;
  QWidget *DistancePanel2;
  TTerminalGrid *StringGrid;
  TTerminalGridModel *GridModel;
  QMenu *TerminalMenu;
  QAction *TerminalDefaultArrangementItem, *TerminalFitToTextItem, *TerminalFitToWindowItem;
  TOracleQuery *Query;

  void GoButtonClick();
  void TerminalDefaultArrangementItemClick();
  void TerminalFitToTextItemClick();
  void TerminalFitToWindowItemClick();

  // The statement history, oldest first.
  std::vector<std::string> History() const;
  std::string CommandText() const;
  void SetCommandText(const std::string &AText);

  // For each column, the widest " text " of its data rows in the window's font.
  std::vector<int> TextWidths() const;
  std::vector<int> ColumnWidths() const;

  std::vector<TMenuGroup> MenuGroups() const override { return {{8, TerminalMenu}}; }
  const char *FormClassName() const override { return "TTerminalForm"; }
  void WriteDesktopValues(TValueWriter &AWriter) override;
  // The command text and history of a desktop record (after its placement).
  void ReadDesktopValues(TValueReader &AReader);

protected:
  void resizeEvent(QResizeEvent *AEvent) override;

private:
  void SetHistory(const std::vector<std::string> &AHistory);
  int FetchBatchRows(int ALimit);
  void ShowQueryRows(int ALimit);
  void ShowSuccess(int AFunctionCode);
  // The widths a new result gets: fitted to its header and rows, at most MaxFittedChars wide.
  std::vector<int> FittedWidths() const;

  // The query whose rows the grid shows: run again, its columns keep the user's widths.
  std::string FShownQuery;
  static constexpr int MaxFittedChars = 60;
};
