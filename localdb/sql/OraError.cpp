// The table of Oracle message texts and the builders of OraError.
#include "localdb/sql/OraError.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

namespace localdb {

namespace {
struct Entry {
  int code;
  const char *text;
};
// Oracle 7 texts, as oerhms returns them.
const Entry kTexts[] = {
    {0, "normal, successful completion"},
    {1, "unique constraint (%s) violated"},
    {600, "internal error code, arguments: [%s]"},
    {54, "resource busy and acquire with NOWAIT specified"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {903, "invalid table name"},
    {904, "invalid column name"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {908, "missing NULL keyword"},
    {909, "invalid number of arguments"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {917, "missing comma"},
    {918, "column ambiguously defined"},
    {919, "invalid function"},
    {920, "invalid relational operator"},
    {921, "unexpected end of SQL command"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {924, "missing BY keyword"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {928, "missing SELECT keyword"},
    {931, "missing identifier"},
    {932, "inconsistent datatypes"},
    {933, "SQL command not properly ended"},
    {934, "group function is not allowed here"},
    {935, "group function is nested too deeply"},
    {936, "missing expression"},
    {937, "not a single-group group function"},
    {978, "nested group function without GROUP BY"},
    {938, "not enough arguments for function"},
    {939, "too many arguments for function"},
    {942, "table or view does not exist"},
    {947, "not enough values"},
    {950, "invalid DROP option"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {960, "ambiguous column naming in select list"},
    {964, "table name not in FROM list"},
    {969, "missing ON keyword"},
    {971, "missing SET keyword"},
    {972, "identifier is too long"},
    {975, "date + date not allowed"},
    {976, "LEVEL, PRIOR, or ROWNUM not allowed here"},
    {979, "not a GROUP BY expression"},
    {980, "synonym translation is no longer valid"},
    {984, "column not allowed here"},
    {985, "invalid program name"},
    {988, "missing or invalid password(s)"},
    {997, "illegal use of LONG datatype"},
    {998, "must name this expression with a column alias"},
    {1001, "invalid cursor"},
    {1002, "fetch out of sequence"},
    {1003, "no statement parsed"},
    {1005, "null password given; logon denied"},
    {1006, "bind variable does not exist"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {1012, "not logged on"},
    {1013, "user requested cancel of current operation"},
    {4030, "out of process memory when trying to allocate %s bytes"},
    {1017, "invalid username/password; logon denied"},
    {1031, "insufficient privileges"},
    {1036, "illegal variable name/number"},
    {1400, "mandatory (NOT NULL) column is missing or NULL during insert"},
    {1401, "inserted value too large for column"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1407, "cannot update mandatory (NOT NULL) column to NULL"},
    {1408, "such column list already indexed"},
    {1410, "invalid ROWID"},
    {1417, "a table may be outer joined to at most one other table"},
    {1418, "specified index does not exist"},
    {1422, "exact fetch returns more than requested number of rows"},
    {1425, "escape character must be character string of length 1"},
    {1427, "single-row subquery returns more than one row"},
    {1430, "column being added already exists in table"},
    {1432, "public synonym to be dropped does not exist"},
    {1434, "private synonym to be dropped does not exist"},
    {1438, "value larger than specified precision allows for this column"},
    {1440, "column to be modified must be empty to decrease precision or scale"},
    {1441, "column to be modified must be empty to decrease column length"},
    {1442, "column to be modified to NOT NULL is already NOT NULL"},
    {1449, "column contains NULL values; cannot alter to NOT NULL"},
    {1451, "column to be modified to NULL cannot be modified to NULL"},
    {1455, "converting column overflows integer datatype"},
    {1468, "a predicate may reference only one outer-joined table"},
    {1476, "divisor is equal to zero"},
    {1730, "invalid number of column names specified"},
    {1731, "circular view definition encountered"},
    {2441, "Cannot drop nonexistent primary key"},
    {2442, "Cannot drop nonexistent unique key"},
    {2251, "subquery not allowed here"},
    {2256, "number of referencing columns must match referenced columns"},
    {1452, "cannot CREATE UNIQUE INDEX; duplicate keys found"},
    {1758, "table must be empty to add mandatory (NOT NULL) column"},
    {2429, "cannot drop index used for enforcement of unique/primary key"},
    {2297, "cannot disable constraint (%s) - dependencies exist"},
    {2437, "cannot enable (%s) - primary key violated"},
    {4004, "MINVALUE must be less than MAXVALUE"},
    {4006, "START WITH cannot be less than MINVALUE"},
    {4008, "START WITH cannot be more than MAXVALUE"},
    {1940, "cannot drop a user that is currently connected"},
    {2424, "potential circular view references or unknown referenced tables"},
    {1426, "numeric overflow"},
    {1428, "argument '%s' is out of range"},
    {1465, "invalid hex number"},
    {1482, "unsupported character set"},
    {1857, "not a valid time zone"},
    {12702, "invalid NLS parameter string used in SQL function"},
    {1760, "illegal argument for function"},
    {30491, "missing ORDER BY clause"},
    {12722, "regular expression internal error"},
    {12725, "unmatched parentheses in regular expression"},
    {12726, "unmatched bracket in regular expression"},
    {12727, "invalid back reference in regular expression"},
    {12728, "invalid range in regular expression"},
    {12729, "invalid character class in regular expression"},
    {12732, "invalid interval value in regular expression"},
    {12733, "regular expression too long"},
    {2003, "invalid USERENV parameter"},
    {2065, "illegal option for ALTER SYSTEM"},
    {2095, "specified initialization parameter cannot be modified"},
    {2097, "parameter cannot be modified because specified value is invalid"},
    {2248, "invalid option for ALTER SESSION"},
    {1436, "CONNECT BY loop in user data"},
    {1437, "cannot have join with CONNECT BY"},
    {2201, "sequence not allowed here"},
    {1416, "two tables cannot be outer-joined to each other"},
    {1719, "outer join operator (+) not allowed in operand of OR or IN"},
    {1446, "cannot select ROWID from view with DISTINCT, GROUP BY, etc."},
    {4002, "INCREMENT must be a non-zero integer"},
    {2283, "cannot alter starting sequence number"},
    {4001, "sequence parameter %s must be an integer"},
    {1481, "invalid number format model"},
    {1722, "invalid number"},
    {1723, "zero-length columns are not allowed"},
    {1732, "data manipulation operation not legal on this view"},
    {1733, "virtual column not allowed here"},
    {1740, "missing double quote in identifier"},
    {1744, "inappropriate INTO"},
    {1741, "illegal zero-length identifier"},
    {1742, "comment not terminated properly"},
    {1745, "invalid host/bind variable name"},
    {1747, "invalid user.table.column, table.column, or column specification"},
    {1756, "quoted string not properly terminated"},
    {1765, "specifying table's owner name is not allowed"},
    {1789, "query block has incorrect number of result columns"},
    {1790, "expression must have same datatype as corresponding expression"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1839, "date not valid for month specified"},
    {1840, "input value not long enough for date format"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1918, "user '%s' does not exist"},
    {1920, "user name '%s' conflicts with another user or role name"},
    {1922, "CASCADE must be specified to drop '%s'"},
    {2149, "Specified partition does not exist"},
    {2260, "table can have only one primary key"},
    {2327, "cannot create index on expression with datatype %s"},
    {2329, "column of datatype %s cannot be unique or a primary key"},
    {2261, "such unique or primary key already exists in the table"},
    {2264, "name already used by an existing constraint"},
    {2266, "unique/primary keys in table referenced by enabled foreign keys"},
    {2268, "referenced table does not have a primary key"},
    {2270, "no matching unique or primary key for this column-list"},
    {2273, "this unique/primary key is referenced by some foreign keys"},
    {2287, "sequence number not allowed here"},
    {2289, "sequence does not exist"},
    {2290, "check constraint (%s) violated"},
    {2291, "integrity constraint (%s) violated - parent key not found"},
    {2292, "integrity constraint (%s) violated - child record found"},
    {2293, "cannot enable (%s) - check constraint violated"},
    {2296, "cannot enable (%s) - null values found"},
    {2298, "cannot enable (%s) - parent keys not found"},
    {2299, "cannot enable (%s) - duplicate keys found"},
    {2431, "cannot disable constraint (%s) - no such constraint"},
    {2436, "date or system variable wrongly specified in CHECK constraint"},
    {1743, "only pure functions can be indexed"},
    {30675, "identity column must be a numeric type"},
    {32795, "cannot insert into a generated always identity column"},
    {30009, "Not enough memory for CONNECT BY operation"},
    {30926, "unable to get a stable set of rows in the source tables"},
    {38104, "Columns referenced in the ON Clause cannot be updated: %s"},
    {32796, "cannot update a generated always identity column"},
    {22818, "subquery expressions not allowed here"},
    {2443, "Cannot drop constraint  - nonexistent constraint"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {3001, "unimplemented feature"},
    {4043, "object %s does not exist"},
    {4063, "view \"%s\" has errors"},
    {4098, "trigger '%s' is invalid and failed re-validation"},
    {4092, "cannot %s in a trigger"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL exceeds MAXVALUE and cannot be instantiated"},
    {12154, "TNS:could not resolve service name"},
    {1031, "insufficient privileges"},
    {1034, "ORACLE not available"},
    {1114, "IO error writing block to file %s"},
    {1115, "IO error reading block from file %s"},
    {1562, "failed to extend rollback segment number %s"},
    {1086, "savepoint '%s' never established"},
    {1401, "inserted value too large for column"},
    {1727, "numeric precision specifier is out of range (1 to 38)"},
    {1728, "numeric scale specifier is out of range (-84 to 127)"},
    {2000, "missing %s keyword"},
    {1402, "view WITH CHECK OPTION where-clause violation"},
    {1733, "virtual column not allowed here"},
    {1752, "cannot delete from view without exactly one key-preserved table"},
    {1779, "cannot modify a column which maps to a non key-preserved table"},
    {1785, "ORDER BY item must be the number of a SELECT-list expression"},
    {1788, "CONNECT BY clause required in this query block"},
    {1791, "not a SELECTed expression"},
    {1792, "maximum number of columns in a table or view is 1000"},
    {1795, "maximum number of expressions in a list is 1000"},
    {1796, "this operator cannot be used with lists"},
    {1797, "this operator must be followed by ANY or ALL"},
    {1950, "no privileges on tablespace '%s'"},
    {1919, "role '%s' does not exist"},
    {1917, "user or role '%s' does not exist"},
    {1927, "cannot REVOKE privileges you did not grant"},
    {1702, "a view is not appropriate here"},
    {1735, "invalid ALTER TABLE option"},
    {1430, "column being added already exists in table"},
    {1439, "column to be modified must be empty to change datatype"},
    {1453, "SET TRANSACTION must be first statement of transaction"},
    {1471, "cannot create a synonym with same name as object"},
    {1775, "looping chain of synonyms"},
    {1776, "cannot modify more than one base table through a join view"},
    {1000, "maximum open cursors exceeded"},
    {1460, "unimplemented or unreasonable conversion requested"},
    {1467, "sort key too long"},
    {1489, "result of string concatenation is too long"},
    {1704, "string literal too long"},
    {1711, "duplicate privilege listed"},
    {1712, "you cannot grant a privilege which you do not have"},
    {1720, "grant option does not exist for '%s'"},
    {1749, "you may not GRANT/REVOKE privileges to/from yourself"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1859, "a non-alphabetic character was found where an alphabetic was expected"},
    {1898, "too many precision specifiers"},
    {1810, "format code appears twice"},
    {1817, "Conflicting specification of day and year"},
    {1820, "format code cannot appear in date input format"},
    {1835, "day of week conflicts with Julian date"},
    {1800, "a literal in the date format was too large to process"},
    {1801, "date format is too long for internal buffer"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1856, "BC/B.C. or AD/A.D. required"},
    {1862, "the numeric value does not match the length of the format item"},
    {1863, "the year is not supported for the current calendar"},
    {1864, "the date is out of range for the current calendar"},
    {1867, "the interval is invalid"},
    {1873, "the leading precision of the interval is too small"},
    {1874, "time zone hour must be between -15 and 15"},
    {1875, "time zone minute must be between -59 and 59"},
    {1880, "the fractional seconds must be between 0 and 999999999"},
    {1882, "timezone region not found"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {6502, "PL/SQL: numeric or value error"},
    // PL/SQL's run-time errors.
    {4050, "invalid or missing procedure, function, or package name"},
    {4061, "existing state of %s has been invalidated"},
    {4068, "existing state of packages has been discarded"},
    {4065, "not executed, altered or dropped %s"},
    {4067, "not executed, %s does not exist"},
    {4080, "trigger '%s' does not exist"},
    {4088, "error during execution of trigger '%s'"},
    {4089, "cannot create triggers on objects owned by SYS"},
    {4091, "table %s is mutating, trigger/function may not see it"},
    {6500, "PL/SQL: storage error"},
    {6501, "PL/SQL: program error"},
    {6503, "PL/SQL: Function returned without value"},
    {6508, "PL/SQL: could not find program unit being called"},
    {6510, "PL/SQL: unhandled user-defined exception"},
    {6511, "PL/SQL: cursor already open"},
    {6513, "PL/SQL: index for PL/SQL table out of range for host language array"},
    {6530, "Reference to uninitialized composite"},
    {30625, "method dispatch on NULL SELF argument is disallowed"},
    {2303, "cannot drop or replace a type with type or table dependents"},
    {6531, "Reference to uninitialized collection"},
    {6532, "Subscript outside of limit"},
    {6533, "Subscript beyond count"},
    {6535, "statement string in EXECUTE IMMEDIATE is NULL or 0 length"},
    {6550, "line %s, column %s"},
    {6592, "CASE not found while executing CASE statement"},
    {21560, "argument %s is null, invalid, or out of range"},
    {22858, "invalid alteration of datatype"},
    {22859, "invalid modification of columns"},
    {22925, "operation would exceed maximum size allowed for a LOB value"},
    {22926, "specified trim length is greater than current LOB value's length"},
    {21000, "error number argument to raise_application_error of %s is out of range"},
    {12899, "value too large for column"},
    {12983, "cannot drop all columns in a table"},
    {12991, "column is referenced in a multi-column constraint"},
    {12992, "cannot drop parent key column"},
    {24333, "zero iteration count"},
    {24381, "error(s) in array DML"},
    {25137, "Data value out of range"},
    {30001, "trim set should have only one character"},
    {30076, "invalid extract field for extract source"},
    {30088, "datetime/interval precision is out of range"},
    {30089, "missing or invalid <datetime field>"},
    {22905, "cannot access rows from a non-nested table item"},
    {44001, "invalid schema"},
    {44002, "invalid object name"},
    {44003, "invalid SQL name"},
    {44004, "invalid qualified SQL name"},
    {54012, "virtual column is referenced in a column expression"},
    {54013, "INSERT operation disallowed on virtual columns"},
    {54017, "UPDATE operation disallowed on virtual columns"},
    {54031, "column to be dropped is used in a virtual column expression"},
    {30481, "GROUPING function only supported with GROUP BY CUBE or ROLLUP"},
    {30483, "window functions are not allowed here"},
    {30484, "missing window specification for this function"},
    {30485, "missing ORDER BY expression in the window specification"},
    {32038, "number of WITH clause column names does not match number of elements in select list"},
    {25154, "column part of USING clause cannot have qualifier"},
    {25156, "old style outer join (+) cannot be used with ANSI joins"},
};
} // namespace

const char *oraText(int code) {
  for (const Entry &e : kTexts)
    if (e.code == code)
      return e.text;
  return "";
}

std::string oraMessage(int code, const std::string &detail) {
  char head[32];
  std::snprintf(head, sizeof head, "ORA-%05d: ", code);
  if (!detail.empty())
    return head + detail;
  const char *t = oraText(code);
  if (!*t)
    return std::string(head) + "Message " + std::to_string(code) + " not found";
  std::string s = t;
  // A generic text with a placeholder loses it ("unique constraint () violated" would lie).
  auto p = s.find("%s");
  if (p != std::string::npos)
    s.erase(p, 2);
  return head + s;
}

OraError oraError(int code, int offset) { return OraError{code, oraMessage(code), offset}; }

OraError oraErrorText(int code, const std::string &detail, int offset) {
  return OraError{code, oraMessage(code, detail), offset};
}

OraError oraErrorArg(int code, const std::string &arg, int offset) {
  std::string s = oraText(code);
  auto p = s.find("%s");
  if (p != std::string::npos)
    s.replace(p, 2, arg);
  return OraError{code, oraMessage(code, s), offset};
}

int oraCodeOf(const std::string &m) {
  if (m.size() < 9 || m.compare(0, 4, "ORA-") != 0)
    return 0;
  int code = 0;
  for (int i = 4; i < 9; ++i) {
    if (m[i] < '0' || m[i] > '9')
      return 0;
    code = code * 10 + (m[i] - '0');
  }
  return code;
}

OraError sqliteFailure(int rc, const std::string &m) {
  if (int code = oraCodeOf(m))
    return OraError{code, m, -1};
  switch (rc & 0xff) {
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    return oraError(54);
  case SQLITE_INTERRUPT:
    return oraError(1013);
  case SQLITE_FULL:
  case SQLITE_IOERR:
  case SQLITE_CANTOPEN:
  case SQLITE_READONLY:
    return oraErrorText(1114, "IO error writing block to file (" + m + ")");
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB:
    return oraErrorText(1115, "IO error reading block from file (" + m + ")");
  case SQLITE_NOMEM:
  case SQLITE_TOOBIG:
    return oraErrorText(4030, "out of process memory (" + m + ")");
  default:
    break;
  }
  // SQLite's LIKE checks its ESCAPE argument as Oracle's does.
  if (m == "ESCAPE expression must be a single character")
    return oraError(1425);
  if (m.find("parser stack overflow") != std::string::npos)
    return oraErrorText(3001, "unimplemented feature (statement nested too deeply)");
  return oraErrorText(3001, "unimplemented feature (" + m + ")");
}

} // namespace localdb
