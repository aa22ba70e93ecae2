// Threads on one logon, logons in two processes: serialised calls, locks with a timeout.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "OciTestUtil.h"

using namespace ocitest;

namespace {

class Concurrency : public Scott {};

TEST_F(Concurrency, Threads_ShareOneLogonSafely) {
  ASSERT_EQ(exec("create table th (t number, i number)"), 0);
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) {
        Cda_Def cda{};
        if (oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1) != 0) {
          ++failures;
          continue;
        }
        std::string sql =
            "insert into th values (" + std::to_string(t) + ", " + std::to_string(i) + ")";
        if (oparse(&cda, (text *)sql.c_str(), -1, 1, 2) != 0 || oexn(&cda, 1, 0) != 0)
          ++failures;
        // A query in between, fetched in small batches.
        char buf[8][41];
        ub2 len[8];
        sb2 ind[8];
        oparse(&cda, (text *)"select i from th", -1, 1, 2);
        odefin(&cda, 1, (ub1 *)buf, 41, 1, -1, ind, nullptr, -1, -1, len, nullptr);
        int rc = oexfet(&cda, 8, 0, 0);
        while (rc == 0)
          rc = ofen(&cda, 8);
        if (rc != 1403)
          ++failures;
        oclose(&cda);
      }
    });
  for (auto &th : threads)
    th.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(value("select count(*) from th"), "200");
}

TEST_F(Concurrency, Processes_LockTimeoutIsAnOraError) {
  ASSERT_EQ(exec("create table pr (n number)"), 0);
  ASSERT_EQ(exec("insert into pr values (1)"), 0); // holds the write lock until commit
  pid_t pid = fork();
  if (pid == 0) {
    // The child: its own logon on the same server.
    Lda_Def other;
    int code = 0;
    if (logOn(other, "scott/tiger@") != 0)
      _exit(10);
    Cda_Def cda{};
    oopen(&cda, &other, nullptr, -1, -1, nullptr, -1);
    oparse(&cda, (text *)"insert into pr values (2)", -1, 1, 2);
    code = oexn(&cda, 1, 0); // 54 after the timeout
    oclose(&cda);
    ologof(&other);
    _exit(code == 54 ? 0 : 20);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ocom(&lda), 0);
  // Once committed, the other process gets in.
  pid = fork();
  if (pid == 0) {
    Lda_Def other;
    if (logOn(other, "scott/tiger@") != 0)
      _exit(10);
    Cda_Def cda{};
    oopen(&cda, &other, nullptr, -1, -1, nullptr, -1);
    oparse(&cda, (text *)"insert into pr values (2)", -1, 1, 2);
    int code = oexn(&cda, 1, 0);
    oclose(&cda);
    ologof(&other); // commits
    _exit(code == 0 ? 0 : 30);
  }
  waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(value("select count(*) from pr"), "2");
}

} // namespace
