// TIMESTAMP [WITH [LOCAL] TIME ZONE] and INTERVAL through the call contract: columns and their
// dictionary rows, literals, functions, arithmetic, PL/SQL, and the 7.3 level that has none.
#include "OciTestUtil.h"

namespace {

using namespace ocitest;
using Rows = std::vector<std::vector<std::string>>;

class Timestamps : public Scott {
protected:
  void SetUp() override {
    Scott::SetUp();
    // Fixed formats and zone-free values, so the texts below do not depend on the machine.
    ASSERT_EQ(exec("alter session set nls_timestamp_tz_format = 'YYYY-MM-DD HH24:MI:SS.FF TZR'"), 0)
        << lastError;
  }
  std::string error(const std::string &sql) { return value(sql).substr(0, 16); }
};

TEST_F(Timestamps, DdlDictionaryAndDescribe) {
  ASSERT_EQ(exec("create table ev (id number, ts timestamp, t3 timestamp(3), tz timestamp with "
                 "time zone, lt timestamp with local time zone, ym interval year to month, ds "
                 "interval day(3) to second(2))"),
            0)
      << lastError;
  EXPECT_EQ(query("select column_name, data_type, data_length, nvl(to_char(data_precision), '-'), "
                  "data_scale from user_tab_columns where table_name = 'EV' and column_id > 1 "
                  "order by column_id"),
            (Rows{{"TS", "TIMESTAMP(6)", "11", "-", "6"},
                  {"T3", "TIMESTAMP(3)", "11", "-", "3"},
                  {"TZ", "TIMESTAMP(6) WITH TIME ZONE", "13", "-", "6"},
                  {"LT", "TIMESTAMP(6) WITH LOCAL TIME ZONE", "11", "-", "6"},
                  {"YM", "INTERVAL YEAR(2) TO MONTH", "5", "2", "0"},
                  {"DS", "INTERVAL DAY(3) TO SECOND(2)", "11", "3", "2"}}));
  // The OCI codes of the types, as odescr reports them.
  Cda_Def cda{};
  oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
  ASSERT_EQ(oparse(&cda, (text *)"select ts, tz, ym, ds, lt from ev", -1, 1, 2), 0);
  std::vector<int> codes;
  for (int i = 1; i <= 5; ++i) {
    sb4 dbsize, cbufl = 31, dsize;
    sb2 dbtype, prec, scale, nullok;
    sb1 name[32];
    ASSERT_EQ(odescr(&cda, i, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok), 0);
    codes.push_back(dbtype);
  }
  oclose(&cda);
  EXPECT_EQ(codes, (std::vector<int>{187, 188, 189, 190, 232}));
  // Stored and fetched as text in the session's formats; fractions rounded to the column's
  // digits, intervals checked against their leading precision.
  EXPECT_EQ(exec("insert into ev values (1, timestamp '2020-02-29 13:05:06.123456789', "
                 "timestamp '2020-02-29 13:05:06.9996', timestamp '2020-01-01 10:00:00 +02:00', "
                 "timestamp '2020-01-01 10:00:00', interval '1-2' year to month, interval '3 "
                 "04:05:06.789' day to second)"),
            0)
      << lastError;
  EXPECT_EQ(query("select ts, t3, tz, ym, ds from ev"),
            (Rows{{"29-FEB-20 01.05.06.123457 PM", "29-FEB-20 01.05.07.000 PM",
                   "2020-01-01 10:00:00.000000 +02:00", "+01-02", "+003 04:05:06.79"}}));
  // Into a DATE buffer (external type 12): Oracle's seven bytes, the fraction dropped.
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  ub1 bytes[7] = {};
  ASSERT_EQ(oparse(&cda, (text *)"select ts from ev", -1, 1, 2), 0);
  ASSERT_EQ(odefin(&cda, 1, bytes, 7, 12, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
  EXPECT_EQ(oexfet(&cda, 1, 0, 0), 0);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 7), (std::vector<int>{120, 120, 2, 29, 14, 6, 7}));
  oclose(&cda);
  EXPECT_EQ(exec("alter session set nls_timestamp_format = 'YYYY-MM-DD HH24:MI:SS.FF3'"), 0);
  EXPECT_EQ(value("select ts from ev"), "2020-02-29 13:05:06.123");
  EXPECT_EQ(value("select value from nls_session_parameters where parameter = "
                  "'NLS_TIMESTAMP_FORMAT'"),
            "YYYY-MM-DD HH24:MI:SS.FF3");
  EXPECT_EQ(exec("insert into ev (ds) values (interval '1000' day(4))"), 1873);
  EXPECT_EQ(exec("create table bad (t timestamp(10))"), 30088);
  // Text into the columns through the session's formats; order and comparison by time.
  EXPECT_EQ(exec("insert into ev (id, ts, tz) values (2, '2019-05-01 08:00:00.5', '2020-01-01 "
                 "07:30:00 -01:00')"),
            0)
      << lastError;
  EXPECT_EQ(query("select id from ev order by tz"), (Rows{{"1"}, {"2"}}));
  EXPECT_EQ(value("select id from ev where ts < timestamp '2020-01-01 00:00:00'"), "2");
  EXPECT_EQ(value("select count(*) from ev where tz = timestamp '2020-01-01 09:00:00 +01:00'"),
            "1");
  EXPECT_EQ(value("select id from ev where ts > date '2020-01-01'"), "1");
}

TEST_F(Timestamps, Literals) {
  EXPECT_EQ(exec("alter session set nls_timestamp_format = 'YYYY-MM-DD HH24:MI:SS.FF'"), 0);
  EXPECT_EQ(value("select timestamp '2020-01-01 10:00:00.5' from dual"),
            "2020-01-01 10:00:00.500000000");
  EXPECT_EQ(value("select timestamp '2020-01-01 10:00:00' from dual"),
            "2020-01-01 10:00:00.000000000");
  EXPECT_EQ(value("select timestamp '2020-06-01 10:00:00.25 -05:30' from dual"),
            "2020-06-01 10:00:00.250000000 -05:30");
  EXPECT_EQ(value("select interval '1-2' year to month from dual"), "+01-02");
  EXPECT_EQ(value("select interval '-3' month from dual"), "-00-03");
  EXPECT_EQ(value("select interval '123' year(3) from dual"), "+123-00");
  EXPECT_EQ(value("select interval '3 04:05:06.7' day to second from dual"), "+03 04:05:06.700000");
  EXPECT_EQ(value("select interval '5' day from dual"), "+05 00:00:00");
  EXPECT_EQ(value("select interval '10:30' hour to minute from dual"), "+00 10:30:00");
  EXPECT_EQ(value("select interval '90' minute from dual"), "+00 01:30:00");
  EXPECT_EQ(value("select interval '7.25' second from dual"), "+00 00:00:07.250000");
  // Texts that differ only in the literal are not one statement: each keeps its value.
  EXPECT_EQ(value("select interval '6' day from dual"), "+06 00:00:00");
  EXPECT_EQ(value("select timestamp '2021-01-01 10:00:00' from dual"),
            "2021-01-01 10:00:00.000000000");
  // A table made from a query keeps the types, with the widest precisions where none is known.
  EXPECT_EQ(exec("create table copy as select systimestamp s, interval '1' day - interval '1' "
                 "hour d, cast(null as timestamp(2)) c from dual"),
            0)
      << lastError;
  EXPECT_EQ(
      query("select data_type from user_tab_columns where table_name = 'COPY' order by "
            "column_id"),
      (Rows{{"TIMESTAMP(6) WITH TIME ZONE"}, {"INTERVAL DAY(9) TO SECOND(9)"}, {"TIMESTAMP(2)"}}));
  EXPECT_EQ(value("select d from copy"), "+000000000 23:00:00.000000000");
}

TEST_F(Timestamps, Functions) {
  EXPECT_EQ(value("select to_char(to_timestamp('2021-03-04 05:06:07.891', 'YYYY-MM-DD "
                  "HH24:MI:SS.FF'), 'DD.MM.YYYY HH24:MI:SS.FF3') from dual"),
            "04.03.2021 05:06:07.891");
  EXPECT_EQ(value("select to_char(to_timestamp('2021-03-04 05:06:07.891', 'YYYY-MM-DD "
                  "HH24:MI:SS.FF'), 'FF6 FF1') from dual"),
            "891000 8");
  EXPECT_EQ(value("select to_char(to_timestamp_tz('2021-03-04 05:06 +03:30', 'YYYY-MM-DD "
                  "HH24:MI TZH:TZM'), 'HH24:MI TZH TZM TZR') from dual"),
            "05:06 +03 30 +03:30");
  EXPECT_EQ(value("select to_char(interval '1 02:00:00' day to second) from dual"),
            "+01 02:00:00.000000");
  EXPECT_EQ(value("select count(*) from dual where systimestamp > sysdate - 1 and "
                  "localtimestamp < current_timestamp + interval '1' day"),
            "1");
  EXPECT_EQ(value("select extract(year from timestamp '2020-02-29 10:11:12.5') || '/' || "
                  "extract(second from timestamp '2020-02-29 10:11:12.5') || '/' || "
                  "extract(hour from timestamp '2020-02-29 10:11:12 +02:00') || '/' || "
                  "extract(timezone_hour from timestamp '2020-02-29 10:11:12 -03:00') from dual"),
            "2020/12.5/8/-3");
  EXPECT_EQ(value("select extract(day from interval '3 04:05:06' day to second) || '/' || "
                  "extract(minute from interval '3 04:05:06' day to second) || '/' || "
                  "extract(month from interval '2-7' year to month) from dual"),
            "3/5/7");
  EXPECT_EQ(value("select to_char(cast(timestamp '2020-05-06 07:08:09.9' as date), "
                  "'YYYY-MM-DD HH24:MI:SS') from dual"),
            "2020-05-06 07:08:09");
  EXPECT_EQ(
      value("select to_char(cast(date '2020-05-06' as timestamp), 'YYYY-MM-DD HH24:MI:SS.FF2') "
            "from dual"),
      "2020-05-06 00:00:00.00");
  EXPECT_EQ(value("select numtodsinterval(36, 'hour') from dual"), "+000000001 12:00:00.000000000");
  EXPECT_EQ(value("select numtoyminterval(30, 'month') from dual"), "+000000002-06");
  EXPECT_EQ(value("select to_dsinterval('2 03:00:00') + to_dsinterval('0 01:30:00') from dual"),
            "+000000002 04:30:00.000000000");
  EXPECT_EQ(value("select to_yminterval('01-06') from dual"), "+000000001-06");
  EXPECT_EQ(value("select sys_extract_utc(timestamp '2020-01-01 01:00:00 +03:00') from dual"),
            "31-DEC-19 10.00.00.000000000 PM");
  EXPECT_EQ(value("select from_tz(timestamp '2020-01-01 01:00:00', '-04:00') from dual"),
            "2020-01-01 01:00:00.000000000 -04:00");
  EXPECT_EQ(value("select to_char(trunc(timestamp '2020-05-06 07:08:09'), 'YYYY-MM-DD HH24:MI') "
                  "from dual"),
            "2020-05-06 00:00");
  EXPECT_EQ(value("select to_char(round(timestamp '2020-05-06 17:08:09', 'DD'), 'YYYY-MM-DD') "
                  "from dual"),
            "2020-05-07");
}

TEST_F(Timestamps, Arithmetic) {
  EXPECT_EQ(exec("alter session set nls_timestamp_format = 'YYYY-MM-DD HH24:MI:SS.FF3'"), 0);
  EXPECT_EQ(value("select timestamp '2020-01-02 12:00:00' - timestamp '2020-01-01 00:00:00.5' "
                  "from dual"),
            "+000000001 11:59:59.500000000");
  EXPECT_EQ(value("select timestamp '2020-01-31 10:00:00' + interval '1' day from dual"),
            "2020-02-01 10:00:00.000");
  EXPECT_EQ(value("select timestamp '2020-01-31 10:00:00' - interval '1:30' hour to minute from "
                  "dual"),
            "2020-01-31 08:30:00.000");
  EXPECT_EQ(
      value("select timestamp '2020-01-15 10:00:00' + interval '1-1' year to month from dual"),
      "2021-02-15 10:00:00.000");
  EXPECT_EQ(error("select timestamp '2020-01-31 10:00:00' + interval '1' month from dual"),
            "ERROR: ORA-01839");
  EXPECT_EQ(value("select to_char(date '2020-03-01' + interval '36' hour, 'YYYY-MM-DD HH24') from "
                  "dual"),
            "2020-03-02 12");
  EXPECT_EQ(value("select to_char(timestamp '2020-03-01 00:00:00' + 1.5, 'YYYY-MM-DD HH24') from "
                  "dual"),
            "2020-03-02 12");
  EXPECT_EQ(value("select interval '1' day * 2.5 from dual"), "+000000002 12:00:00.000000000");
  EXPECT_EQ(value("select interval '3' year / 2 from dual"), "+000000001-06");
  EXPECT_EQ(value("select interval '2' hour - interval '30' minute from dual"),
            "+000000000 01:30:00.000000000");
  EXPECT_EQ(value("select date '2020-01-02' - timestamp '2020-01-01 00:00:00' from dual"),
            "+000000001 00:00:00.000000000");
  EXPECT_EQ(value("select timestamp '2020-01-01 12:00:00 +02:00' - timestamp '2020-01-01 "
                  "12:00:00 +00:00' from dual"),
            "-000000000 02:00:00.000000000");
  EXPECT_EQ(value("select count(*) from dual where interval '25' hour > interval '1' day"), "1");
  EXPECT_EQ(value("select -interval '1-2' year to month from dual"), "-01-02");
  EXPECT_EQ(value("select cast(timestamp '2020-01-02 03:04:05' as varchar2(30)) || '|' || "
                  "to_char(cast('2020-01-02 03:04:05.5' as timestamp(1)), 'HH24:MI:SS.FF') from "
                  "dual"),
            "2020-01-02 03:04:05.000|03:04:05.5");
  EXPECT_EQ(value("select count(*) from dual where date '2020-01-01' = timestamp '2020-01-01 "
                  "00:00:00'"),
            "1");
}

TEST_F(Timestamps, Nulls) {
  ASSERT_EQ(exec("create table n (ts timestamp, ds interval day to second)"), 0);
  ASSERT_EQ(exec("insert into n values (null, null)"), 0);
  EXPECT_EQ(query("select ts, ds, ts + ds, ts - ts, ds * 2, extract(year from ts), to_char(ts, "
                  "'YYYY'), cast(ts as date) from n"),
            (Rows{{"NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL", "NULL"}}));
  EXPECT_EQ(value("select to_timestamp(null) from dual"), "NULL");
  EXPECT_EQ(value("select numtodsinterval(null, 'DAY') from dual"), "NULL");
}

TEST_F(Timestamps, Errors) {
  EXPECT_EQ(error("select to_timestamp('2020-13-01', 'YYYY-MM-DD') from dual"), "ERROR: ORA-01843");
  EXPECT_EQ(error("select to_timestamp('2020-01-01 25:00', 'YYYY-MM-DD HH24:MI') from dual"),
            "ERROR: ORA-01850");
  EXPECT_EQ(error("select to_timestamp('2020-01-01 10:61', 'YYYY-MM-DD HH24:MI') from dual"),
            "ERROR: ORA-01851");
  EXPECT_EQ(error("select to_timestamp('10:00:61', 'HH24:MI:SS') from dual"), "ERROR: ORA-01852");
  EXPECT_EQ(error("select to_timestamp('2020-01-01 10', 'YYYY-MM-DD') from dual"),
            "ERROR: ORA-01830");
  EXPECT_EQ(error("select to_timestamp('1.1234567891', 'SS.FF') from dual"), "ERROR: ORA-01880");
  EXPECT_EQ(error("select to_date('10.5', 'SS.FF') from dual"), "ERROR: ORA-01821");
  EXPECT_EQ(error("select to_char(sysdate, 'FF') from dual"), "ERROR: ORA-01821");
  EXPECT_EQ(error("select interval '1-x' year to month from dual"), "ERROR: ORA-01867");
  EXPECT_EQ(error("select timestamp '' from dual"), "ERROR: ORA-01861");
  EXPECT_EQ(error("select to_timestamp_tz('2020-01-01 10:00 Europe/Paris', 'YYYY-MM-DD HH24:MI "
                  "TZR') from dual"),
            "ERROR: ORA-01882");
  EXPECT_EQ(error("select to_timestamp_tz('2020-01-01 10:00 +25:00', 'YYYY-MM-DD HH24:MI "
                  "TZH:TZM') from dual"),
            "ERROR: ORA-01874");
  EXPECT_EQ(error("select timestamp '9999-12-31 23:59:59' + interval '1' day from dual"),
            "ERROR: ORA-01841");
  EXPECT_EQ(error("select interval '1' day to hour from dual"), "ERROR: ORA-01867");
  EXPECT_EQ(error("select interval '1' minute to hour from dual"), "ERROR: ORA-30089");
  EXPECT_EQ(error("select interval '1' day / 0 from dual"), "ERROR: ORA-01476");
  EXPECT_EQ(error("select interval '123' day from dual"), "ERROR: ORA-01873");
  EXPECT_EQ(error("select interval '1 24:00:00' day to second from dual"), "ERROR: ORA-01850");
  EXPECT_EQ(error("select timestamp '2020-01-01 10:00:00' + timestamp '2020-01-01 10:00:00' from "
                  "dual"),
            "ERROR: ORA-00932");
  EXPECT_EQ(error("select interval '1' day + interval '1' month from dual"), "ERROR: ORA-00932");
  EXPECT_EQ(error("select interval '1' day + 1 from dual"), "ERROR: ORA-00932");
  EXPECT_EQ(error("select systimestamp + systimestamp from dual"), "ERROR: ORA-00932");
  EXPECT_EQ(error("select 1 from dual where interval '1' day > 1"), "ERROR: ORA-00932");
  EXPECT_EQ(error("select extract(hour from interval '1' year) from dual"), "ERROR: ORA-30076");
  EXPECT_EQ(error("select numtodsinterval(1, 'WEEK') from dual"), "ERROR: ORA-01760");
}

// Variables, literals, arithmetic, SELECT INTO, DML and binds in PL/SQL.
TEST_F(Timestamps, Plsql) {
  ASSERT_EQ(exec("alter session set nls_timestamp_format = 'YYYY-MM-DD HH24:MI:SS.FF3'"), 0);
  ASSERT_EQ(exec("create table pt (id number, ts timestamp(3), ds interval day to second, v "
                 "varchar2(100))"),
            0);
  EXPECT_EQ(exec("declare "
                 "  t timestamp := timestamp '2020-01-01 10:00:00.5'; "
                 "  d interval day to second := interval '1 02:00:00' day to second; "
                 "  y interval year(3) to month := interval '1-6' year to month; "
                 "  z timestamp with time zone; "
                 "  c pt.ts%type; "
                 "begin "
                 "  t := t + d; "
                 "  insert into pt values (1, t, d * 2, to_char(t + y, 'YYYY-MM-DD HH24:MI')); "
                 "  select ts, ds into c, d from pt where id = 1; "
                 "  insert into pt (id, v) values (2, c || ' ' || to_char(d)); "
                 "  if t > timestamp '2020-01-02 00:00:00' and d > interval '2' day and "
                 "     systimestamp > t then "
                 "    insert into pt (id, v) values (3, 'compared'); "
                 "  end if; "
                 "  z := '2020-01-01 10:00:00.25 +05:00'; "
                 "  insert into pt (id, v) values (4, to_char(sys_extract_utc(z))); "
                 "end;"),
            0)
      << lastError;
  EXPECT_EQ(query("select id, nvl(to_char(ts), '-'), nvl(to_char(ds), '-'), v from pt order by id"),
            (Rows{{"1", "2020-01-02 12:00:00.500", "+02 04:00:00.000000", "2021-07-02 12:00"},
                  {"2", "-", "-", "2020-01-02 12:00:00.500 +02 04:00:00.000000"},
                  {"3", "-", "-", "compared"},
                  {"4", "-", "-", "2020-01-01 05:00:00.250"}}));
  // A host variable takes the value as text; a bad one is the conversion's error.
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  char out[64] = {}, in[64] = "2020-03-04 05:06:07.8";
  sb2 ind = 0;
  ub2 outLen = 0;
  ASSERT_EQ(
      oparse(&cda, (text *)"declare t timestamp(3) := :i; begin :o := t + 1.5; end;", -1, 0, 2), 0);
  ASSERT_EQ(obndra(&cda, (text *)":I", -1, (ub1 *)in, -1, 5, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":O", -1, (ub1 *)out, sizeof out, 5, -1, &ind, &outLen, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  EXPECT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_STREQ(out, "05-MAR-20");
  std::strcpy(in, "2020-03-04 25:06:07");
  EXPECT_NE(oexn(&cda, 1, 0), 0);
  EXPECT_NE(message(lda, rcOf(cda)).find("ORA-01850"), std::string::npos)
      << message(lda, rcOf(cda));
  oclose(&cda);
  EXPECT_EQ(exec("declare n number; d date := date '2020-01-31'; begin n := extract(month from "
                 "timestamp '2020-05-06 00:00:00' + interval '1' month); insert into pt (id, v) "
                 "values (5, n); end;"),
            0)
      << lastError;
  EXPECT_EQ(value("select v from pt where id = 5"), "6");
  EXPECT_EQ(exec("declare d date := date '2020-01-31'; begin d := d + interval '1' month; end;"),
            1839);
  EXPECT_EQ(exec("declare x interval day(1) to second; begin x := interval '20' day; end;"), 1873);
  EXPECT_EQ(exec("declare x interval day to second := interval '2' hour; begin x := -x; insert "
                 "into pt (id, v) values (6, to_char(x)); end;"),
            0)
      << lastError;
  EXPECT_EQ(value("select v from pt where id = 6"), "-00 02:00:00.000000");
  // Stored functions take and give them, from PL/SQL and from SQL; odessp shows their codes.
  ASSERT_EQ(exec("create or replace function later(t timestamp, d interval day to second) return "
                 "timestamp is begin return t + d; end;"),
            0)
      << lastError;
  EXPECT_EQ(value("select later(timestamp '2020-01-01 00:00:00', interval '1' hour) from dual"),
            "2020-01-01 01:00:00.000");
  ub2 ovrld[4], pos[4], level[4], arnlen[4], dtype[4];
  text argnm[4][30];
  ub1 defsup[4], mode[4], radix[4];
  ub4 dtsiz[4], spare[4], count = 4;
  sb2 prec[4], scale[4];
  ASSERT_EQ(odessp(&lda, (text *)"LATER", static_cast<size_t>(-1), nullptr, 0, nullptr, 0, ovrld,
                   pos, level, argnm, arnlen, dtype, defsup, mode, dtsiz, prec, scale, radix, spare,
                   &count),
            0);
  EXPECT_EQ(std::vector<int>(dtype, dtype + count), (std::vector<int>{187, 187, 190}));
  // Wrong mixes are compile errors.
  EXPECT_EQ(exec("declare d interval day to second; begin d := d + 1; end;"), 6550);
  EXPECT_EQ(exec("declare t timestamp; n number; begin n := t; end;"), 6550);
}

// At the 7.3 level there are no such types, literals or functions.
TEST_F(Timestamps, Level73RefusesThem) {
  Lda_Def sys;
  ASSERT_NO_FATAL_FAILURE(logOnAt73(sys));
  EXPECT_EQ(exec("create table t (ts timestamp)"), 902);
  EXPECT_EQ(exec("create table t (d interval day to second)"), 902);
  EXPECT_EQ(error("select systimestamp from dual"), "ERROR: ORA-00904");
  EXPECT_EQ(error("select to_timestamp('2020', 'YYYY') from dual"), "ERROR: ORA-00904");
  EXPECT_EQ(error("select numtodsinterval(1, 'DAY') from dual"), "ERROR: ORA-00904");
  EXPECT_NE(value("select timestamp '2020-01-01 00:00:00' from dual").find("ORA-"),
            std::string::npos);
  EXPECT_EQ(exec("declare t timestamp; begin null; end;"), 6550);
  EXPECT_NE(lastError.find("PLS-00201"), std::string::npos) << lastError;
  EXPECT_EQ(exec("begin if systimestamp is null then null; end if; end;"), 6550);
  std::swap(lda, sys);
  EXPECT_EQ(exec("alter system set compatible = '19.0.0'"), 0);
  std::swap(lda, sys);
  ologof(&sys);
}

} // namespace
