// The ora_* SQL functions that emitted statements call: conversions, Oracle's built-ins,
// column checks, ROWNUM counters and sequences.
#include "localdb/sql/SqlFunctions.h"
#include "localdb/sql/SqlLexer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "localdb/catalog/Catalog.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"

namespace localdb {

namespace {

// ---- the error route: every failure is an ORA text that the cursor turns back into its code
void raise(sqlite3_context *ctx, int code, const std::string &arg = std::string()) {
  std::string m = arg.empty() ? oraMessage(code) : oraErrorArg(code, arg).message;
  sqlite3_result_error(ctx, m.c_str(), static_cast<int>(m.size()));
}

bool isNull(sqlite3_value *v) { return sqlite3_value_type(v) == SQLITE_NULL; }

std::string textOf(sqlite3_value *v) {
  switch (sqlite3_value_type(v)) {
  case SQLITE_INTEGER:
    return formatInt(sqlite3_value_int64(v));
  case SQLITE_FLOAT: // a number an earlier version stored as a double
    return formatNumber(numberFromDouble(sqlite3_value_double(v)).value_or(OraNum{}));
  case SQLITE_NULL:
    return std::string();
  default: {
    const char *p = reinterpret_cast<const char *>(sqlite3_value_blob(v));
    int n = sqlite3_value_bytes(v);
    return p ? std::string(p, static_cast<size_t>(n)) : std::string();
  }
  }
}

// A number argument; false (with the error set) when it is not one. Numbers are integers or
// blobs of Oracle's bytes (doubles in files of earlier versions); text converts.
bool numOf(sqlite3_context *ctx, sqlite3_value *v, OraNum &out) {
  switch (sqlite3_value_type(v)) {
  case SQLITE_INTEGER:
    out = OraNum::of(sqlite3_value_int64(v));
    return true;
  case SQLITE_BLOB: {
    auto n = numberFromBytes(static_cast<const unsigned char *>(sqlite3_value_blob(v)),
                             sqlite3_value_bytes(v));
    if (!n) {
      raise(ctx, 932);
      return false;
    }
    out = *n;
    return true;
  }
  case SQLITE_FLOAT: {
    auto n = numberFromDouble(sqlite3_value_double(v));
    if (!n) {
      raise(ctx, 1426);
      return false;
    }
    out = *n;
    return true;
  }
  case SQLITE_TEXT: {
    int err = 1722;
    auto n = parseNumber(textOf(v), &err);
    if (!n) {
      raise(ctx, err);
      return false;
    }
    out = *n;
    return true;
  }
  default:
    raise(ctx, 932);
    return false;
  }
}

Session *sessionOf(sqlite3_context *ctx) { return static_cast<Session *>(sqlite3_user_data(ctx)); }

// The session's default date format (ALTER SESSION SET NLS_DATE_FORMAT).
const std::string &dateFormatOf(sqlite3_context *ctx) { return sessionOf(ctx)->dateFormat; }

bool dateOf(sqlite3_context *ctx, sqlite3_value *v, OraDateValue &out) {
  std::string t = textOf(v);
  if (auto d = loadDate(t.data(), t.size())) {
    out = *d;
    return true;
  }
  int err = 1858;
  if (auto d = parseDate(t, dateFormatOf(ctx), err)) {
    out = *d;
    return true;
  }
  raise(ctx, err);
  return false;
}

} // namespace

void resultNumber(sqlite3_context *ctx, const OraNum &n) {
  if (n.isInt) {
    sqlite3_result_int64(ctx, n.i);
    return;
  }
  unsigned char b[22];
  sqlite3_result_blob(ctx, b, numberToBytes(n, b), SQLITE_TRANSIENT);
}

void bindNumber(sqlite3_stmt *st, int idx, const OraNum &n) {
  if (n.isInt) {
    sqlite3_bind_int64(st, idx, n.i);
    return;
  }
  unsigned char b[22];
  sqlite3_bind_blob(st, idx, b, numberToBytes(n, b), SQLITE_TRANSIENT);
}

std::optional<OraNum> storedNumber(sqlite3_value *v) {
  switch (sqlite3_value_type(v)) {
  case SQLITE_INTEGER:
    return OraNum::of(sqlite3_value_int64(v));
  case SQLITE_BLOB:
    return numberFromBytes(static_cast<const unsigned char *>(sqlite3_value_blob(v)),
                           sqlite3_value_bytes(v));
  case SQLITE_FLOAT:
    return numberFromDouble(sqlite3_value_double(v));
  case SQLITE_TEXT:
    return parseNumber(reinterpret_cast<const char *>(sqlite3_value_text(v)));
  default:
    return std::nullopt;
  }
}

std::optional<OraNum> columnNumber(sqlite3_stmt *st, int col) {
  switch (sqlite3_column_type(st, col)) {
  case SQLITE_INTEGER:
    return OraNum::of(sqlite3_column_int64(st, col));
  case SQLITE_BLOB:
    return numberFromBytes(static_cast<const unsigned char *>(sqlite3_column_blob(st, col)),
                           sqlite3_column_bytes(st, col));
  case SQLITE_FLOAT:
    return numberFromDouble(sqlite3_column_double(st, col));
  case SQLITE_TEXT: {
    const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, col));
    return parseNumber(t ? t : "");
  }
  default:
    return std::nullopt;
  }
}

namespace {

void resultNum(sqlite3_context *ctx, const OraNum &n) { resultNumber(ctx, n); }

// A checked result: nullopt is ORA-01426.
void resultNum(sqlite3_context *ctx, const std::optional<OraNum> &n) {
  if (n)
    resultNumber(ctx, *n);
  else
    raise(ctx, 1426);
}

void resultDouble(sqlite3_context *ctx, double d) { resultNum(ctx, numberFromDouble(d)); }

// Oracle's empty string is NULL.
void resultText(sqlite3_context *ctx, const std::string &s) {
  if (s.empty())
    sqlite3_result_null(ctx);
  else
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void resultDate(sqlite3_context *ctx, const OraDateValue &d) {
  if (d.year < -4712 || d.year > 9999 || d.year == 0) {
    raise(ctx, 1841);
    return;
  }
  char text[kStoredDateBuffer];
  const int n = storeDateTo(d, text);
  sqlite3_result_text(ctx, text, std::min(n, kStoredDateBuffer - 1), SQLITE_TRANSIENT);
}

bool anyNull(int argc, sqlite3_value **argv) {
  for (int i = 0; i < argc; ++i)
    if (isNull(argv[i]))
      return true;
  return false;
}

#define NULL_IN_NULL_OUT                                                                           \
  if (anyNull(argc, argv)) {                                                                       \
    sqlite3_result_null(ctx);                                                                      \
    return;                                                                                        \
  }

// ---------------------------------------------------------------- conversions

void fnUser(sqlite3_context *ctx, int, sqlite3_value **) {
  resultText(ctx, sessionOf(ctx)->user());
}

// The session's NLS_DATE_FORMAT, as NLS_SESSION_PARAMETERS shows it.
void fnDateFormat(sqlite3_context *ctx, int, sqlite3_value **) {
  const std::string &f = dateFormatOf(ctx);
  resultText(ctx, f.empty() ? "DD-MON-YY" : f);
}

// Digits with an optional sign and point, the common text of a bound number, without copies.
bool quickNumber(sqlite3_value *v, OraNum &out) {
  const char *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
  int n = sqlite3_value_bytes(v);
  if (!p || n == 0 || n > 17)
    return false;
  int i = 0;
  bool neg = false;
  if (p[0] == '-' || p[0] == '+')
    neg = p[i++] == '-';
  int64_t whole = 0, frac = 0;
  int fracDigits = 0, digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    char c = p[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (point) {
        frac = frac * 10 + (c - '0');
        ++fracDigits;
      } else {
        whole = whole * 10 + (c - '0');
      }
    } else if (c == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!digits)
    return false;
  if (!fracDigits) {
    out = OraNum::of(neg ? -whole : whole);
    return true;
  }
  (void)frac;
  auto r = parseNumber(std::string_view(p, static_cast<size_t>(n)));
  if (!r)
    return false;
  out = *r;
  return true;
}

void fnNum(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_INTEGER || t == SQLITE_BLOB) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  OraNum q;
  if (t == SQLITE_TEXT && quickNumber(argv[0], q)) {
    resultNum(ctx, q);
    return;
  }
  OraNum n;
  if (numOf(ctx, argv[0], n))
    resultNum(ctx, n);
}

void fnDate(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string t = textOf(argv[0]);
  int err = 1858;
  auto d = parseDate(t, dateFormatOf(ctx), err);
  if (!d) {
    raise(ctx, err);
    return;
  }
  resultDate(ctx, *d);
}

void fnNtoc(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n;
  if (numOf(ctx, argv[0], n))
    resultText(ctx, formatNumber(n));
}

void fnDtoc(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  if (dateOf(ctx, argv[0], d))
    resultText(ctx, formatDate(d, dateFormatOf(ctx)).value_or(""));
}

void fnRawToHex(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  const unsigned char *p = static_cast<const unsigned char *>(sqlite3_value_blob(argv[0]));
  resultText(ctx, hexText(p, static_cast<size_t>(sqlite3_value_bytes(argv[0]))));
}

void fnHexToRaw(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  auto b = parseHex(textOf(argv[0]));
  if (!b) {
    raise(ctx, 1465);
    return;
  }
  if (b->empty())
    sqlite3_result_null(ctx);
  else
    sqlite3_result_blob(ctx, b->data(), static_cast<int>(b->size()), SQLITE_TRANSIENT);
}

void fnRowidToChar(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
    resultText(ctx, rowidText(sqlite3_value_int64(argv[0])));
  else
    resultText(ctx, textOf(argv[0]));
}

void fnCharToRowid(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  auto r = parseRowid(textOf(argv[0]));
  if (!r) {
    raise(ctx, 1410);
    return;
  }
  sqlite3_result_int64(ctx, *r);
}

void fnConcat(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  std::string s;
  for (int i = 0; i < argc; ++i)
    s += textOf(argv[i]);
  resultText(ctx, s);
}

void fnDiv(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum a, b;
  if (!numOf(ctx, argv[0], a) || !numOf(ctx, argv[1], b))
    return;
  if (b.isZero()) {
    raise(ctx, 1476);
    return;
  }
  resultNum(ctx, divideNumbers(a, b));
}

// + - * of numbers: machine integers while they fit, else Oracle's decimal.
template <int Op> void arithImpl(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER &&
      sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
    int64_t a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]), r;
    bool overflow = Op == 0   ? __builtin_add_overflow(a, b, &r)
                    : Op == 1 ? __builtin_sub_overflow(a, b, &r)
                              : __builtin_mul_overflow(a, b, &r);
    if (!overflow) {
      sqlite3_result_int64(ctx, r);
      return;
    }
  }
  OraNum a, b;
  if (!numOf(ctx, argv[0], a) || !numOf(ctx, argv[1], b))
    return;
  resultNum(ctx, Op == 0   ? addNumbers(a, b)
                 : Op == 1 ? subtractNumbers(a, b)
                           : multiplyNumbers(a, b));
}

