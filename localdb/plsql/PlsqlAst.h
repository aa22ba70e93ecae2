// The PL/SQL syntax tree: units, declarations, statements and expressions, with the slots the
// binder resolves names to, so that execution never looks a name up.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "localdb/sql/SqlAst.h"

namespace localdb {
class Binder;
}

namespace localdb::plsql {

struct Subprogram;
struct TypeDecl;
struct CursorDecl;
struct ExceptionDecl;
struct Block;
struct Unit;
struct SqlStmt;

// ---------------------------------------------------------------- types

// The value families a PL/SQL value can have.
enum class VType : unsigned char {
  Null,   // the NULL literal before a context types it
  Number, // NUMBER, INTEGER, BINARY_INTEGER, ...
  Char,   // VARCHAR2, CHAR, LONG, RAW (bytes)
  Date,
  Boolean,
  Record,
  Table, // a collection: PL/SQL table (associative array), nested table or VARRAY
  RefCursor,
  Cursor,    // an explicit cursor (not a value one can assign)
  Exception, // a declared exception (not a value)
  Datetime,  // TIMESTAMP [WITH [LOCAL] TIME ZONE] and INTERVALs: the exact type in sqlType
};

// The longest VARCHAR2 (and CHAR, RAW) value PL/SQL holds, in bytes: a longer literal is
// PLS-00172; a longer result of an expression, or one longer than the variable it goes to, is
// ORA-06502 (character string buffer too small).
constexpr size_t kMaxStringBytes = 32767;

// A resolved type: its family and constraints; records and tables point at their declaration.
struct Type {
  VType kind = VType::Null;
  bool integer = false; // BINARY_INTEGER / INTEGER / NATURAL ...: whole numbers only
  bool binaryInteger = false;
  int length = 0; // VARCHAR2(n), CHAR(n): 0 = unconstrained
  bool blankPadded = false;
  bool notNull = false; // NOT NULL, NATURALN, POSITIVEN: NULL is VALUE_ERROR
  bool ranged = false;  // NATURAL, POSITIVE, SIGNTYPE: values outside low .. high are too
  int low = 0, high = 0;
  int precision = -1, scale = kNoScale;
  SqlType sqlType = SqlType::Unknown; // the column type it came from, when one
  const TypeDecl *decl = nullptr;     // records, tables, ref cursors
  std::string name;                   // for messages and describe
};

// A type as written: a name with constraints, x%TYPE, t%ROWTYPE.
struct TypeSpec {
  int pos = 0;
  std::vector<std::string> name; // VARCHAR2, or pkg.t, or tab.col (with attr)
  std::string attr;              // "", "TYPE", "ROWTYPE"
  int length = -1, precision = -1, scale = kNoScale;
  bool haveArgs = false;
  Type resolved; // set by the binder
};

// ---------------------------------------------------------------- expressions

enum class EKind {
  Null,
  Number,
  String,
  Boolean, // TRUE / FALSE in ival
  Name,    // a.b.c, possibly with call arguments: the binder resolves it to one of the below
  Bind,    // :x of an anonymous block
  Unary,   // - + NOT
  Binary,  // + - * / || ** and comparisons, AND, OR
  IsNull,
  Like,
  Between,
  In,
  Attribute, // cursor%FOUND ... and SQL%ROWCOUNT
  // Resolved forms of Name (set by the binder):
  Var,     // a variable slot (frame level / slot / package), with a field or index path
  Call,    // a user function call
  Builtin, // a built-in function evaluated natively or through SQLite
  Sqlcode,
  Sqlerrm,
  Collection, // table method: COUNT, FIRST, LAST, NEXT(i), PRIOR(i), EXISTS(i)
  Constant,   // a folded value (package constants of built-ins)
  // CASE [selector] WHEN w THEN r ... [ELSE e] END: operands [selector,] w1, r1, ... [, e]
  Case,
};

enum class Op {
  None,
  Add,
  Sub,
  Mul,
  Div,
  Pow,
  Concat,
  Eq,
  Ne,
  Lt,
  Gt,
  Le,
  Ge,
  And,
  Or,
  Not,
  Neg,
  Plus,
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

// A named argument or a positional one.
struct Arg {
  std::string name; // "" when positional
  int pos = 0;
  ExprPtr value;
};

// Where a variable lives: in a frame (level 0 = the unit's outermost subprogram or block,
// deeper levels for local subprograms) or in a package's state.
struct Slot {
  enum Where : unsigned char { None, Frame, Package, TriggerNew, TriggerOld } where = None;
  int level = 0;                 // frame nesting level (Frame)
  int index = -1;                // slot in the frame or the package state
  const Unit *package = nullptr; // the package whose state holds it (Package)
};

// One step of a path into a variable: a record field or a table element.
struct PathStep {
  int field = -1; // record field index, or -1 for a table element
  ExprPtr index;  // table element subscript
};

struct Expr {
  EKind kind = EKind::Null;
  int pos = 0;
  int height = 1; // levels of the tree below and including this node (the parser bounds it)
  Op op = Op::None;
  bool negated = false;                        // NOT LIKE / NOT BETWEEN / NOT IN / IS NOT NULL
  bool blankPadded = false;                    // a comparison of CHAR values and literals (binder)
  bool caseSelector = false, caseElse = false; // Case: which operands are there
  std::string text;                            // literal text, attribute name, builtin name
  long long ival = 0;
  std::vector<std::string> names; // Name: the dotted parts
  std::vector<int> namePos;       // Name: each part's offset
  bool hasArgs = false;           // Name: followed by ( ... )
  std::vector<Arg> args;          // Name / Call / Builtin arguments
  std::vector<ExprPtr> operands;  // Unary, Binary, IsNull, Like, Between, In
  // Binder annotations.
  Type type;
  Slot slot;
  std::vector<PathStep> path;
  const Subprogram *callee = nullptr;
  const CursorDecl *cursor = nullptr; // Attribute of an explicit cursor
  bool implicitCursor = false;        // SQL%...
  int builtin = -1;
  std::string sqlText;           // Builtin evaluated through SQLite: the compiled SELECT
  std::vector<ExprPtr> defaults; // Call: default expressions filled in (owned elsewhere)
  std::vector<Expr *> actuals;   // Call: one per formal, in formal order (null = default)
};

// ---------------------------------------------------------------- statements

enum class SKind {
  Null,
  Assign,
  Call,
  If,
  Loop,
  While,
  ForNum,
  ForCursor,
  Exit,
  Goto,
  Return,
  Raise,
  Block,
  Sql, // SELECT INTO, INSERT, UPDATE, DELETE, LOCK ...
  Commit,
  Rollback,
  Savepoint,
  Open,
  OpenFor,
  Fetch,
  Close,
  Case,     // branches: WHEN (a condition, or a value compared with the selector in value)
  Continue, // as Exit: label, WHEN condition in value
  Dynamic,  // EXECUTE IMMEDIATE value [INTO into] [USING args]
  PipeRow,  // PIPE ROW (value) of a pipelined function
};

struct Stmt;
using StmtPtr = std::unique_ptr<Stmt>;

struct ElsIf {
  ExprPtr cond;
  std::vector<StmtPtr> body;
};

struct Handler {
  int pos = 0;
  std::vector<std::vector<std::string>> names; // exception names, "OTHERS"
  std::vector<int> namePos;
  std::vector<int> codes; // resolved: the error codes it catches
  std::vector<const ExceptionDecl *> user;
  bool others = false;
  std::vector<StmtPtr> body;
};

struct Stmt {
  SKind kind = SKind::Null;
  int pos = 0;
  int line = 0; // for ORA-06512
  std::vector<std::string> labels;
  ExprPtr target; // Assign target, Fetch / Open cursor, Call expression
  ExprPtr value;  // Assign value, Exit WHEN, Return value, While condition, Raise exception
  std::vector<ElsIf> branches; // If: condition + body each; else in elseBody
  std::vector<StmtPtr> body;
  std::vector<StmtPtr> elseBody;
  bool hasElse = false; // Case: an ELSE (without one, no match is CASE_NOT_FOUND)
  bool bulk = false;    // Fetch: BULK COLLECT INTO tables, at most low rows when given
  bool forall = false;  // ForNum: FORALL, its body one DML statement
  // FORALL i IN INDICES OF c [BETWEEN low AND high] / VALUES OF c (in value); SAVE EXCEPTIONS.
  enum Bounds : unsigned char { Range, IndicesOf, ValuesOf } bounds = Range;
  bool saveExceptions = false;
  // ForNum / ForCursor
  std::string loopVar;
  int loopVarPos = 0;
  bool reverse = false;
  ExprPtr low, high;
  int loopSlot = -1;
  std::unique_ptr<CursorDecl> inlineCursor; // FOR r IN (SELECT ...)
  // Exit / Goto / Raise
  std::string label;
  Stmt *gotoTarget = nullptr;
  const Stmt *exitLoop = nullptr;
  // Block
  std::unique_ptr<Block> block;
  // Sql / Fetch INTO
  std::unique_ptr<SqlStmt> sql;
  std::vector<ExprPtr> into;
  std::string savepoint;
  // Open cursor(args) / OPEN x FOR query; EXECUTE IMMEDIATE ... USING args, each with its mode
  // (a RETURNING INTO target is an OUT arg after the USING ones)
  std::vector<ExprPtr> args;
  std::vector<unsigned char> argModes; // Param::Mode of each arg of a dynamic statement
  const ExceptionDecl *exception = nullptr;
};

// One SQLite statement of a MERGE or multi-table INSERT, run in turn with the others.
struct SqlPart {
  std::string sql;
  bool counts = false;        // its rows are the statement's rows
  bool inserts = false;       // an INSERT: the DELETE after it leaves its rows
  bool deletesBefore = false; // takes :inserted, the rows the INSERTs before it added
};

// The table a DML statement changes and how, for the table's statement triggers (event: 1
// insert, 2 update, 3 delete, 0 not a change of a table; columns: those an UPDATE sets).
struct DmlTarget {
  std::string owner, table;
  int event = 0;
  std::vector<std::string> columns;
  bool singleRow = false; // INSERT ... VALUES: its row triggers may see the table
};

// The target of a bound INSERT, UPDATE or DELETE (read while the binder that bound it still
// exists); through a view, the table behind it and that table's column names.
DmlTarget dmlTarget(const Statement &boundAst);

// The statements of a MERGE or multi-table INSERT, bound by one binder (so they share its
// binds) and written for SQLite; asts and defaults keep what the binding made. target: the
// table of the first part that changes rows, for its statement triggers.
std::vector<SqlPart> compileParts(const MultiStmt &multi, localdb::Binder &binder,
                                  const std::string &user, bool modern,
                                  std::vector<std::unique_ptr<Statement>> &asts,
                                  std::vector<localdb::ExprPtr> &defaults, DmlTarget &target);

// SQL inside PL/SQL: the statement's text span, its INTO targets cut out, compiled to SQLite
// once by the binder with PL/SQL names turned into parameters.
struct SqlStmt {
  int pos = 0, end = 0; // span in the unit text
  std::string text;     // the span, INTO clause blanked (offsets stay those of the unit)
  StmtKind kind = StmtKind::Select;
  // Binder output.
  std::string sqlite;
  std::vector<ExprPtr> params;      // PL/SQL values bound as ?1.. in order
  std::vector<std::string> binds;   // the compiled statement's parameter names
  std::vector<int> paramOf;         // per SQLite parameter: index into params
  std::vector<SqlType> columnTypes; // SELECT: the column types
  std::vector<std::string> columnNames;
  std::vector<TypeInfo> columnInfo; // SELECT: the column types with their sizes (describe)
  int counters = 0;
  DmlTarget target; // INSERT, UPDATE, DELETE: what its statement triggers are looked up by
  // SELECT ... FOR UPDATE: the hidden last column holding each row's rowid (-1: none, a join).
  bool forUpdate = false;
  int rowidColumn = -1;
  bool bulkCollect = false;   // SELECT ... BULK COLLECT INTO tables
  std::vector<SqlPart> parts; // MERGE, INSERT ALL / FIRST: its statements (sqlite unused)
  // The tables it reads or changes, "OWNER.TABLE" (a row trigger may not see a mutating one).
  std::vector<std::string> tables;
  bool ok = false;
};

// ---------------------------------------------------------------- declarations

struct RecordField {
  std::string name;
  int pos = 0;
  TypeSpec spec;
  Type type;
  ExprPtr init;
  bool notNull = false;
};

struct TypeDecl {
  enum Kind { Record, Table, RefCursor } kind = Record;
  // A Table's kind of collection: an associative array (INDEX BY) is never NULL and has any
  // keys; a nested table or a VARRAY is NULL until a constructor gives it dense elements 1 .. n.
  enum Collection { IndexBy, Nested, Varray } collection = IndexBy;
  std::string name;
  int pos = 0;
  std::vector<RecordField> fields; // Record (and %ROWTYPE records built by the binder)
  TypeSpec element;                // Table
  Type elementType;
  int limit = 0;          // VARRAY(limit)
  bool stringKey = false; // INDEX BY VARCHAR2(n): keys are text, in byte order
  TypeSpec keySpec;       // INDEX BY VARCHAR2(n) ...
  Type keyType;
  TypeSpec returnSpec;      // RefCursor RETURN type (optional)
  int nesting = 1;          // records and tables inside one another, this one included (binder)
  bool hasDefaults = false; // a record whose fields have initial values (binder)
  // A schema-level object type: a record (its attributes) that is atomically NULL until
  // constructed, with the methods its unit declares.
  bool object = false;
  bool notFinal = false, notInstantiable = false;
  const Unit *objectUnit = nullptr; // the TYPE unit (binder)
};

inline bool isObjectType(const TypeDecl *d) { return d && d->object; }

// Whether a collection type is a nested table or a VARRAY (NULL until initialised).
inline bool isDenseCollection(const TypeDecl *d) {
  return d && d->kind == TypeDecl::Table && d->collection != TypeDecl::IndexBy;
}

struct VarDecl {
  std::string name;
  int pos = 0;
  TypeSpec spec;
  bool constant = false, notNull = false;
  ExprPtr init;
  int slot = -1;
  Slot where; // the frame or package slot the binder gave it
  Type type;
};

struct Param {
  std::string name;
  int pos = 0;
  enum Mode { In, Out, InOut } mode = In;
  TypeSpec spec;
  ExprPtr defaultValue;
  int slot = -1;
  Type type;
};

struct CursorDecl {
  std::string name;
  int pos = 0;
  std::vector<Param> params;
  std::unique_ptr<SqlStmt> query; // null for a declaration in a spec without its query
  TypeSpec returnSpec;
  bool haveReturn = false;
  int slot = -1; // the cursor's state in its frame or package
  Slot where;
  std::unique_ptr<TypeDecl> rowType; // the record a FOR loop or %ROWTYPE gives
};

struct ExceptionDecl {
  std::string name;
  int pos = 0;
  int code = 1;       // user-defined: 1 (SQLCODE +1) until EXCEPTION_INIT gives one
  bool bound = false; // EXCEPTION_INIT gave it code (which may be 1, ORA-00001)
  const Unit *owner = nullptr;
};

struct Subprogram {
  bool isFunction = false;
  bool pipelined = false; // PIPELINED: its PIPE ROW values are the collection it returns
  std::string name;
  int pos = 0;   // the name
  int start = 0; // PROCEDURE / FUNCTION keyword
  std::vector<Param> params;
  TypeSpec returnSpec;
  Type returnType;
  std::unique_ptr<Block> body;            // null: a forward or spec declaration
  const Subprogram *definition = nullptr; // a declaration's body, once found
  int level = 0;                          // frame level of its body
  int frameSize = 0;
  const Unit *unit = nullptr;
  int overload = 1;
  // A method of an object type: a member's first parameter is SELF (IN for a function, IN OUT
  // for a procedure and a constructor); a constructor returns SELF.
  enum Method : unsigned char { NotMethod, Member, Static, Constructor } method = NotMethod;
  char ordering = 0; // a MAP ('M') or ORDER ('O') member function: how its objects compare
};

struct Decl {
  enum Kind { Var, Type, Cursor, Exception, Pragma, Sub } kind = Var;
  int pos = 0;
  std::unique_ptr<VarDecl> var;
  std::unique_ptr<TypeDecl> type;
  std::unique_ptr<CursorDecl> cursor;
  std::unique_ptr<ExceptionDecl> exception;
  std::unique_ptr<Subprogram> sub;
  // PRAGMA EXCEPTION_INIT(name, code)
  std::string pragmaName, pragmaTarget;
  int pragmaTargetPos = 0;
  long long pragmaCode = 0;
};

struct Block {
  int pos = 0;
  std::string label;
  std::vector<Decl> decls;
  std::vector<StmtPtr> body;
  std::vector<Handler> handlers;
  int endPos = 0;
};

// ---------------------------------------------------------------- units

// Type: a schema-level collection type (CREATE TYPE t AS TABLE OF x / AS VARRAY(n) OF x), its
// one declaration in decls; or an object type, its attributes in decls[0] and its methods'
// declarations after it. TypeBody: the methods' definitions.
enum class UnitKind {
  Anonymous,
  Procedure,
  Function,
  Package,
  PackageBody,
  Trigger,
  Type,
  TypeBody
};

struct TriggerInfo {
  bool before = true, forEachRow = false;
  bool onInsert = false, onUpdate = false, onDelete = false;
  std::vector<std::string> updateColumns;
  std::vector<std::string> table; // [owner.]table
  int tablePos = 0;
  std::string newName = "NEW", oldName = "OLD";
  ExprPtr when;
  std::string whenText;
  std::string description; // the header from the name to before WHEN/DECLARE/BEGIN
  int bodyStart = 0;       // offset of the body (DECLARE / BEGIN)
};

struct Unit {
  UnitKind kind = UnitKind::Anonymous;
  std::string owner, name;
  int namePos = 0;
  std::unique_ptr<Subprogram> sub; // procedure, function, trigger body (as a procedure)
  std::vector<Decl> decls;         // package spec or body declarations
  std::unique_ptr<Block> init;     // package body initialisation, anonymous block
  TriggerInfo trigger;
  const Unit *spec = nullptr;         // a body's specification
  int frameSize = 0;                  // anonymous block / package state slots
  std::vector<std::string> bindNames; // anonymous block :x, in order
  std::vector<std::pair<std::string, std::string>> dependsOn; // owner.name, type
  // Types and expressions the binder made (%ROWTYPE records, cursor rows, defaults).
  std::vector<std::unique_ptr<TypeDecl>> ownedTypes;
  std::vector<ExprPtr> ownedExprs;
  // A package body: the definition of each subprogram its specification declares.
  std::vector<std::pair<const Subprogram *, const Subprogram *>> definitions;
  std::vector<ColumnInfo> triggerColumns; // a trigger's table columns (:new / :old fields)
};

} // namespace localdb::plsql
