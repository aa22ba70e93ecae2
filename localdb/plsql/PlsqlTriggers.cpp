// Row triggers (the SQLite hooks that fire them, the write-back of a changed :new) and
// statement triggers around a DML statement.
#include "localdb/plsql/PlsqlUnitsShared.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/catalog/KeptStatements.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/plsql/PlsqlBinder.h"
#include "localdb/plsql/PlsqlInterp.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb::plsql::units {

// ---------------------------------------------------------------- trigger hooks

// A row trigger fires through SQLite triggers on its table ("hooks") that call ora_trigger
// with the row's new and old values. A BEFORE trigger's hook is a SQLite BEFORE trigger: it runs
// before SQLite checks and writes the row (the constraint checks are SQLite BEFORE triggers too,
// kept older than the hooks, and SQLite fires the newest first). When the trigger changed :new,
// ora_trigger writes the row itself and returns 1, and RAISE(IGNORE) makes SQLite skip its own.
// ora_trigger's event argument: 1 insert, 2 update, 3 delete, plus this from a BEFORE hook.
const int kBeforeHook = 4;

std::string hookName(const std::string &owner, const std::string &name, char event) {
  return quoteIdent("plsql$" + owner + "." + name + "$" + std::string(1, event));
}

void dropTriggerHooks(sqlite3 *db, const std::string &owner, const std::string &name) {
  for (char ev : {'I', 'U', 'D'})
    execSql(db, "DROP TRIGGER IF EXISTS " + hookName(owner, name, ev));
}

