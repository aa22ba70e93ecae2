// Text styles and format records of the editor control: how a coloured run is painted.
#pragma once

#include "classes/Graphics.h"

#include <QFont>
#include <memory>
#include <optional>
#include <vector>

// One style triple. The cached font is the editor font with Foreground and Style applied;
// it is built on first use and dropped whenever the style or the editor font changes.
class TTextStyle {
public:
  TTextStyle() = default;
  TTextStyle(TColor AForeground, TColor ABackground, TFontStyles AStyle)
      : FForeground(AForeground), FBackground(ABackground), FStyle(AStyle) {}
  TTextStyle(const TTextStyle &AOther) { Assign(AOther); }
  TTextStyle &operator=(const TTextStyle &AOther) {
    Assign(AOther);
    return *this;
  }

  TColor Foreground() const { return FForeground; }
  void SetForeground(TColor AValue) {
    FForeground = AValue;
    DropFont();
  }
  TColor Background() const { return FBackground; }
  void SetBackground(TColor AValue) { FBackground = AValue; }
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles AValue) {
    FStyle = AValue;
    DropFont();
  }

  // Copies the three published values and drops the cached font.
  void Assign(const TTextStyle &AOther) {
    FForeground = AOther.FForeground;
    FBackground = AOther.FBackground;
    FStyle = AOther.FStyle;
    DropFont();
  }
  bool operator==(const TTextStyle &AOther) const {
    return FForeground == AOther.FForeground && FBackground == AOther.FBackground &&
           FStyle == AOther.FStyle;
  }

  // The font to paint this style with, built from the editor font on first use.
  const QFont &CachedFont(const QFont &AEditorFont) const {
    if (!FCachedFont) {
      QFont Font = AEditorFont;
      ApplyFontStyles(Font, FStyle);
      FCachedFont = Font;
    }
    return *FCachedFont;
  }
  void DropFont() const { FCachedFont.reset(); }

private:
  TColor FForeground = clDefault;
  TColor FBackground = clDefault;
  TFontStyles FStyle = 0;
  mutable std::optional<QFont> FCachedFont;
};

// The style collection; item 0 is the selection style.
using TTextStyles = std::vector<TTextStyle>;

// One coloured run of a line: 1-based start column, length in characters, style index.
struct TFormatRecord {
  int Start = 0;
  int Length = 0;
  int StyleIndex = 0;
};

// A line's format list; a line without one has not been formatted yet.
using TFormatList = std::vector<TFormatRecord>;
