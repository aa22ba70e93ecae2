// Menu merging by group number, and modal dialogs shown centred.
#include "classes/Forms.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>

void MergeMenus(QMenuBar *AMenuBar, const std::vector<TMenuGroup> &AFrameMenus,
                const std::vector<TMenuGroup> &AChildMenus) {
  std::vector<TMenuGroup> Merged;
  for (const TMenuGroup &Frame : AFrameMenus) {
    bool Replaced =
        std::any_of(AChildMenus.begin(), AChildMenus.end(),
                    [&](const TMenuGroup &Child) { return Child.Group == Frame.Group; });
    if (!Replaced)
      Merged.push_back(Frame);
  }
  Merged.insert(Merged.end(), AChildMenus.begin(), AChildMenus.end());
  std::stable_sort(Merged.begin(), Merged.end(),
                   [](const TMenuGroup &A, const TMenuGroup &B) { return A.Group < B.Group; });
  AMenuBar->clear();
  for (const TMenuGroup &Item : Merged)
    AMenuBar->addMenu(Item.Menu);
}

int ExecCentred(QDialog &ADialog, const std::function<void()> &AOnShown) {
  if (QScreen *Screen = QGuiApplication::primaryScreen())
    ADialog.move(Screen->availableGeometry().center() - ADialog.rect().center());
  if (AOnShown)
    QTimer::singleShot(0, &ADialog, [&AOnShown] {
      if (AOnShown)
        AOnShown();
    });
  return ADialog.exec();
}
