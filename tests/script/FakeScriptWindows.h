// A stand-in for the script editor windows: records what script processing asks of them.
#pragma once

#include "script/ScriptWindows.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

// The tests' own editor window: a file name, a text and an error list.
class TEditForm {
public:
  std::string FileName;
  std::string Text;
  int Height = 300;
  int ErrorListHeight = 0;
  int ShowCount = 0;
  std::vector<std::pair<std::string, int>> Errors;
};

class TFakeScriptWindows : public TScriptWindows {
public:
  TFakeScriptWindows() { SetScriptWindows(this); }
  ~TFakeScriptWindows() override { SetScriptWindows(nullptr); }

  TEditForm *Open(const std::string &AFileName, const std::string &AText) {
    Forms.push_back(std::make_unique<TEditForm>());
    Forms.back()->FileName = AFileName;
    Forms.back()->Text = AText;
    return Forms.back().get();
  }

  TEditForm *CreateEditForm(const std::string &AFileName) override {
    Created.push_back(AFileName);
    return Open(AFileName, "");
  }
  std::vector<TEditForm *> EditForms() override {
    std::vector<TEditForm *> Result;
    for (auto &Form : Forms)
      Result.push_back(Form.get());
    return Result;
  }
  std::string EditFormFileName(TEditForm *AForm) override { return AForm->FileName; }
  std::string EditFormText(TEditForm *AForm) override { return AForm->Text; }
  void ShowEditForm(TEditForm *AForm) override { ++AForm->ShowCount; }
  int EditFormHeight(TEditForm *AForm) override { return AForm->Height; }
  int ErrorListHeight(TEditForm *AForm) override { return AForm->ErrorListHeight; }
  void MoveSplitter(TEditForm *AForm, int AEditorHeight) override {
    AForm->ErrorListHeight = AForm->Height - AEditorHeight;
    SplitterMoves.push_back(AEditorHeight);
  }
  void AppendError(TEditForm *AForm, const std::string &AText, int APosition) override {
    AForm->Errors.emplace_back(AText, APosition);
  }

  std::vector<std::unique_ptr<TEditForm>> Forms;
  std::vector<std::string> Created;
  std::vector<int> SplitterMoves;
};
