// The compile run against the local server: statements sent in order, failures reported at
// their places, DROP errors ignored on request, CONNECT lines, connect on demand, the
// expression at the caret, cancel with a break, stored units' compilation errors.
#include "script/CompileUnit.h"
#include "tests/TestDeadline.h"

#include "FakeScriptWindows.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

void EnsureApplication() {
  static int Argc = 1;
  static char Name[] = "CompileUnitTest";
  static char *Argv[] = {Name, nullptr};
  static QCoreApplication *App = new QCoreApplication(Argc, Argv);
  (void)App;
}

// Script lines joined as an editor window joins them.
std::string Lines(std::initializer_list<const char *> ALines) {
  std::string Text;
  for (const char *Line : ALines)
    Text += std::string(Line) + "\r\n";
  return Text;
}

// The 1-based script position of the first occurrence of ANeedle after AAfter.
int PositionOf(const std::string &AText, const std::string &ANeedle,
               const std::string &AAfter = "") {
  const size_t From = AAfter.empty() ? 0 : AText.find(AAfter);
  const size_t At = AText.find(ANeedle, From);
  return At == std::string::npos ? -1 : static_cast<int>(At) + 1;
}

// The compile dialog's values as the run leaves them.
class TFakeDisplay : public TCompileDisplay {
public:
  void SetExpCount(const std::string &AText) override { ExpCount = AText; }
  void SetErrorCount(const std::string &AText) override { ErrorCount = AText; }
  void SetElapsedTime(const std::string &AText) override { ElapsedTime = AText; }
  std::string ShownFileName() const override { return FileName; }
  void SetCurrentFileName(const std::string &AText) override {
    FileName = AText;
    ++FileNameChanges;
  }
  void SetProgress(int APercent) override { Progress.push_back(APercent); }
  void SetDone() override { Done = true; }
  void Repaint() override { ++Repaints; }

  std::string ExpCount = "0 of 0", ErrorCount = "None", ElapsedTime, FileName;
  int FileNameChanges = 0, Repaints = 0;
  std::vector<int> Progress;
  bool Done = false;
};

class CompileRunTest : public ::testing::Test {
protected:
  void SetUp() override {
    EnsureApplication();
    ASSERT_TRUE(Data.isValid());
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    Folder = Data.path().toStdString() + "/";
    Database.SetDatabaseName("Database");
    Database.SetUser("SCOTT");
    Database.SetPassword("TIGER");
    Database.SetConnected(true);
    Query.SetDatabaseName("Database");
    Query.SetParseForParams(false);
    ErrorQuery.SetDatabaseName("Database");
    ErrorQuery.SetSQL("SELECT line, position, text FROM all_errors WHERE owner=:owner AND "
                      "name=:name AND type=:type");
    Check.SetDatabaseName("Database");

    Environment.Database = &Database;
    Environment.Query = &Query;
    Environment.ErrorQuery = &ErrorQuery;
    Environment.Display = &Display;
    Environment.IgnoreDropErrors = [this] { return IgnoreDrops; };
    Environment.ShowStatus = [this](const std::string &AText) { Status.push_back(AText); };
    Environment.ShowError = [this](const std::string &AText) { Messages.push_back(AText); };
    Environment.DrainOutput = [this] { ++Drains; };
    Form = Windows.Open(Folder + "main.sql", "");
  }
  void TearDown() override {
    Query.Close();
    ErrorQuery.Close();
    Check.Close();
  }

