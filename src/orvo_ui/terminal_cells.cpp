#include "orvo_ui/terminal_cells.hpp"

#include <curses.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <tuple>

#include "orvo_sys/text.hpp"

namespace orvo::ui {
namespace {

// The character at the front of `text`, which it moves past; U+FFFD for invalid bytes.
char32_t take_char(std::string_view& text) {
  const sys::Utf8Char c = sys::decode_utf8(text);
  text.remove_prefix(c.length);
  return c.code;
}

static_assert(std::tuple_size_v<CellChars> == CCHARW_MAX + 1,
              "a cell of the frame holds what a screen cell holds");

// The standard palette of the bright colours, for terminals that take only RGB beyond the
// first eight.
int bright_as_rgb(int index) {
  static constexpr std::array<int, 8> kBright = {0x7F7F7F, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                 0x5C5CFF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  return kBright[static_cast<std::size_t>(index - 8)];
}

int nearest_of_256(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  static constexpr std::array<int, 6> kLevels = {0, 95, 135, 175, 215, 255};
  const auto nearest_level = [](int v) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < kLevels.size(); ++i) {
      if (std::abs(kLevels[i] - v) < std::abs(kLevels[best] - v)) {
        best = i;
      }
    }
    return best;
  };
  const auto distance = [&](int cr, int cg, int cb) {
    return (cr - r) * (cr - r) + (cg - g) * (cg - g) + (cb - b) * (cb - b);
  };
  const std::size_t ri = nearest_level(r);
  const std::size_t gi = nearest_level(g);
  const std::size_t bi = nearest_level(b);
  const int cube = 16 + static_cast<int>(36 * ri + 6 * gi + bi);
  const int cube_distance = distance(kLevels[ri], kLevels[gi], kLevels[bi]);

  const int average = (r + g + b) / 3;
  const int step = std::clamp((average - 8 + 5) / 10, 0, 23);
  const int grey = 8 + 10 * step;
  const int grey_distance = distance(grey, grey, grey);
  return grey_distance < cube_distance ? 232 + step : cube;
}

}  // namespace

int symbol_to_wide(std::string_view symbol, CellChars& out) {
  std::size_t n = 0;
  int width = 1;
  if (symbol.empty()) {
    out[n++] = L' ';
  } else {
    const char32_t base = take_char(symbol);
    width = sys::char_width(base);
    if (width < 0) {
      out[n++] = L'\uFFFD';
      width = 1;
    } else if (width == 0) {
      out[n++] = L' ';
      out[n++] = static_cast<wchar_t>(base);
      width = 1;
    } else {
      out[n++] = static_cast<wchar_t>(base);
    }
    while (!symbol.empty() && n < CCHARW_MAX) {
      const char32_t mark = take_char(symbol);
      if (sys::char_width(mark) != 0) {
        break;
      }
      out[n++] = static_cast<wchar_t>(mark);
    }
  }
  out[n] = L'\0';
  return width;
}

int color_index(Color color, int colors) {
  if (color.kind == Color::Kind::Reset || colors < 8) {
    return -1;
  }
  if (color.kind == Color::Kind::Rgb) {
    if (colors >= (1 << 24)) {
      return (color.r << 16) | (color.g << 8) | color.b;
    }
    return colors >= 256 ? nearest_of_256(color.r, color.g, color.b) : -1;
  }
  const int index = static_cast<int>(color.kind) - static_cast<int>(Color::Kind::Black);
  if (index < 8 || (colors >= 16 && colors < (1 << 24))) {
    return index;
  }
  if (colors >= (1 << 24)) {
    return bright_as_rgb(index);
  }
  // Eight colours: the bright ones become their plain forms; DarkGray becomes Gray, since
  // black would hide it on most backgrounds.
  return index == 8 ? 7 : index - 8;
}

}  // namespace orvo::ui