// The UPDATE OF columns of a trigger's present update hook: what a rebuild without the compiled
// trigger keeps.
std::vector<std::string> hookUpdateColumns(sqlite3 *db, const std::string &owner,
                                           const std::string &name) {
  std::vector<std::string> out;
  Query q(db, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
  q.bind(1, "plsql$" + owner + "." + name + "$U");
  if (!q.next())
    return out;
  std::string sql = q.text(0), hook = hookName(owner, name, 'U');
  size_t at = sql.find(hook);
  at = at == std::string::npos ? at : sql.find(" UPDATE OF ", at + hook.size());
  if (at == std::string::npos)
    return out;
  size_t i = at + 11;
  while (i < sql.size() && sql[i] == '"') {
    std::string id;
    for (++i; i < sql.size(); ++i) {
      if (sql[i] == '"' && (i + 1 >= sql.size() || sql[i + 1] != '"'))
        break;
      if (sql[i] == '"')
        ++i;
      id += sql[i];
    }
    out.push_back(id);
    if (sql.compare(i + 1, 2, ", ") != 0)
      break;
    i += 3;
  }
  return out;
}

// info: the compiled trigger, for its UPDATE OF columns; without it the present hook's are kept.
void rebuildTriggerHooks(sqlite3 *db, const std::string &owner, const std::string &name,
                         const TriggerInfo *info) {
  std::vector<std::string> updateOf =
      info ? info->updateColumns : hookUpdateColumns(db, owner, name);
  dropTriggerHooks(db, owner, name);
  Query q(db, "SELECT trigger_type, triggering_event, table_owner, table_name, status FROM "
              "ora_triggers WHERE owner = ?1 AND trigger_name = ?2");
  q.bind(1, owner).bind(2, name);
  if (!q.next())
    return;
  std::string type = q.text(0), events = q.text(1), tOwner = q.text(2), table = q.text(3);
  if (q.text(4) != "ENABLED" || type.find("EACH ROW") == std::string::npos)
    return; // statement triggers fire around the statement (runWithStatementTriggers)
  std::vector<ColumnInfo> cols = loadColumns(db, tOwner, table);
  if (cols.empty())
    return;
  bool before = type.compare(0, 6, "BEFORE") == 0;
  std::string key = quoteText(owner + "." + name);
  for (char ev : {'I', 'U', 'D'}) {
    const char *word = ev == 'I' ? "INSERT" : ev == 'U' ? "UPDATE" : "DELETE";
    if (events.find(word) == std::string::npos)
      continue;
    // A row to be inserted has no rowid yet.
    std::string rowid = ev != 'I' ? "OLD.rowid" : before ? "NULL" : "NEW.rowid";
    int code = (ev == 'I' ? 1 : ev == 'U' ? 2 : 3) + (before ? kBeforeHook : 0);
    std::string args = key + ", " + std::to_string(code) + ", " + rowid;
    for (const ColumnInfo &c : cols)
      args += ", " + (ev == 'D' ? std::string("NULL") : "NEW." + quoteIdent(c.name));
    for (const ColumnInfo &c : cols)
      args += ", " + (ev == 'I' ? std::string("NULL") : "OLD." + quoteIdent(c.name));
    std::string of;
    if (ev == 'U')
      for (const std::string &c : updateOf)
        of += (of.empty() ? " OF " : ", ") + quoteIdent(c);
    std::string call = "ora_trigger(" + args + ")";
    execSql(db, "CREATE TRIGGER " + hookName(owner, name, ev) + (before ? " BEFORE " : " AFTER ") +
                    word + of + " ON " + physicalName(tOwner, table) + " FOR EACH ROW BEGIN " +
                    (before ? "SELECT RAISE(IGNORE) WHERE " + call : "SELECT " + call) + "; END");
  }
}

// The row triggers of a table whose constraint triggers were made again: their hooks are made
// again after them (to fire first) and with the table's columns as they are now.
void tableTriggersRebuilt(sqlite3 *db, const std::string &owner, const std::string &table) {
  std::vector<std::pair<std::string, std::string>> names;
  {
    Query q(db, "SELECT t.owner, t.trigger_name FROM ora_triggers t WHERE t.table_owner = ?1 "
                "AND t.table_name = ?2 AND t.trigger_type LIKE '% EACH ROW' AND EXISTS (SELECT 1 "
                "FROM sqlite_master m WHERE m.type = 'trigger' AND m.name IN ('plsql$' || "
                "t.owner || '.' || t.trigger_name || '$I', 'plsql$' || t.owner || '.' || "
                "t.trigger_name || '$U', 'plsql$' || t.owner || '.' || t.trigger_name || '$D')) "
                "ORDER BY 1, 2");
    q.bind(1, owner).bind(2, table);
    while (q.next())
      names.emplace_back(q.text(0), q.text(1));
  }
  for (const auto &[o, n] : names)
    rebuildTriggerHooks(db, o, n, nullptr);
}

// A file written before BEFORE row triggers fired as SQLite BEFORE triggers has hooks that ran
// them after the row was written: the first logon that finds such a hook makes them again.
void renewStaleHooks(sqlite3 *db) {
  std::vector<std::pair<std::string, std::string>> stale;
  sqlite3_stmt *q = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT t.owner, t.trigger_name FROM ora_triggers t WHERE "
                         "t.trigger_type = 'BEFORE EACH ROW' AND EXISTS (SELECT 1 FROM "
                         "sqlite_master m WHERE m.type = 'trigger' AND m.name IN ('plsql$' || "
                         "t.owner || '.' || t.trigger_name || '$I', 'plsql$' || t.owner || '.' "
                         "|| t.trigger_name || '$U', 'plsql$' || t.owner || '.' || "
                         "t.trigger_name || '$D') AND instr(m.sql, 'RAISE(IGNORE)') = 0)",
                         -1, &q, nullptr) != SQLITE_OK) {
    sqlite3_finalize(q);
    return; // not a catalog this layer knows (yet)
  }
  while (sqlite3_step(q) == SQLITE_ROW)
    stale.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)),
                       reinterpret_cast<const char *>(sqlite3_column_text(q, 1)));
  sqlite3_finalize(q);
  if (stale.empty() || sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    return; // busy: a later logon does it
  try {
    for (const auto &[o, n] : stale)
      rebuildTriggerHooks(db, o, n, nullptr);
    execSql(db, "COMMIT");
  } catch (const OraError &) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

bool sameValue(const Value &a, const Value &b) {
  if (a.t != b.t)
    return false;
  if (a.t == VType::Number)
    return compareNumbers(a.n, b.n) == 0;
  return a.s == b.s;
}

// Makes a statement the innermost one its row triggers' hooks see, for its lifetime.
struct EnterRowStatement {
  UnitState &st;
  RowStatement *outer;
  EnterRowStatement(UnitState &state, RowStatement &row) : st(state), outer(state.rowStatement) {
    st.rowStatement = &row;
  }
  ~EnterRowStatement() { st.rowStatement = outer; }
  EnterRowStatement(const EnterRowStatement &) = delete;
  EnterRowStatement &operator=(const EnterRowStatement &) = delete;
};

bool setsAnyOf(const std::vector<std::string> &set, const std::vector<std::string> &of) {
  for (const std::string &c : set)
    if (std::find(of.begin(), of.end(), c) != of.end())
      return true;
  return false;
}

// Writes a row a BEFORE trigger changed in place of the one SQLite was about to write: an
// INSERT of all its columns or an UPDATE of all of them by rowid. Its own hooks fire, except
// those of the triggers that already ran for the row.
void writeBack(Session &s, UnitState &st, RowStatement &row, const Unit &u, int event,
               int64_t rowid, const std::vector<Value> &values) {
  std::string tOwner = u.trigger.table.size() > 1 ? u.trigger.table[0] : u.owner;
  std::string table = u.trigger.table.back();
  std::vector<std::string> names, params;
  std::vector<bool> computed; // virtual columns: SQLite computes them, none is written
  auto add = [&](const ColumnInfo &c) {
    computed.push_back(c.generated == "VIRTUAL");
    std::string p = "?" + std::to_string(names.size() + 1);
    // PL/SQL holds a BLOB's bytes as a string; the column keeps them as a blob.
    params.push_back(c.type == SqlType::Blob ? "CAST(" + p + " AS BLOB)" : p);
    names.push_back(c.name);
  };
  if (values.size() <= u.triggerColumns.size()) {
    for (size_t i = 0; i < values.size(); ++i)
      add(u.triggerColumns[i]);
  } else { // the table got columns since the trigger was compiled
    for (const ColumnInfo &c : loadColumns(s.db(), tOwner, table))
      add(c);
    if (names.size() < values.size())
      throw oraErrorArg(4098, u.owner + "." + u.name);
  }
  std::string sql;
  if (event == 1) {
    std::string list, given;
    for (size_t i = 0; i < values.size(); ++i) {
      if (computed[i])
        continue;
      list += (list.empty() ? "" : ", ") + quoteIdent(names[i]);
      given += (given.empty() ? "" : ", ") + params[i];
    }
    sql = "INSERT INTO " + physicalName(tOwner, table) + "(" + list + ") VALUES (" + given + ")";
  } else {
    std::string set;
    for (size_t i = 0; i < values.size(); ++i)
      if (!computed[i])
        set += (set.empty() ? "" : ", ") + quoteIdent(names[i]) + " = " + params[i];
    sql = "UPDATE " + physicalName(tOwner, table) + " SET " + set + " WHERE rowid = ?" +
          std::to_string(values.size() + 1);
  }
  RowStatement nested;
  nested.writeBack = true;
  nested.ran = row.ran;
  nested.updateColumns = row.updateColumns;
  EnterRowStatement enter(st, nested);
  sqlite3_stmt *q = s.takeStatement(sql);
  for (size_t i = 0; i < values.size(); ++i)
    bindParam(q, static_cast<int>(i + 1), values[i]);
  if (event == 2)
    sqlite3_bind_int64(q, static_cast<int>(values.size() + 1), rowid);
  int rc = sqlite3_step(q);
  OraError failure;
  if (rc != SQLITE_DONE) {
    std::string m = sqlite3_errmsg(s.db());
    if (int code = oraCodeOf(m))
      failure = OraError{code, m, -1};
    else if ((rc & 0xff) != SQLITE_CONSTRAINT || !mapConstraintError(s.db(), m, failure))
      failure = sqliteError(s.db(), rc);
  }
  sqlite3_reset(q);
  s.giveBackStatement(q);
  if (rc != SQLITE_DONE)
    throw failure;
}

const int kMaxTriggerDepth = 50;

// ora_trigger(trigger, event, rowid, new values..., old values...): runs a row trigger. A
// BEFORE hook skips SQLite's row when it returns 1: the trigger changed :new and the row was
// written with its values.
void fireTrigger(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  Session *s = static_cast<Session *>(sqlite3_user_data(ctx));
  std::string key = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
  size_t dot = key.find('.');
  std::string owner = key.substr(0, dot), name = key.substr(dot + 1);
  try {
    bool invalid = false;
    auto cu = loadUnit(*s, owner, name, "TRIGGER", invalid);
    if (!cu)
      throw oraErrorArg(4098, owner + "." + name);
    const Unit &u = *cu->unit;
    int code = sqlite3_value_int(argv[1]);
    int event = code & 3;
    // A hook an earlier version made runs a BEFORE trigger after SQLite wrote the row (until a
    // logon makes it again): the trigger's changes then update that row.
    bool late = u.trigger.before && !(code & kBeforeHook);
    UnitState &st = stateOf(*s);
    RowStatement &row = st.rowStatement ? *st.rowStatement : st.looseRow;
    // A write-back sets every column, but UPDATE OF goes by what the statement set.
    if (row.writeBack && event == 2 && !u.trigger.updateColumns.empty() && row.updateColumns &&
        !setsAnyOf(*row.updateColumns, u.trigger.updateColumns)) {
      sqlite3_result_int(ctx, 0);
      return;
    }
    bool rewrites = u.trigger.before && event != 3;
    if (rewrites && !late) {
      bool again = std::find(row.ran.begin(), row.ran.end(), key) != row.ran.end();
      if (again && row.writeBack) {
        sqlite3_result_int(ctx, 0); // it ran for this row before the row was written back
        return;
      }
      if (again)
        row.ran.clear(); // the next row
      row.ran.push_back(key);
    }
    if (st.triggerDepth >= kMaxTriggerDepth)
      throw oraErrorText(36, "maximum number of recursive SQL levels (" +
                                 std::to_string(kMaxTriggerDepth) + ") exceeded");
    struct Nest {
      int &depth;
      explicit Nest(int &d) : depth(++d) {}
      ~Nest() { --depth; }
    } nest(st.triggerDepth);
    int64_t rowid = sqlite3_value_int64(argv[2]);
    size_t n = static_cast<size_t>(argc - 3) / 2;
    Record newRow, oldRow;
    for (size_t i = 0; i < n; ++i) {
      SqlType t = i < u.triggerColumns.size() ? u.triggerColumns[i].type : SqlType::Varchar2;
      newRow.fields.push_back(fromSqlite(argv[3 + i], t));
      oldRow.fields.push_back(fromSqlite(argv[3 + n + i], t));
    }
    // Columns the trigger knows but the hook does not pass (a table altered since) stay NULL.
    newRow.fields.resize(std::max(n, u.triggerColumns.size()));
    oldRow.fields.resize(newRow.fields.size());
    std::vector<Value> before = newRow.fields;
    Interp in(*s, st);
    try {
      in.runTrigger(u, event == 3 ? nullptr : &newRow, event == 1 ? nullptr : &oldRow, event);
    } catch (const PlsqlError &e) {
      OraError oe = runFailure(e);
      oe.message += "\nORA-04088: error during execution of trigger '" + owner + "." + name + "'";
      throw oe;
    }
    bool changed = false;
    for (size_t i = 0; rewrites && i < n && !changed; ++i)
      changed = !sameValue(before[i], newRow.fields[i]);
    if (changed && late) {
      newRow.fields.resize(n);
      writeBack(*s, st, row, u, 2, rowid, newRow.fields);
      changed = false; // SQLite wrote and counted the row
    } else if (changed) {
      newRow.fields.resize(n);
      writeBack(*s, st, row, u, event, rowid, newRow.fields);
      ++row.writtenBack;
    }
    sqlite3_result_int(ctx, changed ? 1 : 0);
  } catch (const OraError &e) {
    sqlite3_result_error(ctx, e.message.c_str(), -1);
  } catch (const PlsqlError &e) {
    sqlite3_result_error(ctx, runFailure(e).message.c_str(), -1);
  }
}

// The names of the table's enabled statement triggers for the event, read once per catalog
// state.
const std::vector<std::pair<std::string, std::string>> &
triggerNames(Session &s, UnitState &st, const DmlTarget &t, const char *word) {
  std::string key = t.owner + "." + t.table + " " + word;
  auto found = st.statementTriggers.find(key);
  if (found != st.statementTriggers.end())
    return found->second;
  std::vector<std::pair<std::string, std::string>> names;
  sqlite3_stmt *q = keptStatement(
      s.db(), "SELECT owner, trigger_name FROM ora_triggers WHERE table_owner = ?1 AND "
              "table_name = ?2 AND status = 'ENABLED' AND trigger_type LIKE '% STATEMENT' "
              "AND instr(triggering_event, ?3) > 0 ORDER BY owner, trigger_name");
  KeptReset done{q};
  sqlite3_bind_text(q, 1, t.owner.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(q, 2, t.table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(q, 3, word, -1, SQLITE_STATIC);
  while (sqlite3_step(q) == SQLITE_ROW)
    names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)),
                       reinterpret_cast<const char *>(sqlite3_column_text(q, 1)));
  if (st.statementTriggers.size() >= 256) {
    st.statementTriggers.clear();
    st.lastTriggers = nullptr;
  }
  return st.statementTriggers.emplace(key, std::move(names)).first->second;
}

