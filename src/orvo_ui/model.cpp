#include "orvo_ui/model.hpp"

#include <string_view>
#include <utility>

#include "orvo_core/path.hpp"

namespace orvo::ui {
std::string worktree_label(const std::filesystem::path& path) {
  return std::string(core::utf8_file_name(path).value_or("?"));
}

SidebarModel SidebarModel::from_snapshot(core::RuntimeSnapshot snapshot) {
  return SidebarModel{std::move(snapshot.projects), std::move(snapshot.focus.path)};
}

std::string SidebarModel::render_text() const {
  std::string out = "Orvo — Orvo\n========================\n";
  if (projects.empty()) {
    out += "(no projects — press `a` to add)\n";
    return out;
  }
  for (const core::ProjectSnapshot& snap : projects) {
    const core::Project& project = snap.project;
    out += "▼ ";
    out += project.name;
    out += "  quick: ";
    out += project.quick_base.value_or("(no quick base)");
    out += '\n';
    for (const core::WorktreeView& wt : snap.worktrees) {
      const bool focused = focus_path && core::same_path(*focus_path, wt.path);
      out += "  ";
      out += focused ? "→" : " ";
      out += ' ';
      out += worktree_label(wt.path);
      out += "  [";
      out += wt.branch.value_or("detached");
      out += ']';
      if (wt.is_main) {
        out += " (main)";
      }
      out += '\n';
    }
  }
  return out;
}

}  // namespace orvo::ui
