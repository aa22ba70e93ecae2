// Compile from the editor and the error list. The compile run, and what a click and a double
// click on an error do, arrive with the compile dialog; until then the list only collects.
#include "windows/EditUnit.h"

#include <QListWidget>

void TEditForm::RunCompileItemClick(QObject *) {}

void TEditForm::RunComileExpressionItemClick() {}

void TEditForm::AddError(const std::string &AText, int APosition) {
  auto *Item = new QListWidgetItem(QString::fromLatin1(AText.data(), qsizetype(AText.size())));
  Item->setData(Qt::UserRole, APosition);
  ErrorBox->addItem(Item);
  ErrorBox->setCurrentItem(Item);
  ErrorBoxClick();
}

void TEditForm::ErrorBoxClick() {}

void TEditForm::ErrorBoxDblClick() {}
