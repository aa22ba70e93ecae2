// Object privileges, index and lock rights, what ALL_* views show, and server names through the
// call contract.
#include <filesystem>

#include "OciTestUtil.h"

using namespace ocitest;

namespace {

// SCOTT (the fixture's logon) owns EMP; HR is a second account with no privileges at first.
class Privileges : public Scott {
protected:
  void SetUp() override {
    Scott::SetUp();
    Lda_Def sys;
    ASSERT_EQ(logOn(sys, "system/manager@"), 0);
    std::string error;
    ASSERT_EQ(runOn(sys, "CREATE USER hr IDENTIFIED BY hr", &error), 0) << error;
    ologof(&sys);
  }
  // Runs statements as SYSTEM in one logon; returns the first failure's ORA code (0 when none).
  static int asSystem(std::initializer_list<const char *> statements) {
    Lda_Def l;
    if (logOn(l, "system/manager@") != 0)
      return -1;
    int rc = 0;
    for (const char *sql : statements)
      if ((rc = runOn(l, sql)) != 0)
        break;
    ologof(&l);
    return rc;
  }
  // Runs as HR; returns the ORA code (0 on success).
  int hr(const std::string &sql) {
    Lda_Def l;
    if (logOn(l, "hr/hr@") != 0)
      return -1;
    int rc = runOn(l, sql);
    if (rc == 0)
      runOn(l, "COMMIT");
    ologof(&l);
    return rc;
  }
  std::string hrValue(const std::string &sql) {
    // A query as HR through a fresh fixture-like logon.
    std::swap(lda, hrLda);
    if (logOn(lda, "hr/hr@") != 0)
      return "LOGON FAILED";
    std::string v = value(sql);
    ologof(&lda);
    std::swap(lda, hrLda);
    return v;
  }
  Lda_Def hrLda{};
};

// A grantee sees a package's specification and the units it may execute, never a package body
// or a trigger: not their source, errors, dependencies or (triggers) their rows.
TEST_F(Privileges, AllViews_ShowNoBodiesOrTriggersToGrantees) {
  ASSERT_EQ(exec("CREATE PACKAGE pk IS PROCEDURE p; END;"), 0);
  ASSERT_EQ(exec("CREATE PACKAGE BODY pk IS PROCEDURE p IS BEGIN UPDATE emp SET sal = sal; END; "
                 "END;"),
            0);
  ASSERT_EQ(exec("CREATE PACKAGE pk2 IS PROCEDURE p; END;"), 0);
  exec("CREATE PACKAGE BODY pk2 IS PROCEDURE p IS BEGIN nosuch; END; END;");
  ASSERT_EQ(exec("CREATE PROCEDURE pr IS BEGIN NULL; END;"), 0);
  exec("CREATE TRIGGER trg BEFORE INSERT ON emp BEGIN nosuch; END;");
  for (const char *g : {"GRANT EXECUTE ON pk TO hr", "GRANT EXECUTE ON pk2 TO hr",
                        "GRANT EXECUTE ON pr TO hr", "GRANT SELECT ON emp TO hr"})
    ASSERT_EQ(exec(g), 0) << g;
  EXPECT_EQ(hrValue("SELECT COUNT(DISTINCT name || type) FROM all_source WHERE owner = 'SCOTT'"),
            "3");
  for (const char *v : {"all_source", "all_errors", "all_dependencies"}) {
    EXPECT_EQ(hrValue(std::string("SELECT COUNT(*) FROM ") + v +
                      " WHERE owner = 'SCOTT' AND type IN ('PACKAGE BODY', 'TRIGGER')"),
              "0")
        << v;
    EXPECT_NE(value(std::string("SELECT COUNT(*) FROM ") + v +
                    " WHERE owner = 'SCOTT' AND type IN ('PACKAGE BODY', 'TRIGGER')"),
              "0")
        << v;
  }
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM all_triggers"), "0");
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM all_objects WHERE object_type = 'TRIGGER'"), "0");
  EXPECT_EQ(value("SELECT COUNT(*) FROM all_triggers"), "1");
}

// Runs as HR; returns the error text ("" on success).
std::string hrError(const std::string &sql) {
  Lda_Def l;
  if (logOn(l, "hr/hr@") != 0)
    return "LOGON FAILED";
  std::string error;
  runOn(l, sql, &error);
  ologof(&l);
  return error;
}

TEST_F(Privileges, ObjectPrivileges_EachStatementNeedsItsOwn) {
  // Without any privilege the table does not exist for HR.
  EXPECT_EQ(hr("SELECT * FROM scott.emp"), 942);
  EXPECT_EQ(hr("DELETE FROM scott.emp"), 942);
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0) << lastError;
  EXPECT_EQ(hr("SELECT * FROM scott.emp"), 0);
  EXPECT_EQ(hr("INSERT INTO scott.emp(empno) VALUES (1)"), 1031);
  EXPECT_EQ(hr("UPDATE scott.emp SET sal = 1"), 1031);
  EXPECT_EQ(hr("DELETE FROM scott.emp"), 1031);
  EXPECT_EQ(value("SELECT COUNT(*) FROM emp"), "14");
  // Column-level UPDATE: only the granted columns.
  ASSERT_EQ(exec("GRANT UPDATE (sal, comm) ON emp TO hr"), 0) << lastError;
  EXPECT_EQ(hr("UPDATE scott.emp SET sal = sal + 1 WHERE empno = 7369"), 0);
  EXPECT_EQ(hr("UPDATE scott.emp SET ename = 'X' WHERE empno = 7369"), 1031);
  EXPECT_EQ(hr("UPDATE scott.emp SET sal = 1, job = 'X'"), 1031);
  EXPECT_EQ(hr("DELETE FROM scott.emp"), 1031);
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "801");
  // REVOKE SELECT leaves the column grant, which still gives no DELETE.
  ASSERT_EQ(exec("REVOKE SELECT ON emp FROM hr"), 0) << lastError;
  EXPECT_EQ(hr("SELECT * FROM scott.emp"), 1031);
  EXPECT_EQ(hr("DELETE FROM scott.emp"), 1031);
  EXPECT_EQ(hr("UPDATE scott.emp SET comm = 5 WHERE empno = 7369"), 0);
  ASSERT_EQ(exec("REVOKE UPDATE ON emp FROM hr"), 0) << lastError;
  EXPECT_EQ(hr("UPDATE scott.emp SET comm = 5 WHERE empno = 7369"), 942);
  // Table-level grants.
  ASSERT_EQ(exec("GRANT INSERT, DELETE ON emp TO hr"), 0) << lastError;
  EXPECT_EQ(hr("INSERT INTO scott.emp(empno, deptno) VALUES (1, 10)"), 0);
  EXPECT_EQ(hr("DELETE FROM scott.emp WHERE empno = 1"), 0);
  EXPECT_EQ(hr("UPDATE scott.emp SET sal = 1"), 1031);
  EXPECT_EQ(value("SELECT COUNT(*) FROM emp"), "14");
  // PUBLIC grants count for everyone; SYSTEM keeps access to everything.
  ASSERT_EQ(exec("GRANT SELECT ON dept TO PUBLIC"), 0);
  EXPECT_EQ(hr("SELECT * FROM scott.dept"), 0);
  EXPECT_EQ(asSystem({"UPDATE scott.bonus SET sal = 1", "SELECT * FROM scott.salgrade"}), 0);
}

