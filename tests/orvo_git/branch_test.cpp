#include "orvo_git/branch.hpp"

#include <gtest/gtest.h>

#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::git {
namespace {

using test::GitRepo;
using test::TempDir;
using Names = std::vector<std::string>;

TEST(ParseBranchList, TrimsDropsRemoteHeadsSortsAndDeduplicates) {
  struct Case {
    std::string output;
    Names names;
  };
  const Case cases[] = {
      {"", {}},
      {"main\norigin/HEAD\norigin/main\nupstream/HEAD\nfork/HEAD\n",
       {"fork/HEAD", "main", "origin/main"}},
      {"b\na\nb\na", {"a", "b"}},
      {"  origin/HEAD  \n\t main \r\n\n  \n", {"main"}},
      // Only ASCII white space is trimmed: other white space belongs to the name.
      {"\vfeat\xC2\xA0\f\n\xE2\x80\x83x\n", {"feat\xC2\xA0", "\xE2\x80\x83x"}},
      // Plain byte order: upper case first, no numeric ordering, a prefix first.
      {"v9\nv10\na/b\na\nZed\n\xC3\xA9t\xC3\xA9\n",
       {"Zed", "a", "a/b", "v10", "v9", "\xC3\xA9t\xC3\xA9"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    EXPECT_EQ(parse_branch_list(c.output), c.names);
  }
}

TEST(ListBranches, ListsLocalAndRemoteBranchesWithoutRemoteHeads) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_branch("feat/x");
  repo.add_origin(tmp / "origin.git", "main");
  repo.add_branch("local-only");
  EXPECT_EQ(list_branches(repo.path()).value(),
            (Names{"feat/x", "local-only", "main", "origin/feat/x", "origin/main"}));

  GitRepo empty(tmp / "empty", "main", false);
  EXPECT_EQ(list_branches(empty.path()).value(), Names{});
  EXPECT_EQ(list_branches(tmp.path()).error().kind(), GitError::Kind::CommandFailed);
  EXPECT_EQ(list_branches(tmp / "gone").error().kind(), GitError::Kind::NotARepo);
}

TEST(ResolveDefaultBase, PrefersOriginHeadThenMainThenMaster) {
  TempDir tmp;
  GitRepo with_origin(tmp / "with-origin");
  with_origin.add_branch("develop");
  with_origin.add_origin(tmp / "origin.git", "develop");

  GitRepo outside_remotes(tmp / "outside-remotes");
  outside_remotes.git({"symbolic-ref", "refs/remotes/origin/HEAD", "refs/heads/main"});

  GitRepo main_and_master(tmp / "main-and-master", "master");
  main_and_master.add_branch("main");
  GitRepo master_only(tmp / "master-only", "master");
  GitRepo neither(tmp / "neither", "trunk");

  struct Case {
    std::filesystem::path root;
    std::optional<std::string> base;
  };
  const Case cases[] = {
      {with_origin.path(), "origin/develop"}, {outside_remotes.path(), "refs/heads/main"},
      {main_and_master.path(), "main"},       {master_only.path(), "master"},
      {neither.path(), std::nullopt},         {tmp.path(), std::nullopt},
      {tmp / "gone", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root.string());
    EXPECT_EQ(resolve_default_base(c.root), c.base);
  }
}

TEST(CurrentBranch, NamesTheCheckedOutBranchOrNothing) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "feat", "feat/x");
  repo.add_detached_worktree(tmp / "detached");
  EXPECT_EQ(current_branch(repo.path()), "main");
  EXPECT_EQ(current_branch(tmp / "feat"), "feat/x");
  EXPECT_EQ(current_branch(tmp / "detached"), std::nullopt);
  EXPECT_EQ(current_branch(tmp.path()), std::nullopt);
  EXPECT_EQ(current_branch(tmp / "gone"), std::nullopt);
}

TEST(BranchNames, KeepWhiteSpaceOtherThanAscii) {
  const std::string nbsp = "\u00A0";
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_branch("feat" + nbsp);
  repo.add_worktree(tmp / "wt", nbsp + "wt" + nbsp);
  repo.add_origin(tmp / "origin.git", "feat" + nbsp);

  EXPECT_EQ(list_branches(repo.path()).value(),
            (Names{"feat" + nbsp, "main", "origin/feat" + nbsp, "origin/main",
                   "origin/" + nbsp + "wt" + nbsp, nbsp + "wt" + nbsp}));
  EXPECT_EQ(resolve_default_base(repo.path()), "origin/feat" + nbsp);
  EXPECT_EQ(current_branch(tmp / "wt"), nbsp + "wt" + nbsp);
}

}  // namespace
}  // namespace orvo::git
