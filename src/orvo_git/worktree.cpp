#include "orvo_git/worktree.hpp"

#include <optional>

#include "orvo_core/path.hpp"
#include "orvo_git/exec.hpp"
#include "orvo_sys/fs.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::git {
namespace {

constexpr std::string_view kWorktreeLabel = "worktree ";
constexpr std::string_view kBranchLabel = "branch ";
constexpr std::string_view kLocalBranchPrefix = "refs/heads/";
// The exit status of git's refusal of an option it does not know; git before 2.36 refuses the
// listing's `-z` with it.
constexpr int kUsageStatus = 129;

// Whether `path` resolves (realpath) to `resolved`, itself a resolved path or a failure.
bool resolves_to(const std::filesystem::path& path,
                 const tl::expected<std::filesystem::path, sys::OsError>& resolved) {
  if (!resolved) {
    return false;
  }
  const auto canonical = sys::canonicalize(path);
  return canonical && core::same_path(*canonical, *resolved);
}

// Decides which records are the main worktree. When the main path resolves, a record is main
// exactly when it resolves to the same directory; otherwise the first record and those spelled
// like the main path are. The main path is resolved once, each record's path at most once.
class MainMatcher {
 public:
  explicit MainMatcher(const std::filesystem::path& main_path)
      : main_path_(main_path), canonical_main_(sys::canonicalize(main_path)) {}

  [[nodiscard]] bool is_main(const std::filesystem::path& path, bool first) const {
    if (canonical_main_) {
      return resolves_to(path, canonical_main_);
    }
    return first || core::same_path(path, main_path_);
  }

 private:
  const std::filesystem::path& main_path_;
  tl::expected<std::filesystem::path, sys::OsError> canonical_main_;
};

// The record being read, with the fields seen since the last one was added.
struct Pending {
  std::optional<std::string_view> path;
  std::optional<std::string_view> branch;
  bool bare = false;
  bool locked = false;
  bool detached = false;
};

class PorcelainReader {
 public:
  explicit PorcelainReader(const std::filesystem::path& main_path) : matcher_(main_path) {}

  void read(std::string_view field) {
    if (field.empty()) {
      flush();
    } else if (field.starts_with(kWorktreeLabel)) {
      if (pending_.path) {
        flush();
      }
      pending_.path = field.substr(kWorktreeLabel.size());
    } else if (field.starts_with(kBranchLabel)) {
      std::string_view branch = field.substr(kBranchLabel.size());
      if (branch.starts_with(kLocalBranchPrefix)) {
        branch.remove_prefix(kLocalBranchPrefix.size());
      }
      pending_.branch = branch;
    } else if (field == "bare") {
      pending_.bare = true;
    } else if (field == "detached") {
      pending_.detached = true;
    } else if (field.starts_with("locked")) {
      pending_.locked = true;
    }
  }

  // Adds the pending record, if it has a path, and starts afresh.
  void flush() {
    if (pending_.path) {
      core::WorktreeView view;
      view.path = std::filesystem::path(std::string(*pending_.path));
      view.is_main = matcher_.is_main(view.path, views_.empty());
      if (!pending_.detached && pending_.branch) {
        view.branch = std::string(*pending_.branch);
      }
      view.locked = pending_.locked;
      view.bare = pending_.bare;
      views_.push_back(std::move(view));
    }
    pending_ = Pending{};
  }

  [[nodiscard]] std::vector<core::WorktreeView> take() { return std::move(views_); }

 private:
  MainMatcher matcher_;
  Pending pending_;
  std::vector<core::WorktreeView> views_;
};

// The fields of the NUL-separated form: the text split at each NUL, a final NUL making no extra
// empty field. Views into `text`.
std::vector<std::string_view> split_nul_fields(std::string_view text) {
  std::vector<std::string_view> fields;
  while (!text.empty()) {
    const std::size_t end = text.find('\0');
    fields.push_back(text.substr(0, end));
    if (end == std::string_view::npos) {
      break;
    }
    text.remove_prefix(end + 1);
  }
  return fields;
}

// git's porcelain listing as it was read.
struct Listing {
  std::string output;
  PorcelainForm form;
};

using GitRunner = GitResult<std::string> (*)(const std::filesystem::path&,
                                             const std::vector<std::string>&);

// Runs git's worktree listing in `dir` with `run`: the NUL-separated form, or the line form when
// git is too old to know `-z`.
GitResult<Listing> read_listing(const std::filesystem::path& dir, GitRunner run) {
  auto whole = run(dir, {"worktree", "list", "--porcelain", "-z"});
  if (whole) {
    return Listing{std::move(*whole), PorcelainForm::Nul};
  }
  const GitError& error = whole.error();
  if (error.kind() != GitError::Kind::CommandFailed || error.status() != kUsageStatus) {
    return tl::unexpected(std::move(whole.error()));
  }
  return run(dir, {"worktree", "list", "--porcelain"}).map([](std::string output) {
    return Listing{std::move(output), PorcelainForm::Lines};
  });
}

}  // namespace

