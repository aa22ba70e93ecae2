// The catalog: the ora_* tables that describe users and objects, the dictionary views over them,
// the physical names of schema objects, and the triggers that enforce constraints.
#pragma once
#include <sqlite3.h>

#include <optional>
#include <string>
#include <vector>

namespace localdb {

// Server types of columns and expressions (odescr codes).
enum class SqlType : int {
  Unknown = 0, // the NULL literal and untyped binds until a context gives them a type
  Varchar2 = 1,
  Number = 2,
  Long = 8,
  Rowid = 11,
  Date = 12,
  Raw = 23,
  LongRaw = 24,
  Char = 96,
  Clob = 112, // also NCLOB (ColumnInfo::national): text without VARCHAR2's bound
  Blob = 113, // bytes without RAW's bound
  // Datetimes and intervals (later language levels), with OCI's codes. A column's precision
  // is an interval's leading precision, its scale the digits of a fraction of a second.
  Timestamp = 187,
  TimestampTz = 188,
  IntervalYM = 189,
  IntervalDS = 190,
  TimestampLtz = 232,
};

// TIMESTAMP [WITH [LOCAL] TIME ZONE]; with DATE, the datetime types.
inline bool isTimestampType(SqlType t) {
  return t == SqlType::Timestamp || t == SqlType::TimestampTz || t == SqlType::TimestampLtz;
}
inline bool isIntervalType(SqlType t) {
  return t == SqlType::IntervalYM || t == SqlType::IntervalDS;
}

// Scale of a NUMBER without one (a real scale may be negative).
constexpr int kNoScale = -1000;

struct ColumnInfo {
  std::string name;
  SqlType type = SqlType::Varchar2;
  int length = 0;       // VARCHAR2/CHAR/RAW length in bytes
  int precision = -1;   // NUMBER(p,s): -1 when not given
  int scale = kNoScale; // kNoScale when not given (NUMBER floating), 0 for INTEGER
  bool nullable = true;
  std::string defaultText; // Oracle text of the DEFAULT expression, "" when none
  // How the default applies: "" (when no value is given), "ON NULL" (also for an explicit NULL),
  // or an identity column's kind: "ALWAYS", "BY DEFAULT", "BY DEFAULT ON NULL".
  std::string generated;    // also "VIRTUAL": a column computed from defaultText when read
  std::string generatedSql; // a virtual column's expression as SQLite computes it (not stored)
  bool national = false;    // a CLOB declared NCLOB: the same text, its own name in the dictionary
};

// Large objects: no ORDER BY, GROUP BY, DISTINCT, comparison or index over them.
inline bool isLob(SqlType t) { return t == SqlType::Clob || t == SqlType::Blob; }
// A timestamp or interval column made from an expression (CREATE TABLE AS, a view): the
// precisions the expression has, else the widest, and Oracle's internal length.
void fitDatetimeColumn(ColumnInfo &c);

// The Oracle spelling of a column type ("NUMBER(7,2)", "VARCHAR2(10)").
std::string typeText(const ColumnInfo &c);
// The data_type name stored in the catalog ("VARCHAR2", "LONG RAW").
std::string typeName(SqlType t);
std::string typeName(const ColumnInfo &c); // NCLOB for a national CLOB
std::optional<SqlType> typeFromName(const std::string &name);
// Display size as odescr reports it.
int displaySize(const ColumnInfo &c);

// "OWNER.NAME", the SQLite name of a schema object, quoted for SQL.
std::string physicalName(const std::string &owner, const std::string &name);
std::string quoteIdent(const std::string &name);
std::string quoteText(const std::string &text);

// Creates the catalog tables and the dictionary in a new server (inside the caller's transaction).
void createCatalog(sqlite3 *db);
// Re-creates the dictionary views when the file's dictionary is older than this library's.
void ensureDictionary(sqlite3 *db);
// The tables USER_TYPES and USER_TYPE_ATTRS read (also for a file made before them).
void ensureTypeTables(sqlite3 *db);
// Earlier versions kept decimals of NUMBER columns as doubles (or text): they become the form
// numbers are stored in now (int64 integers, other values Oracle's bytes), once, in one
// transaction with its mark in ora_meta, so an interrupted conversion starts again.
void ensureNumberStorage(sqlite3 *db);

// Current time as the catalog stores dates ("YYYY-MM-DD HH:MM:SS").
std::string nowText();
// A new system-generated constraint name (SYS_Cnnnnn).
std::string newConstraintName(sqlite3 *db);

// Re-creates the triggers that enforce NOT NULL, CHECK and FOREIGN KEY constraints of a table and
// of the tables its foreign keys join it to.
void rebuildConstraintTriggers(sqlite3 *db, const std::string &owner, const std::string &table);
// Told when a table's constraint triggers were made again (its columns may have changed too):
// SQLite fires the newest trigger first, and the PL/SQL layer's BEFORE row triggers must come
// before the constraint checks, so it makes its own again after them.
using TableTriggersRebuilt = void (*)(sqlite3 *db, const std::string &owner,
                                      const std::string &table);
void setTableTriggersRebuilt(TableTriggersRebuilt callback);

// A constraint as the catalog keeps it.
struct ConstraintDef {
  std::string owner, name;
  char type = 'C'; // P primary key, U unique, R foreign key, C check
  std::string table;
  std::vector<std::string> columns;
  std::string searchCondition; // Oracle text of a CHECK
  std::string sqliteCondition; // the CHECK over NEW.col, for the trigger
  std::string rOwner, rName;   // the referenced key of a foreign key
  bool cascade = false;        // ON DELETE CASCADE
  bool enabled = true;
  bool generatedName = false;
};

// Catalog changes shared by the seed and the DDL executor (inside the caller's transaction).
// temporary: a global temporary table, whose storage is each connection's own TEMP table.
// A column of a table's SQLite definition: its name, its storage class, a virtual column's
// expression.
std::string columnDefinition(const ColumnInfo &c);
void createTable(sqlite3 *db, const std::string &owner, const std::string &name,
                 const std::vector<ColumnInfo> &cols, bool temporary = false);

// Global temporary tables. The catalog keeps the SQL of one connection's TEMP table with its
// indexes and triggers; every other connection makes its own from it when a statement first
// names it. duration: "SYS$TRANSACTION" (rows go at commit) or "SYS$SESSION".
bool isTemporaryTable(sqlite3 *db, const std::string &owner, const std::string &name);
void saveTemporaryTable(sqlite3 *db, const std::string &owner, const std::string &name,
                        const std::string &duration = "");
// Makes this connection's TEMP table for a physical name ("OWNER.NAME") when it is a global
// temporary table it lacks; false when it is not one.
bool ensureTemporaryTable(sqlite3 *db, const std::string &physical);
// Before a commit: empties this connection's tables whose rows last a transaction.
void clearTransactionTables(sqlite3 *db);
void addObject(sqlite3 *db, const std::string &owner, const std::string &name,
               const std::string &type);
// Adds a constraint: catalog rows, the unique index of a key, the triggers.
void addConstraint(sqlite3 *db, const ConstraintDef &c);
// (Re)creates or drops the unique index of a primary or unique key.
void createKeyIndex(sqlite3 *db, const ConstraintDef &c);
std::string keyIndexName(const std::string &owner, const std::string &index);
std::string declaredType(SqlType t);
// Columns of a table or view from the catalog (empty when unknown).
std::vector<ColumnInfo> loadColumns(sqlite3 *db, const std::string &owner,
                                    const std::string &table);
void insertColumns(sqlite3 *db, const std::string &owner, const std::string &table,
                   const std::vector<ColumnInfo> &cols);

// Runs SQL that yields no rows; throws an OraError on failure.
void execSql(sqlite3 *db, const std::string &sql);

// A number every change of the catalog by DDL raises (tables, views, grants, units, ...), so a
// logon can tell that another one changed what its compiled statements were made against.
long catalogSerial(sqlite3 *db);

// The server's language level, as Oracle's COMPATIBLE parameter names it: "7.3" answers as
// Oracle 7.3 does; a later release (the default) also accepts the SQL and PL/SQL added since.
std::string compatibleLevel(sqlite3 *db);
void setCompatibleLevel(sqlite3 *db, const std::string &value);
// True for a level after 7.3; false for 7.x (and for a value that is not a release number).
bool isModernLevel(const std::string &level);
constexpr const char *kDefaultCompatible = "19.0.0";
long bumpCatalogSerial(sqlite3 *db); // the new serial

// When owner.name is a private synonym, or (unless the name was written with its schema) a
// PUBLIC synonym, replaces them with what it names, through chains (ORA-01775 for a loop).
// False when it names no synonym.
bool followSynonym(sqlite3 *db, std::string &owner, std::string &name, bool qualified);

} // namespace localdb
