// The splitter in the program's two arrangements, dragged with synthetic mouse events.
#include "controls/Splitter.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QTableWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

QApplication &App() {
  static int Argc = 1;
  static char Name[] = "SplitterTest";
  static char *Argv[] = {Name, nullptr};
  // Never destroyed: tearing Qt down during static destruction would outlive its own globals.
  static QApplication *Application = new QApplication(Argc, Argv);
  return *Application;
}

// Press at a point of the splitter, move by (ADx, ADy) with the button held, release there.
void Drag(TSplitter *ASplitter, QPoint AFrom, int ADx, int ADy,
          Qt::MouseButton AButton = Qt::LeftButton) {
  QTest::mousePress(ASplitter, AButton, {}, AFrom);
  QPoint Half = AFrom + QPoint(ADx / 2, ADy / 2);
  QMouseEvent Move(QEvent::MouseMove, Half, ASplitter->mapToGlobal(Half), Qt::NoButton, AButton,
                   Qt::NoModifier);
  QApplication::sendEvent(ASplitter, &Move);
  QPoint To = AFrom + QPoint(ADx, ADy);
  QMouseEvent Move2(QEvent::MouseMove, To, ASplitter->mapToGlobal(To), Qt::NoButton, AButton,
                    Qt::NoModifier);
  QApplication::sendEvent(ASplitter, &Move2);
  QTest::mouseRelease(ASplitter, AButton, {}, To);
}

// The script editor window: editor (client) over a bottom-aligned splitter and error list.
class EditorWindowSplit : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    Window = std::make_unique<QWidget>();
    Window->resize(400, 300);
    auto *Layout = new TAlignedLayout(Window.get());
    Editor = new QWidget(Window.get());
    ErrorBox = new QListWidget(Window.get());
    ErrorBox->setGeometry(0, 200, 400, 100);
    Splitter = new TSplitter(Window.get());
    Splitter->setGeometry(0, 198, 400, 2);
    Layout->AddControl(Editor, alClient);
    Layout->AddControl(Splitter, alBottom);
    Layout->AddControl(ErrorBox, alBottom);
    Splitter->SetControlFirst(Editor);
    Splitter->SetControlSecond(ErrorBox);
    Splitter->OnMove = [this](TObject *ASender) {
      EXPECT_EQ(ASender, Splitter);
      ++Moves;
    };
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    Layout->AlignControls();
    Splitter->Loaded();
  }

  std::unique_ptr<QWidget> Window;
  QWidget *Editor = nullptr;
  QListWidget *ErrorBox = nullptr;
  TSplitter *Splitter = nullptr;
  int Moves = 0;
};

TEST_F(EditorWindowSplit, DragUpGrowsTheListAndMovesTheBar) {
  EXPECT_EQ(Splitter->Kind(), 2);
  EXPECT_EQ(Splitter->cursor().shape(), Qt::SplitVCursor);
  EXPECT_EQ(ErrorBox->geometry(), QRect(0, 200, 400, 100));
  EXPECT_EQ(Splitter->geometry(), QRect(0, 198, 400, 2));
  EXPECT_EQ(Editor->geometry(), QRect(0, 0, 400, 198));
  Drag(Splitter, QPoint(50, 0), 0, -30);
  EXPECT_EQ(ErrorBox->geometry(), QRect(0, 170, 400, 130));
  EXPECT_EQ(Splitter->y(), 168);
  EXPECT_EQ(Editor->height(), 168);
  EXPECT_EQ(Moves, 1);
  EXPECT_FALSE(Splitter->Dragging());
}

