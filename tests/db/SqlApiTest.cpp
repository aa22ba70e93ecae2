// Sessions and database connection over the fake client library: registry, names, parameters,
// the logon and logoff events and their order, and data sets closed by a logoff.
#include "FakeOciClient.h"
#include "db/SqlFunctionCodes.h"
#include "tests/TestDeadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

struct TConnectionTest : ::testing::Test {
  void SetUp() override {
    unsetenv("TESSALY_OCI_LIBRARY");
    Session.SetLibraryFolder(FakeOciFolder("full"));
    Session.LoadInterface();
    Fake = std::make_unique<TFakeOci>(Session);
    Fake->Clear();
  }
  std::unique_ptr<TFakeOci> Fake;
};

// Records the events a database raises, with the state seen at that moment.
struct TEventLog {
  std::vector<std::string> Lines;
  void Watch(TDatabaseLite &ADatabase) {
    ADatabase.OnLogin = [this](TDatabaseLite *D, bool Before) {
      Lines.push_back(std::string("login ") + (Before ? "before" : "after") +
                      (D->Connected() ? " connected" : " idle"));
    };
    ADatabase.OnLogoff = [this](TDatabaseLite *D, bool Before) {
      Lines.push_back(std::string("logoff ") + (Before ? "before" : "after") + " use " +
                      std::to_string(D->UseCount()));
    };
  }
};

// A data set that detaches the way a query does when it is closed.
struct TFakeDataSet : TDataSetLite {
  int Closes = 0;
  void Attach(const std::string &AName) {
    FDatabase = Session.OpenDatabase(AName);
    FDatabase->AttachDataSet(this);
  }
  void Close() override {
    ++Closes;
    if (!FDatabase)
      return;
    FDatabase->DetachDataSet(this);
    Session.CloseDatabase(FDatabase);
    FDatabase = nullptr;
  }
};

// A data set whose close always fails before it can detach itself.
struct TStubbornDataSet : TFakeDataSet {
  void Close() override {
    ++Closes;
    throw Exception("cursor will not close");
  }
};

TEST_F(TConnectionTest, NamesAreUniqueIgnoringCaseAndFoundIgnoringCase) {
  TOracleDatabase A, B;
  EXPECT_EQ(A.DatabaseName(), "");
  EXPECT_NO_THROW(B.SetDatabaseName("")); // both may stay empty
  A.SetDatabaseName("Database");
  EXPECT_EQ(Session.FindDatabase("database"), &A);
  try {
    B.SetDatabaseName("DATABASE");
    FAIL();
  } catch (const EDbInterface &E) {
    EXPECT_EQ(E.Message(), "Error : 2.1.[DATABASE]");
  }
  EXPECT_THROW(A.SetDatabaseName(""), EDbInterface); // a name cannot go back to empty
  EXPECT_EQ(A.DatabaseName(), "Database");
  try {
    Session.OpenDatabase("Nowhere");
    FAIL();
  } catch (const EDbInterface &E) {
    EXPECT_EQ(E.Message(), "Error : 1.0.[Nowhere]");
  }
}

TEST_F(TConnectionTest, DestroyedDatabaseLeavesTheRegistry) {
  {
    TOracleDatabase A;
    A.SetDatabaseName("Gone");
    A.SetConnected(true);
  }
  EXPECT_EQ(Session.FindDatabase("Gone"), nullptr);
  EXPECT_EQ(Fake->Count("ologof"), 1); // logged off on the way out
}

TEST_F(TConnectionTest, ParamsAreNameValueLines) {
  TOracleDatabase D;
  EXPECT_EQ(D.Params().Lines(), (std::vector<std::string>{"User=", "Password=", "Server="}));
  D.SetUser("SCOTT");
  D.SetPassword("TIGER");
  EXPECT_EQ(D.Params()[0], "User=SCOTT");
  D.SetPassword("");
  EXPECT_EQ(D.Params().IndexOfName("Password"), -1);
  EXPECT_EQ(D.Password(), "");
  D.SetServer("LOCAL");
  EXPECT_EQ(D.Params().Lines(), (std::vector<std::string>{"User=SCOTT", "Server=LOCAL"}));
  EXPECT_EQ(D.Server(), "LOCAL");
  D.SetConnected(true);
  EXPECT_NE(Fake->Log().find("olog SCOTT@LOCAL pswd=(null) conn=(null) mode=0"), std::string::npos);
}

