// The tagged value writer and reader, and the extended-float conversion.
#include "classes/ValueStream.h"

#include <bit>
#include <cstring>

namespace {

const char Signature[4] = {'T', 'P', 'F', '0'};

[[noreturn]] void ReadFault() { throw EReadError("Stream read error"); }
[[noreturn]] void InvalidValue() { throw EReadError("Invalid property value"); }

void PutLittle(std::uint8_t *ADest, std::uint64_t AValue, int ABytes) {
  for (int I = 0; I < ABytes; ++I)
    ADest[I] = std::uint8_t(AValue >> (8 * I));
}

std::uint64_t GetLittle(const std::uint8_t *ASource, int ABytes) {
  std::uint64_t Value = 0;
  for (int I = 0; I < ABytes; ++I)
    Value |= std::uint64_t(ASource[I]) << (8 * I);
  return Value;
}

} // namespace

TExtended80 DoubleToExtended(double AValue) {
  const std::uint64_t Bits = std::bit_cast<std::uint64_t>(AValue);
  const std::uint16_t Sign = (Bits >> 63) ? 0x8000 : 0;
  const int Exponent = int((Bits >> 52) & 0x7FF);
  const std::uint64_t Fraction = Bits & ((std::uint64_t(1) << 52) - 1);
  std::uint64_t Mantissa = 0;
  std::uint16_t Top = Sign;
  if (Exponent == 0x7FF) {
    // Infinity keeps only the integer bit; a NaN keeps its payload and stays quiet or not.
    Mantissa = (std::uint64_t(1) << 63) | (Fraction << 11);
    Top |= 0x7FFF;
  } else if (Exponent == 0) {
    if (Fraction != 0) {
      // A subnormal double is a normal extended: shift the leading one up to bit 63.
      int Shift = std::countl_zero(Fraction);
      Mantissa = Fraction << Shift;
      Top |= std::uint16_t(16383 - 1022 - (Shift - 11));
    }
  } else {
    Mantissa = (std::uint64_t(1) << 63) | (Fraction << 11);
    Top |= std::uint16_t(Exponent - 1023 + 16383);
  }
  TExtended80 Result{};
  PutLittle(Result.data(), Mantissa, 8);
  PutLittle(Result.data() + 8, Top, 2);
  return Result;
}

double ExtendedToDouble(const TExtended80 &AValue) {
  std::uint64_t Mantissa = GetLittle(AValue.data(), 8);
  const std::uint16_t Top = std::uint16_t(GetLittle(AValue.data() + 8, 2));
  const std::uint64_t Sign = std::uint64_t(Top >> 15) << 63;
  int Exponent = Top & 0x7FFF;
  if (Exponent == 0x7FFF) {
    std::uint64_t Fraction = Mantissa & ~(std::uint64_t(1) << 63);
    if (Fraction == 0)
      return std::bit_cast<double>(Sign | (std::uint64_t(0x7FF) << 52));
    std::uint64_t Payload = (Fraction >> 11) & ((std::uint64_t(1) << 52) - 1);
    if (Payload == 0)
      Payload = std::uint64_t(1) << 51; // a payload only in the dropped bits: still a NaN
    return std::bit_cast<double>(Sign | (std::uint64_t(0x7FF) << 52) | Payload);
  }
  if (Mantissa == 0)
    return std::bit_cast<double>(Sign);
  // Denormal extendeds use exponent 1 with no integer bit; unnormals are normalised here too.
  int Unbiased = (Exponent == 0 ? 1 : Exponent) - 16383;
  int Leading = std::countl_zero(Mantissa);
  Mantissa <<= Leading;
  Unbiased -= Leading;
  if (Unbiased > 1023)
    return std::bit_cast<double>(Sign | (std::uint64_t(0x7FF) << 52));
  // Keep 53 bits for a normal result, fewer for a subnormal one, rounding the rest.
  int Shift = 11;
  if (Unbiased < -1022)
    Shift += -1022 - Unbiased;
  std::uint64_t Kept;
  bool RoundUp;
  if (Shift >= 64) {
    Kept = 0;
    // Anything below half the smallest subnormal rounds to zero; exactly half is a tie to 0.
    RoundUp = Shift == 64 && Mantissa > (std::uint64_t(1) << 63);
  } else {
    Kept = Mantissa >> Shift;
    const std::uint64_t Rest = Mantissa & ((std::uint64_t(1) << Shift) - 1);
    const std::uint64_t Half = std::uint64_t(1) << (Shift - 1);
    RoundUp = Rest > Half || (Rest == Half && (Kept & 1));
  }
  if (RoundUp)
    ++Kept;
  if (Unbiased < -1022)
    // The subnormal field; a carry into bit 52 correctly makes it the smallest normal.
    return std::bit_cast<double>(Sign | Kept);
  if (Kept >> 53) {
    Kept >>= 1;
    ++Unbiased;
    if (Unbiased > 1023)
      return std::bit_cast<double>(Sign | (std::uint64_t(0x7FF) << 52));
  }
  return std::bit_cast<double>(Sign | (std::uint64_t(Unbiased + 1023) << 52) |
                               (Kept & ((std::uint64_t(1) << 52) - 1)));
}

