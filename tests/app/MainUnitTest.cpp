// The main window offscreen: frame, speed bar, menus and their merging, the login dialog and the
// connection commands with their status texts, over the recording fake client library.
#include "app/MainUnit.h"
#include "app/LoginUnit.h"
#include "app/MainUnitForm.h"
#include "classes/Application.h"
#include "classes/ComponentStream.h"
#include "classes/Streams.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "MainUnitTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

std::string FakeLog() {
  auto Log = reinterpret_cast<const char *(*)()>(dlsym(Session.LibraryHandle(), "fakeoci_log"));
  return Log ? Log() : "";
}
void FakeFailNext(const char *ACall, int ACode) {
  reinterpret_cast<void (*)(const char *, int)>(
      dlsym(Session.LibraryHandle(), "fakeoci_fail_next"))(ACall, ACode);
}
void FakeClear() {
  reinterpret_cast<void (*)()>(dlsym(Session.LibraryHandle(), "fakeoci_clear"))();
}

// Answers the next modal login dialog: fills it and presses OK, or Cancel.
void AnswerLogin(const QString &AUser, const QString &APassword, const QString &AHost,
                 bool AOk = true) {
  QTimer::singleShot(0, [=] {
    LoginForm->UserName->setText(AUser);
    LoginForm->Password->setText(APassword);
    LoginForm->Host->setText(AHost);
    (AOk ? LoginForm->OkButton : LoginForm->CancelButton)->click();
  });
}

// A child window with a File and a Run menu, as a script editor has.
class TDummyChild : public TForm {
public:
  explicit TDummyChild(QWidget *AParent = nullptr) : TForm(AParent) {
    File = new QMenu("&File", this);
    File->setObjectName("ChildFile");
    Run = new QMenu("&Run", this);
    Run->setObjectName("ChildRun");
  }
  std::vector<TMenuGroup> MenuGroups() const override { return {{1, File}, {4, Run}}; }
  const char *FormClassName() const override { return "TDummyChild"; }
  QMenu *File, *Run;
};

std::vector<std::string> MenuBarNames(QMenuBar *ABar) {
  std::vector<std::string> Names;
  for (QAction *Action : ABar->actions())
    Names.push_back(Action->menu()->objectName().toStdString());
  return Names;
}

struct TMainFormTest : ::testing::Test {
  std::unique_ptr<TMainForm> Form;
  std::vector<std::string> Errors;
  QTemporaryDir Folder;
  void SetUp() override {
    App();
    // Configuration and desktop files of a program living in a fresh folder.
    SetProgramPath(Folder.filePath("tessaly").toStdString());
    unsetenv("TESSALY_OCI_LIBRARY");
    Session.SetLibraryFolder(std::string(FAKEOCI_ROOT) + "/full");
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) {
      Errors.push_back(AMessage);
    };
    Form = std::make_unique<TMainForm>();
    FakeClear();
  }
  void TearDown() override { Form.reset(); }
};

