// The terminal window: statement box with history, Go, the result grid and its menu.
#include "windows/TerminalUnit.h"
#include "classes/CodePage.h"

#include "db/SqlFunctionCodes.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/AlignedLayout.h"
#include "classes/Application.h"
#include "classes/WindowPlacement.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include <QBrush>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace {

// A cell's text as a tooltip: escaped, so markup in the data shows as the characters it is.
QString PlainTip(const QString &AText) {
  return "<p style='white-space:pre'>" + AText.toHtmlEscaped() + "</p>";
}

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

std::vector<int> FitWidths(const std::vector<int> &ATextWidths, int AAvailable) {
  double Total = 1;
  for (int Width : ATextWidths)
    Total += Width + 1;
  const double Factor = AAvailable / Total;
  std::vector<int> Result;
  Result.reserve(ATextWidths.size());
  for (int Width : ATextWidths)
    Result.push_back(int(std::nearbyint(Width * Factor))); // the default mode rounds half to even
  return Result;
}

// ---- Model -----------------------------------------------------------------------------------

void TTerminalGridModel::SetTable(std::vector<std::string> AHeader,
                                  std::vector<std::vector<std::string>> ACells, int ARowCount) {
  beginResetModel();
  FHeader = std::move(AHeader);
  FCells = std::move(ACells);
  FCells.resize(FHeader.size());
  FRowCount = std::max(0, ARowCount);
  for (auto &Column : FCells)
    Column.resize(std::size_t(FRowCount));
  FNumeric.clear();
  FNull.clear();
  endResetModel();
}

void TTerminalGridModel::SetValueKinds(std::vector<bool> ANumeric,
                                       std::vector<std::vector<bool>> ANull) {
  FNumeric = std::move(ANumeric);
  FNull = std::move(ANull);
  if (FRowCount > 0 && ColumnCount() > 0)
    emit dataChanged(index(0, 0), index(FRowCount - 1, ColumnCount() - 1));
}

bool TTerminalGridModel::IsNumeric(int AColumn) const {
  return AColumn >= 0 && std::size_t(AColumn) < FNumeric.size() && FNumeric[std::size_t(AColumn)];
}

bool TTerminalGridModel::IsNull(int AColumn, int ARow) const {
  if (AColumn < 0 || std::size_t(AColumn) >= FNull.size())
    return false;
  const std::vector<bool> &Column = FNull[std::size_t(AColumn)];
  return ARow >= 0 && std::size_t(ARow) < Column.size() && Column[std::size_t(ARow)];
}

int TTerminalGridModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : FRowCount;
}

int TTerminalGridModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : ColumnCount();
}

QVariant TTerminalGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (!AIndex.isValid() || AIndex.column() >= ColumnCount() || AIndex.row() >= FRowCount)
    return {};
  const bool Null = IsNull(AIndex.column(), AIndex.row());
  switch (ARole) {
  case Qt::DisplayRole:
    return Null ? QStringLiteral("(null)") : AnsiToQString(Cell(AIndex.column(), AIndex.row()));
  case Qt::ForegroundRole:
    return Null ? QVariant(QBrush(Qt::gray)) : QVariant();
  case Qt::TextAlignmentRole:
    return IsNumeric(AIndex.column()) ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                      : QVariant();
  default:
    return {};
  }
}

