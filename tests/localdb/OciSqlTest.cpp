// SQL through the call contract: queries, DML, DDL, errors, transactions, as Oracle answers them.
#include <thread>

#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Sql : public Scott {};

using Rows = std::vector<std::vector<std::string>>;

TEST_F(Sql, Queries_AnswerAsOraclePrintsThem) {
  EXPECT_EQ(value("select 7/2 from dual"), "3.5");
  EXPECT_EQ(value("select 6/2 from dual"), "3");
  EXPECT_EQ(value("select 1/2 from dual"), ".5");
  EXPECT_EQ(value("select -1/4 from dual"), "-.25");
  EXPECT_EQ(value("select 1e40 from dual"), "1E+40");
  EXPECT_EQ(value("select 0.1 + 0.2 from dual"), ".3");
  // Decimal arithmetic compares as it reads, as in Oracle.
  EXPECT_EQ(value("select count(*) from dual where 0.1 + 0.2 = 0.3"), "1");
  EXPECT_EQ(value("select count(*) from emp where sal * 1.1 = 1375"), "2");
  EXPECT_EQ(value("select count(*) from dual where (select sum(0.1) from emp) = 1.4"), "1");
  // Past 64-bit integers numbers stay exact decimals.
  EXPECT_EQ(value("select 9223372036854775807 + 1 from dual"), "9223372036854775808");
  EXPECT_EQ(value("select count(*) from emp"), "14");
  EXPECT_EQ(value("select sum(sal) from emp"), "29025");
  EXPECT_EQ(value("select hiredate from emp where ename = 'KING'"), "17-NOV-81");
  EXPECT_EQ(value("select to_char(hiredate, 'DD.MM.YYYY') from emp where empno = 7369"),
            "17.12.1980");
  EXPECT_EQ(value("select '' from dual"), "NULL");
  EXPECT_EQ(value("select nvl('', 'empty') from dual"), "empty");
  EXPECT_EQ(value("select 'a' || null || 'b' from dual"), "ab");
  EXPECT_EQ(value("select length('') from dual"), "NULL");
  EXPECT_EQ(value("select count(*) from emp where ename like 's%'"), "0");
  EXPECT_EQ(value("select count(*) from emp where ename like 'S%'"), "2");
  EXPECT_EQ(value("select user from dual"), "SCOTT");
  EXPECT_EQ(value("select decode(null, null, 'same', 'different') from dual"), "same");
  EXPECT_EQ(value("select count(*) from emp where comm is null"), "10");
  EXPECT_EQ(value("select count(*) from emp where deptno = '10'"), "3");
  EXPECT_EQ(value("select max(ename) from emp where rownum <= 3"), "WARD");
  EXPECT_EQ(value("select count(*) from dual where sysdate > to_date('2000', 'YYYY')"), "1");
  EXPECT_EQ(value("select add_months(to_date('31-01-1981','DD-MM-YYYY'), 1) from dual"),
            "28-FEB-81");
  EXPECT_EQ(value("select initcap('the QUICK fox') from dual"), "The Quick Fox");
  EXPECT_EQ(value("select round(1234.5678, -2) from dual"), "1200");
  EXPECT_EQ(value("select to_char(1234.5, '9,999.99') from dual"), " 1,234.50");
  EXPECT_EQ(value("select ename from emp where sal = (select max(sal) from emp)"), "KING");

  Rows r = query("select d.dname, count(e.empno) from dept d, emp e where d.deptno = "
                 "e.deptno(+) group by d.dname order by 2 desc, 1");
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0], (std::vector<std::string>{"SALES", "6"}));
  EXPECT_EQ(r[3], (std::vector<std::string>{"OPERATIONS", "0"}));
  // (+) with IN of one value is an outer-join condition like =: every department stays.
  r = query("select d.deptno, e.ename from dept d, emp e where d.deptno = e.deptno(+) and "
            "e.job(+) in ('CLERK') order by 1, 2");
  EXPECT_EQ(
      r,
      (Rows{{"10", "MILLER"}, {"20", "ADAMS"}, {"20", "SMITH"}, {"30", "JAMES"}, {"40", "NULL"}}));
  r = query("select deptno from dept minus select deptno from emp");
  EXPECT_EQ(r, (Rows{{"40"}}));
  r = query("select deptno from dept intersect select deptno from emp where job = 'CLERK' order "
            "by 1 desc");
  EXPECT_EQ(r, (Rows{{"30"}, {"20"}, {"10"}}));
  r = query("select job from emp where deptno = 10 union all select job from emp where deptno = "
            "10 and job = 'CLERK' order by 1");
  EXPECT_EQ(r.size(), 4u);
  r = query("select rownum, ename from emp where rownum < 3");
  EXPECT_EQ(r, (Rows{{"1", "SMITH"}, {"2", "ALLEN"}}));
  EXPECT_EQ(value("select ename from emp where empno = (select empno from emp where rownum < 2)"),
            "SMITH"); // ROWNUM in a subquery is its LIMIT
  EXPECT_EQ(value("select count(*) from emp e where exists (select 1 from emp m where m.mgr = "
                  "e.empno and rownum = 1)"),
            "6");
  EXPECT_EQ(value("select ename from emp where sal(+) / rownum <> 5").rfind("ERROR: ORA-03001", 0),
            0u);
  r = query("select ename from emp where rownum = 2");
  EXPECT_TRUE(r.empty());
  r = query("select ename, rownum from (select ename from emp order by ename) where rownum <= 2");
  EXPECT_EQ(r, (Rows{{"ADAMS", "1"}, {"ALLEN", "2"}}));
  r = query("select ename from emp where rownum <= 2 order by ename desc");
  EXPECT_EQ(r, (Rows{{"SMITH"}, {"ALLEN"}}));
  r = query("select comm from emp where deptno = 30 order by comm");
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0][0], "0");
  EXPECT_EQ(r[5][0], "NULL"); // nulls sort last ascending, as in Oracle
  r = query("select distinct deptno from emp e where exists (select 1 from emp m where m.mgr = "
            "e.empno) order by 1");
  EXPECT_EQ(r, (Rows{{"10"}, {"20"}, {"30"}}));
  EXPECT_EQ(value("select 1 from emp where 1 = 0 having count(*) = 0"), "1");
  EXPECT_EQ(value("select count(*) from emp where sal > all (1000, 2000)"), "6");
  EXPECT_EQ(value("select count(*) from emp group by 1"), "14"); // a constant, not a position
  EXPECT_EQ(query("select ename from emp order by -1").size(), 14u);
  EXPECT_EQ(value("select count(*) from emp where not (comm > all (100, null))"), "1");
  EXPECT_EQ(value("select count(*) from emp where deptno = any (10, 20)"), "8");
  EXPECT_EQ(value("select count(*) from emp where decode(comm, null, 1, 0) = 1"), "10");
  r = query("select ename from emp where (deptno, job) in (select deptno, 'MANAGER' from dept) "
            "order by 1");
  EXPECT_EQ(r, (Rows{{"BLAKE"}, {"CLARK"}, {"JONES"}}));
  EXPECT_EQ(value("select count(*) from emp where (empno, ename) in ((7369, 'SMITH'), (1, 'x'))"),
            "1");
  EXPECT_EQ(value("select count(*) from emp where sal > all (select sal from emp where deptno = "
                  "20)"),
            "1");
  EXPECT_EQ(query("select scott.emp.* from emp where empno = 7369")[0].size(), 8u);
  EXPECT_EQ(value("select scott.emp.ename from scott.emp where empno = 7369"), "SMITH");
  // BETWEEN compares as its first operand: text bounds become numbers.
  EXPECT_EQ(value("select count(*) from emp where sal between '950' and 1300"), "5");
  EXPECT_EQ(value("select count(*) from emp where sal between 950 and '1300'"), "5");
  // Two text literals compare blank-padded.
  EXPECT_EQ(value("select count(*) from dual where 'a' = 'a  '"), "1");
  EXPECT_EQ(query("select ename from emp where 3 > rownum").size(), 2u);
  // An inline view's own subqueries correlate with its tables.
  EXPECT_EQ(value("select count(*) from (select sal from emp e where sal > (select avg(sal) from "
                  "emp where deptno = e.deptno))"),
            "6");
  // NVL of NULL is its second argument, with that argument's type.
  EXPECT_EQ(value("select nvl(null, hiredate) + 1 from emp where empno = 7369"), "18-DEC-80");
  EXPECT_EQ(value("select nvl('', sysdate) - sysdate from dual"), "0");
  EXPECT_EQ(value("select count(*) from emp where nvl(null, sal) = '800'"), "1");
  EXPECT_EQ(value("select nvl(ename, 0) from emp where empno = 7369"), "SMITH");
  // An ORDER BY or GROUP BY expression equal to a select item is that item.
  r = query("select distinct upper(ename) from emp order by upper(ename)");
  ASSERT_EQ(r.size(), 14u);
  EXPECT_EQ(r[0][0], "ADAMS");
  r = query("select distinct sal + 1 from emp order by sal + 1");
  ASSERT_EQ(r.size(), 12u);
  EXPECT_EQ(r[0][0], "801");
  EXPECT_EQ(query("select substr(ename, 1, 1) from emp group by substr(ename, 1, 1)").size(), 10u);
  // Functions of text read a date or a number in its default text.
  EXPECT_EQ(value("select ltrim(hiredate) || rtrim(hiredate) || upper(hiredate) || "
                  "lower(hiredate) || initcap(hiredate) from emp where empno = 7369"),
            "17-DEC-8017-DEC-8017-DEC-8017-dec-8017-Dec-80");
  EXPECT_EQ(value("select lpad(hiredate, 10) || rpad(hiredate, 10, '*') || substr(hiredate, 4) "
                  "|| instr(hiredate, 'DEC') || length(hiredate) from emp where empno = 7369"),
            " 17-DEC-8017-DEC-80*DEC-8049");
  EXPECT_EQ(value("select replace(hiredate, '-', '/') || translate(hiredate, '-', '/') || "
                  "concat(hiredate, 'x') || ascii(hiredate) || vsize(hiredate) from emp where "
                  "empno = 7369"),
            "17/DEC/8017/DEC/8017-DEC-80x497");
  EXPECT_EQ(value("select nls_upper(hiredate) || nls_lower(hiredate) || nls_initcap(hiredate) || "
                  "substrb(hiredate, 1, 2) || lengthb(hiredate) || instrb(hiredate, '-') from "
                  "emp where empno = 7369"),
            "17-DEC-8017-dec-8017-Dec-801793");
  EXPECT_EQ(value("select round(stddev(sal)) || ' ' || round(variance(sal)) || ' ' || "
                  "round(avg(sal)) || ' ' || min(hiredate) from emp"),
            "1183 1398314 2073 17-DEC-80");
  EXPECT_EQ(value("select count(distinct deptno) || count(comm) || count(*) || sum(distinct "
                  "deptno) from emp"),
            "341460");
  EXPECT_EQ(value("select decode(deptno, 10, 'a', 20, 'b', 'c') || decode(job, 'CLERK', sal, 0) "
                  "|| nvl(comm, -1) || greatest(sal, 1000) || least(sal, 1000) from emp where "
                  "empno = 7369"),
            "b800-11000800");
  EXPECT_EQ(value("select last_day(hiredate) || next_day(hiredate, 'MONDAY') || "
                  "add_months(hiredate, 1) || greatest(hiredate, to_date('01-JAN-81')) from emp "
                  "where empno = 7369"),
            "31-DEC-8022-DEC-8017-JAN-8101-JAN-81");
}

