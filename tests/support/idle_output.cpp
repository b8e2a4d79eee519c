#include "support/idle_output.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace orvo::test {

using namespace std::chrono_literals;

std::string output_while_idle(Tmux& tmux, const std::filesystem::path& file, const std::string& key,
                              std::string_view drawn) {
  std::this_thread::sleep_for(200ms);
  tmux.record_output(file);
  std::this_thread::sleep_for(800ms);
  const std::string idle = read_file(file);

  tmux.send_keys({key});
  EXPECT_TRUE(tmux.wait_for_text(drawn)) << tmux.capture();
  EXPECT_TRUE(tmux.wait_until([&](const std::string&) { return read_file(file) != idle; }))
      << "the recording sees what is drawn";
  tmux.stop_recording_output();
  return idle;
}

}  // namespace orvo::test
