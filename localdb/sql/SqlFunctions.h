// The SQL functions the emitted SQLite statements call (ora_*): Oracle's built-ins, conversions
// and the checks Oracle makes on values.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

#include "localdb/catalog/Catalog.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"

namespace localdb {

class Session;

// Registers every ora_* function on a logon's connection.
void registerFunctions(sqlite3 *db, Session *session);
// The timestamp and interval functions (sql/SqlDatetime), registered by registerFunctions.
void registerDatetimeFunctions(sqlite3 *db, Session *session);
// The session's format of a datetime type (NLS_DATE_FORMAT, NLS_TIMESTAMP_FORMAT,
// NLS_TIMESTAMP_TZ_FORMAT) and a stored datetime or interval as text in it: a timestamp's FF
// writes `fraction` digits, an interval's leading field `leading` (-1: Oracle's defaults).
std::string sessionDatetimeFormat(const Session &s, SqlType type);
std::string datetimeText(const Session &s, const char *stored, size_t n, SqlType type, int fraction,
                         int leading);
// Text as a value of a datetime type (stored form or the session's format), or of an interval
// type (Oracle's text of it); nullopt with the ORA number in err.
std::optional<OraDateValue> readDatetime(const Session &s, const std::string &text, SqlType type,
                                         int &err);
std::optional<int64_t> readInterval(const std::string &text, SqlType type, int &err);
// A value of one type (its stored form: text, an interval's integer as decimal text; or text
// read by the session's formats) as the stored form of another, with the target's precisions
// (-1: none); nullopt with the ORA number in err. What CAST and assignments do.
std::optional<std::string> convertDatetime(const Session &s, const std::string &value, SqlType from,
                                           SqlType to, int leading, int fraction, int &err);
// The regular-expression functions (REGEXP_*), registered by registerFunctions.
void registerRegexpFunctions(sqlite3 *db);

// For the functions of other files: the error route (an ORA text the cursor turns back into its
// code), an argument's text, and an argument as a number (false, the error set, when not one).
void resultOraError(sqlite3_context *ctx, int code, const std::string &arg = std::string());
std::string argText(sqlite3_value *v);
bool argNumber(sqlite3_context *ctx, sqlite3_value *v, OraNum &out);

// Numbers in SQLite: an int64 as an integer, any other value as a blob of Oracle's bytes, so
// that equal numbers are equal values (unique indexes, GROUP BY, DISTINCT, joins). Doubles and
// text left by earlier versions read as the numbers they meant.
void resultNumber(sqlite3_context *ctx, const OraNum &n);
void bindNumber(sqlite3_stmt *st, int idx, const OraNum &n);
std::optional<OraNum> storedNumber(sqlite3_value *v);
std::optional<OraNum> columnNumber(sqlite3_stmt *st, int col);

// A ROWNUM counter, bound to a statement as a pointer parameter of this type.
struct RownumCounter {
  int64_t n = 0;
};
constexpr const char *kRownumPointerType = "ora_rownum";

// ROWID text as Oracle 7 shows it ("0000000A.0000.0001") and back.
std::string rowidText(int64_t rowid);
std::optional<int64_t> parseRowid(const std::string &text);

// Hex text of bytes (upper case) and back.
std::string hexText(const unsigned char *bytes, size_t n);
std::optional<std::string> parseHex(const std::string &text);

} // namespace localdb
