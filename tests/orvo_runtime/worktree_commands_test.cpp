#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "orvo_core/log.hpp"
#include "support/runtime_fixture.hpp"
#include "support/stderr_capture.hpp"

namespace orvo::runtime {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::Eq;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Matcher;
using ::testing::StartsWith;

// git's complaint in a failed run's message; the exit code and git's wording around it are git's.
Matcher<const std::string&> git_failed(const std::string& complaint) {
  return AllOf(StartsWith("git failed ("), HasSubstr(complaint));
}

std::vector<std::string> cached_paths(Sandbox& s, const core::ProjectId& id) {
  std::vector<std::string> out;
  for (const core::WorktreeView& wt : s.project(id).worktrees) {
    out.push_back(s.tmp_text(wt.path));
  }
  return out;
}

TEST_F(RuntimeTest, CreateWorktreeMakesTheBranchRefreshesFocusesAndReports) {
  core::log::init("orvo_runtime=info", false);
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  const std::string stored = read_if_exists(state_file());

  test::StderrCapture captured;
  ASSERT_TRUE(rt().handle(CreateWorktree{"feat/x", std::nullopt, id, false}));
  const std::filesystem::path created = tmp / "worktrees" / "proj" / "feat-x";
  EXPECT_THAT(events(), ElementsAre("Progress Creating $TMP/worktrees/proj/feat-x from main\u2026 "
                                    "false",
                                    "ProjectsChanged", "Progress Done true"));
  EXPECT_EQ(repo.git({"-C", created.string(), "symbolic-ref", "--short", "HEAD"}), "feat/x\n");
  const core::ProjectSnapshot entry = project(id);
  ASSERT_EQ(entry.worktrees.size(), 2U);
  EXPECT_EQ(entry.worktrees[1].path, created);
  EXPECT_EQ(entry.worktrees[1].branch, "feat/x");
  const core::FocusState focus = rt().snapshot().focus;
  EXPECT_EQ(focus.path, created);
  EXPECT_EQ(focus.project_id, id);
  EXPECT_EQ(read_if_exists(state_file()), stored);
  EXPECT_THAT(captured.text(),
              HasSubstr(fmt::format(" INFO orvo_runtime::app: worktree created name=feat/x "
                                    "base=main path={}\n",
                                    created.string())));
}

TEST_F(RuntimeTest, CreateWorktreeTakesAGivenBaseOverTheQuickBase) {
  test::GitRepo repo(tmp / "proj");
  repo.add_branch("dev");
  repo.git({"commit", "--quiet", "--allow-empty", "-m", "ahead on main"});
  const core::ProjectId id = add(repo);
  ASSERT_EQ(project(id).project.quick_base, "main");

  ASSERT_TRUE(rt().handle(CreateWorktree{"topic", "dev", id, false}));
  EXPECT_EQ(events().front(), "Progress Creating $TMP/worktrees/proj/topic from dev\u2026 false");
  EXPECT_EQ(repo.git({"rev-parse", "topic"}), repo.git({"rev-parse", "dev"}));
}

TEST_F(RuntimeTest, CreateWorktreeWithStartPiStartsTheAgentAfterDone) {
  install_fake_osascript();
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);

  ASSERT_TRUE(rt().handle(CreateWorktree{"x", std::nullopt, id, true}));
  EXPECT_THAT(events(), ElementsAre("Progress Creating $TMP/worktrees/proj/x from main\u2026 false",
                                    "ProjectsChanged", "Progress Done true", "SessionUpdated",
                                    "ProjectsChanged"));
  const auto calls = osascript_calls(1);
  ASSERT_EQ(calls.size(), 1U);
  EXPECT_THAT(calls[0].at(1), HasSubstr("cd '" + (tmp / "worktrees/proj/x").string() + "'"));
  EXPECT_EQ(project(id).sessions.at(0).worktree_path, tmp / "worktrees" / "proj" / "x");
}

TEST_F(RuntimeTest, CreateWorktreeBehindASymbolicLinkFocusesItAsGitListsIt) {
  install_fake_osascript();
  test::GitRepo repo(tmp / "proj");
  std::filesystem::create_directories(tmp / "elsewhere");
  std::filesystem::create_directory_symlink(tmp / "elsewhere", tmp / "worktrees");
  const core::ProjectId id = add(repo);

  ASSERT_TRUE(rt().handle(CreateWorktree{"feat", std::nullopt, id, true}));
  const std::filesystem::path listed = tmp / "elsewhere" / "proj" / "feat";
  EXPECT_THAT(cached_paths(*this, id), ElementsAre("$TMP/proj", "$TMP/elsewhere/proj/feat"));
  EXPECT_EQ(rt().snapshot().focus.path, listed);
  EXPECT_EQ(project(id).sessions.at(0).worktree_path, listed);
}

