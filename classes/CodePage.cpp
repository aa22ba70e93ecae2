// The Windows Latin code page (1252) at the widget edge.
#include "classes/CodePage.h"

namespace {

// 0x80-0x9F; zero where the code page defines no character.
constexpr char16_t HighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,      // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178, // 98-9F
};

} // namespace

QChar AnsiToChar(unsigned char AByte) {
  if (AByte >= 0x80 && AByte <= 0x9F && HighControls[AByte - 0x80])
    return QChar(HighControls[AByte - 0x80]);
  return QChar(char16_t(AByte));
}

QString AnsiToQString(std::string_view AText) {
  QString Result(qsizetype(AText.size()), Qt::Uninitialized);
  QChar *Out = Result.data();
  for (char C : AText)
    *Out++ = AnsiToChar(static_cast<unsigned char>(C));
  return Result;
}

int CharToAnsi(QChar AChar) {
  const char16_t Code = AChar.unicode();
  if (Code < 0x80 || (Code >= 0xA0 && Code <= 0xFF))
    return Code;
  for (int I = 0; I < 32; ++I)
    if (HighControls[I] ? HighControls[I] == Code : Code == 0x80 + I)
      return 0x80 + I;
  return -1;
}

std::string QStringToAnsi(const QString &AText, char AReplacement) {
  std::string Result;
  Result.reserve(std::size_t(AText.size()));
  for (qsizetype I = 0; I < AText.size(); ++I) {
    const QChar C = AText[I];
    // A character beyond the basic plane is one character, not two replacements.
    if (C.isHighSurrogate() && I + 1 < AText.size() && AText[I + 1].isLowSurrogate())
      ++I;
    const int Byte = CharToAnsi(C);
    Result.push_back(Byte < 0 ? AReplacement : static_cast<char>(Byte));
  }
  return Result;
}
