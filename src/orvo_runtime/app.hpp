#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

#include "orvo_core/error.hpp"
#include "orvo_core/event.hpp"
#include "orvo_core/ids.hpp"
#include "orvo_core/model.hpp"
#include "orvo_runtime/events.hpp"
#include "orvo_runtime/window_messages.hpp"
#include "orvo_store/store.hpp"
#include "orvo_sys/process.hpp"

namespace orvo::runtime {

struct AddProject {
  std::filesystem::path path;
};

struct RemoveProject {
  core::ProjectId project_id;
};

struct SetQuickBase {
  core::ProjectId project_id;
  std::string base;
};

struct CreateWorktree {
  std::string branch;
  std::optional<std::string> base;
  core::ProjectId project_id;
  bool start_pi = false;
};

struct RemoveWorktree {
  std::filesystem::path path;
  core::ProjectId project_id;
  bool force = false;
};

struct Focus {
  std::filesystem::path path;
  core::ProjectId project_id;
};

struct StartPi {
  std::filesystem::path path;
  core::ProjectId project_id;
};

struct TouchSession {
  core::Uuid session_id;
};

// Opens `path` in the editor, which gets `streams` as its standard streams (by default Orvo's
// own), and waits until the editor ends.
struct OpenEditor {
  std::filesystem::path path;
  sys::StdStreams streams{};
};

struct Refresh {
  core::ProjectId project_id;
};

struct Bootstrap {};

// One command given to `Runtime::handle`.
using RuntimeCmd =
    std::variant<AddProject, RemoveProject, SetQuickBase, CreateWorktree, RemoveWorktree, Focus,
                 StartPi, TouchSession, OpenEditor, Refresh, Bootstrap>;

// The orchestrator between the interface and the outside world: owns the store, the cache of
// each project's worktrees, the agent sessions of this run and the focus, runs the commands and
// broadcasts what changed. Each of the five mutexes is held only for a short copy or update,
// never while git or another child runs; only `snapshot` holds several, in the order store,
// worktrees, sessions, focus (the window messages' mutex is never held with another). Only the main
// thread uses the runtime (the interface loop or the dump), so the locks are never contended; they
// stay, in that order, so that sharing the runtime with another thread can neither race nor
// deadlock.
class Runtime {
 public:
  explicit Runtime(store::Store store);
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  // A deep copy of the stored projects (in store order) with their cached worktrees and their
  // sessions, and of the focus.
  [[nodiscard]] core::RuntimeSnapshot snapshot() const;

  // Broadcasts a fresh snapshot as `ProjectsChanged`.
  void emit_projects_changed() const;

  // The agent program the preferences name now.
  [[nodiscard]] std::string prefs_pi_bin() const;

  // The project's main repository path; fails with "project not found: {id}".
  [[nodiscard]] core::Result<std::filesystem::path> project_main(const core::ProjectId& id) const;

  // Lists the project's worktrees with git and replaces its cache entry; on a git failure the
  // entry stays and the error carries git's message. Broadcasts nothing.
  [[nodiscard]] core::Result<void> refresh_project_inner(const core::ProjectId& id,
                                                         const std::filesystem::path& main_path);

  // Refreshes a project named by its identifier, then broadcasts; fails with "project not found:
  // {id}" or git's message, without a broadcast.
  [[nodiscard]] core::Result<void> refresh_project(const core::ProjectId& id);

  // Refreshes every stored project one after another, logs and skips the failures, then
  // broadcasts once.
  void bootstrap();

  // Reads the state file again, so that projects other runs added or removed show. Fails with the
  // store's message ("json: …", "io: …") and then keeps the data read last; writes nothing.
  [[nodiscard]] core::Result<void> reload_store();

  // Runs one command to its end; fails with the message of the step that failed.
  [[nodiscard]] core::Result<void> handle(RuntimeCmd cmd);

