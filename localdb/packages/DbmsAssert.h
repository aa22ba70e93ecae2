// DBMS_ASSERT's members over PL/SQL values; the catalog answers SCHEMA_NAME and SQL_OBJECT_NAME.
#pragma once
#include <sqlite3.h>

#include <string>
#include <vector>

#include "localdb/plsql/PlsqlRuntime.h"

namespace localdb::packages {

plsql::Value dbmsAssert(const std::string &member, std::vector<plsql::Value> &args, sqlite3 *db);

} // namespace localdb::packages
