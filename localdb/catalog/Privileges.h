// Who may use what: object privileges (on a whole object or on some of its columns), the DBA
// role, system privileges, and the condition the ALL_* views filter their rows with.
#pragma once
#include <sqlite3.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace localdb {

// SYS, SYSTEM and every user granted the DBA role.
bool isDba(sqlite3 *db, const std::string &user);
// A system privilege (CREATE ANY TRIGGER, ...) granted to the user or to PUBLIC, or the DBA role.
bool hasSystemPrivilege(sqlite3 *db, const std::string &user, const std::string &privilege);

// What one user may do with one object.
struct ObjectPrivileges {
  bool all = false;                                     // the owner, or a DBA
  std::set<std::string> table;                          // SELECT, INSERT, ... on the whole object
  std::map<std::string, std::set<std::string>> columns; // UPDATE / INSERT / REFERENCES by column
  // Any privilege at all: without one the object does not exist for the user (ORA-00942).
  bool any() const { return all || !table.empty() || !columns.empty(); }
  bool has(const std::string &privilege) const { return all || table.count(privilege) != 0; }
  // The privilege on the whole object or on each of the columns.
  bool hasColumns(const std::string &privilege, const std::vector<std::string> &cols) const;
};

ObjectPrivileges objectPrivileges(sqlite3 *db, const std::string &user, const std::string &owner,
                                  const std::string &name);

// Creates the column-privilege table in a file made before it existed.
void ensurePrivilegeTables(sqlite3 *db);

// SQL condition over a catalog row: the object named by the two column expressions is one the
// logged-on user (ora_user()) owns, may use, or sees as a DBA.
std::string visibleCondition(const std::string &ownerColumn, const std::string &nameColumn);
// SQL condition: the logged-on user is a DBA.
std::string dbaCondition();
// SQL condition: the logged-on user holds the system privilege (or is a DBA).
std::string systemPrivilegeCondition(const std::string &privilege);
// SQL condition over a row about a stored unit (source, errors, dependencies): a package body or
// a trigger is its owner's (and the DBA's) only; a grantee of the package sees its
// specification.
std::string unitVisibleCondition(const std::string &ownerColumn, const std::string &nameColumn,
                                 const std::string &typeColumn);
// SQL condition over a trigger's row: its owner, the owner of its table, and those who may
// create triggers on any table see it.
std::string triggerVisibleCondition(const std::string &ownerColumn,
                                    const std::string &tableOwnerColumn);

} // namespace localdb
