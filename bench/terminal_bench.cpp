// Cost of showing frames on a terminal: a 200x50 session on a pseudo-terminal whose output a
// reader thread counts. Reports the time per draw and the bytes each draw wrote.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "orvo_ui/terminal.hpp"
#include "pty_session.hpp"

namespace {

using orvo::bench::settled_bytes;
using orvo::ui::Buffer;
using orvo::ui::Color;
using orvo::ui::Modifier;
using orvo::ui::Rect;
using orvo::ui::Style;

constexpr std::uint16_t kWidth = 200;
constexpr std::uint16_t kHeight = 50;

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

void BM_IdleRedrawOfAnUnchangedFrame(benchmark::State& state) {
  const Buffer frame = interface_frame('a');
  if (!orvo::bench::session().draw(frame))
    state.SkipWithError("draw failed");
  const std::uint64_t before = settled_bytes();
  for (auto _ : state) {
    if (!orvo::bench::session().draw(frame))
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
    if (!orvo::bench::session().draw(frames[turn++ % 2]))
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
  const int status = orvo::bench::run_benchmarks_on_pty(kWidth, kHeight);
  benchmark::Shutdown();
  return status;
}
