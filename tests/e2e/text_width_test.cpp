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

}  // namespace
}  // namespace orvo::test
