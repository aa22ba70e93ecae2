// The SQL functions the emitted SQLite statements call (ora_*): Oracle's built-ins, conversions
// and the checks Oracle makes on values.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

namespace localdb {

class Session;

// Registers every ora_* function on a logon's connection.
void registerFunctions(sqlite3 *db, Session *session);

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
