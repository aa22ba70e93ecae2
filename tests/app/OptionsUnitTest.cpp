// The options dialog offscreen: its pages, filling and applying, the style editor, the input
// checks, Cancel, and editor settings reaching open editors.
#include "app/OptionsUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "controls/PTEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QFontDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "OptionsUnitTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

// An open editor as a script editor window holds it, registered for the editor keys.
class TEditorStandIn : public IConfigEditor {
public:
  TPlainTextEdit Editor;
  int Applied = 0;
  void ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool AAutoIndent,
                         bool ABackspaceUnindents, int ATabSize, int AUndoLimit,
                         bool ALineNumbers) override {
    ++Applied;
    Editor.SetFont(AFont.ToQFont());
    Editor.SetFontColor(AFont.Color());
    Editor.SetStyles(AStyles);
    Editor.Invalidate();
    Editor.SetAutoIndent(AAutoIndent);
    Editor.SetBackspaceUnindents(ABackspaceUnindents);
    Editor.SetTabSize(ATabSize);
    Editor.Model().SetUndoLimit(static_cast<std::size_t>(AUndoLimit) << 20);
    Editor.SetLineNumbers(ALineNumbers);
  }
};

struct OptionsTest : ::testing::Test {
  std::unique_ptr<TOptionsForm> Form;
  TCFG CFG;
  std::vector<std::string> Errors;
  void SetUp() override {
    App();
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) {
      Errors.push_back(AMessage);
    };
    Form = std::make_unique<TOptionsForm>();
    Form->ChooseFont = [](const TFont &) { return std::optional<TFont>(); };
    Form->ChooseColor = [](TColor) { return std::optional<TColor>(); };
  }
  void Select(int ARow) { Form->ElementsListBox->setCurrentRow(ARow); }
  void Click(QCheckBox *ABox) { QTest::mouseClick(ABox, Qt::LeftButton, {}, QPoint(4, 4)); }
};

std::string Text(QWidget *AWidget) {
  if (auto *Box = qobject_cast<QAbstractButton *>(AWidget))
    return Box->text().toStdString();
  if (auto *Label = qobject_cast<QLabel *>(AWidget))
    return Label->text().toStdString();
  if (auto *Group = qobject_cast<QGroupBox *>(AWidget))
    return Group->title().toStdString();
  return {};
}

TEST_F(OptionsTest, PagesAndControlsAsDesigned) {
  EXPECT_EQ(Form->windowTitle(), "Options");
  EXPECT_GE(Form->width(), 313);
  EXPECT_GE(Form->height(), 248);
  ASSERT_EQ(Form->PageControl->count(), 6);
  const char *Pages[] = {"Desktop", "Editor", "Syntax", "Compiler", "Terminal", "DBMS Output"};
  for (int I = 0; I < 6; ++I)
    EXPECT_EQ(Form->PageControl->tabText(I).toStdString(), Pages[I]);
  EXPECT_EQ(Form->PageControl->currentIndex(), 0);
  const std::vector<std::pair<QWidget *, const char *>> Captions = {
      {Form->SaveGroupBox, "Save:"},
      {Form->SaveDesktopPositionCheckBox, "Main window position"},
      {Form->SaveDesktopStateCheckBox, "Desktop state"},
      {Form->SaveInGroupBox, "Save In:"},
      {Form->ProjectFolderRadioButton, "Project folder"},
      {Form->ProgramFolderRadioButton, "Program folder"},
      {Form->FontLabel, "Use this font for editing:"},
      {Form->FontButton, "&Font..."},
      {Form->AutoIndentCheckBox, "&Auto indent mode"},
      {Form->BackspaceUnindentsCheckBox, "Backspace &unindents"},
      {Form->TabSizeLabel, "Tab size (spaces):"},
      {Form->ElementLabel, "Element:"},
      {Form->AttributesLabel, "Attributes:"},
      {Form->ForegroundButton, "&Foreground..."},
      {Form->BackgroundButton, "Back&ground..."},
      {Form->ForegroundDefaultCheckBox, "Default"},
      {Form->BackgroundDefaultCheckBox, "Default"},
      {Form->BoldCheckBox, "&Bold"},
      {Form->ItalicCheckBox, "&Italic"},
      {Form->UnderlineCheckBox, "&Underline"},
      {Form->IgnoreDropErrorsCheckBox, "Ignore unsuccessful drops"},
      {Form->TerminalBufferLimitLabel, "Buffer limit (rows):"},
      {Form->DBMSBufferLimitLabel, "Buffer limit (rows):"},
      {Form->DBMSOracleBufferLimitLabel, "Oracle buffer limit (Kb):"},
      {Form->OkButton, "OK"},
      {Form->CancelButton, "Cancel"}};
  for (const auto &[Widget, Caption] : Captions)
    EXPECT_EQ(Text(Widget), Caption) << Widget->objectName().toStdString();
  EXPECT_TRUE(Form->OkButton->isDefault());
  ASSERT_EQ(Form->ElementsListBox->count(), 5);
  const char *Elements[] = {"Selected text", "Reserved word", "Number", "String", "Comment"};
  for (int I = 0; I < 5; ++I)
    EXPECT_EQ(Form->ElementsListBox->item(I)->text().toStdString(), Elements[I]);
  EXPECT_EQ(Form->ShownElement(), -1);
  EXPECT_EQ(OptionsForm, Form.get());
}

