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
#include "localdb/sql/SqlLexer.h"
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

// The text a key stands for with the given literals in place of its markers ("" when the key
// holds another number of markers).
std::string textOfKey(const std::string &key, const std::vector<ShapeLiteral> &literals) {
  std::string text;
  size_t k = 0;
  for (size_t i = 1; i < key.size(); ++i) {
    if (key[i] == '\x01' && i + 1 < key.size() && key[i + 1] == '\x01') {
      text += '\x01';
      ++i;
    } else if (key[i] == '\x01' && i + 1 < key.size()) {
      if (k >= literals.size())
        return "";
      const ShapeLiteral &l = literals[k++];
      if (l.number) {
        text += l.text;
      } else if (!text.empty() && text.back() == '\'' && l.text.find("]'") == std::string::npos) {
        // Right after a string ('' then q'[y]'): a plain quote would join the two.
        text += "q'[" + l.text + "]'";
      } else {
        text += '\'';
        for (char c : l.text)
          text += c == '\'' ? std::string("''") : std::string(1, c);
        text += '\'';
      }
      ++i;
    } else {
      text += key[i];
    }
  }
  return k == literals.size() ? text : "";
}

// One statement compiled as the cursor compiles it: literals as parameters when `shape` is given
// and they are values only (shaped is then true), written in otherwise.
struct Compiled {
  std::string sql;
  size_t binds = 0;
  int counters = 0;
  bool shaped = false;
};

Compiled compile(sqlite3 *db, const std::string &text, const std::vector<ShapeLiteral> *shape) {
  Compiled c;
  std::unique_ptr<Statement> s = parseStatement(text);
  Binder binder(db, "SCOTT");
  auto emitter = [&] {
    Emitter em(binder.bindNames(), "SCOTT");
    c.shaped = shape && literalsAreValues(*shape, s->literals, binder.readLiterals());
    if (c.shaped)
      em.setLiteralParams(shape);
    return em;
  };
  switch (s->kind) {
  case StmtKind::Select: {
    Select &q = *static_cast<SelectStmt &>(*s).query;
    binder.bindQuery(q);
    c.sql = emitter().select(q);
    break;
  }
  case StmtKind::Insert: {
    auto &x = static_cast<InsertStmt &>(*s);
    binder.bindInsert(x);
    c.sql = emitter().insert(x, {});
    break;
  }
  case StmtKind::Update: {
    auto &x = static_cast<UpdateStmt &>(*s);
    binder.bindUpdate(x);
    c.sql = emitter().update(x);
    break;
  }
  case StmtKind::Delete: {
    auto &x = static_cast<DeleteStmt &>(*s);
    binder.bindDelete(x);
    c.sql = emitter().remove(x);
    break;
  }
  default:
    break;
  }
  c.binds = binder.bindNames().size();
  c.counters = binder.counterCount();
  return c;
}

// What a compiled statement answers, its literals bound from `literals` when it has them: the
// first rows and how it ended, undone afterwards. Empty when it ran too long to compare.
std::string answer(sqlite3 *db, const Compiled &c, const std::vector<ShapeLiteral> &literals) {
  sqlite3_stmt *st = nullptr;
  if (sqlite3_prepare_v2(db, c.sql.c_str(), static_cast<int>(c.sql.size()), &st, nullptr) !=
      SQLITE_OK)
    return std::string("refused: ") + sqlite3_errmsg(db);
  sqlite3_exec(db, "SAVEPOINT shape", nullptr, nullptr, nullptr);
  static RownumCounter rownums[64];
  size_t params = c.binds + (c.shaped ? literals.size() : 0);
  for (size_t i = 0; i < c.binds; ++i)
    sqlite3_bind_text(st, static_cast<int>(i + 1), "10", 2, SQLITE_STATIC);
  if (c.shaped)
    for (size_t i = 0; i < literals.size(); ++i)
      bindLiteral(st, static_cast<int>(c.binds + i + 1), literals[i]);
  for (int i = 0; i < c.counters && i < 64; ++i) {
    rownums[i].n = 0;
    sqlite3_bind_pointer(st, static_cast<int>(params) + i + 1, &rownums[i], kRownumPointerType,
                         nullptr);
  }
  int steps = 0;
  sqlite3_progress_handler(db, 1000, stopLongRuns, &steps);
  std::string out;
  int rc = SQLITE_ROW;
  for (int row = 0; row < 20 && (rc = sqlite3_step(st)) == SQLITE_ROW; ++row)
    for (int i = 0; i < sqlite3_column_count(st); ++i) {
      const unsigned char *v = sqlite3_column_text(st, i);
      out += "|" + (v ? std::string(reinterpret_cast<const char *>(v),
                                    static_cast<size_t>(sqlite3_column_bytes(st, i)))
                      : std::string("NULL"));
    }
  sqlite3_progress_handler(db, 0, nullptr, nullptr);
  out += " " + std::to_string(rc) + " " +
         (rc == SQLITE_DONE || rc == SQLITE_ROW ? "" : sqlite3_errmsg(db)) + " " +
         std::to_string(sqlite3_changes(db));
  if ((rc & 0xff) == SQLITE_INTERRUPT)
    out.clear();
  sqlite3_finalize(st);
  sqlite3_exec(db, "ROLLBACK TO shape", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "RELEASE shape", nullptr, nullptr, nullptr);
  return out;
}

