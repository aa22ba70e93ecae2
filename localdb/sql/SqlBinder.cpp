// The binder: names to catalog objects and columns, types, Oracle's semantic checks.
#include "localdb/sql/SqlBinder.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "localdb/catalog/KeptStatements.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlParser.h"

namespace localdb {

struct Scope {
  Scope *parent = nullptr;
  QueryBlock *block = nullptr;
  std::vector<BoundTable *> tables;
  int depth = 0;
  // Columns of JOIN ... USING / NATURAL JOIN: one column of the join, named without a table.
  std::set<std::string> usingColumns;
};

namespace {

[[noreturn]] void fail(int code, int pos) { throw oraError(code, pos); }

// A LOB where values are ordered, grouped or compared: Oracle names the type it got.
void refuseLob(SqlType t, int pos) {
  if (isLob(t))
    throw oraErrorText(932,
                       std::string("inconsistent datatypes: expected - got ") +
                           (t == SqlType::Clob ? "CLOB" : "BLOB"),
                       pos);
}

TypeInfo typeOf(SqlType t, int length = 0) {
  TypeInfo ti;
  ti.type = t;
  ti.length = length;
  return ti;
}

TypeInfo typeOfColumn(const ColumnInfo &c) {
  TypeInfo t;
  t.type = c.type;
  t.length = c.length;
  t.precision = c.precision;
  t.scale = c.scale;
  t.nullable = c.nullable;
  return t;
}

// Characters a value of a type needs as text.
int textLength(const TypeInfo &t) {
  switch (t.type) {
  case SqlType::Varchar2:
  case SqlType::Char:
    return t.length ? t.length : 2000;
  case SqlType::Number:
    return 40;
  case SqlType::Date:
    return 9;
  case SqlType::Raw:
    return 2 * t.length;
  case SqlType::Rowid:
    return 18;
  case SqlType::Unknown:
    return 0;
  case SqlType::Clob:
    return 4000;
  case SqlType::Timestamp:
  case SqlType::TimestampTz:
  case SqlType::TimestampLtz:
  case SqlType::IntervalYM:
  case SqlType::IntervalDS: {
    ColumnInfo c;
    c.type = t.type;
    c.precision = t.precision < 0 ? 9 : t.precision;
    c.scale = t.scale == kNoScale ? 9 : t.scale;
    return displaySize(c);
  }
  default:
    return 2000;
  }
}

struct FnSpec {
  const char *name;
  int minArgs, maxArgs;
  bool aggregate;
  bool modern = false;   // added after Oracle 7.3: known only at a later language level
  bool analytic = false; // only with OVER (...)
};

const FnSpec kFunctions[] = {
    {"NVL", 2, 2, false},
    {"DECODE", 3, 255, false},
    {"TO_CHAR", 1, 3, false},
    {"TO_DATE", 1, 3, false},
    {"TO_NUMBER", 1, 3, false},
    {"SUBSTR", 2, 3, false},
    {"INSTR", 2, 4, false},
    {"LENGTH", 1, 1, false},
    {"UPPER", 1, 1, false},
    {"LOWER", 1, 1, false},
    {"INITCAP", 1, 1, false},
    {"LTRIM", 1, 2, false},
    {"RTRIM", 1, 2, false},
    {"LPAD", 2, 3, false},
    {"RPAD", 2, 3, false},
    {"REPLACE", 2, 3, false},
    {"TRANSLATE", 3, 3, false},
    {"ROUND", 1, 2, false},
    {"TRUNC", 1, 2, false},
    {"MOD", 2, 2, false},
    {"ABS", 1, 1, false},
    {"SIGN", 1, 1, false},
    {"CEIL", 1, 1, false},
    {"FLOOR", 1, 1, false},
    {"POWER", 2, 2, false},
    {"SQRT", 1, 1, false},
    {"EXP", 1, 1, false},
    {"LN", 1, 1, false},
    {"LOG", 2, 2, false},
    {"SIN", 1, 1, false},
    {"COS", 1, 1, false},
    {"TAN", 1, 1, false},
    {"SINH", 1, 1, false},
    {"COSH", 1, 1, false},
    {"TANH", 1, 1, false},
    {"GREATEST", 1, 255, false},
    {"LEAST", 1, 255, false},
    {"ADD_MONTHS", 2, 2, false},
    {"MONTHS_BETWEEN", 2, 2, false},
    {"LAST_DAY", 1, 1, false},
    {"NEXT_DAY", 2, 2, false},
    {"ASCII", 1, 1, false},
    {"CHR", 1, 1, false},
    {"CONCAT", 2, 2, false},
    {"SOUNDEX", 1, 1, false},
    {"VSIZE", 1, 1, false},
    {"USERENV", 1, 1, false},
    {"HEXTORAW", 1, 1, false},
    {"RAWTOHEX", 1, 1, false},
    {"ROWIDTOCHAR", 1, 1, false},
    {"CHARTOROWID", 1, 1, false},
    {"NLS_UPPER", 1, 2, false},
    {"NLS_LOWER", 1, 2, false},
    {"NLS_INITCAP", 1, 2, false},
    {"COUNT", 0, 1, true},
    {"SUM", 1, 1, true},
    {"AVG", 1, 1, true},
    {"MIN", 1, 1, true},
    {"MAX", 1, 1, true},
    {"STDDEV", 1, 1, true},
    {"VARIANCE", 1, 1, true},
    // Single-byte character set: the byte variants are the plain functions.
    {"ACOS", 1, 1, false},
    {"ASIN", 1, 1, false},
    {"ATAN", 1, 1, false},
    {"ATAN2", 2, 2, false},
    {"SUBSTRB", 2, 3, false},
    {"LENGTHB", 1, 1, false},
    {"INSTRB", 2, 4, false},
    {"NLSSORT", 1, 2, false},
    {"NEW_TIME", 3, 3, false},
    {"CONVERT", 2, 3, false},
    {"TO_MULTI_BYTE", 1, 1, false},
    {"TO_SINGLE_BYTE", 1, 1, false},
    {"DUMP", 1, 4, false},
    {"COALESCE", 2, 255, false, true},
    {"NULLIF", 2, 2, false, true},
    {"NVL2", 3, 3, false, true},
    {"TRIM", 1, 2, false, true},
    {"EXTRACT", 1, 1, false, true},
    {"SYS_CONTEXT", 2, 3, false, true},
    {"REGEXP_LIKE", 2, 3, false, true},
    {"REGEXP_COUNT", 2, 4, false, true},
    {"REGEXP_SUBSTR", 2, 6, false, true},
    {"REGEXP_INSTR", 2, 7, false, true},
    {"REGEXP_REPLACE", 2, 6, false, true},
    {"SYS_GUID", 0, 0, false, true},
    {"ORA_HASH", 1, 3, false, true},
    {"LISTAGG", 1, 2, true, true},
    {"GROUPING", 1, 1, false, true},
    {"GROUPING_ID", 1, 255, false, true},
    {"GROUP_ID", 0, 0, false, true},
    {"TO_CLOB", 1, 1, false, true},
    {"TO_NCLOB", 1, 1, false, true},
    {"TO_BLOB", 1, 1, false, true},
    {"EMPTY_CLOB", 0, 0, false, true},
    {"EMPTY_BLOB", 0, 0, false, true},
    {"ROW_NUMBER", 0, 0, false, true, true},
    {"RANK", 0, 0, false, true, true},
    {"DENSE_RANK", 0, 0, false, true, true},
    {"NTILE", 1, 1, false, true, true},
    {"LAG", 1, 3, false, true, true},
    {"LEAD", 1, 3, false, true, true},
    {"FIRST_VALUE", 1, 1, false, true, true},
    {"LAST_VALUE", 1, 1, false, true, true},
    {"SYSTIMESTAMP", 0, 0, false, true},
    {"LOCALTIMESTAMP", 0, 0, false, true},
    {"TO_TIMESTAMP", 1, 3, false, true},
    {"TO_TIMESTAMP_TZ", 1, 3, false, true},
    {"TO_DSINTERVAL", 1, 2, false, true},
    {"TO_YMINTERVAL", 1, 1, false, true},
    {"NUMTODSINTERVAL", 2, 2, false, true},
    {"NUMTOYMINTERVAL", 2, 2, false, true},
    {"SYS_EXTRACT_UTC", 1, 1, false, true},
    {"FROM_TZ", 2, 2, false, true},
};

// The type code DUMP shows for a value of type t (Oracle 7's internal ROWID is 69).
int dumpTypeCode(SqlType t) {
  return t == SqlType::Rowid     ? 69
         : t == SqlType::Unknown ? static_cast<int>(SqlType::Varchar2)
                                 : static_cast<int>(t);
}

const FnSpec *findFunction(const std::string &name, bool modern) {
  for (const FnSpec &f : kFunctions)
    if (name == f.name)
      return !f.modern || modern ? &f : nullptr;
  return nullptr;
}

// The type two values are compared as.
SqlType compareType(SqlType a, SqlType b, int pos) {
  auto group = [](SqlType t) {
    if (t == SqlType::Number)
      return 1;
    if (t == SqlType::Date || isTimestampType(t))
      return 2;
    if (isIntervalType(t))
      return 5 + static_cast<int>(t == SqlType::IntervalDS);
    if (t == SqlType::Raw || t == SqlType::LongRaw || t == SqlType::Blob)
      return 3;
    if (t == SqlType::Rowid)
      return 4;
    return 0; // character or unknown
  };
  refuseLob(a, pos);
  refuseLob(b, pos);
  int ga = group(a), gb = group(b);
  if (ga && gb && ga != gb)
    fail(932, pos);
  if (a == SqlType::Long || b == SqlType::Long || a == SqlType::LongRaw || b == SqlType::LongRaw)
    fail(997, pos);
  if (ga == 2 && gb == 2 && a != b) // a DATE compares as a timestamp, anything with a zone in UTC
    return a == SqlType::TimestampTz || b == SqlType::TimestampTz ? SqlType::TimestampTz
                                                                  : SqlType::Timestamp;
  if (ga)
    return a;
  if (gb)
    return b;
  if (a == SqlType::Char && b == SqlType::Char)
    return SqlType::Char;
  return SqlType::Varchar2;
}

void checkConvertible(SqlType from, SqlType to, int pos) {
  if (to == SqlType::Unknown || from == SqlType::Unknown || from == to)
    return;
  bool fromChar = isCharType(from);
  if (fromChar)
    return; // text converts to anything, or fails at run time with the ORA error
  if (isCharType(to))
    return; // anything prints as text
  if (sameTypeGroup(from, to))
    return; // RAW, LONG RAW and BLOB hold the same bytes
  if ((from == SqlType::Date || isTimestampType(from)) &&
      (to == SqlType::Date || isTimestampType(to)))
    return; // one datetime converts to another
  if (from == SqlType::Rowid || to == SqlType::Rowid)
    fail(932, pos);
  fail(932, pos);
}

// Conjuncts of an AND tree.
void conjuncts(Expr *e, std::vector<Expr *> &out) {
  if (e->kind == ExprKind::And) {
    conjuncts(e->args[0].get(), out);
    conjuncts(e->args[1].get(), out);
  } else {
    out.push_back(e);
  }
}

// Tables marked (+) in an expression (subqueries excluded); sets *bad for (+) under OR/IN.
void outerTables(Expr *e, std::set<BoundTable *> &out, bool underOr, int &badPos) {
  if (e->kind == ExprKind::Column && e->outer) {
    if (underOr && badPos < 0)
      badPos = e->pos;
    if (e->table)
      out.insert(e->table);
  }
  bool under =
      underOr || e->kind == ExprKind::Or || (e->kind == ExprKind::In && e->args.size() > 2);
  for (auto &a : e->args)
    outerTables(a.get(), out, under, badPos);
}

void allTables(Expr *e, std::set<BoundTable *> &out, int depth) {
  if (e->kind == ExprKind::Column && e->table && e->depth == depth)
    out.insert(e->table);
  for (auto &a : e->args)
    allTables(a.get(), out, depth);
}

bool containsRownum(const Expr *e) {
  if (e->kind == ExprKind::Pseudo && e->text == "ROWNUM")
    return true;
  for (auto &a : e->args)
    if (containsRownum(a.get()))
      return true;
  return false;
}

Expr *findRownum(Expr *e) {
  if (e->kind == ExprKind::Pseudo && e->text == "ROWNUM")
    return e;
  for (auto &a : e->args)
    if (Expr *r = findRownum(a.get()))
      return r;
  return nullptr;
}

bool containsAggregate(const Expr *e) {
  if (e->aggregate)
    return true;
  for (auto &a : e->args)
    if (containsAggregate(a.get()))
      return true;
  return false;
}

} // namespace

bool isCharType(SqlType t) {
  return t == SqlType::Varchar2 || t == SqlType::Char || t == SqlType::Long || t == SqlType::Clob ||
         t == SqlType::Unknown;
}

bool sameTypeGroup(SqlType a, SqlType b) {
  if (isCharType(a) && isCharType(b))
    return true;
  auto raw = [](SqlType t) {
    return t == SqlType::Raw || t == SqlType::LongRaw || t == SqlType::Blob;
  };
  if (raw(a) && raw(b))
    return true;
  return a == b || a == SqlType::Unknown || b == SqlType::Unknown;
}

bool exprEqual(const Expr &a, const Expr &b, std::vector<int> *read) {
  if (read && a.kind == b.kind && (a.kind == ExprKind::Number || a.kind == ExprKind::String))
    for (const Expr *x : {&a, &b})
      if (x->literal)
        read->push_back(x->pos);
  if (a.kind != b.kind || a.text != b.text || a.text2 != b.text2 || a.negated != b.negated ||
      a.distinct != b.distinct || a.star != b.star || a.caseOperand != b.caseOperand ||
      a.caseElse != b.caseElse || a.over || b.over || a.castTo.type != b.castTo.type ||
      a.castTo.length != b.castTo.length || a.castTo.precision != b.castTo.precision ||
      a.castTo.scale != b.castTo.scale || a.args.size() != b.args.size())
    return false;
  if (a.kind == ExprKind::Column)
    return a.table == b.table && a.column == b.column && a.isRowid == b.isRowid;
  if (a.kind == ExprKind::Function && a.names != b.names)
    return false;
  if (a.kind == ExprKind::Sequence && a.names != b.names)
    return false;
  if (a.query || b.query)
    return false;
  for (size_t i = 0; i < a.args.size(); ++i)
    if (!exprEqual(*a.args[i], *b.args[i], read))
      return false;
  return true;
}

Binder::Binder(sqlite3 *db, std::string user) : FDb(db), FUser(std::move(user)) {
  FSchema.push_back(FUser);
}

// ------------------------------------------------------------------ catalog lookups

std::string Binder::ownerOf(const std::vector<std::string> &name) const {
  return name.size() > 1 ? name[0] : FSchema.back();
}

std::optional<ObjectRef> Binder::findObject(const std::vector<std::string> &nameIn) {
  std::vector<std::string> name = nameIn;
  for (int hop = 0; hop < 16; ++hop) {
    std::string owner = name.size() > 1 ? name[0] : FSchema.back();
    std::string obj = name.back();
    static const char *const kObjectSql =
        "SELECT object_type FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
        "object_type IN ('TABLE','VIEW','SEQUENCE','SYNONYM')";
    sqlite3_stmt *st = keptStatement(FDb, kObjectSql);
    sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, obj.c_str(), -1, SQLITE_TRANSIENT);
    std::string type;
    if (sqlite3_step(st) == SQLITE_ROW)
      type = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
    sqlite3_reset(st);
    std::string synOwner = owner;
    if (type.empty()) {
      if (name.size() > 1)
        return std::nullopt;
      synOwner = "PUBLIC";
    } else if (type != "SYNONYM") {
      return ObjectRef{owner, obj, type};
    }
    st = nullptr;
    sqlite3_prepare_v2(FDb,
                       "SELECT table_owner, table_name FROM ora_synonyms WHERE owner = ?1 AND "
                       "synonym_name = ?2",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, synOwner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, obj.c_str(), -1, SQLITE_TRANSIENT);
    bool found = false;
    if (sqlite3_step(st) == SQLITE_ROW) {
      name = {reinterpret_cast<const char *>(sqlite3_column_text(st, 0)),
              reinterpret_cast<const char *>(sqlite3_column_text(st, 1))};
      found = true;
    }
    sqlite3_finalize(st);
    if (!found)
      return std::nullopt;
  }
  throw oraError(1775);
}

