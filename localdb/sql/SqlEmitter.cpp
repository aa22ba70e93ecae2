// The SQLite emitter: bound tree to SQLite text, conversions made explicit by type.
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlFunctions.h"

#include <algorithm>
#include <cstdlib>
#include <set>

#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"

namespace localdb {

namespace {

// The stored name of a column: a view changed through DML names the base table's column.
std::string storedName(const BoundTable &t, const std::string &column) {
  if (!t.baseColumns.empty())
    for (size_t i = 0; i < t.columns.size(); ++i)
      if (t.columns[i].name == column && !t.baseColumns[i].empty())
        return t.baseColumns[i];
  return column;
}

std::string join(const std::vector<std::string> &parts, const char *sep) {
  std::string s;
  for (size_t i = 0; i < parts.size(); ++i)
    s += (i ? sep : "") + parts[i];
  return s;
}

bool isRaw(SqlType t) { return t == SqlType::Raw || t == SqlType::LongRaw || t == SqlType::Blob; }

// No column, ROWNUM, LEVEL or group function: the same value on every row.
bool isConstant(const Expr &e) {
  if (e.kind == ExprKind::Column || e.kind == ExprKind::Pseudo || e.aggregate || e.query)
    return false;
  for (auto &a : e.args)
    if (!isConstant(*a))
      return false;
  return true;
}

bool hasSubquery(const Expr &e) {
  if (e.query)
    return true;
  for (auto &a : e.args)
    if (hasSubquery(*a))
      return true;
  return false;
}

bool hasAggregate(const Expr &e) {
  if (e.aggregate)
    return true;
  for (auto &a : e.args)
    if (hasAggregate(*a))
      return true;
  return false;
}

const char *flip(const std::string &op) {
  if (op == "<")
    return ">";
  if (op == ">")
    return "<";
  if (op == "<=")
    return ">=";
  if (op == ">=")
    return "<=";
  return op == "=" ? "=" : "<>";
}

} // namespace

Emitter::Emitter(std::vector<std::string> bindNames, std::string user)
    : FBindNames(std::move(bindNames)), FUser(std::move(user)) {}

// A number written in the statement, as the server stores numbers: an int64 as itself, any
// other value as the blob of its Oracle bytes.
std::string Emitter::numberLiteral(const std::string &text) {
  auto n = parseNumber(text);
  if (!n)
    return "NULL";
  if (n->isInt)
    return std::to_string(n->i);
  unsigned char b[22];
  int len = numberToBytes(*n, b);
  return "x'" + hexText(b, static_cast<size_t>(len)) + "'";
}

// The parameter a literal of the statement's text is read from (0-based), or -1: written in.
int Emitter::literalParam(const Expr &e) const {
  if (!FLiterals || !e.literal)
    return -1;
  auto it = std::lower_bound(FLiterals->begin(), FLiterals->end(), e.pos,
                             [](const ShapeLiteral &l, int pos) { return l.pos < pos; });
  if (it == FLiterals->end() || it->pos != e.pos || it->number != (e.kind == ExprKind::Number) ||
      it->text != e.text)
    return -1;
  return static_cast<int>(it - FLiterals->begin());
}

// Numbers that are always SQLite integers (never a blob), so SQLite's own ordering of them is
// the numbers' order: whole literals, integer columns of up to 18 digits, ROWNUM, LEVEL, counts.
// A number parameter is whole for every text of its shape (the shape tells whole numbers from
// others); a string parameter may hold any number.
bool Emitter::wholeOnly(const Expr &e) const {
  switch (e.kind) {
  case ExprKind::Number:
  case ExprKind::String: {
    if (e.kind == ExprKind::String && literalParam(e) >= 0)
      return false;
    auto n = parseNumber(e.text);
    return n && n->isInt;
  }
  case ExprKind::Column:
    return e.type.type == SqlType::Number && e.type.precision > 0 && e.type.precision <= 18 &&
           (e.type.scale == 0 || e.type.scale == kNoScale);
  case ExprKind::Pseudo:
    return e.type.type == SqlType::Number;
  case ExprKind::Function:
    return e.aggregate && (e.star || e.names[0] == "COUNT");
  default:
    return false;
  }
}

namespace {
bool ordering(const std::string &op) { return op != "=" && op != "<>" && op != "!="; }
} // namespace

// SQLite orders every integer before every blob; numbers that may be either are compared and
// sorted by their Oracle bytes (ora_nkey), which order as the numbers do.
bool Emitter::keyed(const Expr &e) const { return e.type.type == SqlType::Number && !wholeOnly(e); }

std::string Emitter::numberKey(const std::string &sql) { return "ora_nkey(" + sql + ")"; }

std::string Emitter::bindParam(const std::string &name) const {
  auto it = std::find(FBindNames.begin(), FBindNames.end(), name);
  return "?" + std::to_string((it - FBindNames.begin()) + 1);
}

std::string Emitter::counterParam(int counter) const {
  size_t literals = FLiterals ? FLiterals->size() : 0;
  return "?" + std::to_string(FBindNames.size() + literals + static_cast<size_t>(counter) + 1);
}

// Timestamps and intervals convert in one function that knows every pair (ora_dtconv), with the
// target's precisions where they matter (-1: none). TIMESTAMP WITH LOCAL TIME ZONE is stored as
// TIMESTAMP is (the session's zone is the server's).
std::string Emitter::datetimeConvert(const std::string &s, SqlType from, SqlType to, int leading,
                                     int fraction) {
  const SqlType target = isCharType(to) ? SqlType::Varchar2 : to;
  return "ora_dtconv(" + s + "," + std::to_string(static_cast<int>(from)) + "," +
         std::to_string(static_cast<int>(target)) + "," + std::to_string(leading) + "," +
         std::to_string(fraction) + ")";
}

std::string Emitter::convert(const std::string &s, SqlType from, SqlType to) {
  if (to == SqlType::Unknown || from == to || s == "NULL")
    return s;
  const bool plainTimestamps = (from == SqlType::Timestamp || from == SqlType::TimestampLtz) &&
                               (to == SqlType::Timestamp || to == SqlType::TimestampLtz);
  if (plainTimestamps)
    return s;
  if (isTimestampType(to) || isIntervalType(to) || isTimestampType(from) || isIntervalType(from))
    return datetimeConvert(s, from, to, -1, -1);
  switch (to) {
  case SqlType::Number:
    return "ora_num(" + s + ")";
  case SqlType::Date:
    return "ora_date(" + s + ")";
  case SqlType::Varchar2:
  case SqlType::Char:
  case SqlType::Long:
  case SqlType::Clob:
    if (isCharType(from))
      return s;
    if (from == SqlType::Number)
      return "ora_ntoc(" + s + ")";
    if (from == SqlType::Date)
      return "ora_dtoc(" + s + ")";
    if (isRaw(from))
      return "ora_rawtohex(" + s + ")";
    if (from == SqlType::Rowid)
      return "ora_rowidtochar(" + s + ")";
    return s;
  case SqlType::Raw:
  case SqlType::LongRaw:
  case SqlType::Blob:
    if (isRaw(from))
      return s;
    return "ora_hextoraw(" + s + ")";
  case SqlType::Rowid:
    return "ora_chartorowid(" + s + ")";
  default:
    return s;
  }
}

std::string Emitter::conv(const Expr &e, SqlType to) {
  // A timestamp or interval as text shows the digits of its own type.
  if ((isTimestampType(e.type.type) || isIntervalType(e.type.type)) && isCharType(to) &&
      to != SqlType::Unknown)
    return datetimeConvert(expr(e), e.type.type, to, e.type.precision < 0 ? 2 : e.type.precision,
                           e.type.scale == kNoScale ? 6 : e.type.scale);
  // Literals convert now rather than per row, unless they are parameters.
  if (literalParam(e) >= 0)
    return convert(expr(e), e.type.type, to);
  if (to == SqlType::Number && e.kind == ExprKind::String && parseNumber(e.text))
    return numberLiteral(e.text);
  if (isCharType(to) && e.kind == ExprKind::Number) {
    if (auto n = parseNumber(e.text))
      return quoteText(formatNumber(*n));
  }
  return convert(expr(e), e.type.type, to);
}

std::string Emitter::store(const std::string &sql, const TypeInfo &from, const ColumnInfo &c) {
  switch (c.type) {
  case SqlType::Number: {
    // ora_colnum reads text itself, so a character value needs no ora_num first.
    bool fits = c.precision >= 0 || c.scale != kNoScale;
    std::string v = fits && isCharType(from.type) ? sql : convert(sql, from.type, SqlType::Number);
    if (fits)
      return "ora_colnum(" + v + "," + std::to_string(c.precision) + "," + std::to_string(c.scale) +
             ")";
    return v;
  }
  case SqlType::Varchar2:
    return "ora_colchar(" + convert(sql, from.type, SqlType::Varchar2) + "," +
           std::to_string(c.length) + ")";
  case SqlType::Char:
    return "ora_colcharpad(" + convert(sql, from.type, SqlType::Varchar2) + "," +
           std::to_string(c.length) + ")";
  case SqlType::Raw:
    return "ora_colraw(" + convert(sql, from.type, SqlType::Raw) + "," + std::to_string(c.length) +
           ")";
  case SqlType::Date:
    return convert(sql, from.type, SqlType::Date);
  case SqlType::Long:
    return "ora_colchar(" + convert(sql, from.type, SqlType::Varchar2) + ",0)";
  case SqlType::LongRaw:
    return convert(sql, from.type, SqlType::Raw);
  case SqlType::Blob: // PL/SQL gives a BLOB's bytes as a string: kept as a blob
    return "CAST(" + convert(sql, from.type, SqlType::Raw) + " AS BLOB)";
  case SqlType::Clob: // no bound; an empty CLOB stays one
    return convert(sql, from.type, SqlType::Clob);
  case SqlType::Rowid:
    return convert(sql, from.type, SqlType::Rowid);
  case SqlType::Timestamp:
  case SqlType::TimestampTz:
  case SqlType::TimestampLtz:
  case SqlType::IntervalYM:
  case SqlType::IntervalDS:
    // Fractions rounded to the column's digits, intervals checked against its leading precision.
    return datetimeConvert(sql, from.type, c.type, c.precision, c.scale);
  default:
    return sql;
  }
}

std::string Emitter::scalar(const Select &q, int column) {
  // A scalar subquery yields one row at most (ORA-01427 otherwise).
  std::string c = "\"c" + std::to_string(column + 1) + "\"";
  return "(SELECT CASE WHEN count(*) > 1 THEN ora_error(1427) ELSE max(" + c +
         ") END FROM (SELECT " + c + " FROM (" + selectText(q, false) + ") LIMIT 2))";
}

std::string Emitter::expr(const Expr &e) {
  if (int k = literalParam(e); k >= 0)
    return "?" + std::to_string(FBindNames.size() + static_cast<size_t>(k) + 1);
  if (FGrouping && e.groupKey >= 0)
    return "CASE WHEN " + groupedBy(static_cast<size_t>(e.groupKey)) + " THEN " + exprBody(e) +
           " END";
  return exprBody(e);
}

// Grouping sets are numbered from 1 by a generated column "gs$".n: each source row is read once
// per set, and the set's number is the first grouping term.
std::string Emitter::groupedBy(size_t k) const {
  std::string in;
  for (size_t i = 0; i < FGrouping->groupingSets.size(); ++i) {
    const auto &set = FGrouping->groupingSets[i];
    if (std::find(set.begin(), set.end(), k) != set.end())
      in += (in.empty() ? "" : ",") + std::to_string(i + 1);
  }
  return in.empty() ? "0" : "\"gs$\".n IN (" + in + ")";
}

std::string Emitter::groupingCall(const Expr &e) {
  const std::string &name = e.names[0];
  auto grouping = [&](const Expr &a) -> std::string {
    if (!FGrouping || a.groupKey < 0)
      return "0";
    return "CASE WHEN " + groupedBy(static_cast<size_t>(a.groupKey)) + " THEN 0 ELSE 1 END";
  };
  if (name == "GROUPING")
    return grouping(*e.args[0]);
  if (name == "GROUPING_ID") {
    std::string sum;
    for (size_t i = 0; i < e.args.size(); ++i)
      sum += (i ? " + " : "") + grouping(*e.args[i]) + " * " +
             std::to_string(1ull << std::min<size_t>(e.args.size() - 1 - i, 62));
    return "(" + sum + ")";
  }
  // GROUP_ID: how many equal sets came before this one.
  std::string cases;
  const auto &sets = FGrouping ? FGrouping->groupingSets : std::vector<std::vector<size_t>>();
  for (size_t i = 0; i < sets.size(); ++i) {
    std::set<size_t> mine(sets[i].begin(), sets[i].end());
    int before = 0;
    for (size_t j = 0; j < i; ++j)
      before += std::set<size_t>(sets[j].begin(), sets[j].end()) == mine;
    if (before)
      cases += " WHEN " + std::to_string(i + 1) + " THEN " + std::to_string(before);
  }
  return cases.empty() ? "0" : "CASE \"gs$\".n" + cases + " ELSE 0 END";
}

// GROUP BY of a grouping-sets block: per term whether the set has it and its value (so a
// subtotal follows the rows it sums up), then the set.
std::string Emitter::groupingTerms(const QueryBlock &b) {
  std::vector<std::string> g;
  std::vector<bool> seen(b.groupBy.size());
  for (const auto &set : b.groupingSets)
    for (size_t k : set)
      seen[k] = true;
  for (size_t k = 0; k < b.groupBy.size(); ++k)
    if (seen[k]) {
      std::string in = groupedBy(k);
      g.push_back("CASE WHEN " + in + " THEN 0 ELSE 1 END");
      g.push_back("CASE WHEN " + in + " THEN " + sortKey(*b.groupBy[k]) + " END");
    }
  g.push_back("\"gs$\".n");
  return join(g, ", ");
}

std::string Emitter::exprBody(const Expr &e) {
  switch (e.kind) {
  case ExprKind::Null:
    return "NULL";
  case ExprKind::Number:
    return numberLiteral(e.text);
  case ExprKind::String:
    return quoteText(e.text);
  case ExprKind::Bind:
    return bindParam(e.text);
  case ExprKind::Column:
    return columnRef(e);
  case ExprKind::Pseudo:
    return pseudoColumn(e);
  case ExprKind::Sequence:
    return std::string(e.text == "NEXTVAL" ? "ora_nextval(" : "ora_currval(") +
           quoteText(e.names[0]) + "," + quoteText(e.names[1]) + ")";
  case ExprKind::Unary:
    if (isIntervalType(e.type.type)) // months or nanoseconds: an integer's sign
      return e.text == "-" ? "(-" + expr(*e.args[0]) + ")" : expr(*e.args[0]);
    if (e.text == "-")
      return "ora_neg(" + conv(*e.args[0], SqlType::Number) + ")";
    return conv(*e.args[0], SqlType::Number);
  case ExprKind::Binary:
    return binaryOperator(e);
  case ExprKind::Compare:
    return comparison(e);
  case ExprKind::And:
  case ExprKind::Or:
    return logicalChain(e);
  case ExprKind::Not:
    return "(NOT " + expr(*e.args[0]) + ")";
  case ExprKind::IsNull:
    return "(" + expr(*e.args[0]) + (e.negated ? " IS NOT NULL)" : " IS NULL)");
  case ExprKind::Like: {
    std::string s = "(" + conv(*e.args[0], SqlType::Varchar2) + (e.negated ? " NOT" : "") +
                    " LIKE " + conv(*e.args[1], SqlType::Varchar2);
    if (e.args.size() > 2)
      s += " ESCAPE " + conv(*e.args[2], SqlType::Varchar2);
    return s + ")";
  }
  case ExprKind::Between: {
    SqlType t = e.argTargets[0];
    bool byKey = t == SqlType::Number &&
                 !(wholeOnly(*e.args[0]) && wholeOnly(*e.args[1]) && wholeOnly(*e.args[2]));
    auto side = [&](const Expr &x) {
      std::string s = conv(x, t);
      return byKey ? numberKey(s) : s;
    };
    return "(" + side(*e.args[0]) + (e.negated ? " NOT" : "") + " BETWEEN " + side(*e.args[1]) +
           " AND " + side(*e.args[2]) + ")";
  }
  case ExprKind::In:
    return inList(e);
  case ExprKind::Exists:
    return "EXISTS (" + selectText(*e.query, false) + ")";
  case ExprKind::Subquery:
    return scalar(*e.query, 0);
  case ExprKind::List: {
    std::vector<std::string> vs;
    for (auto &a : e.args)
      vs.push_back(expr(*a));
    return "(" + join(vs, ",") + ")";
  }
  case ExprKind::Function:
    return functionCall(e);
  case ExprKind::Prior:
    return expr(*e.args[0]);
  case ExprKind::Case:
    return caseExpr(e);
  case ExprKind::Cast: {
    // Numbers rounded to the scale (ORA-01438 past the precision); text that does not fit is
    // ORA-25137, CHAR padded to its length.
    const TypeInfo &t = e.castTo;
    if (isTimestampType(t.type) || isIntervalType(t.type))
      return datetimeConvert(expr(*e.args[0]), e.args[0]->type.type, t.type, t.precision, t.scale);
    std::string v = conv(*e.args[0], t.type);
    if (t.type == SqlType::Number && t.precision > 0)
      return "ora_colnum(" + v + "," + std::to_string(t.precision) + "," + std::to_string(t.scale) +
             ")";
    if (t.type == SqlType::Varchar2 || t.type == SqlType::Char || t.type == SqlType::Raw)
      return "ora_castchar(" + v + "," + std::to_string(t.length) + "," +
             (t.type == SqlType::Char ? "1" : "0") + ")";
    return v;
  }
  case ExprKind::Star:
    break;
  }
  throw oraError(3001, e.pos);
}

std::string Emitter::columnRef(const Expr &e) {
  if (e.table->hierarchy && FTreePart != TreePart::None) {
    std::string alias = FTreePart == TreePart::Start ? "s$" : e.prior ? "\"h$\"" : "c$";
    if (e.isRowid)
      return alias + (e.prior ? ".\"$rid\"" : ".rowid");
    return alias + "." + quoteIdent(e.column);
  }
  // SQLite's RETURNING knows the changed table by no alias (a view's WHERE reads it by the
  // table's own alias, which the view's table shares).
  if (FReturning && e.table->sqlAlias == FReturning->sqlAlias)
    return e.isRowid ? "rowid" : quoteIdent(storedName(*e.table, e.column));
  if (e.isRowid)
    return e.table->sqlAlias + (e.table->hierarchy ? ".\"$rid\"" : ".rowid");
  return e.table->sqlAlias + "." + quoteIdent(storedName(*e.table, e.column));
}

std::string Emitter::returning(const Returning &r, const BoundTable &t, bool checked) {
  // A view WITH CHECK OPTION: a row the change takes out of the view fails the statement (an
  // unknown condition as a false one), checked as SQLite changes each row.
  bool check = checked && t.checkOption && t.viewWhere;
  if (r.exprs.empty() && !check)
    return "";
  FReturning = &t;
  std::vector<std::string> items;
  for (const auto &e : r.exprs)
    items.push_back(expr(*e));
  if (check)
    items.push_back("CASE WHEN " + expr(*t.viewWhere) + " THEN 1 ELSE ora_error(1402) END");
  FReturning = nullptr;
  return " RETURNING " + join(items, ", ");
}

std::string Emitter::pseudoColumn(const Expr &e) {
  if (e.text == "SYSDATE")
    return "ora_sysdate()";
  if (e.text == "USER")
    return quoteText(FUser);
  if (e.text == "UID")
    return "(SELECT user_id FROM ora_users WHERE username = " + quoteText(FUser) + ")";
  if (e.text == "ROWNUM") {
    if (e.counter < 0) // every ROWNUM the binder allows has its counter
      throw oraErrorText(3001, "unimplemented feature (this use of ROWNUM)", e.pos);
    return (e.counts ? "ora_rownum_next(" : "ora_rownum_get(") + counterParam(e.counter) + ")";
  }
  if (e.text == "LEVEL") {
    if (FTreePart == TreePart::Start)
      return "1";
    if (FTreePart == TreePart::Connect)
      return "(\"h$\".\"$level\" + 1)";
    return e.table->sqlAlias + ".\"$level\"";
  }
  return "NULL";
}

std::string Emitter::binaryOperator(const Expr &e) {
  if (e.text == "||") {
    // A chain a || b || c is one call, so long chains do not nest in the SQLite text.
    std::vector<const Expr *> parts;
    const Expr *x = &e;
    while (x->kind == ExprKind::Binary && x->text == "||") {
      parts.push_back(x->args[1].get());
      x = x->args[0].get();
    }
    parts.push_back(x);
    // SQLite takes at most 127 arguments: each call holds 100 and the next call's first.
    std::string s = conv(*parts.back(), SqlType::Varchar2);
    for (size_t i = parts.size() - 1; i > 0;) {
      std::string call = "ora_concat(" + s;
      for (size_t k = 0; k < 100 && i > 0; ++k)
        call += "," + conv(*parts[--i], SqlType::Varchar2);
      s = call + ")";
    }
    return s;
  }
  std::string a = conv(*e.args[0], e.argTargets[0]), b = conv(*e.args[1], e.argTargets[1]);
  if (e.sqlName == "ora_dt_arith")
    return "ora_dt_arith('" + e.text + "'," + a + "," +
           std::to_string(static_cast<int>(e.argTargets[0])) + "," + b + "," +
           std::to_string(static_cast<int>(e.argTargets[1])) + "," +
           std::to_string(static_cast<int>(e.type.type)) + ")";
  if (e.sqlName == "ora_date_diff")
    return "ora_date_diff(" + a + "," + b + ")";
  if (e.sqlName == "ora_date_add") {
    if (e.argTargets[0] == SqlType::Date)
      return "ora_date_add(" + a + "," + (e.text == "-" ? "-(" + b + ")" : b) + ")";
    return "ora_date_add(" + b + "," + a + ")";
  }
  if (e.text == "/")
    return "ora_div(" + a + "," + b + ")";
  // Decimal-looking results: exact integers, doubles rounded to the digits they print with.
  return std::string(e.text == "+"   ? "ora_add("
                     : e.text == "-" ? "ora_sub("
                                     : "ora_mul(") +
         a + "," + b + ")";
}

std::string Emitter::comparison(const Expr &e) {
  SqlType t = e.argTargets.empty() ? SqlType::Unknown : e.argTargets[0];
  bool byKey = false;
  if (t == SqlType::Number && ordering(e.text)) {
    for (auto &x : e.args)
      byKey |= !wholeOnly(*x);
    if (e.query)
      byKey |= keyed(*e.query->columns[0]->expr) || !wholeOnly(*e.query->columns[0]->expr);
  }
  std::string a = conv(*e.args[0], t);
  auto side = [&](const Expr &x) {
    std::string s = conv(x, t);
    if (byKey)
      return numberKey(s);
    if (t == SqlType::TimestampTz) // the UTC time decides, whatever the zones
      return "substr(" + s + ",1,29)";
    return t == SqlType::Char ? "rtrim(" + s + ",' ')" : s;
  };
  if (t == SqlType::Char)
    a = "rtrim(" + a + ",' ')";
  if (t == SqlType::TimestampTz)
    a = "substr(" + a + ",1,29)";
  if (byKey)
    a = numberKey(a);
  if (e.query) {
    std::string sub = selectText(*e.query, false);
    std::string c = byKey ? numberKey("\"c1\"") : "\"c1\"";
    if (e.text2.empty())
      return "(" + a + " " + e.text + " " +
             (byKey ? numberKey(scalar(*e.query, 0)) : scalar(*e.query, 0)) + ")";
    if (e.text2 == "ANY" && e.text == "=")
      return "(" + a + " IN (SELECT " + c + " FROM (" + sub + ")))";
    if (e.text2 == "ALL" && e.text == "<>")
      return "(" + a + " NOT IN (SELECT " + c + " FROM (" + sub + ")))";
    if (e.text2 == "ANY")
      return "EXISTS (SELECT 1 FROM (" + sub + ") WHERE " + a + " " + e.text + " " + c + ")";
    // ALL: true over no rows, unknown when a NULL decides nothing else.
    return "(SELECT CASE WHEN count(*) = 0 THEN 1 WHEN sum((" + a + " " + e.text + " " + c +
           ") IS NOT 1 AND " + c + " IS NOT NULL) > 0 THEN 0 WHEN count(*) <> count(" + c +
           ") THEN NULL ELSE 1 END FROM (" + sub + "))";
  }
  if (e.args.size() == 2 && e.text2.empty())
    return "(" + a + " " + e.text + " " + side(*e.args[1]) + ")";
  // op ANY / ALL (list): the left value written once, with the three-valued result Oracle
  // gives (= ANY is IN, <> ALL is NOT IN).
  std::vector<std::string> items;
  for (size_t i = 1; i < e.args.size(); ++i)
    items.push_back("(" + side(*e.args[i]) + ")");
  if (e.text == "=" && e.text2 == "ANY")
    return "(" + a + " IN (" + join(items, ",") + "))";
  if (e.text == "<>" && e.text2 == "ALL")
    return "(" + a + " NOT IN (" + join(items, ",") + "))";
  std::string test =
      "(SELECT (" + a + " " + e.text + " column1) AS x FROM (VALUES " + join(items, ",") + "))";
  if (e.text2 == "ALL")
    return "(SELECT CASE WHEN sum(x = 0) > 0 THEN 0 WHEN sum(x IS NULL) > 0 THEN NULL ELSE 1 "
           "END FROM " +
           test + ")";
  return "(SELECT CASE WHEN sum(x = 1) > 0 THEN 1 WHEN sum(x IS NULL) > 0 THEN NULL ELSE 0 "
         "END FROM " +
         test + ")";
}

std::string Emitter::logicalChain(const Expr &e) {
  // Chains of one operator are written flat.
  std::vector<const Expr *> parts;
  const Expr *x = &e;
  while (x->kind == e.kind) {
    parts.push_back(x->args[1].get());
    x = x->args[0].get();
  }
  parts.push_back(x);
  std::string s = "(";
  for (size_t i = parts.size(); i-- > 0;)
    s += expr(*parts[i]) + (i ? (e.kind == ExprKind::And ? " AND " : " OR ") : ")");
  return s;
}

std::string Emitter::inList(const Expr &e) {
  const Expr &v = *e.args[0];
  std::string not_ = e.negated ? " NOT" : "";
  if (e.query) {
    std::string sub = selectText(*e.query, false);
    if (v.kind == ExprKind::List) {
      std::vector<std::string> vs;
      for (auto &a : v.args)
        vs.push_back(expr(*a));
      return "((" + join(vs, ",") + ")" + not_ + " IN (" + sub + "))";
    }
    SqlType vt = v.type.type, ct = e.query->columns[0]->expr->type.type;
    if (!sameTypeGroup(vt, ct) || (isCharType(vt) != isCharType(ct))) {
      SqlType t = isCharType(vt) ? ct : vt;
      return "(" + conv(v, t) + not_ + " IN (SELECT " + convert("\"c1\"", ct, t) + " FROM (" + sub +
             ")))";
    }
    return "(" + expr(v) + not_ + " IN (" + sub + "))";
  }
  if (v.kind == ExprKind::List) {
    std::vector<std::string> vs, rows;
    for (auto &a : v.args)
      vs.push_back(expr(*a));
    for (size_t i = 1; i < e.args.size(); ++i) {
      std::vector<std::string> r;
      for (auto &a : e.args[i]->args)
        r.push_back(expr(*a));
      rows.push_back("(" + join(r, ",") + ")");
    }
    return "((" + join(vs, ",") + ")" + not_ + " IN (VALUES " + join(rows, ",") + "))";
  }
  SqlType t = e.argTargets.empty() ? SqlType::Unknown : e.argTargets[0];
  std::vector<std::string> items;
  for (size_t i = 1; i < e.args.size(); ++i)
    items.push_back(conv(*e.args[i], t));
  return "(" + conv(v, t) + not_ + " IN (" + join(items, ",") + "))";
}

std::string Emitter::caseExpr(const Expr &e) {
  size_t first = e.caseOperand ? 1 : 0;
  size_t results = e.args.size() - (e.caseElse ? 1 : 0);
  auto arg = [&](size_t i) { return conv(*e.args[i], e.argTargets[i]); };
  std::string s = "CASE";
  if (e.caseOperand)
    s += " " + arg(0);
  for (size_t i = first; i + 1 < results; i += 2)
    s += " WHEN " + (e.caseOperand ? arg(i) : expr(*e.args[i])) + " THEN " + arg(i + 1);
  if (e.caseElse)
    s += " ELSE " + arg(e.args.size() - 1);
  return s + " END";
}

// " [DESC] NULLS FIRST|LAST": Oracle puts NULLs after every value unless told otherwise.
std::string Emitter::nullsOrder(const OrderItem &item) {
  bool first = item.nulls ? item.nulls == 1 : item.desc;
  return std::string(item.desc ? " DESC" : "") + (first ? " NULLS FIRST" : " NULLS LAST");
}

std::string Emitter::analyticCall(const Expr &e) {
  const std::string &name = e.names[0];
  auto arg = [&](size_t i) {
    return conv(*e.args[i], i < e.argTargets.size() ? e.argTargets[i] : SqlType::Unknown);
  };
  std::vector<std::string> parts, order;
  for (const auto &p : e.over->partition)
    parts.push_back(sortKey(*p));
  for (const OrderItem &o : e.over->order)
    order.push_back(orderKey(*o.expr) + nullsOrder(o));
  std::string w = " OVER (";
  if (!parts.empty())
    w += "PARTITION BY " + join(parts, ", ");
  if (!order.empty())
    w += std::string(parts.empty() ? "" : " ") + "ORDER BY " + join(order, ", ");
  if (!e.over->frame.empty())
    w += " " + e.over->frame;
  w += ")";
  const std::string &fn = e.sqlName;
  if ((name == "MIN" || name == "MAX") && keyed(*e.args[0]))
    return "ora_nval(" + fn + "(" + numberKey(arg(0)) + ")" + w + ")";
  if (e.star)
    return "count(*)" + w;
  std::vector<std::string> args;
  for (size_t i = 0; i < e.args.size(); ++i)
    args.push_back(arg(i));
  return fn + "(" + (e.distinct ? "DISTINCT " : "") + join(args, ",") + ")" + w;
}

// LISTAGG: the values, the delimiter and each ORDER BY key with how it sorts (see ora_listagg).
std::string Emitter::listAggCall(const Expr &e) {
  std::string s = std::string("ora_listagg(") + (e.distinct ? "1," : "0,") +
                  conv(*e.args[0], SqlType::Varchar2) + "," +
                  (e.args.size() > 1 ? conv(*e.args[1], SqlType::Varchar2) : "NULL");
  if (e.within)
    for (const OrderItem &o : e.within->order) {
      bool nullsFirst = o.nulls ? o.nulls == 1 : o.desc;
      s += "," + (keyed(*o.expr) ? numberKey(expr(*o.expr)) : expr(*o.expr)) + "," +
           std::to_string((o.desc ? 1 : 0) | (nullsFirst ? 2 : 0));
    }
  return s + ")";
}

std::string Emitter::functionCall(const Expr &e) {
  const std::string &name = e.names[0];
  if (e.over)
    return analyticCall(e);
  if (e.sqlName.empty() && (name == "GROUPING" || name == "GROUPING_ID" || name == "GROUP_ID"))
    return groupingCall(e);
  auto arg = [&](size_t i) {
    return conv(*e.args[i], i < e.argTargets.size() ? e.argTargets[i] : SqlType::Unknown);
  };
  if (e.aggregate) {
    if (auto it = FNested.find(&e); it != FNested.end())
      return it->second; // an inner aggregate, read from the groups' query
    std::string fn = name == "COUNT"    ? "count"
                     : name == "SUM"    ? "ora_sum"
                     : name == "AVG"    ? "ora_avg"
                     : name == "MIN"    ? "min"
                     : name == "MAX"    ? "max"
                     : name == "STDDEV" ? "ora_stddev"
                                        : "ora_variance";
    if (e.star)
      return "count(*)";
    if (name == "LISTAGG")
      return listAggCall(e);
    if ((fn == "min" || fn == "max") && keyed(*e.args[0]))
      return "ora_nval(" + fn + "(" + numberKey(arg(0)) + "))";
    return fn + "(" + (e.distinct ? "DISTINCT " : "") + arg(0) + ")";
  }
  if (e.sqlName == "DECODE") {
    // The value is written once (nested DECODEs must not multiply the text); ora_decode_key
    // turns NULL into a value equal only to itself, since DECODE matches NULL with NULL.
    std::string s = "CASE ora_decode_key(" + arg(0) + ")";
    size_t n = e.args.size();
    size_t i = 1;
    for (; i + 1 < n; i += 2)
      s += " WHEN ora_decode_key(" + arg(i) + ") THEN " + arg(i + 1);
    if (i < n)
      s += " ELSE " + arg(i);
    return s + " END";
  }
  if (name == "NVL")
    return "ifnull(" + arg(0) + "," + arg(1) + ")";
  if (name == "EMPTY_CLOB" || name == "EMPTY_BLOB") // empty, yet not NULL
    return name == "EMPTY_CLOB" ? "''" : "x''";
  if (name == "TRIM") {
    std::string set = e.args.size() > 1 ? arg(1) : "' '";
    std::string s = arg(0);
    if (e.text != "TRAILING")
      s = "ora_ltrim(" + s + "," + set + ")";
    if (e.text != "LEADING")
      s = "ora_rtrim(" + s + "," + set + ")";
    return s;
  }
  if (name == "EXTRACT" && !e.argTargets.empty() && e.argTargets[0] != SqlType::Date)
    return "ora_extract('" + e.text + "'," + arg(0) + "," +
           std::to_string(static_cast<int>(e.argTargets[0])) + ")";
  if (name == "EXTRACT")
    return "ora_num(ora_to_char_date(" + arg(0) + ",'" +
           (e.text == "YEAR"    ? "YYYY"
            : e.text == "MONTH" ? "MM"
                                : "DD") +
           "'))";
  if (name == "NVL2")
    return "CASE WHEN " + expr(*e.args[0]) + " IS NOT NULL THEN " + arg(1) + " ELSE " + arg(2) +
           " END";
  if (e.sqlName.empty())
    return arg(0);
  std::vector<std::string> args;
  for (size_t i = 0; i < e.args.size(); ++i)
    args.push_back(arg(i));
  return e.sqlName + "(" + join(args, ",") + ")";
}

// The rows of a CONNECT BY tree with their level and path (a depth-first sort key of rowids),
// as a recursive query; a row met again on its own path is Oracle's ORA-01436 (at the later
// level only when CONNECT BY has PRIOR; without, a million levels end it with ORA-30009).
std::string Emitter::treeSource(const BoundTable &t) {
  const QueryBlock &b = *t.hierarchy;
  std::string src = physicalName(t.owner, t.name);
  FTreePart = TreePart::Start;
  std::string start = b.startWith ? " WHERE " + expr(*b.startWith) : "";
  FTreePart = TreePart::Connect;
  std::string connect = expr(*b.connectBy);
  FTreePart = TreePart::None;
  // DUAL's one row makes one row a level (CONNECT BY LEVEL <= n): its order is the level's, and
  // a path of all the rowids above would grow with every level.
  bool oneRow = !b.loopCheck && t.owner == "SYS" && t.name == "DUAL";
  std::string path = oneRow ? "printf('%010d', \"h$\".\"$level\" + 1)"
                            : "\"h$\".\"$path\" || printf('/%020d', c$.rowid)";
  return "(WITH RECURSIVE \"h$\" AS (SELECT s$.*, s$.rowid AS \"$rid\", 1 AS \"$level\", "
         "printf('/%020d', s$.rowid) AS \"$path\" FROM " +
         src + " AS s$" + start + " UNION ALL SELECT c$.*, c$.rowid, \"h$\".\"$level\" + 1, " +
         path + " FROM \"h$\" JOIN " + src + " AS c$ ON " + connect + " AND " +
         (b.loopCheck ? "CASE WHEN instr(\"h$\".\"$path\", printf('/%020d', c$.rowid)) > 0 THEN "
                        "ora_error(1436) ELSE 1 END"
                      : "CASE WHEN \"h$\".\"$level\" >= 1000000 THEN ora_error(30009) ELSE 1 END") +
         ") SELECT * FROM \"h$\") AS " + t.sqlAlias;
}

// A GROUP BY or ORDER BY term. SQLite reads a constant integer there as a column position,
// Oracle as a value; wrapped in a call it stays a value.
std::string Emitter::sortKey(const Expr &e) {
  std::string s = expr(e);
  return isConstant(e) ? "ora_keep(" + s + ")" : s;
}

std::string Emitter::orderKey(const Expr &e) { return keyed(e) ? numberKey(expr(e)) : sortKey(e); }

// An ORDER BY term of a block: a position stays a position unless its column is a number that
// sorts by key.
std::string Emitter::positionKey(const QueryBlock &b, const Expr &e) {
  if (e.kind != ExprKind::Number)
    return orderKey(e);
  if (b.nestedAggregates) // its columns are the outer query's, by name
    return e.text;
  size_t pos = static_cast<size_t>(std::atol(e.text.c_str()));
  if (pos >= 1 && pos <= b.expanded.size() && keyed(*b.expanded[pos - 1].expr))
    return numberKey(expr(*b.expanded[pos - 1].expr));
  return e.text;
}

namespace {
bool countsRows(const Select &s) {
  if (s.block)
    return s.block->counter >= 0;
  return countsRows(*s.left) || countsRows(*s.right);
}
} // namespace

std::string Emitter::tableSource(const BoundTable &t) {
  if (t.hierarchy)
    return treeSource(t);
  if (t.collection) {
    // The elements of TABLE(f(...)) in their order, from the JSON array the call gives; each
    // value as its type's stored form (numbers from their exact text).
    std::vector<std::string> cols;
    bool one = t.columns.size() == 1 && t.columns[0].name == "COLUMN_VALUE";
    for (size_t i = 0; i < t.columns.size(); ++i) {
      const ColumnInfo &c = t.columns[i];
      std::string v = one ? "j$.value" : "json_extract(j$.value, '$[" + std::to_string(i) + "]')";
      if (c.type == SqlType::Number)
        v = convert(v, SqlType::Varchar2, SqlType::Number);
      cols.push_back(v + " AS " + quoteIdent(c.name));
    }
    return "(SELECT " + join(cols, ", ") + " FROM json_each(" + expr(*t.collection) +
           ") AS j$ ORDER BY j$.key) AS " + t.sqlAlias;
  }
  if (t.query) {
    // A block that numbers its rows is kept whole: SQLite would otherwise merge it into the
    // query around it (or push that query's conditions into it) and advance ROWNUM once per
    // use. So is an ordered one, whose order the ROWNUM of the block around it numbers (merged,
    // SQLite would sort after numbering). An OFFSET keeps SQLite from doing either.
    if (countsRows(*t.query) || !t.query->orderBy.empty())
      return "(SELECT * FROM (" + selectText(*t.query, true) + ") LIMIT -1 OFFSET 0) AS " +
             t.sqlAlias;
    return "(" + selectText(*t.query, true) + ") AS " + t.sqlAlias;
  }
  return physicalName(t.owner, t.name) + " AS " + t.sqlAlias;
}

std::string Emitter::blockText(const QueryBlock &b, const Select &s, bool named) {
  struct Grouping {
    const QueryBlock *&ref, *saved;
    Grouping(const QueryBlock *&r, const QueryBlock *now) : ref(r), saved(r) { ref = now; }
    ~Grouping() { ref = saved; }
  } grouping(FGrouping, b.groupingSets.empty() ? nullptr : &b);
  std::string sql = b.distinct ? "SELECT DISTINCT " : "SELECT ";
  std::vector<std::string> items;
  // Oracle groups a block with HAVING alone into one group; SQLite needs an aggregate in the
  // select list to see it so, and count(*) is never NULL.
  bool groupAll = b.aggregated && b.groupBy.empty() && b.groupingSets.empty();
  for (const SelectItem &item : b.expanded)
    if (hasAggregate(*item.expr))
      groupAll = false;
  // Nested aggregates: this block gives the inner aggregates per group, a query around it
  // aggregates them.
  std::vector<const Expr *> inner;
  if (b.nestedAggregates) {
    auto collect = [&](auto &&self, const Expr &x, bool inAggregate) -> void {
      if (x.aggregate && inAggregate) {
        inner.push_back(&x);
        return;
      }
      for (auto &a : x.args)
        self(self, *a, inAggregate || x.aggregate);
    };
    for (const SelectItem &item : b.expanded)
      collect(collect, *item.expr, false);
    for (size_t i = 0; i < inner.size(); ++i)
      items.push_back(expr(*inner[i]) + " AS \"n$" + std::to_string(i + 1) + "\"");
  }
  for (size_t i = 0; i < b.expanded.size() && !b.nestedAggregates; ++i) {
    const SelectItem &item = b.expanded[i];
    std::string alias = named ? quoteIdent(item.name) : "\"c" + std::to_string(i + 1) + "\"";
    std::string value = expr(*item.expr);
    if (groupAll && i == 0)
      value = "CASE WHEN count(*) IS NULL THEN NULL ELSE " + value + " END";
    items.push_back(value + " AS " + alias);
  }
  sql += join(items, ", ");
  // FROM: inner tables, then the outer-joined ones with their (+) conditions.
  std::vector<std::string> whereParts;
  std::string from;
  bool first = true;
  for (BoundTable *t : b.joinOrder) {
    if (first || !t->outer) {
      from += (first ? "" : ", ") + tableSource(*t);
      if (t->outer)
        for (Expr *on : t->onTerms)
          whereParts.push_back(expr(*on));
    } else {
      std::vector<std::string> on;
      for (Expr *x : t->onTerms)
        on.push_back(expr(*x));
      from += " LEFT JOIN " + tableSource(*t) + " ON " + join(on, " AND ");
    }
    first = false;
  }
  if (!b.fullJoinOn.empty()) {
    std::vector<std::string> on;
    for (Expr *x : b.fullJoinOn)
      on.push_back(expr(*x));
    from = tableSource(*b.tables[0]) + " FULL JOIN " + tableSource(*b.tables[1]) + " ON " +
           join(on, " AND ");
  }
  if (FGrouping)
    from +=
        ", (WITH RECURSIVE \"g$\"(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM \"g$\" WHERE n < " +
        std::to_string(b.groupingSets.size()) + ") SELECT n FROM \"g$\") AS \"gs$\"";
  sql += " FROM " + from;
  for (Expr *w : b.whereTerms)
    whereParts.push_back(expr(*w));
  if (!b.countedFilters.empty()) {
    const Expr &f = *b.countedFilters[0];
    bool left = f.args[0]->kind == ExprKind::Pseudo;
    std::string op = left ? f.text : flip(f.text);
    std::string value = conv(*f.args[left ? 1 : 0], SqlType::Number);
    std::string deps;
    for (BoundTable *t : b.joinOrder)
      if (!t->columns.empty())
        deps += "," + t->sqlAlias + "." + quoteIdent(t->columns[0].name);
    std::string test = "ora_rownum_test(" + counterParam(b.counter) + "," + quoteText(op) + "," +
                       value + deps + ")";
    if (whereParts.empty())
      whereParts.push_back(test);
    else
      whereParts.push_back("CASE WHEN " + join(whereParts, " AND ") + " THEN " + test + " END");
  }
  if (!whereParts.empty())
    sql += " WHERE " + join(whereParts, " AND ");
  if (FGrouping) {
    sql += " GROUP BY " + groupingTerms(b);
  } else if (!b.groupBy.empty()) {
    std::vector<std::string> g;
    for (auto &x : b.groupBy)
      g.push_back(sortKey(*x));
    sql += " GROUP BY " + join(g, ", ");
  }
  if (b.having)
    sql += " HAVING " + expr(*b.having);
  bool treeOrder = b.connectBy && !b.aggregated && (s.block.get() != &b || s.orderBy.empty());
  if (treeOrder)
    sql += " ORDER BY " + b.tables[0]->sqlAlias + ".\"$path\"";
  if (b.nestedAggregates) {
    std::vector<std::string> outerItems;
    for (size_t i = 0; i < inner.size(); ++i)
      FNested[inner[i]] = "\"n$" + std::to_string(i + 1) + "\"";
    for (size_t i = 0; i < b.expanded.size(); ++i) {
      const SelectItem &item = b.expanded[i];
      std::string alias = named ? quoteIdent(item.name) : "\"c" + std::to_string(i + 1) + "\"";
      outerItems.push_back(expr(*item.expr) + " AS " + alias);
    }
    FNested.clear();
    sql = "SELECT " + join(outerItems, ", ") + " FROM (" + sql + ")";
  }
  if (s.block.get() == &b && !s.orderBy.empty()) {
    std::vector<std::string> o;
    for (const OrderItem &item : s.orderBy)
      o.push_back(positionKey(b, *item.expr) + nullsOrder(item));
    sql += " ORDER BY " + join(o, ", ");
  }
  if (!b.limitFilters.empty()) {
    std::string limit;
    for (Expr *f : b.limitFilters) {
      bool left = f->args[0]->kind == ExprKind::Pseudo;
      std::string op = left ? f->text : flip(f->text);
      std::string l = "ora_rownum_limit(" + quoteText(op) + "," +
                      conv(*f->args[left ? 1 : 0], SqlType::Number) + ")";
      limit = limit.empty() ? l : "ora_limit_min(" + limit + "," + l + ")";
    }
    sql += " LIMIT " + limit;
  }
  return sql;
}

std::string Emitter::selectText(const Select &s, bool named) {
  if (s.offset || s.fetchFirst) {
    // Counted as ROWNUM <= n counts: fractions dropped, negative and NULL as 0.
    auto rows = [&](const ExprPtr &n, const char *none) -> std::string {
      return n ? "ora_rownum_limit('<='," + conv(*n, SqlType::Number) + ")" : none;
    };
    std::string inner = s.block ? blockText(*s.block, s, named) : setText(s, named);
    return "SELECT * FROM (" + inner + ") LIMIT " + rows(s.fetchFirst, "-1") + " OFFSET " +
           rows(s.offset, "0");
  }
  if (s.block)
    return blockText(*s.block, s, named);
  return setText(s, named);
}

std::string Emitter::setText(const Select &s, bool named) {
  auto operand = [&](const Select &x) {
    std::string t = selectText(x, named);
    bool plain = x.block && x.block->limitFilters.empty() && x.orderBy.empty();
    return plain ? t : "SELECT * FROM (" + t + ")";
  };
  std::string op = s.setOp == "MINUS" ? "EXCEPT" : s.setOp;
  std::string left = s.left->block ? operand(*s.left) : selectText(*s.left, named);
  if (!s.left->block && !s.left->orderBy.empty())
    left = "SELECT * FROM (" + left + ")";
  std::string sql = left + " " + op + " " + operand(*s.right);
  if (!s.orderBy.empty()) {
    // A compound SELECT sorts by its column names only; number keys sort the rows around it.
    bool byKey = false;
    std::vector<std::string> o;
    for (const OrderItem &item : s.orderBy) {
      bool k = keyed(*item.expr) && item.expr->kind != ExprKind::Number;
      byKey |= k;
      o.push_back((k ? numberKey(item.expr->text) : item.expr->text) + nullsOrder(item));
    }
    if (byKey)
      sql = "SELECT * FROM (" + sql + ")";
    sql += " ORDER BY " + join(o, ", ");
  }
  return sql;
}

std::string Emitter::select(const Select &s) { return selectText(s, true); }

std::string Emitter::insert(const InsertStmt &s, const std::vector<const Expr *> &defaults) {
  const BoundTable &t = *s.table.bound;
  std::vector<std::string> cols, values;
  auto columnInfo = [&](const std::string &name) -> const ColumnInfo & {
    for (const ColumnInfo &c : t.columns)
      if (c.name == name)
        return c;
    throw oraError(904, s.pos);
  };
  // A named DEFAULT ON NULL column: its value, or the default when that is NULL.
  auto named = [&](const std::string &value, const TypeInfo &type, const std::string &name) {
    cols.push_back(quoteIdent(storedName(t, name)));
    const ColumnInfo &c = columnInfo(name);
    size_t at = static_cast<size_t>(&c - t.columns.data());
    const Expr *d = at < defaults.size() ? defaults[at] : nullptr;
    values.push_back(d ? "ifnull(" + store(value, type, c) + "," + store(expr(*d), d->type, c) + ")"
                       : store(value, type, c));
  };
  auto unnamed = [&]() {
    for (size_t i = 0; i < t.columns.size(); ++i)
      if (defaults.size() > i && defaults[i] &&
          std::find(s.columns.begin(), s.columns.end(), t.columns[i].name) == s.columns.end()) {
        cols.push_back(quoteIdent(t.columns[i].name));
        values.push_back(store(expr(*defaults[i]), defaults[i]->type, t.columns[i]));
      }
  };
  if (s.query) {
    std::string sub = selectText(*s.query, false);
    for (size_t i = 0; i < s.columns.size(); ++i)
      named("q.\"c" + std::to_string(i + 1) + "\"", s.query->columns[i]->expr->type, s.columns[i]);
    unnamed();
    return "INSERT INTO " + physicalName(t.owner, t.name) + " (" + join(cols, ",") + ") SELECT " +
           join(values, ",") + " FROM (" + sub + ") AS q" + returning(s.returning, t, true);
  }
  for (size_t i = 0; i < s.columns.size(); ++i)
    named(expr(*s.values[i]), s.values[i]->type, s.columns[i]);
  unnamed();
  return "INSERT INTO " + physicalName(t.owner, t.name) + " (" + join(cols, ",") + ") VALUES (" +
         join(values, ",") + ")" + returning(s.returning, t, true);
}

// The WHERE of an UPDATE or DELETE, with the view's own condition when it changes a view.
std::string Emitter::whereOf(const BoundTable &t, const Expr *where) {
  std::vector<std::string> parts;
  if (t.viewWhere)
    parts.push_back(expr(*t.viewWhere));
  if (where)
    parts.push_back(expr(*where));
  return parts.empty() ? "" : " WHERE " + join(parts, " AND ");
}

std::string Emitter::update(const UpdateStmt &s) {
  const BoundTable &t = *s.table.bound;
  std::vector<std::string> columns, values;
  bool subqueries = s.where && hasSubquery(*s.where);
  for (const Assignment &a : s.sets) {
    subqueries = subqueries || hasSubquery(*a.value);
    for (size_t i = 0; i < a.columns.size(); ++i) {
      const ColumnInfo *c = nullptr;
      for (const ColumnInfo &x : t.columns)
        if (x.name == a.columns[i])
          c = &x;
      columns.push_back(quoteIdent(storedName(t, a.columns[i])));
      if (a.columns.size() > 1)
        values.push_back(store(scalar(*a.value->query, static_cast<int>(i)),
                               a.value->query->columns[i]->expr->type, *c));
      else
        values.push_back(store(expr(*a.value), a.value->type, *c));
    }
  }
  std::string table = physicalName(t.owner, t.name);
  if (subqueries) {
    // Oracle reads the table as it was when the statement began; SQLite's UPDATE would let a
    // subquery see rows it already changed. The new values are computed first, in a FROM that
    // SQLite materialises, and applied after.
    std::vector<std::string> sets, computed{t.sqlAlias + ".rowid AS \"r$\""};
    for (size_t i = 0; i < columns.size(); ++i) {
      std::string v = "\"v$" + std::to_string(i + 1) + "\"";
      computed.push_back(values[i] + " AS " + v);
      sets.push_back(columns[i] + " = x$." + v);
    }
    return "UPDATE " + table + " AS u$ SET " + join(sets, ", ") + " FROM (SELECT " +
           join(computed, ", ") + " FROM " + table + " AS " + t.sqlAlias +
           whereOf(t, s.where.get()) + ") AS x$ WHERE u$.rowid = x$.\"r$\"" +
           returning(s.returning, t, true);
  }
  std::vector<std::string> sets;
  for (size_t i = 0; i < columns.size(); ++i)
    sets.push_back(columns[i] + " = " + values[i]);
  return "UPDATE " + table + " AS " + t.sqlAlias + " SET " + join(sets, ", ") +
         whereOf(t, s.where.get()) + returning(s.returning, t, true);
}

std::string Emitter::remove(const DeleteStmt &s) {
  const BoundTable &t = *s.table.bound;
  std::string sql = "DELETE FROM " + physicalName(t.owner, t.name) + " AS " + t.sqlAlias;
  return sql + whereOf(t, s.where.get()) + returning(s.returning, t, false);
}

std::string Emitter::condition(const Expr &e) { return expr(e); }

} // namespace localdb
