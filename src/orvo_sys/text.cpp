#include "orvo_sys/text.hpp"

#include <wchar.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace orvo::sys {
namespace {

bool in(std::uint8_t byte, std::uint8_t lo, std::uint8_t hi) {
  return byte >= lo && byte <= hi;
}

struct Range {
  char32_t first;
  char32_t last;
};

// Characters shown escaped although they are not controls: format and separator characters,
// combining marks, variation selectors and private use.
constexpr std::array<Range, 28> kEscaped = {{
    {0x00AD, 0x00AD},   {0x0300, 0x036F},   {0x0483, 0x0489},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x180E, 0x180E},
    {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x206F},   {0x20D0, 0x20FF},   {0xD800, 0xDFFF},   {0xE000, 0xF8FF},
    {0xFDD0, 0xFDEF},   {0xFE00, 0xFE0F},   {0xFE20, 0xFE2F},   {0xFEFF, 0xFEFF},
    {0xFFF9, 0xFFFB},   {0xFFFE, 0xFFFF},   {0x110BD, 0x110BD}, {0x1D173, 0x1D17A},
    {0xE0000, 0xE007F}, {0xE0100, 0xE01EF}, {0xF0000, 0xFFFFD}, {0x100000, 0x10FFFD},
}};

bool shown_escaped(char32_t c) {
  if (is_control(c)) {
    return true;
  }
  for (const Range& r : kEscaped) {
    if (c >= r.first && c <= r.last) {
      return true;
    }
  }
  return false;
}

bool is_continuation_byte(char byte) {
  return (static_cast<std::uint8_t>(byte) & 0xC0u) == 0x80u;
}

// The number of ASCII bytes at the front of `bytes`, checked eight at a time: long outputs are
// mostly ASCII.
std::size_t ascii_run(std::string_view bytes) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080u;
  std::size_t i = 0;
  for (std::uint64_t word = 0; i + sizeof word <= bytes.size(); i += sizeof word) {
    std::memcpy(&word, bytes.data() + i, sizeof word);
    if ((word & kHighBits) != 0) {
      break;
    }
  }
  while (i < bytes.size() && static_cast<std::uint8_t>(bytes[i]) < 0x80) {
    ++i;
  }
  return i;
}

}  // namespace

Utf8Char decode_utf8(std::string_view bytes) {
  const auto lead = static_cast<std::uint8_t>(bytes[0]);
  if (lead < 0x80) {
    return {lead, 1, true};
  }
  std::size_t need = 0;
  std::uint8_t lo = 0x80;
  std::uint8_t hi = 0xBF;
  char32_t code = 0;
  if (in(lead, 0xC2, 0xDF)) {
    need = 1;
    code = lead & 0x1Fu;
  } else if (in(lead, 0xE0, 0xEF)) {
    need = 2;
    code = lead & 0x0Fu;
    lo = lead == 0xE0 ? 0xA0 : 0x80;
    hi = lead == 0xED ? 0x9F : 0xBF;
  } else if (in(lead, 0xF0, 0xF4)) {
    need = 3;
    code = lead & 0x07u;
    lo = lead == 0xF0 ? 0x90 : 0x80;
    hi = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return {U'\uFFFD', 1, false};
  }
  for (std::size_t i = 1; i <= need; ++i) {
    if (i >= bytes.size() || !in(static_cast<std::uint8_t>(bytes[i]), lo, hi)) {
      return {U'\uFFFD', i, false};
    }
    code = (code << 6) | (static_cast<std::uint8_t>(bytes[i]) & 0x3Fu);
    lo = 0x80;
    hi = 0xBF;
  }
  return {code, need + 1, true};
}

std::size_t last_char_start(std::string_view bytes) {
  if (bytes.empty()) {
    return 0;
  }
  std::size_t start = bytes.size() - 1;
  while (start > 0 && bytes.size() - start < 4 && is_continuation_byte(bytes[start])) {
    --start;
  }
  return start;
}

bool is_scalar_value(char32_t code) {
  return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

bool is_control(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

bool is_white_space(char32_t code) {
  return (code >= 0x09 && code <= 0x0D) || code == 0x20 || code == 0x85 || code == 0xA0 ||
         code == 0x1680 || (code >= 0x2000 && code <= 0x200A) || code == 0x2028 || code == 0x2029 ||
         code == 0x202F || code == 0x205F || code == 0x3000;
}

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

void append_utf8(std::string& out, char32_t code) {
  const auto byte = [&out](char32_t b) { out += static_cast<char>(b); };
  if (code < 0x80) {
    byte(code);
  } else if (code < 0x800) {
    byte(0xC0 | (code >> 6));
    byte(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    byte(0xE0 | (code >> 12));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  } else {
    byte(0xF0 | (code >> 18));
    byte(0x80 | ((code >> 12) & 0x3F));
    byte(0x80 | ((code >> 6) & 0x3F));
    byte(0x80 | (code & 0x3F));
  }
}

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while ((i += ascii_run(bytes.substr(i))) < bytes.size()) {
    const Utf8Char c = decode_utf8(bytes.substr(i));
    if (!c.valid) {
      return false;
    }
    i += c.length;
  }
  return true;
}

std::string lossy_utf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const Utf8Char c = decode_utf8(bytes.substr(i));
    if (c.valid) {
      out.append(bytes.substr(i, c.length));
    } else {
      out += kReplacementCharacter;
    }
    i += c.length;
  }
  return out;
}

int char_width(char32_t code) {
  if (code >= 0x20 && code < 0x7F) {
    return 1;
  }
  if (code == 0) {
    return -1;
  }
  return wcwidth(static_cast<wchar_t>(code));
}

std::string_view trim_start_if(std::string_view text, bool (*drop)(char32_t)) {
  while (!text.empty()) {
    const Utf8Char c = decode_utf8(text);
    if (!drop(c.code)) {
      break;
    }
    text.remove_prefix(c.length);
  }
  return text;
}

std::string_view trim_white_space(std::string_view text) {
  text = trim_start_if(text, is_white_space);
  while (!text.empty()) {
    const std::size_t start = last_char_start(text);
    const Utf8Char c = decode_utf8(text.substr(start));
    if (start + c.length != text.size() || !is_white_space(c.code)) {
      break;
    }
    text.remove_suffix(c.length);
  }
  return text;
}

std::string_view trim_ascii_white_space(std::string_view text) {
  constexpr std::string_view kAsciiWhiteSpace = " \t\n\v\f\r";
  const std::size_t first = text.find_first_not_of(kAsciiWhiteSpace);
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(kAsciiWhiteSpace) - first + 1);
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

std::vector<std::string_view> path_names(std::string_view path) {
  std::vector<std::string_view> names;
  std::size_t i = 0;
  while (i < path.size()) {
    const std::size_t end = std::min(path.find('/', i), path.size());
    const std::string_view name = path.substr(i, end - i);
    if (!name.empty() && name != ".") {
      names.push_back(name);
    }
    i = end + 1;
  }
  return names;
}

std::string debug_quoted(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const Utf8Char c = decode_utf8(text);
    switch (c.code) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case 0:
        out += "\\0";
        break;
      default:
        if (shown_escaped(c.code)) {
          char buffer[16];
          std::snprintf(buffer, sizeof buffer, "\\u{%x}", static_cast<unsigned>(c.code));
          out += buffer;
        } else if (!c.valid) {
          out += kReplacementCharacter;
        } else {
          out += text.substr(0, c.length);
        }
    }
    text.remove_prefix(c.length);
  }
  out += '"';
  return out;
}

}  // namespace orvo::sys
