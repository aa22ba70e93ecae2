// Below the contract: PL/SQL's types and values — CHAR semantics, NOT NULL and subtype
// constraints, record defaults, conversions and the type-family checks of the compiler.
#include "PlsqlTestUtil.h"

using plsqltest::ScottSession;

namespace {

class PlsqlTypes : public ScottSession {
protected:
  // What a block wrote with PUT_LINE, lines joined by '|'; an error's first line otherwise.
  std::string out(const std::string &block) {
    std::string e = error("begin dbms_output.enable; end;");
    e = error(block);
    if (!e.empty())
      return e.substr(0, e.find('\n'));
    std::string s;
    for (const std::string &l : output())
      s += (s.empty() ? "" : "|") + l;
    return s;
  }
  // The compile errors of a block after ORA-06550's first line ("PLS-nnnnn: ..." lines).
  std::string compileError(const std::string &block) {
    std::string e = error(block);
    size_t nl = e.find('\n');
    return nl == std::string::npos ? e : e.substr(nl + 1, e.find('\n', nl + 1) - nl - 1);
  }
};

const char *const kValueError = "ORA-06502: PL/SQL: numeric or value error";
const char *const kWrongType = "PLS-00382: expression is of wrong type";

TEST_F(PlsqlTypes, CharComparesBlankPaddedOnlyWithCharOrLiterals) {
  EXPECT_EQ(out("declare c5 char(5) := 'ab'; c3 char(3) := 'ab'; v varchar2(5) := 'ab'; begin "
                "if c5 = 'ab' then dbms_output.put_line('lit'); end if; "
                "if c5 = c3 then dbms_output.put_line('char'); end if; "
                "if 'ab' = 'ab  ' then dbms_output.put_line('literals'); end if; "
                "if c5 in ('x', 'ab') and c5 between 'ab' and 'ab ' then "
                "dbms_output.put_line('in'); end if; "
                "if c5 = v or v = c3 then dbms_output.put_line('varchar2'); end if; "
                "if c5 > 'ab' then dbms_output.put_line('greater'); end if; "
                "dbms_output.put_line('[' || c5 || ']' || length(c3)); end;"),
            "lit|char|literals|in|[ab   ]3");
  run("create table tc (c char(4), v varchar2(4))");
  EXPECT_EQ(out("declare r tc%rowtype; begin r.c := 'x'; r.v := 'x'; "
                "if r.c = 'x' and r.v = 'x' and r.c != r.v then dbms_output.put_line('ok'); "
                "end if; end;"),
            "ok");
  // A CHAR parameter or result takes its value's length.
  EXPECT_EQ(out("declare function f(c char) return char is begin return c || 'x'; end; begin "
                "dbms_output.put_line(f('ab ')); end;"),
            "ab x");
  EXPECT_EQ(out("declare c char(2); begin c := 'abc'; end;"),
            "ORA-06502: PL/SQL: numeric or value error: character string buffer too small");
}

TEST_F(PlsqlTypes, NotNullAndSubtypeRangesRaiseValueError) {
  EXPECT_EQ(out("declare n number not null := 1; begin n := null; end;"), kValueError);
  EXPECT_EQ(out("declare n number not null := 1; m n%type := 2; begin m := null; end;"),
            kValueError);
  EXPECT_EQ(out("declare n naturaln := 1; begin n := null; end;"), kValueError);
  EXPECT_EQ(out("declare n positiven := 1; begin n := n - 1; end;"), kValueError);
  EXPECT_EQ(out("declare n positive := 1; begin n := 0; end;"), kValueError);
  EXPECT_EQ(out("declare n natural := 0; begin n := -1; end;"), kValueError);
  EXPECT_EQ(out("declare s signtype := -1; begin s := 2; end;"), kValueError);
  EXPECT_EQ(out("declare b binary_integer; begin b := 2147483648; end;"), kValueError);
  EXPECT_EQ(out("declare b binary_integer; begin b := -2147483648; end;"), kValueError);
  EXPECT_EQ(out("declare procedure p(x positive) is begin null; end; begin p(0); end;"),
            kValueError);
  EXPECT_EQ(out("declare n natural := 2147483647; s signtype := 1; p positive; begin p := 5; "
                "s := 0; n := n - 1; dbms_output.put_line(n || ' ' || s || ' ' || p); end;"),
            "2147483646 0 5");
  EXPECT_EQ(compileError("declare n number not null; begin n := 1; end;"),
            "PLS-00218: a variable declared NOT NULL must have an initialization assignment");
  EXPECT_EQ(compileError("declare n positiven; begin null; end;"),
            "PLS-00218: a variable declared NOT NULL must have an initialization assignment");
  EXPECT_EQ(compileError("declare type r is record (a number not null); begin null; end;"),
            "PLS-00218: a variable declared NOT NULL must have an initialization assignment");
}

TEST_F(PlsqlTypes, RecordFieldsStartWithTheirDefaults) {
  EXPECT_EQ(out("declare type r1 is record (x number default 7, y varchar2(5) := 'y', "
                "z number not null := 3, w date); "
                "type r2 is record (a r1, b number := 2); v r2; r r1; "
                "type tb is table of r1 index by binary_integer; t tb; begin "
                "t(1).y := 'q'; r.z := 4; dbms_output.put_line(v.a.x || v.a.y || v.a.z || v.b || "
                "t(1).x || t(1).y || r.z || nvl(to_char(r.w), '-')); r.z := null; end;"),
            kValueError);
  EXPECT_EQ(output(), std::vector<std::string>{"7y327q4-"});
}

TEST_F(PlsqlTypes, TriggerRowOfTheMissingSideIsNull) {
  run("create table tt (a number)");
  run("create trigger tt_row before insert or delete on tt for each row begin "
      "dbms_output.put_line(nvl(to_char(:old.a), 'null') || '/' || nvl(to_char(:new.a), "
      "'null')); end;");
  run("begin dbms_output.enable; end;");
  run("insert into tt values (1)");
  run("delete from tt");
  EXPECT_EQ(output(), (std::vector<std::string>{"null/1", "1/null"}));
}

TEST_F(PlsqlTypes, ConversionsAndTypeFamilies) {
  // PL/SQL's conversions of text to numbers raise VALUE_ERROR; SQL's keep ORA-01722.
  EXPECT_EQ(out("declare n number; begin n := to_number('abc'); exception when value_error then "
                "dbms_output.put_line(sqlerrm); end;"),
            "ORA-06502: PL/SQL: numeric or value error: character to number conversion error");
  EXPECT_EQ(out("declare n number; begin n := 'abc'; end;"),
            "ORA-06502: PL/SQL: numeric or value error: character to number conversion error");
  EXPECT_EQ(out("declare n number; begin select to_number('abc') into n from dual; end;"),
            "ORA-01722: invalid number");
  // Numbers and dates do not convert into one another.
  EXPECT_EQ(compileError("declare n number; begin n := sysdate; end;"), kWrongType);
  EXPECT_EQ(compileError("declare d date := 5; begin null; end;"), kWrongType);
  EXPECT_EQ(compileError("declare function f return number is begin return sysdate; end; "
                         "begin null; end;"),
            kWrongType);
  EXPECT_EQ(compileError("begin if 1 then null; end if; end;"), kWrongType);
  EXPECT_EQ(compileError("declare d date; begin if d = 5 then null; end if; end;"),
            "PLS-00306: wrong number or types of arguments in call to '='");
  EXPECT_EQ(compileError("declare d date; n number; begin n := d * 2; end;"),
            "PLS-00306: wrong number or types of arguments in call to '*'");
  EXPECT_EQ(compileError("declare d date; begin d := d + d; end;"),
            "PLS-00306: wrong number or types of arguments in call to '+'");
  EXPECT_EQ(out("declare d date := to_date('2000-01-02', 'YYYY-MM-DD'); begin "
                "dbms_output.put_line(to_char(d + 1, 'DD') || (d - (d - 2)) || "
                "to_char(1 + d, 'DD')); end;"),
            "03203");
  EXPECT_EQ(compileError("declare procedure p(n number) is begin null; end; begin p(sysdate); "
                         "end;"),
            "PLS-00306: wrong number or types of arguments in call to 'P'");
  EXPECT_EQ(compileError("begin raise_application_error(sysdate, 'x'); end;"),
            "PLS-00306: wrong number or types of arguments in call to 'RAISE_APPLICATION_ERROR'");
  // NVL takes BOOLEAN values in PL/SQL; DECODE is SQL's only.
  EXPECT_EQ(out("declare b boolean; begin b := nvl(null, true); if nvl(b, false) then "
                "dbms_output.put_line('t'); end if; dbms_output.put_line(nvl(1, '2')); end;"),
            "t|1");
  EXPECT_EQ(compileError("declare b boolean; begin b := nvl(1, true); end;"),
            "PLS-00306: wrong number or types of arguments in call to 'NVL'");
  EXPECT_EQ(compileError("declare x number; begin x := decode(1, 1, 2); end;"),
            "PLS-00204: function or pseudo-column 'DECODE' may be used inside a SQL statement "
            "only");
  // DBMS_OUTPUT.CHARARR is GET_LINES' table type.
  EXPECT_EQ(out("declare lines dbms_output.chararr; n integer := 5; begin "
                "dbms_output.put_line('a'); dbms_output.put_line('b'); "
                "dbms_output.get_lines(lines, n); dbms_output.put_line(n || lines(1) || "
                "lines(2)); end;"),
            "2ab");
}

} // namespace
