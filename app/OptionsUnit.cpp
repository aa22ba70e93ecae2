// The options dialog: pages, filling and applying, the style editor and the input checks.
#include "app/OptionsUnit.h"

#include "classes/Application.h"

#include <QColorDialog>
#include <QFocusEvent>
#include <QFontDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

TOptionsForm *OptionsForm = nullptr;

namespace {

const char *const ElementNames[] = {"Selected text", "Reserved word", "Number", "String",
                                    "Comment"};

// A whole decimal number that fits 32 bits, or nothing.
std::optional<int> ToInteger(const QString &AText) {
  bool Ok = false;
  const int Value = AText.trimmed().toInt(&Ok, 10);
  return Ok ? std::optional(Value) : std::nullopt;
}

QIcon ColorSwatch(TColor AColor) {
  QPixmap Pixmap(12, 12);
  Pixmap.fill(ColorToQColor(AColor));
  QPainter(&Pixmap).drawRect(0, 0, 11, 11);
  return QIcon(Pixmap);
}

} // namespace

TOptionsForm::TOptionsForm(QWidget *AParent) : QDialog(AParent) {
  OptionsForm = this;
  setObjectName("OptionsForm");
  setWindowTitle("Options");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);

  ChooseFont = [this](const TFont &AFont) -> std::optional<TFont> {
    QFontDialog Dialog(this);
    PrepareFontDialog(Dialog, AFont);
    if (Dialog.exec() != QDialog::Accepted)
      return std::nullopt;
    const QFont Chosen = Dialog.selectedFont();
    // OK on the font as offered keeps the configured one (and its name) as it was.
    if (Chosen == EditorScreenFont(AFont))
      return AFont;
    TFont Result = AFont;
    Result.AssignQFont(Chosen);
    return Result;
  };
  ChooseColor = [this](TColor AColor) -> std::optional<TColor> {
    const QColor Start = AColor == clDefault ? QColor(Qt::black) : ColorToQColor(AColor);
    const QColor Chosen = QColorDialog::getColor(Start, this, "Color");
    if (!Chosen.isValid())
      return std::nullopt;
    return QColorToColor(Chosen);
  };

  auto Named = [](auto *AWidget, const char *AName) {
    AWidget->setObjectName(AName);
    return AWidget;
  };
  auto Check = [&](QWidget *AParent, const char *AName, const char *ACaption) {
    return Named(new QCheckBox(ACaption, AParent), AName);
  };
  auto Label = [&](QWidget *AParent, const char *AName, const char *ACaption) {
    return Named(new QLabel(ACaption, AParent), AName);
  };
  auto Number = [&](QWidget *AParent, const char *AName) {
    auto *Edit = Named(new QLineEdit(AParent), AName);
    Edit->setMaximumWidth(80);
    return Edit;
  };

  PageControl = Named(new QTabWidget(this), "PageControl");
  // Every tab stays in sight (the dialog widens for them) rather than behind scroll arrows.
  PageControl->setUsesScrollButtons(false);
  auto Page = [&](const char *AName, const char *ACaption) {
    auto *P = Named(new QWidget, AName);
    PageControl->addTab(P, ACaption);
    return P;
  };

  // Desktop
  DesktopPage = Page("DesktopPage", "Desktop");
  SaveGroupBox = Named(new QGroupBox("Save:", DesktopPage), "SaveGroupBox");
  SaveDesktopPositionCheckBox =
      Check(SaveGroupBox, "SaveDesktopPositionCheckBox", "Main window position");
  SaveDesktopStateCheckBox = Check(SaveGroupBox, "SaveDesktopStateCheckBox", "Desktop state");
  auto *SaveLayout = new QVBoxLayout(SaveGroupBox);
  SaveLayout->addWidget(SaveDesktopPositionCheckBox);
  SaveLayout->addWidget(SaveDesktopStateCheckBox);
  SaveInGroupBox = Named(new QGroupBox("Save In:", DesktopPage), "SaveInGroupBox");
  ProjectFolderRadioButton =
      Named(new QRadioButton("Project folder", SaveInGroupBox), "ProjectFolderRadioButton");
  ProgramFolderRadioButton =
      Named(new QRadioButton("Program folder", SaveInGroupBox), "ProgramFolderRadioButton");
  auto *SaveInLayout = new QVBoxLayout(SaveInGroupBox);
  SaveInLayout->addWidget(ProjectFolderRadioButton);
  SaveInLayout->addWidget(ProgramFolderRadioButton);
  auto *DesktopLayout = new QVBoxLayout(DesktopPage);
  DesktopLayout->addWidget(SaveGroupBox);
  DesktopLayout->addWidget(SaveInGroupBox);
  DesktopLayout->addStretch();

  // Editor
  EditorPage = Page("EditorPage", "Editor");
  FontLabel = Label(EditorPage, "FontLabel", "Use this font for editing:");
  FontButton = Named(new QPushButton("&Font...", EditorPage), "FontButton");
  AutoIndentCheckBox = Check(EditorPage, "AutoIndentCheckBox", "&Auto indent mode");
  BackspaceUnindentsCheckBox =
      Check(EditorPage, "BackspaceUnindentsCheckBox", "Backspace &unindents");
  TabSizeLabel = Label(EditorPage, "TabSizeLabel", "Tab size (spaces):");
  TabSizeEdit = Number(EditorPage, "TabSizeEdit");
  TabSizeLabel->setBuddy(TabSizeEdit);
  FontInUseLabel = Label(EditorPage, "FontInUseLabel", "");
  LineNumbersCheckBox = Check(EditorPage, "LineNumbersCheckBox", "Show line &numbers");
  UndoLimitLabel = Label(EditorPage, "UndoLimitLabel", "Undo memory (MB):");
  UndoLimitEdit = Number(EditorPage, "UndoLimitEdit");
  UndoLimitLabel->setBuddy(UndoLimitEdit);
  auto *EditorLayout = new QGridLayout(EditorPage);
  EditorLayout->addWidget(FontLabel, 0, 0);
  EditorLayout->addWidget(FontButton, 0, 1);
  EditorLayout->addWidget(FontInUseLabel, 1, 0, 1, 3);
  EditorLayout->addWidget(AutoIndentCheckBox, 2, 0, 1, 2);
  EditorLayout->addWidget(BackspaceUnindentsCheckBox, 3, 0, 1, 2);
  EditorLayout->addWidget(LineNumbersCheckBox, 4, 0, 1, 2);
  EditorLayout->addWidget(TabSizeLabel, 5, 0);
  EditorLayout->addWidget(TabSizeEdit, 5, 1);
  EditorLayout->addWidget(UndoLimitLabel, 6, 0);
  EditorLayout->addWidget(UndoLimitEdit, 6, 1);
  EditorLayout->setRowStretch(7, 1);
  EditorLayout->setColumnStretch(2, 1);

  // Syntax
  SyntaxPage = Page("SyntaxPage", "Syntax");
  ElementLabel = Label(SyntaxPage, "ElementLabel", "Element:");
  ElementsListBox = Named(new QListWidget(SyntaxPage), "ElementsListBox");
  ElementLabel->setBuddy(ElementsListBox);
  AttributesLabel = Label(SyntaxPage, "AttributesLabel", "Attributes:");
  ForegroundButton = Named(new QPushButton("&Foreground...", SyntaxPage), "ForegroundButton");
  ForegroundDefaultCheckBox = Check(SyntaxPage, "ForegroundDefaultCheckBox", "Default");
  BackgroundButton = Named(new QPushButton("Back&ground...", SyntaxPage), "BackgroundButton");
  BackgroundDefaultCheckBox = Check(SyntaxPage, "BackgroundDefaultCheckBox", "Default");
  BoldCheckBox = Check(SyntaxPage, "BoldCheckBox", "&Bold");
  ItalicCheckBox = Check(SyntaxPage, "ItalicCheckBox", "&Italic");
  UnderlineCheckBox = Check(SyntaxPage, "UnderlineCheckBox", "&Underline");
  auto *SyntaxLayout = new QGridLayout(SyntaxPage);
  SyntaxLayout->addWidget(ElementLabel, 0, 0);
  SyntaxLayout->addWidget(ElementsListBox, 1, 0, 6, 1);
  SyntaxLayout->addWidget(AttributesLabel, 0, 1, 1, 2);
  SyntaxLayout->addWidget(ForegroundButton, 1, 1);
  SyntaxLayout->addWidget(ForegroundDefaultCheckBox, 1, 2);
  SyntaxLayout->addWidget(BackgroundButton, 2, 1);
  SyntaxLayout->addWidget(BackgroundDefaultCheckBox, 2, 2);
  SyntaxLayout->addWidget(BoldCheckBox, 3, 1, 1, 2);
  SyntaxLayout->addWidget(ItalicCheckBox, 4, 1, 1, 2);
  SyntaxLayout->addWidget(UnderlineCheckBox, 5, 1, 1, 2);
  SyntaxLayout->setRowStretch(6, 1);

  // Compiler
  CompilerPage = Page("CompilerPage", "Compiler");
  IgnoreDropErrorsCheckBox =
      Check(CompilerPage, "IgnoreDropErrorsCheckBox", "Ignore unsuccessful drops");
  auto *CompilerLayout = new QVBoxLayout(CompilerPage);
  CompilerLayout->addWidget(IgnoreDropErrorsCheckBox);
  CompilerLayout->addStretch();

  // Terminal
  TerminalPage = Page("TerminalPage", "Terminal");
  TerminalBufferLimitLabel =
      Label(TerminalPage, "TerminalBufferLimitLabel", "Buffer limit (rows):");
  TerminalBufferLimitEdit = Number(TerminalPage, "TerminalBufferLimitEdit");
  TerminalBufferLimitLabel->setBuddy(TerminalBufferLimitEdit);
  auto *TerminalLayout = new QGridLayout(TerminalPage);
  TerminalLayout->addWidget(TerminalBufferLimitLabel, 0, 0);
  TerminalLayout->addWidget(TerminalBufferLimitEdit, 0, 1);
  TerminalLayout->setRowStretch(1, 1);
  TerminalLayout->setColumnStretch(2, 1);

  // DBMS Output
  DBMSOutputPage = Page("DBMSOutputPage", "DBMS Output");
  DBMSBufferLimitLabel = Label(DBMSOutputPage, "DBMSBufferLimitLabel", "Buffer limit (rows):");
  DBMSBufferLimitEdit = Number(DBMSOutputPage, "DBMSBufferLimitEdit");
  DBMSBufferLimitLabel->setBuddy(DBMSBufferLimitEdit);
  DBMSOracleBufferLimitLabel =
      Label(DBMSOutputPage, "DBMSOracleBufferLimitLabel", "Oracle buffer limit (Kb):");
  DBMSOracleBufferLimitEdit = Number(DBMSOutputPage, "DBMSOracleBufferLimitEdit");
  DBMSOracleBufferLimitLabel->setBuddy(DBMSOracleBufferLimitEdit);
  auto *DBMSLayout = new QGridLayout(DBMSOutputPage);
  DBMSLayout->addWidget(DBMSBufferLimitLabel, 0, 0);
  DBMSLayout->addWidget(DBMSBufferLimitEdit, 0, 1);
  DBMSLayout->addWidget(DBMSOracleBufferLimitLabel, 1, 0);
  DBMSLayout->addWidget(DBMSOracleBufferLimitEdit, 1, 1);
  DBMSLayout->setRowStretch(2, 1);
  DBMSLayout->setColumnStretch(2, 1);

  OkButton = Named(new QPushButton("OK", this), "OkButton");
  OkButton->setDefault(true);
  CancelButton = Named(new QPushButton("Cancel", this), "CancelButton");
  auto *Buttons = new QHBoxLayout;
  Buttons->addStretch();
  Buttons->addWidget(OkButton);
  Buttons->addWidget(CancelButton);
  auto *Layout = new QVBoxLayout(this);
  Layout->addWidget(PageControl, 1);
  Layout->addLayout(Buttons);

  // The buffer and memory limits take digits only: typed characters are filtered, and a paste
  // that holds anything else is refused as a whole.
  for (QLineEdit *Edit :
       {TerminalBufferLimitEdit, DBMSBufferLimitEdit, DBMSOracleBufferLimitEdit, UndoLimitEdit}) {
    Edit->installEventFilter(this);
    Edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), Edit));
  }

  connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  auto Wire = [this](QPushButton *AButton, void (TOptionsForm::*AHandler)()) {
    connect(AButton, &QPushButton::clicked, this,
            Guarded([this, AHandler] { (this->*AHandler)(); }));
  };
  Wire(FontButton, &TOptionsForm::FontButtonClick);
  Wire(ForegroundButton, &TOptionsForm::ForegroundButtonClick);
  Wire(BackgroundButton, &TOptionsForm::BackgroundButtonClick);
  connect(ForegroundDefaultCheckBox, &QCheckBox::clicked, this,
          Guarded([this] { ForegroundDefaultCheckBoxClick(); }));
  connect(BackgroundDefaultCheckBox, &QCheckBox::clicked, this,
          Guarded([this] { BackgroundDefaultCheckBoxClick(); }));
  connect(ElementsListBox, &QListWidget::currentRowChanged, this,
          Guarded([this] { ElementsListBoxClick(); }));

  PageControl->setCurrentIndex(0);
  setFixedSize(Layout->sizeHint().expandedTo(QSize(313, 248)));
  FormCreate();
}

