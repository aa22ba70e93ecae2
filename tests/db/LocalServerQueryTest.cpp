// Queries through TOracleQuery against the local server in SCOTT's schema of a fresh server:
// tables created, filled and read with Oracle syntax, answers as Oracle prints them, mistakes
// as EDatabaseError with ORA texts and parse error offsets.
#include "db/OciApi.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

namespace {

using TRows = std::vector<std::vector<std::string>>;

struct TLocalQueryTest : ::testing::Test {
  QTemporaryDir Data;
  TOracleDatabase Database;
  TOracleQuery Query;

  void SetUp() override {
    ASSERT_TRUE(Data.isValid());
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    Database.SetDatabaseName("Database");
    Database.SetUser("SCOTT");
    Database.SetPassword("TIGER");
    Database.SetConnected(true);
    Query.SetDatabaseName("Database");
  }
  void TearDown() override { Query.Close(); }

  void Run(const std::string &AText) {
    Query.SetSQL(AText);
    Query.Execute();
  }
  // All rows of a SELECT, read in batches of ABatch; NULL reads as "<null>".
  TRows Rows(const std::string &AText, int ABatch = 10) {
    Query.SetSQL(AText);
    Query.Fields().SetDimension(ABatch);
    TRows Result;
    Query.Open();
    while (true) {
      for (int Row = 0; Row < Query.RowsProcessed(); ++Row) {
        Result.emplace_back();
        for (int f = 0; f < Query.Fields().Count(); ++f) {
          TParam *Field = Query.Fields().Items(f);
          Result.back().push_back(Field->RowIsNull(Row) ? "<null>" : Field->RowAsString(Row));
        }
      }
      if (Query.State() != TDataSetState::Fetching)
        break;
      Query.FetchNext(ABatch);
    }
    return Result;
  }
  // The server error a statement raises (executed, or opened when it is a SELECT).
  std::optional<EDatabaseError> ErrorOf(const std::string &AText) {
    try {
      Query.SetSQL(AText);
      Query.SetPrepared(true);
      if (Query.FunctionCode() == 4)
        Query.Open();
      else
        Query.Execute();
    } catch (const EDatabaseError &E) {
      return E;
    }
    return std::nullopt;
  }
};

// Oracle describes string literals and CHAR columns as CHAR (96): they read as text, with the
// blanks the server pads them with.
TEST_F(TLocalQueryTest, CharColumnsAndLiteralsReadAsText) {
  Run("CREATE TABLE codes (c CHAR(3), v VARCHAR2(3))");
  Run("INSERT INTO codes VALUES ('a', 'b')");
  EXPECT_EQ(Rows("SELECT c, v, 'x' lit FROM codes"), (TRows{{"a  ", "b", "x"}}));
  EXPECT_EQ(Rows("SELECT ename, 'x' lit FROM emp WHERE empno = 7839"), (TRows{{"KING", "x"}}));
}

// Timestamps and intervals are shown as the server writes them, not refused as unknown types.
TEST_F(TLocalQueryTest, TimestampAndIntervalColumnsReadAsText) {
  Run("CREATE TABLE stamps (ts TIMESTAMP(3), tz TIMESTAMP WITH TIME ZONE, ds INTERVAL DAY TO "
      "SECOND)");
  Run("INSERT INTO stamps VALUES (TIMESTAMP '2020-01-02 13:04:05.5', TIMESTAMP '2020-01-02 "
      "03:04:05 +02:00', INTERVAL '1 02:03:04' DAY TO SECOND)");
  EXPECT_EQ(Rows("SELECT ts, tz, ds FROM stamps"),
            (TRows{{"02-JAN-20 01.04.05.500 PM", "02-JAN-20 03.04.05.000000 AM +02:00",
                    "+01 02:03:04.000000"}}));
  for (int f = 0; f < 3; ++f)
    EXPECT_EQ(Query.Fields().Items(f)->DataType(), oVarchar2);
}

TEST_F(TLocalQueryTest, TablesAreCreatedFilledAndReadAsOraclePrintsThem) {
  Run("CREATE TABLE pets (id NUMBER(4) PRIMARY KEY, name VARCHAR2(20) NOT NULL, born DATE, "
      "weight NUMBER(6,2))");
  EXPECT_EQ(Query.FunctionCode(), 1);

  // One row at a time with bound values, then three rows in one array execute.
  Query.SetSQL("INSERT INTO pets VALUES (:id, :name, TO_DATE(:born, 'YYYY-MM-DD'), :weight)");
  Query.SetPrepared(true);
  EXPECT_EQ(Query.FunctionCode(), 3);
  Query.ParamByName("id")->SetAsInteger(1);
  Query.ParamByName("name")->SetAsString("Rex");
  Query.ParamByName("born")->SetAsString("1999-01-15");
  Query.ParamByName("weight")->SetAsString("3.5");
  Query.Execute();
  EXPECT_EQ(Query.RowsProcessed(), 1);
  Query.Params().SetDimension(3);
  const char *Values[3][4] = {
      {"2", "Tom", "2001-12-31", ".5"}, {"3", "Ann", "", "-0.25"}, {"4", "Bo", "1987-07-04", ""}};
  for (int Row = 0; Row < 3; ++Row)
    for (int Column = 0; Column < 4; ++Column)
      Query.Params().Items(Column)->SetRowAsString(Row, Values[Row][Column]);
  Query.ExecuteArray(3, 0);
  EXPECT_EQ(Query.RowsProcessed(), 3);
  Database.Commit();

  const TRows Expected = {{"1", "Rex", "15-JAN-99", "3.5"},
                          {"2", "Tom", "31-DEC-01", ".5"},
                          {"3", "Ann", "<null>", "-.25"},
                          {"4", "Bo", "04-JUL-87", "<null>"}};
  EXPECT_EQ(Rows("SELECT id, name, born, weight FROM pets ORDER BY id", 3), Expected);
  EXPECT_EQ(Query.FunctionCode(), 4);
  ASSERT_EQ(Query.Fields().Count(), 4);
  const char *Names[] = {"ID", "NAME", "BORN", "WEIGHT"};
  const TParamType Types[] = {oNumber, oVarchar2, oDate, oNumber};
  for (int f = 0; f < 4; ++f) {
    EXPECT_EQ(Query.Fields().Items(f)->ParamName(), Names[f]);
    EXPECT_EQ(Query.Fields().Items(f)->DataType(), Types[f]) << Names[f];
    EXPECT_EQ(Query.Fields().Items(f)->Pos(), f + 1);
  }
  EXPECT_FALSE(Query.FieldByName("NAME")->NullOk());
  EXPECT_TRUE(Query.FieldByName("BORN")->NullOk());
  EXPECT_EQ(Query.FieldByName("NAME")->ItemSize(), 20);

  Run("UPDATE pets SET weight = weight * 2 WHERE weight IS NOT NULL");
  EXPECT_EQ(Query.RowsProcessed(), 3);
  EXPECT_EQ(Rows("SELECT SUM(weight), COUNT(*), 7/2, MAX(name) FROM pets"),
            (TRows{{"7.5", "4", "3.5", "Tom"}}));
  Database.Rollback();
  EXPECT_EQ(Rows("SELECT SUM(weight) FROM pets"), (TRows{{"3.75"}}));
}

TEST_F(TLocalQueryTest, DemonstrationTablesWithBindsAndBatches) {
  Query.SetSQL("SELECT ename FROM emp WHERE deptno = :d ORDER BY ename");
  Query.SetPrepared(true);
  Query.ParamByName("D")->SetAsInteger(10);
  Query.Open();
  ASSERT_EQ(Query.RowsProcessed(), 3);
  EXPECT_EQ(Query.Fields().Items(0)->RowAsString(0), "CLARK");
  EXPECT_EQ(Query.Fields().Items(0)->RowAsString(2), "MILLER");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);

