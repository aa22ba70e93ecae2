// Stored PL/SQL units: the per-logon cache of compiled units, and the entry points that
// compile and run an anonymous block with the caller's bind variables or hand a statement to the
// DDL of units.
#include "localdb/plsql/PlsqlUnits.h"
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

std::string unitKey(const std::string &owner, const std::string &name, const std::string &type) {
  return owner + "." + name + "." + type;
}

// ---------------------------------------------------------------- compiled units

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
  case UnitKind::Type:
    return "TYPE";
  case UnitKind::TypeBody:
    return "TYPE BODY";
  default:
    return "";
  }
}

// Loads (and compiles) a stored unit for use; null when it does not exist. invalid: it exists
// but does not compile.
std::shared_ptr<const CompiledUnit> loadUnit(Session &s, const std::string &owner,
                                             const std::string &name, const std::string &type,
                                             bool &invalid) {
  invalid = false;
  UnitState &st = stateOf(s);
  std::string key = unitKey(owner, name, type);
  // The object's row as it was when the cached unit was compiled: the serial of its last change
  // (also by another process, within the second last_ddl_time shows) and its status.
  std::string status, ddl;
  long long serial = 0;
  {
    // Asked for each row a trigger fires on and each call: kept prepared.
    sqlite3_stmt *q =
        keptStatement(s.db(), "SELECT status, last_ddl_time, ddl_serial FROM ora_objects "
                              "WHERE owner = ?1 AND object_name = ?2 AND object_type = ?3");
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
    serial = sqlite3_column_int64(q, 2);
  }
  std::string stamp = ddl + "/" + status + "/" + std::to_string(serial);
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
    for (const char *type : {"PACKAGE", "PROCEDURE", "FUNCTION", "TYPE"}) {
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
  cu->unit = parseUnit(text, anonymous, cu->errors, s.modernSql());
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
  ctx.modern = s.modernSql();
  if (u.kind == UnitKind::PackageBody || u.kind == UnitKind::TypeBody) {
    bool invalid = false;
    auto spec =
        loadUnit(s, u.owner, u.name, u.kind == UnitKind::TypeBody ? "TYPE" : "PACKAGE", invalid);
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
  if (spec->kind == UnitKind::Type) {
    // An object type's methods: its body as compiled against this specification.
    auto body = loadUnit(s, spec->owner, spec->name, "TYPE BODY", invalid);
    if (body && body->unit->spec != spec) {
      stateOf(s).units.erase(unitKey(spec->owner, spec->name, "TYPE BODY"));
      body = loadUnit(s, spec->owner, spec->name, "TYPE BODY", invalid);
    }
    if (invalid || (body && body->unit->spec != spec))
      raise(4063, "type body \"" + spec->owner + "." + spec->name + "\" has errors");
    keep = body;
    return body ? body->unit.get() : nullptr;
  }
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
    stateOf(s).units.erase(unitKey(spec->owner, spec->name, "PACKAGE BODY"));
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

// Compiled blocks hold on to what they were compiled against: any change of the catalog (by
// this logon, another one or another process) makes them compile again, and package instances
// look for a new body.
void syncGeneration(Session &s, UnitState &st) {
  long epoch = s.catalogEpoch();
  if (st.generation != epoch) {
    st.blocks.clear();
    st.generation = epoch;
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

// ---------------------------------------------------------------- catalog helpers

void ensureTables(sqlite3 *db) {
  execSql(db, "CREATE TABLE IF NOT EXISTS ora_dependencies(owner TEXT NOT NULL, name TEXT NOT "
              "NULL, type TEXT NOT NULL, referenced_owner TEXT, referenced_name TEXT, "
              "referenced_type TEXT, referenced_link_name TEXT, dependency_type TEXT)");
}

} // namespace localdb::plsql::units

namespace localdb::plsql {

using namespace units;

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
  // Oracle 7.3 had no types of its own.
  if ((h.kind == UnitKind::Type || h.kind == UnitKind::TypeBody) && !s.modernSql() &&
      what != PlsqlText::AlterCompile)
    throw oraError(what == PlsqlText::Create ? 901 : 950, h.keywordPos);
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

std::shared_ptr<const Unit> storedUnit(Session &s, const std::string &owner,
                                       const std::string &name, const std::string &type,
                                       bool &invalid) {
  std::shared_ptr<const CompiledUnit> cu = loadUnit(s, owner, name, type, invalid);
  if (!cu)
    return nullptr;
  return std::shared_ptr<const Unit>(cu, cu->unit.get());
}

} // namespace localdb::plsql
