// The configuration component TCFG, the login dialog's saved texts, and the configuration file.
#pragma once

#include "classes/Component.h"
#include "classes/ComponentStream.h"
#include "classes/Exceptions.h"
#include "classes/Font.h"
#include "controls/PTEditStyles.h"

#include <QPointer>
#include <string>
#include <vector>

// What an open script editor takes from the configuration. A script editor window implements
// it and registers with TCFG (see TConfigEditorRegistration); every change of an editor key
// reaches all registered editors at once.
class IConfigEditor {
public:
  // AUndoLimit: the undo history's memory bound in megabytes.
  virtual void ApplyEditorConfig(const TFont &AFont, const TTextStyles &AStyles, bool AAutoIndent,
                                 bool ABackspaceUnindents, int ATabSize, int AUndoLimit,
                                 bool ALineNumbers) = 0;

protected:
  ~IConfigEditor() = default;
};

// All user settings. The published properties, in file order, are Tag (inherited, 0) and the
// fourteen keys; each key's default is its initial value, so only changed keys are written.
class TCFG : public TComponent {
public:
  // Create: every key at its initial value.
  explicit TCFG(QObject *AOwner = nullptr);
  // Destroy: frees the font and the styles; registered editors simply stop being told.
  ~TCFG() override = default;

  int Tag() const { return FTag; }
  void SetTag(int AValue) { FTag = AValue; }

  int TerminalBufferLimit() const { return FTerminalBufferLimit; }
  void SetTerminalBufferLimit(int AValue) { FTerminalBufferLimit = AValue; }
  bool IgnoreDropErrors() const { return FIgnoreDropErrors; }
  void SetIgnoreDropErrors(bool AValue) { FIgnoreDropErrors = AValue; }

  // The editor keys: setting one stores a copy and applies the editor keys to every editor.
  const TFont &EditorFont() const { return FEditorFont; }
  void SetEditorFont(const TFont &AValue);
  const TTextStyles &EditorSyntaxStyles() const { return FEditorSyntaxStyles; }
  void SetEditorSyntaxStyles(const TTextStyles &AValue);
  bool EditorAutoIndent() const { return FEditorAutoIndent; }
  void SetEditorAutoIndent(bool AValue);
  bool EditorBackspaceUnindents() const { return FEditorBackspaceUnindents; }
  void SetEditorBackspaceUnindents(bool AValue);
  int EditorTabSize() const { return FEditorTabSize; }
  void SetEditorTabSize(int AValue);
  // The undo history's memory bound per editor, in megabytes.
  int EditorUndoLimit() const { return FEditorUndoLimit; }
  void SetEditorUndoLimit(int AValue);
  bool EditorLineNumbers() const { return FEditorLineNumbers; }
  void SetEditorLineNumbers(bool AValue);

  int DBMSBufferLimit() const { return FDBMSBufferLimit; }
  void SetDBMSBufferLimit(int AValue) { FDBMSBufferLimit = AValue; }
  int DBMSOracleBufferLimit() const { return FDBMSOracleBufferLimit; }
  void SetDBMSOracleBufferLimit(int AValue) { FDBMSOracleBufferLimit = AValue; }
  bool SaveDesktopPosition() const { return FSaveDesktopPosition; }
  void SetSaveDesktopPosition(bool AValue) { FSaveDesktopPosition = AValue; }
  bool SaveDesktopState() const { return FSaveDesktopState; }
  void SetSaveDesktopState(bool AValue) { FSaveDesktopState = AValue; }
  bool SaveLocally() const { return FSaveLocally; }
  void SetSaveLocally(bool AValue) { FSaveLocally = AValue; }

  // Copies every key (and Tag) through the setters, so editors see the editor keys.
  void Assign(const TCFG &ASource);

  // Registered editors get the editor keys now and on every later change.
  void RegisterEditor(IConfigEditor &AEditor);
  void UnregisterEditor(IConfigEditor &AEditor);
  std::size_t EditorCount() const { return FEditors.size(); }

  static const TFont &InitialEditorFont();         // "Courier New", 10 points
  static const TTextStyles &InitialSyntaxStyles(); // the five styles, selection first
  static const TClassProperties &Properties();
  // The record the configuration file holds for this component.
  TComponentRecord StreamRecord();

private:
  void ApplyToEditors() const;

  int FTag = 0;
  int FTerminalBufferLimit = 100;
  bool FIgnoreDropErrors = false;
  TFont FEditorFont;
  TTextStyles FEditorSyntaxStyles;
  bool FEditorAutoIndent = false;
  bool FEditorBackspaceUnindents = false;
  int FEditorTabSize = 8;
  int FEditorUndoLimit = 128;
  bool FEditorLineNumbers = true;
  int FDBMSBufferLimit = 1000;
  int FDBMSOracleBufferLimit = 10240;
  bool FSaveDesktopPosition = false;
  bool FSaveDesktopState = false;
  bool FSaveLocally = false;
  std::vector<IConfigEditor *> FEditors;
};

// Keeps an editor registered for its own lifetime; safe whichever of the two goes first.
class TConfigEditorRegistration {
public:
  TConfigEditorRegistration(TCFG &ACFG, IConfigEditor &AEditor);
  ~TConfigEditorRegistration();
  TConfigEditorRegistration(const TConfigEditorRegistration &) = delete;
  TConfigEditorRegistration &operator=(const TConfigEditorRegistration &) = delete;

private:
  QPointer<TCFG> FCFG;
  IConfigEditor &FEditor;
};

// The editor font as shown: the configured font when it is installed, else the system's
// fixed-width font in the configured size and style (a missing font would otherwise be
// replaced by whatever the platform picks, often a proportional one).
QFont EditorScreenFont(const TFont &AFont);

// The login dialog's texts that outlive a run. The password is never kept: it is written
// empty and ignored when read.
struct TLoginState {
  std::string UserName;
  std::string Host;
  bool operator==(const TLoginState &) const = default;
};

// A failed save; the message is the one the main window shows.
class EConfigError : public Exception {
public:
  using Exception::Exception;
};

inline constexpr const char *ConfigReadErrorMessage =
    "Configuration file error or file version mismatch.\nPlease, review all settings.";
inline constexpr const char *ConfigSaveErrorMessage =
    "Configuration file error. Unable to save configuration.";

// The program path with its extension replaced (or, without one, extended) by ".cfg".
std::string ConfigFileName(const std::string &AProgramPath);
// A path with its extension replaced by AExtension (which includes the dot).
std::string ChangeFileExt(const std::string &APath, const std::string &AExtension);

// Reads both records. A missing file leaves both at their defaults silently; one that cannot be
// opened (no regular file, no permission) does too and returns the open error's message; a record
// that cannot be read is set to its defaults and adds ConfigReadErrorMessage to the returned list,
// which the caller shows in order (zero, one or two boxes).
std::vector<std::string> LoadConfiguration(const std::string &AFileName, TCFG &ACFG,
                                           TLoginState &ALogin);
// The same for a file's content already in memory.
std::vector<std::string> ReadConfiguration(const std::vector<std::uint8_t> &AContent, TCFG &ACFG,
                                           TLoginState &ALogin);
// Writes both records to a temporary file and renames it over AFileName. Raises
// EConfigError(ConfigSaveErrorMessage) when anything fails; the old file is then untouched.
void SaveConfiguration(const std::string &AFileName, TCFG &ACFG, const TLoginState &ALogin);
