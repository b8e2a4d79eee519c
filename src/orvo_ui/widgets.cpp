#include "orvo_ui/widgets.hpp"

#include "orvo_sys/text.hpp"

#include <algorithm>
#include <cmath>

namespace orvo::ui {
namespace {

constexpr std::uint16_t kMaxCoordinate = UINT16_MAX;

// One drawable unit: a character with the zero-width marks after it, and its width in cells.
struct Grapheme {
  std::string_view symbol;
  std::uint8_t width = 1;
};

constexpr char32_t kZeroWidthJoiner = 0x200D;

// Walks text one drawable unit at a time, measured as the terminal measures it. Control
// characters and marks that have no character to join are dropped. A character the C library
// cannot measure (one newer than its tables, an unassigned one) becomes U+FFFD in one cell, so
// that no name loses a character silently. A zero-width joiner is dropped and ends the unit: the
// parts of a joined emoji are drawn one by one, each in its own cells, which every terminal
// draws alike, while a cell holding a joiner is drawn by some glued to the next cell's picture.
class GraphemeReader {
 public:
  explicit GraphemeReader(std::string_view text) : text_(text) {}

  bool next(Grapheme& out) {
    while (pos_ < text_.size()) {
      const std::size_t start = pos_;
      const sys::Utf8Char d = sys::decode_utf8(text_.substr(pos_));
      pos_ += d.length;
      if (!d.valid) {
        out = {sys::kReplacementCharacter, 1};
        return true;
      }
      const int width = sys::char_width(d.code);
      if (width < 0 && !sys::is_control(d.code)) {
        join_marks();  // the marks after it go with it
        out = {sys::kReplacementCharacter, 1};
        return true;
      }
      if (width <= 0) {
        continue;
      }
      out.width = static_cast<std::uint8_t>(width);
      out.symbol = text_.substr(start, join_marks() - start);
      return true;
    }
    return false;
  }

