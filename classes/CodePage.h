// Text bytes at the widget edge: the Windows Latin code page (1252), in which scripts written on
// Windows store their quotes, dashes and the euro sign. Bytes stay bytes in the text and in
// files; only what is shown, typed and exchanged with the clipboard goes through these.
#pragma once

#include <QChar>
#include <QString>
#include <string>
#include <string_view>

// The character a byte shows. Bytes 0x80-0x9F are the code page's; the five it leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) and every other byte are the Latin-1 character.
QChar AnsiToChar(unsigned char AByte);
QString AnsiToQString(std::string_view AText);

// The byte of a character, or -1 when the code page has none.
int CharToAnsi(QChar AChar);
// Characters without a byte become AReplacement.
std::string QStringToAnsi(const QString &AText, char AReplacement = '?');