TEST_F(Sql, Dml_ConstraintsAsOracleNamesThem) {
  std::string err;
  EXPECT_EQ(exec("insert into dept values (10, 'DUP', 'X')", &err), 1);
  EXPECT_EQ(err, "ORA-00001: unique constraint (SCOTT.PK_DEPT) violated");
  EXPECT_EQ(exec("insert into emp (empno, deptno) values (1, 99)", &err), 2291);
  EXPECT_EQ(err, "ORA-02291: integrity constraint (SCOTT.FK_DEPTNO) violated - parent key not "
                 "found");
  EXPECT_EQ(exec("delete from dept where deptno = 20", &err), 2292);
  EXPECT_EQ(err, "ORA-02292: integrity constraint (SCOTT.FK_DEPTNO) violated - child record found");
  EXPECT_EQ(exec("insert into emp (ename) values ('NOBODY')", &err), 1400);
  EXPECT_EQ(err, "ORA-01400: cannot insert NULL into (\"SCOTT\".\"EMP\".\"EMPNO\")");
  EXPECT_EQ(exec("create table t (n number check (n > 0), s varchar2(3))"), 0);
  EXPECT_EQ(exec("insert into t values (-1, 'a')", &err), 2290);
  EXPECT_EQ(err.rfind("ORA-02290: check constraint (SCOTT.SYS_C", 0), 0u) << err;
  EXPECT_EQ(exec("insert into t values (1, 'abcd')", &err), 1401);
  EXPECT_EQ(exec("insert into t values ('x', 'a')", &err), 1722);
  EXPECT_EQ(exec("insert into t values (1, 'abc')"), 0);
  EXPECT_EQ(lastRows, 1u);
  EXPECT_EQ(exec("insert into t select empno, substr(ename, 1, 3) from emp where deptno = 10"), 0);
  EXPECT_EQ(lastRows, 3u);
  EXPECT_EQ(exec("update t set n = n + 1 where n > 7000"), 0);
  EXPECT_EQ(lastRows, 3u);
  EXPECT_EQ(exec("update t set (n, s) = (select 5, 'z' from dual) where n = 1"), 0);
  EXPECT_EQ(value("select s from t where n = 5"), "z");
  // Statement-level consistency: every row sees the table as it was before the UPDATE.
  EXPECT_EQ(exec("update emp e set sal = (select avg(sal) from emp where deptno = e.deptno) "
                 "where deptno = 10"),
            0);
  EXPECT_EQ(value("select count(distinct sal) || ':' || max(sal) from emp where deptno = 10"),
            "1:2916.67");
  EXPECT_EQ(exec("delete from emp a where sal < (select avg(sal) from emp b where b.deptno = "
                 "a.deptno) and deptno = 30"),
            0);
  EXPECT_EQ(lastRows, 4u); // avg of 30 is 1566.67: ALLEN and BLAKE stay
  EXPECT_EQ(exec("delete t where n > 7000"), 0);
  EXPECT_EQ(lastRows, 3u);
  // A failed statement leaves the rest of the transaction alone.
  EXPECT_EQ(value("select count(*) from t"), "1");
  EXPECT_EQ(exec("update emp set sal = sal where 1 = 0"), 0);
  EXPECT_EQ(lastRows, 0u);
}

