// The editor widget: runs, selection and tabs checked on rendered pixels; scrolling; keys and
// mouse.
#include "controls/PTEdit.h"

#include <QApplication>
#include <QBackingStore>
#include <QClipboard>
#include <QFocusEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

QApplication &App() {
  static int Argc = 1;
  static char Name[] = "PTEditTest";
  static char *Argv[] = {Name, nullptr};
  // Never destroyed: tearing Qt down during static destruction would outlive its own globals.
  static QApplication *Application = new QApplication(Argc, Argv);
  return *Application;
}

// Records the areas each paint was asked to cover.
class TProbeEdit : public TPlainTextEdit {
public:
  using TPlainTextEdit::TPlainTextEdit;
  std::vector<QRegion> Painted;

protected:
  void paintEvent(QPaintEvent *AEvent) override {
    Painted.push_back(AEvent->region());
    TPlainTextEdit::paintEvent(AEvent);
  }
};

const QColor White(255, 255, 255), Navy(0, 0, 128), Yellow(255, 255, 0), Black(0, 0, 0);

class EditTest : public ::testing::Test {
public:
  void SetUp() override {
    App();
    Edit = std::make_unique<TProbeEdit>();
    QFont Font("DejaVu Sans Mono");
    Font.setPixelSize(13);
    Edit->setFont(Font);
    Edit->resize(420, 200);
    Grab(); // the first render delivers the pending resize, which scrolls to the caret
    Edit->SetColor(clWhite);
    Edit->SetFontColor(clBlack);
    Edit->SetCtl3D(false); // pixel checks below count from the control's corner
    // Style 1: red text on yellow, so runs show by their background.
    Edit->Styles().push_back(TTextStyle(clRed, clYellow, 0));
    Edit->OnFormatLine = [this](TObject *, int AIndex) {
      ++FormatCalls;
      for (const TFormatRecord &R : Records)
        if (R.Start > 0 && AIndex == RecordLine)
          Edit->Lines().Objects(AIndex)->push_back(R);
    };
  }

