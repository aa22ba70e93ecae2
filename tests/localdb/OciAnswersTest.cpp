// Answers checked against what Oracle gives: pagination with ROWNUM, sums of decimals, DROP
// INDEX, unary plus, nested aggregates, numbers beyond NUMBER's range, format masks.
#include <cstdio>

#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Answers : public Scott {};

std::string names(const std::vector<std::vector<std::string>> &rows) {
  std::string out;
  for (const auto &r : rows)
    out += (out.empty() ? "" : ",") + r[0] + (r.size() > 1 ? "#" + r[1] : "");
  return out;
}

TEST_F(Answers, Rownum_NumberedOncePerRowOfItsOwnBlock) {
  // EMP by salary, ties by number: KING SCOTT FORD JONES BLAKE | CLARK ALLEN TURNER MILLER WARD
  // | MARTIN ADAMS JAMES SMITH.
  const std::string ranked =
      "(SELECT a.*, ROWNUM rn FROM (SELECT ename, sal FROM emp ORDER BY sal DESC, empno) a";
  EXPECT_EQ(names(query("SELECT ename, rn FROM " + ranked + " WHERE ROWNUM <= 10) WHERE rn > 5")),
            "CLARK#6,ALLEN#7,TURNER#8,MILLER#9,WARD#10");
  EXPECT_EQ(names(query("SELECT ename, rn FROM " + ranked + ") WHERE rn BETWEEN 11 AND 15")),
            "MARTIN#11,ADAMS#12,JAMES#13,SMITH#14");
  EXPECT_EQ(names(query("SELECT ename, rn FROM " + ranked + ") WHERE rn = 2 OR rn = 3")),
            "SCOTT#2,FORD#3");
  EXPECT_EQ(value("SELECT COUNT(*) FROM " + ranked + ") WHERE MOD(rn, 2) = 0"), "7");
  EXPECT_EQ(value("SELECT MAX(rn) FROM " + ranked + ") x, dept d WHERE d.deptno = 10"), "14");
}

TEST_F(Answers, Sum_DecimalsAddUpAsTheyRead) {
  ASSERT_EQ(exec("CREATE TABLE items (id NUMBER, unit_price NUMBER(8,2))"), 0);
  // 3,832 prices with two decimals, inserted through one cursor with bound texts.
  Cda_Def cda{};
  oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
  ASSERT_EQ(oparse(&cda, (text *)"INSERT INTO items VALUES (:1, :2)", -1, 1, 2), 0);
  int id = 0;
  char price[32];
  ASSERT_EQ(obndra(&cda, (text *)":1", -1, (ub1 *)&id, sizeof id, 3, -1, nullptr, nullptr, nullptr,
                   0, nullptr, nullptr, -1, -1),
            0);
  ASSERT_EQ(obndra(&cda, (text *)":2", -1, (ub1 *)price, sizeof price, 5, -1, nullptr, nullptr,
                   nullptr, 0, nullptr, nullptr, -1, -1),
            0);
  long long cents = 0;
  for (id = 1; id <= 3832; ++id) {
    int c = (id * 7919) % 10000 + 1; // 0.01 .. 100.00
    cents += c;
    std::snprintf(price, sizeof price, "%d.%02d", c / 100, c % 100);
    ASSERT_EQ(oexn(&cda, 1, 0), 0);
  }
  oclose(&cda);
  char expect[32];
  std::snprintf(expect, sizeof expect, "%lld.%02lld", cents / 100, cents % 100);
  std::string sum = expect;
  while (sum.back() == '0')
    sum.pop_back();
  if (sum.back() == '.')
    sum.pop_back();
  EXPECT_EQ(value("SELECT SUM(unit_price) FROM items"), sum);
  EXPECT_EQ(value("SELECT COUNT(*) FROM items HAVING SUM(unit_price) = " + sum), "3832");
  EXPECT_EQ(value("SELECT SUM(unit_price) - " + sum + " FROM items"), "0");
  // The classic: ten times 0.1.
  ASSERT_EQ(exec("CREATE TABLE tenths (x NUMBER)"), 0);
  for (int i = 0; i < 10; ++i)
    ASSERT_EQ(exec("INSERT INTO tenths VALUES (0.1)"), 0);
  EXPECT_EQ(value("SELECT SUM(x) FROM tenths"), "1");
  EXPECT_EQ(value("SELECT AVG(x) FROM tenths"), ".1");
  EXPECT_EQ(value("SELECT SUM(DISTINCT x) FROM tenths"), ".1");
  // With a cancelling value the binary error of the doubles would be all that is left.
  ASSERT_EQ(exec("INSERT INTO tenths VALUES (-1)"), 0);
  EXPECT_EQ(value("SELECT SUM(x) FROM tenths"), "0");
  EXPECT_EQ(value("SELECT COUNT(*) FROM tenths HAVING SUM(x) = 0"), "11");
  EXPECT_EQ(value("SELECT AVG(x) FROM tenths"), "0");
  EXPECT_EQ(value("SELECT AVG(sal) FROM emp WHERE deptno = 10"),
            "2916.666666666666666666666666666666666667");
  EXPECT_EQ(value("SELECT SUM(sal) FROM emp"), "29025");
  EXPECT_EQ(value("SELECT SUM(comm) FROM emp WHERE comm IS NULL"), "NULL");
}