// Writer

TValueWriter::~TValueWriter() {
  try {
    FlushBuffer();
  } catch (const EStreamError &) {
    // Destruction cannot report; callers that care flush first.
  }
}

void TValueWriter::Write(const void *ABuffer, std::size_t ACount) {
  const auto *Bytes = static_cast<const std::uint8_t *>(ABuffer);
  while (ACount > 0) {
    if (FCount == BufferSize)
      FlushBuffer();
    std::size_t Chunk = std::min(ACount, BufferSize - FCount);
    std::memcpy(FBuffer.data() + FCount, Bytes, Chunk);
    FCount += Chunk;
    Bytes += Chunk;
    ACount -= Chunk;
  }
}

void TValueWriter::FlushBuffer() {
  if (FCount == 0)
    return;
  std::size_t Count = FCount;
  FCount = 0;
  FStream.Write(FBuffer.data(), Count);
}

void TValueWriter::WriteValue(TValueType AValue) {
  std::uint8_t Tag = std::uint8_t(AValue);
  Write(&Tag, 1);
}

void TValueWriter::WriteInteger(std::int64_t AValue) {
  std::uint8_t Bytes[4];
  if (AValue >= -128 && AValue <= 127) {
    WriteValue(TValueType::vaInt8);
    PutLittle(Bytes, std::uint64_t(AValue), 1);
    Write(Bytes, 1);
  } else if (AValue >= -32768 && AValue <= 32767) {
    WriteValue(TValueType::vaInt16);
    PutLittle(Bytes, std::uint64_t(AValue), 2);
    Write(Bytes, 2);
  } else if (AValue >= INT32_MIN && AValue <= INT32_MAX) {
    WriteValue(TValueType::vaInt32);
    PutLittle(Bytes, std::uint64_t(AValue), 4);
    Write(Bytes, 4);
  } else {
    throw EWriteError("Integer value out of range");
  }
}

void TValueWriter::WriteString(const std::string &AValue) {
  if (AValue.size() <= 255) {
    WriteValue(TValueType::vaString);
    std::uint8_t Length = std::uint8_t(AValue.size());
    Write(&Length, 1);
  } else {
    if (AValue.size() > INT32_MAX)
      throw EWriteError("String too long");
    WriteValue(TValueType::vaLString);
    std::uint8_t Length[4];
    PutLittle(Length, AValue.size(), 4);
    Write(Length, 4);
  }
  Write(AValue.data(), AValue.size());
}

void TValueWriter::WriteIdent(const std::string &AValue) {
  WriteValue(TValueType::vaIdent);
  WriteShortString(AValue);
}

void TValueWriter::WriteBoolean(bool AValue) {
  WriteValue(AValue ? TValueType::vaTrue : TValueType::vaFalse);
}

void TValueWriter::WriteFloat(double AValue) {
  WriteValue(TValueType::vaExtended);
  TExtended80 Bytes = DoubleToExtended(AValue);
  Write(Bytes.data(), Bytes.size());
}

void TValueWriter::WriteBinary(const void *ABuffer, std::size_t ACount) {
  if (ACount > INT32_MAX)
    throw EWriteError("Binary block too long");
  WriteValue(TValueType::vaBinary);
  std::uint8_t Length[4];
  PutLittle(Length, ACount, 4);
  Write(Length, 4);
  Write(ABuffer, ACount);
}

void TValueWriter::WriteShortString(const std::string &AValue) {
  if (AValue.size() > 255)
    throw EWriteError("Name too long: " + AValue.substr(0, 32) + "...");
  std::uint8_t Length = std::uint8_t(AValue.size());
  Write(&Length, 1);
  Write(AValue.data(), AValue.size());
}

void TValueWriter::WriteSignature() { Write(Signature, sizeof Signature); }

