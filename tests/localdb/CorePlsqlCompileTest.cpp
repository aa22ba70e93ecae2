// Below the contract: PL/SQL compile errors with Oracle's numbers, texts, lines and positions;
// stored units with their source, status and errors; anonymous blocks failing with ORA-06550.
#include "PlsqlTestUtil.h"

#include "localdb/plsql/PlsqlParser.h"
#include "localdb/sql/SqlLexer.h"

using plsqltest::ScottSession;
using PlsqlCompile = ScottSession;
using PlsqlUnits = ScottSession;

namespace {

// The first line of each error as "line/position text".
std::vector<std::string> firstLines(const std::vector<localdb::plsql::PlacedError> &errors) {
  std::vector<std::string> out;
  for (const auto &e : errors)
    out.push_back(std::to_string(e.line) + "/" + std::to_string(e.position) + " " +
                  e.text.substr(0, e.text.find('\n')));
  return out;
}

} // namespace

TEST(PlsqlLexer, DelimitersOfPlsql) {
  auto t = localdb::tokenize("x := 1..n; f(a => 2); r%rowtype; <<l>> 2**3", true);
  std::vector<std::string> ops;
  for (const auto &k : t)
    if (k.kind == localdb::Tok::Op)
      ops.push_back(k.text);
  EXPECT_EQ(ops, (std::vector<std::string>{":=", "..", ";", "(", "=>", ")", ";", "%", ";", "<<",
                                           ">>", "**"}));
  // SQL keeps its own reading of the same text.
  EXPECT_THROW(localdb::tokenize("r%rowtype"), localdb::OraError);
}

TEST(PlsqlParser, LineMapCountsFromOne) {
  localdb::plsql::LineMap m("ab\ncd\n\nef");
  EXPECT_EQ(m.line(0), 1);
  EXPECT_EQ(m.column(0), 1);
  EXPECT_EQ(m.line(4), 2);
  EXPECT_EQ(m.column(4), 2);
  EXPECT_EQ(m.line(7), 4);
  EXPECT_EQ(m.column(8), 2);
}

TEST(PlsqlParser, SyntaxErrorsRecoverAndContinue) {
  std::vector<localdb::plsql::CompileError> errors;
  std::string text = "procedure p(a varchar2(10)) is\nbegin\n  null\nend;";
  localdb::plsql::parseUnit(text, false, errors);
  ASSERT_EQ(errors.size(), 2u);
  // The classic: a length in a formal parameter, read on as a default.
  EXPECT_EQ(errors[0].pos, 22);
  EXPECT_EQ(errors[0].text, "PLS-00103: Encountered the symbol \"(\" when expecting one of the "
                            "following:\n\n   := . ) , @ % default character\nThe symbol \":=\" "
                            "was substituted for \"(\" to continue.");
  EXPECT_EQ(errors[1].text, "PLS-00103: Encountered the symbol \"END\" when expecting one of the "
                            "following:\n\n   ;\nThe symbol \";\" was substituted for \"END\" to "
                            "continue.");
  // The end of the text is end-of-file.
  errors.clear();
  localdb::plsql::parseUnit("begin\n  x := 1;\n", true, errors);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].text.substr(0, 47), "PLS-00103: Encountered the symbol \"end-of-file\"");
}

TEST(PlsqlParser, AnyBytesGiveATreeOrErrors) {
  // Deep nesting and stray characters end in errors, not in a crash.
  std::string deep =
      "begin x := " + std::string(5000, '(') + "1" + std::string(5000, ')') + "; end;";
  std::vector<localdb::plsql::CompileError> errors;
  localdb::plsql::parseUnit(deep, true, errors);
  EXPECT_FALSE(errors.empty());
  errors.clear();
  localdb::plsql::parseUnit(std::string("begin \x01 'open"), true, errors);
  EXPECT_FALSE(errors.empty());
  errors.clear();
  std::string many;
  for (int i = 0; i < 1000; ++i)
    many += "x y z;\n";
  localdb::plsql::parseUnit("begin\n" + many + "end;", true, errors);
  EXPECT_LE(errors.size(), static_cast<size_t>(localdb::plsql::kMaxCompileErrors));
}

