// The terminal session in a real terminal: the probe program under tmux.

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

using namespace std::chrono_literals;

const std::string kProbe = ORVO_TERMINAL_PROBE;

// Runs the probe from a shell that reports, on the shell's own screen, whether the terminal
// modes came back as they were and how the probe ended; the shell then stays.
std::vector<std::string> probe_in_shell(const std::vector<std::string>& probe_args = {}) {
  std::string line =
      "before=$(stty -g); echo shell-screen; \"$0\" \"$@\"; status=$?; "
      "[ \"$before\" = \"$(stty -g)\" ] && echo tty-modes-restored; "
      "echo probe-exit=$status; exec sleep 600";
  std::vector<std::string> argv = {"sh", "-c", line, kProbe};
  argv.insert(argv.end(), probe_args.begin(), probe_args.end());
  return argv;
}

pid_t probe_pid(const Tmux& tmux) {
  std::smatch match;
  const std::string screen = tmux.capture();
  EXPECT_TRUE(std::regex_search(screen, match, std::regex("probe pid=([0-9]+)"))) << screen;
  return match.empty() ? 0 : std::stoi(match[1]);
}

// The shell's screen is back with the modes it had, and the probe ended with `status`.
void expect_shell_restored(const Tmux& tmux, int status) {
  const std::string exit_line = "probe-exit=" + std::to_string(status);
  ASSERT_TRUE(tmux.wait_for_text(exit_line)) << tmux.capture();
  const std::string screen = tmux.capture();
  EXPECT_NE(screen.find("shell-screen"), std::string::npos) << screen;
  EXPECT_NE(screen.find("tty-modes-restored"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("probe pid="), std::string::npos) << screen;
  EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
  EXPECT_EQ(tmux.query("#{cursor_flag}"), "1");
  EXPECT_EQ(tmux.query("#{keypad_flag}"), "0");
}

// Keys as tmux sends them, decoded with the terminal descriptions users run inside it.
class TerminalProbeKeys : public testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Terminals, TerminalProbeKeys,
                         testing::Values("xterm-256color", "tmux-256color", "screen"));

