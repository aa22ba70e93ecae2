// Database-independent base classes of the database layer: error routines, the session with its
// registry of databases, and the database component with its logon events.
#pragma once

#include "classes/Component.h"
#include "classes/Events.h"
#include "classes/Exceptions.h"
#include "classes/StringList.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// ---- Errors ---------------------------------------------------------------------------------

// An exception with a numeric code; never raised itself.
class ECodeError : public Exception {
public:
  ECodeError(std::string AMessage, std::int32_t ACode)
      : Exception(std::move(AMessage)), FErrorCode(ACode) {}
  std::int32_t ErrorCode() const { return FErrorCode; }
  void SetErrorCode(std::int32_t ACode) { FErrorCode = ACode; }

private:
  std::int32_t FErrorCode;
};

// A fault the database layer finds itself ("Error : f.n.[text]").
class EDbInterface : public ECodeError {
public:
  using ECodeError::ECodeError;
};

// A non-zero return code of the client library, with the server's message text.
class EDatabaseError : public ECodeError {
public:
  EDatabaseError(std::string AMessage, std::int32_t ACode, std::string ADatabaseName)
      : ECodeError(std::move(AMessage), ACode), FDatabaseName(std::move(ADatabaseName)) {}
  const std::string &DatabaseName() const { return FDatabaseName; }

private:
  std::string FDatabaseName;
};

// Facilities of the layer's own error codes.
enum : int {
  facSession = 30201,
  facDatabase = 30202,
  facQuery = 30203,
  facStoredProc = 30205,
  facParam = 30206
};

// Severity 1 = error, 0 = warning; numbers start at 50000.
constexpr std::int32_t MakeErrorCode(int ASeverity, int AFacility, int ANumber) {
  return static_cast<std::int32_t>((static_cast<std::uint32_t>(ASeverity) << 31) |
                                   (static_cast<std::uint32_t>(AFacility) << 16) |
                                   static_cast<std::uint32_t>(ANumber));
}

// The message of a layer fault: "Error : f.n.[text]" or "Warning : f.n.[text]".
std::string InterfaceErrorMessage(std::int32_t ACode, const std::string &AText);
[[noreturn]] void RaiseInterfaceError(std::int32_t ACode, const std::string &AText);

class TDatabaseLite;
[[noreturn]] void RaiseDatabaseError(const TDatabaseLite *ADatabase, std::int32_t ACode,
                                     const std::string &AText);

// Every carriage return becomes a blank; the length stays the same.
std::string StripCarriageReturns(std::string AText);

// ---- Session ---------------------------------------------------------------------------------

class TDataSetLite;

// The client library and the registry of database components. One instance per program.
class TSession : public TComponent {
public:
  TSession();
  ~TSession() override;

  virtual void AcquireInterface();
  virtual void ReleaseInterface();
  // Loads the client library when it is not loaded yet, resolves the entry table and lets the
  // library initialise itself. Raises EDbInterface when no library file loads.
  void LoadInterface();

  TDatabaseLite *FindDatabase(const std::string &AName);
  TDatabaseLite *OpenDatabase(const std::string &AName);
  void CloseDatabase(TDatabaseLite *ADatabase);

  bool InterfaceLoaded() const { return FLibraryHandle != nullptr; }
  int InterfaceUseCount() const { return FUseCount; }
  void *LibraryHandle() const { return FLibraryHandle; }
  // The path of the library file that loaded, empty while none is loaded.
  const std::string &LibraryPath() const { return FLibraryPath; }

  // The folder searched first for the library files: the program's own folder unless set.
  std::string LibraryFolder() const;
  void SetLibraryFolder(const std::string &AFolder);

  std::recursive_mutex &Lock() { return FLock; }

protected:
  // Loads the library of this kind of session; overridden with the client library's names.
  virtual void LoadLibraries() = 0;
  // The generic loader: tries the file names in order (after the TESSALY_OCI_LIBRARY override),
  // then resolves each entry name into the table; a name the library lacks leaves its slot null.
  void LoadLibraryList(const std::vector<std::string> &ANames, int AEntryCount, void **ATable,
                       const char *const *AEntryNames);
  void FreeLibrary();
  // Frees the databases still registered; a concrete session calls it before unloading.
  void DestroyDatabases();
  // Tells the concrete session that the library went away, so it forgets its entry points.
  virtual void LibraryFreed() {}

private:
  friend class TDatabaseLite;
  void Register(TDatabaseLite *ADatabase);
  void Unregister(TDatabaseLite *ADatabase);

