// The plain-text editor control: paints the text model with per-line coloured runs and routes
// input.
#pragma once

#include "classes/AlignedLayout.h"
#include "classes/Component.h"
#include "classes/Events.h"
#include "classes/Graphics.h"
#include "controls/PTEditModel.h"
#include "controls/PTEditStyles.h"

#include <QRegion>
#include <QWidget>
#include <algorithm>
#include <vector>

class QScrollBar;

// Sender, line index: the owner appends the line's coloured runs to Lines().Objects(AIndex).
using TFormatEvent = TEvent<TObject *, int>;

// Scroll bar commands.
enum TScrollCode {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scPosition,
  scTrack,
  scTop,
  scBottom,
  scEndScroll
};

class TPlainTextEdit : public QWidget, private TPTEditView {
  Q_OBJECT

public:
  // The horizontal scroll range in pixels: long lines scroll this far and no further.
  static constexpr int HorzRange = 7500;

  explicit TPlainTextEdit(QWidget *AParent = nullptr);
  ~TPlainTextEdit() override;

  TPTEditModel &Model() { return FModel; }
  const TPTEditModel &Model() const { return FModel; }

  // Published properties.
  bool AutoIndent() const { return FModel.AutoIndent(); }
  void SetAutoIndent(bool AValue) { FModel.SetAutoIndent(AValue); }
  bool BackspaceUnindents() const { return FModel.BackspaceUnindents(); }
  void SetBackspaceUnindents(bool AValue) { FModel.SetBackspaceUnindents(AValue); }
  bool InsertMode() const { return FModel.InsertMode(); }
  void SetInsertMode(bool AValue) { FModel.SetInsertMode(AValue); }
  bool ReadOnly() const { return FModel.ReadOnly(); }
  void SetReadOnly(bool AValue) { FModel.SetReadOnly(AValue); }
  int TabSize() const { return FModel.TabSize(); }
  void SetTabSize(int AValue) { FModel.SetTabSize(AValue); }
  int LeftMargin() const { return FLeftMargin; }
  void SetLeftMargin(int AValue);
  // Line numbers in a gutter between the margin and the text, as wide as the line count's
  // digits; a click on a number selects its line.
  bool LineNumbers() const { return FLineNumbers; }
  void SetLineNumbers(bool AValue);
  // Lines (0-based) that carry a mark at the left edge, such as the lines of errors.
  const std::vector<int> &MarkedLines() const { return FMarkedLines; }
  void SetMarkedLines(std::vector<int> ALines);
  // Where the text starts in client pixels: after the margin and the gutter.
  int TextLeft() const { return FTextLeft; }
  TEditLines &Lines() { return FModel.Lines(); }
  const TEditLines &Lines() const { return FModel.Lines(); }
  // The editor font (the widget's font): metrics, tab width and the styles' fonts follow it.
  QFont Font() const { return font(); }
  void SetFont(const QFont &AValue) { setFont(AValue); }
  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool AValue) { setFocusPolicy(AValue ? Qt::StrongFocus : Qt::ClickFocus); }
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  // The editor font's colour (the font itself is the widget's font()).
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor AValue);
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool AValue);
  TAlign Align() const { return AlignOf(this); }
  void SetAlign(TAlign AValue) { ::SetAlign(this, AValue); }
  TTextStyles &Styles() { return FStyles; }
  // Replaces all styles; the owner repaints afterwards.
  void SetStyles(const TTextStyles &AValue);

  TFormatEvent OnFormatLine;
  TNotifyEvent OnCaretPosChanged;

  // Public members.
  int CaretX() const { return FModel.CaretX(); }
  void SetCaretX(int AValue) { FModel.SetCaretX(AValue); }
  int CaretY() const { return FModel.CaretY(); }
  void SetCaretY(int AValue) { FModel.SetCaretY(AValue); }
  bool Modified() const { return FModel.Modified(); }
  void SetModified(bool AValue) { FModel.SetModified(AValue); }
  int SelStart() const { return FModel.SelStart(); }
  void SetSelStart(int AValue) { FModel.SetSelStart(AValue); }
  int SelLength() const { return FModel.SelLength(); }
  void SetSelLength(int AValue) { FModel.SetSelLength(AValue); }

  void InsertText(std::string_view AText) { FModel.InsertText(AText); }
  void ClearSelection() { FModel.ClearSelection(); }
  void CopyToClipboard() { FModel.CopyToClipboard(); }
  void CutToClipboard() { FModel.CutToClipboard(); }
  void PasteFromClipboard() { FModel.PasteFromClipboard(); }
  void SelectAll() { FModel.SelectAll(); }
  int FindText(std::string_view ASearch, int AStart, int ALimit, int AOptions) const {
    return FModel.FindText(ASearch, AStart, ALimit, AOptions);
  }
  void FormatLine(int AIndex) { FModel.FormatLine(AIndex); }

  // View.
  void UpdateCaret() override;
  void ScrollToCaret() override;
  void UpdateScrollBars();
  void InvalidateLine(int AIndex) { InvalidateLines(AIndex, AIndex); }
  // Repaints the whole control (after the owner replaced Lines or changed Styles).
  void Invalidate() { InvalidateAll(); }
  int TopLine() const override { return FTopLine; }
  int HorzOffset() const { return FHorzOffset; }
  // Scrolls the view by moving pixels, as the scroll bars do.
  void ScrollTo(int ATopLine, int AHorzOffset);
  int VisibleLines() const override;
  int LineHeight() const { return FLineHeight; }
  int AverageCharWidth() const { return FAverageCharWidth; }
  int MaxCharWidth() const { return FMaxCharWidth; }
  int TabWidth() const { return FTabWidth; }
  // The area that shows text and margin (the control less its border and scroll bars), in client
  // coordinates: (0, 0) is its top-left corner. Every pixel position of the editor (rows,
  // columns, the caret, mouse input) is in these coordinates.
  QRect ClientRect() const;
  // Width of the sunken edge: 2 with Ctl3D, else 0.
  int BorderWidth() const;
  // x(n, l): width of the first n characters of line l, tabs expanded, past the end as spaces.
  int TextX(int ALine, int AChars) const;
  // The caret bar in client pixels (2 pixels wide, one line tall) and whether it is shown.
  QRect CaretRect() const { return FCaretRect; }
  bool CaretShown() const { return FCaretShown; }
  QScrollBar *HorzScrollBar() const { return FHorzBar; }
  QScrollBar *VertScrollBar() const { return FVertBar; }

  // Input, as the platform layer delivers it (Windows key codes, single-byte characters).
  void KeyDown(int AKey, TShiftState AShift);
  void KeyPress(unsigned char AChar);
  void MouseDown(Qt::MouseButton AButton, TShiftState AShift, int AX, int AY);
  void MouseMove(TShiftState AShift, int AX, int AY);
  void MouseUp(Qt::MouseButton AButton, TShiftState AShift, int AX, int AY);
  void HorzScroll(TScrollCode ACode, int APos);
  void VertScroll(TScrollCode ACode, int APos);