// Privileges are those of the schema the names are resolved in: a view's query runs with its
// owner's rights, whoever uses the view.
ObjectPrivileges Binder::privilegesOn(const std::string &owner, const std::string &name) {
  return objectPrivileges(FDb, FSchema.back(), owner, name);
}

bool Binder::canAccess(const std::string &owner, const std::string &name) {
  return privilegesOn(owner, name).any();
}

void Binder::checkPrivilege(const std::string &owner, const std::string &name,
                            const std::string &privilege, const std::vector<std::string> &columns,
                            int pos) {
  ObjectPrivileges p = privilegesOn(owner, name);
  if (!p.any())
    fail(942, pos);
  if (columns.empty() ? !p.has(privilege) : !p.hasColumns(privilege, columns))
    fail(1031, pos);
}

ObjectRef Binder::resolveTable(const std::vector<std::string> &name, int pos,
                               const char *privilege) {
  auto o = findObject(name);
  if (!o)
    fail(942, pos);
  ObjectPrivileges p = privilegesOn(o->owner, o->name);
  if (!p.any())
    fail(942, pos);
  if (privilege && !p.has(privilege))
    fail(1031, pos);
  FReferences.push_back(Reference{FSchema.back(), *o});
  return *o;
}

std::vector<ColumnInfo> Binder::columnsOf(const std::string &owner, const std::string &name) {
  std::string key = owner + "." + name;
  auto it = FColumnCache.find(key);
  if (it != FColumnCache.end())
    return it->second;
  auto cols = loadColumns(FDb, owner, name);
  FColumnCache[key] = cols;
  return cols;
}

// ------------------------------------------------------------------ queries

void Binder::bindQuery(Select &s) { bindSelect(s, nullptr, true, 0); }

void Binder::bindSubquery(Select &q, Scope *scope, int depth) {
  bindSelect(q, scope, false, depth);
}

void Binder::bindSelect(Select &s, Scope *outer, bool countersAllowed, int depth) {
  for (ExprPtr *n : {&s.offset, &s.fetchFirst})
    if (*n) {
      bindValue(**n, outer, 0); // literals and binds: the rows are not there yet
      checkConvertible((*n)->type.type, SqlType::Number, (*n)->pos);
    }
  if (s.block) {
    bindBlock(*s.block, s, outer, countersAllowed, depth);
    return;
  }
  bindSelect(*s.left, outer, countersAllowed, depth);
  bindSelect(*s.right, outer, countersAllowed, depth);
  if (s.left->columns.size() != s.right->columns.size())
    fail(1789, s.right->pos);
  s.columns = s.left->columns;
  for (size_t i = 0; i < s.columns.size(); ++i) {
    SqlType a = s.left->columns[i]->expr->type.type, b = s.right->columns[i]->expr->type.type;
    if (!sameTypeGroup(a, b))
      fail(1790, s.right->columns[i]->pos);
    if (a == SqlType::Long || b == SqlType::Long)
      fail(997, s.right->columns[i]->pos);
    if (s.setOp != "UNION ALL") { // the others compare rows
      refuseLob(a, s.left->columns[i]->pos);
      refuseLob(b, s.right->columns[i]->pos);
    }
  }
  bindOrderBy(s, nullptr, nullptr);
}

void Binder::bindFrom(QueryBlock &b, Scope &scope, int depth) {
  for (TableRef &ref : b.from) {
    // Views built on views multiply: ten levels that each join the one below twice are a
    // thousand tables. The whole statement gets a budget, checked as it grows.
    if (++FTableRefs > kMaxTableRefs)
      throw oraErrorText(4030,
                         "out of process memory (the statement and its views expand to more than " +
                             std::to_string(kMaxTableRefs) + " tables)",
                         ref.pos);
    auto t = std::make_unique<BoundTable>();
    t->depth = depth;
    t->sqlAlias = newAlias();
    if (ref.collection) {
      // TABLE(f(...)): the rows of a stored function's collection, read from no other table.
      if (ref.collection->kind == ExprKind::Column && !ref.collection->outer)
        ref.collection->kind = ExprKind::Function; // TABLE(pkg.f): a call without arguments
      FCollectionCall = true;
      bindValue(*ref.collection, nullptr, 0);
      FCollectionCall = false;
      if (ref.collection->rowColumns.empty())
        fail(22905, ref.collection->pos);
      t->collection = ref.collection.get();
      t->columns = ref.collection->rowColumns;
      t->alias = ref.alias;
    } else if (ref.query) {
      // Inline views see no tables of the query around them.
      bindSelect(*ref.query, nullptr, true, depth + 1);
      t->query = ref.query.get();
      t->alias = ref.alias;
    } else {
      ObjectRef o = resolveTable(ref.name, ref.pos, "SELECT");
      if (o.type == "SEQUENCE")
        fail(942, ref.pos);
      t->owner = o.owner;
      t->name = o.name;
      t->alias = ref.alias.empty() ? o.name : ref.alias;
      bool expanded = false;
      if (o.type == "VIEW") {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(FDb, "SELECT text FROM ora_views WHERE owner = ?1 AND view_name = ?2",
                           -1, &st, nullptr);
        sqlite3_bind_text(st, 1, o.owner.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, o.name.c_str(), -1, SQLITE_TRANSIENT);
        std::string text;
        bool have = sqlite3_step(st) == SQLITE_ROW;
        if (have)
          text = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
        sqlite3_finalize(st);
        if (have) {
          // A view is its query, bound in its owner's schema.
          if (++FViewDepth > 32)
            throw oraErrorArg(4063, o.owner + "." + o.name, ref.pos);
          std::unique_ptr<Select> q;
          size_t schemas = FSchema.size();
          int viewHeight = FViewHeight;
          try {
            q = parseQuery(text);
            FViewHeight += q->height;
            if (FViewHeight > kMaxExprHeight) {
              FViewsTooTall = true;
              throw oraErrorText(3001,
                                 "unimplemented feature (expression more than " +
                                     std::to_string(kMaxExprHeight) +
                                     " levels deep with its views)",
                                 ref.pos);
            }
            FSchema.push_back(o.owner);
            bindSelect(*q, nullptr, true, depth + 1);
            FSchema.resize(schemas);
          } catch (const OraError &e) {
            FSchema.resize(schemas);
            --FViewDepth;
            FViewHeight = viewHeight;
            // The statement's budgets, not a fault of this view.
            if (e.code == 4030 || FViewsTooTall)
              throw;
            throw oraErrorArg(4063, o.owner + "." + o.name, ref.pos);
          }
          FViewHeight = viewHeight;
          --FViewDepth;
          // The view's own column names replace the query's.
          auto names = columnsOf(o.owner, o.name);
          for (size_t i = 0; i < q->columns.size() && i < names.size(); ++i)
            q->columns[i]->name = names[i].name;
          t->query = q.get();
          FViewQueries.push_back(std::move(q));
          expanded = true;
        }
      }
      if (!expanded) {
        t->physical = true;
        t->isBase = o.type == "TABLE";
        t->columns = columnsOf(o.owner, o.name);
      }
    }
    if (t->query) {
      for (SelectItem *item : t->query->columns) {
        ColumnInfo c;
        c.name = item->name;
        c.type = item->expr->type.type;
        c.length = item->expr->type.length;
        c.precision = item->expr->type.precision;
        c.scale = item->expr->type.scale;
        c.nullable = item->expr->type.nullable;
        t->columns.push_back(c);
      }
    }
    ref.bound = t.get();
    scope.tables.push_back(t.get());
    b.tables.push_back(std::move(t));
  }
}

// Joins written with JOIN: USING and NATURAL compare the columns the two sides share; an inner
// join's condition filters as WHERE does, an outer join's conditions join the optional table as
// (+) would (a RIGHT JOIN makes the one table before it the optional one). (+) may not be mixed
// with them.
void Binder::bindJoins(QueryBlock &b, Scope &scope) {
  std::function<bool(const Expr *)> marked = [&](const Expr *x) {
    if (x->outer)
      return true;
    for (const auto &a : x->args)
      if (marked(a.get()))
        return true;
    return false;
  };
  if (b.where && marked(b.where.get()))
    fail(25156, b.where->pos);
  for (AnsiJoin &j : b.joins) {
    BoundTable *right = scope.tables[j.table];
    // A FULL JOIN is left to SQLite, which joins two tables so; a USING column would have to be
    // either side's.
    if (j.kind == AnsiJoin::Full && (b.from.size() != 2 || j.table != 1))
      throw oraErrorText(3001, "unimplemented feature (FULL OUTER JOIN of more than two tables)",
                         j.pos);
    std::vector<std::string> cols = j.usingCols;
    if (j.natural)
      for (const ColumnInfo &c : right->columns)
        for (size_t k = 0; k < j.table; ++k)
          if (std::any_of(scope.tables[k]->columns.begin(), scope.tables[k]->columns.end(),
                          [&](const ColumnInfo &x) { return x.name == c.name; })) {
            cols.push_back(c.name);
            break;
          }
    for (const std::string &col : cols) {
      auto column = [&](BoundTable *t) -> ExprPtr {
        for (const ColumnInfo &c : t->columns)
          if (c.name == col) {
            auto x = std::make_unique<Expr>();
            x->kind = ExprKind::Column;
            x->pos = j.pos;
            x->names = {col};
            x->table = t;
            x->column = col;
            x->depth = scope.depth;
            x->type = typeOfColumn(c);
            return x;
          }
        return nullptr;
      };
      ExprPtr l;
      for (size_t k = 0; k < j.table && !l; ++k)
        l = column(scope.tables[k]);
      ExprPtr r = column(right);
      if (!l || !r)
        fail(904, j.pos);
      auto eq = std::make_unique<Expr>();
      eq->kind = ExprKind::Compare;
      eq->pos = j.pos;
      eq->text = "=";
      eq->argTargets.assign(2, compareType(l->type.type, r->type.type, j.pos));
      eq->isCondition = true;
      eq->args.push_back(std::move(l));
      eq->args.push_back(std::move(r));
      if (j.on) {
        auto both = std::make_unique<Expr>();
        both->kind = ExprKind::And;
        both->pos = j.pos;
        both->isCondition = true;
        both->args.push_back(std::move(j.on));
        both->args.push_back(std::move(eq));
        j.on = std::move(both);
      } else {
        j.on = std::move(eq);
      }
      scope.usingColumns.insert(col);
    }
    if (!j.on)
      continue; // CROSS JOIN
    if (j.usingCols.empty() && !j.natural) {
      bindCondition(*j.on, &scope, AllowColumns | AllowOuterMark);
      if (marked(j.on.get()))
        fail(25156, j.on->pos);
    }
    std::vector<Expr *> terms;
    conjuncts(j.on.get(), terms);
    if (j.kind == AnsiJoin::Inner) {
      b.whereTerms.insert(b.whereTerms.end(), terms.begin(), terms.end());
      continue;
    }
    if (j.kind == AnsiJoin::Full) {
      b.fullJoinOn = terms;
      continue;
    }
    if (j.kind == AnsiJoin::Right && j.table != 1)
      throw oraErrorText(3001, "unimplemented feature (RIGHT JOIN after a join)", j.pos);
    BoundTable *optional = j.kind == AnsiJoin::Left ? right : scope.tables[0];
    optional->outer = true;
    optional->onTerms.insert(optional->onTerms.end(), terms.begin(), terms.end());
  }
}

