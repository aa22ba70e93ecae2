// The DDL executor: each statement is a set of catalog rows and SQLite schema changes.
#include "localdb/catalog/Ddl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/server/Server.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlParser.h"

namespace localdb {

namespace {

[[noreturn]] void fail(int code, int pos = -1) { throw oraError(code, pos); }

// ---- small catalog queries
struct Query {
  sqlite3_stmt *st = nullptr;
  Query(sqlite3 *db, const std::string &sql, std::initializer_list<std::string> args = {}) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
      throw oraErrorText(600, std::string("internal error code, arguments: [catalog], [") +
                                  sqlite3_errmsg(db) + "]");
    int i = 1;
    for (const std::string &a : args)
      sqlite3_bind_text(st, i++, a.c_str(), -1, SQLITE_TRANSIENT);
  }
  ~Query() { sqlite3_finalize(st); }
  bool next() { return sqlite3_step(st) == SQLITE_ROW; }
  std::string text(int i) {
    const unsigned char *t = sqlite3_column_text(st, i);
    return t ? reinterpret_cast<const char *>(t) : "";
  }
  int64_t integer(int i) { return sqlite3_column_int64(st, i); }
};

bool exists(sqlite3 *db, const std::string &sql, std::initializer_list<std::string> args) {
  Query q(db, sql, args);
  return q.next();
}

std::vector<std::string> column(sqlite3 *db, const std::string &sql,
                                std::initializer_list<std::string> args) {
  Query q(db, sql, args);
  std::vector<std::string> out;
  while (q.next())
    out.push_back(q.text(0));
  return out;
}

std::string q(const std::string &s) { return quoteText(s); }

// Objects of the schema namespace (tables, views, sequences, synonyms) share names.
bool nameUsed(sqlite3 *db, const std::string &owner, const std::string &name) {
  return exists(db,
                "SELECT 1 FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND object_type "
                "IN ('TABLE','VIEW','SEQUENCE','SYNONYM','PROCEDURE','FUNCTION','PACKAGE')",
                {owner, name});
}

std::string objectType(sqlite3 *db, const std::string &owner, const std::string &name) {
  Query qq(db,
           "SELECT object_type FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
           "object_type IN ('TABLE','VIEW','SEQUENCE','SYNONYM')",
           {owner, name});
  return qq.next() ? qq.text(0) : "";
}

void touch(sqlite3 *db, const std::string &owner, const std::string &name) {
  execSql(db, "UPDATE ora_objects SET last_ddl_time = " + q(nowText()) +
                  " WHERE owner = " + q(owner) + " AND object_name = " + q(name));
}

// Creating in another schema takes the DBA's rights.
void checkSchema(const Binder &b, const std::string &owner, int pos) {
  if (owner != b.user() && b.user() != "SYSTEM" && b.user() != "SYS")
    fail(1031, pos);
}

bool tableHasRows(sqlite3 *db, const std::string &owner, const std::string &table,
                  const std::string &where = "1") {
  return exists(db, "SELECT 1 FROM " + physicalName(owner, table) + " WHERE " + where + " LIMIT 1",
                {});
}

struct Context {
  sqlite3 *db;
  Binder binder;
};

// ---- constraints

std::string constraintExists(sqlite3 *db, const std::string &owner, const std::string &name) {
  Query qq(db, "SELECT table_name FROM ora_constraints WHERE owner = ?1 AND constraint_name = ?2",
           {owner, name});
  return qq.next() ? qq.text(0) : "";
}

ConstraintDef loadConstraint(sqlite3 *db, const std::string &owner, const std::string &name) {
  Query qq(db,
           "SELECT constraint_type, table_name, ifnull(search_condition,''), "
           "ifnull(sqlite_condition,''), ifnull(r_owner,''), ifnull(r_constraint_name,''), "
           "ifnull(delete_rule,''), status, generated FROM ora_constraints WHERE owner = ?1 AND "
           "constraint_name = ?2",
           {owner, name});
  ConstraintDef c;
  if (!qq.next())
    return c;
  c.owner = owner;
  c.name = name;
  c.type = qq.text(0)[0];
  c.table = qq.text(1);
  c.searchCondition = qq.text(2);
  c.sqliteCondition = qq.text(3);
  c.rOwner = qq.text(4);
  c.rName = qq.text(5);
  c.cascade = qq.text(6) == "CASCADE";
  c.enabled = qq.text(7) == "ENABLED";
  c.generatedName = qq.text(8) == "GENERATED NAME";
  c.columns = column(db,
                     "SELECT column_name FROM ora_cons_columns WHERE owner = ?1 AND "
                     "constraint_name = ?2 ORDER BY position",
                     {owner, name});
  return c;
}

bool isNotNullCheck(const ConstraintDef &c) {
  return c.type == 'C' && c.sqliteCondition.empty() && c.columns.size() == 1 &&
         c.searchCondition == quoteIdent(c.columns[0]) + " IS NOT NULL";
}

// Foreign keys that reference a key.
std::vector<std::pair<std::string, std::string>> referencing(sqlite3 *db, const std::string &owner,
                                                             const std::string &key) {
  Query qq(db,
           "SELECT owner, constraint_name FROM ora_constraints WHERE constraint_type = 'R' AND "
           "r_owner = ?1 AND r_constraint_name = ?2",
           {owner, key});
  std::vector<std::pair<std::string, std::string>> out;
  while (qq.next())
    out.push_back({qq.text(0), qq.text(1)});
  return out;
}

void setNullable(sqlite3 *db, const std::string &owner, const std::string &table,
                 const std::string &col, bool nullable) {
  execSql(db, "UPDATE ora_tab_columns SET nullable = " + q(nullable ? "Y" : "N") +
                  " WHERE owner = " + q(owner) + " AND table_name = " + q(table) +
                  " AND column_name = " + q(col));
}

// A column keeps NOT NULL while a primary key or an enabled NOT NULL check holds it.
void refreshNullable(sqlite3 *db, const std::string &owner, const std::string &table) {
  std::vector<ColumnInfo> cols = loadColumns(db, owner, table);
  std::set<std::string> notNull;
  for (const std::string &name : column(db,
                                        "SELECT constraint_name FROM ora_constraints WHERE owner "
                                        "= ?1 AND table_name = ?2 AND status = 'ENABLED'",
                                        {owner, table})) {
    ConstraintDef c = loadConstraint(db, owner, name);
    if (c.type == 'P' || isNotNullCheck(c))
      for (const std::string &col : c.columns)
        notNull.insert(col);
  }
  for (const ColumnInfo &c : cols)
    if (c.nullable == static_cast<bool>(notNull.count(c.name)))
      setNullable(db, owner, table, c.name, !notNull.count(c.name));
}

void dropConstraintRows(sqlite3 *db, const std::string &owner, const std::string &name) {
  execSql(db, "DELETE FROM ora_constraints WHERE owner = " + q(owner) +
                  " AND constraint_name = " + q(name));
  execSql(db, "DELETE FROM ora_cons_columns WHERE owner = " + q(owner) +
                  " AND constraint_name = " + q(name));
}

// Checks existing rows against a constraint about to be enabled.
// An expression emitted over a row as triggers read it (NEW."COL") read over the table itself.
std::string rowExpression(const std::string &sql) {
  std::string plain;
  for (size_t i = 0; i < sql.size();) {
    if (sql.compare(i, 4, "NEW.") == 0 && (i == 0 || !std::isalnum((unsigned char)sql[i - 1]))) {
      i += 4;
      continue;
    }
    plain += sql[i++];
  }
  return plain;
}

void validateConstraint(sqlite3 *db, const ConstraintDef &c) {
  std::string t = physicalName(c.owner, c.table);
  std::string full = c.owner + "." + c.name;
  if (c.type == 'P') {
    for (const std::string &col : c.columns)
      if (tableHasRows(db, c.owner, c.table, quoteIdent(col) + " IS NULL"))
        throw oraErrorArg(2437, full);
  } else if (c.type == 'C' && !c.sqliteCondition.empty()) {
    if (tableHasRows(db, c.owner, c.table, "NOT (" + rowExpression(c.sqliteCondition) + ")"))
      throw oraErrorArg(2293, full);
  } else if (isNotNullCheck(c)) {
    if (tableHasRows(db, c.owner, c.table, quoteIdent(c.columns[0]) + " IS NULL"))
      throw oraErrorArg(2296, full);
  } else if (c.type == 'R') {
    ConstraintDef parent = loadConstraint(db, c.rOwner, c.rName);
    std::string cond, match;
    for (size_t i = 0; i < c.columns.size(); ++i) {
      cond += (i ? " AND " : "") + std::string("c.") + quoteIdent(c.columns[i]) + " IS NOT NULL";
      match += (i ? " AND " : "") + std::string("p.") + quoteIdent(parent.columns[i]) + " = c." +
               quoteIdent(c.columns[i]);
    }
    if (exists(db,
               "SELECT 1 FROM " + t + " AS c WHERE " + cond + " AND NOT EXISTS (SELECT 1 FROM " +
                   physicalName(parent.owner, parent.table) + " AS p WHERE " + match + ") LIMIT 1",
               {}))
      throw oraErrorArg(2298, full);
  }
}

// Adds the constraints of a CREATE TABLE or ALTER TABLE ADD.
void addConstraints(Context &ctx, const std::string &owner, const std::string &table,
                    std::vector<ConstraintClause> &clauses, bool validate) {
  sqlite3 *db = ctx.db;
  std::vector<ColumnInfo> cols = loadColumns(db, owner, table);
  for (ConstraintClause &cc : clauses) {
    if (cc.type == 'n')
      continue;
    ConstraintDef c;
    c.owner = owner;
    c.table = table;
    c.name = cc.name;
    if (c.name.empty()) {
      c.name = newConstraintName(db);
      c.generatedName = true;
    }
    if (!constraintExists(db, owner, c.name).empty())
      fail(2264, cc.pos);
    c.columns = cc.columns;
    c.enabled = !cc.disabled;
    for (const std::string &col : c.columns)
      if (std::none_of(cols.begin(), cols.end(),
                       [&](const ColumnInfo &x) { return x.name == col; }))
        fail(904, cc.pos);
    if (cc.type == 'N') {
      c.type = 'C';
      c.searchCondition = quoteIdent(cc.columns[0]) + " IS NOT NULL";
    } else if (cc.type == 'P' || cc.type == 'U') {
      c.type = cc.type;
      if (cc.type == 'P' && exists(db,
                                   "SELECT 1 FROM ora_constraints WHERE owner = ?1 AND "
                                   "table_name = ?2 AND constraint_type = 'P'",
                                   {owner, table}))
        fail(2260, cc.pos);
      for (const std::string &k : column(db,
                                         "SELECT constraint_name FROM ora_constraints WHERE owner "
                                         "= ?1 AND table_name = ?2 AND constraint_type IN "
                                         "('P','U')",
                                         {owner, table}))
        if (loadConstraint(db, owner, k).columns == c.columns)
          fail(2261, cc.pos);
    } else if (cc.type == 'R') {
      c.type = 'R';
      c.cascade = cc.cascade;
      ObjectRef parent = ctx.binder.resolveTable(cc.refTable, cc.pos);
      if (parent.type != "TABLE")
        fail(942, cc.pos);
      std::string key;
      for (const std::string &k : column(db,
                                         "SELECT constraint_name FROM ora_constraints WHERE owner "
                                         "= ?1 AND table_name = ?2 AND constraint_type IN "
                                         "('P','U') ORDER BY constraint_type",
                                         {parent.owner, parent.name})) {
        ConstraintDef pk = loadConstraint(db, parent.owner, k);
        if (cc.refColumns.empty() ? pk.type == 'P' : pk.columns == cc.refColumns) {
          key = k;
          break;
        }
      }
      if (key.empty())
        fail(cc.refColumns.empty() ? 2268 : 2270, cc.pos);
      if (loadConstraint(db, parent.owner, key).columns.size() != c.columns.size())
        fail(2270, cc.pos);
      c.rOwner = parent.owner;
      c.rName = key;
    } else {
      c.type = 'C';
      c.searchCondition = cc.checkText;
      ExprPtr cond = parseCondition(cc.checkText);
      try {
        ctx.binder.bindCheck(*cond, owner, table, cols);
      } catch (OraError &e) {
        // The condition was read again on its own: its errors point into the statement.
        if (e.offset >= 0 && cc.check)
          e.offset += cc.check->pos - cond->pos;
        throw;
      }
      Emitter em({}, ctx.binder.user());
      c.sqliteCondition = em.condition(*cond);
    }
    if (validate && c.enabled && !cc.noValidate)
      validateConstraint(db, c);
    addConstraint(db, c);
  }
  refreshNullable(db, owner, table);
  rebuildConstraintTriggers(db, owner, table);
}

// Re-creates a table's SQLite storage from the catalog (after a change of declared types).
bool namesColumn(const std::string &text, const std::string &column);
void bindVirtual(Binder &binder, const std::string &owner, const std::string &table, ColumnInfo &c,
                 const std::vector<ColumnInfo> &cols, bool typed, Expr *parsed, int pos);

void rebuildStorage(sqlite3 *db, const std::string &owner, const std::string &table) {
  std::vector<ColumnInfo> cols = loadColumns(db, owner, table);
  std::string phys = physicalName(owner, table), tmp = quoteIdent("tmp$" + owner + "." + table);
  std::string defs, names;
  Binder binder(db, owner);
  for (ColumnInfo &c : cols) {
    if (c.generated == "VIRTUAL")
      bindVirtual(binder, owner, table, c, cols, true, nullptr, 0);
    defs += (defs.empty() ? "" : ", ") + columnDefinition(c);
    if (c.generated != "VIRTUAL") // computed, not copied
      names += (names.empty() ? "" : ", ") + quoteIdent(c.name);
  }
  // SQLite drops a table's triggers with it; the PL/SQL layer's row trigger hooks come back
  // (the constraint triggers are made again below).
  std::vector<std::string> hooks =
      column(db,
             "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1 AND "
             "substr(name, 1, 4) <> 'ora$' ORDER BY rowid",
             {owner + "." + table});
  // Indexes go with the old table; they come back as they were (on columns or expressions).
  std::vector<std::string> indexes = column(db,
                                            "SELECT sql FROM sqlite_master WHERE type = 'index' "
                                            "AND tbl_name = ?1 AND sql IS NOT NULL ORDER BY rowid",
                                            {owner + "." + table});
  // A global temporary table is rebuilt in this connection's TEMP schema, where it lives.
  execSql(db, (isTemporaryTable(db, owner, table) ? "CREATE TEMP TABLE " : "CREATE TABLE ") + tmp +
                  "(" + defs + ")");
  execSql(db,
          "INSERT INTO " + tmp + "(rowid, " + names + ") SELECT rowid, " + names + " FROM " + phys);
  execSql(db, "DROP TABLE " + phys);
  // Other tables' constraint triggers name the table and are made again below; SQLite would
  // otherwise check them while the name is missing.
  execSql(db, "PRAGMA legacy_alter_table = ON");
  try {
    execSql(db, "ALTER TABLE " + tmp + " RENAME TO " + phys);
  } catch (...) {
    execSql(db, "PRAGMA legacy_alter_table = OFF");
    throw;
  }
  execSql(db, "PRAGMA legacy_alter_table = OFF");
  for (const std::string &sql : hooks)
    execSql(db, sql);
  for (const std::string &sql : indexes)
    execSql(db, sql);
  rebuildConstraintTriggers(db, owner, table);
}

// ---- statements

void sequenceStmt(Context &ctx, SequenceStmt &s);
void dropObject(sqlite3 *db, const std::string &owner, const std::string &name,
                const std::string &type);

// An identity column takes its values from a sequence of its own (ISEQ$$_n, as Oracle names
// them), made with the column's options and dropped with its table; the column is NOT NULL.
const char kIdentityPrefix[] = "ISEQ$$_";

bool isIdentity(const ColumnInfo &c) {
  return c.generated == "ALWAYS" || c.generated.find("BY ") == 0;
}

void makeIdentity(Context &ctx, const std::string &owner, ColumnDef &d, ColumnInfo &c) {
  if (c.type != SqlType::Number)
    fail(30675, d.pos);
  std::vector<std::string> next =
      column(ctx.db, "SELECT ifnull(max(object_id), 0) + 1 FROM ora_objects", {});
  long n = std::atol(next.empty() ? "1" : next[0].c_str());
  while (nameUsed(ctx.db, owner, kIdentityPrefix + std::to_string(n)))
    ++n;
  SequenceStmt seq(StmtKind::CreateSequence);
  seq.pos = d.pos;
  seq.name = {owner, kIdentityPrefix + std::to_string(n)};
  seq.options = d.identityOptions;
  sequenceStmt(ctx, seq);
  c.defaultText = quoteIdent(owner) + "." + quoteIdent(seq.name[1]) + ".NEXTVAL";
  ConstraintClause notNull;
  notNull.pos = d.pos;
  notNull.type = 'N';
  notNull.columns = {d.name};
  d.constraints.push_back(std::move(notNull));
}

// The sequence an identity column's default names.
std::string identitySequence(const ColumnInfo &c) {
  size_t at = c.defaultText.find(std::string("\"") + kIdentityPrefix);
  size_t end = at == std::string::npos ? at : c.defaultText.find('"', at + 1);
  return end == std::string::npos ? std::string() : c.defaultText.substr(at + 1, end - at - 1);
}

// A virtual column: its expression bound over the row's stored columns (another virtual one is
// ORA-54012), written for SQLite, and its type when none was declared.
void bindVirtual(Binder &binder, const std::string &owner, const std::string &table, ColumnInfo &c,
                 const std::vector<ColumnInfo> &cols, bool typed, Expr *parsed, int pos) {
  ExprPtr own;
  Expr *e = parsed;
  if (!e) {
    own = parseCondition(c.defaultText);
    e = own.get();
  }
  std::vector<ColumnInfo> stored;
  for (const ColumnInfo &x : cols)
    if (x.generated != "VIRTUAL")
      stored.push_back(x);
    else if (x.name != c.name && namesColumn(c.defaultText, x.name))
      fail(54012, pos);
  binder.bindIndexExpression(*e, owner, table, stored);
  if (isLob(e->type.type))
    throw oraErrorArg(2327, "LOB", e->pos);
  Emitter em({}, binder.user());
  c.generatedSql = rowExpression(em.condition(*e));
  if (typed)
    return;
  const TypeInfo &t = e->type;
  c.type = t.type == SqlType::Unknown ? SqlType::Varchar2 : t.type;
  c.length = c.type == SqlType::Number ? 22 : c.type == SqlType::Date ? 7 : std::max(1, t.length);
  if (c.type == SqlType::Varchar2 || c.type == SqlType::Char)
    c.length = std::max(1, std::min(t.length ? t.length : 4000, 4000));
  c.precision = c.type == SqlType::Number ? t.precision : -1;
  c.scale = c.type == SqlType::Number ? t.scale : kNoScale;
}

void createTableStmt(Context &ctx, CreateTableStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.ownerOf(s.name), name = s.name.back();
  checkSchema(ctx.binder, owner, s.pos);
  if (nameUsed(db, owner, name))
    fail(955, s.pos);
  std::vector<ColumnInfo> cols;
  std::vector<ConstraintClause> constraints;
  std::unique_ptr<Select> &query = s.asQuery;
  if (query) {
    ctx.binder.bindQuery(*query);
    if (!s.columns.empty() && s.columns.size() != query->columns.size())
      fail(913, s.pos);
    for (size_t i = 0; i < query->columns.size(); ++i) {
      SelectItem &item = *query->columns[i];
      ColumnInfo c;
      c.name = s.columns.empty() ? item.name : s.columns[i].name;
      if (s.columns.empty() && item.alias.empty() && item.expr->kind != ExprKind::Column)
        fail(998, item.pos);
      const TypeInfo &t = item.expr->type;
      c.type = t.type == SqlType::Unknown ? SqlType::Varchar2 : t.type;
      c.length = t.type == SqlType::Number ? 22
                 : t.type == SqlType::Date ? 7
                                           : std::max(1, t.length);
      if (c.type == SqlType::Varchar2 || c.type == SqlType::Char)
        c.length =
            std::max(1, std::min(t.length ? t.length : 2000, c.type == SqlType::Char ? 255 : 2000));
      c.precision = t.type == SqlType::Number ? t.precision : -1;
      c.scale = t.type == SqlType::Number ? t.scale : kNoScale;
      if (isTimestampType(c.type) || isIntervalType(c.type)) {
        c.precision = t.precision;
        c.scale = t.scale;
        fitDatetimeColumn(c);
      }
      c.nullable = true;
      if (!s.columns.empty())
        for (ConstraintClause &cc : s.columns[i].constraints)
          constraints.push_back(std::move(cc));
      cols.push_back(c);
    }
  } else {
    for (ColumnDef &d : s.columns) {
      ColumnInfo c = d.info;
      c.name = d.name;
      if (d.identity)
        makeIdentity(ctx, owner, d, c);
      if (d.defaultExpr) {
        ctx.binder.bindDefault(*d.defaultExpr, owner);
        c.defaultText = d.defaultText;
      }
      if (d.virtualExpr)
        c.defaultText = d.defaultText;
      cols.push_back(c);
      for (ConstraintClause &cc : d.constraints)
        constraints.push_back(std::move(cc));
    }
    for (size_t i = 0; i < s.columns.size(); ++i)
      if (s.columns[i].virtualExpr)
        bindVirtual(ctx.binder, owner, name, cols[i], cols, s.columns[i].haveType,
                    s.columns[i].virtualExpr.get(), s.columns[i].pos);
  }
  std::set<std::string> seen;
  for (size_t i = 0; i < cols.size(); ++i)
    if (!seen.insert(cols[i].name).second)
      fail(957, s.columns.size() > i ? s.columns[i].pos : s.pos);
  for (ConstraintClause &cc : s.constraints)
    constraints.push_back(std::move(cc));
  createTable(db, owner, name, cols, s.temporary);
  if (query) {
    // The rows come from the query bound above, into the new table as its own target.
    BoundTable target;
    target.owner = owner;
    target.name = name;
    target.columns = cols;
    InsertStmt ins;
    ins.table.bound = &target;
    ins.query = std::move(query);
    for (const ColumnInfo &c : cols)
      ins.columns.push_back(c.name);
    if (!ctx.binder.bindNames().empty())
      fail(1036, s.pos);
    Emitter em({}, ctx.binder.user());
    execSql(db, em.insert(ins, {}));
  }
  addConstraints(ctx, owner, name, constraints, query != nullptr);
  if (s.temporary)
    saveTemporaryTable(db, owner, name, s.preserveRows ? "SYS$SESSION" : "SYS$TRANSACTION");
}

// A grant on a view passes on what the view is over: its owner must hold the privilege WITH
// GRANT OPTION on each object of another schema the view (or a view of its own below it) names
// (ORA-01720). refs: what binding the view's query in its owner's schema resolved.
void checkGrantOption(sqlite3 *db, const std::string &viewOwner,
                      const std::vector<Binder::Reference> &refs, const std::string &privilege,
                      int pos) {
  if (viewOwner == "SYS")
    return;
  for (const Binder::Reference &r : refs) {
    const ObjectRef &o = r.object;
    if (r.schema != viewOwner || o.owner == viewOwner)
      continue;
    if (!exists(db,
                "SELECT 1 FROM ora_privs WHERE owner = ?1 AND object_name = ?2 AND grantee IN "
                "(?3, 'PUBLIC') AND privilege = ?4 AND grantable = 'YES'",
                {o.owner, o.name, viewOwner, privilege}))
      throw oraErrorArg(1720, o.owner + "." + o.name, pos);
  }
}

// The privileges granted on an object (by table or by column).
std::vector<std::string> grantedPrivileges(sqlite3 *db, const std::string &owner,
                                           const std::string &name) {
  return column(db,
                "SELECT privilege FROM ora_privs WHERE owner = ?1 AND object_name = ?2 UNION "
                "SELECT privilege FROM ora_col_privs WHERE owner = ?1 AND object_name = ?2",
                {owner, name});
}

void createViewStmt(Context &ctx, CreateViewStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.ownerOf(s.name), name = s.name.back();
  checkSchema(ctx.binder, owner, s.pos);
  std::string type = objectType(db, owner, name);
  if (!type.empty() && !(s.orReplace && type == "VIEW"))
    fail(955, s.pos);
  Binder b(db, ctx.binder.user());
  b.bindQuery(*s.query);
  if (!b.bindNames().empty())
    fail(1036, s.pos);
  if (!s.columns.empty() && s.columns.size() != s.query->columns.size())
    fail(s.columns.size() > s.query->columns.size() ? 1730 : 1731, s.pos);
  std::vector<ColumnInfo> cols;
  std::set<std::string> seen;
  for (size_t i = 0; i < s.query->columns.size(); ++i) {
    SelectItem &item = *s.query->columns[i];
    ColumnInfo c;
    c.name = s.columns.empty() ? item.name : s.columns[i];
    if (s.columns.empty() && item.alias.empty() && item.expr->kind != ExprKind::Column &&
        item.expr->kind != ExprKind::Star)
      fail(998, item.pos);
    if (!seen.insert(c.name).second)
      fail(957, item.pos);
    const TypeInfo &t = item.expr->type;
    c.type = t.type == SqlType::Unknown ? SqlType::Varchar2 : t.type;
    c.length = t.type == SqlType::Number ? 22 : t.type == SqlType::Date ? 7 : t.length;
    c.precision = t.precision;
    c.scale = t.scale;
    fitDatetimeColumn(c);
    c.nullable = t.nullable;
    cols.push_back(c);
  }
  // A view replaced keeps its grants, which then pass on what the new query reads.
  if (type == "VIEW")
    for (const std::string &p : grantedPrivileges(db, owner, name))
      checkGrantOption(db, owner, b.references(), p, s.pos);
  std::string created = nowText();
  if (type == "VIEW") {
    execSql(db, "DELETE FROM ora_views WHERE owner = " + q(owner) + " AND view_name = " + q(name));
    touch(db, owner, name);
  } else {
    addObject(db, owner, name, "VIEW");
  }
  execSql(db, "INSERT INTO ora_views VALUES(" + q(owner) + "," + q(name) + "," + q(s.queryText) +
                  "," + (s.readOnly ? "1" : "0") + "," + (s.checkOption ? "1" : "0") + ")");
  insertColumns(db, owner, name, cols);
}

void createIndexStmt(Context &ctx, CreateIndexStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.ownerOf(s.name), name = s.name.back();
  checkSchema(ctx.binder, owner, s.pos);
  std::vector<std::string> tname = s.table;
  if (tname.size() == 1)
    tname.insert(tname.begin(), owner);
  std::string ttype = objectType(db, tname[0], tname[1]);
  if (ttype != "TABLE")
    fail(942, s.namePos);
  // An index on another schema's table constrains its owner: it takes the INDEX privilege.
  ctx.binder.checkPrivilege(tname[0], tname[1], "INDEX", {}, s.pos);
  if (exists(db, "SELECT 1 FROM ora_indexes WHERE owner = ?1 AND index_name = ?2", {owner, name}))
    fail(955, s.pos);
  std::vector<ColumnInfo> cols = loadColumns(db, tname[0], tname[1]);
  std::string cl;
  bool expressions = false;
  for (size_t i = 0; i < s.columns.size(); ++i) {
    std::string key = quoteIdent(s.columns[i]);
    if (i < s.expressions.size() && s.expressions[i]) {
      ctx.binder.bindIndexExpression(*s.expressions[i], tname[0], tname[1], cols);
      if (isLob(s.expressions[i]->type.type))
        throw oraErrorArg(2327, "LOB", s.expressions[i]->pos);
      Emitter em({}, ctx.binder.user());
      key = "(" + rowExpression(em.condition(*s.expressions[i])) + ")";
      expressions = true;
    } else {
      auto col = std::find_if(cols.begin(), cols.end(),
                              [&](const ColumnInfo &c) { return c.name == s.columns[i]; });
      if (col == cols.end())
        fail(904, s.pos);
      if (isLob(col->type))
        throw oraErrorArg(2327, "LOB", s.pos);
    }
    cl += (i ? ", " : "") + key + (s.desc[i] ? " DESC" : " ASC");
  }
  // An index on expressions is kept by SQLite only when it is unique, which changes what may be
  // stored; otherwise it only speeds reads, and a file whose writes need this server's
  // functions could not be changed by any other tool.
  int rc = expressions && !s.unique
               ? SQLITE_OK
               : sqlite3_exec(db,
                              (std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " +
                               keyIndexName(owner, name) + " ON " +
                               physicalName(tname[0], tname[1]) + "(" + cl + ")")
                                  .c_str(),
                              nullptr, nullptr, nullptr);
  if ((rc & 0xff) == SQLITE_CONSTRAINT)
    fail(1452, s.pos);
  if (rc != SQLITE_OK && std::strstr(sqlite3_errmsg(db), "non-deterministic"))
    fail(1743, s.pos);
  if (rc != SQLITE_OK)
    throw oraErrorText(3001, std::string("unimplemented feature (") + sqlite3_errmsg(db) + ")");
  execSql(db, "INSERT INTO ora_indexes VALUES(" + q(owner) + "," + q(name) + "," + q(tname[0]) +
                  "," + q(tname[1]) + "," + q(s.unique ? "UNIQUE" : "NONUNIQUE") + ",NULL)");
  for (size_t i = 0; i < s.columns.size(); ++i)
    execSql(db, "INSERT INTO ora_ind_columns VALUES(" + q(owner) + "," + q(name) + "," +
                    q(tname[0]) + "," + q(tname[1]) + "," + q(s.columns[i]) + "," +
                    std::to_string(i + 1) + "," + q(s.desc[i] ? "DESC" : "ASC") + ")");
  addObject(db, owner, name, "INDEX");
}

std::string numText(double v) { return formatNumber(numberFromDouble(v).value_or(OraNum{})); }

void sequenceStmt(Context &ctx, SequenceStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.ownerOf(s.name), name = s.name.back();
  checkSchema(ctx.binder, owner, s.pos);
  const SequenceOptions &o = s.options;
  double inc = 1, mn = 1, mx = 1e27, start = 1, last = 1;
  bool cycle = false, order = false;
  long cache = 20;
  if (s.kind == StmtKind::CreateSequence) {
    if (nameUsed(db, owner, name))
      fail(955, s.pos);
    inc = o.haveIncrement ? o.increment : 1;
    mn = inc > 0 ? 1 : -1e26;
    mx = inc > 0 ? 1e27 : -1;
  } else {
    Query qq(db,
             "SELECT increment_by, min_value, max_value, cycle_flag, order_flag, cache_size, "
             "last_number FROM ora_sequences WHERE sequence_owner = ?1 AND sequence_name = ?2",
             {owner, name});
    if (!qq.next())
      fail(2289, s.pos);
    inc = sqlite3_column_double(qq.st, 0);
    mn = sqlite3_column_double(qq.st, 1);
    mx = sqlite3_column_double(qq.st, 2);
    cycle = qq.text(3) == "Y";
    order = qq.text(4) == "Y";
    cache = static_cast<long>(qq.integer(5));
    last = sqlite3_column_double(qq.st, 6);
    if (o.haveIncrement)
      inc = o.increment;
  }
  if (o.haveMin)
    mn = o.minValue;
  if (o.noMin)
    mn = inc > 0 ? 1 : -1e26;
  if (o.haveMax)
    mx = o.maxValue;
  if (o.noMax)
    mx = inc > 0 ? 1e27 : -1;
  if (o.haveCycle)
    cycle = o.cycle;
  if (o.haveOrder)
    order = o.order;
  if (o.haveCache)
    cache = o.cache;
  if (mn >= mx)
    fail(4004, s.pos);
  if (s.kind == StmtKind::CreateSequence) {
    start = o.haveStart ? o.start : (inc > 0 ? mn : mx);
    if (start < mn)
      fail(4006, s.pos);
    if (start > mx)
      fail(4008, s.pos);
    last = start;
    execSql(db, "INSERT INTO ora_sequences VALUES(" + q(owner) + "," + q(name) + "," + numText(mn) +
                    "," + numText(mx) + "," + numText(inc) + "," + q(cycle ? "Y" : "N") + "," +
                    q(order ? "Y" : "N") + "," + std::to_string(cache) + "," + numText(last) + ")");
    addObject(db, owner, name, "SEQUENCE");
  } else {
    execSql(db, "UPDATE ora_sequences SET min_value = " + numText(mn) +
                    ", max_value = " + numText(mx) + ", increment_by = " + numText(inc) +
                    ", cycle_flag = " + q(cycle ? "Y" : "N") + ", order_flag = " +
                    q(order ? "Y" : "N") + ", cache_size = " + std::to_string(cache) +
                    " WHERE sequence_owner = " + q(owner) + " AND sequence_name = " + q(name));
    touch(db, owner, name);
  }
}

void createSynonymStmt(Context &ctx, CreateSynonymStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = s.isPublic ? "PUBLIC" : ctx.binder.ownerOf(s.name);
  std::string name = s.name.back();
  if (s.isPublic && ctx.binder.user() != "SYSTEM" && ctx.binder.user() != "SYS")
    fail(1031, s.pos);
  if (!s.isPublic)
    checkSchema(ctx.binder, owner, s.pos);
  std::string type = objectType(db, owner, name);
  bool replace = s.orReplace && type == "SYNONYM";
  if (!type.empty() && !replace)
    fail(955, s.pos);
  if (s.isPublic &&
      exists(db, "SELECT 1 FROM ora_synonyms WHERE owner = 'PUBLIC' AND synonym_name = ?1",
             {name}) &&
      !s.orReplace)
    fail(955, s.pos);
  std::string towner = s.target.size() > 1 ? s.target[0] : ctx.binder.user();
  std::string tname = s.target.back();
  if (!s.isPublic && towner == owner && tname == name)
    fail(1471, s.pos);
  execSql(db,
          "DELETE FROM ora_synonyms WHERE owner = " + q(owner) + " AND synonym_name = " + q(name));
  execSql(db, "DELETE FROM ora_objects WHERE owner = " + q(owner) +
                  " AND object_name = " + q(name) + " AND object_type = 'SYNONYM'");
  execSql(db, "INSERT INTO ora_synonyms VALUES(" + q(owner) + "," + q(name) + "," + q(towner) +
                  "," + q(tname) + ",NULL)");
  addObject(db, owner, name, "SYNONYM");
}

void dropTable(sqlite3 *db, const std::string &owner, const std::string &name, bool cascade,
               int pos) {
  // Foreign keys of other tables that point here.
  std::vector<std::pair<std::string, std::string>> fks;
  for (const std::string &k : column(db,
                                     "SELECT constraint_name FROM ora_constraints WHERE owner = "
                                     "?1 AND table_name = ?2 AND constraint_type IN ('P','U')",
                                     {owner, name}))
    for (auto &fk : referencing(db, owner, k))
      if (loadConstraint(db, fk.first, fk.second).table != name || fk.first != owner)
        fks.push_back(fk);
  if (!fks.empty() && !cascade)
    fail(2449, pos);
  std::set<std::pair<std::string, std::string>> related;
  for (auto &fk : fks) {
    ConstraintDef c = loadConstraint(db, fk.first, fk.second);
    related.insert({c.owner, c.table});
    dropConstraintRows(db, fk.first, fk.second);
  }
  // Parents of this table's own foreign keys keep triggers that name it.
  Query parents(db,
                "SELECT p.owner, p.table_name FROM ora_constraints c JOIN ora_constraints p ON "
                "p.owner = c.r_owner AND p.constraint_name = c.r_constraint_name WHERE "
                "c.constraint_type = 'R' AND c.owner = ?1 AND c.table_name = ?2",
                {owner, name});
  while (parents.next())
    related.insert({parents.text(0), parents.text(1)});
  execSql(db, "DROP TABLE " + physicalName(owner, name));
  std::string o = q(owner), n = q(name);
  execSql(db, "DELETE FROM ora_temp_tables WHERE owner = " + o + " AND table_name = " + n);
  for (const std::string &k : column(db,
                                     "SELECT constraint_name FROM ora_constraints WHERE owner = "
                                     "?1 AND table_name = ?2",
                                     {owner, name}))
    dropConstraintRows(db, owner, k);
  for (const std::string &ix : column(db,
                                      "SELECT owner || '.' || index_name FROM ora_indexes WHERE "
                                      "table_owner = ?1 AND table_name = ?2",
                                      {owner, name})) {
    size_t dot = ix.find('.');
    execSql(db, "DELETE FROM ora_objects WHERE owner = " + q(ix.substr(0, dot)) +
                    " AND object_name = " + q(ix.substr(dot + 1)) + " AND object_type = 'INDEX'");
  }
  execSql(db, "DELETE FROM ora_indexes WHERE table_owner = " + o + " AND table_name = " + n);
  execSql(db, "DELETE FROM ora_ind_columns WHERE table_owner = " + o + " AND table_name = " + n);
  for (const ColumnInfo &c : loadColumns(db, owner, name))
    if (isIdentity(c) && !identitySequence(c).empty())
      dropObject(db, owner, identitySequence(c), "SEQUENCE");
  execSql(db, "DELETE FROM ora_tab_columns WHERE owner = " + o + " AND table_name = " + n);
  execSql(db, "DELETE FROM ora_comments WHERE owner = " + o + " AND table_name = " + n);
  execSql(db, "DELETE FROM ora_privs WHERE owner = " + o + " AND object_name = " + n);
  execSql(db, "DELETE FROM ora_col_privs WHERE owner = " + o + " AND object_name = " + n);
  execSql(db, "DELETE FROM ora_objects WHERE owner = " + o + " AND object_name = " + n +
                  " AND object_type = 'TABLE'");
  for (auto &r : related)
    rebuildConstraintTriggers(db, r.first, r.second);
}

void dropObject(sqlite3 *db, const std::string &owner, const std::string &name,
                const std::string &type) {
  std::string o = q(owner), n = q(name);
  if (type == "VIEW") {
    execSql(db, "DELETE FROM ora_views WHERE owner = " + o + " AND view_name = " + n);
    execSql(db, "DELETE FROM ora_tab_columns WHERE owner = " + o + " AND table_name = " + n);
    execSql(db, "DELETE FROM ora_comments WHERE owner = " + o + " AND table_name = " + n);
    execSql(db, "DELETE FROM ora_privs WHERE owner = " + o + " AND object_name = " + n);
    execSql(db, "DELETE FROM ora_col_privs WHERE owner = " + o + " AND object_name = " + n);
  } else if (type == "SEQUENCE") {
    execSql(db,
            "DELETE FROM ora_sequences WHERE sequence_owner = " + o + " AND sequence_name = " + n);
    execSql(db, "DELETE FROM ora_privs WHERE owner = " + o + " AND object_name = " + n);
  } else if (type == "SYNONYM") {
    execSql(db, "DELETE FROM ora_synonyms WHERE owner = " + o + " AND synonym_name = " + n);
  }
  execSql(db, "DELETE FROM ora_objects WHERE owner = " + o + " AND object_name = " + n +
                  " AND object_type = " + q(type));
}

void dropStmt(Context &ctx, DropStmt &s) {
  sqlite3 *db = ctx.db;
  std::string name = s.name.back();
  if (s.objectType == "SYNONYM") {
    std::string owner = s.isPublic ? "PUBLIC" : ctx.binder.ownerOf(s.name);
    if (s.isPublic && ctx.binder.user() != "SYSTEM" && ctx.binder.user() != "SYS")
      fail(1031, s.pos);
    if (!exists(db, "SELECT 1 FROM ora_synonyms WHERE owner = ?1 AND synonym_name = ?2",
                {owner, name}))
      fail(s.isPublic ? 1432 : 1434, s.pos);
    if (!s.isPublic)
      checkSchema(ctx.binder, owner, s.pos);
    dropObject(db, owner, name, "SYNONYM");
    return;
  }
  std::string owner = ctx.binder.ownerOf(s.name);
  if (s.objectType == "INDEX") {
    std::string constraint;
    {
      // The catalog read is finished before the DROP: SQLite refuses to drop an index while a
      // statement of the same connection is still reading the schema.
      Query qq(db, "SELECT constraint_name FROM ora_indexes WHERE owner = ?1 AND index_name = ?2",
               {owner, name});
      if (!qq.next())
        fail(1418, s.pos);
      constraint = qq.text(0);
    }
    checkSchema(ctx.binder, owner, s.pos);
    if (!constraint.empty())
      fail(2429, s.pos);
    execSql(db, "DROP INDEX " + keyIndexName(owner, name));
    execSql(db,
            "DELETE FROM ora_indexes WHERE owner = " + q(owner) + " AND index_name = " + q(name));
    execSql(db, "DELETE FROM ora_ind_columns WHERE index_owner = " + q(owner) +
                    " AND index_name = " + q(name));
    execSql(db, "DELETE FROM ora_objects WHERE owner = " + q(owner) +
                    " AND object_name = " + q(name) + " AND object_type = 'INDEX'");
    return;
  }
  std::string type = objectType(db, owner, name);
  if (type != s.objectType) {
    if (s.objectType == "SEQUENCE")
      fail(2289, s.namePos);
    fail(942, s.namePos);
  }
  checkSchema(ctx.binder, owner, s.pos);
  if (type == "TABLE")
    dropTable(db, owner, name, s.cascade, s.pos);
  else
    dropObject(db, owner, name, type);
}

ConstraintDef findKey(Context &ctx, const std::string &owner, const std::string &table,
                      AlterTableStmt &s) {
  sqlite3 *db = ctx.db;
  if (!s.constraintName.empty()) {
    if (constraintExists(db, owner, s.constraintName) != table)
      throw oraErrorArg(s.action == "DROP" ? 2443 : 2431, s.constraintName, s.pos);
    return loadConstraint(db, owner, s.constraintName);
  }
  for (const std::string &k : column(db,
                                     "SELECT constraint_name FROM ora_constraints WHERE owner = "
                                     "?1 AND table_name = ?2 AND constraint_type = ?3",
                                     {owner, table, std::string(1, s.keyType)})) {
    ConstraintDef c = loadConstraint(db, owner, k);
    if (s.keyType == 'P' || c.columns == s.keyColumns)
      return c;
  }
  fail(s.keyType == 'P' ? 2441 : 2442, s.pos);
}

bool isWordChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#';
}

