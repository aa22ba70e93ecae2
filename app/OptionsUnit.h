// The options dialog: every configuration key on six pages, written back only on OK.
#pragma once

#include "app/MainUnitConfig.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <functional>
#include <optional>
#include <string>

class TOptionsForm : public QDialog {
public:
  explicit TOptionsForm(QWidget *AParent = nullptr);
  ~TOptionsForm() override;

  // Components, named as the window names them.
  QTabWidget *PageControl;
  QWidget *DesktopPage, *EditorPage, *SyntaxPage, *CompilerPage, *TerminalPage, *DBMSOutputPage;
  QGroupBox *SaveGroupBox, *SaveInGroupBox;
  QCheckBox *SaveDesktopPositionCheckBox, *SaveDesktopStateCheckBox;
  QRadioButton *ProjectFolderRadioButton, *ProgramFolderRadioButton;
  QLabel *FontLabel;
  QPushButton *FontButton;
  QCheckBox *AutoIndentCheckBox, *BackspaceUnindentsCheckBox;
  QLabel *TabSizeLabel;
  QLineEdit *TabSizeEdit;
  // The font the editors really show (the system's fixed-width one when the chosen is missing).
  QLabel *FontInUseLabel;
  QCheckBox *LineNumbersCheckBox;
  QLabel *UndoLimitLabel;
  QLineEdit *UndoLimitEdit;
  QLabel *ElementLabel, *AttributesLabel;
  QListWidget *ElementsListBox;
  QPushButton *ForegroundButton, *BackgroundButton;
  QCheckBox *ForegroundDefaultCheckBox, *BackgroundDefaultCheckBox;
  QCheckBox *BoldCheckBox, *ItalicCheckBox, *UnderlineCheckBox;
  QCheckBox *IgnoreDropErrorsCheckBox;
  QLabel *TerminalBufferLimitLabel;
  QLineEdit *TerminalBufferLimitEdit;
  QLabel *DBMSBufferLimitLabel, *DBMSOracleBufferLimitLabel;
  QLineEdit *DBMSBufferLimitEdit, *DBMSOracleBufferLimitEdit;
  QPushButton *OkButton, *CancelButton;

  // Fills the controls from the configuration, shows the dialog modally and, on OK only,
  // writes every key back. Returns the modal result.
  int Execute(TCFG &ACFG);
  // The two halves of Execute.
  void Fill(const TCFG &ACFG);
  // Raises (before writing anything) when CheckInput refuses the input.
  void Apply(TCFG &ACFG);
  // The message that refuses the current input, or empty: a tab size that is not a whole
  // number from 1 to 64, or a kilobyte limit outside 2 to 1000. Checked before OK closes.
  std::string CheckInput() const;

  // The font dialog's font, kept until OK, and the working copy of the styles.
  const TFont &DialogFont() const { return FDialogFont; }
  const TTextStyles &WorkingStyles() const { return FWorkingStyles; }
  // The element whose attributes the boxes show; -1 none.
  int ShownElement() const { return FShownElement; }

  // The font and colour dialogs; tests answer them without a modal window. An empty answer
  // is a cancelled dialog.
  std::function<std::optional<TFont>(const TFont &)> ChooseFont;
  std::function<std::optional<TColor>(TColor)> ChooseColor;

  // Handlers.
  void FontButtonClick();
  // The font dialog as Font... opens it: on the editor font as shown, fixed-width fonts only.
  static void PrepareFontDialog(QFontDialog &ADialog, const TFont &AFont);
  void ElementsListBoxClick();
  void ForegroundButtonClick();
  void BackgroundButtonClick();
  void ForegroundDefaultCheckBoxClick();
  void BackgroundDefaultCheckBoxClick();
  // Discards a typed character other than a digit; true when it was discarded.
  static bool FilterDigitsOnKeyPress(QChar AChar);
  // Leaving the kilobyte edit: a value outside 2 to 1000 is refused and the focus goes back.
  void DBMSOracleBufferLimitEditExit();

  static constexpr const char *RangeMessage =
      "Value out of range. The minimum value is 2, maximum 1000.";
  static constexpr const char *TabSizeMessage = "Tab size must be a whole number from 1 to 64.";

  void accept() override;

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;
  void showEvent(QShowEvent *AEvent) override;

private:
  void FormCreate();
  void FormDestroy();
  void UpdateColorButtons();
  void ShowFontInUse();
  void ChooseStyleColor(bool AForeground);

  TFont FDialogFont;
  TTextStyles FWorkingStyles;
  int FShownElement = -1;
  bool FCheckingRange = false;
};

// The application's one options dialog, created at start-up.
extern TOptionsForm *OptionsForm;
