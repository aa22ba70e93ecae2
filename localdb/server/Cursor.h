// A cursor: one statement of a logon, its binds, its defines and its fetch state.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "localdb/server/Session.h"
#include "localdb/sql/OraError.h"

struct sqlite3_stmt;

namespace localdb::plsql {
struct CursorState;
struct SqlPart;
struct DmlTarget;
} // namespace localdb::plsql

namespace localdb {

struct CompiledStatement;

// What odescr returns for one select-list item.
struct DescribeInfo {
  int dbsize = 0;
  int dbtype = 0;
  std::string name;
  int displaySize = 0;
  int precision = 0;
  int scale = 0;
  bool nullOk = true;
};

class Cursor {
public:
  explicit Cursor(std::shared_ptr<Session> session);
  ~Cursor();
  Cursor(const Cursor &) = delete;
  Cursor &operator=(const Cursor &) = delete;

  const std::shared_ptr<Session> &session() const { return FSession; }

  // The members of the cursor data area the call contract writes back.
  int functionCode = 0;
  uint32_t rowsProcessed = 0;
  int parseErrorOffset = 0;
  uint8_t warningFlags = 0;

  void parse(const char *text, size_t length, bool deferred);
  void bind(const std::string &name, void *value, int valueLength, int externalType,
            int16_t *indicators, uint16_t *lengths, uint16_t *returnCodes, uint32_t maxElements,
            uint32_t *currentElements);
  void define(int position, void *buffer, int bufferLength, int externalType, int16_t *indicators,
              uint16_t *lengths, uint16_t *returnCodes);
  DescribeInfo describe(int position);
  // Each returns 0 or 1403 (no more rows); failures are thrown.
  int execute(int iterations, int rowOffset);
  int executeFetch(uint32_t rows, bool cancel, bool exact);
  int fetch(uint32_t rows);
  void cancel();

  // A cursor variable a PL/SQL block opened becomes this cursor's query: describe and fetch
  // read it from the row it has reached; the statement stays the variable's.
  void adopt(std::shared_ptr<plsql::CursorState> state);
  // The cursor variables the last execute opened for binds of external type 102, each with the
  // caller's cursor data area it was bound to (the area's address as obndra gave it).
  std::vector<std::pair<void *, std::shared_ptr<plsql::CursorState>>> takeOpenedCursors();

  struct Impl;

private:
  void runParts(int iterations, int rowOffset);
  std::shared_ptr<Session> FSession;
  std::unique_ptr<Impl> FImpl;
};

// The statements of a MERGE or multi-table INSERT for each of rounds from .. to-1, inside one
// savepoint so that a failing one undoes those before it, with the table's statement
// triggers; bind puts a round's values on a statement. The rows the counted statements changed.
int64_t runStatementParts(Session &s, const std::vector<plsql::SqlPart> &parts,
                          const plsql::DmlTarget &target, int from, int to,
                          const std::function<void(sqlite3_stmt *, int)> &bind);

} // namespace localdb
