// Stored PL/SQL units: CREATE / DROP / ALTER ... COMPILE, their source, errors, status and
// dependencies in the catalog, compiled units cached per logon, and the entry points the
// cursor calls for PL/SQL text.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sqlite3.h>

#include "localdb/plsql/PlsqlParser.h"

namespace localdb {
class Session;
struct Statement;
} // namespace localdb

namespace localdb::plsql {

struct CursorState;

enum class PlsqlText { None, Block, Create, Drop, AlterCompile };

// What the leading keywords make of a statement text: an anonymous block, a unit's CREATE,
// DROP or ALTER ... COMPILE, or none of these (SQL).
PlsqlText plsqlTextKind(const std::string &text);

// A caller's bind variable as obndra gave it.
struct HostBind {
  void *value = nullptr;
  int valueLength = 0;
  int type = 1;
  int16_t *indicator = nullptr;
  uint16_t *length = nullptr;
  uint16_t *returnCode = nullptr;
  uint32_t maxElements = 0;
  uint32_t *currentElements = nullptr;
  // External type 102: takes the cursor variable the block opened for the caller to fetch.
  std::function<void(std::shared_ptr<CursorState>)> receiveCursor;
};
using HostBindLookup = std::function<bool(const std::string &name, HostBind &out)>;

// Compiles and runs PL/SQL text on a logon (compileOnly: an anonymous block is only compiled,
// for a non-deferred parse). Returns the cursor's warning flags: 0x20 when a unit was stored
// with compile errors. Failures are thrown as OraError (ORA-06550 with the compile errors, or
// the run-time error followed by its ORA-06512 lines).
int runPlsql(Session &s, const std::string &text, const HostBindLookup &binds, bool compileOnly);

// One error of a compile, placed as USER_ERRORS places it.
struct PlacedError {
  int line = 0, position = 0;
  std::string text;
};
// Compiles a unit's text (from its keyword, or an anonymous block) against a logon's catalog
// without storing anything: the errors in order.
std::vector<PlacedError> compileOnly(Session &s, const std::string &text, bool anonymous);

// Runs a DML statement (run) between the BEFORE and AFTER statement triggers enabled on its
// table. When a trigger or the statement fails, the triggers' and the statement's changes are
// undone (undone set) and the failure rethrown; a trigger's failure is its error followed by
// ORA-04088.
void runWithStatementTriggers(Session &s, const DmlTarget &target, const std::function<void()> &run,
                              bool *undone = nullptr);

// The rows the last step of the INSERT, UPDATE or DELETE running in run above changed, for its
// row count: sqlite3_changes() leaves out the rows its BEFORE row triggers changed, which are
// written by statements of their own in place of SQLite's. Counts each such row once.
int changedRows(Session &s);

// A logon's connection as the PL/SQL layer knows it: stored functions become callable from its
// SQL (the SQLite function ora_plsql runs them in that logon), row triggers fire (ora_trigger),
// and row trigger hooks an older version of this layer made are made again.
void attachSession(sqlite3 *db, Session *s);
void detachSession(sqlite3 *db);

// The DBMS_OUTPUT lines of a logon not yet read (for tests and the program's output window).
std::vector<std::string> takeOutput(Session &s);

// A stored unit's compiled tree (a procedure, a function or a package specification), kept
// alive by the handle; null when it does not exist. invalid: it exists but does not compile.
std::shared_ptr<const Unit> storedUnit(Session &s, const std::string &owner,
                                       const std::string &name, const std::string &type,
                                       bool &invalid);

} // namespace localdb::plsql
