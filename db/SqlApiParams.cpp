// Parameter objects: one data block per item (rows, lengths, indicators, return codes), the
// text accessors, and the lists that own the items.
#include "db/SqlApiParams.h"

#include "classes/Streams.h"

#include "db/SqlApi.h"

#include "classes/ComponentStream.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <strings.h>

const char *const ParamTypeNames[10] = {"oUnknown", "oVarchar2", "oNumber", "oInteger", "oDate",
                                        "oRowid",   "oCursor",   "oLong",   "oLongRaw", "oRaw"};
const char *const ParamKindNames[5] = {"oInput", "oInpOut", "oOutput", "oResult", "oField"};

namespace {

// Row lengths are 16-bit in the client library's arrays, so no row can be larger.
constexpr std::int32_t MaxItemSize = 65535;
// A data block larger than this is a mistake (a wild Dimension), not a wish; refusing it beats
// taking the machine's memory.
constexpr std::int64_t MaxBlockSize = std::int64_t(256) << 20;

bool SameText(const std::string &A, const std::string &B) {
  return A.size() == B.size() && strcasecmp(A.c_str(), B.c_str()) == 0;
}

// Decimal text to a 32-bit integer: optional blanks around, an optional sign, digits, nothing
// else; anything that is not such a number, or does not fit, gives 0.
std::int32_t TextToInteger(const std::string &AText) {
  size_t i = 0, n = AText.size();
  while (i < n && AText[i] == ' ')
    ++i;
  while (n > i && AText[n - 1] == ' ')
    --n;
  bool Negative = false;
  if (i < n && (AText[i] == '-' || AText[i] == '+'))
    Negative = AText[i++] == '-';
  if (i == n)
    return 0;
  std::int64_t Value = 0;
  for (; i < n; ++i) {
    if (AText[i] < '0' || AText[i] > '9')
      return 0;
    Value = Value * 10 + (AText[i] - '0');
    if (Value > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1)
      return 0;
  }
  if (Negative)
    Value = -Value;
  if (Value > std::numeric_limits<std::int32_t>::max())
    return 0;
  return static_cast<std::int32_t>(Value);
}

} // namespace

// ---- TParam ----------------------------------------------------------------------------------

TParam::TParam(TParams *AParams, const std::string &AName) : TComponent(nullptr) {
  if (AParams) {
    FParams = AParams;
    AParams->FItems.push_back(this);
  }
  try {
    SetParamName(AName);
  } catch (...) {
    if (FParams)
      FParams->FItems.pop_back();
    throw;
  }
}

TParam::~TParam() {
  if (FParams) {
    auto &Items = FParams->FItems;
    Items.erase(std::remove(Items.begin(), Items.end(), this), Items.end());
  }
}

void TParam::SetParamName(const std::string &AValue) {
  if (AValue == FParamName)
    return;
  if (FParams && FParams->FindParam(AValue))
    RaiseInterfaceError(MakeErrorCode(0, facParam, 50001), AValue);
  FParamName = AValue;
}

void TParam::SetPos(std::int32_t AValue) {
  if (AValue == 0 && FParams) {
    auto &Items = FParams->FItems;
    auto It = std::find(Items.begin(), Items.end(), this);
    if (It != Items.end())
      std::rotate(Items.begin(), It, It + 1);
  }
  FPos = AValue;
}

void TParam::SetIndex(std::int32_t AValue) {
  if (AValue >= FDimension)
    RaiseInterfaceError(MakeErrorCode(0, facParam, 50004), FParamName);
  FIndex = AValue;
}

void TParam::SetRowCount(std::int32_t AValue) {
  if (AValue >= 0 && AValue <= FDimension)
    FRowCount = AValue;
}

void TParam::SetItemSize(std::int32_t AValue) {
  if (AValue == FItemSize)
    return;
  FItemSize = AValue;
  AllocateBuffer(false);
}

void TParam::SetDimension(std::int32_t AValue) {
  if (AValue == FDimension)
    return;
  FDimension = AValue;
  AllocateBuffer(false);
}

