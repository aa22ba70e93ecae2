// The component stream writer and reader, driven by the published-property descriptions.
#include "classes/ComponentStream.h"

#include <utility>

namespace {

struct TColorName {
  TColor Color;
  const char *Name;
};

// The first name of a colour is the one written; later aliases are only read.
const TColorName ColorNames[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {0x1FFFFFFF, "clNone"},
    {clDefault, "clDefault"},
    {clSystemColor + 0, "clScrollBar"},
    {clSystemColor + 1, "clBackground"},
    {clSystemColor + 2, "clActiveCaption"},
    {clSystemColor + 3, "clInactiveCaption"},
    {clSystemColor + 4, "clMenu"},
    {clSystemColor + 5, "clWindow"},
    {clSystemColor + 6, "clWindowFrame"},
    {clSystemColor + 7, "clMenuText"},
    {clSystemColor + 8, "clWindowText"},
    {clSystemColor + 9, "clCaptionText"},
    {clSystemColor + 10, "clActiveBorder"},
    {clSystemColor + 11, "clInactiveBorder"},
    {clSystemColor + 12, "clAppWorkSpace"},
    {clSystemColor + 13, "clHighlight"},
    {clSystemColor + 14, "clHighlightText"},
    {clSystemColor + 15, "clBtnFace"},
    {clSystemColor + 16, "clBtnShadow"},
    {clSystemColor + 17, "clGrayText"},
    {clSystemColor + 18, "clBtnText"},
    {clSystemColor + 19, "clInactiveCaptionText"},
    {clSystemColor + 20, "clBtnHighlight"},
    {clSystemColor + 21, "cl3DDkShadow"},
    {clSystemColor + 22, "cl3DLight"},
    {clSystemColor + 23, "clInfoText"},
    {clSystemColor + 24, "clInfoBk"},
    {clSilver, "clLtGray"},
    {clGray, "clDkGray"},
};

[[noreturn]] void Fault(const std::string &AText) { throw EReadError(AText); }

bool IsOrdinal(TPropertyKind AKind) {
  switch (AKind) {
  case TPropertyKind::Integer:
  case TPropertyKind::Boolean:
  case TPropertyKind::Enumeration:
  case TPropertyKind::Color:
  case TPropertyKind::Set:
    return true;
  default:
    return false;
  }
}

} // namespace

std::optional<std::string> ColorToIdent(TColor AColor) {
  for (const TColorName &Entry : ColorNames)
    if (Entry.Color == AColor)
      return std::string(Entry.Name);
  return std::nullopt;
}

std::optional<TColor> IdentToColor(const std::string &AIdent) {
  for (const TColorName &Entry : ColorNames)
    if (AIdent == Entry.Name)
      return Entry.Color;
  return std::nullopt;
}

const TPropertyInfo *TClassProperties::Find(const std::string &AName) const {
  for (const TPropertyInfo &Info : FProperties)
    if (Info.Name == AName)
      return &Info;
  return nullptr;
}

TPropertyInfo &TClassProperties::Add(TPropertyInfo AInfo) {
  FProperties.push_back(std::move(AInfo));
  return FProperties.back();
}

// Writer

void TComponentWriter::WriteRootComponent(const TComponentRecord &ARecord) {
  FWriter.WriteSignature();
  WriteComponent(ARecord);
}

void TComponentWriter::WriteComponent(const TComponentRecord &ARecord) {
  FWriter.WriteShortString(ARecord.ClassName);
  FWriter.WriteShortString(ARecord.Name);
  if (ARecord.Class)
    WriteProperties(ARecord.Object, *ARecord.Class);
  else
    FWriter.WriteListEnd();
  for (const TComponentRecord &Child : ARecord.Children)
    WriteComponent(Child);
  FWriter.WriteListEnd();
}

void TComponentWriter::WriteProperties(const void *AObject, const TClassProperties &AClass) {
  for (const TPropertyInfo &Info : AClass.Properties())
    WriteProperty("", AObject, Info, nullptr);
  FWriter.WriteListEnd();
}

