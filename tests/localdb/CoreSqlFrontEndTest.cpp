// Below the contract: lexer, parser, binder and emitter, each on its own.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/KeptStatements.h"
#include "localdb/server/Seed.h"
#include "localdb/sql/LiteralShape.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlLexer.h"
#include "localdb/sql/SqlParser.h"

using namespace localdb;

namespace {

int errorOffset(const std::string &sql, int *code = nullptr) {
  try {
    parseStatement(sql);
  } catch (const OraError &e) {
    if (code)
      *code = e.code;
    return e.offset;
  }
  return -2;
}

} // namespace

TEST(SqlLexer, TokensCarryKindsAndOffsets) {
  auto t = tokenize("select a.\"Mixed\", 'it''s', 1.5e3, :Name, x(+) -- c\n||/* c */<>!=");
  std::vector<std::pair<Tok, std::string>> want = {
      {Tok::Ident, "SELECT"}, {Tok::Ident, "A"},     {Tok::Op, "."},  {Tok::QuotedIdent, "Mixed"},
      {Tok::Op, ","},         {Tok::String, "it's"}, {Tok::Op, ","},  {Tok::Number, "1.5e3"},
      {Tok::Op, ","},         {Tok::Bind, "NAME"},   {Tok::Op, ","},  {Tok::Ident, "X"},
      {Tok::Op, "(+)"},       {Tok::Op, "||"},       {Tok::Op, "<>"}, {Tok::Op, "<>"},
      {Tok::End, ""}};
  ASSERT_EQ(t.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(t[i].kind, want[i].first) << i;
    EXPECT_EQ(t[i].text, want[i].second) << i;
  }
  EXPECT_EQ(t[1].pos, 7);
  EXPECT_EQ(t[5].pos, 18);
  // Errors carry their offset.
  try {
    tokenize("select 'open");
    FAIL();
  } catch (const OraError &e) {
    EXPECT_EQ(e.code, 1756);
    EXPECT_EQ(e.offset, 7);
  }
  try {
    tokenize("select a # b");
    FAIL();
  } catch (const OraError &e) {
    EXPECT_EQ(e.code, 911);
    EXPECT_EQ(e.offset, 9);
  }
  try {
    tokenize("select /* never closed");
    FAIL();
  } catch (const OraError &e) {
    EXPECT_EQ(e.code, 1742);
  }
}

TEST(SqlParser, BuildsTheTree) {
  auto s = parseStatement("select distinct e.ename n, sal*2 from scott.emp e where sal > 1 and "
                          "deptno in (10, 20) group by ename having count(*) > 1 order by 2 desc");
  ASSERT_EQ(s->kind, StmtKind::Select);
  Select &q = *static_cast<SelectStmt &>(*s).query;
  ASSERT_TRUE(q.block);
  EXPECT_TRUE(q.block->distinct);
  ASSERT_EQ(q.block->items.size(), 2u);
  EXPECT_EQ(q.block->items[0].name, "N");
  EXPECT_EQ(q.block->items[1].name, "SAL*2");
  EXPECT_EQ(q.block->from[0].name, (std::vector<std::string>{"SCOTT", "EMP"}));
  EXPECT_EQ(q.block->from[0].alias, "E");
  EXPECT_EQ(q.block->where->kind, ExprKind::And);
  EXPECT_EQ(q.block->groupBy.size(), 1u);
  ASSERT_EQ(q.orderBy.size(), 1u);
  EXPECT_TRUE(q.orderBy[0].desc);

  auto u = parseStatement("select a from t union all select b from u minus select c from v");
  Select &uq = *static_cast<SelectStmt &>(*u).query;
  EXPECT_EQ(uq.setOp, "MINUS");
  EXPECT_EQ(uq.left->setOp, "UNION ALL");

  auto c = parseStatement("create table t (a number(5,2) constraint pk primary key, b varchar2(10) "
                          "default 'x' not null, c date, constraint ck check (a > 0)) pctfree 10 "
                          "storage (initial 10k next 10k) tablespace users");
  auto &ct = static_cast<CreateTableStmt &>(*c);
  ASSERT_EQ(ct.columns.size(), 3u);
  EXPECT_EQ(ct.columns[0].info.precision, 5);
  EXPECT_EQ(ct.columns[0].info.scale, 2);
  EXPECT_EQ(ct.columns[0].constraints[0].type, 'P');
  EXPECT_EQ(ct.columns[1].defaultText, "'x'");
  EXPECT_EQ(ct.constraints[0].checkText, "a > 0");
}

