// Queries over OCI 7 cursors: open and parse, describe, bind and define, execute and fetch; and
// the OCI type tables of parameter objects.
#include "db/OciApiQuery.h"

#include "classes/ComponentStream.h"
#include "classes/StringList.h"
#include "db/OciApiProperties.h"

#include <algorithm>
#include <cstring>

// ---- TOracleParam ----------------------------------------------------------------------------

TOracleParam::~TOracleParam() = default;

void TOracleParam::SetDataTable(bool AValue) {
  if (AValue == FDataTable)
    return;
  FDataTable = AValue;
  // Item size and external type follow the table rules from now on.
  AllocateBuffer(false);
}

std::int32_t TOracleParam::DefaultItemSize() const {
  if (FDataTable)
    return DataType() == oVarchar2 ? 2000 : DataType() == oInteger ? 4 : 0;
  switch (DataType()) {
  case oVarchar2:
    return 2000;
  case oNumber:
    return 40;
  case oInteger:
    return 4;
  case oDate:
    return 12;
  case oCursor:
    return 4;
  case oLong:
  case oLongRaw:
    return 4096;
  case oRaw:
    return 256;
  default:
    return 0; // oUnknown, oRowid
  }
}

std::int32_t TOracleParam::ExternalType() const {
  if (FDataTable) {
    if (DataType() == oVarchar2)
      return OCI_EXT_VARCHAR2;
    if (DataType() == oNumber || DataType() == oInteger)
      return OCI_EXT_INTEGER;
    // Other element types have no table rule; they travel as plain values do.
  }
  switch (DataType()) {
  case oUnknown:
    RaiseInterfaceError(MakeErrorCode(1, facParam, 50007), "Datatype");
  case oInteger:
    return OCI_EXT_INTEGER;
  case oCursor:
    return OCI_EXT_CURSOR;
  case oLongRaw:
    return OCI_EXT_LONG_RAW;
  case oRaw:
    return OCI_EXT_RAW;
  default:
    return OCI_EXT_VARCHAR2; // character data, numbers, dates, rowids and longs travel as text
  }
}

TParamType TOracleParam::DataTypeOfDbType(std::int32_t ADbType) const {
  if (FDataTable)
    return (ADbType == 1 || ADbType == 96)  ? oVarchar2
           : (ADbType == 2 || ADbType == 3) ? oInteger
                                            : oUnknown;
  switch (ADbType) {
  case 1:
  case 96:  // CHAR, as Oracle also describes every string literal: text, its blanks as sent
  case 187: // TIMESTAMP, WITH TIME ZONE, INTERVAL YEAR TO MONTH, DAY TO SECOND, WITH LOCAL
  case 188: // TIME ZONE: the server's text of them, in the session's formats
  case 189:
  case 190:
  case 232:
    return oVarchar2;
  case 2:
    return oNumber;
  case 3:
    return oInteger;
  case 8:
    return oLong;
  case 11:
    return oRowid;
  case 12:
    return oDate;
  case 23:
    return oRaw;
  case 24:
  case 113: // BLOB: its bytes, as a LONG RAW's
    return oLongRaw;
  case 112: // CLOB and NCLOB: their text, as a LONG's
    return oLong;
  case 102:
    return oCursor;
  default:
    return oUnknown;
  }
}

TParamKind TOracleParam::KindOfDbKind(std::int32_t ADbKind) const {
  return ADbKind == 1 ? oOutput : ADbKind == 2 ? oInpOut : oInput;
}

std::int32_t TOracleParam::DbKindOfKind(TParamKind AKind) const {
  return AKind == oInpOut ? 2 : AKind == oOutput ? 1 : 0;
}

void DescribeParamProperties(TClassProperties &AClass);

// The item properties of TParam, with DbType and DbKind not stored, and DataTable.
const TClassProperties &TOracleParam::Properties() {
  static const TClassProperties Description = [] {
    TClassProperties Class("TOracleParam");
    DescribeParamProperties(Class);
    for (const char *Name : {"DbType", "DbKind"})
      const_cast<TPropertyInfo *>(Class.Find(Name))->Stored = false;
    TClassProperties::Of<TOracleParam>(Class).Boolean("DataTable", &TOracleParam::DataTable,
                                                      &TOracleParam::SetDataTable, false);
    return Class;
  }();
  return Description;
}

