// What script processing needs of the script editor windows, behind one narrow interface.
#pragma once

#include <string>
#include <vector>

// The script editor window; defined by the windows layer. Script processing only holds
// pointers to it and reaches it through TScriptWindows.
class TEditForm;
class TScript;

// Implemented once by the editor windows and installed with SetScriptWindows. Every member runs
// on the GUI thread only; workers reach it through Synchronize.
class TScriptWindows {
public:
  virtual ~TScriptWindows() = default;

  // Creates a new editor window and opens AFileName in it, not read-only.
  virtual TEditForm *CreateEditForm(const std::string &AFileName) = 0;
  // The open editor windows, in any order.
  virtual std::vector<TEditForm *> EditForms() = 0;
  virtual std::string EditFormFileName(TEditForm *AForm) = 0;
  // The editor's whole current text, unsaved changes included, lines joined by CR LF.
  virtual std::string EditFormText(TEditForm *AForm) = 0;

  // Shows the window and brings it to the front.
  virtual void ShowEditForm(TEditForm *AForm) = 0;
  virtual int EditFormHeight(TEditForm *AForm) = 0;
  virtual int ErrorListHeight(TEditForm *AForm) = 0;
  // Moves the splitter between editor and error list so the editor is AEditorHeight high.
  virtual void MoveSplitter(TEditForm *AForm, int AEditorHeight) = 0;
  // Appends one error line with its position (1-based in the text, 0 = none), selects it and
  // runs the error list's click action, which moves the caret to the error.
  virtual void AppendError(TEditForm *AForm, const std::string &AText, int APosition) = 0;

  // A program without editor windows (the command-line compile) takes a script's error here
  // instead of in a window's list; true when it did. The position is 1-based in the script's
  // text, 0 when the error has no place.
  virtual bool ReportError(const TScript &AScript, const std::string &AText, int APosition) {
    (void)AScript;
    (void)AText;
    (void)APosition;
    return false;
  }
};

// A program without editor windows (the command-line compile, a benchmark): every window call
// does nothing; such a program takes the errors through ReportError.
class TNoScriptWindows : public TScriptWindows {
public:
  TEditForm *CreateEditForm(const std::string &) override { return nullptr; }
  std::vector<TEditForm *> EditForms() override { return {}; }
  std::string EditFormFileName(TEditForm *) override { return {}; }
  std::string EditFormText(TEditForm *) override { return {}; }
  void ShowEditForm(TEditForm *) override {}
  int EditFormHeight(TEditForm *) override { return 0; }
  int ErrorListHeight(TEditForm *) override { return 0; }
  void MoveSplitter(TEditForm *, int) override {}
  void AppendError(TEditForm *, const std::string &, int) override {}
};

// The installed implementation; null while no editor window exists in this program.
TScriptWindows *ScriptWindows();
void SetScriptWindows(TScriptWindows *AWindows);
