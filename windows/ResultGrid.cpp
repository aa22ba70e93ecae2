// The result grid: model over the fetched rows, the table view's keys, hints and fetch-on
// triggers, and the panel with the status line, the clipboard and CSV export.
#include "windows/ResultGrid.h"

#include "classes/Application.h"
#include "classes/CodePage.h"
#include "classes/Streams.h"
#include "db/SqlApiQuery.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace {

// A cell's text as a tooltip: escaped, so markup in the data shows as the characters it is.
QString PlainTip(const QString &AText) {
  return "<p style='white-space:pre'>" + AText.toHtmlEscaped() + "</p>";
}

Qt::KeyboardModifiers KeyModifiers(const QKeyEvent *AEvent) {
  return AEvent->modifiers() &
         (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

bool IsCopyAllKey(const QKeyEvent *AEvent) {
  return KeyModifiers(AEvent) == (Qt::ControlModifier | Qt::ShiftModifier) &&
         AEvent->key() == Qt::Key_C;
}

bool IsSelectAllKey(const QKeyEvent *AEvent) {
  return KeyModifiers(AEvent) == Qt::ControlModifier && AEvent->key() == Qt::Key_A;
}

// Ctrl+C, Ctrl+X, and, with no mouse button held, Ctrl+Insert and Shift+Delete.
bool IsCopyKey(const QKeyEvent *AEvent) {
  const Qt::KeyboardModifiers Modifiers = KeyModifiers(AEvent);
  const int Key = AEvent->key();
  const bool NoButton = QGuiApplication::mouseButtons() == Qt::NoButton;
  return (Modifiers == Qt::ControlModifier && (Key == Qt::Key_C || Key == Qt::Key_X)) ||
         (NoButton && Modifiers == Qt::ControlModifier && Key == Qt::Key_Insert) ||
         (NoButton && Modifiers == Qt::ShiftModifier && Key == Qt::Key_Delete);
}

} // namespace

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

std::string ResultStatusText(int ARows, bool AMore, std::chrono::steady_clock::duration AElapsed) {
  char Time[32];
  std::snprintf(Time, sizeof Time, "%.3f s", std::chrono::duration<double>(AElapsed).count());
  return std::to_string(ARows) + (ARows == 1 ? " row" : " rows") + " fetched" +
         (AMore ? ", more rows, " : ", ") + Time;
}

// ---- Model -----------------------------------------------------------------------------------

void TResultGridModel::SetTable(std::vector<std::string> AHeader,
                                std::vector<std::vector<std::string>> ACells, int ARowCount) {
  beginResetModel();
  const std::size_t Columns = AHeader.size();
  FRows.Reset(std::move(AHeader));
  FTyped = false;
  ACells.resize(Columns);
  std::vector<std::string_view> Cells(Columns);
  const std::vector<bool> Nulls(Columns, false);
  for (int j = 0; j < std::max(0, ARowCount); ++j) {
    for (std::size_t i = 0; i < Columns; ++i)
      Cells[i] = std::size_t(j) < ACells[i].size() ? std::string_view(ACells[i][std::size_t(j)])
                                                   : std::string_view();
    FRows.AppendRow(Cells, Nulls);
  }
  endResetModel();
}

void TResultGridModel::SetRows(TResultSet ARows) {
  beginResetModel();
  FRows = std::move(ARows);
  FTyped = true;
  endResetModel();
}

void TResultGridModel::AppendRows(const TResultSet &AMore) {
  if (AMore.RowCount() == 0)
    return;
  const int Shown = rowCount(), Rows = FRows.RowCount();
  if (FRows.SortColumn() >= 0) {
    emit layoutAboutToBeChanged();
    FRows.AppendRows(AMore);
    FRows.Sort(FRows.SortColumn(), FRows.SortAscending());
    emit layoutChanged();
    return;
  }
  if (Rows == 0 && Shown == 1) { // the empty row stood in for the rows that now came
    beginRemoveRows({}, 0, 0);
    endRemoveRows();
  }
  beginInsertRows({}, Rows, Rows + AMore.RowCount() - 1);
  FRows.AppendRows(AMore);
  endInsertRows();
}

void TResultGridModel::SortRows(int AColumn, bool AAscending) {
  emit layoutAboutToBeChanged();
  FRows.Sort(AColumn, AAscending);
  emit layoutChanged();
}

bool TResultGridModel::IsNumeric(int AColumn) const {
  return FTyped && AColumn >= 0 && AColumn < ColumnCount() &&
         FRows.Kind(AColumn) == TColumnKind::Number;
}

int TResultGridModel::rowCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : DataRowCount();
}

