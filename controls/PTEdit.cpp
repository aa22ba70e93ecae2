// The plain-text editor control: geometry, painting of coloured runs, caret, scrolling and input.
#include "controls/PTEdit.h"

#include "classes/CodePage.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstdio>
#include <qdrawutil.h>

namespace {

// The selection style of a new editor: white on navy.
const TTextStyle SelectionStyle(clWhite, clNavy, 0);

TShiftState ShiftOf(Qt::KeyboardModifiers AModifiers, Qt::MouseButtons AButtons = {}) {
  TShiftState S = 0;
  if (AModifiers & Qt::ShiftModifier)
    S |= ssShift;
  if (AModifiers & Qt::ControlModifier)
    S |= ssCtrl;
  if (AModifiers & Qt::AltModifier)
    S |= ssAlt;
  if (AButtons & Qt::LeftButton)
    S |= ssLeft;
  if (AButtons & Qt::RightButton)
    S |= ssRight;
  if (AButtons & Qt::MiddleButton)
    S |= ssMiddle;
  return S;
}

// Qt's named keys as the key codes the editor acts on.
int KeyCodeOf(int AKey) {
  switch (AKey) {
  case Qt::Key_PageUp:
    return vkPrior;
  case Qt::Key_PageDown:
    return vkNext;
  case Qt::Key_End:
    return vkEnd;
  case Qt::Key_Home:
    return vkHome;
  case Qt::Key_Left:
    return vkLeft;
  case Qt::Key_Up:
    return vkUp;
  case Qt::Key_Right:
    return vkRight;
  case Qt::Key_Down:
    return vkDown;
  case Qt::Key_Insert:
    return vkInsert;
  case Qt::Key_Delete:
    return vkDelete;
  case Qt::Key_Backspace:
    return vkBack;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return vkTab;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    return vkReturn;
  case Qt::Key_Escape:
    return vkEscape;
  default:
    // Letters and digits share their codes with the platform's virtual keys.
    if ((AKey >= Qt::Key_A && AKey <= Qt::Key_Z) || (AKey >= Qt::Key_0 && AKey <= Qt::Key_9))
      return AKey;
    return 0;
  }
}

} // namespace

// ---- Creation and properties ----

TPlainTextEdit::TPlainTextEdit(QWidget *AParent)
    : QWidget(AParent), FModel(nullptr), FHorzBar(new QScrollBar(Qt::Horizontal, this)),
      FVertBar(new QScrollBar(Qt::Vertical, this)) {
  FModel.SetView(this);
  FStyles.push_back(SelectionStyle);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_KeyCompression, false);
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::IBeamCursor);
  for (QScrollBar *Bar : {FHorzBar, FVertBar}) {
    Bar->setFocusPolicy(Qt::NoFocus);
    Bar->setCursor(Qt::ArrowCursor);
    connect(Bar, &QScrollBar::actionTriggered, this,
            [this, Bar](int AAction) { ScrollAction(Bar, AAction); });
  }
  ReadFontMetrics();
  resize(121, 25);
  PlaceScrollBars();
  UpdateScrollBars();
}

TPlainTextEdit::~TPlainTextEdit() { FModel.SetView(nullptr); }

void TPlainTextEdit::SetLeftMargin(int AValue) {
  AValue = std::max(0, AValue);
  if (AValue == FLeftMargin)
    return;
  FLeftMargin = AValue;
  InvalidateAll();
}

void TPlainTextEdit::SetLineNumbers(bool AValue) {
  if (AValue == FLineNumbers)
    return;
  FLineNumbers = AValue;
  InvalidateAll();
}

void TPlainTextEdit::SetMarkedLines(std::vector<int> ALines) {
  std::sort(ALines.begin(), ALines.end());
  ALines.erase(std::unique(ALines.begin(), ALines.end()), ALines.end());
  if (ALines == FMarkedLines)
    return;
  FMarkedLines = std::move(ALines);
  InvalidateGutter(0);
}

int TPlainTextEdit::DigitWidth() const {
  int Width = 1;
  for (unsigned char C = '0'; C <= '9'; ++C)
    Width = std::max(Width, FCharWidths[C]);
  return Width;
}

void TPlainTextEdit::UpdateGutter() {
  int Width = 0;
  if (FLineNumbers) {
    int Digits = 2;
    for (int N = FModel.Lines().Count(); N >= 100; N /= 10)
      ++Digits;
    // Padding on the left, and twice as much between the numbers and the text.
    Width = Digits * DigitWidth() + 3 * GutterPadding();
  }
  if (FLeftMargin + Width == FTextLeft)
    return;
  // The text moves sideways: everything is painted again and the caret follows.
  FTextLeft = FLeftMargin + Width;
  FPendingDirty += rect();
  update();
  UpdateCaret();
}

