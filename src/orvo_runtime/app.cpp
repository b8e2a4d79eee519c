#include "orvo_runtime/app.hpp"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "orvo_agent/launch.hpp"
#include "orvo_core/log.hpp"
#include "orvo_core/path.hpp"
#include "orvo_git/branch.hpp"
#include "orvo_git/error.hpp"
#include "orvo_git/path.hpp"
#include "orvo_git/worktree.hpp"
#include "orvo_sys/child_stderr.hpp"
#include "orvo_sys/process.hpp"

namespace orvo::runtime {
namespace {

constexpr std::string_view kLogTarget = "orvo_runtime::app";

// A new project's name: the root's last component (trailing separators and "." components do not
// count) when it is an ordinary name in valid UTF-8, else "project".
std::string project_name(const std::filesystem::path& root) {
  return std::string(core::utf8_file_name(root).value_or("project"));
}

// The AppleScript string literal's body for `text`: each backslash and double quote escaped, so
// that the literal ends only where it is meant to.
std::string applescript_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\\' || c == '"') {
      out += '\\';
    }
    out += c;
  }
  return out;
}

// The script that has Terminal open a window whose shell changes into `worktree` and runs
// `program` there.
std::string terminal_script(const std::filesystem::path& worktree, std::string_view program) {
  const std::string line =
      fmt::format("cd {} && {}", shell_escape(core::display(worktree)), shell_escape(program));
  return fmt::format("tell application \"Terminal\" to do script \"{}\"", applescript_escape(line));
}

}  // namespace

std::string shell_escape(std::string_view text) {
  std::string out = "'";
  out.reserve(text.size() + 2);
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  out += '\'';
  return out;
}

Runtime::Runtime(store::Store store) : store_(std::move(store)) {}

core::RuntimeSnapshot Runtime::snapshot() const {
  const std::lock_guard store_lock(store_mutex_);
  const std::lock_guard worktrees_lock(worktrees_mutex_);
  const std::lock_guard sessions_lock(sessions_mutex_);
  std::unique_lock focus_lock(focus_mutex_);
  core::RuntimeSnapshot snap;
  snap.focus = focus_;
  focus_lock.unlock();

  const std::vector<core::Project>& projects = store_.data().projects;
  snap.projects.reserve(projects.size());
  for (const core::Project& project : projects) {
    core::ProjectSnapshot& entry = snap.projects.emplace_back();
    entry.project = project;
    if (const auto it = worktrees_.find(project.id); it != worktrees_.end()) {
      entry.worktrees = it->second;
    }
    for (const core::TermSession& session : sessions_) {
      if (session.project_id == project.id) {
        entry.sessions.push_back(session);
      }
    }
  }
  return snap;
}

void Runtime::emit_projects_changed() const {
  // Nobody listening means the snapshot would be dropped unread; skip copying it.
  if (!events_.has_receivers()) {
    return;
  }
  events_.send(core::ProjectsChanged{snapshot()});
}

std::string Runtime::prefs_pi_bin() const {
  const std::lock_guard lock(store_mutex_);
  return store_.data().prefs.pi_bin;
}

core::Result<std::filesystem::path> Runtime::project_main(const core::ProjectId& id) const {
  const std::lock_guard lock(store_mutex_);
  if (const core::Project* project = stored_project(id)) {
    return project->main_path;
  }
  return core::fail(fmt::format("project not found: {}", id.to_string()));
}

core::Result<void> Runtime::refresh_project_inner(const core::ProjectId& id,
                                                  const std::filesystem::path& main_path) {
  auto listed = git::list_worktrees(main_path);
  if (!listed) {
    return tl::unexpected(listed.error().to_error());
  }
  const std::lock_guard lock(worktrees_mutex_);
  worktrees_.insert_or_assign(id, std::move(*listed));
  return {};
}

core::Result<void> Runtime::refresh_project(const core::ProjectId& id) {
  return project_main(id)
      .and_then([&](const std::filesystem::path& main_path) {
        return refresh_project_inner(id, main_path);
      })
      .map([&] { emit_projects_changed(); });
}

void Runtime::bootstrap() {
  std::vector<std::pair<core::ProjectId, std::filesystem::path>> work;
  {
    const std::lock_guard lock(store_mutex_);
    for (const core::Project& project : store_.data().projects) {
      work.emplace_back(project.id, project.main_path);
    }
  }
  for (const auto& [id, main_path] : work) {
    if (auto refreshed = refresh_project_inner(id, main_path); !refreshed) {
      core::log::event(core::log::Level::Warn, kLogTarget, "refresh on bootstrap failed",
                       {{"id", id.to_string()}, {"error", refreshed.error().message()}});
    }
  }
  emit_projects_changed();
}

core::Result<void> Runtime::handle(RuntimeCmd cmd) {
  return std::visit([this](auto& command) { return run(std::move(command)); }, cmd);
}

