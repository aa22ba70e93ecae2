// Worker threads, the counting semaphore and the synchronous call into the GUI thread.
#include "classes/Threads.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>
#include <exception>
#include <stdexcept>

bool InGuiThread() {
  QCoreApplication *App = QCoreApplication::instance();
  return App == nullptr || QThread::currentThread() == App->thread();
}

void Synchronize(const std::function<void()> &AMethod) {
  if (InGuiThread()) {
    AMethod();
    return;
  }
  // A queued call cannot carry an exception back, so it travels as a pointer.
  std::exception_ptr Failure;
  const bool Delivered = QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&AMethod, &Failure] {
        try {
          AMethod();
        } catch (...) {
          Failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (!Delivered)
    throw std::runtime_error("the GUI thread could not take a synchronous call");
  if (Failure)
    std::rethrow_exception(Failure);
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
  if (FOwnerRef) {
    std::lock_guard Guard(RefLock());
    FOwnerRef->store(nullptr);
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
