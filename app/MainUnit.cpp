// The main window: frame, speed bar, menus, status bar, connection and start-up.
#include "app/MainUnit.h"
#include "classes/CodePage.h"

#include "app/AboutUnit.h"
#include "app/HelpUnit.h"
#include "app/LoginUnit.h"
#include "app/OptionsUnit.h"
#include "classes/Application.h"
#include "classes/ComponentStream.h"
#include "classes/Streams.h"
#include "classes/Threads.h"
#include "classes/WindowPlacement.h"
#include "script/CompileUnit.h"
#include "windows/DBMSOutputUnit.h"
#include "windows/EditScriptWindows.h"
#include "windows/EditUnit.h"
#include "windows/ProcedureUnit.h"
#include "windows/TerminalUnit.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QVBoxLayout>

TMainForm *MainForm = nullptr;
TLoginForm *LoginForm = nullptr;

namespace {
std::string ProgramPathOverride;
}

std::string ProgramPath() {
  return ProgramPathOverride.empty() ? FileNameFromQString(QCoreApplication::applicationFilePath())
                                     : ProgramPathOverride;
}

void SetProgramPath(const std::string &APath) { ProgramPathOverride = APath; }

std::string ProgramFolderOf(const std::string &AProgramPath) {
  std::string::size_type Slash = AProgramPath.find_last_of('/');
  return Slash == std::string::npos ? "." : AProgramPath.substr(0, Slash);
}

TDesktopRegistry &FormClasses() {
  static TDesktopRegistry Registry;
  return Registry;
}

namespace {

// A drawn stand-in for a theme icon, so a bare machine still shows every button.
QIcon DrawnIcon(const QString &AKind) {
  QPixmap Pixmap(16, 16);
  Pixmap.fill(Qt::transparent);
  QPainter P(&Pixmap);
  P.setRenderHint(QPainter::Antialiasing);
  P.setPen(QPen(Qt::black, 1));
  auto Page = [&](int X, int Y) {
    P.setBrush(Qt::white);
    P.drawRect(X, Y, 9, 12);
  };
  if (AKind == "new") {
    Page(3, 1);
  } else if (AKind == "open") {
    P.setBrush(QColor(230, 200, 80));
    P.drawRect(1, 5, 14, 9);
    P.drawRect(1, 3, 6, 2);
  } else if (AKind == "save") {
    P.setBrush(QColor(60, 90, 160));
    P.drawRect(1, 1, 14, 14);
    P.setBrush(Qt::white);
    P.drawRect(4, 1, 8, 5);
  } else if (AKind == "undo") {
    P.setPen(QPen(QColor(30, 90, 200), 2));
    P.drawArc(3, 4, 10, 9, 0, 180 * 16);
    P.drawLine(3, 8, 1, 5);
    P.drawLine(3, 8, 6, 6);
  } else if (AKind == "cut") {
    P.drawEllipse(2, 10, 4, 4);
    P.drawEllipse(10, 10, 4, 4);
    P.drawLine(5, 10, 11, 1);
    P.drawLine(11, 10, 5, 1);
  } else if (AKind == "copy") {
    Page(1, 1);
    Page(6, 3);
  } else if (AKind == "paste") {
    P.setBrush(QColor(180, 130, 70));
    P.drawRect(2, 2, 10, 13);
    Page(6, 4);
  } else if (AKind == "find") {
    P.setPen(QPen(Qt::black, 2));
    P.drawEllipse(2, 2, 8, 8);
    P.drawLine(9, 9, 14, 14);
  } else if (AKind == "connect") {
    P.setBrush(QColor(40, 160, 60));
    P.drawEllipse(3, 3, 10, 10);
  } else if (AKind == "disconnect") {
    P.setBrush(QColor(200, 50, 40));
    P.drawEllipse(3, 3, 10, 10);
  } else if (AKind == "commit") {
    P.setPen(QPen(QColor(40, 150, 60), 2));
    P.drawLine(3, 8, 6, 12);
    P.drawLine(6, 12, 13, 3);
  } else if (AKind == "rollback") {
    P.setPen(QPen(QColor(200, 50, 40), 2));
    P.drawLine(3, 3, 13, 13);
    P.drawLine(13, 3, 3, 13);
  } else if (AKind == "compile") {
    P.setBrush(QColor(40, 120, 200));
    QPainterPath Path;
    Path.moveTo(4, 2);
    Path.lineTo(13, 8);
    Path.lineTo(4, 14);
    Path.closeSubpath();
    P.drawPath(Path);
  }
  return QIcon(Pixmap);
}

QIcon SpeedButtonIcon(const char *AKind) {
  static const std::pair<const char *, const char *> ThemeNames[] = {
      {"new", "document-new"},
      {"open", "document-open"},
      {"save", "document-save"},
      {"undo", "edit-undo"},
      {"cut", "edit-cut"},
      {"copy", "edit-copy"},
      {"paste", "edit-paste"},
      {"find", "edit-find"},
      {"connect", "network-connect"},
      {"disconnect", "network-offline"},
      {"compile", "system-run"}};
  for (const auto &[Kind, Theme] : ThemeNames)
    if (std::string(Kind) == AKind)
      return QIcon::fromTheme(Theme, DrawnIcon(Kind));
  return DrawnIcon(AKind);
}

} // namespace

