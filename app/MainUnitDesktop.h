// The desktop file: the main window's position and the records of the open child windows.
#pragma once

#include "app/MainUnitConfig.h"
#include "classes/Streams.h"
#include "classes/ValueStream.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

// The main window's left, top, width and height.
struct TDesktopPosition {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TDesktopPosition &) const = default;
};

// ".ds" on the program's path, or, with SaveLocally, on the program's file name in the start
// folder (so each project folder keeps its own desktop).
std::string DesktopFileName(const std::string &AProgramPath, const std::string &AStartFolder,
                            bool ASaveLocally);

// Creates a child window of a registered class while the desktop is restored; the window
// reads its own values (placement record first) from the reader it is given.
using TDesktopWindowFactory = std::function<void(TValueReader &AReader)>;

// The window classes the desktop can re-create, by class name.
class TDesktopRegistry {
public:
  void Register(const std::string &AClassName, TDesktopWindowFactory AFactory);
  const TDesktopWindowFactory *Find(const std::string &AClassName) const;

private:
  std::map<std::string, TDesktopWindowFactory> FFactories;
};

// The desktop file open for reading, from start-up to the first activation.
class TDesktopReader {
public:
  explicit TDesktopReader(const std::string &AFileName) // raises EFOpenError
      : FStream(AFileName, TFileMode::fmOpenRead), FReader(FStream) {}
  TValueReader &Reader() { return FReader; }

private:
  TFileStream FStream;
  TValueReader FReader;
};

// The desktop file being written at shut-down; nothing replaces the old file before Commit.
class TDesktopWriter {
public:
  explicit TDesktopWriter(const std::string &AFileName) // raises EFCreateError
      : FStream(AFileName, TFileMode::fmCreate), FWriter(FStream) {}
  TValueWriter &Writer() { return FWriter; }
  void Commit() {
    FWriter.FlushBuffer();
    FStream.Commit();
  }

private:
  TFileStream FStream;
  TValueWriter FWriter;
};

// What reading the position at start-up gave.
struct TDesktopLoad {
  std::optional<TDesktopPosition> Position; // to apply to the main window
  std::unique_ptr<TDesktopReader> Reader;   // still open: restore the children from it later
  // ConfigReadErrorMessage when the position could not be read; the open error's message when
  // the name is taken by something that cannot be opened (a FIFO, a folder, a device).
  std::string Message;
};

// Start-up, after the configuration. Does nothing without SaveDesktopPosition or when the file
// cannot be opened. Keeps the file open (Reader) only with SaveDesktopState and a good position.
TDesktopLoad LoadDesktopPosition(const std::string &AFileName, const TCFG &ACFG);

// The most child windows a desktop brings back. Each window costs the frame time and memory that
// grow with the number already open, and a frame of thousands is of no use.
constexpr int MaximumDesktopChildren = 200;

// First activation: re-creates each recorded child through the registry, at most
// MaximumDesktopChildren of them. An unknown class name, a fault in a record or an error from a
// window's creation ends the restore silently. The file is closed (AReader reset) in every case.
// Returns true when records beyond the limit were left out.
bool RestoreDesktopChildren(std::unique_ptr<TDesktopReader> &AReader,
                            const TDesktopRegistry &ARegistry);

// Shut-down, after the configuration. Without SaveDesktopPosition nothing is written. Otherwise
// the position and, with SaveDesktopState, the list of child records: ACloseChildren closes the
// child windows from the last to the first while the writer is open, each writing its record
// (class name, placement, own values). Raises EConfigError(ConfigSaveErrorMessage) on failure,
// leaving any earlier desktop file as it was.
void SaveDesktop(const std::string &AFileName, const TCFG &ACFG, const TDesktopPosition &APosition,
                 const std::function<void(TValueWriter &AWriter)> &ACloseChildren);
