// One statement run off the GUI thread: the terminal hands its query to this worker, which
// executes it (a query with its first batch of rows fetched) while the window stays responsive,
// and hands the outcome back through the synchronous call. Cancel breaks the call on the server
// as the compile run does.
#pragma once

#include "classes/Threads.h"
#include "db/ResultSet.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

class TOracleDatabase;
class TOracleQueryLite;

// What a statement came to.
struct TStatementOutcome {
  bool Failed = false;
  std::string Error; // the server's or the layer's message when Failed
  int FunctionCode = 0;
  std::int64_t RowsProcessed = 0;
  bool IsQuery = false;
  TResultSet Rows; // a query's first batch
  bool MoreRows = false;
  TResultFetch Fetch; // how it was fetched, for the batches after it
  std::chrono::steady_clock::duration Elapsed{};
};

class TThreadStatement final : public TThread {
public:
  // Starts at once on AQuery (its SQL set, its database connected), which nothing else may use
  // until the thread has ended; frees itself then. AOnDone runs on the GUI thread with the
  // outcome, as the last thing the thread does. *AOwnerRef holds the thread while it runs.
  TThreadStatement(TOracleQueryLite &AQuery, TOracleDatabase *ADatabase, const TResultFetch &AFetch,
                   TThreadRef *AOwnerRef, std::function<void(TStatementOutcome &)> AOnDone);
  ~TThreadStatement() override;

  // GUI thread: the statement is broken off on the server (it fails with ORA-01013), or never
  // sent when it has not been yet. Safe to call again until the thread has ended.
  void Cancel();
  // Cancel for the thread held by ARef, if it still runs.
  static void CancelThread(TThreadRef &ARef);

protected:
  void Execute() override;

private:
  // False when cancelled before the server was called.
  bool Run(TStatementOutcome &AOutcome);

  TOracleQueryLite &FQuery;
  TOracleDatabase *FDatabase;
  TResultFetch FFetch;
  std::function<void(TStatementOutcome &)> FOnDone;
  std::mutex FExecuteLock;
  bool FExecuting = false;
};
