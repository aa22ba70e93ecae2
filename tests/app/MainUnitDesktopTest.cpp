// The desktop file: the position, the child-window records, and what a bad file does.
#include "app/MainUnitDesktop.h"
#include "classes/WindowPlacement.h"

#include "tests/QtTestEnvironment.h"
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TBytes = std::vector<std::uint8_t>;

const auto *const Environment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment<QApplication>("MainUnitDesktopTest"));

TBytes FileBytes(const std::string &AFileName) {
  std::ifstream File(AFileName, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(File), {});
}

void PutBytes(const std::string &AFileName, const TBytes &ABytes) {
  std::ofstream(AFileName, std::ios::binary)
      .write(reinterpret_cast<const char *>(ABytes.data()), std::streamsize(ABytes.size()));
}

void Add(TBytes &B, std::initializer_list<std::uint8_t> AList) { B.insert(B.end(), AList); }
void Str(TBytes &B, const std::string &AText) {
  B.push_back(6);
  B.push_back(std::uint8_t(AText.size()));
  B.insert(B.end(), AText.begin(), AText.end());
}
// Left 10, top 20, width 800, height 600 as the four smallest integers.
TBytes PositionBytes() { return {2, 10, 2, 20, 3, 0x20, 0x03, 3, 0x58, 0x02}; }
TBytes PlacementBytes(std::int32_t ALeft, std::int32_t ATop, std::int32_t ARight,
                      std::int32_t ABottom) {
  TWindowPlacement P;
  P.Left = ALeft;
  P.Top = ATop;
  P.Right = ARight;
  P.Bottom = ABottom;
  auto Bytes = P.ToBytes();
  return TBytes(Bytes.begin(), Bytes.end());
}

class Desktop : public ::testing::Test {
protected:
  QTemporaryDir Folder;
  std::string FileName() { return Folder.filePath("tessaly.ds").toStdString(); }
  TCFG CFG;

  void Enable(bool APosition, bool AState) {
    CFG.SetSaveDesktopPosition(APosition);
    CFG.SetSaveDesktopState(AState);
  }
};

// A window class that records, as the script editor does: placement, file name, flag.
struct TRestored {
  std::string ClassName;
  std::string FileName;
  bool ReadOnly = false;
};

} // namespace

TEST(DesktopName, FollowsTheProgramOrTheStartFolder) {
  EXPECT_EQ(DesktopFileName("/opt/tsy/Tessaly", "/home/me/project/", false), "/opt/tsy/Tessaly.ds");
  EXPECT_EQ(DesktopFileName("/opt/tsy/Tessaly", "/home/me/project/", true),
            "/home/me/project/Tessaly.ds");
  EXPECT_EQ(DesktopFileName("/opt/tsy/Tessaly.exe", "/home/me/project", true),
            "/home/me/project/Tessaly.ds");
}

TEST_F(Desktop, PositionAloneIsFourIntegers) {
  Enable(true, false);
  bool Closed = false;
  SaveDesktop(FileName(), CFG, {10, 20, 800, 600}, [&](TValueWriter &) { Closed = true; });
  EXPECT_FALSE(Closed); // without the state the children are not asked
  EXPECT_EQ(FileBytes(FileName()), PositionBytes());

  TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
  ASSERT_TRUE(Load.Position);
  EXPECT_EQ(*Load.Position, (TDesktopPosition{10, 20, 800, 600}));
  EXPECT_FALSE(Load.Reader); // nothing to restore: the file is closed
  EXPECT_TRUE(Load.Message.empty());
}

TEST_F(Desktop, StateWithoutPositionSavesAndReadsNothing) {
  Enable(false, true);
  bool Closed = false;
  SaveDesktop(FileName(), CFG, {1, 2, 3, 4}, [&](TValueWriter &) { Closed = true; });
  EXPECT_FALSE(Closed);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(FileName())));

  PutBytes(FileName(), PositionBytes());
  TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
  EXPECT_FALSE(Load.Position);
  EXPECT_FALSE(Load.Reader);
  // An existing file is left as it was.
  SaveDesktop(FileName(), CFG, {1, 2, 3, 4}, nullptr);
  EXPECT_EQ(FileBytes(FileName()), PositionBytes());
}

