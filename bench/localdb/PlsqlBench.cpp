// The PL/SQL engine's speed: a 10,000,000-iteration FOR loop over BINARY_INTEGER and over NUMBER
// beside python3 and lua5.4 doing the same loop, 100,000 inserts from a PL/SQL loop beside plain
// sqlite3 prepared inserts in one transaction (and the same rows through EXECUTE IMMEDIATE and
// FORALL), a 1,000,000-row BULK COLLECT beside a plain sqlite3 read, and compiling a 20,000-line
// package body.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "localdb/plsql/PlsqlUnits.h"
#include "localdb/server/Cursor.h"
#include "localdb/server/Session.h"

namespace {

const int kLoop = 10000000;
const int kInserts = 100000;
const int kBodyProcedures = 2000; // 10 lines each

std::string gRoot;
std::shared_ptr<localdb::Session> gSession;

void run(const std::string &text) {
  localdb::Cursor c(gSession);
  c.parse(text.data(), text.size(), true);
  try {
    c.execute(1, 0);
  } catch (const localdb::OraError &e) {
    std::fprintf(stderr, "%s\n", e.message.c_str());
    std::exit(1);
  }
}

void setUp() {
  if (gSession)
    return;
  char tmpl[] = "/tmp/plsql-bench-XXXXXX";
  gRoot = mkdtemp(tmpl);
  setenv("TESSALY_DATA", gRoot.c_str(), 1);
  std::string pw = "tiger", conn = "";
  gSession = localdb::logon("scott", &pw, &conn);
  run("create table bench_rows (id number, name varchar2(30))");
}

void tearDown() {
  gSession->close();
  gSession.reset();
  std::filesystem::remove_all(gRoot);
}

std::string loopBlock(const char *type) {
  return std::string("declare a ") + type + " := 0; b " + type + " := 1; begin for i in 1.." +
         std::to_string(kLoop) + " loop a := a + b; end loop; end;";
}

void BM_PlsqlLoopBinaryInteger(benchmark::State &state) {
  setUp();
  std::string block = loopBlock("binary_integer");
  for (auto _ : state)
    run(block);
  state.counters["iterations/s"] = benchmark::Counter(kLoop, benchmark::Counter::kIsRate);
}

void BM_PlsqlLoopNumber(benchmark::State &state) {
  setUp();
  std::string block = loopBlock("number");
  for (auto _ : state)
    run(block);
  state.counters["iterations/s"] = benchmark::Counter(kLoop, benchmark::Counter::kIsRate);
}

double childCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The same loop in another interpreter, timed by the CPU its process used (start-up included:
// a few ms), so the comparison with the CPU column of the PL/SQL loops holds on a busy machine.
void external(benchmark::State &state, const std::string &command) {
  for (auto _ : state) {
    double t0 = childCpuSeconds();
    int rc = std::system(command.c_str());
    double t1 = childCpuSeconds();
    if (rc != 0) {
      state.SkipWithError(("not available: " + command).c_str());
      return;
    }
    state.SetIterationTime(t1 - t0);
  }
}

void BM_Python3Loop(benchmark::State &state) {
  external(state, "python3 -c 'a = 0\nb = 1\nfor i in range(1, " + std::to_string(kLoop + 1) +
                      "):\n    a = a + b\n' > /dev/null 2>&1");
}

void BM_Lua54Loop(benchmark::State &state) {
  external(state, "lua5.4 -e 'local a, b = 0, 1 for i = 1, " + std::to_string(kLoop) +
                      " do a = a + b end' > /dev/null 2>&1");
}

// Times a block that inserts kInserts rows into bench_rows; the rows go between rounds.
void timeInserts(benchmark::State &state, const std::string &block) {
  for (auto _ : state) {
    run(block);
    state.PauseTiming();
    run("delete from bench_rows");
    run("commit");
    state.ResumeTiming();
  }
  state.counters["rows/s"] = benchmark::Counter(kInserts, benchmark::Counter::kIsRate);
}

void BM_PlsqlInsertLoop(benchmark::State &state) {
  setUp();
  std::string block = "declare n varchar2(30); begin for i in 1.." + std::to_string(kInserts) +
                      " loop n := 'row ' || i; insert into bench_rows values (i, n); end loop; "
                      "commit; end;";
  timeInserts(state, block);
}

// The same 100,000 rows through EXECUTE IMMEDIATE of one text with binds, and through FORALL
// over collections filled first.
void BM_PlsqlDynamicInsertLoop(benchmark::State &state) {
  setUp();
  std::string block = "declare n varchar2(30); begin for i in 1.." + std::to_string(kInserts) +
                      " loop n := 'row ' || i; execute immediate 'insert into bench_rows values "
                      "(:1, :2)' using i, n; end loop; commit; end;";
  timeInserts(state, block);
}

void BM_PlsqlForallInsert(benchmark::State &state) {
  setUp();
  std::string block = "declare type nt is table of number index by binary_integer; type st is "
                      "table of varchar2(30) index by binary_integer; ids nt; names st; begin "
                      "for i in 1.." +
                      std::to_string(kInserts) +
                      " loop ids(i) := i; names(i) := 'row ' || i; end loop; forall i in 1.." +
                      std::to_string(kInserts) +
                      " insert into bench_rows values (ids(i), names(i)); commit; end;";
  timeInserts(state, block);
}

// 1,000,000 rows read into two collections by one SELECT ... BULK COLLECT, beside a plain
// sqlite3 loop reading the same table's rows into two vectors.
const int kBulkRows = 1000000;

void fillBulkRows() {
  static bool filled = false;
  setUp();
  if (filled)
    return;
  run("create table bench_bulk (id number, name varchar2(30))");
  run("begin for i in 1.." + std::to_string(kBulkRows) +
      " loop insert into bench_bulk values (i, 'row ' || i); end loop; commit; end;");
  filled = true;
}

void BM_PlsqlBulkCollect(benchmark::State &state) {
  fillBulkRows();
  std::string block = "declare type nt is table of number index by binary_integer; type st is "
                      "table of varchar2(30) index by binary_integer; ids nt; names st; begin "
                      "select id, name bulk collect into ids, names from bench_bulk; end;";
  for (auto _ : state)
    run(block);
  state.counters["rows/s"] = benchmark::Counter(kBulkRows, benchmark::Counter::kIsRate);
}

void BM_SqliteBulkRead(benchmark::State &state) {
  fillBulkRows();
  sqlite3 *db = nullptr;
  sqlite3_open((gRoot + "/" + "bench.tmp").c_str(), &db);
  sqlite3_exec(db, "CREATE TABLE IF NOT EXISTS t(id NUMERIC, name TEXT); DELETE FROM t;", nullptr,
               nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt *ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?1, ?2)", -1, &ins, nullptr);
  for (int i = 1; i <= kBulkRows; ++i) {
    std::string name = "row " + std::to_string(i);
    sqlite3_bind_int64(ins, 1, i);
    sqlite3_bind_text(ins, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_step(ins);
    sqlite3_reset(ins);
  }
  sqlite3_finalize(ins);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  for (auto _ : state) {
    std::vector<double> ids;
    std::vector<std::string> names;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, name FROM t", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      ids.push_back(sqlite3_column_double(st, 0));
      names.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
    }
    sqlite3_finalize(st);
    benchmark::DoNotOptimize(ids.data());
  }
  sqlite3_close(db);
  state.counters["rows/s"] = benchmark::Counter(kBulkRows, benchmark::Counter::kIsRate);
}

void BM_SqliteInsertLoop(benchmark::State &state) {
  sqlite3 *db = nullptr;
  std::string file = "/tmp/plsql-bench-sqlite.db";
  std::filesystem::remove(file);
  sqlite3_open(file.c_str(), &db);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE t(id NUMERIC, name TEXT)", nullptr,
               nullptr, nullptr);
  for (auto _ : state) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES (?1, ?2)", -1, &st, nullptr);
    for (int i = 1; i <= kInserts; ++i) {
      std::string name = "row " + std::to_string(i);
      sqlite3_bind_int64(st, 1, i);
      sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    state.PauseTiming();
    sqlite3_exec(db, "DELETE FROM t", nullptr, nullptr, nullptr);
    state.ResumeTiming();
  }
  sqlite3_close(db);
  std::filesystem::remove(file);
  state.counters["rows/s"] = benchmark::Counter(kInserts, benchmark::Counter::kIsRate);
}

void BM_CompilePackageBody(benchmark::State &state) {
  setUp();
  std::string spec = "create or replace package big is\n";
  std::string body = "package body big is\n";
  for (int i = 0; i < kBodyProcedures; ++i) {
    std::string n = std::to_string(i);
    spec += "  procedure p" + n + "(a number, b out varchar2);\n";
    body += "  procedure p" + n +
            "(a number, b out varchar2) is\n"
            "    x number := a * 2;\n"
            "    s varchar2(100);\n"
            "  begin\n"
            "    if x > 10 then\n"
            "      s := 'big ' || to_char(x);\n"
            "    else\n"
            "      s := 'small';\n"
            "    end if;\n"
            "    b := s;\n  end;\n";
  }
  spec += "end;";
  body += "end;\n";
  run(spec);
  size_t lines = 0;
  for (char c : body)
    lines += c == '\n';
  for (auto _ : state) {
    auto errors = localdb::plsql::compileOnly(*gSession, body, false);
    if (!errors.empty()) {
      state.SkipWithError(errors[0].text.c_str());
      return;
    }
  }
  state.counters["lines/s"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["lines"] = static_cast<double>(lines);
}

} // namespace

BENCHMARK(BM_PlsqlLoopBinaryInteger)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlsqlLoopNumber)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Python3Loop)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_Lua54Loop)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_PlsqlInsertLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SqliteInsertLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlsqlDynamicInsertLoop)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlsqlForallInsert)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PlsqlBulkCollect)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SqliteBulkRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CompilePackageBody)->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  if (gSession)
    tearDown();
  return 0;
}
