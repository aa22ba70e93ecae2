// TCFG's keys, the editors it feeds, and the configuration file against hand-assembled bytes.
#include "app/MainUnitConfig.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes FileBytes(const std::string &AFileName) {
  std::ifstream File(AFileName, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(File), {});
}

void PutBytes(const std::string &AFileName, const TBytes &ABytes) {
  std::ofstream(AFileName, std::ios::binary)
      .write(reinterpret_cast<const char *>(ABytes.data()), std::streamsize(ABytes.size()));
}

// Format helpers: a one-byte length and the characters; tagged values.
void Name(TBytes &B, const std::string &AName) {
  B.push_back(std::uint8_t(AName.size()));
  B.insert(B.end(), AName.begin(), AName.end());
}
void Add(TBytes &B, std::initializer_list<std::uint8_t> AList) { B.insert(B.end(), AList); }
void Ident(TBytes &B, const std::string &AIdent) {
  B.push_back(7);
  Name(B, AIdent);
}
void Str(TBytes &B, const std::string &AText) {
  B.push_back(6);
  Name(B, AText);
}
void Signature(TBytes &B) { Add(B, {'T', 'P', 'F', '0'}); }

// The login record as it is written: the form without properties, its three edits.
TBytes LoginRecord(const std::string &AUserName, const std::string &APassword,
                   const std::string &AHost) {
  TBytes B;
  Signature(B);
  Name(B, "TLoginForm");
  Name(B, "LoginForm");
  B.push_back(0);
  auto Edit = [&](const char *AName, const std::string &AText) {
    Name(B, "TEdit");
    Name(B, AName);
    if (!AText.empty()) {
      Name(B, "Text");
      Str(B, AText);
    }
    Add(B, {0, 0});
  };
  Edit("UserName", AUserName);
  Edit("Password", APassword);
  Edit("Host", AHost);
  B.push_back(0);
  return B;
}

TBytes EmptyConfigRecord() {
  TBytes B;
  Signature(B);
  Name(B, "TCFG");
  Name(B, "");
  Add(B, {0, 0});
  return B;
}

TBytes Concat(TBytes A, const TBytes &B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

void ExpectInitial(const TCFG &C) {
  EXPECT_EQ(C.Tag(), 0);
  EXPECT_EQ(C.TerminalBufferLimit(), 100);
  EXPECT_FALSE(C.IgnoreDropErrors());
  EXPECT_EQ(C.EditorFont().Name(), "Courier New");
  EXPECT_EQ(C.EditorFont().Size(), 10);
  EXPECT_EQ(C.EditorFont().Style(), 0);
  EXPECT_EQ(C.EditorSyntaxStyles(), TCFG::InitialSyntaxStyles());
  EXPECT_FALSE(C.EditorAutoIndent());
  EXPECT_FALSE(C.EditorBackspaceUnindents());
  EXPECT_EQ(C.EditorTabSize(), 8);
  EXPECT_EQ(C.EditorUndoLimit(), 128);
  EXPECT_TRUE(C.EditorLineNumbers());
  EXPECT_EQ(C.DBMSBufferLimit(), 1000);
  EXPECT_EQ(C.DBMSOracleBufferLimit(), 10240);
  EXPECT_FALSE(C.SaveDesktopPosition());
  EXPECT_FALSE(C.SaveDesktopState());
  EXPECT_FALSE(C.SaveLocally());
}

// Gives every key a value other than its initial one.
void ChangeEveryKey(TCFG &C) {
  C.SetTag(-7);
  C.SetTerminalBufferLimit(250000);
  C.SetIgnoreDropErrors(true);
  TFont Font("Lucida Console", 14);
  Font.SetStyle(fsBold | fsUnderline);
  Font.SetColor(clMaroon);
  Font.SetPitch(TFontPitch::fpFixed);
  C.SetEditorFont(Font);
  TTextStyles Styles = TCFG::InitialSyntaxStyles();
  Styles[0] = TTextStyle(clBlack, clYellow, fsStrikeOut);
  Styles[3].SetBackground(clBtnFace);
  Styles.push_back(TTextStyle(0x00102030, clDefault, fsBold | fsItalic));
  C.SetEditorSyntaxStyles(Styles);
  C.SetEditorAutoIndent(true);
  C.SetEditorBackspaceUnindents(true);
  C.SetEditorTabSize(3);
  C.SetEditorUndoLimit(7);
  C.SetEditorLineNumbers(false);
  C.SetDBMSBufferLimit(-1);
  C.SetDBMSOracleBufferLimit(1000000);
  C.SetSaveDesktopPosition(true);
  C.SetSaveDesktopState(true);
  C.SetSaveLocally(true);
}

void ExpectSame(const TCFG &A, const TCFG &B) {
  EXPECT_EQ(A.Tag(), B.Tag());
  EXPECT_EQ(A.TerminalBufferLimit(), B.TerminalBufferLimit());
  EXPECT_EQ(A.IgnoreDropErrors(), B.IgnoreDropErrors());
  EXPECT_EQ(A.EditorFont(), B.EditorFont());
  EXPECT_EQ(A.EditorSyntaxStyles(), B.EditorSyntaxStyles());
  EXPECT_EQ(A.EditorAutoIndent(), B.EditorAutoIndent());
  EXPECT_EQ(A.EditorBackspaceUnindents(), B.EditorBackspaceUnindents());
  EXPECT_EQ(A.EditorTabSize(), B.EditorTabSize());
  EXPECT_EQ(A.EditorUndoLimit(), B.EditorUndoLimit());
  EXPECT_EQ(A.EditorLineNumbers(), B.EditorLineNumbers());
  EXPECT_EQ(A.DBMSBufferLimit(), B.DBMSBufferLimit());
  EXPECT_EQ(A.DBMSOracleBufferLimit(), B.DBMSOracleBufferLimit());
  EXPECT_EQ(A.SaveDesktopPosition(), B.SaveDesktopPosition());
  EXPECT_EQ(A.SaveDesktopState(), B.SaveDesktopState());
  EXPECT_EQ(A.SaveLocally(), B.SaveLocally());
}

class TFakeEditor : public IConfigEditor {
public:
  void ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool AAutoIndent,
                         bool ABackspaceUnindents, int ATabSize, int AUndoLimit,
                         bool ALineNumbers) override {
    ++Calls;
    Font = AFont;
    Styles = AStyles;
    AutoIndent = AAutoIndent;
    BackspaceUnindents = ABackspaceUnindents;
    TabSize = ATabSize;
    UndoLimit = AUndoLimit;
    LineNumbers = ALineNumbers;
  }
  int Calls = 0;
  TFont Font;
  TTextStyles Styles;
  bool AutoIndent = false, BackspaceUnindents = false;
  int TabSize = 0, UndoLimit = 0;
  bool LineNumbers = false;
};

