// Speed of restoring a desktop file of 200 and of 2,000 untitled script editor windows, from the
// main window's creation to its first showing (the children come back then). The frame brings
// back at most MaximumDesktopChildren of them.
//   QT_QPA_PLATFORM=offscreen build/bin/MainUnitDesktopBench
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "classes/WindowPlacement.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A configuration that keeps the desktop, and a desktop of ACount editor records, each a little
// below and right of the one before.
void WriteFiles(const std::string &AProgramPath, int ACount) {
  TCFG CFG;
  CFG.SetSaveDesktopPosition(true);
  CFG.SetSaveDesktopState(true);
  SaveConfiguration(ConfigFileName(AProgramPath), CFG, TLoginState{});
  SaveDesktop(DesktopFileName(AProgramPath, "", false), CFG, {0, 0, 1024, 768},
              [ACount](TValueWriter &AWriter) {
                for (int I = 0; I < ACount; ++I) {
                  TWindowPlacement P;
                  P.Left = (I % 20) * 12;
                  P.Top = (I % 20) * 12;
                  P.Right = P.Left + 400;
                  P.Bottom = P.Top + 250;
                  const auto Bytes = P.ToBytes();
                  AWriter.WriteString("TEditForm");
                  AWriter.Write(Bytes.data(), Bytes.size());
                  AWriter.WriteString("Untitled");
                  AWriter.WriteBoolean(false);
                }
              });
}

void BM_RestoreDesktop(benchmark::State &AState) {
  const int Count = int(AState.range(0));
  QTemporaryDir Folder;
  const std::string Program = Folder.filePath("tessaly").toStdString();
  SetProgramPath(Program);
  WriteFiles(Program, Count);
  qsizetype Restored = 0;
  for (auto _ : AState) {
    auto Form = std::make_unique<TMainForm>();
    Form->resize(1024, 768);
    Form->show();
    QApplication::processEvents();
    AState.PauseTiming();
    Restored = Form->MdiArea->subWindowList().size();
    Form.reset();
    QApplication::processEvents();
    AState.ResumeTiming();
  }
  AState.counters["records"] = Count;
  AState.counters["windows"] = double(Restored);
  SetProgramPath("");
}
BENCHMARK(BM_RestoreDesktop)
    ->Arg(200)
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication Application(argc, argv);
  // A record whose window cannot be made is shown in a box; here it would only wait.
  TApplication::ShowErrorMessage = [](const std::string &AMessage) {
    fprintf(stderr, "%s\n", AMessage.c_str());
  };
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
