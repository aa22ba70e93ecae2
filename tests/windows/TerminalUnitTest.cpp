// The terminal window offscreen against the local server: queries into the grid, other
// statements' success, the history, the column arrangements, the clipboard keys, the desktop
// record and the main window's command that opens it.
#include "windows/TerminalUnit.h"

#include "app/LoginUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "controls/PTEdit.h"
#include "db/OciApiQuery.h"
#include "tests/QtTestEnvironment.h"

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <numeric>

namespace {

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<TApplication>("TerminalUnitTest"));

using TStrings = std::vector<std::string>;

TEST(TerminalLogic, StatementKindsByFunctionCode) {
  EXPECT_STREQ(StatementKindName(1), "CREATE TABLE");
  EXPECT_STREQ(StatementKindName(3), "INSERT");
  EXPECT_STREQ(StatementKindName(4), "SELECT");
  EXPECT_STREQ(StatementKindName(34), "PL/SQL EXECUTE");
  EXPECT_STREQ(StatementKindName(54), "COMMIT");
  EXPECT_STREQ(StatementKindName(68), "DROP PROCEDURE");
  EXPECT_STREQ(StatementKindName(70), "ALTER RESOURCE COST");
  EXPECT_STREQ(StatementKindName(76), "DROP SNAPSHOT");
  int Named = 0;
  for (int Code = 1; Code <= 76; ++Code)
    Named += *StatementKindName(Code) != 0;
  EXPECT_EQ(Named, 73); // 15, 36 and 69 have no name
  for (int Code : {15, 36, 69, 0, -1, 77, 85, 65535})
    EXPECT_STREQ(StatementKindName(Code), "") << Code;
}

TEST(TerminalLogic, HistoryKeepsTheOldestAndDropsTheSecondOldest) {
  TStrings History;
  EXPECT_TRUE(AddToHistory(History, "a", 8));
  EXPECT_FALSE(AddToHistory(History, "a", 8));
  EXPECT_TRUE(AddToHistory(History, "A", 8)); // entries are compared exactly
  for (const char *Text : {"b", "c", "d", "e", "f", "g"})
    AddToHistory(History, Text, 8);
  EXPECT_EQ(History, (TStrings{"a", "A", "b", "c", "d", "e", "f", "g"}));
  EXPECT_TRUE(AddToHistory(History, "h", 8));
  EXPECT_EQ(History, (TStrings{"a", "b", "c", "d", "e", "f", "g", "h"}));
  EXPECT_FALSE(AddToHistory(History, "c", 8));
  EXPECT_EQ(History.size(), 8u);
  // A drop-down of one entry keeps replacing nothing but never loses the oldest either.
  TStrings One{"x"};
  EXPECT_TRUE(AddToHistory(One, "y", 1));
  EXPECT_EQ(One, (TStrings{"x", "y"}));
}

TEST(TerminalLogic, FitWidthsScaleWithGridLinesAndRoundHalfToEven) {
  // total = 1 + (1+1) + (3+1) + (2+1) = 10, factor 2.5: 2.5 -> 2, 7.5 -> 8, 5 -> 5.
  EXPECT_EQ(FitWidths({1, 3, 2}, 25), (std::vector<int>{2, 8, 5}));
  EXPECT_EQ(FitWidths({90}, 92), (std::vector<int>{90}));
  EXPECT_EQ(FitWidths({}, 400), (std::vector<int>{}));
  EXPECT_EQ(FitWidths({0, 0}, 300), (std::vector<int>{0, 0}));
  const std::vector<int> Widths = FitWidths({40, 120, 75, 8}, 500);
  const int Sum = std::accumulate(Widths.begin(), Widths.end(), 0);
  EXPECT_LE(Sum, 500);
  EXPECT_GE(Sum, 500 - 5 * 500 / 248 - 2);
}

