// Stored procedures over the recording fake client library: the description walk of odessp
// answers, the call block, the property write rules, loading from the component stream, and
// the database's procedure list.
#include "FakeOciClient.h"
#include "classes/ComponentStream.h"
#include "classes/Streams.h"

#include <gtest/gtest.h>

namespace {

template <typename F> std::string FaultOf(F AAction) {
  try {
    AAction();
  } catch (const ECodeError &E) {
    return E.Message();
  }
  return "";
}

// "NAME kind type size pos [table dim] [default]" for every parameter, in list order.
std::string Shape(TParams &AParams) {
  std::string Result;
  for (int i = 0; i < AParams.Count(); ++i) {
    auto *P = static_cast<TOracleParam *>(AParams.Items(i));
    Result += P->ParamName() + " " + ParamKindNames[P->Kind()] + " " +
              ParamTypeNames[P->DataType()] + " " + std::to_string(P->ItemSize()) + " " +
              std::to_string(P->Pos());
    if (P->DataTable())
      Result += " table " + std::to_string(P->Dimension());
    if (P->HaveDefault())
      Result += " default";
    Result += "\n";
  }
  return Result;
}

struct TStoredProcTest : ::testing::Test {
  std::unique_ptr<TOracleDatabase> Db;
  std::unique_ptr<TFakeOci> Fake;
  TFakeCursors Script{};
  TOracleStoredProc Proc;

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
    // F(A IN NUMBER, B OUT VARCHAR2) RETURN NUMBER, the result reported last.
    Script.Procedure("F", "0,1,0,A,2,0,0,22;0,2,0,B,1,0,1,0;0,0,0,-,2,0,1,22");
    Script.Procedure("P", "0,0,0,-,0,0,0,0");
    // PKG.OVER(X NUMBER) and PKG.OVER(X VARCHAR2, Y DATE DEFAULT SYSDATE).
    Script.Procedure("PKG.OVER", "1,1,0,X,2,0,0,22;2,1,0,X,1,0,0,0;2,2,0,Y,12,1,0,7");
    Proc.SetDatabaseName("Database");
  }
  void TearDown() override {
    Proc.Close();
    Db.reset();
  }
  std::string Calls() {
    std::string Log = Fake->Log();
    Fake->Clear();
    return Log;
  }
};

TEST_F(TStoredProcTest, FunctionWithInAndOutArgumentsIsDescribedAndCalled) {
  Proc.SetProcedureName("F");
  EXPECT_EQ(Calls(), "odessp F arrsiz=64\n");
  EXPECT_EQ(Shape(Proc.Params()), "RESULT oOutput oNumber 0 0\n"
                                  "A oInput oNumber 0 1\n"
                                  "B oOutput oVarchar2 0 2\n");
  EXPECT_EQ(Proc.SQL(), "BEGIN :RESULT:=F(:A,:B); END;");
  EXPECT_EQ(Proc.OverloadCount(), 0);
  EXPECT_EQ(Proc.OverloadIndex(), 0);
  EXPECT_EQ(Proc.State(), TDataSetState::Closed) << "described, not prepared";
  EXPECT_EQ(Proc.Database(), Db.get());

  Proc.ParamByName("A")->SetAsString("42");
  Script.Output("RESULT", "1764");
  Script.Output("B", "forty-two");
  Proc.Execute();
  EXPECT_EQ(Calls(), "oopen\noparse BEGIN :RESULT:=F(:A,:B); END; defer=1 lang=2\n"
                     "obndra RESULT size=40 type=1 max=0\nobndra A size=40 type=1 max=0\n"
                     "obndra B size=2000 type=1 max=0\noexn 1 0\n");
  EXPECT_EQ(Proc.ParamByName("RESULT")->AsString(), "1764");
  EXPECT_EQ(Proc.ParamByName("B")->AsString(), "forty-two");
  EXPECT_EQ(Proc.ParamByName("B")->RowCount(), 1);
  EXPECT_EQ(Proc.State(), TDataSetState::Prepared);
  // Called again: the description and the block are kept, only binds and execute follow.
  Proc.Execute();
  EXPECT_EQ(Calls(), "obndra RESULT size=40 type=1 max=0\nobndra A size=40 type=1 max=0\n"
                     "obndra B size=2000 type=1 max=0\noexn 1 0\n");

  // The same name again changes nothing; the description is not asked for twice.
  Proc.SetProcedureName("F");
  EXPECT_EQ(Calls(), "");
  EXPECT_EQ(Proc.State(), TDataSetState::Prepared);
}

