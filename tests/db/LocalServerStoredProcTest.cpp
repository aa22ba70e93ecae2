// Stored procedures through TOracleStoredProc against the local server in SCOTT's schema:
// describe and call a function, a package member with overloads, DBMS_OUTPUT, a PL/SQL table in
// and out, a REF CURSOR fetched in batches, and the procedure list for a chooser.
#include "db/OciApi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct TLocalStoredProcTest : ::testing::Test {
  QTemporaryDir Data;
  TOracleDatabase Database;
  TOracleQuery Query;
  TOracleStoredProc Proc;

  void SetUp() override {
    ASSERT_TRUE(Data.isValid());
    setenv("TESSALY_DATA", QFile::encodeName(Data.path()).constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    Database.SetDatabaseName("Database");
    Database.SetUser("SCOTT");
    Database.SetPassword("TIGER");
    Database.SetConnected(true);
    Query.SetDatabaseName("Database");
    Proc.SetDatabaseName("Database");
  }
  void TearDown() override {
    Proc.Close();
    Query.Close();
  }

  void Run(const std::string &AText) {
    Query.SetSQL(AText);
    Query.Execute();
    if (Query.WarningFlags() & OCI_WRN_COMPILE)
      ADD_FAILURE() << "compiled with errors: " << AText << "\n" << Errors();
  }
  // The compilation errors the server recorded for SCOTT's units.
  std::string Errors() {
    TOracleQuery Lines;
    Lines.SetDatabaseName("Database");
    Lines.SetSQL("SELECT name, line, position, text FROM user_errors");
    TStringList Texts;
    Lines.Open();
    std::string Result;
    for (int Row = 0; Row < Lines.RowsProcessed(); ++Row) {
      for (int f = 0; f < Lines.Fields().Count(); ++f)
        Result += Lines.Fields().Items(f)->RowAsString(Row) + " ";
      Result += "\n";
    }
    return Result;
  }
  // Describes AName; a server that cannot is a failure of the test.
  void Describe(const std::string &AName) { Proc.SetProcedureName(AName); }
};

TEST_F(TLocalStoredProcTest, FunctionWithInAndOutArguments) {
  Run("CREATE OR REPLACE FUNCTION twice(a IN NUMBER, b OUT VARCHAR2) RETURN NUMBER IS "
      "BEGIN b := 'x' || a; RETURN a * 2; END;");
  ASSERT_NO_THROW(Describe("TWICE"));
  ASSERT_EQ(Proc.Params().Count(), 3);
  EXPECT_EQ(Proc.Params().Items(0)->ParamName(), "RESULT");
  EXPECT_EQ(Proc.ParamByName("A")->Kind(), oInput);
  EXPECT_EQ(Proc.ParamByName("B")->Kind(), oOutput);
  EXPECT_EQ(Proc.SQL(), "BEGIN :RESULT:=TWICE(:A,:B); END;");
  Proc.ParamByName("A")->SetAsString("21");
  Proc.Execute();
  EXPECT_EQ(Proc.ParamByName("RESULT")->AsString(), "42");
  EXPECT_EQ(Proc.ParamByName("B")->AsString(), "x21");
}

TEST_F(TLocalStoredProcTest, PackageMemberWithOverloads) {
  Run("CREATE OR REPLACE PACKAGE pk IS g VARCHAR2(60); "
      "PROCEDURE p(x NUMBER); PROCEDURE p(x VARCHAR2, y VARCHAR2); END;");
  Query.SetSQL("CREATE OR REPLACE PACKAGE BODY pk IS "
               "PROCEDURE p(x NUMBER) IS BEGIN g := 'n' || x; END; "
               "PROCEDURE p(x VARCHAR2, y VARCHAR2) IS BEGIN g := x || y; END; END;");
  Query.Execute();
  ASSERT_FALSE(Query.WarningFlags() & OCI_WRN_COMPILE) << Errors();
  ASSERT_NO_THROW(Describe("PK.P"));
  EXPECT_EQ(Proc.OverloadCount(), 2);
  EXPECT_EQ(Proc.OverloadIndex(), 1);
  ASSERT_EQ(Proc.Params().Count(), 1);
  Proc.SetOverloadIndex(2);
  ASSERT_EQ(Proc.Params().Count(), 2);
  EXPECT_EQ(Proc.SQL(), "BEGIN PK.P(:X,:Y); END;");
  Proc.ParamByName("X")->SetAsString("a");
  Proc.ParamByName("Y")->SetAsString("b");
  Proc.Execute();
  Query.SetSQL("BEGIN :r := pk.g; END;");
  Query.SetPrepared(true);
  Query.ParamByName("r")->SetKind(oOutput);
  Query.ParamByName("r")->SetDataType(oVarchar2);
  Query.Execute();
  EXPECT_EQ(Query.ParamByName("r")->AsString(), "ab");
}

