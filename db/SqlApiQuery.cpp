// The state machine of a data set (prepare, execute, fetch, close) and the parameter scan of
// statement texts.
#include "db/SqlApiQuery.h"

#include "db/SqlFunctionCodes.h"

#include <mutex>

TDataSetLite::TDataSetLite(QObject *AOwner, TParamClass AItemClass)
    : TComponent(AOwner), FParams(std::make_unique<TParams>(this, AItemClass)),
      FFields(std::make_unique<TFields>(this, AItemClass)) {}

namespace {
[[noreturn]] void Abstract(const char *AName) {
  RaiseInterfaceError(MakeErrorCode(1, facQuery, 50000), std::string("Abstract ") + AName);
}
} // namespace

void TDataSetLite::BindParams(TParams &) { Abstract("BindParams"); }
void TDataSetLite::ParseParams(TParams &) { Abstract("ParseParams"); }
void TDataSetLite::DescribeFields(TParams &) { Abstract("DescribeFields"); }
void TDataSetLite::CancelFetch() { Abstract("CancelFetch"); }
void TDataSetLite::DoExecute(std::int32_t, std::int32_t) { Abstract("DoExecute"); }
void TDataSetLite::DoFetch(std::int32_t) { Abstract("DoFetch"); }
void TDataSetLite::DoExecuteFetch(std::int32_t, bool) { Abstract("DoExecuteFetch"); }
void TDataSetLite::OpenCursor() { Abstract("OpenCursor"); }
void TDataSetLite::CloseCursor() { Abstract("CloseCursor"); }
TSession &TDataSetLite::GetSession() { Abstract("GetSession"); }

void TDataSetLite::SetDatabaseName(const std::string &AValue) {
  if (AValue == FDatabaseName)
    return;
  // Attached also counts: a data set whose prepare failed, or a described stored procedure,
  // is attached while Closed and must not go on using the database it no longer names.
  if (Prepared() || FDatabase)
    Close();
  FDatabaseName = AValue;
}

void TDataSetLite::SetPrepared(bool AValue) {
  if (AValue == Prepared() || FDatabaseName.empty() || FLoading)
    return;
  if (AValue)
    Prepare();
  else
    Unprepare();
}

void TDataSetLite::RequirePrepared() const {
  // Without a database name nothing was prepared; binding an unopened cursor would only give
  // an obscure library error, so name the missing database instead.
  if (FState == TDataSetState::Closed)
    RaiseInterfaceError(MakeErrorCode(1, facSession, 50000), FDatabaseName);
}

void TDataSetLite::Prepare() {
  if (!FDatabase) {
    FDatabase = GetSession().OpenDatabase(FDatabaseName);
    FDatabase->AttachDataSet(this);
  }
  std::lock_guard Guard(FDatabase->Lock());
  if (FState == TDataSetState::Fetching)
    EndFetch();
  try {
    OpenCursor();
  } catch (...) {
    // The cursor is closed again by now; the query stays attached until Close.
    FState = TDataSetState::Closed;
    throw;
  }
  FState = TDataSetState::Prepared;
  RefreshParams();
  RefreshFields();
}

void TDataSetLite::Unprepare() {
  struct TDetach {
    TDataSetLite *DataSet;
    ~TDetach() {
      if (TDatabaseLite *Database = DataSet->FDatabase) {
        Database->DetachDataSet(DataSet);
        DataSet->FDatabase = nullptr;
        // While the database logs off (use count -1) the close changes nothing, so a data set
        // closed by that logoff never starts a second one.
        try {
          DataSet->GetSession().CloseDatabase(Database);
        } catch (...) {
          // a logoff's complaint is swallowed by the logoff itself; nothing else can raise
        }
      }
      DataSet->FState = TDataSetState::Closed;
    }
  } Detach{this};
  CloseCursor();
}

