// Sessions and database connection over the fake client library: registry, names, parameters,
// the logon and logoff events and their order, and data sets closed by a logoff.
#include "FakeOciClient.h"

#include <gtest/gtest.h>

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

} // namespace
