// The go-to-line dialog and its filler thread.
#include "windows/GotoUnit.h"
#include "classes/CodePage.h"
#include "classes/Forms.h"

#include "app/MainUnitConfig.h"
#include "db/OciApi.h"
#include "db/OciApiQuery.h"
#include "windows/WindowsHost.h"

#include "classes/Exceptions.h"
#include <QMdiArea>
#include <QMdiSubWindow>

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

// The order of a sorted list box: letters compare without regard to case.
int CompareItemTexts(const std::string &A, const std::string &B) {
  const size_t Length = std::min(A.size(), B.size());
  for (size_t I = 0; I < Length; ++I) {
    unsigned char X = static_cast<unsigned char>(A[I]), Y = static_cast<unsigned char>(B[I]);
    if (X >= 'a' && X <= 'z')
      X = static_cast<unsigned char>(X - 'a' + 'A');
    if (Y >= 'a' && Y <= 'z')
      Y = static_cast<unsigned char>(Y - 'a' + 'A');
    if (X != Y)
      return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

} // namespace

TGotoForm::TGotoForm(QWidget *AParent) : QDialog(AParent) {
  setObjectName("GotoForm");
  setWindowTitle("Go to Line Number...");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(425, 72);

  Label1 = new QLabel("Object:", this);
  Label1->setObjectName("Label1");
  Label1->move(8, 12);
  ObjectBox = new QComboBox(this);
  ObjectBox->setObjectName("ObjectBox");
  ObjectBox->setEditable(false);
  ObjectBox->setMaxVisibleItems(20);
  ObjectBox->setGeometry(112, 8, 225, 21);
  Label2 = new QLabel("New line number:", this);
  Label2->setObjectName("Label2");
  Label2->move(8, 36);
  LineNumberBox = new QComboBox(this);
  LineNumberBox->setObjectName("LineNumberBox");
  LineNumberBox->setEditable(true);
  // The history is kept by AddToHistory alone; Enter must not add entries on its own.
  LineNumberBox->setInsertPolicy(QComboBox::NoInsert);
  LineNumberBox->setMaxVisibleItems(HistoryCount);
  LineNumberBox->setGeometry(112, 32, 89, 21);
  // Typed keys reach the combo box first, which hands them to its edit directly (past any
  // filter there); keys sent to the edit itself come the other way. Both are watched.
  LineNumberBox->installEventFilter(this);
  LineNumberBox->lineEdit()->installEventFilter(this);

  GotoButton = new QPushButton("&Go to", this);
  GotoButton->setObjectName("GotoButton");
  GotoButton->setGeometry(344, 8, 75, 25);
  GotoButton->setDefault(true);
  GotoButton->setAutoDefault(true);
  connect(GotoButton, &QPushButton::clicked, this, &QDialog::accept);
  CancelButton = new QPushButton("Cancel", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(344, 40, 75, 25);
  CancelButton->setAutoDefault(false);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  // The boxes stand right of the wider label: at 112 with the small dialog font of old, further
  // right when the toolkit's font makes "New line number:" wider than that.
  const int Shift =
      std::max({0, Label1->sizeHint().width() + 12 - 112, Label2->sizeHint().width() + 12 - 112});
  if (Shift > 0) {
    for (QWidget *Control :
         {static_cast<QWidget *>(ObjectBox), static_cast<QWidget *>(LineNumberBox),
          static_cast<QWidget *>(GotoButton), static_cast<QWidget *>(CancelButton)})
      Control->move(Control->x() + Shift, Control->y());
    setFixedSize(425 + Shift, 72);
  }
  setTabOrder(ObjectBox, LineNumberBox);
  setTabOrder(LineNumberBox, GotoButton);
  setTabOrder(GotoButton, CancelButton);
}

TGotoForm::~TGotoForm() = default;

std::string TGotoForm::ItemText(const TExpression &AExpression) {
  // The "+" sorts the entire script in front of every object name.
  const char *Mark = AExpression.UnitType == EntireScriptType ? "+" : "";
  return Mark + AExpression.Name + " (" + AExpression.UnitType + ")";
}

bool TGotoForm::eventFilter(QObject *AWatched, QEvent *AEvent) {
  // The line number box takes digits and backspace; every other typed character is swallowed.
  // Keys that type nothing (arrows, Enter, Escape, Tab) keep their usual meaning.
  if (AEvent->type() == QEvent::KeyPress &&
      (AWatched == LineNumberBox || AWatched == LineNumberBox->lineEdit())) {
    const auto *Key = static_cast<QKeyEvent *>(AEvent);
    const QString Text = Key->text();
    if (!Text.isEmpty() && Key->key() != Qt::Key_Backspace) {
      const QChar C = Text.at(0);
      const bool Typed = C.unicode() >= 32 && C.unicode() != 127;
      if (Typed && !(C >= QChar('0') && C <= QChar('9')))
        return true;
    }
  }
  return QDialog::eventFilter(AWatched, AEvent);
}

void TGotoForm::ClearObjects() {
  ObjectBox->clear();
  FObjects.clear();
  FItemTexts.clear();
}

void TGotoForm::AddObject(const TExpression &AExpression) {
  auto Copy = std::make_unique<TExpression>(AExpression);
  Copy->Script = nullptr; // the script goes away before the copy does
  std::string Text = ItemText(*Copy);
  // After the equal texts already there; a binary search, since a long script lists thousands.
  const auto Place = std::upper_bound(
      FItemTexts.begin(), FItemTexts.end(), Text,
      [](const std::string &A, const std::string &B) { return CompareItemTexts(A, B) < 0; });
  const int At = static_cast<int>(Place - FItemTexts.begin());
  FItemTexts.insert(Place, Text);
  FObjects.push_back(std::move(Copy));
  ObjectBox->insertItem(At, AnsiToQString(Text),
                        QVariant::fromValue(qulonglong(FObjects.size() - 1)));
}

const TExpression *TGotoForm::SelectedObject() const {
  const int Index = ObjectBox->currentIndex();
  if (Index < 0)
    return nullptr;
  const auto Slot = static_cast<size_t>(ObjectBox->itemData(Index).toULongLong());
  return Slot < FObjects.size() ? FObjects[Slot].get() : nullptr;
}

void TGotoForm::AddToHistory(const std::string &AText) {
  const QString Text = AnsiToQString(AText);
  if (LineNumberBox->findText(Text, Qt::MatchFixedString | Qt::MatchCaseSensitive) >= 0)
    return;
  if (LineNumberBox->count() >= HistoryCount)
    LineNumberBox->removeItem(1); // the oldest entry, at index 0, stays
  LineNumberBox->addItem(Text);
  // Changing the list may change the current entry and with it the text; the text stays.
  LineNumberBox->setEditText(Text);
}

int TGotoForm::PrepareAndShow(const std::string &AFileName, std::int32_t ATextLength) {
  ObjectBox->setFocus();
  ClearObjects();
  TExpression Entire;
  Entire.UnitType = EntireScriptType;
  std::string Name = AFileName.substr(AFileName.find_last_of("/\\") + 1);
  for (char &C : Name)
    if (C >= 'a' && C <= 'z')
      C = static_cast<char>(C - 'a' + 'A');
  Entire.Name = Name;
  Entire.Start = 1;
  Entire.Length = ATextLength;
  AddObject(Entire);
  ObjectBox->setCurrentIndex(0);
  if (LineNumberBox->currentText().isEmpty())
    LineNumberBox->setEditText("1");
  LineNumberBox->lineEdit()->selectAll();
  return ExecCentred(*this, OnShown);
}

TGotoForm *GotoForm() {
  // Owned by the main window, so it goes with it; the line-number history lives as long.
  static QPointer<TGotoForm> Form;
  if (!Form)
    Form = new TGotoForm(WindowsHost().HostWidget());
  return Form;
}

std::int32_t ObjectLineOffset(const std::string &AText, std::int32_t AStart, std::int32_t ALength,
                              std::int64_t ALine) {
  std::int64_t S = AStart, N = ALength, K = ALine;
  if (N <= 0)
    return -1;
  while (K > 1) {
    if (S >= 1 && S <= static_cast<std::int64_t>(AText.size()) && AText[size_t(S - 1)] == '\n')
      --K;
    ++S;
    if (--N == 0)
      return -1;
  }
  return static_cast<std::int32_t>(S - 1);
}

// ---- TThreadGotoFromFiller -------------------------------------------------------------------

TThreadGotoFromFiller::TThreadGotoFromFiller(TExpressionList *AExpressions, TThreadRef *AParserRef,
                                             TThreadRef *AOwnerRef, TGotoForm *AForm)
    : FExpressions(AExpressions), FParserRef(AParserRef), FForm(AForm) {
  TThread::WithThread(*FParserRef, [this](TThread *AParser) {
    if (auto *Parser = dynamic_cast<TThreadParser *>(AParser))
      FSemaphore = Parser->Semaphore();
  });
  if (!FSemaphore)
    throw Exception("The object list needs a running parse thread.");
  SetOwnerRef(AOwnerRef);
  if (AOwnerRef)
    AOwnerRef->store(this);
  SetFreeOnTerminate(true);
  Resume();
}

TThreadGotoFromFiller::~TThreadGotoFromFiller() = default;

void TThreadGotoFromFiller::Execute() {
  int Taken = 0;
  bool ParserEnded = false;
  while (!Terminated()) {
    if (!ParserEnded) {
      TWaitResult Wait;
      do {
        Wait = FParserRef->load() != nullptr ? FSemaphore->WaitFor(100) : TWaitResult::wrAbandoned;
      } while (Wait == TWaitResult::wrTimeout && !Terminated());
      if (Terminated())
        break;
      if (Wait != TWaitResult::wrSignaled) {
        // The parse is over: what it left in the list is complete and only needs draining.
        ParserEnded = true;
        continue;
      }
    } else if (Taken >= FExpressions->Count()) {
      break;
    }
    const TExpression *Entry = FExpressions->Get(Taken++);
    if (Entry && Entry->StoredUnit) {
      TExpression Copy = *Entry;
      Copy.Script = nullptr;
      DoSynchronize([this, &Copy] { FForm->AddObject(Copy); });
    }
  }
}
