// The procedure test window: the chooser, the two grids built from the described parameters,
// the call, the split between the grids and the desktop record.
#include "windows/ProcedureUnit.h"

#include "classes/CodePage.h"
#include "db/SqlFunctionCodes.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/AlignedLayout.h"
#include "classes/Application.h"
#include "classes/StringList.h"
#include "controls/Splitter.h"
#include "db/OciApiStoredProc.h"
#include "windows/DBMSOutputUnit.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <exception>
#include <memory>

namespace {

// A combo box that says when its list is about to drop down.
class TDropDownComboBox : public QComboBox {
public:
  using QComboBox::QComboBox;
  std::function<void()> OnDropDown;
  void showPopup() override {
    if (OnDropDown)
      OnDropDown();
    QComboBox::showPopup();
  }
};

// The stored-procedure component on the main connection.
class TStoredProcCall : public TProcedureCall {
public:
  explicit TStoredProcCall(TProcedureForm &AForm) {
    FStoredProc = new TOracleStoredProc(&AForm);
    FStoredProc->SetName("StoredProc");
    FStoredProc->SetDatabaseName("Database");
  }
  void GetProcedureList(TStringList &AStrings) override {
    TOracleDatabase *Database = WindowsHost().MainDatabase();
    if (!Database)
      return;
    Database->GetProcedureList(AStrings, "", 103);
  }
  void SetProcedureName(const std::string &AName) override { FStoredProc->SetProcedureName(AName); }
  TParams &Params() override { return FStoredProc->Params(); }
  void Execute() override {
    FStoredProc->Execute();
    // A stored procedure may have changed anything.
    if (TOracleDatabase *Database = WindowsHost().MainDatabase())
      Database->NoteStatement(fcPlSqlExecute, 1, "");
  }

private:
  TOracleStoredProc *FStoredProc;
};

// Widths and ratios from a desktop file are kept to what a screen can show.
constexpr int WidthLimit = 1 << 15;

// Refuses, as current cell and as selection, the cells the grid's window does not allow.
class TCellSelectionModel : public QItemSelectionModel {
public:
  TCellSelectionModel(TProcedureGrid *AGrid)
      : QItemSelectionModel(AGrid->model(), AGrid), FGrid(AGrid) {}

  void setCurrentIndex(const QModelIndex &AIndex, SelectionFlags ACommand) override {
    if (Allowed(AIndex))
      QItemSelectionModel::setCurrentIndex(AIndex, ACommand);
  }
  void select(const QModelIndex &AIndex, SelectionFlags ACommand) override {
    if (Allowed(AIndex))
      QItemSelectionModel::select(AIndex, ACommand);
  }
  void select(const QItemSelection &ASelection, SelectionFlags ACommand) override {
    for (const QModelIndex &Index : ASelection.indexes())
      if (!Allowed(Index))
        return;
    QItemSelectionModel::select(ASelection, ACommand);
  }

  bool Allowed(const QModelIndex &AIndex) const {
    return !AIndex.isValid() || !FGrid->CanSelectCell ||
           FGrid->CanSelectCell(AIndex.column(), AIndex.row() + 1);
  }

private:
  TProcedureGrid *FGrid;
};

// Paints a cell as usual, then the silver lines of the frame the grid gives it.
class TFrameDelegate : public QStyledItemDelegate {
public:
  TFrameDelegate(TProcedureGrid *AGrid) : QStyledItemDelegate(AGrid), FGrid(AGrid) {}