TEST_F(TConnectionTest, LoginRaisesEventsOnceAndPassesTheConnectText) {
  TOracleDatabase D;
  TEventLog Events;
  Events.Watch(D);
  D.SetUser("SCOTT");
  D.SetPassword("TIGER");
  D.SetConnected(true);
  D.SetConnected(true);
  EXPECT_TRUE(D.Connected());
  EXPECT_EQ(Events.Lines, (std::vector<std::string>{"login before idle", "login after connected"}));
  EXPECT_EQ(Fake->Count("olog "), 1);
  EXPECT_NE(Fake->Log().find("olog SCOTT/TIGER@ pswd"), std::string::npos);

  D.Commit();
  D.Rollback();
  EXPECT_EQ(Fake->Count("ocom"), 1);
  EXPECT_EQ(Fake->Count("orol"), 1);
  EXPECT_THROW(D.SetDatabaseName("Other"), EDbInterface); // "Disconnect first"

  Events.Lines.clear();
  D.SetConnected(false);
  D.SetConnected(false);
  EXPECT_EQ(Events.Lines, (std::vector<std::string>{"logoff before use 0", "logoff after use -1"}));
  EXPECT_FALSE(D.Connected());
  EXPECT_EQ(D.UseCount(), 0);
}

TEST_F(TConnectionTest, BeforeHandlerCanRewriteOrAbandonTheLogon) {
  TOracleDatabase D;
  int After = 0;
  D.OnLogin = [&](TDatabaseLite *Db, bool Before) {
    if (!Before) {
      ++After;
      return;
    }
    if (Db->User() == "ABANDON")
      Abort();
    Db->SetUser("ENTERED");
  };
  D.SetUser("ABANDON");
  EXPECT_THROW(D.SetConnected(true), EAbort);
  EXPECT_EQ(After, 0);
  EXPECT_FALSE(D.Connected());
  EXPECT_EQ(Fake->Count("olog"), 0);

  D.SetUser("X");
  D.SetConnected(true);
  EXPECT_NE(Fake->Log().find("olog ENTERED@"), std::string::npos);
  EXPECT_EQ(After, 1);
}

TEST_F(TConnectionTest, FailedLogonTellsTheAfterHandlerAndRaisesTheServerMessage) {
  TOracleDatabase D;
  D.SetDatabaseName("Failing");
  TEventLog Events;
  Events.Watch(D);
  Fake->FailNext("olog", 1017);
  try {
    D.SetConnected(true);
    FAIL();
  } catch (const EDatabaseError &E) {
    EXPECT_EQ(E.Message(), "ORA-01017: fake message 1017");
    EXPECT_EQ(E.ErrorCode(), 1017);
    EXPECT_EQ(E.DatabaseName(), "Failing");
  }
  EXPECT_EQ(Events.Lines, (std::vector<std::string>{"login before idle", "login after idle"}));
  EXPECT_FALSE(D.Connected());
}

TEST_F(TConnectionTest, FailedLogoffStillEndsIdle) {
  TOracleDatabase D;
  D.SetConnected(true);
  Fake->FailNext("ologof", 3113);
  EXPECT_NO_THROW(D.SetConnected(false));
  EXPECT_FALSE(D.Connected());
  EXPECT_EQ(D.UseCount(), 0);
}

TEST_F(TConnectionTest, KeepConnectedDecidesWhetherTheLastDataSetLogsOff) {
  TOracleDatabase D;
  D.SetDatabaseName("Kept");
  TFakeDataSet DataSet;
  DataSet.Attach("kept");
  EXPECT_TRUE(D.Connected());
  EXPECT_EQ(D.UseCount(), 1);
  DataSet.Close();
  EXPECT_TRUE(D.Connected()); // KeepConnected defaults to true
  EXPECT_EQ(D.UseCount(), 0);

  D.SetKeepConnected(false);
  DataSet.Attach("Kept");
  DataSet.Close();
  EXPECT_FALSE(D.Connected());
}

