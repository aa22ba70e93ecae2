// The main routine: application title, the main window and the shared dialogs, the event loop.
#include "app/MainUnit.h"
#include "classes/Application.h"

int main(int argc, char *argv[]) {
  TApplication Application(argc, argv);
  Application.setApplicationName("Tessaly");
  TMainForm Main; // loads the client library, the configuration and the window position
  Main.show();
  return Application.exec();
}
