// Queries over the recording fake client library: the OCI call sequences of execute and fetch,
// states and transitions, parameter scanning, the three bind forms, output values, server
// errors, and a query caught open by its database's logoff.
#include "FakeOciClient.h"
#include "classes/ComponentStream.h"
#include "classes/Streams.h"
#include "tests/TestDeadline.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

namespace {

template <typename F> std::string FaultOf(F AAction) {
  try {
    AAction();
  } catch (const ECodeError &E) {
    return E.Message();
  }
  return "";
}

struct TQueryTest : ::testing::Test {
  std::unique_ptr<TOracleDatabase> Db;
  std::unique_ptr<TFakeOci> Fake;
  TFakeCursors Script{};
  TOracleQuery Query;

  void SetUp() override {
    unsetenv("TESSALY_OCI_LIBRARY");
    Session.SetLibraryFolder(FakeOciFolder("full"));
    Session.LoadInterface();
    Fake = std::make_unique<TFakeOci>(Session);
    Script.Handle = Session.LibraryHandle();
    Db = std::make_unique<TOracleDatabase>();
    Db->SetDatabaseName("Database");
    Db->SetConnected(true);
    Fake->Clear();
    Script.Reset();
    Query.SetDatabaseName("database"); // found ignoring case
  }
  void TearDown() override {
    Query.Close();
    Db.reset();
  }
  // The calls the fake library received since the last look.
  std::string Calls() {
    std::string Log = Fake->Log();
    Fake->Clear();
    return Log;
  }
};

TEST_F(TQueryTest, ExecuteOpensParsesBindsAndExecutesThenOnlyRebinds) {
  Query.SetSQL("INSERT INTO t VALUES (:a, :B)");
  Query.SetPrepared(true);
  ASSERT_EQ(Query.Params().Count(), 2);
  Query.ParamByName("A")->SetAsString("x");
  EXPECT_EQ(Calls(), "oopen\noparse INSERT INTO t VALUES (:a, :B) defer=1 lang=2\n");
  Query.Execute();
  EXPECT_EQ(Calls(), "obndra a size=2000 type=1 max=0\nobndra B size=2000 type=1 max=0\n"
                     "oexn 1 0\n");
  EXPECT_EQ(Script.Bound(), "a[0]=(1)x\nB[0]=NULL\n");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  EXPECT_EQ(Query.RowsProcessed(), 1);
  EXPECT_EQ(Query.FunctionCode(), 3);

  // Straight from Closed: the whole sequence in one call, and the cursor stays parsed.
  Query.Close();
  EXPECT_EQ(Calls(), "oclose\n");
  Query.SetDeferParse(false);
  Query.Execute();
  EXPECT_EQ(Calls(), "oopen\noparse INSERT INTO t VALUES (:a, :B) defer=0 lang=2\n"
                     "obndra a size=2000 type=1 max=0\nobndra B size=2000 type=1 max=0\n"
                     "oexn 1 0\n");
  Query.Execute();
  EXPECT_EQ(Calls(), "obndra a size=2000 type=1 max=0\nobndra B size=2000 type=1 max=0\n"
                     "oexn 1 0\n");
  EXPECT_EQ(Query.Database(), Db.get());
  EXPECT_EQ(Db->UseCount(), 1);
}

TEST_F(TQueryTest, TerminalSelectDescribesDefinesFetchesAndCancels) {
  Script.Select("EMPNO:2:40:0;ENAME:1:10:1;HIREDATE:12:9:1", 3);
  Query.SetSQL("SELECT empno, ename, hiredate FROM emp WHERE deptno = :d");
  Query.SetPrepared(true);
  ASSERT_EQ(Query.Fields().Count(), 3);
  TParam *Ename = Query.FieldByName("ename");
  ASSERT_NE(Ename, nullptr);
  EXPECT_EQ(Ename->Pos(), 2);
  EXPECT_EQ(Ename->DataType(), oVarchar2);
  EXPECT_EQ(Ename->ItemSize(), 10);
  EXPECT_TRUE(Ename->NullOk());
  EXPECT_EQ(Query.FieldByName("HIREDATE")->DataType(), oDate);
  EXPECT_EQ(Query.Fields().Items(0)->Kind(), oField);
  Query.ParamByName("d")->SetAsInteger(10);
  Query.ExecuteFetch(10, true);
  EXPECT_EQ(Calls(), "oopen\n"
                     "oparse SELECT empno, ename, hiredate FROM emp WHERE deptno = :d defer=1 "
                     "lang=2\n"
                     "odescr 1\nodescr 2\nodescr 3\nodescr 4\n"
                     "obndra d size=4 type=3 max=0\n"
                     "odefin 1 size=40 type=1\nodefin 2 size=10 type=1\nodefin 3 size=9 type=1\n"
                     "oexfet 10 cancel=1 exact=0\nocan\n");
  EXPECT_EQ(Script.Bound(), "d[0]=10\n");
  EXPECT_EQ(Query.RowsProcessed(), 3);
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  EXPECT_EQ(Ename->RowCount(), 3);
  EXPECT_EQ(Query.Fields().Items(0)->RowAsString(2), "3");
  EXPECT_EQ(Ename->RowAsString(0), "ENAME1");
  EXPECT_EQ(Query.FieldByName("hiredate")->RowAsString(1), "01-JAN-99");
}

TEST_F(TQueryTest, BatchesUntilTheShortOneThenNoMoreFetch) {
  Script.Select("EMPNO:2:40:0;ENAME:1:10:1", 25);
  Query.SetSQL("SELECT empno, ename FROM emp");
  Query.Open();
  EXPECT_EQ(Query.RowsProcessed(), 10);
  EXPECT_EQ(Query.State(), TDataSetState::Fetching);
  TParam *Ename = Query.FieldByName("ENAME");
  EXPECT_TRUE(Ename->RowIsNull(3)); // row 4 of the script is NULL
  EXPECT_EQ(Ename->RowAsString(3), "");
  Query.FetchNext(10);
  EXPECT_EQ(Query.RowsProcessed(), 10);
  EXPECT_EQ(Query.State(), TDataSetState::Fetching);
  EXPECT_EQ(Query.Fields().Items(0)->RowAsString(0), "11");
  Query.FetchNext(10);
  EXPECT_EQ(Query.RowsProcessed(), 5);
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  EXPECT_EQ(Ename->RowCount(), 5);
  EXPECT_EQ(Ename->RowAsString(4), "ENAME25");
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[]");
  const std::string Log = Calls();
  EXPECT_NE(Log.find("oexfet 10 cancel=0 exact=0\nofen 10\nofen 10\n"), std::string::npos);
  EXPECT_EQ(Fake->Count("ocan"), 0) << "a short FetchNext batch ends without a cancel";
  EXPECT_EQ(Log.find("ocan"), std::string::npos);

  // Again on the prepared query: no open, no parse, no describe; an abandoned fetch cancels.
  Query.Open();
  Query.Close();
  EXPECT_EQ(Calls(), "odefin 1 size=40 type=1\nodefin 2 size=10 type=1\n"
                     "oexfet 10 cancel=0 exact=0\nocan\noclose\n");
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
}

TEST_F(TQueryTest, FetchSizesFollowTheFieldBuffers) {
  Script.Select("N:2:40:0", 1000);
  Query.SetSQL("SELECT n FROM t");
  Query.ExecuteFetch(50, false); // more rows than the fields hold: the buffers grow
  EXPECT_EQ(Query.Fields().Dimension(), 50);
  EXPECT_EQ(Query.RowsProcessed(), 50);
  Query.FetchNext(500); // the library is never asked for more rows than the buffers hold
  Query.FetchNext(0);
  Query.FetchNext(-7);
  const std::string Log = Calls();
  EXPECT_NE(Log.find("oexfet 50 cancel=0"), std::string::npos);
  EXPECT_NE(Log.find("ofen 50\nofen 1\nofen 1\n"), std::string::npos);
  EXPECT_EQ(Query.Fields().Items(0)->RowAsString(0), "102");

  // Fields reshaped in the middle of a fetch: the library must not write into the old buffers.
  Query.Fields().SetDimension(20);
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[Fields changed]");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  Query.Open();
  Query.Fields().Items(0)->ClearValue();
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[Fields changed]");

  TStringList Lines;
  Query.Close();
  Script.Select("NAME:1:30:0;X:2:40:0", 25);
  Query.SetSQL("SELECT name, x FROM t");
  Query.FetchFirstColumn(Lines);
  ASSERT_EQ(Lines.Count(), 25);
  EXPECT_EQ(Lines[0], "NAME1");
  EXPECT_EQ(Lines[24], "NAME25");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
}

TEST_F(TQueryTest, FetchesNeverAskForMoreRowsThanTheSmallestFieldHolds) {
  Script.Select("A:1:5:0;B:2:40:0", 30);
  Query.SetSQL("SELECT a, b FROM t");
  Query.SetPrepared(true);
  ASSERT_EQ(Query.Fields().Dimension(), 10);
  Query.FieldByName("B")->SetDimension(4); // one field holds fewer rows than its list
  Calls();
  Query.Open();
  EXPECT_EQ(Query.RowsProcessed(), 4);
  EXPECT_EQ(Query.State(), TDataSetState::Fetching);
  Query.FetchNext(10);
  EXPECT_EQ(Query.RowsProcessed(), 4);
  EXPECT_EQ(Query.FieldByName("B")->RowAsString(3), "8");
  EXPECT_EQ(Query.FieldByName("A")->RowAsString(3), "A8");
  EXPECT_EQ(Calls(), "odefin 1 size=5 type=1\nodefin 2 size=40 type=1\n"
                     "oexfet 4 cancel=0 exact=0\nofen 4\n");
  // Asking for more than the list holds grows every field again.
  Query.ExecuteFetch(12, true);
  EXPECT_EQ(Query.RowsProcessed(), 12);
  EXPECT_EQ(Query.FieldByName("B")->Dimension(), 12);
}

TEST_F(TQueryTest, FieldBuffersSetUpAgainAtTheSameAddressAreNotTakenForTheDefinedOnes) {
  Script.Select("N:2:40:0", 100);
  Query.SetSQL("SELECT n FROM t");
  Query.Open();
  TParam *N = Query.Fields().Items(0);
  const std::uint8_t *Defined = N->DataArea();
  // 10 rows of 40 bytes and 20 rows of 17 bytes take blocks of one size: the allocator is free
  // to hand the freed block back, with a different layout inside it.
  N->SetDimension(20);
  N->SetItemSize(17);
  EXPECT_EQ(N->RowAsString(0), "");
  const bool SameAddress = N->DataArea() == Defined;
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[Fields changed]")
      << (SameAddress ? "block reused at the same address" : "block moved");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);