  void paint(QPainter *APainter, const QStyleOptionViewItem &AOption,
             const QModelIndex &AIndex) const override {
    QStyledItemDelegate::paint(APainter, AOption, AIndex);
    const int Row = AIndex.row() + 1;
    const TProcedureGrid::TFrame Frame = FGrid->CellFrame(AIndex.column(), Row);
    // One pixel to the left, and from the second value row one pixel up, so neighbours share
    // their lines.
    const QRect R = AOption.rect.adjusted(-1, Row >= 2 ? -1 : 0, 0, 0);
    APainter->save();
    APainter->setPen(QColor(192, 192, 192));
    if (Frame.Left)
      APainter->drawLine(R.topLeft(), R.bottomLeft());
    if (Frame.Top)
      APainter->drawLine(R.topLeft(), R.topRight());
    if (Frame.Right)
      APainter->drawLine(R.topRight(), R.bottomRight());
    if (Frame.Bottom)
      APainter->drawLine(R.bottomLeft(), R.bottomRight());
    APainter->restore();
  }

private:
  TProcedureGrid *FGrid;
};

} // namespace

std::string CellHintText(const std::string &AText, int ATextWidth, int ACellWidth) {
  if (ACellWidth >= ATextWidth)
    return {};
  std::string Hint = AText;
  std::replace(Hint.begin(), Hint.end(), '|', '\xA6');
  return Hint + "|";
}

// ---- Grid ------------------------------------------------------------------------------------

