#include "localdb/sql/LiteralShape.h"
#include "localdb/sql/SqlFunctions.h"

#include <cctype>

#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb {

namespace {

// Only a statement that starts with INSERT is worth lexing.
bool startsWithInsert(const std::string &text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  static const char kWord[] = "INSERT";
  for (size_t k = 0; k < 6; ++k, ++i)
    if (i >= text.size() || std::toupper(static_cast<unsigned char>(text[i])) != kWord[k])
      return false;
  return i < text.size() && std::isspace(static_cast<unsigned char>(text[i]));
}

} // namespace

bool insertShape(const std::string &text, std::string &key, std::vector<ShapeLiteral> &literals) {
  literals.clear();
  if (!startsWithInsert(text))
    return false;
  struct Span {
    int pos, end;
    bool number;
  };
  std::vector<Span> spans;
  try {
    Lexer lexer(text);
    int depth = 0;
    bool inValues = false, sawValues = false;
    // The tokens of the current item of the VALUES list: a lone literal becomes a parameter,
    // and so does a number after a sign (the sign stays in the key).
    Token first, second;
    int itemTokens = 0;
    auto endItem = [&] {
      if (itemTokens == 1 &&
          (first.kind == Tok::Number || (first.kind == Tok::String && !first.text.empty()))) {
        spans.push_back({first.pos, first.end, first.kind == Tok::Number});
        literals.push_back({first.kind == Tok::Number, std::move(first.text)});
      } else if (itemTokens == 2 && (first.is("-") || first.is("+")) &&
                 second.kind == Tok::Number) {
        spans.push_back({second.pos, second.end, true});
        literals.push_back({true, std::move(second.text)});
      }
      itemTokens = 0;
    };
    for (Token t = lexer.next(); t.kind != Tok::End; t = lexer.next()) {
      if (t.kind == Tok::Op && t.text == "(") {
        if (depth == 0 && sawValues && !inValues) {
          inValues = true;
          ++depth;
          continue;
        }
        ++depth;
      } else if (t.kind == Tok::Op && t.text == ")") {
        --depth;
        if (inValues && depth == 0) {
          endItem();
          inValues = false;
          sawValues = false;
          continue;
        }
      } else if (inValues && depth == 1 && t.kind == Tok::Op && t.text == ",") {
        endItem();
        continue;
      } else if (depth == 0 && t.is("VALUES")) {
        sawValues = true;
        continue;
      }
      if (inValues && ++itemTokens == 1)
        first = std::move(t);
      else if (inValues && itemTokens == 2)
        second = std::move(t);
    }
  } catch (const OraError &) {
    literals.clear();
    return false;
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
  for (const Span &s : spans) {
    verbatim(at, static_cast<size_t>(s.pos));
    key += '\x01';
    key += s.number ? 'N' : 'S';
    at = static_cast<size_t>(s.end);
  }
  verbatim(at, text.size());
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
  auto n = parseNumber(literal.text);
  if (!n)
    throw oraError(1426);
  bindNumber(st, index, *n);
}

} // namespace localdb