  // Values cleared and set up again: the same size, very likely the same block.
  Query.Open();
  Defined = N->DataArea();
  N->ClearValue();
  N->RowAsString(0);
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[Fields changed]")
      << (N->DataArea() == Defined ? "block reused at the same address" : "block moved");

  // The fields replaced by new ones (a new description) are no longer the defined ones either.
  Query.Open();
  Query.Fields().Clear();
  Query.Fields().Add("N")->SetDbType(2);
  Query.Fields().Items(0)->SetPos(1);
  Query.Fields().Items(0)->RowAsString(0);
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[Fields changed]");

  // Untouched fields fetch on.
  Query.Open();
  Query.FetchNext(10);
  EXPECT_EQ(Query.Fields().Items(0)->RowAsString(9), "20");
}

TEST_F(TQueryTest, SelectListsWithRepeatedOrOddColumns) {
  Script.Select("N:2:40:0;N:2:40:0;N_2:1:5:0", 2);
  Query.SetSQL("SELECT 1 n, 2 n, 'x' n_2 FROM dual");
  Query.Open();
  ASSERT_EQ(Query.Fields().Count(), 3) << "a repeated name still gives its own field";
  EXPECT_EQ(Query.Fields().Items(1)->Pos(), 2);
  EXPECT_EQ(Query.Fields().Items(1)->RowAsString(0), "1");
  EXPECT_EQ(Query.Fields().Items(2)->Pos(), 3);
  Query.Close();

  // A CHAR column (and every string literal, which Oracle describes as CHAR) is text.
  Script.Select("C:96:1:0", 2);
  Query.SetSQL("SELECT c FROM t");
  Query.SetPrepared(true);
  EXPECT_EQ(Query.Fields().Items(0)->DataType(), oVarchar2);
  EXPECT_EQ(FaultOf([&] { Query.Open(); }), "");
  Query.Close();
}

