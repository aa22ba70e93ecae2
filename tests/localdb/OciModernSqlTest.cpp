// The SQL added after Oracle 7.3, through the call contract: accepted at the server's default
// language level, refused as Oracle 7.3 refuses it when the DBA sets COMPATIBLE to 7.3.
#include "OciTestUtil.h"

namespace {

using namespace ocitest;
using ModernSql = Scott;

// Rows as one line: "a b / c d / ".
std::string flatRows(const std::vector<std::vector<std::string>> &rows) {
  std::string out;
  for (auto &row : rows) {
    for (auto &c : row)
      out += c + " ";
    out += "/ ";
  }
  return out;
}

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
  // FULL JOIN USING: the column is whichever side has the row.
  EXPECT_EQ(value("select count(*) || ':' || count(deptno) || ':' || max(deptno) from (select * "
                  "from emp where deptno = 10) e full join dept using (deptno)"),
            "6:6:40");
  EXPECT_EQ(value("select count(*) from emp e full join dept d on e.deptno = d.deptno full join "
                  "salgrade s on 1 = 1")
                .substr(0, 16),
            "ERROR: ORA-03001");
  // FULL OUTER JOIN of two tables: the rows of either side without a match, WHERE after it.
  EXPECT_EQ(value("select count(*) from (select * from emp where deptno <> 30) e full outer join "
                  "dept d on e.deptno = d.deptno"),
            "10");
  EXPECT_EQ(value("select listagg(nvl(to_char(e.empno), '-') || d.dname, ',') within group "
                  "(order by d.dname) from (select * from emp where empno = 7839) e full join "
                  "dept d on e.deptno = d.deptno and d.loc <> 'BOSTON' where e.empno is null"),
            "-OPERATIONS,-RESEARCH,-SALES");
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
// REGEXP_* with Oracle's arguments: position, occurrence, match parameter, subexpression,
// backreferences in the replacement; NULLs and bad patterns or arguments.
TEST_F(ModernSql, RegularExpressions) {
  EXPECT_EQ(value("select regexp_substr('abc123def456', '[0-9]+', 1, 2) from dual"), "456");
  EXPECT_EQ(value("select regexp_substr('key=value', '(\\w+)=(\\w+)', 1, 1, null, 2) from dual"),
            "value");
  EXPECT_EQ(value("select nvl(regexp_substr('abc', '[0-9]'), 'none') from dual"), "none");
  EXPECT_EQ(value("select regexp_instr('abc123def', '[0-9]+', 1, 1, 1) from dual"), "7");
  EXPECT_EQ(value("select regexp_instr('abc', 'x') from dual"), "0");
  EXPECT_EQ(value("select regexp_replace('2020-01-31', '(\\d+)-(\\d+)-(\\d+)', "
                  "'\\3.\\2.\\1') from dual"),
            "31.01.2020");
  EXPECT_EQ(value("select regexp_replace('a b  c', ' +', '_', 1, 2) from dual"), "a b_c");
  EXPECT_EQ(value("select regexp_replace('abc', 'x*', '-') from dual"), "-a-b-c-");
  EXPECT_EQ(value("select regexp_replace('abc', null, 'x') from dual"), "abc");
  EXPECT_EQ(value("select regexp_replace('abc', 'b') from dual"), "ac");
  EXPECT_EQ(
      value("select regexp_count('banana', 'an') || regexp_count('banana', 'a', 3) from dual"),
      "22");
  EXPECT_EQ(value("select count(*) from emp where regexp_like(ename, '^s', 'i')"), "2");
  EXPECT_EQ(value("select count(*) from emp where regexp_like(ename, '^s', 'ic')"), "0");
  EXPECT_EQ(value("select count(*) from emp where not regexp_like(ename, '^S|N$')"), "10");
  EXPECT_EQ(value("select count(*) from emp where regexp_like(comm, '0')"), "4"); // NULLs not
  EXPECT_EQ(value("select regexp_count('a' || chr(10) || 'b', '^b$', 1, 'm') from dual"), "1");
  EXPECT_EQ(value("select regexp_count('a' || chr(10) || 'b', 'a.b') from dual"), "0");
  EXPECT_EQ(value("select regexp_count('a' || chr(10) || 'b', 'a.b', 1, 'n') from dual"), "1");
  EXPECT_EQ(value("select regexp_substr('abc', '(b') from dual").substr(0, 16), "ERROR: ORA-12725");
  EXPECT_EQ(value("select regexp_substr('abc', '[b') from dual").substr(0, 16), "ERROR: ORA-12726");
  EXPECT_EQ(value("select regexp_substr('abc', 'b', 0) from dual").substr(0, 16),
            "ERROR: ORA-01428");
  EXPECT_EQ(value("select regexp_substr('abc', 'b', 1, 1, 'q') from dual").substr(0, 16),
            "ERROR: ORA-01760");
  EXPECT_EQ(value("select regexp_substr('abc', rpad('a', 513, 'a')) from dual").substr(0, 16),
            "ERROR: ORA-12733");
  // A pattern that backtracks without end fails instead of hanging the server.
  EXPECT_EQ(value("select regexp_count(rpad('a', 40, 'a') || 'b', '(\\w|\\w)*\\W') from dual")
                .substr(0, 16),
            "ERROR: ORA-12722");
  // In PL/SQL REGEXP_LIKE is a BOOLEAN function.
  EXPECT_EQ(exec("create table rx (v varchar2(10))"), 0);
  EXPECT_EQ(exec("begin if regexp_like('abc', 'B', 'i') then insert into rx values ("
                 "regexp_substr('x42y', '\\d+')); end if; end;"),
            0)
      << lastError;
  EXPECT_EQ(value("select v from rx"), "42");
}

// LISTAGG in its order, SYS_GUID, ORA_HASH, CURRENT_DATE.
TEST_F(ModernSql, ListAggAndIdentifierFunctions) {
  EXPECT_EQ(value("select listagg(ename, ',') within group (order by ename) from emp where "
                  "deptno = 10"),
            "CLARK,KING,MILLER");
  EXPECT_EQ(query("select deptno, listagg(ename, ';') within group (order by sal desc, ename) "
                  "from emp group by deptno order by 1")[2][1],
            "BLAKE;ALLEN;TURNER;MARTIN;WARD;JAMES");
  EXPECT_EQ(value("select listagg(distinct job, ',') within group (order by job desc) from emp"),
            "SALESMAN,PRESIDENT,MANAGER,CLERK,ANALYST");
  EXPECT_EQ(value("select listagg(comm, '+') within group (order by comm desc) from emp"),
            "1400+500+300+0");
  EXPECT_EQ(value("select nvl(listagg(ename) within group (order by ename), 'null') from emp "
                  "where 1 = 2"),
            "null");
  EXPECT_EQ(value("select listagg(rpad('x', 3000, 'x')) within group (order by 1) from emp")
                .substr(0, 16),
            "ERROR: ORA-01489");
  EXPECT_EQ(value("select listagg(ename) within group (sal) from emp").substr(0, 16),
            "ERROR: ORA-30491");
  EXPECT_EQ(value("select length(rawtohex(sys_guid())) from dual"), "32");
  EXPECT_EQ(value("select count(distinct sys_guid()) from emp"), "14");
  EXPECT_EQ(value("select count(*) from dual where ora_hash('abc') = ora_hash('ab' || 'c') and "
                  "ora_hash(5) = ora_hash(5.0) and ora_hash('abc', 10) between 0 and 10"),
            "1");
  EXPECT_EQ(value("select nvl(to_char(ora_hash(null)), 'null') from dual"), "null");
  EXPECT_EQ(value("select count(*) from dual where current_date - sysdate < 1 / 86400"), "1");
}

// The physical and state clauses of later releases' DDL are read and mean nothing here, except
// NOVALIDATE (rows already there are not checked) and indexes on expressions (a unique one
// constrains what may be stored, also after the table's storage is rebuilt).
TEST_F(ModernSql, LaterDdlClauses) {
  for (const char *ddl :
       {"create table p1 (id number primary key, d date) partition by range (d) (partition p0 "
        "values less than (to_date('2020-01-01', 'YYYY-MM-DD')), partition pmax values less "
        "than (maxvalue)) enable row movement",
        "create table p2 (id number primary key) organization index compress nologging",
        "create table p3 (id number(10) not null enable, constraint p3_pk primary key (id) "
        "using index (create index p3_ix on p3 (id)) enable validate) segment creation "
        "immediate parallel 4 monitoring lob (id) store as securefile (cache)",
        "create bitmap index p1_d on p1 (d) local online",
        "alter table p3 drop constraint p3_pk cascade drop index", "drop table p2 purge"})
    EXPECT_EQ(exec(ddl), 0) << ddl << ": " << lastError;
  EXPECT_EQ(exec("alter table emp add constraint sal_min check (sal > 1000) enable novalidate"), 0)
      << lastError;
  EXPECT_EQ(exec("insert into emp (empno, ename, sal) values (1, 'X', 10)"), 2290);
  EXPECT_EQ(exec("alter table emp add constraint sal_min2 check (sal > 1000)"), 2293);
  EXPECT_EQ(exec("create unique index e_up on emp (upper(ename))"), 0) << lastError;
  EXPECT_EQ(exec("create index e_fn on emp (sal + nvl(comm, 0) desc, deptno)"), 0) << lastError;
  EXPECT_EQ(exec("insert into emp (empno, ename, sal) values (2, 'smith', 2000)"), 1);
  EXPECT_NE(lastError.find("SCOTT.E_UP"), std::string::npos) << lastError;
  EXPECT_EQ(exec("alter table emp modify (ename varchar2(20))"), 0) << lastError;
  EXPECT_EQ(exec("insert into emp (empno, ename, sal) values (3, 'King', 2000)"), 1);
  EXPECT_EQ(exec("create unique index e_job on emp (lower(job))"), 1452);
  EXPECT_EQ(exec("create index e_now on emp (to_char(sysdate))"), 1743);
  EXPECT_EQ(value("select count(*) from user_ind_columns where index_name = 'E_FN'"), "2");
}

// Identity columns, DEFAULT ON NULL and sequences in DEFAULT.
TEST_F(ModernSql, IdentityColumnsAndDefaults) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(exec("create table t1 (id number generated always as identity, v varchar2(10))"), 0);
  EXPECT_EQ(exec("insert into t1 (v) values ('a')"), 0) << lastError;
  EXPECT_EQ(exec("insert into t1 (v) select 'b' from dual"), 0) << lastError;
  EXPECT_EQ(exec("insert into t1 (id, v) values (5, 'c')"), 32795);
  EXPECT_EQ(lastError, "ORA-32795: cannot insert into a generated always identity column");
  EXPECT_EQ(exec("insert into t1 values (5, 'c')"), 32795);
  EXPECT_EQ(exec("update t1 set id = 3"), 32796);
  EXPECT_EQ(query("select id, v from t1 order by id"), (Rows{{"1", "a"}, {"2", "b"}}));
  EXPECT_EQ(exec("create table t2 (id number generated by default on null as identity (start "
                 "with 100 increment by 10), v varchar2(10))"),
            0);
  EXPECT_EQ(exec("insert into t2 (id, v) values (null, 'a')"), 0) << lastError;
  EXPECT_EQ(exec("insert into t2 (id, v) values (7, 'b')"), 0);
  EXPECT_EQ(exec("insert into t2 (v) values ('c')"), 0);
  EXPECT_EQ(query("select id, v from t2 order by v"),
            (Rows{{"100", "a"}, {"7", "b"}, {"110", "c"}}));
  EXPECT_EQ(exec("create sequence s1 start with 50"), 0);
  EXPECT_EQ(exec("create table t3 (id number default s1.nextval, v varchar2(10) default on null "
                 "'dflt')"),
            0)
      << lastError;
  EXPECT_EQ(exec("insert into t3 (v) values (null)"), 0) << lastError;
  EXPECT_EQ(exec("begin insert into t3 (id) values (1); end;"), 0) << lastError;
  EXPECT_EQ(query("select id, v from t3 order by id"), (Rows{{"1", "dflt"}, {"50", "dflt"}}));
  EXPECT_EQ(query("select column_name, identity_column, default_on_null, nullable from "
                  "user_tab_cols where table_name = 'T2' order by column_id"),
            (Rows{{"ID", "YES", "YES", "N"}, {"V", "NO", "NO", "Y"}}));
  // Another user inserting needs no right on the identity's sequence; it goes with its table.
  EXPECT_EQ(exec("grant insert on t2 to system"), 0);
  Lda_Def other;
  ASSERT_EQ(logOn(other, "system/manager@"), 0);
  EXPECT_EQ(runOn(other, "insert into scott.t2 (v) values ('d')"), 0);
  EXPECT_EQ(runOn(other, "commit"), 0);
  ologof(&other);
  EXPECT_EQ(value("select id from t2 where v = 'd'"), "120");
  EXPECT_EQ(exec("drop table t1"), 0);
  EXPECT_EQ(value("select count(*) from user_sequences"), "2");
  EXPECT_EQ(exec("create table t4 (id varchar2(10) generated always as identity)"), 30675);
  EXPECT_EQ(exec("create table t5 (id number generated always as identity default 1)"), 907);
}