// A data-loading script: INSERTs that differ only in their values share one compiled
// statement, and every value still reads, converts and fails as it would written alone.
TEST_F(Sql, Dml_ScriptOfInsertsDifferingInTheirValues) {
  ASSERT_EQ(exec("create table load (n number(6,2), v varchar2(5), c char(3), d date, "
                 "x number)"),
            0);
  ASSERT_EQ(exec("create table apart as select * from load"), 0);
  const char *rows[][5] = {
      {"1", "'a'", "'b'", "'01-JAN-90'", "7"},
      {"2.345", "'12345'", "'xy'", "'31-DEC-99'", "'42'"},
      {"1E2", "'it''s'", "'z'", "'15-MAR-05'", "-0"},
      {".5", "'5'", "'5'", "'29-FEB-00'", "123456789012345678901234567890"},
      {"0.001", "'a b'", "'c'", "'01-JUN-70'", "1.5E-100"},
      {"9999.994", "'0.10'", "'7'", "'01-JAN-01'", "0.1"},
      {"-12.345", "'-1'", "'-'", "'01-JAN-02'", "-9223372036854775808"},
      {"+7", "'x'", "'y'", "'01-JAN-03'", "-1E125"},
  };
  for (auto &r : rows) {
    std::string shared = std::string("INSERT INTO load VALUES (") + r[0] + ", " + r[1] + ", " +
                         r[2] + ", " + r[3] + ", " + r[4] + ")";
    ASSERT_EQ(exec(shared), 0) << shared << ": " << lastError;
    // In a select list a literal is compiled into the statement: the reference.
    std::string alone = std::string("INSERT INTO apart SELECT ") + r[0] + ", " + r[1] + ", " +
                        r[2] + ", " + r[3] + ", " + r[4] + " FROM dual";
    ASSERT_EQ(exec(alone), 0) << alone << ": " << lastError;
  }
  const char *select = "select n, v, '[' || c || ']', to_char(d, 'YYYY-MM-DD'), x from %s "
                       "order by rowid";
  char a[200], b[200];
  std::snprintf(a, sizeof a, select, "load");
  std::snprintf(b, sizeof b, select, "apart");
  Rows shared = query(a);
  ASSERT_EQ(lastError, "");
  EXPECT_EQ(shared, query(b));
  ASSERT_EQ(shared.size(), 8u);
  EXPECT_EQ(shared[1][0], "2.35");
  EXPECT_EQ(shared[2][1], "it's");
  EXPECT_EQ(shared[3][3], "2000-02-29");
  EXPECT_EQ(shared[5][0], "9999.99");
  // Stored as the same values, not only printed alike.
  EXPECT_EQ(value("select count(*) from load l, apart a where l.n = a.n and l.v = a.v and "
                  "l.c = a.c and l.d = a.d and l.x = a.x"),
            "8");
  // The errors each value would give on its own.
  std::string err;
  EXPECT_EQ(exec("INSERT INTO load VALUES (1, '123456', 'a', '01-JAN-90', 1)", &err), 1401);
  EXPECT_EQ(exec("INSERT INTO load VALUES (10000, 'a', 'a', '01-JAN-90', 1)", &err), 1438);
  EXPECT_EQ(exec("INSERT INTO load VALUES (1, 'a', 'a', '01-JAN-90', 'abc')", &err), 1722);
  EXPECT_EQ(exec("INSERT INTO load VALUES (1, 'a', 'a', '31-FEB-90', 1)", &err), 1839) << err;
  EXPECT_EQ(exec("INSERT INTO load VALUES (1, 'a', 'a', '01-JAN-90', 1E200)", &err), 1426);
  EXPECT_EQ(
      exec("INSERT INTO load VALUES (1, 'a', 'a', '01-JAN-90', '" + std::string(2001, '9') + "')",
           &err),
      1704);
  EXPECT_EQ(value("select count(*) from load"), "8");
  EXPECT_EQ(exec("INSERT INTO load VALUES (-10000, 'a', 'a', '01-JAN-90', 1)", &err), 1438);
  // A table changed under the script: its INSERTs compile again against the new columns.
  ASSERT_EQ(exec("alter table load add (e varchar2(2) default 'D')"), 0);
  ASSERT_EQ(exec("INSERT INTO load (n, v, c, d, x) VALUES (3, 'q', 'r', '02-JAN-90', 8)"), 0);
  EXPECT_EQ(value("select e from load where v = 'q'"), "D");
  ASSERT_EQ(exec("INSERT INTO load VALUES (4, 'w', 'r', '02-JAN-90', 9, 'EE')"), 0);
  ASSERT_EQ(exec("INSERT INTO load VALUES (5, 'w', 'r', '02-JAN-90', 9, 'FF')"), 0);
  EXPECT_EQ(value("select count(*) || ':' || max(e) from load where v = 'w'"), "2:FF");
}

