// The editor's text model: lines, caret, anchor, flags and every editing operation, window-free.
#pragma once

#include "controls/PTEditLines.h"

#include <cstdint>
#include <string>
#include <string_view>

// Shift state of an input event.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;

// Key codes the editor acts on (the platform's named keys are mapped onto these).
constexpr int vkBack = 8, vkTab = 9, vkReturn = 13, vkEscape = 27, vkPrior = 33, vkNext = 34,
              vkEnd = 35, vkHome = 36, vkLeft = 37, vkUp = 38, vkRight = 39, vkDown = 40,
              vkInsert = 45, vkDelete = 46;

// FindText options.
constexpr int frWholeWord = 1, frMatchCase = 2;

// A text position: 1-based column, 0-based line.
struct TEditPos {
  int X = 1;
  int Y = 0;
  bool operator==(const TEditPos &) const = default;
  bool operator<(const TEditPos &AOther) const {
    return Y != AOther.Y ? Y < AOther.Y : X < AOther.X;
  }
};

// Word delimiters: blanks and the printable punctuation except "$", "?" and "_".
bool IsDelimiter(unsigned char AChar);
// Blanks: tab, line feed, carriage return and space.
inline bool IsBlank(unsigned char AChar) {
  return AChar == 9 || AChar == 10 || AChar == 13 || AChar == 32;
}

// What the model asks of whoever shows it. Every hook has a do-nothing default so that the
// model runs without a window; the widget implements them with pixels.
class TPTEditView {
public:
  virtual ~TPTEditView() = default;
  // Mark the rows of lines AFirst..ALast for repaint.
  virtual void InvalidateLines(int AFirst, int ALast) { (void)AFirst, (void)ALast; }
  // Lines were inserted (ACount > 0) or removed (ACount < 0) just above line AFirstLine: move
  // the pixels of the rows from that line's row to the bottom by ACount rows.
  virtual void ShiftRows(int AFirstLine, int ACount) { (void)AFirstLine, (void)ACount; }
  virtual void InvalidateAll() {}
  virtual void ScrollToCaret() {}
  // Recompute the caret's screen position (the model has clamped the caret line already).
  virtual void UpdateCaret() {}
  // The line's format list exists and is empty: let the owner fill it.
  virtual void FormatLineRequest(int AIndex) { (void)AIndex; }
  virtual int TopLine() const { return 0; }
  virtual int VisibleLines() const { return 1; }
  // Scroll the view so that ATopLine is shown in the first row.
  virtual void SetTopLine(int ATopLine) { (void)ATopLine; }
  virtual std::string ClipboardText();
  virtual void SetClipboardText(const std::string &AText);
  virtual void TabSizeChanged() { InvalidateAll(); }
};

class TPTEditModel {
public:
  // Virtual space ends at this column, so that no key or setter can make a line padded to an
  // absurd length. A longer line reaches to its own end (see ColumnLimit).
  static constexpr int MaxColumn = 1 << 20;

  explicit TPTEditModel(TPTEditView *AView = nullptr);
  void SetView(TPTEditView *AView) { FView = AView ? AView : &FNoView; }

  TEditLines &Lines() { return FLines; }
  const TEditLines &Lines() const { return FLines; }

  bool AutoIndent() const { return FAutoIndent; }
  void SetAutoIndent(bool AValue) { FAutoIndent = AValue; }
  bool BackspaceUnindents() const { return FBackspaceUnindents; }
  void SetBackspaceUnindents(bool AValue) { FBackspaceUnindents = AValue; }
  bool InsertMode() const { return FInsertMode; }
  void SetInsertMode(bool AValue) { FInsertMode = AValue; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue) { FReadOnly = AValue; }
  bool Modified() const { return FModified; }
  void SetModified(bool AValue) { FModified = AValue; }
  int TabSize() const { return FTabSize; }
  void SetTabSize(int AValue);

  int CaretX() const { return FCaret.X; }
  int CaretY() const { return FCaret.Y; }
  TEditPos Caret() const { return FCaret; }
  TEditPos Anchor() const { return FAnchor; }
  // Caret moves; the anchor stays (no repaint, no scrolling).
  void SetCaretX(int AValue);
  void SetCaretY(int AValue);
  // The last column the caret may take on a line: MaxColumn, or the line's end when that lies
  // further right, so every character of a real line can be reached and edited.
  int ColumnLimit(int ALine) const;
  // Caret and anchor to a position (line into Lines, column clamped to 1..ColumnLimit).
  void SetCaretAndAnchor(TEditPos APos);
  void MoveCaret(TEditPos APos);

  // Normalised selection.
  TEditPos SelectionStart() const { return FCaret < FAnchor ? FCaret : FAnchor; }
  TEditPos SelectionEnd() const { return FCaret < FAnchor ? FAnchor : FCaret; }
  bool SelectionEmpty() const { return FCaret == FAnchor; }
  bool IsSelected(int AColumn, int ALine) const;
  std::string SelectedText() const;

  int SelStart() const;
  void SetSelStart(int AValue);
  int SelLength() const;
  void SetSelLength(int AValue);

  void InsertText(std::string_view AText);
  void ClearSelection();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  void SelectAll();
  int FindText(std::string_view ASearch, int AStart, int ALimit, int AOptions) const;
  void FormatLine(int AIndex);

  // The single edits that keys and characters make.
  void TypeChar(unsigned char AChar);
  void SplitLine();
  void Backspace();
  void DeleteChar();

  // Keyboard input: a key press with its shift state, a typed character (one byte).
  void KeyDown(int AKey, TShiftState AShift);
  void KeyPress(unsigned char AChar);
  void WordLeft();
  void WordRight();

  // Offsets count each line break as two characters.
  std::int64_t PosToOffset(TEditPos APos) const;
  TEditPos OffsetToPos(std::int64_t AOffset) const;
  // The position ACount characters after APos (a count ending inside a break gives its line's end).
  TEditPos Advance(TEditPos APos, std::int64_t ACount) const;

  // Repaint requests around a selection change.
  void RepaintSelectionChange(TEditPos AOldStart, TEditPos AOldEnd);
  void RepaintOldSelection();
  // Brings the caret line into Lines, then asks the view to place the caret.
  void UpdateCaret();
  // An owner may leave Lines empty; the model then works on one empty line.
  void EnsureLine();

private:
  void ClampCaret();
  void Changed() {
    FModified = true;
    FAnchor = FCaret;
  }
  int LineLength(int AIndex) const { return FLines.Length(AIndex); }
  int IndentWidth(std::string_view ALine, int AColumns) const;

  TPTEditView FNoView;
  TPTEditView *FView;
  TEditLines FLines;
  TEditPos FCaret;
  TEditPos FAnchor;
  bool FAutoIndent = false;
  bool FBackspaceUnindents = false;
  bool FInsertMode = true;
  bool FReadOnly = false;
  bool FModified = false;
  int FTabSize = 8;
};
