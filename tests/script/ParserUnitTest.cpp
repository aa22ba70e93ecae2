// The script parser and model: cutting scripts into expressions, the script record and its
// error reports, include names and line breaks.
#include "script/ParserUnit.h"

#include "FakeScriptWindows.h"
#include "db/OciApi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TParsed {
  std::string Text;
  bool StoredUnit;
  std::string Owner;
  std::string UnitType;
  std::string Name;
  int Start;
};

// Every expression of AText, in order, until the parser reports the end.
std::vector<TParsed> ParseAll(const std::string &AText) {
  TScript Script;
  Script.SetText(AText);
  std::vector<TParsed> Result;
  for (size_t Calls = 0; Calls <= AText.size() + 1; ++Calls) {
    TExpression E;
    E.Script = &Script;
    Script.Parser()->ParseExpression(E);
    if (E.Length == 0)
      return Result;
    Result.push_back(
        {std::string(ExpressionText(E)), E.StoredUnit, E.Owner, E.UnitType, E.Name, E.Start});
  }
  ADD_FAILURE() << "the parser did not reach the end";
  return Result;
}

std::vector<std::string> Texts(const std::string &AText) {
  std::vector<std::string> Result;
  for (const TParsed &P : ParseAll(AText))
    Result.push_back(P.Text);
  return Result;
}

using Strings = std::vector<std::string>;

class ParserTest : public ::testing::Test {
protected:
  // The program's database, whose user name is every expression's default owner.
  static void SetUpTestSuite() {
    Database = new TOracleDatabase;
    Database->SetDatabaseName("Database");
    Database->SetUser("scott");
  }
  static void TearDownTestSuite() {
    delete Database;
    Database = nullptr;
  }
  static inline TOracleDatabase *Database = nullptr;
};

} // namespace

TEST_F(ParserTest, WorkedExample_StatementsAndSlashLine) {
  TScript Script;
  Script.SetText("select * from emp;\r\nselect * from dept\r\n/\r\n");
  TExpression E;
  E.Script = &Script;
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(ExpressionText(E), "select * from emp");
  EXPECT_EQ(E.Start, 1);
  EXPECT_FALSE(E.StoredUnit);
  EXPECT_EQ(E.Owner, "SCOTT");
  EXPECT_EQ(E.UnitType, "");
  EXPECT_EQ(E.Name, "");
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(ExpressionText(E), "select * from dept");
  EXPECT_EQ(E.Start, 21);
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.Length, 0);
}

// One expression record read into again and again (as the compile run does) keeps nothing of
// the unit before.
TEST_F(ParserTest, ReusedRecordForgetsTheUnitBefore) {
  TScript Script;
  Script.SetText("create procedure app.p is begin null; end;\n/\nselect 1 from dual;\n");
  TExpression E;
  E.Script = &Script;
  Script.Parser()->ParseExpression(E);
  EXPECT_TRUE(E.StoredUnit);
  EXPECT_EQ(E.Owner, "APP");
  EXPECT_EQ(E.UnitType, "PROCEDURE");
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(ExpressionText(E), "select 1 from dual");
  EXPECT_FALSE(E.StoredUnit);
  EXPECT_EQ(E.Owner, "SCOTT");
  EXPECT_EQ(E.UnitType, "");
  EXPECT_EQ(E.Name, "");
  EXPECT_EQ(E.UnitStart, 0);
}

TEST_F(ParserTest, WorkedExample_StoredProcedureAfterRemLine) {
  const auto All = ParseAll("REM the procedure\r\n"
                            "CREATE OR REPLACE PROCEDURE app.p IS\r\n"
                            "BEGIN\r\n"
                            "  IF x > 0 THEN x := 1; END IF;\r\n"
                            "END;\r\n"
                            "/\r\n");
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Text, "CREATE OR REPLACE PROCEDURE app.p IS\r\nBEGIN\r\n"
                         "  IF x > 0 THEN x := 1; END IF;\r\nEND;");
  EXPECT_EQ(All[0].Start, 20);
  EXPECT_TRUE(All[0].StoredUnit);
  EXPECT_EQ(All[0].Owner, "APP");
  EXPECT_EQ(All[0].UnitType, "PROCEDURE");
  EXPECT_EQ(All[0].Name, "P");
}

TEST_F(ParserTest, WorkedExample_AnonymousBlockKeepsItsSemicolon) {
  const auto All = ParseAll("DECLARE\r\n  n NUMBER;\r\nBEGIN\r\n  n := 1;\r\nEND;\r\n");
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Text, "DECLARE\r\n  n NUMBER;\r\nBEGIN\r\n  n := 1;\r\nEND;");
  EXPECT_EQ(All[0].UnitType, "PL/SQL");
  EXPECT_EQ(All[0].Name, "Anonymous");
  EXPECT_FALSE(All[0].StoredUnit);
  EXPECT_EQ(All[0].Owner, "SCOTT");

  EXPECT_EQ(Texts("begin null; end;\r\nselect 1 from dual;"),
            (Strings{"begin null; end;", "select 1 from dual"}));
}

TEST_F(ParserTest, WorkedExample_WrappedPackageBodyEndsAtSlashLine) {
  const auto All = ParseAll("CREATE OR REPLACE PACKAGE BODY pkg WRAPPED\r\n"
                            "a000000\r\nab;cd end; 'x\r\n/\r\nselect 1 from dual;");
  ASSERT_EQ(All.size(), 2u);
  EXPECT_EQ(All[0].Text, "CREATE OR REPLACE PACKAGE BODY pkg WRAPPED\r\na000000\r\nab;cd end; 'x");
  EXPECT_EQ(All[0].UnitType, "PACKAGE BODY");
  EXPECT_EQ(All[0].Name, "PKG");
  EXPECT_TRUE(All[0].StoredUnit);
  EXPECT_EQ(All[1].Text, "select 1 from dual");
}

