#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvo_core/model.hpp"
#include "orvo_git/error.hpp"

namespace orvo::git {

// How the fields of git's porcelain listing are separated.
enum class PorcelainForm {
  // `--porcelain -z` (git 2.36 and later): each field ends in a NUL and each record in one more,
  // so a path holding a line feed or ending in a carriage return stays whole.
  Nul,
  // `--porcelain`: one field a line; a carriage return before a line feed goes with it. A path
  // holding a line feed is cut there.
  Lines,
};

// The worktrees of git's porcelain listing in `form`, in the listing's order: path, branch
// (short when under refs/heads/, absent when detached), locked and bare flags. Marked main: when
// `main_path` resolves (realpath), exactly the records that resolve to the same directory;
// otherwise the first record and every record whose path equals `main_path` component by
// component. Never fails: fields it does not know are ignored. Touches the disk only to resolve
// paths.
[[nodiscard]] std::vector<core::WorktreeView> parse_porcelain(
    std::string_view output, const std::filesystem::path& main_path, PorcelainForm form);

// The worktrees of the repository at `main_path`, from `git worktree list --porcelain -z`, or
// from the line form where git is older than 2.36 and refuses `-z`. Fails with git's error.
[[nodiscard]] GitResult<std::vector<core::WorktreeView>> list_worktrees(
    const std::filesystem::path& main_path);

// The index of the record of `listed` that names the same directory as `path` once both are
// resolved (realpath), the first such; nothing when `path` or no record resolves to it.
[[nodiscard]] std::optional<std::size_t> find_worktree(
    const std::vector<core::WorktreeView>& listed, const std::filesystem::path& path);

// Adds a worktree at `target`: with `new_branch`, on a new branch `branch` made from `base`,
// otherwise on the existing `branch`. Fails, before anything is changed, with `Other`
// "'{}' is not a valid branch name" or "invalid reference: {}" when the branch or the base
// begins with a hyphen, and "path already exists: {}" when `target` exists; with `Io` when its
// parent directories cannot be made (those made stay), and with git's error otherwise, which
// holds git's refusal alone: git is asked for no progress lines.
[[nodiscard]] GitResult<void> create_worktree(const std::filesystem::path& main_path,
                                              const std::filesystem::path& target,
                                              const std::string& branch, const std::string& base,
                                              bool new_branch);

// Has git remove the worktree at `worktree` (with --force when `force`). Fails with git's error,
// for example when the worktree has changes and `force` is not set.
[[nodiscard]] GitResult<void> remove_worktree(const std::filesystem::path& main_path,
                                              const std::filesystem::path& worktree, bool force);

// The root of the work tree that contains `dir`, as git reports it: its bytes without git's final
// line feed, so a root whose name ends in white space keeps it; not resolved further. Fails with
// git's error, e.g. `CommandFailed` outside any repository and `NotARepo` when `dir` does not
// exist.
[[nodiscard]] GitResult<std::filesystem::path> repo_toplevel(const std::filesystem::path& dir);

// The main worktree of the repository that `root` (a root as `repo_toplevel` gives it) belongs
// to: when `root` is a linked worktree, the first record of git's worktree listing, as git lists
// it; otherwise `root`. `root` is kept too when the repository is bare, when the first record is
// not a work tree root (git lists a separate git directory there) and when git fails.
[[nodiscard]] std::filesystem::path main_worktree(const std::filesystem::path& root);

}  // namespace orvo::git
