#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvo_git/error.hpp"

namespace orvo::git {

// The branch names of a `for-each-ref --format=%(refname:short)` listing: lines trimmed of ASCII
// white space (any other character, such as U+00A0, belongs to the name), empty lines and the
// remote HEADs "origin/HEAD" and "upstream/HEAD" dropped, sorted by byte value, duplicates
// removed.
[[nodiscard]] std::vector<std::string> parse_branch_list(std::string_view output);

// The local and remote-tracking branches of the repository at `repo` as `parse_branch_list`
// gives them. Fails with git's error.
[[nodiscard]] GitResult<std::vector<std::string>> list_branches(const std::filesystem::path& repo);

// The base a new project defaults to: origin's HEAD without "refs/remotes/" (e.g.
// "origin/main"), else the local branch "main", else "master", else nothing. Every git failure
// only means no answer.
[[nodiscard]] std::optional<std::string> resolve_default_base(const std::filesystem::path& root);

// The short name of the branch checked out in `worktree`; nothing when HEAD is detached or git
// fails in any way.
[[nodiscard]] std::optional<std::string> current_branch(const std::filesystem::path& worktree);

}  // namespace orvo::git