class ConfigFile : public ::testing::Test {
protected:
  QTemporaryDir Folder;
  std::string FileName() { return ConfigFileName(Folder.filePath("tessaly").toStdString()); }
};

} // namespace

TEST(CFG, CreateGivesTheInitialValuesAndKeyOrder) {
  TCFG C;
  ExpectInitial(C);
  const TTextStyles &S = C.EditorSyntaxStyles();
  ASSERT_EQ(S.size(), 5u);
  EXPECT_EQ(S[0], TTextStyle(0xFFFFFF, 0x800000, 0));
  EXPECT_EQ(S[1], TTextStyle(0x20000000, 0x20000000, fsBold));
  EXPECT_EQ(S[2], TTextStyle(0xFF0000, 0x20000000, 0));
  EXPECT_EQ(S[3], TTextStyle(0x008000, 0x20000000, 0));
  EXPECT_EQ(S[4], TTextStyle(0x800000, 0x20000000, fsItalic));

  std::vector<std::string> Names;
  for (const TPropertyInfo &Info : TCFG::Properties().Properties())
    Names.push_back(Info.Name);
  EXPECT_EQ(Names, (std::vector<std::string>{
                       "Tag", "TerminalBufferLimit", "IgnoreDropErrors", "EditorFont",
                       "EditorSyntaxStyles", "EditorAutoIndent", "EditorBackspaceUnindents",
                       "EditorTabSize", "EditorUndoLimit", "EditorLineNumbers", "DBMSBufferLimit",
                       "DBMSOracleBufferLimit", "SaveDesktopPosition", "SaveDesktopState",
                       "SaveLocally"}));
  EXPECT_EQ(ConfigFileName("/opt/tsy/Tessaly"), "/opt/tsy/Tessaly.cfg");
  EXPECT_EQ(ConfigFileName("/opt/tsy/Tessaly.exe"), "/opt/tsy/Tessaly.cfg");
  EXPECT_EQ(ConfigFileName("/opt/t.sy/Tessaly"), "/opt/t.sy/Tessaly.cfg");
}

