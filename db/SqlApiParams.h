// Parameter objects and their lists: bind variables and select-list columns with row buffers
// that the client library reads from and writes into.
#pragma once

#include "classes/Component.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TDataSetLite;
class TParams;
class TStream;

enum TParamType : std::uint8_t {
  oUnknown = 0,
  oVarchar2 = 1,
  oNumber = 2,
  oInteger = 3,
  oDate = 4,
  oRowid = 5,
  oCursor = 6,
  oLong = 7,
  oLongRaw = 8,
  oRaw = 9
};

// oField marks a select-list column; every other kind is bound as a parameter.
enum TParamKind : std::uint8_t { oInput = 0, oInpOut = 1, oOutput = 2, oResult = 3, oField = 4 };

// The names as the component stream writes enumeration values.
extern const char *const ParamTypeNames[10];
extern const char *const ParamKindNames[5];

class TClassProperties;
class TParam;

// Creates an item of a list's item class: (the list, the name).
using TParamClass = TParam *(*)(TParams *AParams, const std::string &AName);

// A bind variable or a select-list column. Every buffer holds Dimension rows: the rows of one
// fetch batch, the iterations of an array execute, or the elements of a PL/SQL table.
class TParam : public TComponent {
public:
  // Appends itself to AParams when given.
  TParam(TParams *AParams, const std::string &AName);
  ~TParam() override;

  TParams *ParamList() const { return FParams; }

  const std::string &ParamName() const { return FParamName; }
  void SetParamName(const std::string &AValue);
  std::int32_t Pos() const { return FPos; }
  void SetPos(std::int32_t AValue);
  std::int32_t Index() const { return FIndex; }
  void SetIndex(std::int32_t AValue);
  std::int32_t RowCount() const { return FRowCount; }
  void SetRowCount(std::int32_t AValue);
  std::int32_t ItemSize() const { return FItemSize; }
  void SetItemSize(std::int32_t AValue);
  std::int32_t Dimension() const { return FDimension; }
  void SetDimension(std::int32_t AValue);
  bool HaveDefault() const { return FHaveDefault; }
  void SetHaveDefault(bool AValue) { FHaveDefault = AValue; }
  bool NullOk() const { return FNullOk; }
  void SetNullOk(bool AValue) { FNullOk = AValue; }
  std::int32_t DbType() const { return FDbType; }
  void SetDbType(std::int32_t AValue);
  std::int32_t DbKind() const { return FDbKind; }
  void SetDbKind(std::int32_t AValue);
  TParamType DataType() const { return FDataType; }
  void SetDataType(TParamType AValue);
  TParamKind Kind() const { return FKind; }
  void SetKind(TParamKind AValue) { FKind = AValue; }

  std::string AsString();
  void SetAsString(const std::string &AValue);
  std::int32_t AsInteger();
  void SetAsInteger(std::int32_t AValue);

  // Row accessors; each sets up the buffers first when they are not set up. A row outside
  // 0..Dimension-1 raises the same warning as an Index write out of range.
  // The fetch loops of windows call these per cell: the common case stays inline.
  // The check comes first in each: it may set the buffers up.
  std::uint8_t *RowData(std::int32_t ARow) {
    const std::int64_t Row = Checked(ARow);
    return FData.get() + Row * FItemSize;
  }
  std::uint16_t RowLength(std::int32_t ARow) {
    const std::int32_t Row = Checked(ARow);
    return FLengths[Row];
  }
  std::int16_t RowIndicator(std::int32_t ARow) {
    const std::int32_t Row = Checked(ARow);
    return FIndicators[Row];
  }
  std::uint16_t RowReturnCode(std::int32_t ARow) {
    const std::int32_t Row = Checked(ARow);
    return FReturnCodes[Row];
  }
  void SetRowLength(std::int32_t ARow, std::int32_t ALength);
  std::string RowAsString(std::int32_t ARow);
  void SetRowAsString(std::int32_t ARow, const std::string &AText);
  bool RowIsNull(std::int32_t ARow) { return RowIndicator(ARow) == -1; }

  // The three arrays and the rows as the client library receives them (null while the buffers
  // are not set up).
  std::uint8_t *DataArea() const { return FData.get(); }
  std::uint16_t *LengthArray() const { return FLengths; }
  std::int16_t *IndicatorArray() const { return FIndicators; }
  std::uint16_t *ReturnCodeArray() const { return FReturnCodes; }
  std::uint8_t *ExtraArea() const { return FExtra.get(); }
  bool BuffersReady() const { return FDirect; }
  // Which set-up of the buffers this is: a number no other set-up of any parameter had, 0
  // while there are none. A new block at the freed block's address still gets a new number,
  // so whoever handed the buffers to the library can tell they are no longer those.
  std::uint64_t BufferGeneration() const { return FBufferGeneration; }

