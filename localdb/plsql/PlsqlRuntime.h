// PL/SQL run-time values and errors: the tagged value, records, PL/SQL tables, cursor states,
// conversions and arithmetic with Oracle's rules, and the error that carries ORA-06512 lines.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "localdb/plsql/PlsqlAst.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlFunctions.h"

namespace localdb {
class Session;
}

namespace localdb::plsql {

struct Record;
struct PlTable;
struct CursorState;

// The longest CLOB or BLOB value held: SQLite's bound on a text or blob. Past it is ORA-22925.
constexpr size_t kMaxLobBytes = 1000000000;

// A value: NULL (of any type), a number, text, a date (stored text), a boolean, or a record,
// a PL/SQL table or a cursor shared by reference (assignment copies them explicitly).
struct Value {
  VType t = VType::Null;
  SqlType dt = SqlType::Unknown; // a Datetime's type; s holds its stored form (an interval's
                                 // integer in decimal)
  bool b = false;
  // A CLOB or BLOB (text or bytes): no 32767-byte bound, and it may be empty without being NULL.
  // 2 for a temporary one (DBMS_LOB.ISTEMPORARY), made in PL/SQL rather than read from a table.
  uint8_t lob = 0;
  OraNum n;
  std::string s;
  std::shared_ptr<Record> rec;
  std::shared_ptr<PlTable> tab;
  std::shared_ptr<CursorState> cur;

  bool isNull() const { return t == VType::Null; }
  static Value number(const OraNum &v) {
    Value x;
    x.t = VType::Number;
    x.n = v;
    return x;
  }
  static Value integer(int64_t v) { return number(OraNum::of(v)); }
  static Value text(std::string v) {
    Value x;
    if (!v.empty()) {
      x.t = VType::Char;
      x.s = std::move(v);
    }
    return x;
  }
  static Value lobOf(std::string v, uint8_t kind = 2) {
    Value x;
    x.t = VType::Char;
    x.s = std::move(v);
    x.lob = kind;
    return x;
  }
  static Value boolean(bool v) {
    Value x;
    x.t = VType::Boolean;
    x.b = v;
    return x;
  }
};

struct Record {
  const TypeDecl *type = nullptr;
  std::vector<Value> fields;
};

// A collection's elements by key: whole-number keys, or text keys for a string-keyed
// associative array. A nested table or VARRAY also keeps its size, the elements EXTEND made
// (DELETE leaves holes, which still count for TRIM and EXTEND).
struct PlTable {
  const TypeDecl *type = nullptr;
  std::map<int32_t, Value> elements;
  std::map<std::string, Value> named;
  int32_t size = 0;
};

// An open (or closed) cursor: its SQLite statement while open and its attributes.
struct CursorState {
  Session *session = nullptr;
  sqlite3_stmt *stmt = nullptr;
  bool isOpen = false;
  int found = -1; // -1 before the first fetch, 0 / 1 after
  int64_t rowCount = 0;
  std::vector<SqlType> columnTypes;
  std::vector<std::string> columnNames; // a cursor variable handed to the caller is described
  std::vector<TypeInfo> columnInfo;
  std::vector<RownumCounter> counters; // ROWNUM counters the open statement reads
  bool done = false; // the last row was fetched: SQLite would start the query over
  // FOR UPDATE: the transaction its rows belong to (fetching after it ended is ORA-01002), and
  // the rowid of the row fetched last (WHERE CURRENT OF), -1 without one.
  bool forUpdate = false;
  long transaction = 0;
  int rowidColumn = -1;
  int64_t rowid = -1;
  ~CursorState();
  // Takes st as the open statement, one more of the logon's open cursors (ORA-01000 past the
  // limit, st given back then).
  void start(Session &s, sqlite3_stmt *st);
  void close();
};

// A raised PL/SQL exception as it travels: its code (Oracle's number, 1 for a user-defined
// exception without EXCEPTION_INIT), its message, the declaration it came from, and the
// ORA-06512 lines gathered on the way out.
struct PlsqlError {
  int code = 0;
  std::string message; // "ORA-nnnnn: ..." (first line)
  const ExceptionDecl *user = nullptr;
  std::vector<std::string> trace;
};

[[noreturn]] void raise(int code, const std::string &detail = std::string());
[[noreturn]] void raiseValueError(const char *why = nullptr);

// v itself, or ORA-06502 when it is text longer than kMaxStringBytes.
const Value &fitString(const Value &v);

// Date text as stored ("YYYY-MM-DD HH:MM:SS").
std::string numberText(const OraNum &n);

// Timestamps and intervals convert to and from text by the NLS formats of the logon that runs
// PL/SQL on this thread: the interpreter names it for as long as it runs.
class DatetimeSession {
public:
  explicit DatetimeSession(const Session &s);
  ~DatetimeSession();
  DatetimeSession(const DatetimeSession &) = delete;
  DatetimeSession &operator=(const DatetimeSession &) = delete;

private:
  const Session *FPrevious;
};
// A value as the Datetime of type t (with its precisions): text read by the session's formats,
// a DATE or another datetime converted; ORA-00932 / the reading error otherwise.
Value toDatetime(const Value &v, const Type &t);

// Conversions with Oracle's implicit rules; ORA-06502 when a value does not fit.
Value toNumber(const Value &v);
Value toText(const Value &v, const std::string &dateFormat);
Value toDate(const Value &v, const std::string &dateFormat);
// A copy that shares nothing mutable (records and tables are values).
Value deepCopy(const Value &v);
// Fits a value into a declared type (length, precision, integer range).
Value coerce(const Value &v, const Type &t, const std::string &dateFormat);
// A fresh value of a type: NULL for scalars, nested tables and VARRAYs, an empty record or
// associative array.
Value initialValue(const Type &t);
// An initialised, empty nested table or VARRAY of type d.
Value emptyCollection(const TypeDecl *d);

// Arithmetic and comparison on values already of compatible families.
Value arith(Op op, const Value &a, const Value &b, const std::string &dateFormat);
// -1, 0, 1; the caller handles NULLs.
int compareValues(const Value &a, const Value &b, const std::string &dateFormat);

// The concatenation a || b (NULL as the empty string): a LOB when either is one (ORA-22925 past
// kMaxLobBytes), else bounded by PL/SQL's longest string (ORA-06502).
Value concat(const Value &a, const Value &b, const std::string &dateFormat);

// Text compared as if the shorter were blank-padded to the longer's length (CHAR semantics).
int compareBlankPadded(const std::string &a, const std::string &b);

// SQLite column / parameter bridges.
Value columnValue(sqlite3_stmt *st, int col, SqlType type);
void bindParam(sqlite3_stmt *st, int idx, const Value &v);

} // namespace localdb::plsql
