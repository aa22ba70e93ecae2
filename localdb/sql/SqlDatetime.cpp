// The ora_* functions of timestamps and intervals: conversions between the datetime types and
// text, their arithmetic, EXTRACT, TO_CHAR and the constructors (SYSTIMESTAMP, TO_TIMESTAMP,
// NUMTODSINTERVAL, ...). Values are those of OraDate: timestamps as their stored text, intervals
// as integers (months, nanoseconds).
#include <cmath>
#include <cstring>

#include "localdb/catalog/Catalog.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlFunctions.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb {

namespace {

const char *const kTimestampFormat = "DD-MON-RR HH.MI.SSXFF AM";
const char *const kTimestampTzFormat = "DD-MON-RR HH.MI.SSXFF AM TZR";

Session *sessionOf(sqlite3_context *ctx) { return static_cast<Session *>(sqlite3_user_data(ctx)); }

bool isText(int type) {
  return type == static_cast<int>(SqlType::Varchar2) || type == static_cast<int>(SqlType::Char) ||
         type == static_cast<int>(SqlType::Long) || type == static_cast<int>(SqlType::Unknown);
}

SqlType typeOfCode(int code) { return static_cast<SqlType>(code); }

// Why a value could not be read: an ORA number, 0 for none.
struct Failure {
  int code = 0;
};

} // namespace

std::string sessionDatetimeFormat(const Session &s, SqlType type) {
  if (type == SqlType::Date)
    return s.dateFormat.empty() ? "DD-MON-YY" : s.dateFormat;
  if (type == SqlType::TimestampTz)
    return s.timestampTzFormat.empty() ? kTimestampTzFormat : s.timestampTzFormat;
  return s.timestampFormat.empty() ? kTimestampFormat : s.timestampFormat;
}

std::optional<OraDateValue> readDatetime(const Session &s, const std::string &text, SqlType type,
                                         int &err) {
  if (auto d = loadDate(text.data(), text.size())) {
    if (type == SqlType::TimestampTz && !d->zoned) {
      d->zoned = true;
      d->zoneMinutes = sessionZoneMinutes();
    }
    return d;
  }
  const std::string mask = sessionDatetimeFormat(s, type);
  if (type == SqlType::Date)
    return parseDate(text, s.dateFormat, err);
  auto d = parseTimestamp(text, mask, err);
  if (d && type == SqlType::TimestampTz && !d->zoned) {
    d->zoned = true;
    d->zoneMinutes = sessionZoneMinutes();
  }
  if (d && type != SqlType::TimestampTz)
    d->zoned = false;
  return d;
}

std::optional<int64_t> readInterval(const std::string &text, SqlType type, int &err) {
  // Oracle's text of the type: "[+|-]years-months", "[+|-]days hh:mi:ss[.f]".
  return type == SqlType::IntervalYM
             ? parseInterval(text, IntervalField::Year, IntervalField::Month, 9, err)
             : parseInterval(text, IntervalField::Day, IntervalField::Second, 9, err);
}

std::string datetimeText(const Session &s, const char *stored, size_t n, SqlType type, int fraction,
                         int leading) {
  if (isIntervalType(type)) {
    const int64_t v = std::strtoll(std::string(stored, n).c_str(), nullptr, 10);
    return type == SqlType::IntervalYM
               ? formatYearMonth(v, leading < 0 ? 2 : leading)
               : formatDaySecond(v, leading < 0 ? 2 : leading, fraction < 0 ? 6 : fraction);
  }
  auto d = loadDate(stored, n);
  if (!d)
    return std::string(stored, n);
  OraDateValue v = *d;
  if (type == SqlType::Timestamp || type == SqlType::TimestampLtz)
    v.zoned = false;
  return formatDate(v, sessionDatetimeFormat(s, type),
                    type == SqlType::Date ? -1
                    : fraction < 0        ? 6
                                          : fraction)
      .value_or(std::string(stored, n));
}

namespace {

std::string textArg(sqlite3_value *v) { return argText(v); }

// A datetime argument of the given type as fields: stored text, or text read by the session's
// format of that type.
bool datetimeArg(sqlite3_context *ctx, sqlite3_value *v, SqlType type, OraDateValue &out) {
  int err = 1858;
  auto d = readDatetime(*sessionOf(ctx), textArg(v),
                        isText(static_cast<int>(type)) ? SqlType::Timestamp : type, err);
  if (!d) {
    resultOraError(ctx, err);
    return false;
  }
  out = *d;
  return true;
}

bool intervalArg(sqlite3_context *ctx, sqlite3_value *v, SqlType type, int64_t &out) {
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    out = sqlite3_value_int64(v);
    return true;
  }
  int err = 1867;
  auto r = readInterval(textArg(v), type, err);
  if (!r) {
    resultOraError(ctx, err);
    return false;
  }
  out = *r;
  return true;
}

