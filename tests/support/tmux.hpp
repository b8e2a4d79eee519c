#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/temp_dir.hpp"

namespace orvo::test {

// How the pane of a `Tmux` is set up.
struct TmuxOptions {
  std::uint16_t width = 80;
  std::uint16_t height = 24;
  // HOME of the program; empty: a fresh temporary directory owned by the `Tmux` object.
  std::filesystem::path home;
  // Working directory of the program; empty: HOME.
  std::filesystem::path cwd;
  std::string term = "xterm-256color";
  // Further environment variables, added after (and overriding) the pinned ones.
  std::vector<std::pair<std::string, std::string>> env;
};

// A private tmux server with one pane that runs a program, for end-to-end tests of the real
// binaries. The server has its own socket (-L) and no configuration (-f /dev/null); the pane
// has the pinned size, no status line, and an environment of exactly PATH, the git sandbox
// variables (GIT_*) and the sanitizers' settings of the test process, HOME, TZ=UTC, LANG (the
// test process's UTF-8 locale), TERM and `options.env`.
// The pane stays after the program ends, so its last screen and exit status can be read.
// Failures to run tmux throw std::runtime_error (the test then fails).
class Tmux {
 public:
  Tmux(const std::vector<std::string>& argv, TmuxOptions options = {});
  ~Tmux();
  Tmux(const Tmux&) = delete;
  Tmux& operator=(const Tmux&) = delete;

  // Sends keys by tmux's names, one key per element: "q", "C-p", "M-a", "Enter", "Escape",
  // "BTab", "BSpace", "Up".
  void send_keys(const std::vector<std::string>& keys);
  // Types `text` literally.
  void send_text(std::string_view text);
  // Pastes `text` as a terminal does: between paste marks when the program in the pane has
  // turned bracketed paste on, as plain input otherwise; line feeds are sent as carriage returns.
  void paste(std::string_view text);

  // The visible screen: one line per row, trailing blanks cut, rows joined by '\n'.
  [[nodiscard]] std::string capture() const;
  // The visible screen with the escape sequences of colours and attributes.
  [[nodiscard]] std::string capture_with_styles() const;

  // Polls the screen until `done` holds for it or `timeout` passes; returns whether it held.
  [[nodiscard]] bool wait_until(const std::function<bool(const std::string& screen)>& done,
                                std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  // Waits until `text` appears on the screen.
  [[nodiscard]] bool wait_for_text(
      std::string_view text, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // Resizes the window (and the pane with it); the program gets SIGWINCH.
  void resize(std::uint16_t width, std::uint16_t height);

  // A tmux format evaluated for the pane, e.g. "#{alternate_on}", "#{cursor_flag}".
  [[nodiscard]] std::string query(std::string_view format) const;

  // The process id of the program in the pane.
  [[nodiscard]] pid_t pane_pid() const;

  // Waits for the program to end; its exit status, or 128 + the signal that ended it; nullopt
  // when it still runs after `timeout`.
  [[nodiscard]] std::optional<int> wait_for_exit(
      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // Appends everything the program writes to the terminal from now on to `file`, until
  // `stop_recording_output`, after which the file is complete.
  void record_output(const std::filesystem::path& file);
  void stop_recording_output();

 private:
  // Runs one tmux command on this server; its standard output. Throws when tmux fails.
  std::string tmux(std::vector<std::string> args) const;

  std::string socket_;
  std::optional<TempDir> own_home_;
};

}  // namespace orvo::test