TEST_F(TStoredProcTest, ProcedureWithoutArgumentsAndUnknownNames) {
  Proc.SetProcedureName("P");
  EXPECT_EQ(Proc.Params().Count(), 0);
  EXPECT_EQ(Proc.SQL(), "BEGIN P; END;");
  Proc.Execute();
  EXPECT_EQ(Calls(), "odessp P arrsiz=64\noopen\noparse BEGIN P; END; defer=1 lang=2\noexn 1 0\n");

  // A name the server does not know: its error, nothing described, no block.
  try {
    Proc.SetProcedureName("NOWHERE");
    FAIL() << "an unknown procedure was described";
  } catch (const EDatabaseError &E) {
    EXPECT_EQ(E.ErrorCode(), 4043);
    EXPECT_EQ(E.Message(), "ORA-04043: fake message 4043");
  }
  EXPECT_EQ(Proc.Params().Count(), 0);
  EXPECT_EQ(Proc.SQL(), "");
  EXPECT_EQ(Proc.State(), TDataSetState::Closed);

  // An empty name describes nothing and has no block.
  Proc.SetProcedureName("");
  EXPECT_EQ(Proc.SQL(), "");
  EXPECT_EQ(Fake->Count("odessp"), 1);
}

TEST_F(TStoredProcTest, OverloadsAreChosenByIndexWithinTheirCount) {
  Proc.SetProcedureName("PKG.OVER");
  EXPECT_EQ(Proc.OverloadCount(), 2);
  EXPECT_EQ(Proc.OverloadIndex(), 1);
  EXPECT_EQ(Shape(Proc.Params()), "X oInput oNumber 0 1\n");
  EXPECT_EQ(Proc.SQL(), "BEGIN PKG.OVER(:X); END;");
  Proc.SetPrepared(true);
  Calls();

  Proc.SetOverloadIndex(2);
  EXPECT_EQ(Shape(Proc.Params()), "X oInput oVarchar2 0 1\nY oInput oDate 0 2 default\n");
  // A prepared call block of the other overload would bind the wrong arguments.
  EXPECT_EQ(Proc.SQL(), "BEGIN PKG.OVER(:X,:Y); END;");
  EXPECT_EQ(Proc.State(), TDataSetState::Closed);
  Proc.ParamByName("X")->SetAsString("x");
  Proc.ParamByName("Y")->SetAsString("01-JAN-99");
  Proc.Execute();
  EXPECT_EQ(Calls(), "oclose\nodessp PKG.OVER arrsiz=64\noopen\n"
                     "oparse BEGIN PKG.OVER(:X,:Y); END; defer=1 lang=2\n"
                     "obndra X size=2000 type=1 max=0\nobndra Y size=12 type=1 max=0\noexn 1 0\n");

  for (int Wrong : {0, -1, 3})
    EXPECT_EQ(FaultOf([&] { Proc.SetOverloadIndex(Wrong); }), "Error : 5.8.[OverloadIndex]")
        << Wrong;
  EXPECT_EQ(Proc.OverloadIndex(), 2) << "a refused index changes nothing";
  EXPECT_EQ(Proc.Params().Count(), 2);
  EXPECT_EQ(Proc.State(), TDataSetState::Prepared);
  EXPECT_EQ(Calls(), "");

  // Another procedure starts at its own first overload, not at the index of the last one.
  Script.Procedure("PKG.OTHER", "1,1,0,N,2,0,0,22;2,0,0,-,0,0,0,0");
  Proc.SetProcedureName("PKG.OTHER");
  EXPECT_EQ(Proc.OverloadIndex(), 1);
  EXPECT_EQ(Proc.SQL(), "BEGIN PKG.OTHER(:N); END;");
  Proc.SetOverloadIndex(2);
  EXPECT_EQ(Proc.SQL(), "BEGIN PKG.OTHER; END;");

  // A procedure that is not overloaded takes index 0 only.
  Proc.SetProcedureName("F");
  EXPECT_EQ(Proc.OverloadIndex(), 0);
  EXPECT_EQ(FaultOf([&] { Proc.SetOverloadIndex(1); }), "Error : 5.8.[OverloadIndex]");
  EXPECT_NO_THROW(Proc.SetOverloadIndex(0));
  EXPECT_EQ(Proc.Params().Count(), 3);
}