void fnNeg(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum a;
  if (numOf(ctx, argv[0], a))
    resultNum(ctx, negateNumber(a));
}

// The sort key of a number: its Oracle bytes, whatever form it is kept in, so that integers and
// decimals order together (SQLite orders every integer before every blob).
void fnNumKey(sqlite3_context *ctx, int, sqlite3_value **argv) {
  int t = sqlite3_value_type(argv[0]);
  if (t == SQLITE_NULL || t == SQLITE_BLOB || t == SQLITE_TEXT) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  OraNum n;
  if (!numOf(ctx, argv[0], n))
    return;
  unsigned char b[22];
  sqlite3_result_blob(ctx, b, numberToBytes(n, b), SQLITE_TRANSIENT);
}

// A sort key back to the number's canonical form (MIN / MAX over keys).
void fnNumOfKey(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_BLOB) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  OraNum n;
  if (numOf(ctx, argv[0], n))
    resultNum(ctx, n);
}

void fnDateAdd(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  OraNum n;
  if (!dateOf(ctx, argv[0], d) || !numOf(ctx, argv[1], n))
    return;
  resultDate(ctx, fromJulian(toJulian(d) + n.toDouble()));
}

void fnDateDiff(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue a, b;
  if (!dateOf(ctx, argv[0], a) || !dateOf(ctx, argv[1], b))
    return;
  double diff = toJulian(a) - toJulian(b);
  resultDouble(ctx, std::round(diff * 86400.0) / 86400.0);
}

void fnSysdate(sqlite3_context *ctx, int, sqlite3_value **) { resultDate(ctx, nowDate()); }

void fnError(sqlite3_context *ctx, int, sqlite3_value **argv) {
  raise(ctx, sqlite3_value_int(argv[0]));
}

// ---------------------------------------------------------------- ROWNUM

RownumCounter *counterOf(sqlite3_value *v) {
  return static_cast<RownumCounter *>(sqlite3_value_pointer(v, kRownumPointerType));
}

void fnRownumNext(sqlite3_context *ctx, int, sqlite3_value **argv) {
  RownumCounter *c = counterOf(argv[0]);
  if (!c) {
    raise(ctx, 600, "rownum");
    return;
  }
  sqlite3_result_int64(ctx, ++c->n);
}

void fnRownumGet(sqlite3_context *ctx, int, sqlite3_value **argv) {
  RownumCounter *c = counterOf(argv[0]);
  if (!c) {
    raise(ctx, 600, "rownum");
    return;
  }
  sqlite3_result_int64(ctx, c->n);
}

bool compareOp(double a, const std::string &op, double b) {
  if (op == "<")
    return a < b;
  if (op == "<=")
    return a <= b;
  if (op == ">")
    return a > b;
  if (op == ">=")
    return a >= b;
  if (op == "=")
    return a == b;
  return a != b;
}

void fnRownumTest(sqlite3_context *ctx, int, sqlite3_value **argv) {
  RownumCounter *c = counterOf(argv[0]);
  if (!c) {
    raise(ctx, 600, "rownum");
    return;
  }
  if (isNull(argv[2])) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  OraNum v;
  if (!numOf(ctx, argv[2], v))
    return;
  std::string op = textOf(argv[1]);
  bool pass = compareOp(static_cast<double>(c->n + 1), op, v.toDouble());
  if (pass)
    ++c->n;
  sqlite3_result_int(ctx, pass ? 1 : 0);
}

// The LIMIT that "ROWNUM op value" amounts to (-1: none).
void fnRownumLimit(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[1])) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  OraNum n;
  if (!numOf(ctx, argv[1], n))
    return;
  double v = n.toDouble();
  std::string op = textOf(argv[0]);
  int64_t limit = -1;
  if (op == "<")
    limit = v <= 1 ? 0 : clampToInt(std::ceil(v)) - 1;
  else if (op == "<=")
    limit = v < 1 ? 0 : clampToInt(std::floor(v));
  else if (op == "=")
    limit = v == 1 ? 1 : 0;
  else if (op == ">")
    limit = v < 1 ? -1 : 0;
  else if (op == ">=")
    limit = v <= 1 ? -1 : 0;
  else // <>
    limit = v == 1 ? 0 : (v > 1 && v == std::floor(v) ? clampToInt(v) - 1 : -1);
  sqlite3_result_int64(ctx, limit);
}

void fnKeep(sqlite3_context *ctx, int, sqlite3_value **argv) { sqlite3_result_value(ctx, argv[0]); }

// DECODE's comparison key: NULL becomes a value that only NULL's key equals.
void fnDecodeKey(sqlite3_context *ctx, int, sqlite3_value **argv) {
  static const unsigned char kNullKey[] = {0x00, 0xD3, 0xC0, 0xDE, 0x4E, 0x55, 0x4C, 0x4C, 0x00};
  if (isNull(argv[0]))
    sqlite3_result_blob(ctx, kNullKey, sizeof kNullKey, SQLITE_STATIC);
  else
    sqlite3_result_value(ctx, argv[0]);
}

void fnLimitMin(sqlite3_context *ctx, int, sqlite3_value **argv) {
  int64_t a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
  if (a < 0)
    sqlite3_result_int64(ctx, b);
  else if (b < 0)
    sqlite3_result_int64(ctx, a);
  else
    sqlite3_result_int64(ctx, std::min(a, b));
}

// ---------------------------------------------------------------- sequences

