#include "orvo_agent/launch.hpp"

#include <gtest/gtest.h>

namespace orvo::agent {
namespace {

using Env = std::map<std::string, std::string>;

core::AppPrefs prefs_with(std::string pi_bin, std::vector<std::string> args) {
  core::AppPrefs prefs;
  prefs.editor_cmd = "zed";
  prefs.pi_bin = std::move(pi_bin);
  prefs.pi_extra_args = std::move(args);
  return prefs;
}

TEST(LaunchPi, PutsOnlyTheVariablesThatAreKnown) {
  const std::filesystem::path worktree = "/tmp/wt/feat-x";
  const std::filesystem::path main_repo = "/u/src/proj";
  struct Case {
    const char* name;
    std::optional<std::string_view> branch;
    std::optional<std::string_view> quick_base;
    Env env;
  };
  const Case cases[] = {
      {"neither",
       std::nullopt,
       std::nullopt,
       {{"ORVO_WORKTREE", "/tmp/wt/feat-x"}, {"ORVO_MAIN_REPO", "/u/src/proj"}}},
      {"branch only",
       "feat-x",
       std::nullopt,
       {{"ORVO_WORKTREE", "/tmp/wt/feat-x"},
        {"ORVO_MAIN_REPO", "/u/src/proj"},
        {"ORVO_BRANCH", "feat-x"}}},
      {"quick base only",
       std::nullopt,
       "origin/main",
       {{"ORVO_WORKTREE", "/tmp/wt/feat-x"},
        {"ORVO_MAIN_REPO", "/u/src/proj"},
        {"ORVO_QUICK_BASE", "origin/main"}}},
      {"both, empty texts kept",
       "",
       "",
       {{"ORVO_WORKTREE", "/tmp/wt/feat-x"},
        {"ORVO_MAIN_REPO", "/u/src/proj"},
        {"ORVO_BRANCH", ""},
        {"ORVO_QUICK_BASE", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LaunchSpec launch =
        launch_pi(prefs_with("pi", {}), {worktree, main_repo, c.branch, c.quick_base});
    EXPECT_EQ(launch.env, c.env);
  }
}

TEST(LaunchPi, CopiesProgramArgumentsAndWorktree) {
  const std::filesystem::path worktree = "/tmp/wt/feat-x";
  const std::filesystem::path main_repo = "/u/src/proj";

  const LaunchSpec plain =
      launch_pi(core::AppPrefs::defaults(), {worktree, main_repo, std::nullopt, std::nullopt});
  EXPECT_EQ(plain.program, "pi");
  EXPECT_TRUE(plain.args.empty());
  EXPECT_EQ(plain.cwd.native(), "/tmp/wt/feat-x");

  const core::AppPrefs custom = prefs_with("my agent --fast", {"--model", "x", "--model"});
  const LaunchSpec launch = launch_pi(custom, {worktree, main_repo, "feat-x", std::nullopt});
  EXPECT_EQ(launch.program, "my agent --fast");
  EXPECT_EQ(launch.args, (std::vector<std::string>{"--model", "x", "--model"}));
  EXPECT_EQ(launch, launch_pi(custom, {worktree, main_repo, "feat-x", std::nullopt}));
}

TEST(LaunchPi, ShowsInvalidBytesAsReplacementButKeepsTheExactDirectory) {
  const std::filesystem::path worktree =
      "/tmp/wt/caf\xFF"
      "e/";
  const std::filesystem::path main_repo = "/u/\xC3(src";
  const LaunchSpec launch =
      launch_pi(prefs_with("pi", {}), {worktree, main_repo, std::nullopt, std::nullopt});
  EXPECT_EQ(launch.cwd.native(), worktree.native());
  EXPECT_EQ(launch.env.at("ORVO_WORKTREE"),
            "/tmp/wt/caf\xEF\xBF\xBD"
            "e/");
  EXPECT_EQ(launch.env.at("ORVO_MAIN_REPO"), "/u/\xEF\xBF\xBD(src");
}

}  // namespace
}  // namespace orvo::agent
