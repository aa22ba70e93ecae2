// Dates: stored text, the default DD-MON-YY, format masks, Julian day arithmetic.
#include "localdb/sql/OraDate.h"
#include "localdb/sql/SqlLexer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

namespace localdb {

namespace {

const char *kMonths[12] = {"JANUARY", "FEBRUARY", "MARCH",     "APRIL",   "MAY",      "JUNE",
                           "JULY",    "AUGUST",   "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
const char *kDays[7] = {"SUNDAY",   "MONDAY", "TUESDAY", "WEDNESDAY",
                        "THURSDAY", "FRIDAY", "SATURDAY"};

bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

// Days since the civil epoch 1970-01-01 (proleptic Gregorian).
long daysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int &y, int &m, int &d) {
  z += 719468;
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long yy = yoe + era * 400;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yy + (m <= 2));
}

// Applies the letter case of a mask element to a word: "MON" → "JAN", "Mon" → "Jan".
std::string caseLike(const std::string &word, const std::string &elem) {
  bool up0 = std::isupper(static_cast<unsigned char>(elem[0]));
  bool up1 = elem.size() > 1 && std::isupper(static_cast<unsigned char>(elem[1]));
  std::string w = word;
  for (size_t i = 0; i < w.size(); ++i) {
    bool up = i == 0 ? up0 : up1;
    w[i] = static_cast<char>(up ? std::toupper(static_cast<unsigned char>(w[i]))
                                : std::tolower(static_cast<unsigned char>(w[i])));
  }
  return w;
}

// Mask elements, longest first so that "MONTH" wins over "MON" and "MM".
const char *kElems[] = {"YYYY", "RRRR",  "SYYYY", "MONTH", "HH24", "HH12", "YYY", "DDD", "DAY",
                        "MON",  "A.M.",  "P.M.",  "YY",    "RR",   "MM",   "DD",  "DY",  "HH",
                        "MI",   "SS",    "AM",    "PM",    "Y",    "D",    "J",   "Q",   "WW",
                        "W",    "SSSSS", "FM",    "YEAR",  "RM",   "CC",   "SCC", "IW",  "FF",
                        "FF1",  "FF2",   "FF3",   "FF4",   "FF5",  "FF6",  "FF7", "FF8", "FF9",
                        "TZH",  "TZM",   "TZR",   "TZD",   "X"};

// Elements of timestamps only: fractions of a second (and X, the radix before them) and time
// zones.
bool isFractionElement(std::string_view el) { return el.size() >= 2 && el.substr(0, 2) == "FF"; }
bool isZoneElement(std::string_view el) { return el.size() == 3 && el.substr(0, 2) == "TZ"; }

// Reads the next element of a mask at i (case-insensitive); returns its canonical name or "".
// The name points into kElems: no copies, since every date conversion calls this per element.
std::string_view elementAt(const std::string &mask, size_t i) {
  std::string_view best;
  const size_t rest = mask.size() - i;
  for (const char *e : kElems) {
    const size_t n = std::strlen(e);
    if (n > rest || n <= best.size())
      continue;
    size_t k = 0;
    while (k < n && std::toupper(static_cast<unsigned char>(mask[i + k])) == e[k])
      ++k;
    if (k == n)
      best = std::string_view(e, n);
  }
  return best;
}

// Whether text at p starts with the upper-case word (case-insensitive), without copies.
bool startsWithWord(const std::string &text, size_t p, const char *word, size_t n) {
  if (p > text.size() || text.size() - p < n)
    return false;
  for (size_t k = 0; k < n; ++k)
    if (std::toupper(static_cast<unsigned char>(text[p + k])) != word[k])
      return false;
  return true;
}

bool digit(char c) { return c >= '0' && c <= '9'; }
int twoDigits(const char *t) { return (t[0] - '0') * 10 + (t[1] - '0'); }

// The month of three letters in any case ("jan", "Feb"), 1 to 12; 0 when none.
int monthOfAbbreviation(const char *t) {
  const char a = static_cast<char>(std::toupper(static_cast<unsigned char>(t[0])));
  const char b = static_cast<char>(std::toupper(static_cast<unsigned char>(t[1])));
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(t[2])));
  for (int m = 0; m < 12; ++m)
    if (kMonths[m][0] == a && kMonths[m][1] == b && kMonths[m][2] == c)
      return m + 1;
  return 0;
}