// MERGE: matched rows updated (and deleted where told), the others inserted, as one statement;
// multi-table INSERT ALL / FIRST over a subquery.
TEST_F(ModernSql, MergeAndMultiTableInsert) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(exec("create table bonus2 (empno number primary key, bonus number)"), 0);
  EXPECT_EQ(exec("insert into bonus2 values (7839, 100)"), 0);
  EXPECT_EQ(exec("insert into bonus2 values (7369, 50)"), 0);
  EXPECT_EQ(exec("merge into bonus2 b using (select empno, sal from emp where deptno = 10) e on "
                 "(b.empno = e.empno) when matched then update set b.bonus = b.bonus + e.sal * "
                 "0.1 when not matched then insert (empno, bonus) values (e.empno, e.sal * 0.05)"),
            0)
      << lastError;
  EXPECT_EQ(lastRows, 3u);
  EXPECT_EQ(lastCode, 189);
  EXPECT_EQ(query("select empno, bonus from bonus2 order by 1"),
            (Rows{{"7369", "50"}, {"7782", "122.5"}, {"7839", "600"}, {"7934", "65"}}));
  // DELETE WHERE reads the updated row; rows the same MERGE inserts are not deleted.
  EXPECT_EQ(exec("merge into bonus2 b using (select empno, deptno from emp where deptno in (10, "
                 "20)) e on (b.empno = e.empno) when matched then update set bonus = 0 delete "
                 "where e.deptno = 20 when not matched then insert values (e.empno, -1)"),
            0)
      << lastError;
  EXPECT_EQ(value("select count(*) || '/' || sum(bonus) from bonus2"), "7/-4");
  EXPECT_EQ(value("select count(*) from bonus2 where empno = 7369"), "0");
  // Two source rows for one target row; a column of ON updated; bind variables.
  EXPECT_EQ(exec("merge into bonus2 b using (select 7782 empno from dual union all select 7782 "
                 "from dual) e on (b.empno = e.empno) when matched then update set bonus = 1"),
            30926);
  EXPECT_EQ(exec("merge into bonus2 b using emp e on (b.empno = e.empno) when matched then "
                 "update set empno = 1"),
            38104);
  EXPECT_EQ(exec("merge into bonus2 b using dual on (b.empno = 1) when matched then update set "
                 "bonus = 2"),
            0);
  EXPECT_EQ(lastRows, 0u);
  // A failing part undoes the parts before it.
  EXPECT_EQ(exec("merge into bonus2 b using emp e on (b.empno = e.empno) when matched then "
                 "update set bonus = 7 when not matched then insert values (e.mgr, 0)"),
            1);
  EXPECT_EQ(value("select count(*) from bonus2 where bonus = 7"), "0");

  EXPECT_EQ(exec("create table small (n number, s varchar2(10))"), 0);
  EXPECT_EQ(exec("create table big (n number, s varchar2(10))"), 0);
  EXPECT_EQ(exec("insert all into small values (n, s) into big (n) values (n * 100) select "
                 "rownum n, 'x' || rownum s from dual connect by level <= 3"),
            0)
      << lastError;
  EXPECT_EQ(lastRows, 6u);
  EXPECT_EQ(value("select sum(n) from big"), "600");
  EXPECT_EQ(exec("delete from big"), 0);
  EXPECT_EQ(exec("insert first when n < 2 then into small values (n, 'first') when n < 3 then "
                 "into big values (n, 'second') else into big values (n, 'else') select rownum "
                 "n from emp where rownum <= 4"),
            0)
      << lastError;
  EXPECT_EQ(query("select n, s from big order by 1"),
            (Rows{{"2", "second"}, {"3", "else"}, {"4", "else"}}));
  EXPECT_EQ(exec("insert all into small values (1, 'a') into small values (2, rpad('b', 20)) "
                 "select * from dual"),
            1401);
  EXPECT_EQ(value("select count(*) from small"), "4");
}