void TOracleParam::PrepareCursorQuery(TOracleDatabase *ADatabase) {
  if (!FCursorQuery) {
    FCursorQuery = std::make_unique<TOracleQueryLite>();
    FCursorQuery->Fields().SetDimension(100);
    FCursorQuery->SetExternalCursor(true);
  } else {
    FCursorQuery->EndFetch();
    FCursorQuery->Fields().Clear();
    FCursorQuery->Fields().SetNeedsRefresh(true);
    FCursorQuery->Cursor().Clear();
  }
  FCursorQuery->Cursor().SetOwner(ADatabase);
}

TOracleQueryLite *TOracleParam::CursorQuery() {
  TOracleQueryLite *Query = FCursorQuery.get();
  if (!Query || Query->Fields().Count() > 0)
    return Query;
  // The server opened and executed this cursor; describe its select list and define it.
  const std::uint16_t Select = 4;
  std::memcpy(Query->Cursor().Data()->area + OCI_CDA_FT, &Select, sizeof Select);
  Query->FState = TDataSetState::Prepared;
  Query->Params().Clear();
  Query->RefreshFields();
  Query->BindParams(Query->Fields());
  Query->FState = TDataSetState::Fetching;
  std::memset(Query->Cursor().Data()->area + OCI_CDA_RPC, 0, 4);
  return Query;
}

// ---- TOracleQueryLite ------------------------------------------------------------------------

TOracleQueryLite::TOracleQueryLite(QObject *AOwner) : TQueryLite(AOwner, &TOracleParam::Create) {}

TOracleQueryLite::~TOracleQueryLite() {
  try {
    Close();
  } catch (...) {
    // a cursor the library will not close cannot keep the query alive
  }
}

TSession &TOracleQueryLite::GetSession() { return Session; }

TOracleDatabase *TOracleQueryLite::OracleDatabase() const {
  return dynamic_cast<TOracleDatabase *>(FDatabase);
}

void TOracleQueryLite::CheckFetch() {
  if (FCursor.ReturnCode() != OCI_NO_DATA_FOUND)
    FCursor.Check();
}

void TOracleQueryLite::OpenCursor() {
  if (TOracleDatabase *Database = OracleDatabase())
    FCursor.SetOwner(Database);
  if (FExternalCursor)
    return;
  try {
    if (FState == TDataSetState::Closed) {
      TOracleDatabase *Database = FCursor.Owner();
      if (!Database)
        RaiseInterfaceError(MakeErrorCode(1, facSession, 50000), FDatabaseName);
      OciEntries.oopen()(FCursor.Data(), Database->LogonCursor().Data(), nullptr, 0, 0, nullptr, 0);
      FCursor.Check();
    }
    std::string Text;
    GetSQL(Text);
    OciEntries.oparse()(FCursor.Data(), reinterpret_cast<text *>(Text.data()),
                        static_cast<sb4>(Text.size()), FDeferParse ? 1 : 0, 2);
    FCursor.Check();
  } catch (...) {
    // The caller wants the failure as the server described it (return code, parse error
    // offset, function code), not whatever closing the cursor leaves in the data area.
    ub1 Members[OCI_CDA_PRIVATE];
    std::memcpy(Members, FCursor.Data()->area, sizeof Members);
    try {
      OciEntries.oclose()(FCursor.Data());
    } catch (...) {
    }
    std::memcpy(FCursor.Data()->area, Members, sizeof Members);
    throw;
  }
}

void TOracleQueryLite::CloseCursor() {
  if (FState == TDataSetState::Closed || FExternalCursor)
    return;
  OciEntries.oclose()(FCursor.Data());
  FCursor.Check();
}

