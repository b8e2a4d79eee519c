#include "orvo_git/worktree.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "orvo_git/test_print.hpp"

#include "orvo_git/path.hpp"
#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::git {
namespace {

using test::GitRepo;
using test::TempDir;
using test::write_file;

// One line per record: path, then the branch (or "-" when absent), then the flags that are set.
std::vector<std::string> describe(const std::vector<core::WorktreeView>& views) {
  std::vector<std::string> out;
  for (const core::WorktreeView& v : views) {
    out.push_back(fmt::format("{}|{}{}{}{}", v.path.string(), v.branch ? *v.branch : "-",
                              v.is_main ? " main" : "", v.locked ? " locked" : "",
                              v.bare ? " bare" : ""));
  }
  return out;
}

using Lines = std::vector<std::string>;

TEST(ParsePorcelain, ReadsRecordsFieldByField) {
  using namespace std::string_literals;
  // The main path does not exist, so the first record and any record spelled like it are main.
  const std::filesystem::path main = "/nonexistent-orvo/proj";
  struct Case {
    std::string name;
    std::string output;
    Lines records;
  };
  const Case cases[] = {
      {"empty output", "", {}},
      {"two records, the last without the NUL that ends a record",
       "worktree /nonexistent-orvo/proj\0HEAD 1234\0branch refs/heads/main\0\0"
       "worktree /w/x\0HEAD 5678\0branch refs/heads/feature/x\0"s,
       {"/nonexistent-orvo/proj|main main", "/w/x|feature/x"}},
      {"a worktree field closes the record before it",
       "worktree /w/a\0branch refs/heads/a\0worktree /w/b\0branch refs/heads/b\0"s,
       {"/w/a|a main", "/w/b|b"}},
      {"branch references",
       "worktree /w/a\0branch refs/remotes/origin/x\0\0worktree /w/b\0branch refs/heads/\0\0"
       "worktree /w/c\0branch refs/heads/one\0branch refs/heads/two\0\0"s,
       {"/w/a|refs/remotes/origin/x main", "/w/b|", "/w/c|two"}},
      {"detached wins over a branch field",
       "worktree /w/a\0\0worktree /w/b\0branch refs/heads/b\0detached\0\0"s,
       {"/w/a|- main", "/w/b|-"}},
      {"locked with or without a reason, prunable ignored",
       "worktree /w/a\0\0worktree /w/b\0locked\0\0worktree /w/c\0locked in use\nsince May\0\0"
       "worktree /w/d\0prunable gitdir file points to non-existent location\0\0"s,
       {"/w/a|- main", "/w/b|- locked", "/w/c|- locked", "/w/d|-"}},
      {"flags before the first worktree field belong to its record",
       "bare\0worktree /w/a\0\0bare\0\0worktree /w/b\0\0"s,
       {"/w/a|- main bare", "/w/b|-"}},
      {"line feeds and carriage returns belong to the path",
       "worktree /w/a\nb\0branch refs/heads/nl\0\0worktree /w/c\r\0detached\0\0"
       "worktree /w/d\r\n\0\0"s,
       {"/w/a\nb|nl main", "/w/c\r|-", "/w/d\r\n|-"}},
      {"paths keep their blanks",
       "worktree /w/a  \0\0worktree  /w/b\0\0"s,
       {"/w/a  |- main", " /w/b|-"}},
      {"records spelled like the main path are main",
       "worktree /w/a\0\0worktree /nonexistent-orvo//proj/./\0\0worktree /nonexistent-orvo\0\0"s,
       {"/w/a|- main", "/nonexistent-orvo//proj/./|- main", "/nonexistent-orvo|-"}},
      {"unknown and partial labels ignored",
       "worktree\0branchrefs/heads/x\0bare \0detachedx\0\0worktree /w/a\0HEAD 1\0foo bar\0\0"s,
       {"/w/a|- main"}},
      {"a record without a worktree field is dropped", "branch refs/heads/x\0locked\0\0"s, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(describe(parse_porcelain(c.output, main, PorcelainForm::Nul)), c.records);
  }
}

TEST(ParsePorcelain, ReadsTheLineFormOfOlderGit) {
  const std::filesystem::path main = "/nonexistent-orvo/proj";
  struct Case {
    std::string name;
    std::string output;
    Lines records;
  };
  const Case cases[] = {
      {"two records, the last without an empty line after it",
       "worktree /nonexistent-orvo/proj\nHEAD 1234\nbranch refs/heads/main\n\n"
       "worktree /w/x\nHEAD 5678\nbranch refs/heads/feature/x",
       {"/nonexistent-orvo/proj|main main", "/w/x|feature/x"}},
      {"carriage returns before line feeds",
       "worktree /w/a\r\nbranch refs/heads/main\r\n\r\nworktree /w/b\r\ndetached\r\n",
       {"/w/a|main main", "/w/b|-"}},
      {"a line feed in a path ends it there",
       "worktree /w/a\nb\nbranch refs/heads/nl\n\n",
       {"/w/a|nl main"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(describe(parse_porcelain(c.output, main, PorcelainForm::Lines)), c.records);
  }
}

TEST(ParsePorcelain, MarksWhatResolvesToAnExistingMainPath) {
  TempDir tmp;
  std::filesystem::create_directories(tmp / "proj");
  std::filesystem::create_directories(tmp / "other");
  std::filesystem::create_directory_symlink(tmp / "proj", tmp / "link");
  std::string output;
  for (const char* name : {"missing", "other", "proj", "link/."}) {
    output += "worktree " + (tmp / name).string() + '\0' + '\0';
  }
  // Through the link, the records resolving to the real directory are main, and the first record
  // is not main merely for being first.
  const std::string t = tmp.path().string();
  EXPECT_EQ(describe(parse_porcelain(output, tmp / "link", PorcelainForm::Nul)),
            (Lines{t + "/missing|-", t + "/other|-", t + "/proj|- main", t + "/link/.|- main"}));
}

TEST(ListWorktrees, ListsMainLinkedDetachedAndLockedWorktrees) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "wt" / "feat", "feat/x");
  repo.add_detached_worktree(tmp / "wt" / "detached");
  repo.add_worktree(tmp / "wt" / "locked", "locked");
  repo.lock_worktree(tmp / "wt" / "locked", "on a stick");
  const std::string t = tmp.path().string();
  // git lists the linked worktrees by path.
  const Lines expected{t + "/proj|main main", t + "/wt/detached|-", t + "/wt/feat|feat/x",
                       t + "/wt/locked|locked locked"};
  EXPECT_EQ(describe(list_worktrees(repo.path()).value()), expected);

  // The same repository reached through a symbolic link still has its main worktree.
  std::filesystem::create_directory_symlink(repo.path(), tmp / "link");
  EXPECT_EQ(describe(list_worktrees(tmp / "link").value()), expected);
}

TEST(ListWorktrees, KeepsPathsThatHoldALineFeedWhole) {
  TempDir tmp;
  // The repository's own folder holds a line feed too: its record must still be the main one.
  GitRepo repo(tmp / "pro\nj");
  repo.add_worktree(tmp / "a", "plain");
  repo.add_worktree(tmp / "a\nb", "nl");
  repo.add_worktree(tmp / "c\r", "cr");
  const std::string t = tmp.path().string();
  EXPECT_EQ(describe(list_worktrees(repo.path()).value()),
            (Lines{t + "/pro\nj|main main", t + "/a|plain", t + "/a\nb|nl", t + "/c\r|cr"}));
  EXPECT_EQ(main_worktree(tmp / "a\nb"), repo.path());
}

// A git in front of the real one that refuses `-z` as git before 2.36 does.
class GitWithoutNulListing {
 public:
  GitWithoutNulListing() {
    write_file(bin_ / "git",
               fmt::format("#!/bin/sh\n"
                           "for arg in \"$@\"; do\n"
                           "  if [ \"$arg\" = -z ]; then\n"
                           "    echo \"error: unknown switch \\`z'\" >&2\n"
                           "    echo 'usage: git worktree list [<options>]' >&2\n"
                           "    exit 129\n"
                           "  fi\n"
                           "done\n"
                           "PATH='{}' exec git \"$@\"\n",
                           real_path_),
               true);
  }

 private:
  TempDir tmp_;
  std::filesystem::path bin_ = tmp_ / "bin";
  std::string real_path_ = std::getenv("PATH");
  test::ScopedEnv path_{"PATH", bin_.string() + ":" + real_path_};
};

TEST(ListWorktrees, FallsBackToTheLineFormWhereGitRefusesTheNulForm) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "wt" / "feat", "feat/x");
  repo.lock_worktree(tmp / "wt" / "feat", "on a stick");
  const GitWithoutNulListing old_git;
  const std::string t = tmp.path().string();
  EXPECT_EQ(describe(list_worktrees(repo.path()).value()),
            (Lines{t + "/proj|main main", t + "/wt/feat|feat/x locked"}));
  EXPECT_EQ(main_worktree(tmp / "wt" / "feat"), repo.path());
  EXPECT_EQ(list_worktrees(tmp.path()).error().kind(), GitError::Kind::CommandFailed);
}

