// The main window's shut-down and desktop with child windows: each child is asked first and may
// refuse, the saved children come back once the window is shown, and in the order they stood.
#include "app/MainUnit.h"
#include "classes/Application.h"
#include "classes/WindowPlacement.h"

#include <QApplication>
#include <QFile>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TApplication &App() {
  static int Argc = 1;
  static char Name[] = "MainUnitShutDownTest";
  static char *Argv[] = {Name, nullptr};
  static TApplication *Application = new TApplication(Argc, Argv);
  return *Application;
}

// A child that records its close question and answers as told; its desktop value is its name.
class TAskedChild : public TForm {
public:
  explicit TAskedChild(std::string AName, bool ARefuse = false)
      : Refuse(ARefuse), FName(std::move(AName)) {}
  const char *FormClassName() const override { return "TAskedChild"; }
  bool FormCloseQuery() override {
    Asked.push_back(FName);
    return !Refuse;
  }
  void WriteDesktopValues(TValueWriter &AWriter) override { AWriter.WriteString(FName); }
  const std::string &Name() const { return FName; }
  void SetName(std::string AName) { FName = std::move(AName); }

  bool Refuse;
  static inline std::vector<std::string> Asked;

private:
  std::string FName;
};

std::string ChildName(QMdiSubWindow *AWindow) {
  auto *Child = AWindow ? dynamic_cast<TAskedChild *>(AWindow->widget()) : nullptr;
  return Child ? Child->Name() : "";
}

std::vector<std::string> StackingNames(TMainForm &AForm) {
  std::vector<std::string> Names;
  for (QMdiSubWindow *Window : AForm.MdiArea->subWindowList(QMdiArea::StackingOrder))
    Names.push_back(ChildName(Window));
  return Names;
}

QByteArray FileBytes(const QString &AName) {
  QFile File(AName);
  return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

struct MainFormShutDown : ::testing::Test {
  std::unique_ptr<TMainForm> Form;
  QTemporaryDir Folder;
  void SetUp() override {
    App();
    SetProgramPath(Folder.filePath("tessaly").toStdString());
    // The client library is not needed here; its load error goes nowhere.
    TApplication::ShowErrorMessage = [](const std::string &) {};
    TAskedChild::Asked.clear();
    FormClasses().Register("TAskedChild", [](TValueReader &AReader) {
      auto *Child = new TAskedChild("");
      MainForm->AddChild(Child);
      ReadPlacement(AReader, *Child->parentWidget());
      Child->SetName(AReader.ReadString());
    });
    Form = std::make_unique<TMainForm>();
  }
  void TearDown() override { Form.reset(); }

  // A fresh main window with the desktop (position and children) enabled and saved once.
  void EnableDesktop() {
    Form->CFG->SetSaveDesktopPosition(true);
    Form->CFG->SetSaveDesktopState(true);
  }
  TAskedChild *Add(const std::string &AName, bool ARefuse = false) {
    auto *Child = new TAskedChild(AName, ARefuse);
    Form->AddChild(Child);
    QApplication::processEvents();
    return Child;
  }
  void Restart() {
    Form.reset();
    Form = std::make_unique<TMainForm>();
  }
};

TEST_F(MainFormShutDown, EveryChildIsAskedAndOneRefusalStopsTheShutDownWritingNothing) {
  EnableDesktop();
  Form->show();
  Add("a");
  TAskedChild *B = Add("b", true);
  Add("c");
  Form->close();
  // Topmost first; the refusal of b ends the asking, so a is never asked.
  EXPECT_EQ(TAskedChild::Asked, (std::vector<std::string>{"c", "b"}));
  EXPECT_TRUE(Form->isVisible());
  EXPECT_EQ(Form->MdiArea->subWindowList().size(), 3);
  EXPECT_FALSE(QFile::exists(Folder.filePath("tessaly.cfg")));
  EXPECT_FALSE(QFile::exists(Folder.filePath("tessaly.ds")));

  // When all agree, each is asked exactly once, and then they close with the frame.
  TAskedChild::Asked.clear();
  B->Refuse = false;
  Form->close();
  EXPECT_EQ(TAskedChild::Asked, (std::vector<std::string>{"c", "b", "a"}));
  EXPECT_FALSE(Form->isVisible());
  EXPECT_TRUE(QFile::exists(Folder.filePath("tessaly.cfg")));
  EXPECT_TRUE(QFile::exists(Folder.filePath("tessaly.ds")));
}

TEST_F(MainFormShutDown, DesktopComesBackInItsStackingWithTheSameActiveWindow) {
  EnableDesktop();
  Form->show();
  Add("a");
  Add("b");
  Add("c");
  Form->MdiArea->setActiveSubWindow(Form->MdiArea->subWindowList()[1]);
  QApplication::processEvents();
  ASSERT_EQ(StackingNames(*Form), (std::vector<std::string>{"a", "c", "b"}));
  Form->close();

  // Twice, so an order that flips on every run shows.
  for (int Run = 0; Run < 2; ++Run) {
    Restart();
    Form->show();
    QApplication::processEvents();
    EXPECT_EQ(StackingNames(*Form), (std::vector<std::string>{"a", "c", "b"})) << Run;
    EXPECT_EQ(ChildName(Form->MdiArea->activeSubWindow()), "b") << Run;
    Form->close();
  }
}

TEST_F(MainFormShutDown, DesktopIsRestoredWhenShownWithoutActivationAndNeverWipedUnread) {
  EnableDesktop();
  Form->show();
  Add("a");
  Add("b");
  Form->close();
  const QByteArray Saved = FileBytes(Folder.filePath("tessaly.ds"));
  ASSERT_FALSE(Saved.isEmpty());

  // Closed before it was ever shown: the children were never read, so the file stays.
  Restart();
  Form->close();
  EXPECT_EQ(FileBytes(Folder.filePath("tessaly.ds")), Saved);

  // Shown without being activated (a window manager may never activate it): restored at once.
  Restart();
  Form->setAttribute(Qt::WA_ShowWithoutActivating);
  Form->show();
  EXPECT_EQ(StackingNames(*Form), (std::vector<std::string>{"a", "b"}));
  // Restored once only, however often the window is shown or activated again.
  Form->hide();
  Form->show();
  QApplication::processEvents();
  EXPECT_EQ(Form->MdiArea->subWindowList().size(), 2);
  Form->close();
  EXPECT_EQ(FileBytes(Folder.filePath("tessaly.ds")), Saved);
}

} // namespace
