// The login dialog.
#include "app/LoginUnit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

TLoginForm::TLoginForm(QWidget *AParent) : QDialog(AParent) {
  setObjectName("LoginForm");
  setWindowTitle("Login");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  UserName = new QLineEdit(this);
  UserName->setObjectName("UserName");
  Password = new QLineEdit(this);
  Password->setObjectName("Password");
  Password->setEchoMode(QLineEdit::Password);
  Host = new QLineEdit(this);
  Host->setObjectName("Host");
  OkButton = new QPushButton("OK", this);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto *Grid = new QGridLayout(this);
  const char *Captions[] = {"User Name:", "Password:", "Host:"};
  QLineEdit *Edits[] = {UserName, Password, Host};
  for (int Row = 0; Row < 3; ++Row) {
    auto *Label = new QLabel(Captions[Row], this);
    Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label->setBuddy(Edits[Row]);
    Grid->addWidget(Label, Row, 0);
    Grid->addWidget(Edits[Row], Row, 1);
  }
  auto *Buttons = new QVBoxLayout;
  Buttons->addWidget(OkButton);
  Buttons->addWidget(CancelButton);
  Buttons->addStretch();
  Grid->addLayout(Buttons, 0, 2, 3, 1);
  resize(313, 89);
}

bool TLoginForm::Execute() { return exec() == QDialog::Accepted; }

void TLoginForm::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  if (parentWidget()) // centred over the frame
    move(parentWidget()->geometry().center() - rect().center());
  (UserName->text().isEmpty() ? UserName : Password)->setFocus();
}
