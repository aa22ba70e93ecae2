// DBMS_ASSERT: the checks code runs on names and literals before it puts them into dynamic SQL.
// A name that is not what the member asks for raises its ORA-44001 .. ORA-44004; a literal or a
// name whose quotes are not paired raises VALUE_ERROR.
#include "localdb/packages/DbmsAssert.h"

#include <cctype>

#include "localdb/catalog/KeptStatements.h"

namespace localdb::packages {

using plsql::Value;

namespace {

bool nameStart(unsigned char c) { return std::isalpha(c) || c >= 0x80; }
bool nameChar(unsigned char c) {
  return std::isalnum(c) || c == '_' || c == '$' || c == '#' || c >= 0x80;
}

// One simple name at text[at]: an ordinary name or a quoted one (no quote inside, at most 30
// bytes); the position after it, or npos.
size_t simpleName(const std::string &text, size_t at) {
  if (at < text.size() && text[at] == '"') {
    size_t end = text.find('"', at + 1);
    if (end == std::string::npos || end == at + 1 || end - at - 1 > 128)
      return std::string::npos;
    return end + 1;
  }
  if (at >= text.size() || !nameStart(static_cast<unsigned char>(text[at])))
    return std::string::npos;
  size_t end = at;
  while (end < text.size() && nameChar(static_cast<unsigned char>(text[end])))
    ++end;
  return end - at > 128 ? std::string::npos : end;
}

std::string trimmed(const std::string &s) {
  size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

bool isSimpleName(const std::string &text) {
  std::string t = trimmed(text);
  return !t.empty() && simpleName(t, 0) == t.size();
}

// name[.name...][@name[.name...]]
bool isQualifiedName(const std::string &text) {
  std::string t = trimmed(text);
  size_t at = 0;
  bool link = false;
  while (true) {
    size_t end = simpleName(t, at);
    if (end == std::string::npos)
      return false;
    if (end == t.size())
      return true;
    if (t[end] == '@' && !link)
      link = true;
    else if (t[end] != '.')
      return false;
    at = end + 1;
  }
}

// The name as the dictionary keeps it: a quoted one as written, another in capitals.
std::string dictionaryName(const std::string &name) {
  if (name.size() >= 2 && name.front() == '"')
    return name.substr(1, name.size() - 2);
  std::string up = name;
  for (char &c : up)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return up;
}

bool exists(sqlite3 *db, const char *sql, const std::string &a, const std::string &b = "") {
  if (!db)
    return false;
  sqlite3_stmt *q = keptStatement(db, sql);
  KeptReset done{q};
  sqlite3_bind_text(q, 1, a.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(q, 2, b.c_str(), -1, SQLITE_TRANSIENT);
  return sqlite3_step(q) == SQLITE_ROW;
}

} // namespace

Value dbmsAssert(const std::string &member, std::vector<Value> &args, sqlite3 *db) {
  const Value &in = args.empty() ? Value() : args[0];
  const std::string &s = in.s;
  if (member == "NOOP")
    return in;
  if (member == "ENQUOTE_LITERAL") {
    // Quotes inside must come in pairs; leading and trailing ones are the literal's own.
    std::string body = s;
    if (body.size() >= 2 && body.front() == '\'' && body.back() == '\'')
      body = body.substr(1, body.size() - 2);
    for (size_t i = 0; i < body.size(); ++i)
      if (body[i] == '\'') {
        if (i + 1 >= body.size() || body[i + 1] != '\'')
          plsql::raiseValueError();
        ++i;
      }
    return Value::text("'" + body + "'");
  }
  if (member == "ENQUOTE_NAME") {
    bool capitalize = args.size() < 2 || args[1].isNull() || args[1].b;
    std::string body = s;
    if (body.size() >= 2 && body.front() == '"' && body.back() == '"')
      body = body.substr(1, body.size() - 2);
    else if (capitalize)
      body = dictionaryName(body);
    for (size_t i = 0; i < body.size(); ++i)
      if (body[i] == '"') {
        if (i + 1 >= body.size() || body[i + 1] != '"')
          plsql::raiseValueError();
        ++i;
      }
    return Value::text("\"" + body + "\"");
  }
  if (member == "SIMPLE_SQL_NAME") {
    if (!isSimpleName(s))
      plsql::raise(44003);
    return Value::text(trimmed(s));
  }
  if (member == "QUALIFIED_SQL_NAME") {
    if (!isQualifiedName(s))
      plsql::raise(44004);
    return Value::text(trimmed(s));
  }
  if (member == "SCHEMA_NAME") {
    if (!exists(db, "SELECT 1 FROM ora_users WHERE username = ?1", s))
      plsql::raise(44001);
    return in;
  }
  // SQL_OBJECT_NAME: an object of the schema given, or of the caller's, or a public synonym.
  std::string t = trimmed(s);
  if (!isQualifiedName(t) || t.find('@') != std::string::npos)
    plsql::raise(44002);
  size_t dot = std::string::npos;
  for (size_t at = 0; at < t.size();) {
    size_t end = simpleName(t, at);
    if (end < t.size() && t[end] == '.' && dot == std::string::npos)
      dot = end;
    at = end + 1;
  }
  std::string owner = dot == std::string::npos ? "" : dictionaryName(t.substr(0, dot));
  std::string name = dictionaryName(dot == std::string::npos ? t : t.substr(dot + 1));
  bool found =
      owner.empty()
          ? exists(db,
                   "SELECT 1 FROM ora_objects WHERE owner = ora_user() AND object_name = ?1 "
                   "UNION ALL SELECT 1 FROM ora_synonyms WHERE owner = 'PUBLIC' AND "
                   "synonym_name = ?1",
                   name)
          : exists(db, "SELECT 1 FROM ora_objects WHERE owner = ?1 AND object_name = ?2", owner,
                   name);
  if (!found)
    plsql::raise(44002);
  return in;
}

} // namespace localdb::packages