void fnNextval(sqlite3_context *ctx, int, sqlite3_value **argv) {
  Session *s = sessionOf(ctx);
  sqlite3 *db = sqlite3_context_db_handle(ctx);
  std::string owner = textOf(argv[0]), name = textOf(argv[1]);
  sqlite3_stmt *st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT last_number, increment_by, min_value, max_value, cycle_flag FROM "
                     "ora_sequences WHERE sequence_owner = ?1 AND sequence_name = ?2",
                     -1, &st, nullptr);
  sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(st) != SQLITE_ROW) {
    sqlite3_finalize(st);
    raise(ctx, 2289);
    return;
  }
  double v = sqlite3_column_double(st, 0), inc = sqlite3_column_double(st, 1);
  double mn = sqlite3_column_double(st, 2), mx = sqlite3_column_double(st, 3);
  bool cycle = sqlite3_column_text(st, 4)[0] == 'Y';
  sqlite3_finalize(st);
  if ((inc > 0 && v > mx) || (inc < 0 && v < mn)) {
    if (!cycle) {
      raise(ctx, 8004, owner + "." + name);
      return;
    }
    v = inc > 0 ? mn : mx;
  }
  st = nullptr;
  sqlite3_prepare_v2(db,
                     "UPDATE ora_sequences SET last_number = ?3 WHERE sequence_owner = ?1 AND "
                     "sequence_name = ?2",
                     -1, &st, nullptr);
  sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
  OraNum next = numberFromDouble(v + inc).value_or(OraNum{});
  if (next.isInt)
    sqlite3_bind_int64(st, 3, next.i);
  else
    sqlite3_bind_double(st, 3, v + inc);
  int rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) {
    raise(ctx, (rc & 0xff) == SQLITE_BUSY ? 54 : 600, "sequence");
    return;
  }
  OraNum val = numberFromDouble(v).value_or(OraNum{});
  s->currval[owner + "." + name] = formatNumber(val);
  resultNum(ctx, val);
}

void fnCurrval(sqlite3_context *ctx, int, sqlite3_value **argv) {
  Session *s = sessionOf(ctx);
  std::string key = textOf(argv[0]) + "." + textOf(argv[1]);
  auto it = s->currval.find(key);
  if (it == s->currval.end()) {
    raise(ctx, 8002, textOf(argv[1]));
    return;
  }
  resultNum(ctx, *parseNumber(it->second));
}

// ---------------------------------------------------------------- column checks

// Whether Oracle's bytes already fit NUMBER(precision, scale) as they are (no digit below the
// scale, the integer digits within the precision), read from the bytes without decoding them.
bool bytesFit(const unsigned char *p, int len, int precision, int scale) {
  if (len < 2 || len > 21)
    return false;
  bool neg = p[0] < 0x80;
  int n = len - 1 - (neg && p[len - 1] == 102 ? 1 : 0);
  if (n < 1)
    return false;
  int expo = neg ? 62 - p[0] : p[0] - 193; // value = m1.m2.. * 100^expo
  int last = neg ? 101 - p[n] : p[n] - 1, first = neg ? 101 - p[1] : p[1] - 1;
  int fraction = expo - (n - 1) >= 0 ? 0 : 2 * ((n - 1) - expo) - (last % 10 == 0 ? 1 : 0);
  int whole = 2 * (expo + 1) - (first < 10 ? 1 : 0);
  bool noScale = scale < -84;
  if (noScale ? (precision > 0 && fraction > 0) : fraction > scale)
    return false;
  return precision <= 0 || whole <= precision - (noScale ? 0 : scale);
}

void fnColNum(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_BLOB &&
      bytesFit(static_cast<const unsigned char *>(sqlite3_value_blob(argv[0])),
               sqlite3_value_bytes(argv[0]), sqlite3_value_int(argv[1]),
               sqlite3_value_int(argv[2]))) {
    sqlite3_result_value(ctx, argv[0]);
    return;
  }
  OraNum n;
  if (!(sqlite3_value_type(argv[0]) == SQLITE_TEXT && quickNumber(argv[0], n)) &&
      !numOf(ctx, argv[0], n))
    return;
  auto r = fitNumber(n, sqlite3_value_int(argv[1]), sqlite3_value_int(argv[2]));
  if (!r) {
    raise(ctx, 1438);
    return;
  }
  resultNum(ctx, *r);
}

void fnColChar(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
    int n = sqlite3_value_bytes(argv[0]);
    int max = sqlite3_value_int(argv[1]);
    if (max > 0 && n > max) {
      raise(ctx, 1401);
      return;
    }
    if (n == 0)
      sqlite3_result_null(ctx);
    else
      sqlite3_result_value(ctx, argv[0]);
    return;
  }
  std::string s = textOf(argv[0]);
  int max = sqlite3_value_int(argv[1]);
  if (max > 0 && static_cast<int>(s.size()) > max) {
    raise(ctx, 1401);
    return;
  }
  resultText(ctx, s);
}

// CAST to VARCHAR2(n) / CHAR(n) / RAW(n): a value longer than n is ORA-25137; CHAR is padded.
void fnCastChar(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  int max = sqlite3_value_int(argv[1]);
  if (sqlite3_value_type(argv[0]) == SQLITE_BLOB) {
    if (sqlite3_value_bytes(argv[0]) > max)
      raise(ctx, 25137);
    else
      sqlite3_result_value(ctx, argv[0]);
    return;
  }
  std::string s = textOf(argv[0]);
  if (static_cast<int>(s.size()) > max) {
    raise(ctx, 25137);
    return;
  }
  if (sqlite3_value_int(argv[2]))
    s.resize(static_cast<size_t>(max), ' ');
  resultText(ctx, s);
}

void fnColCharPad(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string s = textOf(argv[0]);
  int max = sqlite3_value_int(argv[1]);
  if (static_cast<int>(s.size()) > max) {
    // Trailing blanks beyond the length are cut, anything else does not fit.
    size_t e = s.find_last_not_of(' ');
    if (e == std::string::npos || static_cast<int>(e) >= max) {
      raise(ctx, 1401);
      return;
    }
    s.resize(static_cast<size_t>(max));
  }
  s.append(static_cast<size_t>(max) - s.size(), ' ');
  resultText(ctx, s);
}

void fnColRaw(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  int max = sqlite3_value_int(argv[1]);
  if (sqlite3_value_bytes(argv[0]) > max) {
    raise(ctx, 1401);
    return;
  }
  sqlite3_result_value(ctx, argv[0]);
}

// ---------------------------------------------------------------- character functions

void fnSubstr(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  OraNum m, n;
  if (!numOf(ctx, argv[1], m))
    return;
  long len = static_cast<long>(s.size());
  long start = clampToInt(m);
  if (start == 0)
    start = 1;
  if (start < 0)
    start = len + start + 1;
  if (start < 1 || start > len) {
    sqlite3_result_null(ctx);
    return;
  }
  long count = len - start + 1;
  if (argc > 2) {
    if (!numOf(ctx, argv[2], n))
      return;
    double c = static_cast<double>(clampToInt(n, INT64_C(1000000000000)));
    if (c < 1) {
      sqlite3_result_null(ctx);
      return;
    }
    count = std::min<long>(count, static_cast<long>(std::min(c, 1e9)));
  }
  resultText(ctx, s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count)));
}

void fnInstr(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]), sub = textOf(argv[1]);
  long pos = 1, occ = 1;
  OraNum n;
  if (argc > 2) {
    if (!numOf(ctx, argv[2], n))
      return;
    pos = clampToInt(n);
  }
  if (argc > 3) {
    if (!numOf(ctx, argv[3], n))
      return;
    occ = clampToInt(n);
    if (occ < 1) {
      raise(ctx, 1428, formatNumber(n));
      return;
    }
  }
  if (pos == 0 || sub.empty()) {
    sqlite3_result_int(ctx, 0);
    return;
  }
  long len = static_cast<long>(s.size());
  long found = 0;
  if (pos > 0) {
    size_t at = static_cast<size_t>(pos - 1);
    while (at <= s.size()) {
      size_t p = s.find(sub, at);
      if (p == std::string::npos)
        break;
      if (++found == occ) {
        sqlite3_result_int64(ctx, static_cast<int64_t>(p) + 1);
        return;
      }
      at = p + 1;
    }
  } else {
    long at = len + pos; // 0-based start of the backward search
    while (at >= 0) {
      size_t p = s.rfind(sub, static_cast<size_t>(at));
      if (p == std::string::npos)
        break;
      if (++found == occ) {
        sqlite3_result_int64(ctx, static_cast<int64_t>(p) + 1);
        return;
      }
      at = static_cast<long>(p) - 1;
    }
  }
  sqlite3_result_int(ctx, 0);
}

void fnLength(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  if (s.empty())
    sqlite3_result_null(ctx);
  else
    sqlite3_result_int64(ctx, static_cast<int64_t>(s.size()));
}

// A LOB's length in bytes: an empty LOB has 0, where empty text would be NULL.
void fnLobLength(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0]))
    sqlite3_result_null(ctx);
  else if (sqlite3_value_type(argv[0]) == SQLITE_BLOB || sqlite3_value_type(argv[0]) == SQLITE_TEXT)
    sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0]));
  else
    sqlite3_result_int64(ctx, static_cast<int64_t>(textOf(argv[0]).size()));
}

void fnUpper(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  for (char &c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  resultText(ctx, s);
}

void fnLower(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  for (char &c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  resultText(ctx, s);
}

void fnInitcap(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  bool start = true;
  for (char &c : s) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isalnum(u)) {
      c = static_cast<char>(start ? std::toupper(u) : std::tolower(u));
      start = false;
    } else {
      start = true;
    }
  }
  resultText(ctx, s);
}

