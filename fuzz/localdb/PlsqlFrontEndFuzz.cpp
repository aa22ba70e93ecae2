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
    // An object type with its body, and a collection of it.
    plsql::runPlsql(*gSession,
                    "create or replace type fz_point as object (x number, y varchar2(10), member "
                    "function len return number, member procedure move(d number), static "
                    "function origin return fz_point, constructor function fz_point(v number) "
                    "return self as result, map member function m return number)",
                    nullptr, false);
    plsql::runPlsql(*gSession,
                    "create or replace type body fz_point as member function len return number "
                    "is begin return x; end; member procedure move(d number) is begin x := x + "
                    "d; end; static function origin return fz_point is begin return "
                    "fz_point(0, null); end; constructor function fz_point(v number) return self "
                    "as result is begin x := v; return; end; map member function m return "
                    "number is begin return x; end; end;",
                    nullptr, false);
    plsql::runPlsql(*gSession, "create or replace type fz_points as table of fz_point", nullptr,
                    false);
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
