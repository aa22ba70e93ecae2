// Below the contract: Oracle 7's single-row SQL functions, each in a SQL statement and in a
// PL/SQL expression, and the internal forms DUMP shows.
#include <cstring>

#include "PlsqlTestUtil.h"

using plsqltest::ScottSession;

namespace {

class SqlFunctions : public ScottSession {
protected:
  // The text of expr as a SQL statement (sql) or a PL/SQL assignment computes it; an error's
  // first line otherwise.
  std::string eval(const std::string &expr, bool sql) {
    run("begin dbms_output.enable; end;");
    std::string block = "declare x varchar2(2000); begin " +
                        (sql ? "select " + expr + " into x from dual" : "x := " + expr) +
                        "; dbms_output.put_line(nvl(x, 'NULL')); end;";
    std::string e = error(block);
    if (!e.empty()) {
      size_t nl = e.find('\n');
      // A compile error: its PLS line.
      return e.compare(0, 9, "ORA-06550") == 0 ? e.substr(nl + 1, e.find('\n', nl + 1) - nl - 1)
                                               : e.substr(0, nl);
    }
    auto lines = output();
    return lines.empty() ? "" : lines[0];
  }
};

TEST_F(SqlFunctions, Oracle7SingleRowFunctionsInSqlAndPlsql) {
  const char *const sqlOnly = "SQL";
  struct Case {
    const char *expr, *value, *plsql = nullptr; // plsql: set when PL/SQL refuses the function
  };
  const Case cases[] = {
      // Numbers.
      {"abs(-2)", "2"},
      {"ceil(1.2)", "2"},
      {"cos(0)", "1"},
      {"cosh(0)", "1"},
      {"exp(0)", "1"},
      {"floor(1.8)", "1"},
      {"ln(1)", "0"},
      {"log(10, 100)", "2"},
      {"mod(7, 3)", "1"},
      {"power(2, 10)", "1024"},
      {"round(1.25, 1)", "1.3"},
      {"sign(-3)", "-1"},
      {"sin(0)", "0"},
      {"sinh(0)", "0"},
      {"sqrt(16)", "4"},
      {"tan(0)", "0"},
      {"tanh(0)", "0"},
      {"trunc(1.29, 1)", "1.2"},
      {"acos(1)", "0"},
      {"round(asin(1) * 2 - acos(-1), 10)", "0"},
      {"round(atan(1) * 4, 6)", "3.141593"},
      {"round(atan2(1, 1) * 4, 6)", "3.141593"},
      {"acos(2)", "ORA-01428: argument '2' is out of range"},
      // Characters.
      {"chr(65)", "A"},
      {"concat('a', 'b')", "ab"},
      {"initcap('ab cd')", "Ab Cd"},
      {"lower('AB')", "ab"},
      {"lpad('a', 3, '*')", "**a"},
      {"ltrim('xxa', 'x')", "a"},
      {"nls_initcap('ab')", "Ab"},
      {"nls_lower('AB')", "ab"},
      {"nls_upper('ab')", "AB"},
      {"replace('abc', 'b', 'x')", "axc"},
      {"rpad('a', 3, '*')", "a**"},
      {"rtrim('axx', 'x')", "a"},
      {"soundex('Robert')", "R163"},
      {"substr('abcd', 2, 2)", "bc"},
      {"substrb('abcd', -3, 2)", "bc"},
      {"translate('abc', 'ab', 'xy')", "xyc"},
      {"upper('ab')", "AB"},
      {"ascii('A')", "65"},
      {"instr('abcb', 'b', 1, 2)", "4"},
      {"instrb('abcb', 'b', -1)", "4"},
      {"length('abc')", "3"},
      {"lengthb('abc')", "3"},
      {"rawtohex(nlssort('ab'))", "616200"},
      {"rawtohex(nlssort('ab', 'NLS_SORT = BINARY'))", "616200"},
      {"nlssort('ab', 'SORT')", "ORA-12702: invalid NLS parameter string used in SQL function"},
      // Dates.
      {"to_char(add_months(to_date('31-01-1995', 'DD-MM-YYYY'), 1), 'DD-MM-YYYY')", "28-02-1995"},
      {"to_char(last_day(to_date('10-02-1996', 'DD-MM-YYYY')), 'DD')", "29"},
      {"months_between(to_date('01-03-1995', 'DD-MM-YYYY'), to_date('01-01-1995', 'DD-MM-YYYY'))",
       "2"},
      {"to_char(new_time(to_date('01-01-2000 12:00', 'DD-MM-YYYY HH24:MI'), 'EST', 'PST'), "
       "'HH24:MI')",
       "09:00"},
      {"to_char(new_time(to_date('01-01-2000', 'DD-MM-YYYY'), 'GMT', 'NST'), 'DD HH24:MI')",
       "31 20:30"},
      {"new_time(sysdate, 'XYZ', 'GMT')", "ORA-01857: not a valid time zone"},
      {"to_char(next_day(to_date('01-01-1995', 'DD-MM-YYYY'), 'MONDAY'), 'DD')", "02"},
      {"to_char(round(to_date('01-07-1995', 'DD-MM-YYYY'), 'YEAR'), 'YYYY')", "1996"},
      {"to_char(trunc(to_date('17-07-1995', 'DD-MM-YYYY'), 'MM'), 'DD')", "01"},
      {"sign(sysdate - to_date('01-01-2000', 'DD-MM-YYYY'))", "1"},
      // Conversions.
      {"rowidtochar(chartorowid('00000001.0002.0001'))", "00000001.0002.0001"},
      {"convert('ab', 'US7ASCII')", "ab"},
      {"convert('a' || chr(233), 'US7ASCII', 'WE8ISO8859P1')", "a?"},
      {"ascii(convert(chr(233), 'UTF8')) || length(convert(chr(233), 'UTF8'))", "1952"},
      {"convert('ab', 'KLINGON')", "ORA-01482: unsupported character set"},
      {"rawtohex(hextoraw('0aff'))", "0AFF"},
      {"to_char(12.5)", "12.5"},
      {"to_char(to_date('05-1995', 'MM-YYYY'), 'MON YYYY')", "MAY 1995"},
      {"to_multi_byte('ab')", "ab"},
      {"to_number('12.5') + 1", "13.5"},
      {"to_single_byte('ab')", "ab"},
      // Others.
      {"dump(1)", "Typ=2 Len=2: 193,2", sqlOnly},
      {"decode(1, 1, 'one')", "one", sqlOnly},
      {"greatest(1, 3, 2)", "3"},
      {"least('b', 'a')", "a"},
      {"nvl(null, 'x')", "x"},
      {"sign(uid + 1)", "1"},
      {"user", "SCOTT"},
      {"userenv('TERMINAL')", "LOCAL"},
      {"vsize('abc')", "3"},
      {"vsize(1000) || vsize(-1) || vsize(sysdate)", "237"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(eval(c.expr, true), c.value) << c.expr;
    std::string inPlsql = c.value;
    if (c.plsql) {
      std::string name(c.expr, std::strchr(c.expr, '('));
      for (char &ch : name)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      inPlsql = "PLS-00204: function or pseudo-column '" + name +
                "' may be used inside a SQL statement only";
    }
    EXPECT_EQ(eval(c.expr, false), inPlsql) << c.expr;
  }
}

TEST_F(SqlFunctions, DumpShowsOraclesInternalForms) {
  struct Case {
    const char *expr, *value;
  };
  run("create table d (n number, v varchar2(5), c char(3), t date)");
  run("insert into d values (-123.45, 'ab', 'x', to_date('17-11-1981 10:20:30', "
      "'DD-MM-YYYY HH24:MI:SS'))");
  const Case cases[] = {
      {"dump(0)", "Typ=2 Len=1: 128"},
      {"dump(-1)", "Typ=2 Len=3: 62,100,102"},
      {"dump(123)", "Typ=2 Len=3: 194,2,24"},
      {"dump(0.5)", "Typ=2 Len=2: 192,51"},
      {"dump(0.05)", "Typ=2 Len=2: 192,6"},
      {"dump(1e100)", "Typ=2 Len=2: 243,2"},
      {"dump(n)", "Typ=2 Len=5: 61,100,78,56,102"},
      {"dump(v)", "Typ=1 Len=2: 97,98"},
      {"dump(c, 16)", "Typ=96 Len=3: 78,20,20"},
      {"dump('ab', 1017)", "Typ=96 Len=2 CharacterSet=WE8ISO8859P1: a,b"},
      {"dump('abc', 8, 2, 1)", "Typ=96 Len=3: 142"},
      {"dump(t)", "Typ=12 Len=7: 119,181,11,17,11,21,31"},
      {"dump(null)", "NULL"},
  };
  for (const Case &c : cases) {
    run("begin dbms_output.enable; end;");
    run(std::string("declare x varchar2(2000); begin select ") + c.expr +
        " into x from d; dbms_output.put_line(x); end;");
    EXPECT_EQ(output(), std::vector<std::string>{c.value}) << c.expr;
  }
}

} // namespace