  QImage Grab() { return Edit->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  // Background of the character cell at column AColumn of the row ARow (top-left pixel).
  QColor Cell(const QImage &AImage, int AColumn, int ARow) {
    int W = Edit->AverageCharWidth();
    return AImage.pixelColor(Edit->LeftMargin() - Edit->HorzOffset() + (AColumn - 1) * W,
                             ARow * Edit->LineHeight());
  }
  // Whether any pixel in [AX0, AX1) x row ARow differs from AColor (something is drawn there).
  bool Inked(const QImage &AImage, int AX0, int AX1, int ARow, const QColor &AColor) {
    int H = Edit->LineHeight();
    for (int Y = ARow * H; Y < (ARow + 1) * H; ++Y)
      for (int X = AX0; X < AX1; ++X)
        if (AImage.pixelColor(X, Y) != AColor)
          return true;
    return false;
  }
  void Focus() {
    QFocusEvent Event(QEvent::FocusIn, Qt::OtherFocusReason);
    QApplication::sendEvent(Edit.get(), &Event);
  }

  std::unique_ptr<TProbeEdit> Edit;
  std::vector<TFormatRecord> Records;
  int RecordLine = 0;
  int FormatCalls = 0;
};

TEST_F(EditTest, Metrics_ComeFromTheFont) {
  QFontMetrics Metrics(Edit->Font());
  EXPECT_EQ(Edit->LineHeight(), Metrics.ascent() + Metrics.descent());
  EXPECT_EQ(Edit->AverageCharWidth(), 8);
  EXPECT_EQ(Edit->TabWidth(), 64);
  Edit->SetTabSize(4);
  EXPECT_EQ(Edit->TabWidth(), 32);
  // A new font: new metrics, the tab width follows.
  QFont Bigger = Edit->Font();
  Bigger.setPixelSize(16);
  Edit->SetFont(Bigger);
  EXPECT_EQ(Edit->AverageCharWidth(), QFontMetrics(Bigger).averageCharWidth());
  EXPECT_EQ(Edit->TabWidth(), 4 * Edit->AverageCharWidth());
  EXPECT_GT(Edit->LineHeight(), Metrics.ascent() + Metrics.descent());
  // Defaults of a new editor.
  TPlainTextEdit Fresh;
  EXPECT_EQ(Fresh.size(), QSize(121, 25));
  EXPECT_TRUE(Fresh.TabStop());
  EXPECT_EQ(Fresh.cursor().shape(), Qt::IBeamCursor);
  EXPECT_EQ(Fresh.Color(), clWindow);
  ASSERT_EQ(Fresh.Styles().size(), 1u);
  EXPECT_EQ(Fresh.Styles()[0], TTextStyle(clWhite, clNavy, 0));
  EXPECT_TRUE(Fresh.Ctl3D());
  EXPECT_EQ(Fresh.LeftMargin(), 0);
}

TEST_F(EditTest, Paint_OneRecordGivesThreeRunsAndPlainLinesStayPlain) {
  Edit->Lines().SetText("0123456789\r\nplain line");
  Records = {TFormatRecord{5, 3, 1}};
  QImage Image = Grab();
  for (int C = 1; C <= 4; ++C)
    EXPECT_EQ(Cell(Image, C, 0), White) << C;
  for (int C = 5; C <= 7; ++C)
    EXPECT_EQ(Cell(Image, C, 0), Yellow) << C;
  for (int C = 8; C <= 12; ++C)
    EXPECT_EQ(Cell(Image, C, 0), White) << C;
  for (int C = 1; C <= 12; ++C)
    EXPECT_EQ(Cell(Image, C, 1), White) << C;
  // The styled run's text is red: look for a reddish pixel in its cells.
  bool Red = false;
  for (int Y = 0; Y < Edit->LineHeight(); ++Y)
    for (int X = 32; X < 56; ++X) {
      QColor P = Image.pixelColor(X, Y);
      Red = Red || (P.red() > 200 && P.green() < 120 && P.blue() < 60);
    }
  EXPECT_TRUE(Red);
  // Text is drawn in the plain run too.
  EXPECT_TRUE(Inked(Image, 0, 32, 0, White));
}

TEST_F(EditTest, Paint_SelectionSplitsARunAndFillsSelectedBreaks) {
  Edit->Lines().SetText("0123456789\r\nabcdefghij\r\nxyz");
  Records = {TFormatRecord{5, 3, 1}};
  Edit->Model().SetCaretAndAnchor(TEditPos{6, 0});
  Edit->Model().MoveCaret(TEditPos{6, 1});
  QImage Image = Grab();
  EXPECT_EQ(Cell(Image, 5, 0), Yellow);
  for (int C = 6; C <= 10; ++C)
    EXPECT_EQ(Cell(Image, C, 0), Navy) << C;
  // The rest of the row: the line break is selected.
  EXPECT_EQ(Cell(Image, 20, 0), Navy);
  EXPECT_EQ(Image.pixelColor(Edit->ClientRect().right(), 0), Navy);
  for (int C = 1; C <= 5; ++C)
    EXPECT_EQ(Cell(Image, C, 1), Navy) << C;
  for (int C = 6; C <= 20; ++C)
    EXPECT_EQ(Cell(Image, C, 1), White) << C;
  EXPECT_EQ(Cell(Image, 1, 2), White);
}

TEST_F(EditTest, Paint_EmptyLineInsideSelectionAndStyleZeroLookSelected) {
  Edit->Lines().SetText("abc\r\n\r\ndef\r\nghijkl");
  Records = {TFormatRecord{2, 3, 0}};
  RecordLine = 3;
  Edit->Model().SetCaretAndAnchor(TEditPos{2, 0});
  Edit->Model().MoveCaret(TEditPos{2, 2});
  QImage Image = Grab();
  for (int C = 1; C <= 30; C += 7)
    EXPECT_EQ(Cell(Image, C, 1), Navy) << C;
  EXPECT_EQ(Cell(Image, 1, 3), White);
  for (int C = 2; C <= 4; ++C)
    EXPECT_EQ(Cell(Image, C, 3), Navy) << C;
  EXPECT_EQ(Cell(Image, 5, 3), White);
}

TEST_F(EditTest, Paint_TabStopsCountFromTheTextOrigin) {
  Edit->Lines().SetText("a\tb");
  Edit->Model().SetCaretAndAnchor(TEditPos{4, 0});
  Focus();
  QImage Image = Grab();
  EXPECT_EQ(Edit->TextX(0, 2), 64);
  EXPECT_EQ(Edit->TextX(0, 3), 72);
  EXPECT_TRUE(Inked(Image, 0, 8, 0, White));   // a
  EXPECT_FALSE(Inked(Image, 9, 64, 0, White)); // the tab's blank
  EXPECT_TRUE(Inked(Image, 64, 72, 0, White)); // b
  // The caret bar after b: 2 pixels wide at x = 72, one line tall.
  EXPECT_TRUE(Edit->CaretShown());
  EXPECT_EQ(Edit->CaretRect(), QRect(72, 0, 2, Edit->LineHeight()));
  EXPECT_EQ(Image.pixelColor(72, 1), Black);
  EXPECT_EQ(Image.pixelColor(73, Edit->LineHeight() - 1), Black);
  // With a margin the stops move with the origin, not with the control's edge.
  Edit->SetLeftMargin(10);
  Edit->UpdateCaret();
  EXPECT_EQ(Edit->CaretRect().x(), 82);
  Edit->SetTabSize(4);
  EXPECT_EQ(Edit->TextX(0, 2), 32);
}

TEST_F(EditTest, Ctl3D_SunkenEdgeMovesTheClientArea) {
  Edit->Lines().SetText("abc\r\nlonger line");
  Edit->SetCtl3D(true);
  EXPECT_EQ(Edit->BorderWidth(), 2);
  EXPECT_EQ(Edit->ClientRect().width(), 420 - 4 - Edit->VertScrollBar()->width());
  EXPECT_EQ(Edit->VertScrollBar()->geometry().right(), 420 - 3);
  Records = {TFormatRecord{1, 2, 1}};
  QImage Image = Grab();
  // The edge is drawn, the text area starts inside it.
  EXPECT_NE(Image.pixelColor(0, 5), Yellow);
  EXPECT_NE(Image.pixelColor(0, 5), White);
  EXPECT_EQ(Image.pixelColor(2, 2), Yellow);
  EXPECT_EQ(Image.pixelColor(2 + 16, 2), White);
  // Mouse positions count from the client corner too.
  int H = Edit->LineHeight();
  QTest::mouseClick(Edit.get(), Qt::LeftButton, {}, QPoint(2 + 8 + 5, 2 + H + 1));
  EXPECT_EQ(Edit->Model().Caret(), (TEditPos{3, 1}));
  Edit->SetCtl3D(false);
  EXPECT_EQ(Edit->ClientRect().width(), 420 - Edit->VertScrollBar()->width());
}

TEST_F(EditTest, Paint_MarginStaysBlankWhenScrolledRight) {
  std::string Long(200, 'W');
  Edit->Lines().SetText(Long + "\r\n" + Long);
  Edit->SetLeftMargin(15);
  Focus();
  Edit->ScrollTo(0, 40);
  QImage Image = Grab();
  for (int Y = 0; Y < 2 * Edit->LineHeight(); ++Y)
    for (int X = 0; X < 15; ++X)
      ASSERT_EQ(Image.pixelColor(X, Y), White) << X << "," << Y;
  EXPECT_TRUE(Inked(Image, 15, 40, 0, White));
  // Column 1 lies at x = 15 - 40: scrolled out, so the caret is not shown.
  EXPECT_FALSE(Edit->CaretShown());
  Edit->Model().SetCaretAndAnchor(TEditPos{20, 0});
  Edit->UpdateCaret();
  EXPECT_TRUE(Edit->CaretShown());
  EXPECT_EQ(Edit->CaretRect().x(), 15 - 40 + 19 * 8);
}

TEST_F(EditTest, Paint_BadRecordsAreSkippedAndStylesShowOnNextPaint) {
  Edit->Lines().SetText("abcdefgh");
  Records = {TFormatRecord{1, 0, 1}, TFormatRecord{2, 2, 9}, TFormatRecord{3, 100, 1},
             TFormatRecord{4, 1, 1}};
  QImage Image = Grab();
  EXPECT_EQ(Cell(Image, 1, 0), White);
  EXPECT_EQ(Cell(Image, 2, 0), White);
  // A run longer than its line is cut at the end; a record starting inside it is not drawn.
  for (int C = 3; C <= 8; ++C)
    EXPECT_EQ(Cell(Image, C, 0), Yellow) << C;
  EXPECT_EQ(Cell(Image, 9, 0), White);
  // Styles changed: nothing reformats, the next paint shows the new values.
  int Calls = FormatCalls;
  Edit->Styles()[1].SetBackground(clRed);
  Image = Grab();
  EXPECT_EQ(Cell(Image, 3, 0), QColor(255, 0, 0));
  EXPECT_EQ(FormatCalls, Calls);
}

TEST_F(EditTest, Formatting_IsLazyAndFollowsEdits) {
  std::string Text;
  for (int I = 0; I < 1000; ++I)
    Text += "line " + std::to_string(I) + "\r\n";
  Edit->Lines().SetText(Text);
  Grab();
  int Visible = Edit->VisibleLines();
  EXPECT_GT(FormatCalls, 0);
  EXPECT_LE(FormatCalls, Visible + 1);
  // Painting again formats nothing; an edit formats the lines it changed.
  FormatCalls = 0;
  Grab();
  EXPECT_EQ(FormatCalls, 0);
  Edit->KeyPress('x');
  EXPECT_EQ(FormatCalls, 1);
  Edit->KeyPress(13);
  EXPECT_EQ(FormatCalls, 3);
  EXPECT_EQ(Edit->Lines().Objects(500), nullptr);
}

TEST_F(EditTest, Repaint_OnlyTheEditedRowIsPainted) {
  Edit->Lines().SetText("one\r\ntwo\r\nthree\r\nfour");
  Edit->Model().SetCaretAndAnchor(TEditPos{2, 1});
  Edit->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Edit.get()));
  QApplication::processEvents();
  Edit->Painted.clear();
  Edit->KeyPress('x');
  QApplication::processEvents();
  ASSERT_FALSE(Edit->Painted.empty());
  QRegion All;
  for (const QRegion &R : Edit->Painted)
    All += R;
  QRect Row(0, Edit->LineHeight(), Edit->ClientRect().width(), Edit->LineHeight());
  EXPECT_TRUE(QRegion(Row).contains(All.boundingRect())) << All.boundingRect().y();
  EXPECT_EQ(Edit->Lines().Text(), "one\r\ntxwo\r\nthree\r\nfour\r\n");
}