// Texts that differ only in their literals share one compiled statement wherever the literals
// stand, and each answers as it does compiled alone: where a literal's value shapes the
// statement (a position, a select list's names and sizes, a format mask's length, a type, a
// window) the text is compiled by itself; elsewhere the value is checked and converted at run
// time with the errors it has in place.
TEST_F(Sql, SharedShapes_AnswerAsEachTextAlone) {
  Lda_Def alone{};
  ASSERT_EQ(logOn(alone, "scott/tiger@"), 0);
  auto answer = [&](const std::string &sql, Lda_Def *on) {
    std::string out, err;
    Rows rows;
    if (sql.compare(0, 6, "select") == 0 || sql.compare(0, 4, "with") == 0) {
      rows = query(sql, nullptr, on);
      for (const std::string &c : lastColumns)
        out += c + ";";
      out += " " + lastError + " @" + std::to_string(lastOffset);
    } else {
      int rc = on ? runOn(*on, sql, &err) : exec(sql, &err);
      out = std::to_string(rc) + " " + (rc ? err : "");
      rows = query("select empno, ename, sal, to_char(hiredate, 'YYYY-MM-DD') from emp "
                   "order by empno",
                   nullptr, on);
      EXPECT_EQ(on ? runOn(*on, "rollback") : exec("rollback"), 0);
    }
    for (auto &r : rows)
      for (auto &v : r)
        out += "|" + v;
    return out;
  };
  const std::string tooLong =
      "select count(*) from emp where ename < '" + std::string(2001, 'x') + "'";
  const char *cases[][2] = {
      {"select ename, sal from emp where deptno = 10 order by 1",
       "select ename, sal from emp where deptno = 10 order by 2"},
      {"select ename from emp where deptno = 20 order by 1", // ORA-01785
       "select ename from emp where deptno = 20 order by 2"},
      {"select ename from emp where rownum < 3", "select ename from emp where rownum < 5"},
      {"select ename from emp order by empno offset 1 rows fetch first 2 rows only",
       "select ename from emp order by empno offset 3 rows fetch first 4 rows only"},
      {"select 'ab', 1 from dual", "select 'abcdef', 22 from dual"},
      {"select to_char(sal, '9999') from emp where empno = 7839",
       "select to_char(sal, '9G999D99') from emp where empno = 7839"},
      {"select count(*) from emp where to_char(hiredate, 'YYYY') = '1981'",
       "select count(*) from emp where to_char(hiredate, 'MM') = '12'"},
      {"select count(*) from emp where hiredate < to_date('1987-06-17', 'YYYY-MM-DD')",
       "select count(*) from emp where hiredate < to_date('1987-02-30', 'YYYY-MM-DD')"},
      {"select count(*) from emp where hiredate > to_date('1981', 'YYYY')",
       "select count(*) from emp where hiredate > to_date('1981', 'QQQQ')"},
      {"select count(*) from emp where hiredate + 1 > '03-DEC-81'",
       "select count(*) from emp where hiredate + 40 > '31-FEB-81'"},
      {"select count(*) from emp where sal > '1000'", "select count(*) from emp where sal > 'abc'"},
      {"select count(*) from emp where sal >= '1250'",
       "select count(*) from emp where sal >= '1250.5'"},
      {"select count(*) from emp where sal between 1000 and 2000",
       "select count(*) from emp where sal between 1250.5 and 3000"},
      {"select count(*) from emp where sal < -1", "select count(*) from emp where sal < -1e200"},
      {"select count(*) from emp where ename < 'a'", tooLong.c_str()},
      {"select count(*) from emp group by substr(ename, 1, 1) having count(*) > 1",
       "select count(*) from emp group by substr(ename, 1, 2) having count(*) > 1"},
      {"select deptno from emp group by deptno order by deptno + 1",
       "select deptno from emp group by deptno order by deptno + 2"},
      {"select count(*) from emp where trim('S' from ename) = 'MITH'",
       "select count(*) from emp where trim('SS' from ename) = 'MITH'"},
      {"select count(*) from emp where lpad(ename, 6) = ' SMITH'",
       "select count(*) from emp where lpad(ename, 7) = '  SMITH'"},
      {"select count(*) from emp where cast(sal as varchar2(4)) = '5000'",
       "select count(*) from emp where cast(sal as varchar2(3)) = '5000'"},
      {"select ename from emp where deptno = 10 order by sum(sal) over (order by empno rows 1 "
       "preceding) desc",
       "select ename from emp where deptno = 10 order by sum(sal) over (order by empno rows 2 "
       "preceding) desc"},
      {"select count(*) from emp where empno in (7369, 7499) and ename like 'S%'",
       "select count(*) from emp where empno in (7369, 7839) and ename like '%G'"},
      {"select count(*) from emp where nvl(comm, 0) > 100 and decode(deptno, 30, 'x') = 'x'",
       "select count(*) from emp where nvl(comm, 500) > 100 and decode(deptno, 20, 'x') = 'x'"},
      {"select count(*) from emp where hiredate > date '1981-06-01'",
       "select count(*) from emp where hiredate > date '1981-02-30'"},
      {"select count(*) from emp where sal > (select 1000 from dual)",
       "select count(*) from emp where sal > (select 3000 from dual)"},
      {"select ename from emp where empno = 7369 union select 'X' from dual order by 1",
       "select ename from emp where empno = 7369 union select 'XYZWVUT' from dual order by 1"},
      {"with t as (select ename from emp where sal > 2000) select count(*) from t a, t b",
       "with t as (select ename from emp where sal > 2900) select count(*) from t a, t b"},
      {"update emp set hiredate = to_date('1987-06-17', 'YYYY-MM-DD'), sal = sal + 1 where "
       "empno = 7369",
       "update emp set hiredate = to_date('1990-01-31', 'YYYY-MM-DD'), sal = sal + 2 where "
       "empno = 7499"},
      {"update emp set hiredate = to_date('17-06-1987', 'dd-MM-yyyy') where empno = 7900",
       "update emp set hiredate = to_date('17-13-1987', 'dd-MM-yyyy') where empno = 7902"},
      {"update emp set sal = 1 where ename = 'SMITH'",
       "update emp set sal = 123456789 where ename = 'KING'"},
      {"delete from emp where empno = 7369", "delete from emp where empno = 7499"},
      {"delete from emp where ename = 'SMITH' or sal > 4000",
       "delete from emp where ename = 'KING' or sal > 2000"},
      {"insert into emp (empno, ename, hiredate) values (1, 'A', to_date('17-06-1987', "
       "'dd-MM-yyyy'))",
       "insert into emp (empno, ename, hiredate) values (2, 'B', to_date('31-06-1987', "
       "'dd-MM-yyyy'))"},
      {"insert into emp (empno, ename) select 3, 'C' from dual",
       "insert into emp (empno, ename) select 4, 'DDDDDDDDDDDDDDD' from dual"},
  };
  std::vector<std::string> shared;
  for (auto &c : cases) {
    answer(c[0], nullptr);
    shared.push_back(answer(c[1], nullptr));
    EXPECT_EQ(shared.back(), answer(c[1], &alone)) << c[1];
  }
  // The answers themselves, for a few of the cases.
  EXPECT_EQ(shared[0], "ENAME:10;SAL:9;  @0|MILLER|1300|CLARK|2450|KING|5000");
  EXPECT_NE(shared[1].find("ORA-01785"), std::string::npos);
  EXPECT_EQ(shared[4], "'ABCDEF':6;22:40;  @0|abcdef|22");
  EXPECT_NE(shared[7].find("ORA-01839"), std::string::npos);
  EXPECT_NE(shared[13].find("ORA-01426"), std::string::npos);
  EXPECT_NE(shared[14].find("ORA-01704"), std::string::npos);
  EXPECT_EQ(shared[15], "COUNT(*):40;  @0"); // no two names start alike
  EXPECT_NE(shared[17].find("ORA-30001"), std::string::npos);
  EXPECT_EQ(shared[26], "COUNT(*):40;  @0|16"); // both uses of the WITH query
  EXPECT_NE(shared[28].find("ORA-01843"), std::string::npos);
  EXPECT_NE(shared[29].find("ORA-01438"), std::string::npos);
  EXPECT_NE(shared[32].find("ORA-01839"), std::string::npos);
  ologof(&alone);
}

