// The catalog tables, the dictionary views over them and the constraint triggers.
#include "localdb/catalog/Catalog.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

#include "localdb/catalog/KeptStatements.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlFunctions.h"

namespace localdb {

namespace {

const int kDictionaryVersion = 14;

const char *kCatalogTables = R"SQL(
CREATE TABLE ora_meta(key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE ora_users(user_id INTEGER PRIMARY KEY, username TEXT NOT NULL UNIQUE,
  password TEXT NOT NULL, created TEXT NOT NULL);
CREATE TABLE ora_objects(object_id INTEGER PRIMARY KEY, owner TEXT NOT NULL,
  object_name TEXT NOT NULL, object_type TEXT NOT NULL, status TEXT NOT NULL DEFAULT 'VALID',
  created TEXT NOT NULL, last_ddl_time TEXT NOT NULL, ddl_serial INTEGER NOT NULL DEFAULT 0,
  UNIQUE(owner, object_name, object_type));
CREATE TABLE ora_tab_columns(owner TEXT NOT NULL, table_name TEXT NOT NULL,
  column_id INTEGER NOT NULL, column_name TEXT NOT NULL, data_type TEXT NOT NULL,
  data_length INTEGER, data_precision INTEGER, data_scale INTEGER, nullable TEXT NOT NULL,
  data_default TEXT, generated TEXT, PRIMARY KEY(owner, table_name, column_name));
CREATE TABLE ora_constraints(owner TEXT NOT NULL, constraint_name TEXT NOT NULL,
  constraint_type TEXT NOT NULL, table_name TEXT NOT NULL, search_condition TEXT,
  sqlite_condition TEXT, r_owner TEXT, r_constraint_name TEXT, delete_rule TEXT,
  status TEXT NOT NULL DEFAULT 'ENABLED', generated TEXT NOT NULL DEFAULT 'USER NAME',
  PRIMARY KEY(owner, constraint_name));
CREATE TABLE ora_cons_columns(owner TEXT NOT NULL, constraint_name TEXT NOT NULL,
  table_name TEXT NOT NULL, column_name TEXT NOT NULL, position INTEGER NOT NULL);
CREATE TABLE ora_indexes(owner TEXT NOT NULL, index_name TEXT NOT NULL, table_owner TEXT NOT NULL,
  table_name TEXT NOT NULL, uniqueness TEXT NOT NULL, constraint_name TEXT,
  PRIMARY KEY(owner, index_name));
CREATE TABLE ora_ind_columns(index_owner TEXT NOT NULL, index_name TEXT NOT NULL,
  table_owner TEXT NOT NULL, table_name TEXT NOT NULL, column_name TEXT NOT NULL,
  column_position INTEGER NOT NULL, descend TEXT NOT NULL DEFAULT 'ASC');
CREATE TABLE ora_views(owner TEXT NOT NULL, view_name TEXT NOT NULL, text TEXT NOT NULL,
  read_only INTEGER NOT NULL DEFAULT 0, check_option INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(owner, view_name));
CREATE TABLE ora_sequences(sequence_owner TEXT NOT NULL, sequence_name TEXT NOT NULL,
  min_value NUMERIC, max_value NUMERIC, increment_by NUMERIC NOT NULL, cycle_flag TEXT NOT NULL,
  order_flag TEXT NOT NULL, cache_size INTEGER NOT NULL, last_number NUMERIC NOT NULL,
  PRIMARY KEY(sequence_owner, sequence_name));
CREATE TABLE ora_synonyms(owner TEXT NOT NULL, synonym_name TEXT NOT NULL,
  table_owner TEXT NOT NULL, table_name TEXT NOT NULL, db_link TEXT,
  PRIMARY KEY(owner, synonym_name));
CREATE TABLE ora_comments(owner TEXT NOT NULL, table_name TEXT NOT NULL, column_name TEXT,
  comments TEXT);
CREATE TABLE ora_privs(grantor TEXT, grantee TEXT NOT NULL, owner TEXT, object_name TEXT,
  privilege TEXT NOT NULL, grantable TEXT NOT NULL DEFAULT 'NO', statement TEXT);
CREATE TABLE ora_source(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,
  line INTEGER NOT NULL, text TEXT);
CREATE TABLE ora_errors(owner TEXT NOT NULL, name TEXT NOT NULL, type TEXT NOT NULL,
  sequence INTEGER NOT NULL, line INTEGER NOT NULL, position INTEGER NOT NULL, text TEXT);
CREATE TABLE ora_triggers(owner TEXT NOT NULL, trigger_name TEXT NOT NULL, trigger_type TEXT,
  triggering_event TEXT, table_owner TEXT, table_name TEXT, referencing_names TEXT,
  when_clause TEXT, status TEXT, description TEXT, trigger_body TEXT,
  PRIMARY KEY(owner, trigger_name));
)SQL";

// A dictionary view: its name, its columns in Oracle type syntax, and its SQLite query.
struct DictView {
  const char *name;
  const char *columns; // "NAME TYPE[(n)] [N]" separated by commas; N = not null
  const char *query;
};

#define OBJ_COLS                                                                                   \
  "OBJECT_NAME VARCHAR2(30), OBJECT_ID NUMBER, OBJECT_TYPE VARCHAR2(13), CREATED DATE, "           \
  "LAST_DDL_TIME DATE, TIMESTAMP VARCHAR2(19), STATUS VARCHAR2(7)"
#define OBJ_SEL                                                                                    \
  "object_name, object_id, object_type, created, last_ddl_time, "                                  \
  "replace(created, ' ', ':'), status"

#define COLUMN_COLS                                                                                \
  "TABLE_NAME VARCHAR2(30) N, COLUMN_NAME VARCHAR2(30) N, DATA_TYPE VARCHAR2(106), "               \
  "DATA_LENGTH NUMBER N, DATA_PRECISION NUMBER, DATA_SCALE NUMBER, NULLABLE VARCHAR2(1), "         \
  "COLUMN_ID NUMBER N, DEFAULT_LENGTH NUMBER, DATA_DEFAULT LONG"
#define COLUMN_SEL                                                                                 \
  "table_name, column_name, data_type, data_length, data_precision, data_scale, nullable, "        \
  "column_id, length(data_default), data_default"

// Later releases' columns of *_TAB_COLS: identity and DEFAULT ON NULL.
#define IDENTITY_COLS                                                                              \
  "IDENTITY_COLUMN VARCHAR2(3), DEFAULT_ON_NULL VARCHAR2(3), VIRTUAL_COLUMN VARCHAR2(3)"
#define IDENTITY_SEL                                                                               \
  "CASE WHEN generated IN ('ALWAYS', 'BY DEFAULT', 'BY DEFAULT ON NULL') THEN 'YES' ELSE 'NO' "    \
  "END, CASE WHEN generated LIKE '%ON NULL' THEN 'YES' ELSE 'NO' END, CASE WHEN generated = "      \
  "'VIRTUAL' THEN 'YES' ELSE 'NO' END"

// Each subprogram of a package specification in *_PROCEDURES (later releases).
#define PACKAGE_MEMBERS_SEL                                                                        \
  "SELECT DISTINCT owner, package_name, object_name, 'PACKAGE', CAST(overload AS TEXT) FROM "      \
  "ora_arguments WHERE package_name IS NOT NULL"

#define ARGUMENT_COLS                                                                              \
  "OBJECT_NAME VARCHAR2(30), PACKAGE_NAME VARCHAR2(30), OBJECT_ID NUMBER N, OVERLOAD "             \
  "VARCHAR2(40), ARGUMENT_NAME VARCHAR2(30), POSITION NUMBER N, SEQUENCE NUMBER N, DATA_LEVEL "    \
  "NUMBER N, DATA_TYPE VARCHAR2(30), DEFAULTED VARCHAR2(1), IN_OUT VARCHAR2(9), DATA_LENGTH "      \
  "NUMBER, DATA_PRECISION NUMBER, DATA_SCALE NUMBER, RADIX NUMBER"
#define ARGUMENT_SEL                                                                               \
  "a.object_name, a.package_name, o.object_id, CAST(a.overload AS TEXT), a.argument_name, "        \
  "a.position, a.sequence, a.data_level, a.data_type, a.defaulted, a.in_out, a.data_length, "      \
  "a.data_precision, a.data_scale, a.radix FROM ora_arguments a JOIN ora_objects o ON o.owner = "  \
  "a.owner AND o.object_name = a.unit_name AND o.object_type = a.unit_type"

// Later releases' columns of *_TABLES: global temporary tables.
#define TEMP_COLS "TEMPORARY VARCHAR2(1), DURATION VARCHAR2(15)"
#define TEMP_SEL                                                                                   \
  "CASE WHEN t.duration IS NULL THEN 'USERS' END, NULL, NULL, CASE WHEN t.duration IS NULL THEN "  \
  "'N' ELSE 'Y' END, t.duration FROM ora_objects o LEFT JOIN ora_temp_tables t ON t.owner = "      \
  "o.owner AND t.table_name = o.object_name WHERE"

const DictView kViews[] = {
    {"DUAL", "DUMMY VARCHAR2(1)", nullptr},
    // The server's parameters (TYPE 2: a string); COMPATIBLE is its language level.
    {"V$PARAMETER",
     "NAME VARCHAR2(80), TYPE NUMBER, VALUE VARCHAR2(512), DISPLAY_VALUE VARCHAR2(512), "
     "ISDEFAULT VARCHAR2(9), DESCRIPTION VARCHAR2(255)",
     "SELECT 'compatible', 2, coalesce(value, '19.0.0'), coalesce(value, '19.0.0'), CASE WHEN "
     "value IS NULL THEN 'TRUE' ELSE 'FALSE' END, 'Database will be completely compatible with "
     "this software version' FROM (SELECT (SELECT value FROM ora_meta WHERE key = "
     "'compatible') AS value)"},
    {"ALL_OBJECTS", "OWNER VARCHAR2(30) N, " OBJ_COLS,
     "SELECT owner, " OBJ_SEL " FROM ora_objects"},
    {"USER_OBJECTS", OBJ_COLS, "SELECT " OBJ_SEL " FROM ora_objects WHERE owner = ora_user()"},
    {"ALL_SOURCE",
     "OWNER VARCHAR2(30) N, NAME VARCHAR2(30) N, TYPE VARCHAR2(12), LINE NUMBER N, "
     "TEXT VARCHAR2(2000)",
     "SELECT owner, name, type, line, text FROM ora_source"},
    {"USER_SOURCE", "NAME VARCHAR2(30) N, TYPE VARCHAR2(12), LINE NUMBER N, TEXT VARCHAR2(2000)",
     "SELECT name, type, line, text FROM ora_source WHERE owner = ora_user()"},
    {"ALL_ERRORS",
     "OWNER VARCHAR2(30) N, NAME VARCHAR2(30) N, TYPE VARCHAR2(12), SEQUENCE NUMBER N, "
     "LINE NUMBER N, POSITION NUMBER N, TEXT VARCHAR2(2000) N",
     "SELECT owner, name, type, sequence, line, position, text FROM ora_errors"},
    {"USER_ERRORS",
     "NAME VARCHAR2(30) N, TYPE VARCHAR2(12), SEQUENCE NUMBER N, LINE NUMBER N, "
     "POSITION NUMBER N, TEXT VARCHAR2(2000) N",
     "SELECT name, type, sequence, line, position, text FROM ora_errors WHERE owner = ora_user()"},
    {"ALL_TRIGGERS",
     "OWNER VARCHAR2(30), TRIGGER_NAME VARCHAR2(30), TRIGGER_TYPE VARCHAR2(16), "
     "TRIGGERING_EVENT VARCHAR2(26), TABLE_OWNER VARCHAR2(30), TABLE_NAME VARCHAR2(30), "
     "REFERENCING_NAMES VARCHAR2(87), WHEN_CLAUSE VARCHAR2(2000), STATUS VARCHAR2(8), "
     "DESCRIPTION VARCHAR2(2000), TRIGGER_BODY LONG",
     "SELECT owner, trigger_name, trigger_type, triggering_event, table_owner, table_name, "
     "referencing_names, when_clause, status, description, trigger_body FROM ora_triggers"},
    {"USER_TRIGGERS",
     "TRIGGER_NAME VARCHAR2(30), TRIGGER_TYPE VARCHAR2(16), TRIGGERING_EVENT VARCHAR2(26), "
     "TABLE_OWNER VARCHAR2(30), TABLE_NAME VARCHAR2(30), REFERENCING_NAMES VARCHAR2(87), "
     "WHEN_CLAUSE VARCHAR2(2000), STATUS VARCHAR2(8), DESCRIPTION VARCHAR2(2000), "
     "TRIGGER_BODY LONG",
     "SELECT trigger_name, trigger_type, triggering_event, table_owner, table_name, "
     "referencing_names, when_clause, status, description, trigger_body FROM ora_triggers "
     "WHERE owner = ora_user()"},
    {"ALL_DEPENDENCIES",
     "OWNER VARCHAR2(30) N, NAME VARCHAR2(30) N, TYPE VARCHAR2(12), REFERENCED_OWNER "
     "VARCHAR2(30), REFERENCED_NAME VARCHAR2(64), REFERENCED_TYPE VARCHAR2(12), "
     "REFERENCED_LINK_NAME VARCHAR2(128), DEPENDENCY_TYPE VARCHAR2(4)",
     "SELECT owner, name, type, referenced_owner, referenced_name, referenced_type, "
     "referenced_link_name, dependency_type FROM ora_dependencies"},
    {"USER_DEPENDENCIES",
     "NAME VARCHAR2(30) N, TYPE VARCHAR2(12), REFERENCED_OWNER VARCHAR2(30), REFERENCED_NAME "
     "VARCHAR2(64), REFERENCED_TYPE VARCHAR2(12), REFERENCED_LINK_NAME VARCHAR2(128), "
     "DEPENDENCY_TYPE VARCHAR2(4)",
     "SELECT name, type, referenced_owner, referenced_name, referenced_type, "
     "referenced_link_name, dependency_type FROM ora_dependencies WHERE owner = ora_user()"},
    {"ALL_TABLES",
     "OWNER VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, TABLESPACE_NAME VARCHAR2(30), "
     "CLUSTER_NAME VARCHAR2(30), NUM_ROWS NUMBER, " TEMP_COLS,
     "SELECT o.owner, object_name, " TEMP_SEL " object_type = 'TABLE'"},
    {"USER_TABLES",
     "TABLE_NAME VARCHAR2(30) N, TABLESPACE_NAME VARCHAR2(30), CLUSTER_NAME VARCHAR2(30), "
     "NUM_ROWS NUMBER, " TEMP_COLS,
     "SELECT object_name, " TEMP_SEL " object_type = 'TABLE' AND o.owner = ora_user()"},
    {"ALL_TAB_COLUMNS", "OWNER VARCHAR2(30) N, " COLUMN_COLS,
     "SELECT owner, " COLUMN_SEL " FROM ora_tab_columns"},
    {"USER_TAB_COLUMNS", COLUMN_COLS,
     "SELECT " COLUMN_SEL " FROM ora_tab_columns WHERE owner = ora_user()"},
    // The same columns under the names later releases give them (no hidden columns here).
    {"ALL_TAB_COLS", "OWNER VARCHAR2(30) N, " COLUMN_COLS ", " IDENTITY_COLS,
     "SELECT owner, " COLUMN_SEL ", " IDENTITY_SEL " FROM ora_tab_columns"},
    {"USER_TAB_COLS", COLUMN_COLS ", " IDENTITY_COLS,
     "SELECT " COLUMN_SEL ", " IDENTITY_SEL " FROM ora_tab_columns WHERE owner = ora_user()"},
    {"ALL_VIEWS", "OWNER VARCHAR2(30) N, VIEW_NAME VARCHAR2(30) N, TEXT_LENGTH NUMBER, TEXT LONG",
     "SELECT owner, view_name, length(text), text FROM ora_views"},
    {"USER_VIEWS", "VIEW_NAME VARCHAR2(30) N, TEXT_LENGTH NUMBER, TEXT LONG",
     "SELECT view_name, length(text), text FROM ora_views WHERE owner = ora_user()"},
    {"ALL_SEQUENCES",
     "SEQUENCE_OWNER VARCHAR2(30) N, SEQUENCE_NAME VARCHAR2(30) N, MIN_VALUE NUMBER, "
     "MAX_VALUE NUMBER, INCREMENT_BY NUMBER N, CYCLE_FLAG VARCHAR2(1), ORDER_FLAG VARCHAR2(1), "
     "CACHE_SIZE NUMBER N, LAST_NUMBER NUMBER N",
     "SELECT sequence_owner, sequence_name, min_value, max_value, increment_by, cycle_flag, "
     "order_flag, cache_size, last_number FROM ora_sequences"},
    {"USER_SEQUENCES",
     "SEQUENCE_NAME VARCHAR2(30) N, MIN_VALUE NUMBER, MAX_VALUE NUMBER, INCREMENT_BY NUMBER N, "
     "CYCLE_FLAG VARCHAR2(1), ORDER_FLAG VARCHAR2(1), CACHE_SIZE NUMBER N, LAST_NUMBER NUMBER N",
     "SELECT sequence_name, min_value, max_value, increment_by, cycle_flag, order_flag, "
     "cache_size, last_number FROM ora_sequences WHERE sequence_owner = ora_user()"},
    {"ALL_USERS", "USERNAME VARCHAR2(30) N, USER_ID NUMBER N, CREATED DATE N",
     "SELECT username, user_id, created FROM ora_users"},
    {"USER_USERS",
     "USERNAME VARCHAR2(30) N, USER_ID NUMBER N, DEFAULT_TABLESPACE VARCHAR2(30) N, "
     "TEMPORARY_TABLESPACE VARCHAR2(30) N, CREATED DATE N",
     "SELECT username, user_id, 'USERS', 'TEMP', created FROM ora_users WHERE username = "
     "ora_user()"},
    {"ALL_CONSTRAINTS",
     "OWNER VARCHAR2(30) N, CONSTRAINT_NAME VARCHAR2(30) N, CONSTRAINT_TYPE VARCHAR2(1), "
     "TABLE_NAME VARCHAR2(30) N, SEARCH_CONDITION LONG, R_OWNER VARCHAR2(30), "
     "R_CONSTRAINT_NAME VARCHAR2(30), DELETE_RULE VARCHAR2(9), STATUS VARCHAR2(8)",
     "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, "
     "r_constraint_name, delete_rule, status FROM ora_constraints"},
    {"USER_CONSTRAINTS",
     "OWNER VARCHAR2(30) N, CONSTRAINT_NAME VARCHAR2(30) N, CONSTRAINT_TYPE VARCHAR2(1), "
     "TABLE_NAME VARCHAR2(30) N, SEARCH_CONDITION LONG, R_OWNER VARCHAR2(30), "
     "R_CONSTRAINT_NAME VARCHAR2(30), DELETE_RULE VARCHAR2(9), STATUS VARCHAR2(8)",
     "SELECT owner, constraint_name, constraint_type, table_name, search_condition, r_owner, "
     "r_constraint_name, delete_rule, status FROM ora_constraints WHERE owner = ora_user()"},
    {"ALL_CONS_COLUMNS",
     "OWNER VARCHAR2(30) N, CONSTRAINT_NAME VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, "
     "COLUMN_NAME VARCHAR2(30), POSITION NUMBER",
     "SELECT owner, constraint_name, table_name, column_name, position FROM ora_cons_columns"},
    {"USER_CONS_COLUMNS",
     "OWNER VARCHAR2(30) N, CONSTRAINT_NAME VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, "
     "COLUMN_NAME VARCHAR2(30), POSITION NUMBER",
     "SELECT owner, constraint_name, table_name, column_name, position FROM ora_cons_columns "
     "WHERE owner = ora_user()"},
    {"ALL_INDEXES",
     "OWNER VARCHAR2(30) N, INDEX_NAME VARCHAR2(30) N, TABLE_OWNER VARCHAR2(30) N, "
     "TABLE_NAME VARCHAR2(30) N, TABLE_TYPE VARCHAR2(11), UNIQUENESS VARCHAR2(9)",
     "SELECT owner, index_name, table_owner, table_name, 'TABLE', uniqueness FROM ora_indexes"},
    {"USER_INDEXES",
     "INDEX_NAME VARCHAR2(30) N, TABLE_OWNER VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, "
     "TABLE_TYPE VARCHAR2(11), UNIQUENESS VARCHAR2(9)",
     "SELECT index_name, table_owner, table_name, 'TABLE', uniqueness FROM ora_indexes WHERE "
     "owner = ora_user()"},
    {"ALL_IND_COLUMNS",
     "INDEX_OWNER VARCHAR2(30) N, INDEX_NAME VARCHAR2(30) N, TABLE_OWNER VARCHAR2(30) N, "
     "TABLE_NAME VARCHAR2(30) N, COLUMN_NAME VARCHAR2(30), COLUMN_POSITION NUMBER N",
     "SELECT index_owner, index_name, table_owner, table_name, column_name, column_position "
     "FROM ora_ind_columns"},
    {"USER_IND_COLUMNS",
     "INDEX_NAME VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, COLUMN_NAME VARCHAR2(30), "
     "COLUMN_POSITION NUMBER N",
     "SELECT index_name, table_name, column_name, column_position FROM ora_ind_columns WHERE "
     "index_owner = ora_user()"},
    {"ALL_SYNONYMS",
     "OWNER VARCHAR2(30) N, SYNONYM_NAME VARCHAR2(30) N, TABLE_OWNER VARCHAR2(30), "
     "TABLE_NAME VARCHAR2(30) N, DB_LINK VARCHAR2(128)",
     "SELECT owner, synonym_name, table_owner, table_name, db_link FROM ora_synonyms"},
    {"USER_SYNONYMS",
     "SYNONYM_NAME VARCHAR2(30) N, TABLE_OWNER VARCHAR2(30), TABLE_NAME VARCHAR2(30) N, "
     "DB_LINK VARCHAR2(128)",
     "SELECT synonym_name, table_owner, table_name, db_link FROM ora_synonyms WHERE owner = "
     "ora_user()"},
    {"ALL_TAB_COMMENTS",
     "OWNER VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, TABLE_TYPE VARCHAR2(11), "
     "COMMENTS VARCHAR2(2000)",
     "SELECT o.owner, o.object_name, o.object_type, (SELECT c.comments FROM ora_comments c WHERE "
     "c.owner = o.owner AND c.table_name = o.object_name AND c.column_name IS NULL) FROM "
     "ora_objects o WHERE o.object_type IN ('TABLE', 'VIEW')"},
    {"USER_TAB_COMMENTS",
     "TABLE_NAME VARCHAR2(30) N, TABLE_TYPE VARCHAR2(11), COMMENTS VARCHAR2(2000)",
     "SELECT o.object_name, o.object_type, (SELECT c.comments FROM ora_comments c WHERE c.owner "
     "= o.owner AND c.table_name = o.object_name AND c.column_name IS NULL) FROM ora_objects o "
     "WHERE o.object_type IN ('TABLE', 'VIEW') AND o.owner = ora_user()"},
    {"ALL_COL_COMMENTS",
     "OWNER VARCHAR2(30) N, TABLE_NAME VARCHAR2(30) N, COLUMN_NAME VARCHAR2(30) N, "
     "COMMENTS VARCHAR2(2000)",
     "SELECT t.owner, t.table_name, t.column_name, (SELECT c.comments FROM ora_comments c WHERE "
     "c.owner = t.owner AND c.table_name = t.table_name AND c.column_name = t.column_name) FROM "
     "ora_tab_columns t"},
    {"USER_COL_COMMENTS",
     "TABLE_NAME VARCHAR2(30) N, COLUMN_NAME VARCHAR2(30) N, COMMENTS VARCHAR2(2000)",
     "SELECT t.table_name, t.column_name, (SELECT c.comments FROM ora_comments c WHERE c.owner = "
     "t.owner AND c.table_name = t.table_name AND c.column_name = t.column_name) FROM "
     "ora_tab_columns t WHERE t.owner = ora_user()"},
    {"ALL_TAB_PRIVS",
     "GRANTOR VARCHAR2(30), GRANTEE VARCHAR2(30) N, TABLE_SCHEMA VARCHAR2(30), "
     "TABLE_NAME VARCHAR2(30), PRIVILEGE VARCHAR2(40) N, GRANTABLE VARCHAR2(3)",
     "SELECT grantor, grantee, owner, object_name, privilege, grantable FROM ora_privs WHERE "
     "object_name IS NOT NULL"},
    {"USER_TAB_PRIVS",
     "GRANTEE VARCHAR2(30) N, OWNER VARCHAR2(30), TABLE_NAME VARCHAR2(30), GRANTOR "
     "VARCHAR2(30), PRIVILEGE VARCHAR2(40) N, GRANTABLE VARCHAR2(3)",
     "SELECT grantee, owner, object_name, grantor, privilege, grantable FROM ora_privs WHERE "
     "object_name IS NOT NULL AND (grantee = ora_user() OR owner = ora_user() OR grantor = "
     "ora_user())"},
    {"USER_SYS_PRIVS", "USERNAME VARCHAR2(30), PRIVILEGE VARCHAR2(40) N, ADMIN_OPTION VARCHAR2(3)",
     "SELECT grantee, privilege, grantable FROM ora_privs WHERE object_name IS NULL AND grantee "
     "= ora_user()"},
    // The session: its privileges (a role's as Oracle 7 grants them), roles, NLS settings.
    {"SESSION_ROLES", "ROLE VARCHAR2(30) N",
     "SELECT privilege FROM ora_privs WHERE object_name IS NULL AND grantee = ora_user() AND "
     "privilege IN ('CONNECT', 'RESOURCE', 'DBA')"},
    {"SESSION_PRIVS", "PRIVILEGE VARCHAR2(40) N",
     "SELECT privilege FROM ora_privs WHERE object_name IS NULL AND grantee IN (ora_user(), "
     "'PUBLIC') AND privilege NOT IN ('CONNECT', 'RESOURCE', 'DBA') UNION SELECT p FROM (SELECT "
     "'CONNECT' r, 'CREATE SESSION' p UNION ALL SELECT 'CONNECT', 'ALTER SESSION' UNION ALL "
     "SELECT 'CONNECT', 'CREATE TABLE' UNION ALL SELECT 'CONNECT', 'CREATE VIEW' UNION ALL "
     "SELECT 'CONNECT', 'CREATE SYNONYM' UNION ALL SELECT 'CONNECT', 'CREATE SEQUENCE' UNION ALL "
     "SELECT 'RESOURCE', 'CREATE TABLE' UNION ALL SELECT 'RESOURCE', 'CREATE SEQUENCE' UNION "
     "ALL SELECT 'RESOURCE', 'CREATE PROCEDURE' UNION ALL SELECT 'RESOURCE', 'CREATE TRIGGER') "
     "WHERE r IN (SELECT privilege FROM ora_privs WHERE object_name IS NULL AND grantee = "
     "ora_user()) OR EXISTS (SELECT 1 FROM ora_privs WHERE object_name IS NULL AND grantee = "
     "ora_user() AND privilege = 'DBA')"},
    {"NLS_SESSION_PARAMETERS", "PARAMETER VARCHAR2(30), VALUE VARCHAR2(64)",
     "SELECT 'NLS_LANGUAGE', 'AMERICAN' UNION ALL SELECT 'NLS_TERRITORY', 'AMERICA' UNION ALL "
     "SELECT 'NLS_DATE_FORMAT', ora_date_format() UNION ALL SELECT 'NLS_DATE_LANGUAGE', "
     "'AMERICAN' UNION ALL SELECT 'NLS_NUMERIC_CHARACTERS', '.,' UNION ALL SELECT 'NLS_SORT', "
     "'BINARY' UNION ALL SELECT 'NLS_TIMESTAMP_FORMAT', ora_timestamp_format(0) UNION ALL SELECT "
     "'NLS_TIMESTAMP_TZ_FORMAT', ora_timestamp_format(1)"},
    {"V$VERSION", "BANNER VARCHAR2(80)",
     "SELECT 'Tessaly local server, language level ' || coalesce((SELECT value FROM ora_meta "
     "WHERE key = 'compatible'), '19.0.0') UNION ALL SELECT 'SQLite ' || sqlite_version()"},
    {"V$SESSION", "SID NUMBER, USERNAME VARCHAR2(30), STATUS VARCHAR2(8), PROGRAM VARCHAR2(48)",
     "SELECT 1, ora_user(), 'ACTIVE', 'Tessaly'"},
    // Schema-level types: what their last compile found in the specification.
    {"ALL_TYPES",
     "OWNER VARCHAR2(30), TYPE_NAME VARCHAR2(30) N, TYPECODE VARCHAR2(30), ATTRIBUTES NUMBER, "
     "METHODS NUMBER, PREDEFINED VARCHAR2(3), INCOMPLETE VARCHAR2(3), FINAL VARCHAR2(3), "
     "INSTANTIABLE VARCHAR2(3)",
     "SELECT owner, type_name, typecode, attributes, methods, 'NO', 'NO', final, instantiable "
     "FROM ora_types"},
    {"USER_TYPES",
     "TYPE_NAME VARCHAR2(30) N, TYPECODE VARCHAR2(30), ATTRIBUTES NUMBER, METHODS NUMBER, "
     "PREDEFINED VARCHAR2(3), INCOMPLETE VARCHAR2(3), FINAL VARCHAR2(3), INSTANTIABLE "
     "VARCHAR2(3)",
     "SELECT type_name, typecode, attributes, methods, 'NO', 'NO', final, instantiable FROM "
     "ora_types WHERE owner = ora_user()"},
    {"ALL_TYPE_ATTRS",
     "OWNER VARCHAR2(30), TYPE_NAME VARCHAR2(30) N, ATTR_NAME VARCHAR2(30) N, ATTR_TYPE_NAME "
     "VARCHAR2(30), LENGTH NUMBER, PRECISION NUMBER, SCALE NUMBER, ATTR_NO NUMBER N",
     "SELECT owner, type_name, attr_name, attr_type_name, length, precision, scale, attr_no "
     "FROM ora_type_attrs"},
    {"USER_TYPE_ATTRS",
     "TYPE_NAME VARCHAR2(30) N, ATTR_NAME VARCHAR2(30) N, ATTR_TYPE_NAME VARCHAR2(30), LENGTH "
     "NUMBER, PRECISION NUMBER, SCALE NUMBER, ATTR_NO NUMBER N",
     "SELECT type_name, attr_name, attr_type_name, length, precision, scale, attr_no FROM "
     "ora_type_attrs WHERE owner = ora_user()"},
    {"ALL_PROCEDURES",
     "OWNER VARCHAR2(30) N, OBJECT_NAME VARCHAR2(30) N, PROCEDURE_NAME VARCHAR2(30), "
     "OBJECT_TYPE VARCHAR2(13), OVERLOAD VARCHAR2(40)",
     "SELECT owner, object_name, NULL, object_type, NULL FROM ora_objects WHERE object_type IN "
     "('PROCEDURE', 'FUNCTION', 'PACKAGE', 'TRIGGER') UNION ALL " PACKAGE_MEMBERS_SEL},
    {"USER_PROCEDURES",
     "OBJECT_NAME VARCHAR2(30) N, PROCEDURE_NAME VARCHAR2(30), OBJECT_TYPE VARCHAR2(13), "
     "OVERLOAD VARCHAR2(40)",
     "SELECT object_name, procedure_name, object_type, overload FROM (SELECT owner, object_name, "
     "NULL AS procedure_name, object_type, NULL AS overload FROM ora_objects WHERE object_type "
     "IN ('PROCEDURE', 'FUNCTION', 'PACKAGE', 'TRIGGER') UNION ALL " PACKAGE_MEMBERS_SEL
     ") WHERE owner = ora_user()"},
    {"ALL_ARGUMENTS", "OWNER VARCHAR2(30) N, " ARGUMENT_COLS, "SELECT a.owner, " ARGUMENT_SEL},
    {"USER_ARGUMENTS", ARGUMENT_COLS, "SELECT " ARGUMENT_SEL " WHERE a.owner = ora_user()"},
    {"TAB", "TNAME VARCHAR2(30) N, TABTYPE VARCHAR2(7), CLUSTERID NUMBER",
     "SELECT object_name, object_type, NULL FROM ora_objects WHERE owner = ora_user() AND "
     "object_type IN ('TABLE', 'VIEW', 'SYNONYM')"},
    {"CAT", "TABLE_NAME VARCHAR2(30) N, TABLE_TYPE VARCHAR2(11)",
     "SELECT object_name, object_type FROM ora_objects WHERE owner = ora_user() AND object_type "
     "IN ('TABLE', 'VIEW', 'SYNONYM', 'SEQUENCE')"},
};

// Parses "NAME TYPE(n) N" column descriptions of the dictionary table above.
std::vector<ColumnInfo> parseColumns(const std::string &list) {
  std::vector<ColumnInfo> out;
  size_t i = 0;
  while (i < list.size()) {
    size_t end = list.find(',', i);
    // A comma inside "(p,s)" does not occur in the table above.
    if (end == std::string::npos)
      end = list.size();
    std::string part = list.substr(i, end - i);
    i = end + 1;
    while (!part.empty() && part.front() == ' ')
      part.erase(0, 1);
    ColumnInfo c;
    size_t sp = part.find(' ');
    c.name = part.substr(0, sp);
    std::string rest = part.substr(sp + 1);
    if (rest.size() >= 2 && rest.compare(rest.size() - 2, 2, " N") == 0) {
      c.nullable = false;
      rest.erase(rest.size() - 2);
    }
    size_t lp = rest.find('(');
    std::string tn = rest.substr(0, lp);
    c.type = *typeFromName(tn);
    if (lp != std::string::npos)
      c.length = std::atoi(rest.c_str() + lp + 1);
    if (c.type == SqlType::Number)
      c.length = 22;
    if (c.type == SqlType::Date)
      c.length = 7;
    out.push_back(c);
  }
  return out;
}

} // namespace

std::string declaredType(SqlType t) {
  switch (t) {
  case SqlType::Number:
    return "NUMERIC";
  case SqlType::Raw:
  case SqlType::LongRaw:
  case SqlType::Blob:
    return "BLOB";
  case SqlType::IntervalYM:
  case SqlType::IntervalDS:
    return "INTEGER"; // months, nanoseconds
  default:
    return "TEXT";
  }
}

void insertColumns(sqlite3 *db, const std::string &owner, const std::string &table,
                   const std::vector<ColumnInfo> &cols) {
  execSql(db, "DELETE FROM ora_tab_columns WHERE owner = " + quoteText(owner) +
                  " AND table_name = " + quoteText(table));
  int id = 1;
  for (const ColumnInfo &c : cols) {
    char buf[64];
    std::string sql =
        "INSERT INTO ora_tab_columns(owner, table_name, column_id, column_name, "
        "data_type, data_length, data_precision, data_scale, nullable, "
        "data_default, generated) VALUES(" +
        quoteText(owner) + "," + quoteText(table) + "," + std::to_string(id++) + "," +
        quoteText(c.name) + "," +
        quoteText(isTimestampType(c.type) || isIntervalType(c.type) ? typeText(c) : typeName(c)) +
        "," + std::to_string(c.length) + ",";
    std::snprintf(buf, sizeof buf, "%s,%s,'%s',",
                  c.precision >= 0 ? std::to_string(c.precision).c_str() : "NULL",
                  c.scale != kNoScale ? std::to_string(c.scale).c_str() : "NULL",
                  c.nullable ? "Y" : "N");
    execSql(db, sql + buf + (c.defaultText.empty() ? "NULL" : quoteText(c.defaultText)) + "," +
                    (c.generated.empty() ? "NULL" : quoteText(c.generated)) + ")");
  }
}

namespace {

// The rows of an ALL_* view a user sees: what it owns or has a privilege on (everything for a
// DBA). Each ALL_* view is its DBA_* view (all rows, for the DBA only) filtered by this.
std::string allViewFilter(const std::string &view) {
  static const std::map<std::string, std::pair<const char *, const char *>> kObjectColumns = {
      {"ALL_OBJECTS", {"OWNER", "OBJECT_NAME"}},
      {"ALL_TABLES", {"OWNER", "TABLE_NAME"}},
      {"ALL_TAB_COLUMNS", {"OWNER", "TABLE_NAME"}},
      {"ALL_TAB_COLS", {"OWNER", "TABLE_NAME"}},
      {"ALL_PROCEDURES", {"OWNER", "OBJECT_NAME"}},
      {"ALL_TYPES", {"OWNER", "TYPE_NAME"}},
      {"ALL_TYPE_ATTRS", {"OWNER", "TYPE_NAME"}},
      {"ALL_VIEWS", {"OWNER", "VIEW_NAME"}},
      {"ALL_SEQUENCES", {"SEQUENCE_OWNER", "SEQUENCE_NAME"}},
      {"ALL_CONSTRAINTS", {"OWNER", "TABLE_NAME"}},
      {"ALL_CONS_COLUMNS", {"OWNER", "TABLE_NAME"}},
      {"ALL_INDEXES", {"TABLE_OWNER", "TABLE_NAME"}},
      {"ALL_IND_COLUMNS", {"TABLE_OWNER", "TABLE_NAME"}},
      {"ALL_TAB_COMMENTS", {"OWNER", "TABLE_NAME"}},
      {"ALL_COL_COMMENTS", {"OWNER", "TABLE_NAME"}},
  };
  auto it = kObjectColumns.find(view);
  if (it != kObjectColumns.end()) {
    // The view's columns are qualified (v.): the catalog tables in the condition share names.
    std::string cond =
        visibleCondition("v." + quoteIdent(it->second.first), "v." + quoteIdent(it->second.second));
    // A trigger or an index is no object to grant: a grant on another object of its name says
    // nothing about it.
    if (view == "ALL_OBJECTS")
      cond = "((v.\"OBJECT_TYPE\" NOT IN ('TRIGGER', 'INDEX') AND " + cond +
             ") OR (v.\"OBJECT_TYPE\" = 'TRIGGER' AND EXISTS (SELECT 1 FROM ora_triggers t "
             "WHERE t.owner = v.\"OWNER\" AND t.trigger_name = v.\"OBJECT_NAME\" AND " +
             triggerVisibleCondition("t.owner", "t.table_owner") +
             ")) OR v.\"OWNER\" = ora_user() OR " + dbaCondition() + ")";
    return cond;
  }
  if (view == "ALL_ARGUMENTS")
    return visibleCondition("v.\"OWNER\"", "coalesce(v.\"PACKAGE_NAME\", v.\"OBJECT_NAME\")");
  if (view == "ALL_SOURCE" || view == "ALL_ERRORS" || view == "ALL_DEPENDENCIES")
    return unitVisibleCondition("v.\"OWNER\"", "v.\"NAME\"", "v.\"TYPE\"");
  if (view == "ALL_TRIGGERS")
    return triggerVisibleCondition("v.\"OWNER\"", "v.\"TABLE_OWNER\"");
  if (view == "ALL_SYNONYMS")
    return "(v.\"OWNER\" IN (ora_user(), 'PUBLIC') OR " +
           visibleCondition("v.\"TABLE_OWNER\"", "v.\"TABLE_NAME\"") + ")";
  if (view == "ALL_TAB_PRIVS")
    return "(v.\"GRANTEE\" IN (ora_user(), 'PUBLIC') OR v.\"GRANTOR\" = ora_user() OR "
           "v.\"TABLE_SCHEMA\" = ora_user() OR " +
           dbaCondition() + ")";
  return "";
}

// A catalog column later versions added, for a file made before them.
void addMissingColumn(sqlite3 *db, const char *table, const char *column, const char *decl) {
  sqlite3_stmt *probe = nullptr;
  bool missing =
      sqlite3_prepare_v2(db, (std::string("SELECT ") + column + " FROM " + table).c_str(), -1,
                         &probe, nullptr) != SQLITE_OK;
  sqlite3_finalize(probe);
  if (missing)
    execSql(db, std::string("ALTER TABLE ") + table + " ADD COLUMN " + column + " " + decl);
}

void createDictionary(sqlite3 *db) {
  ensurePrivilegeTables(db);
  // What each stored PL/SQL unit references (files from before PL/SQL lack the table).
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_dependencies(owner TEXT NOT NULL, name TEXT NOT "
              "NULL, type TEXT NOT NULL, referenced_owner TEXT, referenced_name TEXT, "
              "referenced_type TEXT, referenced_link_name TEXT, dependency_type TEXT)");
  // The catalog serial of each object's last change (files from before it lack the column):
  // a logon's compiled unit is current while its object's row is unchanged.
  addMissingColumn(db, "ora_objects", "ddl_serial", "INTEGER NOT NULL DEFAULT 0");
  // How a column's default applies (identity columns, DEFAULT ON NULL).
  addMissingColumn(db, "ora_tab_columns", "generated", "TEXT");
  // The arguments of stored procedures, functions and package subprograms (*_ARGUMENTS).
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_arguments(owner TEXT NOT NULL, unit_name TEXT NOT "
              "NULL, unit_type TEXT NOT NULL, package_name TEXT, object_name TEXT NOT NULL, "
              "overload INTEGER, argument_name TEXT, position INTEGER, sequence INTEGER, "
              "data_level INTEGER, data_type TEXT, defaulted TEXT, in_out TEXT, data_length "
              "INTEGER, data_precision INTEGER, data_scale INTEGER, radix INTEGER)");
  ensureTypeTables(db);
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_temp_tables(owner TEXT NOT NULL, table_name TEXT "
              "NOT NULL, duration TEXT NOT NULL, sql TEXT, PRIMARY KEY(owner, table_name))");
  std::string now = quoteText(nowText());
  auto addView = [&](const std::string &name, const std::vector<ColumnInfo> &cols,
                     const char *query) {
    std::string phys = physicalName("SYS", name);
    if (query) {
      // (DUAL is a table, kept as it is when a newer dictionary replaces the views.)
      execSql(db, "DROP VIEW IF EXISTS " + phys);
      std::string names;
      for (const ColumnInfo &c : cols)
        names += (names.empty() ? "" : ",") + quoteIdent(c.name);
      execSql(db, "CREATE VIEW " + phys + "(" + names + ") AS " + query);
    } else {
      execSql(db, "CREATE TABLE IF NOT EXISTS " + phys + "(\"DUMMY\" TEXT)");
      execSql(db, "DELETE FROM " + phys);
      execSql(db, "INSERT INTO " + phys + " VALUES('X')");
    }
    std::string type = query ? "'VIEW'" : "'TABLE'";
    execSql(db, "DELETE FROM ora_objects WHERE owner = 'SYS' AND object_name = " + quoteText(name));
    execSql(db, "INSERT INTO ora_objects(owner, object_name, object_type, status, created, "
                "last_ddl_time) VALUES('SYS'," +
                    quoteText(name) + "," + type + ",'VALID'," + now + "," + now + ")");
    insertColumns(db, "SYS", name, cols);
    execSql(db, "INSERT OR REPLACE INTO ora_synonyms VALUES('PUBLIC'," + quoteText(name) +
                    ",'SYS'," + quoteText(name) + ",NULL)");
  };
  for (const DictView &v : kViews) {
    std::vector<ColumnInfo> cols = parseColumns(v.columns);
    std::string name = v.name;
    if (name.compare(0, 4, "ALL_") == 0 && v.query) {
      std::string dba = "DBA_" + name.substr(4);
      addView(dba, cols, v.query);
      std::string filter = allViewFilter(name);
      std::string query = "SELECT * FROM " + physicalName("SYS", dba) + " AS v" +
                          (filter.empty() ? "" : " WHERE " + filter);
      addView(name, cols, query.c_str());
    } else {
      addView(name, cols, v.query);
    }
  }
  execSql(db, "INSERT OR REPLACE INTO ora_meta VALUES('dictionary', '" +
                  std::to_string(kDictionaryVersion) + "')");
}

} // namespace

void execSql(sqlite3 *db, const std::string &sql) {
  char *err = nullptr;
  int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
  if (rc != SQLITE_OK) {
    std::string m = err ? err : sqlite3_errstr(rc);
    sqlite3_free(err);
    throw sqliteFailure(rc, m);
  }
}

long catalogSerial(sqlite3 *db) {
  sqlite3_stmt *q = keptStatement(db, "SELECT value FROM ora_meta WHERE key = 'catalog_serial'");
  KeptReset done{q};
  return sqlite3_step(q) == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(q, 0)) : 0;
}