TEST_F(Privileges, ObjectPrivileges_ViewsAndSequencesUseTheOwnersRights) {
  ASSERT_EQ(exec("CREATE VIEW emp10 AS SELECT empno, ename, sal FROM emp WHERE deptno = 10"), 0);
  ASSERT_EQ(exec("CREATE SEQUENCE s1"), 0);
  EXPECT_EQ(hr("SELECT * FROM scott.emp10"), 942);
  EXPECT_EQ(hr("SELECT scott.s1.NEXTVAL FROM dual"), 2289);
  ASSERT_EQ(exec("GRANT SELECT ON emp10 TO hr"), 0);
  ASSERT_EQ(exec("GRANT SELECT ON s1 TO hr"), 0);
  // The view reads EMP with SCOTT's rights, though HR has none on EMP.
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM scott.emp10"), "3");
  EXPECT_EQ(hrValue("SELECT scott.s1.NEXTVAL FROM dual"), "1");
  EXPECT_EQ(hr("SELECT * FROM scott.emp"), 942);
  EXPECT_EQ(hr("DELETE FROM scott.emp10"), 1031);
}

// A change through a view needs its owner to hold that privilege on what the view is over,
// from SQL and PL/SQL alike, through views on views and synonyms.
TEST_F(Privileges, ObjectPrivileges_ChangesThroughAViewNeedTheOwnersPrivilege) {
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0);
  ASSERT_EQ(hr("CREATE VIEW v AS SELECT * FROM scott.emp"), 0);
  ASSERT_EQ(hr("CREATE VIEW v2 AS SELECT empno, sal FROM v"), 0);
  ASSERT_EQ(hr("CREATE SYNONYM sv FOR v"), 0);
  for (const char *dml :
       {"UPDATE v SET sal = 0", "DELETE FROM v", "UPDATE sv SET sal = 0",
        "INSERT INTO v(empno, ename) VALUES (1, 'X')", "UPDATE v2 SET sal = 0", "DELETE FROM v2"})
    EXPECT_EQ(hr(dml), 1031) << dml;
  EXPECT_NE(hrError("BEGIN DELETE FROM sv; COMMIT; END;").find("PL/SQL: ORA-01031"),
            std::string::npos);
  EXPECT_EQ(hr("CREATE PROCEDURE wipe IS BEGIN UPDATE v SET sal = 0; END;"), 0);
  EXPECT_NE(hrError("BEGIN wipe; COMMIT; END;"), "");
  EXPECT_EQ(value("SELECT COUNT(*) FROM emp WHERE sal > 0"), "14");
  // Column privileges go by the columns of the table behind the view.
  ASSERT_EQ(exec("GRANT UPDATE (sal) ON emp TO hr"), 0);
  EXPECT_EQ(hr("UPDATE v SET ename = 'X'"), 1031);
  EXPECT_EQ(hr("UPDATE v SET empno = empno WHERE empno = 7369"), 1031); // the first column too
  EXPECT_EQ(hr("UPDATE v SET sal = sal + 1 WHERE empno = 7369"), 0);
  EXPECT_EQ(hrError("BEGIN wipe; ROLLBACK; END;"), "");
  EXPECT_EQ(hr("DELETE FROM sv"), 1031);
  ASSERT_EQ(exec("GRANT DELETE ON emp TO hr"), 0);
  EXPECT_EQ(hrError("BEGIN DELETE FROM sv WHERE empno = 7369; COMMIT; END;"), "");
  EXPECT_EQ(value("SELECT COUNT(*) FROM emp"), "13");
}