// Whether an expression's text (a CHECK, an indexed expression) names a column: as a word,
// outside quoted text.
bool namesColumn(const std::string &text, const std::string &column) {
  std::string up;
  bool quoted = false;
  for (char c : text) {
    if (c == '\'')
      quoted = !quoted;
    up += quoted ? ' ' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  for (size_t at = up.find(column); at != std::string::npos; at = up.find(column, at + 1))
    if ((at == 0 || !isWordChar(up[at - 1])) &&
        (at + column.size() >= up.size() || !isWordChar(up[at + column.size()])))
      return true;
  return false;
}

// ALTER TABLE ... DROP COLUMN / DROP (...) / SET UNUSED: the columns go with their single-column
// constraints and their indexes; a constraint over a kept column too needs CASCADE CONSTRAINTS.
void dropColumns(Context &ctx, const std::string &owner, const std::string &name,
                 AlterTableStmt &s) {
  sqlite3 *db = ctx.db;
  std::vector<ColumnInfo> cols = loadColumns(db, owner, name);
  std::set<std::string> gone(s.keyColumns.begin(), s.keyColumns.end());
  for (const std::string &c : s.keyColumns)
    if (std::none_of(cols.begin(), cols.end(), [&](const ColumnInfo &x) { return x.name == c; }))
      fail(904, s.pos);
  if (gone.size() >= cols.size())
    fail(12983, s.pos);
  for (const ColumnInfo &v : cols)
    if (v.generated == "VIRTUAL" && !gone.count(v.name))
      for (const std::string &g : gone)
        if (namesColumn(v.defaultText, g))
          fail(54031, s.pos);
  std::set<std::pair<std::string, std::string>> related;
  for (const std::string &k : column(db,
                                     "SELECT constraint_name FROM ora_constraints WHERE owner = "
                                     "?1 AND table_name = ?2",
                                     {owner, name})) {
    ConstraintDef c = loadConstraint(db, owner, k);
    std::vector<std::string> on = c.columns;
    if (c.type == 'C' && !isNotNullCheck(c)) {
      on.clear();
      for (const ColumnInfo &x : cols)
        if (namesColumn(c.searchCondition, x.name))
          on.push_back(x.name);
    }
    size_t dropped = std::count_if(on.begin(), on.end(), [&](auto &x) { return gone.count(x); });
    if (dropped == 0)
      continue;
    if (dropped < on.size() && !s.cascade)
      fail(12991, s.pos);
    auto fks = referencing(db, owner, k);
    if (!fks.empty() && !s.cascade)
      fail(12992, s.pos);
    for (auto &fk : fks) {
      related.insert({fk.first, loadConstraint(db, fk.first, fk.second).table});
      dropConstraintRows(db, fk.first, fk.second);
    }
    dropConstraintRows(db, owner, k);
    if (c.type == 'P' || c.type == 'U') {
      c.enabled = false;
      createKeyIndex(db, c);
    }
  }
  // Indexes over a dropped column, by name or inside an expression.
  for (const std::string &ix : column(db,
                                      "SELECT DISTINCT i.index_name FROM ora_indexes i JOIN "
                                      "ora_ind_columns c ON c.index_owner = i.owner AND "
                                      "c.index_name = i.index_name WHERE i.table_owner = ?1 AND "
                                      "i.table_name = ?2 AND i.constraint_name IS NULL",
                                      {owner, name})) {
    bool hit = false;
    for (const std::string &c : column(db,
                                       "SELECT column_name FROM ora_ind_columns WHERE "
                                       "index_owner = ?1 AND index_name = ?2",
                                       {owner, ix}))
      for (const std::string &g : gone)
        hit = hit || c == g || namesColumn(c, g);
    if (!hit)
      continue;
    execSql(db, "DROP INDEX IF EXISTS " + keyIndexName(owner, ix));
    execSql(db, "DELETE FROM ora_indexes WHERE owner = " + q(owner) + " AND index_name = " + q(ix));
    execSql(db, "DELETE FROM ora_ind_columns WHERE index_owner = " + q(owner) +
                    " AND index_name = " + q(ix));
    execSql(db, "DELETE FROM ora_objects WHERE owner = " + q(owner) +
                    " AND object_name = " + q(ix) + " AND object_type = 'INDEX'");
  }
  std::vector<ColumnInfo> kept;
  for (const ColumnInfo &c : cols) {
    if (!gone.count(c.name)) {
      kept.push_back(c);
      continue;
    }
    if (isIdentity(c) && !identitySequence(c).empty())
      dropObject(db, owner, identitySequence(c), "SEQUENCE");
    execSql(db, "DELETE FROM ora_comments WHERE owner = " + q(owner) +
                    " AND table_name = " + q(name) + " AND column_name = " + q(c.name));
  }
  insertColumns(db, owner, name, kept);
  refreshNullable(db, owner, name);
  rebuildStorage(db, owner, name);
  for (auto &r : related)
    rebuildConstraintTriggers(db, r.first, r.second);
}

// ALTER TABLE ... RENAME COLUMN a TO b: the catalog's names and texts, then SQLite's table with
// its indexes.
void renameColumn(Context &ctx, const std::string &owner, const std::string &name,
                  AlterTableStmt &s) {
  sqlite3 *db = ctx.db;
  const std::string &from = s.keyColumns[0], &to = s.keyColumns[1];
  std::vector<ColumnInfo> cols = loadColumns(db, owner, name);
  if (std::none_of(cols.begin(), cols.end(), [&](const ColumnInfo &x) { return x.name == from; }))
    fail(904, s.pos);
  if (std::any_of(cols.begin(), cols.end(), [&](const ColumnInfo &x) { return x.name == to; }))
    fail(957, s.pos);
  std::string o = q(owner), t = q(name), f = q(from), n = q(to);
  execSql(db, "UPDATE ora_tab_columns SET column_name = " + n + " WHERE owner = " + o +
                  " AND table_name = " + t + " AND column_name = " + f);
  execSql(db, "UPDATE ora_cons_columns SET column_name = " + n + " WHERE owner = " + o +
                  " AND table_name = " + t + " AND column_name = " + f);
  execSql(db, "UPDATE ora_ind_columns SET column_name = " + n + " WHERE table_owner = " + o +
                  " AND table_name = " + t + " AND column_name = " + f);
  execSql(db, "UPDATE ora_comments SET column_name = " + n + " WHERE owner = " + o +
                  " AND table_name = " + t + " AND column_name = " + f);
  // A CHECK's texts name the column too: the Oracle text as a word, the SQLite one quoted.
  Query checks(db,
               "SELECT constraint_name, search_condition, sqlite_condition FROM ora_constraints "
               "WHERE owner = ?1 AND table_name = ?2 AND constraint_type = 'C'",
               {owner, name});
  std::vector<std::vector<std::string>> changed;
  while (checks.next())
    if (namesColumn(checks.text(1), from))
      changed.push_back({checks.text(0), checks.text(1), checks.text(2)});
  for (auto &c : changed) {
    std::string text = c[1], sqliteText = c[2];
    for (size_t at = 0; (at = sqliteText.find(quoteIdent(from), at)) != std::string::npos;)
      sqliteText.replace(at, quoteIdent(from).size(), quoteIdent(to)), at += to.size();
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < text.size();) {
      if (text[i] == '\'')
        quoted = !quoted;
      if (!quoted && strncasecmp(text.c_str() + i, from.c_str(), from.size()) == 0 &&
          (i == 0 || !isWordChar(text[i - 1])) &&
          (i + from.size() >= text.size() || !isWordChar(text[i + from.size()]))) {
        out += to;
        i += from.size();
        continue;
      }
      out += text[i++];
    }
    execSql(db, "UPDATE ora_constraints SET search_condition = " + q(out) +
                    ", sqlite_condition = " + q(sqliteText) + " WHERE owner = " + o +
                    " AND constraint_name = " + q(c[0]));
  }
  execSql(db, "ALTER TABLE " + physicalName(owner, name) + " RENAME COLUMN " + quoteIdent(from) +
                  " TO " + quoteIdent(to));
  rebuildConstraintTriggers(db, owner, name);
}

