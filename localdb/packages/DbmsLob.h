// DBMS_LOB and UTL_RAW (and DBMS_ASSERT's checks): the members PL/SQL calls, over the values it
// holds (a CLOB's text, a BLOB's or a RAW's bytes). A LOB here is its value, not a locator: the
// subprograms that write change the variable they are given, not a row it was read from.
#pragma once
#include <sqlite3.h>

#include <string>
#include <vector>

#include "localdb/plsql/PlsqlRuntime.h"

namespace localdb::packages {

struct LobMember {
  const char *package, *name;
  int minArgs, maxArgs;
  plsql::VType result;  // Null for a procedure
  unsigned written = 0; // bit i: argument i is IN OUT or OUT
  // A text result is RAW ('R'), or RAW when the first argument is a BLOB ('A'), else VARCHAR2.
  char rawResult = 0;
  const char *params = ""; // the parameters' names, comma-separated, for named notation
};

// The member of DBMS_LOB or UTL_RAW by name, or nullptr.
const LobMember *findLobMember(const std::string &package, const std::string &name);

// The position of a member's parameter by name, -1 when it has none of that name.
int lobParamIndex(const LobMember &m, const std::string &name);

// Runs a member. args holds the evaluated arguments (as many as were given); the written ones
// are updated in place. binary: the first argument is a BLOB (WRITE, COPY and ERASE fill gaps
// with zero bytes rather than blanks). The function's result, NULL for a procedure.
plsql::Value callLobMember(const LobMember &m, std::vector<plsql::Value> &args, bool binary,
                           sqlite3 *db = nullptr);

} // namespace localdb::packages
