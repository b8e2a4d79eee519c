#pragma once

#include <string>

#include "orvo_core/error.hpp"

// What the terminal session takes from the terminal's description: whether the type can show a
// full screen, the key sequences it adds to the description's own, and the sequences that give
// the terminal back after a crash.

namespace orvo::ui {

// The type used where TERM names none this system describes: every terminal emulator in use
// understands its sequences.
inline constexpr const char* kFallbackTerminalType = "xterm-256color";

// The terminal type to open the terminal on `fd` with, for `term` (TERM's value, null when
// unset): `term` itself when this system has a description of it, else `fallback` when it has
// one of that. Looks the types up without keeping them loaded. Fails with "terminal type \"{}\"
// cannot place the cursor" when the description of `term` (or of `fallback`) cannot address the
// cursor, and, when neither has a description here, with "TERM is not set" for an unset or empty
// `term` and "unknown terminal type \"{}\"" otherwise.
[[nodiscard]] core::Result<std::string> choose_terminal_type(
    const char* term, int fd, const char* fallback = kFallbackTerminalType);

// Teaches curses Home, End and the arrows in every form terminals send them, the modified
// special keys of `modified_key_sequences` and the paste marks of `paste_mark_sequences`,
// whatever the description says. Needs an open curses screen.
void define_key_aliases();

// The terminal's own sequences for plain attributes, visible cursor, normal keypad and normal
// screen, without padding, so a crash handler only has to write them. Needs an open curses
// screen.
[[nodiscard]] std::string crash_restore_sequences();

}  // namespace orvo::ui
