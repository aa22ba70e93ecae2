// Edge and client alignment: order of the edges, order within an edge, hidden and unaligned
// controls.
#include "classes/AlignedLayout.h"

#include <QApplication>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QApplication &App() {
  static int Argc = 1;
  static char Name[] = "AlignedLayoutTest";
  static char *Argv[] = {Name, nullptr};
  // Never destroyed: tearing Qt down during static destruction would outlive its own globals.
  static QApplication *Application = new QApplication(Argc, Argv);
  return *Application;
}

QWidget *Child(QWidget *AParent, QRect AGeometry) {
  auto *W = new QWidget(AParent);
  W->setGeometry(AGeometry);
  return W;
}

TEST(AlignedLayoutTest, EdgesTakeTheirRoomInOrderAndClientFillsTheRest) {
  App();
  QWidget Parent;
  Parent.resize(300, 200);
  auto *Layout = new TAlignedLayout(&Parent);
  QWidget *Top = Child(&Parent, QRect(0, 0, 10, 20));
  QWidget *Bottom = Child(&Parent, QRect(0, 0, 10, 30));
  QWidget *Left = Child(&Parent, QRect(0, 0, 40, 10));
  QWidget *Right = Child(&Parent, QRect(0, 0, 50, 10));
  QWidget *Client = Child(&Parent, QRect(0, 0, 1, 1));
  QWidget *Free = Child(&Parent, QRect(5, 6, 7, 8));
  // Taken up in an order unlike the arrangement: the edge order decides, not this one.
  Layout->AddControl(Client, alClient);
  Layout->AddControl(Right, alRight);
  Layout->AddControl(Left, alLeft);
  Layout->AddControl(Bottom, alBottom);
  Layout->AddControl(Top, alTop);
  Layout->AddControl(Free, alNone);
  Layout->AlignControls();
  EXPECT_EQ(Top->geometry(), QRect(0, 0, 300, 20));
  EXPECT_EQ(Bottom->geometry(), QRect(0, 170, 300, 30));
  EXPECT_EQ(Left->geometry(), QRect(0, 20, 40, 150));
  EXPECT_EQ(Right->geometry(), QRect(250, 20, 50, 150));
  EXPECT_EQ(Client->geometry(), QRect(40, 20, 210, 150));
  EXPECT_EQ(Free->geometry(), QRect(5, 6, 7, 8));
  EXPECT_EQ(AlignOf(Client), alClient);
  EXPECT_EQ(AlignOf(Free), alNone);
  // The parent's resize re-arranges.
  Parent.resize(400, 300);
  Layout->setGeometry(Parent.rect());
  EXPECT_EQ(Client->geometry(), QRect(40, 20, 310, 250));
  EXPECT_EQ(Bottom->geometry(), QRect(0, 270, 400, 30));
}

TEST(AlignedLayoutTest, WithinAnEdgeTheControlNearestItGoesFirst) {
  App();
  QWidget Parent;
  Parent.resize(200, 100);
  auto *Layout = new TAlignedLayout(&Parent);
  QWidget *Bar = Child(&Parent, QRect(0, 68, 200, 2));
  QWidget *List = Child(&Parent, QRect(0, 70, 200, 30));
  QWidget *Editor = Child(&Parent, QRect(0, 0, 200, 68));
  Layout->AddControl(Bar, alBottom);
  Layout->AddControl(List, alBottom);
  Layout->AddControl(Editor, alClient);
  Layout->AlignControls();
  EXPECT_EQ(List->geometry(), QRect(0, 70, 200, 30));
  EXPECT_EQ(Bar->geometry(), QRect(0, 68, 200, 2));
  EXPECT_EQ(Editor->geometry(), QRect(0, 0, 200, 68));
  // Suspended: changes wait; resumed: arranged once.
  Layout->DisableAlign();
  List->setGeometry(0, 50, 200, 50);
  Bar->move(0, 48);
  Layout->AlignControls();
  EXPECT_EQ(Editor->height(), 68);
  Layout->EnableAlign();
  EXPECT_EQ(Editor->height(), 48);
  // A hidden control takes no room; a control that leaves is forgotten.
  List->hide();
  Layout->AlignControls();
  EXPECT_EQ(Bar->geometry(), QRect(0, 98, 200, 2));
  delete List;
  EXPECT_EQ(Layout->count(), 2);
  Layout->AlignControls();
  EXPECT_EQ(Editor->height(), 98);
}

TEST(AlignedLayoutTest, SetAlignJoinsTheParentsLayoutAndNewLayoutsTakeAlignedChildren) {
  App();
  QWidget Parent;
  Parent.resize(100, 100);
  QWidget *Early = Child(&Parent, QRect(0, 0, 10, 10));
  SetAlign(Early, alTop); // no layout yet: just remembered
  auto *Layout = new TAlignedLayout(&Parent);
  EXPECT_EQ(Layout->count(), 1);
  QWidget *Late = Child(&Parent, QRect(0, 0, 10, 10));
  SetAlign(Late, alClient);
  EXPECT_EQ(Layout->count(), 2);
  Layout->AlignControls();
  EXPECT_EQ(Early->geometry(), QRect(0, 0, 100, 10));
  EXPECT_EQ(Late->geometry(), QRect(0, 10, 100, 90));
  SetAlign(nullptr, alTop); // harmless
  EXPECT_EQ(AlignOf(nullptr), alNone);
}

} // namespace