TEST(CreateWorktreeFailure, StopsAtTheFailingStepAndLeavesTheEarlierOnes) {
  const std::string creating = "Progress Creating $TMP/worktrees/proj/x from main\u2026 false";
  struct Case {
    const char* name;
    // Prepares the sandbox, whose project "proj" has quick base main, and returns the command.
    std::function<CreateWorktree(Sandbox&, const core::ProjectId&)> set_up;
    std::function<Matcher<const std::string&>(const Sandbox&)> message;
    std::vector<std::string> events;
    bool on_disk;
    // Whether the branch x exists afterwards (made by git or by the set-up).
    bool branch_x;
  };
  const Case cases[] = {
      {"unknown project",
       [](Sandbox&, const core::ProjectId&) {
         return CreateWorktree{"x", std::nullopt, core::ProjectId::create(), false};
       },
       [](const Sandbox&) { return Eq("project not found"); },
       {},
       false,
       false},
      {"no base and no quick base",
       [](Sandbox& s, const core::ProjectId&) {
         const test::GitRepo trunk(s.tmp / "trunk", "trunk");
         const core::ProjectId bare = s.add(trunk);
         (void)s.events();
         return CreateWorktree{"x", std::nullopt, bare, false};
       },
       [](const Sandbox&) { return Eq("quick base not set; pass base or SetQuickBase"); },
       {},
       false,
       false},
      {"directory exists",
       [](Sandbox& s, const core::ProjectId& id) {
         std::filesystem::create_directories(s.tmp / "worktrees" / "proj" / "x");
         return CreateWorktree{"x", std::nullopt, id, false};
       },
       [](const Sandbox& s) {
         return Eq("path already exists: " + (s.tmp / "worktrees" / "proj" / "x").string());
       },
       {creating},
       false,
       false},
      {"parent cannot be made",
       [](Sandbox& s, const core::ProjectId& id) {
         test::write_file(s.tmp / "worktrees", "in the way");
         return CreateWorktree{"x", std::nullopt, id, false};
       },
       [](const Sandbox&) { return Eq("io: Not a directory (os error 20)"); },
       {creating},
       false,
       false},
      {"branch exists",
       [](Sandbox& s, const core::ProjectId& id) {
         test::run_git(s.tmp / "proj", {"branch", "x"});
         return CreateWorktree{"x", std::nullopt, id, false};
       },
       [](const Sandbox&) { return git_failed("a branch named 'x' already exists"); },
       {creating},
       false,
       true},
      {"bad base",
       [](Sandbox&, const core::ProjectId& id) {
         return CreateWorktree{"x", "nope", id, false};
       },
       [](const Sandbox&) { return git_failed("not a valid object name: 'nope'"); },
       {"Progress Creating $TMP/worktrees/proj/x from nope\u2026 false"},
       false,
       false},
      {"listing after creation fails",
       [](Sandbox& s, const core::ProjectId& id) {
         s.fail_worktree_listing();
         return CreateWorktree{"x", std::nullopt, id, true};
       },
       [](const Sandbox&) { return Eq("git failed (1): fatal: listing refused"); },
       {creating},
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    s.install_fake_osascript();
    const test::GitRepo repo(s.tmp / "proj");
    const core::ProjectId id = s.add(repo);
    const CreateWorktree cmd = c.set_up(s, id);
    const auto focus_before = s.rt().snapshot().focus;

    const auto created = s.rt().handle(cmd);
    ASSERT_FALSE(created);
    EXPECT_THAT(created.error().message(), c.message(s));
    EXPECT_EQ(s.events(), c.events);
    EXPECT_EQ(std::filesystem::exists(s.tmp / "worktrees" / "proj" / "x" / ".git"), c.on_disk);
    EXPECT_EQ(repo.git({"branch", "--list", "x"}).empty(), !c.branch_x);
    EXPECT_THAT(cached_paths(s, id), ElementsAre("$TMP/proj"));
    EXPECT_EQ(s.rt().snapshot().focus.path, focus_before.path);
    EXPECT_EQ(s.rt().snapshot().focus.project_id, focus_before.project_id);
    EXPECT_EQ(s.osascript_calls_before_marker(id), 0U);
  }
}

TEST_F(RuntimeTest, FailedCreationKeepsTheParentDirectoriesItMade) {
  test::GitRepo repo(tmp / "proj");
  repo.add_branch("x");
  const core::ProjectId id = add(repo);
  ASSERT_FALSE(rt().handle(CreateWorktree{"x", std::nullopt, id, false}));
  EXPECT_TRUE(std::filesystem::is_directory(tmp / "worktrees" / "proj"));
  EXPECT_FALSE(std::filesystem::exists(tmp / "worktrees" / "proj" / "x"));
}

TEST_F(RuntimeTest, RemoveWorktreeHasGitRemoveItAndRefreshes) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  ASSERT_TRUE(rt().handle(CreateWorktree{"clean", std::nullopt, id, false}));
  ASSERT_TRUE(rt().handle(CreateWorktree{"dirty", std::nullopt, id, false}));
  ASSERT_TRUE(rt().start_pi(id, tmp / "worktrees" / "proj" / "dirty"));
  test::write_file(tmp / "worktrees" / "proj" / "dirty" / "new.txt", "untracked");
  (void)events();

  ASSERT_TRUE(rt().handle(RemoveWorktree{tmp / "worktrees" / "proj" / "clean", id, false}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
  ASSERT_TRUE(rt().handle(RemoveWorktree{tmp / "worktrees" / "proj" / "dirty", id, true}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));

  EXPECT_FALSE(std::filesystem::exists(tmp / "worktrees" / "proj" / "clean"));
  EXPECT_FALSE(std::filesystem::exists(tmp / "worktrees" / "proj" / "dirty"));
  EXPECT_THAT(cached_paths(*this, id), ElementsAre("$TMP/proj"));
  EXPECT_EQ(rt().snapshot().focus.path, tmp / "worktrees" / "proj" / "dirty");
  EXPECT_EQ(project(id).sessions.size(), 1U);
}

TEST(RemoveWorktreeFailure, LeavesTheCacheAsItWas) {
  struct Case {
    const char* name;
    // Prepares the sandbox, whose project has the worktree $TMP/wt, and returns the command.
    std::function<RemoveWorktree(Sandbox&, const core::ProjectId&)> set_up;
    std::function<Matcher<const std::string&>(const Sandbox&, const RemoveWorktree&)> message;
    bool still_on_disk;
  };
  const Case cases[] = {
      {"unknown project",
       [](Sandbox& s, const core::ProjectId&) {
         return RemoveWorktree{s.tmp / "wt", core::ProjectId::create(), true};
       },
       [](const Sandbox&, const RemoveWorktree& cmd) {
         return Eq("project not found: " + cmd.project_id.to_string());
       },
       true},
      {"changes without force",
       [](Sandbox& s, const core::ProjectId& id) {
         test::write_file(s.tmp / "wt" / "new.txt", "untracked");
         return RemoveWorktree{s.tmp / "wt", id, false};
       },
       [](const Sandbox& s, const RemoveWorktree&) {
         return git_failed("'" + (s.tmp / "wt").string() +
                           "' contains modified or untracked files, use --force to delete it");
       },
       true},
      {"listing after removal fails",
       [](Sandbox& s, const core::ProjectId& id) {
         s.fail_worktree_listing();
         return RemoveWorktree{s.tmp / "wt", id, false};
       },
       [](const Sandbox&, const RemoveWorktree&) {
         return Eq("git failed (1): fatal: listing refused");
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sandbox s;
    test::GitRepo repo(s.tmp / "proj");
    repo.add_worktree(s.tmp / "wt", "wt");
    const core::ProjectId id = s.add(repo);
    const RemoveWorktree cmd = c.set_up(s, id);

    const auto removed = s.rt().handle(cmd);
    ASSERT_FALSE(removed);
    EXPECT_THAT(removed.error().message(), c.message(s, cmd));
    EXPECT_THAT(s.events(), IsEmpty());
    EXPECT_EQ(std::filesystem::exists(s.tmp / "wt"), c.still_on_disk);
    EXPECT_THAT(cached_paths(s, id), ElementsAre("$TMP/proj", "$TMP/wt"));
  }
}

}  // namespace
}  // namespace orvo::runtime
