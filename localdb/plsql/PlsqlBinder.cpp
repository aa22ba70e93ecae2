// The PL/SQL binder: block scopes over the tree, names resolved to frame or package slots,
// overloads chosen by argument count and type family, embedded SQL compiled by the SQL front
// end with PL/SQL names as parameters, and PLS errors at Oracle's positions.
#include "localdb/plsql/PlsqlBinder.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "localdb/catalog/Privileges.h"
#include "localdb/packages/DbmsLob.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlLexer.h"
#include "localdb/sql/SqlParser.h"

namespace localdb::plsql {

namespace {

struct BindAbort {};

struct Symbol {
  enum Kind { Var, Cursor, Exception, TypeName, Subs, Package } kind = Var;
  Slot slot;
  Type type;
  bool constant = false; // constants, IN parameters, loop indexes
  const CursorDecl *cursor = nullptr;
  const ExceptionDecl *exception = nullptr;
  const TypeDecl *typeDecl = nullptr;
  Type scalar; // a SUBTYPE or a named scalar
  std::vector<const Subprogram *> subs;
  const Unit *package = nullptr;
};

struct Scope {
  Scope *parent = nullptr;
  std::unordered_map<std::string, Symbol> names;
  std::vector<std::string> labels;
  // The names its declarations make, also those not reached yet: a use before its declaration
  // is PLS-00313, not PLS-00201.
  std::vector<std::string> declaring;
};

// Slots of one frame (a subprogram's or the block's) or of a package's state.
struct FrameAlloc {
  Slot::Where where = Slot::Frame;
  int level = 0;
  int next = 0;
  const Unit *package = nullptr;
};

struct Predefined {
  const char *name;
  int code;
};
const Predefined kPredefined[] = {
    {"NO_DATA_FOUND", 1403},       {"TOO_MANY_ROWS", 1422},        {"ZERO_DIVIDE", 1476},
    {"VALUE_ERROR", 6502},         {"DUP_VAL_ON_INDEX", 1},        {"INVALID_CURSOR", 1001},
    {"CURSOR_ALREADY_OPEN", 6511}, {"INVALID_NUMBER", 1722},       {"PROGRAM_ERROR", 6501},
    {"STORAGE_ERROR", 6500},       {"LOGIN_DENIED", 1017},         {"NOT_LOGGED_ON", 1012},
    {"TIMEOUT_ON_RESOURCE", 51},   {"TRANSACTION_BACKED_OUT", 61}, {"CASE_NOT_FOUND", 6592},
};
// Those of the collections and object types Oracle 7.3 did not have.
const Predefined kPredefinedModern[] = {
    {"ACCESS_INTO_NULL", 6530},       {"SELF_IS_NULL", 30625},
    {"COLLECTION_IS_NULL", 6531},     {"SUBSCRIPT_OUTSIDE_LIMIT", 6532},
    {"SUBSCRIPT_BEYOND_COUNT", 6533},
};

int predefinedCode(const std::string &name, bool modern) {
  for (const Predefined &p : kPredefined)
    if (name == p.name)
      return p.code;
  if (modern)
    for (const Predefined &p : kPredefinedModern)
      if (name == p.name)
        return p.code;
  return 0;
}

// A predefined exception as a handler or RAISE names it: NAME or STANDARD.NAME.
int predefinedCode(const std::vector<std::string> &name, bool modern) {
  if (name.size() == 1)
    return predefinedCode(name[0], modern);
  if (name.size() == 2 && name[0] == "STANDARD")
    return predefinedCode(name[1], modern);
  return 0;
}

std::string joinNames(const std::vector<std::string> &n, size_t upto) {
  std::string s;
  for (size_t i = 0; i < upto && i < n.size(); ++i) {
    if (i)
      s += '.';
    s += n[i];
  }
  return s;
}

bool scalarFamily(VType k) {
  return k == VType::Number || k == VType::Char || k == VType::Date || k == VType::Null ||
         k == VType::Datetime;
}

// Whether a value of family from converts implicitly to family to, as PL/SQL's conversion
// table has it: between text and numbers or dates, not between numbers and dates.
bool convertible(VType to, VType from);

// Whether values of two families compare: not numbers with dates.
bool comparable(VType a, VType b) {
  auto dated = [](VType k) { return k == VType::Date || k == VType::Datetime; };
  return !((a == VType::Number && dated(b)) || (dated(a) && b == VType::Number));
}

bool convertible(VType to, VType from) {
  if (to == from || from == VType::Null)
    return true;
  if (!scalarFamily(to) || !scalarFamily(from))
    return false;
  auto dated = [](VType k) { return k == VType::Date || k == VType::Datetime; };
  return !((to == VType::Number && dated(from)) || (dated(to) && from == VType::Number));
}

SqlType sqlTypeOf(const Type &t) {
  switch (t.kind) {
  case VType::Number:
    return SqlType::Number;
  case VType::Char:
    return t.sqlType != SqlType::Unknown ? t.sqlType : SqlType::Varchar2;
  case VType::Date:
    return SqlType::Date;
  case VType::Datetime:
    return t.sqlType;
  default:
    return SqlType::Unknown;
  }
}

Type typeOfColumn(const ColumnInfo &c) {
  Type t;
  t.sqlType = c.type;
  switch (c.type) {
  case SqlType::Number:
    t.kind = VType::Number;
    t.precision = c.precision;
    t.scale = c.scale;
    t.integer = c.scale == 0;
    t.name = "NUMBER";
    break;
  case SqlType::Date:
    t.kind = VType::Date;
    t.name = "DATE";
    break;
  case SqlType::Timestamp:
  case SqlType::TimestampTz:
  case SqlType::TimestampLtz:
  case SqlType::IntervalYM:
  case SqlType::IntervalDS:
    t.kind = VType::Datetime;
    t.precision = c.precision;
    t.scale = c.scale;
    t.name = typeName(c.type);
    break;
  default:
    t.kind = VType::Char;
    t.length = c.type == SqlType::Long || c.type == SqlType::LongRaw ? 32760
               : isLob(c.type)                                       ? 0
                                                                     : c.length;
    t.blankPadded = c.type == SqlType::Char;
    t.name = typeName(c.type);
  }
  return t;
}

Type typeOfSql(SqlType st) {
  ColumnInfo c;
  c.type = st == SqlType::Unknown ? SqlType::Varchar2 : st;
  c.length = 0;
  Type t = typeOfColumn(c);
  t.integer = false;
  t.precision = -1;
  t.scale = kNoScale;
  return t;
}

// SYS_REFCURSOR: the predefined weak REF CURSOR type.
const TypeDecl &sysRefCursor() {
  static const TypeDecl t = [] {
    TypeDecl d;
    d.kind = TypeDecl::RefCursor;
    d.name = "SYS_REFCURSOR";
    return d;
  }();
  return t;
}

// The scalar types PL/SQL knows by name.
bool scalarType(const TypeSpec &s, Type &t) {
  if (s.name.size() != 1)
    return false;
  const std::string &n = s.name[0];
  t = Type();
  t.name = n;
  if (n == "NUMBER" || n == "DECIMAL" || n == "DEC" || n == "NUMERIC" || n == "FLOAT" ||
      n == "REAL") {
    t.kind = VType::Number;
    if (s.haveArgs && n != "FLOAT" && n != "REAL") {
      t.precision = s.precision;
      t.scale = s.scale == kNoScale ? 0 : s.scale;
      t.integer = t.scale == 0;
    }
    return true;
  }
  if (n == "INTEGER" || n == "INT" || n == "SMALLINT") {
    t.kind = VType::Number;
    t.integer = true;
    t.scale = 0;
    return true;
  }
  if (n == "BINARY_INTEGER" || n == "PLS_INTEGER" || n == "NATURAL" || n == "POSITIVE" ||
      n == "NATURALN" || n == "POSITIVEN" || n == "SIGNTYPE") {
    t.kind = VType::Number;
    t.integer = true;
    t.binaryInteger = true;
    // The subtypes of BINARY_INTEGER restrict its range; the N forms also exclude NULL.
    t.ranged = n != "BINARY_INTEGER" && n != "PLS_INTEGER";
    t.low = n == "SIGNTYPE" ? -1 : n[0] == 'P' ? 1 : 0;
    t.high = n == "SIGNTYPE" ? 1 : 2147483647;
    t.notNull = n == "NATURALN" || n == "POSITIVEN";
    return true;
  }
  if (n == "VARCHAR2" || n == "VARCHAR" || n == "STRING" || n == "CHAR" || n == "CHARACTER" ||
      n == "LONG" || n == "RAW" || n == "LONG RAW" || n == "ROWID" || n == "MLSLABEL") {
    t.kind = VType::Char;
    t.sqlType = n == "CHAR" || n == "CHARACTER" ? SqlType::Char
                : n == "LONG"                   ? SqlType::Long
                : n == "RAW"                    ? SqlType::Raw
                : n == "LONG RAW"               ? SqlType::LongRaw
                : n == "ROWID"                  ? SqlType::Rowid
                                                : SqlType::Varchar2;
    t.blankPadded = t.sqlType == SqlType::Char;
    if (s.haveArgs)
      t.length = s.length;
    else if (t.blankPadded)
      t.length = 1;
    else if (n == "LONG" || n == "LONG RAW")
      t.length = 32760;
    return true;
  }
  if (n == "DATE") {
    t.kind = VType::Date;
    return true;
  }
  if (n == "CLOB" || n == "NCLOB" || n == "BLOB") { // the caller checks the language level
    t.kind = VType::Char;
    t.sqlType = n == "BLOB" ? SqlType::Blob : SqlType::Clob;
    return !s.haveArgs;
  }
  // The parser gives these their whole name and precisions (leading in precision, the digits of
  // a fraction of a second in scale).
  if (auto dt = typeFromName(n); dt && (isTimestampType(*dt) || isIntervalType(*dt))) {
    t.kind = VType::Datetime;
    t.sqlType = *dt;
    t.precision = isIntervalType(*dt) ? s.precision : -1;
    t.scale = s.scale;
    return true;
  }
  if (n == "BOOLEAN") {
    t.kind = VType::Boolean;
    return true;
  }
  if (n == "SYS_REFCURSOR") {
    t.kind = VType::RefCursor;
    t.decl = &sysRefCursor();
    return true;
  }
  return false;
}

// DBMS_OUTPUT.CHARARR, the type of GET_LINES' LINES: TABLE OF VARCHAR2(255) INDEX BY
// BINARY_INTEGER.
const TypeDecl &charArr() {
  static const TypeDecl t = [] {
    TypeDecl d;
    d.kind = TypeDecl::Table;
    d.name = "CHARARR";
    d.elementType.kind = VType::Char;
    d.elementType.sqlType = SqlType::Varchar2;
    d.elementType.length = 255;
    d.elementType.name = "VARCHAR2";
    d.nesting = 2;
    return d;
  }();
  return t;
}

// The name a subprogram is declared under in its scope: an object type's constructors share
// the type's name, which names the type there.
std::string scopeName(const Subprogram &sp) {
  return sp.method == Subprogram::Constructor ? "$CONSTRUCTOR" : sp.name;
}

bool isCharArr(const std::vector<std::string> &n) {
  size_t at = n.size() == 3 && n[0] == "SYS" ? 1 : 0;
  return n.size() == at + 2 && n[at] == "DBMS_OUTPUT" && n[at + 1] == "CHARARR";
}

class UnitBinder {
public:
  UnitBinder(Unit &u, const std::string &text, BindContext &ctx, std::vector<CompileError> &errors);

  void bind();

private:
  Unit &FUnit;
  const std::string &FText;
  BindContext &FCtx;
  std::vector<CompileError> &FErrors;
  LineMap FLines;
  // Lines before a trigger's PL/SQL block: its ORA-06512 lines count from the block, as Oracle's.
  int FLineBase;
  std::vector<FrameAlloc> FFrames;
  const Subprogram *FCurrentSub = nullptr;
  int FHandlerDepth = 0;
  bool FQuiet = false;
  std::vector<Type> FArgTypes; // the arguments of a SQL function compiled through SQLite
  SqlStmt *FSql = nullptr;     // the embedded statement being compiled

  // ------------------------------------------------------------ errors

  void report(int pos, const std::string &text);
  // A record or table type holding a value of type inner: Oracle's 32 levels of records and
  // tables inside one another at most, so that making, copying and freeing values stays shallow.
  void nest(TypeDecl &outer, Type &inner);
  [[noreturn]] void fail(int pos, const std::string &text);
  [[noreturn]] void undeclared(int pos, const std::string &name);
  [[noreturn]] void component(int pos, const std::string &name);
  [[noreturn]] void wrongType(int pos);
  [[noreturn]] void wrongArgs(int pos, const std::string &name);

  // ------------------------------------------------------------ scopes and slots

  Symbol *lookup(Scope *s, const std::string &name);

  // n[0], or n[1] declared in the block, loop or subprogram n[0] labels: the innermost scope
  // that has either (at: the parts used).
  Symbol *lookupQualified(Scope *s, const std::vector<std::string> &n, size_t &at);

  Slot allocate();

  void declare(Scope *scope, const std::string &name, Symbol sym, int pos);

  void dependOn(const std::string &owner, const std::string &name, const std::string &type);

  // ------------------------------------------------------------ types

  TypeDecl *rowTypeOf(const std::vector<ColumnInfo> &cols, const std::string &name);

  // The columns of a table or view the unit's owner may use (one without any privilege does
  // not exist for it).
  bool tableColumns(const std::vector<std::string> &name, std::vector<ColumnInfo> &cols);

  Type resolveType(TypeSpec &s, Scope *scope);
  // A schema-level collection type, T or OWNER.T; null when the name is none.
  const TypeDecl *schemaType(const std::vector<std::string> &name, int pos);

  // A member of a package specification.
  Symbol *member(const Unit *pkg, const std::string &name);
  std::unordered_map<const Unit *, Scope> FMembers;

  // ------------------------------------------------------------ declarations

  void bindDecls(std::vector<Decl> &decls, Scope *scope, bool packageLevel);

  void bindDecl(Decl &d, Scope *scope, bool packageLevel);
  void bindVarDecl(Decl &d, Scope *scope);
  void bindTypeDecl(Decl &d, Scope *scope);
  void bindCursorDecl(Decl &d, Scope *scope);
  void bindPragma(Decl &d, Scope *scope);

  bool sameSignature(const Subprogram &a, const Subprogram &b);

  // Formal parameters and function results take the length of their values: CHAR there is
  // not CHAR(1).
  Type resolveFormalType(TypeSpec &s, Scope *scope);

  void resolveSignature(Subprogram &sp, Scope *scope);

  void bindSubprogram(Subprogram &sp, Scope *scope, bool packageLevel);

  // A scalar that may not be NULL starts with a value (the declaration still declares it).
  void requireInitial(const Type &t, const Expr *init, int pos);

  // ------------------------------------------------------------ expressions

  void checkAssignable(const Type &target, const Expr &value);

  void bindValue(Expr &e, Scope *scope);

  void bindCondition(Expr &e, Scope *scope);

  static const char *opName(Op op);

  // CHAR values and string literals compare blank-padded with one another; a VARCHAR2 on
  // either side makes the comparison non-padded.
  static bool blankPadded(const Expr &x);

  void bindExpr(Expr &e, Scope *scope);

  // A cursor name, or a REF CURSOR variable, as OPEN / FETCH / CLOSE / %attributes name it.
  void bindCursorRef(Expr &c, Scope *scope);

  // Resolves a dotted name (with arguments) to a variable path, a call or a built-in.
  void resolveName(Expr &e, Scope *scope, bool asProcedure);

  void resolveSymbol(Expr &e, Symbol &s, size_t at, Scope *scope, bool asProcedure);

  // Record fields, table elements and collection methods after a variable.
  void followFields(Expr &e, size_t at);
  // t(a, b, ...) of a nested table or VARRAY type: a new collection of those elements.
  void constructor(Expr &e, const TypeDecl &t, Scope *scope);
  // Of an object type t: t(...) (a user constructor the arguments fit, else the attribute
  // values in order or by name) when at is past the name, t.s(...) of a STATIC method when it
  // names one.
  void typeMethod(Expr &e, const TypeDecl &t, size_t at, Scope *scope, bool asProcedure);
  // o.m(...): a MEMBER method called with o (already bound into e's slot and path) as SELF.
  void memberCall(Expr &e, size_t at, Scope *scope);
  // a op b of objects: through the type's MAP function (m(a) op m(b)) or its ORDER function
  // (a.o(b) op 0).
  void objectComparison(Expr &e);
  bool FAsProcedure = false;
  // The multiset operators and conditions over nested tables, and CARDINALITY.
  void multisetOperator(Expr &e, Scope *scope);
  Scope *FCurrentScope = nullptr;

  // Built-ins, stored units, schema-qualified names.
  bool resolveGlobal(Expr &e, Scope *scope, bool asProcedure);

  // NVL over BOOLEAN values, which SQL does not have: evaluated here. False when the
  // arguments are not BOOLEAN (the arguments are bound either way).
  bool booleanNvl(Expr &e, Scope *scope);

  // A SQL function in a PL/SQL expression: one compiled SELECT over its arguments.
  // Compiled SQL function calls by name and argument types: a unit calls the same few
  // functions many times.
  struct CompiledFunction {
    std::string sql;
    Type type;
    std::vector<size_t> order; // the arguments in the emitted parameter order
  };
  std::unordered_map<std::string, CompiledFunction> FFunctions;

  bool sqlFunction(Expr &e, Scope *scope, bool argsBound = false);
  void sqlOperator(Expr &e);
  bool compileSqlValue(Expr &e, const std::string &call, const std::vector<Type> &types,
                       bool predicate, const std::string &key);

  bool suppliedPackage(Expr &e, const std::string &pkg, const std::string &m, int mpos,
                       Scope *scope, bool asProcedure);

  void requireTarget(const Expr &x);

  std::string exprText(const Expr &x);

  // Chooses the overload the arguments fit, fills in defaults and checks OUT targets.
  void resolveCall(Expr &e, const std::vector<const Subprogram *> &subs, const std::string &name,
                   Scope *scope, bool asProcedure);

  // ------------------------------------------------------------ embedded SQL