TEST_F(TConnectionTest, LogoffClosesDataSetsLastFirstWithoutANestedLogoff) {
  TOracleDatabase D;
  D.SetDatabaseName("Busy");
  D.SetKeepConnected(false);
  TFakeDataSet First, Second;
  First.Attach("Busy");
  Second.Attach("Busy");
  EXPECT_EQ(D.UseCount(), 2);
  D.Logoff();
  EXPECT_EQ(First.Closes, 1);
  EXPECT_EQ(Second.Closes, 1);
  EXPECT_TRUE(D.DataSets().empty());
  EXPECT_EQ(Fake->Count("ologof"), 1);
  EXPECT_FALSE(D.Connected());
  EXPECT_EQ(D.UseCount(), 0);
}

TEST_F(TConnectionTest, LogoffHandlerExceptionStillEndsIdle) {
  TOracleDatabase D;
  D.SetConnected(true);
  D.OnLogoff = [](TDatabaseLite *, bool Before) {
    if (!Before)
      throw Exception("handler complains");
  };
  EXPECT_THROW(D.Logoff(), Exception);
  EXPECT_FALSE(D.Connected());
  EXPECT_EQ(D.UseCount(), 0);
}

TEST_F(TConnectionTest, FailingBeforeLogoffHandlerStillClosesDataSetsAndLogsOff) {
  TFakeDataSet DataSet;
  TEventLog Events; // outlives the database, whose last logoff it records
  {
    TOracleDatabase D;
    D.SetDatabaseName("Guarded");
    Events.Watch(D);
    DataSet.Attach("Guarded");
    const auto Watching = D.OnLogoff;
    D.OnLogoff = [&](TDatabaseLite *Db, bool Before) {
      Watching(Db, Before);
      if (Before)
        throw Exception("not now");
    };
    Events.Lines.clear();
    Fake->Clear();
    try {
      D.SetConnected(false);
      FAIL() << "the handler's exception was lost";
    } catch (const Exception &E) {
      EXPECT_EQ(E.Message(), "not now");
    }
    // The handler's complaint reaches the caller, but only after the logoff has been done.
    EXPECT_EQ(Events.Lines,
              (std::vector<std::string>{"logoff before use 1", "logoff after use -1"}));
    EXPECT_EQ(DataSet.Closes, 1);
    EXPECT_EQ(DataSet.Database(), nullptr);
    EXPECT_TRUE(D.DataSets().empty());
    EXPECT_EQ(Fake->Count("ologof"), 1) << "the server session was left logged on";
    EXPECT_FALSE(D.Connected());
    EXPECT_EQ(D.UseCount(), 0);

    // Attached again and destroyed with the handler still complaining.
    DataSet.Attach("Guarded");
    Fake->Clear();
  }
  EXPECT_EQ(DataSet.Database(), nullptr) << "a data set kept a reference to a dead database";
  EXPECT_EQ(DataSet.Closes, 2);
  EXPECT_EQ(Fake->Count("ologof"), 1);
}

TEST_F(TConnectionTest, DatabaseGoingAwayForgetsDataSetsThatCannotClose) {
  TStubbornDataSet DataSet;
  {
    TOracleDatabase D;
    D.SetDatabaseName("Stuck");
    DataSet.Attach("Stuck");
    ASSERT_EQ(DataSet.Database(), &D);
  }
  EXPECT_EQ(DataSet.Closes, 1);
  EXPECT_EQ(DataSet.Database(), nullptr);
  EXPECT_EQ(DataSet.State(), TDataSetState::Closed);
}

