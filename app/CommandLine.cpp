// Command-line arguments.
#include "app/CommandLine.h"

#include "app/MainUnit.h"
#include "classes/Application.h"
#include "windows/EditUnit.h"

TCommandLine ParseCommandLine(const std::vector<std::string> &AArguments) {
  TCommandLine Result;
  bool Options = true;
  for (const std::string &Argument : AArguments) {
    if (Options && Argument == "--") {
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
         "A programmer's environment for Oracle 7 SQL and PL/SQL scripts.\n"
         "Each FILE opens in a script editor window, after the saved desktop.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "      --        end of options: the arguments that follow are files\n";
}

std::string VersionText() { return "Tessaly " TESSALY_VERSION "\n"; }

void OpenCommandLineFiles(TMainForm &AMainForm, const std::vector<std::string> &AFiles) {
  for (const std::string &File : AFiles)
    TApplication::Guard([&] { TEditForm::CreateForFile(AMainForm, File, false); });
}
