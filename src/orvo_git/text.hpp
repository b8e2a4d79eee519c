#pragma once

#include <string_view>
#include <vector>

namespace orvo::git {

// The lines of `text`, split at line feeds; a carriage return just before a line feed goes with
// it, and a final line feed makes no extra empty line.
[[nodiscard]] std::vector<std::string_view> split_lines(std::string_view text);

}  // namespace orvo::git
