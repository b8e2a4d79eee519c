// The built binary run from an interactive shell with job control under tmux: the editor and the
// agent get the terminal, stopping and continuing (Ctrl-Z, `fg`) works during them and while
// Orvo's screen is up, and Orvo runs with standard input or output that is not a terminal.

#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "e2e/run_orvo.hpp"
#include "support/environment.hpp"
#include "support/git_repo.hpp"
#include "support/shell_restored.hpp"
#include "support/temp_dir.hpp"
#include "support/tmux.hpp"

namespace orvo::test {
namespace {

// A home, a repository "proj" with a linked worktree "feat", a silent `osascript`, and two fake
// programs, `editor` and `agent`, that record their working directory, arguments and which of their
// standard streams are terminals, then echo the lines they read until "bye", after which they read
// no more and exit with status 5 once the test releases them (at most ten seconds); Ctrl-C reaching
// them makes them say so.
class ForegroundTest : public testing::Test {
 protected:
  ForegroundTest() : repo_(tmp_ / "src" / "proj") {
    repo_.add_worktree(feat(), "feat");
    std::filesystem::create_directories(home());
    for (const char* name : {"editor", "agent"}) {
      write_file(bin() / name,
                 fmt::format("#!/bin/bash\n"
                             "trap 'echo {0}-got-INT' INT\n"
                             "t=; for fd in 0 1 2; do [ -t $fd ] && t=$t$fd; done\n"
                             "{{ pwd; echo \"args=$*\"; echo terminals=$t; }} > '{1}/{0}.part'\n"
                             "mv '{1}/{0}.part' '{1}/{0}'\n"
                             "echo {0}-ready\n"
                             "while :; do\n"
                             "  read -r line || exit 4\n"
                             "  echo \"{0}-read: $line\"\n"
                             "  [ \"$line\" = bye ] || continue\n"
                             "  i=0\n"
                             "  while [ ! -e '{1}/release' ] && [ $i -lt 100 ]; do\n"
                             "    sleep 0.1; i=$((i + 1))\n"
                             "  done\n"
                             "  exit 5\n"
                             "done\n",
                             name, tmp_.path().string()),
                 true);
    }
    // The new Terminal window of `p` is not what these tests look at.
    write_file(bin() / "osascript", "#!/bin/sh\nexit 0\n", true);
    write_file(state_file(home()),
               fmt::format(R"({{"projects":[],"prefs":{{"editor_cmd":"{}","pi_bin":"{}",)"
                           R"("pi_extra_args":[],"default_start_pi_on_create":true}}}})",
                           (bin() / "editor").string(), (bin() / "agent").string()));
  }

  [[nodiscard]] std::filesystem::path home() const { return tmp_ / "home"; }
  [[nodiscard]] std::filesystem::path bin() const { return tmp_ / "bin"; }
  [[nodiscard]] std::filesystem::path feat() const { return tmp_ / "wt" / "feat"; }
  [[nodiscard]] std::filesystem::path release() const { return tmp_ / "release"; }

  // The pane of an interactive bash with job control, its prompt "$ ", in HOME, with the fakes
  // first on the search path.
  [[nodiscard]] TmuxOptions shell_options() const {
    TmuxOptions options;
    options.width = 120;
    options.home = home();
    options.env = {{"PATH", search_path_with(bin())}, {"PS1", "$ "}};
    return options;
  }

  // Types `line` at the shell's prompt once it shows.
  static void type_line(Tmux& tmux, const std::string& line) {
    ASSERT_TRUE(tmux.wait_until([](const std::string& screen) {
      return screen.ends_with("\n$") || screen == "$";
    })) << tmux.capture();
    tmux.send_text(line);
    tmux.send_keys({"Enter"});
  }

  // Runs Orvo on the repository from the shell, `redirect` appended to its command, and waits
  // for its screen; the shell notes its terminal modes first.
  void start_orvo(Tmux& tmux, const std::string& redirect = "") const {
    type_line(tmux, fmt::format("before=$(stty -g); {} {}{}", shell_quote(ORVO_EXE),
                                shell_quote(repo_.path().string()), redirect));
    ASSERT_TRUE(tmux.wait_for_text("j/k move")) << tmux.capture();
  }

  // Quits Orvo; the shell's screen, cursor and terminal modes are back as they were.
  static void quit_orvo(Tmux& tmux) {
    tmux.send_keys({"q"});
    type_line(tmux,
              "echo \"orvo-exit=${PIPESTATUS[0]} modes=$([ \"$before\" = \"$(stty -g)\" ] && echo "
              "same)\"");
    ASSERT_TRUE(tmux.wait_for_text("orvo-exit=0 modes=same")) << tmux.capture();
    expect_shell_terminal_modes(tmux);
  }

