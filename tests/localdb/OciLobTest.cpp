// CLOB, NCLOB and BLOB through the call contract: columns, the dictionary and describe, the SQL
// functions over them, the places Oracle refuses a LOB, PL/SQL variables, DBMS_LOB and UTL_RAW,
// and the 7.3 language level that knows none of them.
#include "OciTestUtil.h"

namespace {

using namespace ocitest;

class Lob : public Scott {
protected:
  void SetUp() override {
    Scott::SetUp();
    ASSERT_EQ(exec("create table docs (id number, c clob, n nclob, b blob)"), 0) << lastError;
  }
  void run(const std::string &sql) { ASSERT_EQ(exec(sql), 0) << sql << "\n" << lastError; }
  // The type code and size odescr gives column pos of a query.
  std::string described(const std::string &sql, int pos) {
    Cda_Def cda{};
    oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    std::string out = "parse failed";
    if (oparse(&cda, (text *)sql.c_str(), -1, 1, 2) == 0) {
      sb4 dbsize, cbufl = 31, dsize;
      sb2 dbtype, prec, scale, nullok;
      sb1 name[32];
      int rc = odescr(&cda, pos, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok);
      out =
          rc ? "rc " + std::to_string(rc)
             : std::to_string(dbtype) + " " + std::to_string(dbsize) + " " + std::to_string(dsize);
    }
    oclose(&cda);
    return out;
  }
  std::string code(const std::string &sql) { return value(sql).substr(0, 16); }
  // odessp's type code and size of each entry of a stored procedure.
  std::string describedUnit(const std::string &name) {
    constexpr ub4 kRoom = 8;
    ub2 ovrld[kRoom], pos[kRoom], level[kRoom], arnlen[kRoom], dtype[kRoom];
    text argnm[kRoom][30];
    ub1 defsup[kRoom], mode[kRoom], radix[kRoom];
    ub4 dtsiz[kRoom], spare[kRoom], count = kRoom;
    sb2 prec[kRoom], scale[kRoom];
    if (odessp(&lda, (text *)name.c_str(), static_cast<size_t>(-1), nullptr, 0, nullptr, 0, ovrld,
               pos, level, argnm, arnlen, dtype, defsup, mode, dtsiz, prec, scale, radix, spare,
               &count))
      return "failed";
    std::string out;
    for (ub4 i = 0; i < count; ++i)
      out += std::to_string(dtype[i]) + ":" + std::to_string(dtsiz[i]) + " ";
    return out;
  }
};

TEST_F(Lob, Columns_DictionaryAndDescribe) {
  using Rows = std::vector<std::vector<std::string>>;
  EXPECT_EQ(query("select column_name, data_type, data_length from user_tab_columns where "
                  "table_name = 'DOCS' order by column_id"),
            (Rows{{"ID", "NUMBER", "22"},
                  {"C", "CLOB", "4000"},
                  {"N", "NCLOB", "4000"},
                  {"B", "BLOB", "4000"}}));
  EXPECT_EQ(described("select c, n, b from docs", 1), "112 4000 4000");
  EXPECT_EQ(described("select c, n, b from docs", 2), "112 4000 4000");
  EXPECT_EQ(described("select c, n, b from docs", 3), "113 4000 4000");
  EXPECT_EQ(described("select c || 'x', to_clob('a'), empty_blob() from dual, docs", 1),
            "112 4000 4000");
  run("create function lobfn (a clob, b in out blob, n nclob) return clob is begin return a; "
      "end;");
  EXPECT_EQ(describedUnit("lobfn"), "112:4000 112:4000 113:4000 112:4000 ");
  // Values past VARCHAR2's 4000 bytes, kept and read back whole.
  run("insert into docs values (1, rpad('a', 3000, 'a') || rpad('b', 3000, 'b'), 'nat', "
      "hextoraw('00FF10'))");
  EXPECT_EQ(value("select length(c) from docs"), "6000");
  EXPECT_EQ(value("select substr(c, 2999, 4) from docs"), "aabb");
  EXPECT_EQ(value("select n from docs"), "nat");
  EXPECT_EQ(value("select b from docs"), "00FF10");
  EXPECT_EQ(value("select length(b) from docs"), "3");
  // Through a bind, longer than any VARCHAR2.
  {
    Cda_Def cda{};
    oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    std::string big(9000, 'z');
    ASSERT_EQ(oparse(&cda, (text *)"insert into docs (id, c) values (2, :v)", -1, 1, 2), 0);
    ASSERT_EQ(obndra(&cda, (text *)":V", -1, (ub1 *)big.data(), static_cast<sword>(big.size()), 1,
                     -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, -1, -1),
              0);
    EXPECT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
    oclose(&cda);
    EXPECT_EQ(value("select length(c) || substr(c, 8999) from docs where id = 2"), "9000zz");
  }
  // Made in a table by CREATE TABLE AS SELECT, and added by ALTER TABLE.
  run("create table docs2 as select id, c from docs");
  run("alter table docs2 add (extra blob)");
  run("create table docs3 (c clob not null) lob (c) store as securefile (enable storage in row)");
  EXPECT_EQ(query("select data_type from user_tab_columns where table_name = 'DOCS2' order by "
                  "column_id"),
            (Rows{{"NUMBER"}, {"CLOB"}, {"BLOB"}}));
  EXPECT_EQ(value("select length(c) from docs2 where id = 1"), "6000");
}

TEST_F(Lob, Functions_NullAndEmpty) {
  run("insert into docs values (1, 'Hello World', null, hextoraw('0A0B'))");
  run("insert into docs values (2, empty_clob(), empty_clob(), empty_blob())");
  run("insert into docs (id) values (3)");
  EXPECT_EQ(value("select upper(c) || '!' from docs where id = 1"), "HELLO WORLD!");
  EXPECT_EQ(value("select lower(c) from docs where id = 1"), "hello world");
  EXPECT_EQ(value("select instr(c, 'World') from docs where id = 1"), "7");
  EXPECT_EQ(value("select replace(trim(c), 'World', 'There') from docs where id = 1"),
            "Hello There");
  EXPECT_EQ(value("select count(*) from docs where c like 'Hello%'"), "1");
  EXPECT_EQ(value("select to_char(to_clob('abc')) from dual"), "abc");
  EXPECT_EQ(value("select to_nclob('abc') from dual"), "abc");
  EXPECT_EQ(value("select to_blob(hextoraw('ABCD')) from dual"), "ABCD");
  EXPECT_EQ(described("select replace(c, 'a', 'b'), nvl(c, 'x'), substr(c, 1) from docs", 2),
            "112 4000 4000");
  // An empty LOB has length 0 and is not NULL; a NULL stays NULL.
  EXPECT_EQ(query("select id, length(c), length(n), length(b), nvl2(c, 'set', 'null') from docs "
                  "order by id"),
            (std::vector<std::vector<std::string>>{{"1", "11", "NULL", "2", "set"},
                                                   {"2", "0", "0", "0", "set"},
                                                   {"3", "NULL", "NULL", "NULL", "null"}}));
  EXPECT_EQ(value("select count(*) from docs where c is null"), "1");
  EXPECT_EQ(value("select length(empty_clob()) from dual"), "0");
  EXPECT_EQ(value("select nvl(upper(c), 'none') from docs where id = 3"), "none");
}

TEST_F(Lob, Errors_WhereOracleRefusesALob) {
  run("insert into docs (id, c) values (1, 'x')");
  const std::string clob = "ERROR: ORA-00932: inconsistent datatypes: expected - got CLOB";
  EXPECT_EQ(value("select id from docs order by c"), clob);
  EXPECT_EQ(value("select count(*) from docs group by c"), clob);
  EXPECT_EQ(value("select distinct c from docs"), clob);
  EXPECT_EQ(value("select c from docs union select c from docs"), clob);
  EXPECT_EQ(value("select count(*) from docs where c = 'x'"), clob);
  EXPECT_EQ(value("select count(*) from docs where c in ('x', 'y')"), clob);
  EXPECT_EQ(value("select max(c) from docs"), clob);
  EXPECT_EQ(value("select count(distinct c) from docs"), clob);
  EXPECT_EQ(value("select id, c from docs order by 2"), clob);
  EXPECT_EQ(value("select c x from docs order by x"), clob);
  EXPECT_EQ(value("select row_number() over (order by c) from docs"), clob);
  EXPECT_EQ(value("select greatest(c, 'y') from docs"), clob);
  EXPECT_EQ(value("select decode(c, 'x', 1) from docs"), clob);
  EXPECT_EQ(value("select count(*) from docs where b = hextoraw('00')"),
            "ERROR: ORA-00932: inconsistent datatypes: expected - got BLOB");
  // UNION ALL compares nothing.
  EXPECT_EQ(value("select count(*) from (select c from docs union all select c from docs)"), "2");
  EXPECT_EQ(exec("create index docs_c on docs (c)"), 2327);
  EXPECT_EQ(lastError, "ORA-02327: cannot create index on expression with datatype LOB");
  EXPECT_EQ(exec("create index docs_c on docs (upper(c))"), 2327);
  EXPECT_EQ(exec("create table lk (c clob primary key)"), 2329);
  EXPECT_EQ(lastError, "ORA-02329: column of datatype LOB cannot be unique or a primary key");
  EXPECT_EQ(exec("alter table docs add constraint docs_uk unique (id, b)"), 2329);
  EXPECT_EQ(exec("create index docs_id on docs (id)"), 0) << lastError;
  // A LOB column keeps its type; a LONG may become a CLOB, rows and all.
  EXPECT_EQ(exec("alter table docs modify (c varchar2(10))"), 22859);
  EXPECT_EQ(exec("alter table docs modify (id clob)"), 22858);
  run("create table lt (l long)");
  run("insert into lt values ('long text')");
  run("alter table lt modify (l clob)");
  EXPECT_EQ(value("select upper(l) from lt"), "LONG TEXT");
}

// CLOB and BLOB variables: past 32767 bytes, to and from VARCHAR2 (ORA-06502 when too long),
// ||, SELECT INTO, %TYPE of a LOB column, and back into the table.
TEST_F(Lob, Plsql_Variables) {
  run("create table res (k number, v varchar2(4000))");
  run("insert into docs (id, c, b) values (1, 'stored', hextoraw('C0FFEE'))");
  run(R"(declare
  c clob := 'ab';
  v varchar2(10);
  d docs.c%type;
  bb blob;
  n number;
begin
  for i in 1 .. 15 loop c := c || c; end loop; -- 65536 bytes
  insert into res values (1, length(c));
  v := substr(c, 1, 4);
  insert into res values (2, v);
  select c || '!' into d from docs where id = 1;
  insert into res values (3, d);
  select b into bb from docs where id = 1;
  insert into res values (4, rawtohex(bb));
  insert into docs (id, b) values (4, bb);
  insert into docs (id, c) values (2, c);
  begin
    v := c;
  exception when value_error then insert into res values (5, sqlerrm);
  end;
  d := empty_clob();
  insert into res values (6, nvl2(d, 'empty, not null', 'null') || length(d));
  insert into docs (id, c) values (3, d);
  n := length(v) + length(d);
  insert into res values (7, n || '|' || length(upper(c || c)));
  d := 'x';
  d := d || '-' || d || null; -- appended in place, each piece read first
  insert into res values (8, d);
end;)");
  EXPECT_EQ(query("select v from res order by k"),
            (std::vector<std::vector<std::string>>{
                {"65536"},
                {"abab"},
                {"stored!"},
                {"C0FFEE"},
                {"ORA-06502: PL/SQL: numeric or value error: character string buffer too small"},
                {"empty, not null0"},
                {"4|131072"},
                {"x-x"}}));
  EXPECT_EQ(value("select length(c) from docs where id = 2"), "65536");
  EXPECT_EQ(value("select length(c) from docs where id = 3"), "0");
  // Bytes from PL/SQL stay bytes in the column, from a statement or a trigger's :NEW.
  EXPECT_EQ(value("select b || '|' || length(b) from docs where id = 4"), "C0FFEE|3");
  run("create trigger docs_bi before insert on docs for each row begin :new.c := :new.c || "
      "'+'; :new.b := hextoraw('AB'); end;");
  run("insert into docs (id, c) values (5, 'new')");
  EXPECT_EQ(value("select c || b || length(b) from docs where id = 5"), "new+AB1");
}

// DBMS_LOB over CLOB and BLOB variables: the functions (NULL for NULL or bad arguments), the
// procedures that change the LOB they are given, temporary LOBs, and Oracle's errors.
TEST_F(Lob, DbmsLob) {
  run("create table res (k number, v varchar2(4000))");
  run(R"(declare
  c clob;
  b blob;
  amt integer;
  buf varchar2(100);
  procedure put(k number, v varchar2) is begin insert into res values (k, v); end;
begin
  put(1, dbms_lob.istemporary(c) || '|' || dbms_lob.getlength(c));
  dbms_lob.createtemporary(lob_loc => c, cache => true, dur => dbms_lob.session);
  put(2, dbms_lob.istemporary(c) || '|' || dbms_lob.getlength(c));
  dbms_lob.open(c, dbms_lob.lob_readwrite);
  dbms_lob.writeappend(c, 5, 'Hello');
  dbms_lob.append(c, to_clob(' World'));
  dbms_lob.write(c, 3, 7, 'Wor');
  dbms_lob.write(c, 2, 14, '!!');
  dbms_lob.close(c);
  put(3, c || '|' || dbms_lob.getlength(c));
  put(4, dbms_lob.substr(c, 5, 7) || '|' || dbms_lob.substr(c, 0) || '|' || dbms_lob.substr(c));
  put(5, dbms_lob.instr(c, 'o') || ',' || dbms_lob.instr(c, 'o', 1, 2) || ',' ||
         dbms_lob.instr(c, 'zz') || ',' || nvl(to_char(dbms_lob.instr(c, 'o', 0)), 'null'));
  amt := 20;
  dbms_lob.read(c, amt, 7, buf);
  put(6, amt || '|' || buf);
  amt := 3;
  dbms_lob.erase(c, amt, 1);
  dbms_lob.trim(c, 8);
  put(7, '[' || c || ']' || amt);
  dbms_lob.copy(c, to_clob('abc'), 2, 1, 2);
  put(8, c);
  put(9, dbms_lob.compare(c, c) || ',' || dbms_lob.compare(c, to_clob('x')) || ',' ||
         dbms_lob.compare(to_clob('abXd'), to_clob('zzab'), 2, 1, 3));
  dbms_lob.freetemporary(c);
  put(10, nvl(to_char(dbms_lob.getlength(c)), 'null'));
  b := hextoraw('0102');
  dbms_lob.write(b, 1, 4, hextoraw('FF'));
  put(11, rawtohex(b) || '|' || rawtohex(dbms_lob.substr(b, 2, 2)));
  put(12, dbms_lob.lob_readonly || dbms_lob.lob_readwrite || dbms_lob.call ||
          dbms_lob.session);
end;)");
  EXPECT_EQ(query("select v from res order by k"),
            (std::vector<std::vector<std::string>>{{"|"},
                                                   {"1|0"},
                                                   {"Hello World  !!|15"},
                                                   {"World||Hello World  !!"},
                                                   {"5,8,0,null"},
                                                   {"9|World  !!"},
                                                   {"[   lo Wo]3"},
                                                   {"bc lo Wo"},
                                                   {"0,-1,0"},
                                                   {"null"},
                                                   {"010200FF|0200"},
                                                   {"011210"}}));
  // A LOB read from the table, changed in the variable and written back.
  run("insert into docs (id, c) values (1, 'row')");
  run("declare v clob; begin select c into v from docs where id = 1; dbms_lob.append(v, "
      "' more'); update docs set c = v where id = 1; end;");
  EXPECT_EQ(value("select c from docs"), "row more");
  // Errors: bad amounts and offsets, NULL LOBs, reading past the end, trimming longer.
  auto fails = [&](const std::string &body) {
    exec("declare c clob := 'abc'; n clob; amt integer := 2; buf varchar2(10); begin " + body +
         "; end;");
    return lastError.substr(0, lastError.find('\n'));
  };
  EXPECT_EQ(fails("dbms_lob.write(c, 0, 1, 'x')"),
            "ORA-21560: argument 2 is null, invalid, or out of range");
  EXPECT_EQ(fails("dbms_lob.write(c, 5, 1, 'x')"),
            "ORA-21560: argument 2 is null, invalid, or out of range");
  EXPECT_EQ(fails("dbms_lob.read(c, amt, 0, buf)"),
            "ORA-21560: argument 3 is null, invalid, or out of range");
  EXPECT_EQ(fails("dbms_lob.read(c, amt, 4, buf)"), "ORA-01403: no data found");
  EXPECT_EQ(fails("dbms_lob.write(c, 1, 2000000000, 'x')"),
            "ORA-22925: operation would exceed maximum size allowed for a LOB value");
  EXPECT_EQ(fails("dbms_lob.append(n, c)"), "ORA-06502: PL/SQL: numeric or value error");
  EXPECT_EQ(fails("dbms_lob.trim(c, 4)"),
            "ORA-22926: specified trim length is greater than current LOB value's length");
  EXPECT_EQ(exec("begin dbms_lob.append('x', 'y'); end;"), 6550);
  EXPECT_NE(lastError.find("PLS-00363"), std::string::npos) << lastError;
  EXPECT_EQ(exec("begin dbms_lob.nosuch(1); end;"), 6550);
  EXPECT_EQ(exec("declare c clob; begin dbms_lob.trim(lob_loc => c, size => 1); end;"), 6550);
  EXPECT_NE(lastError.find("PLS-00306"), std::string::npos) << lastError;
}

TEST_F(Lob, UtlRaw) {
  run("create table res (k number, v varchar2(4000))");
  run(R"(declare
  r raw(20);
  procedure put(k number, v varchar2) is begin insert into res values (k, v); end;
begin
  put(0, rawtohex('0a')); -- text to RAW first: the calls below with RAW are other calls
  r := utl_raw.cast_to_raw('AB');
  put(1, rawtohex(r) || '|' || utl_raw.length(r) || '|' || utl_raw.cast_to_varchar2(r));
  put(2, rawtohex(utl_raw.concat(r, hextoraw('00'), null, r)));
  put(3, rawtohex(utl_raw.substr(hextoraw('0102030405'), 2, 3)) || '|' ||
         rawtohex(utl_raw.substr(hextoraw('0102030405'), -2)));
  put(4, rawtohex(utl_raw.bit_and(hextoraw('0F0F'), hextoraw('FF'))) || '|' ||
         rawtohex(utl_raw.bit_or(hextoraw('F0'), hextoraw('0F'))) || '|' ||
         rawtohex(utl_raw.bit_xor(hextoraw('FF00'), hextoraw('0F0F'))));
  put(5, nvl(rawtohex(utl_raw.cast_to_raw(null)), 'null') || '|' ||
         nvl(to_char(utl_raw.length(null)), 'null'));
end;)");
  EXPECT_EQ(query("select v from res order by k"),
            (std::vector<std::vector<std::string>>{{"0A"},
                                                   {"4142|2|AB"},
                                                   {"4142004142"},
                                                   {"020304|0405"},
                                                   {"0F0F|FF|F00F"},
                                                   {"null|null"}}));
  EXPECT_EQ(exec("declare r raw(5); begin r := utl_raw.substr(hextoraw('01'), 0); end;"), 6502);
}

// At Oracle 7.3's level the LOB types, functions and packages are unknown, as they were.
TEST_F(Lob, LanguageLevel73_KnowsNoLobs) {
  Lda_Def sys;
  ASSERT_NO_FATAL_FAILURE(logOnAt73(sys));
  EXPECT_EQ(exec("create table t73 (id number, c clob)"), 902);
  EXPECT_EQ(exec("create table t73 (id number, b blob)"), 902);
  EXPECT_EQ(code("select to_clob('a') from dual"), "ERROR: ORA-00904");
  EXPECT_EQ(code("select empty_blob() from dual"), "ERROR: ORA-00904");
  EXPECT_EQ(exec("declare c clob; begin null; end;"), 6550);
  EXPECT_NE(lastError.find("PLS-00201: identifier 'CLOB' must be declared"), std::string::npos)
      << lastError;
  EXPECT_EQ(exec("declare n number; begin n := dbms_lob.getlength(null); end;"), 6550);
  EXPECT_NE(lastError.find("DBMS_LOB"), std::string::npos) << lastError;
  // The table made at the later level is still read.
  EXPECT_EQ(value("select count(c) from docs"), "0");
  ASSERT_EQ(runOn(sys, "alter system set compatible = '19.0.0'"), 0);
  ologof(&sys);
}

} // namespace