void Binder::splitWhere(QueryBlock &b, Scope &scope) {
  std::vector<Expr *> terms;
  if (b.where)
    conjuncts(b.where.get(), terms);
  for (Expr *term : terms) {
    std::set<BoundTable *> outer;
    int badPos = -1;
    outerTables(term, outer, false, badPos);
    if (badPos >= 0)
      fail(1719, badPos);
    for (BoundTable *t : outer)
      if (std::find(scope.tables.begin(), scope.tables.end(), t) == scope.tables.end())
        fail(1719, term->pos);
    if (outer.size() > 1)
      fail(1468, term->pos);
    if (!outer.empty() && containsRownum(term))
      throw oraErrorText(3001, "unimplemented feature (ROWNUM in an outer-join condition)",
                         findRownum(term)->pos);
    if (outer.size() == 1) {
      BoundTable *t = *outer.begin();
      t->outer = true;
      t->onTerms.push_back(term);
      continue;
    }
    if (containsRownum(term)) {
      b.countedFilters.push_back(term); // sorted out by analyseRownum
      continue;
    }
    b.whereTerms.push_back(term);
  }
  // Join order: inner tables as written, then each outer table once what it joins to is there.
  std::vector<BoundTable *> placed, pending;
  for (BoundTable *t : scope.tables)
    (t->outer ? pending : placed).push_back(t);
  while (!pending.empty()) {
    bool progress = false;
    for (size_t i = 0; i < pending.size(); ++i) {
      BoundTable *t = pending[i];
      std::set<BoundTable *> needs;
      for (Expr *on : t->onTerms)
        allTables(on, needs, t->depth);
      bool ready = true;
      for (BoundTable *n : needs)
        if (n != t && std::find(placed.begin(), placed.end(), n) == placed.end())
          ready = false;
      if (ready) {
        placed.push_back(t);
        pending.erase(pending.begin() + static_cast<long>(i));
        progress = true;
        break;
      }
    }
    if (!progress)
      fail(1416, pending.front()->onTerms.front()->pos);
  }
  b.joinOrder = placed;
}

void Binder::bindBlock(QueryBlock &b, Select &s, Scope *outer, bool countersAllowed, int depth) {
  Scope scope;
  scope.parent = outer;
  scope.block = &b;
  scope.depth = depth;
  bindFrom(b, scope, depth);
  if (b.startWith && !b.connectBy)
    fail(1788, b.connectPos);
  if (b.connectBy) {
    // A tree over one stored table: START WITH picks the roots, CONNECT BY links a row to the
    // row its PRIOR expressions read.
    if (b.from.size() > 1)
      fail(1437, b.from[1].pos);
    BoundTable *t = scope.tables[0];
    if (!t->isBase)
      throw oraErrorText(3001, "unimplemented feature (CONNECT BY over a view)", b.from[0].pos);
    t->hierarchy = &b;
    if (b.startWith)
      bindCondition(*b.startWith, &scope, AllowColumns);
    bindCondition(*b.connectBy, &scope, AllowColumns | AllowPrior);
    // Later releases find loops only through PRIOR: CONNECT BY LEVEL <= n yields n levels.
    auto hasPrior = [](auto &&self, const Expr &e) -> bool {
      if (e.prior)
        return true;
      for (const auto &a : e.args)
        if (self(self, *a))
          return true;
      return false;
    };
    b.loopCheck = !FModern || hasPrior(hasPrior, *b.connectBy);
  }
  // ROWNUM may appear here; analyseRownum decides whether it becomes a LIMIT or a counter.
  unsigned rn = AllowRownum;
  if (!b.joins.empty())
    bindJoins(b, scope); // first: WHERE may name a USING column without its table
  if (b.where)
    bindCondition(*b.where, &scope, AllowColumns | AllowOuterMark | rn);
  splitWhere(b, scope);
  // The select list, with * expanded.
  for (SelectItem &item : b.items) {
    if (item.expr->kind == ExprKind::Star) {
      std::vector<BoundTable *> from;
      if (item.expr->names.empty()) {
        from = scope.tables;
      } else {
        for (BoundTable *t : scope.tables) {
          bool match = item.expr->names.size() == 1
                           ? t->alias == item.expr->names[0]
                           : (t->owner == item.expr->names[0] && t->name == item.expr->names[1] &&
                              t->alias == t->name);
          if (match)
            from.push_back(t);
        }
        if (from.empty())
          fail(904, item.expr->pos);
      }
      for (BoundTable *t : from)
        for (const ColumnInfo &c : t->columns) {
          SelectItem x;
          x.pos = item.pos;
          x.name = c.name;
          x.expr = std::make_unique<Expr>();
          x.expr->kind = ExprKind::Column;
          x.expr->pos = item.pos;
          x.expr->names = {c.name};
          x.expr->table = t;
          x.expr->column = c.name;
          x.expr->depth = depth;
          x.expr->type = typeOfColumn(c);
          b.expanded.push_back(std::move(x));
        }
      continue;
    }
    unsigned ctx = AllowColumns | AllowAggregate | rn | (depth == 0 ? AllowSequence : 0u);
    // A select list's literals give its columns their names and lengths: each text its own.
    struct Nest {
      int &n;
      explicit Nest(int &c) : n(c) { ++n; }
      ~Nest() { --n; }
    } nest(FSelectList);
    bindValue(*item.expr, &scope, ctx);
    b.expanded.push_back(std::move(item));
  }
  b.items.clear();
  if (b.expanded.size() > kMaxColumns)
    fail(1792, b.expanded[kMaxColumns].pos);
  for (auto &g : b.groupBy) {
    bindValue(*g, &scope, AllowColumns);
    refuseLob(g->type.type, g->pos);
  }
  if (b.distinct)
    for (SelectItem &item : b.expanded)
      refuseLob(item.expr->type.type, item.pos);
  // A term written twice in grouping sets is one column: the sets name the first.
  for (size_t k = 0; k < b.groupBy.size() && !b.groupingSets.empty(); ++k)
    for (size_t j = 0; j < k; ++j)
      if (exprEqual(*b.groupBy[j], *b.groupBy[k], &FReadLiterals)) {
        for (auto &set : b.groupingSets)
          std::replace(set.begin(), set.end(), k, j);
        break;
      }
  if (b.having)
    bindCondition(*b.having, &scope, AllowColumns | AllowAggregate);
  bool anyAggregate = b.having != nullptr;
  for (SelectItem &item : b.expanded)
    if (containsAggregate(item.expr.get()))
      anyAggregate = true;
  b.aggregated = anyAggregate || !b.groupBy.empty() || !b.groupingSets.empty();
  s.columns.clear();
  for (SelectItem &item : b.expanded)
    s.columns.push_back(&item);
  bindOrderBy(s, &b, &scope);
  if (b.nestedAggregates) {
    // Over the groups there is one row: nothing outside the outer aggregates.
    auto bare = [&](auto &&self, const Expr &x) -> const Expr * {
      if (x.aggregate)
        return nullptr;
      if (x.kind == ExprKind::Column && x.depth == depth)
        return &x;
      for (auto &a : x.args)
        if (const Expr *r = self(self, *a))
          return r;
      return nullptr;
    };
    for (SelectItem &item : b.expanded)
      if (const Expr *r = bare(bare, *item.expr))
        fail(937, r->pos);
  }
  if (b.aggregated) {
    for (SelectItem &item : b.expanded)
      checkGrouped(*item.expr, b, depth);
    if (b.having)
      checkGrouped(*b.having, b, depth);
    for (OrderItem &o : s.orderBy)
      if (o.expr->kind != ExprKind::Number)
        checkGrouped(*o.expr, b, depth);
  }
  analyseRownum(b, s, countersAllowed);
}

void Binder::bindOrderBy(Select &s, QueryBlock *b, Scope *scope) {
  for (OrderItem &o : s.orderBy) {
    Expr &e = *o.expr;
    if (e.kind == ExprKind::Number) {
      if (e.literal)
        FReadLiterals.push_back(e.pos); // a position
      long n = std::atol(e.text.c_str());
      if (e.text.find_first_not_of("0123456789") != std::string::npos || n < 1 ||
          n > static_cast<long>(s.columns.size()))
        fail(1785, e.pos);
      refuseLob(s.columns[static_cast<size_t>(n - 1)]->expr->type.type, e.pos);
      e.type = typeOf(SqlType::Number);
      continue;
    }
    // A select-list alias (or column name) by itself.
    if (e.kind == ExprKind::Column && e.names.size() == 1) {
      int found = -1;
      for (size_t i = 0; i < s.columns.size(); ++i)
        if (s.columns[i]->name == e.names[0] && (!s.columns[i]->alias.empty() || !b)) {
          if (found >= 0 && b)
            fail(960, e.pos);
          found = static_cast<int>(i);
        }
      if (found >= 0) {
        refuseLob(s.columns[static_cast<size_t>(found)]->expr->type.type, e.pos);
        e.kind = ExprKind::Number;
        e.text = std::to_string(found + 1);
        e.type = typeOf(SqlType::Number);
        continue;
      }
    }
    if (!b)
      fail(904, e.pos); // compound queries order by position or column name
    bindValue(e, scope, AllowColumns | AllowAggregate);
    if (e.type.type == SqlType::Long || e.type.type == SqlType::LongRaw)
      fail(997, e.pos);
    refuseLob(e.type.type, e.pos);
    // An expression equal to a select item orders by that item.
    for (size_t i = 0; i < s.columns.size(); ++i)
      if (exprEqual(*s.columns[i]->expr, e, &FReadLiterals)) {
        e.args.clear();
        e.literal = false;
        e.kind = ExprKind::Number;
        e.text = std::to_string(i + 1);
        break;
      }
    if (e.kind != ExprKind::Number && b->distinct)
      fail(1791, e.pos);
  }
}

void Binder::checkGrouped(Expr &e, QueryBlock &b, int depth) {
  for (size_t k = 0; k < b.groupBy.size(); ++k)
    if (exprEqual(*b.groupBy[k], e, &FReadLiterals)) {
      if (!b.groupingSets.empty())
        e.groupKey = static_cast<int>(k); // NULL in the rows of sets without it
      return;
    }
  if (e.aggregate)
    return;
  if (e.kind == ExprKind::Column && e.depth == depth)
    fail(b.groupBy.empty() ? 937 : 979, e.pos);
  if (e.kind == ExprKind::Pseudo && e.text == "ROWNUM")
    fail(b.groupBy.empty() ? 937 : 979, e.pos);
  for (auto &a : e.args)
    checkGrouped(*a, b, depth);
}