void TPlainTextEdit::InvalidateGutter(int AFromY) {
  if (!FLineNumbers && FMarkedLines.empty())
    return;
  QRect Client = ClientRect();
  if (AFromY < Client.height())
    Invalidate(QRect(0, std::max(0, AFromY), FTextLeft, Client.height() - std::max(0, AFromY)));
}

void TPlainTextEdit::InvalidateGutterLine(int ALine) {
  long long Y = static_cast<long long>(ALine - FTopLine) * FLineHeight;
  if (Y > -FLineHeight && Y < ClientRect().height())
    Invalidate(QRect(0, static_cast<int>(Y), FTextLeft, FLineHeight));
}

void TPlainTextEdit::SetColor(TColor AValue) {
  FColor = AValue;
  InvalidateAll();
}

void TPlainTextEdit::SetFontColor(TColor AValue) {
  FFontColor = AValue;
  InvalidateAll();
}

void TPlainTextEdit::SetCtl3D(bool AValue) {
  if (AValue == FCtl3D)
    return;
  FCtl3D = AValue;
  PlaceScrollBars();
  UpdateScrollBars();
  InvalidateAll();
}

void TPlainTextEdit::SetStyles(const TTextStyles &AValue) {
  FStyles = AValue;
  for (const TTextStyle &Style : FStyles)
    Style.DropFont();
}

void TPlainTextEdit::ReadFontMetrics() {
  // Glyphs must land where the column geometry says: whole-pixel advances, no kerning.
  FPaintFont = font();
  FPaintFont.setHintingPreference(QFont::PreferFullHinting);
  FPaintFont.setKerning(false);
  QFontMetrics Metrics(FPaintFont);
  FAscent = Metrics.ascent();
  FLineHeight = std::max(1, Metrics.ascent() + Metrics.descent());
  FAverageCharWidth = std::max(1, Metrics.averageCharWidth());
  FMaxCharWidth = std::max(1, Metrics.maxWidth());
  for (int C = 0; C < 256; ++C)
    FCharWidths[C] = Metrics.horizontalAdvance(AnsiToChar(static_cast<unsigned char>(C)));
  FTabWidth = FModel.TabSize() * FAverageCharWidth;
  UpdateGutter();
}

void TPlainTextEdit::TabSizeChanged() {
  FTabWidth = FModel.TabSize() * FAverageCharWidth;
  InvalidateAll();
}

void TPlainTextEdit::changeEvent(QEvent *AEvent) {
  if (AEvent->type() == QEvent::FontChange) {
    ReadFontMetrics();
    for (const TTextStyle &Style : FStyles)
      Style.DropFont();
    UpdateCaret();
    InvalidateAll();
  }
  QWidget::changeEvent(AEvent);
}

// ---- Geometry ----

int TPlainTextEdit::BorderWidth() const { return FCtl3D ? 2 : 0; }

QRect TPlainTextEdit::ClientRect() const {
  int B = BorderWidth();
  return QRect(0, 0, std::max(0, width() - 2 * B - FVertBar->width()),
               std::max(0, height() - 2 * B - FHorzBar->height()));
}

QRect TPlainTextEdit::ToWidget(const QRect &AClientRect) const {
  return AClientRect.translated(BorderWidth(), BorderWidth());
}

void TPlainTextEdit::PlaceScrollBars() {
  int Extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  int B = BorderWidth();
  int W = std::max(0, width() - 2 * B - Extent), H = std::max(0, height() - 2 * B - Extent);
  FVertBar->setGeometry(B + W, B, Extent, H);
  FHorzBar->setGeometry(B, B + H, W, Extent);
}

int TPlainTextEdit::TextWidth() const { return ClientRect().width() - FTextLeft; }

int TPlainTextEdit::VisibleLines() const { return ClientRect().height() / FLineHeight; }

int TPlainTextEdit::CharWidth(unsigned char AChar, int ARelX) const {
  if (AChar == '\t') {
    if (FTabWidth <= 0)
      return FCharWidths[' '];
    return (ARelX / FTabWidth + 1) * FTabWidth - ARelX;
  }
  return FCharWidths[AChar];
}

int TPlainTextEdit::TextX(int ALine, int AChars) const {
  std::string_view S =
      ALine >= 0 && ALine < FModel.Lines().Count() ? FModel.Lines()[ALine] : std::string_view();
  int X = 0;
  int N = std::max(0, AChars);
  int InLine = std::min<int>(N, static_cast<int>(S.size()));
  for (int I = 0; I < InLine; ++I)
    X += CharWidth(static_cast<unsigned char>(S[I]), X);
  return X + (N - InLine) * FCharWidths[' '];
}