TMainForm::TMainForm(QWidget *AParent) : QMainWindow(AParent) {
  MainForm = this;
  setObjectName("MainForm");
  setWindowTitle("Tessaly");
  resize(568, 314);

  Confirm = [this](const std::string &AQuestion) {
    return QMessageBox::question(this, "Confirm", AnsiToQString(AQuestion),
                                 QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
  };
  AskTransaction = [this] {
    QMessageBox Box(QMessageBox::Question, "Confirm", "Commit, Roll back or Cancel?",
                    QMessageBox::NoButton, this);
    Box.setObjectName("TransactionBox");
    QPushButton *CommitChoice = Box.addButton("Commit", QMessageBox::AcceptRole);
    QPushButton *RollbackChoice = Box.addButton("Roll back", QMessageBox::DestructiveRole);
    Box.addButton(QMessageBox::Cancel);
    Box.setDefaultButton(CommitChoice);
    Box.exec();
    if (Box.clickedButton() == CommitChoice)
      return TTransactionAnswer::Commit;
    if (Box.clickedButton() == RollbackChoice)
      return TTransactionAnswer::Rollback;
    return TTransactionAnswer::Cancel;
  };

  CreateMenus();

  auto *Client = new QWidget(this);
  auto *Layout = new QVBoxLayout(Client);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  CreateSpeedBar();
  SpeedBar->setParent(Client);
  Layout->addWidget(SpeedBar);
  MdiArea = new QMdiArea(Client);
  MdiArea->setObjectName("ClientArea");
  MdiArea->setBackground(palette().brush(QPalette::Dark)); // the application workspace
  Layout->addWidget(MdiArea, 1);
  setCentralWidget(Client);
  connect(MdiArea, &QMdiArea::subWindowActivated, this,
          Guarded([this] { SubWindowActivated(MdiArea->activeSubWindow()); }));

  StatusBar = statusBar();
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(true);
  FStatusLabel = new QLabel(StatusBar);
  StatusBar->addWidget(FStatusLabel, 1);
  TransactionMark = new QLabel("Uncommitted", StatusBar);
  TransactionMark->setObjectName("TransactionMark");
  TransactionMark->setToolTip("The session holds changes not yet committed");
  TransactionMark->setStyleSheet("QLabel { color: #b00000; font-weight: bold; }");
  StatusBar->addPermanentWidget(TransactionMark);
  TransactionMark->hide();

  Database = new TOracleDatabase(this);
  Database->SetName("Database");
  Database->SetDatabaseName("Database");
  Database->SetParams(TStringList{"User=SCOTT", "Password=", "Server="});
  Database->OnLogin.Bind(this, &TMainForm::DatabaseLogin);
  Database->OnTransactionChanged = [this](TObject *) { UpdateTransactionMark(); };
  CreateQueries();
  CFG = new TCFG(this);
  // The configuration's record carries an empty component name, as the file format has it.
  SetWindowsHost(this); // the child windows' frame from here on

  FormClasses().Register("TTerminalForm",
                         [this](TValueReader &AReader) { TTerminalForm::Create(*this, &AReader); });
  FormClasses().Register("TDBMSOutputForm", [this](TValueReader &AReader) {
    TDBMSOutputForm::RestoreFromDesktop(*this, AReader);
  });
  FormClasses().Register("TProcedureForm", [this](TValueReader &AReader) {
    TProcedureForm::RestoreFromDesktop(*this, AReader);
  });
  FormClasses().Register("TEditForm", [this](TValueReader &AReader) {
    TEditForm::RestoreFromDesktop(*this, AReader);
  });
  FScriptWindows = std::make_unique<TEditScriptWindows>(*this);
  FormCreate();
}

TMainForm::~TMainForm() {
  // The children go first, while the frame they report to (menus, speed bar, status bar) is
  // still whole: left to the base class, they would be deleted after this object's own parts.
  for (QMdiSubWindow *Window : MdiArea->subWindowList())
    delete Window;
  if (MainForm == this)
    MainForm = nullptr;
  if (HasWindowsHost() && &WindowsHost() == this)
    SetWindowsHost(nullptr);
}

QAction *TMainForm::AddItem(QMenu *AMenu, const char *AName, const char *ACaption,
                            const char *AHint, const QKeySequence &AShortcut) {
  QAction *Item = AMenu->addAction(AnsiToQString(ACaption));
  Item->setObjectName(AName);
  if (AHint) {
    Item->setStatusTip(AnsiToQString(AHint));
    Item->setToolTip(AnsiToQString(AHint));
  }
  if (!AShortcut.isEmpty())
    Item->setShortcut(AShortcut);
  return Item;
}

void TMainForm::CreateMenus() {
  auto Menu = [this](const char *AName, const char *ACaption, int AGroup) {
    auto *M = new QMenu(AnsiToQString(ACaption), this);
    M->setObjectName(AName);
    FFrameMenus.push_back({AGroup, M});
    return M;
  };
  FileMenu = Menu("FileMenu", "&File", 1);
  FileNewItem = AddItem(FileMenu, "FileNewItem", "&New", "Create a new file");
  FileOpenItem = AddItem(FileMenu, "FileOpenItem", "&Open...", "Open an existing file");
  FileMenu->addSeparator();
  FileExitItem = AddItem(FileMenu, "FileExitItem", "E&xit", "Exit this application");

  DatabaseMenu = Menu("DatabaseMenu", "&Database", 5);
  DatabaseConnectItem =
      AddItem(DatabaseMenu, "DatabaseConnectItem", "&Connect", "Connect to database");
  DatabaseDisconnectItem =
      AddItem(DatabaseMenu, "DatabaseDisconnectItem", "&Disconnect", "Disconnect from database");
  DatabaseMenu->addSeparator();
  DatabaseCommitItem = AddItem(DatabaseMenu, "DatabaseCommitItem", "C&ommit",
                               "Commit the session's changes", QKeySequence(Qt::Key_F11));
  DatabaseRollbackItem = AddItem(DatabaseMenu, "DatabaseRollbackItem", "&Rollback",
                                 "Roll back the session's changes", QKeySequence(Qt::Key_F12));

  ToolsMenu = Menu("ToolsMenu", "&Tools", 6);
  ToolsOptionsItem = AddItem(ToolsMenu, "ToolsOptionsItem", "&Options...", "Options");

  WindowMenu = Menu("WindowMenu", "&Window", 7);
  WindowNewTerminalWindowItem =
      AddItem(WindowMenu, "WindowNewTerminalWindowItem", "&New Terminal Window", nullptr);
  WindowNewProcdeureWindowItem =
      AddItem(WindowMenu, "WindowNewProcdeureWindowItem", "New &Procedure Window", nullptr);
  WindowDMBSOutputWindowItem =
      AddItem(WindowMenu, "WindowDMBSOutputWindowItem", "&DMBS Output Window", nullptr);
  WindowMenu->addSeparator();
  WindowTileItem = AddItem(WindowMenu, "WindowTileItem", "&Tile", nullptr);
  WindowCascadeItem = AddItem(WindowMenu, "WindowCascadeItem", "&Cascade", nullptr);
  WindowArrangeAllItem = AddItem(WindowMenu, "WindowArrangeAllItem", "&Arrange All", nullptr);

  HelpMenu = Menu("HelpMenu", "&Help", 100);
  HelpContentsItem =
      AddItem(HelpMenu, "HelpContentsItem", "&Contents", "Display the help contents screen");
  HelpSearchItem =
      AddItem(HelpMenu, "HelpSearchItem", "&Search for Help On...", "Search help file for a topic");
  HelpHowToUseItem =
      AddItem(HelpMenu, "HelpHowToUseItem", "&How to Use Help", "Help on using the help system");
  HelpMenu->addSeparator();
  HelpAboutItem = AddItem(HelpMenu, "HelpAboutItem", "&About...", "Show program information");

  auto Wire = [this](QAction *AItem, void (TMainForm::*AHandler)()) {
    connect(AItem, &QAction::triggered, this, Guarded([this, AHandler] { (this->*AHandler)(); }));
  };
  Wire(FileNewItem, &TMainForm::FileNewItemClick);
  Wire(FileOpenItem, &TMainForm::FileOpenItemClick);
  Wire(FileExitItem, &TMainForm::FileExitItemClick);
  Wire(DatabaseConnectItem, &TMainForm::DatabaseConnectItemClick);
  Wire(DatabaseDisconnectItem, &TMainForm::DatabaseDisconnectItemClick);
  Wire(DatabaseCommitItem, &TMainForm::DatabaseCommitItemClick);
  Wire(DatabaseRollbackItem, &TMainForm::DatabaseRollbackItemClick);
  Wire(ToolsOptionsItem, &TMainForm::ToolsOptionsItemClick);
  Wire(WindowNewTerminalWindowItem, &TMainForm::WindowNewTerminalWindowItemClick);
  Wire(WindowNewProcdeureWindowItem, &TMainForm::WindowNewProcdeureWindowItemClick);
  Wire(WindowDMBSOutputWindowItem, &TMainForm::WindowDMBSOutputWindowItemClick);
  Wire(WindowTileItem, &TMainForm::WindowTileItemClick);
  Wire(WindowCascadeItem, &TMainForm::WindowCascadeItemClick);
  Wire(HelpContentsItem, &TMainForm::HelpContents);
  Wire(HelpSearchItem, &TMainForm::HelpSearch);
  Wire(HelpHowToUseItem, &TMainForm::HelpHowToUse);
  Wire(HelpAboutItem, &TMainForm::HelpAbout);

  MergeMenus(menuBar(), FFrameMenus, {});
}

QToolButton *TMainForm::AddButton(const char *AName, int ALeft, const char *AHint,
                                  const char *AIcon, bool AEnabled) {
  auto *Button = new QToolButton(SpeedBar);
  Button->setObjectName(AName);
  Button->setGeometry(ALeft, 4, 25, 25);
  Button->setIcon(SpeedButtonIcon(AIcon));
  Button->setAutoRaise(true);
  // "Short|Long": the short part is the tooltip, the long part goes to the status bar.
  const QString Hint = AnsiToQString(AHint);
  Button->setToolTip(Hint.section('|', 0, 0));
  Button->setStatusTip(Hint.section('|', 1));
  Button->setEnabled(AEnabled);
  return Button;
}

void TMainForm::CreateSpeedBar() {
  SpeedBar = new QWidget(this);
  SpeedBar->setObjectName("SpeedBar");
  SpeedBar->setFixedHeight(33);
  NewButton = AddButton("NewButton", 7, "New|", "new", true);
  OpenButton = AddButton("OpenButton", 32, "Open|", "open", true);
  SaveButton = AddButton("SaveButton", 57, "Save|", "save", false);
  UndoButton = AddButton("UndoButton", 89, "Undo|", "undo", false);
  CutButton = AddButton("CutButton", 114, "Cut|", "cut", false);
  CopyButton = AddButton("CopyButton", 139, "Copy|", "copy", false);
  PasteButton = AddButton("PasteButton", 164, "Paste|", "paste", false);
  FindButton = AddButton("FindButton", 195, "Find|", "find", false);
  ConnectButton = AddButton("ConnectButton", 226, "Connect|", "connect", true);
  DisconnectButton = AddButton("DisconnectButton", 251, "Disconnect|", "disconnect", true);
  CompileButton = AddButton("CompileButton", 282, "Compile|", "compile", false);
  CommitButton =
      AddButton("CommitButton", 313, "Commit|Commit the session's changes", "commit", true);
  RollbackButton = AddButton("RollbackButton", 338, "Rollback|Roll back the session's changes",
                             "rollback", true);

  auto Wire = [this](QToolButton *AButton, void (TMainForm::*AHandler)()) {
    connect(AButton, &QToolButton::clicked, this,
            Guarded([this, AHandler] { (this->*AHandler)(); }));
  };
  Wire(NewButton, &TMainForm::FileNewItemClick);
  Wire(OpenButton, &TMainForm::FileOpenItemClick);
  Wire(SaveButton, &TMainForm::SaveButtonClick);
  Wire(UndoButton, &TMainForm::UndoButtonClick);
  Wire(CutButton, &TMainForm::CutButtonClick);
  Wire(CopyButton, &TMainForm::CopyButtonClick);
  Wire(PasteButton, &TMainForm::PasteButtonClick);
  Wire(FindButton, &TMainForm::FindButtonClick);
  Wire(ConnectButton, &TMainForm::DatabaseConnectItemClick);
  Wire(DisconnectButton, &TMainForm::DatabaseDisconnectItemClick);
  Wire(CompileButton, &TMainForm::CompileButtonClick);
  Wire(CommitButton, &TMainForm::DatabaseCommitItemClick);
  Wire(RollbackButton, &TMainForm::DatabaseRollbackItemClick);
}

void TMainForm::CreateQueries() {
  Query = new TOracleQuery(this);
  Query->SetName("Query");
  Query->SetDatabaseName("Database");
  Query->SetParseForParams(false); // a ":" in a script statement is never a bind variable
  Query->Fields().SetDimension(10);

  // Read from the window's stored description: the SQL text does not clear the lists while
  // loading, and lists read through their definition need no refresh at the first prepare.
  ErrorQuery = new TOracleQuery(this);
  LoadErrorQuery(*ErrorQuery);
}

std::vector<QToolButton *> TMainForm::EditorButtons() const {
  return {SaveButton, UndoButton, CutButton, CopyButton, PasteButton, FindButton, CompileButton};
}

void TMainForm::EnableEditorButtons(bool AEnabled) {
  for (QToolButton *Button : EditorButtons())
    Button->setEnabled(AEnabled);
}

std::string TMainForm::StatusText() const { return QStringToAnsi(FStatusLabel->text()); }

void TMainForm::SetStatusText(const std::string &AText) {
  FStatusLabel->setText(AnsiToQString(AText));
  FStatusLabel->repaint();
}

void TMainForm::FormCreate() {
  // A missing client library is reported before any window shows; the program still opens.
  try {
    Session.LoadInterface();
  } catch (const std::exception &E) {
    TApplication::HandleException(E);
  }
  FHelpFile = ProgramFolderOf(ProgramPath()) + "/Tessaly.hlp";
  FStartFolder = FileNameFromQString(QDir::currentPath() + "/");
  UpdateClientEdge();

  LoginForm = new TLoginForm(this);
  TLoginState Login;
  for (const std::string &Message : LoadConfiguration(ConfigFile(), *CFG, Login))
    TApplication::ShowErrorMessage(Message);
  LoginForm->UserName->setText(AnsiToQString(Login.UserName));
  LoginForm->Host->setText(AnsiToQString(Login.Host));

  if (CFG->SaveDesktopPosition()) {
    TDesktopLoad Desktop = LoadDesktopPosition(DesktopFile(), *CFG);
    if (Desktop.Position) {
      move(Desktop.Position->Left, Desktop.Position->Top);
      resize(Desktop.Position->Width, Desktop.Position->Height);
    }
    if (!Desktop.Message.empty())
      TApplication::ShowErrorMessage(Desktop.Message);
    FDesktopReader = std::move(Desktop.Reader);
  }
}

void TMainForm::FormActivate() { RestoreDesktop(); }

void TMainForm::RestoreDesktop() {
  // Once, at the first showing or activation, whichever comes first: a window manager may
  // never activate the window, and the saved children must come back all the same.
  if (!FDesktopReader)
    return;
  bool LeftOut = false;
  {
    // Each window made would become the active child in turn, and each activation rebuilds the
    // menu bar, whose every change costs in proportion to all the windows' shortcuts: the
    // activation is taken once, at the end.
    FRestoring = true;
    struct TRestoring {
      bool &Flag;
      ~TRestoring() { Flag = false; }
    } Restoring{FRestoring};
    LeftOut = RestoreDesktopChildren(FDesktopReader, FormClasses());
  }
  SubWindowActivated(MdiArea->activeSubWindow());
  if (LeftOut) {
    // After the restored windows' own status lines, which are shown from the event loop too.
    const std::string Text = "Desktop: only the first " + std::to_string(MaximumDesktopChildren) +
                             " windows were restored; the desktop file holds more.";
    QMetaObject::invokeMethod(
        this, [this, Text] { SetStatusText(Text); }, Qt::QueuedConnection);
  }
}

std::string TMainForm::ConfigFile() const { return ConfigFileName(ProgramPath()); }

std::string TMainForm::DesktopFile() const {
  return DesktopFileName(ProgramPath(), FStartFolder, CFG->SaveLocally());
}

TLoginState TMainForm::LoginState() const {
  return {LoginForm->UserNameText(), LoginForm->HostText()};
}

void TMainForm::FormCloseQuery() {
  try {
    SaveConfiguration(ConfigFile(), *CFG, LoginState());
    // A desktop whose children were never restored would be replaced by one without them.
    if (CFG->SaveDesktopPosition() && !FDesktopReader) {
      const QRect Frame = geometry();
      SaveDesktop(DesktopFile(), *CFG, {x(), y(), Frame.width(), Frame.height()},
                  [this](TValueWriter &AWriter) {
                    // Bottom to top, each child writing its record while it closes: the
                    // restore creates them in this order, each on top of the ones before,
                    // so the stacking and the active window come back as they were.
                    const QList<QMdiSubWindow *> Windows =
                        MdiArea->subWindowList(QMdiArea::StackingOrder);
                    for (QMdiSubWindow *Window : Windows) {
                      if (auto *Child = dynamic_cast<TForm *>(Window->widget())) {
                        AWriter.WriteString(Child->FormClassName());
                        WritePlacement(AWriter, *Window);
                        Child->WriteDesktopValues(AWriter);
                      }
                      Window->close();
                    }
                  });
    }
  } catch (const EConfigError &E) {
    TApplication::HandleException(E);
    return;
  }
  DatabaseDisconnectItemClick();
}

bool TMainForm::ChildrenCloseQuery() {
  const QList<QMdiSubWindow *> Windows = MdiArea->subWindowList(QMdiArea::StackingOrder);
  for (auto It = Windows.rbegin(); It != Windows.rend(); ++It)
    if (auto *Child = dynamic_cast<TForm *>((*It)->widget()))
      if (!Child->FormCloseQuery())
        return false;
  return true;
}

void TMainForm::closeEvent(QCloseEvent *AEvent) {
  // Every child answers before anything is written: one refusal (an editor's Cancel) keeps
  // the program running with its configuration and desktop files untouched.
  if (!FClosingDown && !ChildrenCloseQuery()) {
    AEvent->ignore();
    return;
  }
  // Uncommitted changes are the user's to commit or roll back, not the logoff's to commit.
  bool Ended = false;
  TApplication::Guard([&] { Ended = FClosingDown || EndTransactionQuery(); });
  if (!Ended) {
    AEvent->ignore();
    return;
  }
  FClosingDown = true;
  TApplication::Guard([this] { FormCloseQuery(); });
  AEvent->accept();
}

void TMainForm::showEvent(QShowEvent *AEvent) {
  QMainWindow::showEvent(AEvent);
  TApplication::Guard([this] { RestoreDesktop(); });
}

bool TMainForm::event(QEvent *AEvent) {
  // The application's hint handler: the long hint of what the mouse is over.
  if (AEvent->type() == QEvent::StatusTip) {
    SetStatusText(QStringToAnsi(static_cast<QStatusTipEvent *>(AEvent)->tip()));
    return true;
  }
  if (AEvent->type() == QEvent::WindowActivate)
    TApplication::Guard([this] { FormActivate(); });
  return QMainWindow::event(AEvent);
}

void TMainForm::UpdateClientEdge() {
  QMdiSubWindow *Active = MdiArea->activeSubWindow();
  const int Style = Active && Active->isMaximized() ? int(QFrame::NoFrame)
                                                    : int(QFrame::StyledPanel | QFrame::Sunken);
  // Every child's resize comes here; setting the same style again would lay the area out anew.
  if (MdiArea->frameStyle() != Style)
    MdiArea->setFrameStyle(Style);
}

void TMainForm::AddChild(TForm *AChild) {
  QMdiSubWindow *Window = MdiArea->addSubWindow(AChild);
  Window->setAttribute(Qt::WA_DeleteOnClose);
  // A restored window is placed by its record right after this. The frame's own placing of a
  // window that was never moved weighs every spot against all the other windows, which over a
  // whole desktop grows with the cube of its size.
  if (FRestoring)
    Window->move(0, 0);
  Window->show();
}

TForm *TMainForm::ActiveChild() const {
  QMdiSubWindow *Window = MdiArea->activeSubWindow();
  return Window ? dynamic_cast<TForm *>(Window->widget()) : nullptr;
}

void TMainForm::MergeChildMenus(TForm *AChild) {
  MergeMenus(menuBar(), FFrameMenus, AChild ? AChild->MenuGroups() : std::vector<TMenuGroup>{});
}

void TMainForm::SubWindowActivated(QMdiSubWindow *AWindow) {
  if (FRestoring)
    return; // RestoreDesktop takes the last one
  TForm *Child = AWindow ? dynamic_cast<TForm *>(AWindow->widget()) : nullptr;
  if (Child == FMergedChild)
    return;
  if (FMergedChild)
    FMergedChild->FormDeactivate();
  FMergedChild = Child;
  if (Child) {
    connect(Child, &QObject::destroyed, this, [this, Child] {
      if (FMergedChild == Child) {
        FMergedChild = nullptr;
        MergeChildMenus(nullptr);
      }
    });
    Child->FormActivate();
  }
  MergeChildMenus(Child);
  UpdateClientEdge();
}

// ---- Connection ----------------------------------------------------------------------------

void TMainForm::DatabaseLogin(TDatabaseLite *aDatabase, bool aBefore) {
  if (aBefore) {
    if (!LoginForm->Execute()) {
      LoginForm->Password->clear();
      Abort();
    }
    aDatabase->SetUser(LoginForm->UserNameText());
    aDatabase->SetPassword(LoginForm->PasswordText());
    LoginForm->Password->clear();
    aDatabase->SetServer(LoginForm->HostText());
    SetStatusText("Connection in progress ...");
  } else if (aDatabase->Connected()) {
    SetStatusText("Connected to " + LoginForm->HostText() + " as " + LoginForm->UserNameText() +
                  ".");
  } else {
    SetStatusText("Connect failed.");
  }
}

void TMainForm::DatabaseConnectItemClick() {
  if (Database->Connected() && !Confirm("Disconnect current session ?"))
    return;
  if (!EndTransactionQuery())
    return;
  try {
    Database->SetConnected(false);
  } catch (...) {
    Database->Logoff();
  }
  Database->SetConnected(true);
}

void TMainForm::DatabaseDisconnectItemClick() {
  if (!EndTransactionQuery())
    return;
  try {
    Database->SetConnected(false);
  } catch (...) {
    Database->Logoff();
  }
  SetStatusText("Disconnected.");
}

void TMainForm::DatabaseCommitItemClick() {
  if (Database->Connected())
    Database->Commit();
}

void TMainForm::DatabaseRollbackItemClick() {
  if (Database->Connected())
    Database->Rollback();
}

bool TMainForm::EndTransactionQuery() {
  if (!Database->Connected() || !Database->InTransaction())
    return true;
  switch (AskTransaction()) {
  case TTransactionAnswer::Commit:
    Database->Commit();
    return true;
  case TTransactionAnswer::Rollback:
    Database->Rollback();
    return true;
  default:
    return false;
  }
}

void TMainForm::UpdateTransactionMark() {
  // The compile run notes its statements on its own thread; the mark follows on this one.
  if (!InGuiThread()) {
    QMetaObject::invokeMethod(
        this, [this] { UpdateTransactionMark(); }, Qt::QueuedConnection);
    return;
  }
  TransactionMark->setVisible(Database->Connected() && Database->InTransaction());
}

// ---- Files, tools, windows, help -----------------------------------------------------------

void TMainForm::FileNewItemClick() { TEditForm::Create(*this); }

void TMainForm::FileOpenItemClick() {
  QFileDialog Dialog(this, "Open");
  Dialog.setObjectName("OpenDialog");
  Dialog.setOption(QFileDialog::DontUseNativeDialog);
  Dialog.setFileMode(QFileDialog::ExistingFile);
  Dialog.setNameFilters({"All SQL Scripts (*.sql *.ers)", "SQL Scripts (*.sql)",
                         "ERWin Scripts (*.ers)", "Text Files (*.txt)", "All Files (*)"});
  auto *ReadOnly = new QCheckBox("Open as &read-only", &Dialog);
  ReadOnly->setObjectName("ReadOnlyBox");
  if (auto *Grid = qobject_cast<QGridLayout *>(Dialog.layout()))
    Grid->addWidget(ReadOnly, Grid->rowCount(), 0, 1, -1);
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
    return;
  TEditForm::CreateForFile(*this, QFile::encodeName(Dialog.selectedFiles().first()).toStdString(),
                           ReadOnly->isChecked());
}

void TMainForm::FileExitItemClick() { close(); }

void TMainForm::ToolsOptionsItemClick() {
  // Created once at start-up; a frame made without the main routine makes its own.
  if (!OptionsForm)
    new TOptionsForm(this);
  OptionsForm->Execute(*CFG);
}

void TMainForm::WindowNewTerminalWindowItemClick() { TTerminalForm::Create(*this); }

void TMainForm::WindowNewProcdeureWindowItemClick() {
  Database->SetConnected(true);
  TProcedureForm::Create(*this);
}

void TMainForm::WindowDMBSOutputWindowItemClick() {
  Database->SetConnected(true);
  TDBMSOutputForm::Create(*this);
}

void TMainForm::WindowTileItemClick() { MdiArea->tileSubWindows(); }
void TMainForm::WindowCascadeItemClick() { MdiArea->cascadeSubWindows(); }

void TMainForm::HelpContents() { THelpViewer::Instance(FHelpFile)->ShowContents(); }
void TMainForm::HelpSearch() { THelpViewer::Instance(FHelpFile)->ShowIndex(""); }
void TMainForm::HelpHowToUse() { THelpViewer::Instance(FHelpFile)->ShowHelpOnHelp(); }

void TMainForm::HelpAbout() {
  TAboutBox Box(this);
  Box.exec();
}

// ---- Speed-bar buttons for the active script editor ----------------------------------------

template <typename M> void TMainForm::Forward(M AMethod) {
  if (auto *Editor = dynamic_cast<IEditorCommands *>(ActiveChild()))
    (Editor->*AMethod)();
}

void TMainForm::SaveButtonClick() { Forward(&IEditorCommands::FileSaveItemClick); }
void TMainForm::UndoButtonClick() { Forward(&IEditorCommands::EditUndoItemClick); }
void TMainForm::CutButtonClick() { Forward(&IEditorCommands::EditCutItemClick); }
void TMainForm::CopyButtonClick() { Forward(&IEditorCommands::EditCopyItemClick); }
void TMainForm::PasteButtonClick() { Forward(&IEditorCommands::EditPasteItemClick); }
void TMainForm::FindButtonClick() { Forward(&IEditorCommands::SearchFindItemClick); }
void TMainForm::CompileButtonClick() {
  if (auto *Editor = dynamic_cast<IEditorCommands *>(ActiveChild()))
    Editor->RunCompileItemClick(this);
}