void alterTableStmt(Context &ctx, AlterTableStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.ownerOf(s.name), name = s.name.back();
  if (objectType(db, owner, name) != "TABLE")
    fail(942, s.namePos);
  checkSchema(ctx.binder, owner, s.pos);
  std::vector<ColumnInfo> cols = loadColumns(db, owner, name);
  std::vector<ConstraintClause> constraints;
  bool storageChanged = false;
  if (s.action == "ADD") {
    bool hasRows = tableHasRows(db, owner, name);
    for (ColumnDef &d : s.columns) {
      if (std::any_of(cols.begin(), cols.end(),
                      [&](const ColumnInfo &c) { return c.name == d.name; }))
        fail(1430, d.pos);
      ColumnInfo c = d.info;
      c.name = d.name;
      if (d.identity)
        makeIdentity(ctx, owner, d, c);
      if (d.defaultExpr) {
        ctx.binder.bindDefault(*d.defaultExpr, owner);
        c.defaultText = d.defaultText;
      }
      for (ConstraintClause &cc : d.constraints) {
        if ((cc.type == 'N' || cc.type == 'P') && hasRows)
          fail(1758, d.pos);
        constraints.push_back(std::move(cc));
      }
      if (d.virtualExpr) {
        c.defaultText = d.defaultText;
        bindVirtual(ctx.binder, owner, name, c, cols, d.haveType, d.virtualExpr.get(), d.pos);
      }
      execSql(db,
              "ALTER TABLE " + physicalName(owner, name) + " ADD COLUMN " + columnDefinition(c));
      cols.push_back(c);
    }
    for (ConstraintClause &cc : s.constraints)
      constraints.push_back(std::move(cc));
    insertColumns(db, owner, name, cols);
    addConstraints(ctx, owner, name, constraints, true);
  } else if (s.action == "MODIFY") {
    for (ColumnDef &d : s.columns) {
      auto it = std::find_if(cols.begin(), cols.end(),
                             [&](const ColumnInfo &c) { return c.name == d.name; });
      if (it == cols.end())
        fail(904, d.pos);
      std::string notEmpty = quoteIdent(d.name) + " IS NOT NULL";
      if (d.haveType) {
        ColumnInfo n = d.info;
        // A LOB column keeps its type; only a LONG (LONG RAW) becomes a CLOB (BLOB).
        if (isLob(it->type) && n.type != it->type)
          fail(22859, d.pos);
        bool longToLob = (it->type == SqlType::Long && n.type == SqlType::Clob) ||
                         (it->type == SqlType::LongRaw && n.type == SqlType::Blob);
        if (isLob(n.type) && n.type != it->type && !longToLob)
          fail(22858, d.pos);
        bool group =
            sameTypeGroup(n.type, it->type) && declaredType(n.type) == declaredType(it->type);
        if (longToLob) {
          // the same text or bytes, now without LONG's restrictions
        } else if (!group || n.type != it->type) {
          if (tableHasRows(db, owner, name, notEmpty))
            fail(1439, d.pos);
          storageChanged = storageChanged || declaredType(n.type) != declaredType(it->type);
        } else if (n.type == SqlType::Number) {
          bool narrower =
              (n.precision >= 0 && (it->precision < 0 || n.precision < it->precision)) ||
              (n.scale != kNoScale && it->scale != kNoScale && n.scale < it->scale) ||
              (n.scale != kNoScale && it->scale == kNoScale);
          if (narrower && tableHasRows(db, owner, name, notEmpty))
            fail(1440, d.pos);
        } else if (n.length < it->length && tableHasRows(db, owner, name, notEmpty)) {
          fail(1441, d.pos);
        }
        it->type = n.type;
        it->national = n.national;
        it->length = n.length;
        it->precision = n.precision;
        it->scale = n.scale;
      }
      if (d.defaultExpr) {
        ctx.binder.bindDefault(*d.defaultExpr, owner);
        it->defaultText = d.defaultText;
        if (!isIdentity(*it))
          it->generated = d.info.generated;
      }
      for (ConstraintClause &cc : d.constraints) {
        if (cc.type == 'N') {
          if (!it->nullable)
            fail(1442, cc.pos);
          if (tableHasRows(db, owner, name, quoteIdent(d.name) + " IS NULL"))
            fail(1449, cc.pos);
          constraints.push_back(std::move(cc));
        } else if (cc.type == 'n') {
          if (it->nullable)
            fail(1451, cc.pos);
          // Drop the NOT NULL checks on the column; a primary key keeps it NOT NULL.
          for (const std::string &k : column(db,
                                             "SELECT constraint_name FROM ora_constraints WHERE "
                                             "owner = ?1 AND table_name = ?2 AND "
                                             "constraint_type = 'C'",
                                             {owner, name})) {
            ConstraintDef c = loadConstraint(db, owner, k);
            if (isNotNullCheck(c) && c.columns[0] == d.name)
              dropConstraintRows(db, owner, k);
          }
          for (const std::string &k : column(db,
                                             "SELECT constraint_name FROM ora_constraints WHERE "
                                             "owner = ?1 AND table_name = ?2 AND "
                                             "constraint_type = 'P'",
                                             {owner, name}))
            if (std::count(loadConstraint(db, owner, k).columns.begin(),
                           loadConstraint(db, owner, k).columns.end(), d.name))
              fail(1451, cc.pos);
        } else {
          constraints.push_back(std::move(cc));
        }
      }
    }
    insertColumns(db, owner, name, cols);
    refreshNullable(db, owner, name);
    if (storageChanged)
      rebuildStorage(db, owner, name);
    addConstraints(ctx, owner, name, constraints, true);
  } else if (s.action == "DROP") {
    ConstraintDef c = findKey(ctx, owner, name, s);
    auto fks = referencing(db, owner, c.name);
    if (!fks.empty() && !s.cascade)
      fail(2273, s.pos);
    std::set<std::pair<std::string, std::string>> related;
    for (auto &fk : fks) {
      related.insert({fk.first, loadConstraint(db, fk.first, fk.second).table});
      dropConstraintRows(db, fk.first, fk.second);
    }
    dropConstraintRows(db, owner, c.name);
    if (c.type == 'P' || c.type == 'U') {
      c.enabled = false;
      createKeyIndex(db, c);
    }
    refreshNullable(db, owner, name);
    rebuildConstraintTriggers(db, owner, name);
    for (auto &r : related)
      rebuildConstraintTriggers(db, r.first, r.second);
  } else if (s.action == "DROP_COLUMNS") {
    dropColumns(ctx, owner, name, s);
  } else if (s.action == "RENAME_COLUMN") {
    renameColumn(ctx, owner, name, s);
  } else if (s.action == "ENABLE" || s.action == "DISABLE") {
    ConstraintDef c = findKey(ctx, owner, name, s);
    bool enable = s.action == "ENABLE";
    if (enable && !c.enabled) {
      c.enabled = true;
      validateConstraint(db, c);
      if (c.type == 'P' || c.type == 'U') {
        try {
          createKeyIndex(db, c);
        } catch (const OraError &) {
          throw oraErrorArg(c.type == 'P' ? 2437 : 2299, owner + "." + c.name, s.pos);
        }
      }
    } else if (!enable && c.enabled) {
      auto fks = referencing(db, owner, c.name);
      for (auto &fk : fks) {
        ConstraintDef f = loadConstraint(db, fk.first, fk.second);
        if (!f.enabled)
          continue;
        if (!s.cascade)
          throw oraErrorArg(2297, owner + "." + c.name, s.pos);
        execSql(db, "UPDATE ora_constraints SET status = 'DISABLED' WHERE owner = " + q(fk.first) +
                        " AND constraint_name = " + q(fk.second));
        rebuildConstraintTriggers(db, f.owner, f.table);
      }
      c.enabled = false;
      if (c.type == 'P' || c.type == 'U')
        createKeyIndex(db, c);
    }
    execSql(db, "UPDATE ora_constraints SET status = " + q(c.enabled ? "ENABLED" : "DISABLED") +
                    " WHERE owner = " + q(owner) + " AND constraint_name = " + q(c.name));
    refreshNullable(db, owner, name);
    rebuildConstraintTriggers(db, owner, name);
  }
  touch(db, owner, name);
}

