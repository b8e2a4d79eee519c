#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "orvo_ui/terminal.hpp"
#include "support/temp_dir.hpp"

namespace orvo::ui {

// A pseudo-terminal of a fixed size whose output is collected by a reader thread, so drawing
// never blocks and every byte the session writes can be counted.
class Pty {
 public:
  Pty(std::uint16_t width, std::uint16_t height);
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  [[nodiscard]] TerminalConfig config() const { return TerminalConfig{slave_, slave_}; }

  void set_size(std::uint16_t width, std::uint16_t height);

  // Bytes typed at the terminal.
  void type(std::string_view bytes);

  // What was written to the terminal since the last take, up to and with the first `text`;
  // fails the test when `text` does not come within ten seconds.
  std::string take_output_through(std::string_view text);

  // What the session wrote since the last take. The session writes before its calls return, so
  // a marker written now comes after all of it: everything before the marker is the session's.
  std::string take_output();

  void close_master();

 private:
  void read_output();

  int master_ = -1;
  int slave_ = -1;
  std::atomic<bool> stop_{false};
  int marks_ = 0;
  std::mutex mutex_;
  std::condition_variable output_grew_;
  std::string output_;
  std::thread reader_;
};

// A pseudo-terminal with a session open on it as an xterm with 256 colours.
class TerminalTest : public testing::Test {
 protected:
  void SetUp() override;

  // Waits for the next event, failing the test on an error.
  std::optional<TerminalEvent> next_event(
      std::chrono::milliseconds timeout = std::chrono::milliseconds(500));

  // Types a key and checks that it is the next one read: no key typed before it is left.
  void expect_no_stale_input();

  test::ScopedEnv term_{"TERM", "xterm-256color"};
  test::ScopedEnv no_color_{"NO_COLOR", std::nullopt};
  Pty pty_{40, 10};
  std::optional<TerminalSession> session_;
  std::string opening_;
};

// A frame of `area` with `text` at its top-left corner.
Buffer text_frame(Rect area, std::string_view text, Style style = {});

}  // namespace orvo::ui