TEST_F(TMainFormTest, FrameSpeedBarAndMenusAsDesigned) {
  EXPECT_EQ(Form->windowTitle(), "Tessaly");
  EXPECT_EQ(Form->size(), QSize(568, 314));
  EXPECT_TRUE(Errors.empty()); // the fake library loaded at creation
  EXPECT_EQ(Form->SpeedBar->height(), 33);
  const std::pair<QToolButton *, int> Lefts[] = {
      {Form->NewButton, 7},          {Form->OpenButton, 32},    {Form->SaveButton, 57},
      {Form->UndoButton, 89},        {Form->CutButton, 114},    {Form->CopyButton, 139},
      {Form->PasteButton, 164},      {Form->FindButton, 195},   {Form->ConnectButton, 226},
      {Form->DisconnectButton, 251}, {Form->CompileButton, 282}};
  for (auto [Button, Left] : Lefts) {
    EXPECT_EQ(Button->geometry(), QRect(Left, 4, 25, 25)) << Button->objectName().toStdString();
    EXPECT_FALSE(Button->icon().isNull());
  }
  for (QToolButton *Button : Form->EditorButtons())
    EXPECT_FALSE(Button->isEnabled());
  EXPECT_TRUE(Form->ConnectButton->isEnabled());
  EXPECT_EQ(Form->OpenButton->toolTip(), "Open");
  EXPECT_EQ(MenuBarNames(Form->menuBar()),
            (std::vector<std::string>{"FileMenu", "DatabaseMenu", "ToolsMenu", "WindowMenu",
                                      "HelpMenu"}));
  EXPECT_EQ(Form->FileOpenItem->text(), "&Open...");
  EXPECT_EQ(Form->FileOpenItem->statusTip(), "Open an existing file");
  EXPECT_EQ(Form->WindowDMBSOutputWindowItem->text(), "&DMBS Output Window");
  EXPECT_EQ(Form->Database->DatabaseName(), "Database");
  EXPECT_EQ(Session.FindDatabase("database"), Form->Database);

  EXPECT_FALSE(Form->Query->ParseForParams());
  EXPECT_EQ(Form->Query->DatabaseName(), "Database");
  ASSERT_EQ(Form->ErrorQuery->Params().Count(), 3);
  EXPECT_EQ(Form->ErrorQuery->Params().Items(1)->ParamName(), "name");
  ASSERT_EQ(Form->ErrorQuery->Fields().Count(), 3);
  EXPECT_EQ(Form->ErrorQuery->Fields().Items(2)->ParamName(), "TEXT");
  EXPECT_EQ(Form->ErrorQuery->Fields().Items(2)->ItemSize(), 2000);
  EXPECT_EQ(Form->ErrorQuery->Fields().Items(0)->Kind(), oField);
  EXPECT_EQ(Form->ErrorQuery->Fields().Items(1)->Pos(), 2);
  EXPECT_EQ(Form->ErrorQuery->Fields().Dimension(), 10);
  EXPECT_EQ(Form->Query->Fields().Dimension(), 10);
  {
    // The stored description is what the loaded query writes back: it was dumped with every
    // property the query publishes today.
    TMemoryStream Written;
    TValueWriter Writer(Written);
    TComponentWriter(Writer).WriteRootComponent(
        {"TOracleQuery", "ErrorQuery", Form->ErrorQuery, &TOracleQuery::Properties(), {}});
    Writer.FlushBuffer();
    EXPECT_EQ(Written.Bytes(), std::vector<std::uint8_t>(std::begin(ErrorQueryDescription),
                                                         std::end(ErrorQueryDescription)));
  }
  EXPECT_EQ(Form->ErrorQuery->Params().Items(0)->DataType(), oUnknown);
  EXPECT_EQ(Form->ErrorQuery->SQL(), "SELECT line, position, text FROM all_errors WHERE "
                                     "owner=:owner AND name=:name AND type=:type");
  EXPECT_EQ(Form->ErrorQuery->DatabaseName(), "Database");
  // Loaded from the window's description: the lists are used as they are.
  EXPECT_FALSE(Form->ErrorQuery->Params().NeedsRefresh());
  EXPECT_FALSE(Form->ErrorQuery->Fields().NeedsRefresh());
}