TEST(CFG, EditorKeysReachEveryRegisteredEditorAtOnce) {
  TCFG C;
  TFakeEditor First, Second;
  C.RegisterEditor(First);
  EXPECT_EQ(First.Calls, 1); // a new editor takes the keys when it registers
  EXPECT_EQ(First.TabSize, 8);
  EXPECT_EQ(First.Font.Name(), "Courier New");
  C.RegisterEditor(Second);

  TFont Font("Arial", 20);
  C.SetEditorFont(Font);
  Font.SetName("Changed afterwards"); // the configuration keeps its own copy
  EXPECT_EQ(C.EditorFont().Name(), "Arial");
  EXPECT_EQ(First.Font.Name(), "Arial");
  EXPECT_EQ(Second.Font.Name(), "Arial");

  TTextStyles Styles(2);
  C.SetEditorSyntaxStyles(Styles);
  Styles.clear();
  EXPECT_EQ(C.EditorSyntaxStyles().size(), 2u);
  EXPECT_EQ(Second.Styles.size(), 2u);
  C.SetEditorAutoIndent(true);
  C.SetEditorBackspaceUnindents(true);
  C.SetEditorTabSize(4);
  EXPECT_TRUE(First.AutoIndent);
  EXPECT_TRUE(Second.BackspaceUnindents);
  EXPECT_EQ(Second.TabSize, 4);

  // Plain keys are read by their users; they do not disturb the editors.
  int Before = First.Calls;
  C.SetTerminalBufferLimit(5);
  C.SetSaveLocally(true);
  EXPECT_EQ(First.Calls, Before);

  C.UnregisterEditor(First);
  C.SetEditorTabSize(2);
  EXPECT_EQ(First.TabSize, 4);
  EXPECT_EQ(Second.TabSize, 2);
  EXPECT_EQ(C.EditorCount(), 1u);

  // Assign (the options dialog writing back) tells each editor once.
  TCFG Other;
  ChangeEveryKey(Other);
  Before = Second.Calls;
  C.Assign(Other);
  EXPECT_EQ(Second.Calls, Before + 1);
  EXPECT_EQ(Second.TabSize, 3);
  EXPECT_EQ(Second.UndoLimit, 7);
  EXPECT_FALSE(Second.LineNumbers);
  ExpectSame(C, Other);
}

TEST(CFG, RegistrationEndsWithEitherSide) {
  TFakeEditor Editor;
  {
    TCFG C;
    auto Registration = std::make_unique<TConfigEditorRegistration>(C, Editor);
    EXPECT_EQ(C.EditorCount(), 1u);
    Registration.reset();
    EXPECT_EQ(C.EditorCount(), 0u);
    Registration = std::make_unique<TConfigEditorRegistration>(C, Editor);
    // The configuration goes first here; the registration must not touch it afterwards.
    QObject Owner;
    auto *Owned = new TCFG(&Owner);
    TConfigEditorRegistration Late(*Owned, Editor);
    delete Owned;
  }
  SUCCEED();
}

TEST_F(ConfigFile, FreshConfigurationWritesTwoEmptyRecords) {
  TCFG C;
  SaveConfiguration(FileName(), C, TLoginState{});
  EXPECT_EQ(FileBytes(FileName()), Concat(EmptyConfigRecord(), LoginRecord("", "", "")));
}