TOptionsForm::~TOptionsForm() {
  FormDestroy();
  if (OptionsForm == this)
    OptionsForm = nullptr;
}

void TOptionsForm::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  if (const QScreen *Screen = screen()) // centred on the screen
    move(Screen->availableGeometry().center() - rect().center());
}

void TOptionsForm::FormCreate() {
  for (const char *Name : ElementNames)
    ElementsListBox->addItem(Name);
  ElementsListBox->setCurrentRow(-1);
  FWorkingStyles.clear();
  FShownElement = -1;
}

void TOptionsForm::FormDestroy() { FWorkingStyles.clear(); }

int TOptionsForm::Execute(TCFG &ACFG) {
  Fill(ACFG);
  PageControl->setCurrentIndex(0);
  const int Result = exec();
  if (Result == QDialog::Accepted)
    Apply(ACFG);
  return Result;
}

void TOptionsForm::Fill(const TCFG &ACFG) {
  TerminalBufferLimitEdit->setText(QString::number(ACFG.TerminalBufferLimit()));
  IgnoreDropErrorsCheckBox->setChecked(ACFG.IgnoreDropErrors());
  FDialogFont = ACFG.EditorFont();
  AutoIndentCheckBox->setChecked(ACFG.EditorAutoIndent());
  BackspaceUnindentsCheckBox->setChecked(ACFG.EditorBackspaceUnindents());
  TabSizeEdit->setText(QString::number(ACFG.EditorTabSize()));
  LineNumbersCheckBox->setChecked(ACFG.EditorLineNumbers());
  UndoLimitEdit->setText(QString::number(ACFG.EditorUndoLimit()));
  ShowFontInUse();
  FWorkingStyles = ACFG.EditorSyntaxStyles();
  // An element still selected from the last opening shows its refreshed style, so that OK
  // cannot store the boxes of a cancelled opening into it.
  FShownElement = -1;
  ElementsListBoxClick();
  DBMSBufferLimitEdit->setText(QString::number(ACFG.DBMSBufferLimit()));
  DBMSOracleBufferLimitEdit->setText(QString::number(ACFG.DBMSOracleBufferLimit() / 1024));
  SaveDesktopPositionCheckBox->setChecked(ACFG.SaveDesktopPosition());
  SaveDesktopStateCheckBox->setChecked(ACFG.SaveDesktopState());
  (ACFG.SaveLocally() ? ProjectFolderRadioButton : ProgramFolderRadioButton)->setChecked(true);
}