int TPlainTextEdit::LineAt(int AY) const {
  int Line = AY / FLineHeight + FTopLine; // truncates toward zero, as the platform divides
  return std::clamp(Line, 0, std::max(0, FModel.Lines().Count() - 1));
}

int TPlainTextEdit::ColumnAt(int ALine, int AX, bool AToMiddle) const {
  std::string_view S =
      ALine >= 0 && ALine < FModel.Lines().Count() ? FModel.Lines()[ALine] : std::string_view();
  int Origin = FTextLeft - FHorzOffset;
  int X = 0;
  const int Limit = FModel.ColumnLimit(ALine);
  for (int N = 1; N < Limit; ++N) {
    unsigned char C = N <= static_cast<int>(S.size()) ? static_cast<unsigned char>(S[N - 1]) : ' ';
    int W = CharWidth(C, X);
    X += W;
    int Edge = Origin + X - (AToMiddle ? W / 2 : 0);
    if (Edge >= AX)
      return N;
  }
  return Limit;
}

// ---- Repaint requests ----

void TPlainTextEdit::Invalidate(const QRect &ARect) {
  QRect R = ARect & ClientRect();
  if (R.isEmpty())
    return;
  R = ToWidget(R);
  FPendingDirty += R;
  update(R);
}

void TPlainTextEdit::MovePixels(const QRect &AArea, int ADx, int ADy) {
  QRect Area = ToWidget(AArea);
  // Repaints still pending inside the area must land where their pixels go.
  QRegion Moved = (FPendingDirty & Area).translated(ADx, ADy) & Area;
  scroll(ADx, ADy, Area);
  if (!Moved.isEmpty()) {
    FPendingDirty += Moved;
    update(Moved);
  }
}

void TPlainTextEdit::InvalidateAll() {
  FPendingDirty += rect();
  update();
  UpdateGutter();
}

void TPlainTextEdit::InvalidateLines(int AFirst, int ALast) {
  long long Top = static_cast<long long>(AFirst - FTopLine) * FLineHeight;
  long long Bottom = static_cast<long long>(ALast - FTopLine + 1) * FLineHeight;
  QRect Client = ClientRect();
  Top = std::clamp<long long>(Top, 0, Client.height());
  Bottom = std::clamp<long long>(Bottom, 0, Client.height());
  if (Top < Bottom)
    Invalidate(QRect(0, static_cast<int>(Top), Client.width(), static_cast<int>(Bottom - Top)));
}

void TPlainTextEdit::ShiftRows(int AFirstLine, int ACount) {
  UpdateGutter(); // the line count changed, perhaps its number of digits
  QRect Client = ClientRect();
  long long Top = static_cast<long long>(AFirstLine - FTopLine) * FLineHeight;
  if (Top >= Client.height() || ACount == 0)
    return;
  if (Top < 0) {
    // Lines above the view changed in number: every shown row now holds another line.
    InvalidateAll();
    return;
  }
  QRect Area(0, static_cast<int>(Top), Client.width(), Client.height() - static_cast<int>(Top));
  long long Dy = static_cast<long long>(ACount) * FLineHeight;
  if (std::abs(Dy) >= Area.height()) {
    Invalidate(Area);
    return;
  }
  // The caret bar moves with the pixels; its old place must be painted over too.
  Invalidate(FCaretRect);
  MovePixels(Area, 0, static_cast<int>(Dy));
  // Line numbers belong to rows, not to the lines that moved.
  InvalidateGutter(static_cast<int>(Top));
}

void TPlainTextEdit::FormatLineRequest(int AIndex) { OnFormatLine(this, AIndex); }

// ---- Caret and view ----

void TPlainTextEdit::UpdateCaret() {
  FModel.SetCaretY(FModel.CaretY());
  OnCaretPosChanged(this);
  if (FLineNumbers && FModel.CaretY() != FGutterCaretLine) {
    InvalidateGutterLine(FGutterCaretLine);
    FGutterCaretLine = FModel.CaretY();
    InvalidateGutterLine(FGutterCaretLine);
  }
  int X = FTextLeft - FHorzOffset + TextX(FModel.CaretY(), FModel.CaretX() - 1);
  long long Y = static_cast<long long>(FModel.CaretY() - FTopLine) * FLineHeight;
  Y = std::clamp<long long>(Y, -FLineHeight - 1, 1 << 24);
  QRect Rect(X, static_cast<int>(Y), 2, FLineHeight);
  // A caret in the margin or outside the client area is simply not visible.
  bool Shown = FHasCaret && X >= FTextLeft && Rect.intersects(ClientRect());
  if (Rect != FCaretRect || Shown != FCaretShown) {
    if (FCaretShown)
      Invalidate(FCaretRect);
    FCaretRect = Rect;
    FCaretShown = Shown;
    if (FCaretShown)
      Invalidate(FCaretRect);
  }
}

