// The full-screen interface of the built binary under tmux, with recording fakes of the editor,
// osascript and the agent first on PATH.

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "e2e/run_orvo.hpp"
#include "orvo_sys/text.hpp"
#include "support/git_repo.hpp"
#include "support/idle_output.hpp"
#include "support/shell_restored.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

// `text` followed by blanks up to `cells` cells; every character of it takes one cell.
std::string pad(const std::string& text, std::size_t cells) {
  std::size_t width = 0;
  for (std::string_view rest = text; !rest.empty();
       rest.remove_prefix(sys::decode_utf8(rest).length)) {
    ++width;
  }
  return width < cells ? text + std::string(cells - width, ' ') : text;
}

// A row of the list box of a screen `width` cells wide.
std::string box_row(const std::string& text, std::size_t width) {
  return "│" + pad(text, width - 2) + "│";
}

std::vector<std::string> lines_of(const std::string& screen) {
  std::vector<std::string> lines;
  std::istringstream in(screen);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string rule(std::size_t width) {
  std::string out;
  for (std::size_t i = 0; i < width; ++i) {
    out += "─";
  }
  return out;
}

// A home, a repository "proj" (quick base main) with a linked worktree "feat", and a folder of
// fake programs: an editor and osascript that record their arguments, and an agent `pi` that
// records its directory, environment and arguments, waits without reading its input until the
// test releases it (at most ten seconds), and exits with status 3.
class TuiTest : public testing::Test {
 protected:
  TuiTest() : repo_(tmp_ / "src" / "proj") {
    repo_.add_worktree(feat(), "feat");
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(calls());
    write_file(bin() / "editor",
               fmt::format("#!/bin/sh\nprintf '%s\\n' \"$@\" > '{0}/editor.part'\n"
                           "mv '{0}/editor.part' '{0}/editor'\n",
                           calls().string()),
               true);
    write_file(bin() / "osascript",
               fmt::format("#!/bin/sh\nprintf '%s\\n' \"$@\" > '{0}/osascript.part'\n"
                           "mv '{0}/osascript.part' '{0}/osascript'\n",
                           calls().string()),
               true);
    write_file(bin() / "pi",
               fmt::format("#!/bin/sh\n"
                           "{{ pwd; echo \"ORVO_WORKTREE=$ORVO_WORKTREE\";"
                           " echo \"ORVO_MAIN_REPO=${{ORVO_MAIN_REPO-unset}}\"; echo \"args=$#\";"
                           " }} > '{0}/pi.part'\n"
                           "mv '{0}/pi.part' '{0}/pi'\n"
                           "echo agent-running\n"
                           "i=0\n"
                           "while [ ! -e '{0}/release' ] && [ $i -lt 100 ]; do\n"
                           "  sleep 0.1; i=$((i + 1))\n"
                           "done\n"
                           "exit 3\n",
                           calls().string()),
               true);
    write_prefs("pi");
  }

  [[nodiscard]] std::filesystem::path home() const { return tmp_ / "home"; }
  [[nodiscard]] std::filesystem::path bin() const { return tmp_ / "bin"; }
  [[nodiscard]] std::filesystem::path calls() const { return tmp_ / "calls"; }
  [[nodiscard]] std::filesystem::path feat() const { return tmp_ / "wt" / "feat"; }

  void write_prefs(const std::string& pi_bin) const {
    write_file(state_file(home()),
               fmt::format(R"({{"projects":[],"prefs":{{"editor_cmd":"{}","pi_bin":"{}",)"
                           R"("pi_extra_args":["--extra"],"default_start_pi_on_create":true}}}})",
                           (bin() / "editor").string(), pi_bin));
  }

  // Orvo on the repository, run from a shell that afterwards reports on its own screen how Orvo
  // left the terminal and how it ended.
  [[nodiscard]] Tmux start(std::uint16_t width = 80, std::uint16_t height = 24) const {
    TmuxOptions options;
    options.width = width;
    options.height = height;
    options.home = home();
    options.env = {{"PATH", search_path_with(bin())}};
    return Tmux(in_reporting_shell({ORVO_EXE, repo_.path().string()}), options);
  }

  // Orvo ended with `status` and gave the shell its screen and modes back.
  static void expect_orvo_ended(const Tmux& tmux, int status) {
    expect_shell_restored(tmux, status, "Orvo · worktree agent shell");
  }

  TempDir tmp_;
  GitRepo repo_;
};

TEST_F(TuiTest, BrowsesRefreshesOpensTheEditorFollowsAResizeAndQuits) {
  Tmux tmux = start();
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  const std::vector<std::string> first = lines_of(tmux.capture());
  ASSERT_EQ(first.size(), 24u) << tmux.capture();
  EXPECT_EQ(first[0], " Orvo · worktree agent shell · 1 projects");
  EXPECT_EQ(first[1], "┌ Projects / Worktrees " + rule(56) + "┐");
  EXPECT_EQ(first[2], box_row("  ▼ proj  main", 80));
  EXPECT_EQ(first[3], box_row("›   proj  [main] main", 80));
  EXPECT_EQ(first[4], box_row("    feat  [feat]", 80));
  EXPECT_EQ(first[5], box_row("", 80));
  EXPECT_EQ(first[20], "└" + rule(78) + "┘");
  EXPECT_EQ(first[21], "ctx " + repo_.path().string());
  EXPECT_EQ(first[22], rule(80));
  EXPECT_EQ(first[23],
            "j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d");
  EXPECT_EQ(tmux.query("#{alternate_on}"), "1");
  EXPECT_EQ(tmux.query("#{cursor_flag}"), "0");

  tmux.send_keys({"j"});
  ASSERT_TRUE(tmux.wait_for_text(box_row("›   feat  [feat]", 80))) << tmux.capture();
  tmux.send_keys({"k"});
  ASSERT_TRUE(tmux.wait_for_text(box_row("›   proj  [main] main", 80))) << tmux.capture();

  // A worktree made behind Orvo's back shows after `r`, with the cursor on the focused row.
  repo_.add_worktree(tmp_ / "wt" / "late", "late");
  tmux.send_keys({"j", "j", "r"});
  ASSERT_TRUE(tmux.wait_for_text("ctx " + repo_.path().string() + "  ·  refreshed"))
      << tmux.capture();
  ASSERT_TRUE(tmux.wait_for_text(box_row("    late  [late]", 80))) << tmux.capture();
  EXPECT_TRUE(tmux.wait_for_text(box_row("›   proj  [main] main", 80))) << tmux.capture();

  tmux.send_keys({"j", "e"});
  ASSERT_TRUE(tmux.wait_for_text("  ·  opened editor")) << tmux.capture();
  ASSERT_TRUE(tmux.wait_until(
      [&](const std::string&) { return std::filesystem::exists(calls() / "editor"); }));
  EXPECT_EQ(read_file(calls() / "editor"), feat().string() + "\n");

  tmux.resize(100, 30);
  ASSERT_TRUE(tmux.wait_until([](const std::string& screen) {
    return lines_of(screen).size() == 30 && lines_of(screen)[29].ends_with("r refresh ·");
  })) << tmux.capture();
  const std::vector<std::string> resized = lines_of(tmux.capture());
  EXPECT_EQ(resized[1], "┌ Projects / Worktrees " + rule(76) + "┐");
  EXPECT_EQ(resized[4], box_row("›   feat  [feat]", 100));
  EXPECT_EQ(resized[26], "└" + rule(98) + "┘");
  EXPECT_EQ(resized[29],
            "j/k move · enter select · n new-wt · p pi · e editor · b quick-base · a add · d "
            "del-wt · r refresh ·");

  tmux.send_keys({"q"});
  expect_orvo_ended(tmux, 0);
}

TEST_F(TuiTest, AnIdleInterfaceWritesNothing) {
  Tmux tmux = start();
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  EXPECT_EQ(output_while_idle(tmux, tmp_ / "output", "j", box_row("›   feat  [feat]", 80)), "");
  tmux.send_keys({"q"});
  expect_orvo_ended(tmux, 0);
}

TEST_F(TuiTest, TerminationSignalsRestoreTheTerminal) {
  for (const int sig : {SIGTERM, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    Tmux tmux = start();
    ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
    const pid_t pid = orvo_pid(tmux);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, sig), 0);
    expect_orvo_ended(tmux, 128 + sig);
  }
}

