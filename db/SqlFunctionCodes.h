// The SQL function codes a cursor data area reports (its bytes 2-3): the 76 of Oracle 7's
// statement-kind table, indexed by code, and the codes Oracle reports past them for TRUNCATE
// and the PL/SQL units. One table for the server that sets them and the program that reads them.
#pragma once

enum TSqlFunctionCode : int {
  fcCreateTable = 1,
  fcSetRole = 2,
  fcInsert = 3,
  fcSelect = 4,
  fcUpdate = 5,
  fcDropRole = 6,
  fcDropView = 7,
  fcDropTable = 8,
  fcDelete = 9,
  fcCreateView = 10,
  fcDropUser = 11,
  fcCreateRole = 12,
  fcCreateSequence = 13,
  fcAlterSequence = 14,
  fcDropSequence = 16,
  fcCreateSchema = 17,
  fcCreateCluster = 18,
  fcCreateUser = 19,
  fcCreateIndex = 20,
  fcDropIndex = 21,
  fcDropCluster = 22,
  fcValidateIndex = 23,
  fcCreateProcedure = 24,
  fcAlterProcedure = 25,
  fcAlterTable = 26,
  fcExplain = 27,
  fcGrant = 28,
  fcRevoke = 29,
  fcCreateSynonym = 30,
  fcDropSynonym = 31,
  fcAlterSystemSwitchLog = 32,
  fcSetTransaction = 33,
  fcPlSqlExecute = 34,
  fcLockTable = 35,
  fcRename = 37,
  fcComment = 38,
  fcAudit = 39,
  fcNoaudit = 40,
  fcAlterIndex = 41,
  fcCreateExternalDatabase = 42,
  fcDropExternalDatabase = 43,
  fcCreateDatabase = 44,
  fcAlterDatabase = 45,
  fcCreateRollbackSegment = 46,
  fcAlterRollbackSegment = 47,
  fcDropRollbackSegment = 48,
  fcCreateTablespace = 49,
  fcAlterTablespace = 50,
  fcDropTablespace = 51,
  fcAlterSession = 52,
  fcAlterUser = 53,
  fcCommit = 54,
  fcRollback = 55,
  fcSavepoint = 56,
  fcCreateControlFile = 57,
  fcAlterTracing = 58,
  fcCreateTrigger = 59,
  fcAlterTrigger = 60,
  fcDropTrigger = 61,
  fcAnalyzeTable = 62,
  fcAnalyzeIndex = 63,
  fcAnalyzeCluster = 64,
  fcCreateProfile = 65,
  fcDropProfile = 66,
  fcAlterProfile = 67,
  fcDropProcedure = 68,
  fcAlterResourceCost = 70,
  fcCreateSnapshotLog = 71,
  fcAlterSnapshotLog = 72,
  fcDropSnapshotLog = 73,
  fcCreateSnapshot = 74,
  fcAlterSnapshot = 75,
  fcDropSnapshot = 76,
  fcTruncate = 85,
  fcCreateFunction = 91,
  fcAlterFunction = 92,
  fcDropFunction = 93,
  fcCreatePackage = 94,
  fcAlterPackage = 95,
  fcDropPackage = 96,
  fcCreatePackageBody = 97,
  fcAlterPackageBody = 98,
  fcDropPackageBody = 99,
  fcMerge = 189, // as later releases report MERGE
};

// The statement-kind table's name of a code, "" outside 1..76 and for its three unused codes.
constexpr const char *SqlFunctionName(int ACode) {
  constexpr const char *Names[76] = {"CREATE TABLE",
                                     "SET ROLE",
                                     "INSERT",
                                     "SELECT",
                                     "UPDATE",
                                     "DROP ROLE",
                                     "DROP VIEW",
                                     "DROP TABLE",
                                     "DELETE",
                                     "CREATE VIEW",
                                     "DROP USER",
                                     "CREATE ROLE",
                                     "CREATE SEQUENCE",
                                     "ALTER SEQUENCE",
                                     "",
                                     "DROP SEQUENCE",
                                     "CREATE SCHEMA",
                                     "CREATE CLUSTER",
                                     "CREATE USER",
                                     "CREATE INDEX",
                                     "DROP INDEX",
                                     "DROP CLUSTER",
                                     "VALIDATE INDEX",
                                     "CREATE PROCEDURE",
                                     "ALTER PROCEDURE",
                                     "ALTER TABLE",
                                     "EXPLAIN",
                                     "GRANT",
                                     "REVOKE",
                                     "CREATE SYNONYM",
                                     "DROP SYNONYM",
                                     "ALTER SYSTEM SWITCH LOG",
                                     "SET TRANSACTION",
                                     "PL/SQL EXECUTE",
                                     "LOCK TABLE",
                                     "",
                                     "RENAME",
                                     "COMMENT",
                                     "AUDIT",
                                     "NOAUDIT",
                                     "ALTER INDEX",
                                     "CREATE EXTERNAL DATABASE",
                                     "DROP EXTERNAL DATABASE",
                                     "CREATE DATABASE",
                                     "ALTER DATABASE",
                                     "CREATE ROLLBACK SEGMENT",
                                     "ALTER ROLLBACK SEGMENT",
                                     "DROP ROLLBACK SEGMENT",
                                     "CREATE TABLESPACE",
                                     "ALTER TABLESPACE",
                                     "DROP TABLESPACE",
                                     "ALTER SESSION",
                                     "ALTER USER",
                                     "COMMIT",
                                     "ROLLBACK",
                                     "SAVEPOINT",
                                     "CREATE CONTROL FILE",
                                     "ALTER TRACING",
                                     "CREATE TRIGGER",
                                     "ALTER TRIGGER",
                                     "DROP TRIGGER",
                                     "ANALYZE TABLE",
                                     "ANALYZE INDEX",
                                     "ANALYZE CLUSTER",
                                     "CREATE PROFILE",
                                     "DROP PROFILE",
                                     "ALTER PROFILE",
                                     "DROP PROCEDURE",
                                     "",
                                     "ALTER RESOURCE COST",
                                     "CREATE SNAPSHOT LOG",
                                     "ALTER SNAPSHOT LOG",
                                     "DROP SNAPSHOT LOG",
                                     "CREATE SNAPSHOT",
                                     "ALTER SNAPSHOT",
                                     "DROP SNAPSHOT"};
  return ACode >= 1 && ACode <= 76 ? Names[ACode - 1] : ACode == fcMerge ? "MERGE" : "";
}

// Whether a code is one of the DROP statements.
constexpr bool IsDropFunctionCode(int ACode) {
  switch (ACode) {
  case fcDropRole:
  case fcDropView:
  case fcDropTable:
  case fcDropUser:
  case fcDropSequence:
  case fcDropIndex:
  case fcDropCluster:
  case fcDropSynonym:
  case fcDropExternalDatabase:
  case fcDropRollbackSegment:
  case fcDropTablespace:
  case fcDropTrigger:
  case fcDropProfile:
  case fcDropProcedure:
  case fcDropSnapshotLog:
  case fcDropSnapshot:
  case fcDropFunction:
  case fcDropPackage:
  case fcDropPackageBody:
    return true;
  default:
    return false;
  }
}
