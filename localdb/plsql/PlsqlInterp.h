// The PL/SQL interpreter: runs bound units over frames of fixed slots; package state and
// DBMS_OUTPUT live per logon.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "localdb/packages/DbmsOutput.h"
#include "localdb/packages/DbmsSql.h"
#include "localdb/plsql/PlsqlRuntime.h"

namespace localdb {
class Session;
class Cursor;
} // namespace localdb

namespace localdb::plsql {

// Deepest nesting of PL/SQL calls: recursion ends here with ORA-06500 instead of overflowing
// the machine stack.
constexpr int kMaxCallDepth = 400;
// Most machine stack PL/SQL may take below its outermost entry on a logon: calls, nested
// statements, tall expressions and SQL calling stored functions together end with ORA-06500
// here, well before the thread's stack (8 MB) is spent.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// Sanitizer builds take several times the stack per frame; their test run (tools/sanitize)
// gives the process a stack large enough for this.
constexpr size_t kMaxStackUse = size_t{16} << 20;
#else
constexpr size_t kMaxStackUse = size_t{4} << 20;
#endif

// Most elements one nested table or VARRAY may have: EXTEND past it is ORA-06500 rather than
// a logon's memory spent on one collection.
constexpr int64_t kMaxCollectionElements = int64_t{1} << 24;

struct PackageState {
  const Unit *spec = nullptr;
  const Unit *body = nullptr;
  std::vector<Value> slots;
  std::shared_ptr<const void> keep; // keeps the compiled units alive
  long checked = -1;                // the catalog epoch its body was last found current in
};

// The PL/SQL state of one logon.
struct State {
  packages::DbmsOutput output;
  packages::DbmsSqlCursors dbmsSql;             // DBMS_SQL's cursors of the logon
  std::map<std::string, PackageState> packages; // by OWNER.NAME
  // The catalog epoch (moves whenever a unit may have changed); until it moves, a package's
  // body is current.
  long generation = -1;
  int depth = 0;
  const char *stackBase = nullptr; // the frame of the outermost interpreter running
  int triggers = 0; // trigger bodies running: they may not end or mark the transaction
  // The tables statements in progress are changing: what their row triggers and the functions
  // they call run may not read or change them (ORA-04091).
  std::vector<const DmlTarget *> mutating;
  // The compiled body of a package (null when it has none), and the shared ownership that
  // keeps it and its specification alive; supplied by the unit store.
  std::function<const Unit *(const Unit *spec, std::shared_ptr<const void> &keep)> bodyOf;
};

// The values of an anonymous block's bind variables, read before it runs, written back after.
struct HostValues {
  std::vector<Value> values;
  std::vector<bool> assigned;
};

class Interp {
public:
  Interp(Session &session, State &state);
  ~Interp();
  Interp(const Interp &) = delete;
  Interp &operator=(const Interp &) = delete;

  // Runs an anonymous block.
  void runBlock(const Unit &u, HostValues &binds);
  // Runs a row or statement trigger body; newRow / oldRow as the table's columns (changed in
  // place by a BEFORE row trigger). Returns false when the WHEN condition is not true.
  bool runTrigger(const Unit &u, Record *newRow, Record *oldRow, int event);
  // Calls a stored function from SQL.
  Value callFunction(const Subprogram &sp, std::vector<Value> args);

  struct Frame;

private:
  Session &FSession;
  State &FState;
  DatetimeSession FDatetimeSession; // while it runs, timestamps convert by this logon's formats
  HostValues *FHost = nullptr;
  bool FOutermost = false; // this interpreter set the state's stack base

  enum class Flow { Normal, Exit, Continue, Return, Goto };
  const std::string *FExitLabel = nullptr;
  const std::string *FGotoLabel = nullptr;
  Value FReturn;
  int FSqlFound = -1; // SQL%FOUND of the last SQL statement (-1: none yet)
  int64_t FSqlRowCount = 0;
  // The last FORALL's rows per round (SQL%BULK_ROWCOUNT: (index, rows), in index order) and,
  // with SAVE EXCEPTIONS, the rounds that failed: (round, error code) for SQL%BULK_EXCEPTIONS.
  std::vector<std::pair<int64_t, int64_t>> FBulkRowCount;
  std::vector<std::pair<int64_t, int>> FBulkErrors;
  int FTriggerEvent = 0; // the event a trigger runs for: 1 insert, 2 update, 3 delete

