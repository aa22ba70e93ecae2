// The main routine: application title, the main window and the shared dialogs, the event loop.
#include "app/MainUnit.h"
#include "app/OptionsUnit.h"
#include "classes/Application.h"

int main(int argc, char *argv[]) {
  TApplication Application(argc, argv);
  Application.setApplicationName("Tessaly");
  TMainForm Main; // loads the client library, the configuration and the window position
  new TOptionsForm(&Main); // the shared dialogs, reused for every opening
  Main.show();
  return Application.exec();
}