TEST(SqlParser, SyntaxErrorsPointAtTheOffendingToken) {
  int code = 0;
  EXPECT_EQ(errorOffset("selec * from dual", &code), 0);
  EXPECT_EQ(code, 900);
  EXPECT_EQ(errorOffset("select a b c from t", &code), 11);
  EXPECT_EQ(code, 923);
  EXPECT_EQ(errorOffset("select a from t where", &code), 21);
  EXPECT_EQ(code, 936);
  EXPECT_EQ(errorOffset("select (a from t", &code), 10);
  EXPECT_EQ(code, 907);
  EXPECT_EQ(errorOffset("select a from t t2 t3", &code), 19);
  EXPECT_EQ(code, 933);
  EXPECT_EQ(errorOffset("select a from t;", &code), 15);
  EXPECT_EQ(code, 911);
  EXPECT_EQ(errorOffset("create tabel t (a number)", &code), 7);
  EXPECT_EQ(code, 901);
  EXPECT_EQ(errorOffset("insert emp values (1)", &code), 7);
  EXPECT_EQ(code, 925);
  EXPECT_EQ(errorOffset("update emp sal = 1", &code), 15);
  EXPECT_EQ(code, 971);
  EXPECT_EQ(errorOffset("create table t (a varchar2)", &code), 26);
  EXPECT_EQ(code, 906);
  EXPECT_EQ(errorOffset("create table t (a money)", &code), 18);
  EXPECT_EQ(code, 902);
  EXPECT_EQ(errorOffset("drop thing x", &code), 5);
  EXPECT_EQ(code, 950);
}

TEST(SqlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string deep(100000, '(');
  int code = 0;
  int off = errorOffset("select " + deep + "1" + std::string(100000, ')') + " from dual", &code);
  EXPECT_EQ(code, 3001);
  EXPECT_GT(off, 0);
  std::string nots;
  for (int i = 0; i < 50000; ++i)
    nots += "not ";
  errorOffset("select 1 from dual where " + nots + "1 = 1", &code);
  EXPECT_EQ(code, 3001);
  // Moderate nesting still works.
  EXPECT_EQ(
      errorOffset("select " + std::string(50, '(') + "1" + std::string(50, ')') + " from dual"),
      -2);
}

namespace {

// A server in memory with the seed, for binder and emitter tests.
struct MemoryServer {
  sqlite3 *db = nullptr;
  MemoryServer() {
    sqlite3_open(":memory:", &db);
    execSql(db, "BEGIN");
    seedServer(db);
    execSql(db, "COMMIT");
  }
  ~MemoryServer() {
    releaseKeptStatements(db); // the catalog look-ups the binder kept on this connection
    sqlite3_close(db);
  }
  bool modern = false; // the later language level's functions too
  std::string emit(const std::string &sql) {
    auto s = parseStatement(sql);
    Binder b(db, "SCOTT");
    b.setModern(modern);
    Select &q = *static_cast<SelectStmt &>(*s).query;
    b.bindQuery(q);
    Emitter e(b.bindNames(), "SCOTT");
    return e.select(q);
  }
  int bindError(const std::string &sql, int *offset = nullptr) {
    try {
      emit(sql);
    } catch (const OraError &e) {
      if (offset)
        *offset = e.offset;
      return e.code;
    }
    return 0;
  }
};

} // namespace

