// Oracle NUMBER: the decimal arithmetic, text, internal bytes, precision and scale, masks.
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlLexer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace localdb {

namespace {

// ---------------------------------------------------------------- the working decimal
// Arithmetic runs on a wider decimal than a value holds: exact sums and products of two values,
// and the 60-digit intermediate results of the functions.
constexpr int kWork = 136;
constexpr int kFnDigits = 60; // working digits of SQRT, EXP, LN, POWER and the trigonometry

struct Dec {
  bool neg = false;
  int exp = 0; // value = 0.d[0]d[1]... * 10^exp
  int n = 0;   // 0: zero
  uint8_t d[kWork];
  bool zero() const { return n == 0; }
};

// Leading zeros move into the exponent, trailing zeros go.
void trim(Dec &x) {
  int lead = 0;
  while (lead < x.n && x.d[lead] == 0)
    ++lead;
  if (lead == x.n) {
    x.n = 0;
    x.neg = false;
    x.exp = 0;
    return;
  }
  if (lead) {
    std::memmove(x.d, x.d + lead, static_cast<size_t>(x.n - lead));
    x.n -= lead;
    x.exp -= lead;
  }
  while (x.n > 0 && x.d[x.n - 1] == 0)
    --x.n;
}

// Keeps p significant digits, the last rounded half away from zero.
void roundDigits(Dec &x, int p) {
  if (x.n <= p)
    return;
  bool up = x.d[p] >= 5;
  x.n = p;
  if (up) {
    int k = p - 1;
    while (k >= 0 && x.d[k] == 9)
      x.d[k--] = 0;
    if (k < 0) { // 999.. became 1000..
      x.d[0] = 1;
      x.n = 1;
      ++x.exp;
      return;
    }
    ++x.d[k];
  }
  trim(x);
}

void truncDigits(Dec &x, int p) {
  if (x.n > p) {
    x.n = p;
    trim(x);
  }
}

Dec decOf(const OraNum &v) {
  Dec x;
  if (v.isInt) {
    if (v.i == 0)
      return x;
    x.neg = v.i < 0;
    uint64_t u = x.neg ? 0 - static_cast<uint64_t>(v.i) : static_cast<uint64_t>(v.i);
    uint8_t tmp[20];
    int k = 0;
    while (u) {
      tmp[k++] = static_cast<uint8_t>(u % 10);
      u /= 10;
    }
    x.exp = k;
    for (int j = 0; j < k; ++j)
      x.d[j] = tmp[k - 1 - j];
    x.n = k;
    trim(x);
    return x;
  }
  x.neg = v.neg;
  x.exp = v.exp;
  x.n = v.nd;
  for (int k = 0; k < v.nd; ++k)
    x.d[k] = static_cast<uint8_t>(v.digit(k));
  return x;
}

Dec decInt(int64_t v) { return decOf(OraNum::of(v)); }

// Digits allowed for a value whose first digit has weight 10^(exp-1): 20 base-100 digits, so
// 40 when that digit starts a base-100 pair and 39 when it is a pair's second half.
int oracleDigits(int exp) { return (exp % 2 == 0) ? 40 : 39; }

// A working decimal as a value: Oracle's digits, its range (nullopt beyond 1E+126, zero below
// 1E-130), the int64 form when it is one.
std::optional<OraNum> numOf(Dec x) {
  trim(x);
  if (x.zero())
    return OraNum{};
  roundDigits(x, oracleDigits(x.exp));
  if (x.exp > 126)
    return std::nullopt;
  if (x.exp < -129)
    return OraNum{};
  OraNum r;
  if (x.exp >= x.n && x.exp <= 19) {
    unsigned __int128 u = 0;
    for (int k = 0; k < x.exp; ++k)
      u = u * 10 + (k < x.n ? x.d[k] : 0);
    unsigned __int128 lim = static_cast<unsigned __int128>(INT64_MAX) + (x.neg ? 1 : 0);
    if (u <= lim) {
      r.isInt = true;
      r.i = x.neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(u)) : static_cast<int64_t>(u);
      return r;
    }
  }
  r.isInt = false;
  r.neg = x.neg;
  r.exp = static_cast<int16_t>(x.exp);
  r.nd = static_cast<uint8_t>(x.n);
  std::memset(r.dig, 0, sizeof r.dig);
  for (int k = 0; k < x.n; ++k)
    r.dig[k >> 1] |= static_cast<uint8_t>(k & 1 ? x.d[k] : x.d[k] << 4);
  return r;
}

// sign * 0.d[0]..d[nd-1] * 10^e (no leading or trailing zeros, nd >= 1) as a value, without
// the working decimal when it already is one Oracle keeps.
std::optional<OraNum> numOfDigits(bool neg, const uint8_t *d, int nd, int e) {
  if (nd > oracleDigits(e) || e > 126 || e < -129) {
    Dec x;
    x.neg = neg;
    x.exp = e;
    x.n = nd;
    std::memcpy(x.d, d, static_cast<size_t>(nd));
    return numOf(x);
  }
  if (e >= nd && e <= 19) {
    unsigned __int128 v = 0;
    for (int j = 0; j < e; ++j)
      v = v * 10 + (j < nd ? d[j] : 0);
    if (v <= static_cast<unsigned __int128>(INT64_MAX) + (neg ? 1 : 0))
      return OraNum::of(neg ? static_cast<int64_t>(0 - static_cast<uint64_t>(v))
                            : static_cast<int64_t>(v));
  }
  OraNum r;
  r.isInt = false;
  r.neg = neg;
  r.nd = static_cast<uint8_t>(nd);
  r.exp = static_cast<int16_t>(e);
  std::memset(r.dig, 0, sizeof r.dig);
  for (int j = 0; j < nd; ++j)
    r.dig[j >> 1] |= static_cast<uint8_t>(j & 1 ? d[j] : d[j] << 4);
  return r;
}

int compareMagnitude(const Dec &a, const Dec &b) {
  if (a.zero() || b.zero())
    return a.zero() ? (b.zero() ? 0 : -1) : 1;
  if (a.exp != b.exp)
    return a.exp < b.exp ? -1 : 1;
  int m = std::min(a.n, b.n);
  for (int k = 0; k < m; ++k)
    if (a.d[k] != b.d[k])
      return a.d[k] < b.d[k] ? -1 : 1;
  return a.n == b.n ? 0 : (a.n < b.n ? -1 : 1);
}

int compareDec(const Dec &a, const Dec &b) {
  int sa = a.zero() ? 0 : (a.neg ? -1 : 1), sb = b.zero() ? 0 : (b.neg ? -1 : 1);
  if (sa != sb)
    return sa < sb ? -1 : 1;
  int m = compareMagnitude(a, b);
  return sa < 0 ? -m : m;
}

// a + b, exact while both fit a window of kWork digits; a smaller operand beyond it leaves a
// sticky digit, enough for rounding to far fewer digits after.
Dec addDec(const Dec &a, const Dec &b) {
  if (a.zero())
    return b;
  if (b.zero())
    return a;
  int top = std::max(a.exp, b.exp) + 1;
  int low = std::min(a.exp - a.n, b.exp - b.n);
  int len = std::min(top - low, kWork);
  uint8_t A[kWork] = {}, B[kWork] = {};
  auto place = [&](const Dec &x, uint8_t *T) {
    for (int k = 0; k < x.n; ++k) {
      int idx = top - x.exp + k;
      if (idx < len)
        T[idx] = x.d[k];
      else if (x.d[k]) {
        if (!T[len - 1])
          T[len - 1] = 1;
        break;
      }
    }
  };
  place(a, A);
  place(b, B);
  Dec r;
  r.exp = top;
  r.n = len;
  if (a.neg == b.neg) {
    int carry = 0;
    for (int k = len - 1; k >= 0; --k) {
      int s = A[k] + B[k] + carry;
      r.d[k] = static_cast<uint8_t>(s % 10);
      carry = s / 10;
    }
    r.neg = a.neg;
  } else {
    int c = std::memcmp(A, B, static_cast<size_t>(len));
    if (c == 0)
      return Dec{};
    const uint8_t *X = c > 0 ? A : B, *Y = c > 0 ? B : A;
    int borrow = 0;
    for (int k = len - 1; k >= 0; --k) {
      int s = X[k] - Y[k] - borrow;
      borrow = s < 0;
      r.d[k] = static_cast<uint8_t>(s + (borrow ? 10 : 0));
    }
    r.neg = c > 0 ? a.neg : b.neg;
  }
  trim(r);
  return r;
}

Dec negDec(Dec a) {
  if (!a.zero())
    a.neg = !a.neg;
  return a;
}

Dec subDec(const Dec &a, const Dec &b) { return addDec(a, negDec(b)); }

// a * b rounded to p digits (operands of at most kWork / 2 digits).
Dec mulDec(Dec a, Dec b, int p) {
  if (a.zero() || b.zero())
    return Dec{};
  roundDigits(a, kWork / 2);
  roundDigits(b, kWork / 2);
  uint32_t acc[kWork] = {};
  for (int i = 0; i < a.n; ++i)
    for (int j = 0; j < b.n; ++j)
      acc[i + j + 1] += static_cast<uint32_t>(a.d[i]) * b.d[j];
  Dec r;
  r.n = a.n + b.n;
  uint32_t carry = 0;
  for (int k = r.n - 1; k >= 0; --k) {
    uint32_t s = acc[k] + carry;
    r.d[k] = static_cast<uint8_t>(s % 10);
    carry = s / 10;
  }
  r.exp = a.exp + b.exp;
  r.neg = a.neg != b.neg;
  trim(r);
  roundDigits(r, p);
  return r;
}

// a / b to p digits cut toward zero (b not zero): the caller rounds once, to fewer digits.
Dec divDec(Dec a, Dec b, int p) {
  if (a.zero())
    return Dec{};
  roundDigits(a, kWork - 8);
  roundDigits(b, kWork - 8);
  const int nb = b.n;
  uint8_t rem[kWork] = {}, B[kWork] = {};
  std::memcpy(B + 1, b.d, static_cast<size_t>(nb)); // B padded to nb + 1 digits
  Dec q;
  q.exp = nb + a.exp - b.exp;
  int produced = 0, significant = 0;
  for (int s = 0; significant < p && produced < kWork; ++s) {
    bool remZero = true;
    for (int k = 0; k <= nb; ++k)
      if (rem[k]) {
        remZero = false;
        break;
      }
    if (s >= a.n && remZero)
      break;
    std::memmove(rem, rem + 1, static_cast<size_t>(nb));
    rem[nb] = s < a.n ? a.d[s] : 0;
    int digit = 0;
    while (std::memcmp(rem, B, static_cast<size_t>(nb + 1)) >= 0) {
      int borrow = 0;
      for (int k = nb; k >= 0; --k) {
        int v = rem[k] - B[k] - borrow;
        borrow = v < 0;
        rem[k] = static_cast<uint8_t>(v + (borrow ? 10 : 0));
      }
      ++digit;
    }
    q.d[produced++] = static_cast<uint8_t>(digit);
    if (digit || significant)
      ++significant;
  }
  // Digits not produced (the remainder ran out) are zeros past the stream.
  // Q over the stream's digits: 0.q * 10^produced * 10^(nb - produced) * 10^(a.exp - b.exp).
  q.n = produced;
  q.neg = a.neg != b.neg;
  trim(q);
  truncDigits(q, p);
  return q;
}

Dec fromText(const char *s) {
  Dec x;
  bool point = false;
  int intDigits = 0;
  for (const char *p = s; *p; ++p) {
    if (*p == '.') {
      point = true;
      continue;
    }
    x.d[x.n++] = static_cast<uint8_t>(*p - '0');
    if (!point)
      ++intDigits;
  }
  x.exp = intDigits;
  trim(x);
  return x;
}

const Dec &ln10Dec() {
  static const Dec v = fromText("2.302585092994045684017991454684364207601101488628772976033327"
                                "90096757260967735248023599720508959829834196778404228624863");
  return v;
}

const Dec &piDec() {
  static const Dec v = fromText("3.141592653589793238462643383279502884197169399375105820974944"
                                "59230781640628620899862803482534211706798214808651328230665");
  return v;
}

bool isIntegral(const Dec &x) { return x.zero() || x.exp >= x.n; }

// The whole part of x (toward zero).
Dec truncDec(Dec x) {
  if (x.exp <= 0)
    return Dec{};
  if (x.n > x.exp) {
    x.n = x.exp;
    trim(x);
  }
  return x;
}

double decToDouble(const Dec &x) {
  if (x.zero())
    return 0;
  char buf[kWork + 16];
  int k = 0;
  if (x.neg)
    buf[k++] = '-';
  buf[k++] = '.';
  for (int j = 0; j < x.n && j < 40; ++j)
    buf[k++] = static_cast<char>('0' + x.d[j]);
  k += std::snprintf(buf + k, 16, "e%d", x.exp);
  return std::strtod(buf, nullptr);
}

// A double's 17 digits as a working decimal (a first guess for Newton's method).
Dec decOfDouble(double v) {
  Dec x;
  if (v == 0 || !std::isfinite(v))
    return x;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.16e", std::fabs(v));
  const char *p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9')
      x.d[x.n++] = static_cast<uint8_t>(*p - '0');
  x.exp = std::atoi(p + 1) + 1;
  x.neg = v < 0;
  trim(x);
  return x;
}

// ---------------------------------------------------------------- the functions

Dec sqrtDec(const Dec &x) {
  // Newton from the double's root: 16, 32, 64, 128 digits.
  Dec y;
  {
    // x = 0.d * 10^exp; an even exponent keeps the root's exponent whole.
    Dec m = x;
    int e = m.exp;
    if (e % 2) {
      m.exp = 1;
      --e;
    } else {
      m.exp = 0;
    }
    y = decOfDouble(std::sqrt(decToDouble(m)));
    y.exp += e / 2;
  }
  for (int k = 0; k < 5; ++k) {
    Dec q = divDec(x, y, kFnDigits + 4);
    y = divDec(addDec(y, q), decInt(2), kFnDigits + 4);
  }
  return y;
}

// e^x for |x| <= 300: halved until small, the series, then squared back.
Dec expDec(const Dec &x) {
  const int p = kFnDigits + 10;
  Dec r = x;
  int halvings = 0;
  Dec limit = fromText(".001");
  while (compareMagnitude(r, limit) > 0) {
    r = divDec(r, decInt(2), p);
    ++halvings;
  }
  Dec sum = decInt(1), term = decInt(1);
  for (int k = 1; k < 200; ++k) {
    term = divDec(mulDec(term, r, p), decInt(k), p);
    if (term.zero() || term.exp < sum.exp - p - 2)
      break;
    sum = addDec(sum, term);
    roundDigits(sum, p);
  }
  for (int k = 0; k < halvings; ++k)
    sum = mulDec(sum, sum, p);
  return sum;
}

// ln x for x > 0.
Dec lnDec(const Dec &x) {
  const int p = kFnDigits + 10;
  Dec one = decInt(1);
  Dec near = subDec(x, one);
  if (near.zero())
    return Dec{};
  // Close to 1: 2 atanh(z), z = (x - 1) / (x + 1), without the cancellation of the split below.
  if (compareMagnitude(near, fromText(".1")) < 0) {
    Dec z = divDec(near, addDec(x, one), p);
    Dec z2 = mulDec(z, z, p);
    Dec sum = z, pw = z;
    for (int k = 3; k < 2000; k += 2) {
      pw = mulDec(pw, z2, p);
      Dec term = divDec(pw, decInt(k), p);
      if (term.zero() || term.exp < sum.exp - p - 2)
        break;
      sum = addDec(sum, term);
    }
    return mulDec(sum, decInt(2), p);
  }
  // x = m * 10^e with m in [0.1, 1): ln m by Newton on exp, then e ln 10.
  Dec m = x;
  int e = m.exp;
  m.exp = 0;
  Dec y = decOfDouble(std::log(decToDouble(m)));
  for (int k = 0; k < 3; ++k) {
    Dec ey = expDec(y);
    Dec corr = divDec(mulDec(subDec(m, ey), decInt(2), p), addDec(m, ey), p);
    y = addDec(y, corr);
    roundDigits(y, p);
  }
  return addDec(y, mulDec(ln10Dec(), decInt(e), p));
}

// sin or cos of x by the series after taking multiples of 2 pi off.
Dec sinCosDec(const Dec &xIn, bool cosine) {
  const int p = kFnDigits + 10;
  Dec x = xIn;
  Dec twoPi = mulDec(piDec(), decInt(2), kWork - 8);
  if (compareMagnitude(x, piDec()) > 0) {
    Dec k = divDec(x, twoPi, kWork - 8);
    k = truncDec(k);
    x = subDec(x, mulDec(k, twoPi, kWork - 8));
    roundDigits(x, p);
  }
  Dec x2 = mulDec(x, x, p);
  Dec term = cosine ? decInt(1) : x;
  Dec sum = term;
  for (int k = cosine ? 1 : 2; k < 400; k += 2) {
    term = divDec(mulDec(term, x2, p), decInt(static_cast<int64_t>(k) * (k + 1)), p);
    term = negDec(term);
    if (term.zero() || term.exp < sum.exp - p - 2)
      break;
    sum = addDec(sum, term);
  }
  return sum;
}

// atan x: halve the angle until x is small, then the series.
Dec atanDec(const Dec &xIn) {
  const int p = kFnDigits + 10;
  Dec x = xIn;
  int doublings = 0;
  Dec one = decInt(1), limit = fromText(".01");
  while (compareMagnitude(x, limit) > 0) {
    // atan x = 2 atan(x / (1 + sqrt(1 + x^2)))
    Dec root = sqrtDec(addDec(one, mulDec(x, x, p)));
    x = divDec(x, addDec(one, root), p);
    ++doublings;
  }
  Dec x2 = mulDec(x, x, p), pw = x, sum = x;
  for (int k = 3; k < 2000; k += 2) {
    pw = negDec(mulDec(pw, x2, p));
    Dec term = divDec(pw, decInt(k), p);
    if (term.zero() || term.exp < sum.exp - p - 2)
      break;
    sum = addDec(sum, term);
  }
  for (int k = 0; k < doublings; ++k)
    sum = mulDec(sum, decInt(2), p);
  return sum;
}

std::optional<OraNum> result(const Dec &x, bool *overflow) {
  auto r = numOf(x);
  if (!r && overflow)
    *overflow = true;
  return r;
}

} // namespace

