// Below the contract: numbers and dates as Oracle prints and reads them.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>

#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlFunctions.h"

using namespace localdb;

namespace {
OraNum N(const char *text) { return *parseNumber(text); }
std::string T(const std::optional<OraNum> &n) { return n ? formatNumber(*n) : "ORA-01426"; }
} // namespace

TEST(OraNumber, PrintsAsOracleDoes) {
  EXPECT_EQ(formatInt(3), "3");
  EXPECT_EQ(formatInt(-42), "-42");
  EXPECT_EQ(formatInt(INT64_MIN), "-9223372036854775808");
  for (const char *same : {"3.5", ".5", "-.25", "1E+40", "1.5E+45", "100000000000000000000",
                           ".00001", "1E-50", "6", "123456.789", "1.5E-100"})
    EXPECT_EQ(formatNumber(N(same)), same);
  EXPECT_EQ(formatNumber(N("-0.0")), "0"); // never a negative zero
  EXPECT_EQ(formatNumber(N("1234567890123456789")), "1234567890123456789");
  EXPECT_EQ(formatNumber(N("1e39")), "1000000000000000000000000000000000000000");
  EXPECT_EQ(formatNumber(*numberFromDouble(0.1 + 0.2)), ".3");
}

TEST(OraNumber, ArithmeticKeepsOraclesDigits) {
  EXPECT_EQ(T(subtractNumbers(N("1234567890123456789"), N("1234567890123456788"))), "1");
  EXPECT_EQ(T(divideNumbers(N("1"), N("3"))), ".3333333333333333333333333333333333333333");
  EXPECT_EQ(T(divideNumbers(N("2"), N("3"))), ".6666666666666666666666666666666666666667");
  EXPECT_EQ(T(divideNumbers(N("10"), N("3"))), "3.33333333333333333333333333333333333333");
  EXPECT_EQ(T(multiplyNumbers(N("4294967296"), N("4294967296"))), "18446744073709551616");
  OraNum f = OraNum::of(1), sum;
  for (int k = 2; k <= 25; ++k)
    f = *multiplyNumbers(f, OraNum::of(k));
  EXPECT_EQ(formatNumber(f), "15511210043330985984000000");
  for (int k = 0; k < 10; ++k)
    sum = *addNumbers(sum, N(".1"));
  EXPECT_EQ(formatNumber(sum), "1");
  EXPECT_EQ(T(multiplyNumbers(N("1e100"), N("1e30"))), "ORA-01426");
  EXPECT_EQ(T(multiplyNumbers(N("1e-100"), N("1e-40"))), "0"); // below 1E-130: zero
  EXPECT_FALSE(parseNumber("1e126"));
  EXPECT_EQ(T(parseNumber("9.99e125")), "9.99E+125");
  EXPECT_EQ(compareNumbers(N("12345678901234567890.5"), N("12345678901234567890.4")), 1);
  EXPECT_EQ(T(sqrtNumber(N("2"))), "1.41421356237309504880168872420969807857");
  EXPECT_EQ(T(lnNumber(N("2"))), ".6931471805599453094172321214581765680755");
  bool overflow = false;
  EXPECT_EQ(T(powerNumber(N("2"), N("100"), &overflow)), "1267650600228229401496703205376");
  EXPECT_EQ(T(expNumber(N("1"), &overflow)), "2.71828182845904523536028747135266249776");
  EXPECT_FALSE(powerNumber(N("10"), N("200"), &overflow));
  EXPECT_TRUE(overflow);
}

TEST(OraNumber, BytesSortAsNumbers) {
  // Oracle's own bytes: DUMP shows them and the server stores them, memcmp order = numeric order.
  const char *ordered[] = {"-1e125",
                           "-123.45",
                           "-1.01",
                           "-1",
                           "-.001",
                           "0",
                           "1e-130",
                           ".5",
                           "1",
                           "1.01",
                           "99",
                           "100",
                           "12345678901234567890.1",
                           "9e125"};
  std::string prev;
  for (const char *t : ordered) {
    unsigned char b[22];
    int n = numberToBytes(N(t), b);
    std::string cur(reinterpret_cast<char *>(b), static_cast<size_t>(n));
    EXPECT_LT(prev, cur) << t;
    EXPECT_EQ(compareNumbers(*numberFromBytes(b, n), N(t)), 0) << t;
    prev = cur;
  }
  unsigned char b[22];
  EXPECT_EQ(numberToBytes(N("1"), b), 2);
  EXPECT_EQ(b[0], 193);
  EXPECT_EQ(b[1], 2);
  EXPECT_EQ(numberToBytes(N("-1"), b), 3);
  EXPECT_EQ(b[0], 62);
  EXPECT_EQ(b[2], 102);
}