  // Fourteen employees in batches of five: 5, 5, 4.
  Query.SetSQL("SELECT empno, ename, sal FROM emp ORDER BY empno");
  Query.Fields().SetDimension(5);
  Query.Open();
  std::vector<int> Batches = {Query.RowsProcessed()};
  while (Query.State() == TDataSetState::Fetching) {
    Query.FetchNext(5);
    Batches.push_back(Query.RowsProcessed());
  }
  EXPECT_EQ(Batches, (std::vector<int>{5, 5, 4}));
  EXPECT_EQ(Query.FieldByName("ENAME")->RowAsString(3), "MILLER");

  TStringList Names;
  Query.SetSQL("SELECT dname FROM dept ORDER BY deptno");
  Query.FetchFirstColumn(Names);
  EXPECT_EQ(Names.Lines(),
            (std::vector<std::string>{"ACCOUNTING", "RESEARCH", "SALES", "OPERATIONS"}));
}

TEST_F(TLocalQueryTest, MistakesComeBackWithOraTextsAndOffsets) {
  auto Missing = ErrorOf("SELECT * FROM nosuch");
  ASSERT_TRUE(Missing);
  EXPECT_EQ(Missing->Message().substr(0, 10), "ORA-00942:");
  EXPECT_EQ(Missing->ErrorCode(), 942);
  EXPECT_EQ(Missing->DatabaseName(), "Database");
  EXPECT_EQ(Query.ParseErrorOffset(), 14);

  auto NoFrom = ErrorOf("SELECT 1 2 FROM dual");
  ASSERT_TRUE(NoFrom);
  EXPECT_EQ(NoFrom->Message(), "ORA-00923: FROM keyword not found where expected");
  EXPECT_EQ(Query.ParseErrorOffset(), 9);

  // Parsed at once instead of deferred: the prepare itself fails, the cursor is closed again
  // and the offset survives the close.
  Query.SetDeferParse(false);
  Query.SetSQL("SELECT ename FROM emp WHERE");
  try {
    Query.SetPrepared(true);
    ADD_FAILURE() << "an immediate parse let a broken statement through";
  } catch (const EDatabaseError &E) {
    EXPECT_EQ(E.Message(), "ORA-00936: missing expression");
  }
  EXPECT_EQ(Query.ParseErrorOffset(), 27);
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  Query.SetDeferParse(true);

  auto Nonsense = ErrorOf("SELEKT 1 FROM dual");
  ASSERT_TRUE(Nonsense);
  EXPECT_EQ(Nonsense->Message(), "ORA-00900: invalid SQL statement");

  Run("CREATE TABLE keys (k NUMBER PRIMARY KEY, v VARCHAR2(3))");
  Run("INSERT INTO keys VALUES (1, 'a')");
  auto Duplicate = ErrorOf("INSERT INTO keys VALUES (1, 'b')");
  ASSERT_TRUE(Duplicate);
  EXPECT_EQ(Duplicate->Message().substr(0, 10), "ORA-00001:");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared) << "a failed execute keeps the cursor";

  Query.SetSQL("INSERT INTO keys VALUES (2, :v)");
  Query.SetPrepared(true);
  Query.ParamByName("v")->SetAsString("four");
  try {
    Query.Execute();
    ADD_FAILURE() << "a value too large for its column was accepted";
  } catch (const EDatabaseError &E) {
    EXPECT_EQ(E.Message().substr(0, 4), "ORA-");
  }
  EXPECT_EQ(Rows("SELECT COUNT(*) FROM keys"), (TRows{{"1"}}));
}

