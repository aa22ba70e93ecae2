// The OCI classes: the entry table of the client library, cursors (data areas), the session and
// the database component that logs on through OCI 7.
#pragma once

#include "db/OciCalls.h"
#include "db/SqlApi.h"

#include <array>
#include <cstring>

// The 19 entry points, resolved by name in this order; a slot the library lacks stays null.
enum TOciEntry {
  ociOlog,
  ociOlogof,
  ociOerhms,
  ociOcom,
  ociOrol,
  ociOopen,
  ociOclose,
  ociOparse,
  ociObndra,
  ociOdefin,
  ociOdescr,
  ociOdessp,
  ociOexfet,
  ociOfen,
  ociOexn,
  ociOcan,
  ociObreak,
  ociOopt,
  ociOpinit,
  ociEntryCount
};
extern const char *const OciEntryNames[ociEntryCount];

// The resolved table. Calling a slot that stayed empty raises EDbInterface instead of jumping
// through a null pointer.
class TOciEntries {
public:
  void **Slots() { return FSlots.data(); }
  bool Has(TOciEntry AEntry) const { return FSlots[AEntry] != nullptr; }
  void Clear() { FSlots.fill(nullptr); }

  olog_t olog() const { return Get<olog_t>(ociOlog); }
  ologof_t ologof() const { return Get<ologof_t>(ociOlogof); }
  oerhms_t oerhms() const { return Get<oerhms_t>(ociOerhms); }
  ocom_t ocom() const { return Get<ocom_t>(ociOcom); }
  orol_t orol() const { return Get<orol_t>(ociOrol); }
  oopen_t oopen() const { return Get<oopen_t>(ociOopen); }
  oclose_t oclose() const { return Get<oclose_t>(ociOclose); }
  oparse_t oparse() const { return Get<oparse_t>(ociOparse); }
  obndra_t obndra() const { return Get<obndra_t>(ociObndra); }
  odefin_t odefin() const { return Get<odefin_t>(ociOdefin); }
  odescr_t odescr() const { return Get<odescr_t>(ociOdescr); }
  odessp_t odessp() const { return Get<odessp_t>(ociOdessp); }
  oexfet_t oexfet() const { return Get<oexfet_t>(ociOexfet); }
  ofen_t ofen() const { return Get<ofen_t>(ociOfen); }
  oexn_t oexn() const { return Get<oexn_t>(ociOexn); }
  ocan_t ocan() const { return Get<ocan_t>(ociOcan); }
  obreak_t obreak() const { return Get<obreak_t>(ociObreak); }
  opinit_t opinit() const { return Get<opinit_t>(ociOpinit); }

private:
  template <typename F> F Get(TOciEntry AEntry) const {
    if (!FSlots[AEntry])
      RaiseInterfaceError(MakeErrorCode(1, facSession, 50000),
                          std::string("Entry point ") + OciEntryNames[AEntry] + " missing.");
    return reinterpret_cast<F>(FSlots[AEntry]);
  }
  std::array<void *, ociEntryCount> FSlots{};
};

// The table of the loaded client library (empty while none is loaded).
extern TOciEntries OciEntries;

class TOracleDatabase;

// One OCI data area (64 bytes, zero-filled at creation) and the database whose connection it
// uses. Serves as a query's cursor data area and as a database's logon data area.
class TOracleCursor {
public:
  TOracleCursor() { Clear(); }
  TOracleCursor(const TOracleCursor &) = delete;
  TOracleCursor &operator=(const TOracleCursor &) = delete;

  TOracleDatabase *Owner() const { return FOwner; }
  void SetOwner(TOracleDatabase *AOwner) { FOwner = AOwner; }

  Cda_Def *Data() { return &FData; }
  void Clear() { std::memset(&FData, 0, sizeof FData); }

  std::uint16_t FunctionCode() const { return Read<std::uint16_t>(OCI_CDA_FT); }
  std::uint32_t RowsProcessed() const { return Read<std::uint32_t>(OCI_CDA_RPC); }
  std::uint16_t ParseErrorOffset() const { return Read<std::uint16_t>(OCI_CDA_PEO); }
  std::uint16_t ReturnCode() const { return Read<std::uint16_t>(OCI_CDA_RC); }
  std::uint8_t WarningFlags() const { return FData.area[OCI_CDA_WRN]; }

  // Raises EDatabaseError with the library's message when the return code is not 0.
  void Check();

private:
  template <typename T> T Read(int AOffset) const {
    T Value;
    std::memcpy(&Value, FData.area + AOffset, sizeof Value);
    return Value;
  }
  Cda_Def FData;
  TOracleDatabase *FOwner = nullptr;
};

class TOracleSession : public TSession {
public:
  // The program's session fills the global table; a test may give a session a table of its own.
  explicit TOracleSession(TOciEntries *AEntries = nullptr);
  ~TOracleSession() override;
  TOciEntries &Entries() { return *FEntries; }

protected:
  void LoadLibraries() override;
  void LibraryFreed() override { FEntries->Clear(); }

private:
  TOciEntries *FEntries;
};

// The one session of the program; created before any window, freed after all of them.
extern TOracleSession Session;

// A database component that logs on through OCI 7.
class TOracleDatabase : public TDatabaseLite {
public:
  explicit TOracleDatabase(QObject *AOwner = nullptr);
  ~TOracleDatabase() override;

  TOracleCursor &LogonCursor() { return FLogonCursor; }
  ub1 *HostDataArea() { return FHostDataArea.data(); }

  TSession &GetSession() override { return Session; }
  void Commit() override;
  void Rollback() override;
  // Kind 0 procedures and functions, 101 packages, 102 the members of APackageName as
  // "PACKAGE.MEMBER", 103 all of these; any other kind leaves AStrings empty.
  void GetProcedureList(TStringList &AStrings, const std::string &APackageName, int AKind) override;
  // Asks the server to abort the call running on this connection (from any thread, without the
  // database's lock, which that call holds); the call then fails with ORA-01013. Does nothing
  // while not connected or when the library has no obreak.
  void Break();

  // User, then "/" and the password when there is one, then "@" and the server.
  static std::string ConnectText(const std::string &AUser, const std::string &APassword,
                                 const std::string &AServer);

protected:
  void DoConnect(const std::string &AUser, const std::string &APassword,
                 const std::string &AServer) override;
  void DoDisconnect() override;

private:
  TOracleCursor FLogonCursor;
  std::array<ub1, OCI_HDA_SIZE> FHostDataArea{};
};

// Queries and the OCI form of parameters complete this unit.
#include "db/OciApiQuery.h"