TEST_F(Sql, Ddl_ObjectsAndTheDictionary) {
  ASSERT_EQ(exec("create table parent (id number(4) constraint pk_parent primary key, name "
                 "varchar2(20) not null, created date default sysdate) storage (initial 10k) "
                 "pctfree 5"),
            0)
      << lastError;
  ASSERT_EQ(exec("create table child (id number, parent_id number constraint fk_child "
                 "references parent on delete cascade, note char(5))"),
            0)
      << lastError;
  EXPECT_EQ(lastCode, 1);
  EXPECT_EQ(exec("insert into parent (id, name) values (1, 'one')"), 0);
  EXPECT_EQ(value("select count(*) from parent where created is not null"), "1");
  EXPECT_EQ(exec("insert into child values (10, 1, 'ab')"), 0);
  EXPECT_EQ(value("select note || '|' from child"), "ab   |");
  EXPECT_EQ(value("select count(*) from child where note = 'ab'"), "1");
  EXPECT_EQ(exec("delete from parent"), 0);
  EXPECT_EQ(value("select count(*) from child"), "0");
  EXPECT_EQ(exec("alter table parent add (extra number(3))"), 0);
  EXPECT_EQ(exec("alter table parent modify (name varchar2(40))"), 0);
  EXPECT_EQ(value("select data_length from user_tab_columns where table_name = 'PARENT' and "
                  "column_name = 'NAME'"),
            "40");
  EXPECT_EQ(exec("alter table parent add constraint uq_name unique (name)"), 0);
  EXPECT_EQ(exec("alter table parent disable constraint uq_name"), 0);
  EXPECT_EQ(value("select status from user_constraints where constraint_name = 'UQ_NAME'"),
            "DISABLED");
  EXPECT_EQ(exec("insert into parent (id, name) values (2, 'x')"), 0);
  EXPECT_EQ(exec("insert into parent (id, name) values (3, 'x')"), 0);
  std::string err;
  EXPECT_EQ(exec("alter table parent enable constraint uq_name", &err), 2299) << err;
  EXPECT_EQ(exec("alter table parent drop constraint uq_name"), 0);
  EXPECT_EQ(exec("create or replace view pv as select id, upper(name) uname from parent with "
                 "read only"),
            0)
      << lastError;
  EXPECT_EQ(lastCode, 10);
  EXPECT_EQ(value("select count(*) from pv where uname = 'X'"), "2");
  EXPECT_EQ(exec("insert into pv values (9, 'Y')", &err), 1733); // WITH READ ONLY
  EXPECT_EQ(exec("create view bad as select id + 1 from parent", &err), 998);
  EXPECT_EQ(exec("create index parent_name on parent (name)"), 0);
  EXPECT_EQ(exec("create sequence seq increment by 10 start with 100 maxvalue 120"), 0);
  EXPECT_EQ(value("select seq.nextval from dual"), "100");
  EXPECT_EQ(value("select seq.currval from dual"), "100");
  EXPECT_EQ(value("select seq.nextval from dual"), "110");
  EXPECT_EQ(value("select seq.nextval from dual"), "120");
  EXPECT_EQ(value("select seq.nextval from dual").rfind("ERROR: ORA-08004", 0), 0u);
  EXPECT_EQ(exec("create synonym p for parent"), 0);
  EXPECT_EQ(value("select count(*) from p"), "2");
  EXPECT_EQ(exec("comment on column parent.name is 'the name'"), 0);
  EXPECT_EQ(value("select comments from user_col_comments where table_name = 'PARENT' and "
                  "column_name = 'NAME'"),
            "the name");
  Rows r = query("select object_name, object_type, status from user_objects where object_name "
                 "in ('PARENT', 'CHILD', 'PV', 'SEQ', 'P', 'PARENT_NAME', 'PK_PARENT') order by 1");
  EXPECT_EQ(r, (Rows{{"CHILD", "TABLE", "VALID"},
                     {"P", "SYNONYM", "VALID"},
                     {"PARENT", "TABLE", "VALID"},
                     {"PARENT_NAME", "INDEX", "VALID"},
                     {"PK_PARENT", "INDEX", "VALID"},
                     {"PV", "VIEW", "VALID"},
                     {"SEQ", "SEQUENCE", "VALID"}}));
  EXPECT_EQ(value("select text from user_views where view_name = 'PV'"),
            "select id, upper(name) uname from parent");
  EXPECT_EQ(exec("rename parent to parent2"), 0);
  EXPECT_EQ(value("select count(*) from parent2"), "2");
  EXPECT_EQ(exec("truncate table child"), 0);
  EXPECT_EQ(exec("drop table parent2", &err), 2449);
  EXPECT_EQ(exec("drop table parent2 cascade constraints"), 0);
  EXPECT_EQ(value("select count(*) from user_constraints where constraint_name = 'FK_CHILD'"), "0");
  EXPECT_EQ(exec("drop table parent2", &err), 942);
  EXPECT_EQ(exec("drop sequence seq"), 0);
  EXPECT_EQ(exec("drop synonym p"), 0);
  EXPECT_EQ(exec("drop view pv"), 0);
  EXPECT_EQ(exec("create table emp (x number)", &err), 955);
  // CREATE TABLE AS SELECT copies types and rows.
  EXPECT_EQ(exec("create table emp2 as select empno, ename, hiredate, sal from emp where deptno "
                 "= 20"),
            0)
      << lastError;
  EXPECT_EQ(value("select count(*) from emp2"), "5");
  EXPECT_EQ(value("select data_type || '(' || data_precision || ',' || data_scale || ')' from "
                  "user_tab_columns where table_name = 'EMP2' and column_name = 'SAL'"),
            "NUMBER(7,2)");
  // Dictionary units of PL/SQL exist and are empty until PL/SQL compiles.
  EXPECT_EQ(value("select count(*) from all_source"), "0");
  EXPECT_EQ(value("select count(*) from user_errors"), "0");
  EXPECT_EQ(value("select count(*) from user_triggers"), "0");
  EXPECT_EQ(value("select count(*) from all_objects where owner = 'SCOTT' and object_type = "
                  "'TABLE'"),
            "6"); // EMP, DEPT, BONUS, SALGRADE, CHILD, EMP2
}