 private:
  // Moves past the marks that follow a character, and past a joiner after them; returns where
  // the marks the cell keeps end.
  std::size_t join_marks() {
    std::size_t end = pos_;
    std::size_t kept = 0;
    while (pos_ < text_.size()) {
      const sys::Utf8Char d = sys::decode_utf8(text_.substr(pos_));
      if (!d.valid || sys::char_width(d.code) != 0) {
        break;
      }
      pos_ += d.length;
      if (d.code == kZeroWidthJoiner) {
        break;
      }
      if (kept < kMarksPerCell) {
        ++kept;
        end = pos_;
      }
    }
    return end;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// A drawable unit with the style of the span it came from.
struct StyledGrapheme {
  Grapheme grapheme;
  const Style* style;
};

bool is_blank(const Grapheme& g) {
  return g.symbol == " ";
}

std::vector<StyledGrapheme> graphemes_of(const Line& line) {
  std::vector<StyledGrapheme> out;
  for (const Span& span : line.spans) {
    GraphemeReader reader(span.content);
    Grapheme g;
    while (reader.next(g)) {
      out.push_back({g, &span.style});
    }
  }
  return out;
}

// Draws units from (x, y) until one does not fit in `width` cells.
void draw_graphemes(Buffer& buf, std::uint16_t x, std::uint16_t y, std::uint16_t width,
                    const std::vector<StyledGrapheme>& units) {
  const std::uint32_t limit = std::min<std::uint32_t>(std::uint32_t{x} + width, buf.area().right());
  for (const StyledGrapheme& unit : units) {
    if (x + std::uint32_t{unit.grapheme.width} > limit) {
      return;
    }
    x = buf.set_string(x, y, unit.grapheme.symbol, *unit.style, unit.grapheme.width);
  }
}

// Breaks units into lines of at most `width` cells at blanks; the blanks at the start of each
// line are dropped, and a word wider than the line is split.
std::vector<std::vector<StyledGrapheme>> word_wrap(const std::vector<StyledGrapheme>& units,
                                                   std::uint16_t width) {
  std::vector<std::vector<StyledGrapheme>> lines;
  std::vector<StyledGrapheme> line;
  std::vector<StyledGrapheme> blanks;
  std::vector<StyledGrapheme> word;
  std::size_t line_width = 0;
  std::size_t blanks_width = 0;
  std::size_t word_width = 0;

  const auto start_line = [&] {
    lines.push_back(std::move(line));
    line.clear();
    line_width = 0;
  };
  const auto commit_word = [&] {
    if (!line.empty() && line_width + blanks_width + word_width <= width) {
      line.insert(line.end(), blanks.begin(), blanks.end());
      line.insert(line.end(), word.begin(), word.end());
      line_width += blanks_width + word_width;
    } else {
      if (!line.empty()) {
        start_line();
      }
      for (const StyledGrapheme& unit : word) {
        if (line_width + unit.grapheme.width > width) {
          start_line();
        }
        line.push_back(unit);
        line_width += unit.grapheme.width;
      }
    }
    blanks.clear();
    blanks_width = 0;
    word.clear();
    word_width = 0;
  };

  for (const StyledGrapheme& unit : units) {
    if (unit.grapheme.width > width) {
      continue;
    }
    if (is_blank(unit.grapheme)) {
      if (!word.empty()) {
        commit_word();
      }
      blanks.push_back(unit);
      blanks_width += unit.grapheme.width;
    } else {
      word.push_back(unit);
      word_width += unit.grapheme.width;
    }
  }
  if (!word.empty()) {
    commit_word();
  }
  if (!line.empty() || lines.empty()) {
    lines.push_back(std::move(line));
  }
  return lines;
}

std::uint16_t saturating_sub(std::uint16_t a, std::uint16_t b) {
  return a > b ? static_cast<std::uint16_t>(a - b) : 0;
}

}  // namespace

std::uint16_t Rect::right() const {
  return static_cast<std::uint16_t>(
      std::min<std::uint32_t>(std::uint32_t{x} + width, kMaxCoordinate));
}

std::uint16_t Rect::bottom() const {
  return static_cast<std::uint16_t>(
      std::min<std::uint32_t>(std::uint32_t{y} + height, kMaxCoordinate));
}

Style Style::patch(const Style& other) const {
  Style out = *this;
  if (other.fg) {
    out.fg = other.fg;
  }
  if (other.bg) {
    out.bg = other.bg;
  }
  out.add = (out.add & ~other.sub) | other.add;
  out.sub = (out.sub & ~other.add) | other.sub;
  return out;
}

void Cell::set_style(const Style& style) {
  if (style.fg) {
    fg = *style.fg;
  }
  if (style.bg) {
    bg = *style.bg;
  }
  modifier = (modifier | style.add) & ~style.sub;
}

void Buffer::unsplit_wide(std::uint16_t x0, std::uint16_t x1, std::uint16_t y) {
  if (x0 > area_.x && x0 < area_.right() && at(x0, y).symbol.empty()) {
    at(static_cast<std::uint16_t>(x0 - 1), y).symbol.assign(1, ' ');
  }
  if (x1 < area_.right() && at(x1, y).symbol.empty()) {
    at(x1, y).symbol.assign(1, ' ');
  }
}

Cell& Buffer::at(std::uint16_t x, std::uint16_t y) {
  return cells_[static_cast<std::size_t>(y - area_.y) * area_.width +
                static_cast<std::size_t>(x - area_.x)];
}

const Cell& Buffer::at(std::uint16_t x, std::uint16_t y) const {
  return cells_[static_cast<std::size_t>(y - area_.y) * area_.width +
                static_cast<std::size_t>(x - area_.x)];
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

void Buffer::reset(Rect rect) {
  const std::uint16_t x0 = std::max(rect.x, area_.x);
  const std::uint16_t y0 = std::max(rect.y, area_.y);
  const std::uint16_t x1 = std::min(rect.right(), area_.right());
  const std::uint16_t y1 = std::min(rect.bottom(), area_.bottom());
  for (std::uint16_t y = y0; y < y1; ++y) {
    unsplit_wide(x0, x1, y);
    for (std::uint16_t x = x0; x < x1; ++x) {
      Cell& cell = at(x, y);
      cell.symbol.assign(1, ' ');
      cell.fg = kReset;
      cell.bg = kReset;
      cell.modifier = Modifier::None;
    }
  }
}

std::uint16_t Buffer::set_string(std::uint16_t x, std::uint16_t y, std::string_view text,
                                 const Style& style, std::uint16_t max_width) {
  if (y < area_.y || y >= area_.bottom()) {
    return x;
  }
  const std::uint32_t limit = std::min<std::uint32_t>(area_.right(), std::uint32_t{x} + max_width);
  GraphemeReader reader(text);
  Grapheme g;
  while (reader.next(g) && x + std::uint32_t{g.width} <= limit) {
    const auto end = static_cast<std::uint16_t>(x + g.width);
    // A character that starts left of the area is not drawn, not even its right half.
    if (x >= area_.x) {
      unsplit_wide(x, end, y);
      for (std::uint16_t cx = x; cx < end; ++cx) {
        Cell& cell = at(cx, y);
        cell.symbol.assign(cx == x ? g.symbol : std::string_view{});
        cell.set_style(style);
      }
    }
    x = end;
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

std::size_t display_width(std::string_view text) {
  std::size_t width = 0;
  GraphemeReader reader(text);
  Grapheme g;
  while (reader.next(g)) {
    width += g.width;
  }
  return width;
}

std::vector<Rect> split(Rect area, Direction direction,
                        const std::vector<Constraint>& constraints) {
  using Kind = Constraint::Kind;
  const bool vertical = direction == Direction::Vertical;
  const double total = vertical ? area.height : area.width;
  std::vector<double> sizes(constraints.size(), 0.0);
  double left = total;
  const auto grant = [&](Kind kind, auto wanted) {
    for (std::size_t i = 0; i < constraints.size(); ++i) {
      if (constraints[i].kind == kind) {
        const double size = std::min(wanted(constraints[i].value), left);
        sizes[i] += size;
        left -= size;
      }
    }
  };
  grant(Kind::Min, [](std::uint16_t v) { return static_cast<double>(v); });
  grant(Kind::Length, [](std::uint16_t v) { return static_cast<double>(v); });
  grant(Kind::Percentage,
        [total](std::uint16_t v) { return static_cast<double>(v) * total / 100.0; });
  const auto mins = std::count_if(constraints.begin(), constraints.end(),
                                  [](const Constraint& c) { return c.kind == Kind::Min; });
  if (mins > 0 && left > 0) {
    for (std::size_t i = 0; i < constraints.size(); ++i) {
      if (constraints[i].kind == Kind::Min) {
        sizes[i] += left / static_cast<double>(mins);
      }
    }
  }

  std::vector<Rect> out;
  out.reserve(constraints.size());
  const std::uint16_t origin = vertical ? area.y : area.x;
  double edge = 0.0;
  auto start = std::uint16_t{0};
  for (const double size : sizes) {
    edge += size;
    const auto end = static_cast<std::uint16_t>(std::round(edge));
    const auto pos = static_cast<std::uint16_t>(origin + start);
    const auto len = static_cast<std::uint16_t>(end - start);
    out.push_back(vertical ? Rect{area.x, pos, area.width, len}
                           : Rect{pos, area.y, len, area.height});
    start = end;
  }
  return out;
}

std::vector<Line> text_lines(std::string_view text, Style style) {
  std::vector<Line> lines;
  for (const std::string_view line : sys::split_lines(text)) {
    lines.emplace_back(std::string(line), style);
  }
  return lines;
}

Rect Block::inner(Rect area) const {
  if (borders == Borders::Top) {
    return {area.x, static_cast<std::uint16_t>(area.y + std::min<std::uint16_t>(area.height, 1)),
            area.width, saturating_sub(area.height, 1)};
  }
  return {static_cast<std::uint16_t>(area.x + std::min<std::uint16_t>(area.width, 1)),
          static_cast<std::uint16_t>(area.y + std::min<std::uint16_t>(area.height, 1)),
          saturating_sub(area.width, 2), saturating_sub(area.height, 2)};
}

void Block::render(Rect area, Buffer& buf) const {
  if (area.width == 0 || area.height == 0) {
    return;
  }
  const std::uint16_t last_x = area.right() - 1;
  const std::uint16_t last_y = area.bottom() - 1;
  for (std::uint16_t x = area.x; x <= last_x; ++x) {
    buf.set_string(x, area.y, "─", border_style, 1);
  }
  if (borders == Borders::All) {
    for (std::uint16_t y = area.y; y <= last_y; ++y) {
      buf.set_string(area.x, y, "│", border_style, 1);
      buf.set_string(last_x, y, "│", border_style, 1);
    }
    for (std::uint16_t x = area.x; x <= last_x; ++x) {
      buf.set_string(x, last_y, "─", border_style, 1);
    }
    buf.set_string(area.x, area.y, "┌", border_style, 1);
    buf.set_string(last_x, area.y, "┐", border_style, 1);
    buf.set_string(area.x, last_y, "└", border_style, 1);
    buf.set_string(last_x, last_y, "┘", border_style, 1);
  }
  if (!title.empty()) {
    const bool sides = borders == Borders::All;
    const auto x = static_cast<std::uint16_t>(area.x + (sides ? 1 : 0));
    buf.set_string(x, area.y, title, Style{}, saturating_sub(area.width, sides ? 2 : 0));
  }
}

void Paragraph::render(Rect area, Buffer& buf) const {
  buf.set_style(area, style);
  Rect text_area = area;
  if (block) {
    block->render(area, buf);
    text_area = block->inner(area);
  }
  if (text_area.width == 0 || text_area.height == 0) {
    return;
  }
  std::uint16_t row = 0;
  const auto draw_row = [&](const std::vector<StyledGrapheme>& units) {
    draw_graphemes(buf, text_area.x, static_cast<std::uint16_t>(text_area.y + row), text_area.width,
                   units);
    ++row;
  };
  for (const Line& line : lines) {
    if (row >= text_area.height) {
      return;
    }
    if (!wrap) {
      draw_row(graphemes_of(line));
      continue;
    }
    for (const std::vector<StyledGrapheme>& units :
         word_wrap(graphemes_of(line), text_area.width)) {
      if (row >= text_area.height) {
        return;
      }
      draw_row(units);
    }
  }
}

void ListState::scroll(std::size_t count, std::uint16_t height) {
  if (count == 0) {
    selected.reset();
    offset = 0;
    return;
  }
  offset = std::min(offset, count - 1);
  if (!selected) {
    return;
  }
  selected = std::min(*selected, count - 1);
  if (*selected >= offset + height) {
    offset = *selected + 1 - height;
  } else if (*selected < offset) {
    offset = *selected;
  }
}

void List::render(Rect area, Buffer& buf, ListState& state) const {
  Rect inner = area;
  if (block) {
    block->render(area, buf);
    inner = block->inner(area);
  }
  state.scroll(items.size(), inner.height);
  if (items.empty() || inner.width == 0 || inner.height == 0) {
    return;
  }
  const std::size_t count = items.size();
  const std::size_t first = state.offset;

  const auto indent = static_cast<std::uint16_t>(
      state.selected ? std::min<std::size_t>(display_width(highlight_symbol), inner.width) : 0);
  const std::string blank(indent, ' ');
  const std::size_t shown = std::min<std::size_t>(inner.height, count - first);
  for (std::size_t r = 0; r < shown; ++r) {
    const std::size_t index = first + r;
    const auto y = static_cast<std::uint16_t>(inner.y + r);
    const bool is_selected = state.selected == index;
    buf.set_string(inner.x, y, is_selected ? highlight_symbol : blank, Style{}, indent);
    draw_graphemes(buf, static_cast<std::uint16_t>(inner.x + indent), y,
                   static_cast<std::uint16_t>(inner.width - indent), graphemes_of(items[index]));
    if (is_selected) {
      buf.set_style(Rect{inner.x, y, inner.width, 1}, highlight_style);
    }
  }
}

void clear(Rect area, Buffer& buf) {
  buf.reset(area);
}

}  // namespace orvo::ui
