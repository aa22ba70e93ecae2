// Worker threads, the counting semaphore and the synchronous call into the GUI thread.
#include "classes/Threads.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>

bool InGuiThread() {
  QCoreApplication *App = QCoreApplication::instance();
  return App == nullptr || QThread::currentThread() == App->thread();
}

namespace {

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *AAddress);
extern "C" void __tsan_release(void *AAddress);
#endif

// The call travels through Qt's event queue, whose locks ThreadSanitizer cannot see: these mark
// the hand-over, so what the worker wrote before posting is known to come before the GUI thread
// reads it.
void MarkHandedOver(void *AAddress) {
#if defined(__SANITIZE_THREAD__)
  __tsan_release(AAddress);
#else
  (void)AAddress;
#endif
}
void MarkTakenOver(void *AAddress) {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(AAddress);
#else
  (void)AAddress;
#endif
}

// One synchronous call on its way to the GUI thread; the worker waits until it has run, or until
// its event is dropped undelivered (the application ending first). The way back goes through
// the mutex, which every tool sees.
struct TSyncCall {
  explicit TSyncCall(const std::function<void()> &AMethod) : Method(AMethod) {}
  const std::function<void()> &Method;
  std::exception_ptr Failure;
  std::mutex Lock;
  std::condition_variable Changed;
  bool Ran = false;
  bool Finished = false;
};

class TSyncEvent final : public QEvent {
public:
  static Type Kind() {
    static const Type Registered = static_cast<Type>(registerEventType());
    return Registered;
  }
  explicit TSyncEvent(TSyncCall &ACall) : QEvent(Kind()), FCall(ACall) {}
  ~TSyncEvent() override {
    MarkTakenOver(this); // also when dropped without being delivered
    std::lock_guard Guard(FCall.Lock);
    FCall.Finished = true;
    FCall.Changed.notify_all();
  }
  void Run() {
    try {
      FCall.Method();
    } catch (...) {
      FCall.Failure = std::current_exception();
    }
    FCall.Ran = true;
  }

private:
  TSyncCall &FCall;
};

// Lives in the GUI thread and runs the calls posted to it.
class TSyncReceiver final : public QObject {
public:
  bool event(QEvent *AEvent) override {
    MarkTakenOver(AEvent); // before even its type is read
    if (AEvent->type() != TSyncEvent::Kind())
      return QObject::event(AEvent);
    static_cast<TSyncEvent *>(AEvent)->Run();
    return true;
  }
};

QObject *SyncReceiver() {
  // Made by the first worker that calls, then handed to the GUI thread for good.
  static QObject *const Receiver = [] {
    auto *Made = new TSyncReceiver;
    Made->moveToThread(QCoreApplication::instance()->thread());
    return Made;
  }();
  return Receiver;
}

} // namespace

void Synchronize(const std::function<void()> &AMethod) {
  if (InGuiThread()) {
    AMethod();
    return;
  }
  TSyncCall Call(AMethod);
  auto *Event = new TSyncEvent(Call);
  MarkHandedOver(Event);
  QCoreApplication::postEvent(SyncReceiver(), Event);
  std::unique_lock Guard(Call.Lock);
  Call.Changed.wait(Guard, [&Call] { return Call.Finished; });
  if (!Call.Ran)
    throw std::runtime_error("the GUI thread could not take a synchronous call");
  if (Call.Failure)
    std::rethrow_exception(Call.Failure);
}

void SleepMs(int AMilliseconds) { QThread::msleep(static_cast<unsigned long>(AMilliseconds)); }

// ---- TSemaphore ------------------------------------------------------------------------------

TSemaphore::TSemaphore(std::int32_t AInitialCount, std::int32_t AMaximumCount)
    : FCount(AInitialCount), FMaximumCount(AMaximumCount) {}

bool TSemaphore::Release(std::int32_t ACount) {
  {
    std::lock_guard Guard(FLock);
    if (FClosed || ACount <= 0 || FCount > FMaximumCount - ACount)
      return false;
    FCount += ACount;
  }
  FChanged.notify_all();
  return true;
}

TWaitResult TSemaphore::WaitFor(int ATimeoutMs) {
  std::unique_lock Guard(FLock);
  const bool Ready = FChanged.wait_for(Guard, std::chrono::milliseconds(ATimeoutMs),
                                       [this] { return FCount > 0 || FClosed; });
  if (FCount > 0) {
    --FCount;
    return TWaitResult::wrSignaled;
  }
  return Ready ? TWaitResult::wrAbandoned : TWaitResult::wrTimeout;
}

void TSemaphore::Close() {
  {
    std::lock_guard Guard(FLock);
    FClosed = true;
  }
  FChanged.notify_all();
}

bool TSemaphore::Closed() const {
  std::lock_guard Guard(FLock);
  return FClosed;
}

std::int32_t TSemaphore::Count() const {
  std::lock_guard Guard(FLock);
  return FCount;
}

// ---- TThread ---------------------------------------------------------------------------------

namespace {
// Guards every owner reference against its thread ending while another thread uses it.
std::mutex &RefLock() {
  static std::mutex Lock;
  return Lock;
}
} // namespace

TThread::TThread() {
  // Parented to nothing and living on the creating (GUI) thread, so deleteLater runs there.
}

TThread::~TThread() {
  // A thread object freed by its creator while still running would leave the worker on a
  // dangling object; wait for it instead.
  if (isRunning() && QThread::currentThread() != this) {
    Terminate();
    wait();
  }
  MarkTakenOver(this); // what run() did comes before this object goes (Qt's wait is unseen)
}

void TThread::Resume() { start(); }

void TThread::SetFreeOnTerminate(bool AValue) {
  if (AValue && !FFreeOnTerminate)
    connect(this, &QThread::finished, this, &QObject::deleteLater);
  else if (!AValue && FFreeOnTerminate)
    disconnect(this, &QThread::finished, this, &QObject::deleteLater);
  FFreeOnTerminate = AValue;
}

std::string TThread::FatalMessage() const {
  std::lock_guard Guard(FMessageLock);
  return FFatalMessage;
}

void TThread::run() {
  try {
    Execute();
  } catch (const std::exception &E) {
    std::lock_guard Guard(FMessageLock);
    FFatalMessage = E.what();
  } catch (...) {
    std::lock_guard Guard(FMessageLock);
    FFatalMessage = "unknown exception";
  }
  // Before the owner learns the end: from then on this object may be gone.
  TThreadRef *const OwnerRef = FOwnerRef;
  MarkHandedOver(this);
  if (OwnerRef) {
    std::lock_guard Guard(RefLock());
    OwnerRef->store(nullptr);
  }
}

void TThread::TerminateThread(TThreadRef &ARef) {
  std::lock_guard Guard(RefLock());
  if (TThread *Thread = ARef.load())
    Thread->Terminate();
}

void TThread::WithThread(TThreadRef &ARef, const std::function<void(TThread *)> &AAction) {
  std::lock_guard Guard(RefLock());
  AAction(ARef.load());
}

void TThread::WaitForRef(TThreadRef &ARef) {
  while (ARef.load() != nullptr) {
    if (QCoreApplication::instance() && InGuiThread())
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    SleepMs(1);
  }
}