std::vector<core::WorktreeView> parse_porcelain(std::string_view output,
                                                const std::filesystem::path& main_path,
                                                PorcelainForm form) {
  PorcelainReader reader(main_path);
  const std::vector<std::string_view> fields =
      form == PorcelainForm::Nul ? split_nul_fields(output) : sys::split_lines(output);
  for (const std::string_view field : fields) {
    reader.read(field);
  }
  reader.flush();
  return reader.take();
}

std::optional<std::size_t> find_worktree(const std::vector<core::WorktreeView>& listed,
                                         const std::filesystem::path& path) {
  const auto resolved = sys::canonicalize(path);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (resolves_to(listed[i].path, resolved)) {
      return i;
    }
  }
  return std::nullopt;
}

GitResult<std::vector<core::WorktreeView>> list_worktrees(const std::filesystem::path& main_path) {
  return read_listing(main_path, git).map([&](const Listing& listing) {
    return parse_porcelain(listing.output, main_path, listing.form);
  });
}

GitResult<void> create_worktree(const std::filesystem::path& main_path,
                                const std::filesystem::path& target, const std::string& branch,
                                const std::string& base, bool new_branch) {
  // git's worktree command hands the branch and the base on to `git branch`, which would read a
  // leading hyphen as an option: a branch named "--force" would silently reset the base branch.
  // No ref name starts with a hyphen, so such names are refused before git runs.
  if (branch.starts_with('-')) {
    return tl::unexpected(GitError::other("'" + branch + "' is not a valid branch name"));
  }
  if (new_branch && base.starts_with('-')) {
    return tl::unexpected(GitError::other("invalid reference: " + base));
  }
  if (sys::path_exists(target)) {
    return tl::unexpected(GitError::other("path already exists: " + core::display(target)));
  }
  if (const auto parent = sys::parent(target)) {
    if (const auto made = sys::create_dir_all(*parent); !made) {
      return tl::unexpected(GitError::io(made.error()));
    }
  }
  const std::string target_text = core::display(target);
  // Without --quiet git writes "Preparing worktree (…)" to standard error before it refuses, and
  // the status line, which shows the error's first line, would hide the reason.
  if (new_branch) {
    return git_ok(main_path, {"worktree", "add", "--quiet", "-b", branch, target_text, base});
  }
  return git_ok(main_path, {"worktree", "add", "--quiet", target_text, branch});
}

GitResult<void> remove_worktree(const std::filesystem::path& main_path,
                                const std::filesystem::path& worktree, bool force) {
  std::vector<std::string> args{"worktree", "remove"};
  if (force) {
    args.emplace_back("--force");
  }
  args.push_back(core::display(worktree));
  return git_ok(main_path, args);
}

// The root is kept as git's bytes: decoded lossily or trimmed, a directory name that is not UTF-8
// or that ends in white space would become another path, and that path would be stored as the
// project's main path.
GitResult<std::filesystem::path> repo_toplevel(const std::filesystem::path& dir) {
  return git_bytes(dir, {"rev-parse", "--show-toplevel"}).map([](std::string output) {
    if (output.ends_with('\n')) {
      output.pop_back();
    }
    return std::filesystem::path(std::move(output));
  });
}

std::filesystem::path main_worktree(const std::filesystem::path& root) {
  // Read as bytes: the main worktree's path is stored as the project's main path.
  const auto listing = read_listing(root, git_bytes);
  if (!listing) {
    return root;
  }
  const std::vector<core::WorktreeView> listed =
      parse_porcelain(listing->output, root, listing->form);
  const std::optional<std::size_t> at = find_worktree(listed, root);
  // git lists the main worktree first; `root` anywhere after it is a linked worktree.
  if (!at || *at == 0 || listed.front().bare) {
    return root;
  }
  const std::filesystem::path& main = listed.front().path;
  const auto main_root = repo_toplevel(main);
  if (!main_root || !resolves_to(*main_root, sys::canonicalize(main))) {
    return root;
  }
  return main;
}

}  // namespace orvo::git