std::vector<StatementTrigger> statementTriggers(Session &s, const DmlTarget &t) {
  const char *word = t.event == 1 ? "INSERT" : t.event == 2 ? "UPDATE" : "DELETE";
  UnitState &st = stateOf(s);
  long epoch = s.catalogEpoch();
  if (st.triggersEpoch != epoch) {
    st.statementTriggers.clear();
    st.lastTriggers = nullptr;
    st.triggersEpoch = epoch;
  }
  if (!st.lastTriggers || st.lastEvent != t.event || st.lastTable != t.table ||
      st.lastOwner != t.owner) {
    st.lastTriggers = &triggerNames(s, st, t, word);
    st.lastOwner = t.owner;
    st.lastTable = t.table;
    st.lastEvent = t.event;
  }
  if (st.lastTriggers->empty())
    return {};
  std::vector<StatementTrigger> out;
  for (const auto &[owner, name] : *st.lastTriggers)
    out.push_back({owner, name, nullptr});
  for (StatementTrigger &tr : out) {
    bool invalid = false;
    tr.unit = loadUnit(s, tr.owner, tr.name, "TRIGGER", invalid);
    if (!tr.unit)
      throw oraErrorArg(4098, tr.owner + "." + tr.name);
  }
  // UPDATE OF columns: only an update of one of them fires the trigger.
  if (t.event == 2)
    out.erase(std::remove_if(out.begin(), out.end(),
                             [&](const StatementTrigger &tr) {
                               const auto &of = tr.unit->unit->trigger.updateColumns;
                               if (of.empty())
                                 return false;
                               for (const std::string &c : t.columns)
                                 if (std::find(of.begin(), of.end(), c) != of.end())
                                   return false;
                               return true;
                             }),
              out.end());
  return out;
}