// A grant on a view passes on what it is over: its owner needs the grant option on each of
// those objects, for a grant and for a view replaced under its grants.
TEST_F(Privileges, ObjectPrivileges_GrantOnAViewNeedsTheGrantOption) {
  ASSERT_EQ(asSystem({"CREATE USER x IDENTIFIED BY x"}), 0);
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0);
  ASSERT_EQ(hr("CREATE VIEW v AS SELECT * FROM scott.emp"), 0);
  ASSERT_EQ(hr("CREATE VIEW v2 AS SELECT ename FROM v"), 0);
  ASSERT_EQ(hr("CREATE TABLE t(n NUMBER)"), 0);
  ASSERT_EQ(hr("CREATE VIEW w AS SELECT * FROM t"), 0);
  EXPECT_EQ(hrError("GRANT SELECT ON v TO x"),
            "ORA-01720: grant option does not exist for 'SCOTT.EMP'");
  EXPECT_EQ(hr("GRANT SELECT ON v2 TO x"), 1720);
  EXPECT_EQ(asSystem({"GRANT SELECT ON hr.v TO x"}), 1720);
  EXPECT_EQ(hr("GRANT SELECT ON w TO x"), 0);
  EXPECT_EQ(hr("CREATE OR REPLACE VIEW w AS SELECT empno n FROM scott.emp"), 1720);
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM w"), "0");
  // With the grant option the owner may pass it on.
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr WITH GRANT OPTION"), 0);
  EXPECT_EQ(hr("GRANT SELECT ON v2 TO x"), 0);
  EXPECT_EQ(hr("GRANT UPDATE ON v TO x"), 1720);
  EXPECT_EQ(hr("CREATE OR REPLACE VIEW w AS SELECT empno n FROM scott.emp"), 0);
}

