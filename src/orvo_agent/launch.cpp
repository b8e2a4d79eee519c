#include "orvo_agent/launch.hpp"

#include "orvo_core/path.hpp"

namespace orvo::agent {

LaunchSpec launch_pi(const core::AppPrefs& prefs, const LaunchContext& context) {
  std::map<std::string, std::string> env;
  env.emplace("ORVO_WORKTREE", core::display(context.worktree));
  env.emplace("ORVO_MAIN_REPO", core::display(context.main_repo));
  if (context.branch) {
    env.emplace("ORVO_BRANCH", std::string(*context.branch));
  }
  if (context.quick_base) {
    env.emplace("ORVO_QUICK_BASE", std::string(*context.quick_base));
  }
  return LaunchSpec{
      .program = prefs.pi_bin,
      .args = prefs.pi_extra_args,
      .cwd = context.worktree,
      .env = std::move(env),
  };
}

}  // namespace orvo::agent
