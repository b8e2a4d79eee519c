#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "orvo_git/error.hpp"

namespace orvo::git {

// Runs the `git` found on PATH once in `cwd` with `args` (each one argument, no shell), standard
// input from the null device, and returns its whole standard output decoded as UTF-8 lossily and
// untrimmed. Fails with `GitNotFound` when git is not on PATH, `NotARepo` (the directory's
// display form) when `cwd` does not exist or is not a directory, `CommandFailed` with the exit
// code (-1 after a signal) and the trimmed standard error when git does not exit with 0, and
// `Io` for any other start, read or wait failure.
[[nodiscard]] GitResult<std::string> git(const std::filesystem::path& cwd,
                                         const std::vector<std::string>& args);

// `git` with the standard output's bytes as git wrote them, for output that names a path on
// disk, where a lossy decoding would name another path.
[[nodiscard]] GitResult<std::string> git_bytes(const std::filesystem::path& cwd,
                                               const std::vector<std::string>& args);

// `git` with the output dropped: success, or the same errors.
[[nodiscard]] GitResult<void> git_ok(const std::filesystem::path& cwd,
                                     const std::vector<std::string>& args);

}  // namespace orvo::git
