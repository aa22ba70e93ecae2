// The caller's bind variables as PL/SQL values: read before a block runs, written after.
#include "localdb/plsql/PlsqlUnitsShared.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/catalog/KeptStatements.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/plsql/PlsqlBinder.h"
#include "localdb/plsql/PlsqlInterp.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb::plsql::units {

// ---------------------------------------------------------------- host binds

Value readHostTable(const HostBind &b, const std::string &dateFormat);
void writeHostTable(const HostBind &b, const Value &v, const std::string &dateFormat);

Value readHost(const HostBind &b, const std::string &dateFormat) {
  if (b.maxElements > 0)
    return readHostTable(b, dateFormat);
  if ((b.indicator && *b.indicator < 0) || !b.value)
    return Value();
  const char *p = static_cast<const char *>(b.value);
  switch (b.type) {
  case 3:
    return Value::integer(readBinaryInteger(p, b.valueLength));
  case 2:   // Oracle's bytes, as long as the length says
  case 6: { // VARNUM: a length byte, then those bytes
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    int len = b.type == 6 ? u[0] : b.length ? *b.length : std::min(b.valueLength, 21);
    if (len == 0) // nothing in it yet (an OUT bind)
      return Value();
    auto n = numberFromBytes(b.type == 6 ? u + 1 : u, len);
    if (!n)
      raiseValueError();
    return Value::number(*n);
  }
  case 4: {
    double v;
    if (b.valueLength == 4) {
      float x;
      std::memcpy(&x, p, 4);
      v = x;
    } else {
      std::memcpy(&v, p, 8);
    }
    auto n = numberFromDouble(v);
    if (!n)
      raise(1426);
    return Value::number(*n);
  }
  case 5:
  case 97: {
    size_t n = strnlen(p, static_cast<size_t>(b.valueLength > 0 ? b.valueLength : 65535));
    return Value::text(std::string(p, n));
  }
  case 102:
    return Value();
  default: {
    size_t n = b.length ? *b.length : static_cast<size_t>(std::max(0, b.valueLength));
    return Value::text(std::string(p, n));
  }
  }
}

void writeHost(const HostBind &b, const Value &v, const std::string &dateFormat) {
  if (b.maxElements > 0) {
    writeHostTable(b, v, dateFormat);
    return;
  }
  if (b.type == 102) {
    if (v.t == VType::RefCursor && v.cur && v.cur->isOpen && b.receiveCursor)
      b.receiveCursor(v.cur);
    else if (v.t != VType::RefCursor && !v.isNull())
      raise(6502);
    return;
  }
  if (v.isNull()) {
    if (!b.indicator)
      throw oraError(1405);
    *b.indicator = -1;
    if (b.length)
      *b.length = 0;
    if ((b.type == 5 || b.type == 97) && b.value && b.valueLength > 0)
      static_cast<char *>(b.value)[0] = 0;
    return;
  }
  if (!b.value)
    return;
  char *p = static_cast<char *>(b.value);
  if (b.type == 2 || b.type == 6) {
    if (v.t == VType::Boolean)
      raise(6502);
    unsigned char bytes[23];
    int len = numberToBytes(toNumber(v).n, bytes + 1);
    bytes[0] = static_cast<unsigned char>(len);
    int size = b.type == 6 ? len + 1 : len;
    if (size > b.valueLength)
      raise(6502);
    std::memcpy(p, b.type == 6 ? bytes : bytes + 1, static_cast<size_t>(size));
    if (b.length)
      *b.length = static_cast<uint16_t>(size);
    if (b.indicator)
      *b.indicator = 0;
    return;
  }
  if (b.type == 3 || b.type == 4) {
    if (v.t == VType::Boolean)
      raise(6502);
    Value n = toNumber(v);
    if (b.type == 4) {
      double d = n.n.toDouble();
      if (b.valueLength == 4) {
        float f = static_cast<float>(d);
        std::memcpy(p, &f, 4);
      } else {
        std::memcpy(p, &d, 8);
      }
    } else {
      int64_t x = clampToInt(roundNumber(n.n, 0), INT64_MAX);
      int bits = b.valueLength == 1 ? 8 : b.valueLength == 2 ? 16 : b.valueLength == 8 ? 64 : 32;
      if (bits < 64 && (x >= (int64_t(1) << (bits - 1)) || x < -(int64_t(1) << (bits - 1))))
        raise(6502);
      if (bits == 8) {
        int8_t y = static_cast<int8_t>(x);
        std::memcpy(p, &y, 1);
      } else if (bits == 16) {
        int16_t y = static_cast<int16_t>(x);
        std::memcpy(p, &y, 2);
      } else if (bits == 64) {
        std::memcpy(p, &x, 8);
      } else {
        int32_t y = static_cast<int32_t>(x);
        std::memcpy(p, &y, 4);
      }
    }
    if (b.indicator)
      *b.indicator = 0;
    return;
  }
  if (v.t == VType::Boolean)
    raise(6502);
  Value t = toText(v, dateFormat);
  bool nul = b.type == 5 || b.type == 97;
  size_t room =
      static_cast<size_t>(std::max(0, b.valueLength)) - (nul && b.valueLength > 0 ? 1 : 0);
  if (t.s.size() > room)
    raise(6502, "PL/SQL: numeric or value error: character string buffer too small");
  std::memcpy(p, t.s.data(), t.s.size());
  if (nul)
    p[t.s.size()] = 0;
  if (b.length)
    *b.length = static_cast<uint16_t>(t.s.size());
  if (b.indicator)
    *b.indicator = 0;
}

