#include "orvo_ui/model.hpp"

#include <gtest/gtest.h>

#include "orvo_ui/fixtures.hpp"

namespace orvo::ui {
namespace {

using test::project;
using test::worktree;

TEST(RenderText, NoProjectsIsTitleRuleAndHint) {
  EXPECT_EQ(SidebarModel{}.render_text(),
            "Orvo — Orvo\n"
            "========================\n"
            "(no projects — press `a` to add)\n");
}

TEST(RenderText, ProjectsWithWorktreesBranchesMainSuffixAndFocusMark) {
  SidebarModel model;
  model.projects = {
      project(1, "alpha", "origin/main",
              {worktree("/w/alpha", "main", true), worktree("/w/alpha-feat", "feat/x"),
               worktree("/w/alpha-det", std::nullopt)}),
      project(2, "beta", std::nullopt),
      project(3, "gamma", "dev", {worktree("/w/gamma", "trunk", true)}),
  };
  core::TermSession session;
  session.worktree_path = "/w/alpha";
  model.projects[0].sessions.push_back(session);
  model.focus_path = "/w//alpha-feat/";
  EXPECT_EQ(model.render_text(),
            "Orvo — Orvo\n"
            "========================\n"
            "▼ alpha  quick: origin/main\n"
            "    alpha  [main] (main)\n"
            "  → alpha-feat  [feat/x]\n"
            "    alpha-det  [detached]\n"
            "▼ beta  quick: (no quick base)\n"
            "▼ gamma  quick: dev\n"
            "    gamma  [trunk] (main)\n");
}

TEST(RenderText, NoFocusMarksNothingAndTextsAreWrittenAsTheyAre) {
  SidebarModel model = SidebarModel::from_snapshot(core::RuntimeSnapshot{
      .projects = {project(1, "a b", "{}", {worktree("/w/x", "b%s[]")})},
      .focus = {.path = std::nullopt, .project_id = test::project_id(1)},
  });
  EXPECT_EQ(model.render_text(),
            "Orvo — Orvo\n"
            "========================\n"
            "▼ a b  quick: {}\n"
            "    x  [b%s[]]\n");
}

TEST(WorktreeLabel, LastNameOrQuestionMark) {
  struct Case {
    std::string path;
    std::string label;
  };
  const Case cases[] = {
      {"/w/feat", "feat"},
      {"/w/feat/", "feat"},
      {"/w/feat/.", "feat"},
      {"/w/feat//", "feat"},
      {"feat", "feat"},
      {"/", "?"},
      {"", "?"},
      {".", "?"},
      {"/w/..", "?"},
      {"..", "?"},
      {"/w/\xFF", "?"},
      {"/w/日本", "日本"},
      {"./", "?"},
      {"/w/.x", ".x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(worktree_label(c.path), c.label);
  }
}

}  // namespace
}  // namespace orvo::ui
