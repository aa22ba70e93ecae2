// Through the call contract: NUMBER with Oracle's 38-plus digits in SQL, PL/SQL, storage and
// binds; the stored form keeps unique indexes, ORDER BY, MIN/MAX and comparisons right; a file
// whose decimals an earlier version kept as doubles reads back and compares as before.
#include <sqlite3.h>

#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Numbers : public Scott {};

const char *const kThird = ".3333333333333333333333333333333333333333";

TEST_F(Numbers, OraclesAnswersInSql) {
  EXPECT_EQ(value("select 1234567890123456789 from dual"), "1234567890123456789");
  EXPECT_EQ(value("select 1234567890123456789 - 1234567890123456788 from dual"), "1");
  EXPECT_EQ(value("select to_char(1/3) from dual"), kThird);
  EXPECT_EQ(value("select 4294967296 * 4294967296 from dual"), "18446744073709551616");
  EXPECT_EQ(value("select 12345678901234567890123 * 1000 + .5 from dual"),
            "12345678901234567890123000.5");
  ASSERT_EQ(exec("create table m (v number(22,2))"), 0) << lastError;
  ASSERT_EQ(exec("insert into m values (123456789012345.67)"), 0) << lastError;
  EXPECT_EQ(value("select v from m"), "123456789012345.67");
  EXPECT_EQ(value("select count(*) from m where v = 123456789012345.67"), "1");
  EXPECT_EQ(value("select sqrt(2) from dual"), "1.41421356237309504880168872420969807857");
  EXPECT_EQ(value("select power(2, 100) from dual"), "1267650600228229401496703205376");
  EXPECT_EQ(value("select ln(2) from dual"), ".6931471805599453094172321214581765680755");
  EXPECT_EQ(value("select -0 * 5 from dual"), "0");
  EXPECT_EQ(value("select round(-0.4) from dual"), "0");
  EXPECT_EQ(value("select to_char(1e-5) || '/' || to_char(-1.5e-100) from dual"),
            ".00001/-1.5E-100");
  EXPECT_EQ(value("select 1e125 * 10 from dual").rfind("ERROR: ORA-01426", 0), 0u);
  EXPECT_EQ(value("select 1e-100 * 1e-100 from dual"), "0");
  EXPECT_EQ(value("select dump(123.45) || ' ' || vsize(-1) from dual"),
            "Typ=2 Len=4: 194,2,24,46 3");
  EXPECT_EQ(value("select dump(v) from m"), "Typ=2 Len=10: 200,2,24,46,68,90,2,24,46,68");
}

TEST_F(Numbers, PrecisionAndScaleRoundHalfAwayFromZero) {
  ASSERT_EQ(exec("create table p (a number(4,2), b number(3), c number(2,5), d number(5,-2))"), 0);
  EXPECT_EQ(exec("insert into p (a) values (99.994)"), 0);
  EXPECT_EQ(exec("insert into p (a) values (-99.995)"), 1438);
  EXPECT_EQ(exec("insert into p (a) values (-.005)"), 0);
  EXPECT_EQ(exec("insert into p (a) values (-.004)"), 0);
  EXPECT_EQ(exec("insert into p (b) values (999.4999)"), 0);
  EXPECT_EQ(exec("insert into p (b) values (999.5)"), 1438);
  EXPECT_EQ(exec("insert into p (c) values (.000125)"), 0);
  EXPECT_EQ(exec("insert into p (c) values (.001)"), 1438);
  EXPECT_EQ(exec("insert into p (d) values (12345.5)"), 0);
  EXPECT_EQ(exec("insert into p (d) values (9999950)"), 1438);
  auto rows = query("select nvl(to_char(a), '-'), nvl(to_char(b), '-'), nvl(to_char(c), '-'), "
                    "nvl(to_char(d), '-') from p order by rowid");
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0][0], "99.99");
  EXPECT_EQ(rows[1][0], "-.01");
  EXPECT_EQ(rows[2][0], "0");
  EXPECT_EQ(rows[3][1], "999");
  EXPECT_EQ(rows[4][2], ".00013");
  EXPECT_EQ(rows[5][3], "12300");
}

