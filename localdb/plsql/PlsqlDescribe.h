// What odessp tells about a stored procedure or function: its arguments, one entry each, with
// the function result at position 0, a PL/SQL table's element type and a record's fields one
// level deeper.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace localdb {
class Session;
}

namespace localdb::plsql {

// Oracle's data type codes in a description.
enum DescribedType : int {
  DtNone = 0, // a procedure without arguments
  DtVarchar2 = 1,
  DtNumber = 2,
  DtBinaryInteger = 3,
  DtDate = 12,
  DtChar = 96,
  DtRefCursor = 102,
  DtClob = 112,
  DtBlob = 113,
  DtRecord = 250,
  DtTable = 251,
  DtBoolean = 252,
};

struct DescribedArgument {
  int overload = 0; // 0 for a standalone unit, 1.. for package members
  int position = 0; // 0: the function result
  int level = 0;    // 1: a table's element, a record's field
  std::string name;
  int type = DtNone;
  bool hasDefault = false;
  int mode = 0; // 0 IN, 1 OUT, 2 IN OUT
  uint32_t size = 0;
  int precision = 0, scale = 0, radix = 0;
};

// The arguments of a compiled stored unit as *_ARGUMENTS lists them: each standalone
// procedure's or function's, or each subprogram of a package specification (overload 0 when
// its name is not overloaded).
struct UnitArgument {
  std::string object; // the procedure or function
  DescribedArgument arg;
};
struct Unit;
std::vector<UnitArgument> unitArguments(const Unit &u);
// *_ARGUMENTS' DATA_TYPE text of a described type ("" for none).
const char *describedTypeName(int type);

// The description of a name as the program writes it: PROC, OWNER.PROC, PKG.PROC,
// OWNER.PKG.PROC, or a member of a built-in package (DBMS_OUTPUT.GET_LINE). Throws
// "ORA-04043: object X does not exist" for a name that is none of these, and the
// compile failure of a stored unit that does not compile.
std::vector<DescribedArgument> describeProcedure(Session &s, const std::string &name);

} // namespace localdb::plsql
