// The script editor window: layout, menus, files, save prompts, status line and search.
#include "windows/EditUnit.h"
#include "classes/CodePage.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/AlignedLayout.h"
#include "classes/Application.h"
#include "classes/WindowPlacement.h"
#include "windows/EditUnitFile.h"
#include "windows/EditUnitSyntax.h"
#include "windows/FindDialogs.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <array>
#include <climits>

namespace {

QString PathToQString(const std::string &APath) {
  return QFile::decodeName(QByteArray(APath.data(), qsizetype(APath.size())));
}

std::string PathFromQString(const QString &APath) { return QFile::encodeName(APath).toStdString(); }

} // namespace

int ConfirmYesNoCancel(QWidget *AParent, const QString &AQuestion) {
  QMessageBox Box(QMessageBox::Question, "Confirm", AQuestion,
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, AParent);
  Box.setObjectName("ConfirmBox");
  int Answer = Box.exec();
  return Answer == QMessageBox::Yes || Answer == QMessageBox::No ? Answer : QMessageBox::Cancel;
}

TEditForm::TEditForm(QWidget *AParent) : TForm(AParent) {
  setObjectName("EditForm");
  resize(427, 254);
  auto *Layout = new TAlignedLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);

  Editor = new TPlainTextEdit(this);
  Editor->setObjectName("Editor");
  Editor->setCursor(Qt::IBeamCursor);
  Editor->SetLeftMargin(15);
  Editor->setGeometry(0, 0, 427, 187);
  if (Editor->Lines().Count() == 0)
    Editor->Lines().Add(""); // one empty line
  Editor->OnCaretPosChanged.Bind(this, &TEditForm::EditorCaretPosChanged);
  Editor->OnFormatLine.Bind(this, &TEditForm::EditorFormatLine);

  Splitter = new TSplitter(this);
  Splitter->setObjectName("Splitter");
  Splitter->setGeometry(0, 187, 427, 2);
  Splitter->setFrameShape(QFrame::NoFrame);

  // The compile run fills the list; its entries, click and double-click are in EditUnitCompile.
  ErrorBox = new QListWidget(this);
  ErrorBox->setObjectName("ErrorBox");
  ErrorBox->setGeometry(0, 189, 427, 65);
  ErrorBox->setUniformItemSizes(true);
  connect(ErrorBox, &QListWidget::itemClicked, this, Guarded([this] { ErrorBoxClick(); }));
  connect(ErrorBox, &QListWidget::itemDoubleClicked, this, Guarded([this] { ErrorBoxDblClick(); }));
  // The gutter marks the line of every error the list holds (the editor goes first when the
  // window is destroyed, and its connections with it).
  for (auto Signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(ErrorBox->model(), Signal, Editor, [this] { UpdateErrorMarks(); });
  connect(ErrorBox->model(), &QAbstractItemModel::modelReset, Editor,
          [this] { UpdateErrorMarks(); });

  // Between the editor and the error list: the result pane, hidden until it has something.
  ResultSplitter = new TSplitter(this);
  ResultSplitter->setObjectName("ResultSplitter");
  ResultSplitter->setGeometry(0, 120, 427, 2);
  ResultSplitter->setFrameShape(QFrame::NoFrame);
  ResultGrid = new TResultGrid(this);
  ResultGrid->setObjectName("ResultGrid");
  ResultGrid->setGeometry(0, 122, 427, 65);
  ResultSplitter->hide();
  ResultGrid->hide();
  ResultQuery = new TOracleQuery(this);
  ResultQuery->SetName("ResultQuery");
  ResultQuery->SetDatabaseName("Database");
  ResultQuery->SetParseForParams(false);

  Layout->AddControl(Editor, alClient);
  Layout->AddControl(ResultSplitter, alBottom);
  Layout->AddControl(ResultGrid, alBottom);
  Layout->AddControl(Splitter, alBottom);
  Layout->AddControl(ErrorBox, alBottom);
  Splitter->SetControlFirst(Editor);
  Splitter->SetControlSecond(ErrorBox);
  ResultSplitter->SetControlFirst(Editor);
  ResultSplitter->SetControlSecond(ResultGrid);
  Layout->AlignControls();
  Splitter->Loaded();
  ResultSplitter->Loaded();

  CreateMenus();
  CreateDialogs();
  FormCreate();
}

