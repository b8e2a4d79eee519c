#include "orvo_git/path.hpp"

#include <gtest/gtest.h>

namespace orvo::git {
namespace {

constexpr const char* kDefault = "../worktrees/{repo}";

TEST(WorktreePath, PlacesTheNewDirectoryFromTemplateRepositoryAndName) {
  struct Case {
    std::string main;
    std::string dir_template;
    std::string name;
    std::string result;
  };
  const Case cases[] = {
      {"/u/src/proj", kDefault, "feat/x", "/u/src/worktrees/proj/feat-x"},
      {"/u/src/proj", kDefault, "a:b\\c", "/u/src/worktrees/proj/a-b-c"},
      {"/u/src/proj", kDefault, "..", "/u/src/worktrees"},
      {"/u/src/proj", kDefault, "", "/u/src/worktrees/proj"},
      {"/u/src/proj", kDefault, ".", "/u/src/worktrees/proj"},
      {"/u/src/proj", "/tmp/wt", "feat", "/tmp/wt/proj/feat"},
      {"/u/src/proj", "wt", "feat", "/u/src/proj/wt/proj/feat"},
      {"/u/src/proj", "", "feat", "/u/src/proj/proj/feat"},
      {"/u/src/proj", "/w/{repo}-trees", "feat", "/w/proj-trees/feat"},
      {"/u/src/proj", "{repo}/{repo}", "feat", "/u/src/proj/proj/proj/feat"},
      {"/", kDefault, "feat", "/worktrees/repo/feat"},
      // The repository name ignores trailing separators and "." components.
      {"/u/src/proj/", kDefault, "feat", "/u/src/worktrees/proj/feat"},
      {"/u/src/proj/.", kDefault, "feat", "/u/src/worktrees/proj/feat"},
      {"/u/src/\xFF", kDefault, "feat", "/u/src/worktrees/repo/feat"},
      {"/u/src/..", kDefault, "feat", "/worktrees/repo/feat"},
      // Blanks, dots and non-ASCII in the name stay; nothing is trimmed.
      {"/u/src/proj", kDefault, " f\xC3\xA9.x ", "/u/src/worktrees/proj/ f\xC3\xA9.x "},
      // A relative main path gives a relative result; surplus ".." at its start vanish.
      {"proj", kDefault, "feat", "worktrees/proj/feat"},
      {"proj", "../../{repo}", "feat", "proj/feat"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.main + " | " + c.dir_template + " | " + c.name);
    EXPECT_EQ(worktree_path(c.main, c.dir_template, c.name).native(), c.result);
  }
}

}  // namespace
}  // namespace orvo::git