TEST(ListWorktrees, MarksABareRepositoryAndPassesGitFailuresOn) {
  TempDir tmp;
  std::filesystem::create_directories(tmp / "bare.git");
  test::run_git(tmp / "bare.git", {"init", "--quiet", "--bare"});
  EXPECT_EQ(describe(list_worktrees(tmp / "bare.git").value()),
            Lines{(tmp / "bare.git").string() + "|- main bare"});

  const auto outside = list_worktrees(tmp.path());
  ASSERT_FALSE(outside);
  EXPECT_EQ(outside.error().kind(), GitError::Kind::CommandFailed);
  EXPECT_EQ(list_worktrees(tmp / "gone").error().message(),
            "not a git repository: " + (tmp / "gone").string());
}

TEST(CreateWorktree, MakesMissingParentsThenAddsTheWorktreeOnANewBranch) {
  TempDir tmp;
  GitRepo repo(tmp / "src" / "proj");
  const std::filesystem::path target = worktree_path(repo.path(), "../worktrees/{repo}", "feat/x");
  ASSERT_EQ(target, tmp / "src" / "worktrees" / "proj" / "feat-x");
  ASSERT_TRUE(create_worktree(repo.path(), target, "feat/x", "main", true));
  EXPECT_EQ(repo.git({"-C", target.string(), "symbolic-ref", "--short", "HEAD"}), "feat/x\n");

  // Without a new branch, an existing branch is checked out.
  repo.add_branch("old");
  ASSERT_TRUE(create_worktree(repo.path(), tmp / "old", "old", "ignored", false));
  EXPECT_EQ(repo.git({"-C", (tmp / "old").string(), "symbolic-ref", "--short", "HEAD"}), "old\n");
}

