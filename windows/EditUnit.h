// The script editor window: one script file in the editor control, with the error list under
// it, its own menus merged into the frame's, find and replace, and its desktop record.
#pragma once

#include "app/MainUnitConfig.h"
#include "classes/Forms.h"
#include "controls/PTEdit.h"
#include "controls/Splitter.h"
#include "windows/ResultGrid.h"

#include <QAction>
#include <QMenu>
#include <memory>
#include <string>

class QFileDialog;
class QListWidget;
class QListWidgetItem;
class TFindDialog;
class TOracleQuery;
class TReplaceDialog;
class TWindowsHost;

class TEditForm : public TForm, public IEditorCommands, public IConfigEditor {
public:
  // The name of a window that has never been saved.
  static constexpr const char *UntitledName = "Untitled";

  explicit TEditForm(QWidget *AParent = nullptr);
  ~TEditForm() override;

  // A new, empty window in the main window's frame.
  static TEditForm *Create(TWindowsHost &AHost);
  // A new window in the frame with the file loaded; a file that cannot be read raises its
  // error and no window is made.
  static TEditForm *CreateForFile(TWindowsHost &AHost, const std::string &AFileName,
                                  bool AReadOnly);
  // The desktop restore: a new window that reads its placement, file name and read-only flag
  // from the desktop record and opens that file.
  static TEditForm *RestoreFromDesktop(TWindowsHost &AHost, TValueReader &AReader);

  // Components, named as the window names them.
  TPlainTextEdit *Editor;
  TSplitter *Splitter;
  QListWidget *ErrorBox;
  // The result pane under the editor, hidden until Run Statement first shows a result; its
  // rows come through the window's own query, whose cursor stays open for fetching on.
  TSplitter *ResultSplitter;
  TResultGrid *ResultGrid;
  TOracleQuery *ResultQuery;
  QMenu *FileMenu, *EditMenu, *SearchMenu, *RunMenu;
  QAction *FileNewItem, *FileOpenItem, *FileSaveItem, *FileSaveAsItem, *FileExitItem;
  QAction *EditUndoItem, *EditRedoItem, *EditUndoSeparator, *EditCutItem, *EditCopyItem,
      *EditPasteItem, *EditDeleteItem, *EditSelectAllItem, *EditPasteObjectItem;
  QAction *SearchFindItem, *SearchReplaceItem, *SearchSearchAgainItem, *SearchGotoLineNumberItem;
  QAction *RunCompileItem, *RunComileExpressionItem, *RunStatementItem;
  QFileDialog *SaveDialog = nullptr; // made at the first Save As
  TFindDialog *FindDialog;
  TReplaceDialog *ReplaceDialog;
  // The dialog whose text and options Search Again uses: the one opened last.
  TFindDialog *SearchDialog;

  // The full path of the file, or "Untitled"; the caption shows its name part.
  const std::string &FileName() const { return FFileName; }
  void SetFileName(const std::string &AValue);
  // Loads a script file. A file that cannot be read raises its error and leaves the window as
  // it was; "Untitled" loads nothing. A file holding a NUL byte is shown up to it, read-only,
  // with a message (see ShownUpToNul).
  void OpenFile(const std::string &AFileName, bool AReadOnly);
  // The file holds a NUL byte and the window shows only the text before it. Save refuses, as
  // does Save As onto the same file, so the rest of it cannot be cut off; saved under another
  // name, the window holds that file and this ends.
  bool ShownUpToNul() const { return FShownUpToNul; }
  // The save question for changed text: Yes saves, No does nothing, Cancel raises the silent
  // abort (as does a cancelled Save As).
  void QuerySave();
  // The status line: caret line:column, Original/Modified, Overwrite/Insert.
  std::string StatusLine() const;

  // Menu commands.
  void FileNewItemClick();
  void FileOpenItemClick();
  void FileSaveItemClick() override;
  void FileSaveAsItemClick();
  void FileExitItemClick();
  void EditUndoItemClick() override;
  void EditRedoItemClick();
  // Undo and Redo are enabled only when there is something to undo or redo.
  void UpdateUndoItems();
  void EditCutItemClick() override;
  void EditCopyItemClick() override;
  void EditPasteItemClick() override;
  void EditDeleteItemClick();
  void EditSelectAllItemClick();
  void EditPasteObjectItemClick();
  void SearchFindItemClick() override;
  void SearchReplaceItemClick();
  void SearchSearchAgainItemClick();
  void SearchGotoLineNumberItemClick();
  void ReplaceDialogReplace();

  // Compile from the editor and the error list (EditUnitCompile.cpp).
  void RunCompileItemClick(QObject *ASender) override;
  void RunComileExpressionItemClick();
  // Runs the selection, or else the expression at the caret (cut as Compile Expression cuts
  // it), and shows a query's rows or a statement's result in the result pane; errors go to the
  // error list as the compile run puts them.
  void RunStatementItemClick();
  void ShowResultPane();
  // Appends an error line with its 1-based position in the text (0 = none), selects it and
  // runs ErrorBoxClick.
  void AddError(const std::string &AText, int APosition);
  void ErrorBoxClick();
  // The gutter marks the lines of the errors in the list.
  void UpdateErrorMarks();
  void ErrorBoxDblClick();

  // Editor events.
  void EditorCaretPosChanged(TObject *ASender);
  void EditorFormatLine(TObject *ASender, int AIndex);

  // TForm
  std::vector<TMenuGroup> MenuGroups() const override;
  void FormActivate() override;
  void FormDeactivate() override;
  bool FormCloseQuery() override;
  const char *FormClassName() const override { return "TEditForm"; }
  void WriteDesktopValues(TValueWriter &AWriter) override;

  // IConfigEditor
  void ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool AAutoIndent,
                         bool ABackspaceUnindents, int ATabSize, int AUndoLimit,
                         bool ALineNumbers) override;

protected:
  void closeEvent(QCloseEvent *AEvent) override;
  void resizeEvent(QResizeEvent *AEvent) override;

private:
  void FormCreate();
  void CreateMenus();
  void CreateDialogs();
  void CreateSaveDialog();
  QAction *AddItem(QMenu *AMenu, const char *AName, const char *ACaption, const char *AHint,
                   const QKeySequence &AShortcut = {});
  void FormClose();
  // The compile run over AText without its dialog when AShowResults; APosition as for
  // TThreadCompile.
  void RunScript(std::string AText, bool AExpressionMode, int APosition, bool AShowResults);
  // This window is the frame's active child (or stands alone).
  bool IsActiveChild() const;
  // Shows a file's content already read, under its name.
  void LoadText(const std::string &AContent, const std::string &AFileName, bool AReadOnly);
  void SaveTo(const std::string &AFileName);
  // Save and Save As; false when the user declined to overwrite an existing file.
  bool SaveCurrent();
  bool SaveAs();
  void OpenSearchDialog(TFindDialog *ADialog);
  // The word around the caret, or nothing when the character before it is a delimiter.
  bool WordAtCaret(std::string &AWord) const;

  std::string FFileName;
  bool FShownUpToNul = false;
  bool FReadOnlyAsked = false; // as opened, before a NUL byte made the window read-only
  bool FStatusPending = false;
  std::unique_ptr<TConfigEditorRegistration> FConfigRegistration;
};

// Asks a question with Yes, No and Cancel; answers QMessageBox::Yes, No or Cancel. Tests answer
// the box as a user would, through the application's active modal widget.
int ConfirmYesNoCancel(QWidget *AParent, const QString &AQuestion);