TEST_F(ParserTest, WorkedExample_LineCommandsEndAtTheirLine) {
  EXPECT_EQ(Texts("CONNECT scott/tiger@orcl\r\n@@other\r\nselect 1 from dual;"),
            (Strings{"CONNECT scott/tiger@orcl\r", "@@other\r", "select 1 from dual"}));
  // A ";" still ends a line command; "CONNECT" counts only as the first word, and whole.
  EXPECT_EQ(Texts("connect a/b@c; select 1 from dual;"),
            (Strings{"connect a/b@c", "select 1 from dual"}));
  EXPECT_EQ(Texts("grant connect to x;\r\nCONN a/b\r\nselect 1 from dual;"),
            (Strings{"grant connect to x", "CONN a/b\r", "select 1 from dual"}));
}

TEST_F(ParserTest, WorkedExample_CreateTableIsPlainStatement) {
  const auto All = ParseAll("CREATE TABLE t (x NUMBER);\r\n");
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Text, "CREATE TABLE t (x NUMBER)");
  EXPECT_FALSE(All[0].StoredUnit);
  EXPECT_EQ(All[0].UnitType, "");
  EXPECT_EQ(All[0].Name, "");
  // "OR REPLACE" keeps the CREATE pending, but the first other word ends it, so a later word
  // "package" (a column alias here) opens no block.
  EXPECT_EQ(Texts("create or replace view v as select object_name package from user_objects;"
                  "\r\nselect 1 from dual;"),
            (Strings{"create or replace view v as select object_name package from user_objects",
                     "select 1 from dual"}));
}

TEST_F(ParserTest, KeywordsIgnoreCaseAndNamesComeOutUpper) {
  const auto All = ParseAll("create or replace package body App.Pkg as\n"
                            "  procedure a is begin null; end;\n"
                            "end;\nselect 1 from dual;");
  ASSERT_EQ(All.size(), 2u);
  EXPECT_EQ(All[0].Text, "create or replace package body App.Pkg as\n"
                         "  procedure a is begin null; end;\nend;");
  EXPECT_EQ(All[0].Owner, "APP");
  EXPECT_EQ(All[0].Name, "PKG");
  EXPECT_EQ(All[0].UnitType, "PACKAGE BODY");
  EXPECT_TRUE(All[0].StoredUnit);

  const auto Function = ParseAll("Create Function f return number As Begin return 1; End;");
  ASSERT_EQ(Function.size(), 1u);
  EXPECT_EQ(Function[0].UnitType, "FUNCTION");
  EXPECT_EQ(Function[0].Name, "F");
  EXPECT_TRUE(Function[0].StoredUnit);
}

// Keywords are whole words: one that shares only its length and first letter with a keyword
// changes nothing, wherever that keyword would.
TEST_F(ParserTest, WordsLikeAKeywordAreNotKeywords) {
  const std::string Next = "\nselect 1 from dual;";
  // Inside a block, where LOOP, IF, BEGIN and END count and PROCEDURE or TRIGGER open a unit.
  EXPECT_EQ(Texts("begin x := a like b; y := lpad(z, 2); for i in 1..2 loop null; end loop; "
                  "x := exp(bonus); x := tickets; if processed is null then null; end if; end;" +
                  Next),
            (Strings{"begin x := a like b; y := lpad(z, 2); for i in 1..2 loop null; end loop; "
                     "x := exp(bonus); x := tickets; if processed is null then null; end if; "
                     "end;",
                     "select 1 from dual"}));
  // First words: REM, REMARK, SET, CONNECT, DECLARE, CREATE and REPLACE.
  EXPECT_EQ(Texts("red x;\nsee x;\nrename a to b;\ncomment on table t is\n'x';\ndropped x;" + Next),
            (Strings{"red x", "see x", "rename a to b", "comment on table t is\n'x'", "dropped x",
                     "select 1 from dual"}));
  EXPECT_EQ(Texts("commit package p is x;" + Next + "reserve procedure p as x;" + Next),
            (Strings{"commit package p is x", "select 1 from dual", "reserve procedure p as x",
                     "select 1 from dual"}));
  // After CREATE: OR, PACKAGE, FUNCTION, PROCEDURE's IS or AS, and BODY.
  EXPECT_EQ(Texts("create on procedure p is x;" + Next +
                  "create profile p limit sessions_per_user 1;" + Next +
                  "create forecast f as select 1 from dual;" + Next + "create procedure p at x;"),
            (Strings{"create on procedure p is x", "select 1 from dual",
                     "create profile p limit sessions_per_user 1", "select 1 from dual",
                     "create forecast f as select 1 from dual", "select 1 from dual",
                     "create procedure p at x"}));
  const auto Package = ParseAll("create package bold is x number; end;\n/\n");
  ASSERT_EQ(Package.size(), 1u);
  EXPECT_EQ(Package[0].UnitType, "PACKAGE");
  EXPECT_EQ(Package[0].Name, "BOLD");
  // A word like WRAPPED leaves strings as they are.
  EXPECT_EQ(Texts("select warning, 'a;b' from t;"), (Strings{"select warning, 'a;b' from t"}));
  // Words that differ from a keyword in their last letter only.
  EXPECT_EQ(
      Texts("REX x" + Next + "\nREMARX x" + Next + "\nSEX x" + Next + "\nCONNECX x" + Next +
            "\nselect wrappex, 'a;b' from t;"),
      (Strings{"REX x" + Next.substr(0, Next.size() - 1),
               "REMARX x" + Next.substr(0, Next.size() - 1),
               "SEX x" + Next.substr(0, Next.size() - 1),
               "CONNECX x" + Next.substr(0, Next.size() - 1), "select wrappex, 'a;b' from t"}));
  const Strings Plain = {"DECLARX a",
                         "BEGIX a",
                         "CREATX procedure p is a",
                         "create or replacx procedure p is a",
                         "create packagx p is a",
                         "create functiox f is a",
                         "create procedurx p is a",
                         "create triggex t is a",
                         "create typx t as a",
                         "create or replace editionablx procedure p is a",
                         "create or replace editioninx procedure p is a",
                         "create or replace noneditionablx procedure p is a",
                         "create or replace noteditionable procedure p is a"};
  std::string Joined;
  for (const std::string &P : Plain)
    Joined += P + ";\n";
  EXPECT_EQ(Texts(Joined), Plain);
  // Without CREATE before them, the words that name a unit open nothing.
  const Strings NoCreate = {"procedure p is a",        "function f return n is a",
                            "package p is a",          "type t is a",
                            "trigger t before x is a", "editionable procedure p is a"};
  Joined.clear();
  for (const std::string &P : NoCreate)
    Joined += P + ";\n";
  EXPECT_EQ(Texts(Joined), NoCreate);
  EXPECT_EQ(Texts("begin x := enx; y := loox; z := casx; w := begix; v := $ix; u := $enx; t := "
                  "$elsx; s := $elsix; r := $errox; end;" +
                  Next),
            (Strings{"begin x := enx; y := loox; z := casx; w := begix; v := $ix; u := $enx; t "
                     ":= $elsx; s := $elsix; r := $errox; end;",
                     "select 1 from dual"}));
  const auto Bodx = ParseAll("create package bodx is x number; end;\n/\n");
  ASSERT_EQ(Bodx.size(), 1u);
  EXPECT_EQ(Bodx[0].UnitType, "PACKAGE");
  EXPECT_EQ(Bodx[0].Name, "BODX");
}

