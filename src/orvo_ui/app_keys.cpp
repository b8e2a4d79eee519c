#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>

#include <fmt/format.h>

#include "orvo_runtime/app.hpp"
#include "orvo_ui/app.hpp"

namespace orvo::ui {
namespace {

using Action = core::Result<KeyOutcome> (*)(UiApp& app, const KeyEvent& key);

// One main-view binding: the keys that run it, its entry in the help line and what it does.
// The main view looks at the key code only; modifiers make no difference.
struct MainBinding {
  std::span<const KeyCode> keys;
  std::string_view help;
  Action action;
};

constexpr KeyCode kMoveKeys[] = {KeyCode::Kind::Down, KeyCode::character(U'j'), KeyCode::Kind::Up,
                                 KeyCode::character(U'k')};
constexpr KeyCode kEnterKeys[] = {KeyCode::Kind::Enter};
constexpr KeyCode kNewKeys[] = {KeyCode::character(U'n')};
constexpr KeyCode kAgentKeys[] = {KeyCode::character(U'p')};
constexpr KeyCode kEditorKeys[] = {KeyCode::character(U'e')};
constexpr KeyCode kQuickBaseKeys[] = {KeyCode::character(U'b')};
constexpr KeyCode kAddKeys[] = {KeyCode::character(U'a')};
constexpr KeyCode kDeleteKeys[] = {KeyCode::character(U'd')};
constexpr KeyCode kRefreshKeys[] = {KeyCode::character(U'r')};
constexpr KeyCode kQuitKeys[] = {KeyCode::character(U'q')};

constexpr std::string_view kDefaultBase = "origin/main";

// The project of the row under the cursor, a header or a worktree row alike; none when the
// cursor is beyond the rows.
std::optional<core::ProjectId> cursor_project_id(const UiApp& app) {
  if (app.selected >= app.flat.size()) {
    return std::nullopt;
  }
  return std::visit([](const auto& row) { return row.project_id; }, app.flat[app.selected]);
}

const core::Project* find_project(const UiApp& app, const core::ProjectId& id) {
  const auto it =
      std::find_if(app.projects.begin(), app.projects.end(),
                   [&](const core::ProjectSnapshot& snap) { return snap.project.id == id; });
  return it == app.projects.end() ? nullptr : &it->project;
}

// Up and `k` move one row up, Down and `j` one row down; the cursor never wraps.
core::Result<KeyOutcome> move_cursor(UiApp& app, const KeyEvent& key) {
  if (key.code == KeyCode::Kind::Up || key.code == KeyCode::character(U'k')) {
    app.selected = app.selected == 0 ? 0 : app.selected - 1;
  } else if (!app.flat.empty()) {
    app.selected = std::min(app.selected + 1, app.flat.size() - 1);
  }
  return Continue{};
}

core::Result<KeyOutcome> select_worktree(UiApp& app, const KeyEvent& /*key*/) {
  const std::optional<CurrentWorktree> wt = app.current_worktree();
  if (!wt) {
    return Continue{};
  }
  if (auto focused = app.runtime->handle(runtime::Focus{wt->path, wt->project_id}); !focused) {
    return tl::unexpected(std::move(focused.error()));
  }
  app.needs_reload = true;
  app.show_toast(fmt::format("selected {}", short_label(wt->path)));
  return Continue{};
}

core::Result<KeyOutcome> open_new_worktree(UiApp& app, const KeyEvent& /*key*/) {
  const std::optional<core::ProjectId> id = cursor_project_id(app);
  if (!id) {
    app.show_toast("add a project first (`a`)");
    return Continue{};
  }
  NewWorktree dialog{.project_name = "?", .base = std::string(kDefaultBase), .project_id = *id};
  if (const core::Project* project = find_project(app, *id)) {
    dialog.project_name = project->name;
    dialog.base = project->quick_base.value_or(std::string(kDefaultBase));
  }
  app.modal = std::move(dialog);
  return Continue{};
}

// Focuses the worktree and asks for its agent in a new Terminal window, then for the agent in
// the foreground there; a failure of either command does not stop what follows.
core::Result<KeyOutcome> start_agent(UiApp& app, const KeyEvent& /*key*/) {
  std::optional<CurrentWorktree> wt = app.current_worktree();
  if (!wt) {
    app.show_toast("select a worktree first");
    return Continue{};
  }
  (void)app.runtime->handle(runtime::Focus{wt->path, wt->project_id});
  (void)app.runtime->handle(runtime::StartPi{wt->path, wt->project_id});
  return RunForeground{std::move(wt->path)};
}

// The editor may run in the terminal, so the event loop hands the terminal over and opens it.
core::Result<KeyOutcome> open_editor(UiApp& app, const KeyEvent& /*key*/) {
  std::optional<CurrentWorktree> wt = app.current_worktree();
  if (!wt) {
    app.show_toast("select a worktree");
    return Continue{};
  }
  return RunEditor{std::move(wt->path)};
}

core::Result<KeyOutcome> open_quick_base(UiApp& app, const KeyEvent& /*key*/) {
  const std::optional<core::ProjectId> id = cursor_project_id(app);
  if (!id) {
    app.show_toast("no project focused");
    return Continue{};
  }
  QuickBase dialog{.project_name = "?", .project_id = *id};
  if (const core::Project* project = find_project(app, *id)) {
    dialog.project_name = project->name;
    dialog.input = project->quick_base.value_or("");
  }
  app.modal = std::move(dialog);
  return Continue{};
}

core::Result<KeyOutcome> open_add_project(UiApp& app, const KeyEvent& /*key*/) {
  app.modal = AddProject{};
  return Continue{};
}

core::Result<KeyOutcome> confirm_delete(UiApp& app, const KeyEvent& /*key*/) {
  std::optional<CurrentWorktree> wt = app.current_worktree();
  if (!wt) {
    return Continue{};
  }
  if (wt->is_main) {
    app.show_toast("refusing to delete main worktree");
    return Continue{};
  }
  app.modal = ConfirmDelete{std::move(wt->path), wt->project_id};
  return Continue{};
}

// Reads the state file again, so that projects other runs added are refreshed too, then refreshes
// every project's worktrees. The read is no part of the refresh command, which cannot fail: a
// file that cannot be read is reported and ends nothing, and the worktrees are refreshed anyway.
core::Result<KeyOutcome> refresh(UiApp& app, const KeyEvent& /*key*/) {
  const core::Result<void> reloaded = app.runtime->reload_store();
  if (auto refreshed = app.runtime->handle(runtime::Bootstrap{}); !refreshed) {
    return tl::unexpected(std::move(refreshed.error()));
  }
  app.needs_reload = true;
  app.show_toast(reloaded ? "refreshed" : "refresh failed: " + reloaded.error().message());
  return Continue{};
}

core::Result<KeyOutcome> quit(UiApp& app, const KeyEvent& /*key*/) {
  app.quit = true;
  return Quit{};
}

// The main view's bindings, in the order of the help line.
const MainBinding kMainBindings[] = {
    {kMoveKeys, "j/k move", move_cursor},      {kEnterKeys, "enter select", select_worktree},
    {kNewKeys, "n new-wt", open_new_worktree}, {kAgentKeys, "p pi", start_agent},
    {kEditorKeys, "e editor", open_editor},    {kQuickBaseKeys, "b quick-base", open_quick_base},
    {kAddKeys, "a add", open_add_project},     {kDeleteKeys, "d del-wt", confirm_delete},
    {kRefreshKeys, "r refresh", refresh},      {kQuitKeys, "q quit", quit},
};

std::string join_help() {
  std::string text;
  for (const MainBinding& binding : kMainBindings) {
    if (!text.empty()) {
      text += " · ";
    }
    text += binding.help;
  }
  return text;
}

}  // namespace

std::string_view main_view_help() {
  static const std::string text = join_help();
  return text;
}

core::Result<KeyOutcome> UiApp::handle_key(const KeyEvent& key) {
  if (modal) {
    Modal open = std::move(*modal);
    modal.reset();
    return handle_modal_key(std::move(open), key);
  }
  for (const MainBinding& binding : kMainBindings) {
    if (std::find(binding.keys.begin(), binding.keys.end(), key.code) != binding.keys.end()) {
      return binding.action(*this, key);
    }
  }
  return Continue{};
}

}  // namespace orvo::ui
