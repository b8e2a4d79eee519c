#include "osascript/script.hpp"

namespace orvo::osascript {
namespace {

constexpr std::string_view kPrefix = "tell application \"Terminal\" to do script \"";

tl::expected<char, std::string> unescape(char c) {
  switch (c) {
    case '"':
    case '\\':
      return c;
    case 'n':
      return '\n';
    case 'r':
      return '\r';
    case 't':
      return '\t';
    default:
      return tl::unexpected("unknown escape \\" + std::string(1, c) +
                            " in the string of do script");
  }
}

}  // namespace

tl::expected<std::string, std::string> decode_terminal_script(std::string_view script) {
  if (!script.starts_with(kPrefix)) {
    return tl::unexpected(std::string(
        "unsupported script; only tell application \"Terminal\" to do script \"<command>\" is "
        "understood"));
  }
  const std::string_view body = script.substr(kPrefix.size());
  std::string line;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '"') {
      if (i + 1 != body.size()) {
        return tl::unexpected(std::string("unexpected text after the string of do script"));
      }
      return line;
    }
    if (c != '\\') {
      line += c;
      continue;
    }
    if (++i == body.size()) {
      break;
    }
    auto decoded = unescape(body[i]);
    if (!decoded) {
      return tl::unexpected(decoded.error());
    }
    line += *decoded;
  }
  return tl::unexpected(std::string("the string of do script is not terminated"));
}

}  // namespace orvo::osascript