void trimImpl(sqlite3_context *ctx, int argc, sqlite3_value **argv, bool left) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  std::string set = argc > 1 ? textOf(argv[1]) : " ";
  if (left) {
    size_t b = s.find_first_not_of(set);
    s = b == std::string::npos ? "" : s.substr(b);
  } else {
    size_t e = s.find_last_not_of(set);
    s = e == std::string::npos ? "" : s.substr(0, e + 1);
  }
  resultText(ctx, s);
}
void fnLtrim(sqlite3_context *c, int n, sqlite3_value **v) { trimImpl(c, n, v, true); }
void fnRtrim(sqlite3_context *c, int n, sqlite3_value **v) { trimImpl(c, n, v, false); }

void padImpl(sqlite3_context *ctx, int argc, sqlite3_value **argv, bool left) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  OraNum n;
  if (!numOf(ctx, argv[1], n))
    return;
  double w = static_cast<double>(clampToInt(n));
  if (w < 1) {
    sqlite3_result_null(ctx);
    return;
  }
  if (w > 32767) {
    raise(ctx, 1489);
    return;
  }
  size_t width = static_cast<size_t>(w);
  std::string pad = argc > 2 ? textOf(argv[2]) : " ";
  if (s.size() >= width) {
    resultText(ctx, s.substr(0, width));
    return;
  }
  std::string fill;
  while (fill.size() < width - s.size())
    fill += pad;
  fill.resize(width - s.size());
  resultText(ctx, left ? fill + s : s + fill);
}
void fnLpad(sqlite3_context *c, int n, sqlite3_value **v) { padImpl(c, n, v, true); }
void fnRpad(sqlite3_context *c, int n, sqlite3_value **v) { padImpl(c, n, v, false); }

void fnReplace(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string s = textOf(argv[0]);
  std::string from = textOf(argv[1]);
  std::string to = argc > 2 ? textOf(argv[2]) : "";
  if (from.empty()) {
    resultText(ctx, s);
    return;
  }
  std::string out;
  size_t at = 0;
  while (true) {
    size_t p = s.find(from, at);
    if (p == std::string::npos)
      break;
    out += s.substr(at, p - at) + to;
    at = p + from.size();
    if (out.size() > 1u << 24) {
      raise(ctx, 1489);
      return;
    }
  }
  out += s.substr(at);
  resultText(ctx, out);
}

void fnTranslate(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]), from = textOf(argv[1]), to = textOf(argv[2]);
  std::string out;
  for (char c : s) {
    size_t p = from.find(c);
    if (p == std::string::npos)
      out += c;
    else if (p < to.size())
      out += to[p];
  }
  resultText(ctx, out);
}

void fnAscii(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  if (s.empty())
    sqlite3_result_null(ctx);
  else
    sqlite3_result_int(ctx, static_cast<unsigned char>(s[0]));
}

void fnChr(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n;
  if (!numOf(ctx, argv[0], n))
    return;
  char c = static_cast<char>(clampToInt(n) & 0xff);
  sqlite3_result_text(ctx, &c, 1, SQLITE_TRANSIENT);
}

void fnSoundex(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string s = textOf(argv[0]);
  static const char *codes = "01230120022455012623010202"; // A..Z
  std::string out;
  char last = 0;
  for (char ch : s) {
    unsigned char u = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(ch)));
    if (u < 'A' || u > 'Z')
      continue;
    char code = codes[u - 'A'];
    if (out.empty()) {
      out += static_cast<char>(u);
      last = code;
      continue;
    }
    if (code != '0' && code != last)
      out += code;
    if (u != 'H' && u != 'W')
      last = code;
    if (out.size() == 4)
      break;
  }
  if (out.empty()) {
    sqlite3_result_null(ctx);
    return;
  }
  out.resize(4, '0');
  resultText(ctx, out);
}

// SYS_CONTEXT('USERENV', attribute): the session's attributes later code asks for; another
// namespace (there are no application contexts here) or an unknown attribute is ORA-02003.
void fnSysContext(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string ns = upperAscii(textOf(argv[0])), a = upperAscii(textOf(argv[1]));
  if (ns != "USERENV") {
    raise(ctx, 2003, ns);
    return;
  }
  Session *s = sessionOf(ctx);
  if (a == "CURRENT_USER" || a == "SESSION_USER" || a == "CURRENT_SCHEMA")
    resultText(ctx, s->user());
  else if (a == "SESSIONID" || a == "SID")
    sqlite3_result_int64(ctx, reinterpret_cast<intptr_t>(s) & 0xffffff);
  else if (a == "DB_NAME" || a == "INSTANCE_NAME" || a == "DB_UNIQUE_NAME" || a == "SERVICE_NAME")
    resultText(ctx, "LOCAL");
  else if (a == "TERMINAL" || a == "HOST" || a == "SERVER_HOST")
    resultText(ctx, "localhost");
  else if (a == "LANGUAGE")
    resultText(ctx, "AMERICAN_AMERICA.WE8ISO8859P1");
  else if (a == "NLS_DATE_FORMAT")
    resultText(ctx, dateFormatOf(ctx).empty() ? "DD-MON-YY" : dateFormatOf(ctx));
  else if (a == "ISDBA")
    resultText(ctx, s->user() == "SYS" || s->user() == "SYSTEM" ? "TRUE" : "FALSE");
  else if (a == "AUTHENTICATION_METHOD")
    resultText(ctx, "PASSWORD");
  else if (a == "MODULE" || a == "ACTION" || a == "CLIENT_INFO" || a == "CLIENT_IDENTIFIER" ||
           a == "OS_USER")
    sqlite3_result_null(ctx);
  else
    raise(ctx, 2003, a);
}

void fnUserenv(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string w = textOf(argv[0]);
  for (char &c : w)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (w == "SESSIONID" || w == "ENTRYID")
    sqlite3_result_int64(ctx, reinterpret_cast<intptr_t>(sessionOf(ctx)) & 0xffffff);
  else if (w == "TERMINAL")
    resultText(ctx, "LOCAL");
  else if (w == "LANGUAGE")
    resultText(ctx, "AMERICAN_AMERICA.WE8ISO8859P1");
  else if (w == "LABEL")
    resultText(ctx, "DBHIGH");
  else
    raise(ctx, 2003, w);
}

// ---------------------------------------------------------------- number functions

void fnRound(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n, d;
  if (!numOf(ctx, argv[0], n) || (argc > 1 && !numOf(ctx, argv[1], d)))
    return;
  resultNum(ctx, roundNumber(n, static_cast<int>(clampToInt(d, 1000))));
}

void fnTrunc(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n, d;
  if (!numOf(ctx, argv[0], n) || (argc > 1 && !numOf(ctx, argv[1], d)))
    return;
  resultNum(ctx, truncNumber(n, static_cast<int>(clampToInt(d, 1000))));
}

void fnMod(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum m, n;
  if (!numOf(ctx, argv[0], m) || !numOf(ctx, argv[1], n))
    return;
  resultNum(ctx, modNumbers(m, n));
}

// SIGN, CEIL, FLOOR, SQRT, EXP, LN and the trigonometry, to Oracle's digits; outside the domain
// ORA-01428 with the argument.
enum class MathFn { Sign, Ceil, Floor, Sqrt, Exp, Ln, Trig };
template <MathFn F, Trig T = Trig::Sin>
void mathImpl(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n;
  if (!numOf(ctx, argv[0], n))
    return;
  bool overflow = false;
  std::optional<OraNum> r;
  switch (F) {
  case MathFn::Sign:
    r = OraNum::of(n.isZero() ? 0 : n.negative() ? -1 : 1);
    break;
  case MathFn::Ceil:
    r = ceilNumber(n);
    break;
  case MathFn::Floor:
    r = floorNumber(n);
    break;
  case MathFn::Sqrt:
    r = sqrtNumber(n);
    break;
  case MathFn::Exp:
    r = expNumber(n, &overflow);
    break;
  case MathFn::Ln:
    r = lnNumber(n);
    break;
  case MathFn::Trig:
    r = trigNumber(T, n, &overflow);
    break;
  }
  if (r)
    resultNum(ctx, *r);
  else if (overflow)
    raise(ctx, 1426);
  else
    raise(ctx, 1428, formatNumber(n));
}

void fnAtan2(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum y, x;
  if (!numOf(ctx, argv[0], y) || !numOf(ctx, argv[1], x))
    return;
  auto r = atan2Number(y, x);
  if (r)
    resultNum(ctx, *r);
  else
    raise(ctx, 1428, formatNumber(x));
}

void fnAbs(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n;
  if (numOf(ctx, argv[0], n))
    resultNum(ctx, absNumber(n));
}