TEST_F(TLocalQueryTest, BlocksReturnOutputValues) {
  if (IsSkipped())
    return;
  Query.SetSQL("BEGIN :r := :a * 2; :s := 'x' || :a; :n := NULL; END;");
  Query.SetPrepared(true);
  Query.ParamByName("a")->SetAsInteger(21);
  TParam *R = Query.ParamByName("r");
  R->SetKind(oOutput);
  R->SetDataType(oNumber);
  Query.ParamByName("s")->SetKind(oOutput);
  Query.ParamByName("s")->SetDataType(oVarchar2);
  Query.ParamByName("n")->SetKind(oOutput);
  Query.ParamByName("n")->SetDataType(oVarchar2);
  Query.Execute();
  EXPECT_EQ(R->AsString(), "42");
  EXPECT_EQ(R->RowCount(), 1);
  EXPECT_EQ(Query.ParamByName("s")->AsString(), "x21");
  EXPECT_TRUE(Query.ParamByName("n")->RowIsNull(0));
}

// Every bindable type with NULL and with its largest value, stored and read back.
TEST_F(TLocalQueryTest, BindsOfEveryTypeAtTheirLimitsRoundTrip) {
  Run("CREATE TABLE limits (v VARCHAR2(2000), n NUMBER, d DATE, i NUMBER(10), r RAW(255))");
  Query.SetSQL("INSERT INTO limits VALUES (:v, :n, :d, :i, :r)");
  Query.SetPrepared(true);
  Query.Params().SetDimension(2);
  TParam *V = Query.ParamByName("v"), *N = Query.ParamByName("n"), *D = Query.ParamByName("d");
  TParam *I = Query.ParamByName("i"), *R = Query.ParamByName("r");
  N->SetDataType(oNumber);
  D->SetDataType(oDate);
  I->SetDataType(oInteger);
  R->SetDataType(oRaw);
  R->SetItemSize(255);
  V->SetRowAsString(0, std::string(2000, 'v'));
  N->SetRowAsString(0, "-" + std::string(27, '0') + "1234567890.5"); // 40 bytes: the limit
  D->SetRowAsString(0, "31-DEC-99");
  I->SetRowAsString(0, "2147483647");
  R->SetRowAsString(0, std::string(255, '\x7f'));
  for (TParam *P : {V, N, D, R}) {
    P->SetRowAsString(1, "");
    EXPECT_TRUE(P->RowIsNull(1));
  }
  I->SetRowLength(1, 0); // an integer NULL is set by its length
  Query.ExecuteArray(2, 0);
  EXPECT_EQ(Query.RowsProcessed(), 2);
  const TRows Back = Rows("SELECT LENGTH(v), n, d, i, LENGTH(r) FROM limits ORDER BY v", 2);
  ASSERT_EQ(Back.size(), 2u);
  // LENGTH of a RAW counts the characters of its hexadecimal text, as in Oracle.
  EXPECT_EQ(Back[0],
            (std::vector<std::string>{"2000", "-1234567890.5", "31-DEC-99", "2147483647", "510"}));
  EXPECT_EQ(Back[1], (std::vector<std::string>(5, "<null>")));
}

