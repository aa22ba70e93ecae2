// The program's exception root and the silent abort that ends a user action without a message.
#pragma once

#include <exception>
#include <string>

// The general exception: every error the program raises carries its message text here.
class Exception : public std::exception {
public:
  explicit Exception(std::string AMessage) : FMessage(std::move(AMessage)) {}
  const std::string &Message() const noexcept { return FMessage; }
  void SetMessage(std::string AMessage) { FMessage = std::move(AMessage); }
  const char *what() const noexcept override { return FMessage.c_str(); }

private:
  std::string FMessage;
};

// Raised to abandon the current user action quietly (a cancelled login or save dialog);
// the application's error display shows nothing for it.
class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
};

[[noreturn]] inline void Abort() { throw EAbort(); }
