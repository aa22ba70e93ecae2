// The DDL executor: CREATE / ALTER / DROP of tables, views, indexes, sequences, synonyms and users,
// COMMENT, RENAME, TRUNCATE, GRANT and REVOKE, each a change of the catalog and of SQLite's schema.
#pragma once
#include <sqlite3.h>

#include <string>

#include "localdb/sql/OraError.h"
#include "localdb/sql/SqlAst.h"

namespace localdb {

// Runs one DDL statement inside the caller's transaction; throws OraError.
void executeDdl(sqlite3 *db, const std::string &user, Statement &s);

// Turns a SQLite constraint failure on db into Oracle's error (ORA-00001 with the constraint's
// name); returns false when the message is not one of ours.
bool mapConstraintError(sqlite3 *db, const std::string &message, OraError &out);

} // namespace localdb