void commentStmt(Context &ctx, CommentStmt &s) {
  sqlite3 *db = ctx.db;
  std::vector<std::string> t(s.name.begin(), s.name.end() - (s.onColumn ? 1 : 0));
  std::string owner = ctx.binder.ownerOf(t), name = t.back();
  std::string type = objectType(db, owner, name);
  if (type != "TABLE" && type != "VIEW")
    fail(942, s.namePos);
  checkSchema(ctx.binder, owner, s.pos);
  std::string col = s.onColumn ? s.name.back() : "";
  if (s.onColumn) {
    auto cols = loadColumns(db, owner, name);
    if (std::none_of(cols.begin(), cols.end(), [&](const ColumnInfo &c) { return c.name == col; }))
      fail(904, s.pos);
  }
  std::string colCond = s.onColumn ? "column_name = " + q(col) : "column_name IS NULL";
  execSql(db, "DELETE FROM ora_comments WHERE owner = " + q(owner) +
                  " AND table_name = " + q(name) + " AND " + colCond);
  execSql(db, "INSERT INTO ora_comments VALUES(" + q(owner) + "," + q(name) + "," +
                  (s.onColumn ? q(col) : "NULL") + "," + (s.text.empty() ? "NULL" : q(s.text)) +
                  ")");
}

