// The SQL function code from the leading keywords of a statement (comments and blanks skipped).
#include "localdb/sql/StatementKind.h"

#include "db/SqlFunctionCodes.h"

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
    {"TABLE", fcCreateTable},
    {"ROLE", fcCreateRole},
    {"SEQUENCE", fcCreateSequence},
    {"SCHEMA", fcCreateSchema},
    {"CLUSTER", fcCreateCluster},
    {"USER", fcCreateUser},
    {"INDEX", fcCreateIndex},
    {"UNIQUE INDEX", fcCreateIndex},
    {"BITMAP INDEX", fcCreateIndex},
    {"PROCEDURE", fcCreateProcedure},
    // Oracle reports its own codes past the 76 of the statement-name table for these.
    {"FUNCTION", fcCreateFunction},
    {"PACKAGE BODY", fcCreatePackageBody},
    {"PACKAGE", fcCreatePackage},
    {"SYNONYM", fcCreateSynonym},
    {"PUBLIC SYNONYM", fcCreateSynonym},
    {"VIEW", fcCreateView},
    {"FORCE VIEW", fcCreateView},
    {"NOFORCE VIEW", fcCreateView},
    {"EXTERNAL DATABASE", fcCreateExternalDatabase},
    {"DATABASE", fcCreateDatabase},
    {"ROLLBACK SEGMENT", fcCreateRollbackSegment},
    {"PUBLIC ROLLBACK SEGMENT", fcCreateRollbackSegment},
    {"TABLESPACE", fcCreateTablespace},
    {"CONTROLFILE", fcCreateControlFile},
    {"TRIGGER", fcCreateTrigger},
    {"PROFILE", fcCreateProfile},
    {"SNAPSHOT LOG", fcCreateSnapshotLog},
    {"SNAPSHOT", fcCreateSnapshot},
};
const Rule kDrop[] = {
    {"ROLE", fcDropRole},
    {"VIEW", fcDropView},
    {"TABLE", fcDropTable},
    {"USER", fcDropUser},
    {"SEQUENCE", fcDropSequence},
    {"INDEX", fcDropIndex},
    {"CLUSTER", fcDropCluster},
    {"SYNONYM", fcDropSynonym},
    {"PUBLIC SYNONYM", fcDropSynonym},
    {"EXTERNAL DATABASE", fcDropExternalDatabase},
    {"ROLLBACK SEGMENT", fcDropRollbackSegment},
    {"PUBLIC ROLLBACK SEGMENT", fcDropRollbackSegment},
    {"TABLESPACE", fcDropTablespace},
    {"TRIGGER", fcDropTrigger},
    {"PROFILE", fcDropProfile},
    {"PROCEDURE", fcDropProcedure},
    // Oracle's own codes past the 76 of the statement-name table: the compile run's
    // IgnoreDropErrors tells DROP FUNCTION (not passed over) from DROP PACKAGE by them.
    {"FUNCTION", fcDropFunction},
    {"PACKAGE BODY", fcDropPackageBody},
    {"PACKAGE", fcDropPackage},
    {"SNAPSHOT LOG", fcDropSnapshotLog},
    {"SNAPSHOT", fcDropSnapshot},
};
const Rule kAlter[] = {
    {"SEQUENCE", fcAlterSequence},
    {"PROCEDURE", fcAlterProcedure},
    {"FUNCTION", fcAlterFunction},
    {"PACKAGE", fcAlterPackage},
    {"TABLE", fcAlterTable},
    {"SYSTEM SWITCH LOG", fcAlterSystemSwitchLog},
    {"INDEX", fcAlterIndex},
    {"DATABASE", fcAlterDatabase},
    {"ROLLBACK SEGMENT", fcAlterRollbackSegment},
    {"PUBLIC ROLLBACK SEGMENT", fcAlterRollbackSegment},
    {"TABLESPACE", fcAlterTablespace},
    {"SESSION", fcAlterSession},
    {"USER", fcAlterUser},
    {"TRACING", fcAlterTracing},
    {"TRIGGER", fcAlterTrigger},
    {"PROFILE", fcAlterProfile},
    {"RESOURCE COST", fcAlterResourceCost},
    {"SNAPSHOT LOG", fcAlterSnapshotLog},
    {"SNAPSHOT", fcAlterSnapshot},
};
const Rule kSet[] = {{"ROLE", fcSetRole}, {"TRANSACTION", fcSetTransaction}};
const Rule kAnalyze[] = {
    {"TABLE", fcAnalyzeTable}, {"INDEX", fcAnalyzeIndex}, {"CLUSTER", fcAnalyzeCluster}};

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
        return x == "SELECT" || x == "WITH" ? fcSelect : 0;
    return 0;
  }
  if (v == "SELECT" || v == "WITH")
    return fcSelect;
  if (v == "INSERT")
    return fcInsert;
  if (v == "UPDATE")
    return fcUpdate;
  if (v == "DELETE")
    return fcDelete;
  if (v == "MERGE")
    return fcMerge;
  if (v == "BEGIN" || v == "DECLARE" || v == "<<")
    return fcPlSqlExecute;
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
    return w.size() > 1 && w[1] == "INDEX" ? fcValidateIndex : 0;
  static const Rule kVerbs[] = {
      {"EXPLAIN", fcExplain},   {"GRANT", fcGrant},         {"REVOKE", fcRevoke},
      {"LOCK", fcLockTable},    {"RENAME", fcRename},       {"COMMENT", fcComment},
      {"AUDIT", fcAudit},       {"NOAUDIT", fcNoaudit},     {"COMMIT", fcCommit},
      {"ROLLBACK", fcRollback}, {"SAVEPOINT", fcSavepoint}, {"TRUNCATE", fcTruncate}};
  return match(w, 0, kVerbs, sizeof kVerbs / n);
}

} // namespace localdb
