// The DBMS output window offscreen: draining with the line limit, Reset, saving, the single
// registration, the main window's command and desktop record; against a scripted server and
// against the local server's DBMS_OUTPUT.
#include "windows/DBMSOutputUnit.h"

#include "app/LoginUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "db/OciApiQuery.h"
#include "tests/QtTestEnvironment.h"

#include <QFile>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <iterator>

namespace {

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<TApplication>("DBMSOutputUnitTest"));

using TStrings = std::vector<std::string>;

std::string FileText(const QString &AFileName) {
  std::ifstream File(QFile::encodeName(AFileName).toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(File), {});
}

// A DBMS_OUTPUT that hands out the lines a test puts into it and counts the ENABLE calls.
struct TScriptedServer : TDBMSOutputServer {
  std::deque<std::string> Pending;
  std::vector<int> Enables;
  bool FailNext = false;
  void Enable(int ABufferSize) override {
    if (FailNext) {
      FailNext = false;
      throw Exception("ORA-20000: enable failed");
    }
    Enables.push_back(ABufferSize);
  }
  bool GetLine(std::string &ALine) override {
    if (Pending.empty())
      return false;
    ALine = Pending.front();
    Pending.pop_front();
    return true;
  }
};

// The main window logged on to a fresh local server as SCOTT, the DBMS output window's server
// chosen by the test.
class DBMSOutputWindow : public ::testing::Test {
protected:
  static inline QTemporaryDir *Data = nullptr;
  QTemporaryDir Program;
  std::unique_ptr<TMainForm> Main;
  std::vector<std::string> Errors;
  TScriptedServer *Server = nullptr; // owned by the window
  bool Scripted = true;

  static void SetUpTestSuite() {
    Data = new QTemporaryDir;
    setenv("TESSALY_DATA", Data->path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
  }
  static void TearDownTestSuite() {
    delete Data;
    Data = nullptr;
  }

  void SetUp() override {
    SetProgramPath(Program.filePath("tessaly").toStdString());
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) {
      Errors.push_back(AMessage);
    };
    Main = std::make_unique<TMainForm>();
    Main->show();
    Login();
  }
  void TearDown() override {
    Main->MdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Main->DatabaseDisconnectItemClick();
    Main.reset();
    TDBMSOutputForm::ServerFactory = DefaultFactory();
  }

  static TDBMSOutputForm::TServerFactory DefaultFactory() {
    static const TDBMSOutputForm::TServerFactory Factory = TDBMSOutputForm::ServerFactory;
    return Factory;
  }

  void Login() {
    QTimer::singleShot(0, [] {
      LoginForm->UserName->setText("SCOTT");
      LoginForm->Password->setText("TIGER");
      LoginForm->Host->clear();
      LoginForm->OkButton->click();
    });
    Main->Database->SetConnected(true);
    ASSERT_TRUE(Main->Database->Connected());
  }

  void UseScriptedServer() {
    DefaultFactory(); // remembered before it is replaced
    TDBMSOutputForm::ServerFactory = [this](TDBMSOutputForm &) {
      auto Result = std::make_unique<TScriptedServer>();
      Server = Result.get();
      return Result;
    };
  }

  TDBMSOutputForm *Open() {
    Main->WindowDMBSOutputWindowItem->trigger();
    return TDBMSOutputForm::Registered();
  }
};

TEST_F(DBMSOutputWindow, OpensOnceFromTheMenuWithOneEnable) {
  UseScriptedServer();
  Main->CFG->SetDBMSOracleBufferLimit(20000);
  TDBMSOutputForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->windowTitle(), "DBMS Output");
  EXPECT_EQ(Form->ResetButton->text(), "Reset");
  EXPECT_TRUE(Form->ResetButton->isDefault());
  EXPECT_EQ(Form->SaveButton->text(), "Save");
  EXPECT_EQ(Form->ResetButton->width(), 73);
  // Reset at the right edge, the two-pixel gap, then Save.
  EXPECT_EQ(Form->ResetButton->geometry().right(), Form->TopPanel->width() - 1);
  EXPECT_EQ(Form->SaveButton->geometry().right() + 3, Form->ResetButton->geometry().left());
  EXPECT_EQ(Main->ActiveChild(), Form);
  EXPECT_EQ(Server->Enables, std::vector<int>{20000});

  Main->WindowDMBSOutputWindowItem->trigger();
  EXPECT_EQ(TDBMSOutputForm::Registered(), Form);
  EXPECT_EQ(Main->MdiArea->subWindowList().size(), 1);
  EXPECT_EQ(Server->Enables.size(), 1u);

  // A window made some other way while one is registered stays out of it.
  TDBMSOutputForm Second;
  Second.FormCreate();
  EXPECT_EQ(TDBMSOutputForm::Registered(), Form);
  EXPECT_EQ(Server->Enables.size(), 1u);

  Main->MdiArea->closeAllSubWindows();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(TDBMSOutputForm::Registered(), nullptr);
  EXPECT_FALSE(TDBMSOutputForm::DrainRegistered());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(DBMSOutputWindow, DrainKeepsTheNewestLinesUpToTheLimit) {
  UseScriptedServer();
  Main->CFG->SetDBMSBufferLimit(3);
  TDBMSOutputForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->SelectedIndex(), -1);
  Server->Pending = {"one", "two"};
  EXPECT_TRUE(TDBMSOutputForm::DrainRegistered());
  EXPECT_EQ(Form->Lines(), (TStrings{"one", "two"}));
  EXPECT_EQ(Form->SelectedIndex(), 1);
  Server->Pending = {"three", "four", "five"};
  Form->DrainOutput();
  EXPECT_EQ(Form->Lines(), (TStrings{"three", "four", "five"}));
  EXPECT_EQ(Form->SelectedIndex(), 2);
  // Nothing pending: the list and its selection stay.
  Form->DrainOutput();
  EXPECT_EQ(Form->Lines().size(), 3u);
  EXPECT_EQ(Form->SelectedIndex(), 2);

  // A limit below one still keeps the newest line instead of failing.
  Main->CFG->SetDBMSBufferLimit(0);
  Server->Pending = {"six", "seven"};
  Form->DrainOutput();
  EXPECT_EQ(Form->Lines(), (TStrings{"seven"}));
}

