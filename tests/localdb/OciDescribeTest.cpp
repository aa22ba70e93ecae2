// Through the call contract: odessp's description of stored functions and procedures, package
// members with overloads, DBMS_OUTPUT's members, PL/SQL tables, records and REF CURSORs, unknown
// names, and arrays too small for the description.
#include "OciTestUtil.h"

using namespace ocitest;

namespace {

struct Entry {
  int overload, position, level;
  std::string name;
  int type, hasDefault, mode;
  unsigned size;
};

class Describe : public Scott {
protected:
  static constexpr ub4 kRoom = 40;
  // Describes name into arrays of room entries; the entries, and the return code in rc.
  std::vector<Entry> describe(const std::string &name, int &rc, ub4 room = kRoom) {
    ub2 ovrld[kRoom + 1], pos[kRoom + 1], level[kRoom + 1], arnlen[kRoom + 1], dtype[kRoom + 1];
    text argnm[kRoom + 1][30];
    ub1 defsup[kRoom + 1], mode[kRoom + 1], radix[kRoom + 1];
    ub4 dtsiz[kRoom + 1], spare[kRoom + 1];
    sb2 prec[kRoom + 1], scale[kRoom + 1];
    // A guard entry past the room the call is told about must stay untouched.
    std::memset(dtype, 0xEE, sizeof dtype);
    ub4 count = room;
    rc = odessp(&lda, (text *)name.c_str(), static_cast<size_t>(-1), nullptr, 0, nullptr, 0, ovrld,
                pos, level, argnm, arnlen, dtype, defsup, mode, dtsiz, prec, scale, radix, spare,
                &count);
    EXPECT_EQ(dtype[room], 0xEEEE) << "written past the arrays";
    std::vector<Entry> out;
    for (ub4 i = 0; rc == 0 && i < count && i < room; ++i)
      out.push_back(Entry{ovrld[i], pos[i], level[i],
                          std::string(reinterpret_cast<char *>(argnm[i]), arnlen[i]), dtype[i],
                          defsup[i], mode[i], dtsiz[i]});
    if (rc) {
      EXPECT_EQ(count, 0u);
    }
    return out;
  }
  std::vector<Entry> describe(const std::string &name) {
    int rc = 0;
    auto out = describe(name, rc);
    EXPECT_EQ(rc, 0) << message(lda, rc);
    return out;
  }
  void run(const std::string &sql) { ASSERT_EQ(exec(sql), 0) << sql << "\n" << lastError; }
};

std::string show(const std::vector<Entry> &entries) {
  std::string s;
  for (const Entry &e : entries)
    s += std::to_string(e.overload) + " " + std::to_string(e.position) + " " +
         std::to_string(e.level) + " " + (e.name.empty() ? "-" : e.name) + " " +
         std::to_string(e.type) + " " + std::to_string(e.hasDefault) + " " +
         std::to_string(e.mode) + " " + std::to_string(e.size) + "\n";
  return s;
}

} // namespace

TEST_F(Describe, Function_ResultFirstThenArgumentsWithModesAndDefaults) {
  run("create or replace function twice(a in number, b out varchar2, c in out date, "
      "d binary_integer := 3) return varchar2 is begin return 'x'; end;");
  EXPECT_EQ(show(describe("twice")), "0 0 0 - 1 0 1 0\n"
                                     "0 1 0 A 2 0 0 22\n"
                                     "0 2 0 B 1 0 1 0\n"
                                     "0 3 0 C 12 0 2 7\n"
                                     "0 4 0 D 3 1 0 4\n");
  EXPECT_EQ(show(describe("SCOTT.TWICE")), show(describe("twice")));
}

TEST_F(Describe, Procedure_WithoutArgumentsIsOneEntryOfTypeZero) {
  run("create or replace procedure lone is begin null; end;");
  EXPECT_EQ(show(describe("LONE")), "0 1 0 - 0 0 0 0\n");
}

TEST_F(Describe, PackageMember_EveryOverloadNumberedFromOne) {
  run("create or replace package pk is procedure p(x number); "
      "procedure p(x varchar2, y varchar2 default 'y'); function f return number; end;");
  run("create or replace package body pk is procedure p(x number) is begin null; end; "
      "procedure p(x varchar2, y varchar2 default 'y') is begin null; end; "
      "function f return number is begin return 1; end; end;");
  EXPECT_EQ(value("select status from user_objects where object_name = 'PK' and "
                  "object_type = 'PACKAGE BODY'"),
            "VALID")
      << "each overload's body defines its own declaration: "
      << value("select text from user_errors where rownum = 1");
  EXPECT_EQ(show(describe("pk.p")), "1 1 0 X 2 0 0 22\n"
                                    "2 1 0 X 1 0 0 0\n"
                                    "2 2 0 Y 1 1 0 0\n");
  EXPECT_EQ(show(describe("PK.F")), "1 0 0 - 2 0 1 22\n");
  EXPECT_EQ(show(describe("scott.pk.p")), show(describe("pk.p")));
}

