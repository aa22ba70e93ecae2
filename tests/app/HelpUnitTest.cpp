// The manual shipped beside the program and the viewer's contents and keyword index.
#include "app/HelpUnit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

TEST(HelpViewer, ContentsLinksResolveAndTheIndexFindsPages) {
  static int Argc = 1;
  static char Name[] = "HelpUnitTest";
  static char *Argv[] = {Name, nullptr};
  QApplication App(Argc, Argv);
  const QString Folder = HELP_FOLDER;
  ASSERT_TRUE(QFile::exists(Folder + "/contents.html"));

  // Every page the contents page names exists, and every page has keywords.
  QFile Contents(Folder + "/contents.html");
  ASSERT_TRUE(Contents.open(QIODevice::ReadOnly));
  const QString Text = QString::fromUtf8(Contents.readAll());
  static const QRegularExpression Link("href=\"([^\"]+)\"");
  int Links = 0;
  for (auto It = Link.globalMatch(Text); It.hasNext(); ++Links)
    EXPECT_TRUE(QFile::exists(Folder + "/" + It.next().captured(1)));
  EXPECT_GE(Links, 10);

  THelpViewer Viewer(Folder.toStdString());
  const auto &Keywords = Viewer.Keywords();
  for (const char *Word : {"scott", "connect", "compile", "terminal", "options", "index"})
    EXPECT_TRUE(Keywords.count(Word)) << Word;
  EXPECT_EQ(Keywords.at("tessaly_data"), "localserver.html");

  Viewer.ShowContents();
  EXPECT_TRUE(Viewer.Browser()->source().toString().endsWith("contents.html"));
  EXPECT_TRUE(Viewer.Browser()->toPlainText().contains("Connecting to a database"));
  Viewer.ShowHelpOnHelp();
  EXPECT_TRUE(Viewer.Browser()->source().toString().endsWith("help.html"));
}

} // namespace
