// The help viewer: the program's manual, shipped next to the program as a folder of HTML pages
// named "Tessaly.hlp", with a contents page and a keyword index.
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTextBrowser>
#include <QWidget>
#include <map>
#include <string>

class THelpViewer : public QWidget {
public:
  explicit THelpViewer(const std::string &AHelpFile, QWidget *AParent = nullptr);

  // The one viewer of the program, created on first use.
  static THelpViewer *Instance(const std::string &AHelpFile);

  // The three requests of the Help menu.
  void ShowContents();
  void ShowIndex(const std::string &AKey);
  void ShowHelpOnHelp();

  // Keyword (lower case) -> page file name, gathered from the pages' keyword lists.
  const std::map<std::string, std::string> &Keywords() const { return FKeywords; }
  QTextBrowser *Browser() const { return FBrowser; }

private:
  void LoadIndex();
  void FilterIndex(const QString &AText);
  void ShowPage(const QString &APage);

  std::string FFolder;
  std::map<std::string, std::string> FKeywords;
  QTabWidget *FTabs;
  QListWidget *FContentsList;
  QLineEdit *FIndexEdit;
  QListWidget *FIndexList;
  QTextBrowser *FBrowser;
};
