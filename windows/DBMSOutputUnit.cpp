// The DBMS output window: enabling the server's output buffer, draining it into the list, saving
// the list and the single registration the other windows consult.
#include "windows/DBMSOutputUnit.h"
#include "classes/CodePage.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/AlignedLayout.h"
#include "classes/Application.h"
#include "classes/Streams.h"
#include "classes/WindowPlacement.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <memory>

namespace {

TDBMSOutputForm *RegisteredForm = nullptr;

QPushButton *NewButton(QWidget *AParent, const char *AName, const char *ACaption, int ALeft) {
  auto *Button = new QPushButton(AnsiToQString(ACaption), AParent);
  Button->setObjectName(AName);
  Button->setGeometry(ALeft, 0, 73, 21);
  return Button;
}

} // namespace

TDBMSOutputForm::TServerFactory TDBMSOutputForm::ServerFactory =
    [](TDBMSOutputForm &AForm) -> std::unique_ptr<TDBMSOutputServer> {
  return std::make_unique<TStoredProcOutputServer>(&AForm);
};

void SaveLinesToFile(const std::string &AFileName, const std::vector<std::string> &ALines) {
  TFileStream Stream(AFileName, TFileMode::fmCreate);
  std::string Content;
  for (const std::string &Line : ALines) {
    Content += Line;
    Content += "\r\n";
  }
  Stream.Write(Content.data(), Content.size());
  Stream.Commit();
}

TDBMSOutputForm *TDBMSOutputForm::Registered() { return RegisteredForm; }

bool TDBMSOutputForm::DrainRegistered() {
  if (!RegisteredForm)
    return false;
  RegisteredForm->DrainOutput();
  return true;
}

TDBMSOutputForm::TDBMSOutputForm(QWidget *AParent) : TForm(AParent) {
  setObjectName("DBMSOutputForm");
  setWindowTitle("DBMS Output");
  resize(427, 273); // the client area of a 435 x 300 window
  auto *Layout = new TAlignedLayout(this);
  Layout->DisableAlign();

  TopPanel = new QWidget(this);
  TopPanel->setObjectName("TopPanel");
  TopPanel->setGeometry(0, 0, 427, 21);
  auto *TopLayout = new TAlignedLayout(TopPanel);
  TopLayout->DisableAlign();
  SaveButton = NewButton(TopPanel, "SaveButton", "Save", 279);
  DistancePanel2 = new QWidget(TopPanel);
  DistancePanel2->setObjectName("DistancePanel2");
  DistancePanel2->setGeometry(352, 0, 2, 21);
  ResetButton = NewButton(TopPanel, "ResetButton", "Reset", 354);
  ResetButton->setDefault(true);
  SetAlign(ResetButton, alRight);
  SetAlign(DistancePanel2, alRight);
  SetAlign(SaveButton, alRight);
  TopLayout->EnableAlign();

  DistancePanel1 = new QWidget(this);
  DistancePanel1->setObjectName("DistancePanel1");
  DistancePanel1->setGeometry(0, 21, 427, 1);
  ListBox = new QListWidget(this);
  ListBox->setObjectName("ListBox");
  ListBox->setGeometry(0, 22, 427, 251);
  ListBox->setUniformItemSizes(true);
  ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  SetAlign(TopPanel, alTop);
  SetAlign(DistancePanel1, alTop);
  SetAlign(ListBox, alClient);
  Layout->EnableAlign();

  AskSaveFileName = [this] {
    QFileDialog Dialog(this, "Save");
    Dialog.setObjectName("SaveDialog");
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setFileMode(QFileDialog::AnyFile);
    // The question about an existing file is the window's own.
    Dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
      return std::string();
    return QFile::encodeName(Dialog.selectedFiles().first()).toStdString();
  };
  ConfirmOverwrite = [this](const std::string &AQuestion) {
    return QMessageBox::question(this, "Confirm", QString::fromLocal8Bit(AQuestion),
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) ==
           QMessageBox::Yes;
  };
  ShowLine = [this](const std::string &AText) {
    QMessageBox::information(this, "Information", AnsiToQString(AText));
  };

  connect(ResetButton, &QPushButton::clicked, this, Guarded([this] { ResetButtonClick(); }));
  connect(SaveButton, &QPushButton::clicked, this, Guarded([this] { SaveButtonClick(); }));
  connect(ListBox, &QListWidget::itemDoubleClicked, this, Guarded([this] { ListBoxDblClick(); }));
}