TEST_F(Answers, DropIndex_Works) {
  ASSERT_EQ(exec("CREATE INDEX emp_job ON emp(job)"), 0) << lastError;
  EXPECT_EQ(exec("DROP INDEX emp_job"), 0) << lastError;
  EXPECT_EQ(value("SELECT COUNT(*) FROM user_indexes WHERE index_name = 'EMP_JOB'"), "0");
  EXPECT_EQ(exec("CREATE INDEX emp_job ON emp(job)"), 0) << lastError;
  EXPECT_EQ(exec("DROP INDEX emp_job2"), 1418);
}

TEST_F(Answers, UnaryPlus_WhereverAnExpressionIs) {
  EXPECT_EQ(value("SELECT COUNT(+44) FROM emp"), "14");
  EXPECT_EQ(value("SELECT MIN(+ sal) FROM emp"), "800");
  EXPECT_EQ(value("SELECT ABS(+-3) FROM dual"), "3");
  // The outer-join mark with blanks is still the mark.
  EXPECT_EQ(value("SELECT COUNT(*) FROM dept d, emp e WHERE d.deptno = e.deptno ( + )"), "15");
}

TEST_F(Answers, NestedAggregates_OverTheGroups) {
  EXPECT_EQ(value("SELECT MAX(AVG(sal)) FROM emp GROUP BY deptno"),
            "2916.666666666666666666666666666666666667");
  EXPECT_EQ(value("SELECT MIN(SUM(sal)) FROM emp GROUP BY deptno"), "8750");
  EXPECT_EQ(value("SELECT COUNT(COUNT(*)) FROM emp GROUP BY job"), "5");
  // Without GROUP BY a nested aggregate is still an error, as is a third level.
  EXPECT_EQ(value("SELECT MAX(AVG(sal)) FROM emp").rfind("ERROR: ORA-00978", 0), 0u);
  EXPECT_EQ(
      value("SELECT MAX(MIN(AVG(sal))) FROM emp GROUP BY deptno").rfind("ERROR: ORA-00935", 0), 0u);
}

TEST_F(Answers, Numbers_BeyondTheRangeOverflow) {
  const std::string big(100000, '9');
  for (std::string q : {"SELECT " + big + " FROM dual", std::string("SELECT 1e999999999 FROM dual"),
                        std::string("SELECT 1e100 * 1e100 FROM dual"),
                        std::string("SELECT TO_NUMBER('1e200') FROM dual")})
    EXPECT_EQ(value(q).substr(0, 16), "ERROR: ORA-01426") << q.substr(0, 40);
  ASSERT_EQ(exec("CREATE TABLE big (x NUMBER)"), 0);
  EXPECT_EQ(exec("INSERT INTO big VALUES (1e200)"), 1426);
  EXPECT_EQ(exec("INSERT INTO big VALUES (9.99e125)"), 0) << lastError;
  EXPECT_EQ(value("SELECT COUNT(*) FROM big"), "1");
  EXPECT_EQ(value("SELECT 1e-200 FROM dual"), "0");
}

} // namespace
