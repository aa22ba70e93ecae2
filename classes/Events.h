// Component events: a callable with the sender first; an event that is not set is skipped.
#pragma once

#include <functional>
#include <utility>

class QObject;
using TObject = QObject;

// One event slot. Assign a lambda, or Bind an object's method the way a form wires its
// handlers (`Database.OnLogin.Bind(this, &TMainForm::DatabaseLogin)`). Calling an unset
// event does nothing, so raisers never test it first.
template <typename... Args> class TEvent {
public:
  using THandler = std::function<void(Args...)>;

  TEvent() = default;
  TEvent(THandler AHandler) : FHandler(std::move(AHandler)) {}
  TEvent &operator=(THandler AHandler) {
    FHandler = std::move(AHandler);
    return *this;
  }
  template <class C, class M> void Bind(C *AObject, M AMethod) {
    FHandler = [AObject, AMethod](Args... AArgs) { (AObject->*AMethod)(AArgs...); };
  }
  void Clear() { FHandler = nullptr; }
  bool Assigned() const { return static_cast<bool>(FHandler); }
  explicit operator bool() const { return Assigned(); }

  void operator()(Args... AArgs) const {
    if (FHandler)
      FHandler(AArgs...);
  }

private:
  THandler FHandler;
};

// The plain notification: only the sender.
using TNotifyEvent = TEvent<TObject *>;
