// Below the contract: Oracle 7's date format elements and suffixes in TO_CHAR.
#include <gtest/gtest.h>

#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"

using namespace localdb;

namespace {

std::string fmt(const OraDateValue &d, const std::string &mask) {
  return formatDate(d, mask).value_or("<invalid>");
}

TEST(FormatDate, SuffixesSpellingAndOrdinals) {
  OraDateValue d{1981, 11, 4, 14, 5, 9};
  EXPECT_EQ(fmt(d, "DDTH"), "04TH");
  EXPECT_EQ(fmt(d, "FMDDTH"), "4TH");
  EXPECT_EQ(fmt(d, "FMddth"), "4th");
  EXPECT_EQ(fmt(d, "DDSP"), "FOUR");
  EXPECT_EQ(fmt(d, "Ddsp"), "Four");
  EXPECT_EQ(fmt(d, "DDSPTH"), "FOURTH");
  EXPECT_EQ(fmt(d, "ddspth"), "fourth");
  EXPECT_EQ(fmt(OraDateValue{1981, 11, 1, 0, 0, 0}, "FMDDTH"), "1ST");
  EXPECT_EQ(fmt(OraDateValue{1981, 11, 12, 0, 0, 0}, "FMDDTH"), "12TH");
  EXPECT_EQ(fmt(OraDateValue{1981, 11, 22, 0, 0, 0}, "DDTH"), "22ND");
  EXPECT_EQ(fmt(OraDateValue{1981, 11, 20, 0, 0, 0}, "DDSPTH"), "TWENTIETH");
  EXPECT_EQ(fmt(OraDateValue{1981, 11, 23, 0, 0, 0}, "DDSPTH"), "TWENTY-THIRD");
  EXPECT_EQ(fmt(d, "YYYYSP"), "ONE THOUSAND NINE HUNDRED EIGHTY-ONE");
  EXPECT_EQ(fmt(d, "fmDay, Month ddth"), "Wednesday, November 4th");
}

TEST(FormatDate, YearRomanCenturyWeeksQuarterJulian) {
  OraDateValue d{1981, 11, 4, 14, 5, 9};
  EXPECT_EQ(fmt(d, "YEAR"), "NINETEEN EIGHTY-ONE");
  EXPECT_EQ(fmt(d, "Year"), "Nineteen Eighty-One");
  EXPECT_EQ(fmt(OraDateValue{2005, 1, 1, 0, 0, 0}, "YEAR"), "TWO THOUSAND FIVE");
  EXPECT_EQ(fmt(d, "RM"), "XI  ");
  EXPECT_EQ(fmt(d, "FMrm"), "xi");
  EXPECT_EQ(fmt(d, "CC"), "20");
  EXPECT_EQ(fmt(OraDateValue{2000, 1, 1, 0, 0, 0}, "CC"), "20");
  EXPECT_EQ(fmt(OraDateValue{2001, 1, 1, 0, 0, 0}, "CC"), "21");
  EXPECT_EQ(fmt(d, "Q"), "4");
  EXPECT_EQ(fmt(d, "WW"), "44");
  EXPECT_EQ(fmt(d, "IW"), "45");
  EXPECT_EQ(fmt(OraDateValue{2021, 1, 1, 0, 0, 0}, "IW"), "53");   // a Friday: the week of 2020
  EXPECT_EQ(fmt(OraDateValue{2018, 12, 31, 0, 0, 0}, "IW"), "01"); // a Monday: week 1 of 2019
  EXPECT_EQ(fmt(OraDateValue{2000, 1, 1, 0, 0, 0}, "J"), "2451545");
  EXPECT_EQ(fmt(OraDateValue{2000, 1, 1, 0, 0, 0}, "JSP"),
            "TWO MILLION FOUR HUNDRED FIFTY-ONE THOUSAND FIVE HUNDRED FORTY-FIVE");
}

} // namespace

namespace {

std::string num(double v, const std::string &mask) {
  return formatNumberMask(*numberFromDouble(v), mask).value_or("<invalid>");
}

TEST(FormatNumber, CurrencyShiftAndRoman) {
  EXPECT_EQ(num(1234.5, "L9999.99"), " $1234.50"); // the sign's place first, as with $
  EXPECT_EQ(num(1234.5, "FML9,999.99"), "$1,234.5");
  EXPECT_EQ(num(12.345, "99V99"), " 1235");
  EXPECT_EQ(num(7, "99V999"), "  7000");
  EXPECT_EQ(num(1994, "RN"), "        MCMXCIV");
  EXPECT_EQ(num(1994, "FMRN"), "MCMXCIV");
  EXPECT_EQ(num(14, "FMrn"), "xiv");
  EXPECT_EQ(num(4000, "RN"), "###############");
}

} // namespace
