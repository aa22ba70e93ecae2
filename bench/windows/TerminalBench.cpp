// Speed of the terminal window: a 10,000-row, 8-column query run into the grid and painted
// once, next to the sqlite3 shell printing the same rows of the server's own file to /dev/null,
// both repeated, the run ending with the ratios of their minimum and median times (goal: 2);
// sorting 100,000 fetched rows by a number, a date and a text column (goal: 100 ms each); and
// the memory a 1,000,000-row result takes when fetched on to its end batch by batch, as
// scrolling does (goal: at most twice the rows' text). TESSALY_BENCH_TERMINAL_ROWS changes the
// first row count.
#include "windows/TerminalUnit.h"

#include "app/MainUnit.h"
#include "classes/Application.h"
#include "db/OciApiQuery.h"

#include <QComboBox>
#include <QMdiArea>
#include <QPixmap>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

double MinOf(const std::vector<double> &AValues) {
  return AValues.empty() ? 0 : *std::min_element(AValues.begin(), AValues.end());
}

long EnvCount(const char *AName, long ADefault) {
  const char *Text = std::getenv(AName);
  return Text && *Text ? std::atol(Text) : ADefault;
}

const long Rows = EnvCount("TESSALY_BENCH_TERMINAL_ROWS", 10000);

struct TSetup {
  std::string Folder;
  std::unique_ptr<TMainForm> Main;
  TTerminalForm *Form = nullptr;
  std::string Error;

  TSetup() {
    char Template[] = "/tmp/tessaly-terminal-bench-XXXXXX";
    Folder = mkdtemp(Template);
    setenv("TESSALY_DATA", Folder.c_str(), 1);
    if (!std::getenv("TESSALY_OCI_LIBRARY"))
      setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    SetProgramPath(Folder + "/tessaly");
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) { Error = AMessage; };
    Main = std::make_unique<TMainForm>();
    Main->resize(900, 700);
    Main->show();
    try {
      Main->Database->OnLogin.Clear();
      Main->Database->SetUser("SCOTT");
      Main->Database->SetPassword("TIGER");
      Main->Database->SetConnected(true);
      Fill();
    } catch (const std::exception &E) {
      Error = E.what();
      return;
    }
    Main->CFG->SetTerminalBufferLimit(int(Rows));
    Main->WindowNewTerminalWindowItem->trigger();
    Form = dynamic_cast<TTerminalForm *>(Main->ActiveChild());
    if (!Form)
      Error = "no terminal window";
    else
      Form->parentWidget()->resize(800, 600);
  }
  ~TSetup() {
    Main->MdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Main.reset();
    std::string Command = "rm -rf '" + Folder + "'";
    if (std::system(Command.c_str()) != 0)
      std::fprintf(stderr, "could not remove %s\n", Folder.c_str());
  }

  void Run(const std::string &AText) {
    TOracleQuery Query;
    Query.SetDatabaseName("Database");
    Query.SetSQL(AText);
    Query.Execute();
  }

  // Eight columns of the kinds a user's table has: numbers, texts, a date, a decimal.
  void Fill() {
    Run("CREATE TABLE bench_terminal (id NUMBER, name VARCHAR2(30), job VARCHAR2(12), "
        "mgr NUMBER, hired DATE, sal NUMBER(10,2), note VARCHAR2(40), deptno NUMBER)");
    TOracleQuery Insert;
    Insert.SetDatabaseName("Database");
    Insert.SetSQL("INSERT INTO bench_terminal VALUES (:id, :name, :job, :mgr, "
                  "TO_DATE(:hired, 'YYYY-MM-DD'), :sal, :note, :deptno)");
    Insert.Params().SetDimension(1000);
    Insert.SetPrepared(true);
    static const char *const Jobs[] = {"CLERK", "SALESMAN", "MANAGER", "ANALYST", "PRESIDENT"};
    for (long First = 0; First < Rows; First += 1000) {
      const long Count = std::min(1000L, Rows - First);
      for (long Row = 0; Row < Count; ++Row) {
        const long I = First + Row;
        char Date[16];
        std::snprintf(Date, sizeof Date, "%04ld-%02ld-%02ld", 1980 + I % 40, 1 + I % 12,
                      1 + I % 28);
        Insert.ParamByName("id")->SetRowAsString(Row, std::to_string(I + 1));
        Insert.ParamByName("name")->SetRowAsString(Row, "Employee " + std::to_string(I));
        Insert.ParamByName("job")->SetRowAsString(Row, Jobs[I % 5]);
        Insert.ParamByName("mgr")->SetRowAsString(Row, std::to_string(7000 + I % 900));
        Insert.ParamByName("hired")->SetRowAsString(Row, Date);
        Insert.ParamByName("sal")->SetRowAsString(Row, std::to_string(800 + I % 4200) + "." +
                                                           std::to_string(I % 100));
        Insert.ParamByName("note")->SetRowAsString(Row, "note for row " + std::to_string(I));
        Insert.ParamByName("deptno")->SetRowAsString(Row, std::to_string(10 * (1 + I % 4)));
      }
      Insert.ExecuteArray(int(Count), 0);
    }
    Main->Database->Commit();
  }
};