TEST(SqlBinder, ResolvesNamesAndTypes) {
  MemoryServer m;
  auto s = parseStatement("select e.empno, ename, hiredate, sal/2, 'x', e.rowid from emp e");
  Binder b(m.db, "SCOTT");
  Select &q = *static_cast<SelectStmt &>(*s).query;
  b.bindQuery(q);
  ASSERT_EQ(q.columns.size(), 6u);
  EXPECT_EQ(q.columns[0]->expr->type.type, SqlType::Number);
  EXPECT_EQ(q.columns[0]->expr->type.precision, 4);
  EXPECT_FALSE(q.columns[0]->expr->type.nullable);
  EXPECT_EQ(q.columns[1]->expr->type.type, SqlType::Varchar2);
  EXPECT_EQ(q.columns[1]->expr->type.length, 10);
  EXPECT_EQ(q.columns[2]->expr->type.type, SqlType::Date);
  EXPECT_EQ(q.columns[3]->expr->type.type, SqlType::Number);
  EXPECT_EQ(q.columns[4]->expr->type.type, SqlType::Char);
  EXPECT_EQ(q.columns[5]->expr->type.type, SqlType::Rowid);
  // Public synonyms reach the dictionary; schema-qualified names work.
  EXPECT_EQ(m.bindError("select * from user_objects"), 0);
  EXPECT_EQ(m.bindError("select * from scott.dept"), 0);
  int off = 0;
  EXPECT_EQ(m.bindError("select nosuch from emp", &off), 904);
  EXPECT_EQ(off, 7);
  EXPECT_EQ(m.bindError("select * from nosuch", &off), 942);
  EXPECT_EQ(off, 14);
  EXPECT_EQ(m.bindError("select deptno from emp, dept", &off), 918);
  EXPECT_EQ(m.bindError("select ename, count(*) from emp", &off), 937);
  EXPECT_EQ(m.bindError("select job, ename from emp group by job", &off), 979);
  EXPECT_EQ(off, 12);
  EXPECT_EQ(m.bindError("select hiredate * 2 from emp"), 932);
  EXPECT_EQ(m.bindError("select hiredate + hiredate from emp"), 975);
  EXPECT_EQ(m.bindError("select 1 from emp a, dept b where a.deptno(+) = b.deptno(+)"), 1468);
  EXPECT_EQ(m.bindError("select 1 from emp where sal > 1 or comm(+) = 1"), 1719);
  EXPECT_EQ(m.bindError("select upper(1,2) from dual"), 909);
  EXPECT_EQ(m.bindError("select frob(1) from dual"), 904);
  EXPECT_EQ(m.bindError("select 1 from dual where count(*) > 1"), 934);
  EXPECT_EQ(m.bindError("select deptno from emp union select dname from dept"), 1790);
  EXPECT_EQ(m.bindError("select deptno from emp union select deptno, 1 from dept"), 1789);
  EXPECT_EQ(m.bindError("select distinct ename from emp order by sal"), 1791);
  EXPECT_EQ(m.bindError("select ename from emp order by 3"), 1785);
}

