// The script editor window offscreen, inside a main window: files and their line breaks, the
// close prompt's answers, Save As, status line, find and replace, menus and speed bar, the
// desktop round trip and script processing's view of the windows.
#include "windows/EditUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "classes/WindowPlacement.h"
#include "windows/EditScriptWindows.h"
#include "windows/FindDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "EditUnitTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

// Answers modal dialogs in turn, as a user would: each queued answer takes the next modal dialog
// that comes up.
std::deque<std::function<void(QWidget *)>> &Answers() {
  static std::deque<std::function<void(QWidget *)>> Queue;
  return Queue;
}

void AnswerModal(std::function<void(QWidget *)> AAnswer) {
  static QTimer *Timer = [] {
    auto *T = new QTimer;
    T->setInterval(5);
    QObject::connect(T, &QTimer::timeout, [] {
      QWidget *Modal = QApplication::activeModalWidget();
      if (Answers().empty() || !Modal || !Modal->isVisible() ||
          Modal->property("answered").toBool())
        return;
      // Answered once per showing: a dialog kept for reuse is answered again next time.
      Modal->setProperty("answered", true);
      if (auto *Dialog = qobject_cast<QDialog *>(Modal))
        QObject::connect(
            Dialog, &QDialog::finished, Dialog,
            [Dialog] { Dialog->setProperty("answered", false); }, Qt::SingleShotConnection);
      auto Answer = std::move(Answers().front());
      Answers().pop_front();
      Answer(Modal);
    });
    T->start();
    return T;
  }();
  (void)Timer;
  Answers().push_back(std::move(AAnswer));
}

// Answers the next message box with AButton and records its text.
void AnswerBox(QMessageBox::StandardButton AButton, std::vector<std::string> *AQuestions) {
  AnswerModal([=](QWidget *AModal) {
    auto *Box = qobject_cast<QMessageBox *>(AModal);
    ASSERT_NE(Box, nullptr);
    if (AQuestions)
      AQuestions->push_back(Box->text().toStdString());
    Box->button(AButton)->click();
  });
}

// Answers the next file dialog with a path (or cancels it with an empty one).
void AnswerFileDialog(const QString &APath, bool AReadOnly = false) {
  AnswerModal([=](QWidget *AModal) {
    auto *Dialog = qobject_cast<QFileDialog *>(AModal);
    ASSERT_NE(Dialog, nullptr);
    if (APath.isEmpty()) {
      Dialog->reject();
      return;
    }
    if (auto *Box = Dialog->findChild<QCheckBox *>("ReadOnlyBox"))
      Box->setChecked(AReadOnly);
    // Typed into the name box, as a user does; selecting an existing file would wait for the
    // dialog's folder listing.
    Dialog->setDirectory(QFileInfo(APath).path());
    auto *NameEdit = Dialog->findChild<QLineEdit *>("fileNameEdit");
    ASSERT_NE(NameEdit, nullptr);
    NameEdit->setText(QFileInfo(APath).fileName());
    static_cast<QDialog *>(Dialog)->accept(); // as the dialog's Save or Open button
  });
}

QByteArray FileBytes(const QString &AName) {
  QFile File(AName);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString &AName, const QByteArray &ABytes) {
  QFile File(AName);
  ASSERT_TRUE(File.open(QIODevice::WriteOnly));
  File.write(ABytes);
}

std::vector<std::string> Lines(TEditForm &AForm) {
  std::vector<std::string> Result;
  for (int I = 0; I < AForm.Editor->Lines().Count(); ++I)
    Result.push_back(AForm.Editor->Lines().Strings(I));
  return Result;
}

using TLines = std::vector<std::string>;

struct EditForm : ::testing::Test {
  std::unique_ptr<TMainForm> Main;
  std::vector<std::string> Errors;
  QTemporaryDir Folder;

  void SetUp() override {
    App();
    SetProgramPath(Folder.filePath("tessaly").toStdString());
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) {
      Errors.push_back(AMessage);
    };
    StartMain();
  }
  void TearDown() override { Main.reset(); }

  void StartMain() {
    Main.reset();
    Main = std::make_unique<TMainForm>();
    Errors.clear(); // the client library is not needed here
    Main->show();
    QApplication::processEvents();
  }
  std::string Path(const char *AName) const { return Folder.filePath(AName).toStdString(); }
  TEditForm *New() {
    Main->FileNewItemClick();
    QApplication::processEvents();
    return dynamic_cast<TEditForm *>(Main->ActiveChild());
  }
  TEditForm *Open(const char *AName, const QByteArray &ABytes) {
    WriteBytes(Folder.filePath(AName), ABytes);
    return TEditForm::CreateForFile(*Main, Path(AName), false);
  }
  int ChildCount() const { return int(Main->MdiArea->subWindowList().size()); }
  // Closes the window as its close box does; true when it went.
  bool CloseWindow(TEditForm *AForm) {
    auto *Window = qobject_cast<QMdiSubWindow *>(AForm->parentWidget());
    int Before = ChildCount();
    Window->close();
    QApplication::processEvents();
    return ChildCount() < Before;
  }
};

