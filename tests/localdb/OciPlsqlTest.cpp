// Through the call contract: PL/SQL blocks with bind variables, stored units with the compile
// warning, run-time errors with their ORA-06512 lines, DBMS output, and a break.
#include <atomic>
#include <chrono>
#include <thread>

#include "OciTestUtil.h"

using namespace ocitest;
using Plsql = Scott;

TEST_F(Plsql, Binds_InOutAndInOut) {
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  const char *block = "begin :r := :a + :b; :s := upper(:t) || :s; end;";
  ASSERT_EQ(oparse(&cda, (text *)block, -1, 0, 2), 0) << message(lda, rcOf(cda));
  sword a = 40, r = 0;
  char b[] = "2", t[] = "abc";
  char s[20] = "!";
  sb2 sInd = 0, rInd = -1;
  ub2 sLen = 1;
  ASSERT_EQ(obndra(&cda, (text *)":A", -1, (ub1 *)&a, sizeof a, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":B", -1, (ub1 *)b, -1, 5, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":T", -1, (ub1 *)t, -1, 5, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":R", -1, (ub1 *)&r, sizeof r, 3, -1, &rInd, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":S", -1, (ub1 *)s, sizeof s, 1, -1, &sInd, &sLen, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(r, 42);
  EXPECT_EQ(rInd, 0);
  EXPECT_EQ(std::string(s, sLen), "ABC!");
  // Executed again with new input: the block is compiled once, run twice.
  a = 1;
  sLen = 0;
  sInd = -1;
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(r, 3);
  EXPECT_EQ(std::string(s, sLen), "ABC");
  oclose(&cda);
  // A variable the block uses but nobody bound.
  std::string err;
  EXPECT_EQ(exec("begin :x := 1; end;", &err), 1008);
  EXPECT_EQ(err, "ORA-01008: not all variables bound");
}

TEST_F(Plsql, Units_CompileWarningAndErrorsView) {
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  const char *unit = "create or replace procedure broken is\nbegin\n  x := 1;\nend;";
  // A unit with errors is stored: success, with the compile warning set.
  ASSERT_EQ(oparse(&cda, (text *)unit, -1, 0, 2), 0);
  EXPECT_EQ(cda.area[OCI_CDA_WRN] & 0x20, 0x20);
  EXPECT_EQ(functionCodeOf(cda), 24); // CREATE PROCEDURE
  oclose(&cda);
  EXPECT_EQ(query("select line, position, text from user_errors where name = 'BROKEN' order by "
                  "sequence"),
            (std::vector<std::vector<std::string>>{
                {"3", "3", "PLS-00201: identifier 'X' must be declared"},
                {"3", "3", "PL/SQL: Statement ignored"}}));
  EXPECT_EQ(value("select status from user_objects where object_name = 'BROKEN'"), "INVALID");
  EXPECT_EQ(query("select line, text from user_source where name = 'BROKEN' order by line")[1],
            (std::vector<std::string>{"2", "begin\n"}));
  EXPECT_EQ(exec("create or replace procedure broken is\nbegin\n  null;\nend;"), 0);
  EXPECT_EQ(value("select count(*) from user_errors"), "0");
  EXPECT_EQ(value("select status from user_objects where object_name = 'BROKEN'"), "VALID");
}

TEST_F(Plsql, Errors_RunTimeWithTheirLines) {
  exec("create or replace procedure thrower(n number) is\n  x number;\nbegin\n"
       "  select sal into x from emp where empno = n;\nend;");
  std::string err;
  EXPECT_EQ(exec("begin\n  thrower(1);\nend;", &err), 1403);
  EXPECT_EQ(err, "ORA-01403: no data found\nORA-06512: at \"SCOTT.THROWER\", line 4\n"
                 "ORA-06512: at line 2");
  EXPECT_EQ(exec("begin raise_application_error(-20042, 'custom text'); end;", &err), 20042);
  EXPECT_EQ(err, "ORA-20042: custom text\nORA-06512: at line 1");
  EXPECT_EQ(exec("declare e exception; begin raise e; end;", &err), 6510);
  EXPECT_EQ(err, "ORA-06510: PL/SQL: unhandled user-defined exception\nORA-06512: at line 1");
  EXPECT_EQ(exec("begin\n  nosuch := 1;\nend;", &err), 6550);
  EXPECT_EQ(err, "ORA-06550: line 2, column 3:\nPLS-00201: identifier 'NOSUCH' must be declared\n"
                 "ORA-06550: line 2, column 3:\nPL/SQL: Statement ignored");
  // A failed block leaves the logon usable and its changes to the caller.
  EXPECT_EQ(value("select count(*) from emp"), "14");
}

TEST_F(Plsql, DbmsOutput_GetLineThroughBinds) {
  ASSERT_EQ(exec("begin dbms_output.enable(2000); dbms_output.put_line('first'); "
                 "dbms_output.put('sec'); dbms_output.put_line('ond'); end;"),
            0);
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  ASSERT_EQ(oparse(&cda, (text *)"begin dbms_output.get_line(:l, :s); end;", -1, 0, 2), 0);
  char line[256];
  sb2 lineInd = 0;
  ub2 lineLen = 0;
  sword status = -1;
  obndra(&cda, (text *)":L", -1, (ub1 *)line, sizeof line, 1, -1, &lineInd, &lineLen, nullptr, 0,
         nullptr, nullptr, -1, -1);
  obndra(&cda, (text *)":S", -1, (ub1 *)&status, sizeof status, 3, -1, nullptr, nullptr, nullptr, 0,
         nullptr, nullptr, -1, -1);
  std::vector<std::string> lines;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
    if (status != 0)
      break;
    lines.push_back(std::string(line, lineLen));
  }
  oclose(&cda);
  EXPECT_EQ(lines, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(status, 1);
  // A full buffer raises Oracle's overflow error.
  std::string err;
  EXPECT_EQ(exec("begin dbms_output.enable(2000); for i in 1..100 loop "
                 "dbms_output.put_line(rpad('x', 100, 'x')); end loop; end;",
                 &err),
            20000);
  EXPECT_EQ(err.substr(0, err.find('\n')),
            "ORA-20000: ORU-10027: buffer overflow, limit of 2000 bytes");
}

TEST_F(Plsql, Break_StopsAnEndlessLoop) {
  // Each endless shape polls the break where it repeats: loops, a backward GOTO, calls.
  auto broken = [&](const std::string &block) {
    std::atomic<bool> done{false};
    std::thread breaker([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      while (!done) {
        obreak(&lda);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    int rc = exec(block);
    done = true;
    breaker.join();
    return rc;
  };
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(broken("declare n number := 0; begin loop n := n + 1; end loop; end;"), 1013);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(value("select count(*) from dept"), "4");
  for (const char *block :
       {"begin while true loop null; end loop; end;",
        "begin for i in 1 .. 2147483647 loop null; end loop; end;",
        "begin <<again>> null; goto again; end;", "begin dbms_lock.sleep(1000); end;",
        "declare n number; begin select count(*) into n from emp a, emp b, emp c, emp d, emp e, "
        "emp f, emp g, emp h; end;",
        "declare procedure p(n number) is begin if n < 40 then p(n + 1); p(n + 1); end if; end; "
        "begin p(0); end;"})
    EXPECT_EQ(broken(block), 1013) << block;
  std::string err;
  // Endless recursion ends with an error, not a crash.
  exec("create or replace function deep(n number) return number is begin return deep(n + 1); "
       "end;");
  EXPECT_EQ(exec("declare x number; begin x := deep(1); end;", &err), 6500);
}

namespace {

// A stored function without parameters is called from SQL with or without parentheses; a
// column of the same name wins.
TEST_F(Plsql, StoredFunctions_NamedWithoutParentheses) {
  ASSERT_EQ(exec("CREATE FUNCTION answer RETURN NUMBER IS BEGIN RETURN 42; END;"), 0) << lastError;
  ASSERT_EQ(exec("CREATE PACKAGE shop IS FUNCTION total RETURN NUMBER; END;"), 0) << lastError;
  ASSERT_EQ(exec("CREATE PACKAGE BODY shop IS FUNCTION total RETURN NUMBER IS n NUMBER; BEGIN "
                 "SELECT SUM(sal) INTO n FROM emp; RETURN n; END; END;"),
            0)
      << lastError;
  EXPECT_EQ(value("SELECT answer FROM dual"), "42");
  EXPECT_EQ(value("SELECT answer() + 1 FROM dual"), "43");
  EXPECT_EQ(value("SELECT shop.total FROM dual"), "29025");
  EXPECT_EQ(value("SELECT scott.shop.total - sal FROM emp WHERE empno = 7839"), "24025");
  EXPECT_EQ(value("SELECT COUNT(*) FROM emp WHERE sal * 10 > shop.total"), "4");
  ASSERT_EQ(exec("CREATE TABLE quiz (answer NUMBER)"), 0);
  ASSERT_EQ(exec("INSERT INTO quiz VALUES (7)"), 0);
  EXPECT_EQ(value("SELECT answer FROM quiz"), "7");
  EXPECT_EQ(value("SELECT nothing FROM dual"), "ERROR: ORA-00904: invalid column name");
  EXPECT_EQ(value("SELECT shop.nothing FROM dual"), "ERROR: ORA-00904: invalid column name");
}

// A stored function may call itself from SQL in its own body, when it is created and when
// another logon compiles it again.
TEST_F(Plsql, StoredFunctions_CallThemselvesFromSql) {
  ASSERT_EQ(exec("CREATE FUNCTION fact(n NUMBER) RETURN NUMBER IS r NUMBER; BEGIN IF n <= 1 THEN "
                 "RETURN 1; END IF; SELECT n * fact(n - 1) INTO r FROM dual; RETURN r; END;"),
            0)
      << lastError;
  EXPECT_EQ(value("SELECT status FROM user_objects WHERE object_name = 'FACT'"), "VALID");
  EXPECT_EQ(value("SELECT fact(5) FROM dual"), "120");
  Lda_Def other;
  ASSERT_EQ(logOn(other, "scott/tiger@"), 0);
  std::swap(lda, other);
  EXPECT_EQ(value("SELECT fact(6) FROM dual"), "720");
  ologof(&lda);
  std::swap(lda, other);
  // Without an end it ends with an error, not a crash.
  ASSERT_EQ(exec("CREATE FUNCTION inf(n NUMBER) RETURN NUMBER IS r NUMBER; BEGIN SELECT inf(n + "
                 "1) INTO r FROM dual; RETURN r; END;"),
            0);
  EXPECT_EQ(value("SELECT inf(1) FROM dual").rfind("ERROR: ORA-06500", 0), 0u);
}

} // namespace
