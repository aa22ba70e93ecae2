// The streamable font: name, size in points, style set, colour and pitch, with its Qt form.
#pragma once

#include "classes/ComponentStream.h"
#include "classes/Graphics.h"

#include <QFont>
#include <string>

enum class TFontPitch { fpDefault, fpVariable, fpFixed };

// A value type: copying a font copies all of it.
class TFont {
public:
  TFont() = default;
  TFont(std::string AName, int ASize) : FName(std::move(AName)), FSize(ASize) {}

  const std::string &Name() const { return FName; }
  void SetName(const std::string &AValue) { FName = AValue; }
  int Size() const { return FSize; }
  void SetSize(int AValue) { FSize = AValue; }
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles AValue) { FStyle = AValue; }
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue) { FColor = AValue; }
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch AValue) { FPitch = AValue; }

  void Assign(const TFont &AOther) { *this = AOther; }
  bool operator==(const TFont &AOther) const = default;

  // Name, point size, style bits and pitch; the colour has no place in a QFont.
  QFont ToQFont() const;
  // Takes name, size, styles and pitch from a Qt font (a font dialog's answer); keeps the colour.
  void AssignQFont(const QFont &AFont);

  // Name, Size, Style, Color, Pitch; the defaults are those of a font created without values.
  static const TClassProperties &Properties();

private:
  std::string FName = "MS Sans Serif";
  int FSize = 8;
  TFontStyles FStyle = 0;
  TColor FColor = clWindowText;
  TFontPitch FPitch = TFontPitch::fpDefault;
};
