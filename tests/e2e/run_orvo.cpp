#include "e2e/run_orvo.hpp"

#include <stdexcept>

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

}  // namespace orvo::test