void Binder::analyseRownum(QueryBlock &b, Select &s, bool countersAllowed) {
  std::vector<Expr *> filters;
  filters.swap(b.countedFilters);
  bool selectCounts = false;
  for (SelectItem &item : b.expanded)
    if (containsRownum(item.expr.get()))
      selectCounts = true;
  bool plain = !b.aggregated && !b.distinct && s.orderBy.empty() && s.block.get() == &b;
  for (Expr *f : filters) {
    // ROWNUM op constant (or the mirror) with a value free of columns becomes a LIMIT.
    bool simple = f->kind == ExprKind::Compare && f->text2.empty() && f->args.size() == 2 &&
                  ((f->args[0]->kind == ExprKind::Pseudo && f->args[0]->text == "ROWNUM" &&
                    !containsRownum(f->args[1].get())) ||
                   (f->args[1]->kind == ExprKind::Pseudo && f->args[1]->text == "ROWNUM" &&
                    !containsRownum(f->args[0].get())));
    if (simple) {
      std::set<BoundTable *> cols;
      Expr *other = f->args[0]->kind == ExprKind::Pseudo ? f->args[1].get() : f->args[0].get();
      allTables(other, cols, b.tables.empty() ? 0 : b.tables.front()->depth);
      if (!cols.empty() || other->query)
        simple = false;
    }
    if (simple && plain && !selectCounts) {
      b.limitFilters.push_back(f);
    } else if (simple && countersAllowed) {
      b.countedFilters.push_back(f);
    } else {
      Expr *r = findRownum(f);
      throw oraErrorText(3001, "unimplemented feature (this use of ROWNUM)", r ? r->pos : f->pos);
    }
  }
  if (b.countedFilters.size() > 1)
    throw oraErrorText(3001, "unimplemented feature (two counted ROWNUM conditions)",
                       b.countedFilters[1]->pos);
  if (!b.countedFilters.empty() || selectCounts) {
    if (!countersAllowed) {
      Expr *r = nullptr;
      for (SelectItem &item : b.expanded)
        if (!r)
          r = findRownum(item.expr.get());
      throw oraErrorText(3001, "unimplemented feature (ROWNUM in a correlated subquery)",
                         r ? r->pos : b.pos);
    }
    b.counter = FCounters++;
    // Each ROWNUM reads the block's counter; the filter (or else the first select item that
    // names ROWNUM) advances it once per row.
    bool advanced = !b.countedFilters.empty();
    std::vector<Expr *> stack;
    auto mark = [&](Expr *root, bool mayAdvance) {
      stack.push_back(root);
      while (!stack.empty()) {
        Expr *e = stack.back();
        stack.pop_back();
        if (e->kind == ExprKind::Pseudo && e->text == "ROWNUM") {
          e->counter = b.counter;
          if (mayAdvance && !advanced) {
            e->counts = true;
            advanced = true;
          }
        }
        for (auto it = e->args.rbegin(); it != e->args.rend(); ++it)
          stack.push_back(it->get());
      }
    };
    for (Expr *f : b.countedFilters) {
      mark(f, false);
      for (auto &a : f->args)
        if (a->kind == ExprKind::Pseudo && a->text == "ROWNUM")
          a->counts = true; // the filter's own ROWNUM is the candidate number
    }
    for (SelectItem &item : b.expanded)
      mark(item.expr.get(), true);
  }
}

// ------------------------------------------------------------------ expressions

void Binder::bindValue(Expr &e, Scope *scope, unsigned ctx) {
  // A row value (a, b) only stands before or inside IN.
  if (e.kind == ExprKind::List)
    fail(907, e.args.size() > 1 ? e.args[1]->pos : e.pos);
  bindExpr(e, scope, ctx);
  if (e.isCondition)
    fail(907, e.pos);
}

void Binder::bindCondition(Expr &e, Scope *scope, unsigned ctx) {
  bindExpr(e, scope, ctx);
  if (!e.isCondition)
    fail(920, e.pos);
}

bool sqlFunctionArity(const std::string &name, int &minArgs, int &maxArgs, bool &aggregate,
                      bool modern) {
  const FnSpec *f = findFunction(name, modern);
  if (!f)
    return false;
  minArgs = f->minArgs;
  maxArgs = f->maxArgs;
  aggregate = f->aggregate;
  return true;
}

// A PL/SQL variable named in embedded SQL becomes a bind variable of its type.
bool Binder::hostBind(Expr &e) {
  if (!hostName || !hostName(e))
    return false;
  if (std::find(FBindNames.begin(), FBindNames.end(), e.text) == FBindNames.end())
    FBindNames.push_back(e.text);
  return true;
}

void Binder::bindColumn(Expr &e, Scope *scope, unsigned ctx) {
  if (!(ctx & AllowColumns)) {
    if (hostBind(e))
      return;
    fail(984, e.pos);
  }
  const std::vector<std::string> &n = e.names;
  std::string col = n.back();
  for (Scope *s = scope; s; s = s->parent) {
    BoundTable *found = nullptr, *first = nullptr;
    int matches = 0;
    bool usingColumn = s->usingColumns.count(col) > 0;
    if (usingColumn && n.size() > 1 && !FUsingSides)
      fail(25154, e.pos);
    for (BoundTable *t : s->tables) {
      bool tableOk = n.size() == 1 || (n.size() == 2 && t->alias == n[0]) ||
                     (n.size() == 3 && t->owner == n[0] && t->name == n[1] && t->alias == t->name);
      if (!tableOk)
        continue;
      if (col == "ROWID" && n.size() > 1) {
        found = t;
        matches = 1;
        break;
      }
      for (const ColumnInfo &c : t->columns)
        if (c.name == col) {
          if (found != t)
            ++matches;
          found = t;
          if (!first)
            first = t;
        }
      if (n.size() > 1 && !found) {
        if (col == "ROWID") {
          found = t;
          matches = 1;
          break;
        }
        fail(904, e.pos); // the table is there, the column is not
      }
    }
    if (col == "ROWID" && n.size() == 1 && !found) {
      int bases = 0;
      for (BoundTable *t : s->tables)
        if (t->isBase || t->query) {
          ++bases;
          found = t;
        }
      if (bases > 1)
        fail(918, e.pos);
      matches = bases;
    }
    if (matches > 1 && usingColumn && s->block && !s->block->fullJoinOn.empty()) {
      // A FULL JOIN's USING column is whichever side has the row.
      std::vector<ExprPtr> sides;
      for (BoundTable *t : s->tables)
        if (std::any_of(t->columns.begin(), t->columns.end(),
                        [&](const ColumnInfo &c) { return c.name == col; })) {
          auto x = std::make_unique<Expr>();
          x->kind = ExprKind::Column;
          x->pos = e.pos;
          x->names = {t->alias, col};
          sides.push_back(std::move(x));
        }
      e.kind = ExprKind::Function;
      e.names = {"COALESCE"};
      e.args = std::move(sides);
      FUsingSides = true;
      try {
        bindFunction(e, scope, ctx);
      } catch (...) {
        FUsingSides = false;
        throw;
      }
      FUsingSides = false;
      return;
    }
    if (matches > 1 && usingColumn) {
      found = first; // the joined column: the first table's (the same value in an inner join)
      matches = 1;
    }
    if (matches > 1)
      fail(918, e.pos);
    if (found) {
      e.table = found;
      e.depth = s->depth;
      if (col == "ROWID" && !std::any_of(found->columns.begin(), found->columns.end(),
                                         [](const ColumnInfo &c) { return c.name == "ROWID"; })) {
        if (!found->isBase)
          fail(1446, e.pos);
        e.isRowid = true;
        e.column = "ROWID";
        e.type = typeOf(SqlType::Rowid, 18);
        e.type.nullable = false;
      } else {
        e.column = col;
        for (const ColumnInfo &c : found->columns)
          if (c.name == col)
            e.type = typeOfColumn(c);
      }
      if (ctx & InPrior)
        e.prior = true;
      if (e.outer && !(ctx & AllowOuterMark))
        fail(920, e.pos);
      if (e.outer && s != scope)
        fail(1719, e.pos);
      return;
    }
  }
  if (hostBind(e))
    return;
  if (storedFunctionByName(e, scope, ctx))
    return;
  fail(904, e.pos);
}

namespace {
StoredFunctionResolver gStoredFunctions = nullptr;
} // namespace

// A stored function without parameters may be named without parentheses (SELECT pkg.total
// FROM dual), when no column has that name.
bool Binder::storedFunctionByName(Expr &e, Scope *scope, unsigned ctx) {
  if (!gStoredFunctions || e.outer || e.prior || !e.args.empty())
    return false;
  e.kind = ExprKind::Function;
  bool found = false;
  try {
    found = gStoredFunctions(FDb, schema(), e);
  } catch (const OraError &) {
    e.kind = ExprKind::Column;
    throw;
  }
  if (!found) {
    e.kind = ExprKind::Column;
    return false;
  }
  for (auto &a : e.args)
    bindValue(*a, scope, ctx & ~static_cast<unsigned>(AllowAggregate));
  return true;
}

