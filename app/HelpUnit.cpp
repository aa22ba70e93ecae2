// The help viewer over the HTML manual.
#include "app/HelpUnit.h"
#include "classes/CodePage.h"

#include "classes/Streams.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QSplitter>
#include <QVBoxLayout>

namespace {

QString ReadPage(const QString &APath) {
  QFile File(APath);
  return File.open(QIODevice::ReadOnly) ? QString::fromUtf8(File.readAll()) : QString();
}

} // namespace

THelpViewer::THelpViewer(const std::string &AHelpFile, QWidget *AParent)
    : QWidget(AParent, Qt::Window), FFolder(AHelpFile) {
  setObjectName("HelpViewer");
  setWindowTitle("Tessaly Help");
  resize(760, 520);
  auto *Splitter = new QSplitter(this);
  FTabs = new QTabWidget(Splitter);
  FContentsList = new QListWidget;
  FTabs->addTab(FContentsList, "Contents");
  auto *IndexPage = new QWidget;
  auto *IndexLayout = new QVBoxLayout(IndexPage);
  FIndexEdit = new QLineEdit(IndexPage);
  FIndexEdit->setPlaceholderText("Type the word you are looking for");
  FIndexList = new QListWidget(IndexPage);
  IndexLayout->addWidget(FIndexEdit);
  IndexLayout->addWidget(FIndexList);
  FTabs->addTab(IndexPage, "Index");
  FBrowser = new QTextBrowser(Splitter);
  FBrowser->setSearchPaths({FileNameToQString(FFolder)});
  Splitter->setStretchFactor(1, 3);
  auto *Layout = new QHBoxLayout(this);
  Layout->setContentsMargins(0, 0, 0, 0);
  Layout->addWidget(Splitter);

  connect(FContentsList, &QListWidget::itemActivated, this,
          [this](QListWidgetItem *Item) { ShowPage(Item->data(Qt::UserRole).toString()); });
  connect(FContentsList, &QListWidget::itemClicked, this,
          [this](QListWidgetItem *Item) { ShowPage(Item->data(Qt::UserRole).toString()); });
  connect(FIndexList, &QListWidget::itemActivated, this,
          [this](QListWidgetItem *Item) { ShowPage(Item->data(Qt::UserRole).toString()); });
  connect(FIndexList, &QListWidget::itemClicked, this,
          [this](QListWidgetItem *Item) { ShowPage(Item->data(Qt::UserRole).toString()); });
  connect(FIndexEdit, &QLineEdit::textChanged, this, &THelpViewer::FilterIndex);
  connect(FIndexEdit, &QLineEdit::returnPressed, this, [this] {
    if (FIndexList->count() > 0)
      ShowPage(FIndexList->item(0)->data(Qt::UserRole).toString());
  });
  LoadIndex();
}

THelpViewer *THelpViewer::Instance(const std::string &AHelpFile) {
  static THelpViewer *Viewer = nullptr;
  if (!Viewer) {
    Viewer = new THelpViewer(AHelpFile);
    Viewer->setAttribute(Qt::WA_QuitOnClose, false);
  }
  return Viewer;
}

void THelpViewer::LoadIndex() {
  const QString Folder = FileNameToQString(FFolder);
  // The contents page lists the pages in reading order.
  static const QRegularExpression Link("<a href=\"([^\"#]+\\.html)\">([^<]+)</a>");
  const QString Contents = ReadPage(Folder + "/contents.html");
  for (auto It = Link.globalMatch(Contents); It.hasNext();) {
    auto Match = It.next();
    if (Match.captured(1) == "contents.html")
      continue; // the page's own way back
    auto *Item = new QListWidgetItem(Match.captured(2), FContentsList);
    Item->setData(Qt::UserRole, Match.captured(1));
  }
  static const QRegularExpression Meta("<meta name=\"keywords\" content=\"([^\"]*)\"");
  for (const QString &Page : QDir(Folder).entryList({"*.html"}, QDir::Files, QDir::Name)) {
    auto Match = Meta.match(ReadPage(Folder + "/" + Page));
    if (!Match.hasMatch())
      continue;
    for (const QString &Word : Match.captured(1).split(',', Qt::SkipEmptyParts))
      FKeywords.emplace(Word.trimmed().toLower().toStdString(), Page.toStdString());
  }
  FilterIndex({});
}

void THelpViewer::FilterIndex(const QString &AText) {
  FIndexList->clear();
  const std::string Prefix = AText.trimmed().toLower().toStdString();
  for (const auto &[Word, Page] : FKeywords)
    if (Word.compare(0, Prefix.size(), Prefix) == 0) {
      auto *Item = new QListWidgetItem(QString::fromStdString(Word), FIndexList);
      Item->setData(Qt::UserRole, QString::fromStdString(Page));
    }
}

void THelpViewer::ShowPage(const QString &APage) {
  FBrowser->setSource(QUrl::fromLocalFile(FileNameToQString(FFolder) + "/" + APage));
  show();
  raise();
  activateWindow();
}

void THelpViewer::ShowContents() {
  FTabs->setCurrentIndex(0);
  ShowPage("contents.html");
}

void THelpViewer::ShowIndex(const std::string &AKey) {
  FTabs->setCurrentIndex(1);
  FIndexEdit->setText(AnsiToQString(AKey));
  FIndexEdit->setFocus();
  if (FBrowser->source().isEmpty())
    ShowPage("contents.html");
  else
    show();
}

void THelpViewer::ShowHelpOnHelp() {
  FTabs->setCurrentIndex(0);
  ShowPage("help.html");
}
