// The SQL function code from the leading keywords of a statement (comments and blanks skipped).
#include "localdb/sql/StatementKind.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace localdb {

namespace {

// The first few words, upper-cased; "(" and "<<" count as words of their own.
std::vector<std::string> leadingWords(const std::string &s, size_t max) {
  std::vector<std::string> words;
  size_t i = 0, n = s.size();
  while (i < n && words.size() < max) {
    char c = s[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f') {
      ++i;
    } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
      while (i < n && s[i] != '\n')
        ++i;
    } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
      size_t e = s.find("*/", i + 2);
      i = e == std::string::npos ? n : e + 2;
    } else if (c == '(') {
      words.push_back("(");
      ++i;
    } else if (c == '<' && i + 1 < n && s[i + 1] == '<') {
      words.push_back("<<");
      i += 2;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      std::string w;
      while (i < n && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_' ||
                       s[i] == '$' || s[i] == '#'))
        w += static_cast<char>(std::toupper(static_cast<unsigned char>(s[i++])));
      words.push_back(w);
    } else {
      break;
    }
  }
  return words;
}

struct Rule {
  const char *words; // blank-separated, matched against the words after the verb
  int code;
};

int match(const std::vector<std::string> &w, size_t from, const Rule *rules, size_t count) {
  for (size_t r = 0; r < count; ++r) {
    std::string pattern = rules[r].words;
    size_t k = from, p = 0;
    bool ok = true;
    while (p < pattern.size()) {
      size_t e = pattern.find(' ', p);
      if (e == std::string::npos)
        e = pattern.size();
      if (k >= w.size() || w[k] != pattern.substr(p, e - p)) {
        ok = false;
        break;
      }
      ++k;
      p = e + 1;
    }
    if (ok)
      return rules[r].code;
  }
  return 0;
}

const Rule kCreate[] = {
    {"TABLE", 1},
    {"ROLE", 12},
    {"SEQUENCE", 13},
    {"SCHEMA", 17},
    {"CLUSTER", 18},
    {"USER", 19},
    {"INDEX", 20},
    {"UNIQUE INDEX", 20},
    {"BITMAP INDEX", 20},
    {"PROCEDURE", 24},
    // Oracle reports its own codes past the 76 of the statement-name table for these.
    {"FUNCTION", 91},
    {"PACKAGE BODY", 97},
    {"PACKAGE", 94},
    {"SYNONYM", 30},
    {"PUBLIC SYNONYM", 30},
    {"VIEW", 10},
    {"FORCE VIEW", 10},
    {"NOFORCE VIEW", 10},
    {"EXTERNAL DATABASE", 42},
    {"DATABASE", 44},
    {"ROLLBACK SEGMENT", 46},
    {"PUBLIC ROLLBACK SEGMENT", 46},
    {"TABLESPACE", 49},
    {"CONTROLFILE", 57},
    {"TRIGGER", 59},
    {"PROFILE", 65},
    {"SNAPSHOT LOG", 71},
    {"SNAPSHOT", 74},
};
const Rule kDrop[] = {
    {"ROLE", 6},
    {"VIEW", 7},
    {"TABLE", 8},
    {"USER", 11},
    {"SEQUENCE", 16},
    {"INDEX", 21},
    {"CLUSTER", 22},
    {"SYNONYM", 31},
    {"PUBLIC SYNONYM", 31},
    {"EXTERNAL DATABASE", 43},
    {"ROLLBACK SEGMENT", 48},
    {"PUBLIC ROLLBACK SEGMENT", 48},
    {"TABLESPACE", 51},
    {"TRIGGER", 61},
    {"PROFILE", 66},
    {"PROCEDURE", 68},
    // Oracle's own codes past the 76 of the statement-name table: the compile run's
    // IgnoreDropErrors tells DROP FUNCTION (not passed over) from DROP PACKAGE by them.
    {"FUNCTION", 93},
    {"PACKAGE BODY", 99},
    {"PACKAGE", 96},
    {"SNAPSHOT LOG", 73},
    {"SNAPSHOT", 76},
};
const Rule kAlter[] = {
    {"SEQUENCE", 14},
    {"PROCEDURE", 25},
    {"FUNCTION", 92},
    {"PACKAGE", 95},
    {"TABLE", 26},
    {"SYSTEM SWITCH LOG", 32},
    {"INDEX", 41},
    {"DATABASE", 45},
    {"ROLLBACK SEGMENT", 47},
    {"PUBLIC ROLLBACK SEGMENT", 47},
    {"TABLESPACE", 50},
    {"SESSION", 52},
    {"USER", 53},
    {"TRACING", 58},
    {"TRIGGER", 60},
    {"PROFILE", 67},
    {"RESOURCE COST", 70},
    {"SNAPSHOT LOG", 72},
    {"SNAPSHOT", 75},
};
const Rule kSet[] = {{"ROLE", 2}, {"TRANSACTION", 33}};
const Rule kAnalyze[] = {{"TABLE", 62}, {"INDEX", 63}, {"CLUSTER", 64}};

} // namespace

int statementKind(const std::string &text) {
  std::vector<std::string> w = leadingWords(text, 6);
  if (w.empty())
    return 0;
  const std::string &v = w[0];
  size_t n = sizeof(Rule);
  if (v == "(") {
    for (const std::string &x : w)
      if (x != "(")
        return x == "SELECT" ? 4 : 0;
    return 0;
  }
  if (v == "SELECT")
    return 4;
  if (v == "INSERT")
    return 3;
  if (v == "UPDATE")
    return 5;
  if (v == "DELETE")
    return 9;
  if (v == "BEGIN" || v == "DECLARE" || v == "<<")
    return 34;
  if (v == "CREATE") {
    size_t from = 1;
    if (w.size() > 2 && w[1] == "OR" && w[2] == "REPLACE")
      from = 3;
    return match(w, from, kCreate, sizeof kCreate / n);
  }
  if (v == "DROP")
    return match(w, 1, kDrop, sizeof kDrop / n);
  if (v == "ALTER")
    return match(w, 1, kAlter, sizeof kAlter / n);
  if (v == "SET")
    return match(w, 1, kSet, sizeof kSet / n);
  if (v == "ANALYZE")
    return match(w, 1, kAnalyze, sizeof kAnalyze / n);
  if (v == "VALIDATE")
    return w.size() > 1 && w[1] == "INDEX" ? 23 : 0;
  static const Rule kVerbs[] = {{"EXPLAIN", 27},  {"GRANT", 28},     {"REVOKE", 29},
                                {"LOCK", 35},     {"RENAME", 37},    {"COMMENT", 38},
                                {"AUDIT", 39},    {"NOAUDIT", 40},   {"COMMIT", 54},
                                {"ROLLBACK", 55}, {"SAVEPOINT", 56}, {"TRUNCATE", 85}};
  return match(w, 0, kVerbs, sizeof kVerbs / n);
}

} // namespace localdb
