// The Windows Latin code page at the widget edge: every byte has a character and comes back.
#include "classes/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, EveryByteShowsAsACharacterAndConvertsBack) {
  std::string All;
  for (int Byte = 0; Byte < 256; ++Byte)
    All.push_back(static_cast<char>(Byte));
  const QString Shown = AnsiToQString(All);
  ASSERT_EQ(Shown.size(), 256);
  EXPECT_EQ(QStringToAnsi(Shown), All); // lossless both ways
  // The code page's own characters where Latin-1 has only controls.
  EXPECT_EQ(AnsiToChar(0x80), QChar(0x20AC)); // euro sign
  EXPECT_EQ(AnsiToChar(0x93), QChar(0x201C)); // left double quotation mark
  EXPECT_EQ(AnsiToChar(0x94), QChar(0x201D));
  EXPECT_EQ(AnsiToChar(0x96), QChar(0x2013)); // en dash
  EXPECT_EQ(AnsiToChar(0x97), QChar(0x2014)); // em dash
  EXPECT_EQ(AnsiToChar(0x9F), QChar(0x0178));
  // The five bytes the code page leaves undefined, and the rest, stand for themselves.
  for (int Byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x41, 0xE9, 0xFF, 0x0A})
    EXPECT_EQ(AnsiToChar(static_cast<unsigned char>(Byte)), QChar(char16_t(Byte))) << Byte;
  // Characters without a byte become the replacement, one per character.
  EXPECT_EQ(CharToAnsi(QChar(0x0080)), -1); // its byte shows the euro sign
  EXPECT_EQ(CharToAnsi(QChar(0x4E2D)), -1);
  EXPECT_EQ(QStringToAnsi(QString::fromUtf8("a\u4E2D\U0001F600b"), '?'), "a??b");
  EXPECT_EQ(QStringToAnsi(QString::fromUtf8("\u20AC\u2122"), '?'), "\x80\x99");
}
