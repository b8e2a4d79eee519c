// The git sandbox of every test process: git looks for a repository no higher than the
// temporary folder the tests make their folders in, wherever that folder lies.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "orvo_git/exec.hpp"
#include "orvo_git/test_print.hpp"
#include "orvo_sys/process.hpp"
#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::git {
namespace {

using test::TempDir;

TEST(GitSandbox, AFolderOfATestIsInNoRepository) {
  const TempDir tmp;
  EXPECT_EQ(git(tmp.path(), {"rev-parse", "--show-toplevel"}),
            tl::unexpected(GitError::command_failed(
                128, "fatal: not a git repository (or any of the parent directories): .git")));
}

TEST(GitSandbox, HoldsWhenTheTemporaryFolderLiesInsideARepository) {
  const TempDir tmp;
  const test::GitRepo outer(tmp / "outer");
  const std::filesystem::path inner_tmp = outer.path() / "tmp";
  std::filesystem::create_directories(inner_tmp);
  // This test program once more, its temporary folder inside `outer`, runs the case above.
  const auto run =
      sys::run_and_capture({.program = ORVO_GIT_TESTS,
                            .args = {"--gtest_filter=GitSandbox.AFolderOfATestIsInNoRepository"},
                            .cwd = {},
                            .env = {{"TMPDIR", inner_tmp.string()}}});
  ASSERT_TRUE(run) << run.error().message();
  EXPECT_TRUE(run->status.success()) << run->out << run->err;
  EXPECT_NE(run->out.find("[  PASSED  ] 1 test."), std::string::npos) << run->out;
}

}  // namespace
}  // namespace orvo::git