TEST_F(Numbers, StoredFormKeepsIndexesOrderAndAggregates) {
  ASSERT_EQ(exec("create table u (v number primary key)"), 0);
  // Equal in their first 18 digits only: both stay, the same one again does not.
  EXPECT_EQ(exec("insert into u values (1.234567890123456789)"), 0);
  EXPECT_EQ(exec("insert into u values (1.234567890123456788)"), 0);
  EXPECT_EQ(exec("insert into u values (12345678901234567891)"), 0);
  EXPECT_EQ(exec("insert into u values (12345678901234567892)"), 0);
  EXPECT_EQ(exec("insert into u values (1.2345678901234567880)"), 1);
  EXPECT_EQ(exec("insert into u values (12345678901234567891.0)"), 1);
  for (const char *v : {"-1e20", "-5", "-.5", "0", ".001", "1", "2.5", "10", "9223372036854775807"})
    ASSERT_EQ(exec(std::string("insert into u values (") + v + ")"), 0) << v;
  auto rows = query("select to_char(v) from u order by v");
  std::vector<std::string> order;
  for (auto &r : rows)
    order.push_back(r[0]);
  EXPECT_EQ(order, (std::vector<std::string>{"-100000000000000000000", "-5", "-.5", "0", ".001",
                                             "1", "1.234567890123456788", "1.234567890123456789",
                                             "2.5", "10", "9223372036854775807",
                                             "12345678901234567891", "12345678901234567892"}));
  EXPECT_EQ(value("select count(*) from u where v > 2"), "5");
  EXPECT_EQ(value("select count(*) from u where v between -1 and 1.5"), "6");
  EXPECT_EQ(value("select min(v) || ' ' || max(v) from u"),
            "-100000000000000000000 12345678901234567892");
  EXPECT_EQ(value("select greatest(2.5, 10, 1e19) from dual"), "10000000000000000000");
  EXPECT_EQ(value("select count(distinct v) from u"), "13");
  EXPECT_EQ(value("select sum(v) from u where v < 3"), "-99999999999999999999.529864219753086423");
}

TEST_F(Numbers, OraclesAnswersInPlsql) {
  ASSERT_EQ(exec("create or replace function nums(k number) return varchar2 is "
                 "a number := 1234567890123456789; b number := 1234567890123456788; "
                 "x number := 4294967296; v number(22,2); f number := 1; "
                 "begin if k = 1 then return to_char(a); elsif k = 2 then return to_char(a - b); "
                 "elsif k = 3 then v := 123456789012345.67; return to_char(v); "
                 "elsif k = 4 then return to_char(1/3); elsif k = 5 then return to_char(x * x); "
                 "end if; for i in 1 .. 25 loop f := f * i; end loop; return to_char(f); end;"),
            0)
      << lastError;
  EXPECT_EQ(value("select nums(1) from dual"), "1234567890123456789");
  EXPECT_EQ(value("select nums(2) from dual"), "1");
  EXPECT_EQ(value("select nums(3) from dual"), "123456789012345.67");
  EXPECT_EQ(value("select nums(4) from dual"), kThird);
  EXPECT_EQ(value("select nums(5) from dual"), "18446744073709551616");
  EXPECT_EQ(value("select nums(6) from dual"), "15511210043330985984000000");
  // A number function's decimal result crosses into SQL whole.
  ASSERT_EQ(exec("create or replace function third return number is begin return 1/3; end;"), 0);
  EXPECT_EQ(value("select third from dual"), kThird);
  EXPECT_EQ(value("select count(*) from dual where third = 1/3"), "1");
}

