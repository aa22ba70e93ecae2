// Below the contract: the PL/SQL interpreter through small blocks and units.
#include "PlsqlTestUtil.h"

#include <sys/wait.h>
#include <unistd.h>

using plsqltest::ScottSession;
using PlsqlRun = ScottSession;

TEST_F(PlsqlRun, BlocksWriteOutput) {
  EXPECT_EQ(run("BEGIN DBMS_OUTPUT.ENABLE; DBMS_OUTPUT.PUT_LINE('hello'); END;"), 0);
  EXPECT_EQ(output(), std::vector<std::string>{"hello"});
  run("DECLARE x NUMBER := 1; s VARCHAR2(20); BEGIN DBMS_OUTPUT.ENABLE(2000);\n"
      "FOR i IN 1..10 LOOP x := x * 2; END LOOP; s := 'x=' || x;\n"
      "DBMS_OUTPUT.PUT_LINE(s); END;");
  EXPECT_EQ(output(), std::vector<std::string>{"x=1024"});
}

TEST_F(PlsqlRun, RecordsTablesAndCursors) {
  run(R"(declare
  type rt is record (a number, b varchar2(10));
  type tt is table of rt index by binary_integer;
  type nt is table of number index by binary_integer;
  t tt; r rt; n nt; i binary_integer;
  cursor cu(d number) is select ename, sal from emp where deptno = d order by sal;
  v emp.ename%type;
  c number;
  s varchar2(100);
  e emp%rowtype;
begin
  dbms_output.enable;
  <<outer>>
  for x in cu(10) loop
    t(t.count + 1).a := x.sal; t(t.count).b := x.ename;
    exit outer when t.count > 2;
  end loop;
  i := t.first;
  while i is not null loop r := t(i); dbms_output.put_line(i || ' ' || r.b || ' ' || r.a); i := t.next(i); end loop;
  n(5) := 1; n(-3) := 2; n(10) := 3;
  dbms_output.put_line(n.count || ' ' || n.first || ' ' || n.last || ' ' || n.prior(5) || '/' || n.next(10));
  n.delete(5);
  if n.exists(5) then dbms_output.put_line('still'); else dbms_output.put_line('gone'); end if;
  open cu(20);
  loop
    fetch cu into v, c;
    exit when cu%notfound;
    s := s || v || ',';
  end loop;
  dbms_output.put_line(cu%rowcount || ' ' || s);
  close cu;
  select * into e from emp where empno = 7839;
  dbms_output.put_line(e.ename || ' ' || e.job || ' ' || e.sal);
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{
                          "1 MILLER 1300", "2 CLARK 2450", "3 KING 5000", "3 -3 10 -3/", "gone",
                          "5 SMITH,ADAMS,JONES,SCOTT,FORD,", "KING PRESIDENT 5000"}));
  // Reading an element that is not there is NO_DATA_FOUND; a closed cursor INVALID_CURSOR.
  EXPECT_EQ(error("declare type nt is table of number index by binary_integer; n nt; x number; "
                  "begin x := n(1); end;"),
            "ORA-01403: no data found\nORA-06512: at line 1");
  // Subscripts run the whole BINARY_INTEGER range; DELETE(m, n) with m > n or a NULL deletes
  // nothing.
  run("declare type nt is table of number index by binary_integer; n nt; begin "
      "dbms_output.enable; n(-2147483647) := 1; n(2147483647) := 2; "
      "dbms_output.put_line(n.first || ' ' || n.last); n.delete; "
      "for i in 1..5 loop n(i) := i; end loop; n.delete(4, 2); n.delete(null, 3); "
      "n.delete(3, null); dbms_output.put_line(n.count); n.delete(3, 3); "
      "dbms_output.put_line(n.count || ' ' || n.next(2)); n.delete(1, 4); "
      "dbms_output.put_line(n.count || ' ' || n.first); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"-2147483647 2147483647", "5", "4 4", "1 5"}));
  // The cursor of a cursor FOR loop is open and has found its row inside the loop only.
  run("declare cursor c is select ename from emp where deptno = 10 order by ename; s "
      "varchar2(100); begin dbms_output.enable; for x in c loop if c%found and not c%notfound "
      "and c%isopen then s := s || c%rowcount || x.ename || ' '; end if; end loop; if not "
      "c%isopen then s := s || 'closed'; end if; dbms_output.put_line(s); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"1CLARK 2KING 3MILLER closed"});
  EXPECT_EQ(error("declare cursor c is select * from dual; begin close c; end;"),
            "ORA-01001: invalid cursor\nORA-06512: at line 1");
  EXPECT_EQ(error("declare cursor c is select * from dual; begin open c; open c; end;"),
            "ORA-06511: PL/SQL: cursor already open\nORA-06512: at line 1");
  // Methods at the edges: an empty table, the ends, NULL and rounded subscripts.
  run(R"(declare type nt is table of number index by binary_integer; n nt; s varchar2(200);
  function b(x boolean) return varchar2 is begin if x then return 'T'; elsif not x then return 'F'; end if; return 'N'; end;
begin
  dbms_output.enable;
  s := n.count || nvl(to_char(n.first), '-') || nvl(to_char(n.last), '-') || ' ';
  n(1) := 1; n(3) := 3;
  s := s || nvl(to_char(n.prior(1)), '-') || n.prior(3) || n.prior(2) || n.prior(9) || nvl(to_char(n.next(3)), '-') || n.next(0) || n.next(2) || nvl(to_char(n.next(null)), '-') || nvl(to_char(n.prior(null)), '-') || ' ';
  s := s || b(n.exists(null)) || b(n.exists(2)) || b(n.exists(3)) || b(n.exists(2.6)) || ' ';
  n.delete(null); s := s || n.count; n.delete(1); s := s || n.count || n.first; n.delete(3.4); s := s || n.count;
  dbms_output.put_line(s);
end;)");
  EXPECT_EQ(output(), std::vector<std::string>{"0-- -113-13-- FFTT 2130"});
  // Subscripts beyond BINARY_INTEGER or NULL are value errors; a NULL one read finds no data.
  for (const char *bad : {"x(2147483648) := 1;", "x(-2147483648) := 1;", "x(null) := 1;"})
    EXPECT_EQ(error(std::string("declare type t is table of number index by binary_integer; x "
                                "t; begin ") +
                    bad + " end;"),
              "ORA-06502: PL/SQL: numeric or value error\nORA-06512: at line 1")
        << bad;
  EXPECT_EQ(error("declare type t is table of number index by binary_integer; x t; n number; "
                  "begin n := x(null); end;"),
            "ORA-01403: no data found\nORA-06512: at line 1");
  // Before the first fetch FOUND and NOTFOUND are NULL and ROWCOUNT is 0; before any SQL,
  // SQL%ROWCOUNT and SQL%FOUND are NULL.
  run("declare cursor c is select ename from emp; begin dbms_output.enable; if not c%isopen "
      "then dbms_output.put_line('closed'); end if; open c; if c%found is null and c%notfound is "
      "null then dbms_output.put_line('unknown ' || c%rowcount); end if; close c; "
      "dbms_output.put_line(nvl(to_char(sql%rowcount), 'null')); if sql%found is null then "
      "dbms_output.put_line('sql unknown'); end if; end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"closed", "unknown 0", "null", "sql unknown"}));
  EXPECT_EQ(error("declare cursor c is select ename from emp; n number; begin n := c%rowcount; "
                  "end;"),
            "ORA-01001: invalid cursor\nORA-06512: at line 1");
  EXPECT_EQ(error("declare cursor c is select empno from emp; n number; begin open c; close c; "
                  "fetch c into n; end;"),
            "ORA-01001: invalid cursor\nORA-06512: at line 1");
  EXPECT_EQ(error("declare type rc is ref cursor; c rc; n number; begin fetch c into n; end;"),
            "ORA-01001: invalid cursor\nORA-06512: at line 1");
  // A fetch into one record, a parameter's default, ROWNUM counted in the cursor's query, a
  // cursor's row assigned to a record of the same shape.
  run("declare cursor c(d number default 10) is select empno, ename from emp where deptno = d "
      "order by empno; r c%rowtype; type rt is record (a number, b varchar2(10)); q rt; begin "
      "dbms_output.enable; open c; fetch c into r; dbms_output.put_line(r.empno || r.ename); "
      "close c; open c(20); fetch c into r; close c; q := r; dbms_output.put_line(q.a || q.b); "
      "for x in (select ename, rownum n from (select ename from emp order by ename) where rownum "
      "< 3) loop dbms_output.put_line(x.n || x.ename); end loop; end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"7782CLARK", "7369SMITH", "1ADAMS", "2ALLEN"}));
}

TEST_F(PlsqlRun, ExceptionsAndHandlers) {
  run(R"(declare
  e exception;
  pragma exception_init(e, -20001);
  u exception;
  x number;
begin
  dbms_output.enable;
  begin raise e; exception when e then dbms_output.put_line(sqlcode || ' ' || sqlerrm); end;
  begin raise u; exception when others then dbms_output.put_line(sqlcode || ' ' || sqlerrm); end;
  begin x := 1 / 0; exception when zero_divide then dbms_output.put_line(sqlerrm); end;
  begin select sal into x from emp; exception when too_many_rows then dbms_output.put_line('tmr ' || sqlcode); end;
  begin select sal into x from emp where 1 = 0; exception when no_data_found then dbms_output.put_line('ndf ' || sqlcode); end;
  begin raise_application_error(-20005, 'mine'); exception when others then dbms_output.put_line(sqlerrm || '|' || sqlerrm(sqlcode)); end;
  begin insert into dept values (10, 'A', 'B'); exception when dup_val_on_index then dbms_output.put_line('dup'); end;
  begin x := 'abc'; exception when value_error then dbms_output.put_line('ve'); end;
  begin
    begin raise no_data_found; exception when no_data_found then raise; end;
  exception when others then dbms_output.put_line('reraised ' || sqlcode);
  end;
end;)");
  EXPECT_EQ(output(),
            (std::vector<std::string>{"-20001 ORA-20001: ", "1 User-Defined Exception",
                                      "ORA-01476: divisor is equal to zero", "tmr -1422", "ndf 100",
                                      "ORA-20005: mine|ORA-20005: ", "dup", "ve", "reraised 100"}));
  // An error in a declaration goes to the enclosing block.
  run("begin dbms_output.enable; declare x number(1) := 99; begin null; exception when others "
      "then dbms_output.put_line('inner'); end; exception when others then "
      "dbms_output.put_line('outer'); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"outer"});
  // Application errors are -20000 .. -20999.
  for (int n : {-1, -19999, -21000})
    EXPECT_EQ(
        error("begin raise_application_error(" + std::to_string(n) + ", 'x'); end;").substr(0, 9),
        "ORA-21000")
        << n;
  for (int n : {-20000, -20999})
    EXPECT_EQ(error("begin raise_application_error(" + std::to_string(n) + ", 'x'); end;"),
              "ORA" + std::to_string(n) + ": x\nORA-06512: at line 1");
  // Its message keeps 2048 bytes.
  EXPECT_EQ(error("begin raise_application_error(-20001, rpad('x', 3000, 'x')); end;"),
            "ORA-20001: " + std::string(2048, 'x') + "\nORA-06512: at line 1");
  // Outside a handler SQLCODE is 0; SQLERRM of a number is that number's message.
  run("begin dbms_output.enable; dbms_output.put_line(sqlcode || ' ' || sqlerrm); "
      "dbms_output.put_line(sqlerrm(0)); dbms_output.put_line(sqlerrm(100)); "
      "dbms_output.put_line(sqlerrm(1)); dbms_output.put_line(sqlerrm(-1476)); "
      "dbms_output.put_line(sqlerrm(5)); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{
                          "0 ORA-0000: normal, successful completion",
                          "ORA-0000: normal, successful completion", "ORA-01403: no data found",
                          "User-Defined Exception", "ORA-01476: divisor is equal to zero",
                          "-5: non-ORACLE exception "}));
  // A handler names an exception by its number too; one that names another lets it pass.
  run("declare e exception; pragma exception_init(e, -1476); u exception; n number; begin "
      "dbms_output.enable; begin n := 1 / 0; exception when e then dbms_output.put_line('init ' "
      "|| sqlcode); end; begin begin raise u; exception when no_data_found then null; end; "
      "exception when others then dbms_output.put_line('outer ' || sqlcode); end; end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"init -1476", "outer 1"}));
  // RAISE in a handler starts the error's way out afresh: its lines are those of the RAISE.
  run("create or replace procedure ndf is begin raise no_data_found; end;");
  EXPECT_EQ(error("begin\nndf;\nexception when others then\nraise;\nend;"),
            "ORA-01403: no data found\nORA-06512: at line 4");
  EXPECT_EQ(error("declare e exception; begin raise e; end;"),
            "ORA-06510: PL/SQL: unhandled user-defined exception\nORA-06512: at line 1");
}

TEST_F(PlsqlRun, SubprogramsPackagesAndState) {
  run(R"(declare
  procedure local(a number, b out number, c in out number) is begin b := a * 2; c := c + 1; end;
  function add(a number, b number default 10) return number is begin return a + b; end;
  function add(a varchar2) return varchar2 is begin return a || '!'; end;
  function fact(n binary_integer) return number is begin if n <= 1 then return 1; end if; return n * fact(n - 1); end;
  x number; y number := 5;
begin
  dbms_output.enable;
  local(3, x, y);
  dbms_output.put_line(x || ' ' || y || ' ' || add(1) || ' ' || add(1, b => 2) || ' ' || add('hi') || ' ' || fact(10));
end;)");
  EXPECT_EQ(output(), std::vector<std::string>{"6 6 11 3 hi! 3628800"});
  // A declared-ahead procedure, a nested one using its enclosing ones' variables, RETURN from
  // inside a WHILE loop.
  run(R"(declare x number := 1;
  procedure even(n number);
  procedure odd(n number) is begin if n > 0 then even(n - 1); else x := x * 10; end if; end;
  procedure even(n number) is begin if n > 0 then odd(n - 1); else x := x + 1; end if; end;
  procedure outer_p is y number := 5; procedure inner_p is begin x := x + y; end; begin inner_p; end;
  function first_over(lim number) return number is i number := 0; begin while true loop i := i + 1; if i * i > lim then return i; end if; end loop; end;
begin dbms_output.enable; even(3); outer_p; dbms_output.put_line(x || ' ' || first_over(50)); end;)");
  EXPECT_EQ(output(), std::vector<std::string>{"15 8"});
  run("create or replace package counter is n number := 100; procedure bump(by_ number default "
      "1); function value_of return number; end;");
  run("create or replace package body counter is procedure bump(by_ number default 1) is begin "
      "n := n + by_; end; function value_of return number is begin return n; end; begin n := 0; "
      "end;");
  run("begin counter.bump; counter.bump(5); end;");
  // State per logon survives between calls; the initialisation ran once.
  run("begin dbms_output.enable; counter.bump; dbms_output.put_line(counter.value_of || ' ' || "
      "counter.n); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"7 7"});
  run("begin dbms_output.enable; counter.n := 42; dbms_output.put_line(counter.value_of); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"42"});
  // Stored functions in SQL.
  run("create or replace function twice(n number) return number is begin return n * 2; end;");
  run("declare v number; begin dbms_output.enable; select twice(sal) into v from emp where empno "
      "= 7839; dbms_output.put_line(v); select count(*) into v from emp where twice(sal) > 5000; "
      "dbms_output.put_line(v); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"10000", "5"}));
  // Defaults of a function called from SQL and of a package member; a function that ends
  // without RETURN.
  run("create or replace function fd(a number default 5) return number is begin return a * 2; "
      "end;");
  run("create or replace package pk is procedure p(a number default 3); end;");
  run("create or replace package body pk is procedure p(a number default 3) is begin "
      "dbms_output.put_line('p' || a); end; end;");
  run("declare v number; begin dbms_output.enable; select fd into v from dual; "
      "dbms_output.put_line(v || ' ' || fd(1)); pk.p; end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"10 2", "p3"}));
  // Calls nest 400 deep; the next is ORA-06500.
  run("create or replace function depth(n number) return number is begin if n <= 1 then "
      "return 1; end if; return depth(n - 1) + 1; end;");
  run("begin dbms_output.enable; dbms_output.put_line(depth(400)); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"400"});
  EXPECT_EQ(error("declare n number; begin n := depth(401); end;").substr(0, 9), "ORA-06500");
  run("create or replace function fnr return number is begin null; end;");
  EXPECT_EQ(error("declare n number; begin n := fnr; end;"),
            "ORA-06503: PL/SQL: Function returned without value\nORA-06512: at \"SCOTT.FNR\", "
            "line 1\nORA-06512: at line 1");
}

// A package replaced or recompiled under a logon that holds its state: that logon hears once
// that the state was discarded, then starts afresh; a package without state just goes on.
TEST_F(PlsqlRun, DiscardedPackageStateIsReportedOnce) {
  run("create package counter is n number := 0; end;");
  run("create package plain is function one return number; end;");
  run("create package body plain is function one return number is begin return 1; end; end;");
  const std::string use =
      "begin dbms_output.enable; counter.n := counter.n + 1; dbms_output.put_line(counter.n || "
      "' ' || plain.one); end;";
  run(use);
  run(use);
  EXPECT_EQ(output(), (std::vector<std::string>{"1 1", "2 1"}));
  auto other = secondLogon();
  auto runOther = [&](const std::string &text) { runOn(other, text); };
  runOther("create or replace package counter is n number := 10; end;");
  runOther("create or replace package body plain is function one return number is begin return "
           "2; end; end;");
  int code = 0;
  EXPECT_EQ(error(use, &code),
            "ORA-04068: existing state of packages has been discarded\n"
            "ORA-04061: existing state of package \"SCOTT.COUNTER\" has been invalidated\n"
            "ORA-04065: not executed, altered or dropped package \"SCOTT.COUNTER\"\n"
            "ORA-06508: PL/SQL: could not find program unit being called\n"
            "ORA-06512: at line 1");
  EXPECT_EQ(code, 4068);
  run(use);
  EXPECT_EQ(output(), (std::vector<std::string>{"11 2"}));
  // A new body alone discards the state too; the logon that compiles it is not told.
  run(use);
  run("create package body counter is begin n := 100; end;");
  run(use);
  EXPECT_EQ(output(), (std::vector<std::string>{"12 2", "101 2"}));
  runOther("create or replace package body counter is begin n := 200; end;");
  EXPECT_EQ(error(use, &code),
            "ORA-04068: existing state of packages has been discarded\n"
            "ORA-04061: existing state of package body \"SCOTT.COUNTER\" has been invalidated\n"
            "ORA-04065: not executed, altered or dropped package body \"SCOTT.COUNTER\"\n"
            "ORA-06508: PL/SQL: could not find program unit being called\n"
            "ORA-06512: at line 1");
  run(use);
  EXPECT_EQ(output(), (std::vector<std::string>{"201 2"}));
  // A handler can catch it.
  runOther("alter package counter compile");
  run("begin dbms_output.enable; counter.n := 1; exception when others then "
      "dbms_output.put_line(sqlcode); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"-4068"}));
  // Without variables or cursors the new body simply runs; a cursor of the body is state.
  const std::string one = "begin dbms_output.enable; dbms_output.put_line(plain.one); end;";
  run(one);
  runOther("create or replace package body plain is function one return number is begin return "
           "3; end; end;");
  run(one);
  EXPECT_EQ(output(), (std::vector<std::string>{"2", "3"}));
  runOther("create or replace package body plain is cursor c is select 1 from dual; function one "
           "return number is begin return 4; end; end;");
  run(one);
  runOther("create or replace package body plain is cursor c is select 1 from dual; function one "
           "return number is begin return 5; end; end;");
  EXPECT_EQ(error(one, &code).substr(0, 9), "ORA-04068");
  run(one);
  EXPECT_EQ(output(), (std::vector<std::string>{"4", "5"}));
  other->close();
}

TEST_F(PlsqlRun, SqlWithPlsqlValues) {
  run(R"(declare
  n number := 50; d varchar2(14) := 'LAB'; cnt number;
begin
  dbms_output.enable;
  insert into dept (deptno, dname, loc) values (n, d, 'HERE');
  dbms_output.put_line(sql%rowcount);
  update emp set sal = sal + n where deptno = 10;
  dbms_output.put_line(sql%rowcount);
  select count(*) into cnt from dept where dname = d;
  dbms_output.put_line(cnt);
  delete from dept where deptno = n;
  if sql%found then dbms_output.put_line('deleted'); end if;
  update emp set sal = sal where 1 = 0;
  if sql%found then dbms_output.put_line('found'); end if;
  if sql%notfound then dbms_output.put_line('none ' || sql%rowcount); end if;
  rollback;
  for r in (select deptno, count(*) c from emp group by deptno order by deptno) loop
    dbms_output.put(r.deptno || '=' || r.c || ' ');
  end loop;
  dbms_output.new_line;
end;)");
  EXPECT_EQ(output(),
            (std::vector<std::string>{"1", "3", "1", "deleted", "none 0", "10=3 20=5 30=6 "}));
  run("declare n number; begin dbms_output.enable; savepoint a; update emp set sal = 1; "
      "rollback to a; select sum(sal) into n from emp; dbms_output.put_line(n); select count(*) "
      "into n from (select rownum r from emp) where r > 10; dbms_output.put_line(n); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"29025", "4"}));
  // SELECT INTO sets the implicit cursor's attributes, also when it finds no row.
  run("declare n number; begin dbms_output.enable; select sal into n from emp where empno = "
      "7369; if sql%found and not sql%notfound then dbms_output.put_line('one ' || "
      "sql%rowcount); end if; select sal into n from emp where 1 = 0; exception when "
      "no_data_found then if sql%notfound and not sql%found then dbms_output.put_line('none ' || "
      "sql%rowcount); end if; end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"one 1", "none 0"}));
  // TOO_MANY_ROWS: SQL%ROWCOUNT is 1, not the number of rows the query has.
  run("declare n number; begin dbms_output.enable; select sal into n from emp; exception when "
      "too_many_rows then if sql%found and not sql%isopen then dbms_output.put_line('tmr ' || "
      "sql%rowcount); end if; "
      "end;");
  EXPECT_EQ(output(), std::vector<std::string>{"tmr 1"});
  EXPECT_EQ(column("SELECT sal FROM \"SCOTT.EMP\" WHERE empno = 7839"),
            std::vector<std::string>{"5000"});
  // LOCK TABLE in a block takes the write lock until the transaction ends.
  run("begin lock table emp in exclusive mode; end;");
  auto other = secondLogon();
  int code = 0;
  try {
    runOn(other, "update emp set sal = sal where empno = 7839");
  } catch (const localdb::OraError &e) {
    code = e.code;
  }
  EXPECT_EQ(code, 54);
  run("commit");
  runOn(other, "update emp set sal = sal where empno = 7839");
  other->close();
}

TEST_F(PlsqlRun, DbmsOutputRules) {
  // Nothing is kept while output is disabled.
  run("begin dbms_output.put_line('lost'); end;");
  EXPECT_TRUE(output().empty());
  run("begin dbms_output.enable; dbms_output.put('a'); dbms_output.put('b'); "
      "dbms_output.new_line; dbms_output.put_line(null); dbms_output.put_line(42); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"ab", "", "42"}));
  EXPECT_EQ(error("begin dbms_output.put_line(rpad('x', 300, 'x')); end;").substr(0, 71),
            "ORA-20000: ORU-10028: line length overflow, limit of 255 bytes per line");
  run("begin dbms_output.disable; dbms_output.put_line('x'); end;");
  EXPECT_TRUE(output().empty());
  // A line being put takes no room until it ends: in a nearly full buffer a PUT past 255 bytes
  // overflows the line, and the buffer overflows only with the line's end.
  std::string full = "begin dbms_output.disable; dbms_output.enable(2000); for i in 1 .. 19 loop "
                     "dbms_output.put_line(rpad('x', 100, 'x')); end loop; "
                     "dbms_output.put(rpad('x', 200, 'x')); ";
  EXPECT_EQ(error(full + "dbms_output.put(rpad('x', 100, 'x')); end;").substr(0, 71),
            "ORA-20000: ORU-10028: line length overflow, limit of 255 bytes per line");
  EXPECT_EQ(error(full + "dbms_output.new_line; end;").substr(0, 58),
            "ORA-20000: ORU-10027: buffer overflow, limit of 2000 bytes");
  run("begin dbms_output.disable; end;");
}

TEST_F(PlsqlRun, TextAtMost32767Bytes) {
  auto firstLine = [](const std::string &m) { return m.substr(0, m.find('\n')); };
  const std::string tooSmall =
      "ORA-06502: PL/SQL: numeric or value error: character string buffer too small";
  run("declare s varchar2(32767) := rpad('x', 32766, 'x'); begin dbms_output.enable; "
      "dbms_output.put_line(length(s)); s := s || 'y'; dbms_output.put_line(length(s)); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"32766", "32767"}));
  // One byte more, as an expression's result or in a variable, is too much.
  EXPECT_EQ(firstLine(error("declare s varchar2(32767) := rpad('x', 32767, 'x'); n number; "
                            "begin n := length(s || 'y'); end;")),
            tooSmall);
  EXPECT_EQ(firstLine(error("declare s varchar2(10) := 'x'; n number; begin "
                            "for i in 1 .. 20 loop n := length(s || s); s := rpad(s, n * 2, 'x'); "
                            "end loop; end;")),
            tooSmall);
  EXPECT_EQ(firstLine(error("declare s varchar2(3); begin s := 'abcd'; end;")), tooSmall);
  // A longer literal does not compile.
  std::string e =
      error("declare n number; begin n := length('" + std::string(40000, 'x') + "'); end;");
  EXPECT_EQ(e.substr(0, 10), "ORA-06550:");
  EXPECT_NE(e.find("PLS-00172: string literal too long"), std::string::npos) << e.substr(0, 200);
}

TEST_F(PlsqlRun, ControlFlow) {
  run(R"(declare s varchar2(50); i number := 0;
begin
  dbms_output.enable;
  for k in reverse 1..3 loop s := s || k; end loop;
  while i < 5 loop i := i + 2; end loop;
  s := s || ' ' || i;
  <<again>>
  i := i + 1;
  if i < 9 then goto again; end if;
  s := s || ' ' || i;
  if i = 9 then s := s || ' nine'; elsif i > 9 then s := s || ' more'; else s := s || ' less'; end if;
  if null = null then null; else s := s || ' unknown'; end if;
  loop i := i - 1; exit when i < 3; end loop;
  dbms_output.put_line(s || ' ' || i);
  s := null;
  <<outer>> loop
    loop i := i + 1; exit outer when i > 4; end loop;
    s := 'only the inner loop';
    exit;
  end loop;
  if 5 between 1 and 3 then s := s || 'between'; end if;
  if 3 between 1 and 3 and 1 between 1 and 3 and 0 not between 1 and 3 then s := s || 'bounds'; end if;
  if 'a_b' like 'a\_b' escape '\' and 'axb' not like 'a\_b' escape '\' then s := s || ' escape'; end if;
  dbms_output.put_line(s || ' ' || i);
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"321 6 9 nine unknown 2", "bounds escape 5"}));
  run("declare s varchar2(100); begin dbms_output.enable; if 'abc' like 'a%c' then s := s || "
      "'1'; end if; if 'abc' like '%x' then s := s || '2'; end if; if 'abc' like 'a%b%c%' then s "
      ":= s || '3'; end if; if 'abc' not like '_b%' then s := s || '4'; end if; if 1 in (null, "
      "1) "
      "then s := s || '5'; end if; if 1 in (null, 2) or 1 not in (2, null) then s := s || '6'; "
      "elsif not (1 in (null, 2)) then s := s || '7'; end if; dbms_output.put_line(s); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"135"});
  // Comparisons, and AND, OR and NOT over TRUE, FALSE and NULL.
  run(R"(declare s varchar2(200); t boolean := true; f boolean := false; n boolean;
  function b(x boolean) return varchar2 is begin if x then return 'T'; elsif not x then return 'F'; end if; return 'N'; end;
begin
  dbms_output.enable;
  for i in 1..3 loop s := s || b(i = 2) || b(i <> 2) || b(i < 2) || b(i > 2) || b(i <= 2) || b(i >= 2) || ' '; end loop;
  s := s || b(null = 1) || b(1 < null) || b('b' > 'a') || b(sysdate > to_date('2000', 'YYYY')) || ' ';
  s := s || b(t and t) || b(t and f) || b(f and t) || b(t and n) || b(n and t) || b(f and n) || b(n and f) || b(n and n) || ' ';
  s := s || b(t or t) || b(t or f) || b(f or t) || b(f or f) || b(t or n) || b(n or t) || b(f or n) || b(n or f) || ' ';
  s := s || b(not t) || b(not f) || b(not n) || b(n is null) || b(t is not null) || ' ';
  s := s || b(null like 'a') || b('a' like null) || b(null between 1 and 2) || b(1 between null and 2) || b(5 between 6 and null) || b(5 not between null and 4);
  s := s || b(null in (1, 2)) || b(1 in (2, 3)) || b(1 not in (2, 3)) || b(('a' || chr(1) || 'b') like ('a' || chr(1) || 'b'));
  dbms_output.put_line(s);
  dbms_output.put_line(-(5) || ' ' || -(2.5) || ' ' || +(3) || ' ' || -(null) || '|' || (2 + 3) || ' ' || (7 - 10) || ' ' || (6 * 7) || ' ' || (7 / 2));
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{
                          "FTTFTF TFFFTT FTFTFT NNTT TFFNNFFN TTTFTTNN FTNTT NNNNFTNFTT",
                          "-5 -2.5 3 |5 -3 42 3.5"}));
  // A FOR loop's bounds are BINARY_INTEGERs.
  run("begin dbms_output.enable; for i in -2147483647..-2147483647 loop dbms_output.put_line(i); "
      "end loop; for i in reverse 2147483647..2147483647 loop dbms_output.put_line(i); end loop; "
      "end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"-2147483647", "2147483647"}));
  for (const char *bounds : {"1..null", "null..1", "1..2147483648", "-2147483648..1"})
    EXPECT_EQ(error(std::string("begin for i in ") + bounds + " loop exit; end loop; end;"),
              "ORA-06502: PL/SQL: numeric or value error\nORA-06512: at line 1")
        << bounds;
  EXPECT_EQ(error("begin if 'ab' like 'ab' escape 'xy' then null; end if; end;"),
            "ORA-01425: escape character must be character string of length 1\n"
            "ORA-06512: at line 1");
}

TEST_F(PlsqlRun, RowTriggers) {
  run("create table audit_log (msg varchar2(100))");
  EXPECT_EQ(
      run(R"(create or replace trigger emp_biu before insert or update of sal on emp for each row
begin
  if inserting then
    :new.ename := upper(:new.ename);
    insert into audit_log values ('ins ' || :new.ename);
  elsif updating then
    if :new.sal < :old.sal then
      raise_application_error(-20100, 'no pay cuts');
    end if;
    insert into audit_log values ('upd ' || :old.sal || '->' || :new.sal);
  end if;
end;)"),
      0);
  EXPECT_EQ(column("SELECT trigger_type || '|' || triggering_event || '|' || table_name || '|' || "
                   "status FROM ora_triggers"),
            std::vector<std::string>{"BEFORE EACH ROW|INSERT OR UPDATE|EMP|ENABLED"});
  run("insert into emp (empno, ename, sal) values (1, 'smith jr', 100)");
  run("update emp set sal = sal + 1 where empno = 7839");
  // A failing trigger fails the statement and undoes its effect.
  EXPECT_EQ(error("update emp set sal = sal - 1 where deptno = 10"),
            "ORA-20100: no pay cuts\nORA-06512: at \"SCOTT.EMP_BIU\", line 7\nORA-04088: error "
            "during execution of trigger 'SCOTT.EMP_BIU'");
  run("update emp set comm = 1 where empno = 7839"); // not a column of UPDATE OF
  run("create or replace trigger dept_ad after delete on dept for each row when (old.deptno > 30)"
      "\nbegin\n  insert into audit_log values ('del ' || :old.dname);\nend;");
  run("delete from dept where deptno = 40");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.AUDIT_LOG\" ORDER BY rowid"),
            (std::vector<std::string>{"ins SMITH JR", "upd 5000->5001", "del OPERATIONS"}));
  EXPECT_EQ(column("SELECT sal FROM \"SCOTT.EMP\" WHERE empno IN (7839, 7782) ORDER BY empno"),
            (std::vector<std::string>{"2450", "5001"}));
  // Disabled, it does not fire; an invalid one fails the statement.
  run("alter trigger dept_ad disable");
  run("insert into dept values (50, 'X', 'Y')");
  run("delete from dept where deptno = 50");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.AUDIT_LOG\""), std::vector<std::string>{"3"});
  EXPECT_EQ(run("create or replace trigger bad before insert on dept for each row begin nosuch; "
                "end;"),
            0x20);
  EXPECT_EQ(error("insert into dept values (77, 'x', 'y')"),
            "ORA-04098: trigger 'SCOTT.BAD' is invalid and failed re-validation");
  run("drop trigger bad");
  run("insert into dept values (77, 'x', 'y')");
}

TEST_F(PlsqlRun, StatementTriggers) {
  run("create table stmt_log (msg varchar2(100))");
  run(R"(create or replace trigger emp_bs before insert or update or delete on emp
begin
  if inserting then insert into stmt_log values ('before ins');
  elsif updating then insert into stmt_log values ('before upd');
  elsif deleting then insert into stmt_log values ('before del');
  end if;
end;)");
  run(R"(create or replace trigger emp_as after update on emp
declare
  n number;
begin
  select count(*) into n from emp where sal > 10000;
  insert into stmt_log values ('after upd ' || n);
end;)");
  // Once per statement, whatever the number of rows; the AFTER trigger sees the new rows.
  run("update emp set sal = sal + 10000 where deptno = 10");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.STMT_LOG\" ORDER BY rowid"),
            (std::vector<std::string>{"before upd", "after upd 3"}));
  // Also for no rows at all, and for DML inside PL/SQL.
  run("delete from emp where empno = -1");
  run("begin update emp set sal = sal - 10000 where deptno = 10; end;");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.STMT_LOG\" ORDER BY rowid"),
            (std::vector<std::string>{"before upd", "after upd 3", "before del", "before upd",
                                      "after upd 0"}));
  run("drop trigger emp_bs");
  run("drop trigger emp_as");
  run("delete from stmt_log");

  // A failing statement trigger fails the statement and undoes its changes and the trigger's.
  run(R"(create or replace trigger dept_ai after insert on dept
begin
  insert into stmt_log values ('after ins');
  raise_application_error(-20001, 'no new departments');
end;)");
  EXPECT_EQ(error("insert into dept values (60, 'A', 'B')"),
            "ORA-20001: no new departments\nORA-06512: at \"SCOTT.DEPT_AI\", line 3\nORA-04088: "
            "error during execution of trigger 'SCOTT.DEPT_AI'");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.DEPT\" WHERE deptno = 60"),
            std::vector<std::string>{"0"});
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.STMT_LOG\""), std::vector<std::string>{"0"});
  // From PL/SQL the failure is an exception a handler can catch, with the row undone.
  run(R"(begin
  insert into dept values (61, 'A', 'B');
exception when others then
  insert into stmt_log values ('caught ' || sqlcode);
end;)");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.STMT_LOG\""),
            std::vector<std::string>{"caught -20001"});
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.DEPT\" WHERE deptno IN (60, 61)"),
            std::vector<std::string>{"0"});
  // Disabled, it does not fire.
  run("alter trigger dept_ai disable");
  run("insert into dept values (62, 'A', 'B')");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.DEPT\" WHERE deptno = 62"),
            std::vector<std::string>{"1"});
  run("delete from stmt_log");

  // UPDATE OF: only an update of one of its columns fires it.
  run(R"(create or replace trigger emp_bsal before update of sal, comm on emp
begin
  insert into stmt_log values ('sal');
end;)");
  run("update emp set ename = ename where empno = 7839");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.STMT_LOG\""), std::vector<std::string>{"0"});
  run("update emp set ename = ename, comm = 1 where empno = 7839");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.STMT_LOG\""), std::vector<std::string>{"1"});
}