namespace {

// What a built-in function's typing rule sees: the call, its name and its argument count.
struct FnCall {
  Expr &e;
  const std::string &name;
  int n;
  std::vector<int> &read; // offsets of literals whose value decided something
  // The value of argument i, read while typing the call.
  const std::string &value(int i) {
    const Expr &a = *e.args[static_cast<size_t>(i)];
    if (a.literal)
      read.push_back(a.pos);
    return a.text;
  }
  TypeInfo arg(int i) const { return i < n ? e.args[static_cast<size_t>(i)]->type : TypeInfo(); }
  void targets(std::initializer_list<SqlType> list) {
    e.argTargets.assign(list.begin(), list.end());
    e.argTargets.resize(static_cast<size_t>(n), SqlType::Unknown);
  }
};

TypeInfo textResult(int length) {
  return typeOf(SqlType::Varchar2, std::max(1, std::min(length, 2000)));
}

// A datetime or interval type with its precisions (leading -1 for timestamps).
TypeInfo datetimeType(SqlType t, int fraction, int leading = -1) {
  TypeInfo ti = typeOf(t);
  ti.scale = fraction;
  ti.precision = leading;
  return ti;
}

// The digits of a fraction of a second a value of type t carries.
int fractionOf(const TypeInfo &t) { return t.scale == kNoScale ? 9 : t.scale; }

// Appends an argument the call's SQLite function reads besides Oracle's: a type code, a
// precision, a missing mask (NULL).
void appendArg(FnCall &c, const char *number) {
  auto a = std::make_unique<Expr>();
  a->kind = number ? ExprKind::Number : ExprKind::Null;
  a->pos = c.e.pos;
  if (number) {
    a->text = number;
    a->type = typeOf(SqlType::Number);
  }
  c.e.args.push_back(std::move(a));
  c.e.argTargets.resize(static_cast<size_t>(c.n), SqlType::Unknown);
  c.e.argTargets.push_back(number ? SqlType::Number : SqlType::Varchar2);
  ++c.n;
}
void appendArg(FnCall &c, int number) { appendArg(c, std::to_string(number).c_str()); }

// Timestamps and intervals: their constructors and conversions.
bool typeDatetimeFunction(FnCall &c) {
  const SqlType V = SqlType::Varchar2, N = SqlType::Number;
  if (c.name == "SYSTIMESTAMP" || c.name == "LOCALTIMESTAMP") {
    c.e.type =
        datetimeType(c.name == "SYSTIMESTAMP" ? SqlType::TimestampTz : SqlType::Timestamp, 6);
    c.e.type.nullable = false;
  } else if (c.name == "TO_TIMESTAMP" || c.name == "TO_TIMESTAMP_TZ") {
    c.targets({V, V, V});
    c.e.type =
        datetimeType(c.name == "TO_TIMESTAMP" ? SqlType::Timestamp : SqlType::TimestampTz, 9);
  } else if (c.name == "TO_DSINTERVAL" || c.name == "TO_YMINTERVAL") {
    // The text converted to the interval type is the value; an interval literal keeps its own
    // precisions.
    const SqlType t = c.name == "TO_DSINTERVAL" ? SqlType::IntervalDS : SqlType::IntervalYM;
    c.targets({t, V});
    c.e.sqlName = "";
    c.e.type =
        c.e.castTo.type == t ? c.e.castTo : datetimeType(t, t == SqlType::IntervalDS ? 9 : 0, 9);
  } else if (c.name == "NUMTODSINTERVAL" || c.name == "NUMTOYMINTERVAL") {
    c.targets({N, V});
    c.e.type = c.name == "NUMTODSINTERVAL" ? datetimeType(SqlType::IntervalDS, 9, 9)
                                           : datetimeType(SqlType::IntervalYM, 0, 9);
  } else if (c.name == "SYS_EXTRACT_UTC") {
    c.targets({SqlType::TimestampTz});
    c.e.type = datetimeType(SqlType::Timestamp, fractionOf(c.arg(0)));
  } else if (c.name == "FROM_TZ") {
    if (c.arg(0).type != SqlType::Timestamp && c.arg(0).type != SqlType::Unknown)
      fail(932, c.e.args[0]->pos);
    c.targets({SqlType::Timestamp, V});
    c.e.type = datetimeType(SqlType::TimestampTz, fractionOf(c.arg(0)));
  } else {
    return false;
  }
  return true;
}

// REGEXP_LIKE is a condition; the others give a position, a count or text. Their arguments are
// text except positions, occurrences and subexpression numbers.
void typeRegexpFunction(FnCall &c) {
  const SqlType V = SqlType::Varchar2, N = SqlType::Number;
  if (c.name == "REGEXP_LIKE") {
    c.targets({V, V, V});
    c.e.isCondition = true;
  } else if (c.name == "REGEXP_COUNT") {
    c.targets({V, V, N, V});
    c.e.type = typeOf(N);
  } else if (c.name == "REGEXP_SUBSTR") {
    c.targets({V, V, N, N, V, N});
    c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "REGEXP_INSTR") {
    c.targets({V, V, N, N, N, V, N});
    c.e.type = typeOf(N);
  } else {
    c.targets({V, V, V, N, N, V});
    c.e.type = textResult(2000);
  }
}

// Functions that choose one of their arguments: the result has the arguments' type.
bool typeChoiceFunction(FnCall &c) {
  if (c.name == "NVL") {
    SqlType t = c.arg(0).type == SqlType::Unknown ? c.arg(1).type : c.arg(0).type;
    c.targets({t, t});
    c.e.type = c.arg(0).type == SqlType::Unknown ? c.arg(1) : c.arg(0);
    c.e.type.nullable = c.arg(1).nullable;
    if (isCharType(t))
      c.e.type.length = std::max(textLength(c.arg(0)), textLength(c.arg(1)));
  } else if (c.name == "DECODE") {
    SqlType cmp = c.arg(1).type == SqlType::Unknown ? c.arg(0).type : c.arg(1).type;
    SqlType res = c.arg(2).type == SqlType::Unknown ? SqlType::Varchar2 : c.arg(2).type;
    if (res == SqlType::Char)
      res = SqlType::Varchar2;
    c.e.argTargets.assign(static_cast<size_t>(c.n), SqlType::Unknown);
    c.e.argTargets[0] = cmp;
    int len = 0;
    for (int i = 1; i < c.n; ++i) {
      bool isResult = (i % 2 == 0) || (i == c.n - 1 && c.n % 2 == 0);
      c.e.argTargets[i] = isResult ? res : cmp;
      if (isResult) {
        checkConvertible(c.arg(i).type, res, c.e.args[i]->pos);
        len = std::max(len, textLength(c.arg(i)));
      } else {
        compareType(c.arg(0).type, c.arg(i).type, c.e.args[i]->pos);
      }
    }
    c.e.type = res == SqlType::Varchar2 ? textResult(len ? len : 1) : typeOf(res);
    c.e.sqlName = "DECODE";
  } else if (c.name == "COALESCE" || c.name == "NULLIF" || c.name == "NVL2") {
    // All of one type family (ORA-00932 otherwise): the first typed argument's, for NVL2 its
    // second's (the first is only tested for NULL).
    int from = c.name == "NVL2" ? 1 : 0;
    SqlType t = SqlType::Unknown;
    int len = 0;
    for (int i = from; i < c.n; ++i) {
      SqlType a = c.arg(i).type;
      if (t == SqlType::Unknown)
        t = a;
      else if (a != SqlType::Unknown && !sameTypeGroup(t, a))
        fail(932, c.e.args[static_cast<size_t>(i)]->pos);
      len = std::max(len, textLength(c.arg(i)));
    }
    if (t == SqlType::Char || t == SqlType::Unknown)
      t = SqlType::Varchar2;
    c.e.argTargets.assign(static_cast<size_t>(c.n), t);
    if (c.name == "NVL2")
      c.e.argTargets[0] = SqlType::Unknown;
    c.e.type = t == SqlType::Varchar2 ? textResult(len ? len : 1) : typeOf(t);
    c.e.sqlName = c.name == "NVL2" ? "NVL2" : c.name == "COALESCE" ? "coalesce" : "nullif";
  } else if (c.name == "GREATEST" || c.name == "LEAST") {
    for (int i = 0; i < c.n; ++i)
      refuseLob(c.arg(i).type, c.e.args[static_cast<size_t>(i)]->pos);
    SqlType t = c.arg(0).type == SqlType::Unknown ? SqlType::Varchar2 : c.arg(0).type;
    if (t == SqlType::Char)
      t = SqlType::Varchar2;
    c.e.argTargets.assign(static_cast<size_t>(c.n), t);
    int len = 0;
    for (int i = 0; i < c.n; ++i) {
      checkConvertible(c.arg(i).type, t, c.e.args[i]->pos);
      len = std::max(len, textLength(c.arg(i)));
    }
    c.e.type = t == SqlType::Varchar2 ? textResult(len) : typeOf(t);
  } else {
    return false;
  }
  return true;
}

// Conversions between types, and the functions that show how a value is stored.
bool typeConversionFunction(FnCall &c) {
  if (c.name == "TO_CHAR") {
    SqlType a = c.arg(0).type;
    if (isTimestampType(a) || isIntervalType(a)) {
      // ora_to_char_dt(value, mask or NULL, type, fraction digits, leading precision)
      const TypeInfo from = c.arg(0);
      c.e.args.resize(std::min<size_t>(c.e.args.size(), 2));
      c.n = static_cast<int>(c.e.args.size());
      c.targets({a, SqlType::Varchar2});
      if (c.n == 1)
        appendArg(c, nullptr);
      appendArg(c, static_cast<int>(a));
      appendArg(c, fractionOf(from));
      appendArg(c, from.precision < 0 ? 2 : from.precision);
      c.e.sqlName = "ora_to_char_dt";
      c.e.type = textResult(c.e.args[1]->kind == ExprKind::Null ? textLength(from) : 75);
    } else if (a == SqlType::Date) {
      c.targets({SqlType::Date, SqlType::Varchar2, SqlType::Varchar2});
      c.e.sqlName = "ora_to_char_date";
      c.e.type = textResult(c.n > 1 ? 75 : 9);
    } else if (a == SqlType::Number || (c.n > 1 && a != SqlType::Raw)) {
      c.targets({SqlType::Number, SqlType::Varchar2, SqlType::Varchar2});
      c.e.sqlName = "ora_to_char_num";
      int len = 40;
      if (c.n > 1 && c.e.args[1]->kind == ExprKind::String)
        len = static_cast<int>(c.value(1).size()) + 2;
      c.e.type = textResult(len);
    } else {
      c.targets({SqlType::Varchar2});
      c.e.sqlName = "";
      c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
    }
  } else if (c.name == "TO_DATE") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Date);
  } else if (c.name == "TO_NUMBER") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "HEXTORAW") {
    c.targets({SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Raw, std::max(1, textLength(c.arg(0)) / 2));
  } else if (c.name == "RAWTOHEX") {
    c.targets({SqlType::Raw});
    c.e.type = textResult(2 * std::max(1, c.arg(0).length));
  } else if (c.name == "ROWIDTOCHAR") {
    c.targets({SqlType::Rowid});
    c.e.type = textResult(18);
  } else if (c.name == "CHARTOROWID") {
    c.targets({SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Rowid, 18);
  } else if (c.name == "CONVERT" || c.name == "TO_MULTI_BYTE" || c.name == "TO_SINGLE_BYTE") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Varchar2});
    if (c.name != "CONVERT")
      c.e.sqlName = ""; // one byte per character: the text itself
    c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "NLSSORT") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Raw, 2 * std::max(1, textLength(c.arg(0))) + 1);
  } else if (c.name == "DUMP" || c.name == "VSIZE") {
    // The value as it is stored, with its Oracle type code, which SQLite's values do not keep:
    // the code goes to the function as a second argument.
    c.targets({SqlType::Unknown, SqlType::Number, SqlType::Number, SqlType::Number});
    auto code = std::make_unique<Expr>();
    code->kind = ExprKind::Number;
    code->pos = c.e.pos;
    code->text = std::to_string(dumpTypeCode(c.arg(0).type));
    code->type = typeOf(SqlType::Number);
    c.e.args.insert(c.e.args.begin() + 1, std::move(code));
    c.e.argTargets.insert(c.e.argTargets.begin() + 1, SqlType::Number);
    ++c.n;
    c.e.type = c.name == "VSIZE" ? typeOf(SqlType::Number) : textResult(2000);
  } else {
    return false;
  }
  return true;
}

// Character functions.
bool typeTextFunction(FnCall &c) {
  if (c.name == "SUBSTR" || c.name == "SUBSTRB") {
    c.e.sqlName = "ora_substr";
    c.targets({SqlType::Varchar2, SqlType::Number, SqlType::Number});
    c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "INSTR" || c.name == "INSTRB") {
    c.e.sqlName = "ora_instr";
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Number, SqlType::Number});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "LENGTH" || c.name == "LENGTHB" || c.name == "ASCII") {
    if (c.name == "LENGTHB")
      c.e.sqlName = "ora_length";
    c.targets({SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "UPPER" || c.name == "LOWER" || c.name == "INITCAP" ||
             c.name == "NLS_UPPER" || c.name == "NLS_LOWER" || c.name == "NLS_INITCAP") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = c.arg(0).type == SqlType::Char
                   ? c.arg(0)
                   : textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
    if (c.name.compare(0, 4, "NLS_") == 0)
      c.e.sqlName = "ora_" + std::string(c.name == "NLS_UPPER"   ? "upper"
                                         : c.name == "NLS_LOWER" ? "lower"
                                                                 : "initcap");
  } else if (c.name == "TRIM") {
    // One trim character (ORA-30001); blanks when none is given.
    if (c.n > 1 && c.e.args[1]->kind == ExprKind::String && c.value(1).size() != 1)
      fail(30001, c.e.args[1]->pos);
    if (c.e.text.empty())
      c.e.text = "BOTH";
    c.targets({SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "LTRIM" || c.name == "RTRIM") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "LPAD" || c.name == "RPAD") {
    c.targets({SqlType::Varchar2, SqlType::Number, SqlType::Varchar2});
    int len = 2000;
    if (c.e.args[1]->kind == ExprKind::Number)
      len = std::atoi(c.value(1).c_str());
    c.e.type = textResult(len);
  } else if (c.name == "REPLACE") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = textResult(c.n == 2 && textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "TRANSLATE") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = textResult(textLength(c.arg(0)) ? textLength(c.arg(0)) : 2000);
  } else if (c.name == "CHR") {
    c.targets({SqlType::Number});
    c.e.type = textResult(1);
  } else if (c.name == "CONCAT") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = textResult(textLength(c.arg(0)) + textLength(c.arg(1)));
  } else if (c.name == "SOUNDEX") {
    c.targets({SqlType::Varchar2});
    c.e.type = textResult(4);
  } else if (c.name.compare(0, 7, "REGEXP_") == 0) {
    typeRegexpFunction(c);
  } else if (c.name == "SYS_CONTEXT") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2, SqlType::Number});
    c.e.type = textResult(256);
  } else if (c.name == "USERENV") {
    c.targets({SqlType::Varchar2});
    c.e.type = textResult(30);
  } else {
    return false;
  }
  return true;
}

// The LOB constructors and conversions; the character functions over a CLOB give a CLOB, and
// LENGTH counts a LOB's bytes (an empty LOB is 0, not NULL).
bool typeLobFunction(FnCall &c) {
  if (c.name == "TO_CLOB" || c.name == "TO_NCLOB") {
    c.targets({SqlType::Clob});
    c.e.sqlName = "";
    c.e.type = typeOf(SqlType::Clob, 4000);
  } else if (c.name == "TO_BLOB") {
    c.targets({SqlType::Raw});
    c.e.sqlName = "";
    c.e.type = typeOf(SqlType::Blob, 4000);
  } else if (c.name == "EMPTY_CLOB" || c.name == "EMPTY_BLOB") {
    c.e.type = typeOf(c.name == "EMPTY_CLOB" ? SqlType::Clob : SqlType::Blob, 4000);
    c.e.type.nullable = false;
  } else {
    return false;
  }
  return true;
}

void lobResult(FnCall &c) {
  static const std::set<std::string> kClobResult = {
      "SUBSTR",    "UPPER",  "LOWER", "INITCAP",  "NLS_UPPER",      "NLS_LOWER",
      "TRIM",      "LTRIM",  "RTRIM", "REPLACE",  "LPAD",           "RPAD",
      "TRANSLATE", "CONCAT", "NVL",   "COALESCE", "REGEXP_REPLACE", "REGEXP_SUBSTR"};
  if ((c.name == "LENGTH" || c.name == "LENGTHB") && isLob(c.arg(0).type)) {
    c.targets({SqlType::Unknown});
    c.e.sqlName = "ora_loblength";
  } else if (kClobResult.count(c.name) && c.n > 0 &&
             (c.arg(0).type == SqlType::Clob ||
              (c.n > 1 && (c.name == "CONCAT" || c.name == "NVL" || c.name == "COALESCE") &&
               c.arg(1).type == SqlType::Clob))) {
    c.e.type = typeOf(SqlType::Clob, 4000);
  }
}

// Number functions (ROUND and TRUNC also take dates).
bool typeNumberFunction(FnCall &c) {
  if (c.name == "ROUND" || c.name == "TRUNC") {
    if (c.arg(0).type == SqlType::Date || isTimestampType(c.arg(0).type)) {
      c.targets({SqlType::Date, SqlType::Varchar2});
      c.e.type = typeOf(SqlType::Date);
      c.e.sqlName += "_date";
    } else {
      c.targets({SqlType::Number, SqlType::Number});
      c.e.type = typeOf(SqlType::Number);
    }
  } else if (c.name == "MOD" || c.name == "POWER" || c.name == "LOG" || c.name == "ATAN2") {
    c.targets({SqlType::Number, SqlType::Number});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "ABS" || c.name == "SIGN" || c.name == "CEIL" || c.name == "FLOOR" ||
             c.name == "SQRT" || c.name == "EXP" || c.name == "LN" || c.name == "SIN" ||
             c.name == "COS" || c.name == "TAN" || c.name == "SINH" || c.name == "COSH" ||
             c.name == "TANH" || c.name == "ACOS" || c.name == "ASIN" || c.name == "ATAN") {
    c.targets({SqlType::Number});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "ORA_HASH") {
    c.targets({SqlType::Unknown, SqlType::Number, SqlType::Number});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "SYS_GUID") {
    c.e.type = typeOf(SqlType::Raw, 16);
    c.e.type.nullable = false;
  } else {
    return false;
  }
  return true;
}

