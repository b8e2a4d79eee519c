#include "orvo_sys/fs.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string_view>

namespace orvo::sys {
namespace {

bool has_nul(const std::filesystem::path& path) {
  return path.native().find('\0') != std::string::npos;
}

bool is_a_directory(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Drops trailing separators and trailing "." components, keeping a lone root.
std::string_view without_trailing_dots(std::string_view s) {
  for (;;) {
    if (s.size() > 1 && s.back() == '/') {
      s.remove_suffix(1);
    } else if (s.size() > 1 && s.ends_with("/.")) {
      s.remove_suffix(2);
    } else {
      return s;
    }
  }
}

}  // namespace

tl::expected<std::filesystem::path, OsError> canonicalize(const std::filesystem::path& path) {
  if (has_nul(path)) {
    return tl::unexpected(OsError{EINVAL});
  }
  const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                             &std::free);
  if (!resolved) {
    return tl::unexpected(OsError::last());
  }
  return std::filesystem::path(resolved.get());
}

bool path_exists(const std::filesystem::path& path) {
  struct stat st {};
  return !has_nul(path) && ::stat(path.c_str(), &st) == 0;
}

std::optional<std::filesystem::path> parent(const std::filesystem::path& path) {
  const std::string_view s = without_trailing_dots(path.native());
  if (s.empty() || s == "/" || s == ".") {
    return std::nullopt;
  }
  const std::size_t slash = s.rfind('/');
  if (slash == std::string_view::npos) {
    return std::filesystem::path();
  }
  std::string_view head = s.substr(0, slash);
  while (head.size() > 1 && head.back() == '/') {
    head.remove_suffix(1);
  }
  return std::filesystem::path(head.empty() ? "/" : head);
}

tl::expected<void, OsError> create_dir_all(const std::filesystem::path& path) {
  if (path.empty()) {
    return {};
  }
  if (has_nul(path)) {
    return tl::unexpected(OsError{EINVAL});
  }
  if (::mkdir(path.c_str(), 0777) == 0) {
    return {};
  }
  const OsError first = OsError::last();
  if (first.code != ENOENT) {
    if (is_a_directory(path)) {
      return {};
    }
    return tl::unexpected(first);
  }
  const std::optional<std::filesystem::path> up = parent(path);
  if (!up) {
    return tl::unexpected(first);
  }
  if (auto made = create_dir_all(*up); !made) {
    return made;
  }
  if (::mkdir(path.c_str(), 0777) == 0) {
    return {};
  }
  const OsError again = OsError::last();
  if (is_a_directory(path)) {
    return {};
  }
  return tl::unexpected(again);
}

}  // namespace orvo::sys
