// The SQLite emitter: a bound statement tree to the text of one SQLite statement, with Oracle's
// conversions, NULL ordering, outer joins and ROWNUM made explicit.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "localdb/sql/LiteralShape.h"
#include "localdb/sql/SqlAst.h"

namespace localdb {

class Emitter {
public:
  // bindNames: the statement's bind variables (?1.. in that order); literals given as
  // parameters follow them, then the counters.
  Emitter(std::vector<std::string> bindNames, std::string user);
  // The statement's literals (see LiteralShape) become parameters, in this order, instead of
  // being written in: every text of the shape binds its own.
  void setLiteralParams(const std::vector<ShapeLiteral> *literals) { FLiterals = literals; }

  std::string select(const Select &s);
  // defaults: for each column of the table, its bound DEFAULT expression or null.
  std::string insert(const InsertStmt &s, const std::vector<const Expr *> &defaults);
  std::string update(const UpdateStmt &s);
  std::string remove(const DeleteStmt &s);
  // A CHECK condition or an index expression over NEW.col.
  std::string condition(const Expr &e);
  // A value stored into a column: conversion and the column's checks.
  std::string store(const std::string &sql, const TypeInfo &from, const ColumnInfo &column);
  // Converts SQL text of one type to another.
  std::string convert(const std::string &sql, SqlType from, SqlType to);
  // The same for timestamps and intervals, with the target's precisions (-1 where none).
  static std::string datetimeConvert(const std::string &sql, SqlType from, SqlType to, int leading,
                                     int fraction);

private:
  std::vector<std::string> FBindNames;
  const std::vector<ShapeLiteral> *FLiterals = nullptr;
  int literalParam(const Expr &e) const;
  bool wholeOnly(const Expr &e) const;
  std::map<const Expr *, std::string> FNested; // inner nested aggregates by their column
  const QueryBlock *FGrouping = nullptr;       // the block being written, when it has grouping sets
  const BoundTable *FReturning = nullptr;      // the changed table, in a RETURNING clause
  std::string returning(const Returning &r, const BoundTable &t, bool checked);
  std::string FUser;
  // While a CONNECT BY tree is written: its START WITH reads the root row, its CONNECT BY the
  // child row and (under PRIOR) the parent row.
  enum class TreePart { None, Start, Connect } FTreePart = TreePart::None;
  std::string treeSource(const BoundTable &t);
  std::string whereOf(const BoundTable &t, const Expr *where);
  std::string sortKey(const Expr &e);
  std::string orderKey(const Expr &e);
  std::string positionKey(const QueryBlock &b, const Expr &e);
  bool keyed(const Expr &e) const;
  static std::string numberKey(const std::string &sql);
  std::string numberLiteral(const std::string &text);

  std::string expr(const Expr &e);
  std::string exprBody(const Expr &e);
  // A grouping-sets block: "the row's set groups by term k", the GROUPING functions, the terms.
  std::string groupedBy(size_t k) const;
  std::string groupingCall(const Expr &e);
  std::string groupingTerms(const QueryBlock &b);

  std::string columnRef(const Expr &e);

  std::string pseudoColumn(const Expr &e);

  std::string binaryOperator(const Expr &e);

  std::string comparison(const Expr &e);

  std::string logicalChain(const Expr &e);

  std::string inList(const Expr &e);

  std::string functionCall(const Expr &e);
  std::string caseExpr(const Expr &e);
  std::string analyticCall(const Expr &e);
  std::string listAggCall(const Expr &e);
  std::string nullsOrder(const OrderItem &item);
  std::string setText(const Select &s, bool named);
  std::string conv(const Expr &e, SqlType to);
  std::string selectText(const Select &s, bool named);
  std::string blockText(const QueryBlock &b, const Select &s, bool named);
  std::string tableSource(const BoundTable &t);
  std::string scalar(const Select &q, int column);
  std::string counterParam(int counter) const;
  std::string bindParam(const std::string &name) const;
};

} // namespace localdb
