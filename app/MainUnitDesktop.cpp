// Reading and writing the desktop file.
#include "app/MainUnitDesktop.h"

namespace {

// A position no screen has is a corrupt file; the window toolkit would only choke on it.
constexpr int PositionLimit = 1 << 20;

int ReadCoordinate(TValueReader &AReader, int ALow) {
  std::int64_t Value = AReader.ReadInteger();
  if (Value < ALow || Value > PositionLimit)
    throw EReadError("Invalid window position");
  return int(Value);
}

} // namespace

std::string DesktopFileName(const std::string &AProgramPath, const std::string &AStartFolder,
                            bool ASaveLocally) {
  if (!ASaveLocally)
    return ChangeFileExt(AProgramPath, ".ds");
  std::string::size_type Slash = AProgramPath.find_last_of("/\\");
  std::string ProgramName =
      Slash == std::string::npos ? AProgramPath : AProgramPath.substr(Slash + 1);
  std::string Folder = AStartFolder;
  if (!Folder.empty() && Folder.back() != '/' && Folder.back() != '\\')
    Folder += '/';
  return ChangeFileExt(Folder + ProgramName, ".ds");
}

void TDesktopRegistry::Register(const std::string &AClassName, TDesktopWindowFactory AFactory) {
  FFactories[AClassName] = std::move(AFactory);
}

const TDesktopWindowFactory *TDesktopRegistry::Find(const std::string &AClassName) const {
  auto Found = FFactories.find(AClassName);
  return Found == FFactories.end() ? nullptr : &Found->second;
}

TDesktopLoad LoadDesktopPosition(const std::string &AFileName, const TCFG &ACFG) {
  TDesktopLoad Result;
  if (!ACFG.SaveDesktopPosition())
    return Result;
  std::unique_ptr<TDesktopReader> File;
  try {
    File = std::make_unique<TDesktopReader>(AFileName);
  } catch (const EStreamError &E) {
    // No desktop saved yet is no error; a name taken by what cannot be read (a FIFO, a folder)
    // is said, and the main window keeps its own position.
    if (FileExists(AFileName))
      Result.Message = E.Message();
    return Result;
  }
  try {
    TValueReader &Reader = File->Reader();
    TDesktopPosition Position;
    Position.Left = ReadCoordinate(Reader, -PositionLimit);
    Position.Top = ReadCoordinate(Reader, -PositionLimit);
    Position.Width = ReadCoordinate(Reader, 0);
    Position.Height = ReadCoordinate(Reader, 0);
    Result.Position = Position;
  } catch (const EStreamError &) {
    Result.Message = ConfigReadErrorMessage;
    return Result;
  }
  if (ACFG.SaveDesktopState())
    Result.Reader = std::move(File);
  return Result;
}

bool RestoreDesktopChildren(std::unique_ptr<TDesktopReader> &AReader,
                            const TDesktopRegistry &ARegistry) {
  if (!AReader)
    return false;
  bool LeftOut = false;
  try {
    TValueReader &Reader = AReader->Reader();
    Reader.ReadListBegin();
    for (int Count = 0; !Reader.EndOfList(); ++Count) {
      if (Count == MaximumDesktopChildren) {
        LeftOut = true;
        break;
      }
      const TDesktopWindowFactory *Factory = ARegistry.Find(Reader.ReadString());
      // The records carry no length, so nothing after an unknown one can be found.
      if (!Factory)
        throw EReadError("Unknown window class");
      (*Factory)(Reader);
    }
    if (!LeftOut)
      Reader.ReadListEnd();
  } catch (const std::exception &) {
    // A damaged or foreign list ends the restore; the windows made so far stay.
  }
  AReader.reset();
  return LeftOut;
}

void SaveDesktop(const std::string &AFileName, const TCFG &ACFG, const TDesktopPosition &APosition,
                 const std::function<void(TValueWriter &AWriter)> &ACloseChildren) {
  if (!ACFG.SaveDesktopPosition())
    return;
  try {
    TDesktopWriter File(AFileName);
    TValueWriter &Writer = File.Writer();
    Writer.WriteInteger(APosition.Left);
    Writer.WriteInteger(APosition.Top);
    Writer.WriteInteger(APosition.Width);
    Writer.WriteInteger(APosition.Height);
    if (ACFG.SaveDesktopState()) {
      Writer.WriteListBegin();
      if (ACloseChildren)
        ACloseChildren(Writer);
      Writer.WriteListEnd();
    }
    File.Commit();
  } catch (const Exception &) {
    throw EConfigError(ConfigSaveErrorMessage);
  }
}
