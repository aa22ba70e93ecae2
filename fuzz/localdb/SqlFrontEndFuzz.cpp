// Fuzz target: any text through lexer, parser, binder and emitter, and the emitted SQLite
// statement prepared and run a little on a seeded server in memory. Every input must end in a
// result or an OraError: no crash, no hang, no unbounded growth, and never SQL the emitter
// produced that SQLite rejects.
#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/Ddl.h"
#include "localdb/server/Seed.h"
#include "localdb/server/Session.h"
#include "localdb/sql/LiteralShape.h"
#include "localdb/sql/OraError.h"
#include "localdb/sql/SqlBinder.h"
#include "localdb/sql/SqlEmitter.h"
#include "localdb/sql/SqlFunctions.h"
#include "localdb/sql/SqlParser.h"

using namespace localdb;

namespace {

Session *gSession = nullptr;

int stopLongRuns(void *counter) {
  // A query that would run long (a big cross join) is stopped; that is not a failure here.
  return ++*static_cast<int *>(counter) > 2000;
}

void setUp() {
  sqlite3 *db = nullptr;
  sqlite3_open(":memory:", &db);
  execSql(db, "BEGIN");
  seedServer(db);
  execSql(db, "COMMIT");
  execSql(db, "PRAGMA case_sensitive_like=ON");
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, 1 << 20);
  gSession = new Session(db, "SCOTT", "");
}

// SQLite may refuse emitted text only for its own size limits.
bool acceptableRefusal(int rc, const char *msg) {
  int prim = rc & 0xff;
  if (prim == SQLITE_TOOBIG || prim == SQLITE_NOMEM)
    return true;
  std::string m = msg;
  // SQLite's parser has a fixed stack; nesting the front end allows can still exceed it, and the
  // local server reports that as an ORA error.
  return m.find("too many") != std::string::npos || m.find("too deep") != std::string::npos ||
         m.find("parser stack overflow") != std::string::npos ||
         m.find("too complex") != std::string::npos || m.find("too big") != std::string::npos ||
         m.find("too large") != std::string::npos;
}

void runEmitted(sqlite3 *db, const std::string &sql, int counters, size_t binds) {
  sqlite3_stmt *st = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
  if (rc != SQLITE_OK) {
    if (!acceptableRefusal(rc, sqlite3_errmsg(db))) {
      std::fprintf(stderr, "emitted SQL refused: %s\n%s\n", sqlite3_errmsg(db), sql.c_str());
      std::abort();
    }
    return;
  }
  static RownumCounter rownums[64];
  for (size_t i = 0; i < binds; ++i)
    sqlite3_bind_text(st, static_cast<int>(i + 1), "10", 2, SQLITE_STATIC);
  for (int i = 0; i < counters && i < 64; ++i) {
    rownums[i].n = 0;
    sqlite3_bind_pointer(st, static_cast<int>(binds) + i + 1, &rownums[i], kRownumPointerType,
                         nullptr);
  }
  int steps = 0;
  sqlite3_progress_handler(db, 1000, stopLongRuns, &steps);
  for (int row = 0; row < 20 && sqlite3_step(st) == SQLITE_ROW; ++row) {
  }
  sqlite3_progress_handler(db, 0, nullptr, nullptr);
  sqlite3_finalize(st);
}

// An INSERT's shape: the key keeps everything but the literals, so the text rebuilt from the key
// and the literals has the same shape and the same literals; each literal binds or fails as an
// ORA error.
void checkShape(sqlite3 *db, const std::string &text) {
  std::string key;
  std::vector<ShapeLiteral> literals;
  if (!insertShape(text, key, literals))
    return;
  if (key.empty() || key[0] != '\x01' || literals.empty())
    std::abort();
  std::string rebuilt;
  size_t k = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] == '\x01' && i + 1 < key.size() && key[i + 1] == '\x01') {
      rebuilt += '\x01';
      ++i;
    } else if (key[i] == '\x01' && i + 1 < key.size() && (key[i + 1] == 'N' || key[i + 1] == 'S')) {
      if (k >= literals.size())
        std::abort();
      const ShapeLiteral &l = literals[k++];
      if (l.number) {
        rebuilt += l.text;
      } else {
        rebuilt += '\'';
        for (char c : l.text)
          rebuilt += c == '\'' ? std::string("''") : std::string(1, c);
        rebuilt += '\'';
      }
      ++i;
    } else {
      rebuilt += key[i];
    }
  }
  std::string again;
  std::vector<ShapeLiteral> second;
  if (k != literals.size() || !insertShape(rebuilt, again, second) || again != key ||
      second.size() != literals.size())
    std::abort();
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT ?1", -1, &st, nullptr) != SQLITE_OK)
    return;
  for (const ShapeLiteral &l : literals) {
    try {
      bindLiteral(st, 1, l);
    } catch (const OraError &e) {
      if (e.code != 1426 && e.code != 1704)
        std::abort();
    }
  }
  sqlite3_finalize(st);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (!gSession)
    setUp();
  // Up to 1 MB: operator chains of tens of thousands of terms and deep nesting must be
  // reachable (run with -len_control=0 and a -max_len of that order).
  if (size > (1u << 20))
    return 0;
  std::string text(reinterpret_cast<const char *>(data), size);
  sqlite3 *db = gSession->db();
  checkShape(db, text);
  sqlite3_exec(db, "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
  try {
    std::unique_ptr<Statement> s = parseStatement(text);
    Binder binder(db, "SCOTT");
    std::string sql;
    switch (s->kind) {
    case StmtKind::Select: {
      Select &q = *static_cast<SelectStmt &>(*s).query;
      binder.bindQuery(q);
      sql = Emitter(binder.bindNames(), "SCOTT").select(q);
      break;
    }
    case StmtKind::Insert: {
      auto &x = static_cast<InsertStmt &>(*s);
      binder.bindInsert(x);
      sql = Emitter(binder.bindNames(), "SCOTT").insert(x, {});
      break;
    }
    case StmtKind::Update: {
      auto &x = static_cast<UpdateStmt &>(*s);
      binder.bindUpdate(x);
      sql = Emitter(binder.bindNames(), "SCOTT").update(x);
      break;
    }
    case StmtKind::Delete: {
      auto &x = static_cast<DeleteStmt &>(*s);
      binder.bindDelete(x);
      sql = Emitter(binder.bindNames(), "SCOTT").remove(x);
      break;
    }
    case StmtKind::Commit:
    case StmtKind::Rollback:
    case StmtKind::Savepoint:
    case StmtKind::NoOp:
      break;
    default:
      executeDdl(db, "SCOTT", *s); // undone below with the savepoint
      break;
    }
    if (!sql.empty())
      runEmitted(db, sql, binder.counterCount(), binder.bindNames().size());
  } catch (const OraError &e) {
    if (e.code <= 0 || e.message.compare(0, 4, "ORA-") != 0)
      std::abort();
  }
  sqlite3_exec(db, "ROLLBACK TO fuzz", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "RELEASE fuzz", nullptr, nullptr, nullptr);
  return 0;
}
