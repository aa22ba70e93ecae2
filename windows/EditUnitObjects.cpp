// The editor window's object commands: go to a line of a stored unit of the script (the parse
// thread and the filler thread run while the dialog is up) and paste a stored object's source.
#include "windows/EditUnit.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/Application.h"
#include "script/ParserUnit.h"
#include "windows/ChooseProcedureUnit.h"
#include "windows/GotoUnit.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QCoreApplication>
#include <QLineEdit>

#include <cstdint>
#include <limits>
#include <optional>

namespace {

// Events are processed (a worker may be waiting in a synchronous call), user input is not, so
// the command cannot be started again before its threads are gone.
void WaitWithoutInput(TThreadRef &ARef) {
  while (ARef.load() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    SleepMs(1);
  }
}

// A line number as typed: digits, blanks around them allowed. Nothing for any other text (only
// pasting can put one there). A number too large for any text stays too large.
std::optional<std::int64_t> LineNumberOf(const std::string &AText) {
  size_t From = AText.find_first_not_of(' ');
  size_t To = AText.find_last_not_of(' ');
  if (From == std::string::npos)
    return std::nullopt;
  std::int64_t Value = 0;
  for (size_t I = From; I <= To; ++I) {
    if (AText[I] < '0' || AText[I] > '9')
      return std::nullopt;
    if (Value < std::numeric_limits<std::int64_t>::max() / 10 - 10)
      Value = Value * 10 + (AText[I] - '0');
  }
  return Value;
}

} // namespace

void TEditForm::SearchGotoLineNumberItemClick() {
  const std::string Text = Editor->Lines().Text();
  if (Text.empty())
    return;
  TGotoForm *Dialog = GotoForm();
  // However the command ends, the copies behind the list go.
  struct TClear {
    TGotoForm *Dialog;
    ~TClear() { Dialog->ClearObjects(); }
  } Clear{Dialog};

  const auto TextLength = static_cast<std::int32_t>(
      std::min<size_t>(Text.size(), std::numeric_limits<std::int32_t>::max()));
  int Result = 0;
  {
    TScripts Scripts;
    TExpressionList Expressions;
    TScript *Main = Scripts.Add();
    Main->SetFileName(FFileName);
    Main->SetEditForm(this);
    Main->SetText(Text);
    TThreadRef ParserRef{nullptr}, FillerRef{nullptr};
    auto *Parser = new TThreadParser(&Scripts, true, &Expressions, &ParserRef);
    try {
      new TThreadGotoFromFiller(&Expressions, &ParserRef, &FillerRef, Dialog);
    } catch (...) {
      delete Parser; // never started
      throw;
    }
    // Both threads are gone before the list and the scripts they use are freed, also when the
    // dialog raises.
    struct TWait {
      TThreadRef &Parser, &Filler;
      ~TWait() {
        TThread::TerminateThread(Filler);
        WaitWithoutInput(Filler);
        TThread::TerminateThread(Parser);
        WaitWithoutInput(Parser);
      }
    } Wait{ParserRef, FillerRef};
    Parser->Resume();
    Result = Dialog->PrepareAndShow(FFileName, TextLength);
  }
  if (Result != QDialog::Accepted)
    return; // Cancel changes nothing, not even the history

  const std::string LineText = Dialog->LineNumberBox->currentText().toLatin1().toStdString();
  const std::optional<std::int64_t> Line = LineNumberOf(LineText);
  const TExpression *Chosen = Dialog->SelectedObject();
  if (!Line || !Chosen)
    return;
  const std::int32_t Offset = ObjectLineOffset(Text, Chosen->Start, Chosen->Length, *Line);
  // The history takes the number also when the line does not exist.
  Dialog->AddToHistory(LineText);
  if (Offset < 0) {
    TApplication::ShowErrorMessage(TGotoForm::LineMissingMessage);
    return;
  }
  Editor->SetSelStart(Offset);
  Editor->setFocus();
}

void TEditForm::EditPasteObjectItemClick() {
  TWindowsHost &Host = WindowsHost();
  if (!Host.MainDatabase())
    return;
  TChooseProcedureForm *Dialog = ChooseProcedureForm();
  if (Dialog->Choose(*Host.MainDatabase(), *Host.CompileQuery()) != QDialog::Accepted)
    return;
  const std::string Source =
      ObjectSourceText(*Host.CompileQuery(), Dialog->SelectedName(), Dialog->SelectedType());
  Editor->InsertText(Source);
  Editor->setFocus();
}
