// Speed of the compile run: a generated script of 10,000 statements (tables, inserts with
// numbers, strings and dates, a few hundred small procedures) into a fresh local server, four
// ways in one run: through the parse and compile threads and the compile dialog (the window's
// F9), through "tessaly --compile" (the whole process), through a minimal driver that sends the
// same statements straight through the call contract, and the sqlite3 shell running the
// equivalent SQLite statements in one transaction. Goals: the command line at most 1.5 times
// the driver, the window at most 2 times the command line.
#include "classes/Application.h"
#include "db/OciCalls.h"
#include "script/CompileUnit.h"
#include "script/ScriptWindows.h"
#include "windows/CompileForm.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <string>

namespace {

constexpr int Statements = 10000;
constexpr int Tables = 50;
constexpr int Procedures = 300;

struct TScriptPair {
  std::string Oracle; // the script as an editor window holds it (CR LF)
  std::string Sqlite; // the same work as SQLite statements
  int Count = 0;      // statements in each
};

TScriptPair Generate() {
  TScriptPair P;
  const auto Table = [](int I) { return "t" + std::to_string(I % Tables); };
  for (int I = 0; I < Tables; ++I, ++P.Count) {
    P.Oracle += "CREATE TABLE " + Table(I) +
                " (id NUMBER(10), name VARCHAR2(40), val NUMBER, born DATE);\r\n";
    P.Sqlite += "CREATE TABLE " + Table(I) + " (id NUMERIC, name TEXT, val NUMERIC, born TEXT);\n";
  }
  // Every 32nd statement a procedure until there are enough; the rest inserts.
  int Made = 0;
  for (int I = 0; P.Count < Statements - 1; ++I, ++P.Count) {
    const std::string N = std::to_string(I);
    if (I % 32 == 0 && Made < Procedures) {
      const std::string Name = "p" + std::to_string(Made++);
      P.Oracle += "CREATE OR REPLACE PROCEDURE " + Name + " (a NUMBER) IS\r\nBEGIN\r\n" +
                  "  INSERT INTO " + Table(I) + " VALUES (a, 'from " + Name +
                  "', a * 2, NULL);\r\n" + "END;\r\n/\r\n";
      // SQLite keeps no procedures; a view is its nearest stored, compiled object.
      P.Sqlite += "CREATE VIEW " + Name + " AS SELECT id, name, val * 2 AS v FROM " + Table(I) +
                  " WHERE id = 1;\n";
    } else {
      const std::string Values = " VALUES (" + N + ", 'row " + N + "', " + N + ".5, ";
      const std::string Day = "19" + std::to_string(50 + I % 50) + "-0" +
                              std::to_string(1 + I % 9) + "-1" + std::to_string(I % 10);
      P.Oracle += "INSERT INTO " + Table(I) + Values + "TO_DATE('" + Day + "', 'YYYY-MM-DD'));\r\n";
      P.Sqlite += "INSERT INTO " + Table(I) + Values + "date('" + Day + "'));\n";
    }
  }
  P.Oracle += "COMMIT;\r\n";
  // One transaction, as the compile run's statements are one until the COMMIT: an fsync per
  // statement would be no baseline.
  P.Sqlite = "BEGIN;\n" + P.Sqlite + "COMMIT;\n";
  ++P.Count;
  return P;
}

// Records the errors the run reports instead of showing them in editor windows.
struct TBenchWindows : TNoScriptWindows {
  int Errors = 0;
  std::string First;
  int ErrorListHeight(TEditForm *) override { return 100; }
  void AppendError(TEditForm *, const std::string &AText, int) override {
    if (Errors++ == 0)
      First = AText;
  }
};

double CompileSeconds = 0, ShellSeconds = 0, CommandSeconds = 0, DriverSeconds = 0;
const TScriptPair &Script() {
  static const TScriptPair P = Generate();
  return P;
}

void BM_CompileRun(benchmark::State &AState) {
  TBenchWindows Windows;
  SetScriptWindows(&Windows);
  // Script processing only passes the window pointer back to TBenchWindows, never uses it.
  auto *Form = reinterpret_cast<TEditForm *>(&Windows);
  for (auto _ : AState) {
    QTemporaryDir Data;
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    TOracleDatabase Database;
    Database.SetDatabaseName("Database");
    Database.SetUser("SCOTT");
    Database.SetPassword("TIGER");
    Database.SetConnected(true);
    TOracleQuery Query, ErrorQuery;
    Query.SetDatabaseName("Database");
    Query.SetParseForParams(false);
    LoadErrorQuery(ErrorQuery);
    TCompileForm Dialog;
    TCompileEnvironment Environment;
    Environment.Database = &Database;
    Environment.Query = &Query;
    Environment.ErrorQuery = &ErrorQuery;
    Environment.Display = &Dialog;

    const auto Start = std::chrono::steady_clock::now();
    {
      TScripts Scripts;
      TScript *Main = Scripts.Add();
      Main->SetFileName("bench.sql");
      Main->SetEditForm(Form);
      Main->SetText(Script().Oracle);
      TExpressionList List;
      TThreadRef ParserRef{nullptr}, CompileRef{nullptr};
      auto *Parser = new TThreadParser(&Scripts, false, &List, &ParserRef);
      new TThreadCompile(&List, 0, &ParserRef, &CompileRef, Environment);
      Parser->Resume();
      // The dialog closes itself when the run has ended, as a user pressing "OK" at once would.
      QTimer Poll;
      QObject::connect(&Poll, &QTimer::timeout, [&] {
        if (CompileRef.load() == nullptr)
          Dialog.CancelButton->click();
      });
      Poll.start(5);
      Dialog.Execute();
      TThread::WaitForRef(CompileRef);
      TThread::WaitForRef(ParserRef);
      if (Dialog.ExpCount->text() != QString("%1 of %1").arg(Script().Count))
        AState.SkipWithError(("the run stopped at " + Dialog.ExpCount->text().toStdString() +
                              "; first error: " + Windows.First)
                                 .c_str());
    }
    CompileSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    AState.SetIterationTime(CompileSeconds);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  AState.counters["statements/s"] = Script().Count / CompileSeconds;
  AState.counters["errors"] = Windows.Errors;
  SetScriptWindows(nullptr);
}

void BM_Sqlite3Shell(benchmark::State &AState) {
  for (auto _ : AState) {
    QTemporaryDir Data;
    const std::string File = Data.filePath("bench.sql").toStdString();
    std::ofstream(File, std::ios::binary) << Script().Sqlite;
    QProcess Shell;
    Shell.setStandardInputFile(QString::fromStdString(File));
    const auto Start = std::chrono::steady_clock::now();
    Shell.start("sqlite3", {"-bail", Data.filePath("bench.db")});
    Shell.waitForFinished(-1);
    ShellSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Shell.exitCode() != 0)
      AState.SkipWithError(Shell.readAllStandardError().toStdString().c_str());
    AState.SetIterationTime(ShellSeconds);
  }
  AState.counters["statements/s"] = Script().Count / ShellSeconds;
}

// The expressions of the script, cut once, as the driver sends them.
std::vector<std::string> Expressions() {
  std::vector<std::string> Result;
  const std::string Text = Script().Oracle;
  TScript Cut;
  Cut.SetText(Text);
  TExpression E;
  E.Script = &Cut;
  for (Cut.Parser()->ParseExpression(E); E.Length != 0; Cut.Parser()->ParseExpression(E))
    Result.emplace_back(ExpressionText(E));
  return Result;
}

// The least a program can do: log on, then parse and execute each statement on one cursor.
void BM_CallContractDriver(benchmark::State &AState) {
  const std::vector<std::string> List = Expressions();
  void *Library = dlopen(LOCAL_SERVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (!Library) {
    AState.SkipWithError("cannot load the local server");
    return;
  }
  const auto olog = reinterpret_cast<olog_t>(dlsym(Library, "olog"));
  const auto ologof = reinterpret_cast<ologof_t>(dlsym(Library, "ologof"));
  const auto oopen = reinterpret_cast<oopen_t>(dlsym(Library, "oopen"));
  const auto oclose = reinterpret_cast<oclose_t>(dlsym(Library, "oclose"));
  const auto oparse = reinterpret_cast<oparse_t>(dlsym(Library, "oparse"));
  const auto oexn = reinterpret_cast<oexn_t>(dlsym(Library, "oexn"));
  for (auto _ : AState) {
    QTemporaryDir Data;
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    const auto Start = std::chrono::steady_clock::now();
    Lda_Def Lda{};
    Cda_Def Cda{};
    ub1 Hda[OCI_HDA_SIZE] = {};
    int Failed = 0;
    if (olog(&Lda, Hda, (text *)"SCOTT", 5, (text *)"TIGER", 5, (text *)"", 0, 0) != 0 ||
        oopen(&Cda, &Lda, nullptr, -1, -1, nullptr, -1) != 0) {
      AState.SkipWithError("logon failed");
      break;
    }
    for (const std::string &Text : List) {
      std::string Sent = Text;
      for (char &C : Sent)
        if (C == '\r')
          C = ' ';
      if (oparse(&Cda, (text *)Sent.data(), static_cast<sb4>(Sent.size()), 1, 2) != 0 ||
          oexn(&Cda, 1, 0) != 0)
        ++Failed;
    }
    oclose(&Cda);
    ologof(&Lda);
    DriverSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    AState.SetIterationTime(DriverSeconds);
    AState.counters["failed"] = Failed;
  }
  AState.counters["statements/s"] = Script().Count / DriverSeconds;
}

// "tessaly --compile" as a build script runs it: the whole process, logon and all.
void BM_CommandLine(benchmark::State &AState) {
  for (auto _ : AState) {
    QTemporaryDir Data;
    const QString File = Data.filePath("bench.sql");
    std::ofstream(File.toStdString(), std::ios::binary) << Script().Oracle;
    QProcess Program;
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    Environment.insert("TESSALY_DATA", Data.path());
    Environment.remove("TESSALY_OCI_LIBRARY");
    Program.setProcessEnvironment(Environment);
    const auto Start = std::chrono::steady_clock::now();
    Program.start(TESSALY_PROGRAM, {"--compile", "--connect", "scott/tiger", File});
    Program.waitForFinished(-1);
    CommandSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    if (Program.exitCode() != 0)
      AState.SkipWithError(Program.readAllStandardOutput().left(400).toStdString().c_str());
    AState.SetIterationTime(CommandSeconds);
  }
  AState.counters["statements/s"] = Script().Count / CommandSeconds;
}

BENCHMARK(BM_CallContractDriver)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommandLine)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileRun)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite3Shell)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication App(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (CompileSeconds > 0 && ShellSeconds > 0 && CommandSeconds > 0 && DriverSeconds > 0)
    std::printf("%d statements: window %.3f s, command line %.3f s, call-contract driver %.3f s, "
                "sqlite3 shell (one transaction) %.3f s\n"
                "command line / driver %.2f (goal: at most 1.5); window / command line %.2f "
                "(goal: at most 2); window / sqlite3 shell %.2f\n",
                Script().Count, CompileSeconds, CommandSeconds, DriverSeconds, ShellSeconds,
                CommandSeconds / DriverSeconds, CompileSeconds / CommandSeconds,
                CompileSeconds / ShellSeconds);
  return 0;
}