// Each logon keeps what it learnt of a table's statement triggers; a trigger another logon
// creates, disables or drops is seen by a statement parsed before.
TEST_F(PlsqlRun, StatementTriggersOfAnotherLogonAreSeen) {
  run("create table stmt_log (msg varchar2(100))");
  auto other = secondLogon();
  auto runOther = [&](const std::string &text) { runOn(other, text); };
  localdb::Cursor ins(session);
  std::string text = "insert into dept values (70, 'A', 'B')";
  ins.parse(text.data(), text.size(), true);
  ins.execute(1, 0);
  run("rollback");
  runOther(R"(create trigger dept_bi before insert on dept
begin
  insert into stmt_log values ('fired');
end;)");
  ins.execute(1, 0);
  run("rollback");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.STMT_LOG\""), std::vector<std::string>{"0"})
      << "rolled back with the insert";
  // The same cursor again after each change of the other logon's: the trigger's rows so far.
  auto insertAgain = [&] {
    run("delete from dept where deptno = 70");
    ins.execute(1, 0);
    run("commit");
    return column("SELECT count(*) FROM \"SCOTT.STMT_LOG\"").at(0);
  };
  EXPECT_EQ(insertAgain(), "1");
  runOther("alter trigger dept_bi disable");
  EXPECT_EQ(insertAgain(), "1");
  runOther("alter trigger dept_bi enable");
  EXPECT_EQ(insertAgain(), "2");
  runOther("drop trigger dept_bi");
  EXPECT_EQ(insertAgain(), "2");
  other->close();
}

