// Servers: where a connect text's host lives on disk, opening and creating its SQLite file,
// accounts.
#pragma once
#include <sqlite3.h>
#include <string>

namespace localdb {

// The folder of the server a host names; throws ORA-12154 when it cannot be resolved.
std::string resolveServerFolder(const std::string &host);

// Opens (creating when new) the server in folder; throws an ORA error naming the folder when it
// is unusable. The connection is set up for the engine (pragmas, functions) and waits long for
// a busy file, as opening may; the caller sets the writers' wait (lockTimeoutMs) once it is in.
sqlite3 *openServer(const std::string &folder);

// Salted hash of a password as stored in the account table: "salt$hex".
std::string hashPassword(const std::string &password);
bool checkPassword(const std::string &password, const std::string &stored);

// Milliseconds a logon waits for a lock another logon holds (TESSALY_LOCK_TIMEOUT_MS, else 3000).
int lockTimeoutMs();

// Oracle's OPEN_CURSORS: the cursors one logon may have open at once (TESSALY_OPEN_CURSORS,
// else 300); one more is ORA-01000.
int openCursorsLimit();

} // namespace localdb