// What the screen shows: the window's backing store, where moved pixels and repaints meet.
QImage Screen(QWidget *AWidget) {
  auto *Device = dynamic_cast<QImage *>(AWidget->backingStore()->paintDevice());
  return Device
             ? Device->copy(QRect(AWidget->mapTo(AWidget->window(), QPoint(0, 0)), AWidget->size()))
                   .convertToFormat(QImage::Format_RGB32)
             : QImage();
}

// Edits that add or remove rows and scroll commands, on a shown control: the pixels moved on
// screen must equal a full repaint, and only the uncovered and edited rows are repainted.
void ShiftAndScroll(EditTest &T, TProbeEdit *Edit, bool ACtl3D) {
  Edit->SetCtl3D(ACtl3D);
  std::string Text;
  for (int I = 0; I < 40; ++I)
    Text += "row " + std::to_string(I) + "\r\n";
  Edit->Lines().SetText(Text);
  T.Records = {TFormatRecord{1, 3, 1}};
  T.RecordLine = 3;
  Edit->Model().SetCaretAndAnchor(TEditPos{4, 1});
  Edit->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Edit));
  QApplication::processEvents();
  int H = Edit->LineHeight();
  QRect Client = Edit->ClientRect().translated(Edit->BorderWidth(), Edit->BorderWidth());
  auto Check = [&](const char *AWhat, int AMaxRows) {
    QApplication::processEvents();
    // Area repainted inside the text area (the scroll bars repaint their own strips).
    QRegion All;
    for (const QRegion &R : Edit->Painted)
      All += R & Client;
    long long Area = 0;
    for (const QRect &R : All)
      Area += static_cast<long long>(R.width()) * R.height();
    EXPECT_LE(Area, static_cast<long long>(AMaxRows) * H * Client.width()) << AWhat;
    QImage Shown = Screen(Edit);
    ASSERT_FALSE(Shown.isNull());
    QImage Fresh = T.Grab();
    for (int Y = Client.top(); Y <= Client.bottom(); ++Y)
      for (int X = Client.left(); X <= Client.right(); ++X)
        if (Shown.pixel(X, Y) != Fresh.pixel(X, Y)) {
          ADD_FAILURE() << AWhat << ": screen differs from a full repaint at " << X << "," << Y;
          return;
        }
    Edit->Painted.clear();
  };
  Edit->Painted.clear();
  Edit->KeyPress(13); // line 1 splits: the rows below move down one row
  Check("Enter", 2);
  Edit->KeyPress(8);     // joined again: the rows below move up
  Check("Backspace", 3); // the edited row and the row uncovered at the bottom
  Edit->Model().SetCaretAndAnchor(TEditPos{1, 2});
  Edit->Model().MoveCaret(TEditPos{1, 5});
  Edit->Invalidate();
  QApplication::processEvents();
  Edit->Painted.clear();
  Edit->ClearSelection(); // three lines go
  Check("ClearSelection", 5);
  Edit->VertScroll(scLineDown, 0);
  Check("Line down", 2);
  Edit->VertScroll(scLineUp, 0);
  Check("Line up", 2);
  Edit->HorzScroll(scLineDown, 0);
  Check("Line right", 100);
  // Changing TabSize repaints the whole control.
  Edit->SetTabSize(4);
  QApplication::processEvents();
  QRegion All;
  for (const QRegion &R : Edit->Painted)
    All += R;
  EXPECT_TRUE(All.contains(Client));
}

