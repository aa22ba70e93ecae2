// The 44-byte placement record: its layout, and taking it from and giving it to MDI children.
#include "classes/WindowPlacement.h"

#include "tests/QtTestEnvironment.h"
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <gtest/gtest.h>

namespace {

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<QApplication>("WindowPlacementTest"));

struct TFrame {
  QMdiArea Area;
  TFrame() {
    Area.resize(800, 600);
    Area.show();
  }
  QMdiSubWindow *Child() {
    QMdiSubWindow *Window = Area.addSubWindow(new QWidget);
    Window->show();
    return Window;
  }
};

} // namespace

TEST(WindowPlacement, RecordHasTheStructureLayout) {
  TWindowPlacement P;
  P.Flags = 2;
  P.ShowCmd = 3;
  P.MinX = -1;
  P.MinY = -1;
  P.MaxX = 5;
  P.MaxY = 6;
  P.Left = 10;
  P.Top = 20;
  P.Right = 310;
  P.Bottom = 0x01020304;
  const std::array<std::uint8_t, 44> Expected = {
      44, 0, 0, 0, 2, 0, 0,  0, 3, 0, 0,  0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 5, 0,
      0,  0, 6, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0,    0,    0x36, 1,    0,    0,    4,    3,    2, 1};
  EXPECT_EQ(P.ToBytes(), Expected);
  EXPECT_EQ(TWindowPlacement::FromBytes(Expected), P);

  std::array<std::uint8_t, 44> Foreign = Expected;
  Foreign[0] = 40; // some other structure
  EXPECT_THROW(TWindowPlacement::FromBytes(Foreign), EReadError);
}

TEST(WindowPlacement, NormalChildRoundTripsItsGeometry) {
  TFrame Frame;
  QMdiSubWindow *Window = Frame.Child();
  Window->setGeometry(30, 40, 300, 200);
  TWindowPlacement P = GetWindowPlacement(*Window);
  EXPECT_EQ(P.ShowCmd, TWindowPlacement::SW_SHOWNORMAL);
  EXPECT_EQ(P.Left, 30);
  EXPECT_EQ(P.Top, 40);
  EXPECT_EQ(P.Right, 330);
  EXPECT_EQ(P.Bottom, 240);

  QMdiSubWindow *Other = Frame.Child();
  SetWindowPlacement(*Other, P);
  EXPECT_EQ(Other->geometry(), QRect(30, 40, 300, 200));
  EXPECT_FALSE(Other->isMaximized());
}

TEST(WindowPlacement, MaximisedChildKeepsItsNormalRectangle) {
  TFrame Frame;
  QMdiSubWindow *Window = Frame.Child();
  Window->setGeometry(50, 60, 250, 150);
  Window->showMaximized();
  TWindowPlacement P = GetWindowPlacement(*Window);
  EXPECT_EQ(P.ShowCmd, TWindowPlacement::SW_SHOWMAXIMIZED);
  EXPECT_EQ(P.Left, 50);
  EXPECT_EQ(P.Top, 60);
  EXPECT_EQ(P.Right, 300);
  EXPECT_EQ(P.Bottom, 210);
  EXPECT_TRUE(Window->isMaximized()); // reading did not change the state

  QMdiSubWindow *Other = Frame.Child();
  SetWindowPlacement(*Other, P);
  EXPECT_TRUE(Other->isMaximized());
  Other->showNormal();
  EXPECT_EQ(Other->geometry(), QRect(50, 60, 250, 150));
}

TEST(WindowPlacement, MinimisedAndCorruptRecordsAreAppliedSafely) {
  TFrame Frame;
  QMdiSubWindow *Window = Frame.Child();
  TWindowPlacement P;
  P.ShowCmd = TWindowPlacement::SW_SHOWMINIMIZED;
  P.Left = 10;
  P.Top = 10;
  P.Right = 110;
  P.Bottom = 90;
  SetWindowPlacement(*Window, P);
  EXPECT_TRUE(Window->isMinimized());
  EXPECT_EQ(GetWindowPlacement(*Window).ShowCmd, TWindowPlacement::SW_SHOWMINIMIZED);

  // Inverted and enormous rectangles become something the toolkit can take.
  TWindowPlacement Bad;
  Bad.Left = INT32_MAX;
  Bad.Top = INT32_MIN;
  Bad.Right = INT32_MIN;
  Bad.Bottom = INT32_MAX;
  Bad.ShowCmd = 12345;
  QMdiSubWindow *Other = Frame.Child();
  SetWindowPlacement(*Other, Bad);
  EXPECT_GE(Other->width(), 0);
  EXPECT_LE(Other->geometry().right(), 1 << 22);
}

TEST(WindowPlacement, TravelsAsARawBlockInTheValueStream) {
  TFrame Frame;
  QMdiSubWindow *Window = Frame.Child();
  Window->setGeometry(1, 2, 200, 100);
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    WritePlacement(Writer, *Window);
  }
  ASSERT_EQ(Stream.Size(), 44);
  EXPECT_EQ(Stream.Bytes()[0], 44);
  Stream.Rewind();
  TValueReader Reader(Stream);
  QMdiSubWindow *Other = Frame.Child();
  ReadPlacement(Reader, *Other);
  EXPECT_EQ(Other->geometry(), QRect(1, 2, 200, 100));
  EXPECT_THROW(ReadPlacement(Reader, *Other), EReadError);
}
