// Speed of the script editor window on a 1,000,000-line, 60 MB script: opening it to the first
// painted screen (colouring included), colouring every line, and Find of a word on the last line.
//   QT_QPA_PLATFORM=offscreen build-editor/bin/EditUnitBench
#include "windows/EditUnit.h"
#include "windows/EditUnitSyntax.h"
#include "windows/FindDialogs.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int LineCount = 1000000;
constexpr const char *LastWord = "zz_only_here";

// Varied SQL and PL/SQL lines of 58 bytes and CR LF: keywords, numbers, strings, comments.
const std::string &ScriptText() {
  static const std::string Text = [] {
    static const char *const Pieces[] = {
        "  select col_a, col_b, col_c from some_table where id = ",
        "    and t.name like 'PREFIX%' and t.amount > ",
        "begin dbms_output.put_line('value of x is ' || x); -- ",
        "  update accounts set balance = balance - 100 where acc = ",
        "\tinsert into log_table (ts, msg) values (sysdate, 'msg ",
        "  v_total NUMBER(10,2) := 0; -- running total for ",
        "  IF v_count > 10 THEN RAISE too_many; END IF; -- ",
        "REM generated script, section ",
    };
    std::string Result;
    Result.reserve(60u * LineCount);
    for (int I = 0; I < LineCount - 1; ++I) {
      std::string Line = Pieces[I % 8] + std::to_string(I);
      Line.resize(58, ' ');
      Result += Line;
      Result += "\r\n";
    }
    Result += std::string("select ") + LastWord + " from dual;\r\n";
    return Result;
  }();
  return Text;
}

QTemporaryDir &Folder() {
  static QTemporaryDir Dir;
  return Dir;
}

const std::string &ScriptFile() {
  static const std::string Name = [] {
    QString Path = Folder().filePath("big.sql");
    QFile File(Path);
    File.open(QIODevice::WriteOnly);
    File.write(ScriptText().data(), qint64(ScriptText().size()));
    return QFile::encodeName(Path).toStdString();
  }();
  return Name;
}

std::unique_ptr<TEditForm> NewWindow() {
  auto Form = std::make_unique<TEditForm>();
  Form->resize(800, 600);
  Form->show();
  QApplication::processEvents();
  return Form;
}

// From the command to the first screen painted: read, split into lines, lay out and colour the
// visible lines, paint.
void BM_OpenFileToFirstPaint(benchmark::State &AState) {
  const std::string &Name = ScriptFile();
  QImage Image(800, 600, QImage::Format_RGB32);
  for (auto _ : AState) {
    AState.PauseTiming();
    auto Form = NewWindow();
    AState.ResumeTiming();
    Form->OpenFile(Name, false);
    QPainter Painter(&Image);
    Form->render(&Painter);
    Painter.end();
    AState.PauseTiming();
    if (Form->Editor->Lines().Count() != LineCount)
      AState.SkipWithError("wrong line count");
    Form.reset();
    AState.ResumeTiming();
  }
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations() * ScriptText().size()));
}
BENCHMARK(BM_OpenFileToFirstPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

// The window's handler over every line, as the editor calls it (its format list emptied first).
void BM_EditorFormatLineAllLines(benchmark::State &AState) {
  static std::unique_ptr<TEditForm> Form = [] {
    auto F = NewWindow();
    F->OpenFile(ScriptFile(), false);
    return F;
  }();
  TPlainTextEdit &Editor = *Form->Editor;
  std::size_t Records = 0;
  for (auto _ : AState) {
    Records = 0;
    for (int I = 0; I < LineCount; ++I) {
      Editor.FormatLine(I);
      Records += Editor.Lines().Objects(I)->size();
    }
  }
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations() * ScriptText().size()));
  AState.counters["records"] = static_cast<double>(Records);
}
BENCHMARK(BM_EditorFormatLineAllLines)->Unit(benchmark::kMillisecond);

// The colouring alone, one reused format list, over the same text.
void BM_FormatScriptLineAllLines(benchmark::State &AState) {
  const std::string &Text = ScriptText();
  TFormatList List;
  for (auto _ : AState) {
    std::size_t Start = 0;
    while (Start < Text.size()) {
      std::size_t End = Text.find('\r', Start);
      List.clear();
      FormatScriptLine(std::string_view(Text).substr(Start, End - Start), List);
      benchmark::DoNotOptimize(List.data());
      Start = End + 2;
    }
  }
  AState.SetBytesProcessed(static_cast<int64_t>(AState.iterations() * Text.size()));
}
BENCHMARK(BM_FormatScriptLineAllLines)->Unit(benchmark::kMillisecond);

// Search Again from the start for a word that only the last line holds.
void BM_FindOnLastLine(benchmark::State &AState) {
  auto Form = NewWindow();
  Form->OpenFile(ScriptFile(), false);
  Form->FindDialog->SetFindText(LastWord);
  for (auto _ : AState) {
    Form->Editor->SetSelStart(0);
    Form->SearchSearchAgainItemClick();
  }
  if (Form->Editor->CaretY() != LineCount - 1)
    AState.SkipWithError("not found on the last line");
}
BENCHMARK(BM_FindOnLastLine)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication Application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