TEST(TerminalGrid, NothingIsEditableAndCutOffCellsHint) {
  TResultGridView Grid;
  TResultGridModel Model;
  Model.SetTable({"A", "B"}, {{"1", "22"}, {"x"}}, 2);
  Grid.setModel(&Model);
  EXPECT_EQ(Model.rowCount(), 2);
  EXPECT_EQ(Model.columnCount(), 2);
  EXPECT_EQ(Model.Cell(1, 1), ""); // short columns are filled with empty cells
  EXPECT_FALSE(Model.flags(Model.index(0, 0)) & Qt::ItemIsEditable);
  EXPECT_EQ(Grid.editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(Model.setData(Model.index(0, 0), "changed"));
  EXPECT_EQ(Model.headerData(1, Qt::Horizontal).toString(), "B");

  const QString Long = "a rather long text | with a bar";
  const int Needed = Grid.fontMetrics().horizontalAdvance(" " + Long + " ");
  EXPECT_EQ(Grid.CellHint(Long, Needed - 1), Long);
  EXPECT_EQ(Grid.CellHint(Long, Needed), "");
  EXPECT_EQ(Grid.CellHint("", 0), "");
}

TEST(TerminalGrid, ClipboardKeysCopyTheSelectionWithItsHeader) {
  TResultGrid Panel;
  TResultGridView &Grid = *Panel.Grid;
  TResultGridModel &Model = *Panel.Model;
  Model.SetTable({"A", "B"}, {{"1", "2"}, {"three", "four"}}, 2);
  Panel.show();
  QClipboard *Clipboard = QGuiApplication::clipboard();
  struct TKey {
    int Key;
    Qt::KeyboardModifiers Modifiers;
  };
  const TKey Keys[] = {{Qt::Key_C, Qt::ControlModifier},
                       {Qt::Key_Insert, Qt::ControlModifier},
                       {Qt::Key_X, Qt::ControlModifier},
                       {Qt::Key_Delete, Qt::ShiftModifier}};
  for (const TKey &K : Keys) {
    Clipboard->setText("before");
    Grid.setCurrentIndex(Model.index(1, 1));
    QTest::keyClick(&Grid, Qt::Key(K.Key), K.Modifiers);
    EXPECT_EQ(Clipboard->text(), "B\nfour\n") << K.Key;
    EXPECT_EQ(Model.Cell(1, 1), "four"); // a cut copies only
  }
  // Rows, all, and the whole result; the frame's shortcuts do not take the grid's keys.
  Grid.clearSelection();
  Grid.setCurrentIndex(Model.index(0, 1));
  QTest::keyClick(&Grid, Qt::Key_Space, Qt::ShiftModifier);
  QTest::keyClick(&Grid, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Clipboard->text(), "A\tB\n1\tthree\n");
  QKeyEvent Override(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier);
  QCoreApplication::sendEvent(&Grid, &Override);
  EXPECT_TRUE(Override.isAccepted());
  QTest::keyClick(&Grid, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(&Grid, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(Clipboard->text(), "A\tB\n1\tthree\n2\tfour\n");
  Grid.clearSelection();
  QTest::keyClick(&Grid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Clipboard->text(), "A\tB\n1\tthree\n2\tfour\n");
  // Another modifier with the key copies nothing.
  Clipboard->setText("before");
  QTest::keyClick(&Grid, Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
  QTest::keyClick(&Grid, Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Clipboard->text(), "before");
}

// The main window logged on to a fresh local server as SCOTT.
class TerminalWindow : public ::testing::Test {
protected:
  static inline QTemporaryDir *Data = nullptr;
  QTemporaryDir Program;
  std::unique_ptr<TMainForm> Main;
  TTerminalForm *Form = nullptr;
  std::vector<std::string> Errors;

  static void SetUpTestSuite() {
    Data = new QTemporaryDir;
    setenv("TESSALY_DATA", Data->path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 0); // unless another build is chosen
  }
  static void TearDownTestSuite() {
    delete Data;
    Data = nullptr;
  }

  void SetUp() override {
    SetProgramPath(Program.filePath("tessaly").toStdString());
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) {
      Errors.push_back(AMessage);
    };
    Main = std::make_unique<TMainForm>();
    Main->AskTransaction = [] { return TMainForm::TTransactionAnswer::Rollback; };
    Main->show();
    QTimer::singleShot(0, [] {
      LoginForm->UserName->setText("SCOTT");
      LoginForm->Password->setText("TIGER");
      LoginForm->Host->clear();
      LoginForm->OkButton->click();
    });
    Main->Database->SetConnected(true);
    ASSERT_TRUE(Main->Database->Connected());
    Main->WindowNewTerminalWindowItem->trigger();
    Form = dynamic_cast<TTerminalForm *>(Main->ActiveChild());
    ASSERT_NE(Form, nullptr);
  }
  void TearDown() override {
    Main->MdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Main->DatabaseDisconnectItemClick();
    Main.reset();
  }

  void Go(const std::string &AStatement) {
    Form->SetCommandText(AStatement);
    Form->GoButton->click();
    Form->WaitForStatement();
  }
  TStrings Header() const {
    TStrings Result;
    for (int i = 0; i < Form->GridModel->ColumnCount(); ++i)
      Result.push_back(Form->GridModel->Header(i));
    return Result;
  }
  TStrings Column(int AColumn) const {
    TStrings Result;
    for (int j = 0; j < Form->GridModel->DataRowCount(); ++j)
      Result.push_back(Form->GridModel->Cell(AColumn, j));
    return Result;
  }
  int GridWidth() const { return Form->StringGrid->viewport()->width(); }
};

// The bytes 0x80-0x9F are the Windows code page's characters in every window, as in the
// editor: typed, shown in the grid and in the history alike.
TEST_F(TerminalWindow, CodePageCharactersRoundTrip) {
  Form->CommandEditor->setFocus();
  for (const QChar Char : QString::fromUtf8("SELECT '\u20ac\u2013' x FROM dual")) {
    QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(Char));
    QCoreApplication::sendEvent(Form->CommandEditor, &Press);
  }
  EXPECT_EQ(Form->CommandText(), "SELECT '\x80\x96' x FROM dual");
  Form->GoButton->click();
  Form->WaitForStatement();
  EXPECT_EQ(Column(0), TStrings{"\x80\x96"});
  const QModelIndex Index = Form->GridModel->index(0, 0);
  EXPECT_EQ(Form->GridModel->data(Index).toString(), QString::fromUtf8("\u20ac\u2013"));
  EXPECT_EQ(Form->CommandBox->itemText(0), QString::fromUtf8("SELECT '\u20ac\u2013' x FROM dual"));
}

// Numbers stand right-aligned; a NULL shows greyed as "(null)", never like an empty string.
TEST_F(TerminalWindow, NumbersRightAlignedAndNullsShownAsSuch) {
  Go("SELECT ename, comm, 'x' lit FROM emp WHERE empno IN (7499, 7839) ORDER BY empno");
  ASSERT_EQ(Column(1), (TStrings{"300", ""}));
  TResultGridModel &Model = *Form->GridModel;
  const auto Data = [&](int ARow, int AColumn, int ARole) {
    return Model.data(Model.index(ARow, AColumn), ARole);
  };
  EXPECT_EQ(Data(1, 1, Qt::DisplayRole).toString(), "(null)");
  EXPECT_EQ(Data(0, 1, Qt::DisplayRole).toString(), "300");
  EXPECT_TRUE(Data(1, 1, Qt::ForegroundRole).isValid());
  EXPECT_FALSE(Data(0, 1, Qt::ForegroundRole).isValid());
  EXPECT_EQ(Data(0, 1, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
  EXPECT_FALSE(Data(0, 0, Qt::TextAlignmentRole).isValid());
  EXPECT_FALSE(Data(0, 2, Qt::TextAlignmentRole).isValid());
}

TEST_F(TerminalWindow, OpensFromTheWindowMenuWithItsOwnMenu) {
  EXPECT_EQ(Form->windowTitle(), "Terminal");
  EXPECT_EQ(Form->GoButton->text(), "Go !");
  EXPECT_TRUE(Form->GoButton->isDefault());
  EXPECT_EQ(Form->GoButton->width(), 73);
  EXPECT_EQ(Form->GridModel->ColumnCount(), 1);
  EXPECT_EQ(Form->GridModel->DataRowCount(), 1);
  EXPECT_EQ(Form->StringGrid->columnWidth(0), 64);
  ASSERT_EQ(Form->MenuGroups().size(), 1u);
  EXPECT_EQ(Form->MenuGroups()[0].Group, 8);
  EXPECT_EQ(Form->TerminalMenu->title(), "&Terminal");
  EXPECT_EQ(Form->TerminalDefaultArrangementItem->text(), "Default &Arrangement");
  EXPECT_EQ(Form->TerminalDefaultArrangementItem->shortcut(), QKeySequence("Ctrl+A"));
  EXPECT_EQ(Form->TerminalDefaultArrangementItem->statusTip(), "Default columns widths");
  EXPECT_EQ(Form->TerminalFitToTextItem->text(), "Fit to &Text");
  EXPECT_EQ(Form->TerminalFitToTextItem->shortcut(), QKeySequence("Ctrl+T"));
  EXPECT_EQ(Form->TerminalFitToTextItem->statusTip(), "Fit columns width to text");
  EXPECT_EQ(Form->TerminalFitToWindowItem->text(), "Fit to &Window");
  EXPECT_EQ(Form->TerminalFitToWindowItem->shortcut(), QKeySequence("Ctrl+W"));
  EXPECT_EQ(Form->TerminalFitToWindowItem->statusTip(), "Fit grid width to window");
  // Merged into the frame's menu bar between Window (7) and Help (100).
  QStringList Titles;
  for (QAction *Action : Main->menuBar()->actions())
    Titles << Action->menu()->title();
  EXPECT_EQ(Titles.indexOf("&Terminal"), Titles.indexOf("&Window") + 1);
  EXPECT_EQ(Titles.last(), "&Help");

  // Ctrl+W belongs to Fit to Window alone, not also to closing the child window.
  auto *Window = qobject_cast<QMdiSubWindow *>(Form->parentWidget());
  ASSERT_NE(Window, nullptr);
  for (QAction *Action : Window->systemMenu()->actions())
    EXPECT_FALSE(Action->shortcuts().contains(QKeySequence("Ctrl+W")))
        << Action->text().toStdString();

  Main->WindowNewTerminalWindowItem->trigger();
  EXPECT_EQ(Main->MdiArea->subWindowList().size(), 2); // any number can be open
  EXPECT_TRUE(Errors.empty());
}

TEST_F(TerminalWindow, QueryShowsFieldNamesAndRowsUpToTheLimit) {
  Go("SELECT * FROM emp WHERE 1 = 0");
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  EXPECT_EQ(Header(),
            (TStrings{"EMPNO", "ENAME", "JOB", "MGR", "HIREDATE", "SAL", "COMM", "DEPTNO"}));
  EXPECT_EQ(Form->GridModel->DataRowCount(), 1);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(Form->GridModel->Cell(i, 0), "");

  Main->CFG->SetTerminalBufferLimit(5);
  Go("SELECT empno, ename FROM emp ORDER BY empno");
  Form->StringGrid->setColumnWidth(0, 33);
  Go("SELECT empno, ename FROM emp ORDER BY empno");
  EXPECT_EQ(Header(), (TStrings{"EMPNO", "ENAME"}));
  EXPECT_EQ(Column(0), (TStrings{"7369", "7499", "7521", "7566", "7654"}));
  EXPECT_EQ(Column(1), (TStrings{"SMITH", "ALLEN", "WARD", "JONES", "MARTIN"}));
  EXPECT_EQ(Form->StringGrid->columnWidth(0), 33); // run again, a query keeps the user's widths
  // The limit is the batch: the cursor stays open, and the end of the rows fetches the next.
  EXPECT_EQ(Form->Query->State(), TDataSetState::Fetching);
  EXPECT_EQ(Form->ResultGrid->StatusText().substr(0, 30), "5 rows fetched, more rows, 0.0");
  Form->StringGrid->setCurrentIndex(Form->GridModel->index(4, 0));
  QTest::keyClick(Form->StringGrid, Qt::Key_Down);
  EXPECT_EQ(Column(0).size(), 10u);
  EXPECT_EQ(Column(1)[9], "TURNER");
  Form->StringGrid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(Column(0).size(), 14u);
  EXPECT_EQ(Form->ResultGrid->StatusText().substr(0, 17), "14 rows fetched, ");
  EXPECT_FALSE(Form->ResultGrid->MoreRows());
  EXPECT_FALSE(Form->ResultGrid->FetchMore());

  // The same rows when the buffers hold one row or three at a time.
  for (std::size_t Bytes : {std::size_t(1), std::size_t(3 * (40 + 8 + 10 + 8))}) {
    Form->FetchBufferBytes = Bytes;
    Go("SELECT empno, ename FROM emp ORDER BY empno");
    EXPECT_EQ(Column(0), (TStrings{"7369", "7499", "7521", "7566", "7654"}));
    EXPECT_EQ(Column(1), (TStrings{"SMITH", "ALLEN", "WARD", "JONES", "MARTIN"}));
    EXPECT_TRUE(Form->ResultGrid->FetchMore());
    EXPECT_EQ(Column(0).size(), 10u);
  }
  // Another statement ends the rows on show: their cursor is the statement's now.
  Go("SELECT ename FROM emp WHERE empno = 7839");
  EXPECT_FALSE(Form->ResultGrid->MoreRows());
  Main->CFG->SetTerminalBufferLimit(100);
  Go("SELECT empno FROM emp ORDER BY empno");
  EXPECT_EQ(Form->GridModel->DataRowCount(), 14);
  EXPECT_EQ(Column(0).back(), "7934");
  Go("SELECT empno FROM emp WHERE 1 = 0");
  EXPECT_EQ(Column(0), TStrings{""});
  Form->FetchBufferBytes = 16u << 20;
  Go("SELECT COUNT(*) FROM emp");
  EXPECT_EQ(Column(0), TStrings{"14"});
  Main->CFG->SetTerminalBufferLimit(0); // a nonsense limit still shows one row
  Go("SELECT ename FROM emp WHERE empno = 7839");
  EXPECT_EQ(Column(0), TStrings{"KING"});
  EXPECT_TRUE(Errors.empty());
}

TEST_F(TerminalWindow, OtherStatementsShowTheirKindFittedToTheWindow) {
  Go("CREATE TABLE terminal_t (n NUMBER)");
  EXPECT_EQ(Header(), TStrings{"Result"});
  EXPECT_EQ(Column(0), TStrings{"CREATE TABLE Success"});
  Go("INSERT INTO terminal_t SELECT empno FROM emp WHERE deptno = 10");
  EXPECT_EQ(Column(0), TStrings{"INSERT Success, 3 rows"});
  Go("COMMIT");
  EXPECT_EQ(Header(), TStrings{"Result"});
  EXPECT_EQ(Column(0), TStrings{"COMMIT Success"});
  EXPECT_EQ(Form->GridModel->DataRowCount(), 1);
  const int Text = Form->TextWidths()[0];
  EXPECT_EQ(Text, Form->StringGrid->fontMetrics().horizontalAdvance(" COMMIT Success "));
  EXPECT_EQ(Form->ColumnWidths(), FitWidths({Text}, GridWidth()));
  EXPECT_LE(Form->StringGrid->columnWidth(0), GridWidth());
  EXPECT_FALSE(Form->StringGrid->horizontalScrollBar()->isVisible());

  // TRUNCATE has a function code beyond the named ones.
  Go("TRUNCATE TABLE terminal_t");
  EXPECT_EQ(Column(0), TStrings{" Success"});
  Go("DROP TABLE terminal_t");
  EXPECT_EQ(Column(0), TStrings{"DROP TABLE Success"});
  EXPECT_TRUE(Errors.empty());
}

// Sorting, the whole result on the clipboard and in a CSV file take every row, also those
// still waiting in the cursor.
TEST_F(TerminalWindow, SortCopyAllAndExportTheWholeResult) {
  Main->CFG->SetTerminalBufferLimit(4);
  Go("SELECT ename, comm, hiredate FROM emp WHERE deptno = 30 ORDER BY ename");
  ASSERT_TRUE(Errors.empty()) << Errors.front();
  const auto Click = [&](int AColumn) {
    QHeaderView *Header = Form->StringGrid->horizontalHeader();
    QTest::mouseClick(
        Header->viewport(), Qt::LeftButton, {},
        QPoint(Header->sectionViewportPosition(AColumn) + Header->sectionSize(AColumn) / 2, 3));
  };
  Click(1); // numbers as numbers, NULLs last
  EXPECT_EQ(Column(1), (TStrings{"300", "1400", "", ""}));
  Click(1);
  EXPECT_EQ(Column(1), (TStrings{"1400", "300", "", ""}));
  Form->ResultGrid->FetchAll();
  EXPECT_EQ(Column(1), (TStrings{"1400", "500", "300", "0", "", ""})); // still sorted
  Click(2);                                                            // dates as dates
  EXPECT_EQ(Column(2).front(), "20-FEB-81");
  EXPECT_EQ(Column(2).back(), "03-DEC-81");

  Go("SELECT ename, comm FROM emp WHERE deptno = 30 ORDER BY ename");
  QTest::keyClick(Form->StringGrid, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            "ENAME\tCOMM\nALLEN\t300\nBLAKE\t\nJAMES\t\nMARTIN\t1400\nTURNER\t0\nWARD\t500\n");
  Go("SELECT ename, 'a,\"b' x FROM emp WHERE deptno = 10 ORDER BY ename");
  QTemporaryDir Folder;
  const std::string File = Folder.filePath("rows.csv").toStdString();
  Form->ResultGrid->AskCsvFileName = [&] { return File; };
  Form->ResultGrid->ExportItem->trigger();
  QFile Written(QString::fromStdString(File));
  ASSERT_TRUE(Written.open(QIODevice::ReadOnly));
  EXPECT_EQ(Written.readAll().toStdString(),
            "ENAME,X\r\nCLARK,\"a,\"\"b\"\r\nKING,\"a,\"\"b\"\r\nMILLER,\"a,\"\"b\"\r\n");
  Form->ResultGrid->AskCsvFileName = [&] { return Folder.filePath("none/x.csv").toStdString(); };
  Form->ResultGrid->ExportItem->trigger(); // an unwritable file is an error, nothing else
  EXPECT_EQ(Errors.size(), 1u);
}

// A change marks the session uncommitted until Commit or Rollback; ending the session with
// the mark up asks first, and Cancel keeps it.
TEST_F(TerminalWindow, CommitRollbackAndTheUncommittedMark) {
  EXPECT_EQ(Main->DatabaseCommitItem->shortcut(), QKeySequence(Qt::Key_F11));
  EXPECT_EQ(Main->DatabaseRollbackItem->shortcut(), QKeySequence(Qt::Key_F12));
  const auto Marked = [&] {
    QCoreApplication::processEvents();
    return Main->TransactionMark->isVisibleTo(Main.get());
  };
  const auto Reconnect = [&] {
    QTimer::singleShot(0, [] {
      LoginForm->Password->setText("TIGER");
      LoginForm->OkButton->click();
    });
    Main->Database->SetConnected(true);
  };
  const auto Count = [&] {
    Go("SELECT COUNT(*) FROM bonus");
    return Column(0).front();
  };
  EXPECT_FALSE(Marked());
  Go("DELETE FROM bonus WHERE 1 = 0");
  EXPECT_FALSE(Marked()); // nothing changed
  Go("INSERT INTO bonus (ename) VALUES ('A')");
  EXPECT_TRUE(Marked());
  EXPECT_EQ(Main->TransactionMark->text(), "Uncommitted");
  Main->RollbackButton->click();
  EXPECT_FALSE(Marked());
  EXPECT_EQ(Count(), "0");
  Go("INSERT INTO bonus (ename) VALUES ('B')");
  Main->DatabaseCommitItem->trigger();
  EXPECT_FALSE(Marked());
  EXPECT_EQ(Count(), "1");
  Go("DELETE FROM bonus");
  EXPECT_TRUE(Marked());
  Go("COMMIT");
  EXPECT_FALSE(Marked());

  int Asked = 0;
  TMainForm::TTransactionAnswer Answer = TMainForm::TTransactionAnswer::Cancel;
  Main->AskTransaction = [&] {
    ++Asked;
    return Answer;
  };
  Main->DatabaseDisconnectItem->trigger(); // nothing uncommitted: no question
  EXPECT_EQ(Asked, 0);
  EXPECT_FALSE(Main->Database->Connected());
  Reconnect();
  Go("INSERT INTO bonus (ename) VALUES ('C')");
  Main->DatabaseDisconnectItem->trigger();
  EXPECT_EQ(Asked, 1);
  EXPECT_TRUE(Main->Database->Connected()); // cancelled
  EXPECT_TRUE(Marked());
  Main->close();
  EXPECT_EQ(Asked, 2);
  EXPECT_TRUE(Main->isVisible()); // the program stays
  Answer = TMainForm::TTransactionAnswer::Rollback;
  Main->DatabaseDisconnectItem->trigger();
  EXPECT_FALSE(Main->Database->Connected());
  EXPECT_FALSE(Marked());
  Reconnect();
  EXPECT_EQ(Count(), "0");
  Go("INSERT INTO bonus (ename) VALUES ('D')");
  Answer = TMainForm::TTransactionAnswer::Commit;
  Main->DatabaseDisconnectItem->trigger();
  EXPECT_EQ(Asked, 4);
  Reconnect();
  EXPECT_EQ(Count(), "1");
  Go("DELETE FROM bonus");
  Go("COMMIT");
  EXPECT_TRUE(Errors.empty());
}

// The statement runs on a worker: the window answers meanwhile, and Escape breaks it off on
// the server through the compile run's break.
TEST_F(TerminalWindow, RunsOffTheGuiThreadAndEscapeCancels) {
  Go("CREATE TABLE big (a NUMBER)");
  const std::vector<std::string> History = Form->History();
  Form->SetCommandText(
      "INSERT INTO big SELECT 1 FROM emp a, emp b, emp c, emp d, emp e, emp f, emp g");
  Form->GoButton->click();
  EXPECT_TRUE(Form->Running());
  EXPECT_FALSE(Form->GoButton->isEnabled());
  EXPECT_TRUE(Form->CancelButton->isEnabled());
  EXPECT_TRUE(Form->CancelButton->isVisible());
  EXPECT_GE(Form->CancelButton->x(), Form->GoButton->x() + Form->GoButton->width());
  EXPECT_LE(Form->CancelButton->x() + Form->CancelButton->width(), Form->width());
  EXPECT_EQ(Form->ResultGrid->StatusText(), "Running ...");
  Form->GoButton->click(); // one statement at a time
  int Ticks = 0;
  QTimer Tick;
  QObject::connect(&Tick, &QTimer::timeout, [&] { ++Ticks; });
  Tick.start(10);
  QTimer::singleShot(300, [&] { QTest::keyClick(Form->CommandEditor, Qt::Key_Escape); });
  Form->WaitForStatement();
  EXPECT_GT(Ticks, 5); // the event loop ran while the server worked
  EXPECT_EQ(Errors, TStrings{"ORA-01013: user requested cancel of current operation"});
  EXPECT_EQ(Form->History(), History);
  EXPECT_TRUE(Form->GoButton->isEnabled());
  EXPECT_FALSE(Form->CancelButton->isEnabled());
  Errors.clear();
  Go("SELECT COUNT(*) FROM big");
  EXPECT_EQ(Column(0), TStrings{"0"});
  Go("DROP TABLE big");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(TerminalWindow, HistoryHoldsStatementsThatRanWithoutDuplicates) {
  Go("SELECT 1 FROM dual");
  Go("SELECT 1 FROM dual");
  EXPECT_EQ(Form->History(), TStrings{"SELECT 1 FROM dual"});
  for (int i = 2; i <= 9; ++i)
    Go("SELECT " + std::to_string(i) + " FROM dual");
  EXPECT_EQ(Form->History(),
            (TStrings{"SELECT 1 FROM dual", "SELECT 3 FROM dual", "SELECT 4 FROM dual",
                      "SELECT 5 FROM dual", "SELECT 6 FROM dual", "SELECT 7 FROM dual",
                      "SELECT 8 FROM dual", "SELECT 9 FROM dual"}));
  EXPECT_EQ(Form->CommandText(), "SELECT 9 FROM dual");

  // A statement picked from the history and changed is not replaced by its neighbour when
  // the history makes room.
  Form->CommandBox->setCurrentIndex(1);
  Go("SELECT 10 FROM dual");
  EXPECT_EQ(Form->CommandText(), "SELECT 10 FROM dual");
  EXPECT_EQ(Form->History().back(), "SELECT 10 FROM dual");
  EXPECT_EQ(Form->History()[1], "SELECT 4 FROM dual");
  EXPECT_TRUE(Errors.empty());
}

// The statement box is a multi-line editor with the script colouring: it grows with its
// lines, Ctrl+Enter runs it, Up on the first line and Down on the last walk the history.
TEST_F(TerminalWindow, MultiLineStatementEditorRunsAndWalksTheHistory) {
  Go("SELECT 1 FROM dual");
  Go("SELECT 2 FROM dual");
  TPlainTextEdit *Editor = Form->CommandEditor;
  Form->SetCommandText("");
  const int OneLine = Form->TopPanel->height();
  Editor->setFocus();
  QTest::keyClicks(Editor, "SELECT ename");
  QTest::keyClick(Editor, Qt::Key_Return);
  QTest::keyClicks(Editor, "FROM emp WHERE empno = 7839");
  EXPECT_EQ(Form->CommandText(), "SELECT ename\nFROM emp WHERE empno = 7839");
  EXPECT_GT(Form->TopPanel->height(), OneLine);
  QCoreApplication::processEvents();
  EXPECT_GT(Form->ResultGrid->y(), Form->TopPanel->height()); // the grid makes room
  EXPECT_EQ(Editor->TopLine(), 0);                            // both lines show
  EXPECT_FALSE(Editor->Lines().FormatList(0).empty());        // SELECT is coloured
  QTest::keyClick(Editor, Qt::Key_Return, Qt::ControlModifier);
  Form->WaitForStatement();
  EXPECT_EQ(Column(0), TStrings{"KING"});
  EXPECT_EQ(Form->CommandText(), "SELECT ename\nFROM emp WHERE empno = 7839"); // no line added
  EXPECT_EQ(Form->History().back(), "SELECT ename\nFROM emp WHERE empno = 7839");

  Form->SetCommandText("");
  QTest::keyClick(Editor, Qt::Key_Up);
  EXPECT_EQ(Form->CommandText(), "SELECT ename\nFROM emp WHERE empno = 7839");
  QTest::keyClick(Editor, Qt::Key_Up); // the caret is on the last line: up within the text
  EXPECT_EQ(Form->CommandText(), "SELECT ename\nFROM emp WHERE empno = 7839");
  QTest::keyClick(Editor, Qt::Key_Up);
  EXPECT_EQ(Form->CommandText(), "SELECT 2 FROM dual");
  QTest::keyClick(Editor, Qt::Key_Up);
  QTest::keyClick(Editor, Qt::Key_Up);
  EXPECT_EQ(Form->CommandText(), "SELECT 1 FROM dual"); // the oldest stays
  QTest::keyClick(Editor, Qt::Key_Down);
  EXPECT_EQ(Form->CommandText(), "SELECT 2 FROM dual");
  QTest::keyClick(Editor, Qt::Key_Down);
  QTest::keyClick(Editor, Qt::Key_Down);
  EXPECT_EQ(Form->CommandText(), ""); // past the newest: an empty statement
  EXPECT_EQ(Form->TopPanel->height(), OneLine);
  Form->CommandBox->activated(0);
  EXPECT_EQ(Form->CommandText(), "SELECT 1 FROM dual");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(TerminalWindow, FailingStatementLeavesGridAndHistoryAlone) {
  Go("SELECT ename, job FROM emp WHERE empno = 7788");
  const TStrings History = Form->History();
  Go("SELECT * FROM no_such_table");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find("ORA-00942"), std::string::npos) << Errors[0];
  Go("INSERT INTO no_such_table VALUES (1)");
  EXPECT_EQ(Errors.size(), 2u);
  Go("SELEKT nonsense");
  EXPECT_EQ(Errors.size(), 3u);
  EXPECT_EQ(Header(), (TStrings{"ENAME", "JOB"}));
  EXPECT_EQ(Column(0), TStrings{"SCOTT"});
  EXPECT_EQ(Column(1), TStrings{"ANALYST"});
  EXPECT_EQ(Form->History(), History);
  EXPECT_EQ(Form->CommandText(), "SELEKT nonsense"); // the text stays to be corrected
}

TEST_F(TerminalWindow, ArrangementsOfTheColumns) {
  // After a statement that is no query, a new result is fitted to its header and rows, a
  // long value at most 60 characters wide.
  Go("DELETE FROM bonus");
  Go("SELECT empno, ename, job, hiredate, RPAD('x', 200, 'x') wide FROM emp ORDER BY empno");
  const std::vector<int> Wide = Form->TextWidths();
  const QFontMetrics Metrics(Form->StringGrid->font());
  const int Cap = Metrics.horizontalAdvance(QString(62, QLatin1Char('0')));
  EXPECT_EQ(Form->ColumnWidths(), (std::vector<int>{Wide[0], Wide[1], Wide[2], Wide[3], Cap}));
  EXPECT_GE(Wide[0], Metrics.horizontalAdvance(" EMPNO ")); // headers are measured too
  Go("SELECT empno, ename, job, hiredate FROM emp ORDER BY empno");
  const std::vector<int> Text = Form->TextWidths();
  Form->TerminalFitToTextItem->trigger();
  EXPECT_EQ(Form->ColumnWidths(), Text);
  Form->TerminalFitToWindowItem->trigger();
  const std::vector<int> Fitted = Form->ColumnWidths();
  EXPECT_EQ(Fitted, FitWidths(Text, GridWidth()));
  const int Sum = std::accumulate(Fitted.begin(), Fitted.end(), 0);
  EXPECT_LE(Sum, GridWidth());
  EXPECT_GT(Sum, GridWidth() * 9 / 10);
  Form->TerminalDefaultArrangementItem->trigger();
  EXPECT_EQ(Form->ColumnWidths(), (std::vector<int>{64, 64, 64, 64}));
}

TEST_F(TerminalWindow, DesktopRecordRoundTrip) {
  for (const char *Statement :
       {"SELECT 1 FROM dual", "SELECT 2 FROM dual WHERE 'a|b' <> 'c'", "COMMIT"})
    Go(Statement);
  ASSERT_EQ(Errors, TStrings{});
  Form->SetCommandText("SELECT * FROM dept");
  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    Form->WriteDesktopValues(Writer);
    Writer.FlushBuffer();
  }
  Stream.Rewind();
  TValueReader Reader(Stream);
  EXPECT_EQ(Reader.ReadString(), "SELECT * FROM dept");
  EXPECT_EQ(Reader.ReadInteger(), 3);
  EXPECT_EQ(Reader.ReadString(), "SELECT 1 FROM dual");
  EXPECT_EQ(Reader.ReadString(), "SELECT 2 FROM dual WHERE 'a|b' <> 'c'");
  EXPECT_EQ(Reader.ReadString(), "COMMIT");
  EXPECT_EQ(Reader.Remaining(), 0);

  // Through the main window: the desktop file written at shut-down brings the window back.
  Main->CFG->SetSaveDesktopPosition(true);
  Main->CFG->SetSaveDesktopState(true);
  Main->MdiArea->subWindowList().front()->setGeometry(5, 6, 300, 200);
  Main->close();
  EXPECT_TRUE(Main->MdiArea->subWindowList().isEmpty());
  EXPECT_TRUE(Errors.empty());
  Main.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  Main = std::make_unique<TMainForm>();
  Main->show();
  QCoreApplication::processEvents();
  QApplication::setActiveWindow(Main.get());
  QCoreApplication::processEvents();
  ASSERT_EQ(Main->MdiArea->subWindowList().size(), 1);
  auto *Restored = dynamic_cast<TTerminalForm *>(Main->MdiArea->subWindowList().front()->widget());
  ASSERT_NE(Restored, nullptr);
  EXPECT_EQ(Restored->CommandText(), "SELECT * FROM dept");
  EXPECT_EQ(Restored->History(),
            (TStrings{"SELECT 1 FROM dual", "SELECT 2 FROM dual WHERE 'a|b' <> 'c'", "COMMIT"}));
  EXPECT_EQ(Main->MdiArea->subWindowList().front()->geometry(), QRect(5, 6, 300, 200));
  EXPECT_TRUE(Errors.empty());
}

} // namespace