TEST_F(TStoredProcTest, TablesCursorsAndRecords) {
  // T IN OUT table of VARCHAR2(30), N table of NUMBER (with a default), C OUT REF CURSOR.
  Script.Procedure("FILL", "0,1,0,T,251,0,2,0;0,1,1,-,1,0,2,30;"
                           "0,2,0,N,251,1,0,0;0,2,1,-,2,0,0,22;"
                           "0,3,0,C,102,0,1,0");
  Proc.SetProcedureName("FILL");
  EXPECT_EQ(Shape(Proc.Params()), "T oInpOut oVarchar2 30 1 table 40\n"
                                  "N oInput oInteger 0 2 table 40 default\n"
                                  "C oOutput oCursor 0 3\n")
      << "the element entries are no parameters of their own";
  EXPECT_EQ(Proc.SQL(), "BEGIN FILL(:T,:N,:C); END;");
  TParam *T = Proc.ParamByName("T");
  T->SetRowAsString(0, "first");
  TParam *N = Proc.ParamByName("N");
  N->SetRowAsString(0, "7");
  N->SetRowAsString(1, "8");
  Script.Output("T", "a|b|c");
  Script.Select("ID:2:40:0", 3);
  Calls();
  Proc.Execute();
  EXPECT_EQ(Calls(), "oopen\noparse BEGIN FILL(:T,:N,:C); END; defer=1 lang=2\n"
                     "obndra T size=30 type=1 max=40\nobndra N size=4 type=3 max=40\n"
                     "obndra C size=-1 type=102 max=0\noexn 1 0\n");
  EXPECT_EQ(Script.Bound(), "T[0]=(5)first\nN[0]=7\nN[1]=8\nC=cursor\n");
  EXPECT_EQ(T->RowCount(), 3) << "as many rows as the server returned elements";
  EXPECT_EQ(T->RowAsString(2), "c");
  TOracleQueryLite *Rows = static_cast<TOracleParam *>(Proc.ParamByName("C"))->CursorQuery();
  ASSERT_NE(Rows, nullptr);
  Rows->FetchNext(100);
  EXPECT_EQ(Rows->RowsProcessed(), 3);
  EXPECT_EQ(Rows->Fields().Items(0)->RowAsString(2), "3");

  // A record argument is refused; what was described before it stays, there is no block.
  Script.Procedure("REC", "0,1,0,A,2,0,0,22;0,2,0,R,250,0,0,0;0,2,1,F1,1,0,0,10;0,3,0,Z,1,0,0,0");
  EXPECT_EQ(FaultOf([&] { Proc.SetProcedureName("REC"); }),
            "Error : 5.6.[Records type not implemented]");
  EXPECT_EQ(Shape(Proc.Params()), "A oInput oNumber 0 1\n");
  EXPECT_EQ(Proc.SQL(), "");

  // Names fill the server's 30 bytes without a terminating NUL.
  Script.Procedure("LONGNAMES", "0,1,0,ABCDEFGHIJKLMNOPQRSTUVWXYZ0123,1,0,0,0");
  Proc.SetProcedureName("LONGNAMES");
  EXPECT_EQ(Proc.SQL(), "BEGIN LONGNAMES(:ABCDEFGHIJKLMNOPQRSTUVWXYZ0123); END;");
}

