// Logon, logoff, commit, rollback and error texts through the call contract.
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <thread>

#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Logon : public TempServerRoot {};

mode_t modeOf(const std::string &path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

TEST_F(Logon, Logon_DefaultServerCreatedWithPrivateFiles) {
  Lda_Def lda;
  ASSERT_EQ(logOn(lda, "scott/tiger@"), 0) << message(lda, 1);
  EXPECT_EQ(rcOf(lda), 0);
  EXPECT_EQ(modeOf(root + "/LOCAL"), 0700u);
  EXPECT_EQ(modeOf(root + "/LOCAL/server.db"), 0600u);
  EXPECT_EQ(ocom(&lda), 0);
  EXPECT_EQ(orol(&lda), 0);
  EXPECT_EQ(ologof(&lda), 0);
  // After logoff the area is no longer a logon.
  EXPECT_EQ(ocom(&lda), 1012);
  EXPECT_EQ(message(lda, 1012), "ORA-01012: not logged on");
}

TEST_F(Logon, Logon_NamesAndPasswordsIgnoreCase) {
  Lda_Def lda;
  for (const char *c : {"SCOTT/TIGER@", "Scott/TiGeR@LOCAL", "scott/tiger@local", "system/manager@",
                        "SYSTEM/Manager@Local", "scott/tiger"}) {
    EXPECT_EQ(logOn(lda, c), 0) << c << ": " << message(lda, rcOf(lda));
    EXPECT_EQ(ologof(&lda), 0);
  }
}

TEST_F(Logon, Logon_SplitArguments) {
  Lda_Def lda{};
  ub1 hda[256] = {};
  EXPECT_EQ(olog(&lda, hda, (text *)"scott", -1, (text *)"tiger", -1, (text *)"", -1, 0), 0);
  EXPECT_EQ(ologof(&lda), 0);
  EXPECT_EQ(olog(&lda, hda, (text *)"scottXX", 5, (text *)"tigerYY", 5, (text *)"LOCALZZ", 5, 0),
            0);
  EXPECT_EQ(ologof(&lda), 0);
}

TEST_F(Logon, Logon_ErrorsAsOracleSaysThem) {
  Lda_Def lda;
  EXPECT_EQ(logOn(lda, "scott/lion@"), 1017);
  EXPECT_EQ(rcOf(lda), 1017);
  EXPECT_EQ(message(lda, 1017), "ORA-01017: invalid username/password; logon denied");
  EXPECT_EQ(logOn(lda, "nobody/tiger@"), 1017);
  EXPECT_EQ(logOn(lda, "scott@"), 1005);
  EXPECT_EQ(message(lda, 1005), "ORA-01005: null password given; logon denied");
  EXPECT_EQ(logOn(lda, "scott/tiger@NOSUCHSERVER"), 12154);
  EXPECT_EQ(message(lda, 12154), "ORA-12154: TNS:could not resolve service name");
  EXPECT_EQ(logOn(lda, "scott/tiger@/no/such/parent/server"), 12154);
}

TEST_F(Logon, Logon_NamedAndPathServers) {
  Lda_Def lda;
  std::filesystem::create_directory(root + "/TEST");
  EXPECT_EQ(logOn(lda, "scott/tiger@TEST"), 0) << message(lda, rcOf(lda));
  EXPECT_TRUE(std::filesystem::exists(root + "/TEST/server.db"));
  EXPECT_EQ(ologof(&lda), 0);
  std::string path = root + "/elsewhere";
  EXPECT_EQ(logOn(lda, "scott/tiger@" + path), 0) << message(lda, rcOf(lda));
  EXPECT_EQ(modeOf(path), 0700u);
  EXPECT_EQ(ologof(&lda), 0);
}

TEST_F(Logon, Logon_UnusableFolderNamesIt) {
  std::string path = root + "/broken";
  std::filesystem::create_directory(path);
  std::ofstream(path + "/server.db") << std::string(8192, 'x');
  Lda_Def lda;
  int rc = logOn(lda, "scott/tiger@" + path);
  EXPECT_NE(rc, 0);
  std::string m = message(lda, rc);
  EXPECT_EQ(m.rfind("ORA-", 0), 0u) << m;
  EXPECT_NE(m.find(path), std::string::npos) << m;
  // A plain file where the folder should be.
  std::ofstream(root + "/afile") << "x";
  rc = logOn(lda, "scott/tiger@" + root + "/afile");
  EXPECT_NE(rc, 0);
  EXPECT_NE(message(lda, rc).find("afile"), std::string::npos) << message(lda, rc);
}

TEST_F(Logon, Logon_PasswordsKeptOnlyAsSaltedHashes) {
  Lda_Def lda;
  ASSERT_EQ(logOn(lda, "scott/tiger@"), 0);
  ologof(&lda);
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open((root + "/LOCAL/server.db").c_str(), &db), SQLITE_OK);
  sqlite3_stmt *st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT username, password FROM ora_users ORDER BY 1", -1, &st,
                               nullptr),
            SQLITE_OK);
  std::vector<std::string> hashes;
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::string pw = reinterpret_cast<const char *>(sqlite3_column_text(st, 1));
    EXPECT_EQ(pw.find("TIGER"), std::string::npos);
    EXPECT_EQ(pw.find("MANAGER"), std::string::npos);
    EXPECT_EQ(pw.size(), 32u + 1 + 64);
    hashes.push_back(pw);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  ASSERT_EQ(hashes.size(), 2u);
  EXPECT_NE(hashes[0].substr(0, 32), hashes[1].substr(0, 32)); // own salt each
}

