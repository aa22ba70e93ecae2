// CREATE, DROP and ALTER of stored units: their source, errors, status, dependencies and
// trigger rows in the catalog.
#include "localdb/plsql/PlsqlDescribe.h"
#include "localdb/plsql/PlsqlUnitsShared.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/catalog/KeptStatements.h"
#include "localdb/catalog/Privileges.h"
#include "localdb/plsql/PlsqlBinder.h"
#include "localdb/plsql/PlsqlInterp.h"
#include "localdb/server/Session.h"
#include "localdb/sql/OraDate.h"
#include "localdb/sql/OraNumber.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlLexer.h"

namespace localdb::plsql::units {

// ---------------------------------------------------------------- DDL

UnitKind kindOfWord(const std::vector<Token> &t, size_t &i) {
  if (t[i].is("PROCEDURE"))
    return ++i, UnitKind::Procedure;
  if (t[i].is("FUNCTION"))
    return ++i, UnitKind::Function;
  if (t[i].is("TRIGGER"))
    return ++i, UnitKind::Trigger;
  if (t[i].is("TYPE")) {
    ++i;
    if (t[i].is("BODY"))
      return ++i, UnitKind::TypeBody;
    return UnitKind::Type;
  }
  if (t[i].is("PACKAGE")) {
    ++i;
    if (t[i].is("BODY"))
      return ++i, UnitKind::PackageBody;
    return UnitKind::Package;
  }
  return UnitKind::Anonymous;
}

// Reads the leading words: CREATE [OR REPLACE] kind [owner.]name, DROP kind name,
// ALTER kind name COMPILE ...
// The first tokens of a text, read one at a time: a unit's header never needs more, however
// long the comments and strings between its words, and a lexical error after them (or inside
// the unit) is the unit compiler's to report with its line. Three End tokens follow for look-ahead.
std::vector<Token> headTokens(const std::string &text, size_t count) {
  Lexer lexer(text, true);
  std::vector<Token> t;
  try {
    while (t.size() < count) {
      Token k = lexer.next();
      if (k.kind == Tok::End)
        break;
      t.push_back(std::move(k));
    }
  } catch (const OraError &) {
    // the header ends where the text stops being readable
  }
  t.resize(t.size() + 3);
  return t;
}

bool readHeader(const std::vector<Token> &t, PlsqlText what, UnitHeader &h) {
  size_t i = 1;
  if (what == PlsqlText::Create && t[i].is("OR") && t[i + 1].is("REPLACE")) {
    h.orReplace = true;
    i += 2;
  }
  h.keywordPos = t[i].pos;
  h.kind = kindOfWord(t, i);
  if (h.kind == UnitKind::Anonymous)
    return false;
  if (t[i].kind != Tok::Ident && t[i].kind != Tok::QuotedIdent)
    throw oraError(what == PlsqlText::Create ? 900 : 4050, t[i].pos);
  h.namePos = t[i].pos;
  h.name = t[i].text;
  ++i;
  if (t[i].is(".") && (t[i + 1].kind == Tok::Ident || t[i + 1].kind == Tok::QuotedIdent)) {
    h.owner = h.name;
    h.name = t[i + 1].text;
    h.namePos = t[i + 1].pos;
    i += 2;
  }
  if (what == PlsqlText::AlterCompile) {
    while (t[i].kind != Tok::End) {
      h.option += (h.option.empty() ? "" : " ") + t[i].text;
      ++i;
    }
  } else if (what == PlsqlText::Drop && h.kind == UnitKind::Type && t[i].is("FORCE") &&
             t[i + 1].kind == Tok::End) {
    h.option = "FORCE";
  } else if (what == PlsqlText::Drop && t[i].kind != Tok::End) {
    throw oraError(933, t[i].pos);
  }
  return true;
}

// The system privilege that reaches units of any schema for what (CREATE, DROP, ALTER).
std::string anyPrivilege(const char *what, UnitKind kind) {
  return std::string(what) + (kind == UnitKind::Trigger ? " ANY TRIGGER"
                              : kind == UnitKind::Type  ? " ANY TYPE"
                                                        : " ANY PROCEDURE");
}

std::string ownerFor(Session &s, const UnitHeader &h, const char *what) {
  std::string owner = h.owner.empty() ? s.user() : h.owner;
  if (owner != s.user()) {
    if (!hasSystemPrivilege(s.db(), s.user(), anyPrivilege(what, h.kind)))
      throw oraError(1031);
    Query q(s.db(), "SELECT 1 FROM ora_users WHERE username = ?1");
    q.bind(1, owner);
    if (!q.next())
      throw oraErrorArg(1918, owner);
  }
  return owner;
}

// Marks every unit that depends on owner.name (directly or through others) INVALID, changed by
// the DDL of the catalog serial given.
void invalidateDependants(sqlite3 *db, const std::string &owner, const std::string &name,
                          long serial) {
  std::vector<std::pair<std::string, std::string>> todo{{owner, name}};
  std::set<std::string> seen;
  while (!todo.empty()) {
    auto [o, n] = todo.back();
    todo.pop_back();
    Query q(db, "SELECT DISTINCT owner, name, type FROM ora_dependencies WHERE "
                "referenced_owner = ?1 AND referenced_name = ?2");
    q.bind(1, o).bind(2, n);
    while (q.next()) {
      std::string key = unitKey(q.text(0), q.text(1), q.text(2));
      if (!seen.insert(key).second)
        continue;
      Query u(db, "UPDATE ora_objects SET status = 'INVALID', ddl_serial = ?4 WHERE owner = ?1 "
                  "AND object_name = ?2 AND object_type = ?3");
      u.bind(1, q.text(0)).bind(2, q.text(1)).bind(3, q.text(2)).bind(4, serial);
      u.run(db);
      todo.emplace_back(q.text(0), q.text(1));
    }
  }
}

void removeUnitRows(sqlite3 *db, const std::string &owner, const std::string &name,
                    const std::string &type) {
  for (const char *sql :
       {"DELETE FROM ora_source WHERE owner = ?1 AND name = ?2 AND type = ?3",
        "DELETE FROM ora_errors WHERE owner = ?1 AND name = ?2 AND type = ?3",
        "DELETE FROM ora_arguments WHERE owner = ?1 AND unit_name = ?2 AND unit_type = ?3",
        "DELETE FROM ora_dependencies WHERE owner = ?1 AND name = ?2 AND type = ?3"}) {
    Query q(db, sql);
    q.bind(1, owner).bind(2, name).bind(3, type);
    q.run(db);
  }
}

void storeErrorsAndDeps(sqlite3 *db, const CompiledUnit &cu, const std::string &owner,
                        const std::string &name, const std::string &type) {
  {
    Query q(db, "DELETE FROM ora_errors WHERE owner = ?1 AND name = ?2 AND type = ?3");
    q.bind(1, owner).bind(2, name).bind(3, type);
    q.run(db);
    Query d(db, "DELETE FROM ora_dependencies WHERE owner = ?1 AND name = ?2 AND type = ?3");
    d.bind(1, owner).bind(2, name).bind(3, type);
    d.run(db);
  }
  int seq = 0;
  for (const PlacedError &e : place(cu)) {
    Query q(db, "INSERT INTO ora_errors(owner, name, type, sequence, line, position, text) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    q.bind(1, owner).bind(2, name).bind(3, type).bind(4, ++seq).bind(5, e.line);
    q.bind(6, e.position).bind(7, e.text);
    q.run(db);
  }
  for (const auto &d : cu.unit->dependsOn) {
    size_t dot = d.first.find('.');
    Query q(db, "INSERT INTO ora_dependencies(owner, name, type, referenced_owner, "
                "referenced_name, referenced_type, dependency_type) VALUES (?1, ?2, ?3, ?4, ?5, "
                "?6, 'HARD')");
    q.bind(1, owner).bind(2, name).bind(3, type).bind(4, d.first.substr(0, dot));
    q.bind(5, d.first.substr(dot + 1)).bind(6, d.second);
    q.run(db);
  }
  Query st(db, "UPDATE ora_objects SET status = ?4 WHERE owner = ?1 AND object_name = ?2 AND "
               "object_type = ?3");
  st.bind(1, owner).bind(2, name).bind(3, type).bind(4, cu.valid() ? "VALID" : "INVALID");
  st.run(db);
}

// *_ARGUMENTS of a valid procedure, function or package specification (none while it has
// errors).
void storeArguments(sqlite3 *db, const CompiledUnit &cu, const std::string &owner,
                    const std::string &name, const std::string &type) {
  {
    Query d(db, "DELETE FROM ora_arguments WHERE owner = ?1 AND unit_name = ?2 AND unit_type = ?3");
    d.bind(1, owner).bind(2, name).bind(3, type);
    d.run(db);
  }
  if (!cu.valid() || !cu.unit)
    return;
  long long sequence = 0;
  std::string last;
  for (const UnitArgument &u : unitArguments(*cu.unit)) {
    const DescribedArgument &a = u.arg;
    std::string key = u.object + "/" + std::to_string(a.overload);
    sequence = key == last ? sequence + 1 : (a.type == DtNone ? 0 : 1);
    last = key;
    Query q(
        db,
        "INSERT INTO ora_arguments(owner, unit_name, unit_type, package_name, "
        "object_name, overload, argument_name, position, sequence, data_level, data_type, "
        "defaulted, in_out, data_length, data_precision, data_scale, radix) VALUES (?1, "
        "?2, ?3, nullif(?4, ''), ?5, nullif(?6, 0), nullif(?7, ''), ?8, ?9, ?10, nullif(?11, ''), "
        "?12, ?13, nullif(?14, 0), nullif(?15, 0), CASE WHEN ?11 = 'NUMBER' AND ?15 > 0 "
        "THEN ?16 END, nullif(?17, 0))");
    q.bind(1, owner).bind(2, name).bind(3, type);
    q.bind(4, type == "PACKAGE" ? name : std::string());
    q.bind(5, u.object).bind(6, static_cast<long long>(a.overload)).bind(7, a.name);
    q.bind(8, static_cast<long long>(a.position)).bind(9, sequence);
    q.bind(10, static_cast<long long>(a.level)).bind(11, std::string(describedTypeName(a.type)));
    q.bind(12, std::string(a.hasDefault ? "Y" : "N"));
    q.bind(13, std::string(a.mode == 0 ? "IN" : a.mode == 1 ? "OUT" : "IN/OUT"));
    q.bind(14, static_cast<long long>(a.size)).bind(15, static_cast<long long>(a.precision));
    q.bind(16, static_cast<long long>(a.scale)).bind(17, static_cast<long long>(a.radix));
    q.run(db);
  }
}

// A type's row of USER_TYPES and its attributes' rows of USER_TYPE_ATTRS, from its
// specification as parsed (none when it did not parse).
void storeTypeRows(sqlite3 *db, const Unit *u, const std::string &owner, const std::string &name) {
  ensureTypeTables(db);
  for (const char *sql : {"DELETE FROM ora_types WHERE owner = ?1 AND type_name = ?2",
                          "DELETE FROM ora_type_attrs WHERE owner = ?1 AND type_name = ?2"}) {
    Query q(db, sql);
    q.bind(1, owner).bind(2, name);
    q.run(db);
  }
  const TypeDecl *t = u && !u->decls.empty() ? u->decls[0].type.get() : nullptr;
  if (!t)
    return;
  long long methods = 0;
  for (const Decl &d : u->decls)
    methods += d.kind == Decl::Sub;
  Query q(db, "INSERT INTO ora_types(owner, type_name, typecode, attributes, methods, final, "
              "instantiable) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
  q.bind(1, owner).bind(2, name).bind(3, t->object ? "OBJECT" : "COLLECTION");
  q.bind(4, static_cast<long long>(t->object ? t->fields.size() : 0)).bind(5, methods);
  q.bind(6, t->notFinal ? "NO" : "YES").bind(7, t->notInstantiable ? "NO" : "YES");
  q.run(db);
  long long no = 0;
  for (const RecordField &f : t->fields) {
    if (!t->object)
      break;
    Query a(db, "INSERT INTO ora_type_attrs(owner, type_name, attr_name, attr_type_name, length, "
                "precision, scale, attr_no) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    a.bind(1, owner).bind(2, name).bind(3, f.name).bind(
        4, f.spec.name.empty() ? "" : f.spec.name.back());
    // A length for text, a precision and scale for numbers.
    if (f.type.kind == VType::Char && f.type.length > 0)
      a.bind(5, static_cast<long long>(f.type.length));
    if (f.type.kind == VType::Number && f.type.precision >= 0)
      a.bind(6, static_cast<long long>(f.type.precision));
    if (f.type.kind == VType::Number && f.type.scale != kNoScale)
      a.bind(7, static_cast<long long>(f.type.scale));
    a.bind(8, ++no);
    a.run(db);
  }
}

void storeTrigger(sqlite3 *db, const CompiledUnit &cu, const std::string &owner,
                  const std::string &name) {
  const TriggerInfo &t = cu.unit->trigger;
  std::string type =
      std::string(t.before ? "BEFORE" : "AFTER") + (t.forEachRow ? " EACH ROW" : " STATEMENT");
  std::string event;
  if (t.onInsert)
    event = "INSERT";
  if (t.onUpdate)
    event += event.empty() ? "UPDATE" : " OR UPDATE";
  if (t.onDelete)
    event += event.empty() ? "DELETE" : " OR DELETE";
  std::string tableOwner = t.table.size() > 1 ? t.table[0] : owner;
  std::string table = t.table.back();
  std::string body = cu.text.substr(static_cast<size_t>(t.bodyStart));
  std::string refs = "REFERENCING NEW AS " + t.newName + " OLD AS " + t.oldName;
  Query q(db, "INSERT OR REPLACE INTO ora_triggers(owner, trigger_name, trigger_type, "
              "triggering_event, table_owner, table_name, referencing_names, when_clause, "
              "status, description, trigger_body) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
              "'ENABLED', ?9, ?10)");
  q.bind(1, owner).bind(2, name).bind(3, type).bind(4, event).bind(5, tableOwner);
  q.bind(6, table).bind(7, refs);
  if (t.whenText.empty())
    sqlite3_bind_null(q.st, 8);
  else
    q.bind(8, t.whenText);
  q.bind(9, name + "\n" + t.description + "\n").bind(10, body);
  q.run(db);
}

// The table a new trigger is on must exist, and another schema's table takes CREATE ANY
// TRIGGER, whatever the body is (also one that does not compile). Checked before anything is
// stored.
void checkTriggerTable(Session &s, const std::string &owner, const TriggerInfo &t, int pos) {
  if (t.table.empty())
    return; // the header did not parse: the compile errors say so
  Binder b(s.db(), owner);
  auto o = b.findObject(t.table);
  if (o && o->owner == "SYS")
    throw oraError(4089, pos);
  if (!o || o->type != "TABLE")
    throw oraError(942, pos);
  if ((o->owner != s.user() || owner != s.user()) &&
      !hasSystemPrivilege(s.db(), s.user(), "CREATE ANY TRIGGER"))
    throw oraError(1031, pos);
}

// Stores and compiles a unit's source: returns whether it compiled cleanly.
bool storeUnit(Session &s, const std::string &owner, const UnitHeader &h, const std::string &source,
               bool replaceSource) {
  UnitState &st = stateOf(s);
  std::string type = typeText(h.kind);
  std::string key = unitKey(owner, h.name, type);
  // Compile before touching the catalog (the compile reads it).
  s.commit();
  ensureTables(s.db());
  auto cu = compileText(s, owner, source, false);
  if (h.kind == UnitKind::Trigger && replaceSource)
    checkTriggerTable(s, owner, cu->unit->trigger, h.keywordPos + cu->unit->trigger.tablePos);
  s.exec("BEGIN IMMEDIATE");
  try {
    sqlite3 *db = s.db();
    // Other logons, also of other processes, learn of the change by the serial.
    long serial = bumpCatalogSerial(db);
    bool exists = false;
    {
      Query q(db, "SELECT object_type FROM ora_objects WHERE owner = ?1 AND object_name = ?2");
      q.bind(1, owner).bind(2, h.name);
      while (q.next()) {
        std::string t = q.text(0);
        bool sameFamily = t == type || (h.kind == UnitKind::Package && t == "PACKAGE BODY") ||
                          (h.kind == UnitKind::PackageBody && t == "PACKAGE") ||
                          (h.kind == UnitKind::Type && t == "TYPE BODY") ||
                          (h.kind == UnitKind::TypeBody && t == "TYPE");
        if (t == type)
          exists = true;
        else if (!sameFamily && replaceSource)
          throw oraError(955, h.namePos);
      }
    }
    if (exists && replaceSource && !h.orReplace)
      throw oraError(955, h.namePos);
    if (exists && replaceSource && h.kind == UnitKind::Type) {
      // Types built on this one keep its definition: it is not replaced under them.
      Query d(db, "SELECT 1 FROM ora_dependencies WHERE referenced_owner = ?1 AND "
                  "referenced_name = ?2 AND type = 'TYPE' AND NOT (owner = ?1 AND name = ?2)");
      d.bind(1, owner).bind(2, h.name);
      if (d.next())
        throw oraError(2303);
    }
    if (replaceSource) {
      removeUnitRows(db, owner, h.name, type);
      int line = 0;
      size_t from = 0;
      while (from < source.size()) {
        size_t nl = source.find('\n', from);
        size_t to = nl == std::string::npos ? source.size() : nl + 1;
        Query q(db, "INSERT INTO ora_source(owner, name, type, line, text) VALUES (?1, ?2, ?3, "
                    "?4, ?5)");
        q.bind(1, owner).bind(2, h.name).bind(3, type).bind(4, ++line);
        q.bind(5, source.substr(from, to - from));
        q.run(db);
        from = to;
      }
    }
    std::string now = nowText();
    if (exists) {
      Query q(db, "UPDATE ora_objects SET last_ddl_time = ?4 WHERE owner = ?1 AND object_name = "
                  "?2 AND object_type = ?3");
      q.bind(1, owner).bind(2, h.name).bind(3, type).bind(4, now);
      q.run(db);
    } else {
      addObject(db, owner, h.name, type);
    }
    storeErrorsAndDeps(db, *cu, owner, h.name, type);
    storeArguments(db, *cu, owner, h.name, type);
    if (h.kind == UnitKind::Type && replaceSource)
      storeTypeRows(db, cu->unit.get(), owner, h.name);
    {
      // A new specification is a change of its body's too: the body compiles against it.
      Query q(db, "UPDATE ora_objects SET ddl_serial = ?4 WHERE owner = ?1 AND object_name = ?2 "
                  "AND (object_type = ?3 OR (?3 = 'PACKAGE' AND object_type = 'PACKAGE BODY') "
                  "OR (?3 = 'TYPE' AND object_type = 'TYPE BODY'))");
      q.bind(1, owner).bind(2, h.name).bind(3, type).bind(4, serial);
      q.run(db);
    }
    if (h.kind == UnitKind::Trigger) {
      if (cu->unit->trigger.table.empty()) {
        Query d(db, "DELETE FROM ora_triggers WHERE owner = ?1 AND trigger_name = ?2");
        d.bind(1, owner).bind(2, h.name);
        d.run(db);
      } else {
        storeTrigger(db, *cu, owner, h.name);
      }
      rebuildTriggerHooks(db, owner, h.name, &cu->unit->trigger);
    }
    // What used the old version must be compiled again; a new specification also
    // invalidates its body.
    if ((replaceSource || h.kind == UnitKind::Package || h.kind == UnitKind::Type) &&
        h.kind != UnitKind::PackageBody && h.kind != UnitKind::TypeBody &&
        h.kind != UnitKind::Trigger) {
      invalidateDependants(db, owner, h.name, serial);
      if (h.kind == UnitKind::Package || h.kind == UnitKind::Type) {
        Query b(db, "UPDATE ora_objects SET status = 'INVALID' WHERE owner = ?1 AND object_name "
                    "= ?2 AND object_type = ?4 AND ?3 = 1");
        b.bind(4, type + " BODY");
        b.bind(1, owner).bind(2, h.name).bind(3, replaceSource ? 1 : 0);
        b.run(db);
      }
    }
    s.exec("COMMIT");
  } catch (...) {
    sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  s.schemaChanged();
  st.units.erase(key);
  // The logon that compiles a package starts its own state afresh without being told.
  if (h.kind == UnitKind::Package || h.kind == UnitKind::PackageBody)
    st.packages.erase(owner + "." + h.name);
  return cu->valid();
}

void dropUnit(Session &s, const UnitHeader &h) {
  std::string owner = ownerFor(s, h, "DROP");
  std::vector<std::string> types{typeText(h.kind)};
  if (h.kind == UnitKind::Package || h.kind == UnitKind::Type)
    types.push_back(types[0] + " BODY");
  s.commit();
  ensureTables(s.db());
  s.exec("BEGIN IMMEDIATE");
  try {
    sqlite3 *db = s.db();
    long serial = bumpCatalogSerial(db);
    Query q(db, "SELECT 1 FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
                "object_type = ?3");
    q.bind(1, owner).bind(2, h.name).bind(3, types[0]);
    if (!q.next())
      throw oraErrorArg(4043, h.owner.empty() ? h.name : owner + "." + h.name);
    if (h.kind == UnitKind::Type && h.option != "FORCE") {
      // Types built on this one would lose their definition: only FORCE takes it from them.
      Query d(db, "SELECT 1 FROM ora_dependencies WHERE referenced_owner = ?1 AND "
                  "referenced_name = ?2 AND type = 'TYPE' AND NOT (owner = ?1 AND name = ?2)");
      d.bind(1, owner).bind(2, h.name);
      if (d.next())
        throw oraError(2303);
    }
    for (const std::string &type : types) {
      removeUnitRows(db, owner, h.name, type);
      Query d(db, "DELETE FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
                  "object_type = ?3");
      d.bind(1, owner).bind(2, h.name).bind(3, type);
      d.run(db);
    }
    stateOf(s).packages.erase(owner + "." + h.name);
    if (h.kind == UnitKind::Type)
      storeTypeRows(db, nullptr, owner, h.name);
    if (h.kind == UnitKind::Trigger) {
      Query d(db, "DELETE FROM ora_triggers WHERE owner = ?1 AND trigger_name = ?2");
      d.bind(1, owner).bind(2, h.name);
      d.run(db);
      dropTriggerHooks(db, owner, h.name);
    }
    if (h.kind == UnitKind::Procedure || h.kind == UnitKind::Function ||
        h.kind == UnitKind::Package || h.kind == UnitKind::Type) {
      // Its grants go with it: a unit created again under the name starts with none.
      Query g(db, "DELETE FROM ora_privs WHERE owner = ?1 AND object_name = ?2");
      g.bind(1, owner).bind(2, h.name);
      g.run(db);
    }
    if (h.kind != UnitKind::PackageBody && h.kind != UnitKind::TypeBody)
      invalidateDependants(db, owner, h.name, serial);
    s.exec("COMMIT");
  } catch (...) {
    sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  s.schemaChanged();
}

int alterUnit(Session &s, UnitHeader h) {
  std::string owner = ownerFor(s, h, "ALTER");
  std::string opt = h.option;
  if (h.kind == UnitKind::Trigger && (opt == "ENABLE" || opt == "DISABLE")) {
    Query q(s.db(), "UPDATE ora_triggers SET status = ?3 WHERE owner = ?1 AND trigger_name = ?2");
    q.bind(1, owner).bind(2, h.name).bind(3, opt == "ENABLE" ? "ENABLED" : "DISABLED");
    s.commit();
    q.run(s.db());
    if (sqlite3_changes(s.db()) == 0)
      throw oraErrorArg(4080, h.name);
    bumpCatalogSerial(s.db());
    bool invalid = false;
    auto cu = loadUnit(s, owner, h.name, "TRIGGER", invalid);
    rebuildTriggerHooks(s.db(), owner, h.name, cu ? &cu->unit->trigger : nullptr);
    s.schemaChanged();
    return 0;
  }
  if (opt.compare(0, 7, "COMPILE") != 0)
    throw oraError(922);
  std::vector<UnitKind> kinds{h.kind};
  if (h.kind == UnitKind::Package || h.kind == UnitKind::Type) {
    UnitKind body = h.kind == UnitKind::Package ? UnitKind::PackageBody : UnitKind::TypeBody;
    if (opt == "COMPILE BODY")
      kinds = {body};
    else if (opt == "COMPILE SPECIFICATION")
      kinds = {h.kind};
    else
      kinds = {h.kind, body};
  }
  bool clean = true;
  bool any = false;
  for (UnitKind k : kinds) {
    std::string type = typeText(k);
    std::string text;
    {
      Query q(s.db(), "SELECT text FROM ora_source WHERE owner = ?1 AND name = ?2 AND type = ?3 "
                      "ORDER BY line");
      q.bind(1, owner).bind(2, h.name).bind(3, type);
      while (q.next()) {
        text += q.text(0);
        any = true;
      }
    }
    if (text.empty())
      continue;
    UnitHeader hk = h;
    hk.kind = k;
    clean = storeUnit(s, owner, hk, text, false) && clean;
  }
  if (!any)
    throw oraErrorArg(4043, h.owner.empty() ? h.name : owner + "." + h.name);
  return clean ? 0 : 0x20;
}

} // namespace localdb::plsql::units
