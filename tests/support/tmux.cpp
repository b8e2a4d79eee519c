#include "support/tmux.hpp"

#include <unistd.h>

#include <atomic>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "orvo_sys/process.hpp"
#include "support/environment.hpp"

extern char** environ;

namespace orvo::test {
namespace {

using namespace std::chrono_literals;

constexpr std::string_view kSession = "orvo";

// Runs `args` to its end with the environment of the test process minus tmux's own variables,
// so a test run inside tmux never talks to the user's server. Throws when it cannot be started.
sys::Output run(const std::vector<std::string>& args) {
  sys::Command command{.program = "env", .args = {}, .cwd = {}, .env = {}};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (text.starts_with("TMUX")) {
      command.args.emplace_back("-u");
      command.args.emplace_back(text.substr(0, text.find('=')));
    }
  }
  command.args.insert(command.args.end(), args.begin(), args.end());
  auto output = sys::run_and_capture(command);
  if (!output) {
    throw std::runtime_error("cannot start " + args[0] + ": " + output.error().message());
  }
  return *std::move(output);
}

// The exit status of a run, or 128 + the signal that ended it.
int status_number(sys::ExitStatus status) {
  return status.code().value_or(128 + status.signal().value_or(0));
}

std::string unique_socket_name() {
  static std::atomic<int> counter{0};
  return "orvo-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

std::string trim_trailing_newlines(std::string text) {
  while (!text.empty() && text.back() == '\n') {
    text.pop_back();
  }
  return text;
}

// The exit status (or 128 + signal) of `pid` when it is a zombie, from Linux's /proc/<pid>/stat:
// the state is the third field, the raw wait status the 52nd. Nothing where there is no /proc.
std::optional<int> zombie_exit_status(pid_t pid) {
  const std::filesystem::path entry = "/proc/" + std::to_string(pid) + "/stat";
  if (!std::filesystem::exists(entry)) {
    return std::nullopt;
  }
  const std::string stat = read_file(entry);
  const std::size_t name_end = stat.rfind(')');
  if (name_end == std::string::npos) {
    return std::nullopt;
  }
  std::istringstream fields(stat.substr(name_end + 2));
  std::string field;
  std::vector<std::string> rest;
  while (fields >> field) {
    rest.push_back(field);
  }
  constexpr std::size_t kExitCodeIndex = 52 - 3;
  if (rest.size() <= kExitCodeIndex || rest[0] != "Z") {
    return std::nullopt;
  }
  return status_number(sys::ExitStatus{std::stoi(rest[kExitCodeIndex])});
}

}  // namespace

Tmux::Tmux(const std::vector<std::string>& argv, TmuxOptions options)
    : socket_(unique_socket_name()) {
  if (options.home.empty()) {
    own_home_.emplace();
    options.home = own_home_->path();
  }
  if (options.cwd.empty()) {
    options.cwd = options.home;
  }
  std::vector<std::string> command = {"env", "-i"};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (text.starts_with("PATH=") || text.starts_with("GIT_")) {
      command.emplace_back(text);
    }
  }
  const std::vector<std::string> sanitizers = sanitizer_settings();
  command.insert(command.end(), sanitizers.begin(), sanitizers.end());
  command.push_back("HOME=" + options.home.string());
  command.emplace_back("TZ=UTC");
  command.push_back("LANG=" + utf8_locale_name());
  command.push_back("TERM=" + options.term);
  for (const auto& [name, value] : options.env) {
    command.push_back(name + "=" + value);
  }
  command.insert(command.end(), argv.begin(), argv.end());

  std::vector<std::string> args = {"start-server",
                                   ";",
                                   "set-option",
                                   "-g",
                                   "remain-on-exit",
                                   "on",
                                   ";",
                                   "set-option",
                                   "-g",
                                   "status",
                                   "off",
                                   ";",
                                   "new-session",
                                   "-d",
                                   "-s",
                                   std::string(kSession),
                                   "-x",
                                   std::to_string(options.width),
                                   "-y",
                                   std::to_string(options.height),
                                   "-c",
                                   options.cwd.string(),
                                   "--"};
  args.insert(args.end(), command.begin(), command.end());
  tmux(std::move(args));
}