TEST_F(TQueryTest, StatesKeepPreparedAndNewText) {
  Query.SetSQL("DELETE FROM t");
  Query.SetKeepPrepared(false);
  Query.Execute();
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
  EXPECT_TRUE(Db->DataSets().empty());
  EXPECT_EQ(Calls(), "oopen\noparse DELETE FROM t defer=1 lang=2\noexn 1 0\noclose\n");

  // A prepared query stays prepared even with KeepPrepared off.
  Query.SetPrepared(true);
  Query.Execute();
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  ASSERT_EQ(Db->DataSets().size(), 1u);

  // A new text closes and empties both lists; values set before are gone.
  Script.Select("A:1:5:0", 1);
  Query.SetSQL("SELECT a FROM t WHERE b = :b");
  Query.SetPrepared(true);
  Query.ParamByName("b")->SetAsString("v");
  Query.SetSQL("SELECT a FROM t WHERE b = :b");
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Params().Count(), 0);
  EXPECT_EQ(Query.Fields().Count(), 0);
  EXPECT_EQ(Db->UseCount(), 0);

  // Renaming the database closes too.
  Query.SetPrepared(true);
  Query.SetDatabaseName("Other");
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(FaultOf([&] { Query.Execute(); }), "Error : 1.0.[Other]");
  Query.SetDatabaseName("");
  EXPECT_EQ(FaultOf([&] { Query.Execute(); }), "Error : 1.0.[]");
  EXPECT_EQ(FaultOf([&] { Query.Open(); }), "Error : 1.0.[]");
}

