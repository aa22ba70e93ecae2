// Compiling from the script editor window offscreen, against the local server: F9 and Ctrl+F9,
// the error lists of all windows, the caret on the error's word, the full text of an error, an
// included script's errors in its own window, and Cancel.
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "script/ParserUnit.h"
#include "tests/TestDeadline.h"
#include "windows/CompileForm.h"
#include "windows/EditUnit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "EditUnitCompileTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

using Strings = std::vector<std::string>;

class EditCompileTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(Data.isValid());
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    Folder = Data.path().toStdString() + "/";
    SetProgramPath(Folder + "tessaly");
    TApplication::ShowErrorMessage = [this](const std::string &M) { Shown.push_back(M); };
    Main = std::make_unique<TMainForm>();
    Main->resize(900, 700);
    Main->show();
    // Logged on without the login dialog.
    TLoginEvent Login = Main->Database->OnLogin;
    Main->Database->OnLogin.Clear();
    Main->Database->SetUser("SCOTT");
    Main->Database->SetPassword("TIGER");
    Main->Database->SetConnected(true);
    Main->Database->OnLogin = Login;
  }
  void TearDown() override {
    for (QMdiSubWindow *Window : Main->MdiArea->subWindowList())
      if (auto *Form = dynamic_cast<TEditForm *>(Window->widget()))
        Form->Editor->SetModified(false);
    Main.reset();
  }

  TEditForm *NewEditor(const std::string &AText, const std::string &AFileName = "") {
    TEditForm *Form = TEditForm::Create(*Main);
    if (!AFileName.empty())
      Form->SetFileName(AFileName);
    Form->Editor->Lines().SetText(AText);
    Form->resize(600, 450);
    QApplication::processEvents();
    return Form;
  }

  // Runs the command as the menu does; the dialog is closed with its button once it reads "OK"
  // (or, with ACancelAfter, pressed as "Cancel" that many milliseconds after it came up).
  void Compile(QAction *AItem, int ACancelAfter = -1) {
    TCompileForm *Dialog = CompileForm();
    Dialog->OnShown = [Dialog, ACancelAfter, this] {
      auto *Timer = new QTimer(Dialog);
      auto Started = std::make_shared<QElapsedTimer>();
      Started->start();
      QObject::connect(Timer, &QTimer::timeout, [=, this] {
        const bool Cancel = ACancelAfter >= 0 && Started->elapsed() >= ACancelAfter;
        if (Dialog->CancelButton->text() != "OK" &&
            Started->elapsed() >= testdeadline::kWaitLimit.count()) {
          // A run that never ends fails the test; Cancel stops it and the dialog then closes.
          ADD_FAILURE() << "the compile run did not finish";
          Started->restart();
          Dialog->CancelButton->click();
          return;
        }
        if (Dialog->CancelButton->text() == "OK" || Cancel) {
          DialogCounts = {Dialog->ExpCount->text().toStdString(),
                          Dialog->ErrorCount->text().toStdString(),
                          Dialog->CancelButton->text().toStdString()};
          Timer->deleteLater();
          Dialog->CancelButton->click();
        }
      });
      Timer->start(5);
    };
    AItem->trigger();
    Dialog->OnShown = nullptr;
  }

  static Strings Entries(TEditForm *AForm) {
    Strings Result;
    for (int I = 0; I < AForm->ErrorBox->count(); ++I)
      Result.push_back(AForm->ErrorBox->item(I)->text().toLatin1().toStdString());
    return Result;
  }
  static std::string Selected(TEditForm *AForm) { return AForm->Editor->Model().SelectedText(); }
  std::string One(const std::string &ASql) {
    TOracleQuery Query;
    Query.SetDatabaseName("Database");
    Query.SetSQL(ASql);
    Query.Open();
    return Query.Fields().Items(0)->RowAsString(0);
  }

  QTemporaryDir Data;
  std::string Folder;
  std::unique_ptr<TMainForm> Main;
  Strings Shown;
  Strings DialogCounts;
};

