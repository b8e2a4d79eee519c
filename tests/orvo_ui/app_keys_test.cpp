#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "orvo_ui/app.hpp"
#include "support/runtime_fixture.hpp"

namespace orvo::ui {
namespace {

using runtime::Sandbox;
using Kind = KeyCode::Kind;

KeyEvent key(KeyCode code, KeyModifiers modifiers = KeyModifiers::None) {
  return KeyEvent{code, modifiers};
}
KeyEvent ch(char32_t c, KeyModifiers modifiers = KeyModifiers::None) {
  return key(KeyCode::character(c), modifiers);
}

// The name of the project with `id` among the app's projects, "#unknown" when none has it.
std::string project_name(const UiApp& app, const core::ProjectId& id) {
  for (const core::ProjectSnapshot& snap : app.projects) {
    if (snap.project.id == id) {
      return snap.project.name;
    }
  }
  return "#unknown";
}

// The open dialog in one line, its project named, paths with the sandbox written as "$TMP".
std::string describe_modal(const UiApp& app, const Sandbox& sb) {
  if (!app.modal) {
    return "none";
  }
  return std::visit(
      [&](const auto& m) -> std::string {
        using T = std::decay_t<decltype(m)>;
        if constexpr (std::is_same_v<T, NewWorktree>) {
          return fmt::format("NewWorktree {} '{}' '{}' field {} of {}", m.project_name, m.name,
                             m.base, m.active_field, project_name(app, m.project_id));
        } else if constexpr (std::is_same_v<T, QuickBase>) {
          return fmt::format("QuickBase {} '{}' of {}", m.project_name, m.input,
                             project_name(app, m.project_id));
        } else if constexpr (std::is_same_v<T, AddProject>) {
          return fmt::format("AddProject '{}'", m.input);
        } else if constexpr (std::is_same_v<T, ConfirmDelete>) {
          return fmt::format("ConfirmDelete {} of {}", sb.tmp_text(m.path),
                             project_name(app, m.project_id));
        } else {
          return "PickBase";
        }
      },
      *app.modal);
}

std::string describe_outcome(const core::Result<KeyOutcome>& outcome, const Sandbox& sb) {
  if (!outcome) {
    return "error: " + outcome.error().message();
  }
  return std::visit(
      [&](const auto& o) -> std::string {
        using T = std::decay_t<decltype(o)>;
        if constexpr (std::is_same_v<T, Continue>) {
          return "Continue";
        } else if constexpr (std::is_same_v<T, Quit>) {
          return "Quit";
        } else if constexpr (std::is_same_v<T, RunEditor>) {
          return "RunEditor " + sb.tmp_text(o.path);
        } else {
          return "RunForeground " + sb.tmp_text(o.path);
        }
      },
      *outcome);
}

// What a row of a key table does: the keys pressed from row `start`, then the last key's
// outcome and the state left.
struct Case {
  const char* name;
  std::size_t start;
  std::vector<KeyEvent> keys;
  std::string outcome;
  std::size_t selected;
  std::string toast = "";
  std::string modal = "none";
  bool needs_reload = false;
};

// An interface over the sandbox's runtime, filled from a fresh snapshot; the runtime stays the
// sandbox's.
UiApp app_over(Sandbox& sb) {
  UiApp app(std::shared_ptr<runtime::Runtime>(std::shared_ptr<void>(), &sb.rt()));
  app.reload_from_runtime();
  return app;
}

void run_cases(Sandbox& sb, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UiApp app = app_over(sb);
    app.selected = c.start;
    core::Result<KeyOutcome> outcome = Continue{};
    for (const KeyEvent& k : c.keys) {
      outcome = app.handle_key(k);
    }
    EXPECT_EQ(describe_outcome(outcome, sb), c.outcome);
    EXPECT_EQ(app.selected, c.selected);
    EXPECT_EQ(app.toast, c.toast);
    EXPECT_EQ(app.toast_until.has_value(), !c.toast.empty());
    EXPECT_EQ(describe_modal(app, sb), c.modal);
    EXPECT_EQ(app.needs_reload, c.needs_reload);
    EXPECT_EQ(app.quit, c.outcome == "Quit");
  }
}

// A sandbox with two projects. Rows: 0 alpha (quick base main), 1 its main worktree, 2 the
// linked worktree feat, 3 beta (no quick base), 4 its main worktree; beta is focused.
class MainKeysTest : public testing::Test {
 protected:
  MainKeysTest() : alpha_(sb_.tmp / "src" / "alpha"), beta_(sb_.tmp / "src" / "beta", "trunk") {
    alpha_.add_worktree(sb_.tmp / "wt" / "feat", "feat");
    sb_.write_prefs("editor", "pi");
    sb_.install_fake_osascript();
    alpha_id_ = sb_.add(alpha_);
    beta_id_ = sb_.add(beta_);
  }

