// The login dialog: user name, password and host for a connection.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <string>

class TLoginForm : public QDialog {
public:
  explicit TLoginForm(QWidget *AParent = nullptr);

  QLineEdit *UserName;
  QLineEdit *Password;
  QLineEdit *Host;
  QPushButton *OkButton;
  QPushButton *CancelButton;

  // Shows the dialog modally, focused on Password when a user name is there already, else on
  // UserName. True when it was closed with OK.
  bool Execute();

  std::string UserNameText() const { return UserName->text().toLatin1().toStdString(); }
  std::string PasswordText() const { return Password->text().toLatin1().toStdString(); }
  std::string HostText() const { return Host->text().toLatin1().toStdString(); }

protected:
  void showEvent(QShowEvent *AEvent) override;
};