TEST_F(EditTest, RowShiftingAndScrolling_MovePixelsAndRepaintOnlyWhatIsNew) {
  ShiftAndScroll(*this, Edit.get(), false);
}

TEST_F(EditTest, RowShiftingAndScrolling_AlsoInsideTheSunkenEdge) {
  ShiftAndScroll(*this, Edit.get(), true);
}

TEST_F(EditTest, ScrollBars_RangesAndLineCommands) {
  std::string Text;
  for (int I = 0; I < 50; ++I)
    Text += "l\r\n";
  Edit->Lines().SetText(Text);
  Grab();
  int Visible = Edit->VisibleLines();
  EXPECT_EQ(Edit->VertScrollBar()->maximum(), 50 - Visible);
  EXPECT_EQ(Edit->VertScrollBar()->pageStep(), Visible);
  EXPECT_TRUE(Edit->VertScrollBar()->isEnabled());
  EXPECT_EQ(Edit->HorzScrollBar()->pageStep(), Edit->ClientRect().width());
  // Line down stops when the last line is in the bottom row.
  for (int I = 0; I < 100; ++I)
    Edit->VertScroll(scLineDown, 0);
  EXPECT_EQ(Edit->TopLine(), 50 - Visible);
  Edit->VertScroll(scPageUp, 0);
  EXPECT_EQ(Edit->TopLine(), 50 - 2 * Visible);
  Edit->VertScroll(scTrack, 3);
  EXPECT_EQ(Edit->TopLine(), 3);
  // The caret does not move with the bars.
  EXPECT_EQ(Edit->CaretY(), 0);
  // The bar's own actions arrive as the same commands.
  Edit->VertScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(Edit->TopLine(), 4);
  EXPECT_EQ(Edit->VertScrollBar()->value(), 4);
  Edit->VertScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Edit->TopLine(), 4 + Visible);
  Edit->VertScrollBar()->setSliderPosition(7); // thumb tracking
  EXPECT_EQ(Edit->TopLine(), 7);
  Edit->VertScroll(scTrack, 3);
  for (int I = 0; I < 2000; ++I)
    Edit->HorzScroll(scLineDown, 0);
  EXPECT_EQ(Edit->HorzOffset(), TPlainTextEdit::HorzRange - Edit->ClientRect().width());
  Edit->HorzScroll(scPageUp, 0);
  Edit->HorzScroll(scLineUp, 0);
  EXPECT_EQ(Edit->HorzOffset(),
            TPlainTextEdit::HorzRange - 2 * Edit->ClientRect().width() - Edit->MaxCharWidth());
  // Few lines: nothing to scroll, the bar stays but is disabled.
  Edit->Lines().SetText("x");
  Edit->ScrollTo(0, 0);
  Grab();
  EXPECT_FALSE(Edit->VertScrollBar()->isEnabled());
  EXPECT_FALSE(Edit->VertScrollBar()->isHidden());
}