TEST_F(TQueryTest, ParameterScanSkipsStringsAndComments) {
  auto Names = [&](const std::string &AText) {
    Query.SetSQL(AText);
    TParams List{nullptr, &TOracleParam::Create};
    Query.ParseParams(List);
    std::string Result;
    for (int i = 0; i < List.Count(); ++i) {
      Result += (i ? "," : "") + List.Items(i)->ParamName();
      EXPECT_EQ(List.Items(i)->Kind(), oInput);
      EXPECT_EQ(List.Items(i)->DataType(), oUnknown);
    }
    return Result;
  };
  EXPECT_EQ(Names("SELECT a FROM t WHERE b = :x AND c = ':y' -- :z"), "x");
  EXPECT_EQ(Names("BEGIN :r := f(:R); END;"), "r");
  EXPECT_EQ(Names("x := :1 + :a_b2 /* :c * :d */ + :e"), "1,a_b2,e");
  EXPECT_EQ(Names("'it''s :no' || :yes -- :no\n|| :also"), "yes,also");
  EXPECT_EQ(Names("a ::b :=c : d"), "b");
  EXPECT_EQ(Names("/* unterminated :x"), "");
  EXPECT_EQ(Names("'unterminated :x"), "");
  EXPECT_EQ(Names("\"Quoted :id\""), "id"); // double quotes are nothing special
  EXPECT_EQ(Names(":"), "");
  EXPECT_EQ(Names("-- :a"), "");
  EXPECT_EQ(Names("/**/:a/*/ :b */:c"), "a,c");
}

TEST_F(TQueryTest, ParseForParamsOffSendsTriggersWithoutBinds) {
  Query.SetParseForParams(false);
  Query.SetSQL("CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW BEGIN :new.a := :old.a; END;");
  Query.Execute();
  EXPECT_EQ(Query.Params().Count(), 0);
  EXPECT_EQ(Fake->Count("obndra"), 0);
  // Switched back on, the parameters are found at once.
  Query.SetParseForParams(true);
  EXPECT_EQ(Query.Params().Count(), 2);

  // A SELECT is always scanned.
  Query.SetParseForParams(false);
  Script.Select("A:1:5:0", 1);
  Query.SetSQL("SELECT a FROM t WHERE b = :b");
  Query.SetPrepared(true);
  EXPECT_EQ(Query.Params().Count(), 1);
}

TEST_F(TQueryTest, ServerErrorsComeBackWithTheirTextAndOffset) {
  Fake->FailNext("oparse", 923);
  Script.ParseError(7);
  Query.SetSQL("SELECT x y z FROM t");
  try {
    Query.SetPrepared(true);
    FAIL() << "the parse failed silently";
  } catch (const EDatabaseError &E) {
    EXPECT_EQ(E.Message(), "ORA-00923: fake message 923");
    EXPECT_EQ(E.ErrorCode(), 923);
    EXPECT_EQ(E.DatabaseName(), "Database");
  }
  // The failed parse closed the cursor, and the data area still tells what went wrong.
  EXPECT_EQ(Calls(), "oopen\noparse SELECT x y z FROM t defer=1 lang=2\noerhms 923\noclose\n");
  EXPECT_EQ(Query.ParseErrorOffset(), 7);
  EXPECT_EQ(Query.FunctionCode(), 4);
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), Db.get()) << "attached until Close";
  Query.Close();
  EXPECT_EQ(Query.Database(), nullptr);
  EXPECT_EQ(Fake->Count("oclose"), 0) << "a closed cursor is not closed twice";

  // A failing execute leaves the query prepared; 1403 counts as an error after oexn.
  Query.SetSQL("UPDATE t SET a = 1");
  Fake->FailNext("oexn", 1);
  EXPECT_EQ(FaultOf([&] { Query.Execute(); }), "ORA-00001: fake message 1");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  Fake->FailNext("oexn", 1403);
  EXPECT_EQ(FaultOf([&] { Query.Execute(); }), "ORA-01403: fake message 1403");

  // A failing first fetch does not leave a fetch open.
  Script.Select("A:1:5:0", 30);
  Query.SetSQL("SELECT a FROM t");
  Fake->FailNext("oexfet", 942);
  EXPECT_EQ(FaultOf([&] { Query.Open(); }), "ORA-00942: fake message 942");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
  EXPECT_EQ(Query.RowsProcessed(), 0);

  // A failing batch keeps the fetch open; the error reaches the caller.
  Query.Open();
  Fake->FailNext("ofen", 1013);
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "ORA-01013: fake message 1013");
  EXPECT_EQ(Query.State(), TDataSetState::Fetching);
}

