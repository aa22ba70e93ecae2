// The SQL functions the emitted SQLite statements call (ora_*): Oracle's built-ins, conversions
// and the checks Oracle makes on values.
#pragma once
#include <sqlite3.h>

namespace localdb {

class Session;

// Registers every ora_* function on a logon's connection.
void registerFunctions(sqlite3 *db, Session *session);

} // namespace localdb