void renameStmt(Context &ctx, RenameStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.user();
  std::string type = objectType(db, owner, s.from);
  if (type.empty())
    fail(942, s.namePos);
  if (nameUsed(db, owner, s.to))
    fail(955, s.pos);
  std::string o = q(owner), from = q(s.from), to = q(s.to);
  if (type == "TABLE") {
    execSql(db, "ALTER TABLE " + physicalName(owner, s.from) + " RENAME TO " +
                    physicalName(owner, s.to));
    for (const char *kind : {"i", "u", "d"})
      execSql(db, "DROP TRIGGER IF EXISTS " +
                      quoteIdent(std::string("ora$") + kind + "$" + owner + "." + s.from));
  }
  for (const char *t : {"ora_tab_columns", "ora_constraints", "ora_cons_columns", "ora_comments"})
    execSql(db, std::string("UPDATE ") + t + " SET table_name = " + to + " WHERE owner = " + o +
                    " AND table_name = " + from);
  execSql(db, "UPDATE ora_indexes SET table_name = " + to + " WHERE table_owner = " + o +
                  " AND table_name = " + from);
  execSql(db, "UPDATE ora_ind_columns SET table_name = " + to + " WHERE table_owner = " + o +
                  " AND table_name = " + from);
  execSql(db, "UPDATE ora_views SET view_name = " + to + " WHERE owner = " + o +
                  " AND view_name = " + from);
  execSql(db, "UPDATE ora_sequences SET sequence_name = " + to + " WHERE sequence_owner = " + o +
                  " AND sequence_name = " + from);
  execSql(db, "UPDATE ora_synonyms SET synonym_name = " + to + " WHERE owner = " + o +
                  " AND synonym_name = " + from);
  execSql(db, "UPDATE ora_privs SET object_name = " + to + " WHERE owner = " + o +
                  " AND object_name = " + from);
  execSql(db, "UPDATE ora_col_privs SET object_name = " + to + " WHERE owner = " + o +
                  " AND object_name = " + from);
  execSql(db, "UPDATE ora_objects SET object_name = " + to + ", last_ddl_time = " + q(nowText()) +
                  " WHERE owner = " + o + " AND object_name = " + from +
                  " AND object_type = " + q(type));
  if (type == "TABLE")
    rebuildConstraintTriggers(db, owner, s.to);
}