QVariant TTerminalGridModel::headerData(int ASection, Qt::Orientation AOrientation,
                                        int ARole) const {
  if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= ColumnCount())
    return {};
  if (ARole == Qt::DisplayRole)
    return AnsiToQString(Header(ASection));
  if (ARole == Qt::TextAlignmentRole)
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags TTerminalGridModel::flags(const QModelIndex &AIndex) const {
  if (!AIndex.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// ---- Grid ------------------------------------------------------------------------------------

TTerminalGrid::TTerminalGrid(QWidget *AParent) : QTableView(AParent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setShowGrid(true);
  setWordWrap(false);
  // Cut-off text is clipped as in any string grid; the hint shows the rest.
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(
      std::max(TTerminalForm::DefaultRowHeight, fontMetrics().height() + 2));
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setMinimumSectionSize(0);
  horizontalHeader()->setDefaultSectionSize(TTerminalForm::DefaultColWidth);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setTextElideMode(Qt::ElideNone);
  horizontalHeader()->viewport()->installEventFilter(this);
  setMouseTracking(true);
}

QString TTerminalGrid::CellHint(const QString &AText, int AWidth) const {
  if (AWidth < fontMetrics().horizontalAdvance(" " + AText + " "))
    return AText;
  return {};
}

QString TTerminalGrid::HintAt(const QPoint &APosition) const {
  const QModelIndex Index = indexAt(APosition);
  if (!Index.isValid())
    return {};
  return CellHint(Index.data().toString(), visualRect(Index).width());
}

QString TTerminalGrid::HeaderHintAt(const QPoint &APosition) const {
  const int Section = horizontalHeader()->logicalIndexAt(APosition);
  if (Section < 0 || !model())
    return {};
  return CellHint(model()->headerData(Section, Qt::Horizontal).toString(),
                  horizontalHeader()->sectionSize(Section));
}

void TTerminalGrid::ShowCellHint(const QPoint &APosition, const QPoint &AGlobalPosition) {
  FHintCell = indexAt(APosition);
  const QString Hint = HintAt(APosition);
  if (Hint.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(AGlobalPosition, PlainTip(Hint), viewport());
}

bool TTerminalGrid::viewportEvent(QEvent *AEvent) {
  switch (AEvent->type()) {
  case QEvent::ToolTip: {
    auto *Help = static_cast<QHelpEvent *>(AEvent);
    ShowCellHint(Help->pos(), Help->globalPos());
    return true;
  }
  case QEvent::MouseMove: {
    // A hint on show follows the mouse from cell to cell at once.
    auto *Mouse = static_cast<QMouseEvent *>(AEvent);
    const QPoint Position = Mouse->position().toPoint();
    if (QToolTip::isVisible() && indexAt(Position) != FHintCell)
      ShowCellHint(Position, Mouse->globalPosition().toPoint());
    break;
  }
  case QEvent::Leave:
    FHintCell = QPersistentModelIndex();
    break;
  default:
    break;
  }
  return QTableView::viewportEvent(AEvent);
}

bool TTerminalGrid::eventFilter(QObject *AWatched, QEvent *AEvent) {
  if (AWatched == horizontalHeader()->viewport() && AEvent->type() == QEvent::ToolTip) {
    auto *Help = static_cast<QHelpEvent *>(AEvent);
    const QString Hint = HeaderHintAt(Help->pos());
    if (Hint.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(Help->globalPos(), PlainTip(Hint), horizontalHeader()->viewport());
    return true;
  }
  return QTableView::eventFilter(AWatched, AEvent);
}

void TTerminalGrid::CopyCurrentCell() {
  const QModelIndex Index = currentIndex();
  if (Index.isValid())
    QGuiApplication::clipboard()->setText(Index.data().toString());
}

void TTerminalGrid::keyPressEvent(QKeyEvent *AEvent) {
  const Qt::KeyboardModifiers Modifiers =
      AEvent->modifiers() &
      (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  const int Key = AEvent->key();
  const bool NoButton = QGuiApplication::mouseButtons() == Qt::NoButton;
  const bool Copy = (Modifiers == Qt::ControlModifier && (Key == Qt::Key_C || Key == Qt::Key_X)) ||
                    (NoButton && Modifiers == Qt::ControlModifier && Key == Qt::Key_Insert) ||
                    (NoButton && Modifiers == Qt::ShiftModifier && Key == Qt::Key_Delete);
  if (Copy) {
    CopyCurrentCell();
    AEvent->accept();
    return;
  }
  QTableView::keyPressEvent(AEvent);
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
  CommandBox = new QComboBox(TopPanel);
  CommandBox->setObjectName("CommandBox");
  CommandBox->setEditable(true);
  // Only a statement that ran goes into the history, and Enter means Go.
  CommandBox->setInsertPolicy(QComboBox::NoInsert);
  CommandBox->setMaxVisibleItems(DropDownCount);
  CommandBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  CommandBox->setMinimumContentsLength(8);
  const int TopHeight = std::max(21, CommandBox->sizeHint().height());
  TopPanel->setGeometry(0, 0, 425, TopHeight);
  CommandBox->setGeometry(0, 0, 350, TopHeight);
  DistancePanel1 = new QWidget(TopPanel);
  DistancePanel1->setObjectName("DistancePanel1");
  DistancePanel1->setGeometry(350, 0, 2, TopHeight);
  GoButton = new QPushButton("Go !", TopPanel);
  GoButton->setObjectName("GoButton");
  GoButton->setGeometry(352, 0, 73, TopHeight);
  GoButton->setDefault(true);
  SetAlign(GoButton, alRight);
  SetAlign(DistancePanel1, alRight);
  SetAlign(CommandBox, alClient);
  TopLayout->EnableAlign();

  DistancePanel2 = new QWidget(this);
  DistancePanel2->setObjectName("DistancePanel2");
  DistancePanel2->setGeometry(0, TopHeight, 425, 1);
  StringGrid = new TTerminalGrid(this);
  StringGrid->setObjectName("StringGrid");
  StringGrid->setGeometry(0, TopHeight + 1, 425, 140 - TopHeight - 1);
  GridModel = new TTerminalGridModel(StringGrid);
  GridModel->SetTable({""}, {{""}}, 1); // one column and the header row over one empty row
  StringGrid->setModel(GridModel);
  SetAlign(TopPanel, alTop);
  SetAlign(DistancePanel2, alTop);
  SetAlign(StringGrid, alClient);
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
  // The default button: Enter in the statement box runs it.
  connect(CommandBox->lineEdit(), &QLineEdit::returnPressed, GoButton, &QPushButton::click);
}

TTerminalForm::~TTerminalForm() { WindowsHost().UpdateClientEdge(); }

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
  // Changing the items may select one into the edit field; the statement typed there stays.
  const QString Text = CommandBox->currentText();
  CommandBox->clear();
  for (const std::string &Entry : AHistory)
    CommandBox->addItem(AnsiToQString(Entry));
  CommandBox->setEditText(Text);
}

std::string TTerminalForm::CommandText() const { return QStringToAnsi(CommandBox->currentText()); }

void TTerminalForm::SetCommandText(const std::string &AText) {
  CommandBox->setEditText(AnsiToQString(AText));
}

void TTerminalForm::GoButtonClick() {
  // A connection that fails here is the application's error to report.
  if (TDatabaseLite *Database = Session.FindDatabase(Query->DatabaseName()))
    Database->SetConnected(true);
  const std::string Statement = CommandText();
  Query->SetSQL(Statement);
  TApplication::Guard([&] {
    // A limit below one row would leave nothing to show, not even the column names.
    const int Limit = std::max(1, WindowsHost().Configuration().TerminalBufferLimit());
    Query->SetPrepared(true);
    if (Query->FunctionCode() == fcSelect)
      ShowQueryRows(Limit);
    else
      ShowSuccess(Query->FunctionCode());
    std::vector<std::string> Entries = History();
    if (AddToHistory(Entries, Statement, DropDownCount))
      SetHistory(Entries);
  });
}

int TTerminalForm::FetchBatchRows(int ALimit) {
  std::int64_t RowBytes = 0;
  TFields &Fields = Query->Fields();
  for (int i = 0; i < Fields.Count(); ++i) // the value, its indicator, length and return code
    RowBytes += std::max(Fields.Items(i)->ItemSize(), 1) + 8;
  const std::int64_t Rows = RowBytes > 0 ? std::int64_t(FetchBufferBytes) / RowBytes : ALimit;
  return int(std::clamp<std::int64_t>(Rows, 1, ALimit));
}

void TTerminalForm::ShowQueryRows(int ALimit) {
  // The first ALimit rows and never more; a large limit over wide columns is fetched in
  // batches so that the field buffers stay within FetchBufferBytes.
  const int Batch = FetchBatchRows(ALimit);
  TFields &Fields = Query->Fields();
  Fields.SetDimension(Batch);
  std::vector<std::string> Header;
  std::vector<std::vector<std::string>> Cells(std::size_t(Fields.Count()));
  std::vector<std::vector<bool>> Nulls(std::size_t(Fields.Count()));
  std::vector<bool> Numeric;
  Header.reserve(std::size_t(Fields.Count()));
  for (int i = 0; i < Fields.Count(); ++i) {
    Header.push_back(Fields.Items(i)->ParamName());
    const TParamType Type = Fields.Items(i)->DataType();
    Numeric.push_back(Type == oNumber || Type == oInteger);
  }
  int Rows = 0;
  auto Take = [&] {
    const int Count = std::clamp(Query->RowsProcessed(), 0, std::min(Batch, ALimit - Rows));
    for (int i = 0; i < Fields.Count(); ++i) {
      TParam *Field = Fields.Items(i);
      std::vector<std::string> &Column = Cells[std::size_t(i)];
      for (int j = 0; j < Count; ++j) {
        Column.push_back(Field->RowAsString(j));
        Nulls[std::size_t(i)].push_back(Field->RowIsNull(j));
      }
    }
    Rows += Count;
  };
  Query->ExecuteFetch(Batch, Batch >= ALimit);
  Take();
  while (Rows < ALimit && Query->State() == TDataSetState::Fetching) {
    Query->FetchNext(std::min(Batch, ALimit - Rows));
    Take();
  }
  // Further rows are never shown: the cursor's fetch ends here.
  Query->EndFetch();
  // No rows: the column names over one empty row.
  const std::vector<int> Widths = ColumnWidths();
  const bool Again = Query->SQL() == FShownQuery && int(Header.size()) == GridModel->ColumnCount();
  GridModel->SetTable(std::move(Header), std::move(Cells), std::max(Rows, 1));
  GridModel->SetValueKinds(std::move(Numeric), std::move(Nulls));
  FShownQuery = Query->SQL();
  // The same query run again keeps the user's widths; a new result is fitted to what it shows.
  const std::vector<int> Fitted = Again ? Widths : FittedWidths();
  for (int i = 0; i < GridModel->ColumnCount(); ++i)
    StringGrid->setColumnWidth(i, Fitted[std::size_t(i)]);
}

std::vector<int> TTerminalForm::FittedWidths() const {
  const QFontMetrics Metrics(StringGrid->font());
  const int Cap = Metrics.horizontalAdvance(QString(MaxFittedChars + 2, QLatin1Char('0')));
  std::vector<int> Result = TextWidths();
  for (int &Width : Result)
    Width = std::min(Width, Cap);
  return Result;
}

void TTerminalForm::ShowSuccess(int AFunctionCode) {
  Query->Execute();
  FShownQuery.clear();
  const std::vector<int> Widths = ColumnWidths();
  GridModel->SetTable({"Result"}, {{std::string(StatementKindName(AFunctionCode)) + " Success"}},
                      1);
  StringGrid->setColumnWidth(0, Widths.empty() ? DefaultColWidth : Widths.front());
  TerminalFitToWindowItemClick();
}

std::vector<int> TTerminalForm::ColumnWidths() const {
  std::vector<int> Result;
  for (int i = 0; i < GridModel->ColumnCount(); ++i)
    Result.push_back(StringGrid->columnWidth(i));
  return Result;
}

std::vector<int> TTerminalForm::TextWidths() const {
  const QFontMetrics Metrics(StringGrid->font());
  std::vector<int> Result;
  for (int i = 0; i < GridModel->ColumnCount(); ++i) {
    // The header counts too, so no column name is cut.
    int Widest = Metrics.horizontalAdvance(" " + AnsiToQString(GridModel->Header(i)) + " ");
    for (int j = 0; j < GridModel->DataRowCount(); ++j)
      Widest =
          std::max(Widest, Metrics.horizontalAdvance(
                               " " + GridModel->data(GridModel->index(j, i)).toString() + " "));
    Result.push_back(Widest);
  }
  return Result;
}

void TTerminalForm::TerminalDefaultArrangementItemClick() {
  for (int i = 0; i < GridModel->ColumnCount(); ++i)
    StringGrid->setColumnWidth(i, DefaultColWidth);
}

void TTerminalForm::TerminalFitToTextItemClick() {
  const std::vector<int> Widths = TextWidths();
  for (std::size_t i = 0; i < Widths.size(); ++i)
    StringGrid->setColumnWidth(int(i), Widths[i]);
}

void TTerminalForm::TerminalFitToWindowItemClick() {
  // The width the columns can fill without a horizontal scroll bar: the grid's own area.
  const std::vector<int> Widths =
      FitWidths(TextWidths(), StringGrid->maximumViewportSize().width() -
                                  (StringGrid->verticalScrollBar()->isVisible()
                                       ? StringGrid->verticalScrollBar()->width()
                                       : 0));
  for (std::size_t i = 0; i < Widths.size(); ++i)
    StringGrid->setColumnWidth(int(i), Widths[i]);
}

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