void fnPower(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum a, b;
  if (!numOf(ctx, argv[0], a) || !numOf(ctx, argv[1], b))
    return;
  bool overflow = false;
  auto r = powerNumber(a, b, &overflow);
  if (r)
    resultNum(ctx, *r);
  else if (overflow)
    raise(ctx, 1426);
  else
    raise(ctx, 1428, formatNumber(a));
}

void fnLog(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum a, b;
  if (!numOf(ctx, argv[0], a) || !numOf(ctx, argv[1], b))
    return;
  auto r = logNumber(a, b);
  if (!r) {
    bool badBase = a.negative() || a.isZero() || compareNumbers(a, OraNum::of(1)) == 0;
    raise(ctx, 1428, formatNumber(badBase ? a : b));
    return;
  }
  resultNum(ctx, *r);
}

// GREATEST / LEAST: the emitter converted every argument to the first one's type.
void extremeImpl(sqlite3_context *ctx, int argc, sqlite3_value **argv, bool greatest) {
  NULL_IN_NULL_OUT
  int best = 0;
  for (int i = 1; i < argc; ++i) {
    int ta = sqlite3_value_type(argv[best]), tb = sqlite3_value_type(argv[i]);
    int cmp;
    auto number = [](int t) {
      return t == SQLITE_INTEGER || t == SQLITE_FLOAT || t == SQLITE_BLOB;
    };
    if (number(ta) && number(tb)) {
      OraNum a, b;
      if (!numOf(ctx, argv[best], a) || !numOf(ctx, argv[i], b))
        return;
      cmp = compareNumbers(a, b);
    } else {
      std::string a = textOf(argv[best]), b = textOf(argv[i]);
      cmp = a.compare(b);
    }
    if (greatest ? cmp < 0 : cmp > 0)
      best = i;
  }
  sqlite3_result_value(ctx, argv[best]);
}
void fnGreatest(sqlite3_context *c, int n, sqlite3_value **v) { extremeImpl(c, n, v, true); }
void fnLeast(sqlite3_context *c, int n, sqlite3_value **v) { extremeImpl(c, n, v, false); }

// ---------------------------------------------------------------- dates

void fnToCharNum(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum n;
  if (!numOf(ctx, argv[0], n))
    return;
  if (argc < 2) {
    resultText(ctx, formatNumber(n));
    return;
  }
  auto s = formatNumberMask(n, textOf(argv[1]));
  if (!s) {
    raise(ctx, 1481);
    return;
  }
  resultText(ctx, *s);
}

void fnToCharDate(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  if (!dateOf(ctx, argv[0], d))
    return;
  auto s = formatDate(d, argc > 1 ? textOf(argv[1]) : dateFormatOf(ctx));
  if (!s) {
    raise(ctx, 1821);
    return;
  }
  resultText(ctx, *s);
}

void fnToDate(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  int err = 1858;
  std::string mask = argc > 1 ? textOf(argv[1]) : dateFormatOf(ctx);
  std::string text = textOf(argv[0]);
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT && argc < 2) {
    raise(ctx, 932);
    return;
  }
  auto d = parseDate(text, mask, err);
  if (!d) {
    raise(ctx, err);
    return;
  }
  resultDate(ctx, *d);
}

void fnToNumber(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  std::string text = textOf(argv[0]);
  int err = 1722;
  auto n = argc > 1 ? parseNumberMask(text, textOf(argv[1])) : parseNumber(text, &err);
  if (!n) {
    raise(ctx, err);
    return;
  }
  resultNum(ctx, *n);
}

void fnAddMonths(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  OraNum n;
  if (!dateOf(ctx, argv[0], d) || !numOf(ctx, argv[1], n))
    return;
  resultDate(ctx, addMonths(d, static_cast<int>(clampToInt(n, 1000000))));
}

void fnMonthsBetween(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue a, b;
  if (!dateOf(ctx, argv[0], a) || !dateOf(ctx, argv[1], b))
    return;
  double months = (a.year - b.year) * 12.0 + (a.month - b.month);
  bool lastA = a.day == daysInMonth(a.year, a.month), lastB = b.day == daysInMonth(b.year, b.month);
  if (a.day == b.day || (lastA && lastB)) {
    resultDouble(ctx, months);
    return;
  }
  double secA = a.hour * 3600 + a.minute * 60 + a.second;
  double secB = b.hour * 3600 + b.minute * 60 + b.second;
  months += ((a.day - b.day) + (secA - secB) / 86400.0) / 31.0;
  resultDouble(ctx, months);
}

void fnLastDay(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  if (!dateOf(ctx, argv[0], d))
    return;
  d.day = daysInMonth(d.year, d.month);
  resultDate(ctx, d);
}

int weekday(const OraDateValue &d) { // 0 = Sunday
  double j = toJulian(OraDateValue{d.year, d.month, d.day, 0, 0, 0});
  return static_cast<int>((static_cast<long>(j) + 1) % 7);
}

void fnNextDay(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  if (!dateOf(ctx, argv[0], d))
    return;
  static const char *names[7] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                                 "THURSDAY", "FRIDAY", "SATURDAY"};
  std::string w = textOf(argv[1]);
  for (char &c : w)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  int target = -1;
  for (int i = 0; i < 7; ++i)
    if (w.size() >= 2 && std::strncmp(names[i], w.c_str(), w.size()) == 0)
      target = i;
  if (target < 0) {
    raise(ctx, 1846);
    return;
  }
  int diff = (target - weekday(d) + 7) % 7;
  if (diff == 0)
    diff = 7;
  resultDate(ctx, fromJulian(toJulian(d) + diff));
}

// ROUND / TRUNC of a date to a format unit.
void dateUnitImpl(sqlite3_context *ctx, int argc, sqlite3_value **argv, bool round) {
  NULL_IN_NULL_OUT
  OraDateValue d;
  if (!dateOf(ctx, argv[0], d))
    return;
  std::string f = argc > 1 ? textOf(argv[1]) : "DD";
  for (char &c : f)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  OraDateValue r = d;
  r.hour = r.minute = r.second = 0;
  double secs = d.hour * 3600 + d.minute * 60 + d.second;
  if (f == "DD" || f == "DDD" || f == "J") {
    if (round && secs >= 43200)
      r = fromJulian(toJulian(r) + 1);
  } else if (f == "YYYY" || f == "YEAR" || f == "SYYYY" || f == "YYY" || f == "YY" || f == "Y" ||
             f == "SYEAR") {
    r.month = 1;
    r.day = 1;
    if (round && d.month >= 7)
      r.year += 1;
  } else if (f == "MM" || f == "MON" || f == "MONTH" || f == "RM") {
    r.day = 1;
    if (round && d.day >= 16)
      r = addMonths(r, 1);
  } else if (f == "Q") {
    r.day = 1;
    r.month = (d.month - 1) / 3 * 3 + 1;
    if (round && (d.month - r.month) * 100 + d.day >= 116)
      r = addMonths(r, 3);
  } else if (f == "DAY" || f == "DY" || f == "D") {
    int wd = weekday(d);
    r = fromJulian(toJulian(r) - wd);
    if (round && (wd * 86400 + secs) >= 3.5 * 86400)
      r = fromJulian(toJulian(r) + 7);
  } else if (f == "HH" || f == "HH12" || f == "HH24") {
    r.hour = d.hour;
    if (round && d.minute >= 30)
      r = fromJulian(toJulian(r) + 1.0 / 24);
  } else if (f == "MI") {
    r.hour = d.hour;
    r.minute = d.minute;
    if (round && d.second >= 30)
      r = fromJulian(toJulian(r) + 1.0 / 1440);
  } else {
    raise(ctx, 1821);
    return;
  }
  resultDate(ctx, r);
}
void fnRoundDate(sqlite3_context *c, int n, sqlite3_value **v) { dateUnitImpl(c, n, v, true); }
void fnTruncDate(sqlite3_context *c, int n, sqlite3_value **v) { dateUnitImpl(c, n, v, false); }

// ---------------------------------------------------------------- aggregates

struct Moments {
  int64_t n;
  double mean, m2;
};

void varianceStep(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0]))
    return;
  auto *m = static_cast<Moments *>(sqlite3_aggregate_context(ctx, sizeof(Moments)));
  if (!m)
    return;
  OraNum v;
  if (!numOf(ctx, argv[0], v))
    return;
  double x = v.toDouble();
  ++m->n;
  double delta = x - m->mean;
  m->mean += delta / static_cast<double>(m->n);
  m->m2 += delta * (x - m->mean);
}

void varianceFinal(sqlite3_context *ctx) {
  auto *m = static_cast<Moments *>(sqlite3_aggregate_context(ctx, 0));
  if (!m || m->n == 0) {
    sqlite3_result_null(ctx);
    return;
  }
  resultDouble(ctx, m->n == 1 ? 0 : m->m2 / static_cast<double>(m->n - 1));
}

