// The SQL lexer: names, quoted names, strings, numbers, bind variables, operators, comments.
#include "localdb/sql/SqlLexer.h"

#include <cctype>

namespace localdb {

namespace {

bool identStart(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool identChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

// One error route: every lexical error carries the offset where it was found.
[[noreturn]] void lexError(int code, size_t pos) { throw oraError(code, static_cast<int>(pos)); }

} // namespace

std::vector<Token> tokenize(const std::string &s) { return tokenize(s, false); }

std::vector<Token> tokenize(const std::string &s, bool plsql) {
  std::vector<Token> out;
  Lexer lexer(s, plsql);
  do
    out.push_back(lexer.next());
  while (out.back().kind != Tok::End);
  return out;
}

std::string upperAscii(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return s;
}

Token Lexer::next() {
  const std::string &s = FText;
  const bool plsql = FPlsql;
  size_t &i = FPos;
  size_t n = s.size();
  {
    while (i < n) {
      unsigned char c = static_cast<unsigned char>(s[i]);
      if (std::isspace(c)) {
        ++i;
      } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
        while (i < n && s[i] != '\n')
          ++i;
      } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
        size_t e = s.find("*/", i + 2);
        if (e == std::string::npos)
          lexError(1742, i);
        i = e + 2;
      } else {
        break;
      }
    }
    Token t;
    t.pos = static_cast<int>(i);
    if (i >= n) {
      t.kind = Tok::End;
      t.end = t.pos;
      return t;
    }
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (FModern && (c == 'q' || c == 'Q') && i + 2 < n && s[i + 1] == '\'') {
      // q'<d>...<d>': the text between the delimiters as it stands, quotes included; an
      // opening bracket closes with its pair.
      char open = s[i + 2];
      char close = open == '['   ? ']'
                   : open == '{' ? '}'
                   : open == '<' ? '>'
                   : open == '(' ? ')'
                                 : open;
      if (std::isspace(static_cast<unsigned char>(open)))
        lexError(911, i + 2);
      size_t e = i + 3;
      while (e + 1 < n && !(s[e] == close && s[e + 1] == '\''))
        ++e;
      if (e + 1 >= n)
        lexError(1756, i);
      t.kind = Tok::String;
      t.text = s.substr(i + 3, e - i - 3);
      i = e + 2;
      t.end = static_cast<int>(i);
      return t;
    }
    // $IF / $THEN / $END ... and $$NAME: conditional compilation's words, as names.
    bool directive =
        plsql && FModern && c == '$' && i + 1 < n &&
        (identStart(static_cast<unsigned char>(s[i + 1])) ||
         (s[i + 1] == '$' && i + 2 < n && identStart(static_cast<unsigned char>(s[i + 2]))));
    if (identStart(c) || directive) {
      size_t b = i;
      i += directive ? (s[i + 1] == '$' ? 2 : 1) : 0;
      while (i < n && identChar(static_cast<unsigned char>(s[i])))
        ++i;
      t.kind = Tok::Ident;
      t.text = s.substr(b, i - b);
      for (char &ch : t.text)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    } else if (c == '"') {
      size_t e = s.find('"', i + 1);
      if (e == std::string::npos)
        lexError(1740, i);
      if (e == i + 1)
        lexError(1741, i);
      t.kind = Tok::QuotedIdent;
      t.text = s.substr(i + 1, e - i - 1);
      if (t.text.find('\0') != std::string::npos)
        lexError(911, i + 1 + t.text.find('\0'));
      i = e + 1;
    } else if (c == '\'') {
      std::string v;
      size_t j = i + 1;
      while (true) {
        if (j >= n)
          lexError(1756, i);
        if (s[j] == '\'') {
          if (j + 1 < n && s[j + 1] == '\'') {
            v += '\'';
            j += 2;
            continue;
          }
          break;
        }
        v += s[j++];
      }
      t.kind = Tok::String;
      t.text = v;
      i = j + 1;
    } else if (std::isdigit(c) ||
               (c == '.' && i + 1 < n && std::isdigit((unsigned char)s[i + 1]))) {
      size_t b = i;
      while (i < n && std::isdigit(static_cast<unsigned char>(s[i])))
        ++i;
      if (i < n && s[i] == '.' && !(i + 1 < n && s[i + 1] == '.')) {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(s[i])))
          ++i;
      }
      if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        size_t k = i + 1;
        if (k < n && (s[k] == '+' || s[k] == '-'))
          ++k;
        if (k < n && std::isdigit(static_cast<unsigned char>(s[k]))) {
          i = k;
          while (i < n && std::isdigit(static_cast<unsigned char>(s[i])))
            ++i;
        }
      }
      t.kind = Tok::Number;
      t.text = s.substr(b, i - b);
    } else if (plsql && (s.compare(i, 2, ":=") == 0 || s.compare(i, 2, "=>") == 0 ||
                         s.compare(i, 2, "..") == 0 || s.compare(i, 2, "**") == 0 ||
                         s.compare(i, 2, "<<") == 0 || s.compare(i, 2, ">>") == 0)) {
      t.kind = Tok::Op;
      t.text = s.substr(i, 2);
      i += 2;
    } else if (plsql && c == '%') {
      t.kind = Tok::Op;
      t.text = "%";
      ++i;
    } else if (c == ':') {
      size_t b = ++i;
      if (i < n && s[i] == '"') {
        size_t e = s.find('"', i + 1);
        if (e == std::string::npos)
          lexError(1740, i);
        t.text = s.substr(i + 1, e - i - 1);
        i = e + 1;
      } else {
        while (i < n && identChar(static_cast<unsigned char>(s[i])))
          ++i;
        t.text = s.substr(b, i - b);
        for (char &ch : t.text)
          ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      }
      if (t.text.empty())
        lexError(1745, b - 1);
      t.kind = Tok::Bind;
    } else {
      t.kind = Tok::Op;
      auto two = [&](const char *op) { return s.compare(i, 2, op) == 0; };
      if (s.compare(i, 3, "(+)") == 0) {
        t.text = "(+)";
        i += 3;
      } else if (two("||") || two("<>") || two("!=") || two("^=") || two("~=") || two("<=") ||
                 two(">=")) {
        t.text = s.substr(i, 2);
        i += 2;
      } else if (std::string("(),.+-*/=<>;@").find(static_cast<char>(c)) != std::string::npos) {
        t.text = std::string(1, static_cast<char>(c));
        ++i;
      } else if (c == '|' || c == '!' || c == '^' || c == '~') {
        lexError(911, i);
      } else {
        lexError(911, i);
      }
      if (t.text == "!=" || t.text == "^=" || t.text == "~=")
        t.text = "<>";
    }
    t.end = static_cast<int>(i);
    return t;
  }
}

} // namespace localdb
