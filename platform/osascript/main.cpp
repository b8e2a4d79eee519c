// osascript stand-in: `osascript -e 'tell application "Terminal" to do script "<line>"'` opens a
// new terminal window whose shell runs <line> and stays open afterwards. Inside tmux the window
// is a new tmux window with the line typed into its shell; elsewhere a graphical terminal is
// started when a display is available.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "osascript/script.hpp"

extern char** environ;

namespace {

constexpr int kFailure = 1;

bool env_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

std::vector<char*> c_argv(std::vector<std::string>& args) {
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) {
    argv.push_back(arg.data());
  }
  argv.push_back(nullptr);
  return argv;
}

int wait_status(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      return -1;
    }
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs tmux with `args` to its end, standard input from /dev/null, standard error inherited so
// tmux's own complaints reach the user; returns its standard output, or nothing when it could not
// be started or failed.
std::optional<std::string> run_tmux(std::vector<std::string> args) {
  args.insert(args.begin(), "tmux");
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    std::fprintf(stderr, "osascript: cannot run tmux: %s\n", std::strerror(errno));
    return std::nullopt;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  pid_t pid = 0;
  std::vector<char*> argv = c_argv(args);
  const int rc = posix_spawnp(&pid, "tmux", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (rc != 0) {
    close(out[0]);
    std::fprintf(stderr, "osascript: cannot run tmux: %s\n", std::strerror(rc));
    return std::nullopt;
  }
  std::string text;
  char buffer[512];
  for (;;) {
    const ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(out[0]);
  if (wait_status(pid) != 0) {
    return std::nullopt;
  }
  return text;
}

// The line's bytes as tmux `send-keys -H` arguments: tmux gives them to the pane unchanged, where
// `send-keys -l` would still read a trailing ";" as a command separator.
std::vector<std::string> hex_keys(std::string_view line) {
  std::vector<std::string> keys;
  keys.reserve(line.size());
  for (const char c : line) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
    keys.emplace_back(hex);
  }
  return keys;
}

// A new tmux window in the background; its shell gets the line typed in, then Enter.
int open_tmux_window(std::string_view line) {
  std::optional<std::string> pane = run_tmux({"new-window", "-d", "-P", "-F", "#{pane_id}"});
  while (pane && !pane->empty() && pane->back() == '\n') {
    pane->pop_back();
  }
  if (!pane || pane->empty()) {
    std::fputs("osascript: tmux could not open a window\n", stderr);
    return kFailure;
  }
  if (line.empty()) {
    return 0;
  }
  std::vector<std::string> args = {"send-keys", "-t", *pane, "-H"};
  for (std::string& key : hex_keys(line)) {
    args.push_back(std::move(key));
  }
  args.emplace_back("0d");
  if (!run_tmux(std::move(args))) {
    std::fputs("osascript: tmux could not type the command into its window\n", stderr);
    return kFailure;
  }
  return 0;
}

// Starts the system's terminal emulator in a session of its own, detached from ours, running a
// shell that evaluates the line and then becomes the user's interactive shell. Not waited for:
// emulators stay in the foreground until their window closes.
bool open_graphical_window(const std::string& line) {
  std::vector<std::string> args = {"x-terminal-emulator",
                                   "-e",
                                   "/bin/sh",
                                   "-c",
                                   R"(eval "$1"; exec "${SHELL:-/bin/sh}")",
                                   "sh",
                                   line};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  std::vector<char*> argv = c_argv(args);
  const int rc = posix_spawnp(&pid, "x-terminal-emulator", &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || std::string_view(argv[1]) != "-e") {
    std::fputs("usage: osascript -e 'tell application \"Terminal\" to do script \"<command>\"'\n",
               stderr);
    return kFailure;
  }
  const tl::expected<std::string, std::string> line =
      orvo::osascript::decode_terminal_script(argv[2]);
  if (!line) {
    std::fprintf(stderr, "osascript: %s\n", line.error().c_str());
    return kFailure;
  }
  if (env_set("TMUX")) {
    return open_tmux_window(*line);
  }
  if ((env_set("DISPLAY") || env_set("WAYLAND_DISPLAY")) && open_graphical_window(*line)) {
    return 0;
  }
  std::fputs("osascript: no terminal window available\n", stderr);
  return kFailure;
}
