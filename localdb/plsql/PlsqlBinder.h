// The PL/SQL binder: resolves every name of a parsed unit to a slot, a subprogram, a cursor or
// a built-in, types expressions, compiles embedded SQL once, and reports PLS errors with
// their positions.
#pragma once
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "localdb/plsql/PlsqlParser.h"

namespace localdb::plsql {

// Other stored units, as the binder needs them (implemented by the unit store).
class UnitResolver {
public:
  virtual ~UnitResolver() = default;
  // The compiled unit owner.name that can be called or referenced (a procedure, a function,
  // a package specification or a type); null when there is none. invalid: it exists but does
  // not compile (PLS-00905 for the caller).
  virtual const Unit *findUnit(const std::string &owner, const std::string &name,
                               bool &invalid) = 0;
  // Whether user is a schema (for owner-qualified names).
  virtual bool isSchema(const std::string &user) = 0;
};

struct BindContext {
  sqlite3 *db = nullptr;
  std::string user; // the schema unqualified names mean
  UnitResolver *units = nullptr;
  const Unit *spec = nullptr; // a package body's specification
  bool modern = true;         // the language level: also what came after Oracle 7.3
};

// Binds a parsed unit in place. Errors are appended (in Oracle's order: the error, then
// "PL/SQL: Statement ignored" where the statement is dropped).
void bindUnit(Unit &u, const std::string &text, BindContext &ctx,
              std::vector<CompileError> &errors);

// Built-in procedures and functions the binder resolves names to (Expr::builtin).
enum Builtin {
  BiSqlFunction, // a SQL function evaluated through SQLite (sqlText)
  BiSqlcode,
  BiSqlerrm,
  BiRaiseApplicationError,
  BiPutLine,
  BiPut,
  BiNewLine,
  BiEnable,
  BiDisable,
  BiGetLine,
  BiGetLines,
  BiTableCount, // t.COUNT ... (collection methods)
  BiTableFirst,
  BiTableLast,
  BiTableNext,
  BiTablePrior,
  BiTableExists,
  BiTableDelete,
  BiSysdate,
  BiUser,
  BiInserting, // trigger predicates
  BiUpdating,
  BiDeleting,
  BiNvl,     // NVL of BOOLEAN values
  BiGetTime, // DBMS_UTILITY
  BiFormatErrorStack,
  BiFormatErrorBacktrace,
  BiFormatCallStack,
  BiSleep,     // DBMS_LOCK.SLEEP
  BiLobMember, // DBMS_LOB, UTL_RAW (Expr::text "PACKAGE.MEMBER")
  // The collection methods of nested tables and VARRAYs, and their constructors.
  BiTableLimit,
  BiTableExtend,
  BiTableTrim,
  BiConstruct,
  BiMultiset, // MULTISET UNION ..., MEMBER OF, SUBMULTISET OF, IS A SET, IS EMPTY, CARDINALITY
};

} // namespace localdb::plsql
