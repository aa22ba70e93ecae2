// The tagged value stream against bytes written out by hand from the format, and the
// extended-float conversion.
#include "classes/ValueStream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

using TBytes = std::vector<std::uint8_t>;

template <class F> TBytes Written(F AWrite) {
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    AWrite(Writer);
    Writer.FlushBuffer();
  }
  return Stream.Bytes();
}

TExtended80 Extended(std::uint64_t AMantissa, std::uint16_t ASignExponent) {
  TExtended80 Result;
  for (int I = 0; I < 8; ++I)
    Result[I] = std::uint8_t(AMantissa >> (8 * I));
  Result[8] = std::uint8_t(ASignExponent);
  Result[9] = std::uint8_t(ASignExponent >> 8);
  return Result;
}

double Bits(std::uint64_t ABits) { return std::bit_cast<double>(ABits); }

} // namespace

TEST(ValueStream, IntegersTakeTheSmallestForm) {
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(0); }), (TBytes{2, 0}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(-128); }), (TBytes{2, 0x80}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(127); }), (TBytes{2, 0x7F}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(128); }), (TBytes{3, 0x80, 0}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(-129); }), (TBytes{3, 0x7F, 0xFF}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(32767); }), (TBytes{3, 0xFF, 0x7F}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(-32768); }), (TBytes{3, 0x00, 0x80}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(32768); }), (TBytes{4, 0x00, 0x80, 0, 0}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(10240); }), (TBytes{3, 0x00, 0x28}));
  EXPECT_EQ(Written([](TValueWriter &W) { W.WriteInteger(INT32_MIN); }),
            (TBytes{4, 0, 0, 0, 0x80}));
  EXPECT_THROW(Written([](TValueWriter &W) { W.WriteInteger(std::int64_t(INT32_MAX) + 1); }),
               EWriteError);
}

TEST(ValueStream, WriterEncodesEveryKindAsTheFormatSays) {
  TBytes Bytes = Written([](TValueWriter &W) {
    W.WriteListBegin();
    W.WriteString("ab");
    W.WriteBoolean(false);
    W.WriteBoolean(true);
    W.WriteIdent("clRed");
    W.WriteListEnd();
    const std::uint8_t Raw[3] = {0xAA, 0xBB, 0xCC};
    W.Write(Raw, 3);
    W.WriteFloat(1.0);
  });
  EXPECT_EQ(Bytes, (TBytes{1,    6,    2,    'a', 'b', 8, 9, 7, 5, 'c', 'l', 'R',  'e',  'd', 0,
                           0xAA, 0xBB, 0xCC, 5,   0,   0, 0, 0, 0, 0,   0,   0x80, 0xFF, 0x3F}));

  // 255 characters still fit the short form; 256 take tag 12 and a 32-bit length.
  TBytes Short = Written([](TValueWriter &W) { W.WriteString(std::string(255, 'x')); });
  ASSERT_EQ(Short.size(), 2u + 255u);
  EXPECT_EQ(Short[0], 6);
  EXPECT_EQ(Short[1], 255);
  TBytes Long = Written([](TValueWriter &W) { W.WriteString(std::string(256, 'y')); });
  ASSERT_EQ(Long.size(), 5u + 256u);
  EXPECT_EQ((TBytes(Long.begin(), Long.begin() + 5)), (TBytes{12, 0x00, 0x01, 0, 0}));
}

TEST(ValueStream, ReaderReadsHandAssembledValues) {
  TBytes Bytes = {1,   2,  0xFF, 3, 0x00, 0x80, 4,   0x78, 0x56, 0x34, 0x12, 6,    3,   'a',  'b',
                  'c', 12, 2,    0, 0,    0,    'h', 'i',  8,    9,    7,    2,    'o', 'k',  2,
                  14,  5,  0,    0, 0,    0,    0,   0,    0,    0xA0, 2,    0x40, 0,   0x11, 0x22};
  TReadOnlyMemoryStream Stream(Bytes.data(), Bytes.size());
  TValueReader Reader(Stream);
  Reader.ReadListBegin();
  EXPECT_FALSE(Reader.EndOfList());
  EXPECT_EQ(Reader.ReadInteger(), -1);
  EXPECT_EQ(Reader.ReadInteger(), -32768);
  EXPECT_EQ(Reader.ReadInteger(), 0x12345678);
  EXPECT_EQ(Reader.ReadString(), "abc");
  EXPECT_EQ(Reader.ReadString(), "hi");
  EXPECT_FALSE(Reader.ReadBoolean());
  EXPECT_TRUE(Reader.ReadBoolean());
  EXPECT_EQ(Reader.ReadIdent(), "ok");
  EXPECT_EQ(Reader.ReadCount(), 14); // exactly the bytes that follow
  EXPECT_EQ(Reader.ReadFloat(), 10.0);
  EXPECT_TRUE(Reader.EndOfList());
  Reader.ReadListEnd();
  std::uint8_t Raw[2];
  Reader.Read(Raw, 2);
  EXPECT_EQ(Raw[0], 0x11);
  EXPECT_EQ(Raw[1], 0x22);
  EXPECT_EQ(Reader.Remaining(), 0);
  EXPECT_THROW(Reader.ReadValue(), EReadError);
}

