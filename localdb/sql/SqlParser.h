// The SQL parser: tokens to a statement tree, Oracle's syntax errors at the offending token.
#pragma once
#include <memory>
#include <string>

#include "localdb/sql/SqlAst.h"

namespace localdb {

// Deepest nesting of expressions and queries the parser accepts.
constexpr int kMaxParseDepth = 200;
// Tallest expression tree (long operator chains build tall trees without recursion).
constexpr int kMaxExprHeight = 1000;
// Oracle's limits on a select list and on an IN list, checked while parsing.
constexpr size_t kMaxSelectItems = 1000;
constexpr size_t kMaxListItems = 1000;
// Most set operators (UNION, MINUS, ...) in one query.
constexpr int kMaxSetOperators = 255;

// Parses one SQL statement (no trailing semicolon, as OCI takes it). Throws OraError with the
// offset of the offending token.
// modern: the SQL added after Oracle 7.3 is accepted (CASE expressions, ...); without it such
// text gets the errors Oracle 7.3 gives.
std::unique_ptr<Statement> parseStatement(const std::string &text, bool modern = true);

// Parses a query alone (a view's text).
std::unique_ptr<Select> parseQuery(const std::string &text);

// Parses a condition alone (a CHECK constraint's text).
ExprPtr parseCondition(const std::string &text);

// True for Oracle's reserved words, which cannot name columns or aliases.
bool isReserved(const std::string &word);

} // namespace localdb
