// The terminal window: statement box with history, Go, the result grid and its menu.
#include "windows/TerminalUnit.h"

#include "app/MainUnitConfig.h"
#include "classes/AlignedLayout.h"
#include "classes/Application.h"
#include "classes/CodePage.h"
#include "classes/WindowPlacement.h"
#include "controls/PTEdit.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "db/SqlFunctionCodes.h"
#include "db/StatementThread.h"
#include "windows/EditUnitSyntax.h"
#include "windows/WindowsHost.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace {

// The frame's child windows close with Ctrl+W as well as Ctrl+F4 on some platforms; here
// Ctrl+W is Fit to Window, and a key claimed twice would do neither.
void FreeFitToWindowKey(QMdiSubWindow &AWindow) {
  const QKeySequence FitKey("Ctrl+W");
  if (QMenu *Menu = AWindow.systemMenu())
    for (QAction *Action : Menu->actions()) {
      QList<QKeySequence> Keys = Action->shortcuts();
      if (Keys.removeAll(FitKey) > 0)
        Action->setShortcuts(Keys);
    }
}

} // namespace

const char *StatementKindName(int AFunctionCode) { return SqlFunctionName(AFunctionCode); }

bool AddToHistory(std::vector<std::string> &AHistory, const std::string &AText,
                  std::size_t ADropDownCount) {
  if (std::find(AHistory.begin(), AHistory.end(), AText) != AHistory.end())
    return false;
  if (AHistory.size() >= ADropDownCount && AHistory.size() > 1)
    AHistory.erase(AHistory.begin() + 1);
  AHistory.push_back(AText);
  return true;
}

// ---- Form ------------------------------------------------------------------------------------

