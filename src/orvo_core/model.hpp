#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "orvo_core/ids.hpp"

namespace orvo::core {

// A UTC date-time with nanosecond resolution: whole seconds since 1970-01-01T00:00:00Z and the
// nanoseconds within that second (0 to 999,999,999), kept apart so that every date of the years
// 0 to 9999 fits.
struct UtcTime {
  std::int64_t seconds = 0;
  std::uint32_t nanos = 0;

  friend auto operator<=>(const UtcTime&, const UtcTime&) = default;
};

// The current UTC time.
[[nodiscard]] UtcTime utc_now();

// One registered git repository; field order is the state file's key order.
struct Project {
  ProjectId id;
  std::string name;
  std::filesystem::path main_path;
  std::string worktree_dir_template;
  std::optional<std::string> quick_base;
  std::optional<std::string> preferred_editor;
  UtcTime created_at;
};

// The user's preferences; field order is the state file's key order.
struct AppPrefs {
  std::string editor_cmd;
  std::string pi_bin;
  std::vector<std::string> pi_extra_args;
  bool default_start_pi_on_create = true;

  // The defaults: `editor_cmd` from EDITOR, else VISUAL (a set but empty variable counts, one
  // that is not valid UTF-8 does not), else "zed"; `pi_bin` "pi"; no extra arguments; true.
  [[nodiscard]] static AppPrefs defaults();
};

// One git worktree as git lists it.
struct WorktreeView {
  std::filesystem::path path;
  std::optional<std::string> branch;
  bool is_main = false;
  bool locked = false;
  bool bare = false;
};

// One start of the agent program during this run.
struct TermSession {
  std::filesystem::path worktree_path;
  std::string kind;
  std::uint32_t status = 0;
  Uuid id;
  ProjectId project_id;
  UtcTime started_at;
  UtcTime updated_at;
};

// The session status codes the system sets.
inline constexpr std::uint32_t kSessionRecorded = 3;
inline constexpr std::uint32_t kSessionTouched = 0;

// A copy of one project with its cached worktrees and its sessions of this run.
struct ProjectSnapshot {
  Project project;
  std::vector<WorktreeView> worktrees;
  std::vector<TermSession> sessions;
};

// What the user last focused.
struct FocusState {
  std::optional<std::filesystem::path> path;
  std::optional<ProjectId> project_id;
};

// Everything the runtime hands out in one copy.
struct RuntimeSnapshot {
  std::vector<ProjectSnapshot> projects;
  FocusState focus;
};

}  // namespace orvo::core