TEST_F(Sql, Errors_OracleNumbersAtTheRightOffset) {
  struct Case {
    const char *sql;
    int code, offset;
  } cases[] = {
      {"selec * from dual", 900, 0},
      {"select ename frm emp", 923, 17},
      {"select ename from emp whre sal > 1", 933, 27},
      {"select ename,, from emp", 936, 13},
      {"select ename from emp where (sal > 1", 907, 36},
      {"select nosuch from emp", 904, 7},
      {"select ename from nosuch", 942, 18},
      {"select ename from emp;", 911, 21},
      {"select 'abc from dual", 1756, 7},
      {"select ename, count(*) from emp", 937, 7},
      {"select job, ename from emp group by job", 979, 12},
      {"select deptno from emp, dept", 918, 7},
      {"select hiredate * 2 from emp", 932, 16},
      {"select upper(1, 2) from dual", 909, 7},
      {"select ename from emp where hiredate = 5", 932, 37},
      {"select ename from emp where sal", 920, 28},
      {"select deptno, sal+1 from emp group by deptno", 979, 15},
      {"select max(ename) from emp group by deptno order by sal", 979, 52},
      {"CREATE TABLE tc (d DATE CHECK (d > SYSDATE))", 2436, 35},
      {"select 1, 2 from dual union select 1 from dual", 1789, 28},
      {"select 1 from dual union select 'a' from dual", 1790, 32},
      {"select ename from emp order by 2", 1785, 31},
      {"select ename from emp order by 0", 1785, 31},
      {"select ename x, job x from emp order by x", 960, 40},
      {"select distinct ename from emp order by sal", 1791, 40},
      {"select ename from emp union select dname from dept order by upper(ename)", 904, 60},
      {"select ename from emp start with mgr is null", 1788, 22},
      {"select level from emp", 1788, 7},
      {"select ename from emp, dept connect by prior empno = mgr", 1437, 23},
      {"select deptno from emp where max(sal) > 1", 934, 29},
      {"select max(max(max(sal))) from emp group by deptno", 935, 15},
      {"select max(avg(sal)) from emp", 978, 11},
      {"select deptno, max(avg(sal)) from emp group by deptno", 937, 7},
      {"select count() from emp", 909, 7},
      {"select upper(distinct ename) from emp", 936, 7},
      {"select max(*) from emp", 936, 7},
      {"select 1 from emp where (empno, ename) in (select empno from emp)", 947, 43},
      {"select (1, 2) from dual", 907, 11},
      {"select 1 from emp e, dept d where e.deptno(+) = d.deptno or 1 = 1", 1719, 34},
      {"select 1 from emp e, dept d, emp m where e.deptno(+) = d.deptno + m.deptno(+)", 1468, 53},
      {"select 1 from emp e, dept d where e.deptno(+) = d.deptno and d.deptno(+) = e.empno", 1416,
       46},
      {"select hiredate + hiredate from emp", 975, 16},
      {"select 1 - hiredate from emp", 932, 9},
      {"select rowid from emp, dept", 918, 7},
      {"select 1e200 from dual", 1426, 7},
      {"select nosuch.nextval from dual", 2289, 7},
      {"insert into dept (deptno, deptno) values (1, 2)", 957, 26},
      {"insert into dept values (1, 'a')", 947, 28},
      {"insert into dept values (1, 'a', 'b', 'c')", 913, 38},
      {"insert into dept values (deptno, 'a', 'b')", 984, 25},
      {"update emp set sal = 1, sal = 2", 957, 24},
      {"update emp set (sal, comm) = (select 1 from dual)", 947, 29},
      {"select 1 from dual where 1 = (select 1, 2 from dual)", 913, 30},

      {"create table tc (n number, check (n > uid))", 2436, 38},
      {"create table tc (n number check (n in (select 1 from dual)))", 2251, 39},
      {"select * from emp@remote", 3001, 17},
      {"begin nul; end;", 6550, 6}, // PL/SQL: the first compile error's offset
      // DDL about a missing table points at its name.
      {"create index ix on nosuch (a)", 942, 19},
      {"alter table nosuch add (a number)", 942, 12},
      {"comment on table nosuch is 'x'", 942, 17},
      {"drop table nosuch", 942, 11},
      {"truncate table nosuch", 942, 15},
      {"select e.nosuch from emp e", 904, 7},
      {"select x.* from emp", 904, 7},
      {"select ename x from emp union select dname from dept order by ename", 904, 62},
      {"select rowid from (select * from emp)", 1446, 7},
      {"select count(*) from emp where sal > any (select sal, comm from emp)", 913, 42},
      {"select count(*) from emp where (empno, ename) in ((7369, 'SMITH'), (1, 'x', 2))", 913, 67},
      {"select count(*) from emp where (empno, ename) in ((7369, 'SMITH'), 1)", 947, 67},
      {"select prior ename from emp", 976, 7},
      {"select rownum, count(*) from emp", 937, 7},
      {"select sal + 1 from emp group by sal + 2", 979, 7},
      {"select sal + 1 from emp group by comm + 1", 979, 7},
      {"select upper(ename) from emp group by lower(ename)", 979, 13},
      // Grouped by a different test, a different CASE form, a different cast.
      {"select case when comm is null then 1 end from emp group by case when comm is not null "
       "then 1 end",
       979, 17},
      {"select case sal when 1 then 1 end from emp group by case when sal = 1 then 1 end", 979, 12},
      {"select cast(sal as number(5)) from emp group by cast(sal as number(6))", 979, 12},
      {"select abs(hiredate) from emp", 932, 11},
      {"select greatest(hiredate, 1) from emp", 932, 26},
      {"select add_months(5, 1) from dual", 932, 18},
      {"select count(*) from emp where rowid = 5", 932, 37},
      {"select sal(+) from emp", 920, 7},
      {"select count(*) from dual where hextoraw('AB') = 1", 932, 47},
      {"select count(*) from dual where hextoraw('AB') = sysdate", 932, 47},
      {"select sysdate - rowid from dual", 932, 17},
      {"insert into emp (nosuch) values (1)", 904, 17},
      {"insert into dept select deptno, dname from dept", 947, 17},
      {"insert into dept (deptno) select deptno, dname from dept", 913, 41},
      {"update emp set nosuch = 1", 904, 15},
      {"update (select * from emp) set sal = 1", 1732, 7},
      {"select 1 from dept d where exists (select 1 from emp e where e.deptno = d.deptno(+))", 1719,
       72},
      {"select 1 from emp where nosuch(+) = 1", 904, 24},
      {"select count(e.rowid) from emp e, dept d where e.nosuch = 1", 904, 47},
      // What this server does not do is refused with a clear error.
      {"select 1 from (select * from emp) connect by prior empno = mgr", 3001, 14},
      {"select ename from emp where rownum <= sal", 3001, 28},
      {"select rownum from emp where rownum < 5 and rownum < 3", 3001, 51},
  };
  for (const Case &c : cases) {
    for (int deferred = 0; deferred <= 1; ++deferred) {
      Cda_Def cda{};
      ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
      int rc = oparse(&cda, (text *)c.sql, -1, deferred, 2);
      if (deferred) {
        EXPECT_EQ(rc, 0) << c.sql; // a deferred parse reports at the describe or execute
        rc = oexn(&cda, 1, 0);
      }
      EXPECT_EQ(rc, c.code) << c.sql << ": " << message(lda, rc);
      EXPECT_EQ(rcOf(cda), c.code) << c.sql;
      EXPECT_EQ(peoOf(cda), c.offset) << c.sql;
      oclose(&cda);
    }
  }
  // LONG values are neither compared, joined, sorted nor combined.
  ASSERT_EQ(exec("create table lt (l long, n number)"), 0);
  for (const Case &c :
       std::initializer_list<Case>{{"select l from lt union select 'x' from dual", 997, 30},
                                   {"select 'x' from dual union all select l from lt", 997, 38},
                                   {"select n from lt where l = 'x'", 997, 25},
                                   {"select max(l) from lt", 997, 11},
                                   {"select l || 'x' from lt", 997, 9},
                                   {"select n from lt order by l", 997, 26}}) {
    EXPECT_EQ(exec(c.sql), c.code) << c.sql << ": " << lastError;
    EXPECT_EQ(lastOffset, c.offset) << c.sql;
  }
  // At most 1000 columns, also when stars expand to them.
  std::string stars = "select e.*";
  for (int i = 1; i < 126; ++i)
    stars += ", e.*";
  EXPECT_EQ(exec(stars + " from emp e"), 1792);
  EXPECT_EQ(lastOffset, 7 + 125 * 5);
  EXPECT_EQ(exec(stars.substr(0, stars.size() - 5) + " from emp e"), 0);
  // A string literal holds at most 2000 characters.
  EXPECT_EQ(value("select length('" + std::string(2000, 'x') + "') from dual"), "2000");
  EXPECT_EQ(exec("select '" + std::string(2001, 'x') + "' from dual"), 1704);
  EXPECT_EQ(lastOffset, 7);
  ASSERT_EQ(exec("create sequence sq"), 0);
  EXPECT_EQ(exec("select 1 from dual where sq.nextval = 1"), 2287);
  EXPECT_EQ(lastOffset, 25);
  ASSERT_EQ(exec("create synonym sa for sb"), 0);
  ASSERT_EQ(exec("create synonym sb for sa"), 0);
  EXPECT_EQ(exec("select * from sa"), 1775);
  EXPECT_EQ(value("select 1/0 from dual"), "ERROR: ORA-01476: divisor is equal to zero");
  EXPECT_EQ(value("select count(*) from dual where 'ab' like 'ab' escape 'xy'"),
            "ERROR: ORA-01425: escape character must be character string of length 1");
  EXPECT_EQ(value("select to_number('x1') from dual"), "ERROR: ORA-01722: invalid number");
  EXPECT_EQ(value("select to_date('31-02-1999', 'DD-MM-YYYY') from dual"),
            "ERROR: ORA-01839: date not valid for month specified");
  EXPECT_EQ(value("select ename from emp where deptno = (select deptno from dept)"),
            "ERROR: ORA-01427: single-row subquery returns more than one row");
}

