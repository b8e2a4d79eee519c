#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "orvo_ui/flags.hpp"

namespace orvo::ui {

// A colour as the drawing code names it; `Reset` is the terminal's default.
struct Color {
  enum class Kind : std::uint8_t {
    Reset,
    Black,
    Red,
    Green,
    Yellow,
    Blue,
    Magenta,
    Cyan,
    Gray,
    DarkGray,
    LightRed,
    LightGreen,
    LightYellow,
    LightBlue,
    LightMagenta,
    LightCyan,
    White,
    Rgb,
  };
  Kind kind = Kind::Reset;
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;

  static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Color{Kind::Rgb, r, g, b};
  }
  friend constexpr bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color kReset{Color::Kind::Reset};
inline constexpr Color kBlack{Color::Kind::Black};
inline constexpr Color kGreen{Color::Kind::Green};
inline constexpr Color kYellow{Color::Kind::Yellow};
inline constexpr Color kCyan{Color::Kind::Cyan};
inline constexpr Color kGray{Color::Kind::Gray};
inline constexpr Color kDarkGray{Color::Kind::DarkGray};
inline constexpr Color kWhite{Color::Kind::White};

// Text attributes, as a bit set.
enum class Modifier : std::uint16_t {
  None = 0,
  Bold = 1u << 0,
  Dim = 1u << 1,
  Italic = 1u << 2,
  Underlined = 1u << 3,
  Reversed = 1u << 4,
};

template <>
inline constexpr bool kIsFlagSet<Modifier> = true;

// A style patch: unset colours leave the cell's colour alone; `add` is OR-ed in, `sub` removed.
struct Style {
  std::optional<Color> fg{};
  std::optional<Color> bg{};
  Modifier add = Modifier::None;
  Modifier sub = Modifier::None;

  // This style with `other` laid over it.
  [[nodiscard]] Style patch(const Style& other) const;
  friend bool operator==(const Style&, const Style&) = default;
};

// A rectangle of cells; x and y count from the buffer's top-left corner.
struct Rect {
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;

  [[nodiscard]] std::uint32_t area() const { return std::uint32_t{width} * height; }
  // One past the last column and row, saturating at the coordinate range.
  [[nodiscard]] std::uint16_t right() const;
  [[nodiscard]] std::uint16_t bottom() const;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// The most zero-width marks one cell keeps after its character: as many as a cell of the
// terminal library holds. Further marks are dropped.
inline constexpr std::size_t kMarksPerCell = 4;

// One screen cell: one character (with up to `kMarksPerCell` zero-width marks that follow it)
// and its colours and attributes. A double-width character fills two cells: its symbol in the
// first, the empty symbol in the second, which the terminal must not write.
struct Cell {
  std::string symbol = " ";
  Color fg = kReset;
  Color bg = kReset;
  Modifier modifier = Modifier::None;

  void set_style(const Style& style);
  friend bool operator==(const Cell&, const Cell&) = default;
};

// A frame of cells that drawing writes into and the terminal copies to the screen. Every write
// is cut to the buffer's area.
class Buffer {
 public:
  explicit Buffer(Rect area) : area_(area), cells_(area.area()) {}

  [[nodiscard]] const Rect& area() const { return area_; }
  // The cell at (x, y); the point must lie inside the area.
  [[nodiscard]] Cell& at(std::uint16_t x, std::uint16_t y);
  [[nodiscard]] const Cell& at(std::uint16_t x, std::uint16_t y) const;

  // Applies `style` to every cell of `rect`.
  void set_style(Rect rect, const Style& style);

  // Resets every cell of `rect` to the blank cell.
  void reset(Rect rect);

  // Writes `text` from (x, y), one character per cell (two for double-width ones), at most
  // `max_width` cells, patching `style` onto each written cell; returns the x after the last
  // written cell. Widths are those of `sys::char_width`, so the text needs the UTF-8 locale the
  // terminal session sets: zero-width marks join the character before them, control characters
  // are dropped, other characters that width cannot measure and invalid UTF-8 are drawn as U+FFFD
  // in one cell, and a zero-width joiner is dropped, so the characters it joins take their own
  // cells. A character that would not fit whole ends the text.
  std::uint16_t set_string(std::uint16_t x, std::uint16_t y, std::string_view text,
                           const Style& style, std::uint16_t max_width = UINT16_MAX);

