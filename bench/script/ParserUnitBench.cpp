// Speed of cutting a large generated script into expressions, next to python3-sqlparse's split.
#include "db/OciApi.h"
#include "script/ParserUnit.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// A script of every kind the parser meets: statements, anonymous blocks, packages with bodies,
// triggers, comments, strings with ";" inside, REM and SET lines, slash lines.
std::string GenerateScript(size_t ABytes) {
  std::string S;
  S.reserve(ABytes + 4096);
  unsigned Seed = 12345;
  auto Next = [&Seed] {
    Seed = Seed * 1103515245u + 12345u;
    return (Seed >> 16) & 0x7FFF;
  };
  for (int N = 0; S.size() < ABytes; ++N) {
    const std::string I = std::to_string(N);
    switch (Next() % 9) {
    case 0:
      S += "REM ---- section " + I + " ----\r\nSET SERVEROUTPUT ON SIZE 100000\r\n";
      break;
    case 1:
      S += "-- employees of department " + I +
           "; keep in step with dept\r\n"
           "INSERT INTO emp (empno, ename, job, hiredate, sal)\r\n"
           "  VALUES (" +
           I + ", 'SMITH; jr.', 'CLERK', SYSDATE, 800.50);\r\n";
      break;
    case 2:
      S += "SELECT e.ename, d.dname, e.sal * 12 AS annual_sal\r\n  FROM emp e, dept d\r\n"
           " WHERE e.deptno = d.deptno AND e.ename LIKE 'A%' AND e.empno > " +
           I +
           "\r\n"
           " ORDER BY e.ename;\r\n";
      break;
    case 3:
      S += "/* block comment " + I +
           "\r\n   BEGIN END; 'quoted' -- not a line comment\r\n */\r\n"
           "UPDATE emp SET sal = sal * 1.1 WHERE deptno = " +
           I + ";\r\n";
      break;
    case 4:
      S += "DECLARE\r\n  v_count NUMBER := 0;\r\n  v_name VARCHAR2(30) := 'x;y';\r\nBEGIN\r\n"
           "  FOR r IN (SELECT ename FROM emp) LOOP\r\n"
           "    IF r.ename = v_name THEN\r\n      v_count := v_count + 1;\r\n    END IF;\r\n"
           "  END LOOP;\r\n  DBMS_OUTPUT.PUT_LINE('count ' || v_count);\r\nEND;\r\n/\r\n";
      break;
    case 5:
      S += "CREATE OR REPLACE PACKAGE app.emp_api_" + I +
           " AS\r\n"
           "  PROCEDURE hire(p_name IN VARCHAR2, p_sal IN NUMBER);\r\n"
           "  FUNCTION headcount RETURN NUMBER;\r\nEND emp_api_" +
           I +
           ";\r\n/\r\n"
           "CREATE OR REPLACE PACKAGE BODY app.emp_api_" +
           I +
           " AS\r\n"
           "  PROCEDURE hire(p_name IN VARCHAR2, p_sal IN NUMBER) IS\r\n  BEGIN\r\n"
           "    INSERT INTO emp (ename, sal) VALUES (p_name, p_sal); -- new hire\r\n"
           "    IF p_sal > 5000 THEN\r\n      RAISE_APPLICATION_ERROR(-20001, 'too much; ask');\r\n"
           "    END IF;\r\n  END hire;\r\n"
           "  FUNCTION headcount RETURN NUMBER IS\r\n    n NUMBER;\r\n  BEGIN\r\n"
           "    SELECT COUNT(*) INTO n FROM emp;\r\n    RETURN n;\r\n  END headcount;\r\n"
           "END emp_api_" +
           I + ";\r\n/\r\n";
      break;
    case 6:
      S += "CREATE OR REPLACE TRIGGER emp_bi_" + I +
           "\r\n  BEFORE INSERT ON emp FOR EACH ROW\r\n"
           "BEGIN\r\n  IF :new.hiredate IS NULL THEN\r\n    :new.hiredate := SYSDATE;\r\n"
           "  END IF;\r\nEND;\r\n/\r\n";
      break;
    case 7:
      S += "CREATE OR REPLACE PROCEDURE app.raise_" + I +
           "(p_pct NUMBER) IS\r\nBEGIN\r\n"
           "  UPDATE emp SET sal = sal * (1 + p_pct / 100);\r\n  COMMIT;\r\nEND;\r\n/\r\n";
      break;
    default:
      S += "CREATE TABLE t_" + I +
           " (id NUMBER PRIMARY KEY, note VARCHAR2(200) DEFAULT ';');\r\n"
           "DELETE FROM t_" +
           I + " WHERE note = 'it''s; gone';\r\n";
      break;
    }
  }
  return S;
}

