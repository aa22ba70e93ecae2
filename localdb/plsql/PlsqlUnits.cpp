// Stored PL/SQL units: the DDL that stores and compiles them, the catalog rows (source, errors,
// status, dependencies, triggers), the per-logon cache of compiled units, and the entry point
// that compiles and runs an anonymous block with the caller's bind variables.
#include "localdb/plsql/PlsqlUnits.h"

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

namespace localdb::plsql {

namespace {

// ---------------------------------------------------------------- versions

// Every change of a unit in this process bumps its version, so each logon's cache notices
// replacements made through other logons (last_ddl_time has only whole seconds).
std::mutex gVersionLock;
std::map<std::string, long> gVersions;
std::atomic<long> gGeneration{0};

long versionOf(const std::string &key) {
  std::lock_guard<std::mutex> lock(gVersionLock);
  auto it = gVersions.find(key);
  return it == gVersions.end() ? 0 : it->second;
}

void bumpVersion(const std::string &key) {
  std::lock_guard<std::mutex> lock(gVersionLock);
  ++gVersions[key];
  ++gGeneration;
}

std::string unitKey(const std::string &owner, const std::string &name, const std::string &type) {
  return owner + "." + name + "." + type;
}

// ---------------------------------------------------------------- catalog helpers

struct Query {
  sqlite3_stmt *st = nullptr;
  Query(sqlite3 *db, const std::string &sql) {
    if (int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr); rc != SQLITE_OK) {
      std::string m = sqlite3_errmsg(db);
      sqlite3_finalize(st);
      st = nullptr;
      if ((rc & 0xff) != SQLITE_ERROR) // the storage's failure, not ours
        throw sqliteFailure(rc, m);
      throw oraErrorText(600, "internal error code, arguments: [plsql], [" + m + "]");
    }
  }
  ~Query() { sqlite3_finalize(st); }
  Query &bind(int i, const std::string &v) {
    sqlite3_bind_text(st, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Query &bind(int i, long long v) {
    sqlite3_bind_int64(st, i, v);
    return *this;
  }
  bool next() { return sqlite3_step(st) == SQLITE_ROW; }
  std::string text(int c) {
    const unsigned char *t = sqlite3_column_text(st, c);
    return t ? reinterpret_cast<const char *>(t) : "";
  }
  void run(sqlite3 *db) {
    int rc = sqlite3_step(st);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
      throw sqliteError(db, rc);
  }
};

void ensureTables(sqlite3 *db) {
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_dependencies(owner TEXT NOT NULL, name TEXT NOT "
              "NULL, type TEXT NOT NULL, referenced_owner TEXT, referenced_name TEXT, "
              "referenced_type TEXT, referenced_link_name TEXT, dependency_type TEXT)");
}

// ---------------------------------------------------------------- compiled units

struct CompiledUnit {
  std::string owner, name, type, text;
  std::string stamp; // last_ddl_time, status and version when it was compiled
  std::unique_ptr<Unit> unit;
  std::vector<CompileError> errors;
  std::vector<std::shared_ptr<const CompiledUnit>> deps; // units its tree points into
  bool valid() const { return errors.empty(); }
};

// An INSERT, UPDATE or DELETE as its row triggers' hooks see it (nested: DML in a trigger is
// a statement of its own). SQLite fires the BEFORE hooks of a row one after the other, in the
// same order for each row; when one trigger changes :new, the row is written by a statement of
// its own (a write-back) and SQLite's is skipped.
struct RowStatement {
  // Rows written back in place of the statement's own since they were last counted: SQLite
  // counts neither.
  int writtenBack = 0;
  // The BEFORE triggers that ran for the current row; one met again starts the next row.
  std::vector<std::string> ran;
  // A write-back: its one row already went through the triggers in ran.
  bool writeBack = false;
  // The columns the UPDATE sets, which UPDATE OF goes by (a write-back sets all).
  const std::vector<std::string> *updateColumns = nullptr;
};

struct UnitState : State {
  std::map<std::string, std::shared_ptr<const CompiledUnit>> units;  // by owner.name.type
  std::map<std::string, std::shared_ptr<const CompiledUnit>> blocks; // anonymous, by text
  long catalogEpoch = -1;
  std::vector<std::shared_ptr<const CompiledUnit>> recompiled; // INVALID units that now compile
  std::set<std::string> compiling; // guards against units that reach themselves
  // Standalone functions being compiled, by owner.name.type: SQL in a function's own body may
  // call it before (or while) the catalog has it.
  std::map<std::string, const Unit *> functionsInCompile;
  // Statement triggers by "owner.table event": every INSERT, UPDATE and DELETE asks, and
  // most tables have none. Valid while no unit changed in this process (generation) and the
  // catalog is the same (Session::catalogEpoch).
  std::map<std::string, std::vector<std::pair<std::string, std::string>>> statementTriggers;
  long triggersGeneration = -1, triggersEpoch = -1;
  // The last table asked about: a loop of one statement asks about the same one each time.
  const std::vector<std::pair<std::string, std::string>> *lastTriggers = nullptr;
  std::string lastOwner, lastTable;
  int lastEvent = 0;
  // The innermost DML statement running (runWithStatementTriggers); hooks fired outside one
  // (none should be) share the loose one.
  RowStatement *rowStatement = nullptr;
  RowStatement looseRow;
  // Row triggers running inside one another: a trigger whose DML fires itself again would
  // otherwise nest until the stack runs out.
  int triggerDepth = 0;
};

UnitState &stateOf(Session &s);

std::string typeText(UnitKind k) {
  switch (k) {
  case UnitKind::Procedure:
    return "PROCEDURE";
  case UnitKind::Function:
    return "FUNCTION";
  case UnitKind::Package:
    return "PACKAGE";
  case UnitKind::PackageBody:
    return "PACKAGE BODY";
  case UnitKind::Trigger:
    return "TRIGGER";
  default:
    return "";
  }
}

class Resolver;
void storeErrorsAndDeps(sqlite3 *db, const CompiledUnit &cu, const std::string &owner,
                        const std::string &name, const std::string &type);
std::shared_ptr<const CompiledUnit> compileText(Session &s, const std::string &owner,
                                                const std::string &text, bool anonymous);

// Loads (and compiles) a stored unit for use; null when it does not exist. invalid: it exists
// but does not compile.
std::shared_ptr<const CompiledUnit> loadUnit(Session &s, const std::string &owner,
                                             const std::string &name, const std::string &type,
                                             bool &invalid) {
  invalid = false;
  UnitState &st = stateOf(s);
  std::string key = unitKey(owner, name, type);
  std::string status, ddl;
  {
    // Asked for each row a trigger fires on and each call: kept prepared.
    sqlite3_stmt *q = keptStatement(s.db(), "SELECT status, last_ddl_time FROM ora_objects WHERE "
                                            "owner = ?1 AND object_name = ?2 AND object_type = ?3");
    KeptReset done{q};
    sqlite3_bind_text(q, 1, owner.data(), static_cast<int>(owner.size()), SQLITE_STATIC);
    sqlite3_bind_text(q, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_text(q, 3, type.data(), static_cast<int>(type.size()), SQLITE_STATIC);
    if (sqlite3_step(q) != SQLITE_ROW)
      return nullptr;
    auto text = [&](int c) {
      const unsigned char *t = sqlite3_column_text(q, c);
      return t ? std::string(reinterpret_cast<const char *>(t)) : std::string();
    };
    status = text(0);
    ddl = text(1);
  }
  std::string stamp = ddl + "/" + status + "/" + std::to_string(versionOf(key));
  auto it = st.units.find(key);
  // An INVALID unit is compiled again at each use until it compiles (what it used may be back).
  if (it != st.units.end() && it->second->stamp == stamp &&
      (status == "VALID" || it->second->valid())) {
    if (!it->second->valid())
      invalid = true;
    return it->second->valid() ? it->second : nullptr;
  }
  if (st.compiling.count(key))
    return nullptr;
  std::string text;
  {
    Query q(s.db(), "SELECT text FROM ora_source WHERE owner = ?1 AND name = ?2 AND type = ?3 "
                    "ORDER BY line");
    q.bind(1, owner).bind(2, name).bind(3, type);
    while (q.next())
      text += q.text(0);
  }
  st.compiling.insert(key);
  std::shared_ptr<const CompiledUnit> cu;
  try {
    cu = compileText(s, owner, text, false);
  } catch (...) {
    st.compiling.erase(key);
    throw;
  }
  st.compiling.erase(key);
  const_cast<CompiledUnit &>(*cu).stamp = stamp;
  if (status != "VALID" && cu->valid())
    st.recompiled.push_back(cu); // the dictionary learns it when no transaction is open
  st.units[key] = cu;
  if (!cu->valid()) {
    invalid = true;
    return nullptr;
  }
  return cu;
}

class Resolver : public UnitResolver {
public:
  // user: the schema the unit compiles in, whose synonyms its names may be.
  Resolver(Session &s, std::string user, std::vector<std::shared_ptr<const CompiledUnit>> &deps)
      : FSession(s), FUser(std::move(user)), FDeps(deps) {}
  const Unit *findUnit(const std::string &owner, const std::string &name, bool &invalid) override {
    invalid = false;
    if (const Unit *u = load(owner, name, invalid); u || invalid)
      return u;
    // A synonym: the unit it names, when the schema may execute it.
    std::string tOwner = owner, tName = name;
    if (!followSynonym(FSession.db(), tOwner, tName, owner != FUser))
      return nullptr;
    const Unit *u = load(tOwner, tName, invalid);
    if ((u || invalid) && tOwner != FUser &&
        !objectPrivileges(FSession.db(), FUser, tOwner, tName).has("EXECUTE")) {
      invalid = false;
      return nullptr;
    }
    return u;
  }
  bool isSchema(const std::string &user) override {
    Query q(FSession.db(), "SELECT 1 FROM ora_users WHERE username = ?1");
    q.bind(1, user);
    return q.next();
  }

private:
  Session &FSession;
  std::string FUser;
  std::vector<std::shared_ptr<const CompiledUnit>> &FDeps;

  const Unit *load(const std::string &owner, const std::string &name, bool &invalid) {
    for (const char *type : {"PACKAGE", "PROCEDURE", "FUNCTION"}) {
      bool bad = false;
      auto cu = loadUnit(FSession, owner, name, type, bad);
      if (bad) {
        invalid = true;
        return nullptr;
      }
      if (cu) {
        FDeps.push_back(cu);
        return cu->unit.get();
      }
    }
    return nullptr;
  }
};

// One read transaction around a compile: its many catalog look-ups then share one lock
// instead of taking and dropping the file lock each.
struct ReadTransaction {
  sqlite3 *db;
  bool mine;
  explicit ReadTransaction(sqlite3 *d) : db(d), mine(sqlite3_get_autocommit(d) != 0) {
    if (mine && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
      mine = false;
  }
  ~ReadTransaction() {
    if (mine)
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
};

std::shared_ptr<const CompiledUnit> compileText(Session &s, const std::string &owner,
                                                const std::string &text, bool anonymous) {
  ReadTransaction readLock(s.db());
  auto cu = std::make_shared<CompiledUnit>();
  cu->text = text;
  cu->owner = owner;
  cu->unit = parseUnit(text, anonymous, cu->errors);
  Unit &u = *cu->unit;
  if (u.owner.empty())
    u.owner = owner;
  cu->name = u.name;
  cu->type = typeText(u.kind);
  if (!cu->errors.empty())
    return cu;
  struct InCompile {
    std::map<std::string, const Unit *> &map;
    std::string key;
    const Unit *before;
    ~InCompile() {
      if (before)
        map[key] = before;
      else
        map.erase(key);
    }
  };
  std::optional<InCompile> self;
  if (u.kind == UnitKind::Function) {
    auto &map = stateOf(s).functionsInCompile;
    std::string key = unitKey(u.owner, u.name, "FUNCTION");
    auto it = map.find(key);
    self.emplace(InCompile{map, key, it == map.end() ? nullptr : it->second});
    map[key] = &u;
  }
  Resolver resolver(s, owner, cu->deps);
  BindContext ctx;
  ctx.db = s.db();
  ctx.user = owner;
  ctx.units = &resolver;
  if (u.kind == UnitKind::PackageBody) {
    bool invalid = false;
    auto spec = loadUnit(s, u.owner, u.name, "PACKAGE", invalid);
    if (spec) {
      cu->deps.push_back(spec);
      ctx.spec = spec->unit.get();
    } else if (invalid) {
      cu->errors.push_back(CompileError{
          u.namePos, "PLS-00905: object " + u.owner + "." + u.name + " is invalid", false});
      cu->errors.push_back(CompileError{0, "PL/SQL: Compilation unit analysis terminated", true});
      return cu;
    }
  }
  bindUnit(u, text, ctx, cu->errors);
  return cu;
}

std::vector<PlacedError> place(const CompiledUnit &cu) {
  std::vector<PlacedError> out;
  LineMap lines(cu.text);
  // As in Oracle, a trigger's lines count from its PL/SQL block (DECLARE or BEGIN), not from
  // the header kept before it; an error in the header has no line of the block.
  const int body = cu.unit && cu.unit->kind == UnitKind::Trigger ? cu.unit->trigger.bodyStart : 0;
  const int bodyLine = lines.line(body), bodyColumn = lines.column(body);
  for (const CompileError &e : cu.errors) {
    PlacedError p;
    if (!e.unitLevel && e.pos >= body) {
      p.line = lines.line(e.pos) - bodyLine + 1;
      p.position = lines.column(e.pos) - (p.line == 1 ? bodyColumn - 1 : 0);
    }
    p.text = e.text;
    out.push_back(std::move(p));
  }
  return out;
}

// ---------------------------------------------------------------- package bodies at run time

const Unit *bodyFor(Session &s, const Unit *spec, std::shared_ptr<const void> &keep) {
  bool invalid = false;
  auto body = loadUnit(s, spec->owner, spec->name, "PACKAGE BODY", invalid);
  if (invalid) {
    raise(4063, "package body \"" + spec->owner + "." + spec->name + "\" has errors");
  }
  if (!body) {
    // No body: the state holds on to the specification itself.
    auto it = stateOf(s).units.find(unitKey(spec->owner, spec->name, "PACKAGE"));
    if (it != stateOf(s).units.end() && it->second->unit.get() == spec)
      keep = it->second;
    return nullptr;
  }
  if (body->unit->spec != spec) {
    // The body was compiled against an older specification: compile it again against this one.
    bumpVersion(unitKey(spec->owner, spec->name, "PACKAGE BODY"));
    body = loadUnit(s, spec->owner, spec->name, "PACKAGE BODY", invalid);
    if (!body || body->unit->spec != spec)
      raise(4063, "package body \"" + spec->owner + "." + spec->name + "\" has errors");
  }
  keep = body;
  return body->unit.get();
}

UnitState &stateOf(Session &s) {
  if (!s.plsqlState) {
    auto st = std::make_shared<UnitState>();
    Session *sp = &s;
    st->bodyOf = [sp](const Unit *spec, std::shared_ptr<const void> &keep) {
      return bodyFor(*sp, spec, keep);
    };
    s.plsqlState = st;
  }
  return *std::static_pointer_cast<UnitState>(s.plsqlState);
}

// ---------------------------------------------------------------- DDL

struct UnitHeader {
  UnitKind kind = UnitKind::Anonymous;
  bool orReplace = false;
  std::string owner, name;
  int keywordPos = 0; // where the stored source starts
  int namePos = 0;
  std::string option; // ALTER: COMPILE [BODY|SPECIFICATION|PACKAGE], ENABLE, DISABLE
};

UnitKind kindOfWord(const std::vector<Token> &t, size_t &i) {
  if (t[i].is("PROCEDURE"))
    return ++i, UnitKind::Procedure;
  if (t[i].is("FUNCTION"))
    return ++i, UnitKind::Function;
  if (t[i].is("TRIGGER"))
    return ++i, UnitKind::Trigger;
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
  } else if (what == PlsqlText::Drop && t[i].kind != Tok::End) {
    throw oraError(933, t[i].pos);
  }
  return true;
}

// The system privilege that reaches units of any schema for what (CREATE, DROP, ALTER).
std::string anyPrivilege(const char *what, UnitKind kind) {
  return std::string(what) + (kind == UnitKind::Trigger ? " ANY TRIGGER" : " ANY PROCEDURE");
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

// Marks every unit that depends on owner.name (directly or through others) INVALID.
void invalidateDependants(sqlite3 *db, const std::string &owner, const std::string &name) {
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
      Query u(db, "UPDATE ora_objects SET status = 'INVALID' WHERE owner = ?1 AND object_name = "
                  "?2 AND object_type = ?3");
      u.bind(1, q.text(0)).bind(2, q.text(1)).bind(3, q.text(2));
      u.run(db);
      bumpVersion(key);
      todo.emplace_back(q.text(0), q.text(1));
    }
  }
}

void removeUnitRows(sqlite3 *db, const std::string &owner, const std::string &name,
                    const std::string &type) {
  for (const char *sql :
       {"DELETE FROM ora_source WHERE owner = ?1 AND name = ?2 AND type = ?3",
        "DELETE FROM ora_errors WHERE owner = ?1 AND name = ?2 AND type = ?3",
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

// ---------------------------------------------------------------- trigger hooks

// A row trigger fires through SQLite triggers on its table ("hooks") that call ora_trigger
// with the row's new and old values. A BEFORE trigger's hook is a SQLite BEFORE trigger: it runs
// before SQLite checks and writes the row (the constraint checks are SQLite BEFORE triggers too,
// kept older than the hooks, and SQLite fires the newest first). When the trigger changed :new,
// ora_trigger writes the row itself and returns 1, and RAISE(IGNORE) makes SQLite skip its own.
// ora_trigger's event argument: 1 insert, 2 update, 3 delete, plus this from a BEFORE hook.
const int kBeforeHook = 4;

std::string hookName(const std::string &owner, const std::string &name, char event) {
  return quoteIdent("plsql$" + owner + "." + name + "$" + std::string(1, event));
}

void dropTriggerHooks(sqlite3 *db, const std::string &owner, const std::string &name) {
  for (char ev : {'I', 'U', 'D'})
    execSql(db, "DROP TRIGGER IF EXISTS " + hookName(owner, name, ev));
}

// The UPDATE OF columns of a trigger's present update hook: what a rebuild without the compiled
// trigger keeps.
std::vector<std::string> hookUpdateColumns(sqlite3 *db, const std::string &owner,
                                           const std::string &name) {
  std::vector<std::string> out;
  Query q(db, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
  q.bind(1, "plsql$" + owner + "." + name + "$U");
  if (!q.next())
    return out;
  std::string sql = q.text(0), hook = hookName(owner, name, 'U');
  size_t at = sql.find(hook);
  at = at == std::string::npos ? at : sql.find(" UPDATE OF ", at + hook.size());
  if (at == std::string::npos)
    return out;
  size_t i = at + 11;
  while (i < sql.size() && sql[i] == '"') {
    std::string id;
    for (++i; i < sql.size(); ++i) {
      if (sql[i] == '"' && (i + 1 >= sql.size() || sql[i + 1] != '"'))
        break;
      if (sql[i] == '"')
        ++i;
      id += sql[i];
    }
    out.push_back(id);
    if (sql.compare(i + 1, 2, ", ") != 0)
      break;
    i += 3;
  }
  return out;
}

// info: the compiled trigger, for its UPDATE OF columns; without it the present hook's are kept.
void rebuildTriggerHooks(sqlite3 *db, const std::string &owner, const std::string &name,
                         const TriggerInfo *info) {
  std::vector<std::string> updateOf =
      info ? info->updateColumns : hookUpdateColumns(db, owner, name);
  dropTriggerHooks(db, owner, name);
  Query q(db, "SELECT trigger_type, triggering_event, table_owner, table_name, status FROM "
              "ora_triggers WHERE owner = ?1 AND trigger_name = ?2");
  q.bind(1, owner).bind(2, name);
  if (!q.next())
    return;
  std::string type = q.text(0), events = q.text(1), tOwner = q.text(2), table = q.text(3);
  if (q.text(4) != "ENABLED" || type.find("EACH ROW") == std::string::npos)
    return; // statement triggers fire around the statement (runWithStatementTriggers)
  std::vector<ColumnInfo> cols = loadColumns(db, tOwner, table);
  if (cols.empty())
    return;
  bool before = type.compare(0, 6, "BEFORE") == 0;
  std::string key = quoteText(owner + "." + name);
  for (char ev : {'I', 'U', 'D'}) {
    const char *word = ev == 'I' ? "INSERT" : ev == 'U' ? "UPDATE" : "DELETE";
    if (events.find(word) == std::string::npos)
      continue;
    // A row to be inserted has no rowid yet.
    std::string rowid = ev != 'I' ? "OLD.rowid" : before ? "NULL" : "NEW.rowid";
    int code = (ev == 'I' ? 1 : ev == 'U' ? 2 : 3) + (before ? kBeforeHook : 0);
    std::string args = key + ", " + std::to_string(code) + ", " + rowid;
    for (const ColumnInfo &c : cols)
      args += ", " + (ev == 'D' ? std::string("NULL") : "NEW." + quoteIdent(c.name));
    for (const ColumnInfo &c : cols)
      args += ", " + (ev == 'I' ? std::string("NULL") : "OLD." + quoteIdent(c.name));
    std::string of;
    if (ev == 'U')
      for (const std::string &c : updateOf)
        of += (of.empty() ? " OF " : ", ") + quoteIdent(c);
    std::string call = "ora_trigger(" + args + ")";
    execSql(db, "CREATE TRIGGER " + hookName(owner, name, ev) + (before ? " BEFORE " : " AFTER ") +
                    word + of + " ON " + physicalName(tOwner, table) + " FOR EACH ROW BEGIN " +
                    (before ? "SELECT RAISE(IGNORE) WHERE " + call : "SELECT " + call) + "; END");
  }
}

// The row triggers of a table whose constraint triggers were made again: their hooks are made
// again after them (to fire first) and with the table's columns as they are now.
void tableTriggersRebuilt(sqlite3 *db, const std::string &owner, const std::string &table) {
  std::vector<std::pair<std::string, std::string>> names;
  {
    Query q(db, "SELECT t.owner, t.trigger_name FROM ora_triggers t WHERE t.table_owner = ?1 "
                "AND t.table_name = ?2 AND t.trigger_type LIKE '% EACH ROW' AND EXISTS (SELECT 1 "
                "FROM sqlite_master m WHERE m.type = 'trigger' AND m.name IN ('plsql$' || "
                "t.owner || '.' || t.trigger_name || '$I', 'plsql$' || t.owner || '.' || "
                "t.trigger_name || '$U', 'plsql$' || t.owner || '.' || t.trigger_name || '$D')) "
                "ORDER BY 1, 2");
    q.bind(1, owner).bind(2, table);
    while (q.next())
      names.emplace_back(q.text(0), q.text(1));
  }
  for (const auto &[o, n] : names)
    rebuildTriggerHooks(db, o, n, nullptr);
}

// A file written before BEFORE row triggers fired as SQLite BEFORE triggers has hooks that ran
// them after the row was written: the first logon that finds such a hook makes them again.
void renewStaleHooks(sqlite3 *db) {
  std::vector<std::pair<std::string, std::string>> stale;
  sqlite3_stmt *q = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT t.owner, t.trigger_name FROM ora_triggers t WHERE "
                         "t.trigger_type = 'BEFORE EACH ROW' AND EXISTS (SELECT 1 FROM "
                         "sqlite_master m WHERE m.type = 'trigger' AND m.name IN ('plsql$' || "
                         "t.owner || '.' || t.trigger_name || '$I', 'plsql$' || t.owner || '.' "
                         "|| t.trigger_name || '$U', 'plsql$' || t.owner || '.' || "
                         "t.trigger_name || '$D') AND instr(m.sql, 'RAISE(IGNORE)') = 0)",
                         -1, &q, nullptr) != SQLITE_OK) {
    sqlite3_finalize(q);
    return; // not a catalog this layer knows (yet)
  }
  while (sqlite3_step(q) == SQLITE_ROW)
    stale.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)),
                       reinterpret_cast<const char *>(sqlite3_column_text(q, 1)));
  sqlite3_finalize(q);
  if (stale.empty() || sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    return; // busy: a later logon does it
  try {
    for (const auto &[o, n] : stale)
      rebuildTriggerHooks(db, o, n, nullptr);
    execSql(db, "COMMIT");
  } catch (const OraError &) {
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  }
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
    bool exists = false;
    {
      Query q(db, "SELECT object_type FROM ora_objects WHERE owner = ?1 AND object_name = ?2");
      q.bind(1, owner).bind(2, h.name);
      while (q.next()) {
        std::string t = q.text(0);
        bool sameFamily = t == type || (h.kind == UnitKind::Package && t == "PACKAGE BODY") ||
                          (h.kind == UnitKind::PackageBody && t == "PACKAGE");
        if (t == type)
          exists = true;
        else if (!sameFamily && replaceSource)
          throw oraError(955, h.namePos);
      }
    }
    if (exists && replaceSource && !h.orReplace)
      throw oraError(955, h.namePos);
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
    if ((replaceSource || h.kind == UnitKind::Package) && h.kind != UnitKind::PackageBody &&
        h.kind != UnitKind::Trigger) {
      invalidateDependants(db, owner, h.name);
      if (h.kind == UnitKind::Package) {
        Query b(db, "UPDATE ora_objects SET status = 'INVALID' WHERE owner = ?1 AND object_name "
                    "= ?2 AND object_type = 'PACKAGE BODY' AND ?3 = 1");
        b.bind(1, owner).bind(2, h.name).bind(3, replaceSource ? 1 : 0);
        b.run(db);
      }
    }
    bumpCatalogSerial(db); // other processes' logons learn of it
    s.exec("COMMIT");
  } catch (...) {
    sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  bumpVersion(key);
  if (h.kind == UnitKind::Package)
    bumpVersion(unitKey(owner, h.name, "PACKAGE BODY"));
  st.units.erase(key);
  // The logon that compiles a package starts its own state afresh without being told.
  if (h.kind == UnitKind::Package || h.kind == UnitKind::PackageBody)
    st.packages.erase(owner + "." + h.name);
  return cu->valid();
}

void dropUnit(Session &s, const UnitHeader &h) {
  std::string owner = ownerFor(s, h, "DROP");
  std::vector<std::string> types{typeText(h.kind)};
  if (h.kind == UnitKind::Package)
    types.push_back("PACKAGE BODY");
  s.commit();
  ensureTables(s.db());
  s.exec("BEGIN IMMEDIATE");
  try {
    sqlite3 *db = s.db();
    Query q(db, "SELECT 1 FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
                "object_type = ?3");
    q.bind(1, owner).bind(2, h.name).bind(3, types[0]);
    if (!q.next())
      throw oraErrorArg(4043, h.owner.empty() ? h.name : owner + "." + h.name);
    for (const std::string &type : types) {
      removeUnitRows(db, owner, h.name, type);
      Query d(db, "DELETE FROM ora_objects WHERE owner = ?1 AND object_name = ?2 AND "
                  "object_type = ?3");
      d.bind(1, owner).bind(2, h.name).bind(3, type);
      d.run(db);
      bumpVersion(unitKey(owner, h.name, type));
    }
    stateOf(s).packages.erase(owner + "." + h.name);
    if (h.kind == UnitKind::Trigger) {
      Query d(db, "DELETE FROM ora_triggers WHERE owner = ?1 AND trigger_name = ?2");
      d.bind(1, owner).bind(2, h.name);
      d.run(db);
      dropTriggerHooks(db, owner, h.name);
    }
    if (h.kind == UnitKind::Procedure || h.kind == UnitKind::Function ||
        h.kind == UnitKind::Package) {
      // Its grants go with it: a unit created again under the name starts with none.
      Query g(db, "DELETE FROM ora_privs WHERE owner = ?1 AND object_name = ?2");
      g.bind(1, owner).bind(2, h.name);
      g.run(db);
    }
    if (h.kind != UnitKind::PackageBody)
      invalidateDependants(db, owner, h.name);
    bumpCatalogSerial(db);
    s.exec("COMMIT");
  } catch (...) {
    sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
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
    bumpVersion(unitKey(owner, h.name, "TRIGGER"));
    return 0;
  }
  if (opt.compare(0, 7, "COMPILE") != 0)
    throw oraError(922);
  std::vector<UnitKind> kinds{h.kind};
  if (h.kind == UnitKind::Package) {
    if (opt == "COMPILE BODY")
      kinds = {UnitKind::PackageBody};
    else if (opt == "COMPILE SPECIFICATION")
      kinds = {UnitKind::Package};
    else
      kinds = {UnitKind::Package, UnitKind::PackageBody};
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

// ---------------------------------------------------------------- host binds

Value readHostTable(const HostBind &b, const std::string &dateFormat);
void writeHostTable(const HostBind &b, const Value &v, const std::string &dateFormat);

Value readHost(const HostBind &b, const std::string &dateFormat) {
  if (b.maxElements > 0)
    return readHostTable(b, dateFormat);
  if ((b.indicator && *b.indicator < 0) || !b.value)
    return Value();
  const char *p = static_cast<const char *>(b.value);
  switch (b.type) {
  case 3:
    return Value::integer(readBinaryInteger(p, b.valueLength));
  case 2:   // Oracle's bytes, as long as the length says
  case 6: { // VARNUM: a length byte, then those bytes
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    int len = b.type == 6 ? u[0] : b.length ? *b.length : std::min(b.valueLength, 21);
    if (len == 0) // nothing in it yet (an OUT bind)
      return Value();
    auto n = numberFromBytes(b.type == 6 ? u + 1 : u, len);
    if (!n)
      raiseValueError();
    return Value::number(*n);
  }
  case 4: {
    double v;
    if (b.valueLength == 4) {
      float x;
      std::memcpy(&x, p, 4);
      v = x;
    } else {
      std::memcpy(&v, p, 8);
    }
    auto n = numberFromDouble(v);
    if (!n)
      raise(1426);
    return Value::number(*n);
  }
  case 5:
  case 97: {
    size_t n = strnlen(p, static_cast<size_t>(b.valueLength > 0 ? b.valueLength : 65535));
    return Value::text(std::string(p, n));
  }
  case 102:
    return Value();
  default: {
    size_t n = b.length ? *b.length : static_cast<size_t>(std::max(0, b.valueLength));
    return Value::text(std::string(p, n));
  }
  }
}

void writeHost(const HostBind &b, const Value &v, const std::string &dateFormat) {
  if (b.maxElements > 0) {
    writeHostTable(b, v, dateFormat);
    return;
  }
  if (b.type == 102) {
    if (v.t == VType::RefCursor && v.cur && v.cur->isOpen && b.receiveCursor)
      b.receiveCursor(v.cur);
    else if (v.t != VType::RefCursor && !v.isNull())
      raise(6502);
    return;
  }
  if (v.isNull()) {
    if (!b.indicator)
      throw oraError(1405);
    *b.indicator = -1;
    if (b.length)
      *b.length = 0;
    if ((b.type == 5 || b.type == 97) && b.value && b.valueLength > 0)
      static_cast<char *>(b.value)[0] = 0;
    return;
  }
  if (!b.value)
    return;
  char *p = static_cast<char *>(b.value);
  if (b.type == 2 || b.type == 6) {
    if (v.t == VType::Boolean)
      raise(6502);
    unsigned char bytes[23];
    int len = numberToBytes(toNumber(v).n, bytes + 1);
    bytes[0] = static_cast<unsigned char>(len);
    int size = b.type == 6 ? len + 1 : len;
    if (size > b.valueLength)
      raise(6502);
    std::memcpy(p, b.type == 6 ? bytes : bytes + 1, static_cast<size_t>(size));
    if (b.length)
      *b.length = static_cast<uint16_t>(size);
    if (b.indicator)
      *b.indicator = 0;
    return;
  }
  if (b.type == 3 || b.type == 4) {
    if (v.t == VType::Boolean)
      raise(6502);
    Value n = toNumber(v);
    if (b.type == 4) {
      double d = n.n.toDouble();
      if (b.valueLength == 4) {
        float f = static_cast<float>(d);
        std::memcpy(p, &f, 4);
      } else {
        std::memcpy(p, &d, 8);
      }
    } else {
      int64_t x = clampToInt(roundNumber(n.n, 0), INT64_MAX);
      int bits = b.valueLength == 1 ? 8 : b.valueLength == 2 ? 16 : b.valueLength == 8 ? 64 : 32;
      if (bits < 64 && (x >= (int64_t(1) << (bits - 1)) || x < -(int64_t(1) << (bits - 1))))
        raise(6502);
      if (bits == 8) {
        int8_t y = static_cast<int8_t>(x);
        std::memcpy(p, &y, 1);
      } else if (bits == 16) {
        int16_t y = static_cast<int16_t>(x);
        std::memcpy(p, &y, 2);
      } else if (bits == 64) {
        std::memcpy(p, &x, 8);
      } else {
        int32_t y = static_cast<int32_t>(x);
        std::memcpy(p, &y, 4);
      }
    }
    if (b.indicator)
      *b.indicator = 0;
    return;
  }
  if (v.t == VType::Boolean)
    raise(6502);
  Value t = toText(v, dateFormat);
  bool nul = b.type == 5 || b.type == 97;
  size_t room =
      static_cast<size_t>(std::max(0, b.valueLength)) - (nul && b.valueLength > 0 ? 1 : 0);
  if (t.s.size() > room)
    raise(6502, "PL/SQL: numeric or value error: character string buffer too small");
  std::memcpy(p, t.s.data(), t.s.size());
  if (nul)
    p[t.s.size()] = 0;
  if (b.length)
    *b.length = static_cast<uint16_t>(t.s.size());
  if (b.indicator)
    *b.indicator = 0;
}

// Element i of a host array as a bind of its own.
HostBind hostElement(const HostBind &b, uint32_t i) {
  HostBind e;
  e.type = b.type;
  e.valueLength = b.valueLength;
  if (b.value)
    e.value = static_cast<char *>(b.value) + static_cast<size_t>(std::max(0, b.valueLength)) * i;
  e.indicator = b.indicator ? b.indicator + i : nullptr;
  e.length = b.length ? b.length + i : nullptr;
  e.returnCode = b.returnCode ? b.returnCode + i : nullptr;
  return e;
}

const char *kTableOutOfRange =
    "PL/SQL: index for PL/SQL table out of range for host language array";

// A host array bound as a PL/SQL table: elements 1 .. the current length.
Value readHostTable(const HostBind &b, const std::string &dateFormat) {
  uint32_t n = b.currentElements ? *b.currentElements : 0;
  if (n > b.maxElements)
    raise(6513, kTableOutOfRange);
  Value v;
  v.t = VType::Table;
  v.tab = std::make_shared<PlTable>();
  for (uint32_t i = 0; i < n; ++i)
    v.tab->elements[static_cast<int32_t>(i + 1)] = readHost(hostElement(b, i), dateFormat);
  return v;
}

// A PL/SQL table back into the host array: element k at k - 1, missing ones NULL, the current
// length the highest index. An index outside 1 .. the array's maximum is refused before
// anything is written.
void writeHostTable(const HostBind &b, const Value &v, const std::string &dateFormat) {
  uint32_t n = 0;
  if (v.t == VType::Table && v.tab && !v.tab->elements.empty()) {
    int32_t low = v.tab->elements.begin()->first, high = v.tab->elements.rbegin()->first;
    if (low < 1 || static_cast<uint32_t>(high) > b.maxElements)
      raise(6513, kTableOutOfRange);
    n = static_cast<uint32_t>(high);
  } else if (!v.isNull() && v.t != VType::Table) {
    raise(6502);
  }
  for (uint32_t i = 0; i < n; ++i) {
    auto it = v.tab->elements.find(static_cast<int32_t>(i + 1));
    writeHost(hostElement(b, i), it == v.tab->elements.end() ? Value() : it->second, dateFormat);
  }
  if (b.currentElements)
    *b.currentElements = n;
}

OraError compileFailure(const CompiledUnit &cu) {
  std::string m;
  int offset = -1;
  for (const PlacedError &e : place(cu)) {
    if (!m.empty())
      m += "\n";
    m += "ORA-06550: line " + std::to_string(e.line) + ", column " + std::to_string(e.position) +
         ":\n" + e.text;
  }
  if (!cu.errors.empty() && !cu.errors[0].unitLevel)
    offset = cu.errors[0].pos;
  return OraError{6550, m, offset};
}

OraError runFailure(const PlsqlError &e) {
  std::string m = e.user && !e.user->bound ? oraMessage(6510) : e.message;
  int code = e.user && !e.user->bound ? 6510 : e.code;
  for (const std::string &t : e.trace)
    m += "\n" + t;
  return OraError{code, m, -1};
}

// Compiled blocks hold on to what they were compiled against: any unit change in this process
// or any schema change of the file makes them compile again.
void syncGeneration(Session &s, UnitState &st) {
  long g = gGeneration.load();
  long epoch = s.catalogEpoch();
  if (st.generation != g || st.catalogEpoch != epoch) {
    st.blocks.clear();
    st.generation = g;
    st.catalogEpoch = epoch;
  }
}

// Units an automatic recompile made whole are VALID again in the dictionary, written outside
// any transaction of the caller's (inside one, they stay INVALID there and compile again).
void markRecompiled(Session &s, UnitState &st) {
  if (st.recompiled.empty() || !sqlite3_get_autocommit(s.db()))
    return;
  std::vector<std::shared_ptr<const CompiledUnit>> units;
  units.swap(st.recompiled);
  if (sqlite3_exec(s.db(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    return;
  try {
    for (const auto &cu : units)
      storeErrorsAndDeps(s.db(), *cu, cu->owner, cu->name, cu->type);
    s.exec("COMMIT");
  } catch (...) {
    sqlite3_exec(s.db(), "ROLLBACK", nullptr, nullptr, nullptr);
  }
}

// A call from the client is one statement: when it fails, what it changed is undone and the
// transaction's earlier work stays. A transaction already open gets a savepoint (one SQLite
// statement per call, none per statement inside); one that began inside the call (also after
// a COMMIT in it) is the call's own and is rolled back whole.
class CallAtomicity {
public:
  explicit CallAtomicity(Session &s)
      : FSession(s), FSerial(s.transactionSerial()), FSavepoints(s.savepointsSet()) {
    FMarked = s.inTransaction() && sqlite3_exec(s.db(), "SAVEPOINT \"plsql$call\"", nullptr,
                                                nullptr, nullptr) == SQLITE_OK;
  }
  void failed() {
    if (!FSession.inTransaction())
      return;
    if (FSession.transactionSerial() != FSerial) {
      try {
        FSession.rollback();
      } catch (const OraError &) {
        // The call's own error is the one to report.
      }
      return;
    }
    // Gone when the call rolled back to a savepoint set before it: nothing of the call is left.
    if (FMarked && sqlite3_exec(FSession.db(), "ROLLBACK TO \"plsql$call\"", nullptr, nullptr,
                                nullptr) == SQLITE_OK)
      release();
  }
  void succeeded() {
    // Releasing would take the savepoints the call set with it: those stay, and ours with them.
    if (FMarked && FSession.inTransaction() && FSession.transactionSerial() == FSerial &&
        FSession.savepointsSet() == FSavepoints)
      release();
  }

private:
  Session &FSession;
  long FSerial, FSavepoints;
  bool FMarked = false;
  void release() {
    sqlite3_exec(FSession.db(), "RELEASE \"plsql$call\"", nullptr, nullptr, nullptr);
  }
};

int runBlock(Session &s, const std::string &text, const HostBindLookup &binds,
             bool compileOnlyFlag) {
  UnitState &st = stateOf(s);
  syncGeneration(s, st);
  std::shared_ptr<const CompiledUnit> cu;
  auto it = st.blocks.find(text);
  if (it != st.blocks.end()) {
    cu = it->second;
  } else {
    cu = compileText(s, s.user(), text, true);
    if (st.blocks.size() > 64)
      st.blocks.clear();
    if (cu->valid()) // a failing block is compiled again: what it lacked may exist next time
      st.blocks[text] = cu;
  }
  markRecompiled(s, st);
  if (!cu->valid())
    throw compileFailure(*cu);
  if (compileOnlyFlag)
    return 0;
  const Unit &u = *cu->unit;
  HostValues host;
  std::vector<HostBind> slots(u.bindNames.size());
  // A host value that does not fit fails as the block would, not as an internal error.
  try {
    for (size_t i = 0; i < u.bindNames.size(); ++i) {
      if (!binds || !binds(u.bindNames[i], slots[i]))
        throw oraError(1008);
      host.values.push_back(readHost(slots[i], s.dateFormat));
      host.assigned.push_back(false);
    }
  } catch (const PlsqlError &e) {
    throw runFailure(e);
  }
  s.clearBreak();
  Interp in(s, st);
  CallAtomicity call(s);
  try {
    in.runBlock(u, host);
  } catch (const PlsqlError &e) {
    call.failed();
    throw runFailure(e);
  } catch (...) {
    call.failed();
    throw;
  }
  call.succeeded();
  try {
    for (size_t i = 0; i < slots.size(); ++i)
      if (host.assigned[i])
        writeHost(slots[i], host.values[i], s.dateFormat);
  } catch (const PlsqlError &e) {
    throw runFailure(e);
  }
  return 0;
}

// ---------------------------------------------------------------- stored functions in SQL

std::mutex gSessionsLock;
std::map<sqlite3 *, Session *> gSessions;

Session *sessionOf(sqlite3 *db) {
  std::lock_guard<std::mutex> lock(gSessionsLock);
  auto it = gSessions.find(db);
  return it == gSessions.end() ? nullptr : it->second;
}

localdb::TypeInfo sqlTypeInfo(const Type &t) {
  localdb::TypeInfo i;
  i.type = t.kind == VType::Number ? SqlType::Number
           : t.kind == VType::Date ? SqlType::Date
                                   : SqlType::Varchar2;
  i.length = t.kind == VType::Char ? (t.length > 0 ? t.length : 2000) : 0;
  return i;
}

// Finds the function a SQL call names: NAME, PKG.NAME, OWNER.NAME, OWNER.PKG.NAME. The call
// becomes ora_plsql('<key>', args...) where the key names the unit and the member.
bool resolveStoredFunction(sqlite3 *db, const std::string &schema, localdb::Expr &e) {
  Session *s = sessionOf(db);
  if (!s || e.names.empty() || e.names.size() > 3)
    return false;
  std::vector<std::string> n = e.names;
  auto tryUnit = [&](const std::string &owner, const std::string &unit,
                     const std::string *member) -> bool {
    bool invalid = false;
    std::shared_ptr<const CompiledUnit> cu;
    const Unit *u = nullptr;
    // The function being compiled, when its body calls it: its signature is bound by now.
    auto &compiling = stateOf(*s).functionsInCompile;
    auto self = member ? compiling.end() : compiling.find(unitKey(owner, unit, "FUNCTION"));
    if (self != compiling.end()) {
      u = self->second;
    } else {
      cu = loadUnit(*s, owner, unit, member ? "PACKAGE" : "FUNCTION", invalid);
      u = cu ? cu->unit.get() : nullptr;
    }
    if ((u || invalid) && owner != schema) {
      // Another schema's function exists for this one only through EXECUTE on it.
      if (!objectPrivileges(db, schema, owner, unit).has("EXECUTE"))
        return false;
    }
    if (invalid)
      throw oraErrorText(6575, "Package or function " + unit + " is in an invalid state", e.pos);
    if (!u)
      return false;
    const Subprogram *found = nullptr;
    int index = 0, at = 0;
    if (!member) {
      found = u->sub.get();
    } else {
      for (const Decl &d : u->decls) {
        ++at;
        if (d.kind == Decl::Sub && d.sub->name == *member && d.sub->isFunction &&
            d.sub->params.size() >= e.args.size()) {
          bool fits = true;
          for (size_t k = e.args.size(); k < d.sub->params.size(); ++k)
            if (!d.sub->params[k].defaultValue)
              fits = false;
          if (fits && !found) {
            found = d.sub.get();
            index = at;
          }
        }
      }
    }
    if (!found || !found->isFunction || found->params.size() < e.args.size())
      throw oraErrorText(904, "invalid column name", e.pos);
    for (const Param &p : found->params)
      if (p.mode != Param::In)
        throw oraErrorText(6572, "Function " + found->name + " has out arguments", e.pos);
    auto key = std::make_unique<localdb::Expr>();
    key->kind = ExprKind::String;
    key->pos = e.pos;
    key->text = owner + "." + unit + (member ? "." + *member + "#" + std::to_string(index) : "");
    e.args.insert(e.args.begin(), std::move(key));
    e.sqlName = "ora_plsql";
    e.type = sqlTypeInfo(found->returnType);
    return true;
  };
  if (n.size() == 1)
    return tryUnit(schema, n[0], nullptr);
  if (n.size() == 2)
    return tryUnit(schema, n[0], &n[1]) || tryUnit(n[0], n[1], nullptr);
  return tryUnit(n[0], n[1], &n[2]);
}

void callStoredFunction(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  Session *s = static_cast<Session *>(sqlite3_user_data(ctx));
  try {
    std::string key = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    size_t d1 = key.find('.'), d2 = key.find('.', d1 + 1), hash = key.find('#');
    std::string owner = key.substr(0, d1);
    std::string unit =
        key.substr(d1 + 1, d2 == std::string::npos ? std::string::npos : d2 - d1 - 1);
    bool invalid = false;
    std::shared_ptr<const CompiledUnit> cu =
        loadUnit(*s, owner, unit, d2 == std::string::npos ? "FUNCTION" : "PACKAGE", invalid);
    if (!cu)
      throw oraErrorText(6575, "Package or function " + unit + " is in an invalid state");
    const Subprogram *sp = nullptr;
    if (d2 == std::string::npos) {
      sp = cu->unit->sub.get();
    } else {
      int index = std::atoi(key.c_str() + hash + 1);
      if (index >= 1 && static_cast<size_t>(index) <= cu->unit->decls.size())
        sp = cu->unit->decls[static_cast<size_t>(index - 1)].sub.get();
    }
    if (!sp)
      throw oraError(6508);
    std::vector<Value> args;
    for (int i = 1; i < argc; ++i) {
      switch (sqlite3_value_type(argv[i])) {
      case SQLITE_INTEGER:
        args.push_back(Value::integer(sqlite3_value_int64(argv[i])));
        break;
      case SQLITE_FLOAT:
        args.push_back(Value::number(storedNumber(argv[i]).value_or(OraNum{})));
        break;
      case SQLITE_BLOB: // a number other than an int64 (no RAW parameters reach here as numbers)
        if (sp->params[static_cast<size_t>(i - 1)].type.kind == VType::Number) {
          auto n = storedNumber(argv[i]);
          if (!n)
            throw oraError(932);
          args.push_back(Value::number(*n));
        } else {
          args.push_back(
              Value::text(std::string(static_cast<const char *>(sqlite3_value_blob(argv[i])),
                                      static_cast<size_t>(sqlite3_value_bytes(argv[i])))));
        }
        break;
      case SQLITE_NULL:
        args.push_back(Value());
        break;
      default: {
        const char *t = reinterpret_cast<const char *>(sqlite3_value_text(argv[i]));
        Value v = Value::text(t ? t : "");
        const Type &pt = sp->params[static_cast<size_t>(i - 1)].type;
        if (pt.kind == VType::Date && loadDate(v.s.data(), v.s.size()))
          v.t = VType::Date; // dates travel as their stored text
        args.push_back(v);
      }
      }
    }
    Interp in(*s, stateOf(*s));
    Value r;
    try {
      r = in.callFunction(*sp, std::move(args));
    } catch (const PlsqlError &e) {
      OraError oe = runFailure(e);
      throw oe;
    }
    switch (r.t) {
    case VType::Null:
      sqlite3_result_null(ctx);
      break;
    case VType::Number:
      resultNumber(ctx, r.n);
      break;
    case VType::Char:
    case VType::Date:
      sqlite3_result_text(ctx, r.s.data(), static_cast<int>(r.s.size()), SQLITE_TRANSIENT);
      break;
    default:
      throw oraError(6502);
    }
  } catch (const OraError &e) {
    sqlite3_result_error(ctx, e.message.c_str(), -1);
  } catch (const PlsqlError &e) {
    sqlite3_result_error(ctx, runFailure(e).message.c_str(), -1);
  }
}

Value fromSqlite(sqlite3_value *v, SqlType type) {
  switch (sqlite3_value_type(v)) {
  case SQLITE_NULL:
    return Value();
  case SQLITE_INTEGER:
    return Value::integer(sqlite3_value_int64(v));
  case SQLITE_FLOAT:
    return Value::number(storedNumber(v).value_or(OraNum{}));
  case SQLITE_BLOB:
    if (type == SqlType::Number)
      if (auto n = storedNumber(v))
        return Value::number(*n);
    return Value::text(std::string(static_cast<const char *>(sqlite3_value_blob(v)),
                                   static_cast<size_t>(sqlite3_value_bytes(v))));
  default: {
    const char *t = reinterpret_cast<const char *>(sqlite3_value_text(v));
    Value x = Value::text(t ? t : "");
    if (type == SqlType::Date && !x.isNull())
      x.t = VType::Date;
    else if (type == SqlType::Number && !x.isNull())
      x = toNumber(x);
    return x;
  }
  }
}

bool sameValue(const Value &a, const Value &b) {
  if (a.t != b.t)
    return false;
  if (a.t == VType::Number)
    return compareNumbers(a.n, b.n) == 0;
  return a.s == b.s;
}

// Makes a statement the innermost one its row triggers' hooks see, for its lifetime.
struct EnterRowStatement {
  UnitState &st;
  RowStatement *outer;
  EnterRowStatement(UnitState &state, RowStatement &row) : st(state), outer(state.rowStatement) {
    st.rowStatement = &row;
  }
  ~EnterRowStatement() { st.rowStatement = outer; }
  EnterRowStatement(const EnterRowStatement &) = delete;
  EnterRowStatement &operator=(const EnterRowStatement &) = delete;
};

bool setsAnyOf(const std::vector<std::string> &set, const std::vector<std::string> &of) {
  for (const std::string &c : set)
    if (std::find(of.begin(), of.end(), c) != of.end())
      return true;
  return false;
}

// Writes a row a BEFORE trigger changed in place of the one SQLite was about to write: an
// INSERT of all its columns or an UPDATE of all of them by rowid. Its own hooks fire, except
// those of the triggers that already ran for the row.
void writeBack(Session &s, UnitState &st, RowStatement &row, const Unit &u, int event,
               int64_t rowid, const std::vector<Value> &values) {
  std::string tOwner = u.trigger.table.size() > 1 ? u.trigger.table[0] : u.owner;
  std::string table = u.trigger.table.back();
  std::vector<std::string> names;
  if (values.size() <= u.triggerColumns.size()) {
    for (size_t i = 0; i < values.size(); ++i)
      names.push_back(u.triggerColumns[i].name);
  } else { // the table got columns since the trigger was compiled
    for (const ColumnInfo &c : loadColumns(s.db(), tOwner, table))
      names.push_back(c.name);
    if (names.size() < values.size())
      throw oraErrorArg(4098, u.owner + "." + u.name);
  }
  std::string sql;
  if (event == 1) {
    std::string list, params;
    for (size_t i = 0; i < values.size(); ++i) {
      list += (i ? ", " : "") + quoteIdent(names[i]);
      params += (i ? ", ?" : "?") + std::to_string(i + 1);
    }
    sql = "INSERT INTO " + physicalName(tOwner, table) + "(" + list + ") VALUES (" + params + ")";
  } else {
    std::string set;
    for (size_t i = 0; i < values.size(); ++i)
      set += (i ? ", " : "") + quoteIdent(names[i]) + " = ?" + std::to_string(i + 1);
    sql = "UPDATE " + physicalName(tOwner, table) + " SET " + set + " WHERE rowid = ?" +
          std::to_string(values.size() + 1);
  }
  RowStatement nested;
  nested.writeBack = true;
  nested.ran = row.ran;
  nested.updateColumns = row.updateColumns;
  EnterRowStatement enter(st, nested);
  sqlite3_stmt *q = s.takeStatement(sql);
  for (size_t i = 0; i < values.size(); ++i)
    bindParam(q, static_cast<int>(i + 1), values[i]);
  if (event == 2)
    sqlite3_bind_int64(q, static_cast<int>(values.size() + 1), rowid);
  int rc = sqlite3_step(q);
  OraError failure;
  if (rc != SQLITE_DONE) {
    std::string m = sqlite3_errmsg(s.db());
    if (int code = oraCodeOf(m))
      failure = OraError{code, m, -1};
    else if ((rc & 0xff) != SQLITE_CONSTRAINT || !mapConstraintError(s.db(), m, failure))
      failure = sqliteError(s.db(), rc);
  }
  sqlite3_reset(q);
  s.giveBackStatement(q);
  if (rc != SQLITE_DONE)
    throw failure;
}

const int kMaxTriggerDepth = 50;

// ora_trigger(trigger, event, rowid, new values..., old values...): runs a row trigger. A
// BEFORE hook skips SQLite's row when it returns 1: the trigger changed :new and the row was
// written with its values.
void fireTrigger(sqlite3_context *ctx, int argc, sqlite3_value **argv) {
  Session *s = static_cast<Session *>(sqlite3_user_data(ctx));
  std::string key = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
  size_t dot = key.find('.');
  std::string owner = key.substr(0, dot), name = key.substr(dot + 1);
  try {
    bool invalid = false;
    auto cu = loadUnit(*s, owner, name, "TRIGGER", invalid);
    if (!cu)
      throw oraErrorArg(4098, owner + "." + name);
    const Unit &u = *cu->unit;
    int code = sqlite3_value_int(argv[1]);
    int event = code & 3;
    // A hook an earlier version made runs a BEFORE trigger after SQLite wrote the row (until a
    // logon makes it again): the trigger's changes then update that row.
    bool late = u.trigger.before && !(code & kBeforeHook);
    UnitState &st = stateOf(*s);
    RowStatement &row = st.rowStatement ? *st.rowStatement : st.looseRow;
    // A write-back sets every column, but UPDATE OF goes by what the statement set.
    if (row.writeBack && event == 2 && !u.trigger.updateColumns.empty() && row.updateColumns &&
        !setsAnyOf(*row.updateColumns, u.trigger.updateColumns)) {
      sqlite3_result_int(ctx, 0);
      return;
    }
    bool rewrites = u.trigger.before && event != 3;
    if (rewrites && !late) {
      bool again = std::find(row.ran.begin(), row.ran.end(), key) != row.ran.end();
      if (again && row.writeBack) {
        sqlite3_result_int(ctx, 0); // it ran for this row before the row was written back
        return;
      }
      if (again)
        row.ran.clear(); // the next row
      row.ran.push_back(key);
    }
    if (st.triggerDepth >= kMaxTriggerDepth)
      throw oraErrorText(36, "maximum number of recursive SQL levels (" +
                                 std::to_string(kMaxTriggerDepth) + ") exceeded");
    struct Nest {
      int &depth;
      explicit Nest(int &d) : depth(++d) {}
      ~Nest() { --depth; }
    } nest(st.triggerDepth);
    int64_t rowid = sqlite3_value_int64(argv[2]);
    size_t n = static_cast<size_t>(argc - 3) / 2;
    Record newRow, oldRow;
    for (size_t i = 0; i < n; ++i) {
      SqlType t = i < u.triggerColumns.size() ? u.triggerColumns[i].type : SqlType::Varchar2;
      newRow.fields.push_back(fromSqlite(argv[3 + i], t));
      oldRow.fields.push_back(fromSqlite(argv[3 + n + i], t));
    }
    // Columns the trigger knows but the hook does not pass (a table altered since) stay NULL.
    newRow.fields.resize(std::max(n, u.triggerColumns.size()));
    oldRow.fields.resize(newRow.fields.size());
    std::vector<Value> before = newRow.fields;
    Interp in(*s, st);
    try {
      in.runTrigger(u, event == 3 ? nullptr : &newRow, event == 1 ? nullptr : &oldRow, event);
    } catch (const PlsqlError &e) {
      OraError oe = runFailure(e);
      oe.message += "\nORA-04088: error during execution of trigger '" + owner + "." + name + "'";
      throw oe;
    }
    bool changed = false;
    for (size_t i = 0; rewrites && i < n && !changed; ++i)
      changed = !sameValue(before[i], newRow.fields[i]);
    if (changed && late) {
      newRow.fields.resize(n);
      writeBack(*s, st, row, u, 2, rowid, newRow.fields);
      changed = false; // SQLite wrote and counted the row
    } else if (changed) {
      newRow.fields.resize(n);
      writeBack(*s, st, row, u, event, rowid, newRow.fields);
      ++row.writtenBack;
    }
    sqlite3_result_int(ctx, changed ? 1 : 0);
  } catch (const OraError &e) {
    sqlite3_result_error(ctx, e.message.c_str(), -1);
  } catch (const PlsqlError &e) {
    sqlite3_result_error(ctx, runFailure(e).message.c_str(), -1);
  }
}

struct InstallResolver {
  InstallResolver() {
    setStoredFunctionResolver(&resolveStoredFunction);
    setTableTriggersRebuilt(&tableTriggersRebuilt);
  }
} gInstallResolver;

// A statement trigger the statement's table has for its event.
struct StatementTrigger {
  std::string owner, name;
  std::shared_ptr<const CompiledUnit> unit;
};

// The names of the table's enabled statement triggers for the event, read once per catalog
// state.
const std::vector<std::pair<std::string, std::string>> &
triggerNames(Session &s, UnitState &st, const DmlTarget &t, const char *word) {
  std::string key = t.owner + "." + t.table + " " + word;
  auto found = st.statementTriggers.find(key);
  if (found != st.statementTriggers.end())
    return found->second;
  std::vector<std::pair<std::string, std::string>> names;
  sqlite3_stmt *q = keptStatement(
      s.db(), "SELECT owner, trigger_name FROM ora_triggers WHERE table_owner = ?1 AND "
              "table_name = ?2 AND status = 'ENABLED' AND trigger_type LIKE '% STATEMENT' "
              "AND instr(triggering_event, ?3) > 0 ORDER BY owner, trigger_name");
  KeptReset done{q};
  sqlite3_bind_text(q, 1, t.owner.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(q, 2, t.table.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(q, 3, word, -1, SQLITE_STATIC);
  while (sqlite3_step(q) == SQLITE_ROW)
    names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(q, 0)),
                       reinterpret_cast<const char *>(sqlite3_column_text(q, 1)));
  if (st.statementTriggers.size() >= 256) {
    st.statementTriggers.clear();
    st.lastTriggers = nullptr;
  }
  return st.statementTriggers.emplace(key, std::move(names)).first->second;
}

std::vector<StatementTrigger> statementTriggers(Session &s, const DmlTarget &t) {
  const char *word = t.event == 1 ? "INSERT" : t.event == 2 ? "UPDATE" : "DELETE";
  UnitState &st = stateOf(s);
  long g = gGeneration.load(), epoch = s.catalogEpoch();
  if (st.triggersGeneration != g || st.triggersEpoch != epoch) {
    st.statementTriggers.clear();
    st.lastTriggers = nullptr;
    st.triggersGeneration = g;
    st.triggersEpoch = epoch;
  }
  if (!st.lastTriggers || st.lastEvent != t.event || st.lastTable != t.table ||
      st.lastOwner != t.owner) {
    st.lastTriggers = &triggerNames(s, st, t, word);
    st.lastOwner = t.owner;
    st.lastTable = t.table;
    st.lastEvent = t.event;
  }
  if (st.lastTriggers->empty())
    return {};
  std::vector<StatementTrigger> out;
  for (const auto &[owner, name] : *st.lastTriggers)
    out.push_back({owner, name, nullptr});
  for (StatementTrigger &tr : out) {
    bool invalid = false;
    tr.unit = loadUnit(s, tr.owner, tr.name, "TRIGGER", invalid);
    if (!tr.unit)
      throw oraErrorArg(4098, tr.owner + "." + tr.name);
  }
  // UPDATE OF columns: only an update of one of them fires the trigger.
  if (t.event == 2)
    out.erase(std::remove_if(out.begin(), out.end(),
                             [&](const StatementTrigger &tr) {
                               const auto &of = tr.unit->unit->trigger.updateColumns;
                               if (of.empty())
                                 return false;
                               for (const std::string &c : t.columns)
                                 if (std::find(of.begin(), of.end(), c) != of.end())
                                   return false;
                               return true;
                             }),
              out.end());
  return out;
}

void runStatementTriggers(Session &s, const std::vector<StatementTrigger> &list, bool before,
                          int event) {
  for (const StatementTrigger &tr : list) {
    const Unit &u = *tr.unit->unit;
    if (u.trigger.before != before)
      continue;
    Interp in(s, stateOf(s));
    try {
      in.runTrigger(u, nullptr, nullptr, event);
    } catch (const PlsqlError &e) {
      OraError oe = runFailure(e);
      oe.message +=
          "\nORA-04088: error during execution of trigger '" + tr.owner + "." + tr.name + "'";
      throw oe;
    }
  }
}

} // namespace

void attachSession(sqlite3 *db, Session *s) {
  if (!db)
    return;
  {
    std::lock_guard<std::mutex> lock(gSessionsLock);
    gSessions[db] = s;
  }
  sqlite3_create_function_v2(db, "ora_plsql", -1, SQLITE_UTF8, s, callStoredFunction, nullptr,
                             nullptr, nullptr);
  sqlite3_create_function_v2(db, "ora_trigger", -1, SQLITE_UTF8, s, fireTrigger, nullptr, nullptr,
                             nullptr);
  renewStaleHooks(db);
}

void detachSession(sqlite3 *db) {
  std::lock_guard<std::mutex> lock(gSessionsLock);
  gSessions.erase(db);
}

PlsqlText plsqlTextKind(const std::string &text) {
  // Most texts are SQL, and their first word says so without lexing.
  size_t w = 0;
  while (w < text.size() && std::isspace(static_cast<unsigned char>(text[w])))
    ++w;
  if (w < text.size() && std::isalpha(static_cast<unsigned char>(text[w]))) {
    size_t e = w;
    std::string word;
    while (e < text.size() && word.size() < 8 && std::isalpha(static_cast<unsigned char>(text[e])))
      word += static_cast<char>(std::toupper(static_cast<unsigned char>(text[e++])));
    if (word != "BEGIN" && word != "DECLARE" && word != "CREATE" && word != "DROP" &&
        word != "ALTER")
      return PlsqlText::None;
  }
  std::vector<Token> t = headTokens(text, 8);
  if (t[0].kind == Tok::End)
    return PlsqlText::None;
  if (t[0].is("BEGIN") || t[0].is("DECLARE") || t[0].is("<<"))
    return PlsqlText::Block;
  size_t i = 1;
  if (t[0].is("CREATE")) {
    if (t[1].is("OR") && t[2].is("REPLACE"))
      i = 3;
    if (kindOfWord(t, i) != UnitKind::Anonymous)
      return PlsqlText::Create;
    return PlsqlText::None;
  }
  if (t[0].is("DROP") && kindOfWord(t, i) != UnitKind::Anonymous)
    return PlsqlText::Drop;
  if (t[0].is("ALTER") && kindOfWord(t, i) != UnitKind::Anonymous)
    return PlsqlText::AlterCompile;
  return PlsqlText::None;
}

int runPlsql(Session &s, const std::string &text, const HostBindLookup &binds, bool compileOnly) {
  PlsqlText what = plsqlTextKind(text);
  if (what == PlsqlText::Block)
    return runBlock(s, text, binds, compileOnly);
  // A header is a few words; ALTER ... COMPILE may add options, and anything past them is an
  // error the header reader reports.
  std::vector<Token> t = headTokens(text, what == PlsqlText::AlterCompile ? 64 : 12);
  UnitHeader h;
  if (!readHeader(t, what, h))
    throw oraError(900, 0);
  switch (what) {
  case PlsqlText::Create: {
    std::string owner = ownerFor(s, h, "CREATE");
    std::string source = text.substr(static_cast<size_t>(h.keywordPos));
    // Trailing blanks and line feeds are not part of the unit.
    while (!source.empty() && std::isspace(static_cast<unsigned char>(source.back())))
      source.pop_back();
    return storeUnit(s, owner, h, source, true) ? 0 : 0x20;
  }
  case PlsqlText::Drop:
    dropUnit(s, h);
    return 0;
  case PlsqlText::AlterCompile:
    return alterUnit(s, h);
  default:
    throw oraError(900, 0);
  }
}

std::vector<PlacedError> compileOnly(Session &s, const std::string &text, bool anonymous) {
  auto cu = compileText(s, s.user(), text, anonymous);
  return place(*cu);
}

std::vector<std::string> takeOutput(Session &s) { return stateOf(s).output.getLines(1000000); }

void runWithStatementTriggers(Session &s, const DmlTarget &target, const std::function<void()> &run,
                              bool *undone) {
  RowStatement row;
  row.updateColumns = &target.columns;
  EnterRowStatement enter(stateOf(s), row);
  std::vector<StatementTrigger> list;
  if (target.event != 0 && !target.table.empty())
    list = statementTriggers(s, target);
  // While its rows change the table is mutating for what its row triggers run, except under a
  // single-row INSERT ... VALUES.
  UnitState &st = stateOf(s);
  bool mutating = target.event != 0 && !target.table.empty() && !target.singleRow;
  struct Mutating {
    std::vector<const DmlTarget *> *list;
    ~Mutating() {
      if (list)
        list->pop_back();
    }
  };
  auto changeRows = [&] {
    if (mutating)
      st.mutating.push_back(&target);
    Mutating guard{mutating ? &st.mutating : nullptr};
    run();
  };
  if (list.empty()) {
    changeRows();
    return;
  }
  // The savepoint undoes the triggers' and the statement's changes when one of them fails.
  // Inside another statement's row trigger SQLite opens none; that statement's failure then
  // undoes everything anyway.
  bool marked =
      sqlite3_exec(s.db(), "SAVEPOINT \"plsql$statement\"", nullptr, nullptr, nullptr) == SQLITE_OK;
  try {
    runStatementTriggers(s, list, true, target.event);
    changeRows();
    runStatementTriggers(s, list, false, target.event);
  } catch (...) {
    if (marked) {
      sqlite3_exec(s.db(), "ROLLBACK TO \"plsql$statement\"", nullptr, nullptr, nullptr);
      sqlite3_exec(s.db(), "RELEASE \"plsql$statement\"", nullptr, nullptr, nullptr);
      if (undone)
        *undone = true;
    }
    throw;
  }
  if (marked)
    sqlite3_exec(s.db(), "RELEASE \"plsql$statement\"", nullptr, nullptr, nullptr);
}

int changedRows(Session &s) {
  int n = sqlite3_changes(s.db());
  RowStatement *row = stateOf(s).rowStatement;
  if (row) {
    n += row->writtenBack;
    row->writtenBack = 0;
  }
  return n;
}

std::shared_ptr<const Unit> storedUnit(Session &s, const std::string &owner,
                                       const std::string &name, const std::string &type,
                                       bool &invalid) {
  std::shared_ptr<const CompiledUnit> cu = loadUnit(s, owner, name, type, invalid);
  if (!cu)
    return nullptr;
  return std::shared_ptr<const Unit>(cu, cu->unit.get());
}

} // namespace localdb::plsql
