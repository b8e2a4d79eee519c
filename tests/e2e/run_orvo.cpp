#include "e2e/run_orvo.hpp"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>

namespace orvo::test {

sys::Output run_orvo(const std::filesystem::path& home,
                     const std::vector<std::pair<std::string, std::string>>& env,
                     const std::vector<std::string>& args) {
  sys::Command cmd;
  cmd.program = "env";
  cmd.args = {"-u", "RUST_LOG", "-u", "NO_COLOR", "-u", "ORVO_DUMP", "HOME=" + home.string()};
  cmd.new_session = true;
  for (const auto& [name, value] : env) {
    cmd.args.push_back(name + "=" + value);
  }
  cmd.args.push_back(ORVO_EXE);
  cmd.args.insert(cmd.args.end(), args.begin(), args.end());
  auto out = sys::run_and_capture(cmd);
  if (!out) {
    throw std::runtime_error("cannot run orvo: " + out.error().message());
  }
  return *out;
}

std::filesystem::path state_file(const std::filesystem::path& home) {
  return home / "Library" / "Application Support" / "orvo" / "state.json";
}

std::string search_path_with(const std::filesystem::path& dir) {
  const char* path = std::getenv("PATH");
  return dir.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin");
}

pid_t orvo_pid(const Tmux& tmux) {
  const auto children =
      sys::run_and_capture({"pgrep", {"-P", std::to_string(tmux.pane_pid())}, {}, {}});
  if (!children) {
    throw std::runtime_error("cannot run pgrep: " + children.error().message());
  }
  std::istringstream pids(children->out);
  pid_t pid = 0;
  pids >> pid;
  if (pid <= 0) {
    // A signal sent to 0 would reach the test's own process group.
    throw std::runtime_error("the pane's shell runs no program: " + tmux.capture());
  }
  return pid;
}

}  // namespace orvo::test
