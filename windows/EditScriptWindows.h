// Script processing's window interface, implemented by the script editor windows of the frame.
#pragma once

#include "script/ScriptWindows.h"

class TWindowsHost;

class TEditScriptWindows : public TScriptWindows {
public:
  // Installs itself for script processing while it lives.
  explicit TEditScriptWindows(TWindowsHost &AHost);
  ~TEditScriptWindows() override;

  TEditForm *CreateEditForm(const std::string &AFileName) override;
  std::vector<TEditForm *> EditForms() override;
  std::string EditFormFileName(TEditForm *AForm) override;
  std::string EditFormText(TEditForm *AForm) override;
  void ShowEditForm(TEditForm *AForm) override;
  int EditFormHeight(TEditForm *AForm) override;
  int ErrorListHeight(TEditForm *AForm) override;
  void MoveSplitter(TEditForm *AForm, int AEditorHeight) override;
  void AppendError(TEditForm *AForm, const std::string &AText, int APosition) override;

private:
  TWindowsHost &FHost;
};
