// What the files of the stored-unit layer share: the per-logon cache of compiled units, the
// catalog queries, and the pieces each file provides to the others (DDL, row and statement
// triggers, host binds, stored functions called from SQL).
#pragma once
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "localdb/catalog/KeptStatements.h"
#include "localdb/plsql/PlsqlInterp.h"
#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb::plsql::units {

struct Query {
  sqlite3_stmt *st = nullptr;
  Query(sqlite3 *db, const std::string &sql) {
    if (int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr); rc != SQLITE_OK) {
      std::string m = sqlite3_errmsg(db);
      sqlite3_finalize(st);
      st = nullptr;
      if ((rc & 0xff) != SQLITE_ERROR) // the storage's failure, not ours
        throw sqliteFailure(rc, m);
      throw oraErrorText(600, "internal error code, arguments: [plsql], [" + m + "]");
    }
  }
  ~Query() { sqlite3_finalize(st); }
  Query &bind(int i, const std::string &v) {
    sqlite3_bind_text(st, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Query &bind(int i, long long v) {
    sqlite3_bind_int64(st, i, v);
    return *this;
  }
  bool next() { return sqlite3_step(st) == SQLITE_ROW; }
  std::string text(int c) {
    const unsigned char *t = sqlite3_column_text(st, c);
    return t ? reinterpret_cast<const char *>(t) : "";
  }
  void run(sqlite3 *db) {
    int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
      throw sqliteError(db, rc);
  }
};

struct CompiledUnit {
  std::string owner, name, type, text;
  std::string stamp; // last_ddl_time, status and ddl_serial when it was compiled
  std::unique_ptr<Unit> unit;
  std::vector<CompileError> errors;
  std::vector<std::shared_ptr<const CompiledUnit>> deps; // units its tree points into
  bool valid() const { return errors.empty(); }
};

// An INSERT, UPDATE or DELETE as its row triggers' hooks see it (nested: DML in a trigger is
// a statement of its own). SQLite fires the BEFORE hooks of a row one after the other, in the
// same order for each row; when one trigger changes :new, the row is written by a statement of
// its own (a write-back) and SQLite's is skipped.
struct RowStatement {
  // Rows written back in place of the statement's own since they were last counted: SQLite
  // counts neither.
  int writtenBack = 0;
  // The BEFORE triggers that ran for the current row; one met again starts the next row.
  std::vector<std::string> ran;
  // A write-back: its one row already went through the triggers in ran.
  bool writeBack = false;
  // The columns the UPDATE sets, which UPDATE OF goes by (a write-back sets all).
  const std::vector<std::string> *updateColumns = nullptr;
};

struct UnitState : State {
  std::map<std::string, std::shared_ptr<const CompiledUnit>> units;  // by owner.name.type
  std::map<std::string, std::shared_ptr<const CompiledUnit>> blocks; // anonymous, by text
  std::vector<std::shared_ptr<const CompiledUnit>> recompiled; // INVALID units that now compile
  std::set<std::string> compiling; // guards against units that reach themselves
  // Standalone functions being compiled, by owner.name.type: SQL in a function's own body may
  // call it before (or while) the catalog has it.
  std::map<std::string, const Unit *> functionsInCompile;
  // Statement triggers by "owner.table event": every INSERT, UPDATE and DELETE asks, and
  // most tables have none. Valid while the catalog is the same (Session::catalogEpoch).
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> statementTriggers;
  long triggersEpoch = -1;
  // The last table asked about: a loop of one statement asks about the same one each time.
  const std::vector<std::pair<std::string, std::string>> *lastTriggers = nullptr;
  std::string lastOwner, lastTable;
  int lastEvent = 0;
  // The innermost DML statement running (runWithStatementTriggers); hooks fired outside one
  // (none should be) share the loose one.
  RowStatement *rowStatement = nullptr;
  RowStatement looseRow;
  // Row triggers running inside one another: a trigger whose DML fires itself again would
  // otherwise nest until the stack runs out.
  int triggerDepth = 0;
};

struct UnitHeader {
  UnitKind kind = UnitKind::Anonymous;
  bool orReplace = false;
  std::string owner, name;
  int keywordPos = 0; // where the stored source starts
  int namePos = 0;
  std::string option; // ALTER: COMPILE [BODY|SPECIFICATION|PACKAGE], ENABLE, DISABLE
};

// A statement trigger the statement's table has for its event.
struct StatementTrigger {
  std::string owner, name;
  std::shared_ptr<const CompiledUnit> unit;
};

// ---------------------------------------------------------------- the cache of compiled units

std::string unitKey(const std::string &owner, const std::string &name, const std::string &type);
std::string typeText(UnitKind k);
UnitState &stateOf(Session &s);
void ensureTables(sqlite3 *db);
// Loads (and compiles) a stored unit for use; null when it does not exist. invalid: it exists
// but does not compile.
std::shared_ptr<const CompiledUnit> loadUnit(Session &s, const std::string &owner,
                                             const std::string &name, const std::string &type,
                                             bool &invalid);
std::shared_ptr<const CompiledUnit> compileText(Session &s, const std::string &owner,
                                                const std::string &text, bool anonymous);
std::vector<PlacedError> place(const CompiledUnit &cu);
OraError compileFailure(const CompiledUnit &cu);
OraError runFailure(const PlsqlError &e);
void syncGeneration(Session &s, UnitState &st);
void markRecompiled(Session &s, UnitState &st);

// ---------------------------------------------------------------- DDL

std::vector<Token> headTokens(const std::string &text, size_t count);
bool readHeader(const std::vector<Token> &t, PlsqlText what, UnitHeader &h);
UnitKind kindOfWord(const std::vector<Token> &t, size_t &i);
// The schema a unit statement works in, when the logon may (ORA-01031 otherwise).
std::string ownerFor(Session &s, const UnitHeader &h, const char *what);
void storeErrorsAndDeps(sqlite3 *db, const CompiledUnit &cu, const std::string &owner,
                        const std::string &name, const std::string &type);
// Stores (replaceSource) or recompiles a unit; false when it has compile errors.
bool storeUnit(Session &s, const std::string &owner, const UnitHeader &h, const std::string &source,
               bool replaceSource);
void dropUnit(Session &s, const UnitHeader &h);
int alterUnit(Session &s, UnitHeader h);

// ---------------------------------------------------------------- triggers

void dropTriggerHooks(sqlite3 *db, const std::string &owner, const std::string &name);
void rebuildTriggerHooks(sqlite3 *db, const std::string &owner, const std::string &name,
                         const TriggerInfo *info);
void renewStaleHooks(sqlite3 *db);
void tableTriggersRebuilt(sqlite3 *db, const std::string &owner, const std::string &table);
// ora_trigger(): a row trigger's hook fires it.
void fireTrigger(sqlite3_context *ctx, int argc, sqlite3_value **argv);

// ---------------------------------------------------------------- host binds and SQL values

Value readHost(const HostBind &b, const std::string &dateFormat);
void writeHost(const HostBind &b, const Value &v, const std::string &dateFormat);
Value fromSqlite(sqlite3_value *v, SqlType type);
bool resolveStoredFunction(sqlite3 *db, const std::string &schema, localdb::Expr &e);

} // namespace localdb::plsql::units
