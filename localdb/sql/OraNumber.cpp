// Oracle NUMBER text: default printing, parsing, precision and scale, number format masks.
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlLexer.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace localdb {

namespace {

// The significant digits and the decimal exponent of v: v = 0.DIGITS * 10^exp10.
void digitsOf(double v, std::string &digits, int &exp10) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));
  digits.clear();
  const char *p = buf;
  for (; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9')
      digits += *p;
  int e = std::atoi(p + 1);
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
  exp10 = e + 1;
}

} // namespace

std::string formatInt(int64_t v) {
  char buf[32];
  int n = formatNumberTo(OraNum{true, v, 0}, buf);
  return std::string(buf, n);
}

std::string formatDouble(double v) {
  char buf[96];
  int n = formatNumberTo(OraNum{false, 0, v}, buf);
  return std::string(buf, n);
}

std::string formatNumber(const OraNum &n) {
  char buf[96];
  int len = formatNumberTo(n, buf);
  return std::string(buf, len);
}

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
  double v = n.d;
  if (std::isnan(v) || std::isinf(v)) {
    // Oracle has no NaN; infinity prints as the largest magnitude it can show.
    std::strcpy(out, v < 0 ? "-~" : "~");
    return static_cast<int>(std::strlen(out));
  }
  if (v == 0) {
    std::strcpy(out, "0");
    return 1;
  }
  if (std::fabs(v) < 1e15 && v == std::floor(v))
    return formatNumberTo(OraNum{true, static_cast<int64_t>(v), 0}, out);
  // Few decimals (money and the like): exact integer digits with the point put in. A decimal of
  // at most 15 digits that converts back to v is what the 15-digit rule prints as well.
  static const double kPow[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  for (int k = 1; k <= 8; ++k) {
    double s = v * kPow[k];
    if (std::fabs(s) >= 1e15)
      break;
    double r = std::round(s);
    if (r / kPow[k] != v)
      continue;
    int64_t iv = static_cast<int64_t>(r);
    uint64_t u = iv < 0 ? 0 - static_cast<uint64_t>(iv) : static_cast<uint64_t>(iv);
    char tmp[32];
    int n = 0;
    for (int d = 0; d < k; ++d) {
      tmp[n++] = static_cast<char>('0' + u % 10);
      u /= 10;
    }
    while (n > 0 && tmp[0] == '0') { // trailing zeros of the fraction
      std::memmove(tmp, tmp + 1, static_cast<size_t>(--n));
    }
    int fracDigits = n;
    char intPart[24];
    int ni = 0;
    while (u) {
      intPart[ni++] = static_cast<char>('0' + u % 10);
      u /= 10;
    }
    int len = 0;
    if (iv < 0)
      out[len++] = '-';
    while (ni)
      out[len++] = intPart[--ni];
    out[len++] = '.';
    while (fracDigits)
      out[len++] = tmp[--fracDigits];
    out[len] = 0;
    return len;
  }
  std::string digits;
  int e;
  digitsOf(v, digits, e);
  std::string s = v < 0 ? "-" : "";
  int nd = static_cast<int>(digits.size());
  // Plain text length: integer part, point and fraction.
  int plain = e >= nd ? e : (e > 0 ? nd + 1 : 1 + (-e) + nd);
  if (plain + static_cast<int>(s.size()) <= 40) {
    if (e >= nd) {
      s += digits + std::string(e - nd, '0');
    } else if (e > 0) {
      s += digits.substr(0, e) + "." + digits.substr(e);
    } else {
      s += "." + std::string(-e, '0') + digits;
    }
  } else {
    s += digits.substr(0, 1);
    if (nd > 1)
      s += "." + digits.substr(1);
    int x = e - 1;
    char eb[16];
    std::snprintf(eb, sizeof eb, "E%c%02d", x < 0 ? '-' : '+', x < 0 ? -x : x);
    s += eb;
  }
  std::memcpy(out, s.data(), s.size());
  out[s.size()] = 0;
  return static_cast<int>(s.size());
}

