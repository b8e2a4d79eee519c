#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "orvo_core/log.hpp"
#include "orvo_store/store.hpp"
#include "support/runtime_fixture.hpp"
#include "support/stderr_capture.hpp"

namespace orvo::runtime {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

// Worktree paths and branches of a cached listing, in order, "main" marking the main one.
std::vector<std::string> listing(const Sandbox& t, const core::ProjectSnapshot& entry) {
  std::vector<std::string> out;
  for (const core::WorktreeView& wt : entry.worktrees) {
    out.push_back(fmt::format("{} {}{}", t.tmp_text(wt.path), wt.branch.value_or("(detached)"),
                              wt.is_main ? " main" : ""));
  }
  return out;
}

TEST_F(RuntimeTest, FreshRuntimeHasNoProjectsAndNoFocus) {
  const core::RuntimeSnapshot snap = rt().snapshot();
  EXPECT_TRUE(snap.projects.empty());
  EXPECT_FALSE(snap.focus.path.has_value());
  EXPECT_FALSE(snap.focus.project_id.has_value());
}

TEST_F(RuntimeTest, SnapshotListsStoredProjectsWithTheirOwnSessionsInOrder) {
  test::GitRepo first(tmp / "first");
  test::GitRepo second(tmp / "second");
  const core::ProjectId a = add(first);
  const core::ProjectId b = add(second);
  ASSERT_TRUE(rt().start_pi(a, first.path() / "one"));
  ASSERT_TRUE(rt().start_pi(b, second.path()));
  ASSERT_TRUE(rt().start_pi(a, first.path() / "two"));

  const core::RuntimeSnapshot snap = rt().snapshot();
  ASSERT_EQ(snap.projects.size(), 2U);
  EXPECT_EQ(snap.projects[0].project.id, a);
  EXPECT_EQ(snap.projects[1].project.id, b);
  ASSERT_EQ(snap.projects[0].sessions.size(), 2U);
  EXPECT_EQ(snap.projects[0].sessions[0].worktree_path, first.path() / "one");
  EXPECT_EQ(snap.projects[0].sessions[1].worktree_path, first.path() / "two");
  ASSERT_EQ(snap.projects[1].sessions.size(), 1U);
  EXPECT_EQ(snap.projects[1].sessions[0].project_id, b);
  EXPECT_THAT(listing(*this, snap.projects[1]), ElementsAre("$TMP/second main main"));

  // A removed project's sessions stay recorded but belong to no snapshot entry.
  ASSERT_TRUE(rt().handle(RemoveProject{a}));
  const core::RuntimeSnapshot after = rt().snapshot();
  ASSERT_EQ(after.projects.size(), 1U);
  EXPECT_EQ(after.projects[0].sessions.size(), 1U);
}

TEST_F(RuntimeTest, SnapshotIsACopyThatLaterChangesDoNotReach) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  core::RuntimeSnapshot taken = rt().snapshot();
  taken.projects[0].project.name = "changed";
  taken.projects[0].worktrees.clear();
  taken.focus.path.reset();

  const core::RuntimeSnapshot again = rt().snapshot();
  EXPECT_EQ(again.projects[0].project.name, "proj");
  EXPECT_EQ(again.projects[0].worktrees.size(), 1U);
  EXPECT_EQ(again.focus.path, repo.path());

  ASSERT_TRUE(rt().handle(Focus{tmp / "elsewhere", id}));
  EXPECT_EQ(again.focus.path, repo.path());
}

TEST_F(RuntimeTest, ProjectMainAnswersFromTheStoreAlone) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  std::filesystem::remove_all(repo.path());
  EXPECT_EQ(rt().project_main(id).value(), repo.path());

  const core::ProjectId unknown = core::ProjectId::create();
  const auto missing = rt().project_main(unknown);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message(), "project not found: " + unknown.to_string());
}

