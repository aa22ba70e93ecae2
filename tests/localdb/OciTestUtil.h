// Helpers for tests through the call contract: a temporary server root, logons, statements.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "db/OciCalls.h"

namespace ocitest {

inline int rcOf(const Cda_Def &a) {
  ub2 v;
  std::memcpy(&v, a.area + OCI_CDA_RC, 2);
  return v;
}
inline int functionCodeOf(const Cda_Def &a) {
  ub2 v;
  std::memcpy(&v, a.area + OCI_CDA_FT, 2);
  return v;
}
inline uint32_t rowsOf(const Cda_Def &a) {
  ub4 v;
  std::memcpy(&v, a.area + OCI_CDA_RPC, 4);
  return v;
}
inline int peoOf(const Cda_Def &a) {
  ub2 v;
  std::memcpy(&v, a.area + OCI_CDA_PEO, 2);
  return v;
}

inline std::string message(Lda_Def &lda, int rc) {
  text buf[1024];
  oerhms(&lda, static_cast<sb2>(rc), buf, sizeof buf);
  return reinterpret_cast<char *>(buf);
}

// A fresh TESSALY_DATA for each test.
class TempServerRoot : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/localdb-test-XXXXXX";
    root = mkdtemp(tmpl);
    setenv("TESSALY_DATA", root.c_str(), 1);
    setenv("TESSALY_LOCK_TIMEOUT_MS", "300", 1);
  }
  void TearDown() override { std::filesystem::remove_all(root); }
  std::string root;
};

inline int logOn(Lda_Def &lda, const std::string &connect) {
  std::memset(&lda, 0, sizeof lda);
  ub1 hda[OCI_HDA_SIZE] = {};
  return olog(&lda, hda, (text *)connect.c_str(), -1, nullptr, 0, nullptr, 0, 0);
}

// Runs one statement that returns no rows on a logon; the return code (0 on success), and the
// message when it failed and error is given.
inline int runOn(Lda_Def &l, const std::string &sql, std::string *error = nullptr) {
  Cda_Def cda{};
  oopen(&cda, &l, nullptr, -1, -1, nullptr, -1);
  int rc = oparse(&cda, (text *)sql.c_str(), -1, 1, 2);
  if (rc == 0)
    rc = oexn(&cda, 1, 0);
  if (rc && error)
    *error = message(l, rc);
  oclose(&cda);
  return rc;
}

// A logged-on SCOTT with helpers to run statements.
class Scott : public TempServerRoot {
protected:
  void SetUp() override {
    TempServerRoot::SetUp();
    ASSERT_EQ(logOn(lda, "scott/tiger@"), 0) << message(lda, rcOf(lda));
  }
  void TearDown() override {
    ologof(&lda);
    TempServerRoot::TearDown();
  }

  // Runs a block that leaves its answer in :r; the answer, or "ERROR: " and the message.
  std::string answer(const std::string &block) {
    Cda_Def cda{};
    oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    char buf[4001] = {};
    sb2 ind = -1;
    ub2 len = 0;
    int rc = oparse(&cda, (text *)block.c_str(), -1, 0, 2);
    if (rc == 0)
      rc = obndra(&cda, (text *)":R", -1, (ub1 *)buf, sizeof buf - 1, 1, -1, &ind, &len, nullptr, 0,
                  nullptr, nullptr, -1, -1);
    if (rc == 0)
      rc = oexn(&cda, 1, 0);
    std::string out = rc          ? "ERROR: " + message(lda, rc)
                      : ind == -1 ? "NULL"
                                  : std::string(buf, len);
    oclose(&cda);
    return out;
  }
  // Whether a block ends with an error whose ORA- or PLS- line names code.
  bool fails(const std::string &block, const std::string &code) {
    std::string a = answer(block);
    if (a.find(code) != std::string::npos)
      return true;
    ADD_FAILURE() << block << "\n gave: " << a;
    return false;
  }
  // SCOTT logged on again at Oracle 7.3's language level, which SYSTEM, logged on in sys to set
  // it back, sets for the next logons.
  void logOnAt73(Lda_Def &sys) {
    ASSERT_EQ(logOn(sys, "system/manager@"), 0);
    ASSERT_EQ(runOn(sys, "alter system set compatible = '7.3.4' scope = spfile"), 0);
    ologof(&lda);
    ASSERT_EQ(logOn(lda, "scott/tiger@"), 0);
  }

