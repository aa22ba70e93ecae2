// Multiple-document child windows and the merging of their menus into the frame's menu bar.
#pragma once

#include "classes/ValueStream.h"

#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <functional>
#include <vector>

// A top-level menu with its group number; the frame orders its menu bar by group.
struct TMenuGroup {
  int Group;
  QMenu *Menu;
};

// Fills a menu bar from the frame's menus and the active child's: a child menu replaces the
// frame's menu of the same group; all menus stand in group order, the frame's first among equals.
void MergeMenus(QMenuBar *AMenuBar, const std::vector<TMenuGroup> &AFrameMenus,
                const std::vector<TMenuGroup> &AChildMenus);

// The base of every child window of the frame. A child offers its own menus for merging and
// hears when it becomes the active child or stops being it.
class TForm : public QWidget {
public:
  explicit TForm(QWidget *AParent = nullptr) : QWidget(AParent) {}
  virtual std::vector<TMenuGroup> MenuGroups() const { return {}; }
  virtual void FormActivate() {}
  virtual void FormDeactivate() {}
  // The close question (an editor asks to save): false keeps the window open. The frame asks
  // every child before it shuts down, and a window closed on its own asks itself.
  virtual bool FormCloseQuery() { return true; }
  // The class name under which the desktop file records and re-creates this window.
  virtual const char *FormClassName() const = 0;
  // The window's own values in its desktop record, after its class name and placement.
  virtual void WriteDesktopValues(TValueWriter &AWriter) { (void)AWriter; }
};

// The commands the frame's speed bar forwards to the active child when that child is a script
// editor window; other children do not implement it and the buttons do nothing for them.
class IEditorCommands {
public:
  virtual ~IEditorCommands() = default;
  virtual void FileSaveItemClick() = 0;
  virtual void EditUndoItemClick() = 0;
  virtual void EditCutItemClick() = 0;
  virtual void EditCopyItemClick() = 0;
  virtual void EditPasteItemClick() = 0;
  virtual void SearchFindItemClick() = 0;
  virtual void RunCompileItemClick(QObject *ASender) = 0;
};

class QDialog;
// Shows a dialog modally, centred on the screen; AOnShown (when set) runs once the dialog is up,
// from its event loop, as a user's first action would. Returns the dialog's result.
int ExecCentred(QDialog &ADialog, const std::function<void()> &AOnShown);