TEST_F(EditCompileTest, F9ListsEveryErrorAndPutsTheCaretOnTheFirst) {
  TEditForm *Other = NewEditor("SELECT 1 FROM dual;\r\n");
  Other->AddError("an old error", 1);
  const std::string Text = "CREATE TABLE pets (id NUMBER);\r\n"
                           "INSERT INTO nosuch VALUES (1);\r\n"
                           "CREATE OR REPLACE PROCEDURE feed IS\r\n"
                           "BEGIN\r\n"
                           "  UPDATE pets SET id = id + 1;\r\n"
                           "  undeclared := 1;\r\n"
                           "END;\r\n"
                           "/\r\n"
                           "SELECT id FROM pets WHERE id = = 1;\r\n";
  TEditForm *Form = NewEditor(Text);
  Compile(Form->RunCompileItem);

  const Strings Errors = Entries(Form);
  EXPECT_EQ(DialogCounts, (Strings{"4 of 4", std::to_string(Errors.size()), "OK"}));
  ASSERT_GE(Errors.size(), 3u);
  EXPECT_EQ(Errors[0], "ORA-00942: table or view does not exist");
  EXPECT_NE(Errors[1].find("UNDECLARED"), std::string::npos) << Errors[1];
  EXPECT_EQ(Errors.back().substr(0, 10), "ORA-00936:");
  // After the run the first entry is selected and the caret stands on its word.
  EXPECT_EQ(Form->ErrorBox->currentRow(), 0);
  EXPECT_EQ(Form->Editor->SelStart(), static_cast<int>(Text.find("nosuch")));
  EXPECT_EQ(Selected(Form), "nosuch");
  // A click on the stored unit's error puts the caret on the undeclared name.
  Form->ErrorBox->setCurrentRow(1);
  Form->ErrorBoxClick();
  EXPECT_EQ(Selected(Form), "undeclared");
  // The list opened over the bottom third; the other window's list was cleared and collapsed.
  EXPECT_GT(Form->ErrorBox->height(), 0);
  EXPECT_NEAR(Form->Editor->height(), Form->height() / 3 * 2, 8);
  EXPECT_EQ(Other->ErrorBox->count(), 0);
  EXPECT_EQ(Other->ErrorBox->height(), 0);
  EXPECT_EQ(One("SELECT status FROM user_objects WHERE object_name = 'FEED'"), "INVALID");
}

TEST_F(EditCompileTest, CtrlF9CompilesTheStatementAtTheCaretAndOffsetZeroAll) {
  const std::string Text = "CREATE TABLE one (a NUMBER);\r\nCREATE TABLE two (a NUMBER);\r\n";
  TEditForm *Form = NewEditor(Text);
  Form->Editor->SetSelStart(static_cast<int>(Text.find("two")));
  Compile(Form->RunComileExpressionItem);
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name IN ('ONE', 'TWO')"), "1");
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'TWO'"), "1");
  EXPECT_EQ(DialogCounts[0].substr(0, 5), "1 of ");

  Form->Editor->Lines().SetText("DROP TABLE two;\r\nCREATE TABLE one (a NUMBER);\r\n");
  Form->Editor->SetSelStart(0);
  Compile(Form->RunComileExpressionItem);
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name IN ('ONE', 'TWO')"), "1");
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'ONE'"), "1");
  EXPECT_TRUE(Entries(Form).empty());
  EXPECT_EQ(Form->ErrorBox->height(), 0); // no error: the list stays collapsed
}

TEST_F(EditCompileTest, ClicksSelectTheWordTheBlankOrNothing) {
  TEditForm *Form = NewEditor("SELECT x_1$ FROM  dual;\r\n");
  Form->AddError("at the start", 1);
  EXPECT_EQ(Form->Editor->SelStart(), 0);
  EXPECT_EQ(Selected(Form), "SELECT");
  Form->AddError("on the name", 8);
  EXPECT_EQ(Selected(Form), "x_1$");
  Form->AddError("on a blank", 18);
  EXPECT_EQ(Selected(Form), " ");
  Form->AddError("on a parenthesis-less end", 23);
  EXPECT_EQ(Selected(Form), ";");
  Form->Editor->SetSelStart(3);
  Form->AddError("without a place", 0);
  EXPECT_EQ(Form->Editor->SelStart(), 3);
  EXPECT_EQ(Form->Editor->SelLength(), 0);
  // Past the end of the text the caret goes to the end, nothing beyond.
  Form->AddError("far away", 5000);
  EXPECT_LE(Form->Editor->SelStart(), 25);
}

TEST_F(EditCompileTest, TwoLineMessagesAreOneListLineAndShowWhole) {
  TEditForm *Form = NewEditor("BEGIN NULL; END;\r\n");
  TScripts Scripts;
  TScript *Script = Scripts.Add();
  Script->SetEditForm(Form);
  Script->SetText(Form->Editor->Lines().Text());
  Script->AddError("ORA-06550: line 1, column 7:\nPLS-00201: identifier 'X' must be declared\n", 7);
  ASSERT_EQ(Entries(Form).size(), 1u);
  EXPECT_EQ(Entries(Form)[0],
            "ORA-06550: line 1, column 7:\xa0PLS-00201: identifier 'X' must be declared");
  EXPECT_GT(Form->ErrorBox->height(), 0);

  std::string Box;
  QTimer::singleShot(20, [&] {
    if (auto *Message = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      Box = Message->text().toLatin1().toStdString();
      Message->accept();
    }
  });
  Form->ErrorBoxDblClick();
  EXPECT_EQ(Box, "ORA-06550: line 1, column 7:\nPLS-00201: identifier 'X' must be declared");

  Form->ErrorBox->clearSelection();
  Form->ErrorBox->setCurrentItem(nullptr);
  Form->ErrorBoxDblClick(); // nothing selected: no box (a box would block the test here)
}