// Every SQL function with the numbers of arguments Oracle takes (ORA-00909 outside them);
// group functions make a select list with a plain column ORA-00937.
TEST(SqlBinder, FunctionsTakeOraclesNumberOfArguments) {
  MemoryServer m;
  struct Fn {
    const char *name;
    int min, max;
    bool group = false;
  } const fns[] = {
      {"NVL", 2, 2},
      {"DECODE", 3, 255},
      {"TO_CHAR", 1, 3},
      {"TO_DATE", 1, 3},
      {"TO_NUMBER", 1, 3},
      {"SUBSTR", 2, 3},
      {"INSTR", 2, 4},
      {"LENGTH", 1, 1},
      {"UPPER", 1, 1},
      {"LOWER", 1, 1},
      {"INITCAP", 1, 1},
      {"LTRIM", 1, 2},
      {"RTRIM", 1, 2},
      {"LPAD", 2, 3},
      {"RPAD", 2, 3},
      {"REPLACE", 2, 3},
      {"TRANSLATE", 3, 3},
      {"ROUND", 1, 2},
      {"TRUNC", 1, 2},
      {"MOD", 2, 2},
      {"ABS", 1, 1},
      {"SIGN", 1, 1},
      {"CEIL", 1, 1},
      {"FLOOR", 1, 1},
      {"POWER", 2, 2},
      {"SQRT", 1, 1},
      {"EXP", 1, 1},
      {"LN", 1, 1},
      {"LOG", 2, 2},
      {"SIN", 1, 1},
      {"COS", 1, 1},
      {"TAN", 1, 1},
      {"SINH", 1, 1},
      {"COSH", 1, 1},
      {"TANH", 1, 1},
      {"GREATEST", 1, 255},
      {"LEAST", 1, 255},
      {"ADD_MONTHS", 2, 2},
      {"MONTHS_BETWEEN", 2, 2},
      {"LAST_DAY", 1, 1},
      {"NEXT_DAY", 2, 2},
      {"ASCII", 1, 1},
      {"CHR", 1, 1},
      {"CONCAT", 2, 2},
      {"SOUNDEX", 1, 1},
      {"VSIZE", 1, 1},
      {"USERENV", 1, 1},
      {"HEXTORAW", 1, 1},
      {"RAWTOHEX", 1, 1},
      {"ROWIDTOCHAR", 1, 1},
      {"CHARTOROWID", 1, 1},
      {"NLS_UPPER", 1, 2},
      {"NLS_LOWER", 1, 2},
      {"NLS_INITCAP", 1, 2},
      {"COUNT", 1, 1, true},
      {"SUM", 1, 1, true},
      {"AVG", 1, 1, true},
      {"MIN", 1, 1, true},
      {"MAX", 1, 1, true},
      {"STDDEV", 1, 1, true},
      {"VARIANCE", 1, 1, true},
      {"ACOS", 1, 1},
      {"ASIN", 1, 1},
      {"ATAN", 1, 1},
      {"ATAN2", 2, 2},
      {"SUBSTRB", 2, 3},
      {"LENGTHB", 1, 1},
      {"INSTRB", 2, 4},
      {"NLSSORT", 1, 2},
      {"NEW_TIME", 3, 3},
      {"CONVERT", 2, 3},
      {"TO_MULTI_BYTE", 1, 1},
      {"TO_SINGLE_BYTE", 1, 1},
      {"DUMP", 1, 4},
  };
  for (const Fn &f : fns)
    for (int n : {f.min - 1, f.min, f.max, f.max + 1}) {
      std::string sql = std::string("select ename, ") + f.name + "(";
      for (int i = 0; i < n; ++i)
        sql += i ? ", '1'" : "'1'";
      sql += ") from emp";
      int want = n < f.min || n > f.max ? 909 : f.group ? 937 : 0;
      EXPECT_EQ(m.bindError(sql), want) << f.name << " with " << n;
    }
  // The later level's functions: unknown at 7.3; analytic ones only with OVER.
  const Fn later[] = {{"COALESCE", 2, 255},
                      {"NULLIF", 2, 2},
                      {"NVL2", 3, 3},
                      {"SYS_CONTEXT", 2, 3},
                      {"ROW_NUMBER", 0, 0, true},
                      {"RANK", 0, 0, true},
                      {"DENSE_RANK", 0, 0, true},
                      {"NTILE", 1, 1, true},
                      {"LAG", 1, 3, true},
                      {"LEAD", 1, 3, true},
                      {"FIRST_VALUE", 1, 1, true},
                      {"LAST_VALUE", 1, 1, true}};
  for (const Fn &f : later) {
    auto call = [&](int n, const char *over) {
      std::string sql = std::string("select ename, ") + f.name + "(";
      for (int i = 0; i < n; ++i)
        sql += i ? ", '1'" : "'1'";
      return sql + ")" + over + " from emp";
    };
    m.modern = false;
    EXPECT_EQ(m.bindError(call(f.min, f.group ? " over (order by ename)" : "")), 904) << f.name;
    m.modern = true;
    for (int n : {f.min - 1, f.min, f.max, f.max + 1}) {
      if (n < 0)
        continue;
      int want = n < f.min || n > f.max ? 909 : 0;
      EXPECT_EQ(m.bindError(call(n, f.group ? " over (order by ename)" : "")), want)
          << f.name << " with " << n;
    }
    if (f.group) {
      EXPECT_EQ(m.bindError(call(f.min, "")), 30484) << f.name;
    }
  }
}