TEST_F(Desktop, HandAssembledChildListIsRestoredThroughTheRegistry) {
  TBytes B = PositionBytes();
  B.push_back(1);
  Str(B, "TEditForm");
  TBytes P = PlacementBytes(0, 0, 100, 50);
  B.insert(B.end(), P.begin(), P.end());
  Str(B, "/tmp/a.sql");
  B.push_back(9);
  Str(B, "TDBMSOutputForm");
  B.insert(B.end(), P.begin(), P.end());
  Str(B, "TEditForm");
  B.insert(B.end(), P.begin(), P.end());
  B.push_back(12); // a long file name: tag 12 and a 32-bit length
  Add(B, {0x2C, 0x01, 0, 0});
  B.insert(B.end(), 300, 'f');
  B.push_back(8);
  B.push_back(0);
  PutBytes(FileName(), B);

  std::vector<TRestored> Restored;
  TDesktopRegistry Registry;
  Registry.Register("TEditForm", [&](TValueReader &R) {
    std::array<std::uint8_t, 44> Placement;
    R.Read(Placement.data(), Placement.size());
    TRestored W{"TEditForm", "", false};
    W.FileName = R.ReadString();
    W.ReadOnly = R.ReadBoolean();
    Restored.push_back(W);
  });
  Registry.Register("TDBMSOutputForm", [&](TValueReader &R) {
    std::array<std::uint8_t, 44> Placement;
    R.Read(Placement.data(), Placement.size());
    Restored.push_back({"TDBMSOutputForm", "", false});
  });

  Enable(true, true);
  TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
  ASSERT_TRUE(Load.Position);
  EXPECT_EQ(*Load.Position, (TDesktopPosition{10, 20, 800, 600}));
  ASSERT_TRUE(Load.Reader);
  RestoreDesktopChildren(Load.Reader, Registry);
  EXPECT_FALSE(Load.Reader); // closed after the restore
  ASSERT_EQ(Restored.size(), 3u);
  EXPECT_EQ(Restored[0].FileName, "/tmp/a.sql");
  EXPECT_TRUE(Restored[0].ReadOnly);
  EXPECT_EQ(Restored[1].ClassName, "TDBMSOutputForm");
  EXPECT_EQ(Restored[2].FileName, std::string(300, 'f'));
  EXPECT_FALSE(Restored[2].ReadOnly);
}

TEST_F(Desktop, RestoreStopsAtTheLimitAndSaysSo) {
  int Created = 0;
  TDesktopRegistry Registry;
  Registry.Register("TTerminalForm", [&](TValueReader &R) {
    ++Created;
    R.ReadString();
  });
  Enable(true, true);
  for (int Count : {MaximumDesktopChildren, MaximumDesktopChildren + 1}) {
    TBytes B = PositionBytes();
    B.push_back(1);
    for (int I = 0; I < Count; ++I) {
      Str(B, "TTerminalForm");
      Str(B, "select 1 from dual");
    }
    B.push_back(0);
    PutBytes(FileName(), B);
    TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
    Created = 0;
    EXPECT_EQ(RestoreDesktopChildren(Load.Reader, Registry), Count > MaximumDesktopChildren);
    EXPECT_EQ(Created, MaximumDesktopChildren);
    EXPECT_FALSE(Load.Reader);
  }
}

TEST_F(Desktop, UnregisteredClassEndsTheRestoreAtItsRecord) {
  TBytes B = PositionBytes();
  B.push_back(1);
  Str(B, "TTerminalForm");
  Str(B, "select 1 from dual");
  Str(B, "TProcedureForm"); // not registered in this build
  Str(B, "whatever it holds");
  Str(B, "TTerminalForm");
  Str(B, "never reached");
  B.push_back(0);
  PutBytes(FileName(), B);

  std::vector<std::string> Commands;
  TDesktopRegistry Registry;
  Registry.Register("TTerminalForm", [&](TValueReader &R) { Commands.push_back(R.ReadString()); });
  Enable(true, true);
  TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
  RestoreDesktopChildren(Load.Reader, Registry);
  EXPECT_EQ(Commands, std::vector<std::string>{"select 1 from dual"});
  EXPECT_FALSE(Load.Reader);
}