TEST(OraNumber, ParsesFitsAndRounds) {
  EXPECT_EQ(parseNumber(" 12 ")->i, 12);
  EXPECT_TRUE(parseNumber("12")->isInt);
  EXPECT_EQ(formatNumber(N("-.5")), "-.5");
  EXPECT_EQ(N("1e3").i, 1000);
  EXPECT_FALSE(parseNumber("abc"));
  EXPECT_FALSE(parseNumber(""));
  EXPECT_FALSE(parseNumber("1.2.3"));
  EXPECT_FALSE(parseNumber("- 1"));
  EXPECT_EQ(formatNumber(*fitNumber(N("12.345"), 7, 2)), "12.35");
  EXPECT_EQ(formatNumber(*fitNumber(N("-12.345"), 7, 2)), "-12.35");
  EXPECT_FALSE(fitNumber(N("123456"), 5, 0));
  EXPECT_FALSE(fitNumber(N("1000"), 5, 2));
  EXPECT_FALSE(fitNumber(N("99.995"), 4, 2)); // rounds up past the precision: ORA-01438
  EXPECT_EQ(formatNumber(*fitNumber(N("99.994"), 4, 2)), "99.99");
  EXPECT_EQ(formatNumber(*fitNumber(N("-.005"), 4, 2)), "-.01");
  EXPECT_EQ(formatNumber(*fitNumber(N("-.004"), 4, 2)), "0");
  EXPECT_EQ(formatNumber(*fitNumber(N("123456789012345.67"), 22, 2)), "123456789012345.67");
  EXPECT_EQ(formatNumber(*fitNumber(N("999.994"), 5, 2)), "999.99");
  EXPECT_EQ(formatNumber(*fitNumber(N("1234.5"), 4, 0)), "1235");
  EXPECT_EQ(formatNumber(*fitNumber(N("1250"), 4, -2)), "1300");
  EXPECT_EQ(formatNumber(*fitNumber(N(".00012345"), 2, 5)), ".00012");
  EXPECT_EQ(formatNumber(roundNumber(N("2.5"), 0)), "3");
  EXPECT_EQ(formatNumber(roundNumber(N("-2.5"), 0)), "-3");
  EXPECT_EQ(formatNumber(roundNumber(N("1.005"), 2)), "1.01");
  EXPECT_EQ(formatNumber(truncNumber(N("-2.79"), 1)), "-2.7");
  EXPECT_EQ(formatNumber(roundNumber(OraNum::of(1551), -2)), "1600");
}

TEST(OraNumber, FormatMasks) {
  auto f = [](double v, const char *m) { return *formatNumberMask(*numberFromDouble(v), m); };
  EXPECT_EQ(f(5000, "99,999.99"), "  5,000.00");
  EXPECT_EQ(f(123, "999"), " 123");
  EXPECT_EQ(f(-123, "999"), "-123");
  EXPECT_EQ(f(1234, "999"), "####");
  EXPECT_EQ(f(5, "000"), " 005");
  EXPECT_EQ(f(0.5, "9.99"), "  .50");
  EXPECT_EQ(f(0.5, "0.99"), " 0.50");
  EXPECT_EQ(f(42, "FM999"), "42");
  EXPECT_EQ(f(1234.5, "$9,999.99"), " $1,234.50");
  EXPECT_EQ(f(-7, "999MI"), "  7-");
  EXPECT_EQ(f(3.14159, "FM990.99"), "3.14");
  EXPECT_FALSE(formatNumberMask(OraNum::of(1), "9X9"));
  EXPECT_EQ(f(-0.4, "9"), " 0");
  EXPECT_EQ(*formatNumberMask(N("123456789012345.675"), "999999999999999.99"),
            " 123456789012345.68");
  EXPECT_EQ(formatNumber(*parseNumberMask("$1,234.50", "$9,999.99")), "1234.5");
}

