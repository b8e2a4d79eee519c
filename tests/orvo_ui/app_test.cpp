#include "orvo_ui/app.hpp"

#include <gtest/gtest.h>

#include "orvo_runtime/app.hpp"
#include "orvo_store/store.hpp"
#include "orvo_ui/fixtures.hpp"
#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::ui {
namespace {

using test::project;
using test::project_id;
using test::worktree;

// Two projects: alpha with three worktrees (rows 0-3), beta without cached worktrees (row 4),
// gamma with one (rows 5-6).
std::vector<core::ProjectSnapshot> three_projects() {
  return {
      project(1, "alpha", "origin/main",
              {worktree("/w/alpha", "main", true), worktree("/w/alpha-feat", "feat/x"),
               worktree("/w/alpha-det", std::nullopt)}),
      project(2, "beta", std::nullopt),
      project(3, "gamma", "dev", {worktree("/w/gamma", "trunk", true)}),
  };
}

TEST(UiAppNew, StartsEmpty) {
  const UiApp app(nullptr);
  EXPECT_TRUE(app.projects.empty());
  EXPECT_TRUE(app.flat.empty());
  EXPECT_TRUE(app.toast.empty());
  EXPECT_FALSE(app.focus.path || app.focus.project_id);
  EXPECT_FALSE(app.pending || app.foreground_path || app.modal || app.toast_until);
  EXPECT_EQ(app.selected, 0u);
  EXPECT_FALSE(app.quit || app.needs_reload);
}

TEST(Reload, RowsAreGroupedByProjectInStoreOrder) {
  UiApp app(nullptr);
  app.reload_from_snapshot(core::RuntimeSnapshot{.projects = three_projects(), .focus = {}});
  ASSERT_EQ(app.flat.size(), 7u);
  const auto& header = std::get<ProjectRow>(app.flat[0]);
  EXPECT_EQ(header.name, "alpha");
  EXPECT_EQ(header.quick_base, "origin/main");
  EXPECT_EQ(header.project_id, project_id(1));
  const auto& feat = std::get<WorktreeRow>(app.flat[2]);
  EXPECT_EQ(feat.path, "/w/alpha-feat");
  EXPECT_EQ(feat.branch, "feat/x");
  EXPECT_FALSE(feat.is_main);
  EXPECT_EQ(feat.project_id, project_id(1));
  EXPECT_TRUE(std::get<WorktreeRow>(app.flat[1]).is_main);
  EXPECT_EQ(std::get<WorktreeRow>(app.flat[3]).branch, std::nullopt);
  EXPECT_EQ(std::get<ProjectRow>(app.flat[4]).quick_base, std::nullopt);
  EXPECT_EQ(std::get<ProjectRow>(app.flat[5]).name, "gamma");
  EXPECT_EQ(std::get<WorktreeRow>(app.flat[6]).project_id, project_id(3));
  EXPECT_EQ(app.projects.size(), 3u);
}

TEST(Reload, CursorFollowsTheFocusNotItsPreviousPlace) {
  struct Case {
    const char* name;
    core::FocusState focus;
    std::size_t selected;
  };
  const Case cases[] = {
      {"nothing focused", {}, 0},
      {"focused worktree", {.path = "/w/alpha-det", .project_id = project_id(1)}, 3},
      {"focused worktree with trailing separator", {.path = "/w//gamma/", .project_id = {}}, 6},
      {"removed worktree falls back to its project",
       {.path = "/w/gone", .project_id = project_id(3)},
       5},
      {"project without worktree path", {.path = {}, .project_id = project_id(2)}, 4},
      {"unknown project", {.path = {}, .project_id = project_id(9)}, 0},
      {"unknown path and no project", {.path = "/w/gone", .project_id = {}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UiApp app(nullptr);
    app.selected = 5;
    app.reload_from_snapshot(core::RuntimeSnapshot{.projects = three_projects(), .focus = c.focus});
    EXPECT_EQ(app.selected, c.selected);
    EXPECT_EQ(app.focus.path, c.focus.path);
    EXPECT_EQ(app.focus.project_id, c.focus.project_id);
  }
}

TEST(Reload, EmptySnapshotGivesNoRowsAndCursorZero) {
  UiApp app(nullptr);
  app.reload_from_snapshot(core::RuntimeSnapshot{.projects = three_projects(), .focus = {}});
  app.selected = 6;
  app.reload_from_snapshot(
      core::RuntimeSnapshot{.projects = {}, .focus = {.path = "/w/alpha", .project_id = {}}});
  EXPECT_TRUE(app.flat.empty());
  EXPECT_TRUE(app.projects.empty());
  EXPECT_EQ(app.selected, 0u);
  EXPECT_EQ(app.current_worktree(), std::nullopt);
}

TEST(Reload, LeavesDialogAndMessageAlone) {
  UiApp app(nullptr);
  app.modal = AddProject{"/x"};
  app.pending = PendingNew{.project_name = "alpha"};
  app.show_toast("kept");
  app.reload_from_snapshot(core::RuntimeSnapshot{.projects = three_projects(), .focus = {}});
  EXPECT_TRUE(app.modal && std::holds_alternative<AddProject>(*app.modal));
  EXPECT_TRUE(app.pending);
  EXPECT_EQ(app.toast, "kept");
  EXPECT_TRUE(app.toast_until);
}

TEST(Reload, FromARealRuntimeFollowsItsFocus) {
  const orvo::test::TempDir tmp;
  const orvo::test::ScopedEnv home("HOME", (tmp / "home").string());
  orvo::test::GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "wt" / "x", "feat/x");
  auto store = store::Store::open_at(tmp / "state" / "state.json");
  ASSERT_TRUE(store) << store.error().message();
  auto rt = std::make_shared<runtime::Runtime>(std::move(*store));
  UiApp app(rt);
  app.reload_from_runtime();
  EXPECT_TRUE(app.flat.empty());

  ASSERT_TRUE(rt->handle(runtime::AddProject{repo.path()}));
  app.reload_from_runtime();
  ASSERT_EQ(app.flat.size(), 3u);
  EXPECT_EQ(std::get<ProjectRow>(app.flat[0]).name, "proj");
  EXPECT_EQ(app.selected, 1u) << "added project focuses its main worktree";
  EXPECT_EQ(app.context_line(), "ctx " + repo.path().string());

  const core::ProjectId id = std::get<ProjectRow>(app.flat[0]).project_id;
  ASSERT_TRUE(rt->handle(runtime::Focus{tmp / "wt" / "x", id}));
  app.selected = 0;
  app.reload_from_runtime();
  EXPECT_EQ(app.selected, 2u);
  EXPECT_EQ(app.current_worktree()->path, tmp / "wt" / "x");
}

TEST(Reload, AddingALinkedWorktreeShowsItsRepositoryWithTheCursorOnThatWorktree) {
  const orvo::test::TempDir tmp;
  const orvo::test::ScopedEnv home("HOME", (tmp / "home").string());
  orvo::test::GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "side", "side");
  auto store = store::Store::open_at(tmp / "state" / "state.json");
  ASSERT_TRUE(store) << store.error().message();
  auto rt = std::make_shared<runtime::Runtime>(std::move(*store));
  UiApp app(rt);

  ASSERT_TRUE(rt->handle(runtime::AddProject{tmp / "side"}));
  app.reload_from_runtime();
  ASSERT_EQ(app.flat.size(), 3u);
  EXPECT_EQ(std::get<ProjectRow>(app.flat[0]).name, "proj");
  EXPECT_TRUE(std::get<WorktreeRow>(app.flat[1]).is_main);
  EXPECT_EQ(app.selected, 2u);
  EXPECT_EQ(app.current_worktree()->path, tmp / "side");
  EXPECT_FALSE(app.current_worktree()->is_main);
  EXPECT_EQ(app.context_line(), "ctx " + (tmp / "side").string());
}

TEST(CurrentWorktree, OnlyOnAWorktreeRowInRange) {
  UiApp app(nullptr);
  app.reload_from_snapshot(core::RuntimeSnapshot{.projects = three_projects(), .focus = {}});
  app.selected = 1;
  const std::optional<CurrentWorktree> main = app.current_worktree();
  ASSERT_TRUE(main);
  EXPECT_EQ(main->path, "/w/alpha");
  EXPECT_TRUE(main->is_main);
  EXPECT_EQ(main->project_id, project_id(1));
  app.selected = 0;
  EXPECT_EQ(app.current_worktree(), std::nullopt) << "project header row";
  app.selected = 7;
  EXPECT_EQ(app.current_worktree(), std::nullopt) << "beyond the last row";
}

TEST(Toast, EachMessageReplacesTheLastAndLastsFiveSecondsFromItsOwnCall) {
  using std::chrono::seconds;
  const auto t0 = std::chrono::steady_clock::time_point{} + seconds(100);
  UiApp app(nullptr);
  app.show_toast("first", t0);
  app.show_toast("second", t0 + seconds(3));
  EXPECT_EQ(app.toast, "second");
  EXPECT_EQ(app.toast_until, t0 + seconds(8));
  app.expire_toast(t0 + seconds(8));
  EXPECT_EQ(app.toast, "second") << "kept until strictly after the deadline";
  app.expire_toast(t0 + seconds(8) + std::chrono::nanoseconds(1));
  EXPECT_TRUE(app.toast.empty());
  EXPECT_EQ(app.toast_until, std::nullopt);

  const auto before = std::chrono::steady_clock::now();
  app.show_toast("now");
  EXPECT_GE(*app.toast_until, before + kToastDuration);
  EXPECT_LE(*app.toast_until, std::chrono::steady_clock::now() + kToastDuration);
}

TEST(ContextLine, FromTheFocusOfTheLastReload) {
  struct Case {
    core::FocusState focus;
    std::string line;
  };
  const Case cases[] = {
      {{}, "ctx (none) — press `a` to add a repo"},
      {{.path = "/w/alpha-feat", .project_id = project_id(1)}, "ctx /w/alpha-feat"},
      {{.path = "/w/\xFF", .project_id = {}}, "ctx /w/\uFFFD"},
      {{.path = {}, .project_id = project_id(3)}, "ctx project:gamma"},
      {{.path = {}, .project_id = project_id(9)}, "ctx project:?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    UiApp app(nullptr);
    app.reload_from_snapshot(core::RuntimeSnapshot{.projects = three_projects(), .focus = c.focus});
    EXPECT_EQ(app.context_line(), c.line);
  }
}

TEST(ShortLabel, LastNameElseWholePathElseQuestionMark) {
  struct Case {
    std::string path;
    std::string label;
  };
  const Case cases[] = {
      {"/w/feat", "feat"}, {"/w/feat/", "feat"}, {"/", "/"}, {"/w/..", "/w/.."}, {"", ""},
      {"/w/\xFF", "?"},    {"/\xFF/a", "a"},     {".", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(short_label(c.path), c.label);
  }
}

TEST(PickBaseMatching, SubstringCaseSensitiveInOrder) {
  PickBase picker{.branches = {"main", "feat/a", "Feat/b", "origin/feat", "dev"}};
  EXPECT_EQ(picker.matching().size(), 5u);
  picker.filter = "feat";
  EXPECT_EQ(picker.matching(), (std::vector<std::string_view>{"feat/a", "origin/feat"}));
  picker.filter = "zzz";
  EXPECT_TRUE(picker.matching().empty());
}

}  // namespace
}  // namespace orvo::ui
