#pragma once

#include <string>
#include <string_view>

#include <tl/expected.hpp>

namespace orvo::osascript {

// The command line of a script of the form `tell application "Terminal" to do script "<line>"`,
// with the string's escapes (\" \\ \n \r \t) decoded. Fails with the reason, as text, when the
// script has another form, the string is not terminated, text follows it, or an escape is unknown.
[[nodiscard]] tl::expected<std::string, std::string> decode_terminal_script(
    std::string_view script);

}  // namespace orvo::osascript