  // Compiles AText as the editor window's script; APosition as the compile command passes it.
  // While the run goes, this thread serves the synchronous calls, as the GUI thread does; with
  // ACancelAfter the run is cancelled that many milliseconds after it started.
  void Compile(const std::string &AText, std::int32_t APosition = 0,
               std::optional<int> ACancelAfter = std::nullopt) {
    Form->Text = AText;
    Form->Errors.clear(); // as the compile command clears every error list
    TScripts Scripts;
    TScript *Main = Scripts.Add();
    Main->SetFileName(Form->FileName);
    Main->SetEditForm(Form);
    Main->SetText(AText);
    TExpressionList List;
    TThreadRef ParserRef{nullptr}, CompileRef{nullptr};
    auto *Parser = new TThreadParser(&Scripts, APosition != 0, &List, &ParserRef);
    auto *Thread = new TThreadCompile(&List, APosition, &ParserRef, &CompileRef, Environment);
    EXPECT_EQ(CompileRef.load(), Thread);
    Parser->Resume();
    const auto Start = std::chrono::steady_clock::now();
    const testdeadline::TDeadline Deadline;
    while (CompileRef.load() != nullptr || ParserRef.load() != nullptr) {
      if (Deadline.Passed())
        testdeadline::GiveUp("the compile and parser threads");
      if (ACancelAfter &&
          std::chrono::steady_clock::now() - Start > std::chrono::milliseconds(*ACancelAfter)) {
        TThreadCompile::CancelThread(CompileRef);
        Cancelled = true;
      }
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      SleepMs(1);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ExpressionCount = List.ExpressionCount;
  }

  Strings Errors() const {
    Strings Result;
    for (const auto &[Text, Position] : Form->Errors)
      Result.push_back(Text);
    return Result;
  }
  std::vector<int> ErrorPositions() const {
    std::vector<int> Result;
    for (const auto &[Text, Position] : Form->Errors)
      Result.push_back(Position);
    return Result;
  }
  std::string One(const std::string &ASql) {
    Check.SetSQL(ASql);
    Check.Open();
    std::string Value = Check.Fields().Items(0)->RowAsString(0);
    Check.Close();
    return Value;
  }
  QTemporaryDir Data;
  std::string Folder;
  TOracleDatabase Database;
  TOracleQuery Query, ErrorQuery, Check;
  TFakeScriptWindows Windows;
  TEditForm *Form = nullptr;
  TFakeDisplay Display;
  TCompileEnvironment Environment;
  bool IgnoreDrops = false;
  bool Cancelled = false;
  Strings Status, Messages;
  int Drains = 0;
  int ExpressionCount = 0;
};

TEST_F(CompileRunTest, StatementsRunInOrderAndFailuresPointAtTheirPlace) {
  const std::string Text = Lines(
      {"CREATE TABLE pets (id NUMBER, name VARCHAR2(20));", "INSERT INTO pets VALUES (1, 'Rex');",
       "INSERT INTO nosuch VALUES (1);", "SELECT id", "  FROM pets", " WHERE id = = 1;",
       "INSERT INTO pets VALUES (2, 'Bo')", "/", "COMMIT;"});
  Compile(Text);
  EXPECT_EQ(One("SELECT COUNT(*) FROM pets"), "2");
  ASSERT_EQ(Errors().size(), 2u);
  EXPECT_EQ(Errors()[0], "ORA-00942: table or view does not exist");
  EXPECT_EQ(Errors()[1].substr(0, 10), "ORA-00936:");
  // A name error points at the name, a syntax error at the token, also on a later line of a
  // statement that spans lines.
  EXPECT_EQ(ErrorPositions()[0], PositionOf(Text, "nosuch"));
  EXPECT_EQ(ErrorPositions()[1], PositionOf(Text, "= 1", "= ="));

  EXPECT_EQ(Display.ExpCount, "6 of 6");
  EXPECT_EQ(Display.ErrorCount, "2");
  EXPECT_EQ(Display.FileName, Folder + "main.sql");
  EXPECT_EQ(Display.FileNameChanges, 1);
  EXPECT_EQ(Display.ElapsedTime, "00:00:00");
  EXPECT_GE(Display.Progress.back(), 95); // the last statement ends before its ";"
  EXPECT_TRUE(std::is_sorted(Display.Progress.begin(), Display.Progress.end()));
  EXPECT_GE(Display.Repaints, 1); // the first statement, then at most ~30 a second
  EXPECT_LE(Display.Repaints, 6);
  EXPECT_TRUE(Display.Done);
  EXPECT_EQ(Drains, 0);
  // The error list opened once, to the bottom third of the window.
  EXPECT_EQ(Windows.SplitterMoves, std::vector<int>{200});
}

TEST_F(CompileRunTest, ErrorCountReadsNoneWithoutErrors) {
  Compile(Lines({"SELECT * FROM dept;", "SELECT * FROM emp;"}));
  EXPECT_TRUE(Form->Errors.empty());
  EXPECT_EQ(Display.ErrorCount, "None");
  EXPECT_EQ(Display.ExpCount, "2 of 2");
  EXPECT_TRUE(Display.Done);
  EXPECT_TRUE(Windows.SplitterMoves.empty());
}

TEST_F(CompileRunTest, IgnoreDropErrorsPassesOverFailedDropsOnly) {
  const std::string Text =
      Lines({"DROP TABLE nosuch;", "DROP VIEW nosuch_v;", "DROP SEQUENCE nosuch_s;",
             "DROP FUNCTION nosuch_f;", "SELECT * FROM nosuch;"});
  IgnoreDrops = false;
  Compile(Text);
  EXPECT_EQ(Errors().size(), 5u);
  EXPECT_EQ(Display.ErrorCount, "5");

  Display = TFakeDisplay();
  IgnoreDrops = true;
  Compile(Text);
  // DROP FUNCTION is not among the codes passed over; a failed query still is reported.
  ASSERT_EQ(Errors().size(), 2u) << ::testing::PrintToString(Errors());
  EXPECT_GE(ErrorPositions()[0], PositionOf(Text, "DROP FUNCTION"));
  EXPECT_LT(ErrorPositions()[0], PositionOf(Text, ";", "DROP FUNCTION"));
  EXPECT_EQ(ErrorPositions()[1], PositionOf(Text, "nosuch;", "SELECT"));
  EXPECT_EQ(Display.ErrorCount, "2");
  EXPECT_EQ(Display.ExpCount, "5 of 5");
}

TEST_F(CompileRunTest, ConnectLinesSwitchUserAndTheCurrentUserIsKept) {
  int Logoffs = 0;
  Database.OnLogoff = [&](TDatabaseLite *, bool ABefore) { Logoffs += ABefore ? 1 : 0; };
  int Logins = 0;
  Database.OnLogin = [&](TDatabaseLite *, bool ABefore) { Logins += ABefore ? 1 : 0; };
  const std::string Text = Lines({"CONNECT system/manager", "CREATE TABLE sys_only (a NUMBER);",
                                  "CONNECT system/manager", "INSERT INTO sys_only VALUES (1);",
                                  "CONNECT scott/tiger", "SELECT * FROM sys_only;"});
  Compile(Text);
  // The login dialog never shows for a CONNECT line, and the handler is back afterwards.
  EXPECT_EQ(Logins, 0);
  EXPECT_TRUE(Database.OnLogin.Assigned());
  EXPECT_EQ(Logoffs, 2); // SCOTT to SYSTEM, SYSTEM to SCOTT; the repeated SYSTEM line keeps it
  EXPECT_EQ(Database.User(), "scott");
  EXPECT_EQ(Status, (Strings{"Connection in progress ...", "Connected to  as system.",
                             "Connection in progress ...", "Connected to  as scott."}));
  // SCOTT cannot see SYSTEM's table: the statements ran as the lines said.
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0], "ORA-00942: table or view does not exist");
  EXPECT_EQ(Display.ExpCount, "6 of 6");
}

