#include "orvo_ui/draw.hpp"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "orvo_ui/fixtures.hpp"

namespace orvo::ui {
namespace {

using test::pad;
using test::project;
using test::project_id;
using test::repeat;
using test::rows;
using test::worktree;

const Color kHighlightBg = Color::rgb(40, 44, 52);
const std::string kMainHelp =
    "j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d del-wt · "
    "r refresh · q quit";

// alpha with three worktrees (rows 0-3), beta without cached worktrees (row 4), gamma with one
// (rows 5-6); the focus is on alpha-feat (row 2).
UiApp three_projects() {
  UiApp app(nullptr);
  app.reload_from_snapshot(core::RuntimeSnapshot{
      .projects = {project(1, "alpha", "origin/main",
                           {worktree("/w/alpha", "main", true), worktree("/w/alpha-feat", "feat/x"),
                            worktree("/w/alpha-det", std::nullopt)}),
                   project(2, "beta", std::nullopt),
                   project(3, "gamma", "dev", {worktree("/w/gamma", "trunk", true)})},
      .focus = {.path = "/w/alpha-feat", .project_id = project_id(1)},
  });
  return app;
}

Buffer frame(const UiApp& app, std::uint16_t width, std::uint16_t height) {
  Buffer buf(Rect{0, 0, width, height});
  draw(app, buf);
  return buf;
}

// The symbols inside `rect`, row by row, blanks kept.
std::vector<std::string> region(const Buffer& buf, Rect rect) {
  std::vector<std::string> out;
  for (std::uint16_t y = rect.y; y < rect.bottom(); ++y) {
    std::string row;
    for (std::uint16_t x = rect.x; x < rect.right(); ++x) {
      row += buf.at(x, y).symbol;
    }
    out.push_back(std::move(row));
  }
  return out;
}

// A list box row of a frame `width` cells wide.
std::string boxed(const std::string& content, std::size_t width) {
  return "│" + pad(content, width - 2) + "│";
}

// A dialog box `width` cells wide with `title` and `lines`, filled to `height` rows.
std::vector<std::string> dialog(std::string_view title, std::vector<std::string> lines,
                                std::size_t width, std::size_t height) {
  std::vector<std::string> out;
  out.push_back("┌" + std::string(title) + repeat("─", width - 2 - display_width(title)) + "┐");
  lines.resize(height - 2);
  for (const std::string& line : lines) {
    out.push_back(boxed(line, width));
  }
  out.push_back("└" + repeat("─", width - 2) + "┘");
  return out;
}

TEST(Draw, MainViewFrame) {
  const Buffer buf = frame(three_projects(), 60, 12);
  EXPECT_EQ(rows(buf), (std::vector<std::string>{
                           " Orvo · worktree agent shell · 3 projects",
                           "┌ Projects / Worktrees " + repeat("─", 36) + "┐",
                           boxed("  ▼ alpha  origin/main", 60),
                           boxed("    alpha  [main] main", 60),
                           boxed("›   alpha-feat  [feat/x]", 60),
                           boxed("    alpha-det  [detached]", 60),
                           boxed("  ▼ beta  ∅ quick base", 60),
                           boxed("  ▼ gamma  dev", 60),
                           "└" + repeat("─", 58) + "┘",
                           "ctx /w/alpha-feat",
                           repeat("─", 60),
                           "j/k move · enter select · n new-wt · p pi · e editor · b",
                       }));
}

TEST(Draw, StylesOfHeaderRowsHighlightContextAndHelp) {
  const Buffer buf = frame(three_projects(), 60, 12);
  for (std::uint16_t x = 0; x < 60; ++x) {
    SCOPED_TRACE(x);
    const Cell& header = buf.at(x, 0);
    EXPECT_EQ(header.fg, kBlack);
    EXPECT_EQ(header.bg, kCyan);
    EXPECT_EQ(header.modifier, Modifier::Bold);
    EXPECT_EQ(buf.at(x, 9).fg, kYellow);
    EXPECT_EQ(buf.at(x, 10).fg, kDarkGray);
    EXPECT_EQ(buf.at(x, 11).fg, kDarkGray);
    const bool inside = x >= 1 && x <= 58;
    EXPECT_EQ(buf.at(x, 4).bg, inside ? kHighlightBg : kReset);
    EXPECT_EQ(buf.at(x, 4).modifier, inside ? Modifier::Bold : Modifier::None);
    EXPECT_EQ(buf.at(x, 3).bg, kReset);
  }
  struct Case {
    const char* what;
    std::uint16_t x, y;
    Color fg;
    Modifier modifier;
  };
  const Case cases[] = {
      {"project triangle", 3, 2, kCyan, Modifier::Bold},
      {"project name", 9, 2, kCyan, Modifier::Bold},
      {"quick base gap", 10, 2, kDarkGray, Modifier::None},
      {"quick base", 12, 2, kDarkGray, Modifier::None},
      {"missing quick base", 10, 6, kDarkGray, Modifier::None},
      {"worktree indent", 3, 3, kReset, Modifier::None},
      {"worktree label", 5, 3, kWhite, Modifier::None},
      {"branch", 12, 3, kGray, Modifier::None},
      {"main suffix", 21, 3, kGray, Modifier::None},
      {"highlighted label", 5, 4, kWhite, Modifier::Bold},
      {"highlighted branch", 17, 4, kGray, Modifier::Bold},
      {"highlight symbol", 1, 4, kReset, Modifier::Bold},
      {"list border", 0, 4, kReset, Modifier::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(buf.at(c.x, c.y).fg, c.fg);
    EXPECT_EQ(buf.at(c.x, c.y).modifier, c.modifier);
  }
  EXPECT_TRUE(buf.row_text(0).starts_with(" Orvo · worktree agent shell · 3 projects "));
}

TEST(Draw, NoProjectsShowsAnEmptyBoxWithNothingHighlighted) {
  UiApp app(nullptr);
  app.reload_from_snapshot({});
  const Buffer buf = frame(app, 60, 12);
  const std::vector<std::string> shown = rows(buf);
  EXPECT_EQ(shown[0], " Orvo · worktree agent shell · 0 projects");
  for (std::size_t y = 2; y < 8; ++y) {
    EXPECT_EQ(shown[y], boxed("", 60));
  }
  EXPECT_EQ(shown[9], "ctx (none) — press `a` to add a repo");
  for (std::uint16_t y = 1; y < 9; ++y) {
    for (std::uint16_t x = 0; x < 60; ++x) {
      ASSERT_EQ(buf.at(x, y).bg, kReset) << x << "," << y;
    }
  }
}

TEST(Draw, CursorBeyondTheLastRowIsDrawnOnTheLastRow) {
  UiApp app = three_projects();
  app.selected = 99;
  const std::vector<std::string> shown = rows(frame(app, 60, 24));
  EXPECT_EQ(shown[8], boxed("›   gamma  [trunk] main", 60));
  EXPECT_EQ(shown[4], boxed("    alpha-feat  [feat/x]", 60));
}

TEST(Draw, ListWindowEndsAtTheCursorOnceItPassesTheBox) {
  std::vector<core::WorktreeView> worktrees;
  for (int i = 0; i < 20; ++i) {
    worktrees.push_back(worktree(fmt::format("/w/wt-{:02}", i), "b"));
  }
  UiApp app(nullptr);
  app.reload_from_snapshot(
      core::RuntimeSnapshot{.projects = {project(1, "big", "main", worktrees)}, .focus = {}});
  struct Case {
    std::size_t selected;
    std::vector<std::string> list;
  };
  const Case cases[] = {
      {5,
       {"  ▼ big  main", "    wt-00  [b]", "    wt-01  [b]", "    wt-02  [b]", "    wt-03  [b]",
        "›   wt-04  [b]"}},
      {10,
       {"    wt-04  [b]", "    wt-05  [b]", "    wt-06  [b]", "    wt-07  [b]", "    wt-08  [b]",
        "›   wt-09  [b]"}},
      {99,
       {"    wt-14  [b]", "    wt-15  [b]", "    wt-16  [b]", "    wt-17  [b]", "    wt-18  [b]",
        "›   wt-19  [b]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected);
    app.selected = c.selected;
    const std::vector<std::string> shown = rows(frame(app, 60, 12));
    for (std::size_t r = 0; r < c.list.size(); ++r) {
      EXPECT_EQ(shown[2 + r], boxed(c.list[r], 60));
    }
  }
}

TEST(Draw, ContextRowShowsTheMessageUntilItExpires) {
  UiApp app = three_projects();
  const auto t0 = std::chrono::steady_clock::time_point{} + std::chrono::seconds(1);
  app.show_toast("refreshed", t0);
  EXPECT_EQ(rows(frame(app, 60, 12))[9], "ctx /w/alpha-feat  ·  refreshed");
  app.expire_toast(t0 + std::chrono::seconds(6));
  EXPECT_EQ(rows(frame(app, 60, 12))[9], "ctx /w/alpha-feat");

  // git's error output has several lines; the row shows the first, as a paragraph's text does.
  app.show_toast("create failed: git failed (128): Preparing\nfatal: bad", t0);
  const std::vector<std::string> shown = rows(frame(app, 80, 12));
  EXPECT_EQ(shown[9], "ctx /w/alpha-feat  ·  create failed: git failed (128): Preparing");
  EXPECT_EQ(shown[10], repeat("─", 80));
}

TEST(Draw, HelpTextFollowsTheOpenDialog) {
  struct Case {
    std::optional<Modal> modal;
    std::string help;
  };
  const std::vector<Case> cases = {
      {std::nullopt, kMainHelp},
      {NewWorktree{},
       "name/base · Tab switch · Enter create+pi · Ctrl-p create only · Ctrl-b pick base · Esc"},
      {QuickBase{}, "type origin/main · Enter save · Esc"},
      {AddProject{}, "absolute git path · Enter · Esc"},
      {ConfirmDelete{}, "y delete · n/Esc cancel"},
      {PickBase{}, "type filter · j/k · Enter · Esc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.help);
    UiApp app = three_projects();
    app.modal = c.modal;
    EXPECT_EQ(help_text(c.modal), c.help);
    EXPECT_EQ(rows(frame(app, 120, 24))[23], c.help);
  }
  EXPECT_EQ(rows(frame(three_projects(), 80, 24))[23],
            "j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d");
}

TEST(Draw, ShortTerminalsKeepTheListAndDropTheLowerRows) {
  const std::vector<std::string> eight = rows(frame(three_projects(), 40, 8));
  EXPECT_EQ(eight[6], "ctx /w/alpha-feat");
  EXPECT_EQ(eight[7], repeat("─", 40)) << "the help row has room for its rule only";
  const std::vector<std::string> five = rows(frame(three_projects(), 40, 5));
  EXPECT_EQ(five[0], "┌ Projects / Worktrees " + repeat("─", 16) + "┐");
  EXPECT_EQ(five[4], "└" + repeat("─", 38) + "┘");

  UiApp with_dialog = three_projects();
  with_dialog.modal = NewWorktree{.project_name = "alpha"};
  for (const Rect size : {Rect{0, 0, 0, 0}, Rect{0, 0, 1, 1}, Rect{0, 0, 3, 2}, Rect{0, 0, 7, 9}}) {
    SCOPED_TRACE(size.width);
    Buffer buf(size);
    draw(with_dialog, buf);
  }
}

// 80x24: the dialog box is x14 y7 w52 h10.
constexpr Rect kDialog80x24{14, 7, 52, 10};

TEST(DrawModal, EachDialogsBoxTitleAndBody) {
  struct Case {
    Modal modal;
    std::string_view title;
    std::vector<std::string> lines;
  };
  const std::vector<Case> cases = {
      {NewWorktree{.project_name = "alpha", .name = "feat-1", .base = "origin/main"},
       " New Worktree ",
       {"project: alpha", "", "> name: feat-1", "  base: origin/main", "",
        "Enter=create+Pi  Ctrl-p=create  Ctrl-b=pick base"}},
      {NewWorktree{.project_name = "alpha", .name = "", .base = "dev", .active_field = 1},
       " New Worktree ",
       {"project: alpha", "", "  name: ", "> base: dev", "",
        "Enter=create+Pi  Ctrl-p=create  Ctrl-b=pick base"}},
      {QuickBase{.project_name = "alpha", .input = "origin/dev"},
       " Quick Base ",
       {"project: alpha", "", "quick base: origin/dev▋"}},
      {AddProject{.input = "/tmp/repo"},
       " Add Project ",
       {"Absolute path to git repo:", "", "/tmp/repo▋"}},
      {AddProject{.input = ""}, " Add Project ", {"Absolute path to git repo:", "", "▋"}},
      {ConfirmDelete{.path = "/w/alpha-feat"},
       " Confirm Delete ",
       {"Force-remove linked worktree?", "/w/alpha-feat", "", "y = yes   n = cancel"}},
      {ConfirmDelete{.path = "/w/\xFF"},
       " Confirm Delete ",
       {"Force-remove linked worktree?", "/w/\uFFFD", "", "y = yes   n = cancel"}},
      // Control characters as escapes, and a backslash doubled so that "\n" typed in a name
      // cannot pass for a line feed.
      {ConfirmDelete{.path = "/w/a\nb\tc\rd\x1b"
                             "e\x7f\u0085\u00e9\\n"},
       " Confirm Delete ",
       {"Force-remove linked worktree?", "/w/a\\nb\\tc\\rd\\x1be\\x7f\\x85\u00e9\\\\n", "",
        "y = yes   n = cancel"}},
      {PickBase{.branches = {"main", "dev"}, .filter = "zz"},
       " Pick Base Branch ",
       {"filter: zz▋", "", "(no matches)"}},
      {PickBase{.branches = {"main", "dev"}, .filter = "", .selected = 5},
       " Pick Base Branch ",
       {"filter: ▋", ""}},
      {PickBase{.branches = {"main", "dev", "feat/main"}, .filter = "main", .selected = 1},
       " Pick Base Branch ",
       {"filter: main▋", "", "  main", "› feat/main"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    UiApp app = three_projects();
    app.modal = c.modal;
    const Buffer buf = frame(app, 80, 24);
    EXPECT_EQ(region(buf, kDialog80x24), dialog(c.title, c.lines, 52, 10));
    EXPECT_EQ(buf.at(14, 7).fg, kCyan);
    EXPECT_EQ(buf.at(16, 7).fg, kCyan) << "title";
    EXPECT_EQ(buf.at(65, 12).fg, kCyan);
    EXPECT_EQ(buf.at(15, 8).fg, kReset) << "body";
    EXPECT_EQ(buf.at(20, 12).bg, kReset) << "cleared over the list";
  }
}

TEST(DrawModal, ListStaysVisibleAroundTheBox) {
  UiApp app = three_projects();
  app.modal = AddProject{};
  const std::vector<std::string> shown = rows(frame(app, 80, 24));
  EXPECT_EQ(shown[2], boxed("  ▼ alpha  origin/main", 80)) << "above the box";
  EXPECT_EQ(shown[8].substr(0, std::string("│    gamma  [t").size()), "│    gamma  [t")
      << "left of the box";
  EXPECT_EQ(shown[8].substr(shown[8].size() - std::string("│").size()), "│") << "right of it";
}

TEST(DrawModal, NewWorktreeFieldStyles) {
  UiApp app = three_projects();
  app.modal = NewWorktree{.project_name = "alpha", .name = "feat-1", .base = "dev"};
  const Buffer buf = frame(app, 80, 24);
  struct Case {
    const char* what;
    std::uint16_t x, y;
    Color fg;
  };
  const Case cases[] = {
      {"active marker", 15, 10, kGreen}, {"inactive marker", 15, 11, kGreen},
      {"field name", 17, 10, kReset},    {"typed name", 23, 10, kWhite},
      {"typed base", 23, 11, kWhite},    {"project line", 15, 8, kReset},
      {"help line", 15, 13, kReset},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(buf.at(c.x, c.y).fg, c.fg);
  }
}

TEST(DrawModal, BodyIsCutAtTheRightEdgeAndTheBottom) {
  UiApp app = three_projects();
  app.modal = NewWorktree{.project_name = "a-very-long-project-name", .name = "x"};
  const Buffer buf = frame(app, 40, 10);
  EXPECT_EQ(region(buf, Rect{7, 3, 26, 4}),
            (std::vector<std::string>{"┌ New Worktree " + repeat("─", 10) + "┐",
                                      "│project: a-very-long-pro│", "│                        │",
                                      "└────────────────────────┘"}));
}

TEST(DrawModal, BranchWindowOfThirtyBranches) {
  std::vector<std::string> branches;
  for (int i = 0; i < 30; ++i) {
    branches.push_back(fmt::format("branch-{:02}", i));
  }
  struct Case {
    std::size_t selected;
    std::size_t first;
  };
  for (const Case c :
       {Case{3, 0}, Case{20, 14}, Case{0, 0}, Case{6, 0}, Case{7, 1}, Case{29, 23}}) {
    SCOPED_TRACE(c.selected);
    UiApp app = three_projects();
    app.modal = PickBase{.branches = branches, .filter = "branch", .selected = c.selected};
    std::vector<std::string> lines = {"filter: branch▋", ""};
    for (std::size_t i = c.first; i < std::min<std::size_t>(c.first + 14, 30); ++i) {
      lines.push_back(fmt::format("{}branch-{:02}", i == c.selected ? "› " : "  ", i));
    }
    // 100x50: the dialog box is x18 y15 w64 h21, room for all 14 lines.
    const Buffer buf = frame(app, 100, 50);
    EXPECT_EQ(region(buf, Rect{18, 15, 64, 21}), dialog(" Pick Base Branch ", lines, 64, 21));
  }
}

}  // namespace
}  // namespace orvo::ui