void TPlainTextEdit::ScrollTo(int ATopLine, int AHorzOffset) {
  ATopLine = std::max(0, ATopLine);
  AHorzOffset = std::max(0, AHorzOffset);
  if (ATopLine == FTopLine && AHorzOffset == FHorzOffset)
    return;
  long long Dx = static_cast<long long>(FHorzOffset) - AHorzOffset;
  long long Dy = (static_cast<long long>(FTopLine) - ATopLine) * FLineHeight;
  FTopLine = ATopLine;
  FHorzOffset = AHorzOffset;
  QRect Client = ClientRect();
  QRect Area(FTextLeft, 0, std::max(0, Client.width() - FTextLeft), Client.height());
  if (Area.isEmpty())
    return;
  if (std::abs(Dx) >= Area.width() || std::abs(Dy) >= Area.height()) {
    Invalidate(Area);
    if (Dy != 0)
      InvalidateGutter(0);
    return;
  }
  Invalidate(FCaretRect);
  MovePixels(Area, static_cast<int>(Dx), static_cast<int>(Dy));
  if (Dy != 0)
    InvalidateGutter(0);
}

void TPlainTextEdit::ScrollToCaret() {
  int Top = FTopLine;
  int CaretY = FModel.CaretY();
  int Visible = VisibleLines();
  if (CaretY < Top)
    Top = CaretY;
  if (CaretY >= Top + Visible)
    Top = CaretY - std::max(Visible, 1) + 1;
  int Offset = FHorzOffset;
  int Cx = TextX(CaretY, FModel.CaretX() - 1);
  if (Cx < Offset)
    Offset = Cx;
  if (Cx >= Offset + TextWidth() - FMaxCharWidth)
    Offset = Cx - TextWidth() + FMaxCharWidth + 1;
  ScrollTo(Top, std::max(0, Offset));
}

void TPlainTextEdit::UpdateScrollBars() {
  int Page = std::max(0, TextWidth());
  int HMax = std::max({0, HorzRange + 1 - Page, FHorzOffset});
  FHorzBar->setRange(0, HMax);
  FHorzBar->setPageStep(std::max(1, Page));
  FHorzBar->setSingleStep(FMaxCharWidth);
  FHorzBar->setValue(FHorzOffset);
  FHorzBar->setEnabled(HMax > 0);
  int Visible = VisibleLines();
  int VMax = std::max({0, FModel.Lines().Count() - Visible, FTopLine});
  FVertBar->setRange(0, VMax);
  FVertBar->setPageStep(std::max(1, Visible));
  FVertBar->setSingleStep(1);
  FVertBar->setValue(FTopLine);
  FVertBar->setEnabled(VMax > 0);
}

void TPlainTextEdit::resizeEvent(QResizeEvent *AEvent) {
  QWidget::resizeEvent(AEvent);
  // Rendering a hidden control repeats its pending resize; only a real change re-scrolls.
  if (size() == FLastSize)
    return;
  FLastSize = size();
  PlaceScrollBars();
  UpdateScrollBars();
  ScrollToCaret();
  InvalidateAll();
}

void TPlainTextEdit::focusInEvent(QFocusEvent *AEvent) {
  FHasCaret = true;
  UpdateCaret();
  QWidget::focusInEvent(AEvent);
}

void TPlainTextEdit::focusOutEvent(QFocusEvent *AEvent) {
  FHasCaret = false;
  if (FCaretShown)
    Invalidate(FCaretRect);
  FCaretShown = false;
  QWidget::focusOutEvent(AEvent);
}

// ---- Painting ----

// Draws runs of one paint: remembers the style in use so that asking again costs nothing.
class TPlainTextEdit::TPainter {
public:
  TPainter(TPlainTextEdit &AEdit, QPainter &APainter, const QRect &AClip)
      : FEdit(AEdit), FPainter(APainter), FClip(AClip),
        FOrigin(AEdit.FTextLeft - AEdit.FHorzOffset) {
    FEditorColor = ColorToQColor(AEdit.FColor);
    FFontColor = ColorToQColor(AEdit.FFontColor);
  }

