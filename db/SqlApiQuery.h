// Data sets and queries independent of the client library: parameter and field lists, the
// state of a statement, attaching to a database, and the execute and fetch operations.
#pragma once

#include "db/SqlApi.h"
#include "db/SqlApiParams.h"

#include <cstdint>
#include <memory>
#include <string>

class TStringList;
class TSession;

enum class TDataSetState : std::uint8_t { Closed = 0, Prepared = 1, Fetching = 2, Executing = 3 };

// An abstract data set: the parameter and field lists, the state, and the database it is
// attached to while prepared.
class TDataSetLite : public TComponent {
public:
  TDataSetLite(QObject *AOwner = nullptr, TParamClass AItemClass = nullptr);
  ~TDataSetLite() override;

  TParams &Params() { return *FParams; }
  void SetParams(const TParams &AValue) { FParams->AssignValues(&AValue); }
  TFields &Fields() { return *FFields; }
  void SetFields(const TParams &AValue) { FFields->AssignValues(&AValue); }
  TParam *ParamByName(const std::string &AName) const { return FParams->FindParam(AName); }
  TParam *FieldByName(const std::string &AName) const { return FFields->FindParam(AName); }

  TDataSetState State() const { return FState; }
  TDatabaseLite *Database() const { return FDatabase; }
  const std::string &DatabaseName() const { return FDatabaseName; }
  void SetDatabaseName(const std::string &AValue);
  bool KeepPrepared() const { return FKeepPrepared; }
  void SetKeepPrepared(bool AValue) { FKeepPrepared = AValue; }
  // Rows handled by the last execute or fetch call; for FetchNext the rows of that batch.
  std::int32_t RowsProcessed() const { return FRowsProcessed; }

  // While the component is read from its form, preparing is put off.
  bool Loading() const { return FLoading; }
  void SetLoading(bool AValue) { FLoading = AValue; }

  // The database is going away while this data set could not detach itself: it forgets the
  // database and counts as Closed (its cursor died with the connection).
  void DatabaseGone(TDatabaseLite *ADatabase);

  bool Prepared() const { return FState != TDataSetState::Closed; }
  void SetPrepared(bool AValue);
  virtual void Prepare();
  virtual void Unprepare();
  void EndFetch();
  virtual void Close();
  void ExecuteArray(std::int32_t AIters, std::int32_t ARowOffset);
  void Execute() { ExecuteArray(1, 0); }
  void ExecuteFetch(std::int32_t ARows, bool ACancelAfter);
  void FetchNext(std::int32_t ARows);

  // The operations a concrete data set provides; here they raise, as abstract methods do.
  virtual void BindParams(TParams &AList);
  virtual void ParseParams(TParams &AList);
  virtual void DescribeFields(TParams &AList);
  virtual void RefreshParams();
  virtual void RefreshFields();

  // The SQL function code of the prepared statement (4 = SELECT); 0 where there is none.
  virtual std::uint16_t FunctionCode() const { return 0; }
  // Whether parameters are looked for in statements that are not SELECTs.
  virtual bool ParseForParams() const { return false; }

protected:
  virtual void CancelFetch();
  virtual void AfterCancelFetch() {}
  virtual void DoExecute(std::int32_t AIters, std::int32_t ARowOffset);
  virtual void DoFetch(std::int32_t ARows);
  virtual void DoExecuteFetch(std::int32_t ARows, bool ACancel);
  virtual void OpenCursor();
  virtual void CloseCursor();
  virtual TSession &GetSession();

  // The rows a fetch may ask for: at least 1, at most the rows the smallest field buffer holds.
  std::int32_t FetchableRows(std::int32_t ARows) const;
  // Raises a clear error when a prepare found no database to attach to.
  void RequirePrepared() const;

  std::unique_ptr<TParams> FParams;
  std::unique_ptr<TFields> FFields;
  TDataSetState FState = TDataSetState::Closed;
  TDatabaseLite *FDatabase = nullptr;
  std::string FDatabaseName;
  bool FKeepPrepared = true;
  std::int32_t FRowsProcessed = 0;
  bool FLoading = false;
};

// A data set with a statement text: scans the text for parameters.
class TQueryLite : public TDataSetLite {
public:
  using TDataSetLite::TDataSetLite;

  bool ParseForParams() const override { return FParseForParams; }
  void SetParseForParams(bool AValue);
  const std::string &SQL() const { return FSQL; }
  virtual void SetSQL(const std::string &AValue);

  void ParseParams(TParams &AList) override;
  virtual void GetSQL(std::string &AText) { AText = FSQL; }
  virtual void SQLChanged();

protected:
  bool FParseForParams = true;
  std::string FSQL;
};
