// Waiting in tests: every wait for something another thread or the event loop does has a
// deadline, so a condition that never comes fails the test instead of hanging the suite.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace testdeadline {

// Far beyond any wait a passing test makes; only a test that is failing reaches it.
constexpr std::chrono::milliseconds kWaitLimit{20000};

class TDeadline {
public:
  explicit TDeadline(std::chrono::milliseconds ALimit = kWaitLimit)
      : FEnd(std::chrono::steady_clock::now() + ALimit) {}
  bool Passed() const { return std::chrono::steady_clock::now() >= FEnd; }

private:
  std::chrono::steady_clock::time_point FEnd;
};

// Runs AStep (pumping events, sleeping a little) until ADone holds; false when the deadline
// came first.
template <class TDone, class TStep>
bool WaitUntil(TDone ADone, TStep AStep, std::chrono::milliseconds ALimit = kWaitLimit) {
  const TDeadline Deadline(ALimit);
  while (!ADone()) {
    if (Deadline.Passed())
      return false;
    AStep();
  }
  return true;
}

// Waits without an event loop, yielding the processor between looks.
template <class TDone> bool WaitUntil(TDone ADone) {
  return WaitUntil(ADone, [] { std::this_thread::yield(); });
}

// Ends a test program whose wait ran out while another thread still uses the test's state:
// leaving the test would pull that state from under the thread, waiting longer would hang.
[[noreturn]] inline void GiveUp(const char *AWhat) {
  std::fprintf(stderr, "FAILED: gave up waiting: %s\n", AWhat);
  std::fflush(nullptr);
  std::abort();
}

} // namespace testdeadline