  QColor Background(int AStyle) const {
    if (AStyle < 0)
      return FEditorColor;
    TColor C = StyleAt(AStyle).Background();
    return C == clDefault ? FEditorColor : ColorToQColor(C);
  }

  // Selects a style: -1 plain text, n the n-th of Styles.
  void Select(int AStyle) {
    if (AStyle == FCurrent)
      return;
    FCurrent = AStyle;
    if (AStyle < 0) {
      FPainter.setFont(FEdit.FPaintFont);
      FPainter.setPen(FFontColor);
    } else {
      const TTextStyle &Style = StyleAt(AStyle);
      FPainter.setFont(Style.CachedFont(FEdit.FPaintFont));
      TColor C = Style.Foreground();
      FPainter.setPen(C == clDefault ? FFontColor : ColorToQColor(C));
    }
    FBackground = Background(AStyle);
  }

  // Characters [AFrom, ATo) of ALine drawn opaque from relative x ARelX; returns the end x.
  int Draw(std::string_view ALine, int AFrom, int ATo, int ARelX, int AY) {
    // Background first (opaque cells), then the tab-free pieces at their tab-expanded places.
    int End = ARelX;
    for (int I = AFrom; I < ATo; ++I)
      End += FEdit.CharWidth(static_cast<unsigned char>(ALine[I]), End);
    FPainter.fillRect(QRect(FOrigin + ARelX, AY, End - ARelX, FEdit.FLineHeight), FBackground);
    int X = ARelX;
    int PieceStart = AFrom, PieceX = X;
    auto Flush = [&](int AEnd) {
      if (AEnd > PieceStart) {
        QString Text = AnsiToQString(ALine.substr(PieceStart, AEnd - PieceStart));
        FPainter.drawText(QPoint(FOrigin + PieceX, AY + FEdit.FAscent), Text);
      }
    };
    for (int I = AFrom; I < ATo; ++I) {
      unsigned char C = static_cast<unsigned char>(ALine[I]);
      int W = FEdit.CharWidth(C, X);
      if (C == '\t') {
        Flush(I);
        PieceStart = I + 1;
        PieceX = X + W;
      }
      X += W;
    }
    Flush(ATo);
    return X;
  }

  void Fill(const QRect &ARect, const QColor &AColor) { FPainter.fillRect(ARect, AColor); }

  const TTextStyle &StyleAt(int AIndex) const {
    const TTextStyles &Styles = FEdit.FStyles;
    return AIndex >= 0 && AIndex < static_cast<int>(Styles.size()) ? Styles[AIndex]
                                                                   : SelectionStyle;
  }

  TPlainTextEdit &FEdit;
  QPainter &FPainter;
  QRect FClip;
  int FOrigin;
  int FCurrent = -2;
  QColor FEditorColor, FFontColor, FBackground;
};

