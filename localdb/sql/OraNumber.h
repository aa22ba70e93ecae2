// Oracle NUMBER semantics over SQLite's integers and doubles: text as Oracle prints it, parsing,
// column precision and scale, TO_CHAR / TO_NUMBER format masks.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace localdb {

// A number as SQLite holds it: an exact integer or a double.
struct OraNum {
  bool isInt = true;
  int64_t i = 0;
  double d = 0;
  double asDouble() const { return isInt ? static_cast<double>(i) : d; }
};

// Oracle's default text of a number: "3", "3.5", ".5", "-.25", "1E+40" (15 significant digits).
std::string formatNumber(const OraNum &n);
std::string formatInt(int64_t v);
std::string formatDouble(double v);
// Writes the text into out (at least 64 bytes); returns its length. The fetch's fast path.
int formatNumberTo(const OraNum &n, char *out);

// Parses text as TO_NUMBER without a mask does; nullopt when it is not a number (ORA-01722).
std::optional<OraNum> parseNumber(const std::string &text);

// A double cut toward zero and held within [-limit, limit] (no undefined conversion for NaN,
// infinities or huge values).
int64_t clampToInt(double v, int64_t limit = INT64_C(1000000000000));

// A computed double rounded to the 15 significant digits numbers print with, so that decimal
// arithmetic compares as it reads (0.1 + 0.2 = 0.3).
double roundSignificant(double v);

// Oracle's NUMBER holds magnitudes below 1E+126; beyond is ORA-01426 (numeric overflow).
// A caller's binary integer (external type 3) of 1, 2, 4 or 8 bytes; other sizes read 4.
int64_t readBinaryInteger(const char *p, int size);

inline bool numberInRange(double d) { return d < 1e126 && d > -1e126; }

// A double that is a whole number of moderate size becomes an integer.
OraNum normalize(double v);

// Rounds to NUMBER(precision, scale); nullopt when the value exceeds the precision (ORA-01438).
// precision < 0 means NUMBER without precision (only scale rounding, if any).
std::optional<OraNum> fitNumber(const OraNum &n, int precision, int scale);

// ROUND / TRUNC to a number of decimal places (negative places round left of the point).
OraNum roundNumber(const OraNum &n, int places);
OraNum truncNumber(const OraNum &n, int places);

// TO_CHAR(number, mask); nullopt when the mask is not a valid number format (ORA-01481).
std::optional<std::string> formatNumberMask(const OraNum &n, const std::string &mask);
// TO_NUMBER(text, mask); nullopt when text does not match (ORA-01722).
std::optional<OraNum> parseNumberMask(const std::string &text, const std::string &mask);

} // namespace localdb