TEST_F(DBMSOutputWindow, ResetEmptiesTheListAndEnablesAgain) {
  UseScriptedServer();
  TDBMSOutputForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Server->Pending = {"a", "b"};
  Form->DrainOutput();
  Main->CFG->SetDBMSOracleBufferLimit(4096);
  Form->ResetButton->click();
  EXPECT_TRUE(Form->Lines().empty());
  EXPECT_EQ(Server->Enables, (std::vector<int>{10240, 4096}));

  // A failing ENABLE reaches the error report and keeps the lines.
  Server->Pending = {"c"};
  Form->DrainOutput();
  Server->FailNext = true;
  Form->ResetButton->click();
  EXPECT_EQ(Errors, TStrings{"ORA-20000: enable failed"});
  EXPECT_EQ(Form->Lines(), TStrings{"c"});
}

TEST_F(DBMSOutputWindow, FailingEnableAtCreationOpensNoWindow) {
  TDBMSOutputForm::ServerFactory = [](TDBMSOutputForm &) {
    auto Result = std::make_unique<TScriptedServer>();
    Result->FailNext = true;
    return Result;
  };
  EXPECT_EQ(Open(), nullptr);
  EXPECT_EQ(Errors, TStrings{"ORA-20000: enable failed"});
  EXPECT_TRUE(Main->MdiArea->subWindowList().isEmpty());
}

TEST_F(DBMSOutputWindow, SaveWritesLinesWithCrLfAndNothingWhenCancelledOrRefused) {
  UseScriptedServer();
  TDBMSOutputForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Server->Pending = {"first line", "", "caf\xe9 | last"};
  Form->DrainOutput();
  QTemporaryDir Folder;
  const QString Target = Folder.filePath("out \xc3\xa9.txt"); // a name beyond ASCII
  const std::string TargetName = QFile::encodeName(Target).toStdString();
  std::vector<std::string> Questions;
  bool Answer = false;
  Form->ConfirmOverwrite = [&](const std::string &AQuestion) {
    Questions.push_back(AQuestion);
    return Answer;
  };

  // Cancelled dialog: nothing written.
  Form->AskSaveFileName = [] { return std::string(); };
  Form->SaveButton->click();
  EXPECT_FALSE(QFile::exists(Target));

  Form->AskSaveFileName = [&] { return TargetName; };
  Form->SaveButton->click();
  EXPECT_TRUE(Questions.empty()); // a new file is not asked about
  EXPECT_EQ(FileText(Target), "first line\r\n\r\ncaf\xe9 | last\r\n");

  // An existing file: No leaves it as it was, Yes replaces it.
  Server->Pending = {"more"};
  Form->DrainOutput();
  Form->SaveButton->click();
  EXPECT_EQ(Questions, TStrings{"Ok to overwrite " + TargetName});
  EXPECT_EQ(FileText(Target), "first line\r\n\r\ncaf\xe9 | last\r\n");
  Answer = true;
  Form->SaveButton->click();
  EXPECT_EQ(FileText(Target), "first line\r\n\r\ncaf\xe9 | last\r\nmore\r\n");
  EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files).size(), 1); // no temporary left

  // A folder that cannot be written: the error is reported, the list is unchanged.
  Form->AskSaveFileName = [&] { return TargetName + "/missing/out.txt"; };
  Form->SaveButton->click();
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Form->Lines().size(), 4u);
}

TEST_F(DBMSOutputWindow, DoubleClickShowsTheSelectedLine) {
  UseScriptedServer();
  TDBMSOutputForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  TStrings Shown;
  Form->ShowLine = [&](const std::string &AText) { Shown.push_back(AText); };
  Form->ListBoxDblClick();
  EXPECT_TRUE(Shown.empty());
  Server->Pending = {"alpha", "beta"};
  Form->DrainOutput();
  Form->ListBoxDblClick();
  Form->ListBox->setCurrentRow(0);
  Form->ListBoxDblClick();
  EXPECT_EQ(Shown, (TStrings{"beta", "alpha"}));
}