TEST(CreateWorktree, RefusesAnExistingTargetBeforeTouchingAnything) {
  TempDir tmp;
  std::filesystem::create_directories(tmp / "dir");
  write_file(tmp / "file", "");
  std::filesystem::create_symlink(tmp / "dir", tmp / "link");
  // The main path is no repository: git would fail differently had it run.
  for (const char* name : {"dir", "file", "link"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(create_worktree(tmp / "none", tmp / name, "b", "main", true),
              tl::unexpected(GitError::other("path already exists: " + (tmp / name).string())));
  }
  EXPECT_FALSE(std::filesystem::exists(tmp / "none"));
}

TEST(CreateWorktree, ReportsFailuresOfTheParentDirectoryAndOfGit) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  write_file(tmp / "file", "");
  EXPECT_EQ(create_worktree(repo.path(), tmp / "file" / "sub" / "wt", "b", "main", true),
            tl::unexpected(GitError::io(sys::OsError{ENOTDIR})));

  std::filesystem::create_symlink(tmp / "missing", tmp / "dangling");
  // Only git's refusal, without the line announcing the new branch, so it is what the user reads.
  const auto refusal = [](int status, const std::string& fatal) {
    return GitError::command_failed(status, "fatal: " + fatal);
  };
  struct Case {
    std::string name;
    std::filesystem::path target;
    std::string branch;
    std::string base;
    GitError error;
  };
  const Case cases[] = {
      {"branch exists", tmp / "a" / "wt", "main", "main",
       refusal(255, "a branch named 'main' already exists")},
      {"invalid branch name", tmp / "b", "a b", "main",
       refusal(255, "'a b' is not a valid branch name")},
      {"unknown base", tmp / "c", "c", "nope", refusal(255, "not a valid object name: 'nope'")},
      // A dangling link does not count as existing; git refuses it itself.
      {"dangling link", tmp / "dangling", "d", "main",
       refusal(128, "'" + (tmp / "dangling").string() + "' already exists")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(create_worktree(repo.path(), c.target, c.branch, c.base, true),
              tl::unexpected(c.error));
  }
  // Parent directories made before git refused stay.
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "a"));
}

