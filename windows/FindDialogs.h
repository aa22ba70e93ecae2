// The find and replace dialogs of the script editor: non-modal, search down, only the match-case
// box among the options (whole word and direction are not offered).
#pragma once

#include "classes/Events.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

// Option bits of the dialogs, as the editor's search reads them.
constexpr int frDown = 1, frFindNext = 8, frMatchCaseOption = 4, frWholeWordOption = 2,
              frReplace = 16, frReplaceAll = 32;

class TFindDialog : public QDialog {
public:
  explicit TFindDialog(QWidget *AParent = nullptr);

  std::string FindText() const;
  void SetFindText(const std::string &AValue);
  int Options() const;
  // Shows the dialog without blocking, brought to the front with its text selected.
  void Execute();

  QLineEdit *FindEdit;
  QCheckBox *MatchCaseBox;
  QPushButton *FindNextButton;
  QPushButton *CancelButton;

  // Find Next pressed (or Return in the text).
  TNotifyEvent OnFind;

protected:
  int FExtraOptions = frDown;
};

class TReplaceDialog : public TFindDialog {
public:
  explicit TReplaceDialog(QWidget *AParent = nullptr);

  std::string ReplaceText() const;
  void SetReplaceText(const std::string &AValue);

  QLineEdit *ReplaceEdit;
  QPushButton *ReplaceButton;
  QPushButton *ReplaceAllButton;

  // Replace or Replace All pressed; Options tells which (frReplace or frReplaceAll).
  TNotifyEvent OnReplace;
};
