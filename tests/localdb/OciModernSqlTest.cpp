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

// CAST to the scalar types: numbers rounded to the scale, text checked against the length.
TEST_F(ModernSql, Cast) {
  EXPECT_EQ(value("select cast('123.456' as number(5,2)) from dual"), "123.46");
  EXPECT_EQ(value("select cast(7 as varchar2(5)) || '|' from dual"), "7|");
  EXPECT_EQ(value("select cast('ab' as char(4)) || '|' from dual"), "ab  |");
  EXPECT_EQ(value("select to_char(cast('17-JUN-87' as date), 'YYYY') from dual"), "2087");
  EXPECT_EQ(value("select cast(to_date('2020-01-02', 'YYYY-MM-DD') as varchar2(20)) from dual"),
            "02-JAN-20");
  EXPECT_EQ(value("select nvl(to_char(cast(null as number)), 'null') from dual"), "null");
  EXPECT_EQ(value("select sum(cast(sal as integer)) from emp"), "29025");
  EXPECT_EQ(value("select cast(123.456 as number(2)) from dual").substr(0, 16), "ERROR: ORA-01438");
  EXPECT_EQ(value("select cast('abc' as varchar2(2)) from dual").substr(0, 16), "ERROR: ORA-25137");
  EXPECT_EQ(value("select cast('x' as number) from dual").substr(0, 16), "ERROR: ORA-01722");
  EXPECT_EQ(value("select cast(1 as varchar2) from dual").substr(0, 16), "ERROR: ORA-00906");
  EXPECT_EQ(value("select cast(sysdate as number) from dual").substr(0, 16), "ERROR: ORA-00932");
}

// OFFSET / FETCH FIRST after ORDER BY, as ROWNUM would count them.
TEST_F(ModernSql, RowLimits) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(query("select ename from emp order by sal desc, ename fetch first 3 rows only"),
            (Rows{{"KING"}, {"FORD"}, {"SCOTT"}}));
  EXPECT_EQ(query("select ename from emp order by sal desc, ename offset 1 row fetch next 2 rows "
                  "only"),
            (Rows{{"FORD"}, {"SCOTT"}}));
  EXPECT_EQ(value("select count(*) from (select * from emp order by empno offset 10 rows)"), "4");
  EXPECT_EQ(value("select ename from emp order by empno fetch first row only"), "SMITH");
  EXPECT_EQ(value("select count(*) from (select 1 from emp fetch first 2.9 rows only)"), "2");
  EXPECT_EQ(value("select count(*) from (select 1 from emp fetch first -1 rows only)"), "0");
  EXPECT_EQ(query("select deptno from dept union select deptno from emp order by 1 fetch first "
                  "2 rows only"),
            (Rows{{"10"}, {"20"}}));
  EXPECT_EQ(value("select count(*) from emp fetch first 50 percent rows only").substr(0, 16),
            "ERROR: ORA-03001");
}

// WITH: named queries read as inline views, each use on its own, later ones reading earlier ones.
TEST_F(ModernSql, WithClause) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(query("with totals as (select deptno, sum(sal) total from emp group by deptno) "
                  "select d.dname, t.total from dept d, totals t where d.deptno = t.deptno and "
                  "t.total = (select max(total) from totals)"),
            (Rows{{"RESEARCH", "10875"}}));
  EXPECT_EQ(value("with a as (select 1 n from dual), b (m) as (select n + 1 from a) select m from "
                  "b"),
            "2");
  EXPECT_EQ(value("select count(*) from emp where deptno in (with d as (select deptno from dept "
                  "where loc = 'DALLAS') select deptno from d)"),
            "5");
  EXPECT_EQ(exec("create table w (n number)"), 0);
  EXPECT_EQ(exec("insert into w with x as (select 7 n from dual) select n from x"), 0) << lastError;
  EXPECT_EQ(value("select n from w"), "7");
  EXPECT_EQ(value("with a (x, y) as (select 1 from dual) select x from a").substr(0, 16),
            "ERROR: ORA-32038");
  EXPECT_EQ(value("with a as (select 1 n from dual) select n from b").substr(0, 16),
            "ERROR: ORA-00942");
}