// Date functions.
bool typeDateFunction(FnCall &c) {
  if (c.name == "ADD_MONTHS") {
    c.targets({SqlType::Date, SqlType::Number});
    c.e.type = typeOf(SqlType::Date);
  } else if (c.name == "EXTRACT" &&
             (isTimestampType(c.arg(0).type) || isIntervalType(c.arg(0).type))) {
    // The fields a timestamp or interval has (ORA-30076 for another).
    const SqlType a = c.arg(0).type;
    const std::string &f = c.e.text;
    const bool ok =
        a == SqlType::IntervalYM ? f == "YEAR" || f == "MONTH"
        : a == SqlType::IntervalDS
            ? f == "DAY" || f == "HOUR" || f == "MINUTE" || f == "SECOND"
            : f == "YEAR" || f == "MONTH" || f == "DAY" || f == "HOUR" || f == "MINUTE" ||
                  f == "SECOND" ||
                  (a == SqlType::TimestampTz && (f == "TIMEZONE_HOUR" || f == "TIMEZONE_MINUTE"));
    if (!ok)
      fail(30076, c.e.pos);
    c.targets({a});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "EXTRACT") {
    // From a DATE: its year, month or day; a time field is for timestamps (ORA-30076).
    if (c.e.text == "HOUR" || c.e.text == "MINUTE" || c.e.text == "SECOND" ||
        c.e.text == "TIMEZONE_HOUR" || c.e.text == "TIMEZONE_MINUTE")
      fail(30076, c.e.pos);
    if (c.e.text != "YEAR" && c.e.text != "MONTH" && c.e.text != "DAY")
      fail(907, c.e.pos);
    c.targets({SqlType::Date});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "MONTHS_BETWEEN") {
    c.targets({SqlType::Date, SqlType::Date});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "LAST_DAY") {
    c.targets({SqlType::Date});
    c.e.type = typeOf(SqlType::Date);
  } else if (c.name == "NEXT_DAY") {
    c.targets({SqlType::Date, SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Date);
  } else if (c.name == "NEW_TIME") {
    c.targets({SqlType::Date, SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Date);
  } else {
    return false;
  }
  return true;
}

// Group functions.
bool typeAggregateFunction(FnCall &c) {
  if (c.name == "COUNT") {
    c.targets({SqlType::Unknown});
    c.e.type = typeOf(SqlType::Number);
    c.e.type.nullable = false;
  } else if (c.name == "SUM" || c.name == "AVG" || c.name == "STDDEV" || c.name == "VARIANCE") {
    c.targets({SqlType::Number});
    c.e.type = typeOf(SqlType::Number);
  } else if (c.name == "LISTAGG") {
    c.targets({SqlType::Varchar2, SqlType::Varchar2});
    c.e.type = typeOf(SqlType::Varchar2, 4000);
  } else if (c.name == "MIN" || c.name == "MAX") {
    c.targets({SqlType::Unknown});
    c.e.type = c.arg(0);
    if (c.arg(0).type == SqlType::Long || c.arg(0).type == SqlType::LongRaw)
      fail(997, c.e.args[0]->pos);
    refuseLob(c.arg(0).type, c.e.args[0]->pos);
  } else {
    return false;
  }
  return true;
}

} // namespace

void setStoredFunctionResolver(StoredFunctionResolver r) { gStoredFunctions = r; }

// An analytic call: a value per row over its window, computed after WHERE and GROUP BY, so only
// in the select list and ORDER BY (ORA-30483 elsewhere). Group functions with OVER are no
// aggregates of the block.
void Binder::bindAnalytic(Expr &e, bool analytic, bool aggregate, Scope *scope, unsigned ctx) {
  const std::string &name = e.names[0];
  if (!(ctx & AllowAggregate) || (ctx & InAggregate) || (!analytic && !aggregate))
    fail(30483, e.pos);
  if (name == "STDDEV" || name == "VARIANCE" || name == "LISTAGG")
    throw oraErrorText(3001, "unimplemented feature (" + name + " OVER)", e.pos);
  unsigned argCtx = ctx & ~static_cast<unsigned>(AllowRownum);
  for (auto &a : e.args)
    bindValue(*a, scope, argCtx);
  for (auto &p : e.over->partition) {
    bindValue(*p, scope, argCtx);
    refuseLob(p->type.type, p->pos);
  }
  for (OrderItem &o : e.over->order) {
    bindValue(*o.expr, scope, argCtx);
    refuseLob(o.expr->type.type, o.expr->pos);
  }
  const SqlType N = SqlType::Number, U = SqlType::Unknown;
  TypeInfo first = e.args.empty() ? TypeInfo() : e.args[0]->type;
  if (name == "SUM" || name == "AVG" || name == "NTILE") {
    e.argTargets = {N};
    e.type = typeOf(N);
  } else if (name == "LAG" || name == "LEAD") {
    e.argTargets = {U, N, first.type == SqlType::Char ? SqlType::Varchar2 : first.type};
    e.argTargets.resize(e.args.size());
    e.type = first;
  } else if (name == "MIN" || name == "MAX" || name == "FIRST_VALUE" || name == "LAST_VALUE") {
    e.argTargets = {U};
    e.type = first;
  } else { // COUNT and the ranks
    e.argTargets.assign(e.args.size(), U);
    e.type = typeOf(N);
    e.type.nullable = name != "COUNT";
  }
  for (size_t i = 0; i < e.args.size(); ++i)
    checkConvertible(e.args[i]->type.type, e.argTargets[i], e.args[i]->pos);
  e.type.nullable = e.type.nullable || name == "LAG" || name == "LEAD";
  if (e.type.type == U)
    e.type = textResult(2000);
  // SQLite's window function of the name; SUM and AVG are the exact ones of this server.
  e.sqlName = name == "SUM" || name == "AVG" ? "ora_" : "";
  for (char c : name)
    e.sqlName += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

void Binder::bindFunction(Expr &e, Scope *scope, unsigned ctx) {
  // An element of a PL/SQL collection, t(i), is a bind variable like the variable itself.
  if (e.names.size() == 1 && !findFunction(e.names[0], FModern) && !e.star && !e.distinct &&
      !e.over && hostBind(e))
    return;
  if ((e.names.size() != 1 || !findFunction(e.names[0], FModern)) && !e.star && !e.distinct &&
      gStoredFunctions && gStoredFunctions(FDb, schema(), e)) {
    // A collection is rows for TABLE(), no value of a column.
    if (!e.rowColumns.empty() && !FCollectionCall)
      fail(932, e.pos);
    FCollectionCall = false;
    // A stored PL/SQL function: its arguments are plain values.
    for (auto &a : e.args)
      bindValue(*a, scope, ctx & ~static_cast<unsigned>(AllowAggregate));
    return;
  }
  if (e.names.size() != 1)
    fail(904, e.pos);
  const std::string &name = e.names[0];
  const FnSpec *f = findFunction(name, FModern);
  if (!f)
    fail(904, e.pos);
  int n = static_cast<int>(e.args.size());
  if (e.star && name != "COUNT")
    fail(936, e.pos);
  if (!e.star && (n < f->minArgs || n > f->maxArgs))
    fail(909, e.pos);
  if (name == "COUNT" && !e.star && n == 0)
    fail(909, e.pos);
  if (e.distinct && !f->aggregate)
    fail(936, e.pos);
  if (name == "GROUPING" || name == "GROUPING_ID" || name == "GROUP_ID") {
    // Which grouping set a row of a grouped query belongs to: where aggregates may stand.
    QueryBlock *block = scope ? scope->block : nullptr;
    if (e.over || e.distinct)
      fail(e.over ? 30484 : 936, e.pos);
    if (!block || (block->groupBy.empty() && block->groupingSets.empty()))
      fail(30481, e.pos);
    if (!(ctx & AllowAggregate) || (ctx & InAggregate))
      fail(934, e.pos);
    for (auto &a : e.args)
      bindValue(*a, scope, ctx & ~static_cast<unsigned>(AllowAggregate));
    e.type = typeOf(SqlType::Number);
    e.type.nullable = false;
    return;
  }
  if (e.over) {
    bindAnalytic(e, f->analytic, f->aggregate, scope, ctx);
    return;
  }
  if (f->analytic)
    fail(30484, e.pos);
  unsigned argCtx = ctx;
  if (f->aggregate) {
    // Oracle nests one aggregate in another over the groups of a GROUP BY: MAX(AVG(sal)).
    QueryBlock *block = scope ? scope->block : nullptr;
    if (ctx & InAggregate) {
      if (!(ctx & AllowNested))
        fail(935, e.pos);
      if (!block || block->groupBy.empty())
        fail(978, e.pos);
      block->nestedAggregates = true;
      argCtx =
          (ctx & ~static_cast<unsigned>(AllowAggregate | AllowRownum | AllowNested)) | InAggregate;
    } else {
      if (!(ctx & AllowAggregate))
        fail(934, e.pos);
      argCtx =
          (ctx & ~static_cast<unsigned>(AllowAggregate | AllowRownum)) | InAggregate | AllowNested;
    }
    e.aggregate = true;
  }
  for (auto &a : e.args) {
    bindValue(*a, scope, argCtx);
    if (e.distinct) // DISTINCT compares the values
      refuseLob(a->type.type, a->pos);
  }
  if (e.within) {
    if (name != "LISTAGG")
      throw oraErrorText(3001, "unimplemented feature (" + name + " WITHIN GROUP)", e.pos);
    for (OrderItem &o : e.within->order)
      bindValue(*o.expr, scope, argCtx);
  }
  e.sqlName = "ora_" + std::string(name);
  for (char &c : e.sqlName)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  FnCall call{e, name, n, FReadLiterals};
  typeChoiceFunction(call) || typeConversionFunction(call) || typeTextFunction(call) ||
      typeNumberFunction(call) || typeDateFunction(call) || typeAggregateFunction(call) ||
      typeLobFunction(call) || typeDatetimeFunction(call);
  lobResult(call);
  for (int i = 0; i < call.n && i < static_cast<int>(e.argTargets.size()); ++i)
    checkConvertible(call.arg(i).type, e.argTargets[static_cast<size_t>(i)],
                     e.args[static_cast<size_t>(i)]->pos);
  if (e.type.type == SqlType::Unknown)
    e.type = textResult(2000);
}

void Binder::bindExpr(Expr &e, Scope *scope, unsigned ctx) {
  const SqlType N = SqlType::Number, V = SqlType::Varchar2;
  switch (e.kind) {
  case ExprKind::Null:
    e.type = TypeInfo();
    return;
  case ExprKind::Number: {
    if (FSelectList && e.literal)
      FReadLiterals.push_back(e.pos);
    // A literal beyond NUMBER's range is an error, never a NULL or an infinity.
    if (!parseNumber(e.text))
      fail(1426, e.pos);
    e.type = typeOf(N);
    e.type.nullable = false;
    return;
  }
  case ExprKind::String:
    if (FSelectList && e.literal)
      FReadLiterals.push_back(e.pos);
    e.type = typeOf(SqlType::Char, static_cast<int>(e.text.size()));
    e.type.nullable = false;
    if (e.text.size() > 2000)
      fail(1704, e.pos);
    return;
  case ExprKind::Bind:
    if (std::find(FBindNames.begin(), FBindNames.end(), e.text) == FBindNames.end())
      FBindNames.push_back(e.text);
    e.type = TypeInfo();
    return;
  case ExprKind::Column:
    bindColumn(e, scope, ctx);
    return;
  case ExprKind::Star:
    fail(936, e.pos);
  case ExprKind::Pseudo:
    bindPseudo(e, scope, ctx);
    return;
  case ExprKind::Sequence:
    bindSequence(e, ctx);
    return;
  case ExprKind::Unary:
    bindValue(*e.args[0], scope, ctx);
    if (isIntervalType(e.args[0]->type.type)) { // an interval negated: the same interval type
      e.argTargets = {e.args[0]->type.type};
      e.type = e.args[0]->type;
      return;
    }
    checkConvertible(e.args[0]->type.type, N, e.args[0]->pos);
    e.argTargets = {N};
    e.type = typeOf(N);
    return;
  case ExprKind::Binary:
    bindOperator(e, scope, ctx);
    return;
  case ExprKind::Compare:
    bindComparison(e, scope, ctx);
    return;
  case ExprKind::And:
  case ExprKind::Or:
    bindCondition(*e.args[0], scope, ctx);
    bindCondition(*e.args[1], scope, ctx);
    e.isCondition = true;
    return;
  case ExprKind::Not:
    bindCondition(*e.args[0], scope, ctx & ~static_cast<unsigned>(AllowOuterMark));
    e.isCondition = true;
    return;
  case ExprKind::IsNull:
    bindValue(*e.args[0], scope, ctx);
    e.isCondition = true;
    return;
  case ExprKind::Like:
    for (auto &a : e.args)
      bindValue(*a, scope, ctx);
    e.argTargets.assign(e.args.size(), V);
    for (auto &a : e.args)
      checkConvertible(a->type.type, V, a->pos);
    e.isCondition = true;
    return;
  case ExprKind::Between: {
    for (auto &a : e.args)
      bindValue(*a, scope, ctx);
    SqlType t = compareType(e.args[0]->type.type, e.args[1]->type.type, e.pos);
    t = compareType(t, e.args[2]->type.type, e.pos);
    e.argTargets.assign(3, t);
    e.isCondition = true;
    return;
  }
  case ExprKind::In:
    bindIn(e, scope, ctx);
    return;
  case ExprKind::Exists:
    bindSubquery(*e.query, scope, scope ? scope->depth + 1 : 1);
    e.isCondition = true;
    return;
  case ExprKind::Subquery:
    bindSubquery(*e.query, scope, scope ? scope->depth + 1 : 1);
    if (e.query->columns.size() != 1)
      fail(913, e.query->pos);
    e.type = e.query->columns[0]->expr->type;
    e.type.nullable = true;
    return;
  case ExprKind::List:
    for (auto &a : e.args)
      bindValue(*a, scope, ctx);
    return;
  case ExprKind::Function:
    bindFunction(e, scope, ctx);
    return;
  case ExprKind::Case:
    bindCase(e, scope, ctx);
    return;
  case ExprKind::Cast:
    bindValue(*e.args[0], scope, ctx);
    checkConvertible(e.args[0]->type.type, e.castTo.type, e.args[0]->pos);
    e.type = e.castTo;
    e.type.nullable = true;
    return;
  case ExprKind::Prior:
    if (!(ctx & AllowPrior) || (ctx & InPrior))
      fail(976, e.pos);
    bindValue(*e.args[0], scope, (ctx | InPrior) & ~static_cast<unsigned>(AllowPrior));
    e.type = e.args[0]->type;
    return;
  }
}

// CASE: the WHEN values of a simple CASE compare with its operand as = would; every result
// (THEN and ELSE) is of one type family, the first typed one's (ORA-00932 otherwise).
void Binder::bindCase(Expr &e, Scope *scope, unsigned ctx) {
  size_t first = e.caseOperand ? 1 : 0;
  size_t results = e.args.size() - (e.caseElse ? 1 : 0);
  SqlType compare = SqlType::Unknown;
  if (e.caseOperand) {
    bindValue(*e.args[0], scope, ctx);
    compare = e.args[0]->type.type;
  }
  SqlType result = SqlType::Unknown;
  int length = 0;
  auto bindResult = [&](Expr &r) {
    bindValue(r, scope, ctx);
    SqlType t = r.type.type;
    if (result == SqlType::Unknown)
      result = t;
    else if (t != SqlType::Unknown && !sameTypeGroup(result, t))
      fail(932, r.pos);
    length = std::max(length, textLength(r.type));
  };
  for (size_t i = first; i + 1 < results; i += 2) {
    if (e.caseOperand) {
      bindValue(*e.args[i], scope, ctx);
      compare = compareType(compare, e.args[i]->type.type, e.args[i]->pos);
    } else {
      bindCondition(*e.args[i], scope, ctx);
    }
    bindResult(*e.args[i + 1]);
  }
  if (e.caseElse)
    bindResult(*e.args.back());
  if (result == SqlType::Char || result == SqlType::Unknown)
    result = SqlType::Varchar2;
  e.argTargets.assign(e.args.size(), result);
  if (e.caseOperand) {
    e.argTargets[0] = compare; // the operand and each WHEN value
    for (size_t i = first; i + 1 < results; i += 2)
      e.argTargets[i] = compare;
  } else {
    for (size_t i = first; i + 1 < results; i += 2)
      e.argTargets[i] = SqlType::Unknown; // conditions
  }
  e.type = result == SqlType::Varchar2 ? textResult(length ? length : 1) : typeOf(result);
}

void Binder::bindPseudo(Expr &e, Scope *scope, unsigned ctx) {
  if (e.text == "SYSDATE") {
    e.type = typeOf(SqlType::Date);
  } else if (e.text == "USER") {
    e.type = typeOf(SqlType::Varchar2, 30);
  } else if (e.text == "UID") {
    e.type = typeOf(SqlType::Number);
  } else if (e.text == "ROWNUM") {
    if (!(ctx & AllowRownum))
      throw oraErrorText(3001, "unimplemented feature (ROWNUM here)", e.pos);
    e.type = typeOf(SqlType::Number);
  } else if (e.text == "LEVEL") {
    // LEVEL belongs to the nearest query block with CONNECT BY.
    Scope *s = scope;
    if (!s || !s->block || !s->block->connectBy)
      fail(1788, e.pos);
    e.table = s->tables[0];
    e.type = typeOf(SqlType::Number);
  } else {
    throw oraErrorText(3001, "unimplemented feature (" + e.text + ")", e.pos);
  }
  e.type.nullable = false;
}

void Binder::bindSequence(Expr &e, unsigned ctx) {
  if (!(ctx & AllowSequence))
    fail(2287, e.pos);
  auto o = findObject(e.names);
  if (!o || o->type != "SEQUENCE")
    fail(2289, e.pos);
  if (o->owner != FDefaultOwner) { // a table's own default reads with its owner's rights
    ObjectPrivileges p = privilegesOn(o->owner, o->name);
    if (!p.any())
      fail(2289, e.pos);
    if (!p.has("SELECT"))
      fail(1031, e.pos);
  }
  e.names = {o->owner, o->name};
  e.type = typeOf(SqlType::Number);
  e.type.nullable = false;
}

namespace {

// Arithmetic with a timestamp or an interval, as Oracle types it: datetime - datetime is an
// INTERVAL DAY TO SECOND, a datetime moved by an interval keeps its type, intervals add to
// their own kind and scale by numbers, and a timestamp with a number is DATE arithmetic.
// Anything else is ORA-00932.
void bindDatetimeArithmetic(Expr &e) {
  const TypeInfo ta = e.args[0]->type, tb = e.args[1]->type;
  SqlType a = ta.type, b = tb.type;
  const std::string &op = e.text;
  const bool plusMinus = op == "+" || op == "-";
  auto datetime = [](SqlType t) { return t == SqlType::Date || isTimestampType(t); };
  auto number = [](SqlType t) { return t == SqlType::Number || t == SqlType::Unknown; };
  auto bad = [&]() { fail(932, e.pos); };
  e.sqlName = "ora_dt_arith";
  if (isIntervalType(a) && isIntervalType(b)) {
    if (a != b || !plusMinus)
      bad();
    e.type = datetimeType(a, a == SqlType::IntervalDS ? 9 : 0, 9);
  } else if (isIntervalType(a) || isIntervalType(b)) {
    const bool first = isIntervalType(a);
    const SqlType other = first ? b : a;
    const TypeInfo &otherInfo = first ? tb : ta;
    if (number(other)) {
      if (!(op == "*" || (op == "/" && first)))
        bad();
      (first ? b : a) = SqlType::Number;
      const SqlType iv = first ? a : b;
      e.type = datetimeType(iv, iv == SqlType::IntervalDS ? 9 : 0, 9);
    } else if (datetime(other)) {
      if (!plusMinus || (op == "-" && first))
        bad();
      e.type = otherInfo;
      e.type.nullable = true;
    } else {
      bad();
    }
  } else if (datetime(a) && datetime(b)) {
    if (op != "-")
      bad();
    e.type = datetimeType(SqlType::IntervalDS, 9, 9);
  } else if (plusMinus && (number(b) || (number(a) && op == "+"))) {
    // A timestamp and a number: the timestamp is made a DATE first.
    e.sqlName = "ora_date_add";
    e.argTargets = number(b) ? std::vector<SqlType>{SqlType::Date, SqlType::Number}
                             : std::vector<SqlType>{SqlType::Number, SqlType::Date};
    e.type = typeOf(SqlType::Date);
    return;
  } else {
    bad();
  }
  e.argTargets = {a, b};
}

} // namespace

void Binder::bindOperator(Expr &e, Scope *scope, unsigned ctx) {
  bindValue(*e.args[0], scope, ctx);
  bindValue(*e.args[1], scope, ctx);
  SqlType a = e.args[0]->type.type, b = e.args[1]->type.type;
  if (e.text == "||") {
    if (a == SqlType::Long || b == SqlType::Long)
      fail(997, e.pos);
    e.argTargets = {SqlType::Varchar2, SqlType::Varchar2};
    e.type = typeOf(
        SqlType::Varchar2,
        std::min(2000, std::max(1, textLength(e.args[0]->type) + textLength(e.args[1]->type))));
    if (a == SqlType::Clob || b == SqlType::Clob)
      e.type = typeOf(SqlType::Clob, 4000);
    return;
  }
  for (int i = 0; i < 2; ++i) {
    SqlType t = e.args[i]->type.type;
    if (t == SqlType::Raw || t == SqlType::LongRaw || t == SqlType::Rowid || t == SqlType::Long)
      fail(932, e.args[i]->pos);
  }
  if (isTimestampType(a) || isTimestampType(b) || isIntervalType(a) || isIntervalType(b)) {
    bindDatetimeArithmetic(e);
  } else if (a == SqlType::Date && b == SqlType::Date) {
    if (e.text != "-")
      fail(e.text == "+" ? 975 : 932, e.pos);
    e.argTargets = {SqlType::Date, SqlType::Date};
    e.sqlName = "ora_date_diff";
    e.type = typeOf(SqlType::Number);
  } else if (a == SqlType::Date || b == SqlType::Date) {
    if (e.text == "*" || e.text == "/" || (b == SqlType::Date && e.text == "-"))
      fail(932, e.pos);
    e.argTargets = a == SqlType::Date ? std::vector<SqlType>{SqlType::Date, SqlType::Number}
                                      : std::vector<SqlType>{SqlType::Number, SqlType::Date};
    e.sqlName = "ora_date_add";
    e.type = typeOf(SqlType::Date);
  } else {
    e.argTargets = {SqlType::Number, SqlType::Number};
    e.type = typeOf(SqlType::Number);
  }
}

void Binder::bindComparison(Expr &e, Scope *scope, unsigned ctx) {
  bindValue(*e.args[0], scope, ctx);
  if (e.query) {
    bindSubquery(*e.query, scope, scope ? scope->depth + 1 : 1);
    if (e.query->columns.size() != 1)
      fail(913, e.query->pos);
    SqlType t = compareType(e.args[0]->type.type, e.query->columns[0]->expr->type.type, e.pos);
    e.argTargets = {t};
  } else {
    for (size_t i = 1; i < e.args.size(); ++i)
      bindValue(*e.args[i], scope, ctx);
    bool rowValue = e.args[0]->kind == ExprKind::List;
    if (rowValue) {
      fail(920, e.pos);
    }
    SqlType t = e.args[0]->type.type;
    for (size_t i = 1; i < e.args.size(); ++i)
      t = compareType(t, e.args[i]->type.type, e.pos);
    if (e.args.size() == 2 && e.args[0]->type.type == SqlType::Char &&
        e.args[1]->type.type == SqlType::Char)
      t = SqlType::Char;
    e.argTargets.assign(e.args.size(), t);
  }
  e.isCondition = true;
}

void Binder::bindIn(Expr &e, Scope *scope, unsigned ctx) {
  Expr &value = *e.args[0];
  if (value.kind == ExprKind::List)
    for (auto &a : value.args)
      bindValue(*a, scope, ctx);
  else
    bindValue(value, scope, ctx);
  size_t width = value.kind == ExprKind::List ? value.args.size() : 1;
  if (e.query) {
    bindSubquery(*e.query, scope, scope ? scope->depth + 1 : 1);
    if (e.query->columns.size() != width)
      fail(e.query->columns.size() > width ? 913 : 947, e.query->pos);
    for (size_t i = 0; i < width; ++i) {
      SqlType vt = width == 1 ? value.type.type : value.args[i]->type.type;
      compareType(vt, e.query->columns[i]->expr->type.type, e.pos);
    }
  } else {
    for (size_t i = 1; i < e.args.size(); ++i) {
      if (e.args[i]->kind == ExprKind::List)
        for (auto &a : e.args[i]->args)
          bindValue(*a, scope, ctx);
      else
        bindValue(*e.args[i], scope, ctx);
      size_t w = e.args[i]->kind == ExprKind::List ? e.args[i]->args.size() : 1;
      if (w != width)
        fail(w > width ? 913 : 947, e.args[i]->pos);
    }
    if (width == 1) {
      SqlType t = value.type.type;
      for (size_t i = 1; i < e.args.size(); ++i)
        t = compareType(t, e.args[i]->type.type, e.args[i]->pos);
      e.argTargets.assign(e.args.size(), t);
    }
  }
  e.isCondition = true;
}

// ------------------------------------------------------------------ DML

namespace {} // namespace

// A view lends its owner's rights to queries only: a change through it needs the view's owner
// to hold the privilege on what the view is over, and so on down a view over a view. columns:
// positions in the view's select list (INSERT and UPDATE, which may be granted by column), or
// null for a privilege on the whole object. A view over anything but one object (ORA-01732
// follows) passes when its owner holds the privilege in some form.
bool Binder::viewOwnerMay(const std::string &viewOwner, const Select &q,
                          const std::string &privilege, const std::vector<size_t> *columns) {
  const QueryBlock *b = q.block.get();
  if (!b)
    return true;
  for (const auto &base : b->tables) {
    if (base->owner.empty())
      continue; // an inline view: its own tables are checked as views are
    ObjectPrivileges p = objectPrivileges(FDb, viewOwner, base->owner, base->name);
    std::vector<std::string> names;
    std::vector<size_t> below;
    bool simple = b->tables.size() == 1 && columns;
    if (simple)
      for (size_t i : *columns) {
        const Expr *e = i < q.columns.size() ? q.columns[i]->expr.get() : nullptr;
        if (!e || e->kind != ExprKind::Column || e->table != base.get() || e->isRowid)
          continue; // an expression: ORA-01733 follows
        names.push_back(e->column);
        for (size_t k = 0; k < base->columns.size(); ++k)
          if (base->columns[k].name == e->column)
            below.push_back(k);
      }
    bool may = simple ? p.hasColumns(privilege, names)
                      : p.has(privilege) || (columns && p.columns.count(privilege));
    if (!may)
      return false;
    if (base->query &&
        !viewOwnerMay(base->owner, *base->query, privilege, simple ? &below : columns))
      return false;
  }
  return true;
}

// ORA-01031 when a change through a view (t) reaches a table its owner may not change so.
void Binder::checkChangeThroughView(const BoundTable &t, const std::string &privilege,
                                    const std::vector<std::string> *columns, int pos) {
  if (!t.viewQuery)
    return;
  std::vector<size_t> positions;
  if (columns)
    for (const std::string &c : *columns)
      for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].name == c)
          positions.push_back(i);
  if (!viewOwnerMay(t.viewOwner, *t.viewQuery, privilege, columns ? &positions : nullptr))
    fail(1031, pos);
}