void TPlainTextEdit::paintEvent(QPaintEvent *AEvent) {
  QRect Client = ClientRect();
  QPainter Painter(this);
  QRect ClientInWidget = ToWidget(Client);
  if (!ClientInWidget.contains(AEvent->rect())) {
    // The corner between the scroll bars belongs to no bar; with Ctl3D a sunken edge surrounds all.
    Painter.fillRect(QRect(ClientInWidget.right() + 1, ClientInWidget.bottom() + 1,
                           FVertBar->width(), FHorzBar->height()),
                     palette().color(QPalette::Window));
    if (FCtl3D)
      qDrawShadePanel(&Painter, rect(), palette(), true, BorderWidth());
  }
  // From here on everything is in client coordinates.
  Painter.translate(BorderWidth(), BorderWidth());
  QRegion Region = AEvent->region().translated(-BorderWidth(), -BorderWidth()) & Client;
  QRect Clip = Region.boundingRect();
  if (Clip.isEmpty())
    return;
  FPendingDirty = QRegion();
  UpdateScrollBars();
  TPainter Runs(*this, Painter, Clip);
  TEditPos SelStart = FModel.SelectionStart(), SelEnd = FModel.SelectionEnd();
  bool HasSelection = !FModel.SelectionEmpty();
  QColor SelectionBackground = Runs.Background(0);

  // Margin and gutter: editor colour, never text, never scrolled sideways.
  if (FTextLeft > 0) {
    Painter.setClipRegion(Region);
    Runs.Fill(QRect(0, 0, FTextLeft, Client.height()) & Clip, Runs.FEditorColor);
    if (Clip.left() < FTextLeft)
      PaintGutter(Painter, Clip);
  }
  QRegion TextRegion = Region & QRect(FTextLeft, 0, Client.width(), Client.height());
  Painter.setClipRegion(TextRegion);
  QRect TextClip = TextRegion.boundingRect();

  TEditLines &Lines = FModel.Lines();
  int Origin = FTextLeft - FHorzOffset;
  int Y = 0;
  std::vector<TFormatRecord> Records;
  for (int L = FTopLine; Y < Client.height() && L < Lines.Count(); ++L, Y += FLineHeight) {
    if (TextClip.isEmpty() || Y + FLineHeight <= TextClip.top() || Y > TextClip.bottom())
      continue;
    if (!Lines.Objects(L))
      FModel.FormatLine(L);
    std::string_view S = Lines[L];
    int Length = static_cast<int>(S.size());
    // Usable records in start order; for equal starts the first in list order wins.
    Records.clear();
    if (const TFormatList *List = Lines.Objects(L))
      for (const TFormatRecord &R : *List)
        if (R.Length >= 1 && R.Start >= 1 && R.Start <= Length && R.StyleIndex >= 0 &&
            R.StyleIndex < static_cast<int>(FStyles.size()))
          Records.push_back(R);
    std::stable_sort(
        Records.begin(), Records.end(),
        [](const TFormatRecord &A, const TFormatRecord &B) { return A.Start < B.Start; });
    std::size_t Next = 0;
    int X = 0; // relative to the text origin
    int C = 1;
    while (C <= Length && Origin + X <= TextClip.right()) {
      while (Next < Records.size() && Records[Next].Start < C)
        ++Next; // starts inside an earlier run: never drawn
      int RunLength, Style;
      if (Next < Records.size() && Records[Next].Start == C) {
        RunLength = Records[Next].Length;
        Style = Records[Next].StyleIndex;
      } else {
        RunLength = (Next < Records.size() ? Records[Next].Start : Length + 1) - C;
        Style = -1;
      }
      int Last =
          static_cast<int>(std::min<long long>(static_cast<long long>(C) + RunLength - 1, Length));
      int End = X;
      for (int I = C - 1; I < Last; ++I)
        End += CharWidth(static_cast<unsigned char>(S[I]), End);
      QRect RunRect(Origin + X, Y, End - X, FLineHeight);
      if (RunRect.intersects(TextClip)) {
        TEditPos First{C, L}, After{Last + 1, L};
        bool Meets = HasSelection && First < SelEnd && SelStart < After;
        bool Inside = Meets && !(First < SelStart) && !(SelEnd < After);
        if (!Meets || Inside) {
          Runs.Select(Inside ? 0 : Style);
          Runs.Draw(S, C - 1, Last, X, Y);
        } else {
          int CharX = X;
          for (int Col = C; Col <= Last; ++Col) {
            Runs.Select(FModel.IsSelected(Col, L) ? 0 : Style);
            CharX = Runs.Draw(S, Col - 1, Col, CharX, Y);
          }
        }
      }
      X = End;
      C = Last + 1;
    }
    // The rest of the row shows whether the line break is selected.
    bool BreakSelected = HasSelection && SelStart.Y <= L && L < SelEnd.Y;
    int RestLeft = Origin + X;
    if (RestLeft <= TextClip.right())
      Runs.Fill(QRect(RestLeft, Y, Client.width() - RestLeft, FLineHeight),
                BreakSelected ? SelectionBackground : Runs.FEditorColor);
  }
  if (Y < Client.height())
    Runs.Fill(QRect(FTextLeft, Y, Client.width(), Client.height() - Y), Runs.FEditorColor);

  FModel.UpdateCaret();
  if (FCaretShown) {
    Painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    Painter.fillRect(FCaretRect, Qt::white);
  }
}

void TPlainTextEdit::PaintGutter(QPainter &APainter, const QRect &AClip) {
  const TEditLines &Lines = FModel.Lines();
  const int Height = ClientRect().height();
  const QColor Muted(128, 128, 128), Current = ColorToQColor(FFontColor);
  const QColor MarkColor(Qt::red);
  APainter.setFont(FPaintFont);
  auto Mark = std::lower_bound(FMarkedLines.begin(), FMarkedLines.end(), FTopLine);
  char Digits[16];
  for (int L = FTopLine, Y = 0; Y < Height && L < Lines.Count(); ++L, Y += FLineHeight) {
    const bool Marked = Mark != FMarkedLines.end() && *Mark == L;
    if (Marked)
      ++Mark;
    if (Y + FLineHeight <= AClip.top() || Y > AClip.bottom())
      continue;
    if (Marked) {
      const int Size = std::max(4, FLineHeight / 2);
      APainter.setPen(Qt::NoPen);
      APainter.setBrush(MarkColor);
      APainter.drawEllipse(QRect(2, Y + (FLineHeight - Size) / 2, Size, Size));
      APainter.setBrush(Qt::NoBrush);
    }
    if (!FLineNumbers)
      continue;
    const int Count = std::snprintf(Digits, sizeof Digits, "%d", L + 1);
    APainter.setPen(L == FModel.CaretY() ? Current : Muted);
    APainter.drawText(QPoint(FTextLeft - 2 * GutterPadding() - Count * DigitWidth(), Y + FAscent),
                      QString::fromLatin1(Digits, Count));
  }
}