TEST_F(Desktop, DamagedFilesEndQuietlyOrWithTheMessage) {
  TDesktopRegistry Registry;
  int Created = 0;
  Registry.Register("TTerminalForm", [&](TValueReader &R) {
    ++Created;
    R.ReadString();
  });
  Enable(true, true);

  // No file: nothing, no message.
  TDesktopLoad Missing = LoadDesktopPosition(FileName(), CFG);
  EXPECT_FALSE(Missing.Position);
  EXPECT_TRUE(Missing.Message.empty());

  // A position cut short or of the wrong kind: the message, and no restore.
  for (TBytes Bad : {TBytes{2, 10, 2, 20, 3, 0x20}, TBytes{6, 1, 'x'}, TBytes{},
                     TBytes{2, 10, 2, 20, 2, 0xFF, 2, 1}}) { // a negative width
    PutBytes(FileName(), Bad);
    TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
    EXPECT_FALSE(Load.Position);
    EXPECT_FALSE(Load.Reader);
    EXPECT_EQ(Load.Message,
              "Configuration file error or file version mismatch.\nPlease, review all settings.");
  }

  // A list that breaks off, or is no list: the windows made so far stay, the rest is dropped.
  auto Restore = [&](const TBytes &ATail) {
    TBytes B = PositionBytes();
    B.insert(B.end(), ATail.begin(), ATail.end());
    PutBytes(FileName(), B);
    TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
    EXPECT_TRUE(Load.Message.empty());
    Created = 0;
    RestoreDesktopChildren(Load.Reader, Registry);
    EXPECT_FALSE(Load.Reader);
    return Created;
  };
  EXPECT_EQ(Restore({}), 0);
  EXPECT_EQ(Restore({2, 1}), 0);
  EXPECT_EQ(
      Restore({1, 6, 13, 'T', 'T', 'e', 'r', 'm', 'i', 'n', 'a', 'l', 'F', 'o', 'r', 'm', 6, 0}),
      1); // no list end
  EXPECT_EQ(Restore({1, 6, 13, 'T', 'T', 'e', 'r', 'm', 'i', 'n', 'a', 'l', 'F', 'o', 'r', 'm'}),
            1); // the window's own value missing: its creation fails
  EXPECT_EQ(Restore({1, 12, 0xFF, 0xFF, 0xFF, 0x7F, 'T'}), 0); // an absurd name length
  EXPECT_EQ(Restore({1, 0}), 0);

  // A window whose creation fails for its own reasons ends the restore too.
  Registry.Register("TProcedureForm", [](TValueReader &) { throw Exception("not connected"); });
  TBytes B = PositionBytes();
  B.push_back(1);
  Str(B, "TProcedureForm");
  Str(B, "TTerminalForm");
  Str(B, "x");
  B.push_back(0);
  PutBytes(FileName(), B);
  TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
  Created = 0;
  RestoreDesktopChildren(Load.Reader, Registry);
  EXPECT_EQ(Created, 0);
}

