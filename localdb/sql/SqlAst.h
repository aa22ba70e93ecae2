// The SQL syntax tree: expressions, queries and statements, with the binder's annotations.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "localdb/catalog/Catalog.h"

namespace localdb {

struct Select;
struct Expr;
struct QueryBlock;

// A type as the binder infers it.
struct TypeInfo {
  SqlType type = SqlType::Unknown;
  int length = 0; // characters of a VARCHAR2 / CHAR / RAW
  int precision = -1, scale = kNoScale;
  bool nullable = true;
};

// A table of a FROM clause as the binder sees it: a schema table, a view or an inline view.
struct BoundTable {
  std::string owner, name; // the schema object ("" for an inline view)
  std::string alias;       // the name the query knows it by (alias, else the table's name)
  std::string sqlAlias;    // the SQLite alias the emitter uses (t1, t2, ... or NEW)
  std::vector<ColumnInfo> columns;
  bool isBase = false;             // a stored table: it has a ROWID
  bool physical = false;           // read straight from its SQLite table or dictionary view
  QueryBlock *hierarchy = nullptr; // the CONNECT BY block this table is the tree of
  // A view changed through DML: its column names mapped to the base table's ("" = an expression,
  // which cannot be changed), and the view's WHERE, read with this table's alias.
  std::vector<std::string> baseColumns;
  Expr *viewWhere = nullptr;
  bool checkOption = false; // the view is WITH CHECK OPTION: a changed row must satisfy viewWhere
  std::string viewOwner, viewName;   // that view (owner and name then are the table behind it)
  const Select *viewQuery = nullptr; // that view's query, bound in its owner's schema
  Select *query = nullptr;           // an inline view or an expanded view
  const Expr *collection = nullptr;  // TABLE(f(...)): the call whose collection gives the rows
  bool outer = false;                // joined with (+)
  std::vector<Expr *> onTerms;
  int depth = 0;
};

enum class ExprKind {
  Null,     // NULL or ''
  Number,   // text holds the literal
  String,   // text holds the value
  Bind,     // text holds the name
  Column,   // names: [schema.][table.]column
  Star,     // * or t.* in a select list; names holds the qualifier
  Pseudo,   // SYSDATE, USER, ROWNUM, LEVEL, UID
  Sequence, // names: [schema.]seq, text NEXTVAL or CURRVAL
  Unary,    // text "-" or "+"
  Binary,   // text "+", "-", "*", "/", "||"
  Compare,  // text "=", "<>", "<", ">", "<=", ">="; quantifier ANY/ALL in text2
  And,
  Or,
  Not,
  IsNull,   // negated: IS NOT NULL
  Like,     // args: value, pattern[, escape]; negated
  Between,  // args: value, low, high; negated
  In,       // args[0] value (or List), then the list; or subquery; negated
  Exists,   // subquery
  Subquery, // a scalar subquery
  List,     // (a, b) row value
  Function, // names: name; distinct; star for COUNT(*)
  Prior,    // PRIOR x (CONNECT BY; not supported)
  // CASE [operand] WHEN w THEN r ... [ELSE e] END: args [operand,] w1, r1, w2, r2, ... [, e]
  // (caseOperand, caseElse say which are there).
  Case,
  Cast, // CAST(args[0] AS castTo)
};

struct WindowSpec; // OVER (...) of an analytic function, below

struct Expr {
  ExprKind kind = ExprKind::Null;
  int pos = 0;    // offset of the expression's first token
  int height = 1; // levels of the tree below and including this node (the parser bounds it)
  std::string text, text2;
  std::vector<std::string> names;
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Select> query;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool outer = false; // column marked (+)
  bool caseOperand = false, caseElse = false;
  TypeInfo castTo; // Cast: the type named
  // Number, String: written in the statement's own text (not a view's or a default's, nor made
  // up by the parser or binder), so its value may come from a parameter (see LiteralShape).
  bool literal = false;
  std::unique_ptr<WindowSpec> over;   // Function: an analytic call's window
  std::unique_ptr<WindowSpec> within; // LISTAGG: WITHIN GROUP (ORDER BY ...), as its order