TEditForm::~TEditForm() { WindowsHost().UpdateClientEdge(); }

TEditForm *TEditForm::Create(TWindowsHost &AHost) {
  auto *Form = new TEditForm;
  AHost.AddChild(Form);
  return Form;
}

TEditForm *TEditForm::CreateForFile(TWindowsHost &AHost, const std::string &AFileName,
                                    bool AReadOnly) {
  // Read before any window is made: a file that cannot be read leaves no window behind and
  // does not stir the frame's stacking of the others.
  const std::string Content = ReadScriptFile(AFileName);
  TEditForm *Form = Create(AHost);
  Form->LoadText(Content, AFileName, AReadOnly);
  return Form;
}

TEditForm *TEditForm::RestoreFromDesktop(TWindowsHost &AHost, TValueReader &AReader) {
  // The whole record first, so a damaged one leaves no half-made window.
  std::array<std::uint8_t, TWindowPlacement::RecordSize> Bytes;
  AReader.Read(Bytes.data(), Bytes.size());
  const TWindowPlacement Placement = TWindowPlacement::FromBytes(Bytes);
  const std::string Name = AReader.ReadString();
  const bool ReadOnly = AReader.ReadBoolean();
  std::string Content;
  if (Name != UntitledName) {
    try {
      Content = ReadScriptFile(Name);
    } catch (const EStreamError &E) {
      // A script gone since the last run is reported; the other windows still come back.
      TApplication::HandleException(E);
      return nullptr;
    }
  }
  TEditForm *Form = Create(AHost);
  SetWindowPlacement(Form->parentWidget() ? *Form->parentWidget() : *Form, Placement);
  if (Name != UntitledName)
    Form->LoadText(Content, Name, ReadOnly);
  else
    Form->Editor->SetReadOnly(ReadOnly);
  return Form;
}

void TEditForm::FormCreate() {
  if (HasWindowsHost())
    FConfigRegistration =
        std::make_unique<TConfigEditorRegistration>(WindowsHost().Configuration(), *this);
  else
    TCFG().RegisterEditor(*this); // the initial keys, told once
  SetFileName(UntitledName);
  Splitter->MoveTo(0, height()); // the error list starts collapsed
  SearchDialog = FindDialog;
}

QAction *TEditForm::AddItem(QMenu *AMenu, const char *AName, const char *ACaption,
                            const char *AHint, const QKeySequence &AShortcut) {
  QAction *Item = AMenu->addAction(AnsiToQString(ACaption));
  Item->setObjectName(AName);
  Item->setStatusTip(AnsiToQString(AHint));
  Item->setToolTip(AnsiToQString(AHint));
  if (!AShortcut.isEmpty())
    Item->setShortcut(AShortcut);
  return Item;
}

