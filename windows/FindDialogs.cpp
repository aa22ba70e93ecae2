// The find and replace dialogs.
#include "windows/FindDialogs.h"
#include "classes/CodePage.h"

#include "classes/Application.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {} // namespace

TFindDialog::TFindDialog(QWidget *AParent) : QDialog(AParent) {
  setObjectName("FindDialog");
  setWindowTitle("Find");
  setModal(false);
  auto *Layout = new QGridLayout(this);
  auto *Label = new QLabel("Fi&nd what:", this);
  FindEdit = new QLineEdit(this);
  FindEdit->setObjectName("FindEdit");
  Label->setBuddy(FindEdit);
  Layout->addWidget(Label, 0, 0);
  Layout->addWidget(FindEdit, 0, 1);
  MatchCaseBox = new QCheckBox("Match &case", this);
  MatchCaseBox->setObjectName("MatchCaseBox");
  Layout->addWidget(MatchCaseBox, 2, 0, 1, 2);
  FindNextButton = new QPushButton("&Find Next", this);
  FindNextButton->setObjectName("FindNextButton");
  FindNextButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  Layout->addWidget(FindNextButton, 0, 2);
  Layout->addWidget(CancelButton, 3, 2);
  connect(FindNextButton, &QPushButton::clicked, this, Guarded([this] {
            FExtraOptions = frDown | frFindNext;
            OnFind(this);
          }));
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::hide);
}

std::string TFindDialog::FindText() const { return QStringToAnsi(FindEdit->text()); }
void TFindDialog::SetFindText(const std::string &AValue) {
  FindEdit->setText(AnsiToQString(AValue));
}

int TFindDialog::Options() const {
  return FExtraOptions | (MatchCaseBox->isChecked() ? frMatchCaseOption : 0);
}

void TFindDialog::Execute() {
  FExtraOptions = frDown;
  show();
  raise();
  activateWindow();
  FindEdit->selectAll();
  FindEdit->setFocus();
}

TReplaceDialog::TReplaceDialog(QWidget *AParent) : TFindDialog(AParent) {
  setObjectName("ReplaceDialog");
  setWindowTitle("Replace");
  auto *Layout = static_cast<QGridLayout *>(layout());
  auto *Label = new QLabel("Re&place with:", this);
  ReplaceEdit = new QLineEdit(this);
  ReplaceEdit->setObjectName("ReplaceEdit");
  Label->setBuddy(ReplaceEdit);
  Layout->addWidget(Label, 1, 0);
  Layout->addWidget(ReplaceEdit, 1, 1);
  ReplaceButton = new QPushButton("&Replace", this);
  ReplaceButton->setObjectName("ReplaceButton");
  ReplaceAllButton = new QPushButton("Replace &All", this);
  ReplaceAllButton->setObjectName("ReplaceAllButton");
  Layout->addWidget(ReplaceButton, 1, 2);
  Layout->addWidget(ReplaceAllButton, 2, 2);
  connect(ReplaceButton, &QPushButton::clicked, this, Guarded([this] {
            FExtraOptions = frDown | frReplace;
            OnReplace(this);
          }));
  connect(ReplaceAllButton, &QPushButton::clicked, this, Guarded([this] {
            FExtraOptions = frDown | frReplaceAll;
            OnReplace(this);
          }));
  // Tab goes from the search text to the replacement, then the options, then the buttons: a
  // replacement typed after one Tab must land in its own box.
  QWidget *const Order[] = {FindEdit,      ReplaceEdit,      MatchCaseBox, FindNextButton,
                            ReplaceButton, ReplaceAllButton, CancelButton};
  for (std::size_t I = 1; I < std::size(Order); ++I)
    QWidget::setTabOrder(Order[I - 1], Order[I]);
}

std::string TReplaceDialog::ReplaceText() const { return QStringToAnsi(ReplaceEdit->text()); }
void TReplaceDialog::SetReplaceText(const std::string &AValue) {
  ReplaceEdit->setText(AnsiToQString(AValue));
}