TEST_F(CompileRunTest, FailedConnectLineEndsTheRunWithTwoEntries) {
  const std::string Text =
      Lines({"SELECT * FROM dual;", "CONNECT scott/wrong", "CREATE TABLE never (a NUMBER);"});
  Compile(Text);
  EXPECT_EQ(Errors(), (Strings{SConnectFailed, SCompileProjectFailed}));
  EXPECT_EQ(ErrorPositions(), (std::vector<int>{PositionOf(Text, "scott/wrong"), 0}));
  EXPECT_EQ(Status.back(), "Disconnected.");
  EXPECT_FALSE(Database.Connected());
  EXPECT_TRUE(Display.Done);
  EXPECT_EQ(Display.ExpCount.substr(0, 5), "2 of ");
  Database.SetUser("SCOTT");
  Database.SetPassword("TIGER");
  Database.SetConnected(true);
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'NEVER'"), "0");
}

TEST_F(CompileRunTest, ConnectOnDemandThroughTheLoginHandler) {
  Database.SetConnected(false);
  int Asked = 0;
  Database.OnLogin = [&](TDatabaseLite *ADatabase, bool ABefore) {
    if (!ABefore)
      return;
    ++Asked;
    ADatabase->SetUser("SCOTT");
    ADatabase->SetPassword("TIGER");
  };
  Compile(Lines({"SELECT * FROM dual;", "SELECT * FROM dual;"}));
  EXPECT_EQ(Asked, 1);
  EXPECT_TRUE(Database.Connected());
  EXPECT_TRUE(Form->Errors.empty());
  EXPECT_EQ(Display.ExpCount, "2 of 2");

  // A refused logon: a message box, the status, and nothing sent.
  Database.SetConnected(false);
  Database.OnLogin = [&](TDatabaseLite *ADatabase, bool ABefore) {
    if (ABefore)
      ADatabase->SetPassword("WRONG");
  };
  Display = TFakeDisplay();
  Compile(Lines({"SELECT * FROM dual;"}));
  EXPECT_EQ(Messages, Strings{"Connect failed."});
  EXPECT_EQ(Status.back(), "Disconnected.");
  EXPECT_TRUE(Form->Errors.empty());
  EXPECT_EQ(Display.ExpCount, "0 of 0");
  EXPECT_TRUE(Display.Done);

  // A cancelled login dialog ends the run quietly.
  Database.OnLogin = [&](TDatabaseLite *, bool ABefore) {
    if (ABefore)
      Abort();
  };
  Messages.clear();
  Status.clear();
  Compile(Lines({"SELECT * FROM dual;"}));
  EXPECT_TRUE(Messages.empty());
  EXPECT_TRUE(Status.empty());
  EXPECT_TRUE(Form->Errors.empty());
  EXPECT_TRUE(Display.Done);
}

