#include "orvo_ui/terminal_signals.hpp"

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>

namespace orvo::ui {
namespace {

constexpr std::array<int, 4> kTerminationSignals = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
constexpr std::array<int, 4> kCrashSignals = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE};

// Signal handlers may run on any thread, so everything they read is a lock-free atomic or is
// written before `g_full_screen` is set.
static_assert(std::atomic<int>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
std::atomic<int> g_termination_signal{0};
std::atomic<bool> g_suspended{false};
std::atomic<bool> g_full_screen{false};
std::atomic<bool> g_stop_requested{false};
std::atomic<bool> g_continued{false};

// What the crash handler writes to give the terminal back, captured while opening.
struct CrashRestore {
  int fd = -1;
  std::array<char, 256> bytes{};
  std::size_t size = 0;
  termios shell_mode{};
};
CrashRestore g_crash;

struct SavedActions {
  std::array<struct sigaction, kTerminationSignals.size()> termination{};
  std::array<struct sigaction, kCrashSignals.size()> crash{};
  struct sigaction stop {};
  struct sigaction cont {};
};
SavedActions g_previous;
// Whether SIGTSTP is ours while the screen is up; a stop signal that whoever started Orvo
// ignores stays ignored.
bool g_stop_handled = false;

extern "C" void on_termination_signal(int sig) {
  // Keyboard signals typed while a foreground child owns the terminal are the child's.
  if (g_suspended.load() && (sig == SIGINT || sig == SIGQUIT)) {
    return;
  }
  g_termination_signal.store(sig);
}

// The loop leaves the screen before it stops; see `State::follow_stop_and_continue`.
extern "C" void on_stop_signal(int /*sig*/) {
  g_stop_requested.store(true);
}

// Continued after a stop that could not be caught (SIGSTOP): the modes and the screen may have
// been changed meanwhile. Continuing after a stop of the loop's own, or while a child owns the
// terminal, needs nothing.
extern "C" void on_continue_signal(int /*sig*/) {
  if (g_full_screen.load()) {
    g_continued.store(true);
  }
}

extern "C" void on_crash_signal(int sig) {
  if (g_full_screen.exchange(false)) {
    std::size_t done = 0;
    while (done < g_crash.size) {
      const ssize_t n = write(g_crash.fd, g_crash.bytes.data() + done, g_crash.size - done);
      if (n <= 0) {
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    tcsetattr(g_crash.fd, TCSANOW, &g_crash.shell_mode);
  }
  // Hand the signal to whoever handled it before (the default action, or a sanitizer's report).
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    if (kCrashSignals[i] == sig) {
      sigaction(sig, &g_previous.crash[i], nullptr);
    }
  }
  raise(sig);
}

}  // namespace

bool termination_requested() {
  return g_termination_signal.load() != 0;
}

int termination_signal() {
  return g_termination_signal.load();
}

void install_signal_handlers() {
  g_termination_signal.store(0);
  g_stop_requested.store(false);
  g_continued.store(false);

  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  action.sa_handler = on_termination_signal;
  for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
    sigaction(kTerminationSignals[i], &action, &g_previous.termination[i]);
  }
  action.sa_handler = on_continue_signal;
  sigaction(SIGCONT, &action, &g_previous.cont);
  sigaction(SIGTSTP, nullptr, &g_previous.stop);
  g_stop_handled =
      (g_previous.stop.sa_flags & SA_SIGINFO) == 0 && g_previous.stop.sa_handler == SIG_DFL;
  if (g_stop_handled) {
    action.sa_handler = on_stop_signal;
    sigaction(SIGTSTP, &action, nullptr);
  }
  action.sa_flags = SA_ONSTACK;
  action.sa_handler = on_crash_signal;
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    sigaction(kCrashSignals[i], &action, &g_previous.crash[i]);
  }
}

void give_stop_signal_its_own_action() {
  if (g_stop_handled) {
    sigaction(SIGTSTP, &g_previous.stop, nullptr);
  }
}

void take_stop_signal_back() {
  if (g_stop_handled) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    action.sa_handler = on_stop_signal;
    sigaction(SIGTSTP, &action, nullptr);
  }
}

void reinstate_signal_handlers() {
  for (std::size_t i = 0; i < kTerminationSignals.size(); ++i) {
    sigaction(kTerminationSignals[i], &g_previous.termination[i], nullptr);
  }
  for (std::size_t i = 0; i < kCrashSignals.size(); ++i) {
    sigaction(kCrashSignals[i], &g_previous.crash[i], nullptr);
  }
  give_stop_signal_its_own_action();
  sigaction(SIGCONT, &g_previous.cont, nullptr);
  g_stop_handled = false;
}

void mark_full_screen(bool shown) {
  g_full_screen.store(shown);
}

void mark_suspended(bool suspended) {
  g_suspended.store(suspended);
}

bool take_stop_request() {
  return g_stop_requested.exchange(false);
}

bool take_continue() {
  return g_continued.exchange(false);
}

bool record_shell_mode(int fd) {
  return tcgetattr(fd, &g_crash.shell_mode) == 0;
}

void record_crash_restore(int fd, std::string_view bytes) {
  g_crash.fd = fd;
  g_crash.size = std::min(bytes.size(), g_crash.bytes.size());
  std::copy_n(bytes.begin(), g_crash.size, g_crash.bytes.begin());
}

}  // namespace orvo::ui