// Made at the first benchmark, gone before the application object.
std::unique_ptr<TSetup> TheSetup;
// User and system time of the finished child processes, in milliseconds.
double ChildCpuMs() {
  rusage Usage{};
  getrusage(RUSAGE_CHILDREN, &Usage);
  return (Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) * 1e3 +
         (Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e3;
}

TSetup &Setup() {
  if (!TheSetup)
    TheSetup = std::make_unique<TSetup>();
  return *TheSetup;
}

void BM_TerminalQueryIntoGrid(benchmark::State &AState) {
  TSetup &S = Setup();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  S.Form->SetCommandText("SELECT * FROM bench_terminal");
  for (auto _ : AState) {
    S.Form->GoButtonClick();
    S.Form->WaitForStatement();
    // One complete paint of the window as it stands, grid and header included.
    QPixmap Picture = S.Form->grab();
    benchmark::DoNotOptimize(Picture);
  }
  if (!S.Error.empty())
    AState.SkipWithError(S.Error.c_str());
  else if (S.Form->GridModel->DataRowCount() != Rows || S.Form->GridModel->ColumnCount() != 8)
    AState.SkipWithError("the grid does not hold the rows");
  AState.counters["rows"] = double(S.Form->GridModel->DataRowCount());
}
BENCHMARK(BM_TerminalQueryIntoGrid)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ComputeStatistics("min", MinOf)
    ->UseRealTime();

void BM_Sqlite3ShellToDevNull(benchmark::State &AState) {
  TSetup &S = Setup();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  const std::string Command = "sqlite3 -readonly '" + S.Folder +
                              "/LOCAL/server.db' 'SELECT * FROM \"SCOTT.BENCH_TERMINAL\"' "
                              "> /dev/null";
  const double Before = ChildCpuMs();
  for (auto _ : AState) {
    if (std::system(Command.c_str()) != 0) {
      AState.SkipWithError("the sqlite3 shell failed");
      break;
    }
  }
  // The shell's own processor time, which a busy machine distorts less than the clock.
  AState.counters["shell_cpu_ms"] =
      benchmark::Counter((ChildCpuMs() - Before) / double(AState.iterations()));
}
BENCHMARK(BM_Sqlite3ShellToDevNull)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5)
    ->Repetitions(5)
    ->ComputeStatistics("min", MinOf)
    ->UseRealTime();

// 100,000 rows of the bench table's kinds, sorted by one column per run.
TResultSet SortRows() {
  TResultSet Result;
  Result.Reset({"ID", "NAME", "HIRED", "SAL"},
               {TColumnKind::Number, TColumnKind::Text, TColumnKind::Date, TColumnKind::Number});
  static const char *const Months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  std::vector<bool> Nulls(4, false);
  for (long I = 0; I < 100000; ++I) {
    const long Key = (I * 7919) % 100000; // the rows in no order
    char Date[16];
    std::snprintf(Date, sizeof Date, "%02ld-%s-%02ld", 1 + Key % 28, Months[Key % 12], Key % 100);
    const std::string Id = std::to_string(Key), Name = "Employee " + std::to_string(Key * 31),
                      Sal = std::to_string(800 + Key % 4200) + "." + std::to_string(Key % 100);
    Nulls[3] = Key % 10 == 0;
    Result.AppendRow({Id, Name, Date, Nulls[3] ? "" : Sal}, Nulls);
  }
  return Result;
}