double roundSignificant(double v) {
  if (v == 0 || std::isnan(v) || std::isinf(v))
    return v;
  double a = std::fabs(v);
  if (a >= 1e15 || a < 1e-7)
    return v; // beyond the exact scaling below; printing still shows 15 digits
  int e = static_cast<int>(std::floor(std::log10(a)));
  static const double kPow[] = {1,    10,   100,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  int k = 14 - e; // digits to keep after the point
  if (k <= 0 || k > 22)
    return v;
  double r = std::round(v * kPow[k]);
  if (std::fabs(r) >= 9007199254740992.0)
    return v;
  return r / kPow[k];
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

OraNum normalize(double v) {
  if (v == std::floor(v) && std::fabs(v) < 9.0e15)
    return OraNum{true, static_cast<int64_t>(v), 0};
  return OraNum{false, 0, v};
}

std::optional<OraNum> parseNumber(const std::string &t) {
  size_t i = 0, n = t.size();
  while (i < n && std::isspace(static_cast<unsigned char>(t[i])))
    ++i;
  while (n > i && std::isspace(static_cast<unsigned char>(t[n - 1])))
    --n;
  if (i >= n)
    return std::nullopt;
  size_t start = i;
  bool neg = false;
  if (t[i] == '+' || t[i] == '-')
    neg = t[i++] == '-';
  size_t digitsBefore = 0, digitsAfter = 0;
  bool point = false, exp = false;
  while (i < n && std::isdigit(static_cast<unsigned char>(t[i])))
    ++i, ++digitsBefore;
  if (i < n && t[i] == '.') {
    point = true;
    ++i;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i])))
      ++i, ++digitsAfter;
  }
  if (digitsBefore + digitsAfter == 0)
    return std::nullopt;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    exp = true;
    ++i;
    if (i < n && (t[i] == '+' || t[i] == '-'))
      ++i;
    size_t ed = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(t[i])))
      ++i, ++ed;
    if (!ed)
      return std::nullopt;
  }
  if (i != n)
    return std::nullopt;
  std::string s = t.substr(start, n - start);
  if (!point && !exp && digitsBefore <= 18) {
    int64_t v = 0;
    for (char c : s)
      if (c >= '0' && c <= '9')
        v = v * 10 + (c - '0');
    return OraNum{true, neg ? -v : v, 0};
  }
  double d = std::strtod(s.c_str(), nullptr);
  if (std::isinf(d))
    return std::nullopt;
  return normalize(d);
}

OraNum roundNumber(const OraNum &n, int places) {
  if (n.isInt && places >= 0)
    return n;
  if (places > 20)
    return n;
  if (n.isInt) {
    int64_t p = 1;
    for (int k = 0; k < -places && p < INT64_C(1000000000000000000); ++k)
      p *= 10;
    if (-places > 18)
      return OraNum{true, 0, 0};
    int64_t q = n.i / p, r = n.i % p;
    if (2 * (r < 0 ? -r : r) >= p)
      q += n.i < 0 ? -1 : 1;
    if (q > INT64_MAX / p || q < INT64_MIN / p)
      return normalize(static_cast<double>(q) * static_cast<double>(p));
    return OraNum{true, q * p, 0};
  }
  if (places < -300)
    return OraNum{true, 0, 0};
  static const double kPow[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10};
  double f = places >= 0 && places <= 10 ? kPow[places] : std::pow(10.0, places);
  double x = n.d * f;
  // Oracle rounds half away from zero on the decimal value; nudge for binary representation.
  double r = std::round(x + (x >= 0 ? 1e-9 : -1e-9) * (std::fabs(x) < 1e6 ? 1 : 0));
  return normalize(r / f);
}

OraNum truncNumber(const OraNum &n, int places) {
  if (n.isInt && places >= 0)
    return n;
  if (places > 20)
    return n;
  if (places < -300)
    return OraNum{true, 0, 0};
  if (n.isInt) {
    if (-places > 18)
      return OraNum{true, 0, 0};
    int64_t p = 1;
    for (int k = 0; k < -places; ++k)
      p *= 10;
    return OraNum{true, n.i / p * p, 0};
  }
  double f = std::pow(10.0, places);
  double x = n.d * f;
  double eps = std::fabs(x) < 1e6 ? 1e-9 : 0;
  double t = x >= 0 ? std::floor(x + eps) : std::ceil(x - eps);
  return normalize(t / f);
}

