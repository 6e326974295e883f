#include "platform/Signals.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace Signals {

namespace {

// Time the main thread gets to take the request before the waiting thread ends the
// process anyway, and the most it may take to write the files once it has begun.
constexpr auto kGrace = std::chrono::milliseconds(800);
constexpr auto kWriting = std::chrono::seconds(3);

struct State {
  std::atomic<bool> requested{false};
  std::atomic<bool> ending{false}; // the main thread writes the files
  std::atomic<Proc> end{nullptr};
};

State state;

sigset_t EndSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGINT);
  return set;
}

void Wait() {
  const sigset_t set = EndSignals();
  int signal = 0;
  while (sigwait(&set, &signal) != 0) {}
  state.requested = true;
  const auto start = std::chrono::steady_clock::now();
  // The main thread ends the process once it has written the files; while it writes,
  // it is given longer.
  for (;;) {
    const auto waited = std::chrono::steady_clock::now() - start;
    if (waited >= kWriting || (waited >= kGrace && !state.ending)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  _exit(0);
}

} // namespace

void Install() {
  const sigset_t set = EndSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread(Wait).detach();
}

void SetEndProc(Proc proc) { state.end = proc; }

void Request() { state.requested = true; }

void Poll() {
  if (!state.requested || state.ending.exchange(true)) return;
  if (const Proc end = state.end) end();
  _exit(0);
}

} // namespace Signals