void TComponentWriter::WriteProperty(const std::string &APrefix, const void *AObject,
                                     const TPropertyInfo &AInfo, const void *ADefaultObject) {
  if (!AInfo.Stored)
    return;
  const std::string Name = APrefix + AInfo.Name;
  if (IsOrdinal(AInfo.Kind)) {
    std::optional<std::int64_t> Default = AInfo.OrdinalDefault;
    if (ADefaultObject)
      Default = AInfo.GetOrdinal(ADefaultObject);
    if (Default && *Default == AInfo.GetOrdinal(AObject))
      return;
  } else if (AInfo.Kind == TPropertyKind::String) {
    std::optional<std::string> Default = AInfo.StringDefault;
    if (ADefaultObject)
      Default = AInfo.GetString(ADefaultObject);
    if (Default && *Default == AInfo.GetString(AObject))
      return;
  } else if (AInfo.Kind == TPropertyKind::Object) {
    const void *Sub = AInfo.GetObject(AObject);
    const void *SubDefault = nullptr;
    if (AInfo.DefaultObject)
      SubDefault = AInfo.DefaultObject();
    else if (ADefaultObject)
      SubDefault = AInfo.GetObject(ADefaultObject);
    for (const TPropertyInfo &SubInfo : AInfo.ObjectClass->Properties())
      WriteProperty(Name + ".", Sub, SubInfo, SubDefault);
    return;
  } else if (AInfo.Kind == TPropertyKind::Collection) {
    if (AInfo.IsDefault && AInfo.IsDefault(AObject))
      return;
  } else if (AInfo.Kind == TPropertyKind::Custom || AInfo.Kind == TPropertyKind::Binary) {
    if (!AInfo.HasData(AObject))
      return;
  }
  FWriter.WriteShortString(Name);
  WriteValueOf(AObject, AInfo);
}

void TComponentWriter::WriteValueOf(const void *AObject, const TPropertyInfo &AInfo) {
  switch (AInfo.Kind) {
  case TPropertyKind::Integer:
    FWriter.WriteInteger(AInfo.GetOrdinal(AObject));
    break;
  case TPropertyKind::Boolean:
    FWriter.WriteBoolean(AInfo.GetOrdinal(AObject) != 0);
    break;
  case TPropertyKind::Enumeration: {
    std::int64_t Value = AInfo.GetOrdinal(AObject);
    if (Value < 0 || std::uint64_t(Value) >= AInfo.Names.size())
      throw EWriteError("Property " + AInfo.Name + " has no identifier for its value");
    FWriter.WriteIdent(AInfo.Names[std::size_t(Value)]);
    break;
  }
  case TPropertyKind::Color: {
    TColor Color = TColor(AInfo.GetOrdinal(AObject));
    if (std::optional<std::string> Ident = ColorToIdent(Color))
      FWriter.WriteIdent(*Ident);
    else
      FWriter.WriteInteger(std::int32_t(Color));
    break;
  }
  case TPropertyKind::Set: {
    std::uint64_t Bits = std::uint64_t(AInfo.GetOrdinal(AObject));
    if (AInfo.Names.size() < 64 && (Bits >> AInfo.Names.size()) != 0)
      throw EWriteError("Property " + AInfo.Name + " holds an element without a name");
    FWriter.WriteValue(TValueType::vaSet);
    for (std::size_t I = 0; I < AInfo.Names.size(); ++I)
      if (Bits & (std::uint64_t(1) << I))
        FWriter.WriteShortString(AInfo.Names[I]);
    FWriter.WriteListEnd();
    break;
  }
  case TPropertyKind::String:
    FWriter.WriteString(AInfo.GetString(AObject));
    break;
  case TPropertyKind::Collection: {
    FWriter.WriteValue(TValueType::vaCollection);
    std::size_t Count = AInfo.Count(AObject);
    for (std::size_t I = 0; I < Count; ++I) {
      FWriter.WriteListBegin();
      WriteProperties(AInfo.Item(AObject, I), *AInfo.ItemClass);
    }
    FWriter.WriteListEnd();
    break;
  }
  case TPropertyKind::Custom:
    AInfo.WriteData(FWriter, AObject);
    break;
  case TPropertyKind::Binary: {
    TMemoryStream Block;
    AInfo.WriteBinaryData(Block, AObject);
    FWriter.WriteBinary(Block.Bytes().data(), Block.Bytes().size());
    break;
  }
  case TPropertyKind::Object:
    break; // written as its sub-properties
  }
}

// Reader

void TComponentReader::ReadRootComponent(const TComponentRecord &ARecord) {
  FReader.ReadSignature();
  ReadComponent(ARecord);
}

void TComponentReader::ReadComponent(const TComponentRecord &ARecord) {
  if (FReader.ReadShortString() != ARecord.ClassName)
    Fault("Invalid stream format: class " + ARecord.ClassName + " expected");
  // The root's own name is whatever the writer's component was called.
  FReader.ReadShortString();
  ReadBody(ARecord);
}