TEST_F(TuiTest, AgentKeyRunsTheAgentInTheForegroundAndDropsKeysTypedMeanwhile) {
  Tmux tmux = start(160, 24);
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  tmux.send_keys({"j", "p"});
  ASSERT_TRUE(tmux.wait_for_text("agent-running")) << tmux.capture();
  const std::string agent_screen = tmux.capture();
  EXPECT_NE(agent_screen.find("—— Orvo · Pi @ " + feat().string() + " ——\n\nagent-running"),
            std::string::npos)
      << agent_screen;
  expect_shell_terminal_modes(tmux);
  // Typed for the agent, which does not read them: they must not delete the worktree.
  tmux.send_keys({"d", "y"});
  ASSERT_TRUE(tmux.wait_for_text("agent-running\ndy")) << "echoed: the terminal has them\n"
                                                       << tmux.capture();
  write_file(calls() / "release", "");

  ASSERT_TRUE(tmux.wait_for_text("ctx " + feat().string() + "  ·  Pi exited (exit status: 3)"))
      << tmux.capture();
  EXPECT_TRUE(tmux.wait_for_text(box_row("›   feat  [feat]", 160))) << tmux.capture();
  // A key typed now moves the cursor: no dialog of the keys typed for the agent takes it.
  tmux.send_keys({"k"});
  ASSERT_TRUE(tmux.wait_for_text(box_row("›   proj  [main] main", 160))) << tmux.capture();
  const std::string back = tmux.capture();
  EXPECT_EQ(back.find("Confirm Delete"), std::string::npos) << back;
  EXPECT_TRUE(std::filesystem::exists(feat()));
  EXPECT_EQ(tmux.query("#{alternate_on}"), "1");

  EXPECT_EQ(read_file(calls() / "pi"), feat().string() + "\nORVO_WORKTREE=" + feat().string() +
                                           "\nORVO_MAIN_REPO=unset\nargs=0\n");
  ASSERT_TRUE(tmux.wait_until(
      [&](const std::string&) { return std::filesystem::exists(calls() / "osascript"); }));
  EXPECT_EQ(
      read_file(calls() / "osascript"),
      "-e\ntell application \"Terminal\" to do script \"cd '" + feat().string() + "' && 'pi'\"\n");

  tmux.send_keys({"q"});
  expect_orvo_ended(tmux, 0);
}

