// The terminal session in a real terminal: the probe program under tmux.

#include <signal.h>

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "support/environment.hpp"
#include "support/idle_output.hpp"
#include "support/shell_restored.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

const std::string kProbe = ORVO_TERMINAL_PROBE;

// The probe with `args` run from a shell that reports how it left the terminal.
std::vector<std::string> probe_in_shell(const std::vector<std::string>& args = {}) {
  std::vector<std::string> program = {kProbe};
  program.insert(program.end(), args.begin(), args.end());
  return in_reporting_shell(program);
}

pid_t probe_pid(const Tmux& tmux) {
  std::smatch match;
  const std::string screen = tmux.capture();
  EXPECT_TRUE(std::regex_search(screen, match, std::regex("probe pid=([0-9]+)"))) << screen;
  return match.empty() ? 0 : std::stoi(match[1]);
}

// The probe with `args` run from a shell that, once the probe has ended, echoes and prints what
// it reads, so that paste marks reaching it would show.
std::vector<std::string> probe_then_cat(const std::vector<std::string>& args = {}) {
  std::vector<std::string> argv = {"sh", "-c", "\"$0\" \"$@\"; echo program-exit=$?; exec cat -v",
                                   kProbe};
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// A line pasted now reaches whoever reads the terminal in its normal modes without paste marks:
// echoed, then printed by the reader.
void expect_unmarked_paste(Tmux& tmux, const std::string& line, const std::string& printed) {
  tmux.paste(line + "\n");
  ASSERT_TRUE(tmux.wait_for_text(line + "\n" + printed)) << tmux.capture();
  EXPECT_EQ(tmux.capture().find("[20"), std::string::npos) << "paste marks\n" << tmux.capture();
}

// The shell's screen is back with the modes it had, and the probe ended with `status`.
void expect_probe_ended(const Tmux& tmux, int status) {
  expect_shell_restored(tmux, status, "probe pid=");
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
  for (const std::string& locale : {utf8_locale_name(), std::string("C"), std::string("POSIX")}) {
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
    expect_probe_ended(tmux, c.status);
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
      ASSERT_TRUE(tmux.wait_for_text("program-exit=")) << tmux.capture();
      EXPECT_EQ(tmux.capture().find("program-exit=0"), std::string::npos);
      const std::string screen = tmux.capture();
      EXPECT_NE(screen.find("tty-modes-restored"), std::string::npos) << screen;
      expect_shell_terminal_modes(tmux);
    } else {
      expect_probe_ended(tmux, 128 + c.sig);
    }
  }
}

TEST(TerminalProbe, ATypeThatCannotPlaceTheCursorIsAnErrorWithTheTerminalUntouched) {
  TmuxOptions options;
  options.term = "dumb";
  Tmux tmux(probe_in_shell(), options);
  ASSERT_TRUE(tmux.wait_for_text("program-exit=1")) << tmux.capture();
  const std::string screen = tmux.capture();
  EXPECT_NE(screen.find("Error: terminal type \"dumb\" cannot place the cursor"), std::string::npos)
      << screen;
  EXPECT_NE(screen.find("tty-modes-restored"), std::string::npos) << screen;
}

TEST(TerminalProbe, AnIdleLoopWritesNothing) {
  TempDir dir;
  Tmux tmux({kProbe});
  ASSERT_TRUE(tmux.wait_for_text("last: -")) << tmux.capture();
  EXPECT_EQ(output_while_idle(tmux, dir / "output", "k", "last: Char(k)"), "");
}

TEST(TerminalProbe, AForegroundChildGetsTheTerminalAndItsKeysStayWithIt) {
  // The child ends once the test has seen its keys echoed, however slow the machine is.
  TempDir dir;
  const std::filesystem::path done = dir / "done";
  Tmux tmux(
      probe_in_shell({"sh", "-c", "echo child-running; while [ ! -e \"$0\" ]; do sleep 0.1; done",
                      done.string()}));
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  tmux.send_keys({"z"});
  ASSERT_TRUE(tmux.wait_for_text("child-running")) << tmux.capture();
  expect_shell_terminal_modes(tmux);
  tmux.send_keys({"d", "y"});  // typed for the child, which never reads them
  ASSERT_TRUE(tmux.wait_for_text("child-running\ndy")) << "echoed: the terminal has them\n"
                                                       << tmux.capture();
  write_file(done, "");

  ASSERT_TRUE(tmux.wait_for_text("child: exit 0")) << tmux.capture();
  EXPECT_EQ(tmux.query("#{alternate_on}"), "1");
  // A key typed now is the first the probe gets: those typed for the child never reach it.
  tmux.send_keys({"k"});
  ASSERT_TRUE(tmux.wait_for_text("last: Char(k)")) << tmux.capture();
  EXPECT_NE(tmux.capture().find("keys: Char(k)\n"), std::string::npos) << tmux.capture();
  tmux.send_keys({"q"});
  expect_probe_ended(tmux, 0);
}

