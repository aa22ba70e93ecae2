// Command-line arguments.
#include "app/CommandLine.h"

#include "app/MainUnit.h"
#include "classes/Application.h"
#include "windows/EditUnit.h"

TCommandLine ParseCommandLine(const std::vector<std::string> &AArguments) {
  TCommandLine Result;
  bool Options = true, ConnectSeen = false;
  for (size_t I = 0; I < AArguments.size(); ++I) {
    const std::string &Argument = AArguments[I];
    if (Options && Argument == "--compile") {
      Result.Compile = true;
    } else if (Options && (Argument == "--connect" || Argument.rfind("--connect=", 0) == 0)) {
      ConnectSeen = true;
      if (Argument.size() > 9)
        Result.Connect = Argument.substr(10);
      else if (I + 1 < AArguments.size())
        Result.Connect = AArguments[++I];
      else if (Result.CompileError.empty())
        Result.CompileError = "option --connect needs USER/PASSWORD[@HOST]";
    } else if (Options && Argument == "--") {
      Options = false;
    } else if (Options && (Argument == "--help" || Argument == "-h")) {
      Result.Help = true;
    } else if (Options && Argument == "--version") {
      Result.Version = true;
    } else if (Options && Argument.size() > 1 && Argument[0] == '-') {
      if (Result.Error.empty())
        Result.Error = "unknown option " + Argument;
    } else {
      Result.Files.push_back(Argument);
    }
  }
  if (ConnectSeen && !Result.Compile && Result.CompileError.empty())
    Result.CompileError = "option --connect is for --compile";
  if (Result.Error.empty())
    Result.Error = Result.CompileError;
  return Result;
}

TCommandLine ParseCommandLine(int argc, char **argv) {
  std::vector<std::string> Arguments;
  for (int I = 1; I < argc; ++I)
    Arguments.emplace_back(argv[I]);
  return ParseCommandLine(Arguments);
}

std::string UsageText() {
  return "Usage: tessaly [OPTION]... [FILE]...\n"
         "  or:  tessaly --compile [--connect USER/PASSWORD[@HOST]] FILE...\n"
         "A programmer's environment for Oracle 7 SQL and PL/SQL scripts.\n"
         "Each FILE opens in a script editor window, after the saved desktop.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "      --compile  compile each FILE as F9 does in an editor, with no window and no\n"
         "                 display; errors print as FILE:LINE:COLUMN: TEXT (1-based), DBMS\n"
         "                 output after its block, then a line \"N statements, M errors\"\n"
         "      --connect USER/PASSWORD[@HOST]\n"
         "                 the logon for --compile; without it, the environment variable\n"
         "                 TESSALY_CONNECT; an empty HOST is the local server\n"
         "      --        end of options: the arguments that follow are files\n"
         "\n"
         "Exit status of --compile: 0 no error, 1 a statement failed or a unit has errors,\n"
         "2 bad arguments or a failed logon (the server's message on standard error).\n";
}

std::string VersionText() { return "Tessaly " TESSALY_VERSION "\n"; }

void OpenCommandLineFiles(TMainForm &AMainForm, const std::vector<std::string> &AFiles) {
  for (const std::string &File : AFiles)
    TApplication::Guard([&] { TEditForm::CreateForFile(AMainForm, File, false); });
}
