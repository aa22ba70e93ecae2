// Through the call contract: PL/SQL tables bound as host arrays (obndra with a maximum and a
// current length, in and out, never past the array) and cursor variables bound as cursor data
// areas (external type 102) that the caller then describes and fetches in batches.
#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Binds : public Scott {
protected:
  void SetUp() override {
    Scott::SetUp();
    ASSERT_EQ(exec("create or replace package tabs is "
                   "type t is table of varchar2(30) index by binary_integer; "
                   "procedure rev(v in out t, n out number); procedure gaps(v out t); end;"),
              0)
        << lastError;
    ASSERT_EQ(exec("create or replace package body tabs is procedure rev(v in out t, n out number) "
                   "is w t; begin n := v.count; for i in 1 .. n loop w(i) := v(n - i + 1); "
                   "end loop; w(n + 1) := 'extra'; v := w; end; "
                   "procedure gaps(v out t) is begin v(1) := 'one'; v(3) := 'three'; end; end;"),
              0)
        << lastError;
    ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  }
  void TearDown() override {
    oclose(&cda);
    Scott::TearDown();
  }
  int parse(const char *block) { return oparse(&cda, (text *)block, -1, 0, 2); }

  static constexpr int kMax = 6, kSize = 31;
  char v[kMax][kSize] = {};
  ub2 len[kMax] = {}, rcode[kMax] = {};
  sb2 ind[kMax] = {};
  int n = 0;
  // Binds :V as a table of at most max elements with the first count of a, b, c, ... in it.
  int bindTable(ub4 max, ub4 &count) {
    for (ub4 i = 0; i < count && i < kMax; ++i) {
      v[i][0] = static_cast<char>('a' + i);
      len[i] = 1;
    }
    int rc = obndra(&cda, (text *)":V", -1, (ub1 *)v, kSize, 1, -1, ind, len, rcode, max, &count,
                    nullptr, -1, -1);
    if (rc == 0)
      rc = obndra(&cda, (text *)":N", -1, (ub1 *)&n, sizeof n, 3, -1, nullptr, nullptr, nullptr, 0,
                  nullptr, nullptr, -1, -1);
    return rc;
  }
  Cda_Def cda{};
};

} // namespace

TEST_F(Binds, PlsqlTable_InAndOutWithTheCurrentLength) {
  ASSERT_EQ(parse("begin tabs.rev(:v, :n); end;"), 0) << message(lda, rcOf(cda));
  ub4 count = 3;
  ASSERT_EQ(bindTable(kMax, count), 0) << message(lda, rcOf(cda));
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(n, 3);
  ASSERT_EQ(count, 4u);
  EXPECT_EQ(std::string(v[0], len[0]), "c");
  EXPECT_EQ(std::string(v[1], len[1]), "b");
  EXPECT_EQ(std::string(v[2], len[2]), "a");
  EXPECT_EQ(std::string(v[3], len[3]), "extra");
  EXPECT_EQ(ind[3], 0);
  // Run again: the table read back is the one written.
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(n, 4);
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(std::string(v[0], len[0]), "extra");
}

