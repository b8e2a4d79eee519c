#include "orvo_sys/process.hpp"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "orvo_sys/portable.hpp"
#include "support/eventually.hpp"
#include "support/temp_dir.hpp"

namespace orvo::sys {
namespace {

using test::read_file;
using test::TempDir;
using test::write_file;

Command shell(const std::string& script) {
  return {"sh", {"-c", script}, std::nullopt, {}};
}

TEST(RunAndCapture, CollectsBothStreamsAndHowTheChildEnded) {
  struct Case {
    std::string script;
    std::string out;
    std::string err;
    std::string status;
  };
  const Case cases[] = {
      {"printf 'out\\n'; printf ' err ' >&2; exit 3", "out\n", " err ", "exit status: 3"},
      {"true", "", "", "exit status: 0"},
      {"printf x; kill -9 $$", "x", "", "signal: 9 (SIGKILL)"},
      // Standard input is the null device, never the test's own.
      {"[ /dev/stdin -ef /dev/null ] && echo null; cat", "null\n", "", "exit status: 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const auto output = run_and_capture(shell(c.script));
    ASSERT_TRUE(output) << output.error().message();
    EXPECT_EQ(output->out, c.out);
    EXPECT_EQ(output->err, c.err);
    EXPECT_EQ(exit_status_text(output->status), c.status);
  }
}

TEST(RunAndCapture, PassesArgumentsUnchangedAndRunsInTheGivenDirectory) {
  TempDir tmp;
  const auto args = run_and_capture({"printf", {"%s|", "a b", "", "*", "$HOME", "'\""}, {}, {}});
  ASSERT_TRUE(args);
  EXPECT_EQ(args->out, "a b||*|$HOME|'\"|");

  const auto cwd = run_and_capture({"pwd", {}, tmp.path(), {}});
  ASSERT_TRUE(cwd);
  EXPECT_EQ(cwd->out, tmp.path().string() + "\n");
}

TEST(RunAndCapture, DrainsLargeOutputOnBothStreamsWithoutStalling) {
  // Filling standard error before writing any standard output stalls a reader that reads
  // standard output to its end first.
  const auto output = run_and_capture(
      shell("head -c 4194304 /dev/zero >&2; head -c 4194304 /dev/zero; head -c 1 /dev/zero >&2"));
  ASSERT_TRUE(output);
  EXPECT_EQ(output->out.size(), 4194304u);
  EXPECT_EQ(output->err.size(), 4194305u);
}

TEST(StartFailure, TellsAMissingProgramFromAMissingDirectory) {
  TempDir tmp;
  write_file(tmp / "file", "");
  write_file(tmp / "not-executable", "#!/bin/sh\n");
  using Kind = ProcessError::Kind;
  struct Case {
    const char* name;
    Command command;
    Kind kind;
    std::string message;
  };
  const Case cases[] = {
      {"program not on PATH",
       {"orvo-no-such-program", {}, {}, {}},
       Kind::ProgramNotFound,
       "No such file or directory (os error 2)"},
      {"program path names nothing",
       {(tmp / "missing").string(), {}, {}, {}},
       Kind::ProgramNotFound,
       "No such file or directory (os error 2)"},
      {"directory missing",
       {"true", {}, tmp / "missing", {}},
       Kind::DirectoryMissing,
       "No such file or directory (os error 2)"},
      {"directory is a file",
       {"true", {}, tmp / "file", {}},
       Kind::DirectoryMissing,
       "Not a directory (os error 20)"},
      {"program not executable",
       {(tmp / "not-executable").string(), {}, {}, {}},
       Kind::Other,
       "Permission denied (os error 13)"},
      {"NUL byte in an argument",
       {"true", {std::string("a\0b", 3)}, {}, {}},
       Kind::Other,
       "Invalid argument (os error 22)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& error : {run_and_capture(c.command).error(), spawn_and_wait(c.command).error(),
                              spawn_detached(c.command).error()}) {
      EXPECT_EQ(error.kind, c.kind);
      EXPECT_EQ(error.message(), c.message);
    }
  }
}

// Gives up root for an unprivileged user, for whom permission bits count.
bool drop_root() {
  const passwd* nobody = getpwnam("nobody");
  const uid_t uid = nobody != nullptr ? nobody->pw_uid : 65534;
  const gid_t gid = nobody != nullptr ? nobody->pw_gid : 65534;
  return setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0;
}

// A working directory needs only search permission, as for chdir: a folder that can be searched
// but not read (mode --x) works. Root passes every permission check, so as root the check runs
// in a child that gives root up first. Opening the folder, as the runner did, failed so only on
// macOS, which has no O_PATH; on a Mac this shows the case itself.
TEST(WorkingDirectoryDeathTest, NeedsOnlySearchPermission) {
  TempDir tmp;
  using std::filesystem::perms;
  const std::filesystem::path dir = tmp / "search-only";
  std::filesystem::create_directory(dir);
  std::filesystem::permissions(tmp.path(),
                               perms::owner_all | perms::group_exec | perms::others_exec);
  std::filesystem::permissions(dir, perms::owner_exec | perms::group_exec | perms::others_exec);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && !drop_root()) {
          _exit(2);
        }
        const auto pwd = run_and_capture({"pwd", {}, dir, {}});
        if (!pwd) {
          std::fprintf(stderr, "[%s]", pwd.error().message().c_str());
          _exit(1);
        }
        _exit(pwd->status.success() && pwd->out == dir.string() + "\n" ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

TEST(SpawnAndWait, AddsAndReplacesEnvironmentVariablesAndReportsTheExit) {
  TempDir tmp;
  test::ScopedEnv inherited("ORVO_TEST_INHERITED", "kept");
  test::ScopedEnv replaced("ORVO_WORKTREE", "old");
  const Command command{"sh",
                        {"-c",
                         "echo \"$ORVO_TEST_INHERITED $ORVO_WORKTREE $ORVO_EXTRA\" > env; "
                         "env | grep -c ^ORVO_WORKTREE= >> env; exit 3"},
                        tmp.path(),
                        {{"ORVO_WORKTREE", "/w/feat"}, {"ORVO_EXTRA", "x y"}}};
  const auto status = spawn_and_wait(command);
  ASSERT_TRUE(status) << status.error().message();
  EXPECT_EQ(status->code(), 3);
  EXPECT_FALSE(status->success());
  EXPECT_EQ(read_file(tmp / "env"), "kept /w/feat x y\n1\n");
}

TEST(SpawnAndWait, GivesTheChildTheStreamsItIsHanded) {
  TempDir tmp;
  int input[2];
  ASSERT_EQ(sys::open_cloexec_pipe(input), 0);
  ASSERT_EQ(write(input[1], "typed\n", 6), 6);
  close(input[1]);
  const int out = open((tmp / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  const int err = open((tmp / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(out, 0);
  ASSERT_GE(err, 0);
  const auto status = spawn_and_wait(shell("read -r line; echo \"read $line\"; echo oops >&2"),
                                     {input[0], out, err});
  close(input[0]);
  close(out);
  close(err);
  ASSERT_TRUE(status) << status.error().message();
  EXPECT_TRUE(status->success());
  EXPECT_EQ(read_file(tmp / "out"), "read typed\n");
  EXPECT_EQ(read_file(tmp / "err"), "oops\n");
}

TEST(SpawnAndWait, GivesTheNullDeviceAndASessionOfItsOwnWhenAsked) {
  TempDir tmp;
  const std::string script =
      ": > streams; for fd in 0 1 2; do [ /dev/fd/$fd -ef /dev/null ] && echo null >> streams; "
      "done; "
      "[ $(ps -o pgid= -p $$) = $$ ] && echo leader >> streams; exit 0";
  const StdStreams null{StdStreams::kNullDevice, StdStreams::kNullDevice, StdStreams::kNullDevice};
  const std::string streams = "null\nnull\nnull\n";
  for (const bool new_session : {false, true}) {
    SCOPED_TRACE(new_session);
    const auto status = spawn_and_wait({"sh", {"-c", script}, tmp.path(), {}, new_session}, null);
    ASSERT_TRUE(status) << status.error().message();
    EXPECT_TRUE(status->success());
    EXPECT_EQ(read_file(tmp / "streams"), new_session ? streams + "leader\n" : streams);
  }
}

TEST(SpawnDetached, ReturnsAtOnceAndReapsTheChildWhenItEnds) {
  TempDir tmp;
  // The child waits for a file that the test creates only after the call has returned.
  const auto pid = spawn_detached(
      {"sh", {"-c", "while [ ! -e go ]; do sleep 0.01; done; touch done"}, tmp.path(), {}});
  ASSERT_TRUE(pid) << pid.error().message();
  write_file(tmp / "go", "");
  EXPECT_TRUE(test::eventually([&] { return std::filesystem::exists(tmp / "done"); }));
  // Once reaped, a child leaves no process entry behind (a zombie keeps one).
  EXPECT_TRUE(test::eventually([&] { return kill(*pid, 0) != 0 && errno == ESRCH; }));
}

TEST(ExitStatusText, DescribesEveryKindOfWaitStatus) {
  struct Case {
    int raw;
    std::string text;
  };
  // Both systems encode an exit code in the second byte, a terminating signal in the low seven
  // bits with 0x80 for a core dump, and a stop as 0x7f with the signal in the second byte; the
  // signal numbers are the platform's own (SIGSTOP is 19 on Linux, 17 on macOS), so these rows
  // hold on both, though only Linux runs them here.
  std::vector<Case> cases = {
      {0, "exit status: 0"},
      {3 << 8, "exit status: 3"},
      {255 << 8, "exit status: 255"},
      {SIGINT, "signal: 2 (SIGINT)"},
      {SIGKILL, "signal: 9 (SIGKILL)"},
      {SIGSEGV | 0x80, "signal: 11 (SIGSEGV) (core dumped)"},
      // A number past every named signal of both systems.
      {40, "signal: 40"},
      {(SIGSTOP << 8) | 0x7f,
       "stopped (not terminated) by signal: " + std::to_string(SIGSTOP) + " (SIGSTOP)"},
  };
#if defined(__linux__)
  // Neither system has a macro that builds a "continued" status, and their encodings differ
  // (macOS's is 0x137f, where 0xff reads as "stopped by signal 0"): these rows are checked only
  // on Linux.
  cases.push_back({0xffff, "continued (WIFCONTINUED)"});
  cases.push_back({0xff, "unrecognised wait status: 255 0xff"});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(exit_status_text(ExitStatus{c.raw}), c.text);
  }
  EXPECT_EQ(ExitStatus{3 << 8}.code(), 3);
  EXPECT_EQ(ExitStatus{SIGKILL}.signal(), SIGKILL);
  EXPECT_FALSE(ExitStatus{SIGKILL}.code());
  EXPECT_TRUE(ExitStatus{0}.success());
}

}  // namespace
}  // namespace orvo::sys
