// The command-line compile: the compile run's threads on a console, errors as FILE:LINE:COLUMN.
#include "script/CompileCommand.h"

#include "db/DbmsOutput.h"
#include "db/OciApi.h"
#include "script/CompileUnit.h"
#include "script/ScriptWindows.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <sstream>

namespace {

// Errors go to the console instead of editor windows; there are none to open.
class TConsoleScriptWindows : public TNoScriptWindows {
public:
  explicit TConsoleScriptWindows(std::FILE *AOut) : FOut(AOut) {}

  bool ReportError(const TScript &AScript, const std::string &AText, int APosition) override {
    ++Errors;
    const std::string Line = CompileErrorLine(AScript.FileName(), AScript.Text(), APosition, AText);
    std::fputs(Line.c_str(), FOut);
    std::fputc('\n', FOut);
    std::fflush(FOut);
    return true;
  }

  int Errors = 0;

private:
  std::FILE *FOut;
};

// The compile dialog's counter, kept instead of shown: "N of M" names the statements done.
class TConsoleDisplay : public TCompileDisplay {
public:
  void SetExpCount(const std::string &AText) override { Done = std::atoi(AText.c_str()); }
  void SetErrorCount(const std::string &) override {}
  void SetElapsedTime(const std::string &) override {}
  std::string ShownFileName() const override { return {}; }
  void SetCurrentFileName(const std::string &) override {}
  void SetProgress(int) override {}
  void SetDone() override {}
  void Repaint() override {}

  int Done = 0;
};

// Installed for the command's lifetime, so the scripts report to this console.
struct TInstallWindows {
  TScriptWindows *Saved;
  explicit TInstallWindows(TScriptWindows *AWindows) : Saved(ScriptWindows()) {
    SetScriptWindows(AWindows);
  }
  ~TInstallWindows() { SetScriptWindows(Saved); }
};

// Compiles one file, read already.
void CompileFile(const std::string &AFileName, const std::string &AContent,
                 const TCompileEnvironment &AEnvironment) {
  TScripts Scripts;
  TScript *Main = Scripts.Add();
  Main->SetFileName(AFileName);
  // Positions count in the text as an editor window shows the file, includes alike.
  Main->SetText(EditorLineBreaks(AContent));

  TExpressionList List;
  TThreadRef ParserRef{nullptr}, CompileRef{nullptr};
  auto *Parser = new TThreadParser(&Scripts, false, &List, &ParserRef);
  new TThreadCompile(&List, 0, &ParserRef, &CompileRef, AEnvironment); // frees itself
  Parser->Resume();
  // The run's synchronous calls are served here, as the GUI thread serves them for a window;
  // the tick wakes the wait when the threads end without a last call.
  QTimer Tick;
  Tick.start(10);
  while (CompileRef.load() != nullptr || ParserRef.load() != nullptr)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

std::string CompileErrorLine(const std::string &AFileName, const std::string &AText, int APosition,
                             const std::string &AMessage) {
  int Line = 0, Column = 0;
  if (APosition > 0) {
    const size_t At = std::min(static_cast<size_t>(APosition) - 1, AText.size());
    Line = 1 + static_cast<int>(std::count(AText.begin(), AText.begin() + At, '\n'));
    const size_t LineStart = At == 0 ? std::string::npos : AText.rfind('\n', At - 1);
    Column = static_cast<int>(LineStart == std::string::npos ? At + 1 : At - LineStart);
  }
  std::string Text = AMessage;
  while (!Text.empty() && (Text.back() == '\n' || Text.back() == '\r'))
    Text.pop_back();
  for (char &C : Text)
    if (C == '\n' || C == '\r' || C == '\xa0')
      C = ' ';
  return AFileName + ":" + std::to_string(Line) + ":" + std::to_string(Column) + ": " + Text;
}

int RunCompileCommand(const TCompileCommand &ACommand, std::FILE *AOut, std::FILE *AErr) {
  std::string Connect = ACommand.Connect;
  if (Connect.empty())
    if (const char *FromEnvironment = std::getenv("TESSALY_CONNECT"))
      Connect = FromEnvironment;
  if (Connect.empty()) {
    std::fputs("tessaly: --compile needs --connect USER/PASSWORD[@HOST] or the environment "
               "variable TESSALY_CONNECT\n",
               AErr);
    return ceUsage;
  }
  if (ACommand.Files.empty()) {
    std::fputs("tessaly: --compile needs at least one FILE\n", AErr);
    return ceUsage;
  }
  // Every file is read before the logon, so a bad name costs no server work.
  std::vector<std::string> Contents(ACommand.Files.size());
  for (size_t I = 0; I < ACommand.Files.size(); ++I)
    if (ReadScriptFile(ACommand.Files[I], Contents[I]) != TReadResult::Ok) {
      std::fprintf(AErr, "tessaly: cannot read %s\n", ACommand.Files[I].c_str());
      return ceUsage;
    }

  TOracleDatabase Database;
  Database.SetDatabaseName("Database");
  const TConnectParts Parts = SplitConnectLine(Connect);
  Database.SetUser(Parts.User);
  Database.SetPassword(Parts.Password);
  Database.SetServer(Parts.Server);
  TOracleQuery Query, ErrorQuery;
  Query.SetDatabaseName("Database");
  Query.SetParseForParams(false);
  LoadErrorQuery(ErrorQuery);
  TStoredProcOutputServer Output(nullptr);
  const auto EnableOutput = [&] { Output.Enable(1000000); };
  try {
    Database.SetConnected(true);
    EnableOutput();
  } catch (const std::exception &E) {
    std::fprintf(AErr, "tessaly: %s\n", E.what());
    return ceUsage;
  }

  TConsoleScriptWindows Console(AOut);
  TInstallWindows Install(&Console);
  TCompileEnvironment Environment;
  Environment.Database = &Database;
  Environment.Query = &Query;
  Environment.ErrorQuery = &ErrorQuery;
  TConsoleDisplay Display;
  Environment.Display = &Display;
  Environment.IgnoreDropErrors = [] { return false; };
  Environment.ShowError = [AErr](const std::string &AText) {
    std::fprintf(AErr, "tessaly: %s\n", AText.c_str());
  };
  Environment.Connected = EnableOutput;
  Environment.DrainOutput = [&] {
    std::string Line;
    while (Output.GetLine(Line)) {
      std::fputs(Line.c_str(), AOut);
      std::fputc('\n', AOut);
    }
    std::fflush(AOut);
  };

  int Done = 0;
  for (size_t I = 0; I < ACommand.Files.size(); ++I) {
    Display.Done = 0;
    CompileFile(ACommand.Files[I], Contents[I], Environment);
    Done += Display.Done;
  }
  const int Errors = Console.Errors;
  Query.Close();
  ErrorQuery.Close();
  std::fprintf(AOut, "%d statement%s, %d error%s\n", Done, Done == 1 ? "" : "s", Errors,
               Errors == 1 ? "" : "s");
  std::fflush(AOut);
  return Errors == 0 ? ceNoErrors : ceErrors;
}