TEST_F(Sql, FunctionCode_SetAtParseEvenWhenDeferred) {
  struct Case {
    const char *sql;
    int code;
  } cases[] = {{"select * from dual", 4},
               {"insert into x values (1)", 3},
               {"update x set a = 1", 5},
               {"delete x", 9},
               {"create table x (a number)", 1},
               {"drop table x", 8},
               {"commit", 54},
               {"rollback", 55},
               {"alter table x add (b number)", 26},
               {"begin null; end;", 34},
               {"create or replace procedure p is begin null; end;", 24},
               {"nonsense", 0}};
  for (const Case &c : cases) {
    Cda_Def cda{};
    oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    oparse(&cda, (text *)c.sql, -1, 1, 2);
    EXPECT_EQ(functionCodeOf(cda), c.code) << c.sql;
    oclose(&cda);
  }
  // DDL runs at a non-deferred parse, as Oracle's does; the execute after it does nothing.
  Cda_Def cda{};
  oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
  EXPECT_EQ(oparse(&cda, (text *)"create table at_parse (a number)", -1, 0, 2), 0);
  EXPECT_EQ(value("select count(*) from user_tables where table_name = 'AT_PARSE'"), "1");
  EXPECT_EQ(oexn(&cda, 1, 0), 0);
  EXPECT_EQ(oexn(&cda, 1, 0), 955); // executing it again creates it again
  oclose(&cda);
}

TEST_F(Sql, Transactions_AsOracleKeepsThem) {
  ASSERT_EQ(exec("create table tx (n number)"), 0);
  // A second logon sees only what was committed.
  Lda_Def other;
  ASSERT_EQ(logOn(other, "scott/tiger@"), 0);
  auto countOther = [&] {
    Cda_Def cda{};
    oopen(&cda, &other, nullptr, -1, -1, nullptr, -1);
    oparse(&cda, (text *)"select count(*) from tx", -1, 1, 2);
    char buf[41];
    sb2 ind = 0;
    ub2 len = 0, rc = 0;
    odefin(&cda, 1, (ub1 *)buf, 40, 1, -1, &ind, nullptr, -1, -1, &len, &rc);
    oexfet(&cda, 1, 1, 0);
    oclose(&cda);
    return std::string(buf, len);
  };
  EXPECT_EQ(exec("insert into tx values (1)"), 0);
  EXPECT_EQ(value("select count(*) from tx"), "1");
  EXPECT_EQ(countOther(), "0");
  EXPECT_EQ(ocom(&lda), 0);
  EXPECT_EQ(countOther(), "1");
  EXPECT_EQ(exec("insert into tx values (2)"), 0);
  EXPECT_EQ(orol(&lda), 0);
  EXPECT_EQ(value("select count(*) from tx"), "1");
  // SAVEPOINT and ROLLBACK TO.
  EXPECT_EQ(exec("insert into tx values (3)"), 0);
  EXPECT_EQ(exec("savepoint a"), 0);
  EXPECT_EQ(exec("insert into tx values (4)"), 0);
  EXPECT_EQ(exec("rollback to savepoint a"), 0);
  EXPECT_EQ(value("select sum(n) from tx"), "4");
  EXPECT_EQ(exec("commit"), 0);
  EXPECT_EQ(countOther(), "2");
  std::string err;
  EXPECT_EQ(exec("rollback to nosuch", &err), 1086);
  // A lock another logon holds is an error after the timeout, not a hang.
  EXPECT_EQ(exec("insert into tx values (5)"), 0);
  Cda_Def cda{};
  oopen(&cda, &other, nullptr, -1, -1, nullptr, -1);
  oparse(&cda, (text *)"insert into tx values (6)", -1, 1, 2);
  EXPECT_EQ(oexn(&cda, 1, 0), 54);
  EXPECT_EQ(message(other, 54), "ORA-00054: resource busy: another logon holds an uncommitted "
                                "transaction on this server (the local server has one writer at "
                                "a time)");
  oclose(&cda);
  // DDL commits what came before it.
  EXPECT_EQ(exec("create table tx2 (n number)"), 0);
  EXPECT_EQ(countOther(), "3");
  // Logoff commits.
  EXPECT_EQ(exec("insert into tx values (7)"), 0);
  ologof(&lda);
  EXPECT_EQ(countOther(), "4");
  ologof(&other);
  ASSERT_EQ(logOn(lda, "scott/tiger@"), 0);
}

