// Fuzz target: any text through the PL/SQL front end (lexer, parser, binder with its embedded
// SQL) as an anonymous block and as a stored unit, on a seeded server in memory. Every input
// must end in a tree or in compile errors: no crash, no hang, memory bounded.
#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "localdb/catalog/Catalog.h"
#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Seed.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraError.h"

using namespace localdb;

namespace {

Session *gSession = nullptr;

void setUp() {
  sqlite3 *db = nullptr;
  sqlite3_open(":memory:", &db);
  execSql(db, "BEGIN");
  seedServer(db);
  execSql(db, "COMMIT");
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
  gSession = new Session(db, "SCOTT", "");
  // A stored package and procedure for names to resolve against.
  try {
    plsql::runPlsql(*gSession,
                    "create or replace package pk is x number; procedure p(a number, b out "
                    "varchar2); function f(n number default 1) return number; end;",
                    nullptr, false);
    plsql::runPlsql(*gSession, "create or replace procedure pr(d date) is begin null; end;",
                    nullptr, false);
  } catch (const OraError &) {
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!gSession)
    setUp();
  // Up to 1 MB: operator chains of tens of thousands of terms and deep nesting must be
  // reachable (run with -len_control=0 and a -max_len of that order).
  if (size > (1u << 20))
    return 0;
  std::string text(reinterpret_cast<const char *>(data), size);
  for (bool anonymous : {true, false}) {
    try {
      auto errors =
          plsql::compileOnly(*gSession, anonymous ? text : "procedure fz is " + text, anonymous);
      for (const auto &e : errors)
        if (e.text.empty() || e.line < 0 || e.position < 0)
          __builtin_trap();
    } catch (const OraError &) {
      // Catalog errors of the SQL inside are fine.
    }
  }
  return 0;
}