TEST(SqlEmitter, ConversionsJoinsAndOrderingAreExplicit) {
  MemoryServer m;
  std::string s = m.emit("select ename from emp where deptno = '10' and hiredate > '01-JAN-81'");
  EXPECT_NE(s.find("t1.\"DEPTNO\" = 10"), std::string::npos) << s;
  EXPECT_NE(s.find("ora_date('01-JAN-81')"), std::string::npos) << s;
  s = m.emit("select e.ename, d.dname from emp e, dept d where e.deptno(+) = d.deptno");
  EXPECT_NE(s.find("FROM \"SCOTT.DEPT\" AS t2 LEFT JOIN \"SCOTT.EMP\" AS t1 ON"), std::string::npos)
      << s;
  s = m.emit("select ename from emp order by sal desc, ename");
  EXPECT_NE(s.find("DESC NULLS FIRST"), std::string::npos) << s;
  EXPECT_NE(s.find("NULLS LAST"), std::string::npos) << s;
  s = m.emit("select sal / 2, ename || job from emp where rownum <= 5");
  EXPECT_NE(s.find("ora_div("), std::string::npos) << s;
  EXPECT_NE(s.find("ora_concat("), std::string::npos) << s;
  EXPECT_NE(s.find("LIMIT ora_rownum_limit('<=',5)"), std::string::npos) << s;
  s = m.emit("select ename from emp where sal = (select max(sal) from emp)");
  EXPECT_NE(s.find("ora_error(1427)"), std::string::npos) << s;
  s = m.emit("select ename from emp where ename = :Name and sal > :1");
  EXPECT_NE(s.find("= ?1"), std::string::npos) << s;
  EXPECT_NE(s.find("ora_num(?2)"), std::string::npos) << s;
}

TEST(LiteralShape, TextsThatDifferOnlyInTheirLiteralsShareAKey) {
  std::string k1, k2;
  std::vector<ShapeLiteral> l1, l2;
  ASSERT_TRUE(literalShape("INSERT INTO t VALUES (1, 'a''b', 2.50, :x, f(3), -4)", true, k1, l1));
  ASSERT_TRUE(literalShape("INSERT INTO t VALUES (77, 'zz', 1.5, :x, f(1E3), -0)", true, k2, l2));
  EXPECT_EQ(k1, k2);
  // Every literal, wherever it stands; a sign and a bind stay in the key.
  EXPECT_EQ(k1, "\x01INSERT INTO t VALUES (\x01N, \x01S, \x01"
                "D, :x, f(\x01N), -\x01N)");
  ASSERT_EQ(l1.size(), 5u);
  EXPECT_TRUE(l1[0].number);
  EXPECT_EQ(l1[0].text, "1");
  EXPECT_EQ(l1[0].pos, 22);
  EXPECT_FALSE(l1[1].number);
  EXPECT_EQ(l1[1].text, "a'b");
  EXPECT_EQ(l1[2].text, "2.50");
  EXPECT_EQ(l2[3].text, "1E3");
  EXPECT_EQ(l2[3].value.i, 1000);
  std::string other;
  // A string where a number was, a whole number where a fraction was, or an empty string
  // (NULL), makes another shape.
  ASSERT_TRUE(literalShape("INSERT INTO t VALUES ('1', 'a', 2.5, :x, f(3), -4)", true, other, l2));
  EXPECT_NE(other, k1);
  ASSERT_TRUE(literalShape("INSERT INTO t VALUES (1, 'a', 2, :x, f(3), -4)", true, other, l2));
  EXPECT_NE(other, k1);
  ASSERT_TRUE(literalShape("INSERT INTO t VALUES (1, '', 2.5, :x, f(3), -4)", true, other, l2));
  EXPECT_NE(other, k1);
  EXPECT_EQ(l2.size(), 4u);
  // The key never compiles as a statement by itself, and a \x01 of a text (in a quoted name)
  // is no marker.
  ASSERT_TRUE(literalShape("select \"\x01N\" from t where a = 1", true, k1, l1));
  EXPECT_EQ(k1, "\x01select \"\x01\x01N\" from t where a = \x01N");
  // Queries, updates and deletes too, read at the language level given.
  ASSERT_TRUE(literalShape("update t set d = to_date('17-06-1987', 'dd-MM-yyyy') where id = 5",
                           true, k1, l1));
  EXPECT_EQ(k1, "\x01update t set d = to_date(\x01S, \x01S) where id = \x01N");
  ASSERT_TRUE(literalShape("delete from t where id = 5", true, k1, l1));
  ASSERT_TRUE(literalShape("with w as (select 1 x from dual) select x from w", true, k1, l1));
  ASSERT_TRUE(literalShape("select q'[it's]' from dual", true, k1, l1));
  EXPECT_EQ(l1[0].text, "it's");
  ASSERT_TRUE(literalShape("select q'[a]' from dual", false, k2, l2));
  EXPECT_EQ(l2[0].text, "[a]");
  // No shape: other statements, no literal, text that does not lex, a literal compiling in place
  // refuses (it is reported where it stands).
  EXPECT_FALSE(literalShape("create table t (a number(5))", true, k1, l1));
  EXPECT_FALSE(literalShape("begin f(1); end;", true, k1, l1));
  EXPECT_FALSE(literalShape("insert into t values (:a, :b)", true, k1, l1));
  EXPECT_FALSE(literalShape("insert into t values ('unterminated)", true, k1, l1));
  EXPECT_FALSE(literalShape("insertinto t values (1)", true, k1, l1));
  EXPECT_FALSE(literalShape("select 1e200 from dual", true, k1, l1));
  EXPECT_FALSE(literalShape("select '" + std::string(2001, 'x') + "' from dual", true, k1, l1));
  EXPECT_TRUE(l1.empty());
}

