// Paste Object offscreen against the local server: the list of the user's stored objects, the
// source of a package spec and body, a procedure, a trigger and a long unit pasted at the caret
// as CREATE OR REPLACE statements, OK with nothing chosen, and names that are no SQL text.
#include "windows/ChooseProcedureUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "windows/EditUnit.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "ChooseProcedureUnitTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

using Strings = std::vector<std::string>;

class PasteObjectTest : public ::testing::Test {
protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(Data.isValid());
    setenv("TESSALY_DATA", Data.path().toLatin1().constData(), 1);
    setenv("TESSALY_OCI_LIBRARY", LOCAL_SERVER_LIBRARY, 1);
    SetProgramPath(Data.path().toStdString() + "/tessaly");
    TApplication::ShowErrorMessage = [this](const std::string &M) { Shown.push_back(M); };
    Main = std::make_unique<TMainForm>();
    Main->resize(900, 700);
    Main->show();
    TLoginEvent Login = Main->Database->OnLogin;
    Main->Database->OnLogin.Clear();
    Main->Database->SetUser("SCOTT");
    Main->Database->SetPassword("TIGER");
    Main->Database->SetConnected(true);
    Main->Database->OnLogin = Login;
    Form = TEditForm::Create(*Main);
    Form->resize(600, 450);
    QApplication::processEvents();
  }
  void TearDown() override {
    Form->Editor->SetModified(false);
    Main.reset();
  }

  void Run(const std::string &ASql) {
    TOracleQuery Query;
    Query.SetDatabaseName("Database");
    Query.SetSQL(ASql);
    Query.Execute();
  }

  // Runs Paste Object as the menu does; the dialog is answered by choosing the entry AItem (none
  // when empty) and pressing OK, or Cancel with AOk false. The list as shown is kept in Listed.
  void Paste(const std::string &AItem, bool AOk = true) {
    TChooseProcedureForm *Dialog = ChooseProcedureForm();
    Dialog->OnShown = [=, this] {
      Listed.clear();
      for (int I = 0; I < Dialog->ListBox->count(); ++I)
        Listed.push_back(Dialog->ListBox->item(I)->text().toStdString());
      if (!AItem.empty()) {
        const auto Found =
            Dialog->ListBox->findItems(QString::fromLatin1(AItem.c_str()), Qt::MatchExactly);
        if (!Found.isEmpty())
          Dialog->ListBox->setCurrentItem(Found.first());
      }
      (AOk ? Dialog->OkButton : Dialog->CancelButton)->click();
    };
    Form->EditPasteObjectItem->trigger();
    Dialog->OnShown = nullptr;
  }
  std::string Text() const { return Form->Editor->Lines().Text(); }

  QTemporaryDir Data;
  std::unique_ptr<TMainForm> Main;
  TEditForm *Form = nullptr;
  Strings Shown, Listed;
};

TEST(PasteObjectSource, TrailingBlanksAndLineBreaksGo) {
  EXPECT_EQ(TrimSourceLine("  x := 1; \t \r\n"), "  x := 1;");
  EXPECT_EQ(TrimSourceLine("\n"), "");
  EXPECT_EQ(TrimSourceLine(""), "");
  EXPECT_EQ(TrimSourceLine("a\tb"), "a\tb");
}

TEST_F(PasteObjectTest, APackageIsListedTwiceAndEachPartPastesItsOwnSource) {
  Run("CREATE PACKAGE emp_api AS\n  FUNCTION twice(n NUMBER) RETURN NUMBER;\nEND;");
  Run("CREATE PACKAGE BODY emp_api AS\n  FUNCTION twice(n NUMBER) RETURN NUMBER IS\n  "
      "BEGIN\n    RETURN n * 2;\n  END;\nEND;");
  Run("CREATE PROCEDURE solo IS BEGIN NULL; END;");
  Run("CREATE TABLE pets (id NUMBER)");

  Form->Editor->Lines().SetText("-- head\r\n-- tail\r\n");
  Form->Editor->SetSelStart(9); // start of the second line
  Paste("EMP_API (PACKAGE)");
  EXPECT_EQ(Listed, (Strings{"EMP_API (PACKAGE BODY)", "EMP_API (PACKAGE)", "SOLO (PROCEDURE)"}));
  EXPECT_EQ(Text(), "-- head\r\n"
                    "CREATE OR REPLACE PACKAGE emp_api AS\r\n"
                    "  FUNCTION twice(n NUMBER) RETURN NUMBER;\r\n"
                    "END;\r\n"
                    "-- tail\r\n");
  EXPECT_TRUE(Form->Editor->Modified());

  Form->Editor->Lines().SetText("");
  Paste("EMP_API (PACKAGE BODY)");
  EXPECT_EQ(Text(), "CREATE OR REPLACE PACKAGE BODY emp_api AS\r\n"
                    "  FUNCTION twice(n NUMBER) RETURN NUMBER IS\r\n"
                    "  BEGIN\r\n"
                    "    RETURN n * 2;\r\n"
                    "  END;\r\n"
                    "END;\r\n\r\n");
  EXPECT_TRUE(Shown.empty());
}

TEST_F(PasteObjectTest, ProcedureLinesLoseTrailingBlanksAndGetCrLf) {
  Run("CREATE PROCEDURE feed(n NUMBER) IS   \n  x NUMBER;\t\n\nBEGIN\n  x := n;  \nEND;");
  Form->Editor->Lines().SetText("");
  Paste("FEED (PROCEDURE)");
  EXPECT_EQ(Text(), "CREATE OR REPLACE PROCEDURE feed(n NUMBER) IS\r\n"
                    "  x NUMBER;\r\n"
                    "\r\n" // an empty source line stays
                    "BEGIN\r\n"
                    "  x := n;\r\n"
                    "END;\r\n\r\n");
}