// On a Mac, Terminal answers osascript's `do script` on its standard output ("tab 1 of window id
// …") and a refused Automation permission is an error on its standard error; both come while the
// agent runs or after Orvo has its screen back. This fake writes both once the agent runs and
// again when the test says so, its last error in two pieces; the stand-in of other systems is
// started the same way. That the real osascript and Terminal write these texts at these times
// only a Mac can show.
TEST_F(TuiTest, TheWindowProgramsOutputShowsOnlyInTheStatusLine) {
  write_file(bin() / "osascript",
             fmt::format("#!/bin/sh\n"
                         "i=0\n"
                         "while [ ! -e '{0}/pi' ] && [ $i -lt 200 ]; do\n"
                         "  sleep 0.05; i=$((i + 1))\n"
                         "done\n"
                         "echo 'tab 1 of window id 4242'\n"
                         "echo 'first window error' >&2\n"
                         "touch '{0}/early'\n"
                         "i=0\n"
                         "while [ ! -e '{0}/late' ] && [ $i -lt 200 ]; do\n"
                         "  sleep 0.05; i=$((i + 1))\n"
                         "done\n"
                         "echo 'tab 2 of window id 4243'\n"
                         "printf 'execution error: Not authorized to send Apple events to ' >&2\n"
                         "sleep 0.3\n"
                         "printf 'Terminal. (-1743)\\n\\n' >&2\n",
                         calls().string()),
             true);
  const std::string late_error =
      "Terminal window: execution error: Not authorized to send Apple events to Terminal. (-1743)";
  Tmux tmux = start(200, 24);
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  tmux.send_keys({"j", "p"});
  ASSERT_TRUE(tmux.wait_for_text("agent-running")) << tmux.capture();
  ASSERT_TRUE(tmux.wait_until(
      [&](const std::string&) { return std::filesystem::exists(calls() / "early"); }));
  // Written straight to the terminal, the lines would show within this wait.
  EXPECT_FALSE(tmux.wait_until(
      [](const std::string& screen) { return screen.find("window") != std::string::npos; },
      std::chrono::milliseconds(500)))
      << tmux.capture();

  write_file(calls() / "release", "");
  ASSERT_TRUE(
      tmux.wait_for_text("ctx " + feat().string() + "  ·  Terminal window: first window error"))
      << "read after the agent, it replaces \"Pi exited\"\n"
      << tmux.capture();
  const std::string before = tmux.capture();
  write_file(calls() / "late", "");
  ASSERT_TRUE(tmux.wait_for_text(late_error)) << tmux.capture();
  std::string expected = before;
  expected.replace(expected.find("Terminal window: first window error"),
                   std::string("Terminal window: first window error").size(), late_error);
  EXPECT_EQ(tmux.capture(), expected) << "nothing else on the screen changed";
  EXPECT_EQ(tmux.query("#{cursor_flag}"), "0");

  tmux.send_keys({"q"});
  expect_orvo_ended(tmux, 0);
  EXPECT_EQ(tmux.capture().find("tab "), std::string::npos) << tmux.capture();
}