void TComponentReader::ReadBody(const TComponentRecord &ARecord) {
  if (ARecord.Class)
    ReadProperties(ARecord.Object, *ARecord.Class);
  else
    FReader.ReadListEnd();
  // Children come in any order; each must be one the record expects, by name and class.
  while (!FReader.EndOfList()) {
    std::string ClassName = FReader.ReadShortString();
    std::string Name = FReader.ReadShortString();
    const TComponentRecord *Child = nullptr;
    for (const TComponentRecord &Candidate : ARecord.Children)
      if (Candidate.Name == Name && Candidate.ClassName == ClassName)
        Child = &Candidate;
    if (!Child)
      Fault("Component " + Name + " of class " + ClassName + " not found");
    ReadBody(*Child);
  }
  FReader.ReadListEnd();
}

void TComponentReader::ReadProperties(void *AObject, const TClassProperties &AClass) {
  while (!FReader.EndOfList())
    ReadProperty(AObject, AClass, FReader.ReadShortString());
  FReader.ReadListEnd();
}

void TComponentReader::ReadProperty(void *AObject, const TClassProperties &AClass,
                                    const std::string &AName) {
  std::string::size_type Dot = AName.find('.');
  const TPropertyInfo *Info = AClass.Find(AName.substr(0, Dot));
  if (!Info)
    Fault("Property " + AName + " does not exist");
  if (Dot == std::string::npos) {
    if (Info->Kind == TPropertyKind::Object)
      Fault("Property " + AName + " has no value of its own");
    ReadValueInto(AObject, *Info);
    return;
  }
  if (Info->Kind != TPropertyKind::Object)
    Fault("Property " + AName + " does not exist");
  const std::string Rest = AName.substr(Dot + 1);
  Info->ModifyObject(AObject, [&](void *ASub) { ReadProperty(ASub, *Info->ObjectClass, Rest); });
}

void TComponentReader::ReadValueInto(void *AObject, const TPropertyInfo &AInfo) {
  switch (AInfo.Kind) {
  case TPropertyKind::Integer: {
    std::int64_t Value = FReader.ReadInteger();
    if (Value < AInfo.Minimum || Value > AInfo.Maximum)
      Fault("Value of " + AInfo.Name + " out of range");
    AInfo.SetOrdinal(AObject, Value);
    break;
  }
  case TPropertyKind::Boolean:
    AInfo.SetOrdinal(AObject, FReader.ReadBoolean() ? 1 : 0);
    break;
  case TPropertyKind::Enumeration: {
    std::string Ident = FReader.ReadIdent();
    std::size_t I = 0;
    while (I < AInfo.Names.size() && AInfo.Names[I] != Ident)
      ++I;
    if (I == AInfo.Names.size())
      Fault("Invalid property value " + Ident + " for " + AInfo.Name);
    AInfo.SetOrdinal(AObject, std::int64_t(I));
    break;
  }
  case TPropertyKind::Color: {
    TColor Color;
    if (FReader.NextValue() == TValueType::vaIdent) {
      std::optional<TColor> Named = IdentToColor(FReader.ReadIdent());
      if (!Named)
        Fault("Invalid colour name for " + AInfo.Name);
      Color = *Named;
    } else {
      Color = TColor(std::uint32_t(FReader.ReadInteger()));
    }
    AInfo.SetOrdinal(AObject, Color);
    break;
  }
  case TPropertyKind::Set: {
    if (FReader.ReadValue() != TValueType::vaSet)
      Fault("Invalid property value for " + AInfo.Name);
    std::uint64_t Bits = 0;
    for (;;) {
      std::string Element = FReader.ReadShortString();
      if (Element.empty())
        break;
      std::size_t I = 0;
      while (I < AInfo.Names.size() && AInfo.Names[I] != Element)
        ++I;
      if (I == AInfo.Names.size() || I >= 64)
        Fault("Invalid set element " + Element + " for " + AInfo.Name);
      Bits |= std::uint64_t(1) << I;
    }
    AInfo.SetOrdinal(AObject, std::int64_t(Bits));
    break;
  }
  case TPropertyKind::String:
    AInfo.SetString(AObject, FReader.ReadString());
    break;
  case TPropertyKind::Collection: {
    if (FReader.ReadValue() != TValueType::vaCollection)
      Fault("Invalid property value for " + AInfo.Name);
    AInfo.ReplaceItems(AObject, [&](const std::function<void *()> &AAdd) {
      while (!FReader.EndOfList()) {
        FReader.ReadListBegin();
        ReadProperties(AAdd(), *AInfo.ItemClass);
      }
      FReader.ReadListEnd();
    });
    break;
  }
  case TPropertyKind::Custom:
    AInfo.ReadData(FReader, AObject);
    break;
  case TPropertyKind::Binary: {
    std::vector<std::uint8_t> Bytes = FReader.ReadBinary();
    TReadOnlyMemoryStream Block(Bytes.data(), Bytes.size());
    AInfo.ReadBinaryData(Block, AObject);
    break;
  }
  case TPropertyKind::Object:
    break; // rejected by the caller
  }
}