TEST(TerminalProbe, CtrlCInAForegroundChildEndsOnlyTheChild) {
  Tmux tmux({kProbe, "sh", "-c", "echo child-running; exec sleep 30"});
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  tmux.send_keys({"z"});
  ASSERT_TRUE(tmux.wait_for_text("child-running")) << tmux.capture();
  EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
  tmux.send_keys({"C-c"});
  ASSERT_TRUE(tmux.wait_for_text("child: signal 2")) << tmux.capture();
  tmux.send_keys({"q"});
  EXPECT_EQ(tmux.wait_for_exit(), 0) << tmux.capture();
}

// Bracketed paste is on while the probe shows its screen, and off after every way out, the
// crash included, and while a child has the terminal.
TEST(TerminalProbe, APasteIsOnePieceOnTheScreenAndUnmarkedWheneverTheScreenIsAway) {
  struct Case {
    const char* what;
    void (*end)(Tmux& tmux);
  } const cases[] = {
      {"quit", [](Tmux& tmux) { tmux.send_keys({"q"}); }},
      {"exit with the session open", [](Tmux& tmux) { tmux.send_keys({"e"}); }},
      {"termination signal", [](Tmux& tmux) { ASSERT_EQ(kill(probe_pid(tmux), SIGTERM), 0); }},
      {"crash", [](Tmux& tmux) { ASSERT_EQ(kill(probe_pid(tmux), SIGSEGV), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Tmux tmux(probe_then_cat());
    ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
    tmux.paste("dy\nz");
    ASSERT_TRUE(tmux.wait_for_text("last: Paste(dyz)\n")) << tmux.capture();
    c.end(tmux);
    ASSERT_TRUE(tmux.wait_for_text("program-exit=")) << tmux.capture();
    expect_unmarked_paste(tmux, "after-probe", "after-probe");
  }
}

TEST(TerminalProbe, APasteWhileAChildHasTheTerminalIsTheChildsUnmarked) {
  // The child prints the line it reads, then ends at the next line.
  Tmux tmux(
      probe_in_shell({"sh", "-c", "echo child-running; head -n 1 | cat -v; head -n 1 >/dev/null"}));
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  tmux.send_keys({"z"});
  ASSERT_TRUE(tmux.wait_for_text("child-running")) << tmux.capture();
  expect_unmarked_paste(tmux, "child-line", "child-line");
  tmux.send_keys({"Enter"});
  ASSERT_TRUE(tmux.wait_for_text("child: exit 0")) << tmux.capture();
  tmux.paste("dy");
  EXPECT_TRUE(tmux.wait_for_text("last: Paste(dy)\n")) << "marked again\n" << tmux.capture();
  tmux.send_keys({"q"});
  expect_probe_ended(tmux, 0);
}

// A stop from a job-control shell: the shell reads a paste unmarked while the probe is stopped,
// and the probe marks pastes again once continued.
TEST(TerminalProbe, APasteWhileTheProbeIsStoppedIsTheShellsUnmarked) {
  Tmux tmux({"sh", "-i"});
  tmux.send_text("'" + kProbe + "'");
  tmux.send_keys({"Enter"});
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  ASSERT_EQ(kill(probe_pid(tmux), SIGTSTP), 0);
  ASSERT_TRUE(tmux.wait_until([&](const std::string&) {
    return tmux.query("#{alternate_on}") == "0";
  })) << tmux.capture();
  expect_unmarked_paste(tmux, "echo pasted-$((6 * 7))", "pasted-42");
  tmux.send_text("fg");
  tmux.send_keys({"Enter"});
  ASSERT_TRUE(tmux.wait_for_text("probe pid=")) << tmux.capture();
  tmux.paste("dy");
  EXPECT_TRUE(tmux.wait_for_text("last: Paste(dy)\n")) << tmux.capture();
  tmux.send_keys({"q"});
  EXPECT_TRUE(tmux.wait_until([&](const std::string&) {
    return tmux.query("#{alternate_on}") == "0";
  })) << tmux.capture();
}

}  // namespace
}  // namespace orvo::test
