// The editor windows as script processing sees them.
#include "windows/EditScriptWindows.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/Application.h"
#include "windows/EditUnit.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QListWidget>
#include <QMdiSubWindow>

TEditScriptWindows::TEditScriptWindows(TWindowsHost &AHost) : FHost(AHost) {
  SetScriptWindows(this);
}

TEditScriptWindows::~TEditScriptWindows() {
  if (ScriptWindows() == this)
    SetScriptWindows(nullptr);
}

TEditForm *TEditScriptWindows::CreateEditForm(const std::string &AFileName) {
  TEditForm *Form = TEditForm::Create(FHost);
  try {
    Form->OpenFile(AFileName, false);
  } catch (const std::exception &E) {
    // The error still needs a window to show in: it stays empty, under the file's name, so the
    // user sees which file could not be read and nothing of it is mistaken for its content.
    TApplication::HandleException(E);
    Form->SetFileName(AFileName);
  }
  return Form;
}

std::vector<TEditForm *> TEditScriptWindows::EditForms() {
  std::vector<TEditForm *> Forms;
  for (QMdiSubWindow *Window : FHost.ChildArea()->subWindowList())
    if (auto *Form = dynamic_cast<TEditForm *>(Window->widget()))
      Forms.push_back(Form);
  return Forms;
}

std::string TEditScriptWindows::EditFormFileName(TEditForm *AForm) { return AForm->FileName(); }

std::string TEditScriptWindows::EditFormText(TEditForm *AForm) {
  return AForm->Editor->Lines().Text();
}

void TEditScriptWindows::ShowEditForm(TEditForm *AForm) {
  QWidget *Window = AForm->parentWidget() ? AForm->parentWidget() : AForm;
  Window->show();
  if (auto *Sub = qobject_cast<QMdiSubWindow *>(Window))
    FHost.ChildArea()->setActiveSubWindow(Sub);
  Window->raise();
}

int TEditScriptWindows::EditFormHeight(TEditForm *AForm) { return AForm->height(); }

int TEditScriptWindows::ErrorListHeight(TEditForm *AForm) { return AForm->ErrorBox->height(); }

void TEditScriptWindows::MoveSplitter(TEditForm *AForm, int AEditorHeight) {
  AForm->Splitter->MoveTo(0, AEditorHeight);
}

void TEditScriptWindows::AppendError(TEditForm *AForm, const std::string &AText, int APosition) {
  AForm->AddError(AText, APosition);
}
