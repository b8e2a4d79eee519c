#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orvo_sys/process.hpp"
#include "support/environment.hpp"
#include "support/temp_dir.hpp"

namespace orvo::test {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `argv` to its end with exactly the environment `env` (and the sanitizers' settings).
Outcome run(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  sys::Command command{.program = "env", .args = sanitizer_settings(), .cwd = {}, .env = {}};
  command.args.insert(command.args.begin(), "-i");
  command.args.insert(command.args.end(), env.begin(), env.end());
  command.args.insert(command.args.end(), argv.begin(), argv.end());
  auto output = sys::run_and_capture(command);
  if (!output) {
    return {};
  }
  return {output->status.code().value_or(-1), std::move(output->out), std::move(output->err)};
}

std::string inherited_path() {
  const char* path = std::getenv("PATH");
  return std::string("PATH=") + (path != nullptr ? path : "/usr/bin:/bin");
}

// The script Orvo sends: the line inside an AppleScript string, backslashes and double quotes
// escaped.
std::string terminal_script(std::string_view line) {
  std::string script = "tell application \"Terminal\" to do script \"";
  for (const char c : line) {
    if (c == '\\' || c == '"') {
      script += '\\';
    }
    script += c;
  }
  return script + "\"";
}

std::string cd_and_run(const std::filesystem::path& dir, const std::filesystem::path& program) {
  return "cd " + shell_quote(dir.string()) + " && " + shell_quote(program.string());
}

// Waits up to ten seconds for `file` to hold `lines` lines and returns its content.
std::string wait_for_lines(const std::filesystem::path& file, std::size_t lines) {
  std::string text;
  for (int i = 0; i < 500; ++i) {
    text = read_file(file);
    if (static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) {
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return text;
}

// A recording program that appends its working directory to `record`.
std::filesystem::path make_recorder(const TempDir& scratch, const std::filesystem::path& record) {
  const std::filesystem::path program = scratch / "bin dir" / "record";
  write_file(program,
             "#!/bin/sh\nprintf '%s\\n' \"$PWD\" >> " + shell_quote(record.string()) + "\n", true);
  return program;
}

TEST(OsascriptUsage, RefusesEveryOtherForm) {
  const std::string usage =
      "usage: osascript -e 'tell application \"Terminal\" to do script \"<command>\"'\n";
  const std::string good = R"(tell application "Terminal" to do script "ls")";
  struct Case {
    std::vector<std::string> args;
    std::string err;
  };
  const Case cases[] = {
      {{}, usage},
      {{"-e"}, usage},
      {{"-x", good}, usage},
      {{"-e", good, "extra"}, usage},
      {{"-e", R"(tell application "Finder" to do script "ls")"},
       "osascript: unsupported script; only tell application \"Terminal\" to do script "
       "\"<command>\" is understood\n"},
      {{"-e", R"(tell application "Terminal" to do script "a" & "b")"},
       "osascript: unexpected text after the string of do script\n"},
      {{"-e", R"(tell application "Terminal" to do script "ls)"},
       "osascript: the string of do script is not terminated\n"},
      {{"-e", R"(tell application "Terminal" to do script "ls\")"},
       "osascript: the string of do script is not terminated\n"},
      {{"-e", R"(tell application "Terminal" to do script "a\qb")"},
       "osascript: unknown escape \\q in the string of do script\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv = {ORVO_OSASCRIPT};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(testing::PrintToString(argv));
    const Outcome outcome = run(argv, {inherited_path(), "DISPLAY=:99"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, c.err);
  }
}

TEST(OsascriptWindow, FailsWithoutAnyTerminal) {
  TempDir scratch;
  const std::string empty_path = "PATH=" + (scratch / "empty").string();
  const std::vector<std::string> cases[] = {
      {inherited_path()},
      {inherited_path(), "TMUX=", "DISPLAY=", "WAYLAND_DISPLAY="},
      {empty_path, "DISPLAY=:99"},
      {empty_path, "WAYLAND_DISPLAY=wayland-0"},
  };
  const std::string script = terminal_script("cd '/tmp' && 'pi'");
  for (const std::vector<std::string>& env : cases) {
    SCOPED_TRACE(testing::PrintToString(env));
    const Outcome outcome = run({ORVO_OSASCRIPT, "-e", script}, env);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "osascript: no terminal window available\n");
  }
}

TEST(OsascriptWindow, StartsTheGraphicalTerminalWithTheLineThenTheUsersShell) {
  for (const char* display : {"DISPLAY=:99", "WAYLAND_DISPLAY=wayland-0"}) {
    SCOPED_TRACE(display);
    TempDir scratch;
    const std::filesystem::path record = scratch / "record.txt";
    write_file(scratch / "xbin" / "x-terminal-emulator",
               "#!/bin/sh\n[ \"$1\" = -e ] || exit 64\nshift\nexec \"$@\"\n", true);
    write_file(
        scratch / "shell",
        "#!/bin/sh\nprintf 'shell in %s\\n' \"$PWD\" >> " + shell_quote(record.string()) + "\n",
        true);
    const std::filesystem::path dir = scratch / "it's a \"dir\" \\ $HOME";
    std::filesystem::create_directories(dir);
    const std::filesystem::path program = make_recorder(scratch, record);

    const Outcome outcome = run({ORVO_OSASCRIPT, "-e", terminal_script(cd_and_run(dir, program))},
                                {"PATH=" + (scratch / "xbin").string() + ":/usr/bin:/bin", display,
                                 "SHELL=" + (scratch / "shell").string()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(wait_for_lines(record, 2), dir.string() + "\nshell in " + dir.string() + "\n");
  }
}

// A private tmux server with one session, its sockets under a temporary folder.
class TmuxServer {
 public:
  TmuxServer()
      : socket_("orvo-osascript-" + std::to_string(getpid())),
        env_({inherited_path(), "TMUX_TMPDIR=" + scratch_.path().string(), "SHELL=/bin/sh"}) {
    started_ = tmux({"-f", "/dev/null", "new-session", "-d", "-x", "80", "-y", "24"}).status == 0;
  }
  ~TmuxServer() { (void)tmux({"kill-server"}); }
  TmuxServer(const TmuxServer&) = delete;
  TmuxServer& operator=(const TmuxServer&) = delete;

  [[nodiscard]] bool started() const { return started_; }

  [[nodiscard]] Outcome tmux(std::vector<std::string> args) const {
    args.insert(args.begin(), {"tmux", "-u", "-L", socket_});
    return run(args, env_);
  }

  // The TMUX value a program running inside the session sees.
  [[nodiscard]] std::string tmux_variable() const {
    std::string value = tmux({"display-message", "-p", "#{socket_path},#{pid},0"}).out;
    if (!value.empty() && value.back() == '\n') {
      value.pop_back();
    }
    return "TMUX=" + value;
  }

  // One line per window: "<index> <current path> <dead>".
  [[nodiscard]] std::string windows() const {
    return tmux({"list-windows", "-F", "#{window_index} #{pane_current_path} #{pane_dead}"}).out;
  }

 private:
  TempDir scratch_;
  std::string socket_;
  std::vector<std::string> env_;
  bool started_ = false;
};

TEST(OsascriptWindow, OpensATmuxWindowWhoseShellRunsTheLineAndStays) {
  TmuxServer server;
  if (!server.started()) {
    GTEST_SKIP() << "tmux cannot start a server here";
  }
  TempDir scratch;
  const std::filesystem::path record = scratch / "record.txt";
  const std::filesystem::path program = make_recorder(scratch, record);
  const std::filesystem::path odd = scratch / "it's a \"dir\" \\ $HOME";
  const std::filesystem::path utf8 = scratch / "caf\xC3\xA9";
  // Bytes a shell's line editor reads as keys: completion, Ctrl-A, Ctrl-C, Ctrl-U, an arrow key,
  // Ctrl-V, Delete.
  const std::filesystem::path keys = scratch / "tab\there \x01\x03\x15\x1b[A\x16\x7f end";
  std::filesystem::create_directories(odd);
  std::filesystem::create_directories(utf8);
  std::filesystem::create_directories(keys);
  const std::string first_window = server.windows();

  struct Case {
    std::filesystem::path dir;
    std::string line;
  };
  const Case cases[] = {
      {odd, cd_and_run(odd, program)},
      // A trailing ";" must reach the shell, not end a tmux command.
      {utf8, "cd " + shell_quote(utf8.string()) + "; " + shell_quote(program.string()) + ";"},
      {keys, cd_and_run(keys, program)},
  };
  std::string expected_record;
  std::string expected_windows = first_window;
  int index = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const Outcome outcome = run({ORVO_OSASCRIPT, "-e", terminal_script(c.line)},
                                {inherited_path(), server.tmux_variable()});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "");
    expected_record += c.dir.string() + "\n";
    EXPECT_EQ(wait_for_lines(record, static_cast<std::size_t>(index)), expected_record);
    expected_windows += std::to_string(index) + " " + c.dir.string() + " 0\n";
    EXPECT_EQ(server.windows(), expected_windows);
    ++index;
  }
}

TEST(OsascriptWindow, ReportsATmuxThatCannotOpenAWindow) {
  TempDir scratch;
  const Outcome outcome =
      run({ORVO_OSASCRIPT, "-e", terminal_script("cd '/tmp' && 'pi'")},
          {inherited_path(), "TMUX=" + (scratch / "no-server").string() + ",1,0"});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.err.ends_with("osascript: tmux could not open a window\n")) << outcome.err;
}

}  // namespace
}  // namespace orvo::test
