// DBMS_LOB and UTL_RAW over PL/SQL values, with Oracle's rules for NULL and bad amounts or
// offsets: the functions answer NULL, the procedures raise VALUE_ERROR (a NULL argument) or
// INVALID_ARGVAL (ORA-21560, an amount or offset out of range).
#include "localdb/packages/DbmsLob.h"
#include "localdb/packages/DbmsAssert.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

namespace localdb::packages {

using plsql::Value;
using plsql::VType;

namespace {

constexpr unsigned kArg0 = 1u, kArg1 = 2u, kArg2 = 4u, kArg3 = 8u;
constexpr int64_t kMaxBuffer = 32767; // the longest VARCHAR2 or RAW a piece moves in
constexpr int64_t kAll = INT64_C(4294967295);

const LobMember kMembers[] = {
    {"DBMS_LOB", "GETLENGTH", 1, 1, VType::Number, 0, 0, "LOB_LOC"},
    {"DBMS_LOB", "SUBSTR", 1, 3, VType::Char, 0, 'A', "LOB_LOC,AMOUNT,OFFSET"},
    {"DBMS_LOB", "INSTR", 2, 4, VType::Number, 0, 0, "LOB_LOC,PATTERN,OFFSET,NTH"},
    {"DBMS_LOB", "COMPARE", 2, 5, VType::Number, 0, 0, "LOB_1,LOB_2,AMOUNT,OFFSET_1,OFFSET_2"},
    {"DBMS_LOB", "ISTEMPORARY", 1, 1, VType::Number, 0, 0, "LOB_LOC"},
    {"DBMS_LOB", "ISOPEN", 1, 1, VType::Number, 0, 0, "LOB_LOC"},
    {"DBMS_LOB", "APPEND", 2, 2, VType::Null, kArg0, 0, "DEST_LOB,SRC_LOB"},
    {"DBMS_LOB", "WRITEAPPEND", 3, 3, VType::Null, kArg0, 0, "LOB_LOC,AMOUNT,BUFFER"},
    {"DBMS_LOB", "WRITE", 4, 4, VType::Null, kArg0, 0, "LOB_LOC,AMOUNT,OFFSET,BUFFER"},
    {"DBMS_LOB", "READ", 4, 4, VType::Null, kArg1 | kArg3, 0, "LOB_LOC,AMOUNT,OFFSET,BUFFER"},
    {"DBMS_LOB", "COPY", 3, 5, VType::Null, kArg0, 0,
     "DEST_LOB,SRC_LOB,AMOUNT,DEST_OFFSET,SRC_OFFSET"},
    {"DBMS_LOB", "ERASE", 2, 3, VType::Null, kArg0 | kArg1, 0, "LOB_LOC,AMOUNT,OFFSET"},
    {"DBMS_LOB", "TRIM", 2, 2, VType::Null, kArg0, 0, "LOB_LOC,NEWLEN"},
    {"DBMS_LOB", "CREATETEMPORARY", 2, 3, VType::Null, kArg0, 0, "LOB_LOC,CACHE,DUR"},
    {"DBMS_LOB", "FREETEMPORARY", 1, 1, VType::Null, kArg0, 0, "LOB_LOC"},
    {"DBMS_LOB", "OPEN", 2, 2, VType::Null, kArg0, 0, "LOB_LOC,OPEN_MODE"},
    {"DBMS_LOB", "CLOSE", 1, 1, VType::Null, kArg0, 0, "LOB_LOC"},
    // Constants: BINARY_INTEGER / PLS_INTEGER values, LOBMAXSIZE an INTEGER.
    {"DBMS_LOB", "FILE_READONLY", 0, 0, VType::Number},
    {"DBMS_LOB", "LOB_READONLY", 0, 0, VType::Number},
    {"DBMS_LOB", "LOB_READWRITE", 0, 0, VType::Number},
    {"DBMS_LOB", "SESSION", 0, 0, VType::Number},
    {"DBMS_LOB", "CALL", 0, 0, VType::Number},
    {"DBMS_LOB", "LOBMAXSIZE", 0, 0, VType::Number},
    {"UTL_RAW", "CAST_TO_RAW", 1, 1, VType::Char, 0, 'R', "C"},
    {"UTL_RAW", "CAST_TO_VARCHAR2", 1, 1, VType::Char, 0, 0, "R"},
    {"UTL_RAW", "LENGTH", 1, 1, VType::Number, 0, 0, "R"},
    {"UTL_RAW", "CONCAT", 0, 12, VType::Char, 0, 'R', "R1,R2,R3,R4,R5,R6,R7,R8,R9,R10,R11,R12"},
    {"UTL_RAW", "SUBSTR", 2, 3, VType::Char, 0, 'R', "R,POS,LEN"},
    {"UTL_RAW", "BIT_AND", 2, 2, VType::Char, 0, 'R', "R1,R2"},
    {"UTL_RAW", "BIT_OR", 2, 2, VType::Char, 0, 'R', "R1,R2"},
    {"UTL_RAW", "BIT_XOR", 2, 2, VType::Char, 0, 'R', "R1,R2"},
    {"DBMS_SQL", "OPEN_CURSOR", 0, 0, VType::Number},
    {"DBMS_SQL", "PARSE", 3, 3, VType::Null, 0, 0, "C,STATEMENT,LANGUAGE_FLAG"},
    {"DBMS_SQL", "BIND_VARIABLE", 3, 4, VType::Null, 0, 0, "C,NAME,VALUE,OUT_VALUE_SIZE"},
    {"DBMS_SQL", "DEFINE_COLUMN", 3, 4, VType::Null, 0, 0, "C,POSITION,COLUMN,COLUMN_SIZE"},
    {"DBMS_SQL", "EXECUTE", 1, 1, VType::Number, 0, 0, "C"},
    {"DBMS_SQL", "FETCH_ROWS", 1, 1, VType::Number, 0, 0, "C"},
    {"DBMS_SQL", "EXECUTE_AND_FETCH", 1, 2, VType::Number, 0, 0, "C,EXACT"},
    {"DBMS_SQL", "COLUMN_VALUE", 3, 3, VType::Null, kArg2, 0, "C,POSITION,VALUE"},
    {"DBMS_SQL", "VARIABLE_VALUE", 3, 3, VType::Null, kArg2, 0, "C,NAME,VALUE"},
    {"DBMS_SQL", "CLOSE_CURSOR", 1, 1, VType::Null, kArg0, 0, "C"},
    {"DBMS_SQL", "IS_OPEN", 1, 1, VType::Boolean, 0, 0, "C"},
    {"DBMS_SQL", "LAST_ROW_COUNT", 0, 0, VType::Number},
    {"DBMS_SQL", "NATIVE", 0, 0, VType::Number},
    {"DBMS_SQL", "V6", 0, 0, VType::Number},
    {"DBMS_SQL", "V7", 0, 0, VType::Number},
    {"DBMS_ASSERT", "NOOP", 1, 1, VType::Char, 0, 0, "STR"},
    {"DBMS_ASSERT", "ENQUOTE_LITERAL", 1, 1, VType::Char, 0, 0, "STR"},
    {"DBMS_ASSERT", "ENQUOTE_NAME", 1, 2, VType::Char, 0, 0, "STR,CAPITALIZE"},
    {"DBMS_ASSERT", "SIMPLE_SQL_NAME", 1, 1, VType::Char, 0, 0, "STR"},
    {"DBMS_ASSERT", "QUALIFIED_SQL_NAME", 1, 1, VType::Char, 0, 0, "STR"},
    {"DBMS_ASSERT", "SCHEMA_NAME", 1, 1, VType::Char, 0, 0, "STR"},
    {"DBMS_ASSERT", "SQL_OBJECT_NAME", 1, 1, VType::Char, 0, 0, "STR"},
};

// Argument i as a whole number; nullopt when NULL, fallback when it was not given.
std::optional<int64_t> number(const std::vector<Value> &args, size_t i, int64_t fallback) {
  if (i >= args.size())
    return fallback;
  Value n = plsql::toNumber(args[i]);
  if (n.isNull())
    return std::nullopt;
  return clampToInt(n.n, INT64_C(1) << 62);
}

[[noreturn]] void invalidArgument(size_t i) {
  plsql::raise(21560, "argument " + std::to_string(i + 1) + " is null, invalid, or out of range");
}

// A procedure's arguments must all be given values (VALUE_ERROR for a NULL).
void requireValues(const std::vector<Value> &args, size_t count) {
  for (size_t i = 0; i < count && i < args.size(); ++i)
    if (args[i].isNull())
      plsql::raiseValueError();
}

// A LOB may grow to kMaxLobBytes (ORA-22925 past it).
void checkGrowth(int64_t size) {
  if (size > static_cast<int64_t>(plsql::kMaxLobBytes))
    plsql::raise(22925);
}

// Writes piece into lob at the 1-based offset, filling a gap past its end.
void overwrite(Value &lob, int64_t offset, const std::string &piece, bool binary) {
  checkGrowth(offset - 1 + static_cast<int64_t>(piece.size()));
  size_t at = static_cast<size_t>(offset - 1);
  if (at > lob.s.size())
    lob.s.append(at - lob.s.size(), binary ? '\0' : ' ');
  lob.s.replace(at, std::min(piece.size(), lob.s.size() - at), piece);
}

// A piece of text or bytes as VARCHAR2 / RAW: empty is NULL there.
Value piece(const std::string &s) { return Value::text(s); }

Value dbmsLob(const std::string &name, std::vector<Value> &args, bool binary) {
  auto arg = [&](size_t i) -> const Value & {
    static const Value none{};
    return i < args.size() ? args[i] : none;
  };
  auto anyNull = [&] {
    return std::any_of(args.begin(), args.end(), [](const Value &v) { return v.isNull(); });
  };
  if (name == "GETLENGTH")
    return arg(0).isNull() ? Value() : Value::integer(static_cast<int64_t>(arg(0).s.size()));
  if (name == "SUBSTR") {
    auto amount = number(args, 1, kMaxBuffer), offset = number(args, 2, 1);
    if (anyNull() || !amount || !offset || *amount < 1 || *amount > kMaxBuffer || *offset < 1 ||
        *offset > static_cast<int64_t>(arg(0).s.size()))
      return Value();
    return piece(arg(0).s.substr(static_cast<size_t>(*offset - 1), static_cast<size_t>(*amount)));
  }
  if (name == "INSTR") {
    auto offset = number(args, 2, 1), nth = number(args, 3, 1);
    if (anyNull() || !offset || !nth || *offset < 1 || *nth < 1)
      return Value();
    const std::string &s = arg(0).s, &pattern = arg(1).s;
    size_t at = static_cast<size_t>(*offset - 1);
    for (int64_t k = 0; at <= s.size(); ++at) {
      at = s.find(pattern, at);
      if (at == std::string::npos)
        break;
      if (++k == *nth)
        return Value::integer(static_cast<int64_t>(at + 1));
    }
    return Value::integer(0);
  }
  if (name == "COMPARE") {
    auto amount = number(args, 2, kAll), off1 = number(args, 3, 1), off2 = number(args, 4, 1);
    if (anyNull() || !amount || !off1 || !off2 || *amount < 1 || *off1 < 1 || *off2 < 1)
      return Value();
    auto part = [&](const std::string &s, int64_t off) {
      size_t at = std::min(s.size(), static_cast<size_t>(off - 1));
      return s.substr(at, static_cast<size_t>(std::min<int64_t>(*amount, INT64_C(1) << 40)));
    };
    int c = part(arg(0).s, *off1).compare(part(arg(1).s, *off2));
    return Value::integer(c < 0 ? -1 : c > 0 ? 1 : 0);
  }
  if (name == "ISTEMPORARY")
    return arg(0).isNull() ? Value() : Value::integer(arg(0).lob == 2 ? 1 : 0);
  if (name == "ISOPEN")
    return Value::integer(0);
  if (name == "APPEND") {
    requireValues(args, 2);
    checkGrowth(static_cast<int64_t>(args[0].s.size() + args[1].s.size()));
    args[0].s += args[1].s;
    return Value();
  }
  if (name == "WRITEAPPEND" || name == "WRITE") {
    requireValues(args, args.size());
    bool append = name == "WRITEAPPEND";
    const std::string &buffer = args.back().s;
    auto amount = number(args, 1, 0);
    if (*amount < 1 || *amount > kMaxBuffer || *amount > static_cast<int64_t>(buffer.size()))
      invalidArgument(1);
    std::string what = buffer.substr(0, static_cast<size_t>(*amount));
    if (append) {
      checkGrowth(static_cast<int64_t>(args[0].s.size() + what.size()));
      args[0].s += what;
      return Value();
    }
    auto offset = number(args, 2, 1);
    if (*offset < 1 || *offset > kAll)
      invalidArgument(2);
    overwrite(args[0], *offset, what, binary);
    return Value();
  }
  if (name == "READ") {
    requireValues(args, 3);
    auto amount = number(args, 1, 0), offset = number(args, 2, 1);
    if (*amount < 1 || *amount > kMaxBuffer)
      invalidArgument(1);
    if (*offset < 1)
      invalidArgument(2);
    if (*offset > static_cast<int64_t>(args[0].s.size()))
      plsql::raise(1403);
    std::string got =
        args[0].s.substr(static_cast<size_t>(*offset - 1), static_cast<size_t>(*amount));
    args[1] = Value::integer(static_cast<int64_t>(got.size()));
    args[3] = piece(got);
    return Value();
  }
  if (name == "COPY") {
    requireValues(args, args.size());
    auto amount = number(args, 2, 0), destOffset = number(args, 3, 1),
         srcOffset = number(args, 4, 1);
    if (*amount < 1)
      invalidArgument(2);
    if (*destOffset < 1 || *destOffset > kAll)
      invalidArgument(3);
    if (*srcOffset < 1)
      invalidArgument(4);
    const std::string &src = args[1].s;
    size_t from = std::min(src.size(), static_cast<size_t>(*srcOffset - 1));
    overwrite(args[0], *destOffset,
              src.substr(from, static_cast<size_t>(std::min<int64_t>(*amount, INT64_C(1) << 40))),
              binary);
    return Value();
  }
  if (name == "ERASE") {
    requireValues(args, args.size());
    auto amount = number(args, 1, 0), offset = number(args, 2, 1);
    if (*amount < 1)
      invalidArgument(1);
    if (*offset < 1)
      invalidArgument(2);
    std::string &s = args[0].s;
    size_t at = static_cast<size_t>(std::min<int64_t>(*offset - 1, INT64_C(1) << 40));
    size_t n = at < s.size() ? std::min(s.size() - at, static_cast<size_t>(*amount)) : 0;
    if (n)
      s.replace(at, n, n, binary ? '\0' : ' ');
    args[1] = Value::integer(static_cast<int64_t>(n));
    return Value();
  }
  if (name == "TRIM") {
    requireValues(args, 2);
    auto length = number(args, 1, 0);
    if (*length < 0)
      invalidArgument(1);
    if (*length > static_cast<int64_t>(args[0].s.size()))
      plsql::raise(22926);
    args[0].s.resize(static_cast<size_t>(*length));
    return Value();
  }
  if (name == "CREATETEMPORARY") {
    args[0] = Value::lobOf(std::string());
    return Value();
  }
  if (name == "FREETEMPORARY") {
    args[0] = Value();
    return Value();
  }
  if (name == "OPEN" || name == "CLOSE") {
    requireValues(args, 1);
    return Value();
  }
  if (name == "FILE_READONLY" || name == "LOB_READONLY")
    return Value::integer(0);
  if (name == "LOB_READWRITE")
    return Value::integer(1);
  if (name == "SESSION")
    return Value::integer(10);
  if (name == "CALL")
    return Value::integer(12);
  // LOBMAXSIZE: 2^64 - 1, past a machine integer.
  return Value::number(*parseNumber("18446744073709551615"));
}

Value utlRaw(const std::string &name, std::vector<Value> &args) {
  auto arg = [&](size_t i) -> const Value & { return args[i]; };
  if (name == "CONCAT") {
    std::string s;
    for (const Value &v : args)
      s += v.s;
    if (s.size() > static_cast<size_t>(kMaxBuffer))
      plsql::raiseValueError();
    return piece(s);
  }
  for (const Value &v : args)
    if (v.isNull())
      return Value();
  if (name == "CAST_TO_RAW" || name == "CAST_TO_VARCHAR2")
    return piece(arg(0).s);
  if (name == "LENGTH")
    return Value::integer(static_cast<int64_t>(arg(0).s.size()));
  if (name == "SUBSTR") {
    // A position from the start (1 ..) or from the end (-1 ..); 0 or beyond either end, or a
    // length past the end, is VALUE_ERROR.
    const std::string &r = arg(0).s;
    auto pos = number(args, 1, 1);
    int64_t len = static_cast<int64_t>(r.size());
    if (*pos == 0 || *pos > len || *pos < -len)
      plsql::raiseValueError();
    int64_t start = *pos > 0 ? *pos - 1 : len + *pos;
    auto count = number(args, 2, len - start);
    if (*count < 1 || *count > len - start)
      plsql::raiseValueError();
    return piece(r.substr(static_cast<size_t>(start), static_cast<size_t>(*count)));
  }
  // BIT_AND / BIT_OR / BIT_XOR byte by byte; the longer value's rest is kept as it is.
  const std::string &a = arg(0).s, &b = arg(1).s;
  std::string out = a.size() >= b.size() ? a : b;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    out[i] = static_cast<char>(name == "BIT_AND" ? (x & y) : name == "BIT_OR" ? (x | y) : (x ^ y));
  }
  return piece(out);
}

} // namespace

const LobMember *findLobMember(const std::string &package, const std::string &name) {
  for (const LobMember &m : kMembers)
    if (package == m.package && name == m.name)
      return &m;
  return nullptr;
}

int lobParamIndex(const LobMember &m, const std::string &name) {
  int i = 0;
  for (const char *p = m.params; *p; ++i) {
    const char *end = std::strchr(p, ',');
    size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
    if (name.size() == n && name.compare(0, n, p, n) == 0)
      return i;
    p += n + (end ? 1 : 0);
  }
  return -1;
}

Value callLobMember(const LobMember &m, std::vector<Value> &args, bool binary, sqlite3 *db) {
  if (std::strcmp(m.package, "DBMS_ASSERT") == 0)
    return dbmsAssert(m.name, args, db);
  if (std::strcmp(m.package, "UTL_RAW") == 0)
    return utlRaw(m.name, args);
  return dbmsLob(m.name, args, binary);
}

} // namespace localdb::packages
