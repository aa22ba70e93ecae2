// Servers: resolving a host to a folder, opening or creating its SQLite file, password hashes.
#include "localdb/server/Server.h"
#include "localdb/sql/SqlLexer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "localdb/catalog/Catalog.h"
#include "localdb/server/Seed.h"
#include "localdb/server/Sha256.h"
#include "localdb/sql/OraError.h"

namespace localdb {

namespace {

std::string trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos)
    return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool isDir(const std::string &p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p with mode 0700 for the folders it creates.
bool makeDirs(const std::string &path) {
  if (path.empty() || isDir(path))
    return true;
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !makeDirs(path.substr(0, slash)))
    return false;
  return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string serverRoot() {
  if (const char *d = std::getenv("TESSALY_DATA"); d && *d)
    return d;
  std::string base;
  if (const char *x = std::getenv("XDG_DATA_HOME"); x && *x)
    base = x;
  else if (const char *h = std::getenv("HOME"); h && *h)
    base = std::string(h) + "/.local/share";
  else
    base = "/tmp";
  return base + "/tessaly/servers";
}

OraError unusable(const std::string &folder, const std::string &why) {
  return oraErrorText(1034, "ORACLE not available: server folder '" + folder +
                                "' cannot be used (" + why + ")");
}

} // namespace

int lockTimeoutMs() {
  if (const char *t = std::getenv("TESSALY_LOCK_TIMEOUT_MS"); t && *t)
    return std::atoi(t);
  return 3000;
}

int openCursorsLimit() {
  if (const char *t = std::getenv("TESSALY_OPEN_CURSORS"); t && *t)
    return std::max(1, std::atoi(t));
  return 300;
}

std::string resolveServerFolder(const std::string &hostText) {
  std::string host = trim(hostText);
  std::string root = serverRoot();
  if (host.empty() || upperAscii(host) == "LOCAL") {
    std::string f = root + "/LOCAL";
    if (!makeDirs(f))
      throw unusable(f, std::strerror(errno));
    return f;
  }
  if (host.find('/') != std::string::npos) {
    while (host.size() > 1 && host.back() == '/')
      host.pop_back();
    if (isDir(host))
      return host;
    size_t slash = host.find_last_of('/');
    std::string parent = slash == 0 ? "/" : host.substr(0, slash);
    if (!isDir(parent))
      throw oraError(12154);
    if (::mkdir(host.c_str(), 0700) != 0 && errno != EEXIST)
      throw unusable(host, std::strerror(errno));
    return host;
  }
  // A name is one folder of the root's own: "." and ".." (and hidden names) would reach the
  // root itself or its parent.
  if (host[0] == '.')
    throw oraError(12154);
  for (const std::string &name : {host, upperAscii(host)})
    if (isDir(root + "/" + name))
      return root + "/" + name;
  throw oraError(12154);
}

sqlite3 *openServer(const std::string &folder) {
  std::string file = folder + "/server.db";
  if (::access(folder.c_str(), R_OK | W_OK | X_OK) != 0)
    throw unusable(folder, std::strerror(errno));
  // Create the file ourselves so it starts private; SQLite's journal files copy its mode.
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0)
    throw unusable(folder, std::strerror(errno));
  ::close(fd);
  sqlite3 *db = nullptr;
  int rc =
      sqlite3_open_v2(file.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE, nullptr);
  if (rc != SQLITE_OK) {
    std::string why = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw unusable(folder, why);
  }
  // Opening waits for another logon that is making the catalog of a new file, or bringing an
  // older one up to date: bounded work, allowed longer than a writer's wait for a transaction.
  sqlite3_busy_timeout(db, std::max(lockTimeoutMs(), 30000));
  sqlite3_extended_result_codes(db, 1);
  try {
    execSql(db, "PRAGMA journal_mode=WAL");
    execSql(db, "PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=OFF; "
                "PRAGMA case_sensitive_like=ON; PRAGMA recursive_triggers=OFF");
    // A new file gets its catalog once, under the exclusive lock, whoever comes first.
    sqlite3_stmt *st = nullptr;
    bool have = false;
    if (sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = 'ora_meta'", -1, &st,
                           nullptr) != SQLITE_OK)
      throw unusable(folder, sqlite3_errmsg(db));
    have = sqlite3_step(st) == SQLITE_ROW;
    sqlite3_finalize(st);
    if (!have) {
      execSql(db, "BEGIN EXCLUSIVE");
      try {
        st = nullptr;
        sqlite3_prepare_v2(db, "SELECT 1 FROM sqlite_master WHERE name = 'ora_meta'", -1, &st,
                           nullptr);
        have = sqlite3_step(st) == SQLITE_ROW;
        sqlite3_finalize(st);
        if (!have)
          seedServer(db);
        execSql(db, "COMMIT");
      } catch (...) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
      }
    }
    ensureDictionary(db);
    ensureNumberStorage(db);
  } catch (const OraError &e) {
    sqlite3_close_v2(db);
    if (e.code == 54)
      throw;
    throw unusable(folder, e.message);
  }
  return db;
}

std::string hashPassword(const std::string &password) {
  unsigned char salt[16];
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  bool ok = fd >= 0 && ::read(fd, salt, sizeof salt) == sizeof salt;
  if (fd >= 0)
    ::close(fd);
  if (!ok) // no /dev/urandom: still unique per call, though not secret
    for (size_t i = 0; i < sizeof salt; ++i)
      salt[i] = static_cast<unsigned char>(std::rand());
  char hex[33];
  for (int i = 0; i < 16; ++i)
    std::snprintf(hex + 2 * i, 3, "%02x", salt[i]);
  std::string s(hex, 32);
  return s + "$" + sha256Hex(s + upperAscii(password));
}

bool checkPassword(const std::string &password, const std::string &stored) {
  size_t d = stored.find('$');
  if (d == std::string::npos)
    return false;
  std::string salt = stored.substr(0, d);
  return sha256Hex(salt + upperAscii(password)) == stored.substr(d + 1);
}

} // namespace localdb