void TParam::SetDbType(std::int32_t AValue) {
  FDbType = AValue;
  SetDataType(DataTypeOfDbType(AValue));
}

void TParam::SetDbKind(std::int32_t AValue) {
  FDbKind = AValue;
  SetKind(KindOfDbKind(AValue));
}

void TParam::SetDataType(TParamType AValue) {
  if (AValue == FDataType)
    return;
  FDataType = AValue;
  FItemSize = 0;
  AllocateBuffer(false);
}

std::string TParam::AsString() { return RowAsString(FIndex); }

void TParam::SetAsString(const std::string &AValue) {
  if (FDataType == oUnknown)
    SetDataType(oVarchar2);
  SetRowAsString(FIndex, AValue);
}

std::int32_t TParam::AsInteger() { return TextToInteger(RowAsString(FIndex)); }

void TParam::SetAsInteger(std::int32_t AValue) {
  if (FDataType == oUnknown)
    SetDataType(oInteger);
  SetRowAsString(FIndex, std::to_string(AValue));
}

std::int32_t TParam::CheckedRow(std::int32_t ARow) {
  EnsureBuffers();
  // Rows beyond the block would read or write someone else's memory.
  if (ARow < 0 || ARow >= FDimension)
    RaiseInterfaceError(MakeErrorCode(0, facParam, 50004), FParamName);
  return ARow;
}

void TParam::SetRowLength(std::int32_t ARow, std::int32_t ALength) {
  CheckedRow(ARow);
  FLengths[ARow] = static_cast<std::uint16_t>(ALength);
  FIndicators[ARow] = ALength != 0 ? 0 : -1;
}

std::string TParam::RowAsString(std::int32_t ARow) {
  std::uint8_t *Data = RowData(ARow);
  if (FDataType == oInteger) {
    // A NULL that came back from the server is no number.
    if (FIndicators[ARow] == -1)
      return std::string();
    std::int32_t Value = 0;
    std::memcpy(&Value, Data, std::min<std::int32_t>(4, FItemSize));
    return std::to_string(Value);
  }
  // A NULL row has no text whatever length the library left behind, and no length may reach
  // beyond the row.
  if (FIndicators[ARow] == -1)
    return std::string();
  const std::int32_t Length = std::min<std::int32_t>(FLengths[ARow], FItemSize);
  return std::string(reinterpret_cast<const char *>(Data), static_cast<size_t>(Length));
}

void TParam::SetRowAsString(std::int32_t ARow, const std::string &AText) {
  std::uint8_t *Data = RowData(ARow);
  if (FDataType == oInteger) {
    if (FRowCount < ARow + 1)
      FRowCount = ARow + 1;
    const std::int32_t Value = TextToInteger(AText);
    std::memcpy(Data, &Value, 4);
    SetRowLength(ARow, 4);
    return;
  }
  if (AText.size() > static_cast<size_t>(FItemSize))
    RaiseInterfaceError(MakeErrorCode(1, facParam, 50005), FParamName);
  if (FRowCount < ARow + 1)
    FRowCount = ARow + 1;
  std::memcpy(Data, AText.data(), AText.size());
  SetRowLength(ARow, static_cast<std::int32_t>(AText.size()));
}

TDataSetLite *TParam::CursorQuery() { RaiseInterfaceError(MakeErrorCode(1, facParam, 50006), ""); }

std::int32_t TParam::ReadRow(std::int32_t ARow, void *ADest, std::int32_t AMaxLen) {
  std::uint8_t *Data = RowData(ARow);
  const std::int32_t Count =
      std::max(0, std::min({AMaxLen, std::int32_t(FLengths[ARow]), FItemSize}));
  if (Count > 0)
    std::memcpy(ADest, Data, static_cast<size_t>(Count));
  return Count;
}