  Sandbox sb_;
  test::GitRepo alpha_;
  test::GitRepo beta_;
  core::ProjectId alpha_id_;
  core::ProjectId beta_id_;
};

TEST_F(MainKeysTest, KeysOnTwoProjects) {
  const std::string feat = "$TMP/wt/feat";
  run_cases(
      sb_,
      {
          {"k at the top stays", 0, {ch(U'k')}, "Continue", 0},
          {"Up moves up one row", 2, {key(Kind::Up)}, "Continue", 1},
          {"j moves down one row", 0, {ch(U'j')}, "Continue", 1},
          {"Down stops at the last row", 3, {key(Kind::Down), key(Kind::Down)}, "Continue", 4},
          {"modifiers do not matter", 0, {ch(U'j', KeyModifiers::Control)}, "Continue", 1},
          {"upper-case J does nothing", 0, {ch(U'J', KeyModifiers::Shift)}, "Continue", 0},
          {"unbound keys do nothing",
           2,
           {key(Kind::Esc), key(Kind::Tab), key(Kind::BackTab), key(Kind::Backspace),
            key(Kind::Left), key(Kind::Right), key(Kind::Home), key(Kind::End), key(Kind::PageUp),
            key(Kind::PageDown), key(Kind::Delete), key(KeyCode::function(5)), ch(U'x'), ch(U'1'),
            ch(U'Q', KeyModifiers::Shift)},
           "Continue",
           2},
          {"Enter on a header does nothing", 0, {key(Kind::Enter)}, "Continue", 0},
          {"Enter on a worktree selects it",
           2,
           {key(Kind::Enter)},
           "Continue",
           2,
           "selected feat",
           "none",
           true},
          {"a opens Add Project", 4, {ch(U'a')}, "Continue", 4, "", "AddProject ''"},
          {"b on a header", 0, {ch(U'b')}, "Continue", 0, "", "QuickBase alpha 'main' of alpha"},
          {"b without quick base", 4, {ch(U'b')}, "Continue", 4, "", "QuickBase beta '' of beta"},
          {"d on a header does nothing", 3, {ch(U'd')}, "Continue", 3},
          {"d on a main worktree",
           1,
           {ch(U'd')},
           "Continue",
           1,
           "refusing to delete main worktree"},
          {"d on a linked worktree",
           2,
           {ch(U'd')},
           "Continue",
           2,
           "",
           "ConfirmDelete " + feat + " of alpha"},
          {"e on a header", 0, {ch(U'e')}, "Continue", 0, "select a worktree"},
          {"e on a worktree", 2, {ch(U'e')}, "RunEditor $TMP/wt/feat", 2},
          {"n on a header",
           0,
           {ch(U'n')},
           "Continue",
           0,
           "",
           "NewWorktree alpha '' 'main' field 0 of alpha"},
          {"n without quick base",
           4,
           {ch(U'n')},
           "Continue",
           4,
           "",
           "NewWorktree beta '' 'origin/main' field 0 of beta"},
          {"p on a header", 3, {ch(U'p')}, "Continue", 3, "select a worktree first"},
          {"p on a main worktree", 1, {ch(U'p')}, "RunForeground $TMP/src/alpha", 1},
          {"q quits", 2, {ch(U'q')}, "Quit", 2},
          {"Ctrl-q quits", 2, {ch(U'q', KeyModifiers::Control)}, "Quit", 2},
          {"r refreshes", 2, {ch(U'r')}, "Continue", 2, "refreshed", "none", true},
          {"a second message replaces the first",
           0,
           {ch(U'e'), ch(U'p')},
           "Continue",
           0,
           "select a worktree first"},
      });
}

TEST(MainKeysWithoutProjects, OnlyAddRefreshAndQuitDoSomething) {
  Sandbox sb;
  run_cases(sb, {
                    {"j", 0, {ch(U'j'), key(Kind::Down)}, "Continue", 0},
                    {"k", 0, {ch(U'k'), key(Kind::Up)}, "Continue", 0},
                    {"Enter", 0, {key(Kind::Enter)}, "Continue", 0},
                    {"d", 0, {ch(U'd')}, "Continue", 0},
                    {"n", 0, {ch(U'n')}, "Continue", 0, "add a project first (`a`)"},
                    {"b", 0, {ch(U'b')}, "Continue", 0, "no project focused"},
                    {"e", 0, {ch(U'e')}, "Continue", 0, "select a worktree"},
                    {"p", 0, {ch(U'p')}, "Continue", 0, "select a worktree first"},
                    {"a", 0, {ch(U'a')}, "Continue", 0, "", "AddProject ''"},
                    {"r", 0, {ch(U'r')}, "Continue", 0, "refreshed", "none", true},
                    {"q", 0, {ch(U'q')}, "Quit", 0},
                });
}

TEST_F(MainKeysTest, DialogsForAProjectMissingFromTheCopyShowAQuestionMark) {
  UiApp app = app_over(sb_);
  app.projects.clear();
  app.selected = 0;
  ASSERT_TRUE(app.handle_key(ch(U'n')));
  EXPECT_EQ(describe_modal(app, sb_), "NewWorktree ? '' 'origin/main' field 0 of #unknown");
  app.modal.reset();
  ASSERT_TRUE(app.handle_key(ch(U'b')));
  EXPECT_EQ(describe_modal(app, sb_), "QuickBase ? '' of #unknown");
}

TEST_F(MainKeysTest, AnOpenDialogTakesEveryKey) {
  UiApp app = app_over(sb_);
  ASSERT_TRUE(app.handle_key(ch(U'a')));
  for (const KeyEvent& k : {ch(U'q'), ch(U'j'), key(Kind::Down), ch(U'n')}) {
    const core::Result<KeyOutcome> outcome = app.handle_key(k);
    ASSERT_TRUE(outcome);
    EXPECT_TRUE(std::holds_alternative<Continue>(*outcome));
  }
  EXPECT_FALSE(app.quit);
  EXPECT_EQ(app.selected, 4u);
  ASSERT_TRUE(app.modal);
  EXPECT_TRUE(std::holds_alternative<AddProject>(*app.modal));
}

TEST_F(MainKeysTest, EnterFocusesTheWorktreeSoTheReloadKeepsTheCursorThere) {
  UiApp app = app_over(sb_);
  app.selected = 2;
  ASSERT_TRUE(app.handle_key(key(Kind::Enter)));
  EXPECT_EQ(sb_.rt().snapshot().focus.path, sb_.tmp / "wt" / "feat");
  EXPECT_EQ(app.context_line(), "ctx " + (sb_.tmp / "src" / "beta").string());
  app.selected = 0;
  app.reload_from_runtime();
  EXPECT_EQ(app.selected, 2u);
  EXPECT_EQ(app.context_line(), "ctx " + (sb_.tmp / "wt" / "feat").string());
}

TEST_F(MainKeysTest, MovingTheCursorTellsTheRuntimeNothing) {
  UiApp app = app_over(sb_);
  for (const KeyEvent& k : {ch(U'k'), ch(U'k'), key(Kind::Up)}) {
    ASSERT_TRUE(app.handle_key(k));
  }
  EXPECT_EQ(app.selected, 1u);
  EXPECT_EQ(sb_.rt().snapshot().focus.path, beta_.path());
  EXPECT_TRUE(sb_.events().empty());
}

TEST_F(MainKeysTest, AgentKeyFocusesStartsATerminalWindowAndRunsInTheForeground) {
  UiApp app = app_over(sb_);
  app.selected = 2;
  const core::Result<KeyOutcome> outcome = app.handle_key(ch(U'p'));
  EXPECT_EQ(describe_outcome(outcome, sb_), "RunForeground $TMP/wt/feat");
  EXPECT_EQ(sb_.rt().snapshot().focus.path, sb_.tmp / "wt" / "feat");
  const auto calls = sb_.osascript_calls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (std::vector<std::string>{
                          "-e", "tell application \"Terminal\" to do script \"cd '" +
                                    (sb_.tmp / "wt" / "feat").string() + "' && 'pi'\""}));
  EXPECT_TRUE(app.toast.empty());
  // The agent shell marks the reload when it returns, not the key.
  EXPECT_FALSE(app.needs_reload);
}