  virtual TDataSetLite *CursorQuery();
  virtual std::int32_t ReadRow(std::int32_t ARow, void *ADest, std::int32_t AMaxLen);
  virtual std::int32_t WriteRow(std::int32_t ARow, const void *ASrc, std::int32_t ALen);
  virtual std::int32_t DefaultItemSize() const = 0;
  virtual TParamType DataTypeOfDbType(std::int32_t ADbType) const = 0;
  virtual std::int32_t ExternalType() const = 0;
  virtual TParamKind KindOfDbKind(std::int32_t ADbKind) const = 0;
  virtual std::int32_t DbKindOfKind(TParamKind AKind) const = 0;
  virtual std::int32_t ExtraBufferSize() const = 0;
  virtual void AllocateBuffer(bool AOn);
  virtual void CopyRows(TParam &ASource);

  // Copies a parameter's description and values; any other kind of source is ignored.
  virtual void Assign(TParam &ASource);
  void ClearValue();

  // The published properties of the item class, in stream order, as the component stream
  // writes and reads an item.
  static const TClassProperties &Properties();
  virtual const TClassProperties &PublishedProperties() const { return Properties(); }

protected:
  // Sets up the buffers when needed and refuses a row outside them; returns the row.
  std::int32_t CheckedRow(std::int32_t ARow);
  std::int32_t Checked(std::int32_t ARow) {
    return FDirect && static_cast<std::uint32_t>(ARow) < static_cast<std::uint32_t>(FDimension)
               ? ARow
               : CheckedRow(ARow);
  }
  void EnsureBuffers() {
    if (!FDirect)
      AllocateBuffer(true);
  }

private:
  friend class TParams;
  void FreeAreas();

  TParams *FParams = nullptr;
  std::string FParamName;
  std::int32_t FPos = -1;
  std::int32_t FIndex = 0;
  std::int32_t FRowCount = 0;
  std::int32_t FItemSize = 0;
  std::int32_t FDimension = 1;
  bool FHaveDefault = false;
  bool FNullOk = false;
  std::int32_t FDbType = 0;
  std::int32_t FDbKind = 0;
  TParamType FDataType = oUnknown;
  TParamKind FKind = oInput;

  std::unique_ptr<std::uint8_t[]> FData;
  std::unique_ptr<std::uint8_t[]> FExtra;
  std::uint16_t *FLengths = nullptr;
  std::int16_t *FIndicators = nullptr;
  std::uint16_t *FReturnCodes = nullptr;
  std::int64_t FAllocatedSize = 0;
  std::int32_t FAllocatedDimension = -1;
  std::uint64_t FBufferGeneration = 0;
  // Direct mode: the buffers are set up and the accessors may use them as they are.
  bool FDirect = false;

protected:
  // The row count the client library writes for a PL/SQL table bind.
  std::int32_t *RowCountAddress() { return &FRowCount; }
};

// An ordered list of parameters that owns its items.
class TParams {
public:
  TParams(TDataSetLite *ADataSet, TParamClass AItemClass);
  virtual ~TParams();
  TParams(const TParams &) = delete;
  TParams &operator=(const TParams &) = delete;

  TDataSetLite *DataSet() const { return FDataSet; }
  TParamClass ItemClass() const { return FItemClass; }

  int Count() const { return static_cast<int>(FItems.size()); }
  TParam *Items(int AIndex) const { return FItems.at(static_cast<size_t>(AIndex)); }
  TParam *FindParam(const std::string &AName) const;

  virtual TParam *Add(const std::string &AName);
  void Clear();
  void ClearValues();

  std::int32_t Dimension() const { return FDimension; }
  virtual void SetDimension(std::int32_t AValue);

  bool NeedsRefresh() const { return FNeedsRefresh; }
  void SetNeedsRefresh(bool AValue) { FNeedsRefresh = AValue; }

  virtual void Assign(const TParams &ASource);
  void AssignValues(const TParams *ASource);

  // The stream definition "D": a 32-bit item count, then each item as a component record of
  // its class. Reading replaces the items and marks the list as not needing a refresh, so a
  // list stored with its window survives loading untouched.
  void WriteData(TStream &AStream) const;
  void ReadData(TStream &AStream);
  // The published description: Dimension (default 0), then the binary property "D", written
  // only when there are items.
  static const TClassProperties &Properties();

protected:
  // Gives a new item what this kind of list gives every item it adds.
  virtual void ItemAdded(TParam *AItem) { (void)AItem; }
  // A new item of the item class with the list's dimension, named AName.
  TParam *NewItem(const std::string &AName);

private:
  friend class TParam;
  TDataSetLite *FDataSet;
  TParamClass FItemClass;
  std::vector<TParam *> FItems;
  std::int32_t FDimension = 0;
  bool FNeedsRefresh = true;
};

// The select list of a query: every item is a field, the dimension never drops below 1.
class TFields : public TParams {
public:
  TFields(TDataSetLite *ADataSet, TParamClass AItemClass);
  TParam *Add(const std::string &AName) override;
  void SetDimension(std::int32_t AValue) override;

protected:
  void ItemAdded(TParam *AItem) override;
};
