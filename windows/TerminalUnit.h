// The terminal window: one ad-hoc statement at a time on the main connection, a query's first
// rows in a grid, any other statement's kind and success, and a history of what ran.
#pragma once

#include "app/MainUnitConfig.h"
#include "classes/Forms.h"
#include "classes/Threads.h"
#include "windows/ResultGrid.h"

#include <memory>

#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class TPlainTextEdit;
class QPushButton;
class TOracleQuery;
struct TStatementOutcome;
class TWindowsHost;

// The name of a statement kind by the SQL function code the cursor reports for it (4 = SELECT);
// "" for the codes without a name and for any code outside 1 to 76.
const char *StatementKindName(int AFunctionCode);

// The combo-box history rule: a text already held is not added again; when the list already
// holds ADropDownCount entries the second oldest (index 1) goes first, so the oldest stays;
// then the text is appended. Returns whether the list changed.
bool AddToHistory(std::vector<std::string> &AHistory, const std::string &AText,
                  std::size_t ADropDownCount);

class TTerminalForm : public TForm, public IConfigEditor {
public:
  static constexpr int DefaultColWidth = TResultGrid::DefaultColWidth;
  static constexpr int DefaultRowHeight = TResultGrid::DefaultRowHeight;
  static constexpr int DropDownCount = 8;
  // The most the field buffers of one fetch may take.
  std::size_t FetchBufferBytes = 16u << 20;

  explicit TTerminalForm(QWidget *AParent = nullptr);
  ~TTerminalForm() override;

  // A new terminal window in the main window's frame; with a desktop reader, it takes its
  // placement, command text and history from the record there.
  static TTerminalForm *Create(TWindowsHost &AHost, TValueReader *ADesktop = nullptr);

  QWidget *TopPanel;
  // The statement: an editor with the script colouring that grows with its lines (up to
  // MaxCommandLines); Ctrl+Enter runs it, Up on its first line and Down on its last walk the
  // history.
  TPlainTextEdit *CommandEditor;
  // The history, oldest first: a drop-down beside the editor; a pick goes into the editor.
  QComboBox *CommandBox;
  static constexpr int MaxCommandLines = 8;
  QWidget *DistancePanel1;
  QPushButton *GoButton;
  // Breaks off the statement that runs (Escape does the same); enabled only meanwhile.
  QPushButton *CancelButton;
  QWidget *DistancePanel2;
  // The result grid with its status line; StringGrid and GridModel are its view and rows.
  TResultGrid *ResultGrid;
  TResultGridView *StringGrid;
  TResultGridModel *GridModel;
  QMenu *TerminalMenu;
  QAction *TerminalDefaultArrangementItem, *TerminalFitToTextItem, *TerminalFitToWindowItem;
  TOracleQuery *Query;

  // Runs the statement on a worker thread; the window stays responsive and shows the outcome
  // when it comes. One statement at a time: Go does nothing while one runs.
  void GoButtonClick();
  void CancelButtonClick();
  bool Running() const { return FRunRef.load() != nullptr; }
  // Processes events until the statement that runs has ended.
  void WaitForStatement();
  void TerminalDefaultArrangementItemClick();
  void TerminalFitToTextItemClick();
  void TerminalFitToWindowItemClick();

  // The statement history, oldest first.
  std::vector<std::string> History() const;
  // Puts the history entry before (ASteps < 0) or after the one shown into the editor; past
  // the newest entry the editor is emptied.
  void WalkHistory(int ASteps);
  std::string CommandText() const;
  void SetCommandText(const std::string &AText);

  // For each column, the widest " text " of its header and data rows in the window's font.
  std::vector<int> TextWidths() const { return ResultGrid->TextWidths(); }
  std::vector<int> ColumnWidths() const { return ResultGrid->ColumnWidths(); }

  // IConfigEditor: the statement editor follows the script editors' font and colours.
  void ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool AAutoIndent,
                         bool ABackspaceUnindents, int ATabSize, int AUndoLimit,
                         bool ALineNumbers) override;

  std::vector<TMenuGroup> MenuGroups() const override { return {{8, TerminalMenu}}; }
  const char *FormClassName() const override { return "TTerminalForm"; }
  void WriteDesktopValues(TValueWriter &AWriter) override;
  // The command text and history of a desktop record (after its placement).
  void ReadDesktopValues(TValueReader &AReader);

protected:
  void resizeEvent(QResizeEvent *AEvent) override;
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  void SetHistory(const std::vector<std::string> &AHistory);
  void StatementDone(const std::string &AStatement, TStatementOutcome &AOutcome);
  void ShowRunning(bool ARunning);
  // The top panel as high as the statement's lines.
  void FitCommandHeight();

  std::unique_ptr<TConfigEditorRegistration> FConfigRegistration;
  int FHistoryIndex = -1; // the entry the editor shows from the history; -1 none

  TThreadRef FRunRef{nullptr};
};