TEST(OraDate, DefaultTextAndMasks) {
  OraDateValue d{1981, 11, 17, 13, 5, 9};
  EXPECT_EQ(storeDate(d), "1981-11-17 13:05:09");
  EXPECT_EQ(*formatDate(d, ""), "17-NOV-81");
  EXPECT_EQ(*formatDate(d, "DD.MM.YYYY HH24:MI:SS"), "17.11.1981 13:05:09");
  EXPECT_EQ(*formatDate(d, "Month DD, YYYY"), "November  17, 1981");
  EXPECT_EQ(*formatDate(d, "FMMonth DD, YYYY"), "November 17, 1981");
  EXPECT_EQ(*formatDate(d, "Dy DAY dy"), "Tue TUESDAY   tue");
  EXPECT_EQ(*formatDate(d, "HH:MI AM"), "01:05 PM");
  EXPECT_EQ(*formatDate(d, "\"Q\"Q DDD J"), "Q4 321 2444926");
  EXPECT_FALSE(formatDate(d, "XYZ"));
  char buf[16];
  EXPECT_EQ(formatDefaultDate("1980-12-17 00:00:00", 19, buf), 9);
  EXPECT_STREQ(buf, "17-DEC-80");
}

TEST(OraDate, ParsesTheDefaultFormatAndMasks) {
  int err = 0;
  auto d = parseDate("17-DEC-1980", "", err);
  ASSERT_TRUE(d);
  EXPECT_EQ(storeDate(*d), "1980-12-17 00:00:00");
  d = parseDate("01-jan-81", "", err); // YY: this century, as Oracle 7 reads it
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year % 100, 81);
  EXPECT_EQ(d->year / 100, nowDate().year / 100);
  d = parseDate("1999-12-31 23:59:58", "YYYY-MM-DD HH24:MI:SS", err);
  ASSERT_TRUE(d);
  EXPECT_EQ(storeDate(*d), "1999-12-31 23:59:58");
  d = parseDate("05/07/81", "MM/DD/RR", err);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->year, 1981);
  EXPECT_FALSE(parseDate("32-JAN-81", "", err));
  EXPECT_EQ(err, 1847);
  EXPECT_FALSE(parseDate("01-FOO-81", "", err));
  EXPECT_EQ(err, 1843);
  EXPECT_FALSE(parseDate("30-FEB-81", "", err));
  EXPECT_EQ(err, 1839);
  EXPECT_FALSE(parseDate("01-JAN-81 extra", "", err));
  EXPECT_EQ(err, 1830);
  EXPECT_FALSE(parseDate("1-1-1", "ZZ", err));
  EXPECT_EQ(err, 1821);
}

namespace {

// parseDate (with its direct reading of the common shapes) and the general mask reader agree:
// the same date, or the same error.
void expectSameAsMaskReader(const std::string &text, const std::string &mask) {
  int fastErr = 0, maskErr = 0;
  auto fast = parseDate(text, mask, fastErr);
  auto general = parseDateByMask(text, mask, maskErr);
  ASSERT_EQ(fast.has_value(), general.has_value()) << "'" << text << "' as '" << mask << "'";
  if (fast)
    EXPECT_EQ(storeDate(*fast), storeDate(*general)) << "'" << text << "' as '" << mask << "'";
  else
    EXPECT_EQ(fastErr, maskErr) << "'" << text << "' as '" << mask << "'";
}

} // namespace

