// One statement on a worker thread against the local server: a query's first batch and a
// statement's count come back on the GUI thread; Cancel breaks a long statement on the server
// and the logon stays usable. Two threads meet here: part of the ThreadSanitizer run.
#include "db/StatementThread.h"

#include "db/OciApi.h"
#include "db/SqlFunctionCodes.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(StatementThread, RunsOffTheGuiThreadAndCancels) {
  static int Argc = 1;
  static char Name[] = "StatementThreadTest";
  static char *Argv[] = {Name, nullptr};
  QCoreApplication App(Argc, Argv);
  QTemporaryDir Data;
  setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
  setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
  TOracleDatabase Database;
  Database.SetDatabaseName("Database");
  Database.SetUser("SCOTT");
  Database.SetPassword("TIGER");
  Database.SetConnected(true);
  TOracleQuery Query;
  Query.SetDatabaseName("Database");
  Query.SetParseForParams(false);

  TThreadRef Ref{nullptr};
  TStatementOutcome Outcome;
  bool OnGuiThread = false;
  const auto Run = [&](const std::string &AText, bool ACancel = false) {
    Query.SetSQL(AText);
    TResultFetch Fetch;
    Fetch.Limit = 5;
    new TThreadStatement(Query, &Database, Fetch, &Ref, [&](TStatementOutcome &AOutcome) {
      OnGuiThread = InGuiThread();
      Outcome = std::move(AOutcome);
    });
    if (ACancel) {
      SleepMs(200);
      while (Ref.load()) { // repeated, as the window does, until the break has met the call
        TThreadStatement::CancelThread(Ref);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        SleepMs(20);
      }
    }
    TThread::WaitForRef(Ref);
  };

  Run("SELECT empno, ename FROM emp ORDER BY empno");
  EXPECT_TRUE(OnGuiThread);
  ASSERT_FALSE(Outcome.Failed) << Outcome.Error;
  EXPECT_TRUE(Outcome.IsQuery);
  EXPECT_EQ(Outcome.Rows.RowCount(), 5);
  EXPECT_EQ(Outcome.Rows.Cell(1, 4), "MARTIN");
  EXPECT_TRUE(Outcome.MoreRows);
  EXPECT_EQ(Query.State(), TDataSetState::Fetching); // the rest waits in the cursor

  Run("CREATE TABLE big (a NUMBER)");
  EXPECT_FALSE(Outcome.Failed) << Outcome.Error;
  Run("INSERT INTO big SELECT 1 FROM emp a, emp b, emp c, emp d, emp e, emp f, emp g", true);
  EXPECT_TRUE(Outcome.Failed);
  EXPECT_EQ(Outcome.Error, "ORA-01013: user requested cancel of current operation");

  Run("UPDATE emp SET sal = sal WHERE deptno = 10");
  ASSERT_FALSE(Outcome.Failed) << Outcome.Error;
  EXPECT_EQ(Outcome.FunctionCode, fcUpdate);
  EXPECT_EQ(Outcome.RowsProcessed, 3);
  Run("SELECT nosuch FROM emp");
  EXPECT_TRUE(Outcome.Failed);
  EXPECT_EQ(Outcome.Error.substr(0, 10), "ORA-00904:");
  Query.Close();
}

} // namespace
