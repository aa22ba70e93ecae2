// The SQL parser: recursive descent over the token list, one error route carrying the offset.
#include "localdb/sql/SqlParser.h"

#include <deque>
#include <functional>
#include <set>

#include "localdb/sql/OraDate.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb {

namespace {

const std::set<std::string> kReserved = {
    "ACCESS",    "ADD",        "ALL",        "ALTER",      "AND",      "ANY",        "AS",
    "ASC",       "AUDIT",      "BETWEEN",    "BY",         "CHAR",     "CHECK",      "CLUSTER",
    "COLUMN",    "COMMENT",    "COMPRESS",   "CONNECT",    "CREATE",   "CURRENT",    "DATE",
    "DECIMAL",   "DEFAULT",    "DELETE",     "DESC",       "DISTINCT", "DROP",       "ELSE",
    "EXCLUSIVE", "EXISTS",     "FILE",       "FLOAT",      "FOR",      "FROM",       "GRANT",
    "GROUP",     "HAVING",     "IDENTIFIED", "IMMEDIATE",  "IN",       "INCREMENT",  "INDEX",
    "INITIAL",   "INSERT",     "INTEGER",    "INTERSECT",  "INTO",     "IS",         "LEVEL",
    "LIKE",      "LOCK",       "LONG",       "MAXEXTENTS", "MINUS",    "MODE",       "MODIFY",
    "NOAUDIT",   "NOCOMPRESS", "NOT",        "NOWAIT",     "NULL",     "NUMBER",     "OF",
    "OFFLINE",   "ON",         "ONLINE",     "OPTION",     "OR",       "ORDER",      "PCTFREE",
    "PRIOR",     "PRIVILEGES", "PUBLIC",     "RAW",        "RENAME",   "RESOURCE",   "REVOKE",
    "ROW",       "ROWID",      "ROWLABEL",   "ROWNUM",     "ROWS",     "SELECT",     "SESSION",
    "SET",       "SHARE",      "SIZE",       "SMALLINT",   "START",    "SUCCESSFUL", "SYNONYM",
    "SYSDATE",   "TABLE",      "THEN",       "TO",         "TRIGGER",  "UID",        "UNION",
    "UNIQUE",    "UPDATE",     "USER",       "VALIDATE",   "VALUES",   "VARCHAR",    "VARCHAR2",
    "VIEW",      "WHENEVER",   "WHERE",      "WITH"};

class Parser {
public:
  Parser(const std::string &text, bool modern = true)
      : FText(text), FLexer(text, false, modern), FModern(modern) {}

  std::unique_ptr<Statement> statement();
  std::unique_ptr<Select> queryOnly() {
    auto q = select();
    expectEnd();
    return q;
  }
  ExprPtr conditionOnly() {
    auto e = condition();
    expectEnd();
    return e;
  }
  // Reading a statement's own text (not a view's or a default's): its literal tokens made values
  // are tagged and their offsets kept.
  bool FOwnText = false;
  std::vector<int> FLiterals;

private:
  const std::string &FText;
  // Tokens as far as the parser has looked: a statement refused early (a limit, an error) costs
  // no more than what was read of it.
  mutable Lexer FLexer;
  bool FModern;
  mutable std::deque<Token> FTokens; // a deque: references to read tokens stay valid
  size_t FPos = 0;
  int FDepth = 0;
  int FTallest = 0; // the tallest expression of the query being read, its subqueries included

  // ---- the error route ----
  [[noreturn]] void error(int code, const Token &t) { throw oraError(code, t.pos); }
  [[noreturn]] void error(int code) { error(code, cur()); }

  struct DepthGuard {
    Parser &p;
    explicit DepthGuard(Parser &parser) : p(parser) {
      if (++p.FDepth > kMaxParseDepth)
        throw oraErrorText(3001,
                           "unimplemented feature (statement nested more than " +
                               std::to_string(kMaxParseDepth) + " levels deep)",
                           p.cur().pos);
    }
    ~DepthGuard() { --p.FDepth; }
  };

  // ---- token helpers ----
  const Token &tok(size_t i) const {
    while (FTokens.size() <= i && (FTokens.empty() || FTokens.back().kind != Tok::End))
      FTokens.push_back(FLexer.next());
    return FTokens[std::min(i, FTokens.size() - 1)];
  }
  const Token &cur() const { return tok(FPos); }
  const Token &peek(size_t k = 1) const { return tok(FPos + k); }
  bool atEnd() const { return cur().kind == Tok::End; }
  bool is(const char *s) const { return cur().is(s); }
  bool isKw(const char *s) const { return cur().kind == Tok::Ident && cur().text == s; }
  bool accept(const char *s) {
    if (is(s)) {
      ++FPos;
      return true;
    }
    return false;
  }
  void expect(const char *s, int code) {
    if (!accept(s))
      error(code);
  }
  void expectEnd() {
    if (!atEnd())
      error(is(";") ? 911 : 933);
  }
  std::string textBetween(int from, int to) const {
    return FText.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
  }
  int prevEnd() const { return FPos ? tok(FPos - 1).end : 0; }

  bool isName() const {
    return cur().kind == Tok::QuotedIdent || (cur().kind == Tok::Ident && !isReserved(cur().text));
  }
  // A name that may also be a reserved word (after a dot, in DDL options).
  std::string name(int code = 931) {
    if (cur().kind == Tok::QuotedIdent || cur().kind == Tok::Ident) {
      if (cur().kind == Tok::Ident && isReserved(cur().text))
        error(code);
      if (cur().text.size() > 30)
        error(972);
      return tok(FPos++).text;
    }
    error(code);
  }
  std::vector<std::string> qualifiedName(int code = 903) {
    std::vector<std::string> parts{name(code)};
    while (is(".") && (peek().kind == Tok::Ident || peek().kind == Tok::QuotedIdent)) {
      ++FPos;
      parts.push_back(name(code));
    }
    if (parts.size() > 2)
      error(933, tok(FPos - 1));
    if (accept("@"))
      error(3001, tok(FPos - 1)); // database links
    return parts;
  }
  std::vector<std::string> nameList(int code = 904) {
    std::vector<std::string> out;
    expect("(", 906);
    do
      out.push_back(name(code));
    while (accept(","));
    expect(")", 907);
    return out;
  }
  long integer() {
    bool neg = accept("-");
    if (cur().kind != Tok::Number)
      error(936);
    long v = std::atol(cur().text.c_str());
    ++FPos;
    return neg ? -v : v;
  }
  double numberValue() {
    bool neg = accept("-");
    accept("+");
    if (cur().kind != Tok::Number)
      error(936);
    double v = std::strtod(cur().text.c_str(), nullptr);
    ++FPos;
    return neg ? -v : v;
  }

  // ---- queries ----
  std::unique_ptr<Select> select();
  std::unique_ptr<Select> selectTerm();
  std::unique_ptr<QueryBlock> queryBlock();
  void fromList(QueryBlock &b);
  void groupByClause(QueryBlock &b);
  // Nothing here refreshes a copy of a query's rows: a script that makes one learns so plainly
  // rather than getting a table that silently goes stale.
  [[noreturn]] void refuseMaterializedViews() {
    throw oraErrorText(3001, "unimplemented feature (materialized views)", cur().pos);
  }
  void returningClause(Returning &r);
  void virtualColumn(ColumnDef &d);
  // At "(": a parenthesised list of grouping columns, not an expression that starts with one.
  bool compositeFollows() const {
    int depth = 0;
    for (size_t i = FPos;; ++i) {
      const Token &t = tok(i);
      if (t.kind == Tok::End)
        return false;
      if (t.is("("))
        ++depth;
      else if (t.is(")") && --depth == 0) {
        const Token &next = tok(i + 1);
        return i == FPos + 1 || next.is(",") || next.is(")") || next.kind == Tok::End ||
               (next.kind == Tok::Ident && isReserved(next.text));
      } else if (t.is(",") && depth == 1)
        return true;
    }
  }
  // A query may start with WITH at the later language level.
  bool queryStarts() const { return isKw("SELECT") || (FModern && isKw("WITH")); }
  struct WithQuery {
    std::string name;
    std::vector<std::string> columns;
    size_t start = 0;   // the token after its "("
    size_t visible = 0; // the WITH names before it, which it may read
    int pos = 0;
  };
  std::vector<WithQuery> FWith; // the WITH names in scope, innermost last
  void withClause();
  std::unique_ptr<Select> withQuery(const WithQuery &w);
  void rowLimit(Select &s);
  void nullsOrder(OrderItem &o);
  std::vector<OrderItem> orderItems();
  std::unique_ptr<WindowSpec> window();
  TableRef tableRef();
  bool joinFollows() const;
  void join(QueryBlock &b);
  void orderBy(Select &s);

  // ---- expressions ----
  ExprPtr condition();
  ExprPtr andCondition();
  ExprPtr notCondition();
  ExprPtr predicate();
  ExprPtr expr();
  ExprPtr term();
  ExprPtr factor();
  ExprPtr primary();
  ExprPtr caseExpr();
  ExprPtr trimOrExtract();
  ExprPtr inList(int pos);
  // A node whose children are in place: its height, bounded so later passes cannot overflow.
  // A subquery counts with its own height: the binder and the emitter walk into it from here.
  ExprPtr &grown(ExprPtr &e) {
    int h = e->query ? e->query->height : 0;
    for (auto &a : e->args)
      h = std::max(h, a->height);
    e->height = h + 1;
    checkHeight(e->height, e->pos);
    FTallest = std::max(FTallest, e->height);
    return e;
  }
  void checkHeight(int height, int pos) {
    if (height > kMaxExprHeight)
      throw oraErrorText(3001,
                         "unimplemented feature (expression more than " +
                             std::to_string(kMaxExprHeight) + " levels deep)",
                         pos);
  }
  // A literal token of the statement's text made a value.
  void ownLiteral(Expr &e) {
    if (!FOwnText)
      return;
    e.literal = true;
    FLiterals.push_back(e.pos);
  }
  ExprPtr make(ExprKind k, int pos) {
    auto e = std::make_unique<Expr>();
    e->kind = k;
    e->pos = pos;
    return e;
  }

