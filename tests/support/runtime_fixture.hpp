#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvo_core/event.hpp"
#include "orvo_runtime/app.hpp"
#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::runtime {

// A runtime on a temporary HOME whose search path holds only a link to the real git and the fake
// programs a test installs, with a receiver subscribed to its events from the start. Sandboxes
// may nest (a table row making its own): each restores HOME and PATH when it goes.
class Sandbox {
 public:
  Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // Writes preferences into the state file; call before the first `rt()`.
  void write_prefs(const std::string& editor_cmd, const std::string& pi_bin);

  // The runtime, opened from the state file on first use.
  Runtime& rt();

  // The events sent since the last call, one line each: "ProjectsChanged", "SessionUpdated",
  // "Toast {text} {ok}", "Progress {text} {done}", with the temporary folder written as "$TMP".
  std::vector<std::string> events();

  // The events sent since the last call, as they are.
  std::vector<core::Event> raw_events();

  // Registers `repo` through AddProject and returns the focused project, leaving no events.
  core::ProjectId add(const test::GitRepo& repo);

  // The snapshot entry of project `id`; fails the test when there is none.
  core::ProjectSnapshot project(const core::ProjectId& id);

  // Installs a fake osascript that records each call's arguments.
  void install_fake_osascript();
  // The argument lists of the first `count` osascript calls, waiting up to ten seconds for them.
  std::vector<std::vector<std::string>> osascript_calls(std::size_t count);
  // How many osascript calls have been recorded so far.
  std::size_t osascript_call_count() const;
  // How many osascript calls were made before a marking start of the agent for project `id`,
  // counted once the marker's own call is recorded, so that a call that should not have been
  // made has had its time to show. The marker records a session and sends events: call it last.
  std::size_t osascript_calls_before_marker(const core::ProjectId& id);

  // Puts a git in front of the real one that refuses "worktree list" from now on.
  void fail_worktree_listing();

  // Puts a file where the state file's directory is, so every save fails.
  void break_state_dir();

  std::filesystem::path state_file() const;
  std::string tmp_text(const std::filesystem::path& path) const;

  test::TempDir tmp;
  std::filesystem::path bin;

 private:
  std::filesystem::path real_git_;
  test::ScopedEnv home_;
  test::ScopedEnv path_;
  std::unique_ptr<Runtime> runtime_;
  std::optional<EventReceiver> receiver_;
};

class RuntimeTest : public ::testing::Test, public Sandbox {};

// The text of the stored file, or empty when it does not exist.
std::string read_if_exists(const std::filesystem::path& file);

}  // namespace orvo::runtime
