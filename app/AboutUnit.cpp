// The about box: program name, version and what it is.
#include "app/AboutUnit.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAboutBox::TAboutBox(QWidget *AParent) : QDialog(AParent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  auto *Layout = new QVBoxLayout(this);
  auto *ProductName = new QLabel("<b>Tessaly</b>", this);
  ProductName->setObjectName("ProductName");
  auto *Version = new QLabel("Version " TESSALY_VERSION, this);
  Version->setObjectName("Version");
  auto *Comments = new QLabel("A programmer's environment for Oracle 7 SQL and PL/SQL.\n"
                              "Ships with a local server over SQLite.",
                              this);
  Comments->setObjectName("Comments");
  auto *OkButton = new QPushButton("OK", this);
  OkButton->setObjectName("OkButton");
  OkButton->setDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  for (QWidget *W : {static_cast<QWidget *>(ProductName), static_cast<QWidget *>(Version),
                     static_cast<QWidget *>(Comments)})
    Layout->addWidget(W, 0, Qt::AlignHCenter);
  Layout->addWidget(OkButton, 0, Qt::AlignHCenter);
}