// A text's shape. The key keeps everything but the literals, so the text rebuilt from the key
// and the literals has the same shape and the same literals. A statement compiled from another
// text of the shape (other values of the same kinds) serves this one exactly when this one's
// own compile takes its literals as parameters, and then answers as this text compiled with its
// literals written in: the same rows, the same error.
void checkShape(sqlite3 *db, const std::string &text) {
  std::string key;
  std::vector<ShapeLiteral> literals;
  if (!literalShape(text, true, key, literals))
    return;
  if (key.empty() || key[0] != '\x01' || literals.empty())
    std::abort();
  std::string again;
  std::vector<ShapeLiteral> second;
  if (!literalShape(textOfKey(key, literals), true, again, second) || again != key ||
      second.size() != literals.size())
    std::abort();
  // Another text of the shape, as a script's first statement would be: other values of the same
  // kinds (a number starting with a point as this one does, so it reads as one token again).
  std::vector<ShapeLiteral> others = literals;
  for (ShapeLiteral &l : others)
    if (!l.number)
      l.text = "x";
    else if (l.text[0] == '.')
      l.text = l.value.isInt ? ".7e1" : ".5";
    else
      l.text = l.value.isInt ? "7" : "0.5";
  std::string sibling = textOfKey(key, others);
  if (!literalShape(sibling, true, again, others) || again != key)
    return; // the new values run into their neighbours ("1.0" then ".5" as "7.5"): not a sibling
  Compiled first;
  try {
    first = compile(db, sibling, &others);
  } catch (const OraError &) {
    return; // no statement kept for the shape
  }
  if (!first.shaped)
    return;
  Compiled alone, own;
  try {
    own = compile(db, text, &literals);
    alone = compile(db, text, nullptr);
  } catch (const OraError &e) {
    std::fprintf(stderr, "a shared statement would hide ORA-%05d of\n%s\n", e.code, text.c_str());
    std::abort();
  }
  if (!own.shaped) {
    std::fprintf(stderr, "shared by one text of a shape, not by another:\n%s\n", text.c_str());
    std::abort();
  }
  // Values that change on their own between two runs are not compared.
  std::string upper = upperAscii(text);
  if (upper.find("SYSDATE") != std::string::npos || upper.find("NEXTVAL") != std::string::npos)
    return;
  std::string shared = answer(db, first, literals), written = answer(db, alone, literals);
  // SQLite takes a parameter wherever the emitter writes a literal's value.
  bool refused = shared.rfind("refused", 0) == 0, writtenRefused = written.rfind("refused", 0) == 0;
  bool comparable = !shared.empty() && !written.empty() && !refused && !writtenRefused;
  if ((refused && !writtenRefused) || (comparable && shared != written)) {
    std::fprintf(stderr, "shared: %s\nalone: %s\n%s\n", shared.c_str(), written.c_str(),
                 text.c_str());
    std::abort();
  }
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
