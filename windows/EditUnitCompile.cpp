// Compile from the editor and the error list: the parse and compile threads over the window's
// text with the compile dialog up meanwhile, and what a click and a double click on an error do.
#include "classes/CodePage.h"
#include "windows/EditUnit.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "db/SqlFunctionCodes.h"
#include "windows/WindowsHost.h"

#include "classes/Application.h"
#include "script/CompileUnit.h"
#include "script/ParserUnit.h"
#include "windows/CompileForm.h"
#include "windows/DBMSOutputUnit.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QCoreApplication>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

#include <algorithm>
#include <chrono>

namespace {

// The script editor windows of the frame, in any order.
std::vector<TEditForm *> OpenEditForms() {
  std::vector<TEditForm *> Forms;
  if (QMdiArea *Area = WindowsHost().ChildArea())
    for (QMdiSubWindow *Window : Area->subWindowList())
      if (auto *Form = dynamic_cast<TEditForm *>(Window->widget()))
        Forms.push_back(Form);
  return Forms;
}

// Keeps the window unusable while a worker still runs: events are processed (a worker may be
// waiting in a synchronous call), user input is not. The compile thread is told to stop again
// every 100 ms, so a break that came before its statement reached the server is not lost.
void WaitForThread(TThreadRef &ARef, bool ACancelCompile) {
  auto Next = std::chrono::steady_clock::now();
  while (ARef.load() != nullptr) {
    if (ACancelCompile && std::chrono::steady_clock::now() >= Next) {
      TThreadCompile::CancelThread(ARef);
      Next = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
    SleepMs(1);
  }
}

} // namespace

void TEditForm::RunCompileItemClick(QObject *ASender) {
  const bool ExpressionMode = ASender && ASender->objectName() == "RunComileExpressionItem";
  RunScript(Editor->Lines().Text(), ExpressionMode, ExpressionMode ? Editor->SelStart() : 0, false);
}

void TEditForm::RunStatementItemClick() {
  std::string Text = Editor->Lines().Text();
  const int Start = Editor->SelStart(), Length = Editor->SelLength();
  if (Length <= 0) {
    RunScript(std::move(Text), true, Start, true);
    return;
  }
  // The selection alone is cut into statements; blanking the rest keeps every position, so an
  // error still points into the window's text.
  for (std::size_t i = 0; i < Text.size(); ++i)
    if ((i < std::size_t(Start) || i >= std::size_t(Start + Length)) && Text[i] != '\r' &&
        Text[i] != '\n')
      Text[i] = ' ';
  RunScript(std::move(Text), false, 0, true);
}

void TEditForm::ShowResultPane() {
  if (ResultGrid->isVisible())
    return;
  // The pane opens over about a third of the editor's room.
  const int Height = std::max(60, Editor->height() / 3);
  ResultGrid->setGeometry(0, Editor->height() - Height, width(), Height);
  ResultSplitter->setGeometry(0, Editor->height() - Height - 2, width(), 2);
  ResultSplitter->show();
  ResultGrid->show();
  RealignParent(this);
}

void TEditForm::RunScript(std::string AText, bool AExpressionMode, int APosition,
                          bool AShowResults) {
  TWindowsHost &Host = WindowsHost();
  if (AText.empty() || !Host.MainDatabase())
    return;
  for (TEditForm *Form : OpenEditForms())
    Form->ErrorBox->clear();
  ErrorBox->clear(); // also when this window is not (yet) in the frame

  TCompileEnvironment Environment;
  Environment.Database = Host.MainDatabase();
  Environment.Query = Host.CompileQuery();
  Environment.ErrorQuery = Host.CompileErrorQuery();
  Environment.Display = CompileForm();
  Environment.IgnoreDropErrors = [] { return WindowsHost().Configuration().IgnoreDropErrors(); };
  Environment.ShowStatus = [](const std::string &AText) { WindowsHost().SetStatusText(AText); };
  Environment.ShowError = [](const std::string &AText) { TApplication::ShowErrorMessage(AText); };
  Environment.DrainOutput = [] { TDBMSOutputForm::DrainRegistered(); };
  if (AShowResults) {
    // No dialog: the statement's outcome shows in the result pane, through the window's own
    // query, whose cursor the rows on show no longer use.
    ResultGrid->Detach();
    Environment.Query = ResultQuery;
    Environment.Display = nullptr;
    TResultFetch Fetch;
    Fetch.Limit = std::max(1, Host.Configuration().TerminalBufferLimit());
    Environment.ExecuteShown = [this, Fetch](TOracleQuery &AQuery) {
      const auto Start = std::chrono::steady_clock::now();
      if (AQuery.FunctionCode() == fcSelect) {
        TResultSet Rows;
        const bool More = Fetch.Start(AQuery, Rows);
        const auto Elapsed = std::chrono::steady_clock::now() - Start;
        Synchronize([&] {
          ResultGrid->ShowRows(std::move(Rows), More, &AQuery, Fetch, Elapsed, AQuery.SQL());
          ShowResultPane();
        });
      } else {
        AQuery.Execute();
        const auto Elapsed = std::chrono::steady_clock::now() - Start;
        const std::string Text = StatementResultText(AQuery.FunctionCode(), AQuery.RowsProcessed());
        Synchronize([&] {
          ResultGrid->ShowMessage(Text, Elapsed);
          ShowResultPane();
        });
      }
    };
  }

  {
    TScripts Scripts;
    TExpressionList Expressions;
    TScript *Main = Scripts.Add();
    Main->SetFileName(FFileName);
    Main->SetEditForm(this);
    Main->SetText(std::move(AText));
    TThreadRef ParserRef{nullptr}, CompileRef{nullptr};
    auto *Parser = new TThreadParser(&Scripts, AExpressionMode, &Expressions, &ParserRef);
    try {
      new TThreadCompile(&Expressions, APosition, &ParserRef, &CompileRef, Environment);
    } catch (...) {
      delete Parser; // never started
      throw;
    }
    Parser->Resume();
    if (!AShowResults)
      CompileForm()->Execute();
    WaitForThread(CompileRef, !AShowResults);
    TThread::TerminateThread(ParserRef);
    WaitForThread(ParserRef, false);
  }

  for (TEditForm *Form : OpenEditForms())
    if (Form->ErrorBox->count() > 0) {
      Form->ErrorBox->setCurrentRow(0);
      Form->ErrorBoxClick();
    } else {
      Form->Splitter->MoveTo(0, Form->height());
    }
}

void TEditForm::RunComileExpressionItemClick() { RunCompileItemClick(RunComileExpressionItem); }

void TEditForm::AddError(const std::string &AText, int APosition) {
  auto *Item = new QListWidgetItem(AnsiToQString(AText));
  Item->setData(Qt::UserRole, APosition);
  ErrorBox->addItem(Item);
  ErrorBox->setCurrentItem(Item);
  ErrorBoxClick();
}

void TEditForm::UpdateErrorMarks() {
  std::vector<int> Lines;
  for (int I = 0; I < ErrorBox->count(); ++I) {
    const int Position = ErrorBox->item(I)->data(Qt::UserRole).toInt();
    if (Position > 0)
      Lines.push_back(Editor->Model().OffsetToPos(Position - 1).Y);
  }
  Editor->SetMarkedLines(std::move(Lines));
}

void TEditForm::ErrorBoxClick() {
  const QListWidgetItem *Item = ErrorBox->currentItem();
  if (!Item)
    return;
  const int Position = Item->data(Qt::UserRole).toInt();
  if (Position <= 0)
    return;
  Editor->SetSelStart(Position - 1);
  // The word at the error: the run of word characters from the caret, or the one delimiter
  // there (a line break counts as one).
  const std::string_view Line =
      Editor->Lines().Count() > 0 ? Editor->Lines()[Editor->CaretY()] : std::string_view();
  size_t From = static_cast<size_t>(Editor->CaretX() - 1), To = From;
  while (To < Line.size() && !IsDelimiter(static_cast<unsigned char>(Line[To])))
    ++To;
  Editor->SetSelLength(To > From ? static_cast<int>(To - From) : 1);
}

void TEditForm::ErrorBoxDblClick() {
  const QListWidgetItem *Item = ErrorBox->currentItem();
  if (!Item)
    return;
  std::string Text = QStringToAnsi(Item->text());
  for (char &C : Text)
    if (static_cast<unsigned char>(C) == 160)
      C = '\n';
  QMessageBox Box(QMessageBox::Information, QCoreApplication::applicationName(),
                  AnsiToQString(Text), QMessageBox::Ok, this);
  Box.setObjectName("ErrorTextBox");
  Box.exec();
}