TEST_F(TLocalStoredProcTest, DbmsOutputEnableAndGetLine) {
  ASSERT_NO_THROW(Describe("DBMS_OUTPUT.ENABLE"));
  Proc.Execute(); // the buffer size has its default
  Run("BEGIN DBMS_OUTPUT.PUT_LINE('hello'); END;");
  ASSERT_NO_THROW(Describe("DBMS_OUTPUT.GET_LINE"));
  Proc.Execute();
  EXPECT_EQ(Proc.ParamByName("LINE")->AsString(), "hello");
  EXPECT_EQ(Proc.ParamByName("STATUS")->AsString(), "0");
  Proc.Execute();
  EXPECT_EQ(Proc.ParamByName("STATUS")->AsString(), "1") << "no more lines";
}

TEST_F(TLocalStoredProcTest, PlsqlTableInAndOut) {
  Run("CREATE OR REPLACE PACKAGE tabs IS TYPE t IS TABLE OF VARCHAR2(30) INDEX BY BINARY_INTEGER; "
      "PROCEDURE rev(v IN OUT t, n OUT NUMBER); END;");
  Run("CREATE OR REPLACE PACKAGE BODY tabs IS PROCEDURE rev(v IN OUT t, n OUT NUMBER) IS "
      "w t; BEGIN n := v.COUNT; FOR i IN 1 .. n LOOP w(i) := v(n - i + 1); END LOOP; "
      "w(n + 1) := 'extra'; v := w; END; END;");
  ASSERT_NO_THROW(Describe("TABS.REV"));
  auto *V = static_cast<TOracleParam *>(Proc.ParamByName("V"));
  ASSERT_NE(V, nullptr);
  EXPECT_TRUE(V->DataTable());
  EXPECT_EQ(V->Dimension(), 40);
  for (int i = 0; i < 3; ++i)
    V->SetRowAsString(i, std::string(1, static_cast<char>('a' + i)));
  Proc.Execute();
  EXPECT_EQ(Proc.ParamByName("N")->AsString(), "3");
  ASSERT_EQ(V->RowCount(), 4);
  EXPECT_EQ(V->RowAsString(0), "c");
  EXPECT_EQ(V->RowAsString(2), "a");
  EXPECT_EQ(V->RowAsString(3), "extra");
}

TEST_F(TLocalStoredProcTest, RefCursorFetchedInBatches) {
  Run("CREATE OR REPLACE PACKAGE curs IS TYPE c IS REF CURSOR; "
      "PROCEDURE open_emp(r OUT c); END;");
  Run("CREATE OR REPLACE PACKAGE BODY curs IS PROCEDURE open_emp(r OUT c) IS "
      "BEGIN OPEN r FOR SELECT empno, ename FROM emp ORDER BY empno; END; END;");
  ASSERT_NO_THROW(Describe("CURS.OPEN_EMP"));
  auto *R = static_cast<TOracleParam *>(Proc.ParamByName("R"));
  ASSERT_NE(R, nullptr);
  EXPECT_EQ(R->DataType(), oCursor);
  Proc.Execute();
  TOracleQueryLite *Rows = R->CursorQuery();
  ASSERT_NE(Rows, nullptr);
  int Total = 0;
  while (Rows->State() == TDataSetState::Fetching) {
    Rows->FetchNext(5);
    Total += Rows->RowsProcessed();
  }
  EXPECT_EQ(Total, 14);
}

TEST_F(TLocalStoredProcTest, ProcedureListOfScottsUnits) {
  Run("CREATE OR REPLACE PROCEDURE lone IS BEGIN NULL; END;");
  Run("CREATE OR REPLACE PACKAGE lister IS PROCEDURE\n  first_one; FUNCTION second_one "
      "RETURN NUMBER; END;");
  TStringList List;
  Database.GetProcedureList(List, "", 103);
  const auto Has = [&](const std::string &AName) {
    return std::find(List.Lines().begin(), List.Lines().end(), AName) != List.Lines().end();
  };
  EXPECT_TRUE(Has("LONE"));
  EXPECT_TRUE(Has("LISTER.FIRST_ONE"));
  EXPECT_TRUE(Has("LISTER.SECOND_ONE"));
}

} // namespace