// ---- Clipboard ----

std::string TPlainTextEdit::ClipboardText() {
  return QStringToAnsi(QGuiApplication::clipboard()->text());
}

void TPlainTextEdit::SetClipboardText(const std::string &AText) {
  QGuiApplication::clipboard()->setText(AnsiToQString(AText));
}

// ---- Input ----

void TPlainTextEdit::KeyDown(int AKey, TShiftState AShift) { FModel.KeyDown(AKey, AShift); }

void TPlainTextEdit::KeyPress(unsigned char AChar) { FModel.KeyPress(AChar); }

void TPlainTextEdit::MouseDown(Qt::MouseButton AButton, TShiftState AShift, int AX, int AY) {
  (void)AShift;
  setFocus(Qt::MouseFocusReason);
  if (AButton != Qt::LeftButton)
    return;
  FModel.RepaintOldSelection();
  int Line = LineAt(AY);
  if (AX < FTextLeft && FLineNumbers) {
    // A click on a line number selects that line with its break.
    int Last = FModel.Lines().Count() - 1;
    FModel.SetCaretAndAnchor(TEditPos{1, Line});
    FModel.MoveCaret(Line < Last ? TEditPos{1, Line + 1}
                                 : TEditPos{FModel.Lines().Length(Line) + 1, Line});
    FModel.RepaintSelectionChange(TEditPos{1, Line}, TEditPos{1, Line});
    FModel.UpdateCaret();
    return;
  }
  FModel.SetCaretAndAnchor(TEditPos{ColumnAt(Line, AX, true), Line});
  FModel.UpdateCaret();
  FMouseSelecting = true;
}

void TPlainTextEdit::MouseMove(TShiftState AShift, int AX, int AY) {
  if (!(AShift & ssLeft) || !FMouseSelecting)
    return;
  TEditPos OldStart = FModel.SelectionStart(), OldEnd = FModel.SelectionEnd();
  int Line = LineAt(AY);
  FModel.MoveCaret(TEditPos{ColumnAt(Line, AX, false), Line});
  ScrollToCaret();
  FModel.UpdateCaret();
  FModel.RepaintSelectionChange(OldStart, OldEnd);
}

void TPlainTextEdit::MouseUp(Qt::MouseButton AButton, TShiftState AShift, int AX, int AY) {
  (void)AButton, (void)AShift, (void)AX, (void)AY;
  FMouseSelecting = false;
}

void TPlainTextEdit::HorzScroll(TScrollCode ACode, int APos) {
  int Offset = FHorzOffset, Width = TextWidth();
  switch (ACode) {
  case scLineUp:
    Offset = std::max(0, Offset - FMaxCharWidth);
    break;
  case scLineDown:
    Offset = std::max(0, std::min(Offset + FMaxCharWidth, HorzRange - Width));
    break;
  case scPageUp:
    Offset = std::max(0, Offset - Width);
    break;
  case scPageDown:
    Offset = std::max(0, std::min(Offset + Width, HorzRange + 1 - Width));
    break;
  case scPosition:
  case scTrack:
    Offset = std::max(0, APos);
    break;
  default:
    break;
  }
  ScrollTo(FTopLine, Offset);
}

void TPlainTextEdit::VertScroll(TScrollCode ACode, int APos) {
  int Top = FTopLine, Visible = VisibleLines(), Count = FModel.Lines().Count();
  switch (ACode) {
  case scLineUp:
    if (Top > 0)
      --Top;
    break;
  case scLineDown:
    if (Top <= Count - 1 - Visible)
      ++Top;
    break;
  case scPageUp:
    Top = std::max(0, Top - Visible);
    break;
  case scPageDown:
    Top = std::max(0, std::min(Top + Visible, Count - Visible));
    break;
  case scPosition:
  case scTrack:
    Top = std::clamp(APos, 0, std::max(0, Count - 1));
    break;
  default:
    break;
  }
  ScrollTo(Top, FHorzOffset);
}