// CONNECT BY without PRIOR finds no loops at the later level: the row generator over DUAL.
TEST_F(ModernSql, ConnectByLevelOverDual) {
  EXPECT_EQ(value("select listagg(level, ',') within group (order by level) from dual connect "
                  "by level <= 5"),
            "1,2,3,4,5");
  EXPECT_EQ(value("select count(*) from dual connect by level <= 100000"), "100000");
  EXPECT_EQ(value("select count(*) from dual connect by 1 = 1").substr(0, 16), "ERROR: ORA-30009");
  EXPECT_EQ(value("select count(*) from emp connect by prior empno = empno").substr(0, 16),
            "ERROR: ORA-01436");
}

// ROLLUP, CUBE and GROUPING SETS: NULL in the columns a set does not group by, a subtotal after
// the rows it sums, GROUPING/GROUPING_ID/GROUP_ID telling the sets apart.
TEST_F(ModernSql, GroupingSets) {
  auto flat = [&](const std::string &sql) { return flatRows(query(sql)); };
  EXPECT_EQ(flat("select deptno, job, sum(sal), grouping_id(deptno, job) from emp where deptno "
                 "in (10, 20) and job <> 'ANALYST' group by rollup(deptno, job)"),
            "10 CLERK 1300 0 / 10 MANAGER 2450 0 / 10 PRESIDENT 5000 0 / 10 NULL 8750 1 / "
            "20 CLERK 1900 0 / 20 MANAGER 2975 0 / 20 NULL 4875 1 / NULL NULL 13625 3 / ");
  EXPECT_EQ(flat("select deptno, job, count(*), grouping(deptno), grouping(job) from emp where "
                 "deptno = 10 group by cube(deptno, job) order by 4, 5, 2"),
            "10 CLERK 1 0 0 / 10 MANAGER 1 0 0 / 10 PRESIDENT 1 0 0 / 10 NULL 3 0 1 / "
            "NULL CLERK 1 1 0 / NULL MANAGER 1 1 0 / NULL PRESIDENT 1 1 0 / NULL NULL 3 1 1 / ");
  // A NULL value of the column itself is not a subtotal: GROUPING tells them apart.
  EXPECT_EQ(flat("select comm, count(*), grouping(comm) from emp where deptno = 30 and "
                 "job <> 'SALESMAN' group by rollup(comm)"),
            "NULL 2 0 / NULL 2 1 / ");
  EXPECT_EQ(flat("select deptno, job, count(*), group_id() from emp where deptno = 10 group by "
                 "grouping sets ((deptno), job, (deptno), ()) order by 4, 2, 1"),
            "NULL CLERK 1 0 / NULL MANAGER 1 0 / NULL PRESIDENT 1 0 / 10 NULL 3 0 / "
            "NULL NULL 3 0 / 10 NULL 3 1 / ");
  // A plain term times a rollup; HAVING and ORDER BY see the subtotals.
  EXPECT_EQ(flat("select deptno, job, sum(sal) from emp group by deptno, rollup(job) having "
                 "grouping(job) = 1 order by 3 desc"),
            "20 NULL 10875 / 30 NULL 9400 / 10 NULL 8750 / ");
  EXPECT_EQ(value("select count(*) from (select deptno from emp group by rollup(deptno, job))"),
            "13");
  EXPECT_EQ(value("select grouping(deptno) from emp").substr(0, 16), "ERROR: ORA-30481");
  EXPECT_EQ(value("select deptno from emp where grouping(deptno) = 0 group by rollup(deptno)")
                .substr(0, 16),
            "ERROR: ORA-00934");
  EXPECT_EQ(value("select deptno, sal from emp group by rollup(deptno)").substr(0, 16),
            "ERROR: ORA-00979");
}