TEST_F(OptionsTest, FillShowsEveryKeyAndApplyWritesThemBack) {
  CFG.SetTerminalBufferLimit(250);
  CFG.SetIgnoreDropErrors(true);
  CFG.SetEditorAutoIndent(true);
  CFG.SetEditorTabSize(4);
  CFG.SetDBMSBufferLimit(3000);
  CFG.SetSaveDesktopPosition(true);
  CFG.SetSaveLocally(true);
  CFG.SetEditorLineNumbers(false);
  Form->Fill(CFG);
  EXPECT_FALSE(Form->LineNumbersCheckBox->isChecked());
  EXPECT_EQ(Form->UndoLimitEdit->text(), "128");
  EXPECT_EQ(Form->TerminalBufferLimitEdit->text(), "250");
  EXPECT_TRUE(Form->IgnoreDropErrorsCheckBox->isChecked());
  EXPECT_EQ(Form->DialogFont(), CFG.EditorFont());
  EXPECT_TRUE(Form->AutoIndentCheckBox->isChecked());
  EXPECT_FALSE(Form->BackspaceUnindentsCheckBox->isChecked());
  EXPECT_EQ(Form->TabSizeEdit->text(), "4");
  EXPECT_EQ(Form->WorkingStyles(), CFG.EditorSyntaxStyles());
  EXPECT_EQ(Form->DBMSBufferLimitEdit->text(), "3000");
  EXPECT_EQ(Form->DBMSOracleBufferLimitEdit->text(), "10"); // 10240 bytes
  EXPECT_TRUE(Form->SaveDesktopPositionCheckBox->isChecked());
  EXPECT_FALSE(Form->SaveDesktopStateCheckBox->isChecked());
  EXPECT_TRUE(Form->ProjectFolderRadioButton->isChecked());
  EXPECT_FALSE(Form->ProgramFolderRadioButton->isChecked());

  Form->TerminalBufferLimitEdit->setText("75");
  Form->IgnoreDropErrorsCheckBox->setChecked(false);
  Form->ChooseFont = [](const TFont &AFont) {
    TFont Chosen = AFont;
    Chosen.SetName("DejaVu Sans Mono");
    Chosen.SetSize(12);
    return std::optional(Chosen);
  };
  Form->FontButton->click();
  EXPECT_EQ(CFG.EditorFont().Name(), "Courier New"); // nothing written before OK
  Form->AutoIndentCheckBox->setChecked(false);
  Form->BackspaceUnindentsCheckBox->setChecked(true);
  Form->TabSizeEdit->setText("2");
  Form->LineNumbersCheckBox->setChecked(true);
  Form->UndoLimitEdit->setText("300");
  Form->DBMSBufferLimitEdit->setText(""); // does not convert: the key stays
  Form->DBMSOracleBufferLimitEdit->setText("20");
  Form->SaveDesktopStateCheckBox->setChecked(true);
  Form->ProgramFolderRadioButton->setChecked(true);
  Form->Apply(CFG);
  EXPECT_EQ(CFG.TerminalBufferLimit(), 75);
  EXPECT_FALSE(CFG.IgnoreDropErrors());
  EXPECT_EQ(CFG.EditorFont().Name(), "DejaVu Sans Mono");
  EXPECT_EQ(CFG.EditorFont().Size(), 12);
  EXPECT_FALSE(CFG.EditorAutoIndent());
  EXPECT_TRUE(CFG.EditorBackspaceUnindents());
  EXPECT_EQ(CFG.EditorTabSize(), 2);
  EXPECT_TRUE(CFG.EditorLineNumbers());
  EXPECT_EQ(CFG.EditorUndoLimit(), 300);
  EXPECT_EQ(CFG.DBMSBufferLimit(), 3000);
  EXPECT_EQ(CFG.DBMSOracleBufferLimit(), 20480);
  EXPECT_TRUE(CFG.SaveDesktopPosition());
  EXPECT_TRUE(CFG.SaveDesktopState());
  EXPECT_FALSE(CFG.SaveLocally());
  // A number too large for the key does not convert either.
  Form->Fill(CFG);
  Form->TerminalBufferLimitEdit->setText("99999999999");
  Form->Apply(CFG);
  EXPECT_EQ(CFG.TerminalBufferLimit(), 75);
}

