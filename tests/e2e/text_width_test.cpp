// Characters of every width through the built binary under tmux: wide ones, marks that join the
// character before them, and emoji that take one cell show whole, and what follows them keeps
// its column.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

constexpr std::size_t kScreenWidth = 80;

// The screen row that contains `text`, or an empty text.
std::string row_with(const std::string& screen, const std::string& text) {
  std::istringstream rows(screen);
  for (std::string row; std::getline(rows, row);) {
    if (row.find(text) != std::string::npos) {
      return row;
    }
  }
  return "";
}

TEST(TextWidthE2e, BranchNamesAndTypedTextShowWholeInTheirColumns) {
  struct Case {
    std::string branch;
    std::size_t cells;
  };
  const Case cases[] = {
      {"🟠x", 3}, {"\u4DC0x", 3}, {"กั-x", 3},           {"क्षx", 3},
      {"אָבx", 3},   {"🌡x", 2},   {"\u1100\u1161x", 3}, {"日本x", 5},
  };
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  // git on macOS precomposes the names it is given unless told not to, and the decomposed
  // Hangul must stay decomposed; git elsewhere ignores the setting, so only a Mac shows it.
  repo.git({"config", "core.precomposeUnicode", "false"});
  std::set<std::string> names;
  for (const Case& c : cases) {
    repo.add_worktree(tmp / "wt" / c.branch, c.branch);
    names.insert(c.branch);
  }
  // The folders and the branches carry the names as given.
  std::set<std::string> folders;
  for (const auto& entry : std::filesystem::directory_iterator(tmp / "wt")) {
    folders.insert(entry.path().filename().string());
  }
  EXPECT_EQ(folders, names);
  std::set<std::string> branches;
  std::istringstream refs(repo.git({"for-each-ref", "--format=%(refname:short)", "refs/heads/"}));
  for (std::string branch; std::getline(refs, branch);) {
    branches.insert(branch);
  }
  branches.erase("main");
  EXPECT_EQ(branches, names);
  TmuxOptions options;
  options.width = kScreenWidth;
  options.home = tmp / "home";
  Tmux tui({ORVO_EXE, repo.path().string()}, options);
  ASSERT_TRUE(tui.wait_for_text("[main] main")) << tui.capture();

  const std::string screen = tui.capture();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.branch);
    // The box's border, the row's indent, the label (the folder's name), the branch in brackets.
    const std::size_t used = 1 + 4 + c.cells + 2 + 1 + c.cells + 1;
    EXPECT_EQ(row_with(screen, "[" + c.branch + "]"),
              "│    " + c.branch + "  [" + c.branch + "]" +
                  std::string(kScreenWidth - used - 1, ' ') + "│")
        << screen;
  }

  tui.send_keys({"a"});
  ASSERT_TRUE(tui.wait_for_text(" Add Project ")) << tui.capture();
  tui.send_text("x🟢abกั-y");
  // The dialog's inner width is 50 cells; the text and the cursor take 9 of them.
  const std::string typed = "│x🟢abกั-y▋" + std::string(50 - 9, ' ') + "│";
  EXPECT_TRUE(tui.wait_for_text(typed)) << tui.capture();
}

// A character glibc's wcwidth cannot measure (an unassigned code point) shows as U+FFFD in one
// cell, so two names that differ only in it are told apart; on macOS the same holds for
// characters newer than its tables, such as 🟠, which only a Mac can show.
TEST(TextWidthE2e, ACharacterTheCLibraryCannotMeasureShowsAsAReplacementCharacter) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  repo.add_worktree(tmp / "wt" / "x\u0378y", "odd\u0378");
  repo.add_worktree(tmp / "wt" / "xy", "odd");
  TmuxOptions options;
  options.width = kScreenWidth;
  options.home = tmp / "home";
  Tmux tui({ORVO_EXE, repo.path().string()}, options);
  ASSERT_TRUE(tui.wait_for_text("[main] main")) << tui.capture();
  const std::string screen = tui.capture();
  EXPECT_EQ(row_with(screen, "[odd\uFFFD]"),
            "│    x\uFFFDy  [odd\uFFFD]" + std::string(kScreenWidth - 17, ' ') + "│")
      << screen;
  EXPECT_EQ(row_with(screen, "[odd]"), "│    xy  [odd]" + std::string(kScreenWidth - 15, ' ') + "│")
      << screen;
}

// An emoji joined by zero-width joiners is drawn as its parts, each in its own cells. A cell
// holding a part with its joiner is glued by tmux to the next cell's picture, which left pieces
// of the picture and of the dialog's border on the row once a dialog over it closed.
TEST(TextWidthE2e, AJoinedEmojiShowsAsItsPartsAndSurvivesADialogOverIt) {
  TempDir tmp;
  GitRepo repo(tmp / "proj");
  // Twelve rows put the dialog over the worktree rows, its left border on the first emoji.
  repo.add_worktree(tmp / "wt" / "abcdefgh👨\u200D💻👨\u200D💻x", "zwj");
  TmuxOptions options;
  options.width = kScreenWidth;
  options.height = 12;
  options.home = tmp / "home";
  Tmux tui({ORVO_EXE, repo.path().string()}, options);
  ASSERT_TRUE(tui.wait_for_text("[main] main")) << tui.capture();
  // The label takes 8 + 4 * 2 + 1 cells.
  const std::string row =
      "│    abcdefgh👨💻👨💻x  [zwj]" + std::string(kScreenWidth - 29 - 1, ' ') + "│";
  const std::string before = tui.capture();
  EXPECT_EQ(row_with(before, "[zwj]"), row) << before;

  tui.send_keys({"n"});
  ASSERT_TRUE(tui.wait_for_text(" New Worktree ")) << tui.capture();
  EXPECT_EQ(
      row_with(tui.capture(), "abcdefgh"),
      "│    abcdefgh │project: proj" + std::string(37, ' ') + "│" + std::string(13, ' ') + "│")
      << tui.capture();
  tui.send_keys({"Escape"});
  ASSERT_TRUE(tui.wait_until([](const std::string& screen) {
    return screen.find(" New Worktree ") == std::string::npos;
  })) << tui.capture();
  EXPECT_EQ(tui.capture(), before);
}

}  // namespace
}  // namespace orvo::test
