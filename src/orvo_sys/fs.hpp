#pragma once

#include <filesystem>
#include <optional>

#include <tl/expected.hpp>

#include "orvo_sys/os_error.hpp"

namespace orvo::sys {

// The absolute form of `path` with symbolic links, "." and ".." resolved (realpath). Fails when
// the path names nothing, cannot be resolved, or holds a NUL byte (EINVAL).
[[nodiscard]] tl::expected<std::filesystem::path, OsError> canonicalize(
    const std::filesystem::path& path);

// Whether a status query on `path`, following symbolic links, succeeds: a dangling link, a
// path that cannot be queried and a path holding a NUL byte all count as absent.
[[nodiscard]] bool path_exists(const std::filesystem::path& path);

// The path without its last component, worked out on the text alone: "/a/b" and "/a/b/" give
// "/a", "/a" gives "/", "b" gives the empty path; "/" and the empty path have none.
[[nodiscard]] std::optional<std::filesystem::path> parent(const std::filesystem::path& path);

// Creates the directory `path` and every missing ancestor; directories that already exist are
// fine and an empty path is nothing to create. Fails with the error of the first directory that
// could not be made (directories made before it stay).
[[nodiscard]] tl::expected<void, OsError> create_dir_all(const std::filesystem::path& path);

}  // namespace orvo::sys