  // ---- statements ----
  std::unique_ptr<Statement> insert();
  std::unique_ptr<Statement> update();
  std::unique_ptr<Statement> deleteStmt();
  std::unique_ptr<Statement> create();
  std::unique_ptr<Statement> createTable(int pos);
  std::unique_ptr<Statement> createView(int pos, bool orReplace);
  std::unique_ptr<Statement> createIndex(int pos, bool unique);
  std::unique_ptr<Statement> sequence(int pos, StmtKind kind);
  std::unique_ptr<Statement> multiTableInsert();
  std::unique_ptr<Statement> merge();
  void sequenceOptions(SequenceOptions &o, StmtKind kind);
  void identityClause(ColumnDef &d);
  std::unique_ptr<Statement> drop();
  std::unique_ptr<Statement> alter();
  std::unique_ptr<Statement> alterTable(int pos);
  std::unique_ptr<Statement> grant(bool isGrant);
  TableRef dmlTable();
  ColumnDef columnDef(bool requireType);
  bool constraintClause(ConstraintClause &c, bool column, const std::string &columnName);
  void constraintState(ConstraintClause &c);
  bool skipLaterPhysicalClause();
  ColumnInfo dataType();
  void datetimeType(const std::string &w, ColumnInfo &c);
  int datetimePrecision(int deflt);
  IntervalField intervalField(int code);
  ExprPtr datetimeLiteral(const std::string &w, int pos);
  void skipStorage();
  void skipBalanced();
};

// ---------------------------------------------------------------- queries

// WITH name [(columns)] AS (query), ...: each name is a query the rest of the statement reads as
// an inline view; it is read again wherever it is named, so each use has a tree of its own.
void Parser::withClause() {
  ++FPos;
  do {
    WithQuery w;
    w.pos = cur().pos;
    w.name = name(903);
    if (accept("(")) {
      do
        w.columns.push_back(name(904));
      while (accept(","));
      expect(")", 907);
    }
    expect("AS", 905);
    expect("(", 906);
    w.start = FPos;
    w.visible = FWith.size();
    select(); // read once for its syntax
    expect(")", 907);
    FWith.push_back(std::move(w));
  } while (accept(","));
  if (!isKw("SELECT"))
    error(928);
}

// The query of a WITH name, read again from its first token with the names it could see.
std::unique_ptr<Select> Parser::withQuery(const WithQuery &w) {
  size_t back = FPos;
  std::vector<WithQuery> later(FWith.begin() + static_cast<long>(w.visible), FWith.end());
  FWith.resize(w.visible);
  FPos = w.start;
  auto q = select();
  FPos = back;
  FWith.insert(FWith.end(), later.begin(), later.end());
  if (!w.columns.empty()) {
    Select *left = q.get();
    while (!left->block)
      left = left->left.get();
    if (left->block->items.size() != w.columns.size())
      throw oraError(32038, w.pos);
    for (size_t i = 0; i < w.columns.size(); ++i)
      left->block->items[i].alias = left->block->items[i].name = w.columns[i];
  }
  return q;
}

std::unique_ptr<Select> Parser::select() {
  DepthGuard g(*this);
  size_t named = FWith.size();
  if (FModern && isKw("WITH"))
    withClause();
  struct PopWith {
    std::vector<WithQuery> &list;
    size_t size;
    ~PopWith() { list.resize(size); }
  } pop{FWith, named};
  int outerTallest = FTallest;
  FTallest = 0;
  auto left = selectTerm();
  int setOps = 0;
  while (isKw("UNION") || isKw("INTERSECT") || isKw("MINUS")) {
    if (++setOps > kMaxSetOperators)
      throw oraErrorText(3001,
                         "unimplemented feature (more than " + std::to_string(kMaxSetOperators) +
                             " set operators)",
                         cur().pos);
    auto s = std::make_unique<Select>();
    s->pos = cur().pos;
    s->setOp = cur().text;
    ++FPos;
    if (s->setOp == "UNION" && accept("ALL"))
      s->setOp = "UNION ALL";
    s->left = std::move(left);
    s->right = selectTerm();
    left = std::move(s);
  }
  if (isKw("ORDER"))
    orderBy(*left);
  if (FModern)
    rowLimit(*left);
  if (isKw("FOR")) {
    ++FPos;
    expect("UPDATE", 905);
    left->forUpdate = true;
    if (accept("OF")) {
      do {
        name(904);
        while (accept("."))
          name(904);
      } while (accept(","));
    }
    accept("NOWAIT");
  }
  // Set operations nest to the left: each is one level more.
  left->height = FTallest + setOps + 1;
  checkHeight(left->height, left->pos);
  FTallest = std::max(outerTallest, left->height);
  return left;
}

// [OFFSET n ROW[S]] [FETCH FIRST|NEXT [n] ROW[S] ONLY]: rows skipped and kept after ORDER BY.
void Parser::rowLimit(Select &s) {
  if (isKw("OFFSET")) {
    ++FPos;
    s.offset = expr();
    if (!accept("ROW"))
      expect("ROWS", 905);
  }
  if (isKw("FETCH")) {
    ++FPos;
    if (!accept("FIRST"))
      expect("NEXT", 905);
    if (isKw("ROW") || isKw("ROWS")) {
      s.fetchFirst = make(ExprKind::Number, cur().pos);
      s.fetchFirst->text = "1";
    } else {
      s.fetchFirst = expr();
    }
    if (isKw("PERCENT"))
      throw oraErrorText(3001, "unimplemented feature (FETCH ... PERCENT)", cur().pos);
    if (!accept("ROW"))
      expect("ROWS", 905);
    if (isKw("WITH"))
      throw oraErrorText(3001, "unimplemented feature (FETCH ... WITH TIES)", cur().pos);
    expect("ONLY", 905);
  }
}

std::unique_ptr<Select> Parser::selectTerm() {
  auto s = std::make_unique<Select>();
  s->pos = cur().pos;
  if (is("(")) {
    ++FPos;
    auto inner = select();
    expect(")", 907);
    return inner;
  }
  if (!isKw("SELECT"))
    error(928);
  s->block = queryBlock();
  return s;
}

void Parser::orderBy(Select &s) { s.orderBy = orderItems(); }

// ORDER BY e [ASC|DESC] [NULLS FIRST|LAST], ... of a query or a window.
std::vector<OrderItem> Parser::orderItems() {
  ++FPos;
  expect("BY", 924);
  std::vector<OrderItem> items;
  do {
    OrderItem o;
    o.pos = cur().pos;
    o.expr = expr();
    if (accept("DESC"))
      o.desc = true;
    else
      accept("ASC");
    nullsOrder(o);
    items.push_back(std::move(o));
  } while (accept(","));
  return items;
}

// NULLS FIRST / NULLS LAST after an ORDER BY term (later language levels).
void Parser::nullsOrder(OrderItem &o) {
  if (!FModern || !isKw("NULLS"))
    return;
  ++FPos;
  if (accept("FIRST"))
    o.nulls = 1;
  else if (accept("LAST"))
    o.nulls = 2;
  else
    error(905);
}

// OVER ([PARTITION BY e, ...] [ORDER BY e [ASC|DESC] [NULLS FIRST|LAST], ...] [frame]).
std::unique_ptr<WindowSpec> Parser::window() {
  ++FPos; // OVER
  expect("(", 906);
  auto w = std::make_unique<WindowSpec>();
  if (accept("PARTITION")) {
    expect("BY", 924);
    do
      w->partition.push_back(expr());
    while (accept(","));
  }
  if (isKw("ORDER"))
    w->order = orderItems();
  if (isKw("ROWS") || isKw("RANGE")) {
    // The frame's words and whole numbers, kept as written: ROWS BETWEEN 2 PRECEDING AND
    // CURRENT ROW, RANGE UNBOUNDED PRECEDING ...
    bool rows = isKw("ROWS");
    if (w->order.empty())
      error(30485, cur());
    static const std::set<std::string> kWords = {
        "ROWS", "RANGE", "BETWEEN", "AND", "UNBOUNDED", "PRECEDING", "FOLLOWING", "CURRENT", "ROW"};
    while (!is(")") && !atEnd()) {
      const Token &t = cur();
      bool number =
          t.kind == Tok::Number && t.text.find_first_not_of("0123456789") == std::string::npos;
      if (!(t.kind == Tok::Ident && kWords.count(t.text)) && !(number && rows))
        error(t.kind == Tok::Number ? 3001 : 905, t);
      w->frame += (w->frame.empty() ? "" : " ") + t.text;
      ++FPos;
    }
  }
  expect(")", 907);
  return w;
}

std::unique_ptr<QueryBlock> Parser::queryBlock() {
  auto b = std::make_unique<QueryBlock>();
  b->pos = cur().pos;
  ++FPos; // SELECT
  if (accept("DISTINCT") || accept("UNIQUE"))
    b->distinct = true;
  else
    accept("ALL");
  do {
    SelectItem item;
    item.pos = cur().pos;
    if (is("*")) {
      item.expr = make(ExprKind::Star, cur().pos);
      ++FPos;
    } else if ((cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent) && peek().is(".") &&
               peek(2).is("*")) {
      item.expr = make(ExprKind::Star, cur().pos);
      item.expr->names.push_back(cur().text);
      FPos += 3;
    } else if ((cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent) && peek().is(".") &&
               (peek(2).kind == Tok::Ident || peek(2).kind == Tok::QuotedIdent) &&
               peek(3).is(".") && peek(4).is("*")) {
      item.expr = make(ExprKind::Star, cur().pos);
      item.expr->names = {cur().text, peek(2).text};
      FPos += 5;
    } else {
      if (isKw("FROM"))
        error(936);
      int start = cur().pos;
      item.expr = expr();
      int end = prevEnd();
      // The column's name: the expression's text without blanks, upper-cased.
      for (char ch : textBetween(start, end))
        if (!std::isspace(static_cast<unsigned char>(ch)))
          item.name += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (item.expr->kind == ExprKind::Column && item.expr->names.size() >= 1)
        item.name = item.expr->names.back();
      if (accept("AS")) {
        if (cur().kind != Tok::Ident && cur().kind != Tok::QuotedIdent)
          error(923);
        item.alias = tok(FPos++).text;
      } else if (isName()) {
        item.alias = tok(FPos++).text;
      }
      if (!item.alias.empty())
        item.name = item.alias;
    }
    b->items.push_back(std::move(item));
    if (b->items.size() > kMaxSelectItems) // before the rest of a huge list is even read
      throw oraError(1792, b->items.back().pos);
  } while (accept(","));
  if (!isKw("FROM"))
    error(923);
  ++FPos;
  fromList(*b);
  if (accept("WHERE"))
    b->where = condition();
  for (int k = 0; k < 2; ++k) {
    if (isKw("START")) {
      if (!b->connectPos)
        b->connectPos = cur().pos;
      ++FPos;
      expect("WITH", 905);
      b->startWith = condition();
    }
    if (isKw("CONNECT")) {
      if (!b->connectPos)
        b->connectPos = cur().pos;
      ++FPos;
      expect("BY", 924);
      b->connectBy = condition();
    }
  }
  bool grouped = false;
  for (int k = 0; k < 2; ++k) {
    if (isKw("GROUP") && !grouped) {
      ++FPos;
      expect("BY", 924);
      groupByClause(*b);
      grouped = true;
    }
    if (k == 0 && accept("HAVING"))
      b->having = condition();
  }
  return b;
}

// GROUP BY terms. ROLLUP, CUBE and GROUPING SETS (later levels) make grouping sets: each term
// gives a list of sets and the clause groups by every combination of one set from each.
void Parser::groupByClause(QueryBlock &b) {
  // Each set is a pass over the rows: 4,096 is as far as we go.
  auto tooManySets = [&]() {
    throw oraErrorText(3001, "unimplemented feature (more than 4096 grouping sets)", cur().pos);
  };
  using Sets = std::vector<std::vector<size_t>>;
  bool extended = false;
  auto one = [&]() -> size_t {
    b.groupBy.push_back(expr());
    return b.groupBy.size() - 1;
  };
  // (a, b) or a: the columns of one set.
  auto composite = [&](bool emptyAllowed) {
    std::vector<size_t> set;
    if (is("(") && compositeFollows()) {
      ++FPos;
      if (!(emptyAllowed && is(")")))
        do
          set.push_back(one());
        while (accept(","));
      expect(")", 907);
    } else {
      set.push_back(one());
    }
    return set;
  };
  auto cross = [](const Sets &a, const Sets &c) {
    Sets r;
    for (auto &x : a)
      for (auto &y : c) {
        r.push_back(x);
        r.back().insert(r.back().end(), y.begin(), y.end());
      }
    return r;
  };
  std::function<Sets(bool)> element = [&](bool inSets) -> Sets {
    if (FModern && (isKw("ROLLUP") || isKw("CUBE")) && peek().is("(")) {
      bool cube = isKw("CUBE");
      FPos += 2;
      extended = true;
      std::vector<std::vector<size_t>> parts;
      do
        parts.push_back(composite(false));
      while (accept(","));
      expect(")", 907);
      if (parts.size() > 12)
        tooManySets();
      Sets r;
      if (cube) {
        // Every subset, the fullest first.
        size_t n = parts.size();
        for (size_t m = (size_t{1} << n); m-- > 0;) {
          std::vector<size_t> s;
          for (size_t i = 0; i < n; ++i)
            if (m & (size_t{1} << (n - 1 - i)))
              s.insert(s.end(), parts[i].begin(), parts[i].end());
          r.push_back(s);
        }
      } else {
        for (size_t k = parts.size() + 1; k-- > 0;) {
          std::vector<size_t> s;
          for (size_t i = 0; i < k; ++i)
            s.insert(s.end(), parts[i].begin(), parts[i].end());
          r.push_back(s);
        }
      }
      return r;
    }
    if (FModern && !inSets && isKw("GROUPING") && peek().is("SETS")) {
      FPos += 2;
      expect("(", 906);
      extended = true;
      Sets r;
      do {
        Sets part = element(true);
        r.insert(r.end(), part.begin(), part.end());
      } while (accept(","));
      expect(")", 907);
      return r;
    }
    return {composite(inSets)};
  };
  Sets sets = {{}};
  do
    sets = cross(sets, element(false));
  while (accept(","));
  if (sets.size() > 4096)
    tooManySets();
  if (extended)
    b.groupingSets = std::move(sets);
}

void Parser::fromList(QueryBlock &b) {
  do {
    b.from.push_back(tableRef());
    while (FModern && joinFollows())
      join(b);
  } while (accept(","));
}

TableRef Parser::tableRef() {
  TableRef t;
  t.pos = cur().pos;
  if (FModern && isKw("TABLE") && peek().is("(")) {
    FPos += 2;
    t.collection = expr();
    expect(")", 907);
    if (isName() && !(joinFollows() || isKw("USING") || isKw("OFFSET") || isKw("FETCH")))
      t.alias = tok(FPos++).text;
    return t;
  }
  if (is("(")) {
    ++FPos;
    if (!queryStarts() && !is("("))
      error(928);
    t.query = select();
    expect(")", 907);
  } else {
    if (cur().kind != Tok::Ident && cur().kind != Tok::QuotedIdent)
      error(903);
    t.name = qualifiedName(903);
    if (t.name.size() == 1)
      for (size_t k = FWith.size(); k-- > 0;)
        if (FWith[k].name == t.name[0]) {
          t.query = withQuery(FWith[k]);
          t.alias = t.name[0];
          t.name.clear();
          break;
        }
  }
  if (isName() && !(FModern && (joinFollows() || isKw("USING") || isKw("OFFSET") || isKw("FETCH"))))
    t.alias = tok(FPos++).text;
  return t;
}

bool Parser::joinFollows() const {
  return isKw("JOIN") || isKw("INNER") || isKw("CROSS") || isKw("NATURAL") ||
         ((isKw("LEFT") || isKw("RIGHT") || isKw("FULL")) &&
          (peek().is("JOIN") || peek().is("OUTER")));
}

// [INNER] JOIN t ON ... | USING (...), LEFT / RIGHT [OUTER] JOIN, CROSS JOIN, NATURAL JOIN.
void Parser::join(QueryBlock &b) {
  AnsiJoin j;
  j.pos = cur().pos;
  bool cross = accept("CROSS");
  j.natural = !cross && accept("NATURAL");
  if (accept("FULL"))
    j.kind = AnsiJoin::Full;
  else if (accept("LEFT"))
    j.kind = AnsiJoin::Left;
  else if (accept("RIGHT"))
    j.kind = AnsiJoin::Right;
  else
    accept("INNER");
  if (j.kind != AnsiJoin::Inner)
    accept("OUTER");
  expect("JOIN", 905);
  j.table = b.from.size();
  b.from.push_back(tableRef());
  if (!cross && !j.natural) {
    if (accept("USING")) {
      expect("(", 906);
      do
        j.usingCols.push_back(name(904));
      while (accept(","));
      expect(")", 907);
    } else {
      expect("ON", 905);
      j.on = condition();
    }
  }
  b.joins.push_back(std::move(j));
}

// ---------------------------------------------------------------- expressions

ExprPtr Parser::condition() {
  auto left = andCondition();
  while (isKw("OR")) {
    auto e = make(ExprKind::Or, cur().pos);
    ++FPos;
    e->args.push_back(std::move(left));
    e->args.push_back(andCondition());
    left = std::move(grown(e));
  }
  return left;
}

ExprPtr Parser::andCondition() {
  auto left = notCondition();
  while (isKw("AND")) {
    auto e = make(ExprKind::And, cur().pos);
    ++FPos;
    e->args.push_back(std::move(left));
    e->args.push_back(notCondition());
    left = std::move(grown(e));
  }
  return left;
}

ExprPtr Parser::notCondition() {
  DepthGuard g(*this);
  if (isKw("NOT")) {
    auto e = make(ExprKind::Not, cur().pos);
    ++FPos;
    e->args.push_back(notCondition());
    return std::move(grown(e));
  }
  return predicate();
}

ExprPtr Parser::inList(int pos) {
  // After IN: a parenthesised list of expressions (or of row values), or a subquery.
  auto e = make(ExprKind::In, pos);
  expect("(", 906);
  if (queryStarts()) {
    e->query = select();
  } else {
    do {
      if (e->args.size() >= kMaxListItems)
        error(1795);
      e->args.push_back(expr());
    } while (accept(","));
  }
  expect(")", 907);
  return std::move(grown(e));
}

ExprPtr Parser::predicate() {
  int pos = cur().pos;
  if (isKw("EXISTS")) {
    auto e = make(ExprKind::Exists, pos);
    ++FPos;
    expect("(", 906);
    e->query = select();
    expect(")", 907);
    return std::move(grown(e));
  }
  auto left = expr();
  static const char *kCompare[] = {"=", "<>", "<", ">", "<=", ">="};
  for (const char *op : kCompare) {
    if (is(op)) {
      auto e = make(ExprKind::Compare, cur().pos);
      e->text = op;
      ++FPos;
      if (isKw("ANY") || isKw("SOME") || isKw("ALL")) {
        e->text2 = cur().text == "ALL" ? "ALL" : "ANY";
        ++FPos;
        auto list = inList(cur().pos);
        e->args.push_back(std::move(left));
        if (list->query)
          e->query = std::move(list->query);
        for (auto &a : list->args)
          e->args.push_back(std::move(a));
        return std::move(grown(e));
      }
      e->args.push_back(std::move(left));
      e->args.push_back(expr());
      return std::move(grown(e));
    }
  }
  bool negated = false;
  int notPos = cur().pos;
  if (isKw("NOT") && (peek().is("IN") || peek().is("LIKE") || peek().is("BETWEEN"))) {
    negated = true;
    ++FPos;
  }
  if (isKw("IN")) {
    ++FPos;
    auto e = inList(pos);
    e->negated = negated;
    e->args.insert(e->args.begin(), std::move(left));
    return std::move(grown(e));
  }
  if (isKw("LIKE")) {
    auto e = make(ExprKind::Like, cur().pos);
    ++FPos;
    e->negated = negated;
    e->args.push_back(std::move(left));
    e->args.push_back(expr());
    if (accept("ESCAPE"))
      e->args.push_back(expr());
    return std::move(grown(e));
  }
  if (isKw("BETWEEN")) {
    auto e = make(ExprKind::Between, cur().pos);
    ++FPos;
    e->negated = negated;
    e->args.push_back(std::move(left));
    e->args.push_back(expr());
    expect("AND", 905);
    e->args.push_back(expr());
    return std::move(grown(e));
  }
  if (negated)
    error(920, tok(FPos - 1).pos == notPos ? tok(FPos - 1) : cur());
  if (isKw("IS")) {
    auto e = make(ExprKind::IsNull, cur().pos);
    ++FPos;
    if (accept("NOT"))
      e->negated = true;
    expect("NULL", 908);
    e->args.push_back(std::move(left));
    return std::move(grown(e));
  }
  return left;
}

ExprPtr Parser::expr() {
  auto left = term();
  while (is("+") || is("-") || is("||")) {
    auto e = make(ExprKind::Binary, cur().pos);
    e->text = cur().text;
    ++FPos;
    e->args.push_back(std::move(left));
    e->args.push_back(term());
    left = std::move(grown(e));
  }
  return left;
}

ExprPtr Parser::term() {
  auto left = factor();
  while (is("*") || is("/")) {
    auto e = make(ExprKind::Binary, cur().pos);
    e->text = cur().text;
    ++FPos;
    e->args.push_back(std::move(left));
    e->args.push_back(factor());
    left = std::move(grown(e));
  }
  return left;
}

ExprPtr Parser::factor() {
  DepthGuard g(*this);
  if (is("-") || is("+")) {
    auto e = make(ExprKind::Unary, cur().pos);
    e->text = cur().text;
    ++FPos;
    e->args.push_back(factor());
    return std::move(grown(e));
  }
  if (isKw("PRIOR")) {
    auto e = make(ExprKind::Prior, cur().pos);
    ++FPos;
    e->args.push_back(factor());
    return std::move(grown(e));
  }
  return primary();
}

// CASE [operand] WHEN ... THEN ... [ELSE ...] END: with an operand each WHEN is a value compared
// with it, without one a condition.
ExprPtr Parser::caseExpr() {
  auto e = make(ExprKind::Case, cur().pos);
  ++FPos;
  if (!isKw("WHEN")) {
    e->caseOperand = true;
    e->args.push_back(expr());
  }
  if (!isKw("WHEN"))
    error(905);
  while (accept("WHEN")) {
    e->args.push_back(e->caseOperand ? expr() : condition());
    expect("THEN", 905);
    e->args.push_back(expr());
  }
  if (accept("ELSE")) {
    e->caseElse = true;
    e->args.push_back(expr());
  }
  expect("END", 905);
  return std::move(grown(e));
}

// TRIM([LEADING|TRAILING|BOTH] [c] FROM s) and EXTRACT(field FROM d): function calls whose
// keywords go to text (TRIM's args: s[, c]).
ExprPtr Parser::trimOrExtract() {
  auto e = make(ExprKind::Function, cur().pos);
  e->names = {cur().text};
  FPos += 2;
  if (e->names[0] == "EXTRACT") {
    if (cur().kind != Tok::Ident)
      error(907);
    e->text = cur().text;
    ++FPos;
    expect("FROM", 923);
    e->args.push_back(expr());
  } else {
    e->text = "BOTH";
    if (isKw("LEADING") || isKw("TRAILING") || isKw("BOTH"))
      e->text = tok(FPos++).text;
    ExprPtr set;
    if (!isKw("FROM"))
      set = expr();
    expect("FROM", 923);
    e->args.push_back(expr());
    if (set)
      e->args.push_back(std::move(set));
  }
  expect(")", 907);
  return std::move(grown(e));
}

ExprPtr Parser::primary() {
  DepthGuard g(*this);
  const Token &t = cur();
  int pos = t.pos;
  switch (t.kind) {
  case Tok::Number: {
    auto e = make(ExprKind::Number, pos);
    e->text = t.text;
    ownLiteral(*e);
    ++FPos;
    return std::move(grown(e));
  }
  case Tok::String: {
    auto e = make(t.text.empty() ? ExprKind::Null : ExprKind::String, pos);
    e->text = t.text;
    if (e->kind == ExprKind::String)
      ownLiteral(*e);
    ++FPos;
    return std::move(grown(e));
  }
  case Tok::Bind: {
    auto e = make(ExprKind::Bind, pos);
    e->text = t.text;
    ++FPos;
    return std::move(grown(e));
  }
  case Tok::Op:
    if (t.text == "(") {
      ++FPos;
      if (queryStarts()) {
        auto e = make(ExprKind::Subquery, pos);
        e->query = select();
        expect(")", 907);
        return std::move(grown(e));
      }
      auto first = condition();
      if (is(",")) {
        auto e = make(ExprKind::List, pos);
        e->args.push_back(std::move(first));
        while (accept(","))
          e->args.push_back(expr());
        expect(")", 907);
        return std::move(grown(e));
      }
      expect(")", 907);
      return first;
    }
    error(936);
  case Tok::End:
    error(936);
  case Tok::Ident:
  case Tok::QuotedIdent:
    break;
  }
  if (t.kind == Tok::Ident) {
    const std::string &w = t.text;
    if (w == "NULL") {
      ++FPos;
      return make(ExprKind::Null, pos);
    }
    if (w == "CASE" && FModern)
      return caseExpr();
    if (FModern && w == "DATE" && peek().kind == Tok::String) {
      // DATE 'YYYY-MM-DD': an ANSI date literal.
      auto e = make(ExprKind::Function, pos);
      e->names = {"TO_DATE"};
      ++FPos;
      auto text = make(ExprKind::String, cur().pos);
      text->text = cur().text;
      if (!text->text.empty())
        ownLiteral(*text);
      ++FPos;
      auto mask = make(ExprKind::String, pos);
      mask->text = "YYYY-MM-DD";
      e->args.push_back(std::move(text));
      e->args.push_back(std::move(mask));
      return std::move(grown(e));
    }
    if (FModern && (w == "TIMESTAMP" || w == "INTERVAL") && peek().kind == Tok::String) {
      auto e = datetimeLiteral(w, pos);
      return std::move(grown(e));
    }
    // The session's time zone is the server's: CURRENT_TIMESTAMP is SYSTIMESTAMP.
    if (FModern && (w == "SYSTIMESTAMP" || w == "CURRENT_TIMESTAMP" || w == "LOCALTIMESTAMP") &&
        !peek().is(".")) {
      auto e = make(ExprKind::Function, pos);
      e->names = {w == "LOCALTIMESTAMP" ? "LOCALTIMESTAMP" : "SYSTIMESTAMP"};
      ++FPos;
      if (w != "SYSTIMESTAMP" && is("(") && peek().kind == Tok::Number && peek(2).is(")"))
        FPos += 3; // a precision: the clock gives microseconds anyway
      return std::move(grown(e));
    }
    if (FModern && (w == "TRIM" || w == "EXTRACT") && peek().is("(") &&
        (w == "EXTRACT" || peek(2).is("LEADING") || peek(2).is("TRAILING") || peek(2).is("BOTH") ||
         peek(3).is("FROM") || peek(2).is("FROM")))
      return trimOrExtract();
    if (w == "CAST" && FModern && peek().is("(")) {
      auto e = make(ExprKind::Cast, pos);
      FPos += 2;
      e->args.push_back(expr());
      expect("AS", 905);
      ColumnInfo c = dataType();
      if (c.type == SqlType::Long || c.type == SqlType::LongRaw || c.type == SqlType::Rowid)
        error(902, tok(FPos - 1));
      e->castTo.type = c.type;
      e->castTo.length = c.length;
      e->castTo.precision = c.precision;
      e->castTo.scale = c.scale;
      expect(")", 907);
      return std::move(grown(e));
    }
    // CURRENT_DATE is the session's date and time: SYSDATE, with the session in the server's
    // time zone.
    bool currentDate = FModern && w == "CURRENT_DATE" && !peek().is(".");
    if (w == "SYSDATE" || w == "USER" || w == "UID" || w == "ROWNUM" || w == "LEVEL" ||
        currentDate) {
      auto e = make(ExprKind::Pseudo, pos);
      e->text = currentDate ? "SYSDATE" : w;
      ++FPos;
      return std::move(grown(e));
    }
    if (isReserved(w) && w != "ROWID" && !(peek().is("(") && (w == "CHAR" || w == "DATE")))
      error(936);
  }
  // A name chain: column, t.column, s.t.column, sequence.NEXTVAL, function(...).
  std::vector<std::string> parts{t.text};
  ++FPos;
  while (is(".") && (peek().kind == Tok::Ident || peek().kind == Tok::QuotedIdent)) {
    ++FPos;
    parts.push_back(cur().text);
    ++FPos;
  }
  // "( + )" with blanks is the outer-join mark; "(+44)" and "(+ x)" are arguments.
  bool outerMark = is("(") && peek().is("+") && peek(2).is(")");
  if (is("(") && !outerMark) {
    auto e = make(ExprKind::Function, pos);
    e->names = parts;
    ++FPos;
    if (is("*")) {
      e->star = true;
      ++FPos;
    } else if (!is(")")) {
      if (accept("DISTINCT") || accept("UNIQUE"))
        e->distinct = true;
      else
        accept("ALL");
      do
        e->args.push_back(expr());
      while (accept(","));
    }
    expect(")", 907);
    if (FModern && isKw("WITHIN")) {
      ++FPos;
      expect("GROUP", 905);
      expect("(", 906);
      e->within = std::make_unique<WindowSpec>();
      if (!isKw("ORDER"))
        error(30491);
      e->within->order = orderItems();
      expect(")", 907);
    }
    if (FModern && isKw("OVER"))
      e->over = window();
    return std::move(grown(e));
  }
  if (parts.size() >= 2 && (parts.back() == "NEXTVAL" || parts.back() == "CURRVAL")) {
    auto e = make(ExprKind::Sequence, pos);
    e->text = parts.back();
    parts.pop_back();
    e->names = parts;
    return std::move(grown(e));
  }
  if (parts.size() > 3)
    error(1747, tok(FPos - 1));
  auto e = make(ExprKind::Column, pos);
  e->names = parts;
  if (accept("(+)")) {
    e->outer = true;
  } else if (outerMark) {
    FPos += 3;
    e->outer = true;
  }
  return std::move(grown(e));
}

// ---------------------------------------------------------------- statements

std::unique_ptr<Statement> Parser::statement() {
  const Token &t = cur();
  std::unique_ptr<Statement> s;
  if (t.kind == Tok::Op && t.text == "(") {
    auto st = std::make_unique<SelectStmt>();
    st->query = select();
    s = std::move(st);
  } else if (t.kind != Tok::Ident) {
    error(900);
  } else if (t.text == "SELECT" || (FModern && t.text == "WITH")) {
    auto st = std::make_unique<SelectStmt>();
    st->query = select();
    s = std::move(st);
  } else if (t.text == "INSERT" && FModern && (peek().is("ALL") || peek().is("FIRST"))) {
    s = multiTableInsert();
  } else if (t.text == "MERGE" && FModern) {
    s = merge();
  } else if (t.text == "INSERT") {
    s = insert();
  } else if (t.text == "UPDATE") {
    s = update();
  } else if (t.text == "DELETE") {
    s = deleteStmt();
  } else if (t.text == "CREATE") {
    s = create();
  } else if (t.text == "DROP") {
    s = drop();
  } else if (t.text == "ALTER") {
    s = alter();
  } else if (t.text == "COMMENT") {
    ++FPos;
    expect("ON", 969);
    auto st = std::make_unique<CommentStmt>();
    if (accept("COLUMN")) {
      st->onColumn = true;
      st->namePos = cur().pos;
      st->name.push_back(name(904));
      while (accept("."))
        st->name.push_back(name(904));
      if (st->name.size() < 2 || st->name.size() > 3)
        error(904);
    } else {
      expect("TABLE", 905);
      st->namePos = cur().pos;
      st->name = qualifiedName();
    }
    expect("IS", 905);
    if (cur().kind != Tok::String)
      error(905);
    st->text = cur().text;
    ++FPos;
    s = std::move(st);
  } else if (t.text == "RENAME") {
    ++FPos;
    auto st = std::make_unique<RenameStmt>();
    st->namePos = cur().pos;
    st->from = name(903);
    expect("TO", 905);
    st->to = name(903);
    s = std::move(st);
  } else if (t.text == "TRUNCATE") {
    ++FPos;
    expect("TABLE", 905);
    auto st = std::make_unique<TruncateStmt>();
    st->namePos = cur().pos;
    st->name = qualifiedName();
    while (isKw("DROP") || isKw("REUSE") || isKw("STORAGE"))
      ++FPos;
    s = std::move(st);
  } else if (t.text == "GRANT" || t.text == "REVOKE") {
    s = grant(t.text == "GRANT");
  } else if (t.text == "COMMIT") {
    ++FPos;
    accept("WORK");
    if (isKw("COMMENT")) {
      ++FPos;
      if (cur().kind == Tok::String)
        ++FPos;
    }
    s = std::make_unique<TransactionStmt>(StmtKind::Commit);
  } else if (t.text == "ROLLBACK") {
    ++FPos;
    accept("WORK");
    auto st = std::make_unique<TransactionStmt>(StmtKind::Rollback);
    if (accept("TO")) {
      if (isKw("SAVEPOINT"))
        ++FPos;
      st->savepoint = name(931);
    }
    s = std::move(st);
  } else if (t.text == "SAVEPOINT") {
    ++FPos;
    auto st = std::make_unique<TransactionStmt>(StmtKind::Savepoint);
    st->savepoint = name(931);
    s = std::move(st);
  } else if (t.text == "LOCK") {
    // The server has one writer at a time: LOCK TABLE takes the write lock of the server.
    ++FPos;
    expect("TABLE", 905);
    auto st = std::make_unique<LockStmt>();
    do {
      st->positions.push_back(cur().pos);
      st->tables.push_back(qualifiedName());
    } while (accept(","));
    expect("IN", 905);
    while (!atEnd() && !isKw("MODE"))
      ++FPos;
    expect("MODE", 905);
    st->nowait = accept("NOWAIT");
    s = std::move(st);
  } else if (t.text == "SET" && peek().is("TRANSACTION")) {
    FPos += 2;
    if (isKw("READ")) {
      ++FPos;
      if (!(accept("ONLY") || accept("WRITE")))
        error(905);
    } else if (isKw("USE")) {
      while (!atEnd())
        ++FPos;
    } else {
      error(905);
    }
    s = std::make_unique<Statement>(StmtKind::NoOp);
  } else if (t.text == "BEGIN" || t.text == "DECLARE") {
    throw oraErrorText(3001, "unimplemented feature (PL/SQL blocks)", t.pos);
  } else {
    static const std::set<std::string> kKnown = {"EXPLAIN", "AUDIT",    "NOAUDIT",
                                                 "ANALYZE", "VALIDATE", "SET"};
    if (kKnown.count(t.text))
      throw oraErrorText(3001, "unimplemented feature (" + t.text + ")", t.pos);
    error(900);
  }
  s->pos = t.pos;
  expectEnd();
  return s;
}

TableRef Parser::dmlTable() {
  TableRef t;
  t.pos = cur().pos;
  if (is("(")) {
    ++FPos;
    t.query = select();
    expect(")", 907);
  } else {
    if (cur().kind != Tok::Ident && cur().kind != Tok::QuotedIdent)
      error(903);
    t.name = qualifiedName(903);
  }
  if (isName() && !(FModern && (isKw("RETURNING") || isKw("RETURN"))))
    t.alias = tok(FPos++).text;
  return t;
}

std::unique_ptr<Statement> Parser::insert() {
  ++FPos;
  expect("INTO", 925);
  auto s = std::make_unique<InsertStmt>();
  s->table = dmlTable();
  if (is("(") && !peek().is("SELECT") && !(FModern && peek().is("WITH"))) {
    ++FPos;
    do {
      s->columnPos.push_back(cur().pos);
      std::vector<std::string> parts{name(904)};
      while (accept("."))
        parts.push_back(name(904));
      s->columns.push_back(parts.back());
    } while (accept(","));
    expect(")", 907);
  }
  if (accept("VALUES")) {
    expect("(", 906);
    do
      s->values.push_back(expr());
    while (accept(","));
    expect(")", 907);
    returningClause(s->returning);
  } else if (queryStarts() || is("(")) {
    s->query = select();
  } else {
    error(926);
  }
  return s;
}

// INSERT ALL | FIRST [WHEN c THEN] INTO t [(cols)] [VALUES (v)] ... [ELSE INTO ...] subquery:
// one INSERT ... SELECT per INTO over the subquery, each row to every INTO whose condition holds
// (FIRST: to those of the first WHEN that holds).
std::unique_ptr<Statement> Parser::multiTableInsert() {
  auto s = std::make_unique<MultiStmt>();
  s->pos = cur().pos;
  ++FPos; // INSERT
  bool first = cur().text == "FIRST";
  ++FPos;
  struct Into {
    std::string head, values; // "INSERT INTO t (cols)", the values' text ("*" when none)
    int when = -1;            // its WHEN (-2: ELSE)
  };
  std::vector<Into> intos;
  std::vector<std::string> whens;
  auto intoClauses = [&](int when) {
    if (!isKw("INTO"))
      error(925);
    while (isKw("INTO")) {
      ++FPos;
      Into in;
      in.when = when;
      int start = cur().pos;
      qualifiedName();
      if (cur().kind == Tok::Ident && !isKw("VALUES") && !isKw("INTO") && !isKw("WHEN") &&
          !isKw("ELSE") && !queryStarts())
        ++FPos; // an alias
      if (is("(") && !peek().is("SELECT") && !peek().is("WITH"))
        nameList();
      in.head = "INSERT INTO " + textBetween(start, prevEnd());
      in.values = "*";
      if (accept("VALUES")) {
        expect("(", 906);
        int from = cur().pos;
        do
          expr();
        while (accept(","));
        in.values = textBetween(from, prevEnd());
        expect(")", 907);
      }
      intos.push_back(std::move(in));
    }
  };
  if (isKw("WHEN")) {
    while (accept("WHEN")) {
      int from = cur().pos;
      condition();
      whens.push_back(textBetween(from, prevEnd()));
      expect("THEN", 905);
      intoClauses(static_cast<int>(whens.size()) - 1);
    }
    if (accept("ELSE"))
      intoClauses(-2);
  } else if (first) {
    error(905);
  } else {
    intoClauses(-1);
  }
  if (!queryStarts() && !is("("))
    error(928);
  int from = cur().pos;
  select();
  std::string query = textBetween(from, prevEnd());
  // Whether one of the WHEN conditions before `upto` holds (NULL counts as not holding).
  auto anyHolds = [&](size_t upto) {
    std::string c = "CASE";
    for (size_t i = 0; i < upto; ++i)
      c += " WHEN (" + whens[i] + ") THEN 1";
    return c + " ELSE 0 END";
  };
  for (const Into &in : intos) {
    std::string where;
    if (in.when >= 0) {
      where = "(" + whens[static_cast<size_t>(in.when)] + ")";
      if (first && in.when > 0)
        where += " AND " + anyHolds(static_cast<size_t>(in.when)) + " = 0";
    } else if (in.when == -2) {
      where = anyHolds(whens.size()) + " = 0";
    }
    MultiPart part;
    part.text = in.head + " SELECT " + in.values + " FROM (" + query + ")" +
                (where.empty() ? "" : " WHERE " + where);
    s->parts.push_back(std::move(part));
  }
  return s;
}

// MERGE INTO t [a] USING source [s] ON (condition)
//   [WHEN MATCHED THEN UPDATE SET c = v, ... [WHERE c] [DELETE WHERE c]]
//   [WHEN NOT MATCHED THEN INSERT [(cols)] VALUES (v, ...) [WHERE c]]
// runs as: a check that no target row matches two source rows (ORA-30926), the UPDATE of the
// matched rows, the INSERT of the source rows that match none, and the DELETE of updated rows.
std::unique_ptr<Statement> Parser::merge() {
  auto s = std::make_unique<MultiStmt>();
  s->pos = cur().pos;
  s->merge = true;
  ++FPos; // MERGE
  expect("INTO", 925);
  int from = cur().pos;
  std::vector<std::string> target = qualifiedName();
  std::string targetText = textBetween(from, prevEnd());
  std::string alias = target.back();
  if (cur().kind == Tok::Ident && !isKw("USING"))
    alias = name(904);
  std::string tgt = targetText + " " + alias;
  expect("USING", 905);
  from = cur().pos;
  if (is("("))
    skipBalanced();
  else
    qualifiedName();
  std::string src = textBetween(from, prevEnd());
  if (cur().kind == Tok::Ident && !isKw("ON"))
    src += " " + name(904);
  expect("ON", 969);
  expect("(", 906);
  from = cur().pos;
  ExprPtr on = condition();
  std::string onText = textBetween(from, prevEnd());
  expect(")", 907);
  std::vector<std::string> setColumns, setValues;
  std::string updateWhere, deleteWhere, insertColumns, insertValues, insertWhere;
  bool update = false, insert = false;
  auto optionalWhere = [&](std::string &out) {
    if (accept("WHERE")) {
      int at = cur().pos;
      condition();
      out = textBetween(at, prevEnd());
    }
  };
  while (accept("WHEN")) {
    if (accept("MATCHED")) {
      if (update)
        error(905);
      update = true;
      expect("THEN", 905);
      expect("UPDATE", 905);
      expect("SET", 971);
      do {
        std::vector<std::string> parts{name(904)};
        while (accept("."))
          parts.push_back(name(904));
        setColumns.push_back(parts.back());
        expect("=", 927);
        int at = cur().pos;
        expr();
        setValues.push_back(textBetween(at, prevEnd()));
      } while (accept(","));
      optionalWhere(updateWhere);
      if (accept("DELETE")) {
        if (!isKw("WHERE"))
          error(905);
        optionalWhere(deleteWhere);
      }
    } else {
      expect("NOT", 905);
      expect("MATCHED", 905);
      if (insert)
        error(905);
      insert = true;
      expect("THEN", 905);
      expect("INSERT", 905);
      if (is("(")) {
        int at = cur().pos;
        nameList();
        insertColumns = " " + textBetween(at, prevEnd());
      }
      expect("VALUES", 926);
      expect("(", 906);
      int at = cur().pos;
      do
        expr();
      while (accept(","));
      insertValues = textBetween(at, prevEnd());
      expect(")", 907);
      optionalWhere(insertWhere);
    }
  }
  if (!update && !insert)
    error(905);
  // A column the ON condition reads cannot be updated (ORA-38104).
  auto readsColumn = [&](auto &&self, const Expr &e, const std::string &col) -> bool {
    if (e.kind == ExprKind::Column && e.names.back() == col &&
        (e.names.size() == 1 || e.names[e.names.size() - 2] == alias))
      return true;
    for (const auto &a : e.args)
      if (self(self, *a, col))
        return true;
    return false;
  };
  for (const std::string &c : setColumns)
    if (readsColumn(readsColumn, *on, c))
      throw oraErrorArg(38104, "\"" + alias + "\".\"" + c + "\"", s->pos);
  std::string matched = "SELECT 1 FROM " + src + " WHERE (" + onText + ")";
  if (update) {
    s->parts.push_back({MultiPart::FailOnRow,
                        "SELECT " + alias + ".ROWID FROM " + tgt + ", " + src + " WHERE (" +
                            onText + ") GROUP BY " + alias + ".ROWID HAVING COUNT(*) > 1",
                        30926});
    std::string cols, vals;
    for (size_t i = 0; i < setColumns.size(); ++i) {
      cols += (i ? ", " : "") + setColumns[i];
      vals += (i ? ", " : "") + setValues[i];
    }
    std::string when = updateWhere.empty() ? "" : " AND (" + updateWhere + ")";
    s->parts.push_back({MultiPart::Change,
                        "UPDATE " + tgt + " SET (" + cols + ") = (SELECT " + vals + " FROM " + src +
                            " WHERE (" + onText + ")) WHERE EXISTS (" + matched + when + ")",
                        0});
    if (!deleteWhere.empty())
      s->parts.push_back({MultiPart::DeleteChanged,
                          "DELETE FROM " + tgt + " WHERE EXISTS (" + matched + when + " AND (" +
                              deleteWhere + "))",
                          0});
  }
  if (insert) {
    MultiPart part{MultiPart::Change,
                   "INSERT INTO " + targetText + insertColumns + " SELECT " + insertValues +
                       " FROM " + src + " WHERE NOT EXISTS (SELECT 1 FROM " + tgt + " WHERE (" +
                       onText + "))" + (insertWhere.empty() ? "" : " AND (" + insertWhere + ")"),
                   0};
    // Rows inserted are not rows updated: the DELETE comes after the INSERT, and leaves them.
    auto at = s->parts.end();
    if (!s->parts.empty() && s->parts.back().kind == MultiPart::DeleteChanged)
      --at;
    s->parts.insert(at, std::move(part));
  }
  return s;
}

std::unique_ptr<Statement> Parser::update() {
  ++FPos;
  auto s = std::make_unique<UpdateStmt>();
  s->table = dmlTable();
  expect("SET", 971);
  do {
    Assignment a;
    if (is("(")) {
      ++FPos;
      do {
        a.columnPos.push_back(cur().pos);
        std::vector<std::string> parts{name(904)};
        while (accept("."))
          parts.push_back(name(904));
        a.columns.push_back(parts.back());
      } while (accept(","));
      expect(")", 907);
      expect("=", 927);
      int pos = cur().pos;
      expect("(", 906);
      auto e = make(ExprKind::Subquery, pos);
      if (!queryStarts())
        error(928);
      e->query = select();
      expect(")", 907);
      a.value = std::move(grown(e));
    } else {
      a.columnPos.push_back(cur().pos);
      std::vector<std::string> parts{name(904)};
      while (accept("."))
        parts.push_back(name(904));
      a.columns.push_back(parts.back());
      expect("=", 927);
      a.value = expr();
    }
    s->sets.push_back(std::move(a));
  } while (accept(","));
  if (accept("WHERE"))
    s->where = condition();
  returningClause(s->returning);
  return s;
}

std::unique_ptr<Statement> Parser::deleteStmt() {
  ++FPos;
  accept("FROM");
  auto s = std::make_unique<DeleteStmt>();
  s->table = dmlTable();
  if (accept("WHERE"))
    s->where = condition();
  returningClause(s->returning);
  return s;
}

void Parser::returningClause(Returning &r) {
  if (!FModern || !(isKw("RETURNING") || isKw("RETURN")))
    return;
  r.pos = cur().pos;
  ++FPos;
  do
    r.exprs.push_back(expr());
  while (accept(","));
  if (!accept("INTO"))
    return; // PL/SQL took its INTO clause out of the text
  do {
    if (cur().kind != Tok::Bind)
      error(1744); // inappropriate INTO
    r.intoPos.push_back(cur().pos);
    r.into.push_back(cur().text);
    ++FPos;
  } while (accept(","));
}

ColumnInfo Parser::dataType() {
  ColumnInfo c;
  if (cur().kind != Tok::Ident)
    error(902);
  std::string w = cur().text;
  int pos = cur().pos;
  ++FPos;
  auto length = [&](int max, int deflt) {
    if (!is("(")) {
      if (deflt < 0)
        error(906);
      return deflt;
    }
    ++FPos;
    if (cur().kind != Tok::Number)
      error(910);
    long n = std::atol(cur().text.c_str());
    ++FPos;
    if (isKw("BYTE") || isKw("CHAR"))
      ++FPos;
    expect(")", 907);
    if (n == 0)
      error(1723, tok(FPos - 2));
    if (n > max)
      error(910, tok(FPos - 2));
    return static_cast<int>(n);
  };
  // Later releases hold VARCHAR2 up to 4000 bytes and CHAR up to 2000; the national types are
  // the same bytes here (one character set).
  const int maxVarchar = FModern ? 4000 : 2000, maxChar = FModern ? 2000 : 255;
  if (w == "VARCHAR2" || w == "VARCHAR" || (FModern && w == "NVARCHAR2")) {
    c.type = SqlType::Varchar2;
    c.length = length(maxVarchar, -1);
  } else if (w == "CHAR" || w == "CHARACTER" || (FModern && w == "NCHAR")) {
    if (isKw("VARYING")) {
      ++FPos;
      c.type = SqlType::Varchar2;
      c.length = length(maxVarchar, -1);
    } else {
      c.type = SqlType::Char;
      c.length = length(maxChar, 1);
    }
  } else if (FModern && (w == "BINARY_DOUBLE" || w == "BINARY_FLOAT")) {
    c.type = SqlType::Number; // kept as a NUMBER: exact where the binary type would round
    c.length = 22;
  } else if (w == "NUMBER" || w == "NUMERIC" || w == "DECIMAL" || w == "DEC") {
    c.type = SqlType::Number;
    c.length = 22;
    if (accept("(")) {
      if (accept("*")) {
        c.precision = -1;
      } else {
        if (cur().kind != Tok::Number)
          error(936);
        c.precision = std::atoi(cur().text.c_str());
        if (c.precision < 1 || c.precision > 38)
          error(1727);
        ++FPos;
      }
      c.scale = 0;
      if (accept(",")) {
        c.scale = static_cast<int>(integer());
        if (c.scale < -84 || c.scale > 127)
          error(1728, tok(FPos - 1));
      }
      expect(")", 907);
    } else if (w != "NUMBER") {
      c.precision = 38;
      c.scale = 0;
    }
  } else if (w == "INTEGER" || w == "INT" || w == "SMALLINT") {
    c.type = SqlType::Number;
    c.length = 22;
    c.scale = 0;
  } else if (w == "FLOAT" || w == "REAL") {
    c.type = SqlType::Number;
    c.length = 22;
    if (accept("(")) {
      integer();
      expect(")", 907);
    }
  } else if (w == "DOUBLE") {
    expect("PRECISION", 902);
    c.type = SqlType::Number;
    c.length = 22;
  } else if (w == "DATE") {
    c.type = SqlType::Date;
    c.length = 7;
  } else if (FModern && (w == "TIMESTAMP" || w == "INTERVAL")) {
    datetimeType(w, c);
  } else if (w == "LONG") {
    if (accept("RAW"))
      c.type = SqlType::LongRaw;
    else {
      accept("VARCHAR");
      c.type = SqlType::Long;
    }
  } else if (w == "RAW") {
    c.type = SqlType::Raw;
    c.length = length(255, -1);
  } else if (w == "ROWID") {
    c.type = SqlType::Rowid;
    c.length = 6;
  } else if (FModern && (w == "CLOB" || w == "NCLOB" || w == "BLOB")) {
    c.type = w == "BLOB" ? SqlType::Blob : SqlType::Clob;
    c.national = w == "NCLOB";
    c.length = 4000;
  } else {
    throw oraError(902, pos);
  }
  return c;
}

// The digits of a datetime or interval precision in parentheses, 0 to 9 (ORA-30088).
int Parser::datetimePrecision(int deflt) {
  if (!accept("("))
    return deflt;
  if (cur().kind != Tok::Number)
    error(30088);
  long v = std::atol(cur().text.c_str());
  if (v < 0 || v > 9 || cur().text.find_first_not_of("0123456789") != std::string::npos)
    error(30088);
  ++FPos;
  expect(")", 907);
  return static_cast<int>(v);
}

// TIMESTAMP[(p)] [WITH [LOCAL] TIME ZONE], INTERVAL YEAR[(p)] TO MONTH and
// INTERVAL DAY[(p)] TO SECOND[(s)]: the leading precision is the column's precision, the digits
// of a fraction of a second its scale.
void Parser::datetimeType(const std::string &w, ColumnInfo &c) {
  if (w == "TIMESTAMP") {
    c.scale = datetimePrecision(6);
    c.type = SqlType::Timestamp;
    if (accept("WITH")) {
      c.type = accept("LOCAL") ? SqlType::TimestampLtz : SqlType::TimestampTz;
      expect("TIME", 905);
      expect("ZONE", 905);
    }
    c.length = c.type == SqlType::TimestampTz ? 13 : 11;
    return;
  }
  if (accept("YEAR")) {
    c.type = SqlType::IntervalYM;
    c.precision = datetimePrecision(2);
    c.scale = 0;
    expect("TO", 905);
    expect("MONTH", 905);
    c.length = 5;
    return;
  }
  expect("DAY", 905);
  c.type = SqlType::IntervalDS;
  c.precision = datetimePrecision(2);
  expect("TO", 905);
  expect("SECOND", 905);
  c.scale = datetimePrecision(6);
  c.length = 11;
}

IntervalField Parser::intervalField(int code) {
  static const char *kNames[] = {"YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND"};
  for (int i = 0; i < 6; ++i)
    if (accept(kNames[i]))
      return static_cast<IntervalField>(i);
  error(code);
}

// TIMESTAMP 'YYYY-MM-DD HH24:MI:SS[.FF] [zone]' reads as TO_TIMESTAMP[_TZ] with the mask of
// its shape; INTERVAL 'text' <fields> is read here (its errors stand at the literal) and made the
// TO_YMINTERVAL / TO_DSINTERVAL of Oracle's text of the value, of the literal's precisions.
ExprPtr Parser::datetimeLiteral(const std::string &w, int pos) {
  ++FPos;
  const std::string text = cur().text;
  const int textPos = cur().pos;
  ++FPos;
  auto e = make(ExprKind::Function, pos);
  auto arg = make(ExprKind::String, textPos);
  if (w == "TIMESTAMP") {
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) // no date at all: not the literal's format
      throw oraError(1861, textPos);
    size_t blank = start == std::string::npos ? std::string::npos : text.find(' ', start);
    std::string rest = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    size_t zoneAt = rest.find_first_of("+-ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    bool fraction = rest.substr(0, zoneAt).find('.') != std::string::npos;
    e->names = {zoneAt == std::string::npos ? "TO_TIMESTAMP" : "TO_TIMESTAMP_TZ"};
    arg->text = text;
    auto mask = make(ExprKind::String, pos);
    mask->text = std::string("YYYY-MM-DD HH24:MI:SS") + (fraction ? ".FF" : "") +
                 (zoneAt == std::string::npos ? "" : "TZR");
    e->args.push_back(std::move(arg));
    e->args.push_back(std::move(mask));
    return e;
  }
  // INTERVAL 'text' YEAR[(p)] [TO MONTH] | DAY / HOUR / MINUTE [(p)] [TO HOUR / MINUTE /
  // SECOND[(s)]] | SECOND[(p[, s])]
  // Without SECOND among its fields the literal has no fraction of a second.
  IntervalField first = intervalField(905), last = first;
  int leading = 2, fraction = first == IntervalField::Second ? 6 : 0;
  if (first == IntervalField::Second && accept("(")) {
    leading = static_cast<int>(integer());
    if (accept(","))
      fraction = static_cast<int>(integer());
    expect(")", 907);
    if (leading < 0 || leading > 9 || fraction < 0 || fraction > 9)
      error(30088);
  } else {
    leading = datetimePrecision(2);
  }
  if (accept("TO")) {
    last = intervalField(905);
    if (last <= first)
      error(30089); // the fields must run from the larger to the smaller
    if (last == IntervalField::Second)
      fraction = datetimePrecision(6);
  }
  int err = 1867;
  auto value = parseInterval(text, first, last, leading, err);
  if (!value)
    throw oraError(err, textPos);
  const bool yearMonth = first <= IntervalField::Month;
  e->names = {yearMonth ? "TO_YMINTERVAL" : "TO_DSINTERVAL"};
  arg->text = yearMonth ? formatYearMonth(*value, 9) : formatDaySecond(*value, 9, 9);
  e->castTo.type = yearMonth ? SqlType::IntervalYM : SqlType::IntervalDS;
  e->castTo.precision = leading;
  e->castTo.scale = yearMonth ? 0 : fraction;
  e->args.push_back(std::move(arg));
  return e;
}

void Parser::skipBalanced() {
  int depth = 0;
  do {
    if (atEnd())
      error(907);
    if (is("("))
      ++depth;
    else if (is(")"))
      --depth;
    ++FPos;
  } while (depth > 0);
}

// Storage and physical clauses are accepted and ignored.
void Parser::skipStorage() {
  static const std::set<std::string> kWithNumber = {
      "PCTFREE", "PCTUSED", "INITRANS", "MAXTRANS", "PCTINCREASE", "FREELISTS", "PARALLEL"};
  while (cur().kind == Tok::Ident) {
    const std::string &w = cur().text;
    if (kWithNumber.count(w)) {
      ++FPos;
      if (cur().kind == Tok::Number)
        ++FPos;
      else if (is("("))
        skipBalanced();
    } else if (w == "TABLESPACE") {
      ++FPos;
      name(931);
    } else if (w == "STORAGE") {
      ++FPos;
      if (!is("("))
        error(906);
      skipBalanced();
    } else if (w == "CACHE" || w == "NOCACHE" || w == "LOGGING" || w == "NOLOGGING" ||
               w == "NOPARALLEL" || w == "RECOVERABLE" || w == "UNRECOVERABLE" || w == "NOSORT" ||
               w == "COMPRESS" || w == "NOCOMPRESS") {
      ++FPos;
    } else if (w == "USING" && peek().is("INDEX")) {
      FPos += 2;
    } else if (w == "CLUSTER") {
      ++FPos;
      qualifiedName();
      if (is("("))
        skipBalanced();
    } else if (!FModern || !skipLaterPhysicalClause()) {
      break;
    }
  }
}

// The physical clauses of later releases: index organization, partitioning, segment creation,
// compression, row movement, LOB storage ... Storage has no meaning here; they are read and
// left. False when the current word starts none of them.
bool Parser::skipLaterPhysicalClause() {
  static const std::set<std::string> kWords = {
      "MONITORING", "NOMONITORING", "ROWDEPENDENCIES", "NOROWDEPENDENCIES",
      "ONLINE",     "REVERSE",      "VISIBLE",         "INVISIBLE",
      "LOCAL",      "GLOBAL",       "NOPARALLEL",      "INMEMORY",
      "NOCOMPRESS", "BASIC",        "ADVANCED"};
  const std::string w = cur().text;
  if (kWords.count(w)) {
    ++FPos;
  } else if (w == "ORGANIZATION") {
    ++FPos;
    if (!accept("INDEX") && !accept("HEAP"))
      error(905);
    if (accept("OVERFLOW"))
      skipStorage();
  } else if (w == "PARTITION" || w == "SUBPARTITION") {
    // PARTITION BY RANGE (c) [INTERVAL (e)] [SUBPARTITION BY ...] [(PARTITION p VALUES ...)]
    static const std::set<std::string> kPartitionWords = {
        "PARTITION", "SUBPARTITION", "BY",       "RANGE",     "LIST",
        "HASH",      "REFERENCE",    "SYSTEM",   "INTERVAL",  "PARTITIONS",
        "STORE",     "IN",           "TEMPLATE", "AUTOMATIC", "SUBPARTITIONS"};
    if (!peek().is("BY"))
      return false;
    while (!atEnd()) {
      if (is("("))
        skipBalanced();
      else if ((cur().kind == Tok::Ident && kPartitionWords.count(cur().text)) ||
               cur().kind == Tok::Number)
        ++FPos;
      else
        break;
    }
  } else if (w == "SEGMENT") {
    ++FPos;
    expect("CREATION", 905);
    if (!accept("IMMEDIATE") && !accept("DEFERRED"))
      error(905);
  } else if (w == "ROW" && peek().is("STORE")) {
    FPos += 2;
    expect("COMPRESS", 905);
  } else if ((w == "ENABLE" || w == "DISABLE") && peek().is("ROW")) {
    FPos += 2;
    expect("MOVEMENT", 905);
  } else if (w == "FOR" && (peek().is("OLTP") || peek().is("QUERY") || peek().is("ARCHIVE"))) {
    FPos += 2;
    if (cur().kind == Tok::Ident && (is("LOW") || is("HIGH")))
      ++FPos;
  } else if (w == "NO" && peek().is("INMEMORY")) {
    FPos += 2;
  } else if (w == "LOB" && peek().is("(")) {
    ++FPos;
    skipBalanced();
    expect("STORE", 905);
    expect("AS", 905);
    while (cur().kind == Tok::Ident && !is("(") && !isKw("TABLESPACE") && !isKw("STORAGE"))
      ++FPos; // [SECUREFILE | BASICFILE] [segment name]
    if (is("("))
      skipBalanced();
  } else if (w == "COMPUTE" && peek().is("STATISTICS")) {
    FPos += 2;
  } else {
    return false;
  }
  return true;
}

// A constraint's state: ENABLE or DISABLE, and from later releases VALIDATE / NOVALIDATE (whether
// the rows already there are checked), RELY, DEFERRABLE, INITIALLY ..., USING INDEX clauses.
void Parser::constraintState(ConstraintClause &c) {
  for (;;) {
    skipStorage();
    if (isKw("ENABLE") || isKw("DISABLE")) {
      c.disabled = cur().text == "DISABLE";
      ++FPos;
    } else if (FModern && (isKw("VALIDATE") || isKw("NOVALIDATE"))) {
      c.noValidate = cur().text == "NOVALIDATE";
      ++FPos;
    } else if (FModern && (isKw("RELY") || isKw("NORELY") || isKw("DEFERRABLE"))) {
      ++FPos;
    } else if (FModern && isKw("NOT") && peek().is("DEFERRABLE")) {
      FPos += 2;
    } else if (FModern && isKw("INITIALLY")) {
      ++FPos;
      if (!accept("IMMEDIATE") && !accept("DEFERRED"))
        error(905);
    } else if (FModern && is("(") && tok(FPos - 1).is("INDEX")) {
      skipBalanced(); // USING INDEX (CREATE INDEX ...)
    } else {
      return;
    }
  }
}

bool Parser::constraintClause(ConstraintClause &c, bool column, const std::string &columnName) {
  c.pos = cur().pos;
  if (isKw("CONSTRAINT")) {
    ++FPos;
    c.name = name(931);
  }
  if (isKw("NOT") && column) {
    ++FPos;
    expect("NULL", 908);
    c.type = 'N';
    c.columns = {columnName};
  } else if (isKw("NULL") && column) {
    ++FPos;
    c.type = 'n';
  } else if (isKw("PRIMARY")) {
    ++FPos;
    expect("KEY", 905);
    c.type = 'P';
    c.columns = column ? std::vector<std::string>{columnName} : nameList();
  } else if (isKw("UNIQUE")) {
    ++FPos;
    c.type = 'U';
    c.columns = column ? std::vector<std::string>{columnName} : nameList();
  } else if (isKw("FOREIGN") && !column) {
    ++FPos;
    expect("KEY", 905);
    c.type = 'R';
    c.columns = nameList();
    if (!isKw("REFERENCES"))
      error(905);
  } else if (isKw("REFERENCES") && column) {
    c.type = 'R';
    c.columns = {columnName};
  } else if (isKw("CHECK")) {
    ++FPos;
    c.type = 'C';
    expect("(", 906);
    int start = cur().pos;
    c.check = condition();
    c.checkText = textBetween(start, prevEnd());
    expect(")", 907);
  } else {
    if (!c.name.empty())
      error(905);
    return false;
  }
  if (c.type == 'R') {
    expect("REFERENCES", 905);
    c.refTable = qualifiedName();
    if (is("("))
      c.refColumns = nameList();
    if (isKw("ON")) {
      ++FPos;
      expect("DELETE", 905);
      expect("CASCADE", 905);
      c.cascade = true;
    }
  }
  constraintState(c);
  return true;
}

ColumnDef Parser::columnDef(bool requireType) {
  ColumnDef d;
  d.pos = cur().pos;
  d.name = name(904);
  bool virtualNext = FModern && (isKw("GENERATED") || (isKw("AS") && peek().is("(")));
  if (!virtualNext &&
      (requireType || (cur().kind == Tok::Ident && !isKw("DEFAULT") && !isKw("NOT") &&
                       !isKw("NULL") && !isKw("CONSTRAINT") && !isKw("PRIMARY") &&
                       !isKw("UNIQUE") && !isKw("REFERENCES") && !isKw("CHECK")))) {
    d.info = dataType();
  } else {
    d.haveType = false;
  }
  d.info.name = d.name;
  if (FModern && (isKw("GENERATED") || (isKw("AS") && peek().is("("))))
    identityClause(d);
  if (isKw("DEFAULT")) {
    if (d.identity) // an identity column's default is its sequence
      error(907);
    ++FPos;
    // DEFAULT ON NULL: an explicit NULL takes the default too.
    if (FModern && isKw("ON") && peek().is("NULL")) {
      FPos += 2;
      d.info.generated = "ON NULL";
    }
    int start = cur().pos;
    d.defaultExpr = expr();
    d.defaultText = textBetween(start, prevEnd());
  }
  while (true) {
    ConstraintClause c;
    if (!constraintClause(c, true, d.name))
      break;
    d.constraints.push_back(std::move(c));
  }
  return d;
}

std::unique_ptr<Statement> Parser::createTable(int pos) {
  auto s = std::make_unique<CreateTableStmt>();
  s->pos = pos;
  s->name = qualifiedName();
  if (FModern && isKw("OF"))
    throw oraErrorText(3001, "unimplemented feature (object tables)", tok(FPos).pos);
  if (is("(")) {
    ++FPos;
    do {
      ConstraintClause c;
      if (isKw("CONSTRAINT") || isKw("PRIMARY") || isKw("UNIQUE") || isKw("FOREIGN") ||
          isKw("CHECK")) {
        constraintClause(c, false, "");
        s->constraints.push_back(std::move(c));
      } else {
        s->columns.push_back(columnDef(!peek().is(",") && !peek().is(")")));
      }
    } while (accept(","));
    expect(")", 907);
  }
  skipStorage();
  // ON COMMIT DELETE | PRESERVE ROWS (of a temporary table; checked by the caller).
  if (FModern && isKw("ON") && peek().is("COMMIT")) {
    FPos += 2;
    if (!isKw("DELETE") && !isKw("PRESERVE"))
      error(905);
    s->preserveRows = isKw("PRESERVE");
    ++FPos;
    expect("ROWS", 905);
    s->onCommit = true;
    skipStorage();
  }
  if (accept("AS")) {
    if (!queryStarts() && !is("("))
      error(928);
    s->asQuery = select();
  } else if (s->columns.empty()) {
    error(906);
  }
  for (auto &c : s->columns)
    if (!c.haveType && !c.virtualExpr && !s->asQuery)
      error(902, tok(FPos - 1));
  return s;
}

std::unique_ptr<Statement> Parser::createView(int pos, bool orReplace) {
  auto s = std::make_unique<CreateViewStmt>();
  s->pos = pos;
  s->orReplace = orReplace;
  s->name = qualifiedName();
  if (is("("))
    s->columns = nameList();
  expect("AS", 905);
  int start = cur().pos;
  if (!queryStarts() && !is("("))
    error(928);
  s->query = select();
  s->queryText = textBetween(start, prevEnd());
  if (isKw("WITH")) {
    ++FPos;
    if (accept("READ")) {
      expect("ONLY", 905);
      s->readOnly = true;
    } else if (accept("CHECK")) {
      expect("OPTION", 905);
      s->checkOption = true;
      if (accept("CONSTRAINT"))
        name(931);
    } else {
      error(905);
    }
  }
  return s;
}

std::unique_ptr<Statement> Parser::createIndex(int pos, bool unique) {
  auto s = std::make_unique<CreateIndexStmt>();
  s->pos = pos;
  s->unique = unique;
  s->name = qualifiedName(931);
  expect("ON", 969);
  s->namePos = cur().pos;
  s->table = qualifiedName();
  expect("(", 906);
  do {
    // Later releases index expressions (UPPER(ename)) as well as columns.
    bool column = (cur().kind == Tok::Ident || cur().kind == Tok::QuotedIdent) &&
                  (peek().is(",") || peek().is(")") || peek().is("ASC") || peek().is("DESC"));
    if (FModern && !column) {
      int start = cur().pos;
      s->expressions.resize(s->columns.size());
      s->expressions.push_back(expr());
      s->columns.push_back(textBetween(start, prevEnd()));
    } else {
      s->columns.push_back(name(904));
    }
    bool desc = false;
    if (accept("DESC"))
      desc = true;
    else
      accept("ASC");
    s->desc.push_back(desc);
  } while (accept(","));
  expect(")", 907);
  skipStorage();
  return s;
}

// GENERATED [ALWAYS | BY DEFAULT [ON NULL]] AS IDENTITY [(sequence options)].
void Parser::identityClause(ColumnDef &d) {
  if (isKw("AS")) {
    virtualColumn(d);
    return;
  }
  ++FPos; // GENERATED
  if (isKw("ALWAYS") && peek().is("AS") && peek(2).is("(")) {
    ++FPos;
    virtualColumn(d);
    return;
  }
  if (accept("ALWAYS")) {
    d.info.generated = "ALWAYS";
  } else {
    expect("BY", 924);
    expect("DEFAULT", 905);
    d.info.generated = "BY DEFAULT";
    if (accept("ON")) {
      expect("NULL", 905);
      d.info.generated += " ON NULL";
    }
  }
  expect("AS", 905);
  expect("IDENTITY", 905);
  d.identity = true;
  if (accept("(")) {
    sequenceOptions(d.identityOptions, StmtKind::CreateSequence);
    expect(")", 907);
  }
}

// AS (expr) [VIRTUAL]: a column computed from the row's other columns whenever it is read.
void Parser::virtualColumn(ColumnDef &d) {
  expect("AS", 905);
  expect("(", 906);
  int start = cur().pos;
  d.virtualExpr = expr();
  d.defaultText = textBetween(start, prevEnd());
  expect(")", 907);
  accept("VIRTUAL");
  d.info.generated = "VIRTUAL";
}

std::unique_ptr<Statement> Parser::sequence(int pos, StmtKind kind) {
  auto s = std::make_unique<SequenceStmt>(kind);
  s->pos = pos;
  s->name = qualifiedName(931);
  sequenceOptions(s->options, kind);
  return s;
}

void Parser::sequenceOptions(SequenceOptions &o, StmtKind kind) {
  while (cur().kind == Tok::Ident) {
    const std::string w = cur().text;
    ++FPos;
    if (w == "INCREMENT") {
      expect("BY", 924);
      o.increment = numberValue();
      o.haveIncrement = true;
      if (o.increment == 0)
        throw oraErrorText(4002, "INCREMENT must be a non-zero integer", tok(FPos - 1).pos);
    } else if (w == "START") {
      if (kind == StmtKind::AlterSequence)
        throw oraErrorText(2283, "cannot alter starting sequence number", tok(FPos - 1).pos);
      expect("WITH", 905);
      o.start = numberValue();
      o.haveStart = true;
    } else if (w == "MAXVALUE") {
      o.maxValue = numberValue();
      o.haveMax = true;
    } else if (w == "MINVALUE") {
      o.minValue = numberValue();
      o.haveMin = true;
    } else if (w == "NOMAXVALUE") {
      o.noMax = true;
    } else if (w == "NOMINVALUE") {
      o.noMin = true;
    } else if (w == "CYCLE" || w == "NOCYCLE") {
      o.haveCycle = true;
      o.cycle = w == "CYCLE";
    } else if (w == "CACHE") {
      o.cache = static_cast<long>(numberValue());
      o.haveCache = true;
    } else if (w == "NOCACHE") {
      o.cache = 0;
      o.haveCache = true;
    } else if (w == "ORDER" || w == "NOORDER") {
      o.haveOrder = true;
      o.order = w == "ORDER";
    } else {
      error(933, tok(FPos - 1));
    }
  }
}

std::unique_ptr<Statement> Parser::create() {
  int pos = cur().pos;
  ++FPos;
  bool orReplace = false;
  if (isKw("OR")) {
    ++FPos;
    expect("REPLACE", 922);
    orReplace = true;
  }
  if (isKw("FORCE") || isKw("NOFORCE")) {
    ++FPos;
    if (!isKw("VIEW"))
      error(901);
  }
  if (isKw("PROCEDURE") || isKw("FUNCTION") || isKw("PACKAGE") || isKw("TRIGGER"))
    throw oraErrorText(3001, "unimplemented feature (PL/SQL units)", cur().pos);
  if (FModern && isKw("MATERIALIZED"))
    refuseMaterializedViews();
  if (orReplace && !isKw("VIEW") && !isKw("SYNONYM") && !isKw("PUBLIC"))
    error(922);
  if (FModern && !orReplace && isKw("GLOBAL") && peek().is("TEMPORARY") && peek(2).is("TABLE")) {
    FPos += 3;
    auto s = createTable(pos);
    static_cast<CreateTableStmt &>(*s).temporary = true;
    return s;
  }
  if (accept("TABLE")) {
    auto s = createTable(pos);
    if (static_cast<CreateTableStmt &>(*s).onCommit)
      throw oraError(922, pos); // only a temporary table's rows go at commit
    return s;
  }
  if (accept("VIEW"))
    return createView(pos, orReplace);
  if (FModern && isKw("BITMAP") && peek().is("INDEX")) // a bitmap index is an index here
    ++FPos;
  if (accept("INDEX"))
    return createIndex(pos, false);
  if (isKw("UNIQUE")) {
    ++FPos;
    expect("INDEX", 901);
    return createIndex(pos, true);
  }
  if (isKw("SEQUENCE")) {
    ++FPos;
    return sequence(pos, StmtKind::CreateSequence);
  }
  if (isKw("PUBLIC") || isKw("SYNONYM")) {
    auto s = std::make_unique<CreateSynonymStmt>();
    s->pos = pos;
    s->orReplace = orReplace;
    if (accept("PUBLIC"))
      s->isPublic = true;
    expect("SYNONYM", 901);
    s->name = qualifiedName(931);
    expect("FOR", 905);
    s->target = qualifiedName(931);
    return s;
  }
  if (isKw("USER")) {
    ++FPos;
    auto s = std::make_unique<UserStmt>(StmtKind::CreateUser);
    s->pos = pos;
    s->name = name(931);
    expect("IDENTIFIED", 905);
    expect("BY", 924);
    if (cur().kind != Tok::Ident && cur().kind != Tok::QuotedIdent)
      error(988);
    s->password = tok(FPos++).text;
    while (cur().kind == Tok::Ident) {
      std::string w = cur().text;
      ++FPos;
      if (w == "DEFAULT" || w == "TEMPORARY") {
        expect("TABLESPACE", 905);
        name(931);
      } else if (w == "QUOTA") {
        if (!accept("UNLIMITED")) {
          integer();
          if (cur().kind == Tok::Ident && (cur().text == "K" || cur().text == "M"))
            ++FPos;
        }
        expect("ON", 969);
        name(931);
      } else if (w == "PROFILE") {
        name(931);
      } else {
        error(922, tok(FPos - 1));
      }
    }
    return s;
  }
  static const std::set<std::string> kOther = {"ROLE",        "SCHEMA",     "CLUSTER", "DATABASE",
                                               "ROLLBACK",    "TABLESPACE", "PROFILE", "SNAPSHOT",
                                               "CONTROLFILE", "EXTERNAL"};
  if (cur().kind == Tok::Ident && kOther.count(cur().text))
    throw oraErrorText(3001, "unimplemented feature (CREATE " + cur().text + ")", cur().pos);
  error(901);
}

std::unique_ptr<Statement> Parser::drop() {
  int pos = cur().pos;
  ++FPos;
  if (isKw("USER")) {
    ++FPos;
    auto s = std::make_unique<UserStmt>(StmtKind::DropUser);
    s->pos = pos;
    s->name = name(931);
    if (accept("CASCADE"))
      s->cascade = true;
    return s;
  }
  auto s = std::make_unique<DropStmt>();
  s->pos = pos;
  if (accept("PUBLIC")) {
    s->isPublic = true;
    if (!isKw("SYNONYM"))
      error(950);
  }
  if (isKw("PROCEDURE") || isKw("FUNCTION") || isKw("PACKAGE") || isKw("TRIGGER"))
    throw oraErrorText(3001, "unimplemented feature (PL/SQL units)", cur().pos);
  if (FModern && isKw("MATERIALIZED"))
    refuseMaterializedViews();
  if (!(isKw("TABLE") || isKw("VIEW") || isKw("INDEX") || isKw("SEQUENCE") || isKw("SYNONYM")))
    error(950);
  s->objectType = cur().text;
  ++FPos;
  s->namePos = cur().pos;
  s->name = qualifiedName(931);
  if (s->objectType == "TABLE" && isKw("CASCADE")) {
    ++FPos;
    expect("CONSTRAINTS", 905);
    s->cascade = true;
  }
  // Later releases keep dropped tables in a recycle bin unless told to PURGE; there is none here.
  if (FModern && s->objectType == "TABLE")
    accept("PURGE");
  return s;
}

std::unique_ptr<Statement> Parser::alterTable(int pos) {
  auto s = std::make_unique<AlterTableStmt>();
  s->pos = pos;
  s->namePos = cur().pos;
  s->name = qualifiedName();
  auto keySpec = [&](AlterTableStmt &st) {
    if (accept("CONSTRAINT")) {
      st.constraintName = name(931);
    } else if (isKw("PRIMARY")) {
      ++FPos;
      expect("KEY", 905);
      st.keyType = 'P';
    } else if (isKw("UNIQUE")) {
      ++FPos;
      st.keyType = 'U';
      st.keyColumns = nameList();
    } else {
      error(905);
    }
    if (accept("CASCADE"))
      st.cascade = true;
    // What becomes of a key's index: there is always one, and it goes with the key.
    if (FModern && (isKw("DROP") || isKw("KEEP")) && peek().is("INDEX"))
      FPos += 2;
  };
  if (isKw("ADD") || isKw("MODIFY")) {
    bool add = cur().text == "ADD";
    s->action = add ? "ADD" : "MODIFY";
    ++FPos;
    bool paren = accept("(");
    do {
      if (isKw("CONSTRAINT") || isKw("PRIMARY") || isKw("UNIQUE") || isKw("FOREIGN") ||
          isKw("CHECK")) {
        if (!add)
          error(904);
        ConstraintClause c;
        constraintClause(c, false, "");
        s->constraints.push_back(std::move(c));
      } else {
        s->columns.push_back(columnDef(add));
      }
    } while (paren && accept(","));
    if (paren)
      expect(")", 907);
    skipStorage();
  } else if (FModern && ((isKw("DROP") && (peek().is("COLUMN") || peek().is("("))) ||
                         (isKw("SET") && peek().is("UNUSED")))) {
    // DROP COLUMN c / DROP (c, ...) / SET UNUSED ...: nothing keeps an unused column here, so
    // both drop it.
    FPos += isKw("SET") ? 2 : 1;
    s->action = "DROP_COLUMNS";
    if (accept("COLUMN")) {
      s->keyColumns.push_back(name(904));
    } else {
      s->keyColumns = nameList();
    }
    while (isKw("CASCADE") || isKw("INVALIDATE") || isKw("CHECKPOINT") || isKw("ONLINE")) {
      if (accept("CASCADE")) {
        expect("CONSTRAINTS", 905);
        s->cascade = true;
      } else if (accept("CHECKPOINT")) {
        if (cur().kind == Tok::Number)
          ++FPos;
      } else {
        ++FPos;
      }
    }
  } else if (FModern && isKw("DROP") && (peek().is("UNUSED") || peek().is("COLUMNS"))) {
    FPos += 2; // DROP UNUSED COLUMNS / DROP COLUMNS CONTINUE: none are kept
    accept("COLUMNS");
    accept("CONTINUE");
    s->action = "NONE";
  } else if (FModern && isKw("RENAME") && peek().is("COLUMN")) {
    FPos += 2;
    s->action = "RENAME_COLUMN";
    s->keyColumns.push_back(name(904));
    expect("TO", 905);
    s->keyColumns.push_back(name(904));
  } else if (isKw("DROP")) {
    ++FPos;
    if (isKw("COLUMN"))
      throw oraErrorText(3001, "unimplemented feature (DROP COLUMN)", cur().pos);
    s->action = "DROP";
    keySpec(*s);
  } else if (isKw("ENABLE") || isKw("DISABLE")) {
    s->action = cur().text;
    ++FPos;
    keySpec(*s);
  } else {
    skipStorage();
    if (!atEnd())
      error(1735);
    s->action = "NONE";
  }
  return s;
}

std::unique_ptr<Statement> Parser::alter() {
  int pos = cur().pos;
  ++FPos;
  if (accept("TABLE"))
    return alterTable(pos);
  if (isKw("SEQUENCE")) {
    ++FPos;
    return sequence(pos, StmtKind::AlterSequence);
  }
  if (isKw("USER")) {
    ++FPos;
    auto s = std::make_unique<UserStmt>(StmtKind::AlterUser);
    s->pos = pos;
    s->name = name(931);
    if (accept("IDENTIFIED")) {
      expect("BY", 924);
      if (cur().kind != Tok::Ident && cur().kind != Tok::QuotedIdent)
        error(988);
      s->password = tok(FPos++).text;
    }
    while (cur().kind == Tok::Ident) {
      std::string w = cur().text;
      ++FPos;
      if (w == "DEFAULT" || w == "TEMPORARY") {
        expect("TABLESPACE", 905);
        name(931);
      } else if (w == "QUOTA") {
        if (!accept("UNLIMITED"))
          integer();
        expect("ON", 969);
        name(931);
      } else if (w == "PROFILE") {
        name(931);
      } else {
        error(922, tok(FPos - 1));
      }
    }
    return s;
  }
  if (isKw("SESSION") || (isKw("SYSTEM") && peek().is("SET"))) {
    // ALTER SYSTEM SET p = v [SCOPE = ...]: the server's parameters, read as the session's are.
    bool system = isKw("SYSTEM");
    ++FPos;
    expect("SET", 922);
    auto s = std::make_unique<AlterSessionStmt>();
    s->pos = pos;
    s->system = system;
    do {
      if (cur().kind != Tok::Ident)
        error(922);
      s->positions.push_back(cur().pos);
      std::string param = tok(FPos++).text;
      expect("=", 922);
      if (cur().kind == Tok::End)
        error(922);
      s->settings.push_back({param, tok(FPos++).text});
    } while (cur().kind == Tok::Ident);
    return s;
  }
  if (isKw("INDEX")) {
    ++FPos;
    qualifiedName(931);
    skipStorage();
    if (isKw("REBUILD"))
      ++FPos;
    skipStorage();
    return std::make_unique<Statement>(StmtKind::NoOp);
  }
  if (cur().kind == Tok::Ident)
    throw oraErrorText(3001, "unimplemented feature (ALTER " + cur().text + ")", cur().pos);
  error(900);
}

std::unique_ptr<Statement> Parser::grant(bool isGrant) {
  int start = cur().pos;
  auto s = std::make_unique<GrantStmt>(isGrant ? StmtKind::Grant : StmtKind::Revoke);
  ++FPos;
  do {
    std::string p;
    std::vector<std::string> columns;
    while (cur().kind == Tok::Ident && !isKw("ON") && !isKw("TO") && !isKw("FROM")) {
      p += (p.empty() ? "" : " ") + cur().text;
      ++FPos;
      if (accept("(")) { // the columns of an INSERT / UPDATE / REFERENCES privilege
        do
          columns.push_back(name(904));
        while (accept(","));
        expect(")", 907);
      }
    }
    if (p.empty())
      error(905);
    s->privileges.push_back(p);
    s->privilegeColumns.push_back(std::move(columns));
  } while (accept(","));
  if (accept("ON"))
    s->object = qualifiedName();
  if (!(accept(isGrant ? "TO" : "FROM")))
    error(905);
  do {
    if (cur().kind != Tok::Ident && cur().kind != Tok::QuotedIdent)
      error(931);
    s->grantees.push_back(cur().text);
    ++FPos;
  } while (accept(","));
  if (isGrant && isKw("WITH")) {
    ++FPos;
    if (!(accept("GRANT") || accept("ADMIN")))
      error(905);
    expect("OPTION", 905);
    s->withOption = true;
  }
  if (!isGrant && isKw("CASCADE")) {
    ++FPos;
    expect("CONSTRAINTS", 905);
  }
  s->text = textBetween(start, prevEnd());
  return s;
}

} // namespace

bool isReserved(const std::string &word) { return kReserved.count(word) != 0; }

std::unique_ptr<Statement> parseStatement(const std::string &text, bool modern) {
  Parser p(text, modern);
  p.FOwnText = true;
  auto s = p.statement();
  s->literals = std::move(p.FLiterals);
  return s;
}

std::unique_ptr<Select> parseQuery(const std::string &text) {
  Parser p(text);
  return p.queryOnly();
}

ExprPtr parseCondition(const std::string &text) {
  Parser p(text);
  return p.conditionOnly();
}

} // namespace localdb