TEST_F(ParserTest, SlashEndsOnlyInColumnOneBeforeBlankOrEnd) {
  // Indented: part of the statement.
  EXPECT_EQ(Texts("select 1 from dual\r\n /\r\nselect 2 from dual;"),
            (Strings{"select 1 from dual\r\n /\r\nselect 2 from dual"}));
  // Slash, blank and more text: ends it; the rest starts the next expression.
  EXPECT_EQ(Texts("select 1 from dual\r\n/ more words\r\n"),
            (Strings{"select 1 from dual", "more words\r\n"}));
  // "/*" opens a comment instead.
  EXPECT_EQ(Texts("select 1 from dual\r\n/* c */\r\n;"),
            (Strings{"select 1 from dual\r\n/* c */\r\n"}));
  // At the very end of the text.
  EXPECT_EQ(Texts("select 1 from dual\r\n/"), (Strings{"select 1 from dual"}));
}

TEST_F(ParserTest, SkipCommandsDropTheirWholeLine) {
  EXPECT_EQ(Texts("SET TRANSACTION READ ONLY;\r\n"
                  "set role all;\r\n"
                  "REMARK x; y\r\n"
                  "rem\r\n"
                  "REMARKS x;\r\n"
                  "PROMPT hi;\r\n"
                  "/\r\n"
                  "select 1 from dual;"),
            (Strings{"REMARKS x", "select 1 from dual"}));
  // A skip line at the end of the text leaves nothing.
  EXPECT_EQ(Texts("select 1 from dual;\r\nREM last"), (Strings{"select 1 from dual"}));
}

TEST_F(ParserTest, CommentsAndStringsHideSemicolonsAndKeywords) {
  EXPECT_EQ(Texts("select ';' from dual; select 'it''s; here' from dual;"
                  " select 1 -- ; end\r\nfrom dual; select /* ; */ 2 from dual;"),
            (Strings{"select ';' from dual", "select 'it''s; here' from dual",
                     "select 1 -- ; end\r\nfrom dual", "select /* ; */ 2 from dual"}));
  EXPECT_EQ(Texts("BEGIN\r\n  -- END;\r\n  NULL; /* END; */ x := 'END;';\r\nEND;\r\n"
                  "select 1 from dual;"),
            (Strings{"BEGIN\r\n  -- END;\r\n  NULL; /* END; */ x := 'END;';\r\nEND;",
                     "select 1 from dual"}));
  // A star inside a comment closes nothing either.
  EXPECT_EQ(Texts("select 1 /* a * b; */ from dual;"),
            (Strings{"select 1 /* a * b; */ from dual"}));
  // A slash line after a statement that ended with a semicolon is passed over.
  EXPECT_EQ(Texts("select 1 from dual;\n/\nselect 2 from dual;"),
            (Strings{"select 1 from dual", "select 2 from dual"}));
  // A semicolon right after a string or comment ends the statement.
  EXPECT_EQ(Texts("select 'a';select /* c */;select 3 -- c\n;select 4 from dual;"),
            (Strings{"select 'a'", "select /* c */", "select 3 -- c\n", "select 4 from dual"}));
  // A slash inside a comment closes nothing; an open comment or string runs to the end.
  EXPECT_EQ(Texts("select 1 /* a / b ; */ from dual; select 2 from dual;"),
            (Strings{"select 1 /* a / b ; */ from dual", "select 2 from dual"}));
  for (const char *Open : {"select /* x ;", "select 2 -- x ;", "select 'abc ;"})
    EXPECT_EQ(Texts(std::string("select 1 from dual; ") + Open),
              (Strings{"select 1 from dual", Open}));
}