TEST_F(Numbers, OraclesAnswersThroughBinds) {
  ASSERT_EQ(exec("create table b (id number, v number(22,2), w number)"), 0);
  Cda_Def cda{};
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  ASSERT_EQ(oparse(&cda, (text *)"insert into b values (:1, :2, :3)", -1, 1, 2), 0);
  int64_t id = 1234567890123456789;
  char v[] = "123456789012345.67";
  double w = 0.1;
  ASSERT_EQ(obndra(&cda, (text *)"1", -1, (ub1 *)&id, 8, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)"2", -1, (ub1 *)v, sizeof v - 1, 1, -1, nullptr, nullptr, nullptr,
                   0, nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)"3", -1, (ub1 *)&w, 8, 4, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(value("select id || ' ' || v || ' ' || w from b"),
            "1234567890123456789 123456789012345.67 .1");
  // Back as an 8-byte integer and as Oracle's bytes (VARNUM, external type 6).
  ASSERT_EQ(oparse(&cda, (text *)"select id, v / 3 from b", -1, 1, 2), 0);
  int64_t idOut = 0;
  unsigned char varnum[22] = {};
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)&idOut, 8, 3, -1, nullptr, nullptr, -1, -1, nullptr, nullptr),
            0);
  ASSERT_EQ(odefin(&cda, 2, varnum, 22, 6, -1, nullptr, nullptr, -1, -1, nullptr, nullptr), 0);
  ASSERT_EQ(oexfet(&cda, 1, 0, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(idOut, 1234567890123456789);
  EXPECT_EQ(varnum[0], 21); // 20 base-100 digits and the exponent
  EXPECT_EQ(varnum[1], 199);
  // The bytes go back in as a bind of the same type and compare equal.
  ASSERT_EQ(oparse(&cda, (text *)"select count(*) from b where v / 3 = :1", -1, 1, 2), 0);
  ASSERT_EQ(obndra(&cda, (text *)"1", -1, varnum, 22, 6, -1, nullptr, nullptr, nullptr, 0, nullptr,
                   nullptr, -1, -1),
            0);
  char count[8] = {};
  ASSERT_EQ(odefin(&cda, 1, (ub1 *)count, sizeof count, 5, -1, nullptr, nullptr, -1, -1, nullptr,
                   nullptr),
            0);
  ASSERT_EQ(oexfet(&cda, 1, 0, 0), 0) << message(lda, rcOf(cda));
  EXPECT_STREQ(count, "1");
  // PL/SQL: a 19-digit integer in, text and Oracle's bytes out.
  ASSERT_EQ(oparse(&cda,
                   (text *)"begin :t := to_char(:i - 1234567890123456788) || ' ' || "
                           "to_char(4294967296 * 4294967296); :b := 1/3; end;",
                   -1, 0, 2),
            0);
  char t[64] = {};
  unsigned char third[22] = {};
  ASSERT_EQ(obndra(&cda, (text *)":i", -1, (ub1 *)&id, 8, 3, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":t", -1, (ub1 *)t, sizeof t, 5, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":b", -1, third, 22, 6, -1, nullptr, nullptr, nullptr, 0, nullptr,
                   nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_STREQ(t, "1 18446744073709551616");
  EXPECT_EQ(third[0], 21);
  EXPECT_EQ(third[1], 192); // .33.. : exponent byte 192, then twenty 34s
  EXPECT_EQ(third[21], 34);
  oclose(&cda);
}

// A server file from an earlier version: decimals as doubles, whole numbers as integers.
TEST_F(Numbers, EarlierFilesReadBackAndCompare) {
  ASSERT_EQ(exec("create table old (v number, k number(7,2))"), 0);
  ASSERT_EQ(exec("create unique index old_k on old (k)"), 0);
  ASSERT_EQ(exec("create or replace trigger old_t before update on old for each row "
                 "begin :new.v := :new.v + 1000; end;"),
            0);
  ologof(&lda);
  sqlite3 *db = nullptr;
  std::string file;
  for (auto &e : std::filesystem::recursive_directory_iterator(root))
    if (e.path().filename() == "server.db")
      file = e.path().string();
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  // The table's triggers call the server's functions, which a bare connection lacks.
  std::vector<std::string> triggers;
  sqlite3_stmt *st = nullptr;
  sqlite3_prepare_v2(
      db, "SELECT sql FROM sqlite_master WHERE tbl_name = 'SCOTT.OLD' AND type = 'trigger'", -1,
      &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW)
    triggers.push_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  std::string sql = "BEGIN; DROP TRIGGER IF EXISTS x;";
  for (auto &t : triggers)
    sql += "DROP TRIGGER \"" +
           t.substr(t.find('"') + 1, t.find('"', t.find('"') + 1) - t.find('"') - 1) + "\";";
  sql += "INSERT INTO \"SCOTT.OLD\" VALUES (0.5, 1250.75), (3, 2), ('.25', NULL);"
         "DELETE FROM ora_meta WHERE key = 'numbers';";
  for (auto &t : triggers)
    sql += t + ";";
  ASSERT_EQ(sqlite3_exec(db, (sql + "COMMIT").c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
  ASSERT_EQ(logOn(lda, "scott/tiger@"), 0);
  EXPECT_EQ(value("select count(*) from old where v = .5 and k = 1250.75"), "1");
  EXPECT_EQ(value("select sum(v) from old"), "3.75");
  EXPECT_EQ(value("select to_char(v) from old order by v").substr(0, 5), "ROWS:");
  EXPECT_EQ(query("select v from old order by v")[0][0], ".25");
  EXPECT_EQ(exec("insert into old values (1, 1250.75)"), 1); // the index still sees it
  EXPECT_EQ(exec("update old set k = k where v = 3"), 0);    // the trigger came back
  EXPECT_EQ(value("select v from old where k = 2"), "1003");
}

} // namespace