TEST_F(CompileRunTest, CaretPositionCompilesOnlyItsExpression) {
  const std::string Text = Lines({"CREATE TABLE one (a NUMBER);", "CREATE TABLE two (a NUMBER);",
                                  "", "CREATE TABLE three (a NUMBER);"});
  const auto Tables = [this] {
    return One("SELECT COUNT(*) FROM user_tables WHERE table_name IN ('ONE','TWO','THREE')");
  };
  // The caret (a 0-based offset) inside the second statement.
  Compile(Text, PositionOf(Text, "two"));
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'TWO'"), "1");
  EXPECT_EQ(Tables(), "1");
  EXPECT_EQ(Display.ExpCount.substr(0, 5), "1 of ");

  // Just before the first character of the third statement.
  Compile(Text, PositionOf(Text, "CREATE TABLE three") - 1);
  EXPECT_EQ(Tables(), "2");
  // Just after its terminator.
  Compile(Lines({"DROP TABLE three;"}));
  Compile(Text, PositionOf(Text, ";", "three"));
  EXPECT_EQ(Tables(), "2");
  EXPECT_TRUE(Form->Errors.empty()) << ::testing::PrintToString(Errors());

  // In the blank line between two statements: nothing is sent.
  Display = TFakeDisplay();
  Compile("DROP TABLE two;\r\n\r\n\r\nDROP TABLE one;\r\n", 19);
  EXPECT_EQ(Tables(), "2");
  EXPECT_EQ(Display.ExpCount, "0 of 0");
  EXPECT_TRUE(Display.Done);

  // Offset 0 compiles the whole script.
  Compile(Lines({"DROP TABLE two;", "DROP TABLE three;"}), 0);
  EXPECT_EQ(Tables(), "0");
  EXPECT_TRUE(Form->Errors.empty()) << ::testing::PrintToString(Errors());
}

