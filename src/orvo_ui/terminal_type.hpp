#pragma once

#include <string>

#include "orvo_core/error.hpp"

// What the terminal session takes from the terminal's description: whether the type can show a
// full screen, the key sequences it adds to the description's own, and the sequences that give
// the terminal back after a crash.

namespace orvo::ui {

// Looks the terminal type `term` up for the terminal on `fd`, without keeping it loaded. Fails
// with "unknown terminal type \"{}\"" when this system has no description of it, and with
// "terminal type \"{}\" cannot place the cursor" when it cannot address the cursor.
[[nodiscard]] core::Result<void> check_terminal_type(const char* term, int fd);

// Teaches curses Home, End and the arrows in every form terminals send them, and the modified
// special keys of `modified_key_sequences`, whatever the description says. Needs an open
// curses screen.
void define_key_aliases();

// The terminal's own sequences for plain attributes, visible cursor, normal keypad and normal
// screen, without padding, so a crash handler only has to write them. Needs an open curses
// screen.
[[nodiscard]] std::string crash_restore_sequences();

}  // namespace orvo::ui
