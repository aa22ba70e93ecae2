// Oracle's NUMBER: a decimal of up to 40 significant digits (20 base-100 digits, as Oracle keeps
// them) with exponents from 1E-130 to below 1E+126. Whole numbers that fit in 64 bits stay
// machine integers, so counters and keys cost what they did; everything else is decimal digits.
// Text as Oracle prints it, parsing, column precision and scale, TO_CHAR / TO_NUMBER masks,
// Oracle's internal bytes (the order-preserving form the server stores), and the arithmetic and
// functions with Oracle's digits.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace localdb {

// A NUMBER value. Canonical: a whole number within int64 is always isInt (zero too), so two
// equal values have equal representations and equal stored forms.
struct OraNum {
  bool isInt = true;
  // Decimal form (isInt false): sign * 0.d1 d2 ... d(nd) * 10^exp, two digits a byte (high
  // half first); the first and the last digit are not zero, nd <= 40.
  bool neg = false;
  uint8_t nd = 0;
  int16_t exp = 0;
  union {
    int64_t i = 0;
    uint8_t dig[20];
  };
  int digit(int k) const { return k & 1 ? dig[k >> 1] & 15 : dig[k >> 1] >> 4; }

  static OraNum of(int64_t v) {
    OraNum n;
    n.i = v;
    return n;
  }
  bool isZero() const { return isInt && i == 0; }
  bool negative() const { return isInt ? i < 0 : neg; }
  // The nearest double (FLOAT defines, date arithmetic with fractions of days).
  double toDouble() const;
};

// A double as a NUMBER: its 15 significant digits (what a C float bind or an older server file
// meant); nullopt for NaN, the infinities and magnitudes of 1E+126 and beyond.
std::optional<OraNum> numberFromDouble(double v);

// Oracle's default text of a number: "3", "3.5", ".5", "-.25"; with more than 40 digits in the
// plain form, scientific: "1E+40", "1.5E-50".
std::string formatNumber(const OraNum &n);
std::string formatInt(int64_t v);
// Writes the text into out (at least 64 bytes); returns its length. The fetch's fast path.
int formatNumberTo(const OraNum &n, char *out);
// The text of a number given as Oracle's bytes (what the server stores), without decoding it
// first; -1 when the bytes are no number.
int formatNumberBytes(const unsigned char *p, int len, char *out);

// Parses text as TO_NUMBER without a mask does; nullopt when it is not a number (error, when
// given, is 1722) or is 1E+126 or more in magnitude (1426).
std::optional<OraNum> parseNumber(std::string_view text, int *error = nullptr);

// The value cut toward zero and held within [-limit, limit].
int64_t clampToInt(const OraNum &n, int64_t limit = INT64_C(1000000000000));
int64_t clampToInt(double v, int64_t limit = INT64_C(1000000000000));

// Arithmetic rounded to Oracle's digits; nullopt is ORA-01426 (numeric overflow). The divisor
// of divideNumbers is not zero (the caller's ORA-01476).
std::optional<OraNum> addNumbers(const OraNum &a, const OraNum &b);
std::optional<OraNum> subtractNumbers(const OraNum &a, const OraNum &b);
std::optional<OraNum> multiplyNumbers(const OraNum &a, const OraNum &b);
std::optional<OraNum> divideNumbers(const OraNum &a, const OraNum &b);
OraNum negateNumber(const OraNum &a);
OraNum absNumber(const OraNum &a);
int compareNumbers(const OraNum &a, const OraNum &b);
// MOD(m, n): m - n * TRUNC(m / n), m itself when n is 0.
std::optional<OraNum> modNumbers(const OraNum &m, const OraNum &n);
OraNum floorNumber(const OraNum &n);
OraNum ceilNumber(const OraNum &n);

// Functions to Oracle's 40 digits. nullopt: the argument is outside the domain (the caller's
// ORA-01428) or, with overflow set, the result is beyond the range (ORA-01426).
std::optional<OraNum> sqrtNumber(const OraNum &x);
std::optional<OraNum> expNumber(const OraNum &x, bool *overflow);
std::optional<OraNum> lnNumber(const OraNum &x);
std::optional<OraNum> logNumber(const OraNum &base, const OraNum &x);
std::optional<OraNum> powerNumber(const OraNum &x, const OraNum &y, bool *overflow);
enum class Trig { Sin, Cos, Tan, Sinh, Cosh, Tanh, Asin, Acos, Atan };
std::optional<OraNum> trigNumber(Trig f, const OraNum &x, bool *overflow);
std::optional<OraNum> atan2Number(const OraNum &y, const OraNum &x);

// A caller's binary integer (external type 3) of 1, 2, 4 or 8 bytes; other sizes read 4.
int64_t readBinaryInteger(const char *p, int size);

// Oracle's internal form: an exponent byte and up to 20 base-100 digit bytes (1 to 21 bytes; a
// negative number below 20 digits ends with 102). Byte strings compare as the numbers do, so the
// server stores every number that is no int64 this way. out holds at least 22 bytes.
int numberToBytes(const OraNum &n, unsigned char *out);
std::optional<OraNum> numberFromBytes(const unsigned char *p, int len);

// Rounds to NUMBER(precision, scale); nullopt when the value exceeds the precision (ORA-01438).
// precision < 0 means NUMBER without precision (only scale rounding, if any); scale < -84 none.
std::optional<OraNum> fitNumber(const OraNum &n, int precision, int scale);

// ROUND / TRUNC to a number of decimal places (negative places round left of the point), half
// away from zero.
OraNum roundNumber(const OraNum &n, int places);
OraNum truncNumber(const OraNum &n, int places);

// TO_CHAR(number, mask); nullopt when the mask is not a valid number format (ORA-01481).
std::optional<std::string> formatNumberMask(const OraNum &n, const std::string &mask);
// TO_NUMBER(text, mask); nullopt when text does not match (ORA-01722).
std::optional<OraNum> parseNumberMask(const std::string &text, const std::string &mask);

} // namespace localdb
