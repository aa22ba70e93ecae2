// Logging on to the local server through the database component, in a fresh server folder.
#include "db/OciApi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TLocalServerTest : ::testing::Test {
  QTemporaryDir Data;
  TOracleDatabase Database;
  void SetUp() override {
    ASSERT_TRUE(Data.isValid());
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    Database.SetDatabaseName("Database");
  }
  // The error a logon with these values raises, or none.
  std::optional<EDatabaseError> LogonError(const std::string &AUser, const std::string &APassword,
                                           const std::string &AServer = "") {
    Database.SetUser(AUser);
    Database.SetPassword(APassword);
    Database.SetServer(AServer);
    try {
      Database.SetConnected(true);
    } catch (const EDatabaseError &E) {
      return E;
    }
    return std::nullopt;
  }
};

TEST_F(TLocalServerTest, ScottLogsOnToANewServerAndOff) {
  ASSERT_FALSE(LogonError("SCOTT", "TIGER"));
  EXPECT_TRUE(Database.Connected());
  EXPECT_NE(Session.LibraryPath().find("libora73.so"), std::string::npos);
  Database.Commit();
  Database.Rollback();
  Database.SetConnected(false);
  EXPECT_FALSE(Database.Connected());
  // Names and passwords ignore letter case, as in Oracle 7; LOCAL names the default server.
  ASSERT_FALSE(LogonError("scott", "tiger", "local"));
  Database.Logoff();
  ASSERT_FALSE(LogonError("System", "Manager"));
}

TEST_F(TLocalServerTest, RefusedLogonsCarryTheServerMessages) {
  auto Wrong = LogonError("SCOTT", "LION");
  ASSERT_TRUE(Wrong);
  EXPECT_EQ(Wrong->Message(), "ORA-01017: invalid username/password; logon denied");
  EXPECT_EQ(Wrong->ErrorCode(), 1017);
  EXPECT_EQ(Wrong->DatabaseName(), "Database");
  EXPECT_FALSE(Database.Connected());

  auto Nobody = LogonError("NOBODY", "TIGER");
  ASSERT_TRUE(Nobody);
  EXPECT_EQ(Nobody->ErrorCode(), 1017);

  auto Empty = LogonError("SCOTT", "");
  ASSERT_TRUE(Empty);
  EXPECT_EQ(Empty->Message(), "ORA-01005: null password given; logon denied");
  EXPECT_EQ(Empty->ErrorCode(), 1005);

  auto Unknown = LogonError("SCOTT", "TIGER", "NOSUCHSERVER");
  ASSERT_TRUE(Unknown);
  EXPECT_EQ(Unknown->ErrorCode(), 12154);
}

TEST_F(TLocalServerTest, TwoDatabasesShareOneServer) {
  TOracleDatabase Other;
  Other.SetDatabaseName("Other");
  Other.SetUser("SYSTEM");
  Other.SetPassword("MANAGER");
  ASSERT_FALSE(LogonError("SCOTT", "TIGER"));
  EXPECT_NO_THROW(Other.SetConnected(true));
  EXPECT_TRUE(Database.Connected() && Other.Connected());
}

} // namespace