TEST_F(TQueryTest, OutputValuesOfABlock) {
  Query.SetSQL("BEGIN :r := f(:a); :n := 0; END;");
  Query.SetPrepared(true);
  TParam *R = Query.ParamByName("r");
  R->SetKind(oOutput);
  R->SetDataType(oVarchar2);
  R->SetItemSize(30);
  Query.ParamByName("a")->SetAsString("in");
  Query.ParamByName("n")->SetDataType(oInteger);
  Script.Output("R", "forty-two");
  Script.Output("n", "NULL");
  Query.Execute();
  EXPECT_EQ(R->RowCount(), 1);
  EXPECT_EQ(R->AsString(), "forty-two");
  EXPECT_TRUE(Query.ParamByName("n")->RowIsNull(0));
  EXPECT_EQ(Query.ParamByName("n")->AsString(), "") << "a NULL integer is no number";
  EXPECT_EQ(Query.ParamByName("a")->RowCount(), 1);
}

TEST_F(TQueryTest, TableAndCursorBinds) {
  Query.SetSQL("BEGIN p(:tab, :cur); END;");
  Query.SetPrepared(true);
  auto *Tab = static_cast<TOracleParam *>(Query.ParamByName("tab"));
  Tab->SetDataTable(true);
  Tab->SetDataType(oVarchar2);
  Tab->SetItemSize(8);
  Tab->SetDimension(5);
  Tab->SetRowAsString(0, "a");
  Tab->SetRowAsString(2, "c");
  auto *Cur = static_cast<TOracleParam *>(Query.ParamByName("cur"));
  Cur->SetDataType(oCursor);
  EXPECT_EQ(Cur->CursorQuery(), nullptr) << "not bound as a cursor yet";
  Script.Output("tab", "x|y|NULL|z|w|v|u");
  Script.Select("ID:2:40:0;NAME:1:20:0", 150);
  Calls();
  Query.Execute();
  EXPECT_EQ(Calls(), "obndra tab size=8 type=1 max=5\nobndra cur size=-1 type=102 max=0\n"
                     "oexn 1 0\n");
  EXPECT_EQ(Script.Bound(), "tab[0]=(1)a\ntab[1]=NULL\ntab[2]=(1)c\ncur=cursor\n");
  // The server wrote five elements (no more than the table holds) and their count.
  EXPECT_EQ(Tab->RowCount(), 5);
  EXPECT_EQ(Tab->RowAsString(1), "y");
  EXPECT_TRUE(Tab->RowIsNull(2));
  EXPECT_EQ(Tab->RowAsString(4), "w");

  TOracleQueryLite *Rows = Cur->CursorQuery();
  ASSERT_NE(Rows, nullptr);
  EXPECT_EQ(Rows->State(), TDataSetState::Fetching);
  ASSERT_EQ(Rows->Fields().Count(), 2);
  EXPECT_EQ(Rows->Fields().Dimension(), 100);
  EXPECT_EQ(Calls(), "odescr 1\nodescr 2\nodescr 3\nodefin 1 size=40 type=1\n"
                     "odefin 2 size=20 type=1\n");
  Rows->FetchNext(100);
  EXPECT_EQ(Rows->RowsProcessed(), 100);
  EXPECT_EQ(Rows->FieldByName("NAME")->RowAsString(99), "NAME100");
  Rows->FetchNext(100);
  EXPECT_EQ(Rows->RowsProcessed(), 50);
  EXPECT_EQ(Rows->State(), TDataSetState::Prepared);
  EXPECT_EQ(Cur->CursorQuery(), Rows) << "described once";
  EXPECT_EQ(Calls(), "ofen 100\nofen 100\n");

  // Executing again reuses the cursor query with a fresh description.
  Query.Execute();
  Calls();
  ASSERT_EQ(Cur->CursorQuery(), Rows);
  EXPECT_EQ(Rows->Fields().Count(), 2);
  Rows->Close();
  EXPECT_EQ(Calls(), "odescr 1\nodescr 2\nodescr 3\nodefin 1 size=40 type=1\n"
                     "odefin 2 size=20 type=1\nocan\n")
      << "an external cursor is never closed here";
}