void TOracleQueryLite::DescribeFields(TParams &AList) {
  SetPrepared(true);
  AList.Clear();
  for (sword Position = 1; Position <= 256; ++Position) {
    sb4 DbSize = 0, NameLength = 31, DisplaySize = 0;
    sb2 DbType = 0, Precision = 0, Scale = 0, NullOk = 0;
    sb1 Name[32] = {};
    OciEntries.odescr()(FCursor.Data(), Position, &DbSize, &DbType, Name, &NameLength, &DisplaySize,
                        &Precision, &Scale, &NullOk);
    if (FCursor.ReturnCode() == OCI_VAR_NOT_IN_SELECT_LIST)
      break;
    FCursor.Check();
    std::string ColumnName(reinterpret_cast<const char *>(Name),
                           static_cast<size_t>(std::clamp<sb4>(NameLength, 0, 31)));
    // Two columns of one name (SELECT 1, 1 ...) must stay two fields; the later one gets the
    // position appended.
    std::string FieldName = ColumnName;
    for (int Suffix = Position; AList.FindParam(FieldName); ++Suffix)
      FieldName = ColumnName + "_" + std::to_string(Suffix);
    TParam *Item = AList.Add(FieldName);
    Item->SetDbType(DbType);
    Item->SetItemSize(std::clamp<sb4>(DisplaySize, 0, 65535));
    Item->SetNullOk(NullOk != 0);
    Item->SetPos(Position);
  }
}

bool TOracleQueryLite::DefinesIntact() const {
  if (static_cast<int>(FDefined.size()) != FFields->Count())
    return false;
  for (int i = 0; i < FFields->Count(); ++i) {
    TParam *Field = FFields->Items(i);
    if (FDefined[i].first != Field || FDefined[i].second != Field->BufferGeneration() ||
        !Field->BuffersReady())
      return false;
  }
  return true;
}

void TOracleQueryLite::BindParams(TParams &AList) {
  if (&AList == FFields.get())
    FDefined.clear();
  for (int i = 0; i < AList.Count(); ++i) {
    auto *Item = static_cast<TOracleParam *>(AList.Items(i));
    if (!Item->BuffersReady())
      Item->AllocateBuffer(true);
    std::string Name = Item->ParamName();
    text *NameText = reinterpret_cast<text *>(Name.data());
    if (Item->Kind() == oField) {
      OciEntries.odefin()(FCursor.Data(), Item->Pos(), Item->DataArea(), Item->ItemSize(),
                          Item->ExternalType(), -1, Item->IndicatorArray(), nullptr, -1, -1,
                          Item->LengthArray(), Item->ReturnCodeArray());
      if (&AList == FFields.get())
        FDefined.emplace_back(Item, Item->BufferGeneration());
    } else if (Item->DataTable()) {
      // The server writes the number of elements into RowCount; never more than Dimension.
      OciEntries.obndra()(FCursor.Data(), NameText, -1, Item->DataArea(), Item->ItemSize(),
                          Item->ExternalType(), -1, Item->IndicatorArray(), Item->LengthArray(),
                          Item->ReturnCodeArray(), static_cast<ub4>(Item->Dimension()),
                          reinterpret_cast<ub4 *>(Item->RowCountPointer()), nullptr, 0, 0);
    } else if (Item->DataType() == oCursor) {
      Item->PrepareCursorQuery(FCursor.Owner());
      OciEntries.obndra()(FCursor.Data(), NameText, -1, Item->FCursorQuery->Cursor().Data()->area,
                          -1, OCI_EXT_CURSOR, -1, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0,
                          0);
    } else {
      OciEntries.obndra()(FCursor.Data(), NameText, -1, Item->DataArea(), Item->ItemSize(),
                          Item->ExternalType(), -1, Item->IndicatorArray(), Item->LengthArray(),
                          Item->ReturnCodeArray(), 0, nullptr, nullptr, 0, 0);
    }
    FCursor.Check();
  }
}

void TOracleQueryLite::CancelFetch() {
  OciEntries.ocan()(FCursor.Data());
  FCursor.Check();
}