void stddevFinal(sqlite3_context *ctx) {
  auto *m = static_cast<Moments *>(sqlite3_aggregate_context(ctx, 0));
  if (!m || m->n == 0) {
    sqlite3_result_null(ctx);
    return;
  }
  resultDouble(ctx, m->n == 1 ? 0 : std::sqrt(m->m2 / static_cast<double>(m->n - 1)));
}

// SUM and AVG add the numbers exactly, to Oracle's digits (the sum of 0.1 ten times is 1).
struct NumberSum {
  int64_t n;
  bool overflow;
  OraNum sum;
};

void numberSumStep(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0]))
    return;
  auto *a = static_cast<NumberSum *>(sqlite3_aggregate_context(ctx, sizeof(NumberSum)));
  if (!a)
    return;
  OraNum x;
  if (!numOf(ctx, argv[0], x))
    return;
  if (a->n++ == 0) {
    a->sum = x;
    return;
  }
  if (a->overflow)
    return;
  if (auto r = addNumbers(a->sum, x))
    a->sum = *r;
  else
    a->overflow = true;
}

// A row leaving a window of SUM / AVG OVER (...): its value comes off the total.
void numberSumInverse(sqlite3_context *ctx, int, sqlite3_value **argv) {
  if (isNull(argv[0]))
    return;
  auto *a = static_cast<NumberSum *>(sqlite3_aggregate_context(ctx, sizeof(NumberSum)));
  OraNum x;
  if (!a || a->overflow || !numOf(ctx, argv[0], x))
    return;
  if (--a->n == 0) {
    a->sum = OraNum();
    return;
  }
  if (auto r = subtractNumbers(a->sum, x))
    a->sum = *r;
  else
    a->overflow = true;
}

void numberSumFinal(sqlite3_context *ctx) {
  auto *a = static_cast<NumberSum *>(sqlite3_aggregate_context(ctx, 0));
  if (!a || a->n == 0)
    sqlite3_result_null(ctx);
  else if (a->overflow)
    raise(ctx, 1426);
  else
    resultNum(ctx, a->sum);
}

void numberAvgFinal(sqlite3_context *ctx) {
  auto *a = static_cast<NumberSum *>(sqlite3_aggregate_context(ctx, 0));
  if (!a || a->n == 0)
    sqlite3_result_null(ctx);
  else if (a->overflow)
    raise(ctx, 1426);
  else
    resultNum(ctx, divideNumbers(a->sum, OraNum::of(a->n)));
}

// ---------------------------------------------------------------- internal forms and NLS

// A date as Oracle stores it: century and year of the century (each + 100), month, day, and
// hour, minute, second (each + 1).
std::string dateBytes(const OraDateValue &d) {
  int parts[] = {100 + d.year / 100, 100 + d.year % 100, d.month,     d.day,
                 d.hour + 1,         d.minute + 1,       d.second + 1};
  std::string out;
  for (int p : parts)
    out += static_cast<char>(p);
  return out;
}

// The bytes Oracle stores a value of the type (DUMP's code) as; false with the error set.
bool internalBytes(sqlite3_context *ctx, sqlite3_value *v, int type, std::string &out) {
  if (type == 2) {
    OraNum n;
    if (!numOf(ctx, v, n))
      return false;
    unsigned char b[22];
    out.assign(reinterpret_cast<const char *>(b), static_cast<size_t>(numberToBytes(n, b)));
  } else if (type == 12) {
    OraDateValue d;
    if (!dateOf(ctx, v, d))
      return false;
    out = dateBytes(d);
  } else if (type == 69) {
    // The data block address (file 1 in its top bits) and the row.
    int64_t r = sqlite3_value_int64(v);
    auto block = static_cast<uint32_t>((int64_t{1} << 22) | ((r >> 16) & 0x3fffff));
    out = {static_cast<char>(block >> 24), static_cast<char>(block >> 16),
           static_cast<char>(block >> 8),  static_cast<char>(block),
           static_cast<char>(r >> 8),      static_cast<char>(r)};
  } else {
    out = textOf(v);
  }
  return true;
}

// VSIZE(value, type code): the length of that internal form.
void fnVsize(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  OraNum code;
  std::string bytes;
  if (!numOf(ctx, argv[1], code) ||
      !internalBytes(ctx, argv[0], static_cast<int>(clampToInt(code)), bytes))
    return;
  sqlite3_result_int64(ctx, static_cast<int64_t>(bytes.size()));
}

// The server's one character set: every character is one byte.
constexpr const char *kCharacterSet = "WE8ISO8859P1";

// DUMP(value, type code [, format [, start [, length]]]): the binder passes the value's type.
void fnDump(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (isNull(argv[0])) {
    resultText(ctx, "NULL");
    return;
  }
  OraNum code, fmt = OraNum::of(10), start = OraNum::of(1), count;
  if (!numOf(ctx, argv[1], code) || (argc > 2 && !isNull(argv[2]) && !numOf(ctx, argv[2], fmt)) ||
      (argc > 3 && !isNull(argv[3]) && !numOf(ctx, argv[3], start)) ||
      (argc > 4 && !isNull(argv[4]) && !numOf(ctx, argv[4], count)))
    return;
  int type = static_cast<int>(clampToInt(code));
  std::string bytes;
  if (!internalBytes(ctx, argv[0], type, bytes))
    return;
  int64_t f = clampToInt(fmt, 100000);
  int base = static_cast<int>(f % 1000);
  bool textType = type == 1 || type == 96 || type == 8;
  std::string out = "Typ=" + std::to_string(type) + " Len=" + std::to_string(bytes.size());
  if (f >= 1000 && textType)
    out += std::string(" CharacterSet=") + kCharacterSet;
  out += ": ";
  int64_t len = static_cast<int64_t>(bytes.size());
  int64_t from = clampToInt(start);
  if (from < 0)
    from = std::max<int64_t>(1, len + from + 1);
  from = std::max<int64_t>(from, 1);
  int64_t many = clampToInt(count);
  int64_t to = many > 0 ? std::min(len, from - 1 + many) : len;
  for (int64_t i = from - 1; i < to; ++i) {
    auto b = static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
    char item[8];
    if (base == 8)
      std::snprintf(item, sizeof item, "%o", b);
    else if (base == 16)
      std::snprintf(item, sizeof item, "%x", b);
    else if (base == 17 && b >= 32 && b < 127)
      std::snprintf(item, sizeof item, "%c", b);
    else if (base == 17)
      std::snprintf(item, sizeof item, "%x", b);
    else
      std::snprintf(item, sizeof item, "%u", b);
    out += (i >= from ? "," : "") + std::string(item);
  }
  resultText(ctx, out);
}