TEST_F(TQueryTest, ArrayExecuteWithinTheBuffers) {
  Query.SetSQL("INSERT INTO t VALUES (:a)");
  Query.Params().SetDimension(3);
  Query.SetPrepared(true);
  TParam *A = Query.ParamByName("a");
  EXPECT_EQ(A->Dimension(), 3);
  for (int Row = 0; Row < 3; ++Row)
    A->SetRowAsString(Row, std::to_string(Row * 10));
  Query.ExecuteArray(2, 1);
  EXPECT_EQ(Script.Bound(), "a[1]=(2)10\na[2]=(2)20\n");
  EXPECT_EQ(Query.RowsProcessed(), 2);
  // More iterations than rows would make the library read past the buffers.
  EXPECT_EQ(FaultOf([&] { Query.ExecuteArray(3, 1); }), "Error : 3.12.[Iterations]");
  EXPECT_EQ(FaultOf([&] { Query.ExecuteArray(0, 0); }), "Error : 3.12.[Iterations]");
  EXPECT_EQ(FaultOf([&] { Query.ExecuteArray(1, -1); }), "Error : 3.12.[Iterations]");
  EXPECT_EQ(Query.State(), TDataSetState::Prepared);
}

// Every data type bound with a NULL, with its largest value and with one byte more.
TEST_F(TQueryTest, BindsOfEveryTypeAtTheirLimits) {
  const std::pair<TParamType, int> Types[] = {{oVarchar2, 2000}, {oNumber, 40}, {oDate, 12},
                                              {oLong, 4096},     {oRaw, 256},   {oLongRaw, 4096}};
  std::string Text = "BEGIN p(";
  for (int i = 0; i < 6; ++i)
    Text += ":p" + std::to_string(i) + ", :n" + std::to_string(i) + ", ";
  Text += ":i, :ni); END;";
  Query.SetSQL(Text);
  Query.SetPrepared(true);
  ASSERT_EQ(Query.Params().Count(), 14);
  for (int i = 0; i < 6; ++i) {
    auto [Type, Size] = Types[i];
    TParam *P = Query.ParamByName("p" + std::to_string(i));
    TParam *N = Query.ParamByName("n" + std::to_string(i));
    P->SetDataType(Type);
    N->SetDataType(Type);
    P->SetAsString(std::string(Size, 'v'));
    N->SetAsString("");
    EXPECT_EQ(FaultOf([&] { P->SetAsString(std::string(Size + 1, 'w')); }),
              "Error : 6.5.[p" + std::to_string(i) + "]");
  }
  Query.ParamByName("i")->SetAsInteger(2147483647);
  Query.ParamByName("ni")->SetDataType(oInteger);
  Query.Execute();
  const std::string Bound = Script.Bound();
  for (int i = 0; i < 6; ++i) {
    auto [Type, Size] = Types[i];
    EXPECT_NE(Bound.find("p" + std::to_string(i) + "[0]=(" + std::to_string(Size) + ")" +
                         std::string(Size, 'v') + "\n"),
              std::string::npos)
        << ParamTypeNames[Type];
    EXPECT_NE(Bound.find("n" + std::to_string(i) + "[0]=NULL\n"), std::string::npos);
  }
  EXPECT_NE(Bound.find("i[0]=2147483647\n"), std::string::npos);
  EXPECT_NE(Bound.find("ni[0]=NULL\n"), std::string::npos);
}

TEST_F(TQueryTest, LogoffClosesAQueryLeftOpenOrFetching) {
  Script.Select("A:1:5:0", 30);
  TOracleQuery Other;
  Other.SetDatabaseName("Database");
  Other.SetSQL("UPDATE t SET a = 1");
  Other.SetPrepared(true);
  Query.SetSQL("SELECT a FROM t");
  Query.Open();
  ASSERT_EQ(Query.State(), TDataSetState::Fetching);
  EXPECT_EQ(Db->UseCount(), 2);
  Calls();
  Db->SetConnected(false);
  // The last attached closes first; the fetching one is cancelled before its cursor closes.
  EXPECT_EQ(Calls(), "ocan\noclose\noclose\nologof\n");
  for (TOracleQuery *Q : {&Query, &Other}) {
    EXPECT_EQ(Q->State(), TDataSetState::Closed);
    EXPECT_EQ(Q->Database(), nullptr);
  }
  EXPECT_EQ(Db->UseCount(), 0);
  EXPECT_FALSE(Db->Connected());
  EXPECT_EQ(FaultOf([&] { Query.FetchNext(10); }), "Error : 3.11.[]");

  // The next use logs on again by itself.
  Query.Open();
  EXPECT_TRUE(Db->Connected());
  EXPECT_EQ(Query.RowsProcessed(), 10);

  // A database that goes away takes its queries' attachment with it.
  Db.reset();
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
}

