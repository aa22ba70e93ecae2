// The PL/SQL parser: unit text to a tree, Oracle's PLS-00103 errors with recovery, so one
// compile reports several errors in order.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "localdb/plsql/PlsqlAst.h"

namespace localdb::plsql {

// A compile error at an offset of the unit text; text is the full "PLS-nnnnn: ..." line.
struct CompileError {
  int pos = 0;
  std::string text;
  bool unitLevel = false; // reported at line 0, column 0 ("Compilation unit analysis terminated")
};

// Line and column (both from 1) of offsets in a text.
class LineMap {
public:
  explicit LineMap(const std::string &text);
  int line(int pos) const;
  int column(int pos) const;

private:
  std::vector<int> FStarts;
};

// Deepest nesting of blocks, statements, subprograms, parentheses and operators the parser
// accepts (PLS-00123 beyond); expressions are at most kMaxExprHeight tall, as in SQL.
constexpr int kMaxNesting = 150;
// Most records and tables inside one another (Oracle's limit on record nesting).
constexpr int kMaxTypeNesting = 32;

// Most errors one compile reports; the rest would repeat what the first ones say.
constexpr int kMaxCompileErrors = 100;

// Parses a unit whose text starts at its keyword (PROCEDURE, FUNCTION, PACKAGE [BODY],
// TRIGGER, TYPE [BODY]), or an anonymous block (DECLARE, BEGIN, <<label>>). Errors are
// appended; the tree holds what could be parsed.
// modern: also the PL/SQL added after Oracle 7.3 (CASE, CONTINUE).
std::unique_ptr<Unit> parseUnit(const std::string &text, bool anonymous,
                                std::vector<CompileError> &errors, bool modern = true);

// Conditional compilation: the text with its directives and the branches not taken blanked
// (newlines kept); an $ERROR reached and a malformed condition are appended to errors.
std::string preprocess(const std::string &text, std::vector<CompileError> &errors);

// Words PL/SQL reserves (they cannot name a variable).
bool isPlsqlReserved(const std::string &word);

} // namespace localdb::plsql