std::string TOptionsForm::CheckInput() const {
  // The tab size is checked here, before Apply writes any key, so that a bad value can never
  // leave the configuration half written.
  const std::optional<int> TabSize = ToInteger(TabSizeEdit->text());
  if (!TabSize || *TabSize < 1 || *TabSize > 64)
    return TabSizeMessage;
  const std::optional<int> Kilobytes = ToInteger(DBMSOracleBufferLimitEdit->text());
  if (!Kilobytes || *Kilobytes < 2 || *Kilobytes > 1000)
    return RangeMessage;
  return {};
}

void TOptionsForm::accept() {
  const std::string Message = CheckInput();
  if (!Message.empty()) {
    QLineEdit *Edit = Message == TabSizeMessage ? TabSizeEdit : DBMSOracleBufferLimitEdit;
    PageControl->setCurrentWidget(Edit == TabSizeEdit ? EditorPage : DBMSOutputPage);
    FCheckingRange = true; // the message box takes the focus: no second message for that
    TApplication::ShowErrorMessage(Message);
    FCheckingRange = false;
    Edit->setFocus();
    Edit->selectAll();
    return;
  }
  QDialog::accept();
}

void TOptionsForm::Apply(TCFG &ACFG) {
  const std::string Message = CheckInput();
  if (!Message.empty())
    throw Exception(Message);
  ElementsListBoxClick(); // the boxes as shown go into their element first
  if (auto Value = ToInteger(TerminalBufferLimitEdit->text()))
    ACFG.SetTerminalBufferLimit(*Value);
  ACFG.SetIgnoreDropErrors(IgnoreDropErrorsCheckBox->isChecked());
  ACFG.SetEditorFont(FDialogFont);
  ACFG.SetEditorAutoIndent(AutoIndentCheckBox->isChecked());
  ACFG.SetEditorBackspaceUnindents(BackspaceUnindentsCheckBox->isChecked());
  ACFG.SetEditorTabSize(*ToInteger(TabSizeEdit->text()));
  ACFG.SetEditorLineNumbers(LineNumbersCheckBox->isChecked());
  if (auto Value = ToInteger(UndoLimitEdit->text()); Value && *Value >= 0)
    ACFG.SetEditorUndoLimit(*Value);
  ACFG.SetEditorSyntaxStyles(FWorkingStyles);
  if (auto Value = ToInteger(DBMSBufferLimitEdit->text()))
    ACFG.SetDBMSBufferLimit(*Value);
  if (auto Value = ToInteger(DBMSOracleBufferLimitEdit->text()))
    ACFG.SetDBMSOracleBufferLimit(*Value * 1024);
  ACFG.SetSaveDesktopPosition(SaveDesktopPositionCheckBox->isChecked());
  ACFG.SetSaveDesktopState(SaveDesktopStateCheckBox->isChecked());
  ACFG.SetSaveLocally(ProjectFolderRadioButton->isChecked());
}

