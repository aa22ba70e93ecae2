// The go-to-line dialog: an object of the script (or the whole script) and a line number in it,
// and the filler thread that lists the script's stored units while the parse thread still runs.
#pragma once

#include "script/ParserUnit.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TGotoForm : public QDialog {
public:
  // Entries the line-number history keeps, the drop-down count of its box.
  static constexpr int HistoryCount = 8;
  static constexpr const char *EntireScriptType = "ENTIRE SCRIPT";
  static constexpr const char *LineMissingMessage = "Entered line number does not exist";

  explicit TGotoForm(QWidget *AParent = nullptr);
  ~TGotoForm() override;

  // Components, named as the window names them.
  QLabel *Label1, *Label2;
  QComboBox *ObjectBox;
  QComboBox *LineNumberBox;
  QPushButton *GotoButton, *CancelButton;

  // Empties the object list, adds the entire-script entry for a text of ATextLength characters
  // in the file AFileName and selects it, puts "1" into an empty line-number box, and shows the
  // dialog modally. Returns the modal result.
  int PrepareAndShow(const std::string &AFileName, std::int32_t ATextLength);
  // GUI thread: appends a copy of an expression in its sorted place, as "NAME (TYPE)".
  void AddObject(const TExpression &AExpression);
  // The copy behind the selected entry; null when none is selected.
  const TExpression *SelectedObject() const;
  // Frees the copies and empties the object list.
  void ClearObjects();
  // The line-number history rule after a use of AText: a text that is not yet an entry is
  // appended, and when the list is full the entry at index 1 goes first.
  void AddToHistory(const std::string &AText);

  // Runs on the GUI thread once the dialog is up (tests answer it from here).
  std::function<void()> OnShown;

  // The item text of an entry: NAME (TYPE).
  static std::string ItemText(const TExpression &AExpression);

protected:
  bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
  // The copies, in the order they came; each item's data is its index here.
  std::vector<std::unique_ptr<TExpression>> FObjects;
  // The item texts in the list's order.
  std::vector<std::string> FItemTexts;
};

// The application's one go-to-line dialog, created at start-up (or by the first use).
TGotoForm *GotoForm();

// Where line ALine (1-based within the object) of the object AStart, ALength (1-based start and
// length in characters) begins in AText, as a 0-based offset; -1 when the object has fewer lines.
// A line number of 0 or 1 is the object's start.
std::int32_t ObjectLineOffset(const std::string &AText, std::int32_t AStart, std::int32_t ALength,
                              std::int64_t ALine);

// The consumer of a go-to parse run: hands every stored unit the parse thread produces to the
// dialog, one synchronous call each, until the parse has ended and every entry has been seen.
class TThreadGotoFromFiller final : public TThread {
public:
  // Starts at once and frees itself when it ends. The parse thread *AParserRef must exist: its
  // semaphore is taken here. Sets *AOwnerRef to itself, and to null when it ends.
  TThreadGotoFromFiller(TExpressionList *AExpressions, TThreadRef *AParserRef,
                        TThreadRef *AOwnerRef, TGotoForm *AForm);
  ~TThreadGotoFromFiller() override;

protected:
  void Execute() override;

private:
  TExpressionList *FExpressions;
  TThreadRef *FParserRef;
  std::shared_ptr<TSemaphore> FSemaphore;
  TGotoForm *FForm;
};
