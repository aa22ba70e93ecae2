// Helpers for the PL/SQL tests below the call contract: a logged-on SCOTT in a fresh server,
// statements run through a Cursor, the catalog read back directly.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Cursor.h"
#include "localdb/server/Session.h"

namespace plsqltest {

class ScottSession : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/localdb-plsql-XXXXXX";
    root = mkdtemp(tmpl);
    setenv("TESSALY_DATA", root.c_str(), 1);
    setenv("TESSALY_LOCK_TIMEOUT_MS", "300", 1);
    std::string pw = "tiger", conn = "";
    session = localdb::logon("scott", &pw, &conn);
  }
  void TearDown() override {
    session->close();
    session.reset();
    std::filesystem::remove_all(root);
  }

  // Runs a statement; returns the warning flags. Throws OraError.
  int run(const std::string &text) { return runOn(session, text); }
  static int runOn(const std::shared_ptr<localdb::Session> &on, const std::string &text) {
    localdb::Cursor c(on);
    c.parse(text.data(), text.size(), true);
    c.execute(1, 0);
    return c.warningFlags;
  }
  // Another logon of SCOTT's on the same server, as a second program or window would have.
  std::shared_ptr<localdb::Session> secondLogon() {
    std::string pw = "tiger", conn = "";
    return localdb::logon("scott", &pw, &conn);
  }
  // The error text of a statement that must fail ("" when it succeeded).
  std::string error(const std::string &text, int *code = nullptr) {
    try {
      run(text);
    } catch (const localdb::OraError &e) {
      if (code)
        *code = e.code;
      return e.message;
    }
    return "";
  }
  // The first column of each row of a SQLite query on the server's file.
  std::vector<std::string> column(const std::string &sql) {
    std::vector<std::string> out;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(session->db(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
      ADD_FAILURE() << sqlite3_errmsg(session->db());
      return out;
    }
    while (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char *t = sqlite3_column_text(st, 0);
      out.push_back(t ? reinterpret_cast<const char *>(t) : "<null>");
    }
    sqlite3_finalize(st);
    return out;
  }
  // USER_ERRORS of a unit as "line/position text" lines.
  std::vector<std::string> errors(const std::string &name) {
    return column("SELECT line || '/' || position || ' ' || text FROM ora_errors WHERE owner = "
                  "'SCOTT' AND name = '" +
                  name + "' ORDER BY type, sequence");
  }
  std::string status(const std::string &name, const std::string &type) {
    auto s = column("SELECT status FROM ora_objects WHERE owner = 'SCOTT' AND object_name = '" +
                    name + "' AND object_type = '" + type + "'");
    return s.empty() ? "" : s[0];
  }
  std::vector<std::string> output() { return localdb::plsql::takeOutput(*session); }

  std::string root;
  std::shared_ptr<localdb::Session> session;
};

} // namespace plsqltest