TEST_P(TerminalProbeKeys, DecodesRealKeys) {
  TmuxOptions options;
  options.term = GetParam();
  Tmux tmux({kProbe}, options);
  ASSERT_TRUE(tmux.wait_for_text("last: -")) << tmux.capture();
  struct Case {
    const char* key;
    const char* decoded;
  } const cases[] = {
      {"C-p", "Ctrl+Char(p)"},
      {"M-a", "Alt+Char(a)"},
      {"A", "Shift+Char(A)"},
      {"Escape", "Esc"},
      {"j", "Char(j)"},
      {"BTab", "Shift+BackTab"},
      {"Up", "Up"},
      {"Down", "Down"},
      {"Left", "Left"},
      {"Right", "Right"},
      {"Home", "Home"},
      {"End", "End"},
      {"Enter", "Enter"},
      {"BSpace", "Backspace"},
      {"Tab", "Tab"},
      {"C-c", "Ctrl+Char(c)"},
      {"C-Up", "Ctrl+Up"},
      {"DC", "Delete"},
      {"PPage", "PageUp"},
      {"F5", "F(5)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    tmux.send_keys({c.key});
    EXPECT_TRUE(tmux.wait_for_text(std::string("last: ") + c.decoded + "\n")) << tmux.capture();
    // A different key in between, so the next wait cannot match the previous key.
    tmux.send_keys({"x"});
    ASSERT_TRUE(tmux.wait_for_text("last: Char(x)")) << tmux.capture();
  }
}

TEST(TerminalProbe, DrawsAtTheNewSizeAfterAResize) {
  Tmux tmux({kProbe});
  ASSERT_TRUE(tmux.wait_for_text("size=80x24")) << tmux.capture();
  tmux.resize(100, 30);
  EXPECT_TRUE(tmux.wait_for_text("size=100x30")) << tmux.capture();
  tmux.resize(50, 12);
  EXPECT_TRUE(tmux.wait_for_text("size=50x12")) << tmux.capture();
}

TEST(TerminalProbe, ColoursAreTheNearestOf256AndNoneWithNoColor) {
  {
    Tmux tmux({kProbe});
    ASSERT_TRUE(tmux.wait_for_text("styled")) << tmux.capture();
    const std::string styled = tmux.capture_with_styles();
    EXPECT_NE(styled.find("48;5;236"), std::string::npos) << styled;
  }
  {
    TmuxOptions options;
    options.env = {{"NO_COLOR", "1"}};
    Tmux tmux({kProbe}, options);
    ASSERT_TRUE(tmux.wait_for_text("styled")) << tmux.capture();
    const std::string styled = tmux.capture_with_styles();
    EXPECT_EQ(styled.find("\033["), std::string::npos) << styled;
  }
}

TEST(TerminalProbe, NonAsciiSymbolsShowWhateverTheLocale) {
  for (const char* locale : {"C.UTF-8", "C", "POSIX"}) {
    SCOPED_TRACE(locale);
    TmuxOptions options;
    options.env = {{"LC_ALL", locale}};
    Tmux tmux({kProbe}, options);
    EXPECT_TRUE(tmux.wait_for_text("symbols: ▼ ∅ › · — ▋")) << tmux.capture();
  }
}

TEST(TerminalProbe, QuittingOrExitingGivesTheShellItsScreenBack) {
  struct Case {
    const char* key;
    int status;
  } const cases[] = {{"q", 0}, {"e", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    Tmux tmux(probe_in_shell());
    ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
    EXPECT_EQ(tmux.query("#{alternate_on}"), "1");
    EXPECT_EQ(tmux.query("#{cursor_flag}"), "0");
    tmux.send_keys({c.key});
    expect_shell_restored(tmux, c.status);
  }
}

TEST(TerminalProbe, SignalsEndingTheProgramRestoreTheTerminal) {
  struct Case {
    int sig;
    bool crash;
  } const cases[] = {
      {SIGTERM, false}, {SIGHUP, false}, {SIGINT, false}, {SIGQUIT, false},
      {SIGSEGV, true},  {SIGABRT, true}, {SIGBUS, true},  {SIGFPE, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(strsignal(c.sig));
    Tmux tmux(probe_in_shell());
    ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
    ASSERT_EQ(kill(probe_pid(tmux), c.sig), 0);
    if (c.crash) {
      // The signal goes on to the default action or the sanitizer's report; either way the
      // program fails.
      ASSERT_TRUE(tmux.wait_for_text("probe-exit=")) << tmux.capture();
      EXPECT_EQ(tmux.capture().find("probe-exit=0"), std::string::npos);
      const std::string screen = tmux.capture();
      EXPECT_NE(screen.find("tty-modes-restored"), std::string::npos) << screen;
      EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
      EXPECT_EQ(tmux.query("#{cursor_flag}"), "1");
    } else {
      expect_shell_restored(tmux, 128 + c.sig);
    }
  }
}

TEST(TerminalProbe, AnUnknownTerminalTypeIsAnErrorWithTheTerminalUntouched) {
  TmuxOptions options;
  options.term = "orvo-no-such-terminal";
  Tmux tmux(probe_in_shell(), options);
  ASSERT_TRUE(tmux.wait_for_text("probe-exit=1")) << tmux.capture();
  const std::string screen = tmux.capture();
  EXPECT_NE(screen.find("Error: unknown terminal type \"orvo-no-such-terminal\""),
            std::string::npos)
      << screen;
  EXPECT_NE(screen.find("tty-modes-restored"), std::string::npos) << screen;
}

TEST(TerminalProbe, AnIdleLoopWritesNothing) {
  TempDir dir;
  Tmux tmux({kProbe});
  ASSERT_TRUE(tmux.wait_for_text("last: -")) << tmux.capture();
  std::this_thread::sleep_for(100ms);

  tmux.record_output(dir / "idle");
  std::this_thread::sleep_for(800ms);  // ten turns of the loop
  tmux.stop_recording_output();
  EXPECT_EQ(read_file(dir / "idle"), "");

  tmux.record_output(dir / "key");
  tmux.send_keys({"k"});
  ASSERT_TRUE(tmux.wait_for_text("last: Char(k)")) << tmux.capture();
  tmux.stop_recording_output();
  EXPECT_NE(read_file(dir / "key"), "") << "the recording sees what is drawn";
}

TEST(TerminalProbe, AForegroundChildGetsTheTerminalAndItsKeysStayWithIt) {
  Tmux tmux(probe_in_shell({"sh", "-c", "echo child-running; sleep 1"}));
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  tmux.send_keys({"z"});
  ASSERT_TRUE(tmux.wait_for_text("child-running")) << tmux.capture();
  EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
  EXPECT_EQ(tmux.query("#{cursor_flag}"), "1");
  tmux.send_keys({"d", "y"});  // typed for the child, which never reads them

  ASSERT_TRUE(tmux.wait_for_text("child: exit 0")) << tmux.capture();
  EXPECT_EQ(tmux.query("#{alternate_on}"), "1");
  std::this_thread::sleep_for(200ms);
  EXPECT_NE(tmux.capture().find("keys:\n"), std::string::npos) << tmux.capture();

  tmux.send_keys({"k"});
  ASSERT_TRUE(tmux.wait_for_text("last: Char(k)")) << tmux.capture();
  EXPECT_NE(tmux.capture().find("keys: Char(k)\n"), std::string::npos) << tmux.capture();
  tmux.send_keys({"q"});
  expect_shell_restored(tmux, 0);
}

TEST(TerminalProbe, CtrlCInAForegroundChildEndsOnlyTheChild) {
  Tmux tmux({kProbe, "sleep", "30"});
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  tmux.send_keys({"z"});
  ASSERT_TRUE(tmux.wait_until([&](const std::string&) {
    return tmux.query("#{alternate_on}") == "0";
  })) << tmux.capture();
  std::this_thread::sleep_for(100ms);
  tmux.send_keys({"C-c"});
  ASSERT_TRUE(tmux.wait_for_text("child: signal 2")) << tmux.capture();
  tmux.send_keys({"q"});
  EXPECT_EQ(tmux.wait_for_exit(), 0) << tmux.capture();
}

}  // namespace
}  // namespace orvo::test