TEST(OraDate, CommonShapesReadAsTheMaskReaderReadsThem) {
  static const char *kMon[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  // DD-MON-YY: every day number (valid or not) of every month over 100 years, in three cases.
  for (int yy = 0; yy < 100; ++yy)
    for (int m = 0; m < 12; ++m)
      for (int day = 0; day <= 32; ++day) {
        char text[16];
        std::snprintf(text, sizeof text, "%02d-%s-%02d", day, kMon[m], yy);
        expectSameAsMaskReader(text, "");
        expectSameAsMaskReader(text, "DD-MON-YY");
        std::string lower = text, mixed = text;
        for (int k = 3; k < 6; ++k) {
          lower[static_cast<size_t>(k)] = static_cast<char>(std::tolower(text[k]));
          if (k > 3)
            mixed[static_cast<size_t>(k)] = lower[static_cast<size_t>(k)];
        }
        expectSameAsMaskReader(lower, "");
        expectSameAsMaskReader(mixed, "");
      }
  // Near misses of the shape go the general way and still agree.
  for (const char *text : {"01-FOO-81", "01-JA1-81", "1-JAN-081", "01/JAN/81", "01-JAN-8X",
                           "01-JANUARY", "00-JAN-81", " 1-JAN-81", "01-JAN-81 ", "29-FEB-00",
                           "29-FEB-01", "31-APR-81", "99-DEC-99", "01-jan-81", "01-MAYO-1"})
    expectSameAsMaskReader(text, "");
  // YYYY-MM-DD HH24:MI:SS: each field at and past its limits.
  const std::string iso = "YYYY-MM-DD HH24:MI:SS";
  for (const char *year : {"0000", "0001", "1900", "2000", "2024", "9999"})
    for (int month : {0, 1, 2, 12, 13})
      for (int day : {0, 1, 28, 29, 30, 31, 32})
        for (int hour : {0, 23, 24})
          for (int minute : {0, 59, 60})
            for (int second : {0, 59, 60}) {
              char text[32];
              std::snprintf(text, sizeof text, "%s-%02d-%02d %02d:%02d:%02d", year, month, day,
                            hour, minute, second);
              expectSameAsMaskReader(text, iso);
            }
  for (const char *text : {"1999-12-31T23:59:58", "1999-12-31 23:59:5", "1999/12/31 23:59:58",
                           "+999-12-31 23:59:58", "1999-1a-31 23:59:58"})
    expectSameAsMaskReader(text, iso);
}

TEST(OraDate, StoredTextIsThePrintfText) {
  for (const OraDateValue &d :
       {OraDateValue{1, 1, 1, 0, 0, 0}, OraDateValue{1981, 11, 17, 13, 5, 9},
        OraDateValue{9999, 12, 31, 23, 59, 59}, OraDateValue{-4712, 1, 1, 0, 0, 0},
        OraDateValue{0, 2, 29, 12, 0, 0}, OraDateValue{100000, 1, 1, 0, 0, 0},
        OraDateValue{2024, 2, 29, 7, 8, 9}}) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month,
                  d.day, d.hour, d.minute, d.second);
    EXPECT_EQ(storeDate(d), expected);
  }
}

TEST(OraDate, Arithmetic) {
  OraDateValue d{1981, 1, 31, 0, 0, 0};
  EXPECT_EQ(storeDate(addMonths(d, 1)), "1981-02-28 00:00:00");
  EXPECT_EQ(storeDate(addMonths(OraDateValue{1980, 2, 29, 0, 0, 0}, 12)), "1981-02-28 00:00:00");
  EXPECT_EQ(storeDate(addMonths(OraDateValue{1981, 2, 28, 0, 0, 0}, 1)), "1981-03-31 00:00:00");
  EXPECT_EQ(storeDate(fromJulian(toJulian(d) + 1.5)), "1981-02-01 12:00:00");
  EXPECT_DOUBLE_EQ(toJulian(OraDateValue{1981, 3, 1, 0, 0, 0}) - toJulian(d), 29);
}

TEST(Rowid, RoundTrips) {
  EXPECT_EQ(rowidText(1), "00000000.0001.0001");
  EXPECT_EQ(*parseRowid(rowidText(123456789)), 123456789);
  EXPECT_FALSE(parseRowid("garbage"));
  EXPECT_EQ(*parseHex("0aFF"), std::string("\x0a\xff", 2));
  EXPECT_FALSE(parseHex("0g"));
}

TEST(OraDate, ExtremesStayDefined) {
  // Far beyond Oracle's years: a year the callers refuse, never an undefined conversion.
  EXPECT_GT(fromJulian(1e100).year, 9999);
  EXPECT_GT(fromJulian(-1e100).year, 9999);
  OraDateValue bc{-10, 1, 15, 0, 0, 0};
  OraDateValue back = addMonths(bc, -13);
  EXPECT_EQ(back.year, -12);
  EXPECT_EQ(back.month, 12);
  EXPECT_EQ(clampToInt(1e300), INT64_C(1000000000000));
  EXPECT_EQ(clampToInt(std::nan("")), 0);
  EXPECT_EQ(formatNumber(roundNumber(OraNum::of(INT64_MAX), -1)), "9223372036854775810");
  EXPECT_EQ(formatNumber(roundNumber(N("123.4"), -400)), "0");
}
