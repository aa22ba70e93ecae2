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
  // Values past VARCHAR2's 4000 bytes, kept and read back whole.
  run("insert into docs values (1, rpad('a', 3000, 'a') || rpad('b', 3000, 'b'), 'nat', "
      "hextoraw('00FF10'))");
  EXPECT_EQ(value("select length(c) from docs"), "6000");
  EXPECT_EQ(value("select substr(c, 2999, 4) from docs"), "aabb");
  EXPECT_EQ(value("select n from docs"), "nat");
  EXPECT_EQ(value("select b from docs"), "00FF10");
  EXPECT_EQ(value("select length(b) from docs"), "3");
  // Made in a table by CREATE TABLE AS SELECT, and added by ALTER TABLE.
  run("create table docs2 as select id, c from docs");
  run("alter table docs2 add (extra blob)");
  EXPECT_EQ(query("select data_type from user_tab_columns where table_name = 'DOCS2' order by "
                  "column_id"),
            (Rows{{"NUMBER"}, {"CLOB"}, {"BLOB"}}));
  EXPECT_EQ(value("select length(c) from docs2"), "6000");
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
  insert into docs (id, c) values (2, c);
  begin
    v := c;
  exception when value_error then insert into res values (5, sqlerrm);
  end;
  d := empty_clob();
  insert into res values (6, nvl2(d, 'empty, not null', 'null') || length(d));
  insert into docs (id, c) values (3, d);
end;)");
  EXPECT_EQ(query("select v from res order by k"),
            (std::vector<std::vector<std::string>>{
                {"65536"},
                {"abab"},
                {"stored!"},
                {"C0FFEE"},
                {"ORA-06502: PL/SQL: numeric or value error: character string buffer too small"},
                {"empty, not null0"}}));
  EXPECT_EQ(value("select length(c) from docs where id = 2"), "65536");
  EXPECT_EQ(value("select length(c) from docs where id = 3"), "0");
}

} // namespace