TProcedureGrid::TProcedureGrid(bool AInput, QWidget *AParent)
    : QTableWidget(1, 1, AParent), FInput(AInput) {
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(DefaultRowHeight);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setDefaultSectionSize(DefaultColWidth);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setSectionsMovable(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setShowGrid(false);
  setWordWrap(false);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(AInput ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                               QAbstractItemView::AnyKeyPressed
                         : QAbstractItemView::NoEditTriggers);
  setMouseTracking(true);
  setSelectionModel(new TCellSelectionModel(this));
  setItemDelegate(new TFrameDelegate(this));
  setHorizontalHeaderItem(0, new QTableWidgetItem);
}

void TProcedureGrid::SetColCount(int AValue) {
  const int Old = columnCount();
  setColumnCount(std::max(1, AValue));
  for (int c = Old; c < columnCount(); ++c) {
    setHorizontalHeaderItem(c, new QTableWidgetItem);
    setColumnWidth(c, DefaultColWidth);
  }
}

void TProcedureGrid::SetRowCount(int AValue) { setRowCount(std::max(1, AValue - 1)); }

std::string TProcedureGrid::Cells(int ACol, int ARow) const {
  if (ACol < 0 || ACol >= columnCount() || ARow < 0 || ARow > rowCount())
    return {};
  const QTableWidgetItem *Item = ARow == 0 ? horizontalHeaderItem(ACol) : item(ARow - 1, ACol);
  return Item ? QStringToAnsi(Item->text()) : std::string();
}

void TProcedureGrid::SetCells(int ACol, int ARow, const std::string &AText) {
  if (ACol < 0 || ACol >= columnCount() || ARow < 0 || ARow > rowCount())
    return;
  if (ARow == 0) {
    if (!horizontalHeaderItem(ACol))
      setHorizontalHeaderItem(ACol, new QTableWidgetItem);
    horizontalHeaderItem(ACol)->setText(AnsiToQString(AText));
    return;
  }
  if (QTableWidgetItem *Item = item(ARow - 1, ACol))
    Item->setText(AnsiToQString(AText));
  else
    setItem(ARow - 1, ACol, new QTableWidgetItem(AnsiToQString(AText)));
}

QPoint TProcedureGrid::CurrentCell() const {
  const QModelIndex Index = currentIndex();
  return Index.isValid() ? QPoint(Index.column(), Index.row() + 1) : QPoint(-1, -1);
}

void TProcedureGrid::SetCurrentCell(int ACol, int ARow) {
  setCurrentIndex(model()->index(ARow - 1, ACol));
}

TProcedureGrid::TFrame TProcedureGrid::CellFrame(int ACol, int ARow) const {
  TFrame Frame;
  if (ARow < 1 || !ColumnDimension)
    return Frame;
  const int Own = ColumnDimension(ACol);
  const int Before = ACol > 0 ? ColumnDimension(ACol - 1) : 0;
  const int After = ACol + 1 < columnCount() ? ColumnDimension(ACol + 1) : 0;
  if (ARow <= Own) {
    Frame.Left = Frame.Bottom = Frame.Right = true;
    Frame.Top = ARow >= 2;
  } else {
    Frame.Left = ARow <= Before;
    Frame.Right = ARow <= After;
    Frame.Top = ARow - 1 <= Own && ARow > 1; // closes the last cell above
  }
  return Frame;
}

std::string TProcedureGrid::HintAt(const QPoint &APosition) const {
  const QModelIndex Index = indexAt(APosition);
  if (!Index.isValid())
    return {};
  const std::string Text = Cells(Index.column(), Index.row() + 1);
  const int TextWidth = fontMetrics().horizontalAdvance(AnsiToQString(" " + Text + " "));
  return CellHintText(Text, TextWidth, columnWidth(Index.column()));
}

bool TProcedureGrid::viewportEvent(QEvent *AEvent) {
  if (AEvent->type() == QEvent::MouseMove) {
    const QPoint Position = static_cast<QMouseEvent *>(AEvent)->position().toPoint();
    const std::string Hint = HintAt(Position);
    if (Hint != FHint) {
      // A changed hint is taken down and, when there is one, shown again at once.
      FHint = Hint;
      QToolTip::hideText();
      if (!FHint.empty())
        QToolTip::showText(viewport()->mapToGlobal(Position),
                           AnsiToQString(FHint.substr(0, FHint.find('|'))), viewport());
    }
  } else if (AEvent->type() == QEvent::ToolTip) {
    if (FHint.empty())
      QToolTip::hideText();
    else
      QToolTip::showText(static_cast<QHelpEvent *>(AEvent)->globalPos(),
                         AnsiToQString(FHint.substr(0, FHint.find('|'))), viewport());
    return true;
  }
  return QTableWidget::viewportEvent(AEvent);
}

bool TProcedureGrid::edit(const QModelIndex &AIndex, EditTrigger ATrigger, QEvent *AEvent) {
  if (AIndex.isValid() && CanSelectCell && !CanSelectCell(AIndex.column(), AIndex.row() + 1))
    return false;
  return QTableWidget::edit(AIndex, ATrigger, AEvent);
}

void TProcedureGrid::CommitEditor() {
  if (state() != QAbstractItemView::EditingState)
    return;
  // The open editor is a child of the viewport.
  const QList<QWidget *> Editors = viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
  for (QWidget *Editor : Editors)
    if (Editor->isVisible()) {
      commitData(Editor);
      closeEditor(Editor, QAbstractItemDelegate::NoHint);
      return;
    }
}

void TProcedureGrid::CopyCurrentCell() {
  const QPoint Cell = CurrentCell();
  if (Cell.x() >= 0)
    QApplication::clipboard()->setText(AnsiToQString(Cells(Cell.x(), Cell.y())));
}

void TProcedureGrid::CutCurrentCell() {
  CopyCurrentCell();
  const QPoint Cell = CurrentCell();
  if (FInput && Cell.x() >= 0)
    SetCells(Cell.x(), Cell.y(), "");
}

void TProcedureGrid::PasteIntoCurrentCell() {
  const QPoint Cell = CurrentCell();
  if (FInput && Cell.x() >= 0)
    SetCells(Cell.x(), Cell.y(), QStringToAnsi(QApplication::clipboard()->text()));
}

void TProcedureGrid::keyPressEvent(QKeyEvent *AEvent) {
  // Exactly the one modifier, and no mouse button held.
  const Qt::KeyboardModifiers Modifiers =
      AEvent->modifiers() &
      (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if (QApplication::mouseButtons() == Qt::NoButton) {
    const int Key = AEvent->key();
    const bool Ctrl = Modifiers == Qt::ControlModifier, Shift = Modifiers == Qt::ShiftModifier;
    if ((Ctrl && Key == Qt::Key_Insert) || (Ctrl && Key == Qt::Key_C)) {
      CopyCurrentCell();
      return;
    }
    if ((Shift && Key == Qt::Key_Delete) || (Ctrl && Key == Qt::Key_X)) {
      CutCurrentCell();
      return;
    }
    if ((Shift && Key == Qt::Key_Insert) || (Ctrl && Key == Qt::Key_V)) {
      PasteIntoCurrentCell();
      return;
    }
  }
  QTableWidget::keyPressEvent(AEvent);
}

// ---- Form ------------------------------------------------------------------------------------

TProcedureForm::TCallFactory TProcedureForm::CallFactory =
    [](TProcedureForm &AForm) -> std::unique_ptr<TProcedureCall> {
  return std::make_unique<TStoredProcCall>(AForm);
};

TProcedureForm::TProcedureForm(QWidget *AParent) : TForm(AParent) {
  setObjectName("ProcedureForm");
  setWindowTitle("Procedure Test");
  resize(546, 209);
  auto *Layout = new TAlignedLayout(this);
  Layout->DisableAlign();

  TopPanel = new QWidget(this);
  TopPanel->setObjectName("TopPanel");
  TopPanel->setGeometry(0, 0, 546, 21);
  auto *TopLayout = new TAlignedLayout(TopPanel);
  TopLayout->DisableAlign();
  auto *Refreshing = new TDropDownComboBox(TopPanel);
  Refreshing->OnDropDown = [this] { TApplication::Guard([this] { RefreshProcedureList(); }); };
  ProcedureComboBox = Refreshing;
  ProcedureComboBox->setObjectName("ProcedureComboBox");
  ProcedureComboBox->setEditable(false);
  ProcedureComboBox->setMaxVisibleItems(20);
  ProcedureComboBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  ProcedureComboBox->setMinimumContentsLength(8);
  ProcedureComboBox->setGeometry(0, 0, 471, 21);
  DistancePanel1 = new QWidget(TopPanel);
  DistancePanel1->setObjectName("DistancePanel1");
  DistancePanel1->setGeometry(471, 0, 2, 21);
  GoButton = new QPushButton("Go !", TopPanel);
  GoButton->setObjectName("GoButton");
  GoButton->setGeometry(473, 0, 73, 21);
  GoButton->setDefault(true);
  SetAlign(ProcedureComboBox, alClient);
  SetAlign(DistancePanel1, alRight);
  SetAlign(GoButton, alRight);
  TopLayout->EnableAlign();

  DistancePanel2 = new QWidget(this);
  DistancePanel2->setObjectName("DistancePanel2");
  DistancePanel2->setGeometry(0, 21, 546, 20);
  Label1 = new QLabel("Input:", DistancePanel2);
  Label1->setObjectName("Label1");
  Label1->move(5, 3);
  Label2 = new QLabel("Output:", DistancePanel2);
  Label2->setObjectName("Label2");
  Label2->move(280, 3);

  InputStringGrid = new TProcedureGrid(true, this);
  InputStringGrid->setObjectName("InputStringGrid");
  InputStringGrid->setGeometry(0, 41, 273, 168);
  Splitter = new TSplitter(this);
  Splitter->setObjectName("Splitter");
  Splitter->setGeometry(273, 41, 2, 168);
  OutputStringGrid = new TProcedureGrid(false, this);
  OutputStringGrid->setObjectName("OutputStringGrid");
  OutputStringGrid->setGeometry(275, 41, 271, 168);
  SetAlign(TopPanel, alTop);
  SetAlign(DistancePanel2, alTop);
  SetAlign(InputStringGrid, alLeft);
  SetAlign(Splitter, alLeft);
  SetAlign(OutputStringGrid, alClient);
  Layout->EnableAlign();
  Splitter->SetControlFirst(InputStringGrid);
  Splitter->SetControlSecond(OutputStringGrid);
  Splitter->Loaded();
  Splitter->OnMove = [this](TObject *) { TApplication::Guard([this] { SplitterMove(); }); };

  for (TProcedureGrid *Grid : {InputStringGrid, OutputStringGrid}) {
    Grid->ColumnDimension = [this, Grid](int ACol) {
      TParam *Param = ColumnParam(*Grid, ACol);
      return Param ? int(Param->Dimension()) : 0;
    };
    ResetGrid(*Grid);
    Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  InputStringGrid->CanSelectCell = [this](int ACol, int ARow) {
    if (ACol == 0 && ARow == 1)
      return true;
    TParam *Param = ColumnParam(*InputStringGrid, ACol);
    return Param && ARow <= Param->Dimension();
  };

  Query = new TOracleQuery(this);
  Query->SetName("Query");
  Query->SetDatabaseName("Database");
  Query->Fields().SetDimension(10);

  connect(ProcedureComboBox, &QComboBox::activated, this,
          Guarded([this] { ProcedureComboBoxChange(); }));
  connect(GoButton, &QPushButton::clicked, this, Guarded([this] { GoButtonClick(); }));
}

TProcedureForm::~TProcedureForm() { WindowsHost().UpdateClientEdge(); }

TProcedureForm *TProcedureForm::Create(TWindowsHost &AHost,
                                       const TProcedureDesktopValues *ADesktop) {
  if (TOracleDatabase *Database = AHost.MainDatabase())
    Database->SetConnected(true);
  auto Created = std::make_unique<TProcedureForm>();
  Created->FormCreate(); // a failure frees the window before the frame has it
  TProcedureForm *Form = Created.release();
  AHost.AddChild(Form);
  if (ADesktop)
    Form->ApplyDesktopValues(*ADesktop);
  Form->FormResize();
  return Form;
}

void TProcedureForm::FormCreate() {
  FCall = CallFactory(*this);
  FSplitRatio = 0.5;
  RefreshProcedureList();
}

void TProcedureForm::RefreshProcedureList() {
  TStringList Names;
  FCall->GetProcedureList(Names);
  const QString Chosen =
      ProcedureComboBox->currentIndex() >= 0 ? ProcedureComboBox->currentText() : QString();
  const QSignalBlocker Quiet(ProcedureComboBox);
  ProcedureComboBox->clear();
  for (int i = 0; i < Names.Count(); ++i)
    ProcedureComboBox->addItem(AnsiToQString(Names[i]));
  ProcedureComboBox->setCurrentIndex(Chosen.isEmpty() ? -1 : ProcedureComboBox->findText(Chosen));
}

TProcedureDesktopValues TProcedureForm::ReadDesktopRecord(TValueReader &AReader) {
  TProcedureDesktopValues Values;
  std::array<std::uint8_t, TWindowPlacement::RecordSize> Bytes;
  AReader.Read(Bytes.data(), Bytes.size());
  Values.Placement = TWindowPlacement::FromBytes(Bytes);
  const double Ratio = AReader.ReadFloat();
  // A ratio no layout can have (a damaged file) gives the even split.
  Values.SplitRatio = std::isfinite(Ratio) ? std::clamp(Ratio, 0.0, 1.0) : 0.5;
  Values.ProcedureName = AReader.ReadString();
  for (std::vector<int> *Widths : {&Values.InputWidths, &Values.OutputWidths}) {
    const std::int64_t Count = AReader.ReadCount();
    for (std::int64_t i = 0; i < Count; ++i)
      Widths->push_back(int(std::clamp<std::int64_t>(AReader.ReadInteger(), 0, WidthLimit)));
  }
  return Values;
}

void TProcedureForm::RestoreFromDesktop(TWindowsHost &AHost, TValueReader &AReader) {
  const TProcedureDesktopValues Values = ReadDesktopRecord(AReader);
  TApplication::Guard([&] { Create(AHost, &Values); });
}

void TProcedureForm::ApplyDesktopValues(const TProcedureDesktopValues &AValues) {
  if (auto *Window = qobject_cast<QMdiSubWindow *>(parentWidget()))
    SetWindowPlacement(*Window, AValues.Placement);
  FSplitRatio = AValues.SplitRatio;
  std::exception_ptr Error;
  try {
    ChooseProcedure(AValues.ProcedureName);
  } catch (...) {
    Error = std::current_exception();
  }
  // Only columns the procedure still has take a width.
  const std::pair<TProcedureGrid *, const std::vector<int> *> Grids[] = {
      {InputStringGrid, &AValues.InputWidths}, {OutputStringGrid, &AValues.OutputWidths}};
  for (const auto &[Grid, Widths] : Grids)
    for (int c = 0; c < int(Widths->size()) && c < Grid->ColCount(); ++c)
      Grid->SetColWidths(c, (*Widths)[std::size_t(c)]);
  FormResize();
  if (Error)
    std::rethrow_exception(Error);
}

void TProcedureForm::WriteDesktopValues(TValueWriter &AWriter) {
  AWriter.WriteFloat(FSplitRatio);
  AWriter.WriteString(ProcedureText());
  for (TProcedureGrid *Grid : {InputStringGrid, OutputStringGrid}) {
    AWriter.WriteInteger(Grid->ColCount());
    for (int c = 0; c < Grid->ColCount(); ++c)
      AWriter.WriteInteger(Grid->ColWidths(c));
  }
}

std::vector<std::string> TProcedureForm::ProcedureNames() const {
  std::vector<std::string> Result;
  for (int i = 0; i < ProcedureComboBox->count(); ++i)
    Result.push_back(QStringToAnsi(ProcedureComboBox->itemText(i)));
  return Result;
}

std::string TProcedureForm::ProcedureText() const {
  return QStringToAnsi(ProcedureComboBox->currentText());
}

void TProcedureForm::ChooseProcedure(const std::string &AName) {
  ProcedureComboBox->setCurrentIndex(
      ProcedureComboBox->findText(AnsiToQString(AName), Qt::MatchExactly | Qt::MatchCaseSensitive));
  ProcedureComboBoxChange();
}

TParam *TProcedureForm::ColumnParam(const TProcedureGrid &AGrid, int ACol) const {
  if (!FCall)
    return nullptr;
  const std::string Name = AGrid.Cells(ACol, 0);
  if (Name.empty() || Name == NoParameters)
    return nullptr;
  return FCall->Params().FindParam(Name);
}

bool TProcedureForm::HasParameters(const TProcedureGrid &AGrid) const {
  return AGrid.Cells(0, 0) != NoParameters;
}

void TProcedureForm::ResetGrid(TProcedureGrid &AGrid) {
  AGrid.clearContents();
  AGrid.SetColCount(1);
  AGrid.SetRowCount(2);
  AGrid.SetColWidths(0, TProcedureGrid::DefaultColWidth);
  AGrid.SetCells(0, 0, NoParameters);
}

void TProcedureForm::AddColumn(TProcedureGrid &AGrid, const std::string &AName) {
  if (HasParameters(AGrid))
    AGrid.SetColCount(AGrid.ColCount() + 1);
  AGrid.SetCells(AGrid.ColCount() - 1, 0, AName);
}

void TProcedureForm::ProcedureComboBoxChange() {
  std::exception_ptr Error;
  try {
    FCall->SetProcedureName(ProcedureText());
  } catch (...) {
    // The grids must not go on showing columns of a procedure that is no longer described.
    Error = std::current_exception();
  }
  ResetGrid(*InputStringGrid);
  ResetGrid(*OutputStringGrid);
  if (!Error) {
    TParams &Params = FCall->Params();
    for (int i = 0; i < Params.Count(); ++i) {
      TParam *Param = Params.Items(i);
      if (Param->Kind() != oOutput) {
        AddColumn(*InputStringGrid, Param->ParamName());
        if (Param->Dimension() + 1 > InputStringGrid->RowCount())
          InputStringGrid->SetRowCount(Param->Dimension() + 1);
      }
      if (Param->Kind() != oInput)
        AddColumn(*OutputStringGrid, Param->ParamName());
    }
  }
  for (TProcedureGrid *Grid : {InputStringGrid, OutputStringGrid}) {
    const Qt::ScrollBarPolicy Policy =
        HasParameters(*Grid) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    Grid->setHorizontalScrollBarPolicy(Policy);
    Grid->setVerticalScrollBarPolicy(Policy);
    Grid->SetCurrentCell(0, 1);
  }
  FormResize();
  InputStringGrid->viewport()->update();
  OutputStringGrid->viewport()->update();
  if (Error)
    std::rethrow_exception(Error);
}

void TProcedureForm::GoButtonClick() {
  // An empty call block would only come back as the server's "invalid SQL statement".
  if (ProcedureText().empty())
    throw Exception("No procedure chosen.");
  InputStringGrid->CommitEditor();
  TParams &Params = FCall->Params();
  Params.ClearValues();
  if (HasParameters(*InputStringGrid)) {
    for (int c = 0; c < InputStringGrid->ColCount(); ++c) {
      TParam *Param = ColumnParam(*InputStringGrid, c);
      if (!Param)
        continue;
      const int Rows = std::min<int>(Param->Dimension(), InputStringGrid->RowCount() - 1);
      int Last = 0;
      for (int r = 1; r <= Rows; ++r)
        if (!InputStringGrid->Cells(c, r).empty())
          Last = r;
      for (int r = 1; r <= Last; ++r)
        Param->SetRowAsString(r - 1, InputStringGrid->Cells(c, r));
    }
  }
  std::exception_ptr CallError, DrainError;
  try {
    FCall->Execute();
  } catch (...) {
    CallError = std::current_exception();
  }
  // The output written before a failure is wanted most of all.
  try {
    TDBMSOutputForm::DrainRegistered();
  } catch (...) {
    DrainError = std::current_exception();
  }
  if (CallError)
    std::rethrow_exception(CallError);
  FillOutputs();
  if (DrainError)
    std::rethrow_exception(DrainError);
}

void TProcedureForm::FillOutputs() {
  if (!HasParameters(*OutputStringGrid))
    return;
  for (int c = 0; c < OutputStringGrid->ColCount(); ++c) {
    TParam *Param = ColumnParam(*OutputStringGrid, c);
    if (!Param)
      continue;
    const int Rows = std::clamp<int>(Param->RowCount(), 0, Param->Dimension());
    if (OutputStringGrid->RowCount() < Rows + 1)
      OutputStringGrid->SetRowCount(Rows + 1);
    for (int i = 0; i < Rows; ++i)
      OutputStringGrid->SetCells(c, i + 1, Param->RowAsString(i));
  }
  OutputStringGrid->viewport()->update();
}

void TProcedureForm::FormResize() {
  const int ClientWidth = width();
  InputStringGrid->resize(int(std::lround(ClientWidth * FSplitRatio)), InputStringGrid->height());
  if (auto *Aligned = dynamic_cast<TAlignedLayout *>(layout()))
    Aligned->AlignControls();
  Label2->move(OutputStringGrid->x() + 5, Label2->y());
  for (TProcedureGrid *Grid : {InputStringGrid, OutputStringGrid})
    if (!HasParameters(*Grid))
      Grid->SetColWidths(0, std::max(0, Grid->width() - 5));
}

void TProcedureForm::SplitterMove() {
  if (width() > 0)
    FSplitRatio = double(InputStringGrid->width()) / width();
  FormResize();
}

void TProcedureForm::resizeEvent(QResizeEvent *AEvent) {
  TForm::resizeEvent(AEvent);
  FormResize();
  WindowsHost().UpdateClientEdge();
}