TEST_F(EditorWindowSplit, GhostLineFollowsThePointerWithinTheLimits) {
  QTest::mousePress(Splitter, Qt::LeftButton, {}, QPoint(50, 1));
  EXPECT_TRUE(Splitter->Dragging());
  EXPECT_EQ(Splitter->GhostRect(), QRect(0, 198, 400, 2));
  QPoint To(50, -500);
  QMouseEvent Move(QEvent::MouseMove, To, Splitter->mapToGlobal(To), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(Splitter, &Move);
  EXPECT_EQ(Splitter->GhostRect().y(), 0); // clamped to the top of the limits
  // Nothing moves before the release.
  EXPECT_EQ(ErrorBox->height(), 100);
  QTest::mouseRelease(Splitter, Qt::LeftButton, {}, To);
  // Beyond the limits the bar stops at their edge: the editor gives up all its room.
  EXPECT_EQ(Editor->height(), 0);
  EXPECT_EQ(ErrorBox->geometry(), QRect(0, 2, 400, 298));
}

TEST_F(EditorWindowSplit, CollapsedListCanBeDraggedBackOut) {
  // The editor window pushes the bar to the bottom while it is created.
  Splitter->MoveTo(0, Window->height());
  EXPECT_EQ(ErrorBox->height(), 0);
  EXPECT_EQ(Splitter->y(), 298);
  EXPECT_GE(Splitter->Limits().bottom(), 299);
  EXPECT_EQ(ErrorBox->y(), 300); // below the bar, not above it
  EXPECT_EQ(Moves, 1);
  Drag(Splitter, QPoint(10, 0), 0, -50);
  EXPECT_EQ(ErrorBox->height(), 50);
  EXPECT_EQ(Editor->height(), 248);
}

TEST_F(EditorWindowSplit, RightButtonAndDestroyedControlStartNoDrag) {
  Drag(Splitter, QPoint(50, 1), 0, -30, Qt::RightButton);
  EXPECT_EQ(ErrorBox->height(), 100);
  EXPECT_EQ(Moves, 0);
  delete ErrorBox;
  ErrorBox = nullptr;
  EXPECT_EQ(Splitter->ControlSecond(), nullptr);
  EXPECT_FALSE(Splitter->testAttribute(Qt::WA_SetCursor));
  Drag(Splitter, QPoint(50, 1), 0, -30);
  EXPECT_FALSE(Splitter->Dragging());
  EXPECT_EQ(Moves, 0);
  Splitter->MoveTo(0, 0);
  EXPECT_EQ(Moves, 0);
}

TEST_F(EditorWindowSplit, WindowDestroyedAfterADragTakesTheGhostLineWithIt) {
  Drag(Splitter, QPoint(50, 0), 0, -30);
  EXPECT_EQ(Moves, 1);
  // Raised after the drag, the bar now comes after its ghost line among the window's children,
  // so the window destroys the ghost line first and the bar last.
  Splitter->raise();
  QPointer<TSplitter> Bar = Splitter;
  Window.reset();
  EXPECT_TRUE(Bar.isNull());
  // A bar destroyed on its own, mid-drag, takes its ghost line away too.
  QWidget Other;
  Other.resize(200, 100);
  auto *Layout = new TAlignedLayout(&Other);
  auto *Top = new QWidget(&Other);
  auto *Second = new QWidget(&Other);
  Second->setGeometry(0, 50, 200, 50);
  auto *Lone = new TSplitter(&Other);
  Lone->setGeometry(0, 48, 200, 2);
  Layout->AddControl(Top, alClient);
  Layout->AddControl(Lone, alBottom);
  Layout->AddControl(Second, alBottom);
  Lone->SetControlFirst(Top);
  Lone->SetControlSecond(Second);
  Layout->AlignControls();
  Lone->Loaded();
  const int ChildrenBefore = int(Other.findChildren<QWidget *>().size());
  QTest::mousePress(Lone, Qt::LeftButton, {}, QPoint(5, 0));
  EXPECT_TRUE(Lone->Dragging());
  EXPECT_EQ(int(Other.findChildren<QWidget *>().size()), ChildrenBefore + 1);
  delete Lone;
  EXPECT_EQ(int(Other.findChildren<QWidget *>().size()), ChildrenBefore - 1);
}

TEST_F(EditorWindowSplit, KindIsKeptFromLoadingWhileTheCursorFollowsReferences) {
  Splitter->SetControlFirst(Splitter); // the splitter itself is stored as empty
  EXPECT_EQ(Splitter->ControlFirst(), nullptr);
  EXPECT_FALSE(Splitter->testAttribute(Qt::WA_SetCursor));
  EXPECT_EQ(Splitter->Kind(), 2);
  Splitter->SetControlFirst(Editor);
  EXPECT_EQ(Splitter->cursor().shape(), Qt::SplitVCursor);
  // A resized control aligned otherwise than the splitter gives kind 0.
  SetAlign(Splitter, alTop);
  Splitter->Loaded();
  EXPECT_EQ(Splitter->Kind(), 0);
  EXPECT_FALSE(Splitter->testAttribute(Qt::WA_SetCursor));
}

// The procedure test window: input grid left-aligned, splitter, output grid client-aligned.
TEST(ProcedureWindowSplit, DragRightWidensTheInputGrid) {
  App();
  QWidget Window;
  Window.resize(500, 200);
  auto *Layout = new TAlignedLayout(&Window);
  auto *Input = new QTableWidget(&Window);
  Input->setGeometry(0, 0, 150, 200);
  auto *Splitter = new TSplitter(&Window);
  Splitter->setGeometry(150, 0, 2, 200);
  auto *Output = new QTableWidget(&Window);
  Layout->AddControl(Input, alLeft);
  Layout->AddControl(Splitter, alLeft);
  Layout->AddControl(Output, alClient);
  Splitter->SetControlFirst(Input);
  Splitter->SetControlSecond(Output);
  int Moves = 0;
  Splitter->OnMove = [&](TObject *) { ++Moves; };
  Window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
  Splitter->Loaded();
  EXPECT_EQ(Splitter->Kind(), 3);
  EXPECT_EQ(Splitter->cursor().shape(), Qt::SplitHCursor);
  EXPECT_EQ(Output->geometry(), QRect(152, 0, 348, 200));
  Drag(Splitter, QPoint(0, 100), 40, 0);
  EXPECT_EQ(Input->width(), 190);
  EXPECT_EQ(Splitter->x(), 190);
  EXPECT_EQ(Output->geometry(), QRect(192, 0, 308, 200));
  EXPECT_EQ(Moves, 1);
  // Far right: the output grid shrinks to nothing, never below.
  Drag(Splitter, QPoint(0, 100), 1000, 0);
  EXPECT_EQ(Output->width(), 0);
  EXPECT_EQ(Input->width(), 499);
}

// A right-aligned resized control: moving toward its own side shrinks it.
TEST(RightAlignedSplit, DragLeftWidensTheRightControl) {
  App();
  QWidget Window;
  Window.resize(300, 100);
  auto *Layout = new TAlignedLayout(&Window);
  auto *Main = new QWidget(&Window);
  auto *Splitter = new TSplitter(&Window);
  Splitter->setGeometry(198, 0, 2, 100);
  auto *Side = new QWidget(&Window);
  Side->setGeometry(200, 0, 100, 100);
  Layout->AddControl(Main, alClient);
  Layout->AddControl(Side, alRight);
  Layout->AddControl(Splitter, alRight);
  Splitter->SetControlFirst(Main);
  Splitter->SetControlSecond(Side);
  Window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
  Splitter->Loaded();
  EXPECT_EQ(Splitter->Kind(), 4);
  Drag(Splitter, QPoint(0, 10), -20, 0);
  EXPECT_EQ(Side->geometry(), QRect(180, 0, 120, 100));
  EXPECT_EQ(Splitter->x(), 178);
  EXPECT_EQ(Main->width(), 178);
}

} // namespace