// TRIM, EXTRACT, DATE literals and q-quoted strings.
TEST_F(ModernSql, SmallerExpressions) {
  EXPECT_EQ(value("select '[' || trim('  x y  ') || ']' from dual"), "[x y]");
  EXPECT_EQ(value("select trim(leading '0' from '00700') from dual"), "700");
  EXPECT_EQ(value("select trim(trailing '0' from '00700') from dual"), "007");
  EXPECT_EQ(value("select trim('0' from '00700') from dual"), "7");
  EXPECT_EQ(value("select nvl(trim('   '), 'null') from dual"), "null");
  EXPECT_EQ(value("select trim('ab' from 'abc') from dual").substr(0, 16), "ERROR: ORA-30001");
  EXPECT_EQ(value("select extract(year from hiredate) from emp where ename = 'KING'"), "1981");
  EXPECT_EQ(value("select extract(month from date '2020-02-29') + extract(day from date "
                  "'2020-02-29') from dual"),
            "31");
  EXPECT_EQ(value("select extract(hour from sysdate) from dual").substr(0, 16), "ERROR: ORA-30076");
  EXPECT_EQ(value("select to_char(date '1999-12-31', 'DD.MM.YYYY') from dual"), "31.12.1999");
  EXPECT_EQ(value("select q'[it's [here]]' from dual"), "it's [here]");
  EXPECT_EQ(value("select q'!a'b!' || Q'{c}' from dual"), "a'bc");
}

// Column sizes of later releases, and the national types.
TEST_F(ModernSql, WiderColumns) {
  EXPECT_EQ(exec("create table wide (v varchar2(4000), c char(2000), n nvarchar2(10), d "
                 "binary_double)"),
            0)
      << lastError;
  EXPECT_EQ(exec("insert into wide values (rpad('x', 3000, 'x'), 'c', 'n', 1.5)"), 0) << lastError;
  EXPECT_EQ(value("select length(v) || ',' || length(c) || ',' || d from wide"), "3000,2000,1.5");
  EXPECT_EQ(exec("create table wider (v varchar2(4001))"), 910);
}

// Analytic functions over windows: ranks, neighbours, running totals, NULLs last as Oracle sorts.
TEST_F(ModernSql, AnalyticFunctions) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(query("select ename, row_number() over (partition by deptno order by sal desc, ename) "
                  "rn, rank() over (order by sal desc) rk, dense_rank() over (order by sal desc) "
                  "drk from emp where deptno = 20 order by rn"),
            (Rows{{"FORD", "1", "1", "1"},
                  {"SCOTT", "2", "1", "1"},
                  {"JONES", "3", "3", "2"},
                  {"ADAMS", "4", "4", "3"},
                  {"SMITH", "5", "5", "4"}}));
  EXPECT_EQ(query("select ename, sum(sal) over (order by empno rows between unbounded preceding "
                  "and current row), lag(ename, 1, '-') over (order by empno), lead(sal) over "
                  "(order by empno) from emp where deptno = 10 order by empno"),
            (Rows{{"CLARK", "2450", "-", "5000"},
                  {"KING", "7450", "CLARK", "1300"},
                  {"MILLER", "8750", "KING", "NULL"}}));
  EXPECT_EQ(query("select deptno, count(*) over (partition by deptno), avg(sal) over (partition "
                  "by deptno), max(comm) over (), first_value(ename) over (partition by deptno "
                  "order by hiredate) from emp where ename in ('KING', 'WARD') order by 1"),
            (Rows{{"10", "1", "5000", "500", "KING"}, {"30", "1", "1250", "500", "WARD"}}));
  // A moving sum leaves rows behind; NULLs sort last ascending unless told.
  EXPECT_EQ(value("select max(s) from (select sum(sal + .5) over (order by empno rows 1 "
                  "preceding) s from emp)"),
            "8001");
  EXPECT_EQ(value("select ename from (select ename, row_number() over (order by comm) r from "
                  "emp) where r = 14"),
            "MILLER");
  EXPECT_EQ(value("select ename from (select ename, row_number() over (order by comm nulls "
                  "first) r from emp) where r = 14"),
            "MARTIN");
  EXPECT_EQ(
      value("select count(*) from emp where row_number() over (order by empno) = 1").substr(0, 16),
      "ERROR: ORA-30483");
  EXPECT_EQ(value("select row_number() from emp").substr(0, 16), "ERROR: ORA-30484");
  EXPECT_EQ(value("select stddev(sal) over () from emp").substr(0, 16), "ERROR: ORA-03001");
}

