// The application object: the one place where an exception that reaches the edge of an event
// handler is shown to the user.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

class TApplication : public QApplication {
public:
  TApplication(int &argc, char **argv);

  // Shows the exception's message in an error box with an OK button; the silent abort (EAbort)
  // shows nothing. Every event handler's edge ends here.
  static void HandleException(const std::exception &AException);
  static void HandleUnknownException();

  // Runs a handler at an event edge: whatever it raises is shown, never passed on into Qt.
  static void Guard(const std::function<void()> &AHandler);

  // What the error box shows; tests replace it to observe the messages without a modal box.
  static std::function<void(const std::string &)> ShowErrorMessage;

  bool notify(QObject *AReceiver, QEvent *AEvent) override;
};

// A handler for a Qt signal that runs under TApplication::Guard:
//   connect(Action, &QAction::triggered, this, Guarded([this] { FileNewItemClick(); }));
template <typename F> auto Guarded(F AHandler) {
  return [AHandler](auto &&...) { TApplication::Guard(AHandler); };
}