TEST_F(DBMSOutputWindow, DesktopRecordRoundTrip) {
  UseScriptedServer();
  ASSERT_NE(Open(), nullptr);
  Main->CFG->SetSaveDesktopPosition(true);
  Main->CFG->SetSaveDesktopState(true);
  Main->MdiArea->subWindowList().front()->setGeometry(7, 8, 310, 190);
  Main->close();
  EXPECT_TRUE(Main->MdiArea->subWindowList().isEmpty());
  EXPECT_EQ(TDBMSOutputForm::Registered(), nullptr);
  Main.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  Main = std::make_unique<TMainForm>();
  QTimer::singleShot(0, [] {
    LoginForm->Password->setText("TIGER");
    LoginForm->OkButton->click();
  });
  Main->show();
  QCoreApplication::processEvents();
  ASSERT_EQ(Main->MdiArea->subWindowList().size(), 1);
  auto *Restored =
      dynamic_cast<TDBMSOutputForm *>(Main->MdiArea->subWindowList().front()->widget());
  ASSERT_NE(Restored, nullptr);
  EXPECT_EQ(TDBMSOutputForm::Registered(), Restored);
  EXPECT_EQ(Main->MdiArea->subWindowList().front()->geometry(), QRect(7, 8, 310, 190));
  EXPECT_EQ(Server->Enables.size(), 1u);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(DBMSOutputWindow, DesktopWithTwoRecordsRestoresOneWindowAndWhatFollows) {
  UseScriptedServer();
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TWindowPlacement Placement;
    Placement.Left = 1, Placement.Top = 2, Placement.Right = 201, Placement.Bottom = 102;
    const auto Bytes = Placement.ToBytes();
    Writer.WriteListBegin();
    for (int i = 0; i < 2; ++i) {
      Writer.WriteString("TDBMSOutputForm");
      Writer.Write(Bytes.data(), Bytes.size());
    }
    Writer.WriteString("TDBMSOutputForm");
    Writer.Write(Bytes.data(), 10); // cut short
    Writer.FlushBuffer();
  }
  Stream.Rewind();
  TValueReader Reader(Stream);
  Reader.ReadListBegin();
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(Reader.ReadString(), "TDBMSOutputForm");
    (*FormClasses().Find("TDBMSOutputForm"))(Reader);
  }
  EXPECT_EQ(Main->MdiArea->subWindowList().size(), 1);
  EXPECT_EQ(Server->Enables.size(), 1u);
  ASSERT_EQ(Reader.ReadString(), "TDBMSOutputForm");
  EXPECT_THROW((*FormClasses().Find("TDBMSOutputForm"))(Reader), EReadError);
  EXPECT_TRUE(Errors.empty());
}

// ---- Against the local server's DBMS_OUTPUT ------------------------------------------------

// Runs a statement on the main connection; the error text, empty on success.
std::string RunStatement(const std::string &AStatement) {
  TOracleQuery Query;
  Query.SetDatabaseName("Database");
  Query.SetParseForParams(false);
  Query.SetSQL(AStatement);
  try {
    Query.Execute();
  } catch (const std::exception &E) {
    return E.what();
  }
  return {};
}

// Blocks answer ORA-03001 until the local server runs PL/SQL.
TEST_F(DBMSOutputWindow, LocalServerLinesOfABlockAndTheLimit) {
  Main->CFG->SetDBMSBufferLimit(4);
  TDBMSOutputForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  ASSERT_TRUE(Errors.empty()) << Errors.front();
  EXPECT_EQ(RunStatement("BEGIN DBMS_OUTPUT.PUT_LINE('one'); DBMS_OUTPUT.PUT_LINE('two'); "
                         "DBMS_OUTPUT.PUT_LINE('three'); END;"),
            "");
  Form->DrainOutput();
  EXPECT_EQ(Form->Lines(), (TStrings{"one", "two", "three"}));
  EXPECT_EQ(Form->SelectedIndex(), 2);
  EXPECT_EQ(RunStatement("BEGIN FOR I IN 1..3 LOOP DBMS_OUTPUT.PUT_LINE('line ' || I); END LOOP; "
                         "END;"),
            "");
  Form->DrainOutput();
  EXPECT_EQ(Form->Lines(), (TStrings{"three", "line 1", "line 2", "line 3"}));

  Form->ResetButton->click();
  EXPECT_TRUE(Form->Lines().empty());
  EXPECT_EQ(RunStatement("BEGIN DBMS_OUTPUT.PUT_LINE('after reset'); END;"), "");
  Form->DrainOutput();
  EXPECT_EQ(Form->Lines(), TStrings{"after reset"});
  EXPECT_TRUE(Errors.empty());
}

} // namespace
