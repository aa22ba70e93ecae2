// The compile run: the consumer thread that sends a script's expressions to the database one by
// one and collects what went wrong into the error lists of the editor windows.
#pragma once

#include "db/OciApi.h"
#include "script/ParserUnit.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

inline constexpr const char *SConnectFailed = "TSY-00001: connect failed";

// The compile dialog as the run sees it (TCompileForm implements it). GUI thread only.
class TCompileDisplay {
public:
  virtual ~TCompileDisplay() = default;
  virtual void SetExpCount(const std::string &AText) = 0;
  virtual void SetErrorCount(const std::string &AText) = 0;
  virtual void SetElapsedTime(const std::string &AText) = 0;
  // The file name the dialog shows now.
  virtual std::string ShownFileName() const = 0;
  virtual void SetCurrentFileName(const std::string &AText) = 0;
  virtual void SetProgress(int APercent) = 0;
  // The run has ended: the dialog's button reads "OK".
  virtual void SetDone() = 0;
  // Paints the dialog now, not when the event loop next gets to it.
  virtual void Repaint() = 0;
};

// What the compile run uses of the program around it: the main window's connection and queries,
// the compile dialog, the configuration, the status bar. Every callback runs on the GUI thread.
struct TCompileEnvironment {
  TOracleDatabase *Database = nullptr;
  // The statement query (ParseForParams false) and the query that reads ALL_ERRORS.
  TOracleQuery *Query = nullptr;
  TOracleQuery *ErrorQuery = nullptr;
  TCompileDisplay *Display = nullptr;
  // The configuration's IgnoreDropErrors.
  std::function<bool()> IgnoreDropErrors;
  // The main window's status bar text, repainted at once.
  std::function<void(const std::string &)> ShowStatus;
  // An error message box with an OK button.
  std::function<void(const std::string &)> ShowError;
  // Has the DBMS output window fetch the server's pending output; unset while no such window
  // exists.
  std::function<void()> DrainOutput;
  // After every successful logon of the run (a CONNECT line or a connect on demand): a new
  // session, whose DBMS output must be enabled again. Optional.
  std::function<void()> Connected;
  // A run whose results are shown sets this; it runs on the compile thread, not the GUI
  // thread. It takes the prepared statement in place of the plain execute: it executes it (a
  // query with its first rows fetched) and shows the outcome through Synchronize, raising
  // what the server raised.
  std::function<void(TOracleQuery &)> ExecuteShown;
};

// The query that reads a stored unit's compilation errors, as the main window stores it: its SQL
// on ALL_ERRORS with the inputs "owner", "name", "type" and the fields LINE, POSITION (numbers of
// 40 bytes) and TEXT (2000 bytes), each of dimension 10. The component record is written from
// these properties and read back, so the lists come through their definition, as when loaded.
void LoadErrorQuery(TOracleQuery &AQuery);

// SQL function codes of the DROP statements that IgnoreDropErrors passes over (DROP FUNCTION,
// 93, is not one of them).
bool IsIgnorableDropCode(std::uint16_t AFunctionCode);

// "hh:mm:ss" of a duration; the hours go past 23 rather than wrapping.
std::string FormatElapsedTime(std::chrono::steady_clock::duration ADuration);

// The parts of a "CONNECT" line after the command word: user before the first "/", password
// up to the first "@" after it, server after that "@". Without "@" the rest after "/" is the
// password and the server stays empty; without "/" the user runs up to the "@".
struct TConnectParts {
  std::string User, Password, Server;
};
TConnectParts SplitConnectLine(std::string_view ALine);

// 1-based script position of line ALine, column AColumn of an expression whose first character
// stands at AStart (line 1 starts there, wherever that is in its line), counting lines by LF.
// Clamped into the text, so a message about a line past the end still points into the script.
std::int32_t TextPosition(const std::string &AText, std::int32_t AStart, std::int32_t ALine,
                          std::int32_t AColumn);

// The script position a failed statement's message names: ": line L, column C:" or
// "arguments: [L] [C]" inside the expression starting at AStart, else AStart itself; a parse
// error offset, when not 0, wins and points at that character of the statement. Always within
// the text (0 only for an empty text). AShift is how many characters more the statement sent
// had than the script before AStart's character in its first line (a command's wrapper).
std::int32_t ErrorPosition(const std::string &AText, std::int32_t AStart,
                           const std::string &AMessage, std::uint16_t AParseErrorOffset,
                           std::int32_t AShift = 0);

// The block an "EXEC[UTE] call" line runs: "BEGIN call; END;", the line's continuation hyphens
// blanked so the call keeps its characters' places. AShift receives the statement's first-line
// shift against the script (see ErrorPosition).
std::string ExecuteBlock(std::string_view ALine, std::int32_t &AShift);

// The consumer of a parse run that compiles: executes every expression on the environment's
// database and reports failures and stored units' compilation errors to the scripts.
class TThreadCompile final : public TThread {
public:
  // Starts at once and frees itself when it ends. APosition 0 compiles every expression;
  // otherwise it is the caret's 0-based offset and only the expression at the caret is sent.
  // The parse thread *AParserRef must exist: its semaphore is taken here. Sets *AOwnerRef to
  // itself, and to null when it ends.
  TThreadCompile(TExpressionList *AExpressions, std::int32_t APosition, TThreadRef *AParserRef,
                 TThreadRef *AOwnerRef, const TCompileEnvironment &AEnvironment);
  ~TThreadCompile() override;

  // GUI thread: ends the run. The statement running now is broken off on the server (it fails
  // with ORA-01013) and nothing after it is sent. Safe to call again while waiting for the end.
  void Cancel();
  // Cancel for the thread held by ARef, if it still runs.
  static void CancelThread(TThreadRef &ARef);

  std::int32_t DoneCount() const { return FDoneCount; }
  std::int32_t ErrorsFound() const { return FErrorsFound; }

protected:
  void Execute() override;

private:
  // Counts the current expression as done and updates the dialog, not more often than the
  // eye can follow.
  void Progress();
  // These four run on the GUI thread.
  void UpdateProgress();
  void ConnectDatabase();
  void AddError();
  void SetDone();

  // Sends the current expression and reads a stored unit's errors; raises what the server
  // raised. False when the run was cancelled before anything was sent.
  bool ExecuteCurrent(const std::string &AText);
  void ReadUnitErrors();
  // False when the failure was passed over (a DROP error with IgnoreDropErrors on).
  bool ReportFailure(const std::exception &AError, std::int32_t AShift);
  void WaitResult(TWaitResult &AResult);

  TExpressionList *FExpressions;
  std::int32_t FPosition;
  TThreadRef *FParserRef;
  std::shared_ptr<TSemaphore> FSemaphore;
  TExpression *FCurrent = nullptr;
  std::int32_t FIndex = -1;
  std::int32_t FDoneCount = 0;
  std::int32_t FErrorsFound = 0;
  std::int32_t FErrorPos = 0;
  // WHENEVER SQLERROR EXIT is in force: the next failed statement ends the run.
  bool FStopOnError = false;
  std::string FErrorText;
  std::chrono::steady_clock::time_point FStartTime;
  // What the dialog shows next, taken when an expression is done (its script may be gone by
  // the time the dialog is updated).
  std::string FShownFileName;
  int FShownProgress = 0;
  bool FProgressPending = false;
  std::chrono::steady_clock::time_point FLastUpdate;
  TCompileEnvironment FEnvironment;

  // Whether a statement is on its way to the server, so Cancel knows to break it.
  std::mutex FExecuteLock;
  bool FExecuting = false;
};