// A datetime in the stored form of a type (fraction: digits to round to, -1 for none); nullopt
// with ORA-01841 for a year Oracle has no room for.
std::optional<std::string> storedDatetime(OraDateValue d, SqlType type, int fraction, int &err) {
  if (d.year < -4712 || d.year > 9999 || d.year == 0) {
    err = 1841;
    return std::nullopt;
  }
  if (type == SqlType::Date) {
    d.nanos = 0;
    return storeDate(d);
  }
  if (fraction >= 0)
    d = roundFraction(d, fraction);
  if (type == SqlType::TimestampTz) {
    if (!d.zoned) {
      d.zoned = true;
      d.zoneMinutes = sessionZoneMinutes();
    }
  } else if (d.zoned) {
    // TIMESTAMP keeps the wall-clock time of its zone; WITH LOCAL TIME ZONE the session's.
    if (type == SqlType::TimestampLtz)
      d = inZone(d, sessionZoneMinutes());
    d.zoned = false;
  }
  return storeTimestamp(d);
}

// An interval fitted to a type's precisions: the fraction rounded, the leading field checked
// (ORA-01873).
std::optional<int64_t> fittedInterval(int64_t v, SqlType type, int leading, int fraction,
                                      int &err) {
  if (type == SqlType::IntervalDS && fraction >= 0 && fraction < 9) {
    int64_t unit = 1;
    for (int i = fraction; i < 9; ++i)
      unit *= 10;
    const int64_t half = unit / 2;
    v = v >= 0 ? (v + half) / unit * unit : -((-v + half) / unit * unit);
  }
  if (leading >= 0 &&
      !(type == SqlType::IntervalYM ? yearMonthFits(v, leading) : daySecondFits(v, leading))) {
    err = 1873;
    return std::nullopt;
  }
  return v;
}

bool resultDatetime(sqlite3_context *ctx, OraDateValue d, SqlType type, int fraction) {
  int err = 0;
  auto s = storedDatetime(d, type, fraction, err);
  if (!s) {
    resultOraError(ctx, err);
    return false;
  }
  sqlite3_result_text(ctx, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
  return true;
}

int intArg(sqlite3_value *v) { return sqlite3_value_int(v); }

} // namespace

std::optional<std::string> convertDatetime(const Session &s, const std::string &value, SqlType from,
                                           SqlType to, int leading, int fraction, int &err) {
  if (isText(static_cast<int>(to)))
    return datetimeText(s, value.data(), value.size(), from, fraction, leading);
  if (isIntervalType(to)) {
    if (!isText(static_cast<int>(from)) && from != to) {
      err = 932;
      return std::nullopt;
    }
    std::optional<int64_t> v;
    if (from == to) {
      char *end = nullptr;
      v = std::strtoll(value.c_str(), &end, 10);
    } else {
      err = 1867;
      v = readInterval(value, to, err);
    }
    if (v)
      v = fittedInterval(*v, to, leading, fraction, err);
    if (!v)
      return std::nullopt;
    return std::to_string(*v);
  }
  if (isIntervalType(from)) {
    err = 932;
    return std::nullopt;
  }
  err = 1858;
  auto d = readDatetime(s, value, isText(static_cast<int>(from)) ? to : from, err);
  if (!d)
    return std::nullopt;
  return storedDatetime(*d, to, fraction, err);
}

