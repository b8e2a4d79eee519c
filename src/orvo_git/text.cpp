#include "orvo_git/text.hpp"

#include <cstdint>

namespace orvo::git {
namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::size_t sequence_length(std::uint8_t lead) {
  if (lead < 0x80)
    return 1;
  if (lead < 0xE0)
    return 2;
  if (lead < 0xF0)
    return 3;
  return 4;
}

char32_t decode(std::string_view s) {
  const auto b = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<std::uint8_t>(s[i]));
  };
  switch (s.size()) {
    case 1:
      return b(0);
    case 2:
      return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
      return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
      return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
  }
}

bool is_continuation(char c) {
  return (static_cast<std::uint8_t>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string_view trim_white_space(std::string_view text) {
  while (!text.empty()) {
    const std::size_t n =
        std::min(sequence_length(static_cast<std::uint8_t>(text[0])), text.size());
    if (!is_white_space(decode(text.substr(0, n)))) {
      break;
    }
    text.remove_prefix(n);
  }
  while (!text.empty()) {
    std::size_t start = text.size() - 1;
    while (start > 0 && is_continuation(text[start])) {
      --start;
    }
    if (!is_white_space(decode(text.substr(start)))) {
      break;
    }
    text.remove_suffix(text.size() - start);
  }
  return text;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (end == std::string_view::npos) {
      lines.push_back(line);
      break;
    }
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
    }
    lines.push_back(line);
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace orvo::git
