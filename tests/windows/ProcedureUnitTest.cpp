// The procedure test window offscreen: grids built from described parameters, the call with
// its inputs, outputs and DBMS output, framing and refused cells, the split, the keys and
// hints, the desktop record; against scripted procedures and against the local server.
#include "windows/ProcedureUnit.h"

#include "app/LoginUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "classes/StringList.h"
#include "controls/Splitter.h"
#include "db/OciApiQuery.h"
#include "tests/QtTestEnvironment.h"
#include "windows/DBMSOutputUnit.h"

#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace {

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<TApplication>("ProcedureUnitTest"));

using TStrings = std::vector<std::string>;

struct TParamSpec {
  std::string Name;
  TParamKind Kind;
  int Dimension = 1;
};

// Procedures described and called without a server: each name has its parameters and what a
// call does with them.
struct TScriptedCall : TProcedureCall {
  TOracleQuery Holder; // only for its parameter list
  std::map<std::string, std::vector<TParamSpec>> Procedures;
  std::function<void(TParams &)> OnExecute;
  TStrings Described;
  int Calls = 0;

  void GetProcedureList(TStringList &AStrings) override {
    for (const auto &[Name, Specs] : Procedures)
      AStrings.Add(Name);
  }
  void SetProcedureName(const std::string &AName) override {
    Described.push_back(AName);
    Params().Clear();
    if (AName.empty())
      return;
    auto Found = Procedures.find(AName);
    if (Found == Procedures.end())
      throw Exception("ORA-04043: object " + AName + " does not exist");
    for (const TParamSpec &Spec : Found->second) {
      TParam *Param = Params().Add(Spec.Name);
      Param->SetDataType(oVarchar2);
      Param->SetItemSize(100);
      Param->SetKind(Spec.Kind);
      Param->SetDimension(Spec.Dimension);
    }
  }
  TParams &Params() override { return Holder.Params(); }
  void Execute() override {
    ++Calls;
    if (OnExecute)
      OnExecute(Params());
  }
};

// DBMS_OUTPUT lines a test puts there.
struct TScriptedOutput : TDBMSOutputServer {
  std::deque<std::string> Pending;
  void Enable(int) override {}
  bool GetLine(std::string &ALine) override {
    if (Pending.empty())
      return false;
    ALine = Pending.front();
    Pending.pop_front();
    return true;
  }
};

// The element texts of a parameter as the call received them.
TStrings Rows(TParam *AParam) {
  TStrings Result;
  for (int i = 0; i < AParam->RowCount(); ++i)
    Result.push_back(AParam->RowAsString(i));
  return Result;
}

class ProcedureWindow : public ::testing::Test {
protected:
  static inline QTemporaryDir *Data = nullptr;
  QTemporaryDir Program;
  std::unique_ptr<TMainForm> Main;
  std::vector<std::string> Errors;
  TScriptedCall *Call = nullptr;     // owned by the window
  TScriptedOutput *Output = nullptr; // owned by the DBMS output window
  std::map<std::string, std::vector<TParamSpec>> Procedures{
      {"NOTHING", {}},
      {"ONLY_IN", {{"A", oInput}, {"B", oInput}}},
      {"MIXED", {{"RESULT", oResult}, {"A", oInput}, {"B", oInpOut}, {"C", oOutput}}},
      {"TABLES", {{"T", oInpOut, 3}, {"S", oInpOut}}},
      {"PKG.MEMBER", {{"X", oOutput}}}};

