// Data-loading scripts are thousands of INSERTs that differ only in their values. Such texts
// share one compiled statement: the literals of the VALUES list become parameters, and each
// text supplies its own.
#pragma once
#include <sqlite3.h>

#include <string>
#include <vector>

namespace localdb {

struct ShapeLiteral {
  bool number = false;
  std::string text; // as the lexer reads it: a number as written, a string with '' folded
};

// For INSERT ... VALUES (...) whose list has items that are a lone number (signed or not) or
// non-empty string literal: `key` is the text with those literals replaced by markers \x01N and
// \x01S (and any \x01 of the text doubled; a key never is a text that compiles by itself),
// `literals` their values in order. False for any other text, or one that does not lex.
bool insertShape(const std::string &text, std::string &key, std::vector<ShapeLiteral> &literals);

// Binds a literal as the statement would have read it written in place (a number through
// Oracle's rules, a string as text). Throws ORA-01426 for a number out of range and ORA-01704
// for a string too long, as compiling it in place would.
void bindLiteral(sqlite3_stmt *st, int index, const ShapeLiteral &literal);

} // namespace localdb
