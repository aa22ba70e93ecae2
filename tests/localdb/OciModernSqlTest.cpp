// The SQL added after Oracle 7.3, through the call contract: accepted at the server's default
// language level, refused as Oracle 7.3 refuses it when the DBA sets COMPATIBLE to 7.3.
#include "OciTestUtil.h"

namespace {

using namespace ocitest;
using ModernSql = Scott;

// CASE in its two forms, in the select list and in WHERE / ORDER BY, with Oracle's NULL rules:
// a NULL operand or WHEN value matches nothing, no match and no ELSE is NULL.
TEST_F(ModernSql, Case_SimpleAndSearched) {
  EXPECT_EQ(value("select case deptno when 10 then 'ACCOUNTING' when 20 then 'RESEARCH' else "
                  "'OTHER' end from dept where deptno = 20"),
            "RESEARCH");
  EXPECT_EQ(value("select case when sal > 2900 then 'high' when sal > 1000 then 'mid' end from "
                  "emp where ename = 'ALLEN'"),
            "mid");
  EXPECT_EQ(value("select nvl(case when 1 = 2 then 'x' end, 'none') from dual"), "none");
  EXPECT_EQ(value("select nvl(case null when null then 'matched' end, 'no') from dual"), "no");
  EXPECT_EQ(value("select count(*) from emp where case when comm is null then 0 else comm end "
                  "> 0"),
            "3");
  EXPECT_EQ(value("select sum(case job when 'CLERK' then 1 else 0 end) from emp"), "4");
  EXPECT_EQ(query("select ename from emp where deptno = 10 order by case ename when 'MILLER' "
                  "then 0 else 1 end, ename"),
            (std::vector<std::vector<std::string>>{{"MILLER"}, {"CLARK"}, {"KING"}}));
  // Nested, and a number result printed as a number.
  EXPECT_EQ(value("select case when 1 = 1 then case 2 when 2 then 3.5 end end * 2 from dual"), "7");
  // Results of two type families, a missing END or WHEN.
  EXPECT_EQ(value("select case when 1 = 1 then 'a' else 2 end from dual").substr(0, 16),
            "ERROR: ORA-00932");
  EXPECT_EQ(value("select case when 1 = 1 then 1 from dual").substr(0, 16), "ERROR: ORA-00905");
  EXPECT_EQ(value("select case else 1 end from dual").substr(0, 16), "ERROR: ORA-00936");
}

TEST_F(ModernSql, ValueChoosingFunctions_CoalesceNullifNvl2) {
  EXPECT_EQ(value("select coalesce(null, null, 'third', 'fourth') from dual"), "third");
  EXPECT_EQ(value("select coalesce(comm, sal) from emp where ename = 'KING'"), "5000");
  EXPECT_EQ(value("select nvl(to_char(coalesce(null, null)), 'null') from dual"), "null");
  EXPECT_EQ(value("select nvl(to_char(nullif(5, 5)), 'null') from dual"), "null");
  EXPECT_EQ(value("select nullif('a', 'b') from dual"), "a");
  EXPECT_EQ(value("select nvl2(comm, 'has', 'none') from emp where ename = 'KING'"), "none");
  EXPECT_EQ(value("select nvl2(comm, 'has', 'none') from emp where ename = 'WARD'"), "has");
  EXPECT_EQ(value("select coalesce(1) from dual").substr(0, 16), "ERROR: ORA-00909");
  EXPECT_EQ(value("select coalesce(1, 'x') from dual").substr(0, 16), "ERROR: ORA-00932");
  // In PL/SQL expressions too (evaluated as SQL functions).
  EXPECT_EQ(exec("create table cl (v varchar2(10))"), 0);
  EXPECT_EQ(exec("begin insert into cl values (coalesce(null, 'plsql')); end;"), 0) << lastError;
  EXPECT_EQ(value("select v from cl"), "plsql");
}

// COMPATIBLE: the DBA's setting, stored in the server, read at logon; V$PARAMETER shows it.
TEST_F(ModernSql, LanguageLevel_SetByTheDbaForTheNextLogon) {
  EXPECT_EQ(value("select value from v$parameter where name = 'compatible'"), "19.0.0");
  EXPECT_EQ(exec("create view bands as select ename, case when sal > 2000 then 'high' else "
                 "'low' end band from emp"),
            0);
  EXPECT_EQ(exec("alter system set compatible = '7.3'"), 1031);
  Lda_Def sys;
  ASSERT_EQ(logOn(sys, "system/manager@"), 0);
  std::swap(lda, sys);
  EXPECT_EQ(exec("alter system set compatible = '7.3' scope = memory"), 2095);
  EXPECT_EQ(exec("alter system set compatible = 'banana'"), 2097);
  EXPECT_EQ(exec("alter system set compatible = '7.2'"), 2097);
  EXPECT_EQ(exec("alter system set open_cursors = 10"), 2065);
  EXPECT_EQ(exec("alter system set compatible = '7.3.4' scope = spfile"), 0) << lastError;
  // This logon keeps the level it started with.
  EXPECT_EQ(value("select coalesce(null, 1) from dual"), "1");
  std::swap(lda, sys);
  ologof(&lda);
  ASSERT_EQ(logOn(lda, "scott/tiger@"), 0);
  EXPECT_EQ(value("select value from v$parameter where name = 'compatible'"), "7.3.4");
  // Oracle 7.3's answers: CASE is a column name there, COALESCE an unknown one.
  EXPECT_EQ(value("select case when 1 = 1 then 1 end from dual").substr(0, 16), "ERROR: ORA-00923");
  EXPECT_EQ(value("select coalesce(null, 1) from dual").substr(0, 16), "ERROR: ORA-00904");
  EXPECT_EQ(exec("begin insert into dept values (coalesce(null, 99), 'A', 'B'); end;"), 6550);
  EXPECT_NE(lastError.find("ORA-00904"), std::string::npos) << lastError;
  // A view made at the later level still works.
  EXPECT_EQ(value("select count(*) from bands where band = 'high'"), "6");
  std::swap(lda, sys);
  EXPECT_EQ(exec("alter system set compatible = '19.0.0'"), 0);
  std::swap(lda, sys);
  ologof(&sys);
}

} // namespace