Tmux::~Tmux() {
  try {
    run({"tmux", "-L", socket_, "kill-server"});
  } catch (const std::exception&) {
    // Nothing is left to clean up when tmux cannot even be started.
  }
}

std::string Tmux::tmux(std::vector<std::string> args) const {
  args.insert(args.begin(), {"tmux", "-L", socket_, "-f", "/dev/null"});
  const sys::Output output = run(args);
  if (!output.status.success()) {
    std::string line;
    for (const std::string& arg : args)
      line += arg + " ";
    throw std::runtime_error("tmux failed (" + std::to_string(status_number(output.status)) +
                             "): " + line + "\n" + output.err);
  }
  return output.out;
}

void Tmux::send_keys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"send-keys", "-t", std::string(kSession)};
  args.insert(args.end(), keys.begin(), keys.end());
  tmux(std::move(args));
}

void Tmux::send_text(std::string_view text) {
  tmux({"send-keys", "-t", std::string(kSession), "-l", std::string(text)});
}

void Tmux::paste(std::string_view text) {
  tmux({"set-buffer", "-b", "orvo-paste", "--", std::string(text)});
  tmux({"paste-buffer", "-p", "-d", "-b", "orvo-paste", "-t", std::string(kSession)});
}

std::string Tmux::capture() const {
  return trim_trailing_newlines(tmux({"capture-pane", "-p", "-t", std::string(kSession)}));
}

std::string Tmux::capture_with_styles() const {
  return trim_trailing_newlines(tmux({"capture-pane", "-p", "-e", "-t", std::string(kSession)}));
}

bool Tmux::wait_until(const std::function<bool(const std::string&)>& done,
                      std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done(capture())) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(20ms);
  }
}

bool Tmux::wait_for_text(std::string_view text, std::chrono::milliseconds timeout) const {
  return wait_until(
      [text](const std::string& screen) { return screen.find(text) != std::string::npos; },
      timeout);
}

void Tmux::resize(std::uint16_t width, std::uint16_t height) {
  tmux({"resize-window", "-t", std::string(kSession), "-x", std::to_string(width), "-y",
        std::to_string(height)});
}

std::string Tmux::query(std::string_view format) const {
  return trim_trailing_newlines(
      tmux({"display-message", "-p", "-t", std::string(kSession), std::string(format)}));
}

pid_t Tmux::pane_pid() const {
  return static_cast<pid_t>(std::stoi(query("#{pane_pid}")));
}

std::optional<int> Tmux::wait_for_exit(std::chrono::milliseconds timeout) const {
  const pid_t pid = pane_pid();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const std::string state = query("#{pane_dead}:#{pane_dead_status}:#{pane_dead_signal}");
    const std::size_t first = state.find(':');
    const std::size_t second = state.find(':', first + 1);
    const std::string status = state.substr(first + 1, second - first - 1);
    const std::string signal = state.substr(second + 1);
    if (state.starts_with("1:") && !signal.empty()) {
      return 128 + std::stoi(signal);
    }
    if (state.starts_with("1:") && !status.empty()) {
      return std::stoi(status);
    }
    if (state.starts_with("1:")) {
      // tmux 3.3 at times marks a pane dead without ever reaping its program; the status is
      // then still in the zombie's process entry.
      if (const std::optional<int> zombie = zombie_exit_status(pid)) {
        return zombie;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(20ms);
  }
}

void Tmux::record_output(const std::filesystem::path& file) {
  tmux({"pipe-pane", "-o", "-t", std::string(kSession), "cat >> '" + file.string() + "'"});
}

void Tmux::stop_recording_output() {
  tmux({"pipe-pane", "-t", std::string(kSession)});
  // The recording program writes what was still in its pipe, then ends.
  std::this_thread::sleep_for(100ms);
}

}  // namespace orvo::test