std::string upperText(std::string s) {
  for (char &c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// NLSSORT(text [, 'NLS_SORT = name']): the binary sort key, the text's bytes ended by a zero.
void fnNlssort(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (argc > 1 && !isNull(argv[1])) {
    std::string p = upperText(textOf(argv[1]));
    size_t eq = p.find('=');
    std::string key = p.substr(0, eq);
    key.erase(key.find_last_not_of(' ') + 1);
    key.erase(0, key.find_first_not_of(' '));
    if (eq == std::string::npos || key != "NLS_SORT" ||
        p.find_first_not_of(' ', eq + 1) == std::string::npos) {
      raise(ctx, 12702);
      return;
    }
  }
  if (isNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  std::string key = textOf(argv[0]);
  key += '\0';
  sqlite3_result_blob(ctx, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

// The character sets CONVERT knows: 7-bit sets keep ASCII and replace other characters with
// '?'; UTF8 is converted from and to the server's ISO 8859-1; the 8-bit sets keep every byte.
enum class Charset { Unknown, SevenBit, EightBit, Utf8 };

Charset charsetOf(const std::string &name) {
  static const char *const sevenBit[] = {"US7ASCII", "F7DEC",   "D7DEC", "S7DEC",  "E7DEC",
                                         "SF7ASCII", "NDK7DEC", "I7DEC", "NL7DEC", "SF7DEC"};
  static const char *const eightBit[] = {"WE8ISO8859P1", "WE8DEC", "WE8HP", "WE8PC850", "WE8PC437"};
  for (const char *c : sevenBit)
    if (name == c)
      return Charset::SevenBit;
  for (const char *c : eightBit)
    if (name == c)
      return Charset::EightBit;
  return name == "UTF8" ? Charset::Utf8 : Charset::Unknown;
}

void fnConvert(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  Charset to = charsetOf(upperText(textOf(argv[1])));
  Charset from = argc > 2 ? charsetOf(upperText(textOf(argv[2]))) : Charset::EightBit;
  if (to == Charset::Unknown || from == Charset::Unknown) {
    raise(ctx, 1482);
    return;
  }
  std::string s = textOf(argv[0]), latin;
  if (from == Charset::Utf8) {
    for (size_t i = 0; i < s.size(); ++i) {
      auto b = static_cast<unsigned char>(s[i]);
      if (b < 0x80) {
        latin += static_cast<char>(b);
      } else if ((b & 0xe0) == 0xc0 && i + 1 < s.size()) {
        unsigned cp = ((b & 0x1fu) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3fu);
        latin += cp < 0x100 ? static_cast<char>(cp) : '?';
      } else {
        while (i + 1 < s.size() && (static_cast<unsigned char>(s[i + 1]) & 0xc0) == 0x80)
          ++i;
        latin += '?';
      }
    }
  } else {
    latin = s;
  }
  std::string out;
  for (char c : latin) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80 || to == Charset::EightBit) {
      out += c;
    } else if (to == Charset::Utf8) {
      out += static_cast<char>(0xc0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3f));
    } else {
      out += '?';
    }
  }
  resultText(ctx, out);
}

// NEW_TIME(date, zone1, zone2): the date in zone1 as it is in zone2.
void fnNewTime(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  NULL_IN_NULL_OUT
  struct Zone {
    const char *name;
    double hours; // from GMT
  };
  static const Zone zones[] = {{"AST", -4}, {"ADT", -3}, {"BST", -11}, {"BDT", -10},  {"CST", -6},
                               {"CDT", -5}, {"EST", -5}, {"EDT", -4},  {"GMT", 0},    {"HST", -10},
                               {"HDT", -9}, {"MST", -7}, {"MDT", -6},  {"NST", -3.5}, {"PST", -8},
                               {"PDT", -7}, {"YST", -9}, {"YDT", -8}};
  auto offset = [&](sqlite3_value *v, double &h) {
    std::string z = upperText(textOf(v));
    for (const Zone &x : zones)
      if (z == x.name) {
        h = x.hours;
        return true;
      }
    return false;
  };
  OraDateValue d;
  if (!dateOf(ctx, argv[0], d))
    return;
  double from = 0, to = 0;
  if (!offset(argv[1], from) || !offset(argv[2], to)) {
    raise(ctx, 1857);
    return;
  }
  resultDate(ctx, fromJulian(toJulian(d) + (to - from) / 24.0));
}

// LISTAGG(value, delimiter, key1, how1, key2, how2 ...): the values of a group joined in the
// order of the keys (how: bit 1 descending, bit 2 NULLs first). Keys are integers, text or
// blobs that order by their bytes (numbers come as ora_nkey). A first argument of 1 drops
// repeated values (LISTAGG(DISTINCT ...)).
struct ListAggRow {
  std::string value;
  std::vector<std::pair<int, std::string>> keys; // SQLite type and bytes (an integer as text)
  std::vector<int64_t> ints;
};
struct ListAgg {
  std::vector<ListAggRow> *rows;
  std::vector<int> *how;
  std::string *delimiter;
  bool distinct;
};

void listAggStep(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  auto *a = static_cast<ListAgg *>(sqlite3_aggregate_context(ctx, sizeof(ListAgg)));
  if (!a)
    return;
  if (!a->rows) {
    a->rows = new std::vector<ListAggRow>;
    a->how = new std::vector<int>;
    a->delimiter = new std::string(textOf(argv[2]));
    a->distinct = sqlite3_value_int(argv[0]) != 0;
    for (int i = 4; i < argc; i += 2)
      a->how->push_back(sqlite3_value_int(argv[i]));
  }
  if (isNull(argv[1]))
    return;
  ListAggRow r;
  r.value = textOf(argv[1]);
  for (int i = 3; i < argc; i += 2) {
    int t = sqlite3_value_type(argv[i]);
    r.keys.emplace_back(t, t == SQLITE_INTEGER ? std::string() : textOf(argv[i]));
    r.ints.push_back(t == SQLITE_INTEGER ? sqlite3_value_int64(argv[i]) : 0);
  }
  a->rows->push_back(std::move(r));
}

void listAggFinal(sqlite3_context *ctx) {
  auto *a = static_cast<ListAgg *>(sqlite3_aggregate_context(ctx, 0));
  if (!a || !a->rows) {
    sqlite3_result_null(ctx);
    return;
  }
  std::unique_ptr<std::vector<ListAggRow>> rows(a->rows);
  std::unique_ptr<std::vector<int>> how(a->how);
  std::unique_ptr<std::string> delimiter(a->delimiter);
  auto less = [&](const ListAggRow &x, const ListAggRow &y) {
    for (size_t k = 0; k < x.keys.size(); ++k) {
      bool xn = x.keys[k].first == SQLITE_NULL, yn = y.keys[k].first == SQLITE_NULL;
      int h = (*how)[k];
      int c = 0;
      if (xn || yn)
        c = xn == yn ? 0 : (xn == ((h & 2) != 0) ? -1 : 1);
      else {
        c = x.keys[k].first == SQLITE_INTEGER && y.keys[k].first == SQLITE_INTEGER
                ? (x.ints[k] < y.ints[k] ? -1 : x.ints[k] > y.ints[k])
                : x.keys[k].second.compare(y.keys[k].second);
        if (h & 1)
          c = -c;
      }
      if (c)
        return c < 0;
    }
    return false;
  };
  std::stable_sort(rows->begin(), rows->end(), less);
  std::string out;
  std::unordered_set<std::string_view> seen; // DISTINCT: the values already written
  bool any = false;
  for (const ListAggRow &r : *rows) {
    if (a->distinct && !seen.insert(r.value).second)
      continue;
    if (any)
      out += *delimiter;
    any = true;
    out += r.value;
    if (out.size() > 4000) {
      raise(ctx, 1489);
      return;
    }
  }
  sqlite3_result_text(ctx, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// ---------------------------------------------------------------- identifiers and hashes

// SYS_GUID(): 16 bytes unique to the call, as RAW.
void fnSysGuid(sqlite3_context *ctx, int, sqlite3_value **) {
  unsigned char g[16];
  sqlite3_randomness(sizeof g, g);
  sqlite3_result_blob(ctx, g, sizeof g, SQLITE_TRANSIENT);
}

// ORA_HASH(value [, max_bucket [, seed]]): a bucket from 0 to max_bucket (4294967295 when not
// given); equal values land in the same bucket whatever their stored form.
void fnOraHash(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  if (isNull(argv[0]))
    return sqlite3_result_null(ctx);
  int64_t limits[2] = {INT64_C(4294967295), 0};
  for (int i = 1; i < argc && i < 3; ++i) {
    OraNum n;
    if (!numOf(ctx, argv[i], n))
      return;
    limits[i - 1] = clampToInt(n, INT64_C(1) << 40);
    if (limits[i - 1] < 0 || limits[i - 1] > INT64_C(4294967295)) {
      raise(ctx, 1428, formatNumber(n));
      return;
    }
  }
  std::string bytes;
  if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    unsigned char b[22];
    int len = numberToBytes(OraNum::of(sqlite3_value_int64(argv[0])), b);
    bytes.assign(reinterpret_cast<char *>(b), static_cast<size_t>(len));
  } else {
    bytes = textOf(argv[0]);
  }
  uint64_t h = UINT64_C(1469598103934665603) ^ static_cast<uint64_t>(limits[1]);
  for (unsigned char c : bytes)
    h = (h ^ c) * UINT64_C(1099511628211);
  h ^= h >> 29;
  sqlite3_result_int64(ctx, static_cast<int64_t>(h % (static_cast<uint64_t>(limits[0]) + 1)));
}

struct FnDef {
  const char *name;
  int args; // -1: any number
  void (*fn)(sqlite3_context *, int, sqlite3_value **);
  bool deterministic;
};

const FnDef kDefs[] = {
    {"ora_user", 0, fnUser, true},
    {"ora_sys_context", 2, fnSysContext, false},
    {"ora_sys_context", 3, fnSysContext, false},
    {"ora_date_format", 0, fnDateFormat, false},
    {"ora_num", 1, fnNum, true},
    {"ora_date", 1, fnDate, true},
    {"ora_ntoc", 1, fnNtoc, true},
    {"ora_dtoc", 1, fnDtoc, true},
    {"ora_rawtohex", 1, fnRawToHex, true},
    {"ora_hextoraw", 1, fnHexToRaw, true},
    {"ora_rowidtochar", 1, fnRowidToChar, true},
    {"ora_chartorowid", 1, fnCharToRowid, true},
    {"ora_concat", -1, fnConcat, true},
    {"ora_div", 2, fnDiv, true},
    {"ora_add", 2, arithImpl<0>, true},
    {"ora_sub", 2, arithImpl<1>, true},
    {"ora_mul", 2, arithImpl<2>, true},
    {"ora_neg", 1, fnNeg, true},
    {"ora_nkey", 1, fnNumKey, true},
    {"ora_nval", 1, fnNumOfKey, true},
    {"ora_date_add", 2, fnDateAdd, true},
    {"ora_date_diff", 2, fnDateDiff, true},
    {"ora_sysdate", 0, fnSysdate, false},
    {"ora_error", 1, fnError, false},
    {"ora_rownum_next", 1, fnRownumNext, false},
    {"ora_rownum_get", 1, fnRownumGet, false},
    {"ora_rownum_test", -1, fnRownumTest, false},
    {"ora_rownum_limit", 2, fnRownumLimit, true},
    {"ora_limit_min", 2, fnLimitMin, true},
    {"ora_decode_key", 1, fnDecodeKey, true},
    {"ora_keep", 1, fnKeep, true},
    {"ora_nextval", 2, fnNextval, false},
    {"ora_currval", 2, fnCurrval, false},
    {"ora_colnum", 3, fnColNum, true},
    {"ora_colchar", 2, fnColChar, true},
    {"ora_colcharpad", 2, fnColCharPad, true},
    {"ora_castchar", 3, fnCastChar, true},
    {"ora_colraw", 2, fnColRaw, true},
    {"ora_to_char_num", 1, fnToCharNum, true},
    {"ora_to_char_num", 2, fnToCharNum, true},
    {"ora_to_char_num", 3, fnToCharNum, true},
    {"ora_to_char_date", 1, fnToCharDate, true},
    {"ora_to_char_date", 2, fnToCharDate, true},
    {"ora_to_char_date", 3, fnToCharDate, true},
    {"ora_to_date", -1, fnToDate, true},
    {"ora_to_number", -1, fnToNumber, true},
    {"ora_substr", -1, fnSubstr, true},
    {"ora_instr", -1, fnInstr, true},
    {"ora_length", 1, fnLength, true},
    {"ora_loblength", 1, fnLobLength, true},
    {"ora_upper", -1, fnUpper, true},
    {"ora_lower", -1, fnLower, true},
    {"ora_initcap", -1, fnInitcap, true},
    {"ora_ltrim", -1, fnLtrim, true},
    {"ora_rtrim", -1, fnRtrim, true},
    {"ora_lpad", -1, fnLpad, true},
    {"ora_rpad", -1, fnRpad, true},
    {"ora_replace", -1, fnReplace, true},
    {"ora_translate", 3, fnTranslate, true},
    {"ora_round", -1, fnRound, true},
    {"ora_trunc", -1, fnTrunc, true},
    {"ora_round_date", -1, fnRoundDate, true},
    {"ora_trunc_date", -1, fnTruncDate, true},
    {"ora_mod", 2, fnMod, true},
    {"ora_abs", 1, fnAbs, true},
    {"ora_sign", 1, mathImpl<MathFn::Sign>, true},
    {"ora_ceil", 1, mathImpl<MathFn::Ceil>, true},
    {"ora_floor", 1, mathImpl<MathFn::Floor>, true},
    {"ora_power", 2, fnPower, true},
    {"ora_sqrt", 1, mathImpl<MathFn::Sqrt>, true},
    {"ora_exp", 1, mathImpl<MathFn::Exp>, true},
    {"ora_ln", 1, mathImpl<MathFn::Ln>, true},
    {"ora_log", 2, fnLog, true},
    {"ora_sin", 1, mathImpl<MathFn::Trig, Trig::Sin>, true},
    {"ora_cos", 1, mathImpl<MathFn::Trig, Trig::Cos>, true},
    {"ora_tan", 1, mathImpl<MathFn::Trig, Trig::Tan>, true},
    {"ora_sinh", 1, mathImpl<MathFn::Trig, Trig::Sinh>, true},
    {"ora_cosh", 1, mathImpl<MathFn::Trig, Trig::Cosh>, true},
    {"ora_tanh", 1, mathImpl<MathFn::Trig, Trig::Tanh>, true},
    {"ora_greatest", -1, fnGreatest, true},
    {"ora_least", -1, fnLeast, true},
    {"ora_add_months", 2, fnAddMonths, true},
    {"ora_months_between", 2, fnMonthsBetween, true},
    {"ora_last_day", 1, fnLastDay, true},
    {"ora_next_day", 2, fnNextDay, true},
    {"ora_ascii", 1, fnAscii, true},
    {"ora_chr", 1, fnChr, true},
    {"ora_soundex", 1, fnSoundex, true},
    {"ora_vsize", 2, fnVsize, true},
    {"ora_userenv", 1, fnUserenv, true},
    {"ora_acos", 1, mathImpl<MathFn::Trig, Trig::Acos>, true},
    {"ora_asin", 1, mathImpl<MathFn::Trig, Trig::Asin>, true},
    {"ora_atan", 1, mathImpl<MathFn::Trig, Trig::Atan>, true},
    {"ora_atan2", 2, fnAtan2, true},
    {"ora_dump", -1, fnDump, true},
    {"ora_nlssort", -1, fnNlssort, true},
    {"ora_convert", -1, fnConvert, true},
    {"ora_new_time", 3, fnNewTime, true},
    {"ora_sys_guid", 0, fnSysGuid, false},
    {"ora_ora_hash", -1, fnOraHash, true},
};

} // namespace

std::string rowidText(int64_t r) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08llX.%04llX.0001",
                static_cast<unsigned long long>(r >> 16) & 0xffffffffULL,
                static_cast<unsigned long long>(r & 0xffff));
  return buf;
}

