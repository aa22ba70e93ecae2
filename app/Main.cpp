// The main routine: application title, the main window, the event loop.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[]) {
  QApplication Application(argc, argv);
  Application.setApplicationName("Tessaly");
  QMainWindow Frame;
  Frame.setWindowTitle("Tessaly");
  Frame.resize(568, 314);
  Frame.show();
  return Application.exec();
}
