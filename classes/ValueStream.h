// The tagged value stream: one tag byte per value, then its little-endian payload. The desktop
// file is a plain sequence of such values; the component stream builds on the same encoding.
#pragma once

#include "classes/Streams.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The tag in front of every value.
enum class TValueType : std::uint8_t {
  vaNull = 0, // end of a list, of a property list, of a set
  vaList = 1,
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5, // 10-byte extended-precision float
  vaString = 6,   // one-byte length
  vaIdent = 7,
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,
  vaSet = 11,
  vaLString = 12, // 32-bit length
  vaNil = 13,
  vaCollection = 14,
};

// The 80-bit extended format as stored: 64-bit mantissa with its explicit integer bit, then
// sign and 15-bit exponent (bias 16383), all little-endian.
using TExtended80 = std::array<std::uint8_t, 10>;

// Every double has an exact extended form.
TExtended80 DoubleToExtended(double AValue);
// Rounds to the nearest double, ties to even; too large gives infinity, too small zero or
// a subnormal. NaN stays NaN, keeping its sign.
double ExtendedToDouble(const TExtended80 &AValue);

// Writes tagged values through a 4096-byte buffer. FlushBuffer (or destruction) empties the
// buffer into the stream; only FlushBuffer reports a failing stream.
class TValueWriter {
public:
  static constexpr std::size_t BufferSize = 4096;

  explicit TValueWriter(TStream &AStream) : FStream(AStream) {}
  ~TValueWriter();
  TValueWriter(const TValueWriter &) = delete;
  TValueWriter &operator=(const TValueWriter &) = delete;

  void Write(const void *ABuffer, std::size_t ACount); // a raw block, no tag
  void WriteValue(TValueType AValue);
  void WriteInteger(std::int64_t AValue); // the smallest of tags 2, 3, 4; beyond 32 bits raises
  void WriteString(const std::string &AValue);
  void WriteIdent(const std::string &AValue);
  void WriteBoolean(bool AValue);
  void WriteFloat(double AValue);
  void WriteBinary(const void *ABuffer, std::size_t ACount); // tag 10, 32-bit length, bytes
  void WriteListBegin() { WriteValue(TValueType::vaList); }
  void WriteListEnd() { WriteValue(TValueType::vaNull); }
  // A one-byte length and the bytes, no tag (class, component, property and set element names).
  void WriteShortString(const std::string &AValue);
  void WriteSignature(); // "TPF0"
  void FlushBuffer();

private:
  TStream &FStream;
  std::array<std::uint8_t, BufferSize> FBuffer{};
  std::size_t FCount = 0;
};

// Reads tagged values through a 4096-byte buffer. Every fault (a premature end, a tag other
// than the one expected, a length beyond the end of the stream) raises EReadError; no read
// ever allocates more than the stream still holds.
class TValueReader {
public:
  static constexpr std::size_t BufferSize = 4096;

  explicit TValueReader(TStream &AStream) : FStream(AStream) {}
  TValueReader(const TValueReader &) = delete;
  TValueReader &operator=(const TValueReader &) = delete;

  void Read(void *ABuffer, std::size_t ACount); // a raw block, no tag; all or EReadError
  TValueType ReadValue();
  TValueType NextValue();     // the next tag, not consumed
  std::int64_t ReadInteger(); // tags 2, 3, 4
  // An item count that announces values to follow (history entries, column widths): an
  // integer from 0 to the bytes still to come, as each value takes at least one byte. A
  // caller may reserve this many items without trusting the file any further.
  std::int64_t ReadCount();
  std::string ReadString();               // tags 6, 12
  std::string ReadIdent();                // tag 7
  bool ReadBoolean();                     // tags 8, 9
  double ReadFloat();                     // tag 5
  std::vector<std::uint8_t> ReadBinary(); // tag 10
  void ReadListBegin();
  bool EndOfList(); // the next byte is the 0 that ends a list
  void ReadListEnd();
  std::string ReadShortString();
  void ReadSignature(); // "TPF0", else EReadError
  // Bytes still to come, buffered or not.
  std::int64_t Remaining() const { return std::int64_t(FCount - FPosition) + FStream.Remaining(); }

private:
  void Fill();
  std::uint8_t ReadByte();
  std::uint8_t PeekByte();
  void CheckValue(TValueType AExpected);

  TStream &FStream;
  std::array<std::uint8_t, BufferSize> FBuffer{};
  std::size_t FCount = 0;
  std::size_t FPosition = 0;
};
