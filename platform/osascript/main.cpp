// osascript stand-in: `osascript -e 'tell application "Terminal" to do script "<line>"'` opens a
// new terminal window that runs <line> and then stays open with the user's shell. Inside tmux the
// window is a new tmux window; elsewhere a graphical terminal is started when a display is
// available.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The command a new window runs: a shell that evaluates the line given as its first argument and
// then becomes the user's interactive shell, so the window stays open.
std::vector<std::string> line_then_shell(const std::string& line) {
  return {"/bin/sh", "-c", R"(eval "$1"; exec "${SHELL:-/bin/sh}")", "sh", line};
}

// A new tmux window in the background that runs the line. tmux runs a command given as several
// arguments without a shell of its own, so no byte of the line is read as a key or reparsed.
int open_tmux_window(const std::string& line) {
  std::vector<std::string> args = {"tmux", "new-window", "-d", "--"};
  for (std::string& arg : line_then_shell(line)) {
    args.push_back(std::move(arg));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  std::vector<char*> argv = c_argv(args);
  const int rc = posix_spawnp(&pid, "tmux", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    std::fprintf(stderr, "osascript: cannot run tmux: %s\n", std::strerror(rc));
    return kFailure;
  }
  if (wait_status(pid) != 0) {
    std::fputs("osascript: tmux could not open a window\n", stderr);
    return kFailure;
  }
  return 0;
}

// Starts the system's terminal emulator in a session of its own, detached from ours, running a
// shell that evaluates the line and then becomes the user's interactive shell. Not waited for:
// emulators stay in the foreground until their window closes.
bool open_graphical_window(const std::string& line) {
  std::vector<std::string> args = {"x-terminal-emulator", "-e"};
  for (std::string& arg : line_then_shell(line)) {
    args.push_back(std::move(arg));
  }
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
