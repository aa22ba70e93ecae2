// The splitter: arrangement kinds, limits, ghost-line dragging and applying a move.
#include "controls/Splitter.h"

#include <QMouseEvent>
#include <algorithm>

TSplitter::TSplitter(QWidget *AParent) : QFrame(AParent) {
  setFrameShape(QFrame::NoFrame);
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  resize(185, 2);
}

TSplitter::~TSplitter() { delete FGhost.data(); }

void TSplitter::SetControl(QPointer<QWidget> &AReference, QWidget *AValue) {
  if (AValue == this)
    AValue = nullptr;
  if (AReference != AValue) {
    if (AReference)
      disconnect(AReference, &QObject::destroyed, this, nullptr);
    AReference = AValue;
    if (AValue)
      connect(AValue, &QObject::destroyed, this,
              [this](QObject *AControl) { ControlDestroyed(AControl); });
  }
  UpdateCursor();
}

void TSplitter::ControlDestroyed(QObject *AControl) {
  // QPointer has already let go of the control; make sure, then show the new state.
  if (FControlFirst == AControl)
    FControlFirst = nullptr;
  if (FControlSecond == AControl)
    FControlSecond = nullptr;
  if (FDragging) {
    FDragging = false;
    if (FGhost)
      FGhost->hide();
  }
  UpdateCursor();
}

int TSplitter::CurrentKind() const {
  if (!FControlFirst || !FControlSecond)
    return 0;
  TAlign First = AlignOf(FControlFirst), Second = AlignOf(FControlSecond), Own = Align();
  int Kind = 0;
  const QWidget *Resized = nullptr;
  if ((First == alTop || First == alBottom) && Second == alClient) {
    Kind = 1;
    Resized = FControlFirst;
  } else if (First == alClient && (Second == alBottom || Second == alTop)) {
    Kind = 2;
    Resized = FControlSecond;
  } else if ((First == alLeft || First == alRight) && Second == alClient) {
    Kind = 3;
    Resized = FControlFirst;
  } else if (First == alClient && (Second == alRight || Second == alLeft)) {
    Kind = 4;
    Resized = FControlSecond;
  }
  return Resized && AlignOf(Resized) == Own ? Kind : 0;
}

void TSplitter::UpdateCursor() {
  switch (CurrentKind()) {
  case 1:
  case 2:
    setCursor(Qt::SplitVCursor);
    break;
  case 3:
  case 4:
    setCursor(Qt::SplitHCursor);
    break;
  default:
    unsetCursor();
  }
}

void TSplitter::Loaded() {
  FKind = CurrentKind();
  UpdateLimits();
  UpdateCursor();
}

void TSplitter::UpdateLimits() {
  QWidget *Parent = parentWidget();
  if (FControlFirst && FControlSecond && Parent && FControlFirst->parentWidget() == Parent &&
      FControlSecond->parentWidget() == Parent) {
    QRect First = FControlFirst->geometry();
    QRect Second = FControlSecond->geometry();
    // A collapsed control still reaches the limits, so the bar can be dragged back out.
    if (Second.height() == 0)
      Second = QRect(Second.left(), Second.top() - 1, std::max(1, Second.width()), 1);
    if (First.height() == 0)
      First = QRect(First.left(), First.top(), std::max(1, First.width()), 1);
    FLimits = First | Second;
  } else {
    FLimits = geometry();
  }
}

void TSplitter::moveEvent(QMoveEvent *AEvent) {
  QFrame::moveEvent(AEvent);
  UpdateLimits();
}

void TSplitter::resizeEvent(QResizeEvent *AEvent) {
  QFrame::resizeEvent(AEvent);
  UpdateLimits();
}

QRect TSplitter::GhostRect() const {
  if (FKind == 1 || FKind == 2)
    return QRect(FGhostPoint.x(), FGhostPoint.y(), FLimits.width(), 2);
  return QRect(FGhostPoint.x(), FGhostPoint.y(), 2, FLimits.height());
}

