// Scripts run thousands of statements that differ only in their literals (data loads, updates
// and deletes by key, lookups). Such texts share one compiled statement: the literals become
// parameters, and each text supplies its own.
#pragma once
#include <sqlite3.h>

#include <string>
#include <vector>

#include "localdb/sql/OraNumber.h"

namespace localdb {

struct ShapeLiteral {
  bool number = false;
  std::string text; // as the lexer reads it: a number as written, a string with '' folded
  int pos = 0;      // offset of its token in the text
  OraNum value;     // a number's value, read once when the text is shaped
};

// For a SELECT, INSERT, UPDATE or DELETE (or WITH ... SELECT) with literals: `key` is the text
// with each number literal replaced by the marker \x01N (a whole number within 64 bits) or \x01D
// (any other), each non-empty string literal by \x01S (and any \x01 of the text doubled; a key
// never is a text that compiles by itself), `literals` their values in text order. The text is
// read as the parser reads it at the given language level. False for any other text, one that
// does not lex, and one with a literal that compiling in place refuses (a number beyond
// NUMBER's range, a string over 2000 bytes): that text compiles by itself and reports it.
bool literalShape(const std::string &text, bool modern, std::string &key,
                  std::vector<ShapeLiteral> &literals);

// Whether a statement compiled from a shaped text serves every text of its shape: the parser
// made a value of each literal (none is part of a type, a window frame, ...) and compiling read
// none of them (a position, a length, a format mask that decides a type: `read`, offsets of
// literal tokens). `parsed`: offsets of the literal tokens the parser made values of.
bool literalsAreValues(const std::vector<ShapeLiteral> &literals, std::vector<int> parsed,
                       std::vector<int> read);

// Binds a literal as the statement would have read it written in place (a number through
// Oracle's rules, a string as text). Throws ORA-01426 for a number out of range and ORA-01704
// for a string too long, as compiling it in place would.
void bindLiteral(sqlite3_stmt *st, int index, const ShapeLiteral &literal);

} // namespace localdb
