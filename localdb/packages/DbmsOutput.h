// DBMS_OUTPUT: the per-logon line buffer PL/SQL writes with PUT / PUT_LINE and the program reads
// back with GET_LINE / GET_LINES.
#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace localdb::packages {

class DbmsOutput {
public:
  // Oracle's limits: the buffer between 2,000 and 1,000,000 bytes (20,000 by default), a line at
  // most 255 bytes.
  static constexpr long kDefaultSize = 20000;
  static constexpr long kMinSize = 2000;
  static constexpr long kMaxSize = 1000000;
  static constexpr size_t kMaxLine = 255;

  void enable(long bufferSize = kDefaultSize);
  void disable();
  bool enabled() const { return FEnabled; }

  // Each throws a PL/SQL error (ORA-20000 with ORU-10027 / ORU-10028) when a limit is passed;
  // nothing is written while output is disabled.
  void put(const std::string &text);
  void putLine(const std::string &text);
  void newLine();

  // One complete line: true and the line, or false (status 1) when none is left.
  bool getLine(std::string &line);
  // Up to max lines.
  std::vector<std::string> getLines(size_t max);

  long limit() const { return FLimit; }
  size_t used() const { return FUsed; }

private:
  bool FEnabled = false;
  long FLimit = kDefaultSize;
  size_t FUsed = 0;
  std::deque<std::string> FLines;
  std::string FPartial;
  bool FReading = false; // a GET happened: the next PUT discards what was not read
  void beforeWrite();
  void account(size_t bytes);
};

} // namespace localdb::packages
