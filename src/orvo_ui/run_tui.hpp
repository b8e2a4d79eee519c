#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "orvo_core/error.hpp"
#include "orvo_ui/app.hpp"
#include "orvo_ui/terminal.hpp"
#include "orvo_ui/widgets.hpp"

namespace orvo::runtime {
class Runtime;
}

namespace orvo::ui {

// One interactive run of the full-screen interface on the process's terminal: registers
// `start_path` when given, refreshes every project, opens the terminal session, runs the event
// loop until the user quits or a termination signal arrives, and restores the terminal on every
// way out. Fails with the registering error (the terminal untouched), with the terminal's own
// error text when opening, drawing, reading or switching it fails, or with the error a key
// passes on; a failure to restore the terminal replaces the loop's result.
[[nodiscard]] core::Result<void> run_tui(std::shared_ptr<runtime::Runtime> runtime,
                                         std::optional<std::string> start_path);

// The event loop of one session over an open terminal and the interface state.
class EventLoop {
 public:
  EventLoop(TerminalSession& terminal, UiApp& app);

  // One turn: draws a frame; ends when the user asked to quit; rebuilds the interface when a
  // command marked it; waits up to 80 ms for an event; shows what the Terminal window programs
  // reported as "Terminal window: {line}"; on a time-out expires the status message, on a paste
  // hands its text to the interface, on a key hands it to the interface and acts on the outcome
  // (quit, the agent in the foreground, or the editor). Returns whether the loop goes on (not
  // after quitting or a termination signal). Fails when the terminal fails or a key passes an
  // error on.
  [[nodiscard]] core::Result<bool> turn();

  // Runs turns until one ends the loop or fails.
  [[nodiscard]] core::Result<void> run();

 private:
  TerminalSession& terminal_;
  UiApp& app_;
  Buffer frame_;
};

// The banner printed before the agent runs in the foreground in `dir`.
[[nodiscard]] std::string agent_banner(const std::filesystem::path& dir);

// Runs the agent program (the preferences' `pi_bin`, read afresh) in the foreground in `dir`
// with no arguments and ORVO_WORKTREE set, the terminal handed to it; when it ends, shows
// "Pi exited ({status})" or, when it could not be started or waited for, "Pi failed: {error}
// (is `pi` on PATH?)", takes the terminal back (input typed meanwhile discarded) and marks the
// interface for a reload. Fails only when the terminal cannot be switched.
[[nodiscard]] core::Result<void> run_agent_in_foreground(TerminalSession& terminal, UiApp& app,
                                                         const std::filesystem::path& dir);

// Opens the worktree `dir` in the editor with the terminal handed to it and waits until the
// editor ends (one that stays in the foreground holds the interface until it closes); then
// shows "opened editor", or "editor: {error}" when it could not be started, and takes the
// terminal back, input typed meanwhile discarded. Fails only when the terminal cannot be
// switched.
[[nodiscard]] core::Result<void> run_editor_in_foreground(TerminalSession& terminal, UiApp& app,
                                                          const std::filesystem::path& dir);

}  // namespace orvo::ui
