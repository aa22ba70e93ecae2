// Menu merging by group number.
#include "classes/Forms.h"

#include <algorithm>

void MergeMenus(QMenuBar *AMenuBar, const std::vector<TMenuGroup> &AFrameMenus,
                const std::vector<TMenuGroup> &AChildMenus) {
  std::vector<TMenuGroup> Merged;
  for (const TMenuGroup &Frame : AFrameMenus) {
    bool Replaced = std::any_of(AChildMenus.begin(), AChildMenus.end(),
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