void BM_SortFetchedRows(benchmark::State &AState) {
  static TResultSet Rows = SortRows();
  const int Column = int(AState.range(0));
  bool Ascending = true;
  for (auto _ : AState) {
    Rows.Sort(Column, Ascending);
    Ascending = !Ascending;
    benchmark::DoNotOptimize(Rows.Cell(Column, 0));
  }
  AState.SetLabel(Rows.Header(Column) + " (goal: 100 ms)");
}
BENCHMARK(BM_SortFetchedRows)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

// Resident memory of the process in bytes.
double ResidentBytes() {
  std::ifstream Statm("/proc/self/statm");
  double Pages = 0, Resident = 0;
  Statm >> Pages >> Resident;
  return Resident * double(sysconf(_SC_PAGESIZE));
}

// The cursor holds 1,000,000 rows; the grid fetches them on batch by batch to the end.
void BM_FetchOnToTheEnd(benchmark::State &AState) {
  TSetup &S = Setup();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  const long Wanted = 1000000, Second = std::max(1L, Wanted / Rows);
  for (auto _ : AState) {
    S.Form->SetCommandText(
        ("SELECT a.* FROM bench_terminal a, (SELECT id FROM bench_terminal WHERE id <= " +
         std::to_string(Second) + ") b"));
    S.Form->GoButtonClick();
    S.Form->WaitForStatement();
    const double Before = ResidentBytes();
    S.Form->ResultGrid->FetchAll();
    const TResultSet &Fetched = S.Form->GridModel->Rows();
    AState.counters["rows"] = double(Fetched.RowCount());
    AState.counters["text_MB"] = double(Fetched.TextBytes()) / 1e6;
    AState.counters["held_MB"] = double(Fetched.MemoryBytes()) / 1e6;
    AState.counters["rss_growth_MB"] = (ResidentBytes() - Before) / 1e6;
    if (!S.Error.empty())
      AState.SkipWithError(S.Error.c_str());
  }
}
BENCHMARK(BM_FetchOnToTheEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

// Prints the runs as usual and keeps each one's times per iteration for the ratios.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
  // By function name and statistic ("" for a single run, "min", "median", ...).
  std::map<std::string, const Run> Runs;
  void ReportRuns(const std::vector<Run> &AReports) override {
    for (const Run &R : AReports)
      if (!R.error_occurred)
        Runs.emplace(R.run_name.function_name + "/" + R.aggregate_name, R);
    ConsoleReporter::ReportRuns(AReports);
  }
};

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication Application(argc, argv);
  benchmark::Initialize(&argc, argv);
  TRatioReporter Reporter;
  benchmark::RunSpecifiedBenchmarks(&Reporter);
  for (const char *Statistic : {"min", "median"}) {
    const auto Terminal = Reporter.Runs.find(std::string("BM_TerminalQueryIntoGrid/") + Statistic);
    const auto Shell = Reporter.Runs.find(std::string("BM_Sqlite3ShellToDevNull/") + Statistic);
    if (Terminal != Reporter.Runs.end() && Shell != Reporter.Runs.end())
      std::printf("terminal / sqlite3 shell, elapsed, %s: %.2f (goal: within 2)\n", Statistic,
                  Terminal->second.GetAdjustedRealTime() / Shell->second.GetAdjustedRealTime());
  }
  const auto Fetched = Reporter.Runs.find("BM_FetchOnToTheEnd/");
  if (Fetched != Reporter.Runs.end() && Fetched->second.counters.at("text_MB") > 0) {
    const double Text = Fetched->second.counters.at("text_MB");
    std::printf("fetch-on to the end: held / text %.2f, process growth / text %.2f "
                "(goal: within 2)\n",
                Fetched->second.counters.at("held_MB") / Text,
                Fetched->second.counters.at("rss_growth_MB") / Text);
  }
  TheSetup.reset();
  benchmark::Shutdown();
  return 0;
}
