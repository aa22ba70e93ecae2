// Describe, binds, defines and the fetch calls through the contract: counts, 1403, truncation.
#include "OciTestUtil.h"

using namespace ocitest;

namespace {

using Rows = std::vector<std::vector<std::string>>;

class Fetch : public Scott {
protected:
  Cda_Def open(const char *sql) {
    Cda_Def cda{};
    EXPECT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    EXPECT_EQ(oparse(&cda, (text *)sql, -1, 1, 2), 0);
    return cda;
  }
};

TEST_F(Fetch, Describe_TypesSizesNamesNullability) {
  Cda_Def cda = open("select empno, ename, hiredate, sal, 'abc', rowid, null, sal * 2 total, "
                     "count(*) over_name from emp group by empno, ename, hiredate, sal, rowid");
  struct Want {
    const char *name;
    int type, size, nullOk;
  } want[] = {{"EMPNO", 2, 6, 0}, {"ENAME", 1, 10, 1}, {"HIREDATE", 12, 9, 1},
              {"SAL", 2, 9, 1},   {"'ABC'", 96, 3, 0}, {"ROWID", 11, 18, 0},
              {"NULL", 1, 0, 1},  {"TOTAL", 2, 40, 1}, {"OVER_NAME", 2, 40, 0}};
  for (int i = 0; i < 9; ++i) {
    sb4 dbsize = 0, cbufl = 31, dsize = 0;
    sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
    sb1 name[32] = {};
    ASSERT_EQ(odescr(&cda, i + 1, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok),
              0)
        << i << message(lda, rcOf(cda));
    EXPECT_EQ(std::string((char *)name, cbufl), want[i].name);
    EXPECT_EQ(dbtype, want[i].type) << want[i].name;
    EXPECT_EQ(dsize, want[i].size) << want[i].name;
    EXPECT_EQ(nullok, want[i].nullOk) << want[i].name;
  }
  oclose(&cda);
  // What an expression's value is: its own type and the size of the column it reads.
  const std::pair<const char *, Want> values[] = {
      {"select max(hiredate) from emp", {"", 12, 9, 1}},
      {"select hiredate + 1 from emp", {"", 12, 9, 1}},
      {"select rownum from dual", {"", 2, 40, 0}},
      {"select ltrim(ename) from emp", {"", 1, 10, 1}},
      {"select (select max(sal) from emp) from dual", {"", 2, 9, 1}},
      {"select upper(job) from emp", {"", 1, 9, 1}},
      {"select lpad(ename, 12) from emp", {"", 1, 12, 1}},
      {"select to_char(ename) from emp", {"", 1, 10, 1}},
      {"select hiredate || 'x' from emp", {"", 1, 10, 1}},
      {"select rowid || '' from emp", {"", 1, 18, 1}},
      {"select null || null from dual", {"", 1, 1, 1}},
      {"select nvl(null, null) from dual", {"", 1, 2000, 1}},
      {"select upper('abc') || lower('de') from dual", {"", 1, 5, 1}},
      {"select initcap('abc') from dual", {"", 96, 3, 0}},
      {"select greatest(null, null) from dual", {"", 1, 1, 1}},
      {"select hextoraw('AB') || 'x' from dual", {"", 1, 3, 1}},
      {"select decode(1, 1, 'x', hiredate) from emp", {"", 1, 9, 1}},
      {"select decode(1, 1, 'x', 2) from emp", {"", 1, 40, 1}},
      // Functions: text as long as the text they read, numbers, dates, RAW and ROWID.
      {"select substr(ename, 2) from emp", {"", 1, 10, 1}},
      {"select to_char(hiredate) from emp", {"", 1, 9, 1}},
      {"select to_char(hiredate, 'DD.MM.YYYY') from emp", {"", 1, 75, 1}},
      {"select to_char(sal) from emp", {"", 1, 40, 1}},
      {"select to_char(sal, '9999') from emp", {"", 1, 6, 1}},
      {"select rtrim(ename) from emp", {"", 1, 10, 1}},
      {"select translate(ename, 'A', 'B') from emp", {"", 1, 10, 1}},
      {"select replace(ename, 'A') from emp", {"", 1, 10, 1}},
      {"select concat(ename, job) from emp", {"", 1, 19, 1}},
      {"select greatest(ename, job) from emp", {"", 1, 10, 1}},
      {"select chr(65) from dual", {"", 1, 1, 1}},
      {"select soundex(ename) from emp", {"", 1, 4, 1}},
      {"select rowidtochar(rowid) from emp", {"", 1, 18, 1}},
      {"select rawtohex(hextoraw('ABCD')) from dual", {"", 1, 4, 1}},
      {"select hextoraw('ABCD') from dual", {"", 23, 4, 1}},
      {"select hextoraw('A') from dual", {"", 23, 2, 1}},
      {"select chartorowid('00000000.0001.0001') from dual", {"", 11, 18, 1}},
      {"select to_date('01-JAN-81') from dual", {"", 12, 9, 1}},
      {"select round(hiredate) from emp", {"", 12, 9, 1}},
      {"select trunc(sal) from emp", {"", 2, 40, 1}},
      {"select add_months(hiredate, 1) from emp", {"", 12, 9, 1}},
      {"select last_day(hiredate) from emp", {"", 12, 9, 1}},
      {"select next_day(hiredate, 'MONDAY') from emp", {"", 12, 9, 1}},
      {"select months_between(hiredate, hiredate) from emp", {"", 2, 40, 1}},
      {"select greatest(sal, comm) from emp", {"", 2, 40, 1}},
      {"select instr(ename, 'A') from emp", {"", 2, 40, 1}},
      {"select length(ename) from emp", {"", 2, 40, 1}},
      {"select vsize(ename) from emp", {"", 2, 40, 1}},
      {"select to_number('1') from dual", {"", 2, 40, 1}},
      {"select count(comm) from emp", {"", 2, 40, 0}},
      {"select sum(sal) from emp", {"", 2, 40, 1}},
      // Values chosen among their arguments are as long as the longest; a NULL one takes the
      // other's type.
      {"select nvl(ename, job) from emp", {"", 1, 10, 1}},
      {"select nvl(comm, 0) from emp", {"", 2, 9, 0}},
      {"select nvl(null, job) from emp", {"", 1, 9, 1}},
      {"select initcap(job) from emp", {"", 1, 9, 1}},
      {"select nls_lower(ename) from emp", {"", 1, 10, 1}},
      {"select substrb(job, 2) from emp", {"", 1, 9, 1}},
      {"select convert(job, 'US7ASCII') from emp", {"", 1, 9, 1}},
      {"select to_single_byte(job) from emp", {"", 1, 9, 1}},
      {"select nlssort(job) from emp", {"", 23, 38, 1}},
      {"select dump(job) from emp", {"", 1, 2000, 1}},
      {"select least(job, ename) from emp", {"", 1, 10, 1}},
      {"select decode(ename, 'A', job, ename) from emp", {"", 1, 10, 1}},
      {"select replace(job, 'A', 'B') from emp", {"", 1, 2000, 1}},
      {"select user from dual", {"", 1, 30, 0}},
      {"select uid from dual", {"", 2, 40, 0}},
      {"select sysdate from dual", {"", 12, 9, 0}},
      {"select coalesce(job, ename) from emp", {"", 1, 10, 1}},
      {"select nullif(job, 'X') from emp", {"", 1, 9, 1}},
      {"select nvl2(comm, job, ename) from emp", {"", 1, 10, 1}},
      {"select trim(job) from emp", {"", 1, 9, 1}},
      {"select coalesce(comm, sal) from emp", {"", 2, 40, 1}},
      {"select lpad(job, sal) from emp", {"", 1, 2000, 1}}};
  for (const auto &[sql, w] : values) {
    Cda_Def one = open(sql);
    sb4 dbsize = 0, cbufl = 31, dsize = 0;
    sb2 dbtype = 0, prec = 0, scale = 0, nullok = 0;
    sb1 name[32] = {};
    EXPECT_EQ(odescr(&one, 1, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok), 0)
        << sql << message(lda, rcOf(one));
    EXPECT_EQ(dbtype, w.type) << sql;
    EXPECT_EQ(dsize, w.size) << sql;
    EXPECT_EQ(nullok, w.nullOk) << sql;
    oclose(&one);
  }
  EXPECT_EQ(value("select max(hiredate) from emp"), "12-JAN-83");
  EXPECT_EQ(value("select hiredate + 1 from emp where ename = 'KING'"), "18-NOV-81");
  EXPECT_EQ(value("select 1 + hiredate from emp where ename = 'KING'"), "18-NOV-81");
  EXPECT_EQ(value("select hiredate - 1 from emp where ename = 'KING'"), "16-NOV-81");
  EXPECT_EQ(value("select hiredate - to_date('1981-11-01', 'YYYY-MM-DD') from emp where ename = "
                  "'KING'"),
            "16");
  for (const char *bad : {"select hiredate * hiredate from emp", "select hiredate / 2 from emp",
                          "select hextoraw('AB') + 1 from dual"})
    EXPECT_EQ(value(bad).substr(0, 16), "ERROR: ORA-00932") << bad;
  // DUMP shows the type code of what it reads: DATE, a CHAR literal, Oracle 7's ROWID.
  EXPECT_EQ(value("select substr(dump(hiredate), 1, 7) || substr(dump('a'), 1, 7) || "
                  "substr(dump(rowid), 1, 6) from emp where ename = 'KING'"),
            "Typ=12 Typ=96 Typ=69");
  EXPECT_EQ(value("select trim('ab' from ename) from emp").substr(0, 16), "ERROR: ORA-30001");
  cda = open("select empno, ename from emp");
  sb4 dbsize, cbufl = 31, dsize;
  sb2 dbtype, prec, scale, nullok;
  sb1 name[32];
  EXPECT_EQ(odescr(&cda, 10, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok), 1007);
  EXPECT_EQ(odescr(&cda, 0, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok), 1007);
  // The name is cut to the room the caller gives.
  cbufl = 3;
  EXPECT_EQ(odescr(&cda, 2, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok), 0);
  EXPECT_EQ(cbufl, 3);
  oclose(&cda);
}

TEST_F(Fetch, Counts_CumulativeWith1403AtTheEnd) {
  ASSERT_EQ(exec("create table r (n number)"), 0);
  for (int i = 1; i <= 25; ++i)
    ASSERT_EQ(exec("insert into r values (" + std::to_string(i) + ")"), 0);
  Cda_Def cda = open("select n from r order by n");
  ub4 vals[30]; // room for the largest batch asked below
  sb2 ind[30];
  ub2 len[30], rc[30];
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)vals, 4, 3, -1, ind, nullptr, -1, -1, len, rc), 0);
  EXPECT_EQ(oexfet(&cda, 10, 0, 0), 0);
  EXPECT_EQ(rowsOf(cda), 10u);
  EXPECT_EQ(vals[0], 1u);
  EXPECT_EQ(vals[9], 10u);
  EXPECT_EQ(ofen(&cda, 10), 0);
  EXPECT_EQ(rowsOf(cda), 20u);
  EXPECT_EQ(vals[0], 11u);
  EXPECT_EQ(ofen(&cda, 10), 1403);
  EXPECT_EQ(rowsOf(cda), 25u);
  EXPECT_EQ(vals[4], 25u);
  EXPECT_EQ(ofen(&cda, 10), 1403);
  EXPECT_EQ(rowsOf(cda), 25u);
  // Executing again starts the count again.
  EXPECT_EQ(oexfet(&cda, 30, 0, 0), 1403);
  EXPECT_EQ(rowsOf(cda), 25u);
  // Cancel after the first batch; a further fetch is out of sequence.
  EXPECT_EQ(oexfet(&cda, 5, 1, 0), 0);
  EXPECT_EQ(rowsOf(cda), 5u);
  EXPECT_EQ(ofen(&cda, 5), 1002);
  // ocan ends a fetch too.
  EXPECT_EQ(oexfet(&cda, 5, 0, 0), 0);
  EXPECT_EQ(ocan(&cda), 0);
  EXPECT_EQ(ofen(&cda, 5), 1002);
  // Exact fetch: more rows than asked is an error.
  EXPECT_EQ(oexfet(&cda, 5, 0, 1), 1422);
  // oexn then ofen.
  EXPECT_EQ(oexn(&cda, 1, 0), 0);
  EXPECT_EQ(rowsOf(cda), 0u);
  EXPECT_EQ(ofen(&cda, 3), 0);
  EXPECT_EQ(rowsOf(cda), 3u);
  oclose(&cda);
  // A query with no rows.
  cda = open("select n from r where n > 100");
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)vals, 4, 3, -1, ind, nullptr, -1, -1, len, rc), 0);
  EXPECT_EQ(oexfet(&cda, 10, 0, 0), 1403);
  EXPECT_EQ(rowsOf(cda), 0u);
  oclose(&cda);
}

