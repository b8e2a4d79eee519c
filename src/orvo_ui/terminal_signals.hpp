#pragma once

#include <string_view>

// The signal rules of the terminal session. While a session is open, SIGTERM, SIGINT, SIGHUP and
// SIGQUIT only record a request that the event loop checks; SIGTSTP (when whoever started Orvo
// left it at its default) is recorded too, so that the loop leaves the screen before stopping;
// SIGCONT after a stop Orvo could not catch is recorded for the loop to take the screen back; and
// SIGSEGV, SIGABRT, SIGBUS and SIGFPE give the terminal back (writing the recorded sequences and
// the shell's modes) before the signal takes its course. The handlers touch nothing but
// lock-free atomics and what was recorded before the screen was marked as shown.

namespace orvo::ui {

// Whether SIGTERM, SIGINT, SIGHUP or SIGQUIT arrived since the last session was opened; the
// event loop checks it every turn and ends.
[[nodiscard]] bool termination_requested();

// The signal number behind `termination_requested`, 0 when none arrived.
[[nodiscard]] int termination_signal();

// Clears every recorded request and installs the session's handlers, saving the ones before.
void install_signal_handlers();

// Puts back the handlers `install_signal_handlers` saved.
void reinstate_signal_handlers();

// While a foreground child owns the terminal, a stop stops Orvo together with the child by the
// signal's own action; `take_stop_signal_back` makes it the session's again.
void give_stop_signal_its_own_action();
void take_stop_signal_back();

// Marks whether the full screen is up: the crash handler restores the terminal, and a continue
// is recorded, only while it is.
void mark_full_screen(bool shown);

// Marks whether a foreground child owns the terminal: keyboard signals (SIGINT, SIGQUIT) are
// then the child's and record nothing.
void mark_suspended(bool suspended);

// Whether a stop was asked for since the last call; clears the request.
[[nodiscard]] bool take_stop_request();

// Whether a continue arrived while the screen was up since the last call; clears it.
[[nodiscard]] bool take_continue();

// Records the terminal modes of `fd` for the crash handler to put back; false (errno set) when
// they cannot be read.
[[nodiscard]] bool record_shell_mode(int fd);

// Records what the crash handler writes to `fd` to give the terminal back: `bytes`, cut to the
// room the handler has.
void record_crash_restore(int fd, std::string_view bytes);

}  // namespace orvo::ui
