// The editor's text model: lines, caret, anchor, flags and every editing operation, window-free.
#pragma once

#include "controls/PTEditLines.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

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

// One primitive change of the text: at APos (a position within its line) the bytes Removed
// made way for Inserted; in both, line breaks are single LF bytes.
struct TUndoEdit {
  TEditPos Pos;
  std::string Removed;
  std::string Inserted;
};

// One step of the history: the changes of one command, or of a run of typing and deleting at
// one place, with the caret and selection before and after them.
struct TUndoStep {
  std::vector<TUndoEdit> Edits;
  TEditPos CaretBefore, AnchorBefore, CaretAfter, AnchorAfter;
  bool Typing = false;
  std::int64_t Time = 0; // of the last change, in milliseconds
  std::size_t Bytes = 0; // memory held
};

class TPTEditModel {
public:
  // Default bound of the undo history's memory.
  static constexpr std::size_t DefaultUndoLimit = std::size_t(128) << 20;
  // Typing after a pause this long starts a new undo step.
  static constexpr std::int64_t TypingPause = 1000;

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
  // False marks the text as saved: undoing or redoing back to this point shows it unmodified.
  void SetModified(bool AValue);
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
  // The text from AStart to AEnd (positions past a line's end count from that end), the lines
  // joined by ABreak.
  std::string RangeText(TEditPos AStart, TEditPos AEnd, std::string_view ABreak) const;

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

  // Replaces every match of ASearch (see FindText) from the caret to the end of the text; the
  // caret ends after the last replacement. Returns the number of replacements.
  int ReplaceAll(std::string_view ASearch, std::string_view AReplacement, int AOptions);

  // ---- Undo history ----
  // Every change of the text is recorded; changes between BeginUndoStep and EndUndoStep (pairs
  // may nest) undo as one step, and so does a run of typing and deleting at one place that no
  // caret move, line break or pause interrupts.
  void BeginUndoStep(bool ATyping = false);
  void EndUndoStep();
  // The next change starts a new step.
  void SealUndoStep() { FSealed = true; }
  bool CanUndo() const { return !FReadOnly && FDone > 0; }
  bool CanRedo() const { return !FReadOnly && FDone < FSteps.size(); }
  // Each restores the text, caret and selection of its step and scrolls the caret into view.
  bool Undo();
  bool Redo();
  // Forgets the history (after the owner replaced the whole text); the text counts as saved.
  void ClearUndo();
  // The history's memory bound: the oldest steps go first when it is exceeded.
  std::size_t UndoLimit() const { return FUndoLimit; }
  void SetUndoLimit(std::size_t ABytes);
  std::size_t UndoMemory() const { return FUndoBytes; }
  std::size_t UndoCount() const { return FDone; }
  std::size_t RedoCount() const { return FSteps.size() - FDone; }
  // The clock that times pauses in typing (milliseconds); tests set their own.
  void SetUndoClock(std::int64_t (*AClock)()) { FClock = AClock; }

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
  // Records one change; called before the lines change, with the position inside its line.
  void Record(TEditPos APos, std::string_view ARemoved, std::string_view AInserted);
  // Records the change of line AIndex from AOld to ANew as the span that differs.
  void RecordLine(int AIndex, std::string_view AOld, std::string_view ANew);
  // Replaces the text ARemoved (its length and breaks) at APos by AInserted, unrecorded; the
  // owner repaints.
  void ApplyEdit(TEditPos APos, std::string_view ARemoved, std::string_view AInserted);
  void DropRedo();
  void TrimUndo();
  void Restore(TEditPos ACaret, TEditPos AAnchor);
  struct TUndoScope {
    TPTEditModel &Model;
    TUndoScope(TPTEditModel &AModel, bool ATyping) : Model(AModel) { Model.BeginUndoStep(ATyping); }
    ~TUndoScope() { Model.EndUndoStep(); }
  };
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

  std::deque<TUndoStep> FSteps;
  std::size_t FDone = 0;       // steps [0, FDone) are done, the rest can be redone
  std::int64_t FSavedStep = 0; // FDone when the text was saved; -1 when no longer reachable
  std::size_t FUndoBytes = 0;
  std::size_t FUndoLimit = DefaultUndoLimit;
  int FStepDepth = 0;
  bool FStepTyping = false;
  bool FStepStarted = false; // the open step has recorded a change
  bool FSealed = true;
  bool FApplying = false; // undo or redo is changing the text
  TEditPos FStepCaret, FStepAnchor;
  std::int64_t (*FClock)() = nullptr;
};