void TEditForm::CreateMenus() {
  auto Menu = [this](const char *AName, const char *ACaption) {
    auto *M = new QMenu(AnsiToQString(ACaption), this);
    M->setObjectName(AName);
    return M;
  };
  FileMenu = Menu("FileMenu", "&File");
  FileNewItem = AddItem(FileMenu, "FileNewItem", "&New", "Create a new file");
  FileOpenItem = AddItem(FileMenu, "FileOpenItem", "&Open...", "Open an existing file");
  FileSaveItem =
      AddItem(FileMenu, "FileSaveItem", "&Save", "Save current file", QKeySequence("Ctrl+S"));
  FileSaveAsItem =
      AddItem(FileMenu, "FileSaveAsItem", "Save &As...", "Save current file under a new name");
  FileMenu->addSeparator();
  FileExitItem = AddItem(FileMenu, "FileExitItem", "E&xit", "Exit this application");

  EditMenu = Menu("EditMenu", "&Edit");
  EditUndoItem =
      AddItem(EditMenu, "EditUndoItem", "&Undo", "Undo the last action", QKeySequence("Ctrl+Z"));
  EditRedoItem = AddItem(EditMenu, "EditRedoItem", "&Redo", "Redo the last undone action",
                         QKeySequence("Ctrl+Y"));
  EditRedoItem->setShortcuts({QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")});
  EditUndoSeparator = EditMenu->addSeparator();
  connect(EditMenu, &QMenu::aboutToShow, this, [this] { UpdateUndoItems(); });
  EditCutItem = AddItem(EditMenu, "EditCutItem", "Cu&t",
                        "Cut selected item and copy it to clipboard", QKeySequence("Ctrl+X"));
  EditCopyItem = AddItem(EditMenu, "EditCopyItem", "&Copy", "Copy selected item to clipboard",
                         QKeySequence("Ctrl+C"));
  EditPasteItem = AddItem(EditMenu, "EditPasteItem", "&Paste", "Paste contents of clipboard",
                          QKeySequence("Ctrl+V"));
  EditDeleteItem = AddItem(EditMenu, "EditDeleteItem", "&Delete", "Delete selected item",
                           QKeySequence(Qt::Key_Delete));
  EditSelectAllItem =
      AddItem(EditMenu, "EditSelectAllItem", "Se&lect All", "Select all", QKeySequence("Ctrl+A"));
  EditMenu->addSeparator();
  EditPasteObjectItem = AddItem(EditMenu, "EditPasteObjectItem", "Paste &Object",
                                "Paste PL/SQL database object text", QKeySequence("Ctrl+D"));

  SearchMenu = Menu("SearchMenu", "&Search");
  SearchFindItem =
      AddItem(SearchMenu, "SearchFindItem", "&Find", "Find text", QKeySequence("Ctrl+F"));
  SearchReplaceItem = AddItem(SearchMenu, "SearchReplaceItem", "&Replace",
                              "Find text and replace it with other", QKeySequence("Ctrl+R"));
  SearchSearchAgainItem = AddItem(SearchMenu, "SearchSearchAgainItem", "&Search Again",
                                  "Search again", QKeySequence(Qt::Key_F3));
  SearchMenu->addSeparator();
  SearchGotoLineNumberItem =
      AddItem(SearchMenu, "SearchGotoLineNumberItem", "&Go to Line Number...",
              "Go to line number of specified object", QKeySequence("Ctrl+G"));

  RunMenu = Menu("RunMenu", "&Run");
  RunCompileItem = AddItem(RunMenu, "RunCompileItem", "&Compile", "Upload program into database",
                           QKeySequence(Qt::Key_F9));
  RunComileExpressionItem =
      AddItem(RunMenu, "RunComileExpressionItem", "Compile &Expression",
              "Upload into database expression at cursor", QKeySequence("Ctrl+F9"));
  RunStatementItem = AddItem(RunMenu, "RunStatementItem", "&Run Statement",
                             "Run the selection or the statement at cursor and show its result",
                             QKeySequence("Ctrl+Return"));
  // The keypad's Enter as well.
  RunStatementItem->setShortcuts({QKeySequence("Ctrl+Return"), QKeySequence("Ctrl+Enter")});

  auto Wire = [this](QAction *AItem, auto AHandler) {
    connect(AItem, &QAction::triggered, this, Guarded([this, AHandler] { (this->*AHandler)(); }));
  };
  Wire(FileNewItem, &TEditForm::FileNewItemClick);
  Wire(FileOpenItem, &TEditForm::FileOpenItemClick);
  Wire(FileSaveItem, &TEditForm::FileSaveItemClick);
  Wire(FileSaveAsItem, &TEditForm::FileSaveAsItemClick);
  Wire(FileExitItem, &TEditForm::FileExitItemClick);
  Wire(EditUndoItem, &TEditForm::EditUndoItemClick);
  Wire(EditRedoItem, &TEditForm::EditRedoItemClick);
  Wire(EditCutItem, &TEditForm::EditCutItemClick);
  Wire(EditCopyItem, &TEditForm::EditCopyItemClick);
  Wire(EditPasteItem, &TEditForm::EditPasteItemClick);
  Wire(EditDeleteItem, &TEditForm::EditDeleteItemClick);
  Wire(EditSelectAllItem, &TEditForm::EditSelectAllItemClick);
  Wire(EditPasteObjectItem, &TEditForm::EditPasteObjectItemClick);
  Wire(SearchFindItem, &TEditForm::SearchFindItemClick);
  Wire(SearchReplaceItem, &TEditForm::SearchReplaceItemClick);
  Wire(SearchSearchAgainItem, &TEditForm::SearchSearchAgainItemClick);
  Wire(SearchGotoLineNumberItem, &TEditForm::SearchGotoLineNumberItemClick);
  Wire(RunComileExpressionItem, &TEditForm::RunComileExpressionItemClick);
  Wire(RunStatementItem, &TEditForm::RunStatementItemClick);
  connect(RunCompileItem, &QAction::triggered, this,
          Guarded([this] { RunCompileItemClick(RunCompileItem); }));
}

void TEditForm::CreateDialogs() {
  FindDialog = new TFindDialog(this);
  FindDialog->OnFind = [this](TObject *) { SearchSearchAgainItemClick(); };
  ReplaceDialog = new TReplaceDialog(this);
  ReplaceDialog->OnFind = [this](TObject *) { SearchSearchAgainItemClick(); };
  ReplaceDialog->OnReplace = [this](TObject *) { ReplaceDialogReplace(); };
}

void TEditForm::CreateSaveDialog() {
  // Made at the first Save As: a file dialog holds a file-system model, a thread and icons,
  // which a desktop of many windows would otherwise pay for in every one of them.
  if (SaveDialog)
    return;
  SaveDialog = new QFileDialog(this, "Save As");
  SaveDialog->setObjectName("SaveDialog");
  SaveDialog->setOption(QFileDialog::DontUseNativeDialog);
  // The window asks "Ok to overwrite" itself.
  SaveDialog->setOption(QFileDialog::DontConfirmOverwrite);
  SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog->setFileMode(QFileDialog::AnyFile);
  SaveDialog->setDefaultSuffix("sql");
  SaveDialog->setNameFilters(
      {"SQL Scripts (*.sql)", "ERWin Scripts (*.ers)", "Text Files (*.txt)"});
}

std::vector<TMenuGroup> TEditForm::MenuGroups() const {
  return {{1, FileMenu}, {2, EditMenu}, {3, SearchMenu}, {4, RunMenu}};
}

// ---- File name, files and saving -------------------------------------------------------------

void TEditForm::SetFileName(const std::string &AValue) {
  FFileName = AValue;
  setWindowTitle(PathToQString(ExtractFileName(AValue)));
}

void TEditForm::OpenFile(const std::string &AFileName, bool AReadOnly) {
  if (AFileName == UntitledName)
    return;
  // Read whole before anything changes: a file that cannot be read leaves the window as it was.
  LoadText(ReadScriptFile(AFileName), AFileName, AReadOnly);
}

void TEditForm::LoadText(const std::string &AContent, const std::string &AFileName,
                         bool AReadOnly) {
  // The editor's text ends at a NUL byte; what follows would be lost on the next save.
  FShownUpToNul = AContent.find('\0') != std::string::npos;
  FReadOnlyAsked = AReadOnly;
  Editor->Lines().SetText(AContent);
  Editor->Model().SetCaretAndAnchor(TEditPos{1, 0});
  Editor->ScrollTo(0, 0);
  Editor->UpdateScrollBars();
  Editor->Invalidate();
  SetFileName(AFileName);
  Editor->setFocus();
  Editor->SetModified(false);
  Editor->Model().ClearUndo(); // the loaded file starts a history of its own
  UpdateUndoItems();
  Editor->SetReadOnly(AReadOnly || FShownUpToNul);
  if (FShownUpToNul)
    TApplication::ShowErrorMessage(
        "File " + AFileName +
        " holds a NUL byte. Only the text before it is shown, and the window is read-only; "
        "Save As can keep that text under another name.");
}

void TEditForm::SaveTo(const std::string &AFileName) {
  // Every save comes here, so no way of saving can write the cut text over its file (under
  // any of its names).
  if (FShownUpToNul && SameFile(AFileName, FFileName))
    throw EWriteError("Cannot save file " + AFileName +
                      ": it holds a NUL byte and only the text before it is shown. Use Save As "
                      "to save that text under another name.");
  WriteScriptFile(AFileName, Editor->Lines());
  Editor->SetModified(false);
  EditorCaretPosChanged(Editor);
  if (FShownUpToNul && AFileName != FFileName) {
    // The new file holds exactly what is shown.
    FShownUpToNul = false;
    Editor->SetReadOnly(FReadOnlyAsked);
  }
}

void TEditForm::FileSaveItemClick() { SaveCurrent(); }

void TEditForm::FileSaveAsItemClick() { SaveAs(); }

bool TEditForm::SaveCurrent() {
  if (FFileName == UntitledName)
    return SaveAs();
  SaveTo(FFileName);
  return true;
}

bool TEditForm::SaveAs() {
  CreateSaveDialog();
  if (FFileName != UntitledName)
    SaveDialog->selectFile(PathToQString(FFileName));
  if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty())
    Abort();
  const QString Chosen = SaveDialog->selectedFiles().first();
  if (QFileInfo::exists(Chosen) &&
      ConfirmYesNoCancel(this, QString("Ok to overwrite %1").arg(Chosen)) != QMessageBox::Yes)
    return false;
  const std::string Name = PathFromQString(Chosen);
  SaveTo(Name);
  SetFileName(Name);
  return true;
}

void TEditForm::QuerySave() {
  if (!Editor->Modified())
    return;
  // The window asked about comes to the front first: two "Untitled" look the same otherwise.
  if (auto *Window = qobject_cast<QMdiSubWindow *>(parentWidget()); Window && Window->mdiArea())
    Window->mdiArea()->setActiveSubWindow(Window);
  switch (ConfirmYesNoCancel(this, QString("Save changes to %1?").arg(PathToQString(FFileName)))) {
  case QMessageBox::Yes:
    // Declining to overwrite another file saves nothing: the changes must not be lost.
    if (!SaveCurrent())
      Abort();
    break;
  case QMessageBox::No:
    break;
  default:
    Abort();
  }
}

bool TEditForm::FormCloseQuery() {
  // At shut-down the frame has asked every child already.
  if (WindowsHost().ClosingDown())
    return true;
  try {
    QuerySave();
    return true;
  } catch (...) {
    return false; // Cancel, a cancelled Save As or a failed write keep the window open
  }
}

void TEditForm::closeEvent(QCloseEvent *AEvent) {
  if (!FormCloseQuery()) {
    AEvent->ignore();
    return;
  }
  FormClose();
  AEvent->accept();
}

void TEditForm::FormClose() { FormDeactivate(); }

void TEditForm::WriteDesktopValues(TValueWriter &AWriter) {
  AWriter.WriteString(FFileName);
  // Read-only for a NUL byte is decided again when the file is read.
  AWriter.WriteBoolean(FShownUpToNul ? FReadOnlyAsked : Editor->ReadOnly());
}

void TEditForm::resizeEvent(QResizeEvent *AEvent) {
  TForm::resizeEvent(AEvent);
  WindowsHost().UpdateClientEdge();
}

// ---- Simple commands -------------------------------------------------------------------------

void TEditForm::FileNewItemClick() { WindowsHost().FileNewItemClick(); }
void TEditForm::FileOpenItemClick() { WindowsHost().FileOpenItemClick(); }
void TEditForm::FileExitItemClick() { WindowsHost().FileExitItemClick(); }

void TEditForm::EditUndoItemClick() { Editor->Model().Undo(); }
void TEditForm::EditRedoItemClick() { Editor->Model().Redo(); }

void TEditForm::UpdateUndoItems() {
  EditUndoItem->setEnabled(Editor->Model().CanUndo());
  EditRedoItem->setEnabled(Editor->Model().CanRedo());
}
void TEditForm::EditCutItemClick() { Editor->CutToClipboard(); }
void TEditForm::EditCopyItemClick() { Editor->CopyToClipboard(); }
void TEditForm::EditPasteItemClick() { Editor->PasteFromClipboard(); }
void TEditForm::EditDeleteItemClick() { Editor->KeyDown(vkDelete, 0); }
void TEditForm::EditSelectAllItemClick() { Editor->SelectAll(); }
// Paste Object and Go to Line Number: EditUnitObjects.cpp.

// ---- Activation, status line, configuration, colouring ---------------------------------------

bool TEditForm::IsActiveChild() const {
  auto *Window = qobject_cast<QMdiSubWindow *>(parentWidget());
  return !Window || !Window->mdiArea() || Window->mdiArea()->activeSubWindow() == Window;
}

void TEditForm::FormActivate() {
  WindowsHost().EnableEditorButtons(true);
  // The window's own status line, and the keys go to its editor: switching windows (Ctrl+Tab
  // between maximised ones) may leave the focus on the frame of the window before. Once more
  // from the event loop, after the frame has finished switching menus.
  EditorCaretPosChanged(Editor);
  Editor->setFocus(Qt::ActiveWindowFocusReason);
  QMetaObject::invokeMethod(
      Editor,
      [this] {
        if (IsActiveChild())
          Editor->setFocus(Qt::ActiveWindowFocusReason);
      },
      Qt::QueuedConnection);
}

void TEditForm::FormDeactivate() {
  WindowsHost().EnableEditorButtons(false);
  // Another kind of window says nothing of a caret.
  WindowsHost().SetStatusText("");
}

std::string TEditForm::StatusLine() const {
  return "   " + std::to_string(Editor->CaretY() + 1) + ":" + std::to_string(Editor->CaretX()) +
         "   " + ReservedWords[ReservedWordCount + (Editor->Modified() ? 3 : 2)] + "   " +
         ReservedWords[ReservedWordCount + (Editor->InsertMode() ? 1 : 0)];
}

void TEditForm::EditorCaretPosChanged(TObject *) {
  // The editor reports caret moves also while it paints, and the status bar repaints at once,
  // which must not happen inside another widget's paint: the status line is shown from the
  // event loop, once for any number of moves in between.
  if (FStatusPending)
    return;
  FStatusPending = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        FStatusPending = false;
        UpdateUndoItems();
        if (IsActiveChild()) // a window behind others keeps its caret to itself
          WindowsHost().SetStatusText(StatusLine());
      },
      Qt::QueuedConnection);
}

