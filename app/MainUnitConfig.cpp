// TCFG, its published-property description, and reading and writing the configuration file.
#include "app/MainUnitConfig.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <algorithm>
#include <cstring>

namespace {

// A configuration file is a few hundred bytes; anything far larger is not one of ours, and
// reading it whole would only waste memory.
constexpr std::int64_t MaximumConfigSize = 1 << 20;

const char Signature[] = "TPF0";

const TClassProperties &TextStyleProperties() {
  static const TClassProperties Description = [] {
    TClassProperties Class("TTextStyle");
    TClassProperties::Of<TTextStyle> P(Class);
    P.Color("Foreground", &TTextStyle::Foreground, &TTextStyle::SetForeground, clDefault);
    P.Color("Background", &TTextStyle::Background, &TTextStyle::SetBackground, clDefault);
    P.Set("Style", &TTextStyle::Style, &TTextStyle::SetStyle,
          {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, TFontStyles(0));
    return Class;
  }();
  return Description;
}

// One edit of the login dialog as the stream sees it: a Text property.
class TEditText {
public:
  explicit TEditText(std::string *AText) : FText(AText) {}
  const std::string &Text() const { return *FText; }
  void SetText(const std::string &AValue) { *FText = AValue; }

  static const TClassProperties &Properties() {
    static const TClassProperties Description = [] {
      TClassProperties Class("TEdit");
      TClassProperties::Of<TEditText> P(Class);
      P.String("Text", &TEditText::Text, &TEditText::SetText, std::string());
      return Class;
    }();
    return Description;
  }

private:
  std::string *FText;
};

const TClassProperties &LoginFormProperties() {
  static const TClassProperties Description("TLoginForm");
  return Description;
}

// The login dialog's record: the form, then its three edits. Texts live in the given strings.
struct TLoginRecord {
  TEditText UserName, Password, Host;
  TComponentRecord Record;

  TLoginRecord(std::string &AUserName, std::string &APassword, std::string &AHost)
      : UserName(&AUserName), Password(&APassword), Host(&AHost) {
    Record.ClassName = "TLoginForm";
    Record.Name = "LoginForm";
    Record.Class = &LoginFormProperties();
    auto Edit = [](const char *AName, TEditText &AEdit) {
      TComponentRecord Child;
      Child.ClassName = "TEdit";
      Child.Name = AName;
      Child.Object = &AEdit;
      Child.Class = &TEditText::Properties();
      return Child;
    };
    Record.Children = {Edit("UserName", UserName), Edit("Password", Password), Edit("Host", Host)};
  }
};

} // namespace

// TCFG

TCFG::TCFG(QObject *AOwner)
    : TComponent(AOwner), FEditorFont(InitialEditorFont()),
      FEditorSyntaxStyles(InitialSyntaxStyles()) {}

const TFont &TCFG::InitialEditorFont() {
  static const TFont Font("Courier New", 10);
  return Font;
}

const TTextStyles &TCFG::InitialSyntaxStyles() {
  static const TTextStyles Styles = {
      TTextStyle(clWhite, clNavy, 0),           // selected text
      TTextStyle(clDefault, clDefault, fsBold), // reserved word
      TTextStyle(clBlue, clDefault, 0),         // number
      TTextStyle(clGreen, clDefault, 0),        // string
      TTextStyle(clNavy, clDefault, fsItalic),  // comment
  };
  return Styles;
}

void TCFG::SetEditorFont(const TFont &AValue) {
  FEditorFont = AValue;
  ApplyToEditors();
}

void TCFG::SetEditorSyntaxStyles(const TTextStyles &AValue) {
  FEditorSyntaxStyles = AValue;
  ApplyToEditors();
}

void TCFG::SetEditorAutoIndent(bool AValue) {
  FEditorAutoIndent = AValue;
  ApplyToEditors();
}

void TCFG::SetEditorBackspaceUnindents(bool AValue) {
  FEditorBackspaceUnindents = AValue;
  ApplyToEditors();
}

void TCFG::SetEditorTabSize(int AValue) {
  FEditorTabSize = AValue;
  ApplyToEditors();
}

void TCFG::SetEditorUndoLimit(int AValue) {
  FEditorUndoLimit = AValue;
  ApplyToEditors();
}

void TCFG::SetEditorLineNumbers(bool AValue) {
  FEditorLineNumbers = AValue;
  ApplyToEditors();
}

void TCFG::Assign(const TCFG &ASource) {
  SetTag(ASource.Tag());
  SetTerminalBufferLimit(ASource.TerminalBufferLimit());
  SetIgnoreDropErrors(ASource.IgnoreDropErrors());
  // The editor keys in one go, so each editor is told once.
  FEditorFont = ASource.FEditorFont;
  FEditorSyntaxStyles = ASource.FEditorSyntaxStyles;
  FEditorAutoIndent = ASource.FEditorAutoIndent;
  FEditorBackspaceUnindents = ASource.FEditorBackspaceUnindents;
  FEditorTabSize = ASource.FEditorTabSize;
  FEditorUndoLimit = ASource.FEditorUndoLimit;
  FEditorLineNumbers = ASource.FEditorLineNumbers;
  ApplyToEditors();
  SetDBMSBufferLimit(ASource.DBMSBufferLimit());
  SetDBMSOracleBufferLimit(ASource.DBMSOracleBufferLimit());
  SetSaveDesktopPosition(ASource.SaveDesktopPosition());
  SetSaveDesktopState(ASource.SaveDesktopState());
  SetSaveLocally(ASource.SaveLocally());
}

void TCFG::RegisterEditor(IConfigEditor &AEditor) {
  if (std::find(FEditors.begin(), FEditors.end(), &AEditor) == FEditors.end())
    FEditors.push_back(&AEditor);
  AEditor.ApplyEditorConfig(FEditorFont, FEditorSyntaxStyles, FEditorAutoIndent,
                            FEditorBackspaceUnindents, FEditorTabSize, FEditorUndoLimit,
                            FEditorLineNumbers);
}

void TCFG::UnregisterEditor(IConfigEditor &AEditor) { std::erase(FEditors, &AEditor); }

void TCFG::ApplyToEditors() const {
  // A copy, so an editor that unregisters while being told does not disturb the walk.
  const std::vector<IConfigEditor *> Editors = FEditors;
  for (IConfigEditor *Editor : Editors)
    if (std::find(FEditors.begin(), FEditors.end(), Editor) != FEditors.end())
      Editor->ApplyEditorConfig(FEditorFont, FEditorSyntaxStyles, FEditorAutoIndent,
                                FEditorBackspaceUnindents, FEditorTabSize, FEditorUndoLimit,
                                FEditorLineNumbers);
}

QFont EditorScreenFont(const TFont &AFont) {
  // Installed means the font matches itself: fontconfig may list or substitute a name it
  // has no file of.
  auto Installed = [](const QString &AFamily) {
    return QFontDatabase::families().contains(AFamily, Qt::CaseInsensitive) &&
           QFontInfo(QFont(AFamily)).family().compare(AFamily, Qt::CaseInsensitive) == 0;
  };
  QFont Result = AFont.ToQFont();
  if (Installed(Result.family()))
    return Result;
  // The family the system's fixed font really is, not a generic alias, so that the font
  // dialog can offer it; failing that, the first installed fixed-width family.
  QString Family = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
  if (!Installed(Family) || !QFontDatabase::isFixedPitch(Family))
    for (const QString &Candidate : QFontDatabase::families())
      if (QFontDatabase::isFixedPitch(Candidate) && Installed(Candidate)) {
        Family = Candidate;
        break;
      }
  Result.setFamily(Family);
  Result.setFixedPitch(true);
  Result.setStyleHint(QFont::TypeWriter);
  return Result;
}

const TClassProperties &TCFG::Properties() {
  static const TClassProperties Description = [] {
    TClassProperties Class("TCFG");
    const TCFG Initial;
    TClassProperties::Of<TCFG> P(Class);
    P.Integer("Tag", &TCFG::Tag, &TCFG::SetTag, Initial.Tag());
    P.Integer("TerminalBufferLimit", &TCFG::TerminalBufferLimit, &TCFG::SetTerminalBufferLimit,
              Initial.TerminalBufferLimit());
    P.Boolean("IgnoreDropErrors", &TCFG::IgnoreDropErrors, &TCFG::SetIgnoreDropErrors,
              Initial.IgnoreDropErrors());
    P.Object<TFont>("EditorFont", &TCFG::EditorFont, &TCFG::SetEditorFont, TFont::Properties(),
                    [] { return &InitialEditorFont(); });
    P.Collection<TTextStyles>(
        "EditorSyntaxStyles", &TCFG::EditorSyntaxStyles, &TCFG::SetEditorSyntaxStyles,
        TextStyleProperties(),
        [](const TTextStyles &AStyles) { return AStyles == InitialSyntaxStyles(); });
    P.Boolean("EditorAutoIndent", &TCFG::EditorAutoIndent, &TCFG::SetEditorAutoIndent,
              Initial.EditorAutoIndent());
    P.Boolean("EditorBackspaceUnindents", &TCFG::EditorBackspaceUnindents,
              &TCFG::SetEditorBackspaceUnindents, Initial.EditorBackspaceUnindents());
    P.Integer("EditorTabSize", &TCFG::EditorTabSize, &TCFG::SetEditorTabSize,
              Initial.EditorTabSize());
    P.Integer("EditorUndoLimit", &TCFG::EditorUndoLimit, &TCFG::SetEditorUndoLimit,
              Initial.EditorUndoLimit());
    P.Boolean("EditorLineNumbers", &TCFG::EditorLineNumbers, &TCFG::SetEditorLineNumbers,
              Initial.EditorLineNumbers());
    P.Integer("DBMSBufferLimit", &TCFG::DBMSBufferLimit, &TCFG::SetDBMSBufferLimit,
              Initial.DBMSBufferLimit());
    P.Integer("DBMSOracleBufferLimit", &TCFG::DBMSOracleBufferLimit,
              &TCFG::SetDBMSOracleBufferLimit, Initial.DBMSOracleBufferLimit());
    P.Boolean("SaveDesktopPosition", &TCFG::SaveDesktopPosition, &TCFG::SetSaveDesktopPosition,
              Initial.SaveDesktopPosition());
    P.Boolean("SaveDesktopState", &TCFG::SaveDesktopState, &TCFG::SetSaveDesktopState,
              Initial.SaveDesktopState());
    P.Boolean("SaveLocally", &TCFG::SaveLocally, &TCFG::SetSaveLocally, Initial.SaveLocally());
    return Class;
  }();
  return Description;
}

TComponentRecord TCFG::StreamRecord() {
  TComponentRecord Record;
  Record.ClassName = "TCFG";
  Record.Name = Name();
  Record.Object = this;
  Record.Class = &Properties();
  return Record;
}

TConfigEditorRegistration::TConfigEditorRegistration(TCFG &ACFG, IConfigEditor &AEditor)
    : FCFG(&ACFG), FEditor(AEditor) {
  ACFG.RegisterEditor(AEditor);
}

TConfigEditorRegistration::~TConfigEditorRegistration() {
  if (FCFG)
    FCFG->UnregisterEditor(FEditor);
}

// Files

std::string ChangeFileExt(const std::string &APath, const std::string &AExtension) {
  std::string::size_type Slash = APath.find_last_of("/\\");
  std::string::size_type Dot = APath.rfind('.');
  if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
    return APath + AExtension;
  return APath.substr(0, Dot) + AExtension;
}

std::string ConfigFileName(const std::string &AProgramPath) {
  return ChangeFileExt(AProgramPath, ".cfg");
}

std::vector<std::string> LoadConfiguration(const std::string &AFileName, TCFG &ACFG,
                                           TLoginState &ALogin) {
  std::vector<std::uint8_t> Content;
  try {
    TFileStream File(AFileName, TFileMode::fmOpenRead);
    // Too large or not read whole: left empty, which neither record can be read from.
    if (File.Size() <= MaximumConfigSize) {
      Content.resize(std::size_t(File.Size()));
      if (File.Read(Content.data(), Content.size()) != Content.size())
        Content.clear();
    }
  } catch (const EStreamError &E) {
    // No file (a fresh installation): initial values, no message. A name taken by something
    // that cannot be read (a FIFO, a folder) gets the same values, and is said.
    ACFG.Assign(TCFG());
    ALogin = TLoginState();
    if (FileExists(AFileName))
      return {E.Message()};
    return {};
  }
  return ReadConfiguration(Content, ACFG, ALogin);
}

std::vector<std::string> ReadConfiguration(const std::vector<std::uint8_t> &AContent, TCFG &ACFG,
                                           TLoginState &ALogin) {
  std::vector<std::string> Messages;
  TReadOnlyMemoryStream Stream(AContent.data(), AContent.size());
  TValueReader Reader(Stream);
  TComponentReader Components(Reader);

  {
    TCFG Loaded;
    Loaded.SetName(ACFG.Name());
    try {
      Components.ReadRootComponent(Loaded.StreamRecord());
      ACFG.Assign(Loaded);
    } catch (const EStreamError &) {
      ACFG.Assign(TCFG());
      Messages.push_back(ConfigReadErrorMessage);
    }
  }

  // The login record follows the first record; when that one could not be read, its end is
  // unknown, so the login record is looked for at the next signature.
  std::size_t LoginStart = AContent.size() - std::size_t(Reader.Remaining());
  if (!Messages.empty()) {
    auto Found = std::search(AContent.begin() + std::min<std::size_t>(4, AContent.size()),
                             AContent.end(), Signature, Signature + 4);
    LoginStart = std::size_t(Found - AContent.begin());
  }
  TReadOnlyMemoryStream LoginStream(AContent.data() + LoginStart, AContent.size() - LoginStart);
  TValueReader LoginReader(LoginStream);
  TComponentReader LoginComponents(LoginReader);
  TLoginState Loaded;
  std::string Password;
  TLoginRecord Login(Loaded.UserName, Password, Loaded.Host);
  try {
    LoginComponents.ReadRootComponent(Login.Record);
    ALogin = Loaded;
  } catch (const EStreamError &) {
    ALogin = TLoginState();
    Messages.push_back(ConfigReadErrorMessage);
  }
  return Messages;
}

void SaveConfiguration(const std::string &AFileName, TCFG &ACFG, const TLoginState &ALogin) {
  try {
    TFileStream File(AFileName, TFileMode::fmCreate);
    {
      TValueWriter Writer(File);
      TComponentWriter Components(Writer);
      Components.WriteRootComponent(ACFG.StreamRecord());
      std::string UserName = ALogin.UserName, Password, Host = ALogin.Host;
      TLoginRecord Login(UserName, Password, Host);
      Components.WriteRootComponent(Login.Record);
      Writer.FlushBuffer();
    }
    File.Commit();
  } catch (const EStreamError &) {
    throw EConfigError(ConfigSaveErrorMessage);
  }
}
