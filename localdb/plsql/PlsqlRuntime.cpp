// PL/SQL run-time values: conversions, arithmetic and comparison as Oracle's PL/SQL does them,
// and the bridges to SQLite parameters and columns.
#include "localdb/plsql/PlsqlRuntime.h"

#include <cmath>
#include <cstring>

#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"

namespace localdb::plsql {

namespace {
thread_local const Session *gDatetimeSession = nullptr;

const Session &datetimeSession() {
  if (!gDatetimeSession)
    raiseValueError();
  return *gDatetimeSession;
}
} // namespace

DatetimeSession::DatetimeSession(const Session &s) : FPrevious(gDatetimeSession) {
  gDatetimeSession = &s;
}
DatetimeSession::~DatetimeSession() { gDatetimeSession = FPrevious; }

Value toDatetime(const Value &v, const Type &t) {
  if (v.isNull())
    return v;
  SqlType from = v.t == VType::Datetime ? v.dt
                 : v.t == VType::Date   ? SqlType::Date
                 : v.t == VType::Char   ? SqlType::Varchar2
                                        : SqlType::Number;
  if (from == SqlType::Number)
    raise(932);
  int err = 0;
  auto r = convertDatetime(datetimeSession(), v.s, from, t.sqlType,
                           isIntervalType(t.sqlType) ? t.precision : -1,
                           t.scale == kNoScale ? -1 : t.scale, err);
  if (!r)
    raise(err);
  Value x;
  x.t = VType::Datetime;
  x.dt = t.sqlType;
  x.s = *r;
  return x;
}

CursorState::~CursorState() { close(); }

void CursorState::start(Session &s, sqlite3_stmt *st) {
  close();
  try {
    s.cursorOpened();
  } catch (...) {
    s.giveBackStatement(st);
    throw;
  }
  session = &s;
  stmt = st;
}

void CursorState::close() {
  if (stmt && session) {
    session->giveBackStatement(stmt);
    session->cursorClosed();
  }
  stmt = nullptr;
  isOpen = false;
}

void raise(int code, const std::string &detail) {
  PlsqlError e;
  e.code = code;
  e.message = oraMessage(code, detail);
  throw e;
}

void raiseValueError(const char *why) {
  raise(6502, why ? std::string("PL/SQL: numeric or value error: ") + why : std::string());
}

const Value &fitString(const Value &v) {
  if (v.t == VType::Char && !v.lob && v.s.size() > kMaxStringBytes)
    raiseValueError("character string buffer too small");
  return v;
}

std::string numberText(const OraNum &n) { return formatNumber(n); }

Value toNumber(const Value &v) {
  switch (v.t) {
  case VType::Null:
  case VType::Number:
    return v;
  case VType::Char: {
    std::string t = v.s;
    size_t b = t.find_first_not_of(' '), e = t.find_last_not_of(' ');
    if (b == std::string::npos)
      return Value();
    int err = 1722;
    auto n = parseNumber(std::string_view(t).substr(b, e - b + 1), &err);
    if (!n && err == 1426)
      raise(1426);
    if (!n)
      raiseValueError("character to number conversion error");
    return Value::number(*n);
  }
  default:
    raiseValueError();
  }
}

Value toText(const Value &v, const std::string &dateFormat) {
  switch (v.t) {
  case VType::Null:
  case VType::Char:
    return v;
  case VType::Number:
    return Value::text(formatNumber(v.n));
  case VType::Date: {
    auto d = loadDate(v.s.data(), v.s.size());
    if (!d)
      return Value::text(v.s);
    return Value::text(formatDate(*d, dateFormat).value_or(v.s));
  }
  case VType::Datetime:
    return Value::text(datetimeText(datetimeSession(), v.s.data(), v.s.size(), v.dt, -1, -1));
  case VType::Boolean:
    raiseValueError();
  default:
    raiseValueError();
  }
}

Value toDate(const Value &v, const std::string &dateFormat) {
  switch (v.t) {
  case VType::Null:
  case VType::Date:
    return v;
  case VType::Datetime: {
    Type date;
    date.sqlType = SqlType::Date;
    Value d = toDatetime(v, date);
    d.t = VType::Date;
    d.dt = SqlType::Unknown;
    return d;
  }
  case VType::Char: {
    int code = 0;
    auto d = parseDate(v.s, dateFormat, code);
    if (!d)
      raise(code ? code : 1858);
    Value r;
    r.t = VType::Date;
    r.s = storeDate(*d);
    return r;
  }
  default:
    raiseValueError();
  }
}

Value deepCopy(const Value &v) {
  if (v.t == VType::Record && v.rec) {
    Value r = v;
    r.rec = std::make_shared<Record>(*v.rec);
    for (Value &f : r.rec->fields)
      if (f.t == VType::Record || f.t == VType::Table)
        f = deepCopy(f);
    return r;
  }
  if (v.t == VType::Table && v.tab) {
    Value r = v;
    r.tab = std::make_shared<PlTable>(*v.tab);
    for (auto &e : r.tab->elements)
      if (e.second.t == VType::Record || e.second.t == VType::Table)
        e.second = deepCopy(e.second);
    for (auto &e : r.tab->named)
      if (e.second.t == VType::Record || e.second.t == VType::Table)
        e.second = deepCopy(e.second);
    return r;
  }
  return v;
}

Value initialValue(const Type &t) {
  Value v;
  if (t.kind == VType::Record && t.decl && !t.decl->object) {
    v.t = VType::Record;
    v.rec = std::make_shared<Record>();
    v.rec->type = t.decl;
    for (const RecordField &f : t.decl->fields)
      v.rec->fields.push_back(initialValue(f.type));
  } else if (t.kind == VType::Table && !isDenseCollection(t.decl)) {
    v.t = VType::Table;
    v.tab = std::make_shared<PlTable>();
    v.tab->type = t.decl;
  }
  return v;
}

Value emptyCollection(const TypeDecl *d) {
  Value v;
  v.t = VType::Table;
  v.tab = std::make_shared<PlTable>();
  v.tab->type = d;
  return v;
}

Value coerce(const Value &v, const Type &t, const std::string &dateFormat) {
  if (v.t == VType::Null) {
    if (t.kind == VType::Record || t.kind == VType::Table)
      return initialValue(t);
    if (t.notNull)
      raiseValueError();
    return v;
  }
  switch (t.kind) {
  case VType::Number: {
    if (v.t == VType::Number && !t.integer && t.precision < 0 && t.scale == kNoScale)
      return v;
    Value n = toNumber(v);
    if (t.integer) {
      if (!n.n.isInt) {
        n.n = roundNumber(n.n, 0);
        if (!n.n.isInt)
          raiseValueError();
      }
      if (t.binaryInteger && (n.n.i > 2147483647 || n.n.i < -2147483647))
        raiseValueError();
      if (t.ranged && (n.n.i < t.low || n.n.i > t.high))
        raiseValueError();
    }
    if (t.precision >= 0 || t.scale != kNoScale) {
      auto f = fitNumber(n.n, t.precision, t.scale == kNoScale ? 0 : t.scale);
      if (t.precision < 0)
        f = fitNumber(n.n, -1, t.scale);
      if (!f)
        raiseValueError();
      n.n = *f;
    }
    return n;
  }
  case VType::Char: {
    Value s = toText(v, dateFormat);
    if (isLob(t.sqlType)) {
      if (!s.lob)
        s.lob = 2; // text or bytes given to a LOB variable make a temporary LOB
      return s;
    }
    if (s.lob) { // a LOB read as VARCHAR2 or RAW: empty is NULL there
      s.lob = 0;
      if (s.s.empty())
        return Value();
    }
    if ((t.length > 0 && static_cast<int>(s.s.size()) > t.length) || s.s.size() > kMaxStringBytes)
      raiseValueError("character string buffer too small");
    if (t.blankPadded && t.length > 0 && static_cast<int>(s.s.size()) < t.length)
      s.s.append(static_cast<size_t>(t.length) - s.s.size(), ' ');
    return s;
  }
  case VType::Date:
    return toDate(v, dateFormat);
  case VType::Datetime:
    return toDatetime(v, t);
  case VType::Boolean:
    if (v.t != VType::Boolean)
      raiseValueError();
    return v;
  case VType::Record:
  case VType::Table:
    if (v.t != t.kind)
      raiseValueError();
    return deepCopy(v);
  default:
    return v;
  }
}

namespace {

// A NUMBER result, or ORA-01426 beyond Oracle's range.
OraNum checked(const std::optional<OraNum> &r) {
  if (!r)
    raise(1426);
  return *r;
}

} // namespace

Value arith(Op op, const Value &a, const Value &b, const std::string &dateFormat) {
  if (a.isNull() || b.isNull())
    return Value();
  if (op == Op::Concat)
    return concat(a, b, dateFormat);
  // Date arithmetic: date +/- number, date - date.
  if (a.t == VType::Date || b.t == VType::Date) {
    auto ja = [&](const Value &v) {
      auto d = loadDate(v.s.data(), v.s.size());
      return d ? toJulian(*d) : 0.0;
    };
    if (a.t == VType::Date && b.t == VType::Date && op == Op::Sub)
      return Value::number(numberFromDouble(ja(a) - ja(b)).value_or(OraNum{}));
    if (a.t == VType::Date && (op == Op::Add || op == Op::Sub)) {
      double days = toNumber(b).n.toDouble();
      Value r;
      r.t = VType::Date;
      r.s = storeDate(fromJulian(ja(a) + (op == Op::Add ? days : -days)));
      return r;
    }
    if (b.t == VType::Date && op == Op::Add) {
      Value r;
      r.t = VType::Date;
      r.s = storeDate(fromJulian(ja(b) + toNumber(a).n.toDouble()));
      return r;
    }
    raiseValueError();
  }
  const OraNum x = a.t == VType::Number ? a.n : toNumber(a).n;
  const OraNum y = b.t == VType::Number ? b.n : toNumber(b).n;
  switch (op) {
  case Op::Add:
    return Value::number(checked(addNumbers(x, y)));
  case Op::Sub:
    return Value::number(checked(subtractNumbers(x, y)));
  case Op::Mul:
    return Value::number(checked(multiplyNumbers(x, y)));
  case Op::Div:
    if (y.isZero())
      raise(1476);
    return Value::number(checked(divideNumbers(x, y)));
  case Op::Pow: {
    bool overflow = false;
    auto r = powerNumber(x, y, &overflow);
    if (!r && overflow)
      raise(1426);
    if (!r)
      raiseValueError();
    return Value::number(*r);
  }
  default:
    raiseValueError();
  }
}

Value concat(const Value &a, const Value &b, const std::string &dateFormat) {
  Value x = toText(a, dateFormat), y = toText(b, dateFormat);
  if (x.lob || y.lob) {
    if (x.s.size() + y.s.size() > kMaxLobBytes)
      raise(22925);
    return Value::lobOf(x.s + y.s);
  }
  if (x.s.size() + y.s.size() > kMaxStringBytes)
    raiseValueError("character string buffer too small");
  return Value::text(x.s + y.s);
}

int compareValues(const Value &a, const Value &b, const std::string &dateFormat) {
  if (a.t == VType::Number && b.t == VType::Number) {
    return compareNumbers(a.n, b.n);
  }
  if (a.t == VType::Boolean && b.t == VType::Boolean)
    return a.b == b.b ? 0 : a.b ? 1 : -1;
  if (a.t == VType::Number || b.t == VType::Number) {
    Value x = toNumber(a), y = toNumber(b);
    return compareValues(x, y, dateFormat);
  }
  if (a.t == VType::Datetime || b.t == VType::Datetime) {
    // Intervals by their integers; datetimes as timestamps, in UTC when either has a zone.
    const SqlType ta = a.t == VType::Datetime ? a.dt : b.dt;
    const SqlType tb = b.t == VType::Datetime ? b.dt : a.dt;
    Type as;
    as.sqlType = isIntervalType(ta)                                         ? ta
                 : ta == SqlType::TimestampTz || tb == SqlType::TimestampTz ? SqlType::TimestampTz
                                                                            : SqlType::Timestamp;
    Value x = toDatetime(a, as), y = toDatetime(b, as);
    if (isIntervalType(as.sqlType)) {
      const long long p = std::strtoll(x.s.c_str(), nullptr, 10),
                      q = std::strtoll(y.s.c_str(), nullptr, 10);
      return p < q ? -1 : p > q ? 1 : 0;
    }
    int c = x.s.compare(0, 29, y.s, 0, 29);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  if (a.t == VType::Date || b.t == VType::Date) {
    Value x = toDate(a, dateFormat), y = toDate(b, dateFormat);
    int c = x.s.compare(y.s);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
  }
  int c = a.s.compare(b.s);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int compareBlankPadded(const std::string &a, const std::string &b) {
  size_t n = std::max(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    auto y = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (x != y)
      return x < y ? -1 : 1;
  }
  return 0;
}

Value columnValue(sqlite3_stmt *st, int col, SqlType type) {
  int vt = sqlite3_column_type(st, col);
  if (vt == SQLITE_NULL)
    return Value();
  if (isTimestampType(type) || isIntervalType(type)) {
    Value r;
    r.t = VType::Datetime;
    r.dt = type;
    r.s = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    return r;
  }
  if (type == SqlType::Number || ((vt == SQLITE_INTEGER || vt == SQLITE_FLOAT) &&
                                  type != SqlType::Date && type != SqlType::Rowid)) {
    if (vt == SQLITE_INTEGER)
      return Value::integer(sqlite3_column_int64(st, col));
    if (vt != SQLITE_TEXT) {
      auto n = columnNumber(st, col);
      if (!n)
        raise(1722);
      return Value::number(*n);
    }
    const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    auto n = parseNumber(t ? t : "");
    if (!n)
      raise(1722);
    if (type == SqlType::Number)
      return Value::number(*n);
    return Value::text(t ? t : "");
  }
  if (type == SqlType::Date) {
    Value r;
    r.t = VType::Date;
    r.s = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    return r;
  }
  if (isLob(type)) { // bytes or text as stored; an empty LOB stays one
    const char *p = vt == SQLITE_BLOB
                        ? static_cast<const char *>(sqlite3_column_blob(st, col))
                        : reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    return Value::lobOf(std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, col))),
                        1);
  }
  if (vt == SQLITE_BLOB) {
    const char *p = static_cast<const char *>(sqlite3_column_blob(st, col));
    return Value::text(std::string(p, static_cast<size_t>(sqlite3_column_bytes(st, col))));
  }
  const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
  return Value::text(std::string(t, static_cast<size_t>(sqlite3_column_bytes(st, col))));
}

void bindParam(sqlite3_stmt *st, int idx, const Value &v) {
  switch (v.t) {
  case VType::Number:
    bindNumber(st, idx, v.n);
    break;
  case VType::Datetime:
    if (isIntervalType(v.dt)) {
      sqlite3_bind_int64(st, idx, std::strtoll(v.s.c_str(), nullptr, 10));
      break;
    }
    [[fallthrough]];
  case VType::Char:
  case VType::Date:
    sqlite3_bind_text(st, idx, v.s.data(), static_cast<int>(v.s.size()), SQLITE_TRANSIENT);
    break;
  case VType::Boolean:
    raiseValueError();
  default:
    sqlite3_bind_null(st, idx);
  }
}

} // namespace localdb::plsql
