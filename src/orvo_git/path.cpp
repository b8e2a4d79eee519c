#include "orvo_git/path.hpp"

#include <string>
#include <vector>

#include "orvo_core/path.hpp"
#include "orvo_sys/text.hpp"

namespace orvo::git {
namespace {

constexpr std::string_view kRepoPlaceholder = "{repo}";

std::string repo_name(const std::filesystem::path& main_path) {
  return std::string(core::utf8_file_name(main_path).value_or("repo"));
}

// Appending as paths do: an absolute `rest` replaces `base`; otherwise one "/" goes between
// them unless `base` is empty or already ends in one.
std::string join(std::string base, std::string_view rest) {
  if (rest.starts_with('/')) {
    return std::string(rest);
  }
  if (!base.empty() && !base.ends_with('/')) {
    base += '/';
  }
  base += rest;
  return base;
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t i = 0;
  for (std::size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, i)) {
    out.append(text.substr(i, hit - i));
    out.append(to);
    i = hit + from.size();
  }
  out.append(text.substr(i));
  return out;
}

std::string safe_name(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c == '/' || c == ':' || c == '\\') {
      c = '-';
    }
  }
  return out;
}

std::string base_directory(const std::string& main, std::string_view dir_template,
                           const std::string& repo) {
  if (dir_template.find(kRepoPlaceholder) != std::string_view::npos) {
    return join(main, replace_all(dir_template, kRepoPlaceholder, repo));
  }
  return join(join(main, dir_template), repo);
}

std::string normalise(std::string_view path) {
  std::vector<std::string_view> kept;
  for (std::string_view name : sys::path_names(path)) {
    if (name != "..") {
      kept.push_back(name);
    } else if (!kept.empty()) {
      kept.pop_back();
    }
  }
  std::string out = path.starts_with('/') ? "/" : "";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) {
      out += '/';
    }
    out.append(kept[i]);
  }
  return out;
}

}  // namespace

std::filesystem::path worktree_path(const std::filesystem::path& main_path,
                                    std::string_view dir_template, std::string_view name) {
  const std::string& main = main_path.native();
  const std::string base = base_directory(main, dir_template, repo_name(main_path));
  return normalise(join(base, safe_name(name)));
}

}  // namespace orvo::git