TEST_F(Fetch, Defines_ExternalTypesIndicatorsAndTruncation) {
  Cda_Def cda = open("select ename, comm, hiredate, empno, hextoraw('0aff') from emp where "
                     "empno = 7369");
  char name[4];
  sb2 ind[5] = {};
  ub2 len[5] = {}, rc[5] = {};
  char comm[40], date[20];
  short empno = 0;
  unsigned char raw[8];
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)name, 4, 1, -1, &ind[0], nullptr, -1, -1, &len[0], &rc[0]), 0);
  ASSERT_EQ(odefin(&cda, 2, (ub1 *)comm, 40, 1, -1, &ind[1], nullptr, -1, -1, &len[1], &rc[1]), 0);
  ASSERT_EQ(odefin(&cda, 3, (ub1 *)date, 20, 5, -1, &ind[2], nullptr, -1, -1, &len[2], &rc[2]), 0);
  ASSERT_EQ(odefin(&cda, 4, (ub1 *)&empno, 2, 3, -1, &ind[3], nullptr, -1, -1, &len[3], &rc[3]), 0);
  ASSERT_EQ(odefin(&cda, 5, raw, 8, 23, -1, &ind[4], nullptr, -1, -1, &len[4], &rc[4]), 0);
  EXPECT_EQ(odefin(&cda, 6, raw, 8, 1, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 1007);
  // A binary integer of no C size, or without a buffer, is refused rather than written.
  EXPECT_EQ(odefin(&cda, 4, nullptr, 0, 3, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 932);
  EXPECT_EQ(odefin(&cda, 4, raw, 3, 3, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 932);
  // SMITH does not fit in 4 bytes: cut, with 1406 and the full length in the indicator.
  EXPECT_EQ(oexfet(&cda, 1, 0, 0), 1406);
  EXPECT_EQ(message(lda, 1406), "ORA-01406: fetched column value was truncated");
  EXPECT_EQ(std::string(name, len[0]), "SMIT");
  EXPECT_EQ(ind[0], 5);
  EXPECT_EQ(rc[0], 1406);
  EXPECT_EQ(ind[1], -1); // NULL
  EXPECT_EQ(std::string(date), "17-DEC-80");
  EXPECT_EQ(empno, 7369);
  EXPECT_EQ(len[4], 2);
  EXPECT_EQ(raw[0], 0x0a);
  EXPECT_EQ(raw[1], 0xff);
  oclose(&cda);
  // NULL with no indicator is ORA-01405.
  cda = open("select comm from emp where empno = 7369");
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)comm, 40, 1, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
  EXPECT_EQ(oexfet(&cda, 1, 0, 0), 1405);
  oclose(&cda);
}

TEST_F(Fetch, Binds_ByNameWithValuesLengthsAndNulls) {
  Cda_Def cda = open("select count(*) from emp where deptno = :dept and (job = :JOB or :job is "
                     "null) and sal >= :1");
  char dept[] = "20";
  char job[] = "CLERKxx";
  ub2 jobLen = 5;
  sb2 jobInd = 0;
  int minSal = 1000;
  char out[41];
  ub2 outLen = 0;
  sb2 outInd = 0;
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)out, 40, 1, -1, &outInd, nullptr, -1, -1, &outLen, nullptr), 0);
  ASSERT_EQ(obndra(&cda, (text *)":DEPT", -1, (ub1 *)dept, 2, 1, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  ASSERT_EQ(obndra(&cda, (text *)"job", -1, (ub1 *)job, 7, 1, -1, &jobInd, &jobLen, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  // One variable missing: not all bound.
  EXPECT_EQ(oexfet(&cda, 1, 1, 0), 1008);
  ASSERT_EQ(obndra(&cda, (text *)"1", -1, (ub1 *)&minSal, 4, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  EXPECT_EQ(oexfet(&cda, 1, 1, 0), 0);      // the one row asked for, so no 1403
  EXPECT_EQ(std::string(out, outLen), "1"); // ADAMS
  jobInd = -1;                              // NULL: every job
  EXPECT_EQ(oexfet(&cda, 2, 1, 0), 1403);
  EXPECT_EQ(std::string(out, outLen), "4");
  // A name the statement does not have, once it is known.
  EXPECT_EQ(obndra(&cda, (text *)"nosuch", -1, (ub1 *)dept, 2, 1, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            1036);
  oclose(&cda);
}

TEST_F(Fetch, ArrayInsert_IterationsOfOexn) {
  ASSERT_EQ(exec("create table a (id number(5) primary key, name varchar2(10), d date)"), 0);
  Cda_Def cda = open("insert into a values (:id, :name, :d)");
  int ids[4] = {1, 2, 3, 2};
  char names[4][10] = {"one", "two", "", "dup"};
  ub2 nameLens[4] = {3, 3, 0, 3};
  char dates[4][10] = {"01-JAN-99", "02-FEB-99", "03-MAR-99", "04-APR-99"};
  ub2 dateLens[4] = {9, 9, 9, 9};
  sb2 dateInd[4] = {0, -1, 0, 0};
  ASSERT_EQ(obndra(&cda, (text *)"ID", -1, (ub1 *)ids, 4, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  ASSERT_EQ(obndra(&cda, (text *)"NAME", -1, (ub1 *)names, 10, 1, -1, nullptr, nameLens, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  ASSERT_EQ(obndra(&cda, (text *)"D", -1, (ub1 *)dates, 10, 1, -1, dateInd, dateLens, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  // The fourth row repeats a key: three rows in, then the error.
  EXPECT_EQ(oexn(&cda, 4, 0), 1);
  EXPECT_EQ(rowsOf(cda), 3u);
  oclose(&cda);
  Rows r =
      query("select id, nvl(name, '-'), nvl(to_char(d, 'YYYY-MM-DD'), '-') from a order by id");
  EXPECT_EQ(r, (Rows{{"1", "one", "2099-01-01"}, {"2", "two", "-"}, {"3", "-", "2099-03-03"}}));
}

} // namespace

namespace {

TEST_F(Fetch, ImmediateParse_CompilesWithoutRunning) {
  ASSERT_EQ(exec("create table ip (n number)"), 0);
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  // Parsed at once, with its bind not yet given: nothing runs until the execute.
  ASSERT_EQ(oparse(&cda, (text *)"insert into ip values (:n)", -1, 0, 2), 0);
  EXPECT_EQ(value("select count(*) from ip"), "0");
  int n = 5;
  ASSERT_EQ(obndra(&cda, (text *)":N", -1, (ub1 *)&n, 4, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, 0, 0),
            0);
  EXPECT_EQ(oexn(&cda, 1, 0), 0);
  EXPECT_EQ(value("select sum(n) from ip"), "5");
  // Errors of an immediate parse come at once, with their offset.
  EXPECT_EQ(oparse(&cda, (text *)"select n frm ip", -1, 0, 2), 923);
  EXPECT_EQ(peoOf(cda), 13); // "frm" is an alias of n; "ip" is where FROM was expected
  oclose(&cda);
}

} // namespace

namespace {

TEST_F(Fetch, Decimals_BoundAndWrittenAreTheSameNumber) {
  ASSERT_EQ(exec("create table dec (v number)"), 0);
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  ASSERT_EQ(oparse(&cda, (text *)"insert into dec values (:v)", -1, 1, 2), 0);
  // Decimals whose double a naive reading gets one unit wrong.
  for (const char *v : {"7.6541573423", "2707416.12605033", "14487.331502", "0.1", "123.45"}) {
    ub2 len = static_cast<ub2>(std::strlen(v));
    ASSERT_EQ(obndra(&cda, (text *)"V", -1, (ub1 *)v, len, 1, -1, nullptr, &len, nullptr, 0,
                     nullptr, nullptr, 0, 0),
              0);
    ASSERT_EQ(oexn(&cda, 1, 0), 0);
    EXPECT_EQ(value(std::string("select count(*) from dec where v = ") + v), "1") << v;
  }
  oclose(&cda);
}

} // namespace