TEST_F(EditForm, FreshWindowIsUntitledWithCollapsedListMenusAndStatus) {
  TEditForm *Form = New();
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->FileName(), "Untitled");
  EXPECT_EQ(Form->windowTitle(), "Untitled");
  EXPECT_EQ(Lines(*Form), TLines{""});
  EXPECT_FALSE(Form->Editor->Modified());
  EXPECT_EQ(Form->ErrorBox->height(), 0);
  EXPECT_EQ(Form->Editor->LeftMargin(), 15);
  EXPECT_EQ(Form->StatusLine(), "   1:1   Original   Insert");
  EXPECT_EQ(Form->SearchDialog, Form->FindDialog);

  // Typing changes the status line through the caret event.
  Form->Editor->KeyPress('x');
  QApplication::processEvents();
  EXPECT_EQ(Main->StatusText(), "   1:2   Modified   Insert");
  Form->Editor->SetInsertMode(false);
  EXPECT_EQ(Form->StatusLine(), "   1:2   Modified   Overwrite");

  // The window's menus, merged by group, with their captions, shortcuts and hints.
  std::vector<std::string> Bar;
  for (QAction *Action : Main->menuBar()->actions())
    Bar.push_back(Action->menu()->objectName().toStdString());
  EXPECT_EQ(Bar, (std::vector<std::string>{"FileMenu", "EditMenu", "SearchMenu", "RunMenu",
                                           "DatabaseMenu", "ToolsMenu", "WindowMenu", "HelpMenu"}));
  EXPECT_EQ(Main->menuBar()->actions()[0]->menu(), Form->FileMenu);
  EXPECT_EQ(Form->FileSaveItem->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(Form->FileSaveAsItem->text(), "Save &As...");
  EXPECT_EQ(Form->EditDeleteItem->shortcut(), QKeySequence(Qt::Key_Delete));
  EXPECT_TRUE(Form->EditUndoItem->isVisible());
  EXPECT_EQ(Form->EditRedoItem->shortcuts(),
            (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
  EXPECT_EQ(Form->EditPasteObjectItem->statusTip(), "Paste PL/SQL database object text");
  EXPECT_EQ(Form->SearchSearchAgainItem->shortcut(), QKeySequence(Qt::Key_F3));
  EXPECT_EQ(Form->SearchGotoLineNumberItem->text(), "&Go to Line Number...");
  EXPECT_EQ(Form->RunComileExpressionItem->shortcut(), QKeySequence("Ctrl+F9"));
  EXPECT_EQ(Form->RunCompileItem->statusTip(), "Upload program into database");

  // The seven editor buttons follow the active editor window.
  for (QToolButton *Button : Main->EditorButtons())
    EXPECT_TRUE(Button->isEnabled()) << Button->objectName().toStdString();
  // Closing the last editor window disables them again.
  Form->Editor->SetModified(false);
  EXPECT_TRUE(CloseWindow(Form));
  for (QToolButton *Button : Main->EditorButtons())
    EXPECT_FALSE(Button->isEnabled()) << Button->objectName().toStdString();
}

TEST_F(EditForm, FilesLoadWithEveryLineBreakAndSaveWithCrLf) {
  const struct {
    QByteArray Bytes;
    TLines Lines;
  } Cases[] = {
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\n\rb", {"a", "", "b"}}, // LF then CR: two breaks
      {"a\r\n\r\nb\n", {"a", "", "b"}},
      {"\r\n", {""}},
      {"caf\xE9 \x80\x93", {"caf\xE9 \x80\x93"}}, // bytes as they are
  };
  int N = 0;
  for (const auto &Case : Cases) {
    const std::string Name = "f" + std::to_string(N++) + ".sql";
    TEditForm *Form = Open(Name.c_str(), Case.Bytes);
    ASSERT_NE(Form, nullptr);
    EXPECT_EQ(Lines(*Form), Case.Lines) << Name;
    EXPECT_EQ(Form->FileName(), Path(Name.c_str()));
    EXPECT_EQ(Form->windowTitle().toStdString(), Name);
    EXPECT_FALSE(Form->Editor->Modified());
    Form->FileSaveItemClick();
    QByteArray Expected;
    for (const std::string &Line : Case.Lines)
      Expected += QByteArray::fromStdString(Line) + "\r\n";
    EXPECT_EQ(FileBytes(Folder.filePath(QString::fromStdString(Name))), Expected) << Name;
  }
  // An empty file: no text at all, and none written back (the editor may work on one empty
  // line of its own, which saves as a single line break).
  TEditForm *Empty = Open("empty.sql", "");
  EXPECT_LE(Empty->Editor->Lines().Count(), 1);
  EXPECT_EQ(Empty->Editor->Lines().Text().find_first_not_of("\r\n"), std::string::npos);
  // Read-only as asked.
  TEditForm *Form = Open("ro.sql", "x");
  EXPECT_FALSE(Form->Editor->ReadOnly());
  Form->OpenFile(Path("ro.sql"), true);
  EXPECT_TRUE(Form->Editor->ReadOnly());
  // "Untitled" loads nothing.
  Form->OpenFile("Untitled", false);
  EXPECT_EQ(Form->FileName(), Path("ro.sql"));
  EXPECT_TRUE(Errors.empty());
}

TEST_F(EditForm, UnreadableFileLeavesTheWindowAsItWasAndIsReported) {
  TEditForm *Form = Open("a.sql", "select 1 from dual\r\n");
  Form->Editor->KeyPress('x');
  EXPECT_THROW(Form->OpenFile(Path("missing.sql"), false), EStreamError);
  EXPECT_EQ(Form->FileName(), Path("a.sql"));
  EXPECT_EQ(Lines(*Form), TLines{"xselect 1 from dual"});
  EXPECT_TRUE(Form->Editor->Modified());

  // A folder is no file: reading it fails and changes nothing either.
  EXPECT_THROW(Form->OpenFile(Folder.path().toStdString(), false), EStreamError);
  EXPECT_EQ(Form->FileName(), Path("a.sql"));
  // Nor is a FIFO, which is not even waited on (this end is held, so a plain open would pass).
  ASSERT_EQ(::mkfifo(Path("fifo.sql").c_str(), 0600), 0);
  const int Writer = ::open(Path("fifo.sql").c_str(), O_RDWR | O_NONBLOCK);
  const int Windows = ChildCount();
  try {
    TEditForm::CreateForFile(*Main, Path("fifo.sql"), false);
    ADD_FAILURE() << "a FIFO was opened";
  } catch (const EFOpenError &E) {
    EXPECT_EQ(E.Message(), "Cannot open file " + Path("fifo.sql"));
  }
  ::close(Writer);
  QApplication::processEvents();
  EXPECT_EQ(ChildCount(), Windows);

  // A file that cannot be read makes no window and leaves the active one active.
  TEditForm *Other = Open("b.sql", "b\r\n");
  Main->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(Form->parentWidget()));
  QApplication::processEvents();
  const int Count = ChildCount();
  EXPECT_THROW(TEditForm::CreateForFile(*Main, Path("missing.sql"), false), EStreamError);
  QApplication::processEvents();
  EXPECT_EQ(ChildCount(), Count);
  EXPECT_EQ(Main->ActiveChild(), Form);
  (void)Other;

  // File Open of a file that cannot be read reports it and leaves no window behind.
  int Before = ChildCount();
  AnswerFileDialog(Folder.filePath("gone.sql"));
  WriteBytes(Folder.filePath("gone.sql"), "x");
  QFile::setPermissions(Folder.filePath("gone.sql"), QFileDevice::WriteOwner);
  Main->FileOpenItem->trigger();
  QApplication::processEvents();
  if (::geteuid() != 0) { // root reads anything
    EXPECT_EQ(ChildCount(), Before);
    EXPECT_EQ(Errors.size(), 1u);
  }
}

TEST_F(EditForm, FailedSaveKeepsTheOldFileAndTheChanges) {
  TEditForm *Form = Open("keep.sql", "old text\r\n");
  Form->Editor->KeyPress('n');
  // The file's folder refuses new files: the temporary file cannot be made.
  QFile::setPermissions(Folder.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  if (::geteuid() != 0) {
    EXPECT_THROW(Form->FileSaveItemClick(), EStreamError);
    EXPECT_TRUE(Form->Editor->Modified());
    EXPECT_EQ(FileBytes(Folder.filePath("keep.sql")), "old text\r\n");
  }
  QFile::setPermissions(Folder.path(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  // Failures any user meets: a folder that is gone, and a name taken by a folder.
  Form->SetFileName(Path("gone/keep.sql"));
  EXPECT_THROW(Form->FileSaveItemClick(), EStreamError);
  EXPECT_TRUE(Form->Editor->Modified());
  EXPECT_FALSE(QFile::exists(Folder.filePath("gone")));
  ASSERT_TRUE(QDir(Folder.path()).mkdir("taken.sql"));
  Form->SetFileName(Path("taken.sql"));
  EXPECT_THROW(Form->FileSaveItemClick(), EStreamError);
  EXPECT_TRUE(Form->Editor->Modified());
  EXPECT_TRUE(QFileInfo(Folder.filePath("taken.sql")).isDir());
  EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"keep.sql"}); // no temporary file left behind
  Form->SetFileName(Path("keep.sql"));
  Form->FileSaveItemClick();
  EXPECT_FALSE(Form->Editor->Modified());
  EXPECT_EQ(FileBytes(Folder.filePath("keep.sql")), "nold text\r\n");
  EXPECT_EQ(Form->StatusLine(), "   1:2   Original   Insert");
}

// A NUL byte ends the text shown; the file opens read-only with a message, and no save can put
// the shortened text over it, under any of its names. Saved under another name it is a file
// like any other.
TEST_F(EditForm, NulByteOpensReadOnlyAndNoSaveCutsTheFile) {
  const QString Sub = Folder.filePath(QString::fromUtf8("Pr\u00fcfung"));
  ASSERT_TRUE(QDir().mkpath(Sub));
  const QByteArray Bytes =
      QByteArray("select 1 from dual;\r\n") + QByteArray(1, '\0') + QByteArray(44, 'x');
  ASSERT_EQ(Bytes.size(), 66);
  WriteBytes(Sub + "/nul.sql", Bytes);
  const std::string Name = FileNameFromQString(Sub + "/nul.sql");
  TEditForm *Form = TEditForm::CreateForFile(*Main, Name, false);
  EXPECT_EQ(Lines(*Form), TLines{"select 1 from dual;"});
  EXPECT_TRUE(Form->ShownUpToNul());
  EXPECT_TRUE(Form->Editor->ReadOnly());
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(Name + " holds a NUL byte"), std::string::npos) << Errors[0];

  // Save from the menu and from the speed bar: refused and said.
  Form->FileSaveItem->trigger();
  Main->SaveButton->click();
  ASSERT_EQ(Errors.size(), 3u);
  EXPECT_EQ(Errors[1].rfind("Cannot save file " + Name, 0), 0u) << Errors[1];
  EXPECT_EQ(FileBytes(Sub + "/nul.sql"), Bytes);
  // Save As onto a hard link of the same file: refused too.
  ASSERT_EQ(::link(Name.c_str(), (Name + ".link").c_str()), 0);
  AnswerFileDialog(Sub + "/nul.sql.link");
  AnswerBox(QMessageBox::Yes, nullptr); // the overwrite question
  Form->FileSaveAsItem->trigger();
  EXPECT_EQ(Errors.size(), 4u);
  EXPECT_EQ(FileBytes(Sub + "/nul.sql"), Bytes);
  EXPECT_EQ(Form->FileName(), Name);

  // Under another name: written, and the window is that file's, editable.
  AnswerFileDialog(Sub + "/copy.sql");
  Form->FileSaveAsItem->trigger();
  EXPECT_EQ(Errors.size(), 4u);
  EXPECT_EQ(FileBytes(Sub + "/copy.sql"), "select 1 from dual;\r\n");
  EXPECT_EQ(Form->FileName(), FileNameFromQString(Sub + "/copy.sql"));
  EXPECT_FALSE(Form->ShownUpToNul());
  EXPECT_FALSE(Form->Editor->ReadOnly());
  Form->FileSaveItemClick();
  EXPECT_EQ(FileBytes(Sub + "/nul.sql"), Bytes);
}

TEST_F(EditForm, ClosePromptAnswersAndSaveAs) {
  std::vector<std::string> Questions;
  // Unchanged: no question.
  TEditForm *Form = New();
  EXPECT_TRUE(CloseWindow(Form));

  // Cancel keeps the window; No closes it unsaved.
  Form = New();
  Form->Editor->KeyPress('a');
  AnswerBox(QMessageBox::Cancel, &Questions);
  EXPECT_FALSE(CloseWindow(Form));
  EXPECT_EQ(Questions, (std::vector<std::string>{"Save changes to Untitled?"}));
  AnswerBox(QMessageBox::No, &Questions);
  EXPECT_TRUE(CloseWindow(Form));

  // Yes on a never-saved window is Save As; cancelling its dialog keeps the window.
  Form = New();
  Form->Editor->KeyPress('b');
  AnswerBox(QMessageBox::Yes, nullptr);
  AnswerModal([](QWidget *ADialog) { static_cast<QDialog *>(ADialog)->reject(); });
  EXPECT_FALSE(CloseWindow(Form));
  // Yes and a new name saves under it (the default extension added) and closes.
  AnswerBox(QMessageBox::Yes, nullptr);
  AnswerFileDialog(Folder.filePath("new"));
  EXPECT_TRUE(CloseWindow(Form));
  EXPECT_EQ(FileBytes(Folder.filePath("new.sql")), "b\r\n");

  // Saving over an existing file asks; declining during the close prompt keeps the window
  // and its changes instead of closing unsaved.
  Questions.clear();
  WriteBytes(Folder.filePath("other.sql"), "precious\r\n");
  Form = New();
  Form->Editor->KeyPress('c');
  AnswerBox(QMessageBox::Yes, nullptr);
  AnswerFileDialog(Folder.filePath("other.sql"));
  AnswerModal([&](QWidget *AModal) {
    auto *Box = qobject_cast<QMessageBox *>(AModal);
    Questions.push_back(Box->text().toStdString());
    // The overwrite question comes after the file dialog has closed.
    Box->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(CloseWindow(Form));
  ASSERT_EQ(Questions.size(), 1u);
  EXPECT_EQ(Questions[0], "Ok to overwrite " + Path("other.sql"));
  EXPECT_EQ(FileBytes(Folder.filePath("other.sql")), "precious\r\n");
  EXPECT_TRUE(Form->Editor->Modified());

  // Save As from the menu: declining the overwrite ends the command quietly; Yes writes.
  AnswerFileDialog(Folder.filePath("other.sql"));
  AnswerBox(QMessageBox::No, nullptr);
  Form->FileSaveAsItem->trigger();
  EXPECT_EQ(Form->FileName(), "Untitled");
  AnswerFileDialog(Folder.filePath("other.sql"));
  AnswerBox(QMessageBox::Yes, nullptr);
  Form->FileSaveAsItem->trigger();
  EXPECT_EQ(Form->FileName(), Path("other.sql"));
  EXPECT_EQ(Form->windowTitle(), "other.sql");
  EXPECT_EQ(FileBytes(Folder.filePath("other.sql")), "c\r\n");
  EXPECT_FALSE(Form->Editor->Modified());
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Answers().empty());
}

TEST_F(EditForm, FindTakesTheWordBeforeTheCaretAndSearchAgainFollowsTheLastDialog) {
  TEditForm *Form = Open("find.sql", "select *from emp;\r\nSELECT ename FROM emp\r\n");
  // Caret at the very start: the first word.
  Form->SearchFindItemClick();
  EXPECT_EQ(Form->FindDialog->FindText(), "select");
  EXPECT_EQ(Form->SearchDialog, Form->FindDialog);
  EXPECT_TRUE(Form->FindDialog->isVisible());
  // Right after the asterisk: the text stays.
  Form->Editor->SetSelStart(8);
  Form->SearchFindItemClick();
  EXPECT_EQ(Form->FindDialog->FindText(), "select");
  // Inside a word on the second line (offsets count CR LF as two).
  Form->Editor->SetSelStart(19 + 9);
  Form->SearchFindItemClick();
  EXPECT_EQ(Form->FindDialog->FindText(), "ename");

  // Search Again: case-insensitive unless the box is ticked; nothing found changes nothing.
  Form->FindDialog->SetFindText("emp");
  Form->Editor->SetSelStart(0);
  Form->SearchSearchAgainItemClick();
  EXPECT_EQ(Form->Editor->SelStart(), 13);
  EXPECT_EQ(Form->Editor->SelLength(), 3);
  Form->SearchSearchAgainItemClick();
  EXPECT_EQ(Form->Editor->SelStart(), 19 + 18);
  Form->SearchSearchAgainItemClick();
  EXPECT_EQ(Form->Editor->SelStart(), 19 + 18);
  EXPECT_EQ(Form->Editor->SelLength(), 3);
  Form->FindDialog->SetFindText("FROM");
  Form->FindDialog->MatchCaseBox->setChecked(true);
  Form->Editor->SetSelStart(0);
  Form->FindDialog->FindNextButton->click(); // the dialog's own Find Next
  EXPECT_EQ(Form->Editor->SelStart(), 19 + 13);

  // The Replace dialog becomes the one Search Again uses.
  Form->Editor->SetSelStart(0);
  Form->SearchReplaceItemClick();
  EXPECT_EQ(Form->SearchDialog, Form->ReplaceDialog);
  EXPECT_EQ(Form->ReplaceDialog->FindText(), "select");
  Form->ReplaceDialog->SetFindText("emp");
  Form->ReplaceDialog->SetReplaceText("dept");
  Form->SearchSearchAgainItemClick();
  EXPECT_EQ(Form->Editor->SelStart(), 13);
  Form->ReplaceDialog->ReplaceButton->click(); // replaces the match, selects the next
  EXPECT_EQ(Lines(*Form), (TLines{"select *from dept;", "SELECT ename FROM emp"}));
  EXPECT_EQ(Form->Editor->SelStart(), 20 + 18);
  EXPECT_EQ(Form->Editor->SelLength(), 3);
  Form->Editor->SetSelStart(0);
  Form->SearchSearchAgainItemClick(); // still the replace dialog's text
  EXPECT_EQ(Form->Editor->SelStart(), 20 + 18);

  // A blank editor: the first character is a line break, the find text stays.
  TEditForm *Blank = New();
  Blank->FindDialog->SetFindText("kept");
  Blank->SearchFindItemClick();
  EXPECT_EQ(Blank->FindDialog->FindText(), "kept");
}

TEST_F(EditForm, ReplaceAllReplacesEveryOccurrenceFromTheSelectionOn) {
  TEditForm *Form = Open("all.sql", "xx x\r\nax\r\n");
  Form->SearchReplaceItemClick();
  Form->ReplaceDialog->SetFindText("x");
  Form->ReplaceDialog->SetReplaceText("yx");
  Form->ReplaceDialog->ReplaceAllButton->click(); // nothing selected: searches first
  Form->ReplaceDialog->ReplaceAllButton->click();
  EXPECT_EQ(Lines(*Form), (TLines{"yxyx yx", "ayx"}));

  // Read-only: nothing changes and the loop ends.
  TEditForm *Locked = Open("locked.sql", "aaaa\r\n");
  Locked->Editor->SetReadOnly(true);
  Locked->SearchReplaceItemClick();
  Locked->ReplaceDialog->SetFindText("a");
  Locked->ReplaceDialog->SetReplaceText("b");
  Locked->ReplaceDialog->ReplaceAllButton->click();
  Locked->ReplaceDialog->ReplaceAllButton->click();
  EXPECT_EQ(Lines(*Locked), TLines{"aaaa"});
}

TEST_F(EditForm, UndoRedoFromMenuAndButtonAndReplaceAllUndoesInOneStep) {
  const QByteArray Original = "select x from t;\r\n  x := x + 1;\r\n";
  TEditForm *Form = Open("undo.sql", Original);
  QApplication::processEvents();
  Form->UpdateUndoItems();
  EXPECT_FALSE(Form->EditUndoItem->isEnabled()); // a file just loaded has nothing to undo
  EXPECT_FALSE(Form->EditRedoItem->isEnabled());
  Form->SearchReplaceItemClick();
  Form->ReplaceDialog->SetFindText("x");
  Form->ReplaceDialog->SetReplaceText("yy");
  Form->ReplaceDialog->ReplaceAllButton->click();
  EXPECT_EQ(Lines(*Form), (TLines{"select yy from t;", "  yy := yy + 1;"}));
  QApplication::processEvents();
  EXPECT_TRUE(Form->EditUndoItem->isEnabled());
  EXPECT_EQ(Main->StatusText(), "   2:11   Modified   Insert");
  Main->UndoButton->click(); // the main window's button: the whole Replace All at once
  EXPECT_EQ(Lines(*Form), (TLines{"select x from t;", "  x := x + 1;"}));
  QApplication::processEvents();
  EXPECT_EQ(Main->StatusText(), "   1:1   Original   Insert");
  EXPECT_FALSE(Form->EditUndoItem->isEnabled());
  EXPECT_TRUE(Form->EditRedoItem->isEnabled());
  Form->EditRedoItem->trigger();
  EXPECT_TRUE(Form->Editor->Modified());
  Form->FileSaveItemClick();
  Form->EditUndoItemClick();
  EXPECT_TRUE(Form->Editor->Modified());
  Form->EditRedoItemClick();
  EXPECT_FALSE(Form->Editor->Modified()); // back at the saved text
  // Loading a file forgets the history.
  Form->OpenFile(Path("undo.sql"), false);
  EXPECT_FALSE(Form->Editor->Model().CanUndo());

  // Replace: the selection and the search for the next match are one step.
  Form->ReplaceDialog->SetFindText("yy");
  Form->ReplaceDialog->SetReplaceText("x");
  Form->Editor->SetSelStart(7);
  Form->Editor->SetSelLength(2);
  Form->ReplaceDialog->ReplaceButton->click();
  EXPECT_EQ(Form->Editor->Lines()[0], "select x from t;");
  EXPECT_EQ(Form->Editor->SelLength(), 2); // the next match
  Form->EditUndoItemClick();
  EXPECT_EQ(Form->Editor->Lines()[0], "select yy from t;");
  EXPECT_EQ(Form->Editor->SelStart(), 7);
  EXPECT_EQ(Form->Editor->SelLength(), 2);
}

TEST_F(EditForm, ReplaceDialogTabsFromTheSearchTextToTheReplacement) {
  TEditForm *Form = New();
  TReplaceDialog *Dialog = Form->ReplaceDialog;
  std::vector<QWidget *> Order;
  QWidget *W = Dialog->FindEdit;
  do {
    if (W->focusPolicy() & Qt::TabFocus)
      Order.push_back(W);
    W = W->nextInFocusChain();
  } while (W != Dialog->FindEdit);
  EXPECT_EQ(Order,
            (std::vector<QWidget *>{Dialog->FindEdit, Dialog->ReplaceEdit, Dialog->MatchCaseBox,
                                    Dialog->FindNextButton, Dialog->ReplaceButton,
                                    Dialog->ReplaceAllButton, Dialog->CancelButton}));
}

TEST_F(EditForm, DesktopBringsBackTwoEditorWindows) {
  Main->CFG->SetSaveDesktopPosition(true);
  Main->CFG->SetSaveDesktopState(true);
  TEditForm *A = Open("a.sql", "alpha\r\n");
  TEditForm *B = Open("b.sql", "beta\r\n");
  B->Editor->SetReadOnly(true);
  TEditForm *U = New(); // an untitled window is recorded too and comes back empty
  (void)U;
  Main->MdiArea->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(A->parentWidget()));
  A->parentWidget()->resize(300, 200);
  QApplication::processEvents();
  Main->close();
  EXPECT_TRUE(Errors.empty());

  StartMain();
  std::vector<std::pair<std::string, bool>> Restored;
  for (QMdiSubWindow *Window : Main->MdiArea->subWindowList(QMdiArea::StackingOrder)) {
    auto *Form = dynamic_cast<TEditForm *>(Window->widget());
    ASSERT_NE(Form, nullptr);
    Restored.emplace_back(Form->FileName(), Form->Editor->ReadOnly());
  }
  EXPECT_EQ(Restored, (std::vector<std::pair<std::string, bool>>{
                          {Path("b.sql"), true}, {"Untitled", false}, {Path("a.sql"), false}}));
  auto *Active = dynamic_cast<TEditForm *>(Main->ActiveChild());
  ASSERT_NE(Active, nullptr);
  EXPECT_EQ(Active->FileName(), Path("a.sql"));
  EXPECT_EQ(Lines(*Active), TLines{"alpha"});
  EXPECT_EQ(Active->parentWidget()->size(), QSize(300, 200));
  EXPECT_TRUE(Errors.empty());

  // A script deleted since is reported; the other windows still come back.
  Main->close();
  QFile::remove(Folder.filePath("b.sql"));
  StartMain();
  EXPECT_EQ(ChildCount(), 2);
  EXPECT_EQ(Errors.size(), 1u);
}

// A desktop of more windows than the frame brings back: the first ones come back, the status
// line says so, and the last one made is the active child with its menus merged.
TEST_F(EditForm, DesktopOfTooManyWindowsRestoresTheFirstAndSaysSo) {
  Main->CFG->SetSaveDesktopPosition(true);
  Main->CFG->SetSaveDesktopState(true);
  Main->close();
  const std::string Last = Path("last.sql");
  SaveDesktop(Main->DesktopFile(), *Main->CFG, {0, 0, 800, 600}, [&](TValueWriter &AWriter) {
    for (int I = 0; I <= MaximumDesktopChildren; ++I) {
      TWindowPlacement P;
      P.Left = P.Top = I % 10 * 10;
      P.Right = P.Left + 300;
      P.Bottom = P.Top + 200;
      const auto Bytes = P.ToBytes();
      AWriter.WriteString("TEditForm");
      AWriter.Write(Bytes.data(), Bytes.size());
      AWriter.WriteString(I == MaximumDesktopChildren - 1 ? Last : "Untitled");
      AWriter.WriteBoolean(false);
    }
  });
  WriteBytes(Folder.filePath("last.sql"), "last\r\n");
  StartMain();
  EXPECT_EQ(ChildCount(), MaximumDesktopChildren);
  EXPECT_EQ(Main->StatusText(),
            "Desktop: only the first 200 windows were restored; the desktop file holds more.");
  auto *Active = dynamic_cast<TEditForm *>(Main->ActiveChild());
  ASSERT_NE(Active, nullptr);
  EXPECT_EQ(Active->FileName(), Last);
  EXPECT_EQ(Main->menuBar()->actions()[0]->menu(), Active->FileMenu);
  EXPECT_TRUE(Main->SaveButton->isEnabled());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(EditForm, ShutDownAsksEachChangedEditorAndCancelKeepsEverything) {
  Main->CFG->SetSaveDesktopPosition(true);
  Main->CFG->SetSaveDesktopState(true);
  TEditForm *A = Open("a.sql", "alpha\r\n");
  A->Editor->KeyPress('1');
  std::vector<std::string> Questions;
  AnswerBox(QMessageBox::Cancel, &Questions);
  Main->close();
  EXPECT_TRUE(Main->isVisible());
  EXPECT_EQ(Questions, (std::vector<std::string>{"Save changes to " + Path("a.sql") + "?"}));
  EXPECT_FALSE(QFile::exists(Folder.filePath("tessaly.ds")));
  // Yes saves, and the window is asked once only.
  AnswerBox(QMessageBox::Yes, &Questions);
  Main->close();
  EXPECT_FALSE(Main->isVisible());
  EXPECT_EQ(Questions.size(), 2u);
  EXPECT_EQ(FileBytes(Folder.filePath("a.sql")), "1alpha\r\n");
  EXPECT_TRUE(QFile::exists(Folder.filePath("tessaly.ds")));
}

// A child window of another kind, as the terminal or the procedure window are.
class TOtherForm : public TForm {
public:
  const char *FormClassName() const override { return "TOtherForm"; }
};

TEST_F(EditForm, SwitchingWindowsMovesFocusStatusAndTheSaveQuestion) {
  Main->activateWindow();
  QApplication::setActiveWindow(Main.get());
  TEditForm *A = New();
  TEditForm *B = New();
  A->Editor->KeyPress('a');
  B->Editor->KeyPress('b');
  B->Editor->KeyPress('b');
  qobject_cast<QMdiSubWindow *>(B->parentWidget())->showMaximized();
  // Ctrl+Tab among maximised windows: the keys always reach the active window's editor.
  for (int I = 0; I < 5; ++I) {
    Main->MdiArea->activateNextSubWindow();
    QApplication::processEvents();
    auto *Active = dynamic_cast<TEditForm *>(Main->ActiveChild());
    ASSERT_NE(Active, nullptr);
    EXPECT_EQ(QApplication::focusWidget(), Active->Editor) << I;
    EXPECT_EQ(Main->StatusText(), Active->StatusLine()) << I;
  }
  // A window of another kind clears the editor's status line.
  auto *Other = new TOtherForm;
  Main->AddChild(Other);
  QApplication::processEvents();
  EXPECT_EQ(Main->ActiveChild(), Other);
  EXPECT_EQ(Main->StatusText(), "");

  // At shut-down each changed window comes to the front before it is asked about.
  std::vector<TForm *> Asked;
  for (int I = 0; I < 2; ++I)
    AnswerModal([&](QWidget *AModal) {
      Asked.push_back(Main->ActiveChild());
      qobject_cast<QMessageBox *>(AModal)->button(QMessageBox::No)->click();
    });
  Main->close();
  std::sort(Asked.begin(), Asked.end());
  std::vector<TForm *> Expected{A, B};
  std::sort(Expected.begin(), Expected.end());
  EXPECT_EQ(Asked, Expected); // each asked about while in front, in stacking order
}

TEST_F(EditForm, FileMenuCommandsOpenEditorWindows) {
  WriteBytes(Folder.filePath("open.sql"), "begin null; end;\r\n");
  AnswerFileDialog(Folder.filePath("open.sql"), true);
  Main->FileOpenItem->trigger();
  auto *Form = dynamic_cast<TEditForm *>(Main->ActiveChild());
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->FileName(), Path("open.sql"));
  EXPECT_TRUE(Form->Editor->ReadOnly());
  // The child's own File menu reaches the frame's commands; the speed bar reaches the editor.
  Form->FileNewItem->trigger();
  EXPECT_EQ(ChildCount(), 2);
  auto *Fresh = dynamic_cast<TEditForm *>(Main->ActiveChild());
  ASSERT_NE(Fresh, nullptr);
  Fresh->Editor->KeyPress('q');
  Fresh->Editor->SelectAll();
  Main->CutButton->click();
  EXPECT_EQ(Lines(*Fresh), TLines{""});
  Main->PasteButton->click();
  EXPECT_EQ(Lines(*Fresh), TLines{"q"});
  Main->FindButton->click();
  EXPECT_TRUE(Fresh->FindDialog->isVisible());
  // The colouring reaches the lines as they are painted.
  TFormatList *Formats = Form->Editor->Lines().Objects(0);
  Form->Editor->FormatLine(0);
  Formats = Form->Editor->Lines().Objects(0);
  ASSERT_NE(Formats, nullptr);
  ASSERT_EQ(Formats->size(), 3u);
  EXPECT_EQ((*Formats)[0].StyleIndex, 1);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(EditForm, ScriptProcessingReachesTheWindows) {
  TScriptWindows *Windows = ScriptWindows();
  ASSERT_NE(Windows, nullptr);
  TEditForm *A = Open("a.sql", "select 1\r\nfrom dual\r\n");
  A->Editor->KeyPress('x');
  EXPECT_EQ(Windows->EditForms(), std::vector<TEditForm *>{A});
  EXPECT_EQ(Windows->EditFormFileName(A), Path("a.sql"));
  EXPECT_EQ(Windows->EditFormText(A), "xselect 1\r\nfrom dual\r\n");
  EXPECT_EQ(Windows->ErrorListHeight(A), 0);
  Windows->MoveSplitter(A, Windows->EditFormHeight(A) / 3 * 2);
  EXPECT_GT(Windows->ErrorListHeight(A), 0);
  Windows->AppendError(A, "TSY-00003: could not open script file", 5);
  ASSERT_EQ(A->ErrorBox->count(), 1);
  EXPECT_EQ(A->ErrorBox->currentRow(), 0);
  EXPECT_EQ(A->ErrorBox->item(0)->data(Qt::UserRole).toInt(), 5);

  WriteBytes(Folder.filePath("b.sql"), "b\r\n");
  TEditForm *B = Windows->CreateEditForm(Path("b.sql"));
  EXPECT_EQ(Lines(*B), TLines{"b"});
  Windows->ShowEditForm(A);
  EXPECT_EQ(Main->ActiveChild(), A);
  // A file that cannot be read still gets its window for the error, empty, under its name.
  TEditForm *C = Windows->CreateEditForm(Path("none.sql"));
  EXPECT_EQ(C->FileName(), Path("none.sql"));
  EXPECT_EQ(Lines(*C), TLines{""});
  EXPECT_EQ(Errors.size(), 1u);
  Main.reset();
  EXPECT_EQ(ScriptWindows(), nullptr);
}

} // namespace
