// The main window logging on to the local server through its login dialog.
#include "app/LoginUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"

#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(MainFormLocalServer, LoginDialogConnectsAsScottAndReports) {
  static int Argc = 1;
  static char Name[] = "MainUnitLocalServerTest";
  static char *Argv[] = {Name, nullptr};
  TApplication App(Argc, Argv);
  QTemporaryDir Data, Program;
  setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
  setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
  SetProgramPath(Program.filePath("tessaly").toStdString());
  std::vector<std::string> Errors;
  TApplication::ShowErrorMessage = [&](const std::string &M) { Errors.push_back(M); };

  TMainForm Form;
  auto Answer = [](const char *AUser, const char *APassword) {
    QTimer::singleShot(0, [=] {
      LoginForm->UserName->setText(AUser);
      LoginForm->Password->setText(APassword);
      LoginForm->Host->clear();
      LoginForm->OkButton->click();
    });
  };
  Answer("SCOTT", "LION");
  Form.DatabaseConnectItem->trigger();
  EXPECT_EQ(Form.StatusText(), "Connect failed.");
  EXPECT_EQ(Errors, std::vector<std::string>{"ORA-01017: invalid username/password; logon denied"});

  Answer("SCOTT", "TIGER");
  Form.DatabaseConnectItem->trigger();
  EXPECT_TRUE(Form.Database->Connected());
  EXPECT_EQ(Form.StatusText(), "Connected to  as SCOTT.");
  Form.DatabaseDisconnectItem->trigger();
  EXPECT_EQ(Form.StatusText(), "Disconnected.");
  EXPECT_EQ(Errors.size(), 1u);
}

} // namespace
