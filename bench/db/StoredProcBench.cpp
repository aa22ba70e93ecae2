// Speed of calling a stored function through TOracleStoredProc against the local server, next to
// the same call written as an anonymous block through TOracleQuery. The description is done
// once, so the stored procedure path should cost no more than 1.2 times the plain block.
//
// TESSALY_BENCH_CALLS sets the calls per run (default 100,000). Rates are per wall-clock second:
// the server's waits count as a user feels them. While the local server cannot
// run PL/SQL yet (ORA-03001) or describe procedures, every benchmark says so and measures
// nothing.
#include "db/OciApi.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

long EnvCount(const char *AName, long ADefault) {
  const char *Text = std::getenv(AName);
  return Text && *Text ? std::atol(Text) : ADefault;
}

const long Calls = EnvCount("TESSALY_BENCH_CALLS", 100000);

// What a server error means for the measurement, said plainly.
std::string Honest(const EDatabaseError &AError) {
  if (AError.ErrorCode() == 3001)
    return "the local server answers ORA-03001 (PL/SQL not yet available): " + AError.Message() +
           "; nothing measured";
  if (AError.ErrorCode() == 4043)
    return "the local server cannot describe the function it compiled yet (odessp: " +
           AError.Message() + "); nothing measured";
  return "local server: " + AError.Message();
}

// A fresh local server with SCOTT's function BENCH_ADD(A, B) RETURN NUMBER.
struct TServer {
  std::string Folder;
  std::unique_ptr<TOracleDatabase> Db;
  std::string Error;

  TServer() {
    char Template[] = "/tmp/tessaly-bench-XXXXXX";
    Folder = mkdtemp(Template);
    setenv("TESSALY_DATA", Folder.c_str(), 1);
    if (!std::getenv("TESSALY_OCI_LIBRARY"))
      setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    try {
      Db = std::make_unique<TOracleDatabase>();
      Db->SetDatabaseName("Bench");
      Db->SetUser("SCOTT");
      Db->SetPassword("TIGER");
      Db->SetConnected(true);
      TOracleQuery Create;
      Create.SetDatabaseName("Bench");
      Create.SetSQL("CREATE OR REPLACE FUNCTION bench_add(a IN NUMBER, b IN NUMBER) "
                    "RETURN NUMBER IS BEGIN RETURN a + b; END;");
      Create.Execute();
      if (Create.WarningFlags() & OCI_WRN_COMPILE)
        Error = "the local server compiled BENCH_ADD with errors; nothing measured";
    } catch (const EDatabaseError &E) {
      Error = Honest(E);
    } catch (const std::exception &E) {
      Error = std::string("local server: ") + E.what();
    }
  }
  ~TServer() {
    Db.reset();
    std::string Command = "rm -rf '" + Folder + "'";
    if (std::system(Command.c_str()) != 0)
      std::fprintf(stderr, "could not remove %s\n", Folder.c_str());
  }
};

TServer &Server() {
  static TServer Instance;
  return Instance;
}

// One way of calling BENCH_ADD: its parameters and the call itself.
struct TCaller {
  virtual ~TCaller() = default;
  virtual TParam *A() = 0;
  virtual TParam *B() = 0;
  virtual TParam *Result() = 0;
  virtual void Call() = 0;
};

struct TStoredProcCaller : TCaller {
  TOracleStoredProc Proc;
  TStoredProcCaller() {
    Proc.SetDatabaseName("Bench");
    Proc.SetProcedureName("BENCH_ADD"); // the description, once
  }
  TParam *A() override { return Proc.ParamByName("A"); }
  TParam *B() override { return Proc.ParamByName("B"); }
  TParam *Result() override { return Proc.ParamByName("RESULT"); }
  void Call() override { Proc.Execute(); }
};

