// Go to Line Number offscreen: the object list (stored units only, sorted, the entire script
// first), the line walk inside an object, lines past its end, the line-number history, Cancel,
// and an object chosen while the parse thread is still listing objects.
#include "windows/GotoUnit.h"
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "tests/TestDeadline.h"
#include "windows/EditUnit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "GotoUnitTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

using Strings = std::vector<std::string>;

const std::string Script = "CREATE TABLE pets (id NUMBER);\r\n"                  // line 1
                           "CREATE OR REPLACE PROCEDURE zeta IS\r\n"             // 2
                           "BEGIN\r\n"                                           // 3
                           "  NULL;\r\n"                                         // 4
                           "END;\r\n"                                            // 5
                           "/\r\n"                                               // 6
                           "CREATE OR REPLACE PACKAGE alpha AS\r\n"              // 7
                           "  PROCEDURE p;\r\n"                                  // 8
                           "END;\r\n"                                            // 9
                           "/\r\n"                                               // 10
                           "BEGIN NULL; END;\r\n"                                // 11
                           "/\r\n"                                               // 12
                           "CREATE OR REPLACE FUNCTION mid RETURN NUMBER IS\r\n" // 13
                           "BEGIN\r\n"
                           "  RETURN 1;\r\n"
                           "END;\r\n"
                           "/\r\n";

class GotoTest : public ::testing::Test {
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
    Form = TEditForm::Create(*Main);
    Form->SetFileName("/home/dev/scripts/Pets.sql");
    Form->Editor->Lines().SetText(Script);
    Form->resize(600, 450);
    QApplication::processEvents();
  }
  void TearDown() override {
    Form->Editor->SetModified(false);
    Main.reset();
  }

  // Runs the command as the menu does. The dialog is answered once the entry AObject is
  // listed (and the list holds AWaitCount entries): it is chosen, ALine typed into the line box
  // (or put there as by pasting), and the dialog closed with Go to (or with Cancel). The list as
  // it stood then is kept in Listed.
  void GoTo(const std::string &AObject, const std::string &ALine, bool AOk = true,
            bool ATyped = false, int AWaitCount = 0) {
    TGotoForm *Dialog = GotoForm();
    Dialog->OnShown = [=, this] {
      auto *Timer = new QTimer(Dialog);
      const testdeadline::TDeadline Deadline;
      QObject::connect(Timer, &QTimer::timeout, [=, this] {
        const int Index = Dialog->ObjectBox->findText(QString::fromLatin1(AObject.c_str()));
        if (Dialog->ObjectBox->count() < AWaitCount || Index < 0) {
          if (!Deadline.Passed())
            return;
          // Never listed: the test fails and the dialog closes rather than wait for ever.
          ADD_FAILURE() << AObject << " not listed";
          Timer->deleteLater();
          Dialog->CancelButton->click();
          return;
        }
        Timer->deleteLater();
        Listed.clear();
        for (int I = 0; I < Dialog->ObjectBox->count(); ++I)
          Listed.push_back(Dialog->ObjectBox->itemText(I).toStdString());
        ShownLine = Dialog->LineNumberBox->currentText().toStdString();
        Dialog->ObjectBox->setCurrentIndex(Index);
        if (ATyped) {
          Dialog->LineNumberBox->lineEdit()->clear();
          // Typed as a user types: into the box, which has the focus.
          QTest::keyClicks(Dialog->LineNumberBox, QString::fromLatin1(ALine.c_str()));
        } else {
          Dialog->LineNumberBox->setEditText(QString::fromLatin1(ALine.c_str()));
        }
        (AOk ? Dialog->GotoButton : Dialog->CancelButton)->click();
      });
      Timer->start(1);
    };
    Form->SearchGotoLineNumberItem->trigger();
    Dialog->OnShown = nullptr;
  }

  std::string AtCaret(size_t ALength) const {
    return Form->Editor->Lines().Text().substr(size_t(Form->Editor->SelStart()), ALength);
  }
  static Strings History() {
    Strings Result;
    for (int I = 0; I < GotoForm()->LineNumberBox->count(); ++I)
      Result.push_back(GotoForm()->LineNumberBox->itemText(I).toStdString());
    return Result;
  }

  QTemporaryDir Data;
  std::unique_ptr<TMainForm> Main;
  TEditForm *Form = nullptr;
  Strings Shown, Listed;
  std::string ShownLine;
};