std::string compatibleLevel(sqlite3 *db) {
  sqlite3_stmt *q = keptStatement(db, "SELECT value FROM ora_meta WHERE key = 'compatible'");
  KeptReset done{q};
  if (sqlite3_step(q) == SQLITE_ROW)
    if (const unsigned char *t = sqlite3_column_text(q, 0))
      return reinterpret_cast<const char *>(t);
  return kDefaultCompatible;
}

void setCompatibleLevel(sqlite3 *db, const std::string &value) {
  execSql(db, "INSERT INTO ora_meta VALUES('compatible', " + quoteText(value) +
                  ") ON CONFLICT(key) DO UPDATE SET value = excluded.value");
}

bool isModernLevel(const std::string &level) {
  return !level.empty() && std::isdigit(static_cast<unsigned char>(level[0])) &&
         std::atoi(level.c_str()) > 7;
}

long bumpCatalogSerial(sqlite3 *db) {
  execSql(db, "INSERT INTO ora_meta VALUES('catalog_serial', 1) ON CONFLICT(key) DO UPDATE SET "
              "value = value + 1");
  return catalogSerial(db);
}

bool followSynonym(sqlite3 *db, std::string &owner, std::string &name, bool qualified) {
  bool followed = false;
  for (int hop = 0; hop < 16; ++hop) {
    sqlite3_stmt *q = keptStatement(
        db, "SELECT table_owner, table_name FROM ora_synonyms WHERE synonym_name = ?2 AND "
            "(owner = ?1 OR (owner = 'PUBLIC' AND ?3 = 0)) ORDER BY owner = 'PUBLIC' LIMIT 1");
    KeptReset done{q};
    sqlite3_bind_text(q, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(q, 2, name.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(q, 3, qualified ? 1 : 0);
    if (sqlite3_step(q) != SQLITE_ROW)
      return followed;
    owner = reinterpret_cast<const char *>(sqlite3_column_text(q, 0));
    name = reinterpret_cast<const char *>(sqlite3_column_text(q, 1));
    followed = true;
    qualified = true; // what a synonym names is always schema and name
  }
  throw oraError(1775);
}

std::string typeName(SqlType t) {
  switch (t) {
  case SqlType::Varchar2:
    return "VARCHAR2";
  case SqlType::Number:
    return "NUMBER";
  case SqlType::Long:
    return "LONG";
  case SqlType::Rowid:
    return "ROWID";
  case SqlType::Date:
    return "DATE";
  case SqlType::Raw:
    return "RAW";
  case SqlType::LongRaw:
    return "LONG RAW";
  case SqlType::Char:
    return "CHAR";
  case SqlType::Clob:
    return "CLOB";
  case SqlType::Blob:
    return "BLOB";
  case SqlType::Timestamp:
    return "TIMESTAMP";
  case SqlType::TimestampTz:
    return "TIMESTAMP WITH TIME ZONE";
  case SqlType::TimestampLtz:
    return "TIMESTAMP WITH LOCAL TIME ZONE";
  case SqlType::IntervalYM:
    return "INTERVAL YEAR TO MONTH";
  case SqlType::IntervalDS:
    return "INTERVAL DAY TO SECOND";
  default:
    return "UNDEFINED";
  }
}

std::string typeName(const ColumnInfo &c) {
  return c.national && c.type == SqlType::Clob ? "NCLOB" : typeName(c.type);
}

std::optional<SqlType> typeFromName(const std::string &n) {
  static const std::map<std::string, SqlType> m = {
      {"VARCHAR2", SqlType::Varchar2},
      {"NUMBER", SqlType::Number},
      {"LONG", SqlType::Long},
      {"ROWID", SqlType::Rowid},
      {"DATE", SqlType::Date},
      {"RAW", SqlType::Raw},
      {"LONG RAW", SqlType::LongRaw},
      {"CHAR", SqlType::Char},
      {"TIMESTAMP", SqlType::Timestamp},
      {"TIMESTAMP WITH TIME ZONE", SqlType::TimestampTz},
      {"TIMESTAMP WITH LOCAL TIME ZONE", SqlType::TimestampLtz},
      {"INTERVAL YEAR TO MONTH", SqlType::IntervalYM},
      {"INTERVAL DAY TO SECOND", SqlType::IntervalDS},
      {"CLOB", SqlType::Clob},
      {"NCLOB", SqlType::Clob},
      {"BLOB", SqlType::Blob}};
  // The catalog keeps a datetime column's type as Oracle shows it, "TIMESTAMP(6) WITH TIME
  // ZONE": the name is that text without its precisions.
  if (n.find('(') != std::string::npos &&
      (n.compare(0, 9, "TIMESTAMP") == 0 || n.compare(0, 8, "INTERVAL") == 0)) {
    std::string bare;
    for (size_t i = 0; i < n.size(); ++i) {
      if (n[i] == '(')
        i = n.find(')', i);
      else
        bare += n[i];
      if (i == std::string::npos)
        return std::nullopt;
    }
    return typeFromName(bare);
  }
  auto it = m.find(n);
  if (it == m.end())
    return std::nullopt;
  return it->second;
}

void fitDatetimeColumn(ColumnInfo &c) {
  if (!isTimestampType(c.type) && !isIntervalType(c.type))
    return;
  c.precision = isIntervalType(c.type) ? (c.precision < 0 ? 9 : c.precision) : -1;
  c.scale = c.type == SqlType::IntervalYM ? 0 : c.scale == kNoScale ? 9 : c.scale;
  c.length = c.type == SqlType::TimestampTz ? 13 : c.type == SqlType::IntervalYM ? 5 : 11;
}

std::string typeText(const ColumnInfo &c) {
  std::string t = typeName(c);
  switch (c.type) {
  case SqlType::Varchar2:
  case SqlType::Char:
  case SqlType::Raw:
    return t + "(" + std::to_string(c.length) + ")";
  case SqlType::Number:
    if (c.precision >= 0 && c.scale > 0)
      return t + "(" + std::to_string(c.precision) + "," + std::to_string(c.scale) + ")";
    if (c.precision >= 0)
      return t + "(" + std::to_string(c.precision) + ")";
    return t;
  case SqlType::Timestamp:
  case SqlType::TimestampTz:
  case SqlType::TimestampLtz:
    return "TIMESTAMP(" + std::to_string(c.scale) + ")" + t.substr(9);
  case SqlType::IntervalYM:
    return "INTERVAL YEAR(" + std::to_string(c.precision) + ") TO MONTH";
  case SqlType::IntervalDS:
    return "INTERVAL DAY(" + std::to_string(c.precision) + ") TO SECOND(" +
           std::to_string(c.scale) + ")";
  default:
    return t;
  }
}

int displaySize(const ColumnInfo &c) {
  switch (c.type) {
  case SqlType::Varchar2:
  case SqlType::Char:
    return c.length;
  case SqlType::Raw:
    return 2 * c.length;
  case SqlType::Number:
    if (c.precision > 0)
      return c.precision + 2 + (c.scale > c.precision ? c.scale - c.precision : 0) +
             (c.scale < 0 && c.scale != kNoScale ? -c.scale : 0);
    return 40;
  case SqlType::Date:
    return 9;
  case SqlType::Rowid:
    return 18;
  case SqlType::Clob:
  case SqlType::Blob:
    return 4000; // the locator's size, as the dictionary shows it
  case SqlType::Timestamp:
  case SqlType::TimestampLtz:
    return 20 + (c.scale > 0 ? c.scale + 1 : 0) + 3; // DD-MON-RR HH.MI.SSXFF AM
  case SqlType::TimestampTz:
    return 20 + (c.scale > 0 ? c.scale + 1 : 0) + 3 + 7;
  case SqlType::IntervalYM:
    return c.precision + 4;
  case SqlType::IntervalDS:
    return c.precision + 10 + (c.scale > 0 ? c.scale + 1 : 0);
  default:
    return 0; // LONG, LONG RAW: the caller's default size
  }
}

std::string quoteIdent(const std::string &name) {
  std::string s = "\"";
  for (char ch : name) {
    if (ch == '"')
      s += '"';
    if (ch == 0) { // SQLite reads SQL up to a NUL; every name passes here, so this stays consistent
      s += "\\0";
      continue;
    }
    s += ch;
  }
  return s + "\"";
}

std::string quoteText(const std::string &text) {
  if (text.find('\0') != std::string::npos) {
    // SQLite reads SQL text up to a NUL byte, so such a literal travels as hex.
    static const char *digits = "0123456789ABCDEF";
    std::string h = "CAST(X'";
    for (unsigned char c : text) {
      h += digits[c >> 4];
      h += digits[c & 15];
    }
    return h + "' AS TEXT)";
  }
  std::string s = "'";
  for (char ch : text) {
    if (ch == '\'')
      s += '\'';
    s += ch;
  }
  return s + "'";
}

std::string physicalName(const std::string &owner, const std::string &name) {
  return quoteIdent(owner + "." + name);
}

std::string nowText() {
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

void createCatalog(sqlite3 *db) {
  execSql(db, kCatalogTables);
  execSql(db, "INSERT INTO ora_meta VALUES('format', '1')");
  execSql(db, "INSERT INTO ora_meta VALUES('numbers', '2')");
  execSql(db, "INSERT INTO ora_meta VALUES('constraint_seq', '1000')");
  createDictionary(db);
}

namespace {

std::vector<std::vector<std::string>> textRows(sqlite3 *db, const std::string &sql,
                                               const std::string &arg = std::string()) {
  std::vector<std::vector<std::string>> rows;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
    throw oraErrorText(600, sqlite3_errmsg(db));
  if (!arg.empty())
    sqlite3_bind_text(st, 1, arg.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<std::string> r;
    for (int c = 0; c < sqlite3_column_count(st); ++c) {
      const char *t = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
      r.push_back(t ? t : "");
    }
    rows.push_back(std::move(r));
  }
  sqlite3_finalize(st);
  return rows;
}

// The doubles and texts of one column rewritten; the table's triggers (constraint checks and
// PL/SQL hooks, whose functions a bare connection lacks) are set aside meanwhile.
void convertColumn(sqlite3 *db, const std::string &table, const std::string &column) {
  std::string t = quoteIdent(table), c = quoteIdent(column);
  auto left =
      textRows(db, "SELECT count(*) FROM " + t + " WHERE typeof(" + c + ") IN ('real', 'text')");
  if (left.empty() || left[0][0] == "0")
    return;
  auto triggers = textRows(
      db, "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name = ?1", table);
  for (auto &tr : triggers)
    execSql(db, "DROP TRIGGER " + quoteIdent(tr[0]));
  sqlite3_stmt *q = nullptr, *u = nullptr;
  sqlite3_prepare_v2(
      db,
      ("SELECT rowid, " + c + " FROM " + t + " WHERE typeof(" + c + ") IN ('real', 'text')")
          .c_str(),
      -1, &q, nullptr);
  sqlite3_prepare_v2(db, ("UPDATE " + t + " SET " + c + " = ?1 WHERE rowid = ?2").c_str(), -1, &u,
                     nullptr);
  int rc = SQLITE_OK;
  while (q && u && sqlite3_step(q) == SQLITE_ROW) {
    auto n = columnNumber(q, 1);
    if (n)
      bindNumber(u, 1, *n);
    else
      sqlite3_bind_null(u, 1); // text that was never a number cannot have been stored here
    sqlite3_bind_int64(u, 2, sqlite3_column_int64(q, 0));
    rc = sqlite3_step(u);
    sqlite3_reset(u);
    if (rc != SQLITE_DONE)
      break;
  }
  sqlite3_finalize(q);
  sqlite3_finalize(u);
  if (rc != SQLITE_DONE && rc != SQLITE_OK)
    throw oraErrorText(600, sqlite3_errmsg(db));
  for (auto &tr : triggers)
    execSql(db, tr[1]);
}

} // namespace

void ensureNumberStorage(sqlite3 *db) {
  auto mark = textRows(db, "SELECT value FROM ora_meta WHERE key = 'numbers'");
  if (!mark.empty() && mark[0][0] == "2")
    return;
  execSql(db, "BEGIN IMMEDIATE");
  try {
    mark = textRows(db, "SELECT value FROM ora_meta WHERE key = 'numbers'");
    if (mark.empty() || mark[0][0] != "2") {
      auto cols = textRows(db, "SELECT c.owner, c.table_name, c.column_name FROM ora_tab_columns c "
                               "JOIN ora_objects o ON o.owner = c.owner AND o.object_name = "
                               "c.table_name AND o.object_type = 'TABLE' WHERE c.data_type = "
                               "'NUMBER'");
      for (auto &col : cols)
        convertColumn(db, col[0] + "." + col[1], col[2]);
      execSql(db, "INSERT OR REPLACE INTO ora_meta VALUES('numbers', '2')");
    }
    execSql(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

// Schema-level types' kind, attributes and methods as their last compile found them.
void ensureTypeTables(sqlite3 *db) {
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_types(owner TEXT NOT NULL, type_name TEXT NOT NULL, "
              "typecode TEXT, attributes INTEGER, methods INTEGER, final TEXT, instantiable TEXT, "
              "PRIMARY KEY(owner, type_name))");
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_type_attrs(owner TEXT NOT NULL, type_name TEXT NOT "
              "NULL, attr_name TEXT NOT NULL, attr_type_name TEXT, length INTEGER, precision "
              "INTEGER, scale INTEGER, attr_no INTEGER NOT NULL)");
}

void ensureDictionary(sqlite3 *db) {
  sqlite3_stmt *st = nullptr;
  int version = 0;
  if (sqlite3_prepare_v2(db, "SELECT value FROM ora_meta WHERE key = 'dictionary'", -1, &st,
                         nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    version = sqlite3_column_int(st, 0);
  sqlite3_finalize(st);
  if (version == kDictionaryVersion)
    return;
  execSql(db, "BEGIN IMMEDIATE");
  try {
    createDictionary(db);
    execSql(db, "COMMIT");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::string newConstraintName(sqlite3 *db) {
  execSql(db, "UPDATE ora_meta SET value = value + 1 WHERE key = 'constraint_seq'");
  sqlite3_stmt *st = nullptr;
  std::string name = "SYS_C000000";
  if (sqlite3_prepare_v2(db, "SELECT value FROM ora_meta WHERE key = 'constraint_seq'", -1, &st,
                         nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "SYS_C%06d", sqlite3_column_int(st, 0));
    name = buf;
  }
  sqlite3_finalize(st);
  return name;
}

namespace {

struct Cons {
  std::string owner, name, type, table, sqliteCond, rOwner, rName, deleteRule, status;
  std::vector<std::string> cols;
};

std::vector<std::string> rowsOf(sqlite3 *db, const std::string &sql, int ncol = 1) {
  std::vector<std::string> out;
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
    throw oraErrorText(3001, std::string("catalog: ") + sqlite3_errmsg(db));
  while (sqlite3_step(st) == SQLITE_ROW)
    for (int i = 0; i < ncol; ++i) {
      const unsigned char *t = sqlite3_column_text(st, i);
      out.push_back(t ? reinterpret_cast<const char *>(t) : "");
    }
  sqlite3_finalize(st);
  return out;
}

std::vector<Cons> loadConstraints(sqlite3 *db, const std::string &where) {
  std::vector<Cons> out;
  auto r = rowsOf(db,
                  "SELECT owner, constraint_name, constraint_type, table_name, "
                  "ifnull(sqlite_condition,''), ifnull(r_owner,''), ifnull(r_constraint_name,''), "
                  "ifnull(delete_rule,''), status FROM ora_constraints WHERE " +
                      where,
                  9);
  for (size_t i = 0; i + 8 < r.size(); i += 9) {
    Cons c{r[i],     r[i + 1], r[i + 2], r[i + 3], r[i + 4],
           r[i + 5], r[i + 6], r[i + 7], r[i + 8], {}};
    c.cols =
        rowsOf(db, "SELECT column_name FROM ora_cons_columns WHERE owner = " + quoteText(c.owner) +
                       " AND constraint_name = " + quoteText(c.name) + " ORDER BY position");
    out.push_back(c);
  }
  return out;
}

std::string raise(const std::string &message, const std::string &when) {
  return "SELECT RAISE(ABORT, " + quoteText(message) + ") WHERE " + when + ";\n";
}

// "NEW.a = p.x AND NEW.b = p.y" for a key pair.
std::string keyMatch(const std::string &rowRef, const std::vector<std::string> &rowCols,
                     const std::vector<std::string> &otherCols) {
  std::string s;
  for (size_t i = 0; i < rowCols.size() && i < otherCols.size(); ++i)
    s += (i ? " AND " : "") + quoteIdent(otherCols[i]) + " = " + rowRef + "." +
         quoteIdent(rowCols[i]);
  return s;
}

std::string anyNull(const std::string &rowRef, const std::vector<std::string> &cols, bool any) {
  std::string s;
  for (size_t i = 0; i < cols.size(); ++i)
    s += (i ? (any ? " OR " : " AND ") : "") + rowRef + "." + quoteIdent(cols[i]) +
         (any ? " IS NULL" : " IS NOT NULL");
  return "(" + s + ")";
}

TableTriggersRebuilt gTableTriggersRebuilt = nullptr;

void rebuildOne(sqlite3 *db, const std::string &owner, const std::string &table) {
  std::string phys = owner + "." + table;
  for (const char *kind : {"i", "u", "d"})
    execSql(db, "DROP TRIGGER IF EXISTS " + quoteIdent(std::string("ora$") + kind + "$" + phys));
  if (rowsOf(db, "SELECT 1 FROM ora_objects WHERE owner = " + quoteText(owner) +
                     " AND object_name = " + quoteText(table) + " AND object_type = 'TABLE'")
          .empty())
    return;
  auto notNull = rowsOf(
      db, "SELECT column_name FROM ora_tab_columns WHERE owner = " + quoteText(owner) +
              " AND table_name = " + quoteText(table) + " AND nullable = 'N' ORDER BY column_id");
  auto own =
      loadConstraints(db, "owner = " + quoteText(owner) + " AND table_name = " + quoteText(table) +
                              " AND status = 'ENABLED'");
  // Foreign keys elsewhere that reference a key of this table.
  auto children = loadConstraints(
      db, "constraint_type = 'R' AND status = 'ENABLED' AND r_owner = " + quoteText(owner) +
              " AND r_constraint_name IN (SELECT constraint_name FROM ora_constraints WHERE "
              "owner = " +
              quoteText(owner) + " AND table_name = " + quoteText(table) + ")");
  std::string ins, upd, del;
  for (const std::string &col : notNull) {
    std::string q = "\"" + owner + "\".\"" + table + "\".\"" + col + "\"";
    ins += raise("ORA-01400: cannot insert NULL into (" + q + ")",
                 "NEW." + quoteIdent(col) + " IS NULL");
    upd += raise("ORA-01407: cannot update (" + q + ") to NULL",
                 "NEW." + quoteIdent(col) + " IS NULL");
  }
  for (const Cons &c : own) {
    if (c.type == "C" && !c.sqliteCond.empty()) {
      std::string m = "ORA-02290: check constraint (" + c.owner + "." + c.name + ") violated";
      ins += raise(m, "NOT (" + c.sqliteCond + ")");
      upd += raise(m, "NOT (" + c.sqliteCond + ")");
    }
    if (c.type == "R") {
      auto parent = loadConstraints(db, "owner = " + quoteText(c.rOwner) +
                                            " AND constraint_name = " + quoteText(c.rName));
      if (parent.empty())
        continue;
      std::string m = "ORA-02291: integrity constraint (" + c.owner + "." + c.name +
                      ") violated - parent key not found";
      std::string when = anyNull("NEW", c.cols, false) + " AND NOT EXISTS (SELECT 1 FROM " +
                         physicalName(parent[0].owner, parent[0].table) + " WHERE " +
                         keyMatch("NEW", c.cols, parent[0].cols) + ")";
      ins += raise(m, when);
      upd += raise(m, when);
    }
  }
  for (const Cons &c : children) {
    auto parent = loadConstraints(db, "owner = " + quoteText(c.rOwner) +
                                          " AND constraint_name = " + quoteText(c.rName));
    if (parent.empty())
      continue;
    std::string child = physicalName(c.owner, c.table);
    std::string match = keyMatch("OLD", parent[0].cols, c.cols);
    std::string m = "ORA-02292: integrity constraint (" + c.owner + "." + c.name +
                    ") violated - child record found";
    std::string changed;
    for (const std::string &col : parent[0].cols)
      changed += (changed.empty() ? "" : " OR ") + std::string("OLD.") + quoteIdent(col) +
                 " IS NOT NEW." + quoteIdent(col);
    upd +=
        raise(m, "(" + changed + ") AND EXISTS (SELECT 1 FROM " + child + " WHERE " + match + ")");
    if (c.deleteRule == "CASCADE")
      del += "DELETE FROM " + child + " WHERE " + match + ";\n";
    else
      del += raise(m, "EXISTS (SELECT 1 FROM " + child + " WHERE " + match + ")");
  }
  std::string t = quoteIdent(phys);
  if (!ins.empty())
    execSql(db, "CREATE TRIGGER " + quoteIdent("ora$i$" + phys) + " BEFORE INSERT ON " + t +
                    " BEGIN\n" + ins + "END");
  if (!upd.empty())
    execSql(db, "CREATE TRIGGER " + quoteIdent("ora$u$" + phys) + " BEFORE UPDATE ON " + t +
                    " BEGIN\n" + upd + "END");
  if (!del.empty())
    execSql(db, "CREATE TRIGGER " + quoteIdent("ora$d$" + phys) + " BEFORE DELETE ON " + t +
                    " BEGIN\n" + del + "END");
  if (gTableTriggersRebuilt)
    gTableTriggersRebuilt(db, owner, table);
}

} // namespace

void setTableTriggersRebuilt(TableTriggersRebuilt callback) { gTableTriggersRebuilt = callback; }

void rebuildConstraintTriggers(sqlite3 *db, const std::string &owner, const std::string &table) {
  std::set<std::pair<std::string, std::string>> tables{{owner, table}};
  // Parents of this table's foreign keys and children of its keys.
  auto r = rowsOf(db,
                  "SELECT p.owner, p.table_name FROM ora_constraints c JOIN ora_constraints p ON "
                  "p.owner = c.r_owner AND p.constraint_name = c.r_constraint_name WHERE "
                  "c.constraint_type = 'R' AND c.owner = " +
                      quoteText(owner) + " AND c.table_name = " + quoteText(table) +
                      " UNION SELECT c.owner, c.table_name FROM ora_constraints c JOIN "
                      "ora_constraints p ON p.owner = c.r_owner AND p.constraint_name = "
                      "c.r_constraint_name WHERE c.constraint_type = 'R' AND p.owner = " +
                      quoteText(owner) + " AND p.table_name = " + quoteText(table),
                  2);
  for (size_t i = 0; i + 1 < r.size(); i += 2)
    tables.insert({r[i], r[i + 1]});
  for (const auto &[o, t] : tables)
    rebuildOne(db, o, t);
}

bool isTemporaryTable(sqlite3 *db, const std::string &owner, const std::string &name) {
  sqlite3_stmt *q =
      keptStatement(db, "SELECT 1 FROM ora_temp_tables WHERE owner = ?1 AND table_name = ?2");
  KeptReset done{q};
  sqlite3_bind_text(q, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(q, 2, name.c_str(), -1, SQLITE_TRANSIENT);
  return sqlite3_step(q) == SQLITE_ROW;
}

void saveTemporaryTable(sqlite3 *db, const std::string &owner, const std::string &name,
                        const std::string &duration) {
  // The TEMP schema's own texts, made to create TEMP objects again on another connection.
  std::string sql;
  for (const std::string &text : rowsOf(
           db,
           "SELECT sql FROM temp.sqlite_master WHERE tbl_name = " + quoteText(owner + "." + name) +
               " AND sql IS NOT NULL ORDER BY type <> 'table'",
           1)) {
    std::string t = text;
    for (const char *kind : {"CREATE TABLE ", "CREATE TRIGGER "})
      if (t.compare(0, strlen(kind), kind) == 0)
        t = std::string(kind).insert(7, "TEMP ") + t.substr(strlen(kind));
    for (const char *kind : {"CREATE INDEX ", "CREATE UNIQUE INDEX "})
      if (t.compare(0, strlen(kind), kind) == 0)
        t = kind + std::string("temp.") + t.substr(strlen(kind));
    sql += t + ";\n";
  }
  if (duration.empty())
    execSql(db, "UPDATE ora_temp_tables SET sql = " + quoteText(sql) +
                    " WHERE owner = " + quoteText(owner) + " AND table_name = " + quoteText(name));
  else
    execSql(db, "INSERT OR REPLACE INTO ora_temp_tables VALUES(" + quoteText(owner) + "," +
                    quoteText(name) + "," + quoteText(duration) + "," + quoteText(sql) + ")");
}

bool ensureTemporaryTable(sqlite3 *db, const std::string &physical) {
  std::string sql;
  {
    sqlite3_stmt *q =
        keptStatement(db, "SELECT sql FROM ora_temp_tables WHERE owner || '.' || table_name = ?1");
    KeptReset done{q};
    sqlite3_bind_text(q, 1, physical.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(q) != SQLITE_ROW)
      return false;
    const unsigned char *t = sqlite3_column_text(q, 0);
    sql = t ? reinterpret_cast<const char *>(t) : "";
  }
  sqlite3_stmt *has = keptStatement(db, "SELECT 1 FROM temp.sqlite_master WHERE name = ?1");
  KeptReset done{has};
  sqlite3_bind_text(has, 1, physical.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(has) != SQLITE_ROW)
    execSql(db, sql);
  return true;
}

void clearTransactionTables(sqlite3 *db) {
  std::vector<std::string> names;
  {
    sqlite3_stmt *q = keptStatement(
        db, "SELECT m.name FROM temp.sqlite_master m JOIN ora_temp_tables t ON t.owner || '.' || "
            "t.table_name = m.name WHERE m.type = 'table' AND t.duration = 'SYS$TRANSACTION'");
    KeptReset done{q};
    while (sqlite3_step(q) == SQLITE_ROW)
      names.push_back(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)));
  }
  for (const std::string &n : names)
    execSql(db, "DELETE FROM temp." + quoteIdent(n));
}

void addObject(sqlite3 *db, const std::string &owner, const std::string &name,
               const std::string &type) {
  std::string now = quoteText(nowText());
  execSql(db, "INSERT INTO ora_objects(owner, object_name, object_type, status, created, "
              "last_ddl_time) VALUES(" +
                  quoteText(owner) + "," + quoteText(name) + "," + quoteText(type) + ",'VALID'," +
                  now + "," + now + ")");
}

std::string columnDefinition(const ColumnInfo &c) {
  std::string d = quoteIdent(c.name) + " " + declaredType(c.type);
  // A virtual column is SQLite's: computed when read, so writes need none of our functions.
  if (c.generated == "VIRTUAL")
    d += " AS (" + c.generatedSql + ") VIRTUAL";
  return d;
}

void createTable(sqlite3 *db, const std::string &owner, const std::string &name,
                 const std::vector<ColumnInfo> &cols, bool temporary) {
  std::string sql =
      (temporary ? "CREATE TEMP TABLE " : "CREATE TABLE ") + physicalName(owner, name) + "(";
  for (size_t i = 0; i < cols.size(); ++i)
    sql += (i ? ", " : "") + columnDefinition(cols[i]);
  execSql(db, sql + ")");
  addObject(db, owner, name, "TABLE");
  insertColumns(db, owner, name, cols);
}

std::string keyIndexName(const std::string &owner, const std::string &index) {
  return quoteIdent("ix$" + owner + "." + index);
}

void createKeyIndex(sqlite3 *db, const ConstraintDef &c) {
  std::string cols;
  for (const std::string &col : c.columns)
    cols += (cols.empty() ? "" : ", ") + quoteIdent(col);
  execSql(db, "DROP INDEX IF EXISTS " + keyIndexName(c.owner, c.name));
  execSql(db, "DELETE FROM ora_ind_columns WHERE index_owner = " + quoteText(c.owner) +
                  " AND index_name = " + quoteText(c.name));
  execSql(db, "DELETE FROM ora_indexes WHERE owner = " + quoteText(c.owner) +
                  " AND index_name = " + quoteText(c.name));
  execSql(db, "DELETE FROM ora_objects WHERE owner = " + quoteText(c.owner) +
                  " AND object_name = " + quoteText(c.name) + " AND object_type = 'INDEX'");
  if (!c.enabled)
    return;
  int rc = sqlite3_exec(db,
                        ("CREATE UNIQUE INDEX " + keyIndexName(c.owner, c.name) + " ON " +
                         physicalName(c.owner, c.table) + "(" + cols + ")")
                            .c_str(),
                        nullptr, nullptr, nullptr);
  if ((rc & 0xff) == SQLITE_CONSTRAINT)
    throw oraErrorArg(2299, c.owner + "." + c.name);
  if (rc != SQLITE_OK)
    throw oraErrorText(3001, std::string("unimplemented feature (") + sqlite3_errmsg(db) + ")");
  execSql(db, "INSERT INTO ora_indexes VALUES(" + quoteText(c.owner) + "," + quoteText(c.name) +
                  "," + quoteText(c.owner) + "," + quoteText(c.table) + ",'UNIQUE'," +
                  quoteText(c.name) + ")");
  addObject(db, c.owner, c.name, "INDEX");
  for (size_t i = 0; i < c.columns.size(); ++i)
    execSql(db, "INSERT INTO ora_ind_columns VALUES(" + quoteText(c.owner) + "," +
                    quoteText(c.name) + "," + quoteText(c.owner) + "," + quoteText(c.table) + "," +
                    quoteText(c.columns[i]) + "," + std::to_string(i + 1) + ",'ASC')");
}

void addConstraint(sqlite3 *db, const ConstraintDef &c) {
  if (c.type == 'P' || c.type == 'U')
    for (const ColumnInfo &col : loadColumns(db, c.owner, c.table))
      if (isLob(col.type) &&
          std::find(c.columns.begin(), c.columns.end(), col.name) != c.columns.end())
        throw oraErrorArg(2329, "LOB");
  std::string type(1, c.type);
  std::string rule = c.type == 'R' ? (c.cascade ? "'CASCADE'" : "'NO ACTION'") : "NULL";
  execSql(db, "INSERT INTO ora_constraints VALUES(" + quoteText(c.owner) + "," + quoteText(c.name) +
                  "," + quoteText(type) + "," + quoteText(c.table) + "," +
                  (c.searchCondition.empty() ? "NULL" : quoteText(c.searchCondition)) + "," +
                  (c.sqliteCondition.empty() ? "NULL" : quoteText(c.sqliteCondition)) + "," +
                  (c.type == 'R' ? quoteText(c.rOwner) : "NULL") + "," +
                  (c.type == 'R' ? quoteText(c.rName) : "NULL") + "," + rule + "," +
                  (c.enabled ? "'ENABLED'" : "'DISABLED'") + "," +
                  (c.generatedName ? "'GENERATED NAME'" : "'USER NAME'") + ")");
  for (size_t i = 0; i < c.columns.size(); ++i)
    execSql(db, "INSERT INTO ora_cons_columns VALUES(" + quoteText(c.owner) + "," +
                    quoteText(c.name) + "," + quoteText(c.table) + "," + quoteText(c.columns[i]) +
                    "," + std::to_string(i + 1) + ")");
  if (c.type == 'P') // a primary key's columns are NOT NULL
    for (const std::string &col : c.columns)
      execSql(db, "UPDATE ora_tab_columns SET nullable = 'N' WHERE owner = " + quoteText(c.owner) +
                      " AND table_name = " + quoteText(c.table) +
                      " AND column_name = " + quoteText(col));
  if (c.type == 'P' || c.type == 'U')
    createKeyIndex(db, c);
  rebuildConstraintTriggers(db, c.owner, c.table);
}

std::vector<ColumnInfo> loadColumns(sqlite3 *db, const std::string &owner,
                                    const std::string &table) {
  std::vector<ColumnInfo> out;
  static const char *const kSql =
      "SELECT column_name, data_type, data_length, data_precision, data_scale, nullable, "
      "data_default, generated FROM ora_tab_columns WHERE owner = ?1 AND table_name = ?2 ORDER "
      "BY column_id";
  sqlite3_stmt *st = keptStatement(db, kSql);
  KeptReset done{st};
  sqlite3_bind_text(st, 1, owner.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, table.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(st) == SQLITE_ROW) {
    ColumnInfo c;
    c.name = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
    const char *dataType = reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
    c.type = typeFromName(dataType).value_or(SqlType::Varchar2);
    c.national = std::strcmp(dataType, "NCLOB") == 0;
    c.length = sqlite3_column_int(st, 2);
    c.precision = sqlite3_column_type(st, 3) == SQLITE_NULL ? -1 : sqlite3_column_int(st, 3);
    c.scale = sqlite3_column_type(st, 4) == SQLITE_NULL ? kNoScale : sqlite3_column_int(st, 4);
    c.nullable = sqlite3_column_text(st, 5)[0] != 'N';
    if (const unsigned char *d = sqlite3_column_text(st, 6))
      c.defaultText = reinterpret_cast<const char *>(d);
    if (const unsigned char *g = sqlite3_column_text(st, 7))
      c.generated = reinterpret_cast<const char *>(g);
    out.push_back(c);
  }
  return out;
}

} // namespace localdb