std::optional<OraNum> fitNumber(const OraNum &n, int precision, int scale) {
  // scale < -84 means none was given: NUMBER(p) rounds to integers, NUMBER keeps all.
  bool noScale = scale < -84;
  OraNum r = n;
  if (!noScale)
    r = roundNumber(n, scale);
  else if (precision > 0)
    r = roundNumber(n, 0);
  if (precision > 0) {
    // Digits allowed left of the point: precision - scale.
    int left = precision - (noScale ? 0 : scale);
    static const double kPow[] = {1,    10,   100,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9, 1e10,
                                  1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20};
    double limit = left >= 0 && left <= 20 ? kPow[left] : std::pow(10.0, left);
    if (std::fabs(r.asDouble()) >= limit)
      return std::nullopt;
  }
  return r;
}

// ---- number format masks (TO_CHAR / TO_NUMBER) ----

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

} // namespace

std::optional<std::string> formatNumberMask(const OraNum &nIn, const std::string &mask) {
  Mask m = parseMask(mask);
  if (!m.valid)
    return std::nullopt;
  if (m.roman) {
    // Roman numerals of the whole numbers 1 to 3999, right-aligned in 15 characters.
    OraNum r = roundNumber(nIn, 0);
    double x = r.asDouble();
    if (x < 1 || x > 3999)
      return std::string(15, '#');
    static const std::pair<int, const char *> kRoman[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    int k = static_cast<int>(x);
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
  if (m.shift > 0) // V: 10^shift times the value, as a whole number
    n = roundNumber(normalize(nIn.asDouble() * std::pow(10.0, m.shift)), 0);
  double v = n.asDouble();
  bool neg = v < 0;
  std::string body;
  int width = static_cast<int>(m.intPattern.size()) + (m.pointSeen ? 1 + m.fracDigits : 0);
  if (m.eeee) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*E", m.fracDigits, std::fabs(v));
    body = buf;
    // C prints E+05; Oracle prints E+05 as well (two digits at least).
  } else {
    OraNum r = roundNumber(n, m.fracDigits);
    double a = std::fabs(r.asDouble());
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.*f", m.fracDigits, a);
    std::string s = buf;
    std::string ip = s.substr(0, s.find('.'));
    std::string fp = m.fracDigits ? s.substr(s.find('.') + 1) : "";
    if (ip == "0" && m.intDigits > 0 && (m.firstZero < 0 || m.firstZero >= m.intDigits))
      ip = ""; // Oracle leaves the zero out when the mask has only 9s: .5
    if (ip.empty() && m.intDigits > 0 && !m.pointSeen)
      ip = "0";
    if (static_cast<int>(ip.size()) > m.intDigits)
      return std::string(width + 1 + (m.dollar ? 1 : 0), '#');
    // Lay the digits over the integer pattern from the right.
    std::string out;
    int di = static_cast<int>(ip.size()) - 1;
    int digitPos = m.intDigits; // digits of the pattern left to place, counted from the left
    bool zeroFill = false;
    for (int k = static_cast<int>(m.intPattern.size()) - 1; k >= 0; --k) {
      char pc = m.intPattern[k];
      if (pc == ',') {
        out.insert(out.begin(), ',');
        continue;
      }
      --digitPos;
      zeroFill = m.firstZero >= 0 && digitPos >= m.firstZero;
      if (di >= 0)
        out.insert(out.begin(), ip[di--]);
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
    if (m.blank && a == 0)
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
  else
    result = " " + lead + (neg ? "-" : "") + cur + rest;
  // Without S, MI or PR Oracle reserves the sign's place on the left: " 123", "-123".
  if (!m.sign && !m.mi && !m.signTrail && !m.pr && neg) {
    // The reserved blank was used by the minus.
    result = lead + "-" + cur + rest;
  }
  if (m.fm) {
    size_t b = result.find_first_not_of(' ');
    size_t e = result.find_last_not_of(' ');
    result = b == std::string::npos ? "" : result.substr(b, e - b + 1);
    // FM also drops trailing zeros of the fraction that came from 9s.
    if (m.pointSeen && m.fracPattern.find('0') == std::string::npos) {
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
  if (neg) {
    if (r->isInt)
      r->i = -r->i;
    else
      r->d = -r->d;
  }
  return r;
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