TTerminalForm::TTerminalForm(QWidget *AParent) : TForm(AParent) {
  setObjectName("TerminalForm");
  setWindowTitle("Terminal");
  resize(425, 140);
  auto *Layout = new TAlignedLayout(this);
  Layout->DisableAlign();

  TopPanel = new QWidget(this);
  TopPanel->setObjectName("TopPanel");
  auto *TopLayout = new TAlignedLayout(TopPanel);
  TopLayout->DisableAlign();
  CommandEditor = new TPlainTextEdit(TopPanel);
  CommandEditor->setObjectName("CommandEditor");
  CommandEditor->setCursor(Qt::IBeamCursor);
  if (CommandEditor->Lines().Count() == 0)
    CommandEditor->Lines().Add("");
  CommandEditor->OnFormatLine = [this](TObject *, int AIndex) {
    FormatScriptLine(CommandEditor->Lines()[AIndex], CommandEditor->Lines().FormatList(AIndex));
  };
  CommandEditor->OnCaretPosChanged = [this](TObject *) { FitCommandHeight(); };
  CommandBox = new QComboBox(TopPanel);
  CommandBox->setObjectName("CommandBox");
  CommandBox->setEditable(false);
  CommandBox->setMaxVisibleItems(DropDownCount);
  CommandBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CommandBox->setMinimumContentsLength(0);
  CommandBox->setToolTip("History");
  const int TopHeight = std::max(21, CommandBox->sizeHint().height());
  TopPanel->setGeometry(0, 0, 425, TopHeight);
  CommandEditor->setGeometry(0, 0, 255, TopHeight);
  CommandBox->setGeometry(255, 0, 20, TopHeight);
  DistancePanel1 = new QWidget(TopPanel);
  DistancePanel1->setObjectName("DistancePanel1");
  DistancePanel1->setGeometry(275, 0, 2, TopHeight);
  GoButton = new QPushButton("Go !", TopPanel);
  GoButton->setObjectName("GoButton");
  GoButton->setGeometry(277, 0, 73, TopHeight);
  GoButton->setDefault(true);
  CancelButton = new QPushButton("Cancel", TopPanel);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(352, 0, 73, TopHeight);
  CancelButton->setEnabled(false);
  CancelButton->setAutoDefault(false);
  SetAlign(CancelButton, alRight);
  SetAlign(GoButton, alRight);
  SetAlign(DistancePanel1, alRight);
  SetAlign(CommandBox, alRight);
  SetAlign(CommandEditor, alClient);
  TopLayout->EnableAlign();

  DistancePanel2 = new QWidget(this);
  DistancePanel2->setObjectName("DistancePanel2");
  DistancePanel2->setGeometry(0, TopHeight, 425, 1);
  ResultGrid = new TResultGrid(this);
  ResultGrid->setObjectName("ResultGrid");
  ResultGrid->setGeometry(0, TopHeight + 1, 425, 140 - TopHeight - 1);
  StringGrid = ResultGrid->Grid;
  StringGrid->setObjectName("StringGrid");
  GridModel = ResultGrid->Model;
  SetAlign(TopPanel, alTop);
  SetAlign(DistancePanel2, alTop);
  SetAlign(ResultGrid, alClient);
  Layout->EnableAlign();

  TerminalMenu = new QMenu("&Terminal", this);
  TerminalMenu->setObjectName("TerminalMenu");
  auto AddItem = [this](const char *AName, const char *ACaption, const QKeySequence &AShortcut,
                        const char *AHint, void (TTerminalForm::*AHandler)()) {
    QAction *Item = TerminalMenu->addAction(AnsiToQString(ACaption));
    Item->setObjectName(AName);
    Item->setShortcut(AShortcut);
    Item->setStatusTip(AnsiToQString(AHint));
    Item->setToolTip(AnsiToQString(AHint));
    connect(Item, &QAction::triggered, this, Guarded([this, AHandler] { (this->*AHandler)(); }));
    return Item;
  };
  TerminalDefaultArrangementItem =
      AddItem("TerminalDefaultArrangementItem", "Default &Arrangement", QKeySequence("Ctrl+A"),
              "Default columns widths", &TTerminalForm::TerminalDefaultArrangementItemClick);
  TerminalFitToTextItem =
      AddItem("TerminalFitToTextItem", "Fit to &Text", QKeySequence("Ctrl+T"),
              "Fit columns width to text", &TTerminalForm::TerminalFitToTextItemClick);
  TerminalFitToWindowItem =
      AddItem("TerminalFitToWindowItem", "Fit to &Window", QKeySequence("Ctrl+W"),
              "Fit grid width to window", &TTerminalForm::TerminalFitToWindowItemClick);

  Query = new TOracleQuery(this);
  Query->SetName("Query");
  Query->SetDatabaseName("Database");
  Query->Fields().SetDimension(10);

  connect(GoButton, &QPushButton::clicked, this, Guarded([this] { GoButtonClick(); }));
  connect(CancelButton, &QPushButton::clicked, this, Guarded([this] { CancelButtonClick(); }));
  // Escape cancels wherever the focus is in the window; the editor's keys run and walk.
  for (QWidget *Control : std::initializer_list<QWidget *>{CommandEditor, CommandBox, StringGrid,
                                                           GoButton, CancelButton})
    Control->installEventFilter(this);
  connect(CommandBox, &QComboBox::activated, this, [this](int AIndex) {
    FHistoryIndex = AIndex;
    SetCommandText(QStringToAnsi(CommandBox->itemText(AIndex)));
    CommandEditor->setFocus();
  });
  if (HasWindowsHost())
    FConfigRegistration =
        std::make_unique<TConfigEditorRegistration>(WindowsHost().Configuration(), *this);
  else
    TCFG().RegisterEditor(*this); // the initial keys, told once
  FitCommandHeight();
}

TTerminalForm::~TTerminalForm() {
  // The worker uses the query and reports to this window: it ends first.
  if (Running()) {
    CancelButtonClick();
    WaitForStatement();
  }
  WindowsHost().UpdateClientEdge();
}

TTerminalForm *TTerminalForm::Create(TWindowsHost &AHost, TValueReader *ADesktop) {
  auto *Form = new TTerminalForm;
  AHost.AddChild(Form);
  if (auto *Window = qobject_cast<QMdiSubWindow *>(Form->parentWidget()))
    FreeFitToWindowKey(*Window);
  if (ADesktop) {
    if (auto *Window = qobject_cast<QMdiSubWindow *>(Form->parentWidget()))
      ReadPlacement(*ADesktop, *Window);
    Form->ReadDesktopValues(*ADesktop);
  }
  return Form;
}