namespace {

// ora_dtconv(value, from, to, leading, fraction): one datetime or interval type to another,
// text to one of them and back (the session's formats), with the target's precisions (-1: none).
void fnDtConv(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const SqlType from = typeOfCode(intArg(argv[1])), to = typeOfCode(intArg(argv[2]));
  int err = 0;
  auto r = convertDatetime(*sessionOf(ctx), textArg(argv[0]), from, to, intArg(argv[3]),
                           intArg(argv[4]), err);
  if (!r)
    return resultOraError(ctx, err);
  if (isIntervalType(to))
    return sqlite3_result_int64(ctx, std::strtoll(r->c_str(), nullptr, 10));
  if (r->empty())
    return sqlite3_result_null(ctx);
  sqlite3_result_text(ctx, r->data(), static_cast<int>(r->size()), SQLITE_TRANSIENT);
}

void fnTimestampFormat(sqlite3_context *ctx, int, sqlite3_value **argv) {
  std::string f = sessionDatetimeFormat(*sessionOf(ctx), intArg(argv[0]) ? SqlType::TimestampTz
                                                                         : SqlType::Timestamp);
  sqlite3_result_text(ctx, f.data(), static_cast<int>(f.size()), SQLITE_TRANSIENT);
}

void fnSystimestamp(sqlite3_context *ctx, int, sqlite3_value **) {
  resultDatetime(ctx, nowTimestamp(), SqlType::TimestampTz, 6);
}

void fnLocaltimestamp(sqlite3_context *ctx, int, sqlite3_value **) {
  resultDatetime(ctx, nowTimestamp(), SqlType::Timestamp, 6);
}

void toTimestamp(sqlite3_context *ctx, int argc, sqlite3_value **argv, SqlType type) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::string text = textArg(argv[0]);
  std::string mask = argc > 1 && sqlite3_value_type(argv[1]) != SQLITE_NULL
                         ? textArg(argv[1])
                         : sessionDatetimeFormat(*sessionOf(ctx), type);
  int err = 1858;
  auto d = parseTimestamp(text, mask, err);
  if (!d)
    return resultOraError(ctx, err);
  resultDatetime(ctx, *d, type, 9);
}

void fnToTimestamp(sqlite3_context *c, int n, sqlite3_value **v) {
  toTimestamp(c, n, v, SqlType::Timestamp);
}
void fnToTimestampTz(sqlite3_context *c, int n, sqlite3_value **v) {
  toTimestamp(c, n, v, SqlType::TimestampTz);
}

// ora_to_char_dt(value, mask, type, fraction, leading): TO_CHAR of a timestamp (the mask, else
// the session's format of its type) or of an interval (Oracle's text of it).
void fnToCharDt(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const SqlType type = typeOfCode(intArg(argv[2]));
  const int fraction = intArg(argv[3]), leading = intArg(argv[4]);
  std::string t = textArg(argv[0]);
  std::string r;
  if (isIntervalType(type) || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    r = datetimeText(*sessionOf(ctx), t.data(), t.size(), type, fraction, leading);
  } else {
    OraDateValue d;
    if (!datetimeArg(ctx, argv[0], type, d))
      return;
    if (type != SqlType::TimestampTz)
      d.zoned = false;
    auto f = formatDate(d, textArg(argv[1]), fraction < 0 ? 9 : fraction);
    if (!f)
      return resultOraError(ctx, 1821);
    r = *f;
  }
  if (r.empty())
    return sqlite3_result_null(ctx);
  sqlite3_result_text(ctx, r.data(), static_cast<int>(r.size()), SQLITE_TRANSIENT);
}

// The seconds of a value with their fraction, as a NUMBER.
void resultSeconds(sqlite3_context *ctx, int64_t seconds, int64_t nanos, bool negative) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "%s%lld.%09lld", negative ? "-" : "",
                static_cast<long long>(seconds), static_cast<long long>(nanos));
  resultNumber(ctx, *parseNumber(buf));
}

// ora_extract(field, value, type): EXTRACT of a timestamp (UTC fields when it has a zone) or of
// an interval.
void fnExtract(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const std::string field = textArg(argv[0]);
  const SqlType type = typeOfCode(intArg(argv[2]));
  if (isIntervalType(type)) {
    int64_t v = 0;
    if (!intervalArg(ctx, argv[1], type, v))
      return;
    const bool neg = v < 0;
    const int64_t a = neg ? -v : v, sign = neg ? -1 : 1;
    if (type == SqlType::IntervalYM)
      return sqlite3_result_int64(ctx, sign * (field == "YEAR" ? a / 12 : a % 12));
    const int64_t secs = a / 1000000000LL;
    if (field == "SECOND")
      return resultSeconds(ctx, secs % 60, a % 1000000000LL, neg);
    return sqlite3_result_int64(ctx, sign * (field == "DAY"    ? secs / 86400
                                             : field == "HOUR" ? secs / 3600 % 24
                                                               : secs / 60 % 60));
  }
  OraDateValue d;
  if (!datetimeArg(ctx, argv[1], type, d))
    return;
  if (field == "TIMEZONE_HOUR" || field == "TIMEZONE_MINUTE") {
    const int z = d.zoneMinutes;
    return sqlite3_result_int(ctx, field == "TIMEZONE_HOUR" ? z / 60 : z % 60);
  }
  if (d.zoned)
    d = inZone(d, 0);
  if (field == "SECOND")
    return resultSeconds(ctx, d.second, d.nanos, false);
  sqlite3_result_int(ctx, field == "YEAR"    ? d.year
                          : field == "MONTH" ? d.month
                          : field == "DAY"   ? d.day
                          : field == "HOUR"  ? d.hour
                                             : d.minute);
}

