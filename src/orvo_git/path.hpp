#pragma once

#include <filesystem>
#include <string_view>

namespace orvo::git {

// The directory for a new worktree of branch `name`, worked out on the texts alone (nothing is
// read from disk, nothing can fail): the template with every "{repo}" replaced by the repository
// name (the main path's last component, or "repo" when it has none or it is not UTF-8) — or,
// without "{repo}", the template followed by the repository name — taken relative to `main_path`
// unless absolute, then the name with "/", ":" and "\" made "-", normalised lexically ("." and
// empty components dropped, ".." removing the component before it, links not resolved).
[[nodiscard]] std::filesystem::path worktree_path(const std::filesystem::path& main_path,
                                                  std::string_view dir_template,
                                                  std::string_view name);

}  // namespace orvo::git