  // Binder annotations.
  TypeInfo type;
  BoundTable *table = nullptr; // the table a Column or ROWID belongs to
  std::string column;          // the column's name in that table
  bool isRowid = false;
  bool aggregate = false;          // a group function call
  int depth = 0;                   // query nesting depth of the table a column belongs to
  bool isCondition = false;        // a predicate, not a value
  bool prior = false;              // a column under PRIOR: read from the parent row
  int counter = -1;                // ROWNUM: the counter slot it reads
  bool counts = false;             // ROWNUM: this occurrence advances the counter
  int groupKey = -1;               // the GROUP BY term it is equal to, in a grouping-sets block
  std::string sqlName;             // Function: the SQLite function that implements it
  std::vector<SqlType> argTargets; // Function: the type each argument is converted to
  // A stored function returning a collection: its elements' columns (COLUMN_VALUE, or a
  // record's or object's fields); only TABLE() reads such a call.
  std::vector<ColumnInfo> rowColumns;
};
using ExprPtr = std::unique_ptr<Expr>;

struct SelectItem {
  ExprPtr expr;
  std::string alias; // as written (upper-cased unless quoted)
  std::string name;  // the column's name as described (alias or expression text)
  int pos = 0;
};

struct TableRef {
  std::vector<std::string> name;    // [schema.]table
  std::unique_ptr<Select> query;    // an inline view, or a view expanded by the binder
  std::unique_ptr<Expr> collection; // TABLE(expr): a function's collection as rows
  std::string alias;
  int pos = 0;
  BoundTable *bound = nullptr;
};

struct OrderItem {
  ExprPtr expr;
  bool desc = false;
  int nulls = 0; // NULLS FIRST (1) / LAST (2) as written; 0: Oracle's default (last ascending)
  int pos = 0;
};

// OVER ([PARTITION BY ...] [ORDER BY ...] [ROWS | RANGE frame]).
struct WindowSpec {
  std::vector<ExprPtr> partition;
  std::vector<OrderItem> order;
  std::string frame; // the frame as written, upper case ("" for the default)
};

// A join written with JOIN (later language levels): the table it brings in (an index into
// QueryBlock::from) and how it is joined to the tables before it.
struct AnsiJoin {
  enum Kind { Inner, Left, Right, Full } kind = Inner;
  size_t table = 0;
  ExprPtr on;                         // ON condition (else USING / NATURAL)
  std::vector<std::string> usingCols; // USING (a, b)
  bool natural = false;
  int pos = 0;
};

struct QueryBlock {
  int pos = 0;
  bool distinct = false;
  std::vector<SelectItem> items;
  std::vector<TableRef> from;
  std::vector<AnsiJoin> joins;
  // FULL [OUTER] JOIN of the block's two tables: its ON conditions (binder); SQLite joins them.
  std::vector<Expr *> fullJoinOn;
  ExprPtr where;
  ExprPtr startWith, connectBy;
  bool loopCheck = true; // CONNECT BY: a row met again on its own path is ORA-01436
  int connectPos = 0;    // offset of START WITH / CONNECT BY
  std::vector<ExprPtr> groupBy;
  // ROLLUP, CUBE, GROUPING SETS: the sets grouped by, each as indexes into groupBy (by the
  // binder, of the first of equal terms); empty for a plain GROUP BY.
  std::vector<std::vector<size_t>> groupingSets;
  ExprPtr having;
  // Binder annotations.
  bool aggregated = false;
  bool nestedAggregates = false; // MAX(AVG(x)) ... GROUP BY: aggregates over the groups
  std::vector<std::unique_ptr<BoundTable>> tables; // in FROM order
  std::vector<BoundTable *> joinOrder;             // inner tables first, then outer joins
  std::vector<Expr *> whereTerms;                  // conjuncts that stay in WHERE
  std::vector<Expr *> countedFilters;              // ROWNUM conditions counted row by row
  std::vector<Expr *> limitFilters;                // ROWNUM conditions that become a LIMIT
  int counter = -1;                                // ROWNUM counter slot of this block
  std::vector<SelectItem> expanded;                // select list after * expansion
};

struct Select {
  int pos = 0;
  int height = 1; // levels below it: its tallest expression, subquery or set operation, plus one
  std::unique_ptr<QueryBlock> block; // a query block, or else a set operation:
  std::string setOp;                 // UNION, UNION ALL, INTERSECT, MINUS
  std::unique_ptr<Select> left, right;
  std::vector<OrderItem> orderBy;
  ExprPtr offset, fetchFirst; // OFFSET n ROWS / FETCH FIRST n ROWS ONLY (after ORDER BY)
  bool forUpdate = false;
  // The described columns (set by the binder).
  std::vector<SelectItem *> columns;
};

// ---- statements ----

enum class StmtKind {
  Select,
  Insert,
  Update,
  Delete,
  CreateTable,
  CreateView,
  CreateIndex,
  CreateSequence,
  AlterSequence,
  CreateSynonym,
  Drop,
  AlterTable,
  Comment,
  Rename,
  Truncate,
  CreateUser,
  AlterUser,
  DropUser,
  Grant,
  Revoke,
  Commit,
  Rollback,
  Savepoint,
  AlterSession,
  LockTable,
  NoOp,  // accepted and ignored (SET TRANSACTION, ANALYZE ...)
  Multi, // MERGE, multi-table INSERT: several statements of their own, run as one
};

struct Statement {
  StmtKind kind;
  int pos = 0;
  int namePos = 0; // offset of the object a DDL statement names, where errors about it point
  std::vector<int> literals; // offsets of the literal tokens the parser made values of
  explicit Statement(StmtKind k) : kind(k) {}
  virtual ~Statement() = default;
};

// MERGE and INSERT ALL / FIRST run as statements this server has, written from their pieces in
// Oracle's SQL and run in turn as one statement.
struct MultiPart {
  enum Kind {
    Change,        // an INSERT or UPDATE
    FailOnRow,     // a query: a row it returns is the error `error`
    DeleteChanged, // a DELETE limited to rows that were there before the parts' INSERTs
  } kind = Change;
  std::string text;
  int error = 0;
};
struct MultiStmt : Statement {
  MultiStmt() : Statement(StmtKind::Multi) {}
  bool merge = false;
  std::vector<MultiPart> parts;
};

struct SelectStmt : Statement {
  SelectStmt() : Statement(StmtKind::Select) {}
  std::unique_ptr<Select> query;
};

// RETURNING expr, ... [INTO :b, ...] of an INSERT ... VALUES, UPDATE or DELETE (later levels):
// the values of each changed row, as changed (DELETE: as it was).
struct Returning {
  int pos = 0;
  std::vector<ExprPtr> exprs;
  std::vector<std::string> into; // bind names; none when PL/SQL took its own INTO clause
  std::vector<int> intoPos;
};

struct InsertStmt : Statement {
  InsertStmt() : Statement(StmtKind::Insert) {}
  TableRef table;
  std::vector<std::string> columns;
  std::vector<int> columnPos;
  std::vector<ExprPtr> values; // VALUES (...)
  std::unique_ptr<Select> query;
  Returning returning;
};

struct Assignment {
  std::vector<std::string> columns;
  std::vector<int> columnPos;
  ExprPtr value; // an expression, or a subquery for a column list
};

struct UpdateStmt : Statement {
  UpdateStmt() : Statement(StmtKind::Update) {}
  TableRef table;
  std::vector<Assignment> sets;
  ExprPtr where;
  Returning returning;
};

struct DeleteStmt : Statement {
  DeleteStmt() : Statement(StmtKind::Delete) {}
  TableRef table;
  ExprPtr where;
  Returning returning;
};

struct ConstraintClause {
  std::string name;
  int pos = 0;
  char type = 'C'; // P U R C, or N for NOT NULL, 'n' for NULL
  std::vector<std::string> columns;
  ExprPtr check;
  std::string checkText;
  std::vector<std::string> refTable; // [schema.]table
  std::vector<std::string> refColumns;
  bool cascade = false;
  bool disabled = false;
  bool noValidate = false; // ENABLE NOVALIDATE: rows already there are not checked
};

struct SequenceOptions {
  bool haveIncrement = false, haveStart = false, haveMin = false, haveMax = false;
  bool noMin = false, noMax = false, haveCycle = false, cycle = false, haveCache = false,
       haveOrder = false, order = false;
  double increment = 1, start = 1, minValue = 1, maxValue = 0;
  long cache = 20;
};

struct ColumnDef {
  std::string name;
  int pos = 0;
  ColumnInfo info;
  bool haveType = true;
  std::string defaultText;
  ExprPtr defaultExpr;
  std::vector<ConstraintClause> constraints;
  bool identity = false; // GENERATED ... AS IDENTITY (its kind in info.generated)
  ExprPtr virtualExpr;   // [GENERATED ALWAYS] AS (expr) [VIRTUAL]: its text in defaultText
  SequenceOptions identityOptions;
};

struct CreateTableStmt : Statement {
  CreateTableStmt() : Statement(StmtKind::CreateTable) {}
  std::vector<std::string> name;
  std::vector<ColumnDef> columns;
  std::vector<ConstraintClause> constraints;
  std::unique_ptr<Select> asQuery;
  // CREATE GLOBAL TEMPORARY TABLE: each logon's own rows, gone at commit unless PRESERVE ROWS.
  bool temporary = false, preserveRows = false, onCommit = false;
};

struct CreateViewStmt : Statement {
  CreateViewStmt() : Statement(StmtKind::CreateView) {}
  bool orReplace = false, force = false;
  std::vector<std::string> name;
  std::vector<std::string> columns;
  std::unique_ptr<Select> query;
  std::string queryText;
  bool readOnly = false, checkOption = false;
};

struct CreateIndexStmt : Statement {
  CreateIndexStmt() : Statement(StmtKind::CreateIndex) {}
  bool unique = false;
  std::vector<std::string> name, table;
  std::vector<std::string> columns; // a column's name, or an expression's text
  std::vector<bool> desc;
  std::vector<ExprPtr> expressions; // the expression of each item that is one (else null)
};

struct SequenceStmt : Statement {
  explicit SequenceStmt(StmtKind k) : Statement(k) {}
  std::vector<std::string> name;
  SequenceOptions options;
};

struct CreateSynonymStmt : Statement {
  CreateSynonymStmt() : Statement(StmtKind::CreateSynonym) {}
  bool isPublic = false, orReplace = false;
  std::vector<std::string> name, target;
};

struct DropStmt : Statement {
  DropStmt() : Statement(StmtKind::Drop) {}
  std::string objectType; // TABLE VIEW INDEX SEQUENCE SYNONYM
  bool isPublic = false, cascade = false;
  std::vector<std::string> name;
};

struct AlterTableStmt : Statement {
  AlterTableStmt() : Statement(StmtKind::AlterTable) {}
  std::vector<std::string> name;
  std::string action; // ADD, MODIFY, DROP_CONSTRAINT, DROP_KEY, ENABLE, DISABLE, ADD_CONSTRAINT
  std::vector<ColumnDef> columns;
  std::vector<ConstraintClause> constraints;
  std::string constraintName;
  char keyType = 0; // P or U for DROP/ENABLE/DISABLE PRIMARY KEY / UNIQUE (cols)
  std::vector<std::string> keyColumns;
  bool cascade = false;
};

struct CommentStmt : Statement {
  CommentStmt() : Statement(StmtKind::Comment) {}
  bool onColumn = false;
  std::vector<std::string> name; // [schema.]table[.column]
  std::string text;
};

struct RenameStmt : Statement {
  RenameStmt() : Statement(StmtKind::Rename) {}
  std::string from, to;
};

struct TruncateStmt : Statement {
  TruncateStmt() : Statement(StmtKind::Truncate) {}
  std::vector<std::string> name;
};

struct UserStmt : Statement {
  explicit UserStmt(StmtKind k) : Statement(k) {}
  std::string name, password;
  bool cascade = false;
};

struct GrantStmt : Statement {
  explicit GrantStmt(StmtKind k) : Statement(k) {}
  std::vector<std::string> privileges;
  std::vector<std::vector<std::string>> privilegeColumns; // per privilege; empty: whole object
  std::vector<std::string> object;                        // empty for system privileges and roles
  std::vector<std::string> grantees;
  bool withOption = false;
  std::string text;
};

struct AlterSessionStmt : Statement {
  AlterSessionStmt() : Statement(StmtKind::AlterSession) {}
  bool system = false; // ALTER SYSTEM: SCOPE is among the settings
  std::vector<std::pair<std::string, std::string>> settings; // parameter, value
  std::vector<int> positions;
};

struct LockStmt : Statement {
  LockStmt() : Statement(StmtKind::LockTable) {}
  std::vector<std::vector<std::string>> tables;
  std::vector<int> positions;
  bool nowait = false;
};

struct TransactionStmt : Statement {
  explicit TransactionStmt(StmtKind k) : Statement(k) {}
  std::string savepoint;
};

} // namespace localdb