bool numberArg(sqlite3_context *ctx, sqlite3_value *v, long double &out) {
  OraNum n;
  if (!argNumber(ctx, v, n))
    return false;
  out = std::strtold(formatNumber(n).c_str(), nullptr);
  return true;
}

// A datetime moved by a number of months: the same day of the month, which must exist there
// (ORA-01839), unlike ADD_MONTHS.
bool addMonthsExact(sqlite3_context *ctx, OraDateValue &d, int64_t months) {
  if (months > 200000 || months < -200000) { // beyond any year Oracle has
    resultOraError(ctx, 1841);
    return false;
  }
  const int64_t total = static_cast<int64_t>(d.year) * 12 + (d.month - 1) + months;
  const int64_t year = total >= 0 ? total / 12 : -((-total + 11) / 12);
  if (year < -4712 || year > 9999 || year == 0) {
    resultOraError(ctx, 1841);
    return false;
  }
  d.year = static_cast<int>(year);
  d.month = static_cast<int>(total - year * 12) + 1;
  if (d.day > daysInMonth(d.year, d.month)) {
    resultOraError(ctx, 1839);
    return false;
  }
  return true;
}

// Nanoseconds since 1970 (UTC when the value has a zone) as a long double's exact integer.
long double instant(const OraDateValue &d) {
  const int64_t secs = epochSeconds(d) - (d.zoned ? d.zoneMinutes * 60LL : 0);
  return static_cast<long double>(secs) * 1e9L + d.nanos;
}

// ora_dt_arith(op, a, type a, b, type b, result type): datetime and interval arithmetic as the
// binder typed it.
void fnDtArith(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_type(argv[3]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  const std::string op = textArg(argv[0]);
  const SqlType ta = typeOfCode(intArg(argv[2])), tb = typeOfCode(intArg(argv[4])),
                tr = typeOfCode(intArg(argv[5]));
  const bool ia = isIntervalType(ta), ib = isIntervalType(tb);
  if (ia && ib) {
    int64_t x = 0, y = 0;
    if (!intervalArg(ctx, argv[1], ta, x) || !intervalArg(ctx, argv[3], tb, y))
      return;
    return sqlite3_result_int64(ctx, op == "+" ? x + y : x - y);
  }
  if (isIntervalType(tr)) {
    if (ia || ib) { // interval * / number
      int64_t iv = 0;
      long double n = 0;
      if (!intervalArg(ctx, argv[ia ? 1 : 3], tr, iv) || !numberArg(ctx, argv[ia ? 3 : 1], n))
        return;
      if (op == "/" && n == 0)
        return resultOraError(ctx, 1476);
      long double r = op == "/" ? iv / n : iv * n;
      if (!(std::fabs(r) < 9.2e18L))
        return resultOraError(ctx, 1873);
      return sqlite3_result_int64(ctx, tr == SqlType::IntervalYM
                                           ? static_cast<int64_t>(r)
                                           : static_cast<int64_t>(std::llroundl(r)));
    }
    // datetime - datetime: the time between them, in UTC when either has a zone.
    OraDateValue x, y;
    if (!datetimeArg(ctx, argv[1], ta, x) || !datetimeArg(ctx, argv[3], tb, y))
      return;
    if (x.zoned != y.zoned) {
      OraDateValue &plain = x.zoned ? y : x;
      plain.zoned = true;
      plain.zoneMinutes = sessionZoneMinutes();
    }
    const long double diff = instant(x) - instant(y);
    if (!(std::fabs(diff) < 9.2e18L))
      return resultOraError(ctx, 1873);
    return sqlite3_result_int64(ctx, static_cast<int64_t>(diff));
  }
  // datetime +/- interval
  const int dt = ia ? 3 : 1, iv = ia ? 1 : 3;
  const SqlType td = ia ? tb : ta, ti = ia ? ta : tb;
  OraDateValue d;
  int64_t v = 0;
  if (!datetimeArg(ctx, argv[dt], td, d) || !intervalArg(ctx, argv[iv], ti, v))
    return;
  if (op == "-")
    v = -v;
  if (ti == SqlType::IntervalYM) {
    if (!addMonthsExact(ctx, d, v))
      return;
  } else {
    int64_t secs = v / 1000000000LL, nanos = d.nanos + v % 1000000000LL;
    if (nanos < 0)
      nanos += 1000000000LL, --secs;
    else if (nanos >= 1000000000LL)
      nanos -= 1000000000LL, ++secs;
    OraDateValue r = fromEpochSeconds(epochSeconds(d) + secs, static_cast<int>(nanos));
    r.zoned = d.zoned;
    r.zoneMinutes = d.zoneMinutes;
    d = r;
  }
  resultDatetime(ctx, d, tr, -1);
}

// NUMTODSINTERVAL(n, 'DAY' | 'HOUR' | 'MINUTE' | 'SECOND'), NUMTOYMINTERVAL(n, 'YEAR' | 'MONTH').
void numToInterval(sqlite3_context *ctx, sqlite3_value **argv, bool yearMonth) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  long double n = 0;
  if (!numberArg(ctx, argv[0], n))
    return;
  std::string unit = upperAscii(textArg(argv[1]));
  while (!unit.empty() && unit.back() == ' ')
    unit.pop_back();
  while (!unit.empty() && unit.front() == ' ')
    unit.erase(0, 1);
  long double factor = yearMonth ? (unit == "YEAR"    ? 12
                                    : unit == "MONTH" ? 1
                                                      : 0)
                                 : (unit == "DAY"      ? 86400e9L
                                    : unit == "HOUR"   ? 3600e9L
                                    : unit == "MINUTE" ? 60e9L
                                    : unit == "SECOND" ? 1e9L
                                                       : 0);
  if (factor == 0)
    return resultOraError(ctx, 1760);
  const long double r = n * factor;
  if (!(std::fabs(r) < 9.2e18L))
    return resultOraError(ctx, 1873);
  sqlite3_result_int64(ctx, yearMonth ? static_cast<int64_t>(r) : std::llroundl(r));
}