// The table a DML statement changes: a stored table, or a view over one stored table whose
// changed columns are plain columns of it. change: INSERT, UPDATE or DELETE.
BoundTable *Binder::dmlTarget(TableRef &ref, const char *change) {
  if (ref.query)
    fail(1732, ref.pos);
  // INSERT and UPDATE may be granted by column: their columns are checked once known.
  bool byColumn = std::strcmp(change, "DELETE") != 0;
  ObjectRef o = resolveTable(ref.name, ref.pos, byColumn ? nullptr : change);
  if (o.type != "TABLE" && o.type != "VIEW")
    fail(942, ref.pos);
  auto t = std::make_unique<BoundTable>();
  t->alias = ref.alias.empty() ? o.name : ref.alias;
  t->sqlAlias = newAlias();
  t->isBase = true;
  t->physical = true;
  if (o.type == "TABLE") {
    t->owner = o.owner;
    t->name = o.name;
    t->columns = columnsOf(o.owner, o.name);
  } else {
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(FDb,
                       "SELECT text, read_only, check_option FROM ora_views WHERE owner = ?1 AND "
                       "view_name = ?2",
                       -1, &st, nullptr);
    sqlite3_bind_text(st, 1, o.owner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, o.name.c_str(), -1, SQLITE_TRANSIENT);
    std::string text;
    bool have = sqlite3_step(st) == SQLITE_ROW, readOnly = false, checkOption = false;
    if (have) {
      text = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
      readOnly = sqlite3_column_int(st, 1) != 0;
      checkOption = sqlite3_column_int(st, 2) != 0;
    }
    sqlite3_finalize(st);
    if (!have)
      fail(1732, ref.pos); // a dictionary view
    if (readOnly)
      fail(1733, ref.pos);
    std::unique_ptr<Select> q;
    size_t schemas = FSchema.size();
    try {
      q = parseQuery(text);
      FSchema.push_back(o.owner);
      bindSelect(*q, nullptr, false, 1);
      FSchema.resize(schemas);
    } catch (const OraError &) {
      FSchema.resize(schemas);
      throw oraErrorArg(4063, o.owner + "." + o.name, ref.pos);
    }
    QueryBlock *b = q->block.get();
    bool simple = b && !b->distinct && !b->aggregated && b->groupBy.empty() && !b->connectBy &&
                  b->tables.size() == 1 && b->tables[0]->isBase && !b->tables[0]->query &&
                  b->limitFilters.empty() && b->countedFilters.empty() && b->counter < 0 &&
                  q->orderBy.empty();
    if (!simple) {
      // Which columns change is not known yet: any form of the privilege lets ORA-01732 say
      // why the change cannot be.
      std::vector<size_t> none;
      if (!viewOwnerMay(o.owner, *q, change, byColumn ? &none : nullptr))
        fail(1031, ref.pos);
      fail(1732, ref.pos);
    }
    BoundTable *base = b->tables[0].get();
    base->sqlAlias = t->sqlAlias; // the view's WHERE reads the row being changed
    t->viewOwner = o.owner;
    t->viewName = o.name;
    t->owner = base->owner;
    t->name = base->name;
    auto names = columnsOf(o.owner, o.name);
    for (size_t i = 0; i < q->columns.size(); ++i) {
      const Expr &e = *q->columns[i]->expr;
      ColumnInfo c = i < names.size() ? names[i] : ColumnInfo();
      bool plain = e.kind == ExprKind::Column && e.table == base && !e.isRowid;
      t->baseColumns.push_back(plain ? e.column : "");
      if (plain)
        for (const ColumnInfo &bc : base->columns)
          if (bc.name == e.column) {
            std::string viewName = c.name;
            c = bc;
            c.name = viewName;
          }
      t->columns.push_back(c);
    }
    t->viewWhere = b->where.get();
    t->checkOption = checkOption;
    t->viewQuery = q.get();
    FViewQueries.push_back(std::move(q));
  }
  ref.bound = t.get();
  FDmlTables.push_back(std::move(t));
  return FDmlTables.back().get();
}