TEST_F(ConfigFile, EveryKeyRoundTripsAndInitialValuesAreNotWritten) {
  TCFG C;
  ChangeEveryKey(C);
  TLoginState Login{"scott", "orcl"};
  SaveConfiguration(FileName(), C, Login);

  TCFG Back;
  TLoginState LoginBack;
  EXPECT_TRUE(LoadConfiguration(FileName(), Back, LoginBack).empty());
  ExpectSame(Back, C);
  EXPECT_EQ(LoginBack, Login);

  // Each key set back to its initial value disappears from the file and reads back the same.
  TCFG Initial;
  TCFG Changing;
  ChangeEveryKey(Changing);
  auto Reset = std::vector<std::pair<std::string, std::function<void(TCFG &)>>>{
      {"Tag", [&](TCFG &X) { X.SetTag(Initial.Tag()); }},
      {"TerminalBufferLimit", [&](TCFG &X) { X.SetTerminalBufferLimit(100); }},
      {"IgnoreDropErrors", [&](TCFG &X) { X.SetIgnoreDropErrors(false); }},
      {"EditorFont", [&](TCFG &X) { X.SetEditorFont(TFont("Courier New", 10)); }},
      {"EditorSyntaxStyles",
       [&](TCFG &X) { X.SetEditorSyntaxStyles(Initial.EditorSyntaxStyles()); }},
      {"EditorAutoIndent", [&](TCFG &X) { X.SetEditorAutoIndent(false); }},
      {"EditorBackspaceUnindents", [&](TCFG &X) { X.SetEditorBackspaceUnindents(false); }},
      {"EditorTabSize", [&](TCFG &X) { X.SetEditorTabSize(8); }},
      {"EditorUndoLimit", [&](TCFG &X) { X.SetEditorUndoLimit(128); }},
      {"EditorLineNumbers", [&](TCFG &X) { X.SetEditorLineNumbers(true); }},
      {"DBMSBufferLimit", [&](TCFG &X) { X.SetDBMSBufferLimit(1000); }},
      {"DBMSOracleBufferLimit", [&](TCFG &X) { X.SetDBMSOracleBufferLimit(10240); }},
      {"SaveDesktopPosition", [&](TCFG &X) { X.SetSaveDesktopPosition(false); }},
      {"SaveDesktopState", [&](TCFG &X) { X.SetSaveDesktopState(false); }},
      {"SaveLocally", [&](TCFG &X) { X.SetSaveLocally(false); }},
  };
  for (const auto &[Key, SetInitial] : Reset) {
    SetInitial(Changing);
    SaveConfiguration(FileName(), Changing, TLoginState{});
    TBytes Bytes = FileBytes(FileName());
    std::string Text(Bytes.begin(), Bytes.end());
    // The key's name, with its length byte in front, no longer occurs.
    EXPECT_EQ(Text.find(char(Key.size()) + Key), std::string::npos) << Key;
    TCFG Read;
    TLoginState Ignored;
    EXPECT_TRUE(LoadConfiguration(FileName(), Read, Ignored).empty()) << Key;
    ExpectSame(Read, Changing);
  }
  // All keys back: the record is empty again.
  EXPECT_EQ(FileBytes(FileName()), Concat(EmptyConfigRecord(), LoginRecord("", "", "")));
}

TEST_F(ConfigFile, HandAssembledFileIsReadKeyByKey) {
  TBytes B;
  Signature(B);
  Name(B, "TCFG");
  Name(B, "CFG");
  Name(B, "TerminalBufferLimit");
  Add(B, {3, 0xF4, 0x01}); // 500
  Name(B, "IgnoreDropErrors");
  B.push_back(9);
  Name(B, "EditorFont.Name");
  Str(B, "Arial");
  Name(B, "EditorFont.Size");
  Add(B, {2, 12});
  Name(B, "EditorFont.Style");
  B.push_back(11);
  Name(B, "fsBold");
  B.push_back(0);
  Name(B, "EditorSyntaxStyles");
  Add(B, {14, 1});
  Name(B, "Foreground");
  Ident(B, "clWhite");
  Name(B, "Background");
  Ident(B, "clBlack");
  Add(B, {0, 1});
  Name(B, "Style");
  B.push_back(11);
  Name(B, "fsUnderline");
  Add(B, {0, 0, 0});
  Name(B, "EditorTabSize");
  Add(B, {2, 4});
  Name(B, "DBMSOracleBufferLimit");
  Add(B, {4, 0x00, 0x00, 0x01, 0x00}); // 65536
  Name(B, "SaveDesktopPosition");
  B.push_back(9);
  Add(B, {0, 0});
  B = Concat(B, LoginRecord("scott", "tiger", "orcl"));
  PutBytes(FileName(), B);

  TCFG C;
  TLoginState Login;
  EXPECT_TRUE(LoadConfiguration(FileName(), C, Login).empty());
  EXPECT_EQ(C.TerminalBufferLimit(), 500);
  EXPECT_TRUE(C.IgnoreDropErrors());
  EXPECT_EQ(C.EditorFont().Name(), "Arial");
  EXPECT_EQ(C.EditorFont().Size(), 12);
  EXPECT_EQ(C.EditorFont().Style(), fsBold);
  EXPECT_EQ(C.EditorSyntaxStyles(), (TTextStyles{TTextStyle(clWhite, clBlack, 0),
                                                 TTextStyle(clDefault, clDefault, fsUnderline)}));
  EXPECT_EQ(C.EditorTabSize(), 4);
  EXPECT_EQ(C.DBMSOracleBufferLimit(), 65536);
  EXPECT_TRUE(C.SaveDesktopPosition());
  EXPECT_FALSE(C.SaveDesktopState());
  EXPECT_EQ(C.DBMSBufferLimit(), 1000);
  // The password found in the file is not taken.
  EXPECT_EQ(Login, (TLoginState{"scott", "orcl"}));
  C.SetName("CFG");
  SaveConfiguration(FileName(), C, Login);
  TBytes Saved = FileBytes(FileName());
  EXPECT_EQ(std::string(Saved.begin(), Saved.end()).find("tiger"), std::string::npos);
  EXPECT_EQ(Saved.size(), B.size() - 1 - 4 - 1 - 1 - 5); // B less the password property
}

