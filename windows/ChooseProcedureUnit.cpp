// The paste-from-database dialog and the reading of a stored object's source.
#include "windows/ChooseProcedureUnit.h"
#include "classes/CodePage.h"
#include "classes/Forms.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/Exceptions.h"
#include "db/OciApiQuery.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int NameRole = Qt::UserRole;
constexpr int TypeRole = Qt::UserRole + 1;

TParam *Field(TOracleQuery &AQuery, int AIndex) {
  if (AQuery.Fields().Count() <= AIndex)
    throw Exception("The query returned fewer columns than expected.");
  return AQuery.Fields().Items(AIndex);
}

// Prepares AText on AQuery and gives each named bind variable its value.
void PrepareWithValues(TOracleQuery &AQuery, const std::string &AText,
                       std::initializer_list<std::pair<const char *, std::string>> AValues) {
  AQuery.SetSQL(AText);
  AQuery.SetPrepared(true);
  for (const auto &[Name, Value] : AValues) {
    TParam *Param = AQuery.ParamByName(Name);
    if (!Param)
      throw Exception(std::string("The query has no bind variable \"") + Name + "\".");
    Param->SetAsString(Value);
  }
  AQuery.Fields().SetDimension(TChooseProcedureForm::BatchRows);
}

// Calls AEachBatch after the first fetch and after every further batch of rows.
template <typename F> void ForEachBatch(TOracleQuery &AQuery, F AEachBatch) {
  AQuery.Open();
  while (AQuery.RowsProcessed() > 0) {
    AEachBatch(AQuery.RowsProcessed());
    if (AQuery.State() != TDataSetState::Fetching)
      break;
    AQuery.FetchNext(TChooseProcedureForm::BatchRows);
  }
}

} // namespace

TChooseProcedureForm::TChooseProcedureForm(QWidget *AParent) : QDialog(AParent) {
  setObjectName("ChooseProcedureForm");
  setWindowTitle("Paste from Database");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(441, 201);
  Label1 = new QLabel("PL/SQL object to paste:", this);
  Label1->setObjectName("Label1");
  Label1->move(8, 8);
  ListBox = new QListWidget(this);
  ListBox->setObjectName("ListBox");
  ListBox->setGeometry(8, 24, 329, 169);
  ListBox->setSortingEnabled(true);
  connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] { OkButton->click(); });
  OkButton = new QPushButton("OK", this);
  OkButton->setObjectName("OkButton");
  OkButton->setGeometry(352, 24, 81, 25);
  OkButton->setDefault(true);
  OkButton->setAutoDefault(true);
  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(352, 56, 81, 25);
  CancelButton->setAutoDefault(false);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TChooseProcedureForm::~TChooseProcedureForm() = default;

std::string TChooseProcedureForm::ItemText(const std::string &AName, const std::string &AType) {
  return AName + " (" + AType + ")";
}

void TChooseProcedureForm::FillList(TOracleQuery &AQuery) {
  ListBox->clear();
  PrepareWithValues(AQuery,
                    "SELECT object_name,object_type FROM user_objects WHERE "
                    "object_type='PACKAGE' OR object_type='PACKAGE BODY' OR "
                    "object_type='PROCEDURE' OR object_type='FUNCTION' OR "
                    "object_type='TRIGGER'",
                    {});
  ForEachBatch(AQuery, [&](int ARows) {
    TParam *NameField = Field(AQuery, 0), *TypeField = Field(AQuery, 1);
    for (int Row = 0; Row < ARows; ++Row) {
      const std::string Name = NameField->RowAsString(Row), Type = TypeField->RowAsString(Row);
      // Name and type ride with the item, so a quoted name holding blanks or brackets is
      // still read back whole.
      auto *Item = new QListWidgetItem(AnsiToQString(ItemText(Name, Type)));
      Item->setData(NameRole, QByteArray::fromStdString(Name));
      Item->setData(TypeRole, QByteArray::fromStdString(Type));
      ListBox->addItem(Item);
    }
  });
}

int TChooseProcedureForm::Choose(TOracleDatabase &ADatabase, TOracleQuery &AQuery) {
  ADatabase.SetConnected(true);
  FillList(AQuery);
  ListBox->setFocus();
  const int Result = ExecCentred(*this, OnShown);
  return ListBox->currentItem() && ListBox->currentItem()->isSelected() ? Result : Rejected;
}

std::string TChooseProcedureForm::SelectedName() const {
  const QListWidgetItem *Item = ListBox->currentItem();
  return Item && Item->isSelected() ? Item->data(NameRole).toByteArray().toStdString()
                                    : std::string();
}

std::string TChooseProcedureForm::SelectedType() const {
  const QListWidgetItem *Item = ListBox->currentItem();
  return Item && Item->isSelected() ? Item->data(TypeRole).toByteArray().toStdString()
                                    : std::string();
}

TChooseProcedureForm *ChooseProcedureForm() {
  // Owned by the main window, so it goes with it.
  static QPointer<TChooseProcedureForm> Form;
  if (!Form)
    Form = new TChooseProcedureForm(WindowsHost().HostWidget());
  return Form;
}

std::string_view TrimSourceLine(std::string_view ALine) {
  size_t Length = ALine.size();
  while (Length > 0 && (ALine[Length - 1] == '\t' || ALine[Length - 1] == '\n' ||
                        ALine[Length - 1] == '\r' || ALine[Length - 1] == ' '))
    --Length;
  return ALine.substr(0, Length);
}

std::string ObjectSourceText(TOracleQuery &AQuery, const std::string &AName,
                             const std::string &AType) {
  const bool Trigger = AType == "TRIGGER";
  // Bind values, not text: a name holding an apostrophe can neither break nor change the query.
  if (Trigger)
    PrepareWithValues(AQuery,
                      "SELECT trigger_body,description FROM user_triggers WHERE "
                      "trigger_name=:name",
                      {{"name", AName}});
  else
    PrepareWithValues(AQuery,
                      "SELECT text FROM user_source WHERE name=:name AND type=:type "
                      "ORDER BY line",
                      {{"name", AName}, {"type", AType}});
  std::string Result = "CREATE OR REPLACE ";
  ForEachBatch(AQuery, [&](int ARows) {
    TParam *TextField = Field(AQuery, 0);
    if (Trigger)
      Result += "TRIGGER " + Field(AQuery, 1)->RowAsString(0);
    for (int Row = 0; Row < ARows; ++Row) {
      Result += TrimSourceLine(TextField->RowAsString(Row));
      Result += "\r\n";
    }
  });
  return Result;
}
