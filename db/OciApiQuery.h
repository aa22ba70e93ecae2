// Queries over OCI 7 cursors and the OCI form of parameter objects.
#pragma once

#include "db/OciApi.h"
#include "db/SqlApiQuery.h"

class TStringList;

// A query with an OCI cursor behind it.
class TOracleQueryLite : public TQueryLite {
public:
  explicit TOracleQueryLite(QObject *AOwner = nullptr);
  ~TOracleQueryLite() override;

  TOracleCursor &Cursor() { return FCursor; }
  // The server opened this cursor (a cursor-type parameter): it is never opened, parsed or
  // closed here.
  bool ExternalCursor() const { return FExternalCursor; }
  void SetExternalCursor(bool AValue) { FExternalCursor = AValue; }
  bool DeferParse() const { return FDeferParse; }
  void SetDeferParse(bool AValue) { FDeferParse = AValue; }

  std::uint16_t FunctionCode() const override { return FCursor.FunctionCode(); }
  std::uint8_t WarningFlags() const { return FCursor.WarningFlags(); }
  std::uint16_t ParseErrorOffset() const { return FCursor.ParseErrorOffset(); }

  void Open() { ExecuteFetch(FFields->Dimension(), false); }
  void FetchFirstColumn(TStringList &AStrings);

  void BindParams(TParams &AList) override;
  void DescribeFields(TParams &AList) override;

protected:
  friend class TOracleParam;
  void CancelFetch() override;
  void DoExecute(std::int32_t AIters, std::int32_t ARowOffset) override;
  void DoFetch(std::int32_t ARows) override;
  void DoExecuteFetch(std::int32_t ARows, bool ACancel) override;
  void OpenCursor() override;
  void CloseCursor() override;
  TSession &GetSession() override;

  TOracleDatabase *OracleDatabase() const;

private:
  // Runs Check unless the return code is the end of the rows.
  void CheckFetch();

  // The field buffers handed to odefin, by their set-up number: the library writes every batch
  // there with the layout it was given, so a fetch may only go on while each field still owns
  // exactly those buffers. The address alone cannot tell: a block freed and set up again often
  // comes back at the same address with a different layout.
  std::vector<std::pair<TParam *, std::uint64_t>> FDefined;
  bool DefinesIntact() const;

  TOracleCursor FCursor;
  bool FExternalCursor = false;
  bool FDeferParse = true;
};

// A parameter as OCI binds it: the OCI type tables, PL/SQL tables and cursor parameters.
class TOracleParam : public TParam {
public:
  TOracleParam(TParams *AParams, const std::string &AName) : TParam(AParams, AName) {}
  ~TOracleParam() override;
  static TParam *Create(TParams *AParams, const std::string &AName) {
    return new TOracleParam(AParams, AName);
  }

  bool DataTable() const { return FDataTable; }
  void SetDataTable(bool AValue);

  // The query of a cursor-type parameter, ready for FetchNext; none when the parameter has not
  // been bound as a cursor.
  TOracleQueryLite *CursorQuery() override;
  // The cursor query object as it stands, without preparing it.
  TOracleQueryLite *CursorQueryObject() const { return FCursorQuery.get(); }

  std::int32_t DefaultItemSize() const override;
  TParamType DataTypeOfDbType(std::int32_t ADbType) const override;
  std::int32_t ExternalType() const override;
  TParamKind KindOfDbKind(std::int32_t ADbKind) const override;
  std::int32_t DbKindOfKind(TParamKind AKind) const override;
  std::int32_t ExtraBufferSize() const override { return 0; }

  static const TClassProperties &Properties();
  const TClassProperties &PublishedProperties() const override { return Properties(); }

private:
  friend class TOracleQueryLite;
  // Creates the cursor query on first use, else ends its fetch and forgets its fields; the
  // server fills its zeroed data area at the execute.
  void PrepareCursorQuery(TOracleDatabase *ADatabase);
  std::int32_t *RowCountPointer() { return RowCountAddress(); }

  bool FDataTable = false;
  std::unique_ptr<TOracleQueryLite> FCursorQuery;
};

// The query component placed on windows.
class TOracleQuery : public TOracleQueryLite {
public:
  using TOracleQueryLite::TOracleQueryLite;

  // DatabaseName, DeferParse, Fields, KeepPrepared, Params, ParseForParams and SQL, as a
  // window description stores them (the two lists through their "D" definition).
  static const TClassProperties &Properties();
};

// The stored procedure component completes this unit.
#include "db/OciApiStoredProc.h"