void TPlainTextEdit::ScrollAction(QScrollBar *ABar, int AAction) {
  TScrollCode Code;
  switch (AAction) {
  case QAbstractSlider::SliderSingleStepSub:
    Code = scLineUp;
    break;
  case QAbstractSlider::SliderSingleStepAdd:
    Code = scLineDown;
    break;
  case QAbstractSlider::SliderPageStepSub:
    Code = scPageUp;
    break;
  case QAbstractSlider::SliderPageStepAdd:
    Code = scPageDown;
    break;
  case QAbstractSlider::SliderMove:
    Code = scTrack;
    break;
  default:
    Code = scEndScroll;
  }
  int Pos = ABar->sliderPosition();
  if (ABar == FHorzBar) {
    HorzScroll(Code, Pos);
    ABar->setSliderPosition(FHorzOffset);
  } else {
    VertScroll(Code, Pos);
    ABar->setSliderPosition(FTopLine);
  }
}

bool TPlainTextEdit::event(QEvent *AEvent) {
  // Tab belongs to the text, not to focus navigation.
  if (AEvent->type() == QEvent::KeyPress) {
    auto *Key = static_cast<QKeyEvent *>(AEvent);
    if (Key->key() == Qt::Key_Tab || Key->key() == Qt::Key_Backtab) {
      keyPressEvent(Key);
      return true;
    }
  }
  return QWidget::event(AEvent);
}

void TPlainTextEdit::keyPressEvent(QKeyEvent *AEvent) {
  Qt::KeyboardModifiers Modifiers = AEvent->modifiers();
  TShiftState Shift = ShiftOf(Modifiers);
  int Key = AEvent->key();
  KeyDown(KeyCodeOf(Key), Shift);
  // The character the key types, as a single byte; keys without one type nothing.
  int Char = -1;
  switch (Key) {
  case Qt::Key_Backspace:
    Char = 8;
    break;
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    Char = 9;
    break;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    // Ctrl+Enter is kept free for a command of its own: it never breaks the line.
    if (!(Shift & ssCtrl))
      Char = 13;
    break;
  case Qt::Key_Escape:
    Char = 27;
    break;
  default:
    if (Key >= Qt::Key_Escape)
      break; // other named keys type nothing
    if ((Shift & ssCtrl) && !(Shift & ssAlt)) {
      if (Key >= Qt::Key_A && Key <= Qt::Key_Z)
        Char = Key - Qt::Key_A + 1;
      break;
    }
    if ((Shift & ssAlt) && !(Shift & ssCtrl))
      break;
    {
      QString Text = AEvent->text();
      for (QChar Ch : Text) {
        // Only characters of the code page have a byte; anything else is not inserted.
        int Code = CharToAnsi(Ch);
        if (Code >= 32)
          KeyPress(static_cast<unsigned char>(Code));
      }
    }
    AEvent->accept();
    return;
  }
  if (Char >= 0)
    KeyPress(static_cast<unsigned char>(Char));
  AEvent->accept();
}

void TPlainTextEdit::mousePressEvent(QMouseEvent *AEvent) {
  QPoint P = AEvent->position().toPoint() - QPoint(BorderWidth(), BorderWidth());
  MouseDown(AEvent->button(), ShiftOf(AEvent->modifiers(), AEvent->buttons()), P.x(), P.y());
}

void TPlainTextEdit::mouseMoveEvent(QMouseEvent *AEvent) {
  QPoint P = AEvent->position().toPoint() - QPoint(BorderWidth(), BorderWidth());
  MouseMove(ShiftOf(AEvent->modifiers(), AEvent->buttons()), P.x(), P.y());
}

void TPlainTextEdit::mouseReleaseEvent(QMouseEvent *AEvent) {
  QPoint P = AEvent->position().toPoint() - QPoint(BorderWidth(), BorderWidth());
  MouseUp(AEvent->button(), ShiftOf(AEvent->modifiers(), AEvent->buttons()), P.x(), P.y());
}

void TPlainTextEdit::wheelEvent(QWheelEvent *AEvent) {
  // The wheel scrolls like the vertical bar's line commands, three lines a notch (120 eighths
  // of a degree). Fine wheels and touchpads send fractions of a notch: they add up until they
  // make a line, and a turn the other way starts afresh.
  int Delta = AEvent->angleDelta().y();
  if (FWheelDelta != 0 && (Delta > 0) != (FWheelDelta > 0))
    FWheelDelta = 0;
  FWheelDelta += Delta;
  int Steps = FWheelDelta / WheelDeltaPerLine;
  FWheelDelta -= Steps * WheelDeltaPerLine;
  for (int I = 0; I < std::abs(Steps); ++I)
    VertScroll(Steps > 0 ? scLineUp : scLineDown, 0);
  AEvent->accept();
}
