// The binder: resolves the names of a statement against the catalog, types its expressions,
// checks what Oracle checks (GROUP BY, outer joins, value counts) and annotates the tree for the
// emitter.
#pragma once
#include <sqlite3.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "localdb/catalog/Privileges.h"
#include "localdb/sql/SqlAst.h"

namespace localdb {

// A schema object found by name (synonyms followed).
struct ObjectRef {
  std::string owner, name, type;
};

struct Scope;

class Binder {
public:
  Binder(sqlite3 *db, std::string user);

  // Also the SQL added after Oracle 7.3 (the default); false answers as Oracle 7.3 does.
  void setModern(bool modern) { FModern = modern; }

  // Queries and DML: annotate the tree in place; throw OraError with the offending offset.
  void bindQuery(Select &s);
  void bindInsert(InsertStmt &s);
  void bindUpdate(UpdateStmt &s);
  void bindDelete(DeleteStmt &s);
  void bindReturning(Returning &r, BoundTable *t);
  // A CHECK condition over one table's columns, read from the row as NEW.
  void bindCheck(Expr &e, const std::string &owner, const std::string &table,
                 const std::vector<ColumnInfo> &columns);
  // An index expression over one table's columns, read as a CHECK condition is.
  void bindIndexExpression(Expr &e, const std::string &owner, const std::string &table,
                           const std::vector<ColumnInfo> &columns);
  // A DEFAULT expression (no columns allowed) of a table of tableOwner.
  void bindDefault(Expr &e, const std::string &tableOwner = std::string());
  // The DEFAULT expressions a bound INSERT takes, one per column of its table (null where none
  // applies): for each column it does not name, and for a DEFAULT ON NULL column it names (the
  // emitter uses it for a NULL). The expressions are kept in keep.
  std::vector<const Expr *> bindInsertDefaults(const InsertStmt &s, std::vector<ExprPtr> &keep);

  // Name lookups shared with the DDL executor.
  std::optional<ObjectRef> findObject(const std::vector<std::string> &name);
  // The object a name means; ORA-00942 when it does not exist for the user, ORA-01031 when the
  // user has some privilege on it but not `privilege` (nullptr: any privilege will do).
  ObjectRef resolveTable(const std::vector<std::string> &name, int pos,
                         const char *privilege = nullptr);
  // The owner an unqualified name of a new object belongs to.
  std::string ownerOf(const std::vector<std::string> &name) const;
  bool canAccess(const std::string &owner, const std::string &name);
  ObjectPrivileges privilegesOn(const std::string &owner, const std::string &name);
  // ORA-00942 without any privilege on the object, ORA-01031 without this one (on the whole
  // object, or on each of `columns` when given).
  void checkPrivilege(const std::string &owner, const std::string &name,
                      const std::string &privilege, const std::vector<std::string> &columns,
                      int pos);
  const std::string &user() const { return FUser; }
  // Every object a table name resolved to, with the schema the name was read in (a view's own
  // names are read in its owner's).
  struct Reference {
    std::string schema;
    ObjectRef object;
  };
  const std::vector<Reference> &references() const { return FReferences; }
  std::vector<ColumnInfo> columnsOf(const std::string &owner, const std::string &name);

  // SQL inside PL/SQL: a name that is no column of the statement's tables is offered here; when
  // it names a PL/SQL variable the hook turns the expression into a typed Bind and returns true.
  std::function<bool(Expr &e)> hostName;

  // ROWNUM counters the statement needs (each bound as a pointer parameter).
  int counterCount() const { return FCounters; }
  // Bind variable names in order of first appearance.
  const std::vector<std::string> &bindNames() const { return FBindNames; }
  // Offsets of the statement's literals whose value binding read (a position, a length, a
  // select-list value that is described or names a column): the statement is that text's only.
  const std::vector<int> &readLiterals() const { return FReadLiterals; }

private:
  static bool isVirtual(const BoundTable &t, const std::string &column);
  static bool generatedAlways(const BoundTable &t, const std::string &column);
  void bindRowExpression(Expr &e, const std::string &owner, const std::string &table,
                         const std::vector<ColumnInfo> &columns, bool condition);
  friend struct BinderAccess;
  sqlite3 *FDb;
  std::string FUser;
  bool FModern = true;
  bool FUsingSides = false;     // binding a FULL JOIN's USING column as both sides' COALESCE
  bool FCollectionCall = false; // binding TABLE()'s call: a collection-valued function may stand
  std::string FDefaultOwner;    // while binding a table's DEFAULT: its owner
  std::vector<std::string> FSchema; // the schema unqualified names mean (views: their owner)
  int FCounters = 0;
  int FAliases = 0;
  int FViewDepth = 0;
  // The heights of the views being expanded, one inside the other: bounded as one expression's
  // height is, so that the walks over the expanded tree stay within the stack.
  int FViewHeight = 0;
  bool FViewsTooTall = false;
  int FTableRefs = 0; // tables and views bound so far, views expanded
  static constexpr int kMaxTableRefs = 1000;
  static constexpr size_t kMaxColumns = 1000; // of a select list, * expanded
  std::vector<std::string> FBindNames;
  std::map<std::string, std::vector<ColumnInfo>> FColumnCache;
  std::vector<std::unique_ptr<Select>> FViewQueries;
  std::vector<std::unique_ptr<BoundTable>> FDmlTables;
  std::vector<Reference> FReferences;
  std::vector<int> FReadLiterals;
  int FSelectList = 0; // binding a select list (at any depth)