// The common shapes read directly: "DD-MON-YY" under the default format and
// "YYYY-MM-DD HH24:MI:SS" under that format. Only valid dates are taken here; anything else
// (other shapes, out-of-range fields, errors) is left to the mask reader, which gives the same
// value for what is taken here.
bool parseCommonShape(const std::string &text, const std::string &mask, OraDateValue &d) {
  const char *t = text.data();
  if (text.size() == 9 && (mask.empty() || mask == "DD-MON-YY")) {
    if (!digit(t[0]) || !digit(t[1]) || t[2] != '-' || t[6] != '-' || !digit(t[7]) || !digit(t[8]))
      return false;
    const int month = monthOfAbbreviation(t + 3);
    const int day = twoDigits(t);
    if (!month || day < 1)
      return false;
    const int thisYear = nowDate().year;
    const int year = thisYear - thisYear % 100 + twoDigits(t + 7);
    if (year == 0 || year < -4712 || year > 9999 || day > daysInMonth(year, month))
      return false;
    d = OraDateValue{year, month, day, 0, 0, 0};
    return true;
  }
  if (text.size() == 19 && mask == "YYYY-MM-DD HH24:MI:SS") {
    static const int kDigits[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    for (int k : kDigits)
      if (!digit(t[k]))
        return false;
    if (t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
      return false;
    OraDateValue v{twoDigits(t) * 100 + twoDigits(t + 2),
                   twoDigits(t + 5),
                   twoDigits(t + 8),
                   twoDigits(t + 11),
                   twoDigits(t + 14),
                   twoDigits(t + 17)};
    if (v.year == 0 || v.month < 1 || v.month > 12 || v.day < 1 ||
        v.day > daysInMonth(v.year, v.month) || v.hour > 23 || v.minute > 59 || v.second > 59)
      return false;
    d = v;
    return true;
  }
  return false;
}

} // namespace

int daysInMonth(int y, int m) {
  static const int d[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leap(y) ? 29 : d[m - 1];
}

int storeDateTo(const OraDateValue &d, char *out) {
  auto in = [](int v, int limit) { return v >= 0 && v <= limit; };
  if (in(d.year, 9999) && in(d.month, 99) && in(d.day, 99) && in(d.hour, 99) && in(d.minute, 99) &&
      in(d.second, 99)) {
    auto two = [&](int at, int v) {
      out[at] = static_cast<char>('0' + v / 10);
      out[at + 1] = static_cast<char>('0' + v % 10);
    };
    two(0, d.year / 100);
    two(2, d.year % 100);
    out[4] = '-';
    two(5, d.month);
    out[7] = '-';
    two(8, d.day);
    out[10] = ' ';
    two(11, d.hour);
    out[13] = ':';
    two(14, d.minute);
    out[16] = ':';
    two(17, d.second);
    out[19] = 0;
    return 19;
  }
  return std::snprintf(out, kStoredDateBuffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month,
                       d.day, d.hour, d.minute, d.second);
}

std::string storeDate(const OraDateValue &d) {
  char buf[kStoredDateBuffer];
  const int n = storeDateTo(d, buf);
  return std::string(buf, static_cast<size_t>(std::min(n, kStoredDateBuffer - 1)));
}

std::optional<OraDateValue> loadDate(const char *t, size_t n) {
  // "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD"; a timestamp adds ".fffffffff", with a time zone
  // the text is of UTC and "+HH:MM" follows.
  if (n != 19 && n != 10 && n != 29 && n != 35)
    return std::nullopt;
  auto num = [&](size_t at, size_t len, int &out) {
    int v = 0;
    for (size_t k = at; k < at + len; ++k) {
      if (t[k] < '0' || t[k] > '9')
        return false;
      v = v * 10 + (t[k] - '0');
    }
    out = v;
    return true;
  };
  OraDateValue d;
  if (!num(0, 4, d.year) || t[4] != '-' || !num(5, 2, d.month) || t[7] != '-' || !num(8, 2, d.day))
    return std::nullopt;
  if (n >= 19 && (t[10] != ' ' || !num(11, 2, d.hour) || t[13] != ':' || !num(14, 2, d.minute) ||
                  t[16] != ':' || !num(17, 2, d.second)))
    return std::nullopt;
  if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month) ||
      d.hour > 23 || d.minute > 59 || d.second > 59)
    return std::nullopt;
  if (n >= 29 && (t[19] != '.' || !num(20, 9, d.nanos)))
    return std::nullopt;
  if (n == 35) {
    int zh = 0, zm = 0;
    if ((t[29] != '+' && t[29] != '-') || !num(30, 2, zh) || t[32] != ':' || !num(33, 2, zm))
      return std::nullopt;
    return inZone(d, (t[29] == '-' ? -1 : 1) * (zh * 60 + zm));
  }
  return d;
}

int64_t epochSeconds(const OraDateValue &d) {
  return static_cast<int64_t>(daysFromCivil(d.year, d.month, d.day)) * 86400 + d.hour * 3600 +
         d.minute * 60 + d.second;
}

OraDateValue fromEpochSeconds(int64_t secs, int nanos) {
  int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
  int64_t rest = secs - days * 86400;
  OraDateValue d;
  civilFromDays(static_cast<long>(days), d.year, d.month, d.day);
  d.hour = static_cast<int>(rest / 3600);
  d.minute = static_cast<int>(rest / 60 % 60);
  d.second = static_cast<int>(rest % 60);
  d.nanos = nanos;
  return d;
}

OraDateValue inZone(const OraDateValue &d, int zoneMinutes) {
  const int from = d.zoned ? d.zoneMinutes : 0;
  OraDateValue r = fromEpochSeconds(epochSeconds(d) + (zoneMinutes - from) * 60LL, d.nanos);
  r.zoned = true;
  r.zoneMinutes = zoneMinutes;
  return r;
}

