// The main routine: application title, the main window and the shared dialogs, the event loop.
#include "app/CommandLine.h"
#include "app/MainUnit.h"
#include "app/OptionsUnit.h"
#include "classes/Application.h"
#include "script/CompileCommand.h"
#include "windows/ChooseProcedureUnit.h"
#include "windows/CompileForm.h"
#include "windows/GotoUnit.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
  // Answered before the application object, so they need no display.
  const TCommandLine Early = ParseCommandLine(argc, argv);
  if (Early.Help || Early.Version) {
    std::fputs((Early.Help ? UsageText() : VersionText()).c_str(), stdout);
    return 0;
  }
  if (!Early.CompileError.empty() || (Early.Compile && !Early.Error.empty())) {
    std::fprintf(stderr, "tessaly: %s\nTry 'tessaly --help' for more information.\n",
                 Early.Error.c_str());
    return 2;
  }
  if (Early.Compile) {
    // No window and no display: a console application serves the run's synchronous calls.
    QCoreApplication Console(argc, argv);
    return RunCompileCommand({Early.Connect, Early.Files}, stdout, stderr);
  }
  TApplication Application(argc, argv);
  // The toolkit has taken its own options out of the arguments by now.
  const TCommandLine Line = ParseCommandLine(argc, argv);
  if (!Line.Error.empty()) {
    std::fprintf(stderr, "tessaly: %s\nTry 'tessaly --help' for more information.\n",
                 Line.Error.c_str());
    return 2;
  }
  Application.setApplicationName("Tessaly");
  TMainForm Main; // loads the client library, the configuration and the window position
  // The shared dialogs, reused for every opening; the main window owns them.
  CompileForm();
  GotoForm();
  new TOptionsForm(&Main);
  ChooseProcedureForm();
  Main.show(); // brings the saved desktop back
  OpenCommandLineFiles(Main, Line.Files);
  return Application.exec();
}
