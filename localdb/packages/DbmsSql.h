// DBMS_SQL's common path over the logon's own cursors: OPEN_CURSOR, PARSE, BIND_VARIABLE,
// DEFINE_COLUMN, EXECUTE, FETCH_ROWS, EXECUTE_AND_FETCH, COLUMN_VALUE, VARIABLE_VALUE,
// LAST_ROW_COUNT, IS_OPEN, CLOSE_CURSOR. Values travel as text, converted by the variables
// they are read into, as EXECUTE IMMEDIATE's do.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "localdb/plsql/PlsqlRuntime.h"

namespace localdb {
class Session;
}

namespace localdb::packages {

struct DbmsSqlCursor;

// A logon's DBMS_SQL cursors by number.
struct DbmsSqlCursors {
  std::map<int64_t, std::shared_ptr<DbmsSqlCursor>> open;
  int64_t next = 0;
  int64_t lastRowCount = 0;
};

plsql::Value callDbmsSql(const std::string &member, std::vector<plsql::Value> &args, Session &s,
                         DbmsSqlCursors &cursors);

} // namespace localdb::packages