TEST_F(Describe, PackageMember_TablesRecordsAndRefCursors) {
  run("create or replace package types is "
      "type names is table of varchar2(30) index by binary_integer; "
      "type pair is record (n number, s varchar2(10)); type rc is ref cursor; "
      "procedure p(t in out names, r in pair, c out rc); end;");
  EXPECT_EQ(show(describe("TYPES.P")), "1 1 0 T 251 0 2 0\n"
                                       "1 1 1 - 1 0 2 30\n"
                                       "1 2 0 R 250 0 0 0\n"
                                       "1 2 1 N 2 0 0 22\n"
                                       "1 2 1 S 1 0 0 10\n"
                                       "1 3 0 C 102 0 1 0\n");
}

TEST_F(Describe, DbmsOutput_MembersOfTheBuiltInPackage) {
  EXPECT_EQ(show(describe("DBMS_OUTPUT.ENABLE")), "1 1 0 BUFFER_SIZE 2 1 0 22\n");
  EXPECT_EQ(show(describe("dbms_output.disable")), "1 1 0 - 0 0 0 0\n");
  EXPECT_EQ(show(describe("DBMS_OUTPUT.GET_LINE")), "1 1 0 LINE 1 0 1 0\n"
                                                    "1 2 0 STATUS 2 0 1 22\n");
  EXPECT_EQ(show(describe("SYS.DBMS_OUTPUT.GET_LINES")), "1 1 0 LINES 251 0 1 0\n"
                                                         "1 1 1 - 1 0 1 255\n"
                                                         "1 2 0 NUMLINES 2 0 2 22\n");
  auto put = describe("DBMS_OUTPUT.PUT_LINE");
  ASSERT_EQ(put.size(), 3u);
  EXPECT_EQ(put[2].overload, 3);
}

TEST_F(Describe, UnknownNames_Ora04043WithTheName) {
  run("create or replace package pk is procedure p; end;");
  for (const char *name : {"nothing", "PK.NOTHING", "DBMS_OUTPUT.NOTHING", "A.B.C.D", "x..y", ""}) {
    int rc = 0;
    describe(name, rc);
    EXPECT_EQ(rc, 4043) << name;
  }
  int rc = 0;
  describe("pk.nothing", rc);
  EXPECT_EQ(message(lda, rc), "ORA-04043: object PK.NOTHING does not exist");
  describe("PK", rc);
  EXPECT_EQ(rc, 20000) << "a package alone is not a procedure";
}

TEST_F(Describe, TooSmallArrays_Ora06513AndNothingWrittenPastThem) {
  run("create or replace procedure many(a number, b number, c number) is begin null; end;");
  int rc = 0;
  describe("MANY", rc, 2);
  EXPECT_EQ(rc, 6513);
  EXPECT_EQ(message(lda, rc),
            "ORA-06513: PL/SQL: index for PL/SQL table out of range for host language array");
  EXPECT_EQ(describe("MANY", rc, 3).size(), 3u);
  EXPECT_EQ(rc, 0);
  describe("MANY", rc, 0);
  EXPECT_EQ(rc, 6513);
}

TEST_F(Describe, OtherSchemas_OnlyWithAPrivilege) {
  run("create or replace procedure mine is begin null; end;");
  Lda_Def other{};
  ASSERT_EQ(logOn(other, "system/manager@"), 0);
  ub2 ovrld[4], pos[4], level[4], arnlen[4], dtype[4];
  text argnm[4][30];
  ub1 defsup[4], mode[4], radix[4];
  ub4 dtsiz[4], spare[4], count = 4;
  sb2 prec[4], scale[4];
  EXPECT_EQ(odessp(&other, (text *)"SCOTT.MINE", static_cast<size_t>(-1), nullptr, 0, nullptr, 0,
                   ovrld, pos, level, argnm, arnlen, dtype, defsup, mode, dtsiz, prec, scale, radix,
                   spare, &count),
            0)
      << "a DBA sees every schema";
  EXPECT_EQ(count, 1u);
  ologof(&other);
}
