// The program's command line: script files to open, --help and --version.
#pragma once

#include <string>
#include <vector>

class TMainForm;

struct TCommandLine {
  bool Help = false;
  bool Version = false;
  // --compile: compile the files with no window (see script/CompileCommand.h).
  bool Compile = false;
  std::string Connect;            // --connect USER/PASSWORD[@HOST], with --compile
  std::vector<std::string> Files; // as given: bytes in the file system's encoding
  std::string Error;              // an unknown option; empty when the line is good
  // A misuse of --compile or --connect: known before the toolkit starts, so reported without
  // needing a display.
  std::string CompileError;
};

// Reads the arguments after the program name. "--" ends the options, so a file whose name
// starts with "-" can still be named.
TCommandLine ParseCommandLine(const std::vector<std::string> &AArguments);
TCommandLine ParseCommandLine(int argc, char **argv);

std::string UsageText();
std::string VersionText();

// Opens each file in a new script editor window; a file that cannot be read is reported and the
// others still open.
void OpenCommandLineFiles(TMainForm &AMainForm, const std::vector<std::string> &AFiles);