  // Registers the repository that holds `path` (its main worktree, also when `path` lies in a
  // linked one), lists its worktrees and focuses the worktree `path` lies in; fails with git's or
  // the store's message. A repository registered already keeps its project, which is refreshed
  // and focused.
  [[nodiscard]] core::Result<void> add_project(const std::filesystem::path& path);

  // Creates a worktree on the new branch `branch` from `base` (else the project's quick base),
  // refreshes, focuses it as git lists it and, when `start_pi` is set, starts the agent there;
  // fails with "project not found", "quick base not set; pass base or SetQuickBase" or git's
  // message, leaving the steps already done in place.
  [[nodiscard]] core::Result<void> create_worktree(const core::ProjectId& project_id,
                                                   const std::string& branch,
                                                   const std::optional<std::string>& base,
                                                   bool start_pi);

  // Asks a new Terminal window, through `osascript`, to run the agent program in `worktree`, and
  // records the session; fails only with "project not found". A failure to start `osascript`
  // is ignored. `osascript` gets the null device as standard input and output; what it writes to
  // its standard error is kept for `take_window_message`.
  [[nodiscard]] core::Result<void> start_pi(const core::ProjectId& project_id,
                                            const std::filesystem::path& worktree);

  // The branch names of the project's main repository; fails with "project not found: {id}" or
  // git's message.
  [[nodiscard]] core::Result<std::vector<std::string>> list_branches(
      const core::ProjectId& project_id) const;

  // Reads, without waiting, what the `osascript` programs of `start_pi` wrote to their standard
  // error since the previous call: the last non-empty line that arrived, if any.
  [[nodiscard]] std::optional<std::string> take_window_message();

  // A receiver for the events broadcast from now on.
  [[nodiscard]] EventReceiver subscribe();

 private:
  [[nodiscard]] core::Result<void> run(AddProject cmd);
  [[nodiscard]] core::Result<void> run(RemoveProject cmd);
  [[nodiscard]] core::Result<void> run(SetQuickBase cmd);
  [[nodiscard]] core::Result<void> run(CreateWorktree cmd);
  [[nodiscard]] core::Result<void> run(RemoveWorktree cmd);
  [[nodiscard]] core::Result<void> run(Focus cmd);
  [[nodiscard]] core::Result<void> run(StartPi cmd);
  [[nodiscard]] core::Result<void> run(TouchSession cmd);
  [[nodiscard]] core::Result<void> run(OpenEditor cmd);
  [[nodiscard]] core::Result<void> run(Refresh cmd);
  [[nodiscard]] core::Result<void> run(Bootstrap cmd);

  // The first stored project with identifier `id`; needs `store_mutex_` held.
  [[nodiscard]] const core::Project* stored_project(const core::ProjectId& id) const;
  void set_focus(std::filesystem::path path, const core::ProjectId& project_id);
  // `worktree` as the project's cached listing names it: the listed worktree that resolves to the
  // same directory, else `worktree` itself. git lists a worktree by its resolved path, so one
  // reached through a symbolic link is spelled otherwise in the listing.
  [[nodiscard]] std::filesystem::path as_listed(const core::ProjectId& id,
                                                const std::filesystem::path& worktree) const;

  mutable std::mutex store_mutex_;
  store::Store store_;
  mutable EventSender events_{kEventCapacity};
  mutable std::mutex worktrees_mutex_;
  std::unordered_map<core::ProjectId, std::vector<core::WorktreeView>> worktrees_;
  mutable std::mutex sessions_mutex_;
  std::vector<core::TermSession> sessions_;
  mutable std::mutex focus_mutex_;
  core::FocusState focus_;
  std::mutex window_mutex_;
  WindowMessages window_messages_;
};

// `text` quoted as one word for a POSIX shell: wrapped in apostrophes, each apostrophe inside
// written as '\''.
[[nodiscard]] std::string shell_escape(std::string_view text);

}  // namespace orvo::runtime