void TOptionsForm::FontButtonClick() {
  if (ChooseFont)
    if (std::optional<TFont> Chosen = ChooseFont(FDialogFont)) {
      FDialogFont = *Chosen;
      ShowFontInUse();
    }
}

void TOptionsForm::PrepareFontDialog(QFontDialog &ADialog, const TFont &AFont) {
  // Fixed-width fonts only: the editor's columns assume every character is as wide.
  ADialog.setOption(QFontDialog::MonospacedFonts);
  ADialog.setWindowTitle("Font");
  ADialog.setCurrentFont(EditorScreenFont(AFont));
}

void TOptionsForm::ShowFontInUse() {
  const QFont Shown = EditorScreenFont(FDialogFont);
  QString Text = QString("In use: %1, %2 pt").arg(Shown.family()).arg(Shown.pointSize());
  if (Shown.family() != FDialogFont.ToQFont().family())
    Text += QString(" (%1 is not installed)").arg(QString::fromLatin1(FDialogFont.Name().c_str()));
  FontInUseLabel->setText(Text);
}

void TOptionsForm::ElementsListBoxClick() {
  if (FShownElement >= 0 && FShownElement < int(FWorkingStyles.size())) {
    TTextStyle &Style = FWorkingStyles[std::size_t(FShownElement)];
    if (ForegroundDefaultCheckBox->isChecked())
      Style.SetForeground(clDefault);
    if (BackgroundDefaultCheckBox->isChecked())
      Style.SetBackground(clDefault);
    Style.SetStyle(TFontStyles((BoldCheckBox->isChecked() ? fsBold : 0) |
                               (ItalicCheckBox->isChecked() ? fsItalic : 0) |
                               (UnderlineCheckBox->isChecked() ? fsUnderline : 0)));
  }
  FShownElement = ElementsListBox->currentRow();
  if (FShownElement < 0 || FShownElement >= int(FWorkingStyles.size()))
    return;
  const TTextStyle &Style = FWorkingStyles[std::size_t(FShownElement)];
  ForegroundDefaultCheckBox->setChecked(Style.Foreground() == clDefault);
  BackgroundDefaultCheckBox->setChecked(Style.Background() == clDefault);
  BoldCheckBox->setChecked(Style.Style() & fsBold);
  ItalicCheckBox->setChecked(Style.Style() & fsItalic);
  UnderlineCheckBox->setChecked(Style.Style() & fsUnderline);
  ForegroundDefaultCheckBoxClick();
  BackgroundDefaultCheckBoxClick();
}