// A column a DML statement sets must be a plain column of the table behind the view.
void Binder::checkChangeable(const BoundTable &t, const std::string &column, int pos) {
  if (t.baseColumns.empty())
    return;
  for (size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].name == column && t.baseColumns[i].empty())
      fail(1733, pos);
}

void Binder::bindInsert(InsertStmt &s) {
  BoundTable *t = dmlTarget(s.table, "INSERT");
  std::set<std::string> seen;
  for (size_t i = 0; i < s.columns.size(); ++i) {
    bool exists = std::any_of(t->columns.begin(), t->columns.end(),
                              [&](const ColumnInfo &c) { return c.name == s.columns[i]; });
    if (!exists)
      fail(904, s.columnPos[i]);
    if (!seen.insert(s.columns[i]).second)
      fail(957, s.columnPos[i]);
    checkChangeable(*t, s.columns[i], s.columnPos[i]);
  }
  if (s.columns.empty())
    for (const ColumnInfo &c : t->columns) {
      if (c.generated == "VIRTUAL")
        continue; // computed, never given
      checkChangeable(*t, c.name, s.table.pos);
      s.columns.push_back(c.name);
    }
  for (size_t i = 0; i < s.columns.size(); ++i) {
    if (generatedAlways(*t, s.columns[i]))
      fail(32795, i < s.columnPos.size() ? s.columnPos[i] : s.table.pos);
    if (isVirtual(*t, s.columns[i]))
      fail(54013, i < s.columnPos.size() ? s.columnPos[i] : s.table.pos);
  }
  {
    auto o = findObject(s.table.name);
    checkPrivilege(o->owner, o->name, "INSERT", s.columns, s.table.pos);
    checkChangeThroughView(*t, "INSERT", &s.columns, s.table.pos);
  }
  if (s.query) {
    bindSelect(*s.query, nullptr, true, 1);
    if (s.query->columns.size() < s.columns.size())
      fail(947, s.query->pos);
    if (s.query->columns.size() > s.columns.size())
      fail(913, s.query->columns[s.columns.size()]->pos);
  } else {
    if (s.values.size() < s.columns.size())
      fail(947, s.values.empty() ? s.pos : s.values.back()->pos);
    if (s.values.size() > s.columns.size())
      fail(913, s.values[s.columns.size()]->pos);
    for (auto &v : s.values)
      bindValue(*v, nullptr, AllowSequence);
  }
  bindReturning(s.returning, t);
}

void Binder::bindUpdate(UpdateStmt &s) {
  BoundTable *t = dmlTarget(s.table, "UPDATE");
  Scope scope;
  scope.tables = {t};
  scope.depth = 0;
  std::set<std::string> seen;
  for (Assignment &a : s.sets) {
    for (size_t i = 0; i < a.columns.size(); ++i) {
      bool exists = std::any_of(t->columns.begin(), t->columns.end(),
                                [&](const ColumnInfo &c) { return c.name == a.columns[i]; });
      if (!exists)
        fail(904, a.columnPos[i]);
      if (!seen.insert(a.columns[i]).second)
        fail(957, a.columnPos[i]);
      checkChangeable(*t, a.columns[i], a.columnPos[i]);
      if (generatedAlways(*t, a.columns[i]))
        fail(32796, a.columnPos[i]);
      if (isVirtual(*t, a.columns[i]))
        fail(54017, a.columnPos[i]);
    }
    if (a.columns.size() > 1) {
      bindSubquery(*a.value->query, &scope, 1);
      if (a.value->query->columns.size() != a.columns.size())
        fail(a.value->query->columns.size() > a.columns.size() ? 913 : 947, a.value->pos);
    } else {
      bindValue(*a.value, &scope, AllowColumns | AllowSequence);
    }
  }
  {
    auto o = findObject(s.table.name);
    std::vector<std::string> changed;
    for (Assignment &a : s.sets)
      changed.insert(changed.end(), a.columns.begin(), a.columns.end());
    checkPrivilege(o->owner, o->name, "UPDATE", changed, s.table.pos);
    checkChangeThroughView(*t, "UPDATE", &changed, s.table.pos);
  }
  if (s.where)
    bindCondition(*s.where, &scope, AllowColumns);
  bindReturning(s.returning, t);
}

void Binder::bindDelete(DeleteStmt &s) {
  BoundTable *t = dmlTarget(s.table, "DELETE");
  checkChangeThroughView(*t, "DELETE", nullptr, s.table.pos);
  Scope scope;
  scope.tables = {t};
  if (s.where)
    bindCondition(*s.where, &scope, AllowColumns);
  bindReturning(s.returning, t);
}

// The values a changed row gives back: over the changed table's columns only.
void Binder::bindReturning(Returning &r, BoundTable *t) {
  if (r.exprs.empty())
    return;
  Scope scope;
  scope.tables = {t};
  for (auto &e : r.exprs) {
    bindValue(*e, &scope, AllowColumns);
    if (e->type.type == SqlType::Long || e->type.type == SqlType::LongRaw)
      fail(997, e->pos);
  }
  if (!r.into.empty() && r.into.size() != r.exprs.size())
    fail(r.into.size() < r.exprs.size() ? 947 : 913,
         r.into.size() < r.exprs.size() ? r.intoPos.back() : r.intoPos[r.exprs.size()]);
}

void Binder::bindCheck(Expr &e, const std::string &owner, const std::string &table,
                       const std::vector<ColumnInfo> &columns) {
  bindRowExpression(e, owner, table, columns, true);
}

void Binder::bindIndexExpression(Expr &e, const std::string &owner, const std::string &table,
                                 const std::vector<ColumnInfo> &columns) {
  bindRowExpression(e, owner, table, columns, false);
}

// What a CHECK condition or an index expression may read: the row's columns and constants, no
// SYSDATE, USER, sequences, binds or subqueries.
void Binder::bindRowExpression(Expr &e, const std::string &owner, const std::string &table,
                               const std::vector<ColumnInfo> &columns, bool condition) {
  int impure = condition ? 2436 : 1743;
  auto t = std::make_unique<BoundTable>();
  t->owner = owner;
  t->name = table;
  t->alias = table;
  t->sqlAlias = "NEW";
  t->columns = columns;
  t->physical = true;
  Scope scope;
  scope.tables = {t.get()};
  auto check = [&](auto &&self, Expr &x) -> void {
    if (x.kind == ExprKind::Pseudo || x.kind == ExprKind::Sequence || x.kind == ExprKind::Bind)
      fail(impure, x.pos);
    if (x.query)
      fail(condition ? 2251 : 22818, x.query->pos);
    for (auto &a : x.args)
      self(self, *a);
  };
  check(check, e);
  if (condition)
    bindCondition(e, &scope, AllowColumns);
  else
    bindValue(e, &scope, AllowColumns);
  FDmlTables.push_back(std::move(t));
}

// At the later language level a default may take a sequence's next value; a table's own
// defaults read the sequences with its owner's rights, as identity columns need.
void Binder::bindDefault(Expr &e, const std::string &tableOwner) {
  FDefaultOwner = tableOwner;
  try {
    bindValue(e, nullptr, FModern ? static_cast<unsigned>(AllowSequence) : 0u);
  } catch (...) {
    FDefaultOwner.clear();
    throw;
  }
  FDefaultOwner.clear();
}

std::vector<const Expr *> Binder::bindInsertDefaults(const InsertStmt &s,
                                                     std::vector<ExprPtr> &keep) {
  std::vector<const Expr *> defaults;
  const BoundTable &t = *s.table.bound;
  for (const ColumnInfo &c : t.columns) {
    const Expr *d = nullptr;
    bool named = std::find(s.columns.begin(), s.columns.end(), c.name) != s.columns.end();
    bool onNull =
        c.generated.size() >= 7 && c.generated.compare(c.generated.size() - 7, 7, "ON NULL") == 0;
    if (!c.defaultText.empty() && (!named || onNull) && c.generated != "VIRTUAL") {
      ExprPtr e = parseCondition(c.defaultText);
      bindDefault(*e, t.owner);
      d = e.get();
      keep.push_back(std::move(e));
    }
    defaults.push_back(d);
  }
  return defaults;
}

bool Binder::isVirtual(const BoundTable &t, const std::string &column) {
  for (const ColumnInfo &c : t.columns)
    if (c.name == column)
      return c.generated == "VIRTUAL";
  return false;
}

bool Binder::generatedAlways(const BoundTable &t, const std::string &column) {
  for (const ColumnInfo &c : t.columns)
    if (c.name == column)
      return c.generated == "ALWAYS";
  return false;
}

} // namespace localdb