TEST_F(OptionsTest, AMissingFontShowsAsTheSystemFixedFontAndTheDialogOpensOnIt) {
  TFont Missing("No Such Font Anywhere", 13);
  const QFont Shown = EditorScreenFont(Missing);
  EXPECT_TRUE(QFontDatabase::hasFamily(Shown.family()));
  EXPECT_TRUE(QFontDatabase::isFixedPitch(Shown.family()));
  EXPECT_EQ(Shown.pointSize(), 13);
  CFG.SetEditorFont(Missing);
  Form->Fill(CFG);
  EXPECT_EQ(
      Form->FontInUseLabel->text(),
      QString("In use: %1, 13 pt (No Such Font Anywhere is not installed)").arg(Shown.family()));
  // An installed font is used as configured.
  TFont Installed(Shown.family().toLatin1().toStdString(), 11);
  EXPECT_EQ(EditorScreenFont(Installed).family(), Shown.family());

  QFontDialog Dialog;
  TOptionsForm::PrepareFontDialog(Dialog, Missing);
  EXPECT_TRUE(Dialog.testOption(QFontDialog::MonospacedFonts));
  EXPECT_EQ(Dialog.currentFont().family(), Shown.family());
  EXPECT_EQ(Dialog.currentFont().pointSize(), 13);
}

TEST_F(OptionsTest, StyleChangeOfAnElementNotShownAtOkSurvives) {
  Form->Fill(CFG);
  Select(2); // Number: blue on default, plain
  EXPECT_EQ(Form->ShownElement(), 2);
  EXPECT_FALSE(Form->ForegroundDefaultCheckBox->isChecked());
  EXPECT_TRUE(Form->ForegroundButton->isEnabled());
  EXPECT_TRUE(Form->BackgroundDefaultCheckBox->isChecked());
  EXPECT_FALSE(Form->BackgroundButton->isEnabled());
  EXPECT_FALSE(Form->BoldCheckBox->isChecked());
  Form->BoldCheckBox->setChecked(true);
  Form->UnderlineCheckBox->setChecked(true);
  Select(4); // Comment: the Number's boxes are stored now
  EXPECT_EQ(Form->WorkingStyles()[2].Style(), fsBold | fsUnderline);
  EXPECT_TRUE(Form->ItalicCheckBox->isChecked());
  Form->ItalicCheckBox->setChecked(false);
  Form->Apply(CFG); // Comment is stored at OK
  EXPECT_EQ(CFG.EditorSyntaxStyles()[2], TTextStyle(clBlue, clDefault, fsBold | fsUnderline));
  EXPECT_EQ(CFG.EditorSyntaxStyles()[4], TTextStyle(clNavy, clDefault, 0));
  EXPECT_EQ(CFG.EditorSyntaxStyles()[1], TCFG::InitialSyntaxStyles()[1]);
}