void TOptionsForm::ChooseStyleColor(bool AForeground) {
  const int Element = ElementsListBox->currentRow();
  if (Element < 0 || Element >= int(FWorkingStyles.size()) || !ChooseColor)
    return;
  TTextStyle &Style = FWorkingStyles[std::size_t(Element)];
  if (std::optional<TColor> Chosen =
          ChooseColor(AForeground ? Style.Foreground() : Style.Background())) {
    if (AForeground)
      Style.SetForeground(*Chosen);
    else
      Style.SetBackground(*Chosen);
  }
  UpdateColorButtons();
}

void TOptionsForm::ForegroundButtonClick() { ChooseStyleColor(true); }
void TOptionsForm::BackgroundButtonClick() { ChooseStyleColor(false); }

void TOptionsForm::ForegroundDefaultCheckBoxClick() {
  if (ElementsListBox->currentRow() < 0)
    return;
  ForegroundButton->setEnabled(!ForegroundDefaultCheckBox->isChecked());
  UpdateColorButtons();
}

void TOptionsForm::BackgroundDefaultCheckBoxClick() {
  if (ElementsListBox->currentRow() < 0)
    return;
  BackgroundButton->setEnabled(!BackgroundDefaultCheckBox->isChecked());
  UpdateColorButtons();
}

