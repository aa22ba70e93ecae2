// Catalog look-ups prepared once per connection: every statement the binder compiles reads the
// catalog, and preparing those reads afresh each time cost more than the statement itself.
#pragma once
#include <sqlite3.h>

namespace localdb {

// A kept statement, reset with its bindings cleared; the caller steps it and calls
// sqlite3_reset when done. Never shared between threads (a connection has one user at a time).
sqlite3_stmt *keptStatement(sqlite3 *db, const char *sql);
// Finalizes a connection's kept statements; before it closes.
void releaseKeptStatements(sqlite3 *db);

// Resets a kept statement when the scope ends, also when an exception passes.
struct KeptReset {
  sqlite3_stmt *st;
  ~KeptReset() {
    if (st)
      sqlite3_reset(st);
  }
};

} // namespace localdb