TEST_F(CompileRunTest, CaretModeStillRunsConnectLinesBeforeIt) {
  const std::string Text = Lines({"CONNECT system/manager", "CREATE TABLE here (a NUMBER);",
                                  "CREATE TABLE not_here (a NUMBER);"});
  Compile(Text, PositionOf(Text, "here"));
  EXPECT_EQ(Database.User(), "system");
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name LIKE '%HERE'"), "1");
}

TEST_F(CompileRunTest, CancelBreaksTheRunningStatementAndSendsNothingAfter) {
  // A cartesian product of the 14 employees, seven times over: far longer than the test waits.
  const std::string Text =
      Lines({"CREATE TABLE big (a NUMBER);",
             "INSERT INTO big SELECT 1 FROM emp a, emp b, emp c, emp d, emp e, emp f, emp g;",
             "CREATE TABLE after_cancel (a NUMBER);"});
  const auto Start = std::chrono::steady_clock::now();
  Compile(Text, 0, 500);
  const auto Took = std::chrono::steady_clock::now() - Start;
  EXPECT_TRUE(Cancelled);
  EXPECT_LT(Took, std::chrono::seconds(20)) << "the break did not stop the statement";
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0], "ORA-01013: user requested cancel of current operation");
  EXPECT_EQ(ErrorPositions()[0], PositionOf(Text, "INSERT"));
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'AFTER_CANCEL'"), "0");
  EXPECT_EQ(One("SELECT COUNT(*) FROM big"), "0");
  EXPECT_TRUE(Display.Done);
  // The connection is usable again after the break.
  EXPECT_EQ(One("SELECT COUNT(*) FROM dept"), "4");
}

TEST_F(CompileRunTest, LongScriptPassesThroughThePackedList) {
  std::string Text = "CREATE TABLE many (a NUMBER);\r\n";
  for (int I = 0; I < 350; ++I)
    Text += "INSERT INTO many VALUES (" + std::to_string(I) + ");\r\n";
  Text += "INSERT INTO many VALUES ('x');\r\n";
  Compile(Text);
  EXPECT_EQ(One("SELECT COUNT(*) FROM many"), "350");
  EXPECT_EQ(Display.ExpCount, "352 of 352");
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(ErrorPositions()[0], PositionOf(Text, "INSERT INTO many VALUES ('x')")) << Errors()[0];
}

TEST_F(CompileRunTest, ErrorsInAnIncludedScriptOpenItsWindow) {
  std::ofstream(Folder + "inc.sql", std::ios::binary)
      << "SELECT * FROM dual;\nSELECT * FROM nosuch;\n";
  const std::string Text = Lines({"SELECT * FROM dept;", "@inc", "SELECT * FROM emp;"});
  Compile(Text);
  EXPECT_TRUE(Form->Errors.empty());
  ASSERT_EQ(Windows.Created, Strings{Folder + "inc.sql"});
  TEditForm *Included = Windows.Forms.back().get();
  ASSERT_EQ(Included->Errors.size(), 1u);
  // The position counts the editor's CR LF line breaks, as the new window shows the file.
  EXPECT_EQ(Included->Errors[0].second, 21 + 1 + 14);
  EXPECT_GE(Display.FileNameChanges, 1); // throttled: the dialog may skip the include's name
  EXPECT_EQ(Display.FileName, Folder + "main.sql");
}

