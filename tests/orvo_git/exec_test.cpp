#include "orvo_git/exec.hpp"

#include <cstdlib>

#include <gtest/gtest.h>

#include "orvo_git/test_print.hpp"

#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::git {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::write_file;

// Puts a fake `git` running `body` first on PATH for the object's lifetime.
class FakeGit {
 public:
  explicit FakeGit(const std::string& body, bool executable = true)
      : path_("PATH", (tmp_ / "bin").string() + ":" + std::getenv("PATH")) {
    write_file(bin() / "git", "#!/bin/sh\n" + body + "\n", executable);
  }

  [[nodiscard]] std::filesystem::path bin() const { return tmp_ / "bin"; }

 private:
  TempDir tmp_;
  ScopedEnv path_;
};

TEST(Git, ReturnsOutputOrClassifiesTheFailure) {
  TempDir cwd;
  struct Case {
    std::string name;
    std::string body;
    GitResult<std::string> result;
  };
  const Case cases[] = {
      {"no output", "exit 0", ""},
      {"output keeps its newline", "printf 'a\\n\\n'", "a\n\n"},
      {"stderr is dropped on success", "printf out; printf err >&2", "out"},
      {"invalid UTF-8 in output", "printf 'a\\377b'",
       "a\xEF\xBF\xBD"
       "b"},
      {"exit 1, empty stderr", "exit 1", tl::unexpected(GitError::command_failed(1, ""))},
      {"stderr trimmed", "printf ' \\t fatal: bad\\r\\n\\n' >&2; exit 128",
       tl::unexpected(GitError::command_failed(128, "fatal: bad"))},
      {"Unicode blanks trimmed", "printf '\\342\\200\\203x y\\302\\240' >&2; exit 2",
       tl::unexpected(GitError::command_failed(2, "x y"))},
      {"invalid UTF-8 in stderr", "printf 'no\\377' >&2; exit 3",
       tl::unexpected(GitError::command_failed(3, "no\xEF\xBF\xBD"))},
      {"output dropped on failure", "printf out; exit 4",
       tl::unexpected(GitError::command_failed(4, ""))},
      {"killed by a signal", "printf 'dying' >&2; kill -9 $$",
       tl::unexpected(GitError::command_failed(-1, "dying"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeGit fake(c.body);
    EXPECT_EQ(git(cwd.path(), {"status"}), c.result);
  }
}

TEST(Git, PassesEachArgumentUnchangedInTheWorkingDirectory) {
  TempDir cwd;
  FakeGit fake(R"(pwd; for a in "$@"; do printf '[%s]' "$a"; done)");
  EXPECT_EQ(git(cwd.path(), {"a b", "", "*", "$HOME", "-b", "feat;rm -rf /"}),
            cwd.path().string() + "\n[a b][][*][$HOME][-b][feat;rm -rf /]");
}

TEST(Git, TellsAMissingGitFromAMissingDirectory) {
  TempDir tmp;
  write_file(tmp / "file", "");
  EXPECT_EQ(git(tmp / "missing", {"status"}),
            tl::unexpected(GitError::not_a_repo((tmp / "missing").string())));
  EXPECT_EQ(git(tmp / "file", {"status"}).error().message(),
            "not a git repository: " + (tmp / "file").string());
  {
    ScopedEnv path("PATH", (tmp / "empty").string());
    EXPECT_EQ(git(tmp.path(), {"status"}), tl::unexpected(GitError::git_not_found()));
  }
  {
    FakeGit not_executable("exit 0", false);
    ScopedEnv only_fake("PATH", not_executable.bin().string());
    EXPECT_EQ(git(tmp.path(), {"status"}).error().message(), "io: Permission denied (os error 13)");
  }
}

TEST(GitOk, DropsTheOutputAndKeepsTheError) {
  TempDir tmp;
  test::GitRepo repo(tmp / "proj");
  EXPECT_TRUE(git_ok(repo.path(), {"log", "--oneline"}));
  const auto failed = git_ok(tmp.path(), {"rev-parse", "--show-toplevel"});
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().kind(), GitError::Kind::CommandFailed);
  EXPECT_EQ(failed.error().status(), 128);
  EXPECT_TRUE(failed.error().stderr_text().starts_with("fatal: not a git repository"))
      << failed.error().stderr_text();
}

}  // namespace
}  // namespace orvo::git
