// "tessaly --compile": the real program run as a build script runs it, with no display at all.
#include "script/CompileCommand.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

struct TResult {
  int Status;
  std::string Out, Err;
};

class CompileCommandTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Data.isValid());
    Folder = Data.path().toStdString() + "/Prüfung/";
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Folder)));
  }
  void Write(const std::string &AName, const std::string &AText) {
    std::ofstream(Folder + AName, std::ios::binary) << AText;
  }
  TResult Run(const QStringList &AArguments, const QString &AConnectVariable = {}) {
    QProcess Process;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    // No display of any kind: the command must not need one.
    Environment.remove("DISPLAY");
    Environment.remove("WAYLAND_DISPLAY");
    Environment.remove("QT_QPA_PLATFORM");
    Environment.remove("TESSALY_CONNECT");
    if (!AConnectVariable.isEmpty())
      Environment.insert("TESSALY_CONNECT", AConnectVariable);
    Environment.insert("TESSALY_DATA", Data.path());
    Process.setProcessEnvironment(Environment);
    Process.start(TESSALY_PROGRAM, AArguments);
    EXPECT_TRUE(Process.waitForFinished(60000));
    return {Process.exitCode(), Process.readAllStandardOutput().toStdString(),
            Process.readAllStandardError().toStdString()};
  }
  QString File(const std::string &AName) { return QString::fromStdString(Folder + AName); }

  QTemporaryDir Data;
  std::string Folder;
};

TEST_F(CompileCommandTest, ErrorsOutputAndCountsAsBuildToolsReadThem) {
  Write("inc.sql", "SELECT * FROM nosuch;\n");
  Write("main.sql", "CREATE TABLE t (a NUMBER);\n"
                    "BEGIN DBMS_OUTPUT.PUT_LINE('hello'); END;\n/\n"
                    "@inc\n"
                    "CREATE OR REPLACE PROCEDURE p IS\nBEGIN\n  x := 1;\nEND;\n/\n");
  const TResult R = Run({"--compile", "--connect", "scott/tiger", File("main.sql")});
  EXPECT_EQ(R.Status, 1) << R.Err;
  EXPECT_EQ(R.Out, "hello\n" + Folder + "inc.sql:1:15: ORA-00942: table or view does not exist\n" +
                       Folder + "main.sql:7:3: PLS-00201: identifier 'X' must be declared\n" +
                       Folder + "main.sql:7:3: PL/SQL: Statement ignored\n" +
                       "4 statements, 3 errors\n");

  // A clean script through the environment's logon: status 0.
  Write("clean.sql", "DROP TABLE t;\nSELECT * FROM dept;\n");
  const TResult Clean = Run({"--compile", File("clean.sql")}, "SCOTT/TIGER@LOCAL");
  EXPECT_EQ(Clean.Status, 0) << Clean.Out << Clean.Err;
  EXPECT_EQ(Clean.Out, "2 statements, 0 errors\n");
}

TEST_F(CompileCommandTest, BadArgumentsAndLogonsExitWithTwo) {
  Write("a.sql", "SELECT 1 FROM dual;\n");
  TResult R = Run({"--compile", File("a.sql")});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("TESSALY_CONNECT"), std::string::npos) << R.Err;
  R = Run({"--compile", "--connect", "scott/wrong", File("a.sql")});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("ORA-01017"), std::string::npos) << R.Err;
  R = Run({"--compile", "--connect", "scott/tiger", File("missing.sql")});
  EXPECT_EQ(R.Status, 2);
  EXPECT_NE(R.Err.find("missing.sql"), std::string::npos) << R.Err;
  R = Run({"--connect", "scott/tiger", File("a.sql")});
  EXPECT_EQ(R.Status, 2);
  EXPECT_TRUE(R.Out.empty());
}

TEST(CompileCommandPieces, ErrorLinesNameLineAndColumn) {
  const std::string Text = "ab\r\ncd\r\nef";
  EXPECT_EQ(CompileErrorLine("f.sql", Text, 1, "X"), "f.sql:1:1: X");
  EXPECT_EQ(CompileErrorLine("f.sql", Text, 6, "Y\n"), "f.sql:2:2: Y");
  EXPECT_EQ(CompileErrorLine("f.sql", Text, 0, "ORA-06550: line 1, column 1:\nPLS-1"),
            "f.sql:0:0: ORA-06550: line 1, column 1: PLS-1");
}

} // namespace
