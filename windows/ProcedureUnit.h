// The procedure test window: a stored procedure or function chosen from the server's list, its
// parameters as grid columns (input values typed into one grid, results read from the other),
// called with "Go !".
#pragma once

#include "classes/Forms.h"
#include "classes/WindowPlacement.h"

#include <QItemSelectionModel>
#include <QTableWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class TWindowsHost;
class TOracleQuery;
class TParam;
class TParams;
class TSplitter;
class TStringList;

// What the window asks of the stored-procedure component on the main connection: the list of
// procedures for the chooser, the description of one (its parameters) and the call. The
// window's own component does this on the server; tests give it others.
class TProcedureCall {
public:
  virtual ~TProcedureCall() = default;
  // Every standalone procedure and function, then every package's members.
  virtual void GetProcedureList(TStringList &AStrings) = 0;
  // Describes the procedure and rebuilds Params; an empty name leaves no parameters.
  virtual void SetProcedureName(const std::string &AName) = 0;
  virtual TParams &Params() = 0;
  virtual void Execute() = 0;
};

// The hint of a grid cell AWidth pixels wide holding AText, as the grid's hint property takes
// it: when " " + text + " " does not fit, the text with every "|" shown as the broken bar
// (character 166) and a "|" appended (an empty long hint); otherwise empty.
std::string CellHintText(const std::string &AText, int ATextWidth, int ACellWidth);

// A string grid of the window: row 0 is the fixed row of parameter names (the column
// headers), rows 1 onwards hold the values, one per element of a parameter. The grid draws no
// lines of its own; the window frames the cells that exist for each column's parameter.
class TProcedureGrid : public QTableWidget {
public:
  static constexpr int DefaultColWidth = 64;
  static constexpr int DefaultRowHeight = 17;

  TProcedureGrid(bool AInput, QWidget *AParent = nullptr);

  bool IsInput() const { return FInput; }
  // Columns and rows as the grid counts them: RowCount includes the fixed row.
  int ColCount() const { return columnCount(); }
  void SetColCount(int AValue);
  int RowCount() const { return rowCount() + 1; }
  void SetRowCount(int AValue);
  std::string Cells(int ACol, int ARow) const;
  void SetCells(int ACol, int ARow, const std::string &AText);
  int ColWidths(int ACol) const { return columnWidth(ACol); }
  void SetColWidths(int ACol, int AWidth) { setColumnWidth(ACol, AWidth); }
  // The current cell as (column, row), row 1 being the first value row; (-1, -1) when none.
  QPoint CurrentCell() const;
  void SetCurrentCell(int ACol, int ARow);

  // The number of elements of the parameter of a column (0 when the column has none); the
  // window answers it.
  std::function<int(int ACol)> ColumnDimension;
  // Whether a cell may become the current cell; the input grid's window refuses cells that do
  // not exist. Unset: every cell may.
  std::function<bool(int ACol, int ARow)> CanSelectCell;

  // The silver lines of a value cell: which of its edges are drawn.
  struct TFrame {
    bool Left = false, Top = false, Right = false, Bottom = false;
    bool operator==(const TFrame &) const = default;
  };
  TFrame CellFrame(int ACol, int ARow) const;

  // The hint of the cell under a point of the viewport; empty off the cells.
  std::string HintAt(const QPoint &APosition) const;
  const std::string &CurrentHint() const { return FHint; }

  // A value still being typed goes into its cell.
  void CommitEditor();
  bool Editing() const { return state() == QAbstractItemView::EditingState; }

  // The clipboard keys: copy, cut (input grid: copy and empty) and paste (input grid only).
  void CopyCurrentCell();
  void CutCurrentCell();
  void PasteIntoCurrentCell();

protected:
  // A cell that may not be selected is not edited either (a double-click reaches it without
  // making it current).
  bool edit(const QModelIndex &AIndex, EditTrigger ATrigger, QEvent *AEvent) override;
  void keyPressEvent(QKeyEvent *AEvent) override;
  bool viewportEvent(QEvent *AEvent) override;

private:
  bool FInput;
  std::string FHint;
};

// The values of a procedure window's desktop record after its placement.
struct TProcedureDesktopValues {
  TWindowPlacement Placement;
  double SplitRatio = 0.5;
  std::string ProcedureName;
  std::vector<int> InputWidths, OutputWidths;
};

class TProcedureForm : public TForm {
public:
  static constexpr const char *NoParameters = "NO PARAMETERS";

  using TCallFactory = std::function<std::unique_ptr<TProcedureCall>(TProcedureForm &)>;
  // The component a new window calls through; the default works on the main connection.
  static TCallFactory CallFactory;

  // The menu command: opens the main connection and a new window, and, with a desktop record,
  // gives it that record's placement, split ratio, procedure and column widths.
  static TProcedureForm *Create(TWindowsHost &AHost,
                                const TProcedureDesktopValues *ADesktop = nullptr);
  // The desktop restore: reads the record whole first, so a window that cannot be created (a
  // cancelled login, a procedure that no longer describes) is reported and the records after
  // it still restore. A record that cannot be read raises EReadError.
  static void RestoreFromDesktop(TWindowsHost &AHost, TValueReader &AReader);
  static TProcedureDesktopValues ReadDesktopRecord(TValueReader &AReader);

  explicit TProcedureForm(QWidget *AParent = nullptr);
  ~TProcedureForm() override;

  QWidget *TopPanel;
  QComboBox *ProcedureComboBox;
  QWidget *DistancePanel1;
  QPushButton *GoButton;
  QWidget *DistancePanel2;
  QLabel *Label1, *Label2;
  TProcedureGrid *InputStringGrid;
  TSplitter *Splitter;
  TProcedureGrid *OutputStringGrid;
  TOracleQuery *Query;

  // Fills the chooser (the call component comes from CallFactory).
  void FormCreate();
  // Fills the list from the server again, keeping the chosen name; the list is read each time
  // it drops down, so units compiled since the window opened are there.
  void RefreshProcedureList();
  void ProcedureComboBoxChange();
  void GoButtonClick();
  void FormResize();
  void SplitterMove();

  // The component the window calls through.
  TProcedureCall &StoredProc() { return *FCall; }
  // The parameter of a grid column, found by its header; none for "NO PARAMETERS".
  TParam *ColumnParam(const TProcedureGrid &AGrid, int ACol) const;
  bool HasParameters(const TProcedureGrid &AGrid) const;

  double SplitRatio() const { return FSplitRatio; }
  std::vector<std::string> ProcedureNames() const;
  std::string ProcedureText() const;
  // Chooses the entry with exactly this text (none when there is no such entry) and describes
  // it, as a choice of the user does.
  void ChooseProcedure(const std::string &AName);

  const char *FormClassName() const override { return "TProcedureForm"; }
  void WriteDesktopValues(TValueWriter &AWriter) override;
  void FormActivate() override { FormResize(); }

protected:
  void resizeEvent(QResizeEvent *AEvent) override;

private:
  void ApplyDesktopValues(const TProcedureDesktopValues &AValues);
  void ResetGrid(TProcedureGrid &AGrid);
  void AddColumn(TProcedureGrid &AGrid, const std::string &AName);
  void FillOutputs();

  std::unique_ptr<TProcedureCall> FCall;
  double FSplitRatio = 0.5;
};