TEST_F(ParserTest, EndFollowedByIfLoopOrLabelClosesOneConstruct) {
  const auto All = ParseAll("BEGIN\r\n"
                            "  LOOP\r\n"
                            "    IF a THEN NULL; END IF;\r\n"
                            "  END LOOP;\r\n"
                            "  <<lbl>> BEGIN NULL; END lbl;\r\n"
                            "END;\r\n"
                            "select 1 from dual;");
  ASSERT_EQ(All.size(), 2u);
  EXPECT_EQ(All[0].Text.substr(All[0].Text.size() - 5), "\nEND;");
  EXPECT_EQ(All[1].Text, "select 1 from dual");
}

TEST_F(ParserTest, PackageDeclarationWithIsTypeEndsOnlyAtSlashLine) {
  const auto All = ParseAll("CREATE PACKAGE pkg IS\n"
                            "  PROCEDURE a;\n"
                            "  TYPE t IS RECORD (x NUMBER);\n"
                            "END;\n"
                            "/\n"
                            "select 1 from dual;");
  ASSERT_EQ(All.size(), 2u);
  EXPECT_EQ(All[0].Text, "CREATE PACKAGE pkg IS\n  PROCEDURE a;\n"
                         "  TYPE t IS RECORD (x NUMBER);\nEND;");
  EXPECT_EQ(All[0].UnitType, "PACKAGE");
  EXPECT_EQ(All[0].Name, "PKG");
  EXPECT_EQ(All[1].Text, "select 1 from dual");
}

TEST_F(ParserTest, TriggersAreStoredUnitsAndWrappedProceduresAreNot) {
  const auto Trigger =
      ParseAll("CREATE OR REPLACE TRIGGER app.trg BEFORE INSERT ON t FOR EACH ROW\r\n"
               "BEGIN\r\n  :new.x := 1;\r\nEND;\r\nselect 1 from dual;");
  ASSERT_EQ(Trigger.size(), 2u);
  EXPECT_EQ(Trigger[0].Text, "CREATE OR REPLACE TRIGGER app.trg BEFORE INSERT ON t FOR EACH ROW\r\n"
                             "BEGIN\r\n  :new.x := 1;\r\nEND;");
  EXPECT_TRUE(Trigger[0].StoredUnit);
  EXPECT_EQ(Trigger[0].UnitType, "TRIGGER");
  EXPECT_EQ(Trigger[0].Name, "TRG");
  EXPECT_EQ(Trigger[0].Owner, "APP");

  // A wrapped procedure opens no block, so a ";" in the wrapped text ends it.
  const auto Wrapped = ParseAll("CREATE OR REPLACE PROCEDURE p WRAPPED\na000000\nab;cd\n/\n");
  ASSERT_EQ(Wrapped.size(), 2u);
  EXPECT_EQ(Wrapped[0].Text, "CREATE OR REPLACE PROCEDURE p WRAPPED\na000000\nab");
  EXPECT_FALSE(Wrapped[0].StoredUnit);
  EXPECT_EQ(Wrapped[0].UnitType, "PROCEDURE");
  EXPECT_EQ(Wrapped[0].Name, "P");
  EXPECT_EQ(Wrapped[1].Text, "cd");
  // Wrapped text is no SQL: "--" and "/*" in it open no comment.
  EXPECT_EQ(Texts("create procedure p wrapped\na0 --;\nb;"),
            (Strings{"create procedure p wrapped\na0 --", "b"}));
  EXPECT_EQ(Texts("create procedure p wrapped\na0 /* x;\n/\n"),
            (Strings{"create procedure p wrapped\na0 /* x"}));
  // A unit name that ends the text.
  const auto Last = ParseAll("create procedure p");
  ASSERT_EQ(Last.size(), 1u);
  EXPECT_EQ(Last[0].Text, "create procedure p");
  EXPECT_EQ(Last[0].Name, "P");
  EXPECT_EQ(Last[0].UnitType, "PROCEDURE");
}

// The server's error lines count from the unit keyword, and from a trigger's block.
TEST_F(ParserTest, UnitStartIsTheKeywordOrTheTriggerBody) {
  const std::string Text = "CREATE OR REPLACE\r\nPROCEDURE p IS BEGIN NULL; END;\r\n"
                           "create trigger t after delete on emp\r\ndeclare n number; "
                           "begin null; end;\r\ncreate package k is end;\r\n/\r\n"
                           "create type tt as object (a number);\r\n/\r\nselect 1 from dual;";
  TScript Script;
  Script.SetText(Text);
  TExpression E;
  E.Script = &Script;
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.UnitStart, static_cast<int>(Text.find("PROCEDURE")) + 1);
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.UnitStart, static_cast<int>(Text.find("declare")) + 1);
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.UnitStart, static_cast<int>(Text.find("package")) + 1);
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.UnitStart, static_cast<int>(Text.find("type")) + 1);
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.UnitStart, 0);
}