void TEditForm::EditorFormatLine(TObject *, int AIndex) {
  FormatScriptLine(Editor->Lines()[AIndex], Editor->Lines().FormatList(AIndex));
}

void TEditForm::ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool AAutoIndent,
                                  bool ABackspaceUnindents, int ATabSize, int AUndoLimit,
                                  bool ALineNumbers) {
  Editor->SetFont(EditorScreenFont(AFont));
  Editor->SetFontColor(AFont.Color());
  Editor->SetStyles(AStyles);
  Editor->SetAutoIndent(AAutoIndent);
  Editor->SetBackspaceUnindents(ABackspaceUnindents);
  Editor->SetTabSize(ATabSize);
  Editor->Model().SetUndoLimit(static_cast<std::size_t>(std::max(0, AUndoLimit)) << 20);
  Editor->SetLineNumbers(ALineNumbers);
  Editor->Invalidate();
}

// ---- Find, replace, search again ---------------------------------------------------------------

bool TEditForm::WordAtCaret(std::string &AWord) const {
  const TPTEditModel &Model = Editor->Model();
  if (Editor->Lines().Count() == 0)
    return false; // the text is only the break of the model's empty line
  // The character just before the caret, or the first one when the caret is at the start.
  const int Start = Editor->SelStart();
  const std::int64_t Examined = Start == 0 ? 0 : Start - 1;
  const TEditPos Pos = Model.OffsetToPos(Examined);
  const std::string_view Line = Editor->Lines()[Pos.Y];
  // An offset on a line break maps to the line's end: that character is CR or LF.
  if (Model.PosToOffset(Pos) != Examined || Pos.X > static_cast<int>(Line.size()))
    return false;
  std::size_t First = static_cast<std::size_t>(Pos.X - 1);
  if (IsDelimiter(static_cast<unsigned char>(Line[First])))
    return false;
  while (First > 0 && !IsDelimiter(static_cast<unsigned char>(Line[First - 1])))
    --First;
  std::size_t Last = First;
  while (Last < Line.size() && !IsDelimiter(static_cast<unsigned char>(Line[Last])))
    ++Last;
  AWord.assign(Line.substr(First, Last - First));
  return true;
}