// A unit replaced in another process within the same second, as a second program on the
// same server would: the next call here runs the new body (the dictionary's time has whole
// seconds, and another process shares none of this one's memory).
TEST_F(PlsqlRun, UnitsReplacedByAnotherProcessAreSeen) {
  auto define = [](const std::shared_ptr<localdb::Session> &on, int n) {
    runOn(on, "create or replace procedure say is begin dbms_output.put_line('v" +
                  std::to_string(n) + "'); end;");
  };
  auto inOtherProcess = [&](int n) {
    pid_t child = fork();
    if (child == 0) {
      int rc = 0;
      try {
        auto other = secondLogon();
        define(other, n);
        other->close();
      } catch (...) {
        rc = 1;
      }
      _exit(rc);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  };
  define(session, 1);
  run("begin dbms_output.enable; end;");
  for (int n = 2; n <= 4; ++n) {
    run("begin say; end;");
    ASSERT_TRUE(inOtherProcess(n));
    run("begin say; end;");
    EXPECT_EQ(output(),
              (std::vector<std::string>{"v" + std::to_string(n - 1), "v" + std::to_string(n)}));
  }
}

// A server file of an older dictionary gets the new one at the first logon (its DUAL table
// kept), and the serial of each object's last change; its units run as before.
TEST_F(PlsqlRun, FilesWithoutChangeSerialsAreUpgraded) {
  run("create procedure old_one is begin dbms_output.put_line('old'); end;");
  ASSERT_EQ(sqlite3_exec(session->db(),
                         "ALTER TABLE ora_objects DROP COLUMN ddl_serial; UPDATE ora_meta SET "
                         "value = '6' WHERE key = 'dictionary'",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  session->close();
  session = secondLogon();
  EXPECT_EQ(column("SELECT count(ddl_serial) FROM ora_objects WHERE object_name = 'OLD_ONE'"),
            std::vector<std::string>{"1"});
  run("begin dbms_output.enable; old_one; end;");
  EXPECT_EQ(output(), std::vector<std::string>{"old"});
}

// CASE statements and expressions and CONTINUE, at the server's default language level.
TEST_F(PlsqlRun, CaseAndContinue) {
  run(R"(declare
  grade char(1) := 'B';
  n number;
  s varchar2(100);
begin
  dbms_output.enable;
  case grade
    when 'A' then dbms_output.put_line('excellent');
    when 'B' then dbms_output.put_line('good');
    else dbms_output.put_line('other');
  end case;
  case when grade > 'A' then dbms_output.put_line('after A'); end case;
  n := case grade when 'A' then 1 when 'B' then 2 end;
  dbms_output.put_line('n=' || n || ' null=' || nvl(to_char(case when 1 = 2 then 1 end), 'yes'));
  for i in 1 .. 6 loop
    continue when mod(i, 2) = 0;
    s := s || i;
  end loop;
  <<outer>> for i in 1 .. 3 loop
    for j in 1 .. 3 loop
      continue outer when j > i;
      s := s || '.' || i || j;
    end loop;
  end loop;
  dbms_output.put_line(s);
end;)");
  EXPECT_EQ(output(),
            (std::vector<std::string>{"good", "after A", "n=2 null=yes", "135.11.21.22.31.32.33"}));
  // No branch taken and no ELSE: CASE_NOT_FOUND, which a handler can name.
  run(R"(begin
  case 3 when 1 then null; end case;
exception when case_not_found then dbms_output.put_line(sqlcode || ' ' || sqlerrm);
end;)");
  EXPECT_EQ(output(), std::vector<std::string>{
                          "-6592 ORA-06592: CASE not found while executing CASE statement"});
  // A NULL selector matches no WHEN NULL.
  run("declare x number; begin case x when null then dbms_output.put_line('matched'); else "
      "dbms_output.put_line('else'); end case; end;");
  EXPECT_EQ(output(), std::vector<std::string>{"else"});
  EXPECT_NE(error("begin continue; end;").find("PLS-00376: illegal EXIT/CONTINUE statement"),
            std::string::npos);
}

// What later library code writes: unit options between the header and IS, the DBMS_UTILITY
// functions, DBMS_LOCK.SLEEP and SYS_CONTEXT.
TEST_F(PlsqlRun, LibraryIdioms) {
  run("create or replace function sq(n number) return number deterministic authid definer "
      "result_cache relies_on (emp) is begin return n * n; end;");
  run("create or replace package pk authid current_user is procedure p; end;");
  run(R"(declare
  t number := dbms_utility.get_time;
begin
  dbms_output.enable;
  dbms_output.put_line(sq(3));
  dbms_lock.sleep(0.05);
  dbms_output.put_line(case when dbms_utility.get_time - t >= 4 then 'slept' end);
  begin
    raise no_data_found;
  exception when others then
    dbms_output.put_line(rtrim(dbms_utility.format_error_stack, chr(10)));
  end;
  declare
    mine exception;
  begin
    raise mine;
  exception when mine then
    dbms_output.put_line(rtrim(dbms_utility.format_error_stack, chr(10)));
  end;
  dbms_output.put_line(sys_context('USERENV', 'CURRENT_USER') || ' ' ||
                       nvl(dbms_utility.format_error_stack, 'none'));
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{
                          "9", "slept", "ORA-01403: no data found",
                          "ORA-06510: PL/SQL: unhandled user-defined exception", "SCOTT none"}));
  EXPECT_NE(error("begin dbms_utility.get_time; end;").find("PLS-00221"), std::string::npos);
  EXPECT_NE(error("declare x number; begin x := dbms_lock.nothing; end;").find("PLS-00302"),
            std::string::npos);
}

// EXECUTE IMMEDIATE: DDL, DML with USING, a query INTO variables, a block; its errors.
TEST_F(PlsqlRun, ExecuteImmediate) {
  run(R"(declare
  n number;
  d date;
  name varchar2(30);
  tab varchar2(30) := 'DYN';
begin
  dbms_output.enable;
  execute immediate 'create table ' || tab || ' (id number, born date, name varchar2(30))';
  execute immediate 'insert into dyn values (:1, :2, :3)' using 1, to_date('2001-02-03', 'YYYY-MM-DD'), 'one';
  execute immediate 'insert into dyn values (:a, sysdate, :b)' using 2, null;
  dbms_output.put_line(sql%rowcount || case when sql%found then ' found' end);
  execute immediate 'delete from dyn where id = 99';
  dbms_output.put_line(case when sql%found then 'found' else 'none found' end);
  execute immediate 'select count(*), min(born) from dyn where id <= :x' into n, d using 5;
  dbms_output.put_line(n || ' ' || to_char(d, 'YYYY-MM-DD') || ' ' || sql%rowcount || case when sql%found then ' found' end);
  execute immediate 'select name from dyn where id = 1' into name;
  dbms_output.put_line(name);
  execute immediate 'select id, name from dyn where id = 2' into n, name;
  dbms_output.put_line(n || nvl(name, ' null'));
  execute immediate 'begin dbms_output.put_line(''inner ' || n || '''); end;';
  begin
    execute immediate 'select name from dyn where id = 99' into name;
  exception when no_data_found then dbms_output.put_line('none');
  end;
  begin
    execute immediate 'select name from dyn' into name;
  exception when too_many_rows then dbms_output.put_line('many');
  end;
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"1 found", "none found", "2 2001-02-03 1 found",
                                                "one", "2 null", "inner 2", "none", "many"}));
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.DYN\" WHERE name IS NULL"),
            std::vector<std::string>{"1"});
  EXPECT_NE(error("begin execute immediate 'select * from nowhere'; end;").find("ORA-00942"),
            std::string::npos);
  EXPECT_NE(error("begin execute immediate null; end;").find("ORA-06535"), std::string::npos);
  EXPECT_NE(
      error("begin execute immediate 'delete from dyn where id = :1'; end;").find("ORA-01008"),
      std::string::npos);
}

// BULK COLLECT INTO tables: all rows of a SELECT, a cursor's rows in batches of LIMIT.
TEST_F(PlsqlRun, BulkCollect) {
  run(R"(declare
  type names_t is table of varchar2(10) index by binary_integer;
  type sals_t is table of number index by binary_integer;
  type rows_t is table of emp%rowtype index by binary_integer;
  names names_t;
  sals sals_t;
  rows rows_t;
  cursor c is select ename from emp order by empno;
  batches varchar2(100);
begin
  dbms_output.enable;
  select ename, sal bulk collect into names, sals from emp where deptno = 10 order by ename;
  dbms_output.put_line(names.count || ' ' || names(1) || ' ' || sals(3) || ' ' || sql%rowcount);
  select * bulk collect into rows from emp where deptno = 20 order by empno;
  dbms_output.put_line(rows.count || ' ' || rows(2).ename);
  select ename bulk collect into names from emp where 1 = 2;
  dbms_output.put_line('empty ' || names.count);
  open c;
  loop
    fetch c bulk collect into names limit 5;
    batches := batches || names.count || ',';
    exit when c%notfound;
  end loop;
  dbms_output.put_line(batches || c%rowcount || ' ' || names(1));
  close c;
end;)");
  EXPECT_EQ(output(),
            (std::vector<std::string>{"3 CLARK 1300 3", "5 JONES", "empty 0", "5,5,4,14 ADAMS"}));
  // A row that fails, of a SELECT or of a cursor; a cursor not open.
  const std::string table = "declare type t is table of number index by binary_integer; n t; ";
  EXPECT_EQ(error("declare n number; begin select 1 / 0 into n from dual; end;"),
            "ORA-01476: divisor is equal to zero\nORA-06512: at line 1");
  EXPECT_EQ(error(table + "begin select 1 / 0 bulk collect into n from dual; end;"),
            "ORA-01476: divisor is equal to zero\nORA-06512: at line 1");
  EXPECT_EQ(error(table + "cursor c is select 1 / 0 x from dual; begin open c; fetch c bulk "
                          "collect into n; end;"),
            "ORA-01476: divisor is equal to zero\nORA-06512: at line 1");
  EXPECT_EQ(error(table + "cursor c is select sal from emp; begin fetch c bulk collect into n; "
                          "end;"),
            "ORA-01001: invalid cursor\nORA-06512: at line 1");
  EXPECT_NE(error("declare n number; begin select sal bulk collect into n from emp; end;")
                .find("PLS-00497"),
            std::string::npos);
}

// FORALL: one DML statement per index of a range, its rows counted together.
TEST_F(PlsqlRun, Forall) {
  run("create table fa (n number, s varchar2(10))");
  run(R"(begin
  dbms_output.enable;
  forall i in 1 .. 5
    insert into fa values (i * 10, 'x' || i);
  dbms_output.put_line(sql%rowcount);
  forall i in 2 .. 3
    update fa set s = 'y' where n <= i * 10;
  dbms_output.put_line(sql%rowcount);
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"5", "5"}));
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.FA\" WHERE s = 'y'"),
            std::vector<std::string>{"3"});
  EXPECT_NE(error("begin forall i in 1 .. 2 null; end;").find("PLS-00103"), std::string::npos);
}

// An error deep in a recursion lists the ORA-06512 lines of at most 32 calls, then the block's.
TEST_F(PlsqlRun, DeepErrorsListAtMost32Calls) {
  run("create or replace procedure down(n number) is begin if n = 0 then raise_application_error("
      "-20001, 'bottom'); end if; down(n - 1); end;");
  std::string e = error("begin down(40); end;");
  size_t lines = 0;
  for (size_t at = e.find("ORA-06512"); at != std::string::npos; at = e.find("ORA-06512", at + 1))
    ++lines;
  EXPECT_EQ(e.rfind("ORA-20001: bottom", 0), 0u) << e;
  EXPECT_EQ(lines, 33u) << e;
  EXPECT_NE(e.find("ORA-06512: at line 1"), std::string::npos) << e;
}

// A trigger may not end the transaction of the statement that fired it, also not through what
// it calls; the same procedure commits when called on its own.
TEST_F(PlsqlRun, TriggersCannotEndTheTransaction) {
  run("create table audit_log (msg varchar2(30))");
  run(R"(create procedure keep(m varchar2) is
begin
  insert into audit_log values (m);
  commit;
end;)");
  run(R"(create trigger dept_ai after insert on dept for each row
begin
  keep('row');
end;)");
  EXPECT_EQ(error("insert into dept values (80, 'A', 'B')"),
            "ORA-04092: cannot COMMIT in a trigger\nORA-06512: at \"SCOTT.KEEP\", line 4\n"
            "ORA-06512: at \"SCOTT.DEPT_AI\", line 2\n"
            "ORA-04088: error during execution of trigger 'SCOTT.DEPT_AI'");
  run("drop trigger dept_ai");
  run(R"(create trigger dept_bs before delete on dept
begin
  rollback;
end;)");
  EXPECT_EQ(error("delete from dept where deptno = 80"),
            "ORA-04092: cannot ROLLBACK in a trigger\nORA-06512: at \"SCOTT.DEPT_BS\", line 2\n"
            "ORA-04088: error during execution of trigger 'SCOTT.DEPT_BS'");
  run("drop trigger dept_bs");
  run("create trigger dept_bs before delete on dept begin savepoint s; end;");
  EXPECT_EQ(error("delete from dept where deptno = 80"),
            "ORA-04092: cannot SET SAVEPOINT in a trigger\nORA-06512: at \"SCOTT.DEPT_BS\", line "
            "1\nORA-04088: error during execution of trigger 'SCOTT.DEPT_BS'");
  run("drop trigger dept_bs");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.DEPT\" WHERE deptno = 80"),
            std::vector<std::string>{"0"});
  run("begin keep('alone'); end;");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.AUDIT_LOG\""), std::vector<std::string>{"alone"});
}

// DML through a view fires the triggers of the table behind it, UPDATE OF by the table's
// column names.
TEST_F(PlsqlRun, TriggersFireForDmlThroughAView) {
  run("create table stmt_log (msg varchar2(30))");
  run("create view pay as select empno id, sal salary, ename from emp");
  run(R"(create trigger emp_bu before update of sal on emp
begin
  insert into stmt_log values ('sal');
end;)");
  run(R"(create trigger emp_bi before insert on emp for each row
begin
  insert into stmt_log values ('row ' || :new.ename);
end;)");
  run("update pay set ename = ename where id = 7839");
  run("update pay set salary = salary + 1 where id = 7839");
  run("insert into pay (id, ename) values (1, 'NEW')");
  run("begin update pay set salary = salary + 1 where id = 7839; end;");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.STMT_LOG\" ORDER BY rowid"),
            (std::vector<std::string>{"sal", "row NEW", "sal"}));
}

namespace {

// Runs a statement the case expects to succeed; a failure is reported with its text and the
// case goes on. Returns the rows it processed.
uint32_t runCounted(const std::shared_ptr<localdb::Session> &session, const std::string &text) {
  localdb::Cursor c(session);
  c.parse(text.data(), text.size(), true);
  try {
    c.execute(1, 0);
  } catch (const localdb::OraError &e) {
    ADD_FAILURE() << text << ": " << e.message;
  }
  return c.rowsProcessed;
}

} // namespace

// A BEFORE row trigger runs before the row is checked and written: the constraints see what it
// put into :new, and the table it reads is as it was before the row.
TEST_F(PlsqlRun, BeforeRowTriggersRunBeforeTheRowIsChecked) {
  auto run = [&](const std::string &text) { return runCounted(session, text); };
  auto log = [&] { return column("SELECT msg FROM \"SCOTT.TRIG_LOG\" ORDER BY rowid"); };
  run("create table trig_log (msg varchar2(100))");
  run("create table t (id number not null primary key, name varchar2(10), n number check (n > "
      "0))");
  run("create sequence s");
  run(R"(create trigger t_bi before insert on t for each row
declare
  c number;
begin
  select s.nextval into :new.id from dual;
  select count(*) into c from trig_log;
  insert into trig_log values ('bi ' || :new.id || ' sees ' || c);
end;)");
  EXPECT_EQ(run("insert into t (name, n) values ('a', 1)"), 1u);
  EXPECT_EQ(column("SELECT id || ' ' || name FROM \"SCOTT.T\""), std::vector<std::string>{"1 a"});
  // Several rows of one statement: each numbered, each seeing what the rows before it did.
  EXPECT_EQ(run("insert into t (name, n) select ename, 1 from emp where deptno = 10"), 3u);
  EXPECT_EQ(column("SELECT count(DISTINCT id) || ' ' || max(id) FROM \"SCOTT.T\""),
            std::vector<std::string>{"4 4"});
  EXPECT_EQ(log(),
            (std::vector<std::string>{"bi 1 sees 0", "bi 2 sees 1", "bi 3 sees 2", "bi 4 sees 3"}));
  // A trigger that leaves :new alone lets SQLite write the row itself; the checks still hold.
  run("create or replace trigger t_bi before insert on t for each row begin null; end;");
  EXPECT_EQ(error("insert into t (name, n) values ('b', 1)"),
            "ORA-01400: cannot insert NULL into (\"SCOTT\".\"T\".\"ID\")");
  EXPECT_EQ(error("insert into t (id, name, n) values (1, 'b', 1)").substr(0, 10), "ORA-00001:");
  EXPECT_EQ(run("insert into t (id, name, n) values (50, 'e', 1)"), 1u);
  run("delete from trig_log");

  // BEFORE UPDATE: it can mend a value the CHECK would refuse, and sees :old.
  run(R"(create trigger t_bu before update on t for each row
begin
  if :new.n <= 0 then
    :new.n := -:new.n;
  end if;
  insert into trig_log values ('bu ' || :old.id || ' ' || :old.n || '->' || :new.n);
end;)");
  EXPECT_EQ(run("update t set n = -7 where id = 1"), 1u);
  EXPECT_EQ(run("update t set n = -(n + 1) where id > 1"), 4u);
  EXPECT_EQ(column("SELECT id || '=' || n FROM \"SCOTT.T\" ORDER BY id"),
            (std::vector<std::string>{"1=7", "2=2", "3=2", "4=2", "50=2"}));
  EXPECT_EQ(log(), (std::vector<std::string>{"bu 1 1->7", "bu 2 1->2", "bu 3 1->2", "bu 4 1->2",
                                             "bu 50 1->2"}));
  // Unchanged rows are counted as well.
  EXPECT_EQ(run("update t set name = name"), 5u);
  run("delete from trig_log");

  // A trigger that fails fails the statement: none of its rows stay written, even those the
  // triggers wrote back before the failing one.
  run(R"(create trigger t_bu2 before update of name on t for each row when (new.name = 'BAD')
begin
  raise_application_error(-20001, 'no bad names');
end;)");
  EXPECT_EQ(error("update t set name = decode(id, 4, 'BAD', 'ok'), n = -n"),
            "ORA-20001: no bad names\nORA-06512: at \"SCOTT.T_BU2\", line 2\nORA-04088: error "
            "during execution of trigger 'SCOTT.T_BU2'");
  EXPECT_EQ(column("SELECT id || '=' || name || n FROM \"SCOTT.T\" ORDER BY id"),
            (std::vector<std::string>{"1=a7", "2=CLARK2", "3=KING2", "4=MILLER2", "50=e2"}));
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.TRIG_LOG\""), std::vector<std::string>{"0"});
  // WHEN and UPDATE OF still choose: not the column, or not the value, and it does not fire.
  EXPECT_EQ(run("update t set n = 3 where id = 4"), 1u);
  EXPECT_EQ(run("update t set name = 'fine', n = -3 where id = 4"), 1u);
  EXPECT_EQ(column("SELECT name || n FROM \"SCOTT.T\" WHERE id = 4"),
            std::vector<std::string>{"fine3"});
  run("drop trigger t_bu2");
  run("delete from trig_log");

  // BEFORE DELETE: fires while the row is still there; failing, it keeps the row.
  run(R"(create trigger t_bd before delete on t for each row
declare
  c number;
begin
  select count(*) into c from dual where :old.id is not null;
  insert into trig_log values ('bd ' || :old.id || ' ' || c);
  if :old.name = 'KING' then
    raise_application_error(-20002, 'keep the king');
  end if;
end;)");
  EXPECT_EQ(run("delete from t where id in (1, 2)"), 2u);
  EXPECT_EQ(error("delete from t where id >= 3").substr(0, 34),
            "ORA-20002: keep the king\nORA-06512");
  EXPECT_EQ(column("SELECT id FROM \"SCOTT.T\" ORDER BY id"),
            (std::vector<std::string>{"3", "4", "50"}));
  EXPECT_EQ(log(), (std::vector<std::string>{"bd 1 1", "bd 2 1"}));

  // SQL%ROWCOUNT in PL/SQL counts the rows the triggers wrote too.
  run("drop trigger t_bd");
  run("create or replace trigger t_bi before insert on t for each row begin select s.nextval "
      "into :new.id from dual; end;");
  run(R"(declare
  n number;
begin
  insert into t (name, n) select dname, 1 from dept;
  n := sql%rowcount;
  insert into trig_log values ('ins ' || n);
  update t set n = -1;
  n := sql%rowcount;
  insert into trig_log values ('upd ' || n);
end;)");
  EXPECT_EQ(column("SELECT msg FROM \"SCOTT.TRIG_LOG\" WHERE msg NOT LIKE 'bu %' ORDER BY rowid"),
            (std::vector<std::string>{"bd 1 1", "bd 2 1", "ins 4", "upd 7"}));
  EXPECT_EQ(column("SELECT count(*) || ' ' || min(n) FROM \"SCOTT.T\""),
            std::vector<std::string>{"7 1"});
  // An array execute counts each row once.
  localdb::Cursor c(session);
  std::string text = "insert into t (name, n) values ('arr', :n)";
  c.parse(text.data(), text.size(), true);
  int32_t ns[3] = {1, 2, 3};
  c.bind(":n", ns, sizeof(int32_t), 3, nullptr, nullptr, nullptr, 0, nullptr);
  c.execute(3, 0);
  EXPECT_EQ(c.rowsProcessed, 3u);
  EXPECT_EQ(column("SELECT count(DISTINCT id) FROM \"SCOTT.T\" WHERE name = 'arr'"),
            std::vector<std::string>{"3"});
}

// Each row fires each of its triggers once: an INSERT only INSERT triggers, the AFTER triggers
// with the final values, several BEFORE triggers each seeing what the others did.
TEST_F(PlsqlRun, RowTriggersFireOncePerRow) {
  auto run = [&](const std::string &text) { return runCounted(session, text); };
  auto log = [&] { return column("SELECT msg FROM \"SCOTT.TRIG_LOG\" ORDER BY rowid"); };
  run("create table trig_log (msg varchar2(100))");
  run("create table u (id number, a number, b number)");
  run("create trigger u_bi1 before insert on u for each row begin :new.a := :new.a + 1; insert "
      "into trig_log values ('bi1 ' || :new.id || ' ' || :new.a || ' ' || :new.b); end;");
  run("create trigger u_bi2 before insert on u for each row begin :new.b := :new.b + 100; "
      "insert into trig_log values ('bi2 ' || :new.id || ' ' || :new.a || ' ' || :new.b); end;");
  run("create trigger u_bi3 before insert on u for each row when (new.id > 100) begin "
      ":new.a := -1; end;");
  run("create trigger u_ai after insert on u for each row begin insert into trig_log values "
      "('ai ' || :new.id || ' ' || :new.a || ' ' || :new.b); end;");
  run("create trigger u_bu before update on u for each row begin :new.b := :new.b + 1; insert "
      "into trig_log values ('bu ' || :new.id || ' ' || :new.b); end;");
  run("create trigger u_bub before update of b on u for each row begin insert into trig_log "
      "values ('bub ' || :new.id || ' ' || :new.b); end;");
  run("create trigger u_au after update of b on u for each row begin insert into trig_log "
      "values ('au ' || :new.id || ' ' || :old.b || '->' || :new.b); end;");
  EXPECT_EQ(run("insert into u select deptno, 0, 0 from dept where deptno <= 20"), 2u);
  EXPECT_EQ(run("insert into u values (101, 5, 5)"), 1u);
  EXPECT_EQ(column("SELECT id || ' ' || a || ' ' || b FROM \"SCOTT.U\" ORDER BY id"),
            (std::vector<std::string>{"10 1 100", "20 1 100", "101 0 105"}));
  // Each BEFORE trigger once per row, the later one seeing the earlier one's value; SQLite
  // fires the most recently created first.
  std::vector<std::string> all = log();
  EXPECT_EQ(all, (std::vector<std::string>{"bi2 10 0 100", "bi1 10 1 100", "ai 10 1 100",
                                           "bi2 20 0 100", "bi1 20 1 100", "ai 20 1 100",
                                           "bi2 101 -1 105", "bi1 101 0 105", "ai 101 0 105"}));
  run("delete from trig_log");

  // An UPDATE of a: the BEFORE trigger's change to b is written, but a trigger of UPDATE OF b
  // does not fire; an UPDATE of b fires them, the AFTER one with the final value.
  EXPECT_EQ(run("update u set a = a + 1 where id < 100"), 2u);
  EXPECT_EQ(log(), (std::vector<std::string>{"bu 10 101", "bu 20 101"}));
  run("delete from trig_log");
  EXPECT_EQ(run("update u set b = 0 where id = 10"), 1u);
  std::vector<std::string> upd = log();
  std::sort(upd.begin(), upd.end());
  EXPECT_EQ(upd, (std::vector<std::string>{"au 10 101->1", "bu 10 1", "bub 10 0"}));
  EXPECT_EQ(column("SELECT id || ' ' || a || ' ' || b FROM \"SCOTT.U\" ORDER BY id"),
            (std::vector<std::string>{"10 2 1", "20 2 101", "101 0 105"}));
  run("delete from trig_log");

  // DML in a trigger body is a statement of its own: it counts its rows, the outer one its own.
  run("create table w (k number, v number)");
  run("insert into w values (1, 0)");
  run("insert into w values (2, 0)");
  run("create trigger w_bu before update on w for each row begin :new.v := :new.v * 2; end;");
  run(R"(create trigger u_ad after delete on u for each row
declare
  n number;
begin
  update w set v = v + 1;
  n := sql%rowcount;
  insert into trig_log values ('ad ' || :old.id || ' ' || n);
end;)");
  run(R"(declare
  n number;
begin
  delete from u where id < 100;
  n := sql%rowcount;
  insert into trig_log values ('deleted ' || n);
end;)");
  EXPECT_EQ(log(), (std::vector<std::string>{"ad 10 2", "ad 20 2", "deleted 2"}));
  EXPECT_EQ(column("SELECT v FROM \"SCOTT.W\" ORDER BY k"), (std::vector<std::string>{"6", "6"}));

  // A trigger whose DML fires it again fails after so many levels instead of nesting on.
  run("create trigger w_ai after insert on w for each row begin insert into w values (:new.k + "
      "1, 0); end;");
  std::string e = error("insert into w values (10, 0)");
  EXPECT_EQ(e.substr(0, e.find('\n')),
            "ORA-00036: maximum number of recursive SQL levels (50) exceeded");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.W\""), std::vector<std::string>{"2"});
}

// The constraint checks a table gets after its BEFORE trigger, and columns it gets, still come
// after the trigger; hooks an earlier version left in a file are made again at logon.
TEST_F(PlsqlRun, BeforeRowTriggersAfterTableChangesAndInOlderFiles) {
  auto run = [&](const std::string &text) { return runCounted(session, text); };
  run("create table v (id number not null, name varchar2(10))");
  run("create sequence vs");
  run("create trigger v_bi before insert on v for each row begin select vs.nextval into :new.id "
      "from dual; end;");
  run("create trigger v_bu before update of name on v for each row begin :new.name := "
      "upper(:new.name); end;");
  run("alter table v add (extra varchar2(5))");
  run("alter table v add constraint v_id check (id > 0)");
  run("insert into v (name, extra) values ('x', 'e')");
  EXPECT_EQ(column("SELECT id || name || extra FROM \"SCOTT.V\""), std::vector<std::string>{"1xe"});
  run("update v set name = 'y'");
  EXPECT_EQ(column("SELECT name FROM \"SCOTT.V\""), std::vector<std::string>{"Y"});
  // A change of a column's type makes the table's storage again; its triggers stay with it.
  run("create table m (id number, c varchar2(5))");
  run("create trigger m_bi before insert on m for each row begin :new.id := 42; end;");
  run("alter table m modify (c number)");
  run("insert into m values (1, 2)");
  EXPECT_EQ(column("SELECT id || ' ' || c FROM \"SCOTT.M\""), std::vector<std::string>{"42 2"});

  // Hooks as a file from before BEFORE triggers ran as SQLite BEFORE triggers has them.
  auto exec = [&](const std::string &sql) {
    ASSERT_EQ(sqlite3_exec(session->db(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(session->db());
  };
  run("commit");
  exec("DROP TRIGGER \"plsql$SCOTT.V_BI$I\"");
  exec("CREATE TRIGGER \"plsql$SCOTT.V_BI$I\" AFTER INSERT ON \"SCOTT.V\" FOR EACH ROW BEGIN "
       "SELECT ora_trigger('SCOTT.V_BI', 1, NEW.rowid, NEW.\"ID\", NEW.\"NAME\", NEW.\"EXTRA\", "
       "NULL, NULL, NULL); END");
  exec("DROP TRIGGER \"plsql$SCOTT.V_BU$U\"");
  exec("CREATE TRIGGER \"plsql$SCOTT.V_BU$U\" AFTER UPDATE OF \"NAME\" ON \"SCOTT.V\" FOR EACH "
       "ROW BEGIN SELECT ora_trigger('SCOTT.V_BU', 2, NEW.rowid, NEW.\"ID\", NEW.\"NAME\", "
       "NEW.\"EXTRA\", OLD.\"ID\", OLD.\"NAME\", OLD.\"EXTRA\"); END");
  // Until a logon makes them again, such hooks behave as they did: the row is checked first,
  // then changed in place (and not written twice).
  EXPECT_EQ(error("insert into v (name) values ('z')").substr(0, 10), "ORA-01400:");
  run("insert into v (id, name) values (100, 'w')");
  run("update v set name = 'q' where id = 1");
  EXPECT_EQ(column("SELECT name FROM \"SCOTT.V\" WHERE id < 100 ORDER BY id"),
            (std::vector<std::string>{"Q", "w"}));
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.V\""), std::vector<std::string>{"2"});
  run("rollback");
  auto other = secondLogon();
  auto hooks = column("SELECT name || ' ' || instr(sql, ' BEFORE ') || instr(sql, 'UPDATE OF "
                      "\"NAME\" ON') FROM sqlite_master WHERE name LIKE 'plsql$SCOTT.V_%' "
                      "ORDER BY name");
  for (std::string &h : hooks)
    h = h.substr(0, h.find(' ')) + (h.substr(h.find(' ') + 1, 1) != "0" ? " before" : " after") +
        (h.back() != '0' ? " of name" : "");
  EXPECT_EQ(hooks, (std::vector<std::string>{"plsql$SCOTT.V_BI$I before",
                                             "plsql$SCOTT.V_BU$U before of name"}));
  other->close();
  run("insert into v (name) values ('z')");
  EXPECT_EQ(column("SELECT name FROM \"SCOTT.V\" WHERE id > 1 ORDER BY id"),
            (std::vector<std::string>{"z"}));
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.V\""), std::vector<std::string>{"2"});
}

// A view replaced by another logon: statements compiled against the old one, SQL and PL/SQL,
// see the new one.
TEST_F(PlsqlRun, ViewsReplacedByAnotherLogonAreSeen) {
  run("create table t1 (x number)");
  run("create table t2 (x number)");
  run("create view v as select x from t1");
  run("create procedure put(n number) is begin insert into v values (n); end;");
  auto other = secondLogon();
  run("begin put(1); end;");
  localdb::Cursor c(session);
  std::string ins = "insert into v values (2)";
  c.parse(ins.data(), ins.size(), true);
  c.execute(1, 0);
  run("commit");
  runOn(other, "create or replace view v as select x from t2");
  run("begin put(3); end;");
  c.execute(1, 0);
  run("insert into v values (4)");
  run("commit");
  EXPECT_EQ(column("SELECT x FROM \"SCOTT.T1\" ORDER BY x"), (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(column("SELECT x FROM \"SCOTT.T2\" ORDER BY x"),
            (std::vector<std::string>{"2", "3", "4"}));
  other->close();
}

TEST_F(PlsqlRun, CursorsPastTheirLastRowAndForUpdate) {
  // After the last row a FETCH returns nothing again: %NOTFOUND stays, %ROWCOUNT stays.
  run("declare cursor c is select ename from emp where empno = 7839; v varchar2(20); n number "
      ":= 0; begin dbms_output.enable; open c; for i in 1..4 loop fetch c into "
      "v; if c%found then n := n + 1; end if; end loop; if c%notfound then "
      "dbms_output.put_line(n || ' ' || c%rowcount); end if; close c; end;");
  EXPECT_EQ(output(), std::vector<std::string>{"1 1"});
  // A FOR UPDATE cursor cannot be fetched from once its transaction ended.
  const std::string outOfSequence = "ORA-01002: fetch out of sequence\nORA-06512: at line 1";
  EXPECT_EQ(error("declare cursor c is select empno from emp for update; v number; begin open "
                  "c; fetch c into v; commit; fetch c into v; end;"),
            outOfSequence);
  EXPECT_EQ(error("declare cursor c is select empno from emp for update; begin for r in c loop "
                  "rollback; end loop; end;"),
            outOfSequence);
  EXPECT_EQ(error("declare cursor c is select empno from emp; v number; begin open c; fetch c "
                  "into v; commit; fetch c into v; end;"),
            "");
  // WHERE CURRENT OF changes the row the cursor fetched last.
  run("declare cursor c is select ename, sal from emp where deptno = 10 for update of sal; "
      "begin for r in c loop update emp set sal = r.sal + 1 where current of c; end loop; end;");
  EXPECT_EQ(column("SELECT sum(sal) FROM \"SCOTT.EMP\" WHERE deptno = 10"),
            std::vector<std::string>{"8753"});
  run("declare cursor c is select ename from emp where deptno = 20 order by ename for update; "
      "v varchar2(10); begin open c; fetch c into v; delete from emp where current of c; close "
      "c; end;");
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.EMP\" WHERE ename = 'ADAMS'"),
            std::vector<std::string>{"0"});
  // Not open: INVALID_CURSOR; open without a current row: NO_DATA_FOUND; not FOR UPDATE:
  // PLS-00404.
  const std::string decl = "declare cursor c is select ename from emp where deptno = 30 for "
                           "update; v varchar2(10); begin ";
  EXPECT_EQ(error(decl + "delete from emp where current of c; end;"),
            "ORA-01001: invalid cursor\nORA-06512: at line 1");
  EXPECT_EQ(error(decl + "open c; delete from emp where current of c; end;"),
            "ORA-01403: no data found\nORA-06512: at line 1");
  EXPECT_EQ(error(decl + "open c; loop fetch c into v; exit when c%notfound; end loop; update emp "
                         "set sal = 0 where current of c; end;"),
            "ORA-01403: no data found\nORA-06512: at line 1");
  EXPECT_EQ(error("declare cursor c is select e.ename from emp e, dept d where e.deptno = "
                  "d.deptno for update; v varchar2(10); begin open c; fetch c into v; update emp "
                  "set sal = 1 where current of c; end;"),
            "ORA-01410: invalid ROWID\nORA-06512: at line 1");
  EXPECT_NE(error("declare cursor c is select ename from emp; begin update emp set sal = 0 where "
                  "current of c; end;")
                .find("PLS-00404: cursor 'C' must be declared with FOR UPDATE to use with "
                      "CURRENT OF"),
            std::string::npos);
}

TEST_F(PlsqlRun, ServerErrorsAreCaughtByTheirNumbers) {
  run("create table ck (n number not null constraint ck_pos check (n > 0))");
  run("create or replace trigger ck_t before insert on ck for each row begin if :new.n = 7 then "
      "raise_application_error(-20007, 'seven'); end if; end;");
  EXPECT_EQ(error(R"(declare
  dup exception; pragma exception_init(dup, -1);
  nul exception; pragma exception_init(nul, -1400);
  chk exception; pragma exception_init(chk, -2290);
  app exception; pragma exception_init(app, -20007);
  num exception; pragma exception_init(num, -1722);
begin
  dbms_output.enable;
  begin insert into dept values (10, 'A', 'B'); exception when dup then dbms_output.put_line(sqlcode); end;
  begin insert into ck values (null); exception when nul then dbms_output.put_line(sqlcode); end;
  begin insert into ck values (-1); exception when chk then dbms_output.put_line(sqlcode); end;
  begin insert into ck values (7); exception when app then dbms_output.put_line(sqlcode || ' ' || substr(sqlerrm, 1, 16)); end;
  begin update emp set sal = 'x' where empno = 7839; exception when num then dbms_output.put_line(sqlcode); end;
  begin update emp set sal = 'x' where empno = 7839; exception when invalid_number then dbms_output.put_line('in'); end;
end;)"),
            "");
  EXPECT_EQ(output(), (std::vector<std::string>{"-1", "-1400", "-2290", "-20007 ORA-20007: seven",
                                                "-1722", "in"}));
}

TEST_F(PlsqlRun, RowTriggersMayNotSeeTheirMutatingTable) {
  run("create table mt (n number)");
  run("create table mt_log (k number)");
  run("create or replace trigger mt_r after insert or update or delete on mt for each row "
      "declare k number; begin select count(*) into k from mt; insert into mt_log values (k); "
      "end;");
  run("create or replace trigger mt_s after update on mt declare k number; begin select "
      "count(*) into k from mt; insert into mt_log values (-k); end;");
  run("create or replace function mt_count return number is k number; begin select count(*) "
      "into k from mt; return k; end;");
  const std::string mutating =
      "ORA-04091: table SCOTT.MT is mutating, trigger/function may not see it\n";
  auto firstLine = [&](const std::string &sql) {
    std::string e = error(sql);
    return e.substr(0, e.find('\n') + 1);
  };
  // A single-row INSERT ... VALUES does not make the table mutating; any other change does.
  EXPECT_EQ(error("insert into mt values (1)"), "");
  EXPECT_EQ(firstLine("insert into mt select 2 from dual"), mutating);
  EXPECT_EQ(firstLine("update mt set n = 3"), mutating);
  EXPECT_EQ(firstLine("begin delete from mt; end;"), mutating);
  // A BEFORE row trigger changing its own table, a function in the statement reading it.
  run("drop trigger mt_r");
  run("create or replace trigger mt_b before update on mt for each row begin delete from mt "
      "where n < 0; end;");
  EXPECT_EQ(firstLine("update mt set n = 4"), mutating);
  run("drop trigger mt_b");
  EXPECT_EQ(firstLine("update mt set n = mt_count"), mutating);
  EXPECT_EQ(error("update mt set n = 5"), "");
  EXPECT_EQ(column("SELECT k FROM \"SCOTT.MT_LOG\" ORDER BY rowid"),
            (std::vector<std::string>{"1", "-1"}));
  EXPECT_EQ(column("SELECT n FROM \"SCOTT.MT\""), std::vector<std::string>{"5"});
}

TEST_F(PlsqlRun, AFailedCallUndoesItsOwnWorkOnly) {
  auto depts = [&] {
    return column("SELECT group_concat(deptno, ',') FROM (SELECT deptno FROM \"SCOTT.DEPT\" "
                  "WHERE deptno > 40 ORDER BY deptno)");
  };
  run("create or replace procedure add_and_fail(n number) is begin insert into dept values (n, "
      "'X', 'Y'); raise_application_error(-20001, 'failed'); end;");
  run("insert into dept values (50, 'A', 'B')");
  EXPECT_EQ(
      error("begin insert into dept values (51, 'A', 'B'); raise no_data_found; end;").substr(0, 9),
      "ORA-01403");
  EXPECT_EQ(error("begin add_and_fail(52); end;").substr(0, 9), "ORA-20001");
  EXPECT_EQ(depts(), std::vector<std::string>{"50"});
  // The call began the transaction; a COMMIT inside keeps what came before it.
  run("commit");
  EXPECT_NE(error("begin add_and_fail(53); end;"), "");
  EXPECT_NE(error("begin insert into dept values (54, 'A', 'B'); commit; insert into dept values "
                  "(55, 'A', 'B'); add_and_fail(56); end;"),
            "");
  EXPECT_EQ(depts(), std::vector<std::string>{"50,54"});
  // Handled errors undo nothing; a savepoint set in a call outlives it.
  run("begin insert into dept values (57, 'A', 'B'); begin add_and_fail(58); exception when "
      "others then null; end; savepoint sp; insert into dept values (59, 'A', 'B'); end;");
  run("rollback to sp");
  EXPECT_EQ(depts(), (std::vector<std::string>{"50,54,57,58"}));
}

TEST_F(PlsqlRun, NamesQualifiedByLabelsSubprogramsAndStandard) {
  // A parameter named by its procedure is told from the column of the same name.
  run("create or replace procedure set_sal(ename varchar2, sal number) is n number := 7; begin "
      "update emp set sal = set_sal.sal + set_sal.n where ename = set_sal.ename; end;");
  run("begin set_sal('KING', 5000); end;");
  EXPECT_EQ(column("SELECT count(*) || ' ' || max(sal) FROM \"SCOTT.EMP\" WHERE sal = 5007"),
            std::vector<std::string>{"1 5007"});
  run(R"(<<blk>>
declare
  x number := 1;
  ename varchar2(10) := 'FORD';
  n number;
begin
  dbms_output.enable;
  declare x number := 2; begin dbms_output.put_line(x || blk.x); end;
  select count(*) into n from emp where ename = blk.ename;
  dbms_output.put_line(n);
  <<outer>> for i in 1..2 loop for i in 5..5 loop dbms_output.put_line(outer.i || i); end loop; end loop;
  begin
    raise standard.no_data_found;
  exception when standard.no_data_found then dbms_output.put_line(standard.upper('ok'));
  end;
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"21", "1", "15", "25", "OK"}));
}

// Conditional compilation: the branch whose static condition holds is compiled, the others are
// not even parsed; $ERROR stops the compile; inquiry directives name the unit and the line.
TEST_F(PlsqlRun, ConditionalCompilationAndInquiryDirectives) {
  EXPECT_EQ(run("create or replace procedure cc is begin dbms_output.enable;\n"
                "$if dbms_db_version.ver_le_10 $then this is not pl/sql;\n"
                "$elsif dbms_db_version.version >= 12 and not ($$flag is not null) $then\n"
                "dbms_output.put_line($$plsql_unit || ' ' || $$plsql_line || ' ' || "
                "$$plsql_unit_type);\n"
                "$else also not pl/sql $end\n"
                "$if $$undefined $then $error 'not reached' $end $end\n"
                "end;"),
            0);
  EXPECT_EQ(status("CC", "PROCEDURE"), "VALID");
  run("begin cc; dbms_output.put_line(nvl($$plsql_unit, 'anonymous') || $$plsql_line); end;");
  EXPECT_EQ(output(), (std::vector<std::string>{"CC 4 PROCEDURE", "anonymous1"}));
  run("create or replace procedure ce is begin\n$if true $then\n$error 'needs ' || 'work' $end\n"
      "$end\nnull; end;");
  EXPECT_EQ(errors("CE"), std::vector<std::string>{"3/1 PLS-00179: $ERROR: needs work"});
  run("create or replace procedure cx is begin $if 1 + $then null; $end null; end;");
  EXPECT_EQ(errors("CX").size(), 1u);
  EXPECT_EQ(status("CX", "PROCEDURE"), "INVALID");
}

// Dynamic SQL: OUT and IN OUT binds, RETURNING INTO, BULK COLLECT INTO, OPEN FOR a string with
// USING.
TEST_F(PlsqlRun, DynamicSqlBindsBothWaysAndBulk) {
  run("create table dy (id number, name varchar2(10))");
  run(R"(declare
  n number := 2; m varchar2(20) := 'x'; r number;
  type nt is table of number index by binary_integer; ids nt;
  type rt is record (id number, name varchar2(10)); type rtt is table of rt index by binary_integer;
  rows rtt; c sys_refcursor; v varchar2(10); one rt;
begin
  dbms_output.enable;
  execute immediate 'begin :a := :a * 10; :b := :b || ''y''; end;' using in out n, in out m;
  dbms_output.put_line(n || m);
  execute immediate 'begin :o := 7; end;' using out r;
  dbms_output.put_line(r);
  execute immediate 'insert into dy values (:1, :2) returning id * 2 into :3' using 5, 'five'
    returning into r;
  dbms_output.put_line(r);
  execute immediate 'insert into dy values (6, ''six'')';
  execute immediate 'select id from dy order by id desc' bulk collect into ids;
  dbms_output.put_line(ids.count || ':' || ids(1) || ',' || ids(2));
  execute immediate 'select id, name from dy where id > :x order by id' bulk collect into rows
    using 0;
  one := rows(2); dbms_output.put_line(one.name);
  execute immediate 'select id from dy where 1 = 0' bulk collect into ids;
  dbms_output.put_line(ids.count || sql%rowcount);
  open c for 'select name from dy where id = :i' using 6;
  fetch c into v; close c;
  dbms_output.put_line(v);
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"20xy", "7", "10", "2:6,5", "six", "00", "six"}));
  EXPECT_NE(error("declare c sys_refcursor; begin open c for 'select * from dy where id = :a' "
                  "using 1, 2; end;"),
            "");
  EXPECT_NE(error("declare n number; begin execute immediate 'begin :a := 1; end;' using out 5; "
                  "end;"),
            "");
}

// MERGE and INSERT ALL inside PL/SQL: PL/SQL values in their conditions and values, the rows
// counted in SQL%ROWCOUNT, a failing one undoing itself only.
TEST_F(PlsqlRun, MergeAndMultiTableInsertInPlsql) {
  run("create table mt (id number primary key, n number)");
  run("insert into mt values (1, 10)");
  run(R"(declare k number := 2; v number := 5; begin dbms_output.enable;
  merge into mt t using (select k id from dual union all select 1 from dual) s on (t.id = s.id)
    when matched then update set t.n = t.n + v
    when not matched then insert (id, n) values (s.id, v * 100);
  dbms_output.put_line(sql%rowcount);
  insert all into mt values (k + 10, v) into mt values (k + 20, v) select * from dual;
  dbms_output.put_line(sql%rowcount);
  begin
    merge into mt t using (select 1 id from dual) s on (t.id = s.id)
      when not matched then insert values (s.id, 0)
      when matched then update set n = n + 1 where n > 0;
    insert all into mt values (30, 1) into mt values (30, 2) select * from dual;
  exception when dup_val_on_index then dbms_output.put_line('dup ' || sql%rowcount);
  end;
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"2", "2", "dup 1"}));
  EXPECT_EQ(column("SELECT group_concat(\"ID\" || ':' || \"N\", ',') FROM \"SCOTT.MT\""),
            std::vector<std::string>{"1:16,2:500,12:5,22:5"});
}

// PIPELINED functions compile with PIPE ROW and give the collection of their piped rows.
TEST_F(PlsqlRun, PipelinedFunctionsCollectTheirRows) {
  run("create or replace package pl is type nt is table of number; "
      "function evens(n number) return nt pipelined; end;");
  run("create or replace package body pl is function evens(n number) return nt pipelined is "
      "begin for i in 1 .. n loop if mod(i, 2) = 0 then pipe row (i * 10); end if; end loop; "
      "return; end; end;");
  EXPECT_EQ(status("PL", "PACKAGE BODY"), "VALID");
  run("declare t pl.nt; begin dbms_output.enable; t := pl.evens(5); "
      "dbms_output.put_line(t.count || ':' || t(1) || ',' || t(2)); end;");
  EXPECT_EQ(output(), std::vector<std::string>{"2:20,40"});
  run("create or replace function bad return number is begin pipe row (1); return 1; end;");
  EXPECT_EQ(errors("BAD").at(0).substr(0, 13), "1/37 PLS-0062"); // PLS-00629 at PIPE
  run("create or replace package body pl is function evens(n number) return nt pipelined is "
      "begin return 1; end; end;");
  EXPECT_EQ(status("PL", "PACKAGE BODY"), "INVALID");
}

// DBMS_ASSERT: quoted names and literals, checked names, and the errors of each check.
TEST_F(PlsqlRun, DbmsAssertChecksNamesAndLiterals) {
  run(R"(declare procedure t(x varchar2) is begin dbms_output.put_line(x); end;
begin dbms_output.enable;
  t(dbms_assert.enquote_name('emp') || dbms_assert.enquote_name('emp', false));
  t(dbms_assert.enquote_literal('it''''s') || dbms_assert.simple_sql_name('  Emp_1 '));
  t(dbms_assert.qualified_sql_name('scott.emp@lnk') || dbms_assert.schema_name('SCOTT'));
  t(dbms_assert.sql_object_name('emp') || dbms_assert.sql_object_name('scott.dept'));
  begin t(dbms_assert.simple_sql_name('1x')); exception when others then t(sqlcode); end;
  begin t(dbms_assert.qualified_sql_name('a..b')); exception when others then t(sqlcode); end;
  begin t(dbms_assert.schema_name('NOBODY')); exception when others then t(sqlcode); end;
  begin t(dbms_assert.sql_object_name('nothing')); exception when others then t(sqlcode); end;
  begin t(dbms_assert.enquote_literal('it''s')); exception when others then t(sqlcode); end;
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"\"EMP\"\"emp\"", "'it''s'Emp_1",
                                                "scott.emp@lnkSCOTT", "empscott.dept", "-44003",
                                                "-44004", "-44001", "-44002", "-6502"}));
}