TEST_F(Logon, DataAreas_UnknownAreasGetErrorsNotCrashes) {
  Lda_Def lda{};
  Cda_Def cda{};
  EXPECT_EQ(ocom(&lda), 1012);
  EXPECT_EQ(orol(&lda), 1012);
  EXPECT_EQ(ologof(&lda), 1012);
  EXPECT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 1012);
  EXPECT_EQ(oparse(&cda, (text *)"select * from dual", -1, 1, 2), 1001);
  EXPECT_EQ(oexn(&cda, 1, 0), 1001);
  EXPECT_EQ(ofen(&cda, 1), 1001);
  EXPECT_EQ(ocan(&cda), 1001);
  EXPECT_EQ(oclose(&cda), 1001);
  EXPECT_EQ(rcOf(cda), 1001);
  // Garbage that is not our handle.
  std::memset(cda.area, 0xA5, sizeof cda.area);
  EXPECT_EQ(oexfet(&cda, 1, 0, 0), 1001);
  EXPECT_EQ(opinit(1), 0);
  EXPECT_EQ(obreak(&lda), 1012); // nothing to break on an area that is not a logon
  EXPECT_EQ(oopt(&cda, 0, 0), 0);
  EXPECT_EQ(ocom(nullptr), 1012);
  EXPECT_EQ(oparse(nullptr, nullptr, 0, 0, 2), 1001);
  // A closed cursor is no cursor.
  ASSERT_EQ(logOn(lda, "scott/tiger@"), 0);
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  EXPECT_EQ(oclose(&cda), 0);
  EXPECT_EQ(oclose(&cda), 1001);
  EXPECT_EQ(oparse(&cda, (text *)"select * from dual", -1, 1, 2), 1001);
  // Calls out of order on an open cursor: errors, not crashes.
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  EXPECT_EQ(oexn(&cda, 1, 0), 1003);
  EXPECT_EQ(ofen(&cda, 1), 1002);
  sb4 dbsize, cbufl = 31, dsize;
  sb2 dbtype, prec, scale, nullok;
  sb1 name[32];
  EXPECT_EQ(odescr(&cda, 1, &dbsize, &dbtype, name, &cbufl, &dsize, &prec, &scale, &nullok), 1003);
  EXPECT_EQ(oparse(&cda, (text *)"  ", -1, 0, 2), 900);
  EXPECT_EQ(oparse(&cda, (text *)"select * from dual", 0, 1, 2), 0);
  EXPECT_EQ(oexn(&cda, 1, 0), 900);
  EXPECT_EQ(oclose(&cda), 0);
  // A cursor of a logon that logged off.
  ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
  EXPECT_EQ(ologof(&lda), 0);
  EXPECT_EQ(oparse(&cda, (text *)"select * from dual", -1, 1, 2), 1012);
  EXPECT_EQ(oclose(&cda), 0);
}

TEST_F(Logon, Oerhms_TruncatesSafely) {
  Lda_Def lda{};
  text buf[10];
  std::memset(buf, 'z', sizeof buf);
  oerhms(&lda, 1017, buf, sizeof buf);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(buf)), "ORA-01017");
  buf[0] = 'q';
  oerhms(&lda, 1017, buf, 1);
  EXPECT_EQ(buf[0], 0);
  oerhms(&lda, 1017, buf, 0); // nothing written, no crash
  oerhms(&lda, 1017, nullptr, 100);
  text big[200];
  oerhms(&lda, 1403, big, sizeof big);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(big)), "ORA-01403: no data found");
}

TEST_F(Logon, Logon_ManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::atomic<int> failures{0};
  for (int t = 0; t < 6; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 5; ++i) {
        Lda_Def lda;
        if (logOn(lda, "scott/tiger@") != 0 || ocom(&lda) != 0 || ologof(&lda) != 0)
          ++failures;
      }
    });
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(failures.load(), 0);
}

} // namespace