std::optional<int64_t> parseRowid(const std::string &t) {
  if (t.size() != 18 || t[8] != '.' || t[13] != '.')
    return std::nullopt;
  auto hex = [&](size_t from, size_t len, uint64_t &out) {
    out = 0;
    for (size_t i = from; i < from + len; ++i) {
      char c = t[i];
      int v = c >= '0' && c <= '9'   ? c - '0'
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                     : -1;
      if (v < 0)
        return false;
      out = out * 16 + static_cast<uint64_t>(v);
    }
    return true;
  };
  uint64_t block, row, file;
  if (!hex(0, 8, block) || !hex(9, 4, row) || !hex(14, 4, file))
    return std::nullopt;
  return static_cast<int64_t>((block << 16) | row);
}

std::string hexText(const unsigned char *p, size_t n) {
  static const char *digits = "0123456789ABCDEF";
  std::string s;
  s.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

std::optional<std::string> parseHex(const std::string &t) {
  std::string out;
  size_t i = 0;
  auto val = [](char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                  : -1;
  };
  if (t.size() % 2) { // an odd length has an implied leading zero
    int v = val(t[0]);
    if (v < 0)
      return std::nullopt;
    out += static_cast<char>(v);
    i = 1;
  }
  for (; i + 1 < t.size() + 1 && i < t.size(); i += 2) {
    int a = val(t[i]), b = val(t[i + 1]);
    if (a < 0 || b < 0)
      return std::nullopt;
    out += static_cast<char>(a * 16 + b);
  }
  return out;
}

void resultOraError(sqlite3_context *ctx, int code, const std::string &arg) {
  raise(ctx, code, arg);
}
std::string argText(sqlite3_value *v) { return textOf(v); }
bool argNumber(sqlite3_context *ctx, sqlite3_value *v, OraNum &out) { return numOf(ctx, v, out); }

void registerFunctions(sqlite3 *db, Session *session) {
  registerRegexpFunctions(db);
  registerDatetimeFunctions(db, session);
  for (const FnDef &d : kDefs)
    sqlite3_create_function_v2(db, d.name, d.args,
                               SQLITE_UTF8 | (d.deterministic ? SQLITE_DETERMINISTIC : 0), session,
                               d.fn, nullptr, nullptr, nullptr);
  // Window functions too (SUM / AVG OVER): the final step only reads the running total, so it
  // serves as the value of each row's window.
  sqlite3_create_window_function(db, "ora_sum", 1, SQLITE_UTF8, session, numberSumStep,
                                 numberSumFinal, numberSumFinal, numberSumInverse, nullptr);
  sqlite3_create_window_function(db, "ora_avg", 1, SQLITE_UTF8, session, numberSumStep,
                                 numberAvgFinal, numberAvgFinal, numberSumInverse, nullptr);
  sqlite3_create_function_v2(db, "ora_listagg", -1, SQLITE_UTF8, session, nullptr, listAggStep,
                             listAggFinal, nullptr);
  sqlite3_create_function_v2(db, "ora_variance", 1, SQLITE_UTF8, session, nullptr, varianceStep,
                             varianceFinal, nullptr);
  sqlite3_create_function_v2(db, "ora_stddev", 1, SQLITE_UTF8, session, nullptr, varianceStep,
                             stddevFinal, nullptr);
}

} // namespace localdb