TEST_F(TStoredProcTest, PackageNameClearsTheRestAndParseParamsFillsItsOwnList) {
  Proc.SetProcedureName("F");
  TParams Other(nullptr, &TOracleParam::Create);
  Proc.ParseParams(Other);
  EXPECT_EQ(Other.Count(), 0);
  EXPECT_EQ(Proc.Params().Count(), 3);
  Proc.RefreshParams();
  EXPECT_EQ(Proc.Params().Count(), 3);
  Proc.SetPrepared(true);

  Proc.SetPackageName("PKG");
  EXPECT_EQ(Proc.PackageName(), "PKG");
  EXPECT_EQ(Proc.ProcedureName(), "");
  EXPECT_EQ(Proc.Params().Count(), 0);
  EXPECT_EQ(Proc.SQL(), "");
  EXPECT_EQ(Proc.State(), TDataSetState::Closed);
  Proc.SetPackageName("PKG"); // the same package: nothing happens
  EXPECT_EQ(Proc.ProcedureName(), "");

  // Written at run time, OverloadCount is ignored.
  Proc.SetProcedureName("PKG.OVER");
  Proc.SetOverloadCount(7);
  EXPECT_EQ(Proc.OverloadCount(), 2);

  // A described procedure is attached while Closed; another database name lets go of it.
  EXPECT_EQ(Proc.Database(), Db.get());
  Proc.SetDatabaseName("Elsewhere");
  EXPECT_EQ(Proc.Database(), nullptr);
  EXPECT_EQ(Db->UseCount(), 0);
  EXPECT_EQ(FaultOf([&] { Proc.Execute(); }), "Error : 1.0.[Elsewhere]");
}

TEST_F(TStoredProcTest, LoadedFromTheComponentStreamWithoutAskingTheServer) {
  Proc.SetProcedureName("PKG.OVER");
  Proc.SetOverloadIndex(2);
  Proc.SetPackageName("PKG"); // clears the procedure: set the package first, as a form does
  Proc.SetProcedureName("PKG.OVER");
  Proc.SetOverloadIndex(2);
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    TComponentWriter(Writer).WriteRootComponent(
        {"TOracleStoredProc", "Proc", &Proc, &TOracleStoredProc::Properties(), {}});
    Writer.FlushBuffer();
  }
  Stream.Rewind();
  Calls();
  TOracleStoredProc Loaded;
  Loaded.SetLoading(true);
  {
    TValueReader Reader(Stream);
    TComponentReader(Reader).ReadRootComponent(
        {"TOracleStoredProc", "Proc", &Loaded, &TOracleStoredProc::Properties(), {}});
  }
  Loaded.SetLoading(false);
  EXPECT_EQ(Calls(), "") << "loading asks the server nothing";
  EXPECT_EQ(Loaded.DatabaseName(), "Database");
  EXPECT_EQ(Loaded.PackageName(), "PKG");
  EXPECT_EQ(Loaded.ProcedureName(), "PKG.OVER");
  EXPECT_EQ(Loaded.OverloadIndex(), 2);
  EXPECT_EQ(Loaded.OverloadCount(), 2);
  EXPECT_EQ(Shape(Loaded.Params()), "X oInput oVarchar2 0 1\nY oInput oDate 0 2 default\n");
  Loaded.ParamByName("X")->SetAsString("v");
  Loaded.Execute();
  EXPECT_EQ(Calls(), "oopen\noparse BEGIN PKG.OVER(:X,:Y); END; defer=1 lang=2\n"
                     "obndra X size=2000 type=1 max=0\nobndra Y size=12 type=1 max=0\noexn 1 0\n");
  Loaded.Close();

  // Properties the stored procedure does not publish are refused by the reader.
  TMemoryStream Query;
  {
    TOracleQuery Source;
    Source.SetSQL("BEGIN NULL; END;");
    TValueWriter Writer(Query);
    TComponentWriter(Writer).WriteRootComponent(
        {"TOracleStoredProc", "Proc", &Source, &TOracleQuery::Properties(), {}});
    Writer.FlushBuffer();
  }
  Query.Rewind();
  TOracleStoredProc Refused;
  Refused.SetLoading(true);
  TValueReader Reader(Query);
  EXPECT_THROW(TComponentReader(Reader).ReadRootComponent(
                   {"TOracleStoredProc", "Proc", &Refused, &TOracleStoredProc::Properties(), {}}),
               EReadError);
}