// Reader

void TValueReader::Fill() {
  if (FPosition < FCount)
    return;
  FCount = FStream.Read(FBuffer.data(), BufferSize);
  FPosition = 0;
  if (FCount == 0)
    ReadFault();
}

std::uint8_t TValueReader::ReadByte() {
  Fill();
  return FBuffer[FPosition++];
}

std::uint8_t TValueReader::PeekByte() {
  Fill();
  return FBuffer[FPosition];
}

void TValueReader::Read(void *ABuffer, std::size_t ACount) {
  auto *Bytes = static_cast<std::uint8_t *>(ABuffer);
  while (ACount > 0) {
    Fill();
    std::size_t Chunk = std::min(ACount, FCount - FPosition);
    std::memcpy(Bytes, FBuffer.data() + FPosition, Chunk);
    FPosition += Chunk;
    Bytes += Chunk;
    ACount -= Chunk;
  }
}

TValueType TValueReader::ReadValue() {
  std::uint8_t Tag = ReadByte();
  if (Tag > std::uint8_t(TValueType::vaCollection))
    InvalidValue();
  return TValueType(Tag);
}

TValueType TValueReader::NextValue() {
  std::uint8_t Tag = PeekByte();
  if (Tag > std::uint8_t(TValueType::vaCollection))
    InvalidValue();
  return TValueType(Tag);
}

void TValueReader::CheckValue(TValueType AExpected) {
  if (ReadValue() != AExpected)
    InvalidValue();
}

std::int64_t TValueReader::ReadInteger() {
  std::uint8_t Bytes[4];
  switch (ReadValue()) {
  case TValueType::vaInt8:
    Read(Bytes, 1);
    return std::int8_t(Bytes[0]);
  case TValueType::vaInt16:
    Read(Bytes, 2);
    return std::int16_t(GetLittle(Bytes, 2));
  case TValueType::vaInt32:
    Read(Bytes, 4);
    return std::int32_t(GetLittle(Bytes, 4));
  default:
    InvalidValue();
  }
}

std::int64_t TValueReader::ReadCount() {
  std::int64_t Count = ReadInteger();
  if (Count < 0 || Count > Remaining())
    InvalidValue();
  return Count;
}

std::string TValueReader::ReadString() {
  std::uint64_t Length;
  switch (ReadValue()) {
  case TValueType::vaString: {
    Length = ReadByte();
    break;
  }
  case TValueType::vaLString: {
    std::uint8_t Bytes[4];
    Read(Bytes, 4);
    Length = GetLittle(Bytes, 4);
    break;
  }
  default:
    InvalidValue();
  }
  // A corrupt length must not make us reserve gigabytes for a file of a few bytes.
  if (std::int64_t(Length) > Remaining())
    ReadFault();
  std::string Result(Length, '\0');
  Read(Result.data(), Length);
  return Result;
}

std::string TValueReader::ReadIdent() {
  CheckValue(TValueType::vaIdent);
  return ReadShortString();
}

bool TValueReader::ReadBoolean() {
  switch (ReadValue()) {
  case TValueType::vaFalse:
    return false;
  case TValueType::vaTrue:
    return true;
  default:
    InvalidValue();
  }
}

double TValueReader::ReadFloat() {
  CheckValue(TValueType::vaExtended);
  TExtended80 Bytes;
  Read(Bytes.data(), Bytes.size());
  return ExtendedToDouble(Bytes);
}

std::vector<std::uint8_t> TValueReader::ReadBinary() {
  CheckValue(TValueType::vaBinary);
  std::uint8_t Bytes[4];
  Read(Bytes, 4);
  std::uint64_t Length = GetLittle(Bytes, 4);
  if (std::int64_t(Length) > Remaining())
    ReadFault();
  std::vector<std::uint8_t> Result(Length);
  Read(Result.data(), Length);
  return Result;
}

void TValueReader::ReadListBegin() { CheckValue(TValueType::vaList); }

bool TValueReader::EndOfList() { return PeekByte() == 0; }

void TValueReader::ReadListEnd() { CheckValue(TValueType::vaNull); }

std::string TValueReader::ReadShortString() {
  std::size_t Length = ReadByte();
  std::string Result(Length, '\0');
  Read(Result.data(), Length);
  return Result;
}

void TValueReader::ReadSignature() {
  char Bytes[4];
  Read(Bytes, 4);
  if (std::memcmp(Bytes, Signature, 4) != 0)
    throw EReadError("Invalid stream format");
}
