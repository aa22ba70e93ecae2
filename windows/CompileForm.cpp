// The compile dialog.
#include "windows/CompileForm.h"
#include "classes/CodePage.h"
#include "classes/Forms.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <QFile>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

TCompileForm::TCompileForm(QWidget *AParent) : QDialog(AParent) {
  setObjectName("CompileForm");
  setWindowTitle("Compile");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  const auto Value = [this](const char *AName) {
    auto *Label = new QLabel(this);
    Label->setObjectName(AName);
    Label->setTextFormat(Qt::PlainText);
    return Label;
  };
  ExpCount = Value("ExpCount");
  ErrorCount = Value("ErrorCount");
  ElapsedTime = Value("ElapsedTime");
  CurrentFileName = Value("CurrentFileName");
  // A long path must not widen the fixed dialog: it is cut at the left, where it matters least.
  CurrentFileName->setMinimumWidth(1);
  CurrentFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setObjectName("ProgressBar");
  ProgressBar->setRange(0, 100);
  ProgressBar->setTextVisible(false);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setDefault(true);
  CancelButton->setAutoDefault(true);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto *Grid = new QGridLayout(this);
  const char *Captions[] = {
      "Expressions:", "Errors:", "Elapsed time:", "Current file:", "File progress:"};
  QWidget *Values[] = {ExpCount, ErrorCount, ElapsedTime, CurrentFileName, ProgressBar};
  for (int Row = 0; Row < 5; ++Row) {
    Grid->addWidget(new QLabel(Captions[Row], this), Row, 0);
    Grid->addWidget(Values[Row], Row, 1);
  }
  Grid->setColumnStretch(1, 1);
  Grid->addWidget(CancelButton, 0, 2, 2, 1, Qt::AlignTop);
  setFixedSize(337, 144);
}

void TCompileForm::Execute() {
  ExpCount->setText("0 of 0");
  ErrorCount->setText("None");
  ElapsedTime->setText(AnsiToQString(FormatElapsedTime({})));
  CurrentFileName->clear();
  CurrentFileName->setToolTip({});
  FShownFileName.clear();
  ProgressBar->setValue(0);
  CancelButton->setText("Cancel");
  ExecCentred(*this, OnShown);
}

void TCompileForm::SetExpCount(const std::string &AText) {
  ExpCount->setText(AnsiToQString(AText));
}

void TCompileForm::SetErrorCount(const std::string &AText) {
  ErrorCount->setText(AnsiToQString(AText));
}

void TCompileForm::SetElapsedTime(const std::string &AText) {
  ElapsedTime->setText(AnsiToQString(AText));
}

std::string TCompileForm::ShownFileName() const { return FShownFileName; }

void TCompileForm::SetCurrentFileName(const std::string &AText) {
  // A file name: shown through the file system's encoding, whole in the tool tip, and as much
  // of its end as fits in the label.
  FShownFileName = AText;
  const QString Name = QFile::decodeName(QByteArray(AText.data(), qsizetype(AText.size())));
  CurrentFileName->setToolTip(Name);
  const QFontMetrics Metrics(CurrentFileName->font());
  CurrentFileName->setText(
      Metrics.elidedText(Name, Qt::ElideLeft, std::max(CurrentFileName->width(), 60)));
}

void TCompileForm::SetProgress(int APercent) { ProgressBar->setValue(APercent); }

void TCompileForm::SetDone() { CancelButton->setText("OK"); }

void TCompileForm::Repaint() { repaint(); }

TCompileForm *CompileForm() {
  // Owned by the main window, so it goes with it; made when the first compile needs it.
  static QPointer<TCompileForm> Form;
  if (!Form)
    Form = new TCompileForm(WindowsHost().HostWidget());
  return Form;
}