TEST(GotoLineWalk, LinesCountFromTheObjectsStartAndEndWithIt) {
  const std::string Text = "ab\ncd\nef";
  EXPECT_EQ(ObjectLineOffset(Text, 1, 8, 0), 0);
  EXPECT_EQ(ObjectLineOffset(Text, 1, 8, 1), 0);
  EXPECT_EQ(ObjectLineOffset(Text, 1, 8, 2), 3);
  EXPECT_EQ(ObjectLineOffset(Text, 1, 8, 3), 6);
  EXPECT_EQ(ObjectLineOffset(Text, 1, 8, 4), -1);
  // An object starting mid-line: its first line is the rest of that line.
  EXPECT_EQ(ObjectLineOffset(Text, 5, 4, 2), 6);
  // The line after an object's closing line feed is not the object's.
  EXPECT_EQ(ObjectLineOffset(Text, 1, 3, 2), -1);
  EXPECT_EQ(ObjectLineOffset(Text, 1, 0, 1), -1);
  EXPECT_EQ(ObjectLineOffset(Text, 1, 8, std::int64_t(1) << 62), -1);
}

TEST_F(GotoTest, ListsStoredUnitsSortedAfterTheEntireScript) {
  GoTo("ZETA (PROCEDURE)", "1", true, false, 4);
  // Tables, anonymous blocks and plain statements are not listed.
  EXPECT_EQ(Listed, (Strings{"+PETS.SQL (ENTIRE SCRIPT)", "ALPHA (PACKAGE)", "MID (FUNCTION)",
                             "ZETA (PROCEDURE)"}));
  EXPECT_EQ(ShownLine, "1"); // an empty line box starts at 1
  EXPECT_EQ(AtCaret(32), "CREATE OR REPLACE PROCEDURE zeta");
  EXPECT_TRUE(Shown.empty());
  // The copies behind the entries are freed when the command ends.
  EXPECT_EQ(GotoForm()->ObjectBox->count(), 0);
}

TEST_F(GotoTest, LineThreeIsAfterTheObjectsSecondLineFeed) {
  GoTo("ZETA (PROCEDURE)", "3");
  EXPECT_EQ(AtCaret(7), "  NULL;");
  EXPECT_EQ(Form->Editor->CaretY(), 3);
  GoTo("MID (FUNCTION)", "2");
  EXPECT_EQ(Form->Editor->CaretY(), 13);
  EXPECT_EQ(Form->Editor->CaretX(), 1);
  GoTo("+PETS.SQL (ENTIRE SCRIPT)", "10");
  EXPECT_EQ(Form->Editor->CaretY(), 9);
  EXPECT_EQ(AtCaret(3), "/\r\n");
  GoTo("+PETS.SQL (ENTIRE SCRIPT)", "0");
  EXPECT_EQ(Form->Editor->SelStart(), 0);
  EXPECT_TRUE(Shown.empty());
}

TEST_F(GotoTest, ALinePastTheObjectsEndIsReportedAndTheCaretStays) {
  GoTo("ALPHA (PACKAGE)", "2");
  const int Before = Form->Editor->SelStart();
  EXPECT_EQ(AtCaret(14), "  PROCEDURE p;");
  GoTo("ALPHA (PACKAGE)", "7");
  EXPECT_EQ(Shown, (Strings{"Entered line number does not exist"}));
  EXPECT_EQ(Form->Editor->SelStart(), Before);
  // The whole script has 17 lines and one empty line after its last line feed at most.
  Shown.clear();
  GoTo("+PETS.SQL (ENTIRE SCRIPT)", "19");
  EXPECT_EQ(Shown, (Strings{"Entered line number does not exist"}));
  EXPECT_EQ(Form->Editor->SelStart(), Before);
  // The numbers went into the history all the same.
  EXPECT_EQ(History(), (Strings{"2", "7", "19"}));
}