void TTerminalForm::resizeEvent(QResizeEvent *AEvent) {
  TForm::resizeEvent(AEvent);
  WindowsHost().UpdateClientEdge();
}

std::vector<std::string> TTerminalForm::History() const {
  std::vector<std::string> Result;
  Result.reserve(std::size_t(CommandBox->count()));
  for (int i = 0; i < CommandBox->count(); ++i)
    Result.push_back(QStringToAnsi(CommandBox->itemText(i)));
  return Result;
}

void TTerminalForm::SetHistory(const std::vector<std::string> &AHistory) {
  CommandBox->clear();
  for (const std::string &Entry : AHistory)
    CommandBox->addItem(AnsiToQString(Entry));
  CommandBox->setCurrentIndex(-1);
  FHistoryIndex = -1;
}

void TTerminalForm::WalkHistory(int ASteps) {
  const int Count = CommandBox->count();
  if (Count == 0)
    return;
  int Index = FHistoryIndex < 0 ? (ASteps < 0 ? Count : -1) : FHistoryIndex;
  Index = std::clamp(Index + ASteps, 0, Count);
  FHistoryIndex = Index < Count ? Index : -1;
  SetCommandText(FHistoryIndex < 0 ? std::string() : History()[std::size_t(FHistoryIndex)]);
}

std::string TTerminalForm::CommandText() const {
  // Lines joined by line feeds: the statement is the same whatever the editor's breaks.
  std::string Text;
  for (int i = 0; i < CommandEditor->Lines().Count(); ++i) {
    if (i > 0)
      Text += '\n';
    Text += CommandEditor->Lines()[i];
  }
  return Text;
}

void TTerminalForm::SetCommandText(const std::string &AText) {
  CommandEditor->Lines().SetText(AText);
  if (CommandEditor->Lines().Count() == 0)
    CommandEditor->Lines().Add("");
  // The caret after the text, where typing goes on.
  CommandEditor->SetSelStart(int(CommandEditor->Lines().Text().size()));
  CommandEditor->Invalidate();
  FitCommandHeight();
}

void TTerminalForm::FitCommandHeight() {
  const int Lines = std::clamp(CommandEditor->Lines().Count(), 1, MaxCommandLines);
  const QScrollBar *Bar = CommandEditor->HorzScrollBar();
  const int Height = std::max(21, Lines * CommandEditor->LineHeight() + 6 +
                                      (Bar->isVisible() ? Bar->height() : 0));
  if (TopPanel->height() != Height) {
    TopPanel->resize(TopPanel->width(), Height);
    RealignParent(this);
  }
  // Every line shows while they fit: the first is not left scrolled away.
  if (CommandEditor->Lines().Count() <= MaxCommandLines && CommandEditor->TopLine() != 0)
    CommandEditor->ScrollTo(0, CommandEditor->HorzOffset());
}

void TTerminalForm::ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool,
                                      bool ABackspaceUnindents, int ATabSize, int, bool) {
  CommandEditor->SetFont(EditorScreenFont(AFont));
  CommandEditor->SetFontColor(AFont.Color());
  CommandEditor->SetStyles(AStyles);
  CommandEditor->SetBackspaceUnindents(ABackspaceUnindents);
  CommandEditor->SetTabSize(ATabSize);
  CommandEditor->Invalidate();
  FitCommandHeight();
}

void TTerminalForm::GoButtonClick() {
  if (Running())
    return;
  // A connection that fails here is the application's error to report.
  TDatabaseLite *Database = Session.FindDatabase(Query->DatabaseName());
  if (Database)
    Database->SetConnected(true);
  const std::string Statement = CommandText();
  // The cursor of the rows on show is about to run another statement.
  ResultGrid->Detach();
  Query->SetSQL(Statement);
  // The configured limit is the batch: the first one now, the next when the user scrolls to
  // the end.
  TResultFetch Fetch;
  Fetch.Limit = std::max(1, WindowsHost().Configuration().TerminalBufferLimit());
  Fetch.BufferBytes = FetchBufferBytes;
  ShowRunning(true);
  try {
    new TThreadStatement(
        *Query, dynamic_cast<TOracleDatabase *>(Database), Fetch, &FRunRef,
        [this, Statement](TStatementOutcome &AOutcome) { StatementDone(Statement, AOutcome); });
  } catch (...) {
    ShowRunning(false);
    throw;
  }
}