// A REVOKE reaches a statement the grantee's logon compiled and keeps open.
TEST_F(Privileges, ObjectPrivileges_RevokeReachesAnOpenCursor) {
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0);
  Lda_Def l;
  ASSERT_EQ(logOn(l, "hr/hr@"), 0);
  Cda_Def c{};
  oopen(&c, &l, nullptr, -1, -1, nullptr, -1);
  ASSERT_EQ(oparse(&c, (text *)"SELECT COUNT(*) FROM scott.emp", -1, 1, 2), 0);
  int n = 0;
  odefin(&c, 1, (ub1 *)&n, sizeof n, 3, -1, nullptr, nullptr, -1, -1, nullptr, nullptr);
  EXPECT_EQ(oexfet(&c, 1, 0, 0), 0);
  EXPECT_EQ(n, 14);
  ASSERT_EQ(exec("REVOKE SELECT ON emp FROM hr"), 0);
  EXPECT_EQ(oexfet(&c, 1, 0, 0), 942);
  oclose(&c);
  ologof(&l);
}

TEST_F(Privileges, IndexAndLock_NeedAPrivilegeOnTheTable) {
  EXPECT_EQ(hr("CREATE UNIQUE INDEX hr_emp ON scott.emp(job)"), 942);
  EXPECT_EQ(hr("LOCK TABLE scott.emp IN EXCLUSIVE MODE"), 942);
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0);
  EXPECT_EQ(hr("CREATE INDEX hr_emp ON scott.emp(job)"), 1031);
  EXPECT_EQ(hr("LOCK TABLE scott.emp IN EXCLUSIVE MODE"), 0);
  ASSERT_EQ(exec("GRANT INDEX ON emp TO hr"), 0);
  EXPECT_EQ(hr("CREATE INDEX hr_emp ON scott.emp(job)"), 0);
  EXPECT_EQ(exec("INSERT INTO emp(empno, job) VALUES (1, 'CLERK')"), 0) << lastError;
  EXPECT_EQ(exec("LOCK TABLE emp IN SHARE MODE"), 0) << lastError;
  EXPECT_EQ(exec("ROLLBACK"), 0);
}