TEST_F(TLocalQueryTest, LongColumnsTakeTheirWholeRows) {
  // One LONG column per table, as Oracle allows.
  Run("CREATE TABLE texts (k NUMBER, l LONG)");
  Run("CREATE TABLE blobs (k NUMBER, b LONG RAW)");
  for (const char *Table : {"texts", "blobs"}) {
    Query.SetSQL(std::string("INSERT INTO ") + Table + " VALUES (:k, :v)");
    Query.SetPrepared(true);
    TParam *V = Query.ParamByName("v");
    V->SetDataType(std::string(Table) == "texts" ? oLong : oLongRaw);
    Query.ParamByName("k")->SetAsInteger(1);
    V->SetAsString(std::string(4096, 'L'));
    EXPECT_THROW(V->SetAsString(std::string(4097, 'L')), EDbInterface);
    Query.Execute();
    Query.ParamByName("k")->SetAsInteger(2);
    V->SetAsString("");
    Query.Execute();
  }
  Query.SetSQL("SELECT k, l FROM texts ORDER BY k");
  Query.Open();
  ASSERT_EQ(Query.RowsProcessed(), 2);
  TParam *L = Query.FieldByName("L");
  EXPECT_EQ(L->DataType(), oLong);
  EXPECT_EQ(L->RowAsString(0), std::string(4096, 'L'));
  EXPECT_TRUE(L->RowIsNull(1));
  Query.SetSQL("SELECT k, b FROM blobs ORDER BY k");
  Query.Open();
  ASSERT_EQ(Query.RowsProcessed(), 2);
  TParam *B = Query.FieldByName("B");
  EXPECT_EQ(B->DataType(), oLongRaw);
  EXPECT_EQ(B->RowAsString(0), std::string(4096, 'L'));
  EXPECT_TRUE(B->RowIsNull(1));
}

TEST_F(TLocalQueryTest, LobColumnsReadAsLongsDo) {
  Run("CREATE TABLE docs (k NUMBER, c CLOB, b BLOB)");
  Run("INSERT INTO docs VALUES (1, RPAD('x', 3000, 'y'), HEXTORAW('414243'))");
  Run("INSERT INTO docs VALUES (2, EMPTY_CLOB(), NULL)");
  Query.SetSQL("SELECT c, b FROM docs ORDER BY k");
  Query.Open();
  ASSERT_EQ(Query.RowsProcessed(), 2);
  TParam *C = Query.FieldByName("C"), *B = Query.FieldByName("B");
  EXPECT_EQ(C->DataType(), oLong);
  EXPECT_EQ(B->DataType(), oLongRaw);
  EXPECT_EQ(C->RowAsString(0), "x" + std::string(2999, 'y'));
  EXPECT_EQ(B->RowAsString(0), "ABC");
  EXPECT_TRUE(B->RowIsNull(1));
}

TEST_F(TLocalQueryTest, LogoffClosesAFetchingQueryAndTheNextUseLogsOnAgain) {
  Query.SetSQL("SELECT ename FROM emp");
  Query.Fields().SetDimension(5);
  Query.Open();
  ASSERT_EQ(Query.State(), TDataSetState::Fetching);
  Database.SetConnected(false);
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
  EXPECT_THROW(Query.FetchNext(5), EDbInterface);
  Query.Open();
  EXPECT_TRUE(Database.Connected());
  EXPECT_EQ(Query.RowsProcessed(), 5);
}

TEST_F(TLocalQueryTest, CursorVariablesAreFetchedThroughTheParameter) {
  if (IsSkipped())
    return;
  Query.SetSQL("BEGIN OPEN :c FOR SELECT ename, sal FROM emp WHERE deptno = 10 ORDER BY ename; "
               "END;");
  Query.SetPrepared(true);
  auto *C = static_cast<TOracleParam *>(Query.ParamByName("c"));
  C->SetDataType(oCursor);
  Query.Execute();
  TOracleQueryLite *Rows = C->CursorQuery();
  ASSERT_NE(Rows, nullptr);
  ASSERT_EQ(Rows->Fields().Count(), 2);
  Rows->FetchNext(100);
  ASSERT_EQ(Rows->RowsProcessed(), 3);
  EXPECT_EQ(Rows->FieldByName("ENAME")->RowAsString(1), "KING");
  EXPECT_EQ(Rows->FieldByName("SAL")->RowAsString(1), "5000");
  EXPECT_EQ(Rows->State(), TDataSetState::Prepared);
}

} // namespace