  TempDir tmp_;
  GitRepo repo_;
};

const std::vector<std::string> kShell = {"bash", "--norc", "--noprofile", "-i"};

struct Child {
  const char* key;
  const char* name;
  const char* back;
};

// `e` on the worktree "feat" runs the editor on it in Orvo's own directory, `p` the agent in it.
constexpr Child kChildren[] = {
    {"e", "editor", "opened editor"},
    {"p", "agent", "Pi exited (exit status: 5)"},
};

TEST_F(ForegroundTest, TheEditorAndTheAgentHaveTheTerminalThroughAStopAndContinue) {
  for (const Child& child : kChildren) {
    SCOPED_TRACE(child.name);
    std::filesystem::remove(release());
    Tmux tmux(kShell, shell_options());
    start_orvo(tmux);
    tmux.send_keys({"j", child.key});
    const std::string ready = std::string(child.name) + "-ready";
    ASSERT_TRUE(tmux.wait_for_text(ready)) << tmux.capture();
    EXPECT_EQ(tmux.query("#{alternate_on}"), "0") << "Orvo has left its screen";

    tmux.send_keys({"C-z"});
    ASSERT_TRUE(tmux.wait_for_text("Stopped")) << tmux.capture();
    type_line(tmux, "fg");
    tmux.send_text("hello");
    tmux.send_keys({"Enter"});
    EXPECT_TRUE(tmux.wait_for_text(std::string(child.name) + "-read: hello")) << tmux.capture();
    EXPECT_EQ(tmux.capture().find("j/k move"), std::string::npos)
        << "nothing is drawn over the child:\n"
        << tmux.capture();
    EXPECT_EQ(tmux.query("#{alternate_on}"), "0");
    tmux.send_keys({"C-c"});
    EXPECT_TRUE(tmux.wait_for_text(std::string(child.name) + "-got-INT")) << tmux.capture();
    tmux.send_text("bye");
    tmux.send_keys({"Enter"});
    // Typed while the child still runs but no longer reads: never Orvo's.
    ASSERT_TRUE(tmux.wait_for_text(std::string(child.name) + "-read: bye")) << tmux.capture();
    tmux.send_keys({"d", "q"});
    ASSERT_TRUE(tmux.wait_for_text(std::string(child.name) + "-read: bye\ndq"))
        << "echoed: the terminal has them\n"
        << tmux.capture();
    write_file(release(), "");

    ASSERT_TRUE(tmux.wait_for_text(std::string("  ·  ") + child.back)) << tmux.capture();
    // A key typed now moves the cursor: no dialog of the keys typed for the child takes it.
    tmux.send_keys({"k"});
    ASSERT_TRUE(tmux.wait_for_text("›   proj  [main] main")) << tmux.capture();
    EXPECT_EQ(tmux.capture().find("Confirm Delete"), std::string::npos) << tmux.capture();
    quit_orvo(tmux);
  }
  EXPECT_EQ(read_file(tmp_ / "editor"),
            home().string() + "\nargs=" + feat().string() + "\nterminals=012\n");
  EXPECT_EQ(read_file(tmp_ / "agent"), feat().string() + "\nargs=\nterminals=012\n");
}

TEST_F(ForegroundTest, AStopWhileTheScreenIsUpGivesTheShellItsScreenUntilFg) {
  struct Case {
    int sig;
    bool leaves_screen;
  } const cases[] = {
      {SIGTSTP, true},
      // A stop that cannot be caught leaves the screen as it is; the continue repaints it.
      {SIGSTOP, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(strsignal(c.sig));
    Tmux tmux(kShell, shell_options());
    start_orvo(tmux);
    ASSERT_EQ(kill(orvo_pid(tmux), c.sig), 0);
    ASSERT_TRUE(tmux.wait_for_text("Stopped")) << tmux.capture();
    if (c.leaves_screen) {
      expect_shell_terminal_modes(tmux);
    }
    tmux.send_text("fg");
    tmux.send_keys({"Enter"});
    ASSERT_TRUE(tmux.wait_until([](const std::string& screen) {
      return screen.find("j/k move") != std::string::npos &&
             screen.find("Stopped") == std::string::npos;
    })) << tmux.capture();
    EXPECT_EQ(tmux.query("#{alternate_on}"), "1");
    // Keys reach Orvo one by one again, unechoed.
    tmux.send_keys({"j"});
    EXPECT_TRUE(tmux.wait_for_text("›   feat  [feat]")) << tmux.capture();
    quit_orvo(tmux);
  }
}

TEST_F(ForegroundTest, StandardInputOrOutputThatIsNotATerminal) {
  const std::filesystem::path piped = tmp_ / "piped";
  write_file(release(), "");
  for (const std::string& redirect :
       {std::string(" </dev/null"), " | wc -c >" + shell_quote(piped.string())}) {
    SCOPED_TRACE(redirect);
    Tmux tmux(kShell, shell_options());
    start_orvo(tmux, redirect);
    tmux.send_keys({"j"});
    for (const Child& child : kChildren) {
      std::filesystem::remove(tmp_ / child.name);
      tmux.send_keys({child.key});
      ASSERT_TRUE(tmux.wait_for_text(std::string(child.name) + "-ready")) << tmux.capture();
      tmux.send_text("bye");
      tmux.send_keys({"Enter"});
      ASSERT_TRUE(tmux.wait_for_text(std::string("  ·  ") + child.back)) << tmux.capture();
      EXPECT_TRUE(read_file(tmp_ / child.name).ends_with("\nterminals=012\n"))
          << read_file(tmp_ / child.name);
    }
    quit_orvo(tmux);
  }
  // BSD wc, macOS's, pads its count with blanks; GNU wc does not.
  std::string count = read_file(piped);
  count.erase(0, count.find_first_not_of(' '));
  EXPECT_EQ(count, "0\n") << "nothing went down the pipe";
}

}  // namespace
}  // namespace orvo::test