TEST_F(CompileRunTest, AnErrorWithNowhereToGoEndsTheRunWithAMessage) {
  // The window for an included script cannot be opened.
  struct TRefusingWindows : TFakeScriptWindows {
    TEditForm *CreateEditForm(const std::string &AFileName) override {
      throw Exception("Cannot open file " + AFileName + ".");
    }
  } Refusing;
  std::ofstream(Folder + "inc.sql", std::ios::binary) << "SELECT * FROM nosuch;\n";
  Form = Refusing.Open(Folder + "main.sql", "");
  Compile(Lines({"@inc", "CREATE TABLE never (a NUMBER);"}));
  EXPECT_EQ(Messages, Strings{"Cannot open file " + Folder + "inc.sql."});
  EXPECT_TRUE(Display.Done);
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'NEVER'"), "0");
}

// ---- PL/SQL ----------------------------------------------------------------------------------

TEST_F(CompileRunTest, StoredUnitErrorsComeFromTheErrorView) {
  const std::string Text =
      Lines({"CREATE OR REPLACE PROCEDURE good IS", "BEGIN", "  NULL;", "END;", "/",
             "CREATE OR REPLACE PROCEDURE bad IS", "BEGIN", "  x := 1;", "END;", "/",
             "SELECT status FROM user_objects WHERE object_name = 'BAD';"});
  Compile(Text);
  ASSERT_FALSE(Errors().empty());
  // Line 3, column 3 of the second unit: "x" in the script.
  EXPECT_EQ(ErrorPositions()[0], PositionOf(Text, "x :="));
  EXPECT_NE(Errors()[0].find("PLS-00201"), std::string::npos) << Errors()[0];
  EXPECT_EQ(Display.ExpCount, "3 of 3");
  EXPECT_EQ(One("SELECT status FROM user_objects WHERE object_name = 'BAD'"), "INVALID");
  EXPECT_EQ(One("SELECT status FROM user_objects WHERE object_name = 'GOOD'"), "VALID");
}

TEST_F(CompileRunTest, AnonymousBlocksDrainOutputAndPlaceTheirErrors) {
  const std::string Text = Lines(
      {"BEGIN", "  NULL;", "END;", "DECLARE", "  n NUMBER;", "BEGIN", "  n := nosuch;", "END;"});
  Compile(Text);
  EXPECT_EQ(Drains, 2); // also after the failed block
  ASSERT_FALSE(Errors().empty());
  EXPECT_EQ(Errors()[0].substr(0, 10), "ORA-06550:");
  // "ORA-06550: line 4, column 8:" counted from the block's first line.
  EXPECT_EQ(ErrorPositions()[0], PositionOf(Text, "nosuch"));
  // Its two lines arrive as one list line, the line feed as character 160.
  EXPECT_NE(Errors()[0].find('\xa0'), std::string::npos) << Errors()[0];
}

TEST_F(CompileRunTest, CancelBreaksAnEndlessBlock) {
  const std::string Text = Lines({"BEGIN", "  LOOP", "    NULL;", "  END LOOP;", "END;",
                                  "CREATE TABLE after_loop (a NUMBER);"});
  Compile(Text, 0, 300);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].substr(0, 10), "ORA-01013:");
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'AFTER_LOOP'"), "0");
  EXPECT_EQ(Drains, 1); // the broken block is still an anonymous block
}

TEST_F(CompileRunTest, DropProcedureIsIgnorableAndDropFunctionIsNot) {
  IgnoreDrops = true;
  Compile(Lines({"DROP PROCEDURE nosuch_p;", "DROP PACKAGE nosuch_k;", "DROP FUNCTION nosuch_f;"}));
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0].substr(0, 10), "ORA-04043:");
}