protected:
  void paintEvent(QPaintEvent *AEvent) override;
  void resizeEvent(QResizeEvent *AEvent) override;
  void changeEvent(QEvent *AEvent) override;
  bool event(QEvent *AEvent) override;
  void keyPressEvent(QKeyEvent *AEvent) override;
  void mousePressEvent(QMouseEvent *AEvent) override;
  void mouseMoveEvent(QMouseEvent *AEvent) override;
  void mouseReleaseEvent(QMouseEvent *AEvent) override;
  void wheelEvent(QWheelEvent *AEvent) override;
  void focusInEvent(QFocusEvent *AEvent) override;
  void focusOutEvent(QFocusEvent *AEvent) override;

private:
  // TPTEditView
  void InvalidateLines(int AFirst, int ALast) override;
  void ShiftRows(int AFirstLine, int ACount) override;
  void InvalidateAll() override;
  void FormatLineRequest(int AIndex) override;
  void SetTopLine(int ATopLine) override { ScrollTo(ATopLine, FHorzOffset); }
  std::string ClipboardText() override;
  void SetClipboardText(const std::string &AText) override;
  void TabSizeChanged() override;

  void ReadFontMetrics();
  int DigitWidth() const;
  int GutterPadding() const { return std::max(2, FAverageCharWidth / 2); }
  // Recomputes the gutter's width; when it changed, the text moves and everything repaints.
  void UpdateGutter();
  void InvalidateGutter(int AFromY);
  void InvalidateGutterLine(int ALine);
  void PaintGutter(QPainter &APainter, const QRect &AClip);
  void PlaceScrollBars();
  void Invalidate(const QRect &ARect);
  QRect ToWidget(const QRect &AClientRect) const;
  void MovePixels(const QRect &AArea, int ADx, int ADy);
  int TextWidth() const;
  int LineAt(int AY) const;
  int ColumnAt(int ALine, int AX, bool AToMiddle) const;
  int CharWidth(unsigned char AChar, int ARelX) const;
  void ScrollAction(QScrollBar *ABar, int AAction);

  // Painting.
  class TPainter;

  TPTEditModel FModel;
  TTextStyles FStyles;
  TColor FColor = clWindow;
  TColor FFontColor = clWindowText;
  int FLeftMargin = 0;
  int FTextLeft = 0; // FLeftMargin plus the gutter
  bool FLineNumbers = false;
  int FGutterCaretLine = -1;     // the line whose number is shown emphasised
  std::vector<int> FMarkedLines; // sorted
  bool FCtl3D = true;
  QFont FPaintFont; // the editor font as painted and measured
  int FTopLine = 0;
  int FHorzOffset = 0;
  int FLineHeight = 0;
  int FAscent = 0;
  int FAverageCharWidth = 0;
  int FMaxCharWidth = 0;
  int FTabWidth = 0;
  int FCharWidths[256] = {};
  bool FMouseSelecting = false;
  // Wheel movement not yet worth a line, in eighths of a degree.
  static constexpr int WheelDeltaPerLine = 40;
  int FWheelDelta = 0;
  bool FHasCaret = false;
  bool FCaretShown = false;
  QRect FCaretRect;
  QSize FLastSize;
  QRegion FPendingDirty; // marked since the last paint; moved along when pixels move
  QScrollBar *FHorzBar;
  QScrollBar *FVertBar;
};
