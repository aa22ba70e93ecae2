// The streamable font and its conversion to and from Qt's.
#include "classes/Font.h"

QFont TFont::ToQFont() const {
  QFont Result(QString::fromLatin1(FName.c_str()));
  if (FSize > 0)
    Result.setPointSize(FSize);
  ApplyFontStyles(Result, FStyle);
  if (FPitch == TFontPitch::fpFixed) {
    Result.setFixedPitch(true);
    Result.setStyleHint(QFont::TypeWriter);
  }
  return Result;
}

void TFont::AssignQFont(const QFont &AFont) {
  FName = AFont.family().toLatin1().toStdString();
  if (AFont.pointSize() > 0)
    FSize = AFont.pointSize();
  FStyle = FontStylesOf(AFont);
  FPitch = AFont.fixedPitch() ? TFontPitch::fpFixed : TFontPitch::fpDefault;
}

const TClassProperties &TFont::Properties() {
  static const TClassProperties Description = [] {
    TClassProperties Class("TFont");
    const TFont Defaults;
    TClassProperties::Of<TFont> P(Class);
    P.String("Name", &TFont::Name, &TFont::SetName, Defaults.Name());
    // A size the toolkit cannot draw is as foreign as an unknown property.
    TPropertyInfo &Size = P.Integer("Size", &TFont::Size, &TFont::SetSize, Defaults.Size());
    Size.Minimum = 1;
    Size.Maximum = 4096;
    P.Set("Style", &TFont::Style, &TFont::SetStyle,
          {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, Defaults.Style());
    P.Color("Color", &TFont::Color, &TFont::SetColor, Defaults.Color());
    P.Enumeration("Pitch", &TFont::Pitch, &TFont::SetPitch, {"fpDefault", "fpVariable", "fpFixed"},
                  std::optional(Defaults.Pitch()));
    return Class;
  }();
  return Description;
}