std::int32_t TParam::WriteRow(std::int32_t ARow, const void *ASrc, std::int32_t ALen) {
  std::uint8_t *Data = RowData(ARow);
  if (FRowCount < ARow + 1)
    FRowCount = ARow + 1;
  const std::int32_t Length = std::max(0, std::min(ALen, FItemSize));
  SetRowLength(ARow, Length);
  if (Length > 0)
    std::memmove(Data, ASrc, static_cast<size_t>(Length));
  return Length;
}

void TParam::FreeAreas() {
  FData.reset();
  FExtra.reset();
  FLengths = nullptr;
  FIndicators = nullptr;
  FReturnCodes = nullptr;
  FAllocatedSize = 0;
  FBufferGeneration = 0;
}

void TParam::AllocateBuffer(bool AOn) {
  if (!AOn) {
    FAllocatedDimension = -1;
    FreeAreas();
    FDirect = false;
    return;
  }
  if (FDataType == oUnknown && FKind == oInput)
    SetDataType(oVarchar2);
  if (FItemSize == 0)
    FItemSize = DefaultItemSize();
  // An integer row holds a whole 32-bit value.
  if (FDataType == oInteger && FItemSize > 0 && FItemSize < 4)
    FItemSize = 4;
  const bool Sane = FItemSize > 0 && FItemSize <= MaxItemSize && FDimension > 0 &&
                    std::int64_t(FDimension) * (FItemSize + 6) <= MaxBlockSize;
  const std::int64_t Size = Sane ? std::int64_t(FDimension) * (FItemSize + 6) : 0;
  if (Sane && (FDimension != FAllocatedDimension || Size != FAllocatedSize)) {
    FAllocatedDimension = FDimension;
    FreeAreas();
    // The arrays start on an even offset so that the 16-bit entries are aligned.
    const std::int64_t RowsBytes = (std::int64_t(FDimension) * FItemSize + 1) & ~std::int64_t(1);
    try {
      FData.reset(
          new std::uint8_t[static_cast<size_t>(RowsBytes + 6 * std::int64_t(FDimension))]());
      if (ExtraBufferSize() > 0)
        FExtra.reset(new std::uint8_t[static_cast<size_t>(ExtraBufferSize())]);
    } catch (const std::bad_alloc &) {
      FreeAreas();
      FAllocatedDimension = -1;
    }
    if (FData) {
      static std::atomic<std::uint64_t> Generations{0};
      FBufferGeneration = ++Generations;
      FAllocatedSize = Size;
      FLengths = reinterpret_cast<std::uint16_t *>(FData.get() + RowsBytes);
      FIndicators = reinterpret_cast<std::int16_t *>(FLengths + FDimension);
      FReturnCodes = reinterpret_cast<std::uint16_t *>(FIndicators + FDimension);
      // A row nobody wrote is NULL, so the library never sees an indicator that claims a
      // value of length 0.
      std::memset(FLengths, 0, 2 * static_cast<size_t>(FDimension));
      std::fill(FIndicators, FIndicators + FDimension, std::int16_t(-1));
      FRowCount = 0;
      FIndex = 0;
    }
  }
  if (!FData)
    RaiseInterfaceError(MakeErrorCode(1, facParam, 50007), "");
  FDirect = true;
}

void TParam::CopyRows(TParam &ASource) {
  if (&ASource == this)
    return;
  // A source without buffers holds no values, whatever its row count says.
  const std::int32_t Count = ASource.BuffersReady() ? std::min(ASource.RowCount(), FDimension) : 0;
  if (Count < 1) {
    FRowCount = 0;
    return;
  }
  for (std::int32_t Row = 0; Row < Count; ++Row)
    WriteRow(Row, ASource.RowData(Row), ASource.RowLength(Row));
}