// Command lines of Oracle's command-line tool are never sent and never join a statement: the
// ones a compile run acts on are expressions of their own, the rest are passed over.
TEST_F(ParserTest, ToolCommandLinesStandAlone) {
  const std::string Text = "PROMPT Creating 'tables' ...; now\r\n"
                           "CREATE TABLE h AS SELECT * FROM emp WHERE 1=0;\r\n"
                           "SHOW ERRORS\r\n"
                           "col ename format a10 -\r\n  heading 'Name'\r\n"
                           "spo x.log\r\ndef x = 1\r\nDESC emp\r\npause\r\n! ls\r\n"
                           "CREATE OR REPLACE PROCEDURE p IS\r\nBEGIN\r\n"
                           "  DELETE FROM emp WHERE deptno = 30;\r\n  COMMIT;\r\nEND;\r\n/\r\n"
                           "WHENEVER SQLERROR EXIT SQL.SQLCODE\r\n"
                           "whenever oserror exit\r\n"
                           "exec p('a;b', -\r\n  2);\r\n"
                           "DISCONNECT\r\nsta other.sql arg\r\nWhenever SqlError Continue\r\n"
                           "quit\r\n";
  TScript Script;
  Script.SetText(Text);
  std::vector<std::pair<std::string, TToolCommand>> Got;
  TExpression E;
  E.Script = &Script;
  for (Script.Parser()->ParseExpression(E); E.Length != 0; Script.Parser()->ParseExpression(E)) {
    Got.emplace_back(ExpressionText(E), E.Command);
    if (E.Name == "P") {
      EXPECT_TRUE(E.StoredUnit);
    }
  }
  using C = TToolCommand;
  EXPECT_EQ(Got, (std::vector<std::pair<std::string, TToolCommand>>{
                     {"CREATE TABLE h AS SELECT * FROM emp WHERE 1=0", C::None},
                     {"CREATE OR REPLACE PROCEDURE p IS\r\nBEGIN\r\n  DELETE FROM emp WHERE "
                      "deptno = 30;\r\n  COMMIT;\r\nEND;",
                      C::None},
                     {"WHENEVER SQLERROR EXIT SQL.SQLCODE", C::WheneverErrorExit},
                     {"exec p('a;b', -\r\n  2);", C::Execute},
                     {"sta other.sql arg", C::Start},
                     {"Whenever SqlError Continue", C::WheneverErrorContinue},
                     {"quit", C::Exit}}));

  // Words that begin SQL are not abbreviations of a command.
  EXPECT_EQ(Texts("DELETE FROM t;\r\nSAVEPOINT a;\r\nCOMMENT ON TABLE t IS 'x';\r\n"
                  "LOCK TABLE t IN SHARE MODE;"),
            (Strings{"DELETE FROM t", "SAVEPOINT a", "COMMENT ON TABLE t IS 'x'",
                     "LOCK TABLE t IN SHARE MODE"}));
}

