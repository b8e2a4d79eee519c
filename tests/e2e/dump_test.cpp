#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <thread>

#include "e2e/run_orvo.hpp"
#include "orvo_sys/portable.hpp"
#include "orvo_sys/process.hpp"
#include "support/git_repo.hpp"
#include "support/temp_dir.hpp"

namespace orvo::test {
namespace {

const std::vector<std::pair<std::string, std::string>> kDump = {{"ORVO_DUMP", "1"}};

constexpr const char* kEmptyListing =
    "Orvo \u2014 Orvo\n========================\n(no projects \u2014 press `a` to add)\n";

// Runs orvo in dump mode with HOME set to `home`, `stdout_fd` as its standard output, its
// standard error into `err_file` and SIGPIPE at its default; gives the wait status.
int dump_into(const std::filesystem::path& home, int stdout_fd,
              const std::filesystem::path& err_file) {
  const int err_fd = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (err_fd < 0) {
    return -1;
  }
  const auto status =
      sys::spawn_and_wait({.program = "env",
                           .args = {"-u", "RUST_LOG", "-u", "NO_COLOR", "-u", "ORVO_DUMP",
                                    "HOME=" + home.string(), "ORVO_DUMP=1", ORVO_EXE},
                           .cwd = {},
                           .env = {}},
                          {.out = stdout_fd, .err = err_fd});
  close(err_fd);
  return status ? status->raw : -1;
}

// A home folder and a repository "proj" with an origin, a linked worktree and a detached one.
class DumpTest : public testing::Test {
 protected:
  DumpTest() : repo_(tmp_ / "src" / "proj") {
    repo_.add_origin(tmp_ / "origin.git", "main");
    repo_.add_worktree(tmp_ / "wt" / "feat", "feat/x");
    repo_.add_detached_worktree(tmp_ / "wt" / "loose");
    std::filesystem::create_directories(repo_.path() / "sub" / "dir");
    std::filesystem::create_directories(home());
  }

  [[nodiscard]] std::filesystem::path home() const { return tmp_ / "home"; }

