// A logon: its SQLite connection, its user, its transaction, its last error texts.
#pragma once
#include <sqlite3.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "localdb/sql/OraError.h"

namespace localdb {

struct WriterQueue;
struct CompiledStatement; // the cursor's compiled form of a statement (Cursor.cpp)
namespace plsql {
struct State; // a logon's PL/SQL state (PlsqlInterp.h)
}

// ORA-00054 as the local server words it: another logon holds the write lock.
OraError writerBusyError();

class Session {
public:
  Session(sqlite3 *db, std::string user, std::string folder);
  ~Session();
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;

  // Serialises every call on this logon.
  std::recursive_mutex mutex;

  // obreak, from any thread and without the logon's lock (the running call holds it): the
  // SQLite work in progress stops with SQLITE_INTERRUPT (ORA-01013), and long PL/SQL loops poll
  // breakRequested. Every cursor call clears the request when it starts.
  void requestBreak();
  bool breakRequested() const { return FBreak.load(std::memory_order_relaxed); }
  void clearBreak() { FBreak.store(false, std::memory_order_relaxed); }

  sqlite3 *db() const { return FDb; }
  const std::string &user() const { return FUser; }
  const std::string &folder() const { return FFolder; }
  bool open() const { return FDb != nullptr; }

  // Oracle's transaction: opened by the first change, ended by commit or rollback.
  void beginWrite();
  void commit();
  void rollback();
  void savepoint(const std::string &name);
  void rollbackTo(const std::string &name);
  bool inTransaction() const { return FInTransaction; }
  // Changes each time this logon opens a transaction. While one is open it holds the file's
  // write lock, so what it read from the catalog since stays true until it ends.
  long transactionSerial() const { return FTransactionSerial; }
  // Counts the SAVEPOINTs this logon set.
  long savepointsSet() const { return FSavepointsSet; }
  // Commits and closes the connection (logoff).
  void close();

  // Runs SQL that yields no rows, mapping SQLite failures to ORA errors.
  void exec(const std::string &sql);

  // The detailed text of the last error per code, for oerhms.
  void remember(const OraError &e) { FLastText[e.code] = e.message; }
  std::string lastText(int code) const;

  // The server's language level as it was at logon (COMPATIBLE): true when the SQL and PL/SQL
  // added after Oracle 7.3 are accepted.
  bool modernSql() const { return FModernSql; }

  // NLS_DATE_FORMAT of this session ("" = the default DD-MON-YY).
  std::string dateFormat;
  // NLS_TIMESTAMP_FORMAT and NLS_TIMESTAMP_TZ_FORMAT ("" = the defaults).
  std::string timestampFormat, timestampTzFormat;

  // The PL/SQL state of this logon (package state, DBMS_OUTPUT, compiled units), kept and
  // used by plsql/PlsqlUnits; released before the connection closes.
  std::shared_ptr<plsql::State> plsqlState;

  // CURRVAL per sequence (owner.name) in this session.
  std::map<std::string, std::string> currval;

  // The cursors open on this logon: those of the call contract and PL/SQL's open cursors.
  // Opening one more than openCursorsLimit() is ORA-01000.
  void cursorOpened();
  void cursorClosed() { --FOpenCursors; }
  int openCursors() const { return FOpenCursors; }

  // Prepared SQLite statements kept for reuse, by SQL text.
  sqlite3_stmt *takeStatement(const std::string &sql);
  void giveBackStatement(sqlite3_stmt *st);
  // Changes whenever the catalog may have changed since it was last asked: this logon's DDL,
  // another connection's DDL (the schema or the catalog serial moved), a unit stored anywhere.
  // Within this logon's own write transaction nobody else can change it, so it is not re-read.
  long catalogEpoch();
  // Compiled statements by text, valid while the catalog epoch is unchanged.
  std::shared_ptr<CompiledStatement> findCompiled(const std::string &text);
  void keepCompiled(const std::string &text, std::shared_ptr<CompiledStatement> compiled);
  // After DDL: what was compiled against the old catalog is gone.
  void schemaChanged();

private:
  sqlite3 *FDb;
  // Held while FDb is closed, so a break never reaches a connection that is going away.
  std::mutex FBreakLock;
  std::atomic<bool> FBreak{false};
  void closeDb();
  // One writer at a time per server, first come first served (within this process).
  std::shared_ptr<WriterQueue> FWriters;
  void takeWriterTurn();
  void giveBackWriterTurn();
  std::string FUser;
  std::string FFolder;
  bool FInTransaction = false;
  int FOpenCursors = 0;
  int FMaxOpenCursors;
  bool FModernSql;
  long FTransactionSerial = 0;
  long FSavepointsSet = 0;
  std::map<int, std::string> FLastText;
  // Keyed by each statement's own SQL text (sqlite3_sql), so giving one back allocates nothing.
  std::unordered_multimap<std::string_view, sqlite3_stmt *> FStatements;
  std::map<std::string, std::shared_ptr<CompiledStatement>> FCompiled;
  long FCompiledEpoch = -1;
  long FEpoch = 0, FEpochTransaction = -1, FSeenCatalog = -1;
  int FSeenSchema = -1, FSeenData = -1;
  int pragmaValue(const char *sql);
  void dropStatements();
};

// Maps a failed SQLite call on db to an ORA error (busy → ORA-00054, our own "ORA-" texts kept).
OraError sqliteError(sqlite3 *db, int rc);

// Logs on: parses the connect text parts as olog receives them, opens the server, checks the
// account. Throws OraError.
std::shared_ptr<Session> logon(const std::string &uid, const std::string *pswd,
                               const std::string *conn);

// A statement taken from a session's cache, given back when the lease ends.
struct StatementLease {
  Session &s;
  sqlite3_stmt *st;
  ~StatementLease() {
    if (st)
      s.giveBackStatement(st);
  }
};

} // namespace localdb