TEST_F(Privileges, AllViews_ShowOnlyWhatTheUserMayUse) {
  ASSERT_EQ(exec("COMMENT ON TABLE emp IS 'staff'"), 0);
  ASSERT_EQ(exec("CREATE VIEW v1 AS SELECT * FROM dept"), 0);
  ASSERT_EQ(exec("CREATE SEQUENCE s1"), 0);
  const char *probes[] = {
      "SELECT COUNT(*) FROM all_objects WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_tables WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_tab_columns WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_views WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_tab_comments WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_col_comments WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_sequences WHERE sequence_owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_constraints WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_cons_columns WHERE owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_indexes WHERE table_owner = 'SCOTT'",
      "SELECT COUNT(*) FROM all_ind_columns WHERE table_owner = 'SCOTT'",
  };
  for (const char *p : probes)
    EXPECT_EQ(hrValue(p), "0") << p;
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0);
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM all_tables WHERE owner = 'SCOTT'"), "1");
  EXPECT_EQ(hrValue("SELECT object_name || object_type FROM all_objects WHERE owner = 'SCOTT'"),
            "EMPTABLE");
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM all_tab_columns WHERE owner = 'SCOTT'"), "8");
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM all_views WHERE owner = 'SCOTT'"), "0");
  EXPECT_EQ(hrValue("SELECT comments FROM all_tab_comments WHERE owner = 'SCOTT'"), "staff");
  // The owner and the DBA see everything; DBA_* views are for the DBA.
  EXPECT_EQ(value("SELECT COUNT(*) FROM all_tables WHERE owner = 'SCOTT'"), "4");
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM dba_objects").rfind("ERROR: ORA-00942", 0), 0u);
  Lda_Def sys;
  ASSERT_EQ(logOn(sys, "system/manager@"), 0);
  std::swap(lda, sys);
  EXPECT_EQ(value("SELECT COUNT(*) FROM all_tables WHERE owner = 'SCOTT'"), "4");
  EXPECT_EQ(value("SELECT COUNT(*) FROM dba_tables WHERE owner = 'SCOTT'"), "4");
  EXPECT_EQ(value("SELECT COUNT(*) FROM dba_views WHERE owner = 'SCOTT'"), "1");
  ologof(&lda);
  std::swap(lda, sys);
}

// odessp of a name as HR: its return code.
int hrDescribe(const std::string &name) {
  Lda_Def l;
  if (logOn(l, "hr/hr@") != 0)
    return -1;
  ub2 ovrld[4], pos[4], level[4], arnlen[4], dtype[4];
  text argnm[4][30];
  ub1 defsup[4], mode[4], radix[4];
  ub4 dtsiz[4], spare[4], count = 4;
  sb2 prec[4], scale[4];
  int rc =
      odessp(&l, (text *)name.c_str(), static_cast<size_t>(-1), nullptr, 0, nullptr, 0, ovrld, pos,
             level, argnm, arnlen, dtype, defsup, mode, dtsiz, prec, scale, radix, spare, &count);
  ologof(&l);
  return rc;
}

TEST_F(Privileges, Execute_CallsAndDescribesNeedIt) {
  ASSERT_EQ(exec("CREATE PROCEDURE raise_sal(p_empno NUMBER) IS BEGIN UPDATE emp SET sal = sal + "
                 "100 WHERE empno = p_empno; END;"),
            0)
      << lastError;
  const std::string call = "BEGIN scott.raise_sal(7369); COMMIT; END;";
  // Without a privilege the procedure does not exist for HR.
  EXPECT_NE(hrError(call).find("PLS-00201: identifier 'SCOTT.RAISE_SAL' must be declared"),
            std::string::npos)
      << hrError(call);
  EXPECT_EQ(hrDescribe("SCOTT.RAISE_SAL"), 4043);
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "800");
  // With EXECUTE the call runs with SCOTT's rights: it updates EMP, on which HR has none.
  ASSERT_EQ(exec("GRANT EXECUTE ON raise_sal TO hr"), 0) << lastError;
  EXPECT_EQ(hrError(call), "");
  EXPECT_EQ(hrDescribe("SCOTT.RAISE_SAL"), 0);
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "900");
  EXPECT_EQ(hr("UPDATE scott.emp SET sal = 1"), 942);
  // REVOKE takes it back: the procedure is gone for HR again.
  ASSERT_EQ(exec("REVOKE EXECUTE ON raise_sal FROM hr"), 0) << lastError;
  EXPECT_NE(hrError(call).find("PLS-00201"), std::string::npos);
  EXPECT_EQ(hrDescribe("SCOTT.RAISE_SAL"), 4043);
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "900");
  EXPECT_EQ(exec("REVOKE EXECUTE ON raise_sal FROM hr"), 1927);
  // A dropped procedure's grants go with it.
  ASSERT_EQ(exec("GRANT EXECUTE ON raise_sal TO hr"), 0) << lastError;
  ASSERT_EQ(exec("DROP PROCEDURE raise_sal"), 0) << lastError;
  ASSERT_EQ(exec("CREATE PROCEDURE raise_sal(p_empno NUMBER) IS BEGIN NULL; END;"), 0);
  EXPECT_EQ(hrDescribe("SCOTT.RAISE_SAL"), 4043);
  // A system privilege on tables does not reach procedures.
  ASSERT_EQ(asSystem({"GRANT SELECT ANY TABLE TO hr"}), 0);
  EXPECT_EQ(hr("SELECT * FROM scott.emp"), 0);
  EXPECT_NE(hrError(call).find("PLS-00201"), std::string::npos);
  EXPECT_EQ(hrDescribe("SCOTT.RAISE_SAL"), 4043);
}

