// The worker that runs one statement and hands its outcome to the GUI thread.
#include "db/StatementThread.h"

#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "db/SqlFunctionCodes.h"

TThreadStatement::TThreadStatement(TOracleQueryLite &AQuery, TOracleDatabase *ADatabase,
                                   const TResultFetch &AFetch, TThreadRef *AOwnerRef,
                                   std::function<void(TStatementOutcome &)> AOnDone)
    : FQuery(AQuery), FDatabase(ADatabase), FFetch(AFetch), FOnDone(std::move(AOnDone)) {
  SetOwnerRef(AOwnerRef);
  if (AOwnerRef)
    AOwnerRef->store(this);
  SetFreeOnTerminate(true);
  Resume();
}

TThreadStatement::~TThreadStatement() = default;

void TThreadStatement::Cancel() {
  Terminate();
  std::lock_guard Guard(FExecuteLock);
  if (FExecuting && FDatabase)
    FDatabase->Break();
}

void TThreadStatement::CancelThread(TThreadRef &ARef) {
  TThread::WithThread(ARef, [](TThread *AThread) {
    if (auto *Statement = dynamic_cast<TThreadStatement *>(AThread))
      Statement->Cancel();
  });
}

bool TThreadStatement::Run(TStatementOutcome &AOutcome) {
  {
    std::lock_guard Guard(FExecuteLock);
    if (Terminated())
      return false;
    FExecuting = true;
  }
  struct TDone {
    TThreadStatement *Thread;
    ~TDone() {
      std::lock_guard Guard(Thread->FExecuteLock);
      Thread->FExecuting = false;
    }
  } Done{this};
  FQuery.SetPrepared(true);
  AOutcome.FunctionCode = FQuery.FunctionCode();
  AOutcome.IsQuery = AOutcome.FunctionCode == fcSelect;
  if (AOutcome.IsQuery) {
    AOutcome.MoreRows = FFetch.Start(FQuery, AOutcome.Rows);
  } else {
    FQuery.Execute();
  }
  AOutcome.RowsProcessed = FQuery.RowsProcessed();
  return true;
}

void TThreadStatement::Execute() {
  const auto Start = std::chrono::steady_clock::now();
  TStatementOutcome Outcome;
  Outcome.Fetch = FFetch;
  try {
    if (!Run(Outcome)) {
      Outcome.Failed = true;
      Outcome.Error = "Cancelled before the statement was sent.";
    }
  } catch (const std::exception &E) {
    Outcome.Failed = true;
    Outcome.Error = E.what();
    Outcome.IsQuery = false;
    Outcome.Rows.Clear();
    Outcome.MoreRows = false;
  }
  Outcome.Elapsed = std::chrono::steady_clock::now() - Start;
  DoSynchronize([&] { FOnDone(Outcome); });
}
