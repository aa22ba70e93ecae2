// The compile dialog offscreen: its rows and initial values, the button that cancels and then
// reads "OK", and the file name row.
#include "windows/CompileForm.h"

#include "classes/Application.h"
#include "tests/QtTestEnvironment.h"

#include <QKeyEvent>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<TApplication>("CompileFormTest"));

std::string Text(const QLabel *ALabel) { return ALabel->text().toLatin1().toStdString(); }

TEST(CompileForm, RowsStartFromTheirInitialValuesAndCancelCloses) {
  TCompileForm Form;
  EXPECT_EQ(Form.windowTitle().toStdString(), "Compile");
  EXPECT_EQ(Form.size(), QSize(337, 144));
  std::vector<std::string> Captions;
  for (QLabel *Label : Form.findChildren<QLabel *>())
    if (Label->objectName().isEmpty())
      Captions.push_back(Text(Label));
  EXPECT_EQ(Captions, (std::vector<std::string>{"Expressions:", "Errors:", "Elapsed time:",
                                                "Current file:", "File progress:"}));
  EXPECT_TRUE(Form.CancelButton->isDefault());
  EXPECT_EQ(Form.ProgressBar->maximum(), 100);

  // Left-overs of an earlier run are reset when the dialog shows again.
  Form.SetExpCount("7 of 9");
  Form.SetErrorCount("3");
  Form.SetElapsedTime("01:02:03");
  Form.SetCurrentFileName("/tmp/old.sql");
  Form.SetProgress(55);
  Form.SetDone();
  bool Checked = false;
  Form.OnShown = [&] {
    EXPECT_TRUE(Form.isVisible());
    EXPECT_EQ(Text(Form.ExpCount), "0 of 0");
    EXPECT_EQ(Text(Form.ErrorCount), "None");
    EXPECT_EQ(Text(Form.ElapsedTime), "00:00:00");
    EXPECT_EQ(Text(Form.CurrentFileName), "");
    EXPECT_EQ(Form.ShownFileName(), "");
    EXPECT_EQ(Form.ProgressBar->value(), 0);
    EXPECT_EQ(Form.CancelButton->text().toStdString(), "Cancel");
    Checked = true;
    Form.CancelButton->click();
  };
  Form.Execute();
  EXPECT_TRUE(Checked);
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(Form.result(), QDialog::Rejected);
}

TEST(CompileForm, TheRunsEndTurnsTheButtonToOkAndEscapeStillCloses) {
  TCompileForm Form;
  Form.OnShown = [&] {
    Form.SetExpCount("2 of 2");
    Form.SetErrorCount("1");
    Form.SetProgress(100);
    Form.SetDone();
    Form.Repaint();
    EXPECT_EQ(Form.CancelButton->text().toStdString(), "OK");
    EXPECT_TRUE(Form.isVisible()); // the final counts stay until the user closes it
    QTest::keyClick(&Form, Qt::Key_Escape);
  };
  Form.Execute();
  EXPECT_FALSE(Form.isVisible());
  EXPECT_EQ(Text(Form.ExpCount), "2 of 2");
  EXPECT_EQ(Text(Form.ErrorCount), "1");
}

TEST(CompileForm, LongFileNamesKeepTheirEndAndTheDialogItsSize) {
  TCompileForm Form;
  Form.show();
  const std::string Name = "/" + std::string(300, 'd') + "/script.sql";
  Form.SetCurrentFileName(Name);
  EXPECT_EQ(Form.ShownFileName(), Name);
  EXPECT_EQ(Form.CurrentFileName->toolTip().toStdString(), Name);
  const std::string Shown = Form.CurrentFileName->text().toStdString();
  EXPECT_LT(Shown.size(), Name.size());
  EXPECT_EQ(Shown.substr(Shown.size() - 10), "script.sql");
  EXPECT_EQ(Form.size(), QSize(337, 144));
  // Bytes that are not text in the file system's encoding come back unchanged.
  const std::string Odd = "/tmp/caf\xe9.sql";
  Form.SetCurrentFileName(Odd);
  EXPECT_EQ(Form.ShownFileName(), Odd);
  Form.hide();
}

} // namespace
