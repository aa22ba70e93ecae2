// The contents of a new server: the catalog, SYSTEM and SCOTT, and SCOTT's demonstration tables.
#include "localdb/server/Seed.h"

#include "localdb/catalog/Catalog.h"
#include "localdb/server/Server.h"

namespace localdb {

namespace {

ColumnInfo num(const char *name, int p = -1, int s = kNoScale) {
  ColumnInfo c;
  c.name = name;
  c.type = SqlType::Number;
  c.length = 22;
  c.precision = p;
  c.scale = p >= 0 && s == kNoScale ? 0 : s;
  return c;
}

ColumnInfo chr(const char *name, int n) {
  ColumnInfo c;
  c.name = name;
  c.type = SqlType::Varchar2;
  c.length = n;
  return c;
}

ColumnInfo date(const char *name) {
  ColumnInfo c;
  c.name = name;
  c.type = SqlType::Date;
  c.length = 7;
  return c;
}

void addUser(sqlite3 *db, const std::string &name, const std::string &password) {
  execSql(db, "INSERT INTO ora_users(username, password, created) VALUES(" + quoteText(name) + "," +
                  quoteText(hashPassword(password)) + "," + quoteText(nowText()) + ")");
}

} // namespace

void seedServer(sqlite3 *db) {
  createCatalog(db);
  addUser(db, "SYSTEM", "MANAGER");
  addUser(db, "SCOTT", "TIGER");
  execSql(db, "INSERT INTO ora_privs(grantor, grantee, privilege, grantable) VALUES"
              "('SYS','SYSTEM','DBA','YES'),('SYS','SCOTT','CONNECT','NO'),"
              "('SYS','SCOTT','RESOURCE','NO')");

  createTable(db, "SCOTT", "DEPT", {num("DEPTNO", 2), chr("DNAME", 14), chr("LOC", 13)});
  createTable(db, "SCOTT", "EMP",
              {num("EMPNO", 4), chr("ENAME", 10), chr("JOB", 9), num("MGR", 4), date("HIREDATE"),
               num("SAL", 7, 2), num("COMM", 7, 2), num("DEPTNO", 2)});
  createTable(db, "SCOTT", "BONUS", {chr("ENAME", 10), chr("JOB", 9), num("SAL"), num("COMM")});
  createTable(db, "SCOTT", "SALGRADE", {num("GRADE"), num("LOSAL"), num("HISAL")});

  ConstraintDef pkDept;
  pkDept.owner = "SCOTT";
  pkDept.name = "PK_DEPT";
  pkDept.type = 'P';
  pkDept.table = "DEPT";
  pkDept.columns = {"DEPTNO"};
  addConstraint(db, pkDept);
  ConstraintDef pkEmp = pkDept;
  pkEmp.name = "PK_EMP";
  pkEmp.table = "EMP";
  pkEmp.columns = {"EMPNO"};
  addConstraint(db, pkEmp);
  ConstraintDef fk = pkEmp;
  fk.name = "FK_DEPTNO";
  fk.type = 'R';
  fk.columns = {"DEPTNO"};
  fk.rOwner = "SCOTT";
  fk.rName = "PK_DEPT";
  addConstraint(db, fk);

  execSql(db, R"SQL(
INSERT INTO "SCOTT.DEPT" VALUES (10,'ACCOUNTING','NEW YORK'), (20,'RESEARCH','DALLAS'),
  (30,'SALES','CHICAGO'), (40,'OPERATIONS','BOSTON');
INSERT INTO "SCOTT.EMP" VALUES
  (7369,'SMITH','CLERK',7902,'1980-12-17 00:00:00',800,NULL,20),
  (7499,'ALLEN','SALESMAN',7698,'1981-02-20 00:00:00',1600,300,30),
  (7521,'WARD','SALESMAN',7698,'1981-02-22 00:00:00',1250,500,30),
  (7566,'JONES','MANAGER',7839,'1981-04-02 00:00:00',2975,NULL,20),
  (7654,'MARTIN','SALESMAN',7698,'1981-09-28 00:00:00',1250,1400,30),
  (7698,'BLAKE','MANAGER',7839,'1981-05-01 00:00:00',2850,NULL,30),
  (7782,'CLARK','MANAGER',7839,'1981-06-09 00:00:00',2450,NULL,10),
  (7788,'SCOTT','ANALYST',7566,'1982-12-09 00:00:00',3000,NULL,20),
  (7839,'KING','PRESIDENT',NULL,'1981-11-17 00:00:00',5000,NULL,10),
  (7844,'TURNER','SALESMAN',7698,'1981-09-08 00:00:00',1500,0,30),
  (7876,'ADAMS','CLERK',7788,'1983-01-12 00:00:00',1100,NULL,20),
  (7900,'JAMES','CLERK',7698,'1981-12-03 00:00:00',950,NULL,30),
  (7902,'FORD','ANALYST',7566,'1981-12-03 00:00:00',3000,NULL,20),
  (7934,'MILLER','CLERK',7782,'1982-01-23 00:00:00',1300,NULL,10);
INSERT INTO "SCOTT.SALGRADE" VALUES (1,700,1200), (2,1201,1400), (3,1401,2000),
  (4,2001,3000), (5,3001,9999);
)SQL");
}

} // namespace localdb