void TSplitter::DrawGhost(QPoint AParentPoint) {
  QWidget *Parent = parentWidget();
  if (!Parent)
    return;
  int X = std::clamp(AParentPoint.x(), FLimits.left(), std::max(FLimits.left(), FLimits.right()));
  int Y = std::clamp(AParentPoint.y(), FLimits.top(), std::max(FLimits.top(), FLimits.bottom()));
  // The ghost spans the limits across the direction of movement.
  if (FKind == 1 || FKind == 2)
    X = std::clamp(x(), FLimits.left(), std::max(FLimits.left(), FLimits.right()));
  else
    Y = std::clamp(y(), FLimits.top(), std::max(FLimits.top(), FLimits.bottom()));
  FGhostPoint = QPoint(X, Y);
  if (!FGhost) {
    FGhost = new QWidget(Parent);
    FGhost->setAttribute(Qt::WA_TransparentForMouseEvents);
    FGhost->setAutoFillBackground(true);
    FGhost->setBackgroundRole(QPalette::Dark);
  }
  FGhost->setGeometry(GhostRect());
  FGhost->raise();
  FGhost->show();
}

void TSplitter::mousePressEvent(QMouseEvent *AEvent) {
  QFrame::mousePressEvent(AEvent);
  if (AEvent->button() != Qt::LeftButton || FKind == 0 || !FControlFirst || !FControlSecond)
    return;
  FDragging = true;
  UpdateLimits();
  DrawGhost(mapToParent(QPoint(0, 0)));
}

void TSplitter::mouseMoveEvent(QMouseEvent *AEvent) {
  QFrame::mouseMoveEvent(AEvent);
  if (FDragging)
    DrawGhost(mapToParent(AEvent->position().toPoint()));
  UpdateCursor();
}

void TSplitter::mouseReleaseEvent(QMouseEvent *AEvent) {
  QFrame::mouseReleaseEvent(AEvent);
  if (FDragging) {
    if (FGhost)
      FGhost->hide();
    QPoint P = AEvent->position().toPoint();
    FDragging = false;
    ApplyPoint(P.x(), P.y());
  }
  UpdateCursor();
}

void TSplitter::MoveTo(int AX, int AY) {
  QPoint P = mapFromParent(QPoint(AX, AY));
  ApplyPoint(P.x(), P.y());
}

void TSplitter::ApplyPoint(int AX, int AY) {
  QWidget *First = FControlFirst, *Second = FControlSecond;
  if (FKind == 0 || !First || !Second)
    return;
  UpdateLimits();
  QRect Limits = FLimits.translated(-pos());
  int X = std::clamp(AX, Limits.left(), std::max(Limits.left(), Limits.right()));
  int Y = std::clamp(AY, Limits.top(), std::max(Limits.top(), Limits.bottom()));
  if (AlignOf(First) == alRight || AlignOf(Second) == alRight)
    X = -X;
  if (AlignOf(First) == alBottom || AlignOf(Second) == alBottom)
    Y = -Y;
  auto *Layout =
      parentWidget() ? dynamic_cast<TAlignedLayout *>(parentWidget()->layout()) : nullptr;
  if (Layout)
    Layout->DisableAlign();
  // A control never gets a negative size, however far the point lies.
  switch (FKind) {
  case 1:
    First->resize(First->width(), std::max(0, First->height() + Y));
    break;
  case 2: {
    Y = std::max(Y, -Second->height());
    move(x(), this->y() - Y);
    Second->setGeometry(Second->x(), Second->y() - Y, Second->width(), Second->height() + Y);
    break;
  }
  case 3:
    First->resize(std::max(0, First->width() + X), First->height());
    break;
  case 4:
    Second->resize(std::max(0, Second->width() + X), Second->height());
    break;
  }
  if (Layout)
    Layout->EnableAlign();
  UpdateLimits();
  OnMove(this);
}
