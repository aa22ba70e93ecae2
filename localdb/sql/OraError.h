// Errors of the local server: one exception type carrying an ORA number, its text and a source
// offset.
#pragma once
#include <string>

namespace localdb {

// Thrown by value from every layer; the call contract turns it into a return code and remembers
// the text for oerhms. Offset is the 0-based position in the statement text, -1 when none.
struct OraError {
  int code = 0;
  std::string message; // the full "ORA-nnnnn: text"
  int offset = -1;
};

// The generic Oracle text for a number, without the "ORA-nnnnn: " prefix ("" when unknown).
const char *oraText(int code);

// "ORA-nnnnn: " + text; detail replaces the generic text when not empty.
std::string oraMessage(int code, const std::string &detail = std::string());

// Builders: the generic text, or a detailed one, at an offset.
OraError oraError(int code, int offset = -1);
OraError oraErrorText(int code, const std::string &detail, int offset = -1);
// The generic text with its %s filled by arg ("unique constraint (SCOTT.PK_DEPT) violated").
OraError oraErrorArg(int code, const std::string &arg, int offset = -1);

// Parses "ORA-nnnnn: ..." at the start of a text (SQLite error messages raised by our functions
// and triggers); returns 0 when the text does not start that way.
int oraCodeOf(const std::string &message);

// A failed SQLite call as Oracle words it, from SQLite's result code and message: our own
// "ORA-" texts kept, storage failures as ORA-01114 / ORA-01115 (a full disk, an I/O error, a
// damaged file), memory as ORA-04030, a cancelled call as ORA-01013, a lock as ORA-00054.
OraError sqliteFailure(int rc, const std::string &message);

} // namespace localdb
