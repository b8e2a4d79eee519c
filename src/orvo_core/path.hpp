#pragma once

#include <filesystem>
#include <string>

namespace orvo::core {

// Component-wise path equality: repeated and trailing separators and inner "." components make
// no difference; ".." and symbolic links are not resolved.
[[nodiscard]] bool same_path(const std::filesystem::path& a, const std::filesystem::path& b);

// The path's bytes read as UTF-8, each invalid sequence replaced by U+FFFD.
[[nodiscard]] std::string display(const std::filesystem::path& path);

}  // namespace orvo::core