std::string storeTimestamp(const OraDateValue &d) {
  const OraDateValue u =
      d.zoned ? fromEpochSeconds(epochSeconds(d) - d.zoneMinutes * 60LL, d.nanos) : d;
  char buf[64];
  int n = storeDateTo(u, buf);
  n += std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), ".%09d", u.nanos);
  if (d.zoned) {
    const int z = d.zoneMinutes < 0 ? -d.zoneMinutes : d.zoneMinutes;
    std::snprintf(buf + n, sizeof buf - static_cast<size_t>(n), "%c%02d:%02d",
                  d.zoneMinutes < 0 ? '-' : '+', z / 60, z % 60);
  }
  return buf;
}

int sessionZoneMinutes() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return static_cast<int>(tm.tm_gmtoff / 60);
}

OraDateValue roundFraction(const OraDateValue &d, int digits) {
  if (digits >= 9)
    return d;
  int unit = 1;
  for (int i = digits; i < 9; ++i)
    unit *= 10;
  int nanos = (d.nanos + unit / 2) / unit * unit;
  if (nanos < 1000000000) {
    OraDateValue r = d;
    r.nanos = nanos;
    return r;
  }
  OraDateValue r = fromEpochSeconds(epochSeconds(d) + 1, 0);
  r.zoned = d.zoned;
  r.zoneMinutes = d.zoneMinutes;
  return r;
}

OraDateValue nowTimestamp() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  OraDateValue d{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
  d.nanos = static_cast<int>(ts.tv_nsec / 1000 * 1000);
  d.zoned = true;
  d.zoneMinutes = static_cast<int>(tm.tm_gmtoff / 60);
  return d;
}

int formatDefaultDate(const char *s, size_t n, char *out) {
  auto d = loadDate(s, n);
  if (!d) {
    size_t k = n < 9 ? n : 9;
    std::memcpy(out, s, k);
    out[k] = 0;
    return static_cast<int>(k);
  }
  const char *mon = kMonths[d->month - 1];
  out[0] = static_cast<char>('0' + d->day / 10);
  out[1] = static_cast<char>('0' + d->day % 10);
  out[2] = '-';
  out[3] = mon[0], out[4] = mon[1], out[5] = mon[2];
  out[6] = '-';
  int yy = d->year % 100;
  out[7] = static_cast<char>('0' + yy / 10);
  out[8] = static_cast<char>('0' + yy % 10);
  out[9] = 0;
  return 9;
}