void TOptionsForm::UpdateColorButtons() {
  // Each colour button shows the colour it would start from; a default colour shows none.
  const int Element = ElementsListBox->currentRow();
  const TTextStyle *Style = Element >= 0 && Element < int(FWorkingStyles.size())
                                ? &FWorkingStyles[std::size_t(Element)]
                                : nullptr;
  auto Show = [](QPushButton *AButton, QCheckBox *ADefault, TColor AColor) {
    if (ADefault->isChecked() || AColor == clDefault)
      AButton->setIcon(QIcon());
    else
      AButton->setIcon(ColorSwatch(AColor));
  };
  if (Style) {
    Show(ForegroundButton, ForegroundDefaultCheckBox, Style->Foreground());
    Show(BackgroundButton, BackgroundDefaultCheckBox, Style->Background());
  }
}

bool TOptionsForm::FilterDigitsOnKeyPress(QChar AChar) {
  return AChar != QChar(8) && !(AChar >= QChar('0') && AChar <= QChar('9'));
}

void TOptionsForm::DBMSOracleBufferLimitEditExit() {
  if (FCheckingRange)
    return;
  const std::optional<int> Kilobytes = ToInteger(DBMSOracleBufferLimitEdit->text());
  if (Kilobytes && *Kilobytes >= 2 && *Kilobytes <= 1000)
    return;
  FCheckingRange = true;
  TApplication::ShowErrorMessage(RangeMessage);
  FCheckingRange = false;
  PageControl->setCurrentWidget(DBMSOutputPage);
  DBMSOracleBufferLimitEdit->setFocus();
}

bool TOptionsForm::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AEvent->type() == QEvent::KeyPress) {
    // Printable characters only; editing and navigation keys (and their shortcuts) pass.
    const QString Text = static_cast<QKeyEvent *>(AEvent)->text();
    if (Text.size() == 1 && Text[0].isPrint() && FilterDigitsOnKeyPress(Text[0]))
      return true;
  } else if (AEvent->type() == QEvent::FocusOut && AWatched == DBMSOracleBufferLimitEdit) {
    const Qt::FocusReason Reason = static_cast<QFocusEvent *>(AEvent)->reason();
    // Cancel discards the value anyway, and leaving the whole window is no leaving of the edit.
    const bool ToCancel = QApplication::focusWidget() == CancelButton;
    if (isVisible() && !ToCancel && Reason != Qt::ActiveWindowFocusReason &&
        Reason != Qt::PopupFocusReason)
      QTimer::singleShot(0, this, [this] {
        TApplication::Guard([this] {
          if (isVisible() && !DBMSOracleBufferLimitEdit->hasFocus())
            DBMSOracleBufferLimitEditExit();
        });
      });
  }
  return QDialog::eventFilter(AWatched, AEvent);
}