const std::shared_ptr<const std::string> &Script() {
  static const auto Text = std::make_shared<const std::string>(GenerateScript(100u << 20));
  return Text;
}

// The program's database, so every expression reads its owner the way it does in a compile.
std::unique_ptr<TOracleDatabase> MakeDatabase() {
  auto Database = std::make_unique<TOracleDatabase>();
  Database->SetDatabaseName("Database");
  Database->SetUser("scott");
  return Database;
}

long CountExpressions(const std::shared_ptr<const std::string> &AText) {
  TParser Parser(AText);
  TExpression E;
  long Count = 0;
  for (;;) {
    Parser.ParseExpression(E);
    if (E.Length == 0)
      return Count;
    ++Count;
  }
}

void BM_ParseScript(benchmark::State &AState) {
  const auto &Text = Script();
  auto Database = AState.range(0) ? MakeDatabase() : nullptr;
  long Count = 0;
  for (auto _ : AState) {
    Count = CountExpressions(Text);
    benchmark::DoNotOptimize(Count);
  }
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations()) *
                           static_cast<int64_t>(Text->size()));
  AState.counters["expressions"] = static_cast<double>(Count);
}
BENCHMARK(BM_ParseScript)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("database")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

double ProcessSeconds() {
  timespec Now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Now);
  return static_cast<double>(Now.tv_sec) + static_cast<double>(Now.tv_nsec) * 1e-9;
}

// Megabytes per second of processor time (the machine is shared) of ARuns runs, fastest first.
std::vector<double> OwnRates(const std::shared_ptr<const std::string> &AText, int ARuns,
                             long &ACount) {
  std::vector<double> Rates;
  for (int Run = 0; Run < ARuns; ++Run) {
    const double Start = ProcessSeconds();
    ACount = CountExpressions(AText);
    Rates.push_back(static_cast<double>(AText->size()) / 1048576.0 / (ProcessSeconds() - Start));
  }
  std::sort(Rates.rbegin(), Rates.rend());
  return Rates;
}

double Median(const std::vector<double> &ASorted) { return ASorted[ASorted.size() / 2]; }

// The whole generated script with the program's database, as a compile run cuts it.
void PrintOwnRates() {
  auto Database = MakeDatabase();
  long Count = 0;
  const std::vector<double> Rates = OwnRates(Script(), 7, Count);
  std::printf("\n%zu MB script, %ld expressions, 7 runs, processor time: fastest %.1f MB/s, "
              "median %.1f MB/s (goal: median >= 500 MB/s)\n",
              Script()->size() >> 20, Count, Rates.front(), Median(Rates));
}

// Splits the same 10 MB with python3-sqlparse and compares the rates.
void CompareWithSqlparse() {
  if (std::getenv("TESSALY_SKIP_SQLPARSE"))
    return;
  const std::string &Text = *Script();
  size_t End = 10u << 20;
  while (End < Text.size() && Text[End - 1] != '\n')
    ++End;
  const auto Slice = std::make_shared<const std::string>(Text.substr(0, End));
  const std::string File = "/tmp/tessaly_parser_bench_slice.sql";
  std::ofstream(File, std::ios::binary) << *Slice;

  auto Database = MakeDatabase();
  long OwnCount = 0;
  const std::vector<double> OwnSorted = OwnRates(Slice, 5, OwnCount);
  const double Own = Median(OwnSorted);

  const char *Python = std::getenv("TESSALY_PYTHON");
  const std::string Command =
      std::string(Python ? Python : "/usr/bin/python3") +
      " -c \"import sys,time,sqlparse; t=open(sys.argv[1],encoding='latin-1').read(); "
      "s=time.process_time(); r=sqlparse.split(t); d=time.process_time()-s; "
      "print(len(t)/1048576/d, len(r))\" " +
      File;
  std::FILE *Pipe = popen(Command.c_str(), "r");
  double Theirs = 0;
  long TheirCount = 0;
  if (!Pipe || std::fscanf(Pipe, "%lf %ld", &Theirs, &TheirCount) != 2 || Theirs <= 0) {
    std::printf("python3-sqlparse comparison failed (%s)\n", Command.c_str());
    if (Pipe)
      pclose(Pipe);
    return;
  }
  pclose(Pipe);
  std::remove(File.c_str());
  std::printf("\n10 MB slice (%zu bytes), processor time:\n", Slice->size());
  std::printf("  TParser::ParseExpression  %10.1f MB/s  %ld expressions (median of 5)\n", Own,
              OwnCount);
  std::printf("  python3-sqlparse split    %10.3f MB/s  %ld statements\n", Theirs, TheirCount);
  std::printf("  ratio                     %10.0f x (goal: >= 1000 x)\n", Own / Theirs);
}

} // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  PrintOwnRates();
  CompareWithSqlparse();
  return 0;
}
