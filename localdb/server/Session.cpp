// A logon: connect text parsing, authentication, Oracle's transaction over SQLite's.
#include "localdb/server/Session.h"
#include "localdb/sql/SqlLexer.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>

#include "localdb/catalog/Catalog.h"
#include "localdb/catalog/KeptStatements.h"
#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Server.h"
#include "localdb/sql/SqlFunctions.h"

namespace localdb {

namespace {} // namespace

OraError sqliteError(sqlite3 *db, int rc) {
  std::string m = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  // Another logon's write lock: say whose it is.
  if ((rc & 0xff) == SQLITE_BUSY && !oraCodeOf(m))
    return writerBusyError();
  return sqliteFailure(rc, m);
}

std::shared_ptr<WriterQueue> writerQueueOf(const std::string &folder);

Session::Session(sqlite3 *db, std::string user, std::string folder)
    : FDb(db), FUser(std::move(user)), FFolder(std::move(folder)),
      FMaxOpenCursors(openCursorsLimit()), FModernSql(isModernLevel(compatibleLevel(db))) {
  FWriters = writerQueueOf(FFolder);
  registerFunctions(FDb, this);
  plsql::attachSession(FDb, this);
}

void Session::cursorOpened() {
  if (FOpenCursors >= FMaxOpenCursors)
    throw oraError(1000);
  ++FOpenCursors;
}

Session::~Session() {
  plsqlState.reset(); // its open cursors give their statements back first
  plsql::detachSession(FDb);
  dropStatements();
  if (FDb) {
    releaseKeptStatements(FDb);
    sqlite3_close_v2(FDb);
  }
  giveBackWriterTurn();
}

void Session::dropStatements() {
  for (auto &p : FStatements)
    sqlite3_finalize(p.second);
  FStatements.clear();
  FCompiled.clear();
}

sqlite3_stmt *Session::takeStatement(const std::string &sql) {
  auto it = FStatements.find(sql);
  if (it != FStatements.end()) {
    sqlite3_stmt *st = it->second;
    FStatements.erase(it);
    return st;
  }
  sqlite3_stmt *st = nullptr;
  for (int tries = 0;; ++tries) {
    int rc = sqlite3_prepare_v3(FDb, sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    if (rc == SQLITE_OK)
      return st;
    sqlite3_finalize(st);
    // A global temporary table this logon has not used yet: its storage, and once more.
    static const std::string kNoTable = "no such table: ";
    std::string m = sqlite3_errmsg(FDb);
    if (tries < 8 && m.compare(0, kNoTable.size(), kNoTable) == 0 &&
        ensureTemporaryTable(FDb, m.substr(kNoTable.size())))
      continue;
    throw sqliteError(FDb, rc);
  }
}

void Session::giveBackStatement(sqlite3_stmt *st) {
  if (!st)
    return;
  if (!FDb || FStatements.size() >= 32) {
    sqlite3_finalize(st);
    return;
  }
  sqlite3_reset(st);
  sqlite3_clear_bindings(st);
  FStatements.emplace(sqlite3_sql(st), st);
}

int Session::pragmaValue(const char *sql) {
  sqlite3_stmt *st = keptStatement(FDb, sql);
  KeptReset done{st};
  return sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
}

long Session::catalogEpoch() {
  bool writing = FInTransaction && !sqlite3_get_autocommit(FDb);
  if (writing && FEpochTransaction == FTransactionSerial)
    return FEpoch;
  int schema = pragmaValue("PRAGMA schema_version");
  int data = pragmaValue("PRAGMA data_version"); // moves only with other connections' commits
  if (schema != FSeenSchema || data != FSeenData) {
    long serial = catalogSerial(FDb);
    if (schema != FSeenSchema || serial != FSeenCatalog)
      ++FEpoch;
    FSeenSchema = schema;
    FSeenData = data;
    FSeenCatalog = serial;
  }
  FEpochTransaction = writing ? FTransactionSerial : -1;
  return FEpoch;
}

std::shared_ptr<CompiledStatement> Session::findCompiled(const std::string &text) {
  long epoch = catalogEpoch();
  if (epoch != FCompiledEpoch) {
    FCompiled.clear();
    FCompiledEpoch = epoch;
  }
  auto it = FCompiled.find(text);
  return it == FCompiled.end() ? nullptr : it->second;
}

void Session::keepCompiled(const std::string &text, std::shared_ptr<CompiledStatement> compiled) {
  if (FCompiled.size() >= 64)
    FCompiled.clear();
  FCompiled[text] = std::move(compiled);
}

void Session::schemaChanged() {
  FCompiled.clear();
  ++FEpoch;
}

void Session::exec(const std::string &sql) {
  int rc = sqlite3_exec(FDb, sql.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    throw sqliteError(FDb, rc);
}

// The writers of one server in this process wait in line, first come first served. SQLite's own
// busy wait only polls, so among several waiting writers one could be passed over every time;
// between processes it is still what keeps writers apart.
struct WriterQueue {
  std::mutex lock;
  std::condition_variable turn;
  std::deque<const Session *> waiting;
  const Session *holder = nullptr;
};

std::shared_ptr<WriterQueue> writerQueueOf(const std::string &folder) {
  static std::mutex lock;
  static std::map<std::string, std::weak_ptr<WriterQueue>> queues;
  std::lock_guard<std::mutex> g(lock);
  std::shared_ptr<WriterQueue> q = queues[folder].lock();
  if (!q) {
    q = std::make_shared<WriterQueue>();
    queues[folder] = q;
  }
  return q;
}

OraError writerBusyError() {
  return oraErrorText(54, "resource busy: another logon holds an uncommitted transaction on "
                          "this server (the local server has one writer at a time)");
}

void Session::takeWriterTurn() {
  WriterQueue &q = *FWriters;
  std::unique_lock<std::mutex> g(q.lock);
  if (q.holder == this)
    return;
  q.waiting.push_back(this);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(lockTimeoutMs());
  bool mine = q.turn.wait_until(g, deadline, [&] {
    return (q.holder == nullptr && q.waiting.front() == this) || breakRequested();
  });
  if (!mine || q.holder != nullptr || q.waiting.front() != this) {
    q.waiting.erase(std::find(q.waiting.begin(), q.waiting.end(), this));
    q.turn.notify_all();
    if (breakRequested())
      throw oraError(1013);
    throw writerBusyError();
  }
  q.waiting.pop_front();
  q.holder = this;
}

void Session::giveBackWriterTurn() {
  if (!FWriters)
    return;
  std::lock_guard<std::mutex> g(FWriters->lock);
  if (FWriters->holder == this) {
    FWriters->holder = nullptr;
    FWriters->turn.notify_all();
  }
}

void Session::beginWrite() {
  if (!FDb)
    throw oraError(1012);
  if (FInTransaction && !sqlite3_get_autocommit(FDb))
    return;
  takeWriterTurn();
  try {
    exec("BEGIN IMMEDIATE");
  } catch (const OraError &e) {
    giveBackWriterTurn();
    if (e.code == 54) // another process holds SQLite's write lock
      throw writerBusyError();
    throw;
  }
  FInTransaction = true;
  ++FTransactionSerial;
}

void Session::commit() {
  if (!FDb)
    throw oraError(1012);
  if (!sqlite3_get_autocommit(FDb)) {
    clearTransactionTables(FDb);
    int rc = sqlite3_exec(FDb, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
      OraError e = sqliteError(FDb, rc);
      if (!sqlite3_get_autocommit(FDb)) {
        // Still open (a busy reader, a full disk that SQLite could back out of): kept whole,
        // for COMMIT again once there is room, or ROLLBACK.
        e.message += "; the transaction is still open: COMMIT again or ROLLBACK";
        throw e;
      }
      // SQLite rolled the transaction back: say so, so nobody takes a later COMMIT's success
      // for this one's.
      FInTransaction = false;
      giveBackWriterTurn();
      e.message += "; the transaction was rolled back";
      throw e;
    }
  }
  FInTransaction = false;
  giveBackWriterTurn();
}

void Session::rollback() {
  if (!FDb)
    throw oraError(1012);
  if (!sqlite3_get_autocommit(FDb))
    exec("ROLLBACK");
  FInTransaction = false;
  giveBackWriterTurn();
}

void Session::savepoint(const std::string &name) {
  beginWrite();
  exec("SAVEPOINT " + quoteIdent(name));
  ++FSavepointsSet;
}

void Session::rollbackTo(const std::string &name) {
  if (!FDb)
    throw oraError(1012);
  if (sqlite3_get_autocommit(FDb))
    throw oraErrorArg(1086, name);
  int rc =
      sqlite3_exec(FDb, ("ROLLBACK TO " + quoteIdent(name)).c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK)
    throw oraErrorArg(1086, name);
}

void Session::close() {
  if (!FDb)
    return;
  plsqlState.reset();
  plsql::detachSession(FDb);
  try {
    commit();
  } catch (const OraError &) {
    sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    dropStatements();
    closeDb();
    throw;
  }
  dropStatements();
  closeDb();
}

void Session::closeDb() {
  std::lock_guard<std::mutex> lock(FBreakLock);
  releaseKeptStatements(FDb);
  sqlite3_close_v2(FDb);
  FDb = nullptr;
  FInTransaction = false;
  giveBackWriterTurn();
}

void Session::requestBreak() {
  std::lock_guard<std::mutex> lock(FBreakLock);
  FBreak.store(true, std::memory_order_relaxed);
  if (FDb)
    sqlite3_interrupt(FDb);
  if (FWriters) { // a logon waiting for its turn to write stops waiting
    std::lock_guard<std::mutex> g(FWriters->lock);
    FWriters->turn.notify_all();
  }
}

std::string Session::lastText(int code) const {
  auto it = FLastText.find(code);
  return it == FLastText.end() ? std::string() : it->second;
}

std::shared_ptr<Session> logon(const std::string &uid, const std::string *pswd,
                               const std::string *conn) {
  std::string user = uid, password, host;
  bool haveHost = false;
  if (conn) {
    host = *conn;
    haveHost = true;
  }
  if (size_t at = user.find('@'); at != std::string::npos) {
    if (!haveHost)
      host = user.substr(at + 1);
    user.erase(at);
  }
  if (pswd)
    password = *pswd;
  if (size_t slash = user.find('/'); slash != std::string::npos) {
    if (!pswd)
      password = user.substr(slash + 1);
    user.erase(slash);
  }
  auto trim = [](std::string s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    size_t e = s.find_last_not_of(" \t\r\n");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  };
  user = upperAscii(trim(user));
  password = trim(password);
  if (user.empty())
    throw oraError(1017);
  if (password.empty())
    throw oraError(1005);
  std::string folder = resolveServerFolder(host);
  sqlite3 *db = openServer(folder); // still with the opening's long wait
  auto refuse = [&](const OraError &e) {
    releaseKeptStatements(db);
    sqlite3_close_v2(db);
    return e;
  };
  sqlite3_stmt *st = nullptr;
  std::string stored;
  int rc = sqlite3_prepare_v2(db, "SELECT password FROM ora_users WHERE username = ?1", -1, &st,
                              nullptr);
  if (rc == SQLITE_OK) {
    sqlite3_bind_text(st, 1, user.c_str(), -1, SQLITE_TRANSIENT);
    rc = sqlite3_step(st);
    if (rc == SQLITE_ROW)
      stored = reinterpret_cast<const char *>(sqlite3_column_text(st, 0));
  }
  sqlite3_finalize(st);
  // A file that could not be read is not a wrong password.
  if (rc != SQLITE_ROW && rc != SQLITE_DONE)
    throw refuse(sqliteFailure(rc, sqlite3_errmsg(db)));
  if (stored.empty() || !checkPassword(password, stored))
    throw refuse(oraError(1017));
  sqlite3_busy_timeout(db, lockTimeoutMs()); // from here, the writers' wait
  return std::make_shared<Session>(db, user, folder);
}

} // namespace localdb
