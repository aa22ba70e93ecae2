// Object privileges, the DBA role and system privileges, read from ora_privs / ora_col_privs.
#include "localdb/catalog/Privileges.h"

#include "localdb/catalog/Catalog.h"

namespace localdb {

namespace {

struct Rows {
  sqlite3_stmt *st = nullptr;
  Rows(sqlite3 *db, const char *sql, std::initializer_list<const std::string *> args) {
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
      st = nullptr;
    int i = 1;
    for (const std::string *a : args)
      sqlite3_bind_text(st, i++, a->c_str(), static_cast<int>(a->size()), SQLITE_STATIC);
  }
  ~Rows() { sqlite3_finalize(st); }
  bool next() { return st && sqlite3_step(st) == SQLITE_ROW; }
  std::string text(int i) {
    const unsigned char *t = sqlite3_column_text(st, i);
    return t ? reinterpret_cast<const char *>(t) : "";
  }
};

// System privileges that stand for an object privilege on every object of a kind.
const char *anyPrivilegeOf(const std::string &systemPrivilege) {
  static const std::map<std::string, const char *> kAny = {
      {"SELECT ANY TABLE", "SELECT"},       {"INSERT ANY TABLE", "INSERT"},
      {"UPDATE ANY TABLE", "UPDATE"},       {"DELETE ANY TABLE", "DELETE"},
      {"LOCK ANY TABLE", "LOCK"},           {"CREATE ANY INDEX", "INDEX"},
      {"ALTER ANY TABLE", "ALTER"},         {"SELECT ANY SEQUENCE", "SELECT"},
      {"EXECUTE ANY PROCEDURE", "EXECUTE"},
  };
  auto it = kAny.find(systemPrivilege);
  return it == kAny.end() ? nullptr : it->second;
}

} // namespace

bool ObjectPrivileges::hasColumns(const std::string &privilege,
                                  const std::vector<std::string> &cols) const {
  if (has(privilege))
    return true;
  auto it = columns.find(privilege);
  if (it == columns.end())
    return false;
  for (const std::string &c : cols)
    if (!it->second.count(c))
      return false;
  return true;
}

bool isDba(sqlite3 *db, const std::string &user) {
  if (user == "SYS" || user == "SYSTEM")
    return true;
  Rows r(db,
         "SELECT 1 FROM ora_privs WHERE object_name IS NULL AND grantee = ?1 AND privilege = "
         "'DBA'",
         {&user});
  return r.next();
}

bool hasSystemPrivilege(sqlite3 *db, const std::string &user, const std::string &privilege) {
  if (isDba(db, user))
    return true;
  Rows r(db,
         "SELECT 1 FROM ora_privs WHERE object_name IS NULL AND grantee IN (?1, 'PUBLIC') AND "
         "privilege = ?2",
         {&user, &privilege});
  return r.next();
}

ObjectPrivileges objectPrivileges(sqlite3 *db, const std::string &user, const std::string &owner,
                                  const std::string &name) {
  ObjectPrivileges p;
  if (owner == user || isDba(db, user)) {
    p.all = true;
    return p;
  }
  // The dictionary belongs to everyone, except the DBA_* views.
  if (owner == "SYS") {
    if (name.compare(0, 4, "DBA_") != 0)
      p.table = {"SELECT"};
    return p;
  }
  {
    Rows r(db,
           "SELECT privilege FROM ora_privs WHERE owner = ?1 AND object_name = ?2 AND grantee IN "
           "(?3, 'PUBLIC')",
           {&owner, &name, &user});
    while (r.next())
      p.table.insert(r.text(0));
  }
  {
    Rows r(db,
           "SELECT privilege, column_name FROM ora_col_privs WHERE owner = ?1 AND object_name = "
           "?2 AND grantee IN (?3, 'PUBLIC')",
           {&owner, &name, &user});
    while (r.next())
      p.columns[r.text(0)].insert(r.text(1));
  }
  {
    Rows r(db, "SELECT privilege FROM ora_privs WHERE object_name IS NULL AND grantee = ?1",
           {&user});
    while (r.next())
      if (const char *any = anyPrivilegeOf(r.text(0)))
        p.table.insert(any);
  }
  return p;
}

void ensurePrivilegeTables(sqlite3 *db) {
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_col_privs(grantor TEXT, grantee TEXT NOT NULL, "
              "owner TEXT NOT NULL, object_name TEXT NOT NULL, column_name TEXT NOT NULL, "
              "privilege TEXT NOT NULL, grantable TEXT NOT NULL DEFAULT 'NO')");
}

std::string dbaCondition() {
  return "(ora_user() IN ('SYS', 'SYSTEM') OR EXISTS (SELECT 1 FROM ora_privs d WHERE "
         "d.object_name IS NULL AND d.grantee = ora_user() AND d.privilege = 'DBA'))";
}

std::string visibleCondition(const std::string &ownerColumn, const std::string &nameColumn) {
  const std::string &o = ownerColumn, &n = nameColumn;
  return "(" + o + " = ora_user() OR (" + o + " = 'SYS' AND substr(" + n +
         ", 1, 4) <> 'DBA_') OR EXISTS (SELECT 1 FROM ora_privs g WHERE g.owner = " + o +
         " AND g.object_name = " + n +
         " AND g.grantee IN (ora_user(), 'PUBLIC')) OR EXISTS (SELECT 1 FROM ora_col_privs g "
         "WHERE g.owner = " +
         o + " AND g.object_name = " + n +
         " AND g.grantee IN (ora_user(), 'PUBLIC')) OR EXISTS (SELECT 1 FROM ora_privs g WHERE "
         "g.object_name IS NULL AND g.grantee = ora_user() AND g.privilege IN ('DBA', "
         "'SELECT ANY TABLE')))";
}

std::string systemPrivilegeCondition(const std::string &privilege) {
  return "(" + dbaCondition() +
         " OR EXISTS (SELECT 1 FROM ora_privs s WHERE s.object_name IS NULL AND s.grantee IN "
         "(ora_user(), 'PUBLIC') AND s.privilege = " +
         quoteText(privilege) + "))";
}

std::string unitVisibleCondition(const std::string &ownerColumn, const std::string &nameColumn,
                                 const std::string &typeColumn) {
  return "(" + ownerColumn + " = ora_user() OR " + dbaCondition() + " OR (" + typeColumn +
         " NOT IN ('PACKAGE BODY', 'TRIGGER') AND (" + visibleCondition(ownerColumn, nameColumn) +
         " OR " + systemPrivilegeCondition("EXECUTE ANY PROCEDURE") + ")))";
}

std::string triggerVisibleCondition(const std::string &ownerColumn,
                                    const std::string &tableOwnerColumn) {
  return "(" + ownerColumn + " = ora_user() OR " + tableOwnerColumn + " = ora_user() OR " +
         systemPrivilegeCondition("CREATE ANY TRIGGER") + ")";
}

} // namespace localdb