TEST_F(ConfigFile, MissingFileGivesDefaultsSilently) {
  TCFG C;
  ChangeEveryKey(C);
  TLoginState Login{"a", "b"};
  EXPECT_TRUE(LoadConfiguration(FileName(), C, Login).empty());
  ExpectInitial(C);
  EXPECT_EQ(Login, TLoginState{});
}

TEST_F(ConfigFile, UnreadableRecordFallsBackAloneWithTheMismatchMessage) {
  auto Load = [&](const TBytes &ABytes, TCFG &C, TLoginState &Login) {
    PutBytes(FileName(), ABytes);
    C.Assign(TCFG());
    C.SetEditorTabSize(77); // neither initial nor what any file holds
    Login = {"x", "y"};
    return LoadConfiguration(FileName(), C, Login);
  };
  const std::string Mismatch =
      "Configuration file error or file version mismatch.\nPlease, review all settings.";
  TCFG C;
  TLoginState Login;

  // An unknown property in the first record: its defaults, the login still read.
  TBytes Unknown;
  Signature(Unknown);
  Name(Unknown, "TCFG");
  Name(Unknown, "");
  Name(Unknown, "EditorTabSize");
  Add(Unknown, {2, 3});
  Name(Unknown, "FutureKey");
  Add(Unknown, {2, 1, 0, 0});
  EXPECT_EQ(Load(Concat(Unknown, LoginRecord("scott", "", "orcl")), C, Login),
            std::vector<std::string>{Mismatch});
  ExpectInitial(C);
  EXPECT_EQ(Login, (TLoginState{"scott", "orcl"}));

  // An unknown control in the login record: the configuration stays, the login is reset.
  TBytes Dialog;
  Signature(Dialog);
  Name(Dialog, "TLoginForm");
  Name(Dialog, "LoginForm");
  Dialog.push_back(0);
  Name(Dialog, "TCheckBox");
  Name(Dialog, "RememberBox");
  Add(Dialog, {0, 0, 0});
  TBytes Tab;
  Signature(Tab);
  Name(Tab, "TCFG");
  Name(Tab, "");
  Name(Tab, "EditorTabSize");
  Add(Tab, {2, 3, 0, 0});
  EXPECT_EQ(Load(Concat(Tab, Dialog), C, Login), std::vector<std::string>{Mismatch});
  EXPECT_EQ(C.EditorTabSize(), 3);
  EXPECT_EQ(C.TerminalBufferLimit(), 100);
  EXPECT_EQ(Login, TLoginState{});

  // A foreign file: both records fall back, two messages.
  EXPECT_EQ(Load({'<', 'h', 't', 'm', 'l', '>'}, C, Login),
            (std::vector<std::string>{Mismatch, Mismatch}));
  ExpectInitial(C);
  EXPECT_EQ(Login, TLoginState{});
  EXPECT_EQ(Load({}, C, Login), (std::vector<std::string>{Mismatch, Mismatch}));

  // Every truncation of a good file: never a crash, never a half-read record.
  TCFG Full;
  ChangeEveryKey(Full);
  SaveConfiguration(FileName(), Full, TLoginState{"scott", "orcl"});
  const TBytes Good = FileBytes(FileName());
  const std::size_t FirstLength = Good.size() - LoginRecord("scott", "", "orcl").size();
  for (std::size_t Length = 0; Length < Good.size(); ++Length) {
    std::vector<std::string> Messages =
        Load(TBytes(Good.begin(), Good.begin() + std::ptrdiff_t(Length)), C, Login);
    if (Length < FirstLength) {
      ASSERT_EQ(Messages.size(), 2u) << Length;
      ExpectInitial(C);
    } else {
      ASSERT_EQ(Messages, std::vector<std::string>{Mismatch}) << Length;
      ExpectSame(C, Full);
    }
    EXPECT_EQ(Login, TLoginState{});
  }
}

TEST_F(ConfigFile, FailedSaveReportsAndKeepsTheOldFile) {
  TCFG C;
  const std::string Unwritable = Folder.filePath("missing/folder/tessaly.cfg").toStdString();
  try {
    SaveConfiguration(Unwritable, C, TLoginState{});
    FAIL() << "no error";
  } catch (const EConfigError &E) {
    EXPECT_EQ(E.Message(), "Configuration file error. Unable to save configuration.");
  }
  // A folder standing where the file should be.
  QDir(Folder.path()).mkdir("tessaly.cfg");
  EXPECT_THROW(SaveConfiguration(FileName(), C, TLoginState{}), EConfigError);
}
