#include "orvo_ui/widgets.hpp"

#include <algorithm>

namespace orvo::ui {
namespace {

// Length in bytes of the UTF-8 character that starts with `lead`.
std::size_t char_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  if ((lead >> 3) == 0x1E) return 4;
  return 1;
}

}  // namespace

Style Style::patch(const Style& other) const {
  Style out = *this;
  if (other.fg) out.fg = other.fg;
  if (other.bg) out.bg = other.bg;
  out.add = (out.add & ~other.sub) | other.add;
  out.sub = (out.sub & ~other.add) | other.sub;
  return out;
}

void Cell::set_style(const Style& style) {
  if (style.fg) fg = *style.fg;
  if (style.bg) bg = *style.bg;
  modifier = (modifier | style.add) & ~style.sub;
}

Cell& Buffer::at(std::uint16_t x, std::uint16_t y) {
  return cells_[static_cast<std::size_t>(y - area_.y) * area_.width + static_cast<std::size_t>(x - area_.x)];
}

const Cell& Buffer::at(std::uint16_t x, std::uint16_t y) const {
  return cells_[static_cast<std::size_t>(y - area_.y) * area_.width + static_cast<std::size_t>(x - area_.x)];
}

void Buffer::set_style(Rect rect, const Style& style) {
  const std::uint16_t x0 = std::max(rect.x, area_.x);
  const std::uint16_t y0 = std::max(rect.y, area_.y);
  const std::uint16_t x1 = std::min(rect.right(), area_.right());
  const std::uint16_t y1 = std::min(rect.bottom(), area_.bottom());
  for (std::uint16_t y = y0; y < y1; ++y) {
    for (std::uint16_t x = x0; x < x1; ++x) {
      at(x, y).set_style(style);
    }
  }
}

std::uint16_t Buffer::set_string(std::uint16_t x, std::uint16_t y, std::string_view text,
                                 const Style& style, std::uint16_t max_width) {
  if (y < area_.y || y >= area_.bottom()) {
    return x;
  }
  const std::uint32_t limit = std::min<std::uint32_t>(area_.right(), std::uint32_t{x} + max_width);
  std::size_t i = 0;
  while (i < text.size() && x < limit) {
    const std::size_t n = std::min(char_length(static_cast<unsigned char>(text[i])),
                                   text.size() - i);
    if (x >= area_.x) {
      Cell& cell = at(x, y);
      cell.symbol.assign(text.substr(i, n));
      cell.set_style(style);
    }
    i += n;
    ++x;
  }
  return x;
}

std::string Buffer::row_text(std::uint16_t y) const {
  std::string out;
  for (std::uint16_t x = area_.x; x < area_.right(); ++x) {
    out += at(x, y).symbol;
  }
  return out;
}

}  // namespace orvo::ui
