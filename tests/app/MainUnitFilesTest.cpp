// The main window's files: a program folder named with non-ASCII letters, and the
// configuration record as the main window writes it.
#include "app/HelpUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "classes/Streams.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "MainUnitFilesTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

// Set in the copy of this program that runs from the non-ASCII folder.
constexpr const char *ChildVariable = "TESSALY_FOLDER_CHILD";

QByteArray FileBytes(const QString &AName) {
  QFile File(AName);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

bool Contains(const std::vector<std::string> &AList, const std::string &AItem) {
  return std::find(AList.begin(), AList.end(), AItem) != AList.end();
}

} // namespace

// Runs a copy of this test program from a folder named "Prüfung Проверка", where the test below
// starts the main window without any path given to it.
TEST(ProgramFolder, NonAsciiFolderSavesSettingsAndFindsTheHelp) {
  if (qEnvironmentVariableIsSet(ChildVariable))
    GTEST_SKIP() << "the copy runs the other half";
  App();
  QTemporaryDir Root;
  ASSERT_TRUE(Root.isValid());
  const QString Folder =
      Root.path() +
      QString::fromUtf8("/Pr\u00fcfung \u041f\u0440\u043e\u0432\u0435\u0440\u043a\u0430");
  ASSERT_TRUE(QDir().mkpath(Folder + "/Tessaly.hlp"));
  const QString Program = Folder + "/MainUnitFilesTest";
  ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), Program));
  QFile::setPermissions(Program, QFile::permissions(Program) | QFile::ExeOwner);
  for (const QString &Page : QDir(HELP_FOLDER).entryList({"*.html"}, QDir::Files))
    ASSERT_TRUE(QFile::copy(QString(HELP_FOLDER) + "/" + Page, Folder + "/Tessaly.hlp/" + Page));

  QProcess Copy;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.insert(ChildVariable, "1");
  Environment.insert("QT_QPA_PLATFORM", "offscreen");
  Copy.setProcessEnvironment(Environment);
  Copy.setWorkingDirectory(Folder);
  Copy.setProcessChannelMode(QProcess::MergedChannels);
  Copy.start(Program, {"--gtest_filter=ProgramFolderRun.*"});
  ASSERT_TRUE(Copy.waitForFinished(120000));
  const QByteArray Output = Copy.readAll();
  EXPECT_EQ(Copy.exitStatus(), QProcess::NormalExit) << Output.toStdString();
  EXPECT_EQ(Copy.exitCode(), 0) << Output.toStdString();
  EXPECT_TRUE(Output.contains("[  PASSED  ] 1 test")) << Output.toStdString();
  EXPECT_FALSE(FileBytes(Folder + "/MainUnitFilesTest.cfg").isEmpty());
}

TEST(ProgramFolderRun, StartsSavesAndRestarts) {
  if (!qEnvironmentVariableIsSet(ChildVariable))
    GTEST_SKIP() << "runs only in the copy in the non-ASCII folder";
  App();
  std::vector<std::string> Errors;
  TApplication::ShowErrorMessage = [&](const std::string &AMessage) { Errors.push_back(AMessage); };
  const QString Here = QCoreApplication::applicationDirPath();
  ASSERT_TRUE(Here.contains(QString::fromUtf8("Pr\u00fcfung"))) << Here.toStdString();

  auto Form = std::make_unique<TMainForm>();
  EXPECT_EQ(ProgramPath(), FileNameFromQString(QCoreApplication::applicationFilePath()));
  EXPECT_EQ(Form->ConfigFile(), FileNameFromQString(Here + "/MainUnitFilesTest.cfg"));
  EXPECT_EQ(Form->HelpFile(), FileNameFromQString(Here + "/Tessaly.hlp"));
  EXPECT_EQ(Form->StartFolder(), FileNameFromQString(QDir::currentPath() + "/"));
  {
    THelpViewer Viewer(Form->HelpFile());
    EXPECT_FALSE(Viewer.Keywords().empty());
    Viewer.ShowContents();
    EXPECT_FALSE(Viewer.Browser()->toPlainText().isEmpty());
    Viewer.close();
  }

  Form->CFG->SetEditorTabSize(3);
  Form->CFG->SetSaveDesktopPosition(true);
  Form->move(30, 20);
  Form->FileExitItem->trigger();
  EXPECT_FALSE(Contains(Errors, ConfigSaveErrorMessage));
  EXPECT_TRUE(QFile::exists(Here + "/MainUnitFilesTest.cfg"));
  EXPECT_TRUE(QFile::exists(Here + "/MainUnitFilesTest.ds"));

  Form.reset();
  Form = std::make_unique<TMainForm>();
  EXPECT_FALSE(Contains(Errors, ConfigReadErrorMessage));
  EXPECT_EQ(Form->CFG->EditorTabSize(), 3);
  EXPECT_TRUE(Form->CFG->SaveDesktopPosition());
  EXPECT_EQ(Form->pos(), QPoint(30, 20));
  Form.reset();
}

// The configuration's record names the class and leaves the component name empty.
TEST(ConfigurationRecord, MainWindowWritesAnEmptyComponentName) {
  if (qEnvironmentVariableIsSet(ChildVariable))
    GTEST_SKIP();
  App();
  QTemporaryDir Folder;
  ASSERT_TRUE(Folder.isValid());
  SetProgramPath(FileNameFromQString(Folder.filePath("tessaly")));
  std::vector<std::string> Errors;
  TApplication::ShowErrorMessage = [&](const std::string &AMessage) { Errors.push_back(AMessage); };
  {
    TMainForm Form;
    Form.CFG->SetTerminalBufferLimit(250);
    Form.close();
  }
  const QByteArray Bytes = FileBytes(Folder.filePath("tessaly.cfg"));
  ASSERT_GE(Bytes.size(), 10);
  EXPECT_EQ(Bytes.left(10), QByteArray("TPF0\x04TCFG\x00", 10));
  // And it reads back into the next main window.
  {
    TMainForm Form;
    EXPECT_EQ(Form.CFG->TerminalBufferLimit(), 250);
  }
  EXPECT_FALSE(Contains(Errors, ConfigReadErrorMessage));
  SetProgramPath("");
}
