// The splitter: a thin bar between two aligned controls that resizes one of them when dragged.
#pragma once

#include "classes/AlignedLayout.h"
#include "classes/Events.h"

#include <QFrame>
#include <QPointer>

class TSplitter : public QFrame {
  Q_OBJECT

public:
  explicit TSplitter(QWidget *AParent = nullptr);
  ~TSplitter() override;

  QWidget *ControlFirst() const { return FControlFirst; }
  void SetControlFirst(QWidget *AValue) { SetControl(FControlFirst, AValue); }
  QWidget *ControlSecond() const { return FControlSecond; }
  void SetControlSecond(QWidget *AValue) { SetControl(FControlSecond, AValue); }
  TAlign Align() const { return AlignOf(this); }
  void SetAlign(TAlign AValue) { ::SetAlign(this, AValue); }

  // Raised after every completed move (drag or MoveTo).
  TNotifyEvent OnMove;

  // Call once the window has set up the references and alignments (the form is "loaded"):
  // computes the arrangement kind, the limits and the cursor. The kind stays as computed.
  void Loaded();
  // Applies a point of the parent's client area like the end of a drag.
  void MoveTo(int AX, int AY);

  // 0 none, 1 first top/bottom over client, 2 client over second bottom/top, 3 first
  // left/right of client, 4 client left of second right/left.
  int Kind() const { return FKind; }
  // The kind the current references give (what the cursor shows).
  int CurrentKind() const;
  // Where the bar may be dragged, in the parent's client coordinates.
  QRect Limits() const { return FLimits; }
  bool Dragging() const { return FDragging; }
  // The ghost line's rectangle in the parent while dragging.
  QRect GhostRect() const;

protected:
  void mousePressEvent(QMouseEvent *AEvent) override;
  void mouseMoveEvent(QMouseEvent *AEvent) override;
  void mouseReleaseEvent(QMouseEvent *AEvent) override;
  void moveEvent(QMoveEvent *AEvent) override;
  void resizeEvent(QResizeEvent *AEvent) override;

private:
  void SetControl(QPointer<QWidget> &AReference, QWidget *AValue);
  void ControlDestroyed(QObject *AControl);
  void UpdateCursor();
  void UpdateLimits();
  void DrawGhost(QPoint AParentPoint);
  void ApplyPoint(int AX, int AY);

  QPointer<QWidget> FControlFirst;
  QPointer<QWidget> FControlSecond;
  int FKind = 0;
  bool FDragging = false;
  QRect FLimits;
  QPoint FGhostPoint;
  // Drawn on the parent while dragging; the parent owns it and may destroy it first (its
  // children go in their stacking order), so the reference must notice that.
  QPointer<QWidget> FGhost;
};
