// Error routines, the session's library loading and registry, and the database component.
#include "db/SqlApi.h"

#include "db/SqlFunctionCodes.h"

#include <cctype>
#include <string_view>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <exception>
#include <strings.h>
#include <unistd.h>

// ---- Errors ---------------------------------------------------------------------------------

std::string InterfaceErrorMessage(std::int32_t ACode, const std::string &AText) {
  std::uint32_t Code = static_cast<std::uint32_t>(ACode);
  int Facility = static_cast<int>((Code >> 16) & 0x7FFF) - 30200;
  int Number = static_cast<int>(Code & 0xFFFF) - 50000;
  char Head[64];
  std::snprintf(Head, sizeof Head, "%s : %d.%d.[", (Code & 0x80000000u) ? "Error" : "Warning",
                Facility, Number);
  return Head + AText + "]";
}

void RaiseInterfaceError(std::int32_t ACode, const std::string &AText) {
  throw EDbInterface(InterfaceErrorMessage(ACode, AText), ACode);
}

void RaiseDatabaseError(const TDatabaseLite *ADatabase, std::int32_t ACode,
                        const std::string &AText) {
  throw EDatabaseError(AText, ACode, ADatabase ? ADatabase->DatabaseName() : std::string());
}

std::string StripCarriageReturns(std::string AText) {
  std::replace(AText.begin(), AText.end(), '\r', ' ');
  return AText;
}

// ---- Session ---------------------------------------------------------------------------------

namespace {

// The folder of the running program, where the local server is built next to it.
std::string ProgramFolder() {
  char Path[4096];
  ssize_t Length = readlink("/proc/self/exe", Path, sizeof Path - 1);
  if (Length <= 0)
    return ".";
  std::string Result(Path, static_cast<size_t>(Length));
  size_t Slash = Result.rfind('/');
  return Slash == std::string::npos ? "." : Result.substr(0, Slash);
}

// "ora73.dll" is "libora73.so" here.
std::string PlatformLibraryName(const std::string &AName) {
  std::string Base = AName;
  if (Base.size() > 4 && strcasecmp(Base.c_str() + Base.size() - 4, ".dll") == 0)
    Base.resize(Base.size() - 4);
  return "lib" + Base + ".so";
}

} // namespace

TSession::TSession() : TComponent(nullptr) {}

TSession::~TSession() {
  DestroyDatabases();
  FreeLibrary();
}

void TSession::DestroyDatabases() {
  // Databases still registered go with the session; each unregisters itself as it dies.
  while (true) {
    TDatabaseLite *Database;
    {
      std::lock_guard Guard(FLock);
      if (FDatabases.empty())
        break;
      Database = FDatabases.back();
    }
    delete Database;
    std::lock_guard Guard(FLock);
    if (!FDatabases.empty() && FDatabases.back() == Database)
      FDatabases.pop_back(); // a database that failed to unregister must not stall the loop
  }
}

std::string TSession::LibraryFolder() const {
  return FLibraryFolder.empty() ? ProgramFolder() : FLibraryFolder;
}

void TSession::SetLibraryFolder(const std::string &AFolder) {
  std::lock_guard Guard(FLock);
  FLibraryFolder = AFolder;
}

void TSession::LoadInterface() {
  std::lock_guard Guard(FLock);
  LoadLibraries();
}

void TSession::AcquireInterface() {
  std::lock_guard Guard(FLock);
  if (FUseCount == 0)
    LoadInterface();
  ++FUseCount;
}

void TSession::ReleaseInterface() {
  std::lock_guard Guard(FLock);
  if (FUseCount > 0)
    --FUseCount;
  else
    FreeLibrary();
}

void TSession::FreeLibrary() {
  std::lock_guard Guard(FLock);
  if (FLibraryHandle) {
    LibraryFreed();
    dlclose(FLibraryHandle);
  }
  FLibraryHandle = nullptr;
  FLibraryPath.clear();
}