  // Compiles the statement through the SQL front end; names of PL/SQL variables become
  // parameters. SQL errors come out as "PL/SQL: ORA-..." at the offending token.
  bool compileSql(SqlStmt &q, Scope *scope, int stmtPos, bool withRowid = true);
  void bindDynamicText(Stmt &s, Scope *scope);
  void recordDml(std::string &text, Scope *scope);
  // A DML statement's RETURNING values: its columns, read as a query's.
  static void returningColumns(const localdb::Returning &r, SqlStmt &q) {
    for (const auto &e : r.exprs) {
      q.columnTypes.push_back(e->type.type);
      q.columnNames.push_back("");
      q.columnInfo.push_back(e->type);
    }
  }

  // WHERE CURRENT OF c names the row the cursor fetched last: the text becomes a comparison of
  // ROWID with the cursor's rowid. The clause ends the statement, so no offset moves.
  void currentOf(SqlStmt &q, std::string &text, Scope *scope, int stmtPos);
  const CursorDecl *FCurrentOf = nullptr;

  // The stored tables a statement reads: its FROM clauses, the views and subqueries in them.
  static void tablesOf(const Select &s, std::vector<std::string> &out);
  static void tablesOf(const localdb::Expr &e, std::vector<std::string> &out);

  // The table a DML statement changes, and the view it goes through.
  void dmlDependencies(const BoundTable &t);

  // The tables and views a query reads (its FROM clauses, inline views and set operands).
  void queryDependencies(const Select &s);

  bool hostName(localdb::Expr &x, SqlStmt &q, Scope *scope);

  // ------------------------------------------------------------ statements

  // The block of a subprogram, a trigger or the unit: GOTO and EXIT do not leave it.
  void bindBody(Block &b, Scope *outer, const std::vector<std::string> &labels = {});

  void bindBlock(Block &b, Scope *outer, const std::vector<std::string> &labels = {});

  // The exception a handler names: a declared one (which.first) or a predefined code.
  bool handlerException(const std::vector<std::string> &nm, Scope *scope,
                        std::pair<const ExceptionDecl *, int> &which);

  // PKG.EXC: an exception a package declares (the unit then depends on the package); null for
  // any other name.
  const ExceptionDecl *packageException(const std::vector<std::string> &nm);

  // The statement lists a GOTO may branch into: its own and those enclosing it, up to its
  // subprogram (a handler's block body is not among them); and the loops an EXIT may leave.
  std::vector<const std::vector<StmtPtr> *> FGotoLists;
  std::vector<const Stmt *> FLoops;
  // The labelled statements a failed GOTO or EXIT is told apart by: all of the subprogram's.
  std::vector<const Stmt *> FLabelled;

  static bool labelled(const Stmt &s, const std::string &label);
  const Stmt *anyLabelled(const std::string &label);

  void checkGoto(const Stmt &s);

  void checkExit(const Stmt &s);
  void bindCaseStatement(Stmt &s, Scope *scope);
  void bindCaseExpr(Expr &e, Scope *scope);

  // Every labelled statement of a subprogram's body, its own subprograms' apart.
  void collectLabels(const std::vector<StmtPtr> &list);

  void bindStatements(std::vector<StmtPtr> &list, Scope *scope);

  void statementIgnored(int pos);

  void bindStatement(Stmt &s, Scope *scope);
  void bindCall(Stmt &s, Scope *scope);
  void bindReturn(Stmt &s, Scope *scope);
  void bindRaise(Stmt &s, Scope *scope);
  void bindForNum(Stmt &s, Scope *scope);
  void bindForCursor(Stmt &s, Scope *scope);

  void loopBody(Stmt &s, Scope *scope);

  void bindInto(Stmt &s, size_t columns);

  // ------------------------------------------------------------ units

