#pragma once

#include <string>
#include <string_view>

namespace orvo::sys {

// Whether `bytes` is well-formed UTF-8 (no surrogates, no overlong forms, nothing above U+10FFFF).
[[nodiscard]] bool is_valid_utf8(std::string_view bytes);

// `bytes` read as UTF-8 with each maximal invalid subsequence replaced by one U+FFFD.
[[nodiscard]] std::string lossy_utf8(std::string_view bytes);

}  // namespace orvo::sys
