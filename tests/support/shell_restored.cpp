#include "support/shell_restored.hpp"

#include <gtest/gtest.h>

namespace orvo::test {

std::vector<std::string> in_reporting_shell(const std::vector<std::string>& program) {
  std::vector<std::string> argv = {
      "sh", "-c",
      "before=$(stty -g); echo shell-screen; \"$0\" \"$@\"; status=$?; "
      "[ \"$before\" = \"$(stty -g)\" ] && echo tty-modes-restored; "
      "echo program-exit=$status; exec sleep 600"};
  argv.insert(argv.end(), program.begin(), program.end());
  return argv;
}

void expect_shell_terminal_modes(const Tmux& tmux) {
  EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
  EXPECT_EQ(tmux.query("#{cursor_flag}"), "1");
  EXPECT_EQ(tmux.query("#{keypad_flag}"), "0");
  EXPECT_EQ(tmux.query("#{keypad_cursor_flag}"), "0");
}

void expect_shell_restored(const Tmux& tmux, int status, std::string_view program_text) {
  ASSERT_TRUE(tmux.wait_for_text("program-exit=" + std::to_string(status))) << tmux.capture();
  const std::string screen = tmux.capture();
  EXPECT_NE(screen.find("shell-screen"), std::string::npos) << screen;
  EXPECT_NE(screen.find("tty-modes-restored"), std::string::npos) << screen;
  EXPECT_EQ(screen.find(program_text), std::string::npos) << screen;
  expect_shell_terminal_modes(tmux);
}

}  // namespace orvo::test