// Records in DML: INSERT ... VALUES rec and UPDATE ... SET ROW = rec, field by field.
TEST_F(PlsqlRun, RecordsInInsertAndUpdate) {
  run("create table rr (id number, name varchar2(10), d date)");
  run(R"(declare r rr%rowtype; type t is record (id number, name varchar2(10), d date); x t;
  n number;
begin
  r.id := 1; r.name := 'one'; insert into rr values r;
  x.id := 2; x.name := 'two'; x.d := sysdate; insert into rr values x returning id into n;
  r.name := 'uno'; update rr set row = r where id = n - 1;
end;)");
  EXPECT_EQ(column("SELECT group_concat(\"ID\" || \"NAME\" || (\"D\" IS NULL), ',') FROM "
                   "\"SCOTT.RR\""),
            std::vector<std::string>{"1uno1,2two0"});
}

// DBMS_SQL's common path: DML with binds run again, a query's columns a row at a time, a block's
// OUT value, DDL run by PARSE, a closed cursor.
TEST_F(PlsqlRun, DbmsSqlCommonPath) {
  run("create table ds (id number, name varchar2(10), d date)");
  run(R"(declare c integer; n integer; v varchar2(10); k number; dd date;
begin dbms_output.enable;
  c := dbms_sql.open_cursor;
  dbms_sql.parse(c, 'insert into ds values (:id, :nm, sysdate)', dbms_sql.native);
  for i in 1 .. 3 loop
    dbms_sql.bind_variable(c, ':id', i); dbms_sql.bind_variable(c, 'nm', 'n' || i);
    n := dbms_sql.execute(c);
  end loop;
  dbms_sql.parse(c, 'select id, name, d from ds where id >= :lo order by id', dbms_sql.native);
  dbms_sql.bind_variable(c, 'lo', 2);
  dbms_sql.define_column(c, 1, k); dbms_sql.define_column(c, 2, v, 10);
  dbms_sql.define_column(c, 3, dd);
  n := dbms_sql.execute(c);
  while dbms_sql.fetch_rows(c) > 0 loop
    dbms_sql.column_value(c, 1, k); dbms_sql.column_value(c, 2, v); dbms_sql.column_value(c, 3, dd);
    dbms_output.put_line(k * 10 || v || case when dd is not null then 'd' end);
  end loop;
  dbms_output.put_line(dbms_sql.last_row_count);
  dbms_sql.parse(c, 'begin :x := :x * 2; end;', dbms_sql.native);
  dbms_sql.bind_variable(c, 'x', 21); n := dbms_sql.execute(c);
  dbms_sql.variable_value(c, 'x', k); dbms_output.put_line(k);
  dbms_sql.parse(c, 'create table ds2 (a number)', dbms_sql.native);
  dbms_sql.close_cursor(c);
  dbms_output.put_line(case when dbms_sql.is_open(c) then 'open' else 'closed' end);
  begin n := dbms_sql.execute(c); exception when invalid_cursor then dbms_output.put_line('1001'); end;
end;)");
  EXPECT_EQ(output(), (std::vector<std::string>{"20n2d", "30n3d", "2", "42", "closed", "1001"}));
  EXPECT_EQ(column("SELECT count(*) FROM \"SCOTT.DS\""), std::vector<std::string>{"3"});
  EXPECT_EQ(status("DS2", "TABLE"), "VALID");
}
