#include "sample_rows.hpp"

#include <fmt/format.h>

namespace orvo::bench {

core::RuntimeSnapshot five_hundred_rows() {
  core::RuntimeSnapshot snapshot;
  for (int p = 0; p < 50; ++p) {
    core::ProjectSnapshot project;
    project.project.id = core::ProjectId::create();
    project.project.name = fmt::format("project-{:02}", p);
    project.project.quick_base = "origin/main";
    for (int w = 0; w < 9; ++w) {
      project.worktrees.push_back(core::WorktreeView{
          .path = fmt::format("/home/dev/worktrees/project-{:02}/feature-{}", p, w),
          .branch = fmt::format("feature/{}-{}", p, w),
          .is_main = w == 0,
      });
    }
    snapshot.projects.push_back(std::move(project));
  }
  return snapshot;
}

}  // namespace orvo::bench
