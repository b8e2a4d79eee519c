#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "orvo_core/ids.hpp"
#include "orvo_core/model.hpp"

namespace orvo::ui {

// A project header row of the list.
struct ProjectRow {
  std::string name{};
  std::optional<std::string> quick_base{};
  core::ProjectId project_id{};
};

// One worktree row, below the header of the project that owns it.
struct WorktreeRow {
  std::filesystem::path path{};
  std::optional<std::string> branch{};
  bool is_main = false;
  core::ProjectId project_id{};
};

// One row of the list of projects and worktrees.
using FlatItem = std::variant<ProjectRow, WorktreeRow>;

// The label of a worktree: its last component when that is a name and it is valid UTF-8, else "?".
[[nodiscard]] std::string worktree_label(const std::filesystem::path& path);

// The projects and the focused worktree as the plain-text listing shows them.
struct SidebarModel {
  std::vector<core::ProjectSnapshot> projects{};
  std::optional<std::filesystem::path> focus_path{};

  // The model of a snapshot: its projects and its focused worktree.
  [[nodiscard]] static SidebarModel from_snapshot(core::RuntimeSnapshot snapshot);

  // The listing: a title, a rule, then each project with its worktrees, one line each, every
  // line ending in a line feed.
  [[nodiscard]] std::string render_text() const;
};

}  // namespace orvo::ui