  void bindTrigger(Scope *global);
};

UnitBinder::UnitBinder(Unit &u, const std::string &text, BindContext &ctx,
                       std::vector<CompileError> &errors)
    : FUnit(u), FText(text), FCtx(ctx), FErrors(errors), FLines(text),
      FLineBase(u.kind == UnitKind::Trigger ? FLines.line(u.trigger.bodyStart) - 1 : 0) {}

void UnitBinder::report(int pos, const std::string &text) {
  if (FQuiet)
    return;
  if (static_cast<int>(FErrors.size()) < kMaxCompileErrors)
    FErrors.push_back(CompileError{pos, text, false});
}

void UnitBinder::nest(TypeDecl &outer, Type &inner) {
  if (!inner.decl || (inner.kind != VType::Record && inner.kind != VType::Table))
    return;
  if (inner.decl->nesting + 1 > kMaxTypeNesting) {
    report(outer.pos, "PLS-00123: program too large");
    inner = Type{};
    return;
  }
  outer.nesting = std::max(outer.nesting, inner.decl->nesting + 1);
}

void UnitBinder::fail(int pos, const std::string &text) {
  report(pos, text);
  throw BindAbort{};
}

void UnitBinder::undeclared(int pos, const std::string &name) {
  for (Scope *s = FCurrentScope; s; s = s->parent)
    if (std::find(s->declaring.begin(), s->declaring.end(), name) != s->declaring.end())
      fail(pos, "PLS-00313: '" + name + "' not declared in this scope");
  fail(pos, "PLS-00201: identifier '" + name + "' must be declared");
}

void UnitBinder::component(int pos, const std::string &name) {
  fail(pos, "PLS-00302: component '" + name + "' must be declared");
}

void UnitBinder::wrongType(int pos) { fail(pos, "PLS-00382: expression is of wrong type"); }

void UnitBinder::wrongArgs(int pos, const std::string &name) {
  fail(pos, "PLS-00306: wrong number or types of arguments in call to '" + name + "'");
}

Symbol *UnitBinder::lookup(Scope *s, const std::string &name) {
  for (; s; s = s->parent) {
    auto it = s->names.find(name);
    if (it != s->names.end())
      return &it->second;
  }
  return nullptr;
}

Symbol *UnitBinder::lookupQualified(Scope *s, const std::vector<std::string> &n, size_t &at) {
  for (; s; s = s->parent) {
    auto it = s->names.find(n[0]);
    if (it != s->names.end()) {
      at = 1;
      return &it->second;
    }
    if (n.size() > 1 && std::find(s->labels.begin(), s->labels.end(), n[0]) != s->labels.end()) {
      it = s->names.find(n[1]);
      if (it != s->names.end()) {
        at = 2;
        return &it->second;
      }
    }
  }
  return nullptr;
}

Slot UnitBinder::allocate() {
  FrameAlloc &f = FFrames.back();
  Slot s;
  s.where = f.where;
  s.level = f.level;
  s.index = f.next++;
  s.package = f.package;
  return s;
}

void UnitBinder::declare(Scope *scope, const std::string &name, Symbol sym, int pos) {
  auto it = scope->names.find(name);
  if (it != scope->names.end()) {
    if (it->second.kind == Symbol::Subs && sym.kind == Symbol::Subs) {
      for (const Subprogram *p : sym.subs)
        it->second.subs.push_back(p);
      return;
    }
    report(pos, "PLS-00371: at most one declaration for '" + name +
                    "' is permitted in the declaration section");
    return;
  }
  scope->names.emplace(name, std::move(sym));
}

void UnitBinder::dependOn(const std::string &owner, const std::string &name,
                          const std::string &type) {
  auto key = std::make_pair(owner + "." + name, type);
  if (std::find(FUnit.dependsOn.begin(), FUnit.dependsOn.end(), key) == FUnit.dependsOn.end())
    FUnit.dependsOn.push_back(key);
}

TypeDecl *UnitBinder::rowTypeOf(const std::vector<ColumnInfo> &cols, const std::string &name) {
  auto td = std::make_unique<TypeDecl>();
  td->kind = TypeDecl::Record;
  td->name = name;
  for (const ColumnInfo &c : cols) {
    RecordField f;
    f.name = c.name;
    f.type = typeOfColumn(c);
    td->fields.push_back(std::move(f));
  }
  FUnit.ownedTypes.push_back(std::move(td));
  return FUnit.ownedTypes.back().get();
}

bool UnitBinder::tableColumns(const std::vector<std::string> &name, std::vector<ColumnInfo> &cols) {
  localdb::Binder b(FCtx.db, FCtx.user);
  auto o = b.findObject(name);
  if (!o || (o->type != "TABLE" && o->type != "VIEW") || !b.canAccess(o->owner, o->name))
    return false;
  cols = b.columnsOf(o->owner, o->name);
  dependOn(o->owner, o->name, o->type);
  return true;
}

Type UnitBinder::resolveType(TypeSpec &s, Scope *scope) {
  Type t;
  if (s.attr.empty()) {
    // CLOB, NCLOB and BLOB, timestamps and intervals are names Oracle 7.3 does not know.
    if (scalarType(s, t) && (FCtx.modern || (!isLob(t.sqlType) && t.kind != VType::Datetime))) {
      if (t.kind == VType::Char && s.haveArgs && (s.length < 1 || s.length > 32767))
        fail(s.pos, "PLS-00215: String length constraints must be in range (1 .. 32767)");
      s.resolved = t;
      return t;
    }
    t = Type();
    Symbol *sym = lookup(scope, s.name[0]);
    size_t at = 1;
    if (!sym && isCharArr(s.name)) {
      t.kind = VType::Table;
      t.decl = &charArr();
      t.name = t.decl->name;
      s.resolved = t;
      return t;
    }
    if (!sym && FCtx.modern) {
      if (const TypeDecl *d = schemaType(s.name, s.pos)) {
        t.kind = d->kind == TypeDecl::Record ? VType::Record : VType::Table;
        t.decl = d;
        t.name = d->name;
        s.resolved = t;
        return t;
      }
    }
    if (sym && sym->kind == Symbol::Package && s.name.size() > 1) {
      sym = member(sym->package, s.name[1]);
      at = 2;
    } else if (!sym && s.name.size() > 1) {
      bool invalid = false;
      if (const Unit *p = FCtx.units->findUnit(FCtx.user, s.name[0], invalid)) {
        dependOn(p->owner, p->name, "PACKAGE");
        sym = member(p, s.name[1]);
        at = 2;
      } else if (invalid) {
        fail(s.pos, "PLS-00905: object " + FCtx.user + "." + s.name[0] + " is invalid");
      }
    }
    if (!sym || sym->kind != Symbol::TypeName || at != s.name.size())
      undeclared(s.pos, joinNames(s.name, s.name.size()));
    if (sym->typeDecl) {
      t.kind = sym->typeDecl->kind == TypeDecl::Record  ? VType::Record
               : sym->typeDecl->kind == TypeDecl::Table ? VType::Table
                                                        : VType::RefCursor;
      t.decl = sym->typeDecl;
      t.name = sym->typeDecl->name;
    } else {
      t = sym->scalar;
    }
    s.resolved = t;
    return t;
  }
  if (s.attr == "TYPE") {
    // A variable's type, or a column's.
    Symbol *sym = lookup(scope, s.name[0]);
    if (sym && sym->kind == Symbol::Package && s.name.size() > 1) {
      Symbol *m = member(sym->package, s.name[1]);
      if (m && m->kind == Symbol::Var && s.name.size() == 2) {
        s.resolved = m->type;
        return m->type;
      }
    }
    if (sym && sym->kind == Symbol::Var) {
      t = sym->type;
      for (size_t i = 1; i < s.name.size(); ++i) {
        if (t.kind != VType::Record || !t.decl)
          component(s.pos, s.name[i]);
        bool found = false;
        for (const RecordField &f : t.decl->fields)
          if (f.name == s.name[i]) {
            t = f.type;
            found = true;
            break;
          }
        if (!found)
          component(s.pos, s.name[i]);
      }
      s.resolved = t;
      return t;
    }
    if (s.name.size() >= 2) {
      std::vector<std::string> table(s.name.begin(), s.name.end() - 1);
      std::vector<ColumnInfo> cols;
      if (tableColumns(table, cols)) {
        for (const ColumnInfo &c : cols)
          if (c.name == s.name.back()) {
            t = typeOfColumn(c);
            s.resolved = t;
            return t;
          }
        component(s.pos, s.name.back());
      }
      // OWNER.TABLE.COLUMN: the table is the name that is not there.
      if (s.name.size() >= 3)
        undeclared(s.pos, joinNames(table, table.size()));
    }
    undeclared(s.pos, joinNames(s.name, s.name.size()));
  }
  // %ROWTYPE: a table's or a cursor's row.
  Symbol *sym = lookup(scope, s.name[0]);
  if (sym && sym->kind == Symbol::Cursor && s.name.size() == 1) {
    if (!sym->cursor->rowType)
      undeclared(s.pos, s.name[0]);
    t.kind = VType::Record;
    t.decl = sym->cursor->rowType.get();
    s.resolved = t;
    return t;
  }
  std::vector<ColumnInfo> cols;
  if (!tableColumns(s.name, cols))
    undeclared(s.pos, joinNames(s.name, s.name.size()));
  t.kind = VType::Record;
  t.decl = rowTypeOf(cols, joinNames(s.name, s.name.size()));
  s.resolved = t;
  return t;
}

const TypeDecl *UnitBinder::schemaType(const std::vector<std::string> &name, int pos) {
  if (name.size() > 2)
    return nullptr;
  std::string owner = name.size() == 2 ? name[0] : FCtx.user;
  if (name.size() == 2 && !FCtx.units->isSchema(owner))
    return nullptr;
  bool invalid = false;
  const Unit *u = FCtx.units->findUnit(owner, name.back(), invalid);
  if (invalid)
    fail(pos, "PLS-00905: object " + owner + "." + name.back() + " is invalid");
  if (!u || u->kind != UnitKind::Type || u->decls.empty() || !u->decls[0].type)
    return nullptr;
  if (owner != FCtx.user && !objectPrivileges(FCtx.db, FCtx.user, owner, u->name).has("EXECUTE"))
    return nullptr;
  dependOn(u->owner, u->name, "TYPE");
  return u->decls[0].type.get();
}

Symbol *UnitBinder::member(const Unit *pkg, const std::string &name) {
  auto &cache = FMembers[pkg];
  if (cache.names.empty()) {
    for (const Decl &d : pkg->decls) {
      Symbol s;
      switch (d.kind) {
      case Decl::Var:
        s.kind = Symbol::Var;
        s.slot.where = Slot::Package;
        s.slot.index = d.var->slot;
        s.slot.package = pkg;
        s.type = d.var->type;
        s.constant = d.var->constant;
        cache.names[d.var->name] = s;
        break;
      case Decl::Type:
        s.kind = Symbol::TypeName;
        s.typeDecl =
            d.type->fields.size() == 1 && d.type->fields[0].name.empty() ? nullptr : d.type.get();
        if (!s.typeDecl)
          s.scalar = d.type->fields[0].type;
        cache.names[d.type->name] = s;
        break;
      case Decl::Cursor:
        s.kind = Symbol::Cursor;
        s.cursor = d.cursor.get();
        cache.names[d.cursor->name] = s;
        break;
      case Decl::Exception:
        s.kind = Symbol::Exception;
        s.exception = d.exception.get();
        cache.names[d.exception->name] = s;
        break;
      case Decl::Sub: {
        Symbol &x = cache.names[scopeName(*d.sub)];
        x.kind = Symbol::Subs;
        x.subs.push_back(d.sub.get());
        break;
      }
      default:
        break;
      }
    }
    cache.names["$"] = Symbol(); // marks the cache as filled
  }
  auto it = cache.names.find(name);
  return it == cache.names.end() || name == "$" ? nullptr : &it->second;
}

void UnitBinder::bindDecls(std::vector<Decl> &decls, Scope *scope, bool packageLevel) {
  for (const Decl &d : decls)
    if (d.kind == Decl::Sub || d.kind == Decl::Var)
      scope->declaring.push_back(d.kind == Decl::Sub ? d.sub->name : d.var->name);
  for (Decl &d : decls) {
    try {
      bindDecl(d, scope, packageLevel);
    } catch (const BindAbort &) {
      report(d.pos, "PL/SQL: Item ignored");
    }
  }
}

void UnitBinder::bindDecl(Decl &d, Scope *scope, bool packageLevel) {
  switch (d.kind) {
  case Decl::Var:
    bindVarDecl(d, scope);
    return;
  case Decl::Type:
    bindTypeDecl(d, scope);
    return;
  case Decl::Cursor:
    bindCursorDecl(d, scope);
    return;
  case Decl::Exception: {
    d.exception->owner = &FUnit;
    Symbol s;
    s.kind = Symbol::Exception;
    s.exception = d.exception.get();
    declare(scope, d.exception->name, s, d.exception->pos);
    return;
  }
  case Decl::Pragma:
    bindPragma(d, scope);
    return;
  case Decl::Sub:
    bindSubprogram(*d.sub, scope, packageLevel);
    return;
  }
}

void UnitBinder::bindVarDecl(Decl &d, Scope *scope) {
  VarDecl &v = *d.var;
  if (v.constant && !v.init)
    fail(v.pos, "PLS-00322: declaration of a constant '" + v.name +
                    "' must contain an initialization assignment");
  v.type = resolveType(v.spec, scope);
  if (v.type.kind == VType::Cursor || v.type.kind == VType::Exception)
    undeclared(v.spec.pos, joinNames(v.spec.name, v.spec.name.size()));
  v.type.notNull = v.type.notNull || v.notNull;
  requireInitial(v.type, v.init.get(), v.pos);
  if (v.init) {
    bindValue(*v.init, scope);
    checkAssignable(v.type, *v.init);
  }
  v.slot = allocate().index;
  Symbol s;
  s.kind = Symbol::Var;
  s.slot = FFrames.back().where == Slot::Package
               ? Slot{Slot::Package, 0, v.slot, FFrames.back().package}
               : Slot{Slot::Frame, FFrames.back().level, v.slot, nullptr};
  s.type = v.type;
  s.constant = v.constant;
  v.where = s.slot;
  declare(scope, v.name, s, v.pos);
}

void UnitBinder::bindTypeDecl(Decl &d, Scope *scope) {
  TypeDecl &t = *d.type;
  Symbol s;
  s.kind = Symbol::TypeName;
  if (t.fields.size() == 1 && t.fields[0].name.empty()) {
    s.scalar = resolveType(t.fields[0].spec, scope);
    t.fields[0].type = s.scalar;
  } else if (t.kind == TypeDecl::Record) {
    for (RecordField &f : t.fields) {
      f.type = resolveType(f.spec, scope);
      f.type.notNull = f.type.notNull || f.notNull;
      requireInitial(f.type, f.init.get(), f.pos);
      if (f.init) {
        bindValue(*f.init, scope);
        checkAssignable(f.type, *f.init);
        t.hasDefaults = true;
      }
      if (f.type.kind == VType::Record && f.type.decl && f.type.decl->hasDefaults)
        t.hasDefaults = true;
      nest(t, f.type);
    }
    s.typeDecl = &t;
  } else if (t.kind == TypeDecl::Table) {
    t.elementType = resolveType(t.element, scope);
    nest(t, t.elementType);
    if (t.stringKey) {
      // INDEX BY a PLS_INTEGER subtype keys by number; by a string type, by text.
      t.keyType = resolveType(t.keySpec, scope);
      if (t.keyType.kind == VType::Number && t.keyType.integer)
        t.stringKey = false;
      else if (t.keyType.kind != VType::Char)
        fail(t.keySpec.pos, "PLS-00315: Implementation restriction: unsupported table index type");
    }
    s.typeDecl = &t;
  } else {
    s.typeDecl = &t;
  }
  declare(scope, t.name, s, t.pos);
}

void UnitBinder::bindCursorDecl(Decl &d, Scope *scope) {
  CursorDecl &c = *d.cursor;
  Symbol *prior = lookup(scope, c.name);
  bool definesSpecCursor =
      prior && prior->kind == Symbol::Cursor && scope->names.count(c.name) == 0;
  Scope params;
  params.parent = scope;
  for (Param &p : c.params) {
    p.type = resolveType(p.spec, scope);
    Slot sl = allocate();
    p.slot = sl.index;
    Symbol s;
    s.kind = Symbol::Var;
    s.slot = sl;
    s.type = p.type;
    s.constant = true;
    declare(&params, p.name, s, p.pos);
  }
  c.where = allocate();
  c.slot = c.where.index;
  if (c.query) {
    compileSql(*c.query, &params, c.pos);
    std::vector<ColumnInfo> cols;
    for (size_t i = 0; i < c.query->columnTypes.size(); ++i) {
      ColumnInfo ci;
      ci.name = c.query->columnNames[i];
      ci.type =
          c.query->columnTypes[i] == SqlType::Unknown ? SqlType::Varchar2 : c.query->columnTypes[i];
      cols.push_back(ci);
    }
    auto td = std::make_unique<TypeDecl>();
    td->kind = TypeDecl::Record;
    td->name = c.name;
    for (const ColumnInfo &ci : cols) {
      RecordField f;
      f.name = ci.name;
      f.type = typeOfSql(ci.type);
      td->fields.push_back(std::move(f));
    }
    c.rowType = std::move(td);
  } else if (c.haveReturn) {
    Type rt = resolveType(c.returnSpec, scope);
    if (rt.decl && rt.kind == VType::Record) {
      auto td = std::make_unique<TypeDecl>();
      td->kind = TypeDecl::Record;
      td->name = rt.decl->name;
      for (const RecordField &rf : rt.decl->fields) {
        RecordField f;
        f.name = rf.name;
        f.type = rf.type;
        td->fields.push_back(std::move(f));
      }
      c.rowType = std::move(td);
    }
  }
  (void)definesSpecCursor;
  Symbol s;
  s.kind = Symbol::Cursor;
  s.cursor = &c;
  if (definesSpecCursor)
    scope->names[c.name] = s;
  else
    declare(scope, c.name, s, c.pos);
}

void UnitBinder::bindPragma(Decl &d, Scope *scope) {
  if (d.pragmaName != "EXCEPTION_INIT")
    return;
  Symbol *s = lookup(scope, d.pragmaTarget);
  if (!s || s->kind != Symbol::Exception)
    undeclared(d.pragmaTargetPos, d.pragmaTarget);
  if (d.pragmaCode > 0 && d.pragmaCode != 100)
    fail(d.pos, "PLS-00701: illegal ORACLE error number " + std::to_string(d.pragmaCode) +
                    " for PRAGMA EXCEPTION_INIT");
  const_cast<ExceptionDecl *>(s->exception)->code =
      d.pragmaCode == 100 ? 1403 : static_cast<int>(-d.pragmaCode);
  const_cast<ExceptionDecl *>(s->exception)->bound = true;
}

bool UnitBinder::sameSignature(const Subprogram &a, const Subprogram &b) {
  if (a.isFunction != b.isFunction || a.params.size() != b.params.size())
    return false;
  for (size_t i = 0; i < a.params.size(); ++i)
    if (a.params[i].name != b.params[i].name || a.params[i].mode != b.params[i].mode ||
        a.params[i].type.kind != b.params[i].type.kind)
      return false;
  return true;
}

Type UnitBinder::resolveFormalType(TypeSpec &s, Scope *scope) {
  Type t = resolveType(s, scope);
  if (t.kind == VType::Char && s.attr.empty() && !s.haveArgs && t.length == 1)
    t.length = 0;
  return t;
}

void UnitBinder::resolveSignature(Subprogram &sp, Scope *scope) {
  for (Param &p : sp.params) {
    p.type = resolveFormalType(p.spec, scope);
    if (p.defaultValue) {
      bindValue(*p.defaultValue, scope);
      checkAssignable(p.type, *p.defaultValue);
    }
  }
  if (sp.isFunction)
    sp.returnType = resolveFormalType(sp.returnSpec, scope);
}

void UnitBinder::bindSubprogram(Subprogram &sp, Scope *scope, bool packageLevel) {
  sp.unit = &FUnit;
  resolveSignature(sp, scope);
  // A definition of an earlier declaration (forward, or the package specification's).
  // Every enclosing scope counts: in a package body the first overload's body already
  // names the subprogram in the body's scope, and the other overloads' declarations are
  // still the specification's, one scope further out.
  const std::string name = scopeName(sp);
  for (Scope *sc = sp.body ? scope : nullptr; sc; sc = sc->parent) {
    auto found = sc->names.find(name);
    if (found == sc->names.end())
      continue;
    if (found->second.kind != Symbol::Subs)
      break;
    bool sameHere = false;
    for (const Subprogram *p : found->second.subs) {
      if (p == &sp || !sameSignature(*p, sp))
        continue;
      sameHere = true;
      if (!p->body) {
        if (p->unit == &FUnit)
          const_cast<Subprogram *>(p)->definition = &sp;
        else
          FUnit.definitions.emplace_back(p, &sp);
      }
    }
    if (sameHere) // the nearest subprogram of this signature is the one defined
      break;
  }
  Symbol s;
  s.kind = Symbol::Subs;
  s.subs.push_back(&sp);
  bool alreadyHere = false;
  if (auto it = scope->names.find(name);
      it != scope->names.end() && it->second.kind == Symbol::Subs) {
    for (const Subprogram *p : it->second.subs)
      if (p->definition == &sp)
        alreadyHere = true;
  }
  if (!alreadyHere)
    declare(scope, name, s, sp.pos);
  if (!sp.body)
    return;
  sp.level = packageLevel || FFrames.empty() || FFrames.back().where == Slot::Package
                 ? 0
                 : FFrames.back().level + 1;
  FFrames.push_back(FrameAlloc{Slot::Frame, sp.level, 0, nullptr});
  Scope inner;
  inner.parent = scope;
  for (Param &p : sp.params) {
    p.slot = allocate().index;
    Symbol ps;
    ps.kind = Symbol::Var;
    ps.slot = Slot{Slot::Frame, sp.level, p.slot, nullptr};
    ps.type = p.type;
    ps.constant = p.mode == Param::In;
    declare(&inner, p.name, ps, p.pos);
  }
  // The subprogram's name qualifies its parameters and its own declarations.
  inner.labels.push_back(sp.name);
  const Subprogram *outerSub = FCurrentSub;
  FCurrentSub = &sp;
  bindBody(*sp.body, &inner, inner.labels);
  FCurrentSub = outerSub;
  sp.frameSize = FFrames.back().next;
  FFrames.pop_back();
}

void UnitBinder::requireInitial(const Type &t, const Expr *init, int pos) {
  if (t.notNull && !init && scalarFamily(t.kind))
    report(pos, "PLS-00218: a variable declared NOT NULL must have an initialization assignment");
}

void UnitBinder::checkAssignable(const Type &target, const Expr &value) {
  VType v = value.type.kind;
  if (v == VType::Null)
    return;
  if (target.kind == VType::Boolean || v == VType::Boolean) {
    if (target.kind != v)
      wrongType(value.pos);
    return;
  }
  if (target.kind == VType::Record || target.kind == VType::Table ||
      target.kind == VType::RefCursor) {
    if (v != target.kind)
      wrongType(value.pos);
    if (target.kind == VType::Table && value.type.decl != target.decl)
      wrongType(value.pos);
    if (target.kind == VType::Record && value.type.decl != target.decl &&
        (!value.type.decl || !target.decl || isObjectType(value.type.decl) ||
         isObjectType(target.decl) || value.type.decl->fields.size() != target.decl->fields.size()))
      wrongType(value.pos);
    return;
  }
  if (!convertible(target.kind, v))
    wrongType(value.pos);
}

void UnitBinder::bindValue(Expr &e, Scope *scope) {
  bindExpr(e, scope);
  if (e.type.kind == VType::Cursor || e.type.kind == VType::Exception)
    wrongType(e.pos);
}

void UnitBinder::bindCondition(Expr &e, Scope *scope) {
  bindValue(e, scope);
  if (e.type.kind != VType::Boolean && e.type.kind != VType::Null)
    wrongType(e.pos);
}

const char *UnitBinder::opName(Op op) {
  switch (op) {
  case Op::Add:
    return "+";
  case Op::Sub:
    return "-";
  case Op::Mul:
    return "*";
  case Op::Div:
    return "/";
  case Op::Pow:
    return "**";
  case Op::Concat:
    return "||";
  case Op::Eq:
    return "=";
  case Op::Ne:
    return "!=";
  case Op::Lt:
    return "<";
  case Op::Gt:
    return ">";
  case Op::Le:
    return "<=";
  case Op::Ge:
    return ">=";
  case Op::And:
    return "AND";
  case Op::Or:
    return "OR";
  case Op::Not:
    return "NOT";
  case Op::Neg:
    return "-";
  default:
    return "+";
  }
}

bool UnitBinder::blankPadded(const Expr &x) {
  return x.kind == EKind::String || (x.type.kind == VType::Char && x.type.blankPadded);
}

void UnitBinder::bindExpr(Expr &e, Scope *scope) {
  switch (e.kind) {
  case EKind::Null:
    e.type.kind = VType::Null;
    return;
  case EKind::Number:
    e.type.kind = VType::Number;
    return;
  case EKind::String:
    e.type.kind = VType::Char;
    return;
  case EKind::Boolean:
    e.type.kind = VType::Boolean;
    return;
  case EKind::Bind:
    if (FUnit.kind != UnitKind::Anonymous)
      fail(e.pos, "PLS-00049: bad bind variable '" + e.text + "'");
    if (std::find(FUnit.bindNames.begin(), FUnit.bindNames.end(), e.text) == FUnit.bindNames.end())
      FUnit.bindNames.push_back(e.text);
    e.type.kind = VType::Null; // takes the type its use gives it
    e.ival =
        std::find(FUnit.bindNames.begin(), FUnit.bindNames.end(), e.text) - FUnit.bindNames.begin();
    return;
  case EKind::Case:
    bindCaseExpr(e, scope);
    return;
  case EKind::Unary: {
    Expr &a = *e.operands[0];
    bindValue(a, scope);
    if (e.op == Op::Not) {
      if (a.type.kind != VType::Boolean && a.type.kind != VType::Null)
        wrongArgs(e.pos, "NOT");
      e.type.kind = VType::Boolean;
    } else if (a.type.kind == VType::Datetime && isIntervalType(a.type.sqlType)) {
      sqlOperator(e); // an interval negated, as SQL does it
    } else {
      if (!scalarFamily(a.type.kind) || a.type.kind == VType::Date ||
          a.type.kind == VType::Datetime)
        wrongArgs(e.pos, opName(e.op));
      e.type.kind = VType::Number;
    }
    return;
  }
  case EKind::Binary: {
    Expr &a = *e.operands[0];
    Expr &b = *e.operands[1];
    bindValue(a, scope);
    bindValue(b, scope);
    VType x = a.type.kind, y = b.type.kind;
    switch (e.op) {
    case Op::And:
    case Op::Or:
      if ((x != VType::Boolean && x != VType::Null) || (y != VType::Boolean && y != VType::Null))
        wrongArgs(e.pos, opName(e.op));
      e.type.kind = VType::Boolean;
      return;
    case Op::Eq:
    case Op::Ne:
    case Op::Lt:
    case Op::Gt:
    case Op::Le:
    case Op::Ge:
      if ((x == VType::Record && isObjectType(a.type.decl)) ||
          (y == VType::Record && isObjectType(b.type.decl))) {
        objectComparison(e);
        return;
      }
      if (x == VType::Table || y == VType::Table) {
        // Nested tables of one type compare for equality as multisets of scalars.
        const TypeDecl *td = x == VType::Table ? a.type.decl : b.type.decl;
        if ((e.op != Op::Eq && e.op != Op::Ne) || !td || td->collection != TypeDecl::Nested ||
            (x != VType::Null && a.type.decl != td) || (y != VType::Null && b.type.decl != td) ||
            !scalarFamily(td->elementType.kind))
          wrongArgs(e.pos, opName(e.op));
        e.type.kind = VType::Boolean;
        return;
      }
      if ((x == VType::Boolean) != (y == VType::Boolean) && x != VType::Null && y != VType::Null)
        wrongArgs(e.pos, opName(e.op));
      if (!scalarFamily(x) && x != VType::Boolean)
        wrongArgs(e.pos, opName(e.op));
      if (!scalarFamily(y) && y != VType::Boolean)
        wrongArgs(e.pos, opName(e.op));
      if (!comparable(x, y))
        wrongArgs(e.pos, opName(e.op));
      e.blankPadded = blankPadded(a) && blankPadded(b);
      e.type.kind = VType::Boolean;
      return;
    case Op::Concat:
      if (!scalarFamily(x) || !scalarFamily(y))
        wrongArgs(e.pos, "||");
      e.type.kind = VType::Char;
      if (a.type.sqlType == SqlType::Clob || b.type.sqlType == SqlType::Clob)
        e.type.sqlType = SqlType::Clob; // a CLOB as SQL sees it, when it goes there
      return;
    default:
      if (!scalarFamily(x) || !scalarFamily(y))
        wrongArgs(e.pos, opName(e.op));
      if (x == VType::Datetime || y == VType::Datetime) {
        sqlOperator(e); // timestamp and interval arithmetic is SQL's
        return;
      }
      // Dates add and subtract numbers, and subtract from one another; nothing else.
      if ((x == VType::Date || y == VType::Date) &&
          !((e.op == Op::Add && (x != VType::Date || y != VType::Date)) ||
            (e.op == Op::Sub && x == VType::Date)))
        wrongArgs(e.pos, opName(e.op));
      if ((e.op == Op::Add || e.op == Op::Sub) && (x == VType::Date || y == VType::Date))
        e.type.kind = x == VType::Date && y == VType::Date ? VType::Number : VType::Date;
      else
        e.type.kind = VType::Number;
      e.type.integer = a.type.integer && b.type.integer && e.op != Op::Div && e.op != Op::Pow;
      return;
    }
  }
  case EKind::IsNull:
    bindValue(*e.operands[0], scope);
    e.type.kind = VType::Boolean;
    return;
  case EKind::Like:
  case EKind::Between:
  case EKind::In:
    e.blankPadded = true;
    for (auto &o : e.operands) {
      bindValue(*o, scope);
      e.blankPadded = e.blankPadded && blankPadded(*o);
      if (e.kind != EKind::Like && !comparable(e.operands[0]->type.kind, o->type.kind))
        wrongArgs(o->pos, e.kind == EKind::Like ? "LIKE" : e.kind == EKind::In ? "IN" : "BETWEEN");
      if (!scalarFamily(o->type.kind) && o->type.kind != VType::Boolean)
        wrongArgs(o->pos, e.kind == EKind::Like ? "LIKE" : e.kind == EKind::In ? "IN" : "BETWEEN");
    }
    e.type.kind = VType::Boolean;
    return;
  case EKind::Attribute: {
    Expr &c = *e.operands[0];
    e.type.kind = e.text == "ROWCOUNT" ? VType::Number : VType::Boolean;
    if (e.text == "BULK_ROWCOUNT" || e.text == "BULK_EXCEPTIONS") {
      // Only the implicit cursor has them: FORALL's rows per round, SAVE EXCEPTIONS' errors.
      if (c.kind != EKind::Name || c.names.size() != 1 || c.names[0] != "SQL" || c.hasArgs)
        fail(c.pos, "PLS-00306: wrong number or types of arguments in call to '" + e.text + "'");
      e.implicitCursor = true;
      e.type.kind = VType::Number;
      if (e.operands.size() > 1)
        bindValue(*e.operands[1], scope);
      if (e.text == "BULK_EXCEPTIONS" &&
          (e.operands.size() > 1 ? e.names[0] != "ERROR_INDEX" && e.names[0] != "ERROR_CODE"
                                 : e.names[0] != "COUNT"))
        component(e.namePos[0], e.names[0]);
      return;
    }
    if (c.kind == EKind::Name && c.names.size() == 1 && c.names[0] == "SQL" && !c.hasArgs) {
      e.implicitCursor = true;
      return;
    }
    bindCursorRef(c, scope);
    return;
  }
  case EKind::Name:
    resolveName(e, scope, false);
    // The methods that change a collection are procedures.
    if (e.kind == EKind::Collection &&
        (e.builtin == BiTableDelete || e.builtin == BiTableExtend || e.builtin == BiTableTrim))
      fail(e.pos, "PLS-00222: no function with name '" + e.names.back() + "' exists in this scope");
    return;
  default:
    return;
  }
}

void UnitBinder::bindCursorRef(Expr &c, Scope *scope) {
  if (c.kind == EKind::Name && !c.hasArgs) {
    Symbol *s = lookup(scope, c.names[0]);
    size_t at = 1;
    if (s && s->kind == Symbol::Package && c.names.size() > 1) {
      s = member(s->package, c.names[1]);
      at = 2;
    } else if (!s && c.names.size() > 1) {
      bool invalid = false;
      if (const Unit *p = FCtx.units->findUnit(FCtx.user, c.names[0], invalid)) {
        dependOn(p->owner, p->name, "PACKAGE");
        s = member(p, c.names[1]);
        at = 2;
        if (!s)
          component(c.namePos[1], c.names[1]);
      }
    }
    if (s && s->kind == Symbol::Cursor && at == c.names.size()) {
      c.kind = EKind::Var;
      c.cursor = s->cursor;
      c.slot = s->cursor->where;
      c.type.kind = VType::Cursor;
      return;
    }
  }
  bindValue(c, scope);
  if (c.type.kind != VType::RefCursor)
    wrongType(c.pos);
}

void UnitBinder::resolveName(Expr &e, Scope *scope, bool asProcedure) {
  FCurrentScope = scope;
  FAsProcedure = asProcedure;
  const std::vector<std::string> &n = e.names;
  if (n[0].empty()) {
    // (call or element)(...).field... or (...)(i): the value in operands[0], then fields.
    Expr &inner = *e.operands[0];
    bindValue(inner, scope);
    if (inner.kind != EKind::Var)
      wrongType(inner.pos);
    e.kind = EKind::Var;
    e.slot = inner.slot;
    e.path = std::move(inner.path);
    e.type = inner.type;
    e.ival = inner.ival;
    e.operands.clear();
    followFields(e, 1);
    return;
  }
  if (n[0][0] == ':') {
    // :new / :old of a row trigger.
    if (FUnit.kind != UnitKind::Trigger || !FUnit.trigger.forEachRow)
      fail(e.pos, "PLS-00049: bad bind variable '" + n[0].substr(1) + "." + n[1] + "'");
    e.kind = EKind::Var;
    e.slot.where = n[0] == ":NEW" ? Slot::TriggerNew : Slot::TriggerOld;
    for (size_t i = 0; i < FUnit.triggerColumns.size(); ++i)
      if (FUnit.triggerColumns[i].name == n[1]) {
        e.slot.index = static_cast<int>(i);
        e.type = typeOfColumn(FUnit.triggerColumns[i]);
        return;
      }
    fail(e.namePos[1], "PLS-00049: bad bind variable '" + n[0].substr(1) + "." + n[1] + "'");
  }
  size_t at = 1;
  Symbol *s = lookupQualified(scope, n, at);
  if (s && s->kind == Symbol::Package && n.size() > at) {
    Symbol *m = member(s->package, n[at]);
    if (!m)
      component(e.namePos[at], n[at]);
    s = m;
    ++at;
  }
  if (!s && n.size() > 1) {
    if (n[0] == "STANDARD" || n[0] == "DBMS_STANDARD") {
      // The package that declares PL/SQL's own names: the name without it.
      e.names.erase(e.names.begin());
      e.namePos.erase(e.namePos.begin());
      resolveName(e, scope, asProcedure);
      return;
    }
  }
  // The type's own member methods, found in the body's scope, are called on SELF.
  const bool selfMethod = s && s->kind == Symbol::Subs && at == 1 && !s->subs.empty() &&
                          s->subs[0]->method == Subprogram::Member;
  if ((!s || selfMethod) && n[0] != "SELF" && FCurrentSub &&
      FCurrentSub->method != Subprogram::NotMethod && FCurrentSub->method != Subprogram::Static &&
      !FCurrentSub->params.empty()) {
    // In a member method, an attribute or a method of SELF may go without SELF.
    const TypeDecl *self = FCurrentSub->params[0].type.decl;
    bool mine = false;
    if (isObjectType(self)) {
      for (const RecordField &f : self->fields)
        mine = mine || f.name == n[0];
      for (const Decl &d : self->objectUnit->decls)
        mine = mine ||
               (d.kind == Decl::Sub && d.sub->name == n[0] && d.sub->method == Subprogram::Member);
    }
    if (mine) {
      e.names.insert(e.names.begin(), "SELF");
      e.namePos.insert(e.namePos.begin(), e.pos);
      resolveName(e, scope, asProcedure);
      return;
    }
  }
  if (!s) {
    if (resolveGlobal(e, scope, asProcedure))
      return;
    if (n.size() > 1 && !e.hasArgs) {
      // Stored packages and owner-qualified units.
    }
    undeclared(e.pos, joinNames(n, n.size()));
  }
  resolveSymbol(e, *s, at, scope, asProcedure);
}

void UnitBinder::resolveSymbol(Expr &e, Symbol &s, size_t at, Scope *scope, bool asProcedure) {
  const std::vector<std::string> &n = e.names;
  switch (s.kind) {
  case Symbol::Var: {
    e.kind = EKind::Var;
    e.slot = s.slot;
    e.type = s.type;
    e.ival = s.constant;
    followFields(e, at);
    return;
  }
  case Symbol::Subs: {
    if (at < n.size())
      component(e.namePos[at], n[at]);
    resolveCall(e, s.subs, n[at - 1], scope, asProcedure);
    return;
  }
  case Symbol::Package:
    if (at >= n.size())
      fail(e.pos, "PLS-00221: '" + n[0] + "' is not a procedure or is undefined");
    component(e.namePos[at], n[at]);
  case Symbol::TypeName:
    if (isDenseCollection(s.typeDecl) && at == n.size() && e.hasArgs && !asProcedure) {
      constructor(e, *s.typeDecl, scope);
      return;
    }
    if (isObjectType(s.typeDecl) && (at == n.size() ? e.hasArgs : at + 1 == n.size())) {
      typeMethod(e, *s.typeDecl, at, scope, asProcedure);
      return;
    }
    [[fallthrough]];
  default:
    if (asProcedure)
      fail(e.pos, "PLS-00221: '" + n[at - 1] + "' is not a procedure or is undefined");
    fail(e.pos, "PLS-00320: the declaration of the type of this expression is incomplete or "
                "malformed");
  }
}

void UnitBinder::followFields(Expr &e, size_t at) {
  const std::vector<std::string> &n = e.names;
  for (size_t i = at; i < n.size(); ++i) {
    if (e.type.kind == VType::Table && i + 1 == n.size()) {
      // The methods and how many arguments each takes (at least, at most); the last three
      // came after Oracle 7.3.
      struct Method {
        const char *name;
        int builtin;
        size_t least, most;
      };
      static const Method methods[] = {
          {"COUNT", BiTableCount, 0, 0},   {"FIRST", BiTableFirst, 0, 0},
          {"LAST", BiTableLast, 0, 0},     {"NEXT", BiTableNext, 1, 1},
          {"PRIOR", BiTablePrior, 1, 1},   {"EXISTS", BiTableExists, 1, 1},
          {"DELETE", BiTableDelete, 0, 2}, {"LIMIT", BiTableLimit, 0, 0},
          {"EXTEND", BiTableExtend, 0, 2}, {"TRIM", BiTableTrim, 0, 1},
      };
      const Method *m = nullptr;
      for (const Method &k : methods)
        if (n[i] == k.name && (FCtx.modern || k.builtin < BiTableLimit))
          m = &k;
      if (!m)
        component(e.namePos[i], n[i]);
      const TypeDecl *td = e.type.decl;
      const bool dense = isDenseCollection(td);
      // EXTEND and TRIM are for nested tables and VARRAYs; a VARRAY is deleted only whole.
      if (e.args.size() < m->least || e.args.size() > m->most ||
          ((m->builtin == BiTableExtend || m->builtin == BiTableTrim) && !dense) ||
          (m->builtin == BiTableDelete && !e.args.empty() && td &&
           td->collection == TypeDecl::Varray))
        wrongArgs(e.namePos[i], n[i]);
      Expr *target = new Expr();
      target->kind = EKind::Var;
      target->pos = e.pos;
      target->slot = e.slot;
      target->path = std::move(e.path);
      target->type = e.type;
      e.path.clear();
      e.operands.clear();
      e.operands.emplace_back(target);
      e.kind = EKind::Collection;
      e.builtin = m->builtin;
      for (Arg &a : e.args) {
        bindValue(*a.value, FCurrentScope);
        e.operands.push_back(std::move(a.value));
      }
      e.args.clear();
      e.type = Type();
      switch (m->builtin) {
      case BiTableExists:
        e.type.kind = VType::Boolean;
        break;
      case BiTableDelete:
      case BiTableExtend:
      case BiTableTrim:
        e.type.kind = VType::Null;
        break;
      case BiTableFirst:
      case BiTableLast:
      case BiTableNext:
      case BiTablePrior:
        // A string-keyed array's keys are text.
        e.type.kind = td && td->stringKey ? VType::Char : VType::Number;
        break;
      default:
        e.type.kind = VType::Number;
      }
      return;
    }
    if (e.type.kind != VType::Record || !e.type.decl)
      component(e.namePos[i], n[i]);
    const TypeDecl *td = e.type.decl;
    int idx = -1;
    for (size_t k = 0; k < td->fields.size(); ++k)
      if (td->fields[k].name == n[i])
        idx = static_cast<int>(k);
    if (idx < 0 && isObjectType(td) && i + 1 == n.size()) {
      memberCall(e, i, FCurrentScope);
      return;
    }
    if (idx < 0)
      component(e.namePos[i], n[i]);
    PathStep step;
    step.field = idx;
    e.path.push_back(std::move(step));
    e.type = td->fields[static_cast<size_t>(idx)].type;
  }
  if (e.hasArgs) {
    if (e.type.kind != VType::Table || !e.type.decl)
      fail(e.pos, "PLS-00222: no function with name '" + n.back() + "' exists in this scope");
    if (e.args.size() != 1 || !e.args[0].name.empty())
      wrongArgs(e.pos, n.back());
    bindValue(*e.args[0].value, FCurrentScope);
    PathStep step;
    step.index = std::move(e.args[0].value);
    e.path.push_back(std::move(step));
    e.args.clear();
    e.hasArgs = false;
    e.type = e.type.decl->elementType;
  }
}

void UnitBinder::constructor(Expr &e, const TypeDecl &t, Scope *scope) {
  for (Arg &a : e.args) {
    if (!a.name.empty())
      wrongArgs(e.pos, t.name);
    bindValue(*a.value, scope);
    // An element of the wrong type is a wrong argument to the constructor.
    bool quiet = FQuiet, fits = true;
    FQuiet = true;
    try {
      checkAssignable(t.elementType, *a.value);
    } catch (const BindAbort &) {
      fits = false;
    }
    FQuiet = quiet;
    if (!fits)
      wrongArgs(e.pos, t.name);
    e.operands.push_back(std::move(a.value));
  }
  e.args.clear();
  e.kind = EKind::Builtin;
  e.builtin = BiConstruct;
  e.type = Type();
  e.type.kind = VType::Table;
  e.type.decl = &t;
  e.type.name = t.name;
}

void UnitBinder::memberCall(Expr &e, size_t at, Scope *scope) {
  const TypeDecl &t = *e.type.decl;
  const std::string name = e.names[at];
  std::vector<const Subprogram *> subs;
  for (const Decl &d : t.objectUnit->decls)
    if (d.kind == Decl::Sub && d.sub->name == name && d.sub->method == Subprogram::Member)
      subs.push_back(d.sub.get());
  if (subs.empty())
    component(e.namePos[at], name);
  auto self = std::make_unique<Expr>();
  self->kind = EKind::Var;
  self->pos = e.pos;
  self->slot = e.slot;
  self->path = std::move(e.path);
  self->type = e.type;
  self->ival = e.ival;
  if (!e.names[0].empty()) // the object as written, for messages
    self->names.assign(e.names.begin(), e.names.begin() + static_cast<long>(at));
  e.path.clear();
  Arg a;
  a.pos = e.pos;
  a.value = std::move(self);
  e.args.insert(e.args.begin(), std::move(a));
  resolveCall(e, subs, name, scope, FAsProcedure);
}

void UnitBinder::objectComparison(Expr &e) {
  const Type &ta = e.operands[0]->type, &tb = e.operands[1]->type;
  const TypeDecl *td = ta.kind == VType::Record ? ta.decl : tb.decl;
  if ((ta.kind != VType::Null && ta.decl != td) || (tb.kind != VType::Null && tb.decl != td))
    wrongArgs(e.pos, opName(e.op));
  const Subprogram *how = nullptr;
  for (const Decl &d : td->objectUnit->decls)
    if (d.kind == Decl::Sub && d.sub->ordering)
      how = d.sub.get();
  if (!how)
    fail(e.pos, "PLS-00526: A MAP or ORDER function is required for comparing objects in PL/SQL");
  auto call = [&](std::vector<ExprPtr> args) {
    auto c = std::make_unique<Expr>();
    c->kind = EKind::Call;
    c->pos = e.pos;
    c->callee = how;
    c->type = how->returnType;
    for (ExprPtr &x : args) {
      c->actuals.push_back(x.get());
      c->operands.push_back(std::move(x));
    }
    c->actuals.resize(how->params.size(), nullptr);
    return c;
  };
  std::vector<ExprPtr> sides;
  sides.swap(e.operands);
  if (how->ordering == 'M') {
    for (ExprPtr &x : sides) {
      std::vector<ExprPtr> one;
      one.push_back(std::move(x));
      e.operands.push_back(call(std::move(one)));
    }
  } else {
    e.operands.push_back(call(std::move(sides)));
    auto zero = std::make_unique<Expr>();
    zero->kind = EKind::Number;
    zero->pos = e.pos;
    zero->text = "0";
    zero->type.kind = VType::Number;
    e.operands.push_back(std::move(zero));
  }
  if (!scalarFamily(e.operands[0]->type.kind) ||
      !comparable(e.operands[0]->type.kind, e.operands[1]->type.kind))
    wrongArgs(e.pos, opName(e.op));
  e.blankPadded = false;
  e.type.kind = VType::Boolean;
}

void UnitBinder::typeMethod(Expr &e, const TypeDecl &t, size_t at, Scope *scope, bool asProcedure) {
  const bool construct = at == e.names.size();
  const std::string name = construct ? t.name : e.names[at];
  std::vector<const Subprogram *> subs;
  for (const Decl &d : t.objectUnit->decls)
    if (d.kind == Decl::Sub && d.sub->name == name &&
        d.sub->method == (construct ? Subprogram::Constructor : Subprogram::Static))
      subs.push_back(d.sub.get());
  if (!construct) {
    if (subs.empty())
      component(e.namePos[at], name);
    resolveCall(e, subs, name, scope, asProcedure);
    return;
  }
  if (asProcedure)
    fail(e.pos, "PLS-00221: '" + name + "' is not a procedure or is undefined");
  // A user constructor whose parameters (past SELF) the arguments name or fill.
  for (const Subprogram *sp : subs) {
    size_t positional = 0;
    bool fits = e.args.size() + 1 <= sp->params.size();
    for (const Arg &a : e.args) {
      if (a.name.empty()) {
        ++positional;
        continue;
      }
      bool known = false;
      for (const Param &p : sp->params)
        known = known || p.name == a.name;
      fits = fits && known;
    }
    if (fits && positional + 1 <= sp->params.size()) {
      // SELF: the new object the constructor fills, made by the call.
      auto self = std::make_unique<Expr>();
      self->pos = e.pos;
      Arg a;
      a.pos = e.pos;
      a.value = std::move(self);
      e.args.insert(e.args.begin(), std::move(a));
      resolveCall(e, subs, name, scope, false);
      return;
    }
  }
  // The attribute-value constructor: each attribute once, in order or by name.
  std::vector<ExprPtr> values(t.fields.size());
  size_t positional = 0;
  bool named = false;
  for (Arg &a : e.args) {
    if (named && a.name.empty())
      fail(a.pos, "PLS-00312: a positional parameter association may not follow a named "
                  "association");
    named = named || !a.name.empty();
    size_t idx = a.name.empty() ? positional++ : t.fields.size();
    if (!a.name.empty())
      for (size_t k = 0; k < t.fields.size(); ++k)
        if (t.fields[k].name == a.name)
          idx = k;
    if (idx >= t.fields.size() || values[idx])
      wrongArgs(e.pos, name);
    bindValue(*a.value, scope);
    bool quiet = FQuiet, fits = true;
    FQuiet = true;
    try {
      checkAssignable(t.fields[idx].type, *a.value);
    } catch (const BindAbort &) {
      fits = false;
    }
    FQuiet = quiet;
    if (!fits)
      wrongArgs(e.pos, name);
    values[idx] = std::move(a.value);
  }
  for (const ExprPtr &v : values)
    if (!v)
      wrongArgs(e.pos, name);
  e.args.clear();
  e.operands = std::move(values);
  e.kind = EKind::Builtin;
  e.builtin = BiConstruct;
  e.type = Type();
  e.type.kind = VType::Record;
  e.type.decl = &t;
  e.type.name = t.name;
}

void UnitBinder::multisetOperator(Expr &e, Scope *scope) {
  const std::string name = e.names[0];
  for (Arg &a : e.args) {
    if (!a.name.empty())
      wrongArgs(e.pos, name);
    bindValue(*a.value, scope);
    e.operands.push_back(std::move(a.value));
  }
  e.args.clear();
  const bool member = name == "MEMBER OF";
  const bool binary = member || name.compare(0, 9, "MULTISET ") == 0 || name == "SUBMULTISET OF";
  if (e.operands.size() != (binary ? 2u : 1u))
    wrongArgs(e.pos, name);
  // The collections: nested tables of scalars, of one type (CARDINALITY also takes a VARRAY).
  const TypeDecl *td = nullptr;
  for (size_t i = member ? 1 : 0; i < e.operands.size(); ++i) {
    const Type &t = e.operands[i]->type;
    if (t.kind != VType::Table || !isDenseCollection(t.decl) || (td && t.decl != td) ||
        (t.decl->collection == TypeDecl::Varray && name != "CARDINALITY") ||
        !scalarFamily(t.decl->elementType.kind))
      wrongArgs(e.pos, name);
    td = t.decl;
  }
  if (member) {
    const Expr &x = *e.operands[0];
    if (!scalarFamily(x.type.kind) || !comparable(x.type.kind, td->elementType.kind))
      wrongArgs(e.pos, name);
  }
  e.kind = EKind::Builtin;
  e.builtin = BiMultiset;
  e.text = name;
  e.type = Type();
  if (name.compare(0, 9, "MULTISET ") == 0) {
    e.type.kind = VType::Table;
    e.type.decl = td;
    e.type.name = td->name;
  } else {
    e.type.kind = name == "CARDINALITY" ? VType::Number : VType::Boolean;
  }
}

bool UnitBinder::resolveGlobal(Expr &e, Scope *scope, bool asProcedure) {
  const std::vector<std::string> &n = e.names;
  const std::string &first = n[0];
  if (n.size() == 1) {
    if (first == "SQLCODE" && !e.hasArgs) {
      e.kind = EKind::Sqlcode;
      e.type.kind = VType::Number;
      return true;
    }
    if (first == "SQLERRM") {
      e.kind = EKind::Sqlerrm;
      e.type.kind = VType::Char;
      if (e.args.size() > 1)
        wrongArgs(e.pos, "SQLERRM");
      for (Arg &a : e.args) {
        bindValue(*a.value, scope);
        e.operands.push_back(std::move(a.value));
      }
      e.args.clear();
      return true;
    }
    if (FUnit.kind == UnitKind::Trigger && !e.hasArgs &&
        (first == "INSERTING" || first == "UPDATING" || first == "DELETING")) {
      e.kind = EKind::Builtin;
      e.builtin = first == "INSERTING"  ? BiInserting
                  : first == "UPDATING" ? BiUpdating
                                        : BiDeleting;
      e.type.kind = VType::Boolean;
      return true;
    }
    if (FCtx.modern && n.size() == 1 && !e.hasArgs &&
        (first == "SYSTIMESTAMP" || first == "LOCALTIMESTAMP" || first == "CURRENT_TIMESTAMP" ||
         first == "$SQLTEXT"))
      return sqlFunction(e, scope);
    if ((first == "SYSDATE" || first == "USER" || first == "UID") && !e.hasArgs) {
      e.kind = EKind::Builtin;
      e.builtin = first == "SYSDATE" ? BiSysdate : BiUser;
      e.type.kind = first == "SYSDATE" ? VType::Date : first == "UID" ? VType::Number : VType::Char;
      if (first == "UID")
        return sqlFunction(e, scope);
      return true;
    }
    if (first == "RAISE_APPLICATION_ERROR") {
      if (!asProcedure)
        fail(e.pos, "PLS-00222: no function with name '" + first + "' exists in this scope");
      if (e.args.size() < 2 || e.args.size() > 3)
        wrongArgs(e.pos, first);
      e.kind = EKind::Builtin;
      e.builtin = BiRaiseApplicationError;
      // (NUM BINARY_INTEGER, MSG VARCHAR2 [, KEEPERRORSTACK BOOLEAN])
      static const VType formals[] = {VType::Number, VType::Char, VType::Boolean};
      for (size_t i = 0; i < e.args.size(); ++i) {
        bindValue(*e.args[i].value, scope);
        if (!convertible(formals[i], e.args[i].value->type.kind))
          wrongArgs(e.pos, first);
        e.operands.push_back(std::move(e.args[i].value));
      }
      e.args.clear();
      return true;
    }
    if (FCtx.modern && e.hasArgs &&
        (first == "CARDINALITY" || first.find(' ') != std::string::npos)) {
      multisetOperator(e, scope);
      return true;
    }
    bool argsBound = first == "NVL" && e.hasArgs && e.args.size() == 2;
    if (argsBound && booleanNvl(e, scope))
      return true;
    int mn, mx;
    bool agg;
    if (e.hasArgs && sqlFunctionArity(first, mn, mx, agg, FCtx.modern)) {
      if (agg || first == "DECODE" || first == "DUMP")
        fail(e.pos, "PLS-00204: function or pseudo-column '" + first +
                        "' may be used inside a SQL statement only");
      if (asProcedure)
        fail(e.pos, "PLS-00221: '" + first + "' is not a procedure or is undefined");
      int k = static_cast<int>(e.args.size());
      if (k < mn || k > mx)
        wrongArgs(e.pos, first);
      return sqlFunction(e, scope, argsBound);
    }
  }
  {
    size_t at = first == "SYS" && n.size() > 2 ? 1 : 0;
    const std::string &pkg = n[at];
    if (pkg == "DBMS_OUTPUT" || pkg == "DBMS_UTILITY" || pkg == "DBMS_LOCK" ||
        (FCtx.modern &&
         (pkg == "DBMS_LOB" || pkg == "UTL_RAW" || pkg == "DBMS_ASSERT" || pkg == "DBMS_SQL"))) {
      if (n.size() != at + 2)
        fail(e.pos, "PLS-00221: '" + pkg + "' is not a procedure or is undefined");
      return suppliedPackage(e, pkg, n[at + 1], e.namePos[at + 1], scope, asProcedure);
    }
  }
  // Stored units: NAME, NAME.MEMBER, OWNER.NAME, OWNER.NAME.MEMBER.
  bool invalid = false;
  const Unit *u = FCtx.units->findUnit(FCtx.user, first, invalid);
  size_t at = 1;
  std::string owner = FCtx.user;
  if (!u && !invalid && n.size() > 1 && FCtx.units->isSchema(first)) {
    u = FCtx.units->findUnit(first, n[1], invalid);
    owner = first;
    at = 2;
    if ((u || invalid) && owner != FCtx.user) {
      // Another schema's unit exists for this one only through EXECUTE, its one object
      // privilege (the ANY TABLE system privileges do not reach it); the call then runs
      // with the owner's rights.
      if (!objectPrivileges(FCtx.db, FCtx.user, owner, n[1]).has("EXECUTE"))
        return false;
    }
  }
  if (invalid)
    fail(e.pos, "PLS-00905: object " + owner + "." + n[at - 1] + " is invalid");
  if (!u)
    return false;
  if (u->kind == UnitKind::Package) {
    dependOn(u->owner, u->name, "PACKAGE");
    if (at >= n.size())
      undeclared(e.pos, joinNames(n, n.size()));
    Symbol *m = member(u, n[at]);
    if (!m)
      component(e.namePos[at], n[at]);
    resolveSymbol(e, *m, at + 1, scope, asProcedure);
    return true;
  }
  if (u->kind == UnitKind::Type && at == n.size() && e.hasArgs && !asProcedure &&
      !u->decls.empty() && isDenseCollection(u->decls[0].type.get())) {
    dependOn(u->owner, u->name, "TYPE");
    constructor(e, *u->decls[0].type, scope);
    return true;
  }
  if (u->kind == UnitKind::Type && !u->decls.empty() && isObjectType(u->decls[0].type.get()) &&
      (at == n.size() ? e.hasArgs : at + 1 == n.size())) {
    if (owner != FCtx.user && !objectPrivileges(FCtx.db, FCtx.user, owner, u->name).has("EXECUTE"))
      return false;
    dependOn(u->owner, u->name, "TYPE");
    typeMethod(e, *u->decls[0].type, at, scope, asProcedure);
    return true;
  }
  if (u->kind != UnitKind::Procedure && u->kind != UnitKind::Function)
    return false;
  dependOn(u->owner, u->name, u->kind == UnitKind::Procedure ? "PROCEDURE" : "FUNCTION");
  if (at < n.size())
    component(e.namePos[at], n[at]);
  resolveCall(e, {u->sub.get()}, u->name, scope, asProcedure);
  return true;
}

bool UnitBinder::booleanNvl(Expr &e, Scope *scope) {
  bool anyBoolean = false;
  for (Arg &a : e.args) {
    if (!a.name.empty())
      wrongArgs(e.pos, "NVL");
    bindValue(*a.value, scope);
    anyBoolean = anyBoolean || a.value->type.kind == VType::Boolean;
  }
  if (!anyBoolean)
    return false;
  for (Arg &a : e.args) {
    if (a.value->type.kind != VType::Boolean && a.value->type.kind != VType::Null)
      wrongArgs(e.pos, "NVL");
    e.operands.push_back(std::move(a.value));
  }
  e.args.clear();
  e.kind = EKind::Builtin;
  e.builtin = BiNvl;
  e.type.kind = VType::Boolean;
  return true;
}

bool UnitBinder::sqlFunction(Expr &e, Scope *scope, bool argsBound) {
  // A literal's text and EXTRACT's field are part of what is compiled.
  std::string key = e.names[0] + (e.hasArgs ? "(" : "") +
                    (e.names[0] == "$SQLTEXT" || e.names[0] == "EXTRACT" ? e.text + "|" : "");
  for (Arg &a : e.args) {
    if (!a.name.empty())
      wrongArgs(e.pos, e.names[0]);
    if (!argsBound)
      bindValue(*a.value, scope);
    const Type &t = a.value->type;
    // The SQL type too: RAW, CLOB and BLOB arguments make other calls than text does, and a
    // datetime's precisions.
    key += std::to_string(static_cast<int>(t.kind)) + ":" +
           std::to_string(static_cast<int>(sqlTypeOf(t))) +
           (t.kind == VType::Datetime
                ? ":" + std::to_string(t.precision) + ":" + std::to_string(t.scale)
                : "") +
           ",";
  }
  auto hit = FFunctions.find(key);
  if (hit != FFunctions.end()) {
    std::vector<ExprPtr> args;
    for (Arg &a : e.args)
      args.push_back(std::move(a.value));
    e.args.clear();
    for (size_t i : hit->second.order)
      e.operands.push_back(std::move(args[i]));
    e.sqlText = hit->second.sql;
    e.type = hit->second.type;
    e.kind = EKind::Builtin;
    e.builtin = BiSqlFunction;
    return true;
  }
  std::vector<Type> types;
  // A literal of the later SQL (TIMESTAMP '...', INTERVAL '...' DAY) is SQL's text as written.
  std::string call = e.names[0] == "$SQLTEXT" ? e.text : e.names[0];
  if (e.names[0] == "EXTRACT" && !e.text.empty() && e.args.size() == 1) {
    types.push_back(e.args[0].value->type);
    call += "(" + e.text + " FROM PLSQL$ARG0)";
  } else if (e.hasArgs) {
    call += "(";
    for (size_t i = 0; i < e.args.size(); ++i) {
      if (!scalarFamily(e.args[i].value->type.kind))
        wrongArgs(e.pos, e.names[0]);
      types.push_back(e.args[i].value->type);
      call += (i ? ", PLSQL$ARG" : "PLSQL$ARG") + std::to_string(i);
    }
    call += ")";
  }
  for (Arg &a : e.args)
    e.operands.push_back(std::move(a.value));
  e.args.clear();
  // REGEXP_LIKE is a condition in SQL and a BOOLEAN function here.
  return compileSqlValue(e, call, types, e.names[0] == "REGEXP_LIKE", key);
}

// An operator with a timestamp or interval operand (or an interval negated), evaluated as SQL
// evaluates it.
void UnitBinder::sqlOperator(Expr &e) {
  const char *op = e.op == Op::Add || e.op == Op::Plus  ? "+"
                   : e.op == Op::Sub || e.op == Op::Neg ? "-"
                   : e.op == Op::Mul                    ? "*"
                   : e.op == Op::Div                    ? "/"
                                                        : nullptr;
  if (!op)
    wrongArgs(e.pos, opName(e.op));
  const bool unary = e.operands.size() == 1;
  std::vector<Type> types;
  for (const ExprPtr &o : e.operands)
    types.push_back(o->type);
  std::string key = std::string(unary ? "$u" : "$") + op;
  for (const Type &t : types)
    key += std::to_string(static_cast<int>(t.kind)) + ":" +
           std::to_string(static_cast<int>(sqlTypeOf(t))) + ":" + std::to_string(t.precision) +
           ":" + std::to_string(t.scale) + ",";
  auto hit = FFunctions.find(key);
  if (hit != FFunctions.end()) {
    e.sqlText = hit->second.sql;
    e.type = hit->second.type;
    std::vector<ExprPtr> args = std::move(e.operands);
    e.operands.clear();
    for (size_t i : hit->second.order)
      e.operands.push_back(std::move(args[i]));
    e.kind = EKind::Builtin;
    e.builtin = BiSqlFunction;
    return;
  }
  const std::string name = opName(e.op);
  e.names = {name};
  compileSqlValue(e,
                  unary ? std::string("(") + op + "PLSQL$ARG0)"
                        : std::string("(PLSQL$ARG0 ") + op + " PLSQL$ARG1)",
                  types, false, key);
}

// Compiles `call` (the operands as PLSQL$ARGn, of the given types) as a SQL query of DUAL: the
// expression's value is its one column. Kept by `key` for the next call of the same types.
bool UnitBinder::compileSqlValue(Expr &e, const std::string &call, const std::vector<Type> &types,
                                 bool predicate, const std::string &key) {
  std::string sql =
      (predicate ? "SELECT CASE WHEN " + call + " THEN 1 WHEN NOT " + call + " THEN 0 END"
                 : "SELECT " + call) +
      " FROM DUAL";
  try {
    auto ast = parseStatement(sql, FCtx.modern);
    localdb::Binder b(FCtx.db, FCtx.user);
    b.setModern(FCtx.modern);
    b.hostName = [&](localdb::Expr &x) {
      if (x.names.size() != 1 || x.names[0].compare(0, 9, "PLSQL$ARG") != 0)
        return false;
      size_t i = static_cast<size_t>(std::atoi(x.names[0].c_str() + 9));
      x.kind = ExprKind::Bind;
      x.text = x.names[0];
      x.type = TypeInfo();
      x.type.type = i < types.size() ? sqlTypeOf(types[i]) : SqlType::Unknown;
      if (i < types.size() && types[i].kind == VType::Datetime) {
        x.type.precision = types[i].precision;
        x.type.scale = types[i].scale;
      }
      return true;
    };
    Select &q = *static_cast<SelectStmt &>(*ast).query;
    b.bindQuery(q);
    Emitter em(b.bindNames(), FCtx.user);
    e.sqlText = em.select(q);
    e.type = typeOfSql(q.columns[0]->expr->type.type);
    if (predicate)
      e.type.kind = VType::Boolean;
    // Parameters in the emitted order.
    std::vector<ExprPtr> ordered;
    CompiledFunction cf;
    for (const std::string &bn : b.bindNames()) {
      size_t i = static_cast<size_t>(std::atoi(bn.c_str() + 9));
      ordered.push_back(std::move(e.operands[i]));
      cf.order.push_back(i);
    }
    cf.sql = e.sqlText;
    cf.type = e.type;
    FFunctions.emplace(key, std::move(cf));
    // Arguments the function does not read still had to be valid; keep only the read ones.
    e.operands = std::move(ordered);
  } catch (const OraError &err) {
    if (e.names[0] == "$SQLTEXT") // a literal the SQL reader refused: its own error
      fail(e.pos, err.message);
    wrongArgs(e.pos, e.names[0]);
  }
  e.kind = EKind::Builtin;
  e.builtin = BiSqlFunction;
  return true;
}

// The supplied packages' members this server has, resolved to built-ins: DBMS_OUTPUT, the
// DBMS_UTILITY functions libraries log with, DBMS_LOCK.SLEEP.
bool UnitBinder::suppliedPackage(Expr &e, const std::string &pkg, const std::string &m, int mpos,
                                 Scope *scope, bool asProcedure) {
  struct Member {
    const char *package, *name;
    int builtin;
    int minArgs, maxArgs;
    VType result; // Null for a procedure
    bool modern = false;
  };
  static const Member members[] = {
      {"DBMS_OUTPUT", "PUT_LINE", BiPutLine, 1, 1, VType::Null},
      {"DBMS_OUTPUT", "PUT", BiPut, 1, 1, VType::Null},
      {"DBMS_OUTPUT", "NEW_LINE", BiNewLine, 0, 0, VType::Null},
      {"DBMS_OUTPUT", "ENABLE", BiEnable, 0, 1, VType::Null},
      {"DBMS_OUTPUT", "DISABLE", BiDisable, 0, 0, VType::Null},
      {"DBMS_OUTPUT", "GET_LINE", BiGetLine, 2, 2, VType::Null},
      {"DBMS_OUTPUT", "GET_LINES", BiGetLines, 2, 2, VType::Null},
      {"DBMS_UTILITY", "GET_TIME", BiGetTime, 0, 0, VType::Number},
      {"DBMS_UTILITY", "FORMAT_ERROR_STACK", BiFormatErrorStack, 0, 0, VType::Char},
      {"DBMS_UTILITY", "FORMAT_CALL_STACK", BiFormatCallStack, 0, 0, VType::Char},
      {"DBMS_UTILITY", "FORMAT_ERROR_BACKTRACE", BiFormatErrorBacktrace, 0, 0, VType::Char, true},
      {"DBMS_LOCK", "SLEEP", BiSleep, 1, 1, VType::Null},
  };
  const Member *found = nullptr;
  for (const Member &x : members)
    if (pkg == x.package && m == x.name && (!x.modern || FCtx.modern))
      found = &x;
  // DBMS_LOB and UTL_RAW keep their members with their code.
  const packages::LobMember *lob = packages::findLobMember(pkg, m);
  Member lobMember{};
  if (lob) {
    lobMember = {lob->package, lob->name, BiLobMember, lob->minArgs, lob->maxArgs, lob->result};
    found = &lobMember;
  }
  if (!found)
    component(mpos, m);
  if (found->result == VType::Null && !asProcedure)
    fail(e.pos, "PLS-00222: no function with name '" + m + "' exists in this scope");
  if (found->result != VType::Null && asProcedure)
    fail(e.pos, "PLS-00221: '" + m + "' is not a procedure or is undefined");
  e.type.kind = found->result;
  int k = static_cast<int>(e.args.size());
  if (k < found->minArgs || k > found->maxArgs)
    wrongArgs(e.pos, m);
  e.kind = EKind::Builtin;
  e.builtin = found->builtin;
  if (lob) {
    // Named arguments to their positions; one left out before a given one has no value to take.
    std::vector<Arg> placed(static_cast<size_t>(lob->maxArgs));
    size_t given = 0;
    for (size_t i = 0; i < e.args.size(); ++i) {
      Arg &a = e.args[i];
      int at = a.name.empty() ? static_cast<int>(i) : packages::lobParamIndex(*lob, a.name);
      if (at < 0 || placed[static_cast<size_t>(at)].value)
        wrongArgs(e.pos, m);
      placed[static_cast<size_t>(at)] = std::move(a);
      placed[static_cast<size_t>(at)].name.clear();
      given = std::max(given, static_cast<size_t>(at) + 1);
    }
    placed.resize(given);
    for (const Arg &a : placed)
      if (!a.value)
        wrongArgs(e.pos, m);
    if (static_cast<int>(given) < found->minArgs)
      wrongArgs(e.pos, m);
    e.args = std::move(placed);
  }
  for (Arg &a : e.args) {
    if (!a.name.empty() && found->builtin != BiEnable && found->builtin != BiGetLine)
      wrongArgs(e.pos, m);
    bindValue(*a.value, scope);
    if (found->builtin == BiPutLine || found->builtin == BiPut || found->builtin == BiSleep) {
      if (!scalarFamily(a.value->type.kind))
        wrongArgs(e.pos, m);
    }
    e.operands.push_back(std::move(a.value));
  }
  e.args.clear();
  if (found->builtin == BiGetLine || found->builtin == BiGetLines)
    for (auto &o : e.operands)
      requireTarget(*o);
  if (lob) {
    e.text = pkg + "." + m;
    for (size_t i = 0; i < e.operands.size(); ++i) {
      VType k = e.operands[i]->type.kind; // CREATETEMPORARY's CACHE is a BOOLEAN
      if (!scalarFamily(k) && k != VType::Boolean)
        wrongArgs(e.pos, m);
      if (lob->written & (1u << i))
        requireTarget(*e.operands[i]);
    }
    if (lob->rawResult == 'R' ||
        (lob->rawResult == 'A' && e.operands[0]->type.sqlType == SqlType::Blob))
      e.type.sqlType = SqlType::Raw;
  }
  // LINES may be the caller's array, bound as a PL/SQL table.
  if (found->builtin == BiGetLines && e.operands[0]->type.kind != VType::Table &&
      e.operands[0]->kind != EKind::Bind)
    wrongArgs(e.pos, m);
  return true;
}

void UnitBinder::requireTarget(const Expr &x) {
  if (x.kind == EKind::Bind)
    return;
  if (x.kind != EKind::Var || x.ival) {
    std::string text =
        x.kind == EKind::Var && !x.names.empty() ? joinNames(x.names, x.names.size()) : exprText(x);
    fail(x.pos, "PLS-00363: expression '" + text + "' cannot be used as an assignment target");
  }
}

std::string UnitBinder::exprText(const Expr &x) {
  // The expression as written, for messages.
  size_t b = static_cast<size_t>(x.pos);
  size_t e = b;
  while (e < FText.size() && FText[e] != ';' && FText[e] != ',' && FText[e] != ')' &&
         FText[e] != '\n')
    ++e;
  std::string s = FText.substr(b, e - b);
  while (!s.empty() && s.back() == ' ')
    s.pop_back();
  for (char &c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

void UnitBinder::resolveCall(Expr &e, const std::vector<const Subprogram *> &subs,
                             const std::string &name, Scope *scope, bool asProcedure) {
  bool named = false;
  for (Arg &a : e.args) {
    if (named && a.name.empty())
      fail(a.pos, "PLS-00312: a positional parameter association may not follow a named "
                  "association");
    named = named || !a.name.empty();
  }
  for (Arg &a : e.args)
    bindValue(*a.value, scope);
  const Subprogram *best = nullptr;
  int bestScore = -1, ties = 0;
  std::vector<Expr *> bestActuals;
  for (const Subprogram *sp : subs) {
    std::vector<Expr *> actuals(sp->params.size(), nullptr);
    bool ok = true;
    int score = 0;
    size_t positional = 0;
    for (Arg &a : e.args) {
      size_t idx;
      if (a.name.empty()) {
        idx = positional++;
        if (idx >= sp->params.size()) {
          ok = false;
          break;
        }
      } else {
        idx = sp->params.size();
        for (size_t k = 0; k < sp->params.size(); ++k)
          if (sp->params[k].name == a.name)
            idx = k;
        if (idx == sp->params.size() || actuals[idx]) {
          ok = false;
          break;
        }
      }
      actuals[idx] = a.value.get();
      const Type &f = sp->params[idx].type;
      VType v = a.value->type.kind;
      if (v == VType::Null)
        continue;
      if (f.kind == v)
        score += 2;
      else if (convertible(f.kind, v))
        score += 1;
      else {
        ok = false;
        break;
      }
      if ((f.kind == VType::Record || f.kind == VType::Table) && f.decl != a.value->type.decl &&
          (f.kind == VType::Table || !a.value->type.decl || isObjectType(f.decl) ||
           isObjectType(a.value->type.decl) ||
           a.value->type.decl->fields.size() != f.decl->fields.size())) {
        ok = false;
        break;
      }
    }
    for (size_t k = 0; ok && k < actuals.size(); ++k)
      if (!actuals[k] && !sp->params[k].defaultValue)
        ok = false;
    if (!ok)
      continue;
    if (score > bestScore) {
      best = sp;
      bestScore = score;
      ties = 1;
      bestActuals = actuals;
    } else if (score == bestScore) {
      ++ties;
    }
  }
  if (!best)
    wrongArgs(e.pos, name);
  if (ties > 1)
    fail(e.pos, "PLS-00307: too many declarations of '" + name + "' match this call");
  if (asProcedure && best->isFunction)
    fail(e.pos, "PLS-00221: '" + name + "' is not a procedure or is undefined");
  if (!asProcedure && !best->isFunction)
    fail(e.pos, "PLS-00222: no function with name '" + name + "' exists in this scope");
  for (size_t k = 0; k < bestActuals.size(); ++k)
    if (bestActuals[k] && best->params[k].mode != Param::In &&
        !(k == 0 && best->method == Subprogram::Constructor))
      requireTarget(*bestActuals[k]);
  e.kind = EKind::Call;
  e.callee = best;
  e.actuals = bestActuals;
  for (Arg &a : e.args)
    e.operands.push_back(std::move(a.value));
  e.args.clear();
  e.type = best->returnType;
}

// A dynamic statement's text and its USING arguments: scalar values, and variables where the
// statement writes back (OUT, IN OUT, RETURNING INTO).
void UnitBinder::bindDynamicText(Stmt &s, Scope *scope) {
  bindValue(*s.value, scope);
  if (s.value->type.kind != VType::Char && s.value->type.kind != VType::Null)
    wrongType(s.value->pos);
  for (size_t i = 0; i < s.args.size(); ++i) {
    Expr &a = *s.args[i];
    bool writes = i < s.argModes.size() && s.argModes[i] != Param::In;
    if (writes) {
      bindExpr(a, scope);
      requireTarget(a);
    } else {
      bindValue(a, scope);
    }
    if (!scalarFamily(a.type.kind) && a.type.kind != VType::Null)
      wrongType(a.pos);
  }
}

bool UnitBinder::compileSql(SqlStmt &q, Scope *scope, int stmtPos, bool withRowid) {
  FSql = &q;
  q.params.clear();
  q.columnTypes.clear();
  q.columnNames.clear();
  q.columnInfo.clear();
  q.tables.clear();
  bool rowidAdded = false;
  try {
    std::string text = q.text;
    if (q.kind == StmtKind::Update || q.kind == StmtKind::Delete)
      currentOf(q, text, scope, stmtPos);
    if (FCtx.modern && (q.kind == StmtKind::Insert || q.kind == StmtKind::Update))
      recordDml(text, scope);
    auto ast = parseStatement(text, FCtx.modern);
    localdb::Binder b(FCtx.db, FCtx.user);
    b.setModern(FCtx.modern);
    b.hostName = [&](localdb::Expr &x) { return hostName(x, q, scope); };
    switch (ast->kind) {
    case StmtKind::Select: {
      Select &s = *static_cast<SelectStmt &>(*ast).query;
      q.forUpdate = s.forUpdate;
      // A FOR UPDATE cursor over one table keeps each row's rowid, for WHERE CURRENT OF.
      rowidAdded = withRowid && s.forUpdate && s.block && s.block->from.size() == 1;
      if (rowidAdded) {
        SelectItem item;
        item.expr = std::make_unique<localdb::Expr>();
        item.expr->kind = ExprKind::Column;
        item.expr->names = {"ROWID"};
        item.expr->pos = s.pos;
        item.name = "ROWID";
        s.block->items.push_back(std::move(item));
      }
      b.bindQuery(s);
      for (SelectItem *item : s.columns) {
        q.columnTypes.push_back(item->expr->type.type);
        q.columnNames.push_back(item->name);
        q.columnInfo.push_back(item->expr->type);
      }
      if (rowidAdded) {
        q.rowidColumn = static_cast<int>(q.columnTypes.size()) - 1;
        q.columnTypes.pop_back();
        q.columnNames.pop_back();
        q.columnInfo.pop_back();
      }
      Emitter em(b.bindNames(), FCtx.user);
      q.sqlite = em.select(s);
      queryDependencies(s);
      tablesOf(s, q.tables);
      break;
    }
    case StmtKind::Insert: {
      auto &ins = static_cast<InsertStmt &>(*ast);
      b.bindInsert(ins);
      std::vector<localdb::ExprPtr> keep;
      std::vector<const localdb::Expr *> defaults = b.bindInsertDefaults(ins, keep);
      Emitter em(b.bindNames(), FCtx.user);
      q.sqlite = em.insert(ins, defaults);
      returningColumns(ins.returning, q);
      dmlDependencies(*ins.table.bound);
      q.target = dmlTarget(ins);
      if (ins.query)
        tablesOf(*ins.query, q.tables);
      for (const auto &v : ins.values)
        tablesOf(*v, q.tables);
      break;
    }
    case StmtKind::Update: {
      auto &up = static_cast<UpdateStmt &>(*ast);
      b.bindUpdate(up);
      Emitter em(b.bindNames(), FCtx.user);
      q.sqlite = em.update(up);
      returningColumns(up.returning, q);
      dmlDependencies(*up.table.bound);
      q.target = dmlTarget(up);
      for (const Assignment &a : up.sets)
        if (a.value)
          tablesOf(*a.value, q.tables);
      if (up.where)
        tablesOf(*up.where, q.tables);
      break;
    }
    case StmtKind::Delete: {
      auto &del = static_cast<DeleteStmt &>(*ast);
      b.bindDelete(del);
      Emitter em(b.bindNames(), FCtx.user);
      q.sqlite = em.remove(del);
      returningColumns(del.returning, q);
      dmlDependencies(*del.table.bound);
      q.target = dmlTarget(del);
      if (del.where)
        tablesOf(*del.where, q.tables);
      break;
    }
    case StmtKind::Multi: {
      auto &multi = static_cast<MultiStmt &>(*ast);
      std::vector<std::unique_ptr<Statement>> asts;
      std::vector<localdb::ExprPtr> defaults;
      q.parts = compileParts(multi, b, FCtx.user, FCtx.modern, asts, defaults, q.target);
      q.sqlite = q.parts.empty() ? "" : q.parts[0].sql;
      for (const auto &a : asts) {
        if (a->kind == StmtKind::Insert)
          dmlDependencies(*static_cast<InsertStmt &>(*a).table.bound);
        else if (a->kind == StmtKind::Update)
          dmlDependencies(*static_cast<UpdateStmt &>(*a).table.bound);
        else if (a->kind == StmtKind::Delete)
          dmlDependencies(*static_cast<DeleteStmt &>(*a).table.bound);
        else
          tablesOf(*static_cast<SelectStmt &>(*a).query, q.tables);
      }
      break;
    }
    default:
      q.sqlite.clear(); // LOCK TABLE: the write lock comes with the first change
      break;
    }
    q.binds = b.bindNames();
    q.counters = b.counterCount();
    for (const std::string &bn : q.binds) {
      if (bn.compare(0, 6, "PLSQL$") == 0) {
        q.paramOf.push_back(std::atoi(bn.c_str() + 6));
      } else {
        // A bind variable of the anonymous block used in its SQL.
        if (FUnit.kind != UnitKind::Anonymous)
          fail(q.pos, "PLS-00049: bad bind variable '" + bn + "'");
        auto x = std::make_unique<Expr>();
        x->kind = EKind::Bind;
        x->text = bn;
        x->pos = q.pos;
        bindExpr(*x, scope);
        q.paramOf.push_back(static_cast<int>(q.params.size()));
        q.params.push_back(std::move(x));
      }
    }
    if (!q.target.table.empty())
      q.tables.push_back(q.target.owner + "." + q.target.table);
    q.ok = true;
  } catch (const OraError &err) {
    if (rowidAdded) // a view or an inline view has no rowid: no CURRENT OF then
      return compileSql(q, scope, stmtPos, false);
    int at = q.pos + std::max(0, err.offset);
    report(at, "PL/SQL: " + err.message);
    FSql = nullptr;
    fail(stmtPos, "PL/SQL: SQL Statement ignored");
  }
  FSql = nullptr;
  return true;
}

// INSERT ... VALUES rec and UPDATE ... SET ROW = rec: the record's fields written out, as
// VALUES (rec.f1, rec.f2, ...) and SET f1 = rec.f1, ... (a record's fields are the table's
// columns in their order, as %ROWTYPE makes them).
void UnitBinder::recordDml(std::string &text, Scope *scope) {
  std::vector<Token> t;
  try {
    t = tokenize(text, true);
  } catch (const OraError &) {
    return; // the SQL parser reports it
  }
  auto fieldsOf = [&](const Token &name) -> const TypeDecl * {
    Symbol *sym = name.kind == Tok::Ident ? lookup(scope, name.text) : nullptr;
    if (!sym || sym->kind != Symbol::Var || sym->type.kind != VType::Record || !sym->type.decl)
      return nullptr;
    return sym->type.decl;
  };
  int depth = 0;
  for (size_t i = 0; i + 2 < t.size(); ++i) {
    if (t[i].is("("))
      ++depth;
    else if (t[i].is(")"))
      --depth;
    if (depth != 0)
      continue;
    bool values = t[i].is("VALUES") && !t[i + 1].is("(") &&
                  (t[i + 2].kind == Tok::End || t[i + 2].is("RETURNING") || t[i + 2].is("RETURN"));
    bool row = t[i].is("SET") && t[i + 1].is("ROW") && i + 3 < t.size() && t[i + 2].is("=");
    if (!values && !row)
      continue;
    const Token &name = t[row ? i + 3 : i + 1];
    const TypeDecl *rec = fieldsOf(name);
    if (!rec)
      return;
    std::string out;
    for (const RecordField &f : rec->fields) {
      std::string field = name.text + "." + quoteIdent(f.name);
      out += (out.empty() ? "" : ", ") + (values ? field : quoteIdent(f.name) + " = " + field);
    }
    if (values)
      out = "(" + out + ")";
    int from = t[row ? i + 1 : i + 1].pos, to = name.end;
    text = text.substr(0, static_cast<size_t>(from)) + out + text.substr(static_cast<size_t>(to));
    return;
  }
}

void UnitBinder::currentOf(SqlStmt &q, std::string &text, Scope *scope, int stmtPos) {
  std::vector<Token> t;
  try {
    t = tokenize(text);
  } catch (const OraError &) {
    return; // the SQL parser reports it
  }
  for (size_t i = 0; i + 3 < t.size(); ++i) {
    if (!t[i].is("WHERE") || !t[i + 1].is("CURRENT") || !t[i + 2].is("OF") ||
        t[i + 3].kind != Tok::Ident)
      continue;
    const Token &name = t[i + 3];
    int at = q.pos + name.pos;
    Symbol *sym = lookup(scope, name.text);
    if (!sym)
      report(at, "PLS-00201: identifier '" + name.text + "' must be declared");
    else if (sym->kind != Symbol::Cursor)
      report(at, "PLS-00413: identifier in CURRENT OF clause is not a cursor name");
    else if (sym->cursor->query && !sym->cursor->query->forUpdate)
      report(at, "PLS-00404: cursor '" + name.text +
                     "' must be declared with FOR UPDATE to use with CURRENT OF");
    else {
      FCurrentOf = sym->cursor;
      text = text.substr(0, static_cast<size_t>(t[i + 1].pos)) + "ROWID = PLSQL$CURRENT$OF" +
             text.substr(static_cast<size_t>(name.end));
      return;
    }
    FSql = nullptr;
    fail(stmtPos, "PL/SQL: SQL Statement ignored");
  }
}

void UnitBinder::tablesOf(const Select &s, std::vector<std::string> &out) {
  if (s.block) {
    for (const auto &t : s.block->tables) {
      if (t->isBase && !t->owner.empty())
        out.push_back(t->owner + "." + t->name);
      if (t->query)
        tablesOf(*t->query, out);
    }
    for (const SelectItem &i : s.block->items)
      if (i.expr)
        tablesOf(*i.expr, out);
    if (s.block->where)
      tablesOf(*s.block->where, out);
  }
  if (s.left)
    tablesOf(*s.left, out);
  if (s.right)
    tablesOf(*s.right, out);
}

void UnitBinder::tablesOf(const localdb::Expr &e, std::vector<std::string> &out) {
  if (e.query)
    tablesOf(*e.query, out);
  for (const auto &a : e.args)
    if (a)
      tablesOf(*a, out);
}

void UnitBinder::dmlDependencies(const BoundTable &t) {
  dependOn(t.owner, t.name, "TABLE");
  if (!t.viewName.empty())
    dependOn(t.viewOwner, t.viewName, "VIEW");
}

void UnitBinder::queryDependencies(const Select &s) {
  if (s.block) {
    for (const auto &t : s.block->tables) {
      if (!t->owner.empty() && !t->name.empty())
        dependOn(t->owner, t->name, t->isBase ? "TABLE" : "VIEW");
      if (t->query && t->owner.empty())
        queryDependencies(*t->query);
    }
  }
  if (s.left)
    queryDependencies(*s.left);
  if (s.right)
    queryDependencies(*s.right);
}

bool UnitBinder::hostName(localdb::Expr &x, SqlStmt &q, Scope *scope) {
  if (FCurrentOf && x.names.size() == 1 && x.names[0] == "PLSQL$CURRENT$OF") {
    auto cursor = std::make_unique<Expr>();
    cursor->kind = EKind::Var;
    cursor->cursor = FCurrentOf;
    cursor->slot = FCurrentOf->where;
    cursor->type.kind = VType::Cursor;
    auto e = std::make_unique<Expr>();
    e->kind = EKind::Attribute;
    e->text = "ROWID";
    e->pos = q.pos + x.pos;
    e->type.kind = VType::Number;
    e->operands.push_back(std::move(cursor));
    FCurrentOf = nullptr;
    x.kind = ExprKind::Bind;
    x.text = "PLSQL$" + std::to_string(q.params.size());
    x.type = TypeInfo();
    x.type.type = SqlType::Rowid;
    q.params.push_back(std::move(e));
    return true;
  }
  auto e = std::make_unique<Expr>();
  e->kind = EKind::Name;
  e->pos = q.pos + x.pos;
  e->names = x.names;
  for (size_t i = 0; i < x.names.size(); ++i)
    e->namePos.push_back(e->pos);
  if (x.kind == ExprKind::Function) {
    // t(i): a collection element whose subscript is a name or a literal.
    if (x.args.size() != 1)
      return false;
    const localdb::Expr &a = *x.args[0];
    Arg arg;
    arg.value = std::make_unique<Expr>();
    arg.value->pos = q.pos + a.pos;
    if (a.kind == ExprKind::Column) {
      arg.value->kind = EKind::Name;
      arg.value->names = a.names;
      arg.value->namePos.assign(a.names.size(), arg.value->pos);
    } else if (a.kind == ExprKind::Number || a.kind == ExprKind::String) {
      arg.value->kind = a.kind == ExprKind::Number ? EKind::Number : EKind::String;
      arg.value->text = a.text;
    } else {
      return false;
    }
    e->hasArgs = true;
    e->args.push_back(std::move(arg));
  }
  if (FUnit.kind == UnitKind::Trigger && x.names.size() == 2 &&
      (x.names[0] == FUnit.trigger.newName || x.names[0] == FUnit.trigger.oldName))
    e->names[0] = x.names[0] == FUnit.trigger.newName ? ":NEW" : ":OLD";
  bool quiet = FQuiet;
  FQuiet = true;
  try {
    bindValue(*e, scope);
  } catch (const BindAbort &) {
    FQuiet = quiet;
    return false;
  }
  FQuiet = quiet;
  if (e->type.kind == VType::Boolean || e->type.kind == VType::Record ||
      e->type.kind == VType::Table || (x.kind == ExprKind::Function && e->kind != EKind::Var))
    return false;
  x.args.clear();
  x.kind = ExprKind::Bind;
  x.text = "PLSQL$" + std::to_string(q.params.size());
  x.type = TypeInfo();
  x.type.type = sqlTypeOf(e->type);
  x.type.length = e->type.length;
  if (e->type.kind == VType::Datetime) {
    x.type.precision = e->type.precision;
    x.type.scale = e->type.scale;
  }
  q.params.push_back(std::move(e));
  return true;
}

void UnitBinder::bindBody(Block &b, Scope *outer, const std::vector<std::string> &labels) {
  auto lists = std::move(FGotoLists);
  auto loops = std::move(FLoops);
  auto labelledStatements = std::move(FLabelled);
  FGotoLists.clear();
  FLoops.clear();
  FLabelled.clear();
  collectLabels(b.body);
  for (const Handler &h : b.handlers)
    collectLabels(h.body);
  bindBlock(b, outer, labels);
  FGotoLists = std::move(lists);
  FLoops = std::move(loops);
  FLabelled = std::move(labelledStatements);
}

void UnitBinder::bindBlock(Block &b, Scope *outer, const std::vector<std::string> &labels) {
  Scope scope;
  scope.parent = outer;
  scope.labels = labels;
  if (!b.label.empty())
    scope.labels.push_back(b.label);
  bindDecls(b.decls, &scope, false);
  // Forward declarations without a body in the same block are PLS-00328.
  for (Decl &d : b.decls)
    if (d.kind == Decl::Sub && !d.sub->body && !d.sub->definition)
      report(d.sub->pos, "PLS-00328: A subprogram body must be defined for the forward "
                         "declaration of " +
                             d.sub->name + ".");
  bindStatements(b.body, &scope);
  // Each exception in one handler of the block at most: a declaration or a predefined code.
  std::vector<std::pair<const ExceptionDecl *, int>> handled;
  for (Handler &h : b.handlers) {
    for (size_t i = 0; i < h.names.size(); ++i) {
      const std::vector<std::string> &nm = h.names[i];
      if (nm.size() == 1 && nm[0] == "OTHERS")
        continue;
      std::pair<const ExceptionDecl *, int> which;
      if (!handlerException(nm, &scope, which)) {
        report(h.namePos[i],
               "PLS-00201: identifier '" + joinNames(nm, nm.size()) + "' must be declared");
        continue;
      }
      if (std::find(handled.begin(), handled.end(), which) != handled.end())
        report(h.namePos[i], "PLS-00483: exception '" + joinNames(nm, nm.size()) +
                                 "' may appear in at most one exception handler in this block");
      handled.push_back(which);
      if (which.first)
        h.user.push_back(which.first);
      else
        h.codes.push_back(which.second);
    }
    ++FHandlerDepth;
    bindStatements(h.body, &scope);
    --FHandlerDepth;
  }
}

bool UnitBinder::handlerException(const std::vector<std::string> &nm, Scope *scope,
                                  std::pair<const ExceptionDecl *, int> &which) {
  Symbol *s = lookup(scope, nm[0]);
  if (s && s->kind == Symbol::Package && nm.size() == 2)
    s = member(s->package, nm[1]);
  if (s && s->kind == Symbol::Exception && (nm.size() == 1 || nm.size() == 2)) {
    which = {s->exception, 0};
    return true;
  }
  if (int c = predefinedCode(nm, FCtx.modern)) {
    which = {nullptr, c};
    return true;
  }
  if (const ExceptionDecl *e = packageException(nm)) {
    which = {e, 0};
    return true;
  }
  return false;
}

const ExceptionDecl *UnitBinder::packageException(const std::vector<std::string> &nm) {
  if (nm.size() != 2)
    return nullptr;
  bool invalid = false;
  const Unit *p = FCtx.units->findUnit(FCtx.user, nm[0], invalid);
  if (!p)
    return nullptr;
  Symbol *m = member(p, nm[1]);
  if (!m || m->kind != Symbol::Exception)
    return nullptr;
  dependOn(p->owner, p->name, "PACKAGE");
  return m->exception;
}

bool UnitBinder::labelled(const Stmt &s, const std::string &label) {
  return std::find(s.labels.begin(), s.labels.end(), label) != s.labels.end();
}

const Stmt *UnitBinder::anyLabelled(const std::string &label) {
  for (const Stmt *s : FLabelled)
    if (labelled(*s, label))
      return s;
  return nullptr;
}

void UnitBinder::checkGoto(const Stmt &s) {
  for (const auto *list : FGotoLists)
    for (const StmtPtr &x : *list)
      if (labelled(*x, s.label))
        return;
  if (!anyLabelled(s.label))
    fail(s.pos, "PLS-00201: identifier '" + s.label + "' must be declared");
  fail(s.pos,
       "PLS-00375: illegal GOTO statement; this GOTO cannot branch to label '" + s.label + "'");
}

// CASE statement: a selector's WHEN values compare with it as = does; without one each WHEN is a
// condition. The branches are statement lists as IF's are.
void UnitBinder::bindCaseStatement(Stmt &s, Scope *scope) {
  if (s.value) {
    try {
      bindValue(*s.value, scope);
    } catch (const BindAbort &) {
      statementIgnored(s.pos);
    }
  }
  for (ElsIf &b : s.branches) {
    try {
      FCurrentScope = scope;
      if (s.value) {
        bindValue(*b.cond, scope);
        checkAssignable(s.value->type, *b.cond);
      } else {
        bindCondition(*b.cond, scope);
      }
    } catch (const BindAbort &) {
      statementIgnored(s.pos);
    }
    bindStatements(b.body, scope);
  }
  bindStatements(s.elseBody, scope);
}

// CASE expression: its type is the first typed result's; the others must convert to it.
void UnitBinder::bindCaseExpr(Expr &e, Scope *scope) {
  size_t first = e.caseSelector ? 1 : 0;
  size_t results = e.operands.size() - (e.caseElse ? 1 : 0);
  if (e.caseSelector)
    bindValue(*e.operands[0], scope);
  Type result;
  result.kind = VType::Null;
  auto bindResult = [&](Expr &r) {
    bindValue(r, scope);
    if (result.kind == VType::Null)
      result = r.type;
    else
      checkAssignable(result, r);
  };
  for (size_t i = first; i + 1 < results; i += 2) {
    if (e.caseSelector) {
      bindValue(*e.operands[i], scope);
      checkAssignable(e.operands[0]->type, *e.operands[i]);
    } else {
      bindCondition(*e.operands[i], scope);
    }
    bindResult(*e.operands[i + 1]);
  }
  if (e.caseElse)
    bindResult(*e.operands.back());
  e.type = result;
}

void UnitBinder::checkExit(const Stmt &s) {
  const std::string word = s.kind == SKind::Continue ? "EXIT/CONTINUE" : "EXIT";
  if (s.label.empty()) {
    if (FLoops.empty())
      fail(s.pos, "PLS-00376: illegal " + word + " statement; it must appear inside a loop");
    return;
  }
  for (const Stmt *loop : FLoops)
    if (labelled(*loop, s.label))
      return;
  const Stmt *named = anyLabelled(s.label);
  if (!named)
    fail(s.pos, "PLS-00201: identifier '" + s.label + "' must be declared");
  if (named->kind != SKind::Loop && named->kind != SKind::While && named->kind != SKind::ForNum &&
      named->kind != SKind::ForCursor)
    fail(s.pos, "PLS-00373: " + word + " label '" + s.label + "' must label a LOOP statement");
  fail(s.pos, "PLS-00374: illegal " + word + " statement; must appear inside the loop labeled '" +
                  s.label + "'");
}

void UnitBinder::collectLabels(const std::vector<StmtPtr> &list) {
  for (const StmtPtr &s : list) {
    if (!s->labels.empty())
      FLabelled.push_back(s.get());
    for (const ElsIf &b : s->branches)
      collectLabels(b.body);
    collectLabels(s->body);
    collectLabels(s->elseBody);
    if (s->block) {
      collectLabels(s->block->body);
      for (const Handler &h : s->block->handlers)
        collectLabels(h.body);
    }
  }
}

void UnitBinder::bindStatements(std::vector<StmtPtr> &list, Scope *scope) {
  FGotoLists.push_back(&list);
  struct Pop {
    std::vector<const std::vector<StmtPtr> *> &v;
    ~Pop() { v.pop_back(); }
  } pop{FGotoLists};
  for (StmtPtr &s : list) {
    s->line = FLines.line(s->pos) - FLineBase;
    try {
      bindStatement(*s, scope);
    } catch (const BindAbort &) {
      // The statement stays, raising when it runs (the unit is invalid anyway).
      s->kind = SKind::Null;
    }
  }
}

void UnitBinder::statementIgnored(int pos) { report(pos, "PL/SQL: Statement ignored"); }

void UnitBinder::bindStatement(Stmt &s, Scope *scope) {
  FCurrentScope = scope;
  auto guarded = [&](auto &&f) {
    try {
      f();
    } catch (const BindAbort &) {
      statementIgnored(s.pos);
      throw;
    }
  };
  switch (s.kind) {
  case SKind::Null:
  case SKind::Commit:
  case SKind::Rollback:
  case SKind::Savepoint:
    return;
  case SKind::Goto:
    checkGoto(s);
    return;
  case SKind::Assign:
    guarded([&] {
      bindValue(*s.value, scope);
      bindExpr(*s.target, scope);
      requireTarget(*s.target);
      checkAssignable(s.target->type, *s.value);
    });
    return;
  case SKind::Call:
    guarded([&] { bindCall(s, scope); });
    return;
  case SKind::If:
    for (ElsIf &b : s.branches) {
      try {
        FCurrentScope = scope;
        bindCondition(*b.cond, scope);
      } catch (const BindAbort &) {
        statementIgnored(s.pos);
      }
      bindStatements(b.body, scope);
    }
    bindStatements(s.elseBody, scope);
    return;
  case SKind::Loop:
    loopBody(s, scope);
    return;
  case SKind::While:
    try {
      bindCondition(*s.value, scope);
    } catch (const BindAbort &) {
      statementIgnored(s.pos);
    }
    loopBody(s, scope);
    return;
  case SKind::Exit:
  case SKind::Continue:
    checkExit(s);
    if (s.value)
      guarded([&] { bindCondition(*s.value, scope); });
    return;
  case SKind::Case:
    bindCaseStatement(s, scope);
    return;
  case SKind::PipeRow:
    guarded([&] {
      if (!FCurrentSub || !FCurrentSub->pipelined)
        fail(s.pos, "PLS-00629: PIPE statement cannot be used in non-pipelined functions");
      bindValue(*s.value, scope);
      if (const TypeDecl *d = FCurrentSub->returnType.decl)
        checkAssignable(d->elementType, *s.value);
    });
    return;
  case SKind::Dynamic:
    guarded([&] {
      bindDynamicText(s, scope);
      for (auto &t : s.into) {
        bindExpr(*t, scope);
        requireTarget(*t);
        if (s.bulk && t->type.kind != VType::Table)
          fail(t->pos, "PLS-00497: cannot mix between single row and multi-row (BULK) in INTO "
                       "list");
      }
    });
    return;
  case SKind::Return:
    guarded([&] { bindReturn(s, scope); });
    return;
  case SKind::Raise:
    guarded([&] { bindRaise(s, scope); });
    return;
  case SKind::Block:
    bindBlock(*s.block, scope, s.labels);
    return;
  case SKind::ForNum:
    bindForNum(s, scope);
    return;
  case SKind::ForCursor:
    bindForCursor(s, scope);
    return;
  case SKind::Sql: {
    compileSql(*s.sql, scope, s.pos);
    guarded([&] {
      if (s.sql->kind == StmtKind::Select) {
        if (s.into.empty())
          fail(s.pos, "PLS-00428: an INTO clause is expected in this SELECT statement");
        bindInto(s, s.sql->columnTypes.size());
      } else if (!s.sql->columnTypes.empty()) {
        if (s.into.empty()) // RETURNING without INTO
          fail(s.pos, "PL/SQL: ORA-00925: missing INTO keyword");
        bindInto(s, s.sql->columnTypes.size());
      }
    });
    return;
  }
  case SKind::Open:
    guarded([&] {
      bindCursorRef(*s.target, scope);
      if (!s.target->cursor)
        wrongType(s.target->pos);
      for (auto &a : s.args)
        bindValue(*a, scope);
      if (s.args.size() > s.target->cursor->params.size())
        wrongArgs(s.target->pos, s.target->cursor->name);
    });
    return;
  case SKind::OpenFor:
    guarded([&] {
      bindValue(*s.target, scope);
      requireTarget(*s.target);
      if (s.target->kind == EKind::Bind)
        s.target->type.kind = VType::RefCursor;
      if (s.target->type.kind != VType::RefCursor)
        wrongType(s.target->pos);
      if (s.value)
        bindDynamicText(s, scope);
    });
    if (s.sql)
      compileSql(*s.sql, scope, s.pos);
    return;
  case SKind::Fetch:
    guarded([&] {
      bindCursorRef(*s.target, scope);
      size_t columns = 0;
      if (s.target->cursor && s.target->cursor->rowType)
        columns = s.target->cursor->rowType->fields.size();
      bindInto(s, columns);
    });
    return;
  case SKind::Close:
    guarded([&] { bindCursorRef(*s.target, scope); });
    return;
  default:
    return;
  }
}

// A procedure call as a statement.
void UnitBinder::bindCall(Stmt &s, Scope *scope) {
  if (s.target->kind != EKind::Name)
    fail(s.pos, "PLS-00221: is not a procedure or is undefined");
  resolveName(*s.target, scope, true);
  if (s.target->kind == EKind::Var || s.target->kind == EKind::Collection) {
    if (s.target->kind == EKind::Collection &&
        (s.target->builtin == BiTableDelete || s.target->builtin == BiTableExtend ||
         s.target->builtin == BiTableTrim))
      return;
    fail(s.pos, "PLS-00221: '" + s.target->names.back() + "' is not a procedure or is undefined");
  }
}

void UnitBinder::bindReturn(Stmt &s, Scope *scope) {
  if (!FCurrentSub) {
    if (s.value)
      fail(s.pos, "PLS-00372: In a procedure, RETURN statement cannot contain an "
                  "expression");
    return;
  }
  if (FCurrentSub->pipelined) {
    if (s.value)
      fail(s.pos, "PLS-00633: RETURN statement in a pipelined function cannot contain an "
                  "expression");
    return;
  }
  if (FCurrentSub->isFunction && !s.value && FCurrentSub->method != Subprogram::Constructor)
    fail(s.pos, "PLS-00503: RETURN <value> statement required for this return from "
                "function");
  if (!FCurrentSub->isFunction && s.value)
    fail(s.pos, "PLS-00372: In a procedure, RETURN statement cannot contain an "
                "expression");
  if (s.value) {
    bindValue(*s.value, scope);
    checkAssignable(FCurrentSub->returnType, *s.value);
  }
}

// RAISE names a declared exception, a package's or a predefined one; a bare RAISE re-raises
// inside a handler only.
void UnitBinder::bindRaise(Stmt &s, Scope *scope) {
  if (!s.value) {
    if (FHandlerDepth == 0)
      fail(s.pos, "PLS-00367: a RAISE statement with no exception name must be inside "
                  "an exception handler");
    return;
  }
  const std::vector<std::string> &nm = s.value->names;
  Symbol *sym = lookup(scope, nm[0]);
  if (sym && sym->kind == Symbol::Package && nm.size() == 2)
    sym = member(sym->package, nm[1]);
  if (sym && sym->kind == Symbol::Exception) {
    s.exception = sym->exception;
    return;
  }
  if (int c = predefinedCode(nm, FCtx.modern)) {
    s.value->ival = c;
    return;
  }
  if (const ExceptionDecl *e = packageException(nm)) {
    s.exception = e;
    return;
  }
  if (nm.size() == 2) {
    bool invalid = false;
    if (FCtx.units->findUnit(FCtx.user, nm[0], invalid))
      component(s.value->namePos[1], nm[1]); // a package without that exception
  }
  undeclared(s.value->pos, joinNames(nm, nm.size()));
}

// FOR i IN low .. high: i is a BINARY_INTEGER constant of the loop's own scope.
void UnitBinder::bindForNum(Stmt &s, Scope *scope) {
  try {
    if (s.bounds != Stmt::Range) {
      // FORALL i IN INDICES OF / VALUES OF c: a collection (of whole numbers for VALUES OF).
      bindValue(*s.value, scope);
      const TypeDecl *td = s.value->type.decl;
      if (s.value->type.kind != VType::Table || !td || td->stringKey ||
          (s.bounds == Stmt::ValuesOf &&
           (td->elementType.kind != VType::Number || !td->elementType.integer)))
        wrongType(s.value->pos);
    }
    if (s.low) {
      bindValue(*s.low, scope);
      bindValue(*s.high, scope);
      if (!scalarFamily(s.low->type.kind) || s.low->type.kind == VType::Date ||
          !scalarFamily(s.high->type.kind) || s.high->type.kind == VType::Date)
        wrongType(s.low->pos);
    }
  } catch (const BindAbort &) {
    statementIgnored(s.pos);
  }
  Scope inner;
  inner.parent = scope;
  Symbol v;
  v.kind = Symbol::Var;
  v.slot = allocate();
  v.type.kind = VType::Number;
  v.type.integer = v.type.binaryInteger = true;
  v.constant = true;
  s.loopSlot = v.slot.index;
  inner.names[s.loopVar] = v;
  inner.labels = s.labels; // outer.i
  loopBody(s, &inner);
}

// FOR r IN cursor / (SELECT ...): r is a record of the cursor's row, declared by the loop.
void UnitBinder::bindForCursor(Stmt &s, Scope *scope) {
  Type rowType;
  try {
    const CursorDecl *c = nullptr;
    if (s.inlineCursor) {
      compileSql(*s.inlineCursor->query, scope, s.inlineCursor->pos);
      auto td = std::make_unique<TypeDecl>();
      td->kind = TypeDecl::Record;
      for (size_t i = 0; i < s.inlineCursor->query->columnTypes.size(); ++i) {
        RecordField f;
        f.name = s.inlineCursor->query->columnNames[i];
        f.type = typeOfSql(s.inlineCursor->query->columnTypes[i]);
        td->fields.push_back(std::move(f));
      }
      s.inlineCursor->rowType = std::move(td);
      s.inlineCursor->where = allocate();
      s.inlineCursor->slot = s.inlineCursor->where.index;
      c = s.inlineCursor.get();
    } else {
      Expr &t = *s.target;
      if (t.kind != EKind::Name)
        wrongType(t.pos);
      std::vector<Arg> args = std::move(t.args);
      t.hasArgs = false;
      bindCursorRef(t, scope);
      if (!t.cursor)
        wrongType(t.pos);
      c = t.cursor;
      for (Arg &a : args) {
        bindValue(*a.value, scope);
        s.args.push_back(std::move(a.value));
      }
      if (s.args.size() > c->params.size())
        wrongArgs(t.pos, c->name);
      if (!c->rowType)
        wrongType(t.pos);
    }
    rowType.kind = VType::Record;
    rowType.decl = c->rowType.get();
    if (!s.inlineCursor)
      s.exitLoop = nullptr;
  } catch (const BindAbort &) {
    statementIgnored(s.pos);
    s.kind = SKind::Null;
    return;
  }
  Scope inner;
  inner.parent = scope;
  Symbol v;
  v.kind = Symbol::Var;
  v.slot = allocate();
  v.type = rowType;
  s.loopSlot = v.slot.index;
  inner.names[s.loopVar] = v;
  inner.labels = s.labels;
  loopBody(s, &inner);
}

void UnitBinder::loopBody(Stmt &s, Scope *scope) {
  FLoops.push_back(&s);
  bindStatements(s.body, scope);
  FLoops.pop_back();
}

void UnitBinder::bindInto(Stmt &s, size_t columns) {
  bool bulk = s.bulk || (s.sql && s.sql->bulkCollect);
  for (auto &t : s.into) {
    bindExpr(*t, FCurrentScope);
    if (t->kind != EKind::Var || t->ival)
      fail(t->pos, "PLS-00403: expression '" + exprText(*t) +
                       "' cannot be used as an INTO-target of a SELECT/FETCH statement");
    // BULK COLLECT fills tables, whose elements take the columns (or the rows as records).
    if (bulk && t->type.kind != VType::Table)
      fail(t->pos, "PLS-00497: cannot mix between single row and multi-row (BULK) in INTO list");
  }
  if (bulk && s.low)
    bindValue(*s.low, FCurrentScope);
  if (bulk && s.into.size() == 1 && s.into[0]->type.decl &&
      s.into[0]->type.decl->elementType.kind == VType::Record)
    return;
  if (columns == 0)
    return;
  if (s.into.size() == 1 && s.into[0]->type.kind == VType::Record) {
    const TypeDecl *td = s.into[0]->type.decl;
    if (td && td->fields.size() != columns)
      fail(s.into[0]->pos, s.kind == SKind::Fetch
                               ? "PLS-00394: wrong number of values in the INTO list of a "
                                 "FETCH statement"
                               : "PL/SQL: ORA-00913: too many values");
    return;
  }
  if (s.into.size() != columns) {
    if (s.kind == SKind::Fetch)
      fail(s.into[0]->pos,
           "PLS-00394: wrong number of values in the INTO list of a FETCH statement");
    report(s.into[0]->pos, s.into.size() < columns ? "PL/SQL: ORA-00913: too many values"
                                                   : "PL/SQL: ORA-00947: not enough values");
    fail(s.pos, "PL/SQL: SQL Statement ignored");
  }
}

void UnitBinder::bindTrigger(Scope *global) {
  TriggerInfo &t = FUnit.trigger;
  std::vector<ColumnInfo> cols;
  localdb::Binder b(FCtx.db, FCtx.user);
  auto o = b.findObject(t.table);
  if (!o || o->type != "TABLE") {
    report(t.tablePos, "PL/SQL: ORA-00942: table or view does not exist");
    return;
  }
  // A synonym names the table behind it, which the catalog row and the hooks are about.
  t.table = {o->owner, o->name};
  FUnit.triggerColumns = b.columnsOf(o->owner, o->name);
  dependOn(o->owner, o->name, "TABLE");
  if (t.when) {
    // WHEN names the rows without colons: new.sal, old.sal (or their REFERENCING names).
    std::function<void(Expr &)> colons = [&](Expr &x) {
      if (x.kind == EKind::Name && x.names.size() == 2 &&
          (x.names[0] == t.newName || x.names[0] == t.oldName))
        x.names[0] = x.names[0] == t.newName ? ":NEW" : ":OLD";
      for (auto &o : x.operands)
        colons(*o);
      for (auto &a : x.args)
        colons(*a.value);
    };
    colons(*t.when);
    try {
      bindCondition(*t.when, global);
    } catch (const BindAbort &) {
    }
  }
  FFrames.push_back(FrameAlloc{Slot::Frame, 0, 0, nullptr});
  FUnit.sub->level = 0;
  bindBody(*FUnit.sub->body, global);
  FUnit.sub->frameSize = FFrames.back().next;
  FFrames.pop_back();
}

void UnitBinder::bind() {
  Scope global;
  switch (FUnit.kind) {
  case UnitKind::Anonymous:
    FFrames.push_back(FrameAlloc{Slot::Frame, 0, 0, nullptr});
    bindBody(*FUnit.init, &global);
    FUnit.frameSize = FFrames.back().next;
    return;
  case UnitKind::Procedure:
  case UnitKind::Function: {
    FUnit.sub->unit = &FUnit;
    size_t before = FErrors.size();
    try {
      resolveSignature(*FUnit.sub, &global);
    } catch (const BindAbort &) {
    }
    if (FErrors.size() > before) {
      FErrors.push_back(CompileError{0, "PL/SQL: Compilation unit analysis terminated", true});
      return;
    }
    // The unit's own name resolves to itself (recursion).
    bindSubprogram(*FUnit.sub, &global, true);
    return;
  }
  case UnitKind::Type: {
    if (!FUnit.decls.empty() && isObjectType(FUnit.decls[0].type.get())) {
      // Attributes of SQL's types, objects and collections; the methods' headings, in whose
      // parameters the type names itself.
      TypeDecl &t = *FUnit.decls[0].type;
      t.objectUnit = &FUnit;
      for (const RecordField &f : t.fields)
        if (f.spec.attr.empty() && !f.spec.name.empty() && f.spec.name.back() == FUnit.name &&
            (f.spec.name.size() == 1 || f.spec.name[0] == FUnit.owner)) {
          // An object holding an object of its own type would have no end.
          report(f.spec.pos, "PLS-00318: type \"" + FUnit.name +
                                 "\" is malformed because it is a non-REF mutually recursive "
                                 "type");
          return;
        }
      FFrames.push_back(FrameAlloc{Slot::Package, 0, 0, &FUnit});
      bindDecls(FUnit.decls, &global, true);
      for (const RecordField &f : t.fields) {
        const Type &ft = f.type;
        if (ft.kind == VType::Boolean || ft.kind == VType::RefCursor ||
            (ft.kind == VType::Record && !isObjectType(ft.decl)) ||
            (ft.kind == VType::Table && !isDenseCollection(ft.decl)))
          report(f.spec.pos, "PLS-00530: Illegal type used for object type attribute: '" +
                                 joinNames(f.spec.name, f.spec.name.size()) + "'.");
      }
      FFrames.pop_back();
      return;
    }
    // A schema-level collection: of SQL's types (no associative array, record or BOOLEAN).
    bindDecls(FUnit.decls, &global, true);
    const TypeDecl *t = FUnit.decls.empty() ? nullptr : FUnit.decls[0].type.get();
    if (t && t->collection == TypeDecl::IndexBy)
      report(t->pos, "PLS-00355: use of pl/sql table not allowed in this context");
    else if (t && !scalarFamily(t->elementType.kind) && t->elementType.kind != VType::Table &&
             !isObjectType(t->elementType.decl))
      report(t->element.pos, "PLS-00530: Illegal type used for object type attribute: '" +
                                 joinNames(t->element.name, t->element.name.size()) + "'.");
    return;
  }
  case UnitKind::Package: {
    FFrames.push_back(FrameAlloc{Slot::Package, 0, 0, &FUnit});
    Scope scope;
    scope.parent = &global;
    Symbol self;
    self.kind = Symbol::Package;
    self.package = &FUnit;
    global.names[FUnit.name] = self;
    bindDecls(FUnit.decls, &scope, true);
    FUnit.frameSize = FFrames.back().next;
    return;
  }
  case UnitKind::PackageBody:
  case UnitKind::TypeBody: {
    const bool typeBody = FUnit.kind == UnitKind::TypeBody;
    const Unit *spec = FCtx.spec;
    if (spec && typeBody && (spec->decls.empty() || !isObjectType(spec->decls[0].type.get())))
      spec = nullptr; // a collection type has no body
    if (!spec) {
      FErrors.push_back(CompileError{FUnit.namePos,
                                     "PLS-00304: cannot compile body of '" + FUnit.name +
                                         "' without its specification",
                                     false});
      FErrors.push_back(CompileError{0, "PL/SQL: Compilation unit analysis terminated", true});
      return;
    }
    FUnit.spec = spec;
    dependOn(spec->owner, spec->name, typeBody ? "TYPE" : "PACKAGE");
    // The specification's declarations are in scope, their state in the package's slots.
    Scope specScope;
    specScope.parent = &global;
    Symbol self;
    self.kind = Symbol::Package;
    self.package = spec;
    global.names[FUnit.name] = self;
    for (const Decl &d : spec->decls) {
      std::string nm = d.kind == Decl::Var         ? d.var->name
                       : d.kind == Decl::Type      ? d.type->name
                       : d.kind == Decl::Cursor    ? d.cursor->name
                       : d.kind == Decl::Exception ? d.exception->name
                       : d.kind == Decl::Sub       ? scopeName(*d.sub)
                                                   : std::string();
      if (nm.empty())
        continue;
      if (Symbol *m = member(spec, nm))
        specScope.names[nm] = *m;
    }
    FFrames.push_back(FrameAlloc{Slot::Package, 0, spec->frameSize, spec});
    Scope scope;
    scope.parent = &specScope;
    bindDecls(FUnit.decls, &scope, true);
    // Cursor bodies in the body give the specification's cursors their query.
    if (FUnit.init) {
      FFrames.push_back(FrameAlloc{Slot::Frame, 0, 0, nullptr});
      bindBody(*FUnit.init, &scope);
      FUnit.init->endPos = FFrames.back().next; // frame size of the initialisation
      FFrames.pop_back();
    }
    FUnit.frameSize = FFrames.back().next;
    // Every subprogram of the specification needs its body.
    for (const Decl &d : spec->decls) {
      if (d.kind != Decl::Sub)
        continue;
      bool found = false;
      for (auto &p : FUnit.definitions)
        if (p.first == d.sub.get())
          found = true;
      if (!found)
        FErrors.push_back(CompileError{
            FUnit.namePos,
            "PLS-00" + std::string(typeBody ? "538" : "323") + ": subprogram or cursor '" +
                d.sub->name + "' is declared in " +
                (typeBody ? "an object type specification and must be defined in the object "
                            "type body"
                          : "a package specification and must be defined in the package body"),
            false});
    }
    // A type body defines only what its specification declares.
    for (const Decl &d : FUnit.decls) {
      bool found = !typeBody || d.kind != Decl::Sub;
      for (auto &p : FUnit.definitions)
        found = found || p.second == d.sub.get();
      if (!found)
        report(d.sub->pos, "PLS-00539: subprogram '" + d.sub->name +
                               "' is declared in an object type body and must be defined in "
                               "the object type specification");
    }
    return;
  }
  case UnitKind::Trigger:
    bindTrigger(&global);
    return;
  }
}

} // namespace

void bindUnit(Unit &u, const std::string &text, BindContext &ctx,
              std::vector<CompileError> &errors) {
  UnitBinder b(u, text, ctx, errors);
  b.bind();
}

std::vector<SqlPart> compileParts(const MultiStmt &multi, localdb::Binder &binder,
                                  const std::string &user, bool modern,
                                  std::vector<std::unique_ptr<Statement>> &asts,
                                  std::vector<localdb::ExprPtr> &defaults, DmlTarget &target) {
  std::vector<std::vector<const localdb::Expr *>> insertDefaults;
  for (const MultiPart &p : multi.parts) {
    asts.push_back(parseStatement(p.text, modern));
    Statement &st = *asts.back();
    insertDefaults.emplace_back();
    if (st.kind == StmtKind::Insert) {
      auto &ins = static_cast<InsertStmt &>(st);
      binder.bindInsert(ins);
      insertDefaults.back() = binder.bindInsertDefaults(ins, defaults);
    } else if (st.kind == StmtKind::Update) {
      binder.bindUpdate(static_cast<UpdateStmt &>(st));
    } else if (st.kind == StmtKind::Delete) {
      binder.bindDelete(static_cast<DeleteStmt &>(st));
    } else {
      binder.bindQuery(*static_cast<SelectStmt &>(st).query);
    }
  }
  std::vector<SqlPart> out;
  for (size_t i = 0; i < multi.parts.size(); ++i) {
    const MultiPart &p = multi.parts[i];
    Statement &st = *asts[i];
    Emitter em(binder.bindNames(), user);
    SqlPart part;
    if (p.kind == MultiPart::FailOnRow) {
      part.sql = "SELECT ora_error(" + std::to_string(p.error) + ") FROM (" +
                 em.select(*static_cast<SelectStmt &>(st).query) + ") LIMIT 1";
    } else if (p.kind == MultiPart::DeleteChanged) {
      // New rows take the highest rowids: those the INSERTs added are the top :inserted.
      auto &del = static_cast<DeleteStmt &>(st);
      const BoundTable &t = *del.table.bound;
      part.sql = em.remove(del) + " AND " + t.sqlAlias + ".rowid <= (SELECT max(rowid) FROM " +
                 physicalName(t.owner, t.name) + ") - :inserted";
      part.deletesBefore = true;
    } else if (st.kind == StmtKind::Insert) {
      part.sql = em.insert(static_cast<InsertStmt &>(st), insertDefaults[i]);
      part.counts = part.inserts = true;
    } else {
      part.sql = em.update(static_cast<UpdateStmt &>(st));
      part.counts = true;
    }
    if (target.table.empty() && part.counts)
      target = dmlTarget(st);
    out.push_back(std::move(part));
  }
  return out;
}

DmlTarget dmlTarget(const Statement &ast) {
  DmlTarget t;
  const TableRef *table = nullptr;
  switch (ast.kind) {
  case StmtKind::Insert:
    t.event = 1;
    table = &static_cast<const InsertStmt &>(ast).table;
    t.singleRow = !static_cast<const InsertStmt &>(ast).query;
    break;
  case StmtKind::Update:
    t.event = 2;
    table = &static_cast<const UpdateStmt &>(ast).table;
    for (const Assignment &a : static_cast<const UpdateStmt &>(ast).sets)
      t.columns.insert(t.columns.end(), a.columns.begin(), a.columns.end());
    break;
  case StmtKind::Delete:
    t.event = 3;
    table = &static_cast<const DeleteStmt &>(ast).table;
    break;
  default:
    return t;
  }
  if (const BoundTable *b = table->bound) {
    t.owner = b->owner;
    t.table = b->name;
    // Through a view, UPDATE OF is about the columns of the table behind it.
    if (!b->baseColumns.empty())
      for (std::string &c : t.columns)
        for (size_t i = 0; i < b->columns.size() && i < b->baseColumns.size(); ++i)
          if (b->columns[i].name == c) {
            c = b->baseColumns[i];
            break;
          }
  }
  return t;
}

} // namespace localdb::plsql