TEST_F(OptionsTest, DefaultBoxesAndColourDialogs) {
  Form->show();
  Form->PageControl->setCurrentWidget(Form->SyntaxPage);
  Form->Fill(CFG);
  // Without a selected element the colour buttons pick nothing.
  int Asked = 0;
  Form->ChooseColor = [&](TColor AStart) {
    ++Asked;
    EXPECT_EQ(AStart, clDefault);
    return std::optional<TColor>(clRed);
  };
  Form->ForegroundButton->click();
  EXPECT_EQ(Asked, 0);
  Select(1); // Reserved word: both colours default
  EXPECT_TRUE(Form->ForegroundDefaultCheckBox->isChecked());
  EXPECT_FALSE(Form->ForegroundButton->isEnabled());
  // Unticking Default enables the button; without a colour picked the colour stays default,
  // so the box is ticked again the next time the element is shown.
  Click(Form->ForegroundDefaultCheckBox);
  EXPECT_FALSE(Form->ForegroundDefaultCheckBox->isChecked());
  EXPECT_TRUE(Form->ForegroundButton->isEnabled());
  Select(2);
  Select(1);
  EXPECT_TRUE(Form->ForegroundDefaultCheckBox->isChecked());
  EXPECT_FALSE(Form->ForegroundButton->isEnabled());
  // A picked colour goes into the working copy at once.
  Click(Form->BackgroundDefaultCheckBox);
  EXPECT_TRUE(Form->BackgroundButton->isEnabled());
  Form->BackgroundButton->click();
  EXPECT_EQ(Asked, 1);
  EXPECT_EQ(Form->WorkingStyles()[1].Background(), clRed);
  EXPECT_EQ(CFG.EditorSyntaxStyles()[1].Background(), clDefault);
  // A cancelled colour dialog changes nothing.
  Form->ChooseColor = [&](TColor AStart) {
    EXPECT_EQ(AStart, clRed);
    return std::optional<TColor>();
  };
  Form->BackgroundButton->click();
  EXPECT_EQ(Form->WorkingStyles()[1].Background(), clRed);
  // Ticking Default again wins at the next store.
  Click(Form->BackgroundDefaultCheckBox);
  EXPECT_FALSE(Form->BackgroundButton->isEnabled());
  Select(0);
  EXPECT_EQ(Form->WorkingStyles()[1].Background(), clDefault);
  Form->hide();
}

TEST_F(OptionsTest, BufferLimitsTakeDigitsOnly) {
  Form->show();
  for (QLineEdit *Edit : {Form->TerminalBufferLimitEdit, Form->DBMSBufferLimitEdit,
                          Form->DBMSOracleBufferLimitEdit}) {
    Form->PageControl->setCurrentWidget(Edit->parentWidget());
    Edit->clear();
    Edit->setFocus();
    QTest::keyClicks(Edit, "1a2-3 x4");
    EXPECT_EQ(Edit->text(), "1234") << Edit->objectName().toStdString();
    QTest::keyClick(Edit, Qt::Key_Backspace);
    EXPECT_EQ(Edit->text(), "123");
    QApplication::clipboard()->setText("56x");
    Edit->paste();
    EXPECT_EQ(Edit->text(), "123");
  }
  EXPECT_TRUE(TOptionsForm::FilterDigitsOnKeyPress('x'));
  EXPECT_TRUE(TOptionsForm::FilterDigitsOnKeyPress('-'));
  EXPECT_FALSE(TOptionsForm::FilterDigitsOnKeyPress('7'));
  EXPECT_FALSE(TOptionsForm::FilterDigitsOnKeyPress(QChar(8)));
  Form->hide();
}

