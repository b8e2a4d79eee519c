#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "orvo_core/error.hpp"
#include "orvo_core/ids.hpp"
#include "orvo_core/model.hpp"
#include "orvo_ui/keys.hpp"
#include "orvo_ui/model.hpp"

namespace orvo::runtime {
class Runtime;
}

namespace orvo::ui {

// The New Worktree dialog: a branch name and a base ref being typed; `active_field` 0 sends typing
// to `name`, any other value to `base`.
struct NewWorktree {
  std::string project_name{};
  std::string name{};
  std::string base{};
  core::ProjectId project_id{};
  std::uint8_t active_field = 0;
};

// The Quick Base dialog.
struct QuickBase {
  std::string project_name{};
  std::string input{};
  core::ProjectId project_id{};
};

// The Add Project dialog: a repository path being typed.
struct AddProject {
  std::string input{};
};

// The confirmation before a worktree is removed.
struct ConfirmDelete {
  std::filesystem::path path{};
  core::ProjectId project_id{};
};

// The base-branch picker: `selected` indexes the branches that pass `filter`.
struct PickBase {
  std::vector<std::string> branches{};
  std::string filter{};
  core::ProjectId project_id{};
  std::size_t selected = 0;

  // The branches that contain `filter` (case-sensitive; an empty filter keeps all), in their
  // order; views into `branches`.
  [[nodiscard]] std::vector<std::string_view> matching() const;
};

// The open dialog; the order of the alternatives is the order of the dialogs' titles and help.
using Modal = std::variant<NewWorktree, QuickBase, AddProject, ConfirmDelete, PickBase>;

// The New Worktree dialog parked while the branch picker is open.
struct PendingNew {
  std::string project_name{};
  std::string name{};
  std::string base{};
  core::ProjectId project_id{};
};

// What handling a key tells the event loop.
struct Continue {};
struct Quit {};
struct RunForeground {
  std::filesystem::path path{};
};
// Open the worktree at `path` in the editor, which gets the terminal until it ends.
struct RunEditor {
  std::filesystem::path path{};
};
using KeyOutcome = std::variant<Continue, Quit, RunForeground, RunEditor>;

// The worktree under the cursor.
struct CurrentWorktree {
  std::filesystem::path path{};
  bool is_main = false;
  core::ProjectId project_id{};
};

// How long a status message stays.
inline constexpr std::chrono::seconds kToastDuration{5};

// The whole state of the full-screen interface: a copy of the runtime's projects and focus from
// the last reload, the rows with the cursor, the open dialog, the status message and the flags
// the event loop reads. It never reads the runtime's state except through a reload.
struct UiApp {
  std::vector<core::ProjectSnapshot> projects;
  std::vector<FlatItem> flat;
  std::string toast;
  core::FocusState focus;
  std::optional<PendingNew> pending;
  std::optional<std::filesystem::path> foreground_path;
  std::optional<Modal> modal;
  std::optional<std::chrono::steady_clock::time_point> toast_until;
  std::shared_ptr<runtime::Runtime> runtime;
  std::size_t selected = 0;
  bool quit = false;
  bool needs_reload = false;

  // An empty state over `runtime`; it does not touch the runtime, so the caller reloads next.
  explicit UiApp(std::shared_ptr<runtime::Runtime> runtime);

  // Rebuilds `projects`, `flat`, `focus` and `selected` from `snapshot`: one header row per
  // project followed by its worktree rows; the cursor goes to the focused worktree's row, else
  // the focused project's header row, else row 0, whatever it was before.
  void reload_from_snapshot(core::RuntimeSnapshot snapshot);

  // `reload_from_snapshot` with a fresh snapshot of `runtime`, which must be set.
  void reload_from_runtime();

  // Shows `text` as the status message until `now` + 5 seconds, replacing any message shown.
  void show_toast(std::string text,
                  std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

  // Removes the status message when `now` is strictly later than its deadline.
  void expire_toast(std::chrono::steady_clock::time_point now);

  // The worktree row under the cursor; none on a header row, on an empty list or out of range.
  [[nodiscard]] std::optional<CurrentWorktree> current_worktree() const;

  // The text of the context row, from the focus of the last reload (not the cursor).
  [[nodiscard]] std::string context_line() const;

  // Handles one key press: an open dialog takes it (through `handle_modal_key`), otherwise the
  // main view's bindings do. Runtime commands run to their end before it returns. Fails, ending
  // the interface, with the runtime's error when selecting a worktree (Enter) or refreshing
  // (`r`) fails, or when a dialog's key fails.
  [[nodiscard]] core::Result<KeyOutcome> handle_key(const KeyEvent& key);

  // Handles one key press in the dialog `modal`, which the caller took out of `modal` (so none
  // is open while it runs); the dialog is open afterwards only if the key keeps it. Fails when a
  // quick-base save fails.
  [[nodiscard]] core::Result<KeyOutcome> handle_modal_key(Modal modal, const KeyEvent& key);

  // Handles text pasted as one piece: in a dialog's text field (the active field of New
  // Worktree, the input of Quick Base and Add Project, the branch picker's filter) it is typed
  // without its control characters, so a pasted line end confirms nothing; in the main view and
  // in Confirm Delete it does nothing.
  void handle_paste(std::string_view text);

  // Creates a worktree on the new branch `name` from `base` (both trimmed of ASCII white space) in
  // the project, reloads at once and, with `start_pi`, starts the agent in a Terminal window and
  // leaves the worktree in `foreground_path`. Never fails: every failure becomes the status
  // message.
  void create_wt(std::string_view name, std::string_view base, const core::ProjectId& project_id,
                 bool start_pi);
};

// The main view's key help, one entry per binding, in the order of the bindings.
[[nodiscard]] std::string_view main_view_help();

// A short label for a path: its last name when that is valid UTF-8, else the whole path when
// that is, else "?".
[[nodiscard]] std::string short_label(const std::filesystem::path& path);

}  // namespace orvo::ui