TEST(ValueStream, ReaderRejectsMalformedInputWithoutAllocatingForIt) {
  auto Fails = [](TBytes ABytes, auto ARead) {
    TReadOnlyMemoryStream Stream(ABytes.data(), ABytes.size());
    TValueReader Reader(Stream);
    EXPECT_THROW(ARead(Reader), EReadError);
  };
  // Wrong tag for the value asked for.
  Fails({6, 1, 'x'}, [](TValueReader &R) { R.ReadInteger(); });
  Fails({2, 1}, [](TValueReader &R) { R.ReadString(); });
  Fails({2, 1}, [](TValueReader &R) { R.ReadBoolean(); });
  Fails({6, 1, 'x'}, [](TValueReader &R) { R.ReadIdent(); });
  Fails({4, 0, 0, 0, 0}, [](TValueReader &R) { R.ReadFloat(); });
  Fails({0}, [](TValueReader &R) { R.ReadListBegin(); });
  Fails({1}, [](TValueReader &R) { R.ReadListEnd(); });
  // Tags beyond the last one defined.
  Fails({15}, [](TValueReader &R) { R.ReadValue(); });
  Fails({0xFF}, [](TValueReader &R) { R.NextValue(); });
  // Truncated payloads.
  Fails({}, [](TValueReader &R) { R.ReadInteger(); });
  Fails({3, 1}, [](TValueReader &R) { R.ReadInteger(); });
  Fails({4, 1, 2, 3}, [](TValueReader &R) { R.ReadInteger(); });
  Fails({6, 5, 'a', 'b'}, [](TValueReader &R) { R.ReadString(); });
  Fails({5, 0, 0, 0}, [](TValueReader &R) { R.ReadFloat(); });
  Fails({}, [](TValueReader &R) { R.EndOfList(); });
  // A long string claiming 4 GB in a stream of a few bytes fails before any allocation.
  Fails({12, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}, [](TValueReader &R) { R.ReadString(); });
  Fails({12, 0xFF, 0xFF, 0xFF}, [](TValueReader &R) { R.ReadString(); });
  // Counts that could not be followed by that many values.
  Fails({2, 5, 6, 0, 6, 0}, [](TValueReader &R) { R.ReadCount(); });
  Fails({2, 0xFF}, [](TValueReader &R) { R.ReadCount(); });
  Fails({4, 0, 0, 0, 0x40}, [](TValueReader &R) { R.ReadCount(); });
  Fails({'T', 'P', 'F', '1'}, [](TValueReader &R) { R.ReadSignature(); });
  Fails({'T', 'P'}, [](TValueReader &R) { R.ReadSignature(); });
}

TEST(ValueStream, ValuesCrossTheBufferBoundaryIntact) {
  // Enough values that several land across the 4096-byte buffer edges on both sides.
  TBytes Bytes = Written([](TValueWriter &W) {
    for (int I = 0; I < 3000; ++I) {
      W.WriteInteger(I * 977 - 1000000);
      W.WriteString(std::string(std::size_t(I % 300), char('a' + I % 26)));
      W.WriteFloat(I / 7.0);
    }
  });
  TReadOnlyMemoryStream Stream(Bytes.data(), Bytes.size());
  TValueReader Reader(Stream);
  for (int I = 0; I < 3000; ++I) {
    ASSERT_EQ(Reader.ReadInteger(), I * 977 - 1000000);
    ASSERT_EQ(Reader.ReadString(), std::string(std::size_t(I % 300), char('a' + I % 26)));
    ASSERT_EQ(Reader.ReadFloat(), I / 7.0);
  }
  EXPECT_EQ(Reader.Remaining(), 0);
}

TEST(ExtendedFloat, ExactValuesHaveTheirKnownBytes) {
  EXPECT_EQ(DoubleToExtended(1.0), Extended(0x8000000000000000u, 0x3FFF));
  EXPECT_EQ(DoubleToExtended(10.0), Extended(0xA000000000000000u, 0x4002));
  EXPECT_EQ(DoubleToExtended(-2.5), Extended(0xA000000000000000u, 0xC000));
  EXPECT_EQ(DoubleToExtended(0.5), Extended(0x8000000000000000u, 0x3FFE));
  EXPECT_EQ(DoubleToExtended(0.0), Extended(0, 0));
  EXPECT_EQ(DoubleToExtended(-0.0), Extended(0, 0x8000));
  EXPECT_EQ(DoubleToExtended(std::numeric_limits<double>::infinity()),
            Extended(0x8000000000000000u, 0x7FFF));
  // The double 0.1 is 0x3FB999999999999A: its 53 bits followed by zeros.
  EXPECT_EQ(DoubleToExtended(0.1), Extended(0xCCCCCCCCCCCCD000u, 0x3FFB));
  // The smallest subnormal double, 2^-1074, is a normal extended.
  EXPECT_EQ(DoubleToExtended(Bits(1)), Extended(0x8000000000000000u, 16383 - 1074));
  EXPECT_EQ(DoubleToExtended(Bits(3)), Extended(0xC000000000000000u, 16383 - 1073));
  EXPECT_EQ(DoubleToExtended(std::numeric_limits<double>::max()),
            Extended(0xFFFFFFFFFFFFF800u, 16383 + 1023));
}

