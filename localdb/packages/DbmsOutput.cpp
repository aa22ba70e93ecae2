// DBMS_OUTPUT: a bounded buffer of lines per logon, with Oracle's overflow errors.
#include "localdb/packages/DbmsOutput.h"

#include <algorithm>

#include "localdb/plsql/PlsqlRuntime.h"

namespace localdb::packages {

void DbmsOutput::enable(long bufferSize) {
  FLimit = std::clamp(bufferSize, kMinSize, kMaxSize);
  FEnabled = true;
}

void DbmsOutput::disable() {
  FEnabled = false;
  FLines.clear();
  FPartial.clear();
  FUsed = 0;
  FReading = false;
}

void DbmsOutput::beforeWrite() {
  if (FReading) {
    // Lines not read before the next write are discarded, as Oracle does.
    FLines.clear();
    FUsed = 0;
    FReading = false;
  }
}

void DbmsOutput::account(size_t bytes) {
  if (FUsed + bytes > static_cast<size_t>(FLimit))
    plsql::raise(20000,
                 "ORU-10027: buffer overflow, limit of " + std::to_string(FLimit) + " bytes");
  FUsed += bytes;
}

// A line being put takes room in the buffer only once it ends, so a PUT fails for the line's
// length alone, as Oracle's does; the buffer's limit applies at NEW_LINE.
void DbmsOutput::put(const std::string &text) {
  if (!FEnabled)
    return;
  beforeWrite();
  if (FPartial.size() + text.size() > kMaxLine)
    plsql::raise(20000, "ORU-10028: line length overflow, limit of 255 bytes per line");
  FPartial += text;
}

void DbmsOutput::putLine(const std::string &text) {
  if (!FEnabled)
    return;
  put(text);
  newLine();
}

void DbmsOutput::newLine() {
  if (!FEnabled)
    return;
  beforeWrite();
  account(FPartial.size() + 1);
  FLines.push_back(std::move(FPartial));
  FPartial.clear();
}

bool DbmsOutput::getLine(std::string &line) {
  FReading = true;
  if (FLines.empty()) {
    line.clear();
    return false;
  }
  line = std::move(FLines.front());
  FLines.pop_front();
  FUsed -= std::min(FUsed, line.size() + 1);
  return true;
}

std::vector<std::string> DbmsOutput::getLines(size_t max) {
  std::vector<std::string> out;
  std::string line;
  while (out.size() < max && getLine(line))
    out.push_back(line);
  FReading = true;
  return out;
}

} // namespace localdb::packages
