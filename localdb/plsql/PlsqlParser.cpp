// The PL/SQL parser: recursive descent over the shared lexer's tokens, one function per
// construct; a syntax error reports PLS-00103 with what was expected there and resumes at the
// next statement, as Oracle's compiler does.
#include "localdb/plsql/PlsqlParser.h"

#include <map>

#include <algorithm>
#include <cstring>
#include <set>

#include "localdb/sql/SqlLexer.h"
#include "localdb/sql/SqlParser.h"

namespace localdb::plsql {

LineMap::LineMap(const std::string &text) {
  FStarts.push_back(0);
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\n')
      FStarts.push_back(static_cast<int>(i + 1));
}

int LineMap::line(int pos) const {
  auto it = std::upper_bound(FStarts.begin(), FStarts.end(), pos);
  return static_cast<int>(it - FStarts.begin());
}

int LineMap::column(int pos) const { return pos - FStarts[static_cast<size_t>(line(pos) - 1)] + 1; }

namespace {

const char *const kReserved[] = {
    "ALL",     "ALTER",     "AND",    "ANY",     "AS",       "ASC",     "BEGIN",    "BETWEEN",
    "BY",      "CASE",      "CHECK",  "CLUSTER", "COLUMNS",  "CONNECT", "CREATE",   "CURSOR",
    "DECLARE", "DEFAULT",   "DELETE", "DESC",    "DISTINCT", "DROP",    "ELSE",     "ELSIF",
    "END",     "EXCEPTION", "EXISTS", "FETCH",   "FOR",      "FROM",    "FUNCTION", "GOTO",
    "GRANT",   "GROUP",     "HAVING", "IF",      "IN",       "INDEX",   "INSERT",   "INTERSECT",
    "INTO",    "IS",        "LIKE",   "LOCK",    "LOOP",     "MINUS",   "MODE",     "NOT",
    "NULL",    "OF",        "ON",     "OPEN",    "OR",       "ORDER",   "OUT",      "PROCEDURE",
    "RAISE",   "RETURN",    "REVOKE", "SELECT",  "SET",      "TABLE",   "THEN",     "TO",
    "UNION",   "UNIQUE",    "UPDATE", "VALUES",  "VIEW",     "WHEN",    "WHERE",    "WHILE",
    "WITH",    "EXIT",      "CLOSE",  "TYPE",    "SUBTYPE",
};

// What Oracle lists as expected at the common places.
const char *kExpStatement =
    "begin declare exit for goto if loop mod null pragma raise return select update while "
    "<an identifier> <a double-quoted delimited-identifier> <a bind variable> << close current "
    "delete fetch lock insert open rollback savepoint set sql commit";
const char *kExpAfterExpr =
    ". ( * @ % & = - + ; < / > at in is mod not rem <an exponent (**)> <> or != or ~= >= <= <> "
    "and or like between ||";
const char *kExpExpression =
    "( - + mod not null <an identifier> <a double-quoted delimited-identifier> <a bind variable> "
    "avg count current exists max min prior sql stddev sum variance execute forall time "
    "timestamp interval date <a string literal with character set specification> <a number> "
    "<a single-quoted SQL string>";
const char *kExpAfterName = ":= . ( @ % ;";
const char *kExpDeclaration =
    "begin function package pragma procedure subtype type use <an identifier> "
    "<a double-quoted delimited-identifier> form current cursor";
const char *kExpParamType = ":= . ) , @ % default character";
const char *kExpIsAs = "; is with authid as cluster compress order using compiled wrapped external "
                       "deterministic parallel_enable pipelined";
const char *kExpType = "<an identifier> <a double-quoted delimited-identifier> table long double "
                       "ref char time timestamp interval date binary national character nchar";

struct SyntaxAbort {};
// A program nested deeper or built taller than the bounds: the compile ends at the first such
// error, since what follows would only repeat it.
struct ProgramTooLarge {};

bool isStmtEnd(const Token &t) {
  return t.kind == Tok::Ident && (t.text == "END" || t.text == "ELSE" || t.text == "ELSIF" ||
                                  t.text == "EXCEPTION" || t.text == "WHEN");
}

class Parser {
public:
  Parser(const std::string &text, std::vector<CompileError> &errors, bool modern);

  std::unique_ptr<Unit> unit(bool anonymous);

private:
  const std::string &FText;
  std::vector<CompileError> &FErrors;
  std::string FUnitName, FUnitType = "ANONYMOUS BLOCK"; // for $$PLSQL_UNIT, $$PLSQL_UNIT_TYPE
  bool FPipelined = false;                              // the last unit options read had PIPELINED
  std::vector<Token> FTokens;
  size_t FPos = 0;
  int FDepth = 0;
  bool FInTrigger = false;
  bool FModern; // also the PL/SQL added after Oracle 7.3 (CASE, CONTINUE)

  void lex();

  const Token &cur() const;
  const Token &peek(size_t k = 1) const;
  bool isKw(const char *w) const;
  bool isOp(const char *o) const;
  bool atEnd() const;
  void advance();
  bool acceptKw(const char *w);
  bool acceptOp(const char *o);

  std::string symbolText(const Token &t) const;

  static std::string wrapList(const std::string &list);

  void report(int pos, const std::string &text);

  void expected(const char *list, const char *substituted = nullptr);
  [[noreturn]] void fail(const char *list);
  void needOp(const char *o, const char *list);
  void needKw(const char *w, const char *list);

  std::string ident(const char *list);
  bool isIdent() const;

  void endStatement(const char *list = ";");

  void resync(size_t from);

  [[noreturn]] void tooLarge(int pos);

  // Every recursive descent takes one: blocks, statements, subprograms, parentheses, operators.
  struct DepthGuard {
    Parser &p;
    explicit DepthGuard(Parser &parser) : p(parser) {
      if (++p.FDepth > kMaxNesting) {
        --p.FDepth;
        p.tooLarge(p.cur().pos);
      }
    }
    ~DepthGuard() { --p.FDepth; }
  };

  ExprPtr grown(ExprPtr e);

  // ------------------------------------------------------------ types

  TypeSpec typeSpec(bool inParams);
  void datetimeSpec(TypeSpec &t);
  ExprPtr datetimeLiteral();

  // ------------------------------------------------------------ expressions

  ExprPtr expr();

  ExprPtr binary(Op op, int pos, ExprPtr a, ExprPtr b);
  ExprPtr operatorCall(const std::string &name, int pos, ExprPtr a, ExprPtr b, bool negated);

  ExprPtr orExpr();
  ExprPtr andExpr();
  ExprPtr notExpr();
  ExprPtr compare();
  ExprPtr additive();
  ExprPtr multiplicative();
  ExprPtr unary();

  void callArgs(std::vector<Arg> &args);

  ExprPtr primary();

  // A target of INTO: a variable, or a row trigger's :new.col / :old.col.
  ExprPtr intoTarget();

  // a.b.c(args).d ... and a trailing %ATTR.
  ExprPtr name();

  // ------------------------------------------------------------ embedded SQL

  // The SQL statement from the current keyword to its ';': the text span (INTO blanked) and
  // the INTO targets.
  std::unique_ptr<SqlStmt> sqlSpan(std::vector<ExprPtr> *into, StmtKind kind);

  // ------------------------------------------------------------ statements

  StmtPtr statement();
  void blockStatement(Stmt &s);
  void closeStatement(Stmt &s);
  void caseStatement(Stmt &s);
  void continueStatement(Stmt &s);
  void dynamicStatement(Stmt &s);
  void usingClause(Stmt &s);
  void pipeStatement(Stmt &s);
  void forallStatement(Stmt &s);
  ExprPtr caseExpr();
  void commitStatement(Stmt &s);
  void dmlStatement(Stmt &s);
  void exitStatement(Stmt &s);
  void gotoStatement(Stmt &s);
  void loopStatement(Stmt &s);
  void nullStatement(Stmt &s);
  void raiseStatement(Stmt &s);
  void returnStatement(Stmt &s);
  void savepointStatement(Stmt &s);
  void selectStatement(Stmt &s);
  void whileStatement(Stmt &s);
  void ifStatement(Stmt &s);
  void forStatement(Stmt &s);
  void rollbackStatement(Stmt &s);
  void openStatement(Stmt &s);
  void fetchStatement(Stmt &s);
  void assignOrCall(Stmt &s, const Token &t);

  std::unique_ptr<SqlStmt> sqlSpanParen();

  void loopBody(Stmt &s);

  // Statements up to END / ELSE / ELSIF / EXCEPTION / WHEN or the end of the text.
  std::vector<StmtPtr> statements();

  // ------------------------------------------------------------ declarations

  void params(std::vector<Param> &out);

  // stored: a stored unit's header, whose name may have its schema in front.
  std::unique_ptr<Subprogram> subprogram(bool inSpec, bool stored = false);
  void unitOptions();

  void declarations(std::vector<Decl> &out, bool packageLevel);

  // TYPE t IS ...; schemaLevel: CREATE TYPE t AS ..., whose ';' may be left out.
  std::unique_ptr<TypeDecl> typeDecl(bool schemaLevel = false);

  std::unique_ptr<CursorDecl> cursorDecl();

  // IS|AS already read: declarations, BEGIN statements [EXCEPTION handlers] END [name]
  std::unique_ptr<Block> blockAfterIs(const std::string &name);

  std::unique_ptr<Block> block(bool topLevel);

  void body(Block &b, const std::string &name);

  // ------------------------------------------------------------ units