// Joins written with JOIN: inner ones as comma joins with their condition, outer ones keep the
// rows of the other side (OPERATIONS has no employees), USING / NATURAL name shared columns once.
TEST_F(ModernSql, AnsiJoins) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(value("select count(*) from emp e join dept d on e.deptno = d.deptno"), "14");
  EXPECT_EQ(value("select count(*) from emp inner join dept using (deptno) where deptno = 10"),
            "3");
  EXPECT_EQ(value("select count(*) from emp natural join dept"), "14");
  EXPECT_EQ(value("select count(*) from emp cross join dept"), "56");
  EXPECT_EQ(value("select count(*) from emp, dept cross join salgrade"), "280");
  EXPECT_EQ(query("select d.dname, count(e.empno) from dept d left outer join emp e on e.deptno "
                  "= d.deptno group by d.dname order by 1"),
            (Rows{{"ACCOUNTING", "3"}, {"OPERATIONS", "0"}, {"RESEARCH", "5"}, {"SALES", "6"}}));
  EXPECT_EQ(query("select d.dname from emp e right join dept d on e.deptno = d.deptno where "
                  "e.empno is null"),
            (Rows{{"OPERATIONS"}}));
  // A condition on the outer side stays a join condition, not a filter of the rows.
  EXPECT_EQ(value("select count(*) from dept d left join emp e on e.deptno = d.deptno and e.job "
                  "= 'PRESIDENT'"),
            "4");
  // Three tables, the joined column unqualified; "left" as an alias still.
  EXPECT_EQ(value("select count(*) from emp join dept using (deptno) join salgrade s on emp.sal "
                  "between s.losal and s.hisal where deptno = 20"),
            "5");
  EXPECT_EQ(value("select count(*) from dept left where left.deptno = 10"), "1");
  EXPECT_EQ(value("select count(*) from emp join dept using (deptno) where dept.deptno = 10")
                .substr(0, 16),
            "ERROR: ORA-25154");
  EXPECT_EQ(value("select count(*) from emp e join dept d on e.deptno = d.deptno(+)").substr(0, 16),
            "ERROR: ORA-25156");
  EXPECT_EQ(value("select count(*) from emp full join dept using (deptno)").substr(0, 16),
            "ERROR: ORA-03001");
  // USING with two columns joins on both; a USING column one side lacks; (+) in the WHERE of
  // a JOIN; a RIGHT JOIN after another join.
  EXPECT_EQ(value("select count(*) from emp e join emp m using (empno, ename)"), "14");
  EXPECT_EQ(value("select count(*) from emp join dept using (ename)").substr(0, 16),
            "ERROR: ORA-00904");
  EXPECT_EQ(value("select count(*) from emp e join dept d on e.deptno = d.deptno where e.mgr(+) "
                  "= 1")
                .substr(0, 16),
            "ERROR: ORA-25156");
  EXPECT_EQ(value("select count(*) from emp e join dept d on e.deptno = d.deptno right join emp "
                  "m on m.empno = e.mgr")
                .substr(0, 16),
            "ERROR: ORA-03001");
}

// Dictionary views later code queries.
TEST_F(ModernSql, DictionaryViewsOfLaterReleases) {
  EXPECT_EQ(value("select count(*) from user_tab_cols where table_name = 'EMP'"), "8");
  EXPECT_EQ(value("select data_type from all_tab_cols where owner = 'SCOTT' and table_name = "
                  "'DEPT' and column_name = 'LOC'"),
            "VARCHAR2");
  EXPECT_EQ(value("select count(*) from session_privs where privilege = 'CREATE SESSION'"), "1");
  EXPECT_EQ(value("select count(*) from session_roles where role = 'CONNECT'"), "1");
  EXPECT_EQ(value("select value from nls_session_parameters where parameter = "
                  "'NLS_DATE_FORMAT'"),
            "DD-MON-YY");
  EXPECT_EQ(value("select username from v$session"), "SCOTT");
  EXPECT_EQ(value("select count(*) from v$version where banner like '%19.0.0'"), "1");
  EXPECT_EQ(exec("create procedure p1 is begin null; end;"), 0);
  EXPECT_EQ(value("select object_type from user_procedures where object_name = 'P1'"), "PROCEDURE");
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
  EXPECT_EQ(exec("begin case 1 when 1 then null; end case; end;"), 6550);
  EXPECT_NE(lastError.find("PLS-00103"), std::string::npos) << lastError;
  EXPECT_EQ(exec("begin for i in 1 .. 2 loop continue; end loop; end;"), 6550);
  EXPECT_EQ(value("select count(*) from emp join dept using (deptno)").substr(0, 16),
            "ERROR: ORA-00933");
  EXPECT_EQ(exec("create table wide (v varchar2(4000))"), 910);
  // A view made at the later level still works.
  EXPECT_EQ(value("select count(*) from bands where band = 'high'"), "6");
  std::swap(lda, sys);
  EXPECT_EQ(exec("alter system set compatible = '19.0.0'"), 0);
  std::swap(lda, sys);
  ologof(&sys);
}

} // namespace