TEST_F(Binds, PlsqlTable_EmptyInAndGapsOutAsNull) {
  ASSERT_EQ(parse("begin tabs.rev(:v, :n); tabs.gaps(:v); end;"), 0) << message(lda, rcOf(cda));
  ub4 count = 0;
  ASSERT_EQ(bindTable(kMax, count), 0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(n, 0) << "an empty table went in";
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(std::string(v[0], len[0]), "one");
  EXPECT_EQ(ind[1], -1);
  EXPECT_EQ(std::string(v[2], len[2]), "three");
}

TEST_F(Binds, PlsqlTable_MoreThanTheMaximumIsOra06513NeverAnOverrun) {
  ASSERT_EQ(parse("begin tabs.rev(:v, :n); end;"), 0);
  ub4 count = 3;
  std::memcpy(v[3], "guard", 6);
  ASSERT_EQ(bindTable(3, count), 0);
  int rc = oexn(&cda, 1, 0);
  EXPECT_EQ(rc, 6513);
  EXPECT_EQ(message(lda, rc).substr(0, 80),
            "ORA-06513: PL/SQL: index for PL/SQL table out of range for host language array");
  EXPECT_STREQ(v[3], "guard") << "nothing written past the maximum";
  // A current length above the maximum is refused before the block runs.
  count = 5;
  ASSERT_EQ(bindTable(3, count), 0);
  EXPECT_EQ(oexn(&cda, 1, 0), 6513);
}

TEST_F(Binds, PlsqlTable_DbmsOutputGetLinesIntoAHostArray) {
  ASSERT_EQ(exec("begin dbms_output.enable; dbms_output.put_line('one'); "
                 "dbms_output.put_line('two'); dbms_output.put_line('three'); end;"),
            0)
      << lastError;
  ASSERT_EQ(parse("begin dbms_output.get_lines(:v, :n); end;"), 0) << message(lda, rcOf(cda));
  ub4 count = 0;
  ASSERT_EQ(bindTable(kMax, count), 0);
  n = 2;
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(n, 2);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(std::string(v[0], len[0]), "one");
  EXPECT_EQ(std::string(v[1], len[1]), "two");
  n = 5;
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(n, 1);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(std::string(v[0], len[0]), "three");
}

TEST_F(Binds, RefCursor_OpenedForABindIsDescribedAndFetchedInBatches) {
  Cda_Def rows{};
  ASSERT_EQ(oopen(&rows, &lda, nullptr, -1, -1, nullptr, -1), 0);
  ASSERT_EQ(parse("begin open :c for select empno, ename from emp order by empno; end;"), 0)
      << message(lda, rcOf(cda));
  ASSERT_EQ(obndra(&cda, (text *)":C", -1, (ub1 *)&rows, -1, 102, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  EXPECT_EQ(functionCodeOf(rows), 4);
  std::vector<std::string> names;
  for (int col = 1;; ++col) {
    sb4 dbsize, cbufl = 30, dsize;
    sb2 dbtype, prec, scale, nullok;
    sb1 name[31];
    int rc = odescr(&rows, col, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok);
    if (rc == 1007)
      break;
    ASSERT_EQ(rc, 0) << message(lda, rc);
    names.emplace_back(reinterpret_cast<char *>(name), static_cast<size_t>(cbufl));
  }
  ASSERT_EQ(names, (std::vector<std::string>{"EMPNO", "ENAME"}));
  int empno[5];
  char ename[5][11];
  ub2 elen[5];
  sb2 eind[5];
  ASSERT_EQ(odefin(&rows, 1, (ub1 *)empno, sizeof empno[0], 3, -1, nullptr, nullptr, -1, -1,
                   nullptr, nullptr),
            0);
  ASSERT_EQ(
      odefin(&rows, 2, (ub1 *)ename, sizeof ename[0], 1, -1, eind, nullptr, -1, -1, elen, nullptr),
      0);
  std::string batches;
  uint32_t seen = 0;
  std::string first;
  for (int guard = 0; guard < 10; ++guard) {
    int rc = ofen(&rows, 5);
    ASSERT_TRUE(rc == 0 || rc == 1403) << message(lda, rc);
    uint32_t total = rowsOf(rows);
    if (seen == 0 && total > 0)
      first = std::to_string(empno[0]) + " " + std::string(ename[0], elen[0]);
    batches += std::to_string(total - seen) + " ";
    seen = total;
    if (rc == 1403)
      break;
  }
  EXPECT_EQ(batches, "5 5 4 ");
  EXPECT_EQ(first, "7369 SMITH");
  EXPECT_EQ(ofen(&rows, 5), 1403);
  EXPECT_EQ(oclose(&rows), 0);
}

TEST_F(Binds, RefCursor_OutArgumentOfAStoredProcedureIntoAnUnopenedArea) {
  ASSERT_EQ(exec("create or replace package curs is type c is ref cursor; "
                 "procedure open_dept(r out c, d number); end;"),
            0)
      << lastError;
  ASSERT_EQ(exec("create or replace package body curs is procedure open_dept(r out c, d number) "
                 "is begin open r for select ename from emp where deptno = d order by ename; "
                 "end; end;"),
            0)
      << lastError;
  Cda_Def rows{}; // never opened: the call gives it a cursor
  int dept = 10;
  ASSERT_EQ(parse("begin curs.open_dept(:r, :d); end;"), 0) << message(lda, rcOf(cda));
  ASSERT_EQ(obndra(&cda, (text *)":R", -1, (ub1 *)&rows, -1, 102, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":D", -1, (ub1 *)&dept, sizeof dept, 3, -1, nullptr, nullptr,
                   nullptr, 0, nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  char ename[10][11];
  ub2 elen[10];
  ASSERT_EQ(odefin(&rows, 1, (ub1 *)ename, sizeof ename[0], 1, -1, nullptr, nullptr, -1, -1, elen,
                   nullptr),
            0)
      << message(lda, rcOf(rows));
  EXPECT_EQ(ofen(&rows, 10), 1403);
  ASSERT_EQ(rowsOf(rows), 3u);
  EXPECT_EQ(std::string(ename[1], elen[1]), "KING");
  // Executed again, the same area takes the new cursor in place.
  dept = 20;
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  ASSERT_EQ(odefin(&rows, 1, (ub1 *)ename, sizeof ename[0], 1, -1, nullptr, nullptr, -1, -1, elen,
                   nullptr),
            0);
  EXPECT_EQ(ofen(&rows, 10), 1403);
  EXPECT_EQ(rowsOf(rows), 5u);
  // One the procedure read to its end has no rows left for the caller.
  ASSERT_EQ(exec("create or replace procedure open_read(r out curs.c) is v varchar2(10); begin "
                 "curs.open_dept(r, 10); loop fetch r into v; exit when r%notfound; end loop; "
                 "end;"),
            0)
      << lastError;
  ASSERT_EQ(parse("begin open_read(:r); end;"), 0) << message(lda, rcOf(cda));
  ASSERT_EQ(obndra(&cda, (text *)":R", -1, (ub1 *)&rows, -1, 102, -1, nullptr, nullptr, nullptr, 0,
                   nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(oexn(&cda, 1, 0), 0) << message(lda, rcOf(cda));
  ASSERT_EQ(odefin(&rows, 1, (ub1 *)ename, sizeof ename[0], 1, -1, nullptr, nullptr, -1, -1, elen,
                   nullptr),
            0);
  EXPECT_EQ(ofen(&rows, 10), 1403);
  EXPECT_EQ(rowsOf(rows), 0u);
  EXPECT_EQ(oclose(&rows), 0);
}
