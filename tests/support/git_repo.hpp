#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orvo::test {

// Runs the real git in `dir` with `args` and returns its standard output. Throws
// std::runtime_error with git's standard error when git fails, so a broken set-up fails the test
// that made it.
std::string run_git(const std::filesystem::path& dir, const std::vector<std::string>& args);

// A git repository made for a test at an absolute path (normally inside a TempDir, which removes
// it). Every step runs the real git; a failing step throws as `run_git` does.
//
//   TempDir tmp;
//   GitRepo repo(tmp / "proj");                       // branch main, one commit
//   repo.add_branch("feat");
//   repo.add_worktree(tmp / "wt" / "x", "feat/x");    // linked worktree on a new branch
//   repo.add_origin(tmp / "origin.git", "main");      // refs/remotes/origin/HEAD -> origin/main
class GitRepo {
 public:
  // Initialises a repository at `dir` (created when missing) with `initial_branch` checked out
  // and, when `with_commit` is set, one empty commit on it.
  explicit GitRepo(std::filesystem::path dir, const std::string& initial_branch = "main",
                   bool with_commit = true);

  [[nodiscard]] const std::filesystem::path& path() const { return dir_; }

  // Runs git in the repository; see `run_git`.
  std::string git(const std::vector<std::string>& args) const;

  // Writes `text` to `file` (relative to the repository), stages everything and commits.
  void commit_file(const std::filesystem::path& file, const std::string& text,
                   const std::string& message = "change");
  // An empty commit on the current branch.
  void commit(const std::string& message = "commit");

  // A new local branch at `start`, not checked out.
  void add_branch(const std::string& name, const std::string& start = "HEAD");

  // A linked worktree at `dir` on a new branch `branch` made from HEAD.
  void add_worktree(const std::filesystem::path& dir, const std::string& branch);
  // A linked worktree at `dir` with a detached HEAD at the current commit.
  void add_detached_worktree(const std::filesystem::path& dir);
  // Locks the linked worktree at `dir`, with `reason` when it is not empty.
  void lock_worktree(const std::filesystem::path& dir, const std::string& reason = "");

  // Creates a bare repository at `bare_dir`, registers it as the remote "origin", pushes every
  // local branch to it and fetches, then points both the bare repository's HEAD and
  // refs/remotes/origin/HEAD at `head_branch`.
  void add_origin(const std::filesystem::path& bare_dir, const std::string& head_branch);

 private:
  std::filesystem::path dir_;
};

}  // namespace orvo::test
