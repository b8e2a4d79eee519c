#include "orvo_runtime/window_messages.hpp"

#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "orvo_sys/child_stderr.hpp"
#include "orvo_sys/portable.hpp"

namespace orvo::runtime {
namespace {

TEST(LastLine, KeepsTheLastNonEmptyLineOfTextArrivingInPieces) {
  const std::string long_line(LastLine::kMaxLineBytes + 500, 'a');
  struct Case {
    const char* name;
    std::vector<std::string> pieces;
    bool finished;
    std::optional<std::string> last;
  };
  const Case cases[] = {
      {"the last of several lines", {"first\nsecond\n"}, false, "second"},
      {"a line split across pieces",
       {"execution err", "or (-1743)\n"},
       false,
       "execution error (-1743)"},
      {"an unfinished line waits for its end", {"done\nhalf"}, false, "done"},
      {"an unfinished line counts at the end", {"done\nhalf"}, true, "half"},
      {"empty and blank lines do not count", {"reason\n\n \t \r\n"}, true, "reason"},
      {"white space around a line is dropped", {"  padded \r\n"}, false, "padded"},
      {"nothing but blanks", {"\n  \n"}, true, std::nullopt},
      {"bytes that are not UTF-8", {"bad \xff byte\n"}, false, "bad \uFFFD byte"},
      {"a long line keeps its start",
       {long_line, "\n"},
       false,
       std::string(LastLine::kMaxLineBytes, 'a')},
      {"the line after a long one", {long_line, "\nshort\n"}, false, "short"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LastLine lines;
    for (const std::string& piece : c.pieces) {
      lines.feed(piece);
    }
    if (c.finished) {
      lines.finish();
    }
    EXPECT_EQ(lines.take(), c.last);
    EXPECT_EQ(lines.take(), std::nullopt) << "each line is handed out once";
  }
}

// A pipe whose write end the test holds, standing in for a program's standard error.
struct TestPipe {
  TestPipe() {
    int fds[2];
    EXPECT_EQ(sys::open_cloexec_pipe(fds), 0);
    read_end = sys::UniqueFd(fds[0]);
    write_end = sys::UniqueFd(fds[1]);
  }
  void put(const std::string& bytes) const {
    EXPECT_EQ(::write(write_end.get(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }
  sys::UniqueFd read_end;
  sys::UniqueFd write_end;
};

TEST(WindowMessages, ReadsSeveralPipesWithoutWaitingAndClosesThoseAtTheirEnd) {
  TestPipe first;
  TestPipe second;
  WindowMessages messages;
  messages.watch(std::move(first.read_end));
  messages.watch(std::move(second.read_end));
  EXPECT_EQ(messages.take(), std::nullopt) << "nothing written yet, and no wait for it";

  first.put("tab 1 of win");
  second.put("second's line\n");
  EXPECT_EQ(messages.take(), "second's line");
  first.put("dow id 4242\n");
  EXPECT_EQ(messages.take(), "tab 1 of window id 4242");

  first.put("from the first\n");
  second.put("from the second\n");
  EXPECT_EQ(messages.take(), "from the second") << "the pipe watched last wins";

  second.write_end.reset();
  EXPECT_EQ(messages.take(), std::nullopt);
  EXPECT_EQ(messages.watched(), 1U);
  first.put("unfinished at the end");
  first.write_end.reset();
  EXPECT_EQ(messages.take(), "unfinished at the end");
  EXPECT_EQ(messages.watched(), 0U);
}

TEST(WindowMessages, FollowsAProgramThatWritesMuchToTheEnd) {
  // More than a megabyte is many pipes full: the program goes on only as the turns read.
  auto child = sys::spawn_detached_with_stderr(
      {"sh", {"-c", "yes noise | head -n 200000 >&2; echo 'the last line' >&2"}, {}, {}});
  ASSERT_TRUE(child) << child.error().message();
  WindowMessages messages;
  messages.watch(std::move(child->err));
  std::optional<std::string> last;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (messages.watched() > 0 && std::chrono::steady_clock::now() < deadline) {
    if (auto line = messages.take()) {
      last = std::move(line);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(messages.watched(), 0U);
  EXPECT_EQ(last, "the last line");
}

}  // namespace
}  // namespace orvo::runtime
