// Below the contract: SHA-256, password hashes, statement kinds, error texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "localdb/server/Server.h"
#include "localdb/server/Sha256.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/StatementKind.h"

using namespace localdb;

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256Hex(std::string(1000, 'a')),
            "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
  EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Password, SaltedAndCaseInsensitive) {
  std::string a = hashPassword("tiger"), b = hashPassword("tiger");
  EXPECT_NE(a, b);
  EXPECT_TRUE(checkPassword("TIGER", a));
  EXPECT_TRUE(checkPassword("Tiger", b));
  EXPECT_FALSE(checkPassword("lion", a));
  EXPECT_FALSE(checkPassword("tiger", "garbage"));
}

TEST(StatementKind, LeadingKeywordsGiveTheCode) {
  EXPECT_EQ(statementKind("select * from dual"), 4);
  EXPECT_EQ(statementKind("  -- note\n /* c */ (SELECT 1 FROM dual)"), 4);
  EXPECT_EQ(statementKind("insert into t values (1)"), 3);
  EXPECT_EQ(statementKind("UPDATE t SET a = 1"), 5);
  EXPECT_EQ(statementKind("delete t"), 9);
  EXPECT_EQ(statementKind("create table t (a number)"), 1);
  EXPECT_EQ(statementKind("create or replace view v as select 1 x from dual"), 10);
  EXPECT_EQ(statementKind("create or replace force view v as select 1 x from dual"), 10);
  EXPECT_EQ(statementKind("create unique index i on t(a)"), 20);
  EXPECT_EQ(statementKind("create public synonym s for t"), 30);
  EXPECT_EQ(statementKind("create or replace procedure p is begin null; end;"), 24);
  EXPECT_EQ(statementKind("create or replace package body p is end;"), 97);
  EXPECT_EQ(statementKind("create package p is end;"), 94);
  EXPECT_EQ(statementKind("create function f return number is begin null; end;"), 91);
  EXPECT_EQ(statementKind("alter function f compile"), 92);
  EXPECT_EQ(statementKind("alter package p compile body"), 95);
  EXPECT_EQ(statementKind("create trigger t before insert on x begin null; end;"), 59);
  EXPECT_EQ(statementKind("drop procedure p"), 68);
  EXPECT_EQ(statementKind("drop function f"), 93);
  EXPECT_EQ(statementKind("drop package p"), 96);
  EXPECT_EQ(statementKind("drop package body p"), 99);
  EXPECT_EQ(statementKind("drop public synonym s"), 31);
  EXPECT_EQ(statementKind("alter table t add (b number)"), 26);
  EXPECT_EQ(statementKind("alter session set nls_date_format = 'YYYY'"), 52);
  EXPECT_EQ(statementKind("alter system switch log"), 32);
  EXPECT_EQ(statementKind("set transaction read only"), 33);
  EXPECT_EQ(statementKind("begin null; end;"), 34);
  EXPECT_EQ(statementKind("declare x number; begin null; end;"), 34);
  EXPECT_EQ(statementKind("<<lbl>> begin null; end;"), 34);
  EXPECT_EQ(statementKind("commit work"), 54);
  EXPECT_EQ(statementKind("rollback"), 55);
  EXPECT_EQ(statementKind("savepoint a"), 56);
  EXPECT_EQ(statementKind("grant select on emp to public"), 28);
  EXPECT_EQ(statementKind("comment on table emp is 'x'"), 38);
  EXPECT_EQ(statementKind("rename a to b"), 37);
  EXPECT_EQ(statementKind("lock table emp in exclusive mode"), 35);
  EXPECT_EQ(statementKind("analyze index i compute statistics"), 63);
  EXPECT_EQ(statementKind("create snapshot log on t"), 71);
  EXPECT_EQ(statementKind("drop snapshot s"), 76);
  EXPECT_EQ(statementKind("alter resource cost cpu_per_session 1"), 70);
  EXPECT_EQ(statementKind("truncate table t"), 85);
  EXPECT_EQ(statementKind("frobnicate"), 0);
  EXPECT_EQ(statementKind(""), 0);
}

TEST(OraError, TextsAndCodes) {
  EXPECT_EQ(oraError(942).message, "ORA-00942: table or view does not exist");
  EXPECT_EQ(oraErrorArg(1, "SCOTT.PK_DEPT").message,
            "ORA-00001: unique constraint (SCOTT.PK_DEPT) violated");
  EXPECT_EQ(oraCodeOf("ORA-02291: integrity constraint"), 2291);
  EXPECT_EQ(oraCodeOf("UNIQUE constraint failed"), 0);
}

// Every number the server's code raises (oraError(N), fail(N), raise(N), error(N) and the like)
// has Oracle's text in the table: none reaches a user as "Message N not found".
TEST(OraError, EveryNumberRaisedHasItsText) {
  const std::regex call(
      R"(\b(oraError|oraErrorArg|oraMessage|fail|raise|error|lexError)\(([^;"]{0,160}))");
  const std::regex number(R"(\b\d{3,5}\b)");
  std::set<int> raised;
  for (const auto &entry : std::filesystem::recursive_directory_iterator(LOCALDB_SOURCE_DIR)) {
    if (entry.path().extension() != ".cpp")
      continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    for (std::sregex_iterator c(source.begin(), source.end(), call), end; c != end; ++c) {
      const std::string args = (*c)[2].str();
      for (std::sregex_iterator n(args.begin(), args.end(), number); n != end; ++n)
        raised.insert(std::stoi(n->str()));
    }
  }
  EXPECT_GT(raised.size(), 150u) << "the sources were not read";
  std::string missing;
  for (int code : raised)
    if (!*oraText(code) && (code < 20000 || code > 20999)) // the application's own numbers
      missing += " " + std::to_string(code);
  EXPECT_EQ(missing, "");
}