TEST_F(PasteObjectTest, ATriggerIsItsDescriptionAndBody) {
  Run("CREATE TABLE pets (id NUMBER, born DATE)");
  Run("CREATE TRIGGER pets_born BEFORE INSERT ON pets FOR EACH ROW\n"
      "BEGIN\n  :new.born := SYSDATE;\nEND;");
  Form->Editor->Lines().SetText("");
  Paste("PETS_BORN (TRIGGER)");
  const std::string Pasted = Text();
  EXPECT_EQ(Pasted.rfind("CREATE OR REPLACE TRIGGER PETS_BORN", 0), 0u) << Pasted;
  EXPECT_NE(Pasted.find("BEFORE INSERT ON pets"), std::string::npos) << Pasted;
  EXPECT_NE(Pasted.find("BEGIN\r\n  :new.born := SYSDATE;\r\nEND;\r\n"), std::string::npos)
      << Pasted;
  EXPECT_LT(Pasted.find("FOR EACH ROW"), Pasted.find("BEGIN"));
  EXPECT_TRUE(Shown.empty());
}

TEST_F(PasteObjectTest, ASourceOfMoreThanAHundredLinesComesWhole) {
  std::string Body = "CREATE PROCEDURE big IS\n  x NUMBER := 0;\nBEGIN\n";
  std::string Expected = "CREATE OR REPLACE PROCEDURE big IS\r\n  x NUMBER := 0;\r\nBEGIN\r\n";
  for (int I = 0; I < 250; ++I) {
    Body += "  x := x + " + std::to_string(I) + ";\n";
    Expected += "  x := x + " + std::to_string(I) + ";\r\n";
  }
  Body += "END;";
  Expected += "END;\r\n";
  Run(Body);
  EXPECT_EQ(ObjectSourceText(*Main->Query, "BIG", "PROCEDURE"), Expected);
  Form->Editor->Lines().SetText("");
  Paste("BIG (PROCEDURE)");
  EXPECT_EQ(Text(), Expected + "\r\n");
  EXPECT_EQ(Form->Editor->Lines().Count(), 255);
}

TEST_F(PasteObjectTest, OkWithNothingChosenAndCancelPasteNothing) {
  Run("CREATE PROCEDURE solo IS BEGIN NULL; END;");
  Form->Editor->Lines().SetText("keep\r\n");
  Paste("");
  EXPECT_EQ(Listed, (Strings{"SOLO (PROCEDURE)"}));
  Paste("SOLO (PROCEDURE)", false);
  EXPECT_EQ(Text(), "keep\r\n");
  EXPECT_FALSE(Form->Editor->Modified());
  EXPECT_TRUE(Shown.empty());
}

TEST_F(PasteObjectTest, NamesAreValuesNeverSqlText) {
  Run("CREATE PROCEDURE solo IS BEGIN NULL; END;");
  // Pasted into the statement text these would read every line or break the statement.
  EXPECT_EQ(ObjectSourceText(*Main->Query, "X' OR 'A'='A", "PROCEDURE"), "CREATE OR REPLACE ");
  EXPECT_EQ(ObjectSourceText(*Main->Query, "SOLO", "PROCEDURE' OR 'A'='A"), "CREATE OR REPLACE ");
  EXPECT_EQ(ObjectSourceText(*Main->Query, "O'NEIL", "TRIGGER"), "CREATE OR REPLACE ");
  // An object without stored source pastes only the statement's head.
  EXPECT_EQ(ObjectSourceText(*Main->Query, "GONE", "PROCEDURE"), "CREATE OR REPLACE ");
  EXPECT_EQ(ObjectSourceText(*Main->Query, "SOLO", "PROCEDURE"),
            "CREATE OR REPLACE PROCEDURE solo IS BEGIN NULL; END;\r\n");
}

TEST_F(PasteObjectTest, AQuotedNameWithAnApostrophePastesItsOwnSource) {
  Run("CREATE PROCEDURE \"O'NEIL\" IS BEGIN NULL; END;");
  Run("CREATE PROCEDURE solo IS BEGIN NULL; END;");
  Form->Editor->Lines().SetText("");
  Paste("O'NEIL (PROCEDURE)");
  EXPECT_EQ(Listed, (Strings{"O'NEIL (PROCEDURE)", "SOLO (PROCEDURE)"}));
  EXPECT_EQ(Text(), "CREATE OR REPLACE PROCEDURE \"O'NEIL\" IS BEGIN NULL; END;\r\n\r\n");
  EXPECT_TRUE(Shown.empty());
}

TEST_F(PasteObjectTest, ACancelledLoginOpensNoListAndPastesNothing) {
  Main->Database->SetConnected(false);
  Form->Editor->Lines().SetText("keep\r\n");
  bool Listed = false;
  ChooseProcedureForm()->OnShown = [&] {
    Listed = true;
    ChooseProcedureForm()->reject();
  };
  // The login dialog comes up first; it is cancelled.
  QTimer::singleShot(50, [] {
    if (QWidget *Login = QApplication::activeModalWidget())
      QMetaObject::invokeMethod(Login, "reject", Qt::QueuedConnection);
  });
  Form->EditPasteObjectItem->trigger();
  ChooseProcedureForm()->OnShown = nullptr;
  EXPECT_FALSE(Listed);
  EXPECT_FALSE(Main->Database->Connected());
  EXPECT_EQ(Text(), "keep\r\n");
  EXPECT_TRUE(Shown.empty()); // the silent abort shows nothing
}

} // namespace