  std::recursive_mutex FLock;
  void *FLibraryHandle = nullptr;
  std::string FLibraryPath;
  std::int32_t FUseCount = 0;
  std::string FLibraryFolder;
  std::vector<TDatabaseLite *> FDatabases;
};

// ---- Database --------------------------------------------------------------------------------

using TLoginEvent = TEvent<TDatabaseLite * /*aDatabase*/, bool /*aBefore*/>;

// Whether a transaction is open after a statement ran, given whether one was open before: data
// changed by INSERT, UPDATE or DELETE (rows processed), MERGE, LOCK TABLE, EXPLAIN PLAN or a
// PL/SQL block or call (which may have changed anything) opens one; COMMIT and ROLLBACK (not a
// ROLLBACK TO a savepoint) end it, as does any DDL, which commits; queries, SAVEPOINT, SET
// TRANSACTION, SET ROLE and ALTER SESSION leave it as it was.
bool TransactionOpenAfter(bool AOpen, int AFunctionCode, std::int64_t ARowsProcessed,
                          std::string_view AText);

// One logon to a server: connect parameters, connected state, logon events, attached data sets.
class TDatabaseLite : public TComponent {
public:
  explicit TDatabaseLite(QObject *AOwner = nullptr);
  ~TDatabaseLite() override;

  std::int32_t UseCount() const { return FUseCount; }
  bool Connected() const { return FConnected; }
  void SetConnected(bool AValue);

  const TStringList &Params() const { return FParams; }
  void SetParams(const TStringList &AValue);

  std::string User() const;
  void SetUser(const std::string &AValue);
  std::string Password() const;
  void SetPassword(const std::string &AValue);
  std::string Server() const;
  void SetServer(const std::string &AValue);

  const std::string &DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string &AValue);

  bool KeepConnected() const { return FKeepConnected; }
  void SetKeepConnected(bool AValue) { FKeepConnected = AValue; }

  TLoginEvent OnLogin;
  TLoginEvent OnLogoff;

  void Login();
  // Closes every attached data set and logs off. A raising OnLogoff handler does not stop it:
  // its exception reaches the caller after the database is Idle with nothing attached.
  void Logoff();

  virtual TSession &GetSession() = 0;
  // Both end the transaction, so the session holds nothing uncommitted afterwards.
  virtual void Commit() = 0;
  virtual void Rollback() = 0;

  // Whether the session may hold uncommitted changes. The server is not asked: the program
  // notes each statement it runs for the user (NoteStatement), and a commit, a rollback and a
  // new logon end it. Read from any thread.
  bool InTransaction() const { return FInTransaction; }
  // After a user's statement succeeded: its SQL function code, the rows it processed and its
  // text decide (TransactionOpenAfter).
  void NoteStatement(int AFunctionCode, std::int64_t ARowsProcessed, const std::string &AText);
  void SetInTransaction(bool AValue);
  // Raised when InTransaction changes, on the thread that changed it.
  TNotifyEvent OnTransactionChanged;
  // Lists stored procedures; databases that cannot list them leave the list alone.
  virtual void GetProcedureList(TStringList &AStrings, const std::string &APackageName, int AKind) {
    (void)AStrings;
    (void)APackageName;
    (void)AKind;
  }

  // The data sets attached (prepared) on this database; not owned.
  const std::vector<TDataSetLite *> &DataSets() const { return FDataSets; }
  void AttachDataSet(TDataSetLite *ADataSet);
  void DetachDataSet(TDataSetLite *ADataSet);

  // Serialises logon, logoff, prepare and execute; re-entrant for the thread holding it.
  std::recursive_mutex &Lock() const { return FLock; }

protected:
  // Called by the concrete class's constructor and destructor, which know their session.
  void RegisterWithSession();
  void UnregisterFromSession();
  virtual void DoConnect(const std::string &AUser, const std::string &APassword,
                         const std::string &AServer);
  virtual void DoDisconnect();

private:
  friend class TSession;
  // Closes the attached data sets, last first; one that fails to detach is made to forget
  // this database, so none keeps a reference to it.
  void CloseDataSets();

  // Read without the lock by other threads (a break from the GUI, a query deciding whether to
  // detach); changed only under it.
  std::atomic<std::int32_t> FUseCount = 0;
  std::atomic<bool> FConnected = false;
  std::atomic<bool> FInTransaction = false;
  TStringList FParams{"User=", "Password=", "Server="};
  std::vector<TDataSetLite *> FDataSets;
  std::string FDatabaseName;
  bool FKeepConnected = true;
  mutable std::recursive_mutex FLock;
};

// The data sets (parameters, fields, queries) complete this unit.
#include "db/SqlApiQuery.h"