void TParam::Assign(TParam &ASource) {
  if (&ASource == this)
    return;
  SetNullOk(ASource.NullOk());
  // A name that differs only in letter case names the same item; keeping the own spelling
  // spares the duplicate-name warning the list would give for the item itself.
  if (!SameText(FParamName, ASource.ParamName()))
    SetParamName(ASource.ParamName());
  SetDataType(ASource.DataType());
  SetKind(ASource.Kind());
  SetPos(ASource.Pos());
  SetDimension(FParams && FParams->Dimension() != 0 ? FParams->Dimension() : ASource.Dimension());
  SetItemSize(ASource.ItemSize());
  if (FRowCount > FDimension)
    FRowCount = FDimension;
  CopyRows(ASource);
}

void TParam::ClearValue() {
  FRowCount = 0;
  FIndex = 0;
  AllocateBuffer(false);
}

namespace {

std::vector<std::string> Names(const char *const *ANames, int ACount) {
  return std::vector<std::string>(ANames, ANames + ACount);
}

} // namespace

// The type goes before the size, because writing the type clears the size. Index, RowCount
// and AsString are never stored; Kind is written only when it is not oField.
void DescribeParamProperties(TClassProperties &AClass) {
  TClassProperties::Of<TParam> P(AClass);
  P.String("ParamName", &TParam::ParamName, &TParam::SetParamName, std::string());
  P.Integer("DbType", &TParam::DbType, &TParam::SetDbType, 0);
  P.Integer("DbKind", &TParam::DbKind, &TParam::SetDbKind, 0);
  P.Enumeration("DataType", &TParam::DataType, &TParam::SetDataType, Names(ParamTypeNames, 10),
                std::optional<TParamType>());
  P.Enumeration("Kind", &TParam::Kind, &TParam::SetKind, Names(ParamKindNames, 5),
                std::optional<TParamKind>(oField));
  P.Integer("Pos", &TParam::Pos, &TParam::SetPos, -1);
  P.Integer("Index", &TParam::Index, &TParam::SetIndex, 0).Stored = false;
  P.Integer("RowCount", &TParam::RowCount, &TParam::SetRowCount, 0).Stored = false;
  P.Integer("ItemSize", &TParam::ItemSize, &TParam::SetItemSize, std::nullopt);
  P.Integer("Dimension", &TParam::Dimension, &TParam::SetDimension, 1);
  P.Boolean("HaveDefault", &TParam::HaveDefault, &TParam::SetHaveDefault, false);
  P.Boolean("NullOk", &TParam::NullOk, &TParam::SetNullOk, false);
  TPropertyInfo AsString;
  AsString.Name = "AsString";
  AsString.Kind = TPropertyKind::String;
  AsString.Stored = false;
  AsString.GetString = [](const void *O) {
    return const_cast<TParam *>(static_cast<const TParam *>(O))->AsString();
  };
  AsString.SetString = [](void *O, const std::string &V) {
    static_cast<TParam *>(O)->SetAsString(V);
  };
  AsString.StringDefault = std::string();
  AClass.Add(std::move(AsString));
}

const TClassProperties &TParam::Properties() {
  static const TClassProperties Description = [] {
    TClassProperties Class("TParam");
    DescribeParamProperties(Class);
    return Class;
  }();
  return Description;
}

// ---- TParams ---------------------------------------------------------------------------------

TParams::TParams(TDataSetLite *ADataSet, TParamClass AItemClass)
    : FDataSet(ADataSet), FItemClass(AItemClass) {}

TParams::~TParams() { Clear(); }

TParam *TParams::FindParam(const std::string &AName) const {
  for (TParam *Item : FItems)
    if (SameText(Item->ParamName(), AName))
      return Item;
  return nullptr;
}

TParam *TParams::NewItem(const std::string &AName) {
  if (!FItemClass)
    RaiseInterfaceError(MakeErrorCode(1, facParam, 50007), "ItemClass");
  TParam *Item = FItemClass(this, AName);
  if (FDimension != 0)
    Item->SetDimension(FDimension);
  return Item;
}

TParam *TParams::Add(const std::string &AName) {
  if (TParam *Found = FindParam(AName))
    return Found;
  return NewItem(AName);
}

void TParams::Clear() {
  while (!FItems.empty())
    delete FItems.back(); // each item takes itself out of the list
}