  static void SetUpTestSuite() {
    Data = new QTemporaryDir;
    setenv("TESSALY_DATA", Data->path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
  }
  static void TearDownTestSuite() {
    delete Data;
    Data = nullptr;
  }

  void SetUp() override {
    static const TProcedureForm::TCallFactory DefaultCall = TProcedureForm::CallFactory;
    static const TDBMSOutputForm::TServerFactory DefaultOutput = TDBMSOutputForm::ServerFactory;
    FDefaultCall = DefaultCall;
    FDefaultOutput = DefaultOutput;
    SetProgramPath(Program.filePath("tessaly").toStdString());
    TApplication::ShowErrorMessage = [this](const std::string &AMessage) {
      Errors.push_back(AMessage);
    };
    Main = std::make_unique<TMainForm>();
    // A call may have changed data: the session ends rolled back, without the question.
    Main->AskTransaction = [] { return TMainForm::TTransactionAnswer::Rollback; };
    Main->show();
    Login();
  }
  void TearDown() override {
    Main->MdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Main->DatabaseDisconnectItemClick();
    Main.reset();
    TProcedureForm::CallFactory = FDefaultCall;
    TDBMSOutputForm::ServerFactory = FDefaultOutput;
  }

  void Login() {
    QTimer::singleShot(0, [] {
      LoginForm->UserName->setText("SCOTT");
      LoginForm->Password->setText("TIGER");
      LoginForm->Host->clear();
      LoginForm->OkButton->click();
    });
    Main->Database->SetConnected(true);
    ASSERT_TRUE(Main->Database->Connected());
  }

  void UseScripted() {
    TProcedureForm::CallFactory = [this](TProcedureForm &) {
      auto Result = std::make_unique<TScriptedCall>();
      Result->Procedures = Procedures;
      Call = Result.get();
      return Result;
    };
    TDBMSOutputForm::ServerFactory = [this](TDBMSOutputForm &) {
      auto Result = std::make_unique<TScriptedOutput>();
      Output = Result.get();
      return Result;
    };
  }

  TProcedureForm *Open() {
    Main->WindowNewProcdeureWindowItem->trigger();
    return dynamic_cast<TProcedureForm *>(Main->ActiveChild());
  }

  static TStrings Headers(const TProcedureGrid &AGrid) {
    TStrings Result;
    for (int c = 0; c < AGrid.ColCount(); ++c)
      Result.push_back(AGrid.Cells(c, 0));
    return Result;
  }
  static TStrings Column(const TProcedureGrid &AGrid, int ACol) {
    TStrings Result;
    for (int r = 1; r < AGrid.RowCount(); ++r)
      Result.push_back(AGrid.Cells(ACol, r));
    return Result;
  }

private:
  TProcedureForm::TCallFactory FDefaultCall;
  TDBMSOutputForm::TServerFactory FDefaultOutput;
};

TEST_F(ProcedureWindow, OpensFromTheMenuWithTheChooserFilled) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->windowTitle(), "Procedure Test");
  EXPECT_EQ(Form->GoButton->text(), "Go !");
  EXPECT_TRUE(Form->GoButton->isDefault());
  EXPECT_EQ(Form->GoButton->width(), 73);
  EXPECT_EQ(Form->GoButton->geometry().right(), Form->TopPanel->width() - 1);
  EXPECT_EQ(Form->ProcedureComboBox->geometry().right() + 3, Form->GoButton->x());
  EXPECT_FALSE(Form->ProcedureComboBox->isEditable());
  EXPECT_EQ(Form->ProcedureComboBox->maxVisibleItems(), 20);
  EXPECT_EQ(Form->Label1->text(), "Input:");
  EXPECT_EQ(Form->Label2->text(), "Output:");
  EXPECT_EQ(Form->ProcedureNames(),
            (TStrings{"MIXED", "NOTHING", "ONLY_IN", "PKG.MEMBER", "TABLES"}));
  EXPECT_EQ(Form->ProcedureText(), "");
  EXPECT_EQ(Form->SplitRatio(), 0.5);
  EXPECT_EQ(Headers(*Form->InputStringGrid), TStrings{"NO PARAMETERS"});
  EXPECT_EQ(Form->InputStringGrid->width(), std::lround(Form->width() * 0.5));
  EXPECT_EQ(Form->Label2->x(), Form->OutputStringGrid->x() + 5);
  EXPECT_EQ(Form->Splitter->x(), Form->InputStringGrid->width());
  EXPECT_EQ(Form->OutputStringGrid->x(), Form->Splitter->x() + 2);
  // Go before a procedure is chosen calls nothing.
  Form->GoButton->click();
  EXPECT_EQ(Call->Calls, 0);
  EXPECT_EQ(Errors, TStrings{"No procedure chosen."});
  // Any number of windows.
  ASSERT_NE(Open(), Form);
  EXPECT_EQ(Main->MdiArea->subWindowList().size(), 2);
}