TEST_F(TuiTest, AnAgentThatCannotStartIsAStatusMessage) {
  struct Case {
    const char* name;
    const char* pi_bin;
    bool remove_worktree;
  } const cases[] = {
      {"program not on the search path", "no-such-agent", false},
      {"worktree directory gone", "pi", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write_prefs(c.pi_bin);
    Tmux tmux = start(160, 24);
    ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
    if (c.remove_worktree) {
      std::filesystem::remove_all(feat());
    }
    tmux.send_keys({"j", "p"});
    ASSERT_TRUE(tmux.wait_for_text(
        "  ·  Pi failed: No such file or directory (os error 2) (is `pi` on PATH?)"))
        << tmux.capture();
    EXPECT_FALSE(std::filesystem::exists(calls() / "pi"));
    tmux.send_keys({"q"});
    expect_orvo_ended(tmux, 0);
  }
}

TEST_F(TuiTest, AKeyWhoseCommandFailsEndsTheInterfaceWithItsError) {
  Tmux tmux = start(160, 24);
  ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  // Saving the quick base now fails: a file stands where the state file's folder was.
  const std::filesystem::path state_dir = state_file(home()).parent_path();
  std::filesystem::remove_all(state_dir);
  write_file(state_dir, "in the way");
  tmux.send_keys({"b"});
  ASSERT_TRUE(tmux.wait_for_text("Quick Base")) << tmux.capture();
  tmux.send_keys({"Enter"});
  expect_orvo_ended(tmux, 1);
  EXPECT_NE(tmux.capture().find("Error: io: "), std::string::npos) << tmux.capture();
}

TEST_F(TuiTest, FailuresBeforeTheLoopLeaveTheTerminalAloneAndAreReported) {
  std::filesystem::create_directories(tmp_ / "plain");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string error;
  } const cases[] = {
      {"start-up path in no repository",
       {(tmp_ / "plain").string()},
       "Error: git failed (128): fatal: not a git repository (or any of the parent directories): "
       ".git\n"},
      {"no terminal",
       {},
       "Error: no terminal: standard input, standard output and /dev/tty are not terminals\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const sys::Output out = run_orvo(home(), {{"TERM", "xterm-256color"}}, c.args);
    EXPECT_EQ(out.status.code(), 1);
    EXPECT_EQ(out.out, "");
    EXPECT_EQ(out.err, c.error);
  }
}

}  // namespace
}  // namespace orvo::test