TEST_F(RuntimeTest, ChangesWithoutAReceiverActTheSameAndALaterReceiverGetsFreshSnapshots) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  auto store = store::Store::open_default();
  ASSERT_TRUE(store);
  Runtime quiet(std::move(*store));
  quiet.bootstrap();
  ASSERT_TRUE(quiet.handle(Focus{tmp / "wt", id}));
  { EventReceiver gone = quiet.subscribe(); }
  quiet.emit_projects_changed();

  const core::RuntimeSnapshot snap = quiet.snapshot();
  ASSERT_EQ(snap.projects.size(), 1U);
  EXPECT_EQ(snap.projects[0].worktrees.size(), 1U);
  EXPECT_EQ(snap.focus.path, tmp / "wt");

  EventReceiver late = quiet.subscribe();
  quiet.emit_projects_changed();
  const std::vector<core::Event> sent = late.drain();
  ASSERT_EQ(sent.size(), 1U);
  const core::RuntimeSnapshot& carried = std::get<core::ProjectsChanged>(sent[0]).snapshot;
  ASSERT_EQ(carried.projects.size(), 1U);
  EXPECT_EQ(carried.projects[0].worktrees.size(), 1U);
  EXPECT_EQ(carried.focus.path, tmp / "wt");
  EXPECT_EQ(carried.focus.project_id, id);
}

TEST_F(RuntimeTest, PrefsPiBinIsTheStoredAgentProgram) {
  write_prefs("vi", "my-agent");
  EXPECT_EQ(rt().prefs_pi_bin(), "my-agent");
}

// The worktree paths of git's own porcelain listing, in git's order.
std::vector<std::string> gits_order(const Sandbox& s, const test::GitRepo& repo) {
  std::vector<std::string> out;
  std::istringstream lines(repo.git({"worktree", "list", "--porcelain"}));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("worktree ")) {
      out.push_back(s.tmp_text(line.substr(9)));
    }
  }
  return out;
}

std::vector<std::string> cached_paths(Sandbox& s, const core::ProjectId& id) {
  std::vector<std::string> out;
  for (const core::WorktreeView& wt : s.project(id).worktrees) {
    out.push_back(s.tmp_text(wt.path));
  }
  return out;
}

TEST_F(RuntimeTest, RefreshReplacesTheCacheEntryWithGitsListingInItsOrder) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  repo.add_worktree(tmp / "wt" / "zeta", "zeta");
  repo.add_detached_worktree(tmp / "wt" / "alpha");
  repo.add_worktree(tmp / "wt" / "mid", "mid");
  EXPECT_THAT(listing(*this, project(id)), ElementsAre("$TMP/proj main main"));

  ASSERT_TRUE(rt().handle(Refresh{id}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
  EXPECT_EQ(cached_paths(*this, id), gits_order(*this, repo));
  EXPECT_THAT(listing(*this, project(id)),
              UnorderedElementsAre("$TMP/proj main main", "$TMP/wt/zeta zeta",
                                   "$TMP/wt/alpha (detached)", "$TMP/wt/mid mid"));

  repo.git({"worktree", "remove", (tmp / "wt" / "zeta").string()});
  ASSERT_TRUE(rt().refresh_project(id));
  EXPECT_EQ(cached_paths(*this, id), gits_order(*this, repo));
  EXPECT_EQ(project(id).worktrees.size(), 3U);
  EXPECT_EQ(rt().snapshot().projects.size(), 1U);
}

TEST_F(RuntimeTest, RefreshInnerFillsTheCacheWithoutBroadcasting) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  repo.add_worktree(tmp / "wt" / "x", "x");
  ASSERT_TRUE(rt().refresh_project_inner(id, repo.path()));
  EXPECT_TRUE(events().empty());
  EXPECT_EQ(project(id).worktrees.size(), 2U);
}

TEST_F(RuntimeTest, FailedRefreshKeepsThePreviousListAndDoesNotBroadcast) {
  test::GitRepo repo(tmp / "proj");
  const core::ProjectId id = add(repo);
  const core::ProjectId unknown = core::ProjectId::create();
  std::filesystem::remove_all(repo.path());
  struct Case {
    const char* name;
    core::ProjectId id;
    std::string message;
  };
  const Case cases[] = {
      {"unknown project", unknown, "project not found: " + unknown.to_string()},
      {"repository gone", id, "not a git repository: " + repo.path().string()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto refreshed = rt().handle(Refresh{c.id});
    ASSERT_FALSE(refreshed);
    EXPECT_EQ(refreshed.error().message(), c.message);
    EXPECT_TRUE(events().empty());
    EXPECT_THAT(listing(*this, project(id)), ElementsAre("$TMP/proj main main"));
  }
}

TEST_F(RuntimeTest, BootstrapRefreshesEachProjectLogsFailuresAndBroadcastsOnce) {
  core::log::init("orvo_runtime=info", false);
  test::GitRepo first(tmp / "first");
  test::GitRepo gone(tmp / "gone");
  test::GitRepo last(tmp / "last");
  const core::ProjectId a = add(first);
  const core::ProjectId b = add(gone);
  const core::ProjectId c = add(last);
  first.add_worktree(tmp / "wt" / "a", "a");
  last.add_worktree(tmp / "wt" / "c", "c");
  std::filesystem::remove_all(gone.path());

  test::StderrCapture captured;
  ASSERT_TRUE(rt().handle(Bootstrap{}));
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
  EXPECT_EQ(project(a).worktrees.size(), 2U);
  EXPECT_THAT(listing(*this, project(b)), ElementsAre("$TMP/gone main main"));
  EXPECT_EQ(project(c).worktrees.size(), 2U);
  EXPECT_THAT(captured.text(),
              HasSubstr(fmt::format(" WARN orvo_runtime::app: refresh on bootstrap failed id={} "
                                    "error=not a git repository: {}\n",
                                    b.to_string(), gone.path().string())));
}

TEST_F(RuntimeTest, BootstrapBroadcastsOnceWhenNothingIsStoredOrEveryListingFails) {
  rt().bootstrap();
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));

  test::GitRepo repo(tmp / "proj");
  add(repo);
  std::filesystem::remove(bin / "git");
  rt().bootstrap();
  EXPECT_THAT(events(), ElementsAre("ProjectsChanged"));
}

