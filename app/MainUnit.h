// The main window: the multiple-document frame with its speed bar, menus and status bar, the one
// database connection of the program, start-up and shut-down.
#pragma once

#include "app/MainUnitConfig.h"
#include "app/MainUnitDesktop.h"
#include "classes/Forms.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QStatusBar>
#include <QToolButton>
#include <string>
#include <vector>

class TLoginForm;
class TEditScriptWindows;

class TMainForm : public QMainWindow, public TWindowsHost {
public:
  explicit TMainForm(QWidget *AParent = nullptr);
  ~TMainForm() override;

  // Components, named as the window names them.
  QMenu *FileMenu, *DatabaseMenu, *ToolsMenu, *WindowMenu, *HelpMenu;
  QAction *FileNewItem, *FileOpenItem, *FileExitItem;
  QAction *DatabaseConnectItem, *DatabaseDisconnectItem, *DatabaseCommitItem, *DatabaseRollbackItem;
  QAction *ToolsOptionsItem;
  QAction *WindowNewTerminalWindowItem, *WindowNewProcdeureWindowItem, *WindowDMBSOutputWindowItem,
      *WindowTileItem, *WindowCascadeItem, *WindowArrangeAllItem;
  QAction *HelpContentsItem, *HelpSearchItem, *HelpHowToUseItem, *HelpAboutItem;
  QWidget *SpeedBar;
  QToolButton *NewButton, *OpenButton, *SaveButton, *UndoButton, *CutButton, *CopyButton,
      *PasteButton, *FindButton, *ConnectButton, *DisconnectButton, *CompileButton, *CommitButton,
      *RollbackButton;
  QStatusBar *StatusBar;
  // The status bar's mark while the session holds uncommitted changes.
  QLabel *TransactionMark;
  QMdiArea *MdiArea;
  TOracleDatabase *Database;
  // The compile run's statement query and the query that reads a stored unit's errors.
  TOracleQuery *Query;
  TOracleQuery *ErrorQuery;
  TCFG *CFG;

  // The one simple text of the status bar; set repaints it at once.
  std::string StatusText() const;
  void SetStatusText(const std::string &AText) override;

  // The seven buttons that act on the active script editor window.
  std::vector<QToolButton *> EditorButtons() const;
  void EnableEditorButtons(bool AEnabled) override;

  // Commands.
  void FileNewItemClick() override;
  void FileOpenItemClick() override;
  void FileExitItemClick() override;
  void DatabaseConnectItemClick();
  void DatabaseDisconnectItemClick();
  void DatabaseCommitItemClick();
  void DatabaseRollbackItemClick();
  // Before the session ends (disconnect, connect again, shut-down) with uncommitted changes:
  // asks "Commit, Roll back or Cancel?" and does what was chosen; false for Cancel.
  bool EndTransactionQuery();
  // The transaction question's answer; tests answer it without a modal box.
  enum class TTransactionAnswer { Commit, Rollback, Cancel };
  std::function<TTransactionAnswer()> AskTransaction;
  void ToolsOptionsItemClick();
  void WindowNewTerminalWindowItemClick();
  void WindowNewProcdeureWindowItemClick();
  void WindowDMBSOutputWindowItemClick();
  void WindowTileItemClick();
  void WindowCascadeItemClick();
  void HelpContents();
  void HelpSearch();
  void HelpHowToUse();
  void HelpAbout();
  void SaveButtonClick();
  void UndoButtonClick();
  void CutButtonClick();
  void CopyButtonClick();
  void PasteButtonClick();
  void FindButtonClick();
  void CompileButtonClick();

  // The login handler of Database.
  void DatabaseLogin(TDatabaseLite *aDatabase, bool aBefore);

  // The frame's sunken edge goes while the active child is maximised.
  void UpdateClientEdge() override;

  // Adds a child window to the frame and shows it.
  void AddChild(TForm *AChild) override;
  TForm *ActiveChild() const;

  // Menu merging with the active child's menus.
  void MergeChildMenus(TForm *AChild);

  // The files beside the program (or, for the desktop with SaveLocally, in the start folder).
  std::string ConfigFile() const;
  std::string DesktopFile() const;
  // The login dialog's texts that the configuration file keeps.
  TLoginState LoginState() const;

  const std::string &HelpFile() const { return FHelpFile; }
  const std::string &StartFolder() const { return FStartFolder; }

  // The confirmation box of Connect while connected; tests answer it without a modal box.
  std::function<bool(const std::string &)> Confirm;

  // True once every child has answered its close question at shut-down: the children are then
  // closed (and write their desktop records) without asking again.
  bool ClosingDown() const override { return FClosingDown; }

  // The rest of what the child windows use of the frame.
  QWidget *HostWidget() override { return this; }
  QMdiArea *ChildArea() override { return MdiArea; }
  TCFG &Configuration() override { return *CFG; }
  TOracleDatabase *MainDatabase() override { return Database; }
  TOracleQuery *CompileQuery() override { return Query; }
  TOracleQuery *CompileErrorQuery() override { return ErrorQuery; }
  // Asks each child its close question, topmost first; the first refusal ends the asking.
  bool ChildrenCloseQuery();

protected:
  void FormCreate();
  void FormActivate();
  // Saves configuration and desktop and disconnects; the close is never refused.
  void FormCloseQuery();
  void closeEvent(QCloseEvent *AEvent) override;
  void showEvent(QShowEvent *AEvent) override;
  bool event(QEvent *AEvent) override;

private:
  void CreateMenus();
  void CreateSpeedBar();
  void CreateQueries();
  QAction *AddItem(QMenu *AMenu, const char *AName, const char *ACaption, const char *AHint,
                   const QKeySequence &AShortcut = {});
  QToolButton *AddButton(const char *AName, int ALeft, const char *AHint, const char *AIcon,
                         bool AEnabled);
  template <typename M> void Forward(M AMethod);
  void ConnectAgain();
  void UpdateTransactionMark();
  void SubWindowActivated(QMdiSubWindow *AWindow);
  void RestoreDesktop();

  std::vector<TMenuGroup> FFrameMenus;
  QLabel *FStatusLabel;
  std::string FHelpFile;
  std::string FStartFolder;
  TForm *FMergedChild = nullptr;
  std::unique_ptr<TDesktopReader> FDesktopReader;
  bool FClosingDown = false;
  bool FRestoring = false; // the desktop's children are being made
  // The editor windows as script processing reaches them.
  std::unique_ptr<TEditScriptWindows> FScriptWindows;
};

extern TMainForm *MainForm;
// The program's path, which names the configuration and desktop files; tests point it elsewhere.
std::string ProgramPath();
void SetProgramPath(const std::string &APath);
// The folder of a program path (bytes, as file names are); the help file lies there.
std::string ProgramFolderOf(const std::string &AProgramPath);
// The child window classes the desktop file can re-create, registered by name at start-up.
TDesktopRegistry &FormClasses();
extern TLoginForm *LoginForm;
