// Colour values and font style sets as the program stores them, and their Qt counterparts.
#pragma once

#include <QColor>
#include <QFont>
#include <cstdint>

// 0x00BBGGRR is an RGB colour (red in the low byte); 0x80000000 + n is system colour n;
// clDefault stands, in a text style, for the editor's own colour.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clDefault = 0x20000000, clSystemColor = 0x80000000;

// The system colours the program uses (0x80000000 + the platform's index).
constexpr TColor clAppWorkSpace = clSystemColor + 12, clWindow = clSystemColor + 5,
                 clWindowText = clSystemColor + 8, clBtnFace = clSystemColor + 15;

// Font style set: bold 1, italic 2, underline 4, strike-out 8.
using TFontStyles = std::uint8_t;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

// The Qt colour of a stored colour value; system colours come from the application palette.
// clDefault has no colour of its own: callers resolve it before asking.
QColor ColorToQColor(TColor AColor);
TColor QColorToColor(const QColor &AColor);

// Applies a font style set to a font (bold, italic, underline, strike-out).
void ApplyFontStyles(QFont &AFont, TFontStyles AStyles);
TFontStyles FontStylesOf(const QFont &AFont);
