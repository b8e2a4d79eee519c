#include "orvo_sys/child_stderr.hpp"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "orvo_sys/portable.hpp"
#include "support/eventually.hpp"
#include "support/temp_dir.hpp"

namespace orvo::sys {
namespace {

TEST(SpawnDetachedWithStderr, HandsOverOnlyStandardErrorAndReapsTheChild) {
  test::TempDir tmp;
  // /dev/fd/N names the open file itself, so -ef compares it with the device; that -ef sees it
  // so on macOS too only a Mac can confirm.
  const auto child = spawn_detached_with_stderr(
      {"sh",
       {"-c",
        "while [ ! -e go ]; do sleep 0.01; done\n"
        "t=; [ /dev/fd/0 -ef /dev/null ] && t=in; [ /dev/fd/1 -ef /dev/null ] && t=$t-out\n"
        "echo to-stdout; echo \"null: $t\" >&2"},
       tmp.path(),
       {}});
  ASSERT_TRUE(child) << child.error().message();
  std::string err;
  ASSERT_EQ(read_available(child->err.get(), err, 1024), PipeEnd::Open) << "the child waits";
  test::write_file(tmp / "go", "");

  tl::expected<PipeEnd, OsError> end = PipeEnd::Open;
  EXPECT_TRUE(test::eventually([&] {
    end = read_available(child->err.get(), err, 1024);
    return !end || *end == PipeEnd::Ended;
  }));
  EXPECT_EQ(end, PipeEnd::Ended);
  EXPECT_EQ(err, "null: in-out\n");
  // Once reaped, a child leaves no process entry behind (a zombie keeps one).
  EXPECT_TRUE(test::eventually([&] { return kill(child->pid, 0) != 0 && errno == ESRCH; }));
}

TEST(SpawnDetachedWithStderr, FailsLikeSpawnDetachedWhenTheProgramIsMissing) {
  const auto child = spawn_detached_with_stderr({"orvo-no-such-program", {}, {}, {}});
  ASSERT_FALSE(child);
  EXPECT_EQ(child.error().kind, ProcessError::Kind::ProgramNotFound);
}

TEST(ReadAvailable, TakesWhatThePipeHoldsUpToTheLimitAndTellsItsEnd) {
  int fds[2];
  ASSERT_EQ(open_cloexec_pipe(fds), 0);
  const UniqueFd read_end(fds[0]);
  UniqueFd write_end(fds[1]);
  const auto put = [&](const std::string& bytes) {
    ASSERT_EQ(::write(write_end.get(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  };
  std::string sink;
  EXPECT_EQ(read_available(read_end.get(), sink, 100), PipeEnd::Open) << "nothing there: no wait";
  EXPECT_EQ(sink, "");

  put(std::string(10000, 'x'));
  EXPECT_EQ(read_available(read_end.get(), sink, 6000), PipeEnd::Open);
  EXPECT_EQ(sink.size(), 6000U) << "at most the limit";
  EXPECT_EQ(read_available(read_end.get(), sink, 6000), PipeEnd::Open);
  EXPECT_EQ(sink, std::string(10000, 'x'));

  sink.clear();
  put("last");
  write_end.reset();
  EXPECT_EQ(read_available(read_end.get(), sink, 100), PipeEnd::Ended);
  EXPECT_EQ(sink, "last") << "what was left comes with the end";
}

}  // namespace
}  // namespace orvo::sys
