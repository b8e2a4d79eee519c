#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvo_core/model.hpp"

namespace orvo::agent {

// The worktree the agent program is to run in and what the system knows about it. Borrowed: the
// referenced values must outlive the call they are passed to.
struct LaunchContext {
  const std::filesystem::path& worktree;
  const std::filesystem::path& main_repo;
  std::optional<std::string_view> branch;
  std::optional<std::string_view> quick_base;
};

// How the agent program is started in one worktree. `env` holds only the ORVO_ variables.
struct LaunchSpec {
  std::string program;
  std::vector<std::string> args;
  std::filesystem::path cwd;
  std::map<std::string, std::string> env;

  bool operator==(const LaunchSpec&) const = default;
};

// Describes the start of the agent program of `prefs` in `context.worktree`: the program and its
// extra arguments as the preferences give them, the worktree as working directory, and
// ORVO_WORKTREE, ORVO_MAIN_REPO and, when known, ORVO_BRANCH and ORVO_QUICK_BASE. Pure; cannot
// fail.
[[nodiscard]] LaunchSpec launch_pi(const core::AppPrefs& prefs, const LaunchContext& context);

}  // namespace orvo::agent