TEST_F(ProcedureWindow, CancelledLoginOpensNoWindow) {
  UseScripted();
  Main->DatabaseDisconnectItemClick();
  QTimer::singleShot(0, [] { LoginForm->CancelButton->click(); });
  EXPECT_EQ(Open(), nullptr);
  EXPECT_TRUE(Main->MdiArea->subWindowList().isEmpty());
  EXPECT_TRUE(Errors.empty()); // the silent abort
}

TEST_F(ProcedureWindow, ProcedureWithoutParametersFillsBothGridsWithNoParameters) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->ChooseProcedure("NOTHING");
  for (TProcedureGrid *Grid : {Form->InputStringGrid, Form->OutputStringGrid}) {
    EXPECT_EQ(Headers(*Grid), TStrings{"NO PARAMETERS"});
    EXPECT_EQ(Grid->RowCount(), 2);
    EXPECT_EQ(Grid->ColWidths(0), Grid->width() - 5);
    EXPECT_EQ(Grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(Grid->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  }
  // Still as wide as its grid after a resize.
  Form->parentWidget()->resize(700, 300);
  EXPECT_EQ(Form->OutputStringGrid->ColWidths(0), Form->OutputStringGrid->width() - 5);
  TDBMSOutputForm::Create(*Main);
  Call->OnExecute = [this](TParams &) { Output->Pending = {"called"}; };
  Form->GoButton->click();
  EXPECT_EQ(Call->Calls, 1);
  EXPECT_EQ(TDBMSOutputForm::Registered()->Lines(), TStrings{"called"});
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProcedureWindow, OnlyInputsLeaveTheOutputGridEmptyAndStillDrain) {
  UseScripted();
  TDBMSOutputForm *Dbms = TDBMSOutputForm::Create(*Main);
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->ChooseProcedure("ONLY_IN");
  EXPECT_EQ(Headers(*Form->InputStringGrid), (TStrings{"A", "B"}));
  EXPECT_EQ(Form->InputStringGrid->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
  EXPECT_EQ(Form->InputStringGrid->ColWidths(0), TProcedureGrid::DefaultColWidth);
  EXPECT_EQ(Headers(*Form->OutputStringGrid), TStrings{"NO PARAMETERS"});
  Form->InputStringGrid->SetCells(0, 1, "first");
  TStrings Seen;
  Call->OnExecute = [&](TParams &AParams) {
    Seen = Rows(AParams.FindParam("A"));
    EXPECT_EQ(AParams.FindParam("B")->RowCount(), 0); // an empty column sets nothing
    Output->Pending = {"one", "two", "three"};
  };
  Form->GoButton->click();
  EXPECT_EQ(Seen, TStrings{"first"});
  EXPECT_EQ(Dbms->Lines(), (TStrings{"one", "two", "three"}));
  EXPECT_EQ(Dbms->SelectedIndex(), 2);
  EXPECT_EQ(Column(*Form->OutputStringGrid, 0), TStrings{""});
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProcedureWindow, KindsChooseTheirGridsAndGoFillsTheOutputs) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->ChooseProcedure("MIXED");
  // Result and in/out in both grids, input only in the input grid, output only in the output.
  EXPECT_EQ(Headers(*Form->InputStringGrid), (TStrings{"RESULT", "A", "B"}));
  EXPECT_EQ(Headers(*Form->OutputStringGrid), (TStrings{"RESULT", "B", "C"}));
  Form->InputStringGrid->SetCells(1, 1, "in a");
  Form->InputStringGrid->SetCells(2, 1, "in b");
  Call->OnExecute = [](TParams &AParams) {
    EXPECT_EQ(Rows(AParams.FindParam("A")), TStrings{"in a"});
    EXPECT_EQ(Rows(AParams.FindParam("B")), TStrings{"in b"});
    EXPECT_EQ(AParams.FindParam("C")->RowCount(), 0);
    AParams.FindParam("RESULT")->SetRowAsString(0, "42");
    AParams.FindParam("B")->SetRowAsString(0, "out b");
    AParams.FindParam("C")->SetRowAsString(0, "out c");
  };
  Form->GoButton->click();
  EXPECT_EQ(Form->OutputStringGrid->Cells(0, 1), "42");
  EXPECT_EQ(Form->OutputStringGrid->Cells(1, 1), "out b");
  EXPECT_EQ(Form->OutputStringGrid->Cells(2, 1), "out c");
  EXPECT_EQ(Form->InputStringGrid->Cells(2, 1), "in b"); // inputs stay as typed

  // Values from before a failing call stay, and the failure is reported after the drain.
  TDBMSOutputForm *Dbms = TDBMSOutputForm::Create(*Main);
  Call->OnExecute = [this](TParams &AParams) {
    AParams.FindParam("C")->SetRowAsString(0, "half written");
    Output->Pending = {"before the failure"};
    throw Exception("ORA-06510: PL/SQL: unhandled user-defined exception");
  };
  Form->GoButton->click();
  EXPECT_EQ(Errors, TStrings{"ORA-06510: PL/SQL: unhandled user-defined exception"});
  EXPECT_EQ(Dbms->Lines(), TStrings{"before the failure"});
  EXPECT_EQ(Form->OutputStringGrid->Cells(2, 1), "out c");

  // A procedure that no longer describes: the error is reported and no stale column remains.
  Call->Procedures.erase("MIXED");
  Form->ProcedureComboBox->activated(Form->ProcedureComboBox->currentIndex());
  EXPECT_EQ(Errors.back(), "ORA-04043: object MIXED does not exist");
  EXPECT_EQ(Headers(*Form->InputStringGrid), TStrings{"NO PARAMETERS"});
  EXPECT_EQ(Headers(*Form->OutputStringGrid), TStrings{"NO PARAMETERS"});
}

TEST_F(ProcedureWindow, TableBesideScalarFramesOnlyExistingCells) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->ChooseProcedure("TABLES");
  TProcedureGrid &In = *Form->InputStringGrid;
  EXPECT_EQ(Headers(In), (TStrings{"T", "S"}));
  EXPECT_EQ(In.RowCount(), 4);
  EXPECT_EQ(Form->OutputStringGrid->RowCount(), 2);
  using F = TProcedureGrid::TFrame;
  // Under T: three framed cells; under S: one, and below it only the shared left edge and the
  // line closing the cell above.
  EXPECT_EQ(In.CellFrame(0, 1), (F{true, false, true, true}));
  EXPECT_EQ(In.CellFrame(0, 2), (F{true, true, true, true}));
  EXPECT_EQ(In.CellFrame(0, 3), (F{true, true, true, true}));
  EXPECT_EQ(In.CellFrame(1, 1), (F{true, false, true, true}));
  EXPECT_EQ(In.CellFrame(1, 2), (F{true, true, false, false}));
  EXPECT_EQ(In.CellFrame(1, 3), (F{true, false, false, false}));
  EXPECT_EQ(In.CellFrame(0, 0), F{});

  // Rows 2 and 3 of the scalar cannot be selected; the old cell stays current.
  In.SetCurrentCell(0, 3);
  EXPECT_EQ(In.CurrentCell(), QPoint(0, 3));
  In.SetCurrentCell(1, 2);
  EXPECT_EQ(In.CurrentCell(), QPoint(0, 3));
  QTest::mouseClick(In.viewport(), Qt::LeftButton, {},
                    In.visualRect(In.model()->index(2, 1)).center());
  EXPECT_EQ(In.CurrentCell(), QPoint(0, 3));
  QTest::mouseDClick(In.viewport(), Qt::LeftButton, {},
                     In.visualRect(In.model()->index(2, 1)).center());
  EXPECT_FALSE(In.Editing()); // no editor on a cell that does not exist
  // The test library leaves the button held after a double-click.
  QTest::mouseRelease(In.viewport(), Qt::LeftButton);
  ASSERT_EQ(QApplication::mouseButtons(), Qt::NoButton);
  In.SetCurrentCell(1, 1);
  EXPECT_EQ(In.CurrentCell(), QPoint(1, 1));
  QTest::keyClick(&In, Qt::Key_Down);
  EXPECT_EQ(In.CurrentCell(), QPoint(1, 1));
  // Typing into an existing cell edits it; the value counts for Go even before the editor closes.
  In.SetCurrentCell(0, 2);
  QTest::keyClick(&In, Qt::Key_T);
  EXPECT_TRUE(In.Editing());
  In.CommitEditor();
  EXPECT_FALSE(In.Editing());
  EXPECT_EQ(In.Cells(0, 2), "t");
  In.SetCells(0, 2, "");

  // Rows 1 and 3 typed: elements 0, 1 and 2, element 1 empty.
  In.SetCells(0, 1, "x");
  In.SetCells(0, 3, "z");
  In.SetCells(1, 1, "s");
  Call->OnExecute = [](TParams &AParams) {
    EXPECT_EQ(Rows(AParams.FindParam("T")), (TStrings{"x", "", "z"}));
    EXPECT_EQ(Rows(AParams.FindParam("S")), TStrings{"s"});
    TParam *T = AParams.FindParam("T");
    for (int i = 0; i < 3; ++i)
      T->SetRowAsString(i, "e" + std::to_string(i));
  };
  Form->GoButton->click();
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Form->OutputStringGrid->RowCount(), 4);
  EXPECT_EQ(Column(*Form->OutputStringGrid, 0), (TStrings{"e0", "e1", "e2"}));
  EXPECT_EQ(Column(*Form->OutputStringGrid, 1), (TStrings{"s", "", ""}));

  // The frames are painted in silver and only there.
  Form->parentWidget()->resize(500, 250);
  const QImage Image = In.viewport()->grab().toImage();
  const QRect Cell = In.visualRect(In.model()->index(2, 0)); // T, row 3
  EXPECT_EQ(QColor(Image.pixel(Cell.left() + 5, Cell.bottom())), QColor(192, 192, 192));
  const QRect Missing = In.visualRect(In.model()->index(2, 1)); // S, row 3
  EXPECT_NE(QColor(Image.pixel(Missing.left() + 5, Missing.bottom())), QColor(192, 192, 192));
}

