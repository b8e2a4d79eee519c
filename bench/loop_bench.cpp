// Bytes the event loop writes to the terminal per turn: the real loop over a 120x40 session on a
// pseudo-terminal whose output a reader thread counts, and an interface of 500 rows over a
// runtime on an empty temporary HOME. Each turn waits the loop's 80 ms for input.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "orvo_runtime/app.hpp"
#include "orvo_store/store.hpp"
#include "orvo_ui/run_tui.hpp"
#include "pty_session.hpp"
#include "sample_rows.hpp"

namespace {

using namespace std::chrono_literals;
using orvo::bench::settled_bytes;
using orvo::ui::EventLoop;
using orvo::ui::UiApp;

constexpr std::uint16_t kWidth = 120;
constexpr std::uint16_t kHeight = 40;

std::shared_ptr<orvo::runtime::Runtime> g_runtime;

UiApp interface_of_500_rows() {
  UiApp app(g_runtime);
  app.reload_from_snapshot(orvo::bench::five_hundred_rows());
  app.selected = 250;
  app.show_toast("refreshed", std::chrono::steady_clock::now() + 1h);
  return app;
}

void report_bytes(benchmark::State& state, std::uint64_t before) {
  const std::uint64_t written = settled_bytes() - before;
  state.counters["bytes_per_turn"] =
      benchmark::Counter(static_cast<double>(written) / static_cast<double>(state.iterations()));
}

void BM_IdleLoopTurn(benchmark::State& state) {
  UiApp app = interface_of_500_rows();
  EventLoop loop(orvo::bench::session(), app);
  if (!loop.turn()) {
    state.SkipWithError("turn failed");
  }
  const std::uint64_t before = settled_bytes();
  for (auto _ : state) {
    if (!loop.turn()) {
      state.SkipWithError("turn failed");
    }
  }
  report_bytes(state, before);
}
BENCHMARK(BM_IdleLoopTurn)->Iterations(25)->Unit(benchmark::kMillisecond);

// The cursor moves one row between turns, as after a press of `j` or `k`.
void BM_LoopTurnAfterCursorMove(benchmark::State& state) {
  UiApp app = interface_of_500_rows();
  EventLoop loop(orvo::bench::session(), app);
  if (!loop.turn()) {
    state.SkipWithError("turn failed");
  }
  const std::uint64_t before = settled_bytes();
  bool down = true;
  for (auto _ : state) {
    app.selected = down ? app.selected + 1 : app.selected - 1;
    down = !down;
    if (!loop.turn()) {
      state.SkipWithError("turn failed");
    }
  }
  report_bytes(state, before);
}
BENCHMARK(BM_LoopTurnAfterCursorMove)->Iterations(25)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  char home[] = "/tmp/orvo-loop-bench-XXXXXX";
  if (mkdtemp(home) == nullptr) {
    std::perror("temporary HOME");
    return 1;
  }
  setenv("HOME", home, 1);
  auto store = orvo::store::Store::open_default();
  if (!store) {
    std::fprintf(stderr, "store: %s\n", store.error().message().c_str());
    return 1;
  }
  g_runtime = std::make_shared<orvo::runtime::Runtime>(std::move(*store));
  const int status = orvo::bench::run_benchmarks_on_pty(kWidth, kHeight);
  g_runtime.reset();
  std::filesystem::remove_all(home);
  benchmark::Shutdown();
  return status;
}