TEST_F(MainKeysTest, AgentKeyOnAProjectNoLongerStoredStillRunsInTheForeground) {
  UiApp app = app_over(sb_);
  ASSERT_TRUE(sb_.rt().handle(runtime::RemoveProject{alpha_id_}));
  app.selected = 2;
  const core::Result<KeyOutcome> outcome = app.handle_key(ch(U'p'));
  EXPECT_EQ(describe_outcome(outcome, sb_), "RunForeground $TMP/wt/feat");
  EXPECT_TRUE(app.toast.empty());
  EXPECT_EQ(sb_.osascript_calls_before_marker(beta_id_), 0u);
}

TEST_F(MainKeysTest, RefreshListsNewWorktreesAndPutsTheCursorBackOnTheFocus) {
  UiApp app = app_over(sb_);
  alpha_.add_worktree(sb_.tmp / "wt" / "late", "late");
  app.selected = 0;
  ASSERT_TRUE(app.handle_key(ch(U'r')));
  ASSERT_EQ(app.flat.size(), 5u);
  app.reload_from_runtime();
  ASSERT_EQ(app.flat.size(), 6u);
  EXPECT_EQ(std::get<WorktreeRow>(app.flat[3]).path, sb_.tmp / "wt" / "late");
  EXPECT_EQ(app.selected, 5u);
}

TEST_F(MainKeysTest, RefreshOverAStateFileThatCannotBeReadSaysSoAndStillRefreshes) {
  UiApp app = app_over(sb_);
  alpha_.add_worktree(sb_.tmp / "wt" / "late", "late");
  const std::string broken = "{ broken";
  test::write_file(sb_.state_file(), broken);
  app.selected = 0;

  const core::Result<KeyOutcome> outcome = app.handle_key(ch(U'r'));
  EXPECT_EQ(describe_outcome(outcome, sb_), "Continue");
  EXPECT_EQ(app.toast, "refresh failed: json: key must be a string at line 1 column 3");
  EXPECT_TRUE(app.needs_reload);
  app.reload_from_runtime();
  ASSERT_EQ(app.flat.size(), 6u) << "what was read last stays, with the new worktree";
  EXPECT_EQ(std::get<WorktreeRow>(app.flat[3]).path, sb_.tmp / "wt" / "late");
  EXPECT_EQ(test::read_file(sb_.state_file()), broken);
}

TEST(MainViewHelp, NamesTheBindingsInOrder) {
  EXPECT_EQ(main_view_help(),
            "j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · "
            "d del-wt · r refresh · q quit");
}

}  // namespace
}  // namespace orvo::ui
