#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/tmux.hpp"

namespace orvo::test {

// A shell that prints "shell-screen", runs `program`, then prints "tty-modes-restored" when the
// terminal modes are back as they were before and "program-exit=<status>", and stays, so a
// test can read on the shell's own screen how the program left the terminal.
[[nodiscard]] std::vector<std::string> in_reporting_shell(const std::vector<std::string>& program);

// The pane shows the normal screen with a visible cursor and the keypad in its normal mode, as a
// shell expects them.
void expect_shell_terminal_modes(const Tmux& tmux);

// The program run by `in_reporting_shell` ended with `status`, and the shell's screen is back
// with the modes it had and without `program_text`, a text only the program's screen shows.
void expect_shell_restored(const Tmux& tmux, int status, std::string_view program_text);

}  // namespace orvo::test