TEST_F(GotoTest, HistoryKeepsEightDistinctNumbersDroppingTheSecond) {
  for (int Line = 1; Line <= 8; ++Line)
    GoTo("ZETA (PROCEDURE)", std::to_string(Line));
  EXPECT_EQ(History(), (Strings{"1", "2", "3", "4", "5", "6", "7", "8"}));
  GoTo("ZETA (PROCEDURE)", "3"); // already there: not again
  EXPECT_EQ(History().size(), 8u);
  GoTo("ZETA (PROCEDURE)", "9");
  EXPECT_EQ(History(), (Strings{"1", "3", "4", "5", "6", "7", "8", "9"}));
  // The box shows what was used last and offers it next time.
  GoTo("ZETA (PROCEDURE)", "2");
  EXPECT_EQ(History(), (Strings{"1", "4", "5", "6", "7", "8", "9", "2"}));
  GoTo("ZETA (PROCEDURE)", "2");
  EXPECT_EQ(ShownLine, "2");
}

TEST_F(GotoTest, CancelAndTextThatIsNoNumberChangeNothing) {
  GoTo("ZETA (PROCEDURE)", "3");
  const int Before = Form->Editor->SelStart();
  GoTo("ALPHA (PACKAGE)", "2", false);
  EXPECT_EQ(Form->Editor->SelStart(), Before);
  EXPECT_EQ(History(), (Strings{"3"}));
  // Only pasting can put such a text there.
  GoTo("ALPHA (PACKAGE)", "2x");
  EXPECT_EQ(Form->Editor->SelStart(), Before);
  EXPECT_EQ(History(), (Strings{"3"}));
  EXPECT_TRUE(Shown.empty());
  EXPECT_FALSE(Form->Editor->Modified());
}

TEST_F(GotoTest, TheLineBoxTakesOnlyDigitsAndBackspace) {
  GoTo("ZETA (PROCEDURE)", "1a-4 ", true, true);
  EXPECT_EQ(History(), (Strings{"14"}));
  EXPECT_EQ(Form->Editor->SelStart(), 0); // ZETA has no 14th line
  EXPECT_EQ(Shown, (Strings{"Entered line number does not exist"}));

  // Enter in the line box is Go to; backspace edits.
  TGotoForm *Dialog = GotoForm();
  Dialog->OnShown = [Dialog] {
    QTimer::singleShot(20, Dialog, [Dialog] {
      Dialog->LineNumberBox->lineEdit()->clear();
      QTest::keyClicks(Dialog->LineNumberBox, "4x5");
      QTest::keyClick(Dialog->LineNumberBox, Qt::Key_Backspace);
      QTest::keyClick(Dialog->LineNumberBox, Qt::Key_Return);
    });
  };
  Form->SearchGotoLineNumberItem->trigger();
  Dialog->OnShown = nullptr;
  EXPECT_EQ(Form->Editor->CaretY(), 3);
  EXPECT_EQ(History(), (Strings{"14", "4"}));
}

TEST_F(GotoTest, AnEmptyTextOpensNothing) {
  Form->Editor->Lines().SetText("");
  bool Opened = false;
  GotoForm()->OnShown = [&] {
    Opened = true;
    GotoForm()->reject();
  };
  Form->SearchGotoLineNumberItem->trigger();
  GotoForm()->OnShown = nullptr;
  EXPECT_FALSE(Opened);
}

TEST_F(GotoTest, AnObjectCanBeChosenWhileTheListStillGrows) {
  // Twenty thousand procedures: the list is far from complete when the first one appears.
  constexpr int Units = 20000;
  std::string Long;
  for (int I = 0; I < Units; ++I)
    Long += "CREATE OR REPLACE PROCEDURE p" + std::to_string(I) +
            " IS\r\nBEGIN\r\n  NULL;\r\nEND;\r\n/\r\n";
  Form->Editor->Lines().SetText(Long);
  QElapsedTimer Clock;
  Clock.start();
  GoTo("P0 (PROCEDURE)", "3");
  EXPECT_LT(Listed.size(), size_t(Units + 1));
  EXPECT_EQ(Form->Editor->CaretY(), 2);
  EXPECT_EQ(AtCaret(7), "  NULL;");
  // The threads are gone and the list is empty again; the next use lists from scratch.
  EXPECT_EQ(GotoForm()->ObjectBox->count(), 0);
  Clock.restart();
  GoTo("P19999 (PROCEDURE)", "4", true, false, Units + 1);
  std::printf("[ listed  ] %d objects in %lld ms\n", Units, Clock.elapsed());
  EXPECT_EQ(Form->Editor->CaretY(), Units * 5 - 2);
  EXPECT_EQ(GotoForm()->ObjectBox->count(), 0);
}

} // namespace
