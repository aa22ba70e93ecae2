// The DBMS output window: the lines server-side PL/SQL writes with DBMS_OUTPUT, drained from the
// server after each procedure call and each anonymous block of a compile run.
#pragma once

#include "classes/Forms.h"
#include "classes/WindowPlacement.h"
#include "db/DbmsOutput.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class TWindowsHost;

class TDBMSOutputForm : public TForm {
public:
  // The server a new window talks to. The default calls DBMS_OUTPUT through the main
  // connection; tests replace it.
  using TServerFactory = std::function<std::unique_ptr<TDBMSOutputServer>(TDBMSOutputForm &)>;
  static TServerFactory ServerFactory;

  // The registered window, or null while none exists. The procedure test window and the compile
  // run drain through it.
  static TDBMSOutputForm *Registered();
  // Drains the registered window, if there is one (on the GUI thread); false when none exists.
  static bool DrainRegistered();

  // The menu command: shows the registered window, or opens the main connection and creates
  // and registers one (ENABLE at creation), placed as APlacement says when given.
  static TDBMSOutputForm *Create(TWindowsHost &AHost, const TWindowPlacement *APlacement = nullptr);
  // The desktop restore: reads the record (the placement) whole first, so a window that cannot
  // be created (a cancelled login, a failing ENABLE) is reported and the records after it still
  // restore. A second record while a window exists is passed over.
  static void RestoreFromDesktop(TWindowsHost &AHost, TValueReader &AReader);

  explicit TDBMSOutputForm(QWidget *AParent = nullptr);
  ~TDBMSOutputForm() override;

  QWidget *TopPanel;
  QPushButton *ResetButton;
  QWidget *DistancePanel2;
  QPushButton *SaveButton;
  QWidget *DistancePanel1;
  QListWidget *ListBox;

  // Registers the window and enables the server's buffer. Raises what the server raises; the
  // window is then not registered.
  void FormCreate();
  // Moves every pending line from the server into the list, the last one selected.
  void DrainOutput();
  void ResetButtonClick();
  void SaveButtonClick();
  void ListBoxDblClick();

  std::vector<std::string> Lines() const;
  // The selected line's index, -1 when none is selected.
  int SelectedIndex() const;

  // The dialogs, replaced by tests: the file to save to (empty when cancelled); the overwrite
  // question (true only for Yes); the information box that shows a line.
  std::function<std::string()> AskSaveFileName;
  std::function<bool(const std::string &AQuestion)> ConfirmOverwrite;
  std::function<void(const std::string &AText)> ShowLine;

  const char *FormClassName() const override { return "TDBMSOutputForm"; }

protected:
  void closeEvent(QCloseEvent *AEvent) override;
  void resizeEvent(QResizeEvent *AEvent) override;

private:
  void Enable();
  int BufferLimit() const;
  int OracleBufferLimit() const;

  std::unique_ptr<TDBMSOutputServer> FServer;
};

// Writes lines to a file, each followed by CR LF. The file is replaced only when the whole
// content is written; a failure raises and leaves any earlier file as it was.
void SaveLinesToFile(const std::string &AFileName, const std::vector<std::string> &ALines);