// RETURNING ... INTO: the changed row's values, as changed (DELETE: as they were), into PL/SQL
// variables, records and BULK COLLECT tables, or into the caller's binds.
TEST_F(ModernSql, ReturningInto) {
  ASSERT_EQ(exec("create table rt (id number generated always as identity, name varchar2(10), "
                 "n number)"),
            0)
      << lastError;
  ASSERT_EQ(exec("create table rlog (line varchar2(100))"), 0);
  ASSERT_EQ(
      exec("declare v number; w varchar2(40); r rt%rowtype; "
           "type nt is table of number index by binary_integer; t nt; "
           "procedure log(s varchar2) is begin insert into rlog values (s); end; begin "
           "insert into rt (name, n) values ('a', 1) returning id, name into v, w; "
           "log(v || w); "
           "insert into rt (name, n) values ('b', 2) returning id into v; "
           "update rt set n = n * 10 where id = v returning n into v; log(v || '/' || "
           "sql%rowcount); "
           "v := 7; delete from rt where name = 'zz' returning n into v; "
           "log(nvl(to_char(v), 'null') || sql%rowcount); "
           "begin update rt set n = n + 1 returning n into v; "
           "exception when too_many_rows then log('tmr'); end; "
           "update rt set n = n + 100 returning n bulk collect into t; log(t.count || ':' || t(1) "
           "|| ',' || t(2)); "
           "delete from rt where id = 1 returning id, name, n into r; log(r.name || r.n); end;"),
      0)
      << lastError;
  EXPECT_EQ(query("select line from rlog order by rowid"),
            (std::vector<std::vector<std::string>>{
                {"1a"}, {"20/1"}, {"null0"}, {"tmr"}, {"2:101,120"}, {"a101"}}));
  EXPECT_EQ(value("select n from rt"), "120"); // TOO_MANY_ROWS undid its update
  // Through the call contract: the INTO binds are written, a second changed row undoes the
  // statement with ORA-01422.
  Cda_Def c{};
  ASSERT_EQ(oopen(&c, &lda, nullptr, -1, -1, nullptr, -1), 0);
  char name[11] = {};
  sb2 ind = 0;
  int n = 0;
  ASSERT_EQ(oparse(&c,
                   (text *)"update rt set n = n + 1, name = 'z' where id = 2 returning n, "
                           "lower(name) into :n, :name",
                   -1, 0, 2),
            0);
  ASSERT_EQ(obndra(&c, (text *)":N", -1, (ub1 *)&n, sizeof n, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&c, (text *)":NAME", -1, (ub1 *)name, sizeof name, 5, -1, &ind, nullptr, nullptr,
                   0, nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&c, 1, 0), 0) << message(lda, rcOf(c));
  EXPECT_EQ(n, 121);
  EXPECT_STREQ(name, "z");
  ASSERT_EQ(oparse(&c, (text *)"insert into rt (name) values ('q') returning id into :n", -1, 0, 2),
            0);
  ASSERT_EQ(obndra(&c, (text *)":N", -1, (ub1 *)&n, sizeof n, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&c, 1, 0), 0) << message(lda, rcOf(c));
  EXPECT_EQ(n, 3);
  ASSERT_EQ(oparse(&c, (text *)"delete from rt returning id into :n", -1, 0, 2), 0);
  ASSERT_EQ(obndra(&c, (text *)":N", -1, (ub1 *)&n, sizeof n, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  EXPECT_EQ(oexn(&c, 1, 0), 1422);
  oclose(&c);
  EXPECT_EQ(value("select count(*) from rt"), "2");
  EXPECT_EQ(exec("update rt set n = 1 returning n"), 925);
  EXPECT_EQ(exec("update rt set n = 1 returning n into :a, :b"), 913);
  EXPECT_EQ(exec("insert into rt (name) select 'x' from dual returning id into :a"), 933);
}

// A global temporary table: one definition, each logon's own rows, emptied at commit unless
// its rows last the session; keys, checks and indexes hold on every logon.
TEST_F(ModernSql, GlobalTemporaryTables) {
  ASSERT_EQ(exec("create global temporary table g (id number primary key, v varchar2(10) check "
                 "(v <> 'bad')) on commit delete rows"),
            0)
      << lastError;
  ASSERT_EQ(exec("create global temporary table gp (id number) on commit preserve rows"), 0);
  ASSERT_EQ(exec("create unique index g_v on g (v)"), 0) << lastError;
  EXPECT_EQ(exec("insert into g values (1, 'a')"), 0);
  EXPECT_EQ(exec("insert into gp values (5)"), 0);
  EXPECT_EQ(value("select count(*) from g"), "1");
  EXPECT_EQ(exec("commit"), 0);
  EXPECT_EQ(value("select count(*) from g"), "0");
  EXPECT_EQ(value("select count(*) from gp"), "1");
  // (A change to a temporary table takes the server's write lock as any change does.)
  Lda_Def other;
  ASSERT_EQ(logOn(other, "scott/tiger@"), 0);
  EXPECT_EQ(query("select count(*) from gp", nullptr, &other)[0][0], "0");
  EXPECT_EQ(runOn(other, "insert into g values (1, 'a')"), 0);
  EXPECT_EQ(runOn(other, "insert into g values (2, 'a')"), 1); // its own copy of the index
  EXPECT_EQ(runOn(other, "insert into g values (3, 'bad')"), 2290);
  EXPECT_EQ(query("select count(*) from g", nullptr, &other)[0][0], "1");
  EXPECT_EQ(runOn(other, "rollback"), 0);
  ologof(&other);
  EXPECT_EQ(value("select count(*) from gp"), "1");
  EXPECT_EQ(value("select temporary || duration from user_tables where table_name = 'GP'"),
            "YSYS$SESSION");
  EXPECT_EQ(value("select temporary from user_tables where table_name = 'EMP'"), "N");
  EXPECT_EQ(exec("truncate table gp"), 0);
  EXPECT_EQ(value("select count(*) from gp"), "0");
  // Rebuilt by ALTER in this logon's TEMP schema, rows kept; a later logon gets the new shape.
  EXPECT_EQ(exec("alter table gp add (v varchar2(5))"), 0) << lastError;
  EXPECT_EQ(exec("insert into gp values (1, 'a')"), 0);
  EXPECT_EQ(exec("alter table gp drop column v"), 0) << lastError;
  EXPECT_EQ(value("select count(*) || max(id) from gp"), "11");
  Lda_Def later;
  ASSERT_EQ(logOn(later, "scott/tiger@"), 0);
  EXPECT_EQ(runOn(later, "insert into gp values (2)"), 0);
  EXPECT_EQ(query("select count(*) from gp", nullptr, &later)[0][0], "1");
  EXPECT_EQ(runOn(later, "rollback"), 0);
  ologof(&later);
  EXPECT_EQ(exec("drop table g"), 0);
  EXPECT_EQ(value("select count(*) from g").substr(0, 16), "ERROR: ORA-00942");
  EXPECT_EQ(exec("create table p (a number) on commit delete rows"), 922);
}

// DROP COLUMN / DROP (...) / SET UNUSED and RENAME COLUMN: rows, constraints, indexes and
// comments follow; a constraint over a kept column too needs CASCADE CONSTRAINTS.
TEST_F(ModernSql, DropAndRenameColumns) {
  ASSERT_EQ(exec("create table dc (a number primary key, b varchar2(10) not null, c number, d "
                 "number, constraint dc_cd unique (c, d), constraint dc_ck check (b <> 'x' and "
                 "a > 0))"),
            0)
      << lastError;
  ASSERT_EQ(exec("create index dc_b on dc (upper(b))"), 0);
  ASSERT_EQ(exec("insert into dc values (1, 'p', 1, 1)"), 0);
  EXPECT_EQ(exec("alter table dc drop column c"), 12991);
  EXPECT_EQ(exec("alter table dc drop column zz"), 904);
  EXPECT_EQ(exec("alter table dc drop column b cascade constraints"), 0) << lastError;
  EXPECT_EQ(value("select listagg(column_name || column_id, ',') within group (order by "
                  "column_id) from user_tab_columns where table_name = 'DC'"),
            "A1,C2,D3");
  EXPECT_EQ(value("select count(*) from user_constraints where constraint_name = 'DC_CK'"), "0");
  EXPECT_EQ(value("select count(*) from user_indexes where index_name = 'DC_B'"), "0");
  EXPECT_EQ(exec("alter table dc rename column d to dd"), 0) << lastError;
  EXPECT_EQ(exec("insert into dc (a, c, dd) values (2, 1, 1)"), 1); // the key follows the name
  EXPECT_EQ(exec("alter table dc set unused (c, dd)"), 0) << lastError;
  EXPECT_EQ(value("select count(*) || max(a) from dc"), "11");
  EXPECT_EQ(exec("alter table dc drop (a)"), 12983);
  // A foreign key's column: the key goes with it, and the parent can then lose its own.
  EXPECT_EQ(exec("alter table dept drop column deptno"), 12992);
  EXPECT_EQ(exec("alter table emp rename column deptno to dno"), 0) << lastError;
  EXPECT_EQ(exec("insert into emp (empno, dno) values (1, 99)"), 2291);
  EXPECT_EQ(exec("alter table emp drop column dno"), 0) << lastError;
  EXPECT_EQ(exec("alter table dept drop column deptno"), 0) << lastError;
  EXPECT_EQ(value("select count(*) from emp where ename = 'KING'"), "1");
  ASSERT_EQ(exec("create table r2 (x number check (x > 0), y number)"), 0);
  EXPECT_EQ(exec("alter table r2 rename column x to y"), 957);
  EXPECT_EQ(exec("alter table r2 rename column x to z"), 0);
  EXPECT_EQ(exec("insert into r2 values (-1, 1)"), 2290);
}

// *_ARGUMENTS and the package members of *_PROCEDURES, kept as units compile.
TEST_F(ModernSql, ArgumentsOfStoredUnits) {
  ASSERT_EQ(exec("create or replace procedure pa(a in number, b out varchar2, c in out date "
                 "default sysdate) is begin null; end;"),
            0);
  ASSERT_EQ(exec("create or replace function fa return varchar2 is begin return 'x'; end;"), 0);
  ASSERT_EQ(exec("create or replace package pk is procedure p(a number); procedure p(a "
                 "varchar2, b boolean); procedure q; end;"),
            0);
  auto rows = [&](const std::string &sql) { return flatRows(query(sql)); };
  EXPECT_EQ(rows("select object_name, nvl(package_name, '-'), nvl(overload, '-'), "
                 "nvl(argument_name, '-'), position, sequence, nvl(data_type, '-'), defaulted, "
                 "in_out from user_arguments order by package_name nulls first, object_name, "
                 "overload, sequence"),
            "FA - - - 0 1 VARCHAR2 N OUT / PA - - A 1 1 NUMBER N IN / "
            "PA - - B 2 2 VARCHAR2 N OUT / PA - - C 3 3 DATE Y IN/OUT / "
            "P PK 1 A 1 1 NUMBER N IN / P PK 2 A 1 1 VARCHAR2 N IN / "
            "P PK 2 B 2 2 PL/SQL BOOLEAN N IN / Q PK - - 1 0 - N IN / ");
  EXPECT_EQ(rows("select procedure_name, overload from user_procedures where object_name = 'PK' "
                 "and procedure_name is not null order by 1, 2"),
            "P 1 / P 2 / Q NULL / ");
  // A unit with errors has none; a dropped one neither.
  exec("create or replace procedure pa(a in number) is begin x; end;"); // created with errors
  EXPECT_EQ(value("select count(*) from user_arguments where object_name = 'PA'"), "0");
  EXPECT_EQ(exec("drop package pk"), 0);
  EXPECT_EQ(value("select count(*) from all_arguments where package_name = 'PK'"), "0");
}

// Virtual columns: computed from the row when read (in WHERE, indexes, *), never written;
// their type from the expression when none is declared.
TEST_F(ModernSql, VirtualColumns) {
  ASSERT_EQ(exec("create table vc (a number, b number generated always as (a * 2) virtual, "
                 "c varchar2(10), d as (upper(c)))"),
            0)
      << lastError;
  EXPECT_EQ(exec("insert into vc (a, c) values (3, 'xy')"), 0);
  EXPECT_EQ(exec("insert into vc values (4, 'zz')"), 0) << lastError; // the stored columns
  EXPECT_EQ(exec("update vc set a = 10 where a = 3"), 0);
  EXPECT_EQ(value("select listagg(a || ':' || b || ':' || d, ',') within group (order by a) "
                  "from vc where d like '%' and b > 0"),
            "4:8:ZZ,10:20:XY");
  EXPECT_EQ(exec("insert into vc (a, b) values (1, 2)"), 54013);
  EXPECT_EQ(exec("update vc set d = 'x'"), 54017);
  EXPECT_EQ(exec("create unique index vc_b on vc (b)"), 0) << lastError;
  EXPECT_EQ(exec("insert into vc (a) values (5)"), 0);
  EXPECT_EQ(exec("insert into vc (a) values (5)"), 1); // the index on the computed value
  EXPECT_EQ(query("select data_type || data_length || virtual_column, data_default from "
                  "user_tab_cols where table_name = 'VC' and column_name = 'D'"),
            (std::vector<std::vector<std::string>>{{"VARCHAR210YES", "upper(c)"}}));
  EXPECT_EQ(exec("alter table vc add (f as (a * 100))"), 0) << lastError;
  EXPECT_EQ(value("select f from vc where a = 4"), "400");
  EXPECT_EQ(exec("alter table vc modify a varchar2(10)"), 1439); // not empty: as for any column
  EXPECT_EQ(exec("alter table vc drop column a"), 54031);
  EXPECT_EQ(exec("create table vw (a number, b as (a), c as (b))"), 54012);
  EXPECT_EQ(exec("create table vx (a number, b as (sysdate))"), 1743);
  // A row trigger that changes :NEW writes the stored columns back, not the computed ones.
  ASSERT_EQ(exec("create or replace trigger vc_t before insert on vc for each row begin :new.a "
                 ":= :new.a + 1; end;"),
            0);
  EXPECT_EQ(exec("insert into vc (a, c) values (20, 't')"), 0) << lastError;
  EXPECT_EQ(value("select b || d from vc where a = 21"), "42T");
}

// TABLE() over a stored function's collection, pipelined or not: its elements in order as rows,
// a scalar as COLUMN_VALUE, a record's fields as columns; a collection is no column value.
TEST_F(ModernSql, TableOfACollectionFunction) {
  ASSERT_EQ(exec("create or replace package pl is type nt is table of number; type r is record "
                 "(n number, s varchar2(10), d date); type rt is table of r; function evens(n "
                 "number) return nt pipelined; function recs return rt pipelined; function "
                 "plain return nt; end;"),
            0);
  ASSERT_EQ(exec("create or replace package body pl is function evens(n number) return nt "
                 "pipelined is begin for i in 1 .. n loop if mod(i, 2) = 0 then pipe row (i / "
                 "3); end if; end loop; return; end; function recs return rt pipelined is x r; "
                 "begin x.n := 1; x.s := 'a\"b'; x.d := date '2020-01-02'; pipe row (x); x.n := "
                 "null; pipe row (x); return; end; function plain return nt is begin return "
                 "nt(5, null, 7); end; end;"),
            0);
  EXPECT_EQ(query("select column_value from table(pl.evens(6))"),
            (std::vector<std::vector<std::string>>{{".6666666666666666666666666666666666666667"},
                                                   {"1.33333333333333333333333333333333333333"},
                                                   {"2"}}));
  EXPECT_EQ(value("select count(*) || ':' || round(sum(t.column_value * 3)) from "
                  "table(pl.evens(10)) t where t.column_value > 1"),
            "4:28");
  EXPECT_EQ(query("select nvl(to_char(n), '-'), s, to_char(d, 'YYYY-MM-DD') from table(pl.recs)"),
            (std::vector<std::vector<std::string>>{{"1", "a\"b", "2020-01-02"},
                                                   {"-", "a\"b", "2020-01-02"}}));
  EXPECT_EQ(value("select count(*) || count(column_value) from table(pl.plain())"), "32");
  EXPECT_EQ(value("select pl.plain() from dual").substr(0, 16), "ERROR: ORA-00932");
  EXPECT_EQ(value("select * from table(upper('x'))").substr(0, 16), "ERROR: ORA-22905");
}

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
  EXPECT_EQ(value("select count(*) from emp group by rollup(deptno)").substr(0, 16),
            "ERROR: ORA-00904");
  EXPECT_EQ(exec("alter table emp drop column comm"), 3001);
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
