// Oracle DATE semantics: the stored text "YYYY-MM-DD HH:MM:SS", the default DD-MON-YY text,
// date format masks and date arithmetic; TIMESTAMP [WITH [LOCAL] TIME ZONE] and INTERVAL values,
// which extend the same text, masks and day numbers.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace localdb {

struct OraDateValue {
  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int nanos = 0;       // a timestamp's fraction of a second
  int zoneMinutes = 0; // a TIMESTAMP WITH TIME ZONE's offset from UTC (the fields are local)
  bool zoned = false;  // the value has a time zone (TZH / TZM / TZR apply)
};

// The stored form, "YYYY-MM-DD HH:MM:SS" (sortable and comparable as text).
std::string storeDate(const OraDateValue &d);
// The same text into a buffer of kStoredDateBuffer bytes (NUL-terminated); returns its length.
constexpr int kStoredDateBuffer = 40;
int storeDateTo(const OraDateValue &d, char *out);
std::optional<OraDateValue> loadDate(const char *text, size_t length);

// Timestamps are stored as "YYYY-MM-DD HH:MM:SS.fffffffff", with a time zone as the same text of
// the UTC time followed by the offset "+HH:MM": text order is time order, as for dates, and a
// date's text is a timestamp's first 19 characters. loadDate reads all of these forms.
std::string storeTimestamp(const OraDateValue &d);
// The time zone of the session (the system's offset now), in minutes east of UTC.
int sessionZoneMinutes();
// The same instant in another time zone.
OraDateValue inZone(const OraDateValue &d, int zoneMinutes);
// Seconds since 1970-01-01 of the fields (the zone ignored), and back (nanos kept).
int64_t epochSeconds(const OraDateValue &d);
OraDateValue fromEpochSeconds(int64_t seconds, int nanos);
// The fraction rounded to `digits` decimals (0 to 9), carrying into the seconds.
OraDateValue roundFraction(const OraDateValue &d, int digits);
// Now as a TIMESTAMP WITH TIME ZONE in the session's zone (microseconds, as Oracle's clock).
OraDateValue nowTimestamp();

// TO_CHAR(date[, mask]); mask "" means the default DD-MON-YY. nullopt: bad mask (ORA-01821).
// fraction: -1 for a DATE (FF and the zone elements are no DATE elements), otherwise the digits
// FF writes for a timestamp.
std::optional<std::string> formatDate(const OraDateValue &d, const std::string &mask,
                                      int fraction = -1);
// The default text straight into a buffer of at least 10 bytes; returns 9.
int formatDefaultDate(const char *stored, size_t length, char *out);

// TO_DATE(text[, mask]); on failure returns the ORA number in errorCode. The common shapes
// (DD-MON-YY under the default format, YYYY-MM-DD HH24:MI:SS under that format) are read
// directly; everything else goes through parseDateByMask.
std::optional<OraDateValue> parseDate(const std::string &text, const std::string &mask,
                                      int &errorCode);
// The general mask reader alone, element by element: what parseDate gives for every input.
std::optional<OraDateValue> parseDateByMask(const std::string &text, const std::string &mask,
                                            int &errorCode);
// TO_TIMESTAMP / TO_TIMESTAMP_TZ: the mask may also hold FF[1-9], X and the zone elements TZH,
// TZM, TZR; a value without a zone takes the session's.
std::optional<OraDateValue> parseTimestamp(const std::string &text, const std::string &mask,
                                           int &errorCode);

// INTERVAL YEAR TO MONTH as a number of months, INTERVAL DAY TO SECOND as nanoseconds (the days
// of a 64-bit count: about 106000, leading precision or not). Both are stored as integers.
enum class IntervalField { Year, Month, Day, Hour, Minute, Second };
// Reads the text of an interval literal of the fields first..last (INTERVAL '3 04:05' DAY TO
// MINUTE), leading digits at most `leading`. ORA-01867 for a text that does not fit the fields,
// ORA-01873 for too many leading digits, ORA-01850 / 01851 / 01852 for a field out of range.
std::optional<int64_t> parseInterval(const std::string &text, IntervalField first,
                                     IntervalField last, int leading, int &errorCode);
// Oracle's text of an interval: "+01-02", "+03 04:05:06.700000".
std::string formatYearMonth(int64_t months, int leading);
std::string formatDaySecond(int64_t nanos, int leading, int fraction);
// Whether the interval's leading field fits `leading` digits.
bool yearMonthFits(int64_t months, int leading);
bool daySecondFits(int64_t nanos, int leading);
constexpr int64_t kNanosPerDay = 86400LL * 1000000000LL;

// Day numbers (Julian day) and fractions, for date arithmetic.
double toJulian(const OraDateValue &d);
OraDateValue fromJulian(double jd);
int daysInMonth(int year, int month);
OraDateValue addMonths(const OraDateValue &d, int months);
OraDateValue nowDate();

} // namespace localdb