  void trigger(Unit &u);
  // CREATE TYPE t AS OBJECT (attributes, method specifications) [NOT] FINAL ...
  void objectType(Unit &u);
  // CREATE TYPE BODY t AS method definitions END;
  void typeBody(Unit &u);
  // [MAP|ORDER] MEMBER | STATIC | CONSTRUCTOR FUNCTION / PROCEDURE: its heading, and in a type
  // body its block. A member's SELF comes first, declared or not.
  std::unique_ptr<Subprogram> method(bool inBody, const std::string &typeName);
};

Parser::Parser(const std::string &text, std::vector<CompileError> &errors, bool modern)
    : FText(text), FErrors(errors), FModern(modern) {
  lex();
}

void Parser::lex() {
  size_t upto = FText.size();
  for (int attempt = 0; attempt < 3; ++attempt) {
    try {
      FTokens = tokenize(FText.substr(0, upto), true);
      break;
    } catch (const OraError &e) {
      // Tokens up to the bad character, then the character itself as a symbol the parser
      // reports where it stands.
      size_t at = e.offset >= 0 && static_cast<size_t>(e.offset) < upto ? e.offset : 0;
      if (at == upto || attempt == 2) {
        FTokens.clear();
        Token end;
        end.kind = Tok::End;
        FTokens.push_back(end);
        return;
      }
      upto = at;
      std::vector<Token> prefix;
      try {
        prefix = tokenize(FText.substr(0, at), true);
      } catch (const OraError &) {
        continue;
      }
      prefix.pop_back();
      Token bad;
      bad.kind = Tok::Op;
      bad.text = std::string(1, FText[at]);
      bad.pos = static_cast<int>(at);
      bad.end = static_cast<int>(at + 1);
      prefix.push_back(bad);
      Token end;
      end.kind = Tok::End;
      end.pos = end.end = static_cast<int>(FText.size());
      prefix.push_back(end);
      FTokens = std::move(prefix);
      return;
    }
  }
}

const Token &Parser::cur() const { return FTokens[FPos]; }

const Token &Parser::peek(size_t k) const {
  return FTokens[std::min(FPos + k, FTokens.size() - 1)];
}

bool Parser::isKw(const char *w) const { return cur().kind == Tok::Ident && cur().text == w; }

bool Parser::isOp(const char *o) const { return cur().kind == Tok::Op && cur().text == o; }

bool Parser::atEnd() const { return cur().kind == Tok::End; }

void Parser::advance() {
  if (!atEnd())
    ++FPos;
}

bool Parser::acceptKw(const char *w) {
  if (!isKw(w))
    return false;
  advance();
  return true;
}

bool Parser::acceptOp(const char *o) {
  if (!isOp(o))
    return false;
  advance();
  return true;
}

std::string Parser::symbolText(const Token &t) const {
  switch (t.kind) {
  case Tok::End:
    return "end-of-file";
  case Tok::String:
    return FText.substr(static_cast<size_t>(t.pos), static_cast<size_t>(t.end - t.pos));
  case Tok::Number:
    return t.text;
  case Tok::QuotedIdent:
    return t.text;
  case Tok::Bind:
    return ":" + t.text;
  default:
    return t.text;
  }
}

std::string Parser::wrapList(const std::string &list) {
  std::string out = "   ";
  size_t col = 3;
  size_t i = 0;
  // Items are separated by blanks, except inside <...>.
  std::vector<std::string> items;
  while (i < list.size()) {
    while (i < list.size() && list[i] == ' ')
      ++i;
    if (i >= list.size())
      break;
    size_t b = i;
    if (list[i] == '<' && i + 1 < list.size() && list[i + 1] != '>' && list[i + 1] != ' ' &&
        list[i + 1] != '=' && list[i + 1] != '<') {
      size_t e = list.find('>', i);
      i = e == std::string::npos ? list.size() : e + 1;
    } else {
      while (i < list.size() && list[i] != ' ')
        ++i;
    }
    items.push_back(list.substr(b, i - b));
  }
  bool first = true;
  for (const std::string &it : items) {
    if (!first && col + 1 + it.size() > 73) {
      out += "\n   ";
      col = 3;
    } else if (!first) {
      out += ' ';
      ++col;
    }
    out += it;
    col += it.size();
    first = false;
  }
  return out;
}

void Parser::report(int pos, const std::string &text) {
  if (static_cast<int>(FErrors.size()) < kMaxCompileErrors)
    FErrors.push_back(CompileError{pos, text, false});
}

// PLS-00103 at the current token; substituted: the symbol the parser pretends it saw.
void Parser::expected(const char *list, const char *substituted) {
  std::string m = "PLS-00103: Encountered the symbol \"" + symbolText(cur()) +
                  "\" when expecting one of the following:\n\n" + wrapList(list);
  if (substituted)
    m += "\nThe symbol \"" + std::string(substituted) + "\" was substituted for \"" +
         symbolText(cur()) + "\" to continue.";
  report(cur().pos, m);
}

void Parser::fail(const char *list) {
  expected(list);
  throw SyntaxAbort{};
}

void Parser::needOp(const char *o, const char *list) {
  if (!acceptOp(o))
    fail(list);
}

void Parser::needKw(const char *w, const char *list) {
  if (!acceptKw(w))
    fail(list);
}

std::string Parser::ident(const char *list) {
  if (cur().kind == Tok::Ident && !isPlsqlReserved(cur().text)) {
    std::string s = cur().text;
    advance();
    return s;
  }
  if (cur().kind == Tok::QuotedIdent) {
    std::string s = cur().text;
    advance();
    return s;
  }
  fail(list);
}

bool Parser::isIdent() const {
  return (cur().kind == Tok::Ident && !isPlsqlReserved(cur().text)) ||
         cur().kind == Tok::QuotedIdent;
}

// The statement ends with ';'; a missing one before a word that starts what follows is
// substituted, as Oracle does, so the rest still compiles.
void Parser::endStatement(const char *list) {
  if (acceptOp(";"))
    return;
  const Token &t = cur();
  if (t.kind == Tok::Ident || t.kind == Tok::QuotedIdent) {
    expected(list, ";");
    return;
  }
  fail(list);
}

// Skips to just past the next ';' at parenthesis depth 0, or to a word that ends a list
// of statements.
void Parser::resync(size_t from) {
  if (FPos == from && !atEnd() && !isStmtEnd(cur()))
    advance();
  int depth = 0;
  while (!atEnd()) {
    if (isOp("("))
      ++depth;
    else if (isOp(")"))
      depth = std::max(0, depth - 1);
    else if (depth == 0 && isOp(";")) {
      advance();
      return;
    } else if (depth == 0 && (isKw("END") || isKw("ELSE") || isKw("ELSIF") || isKw("EXCEPTION")) &&
               FPos != from)
      return;
    advance();
  }
}

void Parser::tooLarge(int pos) {
  report(pos, "PLS-00123: program too large");
  throw ProgramTooLarge{};
}

// A node whose children are in place: its height, bounded, so that operator chains (built
// without recursion) cannot make the binder, the interpreter or the destructor overflow.
ExprPtr Parser::grown(ExprPtr e) {
  int h = 0;
  for (const ExprPtr &o : e->operands)
    h = std::max(h, o->height);
  for (const Arg &a : e->args)
    if (a.value)
      h = std::max(h, a.value->height);
  e->height = h + 1;
  if (e->height > kMaxExprHeight)
    tooLarge(e->pos);
  return e;
}

TypeSpec Parser::typeSpec(bool inParams) {
  TypeSpec t;
  t.pos = cur().pos;
  if (!isIdent() && !isKw("TABLE") && !isKw("DATE") && !isKw("LONG") && !isKw("CHAR"))
    fail(kExpType);
  t.name.push_back(cur().text);
  advance();
  if (FModern && (t.name[0] == "TIMESTAMP" || t.name[0] == "INTERVAL") && !isOp(".") &&
      !isOp("%")) {
    datetimeSpec(t);
    return t;
  }
  if (t.name[0] == "LONG" && isKw("RAW")) {
    t.name[0] = "LONG RAW";
    advance();
  } else if (t.name[0] == "DOUBLE" && isKw("PRECISION")) {
    t.name[0] = "NUMBER";
    advance();
  }
  while (isOp(".")) {
    advance();
    t.name.push_back(ident(kExpType));
  }
  if (acceptOp("%")) {
    if (isKw("TYPE") || isKw("ROWTYPE")) {
      t.attr = cur().text;
      advance();
    } else {
      fail("rowtype type");
    }
    return t;
  }
  if (isOp("(")) {
    if (inParams) {
      // Formal parameters take no constraints; Oracle reads the rest as a default.
      expected(kExpParamType, ":=");
      return t;
    }
    advance();
    t.haveArgs = true;
    if (cur().kind != Tok::Number)
      fail("<an integer>");
    t.precision = std::atoi(cur().text.c_str());
    t.length = t.precision;
    advance();
    if (acceptOp(",")) {
      bool neg = acceptOp("-");
      if (cur().kind != Tok::Number)
        fail("<an integer>");
      t.scale = std::atoi(cur().text.c_str()) * (neg ? -1 : 1);
      advance();
    }
    needOp(")", ") ,");
  }
  return t;
}

// TIMESTAMP[(p)] [WITH [LOCAL] TIME ZONE], INTERVAL YEAR[(p)] TO MONTH, INTERVAL DAY[(p)] TO
// SECOND[(s)]: the whole name, the leading precision in precision, the fraction's in scale.
void Parser::datetimeSpec(TypeSpec &t) {
  auto digits = [&](int deflt) {
    if (!acceptOp("("))
      return deflt;
    if (cur().kind != Tok::Number)
      fail("<an integer>");
    int v = std::atoi(cur().text.c_str());
    advance();
    needOp(")", ")");
    return v;
  };
  t.haveArgs = true;
  if (t.name[0] == "TIMESTAMP") {
    t.scale = digits(6);
    if (acceptKw("WITH")) {
      t.name[0] = acceptKw("LOCAL") ? "TIMESTAMP WITH LOCAL TIME ZONE" : "TIMESTAMP WITH TIME ZONE";
      needKw("TIME", "TIME");
      needKw("ZONE", "ZONE");
    }
    return;
  }
  if (acceptKw("YEAR")) {
    t.precision = digits(2);
    t.scale = 0;
    needKw("TO", "TO");
    needKw("MONTH", "MONTH");
    t.name[0] = "INTERVAL YEAR TO MONTH";
    return;
  }
  needKw("DAY", "DAY YEAR");
  t.precision = digits(2);
  needKw("TO", "TO");
  needKw("SECOND", "SECOND");
  t.scale = digits(6);
  t.name[0] = "INTERVAL DAY TO SECOND";
}

// DATE '...', TIMESTAMP '...' and INTERVAL '...' <fields> of the later SQL: their text, which
// the binder has SQL read.
ExprPtr Parser::datetimeLiteral() {
  auto e = std::make_unique<Expr>();
  e->pos = cur().pos;
  e->kind = EKind::Name;
  e->names.push_back("$SQLTEXT");
  e->namePos.push_back(e->pos);
  const bool interval = cur().text == "INTERVAL";
  advance();
  advance();
  // The fields and their precisions: names, and numbers within their parentheses.
  for (int depth = 0; interval && !atEnd(); advance()) {
    if (isOp("("))
      ++depth;
    else if (isOp(")") && depth > 0)
      --depth;
    else if (!(depth > 0 && (isOp(",") || cur().kind == Tok::Number)) && !isKw("YEAR") &&
             !isKw("MONTH") && !isKw("DAY") && !isKw("HOUR") && !isKw("MINUTE") &&
             !isKw("SECOND") && !isKw("TO"))
      break;
  }
  const size_t end = atEnd() ? FText.size() : static_cast<size_t>(cur().pos);
  e->text = FText.substr(static_cast<size_t>(e->pos), end - static_cast<size_t>(e->pos));
  return e;
}

ExprPtr Parser::expr() { return orExpr(); }

ExprPtr Parser::binary(Op op, int pos, ExprPtr a, ExprPtr b) {
  auto e = std::make_unique<Expr>();
  e->kind = EKind::Binary;
  e->op = op;
  e->pos = pos;
  e->operands.push_back(std::move(a));
  e->operands.push_back(std::move(b));
  return grown(std::move(e));
}

ExprPtr Parser::orExpr() {
  DepthGuard g(*this);
  ExprPtr a = andExpr();
  while (isKw("OR")) {
    int p = a->pos;
    advance();
    a = binary(Op::Or, p, std::move(a), andExpr());
  }
  return a;
}

ExprPtr Parser::andExpr() {
  ExprPtr a = notExpr();
  while (isKw("AND")) {
    int p = a->pos;
    advance();
    a = binary(Op::And, p, std::move(a), notExpr());
  }
  return a;
}

ExprPtr Parser::notExpr() {
  if (isKw("NOT")) {
    DepthGuard g(*this);
    int p = cur().pos;
    advance();
    auto e = std::make_unique<Expr>();
    e->kind = EKind::Unary;
    e->op = Op::Not;
    e->pos = p;
    e->operands.push_back(notExpr());
    return grown(std::move(e));
  }
  return compare();
}

// a OP b as the call of an operator whose name has a blank (no program can write it): the
// multiset operators and conditions, bound to their built-in as MOD is to its function.
ExprPtr Parser::operatorCall(const std::string &name, int pos, ExprPtr a, ExprPtr b, bool negated) {
  auto e = std::make_unique<Expr>();
  e->kind = EKind::Name;
  e->pos = pos;
  e->names = {name};
  e->namePos = {pos};
  e->hasArgs = true;
  for (ExprPtr *x : {&a, &b})
    if (*x) {
      Arg arg;
      arg.pos = (*x)->pos;
      arg.value = std::move(*x);
      e->args.push_back(std::move(arg));
    }
  ExprPtr call = grown(std::move(e));
  if (!negated)
    return call;
  auto n = std::make_unique<Expr>();
  n->kind = EKind::Unary;
  n->op = Op::Not;
  n->pos = pos;
  n->operands.push_back(std::move(call));
  return grown(std::move(n));
}

ExprPtr Parser::compare() {
  ExprPtr a = additive();
  while (true) {
    int p = a->pos;
    Op op = Op::None;
    if (isOp("="))
      op = Op::Eq;
    else if (isOp("<>"))
      op = Op::Ne;
    else if (isOp("<"))
      op = Op::Lt;
    else if (isOp(">"))
      op = Op::Gt;
    else if (isOp("<="))
      op = Op::Le;
    else if (isOp(">="))
      op = Op::Ge;
    if (op != Op::None) {
      advance();
      a = binary(op, p, std::move(a), additive());
      continue;
    }
    if (isKw("IS")) {
      advance();
      auto e = std::make_unique<Expr>();
      e->kind = EKind::IsNull;
      e->pos = p;
      e->negated = acceptKw("NOT");
      if (FModern && ((isKw("A") && peek().is("SET")) || isKw("EMPTY"))) {
        // c IS [NOT] A SET, c IS [NOT] EMPTY.
        std::string name = isKw("A") ? "IS A SET" : "IS EMPTY";
        advance();
        if (name == "IS A SET")
          advance();
        a = operatorCall(name, p, std::move(a), nullptr, e->negated);
        continue;
      }
      needKw("NULL", "null");
      e->operands.push_back(std::move(a));
      a = grown(std::move(e));
      continue;
    }
    bool neg = false;
    size_t save = FPos;
    if (isKw("NOT") && (peek().is("LIKE") || peek().is("BETWEEN") || peek().is("IN") ||
                        (FModern && (peek().is("MEMBER") || peek().is("SUBMULTISET"))))) {
      neg = true;
      advance();
    }
    if (FModern && (isKw("MEMBER") || isKw("SUBMULTISET"))) {
      // x [NOT] MEMBER [OF] c, c [NOT] SUBMULTISET [OF] d.
      std::string name = isKw("MEMBER") ? "MEMBER OF" : "SUBMULTISET OF";
      advance();
      acceptKw("OF");
      a = operatorCall(name, p, std::move(a), additive(), neg);
      continue;
    }
    if (acceptKw("LIKE")) {
      auto e = std::make_unique<Expr>();
      e->kind = EKind::Like;
      e->pos = p;
      e->negated = neg;
      e->operands.push_back(std::move(a));
      e->operands.push_back(additive());
      if (acceptKw("ESCAPE"))
        e->operands.push_back(additive());
      a = grown(std::move(e));
      continue;
    }
    if (acceptKw("BETWEEN")) {
      auto e = std::make_unique<Expr>();
      e->kind = EKind::Between;
      e->pos = p;
      e->negated = neg;
      e->operands.push_back(std::move(a));
      e->operands.push_back(additive());
      needKw("AND", "and");
      e->operands.push_back(additive());
      a = grown(std::move(e));
      continue;
    }
    if (acceptKw("IN")) {
      auto e = std::make_unique<Expr>();
      e->kind = EKind::In;
      e->pos = p;
      e->negated = neg;
      e->operands.push_back(std::move(a));
      needOp("(", "(");
      do
        e->operands.push_back(expr());
      while (acceptOp(","));
      needOp(")", ") ,");
      a = grown(std::move(e));
      continue;
    }
    FPos = save;
    return a;
  }
}

ExprPtr Parser::additive() {
  ExprPtr a = multiplicative();
  while (FModern && isKw("MULTISET") &&
         (peek().is("UNION") || peek().is("INTERSECT") || peek().is("EXCEPT"))) {
    // c MULTISET UNION | INTERSECT | EXCEPT [ALL | DISTINCT] d.
    int p = a->pos;
    advance();
    std::string name = "MULTISET " + cur().text;
    advance();
    if (isKw("ALL") || isKw("DISTINCT")) {
      if (isKw("DISTINCT"))
        name += " DISTINCT";
      advance();
    }
    a = operatorCall(name, p, std::move(a), multiplicative(), false);
  }
  while (isOp("+") || isOp("-") || isOp("||")) {
    Op op = isOp("+") ? Op::Add : isOp("-") ? Op::Sub : Op::Concat;
    int p = a->pos;
    advance();
    a = binary(op, p, std::move(a), multiplicative());
  }
  return a;
}

ExprPtr Parser::multiplicative() {
  ExprPtr a = unary();
  while (isOp("*") || isOp("/") || isKw("MOD")) {
    int p = a->pos;
    if (isKw("MOD")) {
      // x MOD y: the MOD function.
      advance();
      auto e = std::make_unique<Expr>();
      e->kind = EKind::Name;
      e->pos = p;
      e->names = {"MOD"};
      e->namePos = {p};
      e->hasArgs = true;
      Arg x, y;
      x.pos = a->pos;
      x.value = std::move(a);
      y.pos = cur().pos;
      y.value = unary();
      e->args.push_back(std::move(x));
      e->args.push_back(std::move(y));
      a = grown(std::move(e));
      continue;
    }
    Op op = isOp("*") ? Op::Mul : Op::Div;
    advance();
    a = binary(op, p, std::move(a), unary());
  }
  return a;
}

ExprPtr Parser::unary() {
  if (isOp("-") || isOp("+")) {
    DepthGuard g(*this);
    int p = cur().pos;
    Op op = isOp("-") ? Op::Neg : Op::Plus;
    advance();
    auto e = std::make_unique<Expr>();
    e->kind = EKind::Unary;
    e->op = op;
    e->pos = p;
    e->operands.push_back(unary());
    return grown(std::move(e));
  }
  ExprPtr a = primary();
  if (isOp("**")) {
    DepthGuard g(*this);
    int p = a->pos;
    advance();
    return binary(Op::Pow, p, std::move(a), unary());
  }
  return a;
}

void Parser::callArgs(std::vector<Arg> &args) {
  // After '(' : positional or name => value, separated by commas.
  if (acceptOp(")"))
    return;
  do {
    Arg a;
    a.pos = cur().pos;
    if ((cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent) && peek().is("=>")) {
      a.name = cur().text;
      advance();
      advance();
    }
    a.value = expr();
    args.push_back(std::move(a));
  } while (acceptOp(","));
  needOp(")", ". ( ) , * @ % & - + / at mod rem <an exponent (**)> ||");
}

ExprPtr Parser::primary() {
  DepthGuard g(*this);
  auto e = std::make_unique<Expr>();
  e->pos = cur().pos;
  const Token &t = cur();
  switch (t.kind) {
  case Tok::Number:
    e->kind = EKind::Number;
    e->text = t.text;
    advance();
    return e;
  case Tok::String:
    // A literal is a VARCHAR2 value: at most 32,767 bytes, checked here rather than each run.
    if (t.text.size() > kMaxStringBytes)
      report(t.pos, "PLS-00172: string literal too long");
    e->kind = t.text.empty() ? EKind::Null : EKind::String;
    e->text = t.text;
    advance();
    return e;
  case Tok::Bind:
    e->kind = EKind::Bind;
    e->text = t.text;
    advance();
    if (FInTrigger && (e->text == "NEW" || e->text == "OLD") && isOp(".")) {
      // :new.col / :old.col of a row trigger.
      e->kind = EKind::Name;
      e->names.push_back(":" + e->text);
      e->namePos.push_back(e->pos);
      advance();
      e->namePos.push_back(cur().pos);
      e->names.push_back(ident(kExpType));
      return e;
    }
    return e;
  case Tok::Op:
    if (t.text == "(") {
      advance();
      ExprPtr inner = expr();
      needOp(")", ". ( ) , * @ % & - + / at mod rem <an exponent (**)> and or ||");
      return inner;
    }
    fail(kExpExpression);
  case Tok::Ident:
    if (t.text == "NULL") {
      advance();
      e->kind = EKind::Null;
      return e;
    }
    if (t.text == "TRUE" || t.text == "FALSE") {
      e->kind = EKind::Boolean;
      e->ival = t.text == "TRUE";
      advance();
      return e;
    }
    if (t.text == "CASE" && FModern)
      return caseExpr();
    if (t.text.compare(0, 2, "$$") == 0) {
      // Inquiry directives: the unit's name and type, the line; a flag nobody set is NULL.
      const std::string w = t.text.substr(2);
      if (w == "PLSQL_LINE") {
        e->kind = EKind::Number;
        e->text = std::to_string(1 + std::count(FText.begin(), FText.begin() + t.pos, '\n'));
      } else if ((w == "PLSQL_UNIT" && !FUnitName.empty()) || w == "PLSQL_UNIT_TYPE") {
        e->kind = EKind::String;
        e->text = w == "PLSQL_UNIT" ? FUnitName : FUnitType;
      } else {
        e->kind = EKind::Null;
      }
      advance();
      return e;
    }
    if (FModern && (t.text == "TIMESTAMP" || t.text == "INTERVAL" || t.text == "DATE") &&
        peek().kind == Tok::String)
      return datetimeLiteral();
    if (FModern && t.text == "EXTRACT" && peek().is("(") && peek(3).is("FROM")) {
      // EXTRACT(field FROM value): a SQL function with its field in text.
      e->kind = EKind::Name;
      e->names.push_back(t.text);
      e->namePos.push_back(e->pos);
      advance();
      advance();
      e->text = cur().text;
      advance();
      advance();
      Arg a;
      a.pos = cur().pos;
      a.value = expr();
      e->args.push_back(std::move(a));
      e->hasArgs = true;
      needOp(")", ")");
      return e;
    }
    if (isPlsqlReserved(t.text) && t.text != "SQL")
      fail(kExpExpression);
    [[fallthrough]];
  case Tok::QuotedIdent:
    return name();
  case Tok::End:
    fail(kExpExpression);
  }
  fail(kExpExpression);
}

ExprPtr Parser::intoTarget() {
  if (FInTrigger && cur().kind == Tok::Bind && (cur().text == "NEW" || cur().text == "OLD"))
    return primary();
  return name();
}

ExprPtr Parser::name() {
  auto e = std::make_unique<Expr>();
  e->kind = EKind::Name;
  e->pos = cur().pos;
  e->namePos.push_back(cur().pos);
  e->names.push_back(cur().text);
  advance();
  while (true) {
    if (isOp(".")) {
      advance();
      e->namePos.push_back(cur().pos);
      if (cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent) {
        e->names.push_back(cur().text);
        advance();
      } else {
        fail("<an identifier> <a double-quoted delimited-identifier> delete exists prior");
      }
      continue;
    }
    if (isOp("(") && !e->hasArgs) {
      advance();
      e->hasArgs = true;
      callArgs(e->args);
      // Components after a call or subscript: t(i).field, and at later levels the element of
      // a collection of collections: t(i)(j).
      if (isOp(".") || (FModern && isOp("("))) {
        auto outer = std::make_unique<Expr>();
        outer->kind = EKind::Name;
        outer->pos = e->pos;
        outer->names.push_back("");
        outer->namePos.push_back(e->pos);
        outer->operands.push_back(std::move(e));
        outer->text = "."; // a component of the value in operands[0]
        e = grown(std::move(outer));
        continue;
      }
      continue;
    }
    break;
  }
  if (isOp("%") && (peek().is("FOUND") || peek().is("NOTFOUND") || peek().is("ISOPEN") ||
                    peek().is("ROWCOUNT"))) {
    advance();
    auto a = std::make_unique<Expr>();
    a->kind = EKind::Attribute;
    a->pos = e->pos;
    a->text = cur().text;
    advance();
    a->operands.push_back(std::move(e));
    return grown(std::move(a));
  }
  if (FModern && isOp("%") && (peek().is("BULK_ROWCOUNT") || peek().is("BULK_EXCEPTIONS"))) {
    // SQL%BULK_ROWCOUNT(i), SQL%BULK_EXCEPTIONS(i).ERROR_INDEX / .ERROR_CODE, and
    // SQL%BULK_EXCEPTIONS.COUNT: the operands are the cursor and the subscript, names the field.
    advance();
    auto a = std::make_unique<Expr>();
    a->kind = EKind::Attribute;
    a->pos = e->pos;
    a->text = cur().text;
    advance();
    a->operands.push_back(std::move(e));
    bool count = a->text == "BULK_EXCEPTIONS" && isOp(".");
    if (!count) {
      needOp("(", "(");
      a->operands.push_back(expr());
      needOp(")", ")");
    }
    if (a->text == "BULK_EXCEPTIONS") {
      needOp(".", ".");
      a->namePos.push_back(cur().pos);
      a->names.push_back(ident("<an identifier>"));
    }
    return grown(std::move(a));
  }
  return grown(std::move(e));
}

std::unique_ptr<SqlStmt> Parser::sqlSpan(std::vector<ExprPtr> *into, StmtKind kind) {
  auto s = std::make_unique<SqlStmt>();
  s->kind = kind;
  s->pos = cur().pos;
  int depth = 0;
  int intoFrom = -1, intoTo = -1;
  bool first = true, returning = false;
  while (!atEnd()) {
    if (depth == 0 && isOp(";"))
      break;
    if (isOp("("))
      ++depth;
    else if (isOp(")")) {
      if (depth == 0)
        fail(kExpAfterExpr);
      --depth;
    } else if (depth == 0 && FModern && kind != StmtKind::Select &&
               (isKw("RETURNING") || isKw("RETURN"))) {
      returning = true; // its INTO clause is PL/SQL's, as a SELECT's
    } else if (depth == 0 && into && !first && intoFrom < 0 &&
               (kind == StmtKind::Select || returning) &&
               (isKw("INTO") ||
                (FModern && isKw("BULK") && peek().is("COLLECT") && peek(2).is("INTO")))) {
      intoFrom = cur().pos;
      if (isKw("BULK")) {
        s->bulkCollect = true;
        advance();
        advance();
      }
      advance();
      do
        into->push_back(intoTarget());
      while (acceptOp(","));
      intoTo = cur().pos;
      if (kind == StmtKind::Select && !isKw("FROM"))
        fail(", from");
      continue;
    }
    first = false;
    s->end = cur().end;
    advance();
  }
  if (atEnd())
    fail(";");
  s->text = FText.substr(static_cast<size_t>(s->pos), static_cast<size_t>(s->end - s->pos));
  // (A RETURNING clause's INTO ends the statement: the span stops before it.)
  if (intoFrom >= 0)
    for (int i = intoFrom; i < std::min(intoTo, s->end); ++i)
      if (s->text[static_cast<size_t>(i - s->pos)] != '\n')
        s->text[static_cast<size_t>(i - s->pos)] = ' ';
  // :new.x / :old.x of a trigger read as the names NEW.x / OLD.x.
  if (FInTrigger)
    for (size_t i = 0; i + 4 < s->text.size(); ++i)
      if (s->text[i] == ':' && (strncasecmp(s->text.c_str() + i + 1, "NEW.", 4) == 0 ||
                                strncasecmp(s->text.c_str() + i + 1, "OLD.", 4) == 0))
        s->text[i] = ' ';
  advance(); // ';'
  return s;
}

StmtPtr Parser::statement() {
  DepthGuard g(*this);
  auto s = std::make_unique<Stmt>();
  while (isOp("<<")) {
    advance();
    s->labels.push_back(ident("<an identifier>"));
    needOp(">>", ">>");
  }
  s->pos = cur().pos;
  // The statements by their first word; anything else is an assignment or a call.
  static const std::map<std::string, void (Parser::*)(Stmt &), std::less<>> kStatements = {
      {"BEGIN", &Parser::blockStatement},
      {"DECLARE", &Parser::blockStatement},
      {"IF", &Parser::ifStatement},
      {"LOOP", &Parser::loopStatement},
      {"WHILE", &Parser::whileStatement},
      {"FOR", &Parser::forStatement},
      {"EXIT", &Parser::exitStatement},
      {"GOTO", &Parser::gotoStatement},
      {"NULL", &Parser::nullStatement},
      {"RETURN", &Parser::returnStatement},
      {"RAISE", &Parser::raiseStatement},
      {"SELECT", &Parser::selectStatement},
      {"INSERT", &Parser::dmlStatement},
      {"UPDATE", &Parser::dmlStatement},
      {"DELETE", &Parser::dmlStatement},
      {"MERGE", &Parser::dmlStatement},
      {"LOCK", &Parser::dmlStatement},
      {"COMMIT", &Parser::commitStatement},
      {"ROLLBACK", &Parser::rollbackStatement},
      {"SAVEPOINT", &Parser::savepointStatement},
      {"OPEN", &Parser::openStatement},
      {"FETCH", &Parser::fetchStatement},
      {"CLOSE", &Parser::closeStatement},
      {"CASE", &Parser::caseStatement},
      {"CONTINUE", &Parser::continueStatement},
      {"EXECUTE", &Parser::dynamicStatement},
      {"FORALL", &Parser::forallStatement},
      {"PIPE", &Parser::pipeStatement},
  };
  const Token &t = cur();
  if (t.kind == Tok::Ident) {
    const std::string &w = t.text;
    if (auto it = kStatements.find(w);
        it != kStatements.end() && (FModern || (w != "CASE" && w != "CONTINUE" && w != "EXECUTE" &&
                                                w != "FORALL" && w != "MERGE" && w != "PIPE"))) {
      (this->*it->second)(*s);
      return s;
    }
    if (isPlsqlReserved(w) && w != "SQL")
      fail(kExpStatement);
  } else if (t.kind == Tok::Bind) {
    // :x := ... in an anonymous block, :new.x := ... in a trigger.
  } else if (t.kind != Tok::QuotedIdent) {
    fail(kExpStatement);
  }
  assignOrCall(*s, t);
  return s;
}

void Parser::blockStatement(Stmt &s) {
  s.kind = SKind::Block;
  s.block = block(false);
  endStatement();
}

void Parser::loopStatement(Stmt &s) {
  advance();
  s.kind = SKind::Loop;
  loopBody(s);
}

void Parser::whileStatement(Stmt &s) {
  advance();
  s.kind = SKind::While;
  s.value = expr();
  needKw("LOOP", "loop and or");
  loopBody(s);
}

void Parser::exitStatement(Stmt &s) {
  advance();
  s.kind = SKind::Exit;
  if (isIdent() && !isKw("WHEN"))
    s.label = ident("<an identifier>");
  if (acceptKw("WHEN"))
    s.value = expr();
  endStatement(s.value ? kExpAfterExpr : "; <an identifier> when");
}

// FORALL i IN low .. high dml: the statement once per index, as one statement (SQL%ROWCOUNT
// counts all its rows).
void Parser::forallStatement(Stmt &s) {
  advance();
  s.kind = SKind::ForNum;
  s.forall = true;
  s.loopVarPos = cur().pos;
  s.loopVar = ident("<an identifier>");
  needKw("IN", "in");
  if ((isKw("INDICES") || isKw("VALUES")) && peek().is("OF")) {
    // INDICES OF c [BETWEEN low AND high]: the indexes c has; VALUES OF c: the values it holds.
    s.bounds = isKw("INDICES") ? Stmt::IndicesOf : Stmt::ValuesOf;
    advance();
    advance();
    s.value = name();
    if (s.bounds == Stmt::IndicesOf && acceptKw("BETWEEN")) {
      s.low = additive();
      needKw("AND", "and");
      s.high = additive();
    }
  } else {
    s.low = expr();
    needOp("..", "..");
    s.high = expr();
  }
  if (acceptKw("SAVE")) {
    needKw("EXCEPTIONS", "exceptions");
    s.saveExceptions = true;
  }
  if (!isKw("INSERT") && !isKw("UPDATE") && !isKw("DELETE"))
    fail("insert update delete");
  s.body.push_back(statement());
}

// EXECUTE IMMEDIATE text [INTO target, ...] [USING [IN] value, ...];
void Parser::dynamicStatement(Stmt &s) {
  advance();
  needKw("IMMEDIATE", "immediate");
  s.kind = SKind::Dynamic;
  s.value = expr();
  if (isKw("BULK")) {
    advance();
    needKw("COLLECT", "collect");
    s.bulk = true;
    needKw("INTO", "into");
    do
      s.into.push_back(intoTarget());
    while (acceptOp(","));
  } else if (acceptKw("INTO")) {
    do
      s.into.push_back(intoTarget());
    while (acceptOp(","));
  }
  usingClause(s);
  // RETURNING INTO: the statement's last binds, written back as OUT arguments.
  if (acceptKw("RETURNING") || acceptKw("RETURN")) {
    needKw("INTO", "into");
    do {
      s.args.push_back(intoTarget());
      s.argModes.push_back(Param::Out);
    } while (acceptOp(","));
  }
  endStatement(kExpAfterExpr);
}

// PIPE ROW (value);
void Parser::pipeStatement(Stmt &s) {
  advance();
  needKw("ROW", "row");
  s.kind = SKind::PipeRow;
  needOp("(", "(");
  s.value = expr();
  needOp(")", ")");
  endStatement(kExpAfterExpr);
}

// USING [IN | OUT | IN OUT] arg, ...
void Parser::usingClause(Stmt &s) {
  if (!acceptKw("USING"))
    return;
  do {
    Param::Mode mode = Param::In;
    if (acceptKw("IN"))
      mode = acceptKw("OUT") ? Param::InOut : Param::In;
    else if (acceptKw("OUT"))
      mode = Param::Out;
    s.args.push_back(mode == Param::In ? expr() : intoTarget());
    s.argModes.push_back(static_cast<unsigned char>(mode));
  } while (acceptOp(","));
}

// CONTINUE [label] [WHEN condition]: the next round of the (labelled) loop.
void Parser::continueStatement(Stmt &s) {
  exitStatement(s);
  s.kind = SKind::Continue;
}

// CASE [selector] WHEN ... THEN statements ... [ELSE statements] END CASE [label];
void Parser::caseStatement(Stmt &s) {
  advance();
  s.kind = SKind::Case;
  if (!isKw("WHEN"))
    s.value = expr();
  if (!isKw("WHEN"))
    fail("when");
  while (acceptKw("WHEN")) {
    ElsIf b;
    b.cond = expr();
    needKw("THEN", "then and or");
    b.body = statements();
    s.branches.push_back(std::move(b));
  }
  if (acceptKw("ELSE")) {
    s.hasElse = true;
    s.elseBody = statements();
  }
  needKw("END", "else end when");
  needKw("CASE", "case");
  if (isIdent())
    ident("<an identifier>"); // END CASE label
  endStatement();
}

// CASE [selector] WHEN ... THEN value ... [ELSE value] END in an expression.
ExprPtr Parser::caseExpr() {
  auto e = std::make_unique<Expr>();
  e->kind = EKind::Case;
  e->pos = cur().pos;
  advance();
  if (!isKw("WHEN")) {
    e->caseSelector = true;
    e->operands.push_back(expr());
  }
  if (!isKw("WHEN"))
    fail("when");
  while (acceptKw("WHEN")) {
    e->operands.push_back(expr());
    needKw("THEN", "then and or");
    e->operands.push_back(expr());
  }
  if (acceptKw("ELSE")) {
    e->caseElse = true;
    e->operands.push_back(expr());
  }
  needKw("END", "else end when");
  return grown(std::move(e));
}

void Parser::gotoStatement(Stmt &s) {
  advance();
  s.kind = SKind::Goto;
  s.value = nullptr;
  s.label = ident("<an identifier> <a double-quoted delimited-identifier>");
  endStatement();
}

void Parser::nullStatement(Stmt &s) {
  advance();
  s.kind = SKind::Null;
  endStatement();
}

void Parser::returnStatement(Stmt &s) {
  advance();
  s.kind = SKind::Return;
  if (!isOp(";"))
    s.value = expr();
  endStatement(kExpAfterExpr);
}

void Parser::raiseStatement(Stmt &s) {
  advance();
  s.kind = SKind::Raise;
  if (!isOp(";"))
    s.value = name();
  endStatement();
}

void Parser::selectStatement(Stmt &s) {
  s.kind = SKind::Sql;
  s.sql = sqlSpan(&s.into, StmtKind::Select);
}

void Parser::dmlStatement(Stmt &s) {
  const std::string &w = cur().text;
  s.kind = SKind::Sql;
  s.sql = sqlSpan(&s.into, w == "INSERT"   ? StmtKind::Insert
                           : w == "UPDATE" ? StmtKind::Update
                           : w == "DELETE" ? StmtKind::Delete
                           : w == "MERGE"  ? StmtKind::Multi
                                           : StmtKind::NoOp);
}

void Parser::commitStatement(Stmt &s) {
  advance();
  acceptKw("WORK");
  s.kind = SKind::Commit;
  endStatement();
}

void Parser::savepointStatement(Stmt &s) {
  advance();
  s.kind = SKind::Savepoint;
  s.savepoint = ident("<an identifier>");
  endStatement();
}

void Parser::closeStatement(Stmt &s) {
  advance();
  s.kind = SKind::Close;
  s.target = name();
  endStatement();
}

void Parser::ifStatement(Stmt &s) {
  advance();
  s.kind = SKind::If;
  ElsIf first;
  first.cond = expr();
  needKw("THEN", "then and or");
  first.body = statements();
  s.branches.push_back(std::move(first));
  while (true) {
    if (acceptKw("ELSIF")) {
      ElsIf b;
      b.cond = expr();
      needKw("THEN", "then and or");
      b.body = statements();
      s.branches.push_back(std::move(b));
    } else if (acceptKw("ELSE")) {
      s.elseBody = statements();
      needKw("END", "end");
      break;
    } else {
      needKw("END", "else elsif end");
      break;
    }
  }
  needKw("IF", "if");
  endStatement();
}

void Parser::forStatement(Stmt &s) {
  advance();
  s.loopVarPos = cur().pos;
  s.loopVar = ident("<an identifier>");
  needKw("IN", "in");
  if (acceptKw("REVERSE"))
    s.reverse = true;
  if (isOp("(") && peek().is("SELECT")) {
    advance();
    s.kind = SKind::ForCursor;
    s.inlineCursor = std::make_unique<CursorDecl>();
    s.inlineCursor->pos = cur().pos;
    s.inlineCursor->query = sqlSpanParen();
    needKw("LOOP", "loop");
    loopBody(s);
    return;
  }
  ExprPtr low = expr();
  if (acceptOp("..")) {
    s.kind = SKind::ForNum;
    s.low = std::move(low);
    s.high = expr();
  } else {
    s.kind = SKind::ForCursor;
    s.target = std::move(low);
  }
  needKw("LOOP", s.kind == SKind::ForNum ? "loop" : ".. loop");
  loopBody(s);
}

void Parser::rollbackStatement(Stmt &s) {
  advance();
  acceptKw("WORK");
  s.kind = SKind::Rollback;
  if (acceptKw("TO")) {
    acceptKw("SAVEPOINT");
    s.savepoint = ident("<an identifier>");
  }
  endStatement();
}

void Parser::openStatement(Stmt &s) {
  advance();
  s.kind = SKind::Open;
  // OPEN :c FOR ...: a cursor variable of the caller (an anonymous block's bind).
  s.target = cur().kind == Tok::Bind ? primary() : name();
  if (s.target->hasArgs) {
    // OPEN c(a, b): the arguments belong to the cursor.
    for (Arg &a : s.target->args)
      s.args.push_back(std::move(a.value));
    s.target->args.clear();
    s.target->hasArgs = false;
  }
  if (acceptKw("FOR")) {
    s.kind = SKind::OpenFor;
    if (FModern && !isKw("SELECT") && !isKw("WITH")) {
      // OPEN c FOR 'text' [USING ...]: a query known when it runs.
      s.value = expr();
      usingClause(s);
      endStatement(kExpAfterExpr);
      return;
    }
    if (!isKw("SELECT") && !(FModern && isKw("WITH")))
      fail("select");
    s.sql = sqlSpan(nullptr, StmtKind::Select);
    return;
  }
  endStatement();
}

void Parser::fetchStatement(Stmt &s) {
  advance();
  s.kind = SKind::Fetch;
  s.target = name();
  if (FModern && acceptKw("BULK")) {
    needKw("COLLECT", "collect");
    s.bulk = true;
  }
  needKw("INTO", ". into");
  do
    s.into.push_back(intoTarget());
  while (acceptOp(","));
  if (s.bulk && acceptKw("LIMIT"))
    s.low = expr();
  endStatement();
}

// An assignment or a procedure call.
void Parser::assignOrCall(Stmt &s, const Token &t) {
  ExprPtr target = t.kind == Tok::Bind ? primary() : name();
  if (isOp(":=")) {
    advance();
    s.kind = SKind::Assign;
    s.target = std::move(target);
    s.value = expr();
    endStatement(kExpAfterExpr);
    return;
  }
  s.kind = SKind::Call;
  s.target = std::move(target);
  if (!isOp(";") && !(cur().kind == Tok::Ident))
    fail(kExpAfterName);
  if (cur().kind == Tok::Ident && !isOp(";")) {
    expected(kExpAfterName, ";");
    return;
  }
  advance();
}

std::unique_ptr<SqlStmt> Parser::sqlSpanParen() {
  // (SELECT ...) of a cursor FOR loop: the span inside the parentheses.
  auto s = std::make_unique<SqlStmt>();
  s->kind = StmtKind::Select;
  s->pos = cur().pos;
  int depth = 0;
  while (!atEnd()) {
    if (isOp("("))
      ++depth;
    else if (isOp(")")) {
      if (depth == 0)
        break;
      --depth;
    } else if (isOp(";"))
      fail(")");
    s->end = cur().end;
    advance();
  }
  if (atEnd())
    fail(")");
  s->text = FText.substr(static_cast<size_t>(s->pos), static_cast<size_t>(s->end - s->pos));
  advance();
  return s;
}

void Parser::loopBody(Stmt &s) {
  s.body = statements();
  needKw("END", "end");
  needKw("LOOP", "loop");
  if (isIdent())
    advance(); // END LOOP label
  endStatement();
}

std::vector<StmtPtr> Parser::statements() {
  std::vector<StmtPtr> out;
  bool attempted = false;
  while (!atEnd() && !isStmtEnd(cur())) {
    size_t from = FPos;
    attempted = true;
    try {
      out.push_back(statement());
    } catch (const SyntaxAbort &) {
      resync(from);
    }
    if (static_cast<int>(FErrors.size()) >= kMaxCompileErrors)
      throw SyntaxAbort{};
  }
  if (!attempted) {
    // Oracle wants at least one statement.
    expected(kExpStatement);
  }
  return out;
}

void Parser::params(std::vector<Param> &out) {
  if (!acceptOp("("))
    return;
  do {
    Param p;
    p.pos = cur().pos;
    p.name = ident("<an identifier> <a double-quoted delimited-identifier> current");
    if (acceptKw("IN")) {
      p.mode = acceptKw("OUT") ? Param::InOut : Param::In;
    } else if (acceptKw("OUT")) {
      p.mode = Param::Out;
    }
    // NOCOPY only allows passing by reference: a copy in and out is as good.
    if (FModern && p.mode != Param::In)
      acceptKw("NOCOPY");
    p.spec = typeSpec(true);
    if (isOp("(")) {
      // Substituted ":=": read "(10)" as the default, as Oracle does.
      p.defaultValue = expr();
    } else if (acceptOp(":=") || acceptKw("DEFAULT")) {
      p.defaultValue = expr();
    }
    out.push_back(std::move(p));
  } while (acceptOp(","));
  needOp(")", kExpParamType);
}

// What later releases write between a unit's header and IS: AUTHID CURRENT_USER | DEFINER,
// DETERMINISTIC, RESULT_CACHE [RELIES_ON (...)], PARALLEL_ENABLE [(...)]. Accepted and read past:
// units here always run with their owner's rights, and nothing is cached or run in parallel.
void Parser::unitOptions() {
  FPipelined = false;
  while (FModern) {
    if (acceptKw("PIPELINED")) {
      FPipelined = true;
      if (acceptKw("USING")) // an interface implementation type: not kept
        ident("<an identifier>");
    } else if (acceptKw("AUTHID")) {
      if (!acceptKw("CURRENT_USER"))
        needKw("DEFINER", "current_user definer");
    } else if (acceptKw("DETERMINISTIC")) {
    } else if (acceptKw("RESULT_CACHE") || acceptKw("PARALLEL_ENABLE")) {
      acceptKw("RELIES_ON");
      if (isOp("(")) {
        int depth = 0;
        do {
          if (isOp("("))
            ++depth;
          else if (isOp(")"))
            --depth;
          advance();
        } while (depth > 0 && !atEnd());
      }
    } else {
      return;
    }
  }
}

std::unique_ptr<Subprogram> Parser::subprogram(bool inSpec, bool stored) {
  DepthGuard g(*this);
  auto sp = std::make_unique<Subprogram>();
  sp->start = cur().pos;
  sp->isFunction = isKw("FUNCTION");
  advance();
  sp->pos = cur().pos;
  sp->name = ident("<an identifier> <a double-quoted delimited-identifier>");
  if (stored && acceptOp(".")) {
    sp->pos = cur().pos;
    sp->name = ident("<an identifier> <a double-quoted delimited-identifier>");
  }
  params(sp->params);
  if (sp->isFunction) {
    needKw("RETURN", "( return");
    sp->returnSpec = typeSpec(true);
  }
  unitOptions();
  sp->pipelined = sp->isFunction && FPipelined;
  if (acceptOp(";"))
    return sp;
  if (!acceptKw("IS") && !acceptKw("AS"))
    fail(kExpIsAs);
  (void)inSpec;
  sp->body = blockAfterIs(sp->name);
  endStatement();
  return sp;
}

void Parser::declarations(std::vector<Decl> &out, bool packageLevel) {
  while (!atEnd() && !isKw("BEGIN") && !isKw("END")) {
    size_t from = FPos;
    try {
      Decl d;
      d.pos = cur().pos;
      if (isKw("PROCEDURE") || isKw("FUNCTION")) {
        d.kind = Decl::Sub;
        d.sub = subprogram(packageLevel);
      } else if (acceptKw("TYPE")) {
        d.kind = Decl::Type;
        d.type = typeDecl();
      } else if (acceptKw("SUBTYPE")) {
        // SUBTYPE s IS t: a variable-less alias; kept as a record-less type of one field.
        d.kind = Decl::Type;
        d.type = std::make_unique<TypeDecl>();
        d.type->pos = cur().pos;
        d.type->name = ident("<an identifier>");
        needKw("IS", "is");
        d.type->kind = TypeDecl::Table;
        d.type->element = typeSpec(false);
        d.type->kind = TypeDecl::Record;
        d.type->fields.clear();
        RecordField f;
        f.name = "";
        f.spec = d.type->element;
        d.type->fields.push_back(std::move(f));
        endStatement();
      } else if (acceptKw("CURSOR")) {
        d.kind = Decl::Cursor;
        d.cursor = cursorDecl();
      } else if (acceptKw("PRAGMA")) {
        d.kind = Decl::Pragma;
        d.pragmaName = ident("<an identifier>");
        if (d.pragmaName == "EXCEPTION_INIT") {
          needOp("(", "(");
          d.pragmaTargetPos = cur().pos;
          d.pragmaTarget = ident("<an identifier>");
          needOp(",", ",");
          bool neg = acceptOp("-");
          if (cur().kind != Tok::Number)
            fail("<an integer>");
          d.pragmaCode = std::atoll(cur().text.c_str()) * (neg ? -1 : 1);
          advance();
          needOp(")", ")");
        } else {
          // RESTRICT_REFERENCES and the like: nothing to do here.
          if (acceptOp("(")) {
            int depth = 1;
            while (!atEnd() && depth > 0) {
              if (isOp("("))
                ++depth;
              else if (isOp(")"))
                --depth;
              advance();
            }
          }
        }
        endStatement();
      } else if (isIdent()) {
        std::string nm = cur().text;
        advance();
        if (acceptKw("EXCEPTION")) {
          d.kind = Decl::Exception;
          d.exception = std::make_unique<ExceptionDecl>();
          d.exception->name = nm;
          d.exception->pos = d.pos;
          endStatement();
        } else {
          d.kind = Decl::Var;
          d.var = std::make_unique<VarDecl>();
          d.var->name = nm;
          d.var->pos = d.pos;
          if (acceptKw("CONSTANT"))
            d.var->constant = true;
          d.var->spec = typeSpec(false);
          if (acceptKw("NOT")) {
            needKw("NULL", "null");
            d.var->notNull = true;
          }
          if (acceptOp(":=") || acceptKw("DEFAULT"))
            d.var->init = expr();
          else if (d.var->constant && !isOp(";"))
            fail(":="); // a constant without any value is the binder's PLS-00322
          endStatement();
        }
      } else {
        fail(kExpDeclaration);
      }
      out.push_back(std::move(d));
    } catch (const SyntaxAbort &) {
      resync(from);
      if (isKw("EXCEPTION") || isKw("ELSE") || isKw("ELSIF"))
        advance();
    }
    if (static_cast<int>(FErrors.size()) >= kMaxCompileErrors)
      throw SyntaxAbort{};
  }
}

std::unique_ptr<TypeDecl> Parser::typeDecl(bool schemaLevel) {
  auto t = std::make_unique<TypeDecl>();
  t->pos = cur().pos;
  t->name = ident("<an identifier>");
  if (schemaLevel) {
    // CREATE TYPE t [FORCE] AS | IS TABLE OF x / VARRAY (n) OF x: the collections only.
    acceptKw("FORCE");
    if (!acceptKw("AS"))
      needKw("IS", "as is");
    if (!isKw("TABLE") && !isKw("VARRAY") && !isKw("VARYING"))
      fail("table varray varying");
  } else {
    needKw("IS", "is");
  }
  if (acceptKw("RECORD")) {
    t->kind = TypeDecl::Record;
    needOp("(", "(");
    do {
      RecordField f;
      f.pos = cur().pos;
      f.name = ident("<an identifier>");
      f.spec = typeSpec(false);
      if (acceptKw("NOT")) {
        needKw("NULL", "null");
        f.notNull = true;
      }
      if (acceptOp(":=") || acceptKw("DEFAULT"))
        f.init = expr();
      t->fields.push_back(std::move(f));
    } while (acceptOp(","));
    needOp(")", ") ,");
  } else if (acceptKw("TABLE")) {
    t->kind = TypeDecl::Table;
    needKw("OF", "of");
    t->element = typeSpec(false);
    if (acceptKw("NOT"))
      needKw("NULL", "null");
    if (FModern && (isOp(";") || (schemaLevel && atEnd()))) {
      t->collection = TypeDecl::Nested;
    } else {
      needKw("INDEX", "index");
      needKw("BY", "by");
      if (!acceptKw("BINARY_INTEGER") && !acceptKw("PLS_INTEGER")) {
        // Later levels also key by text: VARCHAR2(n), VARCHAR(n), STRING(n), LONG, x%TYPE.
        if (!FModern)
          fail("binary_integer");
        t->stringKey = true;
        t->keySpec = typeSpec(false);
      }
    }
  } else if (FModern && (isKw("VARRAY") || (isKw("VARYING") && peek().is("ARRAY")))) {
    t->kind = TypeDecl::Table;
    t->collection = TypeDecl::Varray;
    if (acceptKw("VARYING"))
      needKw("ARRAY", "array");
    else
      advance();
    needOp("(", "(");
    if (cur().kind != Tok::Number)
      fail("<an integer>");
    // No collection holds more elements than a BINARY_INTEGER counts.
    long long limit = std::strtoll(cur().text.c_str(), nullptr, 10);
    t->limit = limit > 2147483647 || cur().text.size() > 12 ? 2147483647 : static_cast<int>(limit);
    advance();
    needOp(")", ")");
    needKw("OF", "of");
    t->element = typeSpec(false);
    if (acceptKw("NOT"))
      needKw("NULL", "null");
  } else if (acceptKw("REF")) {
    t->kind = TypeDecl::RefCursor;
    needKw("CURSOR", "cursor");
    if (acceptKw("RETURN"))
      t->returnSpec = typeSpec(false);
  } else {
    fail("record table ref");
  }
  if (!schemaLevel || !atEnd())
    endStatement();
  return t;
}

std::unique_ptr<CursorDecl> Parser::cursorDecl() {
  auto c = std::make_unique<CursorDecl>();
  c->pos = cur().pos;
  c->name = ident("<an identifier>");
  params(c->params);
  if (acceptKw("RETURN")) {
    c->haveReturn = true;
    c->returnSpec = typeSpec(false);
  }
  if (acceptOp(";"))
    return c;
  needKw("IS", "is return");
  if (!isKw("SELECT"))
    fail("select");
  c->query = sqlSpan(nullptr, StmtKind::Select);
  return c;
}

std::unique_ptr<Block> Parser::blockAfterIs(const std::string &name) {
  auto b = std::make_unique<Block>();
  b->pos = cur().pos;
  declarations(b->decls, false);
  body(*b, name);
  return b;
}

std::unique_ptr<Block> Parser::block(bool topLevel) {
  DepthGuard g(*this);
  auto b = std::make_unique<Block>();
  b->pos = cur().pos;
  (void)topLevel;
  if (acceptKw("DECLARE"))
    declarations(b->decls, false);
  body(*b, "");
  return b;
}

void Parser::body(Block &b, const std::string &name) {
  if (!acceptKw("BEGIN")) {
    fail(atEnd() ? kExpDeclaration
                 : "begin function package pragma procedure subtype type "
                   "use <an identifier> <a double-quoted delimited-identifier> "
                   "form current cursor");
  }
  b.body = statements();
  if (acceptKw("EXCEPTION")) {
    while (isKw("WHEN")) {
      Handler h;
      h.pos = cur().pos;
      advance();
      do {
        h.namePos.push_back(cur().pos);
        if (acceptKw("OTHERS")) {
          h.others = true;
          h.names.push_back({"OTHERS"});
        } else {
          std::vector<std::string> n;
          n.push_back(ident("<an identifier> others"));
          while (acceptOp("."))
            n.push_back(ident("<an identifier>"));
          h.names.push_back(std::move(n));
        }
      } while (acceptKw("OR"));
      needKw("THEN", "then or");
      h.body = statements();
      b.handlers.push_back(std::move(h));
    }
    if (b.handlers.empty())
      fail("when");
  }
  b.endPos = cur().pos;
  if (!acceptKw("END"))
    fail(atEnd() ? kExpStatement : "end");
  if (isIdent() && !isOp(";")) {
    // END name: Oracle checks it matches (PLS-00113) only loosely; accept it.
    (void)name;
    advance();
  }
}

void Parser::trigger(Unit &u) {
  FInTrigger = true;
  TriggerInfo &t = u.trigger;
  int descFrom = cur().pos;
  if (acceptKw("BEFORE"))
    t.before = true;
  else if (acceptKw("AFTER"))
    t.before = false;
  else
    fail("after before instead of");
  do {
    if (acceptKw("INSERT"))
      t.onInsert = true;
    else if (acceptKw("DELETE"))
      t.onDelete = true;
    else if (acceptKw("UPDATE")) {
      t.onUpdate = true;
      if (acceptKw("OF")) {
        do
          t.updateColumns.push_back(ident("<an identifier>"));
        while (acceptOp(","));
      }
    } else
      fail("delete insert update");
  } while (acceptKw("OR"));
  needKw("ON", "on or");
  t.tablePos = cur().pos;
  t.table.push_back(ident("<an identifier>"));
  if (acceptOp("."))
    t.table.push_back(ident("<an identifier>"));
  if (acceptKw("REFERENCING")) {
    while (isKw("NEW") || isKw("OLD")) {
      bool isNew = cur().text == "NEW";
      advance();
      acceptKw("AS");
      std::string n = ident("<an identifier>");
      (isNew ? t.newName : t.oldName) = n;
    }
  }
  if (acceptKw("FOR")) {
    needKw("EACH", "each");
    needKw("ROW", "row");
    t.forEachRow = true;
  }
  int descTo = cur().pos;
  t.description =
      FText.substr(static_cast<size_t>(descFrom), static_cast<size_t>(descTo - descFrom));
  while (!t.description.empty() && std::isspace(static_cast<unsigned char>(t.description.back())))
    t.description.pop_back();
  if (acceptKw("WHEN")) {
    needOp("(", "(");
    int from = cur().pos;
    t.when = expr();
    t.whenText = FText.substr(static_cast<size_t>(from), static_cast<size_t>(cur().pos - from));
    while (!t.whenText.empty() && std::isspace(static_cast<unsigned char>(t.whenText.back())))
      t.whenText.pop_back();
    needOp(")", ")");
  }
  t.bodyStart = cur().pos;
  u.sub = std::make_unique<Subprogram>();
  u.sub->name = u.name;
  u.sub->pos = u.namePos;
  u.sub->body = block(true);
  if (!atEnd())
    endStatement();
}

std::unique_ptr<Subprogram> Parser::method(bool inBody, const std::string &typeName) {
  DepthGuard g(*this);
  auto sp = std::make_unique<Subprogram>();
  sp->start = cur().pos;
  if (isKw("MAP") || isKw("ORDER")) {
    sp->ordering = cur().text[0];
    advance();
  }
  const bool mapOrder = sp->ordering != 0;
  if (acceptKw("STATIC"))
    sp->method = Subprogram::Static;
  else if (acceptKw("CONSTRUCTOR"))
    sp->method = Subprogram::Constructor;
  else if (acceptKw("MEMBER"))
    sp->method = Subprogram::Member;
  else
    fail(mapOrder ? "member" : "member static constructor map order");
  if (sp->method == Subprogram::Constructor || mapOrder)
    sp->isFunction = true;
  if (isKw("FUNCTION"))
    sp->isFunction = true;
  else if (sp->isFunction || !isKw("PROCEDURE"))
    fail(sp->isFunction ? "function" : "function procedure");
  advance();
  sp->pos = cur().pos;
  sp->name = ident("<an identifier> <a double-quoted delimited-identifier>");
  params(sp->params);
  if (sp->isFunction) {
    needKw("RETURN", "( return");
    if (sp->method == Subprogram::Constructor) {
      needKw("SELF", "self");
      needKw("AS", "as");
      needKw("RESULT", "result");
      sp->returnSpec.pos = sp->pos;
      sp->returnSpec.name = {typeName};
    } else {
      sp->returnSpec = typeSpec(true);
    }
  }
  if (sp->method != Subprogram::Static && (sp->params.empty() || sp->params[0].name != "SELF")) {
    Param self;
    self.name = "SELF";
    self.pos = sp->pos;
    self.mode = sp->isFunction && sp->method == Subprogram::Member ? Param::In : Param::InOut;
    self.spec.pos = sp->pos;
    self.spec.name = {typeName};
    sp->params.insert(sp->params.begin(), std::move(self));
  }
  unitOptions();
  if (!inBody)
    return sp;
  if (!acceptKw("IS") && !acceptKw("AS"))
    fail(kExpIsAs);
  sp->body = blockAfterIs(sp->name);
  endStatement();
  return sp;
}

void Parser::objectType(Unit &u) {
  unitOptions();
  advance(); // AS | IS
  advance(); // OBJECT
  Decl d;
  d.kind = Decl::Type;
  d.pos = u.namePos;
  d.type = std::make_unique<TypeDecl>();
  TypeDecl &t = *d.type;
  t.kind = TypeDecl::Record;
  t.object = true;
  t.name = u.name;
  t.pos = u.namePos;
  std::vector<Decl> methods;
  needOp("(", "(");
  do {
    if (isKw("MEMBER") || isKw("STATIC") || isKw("CONSTRUCTOR") || isKw("MAP") || isKw("ORDER")) {
      Decl m;
      m.kind = Decl::Sub;
      m.pos = cur().pos;
      m.sub = method(false, u.name);
      methods.push_back(std::move(m));
      continue;
    }
    if (!methods.empty())
      fail("member static constructor map order");
    RecordField f;
    f.pos = cur().pos;
    f.name = ident("<an identifier> <a double-quoted delimited-identifier>");
    f.spec = typeSpec(false);
    t.fields.push_back(std::move(f));
  } while (acceptOp(","));
  needOp(")", ") ,");
  // [NOT] FINAL, [NOT] INSTANTIABLE, [NOT] PERSISTABLE: accepted; nothing derives from a type
  // here, and every type is instantiable through its constructor.
  while (!atEnd() && !isOp(";")) {
    bool no = acceptKw("NOT");
    if (acceptKw("FINAL"))
      t.notFinal = no;
    else if (acceptKw("INSTANTIABLE"))
      t.notInstantiable = no;
    else if (!acceptKw("PERSISTABLE"))
      fail("final instantiable not ;");
  }
  acceptOp(";");
  u.decls.push_back(std::move(d));
  for (Decl &m : methods)
    u.decls.push_back(std::move(m));
}

void Parser::typeBody(Unit &u) {
  if (!acceptKw("IS") && !acceptKw("AS"))
    fail("is as");
  while (!atEnd() && !isKw("END")) {
    size_t from = FPos;
    try {
      Decl m;
      m.kind = Decl::Sub;
      m.pos = cur().pos;
      m.sub = method(true, u.name);
      u.decls.push_back(std::move(m));
    } catch (const SyntaxAbort &) {
      resync(from);
    }
    if (static_cast<int>(FErrors.size()) >= kMaxCompileErrors)
      throw SyntaxAbort{};
  }
  needKw("END", "end member static constructor map order");
  if (isIdent())
    advance();
  endStatement();
}

std::unique_ptr<Unit> Parser::unit(bool anonymous) {
  auto u = std::make_unique<Unit>();
  try {
    if (anonymous) {
      u->kind = UnitKind::Anonymous;
      std::string label;
      while (isOp("<<")) {
        advance();
        label = ident("<an identifier>");
        needOp(">>", ">>");
      }
      if (!isKw("DECLARE") && !isKw("BEGIN"))
        fail("begin declare");
      u->init = block(true);
      u->init->label = label;
      if (!atEnd())
        endStatement();
      if (!atEnd())
        fail("end-of-file");
      return u;
    }
    std::string kw = cur().text;
    advance();
    if ((kw == "PACKAGE" || kw == "TYPE") && acceptKw("BODY"))
      kw += " BODY";
    u->kind = kw == "PROCEDURE"   ? UnitKind::Procedure
              : kw == "FUNCTION"  ? UnitKind::Function
              : kw == "PACKAGE"   ? UnitKind::Package
              : kw == "TRIGGER"   ? UnitKind::Trigger
              : kw == "TYPE"      ? UnitKind::Type
              : kw == "TYPE BODY" ? UnitKind::TypeBody
                                  : UnitKind::PackageBody;
    u->namePos = cur().pos;
    std::string n = ident("<an identifier> <a double-quoted delimited-identifier>");
    if (acceptOp(".")) {
      u->owner = n;
      u->namePos = cur().pos;
      n = ident("<an identifier> <a double-quoted delimited-identifier>");
    }
    u->name = n;
    FUnitName = n;
    FUnitType = kw;
    if (u->kind == UnitKind::Procedure || u->kind == UnitKind::Function) {
      FPos = 0;
      u->sub = subprogram(false, true);
      u->sub->name = u->name;
      u->sub->pos = u->namePos;
      if (!u->sub->body && !atEnd())
        fail("end-of-file");
    } else if (u->kind == UnitKind::Trigger) {
      trigger(*u);
    } else if (u->kind == UnitKind::TypeBody) {
      typeBody(*u);
    } else if (u->kind == UnitKind::Type && [&] {
                 size_t at = FPos;
                 unitOptions();
                 bool object = (isKw("AS") || isKw("IS")) && peek().is("OBJECT");
                 FPos = at;
                 return object;
               }()) {
      objectType(*u);
    } else if (u->kind == UnitKind::Type) {
      FPos = 0;
      while (!atEnd() && cur().pos < u->namePos)
        advance();
      Decl d;
      d.kind = Decl::Type;
      d.pos = u->namePos;
      d.type = typeDecl(true);
      d.type->name = u->name;
      d.type->pos = u->namePos;
      u->decls.push_back(std::move(d));
    } else {
      unitOptions();
      if (!acceptKw("IS") && !acceptKw("AS"))
        fail("is as");
      declarations(u->decls, true);
      if (u->kind == UnitKind::PackageBody && acceptKw("BEGIN")) {
        u->init = std::make_unique<Block>();
        u->init->pos = cur().pos;
        u->init->body = statements();
        if (acceptKw("EXCEPTION")) {
          FPos -= 1;
          // Handlers of an initialisation section: parse as a block tail.
          Block tmp;
          advance();
          while (isKw("WHEN")) {
            Handler h;
            h.pos = cur().pos;
            advance();
            do {
              h.namePos.push_back(cur().pos);
              if (acceptKw("OTHERS")) {
                h.others = true;
                h.names.push_back({"OTHERS"});
              } else {
                h.names.push_back({ident("<an identifier> others")});
              }
            } while (acceptKw("OR"));
            needKw("THEN", "then or");
            h.body = statements();
            u->init->handlers.push_back(std::move(h));
          }
        }
      }
      if (!acceptKw("END"))
        fail(u->kind == UnitKind::Package ? "end function package pragma procedure subtype type "
                                            "use <an identifier> <a double-quoted "
                                            "delimited-identifier> form current cursor"
                                          : kExpDeclaration);
      if (isIdent())
        advance();
      endStatement();
    }
    if (!atEnd() && static_cast<int>(FErrors.size()) == 0)
      fail("end-of-file");
  } catch (const SyntaxAbort &) {
  } catch (const ProgramTooLarge &) {
  }
  return u;
}

} // namespace

bool isPlsqlReserved(const std::string &word) {
  static const std::set<std::string> words(std::begin(kReserved), std::end(kReserved));
  return words.count(word) > 0;
}

std::unique_ptr<Unit> parseUnit(const std::string &text, bool anonymous,
                                std::vector<CompileError> &errors, bool modern) {
  if (modern) {
    std::string chosen = preprocess(text, errors);
    if (chosen != text) {
      Parser p(chosen, errors, modern);
      return p.unit(anonymous);
    }
  }
  Parser p(text, errors, modern);
  return p.unit(anonymous);
}

} // namespace localdb::plsql