// One thread switches the connection on and off while another opens and closes the database
// the way a preparing and unpreparing query does. Before the session and database locks were
// taken in one order, this deadlocked within a few hundred rounds.
TEST_F(TConnectionTest, ConnectingAndOpeningFromTwoThreadsDoesNotDeadlock) {
  TOracleDatabase D;
  D.SetDatabaseName("Shared");
  D.SetKeepConnected(false);
  // The handlers run inside the database's lock, before the library's use count is taken or
  // given back under the session's lock; a short pause there widens the window a real login
  // dialog or a slow network opens.
  const auto Pause = [](TDatabaseLite *, bool Before) {
    if (Before)
      std::this_thread::sleep_for(std::chrono::microseconds(50));
  };
  D.OnLogin = Pause;
  D.OnLogoff = Pause;
  constexpr int Rounds = 2000;
  std::atomic<int> Finished{0};
  std::atomic<int> Failures{0};
  std::thread Toggler([&] {
    for (int i = 0; i < Rounds; ++i) {
      D.SetConnected(true);
      D.SetConnected(false);
    }
    ++Finished;
  });
  std::thread Opener([&] {
    for (int i = 0; i < Rounds; ++i) {
      try {
        TDatabaseLite *Db = Session.OpenDatabase("shared");
        Session.CloseDatabase(Db);
      } catch (...) {
        ++Failures;
      }
    }
    ++Finished;
  });
  // A deadlock cannot be undone: after a generous wait the process ends with a failure.
  if (!testdeadline::WaitUntil([&] { return Finished == 2; },
                               [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); },
                               std::chrono::seconds(60)))
    testdeadline::GiveUp("deadlock: session lock and database lock taken in opposite orders");
  Toggler.join();
  Opener.join();
  EXPECT_EQ(Failures, 0);
  D.SetConnected(false);
  EXPECT_EQ(D.UseCount(), 0);
  EXPECT_EQ(Fake->Count("olog "), Fake->Count("ologof")) << "every logon was logged off";
}

} // namespace

namespace {

TEST(TransactionState, StatementsOpenAndEndIt) {
  EXPECT_FALSE(TransactionOpenAfter(false, fcSelect, 14, "SELECT * FROM emp"));
  EXPECT_TRUE(TransactionOpenAfter(true, fcSelect, 14, "SELECT * FROM emp"));
  EXPECT_FALSE(TransactionOpenAfter(false, fcUpdate, 0, "UPDATE emp SET sal = 1 WHERE 1 = 0"));
  EXPECT_TRUE(TransactionOpenAfter(false, fcInsert, 3, "INSERT INTO t SELECT ..."));
  EXPECT_TRUE(TransactionOpenAfter(true, fcDelete, 0, "DELETE FROM t"));
  EXPECT_TRUE(TransactionOpenAfter(false, fcPlSqlExecute, 1, "BEGIN NULL; END;"));
  EXPECT_TRUE(TransactionOpenAfter(false, fcLockTable, 0, "LOCK TABLE emp IN EXCLUSIVE MODE"));
  EXPECT_TRUE(TransactionOpenAfter(false, 0, 2, "/* x */ merge INTO t USING s ON (1 = 1) ..."));
  EXPECT_FALSE(TransactionOpenAfter(false, 0, 0, "WITH a AS (SELECT 1 FROM dual) SELECT ..."));
  EXPECT_FALSE(TransactionOpenAfter(true, fcCommit, 0, "COMMIT"));
  EXPECT_FALSE(TransactionOpenAfter(true, fcRollback, 0, "ROLLBACK WORK"));
  EXPECT_TRUE(TransactionOpenAfter(true, fcRollback, 0, "rollback -- part\n TO SAVEPOINT a"));
  EXPECT_TRUE(TransactionOpenAfter(true, fcRollback, 0, "ROLLBACK WORK TO a"));
  EXPECT_TRUE(TransactionOpenAfter(true, fcSavepoint, 0, "SAVEPOINT a"));
  EXPECT_FALSE(TransactionOpenAfter(true, fcCreateTable, 0, "CREATE TABLE t (n NUMBER)"));
  EXPECT_FALSE(TransactionOpenAfter(true, fcTruncate, 0, "TRUNCATE TABLE t"));
}

} // namespace
