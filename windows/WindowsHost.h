// The frame as the child windows see it: the main window implements this and installs itself,
// so the windows never reach into the application shell that creates them.
#pragma once

#include <string>

class QMdiArea;
class QWidget;
class TCFG;
class TForm;
class TOracleDatabase;
class TOracleQuery;

class TWindowsHost {
public:
  virtual ~TWindowsHost() = default;

  // The parent of the shared dialogs; null without a frame.
  virtual QWidget *HostWidget() = 0;
  // Where the child windows live; null without a frame.
  virtual QMdiArea *ChildArea() = 0;
  // Takes a new child window into the frame and shows it.
  virtual void AddChild(TForm *AChild) = 0;
  // The frame's border follows whether a child window is maximised.
  virtual void UpdateClientEdge() = 0;
  virtual void SetStatusText(const std::string &AText) = 0;
  // The speed bar's editor buttons follow whether an editor is active.
  virtual void EnableEditorButtons(bool AEnabled) = 0;
  // True while the program shuts down and asks each window to close.
  virtual bool ClosingDown() const = 0;
  virtual void FileNewItemClick() = 0;
  virtual void FileOpenItemClick() = 0;
  virtual void FileExitItemClick() = 0;

  // The configuration; without a frame, one with every default.
  virtual TCFG &Configuration() = 0;
  // The program's connection and the two queries the compile run uses; null without a frame.
  virtual TOracleDatabase *MainDatabase() = 0;
  virtual TOracleQuery *CompileQuery() = 0;
  virtual TOracleQuery *CompileErrorQuery() = 0;
};

// The installed frame, or a stand-in that does nothing (and has a default configuration) while
// none is installed, as in tests of a single window.
TWindowsHost &WindowsHost();
// True when a frame is installed.
bool HasWindowsHost();
void SetWindowsHost(TWindowsHost *AHost);
