// The built binary under tmux with TERM unset, empty, naming a type this system has no
// description of, or naming one that cannot show a full screen.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "e2e/run_orvo.hpp"
#include "support/git_repo.hpp"
#include "support/shell_restored.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

// A home whose preferences name an editor that records the TERM it got, and a repository.
class TermTest : public testing::Test {
 protected:
  TermTest() : repo_(tmp_ / "src" / "proj") {
    std::filesystem::create_directories(tmp_ / "home");
    write_file(editor(),
               fmt::format("#!/bin/sh\nprintf '%s\\n' \"${{TERM-unset}}\" > '{0}.part'\n"
                           "mv '{0}.part' '{0}'\n",
                           editor_saw().string()),
               true);
    write_file(state_file(tmp_ / "home"),
               fmt::format(R"({{"projects":[],"prefs":{{"editor_cmd":"{}","pi_bin":"pi",)"
                           R"("pi_extra_args":[],"default_start_pi_on_create":true}}}})",
                           editor().string()));
  }

  [[nodiscard]] std::filesystem::path editor() const { return tmp_ / "editor"; }
  [[nodiscard]] std::filesystem::path editor_saw() const { return tmp_ / "editor-saw"; }

  // Orvo on the repository from a reporting shell in a pane whose TERM is `pane_term`, started
  // through `env` with `env_args` before it.
  [[nodiscard]] Tmux start(const std::string& pane_term,
                           const std::vector<std::string>& env_args) const {
    std::vector<std::string> program = {"env"};
    program.insert(program.end(), env_args.begin(), env_args.end());
    program.insert(program.end(), {ORVO_EXE, repo_.path().string()});
    TmuxOptions options;
    options.home = tmp_ / "home";
    options.term = pane_term;
    return Tmux(in_reporting_shell(program), options);
  }

  TempDir tmp_;
  GitRepo repo_;
};

TEST_F(TermTest, ATermWithoutADescriptionHereShowsTheScreenAndChildrenKeepIt) {
  struct Case {
    const char* what;
    std::string pane_term;
    std::vector<std::string> env_args;
    std::string child_term;
  } const cases[] = {
      {"unset", "xterm-256color", {"-u", "TERM"}, "unset"},
      {"empty", "xterm-256color", {"TERM="}, ""},
      {"unknown here", "orvo-no-such-terminal", {}, "orvo-no-such-terminal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(editor_saw());
    Tmux tmux = start(c.pane_term, c.env_args);
    ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
    EXPECT_NE(tmux.capture().find("│›   proj  [main] main"), std::string::npos) << tmux.capture();
    EXPECT_EQ(tmux.query("#{alternate_on}"), "1");
    tmux.send_keys({"e"});
    ASSERT_TRUE(tmux.wait_for_text("  ·  opened editor")) << tmux.capture();
    EXPECT_EQ(read_file(editor_saw()), c.child_term + "\n");
    tmux.send_keys({"q"});
    expect_shell_restored(tmux, 0, "Orvo · worktree agent shell");
  }
}

TEST_F(TermTest, ATypeThatCannotPlaceTheCursorKeepsItsError) {
  Tmux tmux = start("dumb", {});
  ASSERT_TRUE(tmux.wait_for_text("program-exit=1")) << tmux.capture();
  EXPECT_NE(tmux.capture().find("Error: terminal type \"dumb\" cannot place the cursor\n"),
            std::string::npos)
      << tmux.capture();
  EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
}

}  // namespace
}  // namespace orvo::test
