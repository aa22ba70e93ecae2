// Edge and client alignment of a window's controls.
#include "classes/AlignedLayout.h"

#include <QVariant>
#include <QWidget>
#include <QWidgetItem>
#include <algorithm>
#include <utility>
#include <vector>

namespace {
const char *const AlignProperty = "tsyAlign";
}

TAlign AlignOf(const QWidget *AControl) {
  if (!AControl)
    return alNone;
  QVariant Value = AControl->property(AlignProperty);
  int A = Value.isValid() ? Value.toInt() : alNone;
  return A >= alNone && A <= alClient ? static_cast<TAlign>(A) : alNone;
}

void SetAlign(QWidget *AControl, TAlign AAlign) {
  if (!AControl)
    return;
  AControl->setProperty(AlignProperty, static_cast<int>(AAlign));
  QWidget *Parent = AControl->parentWidget();
  if (!Parent)
    return;
  if (auto *Layout = dynamic_cast<TAlignedLayout *>(Parent->layout())) {
    if (Layout->indexOf(AControl) < 0)
      Layout->addWidget(AControl);
    Layout->invalidate();
  }
}

void RealignParent(QWidget *AParent) {
  if (!AParent)
    return;
  if (auto *Layout = dynamic_cast<TAlignedLayout *>(AParent->layout()))
    Layout->AlignControls();
}

TAlignedLayout::TAlignedLayout(QWidget *AParent) : QLayout(AParent) {
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
  setSizeConstraint(QLayout::SetNoConstraint);
  if (AParent)
    for (QObject *Child : AParent->children())
      if (auto *W = qobject_cast<QWidget *>(Child))
        if (!W->isWindow() && W->property(AlignProperty).isValid())
          addWidget(W);
}

TAlignedLayout::~TAlignedLayout() {
  while (!FItems.isEmpty())
    delete FItems.takeFirst();
}

void TAlignedLayout::AddControl(QWidget *AControl, TAlign AAlign) {
  AControl->setProperty(AlignProperty, static_cast<int>(AAlign));
  if (indexOf(AControl) < 0)
    addWidget(AControl);
  invalidate();
}

void TAlignedLayout::addItem(QLayoutItem *AItem) {
  FItems.append(AItem);
  invalidate();
}

QLayoutItem *TAlignedLayout::itemAt(int AIndex) const {
  return AIndex >= 0 && AIndex < FItems.size() ? FItems.at(AIndex) : nullptr;
}

QLayoutItem *TAlignedLayout::takeAt(int AIndex) {
  return AIndex >= 0 && AIndex < FItems.size() ? FItems.takeAt(AIndex) : nullptr;
}

QSize TAlignedLayout::sizeHint() const {
  QWidget *Parent = parentWidget();
  return Parent ? Parent->size() : QSize(0, 0);
}

void TAlignedLayout::setGeometry(const QRect &ARect) {
  QLayout::setGeometry(ARect);
  if (!FDisabled)
    Arrange(ARect);
}

void TAlignedLayout::EnableAlign() {
  if (FDisabled > 0 && --FDisabled == 0)
    AlignControls();
}

void TAlignedLayout::AlignControls() {
  if (FDisabled)
    return;
  QWidget *Parent = parentWidget();
  if (Parent)
    Arrange(Parent->contentsRect());
}

void TAlignedLayout::Arrange(const QRect &ARect) {
  struct TEntry {
    QWidget *Control;
    int Order;
  };
  std::vector<TEntry> ByAlign[alClient + 1];
  for (int I = 0; I < FItems.size(); ++I) {
    QWidget *W = FItems.at(I)->widget();
    if (!W || W->isHidden())
      continue;
    ByAlign[AlignOf(W)].push_back({W, I});
  }
  // Within one edge, the control nearest that edge goes first: by the edge that faces it, then
  // by the opposite edge (so a collapsed control stays outside its neighbour); remaining ties
  // keep the order of taking up.
  auto SortBy = [](std::vector<TEntry> &AList, auto AKey) {
    std::stable_sort(AList.begin(), AList.end(), [&](const TEntry &A, const TEntry &B) {
      return AKey(A.Control) < AKey(B.Control);
    });
  };
  SortBy(ByAlign[alTop], [](QWidget *W) { return std::pair(W->y(), W->y() + W->height()); });
  SortBy(ByAlign[alBottom], [](QWidget *W) { return std::pair(-(W->y() + W->height()), -W->y()); });
  SortBy(ByAlign[alLeft], [](QWidget *W) { return std::pair(W->x(), W->x() + W->width()); });
  SortBy(ByAlign[alRight], [](QWidget *W) { return std::pair(-(W->x() + W->width()), -W->x()); });

  int Left = ARect.left(), Top = ARect.top();
  int Right = ARect.left() + ARect.width(), Bottom = ARect.top() + ARect.height();
  for (const TEntry &E : ByAlign[alTop]) {
    int H = std::max(0, E.Control->height());
    E.Control->setGeometry(Left, Top, std::max(0, Right - Left), H);
    Top += H;
  }
  for (const TEntry &E : ByAlign[alBottom]) {
    int H = std::max(0, E.Control->height());
    Bottom -= H;
    E.Control->setGeometry(Left, Bottom, std::max(0, Right - Left), H);
  }
  for (const TEntry &E : ByAlign[alLeft]) {
    int W = std::max(0, E.Control->width());
    E.Control->setGeometry(Left, Top, W, std::max(0, Bottom - Top));
    Left += W;
  }
  for (const TEntry &E : ByAlign[alRight]) {
    int W = std::max(0, E.Control->width());
    Right -= W;
    E.Control->setGeometry(Right, Top, W, std::max(0, Bottom - Top));
  }
  for (const TEntry &E : ByAlign[alClient])
    E.Control->setGeometry(Left, Top, std::max(0, Right - Left), std::max(0, Bottom - Top));
}