void TTerminalForm::CancelButtonClick() {
  if (!Running())
    return;
  TThreadStatement::CancelThread(FRunRef);
  // A break that came before the call reached the server is repeated until the thread ends.
  QTimer::singleShot(100, this, [this] { CancelButtonClick(); });
}

bool TTerminalForm::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AEvent->type() != QEvent::KeyPress)
    return TForm::eventFilter(AWatched, AEvent);
  const auto *Key = static_cast<QKeyEvent *>(AEvent);
  const Qt::KeyboardModifiers Modifiers =
      Key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (Key->key() == Qt::Key_Escape && Running()) {
    TApplication::Guard([this] { CancelButtonClick(); });
    return true;
  }
  if (AWatched != CommandEditor)
    return TForm::eventFilter(AWatched, AEvent);
  if ((Key->key() == Qt::Key_Return || Key->key() == Qt::Key_Enter) &&
      Modifiers == Qt::ControlModifier) {
    TApplication::Guard([this] { GoButtonClick(); });
    return true;
  }
  const int Last = std::max(0, CommandEditor->Lines().Count() - 1);
  if (Modifiers == Qt::NoModifier &&
      ((Key->key() == Qt::Key_Up && CommandEditor->CaretY() == 0) ||
       (Key->key() == Qt::Key_Down && CommandEditor->CaretY() >= Last))) {
    WalkHistory(Key->key() == Qt::Key_Up ? -1 : 1);
    return true;
  }
  return TForm::eventFilter(AWatched, AEvent);
}

void TTerminalForm::WaitForStatement() { TThread::WaitForRef(FRunRef); }

void TTerminalForm::ShowRunning(bool ARunning) {
  GoButton->setEnabled(!ARunning);
  CancelButton->setEnabled(ARunning);
  if (ARunning)
    ResultGrid->StatusLine->setText("Running ...");
}

void TTerminalForm::StatementDone(const std::string &AStatement, TStatementOutcome &AOutcome) {
  ShowRunning(false);
  if (AOutcome.Failed) {
    // The grid keeps what it showed; the statement does not go into the history.
    ResultGrid->StatusLine->clear();
    TApplication::ShowErrorMessage(AOutcome.Error);
    return;
  }
  if (AOutcome.IsQuery)
    ResultGrid->ShowRows(std::move(AOutcome.Rows), AOutcome.MoreRows, Query, AOutcome.Fetch,
                         AOutcome.Elapsed, AStatement);
  else
    ResultGrid->ShowMessage(StatementResultText(AOutcome.FunctionCode, AOutcome.RowsProcessed),
                            AOutcome.Elapsed);
  if (TDatabaseLite *Database = Query->Database())
    Database->NoteStatement(AOutcome.FunctionCode, AOutcome.RowsProcessed, AStatement);
  std::vector<std::string> Entries = History();
  if (AddToHistory(Entries, AStatement, DropDownCount))
    SetHistory(Entries);
}

void TTerminalForm::TerminalDefaultArrangementItemClick() { ResultGrid->DefaultArrangement(); }

void TTerminalForm::TerminalFitToTextItemClick() { ResultGrid->FitToText(); }

void TTerminalForm::TerminalFitToWindowItemClick() { ResultGrid->FitToWindow(); }

void TTerminalForm::WriteDesktopValues(TValueWriter &AWriter) {
  AWriter.WriteString(CommandText());
  const std::vector<std::string> Entries = History();
  AWriter.WriteInteger(std::int64_t(Entries.size()));
  for (const std::string &Entry : Entries)
    AWriter.WriteString(Entry);
}

void TTerminalForm::ReadDesktopValues(TValueReader &AReader) {
  const std::string Text = AReader.ReadString();
  const std::int64_t Count = AReader.ReadCount();
  std::vector<std::string> Entries;
  Entries.reserve(std::size_t(Count));
  for (std::int64_t i = 0; i < Count; ++i)
    Entries.push_back(AReader.ReadString());
  SetHistory(Entries);
  SetCommandText(Text);
}