void TParams::ClearValues() {
  for (TParam *Item : FItems)
    Item->ClearValue();
}

void TParams::SetDimension(std::int32_t AValue) {
  if (AValue == FDimension)
    return;
  if (AValue != 0)
    for (TParam *Item : FItems)
      Item->SetDimension(AValue);
  FDimension = AValue;
}

void TParams::Assign(const TParams &ASource) {
  if (&ASource == this)
    return;
  Clear();
  FDimension = ASource.Dimension();
  // A fresh item per source item, also when a source name repeats or is empty.
  for (TParam *Item : ASource.FItems)
    NewItem("")->Assign(*Item);
}

void TParams::AssignValues(const TParams *ASource) {
  if (!ASource || ASource == this)
    return;
  for (TParam *Item : FItems)
    if (TParam *Source = ASource->FindParam(Item->ParamName()))
      Item->Assign(*Source);
}

// ---- TFields ---------------------------------------------------------------------------------

TFields::TFields(TDataSetLite *ADataSet, TParamClass AItemClass) : TParams(ADataSet, AItemClass) {
  TParams::SetDimension(10);
}

TParam *TFields::Add(const std::string &AName) {
  TParam *Item = TParams::Add(AName);
  ItemAdded(Item);
  return Item;
}

void TFields::ItemAdded(TParam *AItem) { AItem->SetKind(oField); }

// ---- Stream definition -----------------------------------------------------------------------

void TParams::WriteData(TStream &AStream) const {
  TValueWriter Writer(AStream);
  const std::uint32_t Count = static_cast<std::uint32_t>(FItems.size());
  const std::uint8_t Bytes[4] = {std::uint8_t(Count), std::uint8_t(Count >> 8),
                                 std::uint8_t(Count >> 16), std::uint8_t(Count >> 24)};
  Writer.Write(Bytes, sizeof Bytes);
  TComponentWriter Components(Writer);
  for (TParam *Item : FItems) {
    const TClassProperties &Class = Item->PublishedProperties();
    Components.WriteComponent({Class.ClassName(), "", Item, &Class, {}});
  }
  Writer.FlushBuffer();
}

void TParams::ReadData(TStream &AStream) {
  TValueReader Reader(AStream);
  std::uint8_t Bytes[4];
  Reader.Read(Bytes, sizeof Bytes);
  const std::uint32_t Count =
      Bytes[0] | (Bytes[1] << 8) | (Bytes[2] << 16) | (std::uint32_t(Bytes[3]) << 24);
  // Every item takes at least its class name and two end bytes: a count beyond that is a lie.
  if (Count > static_cast<std::uint64_t>(Reader.Remaining()) / 3)
    throw EReadError("Parameter list count exceeds its data");
  Clear();
  TComponentReader Components(Reader);
  for (std::uint32_t i = 0; i < Count; ++i) {
    // Items are unnamed until their properties are read, so each is a new one.
    TParam *Item = NewItem("");
    ItemAdded(Item);
    const TClassProperties &Class = Item->PublishedProperties();
    Components.ReadComponent({Class.ClassName(), "", Item, &Class, {}});
  }
  FNeedsRefresh = false;
}

const TClassProperties &TParams::Properties() {
  static const TClassProperties Description = [] {
    TClassProperties Class("TParams");
    // The dimension comes before the items, so that items stored with their own dimension
    // keep it.
    TClassProperties::Of<TParams>(Class).Integer("Dimension", &TParams::Dimension,
                                                 &TParams::SetDimension, 0);
    TClassProperties::Of<TParams>(Class).Binary(
        "D", [](const TParams &AList) { return AList.Count() > 0; },
        [](TStream &AStream, const TParams &AList) { AList.WriteData(AStream); },
        [](TStream &AStream, TParams &AList) { AList.ReadData(AStream); });
    return Class;
  }();
  return Description;
}

void TFields::SetDimension(std::int32_t AValue) {
  if (AValue > 0)
    TParams::SetDimension(AValue);
}