// Element i of a host array as a bind of its own.
HostBind hostElement(const HostBind &b, uint32_t i) {
  HostBind e;
  e.type = b.type;
  e.valueLength = b.valueLength;
  if (b.value)
    e.value = static_cast<char *>(b.value) + static_cast<size_t>(std::max(0, b.valueLength)) * i;
  e.indicator = b.indicator ? b.indicator + i : nullptr;
  e.length = b.length ? b.length + i : nullptr;
  e.returnCode = b.returnCode ? b.returnCode + i : nullptr;
  return e;
}

const char *kTableOutOfRange =
    "PL/SQL: index for PL/SQL table out of range for host language array";

// A host array bound as a PL/SQL table: elements 1 .. the current length.
Value readHostTable(const HostBind &b, const std::string &dateFormat) {
  uint32_t n = b.currentElements ? *b.currentElements : 0;
  if (n > b.maxElements)
    raise(6513, kTableOutOfRange);
  Value v;
  v.t = VType::Table;
  v.tab = std::make_shared<PlTable>();
  for (uint32_t i = 0; i < n; ++i)
    v.tab->elements[static_cast<int32_t>(i + 1)] = readHost(hostElement(b, i), dateFormat);
  return v;
}

// A PL/SQL table back into the host array: element k at k - 1, missing ones NULL, the current
// length the highest index. An index outside 1 .. the array's maximum is refused before
// anything is written.
void writeHostTable(const HostBind &b, const Value &v, const std::string &dateFormat) {
  uint32_t n = 0;
  if (v.t == VType::Table && v.tab && !v.tab->elements.empty()) {
    int32_t low = v.tab->elements.begin()->first, high = v.tab->elements.rbegin()->first;
    if (low < 1 || static_cast<uint32_t>(high) > b.maxElements)
      raise(6513, kTableOutOfRange);
    n = static_cast<uint32_t>(high);
  } else if (!v.isNull() && v.t != VType::Table) {
    raise(6502);
  }
  for (uint32_t i = 0; i < n; ++i) {
    auto it = v.tab->elements.find(static_cast<int32_t>(i + 1));
    writeHost(hostElement(b, i), it == v.tab->elements.end() ? Value() : it->second, dateFormat);
  }
  if (b.currentElements)
    *b.currentElements = n;
}

} // namespace localdb::plsql::units
