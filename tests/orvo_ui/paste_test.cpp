// Text pasted as one piece into the interface state.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <fmt/format.h>

#include "orvo_ui/app.hpp"
#include "orvo_ui/fixtures.hpp"

namespace orvo::ui {
namespace {

// Line ends, a tab, an escape character, an emoji and a byte that is not UTF-8.
constexpr std::string_view kPasted = "d\ry\n\tz\x1b\xF0\x9F\x98\x80\xFF!";
constexpr std::string_view kTyped = "dyz\xF0\x9F\x98\x80!";

std::string text_of(const std::optional<Modal>& modal) {
  if (!modal) {
    return "none";
  }
  return std::visit(
      [](const auto& d) -> std::string {
        using D = std::decay_t<decltype(d)>;
        if constexpr (std::is_same_v<D, NewWorktree>) {
          return fmt::format("NewWorktree name={} base={} field={}", d.name, d.base,
                             d.active_field);
        } else if constexpr (std::is_same_v<D, QuickBase>) {
          return fmt::format("QuickBase input={}", d.input);
        } else if constexpr (std::is_same_v<D, AddProject>) {
          return fmt::format("AddProject input={}", d.input);
        } else if constexpr (std::is_same_v<D, ConfirmDelete>) {
          return fmt::format("ConfirmDelete {}", d.path.string());
        } else {
          return fmt::format("PickBase filter={} selected={}", d.filter, d.selected);
        }
      },
      *modal);
}

TEST(HandlePaste, TypesIntoTheOpenTextFieldWithoutControlCharacters) {
  const std::string typed(kTyped);
  struct Case {
    const char* what;
    Modal modal;
    std::string after;
  } const cases[] = {
      {"new worktree, name field", NewWorktree{"p", "a", "main", {}, 0},
       "NewWorktree name=a" + typed + " base=main field=0"},
      {"new worktree, base field", NewWorktree{"p", "a", "main", {}, 1},
       "NewWorktree name=a base=main" + typed + " field=1"},
      {"quick base", QuickBase{"p", "origin/", {}}, "QuickBase input=origin/" + typed},
      {"add project", AddProject{"/src/"}, "AddProject input=/src/" + typed},
      {"branch picker: the filter, the cursor back on the first branch",
       PickBase{{"main", "dyz"}, "", {}, 1}, "PickBase filter=" + typed + " selected=0"},
      {"confirmation: nothing", ConfirmDelete{"/wt/feat", {}}, "ConfirmDelete /wt/feat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UiApp app(nullptr);
    app.modal = c.modal;
    app.handle_paste(kPasted);
    EXPECT_EQ(text_of(app.modal), c.after);
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
  EXPECT_EQ(text_of(app.modal), "none");
  EXPECT_EQ(app.selected, 2u);
  EXPECT_EQ(app.toast, "");
  EXPECT_FALSE(app.quit || app.needs_reload || app.foreground_path);

  app.modal = PickBase{{"main", "dev"}, "", {}, 1};
  app.handle_paste("\r\n");
  EXPECT_EQ(text_of(app.modal), "PickBase filter= selected=1") << "nothing typed, nothing moved";
}

}  // namespace
}  // namespace orvo::ui
