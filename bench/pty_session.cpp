#include "pty_session.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace orvo::bench {
namespace {

using namespace std::chrono_literals;

std::atomic<std::uint64_t> g_bytes{0};
std::atomic<bool> g_stop{false};
ui::TerminalSession* g_session = nullptr;

// The pseudo-terminal's far end: reads and counts everything the session writes.
void count_output(int master) {
  char chunk[65536];
  while (!g_stop) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 10) == 1 && (fd.revents & POLLIN) != 0) {
      const ssize_t n = read(master, chunk, sizeof chunk);
      if (n > 0) {
        g_bytes += static_cast<std::uint64_t>(n);
      }
    }
  }
}

int run_in_session(int terminal) {
  setenv("TERM", "xterm-256color", 1);
  auto opened = ui::TerminalSession::open(ui::TerminalConfig{terminal, terminal});
  if (!opened) {
    std::fprintf(stderr, "terminal: %s\n", opened.error().message().c_str());
    return 1;
  }
  g_session = &*opened;
  benchmark::RunSpecifiedBenchmarks();
  g_session = nullptr;
  return 0;
}

}  // namespace

int run_benchmarks_on_pty(std::uint16_t width, std::uint16_t height) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return 1;
  }
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminal < 0) {
    std::perror("pseudo-terminal");
    close(master);
    return 1;
  }
  winsize size{};
  size.ws_col = width;
  size.ws_row = height;
  ioctl(master, TIOCSWINSZ, &size);
  g_stop = false;
  std::thread reader(count_output, master);
  const int status = run_in_session(terminal);
  g_stop = true;
  reader.join();
  close(terminal);
  close(master);
  return status;
}

ui::TerminalSession& session() {
  return *g_session;
}

std::uint64_t settled_bytes() {
  std::uint64_t seen = g_bytes;
  for (;;) {
    std::this_thread::sleep_for(30ms);
    const std::uint64_t now = g_bytes;
    if (now == seen) {
      return now;
    }
    seen = now;
  }
}

}  // namespace orvo::bench
