#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "orvo_core/error.hpp"
#include "orvo_sys/process.hpp"
#include "orvo_ui/keys.hpp"
#include "orvo_ui/terminal_signals.hpp"
#include "orvo_ui/widgets.hpp"

namespace orvo::ui {

// How long one turn of the event loop waits for input.
inline constexpr std::chrono::milliseconds kEventWait{80};

// The terminal changed its size; the next frame should be drawn at this size.
struct ResizeEvent {
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  friend constexpr bool operator==(const ResizeEvent&, const ResizeEvent&) = default;
};

// Text pasted into the terminal, as one piece: the characters between the paste marks, control
// characters included, key sequences within it left out.
struct PasteEvent {
  std::string text;
  friend bool operator==(const PasteEvent&, const PasteEvent&) = default;
};

using TerminalEvent = std::variant<KeyEvent, ResizeEvent, PasteEvent>;

// A paste whose end mark never comes ends after this long without input, so that a lost mark
// cannot keep the keys from the interface.
inline constexpr std::chrono::milliseconds kPasteQuiet{1000};

// The most bytes of text one paste keeps; the rest is read and dropped.
inline constexpr std::size_t kMaxPasteBytes = 64 * 1024;

// Which file descriptors the session uses; both must refer to the same terminal.
struct TerminalConfig {
  int input_fd = 0;
  int output_fd = 1;
};

// The terminal in full-screen mode: raw input, alternate screen, hidden cursor, bracketed paste
// (so that pasted text never arrives as key presses). Bracketed paste is on only while the
// screen is shown: off while suspended, stopped or restored. Only one session exists at a time and
// it is used from one thread. The terminal is restored by `restore`, by the destructor, at process
// exit, and (best effort, then the signal takes its course) on SIGSEGV, SIGABRT, SIGBUS and SIGFPE.
// SIGTERM, SIGINT, SIGHUP and SIGQUIT only record a request, see `termination_requested`. A stop
// signal (SIGTSTP) while the screen is shown is answered by `poll_event`; while suspended it stops
// the process as it would without a session.
class TerminalSession {
 public:
  // Opens the session on the process's terminal: standard input and output where they are
  // terminals, the controlling terminal (/dev/tty) for a side that is not. Fails with "no
  // terminal: standard input, standard output and /dev/tty are not terminals" when a side has
  // none, otherwise as the other `open`.
  [[nodiscard]] static core::Result<TerminalSession> open();

  // Opens the session on the terminal of `config` with the type `choose_terminal_type` picks
  // for TERM (xterm-256color where TERM is unset or names a type this system does not describe;
  // the environment is left as it is), and chooses a UTF-8 character type for the process when
  // its locale has none. Fails when the descriptors are not a terminal, no type can be chosen or
  // the chosen one cannot place the cursor, another session is open, or the terminal refuses a
  // mode; nothing is left changed.
  [[nodiscard]] static core::Result<TerminalSession> open(const TerminalConfig& config);

  TerminalSession(TerminalSession&&) noexcept;
  TerminalSession& operator=(TerminalSession&&) noexcept;
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;
  ~TerminalSession();

  // The screen's area, origin (0, 0); empty once the session is restored.
  [[nodiscard]] Rect size() const;

  // Shows `frame` at its place on the screen, cut to the screen; cells outside it keep what
  // they show. Only cells that differ from what the terminal shows are written, so an
  // unchanged frame writes nothing; the first frame after a resize or `resume` repaints the
  // whole screen. Colours follow `color_index` for the terminal's palette; with NO_COLOR set to
  // a non-empty text no colours or attributes are used. Symbols are one character each (a
  // double-width one covers the next cell too); unprintable ones show as U+FFFD. Fails when
  // the session is suspended or restored, or writing to the terminal fails.
  [[nodiscard]] core::Result<void> draw(const Buffer& frame);

  // Waits up to `timeout` for a key, a resize or a paste; nullopt when the time ran out, a
  // termination signal arrived, or the process was stopped and continued. A paste is read to its
  // end mark (or until `kPasteQuiet` passes without input) before it is returned. A stop signal
  // leaves the screen as `suspend` does before the process stops; after a stop and continue the
  // next `draw` repaints the whole screen. Esc alone and Esc followed at once by a key (that key
  // with Alt) are told apart here. Fails when the session is suspended or restored, the terminal's
  // input is gone (hung up), or the terminal cannot be switched.
  [[nodiscard]] core::Result<std::optional<TerminalEvent>> poll_event(
      std::chrono::milliseconds timeout);

  // Hands the terminal to a foreground child: normal mode and screen, visible cursor. While
  // suspended, SIGINT and SIGQUIT from the keyboard are left to the child, and a stop signal
  // stops the process with it and leaves the terminal alone when continued. Fails when the
  // session is not running or the terminal cannot be switched.
  [[nodiscard]] core::Result<void> suspend();

  // Takes the terminal back after `suspend`: raw mode again, input typed meanwhile discarded,
  // and the next `draw` repaints the whole screen on the alternate screen. Fails when the
  // session is not suspended or the terminal cannot be switched.
  [[nodiscard]] core::Result<void> resume();

  // The standard input, output and error a foreground child gets: the session's terminal.
  // Valid until the session is restored.
  [[nodiscard]] sys::StdStreams child_streams() const;

  // Writes `text` to the terminal while suspended, before a child starts; nothing otherwise. A
  // failed write is not reported: the child's own output follows either way.
  void print(std::string_view text);

  // Gives the terminal back for good: normal mode, normal screen, visible cursor. Idempotent;
  // fails only when the terminal cannot be switched back.
  [[nodiscard]] core::Result<void> restore();

 private:
  struct State;
  explicit TerminalSession(std::unique_ptr<State> state);
  // The state of the open session, if any; the process-exit hook restores it.
  static State*& open_state();
  static void restore_at_exit();

  std::unique_ptr<State> state_;
};

}  // namespace orvo::ui
