// Feeds arbitrary bytes to the value reader: first as a desktop file (position, then child
// records of placement blocks, strings, floats and flags), then as a free walk over whatever
// tagged values the bytes hold. Every fault must be an EReadError.
#include "classes/ValueStream.h"
#include "classes/WindowPlacement.h"

#include <array>
#include <cstdint>

namespace {

void ReadDesktop(TValueReader &AReader) {
  for (int I = 0; I < 4; ++I)
    AReader.ReadInteger();
  AReader.ReadListBegin();
  while (!AReader.EndOfList()) {
    std::string ClassName = AReader.ReadString();
    std::array<std::uint8_t, TWindowPlacement::RecordSize> Bytes;
    AReader.Read(Bytes.data(), Bytes.size());
    TWindowPlacement::FromBytes(Bytes);
    if (ClassName == "TEditForm") {
      AReader.ReadString();
      AReader.ReadBoolean();
    } else if (ClassName == "TTerminalForm") {
      AReader.ReadString();
      for (std::int64_t Count = AReader.ReadCount(); Count > 0; --Count)
        AReader.ReadString();
    } else if (ClassName == "TProcedureForm") {
      AReader.ReadFloat();
      AReader.ReadString();
      for (int Grid = 0; Grid < 2; ++Grid)
        for (std::int64_t Count = AReader.ReadCount(); Count > 0; --Count)
          AReader.ReadInteger();
    } else if (ClassName != "TDBMSOutputForm") {
      return;
    }
  }
  AReader.ReadListEnd();
}

void Walk(TValueReader &AReader) {
  while (AReader.Remaining() > 0) {
    switch (AReader.NextValue()) {
    case TValueType::vaNull:
      AReader.ReadListEnd();
      break;
    case TValueType::vaList:
      AReader.ReadListBegin();
      break;
    case TValueType::vaInt8:
    case TValueType::vaInt16:
    case TValueType::vaInt32:
      AReader.ReadInteger();
      break;
    case TValueType::vaExtended:
      AReader.ReadFloat();
      break;
    case TValueType::vaString:
    case TValueType::vaLString:
      AReader.ReadString();
      break;
    case TValueType::vaIdent:
      AReader.ReadIdent();
      break;
    case TValueType::vaFalse:
    case TValueType::vaTrue:
      AReader.ReadBoolean();
      break;
    case TValueType::vaBinary:
      AReader.ReadBinary();
      break;
    default: // tags the value stream has no reader for: a raw byte, a short string
      AReader.ReadValue();
      if (AReader.Remaining() > 0)
        AReader.ReadShortString();
      break;
    }
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *AData, std::size_t ASize) {
  for (int Pass = 0; Pass < 2; ++Pass) {
    TReadOnlyMemoryStream Stream(AData, ASize);
    TValueReader Reader(Stream);
    try {
      if (Pass == 0)
        ReadDesktop(Reader);
      else
        Walk(Reader);
    } catch (const EReadError &) {
    }
  }
  // The float conversion must give back any double it is handed.
  if (ASize >= 8) {
    double Value;
    __builtin_memcpy(&Value, AData, 8);
    double Back = ExtendedToDouble(DoubleToExtended(Value));
    if (Value == Value && __builtin_memcmp(&Value, &Back, 8) != 0)
      __builtin_trap();
  }
  if (ASize >= 10) {
    TExtended80 Extended;
    __builtin_memcpy(Extended.data(), AData, 10);
    ExtendedToDouble(Extended);
  }
  return 0;
}
