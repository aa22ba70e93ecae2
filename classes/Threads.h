// Worker threads: the thread with a terminated flag, the counting semaphore, and the one
// synchronous call by which a worker runs code on the GUI thread.
#pragma once

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

// Runs AMethod on the GUI thread and returns when it has finished; an exception it raises is
// raised again in the caller. Called on the GUI thread itself (or before any application object
// exists) it runs AMethod directly. The GUI thread must keep processing events while a worker
// calls this, so it never blocks waiting for a worker without pumping its event queue.
void Synchronize(const std::function<void()> &AMethod);

// True on the thread that runs the application's event loop (or when there is no application).
bool InGuiThread();

// Sleeps the calling thread; the workers poll with this at 100 ms.
void SleepMs(int AMilliseconds);

enum class TWaitResult { wrSignaled = 0, wrTimeout, wrAbandoned };

// A counting semaphore. Release fails once the count would pass the maximum or the semaphore is
// closed; a closed semaphore still hands out the releases it holds, then reports wrAbandoned so
// a waiter learns that its producer has gone.
class TSemaphore {
public:
  TSemaphore(std::int32_t AInitialCount, std::int32_t AMaximumCount);
  TSemaphore(const TSemaphore &) = delete;
  TSemaphore &operator=(const TSemaphore &) = delete;

  bool Release(std::int32_t ACount = 1);
  TWaitResult WaitFor(int ATimeoutMs);
  void Close();
  bool Closed() const;
  std::int32_t Count() const;

private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  std::int32_t FCount;
  std::int32_t FMaximumCount;
  bool FClosed = false;
};

class TThread;

// The caller's variable that holds a running thread. The thread sets it to null as the last
// thing it does, under a lock that TerminateThread also takes, so a thread read from the
// variable under that lock is never one that has already freed itself.
using TThreadRef = std::atomic<TThread *>;

// A worker thread with a terminated flag. It is created suspended and started with Resume. When
// FreeOnTerminate is set it frees itself (on the GUI thread's event loop) after it has ended;
// its owner reference, when set, is cleared before that.
class TThread : public QThread {
public:
  TThread();
  ~TThread() override;

  void Resume();
  // Sets the terminated flag; Execute tests it at its own check points.
  void Terminate() { FTerminated.store(true); }
  bool Terminated() const { return FTerminated.load(); }

  bool FreeOnTerminate() const { return FFreeOnTerminate; }
  void SetFreeOnTerminate(bool AValue);
  void SetOwnerRef(TThreadRef *ARef) { FOwnerRef = ARef; }

  // The message of an exception that ended Execute, empty when none did.
  std::string FatalMessage() const;

  // Terminates the thread held by ARef, if it is still running. Safe against the thread ending
  // at the same moment.
  static void TerminateThread(TThreadRef &ARef);
  // Runs AAction with the thread held by ARef (null once it has ended) while it cannot end.
  static void WithThread(TThreadRef &ARef, const std::function<void(TThread *)> &AAction);
  // GUI thread: processes events until ARef is null, so that a worker blocked in Synchronize
  // can finish.
  static void WaitForRef(TThreadRef &ARef);

protected:
  virtual void Execute() = 0;
  // Runs AMethod on the GUI thread (see the free function Synchronize).
  void DoSynchronize(const std::function<void()> &AMethod) { ::Synchronize(AMethod); }

private:
  void run() final;

  std::atomic<bool> FTerminated{false};
  bool FFreeOnTerminate = false;
  TThreadRef *FOwnerRef = nullptr;
  mutable std::mutex FMessageLock;
  std::string FFatalMessage;
};
