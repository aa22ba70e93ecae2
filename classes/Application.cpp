// The application's error display.
#include "classes/Application.h"
#include "classes/CodePage.h"

#include "classes/Exceptions.h"

#include <QMessageBox>

std::function<void(const std::string &)> TApplication::ShowErrorMessage =
    [](const std::string &AMessage) {
      QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(),
                            AnsiToQString(AMessage), QMessageBox::Ok);
    };

TApplication::TApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void TApplication::HandleException(const std::exception &AException) {
  if (dynamic_cast<const EAbort *>(&AException))
    return;
  ShowErrorMessage(AException.what());
}

void TApplication::HandleUnknownException() { ShowErrorMessage("Unknown error."); }

void TApplication::Guard(const std::function<void()> &AHandler) {
  try {
    AHandler();
  } catch (const std::exception &E) {
    HandleException(E);
  } catch (...) {
    HandleUnknownException();
  }
}

bool TApplication::notify(QObject *AReceiver, QEvent *AEvent) {
  // The safety net for handlers that run straight from an event (paint, key, close, ...).
  bool Result = false;
  Guard([&] { Result = QApplication::notify(AReceiver, AEvent); });
  return Result;
}
