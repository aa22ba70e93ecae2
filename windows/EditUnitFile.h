// Script files as the editor window reads and writes them: bytes as they are, lines ending in
// CR LF when written.
#pragma once

#include <string>

class TEditLines;

// The file's whole content. Raises EFOpenError when the file cannot be opened and EReadError
// when it cannot be read to its end; nothing is returned then.
std::string ReadScriptFile(const std::string &AFileName);

// Writes every line followed by CR LF, the last one included, to a temporary file in the same
// folder and renames it over AFileName. On any failure raises EStreamError and the file that was
// there stays as it was.
void WriteScriptFile(const std::string &AFileName, const TEditLines &ALines);

// True when both names lead to one file (the same name, a hard link, a symbolic link); names
// of which either cannot be looked up are compared as they are written.
bool SameFile(const std::string &AFileName, const std::string &AOther);

// The name part of a path: the text after its last "/".
std::string ExtractFileName(const std::string &APath);
