// Through the call contract: object types (CREATE TYPE ... AS OBJECT and its body), objects in
// PL/SQL with their constructors, NULL semantics and methods, and their refusal at 7.3.
#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Objects : public Scott {
protected:
  // A point type with a body: members, a static function, a user constructor.
  void createPoint() {
    ASSERT_EQ(exec("create or replace type point authid definer as object (x number, y number, "
                   "member function len2 return number, member procedure move(dx number, dy "
                   "number), static function origin return point, constructor function "
                   "point(v number) return self as result) not final"),
              0)
        << lastError;
    ASSERT_EQ(exec("create or replace type body point as\n"
                   "member function len2 return number is begin return x * x + self.y * y; end;\n"
                   "member procedure move(dx number, dy number) is begin x := x + dx; self.y := "
                   "y + dy; end;\n"
                   "static function origin return point is begin return point(0, 0); end;\n"
                   "constructor function point(v number) return self as result is begin x := v; "
                   "y := v; return; end;\nend;"),
              0)
        << lastError;
  }
};

TEST_F(Objects, SpecAndBody_CompileAndErrors) {
  createPoint();
  EXPECT_EQ(value("select listagg(type || line || ':' || position || text, '|') within group "
                  "(order by type, sequence) from user_errors where name = 'POINT'"),
            "NULL");
  EXPECT_EQ(value("select count(*) from user_objects where object_name = 'POINT' and status = "
                  "'VALID' and object_type in ('TYPE', 'TYPE BODY')"),
            "2");
  EXPECT_EQ(value("select count(*) from user_source where name = 'POINT' and type = 'TYPE BODY'"),
            "6");
  // A body that leaves out a method, or defines one the specification lacks.
  ASSERT_EQ(exec("create type shape as object (n number, member function area return number)"), 0);
  EXPECT_EQ(exec("create type body shape as member function perimeter return number is begin "
                 "return 0; end; end;"),
            0);
  EXPECT_EQ(value("select count(*) from user_errors where name = 'SHAPE' and type = 'TYPE BODY' "
                  "and (text like 'PLS-00538: subprogram or cursor ''AREA'' is declared in an "
                  "object type specification%' or text like 'PLS-00539: subprogram "
                  "''PERIMETER'' is declared in an object type body%')"),
            "2");
  // Attributes of PL/SQL-only types; a body without its type; syntax.
  EXPECT_EQ(exec("create type bad_obj as object (b boolean)"), 0);
  EXPECT_EQ(value("select text from user_errors where name = 'BAD_OBJ'"),
            "PLS-00530: Illegal type used for object type attribute: 'BOOLEAN'.");
  EXPECT_EQ(exec("create type body no_such as member function f return number is begin return "
                 "1; end; end;"),
            0);
  EXPECT_EQ(value("select text from user_errors where name = 'NO_SUCH' and sequence = 1"),
            "PLS-00304: cannot compile body of 'NO_SUCH' without its specification");
  EXPECT_EQ(exec("create type bad_rec as object (n number, r bad_rec)"), 0);
  EXPECT_EQ(value("select text from user_errors where name = 'BAD_REC'"),
            "PLS-00318: type \"BAD_REC\" is malformed because it is a non-REF mutually recursive "
            "type");
  EXPECT_EQ(exec("create type bad_syn as object (n number, member function)"), 0);
  EXPECT_NE(value("select text from user_errors where name = 'BAD_SYN'").find("PLS-00103"),
            std::string::npos);
  // A method whose body has errors, or has none.
  EXPECT_TRUE(fails("declare s shape := shape(1); begin :r := s.area; end;", "ORA-04063"));
  ASSERT_EQ(exec("drop type body shape"), 0);
  EXPECT_TRUE(fails("declare s shape := shape(1); begin :r := s.area; end;", "ORA-04067"));
}