struct TBlockCaller : TCaller {
  TOracleQuery Query;
  TBlockCaller() {
    Query.SetDatabaseName("Bench");
    Query.SetSQL("BEGIN :RESULT:=BENCH_ADD(:A,:B); END;");
    Query.SetPrepared(true);
    TParam *R = Query.ParamByName("RESULT");
    R->SetKind(oOutput);
    R->SetDataType(oNumber);
    A()->SetDataType(oNumber);
    B()->SetDataType(oNumber);
  }
  TParam *A() override { return Query.ParamByName("A"); }
  TParam *B() override { return Query.ParamByName("B"); }
  TParam *Result() override { return Query.ParamByName("RESULT"); }
  void Call() override { Query.Execute(); }
};

// ACount calls with changing arguments; every answer is checked. Returns an error text or "".
std::string Run(TCaller &ACaller, long ACount) {
  TParam *A = ACaller.A(), *B = ACaller.B(), *Result = ACaller.Result();
  if (!A || !B || !Result)
    return "the call has no parameters A, B and RESULT";
  for (long i = 0; i < ACount; ++i) {
    A->SetRowAsString(0, std::to_string(i));
    B->SetRowAsString(0, "2");
    ACaller.Call();
    if (Result->RowAsString(0) != std::to_string(i + 2))
      return "BENCH_ADD(" + std::to_string(i) + ", 2) gave '" + Result->RowAsString(0) + "'";
  }
  return "";
}

template <class C> void BM_Calls(benchmark::State &AState) {
  TServer &S = Server();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  try {
    C Caller;
    for (auto _ : AState) {
      const std::string Fault = Run(Caller, Calls);
      if (!Fault.empty()) {
        AState.SkipWithError(Fault.c_str());
        return;
      }
    }
  } catch (const EDatabaseError &E) {
    AState.SkipWithError(Honest(E).c_str());
    return;
  } catch (const std::exception &E) {
    AState.SkipWithError(E.what());
    return;
  }
  AState.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(Calls), benchmark::Counter::kIsIterationInvariantRate);
}

// Both paths timed in turn in one run, so that the machine's load falls on both alike; the
// ratio is stored procedure time over plain block time (the goal: at most 1.2).
void BM_StoredProcOverPlainBlock(benchmark::State &AState) {
  TServer &S = Server();
  if (!S.Error.empty()) {
    AState.SkipWithError(S.Error.c_str());
    return;
  }
  const long Round = std::max(1L, Calls / 10);
  double ProcSeconds = 0, BlockSeconds = 0;
  try {
    TStoredProcCaller Proc;
    TBlockCaller Block;
    for (auto _ : AState) {
      for (int Turn = 0; Turn < 10; ++Turn) {
        for (TCaller *Caller : {static_cast<TCaller *>(&Proc), static_cast<TCaller *>(&Block)}) {
          const auto Start = std::chrono::steady_clock::now();
          const std::string Fault = Run(*Caller, Round);
          const std::chrono::duration<double> Took = std::chrono::steady_clock::now() - Start;
          if (!Fault.empty()) {
            AState.SkipWithError(Fault.c_str());
            return;
          }
          (Caller == &Proc ? ProcSeconds : BlockSeconds) += Took.count();
        }
      }
    }
  } catch (const EDatabaseError &E) {
    AState.SkipWithError(Honest(E).c_str());
    return;
  } catch (const std::exception &E) {
    AState.SkipWithError(E.what());
    return;
  }
  const double Ratio = BlockSeconds > 0 ? ProcSeconds / BlockSeconds : 0;
  AState.counters["ratio"] = Ratio;
  AState.SetLabel(Ratio <= 1.2 ? "stored procedure within 1.2x of the plain block"
                               : "stored procedure SLOWER than 1.2x the plain block");
}

BENCHMARK_TEMPLATE(BM_Calls, TStoredProcCaller)
    ->Name("BM_StoredProcExecute")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK_TEMPLATE(BM_Calls, TBlockCaller)
    ->Name("BM_AnonymousBlockExecute")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_StoredProcOverPlainBlock)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