TEST_F(EditTest, Wheel_FractionsOfANotchAddUpToLines) {
  std::string Text;
  for (int I = 0; I < 50; ++I)
    Text += "l\r\n";
  Edit->Lines().SetText(Text);
  Grab();
  auto Wheel = [this](int ADelta) {
    QPointF At(10, 10);
    QWheelEvent Event(At, Edit->mapToGlobal(At), QPoint(), QPoint(0, ADelta), Qt::NoButton,
                      Qt::NoModifier, Qt::ScrollUpdate, false);
    QApplication::sendEvent(Edit.get(), &Event);
  };
  // A notch of a plain wheel: three lines.
  Wheel(-120);
  EXPECT_EQ(Edit->TopLine(), 3);
  // A touchpad's small deltas: four of 10 make one line, nothing is lost in between.
  for (int I = 0; I < 4; ++I)
    Wheel(-10);
  EXPECT_EQ(Edit->TopLine(), 4);
  for (int I = 0; I < 6; ++I)
    Wheel(-15); // 90: two lines, 10 left over
  EXPECT_EQ(Edit->TopLine(), 6);
  // Turning back starts afresh: the leftover does not eat the first fraction upward.
  Wheel(40);
  EXPECT_EQ(Edit->TopLine(), 5);
  Wheel(20);
  EXPECT_EQ(Edit->TopLine(), 5);
  Wheel(20);
  EXPECT_EQ(Edit->TopLine(), 4);
}

TEST_F(EditTest, Paint_WindowsLatinBytesShowAsTheirCharacters) {
  // Quotes, dashes and the euro sign as scripts saved on Windows hold them.
  const std::string Bytes = "\x93q\x94 \x96 \x80";
  Edit->Lines().SetText(Bytes);
  QImage Image = Grab();
  const int W = Edit->AverageCharWidth();
  EXPECT_EQ(Edit->TextX(0, 1), W); // a whole cell, as any character of the font
  for (int Column : {1, 3, 5, 7}) {
    SCOPED_TRACE(Column);
    EXPECT_TRUE(Inked(Image, (Column - 1) * W, Column * W, 0, White));
  }
  // The text itself keeps its bytes; the clipboard carries the characters both ways.
  EXPECT_EQ(Edit->Lines().Strings(0), Bytes);
  Edit->SelectAll();
  Edit->CopyToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(), QString(QChar(0x201C)) + "q" + QChar(0x201D) + " " +
                                                   QChar(0x2013) + " " + QChar(0x20AC));
  QApplication::clipboard()->setText(QString(QChar(0x2014)) + QChar(0x2122) + QChar(0x4E2D));
  Edit->PasteFromClipboard();
  EXPECT_EQ(Edit->Lines().Strings(0), "\x97\x99?");
  // Typing the euro sign stores its byte.
  QKeyEvent Key(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x20AC)));
  QApplication::sendEvent(Edit.get(), &Key);
  EXPECT_EQ(Edit->Lines().Strings(0), "\x97\x99?\x80");
}