TEST_F(Objects, Constructors_NullAndAccessIntoNull) {
  createPoint();
  // The attribute-value constructor, positional and named; a user constructor.
  EXPECT_EQ(answer("declare p point := point(3, 4); q point := point(y => 2, x => 1); c point "
                   ":= point(7); begin :r := p.x || p.y || q.x || q.y || c.x || c.y; end;"),
            "341277");
  // Atomically NULL until constructed: attributes read NULL, writing one is ACCESS_INTO_NULL.
  EXPECT_EQ(answer("declare p point; begin :r := case when p is null then 'null' end || "
                   "nvl(to_char(p.x), '-'); p := point(1, 2); p := null; :r := :r || case "
                   "when p is not null then 'x' else 'n' end; end;"),
            "null-n");
  EXPECT_TRUE(fails("declare p point; begin p.x := 1; end;",
                    "ORA-06530: Reference to uninitialized composite"));
  EXPECT_EQ(answer("declare p point; begin p.x := 1; exception when access_into_null then :r "
                   ":= 'caught'; end;"),
            "caught");
  EXPECT_TRUE(fails("declare p point; begin :r := p.len2; end;",
                    "ORA-30625: method dispatch on NULL SELF argument is disallowed"));
  // Wrong constructor arguments; an object is not a record of the same shape.
  EXPECT_TRUE(fails("declare p point := point(1, 2, 3); begin null; end;",
                    "PLS-00306: wrong number or types of arguments in call to 'POINT'"));
  EXPECT_TRUE(fails("declare p point := point(z => 1, x => 2); begin null; end;", "PLS-00306"));
  EXPECT_TRUE(fails("declare p point := point(x => 1, 2); begin null; end;", "PLS-00312"));
  EXPECT_TRUE(fails("declare type r is record (x number, y number); a r; p point; begin p := a; "
                    "end;",
                    "PLS-00382"));
  EXPECT_TRUE(fails("declare p point := point(1, 2); begin :r := p.z; end;",
                    "PLS-00302: component 'Z' must be declared"));
}

TEST_F(Objects, Methods_SelfMemberStatic) {
  createPoint();
  // Members see SELF's attributes with or without SELF; a procedure changes its object.
  EXPECT_EQ(answer("declare p point := point(3, 4); o point := point.origin; begin p.move(1, 1); "
                   ":r := p.len2() || ' ' || p.x || ' ' || o.len2; end;"),
            "41 4 0");
  // Objects as parameters and results of stored units, with %TYPE.
  ASSERT_EQ(exec("create or replace function far(p point) return point is q p%type := p; begin "
                 "q.move(10, 0); return q; end;"),
            0)
      << lastError;
  EXPECT_EQ(answer("declare a point := point(1, 1); b point; begin b := far(a); :r := a.x || ' "
                   "' || b.x; end;"),
            "1 11");
  // SELF of a member function is IN: a procedure cannot change it.
  EXPECT_EQ(exec("create or replace type body point as\n"
                 "member function len2 return number is begin move(1, 1); return 0; end;\n"
                 "member procedure move(dx number, dy number) is begin null; end;\n"
                 "static function origin return point is begin return point(0, 0); end;\n"
                 "constructor function point(v number) return self as result is begin return; "
                 "end;\nend;"),
            0);
  EXPECT_TRUE(fails("begin :r := point.nothing; end;", "PLS-00302"));
  // SELF declared: as the first parameter, NOCOPY allowed.
  ASSERT_EQ(exec("create type counter as object (n number, member procedure bump(self in out "
                 "nocopy counter, step number default 1))"),
            0);
  ASSERT_EQ(exec("create type body counter as member procedure bump(self in out nocopy counter, "
                 "step number default 1) is begin n := n + step; end; end;"),
            0);
  EXPECT_EQ(answer("declare c counter := counter(0); begin c.bump; c.bump(step => 5); :r := c.n; "
                   "end;"),
            "6");
  EXPECT_TRUE(fails("declare procedure pr(p point) is begin p.move(1, 1); end; begin null; end;",
                    "PLS-00363: expression 'P' cannot be used as an assignment target"));
  // Comparisons go through the MAP or ORDER function; without one they are refused.
  EXPECT_TRUE(fails("declare a point := point(1, 2); begin if a = a then null; end if; end;",
                    "PLS-00526: A MAP or ORDER function is required for comparing objects in "
                    "PL/SQL"));
  ASSERT_EQ(exec("create type money as object (amount number, map member function value "
                 "return number)"),
            0);
  ASSERT_EQ(exec("create type body money as map member function value return number is begin "
                 "return amount; end; end;"),
            0);
  ASSERT_EQ(exec("create type version as object (major number, minor number, order member "
                 "function cmp(other version) return integer, member function text return "
                 "varchar2)"),
            0);
  ASSERT_EQ(exec("create type body version as order member function cmp(other version) return "
                 "integer is begin return sign(major - other.major) * 2 + sign(minor - "
                 "other.minor); end;\nmember function text return varchar2 is begin return "
                 "major || '.' || minor || case when cmp(version(1, 0)) > 0 then '+' end; end; "
                 "end;"),
            0)
      << lastError;
  EXPECT_EQ(answer("declare a money := money(5); b money := money(7); v version := version(2, "
                   "1); w version := version(2, 3); begin :r := case when a < b and not a = b "
                   "then 'y' end || case when v < w and w >= v and v <> w then 'y' end || "
                   "v.text; end;"),
            "yy2.1+");
}