void truncateStmt(Context &ctx, TruncateStmt &s) {
  sqlite3 *db = ctx.db;
  std::string owner = ctx.binder.ownerOf(s.name), name = s.name.back();
  if (objectType(db, owner, name) != "TABLE")
    fail(942, s.namePos);
  checkSchema(ctx.binder, owner, s.pos);
  for (const std::string &k : column(db,
                                     "SELECT constraint_name FROM ora_constraints WHERE owner = "
                                     "?1 AND table_name = ?2 AND constraint_type IN ('P','U')",
                                     {owner, name}))
    for (auto &fk : referencing(db, owner, k)) {
      ConstraintDef f = loadConstraint(db, fk.first, fk.second);
      if (f.enabled && !(f.owner == owner && f.table == name))
        fail(2266, s.pos);
    }
  // TRUNCATE fires no triggers: the constraint triggers are set aside for the delete.
  for (const char *kind : {"d"})
    execSql(db, "DROP TRIGGER IF EXISTS " +
                    quoteIdent(std::string("ora$") + kind + "$" + owner + "." + name));
  execSql(db, "DELETE FROM " + physicalName(owner, name));
  rebuildConstraintTriggers(db, owner, name);
}

void userStmt(Context &ctx, UserStmt &s) {
  sqlite3 *db = ctx.db;
  const std::string &me = ctx.binder.user();
  bool dba = me == "SYSTEM" || me == "SYS";
  bool existsUser = exists(db, "SELECT 1 FROM ora_users WHERE username = ?1", {s.name});
  if (s.kind == StmtKind::CreateUser) {
    if (!dba)
      fail(1031, s.pos);
    if (existsUser)
      throw oraErrorArg(1920, s.name, s.pos);
    execSql(db, "INSERT INTO ora_users(username, password, created) VALUES(" + q(s.name) + "," +
                    q(hashPassword(s.password)) + "," + q(nowText()) + ")");
  } else if (s.kind == StmtKind::AlterUser) {
    if (!dba && s.name != me)
      fail(1031, s.pos);
    if (!existsUser)
      throw oraErrorArg(1918, s.name, s.pos);
    if (!s.password.empty())
      execSql(db, "UPDATE ora_users SET password = " + q(hashPassword(s.password)) +
                      " WHERE username = " + q(s.name));
  } else {
    if (!dba)
      fail(1031, s.pos);
    if (!existsUser)
      throw oraErrorArg(1918, s.name, s.pos);
    if (s.name == me)
      fail(1940, s.pos);
    bool owns = exists(db, "SELECT 1 FROM ora_objects WHERE owner = ?1", {s.name});
    if (owns && !s.cascade)
      throw oraErrorArg(1922, s.name, s.pos);
    for (const std::string &t : column(db,
                                       "SELECT object_name FROM ora_objects WHERE owner = ?1 AND "
                                       "object_type = 'TABLE'",
                                       {s.name}))
      if (objectType(db, s.name, t) == "TABLE")
        dropTable(db, s.name, t, true, s.pos);
    Query objs(db, "SELECT object_name, object_type FROM ora_objects WHERE owner = ?1", {s.name});
    std::vector<std::pair<std::string, std::string>> rest;
    while (objs.next())
      rest.push_back({objs.text(0), objs.text(1)});
    for (auto &r : rest)
      if (r.second == "INDEX") {
        execSql(db, "DROP INDEX IF EXISTS " + keyIndexName(s.name, r.first));
        execSql(db, "DELETE FROM ora_indexes WHERE owner = " + q(s.name) +
                        " AND index_name = " + q(r.first));
        execSql(db, "DELETE FROM ora_ind_columns WHERE index_owner = " + q(s.name) +
                        " AND index_name = " + q(r.first));
        execSql(db, "DELETE FROM ora_objects WHERE owner = " + q(s.name) +
                        " AND object_name = " + q(r.first) + " AND object_type = 'INDEX'");
      } else {
        dropObject(db, s.name, r.first, r.second);
      }
    for (const char *t : {"ora_source", "ora_errors", "ora_triggers"})
      execSql(db, std::string("DELETE FROM ") + t + " WHERE owner = " + q(s.name));
    execSql(db, "DELETE FROM ora_privs WHERE grantee = " + q(s.name) + " OR owner = " + q(s.name));
    execSql(db,
            "DELETE FROM ora_col_privs WHERE grantee = " + q(s.name) + " OR owner = " + q(s.name));
    execSql(db, "DELETE FROM ora_users WHERE username = " + q(s.name));
  }
}

