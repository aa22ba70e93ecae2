// The SQL lexer: statement text to tokens, each with its 0-based offset.
#pragma once
#include <string>
#include <vector>

#include "localdb/sql/OraError.h"

namespace localdb {

enum class Tok {
  End,
  Ident,       // a name, upper-cased; keywords are names too (Parser decides)
  QuotedIdent, // "Name", kept as written
  String,      // 'text' with '' folded
  Number,      // 12, 1.5, .5, 1E10
  Bind,        // :name or :1 (text without the colon, upper-cased)
  Op,          // ( ) , . + - * / || = <> != ^= ~= < > <= >= ; @ and (+) as one token
};

// Letters a-z as A-Z, every other byte as it is: names, keywords and format masks, which do not
// depend on the process's locale.
std::string upperAscii(std::string s);

struct Token {
  Tok kind = Tok::End;
  std::string text;
  int pos = 0;
  int end = 0; // offset just past the token
  bool is(const char *s) const { return (kind == Tok::Ident || kind == Tok::Op) && text == s; }
};

// Reads the tokens of a text one at a time, so a parser that stops early (a limit, an error)
// has not paid for the rest of the text. After the end it gives End again and again.
class Lexer {
public:
  explicit Lexer(const std::string &text, bool plsql = false) : FText(text), FPlsql(plsql) {}
  Token next();

private:
  const std::string &FText;
  bool FPlsql;
  size_t FPos = 0;
};

// Cuts the whole text into tokens, ending with one End token. Errors (unterminated string or
// quoted name, a character SQL does not use) are thrown with their offset.
std::vector<Token> tokenize(const std::string &text);
// PL/SQL adds its own delimiters to SQL's: := => .. ** << >> and % (attributes), each one Op token.
std::vector<Token> tokenize(const std::string &text, bool plsql);

} // namespace localdb