TEST(CreateWorktree, RefusesNamesThatGitWouldReadAsOptions) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.commit();
  repo.add_branch("old", "HEAD~1");
  const std::string old_tip = repo.git({"rev-parse", "old"});
  struct Case {
    std::string branch;
    std::string base;
    bool new_branch;
    std::string message;
  };
  const Case cases[] = {
      {"--force", "old", true, "'--force' is not a valid branch name"},
      {"-x", "main", true, "'-x' is not a valid branch name"},
      {"feat", "--force", true, "invalid reference: --force"},
      {"--detach", "", false, "'--detach' is not a valid branch name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.branch + " " + c.base);
    EXPECT_EQ(create_worktree(repo.path(), tmp / "wt" / "x", c.branch, c.base, c.new_branch),
              tl::unexpected(GitError::other(c.message)));
  }
  EXPECT_FALSE(std::filesystem::exists(tmp / "wt"));
  EXPECT_EQ(repo.git({"rev-parse", "old"}), old_tip);
}

TEST(RemoveWorktree, NeedsForceForAWorktreeWithChanges) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "wt", "feat");
  write_file(tmp / "wt" / "untracked", "x");
  EXPECT_EQ(remove_worktree(repo.path(), tmp / "wt", false),
            tl::unexpected(GitError::command_failed(
                128, "fatal: '" + (tmp / "wt").string() +
                         "' contains modified or untracked files, use --force to delete it")));
  ASSERT_TRUE(remove_worktree(repo.path(), tmp / "wt", true));
  EXPECT_FALSE(std::filesystem::exists(tmp / "wt"));
  EXPECT_EQ(remove_worktree(repo.path(), tmp / "wt", true),
            tl::unexpected(GitError::command_failed(
                128, "fatal: '" + (tmp / "wt").string() + "' is not a working tree")));
}

TEST(FindWorktree, MatchesTheListedDirectoryAfterResolvingBoth) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "real" / "feat", "feat");
  std::filesystem::create_directory_symlink(tmp / "real", tmp / "link");
  const std::vector<core::WorktreeView> listed = list_worktrees(repo.path()).value();
  struct Case {
    std::filesystem::path path;
    std::optional<std::size_t> index;
  };
  const Case cases[] = {
      {repo.path(), 0},
      {tmp / "link" / "feat" / ".", 1},
      {tmp / "real" / "feat/", 1},
      {tmp / "real", std::nullopt},
      {tmp / "gone", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.string());
    EXPECT_EQ(find_worktree(listed, c.path), c.index);
  }
}