  // Runs a statement that returns no rows; returns the return code (0 on success).
  int exec(const std::string &sql, std::string *error = nullptr) {
    Cda_Def cda{};
    oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    int rc = oparse(&cda, (text *)sql.c_str(), -1, 1, 2);
    if (rc == 0)
      rc = oexn(&cda, 1, 0);
    lastRows = rowsOf(cda);
    lastOffset = peoOf(cda);
    lastCode = functionCodeOf(cda);
    if (rc && error)
      *error = message(lda, rc);
    lastError = rc ? message(lda, rc) : "";
    oclose(&cda);
    return rc;
  }

  // Runs a query and returns its rows, each column as text ("NULL" for a null); on another
  // logon when one is given. lastColumns: each column's name and display size as described.
  std::vector<std::vector<std::string>> query(const std::string &sql, int *rcOut = nullptr,
                                              Lda_Def *on = nullptr) {
    Lda_Def &lda = on ? *on : this->lda;
    std::vector<std::vector<std::string>> rows;
    lastColumns.clear();
    Cda_Def cda{};
    oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1);
    int rc = oparse(&cda, (text *)sql.c_str(), -1, 1, 2);
    int ncol = 0;
    const int kRows = 7, kSize = 2001;
    std::vector<std::vector<char>> bufs;
    std::vector<std::vector<sb2>> inds;
    std::vector<std::vector<ub2>> lens, codes;
    while (rc == 0) {
      sb4 dbsize, cbufl = 31, dsize;
      sb2 dbtype, prec, scale, nullok;
      sb1 name[32];
      int r =
          odescr(&cda, ncol + 1, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok);
      if (r == 1007)
        break;
      if (r) {
        rc = r;
        break;
      }
      lastColumns.push_back(std::string(reinterpret_cast<char *>(name), cbufl) + ":" +
                            std::to_string(dsize));
      ++ncol;
    }
    for (int i = 0; rc == 0 && i < ncol; ++i) {
      bufs.emplace_back(kRows * kSize);
      inds.emplace_back(kRows);
      lens.emplace_back(kRows);
      codes.emplace_back(kRows);
      rc = odefin(&cda, i + 1, (ub1 *)bufs[i].data(), kSize, 1, -1, inds[i].data(), nullptr, -1, -1,
                  lens[i].data(), codes[i].data());
    }
    if (rc == 0) {
      rc = oexfet(&cda, kRows, 0, 0);
      uint32_t seen = 0;
      while (rc == 0 || rc == 1403) {
        uint32_t total = rowsOf(cda);
        for (uint32_t r = 0; r < total - seen; ++r) {
          std::vector<std::string> row;
          for (int i = 0; i < ncol; ++i)
            row.push_back(inds[i][r] == -1 ? "NULL"
                                           : std::string(bufs[i].data() + r * kSize, lens[i][r]));
          rows.push_back(row);
        }
        seen = total;
        if (rc == 1403)
          break;
        rc = ofen(&cda, kRows);
      }
      if (rc == 1403)
        rc = 0;
    }
    lastOffset = peoOf(cda);
    lastError = rc ? message(lda, rc) : "";
    if (rcOut)
      *rcOut = rc;
    oclose(&cda);
    return rows;
  }

  // The single value of a one-row, one-column query ("ERROR: ..." when it fails).
  std::string value(const std::string &sql) {
    int rc = 0;
    auto rows = query(sql, &rc);
    if (rc)
      return "ERROR: " + lastError;
    if (rows.size() != 1 || rows[0].size() != 1)
      return "ROWS: " + std::to_string(rows.size());
    return rows[0][0];
  }

  Lda_Def lda{};
  uint32_t lastRows = 0;
  std::vector<std::string> lastColumns;
  int lastOffset = 0;
  int lastCode = 0;
  std::string lastError;
};

} // namespace ocitest