int TResultGridModel::columnCount(const QModelIndex &AParent) const {
  return AParent.isValid() ? 0 : ColumnCount();
}

QVariant TResultGridModel::data(const QModelIndex &AIndex, int ARole) const {
  if (!AIndex.isValid() || AIndex.column() >= ColumnCount() || AIndex.row() >= DataRowCount())
    return {};
  const bool Null = IsNull(AIndex.column(), AIndex.row());
  switch (ARole) {
  case Qt::DisplayRole:
    return Null ? QStringLiteral("(null)")
                : AnsiToQString(FRows.Cell(AIndex.column(), AIndex.row()));
  case Qt::ForegroundRole:
    return Null ? QVariant(QBrush(Qt::gray)) : QVariant();
  case Qt::TextAlignmentRole:
    return IsNumeric(AIndex.column()) ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                                      : QVariant();
  default:
    return {};
  }
}

QVariant TResultGridModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
  if (AOrientation == Qt::Vertical) {
    if (ARole == Qt::DisplayRole && ASection >= 0 && ASection < FRows.RowCount())
      return ASection + 1;
    return {};
  }
  if (ASection < 0 || ASection >= ColumnCount())
    return {};
  if (ARole == Qt::DisplayRole)
    return AnsiToQString(Header(ASection));
  if (ARole == Qt::TextAlignmentRole)
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  return {};
}