TEST_F(Sql, Users_CreatedBySystemOnly) {
  std::string err;
  EXPECT_EQ(exec("create user alice identified by secret", &err), 1031);
  Lda_Def sys;
  ASSERT_EQ(logOn(sys, "system/manager@"), 0);
  auto sysExec = [&](const char *sql) {
    Cda_Def cda{};
    oopen(&cda, &sys, nullptr, -1, -1, nullptr, -1);
    int rc = oparse(&cda, (text *)sql, -1, 1, 2);
    if (!rc)
      rc = oexn(&cda, 1, 0);
    oclose(&cda);
    return rc;
  };
  EXPECT_EQ(sysExec("create user alice identified by secret"), 0);
  EXPECT_EQ(sysExec("create user alice identified by secret"), 1920);
  EXPECT_EQ(sysExec("grant connect, resource to alice"), 0);
  Lda_Def alice;
  EXPECT_EQ(logOn(alice, "alice/SECRET@"), 0);
  ologof(&alice);
  EXPECT_EQ(sysExec("alter user alice identified by other"), 0);
  EXPECT_EQ(logOn(alice, "alice/secret@"), 1017);
  EXPECT_EQ(logOn(alice, "alice/other@"), 0);
  ologof(&alice);
  // Another schema's table needs a grant.
  EXPECT_EQ(exec("create table mine (a number)"), 0);
  EXPECT_EQ(value("select count(*) from scott.emp"), "14");
  EXPECT_EQ(exec("grant select on mine to alice"), 0);
  EXPECT_EQ(value("select count(*) from user_tab_privs where table_name = 'MINE'"), "1");
  EXPECT_EQ(exec("revoke select on mine from alice"), 0);
  EXPECT_EQ(sysExec("drop user alice"), 0);
  EXPECT_EQ(sysExec("drop user alice"), 1918);
  EXPECT_EQ(value("select count(*) from all_users where username = 'ALICE'"), "0");
  ologof(&sys);
}

} // namespace

namespace {

TEST_F(Sql, AlterSession_DateFormatOfTheSession) {
  ASSERT_EQ(exec("alter session set nls_date_format = 'YYYY-MM-DD HH24:MI:SS'"), 0);
  EXPECT_EQ(lastCode, 52);
  EXPECT_EQ(value("select hiredate from emp where empno = 7839"), "1981-11-17 00:00:00");
  EXPECT_EQ(value("select count(*) from emp where hiredate < '1981-03-01 00:00:00'"), "3");
  EXPECT_EQ(value("select to_char(to_date('2001-02-03 04:05:06')) from dual"),
            "2001-02-03 04:05:06");
  std::string err;
  EXPECT_EQ(exec("alter session set nls_date_format = 'XQX'", &err), 1821);
  EXPECT_EQ(exec("alter session set no_such_parameter = 1", &err), 2248);
  EXPECT_EQ(exec("alter session set nls_date_format = 'DD-MON-YY'"), 0);
  EXPECT_EQ(value("select hiredate from emp where empno = 7839"), "17-NOV-81");
}

} // namespace

namespace {

TEST_F(Sql, ConnectBy_TreesInOraclesOrder) {
  Rows r = query("select lpad(' ', 2 * (level - 1)) || ename, level from emp start with mgr is "
                 "null connect by prior empno = mgr");
  ASSERT_EQ(r.size(), 14u);
  std::vector<std::string> names;
  for (auto &row : r)
    names.push_back(row[0]);
  EXPECT_EQ(names, (std::vector<std::string>{"KING", "  JONES", "    SCOTT", "      ADAMS",
                                             "    FORD", "      SMITH", "  BLAKE", "    ALLEN",
                                             "    WARD", "    MARTIN", "    TURNER", "    JAMES",
                                             "  CLARK", "    MILLER"}));
  EXPECT_EQ(value("select count(*) from emp connect by prior empno = mgr"), "39");
  EXPECT_EQ(value("select count(*) from emp start with mgr is null connect by prior empno = mgr "
                  "and level <= 2"),
            "4");
  r = query("select ename from emp where job <> 'CLERK' start with ename = 'JONES' connect by "
            "prior empno = mgr order by ename");
  EXPECT_EQ(r, (Rows{{"FORD"}, {"JONES"}, {"SCOTT"}}));
  EXPECT_EQ(value("select level from dual"),
            "ERROR: ORA-01788: CONNECT BY clause required in this query block");
  EXPECT_EQ(value("select 1 from emp, dept connect by prior empno = mgr"),
            "ERROR: ORA-01437: cannot have join with CONNECT BY");
  ASSERT_EQ(exec("update emp set mgr = 7566 where empno = 7839"), 0);
  EXPECT_EQ(value("select count(*) from emp start with empno = 7839 connect by prior empno = mgr"),
            "ERROR: ORA-01436: CONNECT BY loop in user data");
}

} // namespace

namespace {

TEST_F(Sql, Views_DmlThroughASimpleView) {
  ASSERT_EQ(exec("create view clerks as select empno id, ename name, sal * 12 annual, deptno "
                 "from emp where job = 'CLERK'"),
            0);
  EXPECT_EQ(exec("update clerks set name = lower(name)"), 0);
  EXPECT_EQ(lastRows, 4u); // only the view's rows
  EXPECT_EQ(value("select count(*) from emp where ename = lower(ename)"), "4");
  EXPECT_EQ(exec("delete from clerks where deptno = 10"), 0);
  EXPECT_EQ(lastRows, 1u);
  EXPECT_EQ(exec("insert into clerks (id, name, deptno) values (1, 'NEW', 20)"), 0);
  EXPECT_EQ(value("select ename || '/' || nvl(job, '-') from emp where empno = 1"), "NEW/-");
  std::string err;
  EXPECT_EQ(exec("update clerks set annual = 1", &err), 1733);
  EXPECT_EQ(lastOffset, 18);
  EXPECT_EQ(exec("create view bydept as select deptno, count(*) n from emp group by deptno"), 0);
  EXPECT_EQ(exec("delete from bydept", &err), 1732);
  EXPECT_EQ(exec("create view checked as select * from dept where deptno > 20 with check option"),
            0);
  // WITH CHECK OPTION: a row the change would take out of the view (or whose condition is
  // unknown) fails the statement, which then changes nothing; DELETE is unchecked.
  EXPECT_EQ(exec("insert into checked values (50, 'X', 'Y')"), 0);
  EXPECT_EQ(lastRows, 1u);
  EXPECT_EQ(exec("insert into checked values (15, 'X', 'Y')"), 1402);
  EXPECT_EQ(exec("insert into checked select deptno + 5, dname, loc from dept"), 1402);
  EXPECT_EQ(exec("update checked set deptno = 5 where deptno = 50"), 1402);
  EXPECT_EQ(exec("update checked set loc = 'Z' where deptno >= 40"), 0);
  EXPECT_EQ(lastRows, 2u);
  EXPECT_EQ(value("select count(*) || min(deptno) from dept where deptno > 20"), "330");
  EXPECT_EQ(exec("delete from checked where deptno = 50"), 0);
  EXPECT_EQ(lastRows, 1u);
  EXPECT_EQ(exec("delete from user_tables", &err), 1031); // the dictionary is read-only for users
  EXPECT_EQ(exec("create view both_ as select deptno from emp union select deptno from dept"), 0);
  EXPECT_EQ(exec("delete from both_", &err), 1732);
  EXPECT_EQ(lastOffset, 12);
  EXPECT_EQ(exec("create view fixed as select * from dept with read only"), 0);
  EXPECT_EQ(exec("delete from fixed", &err), 1733);
  EXPECT_EQ(lastOffset, 12);
  // A ROWID column leaves the other columns changeable.
  EXPECT_EQ(exec("create view withrowid as select rowid r, ename from emp"), 0);
  EXPECT_EQ(exec("update withrowid set ename = 'K' where ename = 'KING'"), 0);
  EXPECT_EQ(lastRows, 1u);
  EXPECT_EQ(exec("update withrowid set r = null", &err), 1733);
}

} // namespace