TEST_F(EditTest, ScrollToCaret_KeepsCaretInViewWithRoomOnTheRight) {
  std::string Text;
  for (int I = 0; I < 100; ++I)
    Text += std::string(300, 'a') + "\r\n";
  Edit->Lines().SetText(Text);
  Edit->SetCaretY(60);
  Edit->ScrollToCaret();
  EXPECT_EQ(Edit->TopLine(), 60 - Edit->VisibleLines() + 1);
  Edit->SetCaretY(5);
  Edit->ScrollToCaret();
  EXPECT_EQ(Edit->TopLine(), 5);
  Edit->SetCaretX(100);
  Edit->ScrollToCaret();
  int Cx = 99 * 8;
  EXPECT_LT(Cx, Edit->HorzOffset() + Edit->ClientRect().width() - Edit->MaxCharWidth());
  EXPECT_GE(Cx, Edit->HorzOffset());
  Edit->SetCaretX(1);
  Edit->ScrollToCaret();
  EXPECT_EQ(Edit->HorzOffset(), 0);
}

TEST_F(EditTest, CaretEvents_RaisedByUpdateCaretButNotByCtrlInsert) {
  Edit->Lines().SetText("abc");
  int Raised = 0;
  Edit->OnCaretPosChanged = [&](TObject *ASender) {
    EXPECT_EQ(ASender, Edit.get());
    ++Raised;
  };
  Edit->SetSelStart(1);
  EXPECT_GE(Raised, 1);
  Raised = 0;
  Edit->SetSelLength(1);
  EXPECT_GE(Raised, 1);
  Raised = 0;
  // Sent alone: QTest would press the Ctrl key first, and that key does raise the event.
  QKeyEvent CtrlInsert(QEvent::KeyPress, Qt::Key_Insert, Qt::ControlModifier);
  QApplication::sendEvent(Edit.get(), &CtrlInsert);
  EXPECT_EQ(Raised, 0);
  EXPECT_EQ(QApplication::clipboard()->text(), "b");
  QTest::keyClick(Edit.get(), Qt::Key_Home);
  EXPECT_GE(Raised, 1);
  Raised = 0;
  Grab(); // every paint ends by placing the caret
  EXPECT_GE(Raised, 1);
}

TEST_F(EditTest, Gutter_NumbersRowsGrowsWithTheDigitsAndSelectsLinesOnClick) {
  std::string Text;
  for (int I = 1; I <= 99; ++I)
    Text += "line\r\n";
  Edit->Lines().SetText(Text);
  Edit->SetLeftMargin(6);
  Edit->SetLineNumbers(true);
  const int Digit = Edit->TextX(-1, 0) + QFontMetrics(Edit->font()).horizontalAdvance('0');
  const int Two = Edit->TextLeft() - Edit->LeftMargin();
  EXPECT_GE(Two, 2 * Digit);
  Edit->Model().SetCaretAndAnchor(TEditPos{1, 1});
  Edit->UpdateCaret();
  QImage Image = Grab();
  // Row 0 shows "1" in the muted colour, row 1 (the caret's) in the text colour; the text
  // itself starts after the gutter.
  const int Left = Edit->LeftMargin(), Right = Edit->TextLeft();
  auto Darkest = [&](int ARow) {
    int Min = 255;
    for (int Y = ARow * Edit->LineHeight(); Y < (ARow + 1) * Edit->LineHeight(); ++Y)
      for (int X = Left; X < Right; ++X)
        Min = std::min(Min, qGray(Image.pixel(X, Y)));
    return Min;
  };
  EXPECT_LT(Darkest(0), 255);
  EXPECT_LT(Darkest(1), Darkest(0));
  EXPECT_TRUE(Inked(Image, Right, Right + Edit->AverageCharWidth(), 0, White));
  EXPECT_FALSE(Inked(Image, 0, Left, 0, White));
  // The 100th line widens the gutter by a digit; the text moves with it.
  Edit->Model().SetCaretAndAnchor(TEditPos{5, 98});
  Edit->Model().KeyPress(13);
  Edit->ScrollTo(0, 0);
  EXPECT_EQ(Edit->TextLeft() - Edit->LeftMargin(),
            Two + QFontMetrics(Edit->font()).horizontalAdvance('0'));
  // A click on a number selects its line with its break.
  Edit->MouseDown(Qt::LeftButton, ssLeft, Left + 1, 2 * Edit->LineHeight() + 1);
  EXPECT_EQ(Edit->SelStart(), 2 * 6);
  EXPECT_EQ(Edit->SelLength(), 6);
  // Marked lines carry a mark at the left edge.
  Edit->SetMarkedLines({0});
  Image = Grab();
  EXPECT_TRUE(Inked(Image, 0, Left, 0, White));
  EXPECT_FALSE(Inked(Image, 0, Left, 1, White));
  Edit->SetLineNumbers(false);
  EXPECT_EQ(Edit->TextLeft(), Edit->LeftMargin());
}

