#include "support/git_repo.hpp"

#include <stdexcept>

#include "orvo_sys/process.hpp"
#include "support/temp_dir.hpp"

namespace orvo::test {

std::string run_git(const std::filesystem::path& dir, const std::vector<std::string>& args) {
  auto output = sys::run_and_capture({.program = "git", .args = args, .cwd = dir, .env = {}});
  if (!output) {
    throw std::runtime_error("cannot start git: " + output.error().message());
  }
  if (!output->status.success()) {
    std::string command = "git";
    for (const std::string& arg : args) {
      command += " " + arg;
    }
    throw std::runtime_error(command + " in " + dir.string() + " failed (" +
                             sys::exit_status_text(output->status) + "): " + output->err);
  }
  return std::move(output->out);
}

GitRepo::GitRepo(std::filesystem::path dir, const std::string& initial_branch, bool with_commit)
    : dir_(std::move(dir)) {
  std::filesystem::create_directories(dir_);
  git({"init", "--quiet", "--initial-branch=" + initial_branch});
  if (with_commit) {
    commit("initial");
  }
}

std::string GitRepo::git(const std::vector<std::string>& args) const {
  return run_git(dir_, args);
}

void GitRepo::commit_file(const std::filesystem::path& file, const std::string& text,
                          const std::string& message) {
  write_file(dir_ / file, text);
  git({"add", "--all"});
  git({"commit", "--quiet", "-m", message});
}

void GitRepo::commit(const std::string& message) {
  git({"commit", "--quiet", "--allow-empty", "-m", message});
}

void GitRepo::add_branch(const std::string& name, const std::string& start) {
  git({"branch", name, start});
}

void GitRepo::add_worktree(const std::filesystem::path& dir, const std::string& branch) {
  git({"worktree", "add", "--quiet", "-b", branch, dir.string()});
}

void GitRepo::add_detached_worktree(const std::filesystem::path& dir) {
  git({"worktree", "add", "--quiet", "--detach", dir.string()});
}

void GitRepo::lock_worktree(const std::filesystem::path& dir, const std::string& reason) {
  if (reason.empty()) {
    git({"worktree", "lock", dir.string()});
  } else {
    git({"worktree", "lock", "--reason", reason, dir.string()});
  }
}

void GitRepo::add_origin(const std::filesystem::path& bare_dir, const std::string& head_branch) {
  std::filesystem::create_directories(bare_dir);
  run_git(bare_dir, {"init", "--quiet", "--bare"});
  git({"remote", "add", "origin", bare_dir.string()});
  git({"push", "--quiet", "origin", "--all"});
  git({"fetch", "--quiet", "origin"});
  run_git(bare_dir, {"symbolic-ref", "HEAD", "refs/heads/" + head_branch});
  git({"symbolic-ref", "refs/remotes/origin/HEAD", "refs/remotes/origin/" + head_branch});
}

}  // namespace orvo::test