TEST_F(TQueryTest, DatabaseWhoseLogoffHandlerRaisesStillClosesItsQueries) {
  Script.Select("A:1:5:0", 30);
  Query.SetSQL("SELECT a FROM t");
  Query.Open();
  Db->OnLogoff = [](TDatabaseLite *, bool Before) {
    if (Before)
      throw Exception("refused");
  };
  Calls();
  EXPECT_THROW(Db->SetConnected(false), Exception);
  EXPECT_EQ(Calls(), "ocan\noclose\nologof\n");
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);

  // Prepared again, then the database goes away with its handler still refusing.
  Query.SetPrepared(true);
  ASSERT_EQ(Query.Database(), Db.get());
  Calls();
  Db.reset();
  EXPECT_EQ(Calls(), "oclose\nologof\n");
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
  Query.Close(); // must not touch the database that is gone
  EXPECT_EQ(FaultOf([&] { Query.Open(); }), "Error : 1.0.[database]");
}

TEST_F(TQueryTest, FailedPrepareInExecuteRaisesOnceAndStaysClosed) {
  // The statement does not parse: one parse, one error, and the query stays Closed.
  Query.SetSQL("UPDATE t SET");
  Fake->FailNext("oparse", 900);
  EXPECT_EQ(FaultOf([&] { Query.Execute(); }), "ORA-00900: fake message 900");
  EXPECT_EQ(Calls(), "oopen\noparse UPDATE t SET defer=1 lang=2\noerhms 900\noclose\n");
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  Query.Close();

  // The logon is abandoned in the login dialog: it is shown once, not again by the clean-up.
  Db->SetConnected(false);
  int Dialogs = 0;
  Db->OnLogin = [&](TDatabaseLite *, bool Before) {
    if (Before) {
      ++Dialogs;
      Abort();
    }
  };
  Calls();
  EXPECT_THROW(Query.Execute(), EAbort);
  EXPECT_EQ(Dialogs, 1);
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
  EXPECT_EQ(Calls(), "");

  // With KeepPrepared off, a failed prepare also lets go of the database.
  Db->OnLogin.Clear();
  Query.SetKeepPrepared(false);
  Fake->FailNext("oparse", 900);
  EXPECT_THROW(Query.Execute(), EDatabaseError);
  EXPECT_EQ(Query.State(), TDataSetState::Closed);
  EXPECT_EQ(Query.Database(), nullptr);
  EXPECT_EQ(Db->UseCount(), 0);
  EXPECT_EQ(Fake->Count("oparse"), 1);
}

TEST_F(TQueryTest, KeepConnectedOffLogsOffWithTheLastQuery) {
  Db->SetKeepConnected(false);
  Query.SetSQL("DELETE FROM t");
  Query.SetPrepared(true);
  Query.Close();
  EXPECT_FALSE(Db->Connected());
  EXPECT_NE(Calls().find("oclose\nologof\n"), std::string::npos);
}

TEST_F(TQueryTest, PrepareAndExecuteHoldTheDatabaseLock) {
  // While another thread holds the database's lock, ExecuteFetch and FetchNext still run
  // (they take no lock); Execute waits for it.
  Script.Select("A:1:5:0", 30);
  Query.SetSQL("SELECT a FROM t");
  Query.SetPrepared(true);
  std::atomic<int> Step{0};
  std::thread Holder([&] {
    std::lock_guard Guard(Db->Lock());
    Step = 1;
    testdeadline::WaitUntil([&] { return Step == 2; });
  });
  if (!testdeadline::WaitUntil([&] { return Step == 1; }))
    testdeadline::GiveUp("the thread holding the lock");
  Query.Open();
  Query.FetchNext(10);
  EXPECT_EQ(Query.RowsProcessed(), 10);
  std::atomic<bool> Executed{false};
  std::thread Executer([&] {
    TOracleQuery Update;
    Update.SetDatabaseName("Database");
    Update.SetSQL("UPDATE t SET a = 2");
    Update.SetPrepared(true); // Prepare takes the lock as well
    Update.Execute();
    Executed = true;
  });
  // The executer cannot pass the lock; let the holder go and it finishes.
  EXPECT_FALSE(Executed);
  Step = 2;
  Holder.join();
  Executer.join();
  EXPECT_TRUE(Executed);
}

} // namespace