core::Result<void> Runtime::add_project(const std::filesystem::path& path) {
  auto root = git::repo_toplevel(path);
  if (!root) {
    return tl::unexpected(root.error().to_error());
  }
  // A linked worktree's directory registers its repository, whose main worktree is the project;
  // the focus still goes to the worktree the path lies in.
  const std::filesystem::path main_path = git::main_worktree(*root);
  core::Project project;
  project.id = core::ProjectId::create();
  project.name = project_name(main_path);
  project.main_path = main_path;
  project.worktree_dir_template = "../worktrees/{repo}";
  project.created_at = core::utc_now();
  project.quick_base = git::resolve_default_base(main_path);

  core::ProjectId id = project.id;
  {
    const std::lock_guard lock(store_mutex_);
    if (auto added = store_.add_project(std::move(project)); !added) {
      return tl::unexpected(added.error().to_error());
    }
    // The store keeps an already registered repository's project and drops the new one; that
    // project is the one to refresh and focus.
    const std::vector<core::Project>& projects = store_.data().projects;
    const auto kept = std::find_if(projects.begin(), projects.end(), [&](const auto& p) {
      return core::same_path(p.main_path, main_path);
    });
    if (kept != projects.end()) {
      id = kept->id;
    }
  }
  if (auto refreshed = refresh_project_inner(id, main_path); !refreshed) {
    return refreshed;
  }
  set_focus(*root, id);
  emit_projects_changed();
  events_.send(core::Toast{"Project added", true});
  return {};
}

core::Result<void> Runtime::create_worktree(const core::ProjectId& project_id,
                                            const std::string& branch,
                                            const std::optional<std::string>& base, bool start_pi) {
  std::filesystem::path main_path;
  std::string dir_template;
  std::optional<std::string> quick_base;
  {
    const std::lock_guard lock(store_mutex_);
    const core::Project* const project = stored_project(project_id);
    if (project == nullptr) {
      return core::fail("project not found");
    }
    main_path = project->main_path;
    dir_template = project->worktree_dir_template;
    quick_base = project->quick_base;
  }
  const std::optional<std::string>& chosen = base ? base : quick_base;
  if (!chosen) {
    return core::fail("quick base not set; pass base or SetQuickBase");
  }
  const std::filesystem::path target = git::worktree_path(main_path, dir_template, branch);
  events_.send(core::Progress{
      fmt::format("Creating {} from {}\u2026", core::display(target), *chosen), project_id, false});
  if (auto created = git::create_worktree(main_path, target, branch, *chosen, true); !created) {
    return tl::unexpected(created.error().to_error());
  }
  core::log::event(core::log::Level::Info, kLogTarget, "worktree created",
                   {{"name", branch}, {"base", *chosen}, {"path", core::display(target)}});
  if (auto refreshed = refresh_project_inner(project_id, main_path); !refreshed) {
    return refreshed;
  }
  const std::filesystem::path created = as_listed(project_id, target);
  set_focus(created, project_id);
  emit_projects_changed();
  events_.send(core::Progress{"Done", project_id, true});
  if (start_pi) {
    return this->start_pi(project_id, created);
  }
  return {};
}

core::Result<void> Runtime::start_pi(const core::ProjectId& project_id,
                                     const std::filesystem::path& worktree) {
  std::filesystem::path main_path;
  std::optional<std::string> quick_base;
  core::AppPrefs prefs;
  {
    const std::lock_guard lock(store_mutex_);
    const core::Project* const project = stored_project(project_id);
    if (project == nullptr) {
      return core::fail("project not found");
    }
    main_path = project->main_path;
    quick_base = project->quick_base;
    prefs = store_.data().prefs;
  }
  const std::optional<std::string> branch = git::current_branch(worktree);
  const agent::LaunchSpec launch =
      agent::launch_pi(prefs, agent::LaunchContext{worktree, main_path, branch, quick_base});
  // The window is not waited for and a failure to start osascript is not reported: the
  // session is recorded either way. Its output never goes to the terminal, where it would land
  // in the agent's screen or over Orvo's: Terminal's answer is dropped, and its errors are read
  // from a pipe and shown by the interface.
  auto window = sys::spawn_detached_with_stderr(
      sys::Command{"osascript", {"-e", terminal_script(worktree, launch.program)}, {}, {}});
  if (window) {
    const std::lock_guard lock(window_mutex_);
    window_messages_.watch(std::move(window->err));
  }

  const core::UtcTime now = core::utc_now();
  const core::TermSession session{
      worktree, "pi", core::kSessionRecorded, core::Uuid::new_v4(), project_id, now, now};
  {
    const std::lock_guard lock(sessions_mutex_);
    sessions_.push_back(session);
  }
  events_.send(core::SessionUpdated{session});
  emit_projects_changed();
  return {};
}