TEST_F(TStoredProcTest, ProcedureListsOfEveryKind) {
  Script.Rows("OBJECT_TYPE='PROCEDURE'", "OBJECT_NAME:1:30:0", "RAISE_SALARY\nF\nP");
  Script.Rows("OBJECT_TYPE='PACKAGE'", "OBJECT_NAME:1:30:0", "PKG\nEMPTY\nAPI");
  Script.Rows("NAME='PKG'", "TEXT:1:2000:0",
              "PACKAGE pkg IS\n"
              "  PROCEDURE over(x NUMBER);\n"
              "  PROCEDURE\n"
              "    over(x VARCHAR2, y DATE);\n"
              "  -- PROCEDURE commented_out;\n"
              "  FUNCTION total RETURN NUMBER; procedure Second_One;\n"
              "  process_flag NUMBER; /* FUNCTION hidden */ msg VARCHAR2(9) := 'FUNCTION no';\n"
              "END pkg;");
  Script.Rows("NAME='API'", "TEXT:1:2000:0", "PACKAGE api AS FUNCTION\nget RETURN NUMBER; END;");
  Script.Rows("NAME='EMPTY'", "TEXT:1:2000:0", "");

  TStringList List;
  List.Add("stale");
  Db->GetProcedureList(List, "", 0);
  EXPECT_EQ(List.Lines(), (std::vector<std::string>{"RAISE_SALARY", "F", "P"}));
  EXPECT_NE(Calls().find("oparse SELECT OBJECT_NAME FROM ALL_OBJECTS WHERE "
                         "OBJECT_TYPE='PROCEDURE' OR OBJECT_TYPE='FUNCTION' defer=1"),
            std::string::npos);
  Db->GetProcedureList(List, "", 101);
  EXPECT_EQ(List.Lines(), (std::vector<std::string>{"PKG", "EMPTY", "API"}));
  // The name on the line after PROCEDURE is found; comments, strings and look-alike words are
  // no members; overloads are listed once.
  Db->GetProcedureList(List, "PKG", 102);
  EXPECT_EQ(List.Lines(), (std::vector<std::string>{"PKG.OVER", "PKG.SECOND_ONE", "PKG.TOTAL"}));
  EXPECT_NE(Calls().find("oparse SELECT TEXT FROM ALL_SOURCE WHERE NAME='PKG' AND TYPE = "
                         "'PACKAGE' ORDER BY LINE defer=1"),
            std::string::npos);
  Db->GetProcedureList(List, "", 103);
  EXPECT_EQ(List.Lines(), (std::vector<std::string>{"RAISE_SALARY", "F", "P", "API.GET", "PKG.OVER",
                                                    "PKG.SECOND_ONE", "PKG.TOTAL"}));
  Db->GetProcedureList(List, "PKG", 5);
  EXPECT_EQ(List.Count(), 0);

  // A quote in a package name stays inside the literal.
  Db->GetProcedureList(List, "X' OR 'A'='A", 102);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_NE(Calls().find("WHERE NAME='X'' OR ''A''=''A' AND"), std::string::npos);
  EXPECT_EQ(Db->UseCount(), 0) << "the listing query is gone";
  EXPECT_TRUE(Db->DataSets().empty());
}

} // namespace