double toJulian(const OraDateValue &d) {
  double days = static_cast<double>(daysFromCivil(d.year, d.month, d.day)) + 2440588.0;
  return days + (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
}

OraDateValue fromJulian(double jd) {
  // Far outside Oracle's years (4712 BC to 9999): a year the callers refuse (ORA-01841).
  if (!(jd > -1e7 && jd < 1e7))
    return OraDateValue{100000, 1, 1, 0, 0, 0};
  double dayPart = std::floor(jd);
  long secs = std::lround((jd - dayPart) * 86400.0);
  long z = static_cast<long>(dayPart) - 2440588;
  if (secs >= 86400)
    secs -= 86400, ++z;
  OraDateValue d;
  civilFromDays(z, d.year, d.month, d.day);
  d.hour = static_cast<int>(secs / 3600);
  d.minute = static_cast<int>(secs / 60 % 60);
  d.second = static_cast<int>(secs % 60);
  return d;
}

OraDateValue addMonths(const OraDateValue &d, int months) {
  OraDateValue r = d;
  long total = static_cast<long>(d.year) * 12 + (d.month - 1) + months;
  long year = total >= 0 ? total / 12 : -((-total + 11) / 12); // floor, for years before 1 too
  r.year = static_cast<int>(year);
  r.month = static_cast<int>(total - year * 12) + 1;
  int last = daysInMonth(r.year, r.month);
  // The last day of a month maps to the last day of the other month.
  if (d.day == daysInMonth(d.year, d.month) || d.day > last)
    r.day = last;
  return r;
}

OraDateValue nowDate() {
  // Every date read asks for the current year; the local time of one second is kept per thread.
  thread_local std::time_t lastSecond = -1;
  thread_local OraDateValue last;
  std::time_t t = std::time(nullptr);
  if (t != lastSecond) {
    std::tm tm{};
    localtime_r(&t, &tm);
    last = OraDateValue{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                        tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    lastSecond = t;
  }
  return last;
}

namespace {

// A number in English words, as the SP suffix and YEAR write it ("NINETEEN EIGHTY-ONE").
std::string spell(long n) {
  static const char *kSmall[] = {"ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",
                                 "FIVE",    "SIX",     "SEVEN",     "EIGHT",    "NINE",
                                 "TEN",     "ELEVEN",  "TWELVE",    "THIRTEEN", "FOURTEEN",
                                 "FIFTEEN", "SIXTEEN", "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
  static const char *kTens[] = {"",      "",      "TWENTY",  "THIRTY", "FORTY",
                                "FIFTY", "SIXTY", "SEVENTY", "EIGHTY", "NINETY"};
  if (n < 0)
    return "MINUS " + spell(-n);
  if (n < 20)
    return kSmall[n];
  if (n < 100)
    return std::string(kTens[n / 10]) + (n % 10 ? std::string("-") + kSmall[n % 10] : "");
  auto part = [&](long unit, const char *name) {
    return spell(n / unit) + " " + name + (n % unit ? " " + spell(n % unit) : "");
  };
  if (n < 1000)
    return part(100, "HUNDRED");
  if (n < 1000000)
    return part(1000, "THOUSAND");
  return part(1000000, "MILLION");
}

// The ordinal of spelled words: FOUR → FOURTH, TWENTY → TWENTIETH, ONE → FIRST.
std::string spellOrdinal(long n) {
  std::string w = spell(n);
  size_t b = w.find_last_of(" -");
  b = b == std::string::npos ? 0 : b + 1;
  std::string last = w.substr(b);
  static const std::pair<const char *, const char *> kIrregular[] = {
      {"ONE", "FIRST"},    {"TWO", "SECOND"}, {"THREE", "THIRD"},   {"FIVE", "FIFTH"},
      {"EIGHT", "EIGHTH"}, {"NINE", "NINTH"}, {"TWELVE", "TWELFTH"}};
  for (auto &p : kIrregular)
    if (last == p.first)
      return w.substr(0, b) + p.second;
  if (last.back() == 'Y')
    return w.substr(0, b) + last.substr(0, last.size() - 1) + "IETH";
  return w + "TH";
}

std::string ordinalSuffix(long n) {
  long t = n % 100;
  if (t >= 11 && t <= 13)
    return "TH";
  switch (n % 10) {
  case 1:
    return "ST";
  case 2:
    return "ND";
  case 3:
    return "RD";
  default:
    return "TH";
  }
}

// Words in the letter case of the mask element: "DDSP" FOUR, "Ddsp" Four, "ddsp" four; an
// initial capital starts every word.
std::string wordsLike(const std::string &w, const std::string &elem) {
  bool up0 = !elem.empty() && std::isupper(static_cast<unsigned char>(elem[0]));
  bool up1 = elem.size() > 1 ? std::isupper(static_cast<unsigned char>(elem[1])) != 0 : up0;
  std::string r = w;
  bool start = true;
  for (char &c : r) {
    bool upper = up1 || (up0 && start);
    c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                : std::tolower(static_cast<unsigned char>(c)));
    start = c == ' ' || c == '-';
  }
  return r;
}

std::string romanNumeral(long n) {
  static const std::pair<int, const char *> kRoman[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  std::string r;
  for (auto &p : kRoman)
    while (n >= p.first) {
      r += p.second;
      n -= p.first;
    }
  return r;
}

// ISO 8601 week of the year (weeks start on Monday; week 1 holds the year's first Thursday).
int isoWeek(const OraDateValue &d) {
  long days = daysFromCivil(d.year, d.month, d.day);
  int isoDow = static_cast<int>(((days % 7) + 10) % 7) + 1; // 1 = Monday
  long thursday = days - isoDow + 4;
  long y = d.year;
  if (thursday < daysFromCivil(d.year, 1, 1))
    y = d.year - 1;
  else if (thursday >= daysFromCivil(d.year + 1, 1, 1))
    y = d.year + 1;
  return static_cast<int>((thursday - daysFromCivil(static_cast<int>(y), 1, 1)) / 7 + 1);
}

} // namespace

std::optional<std::string> formatDate(const OraDateValue &d, const std::string &maskIn,
                                      int fraction) {
  std::string mask = maskIn.empty() ? "DD-MON-YY" : maskIn;
  std::string out;
  bool fm = false;
  int dow = static_cast<int>((daysFromCivil(d.year, d.month, d.day) % 7 + 11) % 7); // 0 = Sunday
  std::string orig;
  size_t i = 0;
  auto num = [&](long v, int width) {
    // A number element may carry TH (ordinal suffix), SP (spelled), SPTH or THSP.
    auto suffix = [&](const char *sfx) {
      size_t n = std::strlen(sfx);
      if (mask.size() - i < n)
        return std::string();
      for (size_t k = 0; k < n; ++k)
        if (std::toupper(static_cast<unsigned char>(mask[i + k])) != sfx[k])
          return std::string();
      std::string written = mask.substr(i, n);
      i += n;
      return written;
    };
    std::string sfx;
    for (const char *cand : {"SPTH", "THSP", "SP", "TH"})
      if (sfx.empty())
        sfx = suffix(cand);
    std::string upper = sfx;
    for (char &c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "SP" || upper == "SPTH" || upper == "THSP") {
      out += wordsLike(upper == "SP" ? spell(v) : spellOrdinal(v), orig);
      return;
    }
    char buf[32];
    if (fm)
      std::snprintf(buf, sizeof buf, "%ld", v);
    else
      std::snprintf(buf, sizeof buf, "%0*ld", width, v);
    out += buf;
    if (upper == "TH")
      out += std::islower(static_cast<unsigned char>(sfx[0])) ? wordsLike(ordinalSuffix(v), "th")
                                                              : ordinalSuffix(v);
  };
  auto word = [&](const std::string &w, size_t pad, const std::string &elem) {
    std::string s = caseLike(w, elem);
    if (!fm && s.size() < pad)
      s += std::string(pad - s.size(), ' ');
    out += s;
  };
  while (i < mask.size()) {
    char c = mask[i];
    if (c == '"') {
      size_t e = mask.find('"', i + 1);
      if (e == std::string::npos)
        return std::nullopt;
      out += mask.substr(i + 1, e - i - 1);
      i = e + 1;
      continue;
    }
    std::string_view el = elementAt(mask, i);
    if (el.empty()) {
      if (std::isalnum(static_cast<unsigned char>(c)))
        return std::nullopt;
      out += c;
      ++i;
      continue;
    }
    orig = mask.substr(i, el.size());
    i += el.size();
    int h12 = d.hour % 12 == 0 ? 12 : d.hour % 12;
    if (((isFractionElement(el) || el == "X") && fraction < 0) || (isZoneElement(el) && !d.zoned))
      return std::nullopt;
    const int zone = d.zoneMinutes < 0 ? -d.zoneMinutes : d.zoneMinutes;
    char zbuf[16];
    if (isFractionElement(el)) {
      char digits[16];
      std::snprintf(digits, sizeof digits, "%09d", d.nanos);
      out.append(digits, static_cast<size_t>(el.size() == 2 ? fraction : el[2] - '0'));
    } else if (el == "X") {
      out += '.';
    } else if (el == "TZH" || el == "TZR") {
      std::snprintf(zbuf, sizeof zbuf, el == "TZH" ? "%c%02d" : "%c%02d:%02d",
                    d.zoneMinutes < 0 ? '-' : '+', zone / 60, zone % 60);
      out += zbuf;
    } else if (el == "TZM") {
      std::snprintf(zbuf, sizeof zbuf, "%02d", zone % 60);
      out += zbuf;
    } else if (el == "TZD") {
      // A zone given as an offset has no daylight-saving abbreviation.
    } else if (el == "YEAR") {
      int y = d.year, hi = y / 100, lo = y % 100;
      std::string w = lo == 0 && hi % 10 != 0   ? spell(hi) + " HUNDRED"
                      : hi % 10 == 0 && lo < 10 ? spell(y)
                                                : spell(hi) + " " + spell(lo);
      out += wordsLike(w, orig);
    } else if (el == "RM") {
      std::string r = romanNumeral(d.month);
      if (!fm)
        r += std::string(4 - r.size(), ' ');
      out += std::islower(static_cast<unsigned char>(orig[0])) ? wordsLike(r, "rm") : r;
    } else if (el == "CC" || el == "SCC")
      num((d.year - 1) / 100 + 1, 2);
    else if (el == "IW")
      num(isoWeek(d), 2);
    else if (el == "FM")
      fm = !fm;
    else if (el == "YYYY" || el == "RRRR" || el == "SYYYY")
      num(d.year, 4);
    else if (el == "YYY")
      num(d.year % 1000, 3);
    else if (el == "YY" || el == "RR")
      num(d.year % 100, 2);
    else if (el == "Y")
      num(d.year % 10, 1);
    else if (el == "MM")
      num(d.month, 2);
    else if (el == "MONTH")
      word(kMonths[d.month - 1], 9, orig);
    else if (el == "MON")
      word(std::string(kMonths[d.month - 1], 3), 3, orig);
    else if (el == "DD")
      num(d.day, 2);
    else if (el == "DDD")
      num(daysFromCivil(d.year, d.month, d.day) - daysFromCivil(d.year, 1, 1) + 1, 3);
    else if (el == "D")
      num(dow + 1, 1);
    else if (el == "DAY")
      word(kDays[dow], 9, orig);
    else if (el == "DY")
      word(std::string(kDays[dow], 3), 3, orig);
    else if (el == "HH" || el == "HH12")
      num(h12, 2);
    else if (el == "HH24")
      num(d.hour, 2);
    else if (el == "MI")
      num(d.minute, 2);
    else if (el == "SS")
      num(d.second, 2);
    else if (el == "SSSSS")
      num(d.hour * 3600 + d.minute * 60 + d.second, 5);
    else if (el == "AM" || el == "PM")
      out += caseLike(d.hour < 12 ? "AM" : "PM", orig);
    else if (el == "A.M." || el == "P.M.")
      out += caseLike(d.hour < 12 ? "A.M." : "P.M.", orig);
    else if (el == "J")
      num(static_cast<long>(toJulian(d)), 7);
    else if (el == "Q")
      num((d.month - 1) / 3 + 1, 1);
    else if (el == "WW")
      num((daysFromCivil(d.year, d.month, d.day) - daysFromCivil(d.year, 1, 1)) / 7 + 1, 2);
    else if (el == "W")
      num((d.day - 1) / 7 + 1, 1);
  }
  return out;
}

std::optional<OraDateValue> parseDate(const std::string &text, const std::string &mask, int &err) {
  OraDateValue d;
  if (parseCommonShape(text, mask, d))
    return d;
  return parseDateByMask(text, mask, err);
}

namespace {

// Reads a date from text by a format mask, one element at a time. Every reader method returns
// false with err set to Oracle's error when the text does not fit.
class DateTextReader {
public:
  DateTextReader(const std::string &text, int &err, bool timestamp = false)
      : FText(text), FErr(err), FNow(nowDate()), FTimestamp(timestamp) {
    FDate.year = FNow.year;
    FDate.month = FNow.month;
    FDate.day = 1;
  }

  std::optional<OraDateValue> read(const std::string &mask) {
    for (size_t i = 0; i < mask.size();) {
      if (mask[i] == '"') {
        if (!literal(mask, i))
          return std::nullopt;
        continue;
      }
      std::string_view el = elementAt(mask, i);
      if (el.empty()) {
        if (std::isalnum(static_cast<unsigned char>(mask[i])))
          return failed(1821);
        // Punctuation in the mask matches any punctuation (or none) in the text; a sign before
        // a time zone is the zone's.
        const bool zoneSign = FPos < FText.size() && (FText[FPos] == '+' || FText[FPos] == '-') &&
                              i + 1 < mask.size() && isZoneElement(elementAt(mask, i + 1));
        if (FPos < FText.size() && !std::isalnum(static_cast<unsigned char>(FText[FPos])) &&
            !zoneSign)
          ++FPos;
        ++i;
        continue;
      }
      i += el.size();
      if (el == "FM")
        continue;
      if (FPos >= FText.size())
        break; // Oracle accepts an input that ends early when the rest is time or blanks
      if (!element(el))
        return std::nullopt;
    }
    skipBlanks();
    if (FPos < FText.size())
      return failed(1830);
    if (FPm)
      FDate.hour += 12;
    if (FDate.year == 0 || FDate.year < -4712 || FDate.year > 9999)
      return failed(1841);
    if (FDate.day > daysInMonth(FDate.year, FDate.month))
      return failed(1839);
    return FDate;
  }

private:
  const std::string &FText;
  int &FErr;
  OraDateValue FNow, FDate;
  bool FTimestamp = false; // FF and the zone elements are allowed
  bool FPm = false;
  size_t FPos = 0;

  std::nullopt_t failed(int code) {
    FErr = code;
    return std::nullopt;
  }
  bool fail(int code) {
    FErr = code;
    return false;
  }
  void skipBlanks() {
    while (FPos < FText.size() && FText[FPos] == ' ')
      ++FPos;
  }
  // Up to maxDigits digits (a sign only where four or more are allowed: years, Julian days).
  bool number(size_t maxDigits, long &v) {
    skipBlanks();
    bool neg = false;
    if (FPos < FText.size() && (FText[FPos] == '-' || FText[FPos] == '+') && maxDigits >= 4)
      neg = FText[FPos++] == '-';
    size_t start = FPos;
    v = 0;
    while (FPos < FText.size() && FPos - start < maxDigits &&
           std::isdigit(static_cast<unsigned char>(FText[FPos])))
      v = v * 10 + (FText[FPos++] - '0');
    if (neg)
      v = -v;
    return FPos > start;
  }
  // A number within [lo, hi]: ORA-01858 when there is none, rangeError when it is outside.
  bool numberIn(size_t maxDigits, long lo, long hi, int rangeError, long &v) {
    if (!number(maxDigits, v))
      return fail(1858);
    return v >= lo && v <= hi ? true : fail(rangeError);
  }
  // "text" in the mask must stand in the input as it is (case aside).
  bool literal(const std::string &mask, size_t &i) {
    size_t e = mask.find('"', i + 1);
    if (e == std::string::npos)
      return fail(1821);
    size_t len = e - i - 1;
    if (upperAscii(FText.substr(FPos, len)) != upperAscii(mask.substr(i + 1, len)))
      return fail(1861);
    FPos += len;
    i = e + 1;
    return true;
  }
  // A two-digit year of RR / RRRR: the century that puts it nearest to now.
  int roundedYear(long v) const {
    int cy = FNow.year % 100, base = FNow.year - cy;
    return static_cast<int>(v < 50 ? (cy < 50 ? base + v : base + 100 + v)
                                   : (cy < 50 ? base - 100 + v : base + v));
  }
  // One of the names (full or its first three letters), as its 1-based number; 0 for none.
  int name(const char *const *names, int count) {
    skipBlanks();
    for (int k = 0; k < count; ++k) {
      const size_t n = std::strlen(names[k]);
      if (startsWithWord(FText, FPos, names[k], n)) {
        FPos += n;
        return k + 1;
      }
      if (startsWithWord(FText, FPos, names[k], 3)) {
        FPos += 3;
        return k + 1;
      }
    }
    return 0;
  }

  bool element(std::string_view el) {
    if (isFractionElement(el) || isZoneElement(el) || el == "X")
      return timestampElement(el);
    if (el == "YYYY" || el == "RRRR" || el == "SYYYY" || el == "YYY" || el == "YY" || el == "RR" ||
        el == "Y")
      return year(el);
    long v = 0;
    if (el == "MM") {
      if (!numberIn(2, 1, 12, 1843, v))
        return false;
      FDate.month = static_cast<int>(v);
    } else if (el == "MON" || el == "MONTH") {
      FDate.month = name(kMonths, 12);
      if (!FDate.month)
        return fail(1843);
    } else if (el == "DD") {
      if (!numberIn(2, 1, 31, 1847, v))
        return false;
      FDate.day = static_cast<int>(v);
    } else if (el == "DDD") {
      if (!number(3, v))
        return fail(1858);
      OraDateValue j = fromJulian(toJulian(OraDateValue{FDate.year, 1, 1, 0, 0, 0}) + v - 1);
      FDate.month = j.month;
      FDate.day = j.day;
    } else if (el == "DY" || el == "DAY") {
      if (!name(kDays, 7))
        return fail(1846);
    } else if (el == "D") {
      number(1, v);
    } else if (el == "J") {
      if (!number(7, v))
        return fail(1858);
      OraDateValue j = fromJulian(static_cast<double>(v));
      FDate.year = j.year, FDate.month = j.month, FDate.day = j.day;
    } else {
      return time(el);
    }
    return true;
  }

  // Fractions of a second and time zones: TO_TIMESTAMP's elements (ORA-01821 in TO_DATE).
  bool timestampElement(std::string_view el) {
    if (!FTimestamp)
      return fail(1821);
    if (el == "X") {
      if (FPos < FText.size() && FText[FPos] == '.')
        ++FPos;
      return true;
    }
    if (isFractionElement(el)) {
      const size_t start = FPos, most = el.size() == 2 ? 9 : static_cast<size_t>(el[2] - '0');
      long v = 0;
      while (FPos < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos]))) {
        if (FPos - start == most)
          return fail(1880); // the fractional seconds must be between 0 and 999999999
        v = v * 10 + (FText[FPos++] - '0');
      }
      for (size_t k = FPos - start; k < 9; ++k)
        v *= 10;
      FDate.nanos = static_cast<int>(v);
      return true;
    }
    skipBlanks();
    long v = 0;
    FDate.zoned = true;
    if (el == "TZH" || el == "TZR") {
      if (el == "TZR" &&
          (startsWithWord(FText, FPos, "UTC", 3) || startsWithWord(FText, FPos, "GMT", 3))) {
        FPos += 3;
        FDate.zoneMinutes = 0;
        return true;
      }
      bool neg = false;
      if (FPos < FText.size() && (FText[FPos] == '+' || FText[FPos] == '-'))
        neg = FText[FPos++] == '-';
      else if (el == "TZR" && FPos < FText.size() &&
               std::isalpha(static_cast<unsigned char>(FText[FPos])))
        return fail(1882); // a region by name: only offsets, UTC and GMT are known here
      if (!number(2, v))
        return fail(1858);
      if (v > 15)
        return fail(1874);
      FDate.zoneMinutes = static_cast<int>((neg ? -1 : 1) * v * 60);
      if (el == "TZR" && FPos < FText.size() && FText[FPos] == ':') {
        ++FPos;
        long m = 0;
        if (!number(2, m))
          return fail(1858);
        if (m > 59)
          return fail(1875);
        FDate.zoneMinutes += static_cast<int>((neg ? -1 : 1) * m);
      }
      return true;
    }
    if (el == "TZM") {
      if (!number(2, v))
        return fail(1858);
      if (v > 59)
        return fail(1875);
      FDate.zoneMinutes += static_cast<int>(FDate.zoneMinutes < 0 ? -v : v);
      return true;
    }
    return fail(1821); // TZD: daylight-saving names are not known here
  }

  bool year(std::string_view el) {
    long v = 0;
    size_t s = FPos;
    if (el == "YYYY" || el == "RRRR" || el == "SYYYY") {
      if (!number(4, v))
        return fail(1858);
      FDate.year = FPos - s <= 2 && el == "RRRR" ? roundedYear(v) : static_cast<int>(v);
      return true;
    }
    if (!number(el == "YYY" ? 3 : el == "Y" ? 1 : 4, v))
      return fail(1858);
    if (FPos - s > 2 && el != "YYY") {
      FDate.year = static_cast<int>(v); // a full year given where YY was asked
    } else if (el == "RR") {
      FDate.year = roundedYear(v);
    } else {
      int mod = el == "YYY" ? 1000 : el == "Y" ? 10 : 100;
      FDate.year = static_cast<int>(FNow.year - FNow.year % mod + v);
    }
    return true;
  }

  bool time(std::string_view el) {
    long v = 0;
    if (el == "HH" || el == "HH12") {
      if (!numberIn(2, 1, 12, 1849, v))
        return false;
      FDate.hour = static_cast<int>(v % 12);
    } else if (el == "HH24") {
      if (!numberIn(2, 0, 23, 1850, v))
        return false;
      FDate.hour = static_cast<int>(v);
    } else if (el == "MI") {
      if (!numberIn(2, 0, 59, 1851, v))
        return false;
      FDate.minute = static_cast<int>(v);
    } else if (el == "SS") {
      if (!numberIn(2, 0, 59, 1852, v))
        return false;
      FDate.second = static_cast<int>(v);
    } else if (el == "SSSSS") {
      if (!number(5, v) || v >= 86400)
        return fail(1858);
      FDate.hour = static_cast<int>(v / 3600);
      FDate.minute = static_cast<int>(v / 60 % 60);
      FDate.second = static_cast<int>(v % 60);
    } else if (el == "AM" || el == "PM" || el == "A.M." || el == "P.M.") {
      skipBlanks();
      std::string w = upperAscii(FText.substr(FPos, el.size()));
      if (w != "AM" && w != "A.M." && w != "PM" && w != "P.M.")
        return fail(1855);
      FPm = w[0] == 'P';
      FPos += el.size();
    } else {
      return fail(1820);
    }
    return true;
  }
};

} // namespace