void TEditForm::OpenSearchDialog(TFindDialog *ADialog) {
  std::string Word;
  if (WordAtCaret(Word))
    ADialog->SetFindText(Word);
  SearchDialog = ADialog;
  ADialog->Execute();
}

void TEditForm::SearchFindItemClick() { OpenSearchDialog(FindDialog); }
void TEditForm::SearchReplaceItemClick() { OpenSearchDialog(ReplaceDialog); }

void TEditForm::SearchSearchAgainItemClick() {
  int Options = 0;
  if (SearchDialog->Options() & frWholeWordOption)
    Options |= frWholeWord;
  if (SearchDialog->Options() & frMatchCaseOption)
    Options |= frMatchCase;
  const std::string Text = SearchDialog->FindText();
  // From just after the start of a selection (the last match), so the next one is found; from
  // the caret itself when nothing is selected, so a match right after a replacement (or at the
  // caret) is not skipped.
  const int From = Editor->SelLength() > 0 ? Editor->SelStart() + 1 : Editor->SelStart();
  const int Found = Editor->FindText(Text, From, INT_MAX, Options);
  if (Found < 0)
    return;
  Editor->SetSelStart(Found);
  Editor->SetSelLength(static_cast<int>(Text.size()));
}

void TEditForm::ReplaceDialogReplace() {
  // Replace and Replace All each undo as one step.
  TPTEditModel &Model = Editor->Model();
  Model.BeginUndoStep();
  try {
    if (Editor->SelLength() > 0)
      Editor->InsertText(ReplaceDialog->ReplaceText());
    if ((ReplaceDialog->Options() & frReplaceAll) && !Editor->ReadOnly())
      Model.ReplaceAll(ReplaceDialog->FindText(), ReplaceDialog->ReplaceText(),
                       ReplaceDialog->Options() & frMatchCaseOption ? frMatchCase : 0);
    else
      SearchSearchAgainItemClick();
  } catch (...) {
    Model.EndUndoStep();
    throw;
  }
  Model.EndUndoStep();
}