void fnNumToDs(sqlite3_context *c, int, sqlite3_value **v) { numToInterval(c, v, false); }
void fnNumToYm(sqlite3_context *c, int, sqlite3_value **v) { numToInterval(c, v, true); }

// SYS_EXTRACT_UTC(timestamp with time zone): the UTC time, a TIMESTAMP.
void fnSysExtractUtc(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  OraDateValue d;
  if (!datetimeArg(ctx, argv[0], SqlType::TimestampTz, d))
    return;
  d = inZone(d, 0);
  resultDatetime(ctx, d, SqlType::Timestamp, -1);
}

// FROM_TZ(timestamp, 'zone'): the timestamp's fields in that zone ("+hh:mi", UTC, GMT).
void fnFromTz(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  OraDateValue d;
  if (!datetimeArg(ctx, argv[0], SqlType::Timestamp, d))
    return;
  int err = 1882;
  auto z = parseTimestamp("2000-01-01 " + textArg(argv[1]), "YYYY-MM-DD TZR", err);
  if (!z)
    return resultOraError(ctx, err == 1858 ? 1882 : err);
  d.zoned = true;
  d.zoneMinutes = z->zoneMinutes;
  resultDatetime(ctx, d, SqlType::TimestampTz, -1);
}

} // namespace

void registerDatetimeFunctions(sqlite3 *db, Session *session) {
  struct Def {
    const char *name;
    int args;
    void (*fn)(sqlite3_context *, int, sqlite3_value **);
    bool deterministic;
  };
  static const Def kDefs[] = {{"ora_dtconv", 5, fnDtConv, false},
                              {"ora_timestamp_format", 1, fnTimestampFormat, false},
                              {"ora_systimestamp", 0, fnSystimestamp, false},
                              {"ora_localtimestamp", 0, fnLocaltimestamp, false},
                              {"ora_to_timestamp", -1, fnToTimestamp, false},
                              {"ora_to_timestamp_tz", -1, fnToTimestampTz, false},
                              {"ora_to_char_dt", 5, fnToCharDt, false},
                              {"ora_extract", 3, fnExtract, false},
                              {"ora_dt_arith", 6, fnDtArith, false},
                              {"ora_numtodsinterval", 2, fnNumToDs, true},
                              {"ora_numtoyminterval", 2, fnNumToYm, true},
                              {"ora_sys_extract_utc", 1, fnSysExtractUtc, false},
                              {"ora_from_tz", 2, fnFromTz, false}};
  for (const Def &d : kDefs)
    sqlite3_create_function_v2(db, d.name, d.args,
                               SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0), session,
                               d.fn, nullptr, nullptr, nullptr);
}

} // namespace localdb
