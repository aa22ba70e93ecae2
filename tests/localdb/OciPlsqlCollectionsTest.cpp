// Through the call contract: the collections PL/SQL has after Oracle 7.3 (nested tables,
// VARRAYs, string-keyed associative arrays), their methods and exceptions, bulk binds, and
// their refusal at the 7.3 language level.
#include "OciTestUtil.h"

using namespace ocitest;

namespace {

using Collections = Scott;

TEST_F(Collections, Methods_NestedTablesAndVarrays) {
  // EXTEND, TRIM, DELETE, COUNT, FIRST, LAST, NEXT, PRIOR, EXISTS, LIMIT on a nested table.
  EXPECT_EQ(answer("declare type nt is table of number; t nt := nt(10, 20, 30); begin "
                   "t.extend; t(4) := 40; t.extend(2, 1); t.delete(2); "
                   ":r := t.count || ' ' || t.first || ' ' || t.last || ' ' || t.next(1) || ' ' "
                   "|| t.prior(3) || ' ' || t(6) || ' ' || case when t.exists(2) then 'y' else "
                   "'n' end || nvl(to_char(t.limit), '-'); end;"),
            "5 1 6 3 1 10 n-");
  // TRIM drops from the end, holes included; DELETE of a range; EXTEND after holes.
  EXPECT_EQ(answer("declare type nt is table of varchar2(5); t nt := nt('a', 'b', 'c', 'd'); "
                   "begin t.delete(4); t.trim; t.delete(1, 2); t.extend; t(4) := 'x'; "
                   ":r := t.count || t.first || t.last || t(3) || t(4); end;"),
            "234cx");
  // A VARRAY: LIMIT, EXTEND up to it, TRIM(n), whole DELETE.
  EXPECT_EQ(answer("declare type va is varray(3) of number; v va := va(); begin v.extend(2); "
                   "v(2) := 7; :r := v.limit || v.count || v(2); v.trim(2); :r := :r || v.count; "
                   "v := va(1, 2); v.delete; :r := :r || v.count || nvl(to_char(v.first), '-'); "
                   "end;"),
            "32700-");
  // VARYING ARRAY is VARRAY; a loop from FIRST to LAST.
  EXPECT_EQ(answer("declare type va is varying array(5) of varchar2(3); v va := va('x', 'y', "
                   "'z'); s varchar2(10); begin for i in v.first .. v.last loop s := s || v(i); "
                   "end loop; :r := s; end;"),
            "xyz");
}

TEST_F(Collections, Exceptions_NullBeyondOutsideDeleted) {
  const std::string nt = "declare type nt is table of number; t nt; ";
  EXPECT_TRUE(
      fails(nt + "begin t(1) := 1; end;", "ORA-06531: Reference to uninitialized collection"));
  EXPECT_TRUE(fails(nt + "begin :r := t.count; end;", "ORA-06531"));
  EXPECT_TRUE(fails(nt + "begin t.extend; end;", "ORA-06531"));
  EXPECT_EQ(answer(nt + "begin :r := case when t.exists(1) then 'y' else 'n' end; end;"), "n");
  EXPECT_TRUE(
      fails(nt + "begin t := nt(1, 2); t(3) := 3; end;", "ORA-06533: Subscript beyond count"));
  EXPECT_TRUE(
      fails(nt + "begin t := nt(1, 2); t(0) := 3; end;", "ORA-06532: Subscript outside of limit"));
  EXPECT_TRUE(fails(nt + "begin t := nt(1, 2); t.trim(3); end;", "ORA-06533"));
  EXPECT_TRUE(fails(nt + "begin t := nt(1, 2); t.delete(1); :r := t(1); end;", "ORA-01403"));
  EXPECT_TRUE(fails(nt + "begin t := nt(1, 2); :r := t(null); end;",
                    "ORA-06502: PL/SQL: numeric or value error: NULL index table key value"));
  EXPECT_TRUE(fails(nt + "begin t := nt(1, 2); :r := t('B'); end;", "ORA-06502"));
  EXPECT_TRUE(fails("declare type va is varray(2) of number; v va := va(1, 2); begin v.extend; "
                    "end;",
                    "ORA-06532"));
  EXPECT_TRUE(fails("declare type va is varray(2) of number; v va; begin v := va(1, 2, 3); end;",
                    "ORA-06532"));
  // The predefined names catch them; a deleted element is NO_DATA_FOUND.
  EXPECT_EQ(answer(nt + "begin begin t(1) := 0; exception when collection_is_null then :r := "
                        "'null '; end; t := nt(5); begin t(2) := 0; exception when "
                        "subscript_beyond_count then :r := :r || 'beyond '; end; begin t(-1) := "
                        "0; exception when subscript_outside_limit then :r := :r || 'outside '; "
                        "end; t.delete(1); begin :r := t(1); exception when no_data_found then "
                        ":r := :r || 'deleted'; end; end;"),
            "null beyond outside deleted");
  EXPECT_EQ(answer(nt + "begin t(1) := 0; exception when others then :r := sqlcode; end;"),
            "-6531");
}

TEST_F(Collections, StringKeys_OrderedByBytes) {
  EXPECT_EQ(answer("declare type aa is table of number index by varchar2(10); a aa; k "
                   "varchar2(10); s varchar2(100); begin a('b') := 2; a('B') := 1; a('a b') := "
                   "3; a('ab') := 4; k := a.first; while k is not null loop s := s || k || '=' || "
                   "a(k) || ';'; k := a.next(k); end loop; :r := s || a.count || a.last || "
                   "a.prior('b'); end;"),
            "B=1;a b=3;ab=4;b=2;4bab");
  EXPECT_EQ(answer("declare type aa is table of varchar2(5) index by varchar2(3); a aa; begin "
                   "a('x') := 'one'; a('y') := 'two'; a.delete('x'); :r := a.count || "
                   "case when a.exists('x') then 'y' else 'n' end || a('y'); end;"),
            "1ntwo");
  // A missing key, a NULL key and one longer than the key type.
  const std::string aa = "declare type aa is table of number index by varchar2(3); a aa; ";
  EXPECT_TRUE(fails(aa + "begin :r := a('q'); end;", "ORA-01403"));
  EXPECT_TRUE(fails(aa + "begin a(null) := 1; end;", "NULL index table key value"));
  EXPECT_TRUE(fails(aa + "begin a('long') := 1; end;", "ORA-06502"));
  // PLS_INTEGER keys, and the key types a table cannot have.
  EXPECT_EQ(answer("declare type aa is table of number index by pls_integer; a aa; begin "
                   "a(-5) := 1; a(7) := 2; :r := a.first || a.last; end;"),
            "-57");
  EXPECT_TRUE(
      fails("declare type aa is table of number index by date; begin null; end;", "PLS-00315"));
}

TEST_F(Collections, Constructors_NullAndAssignment) {
  // Atomically NULL until a constructor; IS [NOT] NULL; assigning NULL makes it NULL again.
  EXPECT_EQ(answer("declare type nt is table of number; t nt; begin :r := case when t is null "
                   "then 'null ' end; t := nt(); :r := :r || case when t is not null then "
                   "t.count end; t := null; :r := :r || case when t is null then ' again' end; "
                   "end;"),
            "null 0 again");
  // Assignment copies: changing the copy leaves the original.
  EXPECT_EQ(answer("declare type nt is table of number; a nt := nt(1, 2); b nt; begin b := a; "
                   "b(1) := 9; b.extend; :r := a(1) || a.count || b(1) || b.count; end;"),
            "1293");
  // Equality of nested tables is of their elements in any order.
  EXPECT_EQ(answer("declare type nt is table of number; a nt := nt(1, 2, 2); b nt := nt(2, 1, "
                   "2); c nt := nt(1, 2); begin :r := case when a = b then 'eq' end || case when "
                   "a <> c then ' ne' end || nvl(case when a = nt(1, null, 2) then 'x' end, ' "
                   "null'); end;"),
            "eq ne null");
  // The constructor's elements take the element type.
  EXPECT_TRUE(fails("declare type nt is table of varchar2(2); t nt; begin t := nt('abc'); end;",
                    "ORA-06502"));
}

TEST_F(Collections, Nesting_RecordsAndCollectionsOfCollections) {
  EXPECT_EQ(answer("declare type row_t is record (n number, tags sys_tags); begin null; end;")
                .substr(0, 6),
            "ERROR:"); // an undeclared type stays an error
  EXPECT_EQ(answer("declare type nt is table of number; type grid is table of nt; type rec is "
                   "record (name varchar2(10), vals nt); type recs is varray(5) of rec; g grid "
                   ":= grid(nt(1, 2), nt(3)); r rec; rs recs := recs(); x r.vals%type; begin "
                   "g(2).extend; g(2)(2) := 4; r.vals := nt(5, 6); r.vals(2) := 7; rs.extend; "
                   "rs(1) := r; rs(1).vals.extend; rs(1).vals(3) := 8; x := rs(1).vals; "
                   ":r := g(1)(2) || g(2)(2) || g(2).count || r.vals(2) || r.vals.count || "
                   "x.count || x(3); end;"),
            "2427238");
  // Collections as parameters of local and package subprograms.
  ASSERT_EQ(exec("create or replace package coll as type nt is table of number; "
                 "function total(t nt) return number; procedure push(t in out nt, v number); "
                 "end;"),
            0);
  ASSERT_EQ(exec("create or replace package body coll as function total(t nt) return number is "
                 "s number := 0; i pls_integer := t.first; begin while i is not null loop s := s "
                 "+ t(i); i := t.next(i); end loop; return s; end; procedure push(t in out nt, "
                 "v number) is begin if t is null then t := nt(); end if; t.extend; t(t.last) "
                 ":= v; end; end;"),
            0)
      << lastError;
  EXPECT_EQ(answer("declare t coll.nt; procedure twice(x in out coll.nt) is begin "
                   "coll.push(x, x(x.last) * 2); end; begin coll.push(t, 3); twice(t); twice(t); "
                   ":r := coll.total(t) || '/' || t.count; end;"),
            "21/3");
}

TEST_F(Collections, Bulk_CollectForallAndSaveExceptions) {
  // BULK COLLECT initialises nested tables and VARRAYs; a VARRAY too small is outside its limit.
  EXPECT_EQ(answer("declare type nt is table of emp.ename%type; type va is varray(20) of "
                   "number; n nt; v va; begin select ename, sal bulk collect into n, v from emp "
                   "where deptno = 10 order by ename; :r := n.count || n(1) || v.limit || "
                   "v.count; end;"),
            "3CLARK203");
  EXPECT_TRUE(fails("declare type va is varray(2) of number; v va; begin select sal bulk "
                    "collect into v from emp; end;",
                    "ORA-06532"));
  ASSERT_EQ(exec("create table bk (n number primary key, s varchar2(3))"), 0);
  // INDICES OF a sparse collection (with bounds), VALUES OF, and SQL%BULK_ROWCOUNT.
  EXPECT_EQ(answer("declare type nt is table of number; type ix is table of pls_integer index "
                   "by pls_integer; t nt := nt(1, 2, 3, 4, 5); v ix; begin t.delete(2); forall i "
                   "in indices of t between 2 and 5 insert into bk values (t(i), 'a'); :r := "
                   "sql%rowcount || ' ' || sql%bulk_rowcount(3); v(1) := 5; v(2) := 1; forall i "
                   "in values of v update bk set s = 'b' where n = t(i); :r := :r || ' ' || "
                   "sql%rowcount || sql%bulk_rowcount(2); end;"),
            "3 1 10");
  EXPECT_EQ(value("select count(*) from bk where s = 'b'"), "1");
  // SAVE EXCEPTIONS: every round runs, then ORA-24381 with each failed round and its error.
  EXPECT_EQ(answer("declare type nt is table of number; t nt := nt(10, 3, 11, 4); errors "
                   "exception; pragma exception_init(errors, -24381); begin forall i in 1 .. "
                   "t.count save exceptions insert into bk values (t(i), 'c'); exception when "
                   "errors then :r := sql%bulk_exceptions.count; for j in 1 .. "
                   "sql%bulk_exceptions.count loop :r := :r || ' ' || "
                   "sql%bulk_exceptions(j).error_index || ':' || "
                   "sql%bulk_exceptions(j).error_code; end loop; end;"),
            "2 2:1 4:1");
  EXPECT_EQ(value("select count(*) from bk where s = 'c'"), "2");
  EXPECT_TRUE(fails("declare type nt is table of number; t nt := nt(20, 20); begin forall i in "
                    "1 .. 2 save exceptions insert into bk values (t(i), 'd'); end;",
                    "ORA-24381: error(s) in array DML"));
}

TEST_F(Collections, Multisets_OperatorsAndConditions) {
  const std::string nt = "declare type nt is table of number; a nt := nt(1, 2, 2, 3); b nt := "
                         "nt(2, 3, 4); e nt := nt(); z nt; "
                         "function show(t nt) return varchar2 is s varchar2(100); begin for i "
                         "in 1 .. t.count loop s := s || t(i); end loop; return s; end; ";
  EXPECT_EQ(answer(nt + "begin :r := show(a multiset union b) || ' ' || show(a multiset union "
                        "distinct b) || ' ' || show(a multiset intersect b) || ' ' || show(a "
                        "multiset except all b) || ' ' || show(a multiset except distinct b); "
                        "end;"),
            "1223234 1234 23 12 1");
  EXPECT_EQ(answer(nt + "begin :r := cardinality(a) || nvl(to_char(cardinality(z)), '-') || "
                        "case when 2 member of a then 'm' end || case when 5 not member b then "
                        "'n' end || case when nt(2, 3) submultiset of a then 's' end || case "
                        "when a not submultiset b then 't' end || case when a is a set then 'x' "
                        "else 'd' end || case when e is empty then 'e' end || case when z is "
                        "empty then 'z' when z is not empty then 'z' else '?' end; end;"),
            "4-mnstde?");
  EXPECT_TRUE(fails("declare type va is varray(3) of number; a va := va(1); begin if a is a set "
                    "then null; end if; end;",
                    "PLS-00306: wrong number or types of arguments in call to 'IS A SET'"));
}

TEST_F(Collections, SchemaTypes_CreateUseDrop) {
  ASSERT_EQ(exec("create type num_list as table of number;"), 0) << lastError;
  ASSERT_EQ(exec("create or replace type name_arr as varray(3) of varchar2(10)"), 0) << lastError;
  EXPECT_EQ(value("select object_type || ' ' || status from user_objects where object_name = "
                  "'NUM_LIST'"),
            "TYPE VALID");
  // Used by blocks and stored units, which depend on it.
  ASSERT_EQ(exec("create or replace function total(t num_list) return number is s number := 0; "
                 "begin for i in 1 .. t.count loop s := s + t(i); end loop; return s; end;"),
            0);
  EXPECT_EQ(answer("declare n name_arr := name_arr('a', 'b'); x scott.num_list := "
                   "scott.num_list(4); begin :r := total(num_list(1, 2, 3)) || n(2) || n.limit "
                   "|| x.count; end;"),
            "6b31");
  EXPECT_TRUE(
      fails("declare n name_arr; begin n := name_arr('a', 'b', 'c', 'd'); end;", "ORA-06532"));
  // Replaced, its users are compiled again; dropped, they are invalid.
  ASSERT_EQ(exec("create or replace type num_list as table of number(5)"), 0);
  EXPECT_EQ(answer("begin :r := total(num_list(5)); end;"), "5");
  ASSERT_EQ(exec("drop type num_list"), 0);
  EXPECT_EQ(value("select status from user_objects where object_name = 'TOTAL'"), "INVALID");
  EXPECT_EQ(exec("drop type num_list"), 4043);
  // Only nested tables and VARRAYs of SQL's types.
  EXPECT_EQ(exec("create type bad_aa as table of number index by pls_integer;"), 0);
  EXPECT_EQ(value("select text from user_errors where name = 'BAD_AA'"),
            "PLS-00355: use of pl/sql table not allowed in this context");
  EXPECT_EQ(exec("create type bad_rec as table of boolean;"), 0);
  EXPECT_EQ(value("select status from user_objects where object_name = 'BAD_REC'"), "INVALID");
}

TEST_F(Collections, Errors_CompileTime) {
  // Methods a collection does not have, wrong arguments, constructors of the wrong elements.
  EXPECT_TRUE(fails("declare type nt is table of number; t nt := nt(); begin t.append(1); end;",
                    "PLS-00302: component 'APPEND' must be declared"));
  EXPECT_TRUE(fails("declare type aa is table of number index by pls_integer; a aa; begin "
                    "a.extend; end;",
                    "PLS-00306: wrong number or types of arguments in call to 'EXTEND'"));
  EXPECT_TRUE(fails("declare type va is varray(3) of number; v va := va(1); begin v.delete(1); "
                    "end;",
                    "PLS-00306: wrong number or types of arguments in call to 'DELETE'"));
  EXPECT_TRUE(fails("declare type nt is table of number; t nt := nt(); begin t.trim(1, 2); end;",
                    "PLS-00306"));
  EXPECT_TRUE(fails("declare type nt is table of number; t nt := nt(); begin :r := t.extend; "
                    "end;",
                    "PLS-00222: no function with name 'EXTEND' exists in this scope"));
  EXPECT_TRUE(fails("declare type nt is table of number; t nt; begin t := nt(sysdate); end;",
                    "PLS-00306: wrong number or types of arguments in call to 'NT'"));
  EXPECT_TRUE(fails("declare type nt is table of number; type mt is table of number; a nt; b "
                    "mt; begin a := b; end;",
                    "PLS-00382"));
  EXPECT_TRUE(fails("declare type va is varray(3) of number; a va; b va; begin if a = b then "
                    "null; end if; end;",
                    "PLS-00306"));
  EXPECT_TRUE(fails("begin :r := sql%bulk_exceptions(1).error_text; end;", "PLS-00302"));
}

TEST_F(Collections, Level73_Refuses) {
  Lda_Def sys;
  ASSERT_NO_FATAL_FAILURE(logOnAt73(sys));
  // The 7.3 table still works; the later kinds are the syntax errors 7.3 gives.
  EXPECT_EQ(answer("declare type t is table of number index by binary_integer; a t; begin "
                   "a(1) := 5; :r := a.count; end;"),
            "1");
  EXPECT_TRUE(fails("declare type t is table of number; begin null; end;", "PLS-00103"));
  EXPECT_TRUE(fails("declare type t is varray(3) of number; begin null; end;", "PLS-00103"));
  EXPECT_TRUE(fails("declare type t is table of number index by varchar2(5); begin null; end;",
                    "PLS-00103"));
  EXPECT_TRUE(fails("declare type t is table of number index by binary_integer; a t; begin "
                    "a.extend; end;",
                    "PLS-00302"));
  EXPECT_TRUE(fails("begin null; exception when collection_is_null then null; end;", "PLS-00201"));
  EXPECT_TRUE(fails("declare type t is table of number index by binary_integer; a t; begin a "
                    ":= a multiset union a; end;",
                    "PLS-00103"));
  EXPECT_EQ(exec("create type num_list as table of number"), 901);
  EXPECT_EQ(runOn(sys, "alter system set compatible = '19.0.0'"), 0);
  ologof(&sys);
}

} // namespace