TEST_F(ProcedureWindow, SplitRatioSurvivesDragAndResize) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->parentWidget()->resize(600, 300);
  const int Width = Form->width();
  EXPECT_EQ(Form->InputStringGrid->width(), std::lround(Width * 0.5));
  Form->Splitter->MoveTo(Width / 4, 60);
  EXPECT_EQ(Form->InputStringGrid->width(), Width / 4);
  EXPECT_DOUBLE_EQ(Form->SplitRatio(), double(Width / 4) / Width);
  EXPECT_EQ(Form->Label2->x(), Form->OutputStringGrid->x() + 5);
  Form->parentWidget()->resize(900, 300);
  EXPECT_EQ(Form->InputStringGrid->width(), std::lround(Form->width() * Form->SplitRatio()));
  EXPECT_EQ(Form->OutputStringGrid->x(), Form->InputStringGrid->width() + 2);
  EXPECT_EQ(Form->OutputStringGrid->ColWidths(0), Form->OutputStringGrid->width() - 5);
}

TEST_F(ProcedureWindow, ClipboardKeysAndCellHints) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->ChooseProcedure("MIXED");
  TProcedureGrid &In = *Form->InputStringGrid;
  TProcedureGrid &Out = *Form->OutputStringGrid;
  QClipboard *Clipboard = QApplication::clipboard();
  In.SetCells(1, 1, "typed");
  In.SetCurrentCell(1, 1);
  Clipboard->clear();
  QTest::keyClick(&In, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(Clipboard->text(), "typed");
  QTest::keyClick(&In, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(In.Cells(1, 1), "");
  In.SetCurrentCell(2, 1);
  QTest::keyClick(&In, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(In.Cells(2, 1), "typed");
  // Another modifier with it: none of the clipboard commands.
  Clipboard->setText("other");
  QTest::keyClick(&In, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(In.Cells(2, 1), "typed");
  QTest::keyClick(&In, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(In.Cells(2, 1), "other");

  // The output grid copies but never changes.
  Out.SetCells(2, 1, "result");
  Out.SetCurrentCell(2, 1);
  QTest::keyClick(&Out, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Clipboard->text(), "result");
  QTest::keyClick(&Out, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(Out.Cells(2, 1), "result");
  Clipboard->setText("pasted");
  QTest::keyClick(&Out, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Out.Cells(2, 1), "result");
  EXPECT_EQ(Out.editTriggers(), QAbstractItemView::NoEditTriggers);

  // Hints: a cut-off text, with "|" shown as the broken bar.
  EXPECT_EQ(CellHintText("a|b", 50, 40), "a\xa6"
                                         "b|");
  EXPECT_EQ(CellHintText("short", 30, 64), "");
  EXPECT_EQ(CellHintText("", 10, 10), "");
  Form->parentWidget()->resize(600, 300);
  const std::string Long(60, 'w');
  Out.SetCells(0, 1, Long);
  const QPoint Inside = Out.visualRect(Out.model()->index(0, 0)).center();
  EXPECT_EQ(Out.HintAt(Inside), Long + "|");
  QTest::mouseMove(Out.viewport(), Inside);
  EXPECT_EQ(Out.CurrentHint(), Long + "|");
  EXPECT_EQ(Out.HintAt(Out.visualRect(Out.model()->index(0, 2)).center()), "");
}

TEST_F(ProcedureWindow, DesktopRecordRoundTrip) {
  UseScripted();
  TProcedureForm *Form = Open();
  ASSERT_NE(Form, nullptr);
  Form->ChooseProcedure("MIXED");
  Form->InputStringGrid->SetColWidths(1, 90);
  Form->OutputStringGrid->SetColWidths(2, 33);
  Form->parentWidget()->setGeometry(3, 4, 500, 260);
  Form->Splitter->MoveTo(150, 60);
  const double Ratio = Form->SplitRatio();

  TMemoryStream Stream;
  {
    TValueWriter Writer(Stream);
    Form->WriteDesktopValues(Writer);
    Writer.FlushBuffer();
  }
  Stream.Rewind();
  TValueReader Reader(Stream);
  EXPECT_EQ(Reader.ReadFloat(), Ratio);
  EXPECT_EQ(Reader.ReadString(), "MIXED");
  EXPECT_EQ(Reader.ReadInteger(), 3);
  EXPECT_EQ(Reader.ReadInteger(), 64);
  EXPECT_EQ(Reader.ReadInteger(), 90);
  EXPECT_EQ(Reader.ReadInteger(), 64);
  EXPECT_EQ(Reader.ReadInteger(), 3);
  for (int Width : {64, 64, 33})
    EXPECT_EQ(Reader.ReadInteger(), Width);
  EXPECT_EQ(Reader.Remaining(), 0);

  Main->CFG->SetSaveDesktopPosition(true);
  Main->CFG->SetSaveDesktopState(true);
  Main->close();
  EXPECT_TRUE(Main->MdiArea->subWindowList().isEmpty());
  Main.reset();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  Main = std::make_unique<TMainForm>();
  QTimer::singleShot(0, [] {
    LoginForm->Password->setText("TIGER");
    LoginForm->OkButton->click();
  });
  Main->show();
  QCoreApplication::processEvents();
  ASSERT_EQ(Main->MdiArea->subWindowList().size(), 1);
  auto *Restored = dynamic_cast<TProcedureForm *>(Main->MdiArea->subWindowList().front()->widget());
  ASSERT_NE(Restored, nullptr);
  EXPECT_EQ(Main->MdiArea->subWindowList().front()->geometry(), QRect(3, 4, 500, 260));
  EXPECT_EQ(Restored->SplitRatio(), Ratio);
  EXPECT_EQ(Restored->ProcedureText(), "MIXED");
  EXPECT_EQ(Headers(*Restored->OutputStringGrid), (TStrings{"RESULT", "B", "C"}));
  EXPECT_EQ(Restored->InputStringGrid->ColWidths(1), 90);
  EXPECT_EQ(Restored->OutputStringGrid->ColWidths(2), 33);
  EXPECT_EQ(Restored->InputStringGrid->width(), std::lround(Restored->width() * Ratio));
  EXPECT_TRUE(Errors.empty());
}

TEST_F(ProcedureWindow, DesktopRecordOfAGoneProcedureOrOddValues) {
  UseScripted();
  auto Record = [](double ARatio, const std::string &AName, std::vector<int> AInput) {
    TMemoryStream Stream;
    TValueWriter Writer(Stream);
    TWindowPlacement Placement;
    Placement.Left = 0, Placement.Top = 0, Placement.Right = 400, Placement.Bottom = 200;
    const auto Bytes = Placement.ToBytes();
    Writer.Write(Bytes.data(), Bytes.size());
    Writer.WriteFloat(ARatio);
    Writer.WriteString(AName);
    Writer.WriteInteger(std::int64_t(AInput.size()));
    for (int Width : AInput)
      Writer.WriteInteger(Width);
    Writer.WriteInteger(0);
    Writer.FlushBuffer();
    return Stream;
  };
  // A procedure that is gone: no entry chosen, no parameters; widths for columns that do not
  // exist are passed over; a ratio beyond 1 is kept to 1.
  TMemoryStream Gone = Record(7.5, "DROPPED", {100, 200, 300});
  Gone.Rewind();
  TValueReader Reader(Gone);
  TProcedureForm::RestoreFromDesktop(*Main, Reader);
  EXPECT_EQ(Reader.Remaining(), 0);
  auto *Form = dynamic_cast<TProcedureForm *>(Main->ActiveChild());
  ASSERT_NE(Form, nullptr);
  EXPECT_EQ(Form->ProcedureText(), "");
  EXPECT_EQ(Form->SplitRatio(), 1.0);
  EXPECT_EQ(Headers(*Form->InputStringGrid), TStrings{"NO PARAMETERS"});
  EXPECT_TRUE(Errors.empty());

  // A ratio that is not a number gives the even split.
  TMemoryStream Odd = Record(std::nan(""), "ONLY_IN", {5});
  Odd.Rewind();
  TValueReader OddReader(Odd);
  const TProcedureDesktopValues Values = TProcedureForm::ReadDesktopRecord(OddReader);
  EXPECT_EQ(Values.SplitRatio, 0.5);
  EXPECT_EQ(Values.ProcedureName, "ONLY_IN");
  EXPECT_EQ(Values.InputWidths, std::vector<int>{5});

  // A record cut short is refused before any window is made.
  TMemoryStream Short = Record(0.3, "ONLY_IN", {5});
  TMemoryStream Cut;
  Cut.Write(Short.Bytes().data(), Short.Bytes().size() - 3);
  Cut.Rewind();
  TValueReader CutReader(Cut);
  const int Windows = int(Main->MdiArea->subWindowList().size());
  EXPECT_THROW(TProcedureForm::RestoreFromDesktop(*Main, CutReader), EReadError);
  EXPECT_EQ(Main->MdiArea->subWindowList().size(), Windows);
}

// ---- Against the local server --------------------------------------------------------------

std::string RunStatement(const std::string &AStatement) {
  TOracleQuery Query;
  Query.SetDatabaseName("Database");
  Query.SetParseForParams(false);
  Query.SetSQL(AStatement);
  try {
    Query.Execute();
  } catch (const std::exception &E) {
    return E.what();
  }
  return {};
}

TEST_F(ProcedureWindow, LocalServerProcedureWritingThreeLines) {
  const std::string Created =
      RunStatement("CREATE OR REPLACE PROCEDURE write_three(N IN NUMBER, S OUT VARCHAR2) AS BEGIN "
                   "DBMS_OUTPUT.PUT_LINE('one'); DBMS_OUTPUT.PUT_LINE('two'); "
                   "DBMS_OUTPUT.PUT_LINE('three ' || N); S := 'got ' || N; END;");
  ASSERT_EQ(Created, "");
  TDBMSOutputForm *Dbms = TDBMSOutputForm::Create(*Main);
  ASSERT_NE(Dbms, nullptr);
  TProcedureForm *Form = TProcedureForm::Create(*Main);
  const TStrings Names = Form->ProcedureNames();
  ASSERT_NE(std::find(Names.begin(), Names.end(), "WRITE_THREE"), Names.end());
  ASSERT_NO_THROW(Form->ChooseProcedure("WRITE_THREE"));
  EXPECT_EQ(Headers(*Form->InputStringGrid), TStrings{"N"});
  EXPECT_EQ(Headers(*Form->OutputStringGrid), TStrings{"S"});
  Form->InputStringGrid->SetCells(0, 1, "7");
  Form->GoButton->click();
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  EXPECT_EQ(Dbms->Lines(), (TStrings{"one", "two", "three 7"}));
  EXPECT_EQ(Dbms->SelectedIndex(), 2);
  EXPECT_EQ(Form->OutputStringGrid->Cells(0, 1), "got 7");

  // A failing call: its output is drained and the error reported.
  ASSERT_EQ(RunStatement("CREATE OR REPLACE PROCEDURE fail_after AS BEGIN "
                         "DBMS_OUTPUT.PUT_LINE('before'); RAISE_APPLICATION_ERROR(-20001, "
                         "'failed on purpose'); END;"),
            "");
  TProcedureForm *Second = TProcedureForm::Create(*Main);
  Second->ChooseProcedure("FAIL_AFTER");
  Second->GoButton->click();
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors.front().find("ORA-20001"), std::string::npos) << Errors.front();
  EXPECT_EQ(Dbms->Lines().back(), "before");
}

TEST_F(ProcedureWindow, LocalServerPackageMemberWithATable) {
  const std::string Created = RunStatement(
      "CREATE OR REPLACE PACKAGE tabs AS TYPE t_list IS TABLE OF VARCHAR2(20) INDEX BY "
      "BINARY_INTEGER; PROCEDURE join3(L IN t_list, S OUT VARCHAR2); END;");
  ASSERT_EQ(Created, "");
  ASSERT_EQ(RunStatement("CREATE OR REPLACE PACKAGE BODY tabs AS PROCEDURE join3(L IN t_list, "
                         "S OUT VARCHAR2) IS BEGIN S := L(1) || '/' || NVL(L(2), '-') || '/' || "
                         "L(3); END; END;"),
            "");
  TProcedureForm *Form = TProcedureForm::Create(*Main);
  const TStrings Names = Form->ProcedureNames();
  ASSERT_NE(std::find(Names.begin(), Names.end(), "TABS.JOIN3"), Names.end());
  // A unit compiled while the window is open is in the list when it drops down.
  ASSERT_EQ(RunStatement("CREATE OR REPLACE PROCEDURE later IS BEGIN NULL; END;"), "");
  Form->ChooseProcedure("TABS.JOIN3");
  Form->ProcedureComboBox->showPopup();
  Form->ProcedureComboBox->hidePopup();
  const TStrings Again = Form->ProcedureNames();
  EXPECT_NE(std::find(Again.begin(), Again.end(), "LATER"), Again.end());
  EXPECT_EQ(Form->ProcedureComboBox->currentText().toStdString(), "TABS.JOIN3");
  Form->ChooseProcedure("TABS.JOIN3");
  EXPECT_EQ(Headers(*Form->InputStringGrid), TStrings{"L"});
  EXPECT_EQ(Form->InputStringGrid->RowCount(), 41); // a PL/SQL table of 40 elements
  EXPECT_EQ(Headers(*Form->OutputStringGrid), TStrings{"S"});
  Form->InputStringGrid->SetCells(0, 1, "x");
  Form->InputStringGrid->SetCells(0, 3, "z");
  Form->GoButton->click();
  EXPECT_TRUE(Errors.empty()) << Errors.front();
  EXPECT_EQ(Form->OutputStringGrid->Cells(0, 1), "x/-/z");
}

} // namespace