void TDataSetLite::EndFetch() {
  if (FState == TDataSetState::Fetching) {
    // Whatever the cancel says, this fetch is over.
    struct TLeave {
      TDataSetLite *DataSet;
      ~TLeave() {
        if (DataSet->FState != TDataSetState::Closed)
          DataSet->FState = TDataSetState::Prepared;
      }
    } Leave{this};
    CancelFetch();
    AfterCancelFetch();
    return;
  }
  if (FState != TDataSetState::Closed)
    FState = TDataSetState::Prepared;
}

void TDataSetLite::Close() {
  struct TUnprepare {
    TDataSetLite *DataSet;
    ~TUnprepare() noexcept(false) {
      if (std::uncaught_exceptions() > 0) {
        try {
          DataSet->Unprepare();
        } catch (...) {
        }
      } else {
        DataSet->Unprepare();
      }
    }
  } Unprepare{this};
  EndFetch();
}

void TDataSetLite::ExecuteArray(std::int32_t AIters, std::int32_t ARowOffset) {
  const bool Keep = FState != TDataSetState::Closed || FKeepPrepared;
  std::unique_lock<std::recursive_mutex> Lock;
  struct TFinish {
    TDataSetLite *DataSet;
    std::unique_lock<std::recursive_mutex> &Lock;
    bool Keep;
    ~TFinish() noexcept(false) {
      const bool Failing = std::uncaught_exceptions() > 0;
      try {
        DataSet->EndFetch();
      } catch (...) {
        if (!Failing)
          throw;
      }
      if (Lock.owns_lock())
        Lock.unlock();
      // The clean-up only ever lets go: a prepare that failed is not tried a second time here
      // (that would show the login dialog again, or end Prepared after raising). Without
      // KeepPrepared a query that was Closed lets go of its database too, also when its
      // prepare failed half-way.
      if (Keep)
        return;
      try {
        if (DataSet->Prepared() || DataSet->FDatabase)
          DataSet->Unprepare();
      } catch (...) {
        if (!Failing)
          throw;
      }
    }
  } Finish{this, Lock, Keep};
  SetPrepared(true);
  RequirePrepared();
  if (FDatabase)
    Lock = std::unique_lock(FDatabase->Lock());
  // Each iteration reads one row of every bound parameter; more iterations than rows would
  // make the library read past the buffers.
  const auto Bad = [&] { RaiseInterfaceError(MakeErrorCode(1, facQuery, 50012), "Iterations"); };
  if (AIters < 1 || ARowOffset < 0)
    Bad();
  BindParams(*FParams);
  for (int i = 0; i < FParams->Count(); ++i) {
    TParam *Item = FParams->Items(i);
    if (Item->DataType() != oCursor && std::int64_t(AIters) + ARowOffset > Item->Dimension())
      Bad();
  }
  FState = TDataSetState::Executing;
  DoExecute(AIters, ARowOffset);
}

std::int32_t TDataSetLite::FetchableRows(std::int32_t ARows) const {
  // Each field's buffers hold its own Dimension rows, which may be fewer than its list's.
  std::int32_t Rows = std::min(ARows, FFields->Dimension());
  for (int i = 0; i < FFields->Count(); ++i)
    Rows = std::min(Rows, FFields->Items(i)->Dimension());
  return std::max(1, Rows);
}

void TDataSetLite::ExecuteFetch(std::int32_t ARows, bool ACancelAfter) {
  if (FState == TDataSetState::Fetching)
    EndFetch();
  if (FFields->Dimension() < ARows)
    FFields->SetDimension(ARows);
  const std::int32_t Rows = FetchableRows(ARows);
  SetPrepared(true);
  RequirePrepared();
  BindParams(*FParams);
  BindParams(*FFields);
  FState = TDataSetState::Fetching;
  struct TFinish {
    TDataSetLite *DataSet;
    std::int32_t Rows;
    bool CancelAfter;
    ~TFinish() noexcept(false) {
      if (CancelAfter || DataSet->FRowsProcessed != Rows) {
        if (std::uncaught_exceptions() > 0) {
          try {
            DataSet->EndFetch();
          } catch (...) {
          }
        } else {
          DataSet->EndFetch();
        }
      }
    }
  } Finish{this, Rows, ACancelAfter};
  DoExecuteFetch(Rows, ACancelAfter);
}

