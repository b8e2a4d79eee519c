// osascript stand-in: `osascript -e 'tell application "Terminal" to do script "<line>"'` opens a
// new terminal window that runs <line> and then stays open with the user's shell. Inside tmux the
// window is a new tmux window; elsewhere a graphical terminal is started when a display is
// available.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvo_sys/process.hpp"
#include "osascript/script.hpp"

namespace {

using orvo::sys::StdStreams;

constexpr int kFailure = 1;

bool env_set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// `program` with `args`, then a shell that evaluates the line given as its first argument and
// then becomes the user's interactive shell, so the window the command opens stays open.
orvo::sys::Command line_then_shell(std::string program, std::vector<std::string> args,
                                   const std::string& line) {
  for (const char* arg : {"/bin/sh", "-c", R"(eval "$1"; exec "${SHELL:-/bin/sh}")", "sh"}) {
    args.emplace_back(arg);
  }
  args.push_back(line);
  return {.program = std::move(program), .args = std::move(args), .cwd = {}, .env = {}};
}

// A new tmux window in the background that runs the line. tmux runs a command given as several
// arguments without a shell of its own, so no byte of the line is read as a key or reparsed.
int open_tmux_window(const std::string& line) {
  const auto status =
      orvo::sys::spawn_and_wait(line_then_shell("tmux", {"new-window", "-d", "--"}, line),
                                {.in = StdStreams::kNullDevice, .out = StdStreams::kNullDevice});
  if (!status) {
    std::fprintf(stderr, "osascript: cannot run tmux: %s\n",
                 status.error().os.description().c_str());
    return kFailure;
  }
  if (!status->success()) {
    std::fputs("osascript: tmux could not open a window\n", stderr);
    return kFailure;
  }
  return 0;
}

// Starts the system's terminal emulator in a session of its own, detached from ours, running a
// shell that evaluates the line and then becomes the user's interactive shell. Not waited for:
// emulators stay in the foreground until their window closes.
bool open_graphical_window(const std::string& line) {
  orvo::sys::Command command = line_then_shell("x-terminal-emulator", {"-e"}, line);
  command.new_session = true;
  return orvo::sys::spawn_detached(
             command, {StdStreams::kNullDevice, StdStreams::kNullDevice, StdStreams::kNullDevice})
      .has_value();
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
