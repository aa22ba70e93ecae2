// The contents of a new server.
#pragma once
#include <sqlite3.h>

namespace localdb {

// Creates the catalog, the accounts SYSTEM/MANAGER and SCOTT/TIGER and SCOTT's EMP, DEPT, BONUS
// and SALGRADE with their classic rows (inside the caller's transaction).
void seedServer(sqlite3 *db);

} // namespace localdb
