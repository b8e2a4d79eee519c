// Pasting into the built binary under tmux: tmux marks a paste only for a program that turned
// bracketed paste on, as terminals do.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/run_orvo.hpp"
#include "orvo_sys/text.hpp"
#include "support/git_repo.hpp"
#include "support/shell_restored.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

// A row of the list box of a screen 80 cells wide whose text takes one cell a character.
std::string box_row(const std::string& text) {
  std::size_t cells = 0;
  for (std::string_view rest = text; !rest.empty();
       rest.remove_prefix(sys::decode_utf8(rest).length)) {
    ++cells;
  }
  return "│" + text + std::string(78 - cells, ' ') + "│";
}

TEST(PasteE2e, APasteIsNoKeysInTheMainViewIsTypedInADialogAndEndsWithOrvo) {
  TempDir tmp;
  GitRepo repo(tmp / "src" / "proj");
  const std::filesystem::path feat = tmp / "wt" / "feat";
  repo.add_worktree(feat, "feat");
  TmuxOptions options;
  options.home = tmp / "home";
  // After Orvo the shell echoes and prints what it reads, so paste marks would show.
  Tmux tmux({"sh", "-c", "\"$0\" \"$@\"; echo program-exit=$?; exec cat -v", ORVO_EXE,
             repo.path().string()},
            options);
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  tmux.send_keys({"j"});
  ASSERT_TRUE(tmux.wait_for_text(box_row("›   feat  [feat]"))) << tmux.capture();

  // Typed, "d" would open the confirmation and "y" force-remove the worktree.
  tmux.paste("dy");
  tmux.send_keys({"k"});
  EXPECT_TRUE(tmux.wait_for_text(box_row("›   proj  [main] main"))) << tmux.capture();
  EXPECT_EQ(tmux.capture().find("Confirm Delete"), std::string::npos) << tmux.capture();
  ASSERT_TRUE(std::filesystem::exists(feat)) << "removed by a paste";

  tmux.send_keys({"j", "d"});
  ASSERT_TRUE(tmux.wait_for_text(" Confirm Delete ")) << tmux.capture();
  tmux.paste("y");
  tmux.send_keys({"Escape"});
  ASSERT_TRUE(tmux.wait_until([](const std::string& screen) {
    return screen.find("Confirm Delete") == std::string::npos;
  })) << tmux.capture();
  EXPECT_TRUE(std::filesystem::exists(feat)) << "a paste confirms nothing";

  tmux.send_keys({"n"});
  ASSERT_TRUE(tmux.wait_for_text(" New Worktree ")) << tmux.capture();
  // The line end comes as a carriage return, which typed would be Enter: create and start.
  tmux.paste("dy\nz");
  ASSERT_TRUE(tmux.wait_for_text("│> name: dyz ")) << tmux.capture();
  EXPECT_NE(tmux.capture().find(" New Worktree "), std::string::npos) << tmux.capture();
  tmux.send_keys({"Escape"});
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  tmux.send_keys({"q"});
  ASSERT_TRUE(tmux.wait_for_text("program-exit=0")) << tmux.capture();
  expect_shell_terminal_modes(tmux);

  tmux.paste("after-orvo\n");
  ASSERT_TRUE(tmux.wait_for_text("after-orvo\nafter-orvo")) << tmux.capture();
  EXPECT_EQ(tmux.capture().find("[20"), std::string::npos) << "no paste marks\n" << tmux.capture();
  EXPECT_FALSE(std::filesystem::exists(tmp / "wt" / "dyz"));
}

}  // namespace
}  // namespace orvo::test
