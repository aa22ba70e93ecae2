// The compile run with no window, for build scripts and editors that call the program from a
// shell: "tessaly --compile [--connect USER/PASSWORD[@HOST]] FILE...".
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Exit statuses of the command-line compile.
enum TCompileExit : int { ceNoErrors = 0, ceErrors = 1, ceUsage = 2 };

struct TCompileCommand {
  // USER/PASSWORD[@HOST]; empty: the environment's TESSALY_CONNECT.
  std::string Connect;
  std::vector<std::string> Files; // as given: bytes in the file system's encoding
};

// "FILE:LINE:COLUMN: TEXT" of an error at APosition (1-based in AText, 0 = no place, printed
// as line 0, column 0); the text on one line, its line feeds turned into blanks.
std::string CompileErrorLine(const std::string &AFileName, const std::string &AText, int APosition,
                             const std::string &AMessage);

// Logs on, compiles each file in turn as F9 does in an editor (same cutting, includes, CONNECT
// lines, DBMS output drained after each block) and prints errors and output to AOut, a closing
// count line, and logon or argument failures to AErr. Needs a QCoreApplication on this thread,
// which serves the run's synchronous calls. Returns a TCompileExit.
int RunCompileCommand(const TCompileCommand &ACommand, std::FILE *AOut, std::FILE *AErr);