TEST_F(RuntimeTest, ProjectsAnotherRunAddedShowAtTheNextChangeAndWithWorktreesAfterRefresh) {
  test::GitRepo mine(tmp / "mine");
  test::GitRepo theirs(tmp / "theirs");
  const core::ProjectId id = add(mine);
  const auto add_elsewhere = [&](const test::GitRepo& repo) {
    auto other = store::Store::open_default();
    ASSERT_TRUE(other);
    core::Project project{core::ProjectId::create(),
                          repo.path().filename().string(),
                          repo.path(),
                          "../worktrees/{repo}",
                          std::nullopt,
                          std::nullopt,
                          core::utc_now()};
    ASSERT_TRUE(other->add_project(std::move(project)));
  };
  const auto shown = [&] {
    std::vector<std::string> out;
    for (const core::ProjectSnapshot& p : rt().snapshot().projects) {
      out.push_back(fmt::format("{} {}", p.project.name, p.worktrees.size()));
    }
    return out;
  };

  add_elsewhere(theirs);
  EXPECT_THAT(shown(), ElementsAre("mine 1"));
  ASSERT_TRUE(rt().handle(SetQuickBase{id, "dev"}));
  EXPECT_THAT(shown(), ElementsAre("mine 1", "theirs 0"));
  ASSERT_TRUE(rt().handle(Bootstrap{}));
  EXPECT_THAT(shown(), ElementsAre("mine 1", "theirs 1"));

  test::GitRepo third(tmp / "third");
  add_elsewhere(third);
  ASSERT_TRUE(rt().reload_store());
  EXPECT_THAT(shown(), ElementsAre("mine 1", "theirs 1", "third 0"));
  ASSERT_TRUE(rt().handle(Bootstrap{}));
  EXPECT_THAT(shown(), ElementsAre("mine 1", "theirs 1", "third 1"));
}

TEST_F(RuntimeTest, ReloadingAStateFileDamagedMeanwhileFailsAndKeepsWhatWasRead) {
  test::GitRepo repo(tmp / "proj");
  add(repo);
  test::write_file(state_file(), "{");
  const auto reloaded = rt().reload_store();
  ASSERT_FALSE(reloaded);
  EXPECT_EQ(reloaded.error().message(), "json: EOF while parsing an object at line 1 column 1");
  EXPECT_EQ(rt().snapshot().projects.size(), 1U);
  EXPECT_EQ(read_if_exists(state_file()), "{");
}

TEST_F(RuntimeTest, ListBranchesGivesTheMainRepositorysBranchesSorted) {
  test::GitRepo repo(tmp / "proj");
  repo.add_branch("zed");
  repo.add_branch("Alpha");
  repo.add_origin(tmp / "origin.git", "main");
  const core::ProjectId id = add(repo);
  EXPECT_THAT(rt().list_branches(id).value(),
              ElementsAre("Alpha", "main", "origin/Alpha", "origin/main", "origin/zed", "zed"));

  const core::ProjectId unknown = core::ProjectId::create();
  EXPECT_EQ(rt().list_branches(unknown).error().message(),
            "project not found: " + unknown.to_string());
  std::filesystem::remove_all(repo.path());
  EXPECT_EQ(rt().list_branches(id).error().message(),
            "not a git repository: " + repo.path().string());
}

}  // namespace
}  // namespace orvo::runtime
