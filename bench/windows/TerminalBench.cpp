// Speed of the terminal window: a 10,000-row, 8-column query run into the grid and painted
// once, next to the sqlite3 shell printing the same rows of the server's own file to /dev/null.
// The run ends with the ratio of the two. TESSALY_BENCH_TERMINAL_ROWS changes the row count.
#include "windows/TerminalUnit.h"

#include "app/MainUnit.h"
#include "classes/Application.h"
#include "db/OciApiQuery.h"

#include <QComboBox>
#include <QMdiArea>
#include <QPixmap>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>

namespace {

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
  S.Form->CommandBox->setEditText("SELECT * FROM bench_terminal");
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
BENCHMARK(BM_TerminalQueryIntoGrid)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

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
BENCHMARK(BM_Sqlite3ShellToDevNull)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// Prints the runs as usual and keeps each one's times per iteration for the ratios.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
  std::map<std::string, const Run> Runs;
  void ReportRuns(const std::vector<Run> &AReports) override {
    for (const Run &R : AReports)
      if (!R.error_occurred)
        Runs.emplace(R.run_name.function_name, R);
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
  const auto Terminal = Reporter.Runs.find("BM_TerminalQueryIntoGrid");
  const auto Shell = Reporter.Runs.find("BM_Sqlite3ShellToDevNull");
  if (Terminal != Reporter.Runs.end() && Shell != Reporter.Runs.end()) {
    const double ShellCpu = Shell->second.counters.at("shell_cpu_ms");
    std::printf("terminal / sqlite3 shell, elapsed: %.2f (goal: within 3)\n",
                Terminal->second.GetAdjustedRealTime() / Shell->second.GetAdjustedRealTime());
    if (ShellCpu > 0)
      std::printf("terminal / sqlite3 shell, processor: %.2f (%.1f ms / %.1f ms)\n",
                  Terminal->second.GetAdjustedCPUTime() / ShellCpu,
                  Terminal->second.GetAdjustedCPUTime(), ShellCpu);
  }
  TheSetup.reset();
  benchmark::Shutdown();
  return 0;
}