// Newer PL/SQL keeps a unit one expression: CASE statements and expressions, object types and
// their bodies, EDITIONABLE, conditional compilation and q-quoted literals.
TEST_F(ParserTest, NewerPlsqlStaysOneUnit) {
  const std::string Case = "CREATE OR REPLACE EDITIONABLE PROCEDURE p IS\n  n NUMBER;\nBEGIN\n"
                           "  CASE n WHEN 1 THEN DELETE FROM t; ELSE NULL; END CASE;\n"
                           "  n := CASE WHEN n > 1 THEN 2 ELSE 3 END;\n"
                           "  $IF DBMS_DB_VERSION.VER_LE_10 $THEN IF n > 0 THEN NULL; END IF;\n"
                           "  $ELSE IF n > 0 THEN NULL; END IF; $END\n"
                           "  $ERROR 'x' $END\n"
                           "  n := LENGTH(q'[it's; END;]') + LENGTH(nq'{a'b}');\n"
                           "END;\n/\nselect 1 from dual;";
  const auto Unit = ParseAll(Case);
  ASSERT_EQ(Unit.size(), 2u) << ::testing::PrintToString(Texts(Case));
  EXPECT_TRUE(Unit[0].StoredUnit);
  EXPECT_EQ(Unit[0].UnitType, "PROCEDURE");
  EXPECT_EQ(Unit[0].Name, "P");
  EXPECT_EQ(Unit[1].Text, "select 1 from dual");
  // An inner block's END and semicolon: the IF after them opens a construct again.
  EXPECT_EQ(Texts("begin begin null; end; if x then null; end if; end;\nselect 1 from dual;"),
            (Strings{"begin begin null; end; if x then null; end if; end;", "select 1 from dual"}));
  // q-quoted literals: an upper-case NQ, a delimiter that is also the closing character.
  EXPECT_EQ(Texts("select NQ'[a;]', q'#'#', q'[]' from dual; select 2 from dual;"),
            (Strings{"select NQ'[a;]', q'#'#', q'[]' from dual", "select 2 from dual"}));
  EXPECT_EQ(Texts("select q'[a]';select 2 from dual;"),
            (Strings{"select q'[a]'", "select 2 from dual"}));
  // A quote inside: after an upper-case NQ, and with the q first in the text.
  EXPECT_EQ(Texts("select NQ'[it's;]' from dual; select 2 from dual;"),
            (Strings{"select NQ'[it's;]' from dual", "select 2 from dual"}));
  EXPECT_EQ(Texts("q'[it's;]';select 2 from dual;"), (Strings{"q'[it's;]'", "select 2 from dual"}));
  EXPECT_EQ(Texts("nq'[it's;]';select 2 from dual;"),
            (Strings{"nq'[it's;]'", "select 2 from dual"}));
  // $ERROR ... $END pairs as $IF ... $END does: the branch around it still counts once.
  EXPECT_EQ(Texts("begin\n$if a $then $error 'x' $end if x then $else if y then $end null; end "
                  "if;\nend;\nselect 1 from dual;"),
            (Strings{"begin\n$if a $then $error 'x' $end if x then $else if y then $end null; "
                     "end if;\nend;",
                     "select 1 from dual"}));
  // A stray $ELSE or $END opens no branch: the block still ends at its END.
  EXPECT_EQ(Texts("begin $else null; end;\nselect 1 from dual;"),
            (Strings{"begin $else null; end;", "select 1 from dual"}));
  EXPECT_EQ(Texts("begin $end if x then null; end if; end;\nselect 1 from dual;"),
            (Strings{"begin $end if x then null; end if; end;", "select 1 from dual"}));
  // $ELSIF starts a later branch as $ELSE does; a word that only begins like it is no branch.
  EXPECT_EQ(Texts("begin $if a $then if x then $elsif b $then if y then $end null; end if; end;\n"
                  "select 1 from dual;"),
            (Strings{"begin $if a $then if x then $elsif b $then if y then $end null; end if; end;",
                     "select 1 from dual"}));
  EXPECT_EQ(
      Texts("begin $if a $then if x then $elsix null; end if; $end end;\nselect 1 from dual;"),
      (Strings{"begin $if a $then if x then $elsix null; end if; $end end;",
               "select 1 from dual"}));
  // After $END the block's own words count again.
  EXPECT_EQ(Texts("begin $if x $then null; $else null; $end end;\nselect 1 from dual;"),
            (Strings{"begin $if x $then null; $else null; $end end;", "select 1 from dual"}));
  const auto Noneditionable = ParseAll("CREATE OR REPLACE NONEDITIONABLE PROCEDURE p IS BEGIN "
                                       "x := q'<a;>' || Q'(b;)'; END;\nselect 1 from dual;");
  ASSERT_EQ(Noneditionable.size(), 2u);
  EXPECT_TRUE(Noneditionable[0].StoredUnit);
  EXPECT_EQ(Noneditionable[0].Name, "P");
  EXPECT_EQ(Noneditionable[1].Text, "select 1 from dual");
  const auto Editioning = ParseAll("CREATE OR REPLACE EDITIONING PROCEDURE p IS BEGIN NULL; "
                                   "END;\nselect 1 from dual;");
  ASSERT_EQ(Editioning.size(), 2u);
  EXPECT_TRUE(Editioning[0].StoredUnit);

  const auto Types = ParseAll("CREATE OR REPLACE TYPE pt AS OBJECT (x NUMBER,\n"
                              "  MEMBER FUNCTION len RETURN NUMBER);\n/\n"
                              "CREATE TYPE BODY pt AS\n  MEMBER FUNCTION len RETURN NUMBER IS\n"
                              "  BEGIN RETURN x; END;\nEND;\n/\n"
                              "CREATE TYPE nums AS TABLE OF NUMBER;\n/\n");
  ASSERT_EQ(Types.size(), 3u);
  EXPECT_EQ(Types[0].Text, "CREATE OR REPLACE TYPE pt AS OBJECT (x NUMBER,\n"
                           "  MEMBER FUNCTION len RETURN NUMBER);");
  EXPECT_EQ(Types[0].UnitType, "TYPE");
  EXPECT_EQ(Types[0].Name, "PT");
  EXPECT_TRUE(Types[0].StoredUnit);
  EXPECT_TRUE(Types[2].StoredUnit);
  EXPECT_EQ(Types[1].UnitType, "TYPE BODY");
  EXPECT_TRUE(Types[1].StoredUnit);
  EXPECT_EQ(Types[2].Name, "NUMS");
  // A q followed by a quote inside a word, or by a quote and a blank, is an ordinary string.
  EXPECT_EQ(Texts("select 'q' || xq'a' from dual; select 2 from dual;"),
            (Strings{"select 'q' || xq'a' from dual", "select 2 from dual"}));
  EXPECT_EQ(Texts("select q' a;' from dual; select 2 from dual ' x;"),
            (Strings{"select q' a;' from dual", "select 2 from dual ' x;"}));
}

TEST_F(ParserTest, QuotedOwnerIsTakenAsTheName) {
  const auto All = ParseAll("CREATE PROCEDURE \"app\".\"p\" IS BEGIN NULL; END;");
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Name, "APP");
  EXPECT_EQ(All[0].Owner, "SCOTT");
}

TEST_F(ParserTest, OwnerFollowsTheConnectedUser) {
  Database->SetUser("adams");
  const auto All = ParseAll("CREATE PROCEDURE q IS BEGIN NULL; END;");
  Database->SetUser("scott");
  ASSERT_EQ(All.size(), 1u);
  EXPECT_EQ(All[0].Owner, "ADAMS");
  // Within one run, each expression takes the user of its moment.
  TScript Script;
  Script.SetText("select 1 from dual;\nselect 2 from dual;\nselect 3 from dual;");
  TExpression E;
  E.Script = &Script;
  Strings Owners;
  for (const char *User : {"adams", "a_user_name_longer_than_sixteen", "scott"}) {
    Database->SetUser(User);
    Script.Parser()->ParseExpression(E);
    Owners.push_back(E.Owner);
  }
  EXPECT_EQ(Owners, (Strings{"ADAMS", "A_USER_NAME_LONGER_THAN_SIXTEEN", "SCOTT"}));
}

TEST_F(ParserTest, TextWithoutExpressionsEndsAtOnce) {
  for (const char *Text : {"", "   \r\n\t", "  /* x */ -- y\r\n  ", "/* open", "'open", "-- x"}) {
    TScript Script;
    Script.SetText(Text);
    TExpression E;
    E.Script = &Script;
    Script.Parser()->ParseExpression(E);
    EXPECT_EQ(E.Length, 0) << Text;
    EXPECT_GT(Script.Parser()->Pos(), static_cast<int>(Script.Text().size())) << Text;
  }
  // A position before the text reads from its start.
  TParser Parser("select 1 from dual; select 2 from dual;");
  Parser.SetPos(0);
  TExpression E;
  Parser.ParseExpression(E);
  EXPECT_EQ(E.Start, 1);
  EXPECT_EQ(E.Length, 18);
}

