// Catalog statements prepared once per connection and kept until it closes.
#include "localdb/catalog/KeptStatements.h"

#include <map>
#include <mutex>
#include <string>

#include "localdb/sql/OraError.h"

namespace localdb {

namespace {
std::mutex gLock;
std::map<sqlite3 *, std::map<const char *, sqlite3_stmt *>> gKept; // by the SQL's address
} // namespace

sqlite3_stmt *keptStatement(sqlite3 *db, const char *sql) {
  {
    std::lock_guard<std::mutex> g(gLock);
    auto &mine = gKept[db];
    auto it = mine.find(sql);
    if (it != mine.end()) {
      sqlite3_reset(it->second);
      sqlite3_clear_bindings(it->second);
      return it->second;
    }
  }
  sqlite3_stmt *st = nullptr;
  if (int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
      rc != SQLITE_OK) {
    sqlite3_finalize(st);
    // A damaged or unreadable file is the storage's failure; anything else is ours.
    if ((rc & 0xff) != SQLITE_ERROR)
      throw sqliteFailure(rc, sqlite3_errmsg(db));
    throw oraErrorText(600, std::string("internal error code, arguments: [catalog], [") +
                                sqlite3_errmsg(db) + "]");
  }
  std::lock_guard<std::mutex> g(gLock);
  gKept[db][sql] = st;
  return st;
}

void releaseKeptStatements(sqlite3 *db) {
  std::lock_guard<std::mutex> g(gLock);
  auto it = gKept.find(db);
  if (it == gKept.end())
    return;
  for (auto &p : it->second)
    sqlite3_finalize(p.second);
  gKept.erase(it);
}

} // namespace localdb