  TempDir tmp_;
  GitRepo repo_;
};

TEST_F(DumpTest, EmptyStateListsNoProjects) {
  const sys::Output out = run_orvo(home(), kDump);
  EXPECT_EQ(out.status.code(), 0);
  EXPECT_EQ(out.out, kEmptyListing);
  EXPECT_EQ(out.err, "");
  EXPECT_FALSE(std::filesystem::exists(state_file(home())));
}

TEST_F(DumpTest, ModeIsOnForAnyValue) {
  for (const char* value : {"", "0"}) {
    SCOPED_TRACE(value);
    const sys::Output out = run_orvo(home(), {{"ORVO_DUMP", value}});
    EXPECT_EQ(out.status.code(), 0);
    EXPECT_EQ(out.out, kEmptyListing);
  }
}

TEST_F(DumpTest, RegistersTheStartUpPathAndKeepsItForLaterRuns) {
  const std::string main_wt = "  \u2192 proj  [main] (main)\n";
  const std::string rest =
      "    feat  [feat/x]\n"
      "    loose  [detached]\n";
  const sys::Output first = run_orvo(home(), kDump, {(repo_.path() / "sub" / "dir").string()});
  EXPECT_EQ(first.status.code(), 0) << first.err;
  EXPECT_EQ(first.err, "");
  EXPECT_EQ(first.out,
            "Orvo \u2014 Orvo\n========================\n"
            "\u25bc proj  quick: origin/main\n" +
                main_wt + rest);
  EXPECT_TRUE(std::filesystem::exists(state_file(home())));

  // Without the argument nothing is focused, so no line carries the arrow.
  const sys::Output second = run_orvo(home(), kDump);
  EXPECT_EQ(second.status.code(), 0);
  EXPECT_EQ(second.out,
            "Orvo \u2014 Orvo\n========================\n"
            "\u25bc proj  quick: origin/main\n"
            "    proj  [main] (main)\n" +
                rest);
}

TEST_F(DumpTest, OnlyTheFirstArgumentCountsAndHyphensMakeNoOption) {
  const sys::Output out =
      run_orvo(home(), kDump, {repo_.path().string(), "--help", "/nonexistent"});
  EXPECT_EQ(out.status.code(), 0) << out.err;

  const sys::Output option = run_orvo(home(), kDump, {"--version"});
  EXPECT_EQ(option.status.code(), 1);
  EXPECT_EQ(option.out, "");
  EXPECT_NE(option.err.find("not a git repository: --version"), std::string::npos) << option.err;
}

TEST_F(DumpTest, DeletedRepositoryIsListedWithoutWorktrees) {
  ASSERT_EQ(run_orvo(home(), kDump, {repo_.path().string()}).status.code(), 0);
  std::filesystem::remove_all(repo_.path());
  const sys::Output out = run_orvo(home(), kDump);
  EXPECT_EQ(out.status.code(), 0);
  EXPECT_EQ(out.out,
            "Orvo \u2014 Orvo\n========================\n\u25bc proj  quick: origin/main\n");
  EXPECT_EQ(out.err, "");
}

TEST_F(DumpTest, ALabelHoldingALineFeedIsPrintedAsItIs) {
  const GitRepo repo(tmp_ / "src" / "lf");
  test::run_git(repo.path(), {"worktree", "add", "--quiet", "-b", "plain", "../a"});
  test::run_git(repo.path(), {"worktree", "add", "--quiet", "-b", "nl", "../a\nb"});
  const sys::Output out = run_orvo(home(), kDump, {repo.path().string()});
  EXPECT_EQ(out.status.code(), 0) << out.err;
  EXPECT_EQ(out.out,
            "Orvo \u2014 Orvo\n========================\n"
            "\u25bc lf  quick: main\n"
            "  \u2192 lf  [main] (main)\n"
            "    a  [plain]\n"
            "    a\nb  [nl]\n");
}

TEST_F(DumpTest, PathOutsideAnyRepositoryFailsWithoutOutputOrState) {
  const std::filesystem::path outside = tmp_ / "outside";
  std::filesystem::create_directories(outside);
  const sys::Output out = run_orvo(home(), kDump, {outside.string()});
  EXPECT_EQ(out.status.code(), 1);
  EXPECT_EQ(out.out, "");
  EXPECT_TRUE(out.err.starts_with("Error: git failed (128): fatal: not a git repository"))
      << out.err;
  EXPECT_TRUE(out.err.ends_with("\n"));
  EXPECT_FALSE(std::filesystem::exists(state_file(home())));
}

TEST_F(DumpTest, DamagedStateFileIsReportedAndLeftAlone) {
  const std::string damaged = "{\"projects\": [], \"prefs\": ";
  write_file(state_file(home()), damaged);
  const sys::Output out = run_orvo(home(), kDump, {repo_.path().string()});
  EXPECT_EQ(out.status.code(), 1);
  EXPECT_EQ(out.out, "");
  EXPECT_EQ(out.err,
            "Error: json: EOF while parsing a value at line 1 column 26\n\nCaused by:\n"
            "    EOF while parsing a value at line 1 column 26\n");
  EXPECT_EQ(read_file(state_file(home())), damaged);
}

TEST_F(DumpTest, DiagnosticsFollowRustLog) {
  const std::string path = repo_.path().string();
  const sys::Output off = run_orvo(home(), kDump, {path});
  EXPECT_EQ(off.err, "");

  const sys::Output info = run_orvo(
      home() / "other", {{"ORVO_DUMP", "1"}, {"RUST_LOG", "info"}, {"NO_COLOR", "1"}}, {path});
  EXPECT_EQ(info.status.code(), 0);
  const std::regex line(
      R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z  INFO orvo_store: add project name=proj path=)" +
      path + "\n");
  EXPECT_TRUE(std::regex_search(info.err, line)) << info.err;

  const sys::Output coloured = run_orvo(
      home() / "third", {{"ORVO_DUMP", "1"}, {"RUST_LOG", "info"}, {"NO_COLOR", ""}}, {path});
  EXPECT_NE(coloured.err.find("\x1b[32m INFO\x1b[0m"), std::string::npos) << coloured.err;

