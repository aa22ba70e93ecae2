// Loading the OCI 7 client library, the cursor check, and logon through OCI.
#include "db/OciApi.h"

#include <vector>

const char *const OciEntryNames[ociEntryCount] = {
    "olog",   "ologof", "oerhms", "ocom", "orol", "oopen", "oclose", "oparse", "obndra", "odefin",
    "odescr", "odessp", "oexfet", "ofen", "oexn", "ocan",  "obreak", "oopt",   "opinit"};

TOciEntries OciEntries;
TOracleSession Session;

void TOracleCursor::Check() {
  const std::uint16_t Code = ReturnCode();
  if (Code == 0)
    return;
  std::vector<char> Buffer(1024, 0);
  if (FOwner && OciEntries.Has(ociOerhms))
    OciEntries.oerhms()(FOwner->LogonCursor().Data(), static_cast<sb2>(Code),
                        reinterpret_cast<text *>(Buffer.data()), 1024);
  Buffer.back() = 0;
  RaiseDatabaseError(FOwner, Code, Buffer.data());
}

TOracleSession::TOracleSession(TOciEntries *AEntries)
    : FEntries(AEntries ? AEntries : &OciEntries) {}

TOracleSession::~TOracleSession() {
  DestroyDatabases();
  FreeLibrary();
}

void TOracleSession::LoadLibraries() {
  static const std::vector<std::string> Names = {"ora73.dll", "ora72.dll", "orant71.dll",
                                                 "ora74.dll"};
  try {
    LoadLibraryList(Names, ociEntryCount, FEntries->Slots(), OciEntryNames);
  } catch (...) {
    FEntries->Clear();
    throw;
  }
  if (FEntries->Has(ociOpinit))
    FEntries->opinit()(1);
}

TOracleDatabase::TOracleDatabase(QObject *AOwner) : TDatabaseLite(AOwner) {
  FLogonCursor.SetOwner(this);
  RegisterWithSession();
}

TOracleDatabase::~TOracleDatabase() {
  try {
    Logoff();
  } catch (...) {
    // a logoff handler's complaint cannot stop the component going away
  }
  UnregisterFromSession();
}

std::string TOracleDatabase::ConnectText(const std::string &AUser, const std::string &APassword,
                                         const std::string &AServer) {
  std::string Text = AUser;
  if (!APassword.empty())
    Text += "/" + APassword;
  return Text + "@" + AServer;
}

void TOracleDatabase::DoConnect(const std::string &AUser, const std::string &APassword,
                                const std::string &AServer) {
  TDatabaseLite::DoConnect(AUser, APassword, AServer);
  std::string Text = ConnectText(AUser, APassword, AServer);
  FLogonCursor.Clear();
  OciEntries.olog()(FLogonCursor.Data(), FHostDataArea.data(),
                    reinterpret_cast<text *>(Text.data()), -1, nullptr, 0, nullptr, 0, 0);
  FLogonCursor.Check();
}

void TOracleDatabase::DoDisconnect() {
  struct TRelease {
    TOracleDatabase *Database;
    ~TRelease() { Database->TDatabaseLite::DoDisconnect(); }
  } Release{this};
  OciEntries.ologof()(FLogonCursor.Data());
  FLogonCursor.Check();
}

void TOracleDatabase::Commit() {
  OciEntries.ocom()(FLogonCursor.Data());
  FLogonCursor.Check();
  SetInTransaction(false);
}

void TOracleDatabase::Break() {
  // The return code is not checked: a break that finds no call running is no failure.
  if (Connected() && OciEntries.Has(ociObreak))
    OciEntries.obreak()(FLogonCursor.Data());
}

void TOracleDatabase::Rollback() {
  OciEntries.orol()(FLogonCursor.Data());
  FLogonCursor.Check();
  SetInTransaction(false);
}