std::optional<OraDateValue> parseDateByMask(const std::string &text, const std::string &maskIn,
                                            int &err) {
  DateTextReader reader(text, err);
  return reader.read(maskIn.empty() ? "DD-MON-YY" : maskIn);
}

std::optional<OraDateValue> parseTimestamp(const std::string &text, const std::string &mask,
                                           int &err) {
  DateTextReader reader(text, err, true);
  return reader.read(mask);
}

namespace {

int digitsOf(int64_t v) {
  int n = 1;
  for (v = v < 0 ? -v : v; v >= 10; v /= 10)
    ++n;
  return n;
}

// Fits `value` within `leading` digits (ORA-01873 otherwise).
bool leadingFits(int64_t value, int leading) { return digitsOf(value) <= leading; }

} // namespace

bool yearMonthFits(int64_t months, int leading) {
  return leadingFits((months < 0 ? -months : months) / 12, leading);
}

bool daySecondFits(int64_t nanos, int leading) {
  return leadingFits((nanos < 0 ? -nanos : nanos) / kNanosPerDay, leading);
}

std::optional<int64_t> parseInterval(const std::string &textIn, IntervalField first,
                                     IntervalField last, int leading, int &err) {
  // Blanks around the text and a sign before it; then the fields, each after its separator.
  size_t b = textIn.find_first_not_of(' '), e = textIn.find_last_not_of(' ');
  std::string t = b == std::string::npos ? std::string() : textIn.substr(b, e - b + 1);
  size_t p = 0;
  bool neg = false;
  if (p < t.size() && (t[p] == '+' || t[p] == '-'))
    neg = t[p++] == '-';
  auto invalid = [&]() -> std::optional<int64_t> {
    err = 1867;
    return std::nullopt;
  };
  const bool yearMonth = first <= IntervalField::Month;
  if (yearMonth != (last <= IntervalField::Month) || last < first)
    return invalid();
  int64_t fields[6] = {0, 0, 0, 0, 0, 0};
  int64_t nanos = 0;
  for (int f = static_cast<int>(first); f <= static_cast<int>(last); ++f) {
    if (f > static_cast<int>(first)) {
      const char sep = f == 1 ? '-' : f == 3 ? ' ' : ':';
      if (p >= t.size() || t[p] != sep)
        return invalid();
      ++p;
    }
    const size_t start = p;
    int64_t v = 0;
    while (p < t.size() && std::isdigit(static_cast<unsigned char>(t[p])) && p - start < 18)
      v = v * 10 + (t[p++] - '0');
    if (p == start)
      return invalid();
    if (f == static_cast<int>(first)) {
      if (static_cast<int>(p - start) > leading) {
        err = 1873;
        return std::nullopt;
      }
    } else {
      static const int kLimits[6] = {0, 11, 0, 23, 59, 59};
      static const int kErrors[6] = {1843, 1843, 0, 1850, 1851, 1852};
      if (p - start > 2)
        return invalid();
      if (v > kLimits[f]) {
        err = kErrors[f];
        return std::nullopt;
      }
    }
    fields[f] = v;
    if (f == static_cast<int>(IntervalField::Second) && p < t.size() && t[p] == '.') {
      const size_t fs = ++p;
      while (p < t.size() && std::isdigit(static_cast<unsigned char>(t[p]))) {
        if (p - fs == 9) {
          err = 1880;
          return std::nullopt;
        }
        nanos = nanos * 10 + (t[p++] - '0');
      }
      for (size_t k = p - fs; k < 9; ++k)
        nanos *= 10;
    }
  }
  if (p != t.size())
    return invalid();
  int64_t r;
  if (yearMonth) {
    r = fields[0] * 12 + fields[1];
  } else {
    // Beyond a 64-bit count of nanoseconds (about 106000 days) the value cannot be kept.
    if (fields[2] > 106000 || fields[3] > 106000 * 24LL || fields[4] > 106000 * 1440LL ||
        fields[5] > 106000 * 86400LL) {
      err = 1873;
      return std::nullopt;
    }
    r = ((fields[2] * 24 + fields[3]) * 60 + fields[4]) * 60 + fields[5];
    r = r * 1000000000LL + nanos;
  }
  return neg ? -r : r;
}

std::string formatYearMonth(int64_t months, int leading) {
  const int64_t m = months < 0 ? -months : months;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%c%0*lld-%02lld", months < 0 ? '-' : '+', leading,
                static_cast<long long>(m / 12), static_cast<long long>(m % 12));
  return buf;
}

std::string formatDaySecond(int64_t nanos, int leading, int fraction) {
  const int64_t n = nanos < 0 ? -nanos : nanos;
  const int64_t secs = n / 1000000000LL;
  char buf[64];
  int len = std::snprintf(
      buf, sizeof buf, "%c%0*lld %02lld:%02lld:%02lld", nanos < 0 ? '-' : '+', leading,
      static_cast<long long>(secs / 86400), static_cast<long long>(secs / 3600 % 24),
      static_cast<long long>(secs / 60 % 60), static_cast<long long>(secs % 60));
  if (fraction > 0) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%09lld", static_cast<long long>(n % 1000000000LL));
    std::snprintf(buf + len, sizeof buf - static_cast<size_t>(len), ".%.*s", fraction, digits);
  }
  return buf;
}

} // namespace localdb