TEST_F(EditTest, Keys_QtKeysMapToTheEditorsActions) {
  Edit->Lines().SetText("");
  QTest::keyClicks(Edit.get(), "ab c");
  EXPECT_EQ(Edit->Lines().Strings(0), "ab c");
  // Typed keys run together into one undo step (painting and caret updates between them
  // included), and redo brings them back.
  Edit->repaint();
  QTest::keyClick(Edit.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Edit->Lines().Strings(0), "");
  QTest::keyClick(Edit.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Edit->Lines().Strings(0), "ab c");
  QTest::keyClick(Edit.get(), Qt::Key_Left, Qt::ControlModifier);
  EXPECT_EQ(Edit->CaretX(), 4);
  QTest::keyClick(Edit.get(), Qt::Key_Tab);
  EXPECT_EQ(Edit->Lines().Strings(0), "ab \tc");
  QTest::keyClick(Edit.get(), Qt::Key_Return);
  EXPECT_EQ(Edit->Lines().Count(), 2);
  EXPECT_EQ(Edit->Lines().Strings(1), "c");
  QTest::keyClick(Edit.get(), Qt::Key_End);
  QTest::keyClick(Edit.get(), Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_EQ(Edit->SelLength(), 1);
  QTest::keyClick(Edit.get(), Qt::Key_Backspace);
  EXPECT_EQ(Edit->Lines().Strings(1), "");
  QTest::keyClick(Edit.get(), Qt::Key_Backspace);
  EXPECT_EQ(Edit->Lines().Count(), 1);
  // Ctrl+A selects all; Ctrl+X cuts; Ctrl+V pastes.
  QTest::keyClick(Edit.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(Edit->SelLength(), 4);
  QTest::keyClick(Edit.get(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Edit->Lines().Strings(0), "");
  QTest::keyClick(Edit.get(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Edit->Lines().Strings(0), "ab \t");
  // Delete at the end of the last line changes nothing; Escape without selection neither.
  Edit->SetModified(false);
  QTest::keyClick(Edit.get(), Qt::Key_Delete);
  QTest::keyClick(Edit.get(), Qt::Key_Escape);
  EXPECT_FALSE(Edit->Modified());
  // With a selection, Escape, Ctrl+Enter and Ctrl+B leave the text alone; Ctrl+Z undoes the
  // paste, Ctrl+Y and Ctrl+Shift+Z redo it.
  QTest::keyClick(Edit.get(), Qt::Key_Home, Qt::ShiftModifier);
  for (Qt::Key Key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_B})
    QTest::keyClick(Edit.get(), Key, Qt::ControlModifier);
  QTest::keyClick(Edit.get(), Qt::Key_Escape);
  EXPECT_EQ(Edit->Lines().Text(), "ab \t\r\n");
  EXPECT_EQ(Edit->SelLength(), 0);
  QTest::keyClick(Edit.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Edit->Lines().Text(), "\r\n");
  QTest::keyClick(Edit.get(), Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Edit->Lines().Text(), "ab \t\r\n");
  QTest::keyClick(Edit.get(), Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(Edit.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Edit->Lines().Text(), "ab \t\r\n");
  EXPECT_FALSE(Edit->Modified());
  // Insert toggles the mode.
  QTest::keyClick(Edit.get(), Qt::Key_Insert);
  EXPECT_FALSE(Edit->InsertMode());
  // A character of the Windows Latin code page is typed as its byte (the euro sign too); one
  // outside it is not inserted.
  QKeyEvent E(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QString(QChar(0xE9)));
  QApplication::sendEvent(Edit.get(), &E);
  QKeyEvent Euro(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x20AC)));
  QApplication::sendEvent(Edit.get(), &Euro);
  QKeyEvent Han(QEvent::KeyPress, 0, Qt::NoModifier, QString(QChar(0x4E2D)));
  QApplication::sendEvent(Edit.get(), &Han);
  EXPECT_EQ(Edit->Lines().Strings(0), "ab \t\xE9\x80");
  // Read-only: Enter does nothing.
  Edit->SetReadOnly(true);
  QTest::keyClick(Edit.get(), Qt::Key_Return);
  EXPECT_EQ(Edit->Lines().Count(), 1);
}

TEST_F(EditTest, Clipboard_BytesMapOneToOne) {
  Edit->Lines().SetText("x\xE9y\r\nz");
  Edit->SelectAll();
  Edit->CopyToClipboard();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromLatin1("x\xE9y\r\nz"));
  QApplication::clipboard()->setText(QString::fromLatin1("\xFF") + QChar(0x20AC) + QChar(0x4E2D));
  Edit->PasteFromClipboard();
  EXPECT_EQ(Edit->Lines().Strings(0), "\xFF\x80?");
}

TEST_F(EditTest, Mouse_ClicksGoToNearestBoundaryDragsBeforeTheCharacter) {
  Edit->Lines().SetText("abc\r\nlonger line");
  int H = Edit->LineHeight();
  // A click right of the end of a short line: virtual space, nearest column.
  QTest::mouseClick(Edit.get(), Qt::LeftButton, {}, QPoint(8 * 6 + 5, H / 2));
  EXPECT_EQ(Edit->CaretX(), 8);
  EXPECT_EQ(Edit->CaretY(), 0);
  QTest::keyClick(Edit.get(), Qt::Key_Return);
  EXPECT_EQ(Edit->Lines().Strings(0), "abc");
  EXPECT_EQ(Edit->Lines().Strings(1), "");
  // Right half of character 2 puts the caret after it; the left half before it.
  QTest::mouseClick(Edit.get(), Qt::LeftButton, {}, QPoint(8 + 5, 2 * H + 1));
  EXPECT_EQ(Edit->CaretY(), 2);
  EXPECT_EQ(Edit->CaretX(), 3);
  QTest::mousePress(Edit.get(), Qt::LeftButton, {}, QPoint(8 + 2, 2 * H + 1));
  EXPECT_EQ(Edit->CaretX(), 2);
  // Dragging over the same right half leaves the caret before the character.
  QMouseEvent Move(QEvent::MouseMove, QPointF(8 + 5, 2 * H + 1), QPointF(8 + 5, 2 * H + 1),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Edit.get(), &Move);
  EXPECT_EQ(Edit->CaretX(), 2);
  QMouseEvent Move2(QEvent::MouseMove, QPointF(8 * 5 + 1, 2 * H + 1), QPointF(8 * 5 + 1, 2 * H + 1),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Edit.get(), &Move2);
  EXPECT_EQ(Edit->CaretX(), 6);
  EXPECT_EQ(Edit->Model().Anchor(), (TEditPos{2, 2}));
  QTest::mouseRelease(Edit.get(), Qt::LeftButton, {}, QPoint(8 * 5 + 1, 2 * H + 1));
  // After the release moves select nothing.
  Edit->MouseMove(ssLeft, 0, 0);
  EXPECT_EQ(Edit->CaretX(), 6);
  // A right click moves nothing; a click far below the text lands on the last line.
  QTest::mouseClick(Edit.get(), Qt::RightButton, {}, QPoint(0, 0));
  EXPECT_EQ(Edit->CaretY(), 2);
  QTest::mouseClick(Edit.get(), Qt::LeftButton, {}, QPoint(0, 150));
  EXPECT_EQ(Edit->CaretY(), 2);
  EXPECT_EQ(Edit->CaretX(), 1);
}

TEST_F(EditTest, Mouse_DragBeyondTheWindowScrollsByTheNeededLines) {
  std::string Text;
  for (int I = 0; I < 100; ++I)
    Text += "line " + std::to_string(I) + "\r\n";
  Edit->Lines().SetText(Text);
  Edit->ScrollTo(10, 0);
  int H = Edit->LineHeight();
  Edit->MouseDown(Qt::LeftButton, ssLeft, 20, 1);
  EXPECT_EQ(Edit->CaretY(), 10);
  Edit->MouseMove(ssLeft, 20, -2 * H - 1); // two rows above the top
  EXPECT_EQ(Edit->CaretY(), 8);
  EXPECT_EQ(Edit->TopLine(), 8);
  Edit->MouseMove(ssLeft, 20, (Edit->VisibleLines() + 1) * H + 1);
  EXPECT_EQ(Edit->CaretY(), 8 + Edit->VisibleLines() + 1);
  EXPECT_EQ(Edit->TopLine(), 8 + 2);
  EXPECT_EQ(Edit->Model().Anchor(), (TEditPos{3, 10}));
  Edit->MouseUp(Qt::LeftButton, 0, 20, 1);
}

} // namespace
