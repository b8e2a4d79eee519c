#include <benchmark/benchmark.h>

#include <cstdio>

#include "orvo_sys/portable.hpp"
#include "orvo_ui/draw.hpp"
#include "sample_rows.hpp"

namespace {

using orvo::ui::Buffer;
using orvo::ui::Rect;
using orvo::ui::UiApp;

UiApp five_hundred_rows() {
  UiApp app(nullptr);
  app.reload_from_snapshot(orvo::bench::five_hundred_rows());
  return app;
}

// One whole frame of a 120x40 terminal with the cursor at row `state.range(0)` of 500.
void BM_DrawFiveHundredRowFrame(benchmark::State& state) {
  UiApp app = five_hundred_rows();
  app.selected = static_cast<std::size_t>(state.range(0));
  app.show_toast("refreshed");
  Buffer buf(Rect{0, 0, 120, 40});
  for (auto _ : state) {
    orvo::ui::draw(app, buf);
    benchmark::DoNotOptimize(buf.at(0, 0));
  }
}
BENCHMARK(BM_DrawFiveHundredRowFrame)->Arg(0)->Arg(250)->Arg(499)->Unit(benchmark::kMicrosecond);

}  // namespace

// Frames are laid out under the UTF-8 character type the interface runs in.
int main(int argc, char** argv) {
  if (!orvo::sys::use_utf8_ctype()) {
    std::fputs("ui_bench needs a UTF-8 locale\n", stderr);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