TEST_F(Desktop, ChildWindowsRoundTripThroughTheFile) {
  Enable(true, true);
  QMdiArea Area;
  Area.resize(900, 700);
  Area.show();
  auto NewChild = [&](const QRect &AGeometry) {
    QMdiSubWindow *Window = Area.addSubWindow(new QWidget);
    Window->show();
    Window->setGeometry(AGeometry);
    return Window;
  };
  // The frame maximises whichever child becomes active while the active one is maximised,
  // so only the last window restored can keep that state: the first one created.
  QMdiSubWindow *First = NewChild(QRect(70, 90, 250, 120));
  First->setWindowTitle("first");
  NewChild(QRect(40, 50, 300, 150))->setWindowTitle("second");
  NewChild(QRect(10, 10, 200, 100))->setWindowTitle("third");
  First->showMaximized();

  // Each child writes its class name, its placement and its own value while it closes.
  SaveDesktop(FileName(), CFG, {5, 6, 900, 700}, [&](TValueWriter &W) {
    QList<QMdiSubWindow *> Children = Area.subWindowList(QMdiArea::CreationOrder);
    for (auto Child = Children.rbegin(); Child != Children.rend(); ++Child) {
      W.WriteString("TTerminalForm");
      WritePlacement(W, **Child);
      W.WriteString((*Child)->windowTitle().toStdString());
      (*Child)->close();
    }
  });

  QMdiArea Restored;
  Restored.resize(900, 700);
  Restored.show();
  TDesktopRegistry Registry;
  Registry.Register("TTerminalForm", [&](TValueReader &R) {
    QMdiSubWindow *Window = Restored.addSubWindow(new QWidget);
    ReadPlacement(R, *Window);
    Window->setWindowTitle(QString::fromStdString(R.ReadString()));
  });
  TDesktopLoad Load = LoadDesktopPosition(FileName(), CFG);
  ASSERT_TRUE(Load.Position);
  EXPECT_EQ(*Load.Position, (TDesktopPosition{5, 6, 900, 700}));
  RestoreDesktopChildren(Load.Reader, Registry);

  QList<QMdiSubWindow *> Windows = Restored.subWindowList(QMdiArea::CreationOrder);
  ASSERT_EQ(Windows.size(), 3);
  // Written last to first, so restored in that order.
  EXPECT_EQ(Windows[0]->windowTitle(), "third");
  EXPECT_EQ(Windows[0]->geometry(), QRect(10, 10, 200, 100));
  EXPECT_EQ(Windows[1]->windowTitle(), "second");
  EXPECT_EQ(Windows[1]->geometry(), QRect(40, 50, 300, 150));
  EXPECT_EQ(Windows[2]->windowTitle(), "first");
  EXPECT_TRUE(Windows[2]->isMaximized());
  Windows[2]->showNormal();
  EXPECT_EQ(Windows[2]->geometry(), QRect(70, 90, 250, 120));
}

// A desktop or configuration file name taken by what is no regular file: reported at start,
// never read. The test holds the FIFO's other end, so a plain open would not wait on it.
TEST_F(Desktop, NamesOfNoRegularFileAreReportedNotRead) {
  const QString Sub = Folder.filePath(QString::fromUtf8("Pr\u00fcfung"));
  ASSERT_TRUE(QDir().mkpath(Sub));
  const std::string Device = FileNameFromQString(Sub + "/tessaly.ds");
  ASSERT_EQ(symlink("/dev/zero", Device.c_str()), 0);
  Enable(true, true);
  TDesktopLoad Load = LoadDesktopPosition(Device, CFG);
  EXPECT_FALSE(Load.Position);
  EXPECT_FALSE(Load.Reader);
  EXPECT_EQ(Load.Message, "Cannot open file " + Device);

  const std::string Fifo = FileNameFromQString(Sub + "/tessaly.cfg");
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  const int Writer = open(Fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(Writer, 0);
  TCFG Loaded;
  Loaded.SetEditorTabSize(5);
  TLoginState Login{"a", "b"};
  EXPECT_EQ(LoadConfiguration(Fifo, Loaded, Login),
            std::vector<std::string>{"Cannot open file " + Fifo});
  EXPECT_EQ(Loaded.EditorTabSize(), TCFG().EditorTabSize());
  EXPECT_EQ(Login, TLoginState{});
  close(Writer);
}

TEST_F(Desktop, FailedSaveKeepsTheOldFileAndReports) {
  Enable(true, true);
  PutBytes(FileName(), PositionBytes());
  // A child that fails while writing its record: the old desktop stays whole.
  EXPECT_THROW(SaveDesktop(FileName(), CFG, {0, 0, 1, 1},
                           [](TValueWriter &W) {
                             W.WriteString("TEditForm");
                             W.WriteInteger(std::int64_t(1) << 40);
                           }),
               EConfigError);
  EXPECT_EQ(FileBytes(FileName()), PositionBytes());
  try {
    SaveDesktop(Folder.filePath("none/x.ds").toStdString(), CFG, {}, nullptr);
    FAIL() << "no error";
  } catch (const EConfigError &E) {
    EXPECT_EQ(E.Message(), "Configuration file error. Unable to save configuration.");
  }
}