TEST_F(EditCompileTest, AnIncludedScriptWithErrorsOpensInItsOwnWindow) {
  std::ofstream(Folder + "inc.sql", std::ios::binary)
      << "SELECT * FROM dual;\r\nSELECT * FROM nosuch;\r\n";
  TEditForm *Form = NewEditor("SELECT * FROM dept;\r\n@inc\r\n", Folder + "main.sql");
  Compile(Form->RunCompileItem);
  EXPECT_TRUE(Entries(Form).empty());
  TEditForm *Included = nullptr;
  for (QMdiSubWindow *Window : Main->MdiArea->subWindowList())
    if (auto *Other = dynamic_cast<TEditForm *>(Window->widget()))
      if (Other->FileName() == Folder + "inc.sql")
        Included = Other;
  ASSERT_NE(Included, nullptr);
  EXPECT_EQ(Entries(Included), Strings{"ORA-00942: table or view does not exist"});
  EXPECT_EQ(Selected(Included), "nosuch");
  EXPECT_EQ(Form->ErrorBox->height(), 0);
}

TEST_F(EditCompileTest, CancelBreaksTheStatementAndTheWindowStaysUsable) {
  const std::string Text =
      "CREATE TABLE big (a NUMBER);\r\n"
      "INSERT INTO big SELECT 1 FROM emp a, emp b, emp c, emp d, emp e, emp f, emp g;\r\n"
      "CREATE TABLE after_cancel (a NUMBER);\r\n";
  TEditForm *Form = NewEditor(Text);
  Compile(Form->RunCompileItem, 500);
  EXPECT_EQ(DialogCounts[2], "Cancel");
  EXPECT_EQ(Entries(Form), Strings{"ORA-01013: user requested cancel of current operation"});
  EXPECT_EQ(Form->Editor->SelStart(), static_cast<int>(Text.find("INSERT")));
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'AFTER_CANCEL'"), "0");
  // The next run works as usual.
  Form->Editor->Lines().SetText("SELECT COUNT(*) FROM big;\r\n");
  Compile(Form->RunCompileItem);
  EXPECT_EQ(DialogCounts, (Strings{"1 of 1", "None", "OK"}));
  EXPECT_TRUE(Shown.empty());
}

} // namespace

// Ctrl+Enter: the statement at the caret, or the selection, runs without the compile dialog;
// a query's rows and any other statement's result show in the pane under the editor, errors
// in the error list.
TEST_F(EditCompileTest, CtrlEnterRunsTheStatementAtTheCaretIntoTheResultPane) {
  const std::string Text = "SELECT ename, 'x' lit FROM emp WHERE deptno = 10 ORDER BY ename;\r\n"
                           "INSERT INTO bonus SELECT ename, job, sal, comm FROM emp\r\n"
                           "  WHERE deptno = 10;\r\n"
                           "CREATE OR REPLACE PROCEDURE bad IS BEGIN nosuch; END;\r\n"
                           "/\r\n";
  TEditForm *Form = NewEditor(Text);
  EXPECT_FALSE(Form->ResultGrid->isVisible());
  EXPECT_EQ(Form->RunStatementItem->shortcut(), QKeySequence("Ctrl+Return"));
  Form->Editor->SetSelStart(static_cast<int>(Text.find("lit")));
  Form->RunStatementItem->trigger();
  EXPECT_FALSE(CompileForm()->isVisible());
  ASSERT_TRUE(Form->ResultGrid->isVisible());
  EXPECT_GT(Form->ResultGrid->height(), 40);
  const TResultSet &Rows = Form->ResultGrid->Model->Rows();
  ASSERT_EQ(Rows.ColumnCount(), 2);
  EXPECT_EQ(Rows.Header(1), "LIT");
  ASSERT_EQ(Rows.RowCount(), 3);
  EXPECT_EQ(Rows.Cell(0, 2), "MILLER");
  EXPECT_EQ(Rows.Cell(1, 2), "x");
  EXPECT_EQ(Form->ResultGrid->StatusText().substr(0, 16), "3 rows fetched, ");

  Form->Editor->SetSelStart(static_cast<int>(Text.find("deptno = 10;")));
  Form->RunStatementItem->trigger();
  EXPECT_EQ(Form->ResultGrid->Model->Cell(0, 0), "INSERT Success, 3 rows");
  EXPECT_EQ(Form->ResultGrid->Model->Header(0), "Result");

  // A selection runs as it stands, each of its statements in turn.
  Form->Editor->SetSelStart(static_cast<int>(Text.find("CREATE")));
  Form->Editor->SetSelLength(static_cast<int>(Text.size() - Text.find("CREATE")));
  Form->RunStatementItem->trigger();
  ASSERT_FALSE(Entries(Form).empty());
  EXPECT_NE(Entries(Form)[0].find("NOSUCH"), std::string::npos) << Entries(Form)[0];
  EXPECT_EQ(Selected(Form), "nosuch");
  EXPECT_EQ(Form->ResultGrid->Model->Cell(0, 0), "CREATE PROCEDURE Success");
  Form->Editor->SetSelStart(0);
  Form->Editor->SetSelLength(static_cast<int>(Text.find("INSERT")) - 3);
  Form->RunStatementItem->trigger(); // the statement's end cut off by the selection
  EXPECT_EQ(Form->ResultGrid->Model->Rows().RowCount(), 3);
  EXPECT_TRUE(Entries(Form).empty());
  EXPECT_TRUE(Shown.empty());
}