// %ROWTYPE and %TYPE of a table the user may not use name nothing, in blocks and stored units.
TEST_F(Privileges, Declarations_OfAnotherSchemasTableNeedAPrivilege) {
  const std::string undeclared = "PLS-00201: identifier 'SCOTT.EMP' must be declared";
  EXPECT_NE(hrError("DECLARE r scott.emp%ROWTYPE; BEGIN NULL; END;").find(undeclared),
            std::string::npos);
  EXPECT_NE(hrError("DECLARE s scott.emp.sal%TYPE; BEGIN NULL; END;").find(undeclared),
            std::string::npos);
  hr("CREATE PROCEDURE peek(r scott.emp%ROWTYPE) IS BEGIN NULL; END;");
  EXPECT_EQ(hrValue("SELECT text FROM user_errors WHERE name = 'PEEK' AND sequence = 1"),
            undeclared);
  EXPECT_EQ(hrDescribe("PEEK"), 4063); // invalid: no columns to show
  ASSERT_EQ(exec("GRANT SELECT ON emp TO hr"), 0);
  EXPECT_EQ(hrError("DECLARE r scott.emp%ROWTYPE; s scott.emp.sal%TYPE; BEGIN NULL; END;"), "");
  EXPECT_EQ(hrDescribe("PEEK"), 6513); // the record's eight fields and more
}

// A synonym names a unit for calls and for odessp; the unit still needs EXECUTE.
TEST_F(Privileges, Execute_ThroughSynonyms) {
  ASSERT_EQ(exec("CREATE PROCEDURE raise_sal(p_empno NUMBER) IS BEGIN UPDATE emp SET sal = sal + "
                 "100 WHERE empno = p_empno; END;"),
            0)
      << lastError;
  ASSERT_EQ(exec("CREATE PACKAGE pay IS PROCEDURE bump(p_empno NUMBER); END;"), 0);
  ASSERT_EQ(exec("CREATE PACKAGE BODY pay IS PROCEDURE bump(p_empno NUMBER) IS BEGIN "
                 "raise_sal(p_empno); END; END;"),
            0)
      << lastError;
  ASSERT_EQ(asSystem({"CREATE PUBLIC SYNONYM raise_sal FOR scott.raise_sal",
                      "CREATE SYNONYM hr.salaries FOR scott.pay"}),
            0);
  // The synonym alone gives nothing.
  EXPECT_NE(hrError("BEGIN raise_sal(7369); END;").find("PLS-00201"), std::string::npos);
  EXPECT_EQ(hrDescribe("RAISE_SAL"), 4043);
  ASSERT_EQ(exec("GRANT EXECUTE ON raise_sal TO hr"), 0);
  ASSERT_EQ(exec("GRANT EXECUTE ON pay TO hr"), 0);
  EXPECT_EQ(hrError("BEGIN raise_sal(7369); salaries.bump(7369); COMMIT; END;"), "");
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "1000");
  EXPECT_EQ(hrDescribe("RAISE_SAL"), 0);
  EXPECT_EQ(hrDescribe("SALARIES.BUMP"), 0);

  EXPECT_EQ(hr("CREATE PROCEDURE hr_pay IS BEGIN salaries.bump(7499); raise_sal(7499); END;"), 0);
  EXPECT_EQ(hrError("BEGIN hr_pay; COMMIT; END;"), "");
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7499"), "1800");
}