TEST(ExtendedFloat, EveryDoubleSurvivesTheRoundTrip) {
  std::mt19937_64 Random(12345);
  for (int I = 0; I < 200000; ++I) {
    double Value = Bits(Random());
    double Back = ExtendedToDouble(DoubleToExtended(Value));
    if (std::isnan(Value))
      ASSERT_TRUE(std::isnan(Back));
    else
      ASSERT_EQ(std::bit_cast<std::uint64_t>(Back), std::bit_cast<std::uint64_t>(Value)) << Value;
  }
  for (std::uint64_t Special : std::initializer_list<std::uint64_t>{
           0x0000000000000001u, 0x000FFFFFFFFFFFFFu, 0x0010000000000000u, 0x7FEFFFFFFFFFFFFFu,
           0x8000000000000000u, 0xFFF0000000000000u})
    EXPECT_EQ(std::bit_cast<std::uint64_t>(ExtendedToDouble(DoubleToExtended(Bits(Special)))),
              Special);
}

TEST(ExtendedFloat, InexactValuesRoundToNearestEven) {
  // The extended 0.1 carries 64 bits of 0.1; the nearest double is the usual 0.1.
  EXPECT_EQ(ExtendedToDouble(Extended(0xCCCCCCCCCCCCCCCDu, 0x3FFB)), 0.1);
  // 1 + 2^-53 lies halfway between 1 and the next double: ties go to the even 1.
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000400u, 0x3FFF)), 1.0);
  // 1 + 3 * 2^-53 is halfway too; the even neighbour is above.
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000C00u, 0x3FFF)), 1.0 + std::ldexp(1.0, -51));
  // Just above halfway rounds up, just below rounds down.
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000401u, 0x3FFF)), 1.0 + std::ldexp(1.0, -52));
  EXPECT_EQ(ExtendedToDouble(Extended(0x80000000000003FFu, 0x3FFF)), 1.0);
  // Rounding up the largest mantissa carries into the exponent.
  EXPECT_EQ(ExtendedToDouble(Extended(0xFFFFFFFFFFFFFFFFu, 0x3FFF)), 2.0);
  EXPECT_EQ(ExtendedToDouble(Extended(0xFFFFFFFFFFFFFFFFu, 0xBFFF)), -2.0);
}

TEST(ExtendedFloat, OutOfRangeValuesOverflowAndUnderflow) {
  const double Inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000000u, 16383 + 1024)), Inf);
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000000u, 0xFFFE)), -Inf);
  // Rounds up past the largest double.
  EXPECT_EQ(ExtendedToDouble(Extended(0xFFFFFFFFFFFFFFFFu, 16383 + 1023)), Inf);
  // The largest double itself stays.
  EXPECT_EQ(ExtendedToDouble(Extended(0xFFFFFFFFFFFFF800u, 16383 + 1023)),
            std::numeric_limits<double>::max());
  // Below the subnormals: 2^-1075 is exactly half the smallest subnormal, a tie towards 0.
  EXPECT_EQ(
      std::bit_cast<std::uint64_t>(ExtendedToDouble(Extended(0x8000000000000000u, 16383 - 1075))),
      0u);
  EXPECT_EQ(
      std::bit_cast<std::uint64_t>(ExtendedToDouble(Extended(0x8000000000000001u, 16383 - 1075))),
      1u);
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000000u, 1)), 0.0);
  // 1.5 smallest subnormals: a tie between 1 and 2 units goes to the even 2.
  EXPECT_EQ(
      std::bit_cast<std::uint64_t>(ExtendedToDouble(Extended(0xC000000000000000u, 16383 - 1074))),
      2u);
  // The largest subnormal rounding up becomes the smallest normal.
  EXPECT_EQ(ExtendedToDouble(Extended(0xFFFFFFFFFFFFFFFFu, 16383 - 1023)),
            std::numeric_limits<double>::min());
  // Extended denormals and zero.
  EXPECT_EQ(ExtendedToDouble(Extended(0x4000000000000000u, 0)), 0.0);
  EXPECT_TRUE(std::signbit(ExtendedToDouble(Extended(0, 0x8000))));
  // Infinity and NaN.
  EXPECT_EQ(ExtendedToDouble(Extended(0x8000000000000000u, 0x7FFF)), Inf);
  EXPECT_TRUE(std::isnan(ExtendedToDouble(Extended(0xC000000000000000u, 0x7FFF))));
  EXPECT_TRUE(std::isnan(ExtendedToDouble(Extended(0x8000000000000001u, 0x7FFF))));
}