// Scripts written for Oracle's command-line tool: its lines never reach the server or join a
// statement, so a procedure after SHOW ERRORS is stored, not run statement by statement.
TEST_F(CompileRunTest, ToolCommandsSteerTheRunAndNeverRunABodysStatements) {
  const std::string Text = Lines(
      {"PROMPT Creating the history table ...", "CREATE TABLE h AS SELECT * FROM emp WHERE 1=0;",
       "SHOW ERRORS", "CREATE OR REPLACE PROCEDURE purge IS", "BEGIN",
       "  DELETE FROM emp WHERE deptno = 30;", "  COMMIT;", "END;", "/", "SHOW ERRORS",
       "EXEC nosuch(1, -", "  2)", "EXECUTE purge", "WHENEVER SQLERROR EXIT FAILURE",
       "SELECT * FROM nosuch2;", "CREATE TABLE never (a NUMBER);"});
  Compile(Text);
  EXPECT_EQ(One("SELECT status FROM user_objects WHERE object_name = 'PURGE'"), "VALID");
  EXPECT_EQ(One("SELECT COUNT(*) FROM emp"), "8"); // EXECUTE purge ran it once
  ASSERT_EQ(Errors().size(), 2u) << ::testing::PrintToString(Errors());
  EXPECT_EQ(Errors()[0].substr(0, 10), "ORA-06550:");
  EXPECT_EQ(ErrorPositions()[0], PositionOf(Text, "nosuch("));
  EXPECT_EQ(ErrorPositions()[1], PositionOf(Text, "nosuch2"));
  // WHENEVER SQLERROR EXIT ended the run at the failed query.
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'NEVER'"), "0");

  Compile(Lines({"QUIT", "CREATE TABLE never (a NUMBER);"}));
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'NEVER'"), "0");
  std::ofstream(Folder + "started.sql", std::ios::binary) << "CREATE TABLE started (a NUMBER);\n";
  Compile(Lines({"START started", "WHENEVER SQLERROR CONTINUE", "EXIT"}));
  EXPECT_EQ(One("SELECT COUNT(*) FROM user_tables WHERE table_name = 'STARTED'"), "1");
}

// The server counts a unit's lines from its keyword (a trigger's from its block), wherever
// CREATE stands; errors without a line have no place in the text.
TEST_F(CompileRunTest, UnitErrorsLandOnTheirWordWhereverTheUnitBegins) {
  const std::string Text =
      Lines({"CREATE OR REPLACE", "PROCEDURE p1 IS", "BEGIN", "  x1 := 1;", "END;", "/",
             "create or replace procedure p2 is begin y2 := 1; end;", "/",
             "CREATE OR REPLACE TRIGGER t1", "BEFORE INSERT ON dept FOR EACH ROW", "DECLARE",
             "  n NUMBER;", "BEGIN", "  n := z3;", "END;", "/"});
  Compile(Text);
  ASSERT_GE(Errors().size(), 3u) << ::testing::PrintToString(Errors());
  const std::vector<int> Positions = ErrorPositions();
  for (const char *Word : {"x1 :=", "y2 :=", "z3;"})
    EXPECT_NE(std::find(Positions.begin(), Positions.end(), PositionOf(Text, Word)),
              Positions.end())
        << Word << " " << ::testing::PrintToString(Errors());
  EXPECT_EQ(Display.ErrorCount, std::to_string(Errors().size()));
}

// ---- The pieces ------------------------------------------------------------------------------

TEST(CompilePieces, ConnectLinesSplitIntoUserPasswordServer) {
  const auto Split = [](const char *ALine) {
    const TConnectParts P = SplitConnectLine(ALine);
    return Strings{P.User, P.Password, P.Server};
  };
  EXPECT_EQ(Split("scott/tiger@prod"), (Strings{"scott", "tiger", "prod"}));
  EXPECT_EQ(Split("scott/tiger"), (Strings{"scott", "tiger", ""}));
  EXPECT_EQ(Split("scott@prod"), (Strings{"scott", "", "prod"}));
  EXPECT_EQ(Split("scott"), (Strings{"scott", "", ""}));
  EXPECT_EQ(Split("a@b/c@d"), (Strings{"a@b", "c", "d"}));
  EXPECT_EQ(Split("u/p@w@x"), (Strings{"u", "p", "w@x"}));
  EXPECT_EQ(Split(""), (Strings{"", "", ""}));
}