TEST_F(OptionsTest, KilobyteLimitOutsideTwoToAThousandIsRefused) {
  Form->Fill(CFG);
  for (const char *Bad : {"1", "1001", "", "0"}) {
    Errors.clear();
    Form->DBMSOracleBufferLimitEdit->setText(Bad);
    Form->DBMSOracleBufferLimitEditExit();
    ASSERT_EQ(Errors.size(), 1u) << Bad;
    EXPECT_EQ(Errors[0], "Value out of range. The minimum value is 2, maximum 1000.");
    EXPECT_EQ(Form->PageControl->currentWidget(), Form->DBMSOutputPage);
  }
  for (const char *Good : {"2", "1000", "64"}) {
    Errors.clear();
    Form->DBMSOracleBufferLimitEdit->setText(Good);
    Form->DBMSOracleBufferLimitEditExit();
    EXPECT_TRUE(Errors.empty()) << Good;
  }
  // OK with a value out of range keeps the dialog open and writes nothing.
  Errors.clear();
  QTimer::singleShot(0, [this] {
    Form->DBMSOracleBufferLimitEdit->setText("5000");
    Form->TerminalBufferLimitEdit->setText("5");
    Form->OkButton->click();
    EXPECT_TRUE(Form->isVisible());
    Form->CancelButton->click();
  });
  EXPECT_EQ(Form->Execute(CFG), QDialog::Rejected);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], TOptionsForm::RangeMessage);
  EXPECT_EQ(CFG.DBMSOracleBufferLimit(), 10240);
  EXPECT_EQ(CFG.TerminalBufferLimit(), 100);
}

TEST_F(OptionsTest, TabSizeThatIsNoWholeNumberFromOneTo64IsRefusedBeforeAnythingIsWritten) {
  for (const char *Bad : {"abc", "0", "65", "4.5", "", "-3", "99999999999"}) {
    SCOPED_TRACE(Bad);
    Form->Fill(CFG);
    Form->TerminalBufferLimitEdit->setText("7");
    Form->IgnoreDropErrorsCheckBox->setChecked(true);
    Form->TabSizeEdit->setText(Bad);
    EXPECT_EQ(Form->CheckInput(), TOptionsForm::TabSizeMessage);
    EXPECT_THROW(Form->Apply(CFG), Exception);
    EXPECT_EQ(CFG.TerminalBufferLimit(), 100);
    EXPECT_FALSE(CFG.IgnoreDropErrors());
    EXPECT_EQ(CFG.EditorTabSize(), 8);
  }
  // OK shows the message, goes to the edit and stays open.
  Errors.clear();
  QTimer::singleShot(0, [this] {
    Form->TabSizeEdit->setText("x");
    Form->OkButton->click();
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->PageControl->currentWidget(), Form->EditorPage);
    Form->TabSizeEdit->setText("64");
    Form->OkButton->click();
  });
  EXPECT_EQ(Form->Execute(CFG), QDialog::Accepted);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], TOptionsForm::TabSizeMessage);
  EXPECT_EQ(CFG.EditorTabSize(), 64);
  EXPECT_EQ(CFG.TerminalBufferLimit(), 100);
}

TEST_F(OptionsTest, CancelDiscardsEverythingAlsoOnTheNextOpening) {
  TEditorStandIn Open;
  TConfigEditorRegistration Registration(CFG, Open);
  const int AppliedBefore = Open.Applied;
  QTimer::singleShot(0, [this] {
    Form->TabSizeEdit->setText("3");
    Form->TerminalBufferLimitEdit->setText("9");
    Form->ChooseFont = [](const TFont &AFont) {
      TFont Chosen = AFont;
      Chosen.SetName("Other");
      return std::optional(Chosen);
    };
    Form->FontButton->click();
    Select(2);
    Form->ChooseColor = [](TColor) { return std::optional<TColor>(clLime); };
    Form->ForegroundButton->click();
    Form->BoldCheckBox->setChecked(true);
    Form->CancelButton->click();
  });
  EXPECT_EQ(Form->Execute(CFG), QDialog::Rejected);
  EXPECT_EQ(CFG.EditorTabSize(), 8);
  EXPECT_EQ(CFG.TerminalBufferLimit(), 100);
  EXPECT_EQ(CFG.EditorFont().Name(), "Courier New");
  EXPECT_EQ(CFG.EditorSyntaxStyles(), TCFG::InitialSyntaxStyles());
  EXPECT_EQ(Open.Applied, AppliedBefore);
  // Reopened with the same element still selected: its boxes show the stored style, so OK
  // does not bring back the cancelled Bold.
  QTimer::singleShot(0, [this] {
    EXPECT_EQ(Form->ElementsListBox->currentRow(), 2);
    EXPECT_FALSE(Form->BoldCheckBox->isChecked());
    EXPECT_EQ(Form->DialogFont().Name(), "Courier New");
    Form->OkButton->click();
  });
  EXPECT_EQ(Form->Execute(CFG), QDialog::Accepted);
  EXPECT_EQ(CFG.EditorSyntaxStyles(), TCFG::InitialSyntaxStyles());
  EXPECT_EQ(CFG.EditorTabSize(), 8);
}