Qt::ItemFlags TResultGridModel::flags(const QModelIndex &AIndex) const {
  if (!AIndex.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

// ---- View ------------------------------------------------------------------------------------

TResultGridView::TResultGridView(QWidget *AParent) : QTableView(AParent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setShowGrid(true);
  setWordWrap(false);
  // Cut-off text is clipped as in any string grid; the hint shows the rest.
  setTextElideMode(Qt::ElideNone);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setCornerButtonEnabled(true);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(
      std::max(TResultGrid::DefaultRowHeight, fontMetrics().height() + 2));
  verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setMinimumSectionSize(0);
  horizontalHeader()->setDefaultSectionSize(TResultGrid::DefaultColWidth);
  horizontalHeader()->setHighlightSections(false);
  // A click on a column's header sorts by it; the view's own sorting would sort at once.
  horizontalHeader()->setSectionsClickable(true);
  horizontalHeader()->setSortIndicatorShown(false);
  horizontalHeader()->setStretchLastSection(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setTextElideMode(Qt::ElideNone);
  horizontalHeader()->viewport()->installEventFilter(this);
  setMouseTracking(true);
}

QString TResultGridView::CellHint(const QString &AText, int AWidth) const {
  if (AWidth < fontMetrics().horizontalAdvance(" " + AText + " "))
    return AText;
  return {};
}

QString TResultGridView::HintAt(const QPoint &APosition) const {
  const QModelIndex Index = indexAt(APosition);
  if (!Index.isValid())
    return {};
  return CellHint(Index.data().toString(), visualRect(Index).width());
}

QString TResultGridView::HeaderHintAt(const QPoint &APosition) const {
  const int Section = horizontalHeader()->logicalIndexAt(APosition);
  if (Section < 0 || !model())
    return {};
  return CellHint(model()->headerData(Section, Qt::Horizontal).toString(),
                  horizontalHeader()->sectionSize(Section));
}

void TResultGridView::SelectedArea(std::vector<int> &AColumns, std::vector<int> &ARows) const {
  AColumns.clear();
  ARows.clear();
  std::set<int> Columns, Rows;
  if (selectionModel())
    for (const QItemSelectionRange &Range : selectionModel()->selection()) {
      for (int Row = Range.top(); Row <= Range.bottom(); ++Row)
        Rows.insert(Row);
      for (int Column = Range.left(); Column <= Range.right(); ++Column)
        Columns.insert(Column);
    }
  if (Rows.empty() && currentIndex().isValid()) {
    Rows.insert(currentIndex().row());
    Columns.insert(currentIndex().column());
  }
  ARows.assign(Rows.begin(), Rows.end());
  // Columns in the order the user arranged them.
  for (int Visual = 0; Visual < horizontalHeader()->count(); ++Visual) {
    const int Logical = horizontalHeader()->logicalIndex(Visual);
    if (Columns.count(Logical))
      AColumns.push_back(Logical);
  }
}

void TResultGridView::ShowCellHint(const QPoint &APosition, const QPoint &AGlobalPosition) {
  FHintCell = indexAt(APosition);
  const QString Hint = HintAt(APosition);
  if (Hint.isEmpty())
    QToolTip::hideText();
  else
    QToolTip::showText(AGlobalPosition, PlainTip(Hint), viewport());
}

bool TResultGridView::event(QEvent *AEvent) {
  // The grid's own keys win over the frame's shortcuts while it has the focus.
  if (AEvent->type() == QEvent::ShortcutOverride) {
    auto *Key = static_cast<QKeyEvent *>(AEvent);
    if (IsCopyKey(Key) || IsCopyAllKey(Key) || IsSelectAllKey(Key)) {
      AEvent->accept();
      return true;
    }
  }
  return QTableView::event(AEvent);
}

bool TResultGridView::viewportEvent(QEvent *AEvent) {
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

bool TResultGridView::eventFilter(QObject *AWatched, QEvent *AEvent) {
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

bool TResultGridView::AtLastRow() const {
  return model() && (model()->rowCount() == 0 || currentIndex().row() == model()->rowCount() - 1);
}

void TResultGridView::keyPressEvent(QKeyEvent *AEvent) {
  const Qt::KeyboardModifiers Modifiers = KeyModifiers(AEvent);
  const int Key = AEvent->key();
  if (IsCopyAllKey(AEvent)) {
    OnCopyAll(this);
    AEvent->accept();
    return;
  }
  if (IsCopyKey(AEvent)) {
    OnCopy(this);
    AEvent->accept();
    return;
  }
  if (IsSelectAllKey(AEvent)) {
    selectAll();
    AEvent->accept();
    return;
  }
  if (Modifiers == Qt::ShiftModifier && Key == Qt::Key_Space && model()) {
    // The whole rows of the cells selected.
    std::vector<int> Columns, Rows;
    SelectedArea(Columns, Rows);
    QItemSelection Selection;
    for (int Row : Rows)
      Selection.select(model()->index(Row, 0), model()->index(Row, model()->columnCount() - 1));
    selectionModel()->select(Selection, QItemSelectionModel::ClearAndSelect);
    AEvent->accept();
    return;
  }
  const bool Down = Key == Qt::Key_Down || Key == Qt::Key_PageDown ||
                    (Key == Qt::Key_End && Modifiers.testFlag(Qt::ControlModifier));
  const bool WasLast = Down && AtLastRow();
  QTableView::keyPressEvent(AEvent);
  if (WasLast)
    OnEndReached(this);
}

void TResultGridView::wheelEvent(QWheelEvent *AEvent) {
  const QScrollBar *Bar = verticalScrollBar();
  const bool AtEnd = Bar->value() == Bar->maximum();
  QTableView::wheelEvent(AEvent);
  if (AtEnd && AEvent->angleDelta().y() < 0)
    OnEndReached(this);
}

// ---- Panel -----------------------------------------------------------------------------------

TResultGrid::TResultGrid(QWidget *AParent) : QWidget(AParent) {
  auto *Layout = new QVBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->setSpacing(0);
  Grid = new TResultGridView(this);
  Grid->setObjectName("ResultGridView");
  Model = new TResultGridModel(Grid);
  Model->SetTable({""}, {{""}}, 1); // one column and the header row over one empty row
  Grid->setModel(Model);
  StatusLine = new QLabel(this);
  StatusLine->setObjectName("ResultStatusLine");
  StatusLine->setContentsMargins(3, 1, 3, 1);
  Layout->addWidget(Grid, 1);
  Layout->addWidget(StatusLine);

  GridMenu = new QMenu(this);
  auto AddItem = [this](const char *AName, const char *ACaption, const QKeySequence &AShortcut,
                        void (TResultGrid::*AHandler)()) {
    QAction *Item = GridMenu->addAction(AnsiToQString(ACaption));
    Item->setObjectName(AName);
    Item->setShortcut(AShortcut);
    // The keys are the view's; the menu only shows them.
    Item->setShortcutContext(Qt::WidgetShortcut);
    connect(Item, &QAction::triggered, this, Guarded([this, AHandler] { (this->*AHandler)(); }));
    return Item;
  };
  CopyItem =
      AddItem("ResultCopyItem", "&Copy", QKeySequence("Ctrl+C"), &TResultGrid::CopySelection);
  CopyAllItem = AddItem("ResultCopyAllItem", "Copy &All with Header", QKeySequence("Ctrl+Shift+C"),
                        &TResultGrid::CopyAll);
  SelectAllItem = AddItem("ResultSelectAllItem", "Select A&ll", QKeySequence("Ctrl+A"),
                          &TResultGrid::SelectAll);
  GridMenu->addSeparator();
  ExportItem = AddItem("ResultExportItem", "&Export to CSV...", {}, &TResultGrid::ExportItemClick);
  Grid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &APosition) {
    GridMenu->popup(Grid->viewport()->mapToGlobal(APosition));
  });

  Grid->OnCopy = [this](TObject *) { TApplication::Guard([this] { CopySelection(); }); };
  Grid->OnCopyAll = [this](TObject *) { TApplication::Guard([this] { CopyAll(); }); };
  Grid->OnEndReached = [this](TObject *) { TApplication::Guard([this] { FetchMore(); }); };
  // Only the user's scrolling fetches on: the bar also moves when a new result comes in.
  connect(Grid->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
    const QScrollBar *Bar = Grid->verticalScrollBar();
    if (FQuery && Bar->maximum() > 0 && Bar->sliderPosition() == Bar->maximum())
      TApplication::Guard([this] { FetchMore(); });
  });
  connect(Grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int ASection) {
    if (!FShowsRows)
      return;
    const TResultSet &Rows = Model->Rows();
    const bool Ascending = !(Rows.SortColumn() == ASection && Rows.SortAscending());
    Grid->clearSelection();
    Model->SortRows(ASection, Ascending);
    Grid->horizontalHeader()->setSortIndicatorShown(true);
    Grid->horizontalHeader()->setSortIndicator(ASection, Ascending ? Qt::AscendingOrder
                                                                   : Qt::DescendingOrder);
  });

  AskCsvFileName = [this] {
    QFileDialog Dialog(this, "Export to CSV");
    Dialog.setObjectName("ExportDialog");
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.setNameFilters({"CSV files (*.csv)", "All files (*)"});
    Dialog.setDefaultSuffix("csv");
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
      return std::string();
    return QFile::encodeName(Dialog.selectedFiles().first()).toStdString();
  };
}

void TResultGrid::ShowRows(TResultSet ARows, bool AMore, TDataSetLite *AQuery,
                           const TResultFetch &AFetch, std::chrono::steady_clock::duration AElapsed,
                           const std::string &AKey) {
  const std::vector<int> Widths = ColumnWidths();
  const bool Again = FShowsRows && AKey == FShownKey && ARows.ColumnCount() == Model->ColumnCount();
  Grid->horizontalHeader()->setSortIndicatorShown(false);
  Model->SetRows(std::move(ARows));
  FQuery = AMore ? AQuery : nullptr;
  FFetch = AFetch;
  FShownKey = AKey;
  FShowsRows = true;
  FElapsed = AElapsed;
  // The same query run again keeps the user's widths; a new result is fitted to what it shows.
  const std::vector<int> Fitted = Again ? Widths : FittedWidths();
  for (int i = 0; i < Model->ColumnCount(); ++i)
    Grid->setColumnWidth(i, Fitted[std::size_t(i)]);
  UpdateStatus();
}

void TResultGrid::ShowMessage(const std::string &AText,
                              std::chrono::steady_clock::duration AElapsed) {
  FQuery = nullptr;
  FShownKey.clear();
  FShowsRows = false;
  const std::vector<int> Widths = ColumnWidths();
  Grid->horizontalHeader()->setSortIndicatorShown(false);
  Model->SetTable({"Result"}, {{AText}}, 1);
  Grid->setColumnWidth(0, Widths.empty() ? DefaultColWidth : Widths.front());
  FitToWindow();
  char Time[32];
  std::snprintf(Time, sizeof Time, "%.3f s", std::chrono::duration<double>(AElapsed).count());
  StatusLine->setText(Time);
}

void TResultGrid::Detach() {
  if (!FQuery)
    return;
  FQuery = nullptr;
  UpdateStatus();
}

bool TResultGrid::FetchMore() {
  if (!FQuery)
    return false;
  TDataSetLite *Query = FQuery;
  // A failed fetch ends the result here; what came stays.
  FQuery = nullptr;
  const auto Start = std::chrono::steady_clock::now();
  TResultSet More = Model->Rows().ColumnsOnly();
  struct TStatus {
    TResultGrid *Grid;
    ~TStatus() { Grid->UpdateStatus(); }
  } Status{this};
  const bool Remaining = FFetch.More(*Query, More);
  FElapsed += std::chrono::steady_clock::now() - Start;
  Model->AppendRows(More);
  FQuery = Remaining ? Query : nullptr;
  return More.RowCount() > 0;
}

void TResultGrid::FetchAll() {
  while (FQuery)
    FetchMore();
}

void TResultGrid::SelectAll() { Grid->selectAll(); }

void TResultGrid::CopySelection() {
  std::vector<int> Columns, Rows;
  Grid->SelectedArea(Columns, Rows);
  if (Columns.empty())
    return;
  // The stand-in row of an empty result holds nothing to copy.
  Rows.erase(std::remove_if(Rows.begin(), Rows.end(),
                            [this](int ARow) { return ARow >= Model->Rows().RowCount(); }),
             Rows.end());
  QGuiApplication::clipboard()->setText(AnsiToQString(Model->Rows().CopyText(Columns, Rows)));
}

void TResultGrid::CopyAll() {
  FetchAll();
  QGuiApplication::clipboard()->setText(AnsiToQString(Model->Rows().CopyText()));
}

void TResultGrid::ExportCsv(const std::string &AFileName) {
  FetchAll();
  const std::string Text = Model->Rows().CsvText();
  TFileStream File(AFileName, TFileMode::fmCreate);
  File.Write(Text.data(), Text.size());
  File.Commit();
}

void TResultGrid::ExportItemClick() {
  const std::string FileName = AskCsvFileName ? AskCsvFileName() : std::string();
  if (!FileName.empty())
    ExportCsv(FileName);
}

std::vector<int> TResultGrid::ColumnWidths() const {
  std::vector<int> Result;
  for (int i = 0; i < Model->ColumnCount(); ++i)
    Result.push_back(Grid->columnWidth(i));
  return Result;
}

std::vector<int> TResultGrid::TextWidths() const {
  const QFontMetrics Metrics(Grid->font());
  std::vector<int> Result;
  for (int i = 0; i < Model->ColumnCount(); ++i) {
    // The header counts too, so no column name is cut.
    int Widest = Metrics.horizontalAdvance(" " + AnsiToQString(Model->Header(i)) + " ");
    for (int j = 0; j < Model->DataRowCount(); ++j)
      Widest = std::max(Widest, Metrics.horizontalAdvance(
                                    " " + Model->data(Model->index(j, i)).toString() + " "));
    Result.push_back(Widest);
  }
  return Result;
}

std::vector<int> TResultGrid::FittedWidths() const {
  const QFontMetrics Metrics(Grid->font());
  const int Cap = Metrics.horizontalAdvance(QString(MaxFittedChars + 2, QLatin1Char('0')));
  std::vector<int> Result = TextWidths();
  for (int &Width : Result)
    Width = std::min(Width, Cap);
  return Result;
}

void TResultGrid::DefaultArrangement() {
  for (int i = 0; i < Model->ColumnCount(); ++i)
    Grid->setColumnWidth(i, DefaultColWidth);
}

void TResultGrid::FitToText() {
  const std::vector<int> Widths = TextWidths();
  for (std::size_t i = 0; i < Widths.size(); ++i)
    Grid->setColumnWidth(int(i), Widths[i]);
}

void TResultGrid::FitToWindow() {
  // The width the columns can fill without a horizontal scroll bar: the grid's own area.
  const std::vector<int> Widths = FitWidths(
      TextWidths(),
      Grid->maximumViewportSize().width() -
          (Grid->verticalScrollBar()->isVisible() ? Grid->verticalScrollBar()->width() : 0));
  for (std::size_t i = 0; i < Widths.size(); ++i)
    Grid->setColumnWidth(int(i), Widths[i]);
}

std::string TResultGrid::StatusText() const { return QStringToAnsi(StatusLine->text()); }

void TResultGrid::UpdateStatus() {
  if (FShowsRows)
    StatusLine->setText(
        AnsiToQString(ResultStatusText(Model->Rows().RowCount(), FQuery != nullptr, FElapsed)));
}