TEST_F(Privileges, Execute_StoredUnitsFunctionsInSqlAndPackages) {
  ASSERT_EQ(exec("CREATE FUNCTION twice(n NUMBER) RETURN NUMBER IS BEGIN RETURN n * 2; END;"), 0)
      << lastError;
  ASSERT_EQ(exec("CREATE PACKAGE pk IS FUNCTION half(n NUMBER) RETURN NUMBER; END;"), 0)
      << lastError;
  ASSERT_EQ(exec("CREATE PACKAGE BODY pk IS FUNCTION half(n NUMBER) RETURN NUMBER IS BEGIN "
                 "RETURN n / 2; END; END;"),
            0)
      << lastError;
  EXPECT_EQ(hrValue("SELECT scott.twice(21) FROM dual").rfind("ERROR: ORA-00904", 0), 0u);
  EXPECT_EQ(hrValue("SELECT scott.pk.half(8) FROM dual").rfind("ERROR: ORA-00904", 0), 0u);
  EXPECT_NE(hrError("DECLARE x NUMBER; BEGIN x := scott.pk.half(8); END;").find("PLS-00201"),
            std::string::npos);
  // A stored unit of HR's does not compile against what HR may not execute.
  hr("CREATE PROCEDURE hr_call IS x NUMBER; BEGIN x := scott.twice(1); END;");
  EXPECT_EQ(hrValue("SELECT text FROM user_errors WHERE name = 'HR_CALL' AND "
                    "text LIKE 'PLS-00201%'"),
            "PLS-00201: identifier 'SCOTT.TWICE' must be declared");
  ASSERT_EQ(exec("GRANT EXECUTE ON twice TO hr"), 0) << lastError;
  ASSERT_EQ(exec("GRANT ALL ON pk TO hr"), 0) << lastError;
  EXPECT_EQ(hrValue("SELECT scott.twice(21) FROM dual"), "42");
  EXPECT_EQ(hrValue("SELECT scott.pk.half(8) FROM dual"), "4");
  EXPECT_EQ(hrError("DECLARE x NUMBER; BEGIN x := scott.pk.half(8); END;"), "");
  EXPECT_EQ(hr("CREATE OR REPLACE PROCEDURE hr_call IS x NUMBER; BEGIN x := scott.twice(1); END;"),
            0);
  EXPECT_EQ(hrError("BEGIN hr_call; END;"), "");
  // After REVOKE, HR's procedure is compiled again on its next use, and fails.
  ASSERT_EQ(exec("REVOKE EXECUTE ON twice FROM hr"), 0) << lastError;
  EXPECT_NE(hrError("BEGIN hr_call; END;"), "");
  EXPECT_EQ(hrValue("SELECT scott.twice(21) FROM dual").rfind("ERROR: ORA-00904", 0), 0u);
  // EXECUTE is a unit's one privilege and a table never has it.
  EXPECT_EQ(exec("GRANT SELECT ON twice TO hr"), 2225);
  EXPECT_EQ(exec("GRANT EXECUTE ON emp TO hr"), 2224);
  // Units in another schema: only a DBA may create them.
  EXPECT_EQ(hr("CREATE PROCEDURE scott.by_hr IS BEGIN NULL; END;"), 1031);
  ASSERT_EQ(asSystem({"GRANT DBA TO hr"}), 0);
  EXPECT_EQ(hr("CREATE PROCEDURE scott.by_hr IS BEGIN NULL; END;"), 0);
  EXPECT_EQ(value("SELECT owner || ' ' || status FROM all_objects WHERE object_name = 'BY_HR'"),
            "SCOTT VALID")
      << value("SELECT text FROM user_errors WHERE name = 'BY_HR'");
  // The DBA executes every schema's units.
  Lda_Def sys;
  ASSERT_EQ(logOn(sys, "system/manager@"), 0);
  std::swap(lda, sys);
  EXPECT_EQ(value("SELECT scott.twice(5) FROM dual"), "10");
  ologof(&lda);
  std::swap(lda, sys);
}

