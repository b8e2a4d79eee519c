#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvo::core {

// Component-wise path equality: repeated and trailing separators and inner "." components make
// no difference; ".." and symbolic links are not resolved.
[[nodiscard]] bool same_path(const std::filesystem::path& a, const std::filesystem::path& b);

// The last component of `path` when it is a name (not the root, "." or ".."), as component-wise
// equality splits paths, so a trailing separator does not count; a view into `path`.
[[nodiscard]] std::optional<std::string_view> file_name(const std::filesystem::path& path);

// The last component of `path` as `file_name` gives it, when that is valid UTF-8.
[[nodiscard]] std::optional<std::string_view> utf8_file_name(const std::filesystem::path& path);

// The path's bytes read as UTF-8, each invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string display(const std::filesystem::path& path);

}  // namespace orvo::core
