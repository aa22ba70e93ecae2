// Worker threads: the counting semaphore, the synchronous call into the GUI thread, and the
// self-freeing thread with its owner reference.
#include "classes/Threads.h"

#include "classes/Exceptions.h"
#include "tests/TestDeadline.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

void EnsureApplication() {
  static int Argc = 1;
  static char Name[] = "ThreadsTest";
  static char *Argv[] = {Name, nullptr};
  static QCoreApplication *App = new QCoreApplication(Argc, Argv);
  (void)App;
}

// Serves synchronous calls until ADone() holds.
template <class TDone> void PumpUntil(TDone ADone) {
  if (!testdeadline::WaitUntil(ADone, [] {
        QCoreApplication::processEvents();
        SleepMs(1);
      }))
    testdeadline::GiveUp("a worker thread");
}

} // namespace

TEST(Semaphore, CountsUpToItsMaximum) {
  TSemaphore Semaphore(0, 2);
  EXPECT_EQ(Semaphore.WaitFor(0), TWaitResult::wrTimeout);
  EXPECT_TRUE(Semaphore.Release());
  EXPECT_TRUE(Semaphore.Release());
  EXPECT_FALSE(Semaphore.Release()); // past the maximum
  EXPECT_FALSE(Semaphore.Release(0));
  EXPECT_EQ(Semaphore.Count(), 2);
  EXPECT_EQ(Semaphore.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(Semaphore.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(Semaphore.WaitFor(0), TWaitResult::wrTimeout);

  TSemaphore Large(1, 2000000000);
  EXPECT_TRUE(Large.Release(1999999999));
  EXPECT_FALSE(Large.Release(1)); // no overflow past the maximum
  EXPECT_EQ(Large.Count(), 2000000000);
}

TEST(Semaphore, ClosedHandsOutWhatItHoldsThenAbandons) {
  TSemaphore Semaphore(0, 10);
  Semaphore.Release();
  Semaphore.Close();
  EXPECT_TRUE(Semaphore.Closed());
  EXPECT_FALSE(Semaphore.Release());
  EXPECT_EQ(Semaphore.WaitFor(0), TWaitResult::wrSignaled);
  EXPECT_EQ(Semaphore.WaitFor(60000), TWaitResult::wrAbandoned); // at once, no time-out
}

TEST(Semaphore, ReleaseAndCloseWakeWaitersOnOtherThreads) {
  TSemaphore Semaphore(0, 10);
  TWaitResult First = TWaitResult::wrTimeout, Second = TWaitResult::wrTimeout;
  std::thread Waiter([&] {
    First = Semaphore.WaitFor(600000);
    Second = Semaphore.WaitFor(600000);
  });
  Semaphore.Release();
  // Let the waiter take it before closing.
  if (!testdeadline::WaitUntil([&] { return Semaphore.Count() == 0; }, [] { SleepMs(1); }))
    testdeadline::GiveUp("the semaphore's waiter");
  Semaphore.Close();
  Waiter.join();
  EXPECT_EQ(First, TWaitResult::wrSignaled);
  EXPECT_EQ(Second, TWaitResult::wrAbandoned);
}

TEST(Synchronize, RunsOnTheGuiThreadWhileTheWorkerWaits) {
  EnsureApplication();
  const std::thread::id Gui = std::this_thread::get_id();
  std::thread::id RanOn;
  int Value = 0;
  int SeenByWorker = -1;
  std::string Raised;
  std::atomic<bool> Done{false};
  std::thread Worker([&] {
    EXPECT_FALSE(InGuiThread());
    Synchronize([&] {
      RanOn = std::this_thread::get_id();
      Value = 42;
    });
    SeenByWorker = Value; // the call has finished when Synchronize returns
    try {
      Synchronize([] { throw Exception("raised on the GUI thread"); });
    } catch (const Exception &E) {
      Raised = E.Message();
    }
    Done = true;
  });
  PumpUntil([&] { return Done.load(); });
  Worker.join();
  EXPECT_EQ(RanOn, Gui);
  EXPECT_EQ(SeenByWorker, 42);
  EXPECT_EQ(Raised, "raised on the GUI thread");
}

TEST(Synchronize, OnTheGuiThreadRunsDirectly) {
  EnsureApplication();
  EXPECT_TRUE(InGuiThread());
  bool Ran = false;
  Synchronize([&] { Ran = true; });
  EXPECT_TRUE(Ran);
  EXPECT_THROW(Synchronize([] { throw EAbort(); }), EAbort);
}

namespace {

// Works until terminated; asks the GUI thread for something on the way.
class TLoopThread : public TThread {
public:
  std::atomic<int> Rounds{0};
  std::atomic<bool> SynchronizedOnGui{false};

protected:
  void Execute() override {
    DoSynchronize([this] { SynchronizedOnGui = InGuiThread(); });
    while (!Terminated()) {
      ++Rounds;
      SleepMs(1);
    }
  }
};

class TFailingThread : public TThread {
protected:
  void Execute() override { throw Exception("worker failed"); }
};

} // namespace

TEST(Thread, FreesItselfAfterClearingItsOwnerRef) {
  EnsureApplication();
  TThreadRef Ref{nullptr};
  auto *Thread = new TLoopThread;
  Thread->SetOwnerRef(&Ref);
  Thread->SetFreeOnTerminate(true);
  Ref = Thread;
  std::atomic<bool> Freed{false};
  QObject::connect(Thread, &QObject::destroyed, [&Freed] { Freed = true; });
  Thread->Resume();
  PumpUntil([&] { return Thread->Rounds != 0; });
  EXPECT_TRUE(Thread->SynchronizedOnGui);
  TThread::TerminateThread(Ref);
  TThread::WaitForRef(Ref);
  EXPECT_EQ(Ref.load(), nullptr);
  PumpUntil([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Freed.load();
  });
  // With the thread gone, the reference helpers see nothing and do nothing.
  TThread::TerminateThread(Ref);
  TThread::WithThread(Ref, [](TThread *AThread) { EXPECT_EQ(AThread, nullptr); });
}

TEST(Thread, ExceptionInExecuteEndsTheThreadCleanly) {
  EnsureApplication();
  TThreadRef Ref{nullptr};
  TFailingThread Thread;
  Thread.SetOwnerRef(&Ref);
  Ref = &Thread;
  EXPECT_FALSE(Thread.FreeOnTerminate());
  Thread.Resume();
  TThread::WaitForRef(Ref);
  Thread.wait();
  EXPECT_EQ(Thread.FatalMessage(), "worker failed");
}

TEST(Thread, DestroyingARunningThreadStopsItFirst) {
  EnsureApplication();
  auto Thread = std::make_unique<TLoopThread>();
  Thread->Resume();
  PumpUntil([&] { return Thread->Rounds != 0; });
  Thread.reset(); // terminates and waits instead of leaving the worker on a freed object
  SUCCEED();
}