TEST(CompilePieces, MessagePositionsAndOffsetsStayInsideTheText) {
  const std::string Text = "xx\r\nBEGIN\r\n  a;\r\n  bb := 1;\r\nEND;\r\n";
  const int Start = 5; // "BEGIN"
  // Line 1 starts at the expression's first character; later lines after each LF.
  EXPECT_EQ(TextPosition(Text, Start, 1, 1), 5);
  EXPECT_EQ(TextPosition(Text, Start, 3, 3), PositionOf(Text, "bb"));
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-06550: line 3, column 3:\nPLS-00201: ...", 0),
            PositionOf(Text, "bb"));
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-00600: internal error code, arguments: [2] [3]", 0),
            PositionOf(Text, "a;"));
  // Unreadable numbers leave the expression's start.
  EXPECT_EQ(ErrorPosition(Text, Start, "x: line two, column 3:", 0), Start);
  EXPECT_EQ(ErrorPosition(Text, Start, "arguments: [x] [3]", 0), Start);
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-00942: table or view does not exist", 0), Start);
  // A parse error offset wins over the message and counts characters from the start.
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-06550: line 3, column 3:", 9), PositionOf(Text, "a;"));
  EXPECT_EQ(ErrorPosition(Text, Start, "", 15), PositionOf(Text, "bb"));
  // Past the text, the position is clamped into it, never beyond.
  const int Last = static_cast<int>(Text.size());
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-06550: line 99, column 1:", 0), Last);
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-06550: line 2, column 9999:", 0), Last);
  EXPECT_EQ(ErrorPosition(Text, Start, "", 65535), Last);
  EXPECT_EQ(ErrorPosition(Text, Start, "ORA-06550: line -5, column -7:", 0), 1);
  EXPECT_EQ(ErrorPosition("", 1, "ORA-06550: line 1, column 1:", 3), 0);

  // "EXEC p(x)" ran as "BEGIN p(x); END;": six characters of wrapper for five of command.
  std::int32_t Shift = 0;
  EXPECT_EQ(ExecuteBlock("EXEC p(x)", Shift), "BEGIN p(x); END;");
  EXPECT_EQ(Shift, 1);
  EXPECT_EQ(ExecuteBlock("execute  p(1, -\r\n 2);", Shift), "BEGIN p(1,  \r\n 2); END;");
  EXPECT_EQ(Shift, -3);
  const std::string Exec = "xx\r\nEXEC p(x)\r\n";
  EXPECT_EQ(ErrorPosition(Exec, 5, "ORA-06550: line 1, column 9:", 0, 1), PositionOf(Exec, "x)"));
  EXPECT_EQ(ErrorPosition(Exec, 5, "", 8, 1), PositionOf(Exec, "x)"));
  EXPECT_EQ(ErrorPosition(Exec, 5, "ORA-06550: line 1, column 1:", 0, 1), 5);
}

TEST(CompilePieces, DropCodesAndElapsedTime) {
  for (int Code : {6, 7, 8, 11, 16, 21, 22, 31, 43, 48, 51, 61, 66, 68, 73, 76, 96, 99})
    EXPECT_TRUE(IsIgnorableDropCode(Code)) << Code;
  for (int Code : {0, 1, 3, 4, 9, 93, 100, 103})
    EXPECT_FALSE(IsIgnorableDropCode(Code)) << Code;
  using namespace std::chrono;
  EXPECT_EQ(FormatElapsedTime(seconds(0)), "00:00:00");
  EXPECT_EQ(FormatElapsedTime(milliseconds(61999)), "00:01:01");
  EXPECT_EQ(FormatElapsedTime(hours(26) + minutes(3) + seconds(4)), "26:03:04");
  EXPECT_EQ(FormatElapsedTime(seconds(-5)), "00:00:00");
}

} // namespace