void TOracleQueryLite::DoExecute(std::int32_t AIters, std::int32_t ARowOffset) {
  FRowsProcessed = 0;
  struct TAfter {
    TOracleQueryLite *Query;
    ~TAfter() {
      Query->FRowsProcessed = static_cast<std::int32_t>(Query->FCursor.RowsProcessed());
      TParams &List = *Query->FParams;
      for (int i = 0; i < List.Count(); ++i) {
        auto *Item = static_cast<TOracleParam *>(List.Items(i));
        if (Item->Kind() != oInput && !Item->DataTable())
          Item->SetRowCount(Query->FRowsProcessed);
      }
    }
  } After{this};
  OciEntries.oexn()(FCursor.Data(), AIters, ARowOffset);
  FCursor.Check();
}

void TOracleQueryLite::DoFetch(std::int32_t ARows) {
  if (!DefinesIntact()) {
    // The fields were reshaped or replaced since they were defined; the next batch would be
    // written into memory they no longer own.
    EndFetch();
    RaiseInterfaceError(MakeErrorCode(1, facQuery, 50011), "Fields changed");
  }
  const std::uint32_t Before = FCursor.RowsProcessed();
  OciEntries.ofen()(FCursor.Data(), ARows);
  FRowsProcessed = static_cast<std::int32_t>(FCursor.RowsProcessed() - Before);
  for (int i = 0; i < FFields->Count(); ++i)
    FFields->Items(i)->SetRowCount(FRowsProcessed);
  CheckFetch();
}

void TOracleQueryLite::DoExecuteFetch(std::int32_t ARows, bool ACancel) {
  // A failed execute must not look like a full first batch.
  FRowsProcessed = 0;
  OciEntries.oexfet()(FCursor.Data(), static_cast<ub4>(ARows), ACancel ? 1 : 0, 0);
  CheckFetch();
  FRowsProcessed = static_cast<std::int32_t>(FCursor.RowsProcessed());
  for (int i = 0; i < FFields->Count(); ++i)
    FFields->Items(i)->SetRowCount(FRowsProcessed);
}

void TOracleQueryLite::FetchFirstColumn(TStringList &AStrings) {
  Open();
  if (FFields->Count() == 0) {
    EndFetch();
    return;
  }
  while (FRowsProcessed > 0) {
    TParam *First = FFields->Items(0);
    for (std::int32_t Row = 0; Row < FRowsProcessed; ++Row)
      AStrings.Add(First->RowAsString(Row));
    if (FState != TDataSetState::Fetching)
      break;
    FetchNext(FFields->Dimension());
  }
}

// ---- TOracleQuery ----------------------------------------------------------------------------

const TClassProperties &TOracleQuery::Properties() {
  static const TClassProperties Description = [] {
    using namespace dataset_properties;
    TClassProperties Class("TOracleQuery");
    Class.Add(Text<TOracleQuery>(
        "DatabaseName", [](const TOracleQuery &Q) { return Q.DatabaseName(); },
        [](TOracleQuery &Q, const std::string &V) { Q.SetDatabaseName(V); }));
    Class.Add(Flag<TOracleQuery>(
        "DeferParse", [](const TOracleQuery &Q) { return Q.DeferParse(); },
        [](TOracleQuery &Q, bool V) { Q.SetDeferParse(V); }));
    Class.Add(
        List<TOracleQuery>("Fields", [](TOracleQuery &Q) -> TParams & { return Q.Fields(); }));
    Class.Add(Flag<TOracleQuery>(
        "KeepPrepared", [](const TOracleQuery &Q) { return Q.KeepPrepared(); },
        [](TOracleQuery &Q, bool V) { Q.SetKeepPrepared(V); }));
    Class.Add(
        List<TOracleQuery>("Params", [](TOracleQuery &Q) -> TParams & { return Q.Params(); }));
    Class.Add(Flag<TOracleQuery>(
        "ParseForParams", [](const TOracleQuery &Q) { return Q.ParseForParams(); },
        [](TOracleQuery &Q, bool V) { Q.SetParseForParams(V); }));
    Class.Add(Text<TOracleQuery>(
        "SQL", [](const TOracleQuery &Q) { return Q.SQL(); },
        [](TOracleQuery &Q, const std::string &V) { Q.SetSQL(V); }));
    return Class;
  }();
  return Description;
}