TDBMSOutputForm::~TDBMSOutputForm() {
  if (RegisteredForm == this)
    RegisteredForm = nullptr;
  WindowsHost().UpdateClientEdge();
}

TDBMSOutputForm *TDBMSOutputForm::Create(TWindowsHost &AHost, const TWindowPlacement *APlacement) {
  if (TDBMSOutputForm *Existing = RegisteredForm) {
    if (auto *Window = qobject_cast<QMdiSubWindow *>(Existing->parentWidget())) {
      if (Window->isMinimized())
        Window->showNormal();
      AHost.ChildArea()->setActiveSubWindow(Window);
    }
    return Existing;
  }
  if (TOracleDatabase *Database = AHost.MainDatabase())
    Database->SetConnected(true);
  auto Created = std::make_unique<TDBMSOutputForm>();
  Created->FormCreate(); // a failure frees the window before the frame has it
  TDBMSOutputForm *Form = Created.release();
  AHost.AddChild(Form);
  if (APlacement)
    if (auto *Window = qobject_cast<QMdiSubWindow *>(Form->parentWidget()))
      SetWindowPlacement(*Window, *APlacement);
  return Form;
}

void TDBMSOutputForm::RestoreFromDesktop(TWindowsHost &AHost, TValueReader &AReader) {
  std::array<std::uint8_t, TWindowPlacement::RecordSize> Bytes;
  AReader.Read(Bytes.data(), Bytes.size());
  const TWindowPlacement Placement = TWindowPlacement::FromBytes(Bytes);
  if (RegisteredForm)
    return;
  TApplication::Guard([&] { Create(AHost, &Placement); });
}

void TDBMSOutputForm::FormCreate() {
  if (RegisteredForm && RegisteredForm != this)
    return;
  FServer = ServerFactory(*this);
  Enable();
  RegisteredForm = this;
}

int TDBMSOutputForm::BufferLimit() const { return WindowsHost().Configuration().DBMSBufferLimit(); }

int TDBMSOutputForm::OracleBufferLimit() const {
  return WindowsHost().Configuration().DBMSOracleBufferLimit();
}

void TDBMSOutputForm::Enable() { FServer->Enable(OracleBufferLimit()); }

void TDBMSOutputForm::DrainOutput() {
  if (!FServer)
    return;
  const int Limit = std::max(1, BufferLimit());
  std::string Line;
  bool Added = false;
  while (FServer->GetLine(Line)) {
    while (ListBox->count() >= Limit)
      delete ListBox->takeItem(0);
    ListBox->addItem(AnsiToQString(Line));
    Added = true;
  }
  if (Added) {
    ListBox->setCurrentRow(ListBox->count() - 1);
    ListBox->scrollToBottom();
  }
}

void TDBMSOutputForm::ResetButtonClick() {
  if (!FServer)
    return;
  Enable();
  ListBox->clear();
}

void TDBMSOutputForm::SaveButtonClick() {
  const std::string FileName = AskSaveFileName();
  if (FileName.empty())
    return;
  if (QFile::exists(QFile::decodeName(FileName.c_str())) &&
      !ConfirmOverwrite("Ok to overwrite " + FileName))
    return;
  SaveLinesToFile(FileName, Lines());
}

void TDBMSOutputForm::ListBoxDblClick() {
  const int Index = SelectedIndex();
  if (Index < 0)
    return;
  ShowLine(QStringToAnsi(ListBox->item(Index)->text()));
}

std::vector<std::string> TDBMSOutputForm::Lines() const {
  std::vector<std::string> Result;
  Result.reserve(std::size_t(ListBox->count()));
  for (int i = 0; i < ListBox->count(); ++i)
    Result.push_back(QStringToAnsi(ListBox->item(i)->text()));
  return Result;
}

int TDBMSOutputForm::SelectedIndex() const {
  const QList<QListWidgetItem *> Selected = ListBox->selectedItems();
  return Selected.isEmpty() ? -1 : ListBox->row(Selected.first());
}

void TDBMSOutputForm::closeEvent(QCloseEvent *AEvent) {
  // A closed window is on its way out: nothing may drain into it any more.
  if (RegisteredForm == this)
    RegisteredForm = nullptr;
  TForm::closeEvent(AEvent);
}

void TDBMSOutputForm::resizeEvent(QResizeEvent *AEvent) {
  TForm::resizeEvent(AEvent);
  WindowsHost().UpdateClientEdge();
}