TEST_F(Objects, Nesting_RecordsAndCollections) {
  createPoint();
  ASSERT_EQ(exec("create type segment as object (a point, b point)"), 0) << lastError;
  ASSERT_EQ(exec("create type point_list as table of point"), 0) << lastError;
  EXPECT_EQ(answer("declare s segment := segment(point(1, 2), point(3, 4)); l point_list := "
                   "point_list(point(5, 6)); type r is record (p point, n number); x r; type aa "
                   "is table of point index by pls_integer; m aa; begin s.b.x := 9; l.extend; "
                   "l(2) := point(7); x.p := point(8, 8); m(1) := point(2, 2); :r := s.a.y || "
                   "s.b.x || l(1).x || l(2).len2 || x.p.y || m(1).len2(); end;"),
            "2959888");
  // An element or field never constructed is a NULL object.
  EXPECT_TRUE(fails("declare type aa is table of point index by pls_integer; m aa; begin "
                    "m(1).x := 1; end;",
                    "ORA-06530"));
  EXPECT_TRUE(
      fails("declare s segment := segment(null, null); begin s.a.x := 1; end;", "ORA-06530"));
}

TEST_F(Objects, Ddl_DropAndDependants) {
  createPoint();
  ASSERT_EQ(exec("create or replace function px(p point) return number is begin return p.x; "
                 "end;"),
            0);
  ASSERT_EQ(exec("create type holder as object (p point)"), 0);
  // A type other types are built on goes only with FORCE.
  EXPECT_EQ(exec("drop type point"), 2303);
  EXPECT_EQ(exec("create or replace type point as object (x number)"), 2303);
  ASSERT_EQ(exec("drop type body point"), 0);
  EXPECT_EQ(value("select count(*) from user_objects where object_name = 'POINT'"), "1");
  EXPECT_TRUE(fails("declare p point := point(1, 2); begin :r := p.len2; end;", "ORA-04067"));
  ASSERT_EQ(exec("drop type point force"), 0);
  EXPECT_EQ(value("select status from user_objects where object_name = 'PX'"), "INVALID");
  EXPECT_EQ(value("select status from user_objects where object_name = 'HOLDER'"), "INVALID");
  EXPECT_EQ(exec("drop type point"), 4043);
}

TEST_F(Objects, Dictionary_TypesAndAttributes) {
  createPoint();
  ASSERT_EQ(exec("create type point_list as varray(5) of point"), 0);
  ASSERT_EQ(exec("create type named as object (name varchar2(20), amount number(7, 2)) not "
                 "instantiable not final"),
            0);
  EXPECT_EQ(value("select listagg(type_name || ' ' || typecode || ' ' || attributes || ' ' || "
                  "methods || ' ' || final || ' ' || instantiable, ', ') within group (order by "
                  "type_name) from user_types"),
            "NAMED OBJECT 2 0 NO NO, POINT OBJECT 2 4 NO YES, POINT_LIST COLLECTION 0 0 YES YES");
  EXPECT_EQ(value("select listagg(attr_no || attr_name || ' ' || attr_type_name || ' ' || "
                  "length || ' ' || precision || ' ' || scale, ', ') within group (order by "
                  "attr_no) from all_type_attrs where owner = 'SCOTT' and type_name = 'NAMED'"),
            "1NAME VARCHAR2 20  , 2AMOUNT NUMBER  7 2");
  ASSERT_EQ(exec("drop type named"), 0);
  EXPECT_EQ(value("select count(*) from user_type_attrs where type_name = 'NAMED'"), "0");
  // Columns of these types and object tables are not stored here.
  EXPECT_EQ(exec("create table tp (id number, p point)"), 3001);
  EXPECT_EQ(lastError, "ORA-03001: unimplemented feature (columns of object and collection types)");
  EXPECT_EQ(exec("create table tp of point"), 3001);
}

TEST_F(Objects, Level73_Refuses) {
  Lda_Def sys;
  ASSERT_NO_FATAL_FAILURE(logOnAt73(sys));
  EXPECT_EQ(exec("create type point as object (x number)"), 901);
  EXPECT_EQ(exec("create type body point as member function f return number is begin return 1; "
                 "end; end;"),
            901);
  EXPECT_EQ(runOn(sys, "alter system set compatible = '19.0.0'"), 0);
  ologof(&sys);
}

} // namespace