TEST(MainWorktree, IsTheFirstListedWorktreeWhenTheRootIsALinkedOne) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "side", "side");

  test::run_git(tmp.path(), {"clone", "--quiet", "--bare", repo.path().string(), "bare.git"});
  test::run_git(tmp / "bare.git", {"worktree", "add", "--quiet", "-b", "b", "../bare-side"});

  // git lists a separate git directory, not a work tree, as the first record.
  test::run_git(tmp.path(), {"init", "--quiet", "--separate-git-dir", (tmp / "sep.git").string(),
                             (tmp / "sep").string()});
  test::run_git(tmp / "sep", {"commit", "--quiet", "--allow-empty", "-m", "first"});
  test::run_git(tmp / "sep", {"worktree", "add", "--quiet", "-b", "s", "../sep-side"});
  const std::filesystem::path sep_side_main = main_worktree(tmp / "sep-side");
  EXPECT_TRUE(sep_side_main == tmp / "sep" || sep_side_main == tmp / "sep-side") << sep_side_main;

  struct Case {
    std::filesystem::path root;
    std::filesystem::path main;
  };
  const Case cases[] = {
      {repo.path(), repo.path()},
      {tmp / "side", repo.path()},
      {tmp / "bare-side", tmp / "bare-side"},
      {tmp / "sep", tmp / "sep"},
      {tmp.path(), tmp.path()},
      {tmp / "gone", tmp / "gone"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.root.string());
    EXPECT_EQ(main_worktree(c.root), c.main);
  }
}

TEST(RepoToplevel, FindsTheRootOfTheRepositoryAroundADirectory) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  std::filesystem::create_directories(repo.path() / "a" / "b");
  EXPECT_EQ(repo_toplevel(repo.path() / "a" / "b"), repo.path());
  EXPECT_EQ(repo_toplevel(tmp.path()).error().kind(), GitError::Kind::CommandFailed);
  EXPECT_EQ(repo_toplevel(tmp / "gone"),
            tl::unexpected(GitError::not_a_repo((tmp / "gone").string())));
}

TEST(RepoToplevel, KeepsTheBytesOfARootWhoseNameIsNotUtf8) {
  TempDir tmp;
  const std::filesystem::path root = tmp /
                                     "caf\xFF"
                                     "e";
  std::error_code refused;
  std::filesystem::create_directory(root, refused);
  if (refused == std::errc::illegal_byte_sequence) {
    // APFS, macOS's file system, takes only UTF-8 names, so only a Mac skips this.
    GTEST_SKIP() << "the file system refuses names that are not UTF-8";
  }
  // The root keeps its bytes, so it still names the directory.
  GitRepo odd(root);
  EXPECT_EQ(repo_toplevel(odd.path()), odd.path());
}

TEST(RepoToplevel, KeepsWhiteSpaceAndLineFeedsInTheRootsName) {
  struct Case {
    const char* suffix;
    bool sibling;  // a repository beside it under the name without the suffix
  };
  const Case cases[] = {
      {" ", false},     {" ", true},   {"\t", false}, {"\t", true}, {"\u00A0", false},
      {"\u00A0", true}, {"\n", false}, {"\n", true},  {"\r", true}, {"\nx", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "suffix " << testing::PrintToString(c.suffix) << " sibling " << c.sibling);
    TempDir tmp;
    if (c.sibling) {
      GitRepo sibling(tmp / "proj");
    }
    GitRepo repo(tmp / (std::string("proj") + c.suffix));
    std::filesystem::create_directories(repo.path() / "sub");
    EXPECT_EQ(repo_toplevel(repo.path()), repo.path());
    EXPECT_EQ(repo_toplevel(repo.path() / "sub"), repo.path());
  }
}

}  // namespace
}  // namespace orvo::git