void grantStmt(Context &ctx, GrantStmt &s) {
  sqlite3 *db = ctx.db;
  const std::string &me = ctx.binder.user();
  bool dba = isDba(db, me);
  std::vector<std::string> privs;
  std::vector<std::vector<std::string>> privColumns;
  for (size_t i = 0; i < s.privileges.size(); ++i) {
    const std::string &p = s.privileges[i];
    const std::vector<std::string> &cols = s.privilegeColumns[i];
    if (p == "ALL" || p == "ALL PRIVILEGES") {
      for (const char *x :
           {"ALTER", "DELETE", "INDEX", "INSERT", "REFERENCES", "SELECT", "UPDATE"}) {
        privs.push_back(x);
        privColumns.emplace_back();
      }
      continue;
    }
    if (!cols.empty()) {
      if (p != "INSERT" && p != "UPDATE" && p != "REFERENCES")
        fail(905, s.pos);
      // Oracle takes column privileges back only from the whole table.
      if (s.kind == StmtKind::Revoke)
        throw oraErrorText(1750,
                           "UPDATE/REFERENCES may only be REVOKEd from the whole table, not by "
                           "column",
                           s.pos);
    }
    privs.push_back(p);
    privColumns.push_back(cols);
  }
  std::string owner, object;
  // A procedure, function or package has one object privilege: EXECUTE.
  bool unit = false;
  if (!s.object.empty() && s.object.size() <= 2) {
    owner = s.object.size() > 1 ? s.object[0] : me;
    object = s.object.back();
    unit = exists(db,
                  "SELECT 1 FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
                  "object_type IN ('PROCEDURE','FUNCTION','PACKAGE')",
                  {owner, object});
  }
  if (unit) {
    if (owner != me && !dba) {
      if (!objectPrivileges(db, me, owner, object).any())
        fail(942, s.pos);
      fail(1031, s.pos);
    }
    for (size_t i = 0; i < s.privileges.size(); ++i) {
      const std::string &p = s.privileges[i];
      if ((p != "EXECUTE" && p != "ALL" && p != "ALL PRIVILEGES") || !s.privilegeColumns[i].empty())
        throw oraErrorText(2225, "only EXECUTE privilege is valid for procedures", s.pos);
    }
    privs = {"EXECUTE"}; // ALL on a unit is its one privilege
    privColumns = {{}};
  } else if (!s.object.empty()) {
    ObjectRef o = ctx.binder.resolveTable(s.object, s.pos);
    owner = o.owner;
    object = o.name;
    if (owner != me && !dba)
      fail(1031, s.pos);
    for (const std::string &p : privs)
      if (p == "EXECUTE")
        throw oraErrorText(2224, "EXECUTE privilege not allowed for tables", s.pos);
    if (o.type == "VIEW" && s.kind == StmtKind::Grant) {
      Binder vb(db, owner);
      std::unique_ptr<Select> vq;
      try {
        vq = parseQuery(column(db, "SELECT text FROM ora_views WHERE owner = ?1 AND view_name = ?2",
                               {owner, object})
                            .at(0));
        vb.bindQuery(*vq);
      } catch (const std::exception &) {
        throw oraErrorArg(4063, owner + "." + object, s.pos);
      } catch (const OraError &) {
        throw oraErrorArg(4063, owner + "." + object, s.pos);
      }
      for (const std::string &p : privs)
        checkGrantOption(db, owner, vb.references(), p, s.pos);
    }
    std::vector<ColumnInfo> cols = loadColumns(db, owner, object);
    for (const auto &list : privColumns)
      for (const std::string &c : list)
        if (std::none_of(cols.begin(), cols.end(),
                         [&](const ColumnInfo &x) { return x.name == c; }))
          fail(904, s.pos);
  } else if (!dba) {
    fail(1031, s.pos);
  }
  for (const std::string &g : s.grantees) {
    if (g != "PUBLIC" && !exists(db, "SELECT 1 FROM ora_users WHERE username = ?1", {g}) &&
        s.object.empty() == false)
      throw oraErrorArg(1917, g, s.pos);
    if (g == me && !s.object.empty())
      fail(1749, s.pos);
    for (size_t i = 0; i < privs.size(); ++i) {
      const std::string &p = privs[i];
      std::string match =
          "grantee = " + q(g) + " AND privilege = " + q(p) + " AND " +
          (object.empty() ? std::string("object_name IS NULL")
                          : "owner = " + q(owner) + " AND object_name = " + q(object));
      if (s.kind == StmtKind::Grant && !privColumns[i].empty()) {
        for (const std::string &c : privColumns[i]) {
          execSql(db, "DELETE FROM ora_col_privs WHERE " + match + " AND column_name = " + q(c));
          execSql(db, "INSERT INTO ora_col_privs VALUES(" + q(me) + "," + q(g) + "," + q(owner) +
                          "," + q(object) + "," + q(c) + "," + q(p) + "," +
                          q(s.withOption ? "YES" : "NO") + ")");
        }
      } else if (s.kind == StmtKind::Grant) {
        execSql(db, "DELETE FROM ora_privs WHERE " + match);
        execSql(db, "INSERT INTO ora_privs VALUES(" + q(me) + "," + q(g) + "," +
                        (object.empty() ? "NULL" : q(owner)) + "," +
                        (object.empty() ? "NULL" : q(object)) + "," + q(p) + "," +
                        q(s.withOption ? "YES" : "NO") + "," + q(s.text) + ")");
      } else {
        // Revoking a privilege from the table takes back its column grants as well.
        bool granted = exists(db, "SELECT 1 FROM ora_privs WHERE " + match, {});
        if (!object.empty())
          granted = granted || exists(db, "SELECT 1 FROM ora_col_privs WHERE " + match, {});
        if (!granted)
          fail(1927, s.pos);
        execSql(db, "DELETE FROM ora_privs WHERE " + match);
        if (!object.empty())
          execSql(db, "DELETE FROM ora_col_privs WHERE " + match);
      }
    }
  }
}

} // namespace