namespace {

// The error query as the main window's description holds it.
void BuildErrorQuery(TOracleQuery &AQuery) {
  AQuery.SetDatabaseName("Database");
  AQuery.SetSQL("SELECT line, position, text FROM all_errors WHERE owner=:owner AND "
                "name=:name AND type=:type");
  for (const char *Name : {"owner", "name", "type"})
    AQuery.Params().Add(Name)->SetKind(oInput);
  int Pos = 0;
  for (auto [Name, Type, Size] :
       {std::tuple{"LINE", oNumber, 40}, {"POSITION", oNumber, 40}, {"TEXT", oVarchar2, 2000}}) {
    TParam *Field = AQuery.Fields().Add(Name);
    Field->SetDataType(Type);
    Field->SetItemSize(Size);
    Field->SetDimension(10);
    Field->SetPos(++Pos);
  }
}

TEST(QueryStream, ListsTravelThroughTheirDefinitionAndSurviveLoading) {
  TOracleQuery Source;
  BuildErrorQuery(Source);
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TComponentWriter(Writer).WriteRootComponent(
        {"TOracleQuery", "ErrorQuery", &Source, &TOracleQuery::Properties(), {}});
    Writer.FlushBuffer();
  }
  if (getenv("TESSALY_DUMP_QUERY_RECORD")) {
    for (std::uint8_t Byte : Stream.Bytes())
      printf("0x%02X,", Byte);
    printf("\n");
  }
  Stream.Rewind();
  TOracleQuery Loaded;
  Loaded.SetLoading(true);
  {
    TValueReader Reader(Stream);
    TComponentReader(Reader).ReadRootComponent(
        {"TOracleQuery", "ErrorQuery", &Loaded, &TOracleQuery::Properties(), {}});
  }
  Loaded.SetLoading(false);
  EXPECT_EQ(Loaded.DatabaseName(), "Database");
  EXPECT_EQ(Loaded.SQL(), Source.SQL());
  ASSERT_EQ(Loaded.Params().Count(), 3);
  EXPECT_EQ(Loaded.Params().Items(2)->ParamName(), "type");
  EXPECT_EQ(Loaded.Params().Items(2)->DataType(), oUnknown);
  EXPECT_EQ(Loaded.Params().Items(2)->Kind(), oInput);
  ASSERT_EQ(Loaded.Fields().Count(), 3);
  for (int i = 0; i < 3; ++i) {
    TParam *Field = Loaded.Fields().Items(i);
    EXPECT_EQ(Field->ParamName(), Source.Fields().Items(i)->ParamName());
    EXPECT_EQ(Field->Kind(), oField);
    EXPECT_EQ(Field->Pos(), i + 1);
    EXPECT_EQ(Field->ItemSize(), i == 2 ? 2000 : 40);
    EXPECT_EQ(Field->Dimension(), 10);
  }
  EXPECT_FALSE(Loaded.Params().NeedsRefresh());
  EXPECT_FALSE(Loaded.Fields().NeedsRefresh());

  // The lists' own dimensions travel with them.
  TOracleQuery Wide;
  BuildErrorQuery(Wide);
  Wide.Fields().SetDimension(100);
  Wide.Params().SetDimension(3);
  TMemoryStream WideStream;
  {
    TValueWriter Writer(WideStream);
    TComponentWriter(Writer).WriteRootComponent(
        {"TOracleQuery", "ErrorQuery", &Wide, &TOracleQuery::Properties(), {}});
    Writer.FlushBuffer();
  }
  WideStream.Rewind();
  TOracleQuery WideLoaded;
  WideLoaded.SetLoading(true);
  {
    TValueReader Reader(WideStream);
    TComponentReader(Reader).ReadRootComponent(
        {"TOracleQuery", "ErrorQuery", &WideLoaded, &TOracleQuery::Properties(), {}});
  }
  WideLoaded.SetLoading(false);
  EXPECT_EQ(WideLoaded.Fields().Dimension(), 100);
  EXPECT_EQ(WideLoaded.Params().Dimension(), 3);
  ASSERT_EQ(WideLoaded.Fields().Count(), 3);
  EXPECT_EQ(WideLoaded.Fields().Items(2)->Dimension(), 100);
  EXPECT_EQ(WideLoaded.Params().Items(0)->Dimension(), 3);
  // A list with the default dimension does not write it: Params of the error query.
  EXPECT_EQ(Loaded.Params().Dimension(), 0);
  EXPECT_EQ(Loaded.Fields().Dimension(), 10);

  // A list claiming more items than its block holds is refused before anything is built.
  TParams Lying(nullptr, Loaded.Params().ItemClass());
  TMemoryStream Block;
  const std::uint8_t Bytes[] = {0xFF, 0xFF, 0xFF, 0x7F, 0};
  Block.Write(Bytes, sizeof Bytes);
  Block.Rewind();
  EXPECT_THROW(Lying.ReadData(Block), EReadError);
  EXPECT_EQ(Lying.Count(), 0);
}

} // namespace