std::optional<std::string> Runtime::take_window_message() {
  const std::lock_guard lock(window_mutex_);
  return window_messages_.take();
}

core::Result<std::vector<std::string>> Runtime::list_branches(
    const core::ProjectId& project_id) const {
  auto main_path = project_main(project_id);
  if (!main_path) {
    return tl::unexpected(main_path.error());
  }
  auto branches = git::list_branches(*main_path);
  if (!branches) {
    return tl::unexpected(branches.error().to_error());
  }
  return std::move(*branches);
}

EventReceiver Runtime::subscribe() {
  return events_.subscribe();
}

const core::Project* Runtime::stored_project(const core::ProjectId& id) const {
  for (const core::Project& project : store_.data().projects) {
    if (project.id == id) {
      return &project;
    }
  }
  return nullptr;
}

std::filesystem::path Runtime::as_listed(const core::ProjectId& id,
                                         const std::filesystem::path& worktree) const {
  std::vector<core::WorktreeView> listed;
  {
    const std::lock_guard lock(worktrees_mutex_);
    if (const auto it = worktrees_.find(id); it != worktrees_.end()) {
      listed = it->second;
    }
  }
  const std::optional<std::size_t> at = git::find_worktree(listed, worktree);
  return at ? listed[*at].path : worktree;
}

void Runtime::set_focus(std::filesystem::path path, const core::ProjectId& project_id) {
  const std::lock_guard lock(focus_mutex_);
  focus_.path = std::move(path);
  focus_.project_id = project_id;
}

core::Result<void> Runtime::run(AddProject cmd) {
  return add_project(cmd.path);
}

core::Result<void> Runtime::run(RemoveProject cmd) {
  {
    const std::lock_guard lock(store_mutex_);
    if (auto removed = store_.remove_project(cmd.project_id); !removed) {
      return tl::unexpected(removed.error().to_error());
    }
  }
  {
    const std::lock_guard lock(worktrees_mutex_);
    worktrees_.erase(cmd.project_id);
  }
  emit_projects_changed();
  return {};
}

core::Result<void> Runtime::run(SetQuickBase cmd) {
  {
    const std::lock_guard lock(store_mutex_);
    if (auto set = store_.set_quick_base(cmd.project_id, std::move(cmd.base)); !set) {
      return tl::unexpected(set.error().to_error());
    }
  }
  emit_projects_changed();
  return {};
}

core::Result<void> Runtime::run(CreateWorktree cmd) {
  return create_worktree(cmd.project_id, cmd.branch, cmd.base, cmd.start_pi);
}

core::Result<void> Runtime::run(RemoveWorktree cmd) {
  auto main_path = project_main(cmd.project_id);
  if (!main_path) {
    return tl::unexpected(main_path.error());
  }
  if (auto removed = git::remove_worktree(*main_path, cmd.path, cmd.force); !removed) {
    return tl::unexpected(removed.error().to_error());
  }
  return refresh_project(cmd.project_id);
}

core::Result<void> Runtime::run(Focus cmd) {
  set_focus(std::move(cmd.path), cmd.project_id);
  emit_projects_changed();
  return {};
}

core::Result<void> Runtime::run(StartPi cmd) {
  return start_pi(cmd.project_id, cmd.path);
}

core::Result<void> Runtime::run(TouchSession cmd) {
  const std::lock_guard lock(sessions_mutex_);
  const auto it = std::find_if(sessions_.begin(), sessions_.end(),
                               [&](const auto& s) { return s.id == cmd.session_id; });
  if (it != sessions_.end()) {
    it->status = core::kSessionTouched;
    it->updated_at = core::utc_now();
    events_.send(core::SessionUpdated{*it});
  }
  return {};
}

core::Result<void> Runtime::run(OpenEditor cmd) {
  std::string editor;
  {
    const std::lock_guard lock(store_mutex_);
    editor = store_.data().prefs.editor_cmd;
  }
  // The editor's exit status is its own affair; only a failed start is an error.
  if (auto ended =
          sys::spawn_and_wait(sys::Command{editor, {cmd.path.string()}, {}, {}}, cmd.streams);
      !ended) {
    return core::fail(fmt::format("spawn editor {}", editor), {ended.error().message()});
  }
  return {};
}

core::Result<void> Runtime::run(Refresh cmd) {
  return refresh_project(cmd.project_id);
}

core::Result<void> Runtime::run(Bootstrap /*cmd*/) {
  bootstrap();
  return {};
}

core::Result<void> Runtime::reload_store() {
  const std::lock_guard lock(store_mutex_);
  if (auto reloaded = store_.reload(); !reloaded) {
    return tl::unexpected(reloaded.error().to_error());
  }
  return {};
}

}  // namespace orvo::runtime
