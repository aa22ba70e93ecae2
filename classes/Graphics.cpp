// Conversions between stored colour values and font style sets and their Qt forms.
#include "classes/Graphics.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

// The platform's system colour indexes mapped onto Qt's palette roles.
QColor SystemColor(unsigned AIndex) {
  QPalette Palette = QGuiApplication::palette();
  switch (AIndex) {
  case 5: // window background
    return Palette.color(QPalette::Base);
  case 8:  // window text
  case 18: // button text
    return Palette.color(QPalette::Text);
  case 12: // application workspace
    return Palette.color(QPalette::Dark);
  case 13: // highlight
    return Palette.color(QPalette::Highlight);
  case 14: // highlight text
    return Palette.color(QPalette::HighlightedText);
  case 15: // button face
    return Palette.color(QPalette::Button);
  case 16: // button shadow
    return Palette.color(QPalette::Mid);
  case 20: // button highlight
    return Palette.color(QPalette::Light);
  default:
    return Palette.color(QPalette::Window);
  }
}

} // namespace

QColor ColorToQColor(TColor AColor) {
  if (AColor & clSystemColor)
    return SystemColor(AColor & 0xFF);
  return QColor(AColor & 0xFF, (AColor >> 8) & 0xFF, (AColor >> 16) & 0xFF);
}

TColor QColorToColor(const QColor &AColor) {
  return TColor(AColor.red()) | (TColor(AColor.green()) << 8) | (TColor(AColor.blue()) << 16);
}

void ApplyFontStyles(QFont &AFont, TFontStyles AStyles) {
  AFont.setBold(AStyles & fsBold);
  AFont.setItalic(AStyles & fsItalic);
  AFont.setUnderline(AStyles & fsUnderline);
  AFont.setStrikeOut(AStyles & fsStrikeOut);
}

TFontStyles FontStylesOf(const QFont &AFont) {
  return (AFont.bold() ? fsBold : 0) | (AFont.italic() ? fsItalic : 0) |
         (AFont.underline() ? fsUnderline : 0) | (AFont.strikeOut() ? fsStrikeOut : 0);
}
