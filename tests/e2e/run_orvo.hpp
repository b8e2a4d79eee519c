#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "orvo_sys/process.hpp"
#include "support/tmux.hpp"

namespace orvo::test {

// Runs the built `orvo` binary to its end in a session of its own, so it has no controlling
// terminal, with HOME set to `home`, without the diagnostic and mode variables of the test's
// own environment, plus `env` (name, value) and `args`.
[[nodiscard]] sys::Output run_orvo(const std::filesystem::path& home,
                                   const std::vector<std::pair<std::string, std::string>>& env,
                                   const std::vector<std::string>& args = {});

// The state file under `home`.
[[nodiscard]] std::filesystem::path state_file(const std::filesystem::path& home);

// The search path of the test process with `dir`, a folder of fake programs, in front.
[[nodiscard]] std::string search_path_with(const std::filesystem::path& dir);

// The process id of Orvo started by the shell in the pane of `tmux`: the shell's one child.
// Throws std::runtime_error when the shell has none (the test then fails).
[[nodiscard]] pid_t orvo_pid(const Tmux& tmux);

}  // namespace orvo::test