// A trigger on another schema's table needs CREATE ANY TRIGGER, whatever its body; nothing is
// stored without it, and a trigger on no table is refused as well.
TEST_F(Privileges, Triggers_OnAnotherSchemasTableNeedCreateAnyTrigger) {
  ASSERT_EQ(hr("CREATE TABLE stolen(ename VARCHAR2(10), sal NUMBER)"), 0);
  ASSERT_EQ(hr("CREATE SYNONYM e FOR scott.emp"), 0);
  const std::string spy = "CREATE TRIGGER spy BEFORE UPDATE ON scott.emp FOR EACH ROW BEGIN "
                          "INSERT INTO stolen VALUES (:new.ename, :new.sal); :new.sal := 0; END;";
  EXPECT_EQ(hr(spy), 1031);
  EXPECT_EQ(hr("CREATE TRIGGER t2 BEFORE INSERT ON scott.emp BEGIN "
               "raise_application_error(-20001, 'no'); END;"),
            1031);
  EXPECT_EQ(hr("CREATE TRIGGER t3 BEFORE INSERT ON scott.emp BEGIN no_such_thing; END;"), 1031);
  EXPECT_EQ(hr("CREATE TRIGGER t4 AFTER DELETE ON e BEGIN NULL; END;"), 1031);
  EXPECT_EQ(hr("CREATE TRIGGER t5 BEFORE INSERT ON nosuch FOR EACH ROW BEGIN NULL; END;"), 942);
  EXPECT_EQ(hrValue("SELECT COUNT(*) FROM user_objects WHERE object_type = 'TRIGGER'"), "0");
  EXPECT_EQ(exec("UPDATE emp SET sal = 5000 WHERE empno = 7369"), 0) << lastError;
  EXPECT_EQ(exec("INSERT INTO emp(empno) VALUES (1)"), 0) << lastError;
  EXPECT_EQ(exec("DELETE FROM emp WHERE empno = 1"), 0) << lastError;
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "5000");
  ASSERT_EQ(exec("COMMIT"), 0);
  // Nobody creates triggers on SYS's objects; a view is no trigger's table.
  EXPECT_EQ(asSystem({"CREATE TRIGGER d BEFORE INSERT ON sys.dual BEGIN NULL; END;"}), 4089);
  EXPECT_EQ(exec("CREATE VIEW v AS SELECT * FROM emp"), 0);
  EXPECT_EQ(exec("CREATE TRIGGER tv BEFORE INSERT ON v BEGIN NULL; END;"), 942);
  // CREATE ANY TRIGGER, granted alone, allows it.
  ASSERT_EQ(asSystem({"GRANT CREATE ANY TRIGGER TO hr"}), 0);
  EXPECT_EQ(hr(spy), 0);
  EXPECT_EQ(exec("UPDATE emp SET sal = 6000 WHERE empno = 7369"), 0) << lastError;
  EXPECT_EQ(exec("COMMIT"), 0);
  EXPECT_EQ(value("SELECT sal FROM emp WHERE empno = 7369"), "0");
  EXPECT_EQ(hrValue("SELECT sal FROM stolen"), "6000");
}

class ServerNames : public TempServerRoot {};

TEST_F(ServerNames, Host_DotsNeverLeaveTheRoot) {
  Lda_Def lda;
  for (const char *c : {"scott/tiger@..", "scott/tiger@.", "scott/tiger@ .. ", "scott/tiger@..."}) {
    EXPECT_EQ(logOn(lda, c), 12154) << c;
  }
  std::string parent = std::filesystem::path(root).parent_path();
  EXPECT_FALSE(std::filesystem::exists(parent + "/server.db"));
  EXPECT_FALSE(std::filesystem::exists(root + "/server.db"));
  // An explicit path is the user's own choice.
  EXPECT_EQ(logOn(lda, "scott/tiger@" + root + "/mine"), 0);
  ologof(&lda);
}

} // namespace
