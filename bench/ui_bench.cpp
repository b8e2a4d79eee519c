#include <benchmark/benchmark.h>

#include <fmt/format.h>

#include "orvo_ui/draw.hpp"

namespace {

using orvo::ui::Buffer;
using orvo::ui::Rect;
using orvo::ui::UiApp;

// 50 projects of 9 worktrees each: 500 rows.
UiApp five_hundred_rows() {
  orvo::core::RuntimeSnapshot snapshot;
  for (int p = 0; p < 50; ++p) {
    orvo::core::ProjectSnapshot project;
    project.project.id = orvo::core::ProjectId(
        orvo::core::Uuid(orvo::core::Uuid::Bytes{static_cast<std::uint8_t>(p + 1)}));
    project.project.name = fmt::format("project-{:02}", p);
    project.project.quick_base = "origin/main";
    for (int w = 0; w < 9; ++w) {
      project.worktrees.push_back(orvo::core::WorktreeView{
          .path = fmt::format("/home/dev/worktrees/project-{:02}/feature-{}", p, w),
          .branch = fmt::format("feature/{}-{}", p, w),
          .is_main = w == 0,
      });
    }
    snapshot.projects.push_back(std::move(project));
  }
  UiApp app(nullptr);
  app.reload_from_snapshot(std::move(snapshot));
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

BENCHMARK_MAIN();