void runStatementTriggers(Session &s, const std::vector<StatementTrigger> &list, bool before,
                          int event) {
  for (const StatementTrigger &tr : list) {
    const Unit &u = *tr.unit->unit;
    if (u.trigger.before != before)
      continue;
    Interp in(s, stateOf(s));
    try {
      in.runTrigger(u, nullptr, nullptr, event);
    } catch (const PlsqlError &e) {
      OraError oe = runFailure(e);
      oe.message +=
          "\nORA-04088: error during execution of trigger '" + tr.owner + "." + tr.name + "'";
      throw oe;
    }
  }
}

} // namespace localdb::plsql::units

namespace localdb::plsql {

using namespace units;

void runWithStatementTriggers(Session &s, const DmlTarget &target, const std::function<void()> &run,
                              bool *undone) {
  RowStatement row;
  row.updateColumns = &target.columns;
  EnterRowStatement enter(stateOf(s), row);
  std::vector<StatementTrigger> list;
  if (target.event != 0 && !target.table.empty())
    list = statementTriggers(s, target);
  // While its rows change the table is mutating for what its row triggers run, except under a
  // single-row INSERT ... VALUES.
  UnitState &st = stateOf(s);
  bool mutating = target.event != 0 && !target.table.empty() && !target.singleRow;
  struct Mutating {
    std::vector<const DmlTarget *> *list;
    ~Mutating() {
      if (list)
        list->pop_back();
    }
  };
  auto changeRows = [&] {
    if (mutating)
      st.mutating.push_back(&target);
    Mutating guard{mutating ? &st.mutating : nullptr};
    run();
  };
  if (list.empty()) {
    changeRows();
    return;
  }
  // The savepoint undoes the triggers' and the statement's changes when one of them fails.
  // Inside another statement's row trigger SQLite opens none; that statement's failure then
  // undoes everything anyway.
  bool marked =
      sqlite3_exec(s.db(), "SAVEPOINT \"plsql$statement\"", nullptr, nullptr, nullptr) == SQLITE_OK;
  try {
    runStatementTriggers(s, list, true, target.event);
    changeRows();
    runStatementTriggers(s, list, false, target.event);
  } catch (...) {
    if (marked) {
      sqlite3_exec(s.db(), "ROLLBACK TO \"plsql$statement\"", nullptr, nullptr, nullptr);
      sqlite3_exec(s.db(), "RELEASE \"plsql$statement\"", nullptr, nullptr, nullptr);
      if (undone)
        *undone = true;
    }
    throw;
  }
  if (marked)
    sqlite3_exec(s.db(), "RELEASE \"plsql$statement\"", nullptr, nullptr, nullptr);
}

int changedRows(Session &s) {
  int n = sqlite3_changes(s.db());
  RowStatement *row = stateOf(s).rowStatement;
  if (row) {
    n += row->writtenBack;
    row->writtenBack = 0;
  }
  return n;
}

} // namespace localdb::plsql