TEST_F(TMainFormTest, LoginConnectsAndReportsThenForgetsThePassword) {
  AnswerLogin("SCOTT", "TIGER", "");
  Form->DatabaseConnectItem->trigger();
  EXPECT_TRUE(Form->Database->Connected());
  EXPECT_EQ(Form->StatusText(), "Connected to  as SCOTT.");
  EXPECT_NE(FakeLog().find("olog SCOTT/TIGER@ "), std::string::npos);
  EXPECT_TRUE(LoginForm->Password->text().isEmpty());
  EXPECT_EQ(LoginForm->UserName->text(), "SCOTT");

  // Connect again: the question comes first, and Cancel keeps the session.
  std::vector<std::string> Questions;
  Form->Confirm = [&](const std::string &Q) {
    Questions.push_back(Q);
    return false;
  };
  Form->DatabaseConnectItem->trigger();
  EXPECT_EQ(Questions, std::vector<std::string>{"Disconnect current session ?"});
  EXPECT_TRUE(Form->Database->Connected());
  EXPECT_EQ(FakeLog().find("ologof"), std::string::npos);

  // OK: off, then on again through the dialog.
  Form->Confirm = [](const std::string &) { return true; };
  AnswerLogin("SYSTEM", "MANAGER", "LOCAL");
  Form->ConnectButton->click();
  EXPECT_NE(FakeLog().find("ologof\nopinit 1\nolog SYSTEM/MANAGER@LOCAL"), std::string::npos)
      << FakeLog(); // each acquire at use count 0 initialises the library again
  EXPECT_EQ(Form->StatusText(), "Connected to LOCAL as SYSTEM.");

  Form->DisconnectButton->click();
  EXPECT_FALSE(Form->Database->Connected());
  EXPECT_EQ(Form->StatusText(), "Disconnected.");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(TMainFormTest, CancelledLoginChangesNothing) {
  Form->SetStatusText("before");
  AnswerLogin("SCOTT", "secret", "", false);
  Form->DatabaseConnectItem->trigger();
  EXPECT_FALSE(Form->Database->Connected());
  EXPECT_EQ(Form->StatusText(), "before");
  EXPECT_TRUE(Errors.empty()); // the silent abort shows nothing
  EXPECT_TRUE(LoginForm->Password->text().isEmpty());
  EXPECT_EQ(FakeLog().find("olog"), std::string::npos);

  // Windows that connect first open nothing when the login is cancelled.
  AnswerLogin("SCOTT", "", "", false);
  Form->WindowNewProcdeureWindowItem->trigger();
  EXPECT_FALSE(Form->Database->Connected());
  EXPECT_TRUE(Form->MdiArea->subWindowList().isEmpty());
}

TEST_F(TMainFormTest, FailedLogonReportsAndShowsTheServerMessage) {
  FakeFailNext("olog", 1017);
  AnswerLogin("SCOTT", "WRONG", "");
  Form->DatabaseConnectItem->trigger();
  EXPECT_FALSE(Form->Database->Connected());
  EXPECT_EQ(Form->StatusText(), "Connect failed.");
  EXPECT_EQ(Errors, std::vector<std::string>{"ORA-01017: fake message 1017"});
}

TEST_F(TMainFormTest, ChildMenusMergeByGroupAndLeaveWithTheChild) {
  auto *Child = new TDummyChild;
  Form->show();
  Form->AddChild(Child);
  Form->MdiArea->setActiveSubWindow(Form->MdiArea->subWindowList().first());
  QApplication::processEvents();
  EXPECT_EQ(MenuBarNames(Form->menuBar()),
            (std::vector<std::string>{"ChildFile", "ChildRun", "DatabaseMenu", "ToolsMenu",
                                      "WindowMenu", "HelpMenu"}));
  // The editor buttons forward nothing to a child that is not a script editor.
  Form->SaveButtonClick();
  Form->CompileButtonClick();
  Form->MdiArea->closeAllSubWindows();
  QApplication::processEvents();
  EXPECT_EQ(MenuBarNames(Form->menuBar()),
            (std::vector<std::string>{"FileMenu", "DatabaseMenu", "ToolsMenu", "WindowMenu",
                                      "HelpMenu"}));
}

TEST_F(TMainFormTest, FreshStartHasDefaultsAndShutDownWritesWhatTheNextStartReads) {
  EXPECT_TRUE(Errors.empty()); // no configuration file: no message
  EXPECT_FALSE(QFile::exists(Folder.filePath("tessaly.cfg")));
  EXPECT_EQ(Form->CFG->EditorTabSize(), 8);
  EXPECT_TRUE(LoginForm->UserName->text().isEmpty());

  Form->CFG->SetEditorTabSize(4);
  LoginForm->UserName->setText("SCOTT");
  LoginForm->Password->setText("TIGER");
  LoginForm->Host->setText("LOCAL");
  Form->FileExitItem->trigger();
  EXPECT_TRUE(QFile::exists(Folder.filePath("tessaly.cfg")));
  EXPECT_FALSE(QFile::exists(Folder.filePath("tessaly.ds"))); // desktop not enabled

  Form.reset(); // one main window at a time: its database name is unique
  Form = std::make_unique<TMainForm>();
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Form->CFG->EditorTabSize(), 4);
  EXPECT_EQ(LoginForm->UserName->text(), "SCOTT");
  EXPECT_EQ(LoginForm->Host->text(), "LOCAL");
  EXPECT_TRUE(LoginForm->Password->text().isEmpty()); // never kept
}

TEST_F(TMainFormTest, UnreadableConfigurationShowsTheMismatchMessageAndStartsWithDefaults) {
  QFile File(Folder.filePath("tessaly.cfg"));
  ASSERT_TRUE(File.open(QIODevice::WriteOnly));
  File.write("not a configuration");
  File.close();
  Form.reset(); // one main window at a time: its database name is unique
  Form = std::make_unique<TMainForm>();
  ASSERT_FALSE(Errors.empty());
  EXPECT_EQ(Errors.front(), ConfigReadErrorMessage);
  EXPECT_EQ(Form->CFG->EditorTabSize(), 8);
}

TEST_F(TMainFormTest, DesktopPositionRoundTrip) {
  Form->CFG->SetSaveDesktopPosition(true);
  Form->move(40, 30);
  Form->resize(700, 450);
  Form->close();
  EXPECT_TRUE(QFile::exists(Folder.filePath("tessaly.ds")));
  Form.reset(); // one main window at a time: its database name is unique
  Form = std::make_unique<TMainForm>();
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Form->pos(), QPoint(40, 30));
  EXPECT_EQ(Form->size(), QSize(700, 450));
}

TEST(MergeMenus, ChildReplacesItsGroupAndTheRestKeepGroupOrder) {
  App();
  QMenuBar Bar;
  QMenu A("a"), B("b"), C("c"), X("x"), Y("y");
  for (auto [M, N] : {std::pair{&A, "A"}, {&B, "B"}, {&C, "C"}, {&X, "X"}, {&Y, "Y"}})
    M->setObjectName(N);
  MergeMenus(&Bar, {{1, &A}, {5, &B}, {100, &C}}, {{5, &X}, {3, &Y}});
  EXPECT_EQ(MenuBarNames(&Bar), (std::vector<std::string>{"A", "Y", "X", "C"}));
  MergeMenus(&Bar, {{1, &A}, {5, &B}, {100, &C}}, {});
  EXPECT_EQ(MenuBarNames(&Bar), (std::vector<std::string>{"A", "B", "C"}));
}

} // namespace