  const sys::Output invalid = run_orvo(home(), {{"ORVO_DUMP", "1"}, {"RUST_LOG", "foo=bar,info"}});
  EXPECT_EQ(invalid.status.code(), 0);
  EXPECT_TRUE(invalid.err.starts_with(
      "ignoring `foo=bar`: error parsing level filter: expected one of \"off\", \"error\", "
      "\"warn\", \"info\", \"debug\", \"trace\", or a number 0-5\n"))
      << invalid.err;
}

TEST_F(DumpTest, DiagnosticsShowWhatTheDirectivesLetThrough) {
  struct Case {
    const char* rust_log;
    bool ignoring;
    bool warn;
    bool info;
  } const cases[] = {
      {"", false, false, false},
      {"warn", false, true, false},
      {"foo=bar,orvo_store=info", true, false, true},
      {"=x", true, false, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rust_log);
    // A stored project whose repository is gone makes the refresh warn; the start-up path adds
    // a project, which is an info event.
    const std::filesystem::path dir = tmp_ / ("case" + std::to_string(n++));
    const GitRepo gone(dir / "gone");
    ASSERT_EQ(run_orvo(dir / "home", kDump, {gone.path().string()}).status.code(), 0);
    std::filesystem::remove_all(gone.path());

    const sys::Output out =
        run_orvo(dir / "home", {{"ORVO_DUMP", "1"}, {"RUST_LOG", c.rust_log}, {"NO_COLOR", "1"}},
                 {repo_.path().string()});
    EXPECT_EQ(out.status.code(), 0);
    const bool warned =
        out.err.find(" WARN orvo_runtime::app: refresh on bootstrap failed") != std::string::npos;
    const bool informed =
        out.err.find(" INFO orvo_store: add project name=proj") != std::string::npos;
    EXPECT_EQ(out.err.starts_with("ignoring `"), c.ignoring) << out.err;
    EXPECT_EQ(warned, c.warn) << out.err;
    EXPECT_EQ(informed, c.info) << out.err;
    const auto lines = static_cast<std::size_t>(std::count(out.err.begin(), out.err.end(), '\n'));
    EXPECT_EQ(lines, std::size_t{c.ignoring} + c.warn + c.info) << out.err;
  }
}

TEST_F(DumpTest, AListingThatCannotBeWrittenIsAnError) {
  const std::filesystem::path err = tmp_ / "err";
  // A reader that has gone ends the run by SIGPIPE, as for any program at the default.
  int ends[2];
  ASSERT_EQ(sys::open_cloexec_pipe(ends), 0);
  close(ends[0]);
  const int piped = dump_into(home(), ends[1], err);
  close(ends[1]);
  ASSERT_TRUE(WIFSIGNALED(piped)) << piped;
  EXPECT_EQ(WTERMSIG(piped), SIGPIPE);
  EXPECT_EQ(read_file(err), "");

  // A full disk, as Linux's /dev/full gives it (macOS has no such device).
  const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (full < 0) {
    GTEST_SKIP() << "no /dev/full here";
  }
  const int status = dump_into(home(), full, err);
  close(full);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(read_file(err), "Error: io: No space left on device (os error 28)\n");
}

TEST_F(DumpTest, TwoRunsAddingAtOnceKeepBothProjects) {
  const GitRepo first(tmp_ / "src" / "first");
  const GitRepo second(tmp_ / "src" / "second");
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    const std::filesystem::path home = tmp_ / ("home" + std::to_string(round));
    sys::Output runs[2];
    std::thread other([&] { runs[1] = run_orvo(home, kDump, {second.path().string()}); });
    runs[0] = run_orvo(home, kDump, {first.path().string()});
    other.join();
    EXPECT_EQ(runs[0].status.code(), 0) << runs[0].err;
    EXPECT_EQ(runs[1].status.code(), 0) << runs[1].err;

    const std::string listing = run_orvo(home, kDump).out;
    EXPECT_NE(listing.find("\u25bc first"), std::string::npos) << listing;
    EXPECT_NE(listing.find("\u25bc second"), std::string::npos) << listing;
  }
}

}  // namespace
}  // namespace orvo::test
