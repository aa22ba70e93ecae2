// Loading the client library and resolving its entry points; layer error messages; cursor checks.
#include "FakeOciClient.h"

#include <gtest/gtest.h>

namespace {

// A session of its own per test, with its own entry table, so every test starts unloaded.
struct TLoadingTest : ::testing::Test {
  TOciEntries Entries;
  TOracleSession LocalSession{&Entries};
  void SetUp() override { unsetenv("TESSALY_OCI_LIBRARY"); }
  void TearDown() override { unsetenv("TESSALY_OCI_LIBRARY"); }
};

TEST_F(TLoadingTest, NoLibraryFailsAndALaterLoadTriesAllNamesAgain) {
  LocalSession.SetLibraryFolder(FakeOciFolder("empty"));
  try {
    LocalSession.LoadInterface();
    FAIL() << "loading from an empty folder succeeded";
  } catch (const EDbInterface &E) {
    EXPECT_EQ(E.Message(), "Error : 1.0.[Load interface dll's failed.]");
    EXPECT_EQ(E.ErrorCode(), MakeErrorCode(1, 30201, 50000));
  }
  EXPECT_FALSE(LocalSession.InterfaceLoaded());
  EXPECT_FALSE(Entries.Has(ociOlog));

  LocalSession.SetLibraryFolder(FakeOciFolder("full"));
  LocalSession.LoadInterface();
  EXPECT_TRUE(LocalSession.InterfaceLoaded());
  EXPECT_EQ(TFakeOci(LocalSession).Name(), "full/ora73");
}

TEST_F(TLoadingTest, FirstNameMissingTakesTheSecondAndStops) {
  LocalSession.SetLibraryFolder(FakeOciFolder("second"));
  LocalSession.LoadInterface();
  // ora74 sits in the same folder but comes after ora72 in the list.
  EXPECT_EQ(TFakeOci(LocalSession).Name(), "second/ora72");
  EXPECT_NE(LocalSession.LibraryPath().find("libora72.so"), std::string::npos);
}

TEST_F(TLoadingTest, EnvironmentOverrideIsTriedBeforeTheList) {
  setenv("TESSALY_OCI_LIBRARY", (FakeOciFolder("second") + "/libora74.so").c_str(), 1);
  LocalSession.SetLibraryFolder(FakeOciFolder("full"));
  LocalSession.LoadInterface();
  EXPECT_EQ(TFakeOci(LocalSession).Name(), "second/ora74");
}

TEST_F(TLoadingTest, MissingNamesLeaveSlotsEmptyAndOpinitIsSkipped) {
  LocalSession.SetLibraryFolder(FakeOciFolder("noinit"));
  LocalSession.LoadInterface();
  EXPECT_FALSE(Entries.Has(ociOpinit));
  EXPECT_FALSE(Entries.Has(ociOdessp));
  for (TOciEntry Entry : {ociOlog, ociOlogof, ociOerhms, ociOparse, ociObreak, ociOopt})
    EXPECT_TRUE(Entries.Has(Entry)) << OciEntryNames[Entry];
  EXPECT_EQ(TFakeOci(LocalSession).Count("opinit"), 0);
  // Calling an empty slot is a layer fault, not a jump through a null pointer.
  EXPECT_THROW(Entries.odessp(), EDbInterface);
}

TEST_F(TLoadingTest, OpinitRunsOnEveryLoadAndTheUseCountKeepsTheLibrary) {
  LocalSession.SetLibraryFolder(FakeOciFolder("full"));
  LocalSession.AcquireInterface();
  TFakeOci Fake(LocalSession);
  EXPECT_EQ(Fake.Log(), "opinit 1\n");
  LocalSession.AcquireInterface(); // use count 1: no new load
  EXPECT_EQ(Fake.Count("opinit"), 1);
  EXPECT_EQ(LocalSession.InterfaceUseCount(), 2);
  LocalSession.LoadInterface(); // an explicit load repeats the initialisation
  EXPECT_EQ(Fake.Count("opinit"), 2);

  LocalSession.ReleaseInterface();
  LocalSession.ReleaseInterface();
  EXPECT_EQ(LocalSession.InterfaceUseCount(), 0);
  EXPECT_TRUE(LocalSession.InterfaceLoaded()); // released down to 0, still loaded
  LocalSession.ReleaseInterface();             // at 0 the library goes
  EXPECT_FALSE(LocalSession.InterfaceLoaded());
  EXPECT_FALSE(Entries.Has(ociOlog));
}

TEST(ErrorRoutines, MessagesCarryFacilityAndNumber) {
  EXPECT_EQ(InterfaceErrorMessage(MakeErrorCode(1, 30202, 50009), "Disconnect first"),
            "Error : 2.9.[Disconnect first]");
  EXPECT_EQ(InterfaceErrorMessage(MakeErrorCode(0, 30206, 50001), "P1"), "Warning : 6.1.[P1]");
  EXPECT_EQ(InterfaceErrorMessage(MakeErrorCode(1, 30203, 50011), ""), "Error : 3.11.[]");
  EXPECT_LT(MakeErrorCode(1, 30201, 50000), 0); // severity sits in the sign bit
  try {
    RaiseInterfaceError(MakeErrorCode(0, 30206, 50004), "P");
    FAIL();
  } catch (const EDbInterface &E) {
    // A warning aborts the operation exactly like an error.
    EXPECT_EQ(E.Message(), "Warning : 6.4.[P]");
    EXPECT_EQ(E.ErrorCode(), MakeErrorCode(0, 30206, 50004));
  }
  EXPECT_EQ(StripCarriageReturns("a\r\nb\r"), "a \nb ");
}

TEST(ConnectText, SlashOnlyWithAPasswordAndTheAtSignAlways) {
  EXPECT_EQ(TOracleDatabase::ConnectText("SCOTT", "TIGER", "HOST"), "SCOTT/TIGER@HOST");
  EXPECT_EQ(TOracleDatabase::ConnectText("SCOTT", "", "HOST"), "SCOTT@HOST");
  EXPECT_EQ(TOracleDatabase::ConnectText("SCOTT", "TIGER", ""), "SCOTT/TIGER@");
  EXPECT_EQ(TOracleDatabase::ConnectText("", "", ""), "@");
}

TEST(OracleCursor, StartsZeroedAndReadsItsMembers) {
  TOracleCursor Cursor;
  for (ub1 Byte : Cursor.Data()->area)
    EXPECT_EQ(Byte, 0);
  EXPECT_NO_THROW(Cursor.Check());
  Cursor.Data()->area[2] = 4;    // function code SELECT
  Cursor.Data()->area[4] = 0x10; // rows processed
  Cursor.Data()->area[5] = 0x27;
  Cursor.Data()->area[8] = 7;     // parse error offset
  Cursor.Data()->area[14] = 0x21; // warning flags
  EXPECT_EQ(Cursor.FunctionCode(), 4);
  EXPECT_EQ(Cursor.RowsProcessed(), 0x2710u);
  EXPECT_EQ(Cursor.ParseErrorOffset(), 7);
  EXPECT_EQ(Cursor.WarningFlags(), 0x21);
}

} // namespace