  enum Ctx : unsigned {
    AllowAggregate = 1,
    AllowSequence = 2,
    AllowColumns = 4,
    AllowRownum = 8,
    InAggregate = 16,
    AllowOuterMark = 32,
    AllowPrior = 64,
    InPrior = 128,
    AllowNested = 256, // an aggregate's argument may hold one aggregate of the groups
  };

  void bindSelect(Select &s, Scope *outer, bool countersAllowed, int depth);
  void bindBlock(QueryBlock &b, Select &s, Scope *outer, bool countersAllowed, int depth);
  void bindFrom(QueryBlock &b, Scope &scope, int depth);
  void bindOrderBy(Select &s, QueryBlock *b, Scope *scope);
  void bindExpr(Expr &e, Scope *scope, unsigned ctx);
  void bindCase(Expr &e, Scope *scope, unsigned ctx);
  // analytic: a function only used with OVER; aggregate: a group function.
  void bindAnalytic(Expr &e, bool analytic, bool aggregate, Scope *scope, unsigned ctx);
  void bindJoins(QueryBlock &b, Scope &scope);
  void bindPseudo(Expr &e, Scope *scope, unsigned ctx);
  void bindSequence(Expr &e, unsigned ctx);
  void bindOperator(Expr &e, Scope *scope, unsigned ctx);
  void bindComparison(Expr &e, Scope *scope, unsigned ctx);
  void bindIn(Expr &e, Scope *scope, unsigned ctx);
  void bindValue(Expr &e, Scope *scope, unsigned ctx);     // must be a value
  void bindCondition(Expr &e, Scope *scope, unsigned ctx); // must be a condition
  void bindColumn(Expr &e, Scope *scope, unsigned ctx);
  bool hostBind(Expr &e);
  void bindFunction(Expr &e, Scope *scope, unsigned ctx);
  bool storedFunctionByName(Expr &e, Scope *scope, unsigned ctx);
  void bindSubquery(Select &q, Scope *scope, int depth);
  void checkGrouped(Expr &e, QueryBlock &b, int depth);
  void analyseRownum(QueryBlock &b, Select &s, bool countersAllowed);
  void splitWhere(QueryBlock &b, Scope &scope);
  std::string newAlias() { return "t" + std::to_string(++FAliases); }
  BoundTable *dmlTarget(TableRef &ref, const char *change);
  bool viewOwnerMay(const std::string &viewOwner, const Select &q, const std::string &privilege,
                    const std::vector<size_t> *columns);
  void checkChangeThroughView(const BoundTable &t, const std::string &privilege,
                              const std::vector<std::string> *columns, int pos);
  void checkChangeable(const BoundTable &t, const std::string &column, int pos);
  std::string schema() const { return FSchema.back(); }
};

// Type helpers shared with the emitter.
bool isCharType(SqlType t);
bool sameTypeGroup(SqlType a, SqlType b);
// Whether two bound expressions are the same. read: where the comparison looked at a literal of
// the statement's text, its offset is added (the answer depends on its value).
bool exprEqual(const Expr &a, const Expr &b, std::vector<int> *read = nullptr);
// A SQL function's argument counts (PL/SQL calls the same built-ins); false when unknown.
// modern: also the functions added after Oracle 7.3.
bool sqlFunctionArity(const std::string &name, int &minArgs, int &maxArgs, bool &aggregate,
                      bool modern = true);
// Stored PL/SQL functions called from SQL: the PL/SQL layer installs a resolver that turns a
// call of NAME, PKG.NAME or OWNER.NAME into a call of its SQLite entry with the function's
// return type (true), so the SQL layer needs nothing of PL/SQL.
using StoredFunctionResolver = bool (*)(sqlite3 *db, const std::string &schema, Expr &e);
void setStoredFunctionResolver(StoredFunctionResolver resolver);

} // namespace localdb
