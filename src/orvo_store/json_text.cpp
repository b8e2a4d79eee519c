#include "orvo_store/json_text.hpp"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace orvo::store {
namespace {

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
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
    return true;
  }
  for (const Range& r : kEscaped) {
    if (c >= r.first && c <= r.last) {
      return true;
    }
  }
  return false;
}

// Decodes the UTF-8 sequence at the front of `s`: the code point and its length; a byte that
// starts no valid sequence gives U+FFFD and length 1.
std::pair<char32_t, std::size_t> decode(std::string_view s) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = b(0);
  const std::size_t len = lead < 0x80    ? 1
                          : lead >= 0xF8 ? 0
                          : lead >= 0xF0 ? 4
                          : lead >= 0xE0 ? 3
                          : lead >= 0xC2 ? 2
                                         : 0;
  if (len == 0 || len > s.size()) {
    return {0xFFFD, 1};
  }
  char32_t cp = len == 1 ? lead : lead & (0x7F >> len);
  for (std::size_t i = 1; i < len; ++i) {
    if ((b(i) & 0xC0) != 0x80) {
      return {0xFFFD, 1};
    }
    cp = (cp << 6) | (b(i) & 0x3F);
  }
  return {cp, len};
}

}  // namespace

std::string debug_quoted(std::string_view text) {
  std::string out = "\"";
  while (!text.empty()) {
    const auto [c, len] = decode(text);
    switch (c) {
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
        if (shown_escaped(c)) {
          out += fmt::format("\\u{{{:x}}}", static_cast<std::uint32_t>(c));
        } else if (c == 0xFFFD && len == 1) {
          out += "\xEF\xBF\xBD";
        } else {
          out += text.substr(0, len);
        }
    }
    text.remove_prefix(len);
  }
  out += '"';
  return out;
}

std::string float_text(double value) {
  if (value == 0) {
    return std::signbit(value) ? "-0.0" : "0.0";
  }
  // The shortest scientific form, e.g. "-1.2345e+02", split into sign, digits and exponent.
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
  const std::string_view sci(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e = sci.find('e');
  std::string out;
  std::string digits;
  for (char c : sci.substr(0, e)) {
    if (c == '-') {
      out += '-';
    } else if (c != '.') {
      digits += c;
    }
  }
  const int exponent = std::atoi(sci.data() + e + 1);
  const auto length = static_cast<int>(digits.size());
  const int point = exponent + 1;  // digits before the decimal point
  const std::string_view all(digits);
  if (point >= length && point <= 16) {
    out.append(all).append(static_cast<std::size_t>(point - length), '0').append(".0");
  } else if (point > 0 && point <= 16) {
    const auto split = static_cast<std::size_t>(point);
    out.append(all.substr(0, split)).append(".").append(all.substr(split));
  } else if (point > -5 && point <= 0) {
    out.append("0.").append(static_cast<std::size_t>(-point), '0').append(all);
  } else {
    out.append(all.substr(0, 1));
    if (length > 1) {
      out.append(".").append(all.substr(1));
    }
    out += fmt::format("e{}{}", exponent < 0 ? "-" : "+", std::abs(exponent));
  }
  return out;
}

}  // namespace orvo::store
