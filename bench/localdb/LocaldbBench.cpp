// Fetching 1,000,000 rows and inserting 100,000 bound rows through the contract, each against the
// fastest plain sqlite3 loop over the same data (same open flags, values bound natively, one
// transaction); the contract should stay within 1.5x of the loop. Scripts of 10,000 INSERT
// texts (with and without TO_DATE in every row), 10,000 UPDATEs and 10,000 DELETEs by key should
// stay within 2x of SQLite running the same script as its shell does. The ratios are printed at
// the end, each against its baseline measured in the same run.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/OciCalls.h"

namespace {

const int kRows = 1000000;
const int kInserts = 100000;
const int kBatch = 100;

std::string gRoot;
Lda_Def gLda;

uint32_t rowsOf(const Cda_Def &c) {
  ub4 v;
  std::memcpy(&v, c.area + OCI_CDA_RPC, 4);
  return v;
}

void check(int rc, const char *what) {
  if (rc != 0 && rc != 1403) {
    text buf[512];
    oerhms(&gLda, static_cast<sb2>(rc), buf, sizeof buf);
    std::fprintf(stderr, "%s: %s\n", what, buf);
    std::exit(1);
  }
}

void execute(const char *sql) {
  Cda_Def c{};
  check(oopen(&c, &gLda, nullptr, -1, -1, nullptr, -1), "oopen");
  check(oparse(&c, (text *)sql, -1, 1, 2), sql);
  check(oexn(&c, 1, 0), sql);
  oclose(&c);
}

// A table of kRows rows, filled once with array inserts.
void setUp() {
  char tmpl[] = "/tmp/localdb-bench-XXXXXX";
  gRoot = mkdtemp(tmpl);
  setenv("TESSALY_DATA", gRoot.c_str(), 1);
  ub1 hda[256] = {};
  check(olog(&gLda, hda, (text *)"scott/tiger@", -1, nullptr, 0, nullptr, 0, 0), "olog");
  execute("create table big (id number, name varchar2(30), amount number(10,2))");
  execute("create table ins (id number, name varchar2(30), amount number(10,2))");
  execute("create table dated (id number, name varchar2(30), amount number(10,2), hired date)");
  execute("create table keyed (id number primary key, name varchar2(30))");
  Cda_Def c{};
  check(oopen(&c, &gLda, nullptr, -1, -1, nullptr, -1), "oopen");
  check(oparse(&c, (text *)"insert into big values (:1, :2, :3)", -1, 1, 2), "parse");
  static int ids[1000];
  static char names[1000][30];
  static ub2 nameLen[1000];
  static char amounts[1000][12];
  static ub2 amountLen[1000];
  check(obndra(&c, (text *)"1", -1, (ub1 *)ids, 4, 3, -1, nullptr, nullptr, nullptr, 0, nullptr,
               nullptr, 0, 0),
        "bind");
  check(obndra(&c, (text *)"2", -1, (ub1 *)names, 30, 1, -1, nullptr, nameLen, nullptr, 0, nullptr,
               nullptr, 0, 0),
        "bind");
  check(obndra(&c, (text *)"3", -1, (ub1 *)amounts, 12, 1, -1, nullptr, amountLen, nullptr, 0,
               nullptr, nullptr, 0, 0),
        "bind");
  for (int base = 0; base < kRows; base += 1000) {
    for (int i = 0; i < 1000; ++i) {
      ids[i] = base + i;
      nameLen[i] = static_cast<ub2>(std::snprintf(names[i], 30, "name number %d", base + i));
      amountLen[i] =
          static_cast<ub2>(std::snprintf(amounts[i], 12, "%d.%02d", (base + i) % 10000, i % 100));
    }
    check(oexn(&c, 1000, 0), "oexn");
  }
  oclose(&c);
  check(ocom(&gLda), "commit");
}

// Every row of a query through the call contract, columns defined as text.
void fetchThroughContract(benchmark::State &state, const char *sql, int columns) {
  for (auto _ : state) {
    Cda_Def c{};
    oopen(&c, &gLda, nullptr, -1, -1, nullptr, -1);
    check(oparse(&c, (text *)sql, -1, 1, 2), "parse");
    static char buf[3][kBatch][41];
    static sb2 ind[3][kBatch];
    static ub2 len[3][kBatch];
    for (int i = 0; i < columns; ++i)
      odefin(&c, i + 1, (ub1 *)buf[i], 41, 1, -1, ind[i], nullptr, -1, -1, len[i], nullptr);
    size_t bytes = 0;
    int rc = oexfet(&c, kBatch, 0, 0);
    uint32_t seen = 0;
    while (true) {
      check(rc, "fetch");
      uint32_t total = rowsOf(c);
      for (uint32_t r = 0; r < total - seen; ++r)
        for (int i = 0; i < columns; ++i)
          bytes += len[i][r];
      seen = total;
      if (rc == 1403)
        break;
      rc = ofen(&c, kBatch);
    }
    oclose(&c);
    if (seen != static_cast<uint32_t>(kRows))
      state.SkipWithError("row count");
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_FetchThroughContract(benchmark::State &state) {
  fetchThroughContract(state, "select id, name, amount from big", 3);
}

// ROW_NUMBER over partitions of the same table.
void BM_AnalyticThroughContract(benchmark::State &state) {
  fetchThroughContract(
      state, "select id, row_number() over (partition by mod(id, 100) order by id) from big", 2);
}

// The plain loops open the file as the server does: no SQLite mutex (one thread per connection).
sqlite3 *openPlain() {
  sqlite3 *db = nullptr;
  sqlite3_open_v2((gRoot + "/LOCAL/server.db").c_str(), &db,
                  SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  return db;
}

// The same rows read with SQLite's own statement over the server's table.
void fetchPlainSqlite(benchmark::State &state, const char *sql, int columns) {
  sqlite3 *db = openPlain();
  for (auto _ : state) {
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    size_t bytes = 0;
    int rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      for (int i = 0; i < columns; ++i) {
        sqlite3_column_text(st, i);
        bytes += static_cast<size_t>(sqlite3_column_bytes(st, i));
      }
      ++rows;
    }
    sqlite3_finalize(st);
    if (rows != kRows)
      state.SkipWithError("row count");
    benchmark::DoNotOptimize(bytes);
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_FetchPlainSqlite(benchmark::State &state) {
  fetchPlainSqlite(state, "SELECT \"ID\", \"NAME\", \"AMOUNT\" FROM \"SCOTT.BIG\"", 3);
}

void BM_AnalyticPlainSqlite(benchmark::State &state) {
  fetchPlainSqlite(state,
                   "SELECT \"ID\", row_number() OVER (PARTITION BY \"ID\" % 100 ORDER BY \"ID\") "
                   "FROM \"SCOTT.BIG\"",
                   2);
}

void BM_InsertThroughContract(benchmark::State &state) {
  for (auto _ : state) {
    execute("delete from ins");
    check(ocom(&gLda), "commit");
    Cda_Def c{};
    oopen(&c, &gLda, nullptr, -1, -1, nullptr, -1);
    check(oparse(&c, (text *)"insert into ins values (:id, :name, :amount)", -1, 1, 2), "parse");
    // Bound as a careful client binds them: the numbers natively, only the name as text.
    int id = 0;
    char name[30];
    double amount = 0;
    ub2 nameLen = 0;
    obndra(&c, (text *)"ID", -1, (ub1 *)&id, 4, 3, -1, nullptr, nullptr, nullptr, 0, nullptr,
           nullptr, 0, 0);
    obndra(&c, (text *)"NAME", -1, (ub1 *)name, 30, 1, -1, nullptr, &nameLen, nullptr, 0, nullptr,
           nullptr, 0, 0);
    obndra(&c, (text *)"AMOUNT", -1, (ub1 *)&amount, 8, 4, -1, nullptr, nullptr, nullptr, 0,
           nullptr, nullptr, 0, 0);
    for (int i = 0; i < kInserts; ++i) {
      id = i;
      nameLen = static_cast<ub2>(std::snprintf(name, sizeof name, "name number %d", i));
      amount = (i % 10000) + (i % 100) / 100.0;
      check(oexn(&c, 1, 0), "insert");
    }
    check(ocom(&gLda), "commit");
    oclose(&c);
  }
  state.SetItemsProcessed(state.iterations() * kInserts);
}

// The same rows bound natively: the id and the amount as numbers, only the name as text.
void BM_InsertPlainSqlite(benchmark::State &state) {
  sqlite3 *db = openPlain();
  for (auto _ : state) {
    sqlite3_exec(db, "DELETE FROM \"SCOTT.INS\"", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"SCOTT.INS\" VALUES (?1, ?2, ?3)", -1, &st, nullptr);
    char name[30];
    for (int i = 0; i < kInserts; ++i) {
      int n = std::snprintf(name, sizeof name, "name number %d", i);
      sqlite3_bind_int(st, 1, i);
      sqlite3_bind_text(st, 2, name, n, SQLITE_STATIC);
      sqlite3_bind_double(st, 3, (i % 10000) + (i % 100) / 100.0);
      sqlite3_step(st);
      sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kInserts);
}

// A script of 10,000 INSERT statements with their values written in (each text different), in
// one transaction with COMMIT at the end: through the contract one oparse + oexn each, against
// SQLite running the equivalent script as its shell does (sqlite3_exec: prepare and step each).
const int kScript = 10000;

std::string scriptInsert(int i, bool oracle) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "INSERT INTO %s VALUES (%d, 'name number %d', %d.%02d)",
                oracle ? "ins" : "\"SCOTT.INS\"", i, i, i % 10000, i % 100);
  return buf;
}

void BM_ScriptThroughContract(benchmark::State &state) {
  std::vector<std::string> script;
  for (int i = 0; i < kScript; ++i)
    script.push_back(scriptInsert(i, true));
  for (auto _ : state) {
    execute("delete from ins");
    check(ocom(&gLda), "commit");
    Cda_Def c{};
    oopen(&c, &gLda, nullptr, -1, -1, nullptr, -1);
    for (const std::string &sql : script) {
      check(oparse(&c, (text *)sql.c_str(), static_cast<sword>(sql.size()), 1, 2), "parse");
      check(oexn(&c, 1, 0), "insert");
    }
    check(ocom(&gLda), "commit");
    oclose(&c);
  }
  state.SetItemsProcessed(state.iterations() * kScript);
}

void BM_ScriptPlainSqlite(benchmark::State &state) {
  std::string script = "BEGIN;\n";
  for (int i = 0; i < kScript; ++i)
    script += scriptInsert(i, false) + ";\n";
  script += "COMMIT;\n";
  sqlite3 *db = openPlain();
  for (auto _ : state) {
    sqlite3_exec(db, "DELETE FROM \"SCOTT.INS\"", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError(sqlite3_errmsg(db));
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kScript);
}

// The same script with a date in every row, written as Oracle's sample scripts write it
// (TO_DATE with a mask); SQLite's shell script converts the same text with its own function.
std::string datedInsert(int i, bool oracle) {
  char buf[200];
  int year = 1980 + i % 30, month = 1 + i % 12, day = 1 + i % 28;
  if (oracle)
    std::snprintf(buf, sizeof buf,
                  "INSERT INTO dated VALUES (%d, 'name number %d', %d.%02d, "
                  "TO_DATE('%04d-%02d-%02d', 'YYYY-MM-DD'))",
                  i, i, i % 10000, i % 100, year, month, day);
  else
    std::snprintf(buf, sizeof buf,
                  "INSERT INTO \"SCOTT.DATED\" VALUES (%d, 'name number %d', %d.%02d, "
                  "datetime('%04d-%02d-%02d'))",
                  i, i, i % 10000, i % 100, year, month, day);
  return buf;
}

std::string keyedUpdate(int i, bool oracle) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "UPDATE %s SET name = 'renamed %d' WHERE id = %d",
                oracle ? "keyed" : "\"SCOTT.KEYED\"", i * 7, i);
  return buf;
}

std::string keyedDelete(int i, bool oracle) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "DELETE FROM %s WHERE id = %d",
                oracle ? "keyed" : "\"SCOTT.KEYED\"", i);
  return buf;
}

// kScript rows in the keyed table, put there outside the timing.
void fillKeyed(benchmark::State &state) {
  state.PauseTiming();
  execute("delete from keyed");
  execute("insert into keyed select id, name from ins where id < 10000");
  check(ocom(&gLda), "commit");
  state.ResumeTiming();
}

// A script through the contract: one oparse + oexn per text, one transaction.
void scriptThroughContract(benchmark::State &state, std::string (*make)(int, bool),
                           const char *before) {
  std::vector<std::string> script;
  for (int i = 0; i < kScript; ++i)
    script.push_back(make(i, true));
  for (auto _ : state) {
    if (std::strcmp(before, "fill") == 0) {
      fillKeyed(state);
    } else {
      state.PauseTiming();
      execute(before);
      check(ocom(&gLda), "commit");
      state.ResumeTiming();
    }
    Cda_Def c{};
    oopen(&c, &gLda, nullptr, -1, -1, nullptr, -1);
    for (const std::string &sql : script) {
      check(oparse(&c, (text *)sql.c_str(), static_cast<sword>(sql.size()), 1, 2), "parse");
      check(oexn(&c, 1, 0), sql.c_str());
      if (rowsOf(c) != 1)
        state.SkipWithError("row count");
    }
    check(ocom(&gLda), "commit");
    oclose(&c);
  }
  state.SetItemsProcessed(state.iterations() * kScript);
}

// The same script as the sqlite3 shell runs it: sqlite3_exec of the whole text.
void scriptPlainSqlite(benchmark::State &state, std::string (*make)(int, bool),
                       const char *before) {
  std::string script = "BEGIN;\n";
  for (int i = 0; i < kScript; ++i)
    script += make(i, false) + ";\n";
  script += "COMMIT;\n";
  sqlite3 *db = openPlain();
  for (auto _ : state) {
    if (std::strcmp(before, "fill") == 0) {
      fillKeyed(state);
    } else {
      state.PauseTiming();
      execute(before);
      check(ocom(&gLda), "commit");
      state.ResumeTiming();
    }
    int changes = sqlite3_total_changes(db);
    if (sqlite3_exec(db, script.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError(sqlite3_errmsg(db));
    if (sqlite3_total_changes(db) - changes != kScript)
      state.SkipWithError("row count");
  }
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kScript);
}

void BM_DatedScriptThroughContract(benchmark::State &state) {
  scriptThroughContract(state, datedInsert, "delete from dated");
}
void BM_DatedScriptPlainSqlite(benchmark::State &state) {
  scriptPlainSqlite(state, datedInsert, "delete from dated");
}
void BM_UpdateScriptThroughContract(benchmark::State &state) {
  scriptThroughContract(state, keyedUpdate, "fill");
}
void BM_UpdateScriptPlainSqlite(benchmark::State &state) {
  scriptPlainSqlite(state, keyedUpdate, "fill");
}
void BM_DeleteScriptThroughContract(benchmark::State &state) {
  scriptThroughContract(state, keyedDelete, "fill");
}
void BM_DeleteScriptPlainSqlite(benchmark::State &state) {
  scriptPlainSqlite(state, keyedDelete, "fill");
}

double minimum(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

// Prints the runs as usual and keeps each aggregate's time for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  // "function/statistic" -> elapsed and CPU time per iteration (a shared machine's elapsed
  // times wait for other work too; the CPU times show what each side spent)
  std::map<std::string, std::pair<double, double>> times;
  void ReportRuns(const std::vector<Run> &reports) override {
    for (const Run &r : reports)
      if (!r.error_occurred)
        times[r.run_name.function_name + "/" + r.aggregate_name] = {r.GetAdjustedRealTime(),
                                                                    r.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(reports);
  }
};

} // namespace

// Each case repeated; the report gives min and median (and mean) of the repetitions.
#define LOCALDB_BENCH(fn)                                                                          \
  BENCHMARK(fn)                                                                                    \
      ->Unit(benchmark::kMillisecond)                                                              \
      ->MinTime(0.5)                                                                               \
      ->Repetitions(5)                                                                             \
      ->ComputeStatistics("min", minimum)                                                          \
      ->ReportAggregatesOnly(true)
LOCALDB_BENCH(BM_FetchThroughContract);
LOCALDB_BENCH(BM_FetchPlainSqlite);
LOCALDB_BENCH(BM_AnalyticThroughContract);
LOCALDB_BENCH(BM_AnalyticPlainSqlite);
LOCALDB_BENCH(BM_InsertThroughContract);
LOCALDB_BENCH(BM_InsertPlainSqlite);
LOCALDB_BENCH(BM_ScriptThroughContract);
LOCALDB_BENCH(BM_ScriptPlainSqlite);
LOCALDB_BENCH(BM_DatedScriptThroughContract);
LOCALDB_BENCH(BM_DatedScriptPlainSqlite);
LOCALDB_BENCH(BM_UpdateScriptThroughContract);
LOCALDB_BENCH(BM_UpdateScriptPlainSqlite);
LOCALDB_BENCH(BM_DeleteScriptThroughContract);
LOCALDB_BENCH(BM_DeleteScriptPlainSqlite);

int main(int argc, char **argv) {
  setUp();
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const struct {
    const char *name, *contract, *baseline;
    double goal;
  } ratios[] = {
      {"fetch", "BM_FetchThroughContract", "BM_FetchPlainSqlite", 1.5},
      {"analytic fetch", "BM_AnalyticThroughContract", "BM_AnalyticPlainSqlite", 1.5},
      {"bound inserts", "BM_InsertThroughContract", "BM_InsertPlainSqlite", 1.5},
      {"insert script", "BM_ScriptThroughContract", "BM_ScriptPlainSqlite", 2},
      {"insert script with TO_DATE", "BM_DatedScriptThroughContract", "BM_DatedScriptPlainSqlite",
       2},
      {"update script", "BM_UpdateScriptThroughContract", "BM_UpdateScriptPlainSqlite", 2},
      {"delete script", "BM_DeleteScriptThroughContract", "BM_DeleteScriptPlainSqlite", 2},
  };
  for (const auto &r : ratios)
    for (const char *statistic : {"min", "median"}) {
      auto a = reporter.times.find(std::string(r.contract) + "/" + statistic);
      auto b = reporter.times.find(std::string(r.baseline) + "/" + statistic);
      if (a != reporter.times.end() && b != reporter.times.end())
        std::printf("%s, contract / sqlite3, %s: %.2f (%.1f ms vs %.1f ms; CPU %.2f: %.1f ms vs "
                    "%.1f ms; goal: within %g)\n",
                    r.name, statistic, a->second.first / b->second.first, a->second.first,
                    b->second.first, a->second.second / b->second.second, a->second.second,
                    b->second.second, r.goal);
    }
  ologof(&gLda);
  struct rusage ru {};
  getrusage(RUSAGE_SELF, &ru);
  std::fprintf(stderr, "peak resident set: %ld KiB\n", ru.ru_maxrss);
  if (!std::getenv("LOCALDB_BENCH_KEEP")) // to look at the server file afterwards
    std::filesystem::remove_all(gRoot);
  else
    std::fprintf(stderr, "server kept in %s\n", gRoot.c_str());
  return 0;
}
