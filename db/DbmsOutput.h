// The server's DBMS_OUTPUT package as the program drains it: ENABLE, then GET_LINE until no
// line is pending.
#pragma once

#include <string>

class QObject;
class TOracleStoredProc;

// The calls the DBMS output window and the command-line compile make; tests give others.
class TDBMSOutputServer {
public:
  virtual ~TDBMSOutputServer() = default;
  // DBMS_OUTPUT.ENABLE with the buffer size in bytes, then ready for GetLine.
  virtual void Enable(int ABufferSize) = 0;
  // DBMS_OUTPUT.GET_LINE: the next pending line, or false when none is pending (status 1).
  virtual bool GetLine(std::string &ALine) = 0;
};

// DBMS_OUTPUT through a stored-procedure component on the database named "Database", owned by
// AOwner (a window), or by this object when AOwner is null.
class TStoredProcOutputServer : public TDBMSOutputServer {
public:
  explicit TStoredProcOutputServer(QObject *AOwner);
  ~TStoredProcOutputServer() override;
  void Enable(int ABufferSize) override;
  bool GetLine(std::string &ALine) override;

private:
  TOracleStoredProc *FStoredProc;
  bool FOwned;
};
