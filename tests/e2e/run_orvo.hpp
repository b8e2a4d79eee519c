#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "orvo_sys/process.hpp"

namespace orvo::test {

// Runs the built `orvo` binary to its end in a session of its own, so it has no controlling
// terminal, with HOME set to `home`, without the diagnostic and mode variables of the test's
// own environment, plus `env` (name, value) and `args`.
[[nodiscard]] sys::Output run_orvo(const std::filesystem::path& home,
                                   const std::vector<std::pair<std::string, std::string>>& env,
                                   const std::vector<std::string>& args = {});

// The state file under `home`.
[[nodiscard]] std::filesystem::path state_file(const std::filesystem::path& home);

}  // namespace orvo::test
