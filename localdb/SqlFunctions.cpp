// The ora_* SQL functions that emitted statements call.
#include "SqlFunctions.h"

#include "Session.h"

namespace localdb {

namespace {

void fnUser(sqlite3_context *ctx, int, sqlite3_value **) {
  auto *s = static_cast<Session *>(sqlite3_user_data(ctx));
  sqlite3_result_text(ctx, s->user().c_str(), -1, SQLITE_TRANSIENT);
}

} // namespace

void registerFunctions(sqlite3 *db, Session *session) {
  sqlite3_create_function_v2(db, "ora_user", 0, SQLITE_UTF8 | SQLITE_DETERMINISTIC, session,
                             fnUser, nullptr, nullptr, nullptr);
}

} // namespace localdb