TEST_F(OptionsTest, FontTabSizeAndStylesReachEveryOpenEditorAtOnce) {
  TEditorStandIn First, Second;
  TConfigEditorRegistration One(CFG, First), Two(CFG, Second);
  EXPECT_EQ(First.Editor.TabSize(), 8);
  QTimer::singleShot(0, [this] {
    Form->ChooseFont = [](const TFont &AFont) {
      TFont Chosen = AFont;
      Chosen.SetName("DejaVu Serif");
      Chosen.SetSize(14);
      return std::optional(Chosen);
    };
    Form->FontButton->click();
    Form->TabSizeEdit->setText("3");
    Form->AutoIndentCheckBox->setChecked(true);
    Select(3);
    Form->ItalicCheckBox->setChecked(true);
    Form->OkButton->click();
  });
  EXPECT_EQ(Form->Execute(CFG), QDialog::Accepted);
  for (TEditorStandIn *Open : {&First, &Second}) {
    EXPECT_EQ(Open->Editor.Font().family(), "DejaVu Serif");
    EXPECT_EQ(Open->Editor.Font().pointSize(), 14);
    EXPECT_EQ(Open->Editor.TabSize(), 3);
    EXPECT_EQ(Open->Editor.TabWidth(), 3 * Open->Editor.AverageCharWidth());
    EXPECT_TRUE(Open->Editor.AutoIndent());
    ASSERT_EQ(Open->Editor.Styles().size(), 5u);
    EXPECT_EQ(Open->Editor.Styles()[3], TTextStyle(clGreen, clDefault, fsItalic));
  }
}

// The main window's Tools, Options opens the one dialog on the window's own configuration.
TEST(OptionsFromTheMainWindow, ToolsOptionsEditsTheConfigurationAndItsEditors) {
  App();
  std::vector<std::string> Errors;
  TApplication::ShowErrorMessage = [&](const std::string &AMessage) { Errors.push_back(AMessage); };
  QTemporaryDir Folder;
  SetProgramPath(Folder.filePath("tessaly").toStdString());
  TMainForm Main;
  auto *Dialog = new TOptionsForm(&Main); // as the main routine creates it at start-up
  EXPECT_EQ(OptionsForm, Dialog);
  TEditorStandIn Open;
  TConfigEditorRegistration Registration(*Main.CFG, Open);
  int Openings = 0;
  auto Answer = [&](const char *ATabSize) {
    QTimer::singleShot(0, [&, ATabSize] {
      ++Openings;
      EXPECT_TRUE(OptionsForm->isVisible());
      OptionsForm->TabSizeEdit->setText(ATabSize);
      OptionsForm->OkButton->click();
    });
  };
  Answer("5");
  Main.ToolsOptionsItem->trigger();
  Answer("6");
  Main.ToolsOptionsItem->trigger();
  EXPECT_EQ(Openings, 2);
  EXPECT_EQ(OptionsForm, Dialog); // reused
  EXPECT_EQ(Main.CFG->EditorTabSize(), 6);
  EXPECT_EQ(Open.Editor.TabSize(), 6);
  SetProgramPath("");
}

} // namespace
