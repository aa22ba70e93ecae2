// The installed frame of the child windows, and the stand-in while there is none.
#include "windows/WindowsHost.h"

#include "app/MainUnitConfig.h"

#include <atomic>

namespace {

// No frame: nothing to show status in, no connection, a configuration of defaults.
class TNoWindowsHost final : public TWindowsHost {
public:
  QWidget *HostWidget() override { return nullptr; }
  QMdiArea *ChildArea() override { return nullptr; }
  void AddChild(TForm *) override {}
  void UpdateClientEdge() override {}
  void SetStatusText(const std::string &) override {}
  void EnableEditorButtons(bool) override {}
  bool ClosingDown() const override { return false; }
  void FileNewItemClick() override {}
  void FileOpenItemClick() override {}
  void FileExitItemClick() override {}
  TCFG &Configuration() override {
    static TCFG Defaults;
    return Defaults;
  }
  TOracleDatabase *MainDatabase() override { return nullptr; }
  TOracleQuery *CompileQuery() override { return nullptr; }
  TOracleQuery *CompileErrorQuery() override { return nullptr; }
};

std::atomic<TWindowsHost *> Installed{nullptr};

} // namespace

TWindowsHost &WindowsHost() {
  static TNoWindowsHost None;
  TWindowsHost *Host = Installed.load();
  return Host ? *Host : None;
}

bool HasWindowsHost() { return Installed.load() != nullptr; }

void SetWindowsHost(TWindowsHost *AHost) { Installed.store(AHost); }
