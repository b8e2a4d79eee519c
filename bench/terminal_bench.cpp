// Cost of showing frames on a terminal: a 200x50 session on a pseudo-terminal whose output a
// reader thread counts. Reports the time per draw and the bytes each draw wrote.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "orvo_ui/terminal.hpp"

namespace {

using namespace std::chrono_literals;
using orvo::ui::Buffer;
using orvo::ui::Color;
using orvo::ui::Modifier;
using orvo::ui::Rect;
using orvo::ui::Style;

constexpr std::uint16_t kWidth = 200;
constexpr std::uint16_t kHeight = 50;

std::atomic<std::uint64_t> g_bytes{0};
std::atomic<bool> g_stop{false};

// The pseudo-terminal's far end: reads and counts everything the session writes.
void count_output(int master) {
  char chunk[65536];
  while (!g_stop) {
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, 10) == 1 && (fd.revents & POLLIN) != 0) {
      const ssize_t n = read(master, chunk, sizeof chunk);
      if (n > 0)
        g_bytes += static_cast<std::uint64_t>(n);
    }
  }
}

// Bytes written so far, once the output has been quiet for a moment.
std::uint64_t settled_bytes() {
  std::uint64_t seen = g_bytes;
  for (;;) {
    std::this_thread::sleep_for(20ms);
    const std::uint64_t now = g_bytes;
    if (now == seen)
      return now;
    seen = now;
  }
}

// A frame shaped like the interface's: a header bar, rows of coloured spans with multi-byte
// symbols, one highlighted row. `variant` changes every cell's text.
Buffer interface_frame(char variant) {
  Buffer frame(Rect{0, 0, kWidth, kHeight});
  Style header;
  header.fg = orvo::ui::kBlack;
  header.bg = orvo::ui::kCyan;
  header.add = Modifier::Bold;
  frame.set_style(Rect{0, 0, kWidth, 1}, header);
  frame.set_string(0, 0, std::string(kWidth, variant), {});
  for (std::uint16_t y = 1; y < kHeight; ++y) {
    Style name;
    name.fg = y % 3 == 0 ? orvo::ui::kCyan : orvo::ui::kWhite;
    Style branch;
    branch.fg = orvo::ui::kGray;
    const std::uint16_t x = frame.set_string(0, y, "▼ worktree-" + std::string(60, variant), name);
    frame.set_string(x, y, "  [feature/" + std::string(120, variant) + "] main", branch);
  }
  Style highlight;
  highlight.bg = Color::rgb(40, 44, 52);
  highlight.add = Modifier::Bold;
  frame.set_style(Rect{0, 10, kWidth, 1}, highlight);
  return frame;
}

orvo::ui::TerminalSession* g_session = nullptr;

void BM_IdleRedrawOfAnUnchangedFrame(benchmark::State& state) {
  const Buffer frame = interface_frame('a');
  if (!g_session->draw(frame))
    state.SkipWithError("draw failed");
  const std::uint64_t before = settled_bytes();
  for (auto _ : state) {
    if (!g_session->draw(frame))
      state.SkipWithError("draw failed");
  }
  const std::uint64_t written = settled_bytes() - before;
  state.counters["bytes_per_draw"] =
      benchmark::Counter(static_cast<double>(written) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_IdleRedrawOfAnUnchangedFrame);

void BM_FullFrameChange(benchmark::State& state) {
  const Buffer frames[2] = {interface_frame('a'), interface_frame('b')};
  std::size_t turn = 0;
  const std::uint64_t before = settled_bytes();
  for (auto _ : state) {
    if (!g_session->draw(frames[turn++ % 2]))
      state.SkipWithError("draw failed");
  }
  const std::uint64_t written = settled_bytes() - before;
  state.counters["bytes_per_draw"] =
      benchmark::Counter(static_cast<double>(written) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_FullFrameChange);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pseudo-terminal");
    return 1;
  }
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  winsize size{};
  size.ws_col = kWidth;
  size.ws_row = kHeight;
  ioctl(master, TIOCSWINSZ, &size);
  std::thread reader(count_output, master);

  setenv("TERM", "xterm-256color", 1);
  int status = 0;
  {
    auto session = orvo::ui::TerminalSession::open(orvo::ui::TerminalConfig{slave, slave});
    if (!session) {
      std::fprintf(stderr, "terminal: %s\n", session.error().message().c_str());
      status = 1;
    } else {
      g_session = &*session;
      benchmark::RunSpecifiedBenchmarks();
      g_session = nullptr;
    }
  }
  g_stop = true;
  reader.join();
  close(slave);
  close(master);
  benchmark::Shutdown();
  return status;
}
