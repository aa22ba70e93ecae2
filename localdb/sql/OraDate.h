// Oracle DATE semantics: the stored text "YYYY-MM-DD HH:MM:SS", the default DD-MON-YY text,
// date format masks and date arithmetic.
#pragma once
#include <optional>
#include <string>

namespace localdb {

struct OraDateValue {
  int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The stored form, "YYYY-MM-DD HH:MM:SS" (sortable and comparable as text).
std::string storeDate(const OraDateValue &d);
// The same text into a buffer of kStoredDateBuffer bytes (NUL-terminated); returns its length.
constexpr int kStoredDateBuffer = 40;
int storeDateTo(const OraDateValue &d, char *out);
std::optional<OraDateValue> loadDate(const char *text, size_t length);

// TO_CHAR(date[, mask]); mask "" means the default DD-MON-YY. nullopt: bad mask (ORA-01821).
std::optional<std::string> formatDate(const OraDateValue &d, const std::string &mask);
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

// Day numbers (Julian day) and fractions, for date arithmetic.
double toJulian(const OraDateValue &d);
OraDateValue fromJulian(double jd);
int daysInMonth(int year, int month);
OraDateValue addMonths(const OraDateValue &d, int months);
OraDateValue nowDate();

} // namespace localdb
