// Controls aligned to an edge or to the client area of their parent, as every window arranges them.
#pragma once

#include <QLayout>
#include <QList>

class QWidget;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

// The alignment of a control (alNone unless set). Setting it takes the control into the
// parent's TAlignedLayout, which re-arranges when events are next processed (or at once by
// AlignControls). Arranging once after all controls are set up keeps their order by position,
// as a window laid out at design time expects.
TAlign AlignOf(const QWidget *AControl);
void SetAlign(QWidget *AControl, TAlign AAlign);

// Arranges the parent's children by their Align: first the top-aligned ones from the top
// down (in the order of their current top edges), then the bottom-aligned ones from the bottom
// up (lowest bottom edge first), then left, then right the same way, and a client-aligned one
// fills what is left. An edge-aligned control keeps its own height (top, bottom) or width
// (left, right) and spans the remaining room the other way. Hidden controls and alNone
// controls are left alone. SetAlign takes a control into its parent's layout, and a new layout
// takes up the children that already have an alignment.
class TAlignedLayout : public QLayout {
public:
  explicit TAlignedLayout(QWidget *AParent = nullptr);
  ~TAlignedLayout() override;

  // Takes up a control with an alignment; arranged like SetAlign.
  void AddControl(QWidget *AControl, TAlign AAlign);

  // Suspend and resume: while suspended, geometry changes of children do not re-arrange;
  // resuming arranges once.
  void DisableAlign() { ++FDisabled; }
  void EnableAlign();
  // Arrange now, in the parent's contents rectangle.
  void AlignControls();

  void addItem(QLayoutItem *AItem) override;
  QLayoutItem *itemAt(int AIndex) const override;
  QLayoutItem *takeAt(int AIndex) override;
  int count() const override { return static_cast<int>(FItems.size()); }
  QSize sizeHint() const override;
  QSize minimumSize() const override { return QSize(0, 0); }
  void setGeometry(const QRect &ARect) override;

private:
  void Arrange(const QRect &ARect);
  QList<QLayoutItem *> FItems;
  int FDisabled = 0;
};

// Re-arranges AParent's aligned children when it has a TAlignedLayout.
void RealignParent(QWidget *AParent);