TEST_F(ParserTest, UnterminatedBlockStaysInsideTheText) {
  const auto All = ParseAll("select 1 from dual;\r\nBEGIN NULL;");
  ASSERT_EQ(All.size(), 2u);
  EXPECT_EQ(All[1].Text, "BEGIN NULL;");
  EXPECT_EQ(All[1].Start + static_cast<int>(All[1].Text.size()) - 1, 32);

  TScript Script;
  Script.SetText("BEGIN NULL;");
  TExpression E;
  E.Script = &Script;
  Script.Parser()->ParseExpression(E);
  EXPECT_EQ(E.Length, 11);
}

TEST_F(ParserTest, SlashLineWithLoneLineFeedsKeepsTheStatement) {
  EXPECT_EQ(Texts("select 1 from dual\n/\nselect 2 from dual\n/\n"),
            (Strings{"select 1 from dual", "select 2 from dual"}));
  const auto Block = ParseAll("CREATE PACKAGE BODY b WRAPPED\nxyz\n/\n");
  ASSERT_EQ(Block.size(), 1u);
  EXPECT_EQ(Block[0].Text, "CREATE PACKAGE BODY b WRAPPED\nxyz");
}

TEST_F(ParserTest, EmptyStatementsDoNotEndTheScript) {
  EXPECT_EQ(Texts("select 1 from dual;;\r\n;\r\nselect 2 from dual;"),
            (Strings{"select 1 from dual", "select 2 from dual"}));
  EXPECT_EQ(Texts("REM x\r\n;select 3 from dual"), (Strings{"select 3 from dual"}));
  EXPECT_EQ(Texts(";"), Strings{});
}

TEST_F(ParserTest, OnlyASlashLineTrimsASlash) {
  // A line command or statement that merely ends in "/" keeps all its characters.
  EXPECT_EQ(Texts("CONNECT scott/\r\nselect 1 from dual;"),
            (Strings{"CONNECT scott/\r", "select 1 from dual"}));
  EXPECT_EQ(Texts("select 6 from dual /"), (Strings{"select 6 from dual /"}));
}

TEST(ParserTokens, TokensAreDelimitersOrRunsOfWordCharacters) {
  TParser Parser("END_DATE X$Y a?b ;\xE9\x7F");
  Strings Tokens;
  for (std::string T = Parser.NextToken(); !T.empty(); T = Parser.NextToken())
    Tokens.push_back(T);
  EXPECT_EQ(Tokens, (Strings{"END_DATE", " ", "X$Y", " ", "a?b", " ", ";", "\xE9\x7F"}));
  EXPECT_EQ(Parser.Pos(), 21);

  // The delimiter set: blanks and the printable characters that are neither letters nor
  // digits, except "$", "?" and "_".
  const std::string Delimiters = "\t\n\r !\"#%&'()*+,-./:;<=>@[\\]^`{|}~";
  for (int C = 1; C < 256; ++C) {
    TParser Pair(std::string("A") + static_cast<char>(C) + "B");
    const bool Expected = Delimiters.find(static_cast<char>(C)) != std::string::npos;
    EXPECT_EQ(Pair.NextToken() == "A", Expected) << "byte " << C;
  }
}

TEST(ParserTokens, SkipBlanksPassesCommentsAndStrings) {
  TParser Parser("  /* a */\r\n-- b\r\n'str' x");
  Parser.SkipBlanks();
  EXPECT_EQ(Parser.Pos(), 24);
  EXPECT_FALSE(Parser.SkipComment());

  TParser Open("/*x");
  EXPECT_TRUE(Open.SkipComment());
  EXPECT_EQ(Open.Pos(), 5); // past the closer's length, beyond the text
  TParser Quote("'ab''cd' z");
  EXPECT_TRUE(Quote.SkipComment());
  EXPECT_EQ(Quote.Pos(), 9); // two literals in a row
}

TEST(ScriptModel, SetTextSetsStepAndAFreshParser) {
  TScript Script;
  EXPECT_DOUBLE_EQ(Script.Step(), 0.001);
  EXPECT_EQ(Script.Parser(), nullptr);
  Script.SetText("abcd");
  EXPECT_DOUBLE_EQ(Script.Step(), 25.0);
  EXPECT_EQ(&Script.Parser()->Text(), &Script.Text()); // one copy of the text
  Script.Parser()->SetPos(3);
  Script.SetText("");
  EXPECT_DOUBLE_EQ(Script.Step(), 0.0);
  EXPECT_EQ(Script.Parser()->Pos(), 1);
}

TEST(ScriptModel, CollectionOwnsScriptsThatRemoveThemselves) {
  auto Scripts = std::make_unique<TScripts>();
  TScript *First = Scripts->Add();
  TScript *Second = Scripts->Add();
  Scripts->Add();
  EXPECT_EQ(Scripts->Count(), 3);
  EXPECT_EQ(Scripts->Item(1), Second);
  delete Second;
  EXPECT_EQ(Scripts->Count(), 2);
  EXPECT_EQ(Scripts->Item(0), First);
  EXPECT_THROW(Scripts->Item(2), std::out_of_range);
  Scripts.reset(); // frees the rest
}