TEST_F(PlsqlCompile, BinderErrorsAtOraclesPositions) {
  auto errs = [&](const std::string &text) {
    return firstLines(localdb::plsql::compileOnly(*session, text, false));
  };
  EXPECT_EQ(errs("procedure p is\n  x number;\nbegin\n  x := y;\nend;"),
            (std::vector<std::string>{"4/8 PLS-00201: identifier 'Y' must be declared",
                                      "4/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\nbegin\n  dbms_output.put_lin('a');\nend;"),
            (std::vector<std::string>{"3/15 PLS-00302: component 'PUT_LIN' must be declared",
                                      "3/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\nbegin\n  dbms_output.put_line('a', 'b');\nend;"),
            (std::vector<std::string>{
                "3/3 PLS-00306: wrong number or types of arguments in call to 'PUT_LINE'",
                "3/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\n  b boolean;\nbegin\n  b := 1;\nend;"),
            (std::vector<std::string>{"4/8 PLS-00382: expression is of wrong type",
                                      "4/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\n  n number;\nbegin\n  select ename into n from nosuch;\nend;"),
            (std::vector<std::string>{"4/28 PL/SQL: ORA-00942: table or view does not exist",
                                      "4/3 PL/SQL: SQL Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\n  n number;\nbegin\n  select nocol into n from emp;\nend;"),
            (std::vector<std::string>{"4/10 PL/SQL: ORA-00904: invalid column name",
                                      "4/3 PL/SQL: SQL Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\nbegin\n  select ename from emp;\nend;"),
            (std::vector<std::string>{
                "3/3 PLS-00428: an INTO clause is expected in this SELECT statement",
                "3/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p(a in number) is\nbegin\n  a := 1;\nend;"),
            (std::vector<std::string>{
                "3/3 PLS-00363: expression 'A' cannot be used as an assignment target",
                "3/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\n  x foo;\nbegin\n  null;\nend;"),
            (std::vector<std::string>{"2/5 PLS-00201: identifier 'FOO' must be declared",
                                      "2/3 PL/SQL: Item ignored"}));
  EXPECT_EQ(errs("procedure p(x foo) is\nbegin\n  null;\nend;"),
            (std::vector<std::string>{"1/15 PLS-00201: identifier 'FOO' must be declared",
                                      "0/0 PL/SQL: Compilation unit analysis terminated"}));
  EXPECT_EQ(errs("function f return number is\nbegin\n  return;\nend;"),
            (std::vector<std::string>{"3/3 PLS-00503: RETURN <value> statement required for "
                                      "this return from function",
                                      "3/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\nbegin\n  return 1;\nend;"),
            (std::vector<std::string>{"3/3 PLS-00372: In a procedure, RETURN statement cannot "
                                      "contain an expression",
                                      "3/3 PL/SQL: Statement ignored"}));
  // Several errors in one unit, in order.
  EXPECT_EQ(
      errs("procedure p is\nbegin\n  a := 1;\n  b := 2;\n  if 1 then null; end if;\nend;").size(),
      6u);
}

TEST_F(PlsqlUnits, StoredWithSourceStatusAndErrors) {
  EXPECT_EQ(run("create or replace procedure p1 is\n  x number;\nbegin\n  x := y;\nend;"), 0x20);
  EXPECT_EQ(status("P1", "PROCEDURE"), "INVALID");
  EXPECT_EQ(errors("P1"),
            (std::vector<std::string>{"4/8 PLS-00201: identifier 'Y' must be declared",
                                      "4/3 PL/SQL: Statement ignored"}));
  // The source from the unit keyword on, line by line with their line feeds.
  EXPECT_EQ(column("SELECT text FROM ora_source WHERE name = 'P1' ORDER BY line"),
            (std::vector<std::string>{"procedure p1 is\n", "  x number;\n", "begin\n",
                                      "  x := y;\n", "end;"}));
  // Fixed: VALID, errors gone.
  EXPECT_EQ(run("create or replace procedure p1 is\n  x number;\nbegin\n  x := 1;\nend;"), 0);
  EXPECT_EQ(status("P1", "PROCEDURE"), "VALID");
  EXPECT_TRUE(errors("P1").empty());
  // CREATE without OR REPLACE of an existing name.
  int code = 0;
  error("create procedure p1 is begin null; end;", &code);
  EXPECT_EQ(code, 955);
  // DROP of each kind; a missing one is ORA-04043.
  run("drop procedure p1");
  EXPECT_EQ(status("P1", "PROCEDURE"), "");
  EXPECT_EQ(error("drop procedure p1"), "ORA-04043: object P1 does not exist");
  run("create function f return number is begin return 1; end;");
  run("create package pk is procedure a; end;");
  run("create package body pk is procedure a is begin null; end; end;");
  EXPECT_EQ(status("PK", "PACKAGE BODY"), "VALID");
  run("drop package body pk");
  EXPECT_EQ(status("PK", "PACKAGE BODY"), "");
  EXPECT_EQ(status("PK", "PACKAGE"), "VALID");
  run("drop package pk");
  run("drop function f");
  EXPECT_TRUE(column("SELECT name FROM ora_source").empty());
}

// Real units open with licence comments; the header's words are found however far they reach,
// and what spans any fixed distance into the text is the unit's, not the header's.
TEST_F(PlsqlUnits, HeadersAreReadFromTokensWhateverComesBetween) {
  const std::string Filler(420, '*');
  EXPECT_EQ(run("create or replace\n/* " + Filler + " */\nprocedure p2 is\nbegin\n  null;\nend;"),
            0);
  EXPECT_EQ(status("P2", "PROCEDURE"), "VALID");
  EXPECT_EQ(run("create procedure p3 is\n  s varchar2(500) := '" + Filler +
                "';\n  n number := 1;\nbegin\n  n := n + 1;\nend;"),
            0);
  EXPECT_EQ(status("P3", "PROCEDURE"), "VALID");
  const std::string Pad(368, ' '); // ":=" across the 400th character
  EXPECT_EQ(run("create procedure p4 is" + Pad + "n number :=\n1; begin null; end;"), 0);
  EXPECT_EQ(status("P4", "PROCEDURE"), "VALID");
  // A lexical error inside the unit is the unit's compile error, at its line.
  EXPECT_EQ(run("create procedure p5 is\nbegin\n  null; /* open"), 0x20);
  EXPECT_EQ(status("P5", "PROCEDURE"), "INVALID");
}

// A trigger's lines count from its PL/SQL block, as Oracle counts them.
TEST_F(PlsqlUnits, TriggerErrorLinesCountFromTheBlock) {
  EXPECT_EQ(run("create trigger t1\nbefore insert on dept\nfor each row\ndeclare\n  n number;\n"
                "begin\n  n := zz;\nend;"),
            0x20);
  EXPECT_EQ(errors("T1"),
            (std::vector<std::string>{"4/8 PLS-00201: identifier 'ZZ' must be declared",
                                      "4/3 PL/SQL: Statement ignored"}));
}

TEST_F(PlsqlUnits, PackageBodiesNeedTheirSpecification) {
  EXPECT_EQ(run("create or replace package body nospec is\nend;"), 0x20);
  EXPECT_EQ(errors("NOSPEC"),
            (std::vector<std::string>{
                "1/14 PLS-00304: cannot compile body of 'NOSPEC' without its specification",
                "0/0 PL/SQL: Compilation unit analysis terminated"}));
  run("create or replace package pk is\n  procedure a;\n  procedure b;\nend;");
  EXPECT_EQ(run("create or replace package body pk is\n  procedure a is begin null; end;\nend;"),
            0x20);
  EXPECT_EQ(errors("PK"), (std::vector<std::string>{
                              "1/14 PLS-00323: subprogram or cursor 'B' is declared in a package "
                              "specification and must be defined in the package body"}));
}

TEST_F(PlsqlUnits, DependantsBecomeInvalidAndRecompile) {
  run("create or replace procedure callee is begin null; end;");
  run("create or replace procedure caller is begin callee; end;");
  EXPECT_EQ(status("CALLER", "PROCEDURE"), "VALID");
  EXPECT_EQ(column("SELECT referenced_name FROM ora_dependencies WHERE name = 'CALLER' AND "
                   "referenced_type = 'PROCEDURE'"),
            std::vector<std::string>{"CALLEE"});
  // Replacing the callee invalidates the caller; its next use recompiles it.
  run("create or replace procedure callee is begin null; null; end;");
  EXPECT_EQ(status("CALLER", "PROCEDURE"), "INVALID");
  EXPECT_EQ(error("begin caller; end;"), "");
  // A callee that no longer compiles: the caller is invalid, its caller gets PLS-00905.
  run("create or replace procedure callee is begin zzz; end;");
  EXPECT_EQ(error("begin caller; end;"),
            "ORA-06550: line 1, column 7:\nPLS-00905: object SCOTT.CALLER is invalid\n"
            "ORA-06550: line 1, column 7:\nPL/SQL: Statement ignored");
  run("alter procedure callee compile");
  EXPECT_EQ(status("CALLEE", "PROCEDURE"), "INVALID");
  // A table it uses dropped: the unit is INVALID and no longer compiles.
  run("create or replace procedure usesbonus is n number; begin select count(*) into n from "
      "bonus; end;");
  EXPECT_EQ(status("USESBONUS", "PROCEDURE"), "VALID");
  run("drop table bonus");
  EXPECT_EQ(status("USESBONUS", "PROCEDURE"), "INVALID");
  EXPECT_EQ(error("begin usesbonus; end;").substr(0, 73),
            "ORA-06550: line 1, column 7:\nPLS-00905: object SCOTT.USESBONUS is invalid");
  run("create table bonus (ename varchar2(10))");
  EXPECT_EQ(error("begin usesbonus; end;"), "");
  EXPECT_EQ(status("USESBONUS", "PROCEDURE"), "VALID");
}

TEST_F(PlsqlUnits, AnonymousBlockErrorsNameLineAndColumn) {
  int code = 0;
  EXPECT_EQ(error("declare\n  n number;\nbegin\n  n := 'a' + ;\nend;", &code),
            "ORA-06550: line 4, column 14:\nPLS-00103: Encountered the symbol \";\" when "
            "expecting one of the following:\n\n   ( - + mod not null <an identifier>\n   "
            "<a double-quoted delimited-identifier> <a bind variable> avg count\n   current "
            "exists max min prior sql stddev sum variance execute forall\n   time timestamp "
            "interval date\n   <a string literal with character set specification> <a number>\n"
            "   <a single-quoted SQL string>");
  EXPECT_EQ(code, 6550);
  EXPECT_EQ(error("begin\n  undefined_proc;\nend;"),
            "ORA-06550: line 2, column 3:\nPLS-00201: identifier 'UNDEFINED_PROC' must be "
            "declared\nORA-06550: line 2, column 3:\nPL/SQL: Statement ignored");
}

TEST_F(PlsqlCompile, BranchesArgumentsAndHandlersAreChecked) {
  auto errs = [&](const std::string &text) {
    return firstLines(localdb::plsql::compileOnly(*session, text, false));
  };
  const std::string illegalGoto = " PLS-00375: illegal GOTO statement; this GOTO cannot branch to "
                                  "label 'L'";
  // GOTO into an IF, a sub-block or a loop, and from a handler back into its block.
  EXPECT_EQ(errs("procedure p is\nbegin\n  goto l;\n  if true then\n    <<l>> null;\n  end "
                 "if;\nend;"),
            std::vector<std::string>{"3/3" + illegalGoto});
  EXPECT_EQ(errs("procedure p is\nbegin\n  goto l;\n  begin\n    <<l>> null;\n  end;\nend;"),
            std::vector<std::string>{"3/3" + illegalGoto});
  EXPECT_EQ(errs("procedure p is\nbegin\n  goto l;\n  loop\n    <<l>> null;\n  end loop;\nend;"),
            std::vector<std::string>{"3/3" + illegalGoto});
  EXPECT_EQ(errs("procedure p is\nbegin\n  <<l>> null;\nexception\n  when others then\n    goto "
                 "l;\nend;"),
            std::vector<std::string>{"6/5" + illegalGoto});
  // Allowed: forward and back in the same list, out to an enclosing one, from a handler out.
  EXPECT_EQ(errs("procedure p is\nbegin\n  <<top>> null;\n  begin\n    if true then goto fin; "
                 "end if;\n    goto top;\n  exception when others then goto fin;\n  end;\n  "
                 "<<fin>> null;\nend;"),
            std::vector<std::string>{});
  EXPECT_EQ(errs("procedure p is\nbegin\n  exit;\nend;"),
            std::vector<std::string>{
                "3/3 PLS-00376: illegal EXIT statement; it must appear inside a loop"});
  EXPECT_EQ(errs("procedure p is\nbegin\n  loop\n    begin\n      exit;\n    exception when "
                 "others then exit;\n    end;\n  end loop;\nend;"),
            std::vector<std::string>{});
  // A positional argument after a named one; one exception in two handlers.
  EXPECT_EQ(errs("procedure p(a number, b number) is\nbegin\n  p(a => 1, 2);\nend;"),
            (std::vector<std::string>{"3/13 PLS-00312: a positional parameter association may "
                                      "not follow a named association",
                                      "3/3 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\nbegin\n  null;\nexception\n  when no_data_found then null;\n  "
                 "when zero_divide or no_data_found then null;\nend;"),
            std::vector<std::string>{"6/23 PLS-00483: exception 'NO_DATA_FOUND' may appear in at "
                                     "most one exception handler in this block"});
  // A subprogram called before its declaration; a constant without its value.
  EXPECT_EQ(errs("procedure p is\n  procedure a is begin b; end;\n  procedure b is begin null; "
                 "end;\nbegin\n  a;\nend;"),
            (std::vector<std::string>{"2/24 PLS-00313: 'B' not declared in this scope",
                                      "2/24 PL/SQL: Statement ignored"}));
  EXPECT_EQ(errs("procedure p is\n  c constant number;\nbegin\n  null;\nend;"),
            (std::vector<std::string>{"2/3 PLS-00322: declaration of a constant 'C' must contain "
                                      "an initialization assignment",
                                      "2/3 PL/SQL: Item ignored"}));
}

TEST_F(PlsqlUnits, MissingPackageBodyAndTriggerTable) {
  run("create or replace package pk is x number := 1; procedure p; end;");
  EXPECT_EQ(error("begin pk.p; end;"),
            "ORA-04067: not executed, package body \"SCOTT.PK\" does not exist\nORA-06508: "
            "PL/SQL: could not find program unit being called\nORA-06512: at line 1");
  EXPECT_EQ(error("begin pk.x := 2; end;"), "");
  int code = 0;
  EXPECT_EQ(
      error("create trigger nt before insert on no_such_table for each row begin null; end;", &code)
          .substr(0, 9),
      "ORA-00942");
  EXPECT_EQ(code, 942);
  EXPECT_EQ(status("NT", "TRIGGER"), "");
}