// Only literals that are values and nothing else become parameters: a literal the binder reads
// (a position, a select list's names and sizes, a length, a trim set) or that the parser makes
// part of the syntax (a type's size, a window frame) keeps the text to itself.
TEST(LiteralShape, OnlyValuesBecomeParameters) {
  MemoryServer m;
  auto shaped = [&](const std::string &sql) {
    std::string key;
    std::vector<ShapeLiteral> literals;
    EXPECT_TRUE(literalShape(sql, true, key, literals)) << sql;
    auto s = parseStatement(sql);
    Binder b(m.db, "SCOTT");
    Emitter e(b.bindNames(), "SCOTT");
    auto values = [&] {
      if (!literalsAreValues(literals, s->literals, b.readLiterals()))
        return false;
      e.setLiteralParams(&literals);
      return true;
    };
    if (s->kind == StmtKind::Select) {
      Select &q = *static_cast<SelectStmt &>(*s).query;
      b.bindQuery(q);
      return values() ? e.select(q) : std::string();
    }
    auto &up = static_cast<UpdateStmt &>(*s);
    b.bindUpdate(up);
    return values() ? e.update(up) : std::string();
  };
  std::string sql = shaped("update emp set hiredate = to_date('1987-06-17', 'YYYY-MM-DD'), "
                           "sal = nvl(sal, 0) * 1.5 where empno = 7369 and ename like 'S%'");
  EXPECT_NE(sql.find("?1"), std::string::npos) << sql;
  EXPECT_NE(sql.find("?6"), std::string::npos) << sql;
  EXPECT_EQ(sql.find("1987"), std::string::npos) << sql;
  EXPECT_EQ(sql.find("7369"), std::string::npos) << sql;
  sql = shaped("select count(*) from emp where sal > 1000 and rownum < 3 group by "
               "substr(ename, 1, 1) having count(*) > 1 order by count(*) + 1");
  EXPECT_NE(sql.find("?6"), std::string::npos) << sql;
  for (const char *kept : {
           "select ename from emp order by 1",
           "select 'a' from dual",
           "select count(*) from emp group by substr(ename, 1, 1) order by substr(ename, 1, 1)",
           "select count(*) from emp where trim('S' from ename) = 'MITH'",
           "select count(*) from emp where lpad(ename, 6) = ' SMITH'",
           "select count(*) from emp where cast(sal as varchar2(4)) = '5000'",
           "select ename from emp order by sum(sal) over (order by empno rows 1 preceding)",
           "select ename from emp where sal > (select 1000 from dual)",
           "select ename, sal + 1 from emp order by sal + 1",
       })
    EXPECT_EQ(shaped(kept), "") << kept;
}