TEST(ScriptModel, ExpressionListReleasesAndPacks) {
  TExpressionList List;
  auto *A = new TExpression;
  auto *B = new TExpression;
  auto *C = new TExpression;
  EXPECT_EQ(List.Add(A), 0);
  EXPECT_EQ(List.Add(B), 1);
  EXPECT_EQ(List.Add(C), 2);
  List.Put(0, nullptr);
  List.Put(1, nullptr);
  EXPECT_EQ(List.Get(0), nullptr);
  EXPECT_EQ(List.Count(), 3);
  List.Pack();
  EXPECT_EQ(List.Count(), 1);
  EXPECT_EQ(List.IndexOf(C), 0);
  EXPECT_EQ(List.IndexOf(A), -1);
  EXPECT_THROW(List.Get(5), std::out_of_range);
  // Putting back the record an entry holds keeps it (the list still releases it once).
  List.Put(0, C);
  EXPECT_EQ(List.Get(0), C);
}

TEST(ScriptModel, ExpressionTextIsClippedToTheScript) {
  TScript Script;
  Script.SetText("abcdef");
  TExpression E;
  EXPECT_EQ(ExpressionText(E), "");
  E.Start = 1;
  E.Length = 3;
  EXPECT_EQ(ExpressionText(E), ""); // no script
  E.Script = &Script;
  E.Start = 4;
  E.Length = 10;
  EXPECT_EQ(ExpressionText(E), "def");
  E.Start = 9;
  EXPECT_EQ(ExpressionText(E), "");
  E.Start = 0;
  EXPECT_EQ(ExpressionText(E), "");
}

TEST(ScriptErrors, AddErrorOpensTheWindowAndAppendsOneLine) {
  TFakeScriptWindows Windows;
  TScript Script;
  Script.SetFileName("/work/a.sql");
  Script.AddError("first line\nsecond line\n", 7);
  ASSERT_EQ(Windows.Created, (Strings{"/work/a.sql"}));
  TEditForm *Form = Script.EditForm();
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->ShowCount, 1);
  EXPECT_EQ(Windows.SplitterMoves, (std::vector<int>{200}));
  ASSERT_EQ(Form->Errors.size(), 1u);
  EXPECT_EQ(Form->Errors[0].first, "first line\xA0second line");
  EXPECT_EQ(Form->Errors[0].second, 7);

  // The list is open now: no further splitter move, no second window.
  Script.AddError("again", 0);
  EXPECT_EQ(Windows.Created.size(), 1u);
  EXPECT_EQ(Windows.SplitterMoves.size(), 1u);
  EXPECT_EQ(Form->ShowCount, 2);
  EXPECT_EQ(Form->Errors.back(), std::make_pair(std::string("again"), 0));
}

TEST(ScriptErrors, AddErrorUsesTheScriptsOwnWindow) {
  TFakeScriptWindows Windows;
  TEditForm *Form = Windows.Open("/work/b.sql", "x");
  Form->ErrorListHeight = 50;
  TScript Script;
  Script.SetEditForm(Form);
  Script.AddError("only\n\n", 3);
  EXPECT_TRUE(Windows.Created.empty());
  EXPECT_TRUE(Windows.SplitterMoves.empty());
  ASSERT_EQ(Form->Errors.size(), 1u);
  EXPECT_EQ(Form->Errors[0].first, "only\xA0");
}

TEST(ScriptErrors, AddErrorWithoutWindowsIsHarmless) {
  TScript Script;
  Script.SetFileName("x.sql");
  Script.AddError("nowhere", 1);
  EXPECT_EQ(Script.EditForm(), nullptr);
  // Windows that cannot open an editor for the script: nothing is shown.
  struct TNoEditor : TFakeScriptWindows {
    TEditForm *CreateEditForm(const std::string &AFileName) override {
      Created.push_back(AFileName);
      return nullptr;
    }
  } Windows;
  Script.AddError("still nowhere", 1);
  EXPECT_EQ(Windows.Created, std::vector<std::string>{"x.sql"});
  EXPECT_EQ(Script.EditForm(), nullptr);
}

TEST(ScriptFiles, IncludeNamesResolveAgainstMainOrIncludingFolder) {
  const std::string Main = "/m/main.sql", Including = "/i/sub/inc.sql";
  EXPECT_EQ(IncludeFileName("@x", Main, Including), "/m/x.sql");
  EXPECT_EQ(IncludeFileName("@@x", Main, Including), "/i/sub/x.sql");
  EXPECT_EQ(IncludeFileName("@x.txt\r", Main, Including), "/m/x.txt");
  EXPECT_EQ(IncludeFileName("@/abs/x", Main, Including), "/abs/x.sql");
  EXPECT_EQ(IncludeFileName("@@rel/x.pkb", Main, Including), "rel/x.pkb");
  EXPECT_EQ(IncludeFileName("@ x \t\r", Main, Including), "/m/ x.sql");
  EXPECT_EQ(IncludeFileName("@x", "", Including), "x.sql");
  EXPECT_EQ(IncludeFileName("@a.b/x", Main, Including), "a.b/x.sql");
  EXPECT_EQ(IncludeFileName("@", Main, Including), "/m/.sql");
}

TEST(ScriptFiles, EditorLineBreaksFollowTheEditorsLineSplit) {
  EXPECT_EQ(EditorLineBreaks("a\nb\r\nc\rd"), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(EditorLineBreaks("a\n\rb"), "a\r\n\r\nb\r\n"); // LF then CR: two breaks
  EXPECT_EQ(EditorLineBreaks("a\r\n"), "a\r\n");
  EXPECT_EQ(EditorLineBreaks("\n\n"), "\r\n\r\n");
  EXPECT_EQ(EditorLineBreaks(""), "");
  EXPECT_EQ(EditorLineBreaks(std::string_view("a\0b", 3)), "a\r\n");
}
