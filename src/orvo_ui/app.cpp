#include "orvo_ui/app.hpp"

#include <algorithm>
#include <utility>

#include "orvo_core/path.hpp"
#include "orvo_runtime/app.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::ui {
namespace {

std::vector<FlatItem> flatten(const std::vector<core::ProjectSnapshot>& projects) {
  std::size_t count = projects.size();
  for (const core::ProjectSnapshot& snap : projects) {
    count += snap.worktrees.size();
  }
  std::vector<FlatItem> rows;
  rows.reserve(count);
  for (const core::ProjectSnapshot& snap : projects) {
    const core::Project& project = snap.project;
    rows.emplace_back(ProjectRow{project.name, project.quick_base, project.id});
    for (const core::WorktreeView& wt : snap.worktrees) {
      rows.emplace_back(WorktreeRow{wt.path, wt.branch, wt.is_main, project.id});
    }
  }
  return rows;
}

std::optional<std::size_t> row_of_worktree(const std::vector<FlatItem>& rows,
                                           const std::filesystem::path& path) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto* row = std::get_if<WorktreeRow>(&rows[i]);
    if (row != nullptr && core::same_path(row->path, path)) {
      return i;
    }
  }
  return std::nullopt;
}

std::size_t row_of_project(const std::vector<FlatItem>& rows, const core::ProjectId& id) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto* row = std::get_if<ProjectRow>(&rows[i]);
    if (row != nullptr && row->project_id == id) {
      return i;
    }
  }
  return 0;
}

std::size_t cursor_row(const std::vector<FlatItem>& rows, const core::FocusState& focus) {
  if (rows.empty()) {
    return 0;
  }
  std::optional<std::size_t> row;
  if (focus.path) {
    row = row_of_worktree(rows, *focus.path);
  }
  if (!row) {
    row = focus.project_id ? row_of_project(rows, *focus.project_id) : 0;
  }
  return std::min(*row, rows.size() - 1);
}

}  // namespace

std::vector<std::string_view> PickBase::matching() const {
  std::vector<std::string_view> out;
  for (const std::string& branch : branches) {
    if (branch.find(filter) != std::string::npos) {
      out.emplace_back(branch);
    }
  }
  return out;
}

UiApp::UiApp(std::shared_ptr<runtime::Runtime> rt) : runtime(std::move(rt)) {}

void UiApp::reload_from_snapshot(core::RuntimeSnapshot snapshot) {
  flat = flatten(snapshot.projects);
  selected = cursor_row(flat, snapshot.focus);
  projects = std::move(snapshot.projects);
  focus = std::move(snapshot.focus);
}

void UiApp::reload_from_runtime() {
  reload_from_snapshot(runtime->snapshot());
}

void UiApp::show_toast(std::string text, std::chrono::steady_clock::time_point now) {
  toast = std::move(text);
  toast_until = now + kToastDuration;
}

void UiApp::expire_toast(std::chrono::steady_clock::time_point now) {
  if (toast_until && now > *toast_until) {
    toast.clear();
    toast_until.reset();
  }
}

std::optional<CurrentWorktree> UiApp::current_worktree() const {
  if (selected >= flat.size()) {
    return std::nullopt;
  }
  const auto* row = std::get_if<WorktreeRow>(&flat[selected]);
  if (row == nullptr) {
    return std::nullopt;
  }
  return CurrentWorktree{row->path, row->is_main, row->project_id};
}

std::string UiApp::context_line() const {
  if (focus.path) {
    return "ctx " + core::display(*focus.path);
  }
  if (!focus.project_id) {
    return "ctx (none) — press `a` to add a repo";
  }
  const auto it = std::find_if(projects.begin(), projects.end(), [&](const auto& snap) {
    return snap.project.id == *focus.project_id;
  });
  return "ctx project:" + (it == projects.end() ? std::string("?") : it->project.name);
}

std::string short_label(const std::filesystem::path& path) {
  if (const std::optional<std::string_view> name = core::utf8_file_name(path)) {
    return std::string(*name);
  }
  if (sys::is_valid_utf8(path.native())) {
    return path.native();
  }
  return "?";
}

}  // namespace orvo::ui
