#include "orvo_git/branch.hpp"

#include <algorithm>

#include "orvo_git/exec.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::git {
namespace {

constexpr std::string_view kRemotesPrefix = "refs/remotes/";

// The output of a successful run trimmed of ASCII white space, when anything is left.
std::optional<std::string> answer(const std::filesystem::path& cwd,
                                  const std::vector<std::string>& args) {
  const auto output = git(cwd, args);
  if (!output) {
    return std::nullopt;
  }
  const std::string_view text = sys::trim_ascii_white_space(*output);
  if (text.empty()) {
    return std::nullopt;
  }
  return std::string(text);
}

bool has_local_branch(const std::filesystem::path& root, const std::string& name) {
  return git_ok(root, {"show-ref", "--verify", "--quiet", "refs/heads/" + name}).has_value();
}

}  // namespace

std::vector<std::string> parse_branch_list(std::string_view output) {
  std::vector<std::string> names;
  for (std::string_view line : sys::split_lines(output)) {
    const std::string_view name = sys::trim_ascii_white_space(line);
    if (!name.empty() && name != "origin/HEAD" && name != "upstream/HEAD") {
      names.emplace_back(name);
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

GitResult<std::vector<std::string>> list_branches(const std::filesystem::path& repo) {
  return git(repo, {"for-each-ref", "--format=%(refname:short)", "refs/heads", "refs/remotes"})
      .map([](const std::string& output) { return parse_branch_list(output); });
}

std::optional<std::string> resolve_default_base(const std::filesystem::path& root) {
  if (auto head = answer(root, {"symbolic-ref", "--quiet", "refs/remotes/origin/HEAD"})) {
    if (head->starts_with(kRemotesPrefix)) {
      head->erase(0, kRemotesPrefix.size());
    }
    return head;
  }
  for (const std::string candidate : {"main", "master"}) {
    if (has_local_branch(root, candidate)) {
      return candidate;
    }
  }
  return std::nullopt;
}

std::optional<std::string> current_branch(const std::filesystem::path& worktree) {
  return answer(worktree, {"symbolic-ref", "--quiet", "--short", "HEAD"});
}

}  // namespace orvo::git
