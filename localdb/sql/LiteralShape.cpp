// Literal shapes: texts that differ only in their literals, keyed alike, the literals as values.
#include "localdb/sql/LiteralShape.h"
#include "localdb/sql/SqlFunctions.h"

#include <algorithm>

#include "localdb/sql/OraError.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb {

namespace {

// Statements whose literals may be values: queries and DML. DDL, PL/SQL and the rest are kept
// by their whole text.
// More literals than any useful statement holds: such a text is kept whole, and shaping stops
// early, so a huge refused statement costs no more than the parser spends on it.
constexpr size_t kMaxLiterals = 2000;

bool shapedStatement(const Token &first) {
  return first.kind == Tok::Ident &&
         (first.text == "SELECT" || first.text == "INSERT" || first.text == "UPDATE" ||
          first.text == "DELETE" || first.text == "WITH");
}

} // namespace

bool literalShape(const std::string &text, bool modern, std::string &key,
                  std::vector<ShapeLiteral> &literals) {
  literals.clear();
  std::vector<char> marks; // N, D or S for each literal
  std::vector<int> ends;   // offset just past each literal's token
  auto refuse = [&] {
    literals.clear();
    return false;
  };
  try {
    Lexer lexer(text, false, modern);
    Token t = lexer.next();
    if (!shapedStatement(t))
      return false;
    for (; t.kind != Tok::End; t = lexer.next()) {
      if (literals.size() >= kMaxLiterals && (t.kind == Tok::Number || t.kind == Tok::String))
        return refuse();
      if (t.kind == Tok::Number) {
        ShapeLiteral l;
        auto n = parseNumber(t.text);
        if (!n)
          return refuse(); // ORA-01426 where the literal stands
        l.number = true;
        l.value = *n;
        l.pos = t.pos;
        l.text = std::move(t.text);
        marks.push_back(n->isInt ? 'N' : 'D');
        ends.push_back(t.end);
        literals.push_back(std::move(l));
      } else if (t.kind == Tok::String && !t.text.empty()) {
        if (t.text.size() > 2000)
          return refuse(); // ORA-01704 where the literal stands
        ShapeLiteral l;
        l.pos = t.pos;
        l.text = std::move(t.text);
        marks.push_back('S');
        ends.push_back(t.end);
        literals.push_back(std::move(l));
      }
    }
  } catch (const OraError &) {
    return refuse();
  }
  if (literals.empty())
    return false;
  // \x01 cannot start a statement, so no text is ever taken for a key. A \x01 of the text
  // itself (inside a quoted string or name) is doubled, so it never reads as a marker.
  key.assign(1, '\x01');
  key.reserve(text.size() + 1);
  auto verbatim = [&](size_t from, size_t to) {
    for (size_t i = from; i < to; ++i) {
      key += text[i];
      if (text[i] == '\x01')
        key += '\x01';
    }
  };
  size_t at = 0;
  for (size_t k = 0; k < literals.size(); ++k) {
    verbatim(at, static_cast<size_t>(literals[k].pos));
    key += '\x01';
    key += marks[k];
    at = static_cast<size_t>(ends[k]);
  }
  verbatim(at, text.size());
  return true;
}

bool literalsAreValues(const std::vector<ShapeLiteral> &literals, std::vector<int> parsed,
                       std::vector<int> read) {
  std::sort(parsed.begin(), parsed.end());
  std::sort(read.begin(), read.end());
  for (const ShapeLiteral &l : literals)
    if (!std::binary_search(parsed.begin(), parsed.end(), l.pos) ||
        std::binary_search(read.begin(), read.end(), l.pos))
      return false;
  return true;
}

void bindLiteral(sqlite3_stmt *st, int index, const ShapeLiteral &literal) {
  if (!literal.number) {
    if (literal.text.size() > 2000)
      throw oraError(1704);
    sqlite3_bind_text(st, index, literal.text.data(), static_cast<int>(literal.text.size()),
                      SQLITE_STATIC);
    return;
  }
  bindNumber(st, index, literal.value);
}

} // namespace localdb