void TSession::LoadLibraryList(const std::vector<std::string> &ANames, int AEntryCount,
                               void **ATable, const char *const *AEntryNames) {
  std::lock_guard Guard(FLock);
  if (!FLibraryHandle) {
    std::vector<std::string> Candidates;
    if (const char *Override = std::getenv("TESSALY_OCI_LIBRARY"); Override && *Override)
      Candidates.push_back(Override);
    const std::string Folder = LibraryFolder();
    for (const std::string &Name : ANames) {
      const std::string File = PlatformLibraryName(Name);
      Candidates.push_back(Folder + "/" + File);
      Candidates.push_back(File); // the system's library search
    }
    for (const std::string &Candidate : Candidates) {
      FLibraryHandle = dlopen(Candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (FLibraryHandle) {
        FLibraryPath = Candidate;
        break;
      }
    }
    if (!FLibraryHandle)
      RaiseInterfaceError(MakeErrorCode(1, facSession, 50000), "Load interface dll's failed.");
  }
  for (int i = 0; i < AEntryCount; ++i)
    ATable[i] = dlsym(FLibraryHandle, AEntryNames[i]);
}

TDatabaseLite *TSession::FindDatabase(const std::string &AName) {
  std::lock_guard Guard(FLock);
  for (TDatabaseLite *Database : FDatabases)
    if (Database->DatabaseName().size() == AName.size() &&
        strcasecmp(Database->DatabaseName().c_str(), AName.c_str()) == 0)
      return Database;
  return nullptr;
}

// Lock order: a database's lock first, the session's lock inside it (a logon takes the library
// under the session's lock). So the session's lock is never held while a database's lock is
// taken: the look-up is done and its lock released before the database is logged on.
TDatabaseLite *TSession::OpenDatabase(const std::string &AName) {
  TDatabaseLite *Database = FindDatabase(AName);
  if (!Database)
    RaiseInterfaceError(MakeErrorCode(1, facSession, 50000), AName);
  std::lock_guard Guard(Database->Lock());
  Database->Login();
  ++Database->FUseCount;
  return Database;
}

void TSession::CloseDatabase(TDatabaseLite *ADatabase) {
  std::lock_guard Guard(ADatabase->Lock());
  if (ADatabase->FUseCount > 0)
    --ADatabase->FUseCount;
  if (ADatabase->FUseCount == 0 && !ADatabase->KeepConnected())
    ADatabase->Logoff();
}

void TSession::Register(TDatabaseLite *ADatabase) {
  std::lock_guard Guard(FLock);
  FDatabases.push_back(ADatabase);
}

void TSession::Unregister(TDatabaseLite *ADatabase) {
  std::lock_guard Guard(FLock);
  FDatabases.erase(std::remove(FDatabases.begin(), FDatabases.end(), ADatabase), FDatabases.end());
}

// ---- Database --------------------------------------------------------------------------------

TDatabaseLite::TDatabaseLite(QObject *AOwner) : TComponent(AOwner) {}

// The derived class logs off and unregisters in its destructor: both need its own calls. What
// is still attached then (a data set that attached after that logoff) only forgets this
// database: closing it would need the connection that is already gone.
TDatabaseLite::~TDatabaseLite() {
  std::lock_guard Guard(FLock);
  for (TDataSetLite *DataSet : FDataSets)
    DataSet->DatabaseGone(this);
  FDataSets.clear();
}

void TDatabaseLite::RegisterWithSession() { GetSession().Register(this); }
void TDatabaseLite::UnregisterFromSession() { GetSession().Unregister(this); }

void TDatabaseLite::SetConnected(bool AValue) {
  std::lock_guard Guard(FLock);
  if (AValue)
    Login();
  else
    Logoff();
}

void TDatabaseLite::SetParams(const TStringList &AValue) {
  std::lock_guard Guard(FLock);
  FParams.Assign(AValue);
}

std::string TDatabaseLite::User() const {
  std::lock_guard Guard(FLock);
  return FParams.Value("User");
}
void TDatabaseLite::SetUser(const std::string &AValue) {
  std::lock_guard Guard(FLock);
  FParams.SetValue("User", AValue);
}
std::string TDatabaseLite::Password() const {
  std::lock_guard Guard(FLock);
  return FParams.Value("Password");
}
void TDatabaseLite::SetPassword(const std::string &AValue) {
  std::lock_guard Guard(FLock);
  FParams.SetValue("Password", AValue);
}
std::string TDatabaseLite::Server() const {
  std::lock_guard Guard(FLock);
  return FParams.Value("Server");
}
void TDatabaseLite::SetServer(const std::string &AValue) {
  std::lock_guard Guard(FLock);
  FParams.SetValue("Server", AValue);
}

void TDatabaseLite::SetDatabaseName(const std::string &AValue) {
  if (AValue == FDatabaseName)
    return;
  if (FConnected)
    RaiseInterfaceError(MakeErrorCode(1, facDatabase, 50009), "Disconnect first");
  TSession &Session = GetSession();
  std::lock_guard Guard(Session.Lock());
  TDatabaseLite *Other = AValue.empty() ? nullptr : Session.FindDatabase(AValue);
  if (AValue.empty() || (Other && Other != this))
    RaiseInterfaceError(MakeErrorCode(1, facDatabase, 50001), AValue);
  FDatabaseName = AValue;
}

void TDatabaseLite::Login() {
  std::lock_guard Guard(FLock);
  if (FConnected)
    return;
  OnLogin(this, true);
  // The after-login event runs whatever happens, but not when the before-event abandoned it.
  struct TAfterLogin {
    TDatabaseLite *Database;
    ~TAfterLogin() noexcept(false) {
      if (std::uncaught_exceptions() > 0) {
        try {
          Database->OnLogin(Database, false);
        } catch (...) {
          // the logon's own exception is the one on its way to the caller
        }
      } else {
        Database->OnLogin(Database, false);
      }
    }
  } AfterLogin{this};
  const std::string AServer = Server(), APassword = Password(), AUser = User();
  DoConnect(AUser, APassword, AServer);
  FConnected = true;
  SetInTransaction(false); // a new session holds nothing yet
}

namespace {

// The first one or two words of a statement, upper-cased, comments and blanks before them
// passed over.
std::vector<std::string> LeadingWords(std::string_view AText, std::size_t ACount) {
  std::vector<std::string> Words;
  std::size_t I = 0;
  while (I < AText.size() && Words.size() < ACount) {
    const char C = AText[I];
    if (C == '-' && I + 1 < AText.size() && AText[I + 1] == '-') {
      while (I < AText.size() && AText[I] != '\n')
        ++I;
    } else if (C == '/' && I + 1 < AText.size() && AText[I + 1] == '*') {
      const std::size_t End = AText.find("*/", I + 2);
      I = End == std::string_view::npos ? AText.size() : End + 2;
    } else if (std::isalpha(static_cast<unsigned char>(C))) {
      std::string Word;
      while (I < AText.size() && std::isalnum(static_cast<unsigned char>(AText[I])))
        Word += static_cast<char>(std::toupper(static_cast<unsigned char>(AText[I++])));
      Words.push_back(Word);
    } else {
      ++I;
    }
  }
  return Words;
}

} // namespace

bool TransactionOpenAfter(bool AOpen, int AFunctionCode, std::int64_t ARowsProcessed,
                          std::string_view AText) {
  switch (AFunctionCode) {
  case fcInsert:
  case fcUpdate:
  case fcDelete:
  case fcMerge:
    return AOpen || ARowsProcessed > 0;
  case fcPlSqlExecute:
  case fcLockTable:
  case fcExplain:
    return true;
  case fcRollback: {
    // ROLLBACK [WORK] TO [SAVEPOINT] name undoes part of the transaction, not all of it.
    const std::vector<std::string> Words = LeadingWords(AText, 3);
    const bool ToSavepoint = (Words.size() > 1 && Words[1] == "TO") ||
                             (Words.size() > 2 && Words[1] == "WORK" && Words[2] == "TO");
    return ToSavepoint && AOpen;
  }
  case fcCommit:
    return false;
  case fcSelect:
  case fcSavepoint:
  case fcSetTransaction:
  case fcSetRole:
  case fcAlterSession:
    return AOpen;
  case 0: {
    // A statement the kind table does not name: MERGE and CALL change data, others are read.
    const std::vector<std::string> Words = LeadingWords(AText, 1);
    return AOpen || (!Words.empty() && (Words[0] == "MERGE" || Words[0] == "CALL"));
  }
  default:
    return false; // DDL commits before and after itself
  }
}

void TDatabaseLite::SetInTransaction(bool AValue) {
  if (FInTransaction.exchange(AValue) != AValue)
    OnTransactionChanged(this);
}

void TDatabaseLite::NoteStatement(int AFunctionCode, std::int64_t ARowsProcessed,
                                  const std::string &AText) {
  SetInTransaction(TransactionOpenAfter(FInTransaction, AFunctionCode, ARowsProcessed, AText));
}

void TDatabaseLite::Logoff() {
  std::lock_guard Guard(FLock);
  if (!FConnected)
    return;
  struct TEndIdle {
    TDatabaseLite *Database;
    ~TEndIdle() {
      Database->FConnected = false;
      Database->FUseCount = 0;
      // Whatever the server did with it, the session's transaction is over.
      Database->SetInTransaction(false);
    }
  } EndIdle{this};
  // A handler that refuses cannot keep the session: the data sets are closed and the server
  // session ended anyway, and the first complaint is raised once all that is done.
  std::exception_ptr Complaint;
  try {
    OnLogoff(this, true);
  } catch (...) {
    Complaint = std::current_exception();
  }
  FUseCount = -1;
  CloseDataSets();
  try {
    DoDisconnect();
  } catch (...) {
  }
  try {
    OnLogoff(this, false);
  } catch (...) {
    if (!Complaint)
      Complaint = std::current_exception();
  }
  if (Complaint)
    std::rethrow_exception(Complaint);
}

void TDatabaseLite::CloseDataSets() {
  std::lock_guard Guard(FLock);
  while (!FDataSets.empty()) {
    TDataSetLite *Last = FDataSets.back();
    try {
      Last->Close();
    } catch (...) {
    }
    if (!FDataSets.empty() && FDataSets.back() == Last) {
      FDataSets.pop_back();
      Last->DatabaseGone(this);
    }
  }
}

void TDatabaseLite::AttachDataSet(TDataSetLite *ADataSet) {
  std::lock_guard Guard(FLock);
  FDataSets.push_back(ADataSet);
}

void TDatabaseLite::DetachDataSet(TDataSetLite *ADataSet) {
  std::lock_guard Guard(FLock);
  FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), ADataSet), FDataSets.end());
}

void TDatabaseLite::DoConnect(const std::string &, const std::string &, const std::string &) {
  GetSession().AcquireInterface();
}

void TDatabaseLite::DoDisconnect() { GetSession().ReleaseInterface(); }

void TDataSetLite::DatabaseGone(TDatabaseLite *ADatabase) {
  if (FDatabase != ADatabase)
    return;
  FDatabase = nullptr;
  FState = TDataSetState::Closed;
}

TDataSetLite::~TDataSetLite() {
  if (FDatabase)
    FDatabase->DetachDataSet(this);
}
