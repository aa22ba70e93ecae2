// Speed of fetching and inserting through TOracleQuery against the local server, next to a
// plain SQLite loop over the same rows that formats the same text.
//
// Rows: N NUMBER, S VARCHAR2(30), D DATE, M NUMBER(10,2). TESSALY_BENCH_ROWS scales the fetch
// table (default 1,000,000) and TESSALY_BENCH_INSERTS the insert run (default 100,000).
#include "db/OciApi.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

long EnvCount(const char *AName, long ADefault) {
  const char *Text = std::getenv(AName);
  return Text && *Text ? std::atol(Text) : ADefault;
}

const long FetchRows = EnvCount("TESSALY_BENCH_ROWS", 1000000);
const long InsertRows = EnvCount("TESSALY_BENCH_INSERTS", 100000);

const char *const Months[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// Civil date of a day count since 1970-01-01.
void CivilFromDays(long ADays, int &AYear, int &AMonth, int &ADay) {
  ADays += 719468;
  const long Era = (ADays >= 0 ? ADays : ADays - 146096) / 146097;
  const long DayOfEra = ADays - Era * 146097;
  const long YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const long DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const long MonthIndex = (5 * DayOfYear + 2) / 153;
  ADay = static_cast<int>(DayOfYear - (153 * MonthIndex + 2) / 5 + 1);
  AMonth = static_cast<int>(MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9);
  AYear = static_cast<int>(YearOfEra + Era * 400 + (AMonth <= 2));
}

// The values of row I.
long long RowNumber(long I) { return I + 1; }
std::string RowText(long I) { return "Row text number " + std::to_string(I); }
long RowDays(long I) { return 7305 + I % 3650; } // from 1990-01-01 on
long long RowCents(long I) { return (static_cast<long long>(I) * 7919) % 10000000000LL; }

// A NUMBER as Oracle prints it: no trailing zeros, no leading zero before the point.
int FormatCents(long long ACents, char *AOut) {
  const bool Negative = ACents < 0;
  const long long Abs = Negative ? -ACents : ACents;
  const long long Whole = Abs / 100, Fraction = Abs % 100;
  int Length = 0;
  if (Negative)
    AOut[Length++] = '-';
  if (Whole != 0 || Fraction == 0)
    Length += std::sprintf(AOut + Length, "%lld", Whole);
  if (Fraction != 0) {
    AOut[Length++] = '.';
    AOut[Length++] = static_cast<char>('0' + Fraction / 10);
    if (Fraction % 10)
      AOut[Length++] = static_cast<char>('0' + Fraction % 10);
  }
  AOut[Length] = 0;
  return Length;
}

// A DATE in the default format DD-MON-YY.
int FormatDate(int AYear, int AMonth, int ADay, char *AOut) {
  return std::sprintf(AOut, "%02d-%s-%02d", ADay, Months[AMonth - 1], AYear % 100);
}

std::string DateText(long ADays) {
  int Year, Month, Day;
  CivilFromDays(ADays, Year, Month, Day);
  char Buffer[16];
  FormatDate(Year, Month, Day, Buffer);
  return Buffer;
}

std::string CentsText(long long ACents) {
  char Buffer[32];
  FormatCents(ACents, Buffer);
  return Buffer;
}

// A NUMBER the server keeps as a SQLite integer or double, printed as Oracle prints it: the
// shortest text that reads back the same, without a leading zero before the point.
int FormatStoredNumber(sqlite3_stmt *AStatement, int AColumn, char *AOut) {
  if (sqlite3_column_type(AStatement, AColumn) == SQLITE_INTEGER)
    return static_cast<int>(
        std::to_chars(AOut, AOut + 32, sqlite3_column_int64(AStatement, AColumn)).ptr - AOut);
  char *End = std::to_chars(AOut, AOut + 32, sqlite3_column_double(AStatement, AColumn),
                            std::chars_format::fixed)
                  .ptr;
  int Length = static_cast<int>(End - AOut);
  const int Sign = AOut[0] == '-' ? 1 : 0;
  if (Length > Sign + 1 && AOut[Sign] == '0' && AOut[Sign + 1] == '.') {
    std::memmove(AOut + Sign, AOut + Sign + 1, static_cast<size_t>(Length - Sign - 1));
    --Length;
  }
  return Length;
}

// A DATE the server keeps as "YYYY-MM-DD HH:MM:SS", printed in the default format DD-MON-YY.
int FormatStoredDate(const unsigned char *AText, char *AOut) {
  const int Month = (AText[5] - '0') * 10 + (AText[6] - '0');
  AOut[0] = static_cast<char>(AText[8]);
  AOut[1] = static_cast<char>(AText[9]);
  AOut[2] = '-';
  std::memcpy(AOut + 3, Months[(Month >= 1 && Month <= 12 ? Month : 1) - 1], 3);
  AOut[6] = '-';
  AOut[7] = static_cast<char>(AText[2]);
  AOut[8] = static_cast<char>(AText[3]);
  return 9;
}

// Resident memory now, in kilobytes.
long ResidentKb() {
  std::ifstream Statm("/proc/self/statm");
  long Size = 0, Resident = 0;
  Statm >> Size >> Resident;
  return Resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The same byte sum both loops take over every cell's text, so neither can skip reading it.
inline unsigned long Checksum(const std::uint8_t *AData, std::size_t ALength, unsigned long ASum) {
  for (std::size_t i = 0; i < ALength; ++i)
    ASum = ASum * 31 + AData[i];
  return ASum;
}

// ---- The two stores ----------------------------------------------------------------------------

struct TStores {
  std::string Folder;
  std::unique_ptr<TOracleDatabase> Db;
  sqlite3 *Plain = nullptr;
  // The server's own file, opened read-only, for the plain loop over the very same table.
  sqlite3 *ServerFile = nullptr;
  std::string Error;

  TStores() {
    char Template[] = "/tmp/tessaly-bench-XXXXXX";
    Folder = mkdtemp(Template);
    setenv("TESSALY_DATA", Folder.c_str(), 1);
    if (!std::getenv("TESSALY_OCI_LIBRARY"))
      setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    try {
      FillServer();
    } catch (const std::exception &E) {
      Error = std::string("local server: ") + E.what();
    }
    FillPlain();
    if (Error.empty() && sqlite3_open_v2((Folder + "/LOCAL/server.db").c_str(), &ServerFile,
                                         SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
      Error = "cannot open the server's file";
  }
  ~TStores() {
    Db.reset();
    sqlite3_close(ServerFile);
    sqlite3_close(Plain);
    std::string Command = "rm -rf '" + Folder + "'";
    if (std::system(Command.c_str()) != 0)
      std::fprintf(stderr, "could not remove %s\n", Folder.c_str());
  }

  void Run(const std::string &AText) {
    TOracleQuery Query;
    Query.SetDatabaseName("Bench");
    Query.SetSQL(AText);
    Query.Execute();
  }

  void FillServer() {
    Db = std::make_unique<TOracleDatabase>();
    Db->SetDatabaseName("Bench");
    Db->SetUser("SCOTT");
    Db->SetPassword("TIGER");
    Db->SetConnected(true);
    Run("CREATE TABLE bench_fetch (n NUMBER, s VARCHAR2(30), d DATE, m NUMBER(10,2))");
    Run("CREATE TABLE bench_insert (n NUMBER, s VARCHAR2(30), d DATE, m NUMBER(10,2))");
    // Filled with array executes of 1000 rows each.
    TOracleQuery Insert;
    Insert.SetDatabaseName("Bench");
    Insert.SetSQL("INSERT INTO bench_fetch VALUES (:n, :s, :d, :m)");
    Insert.Params().SetDimension(1000);
    Insert.SetPrepared(true);
    TParam *N = Insert.ParamByName("n"), *S = Insert.ParamByName("s");
    TParam *D = Insert.ParamByName("d"), *M = Insert.ParamByName("m");
    for (long First = 0; First < FetchRows; First += 1000) {
      const long Count = std::min(1000L, FetchRows - First);
      for (long Row = 0; Row < Count; ++Row) {
        const long I = First + Row;
        N->SetRowAsString(Row, std::to_string(RowNumber(I)));
        S->SetRowAsString(Row, RowText(I));
        D->SetRowAsString(Row, DateText(RowDays(I)));
        M->SetRowAsString(Row, CentsText(RowCents(I)));
      }
      Insert.ExecuteArray(static_cast<std::int32_t>(Count), 0);
    }
    Db->Commit();
  }

  void Exec(const char *ASql) {
    char *Message = nullptr;
    if (sqlite3_exec(Plain, ASql, nullptr, nullptr, &Message) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s\n", Message ? Message : "?");
      sqlite3_free(Message);
    }
  }

  // A table laid out as the server lays out bench_insert, for the plain inserts.
  void FillPlain() {
    sqlite3_open((Folder + "/plain.db").c_str(), &Plain);
    Exec("PRAGMA journal_mode=WAL");
    Exec("CREATE TABLE bench_insert (n NUMERIC, s TEXT, d TEXT, m NUMERIC)");
  }
};

TStores &Stores() {
  static TStores Instance;
  return Instance;
}

// ---- Fetch -------------------------------------------------------------------------------------

void BM_FetchOracleQuery(benchmark::State &AState) {
  TStores &S = Stores();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  const std::int32_t Batch = static_cast<std::int32_t>(AState.range(0));
  TOracleQuery Query;
  Query.SetDatabaseName("Bench");
  Query.SetSQL("SELECT n, s, d, m FROM bench_fetch");
  Query.Fields().SetDimension(Batch);
  long Rows = 0, PeakGrowth = 0;
  unsigned long Sum = 0;
  try {
    for (auto _ : AState) {
      const long Before = ResidentKb();
      long Batches = 0;
      Rows = 0;
      Query.Open();
      TFields &Fields = Query.Fields();
      while (true) {
        for (int f = 0; f < Fields.Count(); ++f) {
          TParam *Field = Fields.Items(f);
          for (std::int32_t Row = 0; Row < Query.RowsProcessed(); ++Row)
            Sum = Checksum(Field->RowData(Row), Field->RowIsNull(Row) ? 0 : Field->RowLength(Row),
                           Sum);
        }
        Rows += Query.RowsProcessed();
        // Reading /proc costs microseconds: sample every 64th batch (and the first ones).
        if (++Batches % 64 == 1)
          PeakGrowth = std::max(PeakGrowth, ResidentKb() - Before);
        if (Query.State() != TDataSetState::Fetching)
          break;
        Query.FetchNext(Batch);
      }
    }
  } catch (const std::exception &E) {
    AState.SkipWithError(E.what());
    return;
  }
  benchmark::DoNotOptimize(Sum);
  if (Rows != FetchRows)
    AState.SkipWithError(("fetched " + std::to_string(Rows) + " rows").c_str());
  AState.counters["rows"] = static_cast<double>(Rows);
  AState.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(Rows), benchmark::Counter::kIsIterationInvariantRate);
  AState.counters["peak_rss_growth_kb"] = static_cast<double>(PeakGrowth);
}
BENCHMARK(BM_FetchOracleQuery)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// The plain loop must print what the server prints: the first rows of both, side by side.
std::string CompareTexts(TStores &S) {
  TOracleQuery Query;
  Query.SetDatabaseName("Bench");
  Query.SetSQL("SELECT n, s, d, m FROM bench_fetch");
  Query.Fields().SetDimension(1000);
  Query.Open();
  sqlite3_stmt *Statement;
  sqlite3_prepare_v2(S.ServerFile, "SELECT N, S, D, M FROM \"SCOTT.BENCH_FETCH\"", -1, &Statement,
                     nullptr);
  std::string Difference;
  for (int Row = 0; Row < Query.RowsProcessed() && Difference.empty(); ++Row) {
    if (sqlite3_step(Statement) != SQLITE_ROW)
      Difference = "plain loop ran out of rows";
    char Text[64];
    const std::string Plain[4] = {
        std::string(Text, FormatStoredNumber(Statement, 0, Text)),
        reinterpret_cast<const char *>(sqlite3_column_text(Statement, 1)),
        std::string(Text, FormatStoredDate(sqlite3_column_text(Statement, 2), Text)),
        std::string(Text, FormatStoredNumber(Statement, 3, Text))};
    for (int f = 0; f < 4; ++f)
      if (Query.Fields().Items(f)->RowAsString(Row) != Plain[f])
        Difference = "row " + std::to_string(Row) + ": server '" +
                     Query.Fields().Items(f)->RowAsString(Row) + "', plain '" + Plain[f] + "'";
  }
  sqlite3_finalize(Statement);
  return Difference;
}

void BM_FetchPlainSqlite(benchmark::State &AState) {
  TStores &S = Stores();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  if (const std::string Difference = CompareTexts(S); !Difference.empty()) {
    AState.SkipWithError(Difference.c_str());
    return;
  }
  long Rows = 0;
  unsigned long Sum = 0;
  for (auto _ : AState) {
    Rows = 0;
    sqlite3_stmt *Statement;
    if (sqlite3_prepare_v2(S.ServerFile, "SELECT N, S, D, M FROM \"SCOTT.BENCH_FETCH\"", -1,
                           &Statement, nullptr) != SQLITE_OK) {
      AState.SkipWithError(sqlite3_errmsg(S.ServerFile));
      return;
    }
    char Text[64];
    while (sqlite3_step(Statement) == SQLITE_ROW) {
      int Length = FormatStoredNumber(Statement, 0, Text);
      Sum = Checksum(reinterpret_cast<const std::uint8_t *>(Text), Length, Sum);
      Sum = Checksum(sqlite3_column_text(Statement, 1), sqlite3_column_bytes(Statement, 1), Sum);
      Length = FormatStoredDate(sqlite3_column_text(Statement, 2), Text);
      Sum = Checksum(reinterpret_cast<const std::uint8_t *>(Text), Length, Sum);
      Length = FormatStoredNumber(Statement, 3, Text);
      Sum = Checksum(reinterpret_cast<const std::uint8_t *>(Text), Length, Sum);
      ++Rows;
    }
    sqlite3_finalize(Statement);
  }
  benchmark::DoNotOptimize(Sum);
  AState.counters["rows"] = static_cast<double>(Rows);
  AState.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(Rows), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_FetchPlainSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);

// ---- Insert ------------------------------------------------------------------------------------

void BM_InsertOracleQuery(benchmark::State &AState) {
  TStores &S = Stores();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  TOracleQuery Insert;
  Insert.SetDatabaseName("Bench");
  Insert.SetSQL("INSERT INTO bench_insert VALUES (:n, :s, :d, :m)");
  try {
    Insert.SetPrepared(true);
    TParam *N = Insert.ParamByName("n"), *T = Insert.ParamByName("s");
    TParam *D = Insert.ParamByName("d"), *M = Insert.ParamByName("m");
    for (auto _ : AState) {
      for (long I = 0; I < InsertRows; ++I) {
        N->SetAsString(std::to_string(RowNumber(I)));
        T->SetAsString(RowText(I));
        D->SetAsString(DateText(RowDays(I)));
        M->SetAsString(CentsText(RowCents(I)));
        Insert.Execute();
      }
      S.Db->Commit();
      AState.PauseTiming();
      S.Run("DELETE FROM bench_insert");
      S.Db->Commit();
      AState.ResumeTiming();
    }
  } catch (const std::exception &E) {
    AState.SkipWithError(E.what());
    return;
  }
  AState.counters["rows/s"] = benchmark::Counter(static_cast<double>(InsertRows),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_InsertOracleQuery)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertPlainSqlite(benchmark::State &AState) {
  TStores &S = Stores();
  for (auto _ : AState) {
    S.Exec("BEGIN");
    sqlite3_stmt *Statement;
    sqlite3_prepare_v2(S.Plain, "INSERT INTO bench_insert VALUES (?, ?, ?, ?)", -1, &Statement,
                       nullptr);
    for (long I = 0; I < InsertRows; ++I) {
      // The same texts the query binds, made the same way.
      const std::string Number = std::to_string(RowNumber(I)), Text = RowText(I);
      const std::string Date = DateText(RowDays(I)), Cents = CentsText(RowCents(I));
      int Year, Month, Day;
      CivilFromDays(RowDays(I), Year, Month, Day);
      char Iso[24];
      std::sprintf(Iso, "%04d-%02d-%02d 00:00:00", Year, Month, Day);
      sqlite3_bind_int64(Statement, 1, std::atoll(Number.c_str()));
      sqlite3_bind_text(Statement, 2, Text.c_str(), static_cast<int>(Text.size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_text(Statement, 3, Iso, -1, SQLITE_TRANSIENT);
      sqlite3_bind_double(Statement, 4, std::atof(Cents.c_str()));
      sqlite3_step(Statement);
      sqlite3_reset(Statement);
    }
    sqlite3_finalize(Statement);
    S.Exec("COMMIT");
    AState.PauseTiming();
    S.Exec("DELETE FROM bench_insert");
    AState.ResumeTiming();
  }
  AState.counters["rows/s"] = benchmark::Counter(static_cast<double>(InsertRows),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_InsertPlainSqlite)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