  Value eval(const Expr &e, Frame &f);
  Value evalPath(const Expr &e, Frame &f);
  Value evalUnary(const Expr &e, Frame &f);
  Value evalBinary(const Expr &e, Frame &f);
  Value evalLogical(const Expr &e, Frame &f);
  Value evalComparison(const Expr &e, Frame &f);
  Value evalLike(const Expr &e, Frame &f);
  Value evalBetween(const Expr &e, Frame &f);
  Value evalIn(const Expr &e, Frame &f);
  Value evalAttribute(const Expr &e, Frame &f);
  Value evalSqlcode(Frame &f);
  Value evalCase(const Expr &e, Frame &f);
  bool whenHolds(const Value *selector, const Expr &when, Frame &f);
  Value evalSqlerrm(const Expr &e, Frame &f);
  bool truth(const Expr &e, Frame &f, bool &isNull);
  // compareValues, with blank-padded semantics where the binder chose them.
  int compareAs(const Expr &e, const Value &a, const Value &b);
  Value initial(const Type &t, Frame &f);
  void fillDefaults(Record &r, Frame &f);
  Value &slotRef(const Slot &s, Frame &f);
  // keyDetail: a NULL is VALUE_ERROR saying so (nested tables and VARRAYs).
  int32_t subscript(const Expr &index, Frame &f, int nullError, bool keyDetail = false);
  Value &lvalue(const Expr &e, Frame &f);
  // The value a variable's path leads to; write: for assignment (an associative array gains
  // the element, a deleted nested table element comes back).
  Value *place(const Expr &e, Frame &f, bool write);
  // The element index selects in collection v, with Oracle's exceptions for a NULL
  // collection, a subscript beyond its count or limit and a deleted or missing element.
  Value *element(Value &v, const Expr &index, Frame &f, bool write);
  Value construct(const Expr &e, Frame &f);
  Value multiset(const Expr &e, Frame &f);
  // The rounds of FORALL over INDICES OF / VALUES OF c: (index, subscript of c) each.
  std::vector<std::pair<int64_t, int64_t>> forallRounds(const Stmt &s, Frame &f);
  void assign(const Expr &target, Frame &f, const Value &v);
  Value call(const Expr &e, Frame &f);
  Value invoke(const Subprogram &sp, const Expr *site, std::vector<Value> *direct, Frame &f);
  Value builtin(const Expr &e, Frame &f);
  Value collection(const Expr &e, Frame &f);
  PackageState &package(const Unit *spec);

  Flow execList(const std::vector<StmtPtr> &list, Frame &f);
  Flow exec(const Stmt &s, Frame &f);
  void execAssign(const Stmt &s, Frame &f);
  Flow execForNum(const Stmt &s, Frame &f);
  Flow execCase(const Stmt &s, Frame &f);
  void execDynamic(const Stmt &s, Frame &f);
  Flow execForCursor(const Stmt &s, Frame &f);
  [[noreturn]] void execRaise(const Stmt &s, Frame &f);
  void execOpenFor(const Stmt &s, Frame &f);
  Flow execBlock(const Block &b, Frame &f);
  void elaborate(const std::vector<Decl> &decls, Frame &f);
  Flow loopBody(const Stmt &s, Frame &f, bool &stop);
  void execSql(const Stmt &s, Frame &f);
  void execParts(const SqlStmt &q, Frame &f);
  void intoTargets(const Stmt &s, Frame &f, std::vector<Value> &row); // SELECT or RETURNING INTO
  sqlite3_stmt *prepare(const SqlStmt &q, Frame &f);
  void openCursor(const CursorDecl &c, const std::vector<ExprPtr> &args, Frame &f,
                  CursorState &state);
  bool fetchInto(CursorState &c, const std::vector<ExprPtr> &into, Frame &f);
  void fetchBulk(CursorState &c, const Stmt &s, Frame &f);
  std::vector<Value *> bulkTargets(const std::vector<ExprPtr> &into, Frame &f);
  void bulkRow(const std::vector<Value *> &tables, sqlite3_stmt *st,
               const std::vector<SqlType> &types, int32_t n);
  void bulkRow(const std::vector<Value *> &tables, std::vector<Value> row, int32_t n);
  struct DynamicBinds;
  void bindDynamic(const Stmt &s, Frame &f, const std::vector<std::string> &names, Cursor &c,
                   DynamicBinds &b);
  struct DynamicCursor {
    std::string text;
    std::vector<std::string> names;
    std::unique_ptr<Cursor> cursor;
  };
  std::unordered_map<const Stmt *, DynamicCursor> FDynamic; // EXECUTE IMMEDIATE's DML cursors
  void writeBackDynamic(const Stmt &s, Frame &f, const DynamicBinds &b);
  std::unique_ptr<SqlStmt> dynamicQuery(const Stmt &s, Frame &f);
  void fetchRow(CursorState &c, Value &record);
  // Opens c on q's statement with its parameters from f.
  void startQuery(const SqlStmt &q, Frame &f, CursorState &c);
  // Steps c to its next row: false at the end and on every call after it.
  bool nextRow(CursorState &c);
  // ORA-04091 when q reads or changes a table a statement in progress is changing.
  void checkMutating(const SqlStmt &q);
  CursorState &cursorOf(const Expr &e, Frame &f);
  void checkBreak();
  // ORA-06500 when the stack used since the outermost entry passes kMaxStackUse.
  void checkStack();
  // ORA-04092 for COMMIT, ROLLBACK and SAVEPOINT while a trigger runs.
  void refuseInTrigger(const char *what);
  const std::string &dateFormat() const;
};

} // namespace localdb::plsql
