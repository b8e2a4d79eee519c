// Text pasted as one piece into the interface state.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "orvo_ui/app.hpp"
#include "orvo_ui/fixtures.hpp"

namespace orvo::ui {
namespace {

// Line ends, a tab, an escape character, an emoji and a byte that is not UTF-8.
constexpr std::string_view kPasted = "d\ry\n\tz\x1b\xF0\x9F\x98\x80\xFF!";
constexpr std::string_view kTyped = "dyz\xF0\x9F\x98\x80!";

TEST(HandlePaste, TypesIntoTheOpenTextFieldWithoutControlCharacters) {
  const std::string typed(kTyped);
  struct Case {
    const char* what;
    Modal modal;
    std::string after;
  } const cases[] = {
      {"new worktree, name field", NewWorktree{"p", "a", "main", {}, 0},
       "NewWorktree p name=a" + typed + " base=main field=0"},
      {"new worktree, base field", NewWorktree{"p", "a", "main", {}, 1},
       "NewWorktree p name=a base=main" + typed + " field=1"},
      {"quick base", QuickBase{"p", "origin/", {}}, "QuickBase p input=origin/" + typed},
      {"add project", AddProject{"/src/"}, "AddProject input=/src/" + typed},
      {"branch picker: the filter, the cursor back on the first branch",
       PickBase{{"main", "dyz"}, "", {}, 1}, "PickBase filter=" + typed + " selected=0 visible="},
      {"confirmation: nothing", ConfirmDelete{"/wt/feat", {}}, "ConfirmDelete /wt/feat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UiApp app(nullptr);
    app.modal = c.modal;
    app.handle_paste(kPasted);
    EXPECT_EQ(test::modal_text(app.modal), c.after);
  }
}

TEST(HandlePaste, DoesNothingInTheMainViewOrWhenNothingIsTypable) {
  UiApp app(nullptr);
  app.reload_from_snapshot(core::RuntimeSnapshot{
      .projects = {test::project(
          1, "proj", "main",
          {test::worktree("/w/proj", "main", true), test::worktree("/w/feat", "feat")})},
      .focus = {}});
  app.selected = 2;
  app.handle_paste("dy\r");
  EXPECT_EQ(test::modal_text(app.modal), "none");
  EXPECT_EQ(app.selected, 2u);
  EXPECT_EQ(app.toast, "");
  EXPECT_FALSE(app.quit || app.needs_reload || app.foreground_path);

  app.modal = PickBase{{"main", "dev"}, "", {}, 1};
  app.handle_paste("\r\n");
  EXPECT_EQ(test::modal_text(app.modal), "PickBase filter= selected=1 visible=main|dev")
      << "nothing typed, nothing moved";
}

}  // namespace
}  // namespace orvo::ui