// ---------------------------------------------------------------- values

double OraNum::toDouble() const {
  return isInt ? static_cast<double>(i) : decToDouble(decOf(*this));
}

std::optional<OraNum> numberFromDouble(double v) {
  if (!std::isfinite(v))
    return std::nullopt;
  if (v == std::trunc(v) && std::fabs(v) < 9.0e15)
    return OraNum::of(static_cast<int64_t>(v));
  // Few decimals (amounts): the whole number of hundredths, thousandths, ... that the double is
  // the nearest double of is its 15-digit decimal.
  static const double kPow[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  for (int k = 1; k <= 8; ++k) {
    double scaled = v * kPow[k];
    if (std::fabs(scaled) >= 1e15)
      break;
    double r = std::round(scaled);
    if (r / kPow[k] != v)
      continue;
    int64_t w = static_cast<int64_t>(r);
    uint64_t u = w < 0 ? 0 - static_cast<uint64_t>(w) : static_cast<uint64_t>(w);
    uint8_t d[20];
    int nd = 0;
    while (u) {
      d[nd++] = static_cast<uint8_t>(u % 10);
      u /= 10;
    }
    OraNum n;
    n.isInt = false;
    n.neg = w < 0;
    n.exp = static_cast<int16_t>(nd - k);
    int lo = 0;
    while (d[lo] == 0)
      ++lo; // trailing zeros of the fraction (k was the fewest places, so none; kept safe)
    n.nd = static_cast<uint8_t>(nd - lo);
    std::memset(n.dig, 0, sizeof n.dig);
    for (int j = 0; j < n.nd; ++j) {
      uint8_t digit = d[nd - 1 - j];
      n.dig[j >> 1] |= static_cast<uint8_t>(j & 1 ? digit : digit << 4);
    }
    return n;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", v);
  return parseNumber(buf);
}

int64_t clampToInt(double v, int64_t limit) {
  if (std::isnan(v))
    return 0;
  double t = std::trunc(v);
  double l = static_cast<double>(limit);
  if (t > l)
    return limit;
  if (t < -l)
    return -limit;
  return static_cast<int64_t>(t);
}

int64_t clampToInt(const OraNum &n, int64_t limit) {
  if (n.isInt)
    return std::clamp(n.i, -limit, limit);
  if (n.exp <= 0)
    return 0;
  if (n.exp > 18)
    return n.neg ? -limit : limit;
  int64_t v = 0;
  for (int k = 0; k < n.exp; ++k)
    v = v * 10 + (k < n.nd ? n.digit(k) : 0);
  return std::clamp(n.neg ? -v : v, -limit, limit);
}

std::optional<OraNum> addNumbers(const OraNum &a, const OraNum &b) {
  int64_t r;
  if (a.isInt && b.isInt && !__builtin_add_overflow(a.i, b.i, &r))
    return OraNum::of(r);
  return numOf(addDec(decOf(a), decOf(b)));
}

std::optional<OraNum> subtractNumbers(const OraNum &a, const OraNum &b) {
  int64_t r;
  if (a.isInt && b.isInt && !__builtin_sub_overflow(a.i, b.i, &r))
    return OraNum::of(r);
  return numOf(subDec(decOf(a), decOf(b)));
}

std::optional<OraNum> multiplyNumbers(const OraNum &a, const OraNum &b) {
  int64_t r;
  if (a.isInt && b.isInt && !__builtin_mul_overflow(a.i, b.i, &r))
    return OraNum::of(r);
  return numOf(mulDec(decOf(a), decOf(b), kWork));
}

std::optional<OraNum> divideNumbers(const OraNum &a, const OraNum &b) {
  if (a.isInt && b.isInt && b.i != 0 && a.i % b.i == 0 && !(a.i == INT64_MIN && b.i == -1))
    return OraNum::of(a.i / b.i);
  return numOf(divDec(decOf(a), decOf(b), 42));
}

OraNum negateNumber(const OraNum &a) {
  if (a.isInt && a.i != INT64_MIN)
    return OraNum::of(-a.i);
  return *numOf(negDec(decOf(a)));
}

OraNum absNumber(const OraNum &a) { return a.negative() ? negateNumber(a) : a; }

int compareNumbers(const OraNum &a, const OraNum &b) {
  if (a.isInt && b.isInt)
    return a.i < b.i ? -1 : (a.i > b.i ? 1 : 0);
  return compareDec(decOf(a), decOf(b));
}

std::optional<OraNum> modNumbers(const OraNum &m, const OraNum &n) {
  if (n.isZero())
    return m;
  if (m.isInt && n.isInt) {
    if (n.i == -1)
      return OraNum{};
    return OraNum::of(m.i % n.i);
  }
  Dec a = decOf(m), b = decOf(n);
  Dec q = truncDec(divDec(a, b, kWork - 8));
  return numOf(subDec(a, mulDec(b, q, kWork)));
}

OraNum floorNumber(const OraNum &n) {
  OraNum t = truncNumber(n, 0);
  if (n.negative() && compareNumbers(t, n) != 0)
    return *subtractNumbers(t, OraNum::of(1));
  return t;
}

OraNum ceilNumber(const OraNum &n) {
  OraNum t = truncNumber(n, 0);
  if (!n.negative() && compareNumbers(t, n) != 0)
    return *addNumbers(t, OraNum::of(1));
  return t;
}

std::optional<OraNum> sqrtNumber(const OraNum &x) {
  if (x.negative())
    return std::nullopt;
  if (x.isZero())
    return OraNum{};
  return numOf(sqrtDec(decOf(x)));
}

std::optional<OraNum> expNumber(const OraNum &x, bool *overflow) {
  Dec d = decOf(x);
  if (compareMagnitude(d, decInt(300)) > 0) {
    if (d.neg)
      return OraNum{};
    *overflow = true;
    return std::nullopt;
  }
  return result(expDec(d), overflow);
}

std::optional<OraNum> lnNumber(const OraNum &x) {
  if (x.negative() || x.isZero())
    return std::nullopt;
  return numOf(lnDec(decOf(x)));
}

std::optional<OraNum> logNumber(const OraNum &base, const OraNum &x) {
  if (base.negative() || base.isZero() || x.negative() || x.isZero() ||
      compareNumbers(base, OraNum::of(1)) == 0)
    return std::nullopt;
  return numOf(divDec(lnDec(decOf(x)), lnDec(decOf(base)), kFnDigits));
}

std::optional<OraNum> powerNumber(const OraNum &x, const OraNum &y, bool *overflow) {
  Dec dx = decOf(x), dy = decOf(y);
  if (isIntegral(dy) && compareMagnitude(dy, decInt(1000000000)) <= 0) {
    int64_t e = clampToInt(y, INT64_C(1000000000));
    if (x.isZero())
      return e < 0 ? std::nullopt : std::optional<OraNum>(e == 0 ? OraNum::of(1) : OraNum{});
    // Binary powers, exact while the digits fit the working width.
    Dec base = dx, acc = decInt(1);
    uint64_t u = e < 0 ? static_cast<uint64_t>(-e) : static_cast<uint64_t>(e);
    while (u) {
      if (u & 1)
        acc = mulDec(acc, base, kWork / 2);
      u >>= 1;
      if (u)
        base = mulDec(base, base, kWork / 2);
      if (acc.exp > 400 || acc.exp < -400 || base.exp > 400 || base.exp < -400)
        break; // far beyond the range either way
    }
    if (e < 0)
      acc = acc.zero() ? acc : divDec(decInt(1), acc, 42);
    if (acc.exp < -129 && e < 0)
      return OraNum{};
    return result(acc, overflow);
  }
  if (x.negative())
    return std::nullopt;
  if (x.isZero())
    return y.negative() ? std::nullopt : std::optional<OraNum>(OraNum{});
  Dec l = mulDec(lnDec(dx), dy, kFnDigits + 10);
  if (compareMagnitude(l, decInt(300)) > 0) {
    if (!l.neg) {
      *overflow = true;
      return std::nullopt;
    }
    return OraNum{};
  }
  return result(expDec(l), overflow);
}

std::optional<OraNum> trigNumber(Trig f, const OraNum &x, bool *overflow) {
  Dec d = decOf(x);
  const int p = kFnDigits + 10;
  Dec one = decInt(1);
  switch (f) {
  case Trig::Sin:
    return numOf(sinCosDec(d, false));
  case Trig::Cos:
    return numOf(sinCosDec(d, true));
  case Trig::Tan: {
    Dec c = sinCosDec(d, true);
    if (c.zero())
      return std::nullopt;
    return result(divDec(sinCosDec(d, false), c, p), overflow);
  }
  case Trig::Sinh:
  case Trig::Cosh:
  case Trig::Tanh: {
    if (compareMagnitude(d, decInt(300)) > 0) {
      if (f == Trig::Tanh)
        return OraNum::of(d.neg ? -1 : 1);
      *overflow = true;
      return std::nullopt;
    }
    Dec e = expDec(d), einv = divDec(one, e, p);
    Dec sh;
    if (compareMagnitude(d, one) < 0) {
      // Small x: the series, without the cancellation of e^x - e^-x.
      Dec x2 = mulDec(d, d, p), term = d;
      sh = d;
      for (int k = 2; k < 400; k += 2) {
        term = divDec(mulDec(term, x2, p), decInt(static_cast<int64_t>(k) * (k + 1)), p);
        if (term.zero() || term.exp < sh.exp - p - 2)
          break;
        sh = addDec(sh, term);
      }
    } else {
      sh = divDec(subDec(e, einv), decInt(2), p);
    }
    Dec ch = divDec(addDec(e, einv), decInt(2), p);
    if (f == Trig::Sinh)
      return result(sh, overflow);
    if (f == Trig::Cosh)
      return result(ch, overflow);
    return numOf(divDec(sh, ch, p));
  }
  case Trig::Atan:
    return numOf(atanDec(d));
  case Trig::Asin:
  case Trig::Acos: {
    int c = compareMagnitude(d, one);
    if (c > 0)
      return std::nullopt;
    Dec halfPi = divDec(piDec(), decInt(2), p);
    Dec as;
    if (c == 0)
      as = d.neg ? negDec(halfPi) : halfPi;
    else
      as = atanDec(divDec(d, sqrtDec(subDec(one, mulDec(d, d, p))), p));
    return numOf(f == Trig::Asin ? as : subDec(halfPi, as));
  }
  }
  return std::nullopt;
}

std::optional<OraNum> atan2Number(const OraNum &y, const OraNum &x) {
  const int p = kFnDigits + 10;
  Dec dy = decOf(y), dx = decOf(x);
  if (dx.zero()) {
    if (dy.zero())
      return std::nullopt;
    Dec halfPi = divDec(piDec(), decInt(2), p);
    return numOf(dy.neg ? negDec(halfPi) : halfPi);
  }
  Dec a = atanDec(divDec(dy, dx, p));
  if (dx.neg)
    a = dy.neg ? subDec(a, piDec()) : addDec(a, piDec());
  return numOf(a);
}

// ---------------------------------------------------------------- text

std::string formatInt(int64_t v) {
  char buf[32];
  int n = formatNumberTo(OraNum::of(v), buf);
  return std::string(buf, static_cast<size_t>(n));
}

std::string formatNumber(const OraNum &n) {
  char buf[96];
  int len = formatNumberTo(n, buf);
  return std::string(buf, static_cast<size_t>(len));
}

namespace {

// The text of sign * 0.d[0]..d[nd-1] * 10^e (nd >= 1, no leading or trailing zeros).
int formatDigits(bool neg, const uint8_t *dg, int nd, int e, char *out) {
  int len = 0;
  if (neg)
    out[len++] = '-';
  // Digits of the plain form: the integer part (zeros after the digits), or the zeros after the
  // point before them. More than 40 makes the scientific form.
  int plainDigits = e >= nd ? e : (e > 0 ? nd : nd - e);
  if (plainDigits <= 40) {
    if (e >= nd) {
      for (int k = 0; k < nd; ++k)
        out[len++] = static_cast<char>('0' + dg[k]);
      for (int k = nd; k < e; ++k)
        out[len++] = '0';
    } else if (e > 0) {
      for (int k = 0; k < nd; ++k) {
        if (k == e)
          out[len++] = '.';
        out[len++] = static_cast<char>('0' + dg[k]);
      }
    } else {
      out[len++] = '.';
      for (int k = 0; k < -e; ++k)
        out[len++] = '0';
      for (int k = 0; k < nd; ++k)
        out[len++] = static_cast<char>('0' + dg[k]);
    }
  } else {
    out[len++] = static_cast<char>('0' + dg[0]);
    if (nd > 1) {
      out[len++] = '.';
      for (int k = 1; k < nd; ++k)
        out[len++] = static_cast<char>('0' + dg[k]);
    }
    int x = e - 1;
    len += std::snprintf(out + len, 8, "E%c%02d", x < 0 ? '-' : '+', x < 0 ? -x : x);
  }
  out[len] = 0;
  return len;
}

} // namespace

int formatNumberTo(const OraNum &n, char *out) {
  if (n.isInt) {
    uint64_t u = n.i < 0 ? 0 - static_cast<uint64_t>(n.i) : static_cast<uint64_t>(n.i);
    char tmp[24];
    int k = 0;
    do {
      tmp[k++] = static_cast<char>('0' + u % 10);
      u /= 10;
    } while (u);
    int len = 0;
    if (n.i < 0)
      out[len++] = '-';
    while (k)
      out[len++] = tmp[--k];
    out[len] = 0;
    return len;
  }
  uint8_t d[40];
  for (int k = 0; k < n.nd; ++k)
    d[k] = static_cast<uint8_t>(n.digit(k));
  return formatDigits(n.neg, d, n.nd, n.exp, out);
}

int formatNumberBytes(const unsigned char *p, int len, char *out) {
  if (len == 1 && p[0] == 0x80) {
    out[0] = '0';
    out[1] = 0;
    return 1;
  }
  if (len < 2 || len > 21)
    return -1;
  bool neg = p[0] < 0x80;
  int n = len - 1;
  if (neg && p[len - 1] == 102)
    --n;
  uint8_t d[42];
  int nd = 0;
  for (int k = 1; k <= n; ++k) {
    int m = neg ? 101 - p[k] : p[k] - 1;
    if (m < 0 || m > 99)
      return -1;
    d[nd++] = static_cast<uint8_t>(m / 10);
    d[nd++] = static_cast<uint8_t>(m % 10);
  }
  int e = 2 * ((neg ? 62 - p[0] : p[0] - 193) + 1);
  int lead = d[0] == 0 ? 1 : 0;
  while (nd > lead && d[nd - 1] == 0)
    --nd;
  if (nd == lead)
    return -1;
  return formatDigits(neg, d + lead, nd - lead, e - lead, out);
}

std::optional<OraNum> parseNumber(std::string_view t, int *error) {
  if (error)
    *error = 1722;
  size_t i = 0, n = t.size();
  while (i < n && std::isspace(static_cast<unsigned char>(t[i])))
    ++i;
  while (n > i && std::isspace(static_cast<unsigned char>(t[n - 1])))
    --n;
  if (i >= n)
    return std::nullopt;
  bool neg = false;
  if (t[i] == '+' || t[i] == '-')
    neg = t[i++] == '-';
  // The common case first: up to 18 digits, no point, no exponent.
  {
    size_t k = i;
    int64_t v = 0;
    while (k < n && k - i < 18 && t[k] >= '0' && t[k] <= '9') // 18 digits never overflow
      v = v * 10 + (t[k++] - '0');
    if (k == n && k > i)
      return OraNum::of(neg ? -v : v);
  }
  // Plain decimals (a bound amount): the digits straight into the value.
  {
    size_t k = i;
    uint8_t d[40];
    int nd = 0, intDigits = 0, lead = 0;
    bool point = false, plain = true;
    for (; k < n; ++k) {
      char c = t[k];
      if (c == '.' && !point) {
        point = true;
      } else if (c >= '0' && c <= '9' && nd < 38) {
        if (nd == 0 && c == '0') {
          lead += point;
          continue;
        }
        d[nd++] = static_cast<uint8_t>(c - '0');
        intDigits += !point;
      } else {
        plain = false;
        break;
      }
    }
    if (plain && k > i + (point ? 1 : 0)) {
      while (nd > 0 && d[nd - 1] == 0)
        --nd;
      int e = intDigits ? intDigits : -lead;
      if (nd == 0)
        return OraNum{};
      return numOfDigits(neg, d, nd, e);
    }
  }
  Dec x;
  x.neg = neg;
  int intDigits = 0, digits = 0;
  bool point = false;
  for (; i < n; ++i) {
    char c = t[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      if (x.n == 0 && c == '0') { // leading zeros
        if (point)
          --intDigits;
        continue;
      }
      if (x.n < kWork - 1)
        x.d[x.n++] = static_cast<uint8_t>(c - '0');
      else if (c != '0' && !x.d[kWork - 2])
        x.d[kWork - 2] = 1;
      if (!point)
        ++intDigits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!digits)
    return std::nullopt;
  long e = 0;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    bool eneg = false;
    if (i < n && (t[i] == '+' || t[i] == '-'))
      eneg = t[i++] == '-';
    size_t ed = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) {
      if (e < 100000)
        e = e * 10 + (t[i] - '0');
      ++i, ++ed;
    }
    if (!ed)
      return std::nullopt;
    if (eneg)
      e = -e;
  }
  if (i != n)
    return std::nullopt;
  x.exp = static_cast<int>(intDigits + e);
  auto r = numOf(x);
  if (!r && error)
    *error = 1426;
  return r;
}

// ---------------------------------------------------------------- internal bytes

int numberToBytes(const OraNum &v, unsigned char *out) {
  if (!v.isInt) {
    // Digits already in pairs when the exponent is even; shifted by one digit when odd.
    const int shift = v.exp % 2 != 0 ? 1 : 0;
    const int expo = (v.exp % 2 == 0 ? v.exp / 2 : (v.exp + 1) / 2) - 1;
    const int pairs = (v.nd + shift + 1) / 2;
    int len = 1;
    for (int k = 0; k < pairs; ++k) {
      int hi = 2 * k - shift, lo = hi + 1;
      int m = (hi >= 0 ? v.digit(hi) : 0) * 10 + (lo < v.nd ? v.digit(lo) : 0);
      out[len++] = static_cast<unsigned char>(v.neg ? 101 - m : m + 1);
    }
    if (v.neg) {
      out[0] = static_cast<unsigned char>(62 - expo);
      if (pairs < 20)
        out[len++] = 102;
    } else {
      out[0] = static_cast<unsigned char>(193 + expo);
    }
    return len;
  }
  Dec x = decOf(v);
  if (x.zero()) {
    out[0] = 0x80;
    return 1;
  }
  // Base-100 digits: the first pair holds the digit of weight 10^(exp-1) as its high half when
  // exp is even, as its low half when odd.
  int e100 = x.exp % 2 == 0 ? x.exp / 2 : (x.exp + 1) / 2; // value = 0.m1m2.. * 100^e100
  int shift = (x.exp % 2 != 0) ? 1 : 0;                    // a leading zero digit fills the pair
  int total = x.n + shift;
  int pairs = (total + 1) / 2;
  int len = 1;
  int expo = e100 - 1; // Oracle's: value = m1.m2m3.. * 100^expo
  for (int k = 0; k < pairs; ++k) {
    int hi = 2 * k - shift, lo = hi + 1;
    int a = hi >= 0 && hi < x.n ? x.d[hi] : 0;
    int b = lo >= 0 && lo < x.n ? x.d[lo] : 0;
    int m = a * 10 + b;
    out[len++] = static_cast<unsigned char>(x.neg ? 101 - m : m + 1);
  }
  if (x.neg) {
    out[0] = static_cast<unsigned char>(62 - expo);
    if (pairs < 20)
      out[len++] = 102;
  } else {
    out[0] = static_cast<unsigned char>(193 + expo);
  }
  return len;
}

std::optional<OraNum> numberFromBytes(const unsigned char *p, int len) {
  if (len < 1 || len > 21)
    return std::nullopt;
  if (p[0] == 0x80 && len == 1)
    return OraNum{};
  bool neg = p[0] < 0x80;
  int n = len - 1;
  if (neg && n > 0 && p[len - 1] == 102)
    --n;
  if (n < 1)
    return std::nullopt;
  int expo = neg ? 62 - p[0] : p[0] - 193;
  uint8_t d[42];
  int nd = 0;
  for (int k = 0; k < n; ++k) {
    int m = neg ? 101 - p[1 + k] : p[1 + k] - 1;
    if (m < 0 || m > 99)
      return std::nullopt;
    d[nd++] = static_cast<uint8_t>(m / 10);
    d[nd++] = static_cast<uint8_t>(m % 10);
  }
  int lead = 0;
  while (lead < nd && d[lead] == 0)
    ++lead;
  while (nd > lead && d[nd - 1] == 0)
    --nd;
  if (nd == lead)
    return OraNum{};
  return numOfDigits(neg, d + lead, nd - lead, 2 * (expo + 1) - lead);
}

// ---------------------------------------------------------------- precision and scale

namespace {

// The value rounded (or cut) so that no digit is left below 10^-places.
OraNum toPlaces(const OraNum &n, int places, bool round) {
  if (n.isInt ? places >= 0 : n.nd - n.exp <= places)
    return n; // no digit below 10^-places

  Dec x = decOf(n);
  int keep = x.exp + places; // digits kept
  if (keep >= x.n)
    return n;
  if (keep < 0)
    return OraNum{};
  if (keep == 0) {
    if (round && x.d[0] >= 5) {
      Dec r;
      r.neg = x.neg;
      r.d[0] = 1;
      r.n = 1;
      r.exp = x.exp + 1;
      return numOf(r).value_or(n);
    }
    return OraNum{};
  }
  if (round)
    roundDigits(x, keep);
  else
    truncDigits(x, keep);
  return numOf(x).value_or(n);
}

} // namespace

OraNum roundNumber(const OraNum &n, int places) { return toPlaces(n, places, true); }

OraNum truncNumber(const OraNum &n, int places) { return toPlaces(n, places, false); }

std::optional<OraNum> fitNumber(const OraNum &n, int precision, int scale) {
  bool noScale = scale < -84;
  OraNum r = n;
  if (!noScale)
    r = roundNumber(n, scale);
  else if (precision > 0)
    r = roundNumber(n, 0);
  if (precision > 0 && !r.isZero()) {
    // Digits allowed left of the point: precision - scale.
    int left = precision - (noScale ? 0 : scale);
    int intDigits;
    if (r.isInt) {
      uint64_t u = r.i < 0 ? 0 - static_cast<uint64_t>(r.i) : static_cast<uint64_t>(r.i);
      intDigits = 0;
      while (u) {
        ++intDigits;
        u /= 10;
      }
    } else {
      intDigits = r.exp; // the position of the first digit; <= 0 for values below 1
    }
    if (intDigits > left)
      return std::nullopt;
  }
  return r;
}

// ---------------------------------------------------------------- number format masks

namespace {

struct Mask {
  bool fm = false, dollar = false, sign = false, signTrail = false, mi = false, pr = false;
  bool eeee = false, blank = false, valid = true;
  bool roman = false, romanLower = false; // RN / rn
  int intDigits = 0, fracDigits = 0;
  int shift = 0; // digits after V: the value is multiplied by 10^shift
  bool vSeen = false;
  int firstZero = -1; // position among integer digits of the first '0' (leading zeros from there)
  bool pointSeen = false;
  std::string intPattern; // '9', '0' and ',' of the integer part
  std::string fracPattern;
};

Mask parseMask(const std::string &mask) {
  Mask m;
  std::string u = upperAscii(mask);
  size_t i = 0;
  if (u.compare(0, 2, "FM") == 0)
    m.fm = true, i = 2;
  if (i < u.size() && u[i] == 'S')
    m.sign = true, ++i;
  if (i < u.size() && (u[i] == '$' || u[i] == 'L'))
    m.dollar = true, ++i; // L: the local currency, "$" in AMERICA
  if (u.compare(i, 2, "RN") == 0 && i + 2 == u.size()) {
    m.roman = true;
    m.romanLower = mask[i] == 'r';
    return m;
  }
  for (; i < u.size(); ++i) {
    char c = u[i];
    if (c == 'V' && !m.vSeen && !m.pointSeen) {
      m.vSeen = true;
    } else if ((c == '9' || c == '0') && m.vSeen) {
      m.intPattern += c;
      ++m.intDigits;
      ++m.shift;
    } else if (c == '9' || c == '0') {
      if (m.pointSeen) {
        m.fracPattern += c;
        ++m.fracDigits;
      } else {
        if (c == '0' && m.firstZero < 0)
          m.firstZero = m.intDigits;
        m.intPattern += c;
        ++m.intDigits;
      }
    } else if (c == ',' || c == 'G') {
      if (m.pointSeen)
        m.valid = false;
      m.intPattern += ',';
    } else if (c == '.' || c == 'D') {
      if (m.pointSeen)
        m.valid = false;
      m.pointSeen = true;
    } else if (c == '$' || c == 'L') {
      m.dollar = true;
    } else if (c == 'B') {
      m.blank = true;
    } else if (u.compare(i, 2, "MI") == 0 && i + 2 == u.size()) {
      m.mi = true;
      ++i;
    } else if (u.compare(i, 2, "PR") == 0 && i + 2 == u.size()) {
      m.pr = true;
      ++i;
    } else if (c == 'S' && i + 1 == u.size()) {
      m.signTrail = true;
    } else if (u.compare(i, 4, "EEEE") == 0) {
      m.eeee = true;
      i += 3;
    } else {
      m.valid = false;
    }
  }
  return m;
}

// The integer and fraction digits of |n| (already rounded to frac places): "123", "4500".
void placesText(const OraNum &n, int frac, std::string &ip, std::string &fp) {
  Dec x = decOf(n);
  ip.clear();
  fp.assign(static_cast<size_t>(frac), '0');
  for (int k = 0; k < x.n; ++k) {
    int pos = x.exp - 1 - k; // weight 10^pos
    if (pos >= 0)
      ip += static_cast<char>('0' + x.d[k]);
    else if (-pos - 1 < frac) {
      fp[static_cast<size_t>(-pos - 1)] = static_cast<char>('0' + x.d[k]);
    }
  }
  if (!x.zero() && x.exp > x.n)
    ip.append(static_cast<size_t>(x.exp - x.n), '0');
  if (ip.empty())
    ip = "0";
}

} // namespace

std::optional<std::string> formatNumberMask(const OraNum &nIn, const std::string &mask) {
  Mask m = parseMask(mask);
  if (!m.valid)
    return std::nullopt;
  if (m.roman) {
    // Roman numerals of the whole numbers 1 to 3999, right-aligned in 15 characters.
    OraNum r = roundNumber(nIn, 0);
    if (!r.isInt || r.i < 1 || r.i > 3999)
      return std::string(15, '#');
    static const std::pair<int, const char *> kRoman[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    int k = static_cast<int>(r.i);
    std::string out;
    for (auto &p : kRoman)
      while (k >= p.first) {
        out += p.second;
        k -= p.first;
      }
    if (m.romanLower)
      for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return m.fm ? out : std::string(15 - out.size(), ' ') + out;
  }
  OraNum n = nIn;
  if (m.shift > 0) { // V: 10^shift times the value, as a whole number
    Dec x = decOf(nIn);
    if (!x.zero())
      x.exp += m.shift;
    n = roundNumber(numOf(x).value_or(nIn), 0);
  }
  bool neg = false;
  std::string body;
  int width = static_cast<int>(m.intPattern.size()) + (m.pointSeen ? 1 + m.fracDigits : 0);
  if (m.eeee) {
    Dec x = decOf(n);
    neg = x.neg;
    x.neg = false;
    int e10 = 0;
    if (!x.zero()) {
      roundDigits(x, m.fracDigits + 1);
      e10 = x.exp - 1;
    }
    body = std::string(1, static_cast<char>('0' + (x.zero() ? 0 : x.d[0])));
    if (m.fracDigits) {
      body += '.';
      for (int k = 1; k <= m.fracDigits; ++k)
        body += static_cast<char>('0' + (k < x.n ? x.d[k] : 0));
    }
    char eb[16];
    std::snprintf(eb, sizeof eb, "E%c%02d", e10 < 0 ? '-' : '+', e10 < 0 ? -e10 : e10);
    body += eb;
  } else {
    OraNum r = roundNumber(n, m.fracDigits);
    neg = r.negative(); // a value that rounds to zero shows no minus
    std::string ip, fp;
    placesText(absNumber(r), m.fracDigits, ip, fp);
    if (ip == "0" && m.intDigits > 0 && (m.firstZero < 0 || m.firstZero >= m.intDigits))
      ip = ""; // Oracle leaves the zero out when the mask has only 9s: .5
    if (ip.empty() && m.intDigits > 0 && !m.pointSeen)
      ip = "0";
    if (static_cast<int>(ip.size()) > m.intDigits)
      return std::string(static_cast<size_t>(width + 1 + (m.dollar ? 1 : 0)), '#');
    // Lay the digits over the integer pattern from the right.
    std::string out;
    int di = static_cast<int>(ip.size()) - 1;
    int digitPos = m.intDigits; // digits of the pattern left to place, counted from the left
    for (int k = static_cast<int>(m.intPattern.size()) - 1; k >= 0; --k) {
      char pc = m.intPattern[static_cast<size_t>(k)];
      if (pc == ',') {
        out.insert(out.begin(), ',');
        continue;
      }
      --digitPos;
      bool zeroFill = m.firstZero >= 0 && digitPos >= m.firstZero;
      if (di >= 0)
        out.insert(out.begin(), ip[static_cast<size_t>(di--)]);
      else if (zeroFill)
        out.insert(out.begin(), '0');
      else
        out.insert(out.begin(), ' ');
    }
    // Separators with blanks on their left become blanks.
    for (size_t k = 0; k < out.size(); ++k) {
      if (out[k] == ',' && (k == 0 || out[k - 1] == ' '))
        out[k] = ' ';
    }
    body = out;
    if (m.pointSeen)
      body += "." + fp;
    if (m.blank && r.isZero())
      body = std::string(body.size(), ' ');
  }
  // Sign and currency go right before the first digit.
  size_t firstNonBlank = body.find_first_not_of(' ');
  if (firstNonBlank == std::string::npos)
    firstNonBlank = body.size();
  std::string lead = body.substr(0, firstNonBlank), rest = body.substr(firstNonBlank);
  std::string cur = m.dollar ? "$" : "";
  std::string result;
  if (m.sign)
    result = lead + (neg ? "-" : "+") + cur + rest;
  else if (m.mi)
    result = lead + cur + rest + (neg ? "-" : " ");
  else if (m.signTrail)
    result = lead + cur + rest + (neg ? "-" : "+");
  else if (m.pr)
    result = neg ? lead + "<" + cur + rest + ">" : lead + " " + cur + rest + " ";
  else if (neg) // the minus takes the place Oracle reserves for the sign: " 123", "-123"
    result = lead + "-" + cur + rest;
  else
    result = " " + lead + cur + rest;
  if (m.fm) {
    size_t b = result.find_first_not_of(' ');
    size_t e = result.find_last_not_of(' ');
    result = b == std::string::npos ? "" : result.substr(b, e - b + 1);
    // FM also drops trailing zeros of the fraction that came from 9s.
    if (m.pointSeen && !m.eeee && m.fracPattern.find('0') == std::string::npos) {
      size_t p = result.find('.');
      if (p != std::string::npos) {
        size_t end = result.size();
        while (end > p + 1 && result[end - 1] == '0')
          --end;
        result.erase(end);
      }
    }
  }
  return result;
}

std::optional<OraNum> parseNumberMask(const std::string &text, const std::string &mask) {
  Mask m = parseMask(mask);
  if (!m.valid)
    return std::nullopt;
  std::string s;
  bool neg = false;
  for (char c : text) {
    if (c == ',' || c == '$' || c == ' ' || c == '+')
      continue;
    if (c == '-' || c == '<' || c == '>') {
      neg = true;
      continue;
    }
    s += c;
  }
  auto r = parseNumber(s);
  if (!r)
    return std::nullopt;
  return neg ? negateNumber(*r) : *r;
}

int64_t readBinaryInteger(const char *p, int size) {
  switch (size) {
  case 1:
    return *reinterpret_cast<const int8_t *>(p);
  case 2: {
    int16_t x;
    std::memcpy(&x, p, 2);
    return x;
  }
  case 8: {
    int64_t x;
    std::memcpy(&x, p, 8);
    return x;
  }
  default: {
    int32_t x;
    std::memcpy(&x, p, 4);
    return x;
  }
  }
}

} // namespace localdb
