// The compile dialog: the modal progress window of a compile run (expressions, errors, elapsed
// time, current file and its progress) whose one button cancels the run, then reads "OK".
#pragma once

#include "script/CompileUnit.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <functional>

class TCompileForm : public QDialog, public TCompileDisplay {
public:
  explicit TCompileForm(QWidget *AParent = nullptr);

  QLabel *ExpCount;
  QLabel *ErrorCount;
  QLabel *ElapsedTime;
  QLabel *CurrentFileName;
  QProgressBar *ProgressBar;
  QPushButton *CancelButton;

  // Sets the initial values, the button to "Cancel", and shows the dialog modally; returns when
  // the user presses the button (or closes the dialog).
  void Execute();

  // Runs on the GUI thread once the dialog is up (tests press the button from here).
  std::function<void()> OnShown;

  // What the compile run shows here.
  void SetExpCount(const std::string &AText) override;
  void SetErrorCount(const std::string &AText) override;
  void SetElapsedTime(const std::string &AText) override;
  std::string ShownFileName() const override;
  void SetCurrentFileName(const std::string &AText) override;
  void SetProgress(int APercent) override;
  void SetDone() override;
  void Repaint() override;

private:
  std::string FShownFileName;
};

// The one compile dialog of the program, created on first use and kept.
TCompileForm *CompileForm();