void executeDdl(sqlite3 *db, const std::string &user, Statement &s) {
  Context ctx{db, Binder(db, user)};
  // A global temporary table named by DDL: this connection's storage of it first, and its
  // changed SQL kept for the other connections after.
  const std::vector<std::string> *table =
      s.kind == StmtKind::CreateIndex  ? &static_cast<CreateIndexStmt &>(s).table
      : s.kind == StmtKind::AlterTable ? &static_cast<AlterTableStmt &>(s).name
      : s.kind == StmtKind::Truncate   ? &static_cast<TruncateStmt &>(s).name
      : s.kind == StmtKind::Drop && static_cast<DropStmt &>(s).objectType == "TABLE"
          ? &static_cast<DropStmt &>(s).name
          : nullptr;
  std::string tableOwner = table ? ctx.binder.ownerOf(*table) : "";
  bool temporary = table && isTemporaryTable(db, tableOwner, table->back());
  if (temporary)
    ensureTemporaryTable(db, tableOwner + "." + table->back());
  switch (s.kind) {
  case StmtKind::CreateTable:
    createTableStmt(ctx, static_cast<CreateTableStmt &>(s));
    break;
  case StmtKind::CreateView:
    createViewStmt(ctx, static_cast<CreateViewStmt &>(s));
    break;
  case StmtKind::CreateIndex:
    createIndexStmt(ctx, static_cast<CreateIndexStmt &>(s));
    break;
  case StmtKind::CreateSequence:
  case StmtKind::AlterSequence:
    sequenceStmt(ctx, static_cast<SequenceStmt &>(s));
    break;
  case StmtKind::CreateSynonym:
    createSynonymStmt(ctx, static_cast<CreateSynonymStmt &>(s));
    break;
  case StmtKind::Drop:
    dropStmt(ctx, static_cast<DropStmt &>(s));
    break;
  case StmtKind::AlterTable:
    alterTableStmt(ctx, static_cast<AlterTableStmt &>(s));
    break;
  case StmtKind::Comment:
    commentStmt(ctx, static_cast<CommentStmt &>(s));
    break;
  case StmtKind::Rename:
    renameStmt(ctx, static_cast<RenameStmt &>(s));
    break;
  case StmtKind::Truncate:
    truncateStmt(ctx, static_cast<TruncateStmt &>(s));
    break;
  case StmtKind::CreateUser:
  case StmtKind::AlterUser:
  case StmtKind::DropUser:
    userStmt(ctx, static_cast<UserStmt &>(s));
    break;
  case StmtKind::Grant:
  case StmtKind::Revoke:
    grantStmt(ctx, static_cast<GrantStmt &>(s));
    break;
  default:
    break;
  }
  if (temporary && s.kind != StmtKind::Drop && s.kind != StmtKind::Truncate)
    saveTemporaryTable(db, tableOwner, table->back());
  // Stored PL/SQL that used a dropped, altered or replaced table or view, or an object whose
  // privilege was revoked, is compiled again on its next use.
  std::vector<std::string> changed;
  if (s.kind == StmtKind::Revoke)
    changed = static_cast<GrantStmt &>(s).object;
  else if (s.kind == StmtKind::Drop)
    changed = static_cast<DropStmt &>(s).name;
  else if (s.kind == StmtKind::AlterTable)
    changed = static_cast<AlterTableStmt &>(s).name;
  else if (s.kind == StmtKind::CreateView)
    changed = static_cast<CreateViewStmt &>(s).name;
  else if (s.kind == StmtKind::Rename)
    changed = {static_cast<RenameStmt &>(s).from};
  // Every logon's compiled statements made against the old catalog must see the change.
  long serial = bumpCatalogSerial(db);
  if (!changed.empty()) {
    std::string owner = changed.size() > 1 ? changed[0] : user;
    sqlite3_exec(
        db,
        ("UPDATE ora_objects SET status = 'INVALID', ddl_serial = " + std::to_string(serial) +
         " WHERE EXISTS (SELECT 1 FROM "
         "ora_dependencies d WHERE d.owner = ora_objects.owner AND d.name = "
         "ora_objects.object_name AND d.type = ora_objects.object_type AND "
         "d.referenced_owner = " +
         q(owner) + " AND d.referenced_name = " + q(changed.back()) + ")")
            .c_str(),
        nullptr, nullptr, nullptr);
  }
}

bool mapConstraintError(sqlite3 *db, const std::string &m, OraError &out) {
  const std::string prefix = "UNIQUE constraint failed: ";
  if (m.compare(0, prefix.size(), prefix) != 0)
    return false;
  std::string rest = m.substr(prefix.size());
  // An index on expressions is named by SQLite: index 'ix$OWNER.NAME'.
  const std::string byName = "index 'ix$";
  if (rest.compare(0, byName.size(), byName) == 0 && rest.back() == '\'') {
    out = oraErrorArg(1, rest.substr(byName.size(), rest.size() - byName.size() - 1));
    return true;
  }
  Query qq(db, "SELECT owner, index_name, table_owner, table_name FROM ora_indexes WHERE "
               "uniqueness = 'UNIQUE'");
  while (qq.next()) {
    std::string io = qq.text(0), in = qq.text(1), to = qq.text(2), tn = qq.text(3);
    std::string expect;
    for (const std::string &c : column(db,
                                       "SELECT column_name FROM ora_ind_columns WHERE "
                                       "index_owner = ?1 AND index_name = ?2 ORDER BY "
                                       "column_position",
                                       {io, in}))
      expect += (expect.empty() ? "" : ", ") + to + "." + tn + "." + c;
    if (expect == rest) {
      out = oraErrorArg(1, io + "." + in);
      return true;
    }
  }
  out = oraErrorArg(1, "?");
  return true;
}

} // namespace localdb