  // The symbols of row `y` joined, for tests and the plain dumps of frames.
  [[nodiscard]] std::string row_text(std::uint16_t y) const;

 private:
  // Blanks the part outside cells [x0, x1) of row y of any double-width character that a write
  // to those cells would cut in two, so no cell is left half of a character.
  void unsplit_wide(std::uint16_t x0, std::uint16_t x1, std::uint16_t y);

  Rect area_;
  std::vector<Cell> cells_;
};

// The number of cells `text` takes when drawn by `Buffer::set_string`.
[[nodiscard]] std::size_t display_width(std::string_view text);

// How a layout sizes one segment.
struct Constraint {
  enum class Kind : std::uint8_t { Length, Min, Percentage };
  Kind kind = Kind::Length;
  std::uint16_t value = 0;

  static constexpr Constraint length(std::uint16_t n) { return {Kind::Length, n}; }
  static constexpr Constraint min(std::uint16_t n) { return {Kind::Min, n}; }
  static constexpr Constraint percentage(std::uint16_t p) { return {Kind::Percentage, p}; }
};

enum class Direction : std::uint8_t { Vertical, Horizontal };

// Splits `area` along `direction` into one segment per constraint, in order, without gaps.
// Space goes first to the minimums of `Min`, then to each `Length` in order, then to each
// `Percentage` (of the whole area); what is left widens the `Min` segments equally, or stays
// unused after the last segment. Segment edges are computed in real numbers and each edge is
// rounded to the nearest cell, halves away from zero.
[[nodiscard]] std::vector<Rect> split(Rect area, Direction direction,
                                      const std::vector<Constraint>& constraints);

// A run of text in one style.
struct Span {
  std::string content{};
  Style style{};
};

// One line of text made of spans.
struct Line {
  std::vector<Span> spans{};

  Line() = default;
  Line(std::string text, Style style = {}) : spans{Span{std::move(text), style}} {}
  Line(std::vector<Span> parts) : spans(std::move(parts)) {}
};

// The lines of a paragraph's text: `text` split at each line feed (a carriage return right before
// it goes too, and a line feed at the very end starts no further line), each line in `style`.
[[nodiscard]] std::vector<Line> text_lines(std::string_view text, Style style = {});

enum class Borders : std::uint8_t { All, Top };

// A frame of plain lines around an area, with an optional title on its top edge.
struct Block {
  Borders borders = Borders::All;
  std::string title{};
  Style border_style{};

  // The area left inside the borders.
  [[nodiscard]] Rect inner(Rect area) const;
  void render(Rect area, Buffer& buf) const;
};

// Lines of text, left aligned; each line is cut at the right edge unless `wrap` is set, which
// breaks lines at blanks (a word wider than the area is split) and drops the leading blanks of
// every resulting line. Lines beyond the bottom are not drawn.
struct Paragraph {
  std::vector<Line> lines{};
  Style style{};
  std::optional<Block> block{};
  bool wrap = false;

  // Applies `style` to the whole area, draws the block, then the text inside it.
  void render(Rect area, Buffer& buf) const;
};

// Which rows a list shows and which one is selected; `offset` is the first row shown.
struct ListState {
  std::size_t offset = 0;
  std::optional<std::size_t> selected{};

  // Clamps the selection to the last of `count` rows and moves `offset` the least needed for
  // the selection to show among `height` rows.
  void scroll(std::size_t count, std::uint16_t height);
};

// One-line items from top to bottom. When a row is selected every row is indented by the
// highlight symbol's width, the selected row shows the symbol and gets `highlight_style` over its
// whole width.
struct List {
  std::vector<Line> items{};
  std::optional<Block> block{};
  Style highlight_style{};
  std::string highlight_symbol{};

  // Draws the list after `state.scroll` for its items and inner height.
  void render(Rect area, Buffer& buf, ListState& state) const;
};

// Resets every cell of `area` to the blank cell, so nothing drawn before shows through.
void clear(Rect area, Buffer& buf);

}  // namespace orvo::ui
