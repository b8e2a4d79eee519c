#include "orvo_ui/terminal_fixture.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

namespace orvo::ui {

using namespace std::chrono_literals;

Pty::Pty(std::uint16_t width, std::uint16_t height) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_GE(master_, 0);
  EXPECT_EQ(grantpt(master_), 0);
  EXPECT_EQ(unlockpt(master_), 0);
  slave_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
  EXPECT_GE(slave_, 0);
  set_size(width, height);
  reader_ = std::thread([this] { read_output(); });
}

Pty::~Pty() {
  stop_ = true;
  reader_.join();
  if (slave_ >= 0)
    ::close(slave_);
  if (master_ >= 0)
    ::close(master_);
}

void Pty::set_size(std::uint16_t width, std::uint16_t height) {
  winsize size{};
  size.ws_col = width;
  size.ws_row = height;
  ioctl(master_, TIOCSWINSZ, &size);
}

void Pty::type(std::string_view bytes) {
  EXPECT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

std::string Pty::take_output_through(std::string_view text) {
  std::unique_lock lock(mutex_);
  std::size_t at = std::string::npos;
  const bool found = output_grew_.wait_for(lock, 10s, [&] {
    at = output_.find(text);
    return at != std::string::npos;
  });
  if (!found) {
    ADD_FAILURE() << "no " << testing::PrintToString(std::string(text)) << " in the output "
                  << testing::PrintToString(output_);
    return std::exchange(output_, {});
  }
  std::string taken = output_.substr(0, at + text.size());
  output_.erase(0, at + text.size());
  return taken;
}

std::string Pty::take_output() {
  const std::string marker = "<mark " + std::to_string(++marks_) + ">";
  EXPECT_EQ(::write(slave_, marker.data(), marker.size()), static_cast<ssize_t>(marker.size()));
  std::string taken = take_output_through(marker);
  if (taken.ends_with(marker)) {
    taken.resize(taken.size() - marker.size());
  }
  return taken;
}

void Pty::close_master() {
  stop_ = true;
  reader_.join();
  ::close(master_);
  master_ = -1;
  reader_ = std::thread([] {});
}

void Pty::read_output() {
  char chunk[4096];
  while (!stop_) {
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, 10) != 1 || (fd.revents & POLLIN) == 0) {
      continue;
    }
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n > 0) {
      std::lock_guard lock(mutex_);
      output_.append(chunk, static_cast<std::size_t>(n));
      output_grew_.notify_all();
    }
  }
}

void TerminalTest::SetUp() {
  auto opened = TerminalSession::open(pty_.config());
  ASSERT_TRUE(opened) << opened.error().message();
  session_.emplace(std::move(*opened));
  opening_ = pty_.take_output();
}

std::optional<TerminalEvent> TerminalTest::next_event(std::chrono::milliseconds timeout) {
  auto event = session_->poll_event(timeout);
  EXPECT_TRUE(event) << event.error().message();
  return event ? *event : std::nullopt;
}

void TerminalTest::expect_no_stale_input() {
  pty_.type("k");
  const auto event = next_event();
  ASSERT_TRUE(event.has_value());
  EXPECT_EQ(std::get<KeyEvent>(*event), KeyEvent{KeyCode::character(U'k')})
      << "input typed meanwhile is discarded";
}

Buffer text_frame(Rect area, std::string_view text, Style style) {
  Buffer frame(area);
  frame.set_string(0, 0, text, style);
  return frame;
}

}  // namespace orvo::ui