void TDataSetLite::FetchNext(std::int32_t ARows) {
  if (FState != TDataSetState::Fetching)
    RaiseInterfaceError(MakeErrorCode(1, facQuery, 50011), "");
  // The field buffers were defined with Fields.Dimension rows; never ask for more.
  const std::int32_t Rows = FetchableRows(ARows);
  DoFetch(Rows);
  if (FRowsProcessed != Rows)
    FState = TDataSetState::Prepared;
}

void TDataSetLite::RefreshParams() {
  if (!(FunctionCode() == fcSelect || ParseForParams()) || !FParams->NeedsRefresh())
    return;
  try {
    auto List = std::make_unique<TParams>(this, FParams->ItemClass());
    List->SetDimension(FParams->Dimension());
    ParseParams(*List);
    List->AssignValues(FParams.get());
    FParams = std::move(List);
  } catch (...) {
    // A list that cannot be rebuilt leaves the old one in place.
  }
  FParams->SetNeedsRefresh(false);
}

void TDataSetLite::RefreshFields() {
  if (FunctionCode() != 4 || !FFields->NeedsRefresh())
    return;
  auto List = std::make_unique<TFields>(this, FFields->ItemClass());
  DescribeFields(*List);
  List->AssignValues(FFields.get());
  List->SetDimension(FFields->Dimension());
  FFields = std::move(List);
  FFields->SetNeedsRefresh(false);
}

// ---- TQueryLite ------------------------------------------------------------------------------

void TQueryLite::SetParseForParams(bool AValue) {
  if (AValue == FParseForParams)
    return;
  FParseForParams = AValue;
  if (AValue && !FSQL.empty())
    RefreshParams();
}

void TQueryLite::SetSQL(const std::string &AValue) {
  Close();
  FSQL = AValue;
  SQLChanged();
}

void TQueryLite::SQLChanged() {
  if (FLoading)
    return;
  if (Prepared())
    Close();
  FParams->SetNeedsRefresh(true);
  FFields->SetNeedsRefresh(true);
  FParams->Clear();
  FFields->Clear();
}

void TQueryLite::ParseParams(TParams &AList) {
  enum { None, Quote, LineComment, BlockComment, Colon } Mode = None;
  std::string Text;
  GetSQL(Text);
  const size_t Length = Text.size();
  auto IsNameChar = [](char C) {
    return (C >= '0' && C <= '9') || (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_';
  };
  size_t i = 0;
  while (i < Length) {
    const char C = Text[i];
    const char Next = i + 1 < Length ? Text[i + 1] : '\0';
    switch (Mode) {
    case Quote:
      if (C == '\'')
        Mode = None;
      break;
    case LineComment:
      if (C == '\n')
        Mode = None;
      break;
    case BlockComment:
      if (C == '*' && Next == '/') {
        Mode = None;
        ++i;
      }
      break;
    default:
      if (C == '\'')
        Mode = Quote;
      else if (C == '-' && Next == '-') {
        Mode = LineComment;
        ++i;
      } else if (C == '/' && Next == '*') {
        Mode = BlockComment;
        ++i;
      } else if (C == ':')
        Mode = Colon;
      else
        Mode = None;
    }
    ++i;
    if (Mode == Colon) {
      const size_t Start = i;
      while (i < Length && IsNameChar(Text[i]))
        ++i;
      if (i > Start) {
        TParam *Item = AList.Add(Text.substr(Start, i - Start));
        (void)Item;
      }
      Mode = None;
    } else if (Mode != None) {
      const char Stop = Mode == Quote ? '\'' : Mode == LineComment ? '\n' : '*';
      while (i < Length && Text[i] != Stop)
        ++i;
    }
  }
}
